#pragma once
// One send of a prepared mailing (a MailEvent row) through its relay server: loads the
// row and its delivery options, picks the server, runs the relay session and writes the
// counts back to the row. The send screen and sendora-cli both drive this.

#include "components/mailsocket/MailSocket.h"
#include "mailing/MailEvent.h"

#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

namespace sendora {

struct AppContext;
class SendMDBList;
class SMTPSocket;
class ListMessageSource;

// The names and figures of one MailEvent row.
struct MailingRow {
    qint64 id = 0;
    QString group;
    QString list;
    QString message;
    QString profile;
    QString dateSent;
    qint64 sentCount = 0;
    qint64 sentCountFailed = 0;
    qint64 lastCount = 0;
};

std::optional<MailingRow> loadMailingRow(AppContext& ctx, qint64 id);

// Adds one send's figures to its MailEvent row: DateSent, SentCount + passed,
// SentCountFailed + failed, LastCount = passed, in one transaction that waits for another
// writer's lock. False when the row is gone (nothing to store) or when the figures could
// not be written; then *failure, when given, says why and names the file.
bool storeMailingResults(AppContext& ctx, qint64 id, qint64 passed, qint64 failed, const QString& dateSent,
                         QString* failure = nullptr);

// The relay server for these delivery options: SmtpServer, else the MailServer setting.
QString relayServerFor(const AppContext& ctx, const MailEvent& options);
bool isPlaceholderServer(const QString& server);

class RelaySend : public QObject {
    Q_OBJECT
public:
    RelaySend(AppContext& ctx, const MailingRow& row, QObject* parent = nullptr);
    ~RelaySend() override;

    // Set before start(); tests put a scripted server here.
    mail::TransportFactory transportFactory;
    int commandTimeout = 30; // seconds
    // "Continue" answers to a silent server before the mailing stops; -1 asks every time.
    int timeoutRetries = -1;
    // Called with the new session before it starts, so a screen sees its first log lines.
    std::function<void(SMTPSocket&)> onSessionCreated;
    // Handed to the recipient cursor: the addresses this send leaves out (SendMDBList).
    std::function<bool(const QString& address, const QVariant& sent)> leaveOut;

    // Loads the delivery options and starts the session. False when the mailing could not
    // start (a message said why); finished() is then not emitted.
    bool start();
    SMTPSocket* session() const { return m_session.get(); }
    const MailingRow& row() const { return m_row; }
    bool completed() const { return m_completed; }
    // The mailing did not start, or stopped, because a file it writes could not be written.
    bool storageFailed() const;
    QString failureText() const;
    // Addresses selected for this send (known once the session opened the list).
    qint64 recipientCount() const;

    void setPause(bool pause);
    void setStop();
    // Ends a running mailing now: the message in flight is abandoned, the figures are
    // stored and the send log gets its end block. finished() is emitted before it returns.
    void abandon();
    // For a window that closes mid-send: Stop, then wait (at most limitMs, on a local event
    // loop) for the message in flight to finish; abandons what is left after that. Returns
    // completed().
    bool stopAndFinish(int limitMs = 10000);

Q_SIGNALS:
    // The mailing ended: completed, or aborted/stopped. The counts are already stored.
    void finished(bool completed);

private:
    void onMailOutComplete();

    AppContext& m_ctx;
    MailingRow m_row;
    MailEvent m_options;
    std::unique_ptr<SendMDBList> m_cursor;
    std::unique_ptr<ListMessageSource> m_messages;
    std::unique_ptr<SMTPSocket> m_session;
    bool m_completed = false;
    bool m_reported = false;
};

} // namespace sendora
