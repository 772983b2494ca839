// DAO-like recordsets over a forward-stepping SQLite statement.

#include "components/jet/JetInternal.h"

#include <QRegularExpression>
#include <sqlite3.h>

namespace jet {

using namespace detail;

namespace {

Error noCurrent() {
    return Error(ErrNoCurrentRecord, QStringLiteral("No current record."));
}

void requireWritable(const RecordsetCore& r) {
    r.check();
    if (!r.updatable)
        throw Error(ErrReadOnly, QStringLiteral("Cannot update. Database or object is read-only."));
}

void requireCurrentRow(const RecordsetCore& r) {
    if (r.eof || r.bof || r.pos < 0 || r.deleted) throw noCurrent();
}

} // namespace

QVariant detail::readColumn(sqlite3_stmt* st, int col, FieldType type) {
    switch (sqlite3_column_type(st, col)) {
    case SQLITE_NULL:
        return {};
    case SQLITE_INTEGER: {
        const qint64 v = sqlite3_column_int64(st, col);
        if (type == FieldType::Double) return double(v);
        if (v >= INT_MIN && v <= INT_MAX) return int(v);
        return qlonglong(v);
    }
    case SQLITE_FLOAT:
        return sqlite3_column_double(st, col);
    case SQLITE_BLOB: {
        const auto* p = static_cast<const char*>(sqlite3_column_blob(st, col));
        return QByteArray(p, sqlite3_column_bytes(st, col));
    }
    default: {
        const auto* p = reinterpret_cast<const char16_t*>(sqlite3_column_text16(st, col));
        const QString s = QString::fromUtf16(p, sqlite3_column_bytes16(st, col) / 2);
        if (type == FieldType::DateTime) {
            QDateTime dt = QDateTime::fromString(s, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
            if (!dt.isValid())
                if (auto parsed = parseJetDate(s)) dt = *parsed;
            if (dt.isValid()) return dt;
        }
        return s;
    }
    }
}

void detail::bindValue(sqlite3_stmt* st, int idx, const QVariant& v, FieldType type) {
    if (!v.isValid() || v.isNull()) {
        sqlite3_bind_null(st, idx);
        return;
    }
    auto bindText = [&](const QString& s) {
        sqlite3_bind_text16(st, idx, s.utf16(), int(s.size() * 2), SQLITE_TRANSIENT);
    };
    const int id = v.typeId();
    if (type == FieldType::YesNo) {
        bool on = v.toBool();
        if (id == QMetaType::QString) {
            const QString l = v.toString().trimmed().toLower();
            on = !(l.isEmpty() || l == QLatin1String("false") || l == QLatin1String("no") ||
                   l == QLatin1String("0"));
        }
        sqlite3_bind_int(st, idx, on ? True : False);
        return;
    }
    if (id == QMetaType::QDateTime) {
        bindText(isoDateTime(v.toDateTime()));
        return;
    }
    if (id == QMetaType::QDate) {
        bindText(isoDateTime(QDateTime(v.toDate(), QTime(0, 0))));
        return;
    }
    if (id == QMetaType::Bool) {
        sqlite3_bind_int(st, idx, v.toBool() ? True : False);
        return;
    }
    if (id == QMetaType::QByteArray) {
        const QByteArray b = v.toByteArray();
        sqlite3_bind_blob(st, idx, b.constData(), int(b.size()), SQLITE_TRANSIENT);
        return;
    }
    if (id == QMetaType::Double || id == QMetaType::Float) {
        sqlite3_bind_double(st, idx, v.toDouble());
        return;
    }
    if (id == QMetaType::Int || id == QMetaType::LongLong || id == QMetaType::UInt ||
        id == QMetaType::ULongLong || id == QMetaType::Long || id == QMetaType::Short ||
        id == QMetaType::UShort) {
        sqlite3_bind_int64(st, idx, v.toLongLong());
        return;
    }
    const QString s = v.toString();
    if (type == FieldType::DateTime) {
        if (s.trimmed().isEmpty()) {
            sqlite3_bind_null(st, idx);
            return;
        }
        if (auto dt = parseJetDate(s)) {
            bindText(isoDateTime(*dt));
            return;
        }
    } else if (!isTextType(type) && type != FieldType::Binary && s.trimmed().isEmpty()) {
        sqlite3_bind_null(st, idx); // Jet stores an empty number as Null
        return;
    }
    bindText(s);
}

namespace detail {

void RecordsetCore::detach() {
    if (stmt) sqlite3_finalize(stmt);
    stmt = nullptr;
    if (d) {
        d->recordsets.remove(this);
        d->release(aliases);
    }
    d = nullptr;
}

void RecordsetCore::check() const {
    if (!d) throw Error(3420, QStringLiteral("Object invalid or no longer set: the recordset is closed."));
}

void RecordsetCore::describe() {
    const int n = sqlite3_column_count(stmt) - offset();
    QHash<QString, QString> createSqlByTable;
    for (int i = 0; i < n; ++i) {
        const int c = i + offset();
        const QString name = QString::fromUtf8(sqlite3_column_name(stmt, c));
        names << name;
        const char* decl = sqlite3_column_decltype(stmt, c);
        TypeInfo t{FieldType::Text, 255};
        if (decl) {
            const QString ds = QString::fromUtf8(decl);
            t = typeFromDecl(ds);
            if (ds.compare(QLatin1String("INTEGER"), Qt::CaseInsensitive) == 0 &&
                sqlite3_column_table_name(stmt, c)) {
                // INTEGER PRIMARY KEY AUTOINCREMENT is how a counter is kept
                const QString db = QString::fromUtf8(sqlite3_column_database_name(stmt, c));
                const QString tbl = QString::fromUtf8(sqlite3_column_table_name(stmt, c));
                const QString key = db + QLatin1Char('.') + tbl;
                if (!createSqlByTable.contains(key))
                    createSqlByTable.insert(
                        key, d->queryStrings(QStringLiteral("SELECT sql FROM %1.sqlite_master WHERE name=%2")
                                                 .arg(sqlIdent(db), sqlString(tbl)))
                                 .value(0));
                const QString origin = QString::fromUtf8(sqlite3_column_origin_name(stmt, c));
                const QRegularExpression re(QRegularExpression::escape(sqlIdent(origin)) +
                                                QStringLiteral(R"(\s+INTEGER[^,]*AUTOINCREMENT)"),
                                            QRegularExpression::CaseInsensitiveOption);
                if (re.match(createSqlByTable.value(key)).hasMatch()) t.type = FieldType::Counter;
            }
        }
        types.push_back(t.type);
        QString origin;
        if (editable && sqlite3_column_table_name(stmt, c) &&
            QString::fromUtf8(sqlite3_column_table_name(stmt, c)).compare(table, Qt::CaseInsensitive) == 0 &&
            QString::fromUtf8(sqlite3_column_database_name(stmt, c)).compare(schema, Qt::CaseInsensitive) ==
                0)
            origin = QString::fromUtf8(sqlite3_column_origin_name(stmt, c));
        origins << origin;
        if (!origin.isEmpty()) updatable = true;
        if (!byName.contains(name.toLower())) byName.insert(name.toLower(), i);
        if (const char* tn = sqlite3_column_table_name(stmt, c)) {
            const QString qualified = (QString::fromUtf8(tn) + QLatin1Char('.') + name).toLower();
            if (!byName.contains(qualified)) byName.insert(qualified, i);
        }
    }
}

void RecordsetCore::restart(bool withMatch) {
    if (stmt) sqlite3_finalize(stmt);
    stmt = nullptr;
    const QString text =
        withMatch ? QStringLiteral("SELECT *, (%1) AS \"__jet_match\" FROM (%2) AS %3")
                        .arg(matchSql, sql, sqlIdent(alias.isEmpty() ? QStringLiteral("__jet_q") : alias))
                  : sql;
    stmt = d->prepare(text, false, text);
    stmtHasMatch = withMatch;
    stmtPos = -1;
    stmtDone = false;
}

bool RecordsetCore::rawStep() {
    if (stmtDone) return false;
    if (d->step(stmt, sql) == SQLITE_ROW) {
        ++stmtPos;
        return true;
    }
    stmtDone = true;
    const qint64 total = stmtPos + 1;
    countExact = true;
    reached = total;
    return false;
}

void RecordsetCore::load() {
    values.resize(size_t(names.size()));
    for (int i = 0; i < names.size(); ++i)
        values[size_t(i)] = readColumn(stmt, i + offset(), types[size_t(i)]);
    rowid = editable ? sqlite3_column_int64(stmt, 0) : 0;
    pos = stmtPos;
    reached = std::max(reached, pos + 1);
    eof = bof = false;
    deleted = false;
}

void RecordsetCore::reposition() {
    // bring the statement back to the current row (after a find that failed, or an edit)
    if (stmtPos == pos && !stmtDone) return;
    restart(stmtHasMatch);
    while (stmtPos < pos && rawStep()) {
    }
}

bool RecordsetCore::fetchByRowid(qint64 id) {
    const QString text = QStringLiteral("SELECT * FROM (%1) WHERE \"__jet_rowid\" = ?").arg(sql);
    const StmtPtr st = d->prepared(text, true, text);
    sqlite3_bind_int64(st.get(), 1, id);
    if (d->step(st.get(), text) != SQLITE_ROW) return false;
    for (int i = 0; i < names.size(); ++i)
        values[size_t(i)] = readColumn(st.get(), i + 1, types[size_t(i)]);
    rowid = id;
    return true;
}

int RecordsetCore::fieldIndex(const QString& name) const {
    const auto it = byName.constFind(name.toLower());
    if (it == byName.constEnd())
        throw Error(ErrItemNotInCollection,
                    QStringLiteral("Item not found in this collection: field '%1'.").arg(name));
    return *it;
}

} // namespace detail

// ---- opening --------------------------------------------------------------------------

std::unique_ptr<Recordset> Database::openRecordset(const QString& jetSqlOrTable) {
    d->ensureOpen();
    QString sql = jetSqlOrTable;
    const Tokens t = tokenize(jetSqlOrTable);
    if (t.size() == 1 && t[0].isName()) sql = QStringLiteral("SELECT * FROM ") + bracket(t[0].text);
    const auto plan = d->plan(sql);
    if (plan->kind != Kind::Select)
        throw Error(
            3219, QStringLiteral("Invalid operation: a recordset needs a SELECT statement or a table name."));
    std::unique_ptr<Recordset> rs(new Recordset());
    RecordsetCore& r = *rs->d;
    r.aliases = plan->aliases;
    d->attach(r.aliases);
    r.d = d.get();
    d->recordsets.insert(&r);
    r.editable = !plan->rowidSql.isEmpty();
    r.sql = r.editable ? plan->rowidSql : plan->sql;
    if (r.editable) {
        r.schema = plan->baseSchema;
        r.table = plan->baseTable;
        r.alias = plan->baseAlias;
        r.tableSql = plan->baseSchema == QLatin1String("main")
                         ? sqlIdent(plan->baseTable)
                         : sqlIdent(plan->baseSchema) + QLatin1Char('.') + sqlIdent(plan->baseTable);
        try {
            r.restart(false);
        } catch (const Error&) {
            // a view or a table without rowid: read-only
            r.editable = false;
            r.sql = plan->sql;
        }
    }
    if (!r.stmt) r.restart(false);
    r.describe();
    rs->moveFirst();
    return rs;
}

std::unique_ptr<Recordset> Database::openReadOnlyQuery(const QString& jetSql) {
    d->ensureOpen();
    std::shared_ptr<const Plan> plan;
    try {
        plan = d->plan(jetSql);
    } catch (const Error& e) {
        if (e.number() == 3145)
            throw Error(ErrFilterNotReadOnly,
                        QStringLiteral("Only a single read-only SELECT statement is allowed."));
        throw;
    }
    if (plan->kind != Kind::Select)
        throw Error(ErrFilterNotReadOnly,
                    QStringLiteral("Only a single read-only SELECT statement is allowed."));
    std::unique_ptr<Recordset> rs(new Recordset());
    RecordsetCore& r = *rs->d;
    r.aliases = plan->aliases;
    d->attach(r.aliases);
    r.d = d.get();
    d->recordsets.insert(&r);
    r.sql = plan->sql;
    try {
        r.restart(false);
    } catch (const Error& e) {
        if (e.number() == 3145)
            throw Error(ErrFilterNotReadOnly,
                        QStringLiteral("Only a single read-only SELECT statement is allowed."));
        throw;
    }
    if (!sqlite3_stmt_readonly(r.stmt))
        throw Error(ErrFilterNotReadOnly,
                    QStringLiteral("Only a single read-only SELECT statement is allowed."));
    r.describe();
    rs->moveFirst();
    return rs;
}

// ---- Recordset ----------------------------------------------------------------------

Recordset::Recordset() : d(std::make_unique<Impl>()) {}

Recordset::~Recordset() {
    close();
}

void Recordset::close() {
    d->detach();
}

bool Recordset::eof() const {
    return d->eof;
}
bool Recordset::bof() const {
    return d->bof;
}

void Recordset::moveFirst() {
    d->check();
    d->restart(false);
    if (d->rawStep()) {
        d->load();
    } else {
        d->eof = d->bof = true;
        d->pos = -1;
    }
}

void Recordset::moveNext() {
    d->check();
    if (d->eof) throw noCurrent();
    d->reposition();
    if (d->rawStep()) {
        d->load();
    } else {
        d->eof = true;
        d->pos = d->stmtPos + 1;
    }
}

void Recordset::moveLast() {
    d->check();
    if (d->countExact && !d->eof && d->pos == d->reached - 1) return;
    if (d->stmtDone || d->stmtPos != d->pos) d->restart(d->stmtHasMatch);
    // walk to the end without converting rows; remember only the last rowid
    qint64 lastRowid = d->rowid;
    bool any = d->stmtPos >= 0;
    while (d->rawStep()) {
        any = true;
        if (d->editable) lastRowid = sqlite3_column_int64(d->stmt, 0);
    }
    const qint64 total = d->stmtPos + 1;
    if (!any || total == 0) {
        d->eof = d->bof = true;
        d->pos = -1;
        return;
    }
    d->pos = total - 1;
    d->eof = d->bof = false;
    if (d->editable && d->fetchByRowid(lastRowid)) return;
    // calculated rows: read the last one again
    d->restart(d->stmtHasMatch);
    while (d->stmtPos < total - 1 && d->rawStep()) {
    }
    d->load();
}

qint64 Recordset::recordCount() const {
    return d->reached;
}

void Recordset::findFirst(const QString& criterion) {
    d->check();
    const QString t = d->d->plan(QStringLiteral("SELECT 1 WHERE ") + criterion)->sql;
    d->matchSql = t.mid(QStringLiteral("SELECT 1 WHERE ").size());
    const qint64 current = d->pos;
    const int matchCol = int(d->names.size()) + d->offset();
    d->restart(true);
    while (d->rawStep()) {
        if (sqlite3_column_int64(d->stmt, matchCol) != 0) {
            d->load();
            d->noMatch = false;
            return;
        }
    }
    d->noMatch = true;
    d->pos = current;
    d->stmtPos = -2; // out of step: the next move finds its row again
}

void Recordset::findNext(const QString& criterion) {
    d->check();
    const QString t = d->d->plan(QStringLiteral("SELECT 1 WHERE ") + criterion)->sql;
    const QString matchSql = t.mid(QStringLiteral("SELECT 1 WHERE ").size());
    if (d->pos < 0) return findFirst(criterion);
    if (!d->stmtHasMatch || matchSql != d->matchSql || d->stmtPos != d->pos || d->stmtDone) {
        d->matchSql = matchSql;
        d->restart(true);
        while (d->stmtPos < d->pos && d->rawStep()) {
        }
    }
    const qint64 current = d->pos;
    const int matchCol = int(d->names.size()) + d->offset();
    while (d->rawStep()) {
        if (sqlite3_column_int64(d->stmt, matchCol) != 0) {
            d->load();
            d->noMatch = false;
            return;
        }
    }
    d->noMatch = true;
    d->pos = current;
    d->stmtPos = -2;
}

bool Recordset::noMatch() const {
    return d->noMatch;
}

int Recordset::fieldCount() const {
    return int(d->names.size());
}

QString Recordset::fieldName(int index) const {
    if (index < 0 || index >= d->names.size())
        throw Error(ErrItemNotInCollection,
                    QStringLiteral("Item not found in this collection: field %1.").arg(index));
    return d->names[index];
}

FieldType Recordset::fieldType(int index) const {
    fieldName(index);
    return d->types[size_t(index)];
}

bool Recordset::hasField(const QString& name) const {
    return d->byName.contains(name.toLower());
}

QVariant Recordset::value(const QString& name) const {
    return value(d->fieldIndex(name));
}

QVariant Recordset::value(int index) const {
    fieldName(index);
    if (d->mode != RecordsetCore::Mode::None && d->pending.contains(index)) return d->pending.value(index);
    if (d->mode == RecordsetCore::Mode::Add) return {};
    if (d->eof || d->bof || d->pos < 0) throw noCurrent();
    if (d->deleted) throw Error(3167, QStringLiteral("Record is deleted."));
    return d->values[size_t(index)];
}

void Recordset::addNew() {
    requireWritable(*d);
    d->mode = RecordsetCore::Mode::Add;
    d->pending.clear();
}

void Recordset::edit() {
    requireWritable(*d);
    requireCurrentRow(*d);
    d->mode = RecordsetCore::Mode::Edit;
    d->pending.clear();
}

void Recordset::setValue(const QString& name, const QVariant& value) {
    d->check();
    const int i = d->fieldIndex(name);
    if (d->mode == RecordsetCore::Mode::None)
        throw Error(ErrUpdateWithoutEdit, QStringLiteral("Update or CancelUpdate without AddNew or Edit."));
    if (d->origins[i].isEmpty()) throw Error(3164, QStringLiteral("Field '%1' cannot be updated.").arg(name));
    d->pending.insert(i, value);
}

void Recordset::update() {
    d->check();
    if (d->mode == RecordsetCore::Mode::None)
        throw Error(ErrUpdateWithoutEdit, QStringLiteral("Update or CancelUpdate without AddNew or Edit."));
    QList<int> cols = d->pending.keys();
    std::sort(cols.begin(), cols.end());
    QString sql;
    if (d->mode == RecordsetCore::Mode::Add) {
        QStringList names, marks;
        for (int c : std::as_const(cols)) {
            names << sqlIdent(d->origins[c]);
            marks << QStringLiteral("?");
        }
        sql = names.isEmpty()
                  ? QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(d->tableSql)
                  : QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                        .arg(d->tableSql, names.join(QLatin1Char(',')), marks.join(QLatin1Char(',')));
    } else {
        if (cols.isEmpty()) {
            d->mode = RecordsetCore::Mode::None;
            return;
        }
        QStringList sets;
        for (int c : std::as_const(cols))
            sets << sqlIdent(d->origins[c]) + QStringLiteral(" = ?");
        sql =
            QStringLiteral("UPDATE %1 SET %2 WHERE rowid = ?").arg(d->tableSql, sets.join(QLatin1Char(',')));
    }
    {
        const StmtPtr st = d->d->prepared(sql, true, sql);
        int idx = 1;
        for (int c : std::as_const(cols))
            bindValue(st.get(), idx++, d->pending.value(c), d->types[size_t(c)]);
        if (d->mode == RecordsetCore::Mode::Edit) sqlite3_bind_int64(st.get(), idx, d->rowid);
        d->d->step(st.get(), d->table);
    }
    if (d->mode == RecordsetCore::Mode::Add) {
        ++d->reached; // DAO counts an added row at once
    } else {
        d->fetchByRowid(d->rowid);
    }
    d->mode = RecordsetCore::Mode::None;
    d->pending.clear();
}

void Recordset::cancelUpdate() {
    d->mode = RecordsetCore::Mode::None;
    d->pending.clear();
}

void Recordset::deleteCurrent() {
    requireWritable(*d);
    requireCurrentRow(*d);
    const QString sql = QStringLiteral("DELETE FROM %1 WHERE rowid = ?").arg(d->tableSql);
    {
        const StmtPtr st = d->d->prepared(sql, true, sql);
        sqlite3_bind_int64(st.get(), 1, d->rowid);
        d->d->step(st.get(), d->table);
    }
    d->deleted = true;
    if (d->countExact && d->reached > 0) --d->reached;
}

} // namespace jet
