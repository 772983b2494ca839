#include "screens/ui/ListBar.h"

#include "screens/Commands.h"
#include "screens/ui/Icons.h"

#include <QContextMenuEvent>
#include <QListWidget>
#include <QMenu>
#include <QToolBox>
#include <QVBoxLayout>

namespace sendora {

namespace {

constexpr int kCommandRole = Qt::UserRole;

QString groupObjectName(const QString& group) {
    return QStringLiteral("lb") + QString(group).remove(u' ');
}

} // namespace

ListBar::ListBar(const QStringList& groupOrder, QWidget* parent)
    : QWidget(parent), m_box(new QToolBox(this)) {
    setObjectName(QStringLiteral("Listbar"));
    m_box->setObjectName(QStringLiteral("tbxListbar"));
    for (const QString& group : groupOrder)
        m_box->addItem(makeGroup(group), group);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_box);
    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, &QWidget::customContextMenuRequested, this, &ListBar::showContextMenu);
    setMinimumWidth(150);
}

QListWidget* ListBar::makeGroup(const QString& group) {
    auto* list = new QListWidget;
    list->setObjectName(groupObjectName(group));
    list->setViewMode(QListView::IconMode);
    list->setFlow(QListView::TopToBottom);
    list->setWrapping(false);
    list->setMovement(QListView::Static);
    list->setResizeMode(QListView::Adjust);
    list->setIconSize(QSize(40, 40));
    list->setSpacing(2);
    list->setUniformItemSizes(true);
    list->setWordWrap(true);
    list->setFrameShape(QFrame::NoFrame);
    list->setContextMenuPolicy(Qt::CustomContextMenu);
    list->viewport()->installEventFilter(this);
    connect(list, &QWidget::customContextMenuRequested, this,
            [this, list](const QPoint& at) { showContextMenu(list->mapTo(this, at)); });
    for (const ListbarItem& item : listbarItems()) {
        if (group != QLatin1String(item.group)) continue;
        auto* row =
            new QListWidgetItem(sendoraIcon(QLatin1String(item.icon)), QLatin1String(item.caption), list);
        row->setData(kCommandRole, QLatin1String(item.command));
        row->setToolTip(QLatin1String(item.tip));
        row->setTextAlignment(Qt::AlignHCenter | Qt::AlignTop);
    }
    connect(list, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
        if (item->flags() & Qt::ItemIsEnabled) Q_EMIT commandRequested(item->data(kCommandRole).toString());
    });
    return list;
}

QStringList ListBar::groupOrder() const {
    QStringList order;
    for (int i = 0; i < m_box->count(); ++i)
        order << m_box->itemText(i);
    return order;
}

QListWidget* ListBar::groupList(const QString& group) const {
    return findChild<QListWidget*>(groupObjectName(group));
}

void ListBar::moveGroup(const QString& group, int delta) {
    const int from = groupOrder().indexOf(group);
    const int to = from + delta;
    if (from < 0 || to < 0 || to >= m_box->count()) return;
    QWidget* page = m_box->widget(from);
    const bool current = m_box->currentIndex() == from;
    m_box->removeItem(from);
    m_box->insertItem(to, page, group);
    if (current) m_box->setCurrentIndex(to);
    Q_EMIT orderChanged();
}

void ListBar::setItemState(const QString& command, bool enabled, const QString& toolTip) {
    for (QListWidget* list : findChildren<QListWidget*>())
        for (int i = 0; i < list->count(); ++i) {
            QListWidgetItem* item = list->item(i);
            if (item->data(kCommandRole).toString() != command) continue;
            item->setFlags(enabled ? item->flags() | Qt::ItemIsEnabled : item->flags() & ~Qt::ItemIsEnabled);
            if (!toolTip.isEmpty()) item->setToolTip(toolTip);
        }
}

void ListBar::setLargeIcons(bool large) {
    m_large = large;
    for (QListWidget* list : findChildren<QListWidget*>()) {
        list->setViewMode(large ? QListView::IconMode : QListView::ListMode);
        list->setIconSize(large ? QSize(40, 40) : QSize(20, 20));
        for (int i = 0; i < list->count(); ++i)
            list->item(i)->setTextAlignment(large ? Qt::AlignHCenter | Qt::AlignTop
                                                  : Qt::AlignLeft | Qt::AlignVCenter);
        fitItems(list);
    }
}

void ListBar::fitItems(QListWidget* list) const {
    // Large icons take the bar's full width so they sit centred under the group header.
    const QSize size = m_large ? QSize(std::max(90, list->viewport()->width() - 6), 74) : QSize();
    for (int i = 0; i < list->count(); ++i)
        list->item(i)->setSizeHint(size);
}

bool ListBar::eventFilter(QObject* watched, QEvent* event) {
    // Large icons sit centred in the bar whatever its width.
    if (event->type() == QEvent::Resize && m_large)
        for (QListWidget* list : findChildren<QListWidget*>())
            if (list->viewport() == watched) fitItems(list);
    return QWidget::eventFilter(watched, event);
}

void ListBar::showContextMenu(const QPoint& at) {
    const QString group = m_box->itemText(m_box->currentIndex());
    QMenu menu(this);
    QAction* large = menu.addAction(tr("Large Icons"), this, [this] { setLargeIcons(true); });
    QAction* small = menu.addAction(tr("Small Icons"), this, [this] { setLargeIcons(false); });
    large->setCheckable(true);
    small->setCheckable(true);
    large->setChecked(m_large);
    small->setChecked(!m_large);
    menu.addSeparator();
    menu.addAction(tr("Move Group Up"), this, [this, group] { moveGroup(group, -1); })
        ->setEnabled(m_box->currentIndex() > 0);
    menu.addAction(tr("Move Group Down"), this, [this, group] { moveGroup(group, 1); })
        ->setEnabled(m_box->currentIndex() < m_box->count() - 1);
    menu.exec(mapToGlobal(at));
}

} // namespace sendora
