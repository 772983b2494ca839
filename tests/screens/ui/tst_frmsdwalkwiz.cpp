// The mailing wizard in the real main window, headless: from an empty catalogue through a
// blank list saved with Save & Return, a new message named in its editor and the default
// delivery options to a mailing that Sendora Central shows, with every message of the
// pages; and the exit question.

#include "WhenModal.h"
#include "authoring/ui/frmMessageEdit.h"
#include "components/htmlcomposer/HtmlComposer.h"
#include "components/jet/Jet.h"
#include "core/Catalogue.h"
#include "core/WizardState.h"
#include "lists/ui/frmList.h"
#include "screens/ui/MdiMain.h"
#include "screens/ui/frmSDCentral.h"
#include "screens/ui/frmSDWalkWiz.h"
#include "support/DbQuery.h"
#include "support/TestApp.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

using namespace sendora;
using sendora::test::msg;
using sendora::test::TestApp;
using sendora::test::whenModal;

namespace {

struct Main {
    TestApp app;
    std::unique_ptr<MdiMain> window;

    Main() {
        app.start();
        window = std::make_unique<MdiMain>(*app.ctx);
        app.ctx->host = window.get();
        AppContext& ctx = *app.ctx;
        ChildWindowMakers makers;
        makers.mailingCentre = mailingCentreMaker(ctx);
        // The catalogue's save dialogs answer with fixed names.
        makers.listWindow = listWindowMaker(ctx, [&ctx](frmList& list) {
            list.saveDialog = [&ctx](frmList& w, bool) {
                return SaveListAs(ctx, w.listFile(), QStringLiteral("Customers"), QStringLiteral("buyers"))
                           ? SaveResult::Saved
                           : SaveResult::Cancelled;
            };
        });
        makers.messageEditor = messageEditorMaker(ctx, [&ctx](frmMessageEdit& editor) {
            editor.saveDialog = [&ctx](frmMessageEdit& e, bool) {
                return MessageSave(ctx, e.GetCurrentMessage(), QStringLiteral("Hello"), QString(), true)
                           ? SaveResult::Saved
                           : SaveResult::Cancelled;
            };
        });
        window->setChildWindowMakers(makers);
        window->show();
    }
    ~Main() {
        if (frmSDWalkWiz* w = frmSDWalkWiz::current()) delete w;
    }
    frmSDWalkWiz* wizard() const { return frmSDWalkWiz::current(); }
    template <typename T = QWidget> T* w(const char* name) const {
        T* widget = wizard()->findChild<T*>(QLatin1String(name));
        if (!widget) qFatal("no widget %s", name);
        return widget;
    }
    QString step() const { return w<QLabel>("lblStep")->text(); }
    void click(const char* name) { w<QAbstractButton>(name)->click(); }
    template <typename T> T* child() const {
        QMdiSubWindow* sub = window->findChild<QMdiArea*>()->activeSubWindow();
        return sub ? qobject_cast<T*>(sub->widget()) : nullptr;
    }
    QVariant scalar(const QString& sql) const { return test::scalar(app.ctx->paths.systemDatabase(), sql); }
};

QString info(const QString& text) {
    return msg(text);
}

} // namespace

class TestFrmSDWalkWiz : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void walksFromAnEmptyCatalogueToAPreparedMailing() {
        Main m;
        QVERIFY(m.scalar("SELECT Count(*) FROM MailEvent").toInt() == 0);
        // Save & Return only while the wizard runs, also on a list window opened before it.
        m.window->runCommand(CommandId::CreateBlankList);
        frmList* before = m.child<frmList>();
        QVERIFY(before);
        QVERIFY(before->findChild<QPushButton*>("cmdSaveReturn")->isHidden());

        QCOMPARE(m.window->runCommand(CommandId::SDWiz), CommandResult::Ran);
        QVERIFY(!before->findChild<QPushButton*>("cmdSaveReturn")->isHidden());
        before->saveDialog = [](frmList&, bool) { return SaveResult::NotSaved; };
        before->parentWidget()->close();
        QVERIFY(m.wizard() && m.wizard()->isVisible());
        QVERIFY(mailingWizardState().running);
        QCOMPARE(m.wizard()->windowTitle(), QStringLiteral("Create a Sendora Mailing"));
        QCOMPARE(m.step(), QStringLiteral("Welcome - Step 1 of 9"));
        m.click("cmdNext");
        m.click("cmdNext");
        m.click("optNewGroup");
        m.click("cmdNext");
        m.w<QLineEdit>("txtGroupName")->setText("Spring");
        m.w<QLineEdit>("txtGroupDescription")->setText("Spring news");
        m.click("cmdNext");
        QCOMPARE(m.step(), QStringLiteral("Mailing List - Step 3 of 9"));

