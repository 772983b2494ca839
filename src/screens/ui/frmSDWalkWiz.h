#pragma once
// frmSDWalkWiz, "Create a Sendora Mailing": the mailing wizard's window. The pages, checks
// and Finish live in MailingWizard; this window shows the pages and steps aside (hidden)
// while a list window or message editor it opened does its work.

#include "screens/MailingWizard.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QStackedWidget;

namespace sendora {

struct AppContext;
class MdiMain;

class frmSDWalkWiz : public QDialog {
    Q_OBJECT
public:
    frmSDWalkWiz(AppContext& ctx, MdiMain& main);
    ~frmSDWalkWiz() override;

    // The main window's command: the open wizard comes forward, or a new one starts.
    static frmSDWalkWiz* open(AppContext& ctx, MdiMain& main);
    static frmSDWalkWiz* current();

    // Load: clears the choices, sets the running flag and shows page 1.
    void LoadWizard();
    // Shows the wizard again after an editor or list window returns.
    void Restore();
    void HideSDWalkWiz();
    bool goNext();
    void goBack();
    bool finish();

    MailingWizard& logic() { return m_logic; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override; // Cancel and Escape

private:
    QWidget* buildWelcome();
    QWidget* buildGroupPage();
    QWidget* buildListPage();
    QWidget* buildResultPage(const char* name, QLabel** value);
    QWidget* buildMessagePage();
    QWidget* buildOptionsPage();
    QWidget* buildFinalPage();
    void collect();     // the widgets into the logic's choices
    void showPage();    // the current page, filled afresh
    void updateState(); // enabled widgets and descriptions
    void runNewList(MailingWizard::NewList kind);
    void showSaveAndReturn(bool shown);
    int prepare(const QString& group, const QString& list, const QString& message, const QString& options);

    AppContext& m_ctx;
    MdiMain& m_main;
    MailingWizard m_logic;
    bool m_filling = false;
    QLabel* m_step = nullptr;
    QStackedWidget* m_pages = nullptr;
    QPushButton* m_back = nullptr;
    QPushButton* m_next = nullptr;
    QPushButton* m_finish = nullptr;
    QRadioButton* m_existingGroup = nullptr;
    QRadioButton* m_newGroup = nullptr;
    QComboBox* m_group = nullptr;
    QLabel* m_groupDescription = nullptr;
    QLineEdit* m_groupName = nullptr;
    QLineEdit* m_groupText = nullptr;
    QRadioButton* m_existingList = nullptr;
    QRadioButton* m_newList = nullptr;
    QComboBox* m_list = nullptr;
    QLabel* m_listDescription = nullptr;
    QRadioButton* m_blankList = nullptr;
    QRadioButton* m_mailboxList = nullptr;
    QRadioButton* m_contactsList = nullptr;
    QLabel* m_listResult = nullptr;
    QRadioButton* m_newMessage = nullptr;
    QRadioButton* m_existingMessage = nullptr;
    QComboBox* m_message = nullptr;
    QLabel* m_messageDescription = nullptr;
    QLabel* m_messageResult = nullptr;
    QRadioButton* m_newOptions = nullptr;
    QRadioButton* m_existingOptions = nullptr;
    QComboBox* m_options = nullptr;
    QLabel* m_optionsDescription = nullptr;
    QLabel* m_optionsResult = nullptr;
    QRadioButton* m_sendNow = nullptr;
    QRadioButton* m_sendLater = nullptr;
    QCheckBox* m_showCentral = nullptr;
};

} // namespace sendora
