#include "mailing/ui/SendResultsModel.h"

#include <QBrush>
#include <QFontDatabase>
#include <QPainter>
#include <QPixmap>

namespace sendora {

namespace {

// Drawn rather than taken from the style: not every platform style has a check and a cross.
QIcon markIcon(bool ok) {
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(ok ? QColor(0x2e, 0x9d, 0x3a) : QColor(0xc6, 0x28, 0x28));
    p.drawEllipse(QRectF(1, 1, 14, 14));
    QPen pen(Qt::white, 2.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(pen);
    if (ok) {
        p.drawPolyline(QPolygonF({QPointF(4.5, 8.5), QPointF(7, 11), QPointF(11.5, 5.5)}));
    } else {
        p.drawLine(QPointF(5.5, 5.5), QPointF(10.5, 10.5));
        p.drawLine(QPointF(10.5, 5.5), QPointF(5.5, 10.5));
    }
    return QIcon(pm);
}

} // namespace

SendResultsModel::SendResultsModel(QObject* parent)
    : QAbstractTableModel(parent), m_ok(markIcon(true)), m_fail(markIcon(false)),
      m_fixed(QFontDatabase::systemFont(QFontDatabase::FixedFont)) {}

void SendResultsModel::append(const QString& text, Mark mark) {
    const int row = size();
    beginInsertRows({}, row, row);
    m_rows.push_back({text, mark});
    endInsertRows();
}

void SendResultsModel::append(const QStringList& texts) {
    if (texts.isEmpty()) return;
    const int first = size();
    beginInsertRows({}, first, first + int(texts.size()) - 1);
    for (const QString& t : texts)
        m_rows.push_back({t, Mark::None});
    endInsertRows();
}

void SendResultsModel::clear() {
    beginResetModel();
    m_rows.clear();
    m_rows.shrink_to_fit();
    endResetModel();
}

QString SendResultsModel::markText(Mark mark) {
    switch (mark) {
    case Mark::Ok:
        return QStringLiteral("Ok");
    case Mark::Fail:
        return QStringLiteral("Fail");
    case Mark::None:
        break;
    }
    return {};
}

int SendResultsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : size();
}

int SendResultsModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant SendResultsModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= size()) return {};
    const Row& r = m_rows[size_t(index.row())];
    if (index.column() == MarkColumn) {
        switch (role) {
        case Qt::DisplayRole:
            return markText(r.mark);
        case Qt::DecorationRole:
            return r.mark == Mark::Ok ? QVariant(m_ok) : r.mark == Mark::Fail ? QVariant(m_fail) : QVariant();
        case Qt::ForegroundRole:
            return r.mark == Mark::Fail ? QVariant(QBrush(QColor(0xb0, 0x1c, 0x1c))) : QVariant();
        default:
            return {};
        }
    }
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole) return r.text;
    // Statistics rows pad their labels with blanks; a fixed pitch lines the numbers up.
    if (role == Qt::FontRole && r.mark == Mark::None) return m_fixed;
    return {};
}

QVariant SendResultsModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    return section == MarkColumn ? tr("Result") : tr("Recipient / event");
}

} // namespace sendora
