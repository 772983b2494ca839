// Find and replace on a list file: the text handed to the list window's find (which must
// match typed wildcards literally), Replace All counting, asking and changing exactly the
// counted cells, the empty search that fills empty cells, the address column's refusal,
// hostile values, and a list being sent.

#include "components/jet/Jet.h"
#include "lists/FindReplace.h"
#include "support/DbQuery.h"
#include "support/MailingFixture.h"

#include <QLockFile>
#include <QTest>

using namespace sendora;
using sendora::test::msg;

namespace {

struct Fixture {
    test::MailingFixture fx;
    QString file;
    test::ScriptedUserInterface& ui = fx.app.ui;

    Fixture() {
        fx.makeList("People", {"a@x.com", "b@x.com", "c@x.com", "d@x.com", "e@x.com"});
        file = fx.listFile("People");
        execute("UPDATE AddressList SET Company = \"ACME\" WHERE EAddress IN (\"a@x.com\", \"b@x.com\")");
        execute("UPDATE AddressList SET Company = \"Acme Corp\" WHERE EAddress = \"c@x.com\"");
        execute("UPDATE AddressList SET Company = \"\" WHERE EAddress = \"d@x.com\"");
        execute("UPDATE AddressList SET Company = Null WHERE EAddress = \"e@x.com\"");
    }
    void execute(const QString& sql) { jet::Database::open(file)->execute(sql, true); }
    QStringList column(const QString& name) const {
        auto db = jet::Database::open(file, jet::Database::OpenMode::ReadOnly);
        QStringList out;
        for (auto rs =
                 db->openRecordset("SELECT " + jet::bracket(name) + " FROM AddressList ORDER BY EAddress");
             !rs->eof(); rs->moveNext())
            out << (rs->value(0).isNull() ? QStringLiteral("<null>") : rs->value(0).toString());
        return out;
    }
    ReplaceResult replace(const QString& col, const QString& search, const QString& with,
                          ReplaceMatch match = ReplaceMatch::WholeCell) {
        ui.clear();
        return replaceAll(ui, file, col, search, with, match);
    }
};

using Outcome = ReplaceResult::Outcome;

} // namespace

