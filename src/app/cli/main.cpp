// sendora-cli: the engine without windows. Start-up, address checks and extraction
// run the same code the GUI runs; messages go to stderr, questions are answered by
// --yes (the default) or --no.

#include "ContactImportCommands.h"
#include "ImportCommands.h"
#include "ListCommands.h"
#include "MailingCommands.h"
#include "MessageCommands.h"
#include "ParserCommands.h"
#include "PopCommands.h"
#include "ScanCommands.h"
#include "ScheduleCommands.h"
#include "UndeliverableCommands.h"
#include "VerifyCommands.h"
#include "core/AppContext.h"
#include "core/Startup.h"
#include "core/TerminalUserInterface.h"
#include "core/Version.h"

#include <QCoreApplication>
#include <QTextStream>
#include <cstdio>

namespace {

struct Options {
    QString dataDir;
    bool yes = true;
    QString command;
    QStringList args;
};

const char* const kUsage =
    "Usage: sendora-cli [--data-dir DIR] [--yes|--no] COMMAND [ARGS]\n"
    "       sendora-cli --version\n"
    "\n"
    "Commands:\n"
    "  init                      run start-up without a window (folders, settings, system database)\n"
    "  check-address ADDRESS...  print each address with 'valid' or 'invalid'\n"
    "  extract [--class text|mailbox|binary]\n"
    "                            print the addresses and names found in standard input\n"
    "  compose MAILING_ID --to ADDRESS\n"
    "                            print the message data the mailing would send to ADDRESS\n"
    "  send MAILING_ID [--timeout-retries N]\n"
    "                            send the mailing through its relay server; a server that stays\n"
    "                            silent is waited for N more times (default 3), then the mailing\n"
    "                            stops. SIGTERM or SIGINT stops it after the message in flight.\n"
    "                            Exit: 0 completed, 1 stopped or aborted, 2 bad input, 3 a file\n"
    "                            could not be written, 128+signal stopped by a signal\n";

bool parse(const QStringList& argv, Options& o, QTextStream& err) {
    for (int i = 1; i < argv.size(); ++i) {
        const QString& a = argv[i];
        if (!o.command.isEmpty()) {
            o.args << a;
        } else if (a == QLatin1String("--data-dir")) {
            if (++i >= argv.size()) {
                err << "sendora-cli: --data-dir needs a folder\n";
                return false;
            }
            o.dataDir = argv[i];
        } else if (a.startsWith(QLatin1String("--data-dir="))) {
            o.dataDir = a.mid(11);
        } else if (a == QLatin1String("--yes")) {
            o.yes = true;
        } else if (a == QLatin1String("--no")) {
            o.yes = false;
        } else if (a == QLatin1String("--version")) {
            o.command = QStringLiteral("--version");
        } else if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            o.command = QStringLiteral("--help");
        } else if (a.startsWith(QLatin1String("--"))) {
            err << "sendora-cli: unknown option " << a << '\n';
            return false;
        } else {
            o.command = a;
        }
    }
    return true;
}

