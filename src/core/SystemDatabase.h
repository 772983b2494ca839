#pragma once
// The system database Sendora.sdr: schema, creation with sample data, version check and
// upgrade by copying into a new file, later column additions, the Global Remove List and
// the default delivery options check.

#include <QString>
#include <QStringList>

namespace jet {
class Database;
}

namespace sendora {

struct AppContext;

constexpr int kSchemaVersion = 9;
inline const QString kGlobalRemoveListName = QStringLiteral("Global Remove List");
inline const QString kGlobalRemoveListFile = QStringLiteral("Global Remove List.mdb");
inline const QString kGlobalRemoveAddress = QStringLiteral("remove-me@sendora.example");
inline const QString kSampleListName = QStringLiteral("Sample - Formal Letter");
inline const QString kSampleMessageName = QStringLiteral("Sample - Sendora");

// The schema statements in creation order (the default profile row and the version row
// are built by defaultProfileInsert() and versionInsert()).
QStringList schemaStatements();
QString defaultProfileInsert();
QString versionInsert(const AppContext& ctx);

// Creates system/Sendora.sdr as a new installation.
bool CreateSendoraDatabase(AppContext& ctx);
// Deletes a file at path, creates the database and its tables, applies column properties,
// runs updateDatabase and, for a new installation, offers the sample data.
bool CreateSystemDatabase(AppContext& ctx, const QString& path, bool allowZeroLengthText,
                          bool newInstallation);

// Schema version of the existing system database; 0 after a reported error.
int SDRVerify(AppContext& ctx);
// Start-up check: create when missing, rebuild when the version differs from the current one.
// Returns false when the database could not be made ready (a message has been shown).
bool VerifyAndUpgradeSystemDatabase(AppContext& ctx);
// Copies every row of the old database into the new one, field by field.
void copyDatabaseContents(jet::Database& from, jet::Database& to);

// Adds the direct-send columns to Profile and LastCount to MailEvent; stops silently at
// the first step that fails (normally: the column exists already).
void updateDatabase(AppContext& ctx);
void updateDatabase(AppContext& ctx, const QString& path);

// systemDatabase: the catalogue that gets the list's row; the system database when empty.
bool CreateGlobalRemoveList(AppContext& ctx, const QString& systemDatabase = {});
// Fills the system database at systemDatabase (the system database when empty) and makes
// the sample files. False when it failed (the error has been shown).
bool createSampleData(AppContext& ctx, const QString& systemDatabase = {});

// What keeps the system database from being read (damaged, unreadable, locked), naming the
// file; empty when it can be read.
QString systemDatabaseProblem(AppContext& ctx);
// Creates AddressLists/Sample - Formal Letter.mdb with its five contacts.
bool createSampleList(const QString& path);

// True when the database has a table AddressList with a field EAddress.
bool IsSendoraDB(jet::Database& db);
// Count of rows of table whose field equals value (without regard to case).
long CountRecordsBySpecificStringValue(AppContext& ctx, const QString& databasePath, const QString& table,
                                       const QString& field, const QString& value);

void VerifyDefaultProfile(AppContext& ctx);

// List catalogue against the list files on disk.
void gSyncronizeAddressLists(AppContext& ctx);
void ReSyncAddressLists(AppContext& ctx, const QStringList& missing, const QStringList& extra);

} // namespace sendora
