// Connection, statement execution, other files and transactions.

#include "components/jet/JetInternal.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <atomic>
#include <cstring>
#include <sqlite3.h>

namespace jet {

using namespace detail;

namespace detail {

namespace {
constexpr int kStatementCacheLimit = 128;
constexpr int kPlanCacheLimit = 512;

QString capture(const QString& msg, const char* pattern) {
    const QRegularExpression re(QString::fromLatin1(pattern));
    const auto m = re.match(msg);
    return m.hasMatch() ? m.captured(1) : QString();
}
} // namespace

void throwSqlite(sqlite3* db, int rc, const QString& context) {
    const QString msg = db ? QString::fromUtf8(sqlite3_errmsg(db)) : QString::fromUtf8(sqlite3_errstr(rc));
    const QString where = context.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(context.left(300));
    if (msg.startsWith(QLatin1String("JET3315:")))
        throw Error(3315, QStringLiteral("Field '%1' cannot be a zero-length string.").arg(msg.mid(8)));
    switch (rc & 0xff) {
    case SQLITE_CONSTRAINT:
        if (msg.contains(QLatin1String("UNIQUE")) || msg.contains(QLatin1String("PRIMARY KEY")))
            throw Error(ErrDuplicateKey,
                        QStringLiteral("The changes you requested to the table were not successful "
                                       "because they would create duplicate values in the index, "
                                       "primary key, or relationship (%1).")
                            .arg(msg.section(QLatin1Char(':'), 1).trimmed()));
        if (msg.contains(QLatin1String("NOT NULL")))
            throw Error(3314,
                        QStringLiteral("The field '%1' cannot contain a Null value because the Required "
                                       "property for this field is set to True.")
                            .arg(msg.section(QLatin1Char(':'), 1).trimmed()));
        throw Error(3317, QStringLiteral("One or more values are prohibited by a rule: %1.").arg(msg));
    case SQLITE_FULL:
        throw Error(ErrDiskFull, QStringLiteral("The disk is full%1.").arg(where));
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        throw Error(ErrLocked,
                    QStringLiteral("Could not update; currently locked by another session%1.").arg(where));
    case SQLITE_READONLY:
        throw Error(ErrReadOnly,
                    QStringLiteral("Cannot update. Database or object is read-only%1.").arg(where));
    case SQLITE_NOTADB:
    case SQLITE_CORRUPT:
        throw Error(ErrNotADatabase, QStringLiteral("Unrecognized database format%1.").arg(where));
    case SQLITE_INTERRUPT:
        throw Error(ErrCanceled, QStringLiteral("Operation canceled by user%1.").arg(where));
    case SQLITE_CANTOPEN:
        throw Error(ErrFileNotFound, QStringLiteral("Could not open the file%1: %2.").arg(where, msg));
    case SQLITE_IOERR:
        throw Error(3043, QStringLiteral("Disk or network error%1: %2.").arg(where, msg));
    default:
        break;
    }
    QString name;
    if (!(name = capture(msg, R"(^no such table: (?:main\.)?(.+)$)")).isEmpty())
        throw Error(ErrTableNotFound,
                    QStringLiteral("The database engine cannot find the input table or query '%1'. "
                                   "Make sure it exists and that its name is spelled correctly.")
                        .arg(name));
    if (!(name = capture(msg, R"(^no such column: (.+)$)")).isEmpty())
        throw Error(
            ErrTooFewParameters,
            QStringLiteral("Too few parameters. Expected 1. Unknown field name: '%1'%2.").arg(name, where));
    if (!(name = capture(msg, R"re(^table "?(.+?)"? already exists$)re")).isEmpty() ||
        !(name = capture(msg, R"(^there is already another table or index with this name: (.+)$)")).isEmpty())
        throw Error(ErrTableExists, QStringLiteral("Table '%1' already exists.").arg(name));
    if (!(name = capture(msg, R"(^duplicate column name: (.+)$)")).isEmpty())
        throw Error(ErrFieldExists, QStringLiteral("Field '%1' already exists in the table.").arg(name));
    if (!(name = capture(msg, R"(^no such index: (.+)$)")).isEmpty())
        throw Error(ErrObjectNotFound, QStringLiteral("Cannot find the index '%1'.").arg(name));
    if (!(name = capture(msg, R"(^index (.+) already exists$)")).isEmpty())
        throw Error(3375, QStringLiteral("Table already has an index named '%1'.").arg(name));
    if (!(name = capture(msg, R"(^no such function: (.+)$)")).isEmpty())
        throw Error(3085, QStringLiteral("Undefined function '%1' in expression.").arg(name));
    if (msg.startsWith(QLatin1String("cannot drop")) || msg.startsWith(QLatin1String("error in")))
        throw Error(3280, QStringLiteral("Cannot delete a field that is part of an index or is needed by the "
                                         "system: %1.")
                              .arg(msg));
    if (msg.contains(QLatin1String("syntax error")) || msg.contains(QLatin1String("incomplete input")) ||
        msg.contains(QLatin1String("wrong number of arguments")) || msg.contains(QLatin1String("ambiguous")))
        throw Error(ErrSyntax, QStringLiteral("Syntax error in query expression: %1%2.").arg(msg, where));
    throw Error(ErrGeneric, msg + where);
}

// ---- DatabaseCore -------------------------------------------------------------------

void DatabaseCore::ensureOpen() const {
    if (!db) throw Error(3420, QStringLiteral("Object invalid or no longer set: the database is closed."));
}

QString DatabaseCore::aliasFor(const QString& file) const {
    const QString abs = QFileInfo(file).absoluteFilePath();
    auto it = fileAlias.constFind(abs);
    if (it != fileAlias.constEnd()) return *it;
    const QString alias = QStringLiteral("jetfile%1").arg(fileAlias.size() + 1);
    fileAlias.insert(abs, alias);
    aliasFile.insert(alias, abs);
    return alias;
}

TranslateContext DatabaseCore::context() const {
    TranslateContext ctx;
    ctx.aliasForFile = [this](const QString& file) { return aliasFor(file); };
    ctx.links = links;
    return ctx;
}

std::shared_ptr<const Plan> DatabaseCore::plan(const QString& jetSql) const {
    auto it = planCache.constFind(jetSql);
    if (it != planCache.constEnd()) return *it;
    auto p = std::make_shared<const Plan>(translateStatement(jetSql, context()));
    if (planCache.size() >= kPlanCacheLimit) planCache.clear();
    planCache.insert(jetSql, p);
    return p;
}

void DatabaseCore::attach(const QStringList& aliases) {
    for (const QString& alias : aliases) {
        if (alias == QLatin1String("temp")) continue; // external tables live in the connection itself
        int& refs = attachRefs[alias];
        if (refs++ > 0) continue;
        const QString file = aliasFile.value(alias);
        if (!QFileInfo(file).isFile()) {
            attachRefs.remove(alias);
            throw Error(ErrFileNotFound, QStringLiteral("Could not find file '%1'.").arg(file));
        }
        const QString sql = QStringLiteral("ATTACH DATABASE ? AS ") + sqlIdent(alias);
        int rc = SQLITE_OK;
        {
            sqlite3_stmt* raw = nullptr;
            rc = sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &raw, nullptr);
            const StmtPtr st(raw);
            if (rc == SQLITE_OK) {
                const QByteArray f = file.toUtf8();
                sqlite3_bind_text(st.get(), 1, f.constData(), int(f.size()), SQLITE_TRANSIENT);
                rc = sqlite3_step(st.get());
            }
        }
        if (rc != SQLITE_DONE && rc != SQLITE_OK) {
            attachRefs.remove(alias);
            throwSqlite(db, rc, file);
        }
        // a file that is not a database shows only on first read
        const QString probe = QStringLiteral("SELECT count(*) FROM %1.sqlite_master").arg(sqlIdent(alias));
        {
            sqlite3_stmt* raw = nullptr;
            rc = sqlite3_prepare_v2(db, probe.toUtf8().constData(), -1, &raw, nullptr);
            const StmtPtr check(raw);
            if (rc == SQLITE_OK) rc = sqlite3_step(check.get());
        }
        if (rc != SQLITE_ROW) {
            release({alias});
            throw Error(ErrNotADatabase, QStringLiteral("Unrecognized database format '%1'.").arg(file));
        }
    }
}

void DatabaseCore::release(const QStringList& aliases) {
    for (const QString& alias : aliases) {
        auto it = attachRefs.find(alias);
        if (it == attachRefs.end() || --*it > 0) continue;
        attachRefs.erase(it);
        if (!db) continue;
        const QByteArray sql = (QStringLiteral("DETACH DATABASE ") + sqlIdent(alias)).toUtf8();
        sqlite3_exec(db, sql.constData(), nullptr, nullptr, nullptr);
    }
}

sqlite3_stmt* DatabaseCore::prepare(const QString& sql, bool cached, const QString& context) {
    ensureOpen();
    if (cached) {
        if (sqlite3_stmt* st = stmtCache.value(sql)) return st;
    }
    sqlite3_stmt* st = nullptr;
    const QByteArray utf8 = sql.toUtf8();
    const char* tail = nullptr;
    const int rc = sqlite3_prepare_v3(db, utf8.constData(), int(utf8.size()),
                                      cached ? SQLITE_PREPARE_PERSISTENT : 0, &st, &tail);
    if (rc != SQLITE_OK) {
        sqlite3_finalize(st);
        throwSqlite(db, rc, context.isEmpty() ? sql : context);
    }
    if (!st) throw Error(ErrSyntax, QStringLiteral("Empty SQL statement."));
    if (tail && QByteArray(tail).trimmed().size() > 0) {
        sqlite3_finalize(st);
        throw Error(3145, QStringLiteral("Characters found after end of SQL statement."));
    }
    if (cached) {
        if (stmtCache.size() >= kStatementCacheLimit) {
            for (sqlite3_stmt* old : std::as_const(stmtCache))
                sqlite3_finalize(old);
            stmtCache.clear();
        }
        stmtCache.insert(sql, st);
    }
    return st;
}

void DatabaseCore::done(sqlite3_stmt* stmt, bool cached) {
    if (cached) {
        sqlite3_reset(stmt);
        sqlite3_clear_bindings(stmt);
    } else {
        sqlite3_finalize(stmt);
    }
}

StmtPtr DatabaseCore::prepared(const QString& sql, bool cached, const QString& context) {
    return StmtPtr(prepare(sql, cached, context), StmtRelease{this, cached});
}

void StmtRelease::operator()(sqlite3_stmt* stmt) const {
    if (d && cached)
        d->done(stmt, true);
    else
        sqlite3_finalize(stmt);
}

namespace {
std::atomic<int> g_busyTimeoutMs{5000};
WriteFault g_writeFault;
} // namespace

int DatabaseCore::step(sqlite3_stmt* stmt, const QString& context) {
    if (g_writeFault && !sqlite3_stmt_readonly(stmt)) {
        if (const int fault = g_writeFault(path)) {
            sqlite3_reset(stmt);
            throwSqlite(nullptr, fault, context);
        }
    }
    const int rc = sqlite3_step(stmt);
    if (rc == SQLITE_ROW || rc == SQLITE_DONE) return rc;
    const int err = sqlite3_extended_errcode(db);
    sqlite3_reset(stmt);
    throwSqlite(db, err ? err : rc, context);
}

void DatabaseCore::exec(const QString& sql, const QString& context) {
    const StmtPtr st = prepared(sql, false, context.isEmpty() ? sql : context);
    while (step(st.get(), context.isEmpty() ? sql : context) == SQLITE_ROW) {
    }
}

QStringList DatabaseCore::queryStrings(const QString& sql) {
    QStringList out;
    const StmtPtr st = prepared(sql, false, sql);
    while (step(st.get(), sql) == SQLITE_ROW) {
        const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(st.get(), 0));
        out << (p ? QString::fromUtf8(p) : QString());
    }
    return out;
}

