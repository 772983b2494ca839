#pragma once
// What the main window asks of its child windows (list windows, message editors and the
// mailing centre), and how later windows are plugged into the main window.

#include "screens/Commands.h"

#include <QString>
#include <functional>
#include <optional>

class QWidget;

namespace sendora {

class MdiChild {
public:
    virtual ~MdiChild() = default;
    virtual ActiveChild childKind() const = 0;
    // The list or message name the window shows.
    virtual QString childName() const = 0;
    // A message editor: the list its merge fields come from.
    virtual QString mergeListName() const { return {}; }
    // Commands run on the active window: edit and message tools, FileSave and
    // EditDeleteRecord (the mailing centre: FileSendSendora). False when not handled.
    virtual bool runCommand(CommandId /*id*/) { return false; }
    // Saving under a name chosen by the user: a list window's saveMe, any window's saveMeAs.
    virtual void saveMe() {}
    virtual void saveMeAs() {}
    // A message editor closed because its message is gone: it closes without saving.
    virtual void cancelSave() {}
    virtual bool hasSelectedRows() const { return false; }
    // A list window: its file, the records it shows, and showing the file again after it changed.
    virtual QString listFile() const { return {}; }
    virtual qint64 listRecordCount() const { return -1; }
    virtual void reloadList() {}
};

// Makers of the child windows; a window kind without a maker keeps its commands inert.
// Each returns a widget that is also an MdiChild, or nullptr when it could not open.
struct ChildWindowMakers {
    std::function<QWidget*(const QString& caption, const QString& file)> listWindow;
    std::function<QWidget*(const QString& messageName)> messageEditor; // empty name: a new message
    std::function<QWidget*()> mailingCentre;
    // The delivery options wizard on a new (isNew) or existing set; false when it did not open.
    std::function<bool(const QString& profileName, bool isNew)> deliveryOptionsWizard;
    // The record selection builder on a list file, starting from the clause in use, for the
    // wizard's "Specify Filter..".
    std::function<std::optional<QString>(QWidget* parent, const QString& listFile, const QString& current)>
        selectionBuilder;
    // The List Tools commands (merge, clean, find duplicates, select, export) on the open list
    // windows; with it the commands come alive.
    std::function<void(CommandId id)> listTool;
};

} // namespace sendora
