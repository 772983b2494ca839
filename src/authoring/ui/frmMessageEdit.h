#pragma once
// frmMessageEdit: one message in a child window of the main window. The body is the HTML
// composer; the rules (sender name, merge fields, attachments, copying files) and the
// row's reads and writes live in the authoring library, the window only holds its state.

#include "authoring/MessageStore.h"
#include "core/Catalogue.h"
#include "screens/ui/MdiChild.h"

#include <QHash>
#include <QWidget>
#include <functional>

class QComboBox;
class QLineEdit;
class QPushButton;

namespace sendora {

struct AppContext;
class HtmlComposer;

class frmMessageEdit : public QWidget, public MdiChild {
    Q_OBJECT
public:
    explicit frmMessageEdit(AppContext& ctx, QWidget* parent = nullptr);
    ~frmMessageEdit() override;

    // Plugged in by the main window (and tests).
    std::function<void()> closeCancelled; // stops an application exit
    // The catalogue's save dialog for this message; the default shows frmOpenDelete.
    std::function<SaveResult(frmMessageEdit& window, bool saveAs)> saveDialog;

    // Public operations.
    bool CreateNewMessage();
    bool OpenMessage(const QString& messageName, const QString& listName = {});
    // The save step of a close request; false keeps the window open.
    bool SaveMessage();
    bool WriteMessageTextToDB(const QString& messageName = {});
    bool ReadMessageTextFromDB();
    void DeleteMessageBeforeUnload();
    void cancelSave() override { m_skipSave = true; }
    QString GetCurrentMessage() const { return m_messageName; }
    bool isNewMessage() const { return m_isNew; }
    int saveResult() const { return m_saveResult; }

    void InsertMergeFieldIntoMessage();
    void AttachFileToMessage();
    void InsertFileIntoMessage();
    void InsertImageIntoMessage();
    void MessagePreview();
    void ShowMessageGreetingManager();
    // The composer's signature and click-code requests.
    void addSignature();
    void addClickCode();

    // Merge list choice ("<no list>" or a list name), as if the user picked it.
    void chooseMergeList(const QString& choice);
    QString mergeListChoice() const;
    bool ListUsedInMailMergeForOpenMessage(const QString& listName) const;

    // While the mailing wizard runs: the wizard's list and the two prompts in place.
    void prepareForWizard(const QString& listName);

    // The displays the greeting manager keeps.
    void SetGreetingMgrField(const QString& text);
    void EnableGreetingMgrField() { colourDisplay(m_greeting, true); }
    void DisableGreetingMgrField() { colourDisplay(m_greeting, false); }
    bool GreetingManagerIsEnabled();
    void SetToAddressField(const QString& text);
    void EnableToAddressField() { colourDisplay(m_to, true); }
    void DisableToAddressrField() { colourDisplay(m_to, false); }
    // Recomputes both displays from the stored greeting settings.
    void UpdateGreetingManagerState();

    bool RecordSetDataPresent() const { return !m_messageName.isEmpty(); }
    HtmlComposer* composer() const { return m_composer; }

    // MdiChild.
    ActiveChild childKind() const override { return ActiveChild::Message; }
    QString childName() const override { return windowTitle(); }
    QString mergeListName() const override;
    bool runCommand(CommandId id) override;
    void saveMeAs() override;

    // The editor that is saving a new message under a name: the catalogue reopens the
    // renamed message, and that editor takes the name instead of a second window opening.
    static frmMessageEdit* renamingEditor();
    void adoptName(const QString& name);

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void loadScreen(bool focusBody);
    void fillMergeListChoices();
    void showFields(const QStringList& fields);
    void colourDisplay(QLineEdit* field, bool on);
    bool refuseWhileLoading();
    SaveResult runSaveDialog(bool saveAs);
    void insertSnippet(bool signature);
    void find(bool again, bool backwards);
    QLineEdit* focusedLine() const;

    AppContext& m_ctx;
    MessageStore m_store;
    HtmlComposer* m_composer = nullptr;
    QLineEdit* m_from = nullptr;
    QLineEdit* m_subject = nullptr;
    QLineEdit* m_greeting = nullptr;
    QLineEdit* m_to = nullptr;
    QLineEdit* m_attachments = nullptr;
    QComboBox* m_mergeList = nullptr;
    QComboBox* m_fields = nullptr;
    QComboBox* m_insertInto = nullptr;
    QPushButton* m_spellCheck = nullptr;

    QString m_messageName; // the row this window edits
    QString m_attachText;  // the Attachments column as stored
    bool m_isNew = false;  // never named by the user ("Untitled")
    bool m_skipSave = false;
    bool m_mergeListOpen = false;
    bool m_checkingSender = false;
    int m_saveResult = 0;
    QString m_lastFind;
    QHash<QLineEdit*, QPair<int, int>> m_leftSelection; // start, length when the field lost focus
};

// The main window's maker for message editors: an empty name starts a new message.
std::function<QWidget*(const QString& messageName)>
messageEditorMaker(AppContext& ctx, std::function<void(frmMessageEdit&)> setup = {});

} // namespace sendora
