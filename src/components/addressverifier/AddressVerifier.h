#pragma once
// Address verification without delivery: syntax, the domain's mail route, and the answer of
// its best reachable mail server to RCPT TO (EHLO/HELO, MAIL FROM, RCPT TO, RSET, QUIT;
// never DATA). One engine serves a whole pool of slots: it resolves each domain once and
// keeps one connection per domain, checking its addresses one after the other on it. The
// first transaction on a connection offers a random address that cannot exist; a server that
// accepts it accepts everything, and every address of that domain says so in its log text.
//
// Everything runs on the event loop; every wait (DNS, connect, each reply) is bounded.

#include "components/addressverifier/AddressCheck.h"

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>
#include <memory>

namespace sendora::dns {
class MailResolver;
}

namespace sendora::verifier {

struct VerifierSettings {
    QString mailFrom;   // empty: the null sender
    QString primaryDns; // address[:port]; both empty: the machine's resolver
    QString secondaryDns;
    QString domainName;         // EHLO/HELO argument; empty: this host's name
    int replyTimeoutMs = 30000; // connect and each server reply
    int lingerMs = 2000;        // an idle connection waits this long for more of its domain
    int dnsTimeoutSeconds = 5;
    int dnsRetries = 1;
    quint16 port = 25;
};

class DomainSession;

class VerifierEngine : public QObject {
    Q_OBJECT
public:
    using Done = std::function<void(const QString& verdict, const QString& logText)>;
    using SyntaxCheck = std::function<bool(QStringView)>;

    explicit VerifierEngine(SyntaxCheck syntax, QObject* parent = nullptr);
    ~VerifierEngine() override;

    VerifierSettings settings;

    // Starts a check; done runs later from the event loop, never inside submit, and not at
    // all once the ticket is cancelled. Returns the ticket.
    quint64 submit(const QString& address, Done done);
    void cancel(quint64 ticket);

    // A pool slot working through this engine.
    std::unique_ptr<AddressCheck> createCheck();
    // A new run: the settings its slots do not set are empty again, and domains are asked
    // afresh (with the servers set now).
    void newRun();

    int connectionsOpened() const { return m_connections; }
    // Connections and lookups still at work.
    int busySessions() const { return int(m_sessions.size()); }

private:
    friend class DomainSession;
    void complete(quint64 ticket, const QString& verdict, const QString& logText);
    void sessionEnded(DomainSession* s);
    dns::MailResolver& resolver();
    int resolveBudgetMs() const;

    SyntaxCheck m_syntax;
    std::unique_ptr<dns::MailResolver> m_resolver;
    QHash<quint64, Done> m_tickets;
    QHash<QString, DomainSession*> m_open; // domain -> session still taking addresses
    QList<DomainSession*> m_sessions;
    quint64 m_next = 1;
    int m_connections = 0;
};

} // namespace sendora::verifier
