// The message windows headless, on the plain composer: the editor in the main window (new
// and opened messages, one window per message, closing with and without a name), its
// fields and commands with their exact messages, the greeting manager and the preview.

#include "authoring/EditorRules.h"
#include "authoring/GreetingModel.h"
#include "authoring/MessagePreview.h"
#include "authoring/MessageStore.h"
#include "authoring/ui/frmMessageEdit.h"
#include "authoring/ui/frmMessageGreeting.h"
#include "authoring/ui/frmMessagePreview.h"
#include "authoring/ui/frmSignature.h"
#include "components/htmlcomposer/HtmlComposer.h"
#include "components/jet/Jet.h"
#include "screens/ui/MdiMain.h"
#include "screens/ui/WhenModal.h"
#include "support/MailingFixture.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

using namespace sendora;
using sendora::test::MailingFixture;
using sendora::test::msg;
using sendora::test::whenModal;

namespace {

const QString kQuestion =
    QStringLiteral("message|question|YesNo|Save Message|Would you like to save your changes");

template <typename T = QLineEdit> T* child(QWidget& w, const char* name) {
    T* c = w.findChild<T*>(QLatin1String(name));
    if (!c) qFatal("no child %s", name);
    return c;
}

struct Fixture : MailingFixture {
    Fixture() {
        resetNewMessageCounterForTesting();
        makeList(QStringLiteral("Customers"), {"b@example.com", "a@example.com", "c@example.com"});
        message(QStringLiteral("Spring"), QStringLiteral("Spring offers"), 1);
    }
    AppContext& ctx() { return *app.ctx; }
    void message(const QString& name, const QString& subject, int sendType, const QString& list = {}) {
        execute(QStringLiteral(
                    "INSERT INTO Message (MessageName, Subject, [From], SendType, HTMLText, MessageText, "
                    "MailingList) VALUES(%1, %2, \"Quillmark\", %3, \"<p>Hi [[FirstName]]</p>\", "
                    "\"Hi [[FirstName]]\", %4)")
                    .arg(jet::quote(name), jet::quote(subject))
                    .arg(sendType)
                    .arg(jet::quote(list)));
    }
    MessageRecord row(const QString& name) {
        const std::optional<MessageRecord> r = MessageStore(ctx()).read(name);
        if (!r) qFatal("no message row %s", qPrintable(name));
        return *r;
    }
    bool exists(const QString& name) { return MessageStore(ctx()).exists(name); }
    QString file(const QString& name, const QByteArray& bytes) {
        const QString path = app.path(name);
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly)) qFatal("cannot write %s", qPrintable(path));
        f.write(bytes);
        return path;
    }
    QStringList transcript() { return app.ui.transcript(); }
};

// The real main window with the real editor maker.
struct Main {
    Fixture f;
    MdiMain window{f.ctx()};
    Main() {
        f.ctx().host = &window;
        ChildWindowMakers makers;
        makers.messageEditor = messageEditorMaker(f.ctx(), [this](frmMessageEdit& e) {
            e.closeCancelled = [this] { window.setCloseCancelled(); };
        });
        window.setChildWindowMakers(makers);
        window.show();
    }
    QMdiArea* area() { return window.findChild<QMdiArea*>(); }
    frmMessageEdit* active() {
        QMdiSubWindow* w = area()->activeSubWindow();
        return w ? qobject_cast<frmMessageEdit*>(w->widget()) : nullptr;
    }
    int editors() { return int(area()->subWindowList().size()); }
};

// Runs f on the modal dialog of that object name once it is the active one.
void whenDialog(const QString& name, std::function<void(QDialog*)> f, int tries = 500) {
    QTimer::singleShot(10, qApp, [=] {
        auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (d && d->objectName() == name)
            f(d);
        else if (tries > 0)
            whenDialog(name, f, tries - 1);
    });
}

void nameInSaveDialog(const QString& name) {
    whenDialog(QStringLiteral("frmOpenDelete"), [name](QDialog* d) {
        child(*d, "txtName")->setText(name);
        child<QPushButton>(*d, "cmdOK")->click();
    });
}

} // namespace

