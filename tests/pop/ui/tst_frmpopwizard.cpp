// The POP wizard window driven by its controls: page order and titles per mode, the page
// checks with their exact messages, accounts, phrases, the exit question, and whole runs
// against a real Dovecot ending in Finish.

#include "../PopTestSupport.h"
#include "pop/PopAccounts.h"
#include "pop/SearchFiles.h"
#include "pop/ui/frmPOPWizard.h"
#include "support/DovecotPop.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>
#include <QtTest>

using namespace sendora;
using namespace sendora::test;

namespace {

const QString kAsk = QStringLiteral(
    "\r\nIf you do not know your user name see your System Administrator\r\nor talk to your Internet Service "
    "Provider.");

struct Wizard {
    explicit Wizard(TestApp& app, int mode) : ui(app.ui), w(*app.ctx, mode) { w.show(); }
    template <typename T = QWidget> T* get(const char* name) {
        T* found = w.findChild<T*>(QLatin1String(name));
        if (!found) qFatal("no %s", name);
        return found;
    }
    void click(const char* name) { get<QPushButton>(name)->click(); }
    void type(const char* name, const QString& text) { get<QLineEdit>(name)->setText(text); }
    void login(const QString& user = QStringLiteral("alice"),
               const QString& host = QStringLiteral("127.0.0.1")) {
        type("txtUserName", user);
        type("txtHost", host);
    }
    // Titles of the pages seen while pressing Next until the page stops changing.
    QStringList walk() {
        QStringList titles{w.pageTitle()};
        for (int before = 0; before != w.page();) {
            before = w.page();
            w.next();
            if (w.page() != before) titles << w.pageTitle();
        }
        return titles;
    }
    ScriptedUserInterface& ui;
    frmPOPWizard w;
};

} // namespace

class TestFrmPopWizard : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void pagesPerMode_data();
    void pagesPerMode();
    void unknownModeOpensNothing();
    void loginPageChecks();
    void accounts();
    void phrasesAndListChecks();
    void exitQuestion();
    void returnedMailRunUpdatesList();
    void importRunKeepsNewList();
    void subscriptionRunAddsToList();
    void cancelAndExitDuringARun();
};

void TestFrmPopWizard::pagesPerMode_data() {
    QTest::addColumn<int>("mode");
    QTest::addColumn<QStringList>("titles");
    const QString login = QStringLiteral("POP Email Account -- Login Information");
    const QString retrieve = QStringLiteral("How Do You Want to Retrieve Your e-Mail?");
    const QString addresses = QStringLiteral("What Do You Want to Do with the Addresses?");
    QTest::newRow("returned mail") << 1
                                   << QStringList{login, retrieve, addresses,
                                                  "Remove Undeliverable Mail from these Lists"};
    // The filter needs a phrase: the walk stops on page 3.
    QTest::newRow("subscriptions") << 2
                                   << QStringList{login, retrieve,
                                                  "Select Phrases to Search for on the Subject Line"};
    QTest::newRow("import") << 3 << QStringList{login, retrieve, addresses, "Process Your POP Mail"};
}

void TestFrmPopWizard::pagesPerMode() {
    QFETCH(int, mode);
    QFETCH(QStringList, titles);
    TestApp app;
    app.start();
    makeList(app, QStringLiteral("Customers"), {});
    Wizard z(app, mode);
    QCOMPARE(z.w.windowTitle(), QStringLiteral("POP Mail Management Wizard"));
    z.login();
    QCOMPARE(z.walk(), titles);
    QCOMPARE(z.get<QLabel>("lblTitle")->text(), titles.last());
    if (mode == 1) {
        QVERIFY(!z.get<QRadioButton>("optAdding")->isEnabled());
        z.get<QListWidget>("lstLists")->item(0)->setCheckState(Qt::Checked);
        z.w.next();
        QCOMPARE(z.w.pageTitle(), QStringLiteral("Process Your Undeliverable Mail"));
        QCOMPARE(z.get<QLabel>("lblStatus")->text(), QStringLiteral("Mail Processing Has Not Started"));
        QCOMPARE(z.get<QLabel>("lblHint")->text(), QStringLiteral("Press Start To Continue."));
        QCOMPARE(z.get<QLabel>("lblBytes")->text(), QStringLiteral("Total Bytes Processed... 0"));
        QVERIFY(!z.get<QPushButton>("cmdFinish")->isEnabled());
        z.w.back();
        z.w.back();
        z.w.back();
        QCOMPARE(z.w.pageTitle(), titles.at(1));
    }
    QCOMPARE(app.ui.shown.size(), mode == 3 ? 0 : 1); // the page 3 or page 5 check stopped the walk
}