        // A blank list: the wizard steps aside until Save & Return.
        m.click("cmdNext");
        m.click("optNewList");
        m.click("optBlankList");
        m.click("cmdNext");
        QVERIFY(!m.wizard()->isVisible());
        frmList* list = m.child<frmList>();
        QVERIFY(list);
        auto* saveReturn = list->findChild<QPushButton*>("cmdSaveReturn");
        QVERIFY(!saveReturn->isHidden());
        jet::Database::open(list->listFile())
            ->execute("INSERT INTO AddressList (EAddress) VALUES (\"ann@example.com\")", true);
        list->reloadList();
        saveReturn->click();
        QVERIFY(QTest::qWaitFor([&m] { return m.wizard()->isVisible(); }, 5000));
        QCOMPARE(m.step(), QStringLiteral("Mailing List - Step 4 of 9"));
        QCOMPARE(m.w<QLabel>("lblListResult")->text(), QStringLiteral("Customers"));
        m.click("cmdNext");

        // A new message: prompts and the wizard's list; named when its editor closes.
        m.click("cmdNext");
        m.click("optNewMessage");
        QVERIFY(!m.wizard()->isVisible());
        auto* editor = m.child<frmMessageEdit>();
        QVERIFY(editor);
        QCOMPARE(editor->findChild<QLineEdit*>("txtSubject")->text(),
                 QStringLiteral("[Enter the subject of your new message here.]"));
        QCOMPARE(editor->composer()->plainText(),
                 QStringLiteral("[Enter the text of your new message here.]"));
        QCOMPARE(editor->mergeListChoice(), QStringLiteral("Customers"));
        editor->parentWidget()->close();
        QVERIFY(QTest::qWaitFor([&m] { return m.wizard()->isVisible(); }, 5000));
        m.click("cmdNext");
        QCOMPARE(m.w<QLabel>("lblMessageResult")->text(), QStringLiteral("Hello"));
        m.click("cmdNext");

        // The default delivery options, after the note.
        m.click("cmdNext");
        m.w<QComboBox>("cboOptions")->setCurrentText("Default Delivery Options");
        m.app.ui.answers = {Answer::Cancel, Answer::OK};
        m.click("cmdNext");
        QCOMPARE(m.step(), QStringLiteral("Delivery Options - Step 7 of 9"));
        m.click("cmdNext");
        QCOMPARE(m.w<QLabel>("lblOptionsResult")->text(), QStringLiteral("Default Delivery Options"));
        m.click("cmdNext");
        QCOMPARE(m.step(), QStringLiteral("Finish - Step 9 of 9"));
        QVERIFY(m.w<QCheckBox>("chkShowCentral")->isChecked());
        // Send now: the send screen comes up through Sendora Central's checks.
        m.click("optSendNow");
        QString sendScreen;
        whenModal([&sendScreen](QDialog* d) {
            sendScreen = d->objectName();
            d->close();
        });
        m.click("cmdFinish");
        QCOMPARE(sendScreen, QStringLiteral("frmSendMail"));

        QCOMPARE(m.app.ui.transcript(),
                 (QStringList{info("Please select a Sendora or create a new Sendora"),
                              info("Please supply a Sendora name or select an existing Sendora"),
                              info("Please select an Address List."),
                              info("Please select or create and name a new message"),
                              info("Please select or create a mailing options set"),
                              msg("Using Default Delivery Options", "information", "OKCancel"),
                              msg("Using Default Delivery Options", "information", "OKCancel")}));
        QVERIFY(QTest::qWaitFor([&m] { return m.wizard() == nullptr; }, 5000));
        QVERIFY(!mailingWizardState().running);
        QCOMPARE(m.scalar("SELECT SendoraDescription FROM Sendora WHERE SendoraName = \"Spring\"").toString(),
                 QStringLiteral("Spring news"));
        QCOMPARE(
            m.scalar("SELECT ListName & \"|\" & MessageName & \"|\" & Profile FROM MailEvent").toString(),
            QStringLiteral("Customers|Hello|Default Delivery Options"));
        frmSDCentral* centre = m.window->mailingCentre();
        QVERIFY(centre && centre->isVisible());
        QVERIFY(centre->selectedRow() > 0);
        QCOMPARE(centre->outline().rowInfo(centre->selectedRow()).name, QStringLiteral("Hello"));

        // Afterwards, lists and messages are ordinary again.
        const auto saveReturns = m.window->findChildren<QPushButton*>("cmdSaveReturn"); // the saved list
        QVERIFY(!saveReturns.isEmpty());
        for (QPushButton* b : saveReturns)
            QVERIFY(b->isHidden());
        m.window->runCommand(CommandId::FileNewMessage);
        QVERIFY(m.child<frmMessageEdit>()->findChild<QLineEdit*>("txtSubject")->text().isEmpty());
    }

    void closingAsksFirstAndEndsTheRun() {
        Main m;
        m.window->runCommand(CommandId::SDWiz);
        m.app.ui.answers = {Answer::No, Answer::Yes};
        m.wizard()->close();
        QVERIFY(m.wizard()->isVisible() && mailingWizardState().running);
        // A second start brings the open wizard forward.
        m.window->runCommand(CommandId::SDWiz);
        m.click("cmdCancel");
        QVERIFY(QTest::qWaitFor([&m] { return m.wizard() == nullptr; }, 5000));
        QVERIFY(!mailingWizardState().running);
        QCOMPARE(m.app.ui.shown.size(), 2);
        QVERIFY(m.app.ui.shown[0].text.startsWith("Are you sure you wish to exit?  Any changes you made"));
    }
};

QTEST_MAIN(TestFrmSDWalkWiz)
#include "tst_frmsdwalkwiz.moc"
