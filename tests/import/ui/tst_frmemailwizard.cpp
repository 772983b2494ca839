// The scanning wizard and its search options dialog, driven headless: captions, the page
// messages, the file buttons, the keywords emptied on page 3, Build List, Finish and leaving.

#include "core/Settings.h"
#include "import/AddrManager.h"
#include "import/ui/frmEmailWizard.h"
#include "import/ui/frmSearchOptions.h"
#include "support/TestApp.h"

#include <QCheckBox>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>

using namespace sendora;
using sendora::test::msg;
using sendora::test::TestApp;

namespace {

struct Wizard : TestApp {
    AddrManager manager{*ctx};
    Wizard() { layOut(); }
    QString file(const QString& name, const QByteArray& data) {
        QFile f(path(name));
        f.open(QIODevice::WriteOnly);
        f.write(data);
        return f.fileName();
    }
};

template <class W> W* child(QWidget& w, const char* name) {
    W* c = w.findChild<W*>(QLatin1String(name));
    if (!c) qFatal("no %s", name);
    return c;
}

void click(QWidget& w, const char* name) {
    child<QPushButton>(w, name)->click();
}

} // namespace

class TestFrmEmailWizard : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void pagesAndFileButtons();
    void buildAndFinish();
    void leaving();
    void searchOptions();
};

void TestFrmEmailWizard::pagesAndFileButtons() {
    Wizard t;
    frmEmailWizard w(*t.ctx, t.manager);
    QCOMPARE(w.windowTitle(), QString("Import Addresses from Mailbox or Text Files - Step 1 of 4"));
    QVERIFY(!child<QPushButton>(w, "cmdBack")->isEnabled());
    click(w, "cmdNext");
    QCOMPARE(w.windowTitle(), QString("Select File(s) to Scan for Addresses - Step 2 of 4"));

    // Nothing chosen: Next stays, and the file buttons say what they need.
    click(w, "cmdNext");
    click(w, "cmdView");
    click(w, "cmdOptions");
    click(w, "cmdRemove");
    const QString none = "information|OK|No file selected!|";
    QCOMPARE(t.ui.transcript(),
             (QStringList{msg("Please select at least one source file for addresses, or exit.", "information",
                              "OK", "No Source Files Selected"),
                          "message|" + none + "Please select a file to view.",
                          "message|" + none + "Please select a file whose options you wish to view.",
                          "message|" + none + "Please select a file to remove."}));
    QCOMPARE(w.page(), 2);
    t.ui.clear();

    // Chosen files take the page's type choice; the same file twice is refused.
    const QString mbox = t.file("a.mbx", "From: a@example.com\n");
    const QString text = t.file("b.txt", "b@example.com\n");
    child<QRadioButton>(w, "optMailbox")->setChecked(true);
    t.ui.files = {mbox};
    click(w, "cmdSelect");
    child<QRadioButton>(w, "optText")->setChecked(true);
    t.ui.files = {text, mbox};
    click(w, "cmdSelect");
    click(w, "cmdSelect");
    QCOMPARE(t.ui.messageTexts(), QStringList{"You have already selected this file. Please select another."});
    QCOMPARE(t.ui.shown.first().title, QString("Select source file for addresses"));
    QCOMPARE(t.manager.sources().count(), 2);
    QCOMPARE(t.manager.sources().Item(mbox)->fileType, QString("Mailbox"));
    QCOMPARE(t.manager.sources().Item(text)->fileType, QString("Text"));
    // Clicking an entry shows its type.
    auto* list = child<QListWidget>(w, "lstFiles");
    list->setCurrentRow(0);
    Q_EMIT list->itemClicked(list->item(0));
    QVERIFY(child<QRadioButton>(w, "optMailbox")->isChecked());
    list->setCurrentRow(1);
    click(w, "cmdRemove");
    QCOMPARE(t.manager.sources().count(), 1);

    // Page 3 starts the keywords afresh.
    t.ctx->settingsFile.write(kAppDefaults, "KeyCategoryVal1", "old");
    t.ctx->settingsFile.write(kAppDefaults, "KeyCategoryVal2", "old");
    click(w, "cmdNext");
    QCOMPARE(w.windowTitle(), QString("Extract Personal Names - Step 3 of 4"));
    QCOMPARE(t.ctx->settingsFile.read(kAppDefaults, "KeyCategoryVal1", "absent"), QString(""));
    QCOMPARE(t.ctx->settingsFile.read(kAppDefaults, "KeyCategoryVal2", "absent"), QString(""));
    click(w, "cmdNext");
    QCOMPARE(w.windowTitle(), QString("Extract Addresses and Build Mailing List - Step 4 of 4"));
    QVERIFY(!child<QPushButton>(w, "cmdNext")->isEnabled());
}

