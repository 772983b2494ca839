#include "authoring/ui/frmMessageEdit.h"

#include "authoring/EditorRules.h"
#include "authoring/GreetingModel.h"
#include "authoring/SnippetStore.h"
#include "authoring/ui/frmMessageGreeting.h"
#include "authoring/ui/frmMessagePreview.h"
#include "authoring/ui/frmSignature.h"
#include "components/htmlcomposer/HtmlComposer.h"
#include "core/AppContext.h"
#include "core/WizardState.h"
#include "core/ui/OpenDeleteDialog.h"
#include "screens/MainWindowSettings.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QFocusEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace sendora {

namespace {

frmMessageEdit* s_renaming = nullptr;

const QList<FileFilter> kAllFiles = {{QStringLiteral("All Files (*.*)"), QStringLiteral("*.*")}};

// The merge list choice is rebuilt each time it drops down.
class DropDownCombo : public QComboBox {
public:
    using QComboBox::QComboBox;
    std::function<void()> beforePopup;
    void showPopup() override {
        if (beforePopup) beforePopup();
        QComboBox::showPopup();
    }
};

QLineEdit* lineEdit(QWidget* parent, const char* name, bool readOnly = false) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QLatin1String(name));
    edit->setReadOnly(readOnly);
    return edit;
}

QLabel* label(const QString& text, QWidget* buddy) {
    auto* l = new QLabel(text, buddy->parentWidget());
    l->setBuddy(buddy);
    return l;
}

} // namespace

frmMessageEdit::frmMessageEdit(AppContext& ctx, QWidget* parent) : QWidget(parent), m_ctx(ctx), m_store(ctx) {
    setObjectName(QStringLiteral("frmMessageEdit"));
    setMinimumSize(8750 / kTwipsPerPixel, 5500 / kTwipsPerPixel);
    buildControls();
    // The engine settles its views once before the first document comes in.
    m_composer->setSendType(HtmlComposer::HtmlAndText);
    m_composer->setInitToggle(true);
    m_composer->setInitToggle(false);
    m_composer->setSendType(HtmlComposer::TextOnly);
    // A running mailing wizard steps aside while a message is written.
    mailingWizardState().show(false);
}

frmMessageEdit::~frmMessageEdit() {
    if (s_renaming == this) s_renaming = nullptr;
    mailingWizardState().show(true);
}