class TestMessageWindows : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void newAndOpenedMessagesInTheMainWindow() {
        Main m;
        QCOMPARE(m.window.runCommand(CommandId::FileNewMessage), CommandResult::Ran);
        frmMessageEdit* first = m.active();
        QCOMPARE(m.window.runCommand(CommandId::FileNewMessage), CommandResult::Ran);
        frmMessageEdit* second = m.active();
        QVERIFY(first && second && first != second);
        QCOMPARE(first->windowTitle(), QStringLiteral("Untitled Message 1"));
        QCOMPARE(second->windowTitle(), QStringLiteral("Untitled Message 2"));
        QVERIFY(isPlaceholderMessageName(first->GetCurrentMessage()));
        QVERIFY(first->GetCurrentMessage() != second->GetCurrentMessage());
        QVERIFY(m.f.exists(first->GetCurrentMessage()) && m.f.exists(second->GetCurrentMessage()));
        QVERIFY(m.window.action(kMessageToolsMenu)->isEnabled());
        QVERIFY(first->minimumWidth() == 583 && first->minimumHeight() == 366);

        // Opening a message twice brings its one editor forward.
        QVERIFY(m.window.openMessageWindow(QStringLiteral("Spring")));
        frmMessageEdit* spring = m.active();
        QCOMPARE(spring->windowTitle(), QStringLiteral("Spring"));
        QCOMPARE(child(*spring, "txtSubject")->text(), QStringLiteral("Spring offers"));
        QCOMPARE(child(*spring, "txtFrom")->text(), QStringLiteral("Quillmark"));
        m.area()->setActiveSubWindow(m.area()->subWindowList().first());
        QVERIFY(m.window.openMessageWindow(QStringLiteral("Spring")));
        QCOMPARE(m.editors(), 3);
        QCOMPARE(m.active(), spring);

