#include "mailing/compose/Merge.h"

#include "core/AppContext.h"
#include "core/ErrorLog.h"

#include <QDate>
#include <QDateTime>
#include <QTime>

namespace sendora {

ListColumns::ListColumns(const QStringList& names) : m_names(names) {
    for (const QString& n : names)
        m_lower.insert(n.toLower(), 0);
}

void findTags(const QString& text, const ListColumns& columns, const QString& open, const QString& close,
              QList<MergeFieldTag>& positions, QStringList& invalid) {
    qsizetype from = 0;
    while (true) {
        const qsizetype opening = text.indexOf(open, from, Qt::CaseInsensitive);
        if (opening < 0) return;
        const qsizetype closing = text.indexOf(close, opening, Qt::CaseInsensitive);
        if (closing < 0) return;
        const qsizetype nameLength = closing - opening - open.size();
        const QString name = nameLength > 0 ? text.mid(opening + open.size(), nameLength) : QString();
        if (nameLength >= 0 && !name.isEmpty() && columns.contains(name))
            positions.append({name, qint32(opening + 1), qint32(closing + close.size())});
        else
            invalid.append(kTagOpen + name + kTagClose);
        from = opening + open.size();
    }
}

QList<MergeFieldTag> GetFieldPosArray(AppContext& ctx, const QString& text, const ListColumns& columns,
                                      const QString& open, const QString& close, const QString& openEscaped,
                                      const QString& closeEscaped, QStringList& invalid) {
    QList<MergeFieldTag> positions;
    try {
        findTags(text, columns, open, close, positions, invalid);
        findTags(text, columns, openEscaped, closeEscaped, positions, invalid);
    } catch (const std::exception& e) {
        LogError(ctx, QStringLiteral("GetFieldPosArray in mdlMerge"), errorInfo(e), false);
    }
    SortMessagePosList(ctx, positions);
    return positions;
}

QList<MergeFieldTag> GetFieldPosArray(AppContext& ctx, const QString& text, const ListColumns& columns,
                                      QStringList& invalid) {
    return GetFieldPosArray(ctx, text, columns, kTagOpen, kTagClose, kTagOpenEscaped, kTagCloseEscaped,
                            invalid);
}

void SortMessagePosList(AppContext& ctx, QList<MergeFieldTag>& positions) {
    try {
        for (qsizetype i = 0; i < positions.size(); ++i) {
            qsizetype min = i;
            for (qsizetype j = i + 1; j < positions.size(); ++j)
                if (positions[j].start < positions[min].start) min = j;
            if (min != i) std::swap(positions[i], positions[min]);
        }
    } catch (const std::exception& e) {
        LogError(ctx, QStringLiteral("SortMessagePosList in mdlMerge"), errorInfo(e), false);
    }
}

MessageArray BuildMessageArray(const QString& text, const QList<MergeFieldTag>& sortedTags) {
    MessageArray array;
    array.reserve(sortedTags.size() + 1);
    qsizetype from = 0; // 0-based index just after the previous tag
    for (const MergeFieldTag& tag : sortedTags) {
        const qsizetype begin = tag.start - 1;
        // Overlapping tags can only come from names holding a delimiter; keep them apart.
        array.append({begin > from ? text.mid(from, begin - from) : QString(), tag.name});
        from = std::max(from, qsizetype(tag.end));
    }
    array.append({text.mid(from), QString()});
    return array;
}

MessageArray BuildMessageArray(AppContext& ctx, const QString& text, const ListColumns& columns,
                               QStringList& invalid) {
    return BuildMessageArray(text, GetFieldPosArray(ctx, text, columns, invalid));
}

QString mergeValueText(const QVariant& value) {
    if (value.isNull()) return {};
    switch (value.typeId()) {
    case QMetaType::Bool:
        return value.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    case QMetaType::Double:
    case QMetaType::Float:
        return QString::number(value.toDouble(), 'g', 15);
    case QMetaType::QDate:
        return value.toDate().toString(QStringLiteral("M/d/yyyy"));
    case QMetaType::QDateTime: {
        const QDateTime dt = value.toDateTime();
        const QString date = dt.date().toString(QStringLiteral("M/d/yyyy"));
        if (dt.time() == QTime(0, 0)) return date;
        const QString time = dt.time().toString(QStringLiteral("h:mm:ss AP"));
        return dt.date() == QDate(1899, 12, 30) ? time : date + QLatin1Char(' ') + time;
    }
    default:
        return value.toString();
    }
}

std::optional<QString> RecipientRow::text(const QString& column) const {
    const auto it = m_values.constFind(column.toLower());
    if (it == m_values.constEnd() || it->isNull()) return std::nullopt;
    return mergeValueText(*it);
}

std::optional<RecipientRow> MemoryRecipientLookup::find(const QString& address) {
    ++lookups;
    const auto it = m_rows.constFind(address.toLower());
    if (it == m_rows.constEnd()) return std::nullopt;
    return *it;
}

std::optional<RecipientRow> LastRowLookup::find(const QString& address) {
    if (m_known && m_address == address) return m_row;
    m_known = false;
    m_row = m_inner.find(address); // may throw; then nothing is remembered
    m_address = address;
    m_known = true;
    return m_row;
}

QString mergeRow(const MessageArray& array, const RecipientRow& row) {
    qsizetype fixed = 0;
    for (const MessagePiece& piece : array)
        fixed += piece.text.size();
    QString out;
    out.reserve(fixed + 64 * array.size()); // one allocation for the usual merged values
    for (const MessagePiece& piece : array) {
        out += piece.text;
        if (!piece.field.isEmpty())
            if (const auto value = row.text(piece.field)) out += *value;
    }
    return out;
}

QString MergeMessage(AppContext& ctx, const MessageArray& array, const QString& address,
                     RecipientLookup& list) {
    try {
        const auto row = list.find(address);
        return row ? mergeRow(array, *row) : QString();
    } catch (const std::exception& e) {
        LogError(ctx, QStringLiteral("MergeMessage in mdlMerge"), errorInfo(e), false);
        return {};
    }
}

QString invalidFieldsText(const QStringList& invalid) {
    QString text = QStringLiteral("The following fields were found to be invalid in your message: \r\n\r\n");
    for (const QString& tag : invalid)
        text += QStringLiteral("   ") + tag + QStringLiteral("\r\n");
    return text + QStringLiteral("\r\n\r\nDo you want to continue?");
}

bool confirmInvalidFields(AppContext& ctx, const QStringList& invalid) {
    if (invalid.isEmpty() || !ctx.ui) return true;
    return ctx.ui->message(invalidFieldsText(invalid), Buttons::YesNo, Icon::Question,
                           QStringLiteral("Invalid Fields")) == Answer::Yes;
}

} // namespace sendora
