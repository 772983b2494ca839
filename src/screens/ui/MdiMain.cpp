#include "screens/ui/MdiMain.h"

#include "core/AppContext.h"
#include "core/Catalogue.h"
#include "core/WizardState.h"
#include "core/ui/ChooserWindow.h"
#include "core/ui/OpenDeleteDialog.h"
#include "screens/MainWindowSettings.h"
#include "screens/ui/Icons.h"
#include "screens/ui/ListBar.h"
#include "screens/ui/frmSDCentral.h"
#include "screens/ui/frmSDProfileWiz.h"
#include "screens/ui/frmSDWalkWiz.h"

#include <QAction>
#include <QCloseEvent>
#include <QDockWidget>
#include <QGuiApplication>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>

namespace sendora {

namespace {

QString plainCaption(const char* caption) {
    return QString::fromLatin1(caption).remove(u'&');
}

} // namespace

MdiMain::MdiMain(AppContext& ctx, QWidget* parent)
    : QMainWindow(parent), m_ctx(ctx), m_area(new QMdiArea(this)), m_centreTimer(new QTimer(this)) {
    setObjectName(QStringLiteral("mdiMain"));
    setWindowTitle(QStringLiteral("Sendora"));
    setWindowIcon(applicationIcon());
    m_area->setObjectName(QStringLiteral("mdiArea"));
    m_area->setBackground(QColor(96, 112, 140));
    setCentralWidget(m_area);
    buildActions();
    buildMenus();
    buildToolBars();
    buildStatusBar();
    buildDispatch();
    m_centreTimer->setObjectName(QStringLiteral("tmrSDCShow"));
    m_centreTimer->setSingleShot(true);
    m_centreTimer->setInterval(250);
    connect(m_centreTimer, &QTimer::timeout, this, [this] { runCommand(CommandId::SDCentral); });
    connect(m_area, &QMdiArea::subWindowActivated, this, [this] { setupActiveMenus(); });
    resize(1180, 760);
    m_features |= unsigned(Feature::DeliveryWizard); // frmSDProfileWiz is built in
    m_features |= unsigned(Feature::MailingWizard);  // and so is frmSDWalkWiz
    setupDefaultMenus();
}

MdiMain::~MdiMain() {
    // Children hidden and destroyed with the frame must not call back into it.
    for (QObject* child : findChildren<QObject*>())
        disconnect(child, nullptr, this, nullptr);
}

// ---- tool states

Features MdiMain::availableFeatures() const {
    Features f = m_features;
    if (m_makers.listWindow) f |= unsigned(Feature::ListWindow);
    if (m_makers.messageEditor) f |= unsigned(Feature::MessageEditor);
    if (m_makers.mailingCentre) f |= unsigned(Feature::MailingCentre);
    if (m_makers.deliveryOptionsWizard) f |= unsigned(Feature::DeliveryWizard);
    if (m_makers.listTool) f |= unsigned(Feature::ListOperations);
    return f;
}

bool MdiMain::commandAvailable(CommandId id) const {
    const Command* cmd = findCommand(id);
    return !cmd || m_handlers[size_t(id)] || featureAvailable(cmd->feature, availableFeatures());
}

bool MdiMain::commandAvailable(const QString& name) const {
    const std::optional<CommandId> id = commandIdOf(name);
    return !id || commandAvailable(*id);
}

ToolContext MdiMain::toolContext() const {
    ToolContext c;
    c.listWindows = m_registry.count(ActiveChild::List);
    c.messageWindows = m_registry.count(ActiveChild::Message);
    QMdiSubWindow* active = m_area->activeSubWindow();
    c.active = active ? m_registry.kind(m_keys.value(active)) : ActiveChild::None;
    c.busy = m_busy;
    c.available = ~0u; // availability is applied per command below, handlers included
    return c;
}

void MdiMain::applyToolStates(const QHash<QString, bool>& states) {
    for (auto it = states.cbegin(); it != states.cend(); ++it) {
        const QString& id = it.key();
        if (id == kListToolbar) {
            m_listToolBar->setEnabled(it.value());
            continue;
        }
        if (id == kWindowList) {
            m_windowListEnabled = it.value();
            continue;
        }
        QAction* a = m_actions.value(id);
        if (!a) continue;
        const Command* cmd = findCommand(id);
        const bool available = commandAvailable(id);
        a->setEnabled(it.value() && available);
        if (cmd) {
            const QString shortcut = a->shortcut().toString(QKeySequence::NativeText);
            a->setToolTip(available
                              ? plainCaption(cmd->caption) +
                                    (shortcut.isEmpty() ? QString() : " (" + shortcut + ")")
                              : QLatin1String(cmd->description) + tr(" (not available in this version)"));
        }
    }
    if (m_listBar)
        for (const ListbarItem& item : listbarItems()) {
            const QString id = QLatin1String(item.command);
            const Command* cmd = findCommand(id);
            const bool available = commandAvailable(id);
            const QString tip =
                *item.tip ? QString::fromLatin1(item.tip) : QString::fromLatin1(cmd ? cmd->description : "");
            m_listBar->setItemState(id, states.value(id, true) && available,
                                    available ? tip : tip + tr(" (not available in this version)"));
        }
}

void MdiMain::setMenuState(const QString& id, bool enabled) {
    if (QAction* a = m_actions.value(id)) a->setEnabled(enabled);
    if (id == kListToolsMenu) m_listToolBar->setEnabled(enabled);
}

void MdiMain::setupDefaultMenus() {
    applyToolStates(toolStates(toolContext()));
}

void MdiMain::setupActiveMenus(const QString& windowName) {
    if (!windowName.isEmpty() && windowName != objectName())
        for (auto it = m_keys.cbegin(); it != m_keys.cend(); ++it)
            if (m_registry.caption(it.value()).compare(windowName, Qt::CaseInsensitive) == 0 &&
                m_area->activeSubWindow() != it.key()) {
                m_area->setActiveSubWindow(it.key());
                return; // the activation comes back here
            }
    applyToolStates(toolStates(toolContext()));
}

void MdiMain::setBusy(bool busy) {
    m_busy = busy;
    setupActiveMenus();
}

void MdiMain::UncheckSDCentral() {
    m_actions.value(QStringLiteral("id_SDCentral"))->setChecked(false);
}

void MdiMain::UpdateStatusbarCount() {
    m_panelLists->setText(listCountText(m_registry.count(ActiveChild::List)));
    m_panelMessages->setText(messageCountText(m_registry.count(ActiveChild::Message)));
}

void MdiMain::setChildWindowMakers(const ChildWindowMakers& makers) {
    m_makers = makers;
    setupDefaultMenus();
}

void MdiMain::provideFeatures(Features features) {
    m_features |= features;
    setupDefaultMenus();
}

void MdiMain::setCommandHandler(CommandId id, std::function<void()> handler) {
    m_handlers[size_t(id)] = std::move(handler);
    setupDefaultMenus();
}

// ---- child windows

MdiChild* MdiMain::activeChild() const {
    QMdiSubWindow* active = m_area->activeSubWindow();
    return active ? dynamic_cast<MdiChild*>(active->widget()) : nullptr;
}

QList<QMdiSubWindow*> MdiMain::childWindows(ActiveChild kind) const {
    QList<QMdiSubWindow*> windows;
    for (QMdiSubWindow* w : m_area->subWindowList())
        if (m_registry.kind(m_keys.value(w)) == kind) windows << w;
    return windows;
}

QMdiSubWindow* MdiMain::addChildWindow(QWidget* widget) {
    auto* child = dynamic_cast<MdiChild*>(widget);
    if (!child) {
        delete widget;
        return nullptr;
    }
    QMdiSubWindow* window = m_area->addSubWindow(widget);
    window->setAttribute(Qt::WA_DeleteOnClose);
    if (widget->windowTitle().isEmpty()) widget->setWindowTitle(child->childName());
    m_keys.insert(window, m_registry.add(child->childKind(), widget->windowTitle()));
    connect(widget, &QWidget::windowTitleChanged, this,
            [this, window](const QString& title) { m_registry.setCaption(m_keys.value(window), title); });
    connect(window, &QObject::destroyed, this, [this, window] { childClosed(window); });
    // A comfortable first size, within the area, for windows that do not ask for more.
    const QSize room = m_area->viewport()->size();
    window->resize(std::min(std::max(widget->sizeHint().width(), 720), std::max(room.width() - 40, 320)),
                   std::min(std::max(widget->sizeHint().height(), 460), std::max(room.height() - 40, 240)));
    window->show();
    UpdateStatusbarCount();
    setupActiveMenus();
    return window;
}

void MdiMain::childClosed(QMdiSubWindow* window) {
    const QString key = m_keys.take(window);
    if (m_registry.kind(key) == ActiveChild::MailingCentre) {
        m_centre = nullptr;
        UncheckSDCentral();
    }
    m_registry.remove(key);
    UpdateStatusbarCount();
    setupDefaultMenus();
}

QWidget* MdiMain::LocateListWindow(const QString& listName) const {
    for (QMdiSubWindow* w : childWindows(ActiveChild::List))
        if (m_registry.caption(m_keys.value(w)).compare(listName, Qt::CaseInsensitive) == 0)
            return w->widget();
    return nullptr;
}

bool MdiMain::ShowListFromName(const QString& listName) {
    return sendora::ShowListFromName(m_ctx, listName);
}

void MdiMain::createEmptyList() {
    if (!m_makers.listWindow) return;
    const QString file = createEmptyListFile(m_ctx);
    if (!file.isEmpty())
        openListWindow(QStringLiteral("Untitled Mailing List %1").arg(getCaptionNumber()), file);
}

void MdiMain::showList(const QString& result) {
    if (result.contains(u'<') && result.contains(QLatin1String("Cancel"))) return;
    if (result.contains(u'<') && result.contains(QLatin1String("Error"))) {
        m_ctx.ui->message(QStringLiteral("Problem displaying mail list"), Buttons::OK, Icon::Exclamation);
        return;
    }
    MdiChild* shown = nullptr;
    for (QMdiSubWindow* w : childWindows(ActiveChild::List))
        if (auto* child = dynamic_cast<MdiChild*>(w->widget());
            child && w->windowTitle().startsWith(QLatin1String("Untitled Mailing List")) &&
            child->listFile() == result && child->listRecordCount() == 0) {
            child->reloadList();
            shown = child;
            m_area->setActiveSubWindow(w);
            break;
        }
    if (!shown) {
        QString caption = QStringLiteral("Untitled Mailing List %1").arg(getCaptionNumber());
        if (result.contains(QLatin1String("(No Addresses)"))) caption += QStringLiteral(" (No Addresses)");
        openListWindow(caption, result);
        for (QMdiSubWindow* w : childWindows(ActiveChild::List))
            if (w->windowTitle() == caption) shown = dynamic_cast<MdiChild*>(w->widget());
    }
    if (shown && shown->listRecordCount() == 0)
        m_ctx.ui->message(QStringLiteral("The resulting list is empty"), Buttons::OK, Icon::Exclamation);
}

QList<std::pair<QString, QString>> MdiMain::openLists() const {
    QList<std::pair<QString, QString>> lists;
    QMdiSubWindow* active = m_area->activeSubWindow();
    for (QMdiSubWindow* w : childWindows(ActiveChild::List))
        if (auto* child = dynamic_cast<MdiChild*>(w->widget())) {
            const std::pair<QString, QString> entry(w->windowTitle(), child->listFile());
            if (w == active)
                lists.prepend(entry);
            else
                lists.append(entry);
        }
    return lists;
}

QString MdiMain::activeListFile() const {
    MdiChild* child = activeChild();
    return child && child->childKind() == ActiveChild::List ? child->listFile() : QString();
}

void MdiMain::setStatusText(const QString& text) {
    m_panelText->setText(text);
}

QString MdiMain::messageWindowUsingList(const QString& listName) {
    for (QMdiSubWindow* w : childWindows(ActiveChild::Message))
        if (auto* child = dynamic_cast<MdiChild*>(w->widget()))
            if (child->mergeListName().compare(listName, Qt::CaseInsensitive) == 0) return child->childName();
    return {};
}

void MdiMain::closeListWindows(const QString& caption) {
    for (QMdiSubWindow* w : childWindows(ActiveChild::List))
        if (m_registry.caption(m_keys.value(w)).compare(caption, Qt::CaseInsensitive) == 0) w->close();
}

void MdiMain::openListWindow(const QString& caption, const QString& file) {
    if (!m_makers.listWindow) return;
    if (QWidget* widget = m_makers.listWindow(caption, file)) {
        widget->setWindowTitle(caption);
        addChildWindow(widget);
    }
}

bool MdiMain::openMessageWindow(const QString& messageName) {
    if (!m_makers.messageEditor) return false;
    // A message opens in one editor only: an open one is brought forward instead.
    if (!messageName.isEmpty())
        for (QMdiSubWindow* w : childWindows(ActiveChild::Message))
            if (m_registry.caption(m_keys.value(w)) == messageName) {
                w->show();
                m_area->setActiveSubWindow(w);
                return true;
            }
    QWidget* widget = m_makers.messageEditor(messageName);
    return widget && addChildWindow(widget);
}

void MdiMain::closeMessageWindows(const QString& messageName) {
    for (QMdiSubWindow* w : childWindows(ActiveChild::Message))
        if (auto* child = dynamic_cast<MdiChild*>(w->widget()))
            if (child->childName().compare(messageName, Qt::CaseInsensitive) == 0) {
                child->cancelSave();
                w->close();
            }
}

bool MdiMain::openDeliveryOptionsWizard(const QString& profileName) {
    return runDeliveryOptionsWizard(profileName, true);
}

bool MdiMain::editDeliveryOptions(const QString& profileName) {
    return runDeliveryOptionsWizard(profileName, false);
}

void MdiMain::showMailingCentre() {
    if (!m_centre && m_makers.mailingCentre) m_centre = addChildWindow(m_makers.mailingCentre());
    if (!m_centre) return;
    m_centre->show();
    m_area->setActiveSubWindow(m_centre);
    m_actions.value(QStringLiteral("id_SDCentral"))->setChecked(true);
}

bool MdiMain::closeChildWindows(bool listAndMessageOnly) {
    QList<QMdiSubWindow*> windows = childWindows(ActiveChild::List) + childWindows(ActiveChild::Message);
    if (!listAndMessageOnly) windows += childWindows(ActiveChild::MailingCentre);
    for (QMdiSubWindow* w : windows) {
        m_registry.closeCancelled = false;
        if (w->isVisible()) m_area->setActiveSubWindow(w);
        if (!w->close() || m_registry.closeCancelled) return false;
    }
    return true;
}

void MdiMain::saveActiveWindow() {
    MdiChild* child = activeChild();
    if (!child) return;
    if (m_area->activeSubWindow()->windowTitle().contains(QLatin1String("Untitled "))) {
        if (child->childKind() == ActiveChild::List)
            child->saveMe();
        else
            child->saveMeAs();
        return;
    }
    statusBar()->showMessage(tr("Saving..."));
    child->runCommand(CommandId::FileSave);
    statusBar()->clearMessage();
}

void MdiMain::toggleHidden(ActiveChild kind, CommandId id, const QString& hideCaption,
                           const QString& showCaption) {
    QAction* a = action(id);
    const bool hide = a->text() == hideCaption;
    for (QMdiSubWindow* w : childWindows(kind))
        w->setVisible(!hide);
    a->setText(hide ? showCaption : hideCaption);
}

void MdiMain::rebuildWindowList() {
    const QList<QAction*> all = m_windowMenu->actions();
    for (int i = all.indexOf(m_windowListSeparator) + 1; i < all.size(); ++i) {
        m_windowMenu->removeAction(all[i]);
        all[i]->deleteLater();
    }
    const QList<QMdiSubWindow*> windows = m_area->subWindowList();
    m_windowListSeparator->setVisible(!windows.isEmpty());
    for (int i = 0; i < windows.size(); ++i) {
        QMdiSubWindow* w = windows[i];
        QAction* a = m_windowMenu->addAction(QStringLiteral("&%1 %2").arg(i + 1).arg(w->windowTitle()));
        a->setObjectName(QStringLiteral("winList%1").arg(i));
        a->setCheckable(true);
        a->setChecked(w == m_area->activeSubWindow());
        a->setEnabled(m_windowListEnabled);
        connect(a, &QAction::triggered, this, [this, w] {
            w->show();
            m_area->setActiveSubWindow(w);
        });
    }
}

void MdiMain::runChooser(int kind) {
    const ChooserDefinition definition = chooserDefinition(ChooserKind(kind));
    ChooserWindow chooser(
        definition,
        [this](const QString& command) {
            QAction* a = m_actions.value(command);
            return ChooserWindow::EntryState{a && a->isEnabled(), a ? a->toolTip() : QString(),
                                             a ? a->icon() : QIcon()};
        },
        this);
    chooser.exec();
    const QString command = chooser.chosenCommand();
    for (const ChooserEntry& entry : definition.entries)
        if (entry.command == command && !entry.refusalWithoutList.isEmpty() &&
            m_registry.count(ActiveChild::List) == 0) {
            m_ctx.ui->message(entry.refusalWithoutList, Buttons::OK, Icon::Information);
            return;
        }
    if (!command.isEmpty()) runCommand(command);
}

// ---- dispatch

void MdiMain::buildDispatch() {
    using C = CommandId;
    auto on = [this](CommandId id, std::function<void()> action) {
        m_dispatch[size_t(id)] = std::move(action);
    };
    auto dialog = [this](CatalogueKind kind, CatalogueOperation op) {
        return [this, kind, op] { OpenSaveDelete(m_ctx, kind, op, this); };
    };
    auto chooser = [this](ChooserKind kind) { return [this, kind] { runChooser(int(kind)); }; };
    using K = CatalogueKind;
    using O = CatalogueOperation;

    // The edit and message tools work on the active child window.
    for (const Command& cmd : commands())
        if ((cmd.menu == Menu::Edit && cmd.key != C::EditDeleteRecord) ||
            (cmd.menu == Menu::MessageTools && cmd.key != C::MessageToolsDeleteMessage))
            on(cmd.key, [this, key = cmd.key] {
                if (MdiChild* child = activeChild()) child->runCommand(key);
            });

    on(C::FileNewList, chooser(ChooserKind::NewList));
    on(C::FileNewMessage, [this] { openMessageWindow(QString()); });
    on(C::FileNewSendoraSetup, [this] { NewDeliveryOptions(m_ctx); });
    on(C::NewSD, dialog(K::Group, O::Save));
    on(C::FileOpenList, dialog(K::List, O::Open));
    on(C::FileOpenMessage, dialog(K::Message, O::Open));
    on(C::FileOpenSendoraSetup, dialog(K::DeliveryOptions, O::Open));
    on(C::OpenSD, dialog(K::Group, O::Open));
    on(C::FileDeleteList, dialog(K::List, O::Delete));
    on(C::FileDeleteMessage, dialog(K::Message, O::Delete));
    on(C::MessageToolsDeleteMessage, dialog(K::Message, O::Delete));
    on(C::FileDeleteSendoraSetup, dialog(K::DeliveryOptions, O::Delete));
    on(C::DeleteSD, dialog(K::Group, O::Delete));
    on(C::FileClose, [this] {
        if (QMdiSubWindow* w = m_area->activeSubWindow()) w->close();
        setupDefaultMenus();
    });
    on(C::FileCloseAll, [this] {
        for (QMdiSubWindow* w : m_area->subWindowList())
            if (w->isVisible() && !w->close()) break;
        setupDefaultMenus();
    });
    on(C::FileSave, [this] { saveActiveWindow(); });
    on(C::FileSaveAs, [this] {
        if (MdiChild* child = activeChild()) child->saveMeAs();
    });
    on(C::FileSendSendora, [this] {
        if (auto* child = m_centre ? dynamic_cast<MdiChild*>(m_centre->widget()) : nullptr)
            child->runCommand(CommandId::FileSendSendora);
    });
    on(C::SDCentral, [this] { showMailingCentre(); });
    on(C::SDWiz, [this] { frmSDWalkWiz::open(m_ctx, *this); });
    on(C::FileExit, [this] { close(); });
    on(C::EditDeleteRecord, [this] {
        MdiChild* child = activeChild();
        if (child && child->hasSelectedRows())
            child->runCommand(CommandId::EditDeleteRecord);
        else
            m_ctx.ui->message(QStringLiteral("Please select a row or rows for deletion."), Buttons::OK,
                              Icon::Information, QStringLiteral("Delete Row"));
    });
    for (CommandId id : {C::ToolsMergeLists, C::ToolsCleanList, C::ToolsFindDuplicates, C::ToolsFilter,
                         C::ToolsExportList, C::ToolsGlobalRemove})
        on(id, [this, id] {
            if (m_makers.listTool) m_makers.listTool(id);
        });
    on(C::WindowTileHorizontally, [this] { tileWindows(true); });
    on(C::WindowTileVertically, [this] { tileWindows(false); });
    on(C::WindowCascade, [this] { m_area->cascadeSubWindows(); });
    on(C::WindowArrangeIcons, [this] {
        int x = 0;
        for (QMdiSubWindow* w : m_area->subWindowList())
            if (w->isMinimized()) {
                w->move(x, m_area->viewport()->height() - w->height());
                x += w->width();
            }
    });
    on(C::WindowHideLists, [this] {
        toggleHidden(ActiveChild::List, CommandId::WindowHideLists, QStringLiteral("Hide Lists"),
                     QStringLiteral("Show Lists"));
    });
    on(C::WindowHideMessages, [this] {
        toggleHidden(ActiveChild::Message, CommandId::WindowHideMessages, QStringLiteral("Hide Messages"),
                     QStringLiteral("Show Messages"));
    });
    // The checked item follows the list bar; a click sets it to the item's new check state.
    on(C::WindowShowListbar, [this] {
        if (m_listDock) m_listDock->setVisible(action(CommandId::WindowShowListbar)->isChecked());
    });
    on(C::WindowHideListbar, [this] {
        if (m_listDock) m_listDock->setVisible(!m_listDock->isVisible());
    });
    on(C::HelpAboutSendora, [this] {
        m_ctx.ui->message(QStringLiteral("Sendora\r\n") + GetVersionText(true, m_ctx.version) +
                              QStringLiteral("\r\n\r\nBulk mail to your own address lists."),
                          Buttons::OK, Icon::Information, QStringLiteral("About Sendora"));
    });
    on(C::CreateBlankList, [this] { createEmptyList(); });
    on(C::ChooseManageLists, chooser(ChooserKind::ManageLists));
    on(C::ChooseDeliveryOptions, chooser(ChooserKind::DeliveryOptions));
    on(C::ChooseGroups, chooser(ChooserKind::GroupOptions));
}

void MdiMain::tileWindows(bool stacked) {
    QList<QMdiSubWindow*> windows;
    for (QMdiSubWindow* w : m_area->subWindowList())
        if (w->isVisible() && !w->isMinimized()) windows << w;
    const QRect area = m_area->viewport()->rect();
    for (int i = 0; i < windows.size(); ++i) {
        windows[i]->showNormal();
        if (stacked) {
            const int h = area.height() / int(windows.size());
            windows[i]->setGeometry(0, i * h, area.width(), h);
        } else {
            const int w = area.width() / int(windows.size());
            windows[i]->setGeometry(i * w, 0, w, area.height());
        }
    }
}

CommandResult MdiMain::runCommand(const QString& name) {
    const std::optional<CommandId> id = commandIdOf(name);
    return id ? runCommand(*id) : CommandResult::Unknown;
}

CommandResult MdiMain::runCommand(CommandId id) {
    if (id < CommandId(0) || id >= CommandId::Count) return CommandResult::Unknown;
    if (QAction* a = action(id); (a && !a->isEnabled()) || !commandAvailable(id))
        return CommandResult::Unavailable;
    bool opening = false;
    if (countsAgainstWindowLimit(id, &opening) && m_registry.refusesNewWindows()) {
        m_ctx.ui->message(WindowRegistry::limitMessage(opening), Buttons::OK, Icon::Exclamation);
        return CommandResult::Refused;
    }
    const auto& run = m_handlers[size_t(id)] ? m_handlers[size_t(id)] : m_dispatch[size_t(id)];
    if (!run) return CommandResult::Unavailable;
    run();
    return CommandResult::Ran;
}

// ---- start and exit

void MdiMain::restorePlacement() {
    const WindowPlacement p = readWindowPlacement(m_ctx);
    QRect geometry = p.geometry;
    bool onScreen = false;
    for (QScreen* screen : QGuiApplication::screens())
        onScreen = onScreen || (geometry.isValid() && screen->availableGeometry().intersects(geometry));
    if (onScreen)
        setGeometry(geometry);
    else if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect avail = screen->availableGeometry();
        const QSize size(std::min(1180, avail.width() - 40), std::min(760, avail.height() - 40));
        setGeometry(QRect(avail.center() - QPoint(size.width() / 2, size.height() / 2), size));
    }
    m_startMaximised = p.state == WindowMaximised;
}

