#pragma once
// Merge tags: a column name of the address list between "[[" and "]]" (also written with
// the character references "&#91;&#91;" and "&#93;&#93;"). A text is split once per
// mailing into segments at its tags; each recipient then costs one row look-up and a
// concatenation.

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <optional>

namespace sendora {

struct AppContext;

inline const QString kTagOpen = QStringLiteral("[[");
inline const QString kTagClose = QStringLiteral("]]");
inline const QString kTagOpenEscaped = QStringLiteral("&#91;&#91;");
inline const QString kTagCloseEscaped = QStringLiteral("&#93;&#93;");

// One found tag; positions count from 1, end is the last character of the closing delimiter.
struct MergeFieldTag {
    QString name;
    qint32 start = 0;
    qint32 end = 0;
    bool operator==(const MergeFieldTag&) const = default;
};

// One segment of a split text and the field whose value follows it ("" for none).
struct MessagePiece {
    QString text;
    QString field;
    bool operator==(const MessagePiece&) const = default;
};
using MessageArray = QList<MessagePiece>;

// The columns of a list's AddressList table; names compare without regard to case.
class ListColumns {
public:
    ListColumns() = default;
    explicit ListColumns(const QStringList& names);
    bool contains(const QString& name) const { return m_lower.contains(name.toLower()); }
    const QStringList& names() const { return m_names; }

private:
    QStringList m_names;
    QHash<QString, int> m_lower;
};

// One pass over text for one delimiter pair: every tag naming a column is appended to
// positions, every other tag to invalid as "[[" name "]]". Unsorted.
void findTags(const QString& text, const ListColumns& columns, const QString& open, const QString& close,
              QList<MergeFieldTag>& positions, QStringList& invalid);

// Both passes (plain and escaped delimiters), then sorted by start.
QList<MergeFieldTag> GetFieldPosArray(AppContext& ctx, const QString& text, const ListColumns& columns,
                                      const QString& open, const QString& close, const QString& openEscaped,
                                      const QString& closeEscaped, QStringList& invalid);
QList<MergeFieldTag> GetFieldPosArray(AppContext& ctx, const QString& text, const ListColumns& columns,
                                      QStringList& invalid);

// Selection sort by start; a later entry displaces the minimum only when strictly smaller.
void SortMessagePosList(AppContext& ctx, QList<MergeFieldTag>& positions);

// Splits text at sorted tags into n + 1 pieces; with no tags one piece {text, ""}.
MessageArray BuildMessageArray(const QString& text, const QList<MergeFieldTag>& sortedTags);
MessageArray BuildMessageArray(AppContext& ctx, const QString& text, const ListColumns& columns,
                               QStringList& invalid);

// One AddressList row, its columns by name without regard to case.
class RecipientRow {
public:
    void set(const QString& column, const QVariant& value) { m_values.insert(column.toLower(), value); }
    bool has(const QString& column) const { return m_values.contains(column.toLower()); }
    QVariant value(const QString& column) const { return m_values.value(column.toLower()); }
    // The value as merged text; nothing for a null or a missing column.
    std::optional<QString> text(const QString& column) const;

private:
    QHash<QString, QVariant> m_values;
};

// A column value written as text the way the list shows it: True/False, M/d/yyyy dates.
QString mergeValueText(const QVariant& value);

// Finds a recipient's row by EAddress. Implementations may throw jet::Error.
class RecipientLookup {
public:
    virtual ~RecipientLookup() = default;
    virtual std::optional<RecipientRow> find(const QString& address) = 0;
};

// Rows held in memory: for tests and previews.
class MemoryRecipientLookup : public RecipientLookup {
public:
    void add(const QString& address, const RecipientRow& row) { m_rows.insert(address.toLower(), row); }
    std::optional<RecipientRow> find(const QString& address) override;
    int lookups = 0;

private:
    QHash<QString, RecipientRow> m_rows;
};

// Remembers the last row, so a recipient's To name and message cost one look-up together.
class LastRowLookup : public RecipientLookup {
public:
    explicit LastRowLookup(RecipientLookup& inner) : m_inner(inner) {}
    std::optional<RecipientRow> find(const QString& address) override;
    void forget() { m_known = false; }

private:
    RecipientLookup& m_inner;
    bool m_known = false;
    QString m_address;
    std::optional<RecipientRow> m_row;
};

// Concatenates the pieces with the row's values; a null value leaves nothing.
QString mergeRow(const MessageArray& array, const RecipientRow& row);
// Looks the recipient up and merges; the empty text when no row matches or on an error
// (logged as "MergeMessage in mdlMerge").
QString MergeMessage(AppContext& ctx, const MessageArray& array, const QString& address,
                     RecipientLookup& list);

// The "Invalid Fields" question; true when there is nothing to ask or the user goes on.
bool confirmInvalidFields(AppContext& ctx, const QStringList& invalid);
QString invalidFieldsText(const QStringList& invalid);

} // namespace sendora
