#include "screens/SDCentralOutline.h"

#include <algorithm>

namespace sendora {

struct SDCentralOutline::Node {
    int level = -1; // -1: the invisible root
    QString name;
    Node* parent = nullptr;
    int position = 0; // index among the parent's children
    int size = 1;     // outline rows of this subtree, itself included (the root: 0)
    std::vector<std::unique_ptr<Node>> children;
    bool removed = false;
    // Mailing rows only.
    qint64 id = 0;
    QString profile;
    QString dateSent;
    std::optional<qint64> lastCount;
    std::optional<qint64> sentCount;
};

namespace {

int compareNames(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive);
}

QString countText(const std::optional<qint64>& n) {
    return n ? QString::number(*n) : QString();
}

} // namespace

SDCentralOutline::SDCentralOutline(QObject* parent)
    : QAbstractItemModel(parent), m_root(std::make_unique<Node>()) {
    m_root->size = 0;
}

SDCentralOutline::~SDCentralOutline() = default;

// ---- QAbstractItemModel

SDCentralOutline::Node* SDCentralOutline::nodeOf(const QModelIndex& index) const {
    return index.isValid() ? static_cast<Node*>(index.internalPointer()) : m_root.get();
}

QModelIndex SDCentralOutline::indexOfNode(const Node* node, int column) const {
    if (!node || node == m_root.get()) return {};
    return createIndex(node->position, column, const_cast<Node*>(node));
}

QModelIndex SDCentralOutline::index(int row, int column, const QModelIndex& parent) const {
    const Node* p = nodeOf(parent);
    if (row < 0 || column < 0 || column >= ColumnCount || row >= int(p->children.size())) return {};
    return createIndex(row, column, p->children[size_t(row)].get());
}

QModelIndex SDCentralOutline::parent(const QModelIndex& child) const {
    if (!child.isValid()) return {};
    return indexOfNode(nodeOf(child)->parent);
}

int SDCentralOutline::rowCount(const QModelIndex& parent) const {
    if (parent.isValid() && parent.column() != NameColumn) return 0;
    return int(nodeOf(parent)->children.size());
}

int SDCentralOutline::columnCount(const QModelIndex&) const {
    return ColumnCount;
}

QVariant SDCentralOutline::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    const Node* n = nodeOf(index);
    const bool mailing = n->level == MailingLevel;
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        switch (index.column()) {
        case NameColumn:
            return n->name;
        case IdColumn:
            return mailing ? QString::number(n->id) : QString();
        case DateColumn:
            return n->dateSent;
        case LastColumn:
            return countText(n->lastCount);
        case TotalColumn:
            return countText(n->sentCount);
        case ProfileColumn:
            return n->profile;
        default:
            return {};
        }
    case Qt::TextAlignmentRole:
        if (index.column() == IdColumn || index.column() == LastColumn || index.column() == TotalColumn)
            return QVariant::fromValue(Qt::Alignment(Qt::AlignRight | Qt::AlignVCenter));
        return QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
    case LevelRole:
        return n->level;
    case RemovedRole:
        return n->removed;
    case MailingIdRole:
        return mailing ? QVariant(n->id) : QVariant();
    default:
        return {};
    }
}

QVariant SDCentralOutline::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    switch (section) {
    case NameColumn:
        return QStringLiteral("Sendora Group \\ Mailing Lists \\ Messages");
    case IdColumn:
        return QStringLiteral("Mailing ID");
    case DateColumn:
        return QStringLiteral("Date Mailed");
    case LastColumn:
        return QStringLiteral("Last Mailing");
    case TotalColumn:
        return QStringLiteral("Total Mailed");
    case ProfileColumn:
        return QStringLiteral("Delivery Options");
    default:
        return {};
    }
}

// ---- outline rows

int SDCentralOutline::rowsInUse() const {
    return m_root->size;
}

SDCentralOutline::Node* SDCentralOutline::nodeAtRow(int row) const {
    if (row < 0 || row >= m_root->size) return nullptr;
    const Node* n = m_root.get();
    for (;;) {
        bool descended = false;
        for (const auto& child : n->children) {
            if (row < child->size) {
                if (row == 0) return child.get();
                --row;
                n = child.get();
                descended = true;
                break;
            }
            row -= child->size;
        }
        if (!descended) return nullptr;
    }
}

int SDCentralOutline::rowOfNode(const Node* node) const {
    int row = 0;
    for (const Node* n = node; n && n != m_root.get(); n = n->parent) {
        for (int i = 0; i < n->position; ++i)
            row += n->parent->children[size_t(i)]->size;
        if (n->parent != m_root.get()) ++row; // the parent's own row
    }
    return row;
}

QModelIndex SDCentralOutline::indexOfRow(int row, int column) const {
    return indexOfNode(nodeAtRow(row), column);
}

int SDCentralOutline::rowOf(const QModelIndex& index) const {
    return index.isValid() && index.model() == this ? rowOfNode(nodeOf(index)) : -1;
}

