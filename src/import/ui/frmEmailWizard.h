#pragma once
// The four-page wizard that collects the files to scan, their search options and the name choice,
// and builds the temporary list through AddrManager.

#include <QDialog>

class QLabel;
class QListWidget;
class QPushButton;
class QRadioButton;
class QStackedWidget;

namespace sendora {

struct AppContext;
class AddrManager;
class frmQueryUserReName;

class frmEmailWizard : public QDialog {
    Q_OBJECT
public:
    static constexpr int kPages = 4;

    frmEmailWizard(AppContext& ctx, AddrManager& manager, QWidget* parent = nullptr);
    ~frmEmailWizard() override;

    int page() const { return m_page; } // 1 to 4
    void showPage(int page);
    void next();
    void back();
    void finish();
    // Asks before leaving; true when the wizard may close.
    bool confirmExit();

    // Plugs the wizard and its options dialog into the manager.
    static void install(AppContext& ctx, AddrManager& manager, QWidget* parent);

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    void selectFile();
    void viewFile();
    void removeFile();
    void showOptions();
    void entryClicked();
    void buildList();
    void refreshFiles();
    QString selectedFile() const;
    bool noFileSelected(const QString& text);
    void setNavigation(bool on);

    AppContext& m_ctx;
    AddrManager& m_manager;
    int m_page = 1;
    bool m_finished = false;
    frmQueryUserReName* m_question;
    QStackedWidget* m_pages;
    QRadioButton* optText;
    QRadioButton* optMailbox;
    QListWidget* lstFiles;
    QRadioButton* optNoNames;
    QRadioButton* optGuess;
    QRadioButton* optAsk;
    QPushButton* cmdBuild;
    QPushButton* cmdInterrupt;
    QLabel* lblCount[4];
    QPushButton* cmdBack;
    QPushButton* cmdNext;
    QPushButton* cmdFinish;
    QPushButton* cmdCancel;
};

} // namespace sendora
