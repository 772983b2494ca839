#include "import/ExtractionList.h"

#include "components/jet/Jet.h"
#include "core/AppContext.h"
#include "core/ErrorLog.h"
#include "core/ListActions.h"

#include <QFile>
#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <sqlite3.h>
#include <thread>

namespace sendora {

namespace {

// A value as the row keeps it: cut to 254 characters, empty text rather than a missing value.
QString cell(const QString& value) {
    return value.isNull() ? QStringLiteral("") : value.left(ExtractionList::kMaxValueLength);
}

// The key's collation: letter case ignored for ASCII only, as the list's key compares.
QString asciiLower(const QString& text) {
    const auto upper = [](QChar c) { return c >= u'A' && c <= u'Z'; };
    if (std::none_of(text.begin(), text.end(), upper)) return text; // shared, not copied
    QString key = text;
    for (QChar& c : key)
        if (upper(c)) c = QChar(c.unicode() + 32);
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

// Owns the list's connection while it is open and stores the batches handed to it.
class ExtractionList::Writer {
public:
    static constexpr size_t kQueuedBatches = 8;

    Writer(std::unique_ptr<jet::Database> db, std::unique_ptr<jet::Statement> insert,
           std::atomic<qint64>& rows)
        : m_db(std::move(db)), m_insert(std::move(insert)), m_rows(rows) {
        m_thread = std::thread([this] { run(); });
    }

    // Waits while the queue is full: the writer empties it at its own pace.
    void push(std::vector<Row>&& batch) {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_queue.size() < kQueuedBatches; });
        m_queue.push_back(std::move(batch));
        m_changed.notify_all();
    }
    // Everything handed over is stored and committed when this returns.
    void commit() {
        std::unique_lock lock(m_mutex);
        m_commitWanted = true;
        m_changed.notify_all();
        m_changed.wait(lock, [this] { return !m_commitWanted; });
    }
    // Stores what is left, commits and closes; the failure, if any.
    std::pair<QString, int> finish() {
        {
            std::lock_guard lock(m_mutex);
            m_closing = true;
            m_changed.notify_all();
        }
        m_thread.join();
        try {
            // After a failed insert the rows before it are still worth keeping.
            m_insert.reset();
            m_db->commit();
            m_db->close();
        } catch (const jet::Error& e) {
            if (m_errorNumber == 0) return {e.description(), e.number()};
        } catch (const std::exception& e) {
            if (m_errorNumber == 0) return {QString::fromLocal8Bit(e.what()), jet::ErrGeneric};
        }
        return {m_error, m_errorNumber};
    }
    bool broken() const { return m_broken.load(std::memory_order_relaxed); }

private:
    void run() {
        int pending = 0;
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_changed.wait(lock, [this] { return !m_queue.empty() || m_closing || m_commitWanted; });
            if (!m_queue.empty()) {
                std::vector<Row> batch = std::move(m_queue.front());
                m_queue.pop_front();
                m_changed.notify_all();
                lock.unlock();
                for (const Row& row : batch)
                    if (store(row) && ++pending >= kRowsPerTransaction) pending = commitNow() ? 0 : pending;
                lock.lock();
                continue;
            }
            if (m_commitWanted) {
                lock.unlock();
                if (pending > 0 && commitNow()) pending = 0;
                lock.lock();
                m_commitWanted = false;
                m_changed.notify_all();
                continue;
            }
            return; // closing with nothing left
        }
    }
    bool store(const Row& row) {
        if (m_errorNumber != 0) return false;
        try {
            m_insert->bind(1, row.address);
            m_insert->bind(2, row.firstName);
            m_insert->bind(3, row.lastName);
            // A bound value stays bound from row to row: the values a whole file shares are bound
            // once, which saves most of the writer's time.
            const QString* shared[] = {&row.keyword1, &row.keyword2, &row.date, &kSent};
            for (int i = 0; i < 4; ++i) {
                QString& last = m_sharedBound[i];
                if (m_sharedValid && last.isNull() == shared[i]->isNull() && last == *shared[i]) continue;
                m_sharedValid = false;
                m_insert->bind(4 + i, *shared[i]);
                last = *shared[i];
            }
            m_sharedValid = true;
            m_rows += m_insert->execute();
            return true;
        } catch (const jet::Error& e) {
            if (e.number() != jet::ErrDuplicateKey) failed(e.description(), e.number());
        } catch (const std::exception& e) {
            failed(QString::fromLocal8Bit(e.what()), jet::ErrGeneric);
        }
        return false;
    }
    bool commitNow() {
        if (m_errorNumber != 0) return false;
        try {
            m_db->commit();
            m_db->beginTransaction();
            return true;
        } catch (const jet::Error& e) {
            failed(e.description(), e.number());
        } catch (const std::exception& e) {
            failed(QString::fromLocal8Bit(e.what()), jet::ErrGeneric);
        }
        return false;
    }
    // What was committed stays; nothing more is stored.
    void failed(const QString& description, int number) {
        m_error = description;
        m_errorNumber = number;
        m_broken = true;
    }

