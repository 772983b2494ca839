#pragma once
// One mailer of a direct-send run: its recipients grouped by domain, one domain at a time
// over one connection, each message's outcome committed before the next message starts.

#include "DirectSend.h"
#include "components/mailsocket/MailSocket.h"

#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QTimer>
#include <deque>
#include <functional>

namespace jet {
class Database;
class Statement;
} // namespace jet

namespace sendora::direct {

struct Rcpt {
    qint64 id = 0;
    QString address;
    QString reason; // why the last attempt failed for a passing reason
};

// The list file as the run writes it: "Sent" flags and error texts, each message's
// outcomes in one transaction.
class ListStore {
public:
    ListStore();
    // Writes through shared when given (see DirectSendJob::listDb), else opens path.
    bool open(const QString& path, jet::Database* shared, const QString& sentFlag, bool flagSends,
              QString* failure);
    QList<Rcpt> share(const IdShare& ids, QString* failure);
    using Outcomes = QList<QPair<qint64, QString>>;
    // Writes the outcomes (an empty text: delivered) and commits; false with *failure.
    // inside runs in the open transaction, before the commit.
    bool commit(const Outcomes& outcomes, QString* failure, const std::function<void()>& inside = {});
    // The same, committed together with what other mailers hand in during this turn of
    // the event loop (one commit for several messages); done follows the commit. ahead
    // runs in the transaction: rows the composer reads then need no read transaction of
    // their own. Nothing may go out from it.
    void commitSoon(const Outcomes& outcomes, std::function<void(bool ok, const QString& failure)> done,
                    std::function<void()> ahead = {});
    QString path() const { return m_path; }
    ~ListStore();

private:
    std::unique_ptr<jet::Database> m_ownDb;
    jet::Database* m_db = nullptr;
    std::unique_ptr<jet::Statement> m_flag, m_error, m_share;
    QString m_path, m_sentFlag;
    bool m_flagSends = false;
    struct Queued {
        Outcomes outcomes;
        std::function<void(bool, const QString&)> done;
        std::function<void()> ahead;
    };
    QList<Queued> m_queued;
    QObject m_flushContext; // a flush still pending when the store goes is dropped with it
    void flushQueued();
};

// What the mailers of a run share.
struct RunContext {
    RunContext(const DirectSendJob& j, MessageComposer& c, dns::MailResolver& r, ListStore& s)
        : job(j), composer(c), resolver(r), store(s) {}
    const DirectSendJob& job;
    MessageComposer& composer;
    dns::MailResolver& resolver;
    ListStore& store;
    bool paused = false;
    bool stopping = false;
    bool aborted = false;
    std::function<void(int mailer, qint64 id)> sent;
    std::function<void(int mailer, qint64 id, const QString& text)> failed;
    std::function<void(int mailer, const QString& text)> critical;
    std::function<void(int mailer, const QString& line)> log;
    std::function<void(qint64 bytes)> bytes;
    std::function<void(int mailer)> complete;
};

class Mailer : public QObject {
    Q_OBJECT
public:
    Mailer(int number, RunContext& run, const QList<Rcpt>& recipients, QObject* parent = nullptr);
    ~Mailer() override;

    void start();
    // Pause ended or a stop asked for while idle: look at the queue again.
    void wake();
    // Drops the connection now; Complete follows.
    void abort();
    bool done() const { return m_done; }

private:
    struct Domain {
        QString name;
        QList<Rcpt> todo;
        QList<Rcpt> retry;
        int round = 0;
        qint64 notBefore = 0; // ms on the run clock
    };
    enum class Stage { Idle, Resolving, Connecting, Ready, Sending, Quitting };

    void newSocket();
    void retireSocket();
    void next();
    void prefetch();
    void onRoute(const dns::MailRoute& route);
    void connectHost();
    void sendBatch();
    struct Reply {
        int code = 0;
        QString text;
    };
    // The reply that refused address in the message just sent; code 0 when none did.
    Reply refusal(const QString& address) const;
    void onSentBlock(const mail::RecipientList& list);
    void onReply(const QString& command, const QString& reply, int code);
    void onFailure(int code, const QString& text);
    void onTimeout(int seconds);
    void onDisconnected();
    void endDomain();
    void failAll(QList<Rcpt>& list, const QString& text);
    bool record(const QList<QPair<qint64, QString>>& outcomes);
    void composeAhead();
    QByteArray compose(const Rcpt& first);
    void announce(const QList<QPair<qint64, QString>>& outcomes);
    void finish();
    void say(const QString& line);

    int m_number;
    RunContext& m_run;
    std::deque<Domain> m_queue;
    Domain m_domain;
    bool m_haveDomain = false;
    Stage m_stage = Stage::Idle;
    bool m_done = false;

    dns::MailRoute m_route;
    int m_host = 0;
    int m_address = 0;
    bool m_plain = false;        // TLS failed on this host: go on without it (RFC 7435)
    bool m_sessionReady = false; // this connection got as far as Ready
    QString m_lastFailure;       // the connection's last failure, for error texts
    bool m_timedOut = false;
    bool m_tlsFailed = false;

    QList<Rcpt> m_batch;
    bool m_batchOpen = false;
    bool m_committing = false;   // a message's outcomes are on their way to the list
    bool m_readyWaiting = false; // the connection is ready for the next message meanwhile
    bool m_nextWaiting = false;  // next() was asked for meanwhile
    qint64 m_batchBytes = 0;
    QList<Rcpt> m_unsettled; // refused with no reply: the connection went away
    QByteArray m_body;
    qint64 m_aheadId = -1; // m_aheadBody is the message to this recipient
    QByteArray m_aheadBody;
    Reply m_mailReply, m_dataReply, m_endReply;
    QHash<QString, Reply> m_rcptReplies; // by the path written in RCPT TO

    std::unique_ptr<mail::MailSocket> m_socket;
    QTimer m_wait;
    QElapsedTimer m_clock;
};

} // namespace sendora::direct
