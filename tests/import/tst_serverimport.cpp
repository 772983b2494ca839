// The database server import: page flow per server kind (Oracle and MySQL skip the catalog
// page both ways), every page check and its message, sources that return no rows keeping the
// source page, procedure parameters reaching the call; and a contacts table imported from a
// PostgreSQL cluster started by the test, through the same pages and the list build.

#include "import/ServerImport.h"
#include "support/PostgresServer.h"
#include "support/ScriptedDbLink.h"
#include "support/TestApp.h"

#include <QTest>

using namespace sendora;
using sendora::test::msg;
using sendora::test::TestApp;
namespace sr = sendora::sourcereaders;
using dblink::ProcedureParameter;
using sendora::test::ScriptedDbLink;

namespace {

struct Fixture {
    TestApp app;
    ScriptedDbLink* link;
    std::unique_ptr<ServerImport> wiz;
    Fixture() {
        app.layOut();
        auto l = std::make_unique<ScriptedDbLink>();
        link = sendora::test::withContacts(l.get());
        wiz = std::make_unique<ServerImport>(*app.ctx, std::move(l));
    }
    // Next with the one message it should show ("" for none) and the page it should land on.
    void next(const QString& message, ServerImport::Page page) {
        app.ui.clear();
        wiz->next();
        QCOMPARE(app.ui.transcript(), message.isEmpty() ? QStringList{} : QStringList{msg(message)});
        QCOMPARE(wiz->page(), page);
    }
};

} // namespace

class TestServerImport : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void kindsAndCatalogPage();
    void sourceChecksAndEmptySources();
    void procedureParametersAndFieldChecks();
    void postgresqlContactsThroughTheWizard();
};

void TestServerImport::kindsAndCatalogPage() {
    QCOMPARE(ServerImport::title(3), QStringLiteral("Import Data from a Database Server - Step 3 of 8"));
    QStringList names;
    QList<int> codes;
    for (const auto& k : ServerImport::kinds()) {
        names << k.name;
        codes << k.code;
    }
    QCOMPARE(names, (QStringList{"SQL Server", "Oracle", "MySQL (MyODBC)", "MySQL (MyODBC 3.51)"}));
    QCOMPARE(codes, (QList<int>{0, 4, 6, 7}));
    QCOMPARE(ServerImport::requirementNote(1).size(), 4);
    QVERIFY(ServerImport::requirementNote(3).first().startsWith("Please note that the MySQL ODBC driver"));
    QVERIFY(ServerImport::requirementNote(0).isEmpty());

    Fixture f;
    f.next("Please select a database server type", ServerImport::KindPage);
    // Oracle: no catalog page, going forward or back.
    f.wiz->setKindIndex(1);
    f.next("", ServerImport::ConnectionPage);
    f.next("Please enter a database server name or IP address", ServerImport::ConnectionPage);
    f.wiz->connection().server = "orahost";
    f.link->refuse = true;
    f.next("Login failed for user 'sa'.", ServerImport::ConnectionPage);
    f.link->refuse = false;
    f.next("", ServerImport::SourcePage);
    QCOMPARE(f.link->settings.kindCode, 4);
    QCOMPARE(f.wiz->tables(), (QStringList{"contacts", "empty"}));
    QCOMPARE(f.wiz->views(), QStringList{"v_contacts"});
    f.wiz->back();
    QCOMPARE(f.wiz->page(), ServerImport::ConnectionPage);
    f.wiz->back();
    // SQL Server: the catalog page, its check, and back to it from the source page.
    f.wiz->setKindIndex(0);
    f.next("", ServerImport::ConnectionPage);
    f.next("", ServerImport::CatalogPage);
    QCOMPARE(f.link->settings.kindCode, 0);
    QCOMPARE(f.wiz->catalogs(), (QStringList{"crm", "hr"}));
    f.next("Please select a catalog", ServerImport::CatalogPage);
    f.wiz->setCatalog("hr");
    f.next("", ServerImport::SourcePage);
    QCOMPARE(f.link->catalog, QStringLiteral("hr"));
    f.wiz->back();
    QCOMPARE(f.wiz->page(), ServerImport::CatalogPage);
}

void TestServerImport::sourceChecksAndEmptySources() {
    Fixture f;
    f.wiz->setKindIndex(2);
    f.wiz->connection().server = "mysqlhost";
    f.next("", ServerImport::ConnectionPage);
    f.next("", ServerImport::SourcePage);
    using ST = ServerImport::SourceType;
    f.next("Please select a source to import from", ServerImport::SourcePage);
    f.wiz->setSource(ST::Table);
    f.next("Please select a table to import from", ServerImport::SourcePage);
    f.wiz->setSource(ST::View);
    f.next("Please select a view to import from", ServerImport::SourcePage);
    f.wiz->setSource(ST::Procedure);
    f.next("Please select a stored procedure to import from", ServerImport::SourcePage);
    f.wiz->setSource(ST::Table, "empty");
    f.next("No records were returned from the table empty", ServerImport::SourcePage);
    // A procedure without parameters runs from the source page; no rows keep that page.
    f.wiz->setSource(ST::Procedure, "p_none");
    f.next("No records were returned from the stored procedure p_none", ServerImport::SourcePage);
    QVERIFY(f.link->called.isEmpty()); // the return value is not a parameter to fill
    f.wiz->setSource(ST::View, "v_contacts");
    f.next("", ServerImport::FieldsPage);
    QCOMPARE(f.wiz->fields().size(), 2);
    f.wiz->back();
    QCOMPARE(f.wiz->page(), ServerImport::SourcePage);
}

