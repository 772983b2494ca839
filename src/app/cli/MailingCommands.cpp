#include "MailingCommands.h"

#include "ParserCommands.h"
#include "core/AppContext.h"
#include "core/SystemDatabase.h"
#include "mailing/CMailingManager.h"
#include "mailing/SendMDBList.h"
#include "mailing/compose/ListMessageSource.h"
#include "mailing/relay/RelaySend.h"
#include "mailing/relay/SMTPSocket.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QTimer>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace sendora::cli {

namespace {

std::optional<MailingRow> mailingArgument(AppContext& ctx, const QString& text, QTextStream& err) {
    bool ok = false;
    const qint64 id = text.toLongLong(&ok);
    if (!ok) {
        err << "sendora-cli: '" << text << "' is not a mailing number\n";
        return std::nullopt;
    }
    auto row = loadMailingRow(ctx, id);
    if (!row) err << "sendora-cli: there is no mailing number " << id << '\n';
    return row;
}

// "[#######.............] 120/400 sent, 3 failed"
void drawProgress(QTextStream& err, qint64 done, qint64 total, qint64 passed, qint64 failed) {
    constexpr int width = 30;
    const int filled = total > 0 ? int(width * std::min(done, total) / total) : 0;
    err << "\r[" << QString(filled, u'#') << QString(width - filled, u'.') << "] " << done << '/' << total
        << " sent, " << failed << " failed" << (passed + failed >= total ? "" : "  ");
    err.flush();
}

constexpr int kStopGraceMs = 10000;

// The direct-send path of send: ids assigned, the mailers run to their end (or to a stop on
// SIGTERM/SIGINT), the figures stored.
int runDirectSend(AppContext& ctx, const MailingRow& row, QTextStream& err) {
    CMailingManager manager(ctx);
    int stopSignal = 0;
    bool over = false;
    QObject::connect(&manager, &CMailingManager::status, [&](const QString& text) { err << text << '\n'; });
    QObject::connect(&manager, &CMailingManager::failure, [&](int mailer, qint64 id, const QString& text) {
        err << "\nDescription: " << escapedForTerminal(text) << "\nMailer#:     " << mailer
            << "\nAddress ID:  " << id << '\n';
    });
    auto progress = [&] {
        drawProgress(err, manager.sentCount() + manager.failedCount(), manager.addressCount(),
                     manager.sentCount(), manager.failedCount());
    };
    QObject::connect(&manager, &CMailingManager::sentChanged, progress);
    QObject::connect(&manager, &CMailingManager::failedChanged, progress);
    QObject::connect(&manager, &CMailingManager::initFinished, [&](bool ok) {
        if (ok && !stopSignal && manager.start(manager.addressCount(), manager.options().concurrent_mailers))
            return;
        over = true;
        qApp->quit();
    });
    QObject::connect(&manager, &CMailingManager::mailingEnded, [&](bool) {
        err << "\n  Sent: " << manager.sentCount() << "\n  Failed: " << manager.failedCount() << '\n';
        over = true;
        qApp->quit();
    });
    // A second signal, or servers that keep their messages too long, end the send at once.
    QTimer grace;
    grace.setSingleShot(true);
    QObject::connect(&grace, &QTimer::timeout, [&] { manager.abandon(); });
    StopSignals stopSignals;
    if (stopSignals.isOpen())
        QObject::connect(&stopSignals, &StopSignals::received, [&](int sig) {
            if (stopSignal) {
                manager.abandon();
                return;
            }
            grace.start(kStopGraceMs);
            stopSignal = sig;
            err << "\nsendora-cli: stopping; the messages in flight are finished first\n";
            err.flush();
            if (manager.getState() == CMailingManager::State::Initialising)
                manager.cancelInit();
            else
                manager.stopMailing();
        });
    manager.init(row.id);
    if (!over) QCoreApplication::exec();
    if (manager.storageFailed()) {
        err << "sendora-cli: " << manager.failureText() << '\n';
        return kExitStorage;
    }
    if (stopSignal) return 128 + stopSignal;
    return manager.completed() ? kExitCompleted : kExitAborted;
}

} // namespace

