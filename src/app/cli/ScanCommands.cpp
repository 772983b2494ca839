#include "ScanCommands.h"

#include "CliSupport.h"
#include "MailingCommands.h"
#include "components/jet/Jet.h"
#include "core/AppContext.h"
#include "core/Catalogue.h"
#include "core/ListActions.h"
#include "import/AddrManager.h"

#include <QEventLoop>
#include <QFileInfo>
#include <cstdio>
#include <unistd.h>

namespace sendora::cli {

const char* const kScanUsage =
    "  scan [--type mailbox|text|binary] [--mode all|lines|msg] [--from] [--to] [--cc] [--bcc]\n"
    "       [--text TEXT] [--names|--no-names] FILE... [--save NAME]\n"
    "                            build a list from the addresses found in the files; print the\n"
    "                            number of addresses and the list's file (--save catalogues it)\n";

namespace {

constexpr int kFailed = 1;
constexpr int kUsageError = 2;

// Messages end their lines with CR alone; a terminal would write the next line over it.
class LineBreakingUserInterface : public ForwardingUserInterface {
public:
    using ForwardingUserInterface::ForwardingUserInterface;
    Answer message(const QString& text, Buttons buttons, Icon icon, const QString& title) override {
        QString t = text;
        t.replace(QLatin1String("\r\n"), QLatin1String("\n")).replace(u'\r', u'\n');
        return ForwardingUserInterface::message(t, buttons, icon, title);
    }
};

struct ScanArguments {
    EmailSrcFileObj options;
    QStringList files;
    QString save;
    NameExtraction names = NameExtraction::BestGuess;
};

bool parse(const QStringList& args, ScanArguments& a, QTextStream& err) {
    QString mode = QStringLiteral("all");
    QString type = QStringLiteral("text");
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        const bool valued = arg == u"--type" || arg == u"--mode" || arg == u"--text" || arg == u"--save";
        if (valued && i + 1 >= args.size()) {
            err << "sendora-cli: scan: " << arg << " needs a value\n";
            return false;
        }
        if (arg == u"--type")
            type = args[++i].toLower();
        else if (arg == u"--mode")
            mode = args[++i].toLower();
        else if (arg == u"--text") {
            a.options.textFlag = 1;
            a.options.userText = args[++i];
        } else if (arg == u"--save")
            a.save = args[++i];
        else if (arg == u"--from")
            a.options.fromFlag = 1;
        else if (arg == u"--to")
            a.options.toFlag = 1;
        else if (arg == u"--cc")
            a.options.ccFlag = 1;
        else if (arg == u"--bcc")
            a.options.bccFlag = 1;
        else if (arg == u"--names")
            a.names = NameExtraction::BestGuess;
        else if (arg == u"--no-names")
            a.names = NameExtraction::Disabled;
        else if (arg.startsWith(QLatin1String("--"))) {
            err << "sendora-cli: scan: unknown option " << arg << '\n';
            return false;
        } else
            a.files << arg;
    }
    const QHash<QString, QString> types{{"mailbox", "Mailbox"}, {"text", "Text"}, {"binary", "Binary"}};
    const QHash<QString, QString> modes{{"all", "All"}, {"lines", "Lines"}, {"msg", "Msg"}};
    if (!types.contains(type) || !modes.contains(mode) || a.files.isEmpty()) {
        err << "usage: sendora-cli scan [OPTIONS] FILE... [--save NAME]\n" << kScanUsage;
        return false;
    }
    a.options.fileType = types.value(type);
    a.options.searchMode = modes.value(mode);
    if (a.options.searchMode == u"Msg" && a.options.userText.isEmpty()) {
        err << "sendora-cli: scan: --mode msg needs --text TEXT\n";
        return false;
    }
    if (a.options.fileType != u"Mailbox" && a.options.searchMode != u"All") {
        err << "sendora-cli: scan: --mode lines and msg apply to --type mailbox only\n";
        return false;
    }
    return a.save.isEmpty() || validListName(a.save, err);
}

} // namespace

int runScan(AppContext& ctx, const QStringList& args, QTextStream& out, QTextStream& err) {
    ScanArguments a;
    if (!parse(args, a, err)) return kUsageError;
    if (!openExistingFolder(ctx, err)) return kUsageError;
    LineBreakingUserInterface ui(*ctx.ui);
    UserInterface* const terminal = ctx.ui;
    ctx.ui = &ui;
    int result = kFailed;
    {
        AddrManager manager(ctx);
        manager.setNameExtraction(a.names);
        for (const QString& file : a.files)
            if (EmailSrcFileObj* entry =
                    manager.GetTypeAndOptions(QFileInfo(file).absoluteFilePath(), a.options.fileType)) {
                const QString name = entry->fileName;
                *entry = a.options;
                entry->fileName = name;
            }
        const bool progress = isatty(fileno(stderr));
        if (progress)
            QObject::connect(&manager, &AddrManager::progress,
                             [&err](qint64 lines, qint64 rows, qint64 bytes, qint64 size) {
                                 err << "\r" << bytes << " of " << size << " bytes, " << lines << " lines, "
                                     << rows << " addresses" << Qt::flush;
                             });
        QEventLoop loop;
        QObject::connect(&manager, &AddrManager::buildFinished, &loop, &QEventLoop::quit);
        manager.BuildList(false);
        if (manager.building()) loop.exec();
        if (progress) err << '\n' << Qt::flush;
        const QString path = manager.listPath();
        if (manager.storeFailed()) {
            err << "sendora-cli: scan: the list could not be written\n";
            result = kExitStorage;
        } else if (path.isEmpty()) {
            err << "sendora-cli: scan: no addresses were stored\n";
        } else if (a.save.isEmpty()) {
            out << manager.rowsStored() << '\t' << path << '\n';
            result = 0;
        } else if (QString saved; keepBuiltList(ctx, path, a.save, "scan", err, saved)) {
            out << manager.rowsStored() << '\t' << saved << '\n';
            result = 0;
        }
    }
    ctx.ui = terminal;
    return result;
}

} // namespace sendora::cli
