// Jet SQL tokens, literals and type names.

#include "components/jet/JetInternal.h"

#include <QRegularExpression>
#include <sqlite3.h>

namespace jet {

QString quote(const QString& value) {
    QString s = value;
    s.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + s + QLatin1Char('"');
}

QString quoteSingle(const QString& value) {
    return detail::sqlString(value);
}

QString bracket(const QString& name) {
    QString s = name;
    s.replace(QLatin1Char(']'), QLatin1String("]]"));
    return QLatin1Char('[') + s + QLatin1Char(']');
}

QString escapeLike(const QString& value) {
    QString out;
    out.reserve(value.size() + 8);
    for (QChar c : value) {
        if (c == QLatin1Char('*') || c == QLatin1Char('?') || c == QLatin1Char('#') || c == QLatin1Char('['))
            out += QLatin1Char('[') + c + QLatin1Char(']');
        else
            out += c;
    }
    return out;
}

QString engineVersion() {
    return QString::fromLatin1(sqlite3_libversion());
}

QString typeName(FieldType type, int textSize) {
    switch (type) {
    case FieldType::Text:
        return textSize > 0 ? QStringLiteral("TEXT(%1)").arg(textSize) : QStringLiteral("TEXT");
    case FieldType::Memo:
        return QStringLiteral("MEMO");
    case FieldType::Long:
    case FieldType::Counter:
        return QStringLiteral("LONG");
    case FieldType::Integer:
        return QStringLiteral("SHORT");
    case FieldType::YesNo:
        return QStringLiteral("YESNO");
    case FieldType::DateTime:
        return QStringLiteral("DATETIME");
    case FieldType::Double:
        return QStringLiteral("DOUBLE");
    case FieldType::Binary:
        return QStringLiteral("LONGBINARY");
    }
    return QStringLiteral("TEXT");
}

namespace detail {

static Error syntax(const QString& what) {
    return Error(ErrSyntax, QStringLiteral("Syntax error in query expression: %1.").arg(what));
}

static bool isWordStart(QChar c) {
    return c.isLetter() || c == QLatin1Char('_');
}
static bool isWordChar(QChar c) {
    return c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('$');
}

Tokens tokenize(const QString& sql) {
    Tokens out;
    const int n = int(sql.size());
    int i = 0;
    auto readQuoted = [&](QChar close, const char* what) {
        // content up to the closing char; a doubled closing char stands for itself
        QString text;
        ++i;
        for (;;) {
            if (i >= n)
                throw syntax(QStringLiteral("missing %1 in '%2'").arg(QLatin1String(what), sql.left(200)));
            if (sql[i] == close) {
                if (i + 1 < n && sql[i + 1] == close) {
                    text += close;
                    i += 2;
                    continue;
                }
                ++i;
                return text;
            }
            text += sql[i++];
        }
    };
    while (i < n) {
        const QChar c = sql[i];
        if (c.isSpace() || c == QChar(0)) {
            ++i;
            continue;
        }
        if (c == QLatin1Char(';')) {
            for (int j = i + 1; j < n; ++j)
                if (!sql[j].isSpace() && sql[j] != QChar(0))
                    throw Error(3145, QStringLiteral("Characters found after end of SQL statement."));
            break;
        }
        if (c == QLatin1Char('"') || c == QLatin1Char('\'')) {
            out.push_back({Tok::String, readQuoted(c, "closing quote")});
        } else if (c == QLatin1Char('[')) {
            out.push_back({Tok::Ident, readQuoted(QLatin1Char(']'), "closing bracket")});
        } else if (c == QLatin1Char('`')) {
            out.push_back({Tok::Ident, readQuoted(QLatin1Char('`'), "closing backquote")});
        } else if (c == QLatin1Char('#')) {
            const int end = int(sql.indexOf(QLatin1Char('#'), i + 1));
            if (end < 0) throw syntax(QStringLiteral("missing # in date '%1'").arg(sql.mid(i, 40)));
            out.push_back({Tok::Date, sql.mid(i + 1, end - i - 1)});
            i = end + 1;
        } else if (c.isDigit() || (c == QLatin1Char('.') && i + 1 < n && sql[i + 1].isDigit())) {
            int j = i;
            while (j < n && sql[j].isDigit())
                ++j;
            if (j < n && sql[j] == QLatin1Char('.')) {
                ++j;
                while (j < n && sql[j].isDigit())
                    ++j;
            }
            if (j < n && (sql[j] == QLatin1Char('e') || sql[j] == QLatin1Char('E'))) {
                int k = j + 1;
                if (k < n && (sql[k] == QLatin1Char('+') || sql[k] == QLatin1Char('-'))) ++k;
                if (k < n && sql[k].isDigit()) {
                    j = k;
                    while (j < n && sql[j].isDigit())
                        ++j;
                }
            }
            if (j < n && isWordChar(sql[j])) { // "1abc" is a Jet name, not a number
                while (j < n && isWordChar(sql[j]))
                    ++j;
                out.push_back({Tok::Word, sql.mid(i, j - i)});
            } else {
                out.push_back({Tok::Number, sql.mid(i, j - i)});
            }
            i = j;
        } else if (isWordStart(c)) {
            int j = i + 1;
            while (j < n && isWordChar(sql[j]))
                ++j;
            out.push_back({Tok::Word, sql.mid(i, j - i)});
            i = j;
        } else {
            static const char* twoChar[] = {"<>", "<=", ">=", "!="};
            bool done = false;
            for (const char* op : twoChar) {
                if (i + 1 < n && sql[i] == QLatin1Char(op[0]) && sql[i + 1] == QLatin1Char(op[1])) {
                    out.push_back(
                        {Tok::Punct, op[0] == '!' ? QStringLiteral("<>") : QString::fromLatin1(op)});
                    i += 2;
                    done = true;
                    break;
                }
            }
            if (done) continue;
            static const QString single = QStringLiteral("(),.=<>+-*/&\\^");
            if (!single.contains(c)) throw syntax(QStringLiteral("unexpected character '%1'").arg(c));
            out.push_back({Tok::Punct, QString(c)});
            ++i;
        }
    }
    return out;
}

QString sqlIdent(const QString& name) {
    QString s = name;
    s.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + s + QLatin1Char('"');
}

QString sqlString(const QString& text) {
    QString s = text;
    s.replace(QLatin1Char('\''), QLatin1String("''"));
    return QLatin1Char('\'') + s + QLatin1Char('\'');
}

QString isoDateTime(const QDateTime& dt) {
    return dt.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

std::optional<QDateTime> parseJetDate(const QString& text) {
    const QString t = text.trimmed();
    if (t.isEmpty()) return std::nullopt;
    static const QRegularExpression re(QStringLiteral(
        R"(^(?:(\d{1,4})([/\-.])(\d{1,2})\2(\d{1,4}))?\s*(?:(\d{1,2}):(\d{2})(?::(\d{2}))?\s*([AaPp][Mm])?)?$)"));
    const auto m = re.match(t);
    if (!m.hasMatch()) return std::nullopt;
    QDate date(1899, 12, 30); // Jet's day zero: a bare time lies on it
    if (m.capturedLength(1)) {
        int a = m.captured(1).toInt(), b = m.captured(3).toInt(), c = m.captured(4).toInt();
        if (m.capturedLength(1) == 4)
            date = QDate(a, b, c); // ISO order
        else {
            if (m.capturedLength(4) <= 2) c += c < 30 ? 2000 : 1900; // Jet's two-digit year window
            date = QDate(c, a, b);                                   // US order, as Jet reads # literals
        }
        if (!date.isValid()) return std::nullopt;
    }
    QTime time(0, 0);
    if (m.capturedLength(5)) {
        int h = m.captured(5).toInt();
        const QString ap = m.captured(8).toLower();
        if (ap == QLatin1String("pm") && h < 12) h += 12;
        if (ap == QLatin1String("am") && h == 12) h = 0;
        time = QTime(h, m.captured(6).toInt(), m.captured(7).toInt());
        if (!time.isValid()) return std::nullopt;
    } else if (!m.capturedLength(1)) {
        return std::nullopt;
    }
    return QDateTime(date, time);
}

// ---- types --------------------------------------------------------------------------

std::optional<TypeInfo> jetType(const QString& word, int size) {
    const QString w = word.toUpper();
    if (w == QLatin1String("TEXT") || w == QLatin1String("CHAR") || w == QLatin1String("VARCHAR") ||
        w == QLatin1String("STRING") || w == QLatin1String("ALPHANUMERIC") ||
        w == QLatin1String("NVARCHAR") || w == QLatin1String("CHARACTER") || w == QLatin1String("NCHAR"))
        return TypeInfo{FieldType::Text, size > 0 ? std::min(size, 255) : 255};
    if (w == QLatin1String("MEMO") || w == QLatin1String("LONGTEXT") || w == QLatin1String("LONGCHAR") ||
        w == QLatin1String("NOTE") || w == QLatin1String("NTEXT"))
        return TypeInfo{FieldType::Memo, 0};
    if (w == QLatin1String("YESNO") || w == QLatin1String("BIT") || w == QLatin1String("LOGICAL") ||
        w == QLatin1String("LOGICAL1") || w == QLatin1String("BOOLEAN"))
        return TypeInfo{FieldType::YesNo, 0};
    if (w == QLatin1String("COUNTER") || w == QLatin1String("AUTOINCREMENT") ||
        w == QLatin1String("IDENTITY"))
        return TypeInfo{FieldType::Counter, 0};
    if (w == QLatin1String("LONG") || w == QLatin1String("INT") || w == QLatin1String("INTEGER4"))
        return TypeInfo{FieldType::Long, 0};
    if (w == QLatin1String("INTEGER") || w == QLatin1String("SHORT") || w == QLatin1String("SMALLINT") ||
        w == QLatin1String("INTEGER2") || w == QLatin1String("BYTE") || w == QLatin1String("INTEGER1") ||
        w == QLatin1String("TINYINT"))
        return TypeInfo{FieldType::Integer, 0};
    if (w == QLatin1String("DATETIME") || w == QLatin1String("DATE") || w == QLatin1String("TIME") ||
        w == QLatin1String("TIMESTAMP"))
        return TypeInfo{FieldType::DateTime, 0};
    if (w == QLatin1String("DOUBLE") || w == QLatin1String("FLOAT") || w == QLatin1String("FLOAT8") ||
        w == QLatin1String("REAL") || w == QLatin1String("SINGLE") || w == QLatin1String("FLOAT4") ||
        w == QLatin1String("CURRENCY") || w == QLatin1String("MONEY") || w == QLatin1String("NUMERIC") ||
        w == QLatin1String("DECIMAL") || w == QLatin1String("NUMBER"))
        return TypeInfo{FieldType::Double, 0};
    if (w == QLatin1String("LONGBINARY") || w == QLatin1String("OLEOBJECT") || w == QLatin1String("BINARY") ||
        w == QLatin1String("VARBINARY") || w == QLatin1String("GENERAL") || w == QLatin1String("IMAGE"))
        return TypeInfo{FieldType::Binary, 0};
    return std::nullopt;
}

QString declFor(FieldType type, int size) {
    switch (type) {
    case FieldType::Text:
        return QStringLiteral("TEXT(%1)").arg(size > 0 ? size : 255);
    case FieldType::Memo:
        return QStringLiteral("MEMO_TEXT");
    case FieldType::Long:
        return QStringLiteral("LONG");
    case FieldType::Integer:
        return QStringLiteral("INTEGER");
    case FieldType::YesNo:
        return QStringLiteral("YESNO");
    case FieldType::DateTime:
        return QStringLiteral("DATETIME");
    case FieldType::Counter:
        return QStringLiteral("COUNTER");
    case FieldType::Double:
        return QStringLiteral("DOUBLE");
    case FieldType::Binary:
        return QStringLiteral("LONGBINARY");
    }
    return QStringLiteral("TEXT(255)");
}

TypeInfo typeFromDecl(const QString& decl) {
    static const QRegularExpression re(
        QStringLiteral(R"(^\s*([A-Za-z_0-9]+)\s*(?:\(\s*(\d+)\s*(?:,\s*\d+\s*)?\))?)"));
    const auto m = re.match(decl);
    if (!m.hasMatch()) return {FieldType::Text, 255};
    const QString word = m.captured(1).toUpper();
    if (word == QLatin1String("MEMO_TEXT")) return {FieldType::Memo, 0};
    if (word == QLatin1String("INTEGER")) return {FieldType::Integer, 0};
    if (auto t = jetType(word, m.captured(2).toInt())) return *t;
    // foreign declarations: SQLite's affinity rules
    if (word.contains(QLatin1String("INT"))) return {FieldType::Long, 0};
    if (word.contains(QLatin1String("CHAR")) || word.contains(QLatin1String("CLOB")))
        return {FieldType::Text, 255};
    if (word.contains(QLatin1String("BLOB"))) return {FieldType::Binary, 0};
    if (word.contains(QLatin1String("REAL")) || word.contains(QLatin1String("FLOA")) ||
        word.contains(QLatin1String("DOUB")))
        return {FieldType::Double, 0};
    return {FieldType::Text, 255};
}

bool isTextType(FieldType t) {
    return t == FieldType::Text || t == FieldType::Memo;
}

QString defaultLiteral(FieldType type, const QVariant& value) {
    if (!value.isValid() || value.isNull()) return {};
    if (value.typeId() == QMetaType::Bool) return value.toBool() ? QStringLiteral("-1") : QStringLiteral("0");
    if (value.typeId() == QMetaType::QDateTime) return sqlString(isoDateTime(value.toDateTime()));
    QString s = value.toString();
    // Jet keeps defaults as expressions: "text" in quotes, numbers bare
    if (s.size() >= 2 && ((s.startsWith(QLatin1Char('"')) && s.endsWith(QLatin1Char('"'))) ||
                          (s.startsWith(QLatin1Char('\'')) && s.endsWith(QLatin1Char('\'')))))
        s = s.mid(1, s.size() - 2);
    if (isTextType(type)) return sqlString(s);
    if (type == FieldType::YesNo) {
        const QString l = s.trimmed().toLower();
        if (l == QLatin1String("true") || l == QLatin1String("yes")) return QStringLiteral("-1");
        if (l == QLatin1String("false") || l == QLatin1String("no")) return QStringLiteral("0");
    }
    bool ok = false;
    const double d = s.trimmed().toDouble(&ok);
    if (ok) {
        if (type == FieldType::YesNo) return d != 0 ? QStringLiteral("-1") : QStringLiteral("0");
        if (d == double(qint64(d))) return QString::number(qint64(d));
        return QString::number(d, 'g', 17);
    }
    if (type == FieldType::DateTime) {
        if (auto dt = parseJetDate(s)) return sqlString(isoDateTime(*dt));
    }
    return sqlString(s);
}

QVariant defaultFromSql(const QString& sql) {
    if (sql.isEmpty() || sql.compare(QLatin1String("NULL"), Qt::CaseInsensitive) == 0) return {};
    if (sql.startsWith(QLatin1Char('\'')) && sql.endsWith(QLatin1Char('\'')) && sql.size() >= 2)
        return sql.mid(1, sql.size() - 2).replace(QLatin1String("''"), QLatin1String("'"));
    bool ok = false;
    const qlonglong i = sql.toLongLong(&ok);
    if (ok) return i;
    const double d = sql.toDouble(&ok);
    if (ok) return d;
    return sql;
}

} // namespace detail
} // namespace jet
