// The record selection builder's clause: the row and logic cases, value formatting by field
// type and database, and hostile values and names run on a real list file, where the
// clause must select exactly the intended rows as one read-only statement.

#include "components/jet/Jet.h"
#include "lists/RecordSelection.h"
#include "support/MailingFixture.h"

#include <QTest>

using namespace sendora;

namespace {

SelectionRow row(const QString& field, const QString& op, const QString& value, const QString& logic = " ") {
    return {field, op, value, logic};
}

SelectionTarget listTarget() {
    return SelectionTarget::listFile(
        {{"EAddress", false}, {"Company", false}, {"Age", true}, {"Sent", false}});
}

qint64 selected(const QString& file, const QString& clause) {
    auto db = jet::Database::open(file, jet::Database::OpenMode::ReadOnly);
    auto rs = db->openReadOnlyQuery("SELECT * FROM AddressList " + clause);
    qint64 n = 0;
    for (; !rs->eof(); rs->moveNext())
        ++n;
    return n;
}

} // namespace

class TestRecordSelection : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void rowsAndLogicItems_data() {
        QTest::addColumn<QString>("l1");
        QTest::addColumn<QString>("l2");
        QTest::addColumn<QString>("l3");
        QTest::addColumn<int>("filled"); // rows 1..filled have a field
        QTest::addColumn<QString>("expected");
        QTest::newRow("row 1 only") << " "
                                    << " "
                                    << " " << 1 << "WHERE ((c1))";
        QTest::newRow("blank logic on row 1 ignores rows 2 to 4") << " "
                                                                  << "AND"
                                                                  << "OR" << 4 << "WHERE ((c1))";
        QTest::newRow("two rows") << "AND"
                                  << " "
                                  << " " << 2 << "WHERE ((c1 AND c2))";
        QTest::newRow("OR then AND") << "OR"
                                     << "AND"
                                     << " " << 3 << "WHERE ((c1 OR c2) AND (c3))";
        QTest::newRow("four rows") << "AND"
                                   << "OR"
                                   << "AND" << 4 << "WHERE ((c1 AND c2) OR (c3 AND c4))";
        QTest::newRow("blank logic on row 3 ignores row 4") << "OR"
                                                            << "AND"
                                                            << " " << 4 << "WHERE ((c1 OR c2) AND (c3))";
        QTest::newRow("logic item without a next row") << "AND"
                                                       << " "
                                                       << " " << 1 << "WHERE ((c1))";
        QTest::newRow("empty row 2, row 3 joined") << "AND"
                                                   << "OR"
                                                   << " " << -3 << "WHERE ((c1) OR (c3))";
        QTest::newRow("no row 1") << "AND"
                                  << " "
                                  << " " << 0 << "";
    }
    void rowsAndLogicItems() {
        QFETCH(QString, l1);
        QFETCH(QString, l2);
        QFETCH(QString, l3);
        QFETCH(int, filled);
        std::array<QString, 4> c;
        for (int i = 0; i < 4; ++i)
            if (filled < 0 ? i != 1 && i < -filled : i < filled) c[i] = QStringLiteral("c%1").arg(i + 1);
        QTEST(assembleSQL(c, {l1, l2, l3}), "expected");
    }

    void conditionsByFieldAndOperator() {
        const SelectionTarget t = listTarget();
        SelectionRows rows{row("Company", " =", "Acme", "OR"), row("Age", ">=", " 30 ", "AND"),
                           row("Sent", "<>", "NuLL", "AND"), row("Company", "", "ignored")};
        QCOMPARE(
            assembleSQL(t, rows).clause,
            QStringLiteral("WHERE (([AddressList].[Company]  =  \"Acme\" OR [AddressList].[Age] >=  30) AND "
                           "([AddressList].[Sent] <> NULL AND [AddressList].[Company] ))"));
        // A number field refuses a value that is not a number; the row is named.
        rows[1].value = "thirty";
        const SelectionClause refused = assembleSQL(t, rows);
        QCOMPARE(refused.refusedRow, 2);
        QVERIFY(refused.clause.isEmpty());
        rows[0].logic = " "; // row 2 is not read any more
        QCOMPARE(assembleSQL(t, rows).refusedRow, 0);
        QVERIFY(isNumericValue("-1.5e3") && isNumericValue(".5") && !isNumericValue("1,5") &&
                !isNumericValue("1; DROP"));

        // frmGenFilter: table.quoted field and single-quoted values, the quote of each database.
        const std::vector<SelectionField> f{{"Last Name", false}, {"Id", true}};
        SelectionRows g{row("Last Name", "Like", "O'Br*", "AND"), row("Id", "<", "7")};
        QCOMPARE(assembleSQL(SelectionTarget::general(f, "Contacts", SelectionDatabase::Jet), g).clause,
                 QStringLiteral("WHERE ((Contacts.[Last Name] Like  'O''Br*' AND Contacts.[Id] <  7))"));
        QCOMPARE(assembleSQL(SelectionTarget::general(f, "dbo.People x", SelectionDatabase::MySql), g).clause,
                 QStringLiteral(
                     "WHERE ((`dbo.People x`.`Last Name` Like  'O''Br*' AND `dbo.People x`.`Id` <  7))"));
        // A trailing backslash would escape MySQL's closing quote.
        QCOMPARE(selectionCondition(SelectionTarget::general(f, "T", SelectionDatabase::MySql),
                                    row("Last Name", " =", "x\\' OR 1=1 -- \\")),
                 QStringLiteral("T.`Last Name`  =  'x\\\\'' OR 1=1 -- \\\\'"));
        QCOMPARE(selectionCondition(SelectionTarget::general(f, "T", SelectionDatabase::Jet),
                                    row("Last Name", " =", "a\\")),
                 QStringLiteral("T.[Last Name]  =  'a\\'"));
        g[0].field = "a\"b";
        QCOMPARE(selectionCondition(SelectionTarget::general(f, "T", SelectionDatabase::Oracle), g[0]),
                 QStringLiteral("T.\"a\"\"b\" Like  'O''Br*'"));
    }

    // Values and names holding quotes, wildcards and brackets select what they say on a list.
    void hostileValuesStayData() {
        test::MailingFixture fx;
        fx.makeList("Hostile", {"a@x.com", "b@x.com", "c@y.com", "d@y.com", "e@z.com"});
        const QString file = fx.listFile("Hostile");
        {
            auto db = jet::Database::open(file);
            jet::FieldDef odd, age;
            odd.name = "Odd]Name";
            age.name = "Age";
            age.type = jet::FieldType::Long;
            db->addField("AddressList", odd);
            db->addField("AddressList", age);
            db->execute("UPDATE AddressList SET Company = \"Quote \"\" and 'single'\", [Odd]]Name] = \"x\" "
                        "WHERE EAddress = \"a@x.com\"");
            db->execute("UPDATE AddressList SET Company = \"*?[]#\", Age = 40 WHERE EAddress = \"b@x.com\"");
            db->execute("UPDATE AddressList SET Company = \"star*\", Age = 20 WHERE EAddress = \"c@y.com\"");
        }
        QString error;
        const SelectionTarget t = SelectionTarget::listFile(listSelectionFields(file, &error));
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QVERIFY(t.field("Age")->numeric && !t.field("Company")->numeric);

        struct Case {
            SelectionRows rows;
            qint64 rows_;
        };
        const QList<Case> cases{
            {{row("Company", " =", "Quote \" and 'single'")}, 1},
            {{row("Company", " =", "*?[]#")}, 1},
            {{row("Company", " =", "\" OR \"\"=\"")}, 0},
            {{row("Company", " =", "x\"; DELETE * FROM AddressList; --")}, 0},
            {{row("Company", "Like", "*[]#*")}, 1}, // brackets and # match themselves
            {{row("Company", "Like", "star?")}, 1}, // ? stays a wildcard
            {{row("Company", "Not Like", "*\"*")}, 4},
            {{row("Odd]Name", " =", "x")}, 1}, // a name with a bracket stays one name
            {{row("Age", ">", "30", "OR"), row("EAddress", "Like", "*@z.com")}, 2},
            {{row("Company", " =", "null")}, 0}, // = NULL is never true
        };
        for (const Case& c : cases) {
            const SelectionClause s = assembleSQL(t, c.rows);
            QVERIFY(s.clause.startsWith("WHERE (("));
            QVERIFY2(checkSelectionClause(file, s.clause).isEmpty(), qPrintable(s.clause));
            QCOMPARE(selected(file, s.clause), c.rows_);
        }
        QCOMPARE(selected(file, ""), 5);

        // A clause typed by hand that writes or chains statements is refused and changes nothing.
        for (const QString& typed : {QStringLiteral("WHERE 1=1; DELETE * FROM AddressList"),
                                     QStringLiteral("WHERE ((EAddress = \"a@x.com\")) UNION SELECT * FROM x"),
                                     QStringLiteral("WHERE (EAddress = \"a@x.com\"")})
            QVERIFY2(!checkSelectionClause(file, typed).isEmpty(), qPrintable(typed));
        QCOMPARE(selected(file, ""), 5);
        QVERIFY(!listSelectionFields(fx.listFile("Missing"), &error).size() && !error.isEmpty());
    }

    void keywordsMarkedOutsideValues() {
        const QString clause = "WHERE (([A].[B] = \"x AND y\" OR [A].[C] Like \"(z)\"))";
        QStringList marked;
        for (const KeywordSpan& k : selectionKeywords(clause))
            marked << clause.mid(k.start, k.length);
        QCOMPARE(marked, QStringList({"WHERE", "(", "(", " = ", " OR ", " Like ", ")", ")"}));
    }
};

QTEST_GUILESS_MAIN(TestRecordSelection)
#include "tst_recordselection.moc"
