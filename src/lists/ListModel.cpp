#include "lists/ListModel.h"

#include "components/jet/Jet.h"
#include "core/AppContext.h"
#include "core/ErrorLog.h"

#include <QFileInfo>
#include <QLockFile>

namespace sendora {

namespace {

constexpr int kPageRows = 128;
constexpr int kCachedPages = 64;

const QString kTable = QStringLiteral("AddressList");

} // namespace

struct ListModel::Page {
    QVector<QVector<QVariant>> rows;
};

ListModel::ListModel(AppContext& ctx, QObject* parent) : QAbstractTableModel(parent), m_ctx(ctx) {}

ListModel::~ListModel() {
    close();
}

bool ListModel::beingSent(const QString& file) {
    const QString lockPath = file + QStringLiteral(".sending");
    if (!QFileInfo::exists(lockPath)) return false;
    // A lock left by a crashed sender does not hold the list.
    QLockFile probe(lockPath);
    probe.setStaleLockTime(0);
    qint64 pid = 0;
    QString host;
    QString app;
    if (!probe.getLockInfo(&pid, &host, &app)) return true;
    if (probe.tryLock(0)) {
        probe.unlock();
        return false;
    }
    return true;
}

bool ListModel::isOpen() const {
    return m_db && m_db->isOpen();
}

// Writes pass show: a cell, row or deletion that could not be stored must not look stored.
void ListModel::logError(const QString& where, const std::exception& e, bool show) const {
    LogError(m_ctx, where + QStringLiteral(" in frmList"), errorInfo(e), show);
}

bool ListModel::open(const QString& file) {
    beginResetModel();
    m_fetch.reset();
    m_db.reset();
    m_pages.clear();
    m_count = -1;
    m_pageOrder.clear();
    m_ids.clear();
    m_columns.clear();
    m_where.clear();
    m_order.clear();
    m_file = file;
    m_readOnly = beingSent(file);
    bool ok = true;
    try {
        m_db = jet::Database::open(file, m_readOnly ? jet::Database::OpenMode::ReadOnly
                                                    : jet::Database::OpenMode::ReadWrite);
        m_fetch = m_db->prepareStatement(QStringLiteral("SELECT * FROM AddressList WHERE rowid = ") +
                                         jet::param(1));
        for (int i = 0; i < m_fetch->columnCount(); ++i)
            m_columns << m_fetch->columnName(i);
        m_newRow = QVector<QVariant>(m_columns.size());
        m_types.clear();
        const auto defs = m_db->fields(kTable);
        for (const QString& name : m_columns) {
            QString type = QStringLiteral("TEXT");
            for (const jet::FieldDef& f : defs)
                if (f.name.compare(name, Qt::CaseInsensitive) == 0) type = jet::typeName(f.type);
            m_types << type;
        }
        m_ids = m_db->readRowIds(QStringLiteral("SELECT rowid FROM AddressList"));
    } catch (const std::exception& e) {
        logError(QStringLiteral("Open"), e);
        m_error = QString::fromUtf8(e.what());
        m_fetch.reset();
        m_db.reset();
        m_columns.clear();
        m_ids.clear();
        ok = false;
    }
    endResetModel();
    return ok;
}

void ListModel::close() {
    beginResetModel();
    m_fetch.reset();
    if (m_db) m_db->close();
    m_db.reset();
    m_ids.clear();
    m_pages.clear();
    m_count = -1;
    m_pageOrder.clear();
    endResetModel();
}

QString ListModel::recordSource() const {
    if (!m_order.isEmpty()) return QStringLiteral("Select * from AddressList ") + m_order;
    return QStringLiteral("SELECT * FROM ADDRESSLIST ") + m_where;
}

bool ListModel::setRecordSource(const QString& where, const QString& orderBy) {
    if (!isOpen()) return false;
    try {
        const QString jetSql = QStringLiteral("SELECT rowid FROM AddressList ") + where +
                               (orderBy.isEmpty() ? QString() : u' ' + orderBy);
        QVector<qint64> ids = m_db->readRowIds(jetSql);
        beginResetModel();
        m_where = where;
        m_order = orderBy;
        m_ids = std::move(ids);
        m_pages.clear();
        m_count = -1;
        m_pageOrder.clear();
        endResetModel();
        m_error.clear();
        return true;
    } catch (const std::exception& e) {
        m_error = QString::fromUtf8(e.what());
        // The user typed or built this clause: say why it was not taken.
        logError(QStringLiteral("Refresh"), e, true);
        return false;
    }
}

bool ListModel::reload() {
    if (!isOpen()) return false;
    const QString where = m_where;
    const QString order = m_order;
    // Columns may have changed: prepare the row reader again.
    const QString file = m_file;
    if (!open(file)) return false;
    return setRecordSource(where, order);
}

qint64 ListModel::recordCount() const {
    if (!isOpen()) return 0;
    try {
        auto rs =
            m_db->openRecordset(QStringLiteral("SELECT COUNT(EAddress) AS n FROM AddressList ") + m_where);
        return rs->value(0).toLongLong();
    } catch (const std::exception& e) {
        logError(QStringLiteral("UpdateCount"), e);
        return dataRows();
    }
}

int ListModel::column(const QString& name) const {
    for (int i = 0; i < m_columns.size(); ++i)
        if (m_columns[i].compare(name, Qt::CaseInsensitive) == 0) return i;
    return -1;
}

const QVector<QVariant>* ListModel::rowValues(int row) const {
    if (row < 0 || row >= dataRows() || !m_fetch) return nullptr;
    const int pageNo = row / kPageRows;
    auto it = m_pages.find(pageNo);
    if (it == m_pages.end()) {
        auto page = std::make_shared<Page>();
        const int first = pageNo * kPageRows;
        const int last = std::min(first + kPageRows, dataRows());
        page->rows.reserve(last - first);
        try {
            for (int r = first; r < last; ++r) {
                QVector<QVariant> values(m_columns.size());
                m_fetch->bind(1, m_ids[r]);
                if (m_fetch->first())
                    for (int c = 0; c < values.size(); ++c)
                        values[c] = m_fetch->value(c);
                page->rows.push_back(std::move(values));
            }
        } catch (const std::exception& e) {
            logError(QStringLiteral("Fetch"), e);
            return nullptr;
        }
        if (m_pageOrder.size() >= kCachedPages) m_pages.remove(m_pageOrder.takeFirst());
        m_pageOrder << pageNo;
        it = m_pages.insert(pageNo, page);
    }
    return &it.value()->rows[row - pageNo * kPageRows];
}

int ListModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid() || !isOpen()) return 0;
    return dataRows() + (m_readOnly ? 0 : 1);
}

int ListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_columns.size());
}

QVariant ListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole)) return {};
    if (isNewRow(index.row())) return m_newRow.value(index.column());
    const QVector<QVariant>* values = rowValues(index.row());
    return values ? values->value(index.column()) : QVariant();
}

QVariant ListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole) return {};
    if (orientation == Qt::Horizontal) return m_columns.value(section);
    return isNewRow(section) ? QStringLiteral("*") : QString::number(section + 1);
}

Qt::ItemFlags ListModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (!m_readOnly && index.isValid()) f |= Qt::ItemIsEditable;
    return f;
}

bool ListModel::writable() {
    if (m_readOnly) return false;
    if (!beingSent(m_file)) return true;
    // A mailing started on this list after it opened: stop editing before it is touched.
    beginResetModel();
    m_readOnly = true;
    endResetModel();
    if (onBecameReadOnly) onBecameReadOnly();
    return false;
}

bool ListModel::checkAddress(QString& value, bool newRow) {
    Q_UNUSED(newRow);
    value = value.trimmed();
    if (value.isEmpty()) {
        m_ctx.ui->message(
            QStringLiteral("The EAddress field cannot be left blank.\r\n\r\nIf you're editing an "
                           "existing record,\r\nthe old address will be restored;\r\nIf your're "
                           "entering a new record,\r\nplease enter a valid email address."),
            Buttons::OK, Icon::Information);
        return false;
    }
    bool exists = false;
    try {
        auto rs =
            m_db->openRecordset(QStringLiteral("SELECT [EAddress] FROM [AddressList] WHERE [EAddress] = %1;")
                                    .arg(jet::quote(value)));
        exists = !rs->eof();
    } catch (const std::exception& e) {
        logError(QStringLiteral("BeforeColUpdate"), e);
        return false;
    }
    if (exists) {
        m_ctx.ui->message(
            QStringLiteral("This email address already exists in your address\r\nlist: \"%1\"\r\nIf "
                           "you were editing a new row in the list, The old\r\nvalue will be "
                           "substituted in it's place.  If you were\r\nadding a new row then the "
                           "action has been\r\ncanceled.")
                .arg(value),
            Buttons::OK, Icon::Exclamation);
        return false;
    }
    return true;
}

