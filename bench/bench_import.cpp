// Importing a generated CSV file (address, names, city and company; one address in a hundred
// unusable) into a temporary list through the text reader, with every address cleaned and
// checked, against the sqlite3 shell's .import of the same file into a table with the same
// columns and the same key, in the same run.
//
//   bench_import [--rows N]        (default 1,000,000 rows)

#include "BenchSupport.h"
#include "components/jet/Jet.h"
#include "core/AppContext.h"
#include "core/TerminalUserInterface.h"
#include "import/DatabaseImport.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>
#include <cstdio>

namespace {

namespace sr = sendora::sourcereaders;

void generate(const QString& path, qint64 count) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly)) qFatal("cannot write %s", qPrintable(path));
    f.write("Email,FirstName,LastName,City,Company\r\n");
    QByteArray line;
    for (qint64 i = 0; i < count; ++i) {
        line = i % 100 == 7
                   ? QByteArray("no address here ") + QByteArray::number(i)
                   : "member" + QByteArray::number(i) + "@domain" + QByteArray::number(i % 5000) + ".example";
        line += ",First" + QByteArray::number(i % 9973) + ",Last" + QByteArray::number(i % 7919) + ",City " +
                QByteArray::number(i % 211) + ",\"Company \"\"" + QByteArray::number(i % 3001) +
                "\"\", Ltd.\"\r\n";
        f.write(line);
    }
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    qint64 count = 1000000;
    const QStringList args = app.arguments();
    if (const qsizetype at = args.indexOf(QStringLiteral("--rows")); at >= 0 && at + 1 < args.size())
        count = args[at + 1].toLongLong();

    QTemporaryDir dir;
    const QString csv = dir.filePath(QStringLiteral("contacts.csv"));
    generate(csv, count);
    std::printf("source: %lld rows, %lld bytes\n", count, QFile(csv).size());

    // The reference: the shell's CSV import into a keyed table of the file's columns.
    const QString shellDb = dir.filePath(QStringLiteral("shell.db"));
    const qint64 shellMs = bench::sqliteShell(
        shellDb,
        QStringLiteral("CREATE TABLE contacts(Email TEXT COLLATE NOCASE PRIMARY KEY, FirstName TEXT, "
                       "LastName TEXT, City TEXT, Company TEXT);\n"
                       ".import --csv --skip 1 '%1' contacts\n")
            .arg(csv));
    if (shellMs < 0) return 1;
    const long shellRss = bench::peakRssKb(RUSAGE_CHILDREN);

    QTextStream err(stderr);
    sendora::TerminalUserInterface ui(err, true);
    sendora::AppContext ctx(dir.path(), &ui, nullptr);
    ctx.paths.createMissingFolders();
    QElapsedTimer clock;
    {
        // The reader alone, for where the time goes.
        clock.start();
        auto alone = sr::createReader(sr::SourceKind::Text);
        if (alone->open(csv))
            if (auto rows = alone->rows(alone->chosenTable())) {
                sr::SourceRow row;
                while (rows->next(row)) {
                }
            }
        std::printf("text reader alone: %lld ms\n", clock.elapsed());
    }
    clock.start();
    auto reader = sr::createReader(sr::SourceKind::Text);
    if (!reader->open(csv)) {
        std::fprintf(stderr, "text reader: %s\n", qPrintable(reader->errorText()));
        return 1;
    }
    sendora::ImportMapping mapping;
    mapping.trays[sendora::TrayEmail] = QStringLiteral("Email");
    mapping.trays[sendora::TrayFirstName] = QStringLiteral("FirstName");
    mapping.trays[sendora::TrayLastName] = QStringLiteral("LastName");
    mapping.extraFields = {QStringLiteral("City"), QStringLiteral("Company")};
    sendora::DatabaseImport build(ctx);
    const auto r = build.run(reader->rows(reader->chosenTable()), mapping, {}, QStringLiteral("bench"));
    const qint64 ms = clock.elapsed();
    if (!r.error.isEmpty()) {
        std::fprintf(stderr, "import failed: %s\n", qPrintable(r.error));
        return 1;
    }
    std::printf("import: %lld ms (%lld rows read, %lld imported, %lld unusable, %lld repeated)\n", ms,
                r.rowsRead, r.imported, r.unusable, r.repeated);
    std::printf("sqlite3 .import: %lld ms\n", shellMs);
    std::printf("ratio: %.2f (aim: at most 1.5)\n", shellMs > 0 ? double(ms) / double(shellMs) : 0.0);
    std::printf("peak RSS: %ld KiB (sqlite3 shell: %ld KiB)\n", bench::peakRssKb(), shellRss);
    return 0;
}
