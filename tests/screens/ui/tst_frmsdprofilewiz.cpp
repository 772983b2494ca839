// The real delivery options wizard, driven by object names with mouse and keys: every page
// with its controls and their wiring, Finish storing the row, Cancel and the close box,
// start-up's initialization run and the main window's commands. The page checks' exact
// messages are tst_profilewizard's.

#include "WhenModal.h"
#include "components/jet/Jet.h"
#include "core/Startup.h"
#include "core/SystemDatabase.h"
#include "screens/ui/MdiMain.h"
#include "screens/ui/frmSDProfileWiz.h"
#include "support/TestApp.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QToolButton>

using namespace sendora;
using sendora::test::msg;
using sendora::test::TestApp;
using sendora::test::whenModal;

namespace {

struct Host : WindowHost {
    QStringList changed;
    void deliveryOptionsChanged(const QString& name) override { changed << name; }
};

struct Started {
    Host host;
    TestApp app{&host};
    Started() { app.start(); }
    QString sdr() const { return app.ctx->paths.systemDatabase(); }
    int rows(const QString& name) const {
        auto db = jet::Database::open(sdr(), jet::Database::OpenMode::ReadOnly);
        return db->openRecordset("SELECT Count(*) FROM Profile WHERE ProfileName = " + jet::quote(name))
            ->value(0)
            .toInt();
    }
};

// Drives one wizard window.
struct Driver {
    frmSDProfileWiz* w;
    test::ScriptedUserInterface* ui;

    template <typename T = QWidget> T* get(const char* name) const {
        T* found = w->findChild<T*>(QLatin1String(name));
        if (!found) qFatal("no %s", name);
        return found;
    }
    // Check boxes and option buttons take the click on their box, at the left.
    void click(const char* name) const {
        auto* b = get<QAbstractButton>(name);
        const bool box = !qobject_cast<QPushButton*>(b) && !qobject_cast<QToolButton*>(b);
        QTest::mouseClick(b, Qt::LeftButton, {}, box ? QPoint(8, b->height() / 2) : b->rect().center());
    }
    void type(const char* name, const QString& text) const {
        auto* e = get<QLineEdit>(name);
        e->setFocus(Qt::MouseFocusReason);
        e->clear();
        QTest::keyClicks(e, text);
    }
    QString text(const char* name) const { return get<QLineEdit>(name)->text(); }
    // Leaves a field by Tab, as the user would.
    void tabOut(const char* name) const {
        QTest::keyClick(get<QWidget>(name), Qt::Key_Tab);
        QTest::qWait(20);
    }
    bool enabled(const char* name) const { return get<QWidget>(name)->isEnabled(); }
    // Next (or Finish) and what it showed.
    QStringList press(const char* button = "cmdNext") const {
        ui->clear();
        click(button);
        return ui->transcript();
    }
    // With SENDORA_SCREENSHOT_DIR set, each page is saved there for a look.
    void snap() const {
        const QString dir = qEnvironmentVariable("SENDORA_SCREENSHOT_DIR");
        if (!dir.isEmpty())
            w->grab().save(QStringLiteral("%1/profilewiz-page%2.png").arg(dir).arg(w->currentPage()));
    }
};

void show(QWidget* w) {
    w->show();
    QApplication::setActiveWindow(w);
    QVERIFY(QTest::qWaitForWindowActive(w));
}

} // namespace

class TestProfileWizardWindow : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void walkingANewSetThroughEveryPage() {
        Started s;
        s.app.ctx->settings.mailServer = "relay.example.net";
        frmSDProfileWiz wizard(*s.app.ctx);
        Driver d{&wizard, &s.app.ui};
        QVERIFY(wizard.prepareNew());
        show(&wizard);

