// Prepared statements with bound values, for the per-recipient work of a mailing.

#include "components/jet/JetInternal.h"

#include <sqlite3.h>

namespace jet {

using namespace detail;

namespace {

// A param(n) literal as the translator writes it: '<SOH>n<SOH>' COLLATE NOCASE.
const QChar kMark = QChar(0x01);

} // namespace

QString param(int n) {
    return u'"' + QString(kMark) + QString::number(n) + QString(kMark) + u'"';
}

namespace detail {

void StatementCore::detach() {
    if (stmt) sqlite3_finalize(stmt);
    stmt = nullptr;
    hasRow = false;
    if (d) d->statements.remove(this);
    d = nullptr;
}

void StatementCore::check() const {
    if (!d || !stmt)
        throw Error(3420, QStringLiteral("Object invalid or no longer set: the database is closed."));
}

} // namespace detail

Statement::Statement() : d(std::make_unique<Impl>()) {}

Statement::~Statement() {
    d->detach();
}

std::unique_ptr<Statement> Database::prepareStatement(const QString& jetSql) {
    d->ensureOpen();
    const auto plan = d->plan(jetSql);
    if (!plan->aliases.isEmpty())
        throw Error(ErrGeneric, QStringLiteral("A prepared statement cannot use another database file."));
    QString sql;
    switch (plan->kind) {
    case Kind::Select:
        sql = plan->sql;
        break;
    case Kind::Insert:
    case Kind::Update:
    case Kind::Delete:
        sql = plan->sql;
        break;
    default:
        throw Error(ErrGeneric, QStringLiteral("This statement cannot be prepared: %1").arg(jetSql));
    }
    // Each param(n) literal becomes the SQLite parameter ?n; the collation after it stays.
    for (int n = 1;; ++n) {
        const QString literal = u'\'' + QString(kMark) + QString::number(n) + QString(kMark) + u'\'';
        if (!sql.contains(literal)) break;
        sql.replace(literal, QStringLiteral("?%1").arg(n));
    }
    auto st = std::unique_ptr<Statement>(new Statement);
    st->d->d = d.get();
    st->d->jetSql = jetSql;
    st->d->action = plan->kind != Kind::Select;
    // Rows that would break a key are skipped, as Database::execute does.
    st->d->stmt = d->prepare(st->d->action && plan->hasVerbOr ? withOrIgnore(sql) : sql, false, jetSql);
    d->statements.insert(st->d.get());
    for (int c = 0; c < sqlite3_column_count(st->d->stmt); ++c) {
        const char* decl = sqlite3_column_decltype(st->d->stmt, c);
        st->d->types.push_back(decl ? typeFromDecl(QString::fromUtf8(decl)).type : FieldType::Text);
    }
    return st;
}

void Statement::bind(int n, const QVariant& value) {
    d->check();
    if (d->hasRow || sqlite3_stmt_busy(d->stmt)) {
        sqlite3_reset(d->stmt);
        d->hasRow = false;
    }
    bindValue(d->stmt, n, value, FieldType::Text);
}

qint64 Statement::execute() {
    d->check();
    if (!d->action) throw Error(3065, QStringLiteral("Cannot execute a select query."));
    sqlite3_reset(d->stmt);
    d->d->step(d->stmt, d->jetSql);
    sqlite3_reset(d->stmt);
    d->d->affected = sqlite3_changes64(d->d->db);
    return d->d->affected;
}

bool Statement::first() {
    d->check();
    sqlite3_reset(d->stmt);
    return next();
}

bool Statement::next() {
    d->check();
    d->hasRow = d->d->step(d->stmt, d->jetSql) == SQLITE_ROW;
    if (!d->hasRow) sqlite3_reset(d->stmt); // no read stays open between runs
    return d->hasRow;
}

int Statement::columnCount() const {
    d->check();
    return sqlite3_column_count(d->stmt);
}

QString Statement::columnName(int index) const {
    d->check();
    return QString::fromUtf8(sqlite3_column_name(d->stmt, index));
}

QVariant Statement::value(int index) const {
    d->check();
    if (!d->hasRow) throw Error(ErrNoCurrentRecord, QStringLiteral("No current record."));
    if (index < 0 || index >= int(d->types.size()))
        throw Error(ErrItemNotInCollection, QStringLiteral("Item not found in this collection."));
    return readColumn(d->stmt, index, d->types[size_t(index)]);
}

} // namespace jet
