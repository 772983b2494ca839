#include "screens/Commands.h"

namespace sendora {

namespace {

using F = Feature;
using M = Menu;

// Menu order is table order.
const Command kCommands[] = {
    {"id_FileNew", "&New", M::File, "", "new", F::Always,
     "Create a new list, message, set of delivery options or group"},
    {"id_FileNewList", "New &List", M::FileNew, "Ctrl+Shift+N", "newlist", F::Always,
     "Create a new mailing list, empty or by importing addresses"},
    {"id_FileNewMessage", "New &Message", M::FileNew, "Ctrl+N", "newmessage", F::MessageEditor,
     "Write a new message in the message editor"},
    {"id_FileNewSendoraSetup", "New Delivery &Options", M::FileNew, "", "options", F::DeliveryWizard,
     "Create a new set of delivery options with the delivery options wizard"},
    {"id_NewSD", "New &Sendora Group", M::FileNew, "", "group", F::Always, "Create a new Sendora Group"},
    {"id_FileOpen", "&Open", M::File, "", "open", F::Always,
     "Open a list, message, set of delivery options or group"},
    {"id_FileOpenList", "Open &List", M::FileOpen, "Ctrl+Shift+O", "openlist", F::ListWindow,
     "Open an existing mailing list in a list window"},
    {"id_FileOpenMessage", "Open &Message", M::FileOpen, "Ctrl+O", "openmessage", F::MessageEditor,
     "Open an existing message in the message editor"},
    {"id_FileOpenSendoraSetup", "Open Delivery &Options", M::FileOpen, "", "options", F::DeliveryWizard,
     "Edit a set of delivery options with the delivery options wizard"},
    {"id_OpenSD", "Edit &Sendora Group", M::FileOpen, "", "group", F::Always,
     "Edit the description of a Sendora Group"},
    {"id_FileDelete", "&Delete", M::File, "", "delete", F::Always,
     "Delete a list, message, set of delivery options or group"},
    {"id_FileDeleteList", "Delete &List", M::FileDelete, "", "deletelist", F::Always,
     "Delete mailing lists and their files"},
    {"id_FileDeleteMessage", "Delete &Message", M::FileDelete, "", "deletemessage", F::Always,
     "Delete messages"},
    {"id_FileDeleteSendoraSetup", "Delete Delivery &Options", M::FileDelete, "", "options", F::Always,
     "Delete sets of delivery options"},
    {"id_DeleteSD", "Delete &Sendora Group", M::FileDelete, "", "group", F::Always,
     "Delete Sendora Groups and their mailings"},
    {"id_FileClose", "&Close", M::File, "Ctrl+W", "", F::Always, "Close the active window", true},
    {"id_FileCloseAll", "Clos&e All", M::File, "Ctrl+Shift+W", "", F::Always,
     "Close every list and message window"},
    {"id_FileSave", "Save", M::File, "Ctrl+S", "save", F::Always, "Save the active list or message", true},
    {"id_FileSaveAs", "Save &As", M::File, "Ctrl+Shift+S", "saveas", F::Always,
     "Save the active list or message under a new name"},
    {"id_FileSendSendora", "Sen&d Mailing", M::File, "", "send", F::MailingCentre,
     "Send the mailing selected in Sendora Central", true},
    {"ID_Options", "&Options...", M::File, "", "settings", F::Configuration,
     "Change the mail server, sender and other settings"},
    {"id_FileExit", "E&xit", M::File, "Ctrl+Q", "exit", F::Always, "Close Sendora", true},

    {"id_EditCut", "Cu&t", M::Edit, "Ctrl+X", "cut", F::Always, "Cut the selection"},
    {"id_EditCopy", "&Copy", M::Edit, "Ctrl+C", "copy", F::Always, "Copy the selection"},
    {"id_EditPaste", "&Paste", M::Edit, "Ctrl+V", "paste", F::Always, "Paste"},
    {"id_EditSelectAll", "Select &All", M::Edit, "Ctrl+A", "", F::Always, "Select everything"},
    {"id_EditFind", "&Find/Replace", M::Edit, "Ctrl+F", "find", F::Always, "Find and replace text", true},
    {"id_EditReplace", "&Replace", M::Edit, "Ctrl+H", "", F::Always, "Replace text"},
    {"id_EditFindNext", "Find &Next", M::Edit, "F3", "", F::Always, "Find the next match"},
    {"id_EditFindPrevious", "Find Pre&vious", M::Edit, "Shift+F3", "", F::Always, "Find the previous match"},
    {"id_EditDeleteRecord", "&Delete Record", M::Edit, "", "", F::ListWindow,
     "Delete the selected rows of the list", true},
    {"id_EditCheckSpelling", "Check Spelling", M::Edit, "F7", "", F::SpellChecker,
     "Check the spelling of the message"},

    {"id_ToolsImportMailbox", "Mailbox", M::ListImport, "", "", F::Imports,
     "Build a list from the addresses found in a mailbox or text file"},
    {"id_ToolsImportContactDatabase", "Contact Database", M::ListImport, "", "", F::Imports,
     "Build a list from a contact manager's database"},
    {"id_ToolsImportEPSFile", "Sendora 1.0 (EPS) File", M::ListImport, "", "", F::Never,
     "Files of Sendora 1.0 are not imported"},
    {"id_ToolsMergeLists", "&Merge Lists", M::ListTools, "", "merge", F::ListOperations,
     "Merge several lists into one", true},
    {"id_ToolsCleanList", "&Clean List", M::ListTools, "", "clean", F::ListOperations,
     "Remove from a list the addresses found in another"},
    {"id_ToolsFindDuplicates", "&Find Duplicates", M::ListTools, "", "duplicates", F::ListOperations,
     "Find addresses that appear more than once"},
    {"id_ToolsFilter", "&Select From List", M::ListTools, "", "filter", F::ListOperations,
     "Select records of a list by criteria"},
    {"id_ToolsExportList", "&Export List", M::ListTools, "", "export", F::ListOperations,
     "Export the list to a text file"},

    {"id_MessageToolsSpellCheck", "Check &Spelling", M::MessageTools, "", "", F::SpellChecker,
     "Check the spelling of the message"},
    {"id_MessageToolsMessagePreview", "Message Pre&view", M::MessageTools, "", "", F::MessageEditor,
     "Preview the message as a recipient sees it"},
    {"id_MessageToolsInsertFile", "Insert &File", M::MessageTools, "", "", F::MessageEditor,
     "Insert the contents of a file into the message"},
    {"id_MessageToolsInsertAttachment", "Insert &Attachment", M::MessageTools, "", "", F::MessageEditor,
     "Attach a file to the message"},
    {"id_MessageToolsGreetingManager", "&Greeting Manager", M::MessageTools, "", "", F::MessageEditor,
     "Set up the personal greeting of the message"},
    {"id_MessageToolsDeleteMessage", "&Delete Message", M::MessageTools, "", "", F::Always, "Delete messages",
     true},

    {"id_SDCentral", "&Sendora Central", M::Sendora, "Ctrl+1", "central", F::MailingCentre,
     "Prepare and send mailings in Sendora Central"},
    {"id_SDWiz", "Sendora &Wizard", M::Sendora, "Ctrl+2", "wizard", F::MailingWizard,
     "Prepare a mailing step by step with the Sendora Wizard"},

    {"id_WindowTileHorizontally", "Tile &Horizontally", M::Window, "", "", F::Always,
     "Tile the windows one above the other"},
    {"id_WindowTileVertically", "Tile &Vertically", M::Window, "", "", F::Always,
     "Tile the windows side by side"},
    {"id_WindowCascade", "&Cascade", M::Window, "", "", F::Always, "Cascade the windows"},
    {"id_WindowArrangeIcons", "&Arrange Icons", M::Window, "", "", F::Always,
     "Line up the minimised windows"},
    {"id_WindowHideLists", "Hide Lists", M::Window, "", "", F::Always, "Hide or show every list window",
     true},
    {"id_WindowHideMessages", "Hide Messages", M::Window, "", "", F::Always,
     "Hide or show every message window"},
    {"id_WindowShowListbar", "Show Listbar", M::Window, "", "", F::Always, "Show the list bar", true},
    {"id_WindowHideListbar", "Toggle listbar view", M::Window, "F8", "", F::Always,
     "Show or hide the list bar"},

    {"id_HelpSendoraHelp", "Sendora Help", M::Help, "F1", "help", F::Help, "Open the Sendora manual"},
    {"ID_HelpGettingStarted", "Getting Started", M::Help, "", "", F::Help,
     "Open the getting-started topic of the manual"},
    {"id_HelpAboutSendora", "About Sendora", M::Help, "", "about", F::Always, "Version of Sendora", true},

    // Run from the chooser windows only.
    {"id_ImportDatabaseServer", "Import from a database server", M::None, "", "", F::Imports,
     "Build a list from a table on a database server"},
    {"id_ImportPOPAccount", "Import from a POP account", M::None, "", "", F::PopTools,
     "Build a list from the mail waiting in a POP account"},
    {"id_CreateBlankList", "Create a blank list", M::None, "", "", F::ListWindow,
     "Start an empty list in a list window"},
    {"id_ToolsGlobalRemove", "Global Remove", M::None, "", "", F::ListOperations,
     "Remove the addresses of the Global Remove List from the open lists"},
    {"id_ToolsVerifyList", "Verification of List", M::None, "", "", F::Verification,
     "Check the addresses of a list against DNS and mail servers"},
    {"id_ToolsDirectSendFailures", "Direct Send Failure Manager", M::None, "", "", F::DirectSend,
     "Remove the addresses that failed in direct send"},
    {"id_ToolsSubscriptionManager", "Subscription Manager", M::None, "", "", F::PopTools,
     "Add and remove subscribers by the subject of their mail"},
    {"id_ToolsReturnedMail", "Returned Mail Manager", M::None, "", "", F::PopTools,
     "Remove undeliverable addresses found in a POP mailbox"},
};

const ListbarItem kListbar[] = {
    {"Mailing Lists", "New list", "", "id_FileNewList", "newlist"},
    {"Mailing Lists", "Open existing list", "", "id_FileOpenList", "openlist"},
    {"Mailing Lists", "Manage lists", "Provides access to an assortment of List Management Tools",
     "id_ChooseManageLists", "managelists"},
    {"Mailing Lists", "Delete list", "", "id_FileDeleteList", "deletelist"},
    {"Messages", "New Message", "Create a new message", "id_FileNewMessage", "newmessage"},
    {"Messages", "Open existing message", "Open an existing message", "id_FileOpenMessage", "openmessage"},
    {"Messages", "Delete Message", "Delete an existing message", "id_FileDeleteMessage", "deletemessage"},
    {"Sendoras", "Sendora Wizard", "Create a new Sendora", "id_SDWiz", "wizard"},
    {"Sendoras", "Sendora Central", "View and send Sendoras", "id_SDCentral", "central"},
    {"Sendoras", "Sendora Delivery Options", "Create, edit or delete Sendora mailing options",
     "id_ChooseDeliveryOptions", "options"},
    {"Sendoras", "Sendora Groups", "Create, edit or delete Sendora management", "id_ChooseGroups", "group"},
};

bool is(const QString& id, std::initializer_list<const char*> ids) {
    for (const char* one : ids)
        if (id == QLatin1String(one)) return true;
    return false;
}

} // namespace

std::span<const Command> commands() {
    return kCommands;
}

const Command* findCommand(const QString& id) {
    for (const Command& c : kCommands)
        if (id == QLatin1String(c.id)) return &c;
    return nullptr;
}

std::span<const ListbarItem> listbarItems() {
    return kListbar;
}

QStringList defaultListbarOrder() {
    return {QStringLiteral("Mailing Lists"), QStringLiteral("Messages"), QStringLiteral("Sendoras")};
}

bool countsAgainstWindowLimit(const QString& id, bool* opens) {
    const bool opening = is(id, {"id_FileOpenList", "id_FileOpenMessage"});
    if (opens) *opens = opening;
    return opening || is(id, {"id_FileNewList", "id_FileNewMessage", "id_CreateBlankList"});
}

bool featureAvailable(Feature feature, Features available) {
    if (feature == Feature::Always) return true;
    if (feature == Feature::Never) return false;
    return (available & unsigned(feature)) != 0;
}

QHash<QString, bool> toolStates(const ToolContext& c) {
    const bool anyChild = c.listWindows + c.messageWindows > 0;
    const bool editing = c.active == ActiveChild::List || c.active == ActiveChild::Message;
    const bool listActive = c.active == ActiveChild::List;
    const bool messageActive = c.active == ActiveChild::Message;
    // With a message editor in front the list tools stand aside; otherwise any open list
    // keeps them (a list window behind the mailing centre is still a list to work on).
    const bool listTools = c.listWindows > 0 && !messageActive;

    QHash<QString, bool> states;
    for (const Command& cmd : kCommands) {
        const QString id = QLatin1String(cmd.id);
        bool on = true;
        switch (cmd.menu) {
        case Menu::Edit:
            on = editing;
            break;
        case Menu::ListTools:
            on = listTools;
            break;
        case Menu::MessageTools:
            on = messageActive;
            break;
        default:
            break;
        }
        if (is(id, {"id_FileClose", "id_FileCloseAll", "id_FileSave", "id_FileSaveAs"}))
            on = anyChild && (id == QLatin1String("id_FileCloseAll") || editing);
        else if (id == QLatin1String("id_EditDeleteRecord"))
            on = listActive;
        else if (id == QLatin1String("id_EditCheckSpelling"))
            on = messageActive;
        else if (id == QLatin1String("id_WindowHideLists"))
            on = c.listWindows > 0;
        else if (id == QLatin1String("id_WindowHideMessages"))
            on = c.messageWindows > 0;
        else if (is(id, {"id_WindowTileHorizontally", "id_WindowTileVertically", "id_WindowCascade",
                         "id_WindowArrangeIcons"}))
            on = anyChild || c.active == ActiveChild::MailingCentre;
        if (c.busy && is(id, {"id_FileNew", "id_FileOpen", "id_FileDelete", "id_SDCentral", "id_SDWiz"}))
            on = false;
        states.insert(id, on && featureAvailable(cmd.feature, c.available));
    }
    states.insert(kEditMenu, anyChild && editing);
    states.insert(kListToolsMenu, listTools);
    states.insert(kListToolbar, listTools);
    states.insert(kMessageToolsMenu, messageActive);
    states.insert(kWindowList, !c.busy);
    return states;
}

} // namespace sendora
