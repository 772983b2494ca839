#pragma once
// Internals shared by the translator, the database and the recordset code.

#include "components/jet/Jet.h"

#include <QDateTime>
#include <QHash>
#include <QSet>
#include <functional>
#include <memory>
#include <optional>

class QFile;
struct sqlite3_stmt;

namespace jet::detail {

// ---- lexing -------------------------------------------------------------------------

enum class Tok { Word, Ident, String, Number, Date, Punct };

struct Token {
    Tok type;
    QString text; // Word/Number/Punct: as written; Ident/String/Date: unescaped content
    bool is(const char* word) const {
        return type == Tok::Word && text.compare(QLatin1String(word), Qt::CaseInsensitive) == 0;
    }
    bool isPunct(const char* p) const { return type == Tok::Punct && text == QLatin1String(p); }
    bool isName() const { return type == Tok::Word || type == Tok::Ident; }
};

using Tokens = std::vector<Token>;

// Splits Jet SQL into tokens; a trailing ";" is dropped, anything after it is an error.
Tokens tokenize(const QString& sql);

QString sqlIdent(const QString& name);  // "name" for SQLite
QString sqlString(const QString& text); // 'text' for SQLite
QString isoDateTime(const QDateTime& dt);
// Text in the Windows-1252 code page; characters it lacks become "?".
QByteArray toWindows1252(QStringView text);
std::optional<QDateTime> parseJetDate(const QString& text);

// ---- column types -------------------------------------------------------------------

// How a Jet type is declared in SQLite. The declared type keeps the Jet name so fields()
// can report it, and carries a word that gives SQLite the right affinity:
//   TEXT(n) -> "TEXT(n)"      MEMO  -> "MEMO_TEXT" (TEXT affinity, "00123" stays text)
//   YESNO   -> "YESNO"        LONG  -> "LONG"       INTEGER -> "INTEGER"
//   DATETIME-> "DATETIME"     DOUBLE-> "DOUBLE"     COUNTER -> INTEGER PRIMARY KEY AUTOINCREMENT
// Text columns always get COLLATE NOCASE.
struct ColumnDef {
    QString name;
    FieldType type = FieldType::Text;
    int size = 255;
    bool notNull = false;
    QString defaultSql; // SQLite literal, empty when none
};

struct TypeInfo {
    FieldType type;
    int size;
};
// Parses a Jet type name (with optional size) as written in DDL; nullopt when unknown.
std::optional<TypeInfo> jetType(const QString& word, int size);
// Maps a declared SQLite type back to a Jet type.
TypeInfo typeFromDecl(const QString& decl);
QString declFor(FieldType type, int size);
bool isTextType(FieldType t);
QString defaultLiteral(FieldType type, const QVariant& value);
QVariant defaultFromSql(const QString& sql);
// A column of the current row as the application sees it, and a value bound as the column stores it.
QVariant readColumn(sqlite3_stmt* st, int col, FieldType type);
void bindValue(sqlite3_stmt* st, int idx, const QVariant& v, FieldType type);
// "INSERT ..." / "UPDATE ..." as "INSERT OR IGNORE ..." / "UPDATE OR IGNORE ...".
QString withOrIgnore(const QString& sql);

// ---- translation --------------------------------------------------------------------

enum class Kind {
    Select,
    SelectInto,
    Insert,
    InsertByName,
    Update,
    Delete,
    CreateTable,
    CreateIndex,
    DropTable,
    DropIndex,
    AlterTable
};

enum class AlterOp { AddColumn, DropColumn, AddPrimaryKey, AddUnique, DropConstraint, AlterColumn };

struct Plan {
    Kind kind = Kind::Select;
    QString sql;         // SQLite text of the main statement
    QStringList aliases; // attached schemas the statement needs

    // Select: editable single-table form with the rowid as first column
    QString rowidSql;
    QString baseSchema = QStringLiteral("main");
    QString baseTable;
    QString baseAlias; // name the table goes by in the statement

    // SelectInto / Insert targets
    QString targetSchema = QStringLiteral("main");
    QString targetTable;
    QString selectSql;      // the SELECT part
    bool hasVerbOr = false; // statement starts with INSERT/UPDATE that may take OR IGNORE

    // DDL
    QString table;
    std::vector<ColumnDef> columns;
    QString pkName;
    QStringList pkColumns;
    struct Unique {
        QString name;
        QStringList columns;
    };
    std::vector<Unique> uniques;
    AlterOp alterOp = AlterOp::AddColumn;
    QString objectName; // index/constraint/column name
    bool unique = false;
    bool primary = false;
};

struct TranslateContext {
    // schema alias for an external file (attached on demand)
    std::function<QString(const QString& file)> aliasForFile;
    // lower-cased local name -> (alias, remote table)
    QHash<QString, QPair<QString, QString>> links;
};

Plan translateStatement(const QString& jetSql, const TranslateContext& ctx);

// ---- functions ----------------------------------------------------------------------

void registerFunctions(sqlite3* db);
bool jetLike(const QString& pattern, const QString& text);

// ---- connection ---------------------------------------------------------------------

struct RecordsetCore;
struct StatementCore;
struct DatabaseCore;

// Hands a statement back when its scope ends, also when a step throws: a cached one is
// reset for its next use, any other is finalized.
struct StmtRelease {
    DatabaseCore* d = nullptr;
    bool cached = false;
    void operator()(sqlite3_stmt* stmt) const;
};
using StmtPtr = std::unique_ptr<sqlite3_stmt, StmtRelease>;

// The state behind a Database. Lives in detail so the recordset code can reach it.
struct DatabaseCore {
    sqlite3* db = nullptr;
    QString path;
    bool readOnly = false;
    qint64 affected = 0;
    int txDepth = 0;
    QHash<QString, sqlite3_stmt*> stmtCache;                       // translated SQL -> statement
    mutable QHash<QString, std::shared_ptr<const Plan>> planCache; // Jet SQL -> translation
    mutable QHash<QString, QString> fileAlias;                     // absolute file -> schema alias
    mutable QHash<QString, QString> aliasFile;
    QHash<QString, int> attachRefs;                // alias -> users (attached while > 0)
    QHash<QString, QPair<QString, QString>> links; // lower local name -> (alias, remote)
    QHash<QString, QString> linkNames;             // lower local name -> name as given
    QSet<RecordsetCore*> recordsets;
    QSet<StatementCore*> statements;
    std::function<bool()> keepGoing; // progress handler of setProgressHandler

