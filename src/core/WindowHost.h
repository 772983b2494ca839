#pragma once
// What the storage and start-up code asks of the windows. The main window fills it in;
// without windows (sendora-cli, tests) every request is a no-op.

#include <QString>

namespace sendora {

class WindowHost {
public:
    virtual ~WindowHost() = default;

    // Name of an open message window that takes its merge fields from this list; empty when none.
    virtual QString messageWindowUsingList(const QString& /*listName*/) { return {}; }
    // Closes every open list window whose caption equals the name (without case).
    virtual void closeListWindows(const QString& /*caption*/) {}
    // Opens a list window on a list file with the given caption.
    virtual void openListWindow(const QString& /*caption*/, const QString& /*file*/) {}
    // The list catalogue changed: the mailing centre refreshes its list choices.
    virtual void listCatalogueChanged() {}
    // A saved list becomes the current list file; a running mailing wizard hears of it.
    virtual void listSaved(const QString& /*listName*/, const QString& /*file*/) {}
    // Opens the delivery options wizard for a new set with this name. Returns false when
    // there is no wizard to open.
    virtual bool openDeliveryOptionsWizard(const QString& /*profileName*/) { return false; }
    virtual void showMainWindow() {}
    virtual void mainWindowReady() {}

    // Catalogue changes made outside the mailing centre; it keeps its outline and choices in step.
    virtual void groupCreated(const QString& /*groupName*/) {}
    virtual void groupChanged(const QString& /*groupName*/) {}
    // The group and its mailings are gone from the database; the outline drops its rows.
    virtual void groupDeleted(const QString& /*groupName*/) {}
    // A message was renamed, copied or deleted; a running mailing wizard hears of it too.
    virtual void messageCatalogueChanged(const QString& /*messageName*/) {}
    virtual void deliveryOptionsChanged(const QString& /*profileName*/) {}
    // Opens a message in a new message editor. Returns false when there is no editor to open.
    virtual bool openMessageWindow(const QString& /*messageName*/) { return false; }
    // Closes the editor of this message, if one is open, without saving it.
    virtual void closeMessageWindows(const QString& /*messageName*/) {}
    // Opens the delivery options wizard on an existing set. Returns false when there is no wizard.
    virtual bool editDeliveryOptions(const QString& /*profileName*/) { return false; }
};

} // namespace sendora