void MdiMain::savePlacement() {
    const int state = isMinimized() ? WindowMinimised : isMaximized() ? WindowMaximised : WindowNormal;
    writeWindowPlacement(m_ctx, state == WindowNormal ? geometry() : normalGeometry(), state);
}

void MdiMain::showMainWindow() {
    readMainWindowSettings(m_ctx);
    clearTemporaryFolder(m_ctx);
    buildListBar();
    restorePlacement();
    if (m_startMaximised)
        showMaximized();
    else
        show();
    // Paint now: the list synchronisation that follows may take a while, and the user should
    // see the window (with the busy pointer) meanwhile. Input waits until start-up is done.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void MdiMain::mainWindowReady() {
    UpdateExistingMessages(m_ctx);
    m_panelText->clear();
    setupDefaultMenus();
    if (m_ctx.settings.startSDCentral && m_makers.mailingCentre) m_centreTimer->start();
}

void MdiMain::closeEvent(QCloseEvent* event) {
    if (!closeChildWindows(true)) {
        m_registry.closeCancelled = false;
        event->ignore();
        return;
    }
    closeChildWindows(false);
    savePlacement();
    writeExitSettings(m_ctx);
    if (m_listBar) writeListbarOrder(m_ctx, m_listBar->groupOrder());
    resetSystemDatabaseAttributes(m_ctx);
    event->accept();
}

