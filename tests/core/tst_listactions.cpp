// List files and their catalogue rows: save, delete, open, columns, temporary lists and
// the companion list of records without an address.

#include "components/jet/Jet.h"
#include "core/ListActions.h"
#include "core/SystemDatabase.h"
#include "support/DbQuery.h"
#include "support/RecordingHost.h"
#include "support/TestApp.h"

#include <QFile>
#include <QFileInfo>
#include <QTest>

using namespace sendora;
using sendora::test::RecordingHost;
using sendora::test::scalar;
using sendora::test::TestApp;

namespace {

QStringList columns(const QString& file) {
    auto db = jet::Database::open(file, jet::Database::OpenMode::ReadOnly);
    QStringList names;
    for (const jet::FieldDef& f : db->fields("AddressList"))
        names << f.name;
    return names;
}

struct FakeListWindow : ListWindow {
    QString file;
    QString title;
    QStringList rebinds;
    QString caption() const override { return title; }
    QString filePath() const override { return file; }
    void rebind(const QString& sql) override { rebinds << sql; }
};

// A started application with the sample data, its host recording window requests.
struct Started {
    RecordingHost host;
    TestApp app{&host};
    Started() {
        app.start(true);
        host.calls.clear();
    }
    QString sdr() const { return app.ctx->paths.systemDatabase(); }
    QString sample() const { return app.ctx->paths.listFile(kSampleListName + ".mdb"); }
};

} // namespace

