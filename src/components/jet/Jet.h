#pragma once
// Jet-dialect storage on SQLite.
//
// The application writes its SQL the way the Access engine reads it: double-quoted
// string literals, [bracketed names], * and ? wildcards in LIKE, TOP n, DELETE * FROM,
// SELECT ... INTO, IN "<file>", Jet column types and functions, -1 for true and text
// keys compared without regard to case. This layer translates every statement to SQLite
// and gives it the meaning Jet gives it. Files are ordinary SQLite databases.
//
// Errors are reported as jet::Error exceptions carrying a Jet-style number and text, so
// callers can catch them in one place per operation and log them.

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>
#include <functional>
#include <memory>
#include <stdexcept>
#include <vector>

struct sqlite3;

namespace jet {

// Jet error numbers the application reacts to.
enum ErrorNumber : int {
    ErrGeneric = 3000,
    ErrDuplicateKey = 3022,
    ErrFileNotFound = 3024,
    ErrNoCurrentRecord = 3021,
    ErrTableExists = 3010,
    ErrObjectNotFound = 3011,
    ErrNotADatabase = 3343,
    ErrSyntax = 3075,
    ErrTooFewParameters = 3061,
    ErrTableNotFound = 3078,
    ErrFieldExists = 3191,
    ErrItemNotInCollection = 3265,
    ErrReadOnly = 3027,
    ErrUpdateWithoutEdit = 3020,
    ErrFilterNotReadOnly = 3219,
    ErrDiskFull = 3035,
    ErrLocked = 3260,
    ErrCanceled = 3059,
};

class Error : public std::runtime_error {
public:
    Error(int number, const QString& description)
        : std::runtime_error(description.toStdString()), m_number(number), m_description(description) {}
    int number() const { return m_number; }
    QString description() const { return m_description; }

private:
    int m_number;
    QString m_description;
};

enum class FieldType { Text, Memo, Long, Integer, YesNo, DateTime, Counter, Double, Binary };

struct FieldDef {
    QString name;
    FieldType type = FieldType::Text;
    int size = 255;               // characters, for Text
    bool required = false;        // NOT NULL
    bool allowZeroLength = false; // Jet's AllowZeroLength property
    QVariant defaultValue;        // null when none
};

struct IndexDef {
    QString name;
    QStringList fields;
    bool primary = false;
    bool unique = false;
};

// Quoting helpers every caller uses to put a value into Jet SQL text.
// quote("O\"Brien") == "\"O\"\"Brien\"": the value always stays one literal.
QString quote(const QString& value);
// The same in single quotes ("'O''Brien'"), for text that itself travels in double quotes.
QString quoteSingle(const QString& value);
// [name] with any ] doubled, so a user-given column name stays one identifier.
QString bracket(const QString& name);
// Escape Jet LIKE wildcards (* ? # [) so the text matches itself inside a LIKE pattern.
QString escapeLike(const QString& value);
// A field type as a copy of the table declares it in Jet SQL: a Counter becomes LONG, since
// copied values keep their numbers; Text carries its size when one is given.
QString typeName(FieldType type, int textSize = 0);

// Jet Booleans.
constexpr int True = -1;
constexpr int False = 0;

class Recordset;
class Statement;

// A value slot in Jet text for Database::prepareStatement (n counts from 1).
QString param(int n);

class Database {
public:
    enum class OpenMode { ReadWrite, ReadOnly };

    // How a new file's connection writes. Scratch is for work files that are thrown away rather
    // than recovered (a temporary list being built): no journal and no flush to disk, so bulk
    // statements write each page once and dropping a work table holds nothing in memory. A
    // statement that fails or is interrupted there may leave part of its work: the caller
    // discards the file. Connections opened later on the file are durable again.
    enum class Durability { Durable, Scratch };

    // Creates a new, empty database file. Fails (ErrTableExists-like 3204) when the file exists.
    static std::unique_ptr<Database> create(const QString& path, Durability durability = Durability::Durable);
    // Opens an existing file. Fails with ErrFileNotFound when it is missing and
    // ErrNotADatabase when it is not a database.
    static std::unique_ptr<Database> open(const QString& path, OpenMode mode = OpenMode::ReadWrite);

    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    QString path() const;

    // Runs one action statement (DDL, INSERT, UPDATE, DELETE, SELECT ... INTO).
    // Like DAO's Execute without dbFailOnError: rows that would violate a key are
    // skipped and the rest of the statement goes on. With failOnError, a key
    // violation raises ErrDuplicateKey and the statement changes nothing.
    void execute(const QString& jetSql, bool failOnError = false);
    // Rows changed by the last execute().
    qint64 recordsAffected() const;

    // Opens a recordset over a SELECT statement or a bare table name.
    std::unique_ptr<Recordset> openRecordset(const QString& jetSqlOrTable);
    // Opens a recordset over a user-written query; the statement must be a single
    // read-only SELECT (ErrFilterNotReadOnly otherwise).
    std::unique_ptr<Recordset> openReadOnlyQuery(const QString& jetSql);

    // The first column of every row of a Jet SELECT as 64-bit integers (row ids), for views
    // that keep only the ids of a large result. The statement must be a single read-only
    // SELECT (ErrFilterNotReadOnly otherwise), since it may hold a user-written clause.
    QVector<qint64> readRowIds(const QString& jetSql);
    // The row id of the last row inserted through this connection.
    qint64 lastInsertRowId() const;

    // Translates and prepares a statement once, for many runs with bound values: the values
    // stand in the text as param(n). Plain SELECT, INSERT, UPDATE and DELETE on this file.
    std::unique_ptr<Statement> prepareStatement(const QString& jetSql);

