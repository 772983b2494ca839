#include "screens/ui/frmSDCentral.h"

#include "core/AppContext.h"
#include "core/Catalogue.h"
#include "core/Settings.h"
#include "core/ui/OpenDeleteDialog.h"
#include "mailing/ui/frmDirectSend.h"
#include "mailing/ui/frmSendMail.h"
#include "screens/MainWindowSettings.h"
#include "screens/ui/Icons.h"
#include "screens/ui/frmSDCentralSendAgain.h"
#include "screens/ui/frmScheduler.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIdentityProxyModel>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>

namespace sendora {

namespace {

QColor colour(Rgb c) {
    return QColor(c.r, c.g, c.b);
}

// Colours, icons and row heights of the outline, over the plain model.
class StyledOutline : public QIdentityProxyModel {
public:
    StyledOutline(int rowHeight, QObject* parent)
        : QIdentityProxyModel(parent), m_rowHeight(rowHeight),
          m_groupIcon(sendoraIcon(QStringLiteral("group"))),
          m_listIcon(sendoraIcon(QStringLiteral("openlist"))),
          m_messageIcon(sendoraIcon(QStringLiteral("newmessage"))) {}

    QVariant data(const QModelIndex& index, int role) const override {
        const int level = QIdentityProxyModel::data(index, SDCentralOutline::LevelRole).toInt();
        const bool name = index.column() == SDCentralOutline::NameColumn;
        switch (role) {
        case Qt::ForegroundRole:
            if (!name) return {};
            return QBrush(colour(level == 0   ? kGroupTextColour
                                 : level == 1 ? kListTextColour
                                              : kMailingTextColour));
        case Qt::BackgroundRole:
            return QBrush(colour(QIdentityProxyModel::data(index, SDCentralOutline::RemovedRole).toBool()
                                     ? kRemovedBackground
                                     : kPresentBackground));
        case Qt::DecorationRole:
            if (!name) return {};
            return level == 0 ? m_groupIcon : level == 1 ? m_listIcon : m_messageIcon;
        case Qt::FontRole:
            if (name && level == 0) {
                QFont f;
                f.setBold(true);
                return f;
            }
            return {};
        case Qt::SizeHintRole:
            if (!name) return {};
            return QSize(0, level == 0 ? qRound(m_rowHeight * kGroupRowHeightFactor) : m_rowHeight);
        default:
            return QIdentityProxyModel::data(index, role);
        }
    }

private:
    int m_rowHeight;
    QIcon m_groupIcon, m_listIcon, m_messageIcon;
};

// The tree column's heading in the three row colours.
class OutlineHeader : public QHeaderView {
public:
    explicit OutlineHeader(QWidget* parent) : QHeaderView(Qt::Horizontal, parent) {}

protected:
    void paintSection(QPainter* p, const QRect& rect, int logical) const override {
        if (logical != SDCentralOutline::NameColumn) {
            QHeaderView::paintSection(p, rect, logical);
            return;
        }
        QStyleOptionHeader opt;
        initStyleOption(&opt);
        opt.rect = rect;
        opt.section = logical;
        style()->drawControl(QStyle::CE_HeaderSection, &opt, p, this);
        p->save();
        QFont f = font();
        f.setBold(true);
        p->setFont(f);
        const QFontMetrics fm(f);
        const std::pair<QString, QColor> parts[] = {
            {QStringLiteral("Sendora Group"), colour(kGroupTextColour)},
            {QStringLiteral(" \\ "), palette().color(QPalette::ButtonText)},
            {QStringLiteral("Mailing Lists"), colour(kListTextColour)},
            {QStringLiteral(" \\ "), palette().color(QPalette::ButtonText)},
            {QStringLiteral("Messages"), colour(kMailingTextColour)}};
        int x = rect.left() + 6;
        p->setClipRect(rect.adjusted(0, 0, -2, 0));
        for (const auto& [text, c] : parts) {
            p->setPen(c);
            p->drawText(QRect(x, rect.top(), rect.right() - x, rect.height()),
                        Qt::AlignVCenter | Qt::AlignLeft, text);
            x += fm.horizontalAdvance(text);
        }
        p->restore();
    }
};

// The list choice reads the catalogue again each time it drops down.
class RefillingCombo : public QComboBox {
public:
    using QComboBox::QComboBox;
    std::function<void()> beforePopup;
    void showPopup() override {
        if (beforePopup) beforePopup();
        QComboBox::showPopup();
    }
};

QComboBox* choiceBox(const char* name, QWidget* parent) {
    auto* box = new QComboBox(parent);
    box->setObjectName(QLatin1String(name));
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);
    box->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    box->setMinimumContentsLength(18);
    return box;
}

int twips(int t) {
    return t / kTwipsPerPixel;
}

} // namespace

