#pragma once
// The main window's command set: every tool id with its caption, menu, shortcut, icon and
// what it does, the list bar items, and the rules that enable and disable them.

#include <QHash>
#include <QString>
#include <QStringList>
#include <optional>
#include <span>

namespace sendora {

// What a command needs in order to run. A command whose feature is not available is
// shown disabled, with its description as the tool tip.
enum class Feature : unsigned {
    Always = 0,
    ListWindow = 1u << 0,
    MessageEditor = 1u << 1,
    MailingCentre = 1u << 2,
    DeliveryWizard = 1u << 3,
    MailingWizard = 1u << 4,
    Configuration = 1u << 5,
    Imports = 1u << 6,
    PopTools = 1u << 7,
    ListOperations = 1u << 8,
    Verification = 1u << 9,
    DirectSend = 1u << 10,
    SpellChecker = 1u << 11,
    Help = 1u << 12,
    Never = 1u << 31, // kept for its place in the menus only
};
using Features = unsigned;
constexpr Features operator|(Feature a, Feature b) {
    return unsigned(a) | unsigned(b);
}
constexpr Features operator|(Features a, Feature b) {
    return a | unsigned(b);
}

// Every command the main window runs. Dispatch goes by this id; the "id_..." names are
// only the stable names that menus, tool bars, the list bar, choosers and settings use.
enum class CommandId {
    FileNew,
    FileNewList,
    FileNewMessage,
    FileNewSendoraSetup,
    NewSD,
    FileOpen,
    FileOpenList,
    FileOpenMessage,
    FileOpenSendoraSetup,
    OpenSD,
    FileDelete,
    FileDeleteList,
    FileDeleteMessage,
    FileDeleteSendoraSetup,
    DeleteSD,
    FileClose,
    FileCloseAll,
    FileSave,
    FileSaveAs,
    FileSendSendora,
    Options,
    FileExit,
    EditCut,
    EditCopy,
    EditPaste,
    EditSelectAll,
    EditFind,
    EditReplace,
    EditFindNext,
    EditFindPrevious,
    EditDeleteRecord,
    EditCheckSpelling,
    ToolsImportMailbox,
    ToolsImportContactDatabase,
    ToolsImportEPSFile,
    ToolsMergeLists,
    ToolsCleanList,
    ToolsFindDuplicates,
    ToolsFilter,
    ToolsExportList,
    MessageToolsSpellCheck,
    MessageToolsMessagePreview,
    MessageToolsInsertFile,
    MessageToolsInsertAttachment,
    MessageToolsGreetingManager,
    MessageToolsDeleteMessage,
    SDCentral,
    SDWiz,
    WindowTileHorizontally,
    WindowTileVertically,
    WindowCascade,
    WindowArrangeIcons,
    WindowHideLists,
    WindowHideMessages,
    WindowShowListbar,
    WindowHideListbar,
    HelpSendoraHelp,
    HelpGettingStarted,
    HelpAboutSendora,
    ImportDatabaseServer,
    ImportPOPAccount,
    CreateBlankList,
    ToolsGlobalRemove,
    ToolsVerifyList,
    ToolsDirectSendFailures,
    ToolsSubscriptionManager,
    ToolsReturnedMail,
    ChooseManageLists,
    ChooseDeliveryOptions,
    ChooseGroups,
    Count // not a command
};
constexpr int kCommandCount = int(CommandId::Count);

// What became of a command handed to the main window.
enum class CommandResult {
    Ran,         // dispatched to its action
    Unavailable, // known, but disabled or not built in this version
    Refused,     // the window limit refused it (the user was told)
    Unknown,     // no command has that name
};

enum class Menu {
    None,
    File,
    FileNew,
    FileOpen,
    FileDelete,
    Edit,
    ListTools,
    ListImport,
    MessageTools,
    Sendora,
    Window,
    Help
};

struct Command {
    CommandId key;
    const char* id;
    const char* caption;
    Menu menu;
    const char* shortcut; // QKeySequence text, empty for none
    const char* icon;     // icon key, empty for none
    Feature feature;
    const char* description; // status tip; the tool tip while the command is not available
    bool separatorBefore = false;
};

std::span<const Command> commands();
const Command* findCommand(const QString& id);
const Command* findCommand(CommandId key);
// The id of a stable name ("id_FileNewList", the chooser ids below), or nothing.
std::optional<CommandId> commandIdOf(const QString& name);
QString commandName(CommandId key);

// Menus that are switched as a whole: "&Edit", "&List Tools", "&Message Tools".
inline const QString kEditMenu = QStringLiteral("id_Edit");
inline const QString kListToolsMenu = QStringLiteral("id_Tools");
inline const QString kMessageToolsMenu = QStringLiteral("id_MessageTools");
inline const QString kListToolbar = QStringLiteral("tbListTools");
inline const QString kWindowList = QStringLiteral("id_WindowList");

struct ListbarItem {
    const char* group;
    const char* caption;
    const char* tip;
    const char* command; // a command id, or one of the chooser ids below
    const char* icon;
};
std::span<const ListbarItem> listbarItems();
QStringList defaultListbarOrder(); // "Mailing Lists", "Messages", "Sendoras"

// Commands that create or open a list or message window and so respect the window limit;
// the value tells whether the command opens (true) or creates (false).
bool countsAgainstWindowLimit(CommandId id, bool* opens = nullptr);

// ---- enable matrix

enum class ActiveChild { None, MailingCentre, List, Message };

struct ToolContext {
    int listWindows = 0;
    int messageWindows = 0;
    ActiveChild active = ActiveChild::None;
    bool busy = false;      // a long operation holds the commands that open further windows
    Features available = 0; // features that exist in this build
};

// Enabled state of every command id, the three menus, the list toolbar and the window list.
QHash<QString, bool> toolStates(const ToolContext& context);
bool featureAvailable(Feature feature, Features available);

} // namespace sendora
