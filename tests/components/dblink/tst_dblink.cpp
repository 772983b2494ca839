// DbLink over real drivers: a PostgreSQL cluster started by the test (tables, views, functions
// and their parameters, columns, rows streamed with the row event, a function call with a bound
// value) and the server-less SQLite driver through the odbc source reader (hostile table
// names, nulls, long values). Also the connection strings built for each server kind.

#include "components/dblink/DbLink.h"
#include "support/PostgresServer.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace sendora::dblink;
using sendora::test::PostgresServer;
namespace sr = sendora::sourcereaders;

class TestDbLink : public QObject {
    Q_OBJECT

    // One odbcinst.ini/odbc.ini for the whole run: unixODBC caches what it has read.
    QTemporaryDir m_ini;
    QString m_sqliteDriver;
    QString sqliteDb() const { return m_ini.filePath(QStringLiteral("contacts.db")); }

private Q_SLOTS:
    void initTestCase() {
        m_sqliteDriver = sendora::test::odbcDriverPath(QStringLiteral("libsqlite3odbc.so"));
        sendora::test::registerOdbcDrivers(
            m_ini.path(),
            QStringLiteral("[PostgreSQL Unicode]\nDriver=%1\n[SQLite3]\nDriver=%2\n")
                .arg(PostgresServer::driverPath(), m_sqliteDriver),
            QStringLiteral("[contacts]\nDriver=SQLite3\nDatabase=%1\n").arg(sqliteDb()));
    }

    void connectionStrings() {
        const QStringList drivers = {QStringLiteral("PostgreSQL Unicode"), QStringLiteral("FreeTDS"),
                                     QStringLiteral("MySQL ODBC 8.0 Unicode Driver")};
        ConnectionSettings s;
        s.server = QStringLiteral("db1");
        s.database = QStringLiteral("crm");
        s.user = QStringLiteral("sa");
        s.password = QStringLiteral("p;w}d");
        s.networkLibrary = QStringLiteral("TCP/IP");
        QCOMPARE(
            DbLink::connectionString(s, drivers),
            QStringLiteral("DRIVER={FreeTDS};SERVER=db1;DATABASE=crm;UID=sa;PWD={p;w}}d};Network=DBMSSOCN;"));
        s.kindCode = MySql351;
        QCOMPARE(DbLink::connectionString(s, drivers),
                 QStringLiteral(
                     "DRIVER={MySQL ODBC 8.0 Unicode Driver};SERVER=db1;DATABASE=crm;UID=sa;PWD={p;w}}d};"));
        s.kindCode = Oracle;
        QCOMPARE(DbLink::connectionString(s, drivers),
                 QStringLiteral("DRIVER={Oracle};DBQ=db1;UID=sa;PWD={p;w}}d};"));
        // A data source name and a typed connection string.
        QCOMPARE(DbLink::connectionString(s, drivers, {QStringLiteral("DB1")}),
                 QStringLiteral("DSN=db1;DATABASE=crm;UID=sa;PWD={p;w}}d};"));
        s.server = QStringLiteral("DSN=x;UID=y");
        QCOMPARE(DbLink::connectionString(s, drivers), QStringLiteral("DSN=x;UID=y"));
    }