    std::unique_ptr<jet::Database> m_db;
    std::unique_ptr<jet::Statement> m_insert;
    std::atomic<qint64>& m_rows;
    std::thread m_thread;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::vector<Row>> m_queue;
    bool m_commitWanted = false;
    bool m_closing = false;
    inline static const QString kSent = QStringLiteral("");
    QString m_sharedBound[4]; // Keyword1, Keyword2, Date and Sent as bound now
    bool m_sharedValid = false;
    QString m_error; // written and read by the writer, read by finish() after the join
    int m_errorNumber = 0;
    std::atomic<bool> m_broken = false; // m_errorNumber as the scanning thread may read it
};

bool ExtractionList::failed() const {
    return m_failed || (m_writer && m_writer->broken());
}

void ExtractionList::setKeywords(const QString& keyword1, const QString& keyword2) {
    m_keyword1 = cell(keyword1);
    m_keyword2 = cell(keyword2);
}

void ExtractionList::logFailure(const QString& description, int number) {
    // Logged once; what was committed stays, and the build reports the failure when it ends.
    if (!m_failed) {
        LogError(m_ctx, QStringLiteral("AddToTempList in EmailParser"), ErrorInfo{number, description},
                 false);
        m_failureText = description;
    }
    m_failed = true;
}

bool ExtractionList::open(bool fresh) {
    std::unique_ptr<jet::Database> db;
    try {
        if (fresh || m_path.isEmpty()) {
            m_path = NewTempListPath(m_ctx);
            m_rows = 0;
            m_failed = false;
            m_failureText.clear();
            m_recent.clear();
            m_lastKey.clear();
            jet::removeDatabase(m_path);
            db = jet::Database::create(m_path, jet::Database::Durability::Scratch);
            db->execute(
                QStringLiteral("CREATE TABLE AddressList (EAddress TEXT(255) NOT NULL, FirstName TEXT(255), "
                               "LastName TEXT(255), Title TEXT(255), Sent TEXT(255), [Date] TEXT(255), "
                               "Keyword1 TEXT(255), Keyword2 TEXT(255));"));
            for (const char* column :
                 {"FirstName", "LastName", "Title", "Sent", "Date", "Keyword1", "Keyword2"})
                db->setAllowZeroLength(QStringLiteral("AddressList"), QLatin1String(column), true);
            db->execute(
                QStringLiteral("ALTER TABLE AddressList ADD CONSTRAINT MyPrKey PRIMARY KEY (EAddress);"));
        } else if (!m_failed) {
            db = jet::Database::open(m_path);
        } else {
            return false;
        }
        // Addresses arrive in no order: a cache that holds the key's pages keeps inserts off the disk.
        sqlite3_exec(db->handle(), "PRAGMA cache_size=-32768", nullptr, nullptr, nullptr);
        auto insert = db->prepareStatement(
            QStringLiteral(
                "INSERT INTO AddressList (EAddress, FirstName, LastName, Keyword1, Keyword2, [Date], "
                "SENT) VALUES (%1, %2, %3, %4, %5, %6, %7)")
                .arg(jet::param(1), jet::param(2), jet::param(3), jet::param(4), jet::param(5), jet::param(6),
                     jet::param(7)));
        db->beginTransaction();
        m_writer = std::make_unique<Writer>(std::move(db), std::move(insert), m_rows);
        return true;
    } catch (const jet::Error& e) {
        logFailure(e.description(), e.number());
    } catch (const std::exception& e) {
        logFailure(QString::fromLocal8Bit(e.what()), jet::ErrGeneric);
    }
    return false;
}

void ExtractionList::storeAddress(const QString& address, const QString& firstName, const QString& lastName,
                                  bool openList) {
    if (openList) Close();
    if (!m_writer && !open(openList)) return;
    if (address.size() > kMaxValueLength || m_writer->broken()) return;
    // Mail repeats the same few addresses; those already offered skip the database. The last one
    // (a message's envelope, Return-Path and From: name the same sender) is always among them.
    QString key = asciiLower(address);
    if (!m_lastKey.isNull() && key == m_lastKey) return;
    if (m_recent.contains(key)) {
        m_lastKey = std::move(key);
        return;
    }
    if (m_recent.size() >= kRecentLimit) m_recent.clear();
    m_recent.insert(key);
    m_lastKey = std::move(key);
    m_batch.push_back({address, cell(firstName), cell(lastName), m_keyword1, m_keyword2,
                       m_date.isNull() ? cell({}) : m_date});
    if (m_batch.size() >= kBatchRows) handOver();
}

bool ExtractionList::ignores(const QString& address) const {
    if (!m_writer) return false; // the next store opens the list
    if (address.size() > kMaxValueLength || m_writer->broken()) return true;
    const QString key = asciiLower(address);
    return (!m_lastKey.isNull() && key == m_lastKey) || m_recent.contains(key);
}

void ExtractionList::handOver() {
    if (m_batch.empty() || !m_writer) return;
    m_writer->push(std::move(m_batch));
    m_batch = {};
    m_batch.reserve(kBatchRows);
}

void ExtractionList::Commit() {
    if (!m_writer) return;
    handOver();
    m_writer->commit();
}

void ExtractionList::Close() {
    if (!m_writer) return;
    handOver();
    const auto [description, number] = m_writer->finish();
    m_writer.reset();
    if (number != 0) logFailure(description, number);
}

} // namespace sendora
