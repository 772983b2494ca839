#include "ScheduleCommands.h"

#include "MailingCommands.h"
#include "ParserCommands.h"
#include "core/AppContext.h"
#include "core/ErrorLog.h"
#include "lists/ListModel.h"
#include "screens/Scheduler.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace sendora::cli {

namespace {

const QString kCaller = QStringLiteral("run-scheduled in ScheduleCommands");

// An exclusive flock on system/run-scheduled.lock for the life of the object; the kernel
// drops it when the process dies, so a crashed run never blocks the next.
class RunLock {
public:
    explicit RunLock(const QString& path) {
        m_fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (m_fd < 0) return;
        if (::flock(m_fd, LOCK_EX | LOCK_NB) == 0) {
            m_held = true;
            return;
        }
        m_busy = errno == EWOULDBLOCK;
    }
    ~RunLock() {
        if (m_fd >= 0) ::close(m_fd);
    }
    RunLock(const RunLock&) = delete;
    RunLock& operator=(const RunLock&) = delete;
    bool held() const { return m_held; }
    bool busy() const { return m_busy; }

private:
    int m_fd = -1;
    bool m_held = false;
    bool m_busy = false;
};

// The same send command a user would type, in a child process of its own: its logs, flags,
// counts and exit codes are those of send. Returns the exit code, or -1 when it did not run.
// A stop signal to the runner is passed on to the send and recorded in *stopSignal.
int sendMailing(AppContext& ctx, qint64 id, StopSignals& signals, int* stopSignal) {
    QProcess send;
    send.setProcessChannelMode(QProcess::ForwardedChannels);
    // Its own process group: a Ctrl-C meant for the runner reaches the send once, through
    // the runner, rather than twice (a second signal would abandon the message in flight).
    send.setChildProcessModifier([] { ::setpgid(0, 0); });
    QEventLoop loop;
    QObject::connect(&send, &QProcess::finished, &loop, &QEventLoop::quit);
    QObject::connect(&send, &QProcess::errorOccurred, &loop, [&](QProcess::ProcessError e) {
        if (e == QProcess::FailedToStart) loop.quit();
    });
    const auto forward = QObject::connect(&signals, &StopSignals::received, &loop, [&](int sig) {
        if (!*stopSignal) *stopSignal = sig;
        send.terminate();
    });
    send.start(QCoreApplication::applicationFilePath(),
               {QStringLiteral("--data-dir"), ctx.paths.app, QStringLiteral("send"), QString::number(id)});
    // The send bounds its own waits (server time-outs, the stop grace); this loop ends with it.
    if (send.state() != QProcess::NotRunning || send.error() != QProcess::FailedToStart) loop.exec();
    QObject::disconnect(forward);
    if (send.error() == QProcess::FailedToStart) return -1;
    return send.exitStatus() == QProcess::NormalExit ? send.exitCode() : 128 + SIGKILL;
}

} // namespace

int runScheduled(AppContext& ctx, const QStringList& args, QTextStream& err) {
    QDateTime now = QDateTime::currentDateTime();
    for (int i = 0; i < args.size(); ++i) {
        QString text;
        if (args[i] == QLatin1String("--now") && i + 1 < args.size())
            text = args[++i];
        else if (args[i].startsWith(QLatin1String("--now=")))
            text = args[i].mid(6);
        now = QDateTime::fromString(text.trimmed(), QStringLiteral("yyyy-MM-dd HH:mm"));
        if (!now.isValid()) {
            err << "Usage: sendora-cli run-scheduled [--now \"YYYY-MM-DD HH:MM\"]\n";
            return kExitUsage;
        }
    }
    if (!openExistingFolder(ctx, err)) return kExitUsage;

    RunLock lock(ctx.paths.system + QStringLiteral("run-scheduled.lock"));
    if (lock.busy()) {
        err << "sendora-cli: another run-scheduled is running for " << ctx.paths.app << "; nothing to do\n";
        return kExitCompleted;
    }
    if (!lock.held()) {
        err << "sendora-cli: cannot lock " << ctx.paths.system << "run-scheduled.lock\n";
        return kExitStorage;
    }

    QList<DueMailing> due;
    try {
        due = dueMailings(ctx, now);
    } catch (const std::exception& e) {
        LogError(ctx, kCaller, errorInfo(e), false);
        err << "sendora-cli: the schedules could not be read: " << errorInfo(e).description << '\n';
        return kExitStorage;
    }

    StopSignals signals;
    int stopSignal = 0;
    bool failed = false;
    for (const DueMailing& m : due) {
        if (stopSignal) break;
        // The list is out with a mailing started by hand: this one waits for the next run.
        if (!m.listFile.isEmpty() && ListModel::beingSent(m.listFile)) {
            err << "sendora-cli: mailing " << m.id << " skipped: its list " << escapedForTerminal(m.list)
                << " is being sent; it stays due\n";
            continue;
        }
        err << "sendora-cli: sending mailing " << m.id << ", scheduled for "
            << m.at.toString(QStringLiteral("yyyy-MM-dd HH:mm")) << '\n';
        err.flush();
        const int code = sendMailing(ctx, m.id, signals, &stopSignal);
        if (code == kExitCompleted) {
            try {
                markScheduledSent(ctx, m.id);
                continue;
            } catch (const std::exception& e) {
                LogError(ctx, kCaller, errorInfo(e), false);
                err << "sendora-cli: mailing " << m.id
                    << " was sent but could not be marked sent: " << errorInfo(e).description << '\n';
                failed = true;
                continue;
            }
        }
        failed = true;
        const QString text =
            code < 0 ? QStringLiteral("Scheduled mailing %1 could not be started; it stays due").arg(m.id)
                     : QStringLiteral("Scheduled mailing %1 did not complete (send exit code "
                                      "%2); it stays due")
                           .arg(m.id)
                           .arg(code);
        LogError(ctx, kCaller, {code, text}, false);
        err << "sendora-cli: " << text << '\n';
    }
    if (stopSignal) return 128 + stopSignal;
    return failed ? kExitAborted : kExitCompleted;
}

int runSchedulerCommand(AppContext& ctx, const QStringList& args, QTextStream& out, QTextStream& err) {
    const QString action = args.value(0);
    if (args.size() != 1 || (action != QLatin1String("install") && action != QLatin1String("remove") &&
                             action != QLatin1String("status"))) {
        err << "Usage: sendora-cli scheduler install|remove|status\n";
        return kExitUsage;
    }
    SchedulerTimer timer(QCoreApplication::applicationFilePath(), ctx.paths.app);
    QString message;
    if (action == QLatin1String("status")) {
        for (const QString& line : timer.status())
            out << line << '\n';
        return 0;
    }
    if (action == QLatin1String("remove")) {
        const bool ok = timer.remove(&message);
        (ok ? out : err) << "sendora-cli: " << message << '\n';
        return ok ? 0 : 1;
    }
    if (!openExistingFolder(ctx, err)) return kExitUsage;
    switch (timer.install(&message)) {
    case SchedulerTimer::Outcome::Enabled:
        out << "sendora-cli: " << message << '\n';
        return 0;
    case SchedulerTimer::Outcome::NeedsCrontab:
        out << "sendora-cli: unit files written to " << timer.timerPath() << " and " << timer.servicePath()
            << ", but they cannot be enabled here (" << message
            << ").\nAdd this line to your crontab (crontab -e) instead:\n"
            << timer.crontabLine() << '\n';
        return 0;
    case SchedulerTimer::Outcome::Failed:
        break;
    }
    err << "sendora-cli: " << message << '\n';
    return 1;
}

} // namespace sendora::cli