    // Schema.
    QStringList tableNames() const;
    bool hasTable(const QString& table) const;
    std::vector<FieldDef> fields(const QString& table) const;
    bool hasField(const QString& table, const QString& field) const;
    std::vector<IndexDef> indexes(const QString& table) const;
    void addField(const QString& table, const FieldDef& field);
    void setDefaultValue(const QString& table, const QString& field, const QVariant& value);
    void setAllowZeroLength(const QString& table, const QString& field, bool allow);
    void renameTable(const QString& from, const QString& to);

    // Another file's table known here under a local name (Jet's linked table).
    void linkTable(const QString& localName, const QString& file, const QString& remoteTable);
    void unlinkTable(const QString& localName);
    // A table of another kind of database, named by a connect text such as
    // "dBASE 5.0; DATABASE=<folder>", known here under a local name. Its rows are read once,
    // through the opener the application registered (setExternalTableOpener), into a table of
    // this connection's temporary schema, so statements join it like any other table. Dropping
    // or unlinking it discards the copy; the source is never written.
    void linkExternalTable(const QString& localName, const QString& connect, const QString& sourceTable);
    // Renames a column, keeping its properties.
    void renameField(const QString& table, const QString& from, const QString& to);

    // Asked now and then while a statement runs (every few thousand engine steps); returning
    // false interrupts the statement with ErrCanceled and it changes nothing. An empty
    // function removes the check.
    void setProgressHandler(std::function<bool()> keepGoing);

    // Explicit transactions for work that must be all-or-nothing.
    void beginTransaction();
    void commit();
    void rollback();

    // Writes a consistent copy of the whole database to a new file (which must not exist).
    void copyTo(const QString& target);

    void close();
    bool isOpen() const;

    // The translated SQLite text for a Jet statement (for tests and diagnostics).
    QString translate(const QString& jetSql) const;

    sqlite3* handle() const;

private:
    Database();
    struct Impl;
    std::unique_ptr<Impl> d;
    friend class Recordset;
};

// A DAO-like recordset: walk rows, read fields by name, add and edit rows of a single
// table. Large results are walked without being loaded whole.
class Recordset {
public:
    ~Recordset();
    Recordset(const Recordset&) = delete;
    Recordset& operator=(const Recordset&) = delete;

    bool eof() const;
    bool bof() const;
    void moveFirst();
    void moveNext();
    void moveLast();
    // DAO semantics: rows reached so far; exact after moveLast().
    qint64 recordCount() const;

    // Finds the first / next row (from the current one) matching a Jet criterion
    // such as "ProfileName = 'Default Delivery Options'". noMatch() tells the outcome;
    // without a match the current row is unchanged.
    void findFirst(const QString& criterion);
    void findNext(const QString& criterion);
    bool noMatch() const;

    int fieldCount() const;
    QString fieldName(int index) const;
    FieldType fieldType(int index) const;
    bool hasField(const QString& name) const;
    // Field value of the current row (case-insensitive name); null QVariant for NULL.
    // ErrItemNotInCollection for an unknown name, ErrNoCurrentRecord at EOF/BOF.
    QVariant value(const QString& name) const;
    QVariant value(int index) const;

    // Editing (single-table recordsets only; ErrReadOnly otherwise).
    void addNew();
    void edit();
    void setValue(const QString& name, const QVariant& value);
    void update();
    void cancelUpdate();
    void deleteCurrent();

    void close();

private:
    Recordset();
    struct Impl;
    std::unique_ptr<Impl> d;
    friend class Database;
};

// Deletes a database file with its journal companions (-wal, -shm), making it writable
// first. True when no file is left.
bool removeDatabase(const QString& path);

// A prepared statement with bound values: per run no translation, no parse, no planning.
class Statement {
public:
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    void bind(int n, const QVariant& value);
    // Action statements; rows that would break a key are skipped, as in Database::execute.
    // Returns the rows changed.
    qint64 execute();
    // Selects: runs the statement and stands on its first row; false when there is none.
    bool first();
    bool next();
    int columnCount() const;
    QString columnName(int index) const;
    QVariant value(int index) const;

private:
    Statement();
    struct Impl;
    std::unique_ptr<Impl> d;
    friend class Database;
};

// Rows of an external table, handed out by the registered opener.
class ExternalRows {
public:
    virtual ~ExternalRows() = default;
    virtual std::vector<FieldDef> fields() const = 0;
    // The next row, one value per field; false at the end or on a read error.
    virtual bool next(QVariantList& row) = 0;
    // Why the rows stopped early; empty after a clean end.
    virtual QString errorText() const = 0;
};
// Opens a source table for a connect text; null with error set when it cannot.
using ExternalTableOpener = std::function<std::unique_ptr<ExternalRows>(
    const QString& connect, const QString& sourceTable, QString& error)>;
// Installed by the layer that owns the readers; an empty function removes it.
void setExternalTableOpener(ExternalTableOpener opener);

// How long every connection waits for another process's lock before a statement fails
// with ErrLocked. Applies to connections opened afterwards.
void setBusyTimeout(int milliseconds);
int busyTimeout();

// Test seam: asked before each statement that writes, with the database's file; a non-zero
// SQLite result code (SQLITE_FULL, SQLITE_READONLY, ...) makes that write fail as the
// file would. An empty function removes the fault.
using WriteFault = std::function<int(const QString& file)>;
void setWriteFaultForTesting(WriteFault fault);

// SQLite library version text, e.g. "3.40.1".
QString engineVersion();

} // namespace jet