void frmMessageEdit::buildControls() {
    m_from = lineEdit(this, "txtFrom");
    m_from->setToolTip(kFromFieldToolTip);
    m_subject = lineEdit(this, "txtSubject");
    m_greeting = lineEdit(this, "txtGreeting", true);
    m_to = lineEdit(this, "txtTo", true);
    m_attachments = lineEdit(this, "txtAttachments");
    m_attachments->setContextMenuPolicy(Qt::NoContextMenu);
    auto* mergeList = new DropDownCombo(this);
    mergeList->beforePopup = [this] { fillMergeListChoices(); };
    m_mergeList = mergeList;
    m_mergeList->setObjectName(QStringLiteral("cboMergeList"));
    m_mergeList->addItem(kNoList);
    m_fields = new QComboBox(this);
    m_fields->setObjectName(QStringLiteral("cboFields"));
    m_insertInto = new QComboBox(this);
    m_insertInto->setObjectName(QStringLiteral("cboInsertInto"));
    m_insertInto->addItems(insertTargetChoices());
    m_insertInto->setCurrentIndex(2);
    for (QWidget* w : {static_cast<QWidget*>(m_from), static_cast<QWidget*>(m_subject),
                       static_cast<QWidget*>(m_attachments)})
        w->installEventFilter(this);

    auto button = [this](const char* name, const QString& text, auto slot) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(QLatin1String(name));
        connect(b, &QPushButton::clicked, this, slot);
        return b;
    };
    QPushButton* insertField =
        button("cmdInsertField", tr("Insert Field"), [this] { InsertMergeFieldIntoMessage(); });
    // Clicking it must leave the caret (and selection) of the field the tag goes into alone.
    insertField->setFocusPolicy(Qt::NoFocus);

    auto* grid = new QGridLayout;
    grid->addWidget(label(tr("From:"), m_from), 0, 0);
    grid->addWidget(m_from, 0, 1);
    grid->addWidget(label(tr("Subject:"), m_subject), 0, 2);
    grid->addWidget(m_subject, 0, 3);
    grid->addWidget(label(tr("Greeting:"), m_greeting), 1, 0);
    grid->addWidget(m_greeting, 1, 1);
    grid->addWidget(label(tr("To:"), m_to), 1, 2);
    grid->addWidget(m_to, 1, 3);
    grid->addWidget(label(tr("Attachments:"), m_attachments), 2, 0);
    grid->addWidget(m_attachments, 2, 1, 1, 3);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 2);

    auto* merge = new QHBoxLayout;
    merge->addWidget(label(tr("Merge Field list:"), m_mergeList));
    merge->addWidget(m_mergeList, 2);
    merge->addWidget(label(tr("Select field:"), m_fields));
    merge->addWidget(m_fields, 2);
    merge->addWidget(label(tr("Insert field into:"), m_insertInto));
    merge->addWidget(m_insertInto, 1);
    merge->addWidget(insertField);

    m_composer = createHtmlComposer(this);
    m_composer->setObjectName(QStringLiteral("HtmlComposer"));

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(button("cmdPreview", tr("Message Preview"), [this] { MessagePreview(); }));
    m_spellCheck = button("cmdSpellCheck", tr("Spell Check"), [] {});
    m_spellCheck->setEnabled(false);
    m_spellCheck->setToolTip(tr("Spell checking is not available in this version"));
    buttons->addWidget(m_spellCheck);
    buttons->addWidget(button("cmdAttach", tr("Add File Attachment(s)"), [this] { AttachFileToMessage(); }));
    buttons->addWidget(
        button("cmdGreeting", tr("Greeting Manager"), [this] { ShowMessageGreetingManager(); }));
    buttons->addStretch(1);
    QPushButton* help = button("cmdHelp", tr("Help"), [] {});
    help->setEnabled(false);
    help->setToolTip(tr("Help is not available in this version"));
    buttons->addWidget(help);
    buttons->addWidget(button("cmdClose", tr("Close"), [this] {
        if (!refuseWhileLoading()) close();
    }));

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(merge);
    layout->addWidget(m_composer, 1);
    layout->addLayout(buttons);

    connect(m_mergeList, &QComboBox::activated, this,
            [this](int index) { chooseMergeList(m_mergeList->itemText(index)); });
    connect(m_composer, &HtmlComposer::focusEntered, this, [this] { m_insertInto->setCurrentIndex(2); });
    connect(m_composer, &HtmlComposer::addSig, this, &frmMessageEdit::addSignature);
    connect(m_composer, &HtmlComposer::addHC, this, &frmMessageEdit::addClickCode);
    connect(m_composer, &HtmlComposer::insertImageRequested, this, &frmMessageEdit::InsertImageIntoMessage);
    colourDisplay(m_greeting, false);
    colourDisplay(m_to, false);
}

// ---- the row

bool frmMessageEdit::CreateNewMessage() {
    m_skipSave = false;
    quint16 counter = 0;
    const QString name = m_store.createNewMessage(&counter);
    if (name.isEmpty()) return false;
    m_isNew = true;
    m_messageName = name;
    setWindowTitle(untitledMessageCaption(counter));
    m_composer->setSendType(HtmlComposer::HtmlOnly);
    loadScreen(false);
    if (const MailingWizardState& wizard = mailingWizardState(); wizard.running)
        prepareForWizard(wizard.listName);
    return true;
}

bool frmMessageEdit::OpenMessage(const QString& messageName, const QString& listName) {
    m_skipSave = false;
    const std::optional<MessageRecord> record = m_store.read(messageName);
    if (!record) return false;
    m_messageName = record->messageName;
    m_isNew = false;
    if (!listName.isEmpty()) m_store.writeMailingList(m_messageName, listName);
    setWindowTitle(messageName);
    loadScreen(true);
    return true;
}

