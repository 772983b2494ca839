#include "import/ExtractionList.h"

#include "components/jet/Jet.h"
#include "core/AppContext.h"
#include "core/ErrorLog.h"
#include "core/ListActions.h"

#include <QFile>

namespace sendora {

namespace {

// A value as the row keeps it: cut to 254 characters, empty text rather than a missing value.
QString cell(const QString& value) {
    return value.isNull() ? QStringLiteral("") : value.left(ExtractionList::kMaxValueLength);
}

// The key's collation: letter case ignored for ASCII only, as the list's key compares.
QString asciiLower(const QString& text) {
    QString key = text;
    for (QChar& c : key)
        if (c >= u'A' && c <= u'Z') c = QChar(c.unicode() + 32);
    return key;
}

} // namespace

ExtractionList::ExtractionList(AppContext& ctx) : m_ctx(ctx) {}

void ExtractionList::setDate(const QString& date) {
    m_date = cell(date);
}

ExtractionList::~ExtractionList() {
    Close();
}

void ExtractionList::setKeywords(const QString& keyword1, const QString& keyword2) {
    m_keyword1 = cell(keyword1);
    m_keyword2 = cell(keyword2);
}

void ExtractionList::fail(const std::exception& e) {
    // Logged once; the scan goes on counting, and what was committed stays.
    if (!m_failed) LogError(m_ctx, QStringLiteral("AddToTempList in EmailParser"), errorInfo(e), false);
    m_failed = true;
    m_insert.reset();
    m_db.reset();
}

bool ExtractionList::open(bool fresh) {
    try {
        if (fresh || m_path.isEmpty()) {
            m_path = NewTempListPath(m_ctx);
            m_rows = 0;
            m_failed = false;
            m_recent.clear();
            jet::removeDatabase(m_path);
            m_db = jet::Database::create(m_path, jet::Database::Durability::Scratch);
            m_db->execute(QStringLiteral("CREATE TABLE AddressList (EAddress TEXT(255) NOT NULL, FirstName "
                                         "TEXT(255), LastName TEXT(255), "
                                         "Title TEXT(255), Sent TEXT(255), [Date] TEXT(255), Keyword1 "
                                         "TEXT(255), Keyword2 TEXT(255));"));
            for (const char* column :
                 {"FirstName", "LastName", "Title", "Sent", "Date", "Keyword1", "Keyword2"})
                m_db->setAllowZeroLength(QStringLiteral("AddressList"), QLatin1String(column), true);
            m_db->execute(
                QStringLiteral("ALTER TABLE AddressList ADD CONSTRAINT MyPrKey PRIMARY KEY (EAddress);"));
        } else if (!m_failed) {
            m_db = jet::Database::open(m_path);
        } else {
            return false;
        }
        m_insert = m_db->prepareStatement(
            QStringLiteral(
                "INSERT INTO AddressList (EAddress, FirstName, LastName, Keyword1, Keyword2, [Date], "
                "SENT) VALUES (%1, %2, %3, %4, %5, %6, %7)")
                .arg(jet::param(1), jet::param(2), jet::param(3), jet::param(4), jet::param(5), jet::param(6),
                     jet::param(7)));
        m_db->beginTransaction();
        m_pending = 0;
        return true;
    } catch (const std::exception& e) {
        fail(e);
        return false;
    }
}

void ExtractionList::storeAddress(const QString& address, const QString& firstName, const QString& lastName,
                                  bool openList) {
    if (openList) Close();
    if (!m_db && !open(openList)) return;
    if (address.size() > kMaxValueLength) return;
    // Mail repeats the same few addresses; those already stored skip the database.
    QString key = asciiLower(address);
    if (m_recent.contains(key)) return;
    if (m_recent.size() >= kRecentLimit) m_recent.clear();
    m_recent.insert(std::move(key));
    try {
        m_insert->bind(1, address);
        m_insert->bind(2, cell(firstName));
        m_insert->bind(3, cell(lastName));
        m_insert->bind(4, m_keyword1);
        m_insert->bind(5, m_keyword2);
        m_insert->bind(6, m_date.isNull() ? cell({}) : m_date);
        m_insert->bind(7, QStringLiteral(""));
        m_rows += m_insert->execute();
        if (++m_pending >= kRowsPerTransaction) Commit();
    } catch (const jet::Error& e) {
        if (e.number() != jet::ErrDuplicateKey) fail(e);
    } catch (const std::exception& e) {
        fail(e);
    }
}

void ExtractionList::Commit() {
    if (!m_db) return;
    try {
        m_db->commit();
        m_db->beginTransaction();
        m_pending = 0;
    } catch (const std::exception& e) {
        fail(e);
    }
}

void ExtractionList::Close() {
    if (!m_db) return;
    try {
        m_insert.reset();
        m_db->commit();
        m_db->close();
    } catch (const std::exception& e) {
        fail(e);
    }
    m_db.reset();
}

} // namespace sendora