frmSDCentral::frmSDCentral(AppContext& ctx, QWidget* parent) : QWidget(parent), m_ctx(ctx), m_core(ctx) {
    setObjectName(QStringLiteral("frmSDCentral"));
    setWindowTitle(QStringLiteral("Sendora Central"));
    setWindowIcon(sendoraIcon(QStringLiteral("central")));
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(buildChoices());
    layout->addWidget(buildOutline(), 1);
    setUpdatesEnabled(false);
    m_core.open();
    fillChoices();
    setChoices({QString(), kDefaultProfileName, QString(), QString()});
    m_prepare->setEnabled(false);
    m_send->setEnabled(false);
    m_campaign->setEnabled(false);
    setShownDepth(2);
    setUpdatesEnabled(true);
}

frmSDCentral::~frmSDCentral() = default;

QWidget* frmSDCentral::buildChoices() {
    auto* panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("fraQuickSteps"));
    panel->setFrameShape(QFrame::StyledPanel);
    panel->setFixedWidth(260);
    panel->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::MinimumExpanding);
    auto* v = new QVBoxLayout(panel);
    auto* title = new QLabel(QStringLiteral("Quick Steps to Prepare/Send a Mailing"), panel);
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    title->setWordWrap(true);
    v->addWidget(title);
    const QString steps[] = {
        QStringLiteral("1.  Select a \"Sendora Group\"."),
        QStringLiteral("2.  Select a set of \"Sendora Delivery Options\"."),
        QStringLiteral("3.  Select a \"Mailing List\"."),
        QStringLiteral("4.  Select a \"Message\"."),
        QStringLiteral("5.  The \"Prepare Mailing\" button should be enabled. Press it."),
        QStringLiteral("6.  The \"Send Mailing\" button should be enabled. Press it.")};
    for (int i = 0; i < 6; ++i) {
        auto* l = new QLabel(steps[i], panel);
        l->setObjectName(QStringLiteral("lblStep%1").arg(i + 1));
        l->setWordWrap(true);
        v->addWidget(l);
    }
    v->addSpacing(6);
    m_group = choiceBox("cboSendora", panel);
    m_profile = choiceBox("cboDeliveryOptions", panel);
    auto* list = new RefillingCombo(panel);
    list->setObjectName(QStringLiteral("cboMailingList"));
    list->setEditable(true);
    list->setInsertPolicy(QComboBox::NoInsert);
    list->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    list->setMinimumContentsLength(18);
    list->beforePopup = [this, list] {
        const QString keep = list->currentText();
        m_filling = true;
        list->clear();
        list->addItems(m_core.listNamesNow());
        list->setEditText(keep);
        m_filling = false;
    };
    m_list = list;
    m_message = choiceBox("cboMessage", panel);
    const std::pair<QString, QComboBox*> rows[] = {{QStringLiteral("Sendora Group:"), m_group},
                                                   {QStringLiteral("Sendora Delivery Options:"), m_profile},
                                                   {QStringLiteral("Mailing List:"), m_list},
                                                   {QStringLiteral("Message:"), m_message}};
    for (const auto& [label, box] : rows) {
        auto* l = new QLabel(label, panel);
        l->setBuddy(box);
        v->addWidget(l);
        v->addWidget(box);
        connect(box, &QComboBox::currentTextChanged, this, [this] { choiceChanged(); });
        QComboBox* const combo = box; // clang 14 cannot capture a structured binding
        connect(box->lineEdit(), &QLineEdit::editingFinished, this, [this, combo] { leaveChoice(combo); });
    }
    v->addSpacing(8);
    auto button = [&](const char* name, const QString& caption) {
        auto* b = new QPushButton(caption, panel);
        b->setObjectName(QLatin1String(name));
        v->addWidget(b);
        return b;
    };
    m_prepare = button("cmdPrepare", QStringLiteral("Prepare Mailing"));
    m_send = button("cmdSend", QStringLiteral("Send Mailing"));
    m_campaign = button("cmdCampaign", QStringLiteral("Campaign Manager"));
    m_campaign->setToolTip(QStringLiteral("Schedule this mailing (not available in this version)"));
    m_help = button("cmdHelp", QStringLiteral("Sendora Help"));
    v->addStretch(1);
    connect(m_prepare, &QPushButton::clicked, this, [this] {
        const NewMailingChoices c = choices();
        PrepareMailingUpdatingInterface(c.group, c.list, c.message, c.profile);
    });
    connect(m_send, &QPushButton::clicked, this, &frmSDCentral::pressSend);
    connect(m_campaign, &QPushButton::clicked, this, &frmSDCentral::pressCampaign);
    connect(m_help, &QPushButton::clicked, this, [this] {
        if (QWidget* top = window())
            if (auto* help = top->findChild<QAction*>(QStringLiteral("id_HelpSendoraHelp"))) help->trigger();
    });
    return panel;
}