StopSignals::StopSignals() {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, s_fds) != 0) return;
    ::fcntl(s_fds[1], F_SETFL, O_NONBLOCK);
    struct sigaction sa = {};
    sa.sa_handler = &StopSignals::onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (int i = 0; i < 2; ++i)
        ::sigaction(kSignals[i], &sa, &m_previous[i]);
    m_notifier = new QSocketNotifier(s_fds[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] {
        unsigned char sig = 0;
        if (::read(s_fds[0], &sig, 1) == 1) Q_EMIT received(sig);
    });
}

StopSignals::~StopSignals() {
    if (!m_notifier) return;
    for (int i = 0; i < 2; ++i)
        ::sigaction(kSignals[i], &m_previous[i], nullptr);
    delete m_notifier;
    ::close(s_fds[0]);
    ::close(s_fds[1]);
    s_fds[0] = s_fds[1] = -1;
}

void StopSignals::onSignal(int sig) {
    // Only write(2) here: it is async-signal-safe; the event loop does the rest.
    const int saved = errno;
    const unsigned char c = static_cast<unsigned char>(sig);
    [[maybe_unused]] const ssize_t n = ::write(s_fds[1], &c, 1);
    errno = saved;
}

bool openExistingFolder(AppContext& ctx, QTextStream& err) {
    if (!QFileInfo::exists(ctx.paths.systemDatabase())) {
        err << "sendora-cli: no system database in " << ctx.paths.app << "; run 'sendora-cli init' first\n";
        return false;
    }
    // Damaged, unreadable or locked: say so, rather than find no mailing in it.
    if (const QString problem = systemDatabaseProblem(ctx); !problem.isEmpty()) {
        err << "sendora-cli: " << problem << '\n';
        return false;
    }
    ctx.settingsFile.setPath(ctx.paths.settingsFile());
    loadApplicationDefaults(ctx.settingsFile, ctx.settings);
    return true;
}

int runCompose(AppContext& ctx, const QStringList& args, QTextStream& err) {
    QString id;
    QString to;
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--to") && i + 1 < args.size())
            to = args[++i];
        else if (id.isEmpty())
            id = args[i];
        else {
            err << "sendora-cli: unexpected argument " << args[i] << '\n';
            return 2;
        }
    }
    if (id.isEmpty() || to.isEmpty()) {
        err << "Usage: sendora-cli compose MAILING_ID --to ADDRESS\n";
        return 2;
    }
    if (!openExistingFolder(ctx, err)) return 2;
    const auto row = mailingArgument(ctx, id, err);
    if (!row) return 2;

    MailEvent options;
    GetMEPFromDB(ctx, options, row->profile);
    SendMDBList cursor(ctx, options);
    cursor.Sendora = row->group;
    cursor.AddrListName = row->list;
    cursor.MsgName = row->message;
    cursor.MailOptionsName = row->profile;
    if (!cursor.openMessageAndList()) return 1;
    QString sender = options.From.trimmed();
    sender.removeIf([](QChar c) { return c.unicode() < 33; });
    ListMessageSource messages(ctx, cursor);
    if (!messages.prepare(sender, options.ReplyTo.trimmed(), QDateTime::currentDateTime(),
                          [&err](const QString& line) { err << line << '\n'; }))
        return 1;
    bool inList = false;
    const QByteArray data = messages.messageFor(to.trimmed(), &inList);
    if (!inList)
        err << "sendora-cli: " << escapedForTerminal(to.trimmed()) << " is not in the list " << row->list
            << "; its merge fields are empty\n";
    QFile out;
    if (!out.open(stdout, QIODevice::WriteOnly)) return 1;
    out.write(data);
    out.flush();
    return 0;
}