void TestFrmPopWizard::unknownModeOpensNothing() {
    TestApp app;
    app.start();
    bool shown = false;
    frmPOPWizard::LoadPOPWizard(*app.ctx, 4, nullptr, [&shown](const QString&) { shown = true; });
    QCOMPARE(app.ui.transcript(), QStringList{msg("Unknown POP Wizard Format", "critical")});
    QVERIFY(!shown);
}

void TestFrmPopWizard::loginPageChecks() {
    TestApp app;
    app.start();
    Wizard z(app, 3);
    z.w.next();
    z.login(QStringLiteral("alice"), QStringLiteral("  "));
    z.w.next();
    QCOMPARE(z.w.page(), 1);
    QCOMPARE(
        app.ui.transcript(),
        (QStringList{msg("You need to give a user name for your POP account." + kAsk, "exclamation"),
                     msg("You need to give a POP host name for your POP account." + kAsk, "exclamation")}));
}

void TestFrmPopWizard::accounts() {
    TestApp app;
    app.start();
    Wizard z(app, 3);
    auto* combo = z.get<QComboBox>("cboAccount");
    QCOMPARE(combo->itemText(0), QStringLiteral("<New Account>"));
    QCOMPARE(z.get<QPushButton>("cmdAddAccount")->text(), QStringLiteral("Add this Account"));
    QVERIFY(!z.get<QPushButton>("cmdRemoveAccount")->isEnabled());

    z.login(QStringLiteral("ann"), QStringLiteral("pop.work.example"));
    z.type("txtPassword", QStringLiteral("pw"));
    app.ui.inputs = {QStringLiteral("Work")};
    z.click("cmdAddAccount");
    QCOMPARE(combo->currentText(), QStringLiteral("Work"));
    QCOMPARE(z.get<QPushButton>("cmdAddAccount")->text(), QStringLiteral("Update this Account"));

    // The same name again is refused; the account keeps its fields.
    combo->setCurrentIndex(0);
    z.login(QStringLiteral("bob"), QStringLiteral("pop.other.example"));
    app.ui.clear();
    app.ui.inputs = {QStringLiteral("Work")};
    z.click("cmdAddAccount");
    QVERIFY(app.ui.messageTexts().contains("This account already exists, please choose another name."));
    QCOMPARE(combo->count(), 2);

    // Choosing the account shows it; leaving page 1 changed asks before saving.
    combo->setCurrentIndex(combo->findText(QStringLiteral("Work")));
    QCOMPARE(z.get<QLineEdit>("txtUserName")->text(), QStringLiteral("ann"));
    QCOMPARE(z.get<QLineEdit>("txtPassword")->text(), QStringLiteral("pw"));
    z.type("txtUserName", QStringLiteral("ann2"));
    app.ui.clear();
    app.ui.answers = {Answer::Yes};
    z.w.next();
    QCOMPARE(z.w.page(), 2);
    QCOMPARE(app.ui.transcript(), QStringList{msg("Do you want to save the changes to : 'Work'", "question",
                                                  "YesNo", "Save Changes")});
    QCOMPARE(pop::PopAccountStore(*app.ctx).load(QStringLiteral("Work"))->userName, QStringLiteral("ann2"));

    // Without "Remember Password" the stored account keeps no password.
    z.w.back();
    z.get<QCheckBox>("chkRemember")->setChecked(false);
    z.click("cmdAddAccount");
    QCOMPARE(pop::PopAccountStore(*app.ctx).load(QStringLiteral("Work"))->password, QString());

    app.ui.answers = {Answer::Yes};
    z.click("cmdRemoveAccount");
    QCOMPARE(combo->count(), 1);
    QCOMPARE(combo->currentText(), QStringLiteral("<New Account>"));
}

