#pragma once
// mdiMain: the application's frame. It hosts the child windows in an MDI area, owns the
// menus, toolbars, list bar and status bar, dispatches every command by its tool id, and
// is the window host that storage and start-up talk to.

#include "core/WindowHost.h"
#include "screens/Commands.h"
#include "screens/WindowRegistry.h"
#include "screens/ui/MdiChild.h"

#include <QHash>
#include <QMainWindow>
#include <array>
#include <functional>

class QAction;
class QDockWidget;
class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QTimer;
class QToolBar;

namespace sendora {

struct AppContext;
class ListBar;
class frmSDCentral;

class MdiMain : public QMainWindow, public WindowHost {
    Q_OBJECT
public:
    explicit MdiMain(AppContext& ctx, QWidget* parent = nullptr);
    ~MdiMain() override;

    // Later windows plug in here; their commands come alive with them.
    void setChildWindowMakers(const ChildWindowMakers& makers);
    void provideFeatures(Features features);
    void setCommandHandler(CommandId id, std::function<void()> handler);

    // The command dispatcher: every menu item, tool button, list bar item and chooser entry.
    CommandResult runCommand(CommandId id);
    // By stable name, as the list bar and the choosers hand them on.
    CommandResult runCommand(const QString& name);

    // Tool states.
    void setupDefaultMenus();
    void setupActiveMenus(const QString& windowName = {});
    void setBusy(bool busy);
    void ActivateListTools() { setMenuState(kListToolsMenu, true); }
    void DeactivateListTools() { setMenuState(kListToolsMenu, false); }
    void ActivateMessageTools() { setMenuState(kMessageToolsMenu, true); }
    void DeactivateMessageTools() { setMenuState(kMessageToolsMenu, false); }
    void UncheckSDCentral();
    void UpdateStatusbarCount();

    // Child windows.
    QMdiSubWindow* addChildWindow(QWidget* widget);
    QWidget* LocateListWindow(const QString& listName) const;
    bool ShowListFromName(const QString& listName);
    void createEmptyList();
    // Shows the list file an import or list operation produced ("<Cancel", "<Error..." do not).
    void showList(const QString& result);
    // The open list windows' captions and files, the active window first.
    QList<std::pair<QString, QString>> openLists() const;
    // The active window's list file; empty when the active window is no list window.
    QString activeListFile() const;
    // The status bar's text panel ("Merging...").
    void setStatusText(const QString& text);
    quint16 getCaptionNumber() { return m_registry.nextCaptionNumber(); }
    void setCloseCancelled() { m_registry.closeCancelled = true; }
    bool closeCancelled() const { return m_registry.closeCancelled; }
    QAction* action(const QString& id) const { return m_actions.value(id); }
    QAction* action(CommandId id) const { return m_actions.value(commandName(id)); }
    ListBar* listBar() const { return m_listBar; }

    // WindowHost.
    QString messageWindowUsingList(const QString& listName) override;
    void closeListWindows(const QString& caption) override;
    void openListWindow(const QString& caption, const QString& file) override;
    bool openMessageWindow(const QString& messageName) override;
    void closeMessageWindows(const QString& messageName) override;
    bool openDeliveryOptionsWizard(const QString& profileName) override;
    bool editDeliveryOptions(const QString& profileName) override;
    void showMainWindow() override;
    void mainWindowReady() override;

    // ---- mailing centre: catalogue changes reach Sendora Central when it is open.
    void groupCreated(const QString& groupName) override;
    void groupChanged(const QString& groupName) override;
    void groupDeleted(const QString& groupName) override;
    void messageCatalogueChanged(const QString& messageName) override;
    void deliveryOptionsChanged(const QString& profileName) override;
    void listCatalogueChanged() override;
    void listSaved(const QString& listName, const QString& file) override;
    frmSDCentral* mailingCentre() const;
    // ---- end mailing centre

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildActions();
    void buildMenus();
    void buildToolBars();
    void buildStatusBar();
    void buildListBar();
    QMenu* commandMenu(Menu menu);
    void applyToolStates(const QHash<QString, bool>& states);
    void setMenuState(const QString& id, bool enabled);
    ToolContext toolContext() const;
    Features availableFeatures() const;
    bool commandAvailable(CommandId id) const;
    bool commandAvailable(const QString& name) const; // true for names that are no command

    MdiChild* activeChild() const;
    QList<QMdiSubWindow*> childWindows(ActiveChild kind) const;
    void childClosed(QMdiSubWindow* window);
    bool closeChildWindows(bool listAndMessageOnly);
    void showMailingCentre();
    void saveActiveWindow();
    void toggleHidden(ActiveChild kind, CommandId id, const QString& hideCaption, const QString& showCaption);
    void tileWindows(bool stacked);
    void buildDispatch();
    void runChooser(int kind);
    void rebuildWindowList();
    void restorePlacement();
    void savePlacement();
    // The delivery options wizard: a maker's when one is plugged in, else frmSDProfileWiz.
    bool runDeliveryOptionsWizard(const QString& profileName, bool isNew);

    AppContext& m_ctx;
    WindowRegistry m_registry;
    ChildWindowMakers m_makers;
    Features m_features = 0;
    // Built-in actions, and handlers plugged in by later windows (which take precedence).
    std::array<std::function<void()>, kCommandCount> m_dispatch;
    std::array<std::function<void()>, kCommandCount> m_handlers;
    QHash<QString, QAction*> m_actions;
    QHash<Menu, QMenu*> m_menus;
    QHash<QMdiSubWindow*, QString> m_keys;
    QMdiArea* m_area;
    ListBar* m_listBar = nullptr;
    QDockWidget* m_listDock = nullptr;
    QToolBar* m_mainToolBar = nullptr;
    QToolBar* m_listToolBar = nullptr;
    QMenu* m_windowMenu = nullptr;
    QAction* m_windowListSeparator = nullptr;
    QLabel* m_panelText = nullptr;
    QLabel* m_panelLists = nullptr;
    QLabel* m_panelMessages = nullptr;
    QTimer* m_centreTimer;
    QMdiSubWindow* m_centre = nullptr;
    bool m_busy = false;
    bool m_windowListEnabled = true;
    bool m_startMaximised = false;
};

} // namespace sendora