        // 1: introduction only.
        QVERIFY(wizard.windowTitle().startsWith(
            "Create a New Set of Sendora Mail Delivery Options - Step 1 of 8"));
        QVERIFY(d.get<QLabel>("lblIntro")->text().startsWith("This wizard will walk you through"));
        QVERIFY(!d.enabled("cmdBack") && d.enabled("cmdNext") && !d.enabled("cmdFinish") &&
                !d.enabled("cmdHelp"));
        QVERIFY(d.get<QPushButton>("cmdNext")->isDefault());
        d.snap();
        QVERIFY(d.press().isEmpty());

        // 2: name.
        QCOMPARE(wizard.currentPage(), 2);
        QVERIFY(d.text("txtProfileName").startsWith("New  "));
        d.snap();
        d.get<QLineEdit>("txtProfileName")->clear();
        QCOMPARE(d.press().size(), 1);
        QCOMPARE(wizard.currentPage(), 2);
        QCOMPARE(QApplication::focusWidget(), d.get("txtProfileName"));
        d.type("txtProfileName", "Spring promo");
        d.type("txtDescription", "Season \"one\"");
        QVERIFY(d.press().isEmpty());

        // 3: sender and reply address.
        QCOMPARE(wizard.currentPage(), 3);
        d.snap();
        d.type("txtFrom", "not an address");
        QCOMPARE(d.press().size(), 1);
        QCOMPARE(QApplication::focusWidget(), d.get("txtFrom"));
        d.type("txtFrom", "sales@example.org");
        d.type("txtReplyTo", "replies@");
        QCOMPARE(d.press().size(), 1);
        d.type("txtReplyTo", "");
        QVERIFY(d.press().isEmpty());

        // 4: recipients. The list choice waits for the mailing centre, so no list is chosen.
        QCOMPARE(wizard.currentPage(), 4);
        d.snap();
        QVERIFY(!d.get("cboList")->isVisible());
        QCOMPARE(d.press("cmdSSApplyFilter"), QStringList{msg("You must select a list first")});
        QVERIFY(d.get<QRadioButton>("optSendAll")->isChecked());
        QVERIFY(d.press().isEmpty());

        // 5: blocks and the sent flag.
        QCOMPARE(wizard.currentPage(), 5);
        QVERIFY(!d.enabled("chkIfNotYetFlagged") && !d.enabled("txtSentFlagToCheck"));
        d.click("optSendToFirst");
        QVERIFY(d.enabled("chkIfNotYetFlagged") && d.enabled("txtSentFlagToCheck"));
        d.type("txtSendBlockSize", "12a");
        QCOMPARE(d.text("txtSendBlockSize"), QStringLiteral("12")); // digits only
        d.get<QLineEdit>("txtSendBlockSize")->clear();
        const QStringList noNumber{msg("Please enter a number for 'Send to the First' addresses.")};
        QCOMPARE(d.press(), noNumber);
        d.type("txtSendBlockSize", "00"); // "the first 0 addresses" is no number either
        QCOMPARE(d.press(), noNumber);
        QCOMPARE(wizard.currentPage(), 5);
        QCOMPARE(QApplication::focusWidget(), d.get("txtSendBlockSize"));
        d.type("txtSendBlockSize", "500");
        d.type("txtSentFlag", "DONE");
        QCOMPARE(d.text("txtSentFlagToCheck"), QStringLiteral("DONE"));
        d.type("txtSentFlag", "DONE \"spring\"");
        d.snap();
        QVERIFY(d.press().isEmpty());

        // 6: pacing.
        QCOMPARE(wizard.currentPage(), 6);
        QVERIFY(d.get<QRadioButton>("optNoDelay")->isChecked());
        QVERIFY(!d.enabled("txtTimedBlockSize") && !d.enabled("txtTimeDelay"));
        d.click("chkTimedBlocks");
        QVERIFY(!d.get<QRadioButton>("optNoDelay")->isChecked());
        QVERIFY(d.enabled("txtTimedBlockSize") && d.enabled("txtTimeIncrement"));
        d.type("txtTimedBlockSize", "0");
        QCOMPARE(d.press().size(), 1);
        QCOMPARE(QApplication::focusWidget(), d.get("txtTimedBlockSize"));
        d.type("txtTimedBlockSize", "50");
        d.type("txtTimeIncrement", "2");
        d.click("chkInsertTimeDelay");
        d.type("txtTimeDelay", "");
        QCOMPARE(d.press().size(), 1);
        d.click("optNoDelay"); // clears both
        QVERIFY(!d.get<QCheckBox>("chkTimedBlocks")->isChecked() &&
                !d.get<QCheckBox>("chkInsertTimeDelay")->isChecked());
        d.click("chkTimedBlocks");
        d.snap();
        QVERIFY(d.press().isEmpty());

