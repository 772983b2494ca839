// Jet SQL -> SQLite SQL.
//
// DML is rewritten token by token (literals, names, TOP, Jet keywords and functions, other
// files' tables); DDL is parsed into a Plan that the database turns into SQLite schema.

#include "components/jet/JetInternal.h"

#include <QSet>

namespace jet::detail {
namespace {

Error syntaxError(const QString& jetSql, const QString& what = {}) {
    QString text = QStringLiteral("Syntax error in SQL statement '%1'").arg(jetSql.left(300));
    if (!what.isEmpty()) text += QStringLiteral(": ") + what;
    return Error(ErrSyntax, text + QLatin1Char('.'));
}

// Words after which a table name stands.
bool isTablePositionWord(const Token& t) {
    return t.is("FROM") || t.is("JOIN") || t.is("UPDATE") || t.is("INTO");
}

// Words that can follow a table name and are no alias.
bool isClauseWord(const Token& t) {
    static const QSet<QString> words = {
        QStringLiteral("where"),  QStringLiteral("inner"),  QStringLiteral("left"),
        QStringLiteral("right"),  QStringLiteral("outer"),  QStringLiteral("join"),
        QStringLiteral("on"),     QStringLiteral("order"),  QStringLiteral("group"),
        QStringLiteral("having"), QStringLiteral("union"),  QStringLiteral("in"),
        QStringLiteral("set"),    QStringLiteral("as"),     QStringLiteral("values"),
        QStringLiteral("select"), QStringLiteral("with"),   QStringLiteral("cross"),
        QStringLiteral("full"),   QStringLiteral("natural")};
    return t.type == Tok::Word && words.contains(t.text.toLower());
}

// A bracketed name that is a file path, as in [C:\lists\a.mdb].AddressList.
bool looksLikeFile(const QString& s) {
    if (s.contains(QLatin1Char('/')) || s.contains(QLatin1Char('\\'))) return true;
    const QString l = s.toLower();
    return l.endsWith(QLatin1String(".mdb")) || l.endsWith(QLatin1String(".sdr")) ||
           l.endsWith(QLatin1String(".db")) || l.endsWith(QLatin1String(".sqlite")) ||
           l.endsWith(QLatin1String(".accdb"));
}

QString functionName(const QString& word) {
    // Names SQLite reads as keywords, or whose built-in differs, go by a registered alias.
    const QString l = word.toLower();
    if (l == QLatin1String("isnull") || l == QLatin1String("left") || l == QLatin1String("right") ||
        l == QLatin1String("date") || l == QLatin1String("time") || l == QLatin1String("format"))
        return QStringLiteral("jet_") + l;
    return word;
}

class Translator {
public:
    Translator(const QString& jetSql, const TranslateContext& ctx, Plan& plan)
        : m_sql(jetSql), m_t(tokenize(jetSql)), m_ctx(ctx), m_plan(plan) {}

    void run();

private:
    int size() const { return int(m_t.size()); }
    const Token& at(int i) const {
        static const Token none{Tok::Punct, QString()};
        return i >= 0 && i < size() ? m_t[size_t(i)] : none;
    }
    Error fail(const QString& what = {}) const { return syntaxError(m_sql, what); }
    QString name(int i) const {
        if (!at(i).isName()) throw fail(QStringLiteral("name expected"));
        return at(i).text;
    }
    int matchingParen(int open) const;

    struct TableRef {
        QString schema = QStringLiteral("main");
        QString table; // real table name in its schema
        QString local; // name the statement uses
        int next = 0;  // token after the reference
        bool external = false;
    };
    TableRef tableRef(int i) const;
    QString refSql(const TableRef& r, bool withAlias) const;

    QString emit(int b, int e, bool injectRowid = false);
    void select();
    void insert();
    void remove();
    void createTable();
    void createIndex(int i);
    void alterTable();
    int columnDef(int i, ColumnDef& col, QString& pkName, bool& inlinePk, bool& inlineUnique);
    QStringList nameList(int open, int& next) const;