class TestListActions : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void systemColumns_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("system");
        for (const char* n : {"EAddress", "eaddress", "FirstName", "LASTNAME", "Title", "Keyword1",
                              "keyword2", "Date", " Sent "})
            QTest::newRow(n) << QString::fromLatin1(n) << true;
        for (const char* n : {"IDNumber", "Company", "id", "error", "E-Address"})
            QTest::newRow(n) << QString::fromLatin1(n) << false;
    }
    void systemColumns() {
        QFETCH(QString, name);
        QFETCH(bool, system);
        QCOMPARE(IsSystemColumn(name), system);
    }

    void temporaryListNamesCount() {
        TestApp app;
        QCOMPARE(NewTempListPath(*app.ctx), app.ctx->paths.temp + "NewMailingList0.mdb");
        QCOMPARE(NewTempListPath(*app.ctx), app.ctx->paths.temp + "NewMailingList1.mdb");
        QCOMPARE(CurrentTempListPath(*app.ctx), app.ctx->paths.temp + "NewMailingList1.mdb");
        QVERIFY(isTemporaryListFile(*app.ctx, app.ctx->paths.temp + "NewMailingList1.mdb"));
        QVERIFY(!isTemporaryListFile(*app.ctx, app.ctx->paths.addressLists + "NewMailingList1.mdb"));
    }

    void saveAsNewListCataloguesIt() {
        Started s;
        const QString temp = NewTempListPath(*s.app.ctx);
        QVERIFY(createSampleList(temp));
        QVERIFY(SaveList(*s.app.ctx, temp, "Trade \"Fair\" 2026", "met at the fair", true));
        const QString saved = s.app.ctx->paths.listFile("Trade \"Fair\" 2026.mdb");
        QVERIFY(QFileInfo::exists(saved));
        QCOMPARE(
            scalar(s.sdr(), "SELECT ListDescription FROM List WHERE ListName = \"trade \"\"fair\"\" 2026\"")
                .toString(),
            QStringLiteral("met at the fair"));
        QCOMPARE(s.host.calls, (QStringList{"closeListWindows:Trade \"Fair\" 2026",
                                            "openListWindow:Trade \"Fair\" 2026|" + saved,
                                            "listCatalogueChanged", "listSaved:Trade \"Fair\" 2026"}));
        QCOMPARE(s.app.ui.transcript(), QStringList());
    }

    void overwriteQuestionNoLeavesEverything() {
        Started s;
        const QString temp = NewTempListPath(*s.app.ctx);
        QVERIFY(createSampleList(temp));
        {
            auto db = jet::Database::open(temp);
            db->execute("DELETE * FROM AddressList WHERE FirstName <> \"Ada\"");
        }
        s.app.ui.answers = {Answer::No};
        QVERIFY(!SaveList(*s.app.ctx, temp, "sample - formal letter", "replaced", false));
        QCOMPARE(s.app.ui.transcript(),
                 QStringList{"message|information|YesNo|Sendora|This name already exists, would you like to "
                             "overwrite it?"});
        QCOMPARE(scalar(s.sample(), "SELECT Count(*) FROM AddressList").toInt(), 5);
        QCOMPARE(
            scalar(s.sdr(), "SELECT ListDescription FROM List WHERE ListName = \"Sample - Formal Letter\"")
                .toString(),
            QStringLiteral("SAMPLE"));
        QVERIFY(s.host.calls.isEmpty());

        s.app.ui.answers = {Answer::Yes};
        QVERIFY(SaveList(*s.app.ctx, temp, "Sample - Formal Letter", "replaced", false));
        QCOMPARE(scalar(s.sample(), "SELECT Count(*) FROM AddressList").toInt(), 1);
        QCOMPARE(
            scalar(s.sdr(), "SELECT ListDescription FROM List WHERE ListName = \"Sample - Formal Letter\"")
                .toString(),
            QStringLiteral("replaced"));
    }

    void noAddressesListLeavesTheMailingCentreAlone() {
        Started s;
        const QString temp = NewTempListPath(*s.app.ctx);
        QVERIFY(createSampleList(temp));
        QVERIFY(SaveList(*s.app.ctx, temp, "Import (No Addresses)", "", false));
        QVERIFY(QFileInfo::exists(s.app.ctx->paths.listFile("Import (No Addresses).mdb")));
        QCOMPARE(s.host.count("listCatalogueChanged"), 0);
        QCOMPARE(s.host.count("listSaved"), 0);
    }

    void deleteRefusedWhileAMessageUsesTheList() {
        Started s;
        s.host.messageUsingList = "Sample - Sendora";
        QVERIFY(!DeleteList(*s.app.ctx, "Sample - Formal Letter"));
        QCOMPARE(
            s.app.ui.transcript(),
            QStringList{
                "message|exclamation|OK|Cannot Delete List|Cannot delete the 'Sample - Formal Letter' "
                "list.\r\nThis list is currently being referenced by the 'Sample - Sendora' message.  "
                "\r\nPlease first change the Mail Merge setting for this message, \r\nwhich is currently "
                "open, before deleting the list."});
        QVERIFY(QFileInfo::exists(s.sample()));
        QCOMPARE(GetListPath(*s.app.ctx, "Sample - Formal Letter"),
                 QStringLiteral("Sample - Formal Letter.mdb"));

        s.host.messageUsingList.clear();
        QVERIFY(DeleteList(*s.app.ctx, "Sample - Formal Letter"));
        QVERIFY(!QFileInfo::exists(s.sample()));
        QCOMPARE(GetListPath(*s.app.ctx, "Sample - Formal Letter"), QString());
        QCOMPARE(s.host.count("closeListWindows:Sample - Formal Letter"), 1);
        QCOMPARE(s.host.count("listCatalogueChanged"), 1);
        QVERIFY(!DeleteList(*s.app.ctx, "No Such List"));
    }

    void openListKnowsTheRowCount() {
        Started s;
        OpenedList list = OpenList(*s.app.ctx, "sample - formal letter");
        QVERIFY(list.db);
        QCOMPARE(list.recordCount, 5);
        QVERIFY(!list.rows->eof());

        OpenedList none = OpenList(*s.app.ctx, "Nowhere");
        QVERIFY(!none.db);
        QCOMPARE(s.app.ui.transcript(), QStringList{"message|information|OK|Sendora|Could not locate " +
                                                    s.app.ctx->paths.addressLists + "Nowhere.mdb"});
    }

    void addColumnRefusesSystemNames() {
        Started s;
        FakeListWindow w;
        w.file = s.sample();
        s.app.ui.inputs = {QString(" id "), QString("Error"), QString("   "), QString(" Region ")};
        AddColumn(*s.app.ctx, w);
        const QString prompt =
            "input|none|OKCancel|Add Column|Please enter the name of the column you wish to add.";
        QCOMPARE(
            s.app.ui.transcript(),
            (QStringList{
                prompt,
                "message|exclamation|OK|Sendora|ID is a system column used by Sendora. Please choose "
                "another column name.",
                prompt,
                "message|exclamation|OK|Sendora|ERROR is a system column used by Sendora. Please "
                "choose another column name.",
                prompt, "message|exclamation|OK|Sendora|Please enter your text or press cancel.", prompt}));
        QVERIFY(columns(w.file).contains("Region"));
        QCOMPARE(w.rebinds, QStringList{"SELECT * FROM ADDRESSLIST"});
        auto db = jet::Database::open(w.file);
        db->execute("UPDATE AddressList SET Region = \"\"", true); // zero-length text allowed
        for (const jet::FieldDef& f : db->fields("AddressList"))
            if (f.name == "Region")
                QVERIFY(f.type == jet::FieldType::Text && f.size == 255 && f.allowZeroLength);
    }

    void columnChangesNeedASavedList() {
        Started s;
        FakeListWindow w;
        w.file = NewTempListPath(*s.app.ctx);
        QVERIFY(createSampleList(w.file));
        AddColumn(*s.app.ctx, w);
        RemoveColumns(*s.app.ctx, w, {"Company"});
        QCOMPARE(s.app.ui.transcript(),
                 (QStringList{
                     "message|information|OK|Sendora|You must save your list before you can add a column.",
                     "message|information|OK|Sendora|You must save your list before you can remove a "
                     "column."}));
        QVERIFY(columns(w.file).contains("Company"));
    }

    void removeColumns_data() {
        QTest::addColumn<QStringList>("selected");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QStringList>("removed");
        QTest::newRow("none") << QStringList() << QString() << QStringList();
        QTest::newRow("system only")
            << QStringList{"eaddress", "Sent"}
            << "message|information|OK|Sendora|You have selected 2 system column(s).\r\n"
               "The column(s) cannot be removed."
            << QStringList();
        QTest::newRow("others only")
            << QStringList{"Company", " City "}
            << "message|question|YesNo|Column Removal Confirmation|You have selected 2 "
               "column(s) to remove from your list.\r\nThis action is irreversible.\r\nDo "
               "you want to continue?"
            << QStringList{"Company", "City"};
        QTest::newRow("both")
            << QStringList{"eaddress", "Sent", "Company"}
            << "message|question|YesNo|Column Removal Confirmation|You have selected 3 column(s) "
               "for removal.\r\n2 of these columns are System columns and cannot be removed\r\nThe "
               "other 1 will be.\r\nDo you want to continue?"
            << QStringList{"Company"};
    }
    void removeColumns() {
        QFETCH(QStringList, selected);
        QFETCH(QString, shown);
        QFETCH(QStringList, removed);
        Started s;
        FakeListWindow w;
        w.file = s.sample();
        const QStringList before = columns(w.file);
        RemoveColumns(*s.app.ctx, w, selected);
        QCOMPARE(s.app.ui.transcript(), shown.isEmpty() ? QStringList() : QStringList{shown});
        QStringList expected = before;
        for (const QString& r : removed)
            expected.removeAll(r);
        QCOMPARE(columns(w.file), expected);
    }

    void removeColumnsAnsweredNoKeepsThem() {
        Started s;
        FakeListWindow w;
        w.file = s.sample();
        s.app.ui.answers = {Answer::No};
        RemoveColumns(*s.app.ctx, w, {"Company"});
        QVERIFY(columns(w.file).contains("Company"));
    }

    void recordsWithoutAddressMoveToACompanion() {
        Started s;
        const QString imported = NewTempListPath(*s.app.ctx);
        QVERIFY(createSampleList(imported));
        {
            auto db = jet::Database::open(imported);
            db->execute("INSERT INTO AddressList (EAddress, FirstName) VALUES(\"Unknown1\",\"Nobody\")",
                        true);
            db->execute("INSERT INTO AddressList (EAddress, FirstName) VALUES(\"unknown2\",\"Someone\")",
                        true);
            db->execute(
                "INSERT INTO AddressList (EAddress, FirstName) VALUES(\"known@unknown.invalid\",\"K\")",
                true);
        }
        const QString companion = SaveNullEntries(*s.app.ctx, imported, "Import");
        QCOMPARE(companion, s.app.ctx->paths.temp + "NewMailingList0(No Addresses).mdb");
        QCOMPARE(scalar(companion, "SELECT Count(*) FROM AddressList").toInt(), 2);
        QCOMPARE(scalar(imported, "SELECT Count(*) FROM AddressList").toInt(), 6);
        QCOMPARE(s.host.calls, QStringList{"openListWindow:Import (No Addresses)|" + companion});

        // Nothing to move: no companion.
        const QString clean = NewTempListPath(*s.app.ctx);
        QVERIFY(createSampleList(clean));
        QCOMPARE(SaveNullEntries(*s.app.ctx, clean, "Clean"), QString());
    }
};

QTEST_GUILESS_MAIN(TestListActions)
#include "tst_listactions.moc"
