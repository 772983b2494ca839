#include "MailingCommands.h"

#include "core/AppContext.h"
#include "mailing/SendMDBList.h"
#include "mailing/compose/ListMessageSource.h"
#include "mailing/relay/RelaySend.h"
#include "mailing/relay/SMTPSocket.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QTimer>
#include <cstdio>

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

} // namespace

bool openExistingFolder(AppContext& ctx, QTextStream& err) {
    if (!QFileInfo::exists(ctx.paths.systemDatabase())) {
        err << "sendora-cli: no system database in " << ctx.paths.app << "; run 'sendora-cli init' first\n";
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
    const QByteArray data = messages.messageFor(to.trimmed());
    QFile out;
    if (!out.open(stdout, QIODevice::WriteOnly)) return 1;
    out.write(data);
    out.flush();
    return 0;
}

int runSend(AppContext& ctx, const QStringList& args, QTextStream& err) {
    if (args.size() != 1) {
        err << "Usage: sendora-cli send MAILING_ID\n";
        return 2;
    }
    if (!openExistingFolder(ctx, err)) return 2;
    const auto row = mailingArgument(ctx, args.first(), err);
    if (!row) return 2;

    RelaySend mailing(ctx, *row);
    int code = 1;
    bool ended = false;
    QObject::connect(&mailing, &RelaySend::finished, [&](bool completed) {
        code = completed ? 0 : 1;
        ended = true;
        SMTPSocket* s = mailing.session();
        err << '\n';
        for (const QString& line : s->statisticsRows())
            err << "  " << line << '\n';
        err.flush();
        // Let the QUIT exchange finish, but never wait long for it.
        QTimer::singleShot(5000, qApp, &QCoreApplication::quit);
        QObject::connect(&s->socket(), &mail::MailSocket::Disconnected, qApp, &QCoreApplication::quit,
                         Qt::QueuedConnection);
        if (!s->socket().IsOpen()) QTimer::singleShot(0, qApp, &QCoreApplication::quit);
    });
    if (!mailing.start()) return 1;
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
    return code;
}

} // namespace sendora::cli
