#pragma once
// One POP3 mailbox session: connect, look at every message's subject, take one address (a
// returned message's failed recipients) from each wanted message into POPTemp, build a
// temporary address list from it, delete the processed messages, quit. Every step is
// written to POPlog.log.
//
// Event driven: each step starts a command on the PopClient and returns; the client's status
// codes move the session on and the step's completion function is called. Each wait is
// bounded by the client's timeout and by a guard timer of its own.

#include "components/mailsocket/PopClient.h"
#include "pop/BounceRules.h"
#include "pop/PopLog.h"
#include "pop/PopTemp.h"

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <functional>
#include <memory>

namespace sendora {
struct AppContext;
}

namespace sendora::pop {

class ProcessEMail : public QObject {
    Q_OBJECT
public:
    // The client is used, not owned, when given; otherwise the session makes its own.
    explicit ProcessEMail(AppContext& ctx, mail::PopClient* client = nullptr, QObject* parent = nullptr);
    ~ProcessEMail() override;

    mail::PopClient& client() { return *m_client; }

    void processMailBox(bool bounceRules, bool returnedMail,
                        std::function<void(const QString& listPath)> done);
    void connectToMailBox(const QString& host, const QString& userName, const QString& password, quint16 port,
                          bool showStatus, int mode, std::function<void(bool connected)> done);
    void setSearchVariables(bool deleteProcessed, bool processAll, const QStringList& phrases);
    // Deletes the messages of the delete list collected by processMailBox.
    void KillMail(std::function<void(int deleted)> done);
    void popMain_DataRecieved(const QString& command, const QString& reply, qint64 byteCount);
    void popMain_POPStatus(int code);
    void quit(std::function<void()> done);
    void LogSend(const QString& line, bool startBlock = false, bool endBlock = false);

    // Read before each message; set by the wizard's Cancel button.
    void cancel() { m_cancelled = true; }
    bool cancelled() const { return m_cancelled; }

    QList<int> deleteList() const { return m_deleteList; }
    void setDeleteList(const QList<int>& list) { m_deleteList = list; }
    qint64 messageCount() const { return m_client->MessageCount(); }
    qint64 addressesFound() const { return m_log.facts.processed; }
    qint64 bytesProcessed() const { return m_bytes; }
    bool timedOut() const { return m_timedOut; }
    bool connectionLost() const { return m_lost; }
    // True when the server accepted QUIT, which is when its deletions take effect.
    bool quitAccepted() const { return m_quitOk; }
    QString mailboxSizeText() const { return m_sizeText; }
    PopLog& log() { return m_log; }

    // Extra returned-mail subjects (subjects.dat by default) and the CheckOriginalTo switch.
    void setExtraSubjects(const QStringList& subjects) { m_extraSubjects = subjects; }
    void setCheckOriginalTo(bool on) { m_checkOriginalTo = on; }
    // Guard beyond the client's own timeout, for a client that reports nothing at all.
    void setGuardSeconds(int seconds) { m_guardSeconds = seconds; }

Q_SIGNALS:
    void showCurrentOperation(const QString& text);
    void showAddressesCollected(const QString& text);
    void showBytesReceived(const QString& text);

private:
    enum class Wait { None, Connect, Header, Message, Command, Quit };

    void beginWait(Wait w);
    void endWait();
    void onDisconnected();
    void onGuard();
    void timeOut();
    void nextMessage();
    void onHeader(bool ok);
    void onMessage(bool ok);
    void collect(const QList<FoundAddress>& found);
    void finishProcessing();
    void connectionLostDuringProcessing();
    void nextDeletion();
    void finishQuit(bool ok);
    void operation(const QString& text) { Q_EMIT showCurrentOperation(text); }

    AppContext& m_ctx;
    std::unique_ptr<mail::PopClient> m_ownClient;
    QPointer<mail::PopClient> m_client;
    PopLog m_log;
    QTimer m_guard;
    int m_guardSeconds = 0;

    // The flags the status codes set.
    Wait m_wait = Wait::None;
    bool m_connected = false;
    bool m_commandOk = false;
    bool m_timedOut = false;
    bool m_lost = false;
    bool m_cancelled = false;
    bool m_quitting = false;
    bool m_quitOk = false;

    int m_mode = 1;
    QString m_host;
    bool m_showStatus = true;
    bool m_deleteProcessed = false;
    bool m_processAll = false;
    QStringList m_phrases;
    bool m_phrasesPresent = false;
    QStringList m_extraSubjects;
    bool m_checkOriginalTo = false;
    qint64 m_bytes = 0;
    QString m_sizeText = QStringLiteral("0Kb");

    // processMailBox
    bool m_bounceRules = false;
    bool m_returnedMail = false;
    int m_current = 0;
    int m_count = 0;
    QString m_subject;
    std::unique_ptr<PopTemp> m_temp;
    QList<int> m_deleteList;
    int m_deleteIndex = 0;
    int m_deleted = 0;

    std::function<void(bool)> m_connectDone;
    std::function<void(const QString&)> m_processDone;
    std::function<void(int)> m_killDone;
    std::function<void()> m_quitDone;
};

} // namespace sendora::pop
