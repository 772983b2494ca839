// Merge, clean, find duplicates, select and export: result columns and rows, addresses as
// keys without case, hostile values, refused clauses, cancelling, and inputs left alone.

#include "components/jet/Jet.h"
#include "lists/ListOperations.h"
#include "support/TestApp.h"

#include <QDir>
#include <QFile>
#include <QTest>

using namespace sendora;
using sendora::test::msg;
using sendora::test::TestApp;

namespace {

using Rows = QList<QStringList>;

// A list file whose first column is EAddress; every column TEXT(255), the key on EAddress.
void makeList(const QString& path, const QStringList& columns, const Rows& rows) {
    auto db = jet::Database::create(path);
    QStringList defs;
    for (const QString& c : columns)
        defs << jet::bracket(c) + QStringLiteral(" TEXT(255)");
    db->execute(QStringLiteral("CREATE TABLE AddressList (%1, CONSTRAINT EAddress PRIMARY KEY (EAddress))")
                    .arg(defs.join(QLatin1Char(','))));
    for (const QStringList& row : rows) {
        QStringList values;
        for (const QString& v : row)
            values << jet::quote(v);
        db->execute(QStringLiteral("INSERT INTO AddressList VALUES (%1)").arg(values.join(QLatin1Char(','))),
                    true);
    }
}

QStringList columnsOf(const QString& path) {
    QStringList names;
    for (const jet::FieldDef& f :
         jet::Database::open(path, jet::Database::OpenMode::ReadOnly)->fields("AddressList"))
        names << f.name + (f.type == jet::FieldType::Text ? QString() : QStringLiteral(":not text"));
    return names;
}

// Rows ordered by address, fields joined by "|".
QStringList rowsOf(const QString& path) {
    auto db = jet::Database::open(path, jet::Database::OpenMode::ReadOnly);
    auto rs = db->openRecordset(QStringLiteral("SELECT * FROM AddressList ORDER BY EAddress"));
    QStringList out;
    for (; !rs->eof(); rs->moveNext()) {
        QStringList fields;
        for (int i = 0; i < rs->fieldCount(); ++i)
            fields << rs->value(i).toString();
        out << fields.join(QLatin1Char('|'));
    }
    return out;
}

struct Lists {
    TestApp app;
    QString folder, one, two, empty;
    Lists() {
        app.layOut();
        // brackets and an apostrophe in the folder: file references must stay whole
        folder = app.path(QStringLiteral("my [lists] it's"));
        QDir().mkpath(folder);
        one = folder + QStringLiteral("/one.mdb");
        two = folder + QStringLiteral("/two.mdb");
        empty = folder + QStringLiteral("/empty.mdb");
        makeList(
            one, {"EAddress", "FirstName", "MSysFlag", "Extra"},
            {{"a@x.com", "O\"Brien", "m", "e1"}, {"b@x.com", "it's", "m", "*?[]"}, {"d@x.com", "D", "", ""}});
        makeList(two, {"EAddress", "firstname", "Company"},
                 {{"A@X.COM", "second", "c1"}, {"c@x.com", "C", "c2"}, {"D@x.com", "dd", "c3"}});
        makeList(empty, {"EAddress", "FirstName"}, {});
    }
    AppContext& ctx() { return *app.ctx; }
    QStringList tempFiles() const { return QDir(app.ctx->paths.temp).entryList({"*.mdb*"}, QDir::Files); }
};

} // namespace

