#include "lists/ui/ListTools.h"

#include "components/jet/Jet.h"
#include "core/AppContext.h"
#include "core/ListActions.h"
#include "core/UserInterface.h"
#include "lists/ui/frmSelectionBuilder.h"
#include "screens/ui/MdiMain.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QProgressDialog>
#include <algorithm>

namespace sendora {

OperationProgress::OperationProgress(QWidget* parent, const QString& label)
    : m_dialog(std::make_unique<QProgressDialog>(label, QStringLiteral("Cancel"), 0, 100, parent)) {
    m_dialog->setWindowModality(Qt::WindowModal);
    m_dialog->setMinimumDuration(500);
    m_dialog->setAutoClose(false);
    m_dialog->setAutoReset(false);
    m_dialog->setValue(0);
}

OperationProgress::~OperationProgress() = default;

ListProgress OperationProgress::callback() {
    QProgressDialog* dialog = m_dialog.get();
    return [dialog](int percent) {
        dialog->setValue(std::clamp(percent, 0, 100));
        QCoreApplication::processEvents();
        return !dialog->wasCanceled();
    };
}

namespace {

// frmListOperations: two choices among the open list windows; the chosen files in label order.
std::optional<std::pair<QString, QString>> chooseLists(QWidget* parent, const ListChoiceText& text,
                                                       const QList<std::pair<QString, QString>>& lists) {
    QDialog dialog(parent);
    dialog.setObjectName(QStringLiteral("frmListOperations"));
    dialog.setWindowTitle(text.caption);
    auto* form = new QFormLayout(&dialog);
    auto* first = new QComboBox(&dialog);
    auto* second = new QComboBox(&dialog);
    for (const auto& [caption, file] : lists) {
        first->addItem(caption, file);
        second->addItem(caption, file);
    }
    second->setCurrentIndex(lists.size() > 1 ? 1 : 0);
    form->addRow(text.firstLabel, first);
    form->addRow(text.secondLabel, second);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    form->addRow(buttons);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return std::make_pair(first->currentData().toString(), second->currentData().toString());
}

ListOperation operationOf(CommandId id) {
    switch (id) {
    case CommandId::ToolsCleanList:
        return ListOperation::Clean;
    case CommandId::ToolsFindDuplicates:
        return ListOperation::FindDuplicates;
    case CommandId::ToolsMergeLists:
        return ListOperation::Merge;
    default:
        return ListOperation::Select;
    }
}

// Tools stay off and the status text stays up while an operation runs.
class BusyMain {
public:
    BusyMain(MdiMain& main, const QString& status) : m_main(main) {
        m_main.setBusy(true);
        m_main.setStatusText(status);
    }
    ~BusyMain() {
        m_main.setStatusText({});
        m_main.setBusy(false);
    }

private:
    MdiMain& m_main;
};

void runTwoLists(AppContext& ctx, MdiMain& main, ListOperation operation) {
    const QList<std::pair<QString, QString>> lists = main.openLists();
    QStringList files;
    for (const auto& entry : lists)
        files << entry.second;
    const auto pair = chooseTwoLists(ctx, operation, files, [&main, &lists](const ListChoiceText& text) {
        return chooseLists(&main, text, lists);
    });
    if (!pair) return;
    const QString status = operation == ListOperation::Merge   ? QStringLiteral("Merging...")
                           : operation == ListOperation::Clean ? QStringLiteral("Scrubbing...")
                                                               : QString();
    QString result;
    {
        BusyMain busy(main, status);
        OperationProgress progress(&main, summaryTitle(operation));
        result = runTwoListOperation(ctx, operation, pair->first, pair->second, progress.callback());
    }
    if (reportListResult(ctx, operation, result)) main.showList(result);
}

// Select and export work on the active list (any open list when a message window is active).
QString listForOneListTool(AppContext& ctx, MdiMain& main) {
    QString file = main.activeListFile();
    if (file.isEmpty() && !main.openLists().isEmpty()) file = main.openLists().first().second;
    if (file.isEmpty())
        ctx.ui->message(QStringLiteral("You must have a list open for this operation"), Buttons::OK,
                        Icon::Exclamation);
    return file;
}

void selectFromList(AppContext& ctx, MdiMain& main) {
    const QString file = listForOneListTool(ctx, main);
    if (file.isEmpty()) return;
    const std::optional<QString> criteria = buildListFileFilter(*ctx.ui, &main, file, {});
    if (!criteria || criteria->trimmed().isEmpty()) return;
    QString result;
    {
        BusyMain busy(main, {});
        OperationProgress progress(&main, summaryTitle(ListOperation::Select));
        result = gFilterList(ctx, file, *criteria, progress.callback());
    }
    if (reportListResult(ctx, ListOperation::Select, result)) main.showList(result);
}

void exportList(AppContext& ctx, MdiMain& main) {
    const QString file = listForOneListTool(ctx, main);
    if (file.isEmpty()) return;
    std::optional<QString> target =
        ctx.ui->saveFileName(QStringLiteral("Export List"), {},
                             {{QStringLiteral("Text database files"), QStringLiteral("*.csv *.txt")},
                              {QStringLiteral("All files"), QStringLiteral("*.*")}});
    if (!target || target->isEmpty()) return;
    if (QFileInfo(*target).suffix().isEmpty()) *target += QStringLiteral(".csv");
    BusyMain busy(main, {});
    OperationProgress progress(&main, QStringLiteral("Export List"));
    gExportList(ctx, file, *target, progress.callback());
}

// The active list without the addresses of the Global Remove List, as a new list.
void globalRemove(AppContext& ctx, MdiMain& main) {
    const QString file = listForOneListTool(ctx, main);
    if (file.isEmpty()) return;
    const QString removeFile = ctx.paths.listFile(GetListPath(ctx, QStringLiteral("Global Remove List")));
    qint64 toRemove = 0;
    try {
        auto db = jet::Database::open(removeFile, jet::Database::OpenMode::ReadOnly);
        toRemove = db->openRecordset(QStringLiteral("SELECT COUNT(EAddress) FROM AddressList"))
                       ->value(0)
                       .toLongLong();
    } catch (const std::exception&) {
        ctx.ui->message(QStringLiteral("Error opening ") + removeFile, Buttons::OK, Icon::Exclamation);
        return;
    }
    if (toRemove == 0) {
        ctx.ui->message(
            QStringLiteral("The Global Remove List holds no addresses, so there is nothing to remove."),
            Buttons::OK, Icon::Information, QStringLiteral("Global Remove"));
        return;
    }
    QString result;
    {
        BusyMain busy(main, QStringLiteral("Scrubbing..."));
        OperationProgress progress(&main, summaryTitle(ListOperation::Clean));
        result = gCleanList(ctx, file, removeFile, progress.callback());
    }
    if (reportListResult(ctx, ListOperation::Clean, result)) main.showList(result);
}

} // namespace

void runListTool(AppContext& ctx, MdiMain& main, CommandId id) {
    switch (id) {
    case CommandId::ToolsMergeLists:
    case CommandId::ToolsCleanList:
    case CommandId::ToolsFindDuplicates:
        runTwoLists(ctx, main, operationOf(id));
        break;
    case CommandId::ToolsFilter:
        selectFromList(ctx, main);
        break;
    case CommandId::ToolsExportList:
        exportList(ctx, main);
        break;
    case CommandId::ToolsGlobalRemove:
        globalRemove(ctx, main);
        break;
    default:
        break;
    }
}

std::function<void(CommandId)> listToolRunner(AppContext& ctx, MdiMain& main) {
    return [&ctx, &main](CommandId id) { runListTool(ctx, main, id); };
}

} // namespace sendora
