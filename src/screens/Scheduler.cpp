#include "Scheduler.h"

#include "components/jet/Jet.h"
#include "core/AppContext.h"
#include "core/ErrorLog.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSaveFile>
#include <QStandardPaths>

namespace sendora {

namespace {

const QString kModule = QStringLiteral(" in frmScheduler");

// A time of day is stored the way the date pickers store it: on day zero.
QDateTime timeValue(const QTime& t) {
    return QDateTime(QDate(1899, 12, 30), t);
}

QDateTime asDateTime(const QVariant& v) {
    return v.typeId() == QMetaType::QDateTime ? v.toDateTime() : QDateTime();
}

// One argument of ExecStart=: quoted, with what systemd would expand or unescape kept literal.
QString unitArgument(const QString& s) {
    QString out;
    for (const QChar c : s) {
        if (c == u'\\' || c == u'"')
            out += u'\\';
        else if (c == u'%' || c == u'$')
            out += c;
        else if (c == u'\n') {
            out += QStringLiteral("\\n");
            continue;
        }
        out += c;
    }
    return u'"' + out + u'"';
}

// One word of a crontab command: shell-quoted, with the % that cron turns into a newline escaped.
QString cronArgument(const QString& s) {
    QString quoted = s;
    quoted.replace(u'\'', QStringLiteral("'\\''"));
    quoted.replace(u'%', QStringLiteral("\\%"));
    return u'\'' + quoted + u'\'';
}

bool writeIfChanged(const QString& path, const QString& text, bool* changed, QString* message) {
    QFile current(path);
    if (current.open(QIODevice::ReadOnly) && current.readAll() == text.toUtf8()) return true;
    current.close();
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(text.toUtf8()) < 0 || !f.commit()) {
        if (message) *message = QStringLiteral("Cannot write %1: %2").arg(path, f.errorString());
        return false;
    }
    *changed = true;
    return true;
}

} // namespace

const QString Scheduler::kNotFound = QStringLiteral("The selected mailing was not found.");

namespace {

// The mailing's MailEvent row; null after telling the user it is gone.
std::unique_ptr<jet::Recordset> openMailing(AppContext& ctx, jet::Database& db, qint64 mailingId) {
    auto rs =
        db.openRecordset(QStringLiteral("SELECT * FROM MailEvent WHERE MailEventName = %1;").arg(mailingId));
    if (!rs->eof()) return rs;
    ctx.ui->message(Scheduler::kNotFound, Buttons::OK, Icon::Information);
    return nullptr;
}

} // namespace

std::optional<Schedule> Scheduler::load(qint64 mailingId, const QDateTime& now) {
    try {
        auto db = jet::Database::open(m_ctx.paths.systemDatabase());
        const auto rs = openMailing(m_ctx, *db, mailingId);
        if (!rs) return std::nullopt;
        const QVariant date = rs->value(QStringLiteral("ScheduledDate"));
        const QVariant time = rs->value(QStringLiteral("ScheduledTime"));
        const QVariant active = rs->value(QStringLiteral("Active"));
        const QVariant sent = rs->value(QStringLiteral("MailingSent"));
        Schedule s;
        s.date = date.isNull() ? now.date() : asDateTime(date).date();
        s.time = time.isNull() ? QTime(now.time().hour(), now.time().minute()) : asDateTime(time).time();
        s.active = !active.isNull() && active.toBool();
        s.sent = !sent.isNull() && sent.toBool();
        if (date.isNull() || time.isNull() || active.isNull() || sent.isNull()) {
            rs->edit();
            if (date.isNull()) rs->setValue(QStringLiteral("ScheduledDate"), QDateTime(s.date, QTime(0, 0)));
            if (time.isNull()) rs->setValue(QStringLiteral("ScheduledTime"), timeValue(s.time));
            if (active.isNull()) rs->setValue(QStringLiteral("Active"), false);
            if (sent.isNull()) rs->setValue(QStringLiteral("MailingSent"), false);
            rs->update();
        }
        if (!s.date.isValid()) s.date = now.date();
        if (!s.time.isValid()) s.time = QTime(now.time().hour(), now.time().minute());
        return s;
    } catch (const std::exception& e) {
        LogError(m_ctx, QStringLiteral("LoadValuesByID") + kModule, errorInfo(e), true);
        return std::nullopt;
    }
}

