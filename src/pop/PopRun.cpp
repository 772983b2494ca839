#include "pop/PopRun.h"

namespace sendora::pop {

PopRun::PopRun(AppContext& ctx, mail::PopClient* client, QObject* parent)
    : QObject(parent), m_session(ctx, client) {}

void PopRun::start(const PopAccount& account, const PopRunOptions& options) {
    m_options = options;
    m_result = {};
    mail::PopClient& c = m_session.client();
    switch (account.security) {
    case PopSecurity::None:
        c.setTlsMode(mail::TlsMode::None);
        c.setAllowClearText(true);
        break;
    case PopSecurity::StartTls:
        c.setTlsMode(mail::TlsMode::StartTlsRequired);
        break;
    case PopSecurity::Tls:
        c.setTlsMode(mail::TlsMode::ImplicitTls);
        break;
    case PopSecurity::IfOffered:
        c.setTlsMode(mail::TlsMode::StartTlsIfOffered);
        break;
    }
    m_session.setSearchVariables(options.deleteProcessed, options.processAll, options.phrases);
    m_session.connectToMailBox(account.serverName, account.userName, account.password,
                               quint16(account.effectivePort()), true, options.mode, [this](bool connected) {
                                   m_result.connected = connected;
                                   if (!connected) return end();
                                   m_result.messages = int(m_session.messageCount());
                                   m_session.processMailBox(m_options.bounceRules, m_options.returnedMail(),
                                                            [this](const QString& path) { processed(path); });
                               });
}

void PopRun::processed(const QString& listPath) {
    m_result.listPath = listPath;
    m_result.addresses = m_session.addressesFound();
    const bool keep = beforeDelete && !beforeDelete(listPath);
    if (keep) m_session.setDeleteList({});
    m_result.deletionHeld = keep && m_options.deleteProcessed;
    if (!m_options.deleteProcessed || keep) return end();
    m_session.KillMail([this](int deleted) {
        m_result.deleted = deleted;
        end();
    });
}

void PopRun::end() {
    m_session.quit([this] {
        m_result.cancelled = m_session.cancelled();
        m_result.timedOut = m_session.timedOut();
        m_result.connectionLost = m_session.connectionLost();
        if (!m_session.quitAccepted()) m_result.deleted = 0;
        Q_EMIT finished(m_result);
    });
}

} // namespace sendora::pop