void frmMessageEdit::loadScreen(bool focusBody) {
    ReadMessageTextFromDB();
    UpdateGreetingManagerState();
    if (const std::optional<MessageRecord> record = m_store.read(m_messageName)) {
        const QString choice = mergeListChoiceFor(m_ctx, record->mailingList);
        m_mergeList->clear();
        m_mergeList->addItem(kNoList);
        if (choice != kNoList) {
            m_mergeList->addItem(choice);
            m_mergeList->setCurrentIndex(1);
            const ListFields fields = mergeListFields(m_ctx, choice);
            m_mergeListOpen = fields.ok;
            showFields(fields.fields);
        }
    }
    if (focusBody) m_composer->setFocus();
}

bool frmMessageEdit::ReadMessageTextFromDB() {
    if (m_messageName.isEmpty()) return false;
    const std::optional<MessageRecord> r = m_store.read(m_messageName);
    if (!r) return false;
    m_composer->setPlainText(r->messageText);
    m_subject->setText(r->subject);
    SetToAddressField(r->greetingDisplay);
    m_attachText = r->attachments;
    m_attachments->setText(r->attachments);
    m_composer->setSendType(r->sendType);
    m_composer->setDocumentHtml(r->htmlText);
    m_from->setText(r->from);
    return true;
}

bool frmMessageEdit::WriteMessageTextToDB(const QString& messageName) {
    if (!messageName.isEmpty()) m_messageName = messageName;
    if (m_messageName.isEmpty()) return false;
    m_composer->flushDocument();
    MessageRecord r;
    r.messageName = m_messageName;
    r.subject = m_subject->text();
    r.greetingDisplay = m_to->text();
    r.attachments = m_attachText;
    r.messageText = m_composer->plainText();
    r.htmlText = m_composer->sourceIsCurrent() == 0 ? m_composer->documentHtml() : m_composer->sourceHtml();
    r.sendType = m_composer->sendType();
    r.from = m_from->text();
    return m_store.writeEditorFields(r);
}

void frmMessageEdit::DeleteMessageBeforeUnload() {
    if (!m_messageName.isEmpty() && m_store.deleteMessage(m_messageName))
        m_ctx.windows().messageCatalogueChanged(m_messageName);
    m_skipSave = true;
}

// ---- saving and closing

bool frmMessageEdit::refuseWhileLoading() {
    if (!m_composer->isLoading()) return false;
    information(kStillLoadingMessage).show(*m_ctx.ui);
    return true;
}

frmMessageEdit* frmMessageEdit::renamingEditor() {
    return s_renaming;
}

void frmMessageEdit::adoptName(const QString& name) {
    m_messageName = name;
    m_isNew = false;
    setWindowTitle(name);
}

SaveResult frmMessageEdit::runSaveDialog(bool saveAs) {
    SaveResult result = SaveResult::Cancelled;
    QString savedName;
    if (saveDialog) {
        result = saveDialog(*this, saveAs);
    } else {
        OpenDeleteModel model(m_ctx, CatalogueKind::Message, CatalogueOperation::Save);
        model.currentName = m_messageName;
        model.saveAs = saveAs;
        if (!saveAs) s_renaming = this;
        OpenDeleteDialog dialog(model, this);
        dialog.exec();
        s_renaming = nullptr;
        result = model.result();
        savedName = model.savedName();
    }
    if (result == SaveResult::Saved && !savedName.isEmpty()) {
        if (saveAs) WriteMessageTextToDB(savedName); // the copy gets what the window shows
        adoptName(savedName);
    }
    return result;
}

bool frmMessageEdit::SaveMessage() {
    if (refuseWhileLoading()) return false;
    if (m_skipSave || m_messageName.isEmpty()) return true;
    if (!m_isNew) {
        if (m_ctx.ui->message(kSaveChangesQuestion, Buttons::YesNo, Icon::Question, kSaveMessageTitle) !=
            Answer::Yes)
            m_skipSave = true;
        return true;
    }
    // The name dialog renames the placeholder row: it must hold what the window shows.
    WriteMessageTextToDB();
    const SaveResult result = runSaveDialog(false);
    m_saveResult = int(result);
    switch (result) {
    case SaveResult::Saved:
        return true;
    case SaveResult::NotSaved:
        DeleteMessageBeforeUnload();
        return true;
    case SaveResult::Cancelled:
        break;
    }
    if (closeCancelled) closeCancelled();
    return false;
}

void frmMessageEdit::saveMeAs() {
    if (refuseWhileLoading()) return;
    if (m_isNew) WriteMessageTextToDB();
    // A new message is named (its row renamed); a named one is copied and the window goes on
    // with the copy.
    m_saveResult = int(runSaveDialog(!m_isNew));
}