int runInit(const Options& o, QTextStream& err) {
    const QString folder =
        sendora::resolveApplicationFolder(o.dataDir, QCoreApplication::applicationDirPath());
    sendora::TerminalUserInterface ui(err, o.yes);
    sendora::AppContext ctx(folder, &ui, nullptr);
    sendora::Startup startup(ctx);
    if (!startup.run()) {
        err << "sendora-cli: start-up ended: " << startup.failureText() << '\n';
        return 1;
    }
    err << "sendora-cli: system database ready in " << ctx.paths.systemDatabase() << '\n';
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("sendora-cli"));
    QTextStream out(stdout);
    QTextStream err(stderr);
    QTextStream in(stdin);

    Options o;
    if (!parse(QCoreApplication::arguments(), o, err)) return 2;
    if (o.command == QLatin1String("--version")) {
        out << "Sendora " << sendora::GetVersionText(true) << '\n';
        return 0;
    }
    if (o.command.isEmpty() || o.command == QLatin1String("--help")) {
        (o.command.isEmpty() ? err : out)
            << kUsage << sendora::cli::kListUsage << sendora::cli::kScanUsage << sendora::cli::kMessageUsage
            << sendora::cli::kPopUsage << sendora::cli::kUndeliverableUsage << sendora::cli::kVerifyUsage
            << sendora::cli::kScheduleUsage << sendora::cli::kImportUsage
            << sendora::cli::kContactImportUsage;
        return o.command.isEmpty() ? 2 : 0;
    }
    if (o.command == QLatin1String("init")) return runInit(o, err);
    if (o.command == QLatin1String("compose") || o.command == QLatin1String("send")) {
        const QString folder =
            sendora::resolveApplicationFolder(o.dataDir, QCoreApplication::applicationDirPath());
        sendora::TerminalUserInterface ui(err, o.yes);
        sendora::AppContext ctx(folder, &ui, nullptr);
        return o.command == QLatin1String("compose") ? sendora::cli::runCompose(ctx, o.args, err)
                                                     : sendora::cli::runSend(ctx, o.args, err);
    }
    if (o.command == QLatin1String("list")) {
        sendora::TerminalUserInterface ui(err, o.yes);
        sendora::AppContext ctx(
            sendora::resolveApplicationFolder(o.dataDir, QCoreApplication::applicationDirPath()), &ui,
            nullptr);
        return sendora::cli::runList(ctx, o.args, out, err);
    }
    if (o.command == QLatin1String("import")) {
        sendora::TerminalUserInterface ui(err, o.yes);
        sendora::AppContext ctx(
            sendora::resolveApplicationFolder(o.dataDir, QCoreApplication::applicationDirPath()), &ui,
            nullptr);
        if (sendora::cli::isContactImport(o.args))
            return sendora::cli::runContactImport(ctx, o.args, out, err);
        return sendora::cli::runImport(ctx, o.args, out, err);
    }
    if (o.command == QLatin1String("message")) {
        sendora::TerminalUserInterface ui(err, o.yes);
        sendora::AppContext ctx(
            sendora::resolveApplicationFolder(o.dataDir, QCoreApplication::applicationDirPath()), &ui,
            nullptr);
        return sendora::cli::runMessage(ctx, o.args, out, err);
    }
    if (o.command == QLatin1String("scan")) {
        sendora::TerminalUserInterface ui(err, o.yes);
        sendora::AppContext ctx(
            sendora::resolveApplicationFolder(o.dataDir, QCoreApplication::applicationDirPath()), &ui,
            nullptr);
        return sendora::cli::runScan(ctx, o.args, out, err);
    }
    if (o.command == QLatin1String("pop")) {
        sendora::TerminalUserInterface ui(err, o.yes);
        sendora::AppContext ctx(
            sendora::resolveApplicationFolder(o.dataDir, QCoreApplication::applicationDirPath()), &ui,
            nullptr);
        return sendora::cli::runPop(ctx, o.args, in, out, err);
    }
    if (o.command == QLatin1String("undeliverable")) {
        sendora::TerminalUserInterface ui(err, o.yes);
        sendora::AppContext ctx(
            sendora::resolveApplicationFolder(o.dataDir, QCoreApplication::applicationDirPath()), &ui,
            nullptr);
        return sendora::cli::runUndeliverable(ctx, o.args, out, err);
    }
    if (o.command == QLatin1String("verify")) {
        sendora::TerminalUserInterface ui(err, o.yes);
        sendora::AppContext ctx(
            sendora::resolveApplicationFolder(o.dataDir, QCoreApplication::applicationDirPath()), &ui,
            nullptr);
        return sendora::cli::runVerify(ctx, o.args, out, err);
    }
    if (o.command == QLatin1String("run-scheduled") || o.command == QLatin1String("scheduler")) {
        sendora::TerminalUserInterface ui(err, o.yes);
        sendora::AppContext ctx(
            sendora::resolveApplicationFolder(o.dataDir, QCoreApplication::applicationDirPath()), &ui,
            nullptr);
        return o.command == QLatin1String("scheduler")
                   ? sendora::cli::runSchedulerCommand(ctx, o.args, out, err)
                   : sendora::cli::runScheduled(ctx, o.args, err);
    }
    if (o.command == QLatin1String("check-address")) return sendora::cli::runCheckAddress(o.args, out);
    if (o.command == QLatin1String("extract")) return sendora::cli::runExtract(o.args, in, out, err);
    err << "sendora-cli: unknown command " << o.command << "\n"
        << kUsage << sendora::cli::kListUsage << sendora::cli::kMessageUsage;
    return 2;
}
