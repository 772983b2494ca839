#pragma once
// Delivery straight to each recipient's mail servers, without a relay.
//
// A run has several mailers on one event loop; each takes its own share of the list's
// ids, groups its recipients by domain and sends each domain over one connection to the
// best MX host that answers (port 25), trying the next host when one cannot be reached.
// One message to many recipients goes as one transaction with several RCPTs; MAIL, RCPT
// and DATA are pipelined when the server offers PIPELINING. STARTTLS is taken whenever it
// is offered and the certificate is not checked (opportunistic TLS, RFC 7435): the
// alternative is plain text, not a refusal. Each outcome is committed to the list before
// that mailer starts its next message: "Sent" (when sends are flagged) or the error text.

#include "components/dns/MailResolver.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <memory>

namespace jet {
class Database;
} // namespace jet

namespace sendora::direct {

// The error column's texts; a server's reply, when there is one, follows the last three.
inline const QString kDnsTimeout = QStringLiteral("DNS TIMEOUT");
inline const QString kMailerTimeout = QStringLiteral("MAILER TIMEOUT");
inline const QString kMxError = QStringLiteral("MX Error");
inline const QString kMailerError = QStringLiteral("Mailer Error");
inline const QString kSocketError = QStringLiteral("Socket Error");

// criticalErr codes.
enum CriticalCode {
    CriticalStorage = 1, // an outcome could not be committed to the list: the run stops
    CriticalSetup = 2,   // the list or the resolver could not be opened
};

// Ids first..last of the list's id column, both included.
struct IdShare {
    qint64 first = 0;
    qint64 last = 0;
    qint64 count() const { return last - first + 1; }
};

// Ids 1..count divided among mailers: one share for all when count <= mailers; else
// count / mailers each, and one more share for the remainder when it does not divide.
QList<IdShare> divideIds(qint64 count, int mailers);

// The messages of a run, composed by the caller's one composition path. A personal message
// may be asked for while the run's transaction on the list is open (before the previous
// message's outcome is committed); a composer only reads the list.
class MessageComposer {
public:
    virtual ~MessageComposer() = default;
    // Every recipient gets a message of its own (merge fields, personal To line...).
    virtual bool personalised() const = 0;
    // One recipient's message, in its outgoing character set, before dot-stuffing; empty
    // when it cannot be composed (the address gets an error).
    virtual QByteArray personal(const QString& address) = 0;
    // The message shared by several recipients; firstAddress picks the template.
    virtual QByteArray shared(const QString& firstAddress) = 0;
};

struct DirectSendJob {
    QString listPath; // the list file with its AddressList id and error columns
    // The caller's read-write connection to that file, to write through instead of a
    // connection of the run's own; it must outlive the run. A composer reading rows through
    // the same connection keeps them cached: another connection's commit would empty its
    // cache before every message.
    jet::Database* listDb = nullptr;
    QString sender;     // MAIL FROM
    QString heloDomain; // EHLO argument; the sender's domain when empty
    bool flagSends = false;
    QString sentFlag;
    dns::ResolverOptions dns;
    int mailerTimeout = 60; // seconds a server may stay silent
    int mailRetries = 1;    // further rounds for a domain that failed for a passing reason
    int retryDelayMs = 5000;
    int maxRecipientsPerMessage = 100;
    QList<IdShare> shares; // one mailer per share
};

class DirectSend : public QObject {
    Q_OBJECT
public:
    DirectSend(const DirectSendJob& job, MessageComposer& composer, QObject* parent = nullptr);
    ~DirectSend() override;

    // Opens the list and the resolver and starts every mailer. False (with failureText())
    // when the run cannot start; nothing is sent then and no signal follows.
    bool start();
    QString failureText() const;

    // Mailers finish the message in flight and wait.
    void pauseSend();
    // Resumes; with stop, ends the run instead (a paused run stops without resuming).
    void endPause(bool stop = false);
    // Mailers finish the message in flight, then quit; Complete follows for each.
    void stop();
    // Ends now: connections are dropped, nothing more is written; Complete follows.
    void abort();

    bool paused() const;
    bool finished() const;
    int mailerCount() const;
    qint64 sentCount() const;
    qint64 failedCount() const;
    qint64 bytesSentTotal() const;
    dns::MailResolver& resolver();

Q_SIGNALS:
    void bytesSent(qint64 total);
    // An address was delivered and its flag committed.
    void Sent(int mailer, qint64 id);
    // An address failed; its error text is committed.
    void Errors(int mailer, qint64 id, const QString& description);
    void criticalErr(int mailer, const QString& description, int code);
    void log(int mailer, const QString& line);
    // A mailer has nothing more to do (numbers count from 1).
    void Complete(int mailer);
    // Every mailer completed.
    void allComplete();

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace sendora::direct
