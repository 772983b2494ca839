// The database import over an in-memory source: address clean-up, the validity rule and the
// "Unknown<n>" rows in the "(No Addresses)" list, repeated addresses, columns, filter, interrupt
// and cancel; the wizard's page checks and messages and the folder remembered per kind.

#include "components/jet/Jet.h"
#include "core/Settings.h"
#include "import/DatabaseImport.h"
#include "import/DatabaseImportWizard.h"
#include "support/TestApp.h"

#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QTest>
#include <QTimer>

using namespace sendora;
using sendora::test::msg;
using sendora::test::TestApp;
namespace sr = sendora::sourcereaders;

namespace {

struct Table {
    QList<sr::SourceField> fields;
    QList<sr::SourceRow> rows;
};

// With `utf8`, the rows are also offered as UTF-8 text, as text sources offer them.
class FakeCursor final : public sr::RowCursor {
public:
    explicit FakeCursor(const Table& t, bool utf8 = false) : m_t(t), m_utf8(utf8) {}
    bool next(sr::SourceRow& row) override {
        if (m_at >= m_t.rows.size()) return false;
        row = m_t.rows[m_at++];
        return true;
    }
    bool offersUtf8() const override { return m_utf8; }
    bool nextUtf8(sr::Utf8Row& row) override {
        sr::SourceRow values;
        if (!next(values)) return false;
        m_bytes.clear();
        for (const QVariant& v : values)
            m_bytes << sr::valueText(v).toUtf8();
        row.assign(size_t(m_t.fields.size()), QByteArrayView());
        for (qsizetype i = 0; i < std::min(m_bytes.size(), m_t.fields.size()); ++i)
            row[size_t(i)] = m_bytes[i];
        return true;
    }
    QList<sr::SourceField> fields() const override { return m_t.fields; }
    QString errorText() const override { return {}; }
    qint64 position() const override { return m_at; }

private:
    const Table& m_t;
    bool m_utf8;
    qsizetype m_at = 0;
    QByteArrayList m_bytes;
};

// Tables by name; a table without fields cannot be read; "bad" sources do not open.
class FakeReader final : public sr::SourceReader {
public:
    QMap<QString, Table> tables_;
    bool open(const QString& source, const sr::SourceOptions&) override {
        m_open = !source.endsWith("bad");
        return m_open;
    }
    void close() override { m_open = false; }
    bool isOpen() const override { return m_open; }
    QStringList tables() override { return tables_.keys(); }
    QString chosenTable() const override { return {}; }
    QList<sr::SourceField> fields(const QString& table) override { return tables_.value(table).fields; }
    std::unique_ptr<sr::RowCursor> rows(const QString& table) override {
        if (!tables_.contains(table) || tables_[table].fields.isEmpty()) return nullptr;
        return std::make_unique<FakeCursor>(tables_[table]);
    }
    QString errorText() const override { return "unreadable"; }
    sr::SourceKind kind() const override { return sr::SourceKind::Access; }

private:
    bool m_open = false;
};

Table contacts(const QList<QStringList>& rows, const QStringList& names = {"Mail", "First", "Last", "City"}) {
    Table t;
    for (const QString& n : names)
        t.fields << sr::SourceField{n, sr::FieldType::Text, 50};
    for (const QStringList& r : rows) {
        sr::SourceRow row;
        for (const QString& v : r)
            row << (v.isNull() ? QVariant() : QVariant(v));
        t.rows << row;
    }
    return t;
}

ImportMapping mailFirstLast() {
    ImportMapping m;
    m.trays[TrayEmail] = "Mail";
    m.trays[TrayFirstName] = "First";
    m.trays[TrayLastName] = "Last";
    return m;
}

QMap<QString, QStringList> listRows(const QString& file, const QStringList& columns) {
    QMap<QString, QStringList> rows;
    auto db = jet::Database::open(file, jet::Database::OpenMode::ReadOnly);
    for (auto rs = db->openRecordset("SELECT * FROM AddressList"); !rs->eof(); rs->moveNext()) {
        QStringList values;
        for (const QString& c : columns)
            values << rs->value(c).toString();
        rows.insert(rs->value("EAddress").toString(), values);
    }
    return rows;
}

} // namespace