    void ensureOpen() const;
    std::shared_ptr<const Plan> plan(const QString& jetSql) const;
    TranslateContext context() const;
    QString aliasFor(const QString& file) const;
    void attach(const QStringList& aliases);
    void release(const QStringList& aliases);
    void withAttached(const QStringList& aliases, const std::function<void()>& work);

    sqlite3_stmt* prepare(const QString& sql, bool cached, const QString& context);
    // prepare() with the statement handed back by its guard.
    StmtPtr prepared(const QString& sql, bool cached, const QString& context);
    void done(sqlite3_stmt* stmt, bool cached);
    void exec(const QString& sql, const QString& context = {});
    // Steps a statement once; SQLITE_ROW or SQLITE_DONE, throws on error.
    int step(sqlite3_stmt* stmt, const QString& context);
    QStringList queryStrings(const QString& sql);
    void clearCaches();
    void closeAll();

    void execute(const Plan& plan, const QString& jetSql, bool failOnError);
    void insertByName(const Plan& plan, const QString& jetSql, bool failOnError);
    void selectInto(const Plan& plan, const QString& jetSql);
    void exportText(const Plan& plan);
    void writeText(const Plan& plan, QFile& out);

    // schema (Schema.cpp)
    struct TableModel {
        QString schema, name;
        std::vector<ColumnDef> columns;
        QString pkName;
        QStringList pkColumns;
    };
    QPair<QString, QString> resolveTable(const QString& table) const; // (schema, real name)
    bool tableExists(const QString& schema, const QString& table);
    TableModel model(const QString& schema, const QString& table);
    QString createSql(const TableModel& m) const;
    void rebuild(const TableModel& m);
    void refreshTriggers(const QString& schema, const QString& table);
    void ensureProps(const QString& schema);
    QHash<QString, bool> zeroLengthProps(const QString& schema, const QString& table);
    void setProp(const QString& schema, const QString& table, const QString& field, bool allowZeroLength);
    void createTable(const Plan& plan);
    void alterTable(const Plan& plan);
    void createIndex(const Plan& plan);
    void dropIndex(const Plan& plan);
    void dropTable(const Plan& plan);
    void addPrimaryKey(const QString& table, const QString& name, const QStringList& columns);
    std::vector<FieldDef> fields(const QString& table);
    std::vector<IndexDef> indexes(const QString& table);
};

// RAII savepoint for multi-step changes that must be all or nothing.
class Savepoint {
public:
    explicit Savepoint(DatabaseCore& d);
    ~Savepoint();
    void release();

private:
    DatabaseCore& m_d;
    bool m_open = true;
};

// A recordset's state: one forward-stepping statement, the current row's values, and the
// rowid of that row when the recordset reads a single table (so edits address it).
struct RecordsetCore {
    DatabaseCore* d = nullptr;
    QString sql;            // statement as run
    QStringList aliases;    // attached files held while open
    bool editable = false;  // first column is the rowid
    bool updatable = false; // editable and at least one field comes from the table
    QString tableSql;       // schema-qualified table for edits
    QString alias;          // name the table goes by in the statement
    QString schema, table;

    sqlite3_stmt* stmt = nullptr;
    bool stmtHasMatch = false;
    QString matchSql;    // translated criterion of the active find statement
    qint64 stmtPos = -1; // row index the statement stands on; -2 when out of step
    bool stmtDone = false;

    qint64 pos = -1; // current row index
    bool eof = true, bof = true;
    qint64 reached = 0; // rows reached so far
    bool countExact = false;
    bool deleted = false;
    bool noMatch = false;
    std::vector<QVariant> values;
    qint64 rowid = 0;

    QStringList names;
    std::vector<FieldType> types;
    QStringList origins; // base-table column behind each field, empty when calculated
    QHash<QString, int> byName;

    enum class Mode { None, Add, Edit } mode = Mode::None;
    QHash<int, QVariant> pending;

    void detach();
    void check() const;
    int offset() const { return editable ? 1 : 0; }
    void describe();
    void restart(bool withMatch);
    bool rawStep();
    void load();
    void reposition();
    bool fetchByRowid(qint64 id);
    int fieldIndex(const QString& name) const;
};

// A prepared Statement's state. Registered with its database, which finalizes it on close,
// so a Statement that outlives its Database reports an error instead of touching freed memory.
struct StatementCore {
    DatabaseCore* d = nullptr;
    QString jetSql;
    sqlite3_stmt* stmt = nullptr;
    bool action = false;
    bool hasRow = false;
    std::vector<FieldType> types;

    void detach();
    void check() const;
};

// ---- errors -------------------------------------------------------------------------

[[noreturn]] void throwSqlite(sqlite3* db, int rc, const QString& context);

} // namespace jet::detail

namespace jet {
struct Database::Impl : detail::DatabaseCore {};
struct Recordset::Impl : detail::RecordsetCore {};
struct Statement::Impl : detail::StatementCore {};
} // namespace jet