void TestFrmEmailWizard::buildAndFinish() {
    Wizard t;
    const QString mbox =
        t.file("a.mbx", "From: Ann Lee <ann@example.com>\nTo: x@example.com, y@example.com\n");
    t.manager.wizard = [&](AddrManager& m) {
        frmEmailWizard w(*t.ctx, m);
        t.ui.files = {mbox};
        child<QRadioButton>(w, "optMailbox")->setChecked(true);
        w.showPage(2);
        click(w, "cmdSelect");
        w.showPage(4);
        QSignalSpy done(&m, &AddrManager::buildFinished);
        click(w, "cmdBuild");
        // While building, the wizard cannot be left and Build List waits.
        if (m.building()) {
            if (child<QPushButton>(w, "cmdFinish")->isEnabled() ||
                !child<QPushButton>(w, "cmdInterrupt")->isEnabled())
                qWarning("navigation not locked");
            done.wait(10000);
        }
        if (!child<QPushButton>(w, "cmdBuild")->isEnabled() ||
            child<QPushButton>(w, "cmdInterrupt")->isEnabled())
            return false;
        if (child<QLabel>(w, "lblCount1")->text() != "Input File: " + mbox + ", Lines Processed" ||
            child<QLabel>(w, "lblCount2")->text() != "Unique Email Addresses Extracted" ||
            child<QLabel>(w, "lblCount3")->text() != "2" || child<QLabel>(w, "lblCount4")->text() != "3")
            return false;
        click(w, "cmdFinish");
        return w.result() == QDialog::Accepted;
    };
    const QString list = t.manager.NewListInitiate();
    QVERIFY(!list.isEmpty());
    QCOMPARE(t.manager.rowsStored(), 3);
    QCOMPARE(t.ui.messageTexts(), QStringList());

    // The main window's import shows the list the wizard built.
    QString shown;
    t.manager.wizard = [&](AddrManager& m) {
        m.GetTypeAndOptions(mbox, "Mailbox");
        QSignalSpy done(&m, &AddrManager::buildFinished);
        m.BuildList(false);
        return !m.building() || done.wait(10000);
    };
    ImportMailbox(*t.ctx, t.manager, [&](const QString& f) { shown = f; });
    QCOMPARE(QFileInfo(shown).fileName(), QString("NewMailingList1.mdb"));
    QCOMPARE(t.ui.messageTexts(), QStringList());
}

void TestFrmEmailWizard::leaving() {
    Wizard t;
    frmEmailWizard w(*t.ctx, t.manager);
    w.show();
    t.ui.answers = {Answer::No, Answer::Yes};
    click(w, "cmdCancel");
    QVERIFY(w.isVisible());
    w.close();
    QVERIFY(!w.isVisible());
    QCOMPARE(w.result(), int(QDialog::Rejected));
    const QString question =
        "message|question|YesNo|Sendora|Are you sure you wish to exit?  Any changes you made in "
        "the wizard will be lost\r\nUse the finish button to save modifications.";
    QCOMPARE(t.ui.transcript(), (QStringList{question, question}));
    // A wizard left without Finish hands back no list.
    t.manager.wizard = [](AddrManager&) { return false; };
    QCOMPARE(t.manager.NewListInitiate(), QString());
}

void TestFrmEmailWizard::searchOptions() {
    TestApp t;
    QVERIFY(!frmSearchOptions::edit(t.ui, nullptr));
    QCOMPARE(t.ui.messageTexts(), QStringList{"Please select a source file and then reinvoke this dialog."});

    EmailSrcFileObj entry;
    entry.fileType = "Mailbox";
    entry.searchMode = "Lines";
    entry.bccFlag = 1;
    frmSearchOptions dialog(entry);
    QCOMPARE(dialog.windowTitle(), QString("Email Address Search Options"));
    QVERIFY(child<QRadioButton>(dialog, "optLines")->isChecked());
    QVERIFY(child<QCheckBox>(dialog, "chkBcc")->isChecked());
    // "Msg" keeps the text and its flag only.
    child<QRadioButton>(dialog, "optMsg")->setChecked(true);
    child<QLineEdit>(dialog, "txtMsgText")->setText("X-Sender:");
    dialog.RememberOptions();
    QCOMPARE(entry.searchMode, QString("Msg"));
    QCOMPARE(entry.textFlag, 1);
    QCOMPARE(entry.bccFlag, 0);
    QCOMPARE(entry.userText, QString("X-Sender:"));

    // Text files are searched whole, whatever was stored.
    entry.fileType = "Text";
    frmSearchOptions text(entry);
    QVERIFY(child<QRadioButton>(text, "optAll")->isChecked());
    QVERIFY(!child<QRadioButton>(text, "optMsg")->isEnabled());
    text.RememberOptions();
    QCOMPARE(entry.searchMode, QString("All"));
    QCOMPARE(entry.textFlag, 0);
}

QTEST_MAIN(TestFrmEmailWizard)
#include "tst_frmemailwizard.moc"
