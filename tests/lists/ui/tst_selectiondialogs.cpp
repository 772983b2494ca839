// The record selection dialogs and the find and replace dialog, headless: the builders
// return the clause of their rows, refuse a word for a number field, take a clause edited
// in the SQL view and refuse one that does not run; the find dialog drives the list window's
// find with the typed text taken literally, refuses a typed double quote and replaces.

#include "components/jet/Jet.h"
#include "lists/ui/frmAdvancedSQLQuery.h"
#include "lists/ui/frmFindReplace.h"
#include "lists/ui/frmList.h"
#include "lists/ui/frmSelectionBuilder.h"
#include "screens/ui/WhenModal.h"
#include "support/DbQuery.h"
#include "support/MailingFixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTextEdit>

using namespace sendora;
using sendora::test::msg;
using sendora::test::whenModal;

namespace {

template <typename T = QWidget> T* get(QWidget* w, const QString& name) {
    T* found = w->findChild<T*>(name);
    if (!found) qFatal("no %s", qPrintable(name));
    return found;
}

void setRow(QWidget* d, int i, const QString& field, const QString& op, const QString& value,
            const QString& logic = {}) {
    const QString n = QString::number(i);
    get<QComboBox>(d, "cboField" + n)->setCurrentText(field);
    get<QComboBox>(d, "cboOperator" + n)->setCurrentText(op);
    auto* box = get<QLineEdit>(d, "txtValue" + n);
    box->clear();
    QTest::keyClicks(box, value); // typed, so a number field's validator applies
    if (!logic.isEmpty()) get<QComboBox>(d, "cboLogic" + n)->setCurrentText(logic);
}

void click(QWidget* d, const QString& name) {
    get<QPushButton>(d, name)->click();
}

struct FakeList : FindReplaceTarget {
    QString file;
    QStringList calls;
    QList<bool> nothingFound; // answers, in order; true when empty
    int refreshed = 0;
    QString listFile() const override { return file; }
    void setFindColumn(const QString& column) override { calls << "column " + column; }
    bool findString(const QString& text) override { return answer("first " + text); }
    bool findNextString(const QString& text) override { return answer("next " + text); }
    void refreshAfterReplace() override { ++refreshed; }
    QWidget* window() const override { return nullptr; }
    bool answer(const QString& call) {
        calls << call;
        return nothingFound.isEmpty() ? true : nothingFound.takeFirst();
    }
};

} // namespace

class TestSelectionDialogs : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void listBuilderReturnsItsClause() {
        test::MailingFixture fx;
        fx.makeList("People", {"a@x.com", "b@y.com"});
        const QString file = fx.listFile("People");
        {
            jet::FieldDef age;
            age.name = "Age";
            age.type = jet::FieldType::Long;
            jet::Database::open(file)->addField("AddressList", age);
        }
        auto& ui = fx.app.ui;
        frmSQLQuery d(ui);
        QVERIFY(d.prepare(file));
        QCOMPARE(d.windowTitle(), QStringLiteral("Selection Criteria Builder"));
        setRow(&d, 1, "Company", " =", "Say \"hi\" [*]", "OR");
        setRow(&d, 2, "Age", ">", "4x2"); // the x cannot be typed into a number field
        QCOMPARE(get<QLineEdit>(&d, "txtValue2")->text(), QStringLiteral("42"));
        click(&d, "cmdOK");
        QVERIFY(d.accepted());
        QCOMPARE(d.clause(), QStringLiteral("WHERE (([AddressList].[Company]  =  \"Say \"\"hi\"\" [*]\" OR "
                                            "[AddressList].[Age] >  42))"));

