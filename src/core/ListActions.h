#pragma once
// Address list files: one database per list in AddressLists/ holding the table AddressList,
// catalogued by name in the system database's List table. These operations keep file and
// catalogue together.

#include <QString>
#include <QStringList>
#include <memory>

namespace jet {
class Database;
class Recordset;
} // namespace jet

namespace sendora {

struct AppContext;

// What the list operations need of a list window.
class ListWindow {
public:
    virtual ~ListWindow() = default;
    virtual QString caption() const = 0;
    virtual QString filePath() const = 0;
    // Binds the window's grid to this statement on its list file again.
    virtual void rebind(const QString& sql) = 0;
};

// An open list file bound to "SELECT * FROM ADDRESSLIST", positioned on the first row with
// the row count known.
struct OpenedList {
    QString file;
    std::unique_ptr<jet::Database> db;
    std::unique_ptr<jet::Recordset> rows;
    qint64 recordCount = 0;
};

bool IsSystemColumn(const QString& name);

QString GetListPath(AppContext& ctx, const QString& listName);
bool DeleteList(AppContext& ctx, const QString& listName);
bool SaveList(AppContext& ctx, const QString& sourceFile, const QString& listName, const QString& description,
              bool reopen);
// Empty result (no db) after "Could not locate <path>".
OpenedList OpenList(AppContext& ctx, const QString& listName, const QString& file = {});
void AddColumn(AppContext& ctx, ListWindow& window);
void RemoveColumns(AppContext& ctx, ListWindow& window, const QStringList& selectedColumns);

// temp/NewMailingList<n>.mdb, n counting from 0 for the run.
QString NewTempListPath(AppContext& ctx);
QString CurrentTempListPath(const AppContext& ctx);
bool isTemporaryListFile(const AppContext& ctx, const QString& file);

// Moves the rows whose address begins with "Unknown" into "<file>(No Addresses).mdb" beside
// the imported list and opens that companion in a list window. Returns the companion's path,
// empty when there were no such rows.
QString SaveNullEntries(AppContext& ctx, const QString& importedFile, const QString& caption);

// Trims and refuses empty text, "ID" and "ERROR" (without case); the message to show when refused.
QString refusedColumnName(const QString& trimmedName);

} // namespace sendora