void DatabaseCore::clearCaches() {
    for (sqlite3_stmt* st : std::as_const(stmtCache))
        sqlite3_finalize(st);
    stmtCache.clear();
    planCache.clear();
}

void DatabaseCore::closeAll() {
    if (!db) return;
    for (RecordsetCore* rs : QSet<RecordsetCore*>(recordsets))
        rs->detach();
    recordsets.clear();
    for (StatementCore* st : QSet<StatementCore*>(statements))
        st->detach();
    statements.clear();
    clearCaches();
    if (txDepth > 0) sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    txDepth = 0;
    for (auto it = attachRefs.begin(); it != attachRefs.end(); ++it) {
        const QByteArray sql = (QStringLiteral("DETACH DATABASE ") + sqlIdent(it.key())).toUtf8();
        sqlite3_exec(db, sql.constData(), nullptr, nullptr, nullptr);
    }
    attachRefs.clear();
    links.clear();
    linkNames.clear();
    sqlite3_close_v2(db);
    db = nullptr;
}

Savepoint::Savepoint(DatabaseCore& d) : m_d(d) {
    m_d.exec(QStringLiteral("SAVEPOINT jet_step"));
}

Savepoint::~Savepoint() {
    if (m_open && m_d.db) {
        sqlite3_exec(m_d.db, "ROLLBACK TO jet_step", nullptr, nullptr, nullptr);
        sqlite3_exec(m_d.db, "RELEASE jet_step", nullptr, nullptr, nullptr);
    }
}