void TestFrmPopWizard::phrasesAndListChecks() {
    TestApp app;
    app.start();
    makeList(app, QStringLiteral("Customers"), {});
    Wizard z(app, 2);
    z.login();
    z.w.next();
    z.w.next();
    QCOMPARE(z.w.page(), 3);
    QCOMPARE(z.get<QTreeWidget>("treePhrases")->headerItem()->text(0),
             QStringLiteral("Categories \\ Phrases"));
    z.w.next();
    QCOMPARE(z.w.page(), 3);
    QCOMPARE(app.ui.messageTexts(),
             QStringList{"You need to select at least one search phrase for you search."});

    app.ui.clear();
    app.ui.inputs = {QStringLiteral("Requests"), QStringLiteral("unsubscribe")};
    z.click("cmdNewCategory");
    auto* tree = z.get<QTreeWidget>("treePhrases");
    QCOMPARE(tree->topLevelItemCount(), 1);
    tree->setCurrentItem(tree->topLevelItem(0));
    z.click("cmdNewPhrase");
    QCOMPARE(tree->topLevelItem(0)->childCount(), 1);
    QCOMPARE(tree->topLevelItem(0)->child(0)->text(0), QStringLiteral("unsubscribe"));
    // An unchecked phrase does not count; its state is kept in the category's file.
    tree->topLevelItem(0)->child(0)->setCheckState(0, Qt::Unchecked);
    z.w.next();
    QCOMPARE(z.w.page(), 3);
    QCOMPARE(pop::SearchFiles(*app.ctx).read(QStringLiteral("Requests"))->phrases.value(0).selected, false);
    tree->topLevelItem(0)->child(0)->setCheckState(0, Qt::Checked);
    z.w.next();
    QCOMPARE(z.w.page(), 4);
    z.w.next();
    QCOMPARE(z.w.page(), 5);
    QVERIFY(z.get<QRadioButton>("optAdding")->isChecked());
    app.ui.clear();
    z.w.next();
    QCOMPARE(z.w.page(), 5);
    QCOMPARE(
        app.ui.messageTexts(),
        QStringList{"You need to select a list or lists to add or remove the collected addresses from."});
    z.click("cmdSelectAll");
    z.w.next();
    QCOMPARE(z.w.page(), 6);
    QCOMPARE(z.w.pageTitle(), QStringLiteral("Process Your Response Mail"));

    Wizard returned(app, 1);
    returned.login();
    returned.w.next();
    returned.w.next();
    returned.w.next();
    app.ui.clear();
    returned.w.next();
    QCOMPARE(returned.w.page(), 5);
    QCOMPARE(app.ui.messageTexts(),
             QStringList{"You need to select a list or lists to remove the undeliverable addresses from."});
}

void TestFrmPopWizard::exitQuestion() {
    TestApp app;
    app.start();
    Wizard z(app, 3);
    const QString question = msg("Are you sure you wish to exit?  Any changes you made in the wizard will be "
                                 "lost\r\nUse the finish button "
                                 "to save modifications.",
                                 "question", "YesNo", "Are you sure you wish to exit?");
    app.ui.answers = {Answer::No, Answer::No};
    z.click("cmdExit");
    QVERIFY(z.w.isVisible());
    z.w.close();
    QVERIFY(z.w.isVisible());
    QCOMPARE(app.ui.transcript(), (QStringList{question, question}));
    z.click("cmdExit"); // default answer Yes
    QVERIFY(!z.w.isVisible());
    QCOMPARE(z.w.result(), int(QDialog::Rejected));
}