QWidget* frmSDCentral::buildOutline() {
    auto* box = new QWidget(this);
    auto* v = new QVBoxLayout(box);
    v->setContentsMargins(0, 0, 0, 0);
    auto* tools = new QHBoxLayout;
    auto tool = [&](const char* name, QStyle::StandardPixmap icon, const QString& tip) {
        auto* b = new QToolButton(box);
        b->setObjectName(QLatin1String(name));
        b->setIcon(style()->standardIcon(icon));
        b->setToolTip(tip);
        tools->addWidget(b);
        return b;
    };
    m_expand = tool("cmdExpand", QStyle::SP_ArrowDown,
                    QStringLiteral("Show additional level of Sendora Mailings information."));
    m_collapse = tool("cmdCollapse", QStyle::SP_ArrowUp,
                      QStringLiteral("Hide one level of Sendora Mailings information."));
    tools->addStretch(1);
    v->addLayout(tools);
    connect(m_expand, &QToolButton::clicked, this, [this] { setShownDepth(m_depth + 1); });
    connect(m_collapse, &QToolButton::clicked, this, [this] { setShownDepth(m_depth - 1); });

    m_view = new QTreeView(box);
    m_view->setObjectName(QStringLiteral("grdSDCentral"));
    const int rowHeight = fontMetrics().height() + 8;
    m_styled = new StyledOutline(rowHeight, this);
    m_styled->setSourceModel(&m_core.outline());
    auto* header = new OutlineHeader(m_view);
    m_view->setHeader(header);
    m_view->setModel(m_styled);
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setSelectionMode(QAbstractItemView::SingleSelection);
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view->setAlternatingRowColors(false);
    m_view->setAllColumnsShowFocus(true);
    m_view->setExpandsOnDoubleClick(false);
    m_view->setContextMenuPolicy(Qt::CustomContextMenu);
    m_view->setIndentation(twips(200) + 4);
    m_view->setIconSize(QSize(16, 16));
    header->setStretchLastSection(false);
    header->setSectionsMovable(false);
    const QFontMetrics hf(header->font());
    auto width = [&](int column, int twipWidth) {
        const int text = hf.horizontalAdvance(m_styled->headerData(column, Qt::Horizontal).toString()) + 24;
        m_view->setColumnWidth(column, std::max(twips(twipWidth), text));
    };
    width(SDCentralOutline::NameColumn, 5000);
    width(SDCentralOutline::IdColumn, 1000);
    m_view->setColumnWidth(
        SDCentralOutline::DateColumn,
        std::max(twips(2000), fontMetrics().horizontalAdvance(QStringLiteral("Mmm 00 0000  00:00 AM")) + 16));
    width(SDCentralOutline::LastColumn, 1000);
    width(SDCentralOutline::TotalColumn, 1000);
    m_view->setColumnHidden(SDCentralOutline::ProfileColumn, true);
    // The names take what the figures leave, so every column stays in view.
    header->setMinimumSectionSize(60);
    header->setSectionResizeMode(SDCentralOutline::NameColumn, QHeaderView::Stretch);
    m_view->setMinimumWidth(160 + m_view->columnWidth(SDCentralOutline::IdColumn) +
                            m_view->columnWidth(SDCentralOutline::DateColumn) +
                            m_view->columnWidth(SDCentralOutline::LastColumn) +
                            m_view->columnWidth(SDCentralOutline::TotalColumn) + 24);
    v->addWidget(m_view, 1);

    connect(
        m_view->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
        [this](const QModelIndex& current) { rowChanged(outline().rowOf(m_styled->mapToSource(current))); });
    connect(m_view, &QTreeView::doubleClicked, this, [this](const QModelIndex& index) {
        rowDoubleClicked(outline().rowOf(m_styled->mapToSource(index)));
    });
    connect(m_view, &QTreeView::customContextMenuRequested, this, &frmSDCentral::showRowMenu);
    connect(m_styled, &QAbstractItemModel::rowsInserted, this, &frmSDCentral::expandNew);
    connect(m_styled, &QAbstractItemModel::rowsRemoved, this, [this] {
        m_selected = outline().rowOf(m_styled->mapToSource(m_view->currentIndex()));
        rowChanged(m_selected);
        updateOutlineButtons();
    });
    return box;
}

