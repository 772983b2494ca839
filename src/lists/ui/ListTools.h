#pragma once
// The main window's List Tools commands: they pick the open lists, run the list operation
// with a cancellable progress dialog and open the result in a new list window.

#include "lists/ListOperations.h"
#include "screens/Commands.h"

#include <QString>
#include <functional>
#include <memory>

class QProgressDialog;
class QWidget;

namespace sendora {

struct AppContext;
class MdiMain;

// A modal progress dialog for one operation. Its callback lets pending events through and
// reports whether Cancel was pressed; the dialog appears only when the work takes a while.
class OperationProgress {
public:
    OperationProgress(QWidget* parent, const QString& label);
    ~OperationProgress();
    ListProgress callback();

private:
    std::unique_ptr<QProgressDialog> m_dialog;
};

// Runs ToolsMergeLists, ToolsCleanList, ToolsFindDuplicates, ToolsFilter or ToolsExportList.
void runListTool(AppContext& ctx, MdiMain& main, CommandId id);

// The main window's listTool maker.
std::function<void(CommandId)> listToolRunner(AppContext& ctx, MdiMain& main);

} // namespace sendora