void TestFrmPopWizard::returnedMailRunUpdatesList() {
    if (!DovecotPop::available()) {
        if (DovecotPop::mustExist()) QFAIL("dovecot is not installed");
        QSKIP("dovecot is not installed");
    }
    DovecotPop pop;
    QVERIFY2(pop.start(), qPrintable(pop.log()));
    pop.addMessage("From: MAILER-DAEMON@mx.example.net\nTo: me@example.org\n"
                   "Subject: Undelivered Mail Returned to Sender\n\n"
                   "I'm sorry to have to inform you that your message could not be delivered.\n\n"
                   "To: gone@example.net\n");
    pop.addMessage("From: friend@example.com\nSubject: lunch?\n\nSee you.\n");
    TestApp app;
    app.start();
    const QString customers =
        makeList(app, QStringLiteral("Customers"),
                 {QStringLiteral("gone@example.net"), QStringLiteral("stay@example.net")});

    Wizard z(app, 1);
    z.login(pop.userName());
    z.type("txtPassword", pop.password());
    z.type("txtPort", QString::number(pop.port()));
    z.get<QCheckBox>("chkDelete")->setChecked(true);
    z.w.next();
    z.w.next();
    z.w.next();
    z.get<QListWidget>("lstLists")->item(0)->setCheckState(Qt::Checked);
    z.w.next();
    QCOMPARE(z.w.page(), 6);
    QList<QStringList> summary;
    QString heading;
    z.w.showSummary = [&](const QString& h, const QList<QStringList>& rows) {
        heading = h;
        summary = rows;
    };
    z.click("cmdStart");
    QTRY_VERIFY_WITH_TIMEOUT(!z.w.running(), 20000);
    QCOMPARE(z.get<QLabel>("lblStatus")->text(), QStringLiteral("Message Processing Has Completed"));
    QCOMPARE(z.get<QLabel>("lblHint")->text(), QStringLiteral("Press Finish to Continue...Exit to Cancel"));
    QVERIFY(z.get<QListWidget>("lstStatus")->count() > 3);
    QVERIFY(z.get<QLabel>("lblBytes")->text().startsWith("Total Bytes Processed... "));
    QCOMPARE(pop.messageCount(), 1); // the processed bounce was deleted, the other kept
    z.click("cmdFinish");
    QVERIFY(!z.w.isVisible());
    QCOMPARE(heading, QStringLiteral("Undeliverable Addresses Summary"));
    QCOMPARE(summary, (QList<QStringList>{{"List Name", "Added", "Removed"}, {"Customers", "0", "1"}}));
    QCOMPARE(addressesIn(customers), QStringList{"stay@example.net"});
}

void TestFrmPopWizard::importRunKeepsNewList() {
    if (!DovecotPop::available()) {
        if (DovecotPop::mustExist()) QFAIL("dovecot is not installed");
        QSKIP("dovecot is not installed");
    }
    TestApp app;
    app.start();
    {
        // An empty mailbox finds nothing; Finish just closes.
        DovecotPop empty;
        QVERIFY2(empty.start(), qPrintable(empty.log()));
        Wizard z(app, 3);
        z.login(empty.userName());
        z.type("txtPassword", empty.password());
        z.type("txtPort", QString::number(empty.port()));
        z.w.next();
        z.w.next();
        z.w.next();
        QCOMPARE(z.w.page(), 6);
        z.click("cmdStart");
        QTRY_VERIFY_WITH_TIMEOUT(!z.w.running(), 20000);
        QCOMPARE(z.get<QLabel>("lblStatus")->text(), QStringLiteral("Message Processing Found Nothing"));
        QCOMPARE(z.get<QLabel>("lblHint")->text(), QStringLiteral("Press Finish to Exit"));
        z.click("cmdFinish");
        QVERIFY(!z.w.isVisible());
    }
    DovecotPop pop;
    QVERIFY2(pop.start(), qPrintable(pop.log()));
    pop.addMessage("From: Ann Smith <ann@example.com>\nSubject: hello\n\nHi.\n");
    pop.addMessage("From: bob@example.com\nSubject: again\n\nHi.\n");
    Wizard z(app, 3);
    z.login(pop.userName());
    z.type("txtPassword", pop.password());
    z.type("txtPort", QString::number(pop.port()));
    QString shown;
    z.w.showList = [&shown](const QString& file) { shown = file; };
    z.w.next();
    z.w.next();
    z.w.next();
    app.ui.clear();
    z.click("cmdStart");
    QTRY_VERIFY_WITH_TIMEOUT(!z.w.running(), 20000);
    z.click("cmdFinish");
    QVERIFY(!shown.isEmpty());
    QCOMPARE(addressesIn(shown), (QStringList{"ann@example.com", "bob@example.com"}));
    QCOMPARE(pop.messageCount(), 2); // "Delete Mail From Server" was off
}

