#include "screens/Commands.h"

#include <algorithm>

namespace sendora {

namespace {

using C = CommandId;
using F = Feature;
using M = Menu;

// Menu order is table order.
const Command kCommands[] = {
    {C::FileNew, "id_FileNew", "&New", M::File, "", "new", F::Always,
     "Create a new list, message, set of delivery options or group"},
    {C::FileNewList, "id_FileNewList", "New &List", M::FileNew, "Ctrl+Shift+N", "newlist", F::Always,
     "Create a new mailing list, empty or by importing addresses"},
    {C::FileNewMessage, "id_FileNewMessage", "New &Message", M::FileNew, "Ctrl+N", "newmessage",
     F::MessageEditor, "Write a new message in the message editor"},
    {C::FileNewSendoraSetup, "id_FileNewSendoraSetup", "New Delivery &Options", M::FileNew, "", "options",
     F::DeliveryWizard, "Create a new set of delivery options with the delivery options wizard"},
    {C::NewSD, "id_NewSD", "New &Sendora Group", M::FileNew, "", "group", F::Always,
     "Create a new Sendora Group"},
    {C::FileOpen, "id_FileOpen", "&Open", M::File, "", "open", F::Always,
     "Open a list, message, set of delivery options or group"},
    {C::FileOpenList, "id_FileOpenList", "Open &List", M::FileOpen, "Ctrl+Shift+O", "openlist", F::ListWindow,
     "Open an existing mailing list in a list window"},
    {C::FileOpenMessage, "id_FileOpenMessage", "Open &Message", M::FileOpen, "Ctrl+O", "openmessage",
     F::MessageEditor, "Open an existing message in the message editor"},
    {C::FileOpenSendoraSetup, "id_FileOpenSendoraSetup", "Open Delivery &Options", M::FileOpen, "", "options",
     F::DeliveryWizard, "Edit a set of delivery options with the delivery options wizard"},
    {C::OpenSD, "id_OpenSD", "Edit &Sendora Group", M::FileOpen, "", "group", F::Always,
     "Edit the description of a Sendora Group"},
    {C::FileDelete, "id_FileDelete", "&Delete", M::File, "", "delete", F::Always,
     "Delete a list, message, set of delivery options or group"},
    {C::FileDeleteList, "id_FileDeleteList", "Delete &List", M::FileDelete, "", "deletelist", F::Always,
     "Delete mailing lists and their files"},
    {C::FileDeleteMessage, "id_FileDeleteMessage", "Delete &Message", M::FileDelete, "", "deletemessage",
     F::Always, "Delete messages"},
    {C::FileDeleteSendoraSetup, "id_FileDeleteSendoraSetup", "Delete Delivery &Options", M::FileDelete, "",
     "options", F::Always, "Delete sets of delivery options"},
    {C::DeleteSD, "id_DeleteSD", "Delete &Sendora Group", M::FileDelete, "", "group", F::Always,
     "Delete Sendora Groups and their mailings"},
    {C::FileClose, "id_FileClose", "&Close", M::File, "Ctrl+W", "", F::Always, "Close the active window",
     true},
    {C::FileCloseAll, "id_FileCloseAll", "Clos&e All", M::File, "Ctrl+Shift+W", "", F::Always,
     "Close every list and message window"},
    {C::FileSave, "id_FileSave", "Save", M::File, "Ctrl+S", "save", F::Always,
     "Save the active list or message", true},
    {C::FileSaveAs, "id_FileSaveAs", "Save &As", M::File, "Ctrl+Shift+S", "saveas", F::Always,
     "Save the active list or message under a new name"},
    {C::FileSendSendora, "id_FileSendSendora", "Sen&d Mailing", M::File, "", "send", F::MailingCentre,
     "Send the mailing selected in Sendora Central", true},
    {C::Options, "ID_Options", "&Options...", M::File, "", "settings", F::Configuration,
     "Change the mail server, sender and other settings"},
    {C::FileExit, "id_FileExit", "E&xit", M::File, "Ctrl+Q", "exit", F::Always, "Close Sendora", true},

    {C::EditCut, "id_EditCut", "Cu&t", M::Edit, "Ctrl+X", "cut", F::Always, "Cut the selection"},
    {C::EditCopy, "id_EditCopy", "&Copy", M::Edit, "Ctrl+C", "copy", F::Always, "Copy the selection"},
    {C::EditPaste, "id_EditPaste", "&Paste", M::Edit, "Ctrl+V", "paste", F::Always, "Paste"},
    {C::EditSelectAll, "id_EditSelectAll", "Select &All", M::Edit, "Ctrl+A", "", F::Always,
     "Select everything"},
    {C::EditFind, "id_EditFind", "&Find/Replace", M::Edit, "Ctrl+F", "find", F::Always,
     "Find and replace text", true},
    {C::EditReplace, "id_EditReplace", "&Replace", M::Edit, "Ctrl+H", "", F::Always, "Replace text"},
    {C::EditFindNext, "id_EditFindNext", "Find &Next", M::Edit, "F3", "", F::Always, "Find the next match"},
    {C::EditFindPrevious, "id_EditFindPrevious", "Find Pre&vious", M::Edit, "Shift+F3", "", F::Always,
     "Find the previous match"},
    {C::EditDeleteRecord, "id_EditDeleteRecord", "&Delete Record", M::Edit, "", "", F::ListWindow,
     "Delete the selected rows of the list", true},
    {C::EditCheckSpelling, "id_EditCheckSpelling", "Check Spelling", M::Edit, "F7", "", F::SpellChecker,
     "Check the spelling of the message"},

    {C::ToolsImportMailbox, "id_ToolsImportMailbox", "Mailbox", M::ListImport, "", "", F::Imports,
     "Build a list from the addresses found in a mailbox or text file"},
    {C::ToolsImportContactDatabase, "id_ToolsImportContactDatabase", "Contact Database", M::ListImport, "",
     "", F::Imports, "Build a list from a contact manager's database"},
    {C::ToolsImportEPSFile, "id_ToolsImportEPSFile", "Sendora 1.0 (EPS) File", M::ListImport, "", "",
     F::Never, "Files of Sendora 1.0 are not imported"},
    {C::ToolsMergeLists, "id_ToolsMergeLists", "&Merge Lists", M::ListTools, "", "merge", F::ListOperations,
     "Merge several lists into one", true},
    {C::ToolsCleanList, "id_ToolsCleanList", "&Clean List", M::ListTools, "", "clean", F::ListOperations,
     "Remove from a list the addresses found in another"},
    {C::ToolsFindDuplicates, "id_ToolsFindDuplicates", "&Find Duplicates", M::ListTools, "", "duplicates",
     F::ListOperations, "Find addresses that appear more than once"},
    {C::ToolsFilter, "id_ToolsFilter", "&Select From List", M::ListTools, "", "filter", F::ListOperations,
     "Select records of a list by criteria"},
    {C::ToolsExportList, "id_ToolsExportList", "&Export List", M::ListTools, "", "export", F::ListOperations,
     "Export the list to a text file"},

    {C::MessageToolsSpellCheck, "id_MessageToolsSpellCheck", "Check &Spelling", M::MessageTools, "", "",
     F::SpellChecker, "Check the spelling of the message"},
    {C::MessageToolsMessagePreview, "id_MessageToolsMessagePreview", "Message Pre&view", M::MessageTools, "",
     "", F::MessageEditor, "Preview the message as a recipient sees it"},
    {C::MessageToolsInsertFile, "id_MessageToolsInsertFile", "Insert &File", M::MessageTools, "", "",
     F::MessageEditor, "Insert the contents of a file into the message"},
    {C::MessageToolsInsertAttachment, "id_MessageToolsInsertAttachment", "Insert &Attachment",
     M::MessageTools, "", "", F::MessageEditor, "Attach a file to the message"},
    {C::MessageToolsGreetingManager, "id_MessageToolsGreetingManager", "&Greeting Manager", M::MessageTools,
     "", "", F::MessageEditor, "Set up the personal greeting of the message"},
    {C::MessageToolsDeleteMessage, "id_MessageToolsDeleteMessage", "&Delete Message", M::MessageTools, "", "",
     F::Always, "Delete messages", true},

    {C::SDCentral, "id_SDCentral", "&Sendora Central", M::Sendora, "Ctrl+1", "central", F::MailingCentre,
     "Prepare and send mailings in Sendora Central"},
    {C::SDWiz, "id_SDWiz", "Sendora &Wizard", M::Sendora, "Ctrl+2", "wizard", F::MailingWizard,
     "Prepare a mailing step by step with the Sendora Wizard"},

    {C::WindowTileHorizontally, "id_WindowTileHorizontally", "Tile &Horizontally", M::Window, "", "",
     F::Always, "Tile the windows one above the other"},
    {C::WindowTileVertically, "id_WindowTileVertically", "Tile &Vertically", M::Window, "", "", F::Always,
     "Tile the windows side by side"},
    {C::WindowCascade, "id_WindowCascade", "&Cascade", M::Window, "", "", F::Always, "Cascade the windows"},
    {C::WindowArrangeIcons, "id_WindowArrangeIcons", "&Arrange Icons", M::Window, "", "", F::Always,
     "Line up the minimised windows"},
    {C::WindowHideLists, "id_WindowHideLists", "Hide Lists", M::Window, "", "", F::Always,
     "Hide or show every list window", true},
    {C::WindowHideMessages, "id_WindowHideMessages", "Hide Messages", M::Window, "", "", F::Always,
     "Hide or show every message window"},
    {C::WindowShowListbar, "id_WindowShowListbar", "Show Listbar", M::Window, "", "", F::Always,
     "Show the list bar", true},
    {C::WindowHideListbar, "id_WindowHideListbar", "Toggle listbar view", M::Window, "F8", "", F::Always,
     "Show or hide the list bar"},

    {C::HelpSendoraHelp, "id_HelpSendoraHelp", "Sendora Help", M::Help, "F1", "help", F::Help,
     "Open the Sendora manual"},
    {C::HelpGettingStarted, "ID_HelpGettingStarted", "Getting Started", M::Help, "", "", F::Help,
     "Open the getting-started topic of the manual"},
    {C::HelpAboutSendora, "id_HelpAboutSendora", "About Sendora", M::Help, "", "about", F::Always,
     "Version of Sendora", true},

    // Run from the chooser windows only.
    {C::ImportDatabaseServer, "id_ImportDatabaseServer", "Import from a database server", M::None, "", "",
     F::Imports, "Build a list from a table on a database server"},
    {C::ImportPOPAccount, "id_ImportPOPAccount", "Import from a POP account", M::None, "", "", F::PopTools,
     "Build a list from the mail waiting in a POP account"},
    {C::CreateBlankList, "id_CreateBlankList", "Create a blank list", M::None, "", "", F::ListWindow,
     "Start an empty list in a list window"},
    {C::ToolsGlobalRemove, "id_ToolsGlobalRemove", "Global Remove", M::None, "", "", F::ListOperations,
     "Remove the addresses of the Global Remove List from the open lists"},
    {C::ToolsVerifyList, "id_ToolsVerifyList", "Verification of List", M::None, "", "", F::Verification,
     "Check the addresses of a list against DNS and mail servers"},
    {C::ToolsDirectSendFailures, "id_ToolsDirectSendFailures", "Direct Send Failure Manager", M::None, "", "",
     F::DirectSend, "Remove the addresses that failed in direct send"},
    {C::ToolsSubscriptionManager, "id_ToolsSubscriptionManager", "Subscription Manager", M::None, "", "",
     F::PopTools, "Add and remove subscribers by the subject of their mail"},
    {C::ToolsReturnedMail, "id_ToolsReturnedMail", "Returned Mail Manager", M::None, "", "", F::PopTools,
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

// Chooser windows opened from the list bar: commands without a menu item of their own.
const std::pair<CommandId, const char*> kChoosers[] = {{C::ChooseManageLists, "id_ChooseManageLists"},
                                                       {C::ChooseDeliveryOptions, "id_ChooseDeliveryOptions"},
                                                       {C::ChooseGroups, "id_ChooseGroups"}};

bool is(CommandId id, std::initializer_list<CommandId> ids) {
    return std::find(ids.begin(), ids.end(), id) != ids.end();
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

const Command* findCommand(CommandId key) {
    for (const Command& c : kCommands)
        if (c.key == key) return &c;
    return nullptr;
}

std::optional<CommandId> commandIdOf(const QString& name) {
    if (const Command* c = findCommand(name)) return c->key;
    for (const auto& [key, chooser] : kChoosers)
        if (name == QLatin1String(chooser)) return key;
    return std::nullopt;
}

QString commandName(CommandId key) {
    if (const Command* c = findCommand(key)) return QLatin1String(c->id);
    for (const auto& [id, chooser] : kChoosers)
        if (id == key) return QLatin1String(chooser);
    return {};
}

std::span<const ListbarItem> listbarItems() {
    return kListbar;
}

QStringList defaultListbarOrder() {
    return {QStringLiteral("Mailing Lists"), QStringLiteral("Messages"), QStringLiteral("Sendoras")};
}

bool countsAgainstWindowLimit(CommandId id, bool* opens) {
    const bool opening = is(id, {C::FileOpenList, C::FileOpenMessage});
    if (opens) *opens = opening;
    return opening || is(id, {C::FileNewList, C::FileNewMessage, C::CreateBlankList});
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
        const CommandId key = cmd.key;
        if (is(key, {C::FileClose, C::FileCloseAll, C::FileSave, C::FileSaveAs}))
            on = anyChild && (key == C::FileCloseAll || editing);
        else if (key == C::EditDeleteRecord)
            on = listActive;
        else if (key == C::EditCheckSpelling)
            on = messageActive;
        else if (key == C::WindowHideLists)
            on = c.listWindows > 0;
        else if (key == C::WindowHideMessages)
            on = c.messageWindows > 0;
        else if (is(key, {C::WindowTileHorizontally, C::WindowTileVertically, C::WindowCascade,
                          C::WindowArrangeIcons}))
            on = anyChild || c.active == ActiveChild::MailingCentre;
        if (c.busy && is(key, {C::FileNew, C::FileOpen, C::FileDelete, C::SDCentral, C::SDWiz})) on = false;
        states.insert(QLatin1String(cmd.id), on && featureAvailable(cmd.feature, c.available));
    }
    states.insert(kEditMenu, anyChild && editing);
    states.insert(kListToolsMenu, listTools);
    states.insert(kListToolbar, listTools);
    states.insert(kMessageToolsMenu, messageActive);
    states.insert(kWindowList, !c.busy);
    return states;
}

} // namespace sendora
