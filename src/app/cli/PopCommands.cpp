#include "PopCommands.h"

#include "CliSupport.h"
#include "MailingCommands.h"
#include "core/AppContext.h"
#include "core/ListActions.h"
#include "core/SystemDatabase.h"
#include "pop/ListUpdates.h"
#include "pop/PopAccounts.h"
#include "pop/PopLog.h"
#include "pop/PopRun.h"
#include "pop/SearchFiles.h"

#include <QEventLoop>

namespace sendora::cli {

const char* const kPopUsage =
    "  pop account add NAME --host HOST --user USER [--port N] [--security none|starttls|tls]\n"
    "                  [--password-stdin]\n"
    "                            store a POP account (the password is read from the first line of\n"
    "                            standard input); without --security STLS is used when offered,\n"
    "                            and 'none' lets the password travel unencrypted\n"
    "  pop run ACCOUNT --mode returned|subscribe|import [--all] [--phrases CATEGORY]... [--delete]\n"
    "                  [--remove-from LIST]... [--add-to LIST]... [--global-remove] [--save NAME]\n"
    "                            read the mailbox: returned mail's failed recipients, senders whose\n"
    "                            subject holds a phrase of CATEGORY (Search Files), or every sender;\n"
    "                            update the lists, then delete the processed messages (--delete)\n";

namespace {

constexpr int kFailed = 1;
constexpr int kUsageError = 2;

using Parsed = Options;

bool parse(const QStringList& args, const QStringList& valued, const QStringList& flags, Parsed& p,
           QTextStream& err) {
    return parseOptions(args, valued, flags, "pop", p, err);
}

// Values of a repeated option in the order given.
QStringList all(const Parsed& p, const QString& option) {
    QStringList v = p.values.values(option);
    std::reverse(v.begin(), v.end());
    return v;
}

int addAccount(AppContext& ctx, const QStringList& args, QTextStream& in, QTextStream& out,
               QTextStream& err) {
    Parsed p;
    if (!parse(args, {"--host", "--user", "--port", "--security"}, {"--password-stdin"}, p, err))
        return kUsageError;
    if (p.positional.size() != 1 || !p.values.contains("--host") || !p.values.contains("--user")) {
        err << "usage: sendora-cli pop account add NAME --host HOST --user USER [--port N] "
               "[--security none|starttls|tls] [--password-stdin]\n";
        return kUsageError;
    }
    pop::PopAccount a;
    a.id = p.positional[0].trimmed();
    a.serverName = p.values.value("--host");
    a.userName = p.values.value("--user");
    if (p.values.contains("--port")) {
        bool ok = false;
        a.port = p.values.value("--port").toInt(&ok);
        if (!ok || a.port < 1 || a.port > 65535) {
            err << "sendora-cli: --port needs a number from 1 to 65535\n";
            return kUsageError;
        }
    }
    if (p.values.contains("--security")) {
        const QString s = p.values.value("--security");
        const auto security = pop::securityFromName(s);
        if (!security || *security == pop::PopSecurity::IfOffered) {
            err << "sendora-cli: --security is none, starttls or tls\n";
            return kUsageError;
        }
        a.security = *security;
    }
    if (p.flags.contains("--password-stdin")) a.password = in.readLine();
    if (!openExistingFolder(ctx, err)) return kUsageError;
    // The port and security columns come with start-up's column additions.
    updateDatabase(ctx);
    if (!pop::PopAccountStore(ctx).add(a)) return kFailed;
    out << "POP account '" << a.id << "' added (" << a.serverName << ':' << a.effectivePort() << ", "
        << pop::securityName(a.security) << ")\n";
    return 0;
}

int run(AppContext& ctx, const QStringList& args, QTextStream& out, QTextStream& err) {
    Parsed p;
    if (!parse(args, {"--mode", "--phrases", "--remove-from", "--add-to", "--save"},
               {"--all", "--delete", "--global-remove"}, p, err))
        return kUsageError;
    const QString mode = p.values.value("--mode");
    const QStringList modes{"returned", "subscribe", "import"};
    if (p.positional.size() != 1 || !modes.contains(mode)) {
        err << "usage: sendora-cli pop run ACCOUNT --mode returned|subscribe|import [--all] "
               "[--phrases CATEGORY]... [--delete] [--remove-from LIST]... [--add-to LIST]... "
               "[--global-remove] [--save NAME]\n";
        return kUsageError;
    }
    if (!openExistingFolder(ctx, err)) return kUsageError;
    pop::PopRunOptions o;
    o.mode = int(modes.indexOf(mode)) + 1;
    o.deleteProcessed = p.flags.contains("--delete");
    QStringList missing;
    o.phrases = pop::SearchFiles(ctx).phrasesOf(all(p, "--phrases"), &missing);
    if (!missing.isEmpty()) {
        err << "sendora-cli: no phrase category '" << missing.join("', '") << "' in " << ctx.paths.searchFiles
            << '\n';
        return kUsageError;
    }
    o.processAll = p.flags.contains("--all") || (o.mode == 3 && o.phrases.isEmpty());
    o.bounceRules = o.mode == 1;
    if (o.mode == 2 && o.phrases.isEmpty() && !o.processAll) {
        err << "sendora-cli: subscribe needs --phrases CATEGORY or --all\n";
        return kUsageError;
    }
    const QStringList addTo = all(p, "--add-to"), removeFrom = all(p, "--remove-from");
    for (const QString& list : addTo + removeFrom)
        if (GetListPath(ctx, list).isEmpty()) {
            err << "sendora-cli: there is no list named '" << list << "'\n";
            return kUsageError;
        }
    const auto account = pop::PopAccountStore(ctx).load(p.positional[0]);
    if (!account) return kUsageError;

    pop::PopRun popRun(ctx);
    QObject::connect(&popRun.session(), &pop::ProcessEMail::showCurrentOperation,
                     [&err](const QString& text) { err << text << '\n'
                                                       << Qt::flush; });
    bool recorded = true;
    QList<pop::ListCount> counts;
    QString savedAs;
    // Lists first: a message is deleted only once what it said is kept.
    popRun.beforeDelete = [&](const QString& listPath) {
        if (listPath.isEmpty()) return true;
        for (const auto& [lists, adding] : {std::pair{removeFrom, false}, std::pair{addTo, true}}) {
            const bool global = !adding && p.flags.contains("--global-remove");
            if (lists.isEmpty() && !global) continue;
            const pop::ListUpdateResult r = pop::applyToLists(ctx, listPath, lists, adding, global);
            counts += r.counts;
            if (!r.ok) {
                err << "sendora-cli: " << r.message << '\n';
                recorded = false;
                return false;
            }
        }
        if (p.values.contains("--save")) {
            savedAs = p.values.value("--save");
            if (!SaveList(ctx, listPath, savedAs, pop::modeName(o.mode), false)) {
                err << "sendora-cli: the list could not be saved as '" << savedAs << "'\n";
                recorded = false;
                return false;
            }
        }
        return true;
    };
    StopSignals stop;
    QObject::connect(&stop, &StopSignals::received, &popRun, [&popRun](int) { popRun.cancel(); });
    QEventLoop loop;
    QObject::connect(&popRun, &pop::PopRun::finished, &loop, &QEventLoop::quit);
    bool ended = false;
    QObject::connect(&popRun, &pop::PopRun::finished, [&ended] { ended = true; });
    popRun.start(*account, o);
    if (!ended) loop.exec();
    const pop::PopRunResult& r = popRun.result();
    if (!r.connected) {
        const QString why = popRun.session().client().errorText();
        err << "sendora-cli: could not open the mailbox of '" << account->id << "' on " << account->serverName
            << (why.isEmpty() ? QString() : QStringLiteral(": ") + why) << '\n';
        return kFailed;
    }
    out << "Messages: " << r.messages << '\n' << "Addresses found: " << r.addresses << '\n';
    for (const pop::ListCount& c : counts)
        out << "Updated: " << c.listName << " (added " << c.added << ", removed " << c.removed << ")\n";
    if (!savedAs.isEmpty())
        out << "Saved as: " << savedAs << '\n';
    else if (!r.listPath.isEmpty())
        out << "List: " << r.listPath << '\n';
    if (o.deleteProcessed)
        out << "Deleted: " << r.deleted << (r.deletionHeld ? " (kept on the server)" : "") << '\n';
    out.flush();
    if (!recorded || r.cancelled || r.timedOut || r.connectionLost) return kFailed;
    return 0;
}

} // namespace

int runPop(AppContext& ctx, const QStringList& args, QTextStream& in, QTextStream& out, QTextStream& err) {
    if (args.size() >= 2 && args[0] == QLatin1String("account") && args[1] == QLatin1String("add"))
        return addAccount(ctx, args.mid(2), in, out, err);
    if (!args.isEmpty() && args[0] == QLatin1String("run")) return run(ctx, args.mid(1), out, err);
    err << "usage:\n" << kPopUsage;
    return kUsageError;
}

} // namespace sendora::cli