        // Deleting a message closes its editor without asking to save it.
        QVERIFY(DeleteMessage(m.f.ctx(), QStringLiteral("Spring")));
        QTRY_COMPARE(m.editors(), 2);
        QVERIFY(m.f.transcript().isEmpty());
        QVERIFY(!m.f.exists(QStringLiteral("Spring")));
    }

    void closingANewMessage() {
        Main m;
        // Cancel in the name dialog keeps the editor open and stops an exit.
        m.window.runCommand(CommandId::FileNewMessage);
        frmMessageEdit* editor = m.active();
        const QString placeholder = editor->GetCurrentMessage();
        child(*editor, "txtSubject")->setText(QStringLiteral("Autumn news"));
        whenModal([](QDialog* d) { child<QPushButton>(*d, "cmdCancel")->click(); });
        QVERIFY(!m.window.close());
        QCOMPARE(m.editors(), 1);
        QCOMPARE(editor->saveResult(), int(SaveResult::Cancelled));
        QVERIFY(m.f.exists(placeholder));

        // A name renames the row, which holds what the window showed; no second editor opens.
        whenModal([](QDialog* d) {
            child(*d, "txtName")->setText(QStringLiteral("Autumn"));
            child<QPushButton>(*d, "cmdOK")->click();
        });
        QVERIFY(m.area()->activeSubWindow()->close());
        QTRY_COMPARE(m.editors(), 0);
        QVERIFY(!m.f.exists(placeholder));
        QCOMPARE(m.f.row("Autumn").subject, QStringLiteral("Autumn news"));

        // Don't Save removes the row.
        m.window.runCommand(CommandId::FileNewMessage);
        const QString another = m.active()->GetCurrentMessage();
        whenModal([](QDialog* d) { child<QPushButton>(*d, "cmdDontSave")->click(); });
        QVERIFY(m.area()->activeSubWindow()->close());
        QTRY_COMPARE(m.editors(), 0);
        QVERIFY(!m.f.exists(another));
        QVERIFY(m.f.transcript().isEmpty());
    }

    void savingAndEditingFromTheMainWindow() {
        Main m;
        m.window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&m.window));
        m.window.runCommand(CommandId::FileNewMessage);
        frmMessageEdit* editor = m.active();
        const QString placeholder = editor->GetCurrentMessage();
        QLineEdit* subject = child(*editor, "txtSubject");
        subject->setText(QStringLiteral("Draft"));
        // Save on an untitled message names it; the editor goes on under the name.
        nameInSaveDialog(QStringLiteral("Draft One"));
        m.window.runCommand(CommandId::FileSave);
        QCOMPARE(m.editors(), 1);
        QCOMPARE(editor->windowTitle(), QStringLiteral("Draft One"));
        QVERIFY(!editor->isNewMessage() && !m.f.exists(placeholder));
        QCOMPARE(m.f.row("Draft One").subject, QStringLiteral("Draft"));
        subject->setText(QStringLiteral("Draft 2"));
        m.window.runCommand(CommandId::FileSave);
        QCOMPARE(m.f.row("Draft One").subject, QStringLiteral("Draft 2"));
        // Save As copies: the copy gets what the window shows, the original stays as stored.
        subject->setText(QStringLiteral("Draft 3"));
        nameInSaveDialog(QStringLiteral("Draft Two"));
        m.window.runCommand(CommandId::FileSaveAs);
        QCOMPARE(editor->windowTitle(), QStringLiteral("Draft Two"));
        QCOMPARE(m.f.row("Draft Two").subject, QStringLiteral("Draft 3"));
        QCOMPARE(m.f.row("Draft One").subject, QStringLiteral("Draft 2"));
        QVERIFY(m.window.openMessageWindow(QStringLiteral("Draft Two")));
        QCOMPARE(m.editors(), 1);

        // The Edit menu works on the focused field, else on the body.
        m.window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&m.window));
        subject->setFocus();
        QTRY_VERIFY(subject->hasFocus());
        m.window.runCommand(CommandId::EditSelectAll);
        m.window.runCommand(CommandId::EditCut);
        QCOMPARE(subject->text(), QString());
        m.window.runCommand(CommandId::EditPaste);
        QCOMPARE(subject->text(), QStringLiteral("Draft 3"));
        m.f.app.ui.inputs = {QStringLiteral("Hi")};
        m.window.runCommand(CommandId::EditFind);
        QCOMPARE(m.f.transcript(), QStringList{"input|none|OKCancel|Find|Find what:"});
        // Hide Messages hides every editor; the command then shows them again.
        m.window.runCommand(CommandId::WindowHideMessages);
        QVERIFY(!m.area()->subWindowList().first()->isVisible());
        QCOMPARE(m.window.action(CommandId::WindowHideMessages)->text(), QStringLiteral("Show Messages"));
        m.window.runCommand(CommandId::WindowHideMessages);
        QVERIFY(m.area()->subWindowList().first()->isVisible());
    }

    void signaturesAndButtonCodes() {
        Fixture f;
        frmMessageEdit editor(f.ctx());
        QVERIFY(editor.OpenMessage(QStringLiteral("Spring")));
        // The composer asks for a signature: the chooser's Add... opens the signature editor,
        // which refuses an empty description; the new entry is inserted into the body.
        whenDialog(QStringLiteral("frmSnippetChooser"), [](QDialog* chooser) {
            whenDialog(QStringLiteral("frmSignature"), [chooser](QDialog* d) {
                auto* editorDialog = static_cast<SnippetEditor*>(d);
                editorDialog->setTexts(QString(), QStringLiteral("Ann"));
                QVERIFY(!editorDialog->pressOk());
                editorDialog->setTexts(QStringLiteral("Regards"), QStringLiteral("Ann\nQuillmark"));
                whenDialog(QStringLiteral("frmSnippetChooser"),
                           [](QDialog* c) { child<QPushButton>(*c, "cmdInsert")->click(); });
                QVERIFY(editorDialog->pressOk());
                Q_UNUSED(chooser);
            });
            child<QPushButton>(*chooser, "cmdAdd")->click();
        });
        editor.composer()->setViewMode(HtmlComposer::SourceView); // inserted as written
        Q_EMIT editor.composer()->addSig();
        QCOMPARE(f.transcript(), QStringList{msg("Please enter a valid description.")});
        QVERIFY(editor.composer()->sourceHtml().contains(QLatin1String("Ann<br>Quillmark")));

        // Button codes: a used description is refused with its own message.
        f.app.ui.clear();
        SnippetStore codes(f.ctx(), SnippetStore::Kind::ClickCodes);
        QVERIFY(!codes.add(QStringLiteral("Chat"), QStringLiteral("<a href=\"x\">Chat</a>")));
        frmHumanClick click(f.ctx());
        click.setTexts(QStringLiteral("Chat"), QStringLiteral("<b>other</b>"));
        QVERIFY(!click.pressOk());
        click.setTexts(QStringLiteral("Help"), QString());
        QVERIFY(!click.pressOk());
        QCOMPARE(f.transcript(), (QStringList{msg("A profile with the description of Chat already exists."),
                                              msg("Please enter a valid button code entry.")}));
        frmSnippetChooser chooser(f.ctx(), SnippetStore::Kind::ClickCodes);
        QCOMPARE(chooser.entries()->count(), 1);
        chooser.choose();
        QCOMPARE(chooser.chosen().text, QStringLiteral("<a href=\"x\">Chat</a>"));
    }

    void closingAnOpenedMessageAsks() {
        Fixture f;
        for (Answer answer : {Answer::No, Answer::Yes}) {
            frmMessageEdit editor(f.ctx());
            QVERIFY(editor.OpenMessage(QStringLiteral("Spring")));
            child(editor, "txtSubject")->setText(QStringLiteral("Changed"));
            editor.composer()->setDocumentHtml(QStringLiteral("<p>changed</p>"));
            f.app.ui.answers = {answer};
            QVERIFY(editor.close());
            QCOMPARE(f.transcript(), QStringList{kQuestion});
            f.app.ui.clear();
            const MessageRecord r = f.row(QStringLiteral("Spring"));
            QCOMPARE(r.subject,
                     answer == Answer::No ? QStringLiteral("Spring offers") : QStringLiteral("Changed"));
            QCOMPARE(r.htmlText, answer == Answer::No ? QStringLiteral("<p>Hi [[FirstName]]</p>")
                                                      : QStringLiteral("<p>changed</p>"));
        }
        // Without a message row the file commands refuse.
        frmMessageEdit empty(f.ctx());
        empty.AttachFileToMessage();
        empty.InsertFileIntoMessage();
        QCOMPARE(f.transcript(),
                 (QStringList{msg("Cannot attach a file.  Please create or open a message first."),
                              msg("Cannot insert text file into a message.  Please create or open "
                                  "a message first.")}));
    }

    void senderNameRefusesAnAddress() {
        Fixture f;
        frmMessageEdit editor(f.ctx());
        QVERIFY(editor.CreateNewMessage());
        editor.show();
        editor.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&editor));
        QLineEdit* from = child(editor, "txtFrom");
        QLineEdit* subject = child(editor, "txtSubject");
        QCOMPARE(from->toolTip(),
                 QStringLiteral("Enter the Name of the Person or Company message is from. *DO NOT "
                                "enter an Email Address."));
        auto leaveFrom = [&](const QString& text) {
            from->setFocus();
            QTRY_VERIFY(from->hasFocus());
            from->setText(text);
            subject->setFocus();
            QTest::qWait(20);
        };
        leaveFrom(QStringLiteral("Morgan Tallis, Quillmark, Inc."));
        QVERIFY(f.transcript().isEmpty());
        QVERIFY(subject->hasFocus());
        QCOMPARE(child<QComboBox>(editor, "cboInsertInto")->currentText(), QStringLiteral("Subject Field"));

        leaveFrom(QStringLiteral("ann@example.com"));
        QCOMPARE(f.transcript(),
                 QStringList{msg("Email Addresses are not allowed in this field.  It is used to "
                                 "indicate a name of a sender, (eg. Morgan Tallis, Quillmark, Inc.)")});
        QTRY_VERIFY(from->hasFocus());
        QCOMPARE(from->text(), QStringLiteral("ann@example.com"));
        QCOMPARE(child<QComboBox>(editor, "cboInsertInto")->currentText(), QStringLiteral("From Field"));
    }

    void mergeFieldsAndTheMergeList() {
        Fixture f;
        frmMessageEdit editor(f.ctx());
        QVERIFY(editor.OpenMessage(QStringLiteral("Spring")));
        QLineEdit* subject = child(editor, "txtSubject");
        HtmlComposer* body = editor.composer();
        const QString html = body->sourceHtml();
        auto cboInsertInto = child<QComboBox>(editor, "cboInsertInto");

        // No list chosen: refused, nothing changes.
        QCOMPARE(editor.mergeListChoice(), QStringLiteral("<no list>"));
        editor.InsertMergeFieldIntoMessage();
        // A list: its fields in table order; stored as the message's list.
        editor.chooseMergeList(QStringLiteral("Customers"));
        QCOMPARE(f.row("Spring").mailingList, QStringLiteral("Customers"));
        QCOMPARE(editor.mergeListName(), QStringLiteral("Customers"));
        QVERIFY(editor.ListUsedInMailMergeForOpenMessage(QStringLiteral("Customers")));
        auto fields = child<QComboBox>(editor, "cboFields");
        QCOMPARE(fields->itemText(0), QStringLiteral("EAddress"));
        QCOMPARE(fields->itemText(fields->count() - 1), QStringLiteral("Company"));
        fields->setCurrentText(QStringLiteral("FirstName"));
        // The HTML source view takes no field.
        body->setViewMode(HtmlComposer::SourceView);
        editor.InsertMergeFieldIntoMessage();
        QCOMPARE(f.transcript(),
                 (QStringList{
                     msg("A field can not be inserted until both a mailing list and a field are Selected."),
                     msg("You cannot insert a merge field into the source view window, please go to the "
                         "WYSIWYG window to perform this operation.")}));
        QCOMPARE(body->sourceHtml(), html);
        QCOMPARE(subject->text(), QStringLiteral("Spring offers"));

        // Into the subject (chosen by its focus), replacing the selection it had when the
        // user went on to pick the field.
        body->setViewMode(HtmlComposer::DesignView);
        editor.show();
        editor.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&editor));
        subject->setFocus();
        QTRY_VERIFY(subject->hasFocus());
        subject->setSelection(7, 6); // "offers"
        fields->setFocus();
        QTRY_VERIFY(fields->hasFocus());
        QCOMPARE(cboInsertInto->currentText(), QStringLiteral("Subject Field"));
        editor.InsertMergeFieldIntoMessage();
        QCOMPARE(subject->text(), QStringLiteral("Spring [[FirstName]]"));
        // Into the plain-text body at its caret.
        body->setViewMode(HtmlComposer::TextView);
        cboInsertInto->setCurrentText(QStringLiteral("Message Body"));
        editor.InsertMergeFieldIntoMessage();
        QVERIFY(body->plainText().contains(QLatin1String("[[FirstName]]Hi [[FirstName]]")) ||
                body->plainText().contains(QLatin1String("Hi [[FirstName]][[FirstName]]")));

        // The drop-down offers "<no list>" and every list; "<no list>" empties the stored list.
        f.makeList(QStringLiteral("Members"), {"m@example.com"});
        auto lists = child<QComboBox>(editor, "cboMergeList");
        lists->showPopup();
        lists->hidePopup();
        QCOMPARE(lists->itemText(0), QStringLiteral("<no list>"));
        QCOMPARE(lists->itemText(lists->count() - 1), QStringLiteral("Members"));
        QVERIFY(lists->findText(QStringLiteral("Global Remove List")) > 0);
        QCOMPARE(lists->currentText(), QStringLiteral("Customers"));
        editor.chooseMergeList(QStringLiteral("<no list>"));
        QCOMPARE(f.row("Spring").mailingList, QString());
        QCOMPARE(fields->count(), 0);
        QCOMPARE(editor.mergeListName(), QString());
    }

    void attachmentsAreCopiedListedAndClearedAtOnce() {
        Fixture f;
        frmMessageEdit editor(f.ctx());
        QVERIFY(editor.OpenMessage(QStringLiteral("Spring")));
        f.app.ui.files = {f.file("report.pdf", "pdf"), f.file("price list.txt", "prices")};
        editor.AttachFileToMessage();
        editor.AttachFileToMessage();
        const QString a = QDir(f.ctx().paths.attach).filePath("report.pdf");
        const QString b = QDir(f.ctx().paths.attach).filePath("price list.txt");
        QCOMPARE(f.row("Spring").attachments, a + "; " + b + ";");
        QLineEdit* field = child(editor, "txtAttachments");
        QCOMPARE(field->text(), a + "; " + b + ";");
        QVERIFY(QFile::exists(a) && QFile::exists(b));
        QCOMPARE(f.transcript(), (QStringList{"open|none|OKCancel|Select file to attach|",
                                              "open|none|OKCancel|Select file to attach|"}));
        // Typing changes nothing; Backspace clears every attachment.
        QTest::keyClick(field, Qt::Key_X);
        QCOMPARE(field->text(), a + "; " + b + ";");
        QTest::keyClick(field, Qt::Key_Backspace);
        QCOMPARE(field->text(), QString());
        QCOMPARE(f.row("Spring").attachments, QString());

        // Inserting a file puts its text at the caret; a missing file is said.
        f.app.ui.clear();
        f.app.ui.files = {f.file("note.txt", "Thanks for reading"), f.app.path("gone.txt")};
        editor.composer()->setViewMode(HtmlComposer::TextView);
        editor.InsertFileIntoMessage();
        QVERIFY(editor.composer()->plainText().contains(QLatin1String("Thanks for reading")));
        editor.InsertFileIntoMessage();
        QCOMPARE(f.app.ui.messageTexts(), QStringList{"Cannot insert the file '" + f.app.path("gone.txt") +
                                                      "' into this message.  The file could not be found."});
    }

    void greetingManager() {
        Fixture f;
        frmMessageEdit editor(f.ctx());
        QVERIFY(editor.CreateNewMessage());
        const QString name = editor.GetCurrentMessage();
        frmMessageGreeting dialog(f.ctx(), &editor);
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Greeting Manager"));
        auto* personal = child<QCheckBox>(dialog, "chkPersonalAddress");
        auto* group = child<QCheckBox>(dialog, "chkGroupAddress");
        QLineEdit* groupText = child(dialog, "txtGroupAddress");
        // A new message's defaults.
        QVERIFY(personal->isChecked() && !group->isChecked() && !groupText->isEnabled());
        QVERIFY(child<QRadioButton>(dialog, "optNoSalutation")->isChecked());
        QCOMPARE(child(dialog, "txtPrefix")->text(), QStringLiteral("Dear"));
        QCOMPARE(child(dialog, "txtPunctuation")->text(), QStringLiteral(","));
        QVERIFY(!child(dialog, "txtPrefix")->isEnabled());
        QVERIFY(child<HtmlView>(dialog, "htmlGreeting")
                    ->shownHtml()
                    .contains(QLatin1String("{Prefix} {Salutation}")));

        // A personal salutation with a name part turns the editor's greeting display on.
        child<QRadioButton>(dialog, "optPersonalSalutation")->click();
        QVERIFY(child<QCheckBox>(dialog, "chkUseGreetingManager")->isChecked());
        QVERIFY(child(editor, "txtGreeting")->property("displayOn").toBool());
        QVERIFY(child(dialog, "txtPrefix")->isEnabled());

        // Group address: the two boxes exclude each other; OK without the text refuses.
        group->click();
        QVERIFY(!personal->isChecked() && groupText->isEnabled());
        QVERIFY(!dialog.pressOk());
        QCOMPARE(
            f.transcript(),
            QStringList{msg("The Group Address option has been selected, but is missing an address.  Please "
                            "enter this value or use the Personalized Address instead.",
                            "exclamation")});
        QVERIFY(dialog.result() != QDialog::Accepted);
        personal->click();
        QVERIFY(group->isChecked() == false && !groupText->isEnabled());
        group->click();
        QTest::keyClicks(groupText, QStringLiteral("Weekly News Subscriber"));

        // Font... restyles one part of the template; a second choice replaces the first.
        QFont font(QStringLiteral("Serif"), 14);
        dialog.fontChooser = [&font](const QFont&) { return std::optional<QFont>(font); };
        dialog.chooseFont();
        font.setBold(true);
        dialog.chooseFont();
        QCOMPARE(dialog.greetingTemplate(),
                 QStringLiteral(
                     "<span style=\"font-family:'Serif'; font-size:14pt; font-weight:bold\">{Prefix}</span> "
                     "{Salutation}"));

        QVERIFY(dialog.pressOk());
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        const MessageRecord r = f.row(name);
        QCOMPARE(r.greeting.addressType.toInt(), 0);
        QCOMPARE(r.greeting.greetingType.toInt(), 1);
        QCOMPARE(r.greeting.groupAddress.toString(), QStringLiteral("Weekly News Subscriber"));
        QCOMPARE(r.greeting.htmlGreeting.toString(), dialog.greetingTemplate());
        QCOMPARE(r.greetingDisplay, QStringLiteral("Weekly News Subscriber"));
        QCOMPARE(child(editor, "txtTo")->text(), QStringLiteral("Weekly News Subscriber"));
        QCOMPARE(child(editor, "txtGreeting")->text(), QStringLiteral("Dear [[FirstName]] [[LastName]],"));
        QVERIFY(editor.GreetingManagerIsEnabled());
    }

    void previewStepsThroughTheList() {
        Fixture f;
        f.message(QStringLiteral("Text"), QStringLiteral("Plain"), 0, QStringLiteral("Customers"));
        f.message(QStringLiteral("Both"), QStringLiteral("Both [[FirstName]]"), 2,
                  QStringLiteral("Customers"));
        QWidget parent;
        struct Case {
            const char* message;
            bool text, html;
            int first;
        };
        for (const Case& c :
             {Case{"Spring", false, true, 1}, Case{"Text", true, false, 0}, Case{"Both", true, true, 0}}) {
            frmMessagePreview* p = frmMessagePreview::PreviewMessage(f.ctx(), QLatin1String(c.message),
                                                                     QStringLiteral("Customers"), &parent);
            QVERIFY2(p, qPrintable(f.transcript().join('\n')));
            QCOMPARE(p->windowTitle(), QStringLiteral("Preview Message: ") + QLatin1String(c.message));
            QCOMPARE(p->tabs()->isTabEnabled(0), c.text);
            QCOMPARE(p->tabs()->isTabEnabled(1), c.html);
            QCOMPARE(p->tabs()->currentIndex(), c.first);
            p->close();
        }
        frmMessagePreview* p = frmMessagePreview::PreviewMessage(f.ctx(), QStringLiteral("Both"),
                                                                 QStringLiteral("Customers"), &parent);
        QVERIFY(p);
        // Ordered by address; Previous on the first and Next on the last change nothing.
        QCOMPARE(p->counterText(), QStringLiteral("1 of 3"));
        QVERIFY(p->toText().contains(QLatin1String("a@example.com")));
        QCOMPARE(p->subjectText(), QStringLiteral("Both F1"));
        child<QPushButton>(*p, "cmdPrevious")->click();
        QCOMPARE(p->counterText(), QStringLiteral("1 of 3"));
        child<QPushButton>(*p, "cmdNext")->click();
        child<QPushButton>(*p, "cmdNext")->click();
        QCOMPARE(p->counterText(), QStringLiteral("3 of 3"));
        QVERIFY(p->toText().contains(QLatin1String("c@example.com")));
        QVERIFY(p->plainText().contains(QLatin1String("Hi F2")));
        child<QPushButton>(*p, "cmdNext")->click();
        QCOMPARE(p->counterText(), QStringLiteral("3 of 3"));
        QVERIFY(f.transcript().isEmpty());
        p->close();

        // Refusals open nothing.
        f.makeList(QStringLiteral("Nobody"), {});
        QVERIFY(!frmMessagePreview::PreviewMessage(f.ctx(), QStringLiteral("Both"),
                                                   QStringLiteral("<no list>"), &parent));
        QVERIFY(!frmMessagePreview::PreviewMessage(f.ctx(), QStringLiteral("Both"), QStringLiteral("Nobody"),
                                                   &parent));
        QCOMPARE(f.transcript(), (QStringList{msg("Please choose a valid list."),
                                              msg("There are no addresses to preview this message with.")}));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(parent.findChildren<frmMessagePreview*>().size(), 0);
    }
};

QTEST_MAIN(TestMessageWindows)
#include "tst_messagewindows.moc"
