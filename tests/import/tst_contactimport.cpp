// Contact manager imports over dBASE tables written with shapelib: Goldmine's join of contacts
// and their e-mail rows with repeated addresses removed, and ACT! contacts with the field-name
// rule, "Unknown<n>" rows in the companion list, shared addresses removed and the login.
#include "components/jet/Jet.h"
#include "core/ListActions.h"
#include "import/ContactManagerImport.h"
#include "support/TestApp.h"

#include <QDir>
#include <QFile>
#include <QTest>
#include <shapefil.h>

using namespace sendora;
using sendora::test::msg;
using sendora::test::TestApp;

namespace {

// A dBASE table of text fields.
void writeDbf(const QString& path, const QStringList& fields, const QList<QStringList>& rows) {
    DBFHandle h = DBFCreate(QFile::encodeName(path).constData());
    QVERIFY(h);
    for (const QString& f : fields)
        DBFAddField(h, f.toLatin1().constData(), FTString, 40, 0);
    for (int r = 0; r < rows.size(); ++r)
        for (int c = 0; c < rows[r].size(); ++c)
            DBFWriteStringAttribute(h, r, c, rows[r][c].toLatin1().constData());
    DBFClose(h);
}

// Column names and rows ("col=value" joined by "|") of a list file, rows in key order.
QStringList listRows(const QString& file, const QStringList& columns) {
    auto db = jet::Database::open(file, jet::Database::OpenMode::ReadOnly);
    QStringList out;
    for (auto rs = db->openRecordset(QStringLiteral("SELECT * FROM AddressList ORDER BY EAddress"));
         !rs->eof(); rs->moveNext()) {
        QStringList cells;
        for (const QString& c : columns)
            cells << rs->value(c).toString();
        out << cells.join(u'|');
    }
    return out;
}

QStringList fieldNames(const QString& file) {
    auto db = jet::Database::open(file, jet::Database::OpenMode::ReadOnly);
    QStringList out;
    for (const jet::FieldDef& f : db->fields(QStringLiteral("AddressList")))
        out << f.name;
    return out;
}

} // namespace

class TstContactImport : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void goldmineJoinsEmailRowsAndDropsRepeats() {
        TestApp t;
        t.layOut();
        const QString folder = t.path(QStringLiteral("gm"));
        QVERIFY(QDir().mkpath(folder));
        // file names in other case than the statement's table names
        writeDbf(folder + QStringLiteral("/CONTACT1.DBF"), {"ACCOUNTNO", "CONTACT", "COMPANY"},
                 {{"A1", "Ann Lee", "Acme"}, {"B2", "Bob Roe", "Bolt"}, {"C3", "Cid Poe", "Cog"}});
        writeDbf(folder + QStringLiteral("/contsupp.dbf"), {"ACCOUNTNO", "CONTACT", "CONTSUPREF"},
                 {{"A1", "E-mail Address", "ann@home.test"},
                  {"A1", "E-mail Address", "ann@work.test"},
                  {"A1", "Phone", "555 0100"},
                  {"B2", "E-mail Address", "shared@x.test"},
                  {"C3", "E-mail Address", "SHARED@x.test"}}); // same address in other case
        // the wizard hands over the chosen file; its folder is read
        const QString list = runContactManagerImport(*t.ctx, sourcereaders::SourceKind::Goldmine,
                                                     folder + QStringLiteral("/CONTACT1.DBF"));
        QVERIFY(!list.isEmpty());
        const QStringList fields = fieldNames(list);
        QCOMPARE(fields.mid(0, 2), (QStringList{"EAddress", "ACCOUNTNO"}));
        QCOMPARE(listRows(list, {"EAddress", "CONTACT", "COMPANY"}),
                 (QStringList{"ann@home.test|Ann Lee|Acme", "ann@work.test|Ann Lee|Acme"}));
        auto db = jet::Database::open(list, jet::Database::OpenMode::ReadOnly);
        QCOMPARE(db->tableNames(), QStringList{QStringLiteral("AddressList")});
        db.reset();

