#pragma once
// The options dialog (frmConfiguration, "Sendora Options"): the application settings that
// belong to no set of delivery options, the returned-mail subjects, the text-only domains,
// and the signature and button-code stores the message editor inserts from. The rules live
// in ConfigurationModel and SnippetStore; this window only shows them.

#include "authoring/SnippetStore.h"
#include "screens/ConfigurationModel.h"

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QListWidget;
class QRadioButton;
class QSpinBox;
class QTabWidget;

namespace sendora {

struct AppContext;

class frmConfiguration : public QDialog {
    Q_OBJECT
public:
    // Tab pages; the message editor opens the dialog on Signature or LivePerson.
    enum Page {
        SendSettings = 0,
        DisplayPreferences = 1,
        GroupMailBoxSize = 2,
        MessageWordWrap = 3,
        TextOnlyMail = 4,
        LivePerson = 5,
        ReturnMail = 6,
        ReturnMailSubjects = 7,
        Signature = 8,
    };

    explicit frmConfiguration(AppContext& ctx, int page = SendSettings, QWidget* parent = nullptr);

    // Opens the dialog modal on a page.
    static void ShowOptions(AppContext& ctx, int page, QWidget* parent);

    QTabWidget* pages() const { return m_tabs; }
    // OK: refuses with its message and stays open, or writes the settings and closes.
    bool pressOk();

    // The buttons of the lists, callable from tests without a click.
    void addSubject();
    void removeSubject();
    void addDomain();
    void removeDomain();
    void addSnippet(SnippetStore::Kind kind);
    void editSnippet(SnippetStore::Kind kind);
    void removeSnippet(SnippetStore::Kind kind);

private:
    QWidget* sendSettingsPage();
    QWidget* displayPage();
    QWidget* groupSizePage();
    QWidget* wordWrapPage();
    QWidget* textOnlyPage();
    QWidget* snippetPage(SnippetStore::Kind kind);
    QWidget* returnMailPage();
    QWidget* subjectsPage();
    void load();
    void fillSnippets(SnippetStore::Kind kind, const QString& select);
    void stepWordWrap(int delta);
    QListWidget* snippetList(SnippetStore::Kind kind) const;

    AppContext& m_ctx;
    ConfigurationModel m_model;
    QTabWidget* m_tabs;
    QCheckBox* m_bracketOnFrom = nullptr;
    QCheckBox* m_serverWantsBracket = nullptr;
    QCheckBox* m_startSDCentral = nullptr;
    QSpinBox* m_groupSize = nullptr;
    QLineEdit* m_wordWrap = nullptr;
    QRadioButton* m_allSettings = nullptr;
    QRadioButton* m_textOnly = nullptr;
    QLineEdit* m_domain = nullptr;
    QListWidget* m_domains = nullptr;
    QCheckBox* m_checkOriginalTo = nullptr;
    QLineEdit* m_subject = nullptr;
    QListWidget* m_subjects = nullptr;
    QListWidget* m_signatures = nullptr;
    QListWidget* m_clickCodes = nullptr;
};

} // namespace sendora