// A mailbox of two messages and a wizard filled in for it up to the processing page.
struct MailboxRun {
    MailboxRun(TestApp& app, int mode, const std::function<void(Wizard&)>& choices = {}) : z(app, mode) {
        ok = DovecotPop::available() && pop.start();
        pop.addMessage("From: Ann Smith <ann@example.com>\nSubject: please subscribe me\n\nHi.\n");
        pop.addMessage("From: bob@example.com\nSubject: subscribed newsletter\n\nHi.\n");
        z.login(pop.userName());
        z.type("txtPassword", pop.password());
        z.type("txtPort", QString::number(pop.port()));
        if (choices) choices(z);
        for (int i = 0; i < 5 && z.w.page() < 6; ++i)
            z.w.next();
    }
    DovecotPop pop;
    Wizard z;
    bool ok = false;
};

void TestFrmPopWizard::subscriptionRunAddsToList() {
    if (!DovecotPop::available()) {
        if (DovecotPop::mustExist()) QFAIL("dovecot is not installed");
        QSKIP("dovecot is not installed");
    }
    TestApp app;
    app.start();
    const QString customers = makeList(app, QStringLiteral("Customers"), {QStringLiteral("old@example.com")});
    pop::SearchFiles(*app.ctx).createCategory(QStringLiteral("Requests"));
    pop::SearchFiles(*app.ctx).addPhrase(QStringLiteral("Requests"), QStringLiteral("subscribe"));
    MailboxRun run(app, 2, [](Wizard& z) {
        z.w.next();
        z.w.next(); // page 3: the stored phrase is checked
        z.w.next();
        z.w.next();
        z.get<QListWidget>("lstLists")->item(0)->setCheckState(Qt::Checked);
    });
    QVERIFY2(run.ok, qPrintable(run.pop.log()));
    QCOMPARE(run.z.w.page(), 6);
    QList<QStringList> summary;
    QString heading;
    run.z.w.showSummary = [&](const QString& h, const QList<QStringList>& rows) {
        heading = h;
        summary = rows;
    };
    run.z.click("cmdStart");
    QTRY_VERIFY_WITH_TIMEOUT(!run.z.w.running(), 20000);
    run.z.click("cmdFinish");
    // "subscribed" holds the phrase only as part of a longer word.
    QCOMPARE(heading, QStringLiteral("Subscription Manager Summary"));
    QCOMPARE(summary, (QList<QStringList>{{"List Name", "Added", "Removed"}, {"Customers", "1", "0"}}));
    QCOMPARE(addressesIn(customers), (QStringList{"ann@example.com", "old@example.com"}));
}

void TestFrmPopWizard::cancelAndExitDuringARun() {
    if (!DovecotPop::available()) {
        if (DovecotPop::mustExist()) QFAIL("dovecot is not installed");
        QSKIP("dovecot is not installed");
    }
    TestApp app;
    app.start();
    {
        MailboxRun run(app, 3);
        QVERIFY2(run.ok, qPrintable(run.pop.log()));
        run.z.click("cmdStart");
        QVERIFY(run.z.get<QPushButton>("cmdCancel")->isEnabled());
        QVERIFY(!run.z.get<QPushButton>("cmdBack")->isEnabled());
        run.z.click("cmdCancel");
        QTRY_VERIFY_WITH_TIMEOUT(!run.z.w.running(), 20000);
        QCOMPARE(run.z.get<QLabel>("lblStatus")->text(),
                 QStringLiteral("Message Processing Has Been Stopped"));
        QVERIFY(!run.z.get<QPushButton>("cmdCancel")->isEnabled());
        QVERIFY(run.z.get<QPushButton>("cmdFinish")->isEnabled());
    }
    // Exit while running: the run is stopped and the wizard closes once it has quit.
    MailboxRun run(app, 3);
    QVERIFY2(run.ok, qPrintable(run.pop.log()));
    run.z.click("cmdStart");
    app.ui.answers = {Answer::Yes};
    run.z.click("cmdExit");
    QTRY_VERIFY_WITH_TIMEOUT(!run.z.w.running(), 20000);
    QVERIFY(!run.z.w.isVisible());
    QCOMPARE(run.z.w.result(), int(QDialog::Rejected));
    QCOMPARE(run.pop.messageCount(), 2);
}

QTEST_MAIN(TestFrmPopWizard)
#include "tst_frmpopwizard.moc"