        // a folder without the e-mail table: nothing built, the error shown
        t.ui.clear();
        QFile::remove(folder + QStringLiteral("/contsupp.dbf"));
        const QString none = gGoldmineImport(*t.ctx, folder);
        QVERIFY(none.isEmpty());
        QVERIFY(!QFile::exists(CurrentTempListPath(*t.ctx)));
        QCOMPARE(t.ui.messageTexts().size(), 1);
        QVERIFY(t.ui.messageTexts().first().contains(QLatin1String("ContSupp")));
    }

    void actFieldNames_data() {
        QTest::addColumn<QString>("actName");
        QTest::addColumn<QString>("column");
        QTest::newRow("first name") << "First Name"
                                    << "FirstName";
        QTest::newRow("last name") << "Last Name"
                                   << "LastName";
        QTest::newRow("surname") << "Surname"
                                 << "LastName";
        QTest::newRow("date") << "Date"
                              << "_Date";
        QTest::newRow("sent") << "Sent"
                              << "_Sent";
        QTest::newRow("keywords") << "Keyword2"
                                  << "_Keyword2";
        QTest::newRow("address after brackets go") << "[EAddress]"
                                                   << "_EAddress";
        QTest::newRow("dots go") << "Addr. 2"
                                 << "Addr 2";
        QTest::newRow("other") << "Company"
                               << "Company";
    }
    void actFieldNames() {
        QFETCH(QString, actName);
        QFETCH(QString, column);
        QCOMPARE(ValidateFieldName(actName), column);
    }

    void actContactsToList() {
        TestApp t;
        t.layOut();
        const QString folder = t.path(QStringLiteral("act"));
        QVERIFY(QDir().mkpath(folder));
        writeDbf(folder + QStringLiteral("/contacts.dbf"),
                 {"UNIQUEID", "FIRSTNAME", "SURNAME", "DATE", "SENT", "COMPANY", "COMPANY_"},
                 {{"1", "Ann", "Smith", "01/02/99", "x", "Acme", "c1"},
                  {"2", "Bob", "Roe", "", "", "Bolt", ""},
                  {"3", "Cid", "Poe", "", "", "Cog", ""},
                  {"4", "Dee", "Nash", "", "", "Dune", ""},
                  {"5", "Eve", "Ott", "", "", "Echo", ""}});
        writeDbf(folder + QStringLiteral("/EMAIL.DBF"), {"CONTACTID", "TYPE", "ADDRESS"},
                 {{"1", "2", "ann@other.test"},
                  {"1", "1", "ann@main.test"},
                  {"2", "1", "shared@x.test"},
                  {"3", "1", "shared@x.test"},
                  {"4", "2", "dee@second.test"}, // no primary row: Unknown4
                  {"5", "1", "eve@x.test"}});
        QStringList progress;
        ActImportOptions options;
        options.progress = [&progress](const QString& text) { progress << text; };
        options.login = [](const QString&) -> std::optional<ActLogin> {
            qWarning("no login was asked for");
            return std::nullopt;
        };
        options.caption = QStringLiteral("ACT");
        const QString list = ActImport(*t.ctx, folder + QStringLiteral("/contacts.dbf"), options);
        QVERIFY(!list.isEmpty());
        QCOMPARE(progress, QStringList{QStringLiteral("5 of 5")});
        QCOMPARE(fieldNames(list), (QStringList{"EAddress", "FirstName", "LastName", "Title", "Sent", "Date",
                                                "Keyword1", "Keyword2", "UNIQUEID", "FIRSTNAME_", "_Date",
                                                "_Sent", "COMPANY", "COMPANY_"}));
        QCOMPARE(listRows(list, {"EAddress", "LastName", "FIRSTNAME_", "_Date", "_Sent", "Sent"}),
                 (QStringList{"ann@main.test|Smith|Ann|01/02/99|x|", "eve@x.test|Ott|Eve|||"}));
        // the companion holds the contact without a primary address; the list has its key
        QString companion = list;
        companion.insert(companion.size() - 4, QStringLiteral("(No Addresses)"));
        QCOMPARE(listRows(companion, {"EAddress", "LastName"}), QStringList{QStringLiteral("Unknown4|Nash")});
        auto db = jet::Database::open(list);
        QVERIFY(db->indexes(QStringLiteral("AddressList")).at(0).primary);
        QVERIFY(t.ui.messageTexts().isEmpty());
    }

    void actLogin() {
        TestApp t;
        t.layOut();
        const QString folder = t.path(QStringLiteral("act"));
        QVERIFY(QDir().mkpath(folder));
        writeDbf(folder + QStringLiteral("/Sales.dbf"), {"UNIQUEID", "FIRSTNAME"}, {{"1", "Ann"}});
        writeDbf(folder + QStringLiteral("/email.dbf"), {"CONTACTID", "TYPE", "ADDRESS"},
                 {{"1", "1", "a@x.test"}});
        writeDbf(folder + QStringLiteral("/users.dbf"), {"NAME", "PASSWORD"}, {{"Chris", "s3cret"}});
        QStringList asked;
        ActLogin given{QStringLiteral("chris"), QStringLiteral("wrong")};
        ActImportOptions options;
        options.login = [&](const QString& database) -> std::optional<ActLogin> {
            asked << database;
            return given;
        };
        const QString file = folder + QStringLiteral("/Sales.dbf");
        QVERIFY(ActImport(*t.ctx, file, options).isEmpty());
        QCOMPARE(t.ui.transcript(), QStringList{msg(kActLoginFailedMessage, QStringLiteral("exclamation"))});
        QFile log(t.ctx->paths.errorLog());
        QVERIFY(log.open(QIODevice::ReadOnly));
        QVERIFY(
            log.readAll().contains("Actimport **Act Error NO: 2\r\n** NOT SD ERROR ** at codePos: OpenACT\r\n"
                                   "Unable to Log into Database: "));

        t.ui.clear();
        given.password = QStringLiteral("s3cret");
        const QString list = ActImport(*t.ctx, file, options);
        QVERIFY(!list.isEmpty());
        QCOMPARE(asked, (QStringList{"Sales", "Sales"}));
        QCOMPARE(listRows(list, {"EAddress", "FIRSTNAME_"}), QStringList{QStringLiteral("a@x.test|Ann")});
        QVERIFY(t.ui.transcript().isEmpty());

        // cancelling the login ends the import quietly
        options.login = [](const QString&) { return std::optional<ActLogin>(); };
        QVERIFY(ActImport(*t.ctx, file, options).isEmpty());
        QVERIFY(t.ui.transcript().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TstContactImport)
#include "tst_contactimport.moc"