void Savepoint::release() {
    m_d.exec(QStringLiteral("RELEASE jet_step"));
    m_open = false;
}

// ---- execution ----------------------------------------------------------------------

QString withOrIgnore(const QString& sql) {
    // "INSERT INTO ..." / "UPDATE ..." -> "... OR IGNORE ..."
    const int space = int(sql.indexOf(QLatin1Char(' ')));
    return sql.left(space) + QStringLiteral(" OR IGNORE") + sql.mid(space);
}

void DatabaseCore::withAttached(const QStringList& aliases, const std::function<void()>& work) {
    // Other files stay attached only while a statement needs them.
    attach(aliases);
    try {
        work();
    } catch (...) {
        release(aliases);
        throw;
    }
    release(aliases);
}

void DatabaseCore::execute(const Plan& plan, const QString& jetSql, bool failOnError) {
    ensureOpen();
    affected = 0;
    switch (plan.kind) {
    case Kind::Select:
        throw Error(3065, QStringLiteral("Cannot execute a select query."));
    case Kind::Insert:
    case Kind::Update:
    case Kind::Delete: {
        const QString sql = plan.hasVerbOr && !failOnError ? withOrIgnore(plan.sql) : plan.sql;
        const bool cached = plan.aliases.isEmpty();
        withAttached(plan.aliases, [&] {
            const StmtPtr st = prepared(sql, cached, jetSql);
            step(st.get(), jetSql);
            affected = sqlite3_changes64(db);
        });
        return;
    }
    case Kind::InsertByName:
        withAttached(plan.aliases, [&] { insertByName(plan, jetSql, failOnError); });
        return;
    case Kind::SelectInto:
        withAttached(plan.aliases, [&] {
            if (plan.targetSchema.startsWith(QLatin1String("text:")))
                exportText(plan);
            else
                selectInto(plan, jetSql);
        });
        return;
    case Kind::CreateTable:
        createTable(plan);
        break;
    case Kind::CreateIndex:
        createIndex(plan);
        break;
    case Kind::DropTable:
        dropTable(plan);
        break;
    case Kind::DropIndex:
        dropIndex(plan);
        break;
    case Kind::AlterTable:
        alterTable(plan);
        break;
    }
    planCache.clear(); // translations can depend on the schema no more than on links, but be safe
}

