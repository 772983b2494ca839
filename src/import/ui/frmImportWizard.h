#pragma once
// The six-page database import wizard over DatabaseImportWizard: kind, file, table, fields and
// trays, filter, build. Finish hands the new list to `showList`.

#include "import/DatabaseImport.h"
#include "import/DatabaseImportWizard.h"
#include "import/ui/FieldTray.h"

#include <QDialog>
#include <functional>
#include <optional>

class QCheckBox;
class QLabel;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QStackedWidget;

namespace sendora {

struct AppContext;

class frmImportWizard : public QDialog {
    Q_OBJECT
public:
    frmImportWizard(AppContext& ctx, QWidget* parent = nullptr);
    ~frmImportWizard() override;

    int page() const { return m_page; }
    void next();
    void back();
    void finish();
    DatabaseImportWizard& model() { return m_model; }
    DatabaseImport& build() { return m_build; }
    // What the file page shows: the folder and its files of the kind's filter.
    void setFolder(const QString& folder);
    // The trays by index (TrayEmail ... TrayID).
    void assignTray(int tray, const QString& field);

    // Plugged in by the main window.
    std::function<void(const QString& file)> showList;
    std::function<std::optional<QString>(const QStringList& names, const QStringList& types)> filterBuilder;
    std::function<void(const QString&)> statusText;

    // LoadImportWizard: the wizard on page 1; the new list goes to showList.
    static void LoadImportWizard(AppContext& ctx, QWidget* parent,
                                 const std::function<void(const QString&)>& showList,
                                 const std::function<void(frmImportWizard&)>& setup = {});

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    void showPage(int page);
    void setNavigation(bool on);
    void fillFiles();
    void fillTables();
    void fillFields();
    void viewTable();
    void editFilter();
    void buildList();
    void buildFinished();

    AppContext& m_ctx;
    DatabaseImportWizard m_model;
    DatabaseImport m_build;
    int m_page = 1;
    bool m_done = false;
    QString m_folder;
    QString m_builtPath;
    QStackedWidget* m_pages;
    QListWidget* lstKinds;
    QLineEdit* txtFolder;
    QListWidget* lstFolders;
    QListWidget* lstFiles;
    QCheckBox* chkFirstRowNames;
    QLabel* lblFileCount; // the contact-manager import's counter
    QListWidget* lstTables;
    QListWidget* lstFields;
    QPlainTextEdit* txtSample;
    QListWidget* lstAvailable;
    FieldTray* trays[kTrayCount];
    QLabel* lblFilter;
    QPushButton* cmdBuild;
    QPushButton* cmdInterrupt;
    QLabel* lblCount;
    QLabel* lblFinish;
    QPushButton* cmdBack;
    QPushButton* cmdNext;
    QPushButton* cmdFinish;
    QPushButton* cmdExit;
};

} // namespace sendora
