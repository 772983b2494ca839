#pragma once
// frmDirectSend: the direct-send screen over CMailingManager. Send prepares the list and
// starts the mailers; Pause, Stop and Close steer them; counters, elapsed time, rate, the
// last failure and the selected mailer's log follow the manager's signals.

#include "mailing/CMailingManager.h"
#include "mailing/relay/RelaySend.h"

#include <QDialog>
#include <QTimer>
#include <memory>

class QCheckBox;
class QComboBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace sendora {

struct AppContext;

class frmDirectSend : public QDialog {
    Q_OBJECT
public:
    enum State { Idle, Initialising, Sending, Paused, Stopping, Over };

    frmDirectSend(AppContext& ctx, const MailingRow& row, QWidget* parent = nullptr);
    ~frmDirectSend() override;

    State state() const { return m_state; }
    CMailingManager* manager() const { return m_manager.get(); }
    // Closing mid-send stops the mailers and waits at most this long for them.
    int closeWaitMs = 15000;
    void done(int result) override;

    // "1,234.00" for the bytes sent.
    static QString bytesText(qint64 bytes);
    // "hh:mm:ss" for an elapsed time.
    static QString elapsedText(qint64 ms);

Q_SIGNALS:
    void stateChanged(int state);
    // The figures are stored in the mailing's row.
    void mailingFinished(bool completed);

private:
    void pressSend();
    void pressPause();
    void pressStop();
    void pressFailures();
    void setState(State s);
    void onInitFinished(bool ok);
    void tick();
    void addLog(const QString& line);

    AppContext& m_ctx;
    MailingRow m_row;
    std::unique_ptr<CMailingManager> m_manager;
    State m_state = Idle;
    QTimer m_elapsed;

    QPushButton *m_send, *m_pause, *m_stop, *m_failures, *m_close;
    QComboBox *m_mailer, *m_unit;
    QLabel *m_time, *m_addresses, *m_sent, *m_failed, *m_rate, *m_bytes, *m_lastFailure, *m_status;
    QCheckBox* m_viewLog;
    QPlainTextEdit* m_log;
};

} // namespace sendora
