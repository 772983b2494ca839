#pragma once
// The POP Mail Management Wizard: six pages over the account store, the phrase files, one
// mailbox run and the list updates of the pop library. The window only shows and forwards.

#include <QDialog>
#include <functional>
#include <memory>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QStackedWidget;
class QTreeWidget;
class QTreeWidgetItem;

namespace sendora {

struct AppContext;

namespace pop {
struct PopAccount;
class PopRun;
struct PopRunResult;
} // namespace pop

class frmPOPWizard : public QDialog {
    Q_OBJECT
public:
    static constexpr int kPages = 6;

    // mode 1 Returned Mail Manager, 2 Subscription Manager, 3 POP Mail Importer.
    frmPOPWizard(AppContext& ctx, int mode, QWidget* parent = nullptr);
    ~frmPOPWizard() override;

    // Shows the wizard modal; "Unknown POP Wizard Format" for another mode. showList opens
    // a kept list in a list window.
    static void LoadPOPWizard(AppContext& ctx, int mode, QWidget* parent,
                              std::function<void(const QString& file)> showList);

    int mode() const { return m_mode; }
    int page() const { return m_page; } // 1 to 6
    QString pageTitle() const;
    void next();
    void back();
    void start();
    void finish();
    bool running() const { return m_running; }

    // Opens a kept list; unset, the list stays where the run left it.
    std::function<void(const QString& file)> showList;
    // Shows the summary rows (heading, rows with "List Name", "Added", "Removed" first).
    // Unset: a modal "POP Email Action Status Report" dialog.
    std::function<void(const QString& heading, const QList<QStringList>& rows)> showSummary;
    // Set before start() to use a client of the caller's (tests); otherwise the run makes one.
    std::function<void(pop::PopRun& run)> prepareRun;

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    void buildPages();
    void showPage(int page);
    bool leavePage();
    int nextPage(int from) const;
    int previousPage(int from) const;
    void fillAccounts(const QString& select);
    void accountChosen();
    void addOrUpdateAccount();
    void removeAccount();
    void fillPhrases();
    void phraseChanged(QTreeWidgetItem* item);
    void savePhraseCategory(QTreeWidgetItem* category);
    QString chosenCategory() const;
    void newPhrase();
    void removePhrase();
    void newCategory();
    void removeCategory();
    void checkAllPhrases(bool phrases, bool on);
    QStringList checkedPhrases() const;
    void fillLists();
    int checkedListCount() const;
    pop::PopAccount accountFields() const;
    void runFinished(const pop::PopRunResult& result);
    void showStatus(const QString& text);
    void summaryDialog(const QString& heading, const QList<QStringList>& rows);

    AppContext& m_ctx;
    int m_mode;
    int m_page = 1;
    bool m_finished = false;
    bool m_running = false;
    bool m_filling = false;
    bool m_closeAfterRun = false;
    QString m_listPath;
    std::unique_ptr<pop::PopRun> m_run;

    QLabel* lblTitle;
    QStackedWidget* m_pages;
    // Page 1
    QComboBox* cboAccount;
    QLineEdit* txtUserName;
    QLineEdit* txtPassword;
    QLineEdit* txtHost;
    QLineEdit* txtPort;
    QComboBox* cboSecurity;
    QCheckBox* chkRemember;
    QCheckBox* chkDelete;
    QPushButton* cmdAddAccount;
    QPushButton* cmdRemoveAccount;
    // Page 2
    QRadioButton* optAll;
    QRadioButton* optUndeliverable;
    QRadioButton* optFilter;
    // Page 3
    QTreeWidget* treePhrases;
    // Page 4
    QRadioButton* optUpdateLists;
    QRadioButton* optCreateList;
    QCheckBox* chkAlsoSave;
    // Page 5
    QRadioButton* optAdding;
    QRadioButton* optRemoving;
    QListWidget* lstLists;
    QCheckBox* chkGlobalRemove;
    // Page 6
    QListWidget* lstStatus;
    QLabel* lblBytes;
    QLabel* lblAddresses;
    QLabel* lblStatus;
    QLabel* lblHint;
    QPushButton* cmdStart;
    QPushButton* cmdCancel;
    // Navigation
    QPushButton* cmdBack;
    QPushButton* cmdNext;
    QPushButton* cmdFinish;
    QPushButton* cmdExit;
};

} // namespace sendora
