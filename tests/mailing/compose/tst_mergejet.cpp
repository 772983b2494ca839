// Row look-up and column list over a real list file.
#include "components/jet/Jet.h"
#include "mailing/compose/ListMessageSource.h"
#include "support/TestApp.h"

#include <QTest>

using namespace sendora;
using sendora::test::TestApp;

class TstMergeJet : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void lookupByAddress() {
        TestApp app;
        auto db = jet::Database::create(app.path("list.mdb"));
        db->execute(
            "CREATE TABLE AddressList (EAddress TEXT(255) CONSTRAINT pk PRIMARY KEY, FirstName TEXT(50), "
            "[Shoe Size] LONG, Sent TEXT(50));");
        db->execute(
            "INSERT INTO AddressList (EAddress, FirstName, [Shoe Size]) VALUES (\"ann@x.org\", \"Ann\", 7);");
        db->execute("INSERT INTO AddressList (EAddress, FirstName) VALUES (\"o\"\"b@x.org\", \"Olly\");");
        const ListColumns columns = listColumns(*app.ctx, *db);
        QVERIFY(columns.contains("shoe size"));
        QVERIFY(!columns.contains("Title"));

        JetRecipientLookup list(*db);
        const auto ann = list.find("ANN@x.org");
        QVERIFY(ann);
        QCOMPARE(ann->text("firstname"), std::optional<QString>("Ann"));
        QCOMPARE(ann->text("Shoe Size"), std::optional<QString>("7"));
        QCOMPARE(ann->text("Sent"), std::nullopt);
        const auto quoted = list.find("o\"b@x.org");
        QVERIFY(quoted);
        QCOMPARE(quoted->text("FirstName"), std::optional<QString>("Olly"));
        QVERIFY(!list.find("nobody@x.org"));
    }
};

QTEST_GUILESS_MAIN(TstMergeJet)
#include "tst_mergejet.moc"
