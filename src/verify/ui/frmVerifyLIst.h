#pragma once
// The list verification wizard (three pages: list, handling, proceed) and its configuration
// dialog. The run itself is VerifyRun; these windows only show and forward.

#include "verify/VerifyRun.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QStackedWidget;

namespace sendora {

struct AppContext;

class frmVerifyConfig : public QDialog {
    Q_OBJECT
public:
    explicit frmVerifyConfig(AppContext& ctx, QWidget* parent = nullptr);

    QLineEdit* txtPrimaryDNS;
    QLineEdit* txtSecondaryDNS;
    QLineEdit* txtDomain;
    QLineEdit* txtMailFrom;
    QSpinBox* txtForcedTimeout;
    QSpinBox* txtNumberEmails;

    // Bounds, messages and the six keys; the fields then show what was written.
    void save();

private:
    AppContext& m_ctx;
};

class frmVerifyLIst : public QDialog {
    Q_OBJECT
public:
    static inline const QString kListVerification = QStringLiteral("List Verification");

    // factory: the pool's slots; unset, the network verifier.
    frmVerifyLIst(AppContext& ctx, verify::CheckFactory factory = {}, QWidget* parent = nullptr);
    ~frmVerifyLIst() override;

    // Shows the wizard modal for a known mode; "Unknown VERIFY Wizard Format" otherwise.
    // showList opens the new list in a list window.
    static void LoadVERIFYWizard(AppContext& ctx, const QString& mode, QWidget* parent,
                                 std::function<void(const QString& file)> showList = {});

    int page() const { return m_page; } // 1 to 3
    void next();
    void back();
    void verifyList();
    void configure();
    verify::VerifyRun& run() { return *m_run; }
    // Shows the list a new-list run built.
    std::function<void(const QString& file)> showList;
    // Hook for tests: shows the configuration dialog (modal when unset).
    std::function<void(frmVerifyConfig&)> showConfig;

    QListWidget* lstLists;
    QRadioButton* optNewList;
    QRadioButton* optUpdate;
    QLabel* lblRecordsVerified;
    QPushButton* cmdBack;
    QPushButton* cmdNext;
    QPushButton* cmdCancel;
    QPushButton* cmdVerify;
    QPushButton* cmdConfig;

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    void showPage(int page);
    void ListAndButtonValues(bool enabled);

    AppContext& m_ctx;
    verify::VerifyRun* m_run;
    QStackedWidget* m_pages;
    QLabel* lblTitle;
    int m_page = 1;
};

} // namespace sendora
