// The Verify List wizard and its configuration dialog, headless: the bounds messages from
// the spin boxes, the pages' refusals, a run from the window with its buttons held.

#include "../VerifyTestSupport.h"
#include "verify/ui/frmVerifyLIst.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QtTest>

using namespace sendora;
using namespace sendora::test;

class TestFrmVerifyList : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void configurationDialogBounds() {
        TestApp app;
        app.layOut();
        frmVerifyConfig dlg(*app.ctx);
        QCOMPARE(dlg.windowTitle(), QStringLiteral("List Verify - Configuration"));
        QCOMPARE(dlg.txtForcedTimeout->value(), 20);
        dlg.txtForcedTimeout->setValue(10);
        dlg.txtNumberEmails->setValue(101);
        dlg.txtDomain->setText(QStringLiteral(" verifier.test "));
        dlg.findChild<QPushButton*>(QStringLiteral("cmdSave"))->click();
        QCOMPARE(app.ui.transcript(),
                 (QStringList{
                     msg("The minimum Forced Timeout setting allowed is 20 seconds.\r\nThe value will be "
                         "changed to the minimum allowed.",
                         "exclamation"),
                     msg("The maximum number of emails to be checked at one time is 100.", "exclamation")}));
        QCOMPARE(dlg.txtForcedTimeout->value(), 20);
        QCOMPARE(dlg.txtNumberEmails->value(), 100);
        QCOMPARE(app.ctx->settingsFile.read(kAppDefaults, QStringLiteral("LVNumberEmails"), {}),
                 QStringLiteral("100"));
        QCOMPARE(app.ctx->settingsFile.read(kAppDefaults, QStringLiteral("LVDomain"), {}),
                 QStringLiteral("verifier.test"));
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
    }

    void wizardPagesAndRun() {
        TestApp app;
        app.layOut();
        app.start();
        frmVerifyLIst::LoadVERIFYWizard(*app.ctx, QStringLiteral("Something Else"), nullptr);
        QCOMPARE(app.ui.transcript(), QStringList{msg("Unknown VERIFY Wizard Format", "exclamation")});
        app.ui.clear();

        makeVerifyList(app, QStringLiteral("Members"), {"a@x.test", "b@x.test"});
        Script script;
        script.verdicts = {{"a@x.test", "Exist"}, {"b@x.test", "Not in DNS"}};
        frmVerifyLIst w(*app.ctx, [&script] { return std::make_unique<ScriptedCheck>(script); });
        QCOMPARE(w.windowTitle(), QStringLiteral("Verify List"));
        w.next();
        QCOMPARE(app.ui.messageTexts(), QStringList{"You need to select a list to verify addresses from."});
        QCOMPARE(w.page(), 1);
        w.lstLists->setCurrentItem(
            w.lstLists->findItems(QStringLiteral("Members"), Qt::MatchExactly).value(0));
        w.next();
        w.next();
        QCOMPARE(w.page(), 3);
        bool configShown = false;
        w.showConfig = [&](frmVerifyConfig&) { configShown = true; };
        w.cmdConfig->click();
        QVERIFY(configShown);

        app.ui.clear();
        w.run().setTickInterval(1);
        QStringList shownLists;
        w.showList = [&](const QString& file) { shownLists << file; };
        w.cmdVerify->click();
        QVERIFY(w.run().running());
        QVERIFY(!w.cmdVerify->isEnabled() && !w.cmdBack->isEnabled() && !w.cmdConfig->isEnabled());
        QTRY_VERIFY(!w.run().running());
        QVERIFY(w.cmdVerify->isEnabled() && w.cmdBack->isEnabled());
        QCOMPARE(w.lblRecordsVerified->text(), QStringLiteral("2"));
        QCOMPARE(app.ui.shown.last().title, QStringLiteral("Verified Addresses Summary"));
        QCOMPARE(shownLists, QStringList{w.run().newListPath()});
        QCOMPARE(rowsOf(w.run().newListPath(), QStringLiteral("Verify")),
                 (QStringList{"a@x.test|Exist", "b@x.test|Not in DNS"}));
    }
};

QTEST_MAIN(TestFrmVerifyList)
#include "tst_frmverifylist.moc"
