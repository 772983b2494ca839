#include "lists/RecordSelection.h"

#include "components/jet/Jet.h"

#include <QRegularExpression>

namespace sendora {

namespace {

// A single-quoted literal with every ' doubled: the value stays one literal. MySQL also
// reads a backslash as an escape, so there it is doubled too.
QString singleQuote(const QString& value, SelectionDatabase database) {
    QString s = value;
    if (database == SelectionDatabase::MySql) s.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    return jet::quoteSingle(s);
}

// A name between one quote text on both sides, the quote doubled inside.
QString quoteName(const QString& name, SelectionDatabase database) {
    const QString q = identifierQuote(database);
    if (q == QLatin1String("[")) return jet::bracket(name);
    QString s = name;
    s.replace(q, q + q);
    return q + s + q;
}

bool plainName(const QString& name) {
    static const QRegularExpression re(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*$"));
    return re.match(name).hasMatch();
}

bool isLike(const QString& op) {
    const QString o = op.trimmed();
    return o.compare(QLatin1String("Like"), Qt::CaseInsensitive) == 0 ||
           o.compare(QLatin1String("Not Like"), Qt::CaseInsensitive) == 0;
}

// In a Like pattern * and ? stay wildcards; [ and # would start a class or match a digit,
// so they are written to match themselves.
QString likePattern(const QString& value) {
    QString out;
    out.reserve(value.size() + 4);
    for (QChar c : value) {
        if (c == QLatin1Char('[') || c == QLatin1Char('#'))
            out += QLatin1Char('[') + c + QLatin1Char(']');
        else
            out += c;
    }
    return out;
}

bool isNumericType(jet::FieldType t) {
    switch (t) {
    case jet::FieldType::Long:
    case jet::FieldType::Integer:
    case jet::FieldType::YesNo:
    case jet::FieldType::Counter:
    case jet::FieldType::Double:
        return true;
    default:
        return false;
    }
}

} // namespace

SelectionTarget SelectionTarget::listFile(std::vector<SelectionField> fields) {
    SelectionTarget t;
    t.fields = std::move(fields);
    return t;
}

SelectionTarget SelectionTarget::general(std::vector<SelectionField> fields, const QString& table,
                                         SelectionDatabase database) {
    SelectionTarget t;
    t.style = SelectionStyle::General;
    t.table = table;
    t.database = database;
    t.fields = std::move(fields);
    return t;
}

const SelectionField* SelectionTarget::field(const QString& name) const {
    for (const SelectionField& f : fields)
        if (f.name.compare(name, Qt::CaseInsensitive) == 0) return &f;
    return nullptr;
}

QString identifierQuote(SelectionDatabase database) {
    switch (database) {
    case SelectionDatabase::Jet:
    case SelectionDatabase::SqlServer:
        return QStringLiteral("[");
    case SelectionDatabase::MySql:
        return QStringLiteral("`");
    case SelectionDatabase::Oracle:
        return QStringLiteral("\"");
    }
    return QStringLiteral("[");
}

const QStringList& selectionOperators() {
    static const QStringList items{QStringLiteral(" ="),   QStringLiteral("<>"),      QStringLiteral("<"),
                                   QStringLiteral("<="),   QStringLiteral(">"),       QStringLiteral(">="),
                                   QStringLiteral("Like"), QStringLiteral("Not Like")};
    return items;
}

const QStringList& selectionLogicItems() {
    static const QStringList items{QStringLiteral(" "), QStringLiteral("AND"), QStringLiteral("OR")};
    return items;
}

bool isNumericValue(const QString& value) {
    static const QRegularExpression re(QStringLiteral(R"(^[+-]?(\d+\.?\d*|\.\d+)([eE][+-]?\d+)?$)"));
    return re.match(value.trimmed()).hasMatch();
}

QString selectionCondition(const SelectionTarget& target, const SelectionRow& row, bool* ok) {
    if (ok) *ok = true;
    if (row.field.trimmed().isEmpty()) return {};
    QString s;
    if (target.style == SelectionStyle::ListFile) {
        s = jet::bracket(target.table) + QLatin1Char('.') + jet::bracket(row.field) + QLatin1Char(' ');
    } else {
        const QString table =
            plainName(target.table) ? target.table : quoteName(target.table, target.database);
        s = table + QLatin1Char('.') + quoteName(row.field, target.database) + QLatin1Char(' ');
    }
    if (row.op.trimmed().isEmpty()) return s;
    s += row.op + QLatin1Char(' ');
    if (row.value.trimmed().compare(QLatin1String("null"), Qt::CaseInsensitive) == 0)
        return s + QStringLiteral("NULL");
    const SelectionField* f = target.field(row.field);
    if (f && f->numeric) {
        if (!isNumericValue(row.value)) {
            if (ok) *ok = false;
            return {};
        }
        return s + QLatin1Char(' ') + row.value.trimmed();
    }
    const QString value = isLike(row.op) ? likePattern(row.value) : row.value;
    return s + QLatin1Char(' ') +
           (target.style == SelectionStyle::ListFile ? jet::quote(value)
                                                     : singleQuote(value, target.database));
}

QString assembleSQL(const std::array<QString, 4>& c, const std::array<QString, 3>& logic) {
    if (c[0].isEmpty()) return {};
    // Row i+1 counts only when row i's logic item says how to join it.
    std::array<QString, 4> used{c[0]};
    std::array<QString, 3> l;
    for (int i = 0; i < 3; ++i) {
        l[i] = logic[i].trimmed();
        if (l[i].isEmpty()) break;
        used[i + 1] = c[i + 1];
    }
    QString s = QStringLiteral("WHERE ((") + used[0];
    if (!used[1].isEmpty())
        s += QLatin1Char(' ') + l[0] + QLatin1Char(' ') + used[1] + QLatin1Char(')');
    else
        s += QLatin1Char(')');
    if (!used[2].isEmpty()) {
        s += QLatin1Char(' ') + l[1] + QStringLiteral(" (") + used[2];
        if (!used[3].isEmpty())
            s += QLatin1Char(' ') + l[2] + QLatin1Char(' ') + used[3] + QLatin1Char(')');
        else
            s += QLatin1Char(')');
    }
    return s + QLatin1Char(')');
}

SelectionClause assembleSQL(const SelectionTarget& target, const SelectionRows& rows) {
    SelectionClause out;
    std::array<QString, 4> c;
    std::array<QString, 3> logic;
    for (int i = 0; i < 4; ++i) {
        if (i > 0 && logic[i - 1].trimmed().isEmpty()) break; // rows after a blank logic item are not read
        bool ok = true;
        c[i] = selectionCondition(target, rows[i], &ok);
        if (!ok) {
            out.refusedRow = i + 1;
            return out;
        }
        if (i < 3) logic[i] = rows[i].logic;
    }
    out.clause = assembleSQL(c, logic);
    return out;
}

std::vector<SelectionField> listSelectionFields(const QString& listFile, QString* error) {
    std::vector<SelectionField> out;
    try {
        auto db = jet::Database::open(listFile, jet::Database::OpenMode::ReadOnly);
        for (const jet::FieldDef& f : db->fields(QStringLiteral("AddressList")))
            out.push_back({f.name, isNumericType(f.type)});
    } catch (const std::exception& e) {
        if (error) *error = QString::fromStdString(e.what());
        out.clear();
    }
    return out;
}

QString checkSelectionClause(const QString& listFile, const QString& clause) {
    try {
        auto db = jet::Database::open(listFile, jet::Database::OpenMode::ReadOnly);
        db->openReadOnlyQuery(QStringLiteral("SELECT * FROM AddressList ") + clause);
        return {};
    } catch (const jet::Error& e) {
        return e.description();
    } catch (const std::exception& e) {
        return QString::fromStdString(e.what());
    }
}

std::vector<KeywordSpan> selectionKeywords(const QString& clause) {
    static const QStringList words{QStringLiteral("WHERE"), QStringLiteral("("),     QStringLiteral(")"),
                                   QStringLiteral(" OR "),  QStringLiteral(" AND "), QStringLiteral(" <> "),
                                   QStringLiteral(" <= "),  QStringLiteral(" >= "),  QStringLiteral(" = "),
                                   QStringLiteral(" < "),   QStringLiteral(" > "),   QStringLiteral(" LIKE "),
                                   QStringLiteral(" NOT "), QStringLiteral(" NULL")};
    std::vector<KeywordSpan> out;
    const int n = int(clause.size());
    int i = 0;
    while (i < n) {
        const QChar c = clause[i];
        // Values and names are not marked: skip quoted literals and bracketed names.
        if (c == QLatin1Char('"') || c == QLatin1Char('\'') || c == QLatin1Char('[')) {
            const QChar close = c == QLatin1Char('[') ? QLatin1Char(']') : c;
            int j = i + 1;
            while (j < n) {
                if (clause[j] == close) {
                    if (j + 1 < n && clause[j + 1] == close) {
                        j += 2;
                        continue;
                    }
                    break;
                }
                ++j;
            }
            i = j + 1;
            continue;
        }
        bool found = false;
        for (const QString& w : words) {
            if (QStringView(clause).mid(i, w.size()).compare(w, Qt::CaseInsensitive) == 0) {
                out.push_back({i, int(w.size())});
                // A keyword's trailing blank may start the next one (" AND NOT ").
                i += std::max<int>(1, int(w.size()) - (w.endsWith(QLatin1Char(' ')) ? 1 : 0));
                found = true;
                break;
            }
        }
        if (!found) ++i;
    }
    return out;
}

} // namespace sendora
