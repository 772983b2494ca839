#include "ListCommands.h"

#include "CliSupport.h"
#include "MailingCommands.h"
#include "ParserCommands.h"
#include "components/jet/Jet.h"
#include "core/AppContext.h"
#include "core/Catalogue.h"
#include "core/ListActions.h"
#include "lists/FindReplace.h"
#include "lists/ListOperations.h"

#include <QFileInfo>
#include <QHash>
#include <optional>

namespace sendora::cli {

const char* const kListUsage =
    "  list show NAME [--domain DOMAIN | --where CLAUSE] [--limit N]\n"
    "                            print the list's rows, tab-separated, under a header row\n"
    "  list merge NAME1 NAME2 [--save NAME]\n"
    "  list clean NAME REMOVE_NAME [--save NAME]\n"
    "  list duplicates NAME1 NAME2 [--save NAME]\n"
    "  list select NAME --where CLAUSE [--save NAME]\n"
    "                            build a new list and print its file; --save catalogues it\n"
    "  list export NAME FILE     write the list to a comma-separated text file\n"
    "  list replace NAME --column COLUMN --find TEXT --replace TEXT [--exact]\n"
    "                            replace TEXT inside the cells of COLUMN (with --exact: the cells\n"
    "                            equal to TEXT; an empty TEXT means the empty cells) and print the\n"
    "                            number of cells replaced\n"
    "  list add-column NAME COLUMN\n"
    "  list remove-column NAME COLUMN\n";

namespace {

constexpr int kFailed = 1;
constexpr int kUsageError = 2;

using Arguments = Options;

std::optional<Arguments> parseArguments(const QStringList& args, const QStringList& valued,
                                        QTextStream& err) {
    Arguments a;
    if (!parseOptions(args, valued, {}, "list", a, err)) return std::nullopt;
    return a;
}

// The file of a catalogued list; empty (after saying why) when there is none.
QString listFile(AppContext& ctx, const QString& name, QTextStream& err) {
    const QString file = GetListPath(ctx, name);
    if (file.isEmpty()) {
        err << "sendora-cli: there is no list named '" << name << "'\n";
        return {};
    }
    const QString path = ctx.paths.listFile(file);
    if (!QFileInfo::exists(path)) {
        err << "sendora-cli: Could not locate " << path << '\n';
        return {};
    }
    return path;
}

int show(AppContext& ctx, const Arguments& a, QTextStream& out, QTextStream& err) {
    if (a.positional.size() != 1 || (a.values.contains("--domain") && a.values.contains("--where"))) {
        err << "usage: sendora-cli list show NAME [--domain DOMAIN | --where CLAUSE] [--limit N]\n";
        return kUsageError;
    }
    qint64 limit = -1;
    if (a.values.contains("--limit")) {
        bool ok = false;
        limit = a.values.value("--limit").toLongLong(&ok);
        if (!ok || limit < 0) {
            err << "sendora-cli: --limit needs a number\n";
            return kUsageError;
        }
    }
    const QString path = listFile(ctx, a.positional[0], err);
    if (path.isEmpty()) return kUsageError;
    QString sql = QStringLiteral("SELECT AddressList.* From AddressList");
    if (a.values.contains("--domain"))
        sql += QStringLiteral(" WHERE Mid( EAddress, Instr( EAddress, \"@\" ) + 1 ) = ") +
               jet::quote(a.values.value("--domain"));
    else if (a.values.contains("--where"))
        sql += QLatin1Char(' ') + a.values.value("--where");
    try {
        auto db = jet::Database::open(path, jet::Database::OpenMode::ReadOnly);
        auto rs = db->openReadOnlyQuery(sql + QLatin1Char(';'));
        QStringList line;
        for (int i = 0; i < rs->fieldCount(); ++i)
            line << escapedForTerminal(rs->fieldName(i));
        out << line.join(QLatin1Char('\t')) << '\n';
        for (qint64 n = 0; !rs->eof() && n != limit; rs->moveNext(), ++n) {
            line.clear();
            for (int i = 0; i < rs->fieldCount(); ++i)
                line << escapedForTerminal(rs->value(i).toString());
            out << line.join(QLatin1Char('\t')) << '\n';
        }
        out.flush();
        return 0;
    } catch (const jet::Error& e) {
        err << "sendora-cli: "
            << (e.number() == jet::ErrFilterNotReadOnly ? e.description() : selectionErrorMessage())
            << "\n  (" << e.description() << ")\n";
        return kFailed;
    }
}

// Prints the result of an operation; with --save the new list is catalogued under that name.
int finish(AppContext& ctx, const QString& operation, const QString& result, const Arguments& a,
           QTextStream& out, QTextStream& err) {
    if (isListResultMarker(result)) {
        const ListOperation kind = operation == QLatin1String("clean")        ? ListOperation::Clean
                                   : operation == QLatin1String("duplicates") ? ListOperation::FindDuplicates
                                   : operation == QLatin1String("merge")      ? ListOperation::Merge
                                                                              : ListOperation::Select;
        reportListResult(ctx, kind, result);
        err << "sendora-cli: list " << operation << ": " << result << '\n';
        return kFailed;
    }
    if (!a.values.contains("--save")) {
        out << result << '\n';
        return 0;
    }
    QString saved;
    if (!keepBuiltList(ctx, result, a.values.value("--save"), "list " + operation, err, saved))
        return kFailed;
    out << saved << '\n';
    return 0;
}

// The list window the column commands work on, without a grid.
struct FileWindow : ListWindow {
    QString name, file;
    QString caption() const override { return name; }
    QString filePath() const override { return file; }
    void rebind(const QString&) override {}
};

// Answers the column-name question once with the name from the command line.
class ColumnNameAnswer : public ForwardingUserInterface {
public:
    ColumnNameAnswer(UserInterface& inner, const QString& name)
        : ForwardingUserInterface(inner), m_name(name) {}
    std::optional<QString> inputBox(const QString&, const QString&, const QString&) override {
        return std::exchange(m_name, std::nullopt);
    }

private:
    std::optional<QString> m_name;
};

int column(AppContext& ctx, bool add, const Arguments& a, QTextStream& out, QTextStream& err) {
    if (a.positional.size() != 2 || !a.values.isEmpty()) {
        err << "usage: sendora-cli list " << (add ? "add-column" : "remove-column") << " NAME COLUMN\n";
        return kUsageError;
    }
    FileWindow window;
    window.name = a.positional[0];
    window.file = listFile(ctx, window.name, err);
    if (window.file.isEmpty()) return kUsageError;
    const QString name = a.positional[1];
    UserInterface* const terminal = ctx.ui;
    ColumnNameAnswer answer(*terminal, name);
    ctx.ui = &answer;
    if (add)
        AddColumn(ctx, window);
    else
        RemoveColumns(ctx, window, {name});
    ctx.ui = terminal;
    bool present = false;
    try {
        present = jet::Database::open(window.file, jet::Database::OpenMode::ReadOnly)
                      ->hasField(QStringLiteral("AddressList"), name.trimmed());
    } catch (const jet::Error& e) {
        err << "sendora-cli: " << e.description() << '\n';
        return kFailed;
    }
    if (present != add) {
        err << "sendora-cli: list: column '" << name << "' was not " << (add ? "added" : "removed") << '\n';
        return kFailed;
    }
    out << window.file << '\n';
    return 0;
}

// list replace: Replace All on one column. Nothing to replace prints 0; a refusal or a
// "no" to the question prints its message and exits 1.
int replace(AppContext& ctx, const QStringList& args, QTextStream& out, QTextStream& err) {
    QString name;
    QHash<QString, QString> values;
    bool exact = false;
    bool ok = true;
    for (int i = 0; i < args.size() && ok; ++i) {
        const QString& arg = args[i];
        const bool valued = arg == QLatin1String("--column") || arg == QLatin1String("--find") ||
                            arg == QLatin1String("--replace");
        if (arg == QLatin1String("--exact"))
            exact = true;
        else if (valued && i + 1 < args.size() && !values.contains(arg))
            values.insert(arg, args[++i]);
        else if (!arg.startsWith(QLatin1String("--")) && name.isEmpty())
            name = arg;
        else
            ok = false;
    }
    if (!ok || name.isEmpty() || values.size() != 3) {
        err << "usage: sendora-cli list replace NAME --column COLUMN --find TEXT --replace TEXT [--exact]\n";
        return kUsageError;
    }
    const QString path = listFile(ctx, name, err);
    if (path.isEmpty()) return kUsageError;
    const ReplaceResult r =
        replaceAll(*ctx.ui, path, values.value("--column"), values.value("--find"), values.value("--replace"),
                   exact ? ReplaceMatch::WholeCell : ReplaceMatch::Contains);
    using Outcome = ReplaceResult::Outcome;
    switch (r.outcome) {
    case Outcome::Replaced:
        out << r.count << '\n';
        return 0;
    case Outcome::Nothing:
    case Outcome::NotFound:
        out << 0 << '\n';
        return 0;
    case Outcome::Declined:
    case Outcome::AddressExists:
        out << 0 << '\n';
        return kFailed;
    case Outcome::Failed:
        break;
    }
    err << "sendora-cli: list replace: " << escapedForTerminal(r.error) << '\n';
    return kFailed;
}

} // namespace

int runList(AppContext& ctx, const QStringList& args, QTextStream& out, QTextStream& err) {
    const QString command = args.value(0);
    if (command == QLatin1String("replace"))
        return openExistingFolder(ctx, err) ? replace(ctx, args.mid(1), out, err) : kUsageError;
    const auto a = parseArguments(args.mid(1), {"--save", "--domain", "--where", "--limit"}, err);
    if (!a) return kUsageError;
    if (!openExistingFolder(ctx, err)) return kUsageError;
    if (command == QLatin1String("show")) return show(ctx, *a, out, err);
    if (command == QLatin1String("add-column") || command == QLatin1String("remove-column"))
        return column(ctx, command == QLatin1String("add-column"), *a, out, err);

    const int lists = command == QLatin1String("select") || command == QLatin1String("export") ? 1 : 2;
    const bool known = command == QLatin1String("merge") || command == QLatin1String("clean") ||
                       command == QLatin1String("duplicates") || command == QLatin1String("select") ||
                       command == QLatin1String("export");
    const int words = command == QLatin1String("export") ? 2 : lists;
    if (!known || a->positional.size() != words ||
        (command == QLatin1String("select") && !a->values.contains("--where")) ||
        (command == QLatin1String("export") && !a->values.isEmpty())) {
        err << "usage:\n" << kListUsage;
        return kUsageError;
    }
    if (a->values.contains("--save") && !validListName(a->values.value("--save"), err)) return kUsageError;
    QStringList paths;
    for (int i = 0; i < lists; ++i) {
        paths << listFile(ctx, a->positional[i], err);
        if (paths.last().isEmpty()) return kUsageError;
    }
    QString result;
    if (command == QLatin1String("merge"))
        result = gMergeLists(ctx, paths[0], paths[1]);
    else if (command == QLatin1String("clean"))
        result = gCleanList(ctx, paths[0], paths[1]);
    else if (command == QLatin1String("duplicates"))
        result = gFindDuplicates(ctx, paths[0], paths[1]);
    else if (command == QLatin1String("select"))
        result = gFilterList(ctx, paths[0], a->values.value("--where"));
    else
        result = gExportList(ctx, paths[0], a->positional[1]);
    return finish(ctx, command, result, *a, out, err);
}

} // namespace sendora::cli