        // A word for a number field (pasted) is refused and the dialog stays.
        frmSQLQuery again(ui);
        QVERIFY(again.prepare(file));
        setRow(&again, 1, "Age", "<", "");
        get<QLineEdit>(&again, "txtValue1")->setText("ten");
        click(&again, "cmdOK");
        QVERIFY(!again.accepted());
        // View Filter: an accepted edit replaces the built clause; one that does not run is refused.
        setRow(&again, 1, "Company", "Like", "*Corp");
        whenModal([](QDialog* sql) {
            QCOMPARE(sql->windowTitle(), QStringLiteral("View/Edit SQL Filter"));
            auto* text = get<QTextEdit>(sql, "rtbSQL");
            QCOMPARE(text->toPlainText(),
                     QStringLiteral("WHERE (([AddressList].[Company] Like  \"*Corp\"))"));
            QVERIFY(text->isReadOnly());
            click(sql, "cmdEdit");
            QCOMPARE(get<QPushButton>(sql, "cmdEdit")->text(), QStringLiteral("Accept"));
            text->setPlainText("WHERE EAddress = \"a@x.com\"; DELETE * FROM AddressList");
            click(sql, "cmdEdit");
        });
        again.viewFilter();
        ui.clear();
        click(&again, "cmdOK");
        QVERIFY(!again.accepted());
        QCOMPARE(ui.shown.size(), 1);
        QVERIFY(ui.shown[0].text.startsWith(
            "The selection criteria you supplied appears to have an error in it."));
        whenModal([](QDialog* sql) {
            click(sql, "cmdEdit");
            get<QTextEdit>(sql, "rtbSQL")->setPlainText("WHERE EAddress Like \"*@y.com\"");
            click(sql, "cmdEdit");
        });
        again.viewFilter();
        click(&again, "cmdOK");
        QVERIFY(again.accepted());
        QCOMPARE(again.clause(), QStringLiteral("WHERE EAddress Like \"*@y.com\""));

        // Reopened on the clause in use: OK keeps it until a row is set.
        const QString inUse = "WHERE (([AddressList].[EAddress] Like  \"*@y.com\"))";
        whenModal([](QDialog* b) { click(b, "cmdOK"); });
        QCOMPARE(buildListFileFilter(ui, nullptr, file, inUse), inUse);
        whenModal([](QDialog* b) {
            setRow(b, 1, "Age", "<>", "7");
            click(b, "cmdOK");
        });
        QCOMPARE(buildListFileFilter(ui, nullptr, file, inUse),
                 QStringLiteral("WHERE (([AddressList].[Age] <>  7))"));