bool ListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || role != Qt::EditRole || !writable()) return false;
    const int row = index.row();
    const int col = index.column();
    const bool address = m_columns.value(col).compare(QLatin1String("EAddress"), Qt::CaseInsensitive) == 0;
    if (isNewRow(row)) {
        if (!address) {
            m_newRow[col] = value;
            Q_EMIT dataChanged(index, index);
            return true;
        }
        QString text = value.toString();
        if (!checkAddress(text, true)) {
            m_newRow = QVector<QVariant>(m_columns.size());
            Q_EMIT dataChanged(this->index(row, 0), this->index(row, columnCount() - 1));
            return false;
        }
        return insertNewRow(text);
    }
    const QVector<QVariant>* old = rowValues(row);
    if (old && old->value(col) == value) return true;
    QVariant stored = value;
    if (address) {
        QString text = value.toString();
        if (old && old->value(col).toString() == text.trimmed()) return true;
        if (!checkAddress(text, false)) return false;
        stored = text;
    }
    if (!storeCell(row, col, stored)) return false;
    m_pages.remove(row / kPageRows);
    m_count = -1;
    m_pageOrder.removeAll(row / kPageRows);
    Q_EMIT dataChanged(index, index);
    return true;
}

bool ListModel::storeCell(int row, int col, const QVariant& value) {
    try {
        auto st =
            m_db->prepareStatement(QStringLiteral("UPDATE AddressList SET %1 = %2 WHERE rowid = %3")
                                       .arg(jet::bracket(m_columns[col]), jet::param(1), jet::param(2)));
        st->bind(1, value.isNull() ? QVariant(QString()) : value);
        st->bind(2, m_ids[row]);
        if (st->execute() == 1) return true;
        m_ctx.ui->message(
            QStringLiteral("You have tried to enter a duplicate Email address.  Please correct it or "
                           "press escape."),
            Buttons::OK, Icon::Exclamation);
    } catch (const std::exception& e) {
        logError(QStringLiteral("Update"), e, true);
    }
    return false;
}

bool ListModel::insertNewRow(const QString& address) {
    QStringList names;
    QStringList slots;
    QVariantList values;
    for (int c = 0; c < m_columns.size(); ++c) {
        const bool isAddress = m_columns[c].compare(QLatin1String("EAddress"), Qt::CaseInsensitive) == 0;
        if (!isAddress && m_newRow[c].isNull()) continue;
        names << jet::bracket(m_columns[c]);
        values << (isAddress ? QVariant(address) : m_newRow[c]);
        slots << jet::param(int(values.size()));
    }
    try {
        auto st = m_db->prepareStatement(QStringLiteral("INSERT INTO AddressList (%1) VALUES (%2)")
                                             .arg(names.join(u','), slots.join(u',')));
        for (int i = 0; i < values.size(); ++i)
            st->bind(i + 1, values[i]);
        if (st->execute() != 1) {
            m_ctx.ui->message(
                QStringLiteral("You have tried to enter a duplicate Email address.  Please correct "
                               "it or press escape."),
                Buttons::OK, Icon::Exclamation);
            return false;
        }
    } catch (const std::exception& e) {
        logError(QStringLiteral("AddNew"), e, true);
        return false;
    }
    const qint64 id = m_db->lastInsertRowId();
    const int row = dataRows();
    m_ids.push_back(id);
    m_newRow = QVector<QVariant>(m_columns.size());
    m_pages.remove(row / kPageRows);
    m_count = -1;
    m_pageOrder.removeAll(row / kPageRows);
    beginInsertRows({}, row + 1, row + 1);
    endInsertRows();
    Q_EMIT dataChanged(index(row, 0), index(row, columnCount() - 1));
    return true;
}