class TestDatabaseImport : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void addressRulesAndNoAddressList();
    void columnsAndValues();
    void utf8RowsBuildTheSameList();
    void filter();
    void interruptAndCancel();
    void kindsAndFolders();
    void pageChecks();
};

void TestDatabaseImport::addressRulesAndNoAddressList() {
    TestApp t;
    t.layOut();
    const Table src = contacts({{"  ann@example.com ", "Ann", "Ames", "X"},
                                {"bob @exam ple.com\t", "Bob", "Bell", "Y"},
                                {"not an address", "Cy", "Cole", "Z"},
                                {"ANN@example.com", "Ann2", "Ames2", "W"},
                                {QString(), "Dee", "Dunn", "V"},
                                {"ed@example.com", "Ed", "Eyre", "U"}});
    DatabaseImport build(*t.ctx);
    const DatabaseImport::Result r =
        build.run(std::make_unique<FakeCursor>(src), mailFirstLast(), {}, "Imported");
    QVERIFY(r.error.isEmpty());
    QCOMPARE(r.path, t.ctx->paths.temp + "NewMailingList0.mdb");
    QCOMPARE(r.rowsRead, 6);
    QCOMPARE(r.imported, 3);
    QCOMPARE(r.unusable, 2);
    QCOMPARE(r.repeated, 1);
    QCOMPARE(r.rowsLeft, 3);
    // Blanks around and inside an address go; a repeated address (any case) keeps the first row.
    const auto list = listRows(r.path, {"FirstName", "LastName", "Title", "IDNumber", "Sent"});
    QCOMPARE(list.keys(), QStringList({"ann@example.com", "bob@example.com", "ed@example.com"}));
    QCOMPARE(list.value("ann@example.com"), QStringList({"Ann", "Ames", "", "", ""}));
    // The third and fifth rows fail the rule and go to the companion list only.
    QCOMPARE(r.companion, t.ctx->paths.temp + "NewMailingList0(No Addresses).mdb");
    const auto none = listRows(r.companion, {"FirstName"});
    QCOMPARE(none.keys(), QStringList({"Unknown3", "Unknown5"}));
    QCOMPARE(none.value("Unknown3"), QStringList({"Cy"}));
    // Every address usable: no companion; a second import takes the next file name.
    DatabaseImport again(*t.ctx);
    const auto r2 =
        again.run(std::make_unique<FakeCursor>(contacts({{"a@b.com", "", "", ""}})), mailFirstLast());
    QCOMPARE(QFileInfo(r2.path).fileName(), QString("NewMailingList1.mdb"));
    QVERIFY(r2.companion.isEmpty());
    QVERIFY(!QFileInfo::exists(t.ctx->paths.temp + "NewMailingList1(No Addresses).mdb"));
}

void TestDatabaseImport::columnsAndValues() {
    TestApp t;
    t.layOut();
    Table src = contacts({{"a@b.com", QString(400, 'n'), "L", "Paris", "k1", "7", "x"}},
                         {"Mail", "First", "Last", "City", "keyword1", "ID", "Error"});
    src.fields << sr::SourceField{"Born", sr::FieldType::Date, 0};
    src.rows[0] << QVariant(QDate(1990, 2, 3));
    ImportMapping m = mailFirstLast();
    m.trays[TrayID] = "ID";
    m.extraFields = {"City", "keyword1", "ID", "Error", "Born", "city"};
    QCOMPARE(extraListColumns(m), QStringList({"City", "Born"}));
    DatabaseImport build(*t.ctx);
    const auto r = build.run(std::make_unique<FakeCursor>(src), m);
    QVERIFY2(r.error.isEmpty(), qPrintable(r.error));
    auto db = jet::Database::open(r.path, jet::Database::OpenMode::ReadOnly);
    QStringList names;
    for (const jet::FieldDef& f : db->fields("AddressList"))
        names << f.name;
    QCOMPARE(names, QStringList({"EAddress", "FirstName", "LastName", "Title", "IDNumber", "Sent", "Date",
                                 "Keyword1", "Keyword2", "City", "Born"}));
    const auto row = listRows(r.path, {"FirstName", "IDNumber", "Keyword1", "City", "Born"}).value("a@b.com");
    QCOMPARE(row, QStringList({QString(255, 'n'), "7", "k1", "Paris", "2/3/1990"}));
    bool keyed = false;
    for (const jet::IndexDef& i : db->indexes("AddressList"))
        keyed |= i.primary && i.fields == QStringList{"EAddress"};
    QVERIFY(keyed);
    // Without an address field nothing is built.
    DatabaseImport none(*t.ctx);
    QVERIFY(!none.start(std::make_unique<FakeCursor>(src), ImportMapping{}));
}

