#include "mailing/relay/RelaySend.h"

#include "components/jet/Jet.h"
#include "core/AppContext.h"
#include "core/ErrorLog.h"
#include "mailing/SendMDBList.h"
#include "mailing/compose/ListMessageSource.h"
#include "mailing/relay/SMTPSocket.h"

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

bool storeMailingResults(AppContext& ctx, qint64 id, qint64 passed, qint64 failed, const QString& dateSent) {
    try {
        auto db = jet::Database::open(ctx.paths.systemDatabase());
        auto rs = db->openRecordset(QStringLiteral("MailEvent"));
        rs->findFirst(QStringLiteral("MailEventName = %1").arg(id));
        if (rs->noMatch()) return false;
        rs->edit();
        rs->setValue(QStringLiteral("DateSent"), dateSent);
        rs->setValue(QStringLiteral("SentCount"),
                     rs->value(QStringLiteral("SentCount")).toLongLong() + passed);
        rs->setValue(QStringLiteral("SentCountFailed"),
                     rs->value(QStringLiteral("SentCountFailed")).toLongLong() + failed);
        rs->setValue(QStringLiteral("LastCount"), passed);
        rs->update();
        return true;
    } catch (const std::exception& e) {
        LogError(ctx, QStringLiteral("ReturnMailResults in frmSDCentral"), errorInfo(e), false);
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
    // Figures of a send that ended without MailOutComplete (window closed mid-send) still count.
    if (m_session && m_started && !m_reported)
        storeMailingResults(m_ctx, m_row.id, m_session->passed(), m_session->failed(),
                            m_session->dateMailed());
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
    m_messages = std::make_unique<ListMessageSource>(m_ctx, *m_cursor);
    m_session = std::make_unique<SMTPSocket>(m_ctx, m_options, *m_cursor, *m_messages);
    if (transportFactory) m_session->socket().setTransportFactory(transportFactory);
    m_session->commandTimeout = commandTimeout;
    // The set's own port when it has one, else the SMTPPort setting.
    const int port = relayPortFor(m_options, m_ctx.settings.smtpPort);
    m_session->port = port;
    m_session->socket().setTlsMode(relayTlsMode(port, m_options.smtp_tls));
    connect(m_session.get(), &SMTPSocket::MailOutComplete, this, &RelaySend::onMailOutComplete,
            Qt::QueuedConnection);
    if (onSessionCreated) onSessionCreated(*m_session);
    m_started = m_session->sendEmailToList(sender, m_options.ReplyTo, server) == 1;
    return true;
}

void RelaySend::onMailOutComplete() {
    if (m_reported) return;
    m_reported = true;
    m_completed = !m_session->aborted();
    if (m_started)
        storeMailingResults(m_ctx, m_row.id, m_session->passed(), m_session->failed(),
                            m_session->dateMailed());
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

} // namespace sendora
