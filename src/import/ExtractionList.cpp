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

} // namespace

// The addresses offered lately, folded, packed one after another in one array and found through
// a small table of hashes: a repeated address costs two reads of memory that stays in the cache.
// Emptied when it holds kRecentLimit addresses.
class ExtractionList::Recent {
public:
    // Whether the address was offered before; when not, it is now.
    bool offer(QStringView address) { return find(address, true); }
    bool contains(QStringView address) { return find(address, false); }
    void clear() {
        m_slots.assign(kFirstSlots, Slot{});
        m_keys.clear();
        m_count = 0;
        m_lastLength = -1;
    }

private:
    static constexpr size_t kFirstSlots = 4096;
    struct Slot {
        quint32 hash = 0;
        quint32 at = 0; // where the key's length is in m_keys, plus one; 0 for a free slot
    };

    bool find(QStringView address, bool add) {
        const qsizetype n = address.size();
        if (n > kMaxValueLength) return false; // never stored, never kept
        // The key's collation: letter case ignored for ASCII only, as the list's key compares.
        char16_t key[kMaxValueLength];
        quint64 h = 0x9E3779B97F4A7C15ull * quint64(n + 1);
        for (qsizetype i = 0; i < n; ++i) {
            char16_t c = address[i].unicode();
            if (c >= u'A' && c <= u'Z') c = char16_t(c + 32);
            key[i] = c;
            h = (h ^ c) * 0x100000001B3ull;
        }
        const auto hash = quint32(h ^ (h >> 32));
        // A message names its sender several times in a row: the last address is compared first.
        if (hash == m_lastHash && n == m_lastLength && std::equal(key, key + n, m_last)) return true;
        if (m_slots.empty()) clear();
        const size_t mask = m_slots.size() - 1;
        size_t i = hash & mask;
        for (;; i = (i + 1) & mask) {
            const Slot& s = m_slots[i];
            if (s.at == 0) break;
            if (s.hash == hash && m_keys[s.at - 1] == n && std::equal(key, key + n, m_keys.data() + s.at)) {
                remember(key, n, hash);
                return true;
            }
        }
        if (!add) return false;
        if (m_count >= kRecentLimit) {
            clear();
            return find(address, true);
        }
        const auto at = quint32(m_keys.size() + 1);
        m_keys.push_back(char16_t(n));
        m_keys.insert(m_keys.end(), key, key + n);
        m_slots[i] = {hash, at};
        if (++m_count * 2 > qsizetype(m_slots.size())) grow();
        remember(key, n, hash);
        return false;
    }
    void remember(const char16_t* key, qsizetype n, quint32 hash) {
        std::copy(key, key + n, m_last);
        m_lastLength = n;
        m_lastHash = hash;
    }
    // Twice the slots, at most half of them used.
    void grow() {
        std::vector<Slot> old(m_slots.size() * 2);
        old.swap(m_slots);
        const size_t mask = m_slots.size() - 1;
        for (const Slot& s : old) {
            if (s.at == 0) continue;
            size_t i = s.hash & mask;
            while (m_slots[i].at != 0)
                i = (i + 1) & mask;
            m_slots[i] = s;
        }
    }

    std::vector<Slot> m_slots;
    std::vector<char16_t> m_keys;
    qsizetype m_count = 0;
    char16_t m_last[kMaxValueLength]; // the last address offered, always among the others
    qsizetype m_lastLength = -1;
    quint32 m_lastHash = 0;
};

ExtractionList::ExtractionList(AppContext& ctx) : m_ctx(ctx), m_recent(std::make_unique<Recent>()) {}

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
            m_recent->clear();
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
    // Mail repeats the same few addresses; those already offered skip the database.
    if (m_recent->offer(address)) return;
    m_batch.push_back({address, cell(firstName), cell(lastName), m_keyword1, m_keyword2,
                       m_date.isNull() ? cell({}) : m_date});
    if (m_batch.size() >= kBatchRows) handOver();
}

bool ExtractionList::ignores(const QString& address) const {
    if (!m_writer) return false; // the next store opens the list
    if (address.size() > kMaxValueLength || m_writer->broken()) return true;
    return m_recent->contains(address);
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