// ---- choices

NewMailingChoices frmSDCentral::choices() const {
    return {m_group->currentText().trimmed(), m_profile->currentText().trimmed(),
            m_list->currentText().trimmed(), m_message->currentText().trimmed()};
}

void frmSDCentral::setChoices(const NewMailingChoices& c) {
    m_group->setEditText(c.group);
    m_profile->setEditText(c.profile);
    m_list->setEditText(c.list);
    m_message->setEditText(c.message);
    choiceChanged();
}

void frmSDCentral::fillChoices() {
    m_filling = true;
    const NewMailingChoices keep = choices();
    const CatalogueSnapshot& cat = m_core.catalogue();
    auto refill = [](QComboBox* box, const QStringList& items, const QString& text) {
        box->clear();
        box->addItems(items);
        box->setEditText(text);
    };
    refill(m_group, cat.groups, keep.group);
    refill(m_profile, cat.profiles, keep.profile);
    refill(m_list, cat.lists, keep.list);
    refill(m_message, cat.messages, keep.message);
    m_filling = false;
}

void frmSDCentral::choiceChanged() {
    if (m_filling) return;
    const ChoiceButtons b = choiceButtons(choices());
    m_prepare->setEnabled(b.prepare);
    if (b.send) m_send->setEnabled(*b.send);
}

