// What a mailbox run keeps: POPTemp and the list built from it, POPlog.log, the accounts,
// the phrase category files, and the list statements of the wizard's Finish.

#include "PopTestSupport.h"
#include "core/ErrorLog.h"
#include "pop/ListUpdates.h"
#include "pop/PopAccounts.h"
#include "pop/PopLog.h"
#include "pop/PopTemp.h"
#include "pop/PopWizard.h"
#include "pop/SearchFiles.h"

#include <QFile>
#include <QtTest>

using namespace sendora;
using namespace sendora::pop;
using namespace sendora::test;

class TestPopStores : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void popTempKeepsEachAddressOnceAndBuildsTheList() {
        TestApp app;
        app.start();
        PopTemp temp(*app.ctx);
        QVERIFY(temp.create());
        const QDateTime now(QDate(2026, 12, 5), QTime(14, 3, 9));
        QCOMPARE(popTempInsert({QStringLiteral("a@x.example"), QStringLiteral("Ann"), QString()},
                               QStringLiteral("Say \"remove\" me"), now),
                 QStringLiteral(
                     "INSERT INTO POPTemp(EAddress,FirstName,LastName,[Date],MessageSubject) "
                     "VALUES(\"a@x.example\",\"Ann\",\"\",\"12/5/2026 2:03:09 PM\",\"Say remove me\");"));
        QVERIFY(temp.insert({QStringLiteral("a@x.example"), QStringLiteral("Ann"), {}}, QStringLiteral("s1"),
                            now));
        QVERIFY(!temp.insert({QStringLiteral("A@X.example"), {}, {}}, QStringLiteral("s2"), now));
        QVERIFY(temp.insert({QStringLiteral("b@x.example"), {}, {}}, QString(300, u'x'), now));
        qint64 rows = 0;
        const QString list = temp.buildList(&rows);
        QCOMPARE(rows, 2);
        QVERIFY(list.startsWith(app.ctx->paths.temp + QStringLiteral("NewMailingList")));
        QCOMPARE(addressesIn(list), (QStringList{"a@x.example", "b@x.example"}));
        QCOMPARE(scalar(list, QStringLiteral(
                                  "SELECT MessageSubject FROM AddressList WHERE EAddress = \"a@x.example\""))
                     .toString(),
                 QStringLiteral("s1"));
        // Nothing collected: no list.
        PopTemp empty(*app.ctx);
        QVERIFY(empty.create());
        QVERIFY(empty.buildList(&rows).isEmpty());
        QCOMPARE(rows, 0);
    }

    void logBlocksAndRestart() {
        TestApp app;
        app.layOut();
        const QString path = app.ctx->paths.app + kPopLogFileName;
        {
            PopLog log(*app.ctx);
            log.facts = {2, QStringLiteral("pop.x.example"), 995, QStringLiteral("me"), {}, {}, 7, 3, 2};
            log.LogSend(QStringLiteral("P: Attempting to Connect to Mailbox..."), true);
            log.LogSend(QStringLiteral("P: Sending DISCONNECT...\r\n"), false, true);
        }
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromUtf8(f.readAll()).split(QStringLiteral("\r\n"));
        f.close();
        const QString stars(59, u'*');
        QCOMPARE(lines.mid(0, 6), (QStringList{"", "", stars, stars, stars,
                                               "*** MAILING STARTS HERE -- Subscription Manager"}));
        QCOMPARE(lines.mid(12, 3), (QStringList{"*** POP Server:        pop.x.example",
                                                "*** POP Port:          995", "*** Mailbox:           me"}));
        QVERIFY(lines[17].startsWith(QStringLiteral("*** Product Version:   ")));
        QCOMPARE(lines.mid(18, 5),
                 (QStringList{stars, stars, stars, "", "P: Attempting to Connect to Mailbox..."}));
        QCOMPARE(lines.mid(23, 3), (QStringList{"P: Sending DISCONNECT...", "", ""}));
        QCOMPARE(lines[29], QStringLiteral("*** MAILING ENDS HERE -- Subscription Manager"));
        QCOMPARE(lines.mid(36, 3), (QStringList{"*** Total Retrieved:   7", "*** Total Processed:   3",
                                                "*** Total Deleted:     2"}));
        QCOMPARE(lines.mid(39), (QStringList{stars, stars, stars, ""}));

        // Over the limit at the next line: the old file is kept as POPlog.log.1.
        QVERIFY(f.open(QIODevice::Append));
        f.write(QByteArray(kLogSizeLimit, 'x'));
        f.close();
        PopLog log(*app.ctx);
        QVERIFY(QFileInfo(path + QStringLiteral(".1")).size() > kLogSizeLimit);
        log.LogSend(QStringLiteral("P: one"));
        QVERIFY(f.open(QIODevice::Append));
        f.write(QByteArray(kLogSizeLimit, 'y'));
        f.close();
        log.LogSend(QStringLiteral("P: two"));
        QCOMPARE(QFileInfo(path).size(), 8);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("P: two\r\n"));
    }

    void accounts() {
        TestApp app;
        app.start();
        PopAccountStore store(*app.ctx);
        QCOMPARE(store.accountList(), QStringList{kNewAccountEntry});
        PopAccount a{
            QString(), QStringLiteral("me"), QStringLiteral("pw\"1"), QStringLiteral("pop.x.example"),
            995,       PopSecurity::Tls};
        app.ui.inputs = {QStringLiteral(" Work Email ")};
        QCOMPARE(store.askAndAdd(a), QStringLiteral("Work Email"));
        QCOMPARE(app.ui.shown[0].text,
                 QStringLiteral("Enter a name for your POP account:\r\n(eg: Work Email)"));
        // The same name in another letter case is taken.
        a.id = QStringLiteral("WORK EMAIL");
        QVERIFY(!store.add(a));
        QCOMPARE(app.ui.messageTexts().last(),
                 QStringLiteral("This account already exists, please choose another name."));
        auto loaded = store.load(QStringLiteral("Work Email"));
        QVERIFY(loaded);
        QCOMPARE(loaded->password, QStringLiteral("pw\"1"));
        QCOMPARE(loaded->port, 995);
        QCOMPARE(loaded->security, PopSecurity::Tls);
        PopAccount edited = *loaded;
        edited.serverName = QStringLiteral("pop2.x.example");
        edited.security = PopSecurity::None;
        edited.port = 0;
        app.ui.answers = {Answer::Yes};
        QVERIFY(offerToSaveChanges(*app.ctx, *loaded, edited));
        QCOMPARE(app.ui.transcript().last(),
                 msg(QStringLiteral("Do you want to save the changes to : 'Work Email'"),
                     QStringLiteral("question"), QStringLiteral("YesNo"), QStringLiteral("Save Changes")));
        loaded = store.load(QStringLiteral("Work Email"));
        QCOMPARE(loaded->serverName, QStringLiteral("pop2.x.example"));
        QCOMPARE(loaded->effectivePort(), 110);
        QCOMPARE(store.accountList(), (QStringList{kNewAccountEntry, "Work Email"}));
        app.ui.answers = {Answer::Yes};
        QVERIFY(store.remove(QStringLiteral("Work Email")));
        QCOMPARE(app.ui.transcript().last(),
                 msg(QStringLiteral("Are you sure you want to delete the account:\r\n\r\n\"Work Email\""),
                     QStringLiteral("question"), QStringLiteral("YesNo"),
                     QStringLiteral("Delete Confirmation")));
        QVERIFY(!store.remove(kNewAccountEntry));
        QVERIFY(!store.load(QStringLiteral("Work Email")));
        QCOMPARE(app.ui.messageTexts().last(), QStringLiteral("Can't find the Account"));
    }

    void phraseCategoryFiles() {
        PhraseCategory c{QStringLiteral("Subscribe"),
                         true,
                         {{QStringLiteral("subscribe me"), true}, {QStringLiteral("join"), false}}};
        QCOMPARE(
            categoryFileText(c),
            QByteArray("#TRUE#\r\n\"subscribe me\",#TRUE#\r\n\"join\",#FALSE#\r\n\"BN_EOF\",#FALSE#\r\n"));
        auto back = parseCategoryFile(c.name, categoryFileText(c));
        QVERIFY(back);
        QCOMPARE(back->phrases.size(), 2);
        QCOMPARE(back->phrases[1].text, QStringLiteral("join"));
        QVERIFY(!back->phrases[1].selected);
        // The end record is required; a file without it is not read as a category.
        QVERIFY(!parseCategoryFile(c.name, "#TRUE#\r\n\"a\",#TRUE#\r\n"));
        QVERIFY(!parseCategoryFile(c.name, "garbage"));

        TestApp app;
        app.layOut();
        SearchFiles files(*app.ctx);
        app.ui.inputs = {QStringLiteral("Remove")};
        QVERIFY(files.newCategory());
        app.ui.inputs = {QStringLiteral("remove")};
        QVERIFY(!files.newCategory());
        QCOMPARE(app.ui.messageTexts().last(), QStringLiteral("This category already exists."));
        app.ui.inputs = {QStringLiteral("unsubscribe")};
        QVERIFY(files.newPhrase(QStringLiteral("Remove")));
        QVERIFY(files.addPhrase(QStringLiteral("Remove"), QStringLiteral("remove \"me\"")));
        QVERIFY(!files.addPhrase(QStringLiteral("Remove"), QStringLiteral("UNSUBSCRIBE")));
        QVERIFY(files.addPhrase(QString(), QStringLiteral("stop"))); // no category: Defaults
        QCOMPARE(files.categoryNames(), (QStringList{"Defaults", "Remove"}));
        QCOMPARE(SearchFiles::checkedPhrases(files.readAll()),
                 (QStringList{"stop", "unsubscribe", "remove me"}));
        app.ui.answers = {Answer::Yes};
        QVERIFY(files.removePhrase(QStringLiteral("Remove"), QStringLiteral("unsubscribe")));
        QStringList missing;
        QCOMPARE(files.phrasesOf({QStringLiteral("Remove"), QStringLiteral("Nope")}, &missing),
                 QStringList{"remove me"});
        QCOMPARE(missing, QStringList{"Nope"});
        app.ui.answers = {Answer::Yes, Answer::Yes};
        QVERIFY(files.removeCategory(QStringLiteral("Defaults")));
        QVERIFY(!files.removeCategory(QStringLiteral("Defaults")));
        QCOMPARE(app.ui.messageTexts().last(), QStringLiteral("Cannot find the category to delete."));
        QVERIFY(!files.createCategory(QStringLiteral("../escape")));
    }

    void listStatementsExactly() {
        QCOMPARE(addWithDateStatement("AddressList", "AddressList", "/t/N0.mdb"),
                 QStringLiteral(
                     "INSERT INTO [AddressList](EAddress, FirstName, LastName, [Date]) SELECT EAddress, "
                     "FirstName, LastName, [Date] FROM [AddressList] IN \"/t/N0.mdb\";"));
        QCOMPARE(addStatement("AddressList", "AddressList", "/t/N0.mdb"),
                 QStringLiteral(
                     "INSERT INTO [AddressList](EAddress, FirstName, LastName) SELECT EAddress, FirstName, "
                     "LastName FROM [AddressList] IN \"/t/N0.mdb\";"));
        QCOMPARE(removeStatement("AddressList", "AddressList", "/t/N0.mdb"),
                 QStringLiteral(
                     "DELETE * FROM  [AddressList] WHERE EAddress In  (SELECT EAddress FROM [AddressList] "
                     "IN \"/t/N0.mdb\");"));
    }

    void finishUpdatesEachListAndCounts() {
        TestApp app;
        app.start();
        const QString a = makeList(app, QStringLiteral("A"), {"keep@x.example", "gone@x.example"});
        const QString b = makeList(app, QStringLiteral("B"), {"other@x.example"});
        PopTemp temp(*app.ctx);
        QVERIFY(temp.create());
        const QDateTime now = QDateTime::currentDateTime();
        temp.insert({QStringLiteral("gone@x.example"), QStringLiteral("Gone"), {}}, {}, now);
        temp.insert({QStringLiteral("new@x.example"), {}, {}}, {}, now);
        qint64 rows = 0;
        const QString list = temp.buildList(&rows);

        // Mode 1 always removes; removing what a list does not hold removes nothing.
        FinishChoices c{true, false, {QStringLiteral("A"), QStringLiteral("B")}, true, true};
        ListUpdateResult r = applyFinish(*app.ctx, 1, list, c);
        QVERIFY(r.ok);
        QCOMPARE(summaryRows(r), (QList<QStringList>{{"List Name", "Added", "Removed"},
                                                     {"A", "0", "1"},
                                                     {"B", "0", "0"},
                                                     {"Global Remove List", "2", "0"}}));
        QCOMPARE(addressesIn(a), QStringList{"keep@x.example"});
        const QString global = app.ctx->paths.listFile(QStringLiteral("Global Remove List.mdb"));
        QVERIFY(!scalar(global,
                        QStringLiteral("SELECT [Date] FROM AddressList WHERE EAddress = \"new@x.example\""))
                     .toString()
                     .isEmpty());
        // Adding: an address there already is skipped.
        r = applyFinish(*app.ctx, 2, list,
                        {true, false, {QStringLiteral("A"), QStringLiteral("B")}, true, false});
        QCOMPARE(summaryRows(r).mid(1), (QList<QStringList>{{"A", "2", "0"}, {"B", "2", "0"}}));
        r = applyFinish(*app.ctx, 2, list, {true, false, {QStringLiteral("B")}, true, false});
        QCOMPARE(summaryRows(r).mid(1), (QList<QStringList>{{"B", "0", "0"}}));
        QCOMPARE(addressesIn(b), (QStringList{"gone@x.example", "new@x.example", "other@x.example"}));

        // A list that cannot be updated stops the rest and says so.
        QFile::remove(b);
        r = applyFinish(*app.ctx, 3, list,
                        {true, false, {QStringLiteral("B"), QStringLiteral("A")}, true, false});
        QVERIFY(!r.ok);
        QVERIFY(r.counts.isEmpty());
        QCOMPARE(
            app.ui.messageTexts().last(),
            QStringLiteral("Could not locate the list 'B'; it and the lists after it were not updated."));
    }

    void wizardPagesAndChecks() {
        TestApp app;
        QVERIFY(!acceptWizardMode(app.ui, 4));
        QCOMPARE(app.ui.transcript().last(),
                 msg(QStringLiteral("Unknown POP Wizard Format"), QStringLiteral("critical")));
        QCOMPARE(pageTitle(5, 1), QStringLiteral("Remove Undeliverable Mail from these Lists"));
        QCOMPARE(pageTitle(5, 2), QStringLiteral("Update the Following Lists by"));
        QCOMPARE(pageTitle(6, 2), QStringLiteral("Process Your Response Mail"));
        QCOMPARE(summaryHeading(3), QStringLiteral("POP Import Summary"));
        QVERIFY(!checkLoginPage(app.ui, QStringLiteral(" "), QStringLiteral("h")));
        QCOMPARE(app.ui.messageTexts().last(),
                 QStringLiteral(
                     "You need to give a user name for your POP account.\r\nIf you do not know your user "
                     "name see your System Administrator\r\nor talk to your Internet Service Provider."));
        QVERIFY(!checkLoginPage(app.ui, QStringLiteral("u"), QString()));
        QVERIFY(app.ui.messageTexts().last().startsWith(QStringLiteral("You need to give a POP host name")));
        QVERIFY(checkPhrasePage(app.ui, RetrieveChoice::All, 0));
        QVERIFY(!checkPhrasePage(app.ui, RetrieveChoice::Filter, 0));
        QVERIFY(!checkListPage(app.ui, 1, 0));
        QCOMPARE(
            app.ui.messageTexts().last(),
            QStringLiteral("You need to select a list or lists to remove the undeliverable addresses from."));
        app.ui.answers = {Answer::No};
        QVERIFY(!confirmClose(app.ui));
        QCOMPARE(accountButtonText(kNewAccountEntry), QStringLiteral("Add this Account"));
        const PopRunOptions o = runOptions(2, RetrieveChoice::Filter, true, {QStringLiteral("remove")});
        QVERIFY(!o.processAll && !o.bounceRules && o.deleteProcessed && !o.returnedMail());
        PopRunResult r;
        QCOMPARE(statusAfterRun(r), QStringLiteral("Message Processing Found Nothing"));
        r.listPath = QStringLiteral("x");
        QCOMPARE(hintAfterRun(r), QStringLiteral("Press Finish to Continue...Exit to Cancel"));
        r.cancelled = true;
        QCOMPARE(statusAfterRun(r), QStringLiteral("Message Processing Has Been Stopped"));
    }
};

QTEST_GUILESS_MAIN(TestPopStores)
#include "tst_popstores.moc"
