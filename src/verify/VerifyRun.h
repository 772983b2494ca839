#pragma once
// One verification run over an address list: a pool of verifier slots polled by a clock,
// each check abandoned after the forced time-out, every result written as it comes (a row
// of the new list, or Keyword2 of the checked list) and logged to VerifyLog.log.

#include "components/addressverifier/AddressCheck.h"
#include "verify/VerifyConfig.h"
#include "verify/VerifyLog.h"

#include <QDateTime>
#include <QObject>
#include <QQueue>
#include <QTimer>
#include <functional>
#include <memory>
#include <vector>

namespace jet {
class Database;
}

namespace sendora {
struct AppContext;
}

namespace sendora::verify {

enum class VerifyMode { NewList, UpdateList };

inline const QString kVerifyNewListCreate = QStringLiteral(
    "CREATE TABLE AddressList(EAddress TEXT(255) CONSTRAINT EAddress PRIMARY KEY, FirstName TEXT(255), "
    "LastName TEXT(255), VerifyDate TEXT(50), Verify TEXT(255));");

QString verifyInsert(const QString& address, const QString& first, const QString& last, const QString& date,
                     const QString& verdict);
QString verifyUpdate(const QString& address, const QString& verdict);

using CheckFactory = std::function<std::unique_ptr<verifier::AddressCheck>()>;

class VerifyRun : public QObject {
    Q_OBJECT
public:
    enum class Start { Started, NoList, NoRecords, Declined, Failed };

    VerifyRun(AppContext& ctx, CheckFactory factory, QObject* parent = nullptr);
    ~VerifyRun() override;

    // Opens the list and starts the clock; asks first in update mode.
    Start start(const QString& listName, VerifyMode mode);
    bool running() const { return m_timer.isActive(); }
    // Closing during a run asks first; true when the run is (now) stopped.
    bool requestExit();

    const VerifyCounts& counts() const { return m_log.facts.counts; }
    qint64 recordsVerified() const { return m_log.facts.counts.processed(); }
    // New-list mode, after a completed run: the temporary list holding every verdict.
    QString newListPath() const { return m_newListPath; }
    // The error that stopped the run, empty otherwise.
    QString failure() const { return m_failure; }
    VerifyLog& log() { return m_log; }

    std::function<QDateTime()> now = [] { return QDateTime::currentDateTime(); };
    bool showSummary = true;
    // New-list mode: shows the finished list (a list window); unset, the list stays where it is.
    std::function<void(const QString& file)> showNewList;
    void setTickInterval(int ms) { m_timer.setInterval(ms); }
    void tick();

Q_SIGNALS:
    void progress(qint64 verified);
    // completed: the queue ran dry; false after an error or an exit.
    void finished(bool completed);

private:
    struct Record {
        QString address, first, last;
    };
    struct Slot {
        std::unique_ptr<verifier::AddressCheck> check;
        bool busy = false;
        Record record;
        QDateTime started;
    };

    void createPool(const VerifyConfigValues& cfg);
    void record(const Record& r, const QString& newListVerdict, const QString& keyword2);
    void finish();
    void fail(const QString& error);
    void closeAll();

    AppContext& m_ctx;
    CheckFactory m_factory;
    VerifyLog m_log;
    QTimer m_timer;
    VerifyMode m_mode = VerifyMode::NewList;
    int m_forcedTimeout = kMinForcedTimeout;
    QQueue<Record> m_queue;
    std::vector<Slot> m_pool;
    std::unique_ptr<jet::Database> m_list;
    std::unique_ptr<jet::Database> m_newList;
    QString m_newListPath;
    QString m_failure;
    bool m_logStarted = false;
};

} // namespace sendora::verify

namespace sendora::verify {
// Slots on one network verifier engine owned by owner; addresses judged by the import rules.
CheckFactory networkChecks(QObject* owner);
} // namespace sendora::verify

namespace sendora::verify {
// The lists of the system database, by name (logged and empty on error).
QStringList verifiableLists(AppContext& ctx);
} // namespace sendora::verify
