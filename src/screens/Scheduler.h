#pragma once
// The schedule of a mailing (date, time, Active, MailingSent in its MailEvent row), the
// mailings a scheduled run must send, and the systemd user timer (or crontab line) that
// runs "sendora-cli run-scheduled" every minute for one application folder.

#include <QDateTime>
#include <QList>
#include <QString>
#include <optional>

namespace sendora {

struct AppContext;

struct Schedule {
    QDate date;
    QTime time;
    bool active = false;
    bool sent = false;
};

class Scheduler {
public:
    explicit Scheduler(AppContext& ctx) : m_ctx(ctx) {}

    static const QString kNotFound;

    // The schedule of the mailing; empty columns are filled in (today, now, False) and
    // stored at once. Nothing (after a message) when there is no such mailing or it could
    // not be read.
    std::optional<Schedule> load(qint64 mailingId, const QDateTime& now = QDateTime::currentDateTime());

    // Stores date, time and Active, and clears MailingSent so that the mailing can go again.
    bool save(qint64 mailingId, const QDate& date, const QTime& time, bool active);

private:
    AppContext& m_ctx;
};

// A mailing a scheduled run has to send now.
struct DueMailing {
    qint64 id = 0;
    QString list;     // list name
    QString listFile; // its file, empty when the catalogue has none
    QDateTime at;     // ScheduledDate + ScheduledTime
};

// Active, not yet sent and due at or before now, oldest first. Throws on storage errors.
QList<DueMailing> dueMailings(AppContext& ctx, const QDateTime& now);

// MailingSent := True once the scheduled send completed.
void markScheduledSent(AppContext& ctx, qint64 mailingId);

// The timer that runs the scheduled mailings of one application folder.
class SchedulerTimer {
public:
    static const QString kServiceName; // sendora-scheduler.service
    static const QString kTimerName;   // sendora-scheduler.timer

    // cli: the sendora-cli program; dataDir: the application folder; unitDir: where user
    // units live (empty: $XDG_CONFIG_HOME/systemd/user); systemctl: the program, empty when
    // none is to be used ($SENDORA_SYSTEMCTL overrides the search, tests point it at a fake).
    SchedulerTimer(const QString& cli, const QString& dataDir, const QString& unitDir = {});

    static QString defaultSystemctl();
    void setSystemctl(const QString& program) { m_systemctl = program; }

    QString serviceText() const;
    QString timerText() const;
    QString crontabLine() const;
    QString servicePath() const;
    QString timerPath() const;

    enum class Outcome { Enabled, NeedsCrontab, Failed };
    // Writes the units (when changed) and enables the timer. NeedsCrontab: no usable
    // systemctl --user; the caller shows crontabLine(). message says what happened.
    Outcome install(QString* message);
    // Disables the timer and removes the unit files.
    bool remove(QString* message);
    // Lines describing the unit files and the timer state.
    QStringList status() const;

private:
    // systemctl --user args; false when it did not run or failed (its output in *output).
    bool systemctl(const QStringList& args, QString* output = nullptr) const;

    QString m_cli;
    QString m_dataDir;
    QString m_unitDir;
    QString m_systemctl;
};

// The dialog's "make sure the runner will run": installs the timer for this folder with
// the sendora-cli beside the running program (or cli); the crontab line or a failure goes
// to the user interface.
bool ensureSchedulerRunner(AppContext& ctx, const QString& cli = {});

} // namespace sendora
