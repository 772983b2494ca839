#pragma once
// The build of the database import: source rows streamed into a temporary list file. Every
// address loses its blanks and control characters and is checked with IsValidEmailAddress; a row
// whose address fails gets "Unknown<n>" (n = its running number) and ends up in the
// "(No Addresses)" companion list; a row repeating an earlier address is dropped by the key. The
// build runs from the event loop in short turns, writes in bounded transactions, and can be
// interrupted (the rows so far stay) or cancelled (the file goes).

#include "components/sourcereaders/SourceReader.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QStringList>
#include <array>
#include <exception>
#include <memory>
#include <vector>

namespace jet {
class Database;
class Statement;
} // namespace jet

namespace sendora {

struct AppContext;
class RowInsert;

// The trays in their fixed order and the list columns they fill.
enum Tray { TrayEmail = 0, TrayFirstName, TrayLastName, TrayTitle, TrayID, kTrayCount };
QString trayColumn(int tray);

struct ImportMapping {
    std::array<QString, kTrayCount> trays; // source field names; empty tray = empty text
    QStringList extraFields;               // checked source fields, copied as columns of their own
};

// The address as the list stores it: every character below 33 removed.
QString cleanImportedAddress(const QString& address);

// The columns of the new list after the nine fixed ones: one per checked field. A checked field
// named like a fixed column fills that column instead (when no tray does), and "ID" and "ERROR",
// which the program keeps for itself, are left out.
QStringList extraListColumns(const ImportMapping& mapping);

// The column type an imported field gets in the new list.
QString jetColumnType(sourcereaders::FieldType type);

class DatabaseImport : public QObject {
    Q_OBJECT
public:
    static constexpr int kRowsPerTransaction = 5000;
    static constexpr int kCounterStep = 50;
    static constexpr int kTurnMs = 25; // the longest stretch without giving the event loop back
    static constexpr int kValueLength = 255;

    struct Result {
        QString path;        // the temporary list; empty after a cancel or a failure
        QString companion;   // the "(No Addresses)" list, empty when every address was usable
        qint64 rowsRead = 0; // source rows taken
        qint64 imported = 0; // rows with a usable address in the list
        qint64 unusable = 0; // rows moved to the companion list
        qint64 repeated = 0; // rows dropped because their address came earlier
        qint64 rowsLeft = 0; // rows in the list at the end
        bool interrupted = false;
        bool cancelled = false;
        QString error; // why the build failed, empty otherwise
    };

    explicit DatabaseImport(AppContext& ctx, QObject* parent = nullptr);
    ~DatabaseImport() override;

    // Starts the build over the rows. `filter` is a Jet condition on the source fields (empty for
    // every row); `caption` names the list window of the companion list. False with
    // result().error when the target cannot be made; otherwise finished() follows.
    bool start(std::unique_ptr<sourcereaders::RowCursor> rows, const ImportMapping& mapping,
               const QString& filter = {}, const QString& caption = {});
    // "Interrupt": stops after the current row; what was imported stays.
    void interrupt() { m_interrupt = true; }
    // Leaving without the list: stops and deletes the file.
    void cancel();
    bool building() const { return m_building; }
    const Result& result() const { return m_result; }

    // Runs the build to its end on a local event loop; the result.
    Result run(std::unique_ptr<sourcereaders::RowCursor> rows, const ImportMapping& mapping,
               const QString& filter = {}, const QString& caption = {});

Q_SIGNALS:
    void progress(qint64 rows); // every kCounterStep rows and at the end
    void finished();

private:
    enum class Phase { Staging, Building };
    bool openTarget(const QList<sourcereaders::SourceField>& fields);
    std::unique_ptr<jet::Database> createList(const QString& path, std::unique_ptr<RowInsert>& insert);
    RowInsert& noAddressInsert();
    bool startStaging(const QList<sourcereaders::SourceField>& fields);
    bool startFilteredRead();
    void turn();
    bool storeRow(const sourcereaders::SourceRow& row);
    bool storeUtf8Row(const sourcereaders::Utf8Row& row);
    void countRow(qint64 added, bool usable);
    bool rowRefused(const std::exception& e);
    bool stageRow(const sourcereaders::SourceRow& row);
    void commitIfDue(qint64 count);
    void finish(bool failed);
    void failWith(const QString& text);

    AppContext& m_ctx;
    std::unique_ptr<sourcereaders::RowCursor> m_rows;
    std::unique_ptr<jet::Database> m_db;
    std::unique_ptr<RowInsert> m_insert;
    std::unique_ptr<jet::Statement> m_stage;
    // The "(No Addresses)" companion, made when the first unusable address comes.
    std::unique_ptr<jet::Database> m_noAddressDb;
    std::unique_ptr<RowInsert> m_noAddressInsert;
    QStringList m_columns; // every column of the new list, in order
    ImportMapping m_mapping;
    std::vector<int> m_sources; // source field index per bound column, -1 for empty text
    // Per-row buffers of the UTF-8 path, kept from row to row.
    QByteArray m_cleanAddress, m_cutAddress;
    QString m_addressText;
    std::vector<QByteArray> m_cutValues;
    int m_emailIndex = -1;
    int m_stagedFields = 0;
    QString m_filter;
    QString m_caption;
    Phase m_phase = Phase::Building;
    Result m_result;
    qint64 m_sinceCommit = 0;
    bool m_building = false;
    bool m_interrupt = false;
    bool m_cancel = false;
};

} // namespace sendora
