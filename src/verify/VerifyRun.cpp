#include "verify/VerifyRun.h"

#include "components/addressverifier/AddressVerifier.h"
#include "components/jet/Jet.h"
#include "core/AppContext.h"
#include "core/ErrorLog.h"
#include "core/ListActions.h"
#include "import/AddressRules.h"

#include <QLocale>
#include <QPointer>
#include <algorithm>
#include <stdexcept>

namespace sendora::verify {

namespace {

const QString kForcedTimeoutInsert = QStringLiteral("Unknown -- Forced Timeout");
const QString kForcedTimeoutKeyword = QStringLiteral("Forced Timeout");

QString slotText(size_t i) {
    return QStringLiteral("P: (") + QString::number(i + 1) + QStringLiteral(") ");
}

} // namespace

QString verifyInsert(const QString& address, const QString& first, const QString& last, const QString& date,
                     const QString& verdict) {
    return QStringLiteral("INSERT INTO AddressList(EAddress,FirstName,LastName,VerifyDate,Verify) VALUES(") +
           jet::quote(address) + QStringLiteral(" ,") + jet::quote(first) + QStringLiteral(", ") +
           jet::quote(last) + QStringLiteral(", ") + jet::quote(date) + QStringLiteral(", ") +
           jet::quote(verdict) + QStringLiteral(");");
}

QString verifyUpdate(const QString& address, const QString& verdict) {
    return QStringLiteral("UPDATE [AddressList] SET [Keyword2] = ") + jet::quote(verdict) +
           QStringLiteral(" WHERE [EAddress] = ") + jet::quote(address) + u';';
}

VerifyRun::VerifyRun(AppContext& ctx, CheckFactory factory, QObject* parent)
    : QObject(parent), m_ctx(ctx), m_factory(std::move(factory)), m_log(ctx) {
    m_log.now = [this] { return now(); };
    m_timer.setInterval(100);
    connect(&m_timer, &QTimer::timeout, this, &VerifyRun::tick);
}

VerifyRun::~VerifyRun() {
    m_timer.stop();
    closeAll();
}

VerifyRun::Start VerifyRun::start(const QString& listName, VerifyMode mode) {
    if (running()) return Start::Failed;
    const VerifyConfigValues cfg = loadVerifyConfig(m_ctx);
    m_mode = mode;
    m_forcedTimeout = cfg.forcedTimeout;
    m_failure.clear();
    m_newListPath.clear();
    m_queue.clear();
    m_logStarted = false;
    m_log.facts = VerifyLogFacts{listName,     cfg.primaryDns,    cfg.secondaryDns, cfg.domain,
                                 cfg.mailFrom, cfg.forcedTimeout, cfg.numberEmails, {}};
    auto logLine = [this](const QString& line) {
        m_log.LogSend(line, !m_logStarted);
        m_logStarted = true;
    };
    try {
        OpenedList opened = OpenList(m_ctx, listName);
        if (!opened.db) return Start::NoList;
        if (opened.recordCount == 0) {
            opened.rows.reset();
            m_ctx.ui->message(QStringLiteral("No records in selected list to verify"), Buttons::OK,
                              Icon::Information);
            logLine(QStringLiteral("P: No Records in selected list..."));
            return Start::NoRecords;
        }
        for (opened.rows->moveFirst(); !opened.rows->eof(); opened.rows->moveNext())
            m_queue.enqueue({opened.rows->value(QStringLiteral("EAddress")).toString(),
                             opened.rows->value(QStringLiteral("FirstName")).toString(),
                             opened.rows->value(QStringLiteral("LastName")).toString()});
        opened.rows.reset();
        if (mode == VerifyMode::NewList) {
            logLine(QStringLiteral("P: Starting List Verification for Creating New List..."));
            m_newListPath = NewTempListPath(m_ctx);
            jet::removeDatabase(m_newListPath);
            m_newList = jet::Database::create(m_newListPath);
            m_newList->execute(kVerifyNewListCreate, true);
        } else {
            const Answer a = m_ctx.ui->message(
                QStringLiteral(
                    "You are updating a list, if there is an problem with an email address, an entry "
                    "will be made to the KEYWORD2 field.\r\n\r\nAny existing data in the KEYWORD2 "
                    "field will be OVERWRITTEN."),
                Buttons::YesNo, Icon::Question, QStringLiteral("Are you sure you wish to proceed?"));
            if (a != Answer::Yes) {
                m_queue.clear();
                return Start::Declined;
            }
            logLine(QStringLiteral("P: Starting List Verification for Updating Existing List..."));
            m_list = std::move(opened.db);
        }
        createPool(cfg);
    } catch (const std::exception& e) {
        m_queue.clear();
        closeAll();
        if (!m_newListPath.isEmpty()) jet::removeDatabase(m_newListPath);
        m_newListPath.clear();
        LogError(m_ctx, QStringLiteral("frmVerifyList in cmdVerify_Click()-- ") + errorInfo(e).description,
                 errorInfo(e), true);
        return Start::Failed;
    }
    m_timer.start();
    return Start::Started;
}

void VerifyRun::createPool(const VerifyConfigValues& cfg) {
    m_pool.clear();
    m_pool.resize(size_t(cfg.numberEmails));
    // Every slot gets the settings: a slot left unconfigured would check with empty values.
    for (Slot& s : m_pool) {
        s.check = m_factory ? m_factory() : nullptr;
        if (!s.check) throw std::runtime_error("No address verifier could be created.");
        s.check->setEnabled(true);
        s.check->setOption(0);
        if (!cfg.mailFrom.isEmpty()) s.check->setMailFrom(cfg.mailFrom);
        if (!cfg.primaryDns.isEmpty()) s.check->setPrimaryDns(cfg.primaryDns);
        if (!cfg.secondaryDns.isEmpty()) s.check->setSecondaryDns(cfg.secondaryDns);
        if (!cfg.domain.isEmpty()) s.check->setDomainName(cfg.domain);
    }
}

void VerifyRun::record(const Record& r, const QString& newListVerdict, const QString& keyword2) {
    if (m_mode == VerifyMode::NewList) {
        const QString date = QLocale::c().toString(now(), QStringLiteral("M/d/yyyy h:mm:ss AP"));
        try {
            m_newList->execute(verifyInsert(r.address, r.first, r.last, date, newListVerdict), true);
        } catch (const jet::Error& e) {
            // The table's key refuses a second row for an address already verified.
            if (e.number() != jet::ErrDuplicateKey) throw;
        }
    } else {
        m_list->execute(verifyUpdate(r.address, keyword2), true);
        if (m_list->recordsAffected() < 1)
            throw std::runtime_error(
                QStringLiteral("The record of %1 could not be updated.").arg(r.address).toStdString());
    }
}

void VerifyRun::tick() {
    if (!running()) return;
    try {
        const QDateTime t = now();
        for (size_t i = 0; i < m_pool.size() && running(); ++i) {
            Slot& s = m_pool[i];
            if (s.busy && s.check->state() == verifier::Done) {
                const QString verdict = s.check->verdict();
                m_log.LogSend(slotText(i) + QStringLiteral("Result...") + verdict);
                m_log.LogSend(slotText(i) + QStringLiteral("Log...") + s.check->logText());
                s.busy = false;
                s.check->abandon();
                record(s.record, verdict, verdict);
                m_log.facts.counts.add(verdict);
                Q_EMIT progress(recordsVerified());
            } else if (s.busy && s.started.secsTo(t) > m_forcedTimeout) {
                m_log.LogSend(slotText(i) + QStringLiteral("Forced Timeout - Check exceeded ") +
                              QString::number(m_forcedTimeout) + QStringLiteral(" seconds"));
                s.check->abandon();
                s.busy = false;
                record(s.record, kForcedTimeoutInsert, kForcedTimeoutKeyword);
                m_log.facts.counts.add(kForcedTimeoutKeyword);
                Q_EMIT progress(recordsVerified());
            }
            if (!s.busy && !m_queue.isEmpty()) {
                s.record = m_queue.dequeue();
                m_log.LogSend(slotText(i) + QStringLiteral("Checking address...") + s.record.address);
                s.started = t;
                s.busy = true;
                s.check->check(s.record.address);
            }
        }
    } catch (const std::exception& e) {
        fail(errorInfo(e).description);
        return;
    }
    if (m_queue.isEmpty() && std::none_of(m_pool.begin(), m_pool.end(), [](const Slot& s) { return s.busy; }))
        finish();
}

void VerifyRun::finish() {
    m_timer.stop();
    m_log.LogSend(QStringLiteral("P: Ending List Verification..."), false, true);
    m_log.LogSend(QStringLiteral("P: List Verification Complete"));
    m_pool.clear();
    m_list.reset();
    if (m_newList) {
        m_newList->close();
        m_newList.reset();
        if (showNewList) showNewList(m_newListPath);
    }
    if (showSummary) {
        QStringList lines;
        for (const auto& [verdict, n] : counts().rows())
            lines << verdict + QStringLiteral(": ") + QString::number(n);
        lines << QStringLiteral("Records Verified: ") + QString::number(recordsVerified());
        m_ctx.ui->message(lines.join(QStringLiteral("\r\n")), Buttons::OK, Icon::Information,
                          QStringLiteral("Verified Addresses Summary"));
    }
    Q_EMIT finished(true);
}

void VerifyRun::fail(const QString& error) {
    m_timer.stop();
    m_failure = error;
    for (Slot& s : m_pool)
        if (s.check) s.check->abandon();
    m_ctx.ui->message(
        QStringLiteral("An error has occured while trying to create a Verified Address List.\r\n") + error,
        Buttons::OK, Icon::Critical);
    m_log.LogSend(QStringLiteral("P: List Verification stopped because of error"));
    LogError(m_ctx, QStringLiteral("frmVerifyList in VerifyTimer_Timer()-- ") + error, {0, error}, false);
    closeAll();
    if (!m_newListPath.isEmpty()) jet::removeDatabase(m_newListPath);
    m_newListPath.clear();
    Q_EMIT finished(false);
}

bool VerifyRun::requestExit() {
    if (!running()) return true;
    const Answer a = m_ctx.ui->message(
        QStringLiteral(
            "If you are updating a list, all records verified to this point, will be updated.\r\nIf you "
            "are creating a new list, exiting will cause all verifications to be lost."),
        Buttons::YesNo, Icon::Question, QStringLiteral("Are you sure you wish to exit?"));
    if (a != Answer::Yes) return false;
    m_timer.stop();
    m_log.LogSend(QStringLiteral("P: List Verification Exited"));
    closeAll();
    if (!m_newListPath.isEmpty()) jet::removeDatabase(m_newListPath);
    m_newListPath.clear();
    Q_EMIT finished(false);
    return true;
}

void VerifyRun::closeAll() {
    for (Slot& s : m_pool)
        if (s.check) s.check->abandon();
    m_pool.clear();
    m_queue.clear();
    if (m_list) m_list->close();
    m_list.reset();
    if (m_newList) m_newList->close();
    m_newList.reset();
}

} // namespace sendora::verify

namespace sendora::verify {

CheckFactory networkChecks(QObject* owner) {
    QPointer<verifier::VerifierEngine> engine =
        new verifier::VerifierEngine([](QStringView a) { return IsValidEmailAddress(a); }, owner);
    return [engine]() -> std::unique_ptr<verifier::AddressCheck> {
        return engine ? engine->createCheck() : nullptr;
    };
}

} // namespace sendora::verify

namespace sendora::verify {

QStringList verifiableLists(AppContext& ctx) {
    QStringList names;
    try {
        auto db = jet::Database::open(ctx.paths.systemDatabase(), jet::Database::OpenMode::ReadOnly);
        auto rs = db->openRecordset(QStringLiteral("SELECT ListName FROM List ORDER BY ListName"));
        for (; !rs->eof(); rs->moveNext())
            names << rs->value(0).toString();
    } catch (const std::exception& e) {
        LogError(ctx, QStringLiteral("LoadVERIFYWizard in frmVerifyList"), errorInfo(e), false);
    }
    return names;
}

} // namespace sendora::verify
