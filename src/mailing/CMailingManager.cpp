#include "mailing/CMailingManager.h"

#include "components/directrelay/DirectSend.h"
#include "components/jet/Jet.h"
#include "core/AppContext.h"
#include "core/ErrorLog.h"
#include "mailing/SendMDBList.h"
#include "mailing/compose/ListMessageSource.h"
#include "mailing/relay/RelaySend.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QLockFile>

namespace sendora {

const QString kBlankListText = QStringLiteral(
    "This address list is blank or has been used with a previous\r\nmailing and all emails have been "
    "marked as SENT. To use this address\r\nlist again either blank out the sent field in the address "
    "list or\r\nmodify the delivery options ( Step 5 of 7 ).");
const QString kNoMatchingAddresses = QStringLiteral(
    "No messages were sent because there were no addresses that \r\nmatched the 'Selection Criteria' in "
    "this mailing's Delivery Options.\r\n\r\nPlease review this mailing's Delivery Options before "
    "attempting to send.");

namespace {

const QString kInitError = QStringLiteral("The following error has occured in CMailingManager_init. ");

// The engine's composer over the relay session's composition path.
class ListComposer : public direct::MessageComposer {
public:
    explicit ListComposer(ListMessageSource& source) : m_source(source) {}
    bool personalised() const override { return m_source.personalised(); }
    QByteArray personal(const QString& address) override { return m_source.messageFor(address); }
    QByteArray shared(const QString& firstAddress) override { return m_source.messageFor(firstAddress); }

private:
    ListMessageSource& m_source;
};

bool flag(const QVariant& v) {
    return v.toLongLong() != 0;
}

} // namespace

QString directSelectionStatement(const DirectSelection& s) {
    const QString top = QStringLiteral("SELECT TOP %1 * FROM AddressList").arg(s.blockSize);
    const QString check = jet::quote(s.sentFlagToCheck);
    if (s.blocks) {
        if (s.filtered && s.notYetFlagged && !s.filter.isEmpty())
            return top + u' ' + s.filter + QStringLiteral(" AND  Sent <> ") + check + u';';
        if (s.filtered && s.notYetFlagged) return top + QStringLiteral(" WHERE SENT <> ") + check + u';';
        if (s.filtered) return top + u' ' + s.filter;
        if (s.notYetFlagged)
            return top + QStringLiteral(" WHERE [Sent] <> ") + check + QStringLiteral(" OR ISNULL([Sent]);");
        return top;
    }
    if (!s.filtered) return QStringLiteral("SELECT * FROM AddressList");
    return s.notYetFlagged ? QStringLiteral("SELECT * FROM AddressList ") + s.filter : top;
}

CMailingManager::CMailingManager(AppContext& ctx, QObject* parent) : QObject(parent), m_ctx(ctx) {
    m_step.setSingleShot(true);
    m_step.setInterval(0);
    connect(&m_step, &QTimer::timeout, this, &CMailingManager::assignBatch);
    m_completion.setSingleShot(true);
    m_completion.setInterval(0);
    connect(&m_completion, &QTimer::timeout, this, &CMailingManager::finishMailing);
}

CMailingManager::~CMailingManager() {
    if (!m_engine) return;
    // No listener is asked anything while this object goes; the figures are still stored.
    disconnect(this, nullptr, nullptr, nullptr);
    abandon();
}

void CMailingManager::abandon() {
    if (!m_engine) return;
    m_engine->disconnect(this);
    m_engine->abort();
    m_completion.stop();
    m_state = State::Stopping;
    finishMailing();
}

int CMailingManager::mailerCount() const {
    return m_engine ? m_engine->mailerCount() : 0;
}

void CMailingManager::fail(const QString& procedure, const QString& text, bool storage) {
    m_storageFailed = m_storageFailed || storage;
    if (m_failureText.isEmpty()) m_failureText = text;
    LogError(m_ctx, procedure, ErrorInfo{jet::ErrGeneric, text}, false);
}

bool CMailingManager::readMailing(qint64 mailingId) {
    auto sdr = jet::Database::open(m_ctx.paths.systemDatabase(), jet::Database::OpenMode::ReadOnly);
    auto rs = sdr->openRecordset(
        QStringLiteral(
            "SELECT mailevent.*, profile.*, list.* FROM mailevent, profile, list WHERE maileventname = ") +
        QString::number(mailingId) +
        QStringLiteral(
            " AND profile.profilename = mailevent.profile AND list.listname = mailevent.listname"));
    if (rs->eof())
        throw jet::Error(jet::ErrNoCurrentRecord, QStringLiteral("Mailing %1 was not found.").arg(mailingId));
    auto text = [&rs](const char* name) { return rs->value(QLatin1String(name)).toString(); };
    m_messageName = text("messagename");
    m_listName = text("listname");
    m_groupName = text("sendoraname");
    const QString profile = text("profile");
    // The delivery engine's own settings (servers, time-outs, mailers) as the loader reads them;
    // the selection and sender from the joined row.
    GetMEPFromDB(m_ctx, m_options, profile);
    m_listFile = m_ctx.paths.addressLists + text("listpath");
    m_options.From = text("from");
    m_options.From.removeIf([](QChar c) { return c.unicode() < 33; });
    m_options.ReplyTo = text("replyto");
    m_options.SentFlag = text("sentflag");
    m_options.default_server = flag(rs->value(QStringLiteral("default_server")));
    m_options.default_mail = text("default_mail");
    m_options.auth = flag(rs->value(QStringLiteral("auth")));
    m_options.username = text("username");
    m_options.password = text("password");
    m_options.bSendInBlocks = flag(rs->value(QStringLiteral("bsendinblocks")));
    m_options.SendBlockSize = rs->value(QStringLiteral("sendblocksize")).toInt();
    m_options.SQLFilter = text("sqlfilter");
    m_options.bSendFiltered = flag(rs->value(QStringLiteral("bsendfiltered")));
    m_options.bIfNotYetFlagged = flag(rs->value(QStringLiteral("bIfNotYetFlagged")));
    m_options.SentFlagToCheck = text("SentFlagToCheck");
    m_filtered = m_options.bSendFiltered;
    m_selection = directSelectionStatement({m_options.bSendInBlocks, m_options.bSendFiltered,
                                            m_options.bIfNotYetFlagged, m_options.SendBlockSize,
                                            m_options.SQLFilter, m_options.SentFlagToCheck});
    auto message = sdr->openRecordset(QStringLiteral("SELECT * FROM message WHERE messagename = ") +
                                      jet::quoteSingle(m_messageName));
    if (message->eof()) throw jet::Error(jet::ErrNoCurrentRecord, QStringLiteral("Error creating message"));
    return true;
}

bool CMailingManager::claimFiles() {
    if (!QFileInfo(m_listFile).isFile()) {
        m_ctx.ui->message(QStringLiteral("Cannot find ") + m_listFile +
                              QStringLiteral("\r\nPlease check that the file exists, or choose another list"),
                          Buttons::OK, Icon::Information);
        return false;
    }
    // Two sends on one list would race for the same rows.
    m_lock = std::make_unique<QLockFile>(m_listFile + QStringLiteral(".sending"));
    m_lock->setStaleLockTime(0);
    if (!m_lock->tryLock(0)) {
        m_lock.reset();
        m_ctx.ui->message(
            QStringLiteral("The list '%1' is being sent by another mailing.\r\nPlease wait until that "
                           "mailing ends before sending to this list again.")
                .arg(m_listName),
            Buttons::OK, Icon::Exclamation, QStringLiteral("Address List"));
        return false;
    }
    // Nothing is changed before both files the send writes are known to be writable.
    QString file = m_ctx.paths.systemDatabase();
    try {
        auto sdr = jet::Database::open(file);
        proveMailingWritable(*sdr, m_mailingId);
        sdr.reset();
        file = m_listFile;
        m_listDb = jet::Database::open(file);
        proveListWritable(*m_listDb);
    } catch (const std::exception& e) {
        const QString reason = storageFailureReason(e);
        fail(QStringLiteral("CMailingManager_init"), cannotWriteText(file, reason), true);
        tellCannotStart(m_ctx, file, reason);
        m_listDb.reset();
        m_lock.reset();
        return false;
    }
    return true;
}

void CMailingManager::prepareTable(jet::Database& db) {
    const QString table = QStringLiteral("AddressList");
    auto step = [this, &db](const QString& sql, const QString& logText) {
        try {
            db.execute(sql);
        } catch (const std::exception& e) {
            LogError(m_ctx, logText, errorInfo(e), false);
        }
    };
    bool hasIndex = false, hasId = false, hasError = false;
    try {
        for (const jet::IndexDef& i : db.indexes(table))
            hasIndex = hasIndex || i.name.compare(QLatin1String("PK_ID"), Qt::CaseInsensitive) == 0;
        hasId = db.hasField(table, QStringLiteral("id"));
        hasError = db.hasField(table, QStringLiteral("error"));
    } catch (const std::exception& e) {
        LogError(m_ctx, QStringLiteral("CMailingManager_Init"), errorInfo(e), false);
    }
    if (hasIndex)
        step(QStringLiteral("DROP INDEX PK_ID ON AddressList"),
             QStringLiteral("CMailingManager_Init: DROP INDEX PK_ID ON ADDRESSLIST"));
    if (hasId)
        step(QStringLiteral("ALTER TABLE AddressList DROP COLUMN id"),
             QStringLiteral("CMailingManager_Init: DROP COLUMN id"));
    step(QStringLiteral("ALTER TABLE AddressList ADD COLUMN id LONG"),
         QStringLiteral("CMailingManager_Init: ADD COLUMN id LONG"));
    if (!hasError)
        step(QStringLiteral("ALTER TABLE AddressList ADD COLUMN error TEXT(255)"),
             QStringLiteral("CMailingManager_Init: ADD COLUMN error TEXT(255)"));
    step(QStringLiteral("UPDATE AddressList SET error = \"\""),
         QStringLiteral("CMailingManager_Init: UPDATE AddressList SET error="));
    step(QStringLiteral("CREATE INDEX PK_ID ON AddressList (id)"),
         QStringLiteral("CMailingManager_Init: CREATE INDEX PK_ID ON AddressList (id)"));
}

void CMailingManager::failInit(const std::exception& e) {
    const ErrorInfo info = errorInfo(e);
    LogError(m_ctx, QStringLiteral("CMailingManager_init"), info, false);
    m_failureText = info.description;
    m_ctx.ui->message(kInitError + QStringLiteral("\r\n") + info.description, Buttons::OK, Icon::Exclamation);
    QTimer::singleShot(0, this, [this] { endInit(false); });
}

void CMailingManager::init(qint64 mailingId) {
    m_mailingId = mailingId;
    m_state = State::Initialising;
    m_cancel = false;
    m_storageFailed = m_completed = m_critical = false;
    m_failureText.clear();
    m_rowIds.clear();
    m_next = 0;
    try {
        readMailing(mailingId);
    } catch (const std::exception& e) {
        return failInit(e);
    }
    if (!claimFiles()) {
        QTimer::singleShot(0, this, [this] { endInit(false); });
        return;
    }
    prepareTable(*m_listDb);
    Q_EMIT status(QStringLiteral("Assigning message ids, please wait..."));
    Q_EMIT idsAssigned(0);
    m_clock.start();
    try {
        // The selection by row: the same statement with the row id in place of its columns.
        QString byRow = m_selection;
        byRow.replace(byRow.indexOf(QLatin1String(" * FROM AddressList")), 2, QStringLiteral(" rowid"));
        m_rowIds = m_listDb->readRowIds(byRow);
    } catch (const std::exception& e) {
        return failInit(e);
    }
    if (m_rowIds.isEmpty()) {
        if (m_filtered)
            m_ctx.ui->message(kNoMatchingAddresses, Buttons::OK, Icon::None,
                              QStringLiteral("No Messages Sent"));
        else
            m_ctx.ui->message(kBlankListText, Buttons::OK, Icon::None, QStringLiteral("Address List"));
        QTimer::singleShot(0, this, [this] { endInit(false); });
        return;
    }
    m_step.start();
}

void CMailingManager::cancelInit() {
    m_cancel = true;
}

void CMailingManager::assignBatch() {
    if (m_cancel) {
        endInit(false);
        return;
    }
    const qint64 end = std::min<qint64>(m_next + std::max(1, batchSize), m_rowIds.size());
    try {
        // One transaction per batch: each batch is on disk before the screen is given a turn.
        m_listDb->beginTransaction();
        try {
            auto update =
                m_listDb->prepareStatement(QStringLiteral("UPDATE AddressList SET id = %1 WHERE rowid = %2")
                                               .arg(jet::param(1), jet::param(2)));
            for (qint64 i = m_next; i < end; ++i) {
                update->bind(1, i + 1);
                update->bind(2, m_rowIds[i]);
                update->execute();
            }
            update.reset();
            m_listDb->commit();
        } catch (...) {
            try {
                m_listDb->rollback();
            } catch (const std::exception&) { // the commit itself failed
            }
            throw;
        }
    } catch (const std::exception& e) {
        const QString text = QStringLiteral("The message ids could not be written to %1: %2")
                                 .arg(QDir::toNativeSeparators(m_listFile), storageFailureReason(e));
        fail(QStringLiteral("CMailingManager_init"), text, true);
        m_ctx.ui->message(kInitError + QStringLiteral("\r\n") + text, Buttons::OK, Icon::Exclamation);
        endInit(false);
        return;
    }
    m_next = end;
    Q_EMIT idsAssigned(m_next);
    if (m_next < m_rowIds.size()) {
        m_step.start();
        return;
    }
    m_addresses = m_rowIds.size();
    m_sent = m_failed = m_bytes = 0;
    endInit(true);
}

void CMailingManager::endInit(bool ok) {
    m_step.stop();
    m_rowIds.clear();
    m_listDb.reset();
    if (!ok) m_lock.reset();
    m_state = ok ? State::Idle : State::Stopped;
    Q_EMIT initFinished(ok);
}

bool CMailingManager::start(qint64 n, int m) {
    // An earlier run's objects go before the connection they write and read through.
    if (m_engine) m_engine->disconnect(this);
    m_engine.reset();
    m_composer.reset();
    m_messages.reset();
    try {
        m_cursor = std::make_unique<SendMDBList>(m_ctx, m_options);
        m_cursor->MailEventID = m_mailingId;
        m_cursor->Sendora = m_groupName;
        m_cursor->AddrListName = m_listName;
        m_cursor->MsgName = m_messageName;
        m_cursor->MailOptionsName = m_options.ProfileName;
        if (!m_cursor->openMessageAndList())
            throw jet::Error(jet::ErrGeneric, QStringLiteral("Error creating message"));
        // The run writes its outcomes through this connection and the composition reads
        // rows through it: its cache then survives each commit. When it cannot be opened
        // the engine tries on its own and reports why.
        try {
            m_runDb = jet::Database::open(m_listFile);
        } catch (const std::exception&) {
            m_runDb.reset();
        }
        m_messages = std::make_unique<ListMessageSource>(m_ctx, *m_cursor);
        m_messages->readRowsThrough(m_runDb.get());
        if (!m_messages->prepare(m_options.From, m_options.ReplyTo.trimmed(), QDateTime::currentDateTime(),
                                 [this](const QString& line) { Q_EMIT mailerLog(0, line); }))
            throw jet::Error(jet::ErrGeneric, QStringLiteral("Error creating message"));
        m_composer = std::make_unique<ListComposer>(*m_messages);

        direct::DirectSendJob job;
        job.listPath = m_listFile;
        job.listDb = m_runDb.get();
        job.sender = m_options.From;
        job.flagSends = m_options.bFlagSends;
        job.sentFlag = m_options.SentFlag;
        job.dns.servers = dns::parseServerList(m_options.dns_server);
        if (m_options.dns_timeout > 0) job.dns.timeoutSeconds = m_options.dns_timeout;
        job.dns.retries = std::max<int>(0, m_options.dns_retries);
        if (m_options.mailer_timeout > 0) job.mailerTimeout = m_options.mailer_timeout;
        job.mailRetries = std::max<int>(0, m_options.mail_retries);
        job.shares = direct::divideIds(n, std::max(1, m));

        m_engine = std::make_unique<direct::DirectSend>(job, *m_composer);
        direct::DirectSend* e = m_engine.get();
        connect(e, &direct::DirectSend::bytesSent, this, [this](qint64 total) {
            m_bytes = total;
            Q_EMIT bytesSent(total);
        });
        connect(e, &direct::DirectSend::Sent, this, [this](int, qint64) { Q_EMIT sentChanged(++m_sent); });
        connect(e, &direct::DirectSend::Errors, this, [this](int mailer, qint64 id, const QString& text) {
            Q_EMIT failedChanged(++m_failed);
            Q_EMIT failure(mailer, id, text);
        });
        connect(e, &direct::DirectSend::criticalErr, this, &CMailingManager::onCriticalError);
        connect(e, &direct::DirectSend::log, this, &CMailingManager::mailerLog);
        connect(e, &direct::DirectSend::Complete, this, [this](int) {
            if (++m_finishedMailers >= mailerCount()) onComplete();
        });
        m_finishedMailers = 0;
        m_startTime = QDateTime::currentDateTime();
        m_clock.start();
        m_state = State::Running;
        if (!e->start()) throw jet::Error(jet::ErrGeneric, e->failureText());
        return true;
    } catch (const std::exception& ex) {
        const ErrorInfo info = errorInfo(ex);
        LogError(m_ctx, QStringLiteral("CMailingManager_start"), info, false);
        m_failureText = info.description;
        m_ctx.ui->message(QStringLiteral("The following error has occured in CMailingManager_start.\r\n") +
                              info.description,
                          Buttons::OK, Icon::Exclamation);
        m_engine.reset();
        m_composer.reset();
        m_messages.reset();
        m_cursor.reset();
        m_runDb.reset();
        m_lock.reset();
        m_state = State::Stopped;
        return false;
    }
}

void CMailingManager::pauseMailing() {
    if (!m_engine || m_state != State::Running) return;
    m_state = State::Paused;
    m_engine->pauseSend();
}

void CMailingManager::endPause() {
    if (!m_engine || m_state != State::Paused) return;
    m_state = State::Running;
    m_engine->endPause();
}

void CMailingManager::stopMailing() {
    if (!m_engine || (m_state != State::Running && m_state != State::Paused)) return;
    Q_EMIT status(QStringLiteral("Stopping the mailers, please wait..."));
    if (m_state == State::Paused) {
        m_state = State::Stopping;
        m_engine->endPause(true);
    } else {
        m_state = State::Stopping;
        m_engine->stop();
    }
}

void CMailingManager::onCriticalError(int mailer, const QString& description, int code) {
    if (code == direct::CriticalStorage) {
        m_critical = true;
        fail(QStringLiteral("CMailingManager_criticalErr"), description, true);
    }
    if (code == 10065) return;
    m_ctx.ui->message(
        QStringLiteral("Mailer # %1 caused the following error.\r\n%2\r\nPlease check your connection.")
            .arg(mailer)
            .arg(description),
        Buttons::OK, Icon::Exclamation, QStringLiteral("Mailer Error"));
}

void CMailingManager::onComplete() {
    if (m_completion.isActive() || !m_engine) return;
    // Released from the timer, not from inside the engine's own signal.
    m_completion.start();
}

void CMailingManager::finishMailing() {
    m_completed = m_state == State::Running && !m_critical;
    if (m_engine) {
        m_engine->disconnect(this);
        m_engine.reset();
    }
    m_state = State::Stopped;
    m_composer.reset();
    m_messages.reset();
    m_cursor.reset();
    m_runDb.reset();
    m_lock.reset();
    QString failure;
    const QString date = QLocale::c().toString(m_startTime, QStringLiteral("MMM dd yyyy  hh:mm AP"));
    if (!storeMailingResults(m_ctx, m_mailingId, m_sent, m_failed, date, &failure) && !failure.isEmpty()) {
        fail(QStringLiteral("CMailingManager_cleanUp"), failure, true);
        m_ctx.ui->message(QStringLiteral("The following error has occured in CMailingManager_cleanUp.\r\n") +
                              failure,
                          Buttons::OK, Icon::Exclamation);
    }
    Q_EMIT status(m_completed ? QStringLiteral("Mailing complete.") : QStringLiteral("Mailing stopped."));
    Q_EMIT mailingEnded(m_completed);
}

} // namespace sendora
