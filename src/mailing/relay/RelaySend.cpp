#include "mailing/relay/RelaySend.h"

#include "components/jet/Jet.h"
#include "core/AppContext.h"
#include "core/ErrorLog.h"
#include "mailing/SendMDBList.h"
#include "mailing/compose/ListMessageSource.h"
#include "mailing/relay/SMTPSocket.h"

#include <QDir>
#include <QEventLoop>
#include <QTimer>

namespace sendora {

namespace {

mail::TlsMode relayTlsMode(int port, qint16 choice) {
    switch (choice) {
    case TlsStartTlsRequired:
        return mail::TlsMode::StartTlsRequired;
    case TlsImplicit:
        return mail::TlsMode::ImplicitTls;
    case TlsNone:
        return mail::TlsMode::None; // the socket still takes 465 as TLS from the start
    default:
        return port == 465 ? mail::TlsMode::ImplicitTls : mail::TlsMode::StartTlsIfOffered;
    }
}

} // namespace

std::optional<MailingRow> loadMailingRow(AppContext& ctx, qint64 id) {
    try {
        auto db = jet::Database::open(ctx.paths.systemDatabase(), jet::Database::OpenMode::ReadOnly);
        auto rs =
            db->openRecordset(QStringLiteral("SELECT * FROM MailEvent WHERE MailEventName = %1").arg(id));
        if (rs->eof()) return std::nullopt;
        MailingRow r;
        r.id = id;
        r.group = rs->value(QStringLiteral("SendoraName")).toString();
        r.list = rs->value(QStringLiteral("ListName")).toString();
        r.message = rs->value(QStringLiteral("MessageName")).toString();
        r.profile = rs->value(QStringLiteral("Profile")).toString();
        r.dateSent = rs->value(QStringLiteral("DateSent")).toString();
        r.sentCount = rs->value(QStringLiteral("SentCount")).toLongLong();
        r.sentCountFailed = rs->value(QStringLiteral("SentCountFailed")).toLongLong();
        r.lastCount = rs->value(QStringLiteral("LastCount")).toLongLong();
        return r;
    } catch (const std::exception& e) {
        LogError(ctx, QStringLiteral("loadMailingRow in mdlMailing"), errorInfo(e), false);
        return std::nullopt;
    }
}

bool storeMailingResults(AppContext& ctx, qint64 id, qint64 passed, qint64 failed, const QString& dateSent,
                         QString* failure) {
    const QString file = ctx.paths.systemDatabase();
    try {
        auto db = jet::Database::open(file);
        // BEGIN IMMEDIATE takes the write lock first, waiting for another writer; an edit
        // started under a read would be refused at once instead.
        db->beginTransaction();
        try {
            auto rs = db->openRecordset(QStringLiteral("MailEvent"));
            rs->findFirst(QStringLiteral("MailEventName = %1").arg(id));
            if (rs->noMatch()) {
                rs.reset();
                db->rollback();
                return false;
            }
            rs->edit();
            rs->setValue(QStringLiteral("DateSent"), dateSent);
            rs->setValue(QStringLiteral("SentCount"),
                         rs->value(QStringLiteral("SentCount")).toLongLong() + passed);
            rs->setValue(QStringLiteral("SentCountFailed"),
                         rs->value(QStringLiteral("SentCountFailed")).toLongLong() + failed);
            rs->setValue(QStringLiteral("LastCount"), passed);
            rs->update();
            rs.reset();
            db->commit();
        } catch (...) {
            try {
                db->rollback();
            } catch (const std::exception&) { // the commit itself failed: nothing left to roll back
            }
            throw;
        }
        return true;
    } catch (const std::exception& e) {
        LogError(ctx, QStringLiteral("ReturnMailResults in frmSDCentral"), errorInfo(e), false);
        if (failure)
            *failure = QStringLiteral(
                           "The results of mailing %1 (%2 sent, %3 failed) could not be written to %4: %5")
                           .arg(id)
                           .arg(passed)
                           .arg(failed)
                           .arg(QDir::toNativeSeparators(file), storageFailureReason(e));
        return false;
    }
}

bool isPlaceholderServer(const QString& server) {
    return server.compare(kPlaceholderMailServer, Qt::CaseInsensitive) == 0 ||
           server.compare(kPlaceholderProfileServer, Qt::CaseInsensitive) == 0;
}

QString relayServerFor(const AppContext& ctx, const MailEvent& options) {
    const QString server = options.SmtpServer.trimmed();
    return server.isEmpty() ? ctx.settings.mailServer.trimmed() : server;
}

RelaySend::RelaySend(AppContext& ctx, const MailingRow& row, QObject* parent)
    : QObject(parent), m_ctx(ctx), m_row(row) {}

RelaySend::~RelaySend() {
    // A send still running (window closed mid-send) ends like Stop: its figures are stored
    // and the log gets its end block; the message in flight is abandoned.
    abandon();
    m_session.reset();
    m_messages.reset();
    m_cursor.reset();
}

bool RelaySend::start() {
    GetMEPFromDB(m_ctx, m_options, m_row.profile);
    QString sender = m_options.From.trimmed();
    sender.removeIf([](QChar c) { return c.unicode() < 33; });
    const QString server = relayServerFor(m_ctx, m_options);
    if (isPlaceholderServer(server)) {
        m_ctx.ui->message(QStringLiteral(
            "Please enter the name of your mail server in the delivery options (Step 7 of 7)."));
        return false;
    }

    m_cursor = std::make_unique<SendMDBList>(m_ctx, m_options);
    m_cursor->MailEventID = m_row.id;
    m_cursor->TotalSoFar = m_row.sentCount;
    m_cursor->Sendora = m_row.group;
    m_cursor->AddrListName = m_row.list;
    m_cursor->MsgName = m_row.message;
    m_cursor->MailOptionsName = m_row.profile;
    m_cursor->leaveOut = leaveOut;
    m_messages = std::make_unique<ListMessageSource>(m_ctx, *m_cursor);
    m_session = std::make_unique<SMTPSocket>(m_ctx, m_options, *m_cursor, *m_messages);
    if (transportFactory) m_session->socket().setTransportFactory(transportFactory);
    m_session->commandTimeout = commandTimeout;
    m_session->timeoutContinueLimit = timeoutRetries;
    m_session->storeResults = [this]() -> QString {
        QString failure;
        storeMailingResults(m_ctx, m_row.id, m_session->passed(), m_session->failed(),
                            m_session->dateMailed(), &failure);
        return failure;
    };
    // The set's own port when it has one, else the SMTPPort setting.
    const int port = relayPortFor(m_options, m_ctx.settings.smtpPort);
    m_session->port = port;
    m_session->socket().setTlsMode(relayTlsMode(port, m_options.smtp_tls));
    connect(m_session.get(), &SMTPSocket::MailOutComplete, this, &RelaySend::onMailOutComplete,
            Qt::QueuedConnection);
    if (onSessionCreated) onSessionCreated(*m_session);
    m_session->sendEmailToList(sender, m_options.ReplyTo, server);
    return true;
}

void RelaySend::onMailOutComplete() {
    if (m_reported) return;
    m_reported = true;
    m_completed = !m_session->aborted();
    Q_EMIT finished(m_completed);
}

qint64 RelaySend::recipientCount() const {
    return m_cursor ? m_cursor->recipientCount() : 0;
}

void RelaySend::setPause(bool pause) {
    if (m_session) m_session->setPause(pause);
}

void RelaySend::setStop() {
    if (m_session) m_session->setStop();
}

void RelaySend::abandon() {
    if (!m_session || m_reported) return;
    m_session->abandon();
    if (m_session->phase() == SMTPSocket::Phase::Finished) onMailOutComplete();
}

bool RelaySend::stopAndFinish(int limitMs) {
    if (!m_session || m_reported) return m_completed;
    setStop();
    if (!m_reported && m_session->phase() != SMTPSocket::Phase::Finished) {
        QEventLoop wait;
        connect(this, &RelaySend::finished, &wait, &QEventLoop::quit);
        QTimer::singleShot(limitMs, &wait, &QEventLoop::quit);
        wait.exec();
    }
    abandon();
    return m_completed;
}

bool RelaySend::storageFailed() const {
    return m_session && m_session->storageFailed();
}

QString RelaySend::failureText() const {
    return m_session ? m_session->failureText() : QString();
}

} // namespace sendora