int ListModel::findRow(const QString& jetCriterion, int from, bool backwards) {
    if (!isOpen() || m_ids.isEmpty()) return -1;
    QSet<qint64> hits;
    try {
        const QVector<qint64> ids =
            m_db->readRowIds(QStringLiteral("SELECT rowid FROM AddressList WHERE ") + jetCriterion);
        hits = QSet<qint64>(ids.begin(), ids.end());
    } catch (const std::exception& e) {
        logError(QStringLiteral("Find"), e);
        return -1;
    }
    if (hits.isEmpty()) return -1;
    if (backwards) {
        for (int r = std::min(from, dataRows() - 1); r >= 0; --r)
            if (hits.contains(m_ids[r])) return r;
    } else {
        for (int r = std::max(from, 0); r < dataRows(); ++r)
            if (hits.contains(m_ids[r])) return r;
    }
    return -1;
}

QVector<qint64> ListModel::rowIds(const QList<int>& rows) const {
    QVector<qint64> ids;
    for (int r : rows)
        if (r >= 0 && r < dataRows()) ids << m_ids[r];
    return ids;
}

int ListModel::deleteStep(const QVector<qint64>& ids, int from, int count) {
    if (!writable()) return 0;
    const int last = std::min<int>(from + count, int(ids.size()));
    try {
        auto st =
            m_db->prepareStatement(QStringLiteral("DELETE FROM AddressList WHERE rowid = ") + jet::param(1));
        m_db->beginTransaction();
        for (int i = from; i < last; ++i) {
            st->bind(1, ids[i]);
            st->execute();
        }
        m_db->commit();
    } catch (const std::exception& e) {
        try {
            m_db->rollback();
        } catch (const std::exception&) {
        }
        logError(QStringLiteral("Delete"), e, true);
        return 0;
    }
    return last - from;
}

void ListModel::finishDelete(const QSet<qint64>& deleted) {
    if (deleted.isEmpty()) return;
    beginResetModel();
    m_ids.removeIf([&deleted](qint64 id) { return deleted.contains(id); });
    m_pages.clear();
    m_count = -1;
    m_pageOrder.clear();
    endResetModel();
}

QStringList ListModel::duplicateAddresses() {
    QStringList found;
    if (!isOpen()) return found;
    try {
        auto rs = m_db->openRecordset(
            QStringLiteral("SELECT DISTINCTROW * From AddressList WHERE (((EAddress) In (SELECT [EAddress] "
                           "FROM [AddressList] As "
                           "Tmp GROUP BY [EAddress] HAVING Count(*)>1 ))) ORDER BY EAddress;"));
        for (; !rs->eof(); rs->moveNext())
            found << rs->value(QStringLiteral("EAddress")).toString();
    } catch (const std::exception& e) {
        logError(QStringLiteral("Form_QueryUnload"), e);
    }
    return found;
}

bool ListModel::deleteDuplicates() {
    if (!writable()) return false;
    m_count = -1;
    try {
        m_db->execute(
            QStringLiteral("DELETE * From AddressList WHERE (((EAddress) In (SELECT [EAddress] FROM "
                           "[AddressList] As Tmp GROUP BY [EAddress] HAVING Count(*)>1 )));"));
        return true;
    } catch (const std::exception& e) {
        logError(QStringLiteral("Form_QueryUnload"), e, true);
        return false;
    }
}

} // namespace sendora