    void postgresql() {
        SENDORA_REQUIRE_PEER(PostgresServer, "PostgreSQL or its ODBC driver is missing",
                             "PostgreSQL or its ODBC driver is not installed");
        PostgresServer pg;
        QVERIFY2(pg.start(), qPrintable(pg.m_lastOutput + pg.output()));
        QVERIFY2(
            pg.psql(QStringLiteral(
                "CREATE TABLE contacts (id integer PRIMARY KEY, email varchar(80), first_name varchar(40), "
                "joined date, active boolean);"
                "INSERT INTO contacts SELECT n, 'user' || n || '@example.com', 'Name' || n, "
                "DATE '2024-01-01' + n, n % 2 = 0 FROM generate_series(1, 2500) n;"
                "INSERT INTO contacts VALUES (2501, NULL, 'Zoë', NULL, NULL);"
                "CREATE VIEW active_contacts AS SELECT * FROM contacts WHERE active;"
                "CREATE FUNCTION contacts_from(start integer) RETURNS SETOF contacts "
                "LANGUAGE sql AS 'SELECT * FROM contacts WHERE id >= start';")),
            qPrintable(pg.m_lastOutput));
        QVERIFY(DbLink::drivers().contains(QStringLiteral("PostgreSQL Unicode")));

        DbLink link;
        QVERIFY(!link.connectString(
            QStringLiteral("DRIVER={PostgreSQL Unicode};SERVER=127.0.0.1;PORT=1;UID=x;")));
        QVERIFY(!link.errorText().isEmpty());
        QVERIFY2(link.connectString(pg.connectionString()), qPrintable(link.errorText()));
        QVERIFY(link.tables().contains(QStringLiteral("contacts")));
        QVERIFY(!link.tables().contains(QStringLiteral("active_contacts")));
        QVERIFY(link.views().contains(QStringLiteral("active_contacts")));
        QVERIFY(link.procedures().contains(QStringLiteral("contacts_from")));
        const QList<ProcedureParameter> params = link.parameters(QStringLiteral("contacts_from"));
        QVERIFY(!params.isEmpty());
        QCOMPARE(params[0].name, QStringLiteral("start"));
        QCOMPARE(params[0].directionText(), QStringLiteral("Input"));

        const QList<sr::SourceField> cols = link.columns(QStringLiteral("contacts"));
        QCOMPARE(cols.size(), 5);
        QCOMPARE(cols[1].name, QStringLiteral("email"));
        QCOMPARE(cols[1].size, 80);

        qint64 events = 0;
        link.rowAdded = [&](qint64 n) { events = n; };
        auto rows = link.openTable(QStringLiteral("contacts"));
        QVERIFY2(rows, qPrintable(link.errorText()));
        QCOMPARE(link.lastSql(), QStringLiteral("SELECT * FROM \"public\".\"contacts\""));
        QCOMPARE(rows->fields().size(), 5);
        QCOMPARE(rows->fields()[0].type, sr::FieldType::Integer);
        QCOMPARE(rows->fields()[3].type, sr::FieldType::Date);
        sr::SourceRow row;
        QMap<qlonglong, sr::SourceRow> byId;
        while (rows->next(row))
            byId.insert(row[0].toLongLong(), row);
        QVERIFY2(rows->errorText().isEmpty(), qPrintable(rows->errorText()));
        QCOMPARE(byId.size(), 2501); // more than one fetch block
        QCOMPARE(events, 2501);
        QCOMPARE(byId[7][1].toString(), QStringLiteral("user7@example.com"));
        QCOMPARE(byId[7][3].toDate(), QDate(2024, 1, 8));
        QCOMPARE(byId[8][4].toBool(), true);
        QVERIFY(byId[2501][1].isNull());
        QCOMPARE(byId[2501][2].toString(), QStringLiteral("Zoë"));

        // A view and a function call whose argument is bound, not spliced.
        rows = link.openTable(QStringLiteral("active_contacts"));
        QVERIFY(rows);
        int active = 0;
        while (rows->next(row))
            ++active;
        QCOMPARE(active, 1250);
        QList<ProcedureParameter> call = params;
        call[0].value = QStringLiteral("2495");
        rows = link.openProcedure(QStringLiteral("contacts_from"), call);
        QVERIFY2(rows, qPrintable(link.errorText()));
        int from = 0;
        while (rows->next(row))
            ++from;
        QCOMPARE(from, 7);
        call[0].value = QStringLiteral("1); DROP TABLE contacts; --");
        rows = link.openProcedure(QStringLiteral("contacts_from"), call);
        if (rows) {
            while (rows->next(row)) {
            }
        }
        rows.reset();
        QVERIFY(link.tables().contains(QStringLiteral("contacts")));
    }

    void sqliteThroughTheOdbcReader() {
        if (m_sqliteDriver.isEmpty()) {
            if (PostgresServer::mustExist()) QFAIL("the SQLite ODBC driver is missing");
            QSKIP("the SQLite ODBC driver is not installed");
        }
        const QString db = sqliteDb();
        QProcess sqlite;
        sqlite.start(
            QStringLiteral("sqlite3"),
            {db, QStringLiteral(
                     "CREATE TABLE \"odd \"\"name\"\"; x\" (EMail TEXT, Notes TEXT, Age INTEGER);"
                     "INSERT INTO \"odd \"\"name\"\"; x\" VALUES ('a@b.com', NULL, 42);"
                     "INSERT INTO \"odd \"\"name\"\"; x\" VALUES ('c@d.com', printf('%.100000c', 'x'), NULL);"
                     "CREATE TABLE plain (a TEXT);")});
        QVERIFY(sqlite.waitForFinished(10000));
        QCOMPARE(sqlite.exitCode(), 0);
        QVERIFY(DbLink::dataSources().contains(QStringLiteral("contacts")));

        auto reader = createSourceReader(sr::SourceKind::Odbc);
        QCOMPARE(reader->kind(), sr::SourceKind::Odbc);
        QVERIFY(!reader->open(QStringLiteral("DRIVER={No Such Driver};")));
        QVERIFY(!reader->errorText().isEmpty());
        QVERIFY2(reader->open(QStringLiteral("contacts")),
                 qPrintable(reader->errorText())); // by its data source name
        QCOMPARE(reader->tables(), (QStringList{QStringLiteral("odd \"name\"; x"), QStringLiteral("plain")}));
        reader->close();
        QVERIFY2(reader->open(QStringLiteral("DRIVER={SQLite3};Database=%1;").arg(db)),
                 qPrintable(reader->errorText()));
        const QString table = QStringLiteral("odd \"name\"; x");
        QCOMPARE(reader->fields(table).size(), 3);
        auto rows = reader->rows(table);
        QVERIFY2(rows, qPrintable(reader->errorText()));
        sr::SourceRow row;
        QVERIFY(rows->next(row));
        QCOMPARE(row[0].toString(), QStringLiteral("a@b.com"));
        QVERIFY(row[1].isNull());
        QCOMPARE(row[2].toLongLong(), 42);
        QVERIFY(rows->next(row));
        QCOMPARE(row[1].toString().size(), DbLink::kMaxTextChars); // cut, not unbounded
        QVERIFY(!rows->next(row));
        QCOMPARE(rows->position(), 2);
        QVERIFY(rows->errorText().isEmpty());
        QVERIFY(reader->rows(QStringLiteral("missing")) == nullptr);
        QVERIFY(!reader->errorText().isEmpty());
        // Other kinds still come from the file readers.
        QCOMPARE(createSourceReader(sr::SourceKind::DBase5)->kind(), sr::SourceKind::DBase5);
    }
};

QTEST_GUILESS_MAIN(TestDbLink)
#include "tst_dblink.moc"