int runSend(AppContext& ctx, const QStringList& args, QTextStream& err) {
    QString id;
    int timeoutRetries = 3;
    for (int i = 0; i < args.size(); ++i) {
        bool ok = true;
        if (args[i] == QLatin1String("--timeout-retries") && i + 1 < args.size())
            timeoutRetries = args[++i].toInt(&ok);
        else if (args[i].startsWith(QLatin1String("--timeout-retries=")))
            timeoutRetries = args[i].mid(18).toInt(&ok);
        else if (id.isEmpty() && !args[i].startsWith(QLatin1String("--")))
            id = args[i];
        else
            ok = false;
        if (!ok || timeoutRetries < 0) {
            err << "Usage: sendora-cli send MAILING_ID [--timeout-retries N]\n";
            return kExitUsage;
        }
    }
    if (id.isEmpty()) {
        err << "Usage: sendora-cli send MAILING_ID [--timeout-retries N]\n";
        return kExitUsage;
    }
    if (!openExistingFolder(ctx, err)) return kExitUsage;
    const auto row = mailingArgument(ctx, id, err);
    if (!row) return kExitUsage;

    MailEvent options;
    GetMEPFromDB(ctx, options, row->profile);
    if (options.direct_send) return runDirectSend(ctx, *row, err);

    RelaySend mailing(ctx, *row);
    mailing.timeoutRetries = timeoutRetries;
    int stopSignal = 0;
    bool ended = false;
    auto exitCode = [&] {
        if (mailing.storageFailed()) return kExitStorage;
        if (stopSignal) return 128 + stopSignal;
        return mailing.completed() ? kExitCompleted : kExitAborted;
    };
    QObject::connect(&mailing, &RelaySend::finished, [&](bool) {
        ended = true;
        SMTPSocket* s = mailing.session();
        err << '\n';
        if (s->log().facts.end.isValid())
            for (const QString& line : s->statisticsRows())
                err << "  " << line << '\n';
        err.flush();
        // Let the QUIT exchange finish, but never wait long for it.
        QTimer::singleShot(5000, qApp, &QCoreApplication::quit);
        QObject::connect(&s->socket(), &mail::MailSocket::Disconnected, qApp, &QCoreApplication::quit,
                         Qt::QueuedConnection);
        if (!s->socket().IsOpen()) QTimer::singleShot(0, qApp, &QCoreApplication::quit);
    });

    // SIGTERM or SIGINT ends the mailing as Stop does; a second one, or a server that keeps
    // the message in flight too long, abandons that message.
    StopSignals stopSignals;
    QTimer grace;
    grace.setSingleShot(true);
    QObject::connect(&grace, &QTimer::timeout, [&] { mailing.abandon(); });
    if (stopSignals.isOpen())
        QObject::connect(&stopSignals, &StopSignals::received, [&](int sig) {
            if (ended) return;
            if (stopSignal) {
                mailing.abandon();
                return;
            }
            stopSignal = sig;
            err << "\nsendora-cli: stopping; the message in flight is finished first\n";
            err.flush();
            mailing.setStop();
            grace.start(kStopGraceMs);
        });

    if (!mailing.start()) return mailing.storageFailed() ? kExitStorage : kExitAborted;
    SMTPSocket* s = mailing.session();
    QObject::connect(s, &SMTPSocket::CounterUpdate, [&](qint32 passed, qint32 failed) {
        drawProgress(err, passed + failed, mailing.recipientCount(), passed, failed);
    });
    QObject::connect(s, &SMTPSocket::AddMailed, [&](const QString& text, SMTPSocket::Mark mark) {
        if (mark == SMTPSocket::Mark::Fail || text.startsWith(QLatin1String("*****")) ||
            text.startsWith(QLatin1String("Reason")) || text.startsWith(QLatin1String("Server timed out")))
            err << '\n' << text << '\n';
    });
    if (!ended) QCoreApplication::exec();
    return exitCode();
}

} // namespace sendora::cli