class TestFindReplace : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // The list window runs "[C] Like" for a text with "*" and "[C] =" otherwise; either way a
    // typed text must find the cells holding it, wildcards and brackets included.
    void findTextMatchesWhatWasTyped() {
        QCOMPARE(findStringText("acme", false), QStringLiteral("*acme*"));
        QCOMPARE(findStringText("acme", true), QStringLiteral("acme"));
        QCOMPARE(findStringText("", false), QStringLiteral("**")); // the list window's empty-cell search
        Fixture f;
        f.execute("UPDATE AddressList SET Title = \"a*b?[c]#\" WHERE EAddress = \"a@x.com\"");
        f.execute("UPDATE AddressList SET Title = \"aXb?[c]#\" WHERE EAddress = \"b@x.com\"");
        f.execute("UPDATE AddressList SET Title = \"zz a*b?[c]#\" WHERE EAddress = \"c@x.com\"");
        auto hits = [&](bool exact) {
            const QString text = findStringText("a*b?[c]#", exact);
            const QString criterion =
                text.contains('*') ? "[Title] Like " + jet::quote(text) : "[Title] = " + jet::quote(text);
            return test::scalar(f.file, "SELECT count(*) FROM AddressList WHERE " + criterion).toInt();
        };
        QCOMPARE(hits(true), 1);
        QCOMPARE(hits(false), 2);
        QVERIFY(!acceptableFindText("say \"hi\"") && acceptableFindText("it's [*]"));
    }

    void replaceWholeCells() {
        Fixture f;
        // Count, ask, change exactly the counted cells (letter case ignored, "Acme Corp" kept).
        f.ui.answers = {Answer::Yes};
        ReplaceResult r = f.replace("Company", "acme", "Initech");
        QCOMPARE(r.outcome, Outcome::Replaced);
        QCOMPARE(r.count, 2);
        QCOMPARE(f.ui.transcript(),
                 QStringList{msg("You are about to replace 2 value(s) with the new selected "
                                 "value.  Are you sure?",
                                 "question", "YesNo")});
        QCOMPARE(f.column("Company"), QStringList({"Initech", "Initech", "Acme Corp", "", "<null>"}));
        // No: nothing changes.
        f.ui.answers = {Answer::No};
        QCOMPARE(f.replace("Company", "Initech", "X").outcome, Outcome::Declined);
        QCOMPARE(f.column("Company").first(), QStringLiteral("Initech"));
        // Nothing to count.
        r = f.replace("Company", "Nobody", "X");
        QCOMPARE(r.outcome, Outcome::NotFound);
        QCOMPARE(f.ui.transcript(), QStringList{msg("Text not found.")});
        // Both texts empty: nothing at all.
        QCOMPARE(f.replace("Company", "", "").outcome, Outcome::Nothing);
        QVERIFY(f.ui.shown.isEmpty());
    }

    void emptySearchFillsEmptyCells() {
        Fixture f;
        f.ui.answers = {Answer::Yes};
        const ReplaceResult r = f.replace("Company", "", "(none)");
        QCOMPARE(r.outcome, Outcome::Replaced);
        QCOMPARE(r.count, 2); // the empty text and the null
        QCOMPARE(f.column("Company"), QStringList({"ACME", "ACME", "Acme Corp", "(none)", "(none)"}));
    }

    void containsReplacesInsideCells() {
        Fixture f;
        f.ui.answers = {Answer::Yes};
        const ReplaceResult r = f.replace("Company", "acme", "Globex", ReplaceMatch::Contains);
        QCOMPARE(r.outcome, Outcome::Replaced);
        QCOMPARE(r.count, 3);
        QCOMPARE(f.column("Company"), QStringList({"Globex", "Globex", "Globex Corp", "", "<null>"}));
        // Wildcards in the search text are text.
        QCOMPARE(f.replace("Company", "G*", "X", ReplaceMatch::Contains).outcome, Outcome::NotFound);
    }

    void addressColumn() {
        Fixture f;
        f.ui.answers = {Answer::Yes};
        ReplaceResult r = f.replace("EAddress", "a@x.com", "B@X.COM");
        QCOMPARE(r.outcome, Outcome::AddressExists);
        QCOMPARE(f.ui.transcript().last(),
                 msg("The value you have chosen to insert into the\r\nEmail Address field already exists.",
                     "exclamation"));
        // Within cells: a change that would make two rows one address changes nothing.
        f.ui.answers = {Answer::Yes};
        r = f.replace("EAddress", "a@", "b@", ReplaceMatch::Contains);
        QCOMPARE(r.outcome, Outcome::AddressExists);
        QCOMPARE(f.column("EAddress"), QStringList({"a@x.com", "b@x.com", "c@x.com", "d@x.com", "e@x.com"}));
        f.ui.answers = {Answer::Yes};
        QCOMPARE(f.replace("EAddress", "a@x.com", "new@x.com").outcome, Outcome::Replaced);
        QCOMPARE(f.column("EAddress").last(), QStringLiteral("new@x.com"));
    }

    void hostileValuesAndNames() {
        Fixture f;
        const QString nasty = "x\"); DELETE * FROM AddressList; --' [*]?";
        f.ui.answers = {Answer::Yes, Answer::Yes};
        QCOMPARE(f.replace("Company", "ACME", nasty).outcome, Outcome::Replaced);
        QCOMPARE(f.replace("Company", nasty, "back").count, 2);
        QCOMPARE(f.column("Company"), QStringList({"back", "back", "Acme Corp", "", "<null>"}));
        const ReplaceResult r = f.replace("Company] = 1; --", "x", "y");
        QCOMPARE(r.outcome, Outcome::Failed);
        QCOMPARE(replaceUpdateSql("C]", "a\"b", "'"),
                 QStringLiteral("UPDATE AddressList SET [C]]] = \"'\" WHERE [C]]] = \"a\"\"b\""));
        QCOMPARE(
            replaceCountSql("Sent", ""),
            QStringLiteral("SELECT count(EAddress) as c_Eaddress FROM AddressList WHERE ([Sent] = \"\") OR "
                           "(isnull([Sent]))"));
    }

    void listBeingSentIsLeftAlone() {
        Fixture f;
        QLockFile sending(f.file + ".sending");
        QVERIFY(sending.tryLock(0));
        const ReplaceResult r = f.replace("Company", "ACME", "X");
        QCOMPARE(r.outcome, Outcome::Failed);
        QVERIFY(f.ui.shown.isEmpty());
        QCOMPARE(f.column("Company").first(), QStringLiteral("ACME"));
    }
};

QTEST_GUILESS_MAIN(TestFindReplace)
#include "tst_findreplace.moc"