void frmMessageEdit::closeEvent(QCloseEvent* event) {
    if (!SaveMessage()) {
        event->ignore();
        return;
    }
    if (!m_skipSave) WriteMessageTextToDB();
    event->accept();
}

// ---- merge fields

QString frmMessageEdit::mergeListChoice() const {
    return m_mergeList->currentText().isEmpty() ? kNoList : m_mergeList->currentText();
}

QString frmMessageEdit::mergeListName() const {
    return m_mergeListOpen ? mergeListChoice() : QString();
}

bool frmMessageEdit::ListUsedInMailMergeForOpenMessage(const QString& listName) const {
    return sendora::ListUsedInMailMergeForOpenMessage(listName, m_mergeListOpen, mergeListChoice());
}

void frmMessageEdit::fillMergeListChoices() {
    const QString current = mergeListChoice();
    m_mergeList->clear();
    m_mergeList->addItems(mergeListChoices(m_ctx));
    const int at = m_mergeList->findText(current);
    m_mergeList->setCurrentIndex(at < 0 ? 0 : at);
}

void frmMessageEdit::showFields(const QStringList& fields) {
    m_fields->clear();
    m_fields->addItems(fields);
}

void frmMessageEdit::chooseMergeList(const QString& choice) {
    if (choice.isEmpty() || choice == kNoList) {
        const int at = m_mergeList->findText(kNoList);
        if (at < 0) m_mergeList->insertItem(0, kNoList);
        m_mergeList->setCurrentIndex(std::max(at, 0));
        m_mergeListOpen = false;
        showFields({});
        if (!m_messageName.isEmpty()) m_store.writeMailingList(m_messageName, QString());
        return;
    }
    const ListFields fields = mergeListFields(m_ctx, choice);
    if (!fields.ok) {
        fields.notice.show(*m_ctx.ui);
        return;
    }
    if (m_mergeList->findText(choice) < 0) m_mergeList->addItem(choice);
    m_mergeList->setCurrentIndex(m_mergeList->findText(choice));
    m_mergeListOpen = true;
    showFields(fields.fields);
    if (!m_messageName.isEmpty()) m_store.writeMailingList(m_messageName, choice);
}

void frmMessageEdit::InsertMergeFieldIntoMessage() {
    const QString field = m_fields->currentText();
    if (const Notice refusal = mergeFieldRefusal(m_composer->viewMode(), field)) {
        refusal.show(*m_ctx.ui);
        return;
    }
    const QString tag = mergeTagFor(field);
    switch (insertTargetFor(m_insertInto->currentText())) {
    case InsertTarget::Subject:
    case InsertTarget::From: {
        QLineEdit* target =
            insertTargetFor(m_insertInto->currentText()) == InsertTarget::Subject ? m_subject : m_from;
        // Leaving the field dropped its selection; the tag replaces what was selected.
        const QPair<int, int> selected = m_leftSelection.value(target, {-1, 0});
        if (!target->hasFocus() && selected.first >= 0 && selected.second > 0 &&
            selected.first + selected.second <= target->text().size())
            target->setSelection(selected.first, selected.second);
        target->insert(tag);
        m_leftSelection.remove(target);
        target->setFocus();
        break;
    }
    case InsertTarget::Body:
        if (m_composer->viewMode() == HtmlComposer::TextView)
            m_composer->insertText(tag);
        else
            m_composer->insertHtml(tag);
        m_composer->setFocus();
        break;
    }
}

// ---- files

void frmMessageEdit::AttachFileToMessage() {
    if (!RecordSetDataPresent()) {
        information(kAttachWithoutMessage).show(*m_ctx.ui);
        return;
    }
    const std::optional<QString> file = m_ctx.ui->openFileName(kAttachChooserTitle, QString(), kAllFiles);
    if (!file || file->isEmpty()) return;
    const CopiedFile copied = copyIntoAttachments(m_ctx, *file);
    if (!copied.ok()) {
        copied.notice.show(*m_ctx.ui);
        return;
    }
    const QString attachments = appendAttachment(m_attachText, copied.path);
    if (!m_store.writeAttachments(m_messageName, attachments)) return;
    m_attachText = attachments;
    m_attachments->setText(attachments);
}

