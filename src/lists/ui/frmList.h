#pragma once
// frmList: one address list in a child window of the main window. The grid is a lazy
// model over the list file; the window holds the display choice, the labels, the column
// menu, deletion with progress, and the checks that run when it closes.

#include "core/Catalogue.h"
#include "core/ListActions.h"
#include "lists/ListModel.h"
#include "lists/ListWindowLogic.h"
#include "screens/ui/MdiChild.h"

#include <QSet>
#include <QWidget>
#include <functional>
#include <optional>

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTableView;
class QTimer;

namespace sendora {

class frmList : public QWidget, public MdiChild, public ListWindow {
    Q_OBJECT
public:
    frmList(AppContext& ctx, const QString& caption, const QString& file, QWidget* parent = nullptr);
    ~frmList() override;

    bool isOpen() const { return m_model->isOpen(); }
    ListModel* model() const { return m_model; }
    QTableView* grid() const { return m_grid; }

    // Plugged in by the main window and the other list dialogs.
    // The record selection builder: field names and types in, the WHERE clause out (nothing on cancel).
    std::function<std::optional<QString>(const QStringList& names, const QStringList& types)> filterBuilder;
    // The catalogue's save dialog for this list; the default shows frmOpenDelete.
    std::function<SaveResult(frmList& window, bool saveAs)> saveDialog;
    std::function<void()> statusCountChanged; // the main window's UpdateStatusbarCount
    std::function<void()> closeCancelled;     // stops an application exit

    // Public operations.
    void UpdateCount();
    void saveMe(const QString& title);
    // The column the find dialog searches (the grid's current column when not set).
    void setFindColumn(int column) { m_findColumn = column; }
    bool findString(const QString& text);
    bool findNextString(const QString& text);
    bool findPreviousString(const QString& text);
    void Call_KeyDown(int keyCode, Qt::KeyboardModifiers shift);

    // Display choice and the "&Refresh" button.
    void setDisplayChoice(DisplayChoice choice, const QString& text = {});
    bool refresh();
    // The column header menu: "Ascending", "Descending", "Add a Column", "Remove a Column".
    void runColumnMenu(int column, const QString& entry);
    // Deletes the selected rows after the question; the progress bar runs until done or cancelled.
    void deleteSelectedRows();
    void cancelDelete();
    bool deleting() const { return !m_deleteIds.isEmpty(); }
    int saveResult() const { return m_saveResult; }
    int currentRow() const;

    // MdiChild.
    ActiveChild childKind() const override { return ActiveChild::List; }
    QString childName() const override { return windowTitle(); }
    bool runCommand(CommandId id) override;
    void saveMe() override { saveMe(windowTitle()); }
    void saveMeAs() override;
    // The Save & Return button of a running mailing wizard.
    void saveAndReturn();
    bool hasSelectedRows() const override;
    QString listFile() const override { return m_model->file(); }
    qint64 listRecordCount() const override { return m_model->dataRows(); } // rows shown
    void reloadList() override { rebind({}); }

    // ListWindow (the column operations).
    QString caption() const override { return windowTitle(); }
    QString filePath() const override { return m_model->file(); }
    void rebind(const QString& sql) override;

Q_SIGNALS:
    void countChanged();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showColumnMenu(const QPoint& pos);
    void updateLabels();
    void showReadOnlyNote();
    void deleteNextStep();
    void finishDeleting();
    void goToRow(int row);
    int findColumn() const;
    SaveResult runSaveDialog(bool saveAs);

    AppContext& m_ctx;
    ListModel* m_model;
    ListWindowLogic m_logic;
    QTableView* m_grid;
    QLabel* m_records;
    QLabel* m_current;
    QLabel* m_note;
    QRadioButton* m_all;
    QRadioButton* m_byDomain;
    QRadioButton* m_byFilter;
    QLineEdit* m_domain;
    QLineEdit* m_filter;
    QPushButton* m_builder;
    QPushButton* m_refresh;
    QProgressBar* m_progress;
    QPushButton* m_cancel;
    QTimer* m_deleteTimer;
    QVector<qint64> m_deleteIds;
    QSet<qint64> m_deleted;
    int m_deleteDone = 0;
    int m_deleteFromRow = 0;
    int m_findColumn = -1;
    QString m_lastFind;
    int m_saveResult = 0;
    bool m_saved = false;
};

// The main window's maker for list windows; `setup` plugs each new window in.
std::function<QWidget*(const QString& caption, const QString& file)>
listWindowMaker(AppContext& ctx, std::function<void(frmList&)> setup = {});

} // namespace sendora