void frmSDCentral::leaveChoice(QComboBox* box) {
    const QString text = box->currentText().trimmed();
    if (text.isEmpty()) return;
    m_core.refreshSources();
    const CatalogueSnapshot& cat = m_core.catalogue();
    QStringList known;
    if (box == m_group)
        known = cat.groups;
    else if (box == m_profile)
        known = cat.profiles;
    else if (box == m_list)
        known = cat.lists;
    else
        known = cat.messages;
    for (const QString& name : known)
        if (name.compare(text, Qt::CaseInsensitive) == 0) {
            if (name != box->currentText()) box->setEditText(name); // the catalogue's spelling
            return;
        }
    box->setEditText(box == m_profile ? kDefaultProfileName : QString());
}

// ---- outline

void frmSDCentral::SetupNewFlexGrid() {
    setUpdatesEnabled(false);
    m_core.SetupNewFlexGrid();
    m_selected = -1;
    setShownDepth(2);
    setUpdatesEnabled(true);
}

void frmSDCentral::setShownDepth(int depth) {
    m_depth = std::clamp(depth, 0, 2);
    m_view->setUpdatesEnabled(false);
    m_view->collapseAll();
    if (m_depth > 0) m_view->expandToDepth(m_depth - 1);
    m_view->setUpdatesEnabled(true);
    updateOutlineButtons();
}

void frmSDCentral::updateOutlineButtons() {
    m_expand->setEnabled(m_depth < 2);
    m_collapse->setEnabled(m_depth > 0 && outline().rowsInUse() > 0);
}

void frmSDCentral::expandNew(const QModelIndex& parent, int first, int last) {
    for (int r = first; r <= last; ++r) {
        const QModelIndex i = m_styled->index(r, 0, parent);
        if (i.data(SDCentralOutline::LevelRole).toInt() < m_depth) m_view->expand(i);
    }
    updateOutlineButtons();
}

void frmSDCentral::SelectOutlineRow(int row) {
    const QModelIndex index =
        m_styled->mapFromSource(outline().indexOfRow(row, SDCentralOutline::NameColumn));
    if (!index.isValid()) return;
    m_view->setCurrentIndex(index);
    m_view->scrollTo(index);
    rowChanged(row);
}

void frmSDCentral::DeselectOutlineRowIfPossible() {
    if (m_selected >= 0 && !outline().isRemoved(m_selected)) m_view->selectionModel()->clearSelection();
}

void frmSDCentral::rowChanged(int row) {
    m_selected = row;
    const bool sendable = m_core.isSendableRow(row);
    m_send->setEnabled(sendable);
    m_campaign->setEnabled(sendable);
}

int frmSDCentral::AddSendoraToSDDisplay(const QString& group, bool refresh) {
    const int row = m_core.AddSendoraToSDDisplay(group, refresh);
    if (refresh) fillChoices();
    updateOutlineButtons();
    return row;
}

void frmSDCentral::RemoveSendoraFromSDDisplay(const QString& group) {
    m_core.RemoveSendoraFromSDDisplay(group);
    fillChoices();
    UpdateSendoraInSDDisplay(group);
}

void frmSDCentral::UpdateSendoraInSDDisplay(const QString& group) {
    m_core.refreshSources();
    fillChoices();
    if (!m_core.catalogue().hasGroup(m_group->currentText())) m_group->setEditText(QString());
    UpdateItemInSDDisplay(group, SDCentralOutline::GroupLevel);
}

void frmSDCentral::UpdateListInSDDisplay(const QString& list) {
    m_core.refreshSources();
    fillChoices();
    UpdateItemInSDDisplay(list, SDCentralOutline::ListLevel);
}

void frmSDCentral::UpdateMessageInSDDisplay(const QString& message) {
    m_core.refreshSources();
    fillChoices();
    if (!m_core.catalogue().hasMessage(m_message->currentText())) m_message->setEditText(QString());
    UpdateItemInSDDisplay(message, SDCentralOutline::MailingLevel);
}

void frmSDCentral::UpdateDeliveryOptionsInSDDisplay(const QString& options) {
    m_core.refreshSources();
    fillChoices();
    if (!m_core.catalogue().hasProfile(m_profile->currentText())) m_profile->setEditText(kDefaultProfileName);
    Q_UNUSED(options); // rows show their options by name only; nothing to re-mark
}