void TestServerImport::procedureParametersAndFieldChecks() {
    Fixture f;
    f.wiz->setKindIndex(3);
    f.wiz->connection().server = "h";
    f.next("", ServerImport::ConnectionPage);
    f.next("", ServerImport::SourcePage);
    f.wiz->setSource(ServerImport::SourceType::Procedure, "p_city");
    f.next("", ServerImport::ParametersPage);
    QCOMPARE(f.wiz->parameters().size(), 1);
    QCOMPARE(f.wiz->parameters()[0].directionText(), QStringLiteral("Input"));
    f.wiz->parameters()[0].value = "Paris'; --";
    f.next("", ServerImport::FieldsPage);
    QCOMPARE(f.link->called.size(), 1);
    QCOMPARE(f.link->called[0].value, QStringLiteral("Paris'; --"));
    f.wiz->back();
    QCOMPARE(f.wiz->page(), ServerImport::ParametersPage);
    f.next("", ServerImport::FieldsPage);

    f.next("You must select a field to represent E-Mail addresses before you can continue.\r\n"
           "Drag a field name from the Field List onto a tray to the right to identify a specific field.",
           ServerImport::FieldsPage);
    f.wiz->mapping().trays[TrayEmail] = "Email";
    f.next("You must drag the ID field on the left to the tray on the right to continue.",
           ServerImport::FieldsPage);
    f.wiz->mapping().trays[TrayID] = "ID";
    f.next("", ServerImport::FilterPage);
    f.next("", ServerImport::BuildPage);
    f.wiz->back();
    QCOMPARE(f.wiz->page(), ServerImport::FilterPage);
}

void TestServerImport::postgresqlContactsThroughTheWizard() {
    using sendora::test::PostgresServer;
    SENDORA_REQUIRE_PEER(PostgresServer, "PostgreSQL or its ODBC driver is missing",
                         "PostgreSQL or its ODBC driver is not installed");
    PostgresServer pg;
    QVERIFY2(pg.start(), qPrintable(pg.m_lastOutput + pg.output()));
    QVERIFY2(
        pg.psql("CREATE TABLE contacts (id integer PRIMARY KEY, email varchar(80), first_name varchar(40));"
                "INSERT INTO contacts VALUES (1, ' ann@example.com ', 'Ann'), (2, 'not an address', 'Bob'),"
                "(3, 'ANN@example.com', 'Ann again'), (4, 'cy@example.com', 'Cy');"
                "CREATE FUNCTION no_contacts() RETURNS SETOF contacts LANGUAGE sql AS "
                "'SELECT * FROM contacts WHERE false';"),
        qPrintable(pg.m_lastOutput));
    pg.registerDriver();

    TestApp app;
    app.layOut();
    ServerImport wiz(*app.ctx);
    wiz.setKindIndex(2);
    QVERIFY(wiz.next());
    wiz.connection().server = pg.connectionString();
    QVERIFY2(wiz.next(), qPrintable(app.ui.messageTexts().join('\n')));
    QCOMPARE(wiz.page(), ServerImport::SourcePage);
    QVERIFY(wiz.tables().contains("contacts"));
    QVERIFY(wiz.procedures().contains("no_contacts"));
    wiz.setSource(ServerImport::SourceType::Procedure, "no_contacts");
    QVERIFY(!wiz.next());
    QCOMPARE(app.ui.messageTexts().last(),
             QStringLiteral("No records were returned from the stored procedure no_contacts"));
    wiz.setSource(ServerImport::SourceType::Table, "contacts");
    QVERIFY(wiz.next());
    QCOMPARE(wiz.fields().size(), 3);
    wiz.mapping().trays[TrayEmail] = "email";
    wiz.mapping().trays[TrayFirstName] = "first_name";
    wiz.mapping().trays[TrayID] = "id";
    QVERIFY(wiz.next());
    QVERIFY(wiz.next());
    QCOMPARE(wiz.page(), ServerImport::BuildPage);

    qint64 counted = 0;
    wiz.link().rowAdded = [&](qint64 n) { counted = n; };
    DatabaseImport build(*app.ctx);
    QVERIFY(wiz.startBuild(build));
    QVERIFY(QTest::qWaitFor([&] { return !build.building(); }, 20000));
    const DatabaseImport::Result& r = build.result();
    QVERIFY2(r.error.isEmpty(), qPrintable(r.error));
    QCOMPARE(counted, 4);
    QCOMPARE(r.rowsRead, 4);
    QCOMPARE(r.imported, 2);
    QCOMPARE(r.unusable, 1);
    QCOMPARE(r.repeated, 1);
    QVERIFY(QFile::exists(r.path));
}

QTEST_GUILESS_MAIN(TestServerImport)
#include "tst_serverimport.moc"