bool Scheduler::save(qint64 mailingId, const QDate& date, const QTime& time, bool active) {
    try {
        auto db = jet::Database::open(m_ctx.paths.systemDatabase());
        const auto rs = openMailing(m_ctx, *db, mailingId);
        if (!rs) return false;
        rs->edit();
        rs->setValue(QStringLiteral("ScheduledDate"), QDateTime(date, QTime(0, 0)));
        rs->setValue(QStringLiteral("ScheduledTime"), timeValue(QTime(time.hour(), time.minute())));
        rs->setValue(QStringLiteral("Active"), active);
        rs->setValue(QStringLiteral("MailingSent"), false);
        rs->update();
        return true;
    } catch (const std::exception& e) {
        LogError(m_ctx, QStringLiteral("cmdOK_Click") + kModule, errorInfo(e), true);
        return false;
    }
}

QList<DueMailing> dueMailings(AppContext& ctx, const QDateTime& now) {
    QList<DueMailing> due;
    auto db = jet::Database::open(ctx.paths.systemDatabase(), jet::Database::OpenMode::ReadOnly);
    for (auto rs = db->openRecordset(QStringLiteral("SELECT MailEventName, ListName, ScheduledDate, "
                                                    "ScheduledTime, Active, MailingSent FROM MailEvent "
                                                    "ORDER BY MailEventName"));
         !rs->eof(); rs->moveNext()) {
        if (!rs->value(4).toBool() || rs->value(5).toBool()) continue;
        const QDateTime date = asDateTime(rs->value(2));
        const QDateTime time = asDateTime(rs->value(3));
        if (!date.isValid() || !time.isValid()) continue;
        const QDateTime at(date.date(), time.time());
        if (at > now) continue;
        due.append({rs->value(0).toLongLong(), rs->value(1).toString(), QString(), at});
    }
    for (DueMailing& m : due) {
        auto list = db->openRecordset(QStringLiteral("SELECT listpath FROM List WHERE listname = ") +
                                      jet::quote(m.list));
        if (!list->eof() && !list->value(0).toString().isEmpty())
            m.listFile = ctx.paths.listFile(list->value(0).toString());
    }
    std::stable_sort(due.begin(), due.end(), [](const auto& a, const auto& b) { return a.at < b.at; });
    return due;
}

void markScheduledSent(AppContext& ctx, qint64 mailingId) {
    auto db = jet::Database::open(ctx.paths.systemDatabase());
    db->execute(
        QStringLiteral("UPDATE MailEvent SET MailingSent = -1 WHERE MailEventName = %1").arg(mailingId),
        true);
}

const QString SchedulerTimer::kServiceName = QStringLiteral("sendora-scheduler.service");
const QString SchedulerTimer::kTimerName = QStringLiteral("sendora-scheduler.timer");

SchedulerTimer::SchedulerTimer(const QString& cli, const QString& dataDir, const QString& unitDir)
    : m_cli(QFileInfo(cli).absoluteFilePath()), m_dataDir(QDir(dataDir).absolutePath()), m_unitDir(unitDir),
      m_systemctl(defaultSystemctl()) {
    if (m_unitDir.isEmpty())
        m_unitDir = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                    QStringLiteral("/systemd/user");
}

QString SchedulerTimer::defaultSystemctl() {
    if (qEnvironmentVariableIsSet("SENDORA_SYSTEMCTL")) return qEnvironmentVariable("SENDORA_SYSTEMCTL");
    return QStandardPaths::findExecutable(QStringLiteral("systemctl"));
}

QString SchedulerTimer::serviceText() const {
    return QStringLiteral("[Unit]\n"
                          "Description=Sendora scheduled mailings\n"
                          "\n"
                          "[Service]\n"
                          "Type=oneshot\n"
                          "KillMode=mixed\n"
                          "ExecStart=%1 --data-dir %2 run-scheduled\n")
        .arg(unitArgument(m_cli), unitArgument(m_dataDir));
}

QString SchedulerTimer::timerText() const {
    return QStringLiteral("[Unit]\n"
                          "Description=Sendora scheduled mailings, checked every minute\n"
                          "\n"
                          "[Timer]\n"
                          "OnCalendar=*-*-* *:*:00\n"
                          "AccuracySec=1s\n"
                          "Unit=%1\n"
                          "\n"
                          "[Install]\n"
                          "WantedBy=timers.target\n")
        .arg(kServiceName);
}

QString SchedulerTimer::crontabLine() const {
    return QStringLiteral("* * * * * %1 --data-dir %2 run-scheduled >/dev/null 2>&1")
        .arg(cronArgument(m_cli), cronArgument(m_dataDir));
}

QString SchedulerTimer::servicePath() const {
    return m_unitDir + u'/' + kServiceName;
}

QString SchedulerTimer::timerPath() const {
    return m_unitDir + u'/' + kTimerName;
}