void frmSDCentral::UpdateItemInSDDisplay(const QString& name, int level) {
    m_core.UpdateItemInSDDisplay(name, level);
    // A rename or delete reaches us under one name only; rows of the other name change too.
    outline().remarkAll(m_core.catalogue());
    rowChanged(m_selected); // a selected row may have turned removed
}

// ---- preparing and sending

int frmSDCentral::PrepareMailing(const QString& group, const QString& list, const QString& message,
                                 const QString& deliveryOptions) {
    setUpdatesEnabled(false);
    const int row = m_core.PrepareMailing(group, list, message, deliveryOptions);
    setUpdatesEnabled(true);
    return row;
}

int frmSDCentral::PrepareMailingUpdatingInterface(const QString& group, const QString& list,
                                                  const QString& message, const QString& deliveryOptions) {
    const int row = PrepareMailing(group, list, message, deliveryOptions);
    if (row < 0) return row;
    fillChoices();
    m_prepare->setEnabled(false);
    m_filling = true;
    m_group->setEditText(QString());
    m_message->setEditText(QString());
    m_profile->setEditText(kDefaultProfileName);
    m_filling = false;
    SelectOutlineRow(row);
    m_send->setEnabled(true);
    m_campaign->setEnabled(true);
    updateOutlineButtons();
    return row;
}

void frmSDCentral::pressSend() {
    if (m_selected < 1) {
        m_ctx.ui->message(SDCentral::kSelectMailingFirst, Buttons::OK, Icon::Information);
        return;
    }
    SendSendoraIfPossible(m_selected);
}

void frmSDCentral::pressCampaign() {
    if (m_selected < 0) return;
    const auto id = m_core.mailingToSchedule(m_selected);
    if (!id) return;
    if (openScheduler) {
        openScheduler(*id);
        return;
    }
    frmScheduler scheduler(m_ctx, this);
    scheduler.LoadValuesByID(*id);
}

void frmSDCentral::SendSendoraIfPossible(int row) {
    m_cancelSend = false;
    const auto mailing = m_core.mailingToSend(row);
    if (!mailing) return;
    if (m_core.sentBefore(*mailing)) SetupAndShowSendAgainWarning(m_ctx, *mailing, *this);
    if (m_core.sentBefore(*mailing) && m_cancelSend) return;
    m_pending = mailing;
    StartMailing();
}

void frmSDCentral::StartMailing() {
    if (!m_pending) return;
    const MailingRow mailing = *m_pending;
    if (m_core.selectsDirectSend(mailing.profile)) {
        {
            frmDirectSend screen(m_ctx, mailing, this);
            connect(&screen, &frmDirectSend::mailingFinished, this,
                    [this, id = mailing.id] { refreshRow(id, false); });
            screen.exec();
        }
        refreshRow(mailing.id, true);
        return;
    }
    {
        frmSendMail screen(m_ctx, mailing, this);
        screen.transportFactory = transportFactory;
        // Send pressed again in the open screen warns as the menu's send does.
        screen.confirmSendAgain = [this, &screen](const MailingRow& m) {
            return sendora::confirmSendAgain(m_ctx, m, &screen);
        };
        // Each send's figures reach the outline while the screen is still up.
        connect(&screen, &frmSendMail::mailingFinished, this,
                [this, id = mailing.id] { refreshRow(id, false); });
        screen.exec();
    }
    // A send cut short by closing the screen stores its figures as the screen goes.
    refreshRow(mailing.id, true);
}

void frmSDCentral::ReturnMailResults(qint64 mailingId, qint64 sentCount, qint64 failedCount,
                                     const QString& dateSent, bool selectRow) {
    const int row = m_core.ReturnMailResults(mailingId, sentCount, failedCount, dateSent);
    if (row >= 0 && selectRow && isVisible()) SelectOutlineRow(row);
}