// Rows taken as UTF-8 text must build the very list that value rows build: cleaning, the rule,
// repeats, cutting at 255 characters (also inside a character outside the basic plane) and
// values missing from short rows.
void TestDatabaseImport::utf8RowsBuildTheSameList() {
    TestApp t;
    t.layOut();
    const QString emoji = QStringLiteral("\U0001F600");
    const QString longAddress = QString(300, u'a') + "@example.com";
    const Table src =
        contacts({{" \tann@example.com\r\n", QString(254, u'n') + emoji, QString(300, u'\u00e9'), "X"},
                  {"j\u00f6@ex\u00e4mple.com", "J\u00f6", "", ""},
                  {"no address", "Cy", "Cole", "Z"},
                  {"ANN@EXAMPLE.COM", "Ann2", "", ""},
                  {longAddress, "Long", "", ""},
                  {QString(), "Dee", "", ""},
                  {"\u00e9@x.com\u0001", QString(256, u'\u00fc'), "", ""},
                  {"short@row.com"}});
    ImportMapping m = mailFirstLast();
    m.extraFields = {"City"};
    const QStringList columns = {"EAddress", "FirstName", "LastName", "City"};
    QList<QStringList> built;
    for (const bool utf8 : {false, true}) {
        DatabaseImport build(*t.ctx);
        const auto r = build.run(std::make_unique<FakeCursor>(src, utf8), m);
        QVERIFY2(r.error.isEmpty(), qPrintable(r.error));
        QStringList summary = {QString::number(r.imported), QString::number(r.unusable),
                               QString::number(r.repeated)};
        for (const QString& file : {r.path, r.companion})
            for (const QStringList& values : listRows(file, columns))
                summary << values.join(u'|');
        built << summary;
    }
    QCOMPARE(built[1], built[0]);
    QCOMPARE(built[0].mid(0, 3), QStringList({"4", "3", "1"}));
}

void TestDatabaseImport::filter() {
    TestApp t;
    t.layOut();
    Table src =
        contacts({{"a@b.com", "A", "", "Paris"}, {"c@d.com", "C", "", "Rome"}, {"bad", "E", "", "Paris"}});
    src.fields << sr::SourceField{"Age", sr::FieldType::Integer, 0};
    src.rows[0] << QVariant(30);
    src.rows[1] << QVariant(40);
    src.rows[2] << QVariant(50);
    DatabaseImport build(*t.ctx);
    const auto r =
        build.run(std::make_unique<FakeCursor>(src), mailFirstLast(), "City = \"Paris\" AND Age > 20");
    QVERIFY2(r.error.isEmpty(), qPrintable(r.error));
    QCOMPARE(listRows(r.path, {}).keys(), QStringList({"a@b.com"}));
    // Running numbers count the rows the import takes; the work table is gone.
    QCOMPARE(listRows(r.companion, {}).keys(), QStringList({"Unknown2"}));
    QVERIFY(!jet::Database::open(r.path)->hasTable("ImportSource"));
    // A condition the engine cannot read fails the build and leaves no file.
    DatabaseImport bad(*t.ctx);
    const auto r2 = bad.run(std::make_unique<FakeCursor>(src), mailFirstLast(), "City = ");
    QVERIFY(!r2.error.isEmpty());
    QVERIFY(r2.path.isEmpty());
    QVERIFY(!QFileInfo::exists(t.ctx->paths.temp + "NewMailingList1.mdb"));
}

