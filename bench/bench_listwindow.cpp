// The list window's model on a large list: opening (row ids, first page, record count) and
// sorting by a non-key column, against the sqlite3 shell running the same statements on the
// same file. Prints each time and the ratio.
//
//   bench_listwindow [--rows N]      (default 1000000)

#include "BenchSupport.h"
#include "components/jet/Jet.h"
#include "core/AppContext.h"
#include "core/TerminalUserInterface.h"
#include "lists/ListModel.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>
#include <cstdio>

namespace {

void fill(const QString& path, int rows) {
    auto db = jet::Database::create(path);
    db->execute("CREATE TABLE AddressList(EAddress TEXT(255) NOT NULL CONSTRAINT EAddress PRIMARY KEY, "
                "FirstName TEXT(255), LastName TEXT(255), Title TEXT(255), Sent TEXT(255), [Date] TEXT(255), "
                "Keyword1 TEXT(255), Keyword2 TEXT(255), Company TEXT(255), City TEXT(255));",
                true);
    auto insert = db->prepareStatement(
        QStringLiteral("INSERT INTO AddressList (EAddress, FirstName, LastName, Company, City) VALUES "
                       "(%1, %2, %3, %4, %5)")
            .arg(jet::param(1), jet::param(2), jet::param(3), jet::param(4), jet::param(5)));
    db->beginTransaction();
    for (int i = 0; i < rows; ++i) {
        // scattered names so that the sort has real work to do
        const quint32 h = quint32(i) * 2654435761u;
        insert->bind(1, QStringLiteral("member%1@domain%2.example").arg(i).arg(i % 997));
        insert->bind(2, QStringLiteral("First%1").arg(h % 100003));
        insert->bind(3, QStringLiteral("Last%1").arg((h >> 8) % 50021));
        insert->bind(4, QStringLiteral("Company %1").arg(i % 3001));
        insert->bind(5, QStringLiteral("City %1").arg(i % 211));
        insert->execute();
    }
    db->commit();
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    int rows = 1000000;
    const QStringList args = app.arguments();
    const qsizetype at = args.indexOf(QStringLiteral("--rows"));
    if (at >= 0 && at + 1 < args.size()) rows = args[at + 1].toInt();

    QTemporaryDir dir;
    QTextStream err(stderr);
    sendora::TerminalUserInterface ui(err, false);
    sendora::AppContext ctx(dir.path(), &ui, nullptr);
    ctx.paths.createMissingFolders();
    const QString file = ctx.paths.listFile(QStringLiteral("Bench.mdb"));
    std::printf("building a list of %d rows...\n", rows);
    fill(file, rows);

    QString openSql;
    QString sortSql;
    QString pageSql;
    QString countSql;
    {
        auto db = jet::Database::open(file, jet::Database::OpenMode::ReadOnly);
        openSql = db->translate(QStringLiteral("SELECT rowid FROM AddressList"));
        sortSql = db->translate(QStringLiteral("SELECT rowid FROM AddressList ORDER BY [LastName] ASC"));
        countSql = db->translate(QStringLiteral("SELECT COUNT(EAddress) AS n FROM AddressList"));
        pageSql = db->translate(QStringLiteral("SELECT * FROM AddressList WHERE rowid <= 128"));
    }

    // Warm the file cache for both sides alike.
    bench::sqliteShell(file, countSql + QStringLiteral(";\n"));

    sendora::ListModel model(ctx);
    QElapsedTimer t;
    t.start();
    if (!model.open(file)) return 1;
    for (int r = 0; r < 128; ++r)
        model.data(model.index(r, 0));
    const qint64 count = model.recordCount();
    const qint64 openMs = t.elapsed();

    t.restart();
    if (!model.setRecordSource({}, QStringLiteral("ORDER BY [LastName] ASC"))) return 1;
    for (int r = 0; r < 128; ++r)
        model.data(model.index(r, 1));
    const qint64 sortMs = t.elapsed();

    // Scrolling: a page in the middle and one at the end of the sorted rows.
    t.restart();
    for (int r = rows / 2; r < rows / 2 + 128; ++r)
        model.data(model.index(r, 1));
    for (int r = rows - 128; r < rows; ++r)
        model.data(model.index(r, 1));
    const qint64 scrollMs = t.elapsed();

    // The domain display, filtered in SQL; the shell writes the same test with its own functions.
    t.restart();
    if (!model.setRecordSource(QStringLiteral("WHERE Mid( EAddress, Instr( EAddress, \"@\" ) + 1 ) = "
                                              "\"domain5.example\"")))
        return 1;
    const qint64 domainRows = model.recordCount();
    const qint64 domainMs = t.elapsed();

    const QString end = QStringLiteral(";\n");
    const qint64 shellOpen = bench::sqliteShell(file, openSql + end + pageSql + end + countSql + end);
    const qint64 shellSort = bench::sqliteShell(file, sortSql + end + pageSql + end);
    const QString domainWhere = QStringLiteral(
        " FROM AddressList WHERE substr(EAddress, instr(EAddress, '@') + 1) = 'domain5.example'");
    const qint64 shellDomain =
        bench::sqliteShell(file, QStringLiteral("SELECT rowid") + domainWhere + end +
                                     QStringLiteral("SELECT COUNT(EAddress)") + domainWhere + end);
    if (count != rows || shellOpen < 0 || shellSort < 0 || shellDomain < 0 || domainRows == 0) return 1;

    auto ratio = [](qint64 a, qint64 b) {
        return double(std::max<qint64>(a, 1)) / double(std::max<qint64>(b, 1));
    };
    std::printf("open    program %6lld ms  sqlite3 %6lld ms  ratio %.2f\n", qint64(openMs), qint64(shellOpen),
                ratio(openMs, shellOpen));
    std::printf("sort    program %6lld ms  sqlite3 %6lld ms  ratio %.2f\n", qint64(sortMs), qint64(shellSort),
                ratio(sortMs, shellSort));
    std::printf("domain  program %6lld ms  sqlite3 %6lld ms  ratio %.2f\n", qint64(domainMs),
                qint64(shellDomain), ratio(domainMs, shellDomain));
    std::printf("scroll  program %6lld ms  (two pages far apart in the sorted rows)\n", qint64(scrollMs));
    return 0;
}