        // 7: server, port and TLS, authentication, direct send.
        QCOMPARE(wizard.currentPage(), 7);
        QCOMPARE(d.text("txtSmtpServer"), QStringLiteral("relay.example.net"));
        d.snap();
        d.type("txtSmtpServer", "");
        QCOMPARE(d.press().size(), 1);
        d.type("txtSmtpServer", "smtp.example.org");
        d.type("txtSmtpPort", "587");
        d.get<QComboBox>("cboSmtpTls")->setCurrentIndex(1);
        QVERIFY(!d.enabled("txtUserName"));
        d.click("chkAuth");
        QVERIFY(d.enabled("txtUserName") && d.enabled("lblPassword"));
        QCOMPARE(d.press().size(), 1);
        d.type("txtUserName", "mailer");
        d.type("txtPassword", "s3cret");
        QVERIFY(!d.enabled("txtDnsServer"));
        d.click("chkDirectSend");
        QVERIFY(d.enabled("txtDnsServer") && d.enabled("lblConcurrentMailers"));
        QVERIFY(d.press().isEmpty());

        // 8: direct send numbers and their bounds.
        QCOMPARE(wizard.currentPage(), 8);
        QVERIFY(!d.enabled("cmdNext") && d.enabled("cmdFinish"));
        QVERIFY(d.get<QPushButton>("cmdFinish")->isDefault());
        d.type("txtConcurrentMailers", "35");
        QCOMPARE(d.text("txtConcurrentMailers"), QStringLiteral("20"));
        d.click("updConcurrentMailersUp");
        QCOMPARE(d.text("txtConcurrentMailers"), QStringLiteral("20"));
        d.type("txtConcurrentMailers", "0");
        d.tabOut("txtConcurrentMailers");
        QCOMPARE(d.text("txtConcurrentMailers"), QStringLiteral("1"));
        d.type("txtDnsTimeout", "");
        d.tabOut("txtDnsTimeout");
        QCOMPARE(d.text("txtDnsTimeout"), QStringLiteral("5"));
        d.type("txtMailerTimeout", "");
        d.tabOut("txtMailerTimeout");
        QCOMPARE(d.text("txtMailerTimeout"), QStringLiteral("10"));
        d.type("txtDnsServer", "");
        QCOMPARE(d.press("cmdFinish").size(), 1);
        d.type("txtDnsServer", "192.0.2.53");
        d.click("chkDefaultServer");
        d.type("txtDefaultMail", "");
        QCOMPARE(d.press("cmdFinish").size(), 1);
        d.type("txtDefaultMail", "fallback.example.org");
        d.snap();

        // Back keeps what was typed.
        d.click("cmdBack");
        QCOMPARE(wizard.currentPage(), 7);
        QCOMPARE(d.text("txtSmtpPort"), QStringLiteral("587"));
        d.press();
        QVERIFY(d.press("cmdFinish").isEmpty());
        QVERIFY(wizard.stored() && !wizard.isVisible());