void DatabaseCore::insertByName(const Plan& plan, const QString& jetSql, bool failOnError) {
    // Jet appends by column name: pair the names both sides share, leave the rest to defaults.
    QStringList source;
    {
        const StmtPtr st = prepared(plan.selectSql, false, jetSql);
        for (int i = 0; i < sqlite3_column_count(st.get()); ++i)
            source << QString::fromUtf8(sqlite3_column_name(st.get(), i));
    }
    const QStringList target =
        queryStrings(QStringLiteral("SELECT name FROM pragma_table_info(%1, %2)")
                         .arg(sqlString(plan.targetTable), sqlString(plan.targetSchema)));
    if (target.isEmpty())
        throw Error(
            ErrTableNotFound,
            QStringLiteral("The database engine cannot find the output table '%1'.").arg(plan.targetTable));
    QStringList into, from, seen;
    for (const QString& s : std::as_const(source)) {
        if (seen.contains(s, Qt::CaseInsensitive)) continue;
        for (const QString& t : target) {
            if (t.compare(s, Qt::CaseInsensitive) == 0) {
                into << sqlIdent(t);
                from << sqlIdent(s);
                seen << s;
                break;
            }
        }
    }
    if (into.isEmpty()) return;
    const QString table = plan.targetSchema == QLatin1String("main")
                              ? sqlIdent(plan.targetTable)
                              : sqlIdent(plan.targetSchema) + QLatin1Char('.') + sqlIdent(plan.targetTable);
    const QString sql = QStringLiteral("INSERT %1INTO %2 (%3) SELECT %4 FROM (%5)")
                            .arg(failOnError ? QString() : QStringLiteral("OR IGNORE "), table,
                                 into.join(QLatin1Char(',')), from.join(QLatin1Char(',')), plan.selectSql);
    const StmtPtr ins = prepared(sql, false, jetSql);
    step(ins.get(), jetSql);
    affected = sqlite3_changes64(db);
}

} // namespace detail