void frmMessageEdit::InsertFileIntoMessage() {
    if (!RecordSetDataPresent()) {
        information(kInsertWithoutMessage).show(*m_ctx.ui);
        return;
    }
    const std::optional<QString> file = m_ctx.ui->openFileName(kInsertChooserTitle, QString(), kAllFiles);
    if (!file || file->isEmpty()) return;
    const InsertedText inserted = readFileForInsert(*file);
    if (inserted.notice) {
        inserted.notice.show(*m_ctx.ui);
        return;
    }
    if (m_composer->viewMode() == HtmlComposer::TextView)
        m_composer->insertText(inserted.text);
    else
        m_composer->insertHtml(inserted.text);
    m_composer->setFocus();
}

void frmMessageEdit::InsertImageIntoMessage() {
    if (!RecordSetDataPresent()) return;
    const std::optional<QString> file =
        m_ctx.ui->openFileName(tr("Select image to insert"), QString(),
                               {{QStringLiteral("Images (*.png *.jpg *.jpeg *.gif *.bmp)"),
                                 QStringLiteral("*.png *.jpg *.jpeg *.gif *.bmp")},
                                kAllFiles.first()});
    if (!file || file->isEmpty()) return;
    const CopiedFile copied = copyIntoAttachments(m_ctx, *file);
    if (!copied.ok()) {
        copied.notice.show(*m_ctx.ui);
        return;
    }
    m_composer->insertHtml(imageMarkup(copied.path));
    m_composer->setFocus();
}

// ---- other commands

void frmMessageEdit::MessagePreview() {
    if (refuseWhileLoading()) return;
    WriteMessageTextToDB();
    frmMessagePreview::PreviewMessage(m_ctx, m_messageName, mergeListChoice(), this);
}

void frmMessageEdit::ShowMessageGreetingManager() {
    if (!RecordSetDataPresent()) return;
    frmMessageGreeting dialog(m_ctx, this, this);
    dialog.ShowGreetingManager();
}

void frmMessageEdit::addSignature() {
    insertSnippet(true);
}

void frmMessageEdit::addClickCode() {
    insertSnippet(false);
}

void frmMessageEdit::insertSnippet(bool signature) {
    frmSnippetChooser chooser(
        m_ctx, signature ? SnippetStore::Kind::Signatures : SnippetStore::Kind::ClickCodes, this);
    if (chooser.exec() != QDialog::Accepted) return;
    QString text = chooser.chosen().text;
    if (text.isEmpty()) return;
    if (m_composer->viewMode() == HtmlComposer::TextView) {
        if (signature) text.replace(QLatin1String("<br>"), QLatin1String("\r\n"));
        m_composer->insertText(text);
    } else {
        m_composer->insertHtml(text);
    }
    m_composer->setFocus();
}

void frmMessageEdit::prepareForWizard(const QString& listName) {
    chooseMergeList(listName);
    m_composer->setPlainText(kNewMessageBodyPrompt);
    m_subject->setText(kNewMessageSubjectPrompt);
    m_subject->setFocus();
    m_subject->selectAll();
}

// ---- greeting displays

void frmMessageEdit::colourDisplay(QLineEdit* field, bool on) {
    QPalette p = field->palette();
    p.setColor(QPalette::Base, on ? palette().color(QPalette::ToolTipBase) : QColor(200, 200, 200));
    p.setColor(QPalette::Text, on ? palette().color(QPalette::ToolTipText) : palette().color(QPalette::Text));
    field->setPalette(p);
    field->setProperty("displayOn", on);
}

void frmMessageEdit::SetGreetingMgrField(const QString& text) {
    m_greeting->setText(text);
}

void frmMessageEdit::SetToAddressField(const QString& text) {
    m_to->setText(text);
    colourDisplay(m_to, !text.isEmpty());
}

bool frmMessageEdit::GreetingManagerIsEnabled() {
    const std::optional<MessageRecord> record = m_store.read(m_messageName);
    return record && greetingManagerEnabled(record->greeting);
}

