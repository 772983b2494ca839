#pragma once
// The catalogue of named objects in the system database: Sendora Groups, messages,
// address lists and delivery options. The operations here are what the open/save/delete
// dialog and the main window's commands run; they ask and tell through the UI seam and
// the window host and never touch a widget.

#include <QString>
#include <QStringList>
#include <optional>

namespace sendora {

struct AppContext;
class UserInterface;

enum class CatalogueKind { Message = 0, List = 1, DeliveryOptions = 2, Group = 3 };
enum class CatalogueOperation { Save = 0, Open = 1, Delete = 2 };
// What the save dialog reports to the window that asked for it.
enum class SaveResult { Saved = 1, Cancelled = 2, NotSaved = 3 };

struct KindColumns {
    QString table;
    QString key;
    QString description;
};
KindColumns kindColumns(CatalogueKind kind);

// Prompt above the name list; empty when the kind does not offer the operation.
QString cataloguePrompt(CatalogueKind kind, CatalogueOperation op);
QString catalogueTitle(CatalogueKind kind, CatalogueOperation op);

struct DialogButtonCaptions {
    QString ok;
    QString dontSave; // empty: no such button
    QString cancel;
};
DialogButtonCaptions catalogueButtons(CatalogueKind kind, CatalogueOperation op);

// No leading apostrophe and none of " * ? / \ | : ;
bool IsValidObjectName(const QString& name);
extern const QString kInvalidObjectNameMessage;

// Placeholder names of messages never named by the user; pickers leave them out.
inline const QString kNewMessagePrefix = QStringLiteral("%%NewMailMessage%%");

// Names of one kind in key order, as the pickers show them.
QStringList catalogueNames(AppContext& ctx, CatalogueKind kind);
QString catalogueDescription(AppContext& ctx, CatalogueKind kind, const QString& name);
bool catalogueEntryExists(AppContext& ctx, CatalogueKind kind, const QString& name);

bool isProtectedDeliveryOptions(const QString& name); // case-sensitive
bool isProtectedList(const QString& name);

// Groups.
bool CreateGroup(AppContext& ctx, const QString& name, const QString& description);
bool UpdateGroupDescription(AppContext& ctx, const QString& name, const QString& description);
// Deletes one group (after the caller asked) and its mailings.
bool DeleteGroup(AppContext& ctx, const QString& name);
// Asks once, then deletes each group; returns the number deleted.
int DeleteGroups(AppContext& ctx, const QStringList& names);

// Messages.
bool OpenMessage(AppContext& ctx, const QString& name);
bool MessageSave(AppContext& ctx, const QString& oldName, const QString& newName, const QString& description,
                 bool reopen);
bool MessageSaveAs(AppContext& ctx, const QString& oldName, const QString& newName,
                   const QString& description);
// Deletes one message row (after the caller asked), closing its editor first.
bool DeleteMessage(AppContext& ctx, const QString& name);
int DeleteMessages(AppContext& ctx, const QStringList& names);

// Delivery options.
bool NewDeliveryOptions(AppContext& ctx);
bool OpenDeliveryOptions(AppContext& ctx, const QString& name);
bool DeleteDeliveryOptions(AppContext& ctx, const QString& name);
// Refuses the protected set, asks for each other one; returns the number deleted.
int DeleteDeliveryOptionsSets(AppContext& ctx, const QStringList& names);

// Lists, through the list file operations. ShowListFromName opens a catalogued list in a
// list window and says so when its file is gone.
bool ShowListFromName(AppContext& ctx, const QString& name);
int OpenLists(AppContext& ctx, const QStringList& names);
bool SaveListAs(AppContext& ctx, const QString& sourceFile, const QString& name, const QString& description);
int DeleteLists(AppContext& ctx, const QStringList& names);

// The single-line input box: trims the answer and refuses empty text, "ID" and "ERROR"
// until the user gives another or cancels.
std::optional<QString> SDInputBox(UserInterface& ui, const QString& title, const QString& prompt,
                                  const QString& defaultText = {});

// The four chooser windows of the main window: each entry runs the main window command
// with that id. Entries that work on an open list say what to show when none is open.
enum class ChooserKind { GroupOptions, DeliveryOptions, NewList, ManageLists };
struct ChooserEntry {
    QString caption;
    QString command;
    QString refusalWithoutList; // empty: works without an open list
};
struct ChooserDefinition {
    QString objectName;
    QString caption;
    QList<ChooserEntry> entries;
};
ChooserDefinition chooserDefinition(ChooserKind kind);

// The open/save/delete dialog without its widgets: what it shows and what its buttons do.
class OpenDeleteModel {
public:
    OpenDeleteModel(AppContext& ctx, CatalogueKind kind, CatalogueOperation op);

    CatalogueKind kind() const { return m_kind; }
    CatalogueOperation operation() const { return m_op; }
    QString title() const { return catalogueTitle(m_kind, m_op); }
    QString prompt() const { return cataloguePrompt(m_kind, m_op); }
    DialogButtonCaptions buttons() const { return catalogueButtons(m_kind, m_op); }
    bool offered() const { return !prompt().isEmpty(); }
    bool showsNameBox() const { return m_op == CatalogueOperation::Save; }
    // Saving and editing a group's description let the user type one.
    bool descriptionEditable() const;
    bool multiSelect() const;

    QStringList names() const { return catalogueNames(m_ctx, m_kind); }
    QString description(const QString& name) const { return catalogueDescription(m_ctx, m_kind, name); }

    // What a save works on: the list file of the active list window, or the message's
    // current name (and whether the save copies it).
    QString sourceFile;
    QString currentName;
    bool saveAs = false;

    // The operation button. Returns true when the dialog is done, false to keep it open.
    bool accept(const QStringList& selected, const QString& typedName, const QString& description);
    // The Don't Save button.
    void dontSave() { m_result = SaveResult::NotSaved; }
    SaveResult result() const { return m_result; }
    // The name a save stored the object under.
    QString savedName() const { return m_savedName; }

private:
    bool save(const QString& name, const QString& description);

    AppContext& m_ctx;
    CatalogueKind m_kind;
    CatalogueOperation m_op;
    SaveResult m_result = SaveResult::Cancelled;
    QString m_savedName;
};

} // namespace sendora