// ---- Database -----------------------------------------------------------------------

namespace {
void configure(sqlite3* db, bool readOnly, bool scratch = false) {
    sqlite3_busy_timeout(db, busyTimeout());
    sqlite3_extended_result_codes(db, 1);
    if (scratch) {
        sqlite3_exec(db, "PRAGMA journal_mode=OFF", nullptr, nullptr, nullptr);
        sqlite3_exec(db, "PRAGMA synchronous=OFF", nullptr, nullptr, nullptr);
    } else if (!readOnly) {
        // WAL with NORMAL sync: a committed row survives a killed process
        sqlite3_exec(db, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr);
        sqlite3_exec(db, "PRAGMA synchronous=NORMAL", nullptr, nullptr, nullptr);
    }
    sqlite3_exec(db, "PRAGMA foreign_keys=OFF", nullptr, nullptr, nullptr);
    registerFunctions(db);
}
} // namespace

void setBusyTimeout(int milliseconds) {
    detail::g_busyTimeoutMs = std::max(0, milliseconds);
}

int busyTimeout() {
    return detail::g_busyTimeoutMs;
}

void setWriteFaultForTesting(WriteFault fault) {
    detail::g_writeFault = std::move(fault);
}

Database::Database() : d(std::make_unique<Impl>()) {}

Database::~Database() {
    close();
}

std::unique_ptr<Database> Database::create(const QString& path, Durability durability) {
    if (QFileInfo::exists(path)) throw Error(3204, QStringLiteral("Database '%1' already exists.").arg(path));
    sqlite3* db = nullptr;
    const int rc =
        sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_close_v2(db);
        throw Error(3044, QStringLiteral("'%1' is not a valid path.").arg(path));
    }
    std::unique_ptr<Database> out(new Database());
    out->d->db = db;
    out->d->path = path;
    configure(db, false, durability == Durability::Scratch);
    // mark the file ('Jet1') so it is a database from its first byte on
    out->d->exec(QStringLiteral("PRAGMA application_id = 1245795377"));
    return out;
}