    QString m_sql;
    Tokens m_t;
    const TranslateContext& m_ctx;
    Plan& m_plan;
};

int Translator::matchingParen(int open) const {
    int depth = 0;
    for (int i = open; i < size(); ++i) {
        if (at(i).isPunct("("))
            ++depth;
        else if (at(i).isPunct(")") && --depth == 0)
            return i;
    }
    throw fail(QStringLiteral("missing )"));
}

Translator::TableRef Translator::tableRef(int i) const {
    TableRef r;
    const Token& t = at(i);
    if (t.type == Tok::Ident && looksLikeFile(t.text) && at(i + 1).isPunct(".") && at(i + 2).isName()) {
        r.schema = m_ctx.aliasForFile(t.text);
        r.table = r.local = at(i + 2).text;
        r.next = i + 3;
        r.external = true;
        return r;
    }
    r.table = r.local = name(i);
    r.next = i + 1;
    if (at(i + 1).is("IN") && at(i + 2).type == Tok::String) {
        r.schema = m_ctx.aliasForFile(at(i + 2).text);
        r.next = i + 3;
        r.external = true;
        return r;
    }
    const auto link = m_ctx.links.constFind(r.local.toLower());
    if (link != m_ctx.links.constEnd()) {
        r.schema = link->first;
        r.table = link->second;
        r.external = true;
    }
    return r;
}

QString Translator::refSql(const TableRef& r, bool withAlias) const {
    if (!r.external) return sqlIdent(r.table);
    QString s = sqlIdent(r.schema) + QLatin1Char('.') + sqlIdent(r.table);
    if (withAlias) s += QStringLiteral(" AS ") + sqlIdent(r.local);
    return s;
}

QString Translator::emit(int b, int e, bool injectRowid) {
    QString out;
    auto put = [&out](const QString& piece) {
        if (!out.isEmpty() && !out.endsWith(QLatin1Char('(')) && !out.endsWith(QLatin1Char('.')) &&
            piece != QLatin1String(")") && piece != QLatin1String(",") && piece != QLatin1String("."))
            out += QLatin1Char(' ');
        out += piece;
    };
    struct Frame {
        QString limit;
        bool inFrom = false;
    };
    std::vector<Frame> frames(1);
    for (int i = b; i < e; ++i) {
        const Token& k = at(i);
        const Token& prev = i > b ? at(i - 1) : at(-1);
        Frame& f = frames.back();
        const bool tablePos = (isTablePositionWord(prev) || (prev.isPunct(",") && f.inFrom)) && k.isName();
        if (tablePos) {
            const TableRef r = tableRef(i);
            const bool aliasable = !prev.is("INTO") && !at(r.next).is("AS") &&
                                   !(at(r.next).isName() && !isClauseWord(at(r.next)));
            put(refSql(r, aliasable));
            if (r.external && !m_plan.aliases.contains(r.schema)) m_plan.aliases << r.schema;
            i = r.next - 1;
            continue;
        }
        switch (k.type) {
        case Tok::Punct:
            if (k.text == QLatin1String("(")) {
                frames.emplace_back();
                put(k.text);
            } else if (k.text == QLatin1String(")")) {
                if (frames.size() > 1) {
                    if (!frames.back().limit.isEmpty()) put(QStringLiteral("LIMIT ") + frames.back().limit);
                    frames.pop_back();
                }
                put(k.text);
            } else if (k.text == QLatin1String("&")) {
                put(QStringLiteral("||"));
            } else if (k.text == QLatin1String("^")) {
                throw fail(QStringLiteral("the ^ operator is not supported"));
            } else if (k.text == QLatin1String("\\")) {
                put(QStringLiteral("/")); // integer division; operands are integers in practice
            } else {
                put(k.text);
            }
            break;
        case Tok::String:
            if (prev.is("AS"))
                put(sqlIdent(k.text));
            else
                put(sqlString(k.text) + QStringLiteral(" COLLATE NOCASE")); // Jet compares text without case
            break;
        case Tok::Number:
            put(k.text);
            break;
        case Tok::Date: {
            const auto dt = parseJetDate(k.text);
            if (!dt) throw fail(QStringLiteral("invalid date #%1#").arg(k.text));
            put(sqlString(isoDateTime(*dt)));
            break;
        }
        case Tok::Ident:
            if (looksLikeFile(k.text) && at(i + 1).isPunct(".") && at(i + 2).isName()) {
                const TableRef r = tableRef(i);
                put(refSql(r, false));
                if (!m_plan.aliases.contains(r.schema)) m_plan.aliases << r.schema;
                i = r.next - 1;
            } else {
                put(sqlIdent(k.text));
            }
            break;
        case Tok::Word: {
            const bool call = at(i + 1).isPunct("(") && !prev.isPunct(".");
            if (k.is("SELECT")) {
                put(QStringLiteral("SELECT"));
                f.inFrom = false;
                if (at(i + 1).is("DISTINCTROW"))
                    ++i;
                else if (at(i + 1).is("DISTINCT") || at(i + 1).is("ALL"))
                    put(at(++i).text.toUpper());
                if (at(i + 1).is("TOP")) {
                    if (at(i + 2).type != Tok::Number) throw fail(QStringLiteral("TOP needs a number"));
                    if (at(i + 3).is("PERCENT")) throw fail(QStringLiteral("TOP n PERCENT is not supported"));
                    f.limit = QString::number(at(i + 2).text.toDouble(), 'f', 0);
                    i += 2;
                }
                if (injectRowid && frames.size() == 1) {
                    put(QStringLiteral("rowid AS \"__jet_rowid\","));
                    injectRowid = false;
                }
            } else if (k.is("FROM")) {
                f.inFrom = true;
                put(QStringLiteral("FROM"));
            } else if (k.is("WHERE") || k.is("GROUP") || k.is("ORDER") || k.is("HAVING") || k.is("UNION") ||
                       k.is("ON") || k.is("SET") || k.is("VALUES")) {
                f.inFrom = false;
                put(k.text);
            } else if (k.is("WITH") && at(i + 1).is("OWNERACCESS") && at(i + 2).is("OPTION")) {
                i += 2; // Jet permission clause: nothing to do here
            } else if (k.is("IN") && at(i + 1).type == Tok::String) {
                throw fail(QStringLiteral("IN \"file\" must follow a table name"));
            } else if ((k.is("TRUE") || k.is("YES")) && !call && !prev.isPunct(".")) {
                put(QStringLiteral("-1"));
            } else if ((k.is("FALSE") || k.is("NO")) && !call && !prev.isPunct(".")) {
                put(QStringLiteral("0"));
            } else if (k.is("MOD") && !call) {
                put(QStringLiteral("%"));
            } else if (call) {
                put(functionName(k.text));
            } else {
                put(k.text);
            }
            break;
        }
        }
    }
    if (!frames.front().limit.isEmpty()) put(QStringLiteral("LIMIT ") + frames.front().limit);
    return out;
}

void Translator::run() {
    if (m_t.empty()) throw fail(QStringLiteral("empty statement"));
    const Token& first = at(0);
    if (first.is("SELECT"))
        select();
    else if (first.is("INSERT"))
        insert();
    else if (first.is("UPDATE")) {
        m_plan.kind = Kind::Update;
        m_plan.hasVerbOr = true;
        m_plan.sql = emit(0, size());
    } else if (first.is("DELETE"))
        remove();
    else if (first.is("CREATE") && at(1).is("TABLE"))
        createTable();
    else if (first.is("CREATE") && at(1).is("INDEX"))
        createIndex(1);
    else if (first.is("CREATE") && at(1).is("UNIQUE") && at(2).is("INDEX")) {
        m_plan.unique = true;
        createIndex(2);
    } else if (first.is("DROP") && at(1).is("TABLE")) {
        m_plan.kind = Kind::DropTable;
        m_plan.table = name(2);
        if (size() > 3) throw fail();
        m_plan.sql = QStringLiteral("DROP TABLE ") + sqlIdent(m_plan.table);
    } else if (first.is("DROP") && at(1).is("INDEX")) {
        m_plan.kind = Kind::DropIndex;
        m_plan.objectName = name(2);
        if (at(3).is("ON")) m_plan.table = name(4);
        m_plan.sql = QStringLiteral("DROP INDEX ") + sqlIdent(m_plan.objectName);
    } else if (first.is("ALTER") && at(1).is("TABLE"))
        alterTable();
    else
        throw Error(3129, QStringLiteral("Invalid SQL statement; expected 'DELETE', 'INSERT', 'PROCEDURE', "
                                         "'SELECT', or 'UPDATE'."));
}

void Translator::select() {
    // SELECT ... INTO target FROM ... : find INTO at depth 0 before FROM
    int depth = 0, into = -1, from = -1;
    for (int i = 0; i < size(); ++i) {
        if (at(i).isPunct("("))
            ++depth;
        else if (at(i).isPunct(")"))
            --depth;
        else if (depth == 0 && at(i).is("INTO") && into < 0 && from < 0)
            into = i;
        else if (depth == 0 && at(i).is("FROM") && from < 0)
            from = i;
    }
    if (into > 0) {
        m_plan.kind = Kind::SelectInto;
        int next = into + 2;
        const Token& target = at(into + 1);
        if (target.type == Tok::Ident &&
            target.text.startsWith(QLatin1String("Text;"), Qt::CaseInsensitive) &&
            at(into + 2).isPunct(".") && at(into + 3).isName()) {
            // [Text;database=<folder>].[<file>]: export to a delimited text file
            QString folder = target.text.mid(5);
            const int eq = int(folder.indexOf(QLatin1Char('=')));
            folder = eq >= 0 ? folder.mid(eq + 1) : QString();
            m_plan.targetSchema = QStringLiteral("text:") + folder;
            m_plan.targetTable = at(into + 3).text;
            next = into + 4;
        } else {
            const TableRef r = tableRef(into + 1);
            m_plan.targetSchema = r.schema;
            m_plan.targetTable = r.table;
            if (r.external && !m_plan.aliases.contains(r.schema)) m_plan.aliases << r.schema;
            next = r.next;
        }
        QString head = emit(0, into);
        m_plan.selectSql = head + QLatin1Char(' ') + emit(next, size());
        m_plan.sql = m_plan.selectSql;
        return;
    }
    m_plan.kind = Kind::Select;
    m_plan.sql = emit(0, size());
    // Editable when it reads one table without grouping, joining or DISTINCT.
    if (from < 0) return;
    depth = 0;
    for (int i = 0; i < size(); ++i) {
        const Token& k = at(i);
        if (k.isPunct("("))
            ++depth;
        else if (k.isPunct(")"))
            --depth;
        else if (depth == 0 &&
                 (k.is("DISTINCT") || k.is("GROUP") || k.is("UNION") || k.is("JOIN") || k.is("HAVING")))
            return;
    }
    const TableRef r = tableRef(from + 1);
    int next = r.next;
    QString alias = r.local;
    if (at(next).is("AS") && at(next + 1).isName()) {
        alias = at(next + 1).text;
        next += 2;
    } else if (at(next).isName() && !isClauseWord(at(next))) {
        alias = at(next).text;
        ++next;
    }
    if (next < size() && !at(next).is("WHERE") && !at(next).is("ORDER")) return;
    m_plan.baseSchema = r.schema;
    m_plan.baseTable = r.table;
    m_plan.baseAlias = alias;
    m_plan.rowidSql = emit(0, size(), true);
}

QStringList Translator::nameList(int open, int& next) const {
    if (!at(open).isPunct("(")) throw fail(QStringLiteral("( expected"));
    const int close = matchingParen(open);
    QStringList names;
    for (int i = open + 1; i < close; ++i) {
        if (at(i).isPunct(",")) continue;
        names << name(i);
        if (at(i + 1).is("ASC") || at(i + 1).is("DESC")) ++i;
    }
    next = close + 1;
    return names;
}

void Translator::insert() {
    if (!at(1).is("INTO")) throw fail(QStringLiteral("INTO expected"));
    const TableRef r = tableRef(2);
    if (r.external && !m_plan.aliases.contains(r.schema)) m_plan.aliases << r.schema;
    m_plan.targetSchema = r.schema;
    m_plan.targetTable = r.table;
    m_plan.hasVerbOr = true;
    int i = r.next;
    QString columns;
    if (at(i).isPunct("(")) {
        int next = 0;
        const QStringList names = nameList(i, next);
        QStringList quoted;
        for (const QString& n : names)
            quoted << sqlIdent(n);
        columns = QLatin1Char('(') + quoted.join(QLatin1Char(',')) + QLatin1Char(')');
        i = next;
    }
    const QString head = QStringLiteral("INSERT INTO ") + refSql(r, false);
    if (at(i).is("VALUES") || !columns.isEmpty()) {
        m_plan.kind = Kind::Insert;
        m_plan.sql = head + (columns.isEmpty() ? QString() : QLatin1Char(' ') + columns) + QLatin1Char(' ') +
                     emit(i, size());
        return;
    }
    if (!at(i).is("SELECT")) throw fail(QStringLiteral("VALUES or SELECT expected"));
    // Jet appends by column name: the database resolves the shared names when it runs.
    m_plan.kind = Kind::InsertByName;
    m_plan.selectSql = emit(i, size());
    m_plan.sql = head + QLatin1Char(' ') + m_plan.selectSql;
}

void Translator::remove() {
    m_plan.kind = Kind::Delete;
    int i = 1;
    QString target;
    if (at(i).isPunct("*"))
        ++i;
    else if (at(i).isName() && at(i + 1).isPunct(".") && at(i + 2).isPunct("*")) {
        target = at(i).text;
        i += 3;
    } else if (at(i).isName() && !at(i).is("FROM")) {
        target = at(i).text;
        ++i;
    }
    if (!at(i).is("FROM")) throw fail(QStringLiteral("FROM expected"));
    const int from = i;
    int where = size(), depth = 0;
    bool single = true;
    for (int j = from + 1; j < size(); ++j) {
        if (at(j).isPunct("("))
            ++depth;
        else if (at(j).isPunct(")"))
            --depth;
        else if (depth == 0 && at(j).is("WHERE")) {
            where = j;
            break;
        } else if (depth == 0 && (at(j).is("JOIN") || at(j).isPunct(",")))
            single = false;
    }
    const TableRef first = tableRef(from + 1);
    if (single && first.next == where) {
        if (first.external && !m_plan.aliases.contains(first.schema)) m_plan.aliases << first.schema;
        m_plan.sql = QStringLiteral("DELETE FROM ") + refSql(first, true);
        if (where < size()) m_plan.sql += QLatin1Char(' ') + emit(where, size());
        return;
    }
    // DELETE t.* FROM t INNER JOIN u ON ... : delete the target's rows the join reaches
    const QString targetName = target.isEmpty() ? first.local : target;
    TableRef tr = tableRef(from + 1);
    if (targetName.compare(first.local, Qt::CaseInsensitive) != 0) {
        // the target is a later table of the join; it lives in this database
        tr = TableRef();
        tr.table = tr.local = targetName;
    }
    if (tr.external && !m_plan.aliases.contains(tr.schema)) m_plan.aliases << tr.schema;
    m_plan.sql = QStringLiteral("DELETE FROM ") + refSql(tr, false) +
                 QStringLiteral(" WHERE rowid IN (SELECT ") + sqlIdent(targetName) +
                 QStringLiteral(".rowid ") + emit(from, size()) + QLatin1Char(')');
}

int Translator::columnDef(int i, ColumnDef& col, QString& pkName, bool& inlinePk, bool& inlineUnique) {
    col.name = name(i++);
    if (!at(i).isName()) throw fail(QStringLiteral("type expected for field '%1'").arg(col.name));
    const QString typeWord = at(i++).text;
    int typeSize = 0;
    if (at(i).isPunct("(")) {
        const int close = matchingParen(i);
        if (at(i + 1).type == Tok::Number) typeSize = at(i + 1).text.toInt();
        i = close + 1;
    }
    const auto type = jetType(typeWord, typeSize);
    if (!type)
        throw Error(3292,
                    QStringLiteral("Syntax error in field definition: unknown type '%1' for field '%2'.")
                        .arg(typeWord, col.name));
    col.type = type->type;
    col.size = type->size;
    while (i < size() && !at(i).isPunct(",") && !at(i).isPunct(")")) {
        if (at(i).is("NOT") && at(i + 1).is("NULL")) {
            col.notNull = true;
            i += 2;
        } else if (at(i).is("NULL")) {
            ++i;
        } else if (at(i).is("CONSTRAINT")) {
            pkName = name(i + 1);
            i += 2;
        } else if (at(i).is("PRIMARY") && at(i + 1).is("KEY")) {
            inlinePk = true;
            i += 2;
        } else if (at(i).is("UNIQUE")) {
            inlineUnique = true;
            ++i;
        } else if (at(i).is("WITH") && (at(i + 1).is("COMPRESSION") || at(i + 1).is("COMP"))) {
            i += 2;
        } else if (at(i).is("DEFAULT")) {
            ++i;
            bool negative = false;
            if (at(i).isPunct("-")) {
                negative = true;
                ++i;
            }
            const Token& v = at(i++);
            if (v.type == Tok::Number)
                col.defaultSql = (negative ? QStringLiteral("-") : QString()) + v.text;
            else if (v.type == Tok::String)
                col.defaultSql = sqlString(v.text);
            else if (v.is("TRUE") || v.is("YES"))
                col.defaultSql = QStringLiteral("-1");
            else if (v.is("FALSE") || v.is("NO"))
                col.defaultSql = QStringLiteral("0");
            else if (!v.is("NULL"))
                throw fail(QStringLiteral("unsupported default for field '%1'").arg(col.name));
        } else {
            throw fail(
                QStringLiteral("unexpected '%1' in definition of field '%2'").arg(at(i).text, col.name));
        }
    }
    return i;
}

void Translator::createTable() {
    m_plan.kind = Kind::CreateTable;
    m_plan.table = name(2);
    if (!at(3).isPunct("(")) throw fail(QStringLiteral("( expected"));
    const int close = matchingParen(3);
    if (close != size() - 1) throw fail(QStringLiteral("text after the field list"));
    int i = 4;
    while (i < close) {
        if (at(i).is("CONSTRAINT") || at(i).is("PRIMARY") || at(i).is("UNIQUE")) {
            QString cname;
            if (at(i).is("CONSTRAINT")) {
                cname = name(i + 1);
                i += 2;
            }
            int next = 0;
            if (at(i).is("PRIMARY") && at(i + 1).is("KEY")) {
                m_plan.pkName = cname.isEmpty() ? QStringLiteral("PrimaryKey") : cname;
                m_plan.pkColumns = nameList(i + 2, next);
            } else if (at(i).is("UNIQUE")) {
                m_plan.uniques.push_back(
                    {cname.isEmpty() ? QStringLiteral("Unique%1").arg(m_plan.uniques.size()) : cname,
                     nameList(i + 1, next)});
            } else if (at(i).is("FOREIGN")) {
                // relationships are not kept; skip to the end of the clause
                next = i;
                int depth = 0;
                while (next < close && !(depth == 0 && at(next).isPunct(","))) {
                    depth += at(next).isPunct("(") ? 1 : at(next).isPunct(")") ? -1 : 0;
                    ++next;
                }
            } else {
                throw fail(QStringLiteral("unsupported constraint"));
            }
            i = next;
        } else {
            ColumnDef col;
            QString cname;
            bool pk = false, uq = false;
            i = columnDef(i, col, cname, pk, uq);
            if (pk) {
                m_plan.pkName = cname.isEmpty() ? QStringLiteral("PrimaryKey") : cname;
                m_plan.pkColumns = QStringList{col.name};
            } else if (uq) {
                m_plan.uniques.push_back({cname.isEmpty() ? col.name : cname, QStringList{col.name}});
            }
            m_plan.columns.push_back(col);
        }
        if (at(i).isPunct(","))
            ++i;
        else if (i != close)
            throw fail(QStringLiteral(", expected"));
    }
}

void Translator::createIndex(int i) {
    m_plan.kind = Kind::CreateIndex;
    m_plan.objectName = name(i + 1);
    if (!at(i + 2).is("ON")) throw fail(QStringLiteral("ON expected"));
    m_plan.table = name(i + 3);
    int next = 0;
    m_plan.pkColumns = nameList(i + 4, next);
    if (at(next).is("WITH")) {
        if (at(next + 1).is("PRIMARY")) m_plan.primary = true;
        next = size();
    }
    if (next != size()) throw fail();
    QStringList cols;
    for (const QString& c : std::as_const(m_plan.pkColumns))
        cols << sqlIdent(c);
    m_plan.sql = QStringLiteral("CREATE %1INDEX %2 ON %3 (%4)")
                     .arg(m_plan.unique ? QStringLiteral("UNIQUE ") : QString(), sqlIdent(m_plan.objectName),
                          sqlIdent(m_plan.table), cols.join(QLatin1Char(',')));
}

void Translator::alterTable() {
    m_plan.kind = Kind::AlterTable;
    m_plan.table = name(2);
    int i = 3;
    int next = 0;
    if (at(i).is("ADD")) {
        ++i;
        if (at(i).is("CONSTRAINT") || at(i).is("PRIMARY") || at(i).is("UNIQUE")) {
            if (at(i).is("CONSTRAINT")) {
                m_plan.objectName = name(i + 1);
                i += 2;
            }
            if (at(i).is("PRIMARY") && at(i + 1).is("KEY")) {
                m_plan.alterOp = AlterOp::AddPrimaryKey;
                if (m_plan.objectName.isEmpty()) m_plan.objectName = QStringLiteral("PrimaryKey");
                m_plan.pkColumns = nameList(i + 2, next);
            } else if (at(i).is("UNIQUE")) {
                m_plan.alterOp = AlterOp::AddUnique;
                m_plan.pkColumns = nameList(i + 1, next);
            } else {
                throw fail(QStringLiteral("unsupported constraint"));
            }
        } else {
            if (at(i).is("COLUMN")) ++i;
            ColumnDef col;
            bool pk = false, uq = false;
            next = columnDef(i, col, m_plan.objectName, pk, uq);
            m_plan.alterOp = AlterOp::AddColumn;
            m_plan.columns.push_back(col);
            if (pk) {
                m_plan.pkName =
                    m_plan.objectName.isEmpty() ? QStringLiteral("PrimaryKey") : m_plan.objectName;
                m_plan.pkColumns = QStringList{col.name};
            } else if (uq) {
                m_plan.uniques.push_back(
                    {m_plan.objectName.isEmpty() ? col.name : m_plan.objectName, {col.name}});
            }
        }
    } else if (at(i).is("DROP")) {
        ++i;
        if (at(i).is("CONSTRAINT")) {
            m_plan.alterOp = AlterOp::DropConstraint;
            m_plan.objectName = name(i + 1);
        } else {
            if (at(i).is("COLUMN")) ++i;
            m_plan.alterOp = AlterOp::DropColumn;
            m_plan.objectName = name(i);
        }
        next = i + 2;
        if (m_plan.alterOp == AlterOp::DropColumn) next = i + 1;
    } else if (at(i).is("ALTER")) {
        ++i;
        if (at(i).is("COLUMN")) ++i;
        ColumnDef col;
        bool pk = false, uq = false;
        next = columnDef(i, col, m_plan.objectName, pk, uq);
        m_plan.alterOp = AlterOp::AlterColumn;
        m_plan.columns.push_back(col);
    } else {
        throw fail(QStringLiteral("ADD, DROP or ALTER expected"));
    }
    if (next != size()) throw fail(QStringLiteral("text after the definition"));
    m_plan.sql = QStringLiteral("ALTER TABLE ") + sqlIdent(m_plan.table);
}

} // namespace

Plan translateStatement(const QString& jetSql, const TranslateContext& ctx) {
    Plan plan;
    Translator(jetSql, ctx, plan).run();
    return plan;
}

} // namespace jet::detail