        MailEvent m;
        GetMEPFromDB(*s.app.ctx, m, "Spring promo");
        // Every control reached its column.
        QCOMPARE(QStringList({m.ProfileDescription, m.From, m.ReplyTo, m.SentFlag, m.SentFlagToCheck,
                              m.SmtpServer, m.username, m.password, m.dns_server, m.default_mail}),
                 QStringList({"Season \"one\"", "sales@example.org", "", "DONE \"spring\"", "DONE \"spring\"",
                              "smtp.example.org", "mailer", "s3cret", "192.0.2.53", "fallback.example.org"}));
        QCOMPARE(QList<int>({m.SendBlockSize, m.TimedBlockSize, m.TimeIncrement, m.smtp_port, m.smtp_tls,
                             m.concurrent_mailers, m.dns_timeout, m.mailer_timeout}),
                 QList<int>({500, 50, 2, 587, TlsStartTlsRequired, 1, 5, 10}));
        QVERIFY(m.bSendInBlocks && m.bTimedBlocks && !m.bInsertTimeDelay);
        QVERIFY(m.auth && m.direct_send && m.default_server);
        QCOMPARE(s.app.ctx->settingsFile.read(kAppDefaults, "MailEventProfile"),
                 QStringLiteral("Spring promo"));
        QCOMPARE(s.host.changed, QStringList{"Spring promo"});
    }

    void leavingTheNameFieldChecksIt() {
        Started s;
        frmSDProfileWiz wizard(*s.app.ctx);
        Driver d{&wizard, &s.app.ui};
        wizard.prepareNew();
        show(&wizard);
        wizard.GoToPage(2);
        d.type("txtProfileName", "a|b");
        d.tabOut("txtProfileName");
        QTRY_COMPARE(s.app.ui.shown.size(), 1);
        QVERIFY(s.app.ui.transcript().first().startsWith(
            "message|exclamation|OK|Sendora|Please Enter a Valid Filename."));
        QTRY_COMPARE(QApplication::focusWidget(), d.get("txtProfileName"));
        s.app.ui.clear();
        d.type("txtProfileName", "Fine name");
        d.tabOut("txtProfileName");
        QVERIFY(s.app.ui.shown.isEmpty());
        QCOMPARE(QApplication::focusWidget(), d.get("txtDescription"));
    }

    void modifyingFinishesFromAnyPage() {
        Started s;
        frmSDProfileWiz wizard(*s.app.ctx);
        Driver d{&wizard, &s.app.ui};
        QVERIFY(wizard.prepareExisting(kDefaultProfileName));
        show(&wizard);
        QVERIFY(wizard.windowTitle().startsWith(
            "View or Modify a Set of Sendora Mail Delivery Options - Step 1 of 8"));
        d.click("cmdNext");
        QCOMPARE(d.get<QLabel>("lblProfileName")->text(), QStringLiteral("Current Profile Name:"));
        d.get<QLineEdit>("txtProfileName")->clear();
        QCOMPARE(d.press("cmdFinish"), QStringList{msg("Please enter a name for your delivery options.")});
        d.type("txtProfileName", kDefaultProfileName);
        d.type("txtDescription", "Changed");
        QVERIFY(d.press("cmdFinish").isEmpty());
        QVERIFY(wizard.stored());
        QCOMPARE(s.rows(kDefaultProfileName), 1);
        MailEvent m;
        GetMEPFromDB(*s.app.ctx, m, kDefaultProfileName);
        QCOMPARE(m.ProfileDescription, QStringLiteral("Changed"));
        QCOMPARE(m.SmtpServer, kPlaceholderProfileServer); // untouched fields keep their values
    }

    // Opened from the mailing centre: the chosen list's file goes to the builder and its clause
    // becomes the filter; a cancelled builder keeps the filter there was.
    void specifyFilterOpensTheBuilderOnTheChosenList() {
        Started s;
        const QString file = s.app.ctx->paths.listFile("Spring.mdb");
        jet::Database::create(file);
        jet::Database::open(s.sdr())->execute(
            "INSERT INTO List(ListName, ListPath, ListDescription) VALUES(\"Spring\", \"Spring.mdb\", \"\")",
            true);
        jet::Database::open(s.sdr())->execute(
            "INSERT INTO List(ListName, ListPath, ListDescription) VALUES(\"Lost\", \"Lost.mdb\", \"\")",
            true);
        frmSDProfileWiz wizard(*s.app.ctx);
        Driver d{&wizard, &s.app.ui};
        QStringList asked;
        std::optional<QString> answer = QStringLiteral("WHERE (([AddressList].[City]  =  \"<b>Bern</b>\"))");
        wizard.selectionBuilder = [&](QWidget*, const QString& listFile, const QString& current) {
            asked << listFile + " " + current;
            return answer;
        };
        wizard.wizard().openedFromMailing = true;
        QVERIFY(wizard.prepareNew());
        show(&wizard);
        wizard.GoToPage(4);
        auto* list = d.get<QComboBox>("cboList");
        QVERIFY(list->isVisible());
        list->setCurrentText("Lost");
        QCOMPARE(d.press("cmdSSApplyFilter"), QStringList{msg("List file not found")});
        QVERIFY(asked.isEmpty());
        list->setCurrentText("Spring");
        QVERIFY(d.press("cmdSSApplyFilter").isEmpty());
        QCOMPARE(asked, QStringList{file + " "});
        QCOMPARE(wizard.wizard().fields.sqlFilter, *answer);
        QCOMPARE(d.get<QLabel>("lblFilterText")->text(), *answer);
        QCOMPARE(d.get<QLabel>("lblFilterText")->textFormat(), Qt::PlainText);
        answer.reset();
        d.click("cmdSSApplyFilter");
        QCOMPARE(asked.value(1), file + " " + wizard.wizard().fields.sqlFilter);
        QCOMPARE(wizard.wizard().fields.sqlFilter,
                 QStringLiteral("WHERE (([AddressList].[City]  =  \"<b>Bern</b>\"))"));
    }

    void cancelAndTheCloseBoxStoreNothing() {
        Started s;
        frmSDProfileWiz wizard(*s.app.ctx);
        Driver d{&wizard, &s.app.ui};
        wizard.prepareNew();
        show(&wizard);
        QVERIFY(wizard.close()); // nothing changed: no question
        QVERIFY(s.app.ui.shown.isEmpty());

        wizard.prepareNew();
        show(&wizard);
        wizard.GoToPage(3);
        d.type("txtFrom", "x@example.org");
        s.app.ui.answers = {Answer::No};
        QVERIFY(!wizard.close());
        QVERIFY(wizard.isVisible());
        s.app.ui.answers = {Answer::Yes};
        QVERIFY(wizard.close());
        QCOMPARE(
            s.app.ui.transcript(),
            QStringList(2, msg("Are you sure you wish to exit?  Any changes you made in the wizard will be "
                               "lost\r\nUse the finish button to save modifications.",
                               "information", "YesNo")));
        s.app.ui.clear();
        wizard.prepareNew();
        show(&wizard);
        d.click("cmdCancel");
        QVERIFY(!wizard.isVisible() && !wizard.stored());
        QVERIFY(s.app.ui.shown.isEmpty());
        QCOMPARE(s.rows("x"), 0);
        auto db = jet::Database::open(s.sdr(), jet::Database::OpenMode::ReadOnly);
        QCOMPARE(db->openRecordset("SELECT Count(*) FROM Profile")->value(0).toInt(), 1);
    }

    void cancellingInitializationEndsTheSystem() {
        Started s;
        jet::Database::open(s.sdr())->execute("DELETE * FROM Profile");
        frmSDProfileWiz wizard(*s.app.ctx);
        Driver d{&wizard, &s.app.ui};
        int ended = 0;
        wizard.endSystem = [&ended] { ++ended; };
        wizard.prepareNew(kDefaultProfileName);
        show(&wizard);
        QVERIFY(d.get<QLabel>("lblIntro")
                    ->text()
                    .endsWith(
                        "Note: This initialization procedure must be completed in order to Sendora to run"));
        const QString question =
            msg("This will exit Sendora.  Are you sure you wish to exit?", "question", "YesNo");
        s.app.ui.answers = {Answer::No};
        QCOMPARE(d.press("cmdCancel"), QStringList{question});
        QVERIFY(wizard.isVisible());
        s.app.ui.answers = {Answer::No};
        QVERIFY(!wizard.close()); // the close box asks the same
        s.app.ui.answers = {Answer::Yes};
        QCOMPARE(d.press("cmdCancel"), QStringList{question});
        QVERIFY(!wizard.isVisible());
        QCOMPARE(ended, 1);
        QCOMPARE(s.rows(kDefaultProfileName), 0);

        // So the next start asks again.
        s.app.ui.clear();
        VerifyDefaultProfile(*s.app.ctx);
        QVERIFY(s.app.ui.transcript().first().contains("A default Delivery Options set was not found."));
    }

    void startUpRunsTheInitializationWhenTheDefaultSetIsMissing() {
        TestApp app;
        app.ui.answers = {Answer::No};
        {
            MdiMain first(*app.ctx);
            app.ctx->host = &first;
            QVERIFY(Startup(*app.ctx).run());
            first.close();
        }
        jet::Database::open(app.ctx->paths.systemDatabase())->execute("DELETE * FROM Profile");
        app.ui.clear();
        MdiMain window(*app.ctx);
        app.ctx->host = &window;
        bool seen = false;
        whenModal([&](QDialog* dialog) {
            seen = true;
            auto* wizard = qobject_cast<frmSDProfileWiz*>(dialog);
            QVERIFY(wizard);
            Driver d{wizard, &app.ui};
            QCOMPARE(d.text("txtProfileName"), kDefaultProfileName);
            QVERIFY(d.get<QLineEdit>("txtProfileName")->isReadOnly());
            for (int page = 1; page < 7; ++page)
                d.click("cmdNext");
            QCOMPARE(wizard->currentPage(), 7);
            d.click("chkDirectSend");
            d.click("cmdNext");
            QCOMPARE(wizard->currentPage(), 8);
            d.type("txtDnsServer", "10.0.0.53");
            d.click("cmdFinish");
            QVERIFY(wizard->stored());
        });
        QVERIFY(Startup(*app.ctx).run());
        QVERIFY(seen);
        QVERIFY(app.ui.transcript().first().contains("A default Delivery Options set was not found."));
        MailEvent m;
        GetMEPFromDB(*app.ctx, m, kDefaultProfileName);
        QCOMPARE(m.ProfileName, kDefaultProfileName);
        QCOMPARE(m.dns_server, QStringLiteral("10.0.0.53"));
        window.close();
    }

    void mainWindowCommandsOpenTheWizard() {
        TestApp app;
        app.ui.answers = {Answer::No};
        MdiMain window(*app.ctx);
        app.ctx->host = &window;
        QVERIFY(Startup(*app.ctx).run());
        QVERIFY(window.action("id_FileNewSendoraSetup")->isEnabled());
        QVERIFY(window.action("id_FileOpenSendoraSetup")->isEnabled());

        QString title;
        whenModal([&](QDialog* d) {
            title = d->windowTitle();
            d->reject();
        });
        window.runCommand("id_FileNewSendoraSetup");
        QVERIFY(title.startsWith("Create a New Set of Sendora Mail Delivery Options - Step 1 of 8"));

        whenModal([&](QDialog* picker) {
            QCOMPARE(picker->objectName(), QStringLiteral("frmOpenDelete"));
            picker->findChild<QListWidget*>("lstNames")->item(0)->setSelected(true);
            whenModal([&](QDialog* d) {
                title = d->windowTitle();
                static_cast<frmSDProfileWiz*>(d)->ForceUnload();
            });
            QTest::mouseClick(picker->findChild<QPushButton*>("cmdOK"), Qt::LeftButton);
        });
        window.runCommand("id_FileOpenSendoraSetup");
        QVERIFY(title.startsWith("View or Modify a Set of Sendora Mail Delivery Options"));
        window.close();
    }
};

QTEST_MAIN(TestProfileWizardWindow)
#include "tst_frmsdprofilewiz.moc"