class TestListOperations : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void columnUnion() {
        QCOMPARE(resultColumns({"EAddress", "FirstName", "MSysX", "Extra"}, {"eaddress", "Company", "EXTRA"}),
                 (QStringList{"EAddress", "FirstName", "Extra", "Company"}));
        QCOMPARE(columnSetSql({"EAddress", "My ]Col"}), QStringLiteral("[EAddress] TEXT,[My ]]Col] TEXT"));
    }

    void mergeKeepsEachAddressOnceWithFirstListsRow() {
        Lists l;
        const QStringList before = rowsOf(l.two);
        const QString result = gMergeLists(l.ctx(), l.one, l.two);
        QCOMPARE(result, l.app.ctx->paths.temp + "NewMailingList0.mdb");
        QCOMPARE(columnsOf(result), (QStringList{"EAddress", "FirstName", "Extra", "Company"}));
        QCOMPARE(rowsOf(result),
                 (QStringList{"a@x.com|O\"Brien|e1|", "b@x.com|it's|*?[]|", "c@x.com|C||c2", "d@x.com|D||"}));
        QCOMPARE(rowsOf(l.two), before);
        QCOMPARE(l.app.ui.shown.size(), 0);
        // with itself: each address once
        QCOMPARE(rowsOf(gMergeLists(l.ctx(), l.one, l.one)).size(), 3);
        // an empty list stops with the message and leaves no file
        const QStringList files = l.tempFiles();
        QCOMPARE(gMergeLists(l.ctx(), l.one, l.empty), QStringLiteral("<Cancel"));
        QCOMPARE(l.app.ui.transcript(),
                 QStringList{msg("Both elements of a Merge operation must contain records.")});
        QCOMPARE(l.tempFiles(), files);
        l.app.ui.clear();
        QCOMPARE(gMergeLists(l.ctx(), l.folder + "/missing.mdb", l.two), QStringLiteral("<Error:"));
        QCOMPARE(l.app.ui.transcript(),
                 QStringList{msg("Error opening " + l.folder + "/missing.mdb", "exclamation")});
    }

    void cleanRemovesAddressesWithoutCase() {
        Lists l;
        const QString result = gCleanList(l.ctx(), l.one, l.two);
        QCOMPARE(columnsOf(result), (QStringList{"EAddress", "FirstName", "Extra", "Company"}));
        QCOMPARE(rowsOf(result), QStringList{"b@x.com|it's|*?[]|"});
        QCOMPARE(rowsOf(l.one).size(), 3);
        // an empty removal list: "<Cancel" silently, nothing left behind
        const QStringList files = l.tempFiles();
        QCOMPARE(gCleanList(l.ctx(), l.one, l.empty), QStringLiteral("<Cancel"));
        QCOMPARE(gCleanList(l.ctx(), l.one, l.one), QStringLiteral("<No Records"));
        QCOMPARE(l.tempFiles(), files);
        QCOMPARE(l.app.ui.shown.size(), 0);
        QCOMPARE(gCleanList(l.ctx(), l.empty, l.one), QStringLiteral("<Error:"));
        QCOMPARE(
            l.app.ui.messageTexts(),
            QStringList{"Both elements of a Clean action must be valid Sendora address lists with records"});
    }

    void duplicatesKeepFirstListsRows() {
        Lists l;
        const QString result = gFindDuplicates(l.ctx(), l.one, l.two);
        QCOMPARE(rowsOf(result), (QStringList{"a@x.com|O\"Brien|e1|", "d@x.com|D||"}));
        const QStringList files = l.tempFiles();
        makeList(l.folder + "/other.mdb", {"EAddress"}, {{"z@x.com"}});
        QCOMPARE(gFindDuplicates(l.ctx(), l.one, l.folder + "/other.mdb"), QStringLiteral("<No Records"));
        QCOMPARE(gFindDuplicates(l.ctx(), l.one, l.folder + "/none.mdb"),
                 "<Error: Unable to open " + l.folder + "/none.mdb for input");
        QCOMPARE(gFindDuplicates(l.ctx(), l.empty, l.one), QStringLiteral("<Cancel"));
        QCOMPARE(l.app.ui.messageTexts(),
                 QStringList{"Both elements of a Find Duplicates action must be valid "
                             "Sendora address lists with records"});
        QCOMPARE(l.tempFiles(), files);
    }

    void selectCopiesMatchingRows() {
        Lists l;
        QString result =
            gFilterList(l.ctx(), l.one, "WHERE FirstName = \"O\"\"Brien\" OR Extra LIKE \"[*]*\"");
        QCOMPARE(columnsOf(result), (QStringList{"EAddress", "FirstName", "MSysFlag", "Extra"}));
        QCOMPARE(rowsOf(result), (QStringList{"a@x.com|O\"Brien|m|e1", "b@x.com|it's|m|*?[]"}));
        result =
            gFilterList(l.ctx(), l.one, "WHERE Mid( EAddress, Instr( EAddress, \"@\" ) + 1 ) = \"X.COM\"");
        QCOMPARE(rowsOf(result).size(), 3);
        QCOMPARE(gFilterList(l.ctx(), l.one, "WHERE EAddress = \"none\""), QStringLiteral("<No Records"));
        QCOMPARE(gFilterList(l.ctx(), l.one, QString()), QStringLiteral("<Cancel"));
        QCOMPARE(gFilterList(l.ctx(), l.empty, "WHERE 1=1"), QStringLiteral("<Cancel"));
        QCOMPARE(l.app.ui.messageTexts(), QStringList{"There are no records to select from"});
    }

    void selectRefusesWritesAndSecondStatements_data() {
        QTest::addColumn<QString>("clause");
        QTest::addColumn<bool>("refusedAsWrite");
        QTest::newRow("chained delete") << "WHERE 1=1; DELETE * FROM AddressList" << true;
        QTest::newRow("chained drop") << "WHERE EAddress <> \"\"; DROP TABLE AddressList;" << true;
        QTest::newRow("into, misplaced") << "INTO Copy FROM AddressList" << false;
        QTest::newRow("unknown field") << "WHERE Bogus = 1" << false;
        QTest::newRow("broken") << "WHERE (EAddress = " << false;
    }
    void selectRefusesWritesAndSecondStatements() {
        QFETCH(QString, clause);
        QFETCH(bool, refusedAsWrite);
        Lists l;
        const QStringList before = rowsOf(l.one);
        const QStringList files = l.tempFiles();
        QCOMPARE(gFilterList(l.ctx(), l.one, clause), QStringLiteral("<Cancel:"));
        QCOMPARE(l.app.ui.shown.size(), 1);
        QCOMPARE(l.app.ui.shown[0].text == selectionErrorMessage(), !refusedAsWrite);
        QCOMPARE(rowsOf(l.one), before);
        QCOMPARE(jet::Database::open(l.one)->tableNames(), QStringList{"AddressList"});
        QCOMPARE(l.tempFiles(), files);
    }

    void exportWritesQuotedWindows1252() {
        Lists l;
        makeList(l.folder + "/accents.mdb", {"EAddress", "FirstName"},
                 {{"e@x.com", QStringLiteral("Ren\u00e9e \u20ac5, \"x\"")}, {"f@x.com", QString()}});
        const QString file = l.folder + "/out.csv";
        QCOMPARE(gExportList(l.ctx(), l.folder + "/accents.mdb", file), file);
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("\"EAddress\",\"FirstName\"\r\n\"e@x.com\",\"Ren\xe9"
                                         "e \x80"
                                         "5, \"\"x\"\"\"\r\n\"f@x.com\",\"\"\r\n"));
        const qint64 size = f.size();
        f.close();
        // an existing file is replaced only on Yes
        l.app.ui.answers = {Answer::No};
        QCOMPARE(gExportList(l.ctx(), l.one, file), QStringLiteral("<Cancel"));
        QCOMPARE(QFileInfo(file).size(), size);
        QCOMPARE(gExportList(l.ctx(), l.one, file), file);
        QVERIFY(QFileInfo(file).size() > size);
        l.app.ui.clear();
        QCOMPARE(gExportList(l.ctx(), l.empty, l.folder + "/none.csv"), QStringLiteral("<No Records"));
        QCOMPARE(l.app.ui.messageTexts(), QStringList{"There are no records to export"});
        QVERIFY(!QFile::exists(l.folder + "/none.csv"));
    }

    void mainWindowChoiceAndReports() {
        TestApp app;
        QStringList asked;
        const ListChooser chooser = [&](const ListChoiceText& t) {
            asked << t.caption + "|" + t.firstLabel + "|" + t.secondLabel;
            return std::make_optional(std::make_pair(QStringLiteral("remove"), QStringLiteral("clean")));
        };
        QVERIFY(!chooseTwoLists(*app.ctx, ListOperation::Clean, {"a"}, chooser));
        QVERIFY(!chooseTwoLists(*app.ctx, ListOperation::Merge, {}, chooser));
        QCOMPARE(app.ui.transcript(),
                 (QStringList{msg("You must have at least two lists open for this operation", "exclamation"),
                              msg("You must have at least two lists open to complete this operation",
                                  "exclamation")}));
        QCOMPARE(chooseTwoLists(*app.ctx, ListOperation::Clean, {"active", "other"}, chooser),
                 std::make_optional(std::make_pair(QStringLiteral("active"), QStringLiteral("other"))));
        QVERIFY(asked.isEmpty());
        QCOMPARE(chooseTwoLists(*app.ctx, ListOperation::Clean, {"x", "y", "z"}, chooser),
                 std::make_optional(std::make_pair(QStringLiteral("clean"), QStringLiteral("remove"))));
        QVERIFY(chooseTwoLists(*app.ctx, ListOperation::FindDuplicates, {"x", "y", "z"}, chooser));
        QCOMPARE(asked, (QStringList{"Clean List|Clean (remove these addresses):|From:",
                                     "Find Duplicates|Find duplicates in |and"}));
        app.ui.clear();
        QVERIFY(!reportListResult(*app.ctx, ListOperation::Clean, "<Error:"));
        QVERIFY(!reportListResult(*app.ctx, ListOperation::FindDuplicates, "<No Records"));
        QVERIFY(!reportListResult(*app.ctx, ListOperation::Merge, "<Cancel"));
        QVERIFY(reportListResult(*app.ctx, ListOperation::Merge, "/tmp/NewMailingList0.mdb"));
        QCOMPARE(app.ui.messageTexts(),
                 (QStringList{"Clean returned no results.", "The search returned no records."}));
    }

    void cancelLeavesNoList() {
        Lists l;
        Rows many;
        for (int i = 0; i < 3000; ++i)
            many << QStringList{QStringLiteral("p%1@x.com").arg(i), "n"};
        makeList(l.folder + "/many.mdb", {"EAddress", "FirstName"}, many);
        // stopped at the first report and at a later one
        for (int stopAt : {1, 3}) {
            int calls = 0;
            const ListProgress stop = [&](int) { return ++calls < stopAt; };
            QCOMPARE(gMergeLists(l.ctx(), l.folder + "/many.mdb", l.one, stop), QStringLiteral("<Cancel"));
            QCOMPARE(gCleanList(l.ctx(), l.folder + "/many.mdb", l.one, stop), QStringLiteral("<Cancel"));
            QCOMPARE(gFilterList(l.ctx(), l.folder + "/many.mdb", "WHERE 1=1", stop),
                     QStringLiteral("<Cancel"));
            QCOMPARE(gExportList(l.ctx(), l.folder + "/many.mdb", l.folder + "/many.csv", stop),
                     QStringLiteral("<Cancel"));
            QVERIFY(!QFile::exists(l.folder + "/many.csv"));
        }
        QCOMPARE(l.tempFiles(), QStringList());
        int reports = 0;
        QVERIFY(!isListResultMarker(
            gFindDuplicates(l.ctx(), l.folder + "/many.mdb", l.folder + "/many.mdb", [&](int percent) {
                ++reports;
                return percent >= 0 && percent <= 100;
            })));
        QVERIFY(reports >= 9);
    }
};

QTEST_GUILESS_MAIN(TestListOperations)
#include "tst_listoperations.moc"
