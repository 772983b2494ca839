#pragma once
// Direct send of one mailing: prepares the list (an `id` per selected address, the `error`
// column cleared), hands the ids to the direct-send engine divided among its mailers, turns
// the engine's events into counters and log lines, and stores the figures at the end.
//
// Everything runs on the caller's event loop: the id assignment is a timer-driven state
// machine that lets the screen repaint and a Cancel through between batches of rows.

#include "mailing/MailEvent.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>
#include <exception>
#include <memory>

class QLockFile;

namespace jet {
class Database;
}

namespace sendora {

struct AppContext;
class SendMDBList;
class ListMessageSource;

namespace direct {
class DirectSend;
class MessageComposer;
} // namespace direct

// The pieces of a profile the direct-send selection is built from.
struct DirectSelection {
    bool blocks = false;
    bool filtered = false;
    bool notYetFlagged = false;
    qint32 blockSize = 0;
    QString filter;
    QString sentFlagToCheck;
};
QString directSelectionStatement(const DirectSelection& s);

// The texts shown when a selection is empty.
extern const QString kBlankListText;       // titled "Address List"
extern const QString kNoMatchingAddresses; // titled "No Messages Sent"

class CMailingManager : public QObject {
    Q_OBJECT
public:
    enum class State { Idle, Initialising, Running, Paused, Stopping, Stopped };

    explicit CMailingManager(AppContext& ctx, QObject* parent = nullptr);
    ~CMailingManager() override;

    // Prepares the mailing; initFinished() follows from the event loop (false: the send ends,
    // a message said why).
    void init(qint64 mailingId);
    // Cancels the id assignment; initFinished(false) follows.
    void cancelInit();
    // Starts the mailers over ids 1..n with m mailers. False after a message.
    bool start(qint64 n, int m);
    void pauseMailing();
    void endPause();
    void stopMailing();
    State getState() const { return m_state; }
    // Ends a running mailing now: connections are dropped and the figures so far are stored
    // (mailingEnded follows before it returns). Also what destruction mid-send does.
    void abandon();

    // What init read and selected.
    QString selectionStatement() const { return m_selection; }
    QString listFile() const { return m_listFile; }
    const MailEvent& options() const { return m_options; }
    QString messageName() const { return m_messageName; }
    QString listName() const { return m_listName; }
    QString groupName() const { return m_groupName; }
    qint64 mailingId() const { return m_mailingId; }

    qint64 addressCount() const { return m_addresses; }
    qint64 sentCount() const { return m_sent; }
    qint64 failedCount() const { return m_failed; }
    qint64 bytes() const { return m_bytes; }
    int mailerCount() const;
    QDateTime startTime() const { return m_startTime; }
    // Time since init started assigning ids (or the mailers started).
    qint64 elapsedMs() const { return m_clock.isValid() ? m_clock.elapsed() : 0; }
    // The send stopped because a file it writes could not be written.
    bool storageFailed() const { return m_storageFailed; }
    QString failureText() const { return m_failureText; }
    // The mailers went through every id (not stopped, no critical error).
    bool completed() const { return m_completed; }

    // Ids per batch between event-loop turns.
    int batchSize = 500;

Q_SIGNALS:
    void status(const QString& text);
    void idsAssigned(qint64 count);
    void initFinished(bool ok);
    void bytesSent(qint64 total);
    void sentChanged(qint64 sent);
    void failedChanged(qint64 failed);
    // One address failed: the log view's three lines and the last failure.
    void failure(int mailer, qint64 id, const QString& description);
    void mailerLog(int mailer, const QString& line);
    // The figures are stored (or could not be: storageFailed()).
    void mailingEnded(bool completed);

private:
    bool readMailing(qint64 mailingId);
    bool claimFiles();
    void prepareTable(jet::Database& db);
    void assignBatch();
    void endInit(bool ok);
    // A storage error while starting: logged, shown, and the start ends on the next turn.
    void failInit(const std::exception& e);
    void fail(const QString& procedure, const QString& text, bool storage);
    void onCriticalError(int mailer, const QString& description, int code);
    void onComplete();
    void finishMailing();

    AppContext& m_ctx;
    State m_state = State::Idle;
    qint64 m_mailingId = 0;
    MailEvent m_options;
    QString m_messageName, m_listName, m_groupName, m_listFile, m_selection;
    bool m_filtered = false;
    std::unique_ptr<jet::Database> m_listDb;
    std::unique_ptr<QLockFile> m_lock;
    QList<qint64> m_rowIds;
    qint64 m_next = 0;
    bool m_cancel = false;
    QTimer m_step;
    QTimer m_completion;
    QElapsedTimer m_clock;
    QDateTime m_startTime;
    qint64 m_addresses = 0, m_sent = 0, m_failed = 0, m_bytes = 0;
    int m_finishedMailers = 0;
    bool m_storageFailed = false;
    bool m_completed = false;
    bool m_critical = false;
    QString m_failureText;
    std::unique_ptr<jet::Database> m_runDb; // outlives everything below that uses it
    std::unique_ptr<SendMDBList> m_cursor;
    std::unique_ptr<ListMessageSource> m_messages;
    std::unique_ptr<direct::MessageComposer> m_composer;
    std::unique_ptr<direct::DirectSend> m_engine;
};

} // namespace sendora