SDCentralOutline::RowInfo SDCentralOutline::rowInfo(int row) const {
    RowInfo info;
    const Node* n = nodeAtRow(row);
    if (!n) return info;
    info.level = n->level;
    info.name = n->name;
    info.profile = n->profile;
    info.id = n->id;
    info.dateSent = n->dateSent;
    info.lastCount = n->lastCount;
    info.sentCount = n->sentCount;
    info.removed = n->removed;
    for (const Node* p = n->parent; p && p != m_root.get(); p = p->parent)
        (p->level == ListLevel ? info.list : info.group) = p->name;
    return info;
}

int SDCentralOutline::findGroup(const QString& name) const {
    const Node* g = m_groups.value(CatalogueSnapshot::key(name));
    return g ? rowOfNode(g) : -1;
}

int SDCentralOutline::findMailing(qint64 id) const {
    const Node* m = m_mailings.value(id);
    return m ? rowOfNode(m) : -1;
}

// ---- building and changing

void SDCentralOutline::adjustSize(Node* from, int delta) {
    for (Node* n = from; n; n = n->parent)
        n->size += delta;
}

void SDCentralOutline::clear() {
    beginResetModel();
    m_root->children.clear();
    m_root->size = 0;
    m_mailings.clear();
    m_groups.clear();
    endResetModel();
}

void SDCentralOutline::build(const std::vector<MailingRecord>& ordered, const QStringList& groups,
                             const CatalogueSnapshot& cat) {
    beginResetModel();
    m_root->children.clear();
    m_root->size = 0;
    m_mailings.clear();
    m_groups.clear();
    m_mailings.reserve(qsizetype(ordered.size()));
    Node* group = nullptr;
    Node* list = nullptr;
    auto append = [](Node* parent, int level, const QString& name) {
        auto node = std::make_unique<Node>();
        node->level = level;
        node->name = name;
        node->parent = parent;
        node->position = int(parent->children.size());
        Node* raw = node.get();
        parent->children.push_back(std::move(node));
        adjustSize(parent, 1);
        return raw;
    };
    for (const MailingRecord& r : ordered) {
        if (!group || compareNames(group->name, r.group) != 0) {
            // The walk is in group order; a group met again (a stray spelling) joins its row.
            group = m_groups.value(CatalogueSnapshot::key(r.group));
            if (!group) {
                group = append(m_root.get(), GroupLevel, r.group);
                m_groups.insert(CatalogueSnapshot::key(r.group), group);
            }
            list = nullptr;
        }
        if (!list || compareNames(list->name, r.list) != 0) list = append(group, ListLevel, r.list);
        Node* m = append(list, MailingLevel, r.message);
        m->id = r.id;
        m->profile = r.profile;
        m->dateSent = r.dateSent;
        m->lastCount = r.lastCount;
        m->sentCount = r.sentCount;
        m_mailings.insert(r.id, m);
    }
    for (const QString& g : groups)
        if (!m_groups.contains(CatalogueSnapshot::key(g))) {
            auto node = std::make_unique<Node>();
            node->level = GroupLevel;
            node->name = g;
            m_groups.insert(
                CatalogueSnapshot::key(g),
                insertChild(m_root.get(), sortedPosition(m_root.get(), g), std::move(node), false));
        }
    std::vector<Node*> stack{m_root.get()};
    while (!stack.empty()) {
        Node* n = stack.back();
        stack.pop_back();
        for (const auto& c : n->children) {
            mark(c.get(), cat);
            stack.push_back(c.get());
        }
    }
    endResetModel();
}

int SDCentralOutline::sortedPosition(const Node* parent, const QString& name) const {
    const auto& kids = parent->children;
    const auto it = std::partition_point(kids.begin(), kids.end(), [&name](const std::unique_ptr<Node>& c) {
        return compareNames(c->name, name) < 0;
    });
    return int(it - kids.begin());
}

SDCentralOutline::Node* SDCentralOutline::findChild(Node* parent, const QString& name) const {
    for (const auto& c : parent->children)
        if (compareNames(c->name, name) == 0) return c.get();
    return nullptr;
}

SDCentralOutline::Node* SDCentralOutline::insertChild(Node* parent, int position, std::unique_ptr<Node> node,
                                                      bool notify) {
    if (notify) beginInsertRows(indexOfNode(parent), position, position);
    node->parent = parent;
    Node* raw = node.get();
    const int rows = node->size;
    parent->children.insert(parent->children.begin() + position, std::move(node));
    for (size_t i = size_t(position); i < parent->children.size(); ++i)
        parent->children[i]->position = int(i);
    adjustSize(parent, rows);
    if (notify) endInsertRows();
    return raw;
}

