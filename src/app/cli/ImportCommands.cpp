#include "ImportCommands.h"

#include "CliSupport.h"
#include "MailingCommands.h"
#include "components/dblink/DbLink.h"
#include "components/jet/Jet.h"
#include "components/sourcereaders/SourceReader.h"
#include "core/AppContext.h"
#include "core/Catalogue.h"
#include "core/ListActions.h"
#include "import/DatabaseImport.h"

#include <QFileInfo>
#include <cstdio>
#include <unistd.h>

namespace sendora::cli {

const char* const kImportUsage =
    "  import tables SOURCE [--kind access|dbase|excel|paradox|text|odbc]\n"
    "                            print the tables of a source and their fields\n"
    "  import run SOURCE --table TABLE --map EAddress=COL[,FirstName=COL,...] [--kind ...]\n"
    "       [--extra COL,...] [--where CONDITION] [--no-names] [--save NAME]\n"
    "                            build a list from a table (trays EAddress, FirstName, LastName,\n"
    "                            Title, IDNumber); print the rows imported, the rows refused and\n"
    "                            the list's file (--save catalogues it)\n";

namespace {

namespace sr = sourcereaders;

constexpr int kFailed = 1;
constexpr int kUsageError = 2;

struct ImportArguments {
    QString sub, source, kind, table, map, extra, where, save;
    bool names = true;
};

bool parse(const QStringList& args, ImportArguments& a, QTextStream& err) {
    bool noNames = false;
    if (!parseInto(args, "import",
                   {{u"--kind", &a.kind},
                    {u"--table", &a.table},
                    {u"--map", &a.map},
                    {u"--extra", &a.extra},
                    {u"--where", &a.where},
                    {u"--save", &a.save}},
                   {{u"--no-names", &noNames}}, {&a.sub, &a.source}, err))
        return false;
    a.names = !noNames;
    if ((a.sub != u"tables" && a.sub != u"run") || a.source.isEmpty() ||
        (a.sub == u"run" && (a.table.isEmpty() || a.map.isEmpty()))) {
        err << "usage:\n" << kImportUsage;
        return false;
    }
    return a.save.isEmpty() || validListName(a.save, err);
}

// "EAddress=Mail,FirstName=First": tray names without case.
bool parseMap(const QString& text, ImportMapping& m, QTextStream& err) {
    for (const QString& pair : text.split(u',', Qt::SkipEmptyParts)) {
        const QString tray = pair.section(u'=', 0, 0).trimmed();
        const QString field = pair.section(u'=', 1).trimmed();
        int t = 0;
        while (t < kTrayCount && trayColumn(t).compare(tray, Qt::CaseInsensitive) != 0)
            ++t;
        if (t == kTrayCount || field.isEmpty()) {
            err << "sendora-cli: import: --map takes EAddress, FirstName, LastName, Title or "
                   "IDNumber=COLUMN, not "
                << pair << '\n';
            return false;
        }
        m.trays[size_t(t)] = field;
    }
    if (m.trays[TrayEmail].isEmpty()) {
        err << "sendora-cli: import: --map needs EAddress=COLUMN\n";
        return false;
    }
    return true;
}

QString typeName(sr::FieldType type) {
    static const char* const names[] = {"Text",    "Memo", "Integer",  "Double", "Currency",
                                        "Boolean", "Date", "DateTime", "Binary", "Other"};
    return QString::fromLatin1(names[int(type)]);
}

} // namespace

int runImport(AppContext& ctx, const QStringList& args, QTextStream& out, QTextStream& err) {
    ImportArguments a;
    if (!parse(args, a, err)) return kUsageError;
    const sr::SourceKind kind = a.kind.isEmpty() ? sr::kindFromPath(a.source) : sr::kindFromName(a.kind);
    if (kind == sr::SourceKind::Unknown) {
        err << "sendora-cli: import: give the kind of " << a.source
            << " with --kind access|dbase|excel|paradox|text|odbc\n";
        return kUsageError;
    }
    std::unique_ptr<sr::SourceReader> reader = dblink::createSourceReader(kind); // odbc too
    sr::SourceOptions options;
    options.firstRowHasNames = a.names;
    const QString source = kind == sr::SourceKind::Odbc ? a.source : QFileInfo(a.source).absoluteFilePath();
    if (!reader->open(source, options)) {
        err << "sendora-cli: import: " << a.source << ": " << reader->errorText() << '\n';
        return kFailed;
    }
    if (a.sub == u"tables") {
        for (const QString& table : reader->tables()) {
            out << table << '\n';
            for (const sr::SourceField& f : reader->fields(table))
                out << '\t' << f.name << '\t' << typeName(f.type) << '\n';
        }
        return 0;
    }
    ImportMapping mapping;
    if (!parseMap(a.map, mapping, err)) return kUsageError;
    mapping.extraFields = a.extra.split(u',', Qt::SkipEmptyParts);
    for (QString& f : mapping.extraFields)
        f = f.trimmed();
    if (!openExistingFolder(ctx, err)) return kUsageError;
    std::unique_ptr<sr::RowCursor> rows = reader->rows(a.table);
    if (!rows) {
        err << "sendora-cli: import: " << a.table << ": " << reader->errorText() << '\n';
        return kFailed;
    }
    DatabaseImport build(ctx);
    const bool progress = isatty(fileno(stderr));
    if (progress)
        QObject::connect(&build, &DatabaseImport::progress, [&err](qint64 n) {
            if (n % 10000 == 0) err << '\r' << n << " rows" << Qt::flush;
        });
    const DatabaseImport::Result r = build.run(std::move(rows), mapping, a.where, a.table);
    if (progress) err << '\n' << Qt::flush;
    if (!r.error.isEmpty() || r.path.isEmpty()) {
        err << "sendora-cli: import: " << (r.error.isEmpty() ? QStringLiteral("nothing was built") : r.error)
            << '\n';
        return kFailed;
    }
    out << "imported\t" << r.imported << '\n';
    if (r.unusable > 0)
        out << "refused\t" << r.unusable << "\tnot a valid e-mail address; kept as Unknown<n> in "
            << r.companion << '\n';
    if (r.repeated > 0) out << "refused\t" << r.repeated << "\trepeats an earlier address\n";
    QString listPath = r.path;
    int result = 0;
    if (!a.save.isEmpty() && !keepBuiltList(ctx, r.path, a.save, "import", err, listPath)) result = kFailed;
    out << "list\t" << listPath << '\n';
    return result;
}

} // namespace sendora::cli