        // Cancel gives nothing; a file that cannot be read says so.
        whenModal([](QDialog* b) { click(b, "cmdCancel"); });
        QCOMPARE(buildListFileFilter(ui, nullptr, file), std::nullopt);
        ui.clear();
        QCOMPARE(buildListFileFilter(ui, nullptr, fx.listFile("Missing")), std::nullopt);
        QVERIFY(ui.messageTexts().value(0).startsWith("Unable to open "));
    }

    void generalBuilderForTheListWindow() {
        test::ScriptedUserInterface ui;
        whenModal([](QDialog* d) {
            QCOMPARE(d->objectName(), QStringLiteral("frmGenFilter"));
            setRow(d, 1, "Sent", "<>", "NULL", "AND");
            setRow(d, 2, "Visits", ">=", "3");
            setRow(d, 3, "FirstName", " =", "O'Neil"); // not read: row 2's logic item is blank
            click(d, "cmdOK");
        });
        const std::optional<QString> clause = buildListFilter(
            ui, nullptr, {"EAddress", "Sent", "Visits", "FirstName"}, {"Text", "Text", "Long", "Text"});
        QCOMPARE(clause,
                 QStringLiteral("WHERE ((AddressList.[Sent] <> NULL AND AddressList.[Visits] >=  3))"));
    }

    void findAndReplaceDialog() {
        test::MailingFixture fx;
        fx.makeList("People", {"a@x.com", "b@x.com"});
        auto& ui = fx.app.ui;
        auto owned = std::make_unique<FakeList>();
        FakeList& list = *owned;
        list.file = fx.listFile("People");
        frmFindReplace d(ui, std::move(owned));
        QCOMPARE(d.windowTitle(), QStringLiteral("Find and Replace"));
        auto* column = get<QComboBox>(&d, "cboColumn");
        QVERIFY(column->findText("Company") >= 0);
        column->setCurrentText("Company");
        auto* search = get<QLineEdit>(&d, "txtSearch");
        QTest::keyClicks(search, "Co\"m*");
        QCOMPARE(search->text(), QStringLiteral("Com*"));
        QCOMPARE(ui.transcript(),
                 QStringList{msg("Search String or Replace String cannot contain the   \"   character.",
                                 "exclamation")});

        // Not found, contains-search: the typed * is escaped inside the pattern.
        ui.clear();
        click(&d, "cmdFind");
        QCOMPARE(list.calls, QStringList({"column Company", "first *Com[*]*"}));
        QCOMPARE(ui.transcript(), QStringList{msg("Text not found")});
        // Found: the caption changes and the next press finds the next one.
        list.nothingFound = {false, false};
        click(&d, "cmdFind");
        QCOMPARE(get<QPushButton>(&d, "cmdFind")->text(), QStringLiteral("Find Next"));
        click(&d, "cmdFind");
        QCOMPARE(list.calls.mid(2), QStringList({"column Company", "first *Com[*]*", "next *Com[*]*"}));
        // Exact: the text itself, and the other not-found message.
        ui.clear();
        list.calls.clear();
        get<QCheckBox>(&d, "chkExact")->setChecked(true);
        QCOMPARE(get<QPushButton>(&d, "cmdFind")->text(), QStringLiteral("Find"));
        search->setText("Company 1");
        click(&d, "cmdFind");
        QCOMPARE(list.calls, QStringList({"column Company", "first Company 1"}));
        QCOMPARE(ui.transcript(),
                 QStringList{msg("Search String not found\rPerhaps turn off Matching the exact "
                                 "String would help")});

        // Replace All changes the file and refreshes the window.
        ui.clear();
        ui.answers = {Answer::Yes};
        QTest::keyClicks(get<QLineEdit>(&d, "txtReplace"), "Initech");
        click(&d, "cmdReplaceAll");
        QCOMPARE(ui.transcript().size(), 1);
        QCOMPARE(list.refreshed, 1);
        QCOMPARE(test::scalar(list.file, "SELECT Company FROM AddressList WHERE EAddress = \"b@x.com\"")
                     .toString(),
                 QStringLiteral("Initech"));
    }

    // The Find/Replace command of a list window: the dialog finds in the chosen column and
    // the window shows what Replace All changed.
    void findAndReplaceOnAListWindow() {
        test::MailingFixture fx;
        fx.makeList("People", {"a@x.com", "b[1]@x.com", "c@x.com"});
        auto& ui = fx.app.ui;
        frmList list(*fx.app.ctx, "People", fx.listFile("People"));
        QVERIFY(list.runCommand(CommandId::EditFind));
        auto* d = list.findChild<frmFindReplace*>();
        QVERIFY(d && d->isVisible());
        get<QComboBox>(d, "cboColumn")->setCurrentText("EAddress");
        QTest::keyClicks(get<QLineEdit>(d, "txtSearch"), "[1]");
        click(d, "cmdFind");
        QVERIFY2(ui.shown.isEmpty(), qPrintable(ui.messageTexts().join('|')));
        ListModel* m = list.model();
        QCOMPARE(m->data(m->index(list.grid()->currentIndex().row(), m->column("EAddress"))).toString(),
                 QStringLiteral("b[1]@x.com"));
        click(d, "cmdFind"); // Find Next: no other
        QCOMPARE(ui.messageTexts(), QStringList{"Text not found"});

        ui.clear();
        ui.answers = {Answer::Yes};
        get<QComboBox>(d, "cboColumn")->setCurrentText("Company");
        get<QLineEdit>(d, "txtSearch")->setText("Company 2");
        QTest::keyClicks(get<QLineEdit>(d, "txtReplace"), "Globex");
        click(d, "cmdReplaceAll");
        QCOMPARE(m->data(m->index(2, m->column("Company"))).toString(), QStringLiteral("Globex"));
        click(d, "cmdClose");
    }
};

QTEST_MAIN(TestSelectionDialogs)
#include "tst_selectiondialogs.moc"
