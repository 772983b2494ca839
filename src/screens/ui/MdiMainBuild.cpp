#include "screens/MainWindowSettings.h"
#include "screens/ui/Icons.h"
#include "screens/ui/ListBar.h"
#include "screens/ui/MdiMain.h"

#include <QAction>
#include <QDockWidget>
#include <QLabel>
#include <QMdiArea>
#include <QMenuBar>
#include <QStatusBar>
#include <QToolBar>

// The main window's actions, menus, tool bars, status bar and list bar, made once at start.

namespace sendora {

namespace {

const char* const kMainTools[] = {"id_FileNewList",
                                  "id_FileOpenList",
                                  "id_FileNewMessage",
                                  "id_FileOpenMessage",
                                  "id_FileSave",
                                  nullptr,
                                  "id_EditCut",
                                  "id_EditCopy",
                                  "id_EditPaste",
                                  "id_EditFind",
                                  nullptr,
                                  "id_SDCentral",
                                  "id_SDWiz",
                                  "id_FileSendSendora",
                                  nullptr,
                                  "id_HelpSendoraHelp"};
const char* const kListTools[] = {"id_ToolsMergeLists", "id_ToolsCleanList", "id_ToolsFindDuplicates",
                                  "id_ToolsFilter", "id_ToolsExportList"};

} // namespace

void MdiMain::buildActions() {
    for (const Command& cmd : commands()) {
        const QString id = QLatin1String(cmd.id);
        if (cmd.menu == Menu::File &&
            (id == QLatin1String("id_FileNew") || id == QLatin1String("id_FileOpen") ||
             id == QLatin1String("id_FileDelete")))
            continue; // submenus, made with the menus
        auto* a = new QAction(sendoraIcon(QLatin1String(cmd.icon)), QLatin1String(cmd.caption), this);
        a->setObjectName(id);
        if (*cmd.shortcut) a->setShortcut(QKeySequence(QLatin1String(cmd.shortcut)));
        a->setStatusTip(QLatin1String(cmd.description));
        connect(a, &QAction::triggered, this, [this, key = cmd.key] { runCommand(key); });
        m_actions.insert(id, a);
    }
    m_actions.value(QStringLiteral("id_SDCentral"))->setCheckable(true);
    m_actions.value(QStringLiteral("id_WindowShowListbar"))->setCheckable(true);
    m_actions.value(QStringLiteral("id_FileExit"))->setMenuRole(QAction::QuitRole);
}

QMenu* MdiMain::commandMenu(Menu menu) {
    return m_menus.value(menu);
}

void MdiMain::buildMenus() {
    QMenuBar* bar = menuBar();
    auto top = [&](Menu m, const QString& title, const QString& name, const QString& actionId = {}) {
        QMenu* menu = bar->addMenu(title);
        menu->setObjectName(name);
        menu->setToolTipsVisible(true);
        if (!actionId.isEmpty()) {
            menu->menuAction()->setObjectName(actionId);
            m_actions.insert(actionId, menu->menuAction());
        }
        m_menus.insert(m, menu);
        return menu;
    };
    QMenu* file = top(Menu::File, tr("&File"), QStringLiteral("mnuFile"));
    auto sub = [&](Menu m, const char* id) {
        const Command* cmd = findCommand(QLatin1String(id));
        QMenu* menu = file->addMenu(sendoraIcon(QLatin1String(cmd->icon)), QLatin1String(cmd->caption));
        menu->setObjectName(QStringLiteral("mnu") + QLatin1String(id).mid(3));
        menu->setToolTipsVisible(true);
        menu->menuAction()->setObjectName(QLatin1String(id));
        menu->menuAction()->setStatusTip(QLatin1String(cmd->description));
        m_actions.insert(QLatin1String(id), menu->menuAction());
        m_menus.insert(m, menu);
    };
    sub(Menu::FileNew, "id_FileNew");
    sub(Menu::FileOpen, "id_FileOpen");
    sub(Menu::FileDelete, "id_FileDelete");
    top(Menu::Edit, tr("&Edit"), QStringLiteral("mnuEdit"), kEditMenu);
    QMenu* tools = top(Menu::ListTools, tr("&List Tools"), QStringLiteral("mnuTools"), kListToolsMenu);
    QMenu* import = tools->addMenu(tr("&Import"));
    import->setObjectName(QStringLiteral("mnuToolsImport"));
    import->setToolTipsVisible(true);
    m_menus.insert(Menu::ListImport, import);
    top(Menu::MessageTools, tr("&Message Tools"), QStringLiteral("mnuMessageTools"), kMessageToolsMenu);
    top(Menu::Sendora, tr("&Sendora"), QStringLiteral("mnuSendora"));
    m_windowMenu = top(Menu::Window, tr("&Window"), QStringLiteral("mnuWindow"));
    top(Menu::Help, tr("&Help"), QStringLiteral("mnuHelp"));

    for (const Command& cmd : commands()) {
        QAction* a = m_actions.value(QLatin1String(cmd.id));
        QMenu* menu = commandMenu(cmd.menu);
        if (!menu || !a || a->menu()) continue;
        if (cmd.separatorBefore && !menu->isEmpty()) menu->addSeparator();
        menu->addAction(a);
    }
    // Options live with the mailing commands rather than at the foot of File.
    m_menus.value(Menu::File)->removeAction(m_actions.value(QStringLiteral("ID_Options")));
    m_menus.value(Menu::Sendora)->addSeparator();
    m_menus.value(Menu::Sendora)->addAction(m_actions.value(QStringLiteral("ID_Options")));
    m_windowListSeparator = m_windowMenu->addSeparator();
    connect(m_windowMenu, &QMenu::aboutToShow, this, &MdiMain::rebuildWindowList);
}

void MdiMain::buildToolBars() {
    m_mainToolBar = addToolBar(tr("Standard"));
    m_mainToolBar->setObjectName(QStringLiteral("tbMain"));
    m_mainToolBar->setIconSize(QSize(24, 24));
    for (const char* id : kMainTools) {
        if (id)
            m_mainToolBar->addAction(m_actions.value(QLatin1String(id)));
        else
            m_mainToolBar->addSeparator();
    }
    m_listToolBar = addToolBar(tr("List Tools"));
    m_listToolBar->setObjectName(kListToolbar);
    m_listToolBar->setIconSize(QSize(24, 24));
    for (const char* id : kListTools)
        m_listToolBar->addAction(m_actions.value(QLatin1String(id)));
}

void MdiMain::buildStatusBar() {
    m_panelText = new QLabel(this);
    m_panelText->setObjectName(QStringLiteral("sbText"));
    m_panelText->setMinimumWidth(1440 / kTwipsPerPixel);
    m_panelLists = new QLabel(this);
    m_panelLists->setObjectName(QStringLiteral("sbLists"));
    m_panelMessages = new QLabel(this);
    m_panelMessages->setObjectName(QStringLiteral("sbMessages"));
    statusBar()->addWidget(m_panelText);
    statusBar()->addPermanentWidget(m_panelLists);
    statusBar()->addPermanentWidget(m_panelMessages);
    UpdateStatusbarCount();
}

void MdiMain::buildListBar() {
    if (m_listBar) return;
    m_listBar = new ListBar(readListbarOrder(m_ctx, defaultListbarOrder()), this);
    m_listDock = new QDockWidget(tr("Sendora"), this);
    m_listDock->setObjectName(QStringLiteral("dockListbar"));
    m_listDock->setFeatures(QDockWidget::DockWidgetClosable);
    m_listDock->setTitleBarWidget(new QWidget(m_listDock)); // the group headers are title enough
    m_listDock->setWidget(m_listBar);
    addDockWidget(Qt::LeftDockWidgetArea, m_listDock);
    resizeDocks({m_listDock}, {180}, Qt::Horizontal);
    connect(m_listBar, &ListBar::commandRequested, this, [this](const QString& name) { runCommand(name); });
    connect(m_listBar, &ListBar::orderChanged, this,
            [this] { writeListbarOrder(m_ctx, m_listBar->groupOrder()); });
    connect(m_listDock, &QDockWidget::visibilityChanged, this, [this](bool visible) {
        m_actions.value(QStringLiteral("id_WindowShowListbar"))->setChecked(visible);
    });
    setupDefaultMenus();
}

} // namespace sendora
