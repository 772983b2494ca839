// Jet DDL on SQLite: tables, keys, indexes, column properties.
//
// Column properties SQLite has no place for live in the schema itself where possible
// (defaults, NOT NULL, declared types) and otherwise in the table __jet_props
// (AllowZeroLength). Jet's rules on values are kept by triggers that use only built-in
// SQL, so the files stay usable from the sqlite3 shell:
//   __jet_norm_*: YESNO becomes -1/0 (never Null); "" in a date or number becomes Null.
//   __jet_zl_*:   "" into a text field whose AllowZeroLength is off fails with 3315.
// SQLite cannot change a column's default or add a primary key in place, so those
// rebuild the table (rows, indexes and properties are kept).

#include "components/jet/JetInternal.h"

#include <QRegularExpression>
#include <sqlite3.h>

namespace jet {

using namespace detail;

namespace detail {

namespace {
const QString kProps = QStringLiteral("__jet_props");
const QString kRebuild = QStringLiteral("__jet_rebuild");

QString qualified(const QString& schema, const QString& name) {
    return schema == QLatin1String("main") ? sqlIdent(name)
                                           : sqlIdent(schema) + QLatin1Char('.') + sqlIdent(name);
}

QString master(const QString& schema) {
    return sqlIdent(schema) + QStringLiteral(".sqlite_master");
}

bool foldedCounter(const DatabaseCore::TableModel& m, const ColumnDef& c) {
    return c.type == FieldType::Counter && m.pkColumns.size() == 1 &&
           m.pkColumns[0].compare(c.name, Qt::CaseInsensitive) == 0;
}

QString columnSql(const ColumnDef& c, bool inPk) {
    QString s = sqlIdent(c.name);
    if (c.size >= 0 || c.type != FieldType::Double) s += QLatin1Char(' ') + declFor(c.type, c.size);
    if (c.notNull || inPk) s += QStringLiteral(" NOT NULL");
    if (isTextType(c.type)) s += QStringLiteral(" COLLATE NOCASE");
    if (!c.defaultSql.isEmpty())
        s += QStringLiteral(" DEFAULT ") + c.defaultSql;
    else if (c.type == FieldType::YesNo)
        s += QStringLiteral(" DEFAULT 0"); // Jet Booleans are never Null
    return s;
}

Error fieldMissing(const QString& table, const QString& field) {
    return Error(ErrItemNotInCollection,
                 QStringLiteral("Field '%1' does not exist in table '%2'.").arg(field, table));
}

Error tableMissing(const QString& table) {
    return Error(ErrTableNotFound,
                 QStringLiteral("The database engine cannot find the input table or query '%1'. "
                                "Make sure it exists and that its name is spelled correctly.")
                     .arg(table));
}
} // namespace

QPair<QString, QString> DatabaseCore::resolveTable(const QString& table) const {
    const auto it = links.constFind(table.toLower());
    if (it != links.constEnd()) return *it;
    return qMakePair(QStringLiteral("main"), table);
}

bool DatabaseCore::tableExists(const QString& schema, const QString& table) {
    return !queryStrings(
                QStringLiteral(
                    "SELECT name FROM %1 WHERE type IN ('table','view') AND name = %2 COLLATE NOCASE")
                    .arg(master(schema), sqlString(table)))
                .isEmpty();
}

DatabaseCore::TableModel DatabaseCore::model(const QString& schema, const QString& table) {
    TableModel m;
    m.schema = schema;
    const QStringList names =
        queryStrings(QStringLiteral("SELECT name FROM %1 WHERE type='table' AND name = %2 COLLATE NOCASE")
                         .arg(master(schema), sqlString(table)));
    if (names.isEmpty()) throw tableMissing(table);
    m.name = names[0];
    const QString sql = queryStrings(QStringLiteral("SELECT sql FROM %1 WHERE type='table' AND name = %2")
                                         .arg(master(schema), sqlString(m.name)))
                            .value(0);
    const QString info =
        QStringLiteral(
            "SELECT name, type, \"notnull\", dflt_value, pk FROM pragma_table_info(%1, %2) ORDER BY cid")
            .arg(sqlString(m.name), sqlString(schema));
    StmtPtr owner = prepared(info, false, info);
    sqlite3_stmt* st = owner.get();
    QMap<int, QString> pk;
    while (step(st, info) == SQLITE_ROW) {
        auto text = [st](int i) {
            return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, i)));
        };
        ColumnDef c;
        c.name = text(0);
        const QString decl = text(1);
        if (decl.isEmpty()) {
            c.type = FieldType::Double;
            c.size = -1;
        } else {
            const TypeInfo t = typeFromDecl(decl);
            c.type = t.type;
            c.size = t.size;
        }
        c.notNull = sqlite3_column_int(st, 2) != 0;
        if (sqlite3_column_type(st, 3) != SQLITE_NULL) c.defaultSql = text(3);
        if (const int k = sqlite3_column_int(st, 4)) pk.insert(k, c.name);
        if (decl.compare(QLatin1String("INTEGER"), Qt::CaseInsensitive) == 0 &&
            sqlite3_column_int(st, 4) == 1) {
            const QRegularExpression re(QRegularExpression::escape(sqlIdent(c.name)) +
                                            QStringLiteral(R"(\s+INTEGER[^,]*AUTOINCREMENT)"),
                                        QRegularExpression::CaseInsensitiveOption);
            if (re.match(sql).hasMatch()) c.type = FieldType::Counter;
        }
        m.columns.push_back(c);
    }
    owner.reset();
    m.pkColumns = pk.values();
    static const QRegularExpression pkName(
        QStringLiteral(R"re(CONSTRAINT\s+"((?:[^"]|"")*)"\s+PRIMARY\s+KEY)re"),
        QRegularExpression::CaseInsensitiveOption);
    const auto match = pkName.match(sql);
    if (!m.pkColumns.isEmpty())
        m.pkName = match.hasMatch() ? match.captured(1).replace(QLatin1String("\"\""), QLatin1String("\""))
                                    : QStringLiteral("PrimaryKey");
    return m;
}

QString DatabaseCore::createSql(const TableModel& m) const {
    QStringList parts;
    bool folded = false;
    for (const ColumnDef& c : m.columns) {
        if (foldedCounter(m, c)) {
            // COUNTER + PRIMARY KEY is SQLite's autoincrementing rowid
            parts << QStringLiteral("%1 INTEGER NOT NULL CONSTRAINT %2 PRIMARY KEY AUTOINCREMENT")
                         .arg(sqlIdent(c.name), sqlIdent(m.pkName));
            folded = true;
        } else {
            parts << columnSql(c, m.pkColumns.contains(c.name, Qt::CaseInsensitive));
        }
    }
    if (!m.pkColumns.isEmpty() && !folded) {
        QStringList cols;
        for (const QString& c : m.pkColumns)
            cols << sqlIdent(c);
        parts << QStringLiteral("CONSTRAINT %1 PRIMARY KEY (%2)")
                     .arg(sqlIdent(m.pkName), cols.join(QLatin1Char(',')));
    }
    return QStringLiteral("CREATE TABLE %1 (%2)")
        .arg(qualified(m.schema, m.name), parts.join(QStringLiteral(", ")));
}

void DatabaseCore::rebuild(const TableModel& m) {
    const TableModel old = model(m.schema, m.name);
    Savepoint sp(*this);
    TableModel tmp = m;
    tmp.name = kRebuild;
    exec(QStringLiteral("DROP TABLE IF EXISTS ") + qualified(m.schema, kRebuild));
    exec(createSql(tmp));
    QStringList common;
    for (const ColumnDef& c : m.columns)
        for (const ColumnDef& o : old.columns)
            if (o.name.compare(c.name, Qt::CaseInsensitive) == 0) common << sqlIdent(c.name);
    if (!common.isEmpty())
        exec(QStringLiteral("INSERT INTO %1 (%2) SELECT %2 FROM %3")
                 .arg(qualified(m.schema, kRebuild), common.join(QLatin1Char(',')),
                      qualified(m.schema, old.name)));
    const QStringList indexSql = queryStrings(
        QStringLiteral("SELECT sql FROM %1 WHERE type='index' AND tbl_name = %2 AND sql IS NOT NULL")
            .arg(master(m.schema), sqlString(old.name)));
    exec(QStringLiteral("DROP TABLE ") + qualified(m.schema, old.name));
    exec(QStringLiteral("ALTER TABLE %1 RENAME TO %2").arg(qualified(m.schema, kRebuild), sqlIdent(m.name)));
    for (const QString& sql : indexSql) {
        QString s = sql;
        if (m.schema != QLatin1String("main")) // index names take the schema, not the table
            s.replace(QRegularExpression(QStringLiteral(R"(^CREATE\s+(UNIQUE\s+)?INDEX\s+)"),
                                         QRegularExpression::CaseInsensitiveOption),
                      QStringLiteral("CREATE \\1INDEX ") + sqlIdent(m.schema) + QLatin1Char('.'));
        exec(s);
    }
    refreshTriggers(m.schema, m.name);
    sp.release();
    clearCaches();
}

void DatabaseCore::ensureProps(const QString& schema) {
    exec(QStringLiteral("CREATE TABLE IF NOT EXISTS %1 (tbl TEXT NOT NULL COLLATE NOCASE, fld TEXT NOT NULL "
                        "COLLATE NOCASE, "
                        "prop TEXT NOT NULL COLLATE NOCASE, value, PRIMARY KEY (tbl, fld, prop))")
             .arg(qualified(schema, kProps)));
}

QHash<QString, bool> DatabaseCore::zeroLengthProps(const QString& schema, const QString& table) {
    QHash<QString, bool> out;
    if (!tableExists(schema, kProps)) return out;
    for (const QString& row : queryStrings(
             QStringLiteral(
                 "SELECT fld || char(1) || value FROM %1 WHERE tbl = %2 AND prop = 'AllowZeroLength'")
                 .arg(qualified(schema, kProps), sqlString(table))))
        out.insert(row.section(QChar(1), 0, 0).toLower(), row.section(QChar(1), 1).toInt() != 0);
    return out;
}

void DatabaseCore::setProp(const QString& schema, const QString& table, const QString& field,
                           bool allowZeroLength) {
    ensureProps(schema);
    exec(QStringLiteral(
             "INSERT OR REPLACE INTO %1 (tbl, fld, prop, value) VALUES (%2, %3, 'AllowZeroLength', %4)")
             .arg(qualified(schema, kProps), sqlString(table), sqlString(field),
                  allowZeroLength ? QStringLiteral("1") : QStringLiteral("0")));
}

void DatabaseCore::refreshTriggers(const QString& schema, const QString& table) {
    const QStringList old =
        queryStrings(QStringLiteral("SELECT name FROM %1 WHERE type='trigger' AND tbl_name = %2 COLLATE "
                                    "NOCASE AND substr(name,1,6) = '__jet_'")
                         .arg(master(schema), sqlString(table)));
    for (const QString& t : old)
        exec(QStringLiteral("DROP TRIGGER ") + qualified(schema, t));
    if (!tableExists(schema, table)) return;
    const TableModel m = model(schema, table);
    const QHash<QString, bool> azl = zeroLengthProps(schema, table);
    QStringList sets, conds, cols;
    for (const ColumnDef& c : m.columns) {
        const QString q = sqlIdent(c.name);
        if (c.type == FieldType::YesNo) {
            sets
                << QStringLiteral("%1 = CASE WHEN %1 IS NULL OR %1 = 0 OR %1 = '' THEN 0 ELSE -1 END").arg(q);
            conds << QStringLiteral("NEW.%1 IS NULL OR NEW.%1 NOT IN (0, -1)").arg(q);
            cols << q;
        } else if (!isTextType(c.type) && c.type != FieldType::Binary && !foldedCounter(m, c) &&
                   c.size >= 0) {
            sets << QStringLiteral("%1 = NULLIF(%1, '')").arg(q);
            conds << QStringLiteral("NEW.%1 = ''").arg(q);
            cols << q;
        } else if (isTextType(c.type) && !azl.value(c.name.toLower(), true)) {
            const QString raise =
                QStringLiteral("SELECT RAISE(ABORT, %1);")
                    .arg(sqlString(QStringLiteral("JET3315:") + m.name + QLatin1Char('.') + c.name));
            exec(QStringLiteral("CREATE TRIGGER %1 BEFORE INSERT ON %2 WHEN NEW.%3 = '' BEGIN %4 END")
                     .arg(qualified(schema, QStringLiteral("__jet_zl_ins_%1_%2").arg(m.name, c.name)),
                          sqlIdent(m.name), q, raise));
            exec(QStringLiteral("CREATE TRIGGER %1 BEFORE UPDATE OF %3 ON %2 WHEN NEW.%3 = '' BEGIN %4 END")
                     .arg(qualified(schema, QStringLiteral("__jet_zl_upd_%1_%2").arg(m.name, c.name)),
                          sqlIdent(m.name), q, raise));
        }
    }
    if (sets.isEmpty()) return;
    const QString body = QStringLiteral("BEGIN UPDATE %1 SET %2 WHERE rowid = NEW.rowid; END")
                             .arg(sqlIdent(m.name), sets.join(QStringLiteral(", ")));
    const QString when = QLatin1Char('(') + conds.join(QStringLiteral(") OR (")) + QLatin1Char(')');
    exec(QStringLiteral("CREATE TRIGGER %1 AFTER INSERT ON %2 WHEN %3 %4")
             .arg(qualified(schema, QStringLiteral("__jet_norm_ins_") + m.name), sqlIdent(m.name), when,
                  body));
    exec(QStringLiteral("CREATE TRIGGER %1 AFTER UPDATE OF %2 ON %3 WHEN %4 %5")
             .arg(qualified(schema, QStringLiteral("__jet_norm_upd_") + m.name), cols.join(QLatin1Char(',')),
                  sqlIdent(m.name), when, body));
}

void DatabaseCore::createTable(const Plan& plan) {
    if (links.contains(plan.table.toLower()) || tableExists(QStringLiteral("main"), plan.table))
        throw Error(ErrTableExists, QStringLiteral("Table '%1' already exists.").arg(plan.table));
    TableModel m;
    m.schema = QStringLiteral("main");
    m.name = plan.table;
    m.columns = plan.columns;
    m.pkName = plan.pkName;
    for (const QString& pk : plan.pkColumns) {
        bool found = false;
        for (const ColumnDef& c : m.columns)
            if (c.name.compare(pk, Qt::CaseInsensitive) == 0) {
                m.pkColumns << c.name;
                found = true;
            }
        if (!found) throw fieldMissing(plan.table, pk);
    }
    Savepoint sp(*this);
    exec(createSql(m));
    for (const Plan::Unique& u : plan.uniques) {
        QStringList cols;
        for (const QString& c : u.columns)
            cols << sqlIdent(c);
        exec(QStringLiteral("CREATE UNIQUE INDEX %1 ON %2 (%3)")
                 .arg(sqlIdent(u.name), sqlIdent(m.name), cols.join(QLatin1Char(','))));
    }
    refreshTriggers(m.schema, m.name);
    sp.release();
}

void DatabaseCore::addPrimaryKey(const QString& table, const QString& name, const QStringList& columns) {
    TableModel m = model(QStringLiteral("main"), table);
    if (!m.pkColumns.isEmpty())
        throw Error(3283, QStringLiteral("Primary key already exists in table '%1'.").arg(m.name));
    m.pkName = name;
    for (const QString& pk : columns) {
        bool found = false;
        for (const ColumnDef& c : m.columns)
            if (c.name.compare(pk, Qt::CaseInsensitive) == 0) {
                m.pkColumns << c.name;
                found = true;
            }
        if (!found) throw fieldMissing(m.name, pk);
    }
    rebuild(m);
}

void DatabaseCore::alterTable(const Plan& plan) {
    if (links.contains(plan.table.toLower()))
        throw Error(3613,
                    QStringLiteral("Cannot modify the design of the linked table '%1'.").arg(plan.table));
    const QString schema = QStringLiteral("main");
    TableModel m = model(schema, plan.table);
    auto find = [&m](const QString& field) -> ColumnDef* {
        for (ColumnDef& c : m.columns)
            if (c.name.compare(field, Qt::CaseInsensitive) == 0) return &c;
        return nullptr;
    };
    switch (plan.alterOp) {
    case AlterOp::AddColumn: {
        const ColumnDef& c = plan.columns.front();
        if (find(c.name))
            throw Error(ErrFieldExists,
                        QStringLiteral("Field '%1' already exists in table '%2'.").arg(c.name, m.name));
        Savepoint sp(*this);
        if ((c.notNull && c.defaultSql.isEmpty() && c.type != FieldType::YesNo) ||
            (c.type == FieldType::Counter && plan.pkColumns.size() == 1)) {
            m.columns.push_back(c);
            if (!plan.pkColumns.isEmpty()) {
                m.pkName = plan.pkName;
                m.pkColumns = plan.pkColumns;
            }
            rebuild(m);
        } else {
            exec(QStringLiteral("ALTER TABLE %1 ADD COLUMN %2").arg(sqlIdent(m.name), columnSql(c, false)));
            if (!plan.pkColumns.isEmpty()) addPrimaryKey(m.name, plan.pkName, plan.pkColumns);
        }
        for (const Plan::Unique& u : plan.uniques)
            exec(QStringLiteral("CREATE UNIQUE INDEX %1 ON %2 (%3)")
                     .arg(sqlIdent(u.name), sqlIdent(m.name), sqlIdent(c.name)));
        refreshTriggers(schema, m.name);
        sp.release();
        break;
    }
    case AlterOp::DropColumn: {
        const ColumnDef* c = find(plan.objectName);
        if (!c) throw fieldMissing(m.name, plan.objectName);
        if (m.pkColumns.contains(c->name, Qt::CaseInsensitive))
            throw Error(
                3280,
                QStringLiteral("Cannot delete the field '%1': it is part of the primary key.").arg(c->name));
        const QString field = c->name;
        Savepoint sp(*this);
        for (const QString& t : queryStrings(
                 QStringLiteral("SELECT name FROM sqlite_master WHERE type='trigger' AND tbl_name = %1 "
                                "AND substr(name,1,6) = '__jet_'")
                     .arg(sqlString(m.name))))
            exec(QStringLiteral("DROP TRIGGER ") + sqlIdent(t));
        exec(QStringLiteral("ALTER TABLE %1 DROP COLUMN %2").arg(sqlIdent(m.name), sqlIdent(field)));
        if (tableExists(schema, kProps))
            exec(QStringLiteral("DELETE FROM %1 WHERE tbl = %2 AND fld = %3")
                     .arg(sqlIdent(kProps), sqlString(m.name), sqlString(field)));
        refreshTriggers(schema, m.name);
        sp.release();
        break;
    }
    case AlterOp::AddPrimaryKey:
        addPrimaryKey(m.name, plan.objectName, plan.pkColumns);
        break;
    case AlterOp::AddUnique: {
        QStringList cols;
        for (const QString& c : plan.pkColumns)
            cols << sqlIdent(c);
        const QString name = plan.objectName.isEmpty() ? m.name + QStringLiteral("_unique") : plan.objectName;
        exec(QStringLiteral("CREATE UNIQUE INDEX %1 ON %2 (%3)")
                 .arg(sqlIdent(name), sqlIdent(m.name), cols.join(QLatin1Char(','))));
        break;
    }
    case AlterOp::DropConstraint:
        if (!m.pkColumns.isEmpty() && m.pkName.compare(plan.objectName, Qt::CaseInsensitive) == 0) {
            m.pkColumns.clear();
            m.pkName.clear();
            rebuild(m);
        } else {
            Plan drop;
            drop.objectName = plan.objectName;
            drop.table = m.name;
            dropIndex(drop);
        }
        break;
    case AlterOp::AlterColumn: {
        const ColumnDef& n = plan.columns.front();
        ColumnDef* c = find(n.name);
        if (!c) throw fieldMissing(m.name, n.name);
        c->type = n.type;
        c->size = n.size;
        c->notNull = n.notNull;
        rebuild(m);
        break;
    }
    }
    clearCaches();
}

void DatabaseCore::createIndex(const Plan& plan) {
    if (!tableExists(QStringLiteral("main"), plan.table)) throw tableMissing(plan.table);
    if (plan.primary) {
        addPrimaryKey(plan.table, plan.objectName, plan.pkColumns);
        return;
    }
    exec(plan.sql);
}

void DatabaseCore::dropIndex(const Plan& plan) {
    if (!plan.table.isEmpty()) {
        TableModel m = model(QStringLiteral("main"), plan.table);
        if (!m.pkColumns.isEmpty() && m.pkName.compare(plan.objectName, Qt::CaseInsensitive) == 0) {
            m.pkColumns.clear();
            m.pkName.clear();
            rebuild(m);
            return;
        }
        if (queryStrings(QStringLiteral(
                             "SELECT name FROM sqlite_master WHERE type='index' AND name = %1 COLLATE NOCASE "
                             "AND tbl_name = %2 COLLATE NOCASE")
                             .arg(sqlString(plan.objectName), sqlString(m.name)))
                .isEmpty())
            throw Error(
                ErrObjectNotFound,
                QStringLiteral("Cannot find the index '%1' on table '%2'.").arg(plan.objectName, m.name));
    }
    exec(QStringLiteral("DROP INDEX ") + sqlIdent(plan.objectName));
    clearCaches();
}

void DatabaseCore::dropTable(const Plan& plan) {
    const auto link = links.find(plan.table.toLower());
    if (link != links.end()) {
        // dropping a linked table removes the link only
        const QString alias = link->first;
        const QString copy = link->second;
        links.erase(link);
        linkNames.remove(plan.table.toLower());
        clearCaches();
        if (alias == QLatin1String("temp"))
            exec(QStringLiteral("DROP TABLE IF EXISTS temp.") + sqlIdent(copy));
        else
            release({alias});
        return;
    }
    if (!tableExists(QStringLiteral("main"), plan.table))
        throw Error(3376, QStringLiteral("Table '%1' does not exist.").arg(plan.table));
    Savepoint sp(*this);
    exec(plan.sql);
    if (tableExists(QStringLiteral("main"), kProps))
        exec(QStringLiteral("DELETE FROM %1 WHERE tbl = %2").arg(sqlIdent(kProps), sqlString(plan.table)));
    sp.release();
    clearCaches();
}

std::vector<FieldDef> DatabaseCore::fields(const QString& table) {
    ensureOpen();
    const auto [schema, real] = resolveTable(table);
    const TableModel m = model(schema, real);
    const QHash<QString, bool> azl = zeroLengthProps(schema, m.name);
    std::vector<FieldDef> out;
    for (const ColumnDef& c : m.columns) {
        FieldDef f;
        f.name = c.name;
        f.type = c.size < 0 ? FieldType::Double : c.type;
        f.size = c.type == FieldType::Text ? c.size : 0;
        f.required = c.notNull;
        f.allowZeroLength = isTextType(c.type) && azl.value(c.name.toLower(), true);
        f.defaultValue = defaultFromSql(c.defaultSql);
        out.push_back(f);
    }
    return out;
}

std::vector<IndexDef> DatabaseCore::indexes(const QString& table) {
    ensureOpen();
    const auto [schema, real] = resolveTable(table);
    const TableModel m = model(schema, real);
    std::vector<IndexDef> out;
    for (const ColumnDef& c : m.columns)
        if (foldedCounter(m, c)) out.push_back({m.pkName, {c.name}, true, true});
    const QString list =
        QStringLiteral("SELECT name, \"unique\", origin FROM pragma_index_list(%1, %2) ORDER BY seq")
            .arg(sqlString(m.name), sqlString(schema));
    std::vector<std::tuple<QString, bool, QString>> rows;
    {
        const StmtPtr owner = prepared(list, false, list);
        sqlite3_stmt* st = owner.get();
        while (step(st, list) == SQLITE_ROW)
            rows.emplace_back(QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0))),
                              sqlite3_column_int(st, 1) != 0,
                              QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 2))));
    }
    for (const auto& [name, unique, origin] : rows) {
        IndexDef idx;
        idx.fields = queryStrings(QStringLiteral("SELECT name FROM pragma_index_info(%1, %2) ORDER BY seqno")
                                      .arg(sqlString(name), sqlString(schema)));
        idx.primary = origin == QLatin1String("pk");
        idx.unique = unique;
        idx.name = idx.primary ? m.pkName : name;
        out.push_back(idx);
    }
    return out;
}

} // namespace detail

