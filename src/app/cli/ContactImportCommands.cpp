#include "ContactImportCommands.h"

#include "CliSupport.h"
#include "MailingCommands.h"
#include "components/jet/Jet.h"
#include "core/AppContext.h"
#include "core/Catalogue.h"
#include "core/ListActions.h"
#include "import/ContactManagerImport.h"

#include <QFileInfo>

namespace sendora::cli {

const char* const kContactImportUsage =
    "  import goldmine FOLDER [--save NAME]\n"
    "                            build a list from a Goldmine folder (Contact1 and ContSupp)\n"
    "  import act FILE [--save NAME] [--user NAME --password TEXT]\n"
    "                            build a list from an ACT! contact file; the login is used when\n"
    "                            the database asks for one\n";

namespace {

constexpr int kFailed = 1;
constexpr int kUsageError = 2;

struct Arguments {
    QString sub, source, save, user, password;
    bool hasUser = false;
};

bool parse(const QStringList& args, Arguments& a, QTextStream& err) {
    if (!parseInto(args, "import",
                   {{u"--save", &a.save}, {u"--user", &a.user, &a.hasUser}, {u"--password", &a.password}}, {},
                   {&a.sub, &a.source}, err))
        return false;
    if (a.source.isEmpty() || (a.sub == u"goldmine" && a.hasUser)) {
        err << "usage:\n" << kContactImportUsage;
        return false;
    }
    return a.save.isEmpty() || validListName(a.save, err);
}

qint64 rowCount(const QString& file) {
    auto db = jet::Database::open(file, jet::Database::OpenMode::ReadOnly);
    return db->openRecordset(QStringLiteral("SELECT Count(*) FROM AddressList"))->value(0).toLongLong();
}

} // namespace

bool isContactImport(const QStringList& args) {
    return !args.isEmpty() && (args.first() == u"goldmine" || args.first() == u"act");
}

int runContactImport(AppContext& ctx, const QStringList& args, QTextStream& out, QTextStream& err) {
    Arguments a;
    if (!parse(args, a, err)) return kUsageError;
    if (!openExistingFolder(ctx, err)) return kUsageError;
    const QFileInfo source(a.source);
    QString path;
    if (a.sub == u"goldmine") {
        // the folder, or any file in it
        path = gGoldmineImport(ctx, source.isDir() ? source.absoluteFilePath() : source.absolutePath());
    } else {
        ActImportOptions options;
        options.caption = source.completeBaseName();
        options.login = [&a, &err](const QString& database) -> std::optional<ActLogin> {
            if (!a.hasUser) {
                err << "sendora-cli: import: " << database
                    << " asks for a login: give --user and --password\n";
                return std::nullopt;
            }
            return ActLogin{a.user, a.password};
        };
        path = ActImport(ctx, source.absoluteFilePath(), options);
    }
    if (path.isEmpty()) {
        err << "sendora-cli: import: nothing was imported from " << a.source << '\n';
        return kFailed;
    }
    try {
        out << "imported\t" << rowCount(path) << '\n';
        QString companion = path;
        companion.insert(companion.size() - 4, QStringLiteral("(No Addresses)"));
        if (QFileInfo::exists(companion))
            out << "no addresses\t" << rowCount(companion) << '\t' << companion << '\n';
    } catch (const jet::Error& e) {
        err << "sendora-cli: import: " << e.description() << '\n';
        return kFailed;
    }
    QString listPath = path;
    int result = 0;
    if (!a.save.isEmpty() && !keepBuiltList(ctx, path, a.save, "import", err, listPath)) result = kFailed;
    out << "list\t" << listPath << '\n';
    return result;
}

} // namespace sendora::cli