// ---- delivery options wizard

bool MdiMain::runDeliveryOptionsWizard(const QString& profileName, bool isNew) {
    if (m_makers.deliveryOptionsWizard) return m_makers.deliveryOptionsWizard(profileName, isNew);
    frmSDProfileWiz wizard(m_ctx, this);
    wizard.selectionBuilder = m_makers.selectionBuilder;
    wizard.wizard().openedFromMailing = mailingWizardState().running;
    // A new set named after the default set is start-up's initialization run.
    return isNew ? wizard.NewProfile(profileName) : wizard.LoadProfile(profileName);
}

// ---- mailing centre

frmSDCentral* MdiMain::mailingCentre() const {
    return m_centre ? qobject_cast<frmSDCentral*>(m_centre->widget()) : nullptr;
}

void MdiMain::groupCreated(const QString& groupName) {
    if (frmSDCentral* centre = mailingCentre())
        centre->SelectOutlineRow(centre->AddSendoraToSDDisplay(groupName, true));
}

void MdiMain::groupChanged(const QString& groupName) {
    if (frmSDCentral* centre = mailingCentre()) centre->UpdateSendoraInSDDisplay(groupName);
}

void MdiMain::groupDeleted(const QString& groupName) {
    if (frmSDCentral* centre = mailingCentre()) centre->RemoveSendoraFromSDDisplay(groupName);
}

void MdiMain::messageCatalogueChanged(const QString& messageName) {
    mailingWizardState().nameMessage(messageName);
    if (frmSDCentral* centre = mailingCentre()) centre->UpdateMessageInSDDisplay(messageName);
}

void MdiMain::deliveryOptionsChanged(const QString& profileName) {
    mailingWizardState().saveOptions(profileName);
    if (frmSDCentral* centre = mailingCentre()) centre->UpdateDeliveryOptionsInSDDisplay(profileName);
}

void MdiMain::listSaved(const QString& listName, const QString& /*file*/) {
    mailingWizardState().chooseList(listName);
}

void MdiMain::listCatalogueChanged() {
    if (frmSDCentral* centre = mailingCentre()) centre->UpdateListInSDDisplay(QString());
}

} // namespace sendora