void TestDatabaseImport::interruptAndCancel() {
    TestApp t;
    t.layOut();
    QList<QStringList> rows;
    for (int i = 0; i < 30000; ++i)
        rows << QStringList{QString("p%1@example.com").arg(i), "", "", ""};
    const Table src = contacts(rows);
    {
        // Interrupt after the first counter refresh: the rows so far stay.
        DatabaseImport build(*t.ctx);
        qint64 reports = 0;
        connect(&build, &DatabaseImport::progress, &build, [&](qint64 n) {
            if (build.building()) QCOMPARE(n % DatabaseImport::kCounterStep, 0);
            if (++reports == 1) QTimer::singleShot(0, &build, [&build] { build.interrupt(); });
        });
        const auto r = build.run(std::make_unique<FakeCursor>(src), mailFirstLast());
        QVERIFY(r.interrupted);
        QVERIFY(r.rowsRead > 0 && r.rowsRead < 30000);
        QCOMPARE(qint64(listRows(r.path, {}).size()), r.rowsRead);
    }
    {
        // Cancel while building: no list file is left and nothing reaches the catalogue.
        t.start();
        DatabaseImport build(*t.ctx);
        connect(&build, &DatabaseImport::progress, &build,
                [&build](qint64) { QTimer::singleShot(0, &build, [&build] { build.cancel(); }); });
        const auto r = build.run(std::make_unique<FakeCursor>(src), mailFirstLast());
        QVERIFY(r.cancelled);
        QVERIFY(r.path.isEmpty());
        QCOMPARE(QDir(t.ctx->paths.temp).entryList({"NewMailingList1*"}), QStringList());
        // A filtered build is cancelled while the source is still being staged.
        DatabaseImport filtered(*t.ctx);
        QTimer::singleShot(0, &filtered, [&filtered] { filtered.cancel(); });
        const auto f = filtered.run(std::make_unique<FakeCursor>(src), mailFirstLast(), "City IS NULL");
        QVERIFY(f.cancelled);
        QCOMPARE(f.rowsRead, 0);
        QCOMPARE(QDir(t.ctx->paths.temp).entryList({"NewMailingList*"}), QStringList());
        auto sys = jet::Database::open(t.ctx->paths.systemDatabase());
        QCOMPARE(sys->openRecordset("SELECT Count(*) AS n FROM List WHERE ListPath LIKE \"NewMailing*\"")
                     ->value("n")
                     .toInt(),
                 0);
    }
}

void TestDatabaseImport::kindsAndFolders() {
    const QStringList names = DatabaseImportWizard::kindNames();
    QCOMPARE(names.size(), 16);
    QCOMPARE(names.first(), QString("Access MDBs (*.mdb)"));
    QCOMPARE(names.last(), QString("Text Files (*.txt,*.csv)"));
    QCOMPARE(sr::kindInfo(sr::kindFromIndex(8)).filter, QString("FoxPro-2.5 Files (dbf)|*.dbf"));
    QCOMPARE(sr::kindInfo(sr::kindFromIndex(16)).key, QString("UNKNOWN"));
    QCOMPARE(DatabaseImportWizard::title(3), QString("Database Import Wizard - Step 3 of 6"));

    TestApp t;
    t.layOut();
    DatabaseImportWizard w(*t.ctx);
    QDir(t.dir.path()).mkpath("access");
    QDir(t.dir.path()).mkpath("dbase3");
    w.setKindIndex(0);
    QCOMPARE(w.kindKey(), QString("DBACCESS"));
    w.enterFilePage();
    w.leaveFilePage(t.path("access"));
    w.setKindIndex(3);
    QCOMPARE(w.enterFilePage(), QDir::homePath());
    w.leaveFilePage(t.path("dbase3"));
    w.setKindIndex(0);
    QCOMPARE(w.enterFilePage(), t.path("access"));
    w.setKindIndex(3);
    QCOMPARE(w.enterFilePage(), t.path("dbase3"));
    QCOMPARE(GetSetting(*t.ctx, "DefaultDirectories", "DBDBASE3", ""), t.path("dbase3"));
    w.setKindIndex(11);
    QVERIFY(w.isContactManagerKind());
}