// ---- Database schema members ----------------------------------------------------------

void Database::addField(const QString& table, const FieldDef& field) {
    d->ensureOpen();
    const auto [schema, real] = d->resolveTable(table);
    DatabaseCore::TableModel m = d->model(schema, real);
    for (const ColumnDef& c : m.columns)
        if (c.name.compare(field.name, Qt::CaseInsensitive) == 0)
            throw Error(ErrFieldExists,
                        QStringLiteral("Field '%1' already exists in table '%2'.").arg(field.name, m.name));
    ColumnDef c;
    c.name = field.name;
    c.type = field.type;
    c.size = field.type == FieldType::Text ? (field.size > 0 ? std::min(field.size, 255) : 255) : 0;
    c.notNull = field.required;
    c.defaultSql = defaultLiteral(field.type, field.defaultValue);
    Savepoint sp(*d);
    if ((c.notNull && c.defaultSql.isEmpty() && c.type != FieldType::YesNo) || c.type == FieldType::Counter) {
        if (c.type == FieldType::Counter && m.pkColumns.isEmpty()) {
            m.pkName = c.name;
            m.pkColumns = QStringList{c.name};
        }
        m.columns.push_back(c);
        d->rebuild(m);
    } else {
        d->exec(QStringLiteral("ALTER TABLE %1.%2 ADD COLUMN %3")
                    .arg(sqlIdent(schema), sqlIdent(m.name), columnSql(c, false)));
    }
    if (isTextType(c.type)) d->setProp(schema, m.name, c.name, field.allowZeroLength);
    d->refreshTriggers(schema, m.name);
    sp.release();
    d->clearCaches();
}

