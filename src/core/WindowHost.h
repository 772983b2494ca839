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
};

} // namespace sendora