bool SchedulerTimer::systemctl(const QStringList& args, QString* output) const {
    if (m_systemctl.isEmpty()) return false;
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(m_systemctl, QStringList{QStringLiteral("--user")} + args);
    if (!p.waitForStarted(5000)) return false;
    if (!p.waitForFinished(20000)) {
        p.kill();
        p.waitForFinished(2000);
        if (output) *output = QStringLiteral("systemctl did not answer");
        return false;
    }
    if (output) *output = QString::fromLocal8Bit(p.readAll()).trimmed();
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

SchedulerTimer::Outcome SchedulerTimer::install(QString* message) {
    QString text;
    bool changed = false;
    if (!QDir().mkpath(m_unitDir)) {
        if (message) *message = QStringLiteral("Cannot create the folder %1").arg(m_unitDir);
        return Outcome::Failed;
    }
    if (!writeIfChanged(servicePath(), serviceText(), &changed, message) ||
        !writeIfChanged(timerPath(), timerText(), &changed, message))
        return Outcome::Failed;
    if (m_systemctl.isEmpty()) {
        if (message) *message = QStringLiteral("systemctl is not available");
        return Outcome::NeedsCrontab;
    }
    // No user manager (no session bus, a container): cron has to run it.
    if (!systemctl({QStringLiteral("daemon-reload")}, &text)) {
        if (message) *message = text.isEmpty() ? QStringLiteral("systemctl --user is not available") : text;
        return Outcome::NeedsCrontab;
    }
    if (!systemctl({QStringLiteral("enable"), QStringLiteral("--now"), kTimerName}, &text)) {
        if (message)
            *message = QStringLiteral("systemctl --user enable --now %1 failed: %2").arg(kTimerName, text);
        return Outcome::Failed;
    }
    if (message)
        *message = QStringLiteral("%1 runs 'run-scheduled' every minute for %2").arg(kTimerName, m_dataDir);
    return Outcome::Enabled;
}

bool SchedulerTimer::remove(QString* message) {
    QString text;
    const bool hadUnits = QFile::exists(timerPath()) || QFile::exists(servicePath());
    if (hadUnits) systemctl({QStringLiteral("disable"), QStringLiteral("--now"), kTimerName}, &text);
    for (const QString& path : {timerPath(), servicePath()})
        if (QFile::exists(path) && !QFile::remove(path)) {
            if (message) *message = QStringLiteral("Cannot remove %1").arg(path);
            return false;
        }
    if (hadUnits) systemctl({QStringLiteral("daemon-reload")});
    if (message)
        *message = hadUnits ? QStringLiteral("%1 removed").arg(kTimerName)
                            : QStringLiteral("%1 was not installed").arg(kTimerName);
    return true;
}

QStringList SchedulerTimer::status() const {
    QStringList lines;
    QFile service(servicePath());
    if (!QFile::exists(timerPath()) || !service.open(QIODevice::ReadOnly)) {
        lines << QStringLiteral("%1: not installed in %2").arg(kTimerName, m_unitDir);
    } else {
        lines << QStringLiteral("%1: %2").arg(kTimerName, timerPath());
        for (const QByteArray& line : service.readAll().split('\n'))
            if (line.startsWith("ExecStart="))
                lines << QStringLiteral("runs: %1").arg(QString::fromUtf8(line.mid(10)));
        QString state;
        if (systemctl({QStringLiteral("is-active"), kTimerName}, &state) || !state.isEmpty())
            lines << QStringLiteral("state: %1").arg(state.isEmpty() ? QStringLiteral("unknown") : state);
    }
    lines << QStringLiteral("crontab line for this folder: %1").arg(crontabLine());
    return lines;
}

bool ensureSchedulerRunner(AppContext& ctx, const QString& cliProgram) {
    const QString cli =
        cliProgram.isEmpty()
            ? QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("sendora-cli"))
            : cliProgram;
    if (!QFileInfo(cli).isExecutable()) {
        ctx.ui->message(QStringLiteral("The scheduled mailing cannot be sent: %1 was not found.").arg(cli),
                        Buttons::OK, Icon::Exclamation);
        return false;
    }
    SchedulerTimer timer(cli, ctx.paths.app);
    QString message;
    switch (timer.install(&message)) {
    case SchedulerTimer::Outcome::Enabled:
        return true;
    case SchedulerTimer::Outcome::NeedsCrontab:
        ctx.ui->message(QStringLiteral("Scheduled mailings are sent by a program that runs every minute, and "
                                       "it cannot be set up here (%1).\r\nAdd this line to your crontab "
                                       "(crontab -e):\r\n\r\n%2")
                            .arg(message, timer.crontabLine()),
                        Buttons::OK, Icon::Information);
        return true;
    case SchedulerTimer::Outcome::Failed:
        break;
    }
    ctx.ui->message(QStringLiteral("The scheduled mailing cannot be sent: %1").arg(message), Buttons::OK,
                    Icon::Exclamation);
    return false;
}

} // namespace sendora