void frmSDCentral::refreshRow(qint64 mailingId, bool selectRow) {
    const int row = m_core.refreshMailing(mailingId);
    if (row >= 0 && selectRow) SelectOutlineRow(row);
}

// ---- row commands

void frmSDCentral::rowDoubleClicked(int row) {
    static const RowCommand commands[] = {RowCommand::EditGroupDescription, RowCommand::OpenList,
                                          RowCommand::OpenMessage};
    const int level = outline().levelOf(row);
    if (level >= 0 && level <= 2) runRowCommand(row, commands[level]);
}

QMenu* frmSDCentral::rowMenuFor(int row) {
    const auto info = outline().rowInfo(row);
    auto* menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("mnuOutline%1").arg(info.level));
    for (const RowMenuItem& item : rowMenu(info.level, info.removed)) {
        QAction* a = menu->addAction(item.caption);
        a->setEnabled(item.enabled);
        a->setData(int(item.command));
        connect(a, &QAction::triggered, this,
                [this, row, a] { runRowCommand(row, RowCommand(a->data().toInt())); });
    }
    return menu;
}

void frmSDCentral::showRowMenu(const QPoint& pos) {
    const QModelIndex index = m_view->indexAt(pos);
    if (!index.isValid()) return;
    const int row = outline().rowOf(m_styled->mapToSource(index));
    SelectOutlineRow(row);
    QMenu* menu = rowMenuFor(row);
    menu->exec(m_view->viewport()->mapToGlobal(pos));
    menu->deleteLater();
}

void frmSDCentral::runRowCommand(int row, RowCommand command) {
    switch (command) {
    case RowCommand::SelectForNewMailing: {
        const int level = outline().levelOf(row);
        const auto name = m_core.selectForNewMailing(row);
        if (!name) return;
        if (level == SDCentralOutline::ListLevel) static_cast<RefillingCombo*>(m_list)->beforePopup();
        QComboBox* box = level == 0 ? m_group : level == 1 ? m_list : m_message;
        box->setEditText(*name);
        break;
    }
    case RowCommand::EditGroupDescription: {
        const QString name = outline().rowInfo(row).name;
        m_core.refreshSources();
        if (m_core.catalogue().hasGroup(name)) editGroupDescription(name);
        break;
    }
    case RowCommand::DeleteGroup:
        if (m_core.deleteGroup(row)) fillChoices();
        break;
    case RowCommand::OpenList:
        m_core.openList(row);
        break;
    case RowCommand::OpenMessage:
        m_core.openMessage(row);
        break;
    case RowCommand::DeleteMailing:
        m_core.deleteMailing(row);
        break;
    case RowCommand::ShowDeliveryOptions:
        m_core.showDeliveryOptions(row);
        break;
    case RowCommand::SendMailing:
        SendSendoraIfPossible(row);
        break;
    }
}

void frmSDCentral::editGroupDescription(const QString& group) {
    OpenDeleteModel model(m_ctx, CatalogueKind::Group, CatalogueOperation::Open);
    OpenDeleteDialog dialog(model, this);
    if (auto* names = dialog.findChild<QListWidget*>(QStringLiteral("lstNames")))
        for (QListWidgetItem* item : names->findItems(group, Qt::MatchFixedString))
            names->setCurrentItem(item);
    dialog.exec();
}

bool frmSDCentral::runCommand(CommandId id) {
    if (id != CommandId::FileSendSendora) return false;
    if (m_pending)
        StartMailing();
    else
        pressSend();
    return true;
}

void frmSDCentral::closeEvent(QCloseEvent* event) {
    m_core.close();
    QWidget::closeEvent(event);
}

std::function<QWidget*()> mailingCentreMaker(AppContext& ctx) {
    return [&ctx] { return new frmSDCentral(ctx); };
}

} // namespace sendora