void SDCentralOutline::removeNode(Node* node) {
    Node* parent = node->parent;
    const int position = node->position;
    beginRemoveRows(indexOfNode(parent), position, position);
    std::vector<Node*> stack{node};
    while (!stack.empty()) {
        Node* n = stack.back();
        stack.pop_back();
        if (n->level == MailingLevel)
            m_mailings.remove(n->id);
        else if (n->level == GroupLevel)
            m_groups.remove(CatalogueSnapshot::key(n->name));
        for (const auto& c : n->children)
            stack.push_back(c.get());
    }
    adjustSize(parent, -node->size);
    parent->children.erase(parent->children.begin() + position);
    for (size_t i = size_t(position); i < parent->children.size(); ++i)
        parent->children[i]->position = int(i);
    endRemoveRows();
}

void SDCentralOutline::mark(Node* n, const CatalogueSnapshot& cat) {
    switch (n->level) {
    case GroupLevel:
        n->removed = !cat.hasGroup(n->name);
        break;
    case ListLevel:
        n->removed = !cat.hasList(n->name);
        break;
    case MailingLevel:
        n->removed = !cat.hasMessage(n->name) || !cat.mailingIds.contains(n->id);
        break;
    default:
        break;
    }
}

void SDCentralOutline::changed(Node* node) {
    Q_EMIT dataChanged(indexOfNode(node, 0), indexOfNode(node, ColumnCount - 1));
}

int SDCentralOutline::addGroup(const QString& name, const CatalogueSnapshot& cat) {
    Node* g = m_groups.value(CatalogueSnapshot::key(name));
    if (!g) {
        auto node = std::make_unique<Node>();
        node->level = GroupLevel;
        node->name = name;
        g = insertChild(m_root.get(), sortedPosition(m_root.get(), name), std::move(node), true);
        m_groups.insert(CatalogueSnapshot::key(name), g);
    }
    mark(g, cat);
    changed(g);
    return rowOfNode(g);
}

bool SDCentralOutline::removeGroup(const QString& name) {
    Node* g = m_groups.value(CatalogueSnapshot::key(name));
    if (!g) return false;
    removeNode(g);
    return true;
}

int SDCentralOutline::insertMailing(const MailingRecord& r, const CatalogueSnapshot& cat) {
    Node* group = m_groups.value(CatalogueSnapshot::key(r.group));
    if (!group) {
        addGroup(r.group, cat);
        group = m_groups.value(CatalogueSnapshot::key(r.group));
    }
    Node* list = findChild(group, r.list);
    if (!list) {
        auto node = std::make_unique<Node>();
        node->level = ListLevel;
        node->name = r.list;
        mark(node.get(), cat);
        list = insertChild(group, sortedPosition(group, r.list), std::move(node), true);
    }
    auto node = std::make_unique<Node>();
    node->level = MailingLevel;
    node->name = r.message;
    node->id = r.id;
    node->profile = r.profile;
    node->dateSent = r.dateSent;
    node->lastCount = r.lastCount;
    node->sentCount = r.sentCount;
    mark(node.get(), cat);
    // After the never-sent mailings of the same message and before the sent ones: where a
    // rebuild (ordered by message, then date) puts it, so the row keeps its place.
    int position = sortedPosition(list, r.message);
    while (position < int(list->children.size()) &&
           compareNames(list->children[size_t(position)]->name, r.message) == 0 &&
           list->children[size_t(position)]->dateSent.isEmpty())
        ++position;
    Node* m = insertChild(list, position, std::move(node), true);
    m_mailings.insert(r.id, m);
    return rowOfNode(m);
}

bool SDCentralOutline::removeMailing(qint64 id) {
    Node* m = m_mailings.value(id);
    if (!m) return false;
    Node* list = m->parent;
    removeNode(m);
    if (list->children.empty()) removeNode(list);
    return true;
}

bool SDCentralOutline::setResults(qint64 id, const QString& dateSent, std::optional<qint64> lastCount,
                                  std::optional<qint64> sentCount) {
    Node* m = m_mailings.value(id);
    if (!m) return false;
    m->dateSent = dateSent;
    m->lastCount = lastCount;
    m->sentCount = sentCount;
    changed(m);
    return true;
}

void SDCentralOutline::remark(const QString& name, int level, const CatalogueSnapshot& cat) {
    if (name.isEmpty()) return;
    auto apply = [&](Node* n) {
        if (n->level != level || compareNames(n->name, name) != 0) return;
        mark(n, cat);
        changed(n);
    };
    if (level == GroupLevel) {
        if (Node* g = m_groups.value(CatalogueSnapshot::key(name))) apply(g);
        return;
    }
    for (const auto& g : m_root->children)
        for (const auto& l : g->children) {
            if (level == ListLevel)
                apply(l.get());
            else
                for (const auto& m : l->children)
                    apply(m.get());
        }
}

void SDCentralOutline::remarkAll(const CatalogueSnapshot& cat) {
    std::vector<Node*> stack{m_root.get()};
    while (!stack.empty()) {
        Node* n = stack.back();
        stack.pop_back();
        for (const auto& c : n->children) {
            const bool was = c->removed;
            mark(c.get(), cat);
            if (was != c->removed) changed(c.get());
            stack.push_back(c.get());
        }
    }
}

} // namespace sendora