std::unique_ptr<Database> Database::open(const QString& path, OpenMode mode) {
    const QFileInfo fi(path);
    if (!fi.exists()) throw Error(ErrFileNotFound, QStringLiteral("Could not find file '%1'.").arg(path));
    if (!fi.isFile() || fi.size() == 0)
        throw Error(ErrNotADatabase, QStringLiteral("Unrecognized database format '%1'.").arg(path));
    const bool ro = mode == OpenMode::ReadOnly;
    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(path.toUtf8().constData(), &db,
                             ro ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE, nullptr);
    // The first read already waits for a lock like every later statement.
    if (rc == SQLITE_OK) sqlite3_busy_timeout(db, busyTimeout());
    if (rc == SQLITE_OK)
        rc = sqlite3_exec(db, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) {
        const int code = sqlite3_extended_errcode(db) & 0xff;
        const QString msg = QString::fromUtf8(sqlite3_errmsg(db));
        sqlite3_close_v2(db);
        if (code == SQLITE_NOTADB || code == SQLITE_CORRUPT)
            throw Error(ErrNotADatabase, QStringLiteral("Unrecognized database format '%1'.").arg(path));
        if (code == SQLITE_BUSY || code == SQLITE_LOCKED)
            throw Error(ErrLocked, QStringLiteral("The file '%1' is locked by another session.").arg(path));
        throw Error(3051, QStringLiteral("Cannot open the file '%1': %2.").arg(path, msg));
    }
    std::unique_ptr<Database> out(new Database());
    out->d->db = db;
    out->d->path = path;
    out->d->readOnly = ro;
    configure(db, ro);
    return out;
}

QString Database::path() const {
    return d->path;
}

void Database::execute(const QString& jetSql, bool failOnError) {
    d->ensureOpen();
    const auto plan = d->plan(jetSql);
    d->execute(*plan, jetSql, failOnError);
}

qint64 Database::recordsAffected() const {
    return d->affected;
}

QStringList Database::tableNames() const {
    d->ensureOpen();
    QStringList names = d->queryStrings(
        QStringLiteral("SELECT name FROM sqlite_master WHERE type='table' AND substr(name,1,7) <> 'sqlite_' "
                       "AND substr(name,1,5) <> '__jet' ORDER BY name"));
    for (const QString& link : std::as_const(d->linkNames))
        if (!names.contains(link, Qt::CaseInsensitive)) names << link;
    return names;
}

bool Database::hasTable(const QString& table) const {
    d->ensureOpen();
    if (d->links.contains(table.toLower())) return true;
    return d->tableExists(QStringLiteral("main"), table);
}

std::vector<FieldDef> Database::fields(const QString& table) const {
    return d->fields(table);
}

bool Database::hasField(const QString& table, const QString& field) const {
    if (!hasTable(table)) return false;
    for (const FieldDef& f : d->fields(table))
        if (f.name.compare(field, Qt::CaseInsensitive) == 0) return true;
    return false;
}

std::vector<IndexDef> Database::indexes(const QString& table) const {
    return d->indexes(table);
}

void Database::linkTable(const QString& localName, const QString& file, const QString& remoteTable) {
    d->ensureOpen();
    if (d->txDepth > 0) throw Error(ErrGeneric, QStringLiteral("Cannot link a table inside a transaction."));
    if (!QFileInfo(file).isFile())
        throw Error(ErrFileNotFound, QStringLiteral("Could not find file '%1'.").arg(file));
    unlinkTable(localName);
    const QString alias = d->aliasFor(file);
    d->attach({alias});
    if (!d->tableExists(alias, remoteTable)) {
        d->release({alias});
        throw Error(ErrTableNotFound,
                    QStringLiteral("The database engine cannot find the input table '%1' in '%2'.")
                        .arg(remoteTable, file));
    }
    d->links.insert(localName.toLower(), qMakePair(alias, remoteTable));
    d->linkNames.insert(localName.toLower(), localName);
    d->clearCaches();
}

void Database::unlinkTable(const QString& localName) {
    const auto it = d->links.find(localName.toLower());
    if (it == d->links.end()) return;
    const QString alias = it->first;
    const QString copy = it->second;
    d->links.erase(it);
    d->linkNames.remove(localName.toLower());
    d->clearCaches();
    if (alias == QLatin1String("temp"))
        d->exec(QStringLiteral("DROP TABLE IF EXISTS temp.") + sqlIdent(copy));
    else
        d->release({alias});
}

namespace {
// The outermost BEGIN and COMMIT stay prepared: a sender commits once per message.
void execKept(detail::DatabaseCore& core, const QString& sql) {
    const detail::StmtPtr st = core.prepared(sql, true, sql);
    core.step(st.get(), sql);
}
} // namespace

void Database::beginTransaction() {
    d->ensureOpen();
    if (d->txDepth == 0)
        execKept(*d, QStringLiteral("BEGIN IMMEDIATE"));
    else
        d->exec(QStringLiteral("SAVEPOINT jet_tx%1").arg(d->txDepth));
    ++d->txDepth;
}

