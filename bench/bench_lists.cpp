// List operations on two generated lists (addresses, names and two extra columns) that
// share half their addresses, some of them in other letter case: merge, clean, find
// duplicates and export in the program, against the sqlite3 shell doing the same set work
// with plain SQL on the same files in the same run.
//
//   bench_lists [--rows N]        (default 1,000,000 rows in each list)

#include "BenchSupport.h"
#include "components/jet/Jet.h"
#include "core/AppContext.h"
#include "core/TerminalUserInterface.h"
#include "lists/ListOperations.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>
#include <cstdio>
#include <sys/resource.h>

namespace {

const QStringList kColumns = {"EAddress", "FirstName", "LastName", "Title",   "Sent",
                              "Date",     "Keyword1",  "Keyword2", "Company", "City"};

// Rows first .. first+count-1; every tenth address of the second list in capitals.
void generate(const QString& path, qint64 first, qint64 count, bool upperSome) {
    auto db = jet::Database::create(path);
    QStringList defs, names, params;
    for (const QString& c : kColumns) {
        defs << jet::bracket(c) + QStringLiteral(" TEXT(255)");
        names << jet::bracket(c);
        params << jet::param(int(params.size()) + 1);
    }
    db->execute(QStringLiteral("CREATE TABLE AddressList(%1, CONSTRAINT EAddress PRIMARY KEY (EAddress))")
                    .arg(defs.join(QLatin1Char(','))));
    auto insert = db->prepareStatement(
        QStringLiteral("INSERT INTO AddressList (%1) VALUES (%2)").arg(names.join(','), params.join(',')));
    db->beginTransaction();
    for (qint64 i = first; i < first + count; ++i) {
        QString address = QStringLiteral("member%1@domain%2.example").arg(i).arg(i % 5000);
        if (upperSome && i % 10 == 0) address = address.toUpper();
        insert->bind(1, address);
        insert->bind(2, QStringLiteral("First%1").arg(i % 9973));
        insert->bind(3, QStringLiteral("Last%1").arg(i % 7919));
        insert->bind(4, i % 2 ? QStringLiteral("Mr.") : QStringLiteral("Ms."));
        insert->bind(5, QString());
        insert->bind(6, QStringLiteral("3/14/24"));
        insert->bind(7, QStringLiteral("Customer"));
        insert->bind(8, QStringLiteral("Spring"));
        insert->bind(9, QStringLiteral("Company \"%1\", Ltd.").arg(i % 3001));
        insert->bind(10, QStringLiteral("City %1").arg(i % 211));
        insert->execute();
    }
    db->commit();
}

qint64 rows(const QString& path) {
    auto db = jet::Database::open(path, jet::Database::OpenMode::ReadOnly);
    return db->openRecordset("SELECT Count(*) FROM AddressList")->value(0).toLongLong();
}

// The program's target schema, written plainly: text columns without case, the key on EAddress.
QString shellTable() {
    QStringList defs;
    for (const QString& c : kColumns)
        defs << QStringLiteral("\"%1\" TEXT COLLATE NOCASE").arg(c);
    return QStringLiteral("CREATE TABLE AddressList(%1, "
                          "PRIMARY KEY (EAddress));\n")
        .arg(defs.join(','));
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    qint64 count = 1000000;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--rows") && i + 1 < args.size()) {
            count = args[++i].toLongLong();
        } else {
            std::fprintf(stderr, "usage: bench_lists [--rows N]\n");
            return 2;
        }
    }
    QTemporaryDir dir;
    QTextStream err(stderr);
    sendora::TerminalUserInterface ui(err, true);
    sendora::AppContext ctx(dir.path(), &ui, nullptr);
    ctx.paths.createMissingFolders();
    const QString one = dir.filePath("one.mdb"), two = dir.filePath("two.mdb");
    QElapsedTimer t;
    t.start();
    generate(one, 0, count, false);
    generate(two, count / 2, count, true);
    std::printf("generated 2 x %lld rows, %lld in common, in %lld ms (peak RSS %ld MB)\n", count,
                count - count / 2, t.elapsed(), bench::peakRssKb(RUSAGE_SELF) / 1024);

    struct Case {
        const char* name;
        std::function<QString()> program;
        QString shellScript;
        QString shellDb;
    };
    const QString attach = QStringLiteral("ATTACH '%1' AS one; ATTACH '%2' AS two;\n").arg(one, two);
    const QString csvProgram = dir.filePath("program.csv"), csvShell = dir.filePath("shell.csv");
    const std::vector<Case> cases = {
        {"merge", [&] { return sendora::gMergeLists(ctx, one, two); },
         attach + shellTable() +
             "INSERT OR IGNORE INTO AddressList SELECT * FROM one.AddressList;\n"
             "INSERT OR IGNORE INTO AddressList SELECT * FROM two.AddressList;\n",
         dir.filePath("shell-merge.db")},
        {"clean", [&] { return sendora::gCleanList(ctx, one, two); },
         attach + shellTable() +
             "INSERT OR IGNORE INTO AddressList SELECT * FROM one.AddressList;\n"
             "DELETE FROM AddressList WHERE EAddress IN (SELECT EAddress FROM two.AddressList);\n",
         dir.filePath("shell-clean.db")},
        {"duplicates", [&] { return sendora::gFindDuplicates(ctx, one, two); },
         attach + shellTable() +
             "INSERT OR IGNORE INTO AddressList SELECT * FROM one.AddressList WHERE EAddress IN "
             "(SELECT EAddress FROM two.AddressList);\n",
         dir.filePath("shell-duplicates.db")},
        {"export", [&] { return sendora::gExportList(ctx, one, csvProgram); },
         QStringLiteral(".headers on\n.mode csv\n.once '%1'\nSELECT * FROM AddressList;\n").arg(csvShell),
         one},
    };
    bool ok = true;
    for (const Case& c : cases) {
        t.restart();
        const QString result = c.program();
        const qint64 programMs = t.elapsed();
        const qint64 shellMs = bench::sqliteShell(c.shellDb, c.shellScript);
        if (sendora::isListResultMarker(result) || shellMs < 0) {
            std::printf("%-10s failed: %s\n", c.name, qPrintable(result));
            ok = false;
            continue;
        }
        QString check;
        if (QString::fromLatin1(c.name) == QLatin1String("export")) {
            check =
                QStringLiteral("%1 / %2 bytes").arg(QFileInfo(result).size()).arg(QFileInfo(csvShell).size());
        } else {
            const qint64 mine = rows(result), theirs = rows(c.shellDb);
            check = QStringLiteral("%1 / %2 rows").arg(mine).arg(theirs);
            ok = ok && mine == theirs;
        }
        std::printf("%-10s program %6lld ms  sqlite3 %6lld ms  ratio %.2f  (%s)\n", c.name, programMs,
                    shellMs, shellMs > 0 ? double(programMs) / double(shellMs) : 0.0, qPrintable(check));
        std::printf("%-10s peak RSS so far %ld MB\n", "", bench::peakRssKb(RUSAGE_SELF) / 1024);
        std::fflush(stdout);
        jet::removeDatabase(result);
    }
    std::printf("peak RSS: program %ld MB, sqlite3 %ld MB\n", bench::peakRssKb(RUSAGE_SELF) / 1024,
                bench::peakRssKb(RUSAGE_CHILDREN) / 1024);
    return ok ? 0 : 1;
}