void Database::setDefaultValue(const QString& table, const QString& field, const QVariant& value) {
    d->ensureOpen();
    const auto [schema, real] = d->resolveTable(table);
    DatabaseCore::TableModel m = d->model(schema, real);
    for (ColumnDef& c : m.columns) {
        if (c.name.compare(field, Qt::CaseInsensitive) != 0) continue;
        const QString literal = defaultLiteral(c.type, value);
        if (literal == c.defaultSql) return;
        c.defaultSql = literal;
        d->rebuild(m);
        return;
    }
    throw fieldMissing(m.name, field);
}

void Database::setAllowZeroLength(const QString& table, const QString& field, bool allow) {
    d->ensureOpen();
    const auto [schema, real] = d->resolveTable(table);
    const DatabaseCore::TableModel m = d->model(schema, real);
    for (const ColumnDef& c : m.columns) {
        if (c.name.compare(field, Qt::CaseInsensitive) != 0) continue;
        if (!isTextType(c.type)) return; // only text fields carry the property
        Savepoint sp(*d);
        d->setProp(schema, m.name, c.name, allow);
        d->refreshTriggers(schema, m.name);
        sp.release();
        return;
    }
    throw fieldMissing(m.name, field);
}

void Database::renameTable(const QString& from, const QString& to) {
    d->ensureOpen();
    const auto link = d->links.find(from.toLower());
    if (link != d->links.end()) {
        const auto target = *link;
        d->links.erase(link);
        d->linkNames.remove(from.toLower());
        d->links.insert(to.toLower(), target);
        d->linkNames.insert(to.toLower(), to);
        d->clearCaches();
        return;
    }
    const QString main = QStringLiteral("main");
    if (!d->tableExists(main, from)) throw tableMissing(from);
    if (from.compare(to, Qt::CaseInsensitive) != 0 &&
        (d->tableExists(main, to) || d->links.contains(to.toLower())))
        throw Error(ErrTableExists, QStringLiteral("Table '%1' already exists.").arg(to));
    Savepoint sp(*d);
    for (const QString& t : d->queryStrings(
             QStringLiteral("SELECT name FROM sqlite_master WHERE type='trigger' AND tbl_name = %1 "
                            "COLLATE NOCASE AND substr(name,1,6) = '__jet_'")
                 .arg(sqlString(from))))
        d->exec(QStringLiteral("DROP TRIGGER ") + sqlIdent(t));
    d->exec(QStringLiteral("ALTER TABLE %1 RENAME TO %2").arg(sqlIdent(from), sqlIdent(to)));
    if (d->tableExists(main, kProps))
        d->exec(QStringLiteral("UPDATE %1 SET tbl = %2 WHERE tbl = %3")
                    .arg(sqlIdent(kProps), sqlString(to), sqlString(from)));
    d->refreshTriggers(main, to);
    sp.release();
    d->clearCaches();
}