void frmMessageEdit::UpdateGreetingManagerState() {
    const std::optional<MessageRecord> record = m_store.read(m_messageName);
    if (!record) return;
    SetToAddressField(toAddressDisplay(record->greeting));
    SetGreetingMgrField(greetingDisplayText(record->greeting));
    colourDisplay(m_greeting, greetingManagerEnabled(record->greeting));
}

// ---- keys, focus and the main window's commands

bool frmMessageEdit::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_attachments && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Tab || key == Qt::Key_Backtab) return false;
        if ((key == Qt::Key_Backspace || key == Qt::Key_Delete) && RecordSetDataPresent() &&
            m_store.writeAttachments(m_messageName, QString())) {
            m_attachText.clear();
            m_attachments->clear();
        }
        return true; // nothing is typed into the list
    }
    if (event->type() == QEvent::FocusIn) {
        if (watched == m_from) m_insertInto->setCurrentIndex(0);
        if (watched == m_subject) m_insertInto->setCurrentIndex(1);
        m_leftSelection.remove(static_cast<QLineEdit*>(watched));
    }
    if (event->type() == QEvent::FocusOut && (watched == m_from || watched == m_subject)) {
        auto* line = static_cast<QLineEdit*>(watched);
        m_leftSelection.insert(line, {line->selectionStart(), int(line->selectedText().size())});
    }
    if (watched == m_from && event->type() == QEvent::FocusOut && !m_checkingSender) {
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        // Switching to another window is not leaving the field.
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
            if (const Notice refusal = senderNameNotice(m_from->text())) {
                m_checkingSender = true;
                refusal.show(*m_ctx.ui);
                m_checkingSender = false;
                QTimer::singleShot(0, m_from, [from = m_from] { from->setFocus(); });
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

QLineEdit* frmMessageEdit::focusedLine() const {
    for (QLineEdit* line : {m_from, m_subject})
        if (line->hasFocus()) return line;
    return nullptr;
}

void frmMessageEdit::find(bool again, bool backwards) {
    if (!again || m_lastFind.isEmpty()) {
        const std::optional<QString> text = m_ctx.ui->inputBox(tr("Find what:"), tr("Find"), m_lastFind);
        if (!text || text->isEmpty()) return;
        m_lastFind = *text;
    }
    m_composer->find(m_lastFind, backwards);
}

bool frmMessageEdit::runCommand(CommandId id) {
    QLineEdit* line = focusedLine();
    switch (id) {
    case CommandId::EditCut:
        line ? line->cut() : m_composer->cut();
        return true;
    case CommandId::EditCopy:
        line ? line->copy() : m_composer->copy();
        return true;
    case CommandId::EditPaste:
        line ? line->paste() : m_composer->paste();
        return true;
    case CommandId::EditSelectAll:
        line ? line->selectAll() : m_composer->selectAll();
        return true;
    case CommandId::EditFind:
    case CommandId::EditReplace:
        find(false, false);
        return true;
    case CommandId::EditFindNext:
    case CommandId::EditFindPrevious:
        find(true, id == CommandId::EditFindPrevious);
        return true;
    case CommandId::FileSave:
        WriteMessageTextToDB();
        return true;
    case CommandId::MessageToolsMessagePreview:
        MessagePreview();
        return true;
    case CommandId::MessageToolsInsertFile:
        InsertFileIntoMessage();
        return true;
    case CommandId::MessageToolsInsertAttachment:
        AttachFileToMessage();
        return true;
    case CommandId::MessageToolsGreetingManager:
        ShowMessageGreetingManager();
        return true;
    default:
        return false; // spelling stays with the later spelling engine
    }
}

std::function<QWidget*(const QString& messageName)>
messageEditorMaker(AppContext& ctx, std::function<void(frmMessageEdit&)> setup) {
    return [&ctx, setup](const QString& messageName) -> QWidget* {
        // A new message just named by its own editor reopens there, not in a second window.
        if (frmMessageEdit* renaming = frmMessageEdit::renamingEditor(); renaming && !messageName.isEmpty()) {
            renaming->adoptName(messageName);
            return nullptr;
        }
        auto* editor = new frmMessageEdit(ctx);
        if (setup) setup(*editor);
        const bool ok = messageName.isEmpty() ? editor->CreateNewMessage() : editor->OpenMessage(messageName);
        if (!ok) {
            delete editor;
            return nullptr;
        }
        return editor;
    };
}

} // namespace sendora
