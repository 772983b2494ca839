#pragma once
// frmSendMail: the relay send screen. Send starts a RelaySend for one MailEvent row,
// Pause and Stop steer it; counters, status, result rows and the log view follow the
// session's signals, so the window stays responsive without any waiting loop.
//
// States: 0 idle, 1 sending, 2 paused, 3 stopped or finished.
//   0/3 --Send--> 1 (a new mailing)    1 --Pause--> 2    1 --Stop--> 3
//   2 --Send or Pause--> 1 (resume)    2 --Stop--> 3

#include "components/mailsocket/MailSocket.h"
#include "mailing/relay/RelaySend.h"
#include "mailing/relay/SMTPSocket.h"
#include "mailing/ui/SendRemainder.h"

#include <QDialog>
#include <QSet>
#include <QStringList>
#include <QTimer>
#include <deque>
#include <functional>
#include <memory>

class QCheckBox;
class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTableView;

namespace sendora {

struct AppContext;
class SendResultsModel;

class frmSendMail : public QDialog {
    Q_OBJECT
public:
    enum State { Idle = 0, Sending = 1, Paused = 2, Stopped = 3 };
    // The log view keeps only this many of the newest lines; the full trace is sendlog.log.
    static constexpr int kLogLines = 5000;

    frmSendMail(AppContext& ctx, const MailingRow& row, QWidget* parent = nullptr);
    ~frmSendMail() override;

    // Handed to every mailing this screen starts; tests put a scripted server here.
    mail::TransportFactory transportFactory;
    // Asked before Send goes out again with a mailing that was sent before (the mailing
    // centre's send-again warning); true sends. Unset: no question.
    std::function<bool(const MailingRow&)> confirmSendAgain;

    State state() const { return m_state; }
    RelaySend* mailing() const { return m_mailing.get(); }
    SendResultsModel* results() const { return m_results; }

    // How long closing mid-send lets the message in flight finish before it is abandoned.
    int closeWaitMs = 10000;
    // Closing while a mailing runs ends it like Stop: the message in flight finishes (within
    // closeWaitMs) or is abandoned, the counts are stored and the send log gets its end block.
    void done(int result) override;

Q_SIGNALS:
    void stateChanged(int state);
    // A mailing this screen started has ended; its counts are already in the MailEvent row.
    void mailingFinished(bool completed);

private:
    void pressSend();
    void pressPause();
    void pressStop();
    void setState(State next);
    // Send in state 0 or 3: the questions before a new mailing. False: nothing starts.
    bool confirmStart(LeaveOut& leaveOut);
    void startMailing(const LeaveOut& leaveOut);
    void connectSession(SMTPSocket& session);
    void onFinished(const RelaySend* which, bool completed);
    void showCounters(qint32 passed, qint32 failed);
    void addResult(const QString& text, SMTPSocket::Mark mark);
    void addLogLine(const QString& line);
    void flushLog();
    void showLog(bool on);
    void showStartError(const std::exception& e);

    AppContext& m_ctx;
    MailingRow m_row;
    std::unique_ptr<RelaySend> m_mailing;
    State m_state = Idle;
    bool m_summaryShown = false; // "<n> messages sent." stays once the mailing is complete
    bool m_interrupted = false;  // the last mailing was stopped or aborted
    bool m_closing = false;      // done() waits for the mailing to end; the buttons rest
    QSet<QString> m_delivered;   // addresses this screen's mailings delivered, lower case

    QPushButton* m_send;
    QPushButton* m_pause;
    QPushButton* m_stop;
    QPushButton* m_close;
    QLabel* m_sent;
    QLabel* m_failed;
    QLabel* m_connection;
    QLabel* m_status;
    QProgressBar* m_progress;
    QTableView* m_list;
    QCheckBox* m_viewLog;
    QPlainTextEdit* m_log;
    SendResultsModel* m_results;

    std::deque<QString> m_logTail; // newest kLogLines lines, shown when View Log is checked
    QStringList m_logPending;      // lines not yet in the view
    QTimer m_logFlush;             // batches log lines into the view
    QTimer m_scroll;               // follows the newest row without scrolling per row
};

} // namespace sendora
