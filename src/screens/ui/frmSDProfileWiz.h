#pragma once
// frmSDProfileWiz: the delivery options wizard. Eight pages in one modal dialog with Help,
// Cancel, Back, Next and Finish; the rules live in ProfileWizard, this puts widgets on them.

#include "screens/ProfileWizard.h"

#include <QDialog>
#include <functional>
#include <optional>

class QLabel;
class QPushButton;
class QStackedWidget;

namespace sendora {

struct AppContext;

class frmSDProfileWiz : public QDialog {
    Q_OBJECT
public:
    explicit frmSDProfileWiz(AppContext& ctx, QWidget* parent = nullptr);
    ~frmSDProfileWiz() override;

    // Prepare the wizard and show it modally on page 1. NewProfile runs in initialization
    // mode when given the default set's name. Both return false when the wizard did not open.
    bool NewProfile(const QString& name = {});
    bool LoadProfile(const QString& name);
    // The preparing half alone, for a caller that shows the wizard itself.
    bool prepareNew(const QString& name = {});
    bool prepareExisting(const QString& name);

    void GoToPage(int page);
    void ForceUnload();

    int currentPage() const { return m_page; }
    bool stored() const { return m_finished; }
    ProfileWizard& wizard() { return m_wizard; }

    // Runs when Cancel in initialization mode is answered Yes. By default the application
    // quits as soon as its event loop runs.
    std::function<void()> endSystem;
    // The record selection builder on a list file, starting from the current filter: the
    // clause, nothing when cancelled. Without it "Specify Filter.." only checks the list.
    std::function<std::optional<QString>(QWidget* parent, const QString& listFile, const QString& current)>
        selectionBuilder;

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override; // Cancel and Escape
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    enum class Button { Help, Cancel, Back, Next, Finish };

    QWidget* buildIntroPage();
    QWidget* buildNamePage();
    QWidget* buildSenderPage();
    QWidget* buildSelectionPage();
    QWidget* buildBlocksPage();
    QWidget* buildTimingPage();
    QWidget* buildServerPage();
    QWidget* buildDirectSendPage();
    QWidget* directSendNumber(const QString& name, DirectSendNumber field);

    void WizardButtonClick(Button button);
    void WizardButtonState();
    void WizardShowPage();
    void WizardPageNew(int page);
    void fill();    // the wizard's fields into the widgets
    void collect(); // the widgets into the wizard's fields
    void updateEnabled();
    void focusField(const QString& name);
    void checkNameLater();
    void markChanged();
    void specifyFilter();

    template <typename T> T* child(const char* name) const { return findChild<T*>(QLatin1String(name)); }

    AppContext& m_ctx;
    ProfileWizard m_wizard;
    QStackedWidget* m_pages;
    QLabel* m_heading;
    QPushButton* m_help;
    QPushButton* m_cancel;
    QPushButton* m_back;
    QPushButton* m_next;
    QPushButton* m_finish;
    int m_page = 1;
    bool m_finished = false;
    bool m_changed = false;
    bool m_filling = false;
    bool m_unloading = false;
};

} // namespace sendora
