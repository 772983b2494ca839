#include "import/DatabaseImport.h"

#include "components/jet/Jet.h"
#include "core/AppContext.h"
#include "core/ErrorLog.h"
#include "core/ListActions.h"
#include "import/AddressRules.h"

#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <sqlite3.h>

namespace sendora {

namespace sr = sourcereaders;

namespace {

const QString kModule = QStringLiteral("CreateAddressList in frmDBImportWiz");
const QString kStagingTable = QStringLiteral("ImportSource");

// The fixed columns of an imported list, in the order they are created.
const QStringList& fixedColumns() {
    static const QStringList columns = {"EAddress", "FirstName", "LastName", "Title",   "IDNumber",
                                        "Sent",     "Date",      "Keyword1", "Keyword2"};
    return columns;
}

// The staged source rows that pass the filter, read back in the source's field order.
class FilteredRows final : public sr::RowCursor {
public:
    FilteredRows(std::unique_ptr<jet::Recordset> rs, QList<sr::SourceField> fields)
        : m_rs(std::move(rs)), m_fields(std::move(fields)) {}
    bool next(sr::SourceRow& row) override {
        if (m_rs->eof()) return false;
        if (m_read > 0) {
            m_rs->moveNext();
            if (m_rs->eof()) return false;
        }
        row.resize(m_fields.size());
        for (int i = 0; i < m_fields.size(); ++i)
            row[i] = m_rs->value(i);
        ++m_read;
        return true;
    }
    QList<sr::SourceField> fields() const override { return m_fields; }
    QString errorText() const override { return {}; }
    qint64 position() const override { return m_read; }

private:
    std::unique_ptr<jet::Recordset> m_rs;
    QList<sr::SourceField> m_fields;
    qint64 m_read = 0;
};

// The text of a value as the list stores it: at most kValueLength characters. Bytes are never
// fewer than the UTF-16 units they encode, so only a longer value needs decoding.
QByteArrayView cutUtf8(QByteArrayView value, QByteArray& scratch) {
    if (value.size() <= DatabaseImport::kValueLength) return value;
    scratch = QString::fromUtf8(value).left(DatabaseImport::kValueLength).toUtf8();
    return scratch;
}

} // namespace

// The insert of the build, run straight on the engine: values go in as UTF-8 and a row whose
// address is already there is skipped, as the key of the list wants it.
class RowInsert {
public:
    RowInsert(jet::Database& db, const QString& sql) : m_db(db.handle()) {
        const QByteArray text = sql.toUtf8();
        if (sqlite3_prepare_v2(m_db, text.constData(), int(text.size()), &m_stmt, nullptr) != SQLITE_OK)
            throw jet::Error(jet::ErrGeneric, QString::fromUtf8(sqlite3_errmsg(m_db)));
    }
    ~RowInsert() { sqlite3_finalize(m_stmt); }
    void bind(int n, const QString& value) {
        const QByteArray utf8 = value.toUtf8();
        sqlite3_bind_text(m_stmt, n, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
    }
    // Bytes that stay put until execute(): bound without a copy. Empty is empty text, not null.
    void bindUtf8(int n, QByteArrayView value) {
        sqlite3_bind_text(m_stmt, n, value.isEmpty() ? "" : value.data(), int(value.size()), SQLITE_STATIC);
    }
    // Rows added: 0 when the address was there already.
    qint64 execute() {
        const int rc = sqlite3_step(m_stmt);
        sqlite3_reset(m_stmt);
        if (rc != SQLITE_DONE)
            throw jet::Error(rc == SQLITE_FULL ? jet::ErrDiskFull : jet::ErrGeneric,
                             QString::fromUtf8(sqlite3_errstr(rc)));
        return sqlite3_changes64(m_db);
    }

private:
    sqlite3* m_db;
    sqlite3_stmt* m_stmt = nullptr;
};

QString trayColumn(int tray) {
    return tray >= 0 && tray < kTrayCount ? fixedColumns().at(tray) : QString();
}

QString cleanImportedAddress(const QString& address) {
    if (std::none_of(address.begin(), address.end(), [](QChar c) { return c.unicode() < 33; }))
        return address; // shared, not copied
    QString clean;
    clean.reserve(address.size());
    for (QChar c : address)
        if (c.unicode() >= 33) clean.append(c);
    return clean;
}

QString jetColumnType(sr::FieldType type) {
    switch (type) {
    case sr::FieldType::Integer:
        return QStringLiteral("LONG");
    case sr::FieldType::Double:
    case sr::FieldType::Currency:
        return QStringLiteral("DOUBLE");
    case sr::FieldType::Boolean:
        return QStringLiteral("YESNO");
    case sr::FieldType::Date:
    case sr::FieldType::DateTime:
        return QStringLiteral("DATETIME");
    case sr::FieldType::Text:
        return QStringLiteral("TEXT(255)");
    default:
        return QStringLiteral("MEMO");
    }
}

QStringList extraListColumns(const ImportMapping& mapping) {
    QStringList columns;
    for (const QString& field : mapping.extraFields) {
        if (fixedColumns().contains(field, Qt::CaseInsensitive) ||
            field.compare(u"ID", Qt::CaseInsensitive) == 0 ||
            field.compare(u"ERROR", Qt::CaseInsensitive) == 0 || columns.contains(field, Qt::CaseInsensitive))
            continue;
        columns << field;
    }
    return columns;
}

DatabaseImport::DatabaseImport(AppContext& ctx, QObject* parent) : QObject(parent), m_ctx(ctx) {}

DatabaseImport::~DatabaseImport() {
    if (m_building) {
        m_cancel = true;
        finish(true);
    }
}

bool DatabaseImport::start(std::unique_ptr<sr::RowCursor> rows, const ImportMapping& mapping,
                           const QString& filter, const QString& caption) {
    m_result = {};
    m_interrupt = m_cancel = false;
    m_mapping = mapping;
    m_filter = filter.trimmed();
    m_caption = caption;
    m_rows = std::move(rows);
    if (!m_rows) {
        m_result.error = QStringLiteral("Sendora cannot read the selected file.");
        return false;
    }
    const QList<sr::SourceField> fields = m_rows->fields();
    if (!openTarget(fields)) return false;
    if (!m_filter.isEmpty() && !startStaging(fields)) return false;
    m_phase = m_filter.isEmpty() ? Phase::Building : Phase::Staging;
    m_building = true;
    QTimer::singleShot(0, this, &DatabaseImport::turn);
    return true;
}

bool DatabaseImport::openTarget(const QList<sr::SourceField>& fields) {
    const auto indexOf = [&fields](const QString& name) {
        if (name.isEmpty()) return -1;
        for (int i = 0; i < fields.size(); ++i)
            if (fields[i].name.compare(name, Qt::CaseInsensitive) == 0) return i;
        return -1;
    };
    m_emailIndex = indexOf(m_mapping.trays[TrayEmail]);
    if (m_emailIndex < 0) {
        m_result.error =
            QStringLiteral("You must select a field to represent E-Mail addresses before you can "
                           "continue.");
        return false;
    }
    // Bound columns: the nine fixed ones, then the checked fields of their own.
    const QStringList extras = extraListColumns(m_mapping);
    m_sources.assign(size_t(fixedColumns().size()), -1);
    for (int t = 0; t < kTrayCount; ++t)
        m_sources[size_t(t)] = indexOf(m_mapping.trays[size_t(t)]);
    for (const QString& field : m_mapping.extraFields) {
        qsizetype at = -1;
        for (qsizetype i = 0; at < 0 && i < fixedColumns().size(); ++i)
            if (fixedColumns()[i].compare(field, Qt::CaseInsensitive) == 0) at = i;
        if (at >= 0 && m_sources[size_t(at)] < 0) m_sources[size_t(at)] = indexOf(field);
    }
    for (const QString& extra : extras)
        m_sources.push_back(indexOf(extra));

    m_columns = fixedColumns() + extras;
    try {
        m_result.path = NewTempListPath(m_ctx);
        m_db = createList(m_result.path, m_insert);
        return true;
    } catch (const std::exception& e) {
        LogError(m_ctx, kModule, errorInfo(e), false);
        m_result.error = QString::fromUtf8(e.what());
        m_insert.reset();
        m_db.reset();
        if (!m_result.path.isEmpty()) jet::removeDatabase(m_result.path);
        m_result.path.clear();
        return false;
    }
}

// A new list file holding AddressList with the columns of this import and its key, and the
// statement that adds a row to it; written in bounded transactions, the first one open.
std::unique_ptr<jet::Database> DatabaseImport::createList(const QString& path,
                                                          std::unique_ptr<RowInsert>& insert) {
    jet::removeDatabase(path);
    auto db = jet::Database::create(path, jet::Database::Durability::Scratch);
    QStringList defs, names, params;
    int slots = 0;
    for (qsizetype i = 0; i < m_columns.size(); ++i) {
        defs << jet::bracket(m_columns[i]) + QStringLiteral(" TEXT(255)");
        names << u'"' + QString(m_columns[i]).replace(u'"', QStringLiteral("\"\"")) + u'"';
        // Columns no field fills are empty text in the statement itself, not bound per row.
        const bool bound = i == 0 || m_sources[size_t(i)] >= 0;
        params << (bound ? QStringLiteral("?%1").arg(++slots) : QStringLiteral("''"));
    }
    db->execute(QStringLiteral("CREATE TABLE AddressList (%1);").arg(defs.join(QStringLiteral(", "))), true);
    for (const QString& c : m_columns)
        db->setAllowZeroLength(QStringLiteral("AddressList"), c, true);
    db->execute(QStringLiteral("ALTER TABLE AddressList ADD CONSTRAINT MyPrKey PRIMARY KEY (EAddress);"),
                true);
    // Addresses arrive in no order: a cache that holds the key's pages keeps inserts off the disk.
    sqlite3_exec(db->handle(), "PRAGMA cache_size=-32768", nullptr, nullptr, nullptr);
    insert =
        std::make_unique<RowInsert>(*db, QStringLiteral("INSERT OR IGNORE INTO AddressList (%1) VALUES (%2)")
                                             .arg(names.join(u','), params.join(u',')));
    db->beginTransaction();
    return db;
}

// The rows without a usable address go straight into the companion list rather than through the
// new list and out again, which would read the whole list twice.
RowInsert& DatabaseImport::noAddressInsert() {
    if (!m_noAddressDb) {
        QString companion = m_result.path;
        companion.insert(companion.size() - 4, QStringLiteral("(No Addresses)"));
        m_noAddressDb = createList(companion, m_noAddressInsert);
        m_result.companion = companion;
    }
    return *m_noAddressInsert;
}

// With a filter the source rows go into a work table first, so that the condition is read as the
// engine reads it; the list is then built from the rows the condition selects.
bool DatabaseImport::startStaging(const QList<sr::SourceField>& fields) {
    try {
        QStringList defs, names, params;
        for (const sr::SourceField& f : fields) {
            defs << jet::bracket(f.name) + u' ' + jetColumnType(f.type);
            names << jet::bracket(f.name);
            params << jet::param(int(params.size()) + 1);
        }
        m_db->execute(
            QStringLiteral("CREATE TABLE %1 (%2);").arg(kStagingTable, defs.join(QStringLiteral(", "))),
            true);
        m_stage = m_db->prepareStatement(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                             .arg(kStagingTable, names.join(u','), params.join(u',')));
        m_stagedFields = int(fields.size());
        return true;
    } catch (const std::exception& e) {
        LogError(m_ctx, kModule, errorInfo(e), false);
        failWith(QString::fromUtf8(e.what()));
        return false;
    }
}

bool DatabaseImport::startFilteredRead() {
    try {
        m_stage.reset();
        m_db->commit();
        m_db->beginTransaction();
        const QList<sr::SourceField> fields = m_rows->fields();
        auto rs =
            m_db->openReadOnlyQuery(QStringLiteral("SELECT * FROM %1 WHERE %2").arg(kStagingTable, m_filter));
        m_rows = std::make_unique<FilteredRows>(std::move(rs), fields);
        m_phase = Phase::Building;
        return true;
    } catch (const std::exception& e) {
        LogError(m_ctx, kModule, errorInfo(e), false);
        failWith(QString::fromUtf8(e.what()));
        return false;
    }
}

void DatabaseImport::failWith(const QString& text) {
    m_result.error = text;
}

void DatabaseImport::turn() {
    if (!m_building) return;
    QElapsedTimer clock;
    clock.start();
    sr::SourceRow row;
    sr::Utf8Row utf8Row;
    for (qint64 taken = 1; !m_cancel && !m_interrupt; ++taken) {
        // Staging a filtered source gives the event loop back as often as the build does.
        if ((taken & 63) == 0 && clock.elapsed() >= kTurnMs) {
            QTimer::singleShot(0, this, &DatabaseImport::turn);
            return;
        }
        const bool utf8 = m_phase == Phase::Building && m_rows->offersUtf8();
        if (!(utf8 ? m_rows->nextUtf8(utf8Row) : m_rows->next(row))) {
            if (!m_rows->errorText().isEmpty()) failWith(m_rows->errorText());
            if (m_phase == Phase::Staging && m_result.error.isEmpty()) {
                if (!startFilteredRead()) break;
                continue;
            }
            break;
        }
        if (m_phase == Phase::Staging) {
            if (!stageRow(row)) break;
            continue;
        }
        if (!(utf8 ? storeUtf8Row(utf8Row) : storeRow(row))) break;
        if (m_result.rowsRead % kCounterStep == 0) Q_EMIT progress(m_result.rowsRead);
    }
    finish(!m_result.error.isEmpty());
}

bool DatabaseImport::stageRow(const sr::SourceRow& row) {
    try {
        for (int i = 0; i < m_stagedFields; ++i)
            m_stage->bind(i + 1, i < row.size() ? row[i] : QVariant());
        m_stage->execute();
        commitIfDue(++m_sinceCommit);
        return true;
    } catch (const std::exception& e) {
        LogError(m_ctx, kModule, errorInfo(e), false);
        failWith(QString::fromUtf8(e.what()));
        return false;
    }
}

bool DatabaseImport::storeRow(const sr::SourceRow& row) {
    const qint64 n = ++m_result.rowsRead;
    try {
        const auto text = [&row](int index) {
            return index >= 0 && index < row.size() ? sr::valueText(row[index]).left(kValueLength)
                                                    : QString();
        };
        QString address =
            cleanImportedAddress(sr::valueText(m_emailIndex < row.size() ? row[m_emailIndex] : QVariant()))
                .left(kValueLength);
        const bool usable = IsValidEmailAddress(address);
        if (!usable) address = QStringLiteral("Unknown%1").arg(n);
        RowInsert& insert = usable ? *m_insert : noAddressInsert();
        insert.bind(1, address);
        int slot = 1;
        for (size_t i = 1; i < m_sources.size(); ++i) {
            if (m_sources[i] < 0) continue;
            QString value = text(m_sources[i]);
            insert.bind(++slot, value.isNull() ? QStringLiteral("") : value);
        }
        countRow(insert.execute(), usable);
    } catch (const std::exception& e) {
        return rowRefused(e);
    }
    return true;
}

// storeRow() for a row in UTF-8: the same values without a QString per value.
bool DatabaseImport::storeUtf8Row(const sr::Utf8Row& row) {
    const qint64 n = ++m_result.rowsRead;
    try {
        QByteArrayView address =
            m_emailIndex < qsizetype(row.size()) ? row[size_t(m_emailIndex)] : QByteArrayView();
        // A byte below 33 is a whole character in UTF-8: removing bytes cleans as characters do.
        if (std::any_of(address.begin(), address.end(), [](char c) { return uchar(c) < 33; })) {
            m_cleanAddress.resize(0);
            for (const char c : address)
                if (uchar(c) >= 33) m_cleanAddress.append(c);
            address = m_cleanAddress;
        }
        address = cutUtf8(address, m_cutAddress);
        if (std::all_of(address.begin(), address.end(), [](char c) { return uchar(c) < 0x80; })) {
            m_addressText.resize(address.size());
            std::transform(address.begin(), address.end(), m_addressText.data(),
                           [](char c) { return QChar(char16_t(uchar(c))); });
        } else {
            m_addressText = QString::fromUtf8(address);
        }
        const bool usable = IsValidEmailAddress(m_addressText);
        if (!usable) {
            m_cleanAddress = "Unknown" + QByteArray::number(n);
            address = m_cleanAddress;
        }
        RowInsert& insert = usable ? *m_insert : noAddressInsert();
        insert.bindUtf8(1, address);
        int slot = 1;
        m_cutValues.resize(m_sources.size());
        for (size_t i = 1; i < m_sources.size(); ++i) {
            const int source = m_sources[i];
            if (source < 0) continue;
            insert.bindUtf8(++slot, source < qsizetype(row.size())
                                        ? cutUtf8(row[size_t(source)], m_cutValues[i])
                                        : QByteArrayView());
        }
        countRow(insert.execute(), usable);
    } catch (const std::exception& e) {
        return rowRefused(e);
    }
    return true;
}

void DatabaseImport::countRow(qint64 added, bool usable) {
    if (added == 0)
        ++m_result.repeated;
    else if (usable)
        ++m_result.imported;
    else
        ++m_result.unusable;
    commitIfDue(++m_sinceCommit);
}

bool DatabaseImport::rowRefused(const std::exception& e) {
    if (const auto* jetError = dynamic_cast<const jet::Error*>(&e)) {
        // A row the list refuses is left out; the next row is taken.
        if (jetError->number() == jet::ErrDuplicateKey) {
            ++m_result.repeated;
            return true;
        }
        LogError(m_ctx, kModule, errorInfo(*jetError), false);
        failWith(jetError->description());
        return false;
    }
    LogError(m_ctx, kModule, errorInfo(e), false);
    failWith(QString::fromUtf8(e.what()));
    return false;
}

void DatabaseImport::commitIfDue(qint64 count) {
    if (count < kRowsPerTransaction) return;
    m_db->commit();
    m_db->beginTransaction();
    if (m_noAddressDb) {
        m_noAddressDb->commit();
        m_noAddressDb->beginTransaction();
    }
    m_sinceCommit = 0;
}

void DatabaseImport::cancel() {
    m_cancel = true;
    if (m_building) finish(true);
}

void DatabaseImport::finish(bool failed) {
    if (!m_building) return;
    m_building = false;
    m_result.interrupted = m_interrupt && !m_cancel;
    m_result.cancelled = m_cancel;
    const QString path = m_result.path;
    const QString companion = m_result.companion;
    try {
        m_insert.reset();
        m_stage.reset();
        m_noAddressInsert.reset();
        m_rows.reset(); // the filtered read holds a statement on the list's connection
        for (jet::Database* db : {m_db.get(), m_noAddressDb.get()}) {
            if (!db) continue;
            if (failed) {
                db->rollback();
            } else {
                db->commit();
                if (db->hasTable(kStagingTable))
                    db->execute(QStringLiteral("DROP TABLE ") + kStagingTable, true);
            }
            db->close();
        }
    } catch (const std::exception& e) {
        LogError(m_ctx, kModule, errorInfo(e), false);
        if (!failed) failWith(QString::fromUtf8(e.what()));
        failed = true;
    }
    m_db.reset();
    m_noAddressDb.reset();
    if (failed || m_cancel) {
        jet::removeDatabase(path);
        if (!companion.isEmpty()) jet::removeDatabase(companion);
        m_result.path.clear();
        m_result.companion.clear();
    } else if (!companion.isEmpty()) {
        QString caption = m_caption.isEmpty() ? QStringLiteral("Untitled Mailing List") : m_caption;
        if (!caption.contains(QLatin1String("(No Addresses)"))) caption += QStringLiteral(" (No Addresses)");
        m_ctx.windows().openListWindow(caption, companion);
    }
    m_result.rowsLeft = m_result.path.isEmpty() ? 0 : m_result.imported;
    Q_EMIT progress(m_result.rowsRead);
    Q_EMIT finished();
}

DatabaseImport::Result DatabaseImport::run(std::unique_ptr<sr::RowCursor> rows, const ImportMapping& mapping,
                                           const QString& filter, const QString& caption) {
    QEventLoop loop;
    const auto connection = connect(this, &DatabaseImport::finished, &loop, &QEventLoop::quit);
    if (start(std::move(rows), mapping, filter, caption) && m_building) loop.exec();
    disconnect(connection);
    return m_result;
}

} // namespace sendora
