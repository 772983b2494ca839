#pragma once
// One relay mailing over one connection of the mail socket: recipient after recipient (or
// block after block), honouring pauses, timed blocks, the per-message delay and the "Sent"
// flags. Driven only by the socket's events and two timers: an explicit state machine on
// the event loop, never a busy wait.
//
// No delivery runs ahead of its record: the send starts only once every file it writes
// proved writable, and a flag, count or recipient that cannot be written or read stops the
// mailing at once (aborted, storageFailed()) after at most the message in flight.

#include "components/mailsocket/MailSocket.h"
#include "mailing/MailEvent.h"
#include "mailing/relay/SendLog.h"

#include <QDateTime>
#include <QObject>
#include <QTimer>
#include <functional>
#include <memory>

namespace sendora {

struct AppContext;
class MessageSource;
class SendMDBList;

class SMTPSocket : public QObject {
    Q_OBJECT
public:
    enum class Mark { None, Ok, Fail };
    enum class Phase { Idle, Connecting, Sending, Paused, BlockPause, Delaying, Finished };

    SMTPSocket(AppContext& ctx, const MailEvent& options, SendMDBList& cursor, MessageSource& messages,
               QObject* parent = nullptr);
    ~SMTPSocket() override;

    mail::MailSocket& socket() { return m_socket; }
    SendLog& log() { return m_log; }

    // 1 when the connection was started; nothing is sent before the socket connects.
    int sendEmailToList(const QString& sender, const QString& replyTo, const QString& server);

    // The send screen's buttons.
    void setPause(bool pause);
    void setStop();
    bool paused() const { return m_pause; }
    bool stopped() const { return m_stop; }
    bool aborted() const { return m_aborted; }
    // The mailing stopped (or never started) because one of its files could not be written
    // or read; failureText() says which and why.
    bool storageFailed() const { return m_storageFailed; }
    QString failureText() const { return m_failureText; }
    Phase phase() const { return m_phase; }

    qint32 taken() const { return m_taken; }
    qint32 passed() const { return m_passed; }
    qint32 failed() const { return m_failed; }
    QString dateMailed() const { return m_dateMailed; }
    QStringList statisticsRows() const { return m_log.statisticsRows(); }

    // Seconds the server may stay silent, and the length of one block-pause tick (a minute);
    // tests shorten both.
    int commandTimeout = 30;
    // The relay server's port; 0 takes the SMTPPort setting.
    int port = 0;
    int blockPauseTickMs = 60000;
    // How often a silent server may be answered "continue" in a row before the mailing
    // stops as if Stop was pressed; -1 asks every time (the window: a person answers).
    int timeoutContinueLimit = -1;
    // Stores the mailing's figures as it ends, before the log's end block; returns why they
    // could not be stored, or nothing. Called once, and only for a mailing that connected.
    std::function<QString()> storeResults;

    void AbortCleanup();
    // Ends a mailing that is still running now, without waiting for the server: the message
    // in flight is abandoned, the figures are stored and the log gets its end block.
    void abandon();
    void TimeoutAndCleanup(int seconds);

Q_SIGNALS:
    void ResultString(const QString& text);
    void CounterUpdate(qint32 passed, qint32 failed);
    void MessageSent(qint32 passed);
    void MailOutComplete();
    void sckState(const QString& text);
    void AddMailed(const QString& text, sendora::SMTPSocket::Mark mark);

private:
    void onConnected();
    void onReady();
    void continueReady();
    void sendNext();
    QString takeNextAddress();
    void takePersonal();
    void takeBlock();
    void onSendFrom();
    void onSendTo();
    void onSendToArray();
    void onSendBody();
    void onSent(const mail::Recipient& r);
    void onSentBlock(const mail::RecipientList& list);
    void onDataReceived(const QString& command, const QString& reply, int code);
    void onState(int state);
    void onDisconnected();
    void complete();
    void peerClosed();
    bool mark(const mail::Recipient& r);
    bool textOnlyDomain(const QString& address) const;
    void finish();
    void endAborted(bool showRow, bool quit);
    bool storeFigures();
    void fail(const QString& text, const QString& title, bool storage);
    bool refuseBeforeConnecting(const QString& file, const QString& reason);
    void takeFacts();

    AppContext& m_ctx;
    const MailEvent& m_options;
    SendMDBList& m_cursor;
    MessageSource& m_messages;
    mail::MailSocket m_socket;
    SendLog m_log;

    QTimer m_tmrPauseMsgs;
    QTimer m_tmrPauseBlocks;

    Phase m_phase = Phase::Idle;
    bool m_pause = false;
    bool m_stop = false;
    bool m_aborted = false;
    bool m_finished = false;
    bool m_connecting = false; // sendEmailToList got as far as connecting
    bool m_resultsStored = false;
    bool m_storageFailed = false;
    int m_timeoutsContinued = 0;
    bool m_justPaused = false;
    bool m_personalised = true;
    bool m_firstTaken = true;
    qint16 m_minutes = 0;
    qint32 m_taken = 0;
    qint32 m_passed = 0;
    qint32 m_failed = 0;
    int m_recipientsPerMessage = 10;
    QStringList m_domains;

    QString m_sender;
    QString m_server;
    QString m_address; // current recipient as sent (bracketed when the server wants it)
    QString m_displayName;
    mail::RecipientList m_block;
    QString m_lastFailure;
    QString m_failureText;
    QString m_senderRefused; // the server's reply when it refused the sender
    QString m_dateMailed;
};

} // namespace sendora

Q_DECLARE_METATYPE(sendora::SMTPSocket::Mark)