void Database::commit() {
    d->ensureOpen();
    if (d->txDepth == 0)
        throw Error(
            3034,
            QStringLiteral(
                "You tried to commit or rollback a transaction without first beginning a transaction."));
    --d->txDepth;
    if (d->txDepth == 0)
        execKept(*d, QStringLiteral("COMMIT"));
    else
        d->exec(QStringLiteral("RELEASE jet_tx%1").arg(d->txDepth));
}

void Database::rollback() {
    d->ensureOpen();
    if (d->txDepth == 0)
        throw Error(
            3034,
            QStringLiteral(
                "You tried to commit or rollback a transaction without first beginning a transaction."));
    --d->txDepth;
    if (d->txDepth == 0) {
        d->exec(QStringLiteral("ROLLBACK"));
    } else {
        d->exec(QStringLiteral("ROLLBACK TO jet_tx%1").arg(d->txDepth));
        d->exec(QStringLiteral("RELEASE jet_tx%1").arg(d->txDepth));
    }
    d->clearCaches();
}

void Database::close() {
    d->closeAll();
}

bool Database::isOpen() const {
    return d->db != nullptr;
}

QString Database::translate(const QString& jetSql) const {
    d->ensureOpen();
    return d->plan(jetSql)->sql;
}

void Database::setProgressHandler(std::function<bool()> keepGoing) {
    d->ensureOpen();
    d->keepGoing = std::move(keepGoing);
    if (!d->keepGoing) {
        sqlite3_progress_handler(d->db, 0, nullptr, nullptr);
        return;
    }
    sqlite3_progress_handler(
        d->db, 10000,
        [](void* core) -> int {
            const auto* c = static_cast<const DatabaseCore*>(core);
            return c->keepGoing && !c->keepGoing() ? 1 : 0;
        },
        d.get());
}

QVector<qint64> Database::readRowIds(const QString& jetSql) {
    const QByteArray text = translate(jetSql).toUtf8();
    sqlite3_stmt* raw = nullptr;
    const char* tail = nullptr;
    if (sqlite3_prepare_v2(d->db, text.constData(), int(text.size()), &raw, &tail) != SQLITE_OK || !raw) {
        const QString why = QString::fromUtf8(sqlite3_errmsg(d->db));
        sqlite3_finalize(raw);
        throw Error(ErrSyntax, why);
    }
    const StmtPtr stmt(raw);
    if (!QByteArray(tail).trimmed().isEmpty() || !sqlite3_stmt_readonly(raw))
        throw Error(ErrFilterNotReadOnly,
                    QStringLiteral("A record selection must be one statement that only reads."));
    QVector<qint64> ids;
    int rc;
    while ((rc = sqlite3_step(raw)) == SQLITE_ROW)
        ids.push_back(sqlite3_column_int64(raw, 0));
    if (rc != SQLITE_DONE) throw Error(ErrGeneric, QString::fromUtf8(sqlite3_errmsg(d->db)));
    return ids;
}

qint64 Database::lastInsertRowId() const {
    return sqlite3_last_insert_rowid(d->db);
}

sqlite3* Database::handle() const {
    return d->db;
}

bool removeDatabase(const QString& path) {
    QFile::remove(path + QStringLiteral("-wal"));
    QFile::remove(path + QStringLiteral("-shm"));
    if (!QFile::exists(path)) return true;
    QFile::setPermissions(path, QFile::permissions(path) | QFile::WriteOwner | QFile::ReadOwner);
    return QFile::remove(path);
}

void Database::copyTo(const QString& target) {
    // VACUUM INTO writes a consistent snapshot, committed rows still in the WAL included,
    // which a plain file copy of a database in use would miss.
    const StmtPtr st = d->prepared(QStringLiteral("VACUUM INTO ?"), false, target);
    const QByteArray path = target.toUtf8();
    sqlite3_bind_text(st.get(), 1, path.constData(), int(path.size()), SQLITE_TRANSIENT);
    d->step(st.get(), target);
}

} // namespace jet
