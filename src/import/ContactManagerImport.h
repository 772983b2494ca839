#pragma once
// Imports from two contact managers that keep their contacts in dBASE files. Goldmine's
// addresses sit in a second table joined to the contacts; ACT! is read through a binding that
// walks contacts and their e-mail rows. Each builds a temporary list file and returns its path,
// or an empty text on failure (the error is logged or shown on the way).

#include "components/sourcereaders/SourceReader.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

namespace sendora {

struct AppContext;

// Lets the storage layer link "dBASE ...; DATABASE=<folder>" tables through the dBASE reader.
// Safe to call more than once.
void registerExternalTableReaders();

QString gGoldmineImport(AppContext& ctx, const QString& folder);

// An ACT! field name as a list column: ".", "[" and "]" removed, the name fields mapped to the
// list's own columns and the names of the other fixed columns prefixed with "_".
QString ValidateFieldName(const QString& name);

// An ACT! contact database as the import walks it.
class ActDatabase {
public:
    virtual ~ActDatabase() = default;
    virtual bool open(const QString& file) = 0;
    virtual QString databaseName() const = 0;
    virtual bool needsLogin() const = 0;
    virtual bool login(const QString& user, const QString& password) = 0;
    // Contact field names by index; empty past the last one.
    virtual QString fieldName(int index) const = 0;
    virtual void moveFirst() = 0;
    virtual bool eof() const = 0;
    virtual void moveNext() = 0;
    virtual int recordCount() const = 0;
    virtual QString field(int index) const = 0;
    // The e-mail rows of the current contact, each as (kind, address).
    virtual QList<QStringList> emailRows() const = 0;
    // The last failure.
    virtual int errorNumber() const = 0;
    virtual QString errorText() const = 0;
};

// Our binding over ACT! 4 to 6 files: the chosen .dbf holds the contacts (key UNIQUEID, else the
// record number); EMAIL.DBF beside it holds their e-mail rows (CONTACTID, TYPE, ADDRESS; TYPE 1
// is the primary address); USERS.DBF, when it has rows, holds the logins (NAME, PASSWORD).
std::unique_ptr<ActDatabase> makeActDbaseBinding();

struct ActLogin {
    QString user;
    QString password;
};

struct ActImportOptions {
    // Asked for a login when the database wants one; nothing means the user cancelled.
    std::function<std::optional<ActLogin>(const QString& databaseName)> login;
    std::function<void(const QString& text)> progress;     // "<n> of <total>"
    std::function<std::unique_ptr<ActDatabase>()> binding; // makeActDbaseBinding when empty
    QString caption;                                       // names the companion list's window
};

inline const QString kActLoginFailedMessage =
    QStringLiteral("ACT Login has failed.\r\n\r\nPlease verify your UserName and Password and try again.");

QString ActImport(AppContext& ctx, const QString& file, const ActImportOptions& options = {});

// The import wizard's contact manager step for the file it was given: Goldmine reads the file's
// folder, ACT! the file. Empty for other kinds and on failure.
QString runContactManagerImport(AppContext& ctx, sourcereaders::SourceKind kind, const QString& file,
                                const ActImportOptions& options = {});

} // namespace sendora