void Database::renameField(const QString& table, const QString& from, const QString& to) {
    d->ensureOpen();
    const QString main = QStringLiteral("main");
    if (!d->tableExists(main, table)) throw tableMissing(table);
    const DatabaseCore::TableModel m = d->model(main, table);
    bool found = false;
    for (const ColumnDef& c : m.columns) {
        if (c.name.compare(to, Qt::CaseInsensitive) == 0 && from.compare(to, Qt::CaseInsensitive) != 0)
            throw Error(ErrFieldExists,
                        QStringLiteral("Field '%1' already exists in table '%2'.").arg(to, m.name));
        found = found || c.name.compare(from, Qt::CaseInsensitive) == 0;
    }
    if (!found) throw fieldMissing(m.name, from);
    Savepoint sp(*d);
    for (const QString& t : d->queryStrings(
             QStringLiteral("SELECT name FROM sqlite_master WHERE type='trigger' AND tbl_name = %1 "
                            "COLLATE NOCASE AND substr(name,1,6) = '__jet_'")
                 .arg(sqlString(m.name))))
        d->exec(QStringLiteral("DROP TRIGGER ") + sqlIdent(t));
    d->exec(QStringLiteral("ALTER TABLE %1 RENAME COLUMN %2 TO %3")
                .arg(sqlIdent(m.name), sqlIdent(from), sqlIdent(to)));
    if (d->tableExists(main, kProps))
        d->exec(QStringLiteral("UPDATE %1 SET fld = %2 WHERE tbl = %3 AND fld = %4")
                    .arg(sqlIdent(kProps), sqlString(to), sqlString(m.name), sqlString(from)));
    d->refreshTriggers(main, m.name);
    sp.release();
    d->clearCaches();
}

} // namespace jet