void TestDatabaseImport::pageChecks() {
    TestApp t;
    t.layOut();
    DatabaseImportWizard w(*t.ctx);
    w.setKindIndex(2); // Btrieve
    QVERIFY(!w.fileNext());
    w.setFile(t.path("FILE.DDF"));
    QVERIFY(!w.fileNext());
    QCOMPARE(t.ui.transcript(), QStringList({msg("You must select a source file before you can continue."),
                                             msg("Not Supported", "exclamation", "OK", "Sendora Error")}));
    t.ui.clear();
    QVERIFY(!w.tableNext());
    QVERIFY(!w.canViewTable());
    QVERIFY(!w.fieldsNext());
    w.mapping().trays[TrayEmail] = "Mail";
    QVERIFY(w.fieldsNext());
    t.ui.answers = {Answer::No, Answer::Yes};
    QVERIFY(!w.confirmExit());
    QVERIFY(w.confirmExit());
    const QString exit =
        "Are you sure you wish to exit?  Any changes you made in the wizard will be lost\r\nUse "
        "the finish button to save modifications.";
    QCOMPARE(
        t.ui.transcript(),
        QStringList({msg("There are no source tables available in the currently selected database. \r\nYou "
                         "must select a database with data, then select a source table before you can "
                         "continue."),
                     msg("There are no tables to view!"),
                     msg("You must select a field to represent E-Mail addresses before you can continue.\r\n"
                         "Drag a field name from the Field List onto a tray to the right to identify a "
                         "specific field."),
                     msg(exit, "question", "YesNo"), msg(exit, "question", "YesNo")}));
    t.ui.clear();
    QVERIFY(w.runContactImport().isEmpty());
    QCOMPARE(t.ui.transcript(), QStringList({msg("Unable to import the data")}));

    // A source that opens: tables, the sample, the unreadable table and the ID tray.
    t.ui.clear();
    w.setKindIndex(0);
    w.readerFactory = [](sr::SourceKind) {
        auto r = std::make_unique<FakeReader>();
        r->tables_["Contacts"] = contacts({{"a@b.com", "Ann", "", "", "1"}, {"c@d.com", "Cy", "", "", "2"}},
                                          {"Mail", "First", "Last", "City", "id"});
        r->tables_["Locked"] = Table{};
        return r;
    };
    w.setFile(t.path("x.bad"));
    QVERIFY(!w.fileNext());
    w.setFile(t.path("x.mdb"));
    QVERIFY(w.fileNext());
    QCOMPARE(w.tables(), QStringList({"Contacts", "Locked"}));
    QCOMPARE(w.table(), QString("Contacts"));
    QCOMPARE(w.sample("First"), QString("Ann\nCy"));
    w.selectTable({});
    QVERIFY(!w.tableNext());
    w.selectTable("Locked");
    QVERIFY(!w.tableNext());
    w.selectTable("Contacts");
    QVERIFY(w.tableNext());
    w.mapping().trays[TrayEmail] = "Mail";
    QVERIFY(!w.fieldsNext());
    w.mapping().trays[TrayID] = "id";
    QVERIFY(w.fieldsNext());
    QCOMPARE(t.ui.transcript(),
             QStringList(
                 {msg(t.path("x.bad") + " is invalid for the current operation.  \r\nIt may be corrupt, "
                                        "the wrong type of file, password protected or empty.",
                      "information", "OK", "Sendora Error"),
                  msg("You must select a source table before you can continue."),
                  msg("Sendora cannot read the selected file.\r\nThe selected file may have no records, it "
                      "may be opened exclusively by another application, or it may be an incorrect type "
                      "or corrupt.\r\nPlease correct the problem before trying to open the file with "
                      "Sendora"),
                  msg("You must drag the ID field on the left to the tray on the right to continue.")}));
    // The build over the chosen table.
    DatabaseImport build(*t.ctx);
    QEventLoop loop;
    connect(&build, &DatabaseImport::finished, &loop, &QEventLoop::quit);
    QVERIFY(w.startBuild(build, "Contacts"));
    loop.exec();
    QCOMPARE(listRows(build.result().path, {"IDNumber"}).value("c@d.com"), QStringList({"2"}));
    t.ui.clear();
    QCOMPARE(w.resultToShow(build.result().path), build.result().path);
    jet::Database::open(build.result().path)->execute("DELETE * FROM AddressList");
    QVERIFY(w.resultToShow(build.result().path).isEmpty());
    QCOMPARE(t.ui.transcript(), QStringList({msg("There were no records satisfying your selection parameters",
                                                 "information", "OK", "Contact Database Import Summary")}));
}

QTEST_GUILESS_MAIN(TestDatabaseImport)
#include "tst_databaseimport.moc"
