#include "components/addressverifier/AddressVerifier.h"

#include "components/dns/MailResolver.h"
#include "components/mailsocket/SmtpReplyParser.h"

#include <QHostInfo>
#include <QQueue>
#include <QRandomGenerator>
#include <QTcpSocket>
#include <QTimer>

namespace sendora::verifier {

namespace {

// A server's words go into our log as one short line of printable text.
QString replyText(const mail::SmtpReply& r) {
    QString t = QString::fromLatin1(r.firstLine()).left(200);
    for (QChar& c : t)
        if (c.unicode() < 0x20 || c.unicode() == 0x7f) c = u' ';
    return t.trimmed();
}

QString randomLocalPart() {
    static const char alphabet[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    QString s = QStringLiteral("nx");
    for (int i = 0; i < 22; ++i)
        s += QLatin1Char(alphabet[QRandomGenerator::global()->bounded(int(sizeof alphabet - 1))]);
    return s;
}

} // namespace

// One domain: its route, one connection, and the addresses waiting for it.
class DomainSession : public QObject {
public:
    DomainSession(VerifierEngine& engine, const QString& domain) : m_engine(engine), m_domain(domain) {
        m_timer.setSingleShot(true);
        connect(&m_timer, &QTimer::timeout, this, &DomainSession::timedOut);
        connect(&m_socket, &QTcpSocket::connected, this, [this] {
            m_state = State::Greeting;
            m_log << QStringLiteral("connected to %1 [%2]:%3")
                         .arg(m_endpoints[m_at].first, m_endpoints[m_at].second.toString())
                         .arg(m_engine.settings.port);
            armTimer();
        });
        connect(&m_socket, &QTcpSocket::readyRead, this, &DomainSession::readReplies);
        connect(&m_socket, &QTcpSocket::errorOccurred, this,
                [this] { lostConnection(m_socket.errorString()); });
        connect(&m_socket, &QTcpSocket::disconnected, this,
                [this] { lostConnection(QStringLiteral("the server closed the connection")); });
    }

    ~DomainSession() override {
        // The socket outlives nothing of ours: no signal of its own teardown reaches us.
        m_socket.disconnect(this);
        m_socket.abort();
    }

    bool takesMore() const { return m_state != State::Quit && m_state != State::Ended; }

    void enqueue(quint64 ticket, const QString& address) {
        m_queue.enqueue({ticket, address});
        if (m_state == State::Idle) {
            m_timer.stop();
            nextTransaction();
        }
    }

    void start() {
        m_state = State::Resolving;
        // The resolver bounds its own wait; this bounds ours should it go away first.
        m_timer.start(m_engine.resolveBudgetMs());
        m_engine.resolver().lookup(m_domain, this, [this](const dns::MailRoute& r) { routed(r); });
    }

private:
    enum class State { Resolving, Connecting, Greeting, Ehlo, Helo, Mail, Rcpt, Rset, Idle, Quit, Ended };
    struct Item {
        quint64 ticket;
        QString address;
    };

    void routed(const dns::MailRoute& r) {
        if (m_state != State::Resolving) return;
        m_timer.stop();
        QStringList hosts;
        for (const dns::MailHost& h : r.hosts) {
            hosts << QStringLiteral("%1 (%2)").arg(h.name).arg(h.preference);
            for (const QHostAddress& a : h.addresses)
                m_endpoints.append({h.name, a});
        }
        switch (r.status) {
        case dns::Status::Ok:
            m_log << (r.implicitMx ? QStringLiteral("no MX for %1, its address records stand in: %2")
                                   : QStringLiteral("MX for %1: %2"))
                         .arg(m_domain, hosts.join(QStringLiteral(", ")));
            m_at = -1;
            connectNext(QString());
            return;
        case dns::Status::NxDomain:
        case dns::Status::NoData:
        case dns::Status::NullMx:
            failAll(kNotInDns,
                    QStringLiteral("DNS: ") +
                        (r.detail.isEmpty() ? m_domain + u' ' + dns::statusText(r.status) : r.detail));
            return;
        default:
            failAll(kUnknown, QStringLiteral("DNS: %1 lookup failed: %2 %3")
                                  .arg(m_domain, dns::statusText(r.status), r.detail));
            return;
        }
    }

    void connectNext(const QString& why) {
        if (!why.isEmpty())
            m_log << QStringLiteral("could not connect to %1 [%2]: %3")
                         .arg(m_endpoints[m_at].first, m_endpoints[m_at].second.toString(), why);
        m_socket.abort();
        m_parser.reset();
        if (++m_at >= m_endpoints.size()) {
            failAll(kUnknown, QStringLiteral("no mail server of %1 could be reached").arg(m_domain));
            return;
        }
        m_state = State::Connecting;
        ++m_engine.m_connections;
        armTimer();
        m_socket.connectToHost(m_endpoints[m_at].second, m_engine.settings.port);
    }

    // New addresses for this domain now open a session of their own.
    void release() {
        if (m_engine.m_open.value(m_domain) == this) m_engine.m_open.remove(m_domain);
    }

    void armTimer() { m_timer.start(m_engine.settings.replyTimeoutMs); }

    void send(State next, const QString& command) {
        m_state = next;
        m_lastCommand = command;
        m_socket.write(command.toLatin1() + "\r\n");
        armTimer();
    }

    void readReplies() {
        m_parser.feed(m_socket.readAll());
        mail::SmtpReply r;
        while (m_state != State::Ended && m_parser.next(r)) {
            if (r.malformed) {
                failAll(kUnknown, QStringLiteral("malformed reply from %1").arg(m_endpoints[m_at].first));
                return;
            }
            replied(r);
        }
    }

    void replied(const mail::SmtpReply& r) {
        m_timer.stop();
        const QString helo = m_engine.settings.domainName.isEmpty() ? QHostInfo::localHostName()
                                                                    : m_engine.settings.domainName;
        switch (m_state) {
        case State::Greeting:
            if (r.code != 220) return failAll(kUnknown, QStringLiteral("greeting: ") + replyText(r));
            return send(State::Ehlo, QStringLiteral("EHLO ") + helo);
        case State::Ehlo:
            if (r.replyClass() == 2) return nextTransaction();
            return send(State::Helo, QStringLiteral("HELO ") + helo);
        case State::Helo:
            if (r.replyClass() == 2) return nextTransaction();
            return failAll(kUnknown, QStringLiteral("HELO: ") + replyText(r));
        case State::Mail:
            if (r.replyClass() != 2) {
                m_trail << QStringLiteral("MAIL FROM refused: ") + replyText(r);
                return finishCurrent(kUnknown);
            }
            return send(State::Rcpt, QStringLiteral("RCPT TO:<%1>").arg(currentAddress()));
        case State::Rcpt: {
            m_trail << QStringLiteral("RCPT TO:<%1> ").arg(currentAddress()) + replyText(r);
            if (m_probing) {
                m_probing = false;
                if (r.replyClass() == 2)
                    m_log << QStringLiteral(
                                 "%1 accepted a random address that cannot exist: it accepts every "
                                 "address, so Exist says little there")
                                 .arg(m_domain);
                return send(State::Rset, QStringLiteral("RSET"));
            }
            const int c = r.replyClass();
            return finishCurrent(c == 2 ? kExist : c == 5 ? kNotInSmtp : kUnknown);
        }
        case State::Rset:
            if (r.replyClass() != 2) return failAll(kUnknown, QStringLiteral("RSET: ") + replyText(r));
            return nextTransaction();
        case State::Quit:
            m_state = State::Ended;
            m_socket.abort();
            return end();
        default:
            return;
        }
    }

    QString currentAddress() const { return m_probing ? m_probeAddress : m_current.address; }

    void finishCurrent(const QString& verdict) {
        m_engine.complete(m_current.ticket, verdict, (m_log + m_trail).join(QStringLiteral("; ")));
        m_trail.clear();
        send(State::Rset, QStringLiteral("RSET"));
    }

    void nextTransaction() {
        const QString from = QStringLiteral("MAIL FROM:<%1>").arg(m_engine.settings.mailFrom);
        if (!m_probed) {
            m_probed = m_probing = true;
            m_probeAddress = randomLocalPart() + u'@' + m_domain;
            return send(State::Mail, from);
        }
        m_trail.clear();
        while (!m_queue.isEmpty()) {
            m_current = m_queue.dequeue();
            if (m_engine.m_tickets.contains(m_current.ticket)) return send(State::Mail, from);
        }
        // The pool hands out the next address of this domain on its next tick: wait a little
        // before saying goodbye.
        m_state = State::Idle;
        m_timer.start(m_engine.settings.lingerMs);
    }

    void quit() {
        release();
        send(State::Quit, QStringLiteral("QUIT"));
    }

    void timedOut() {
        switch (m_state) {
        case State::Connecting:
            return connectNext(
                QStringLiteral("no connection within %1 ms").arg(m_engine.settings.replyTimeoutMs));
        case State::Quit:
            m_state = State::Ended;
            m_socket.abort();
            return end();
        case State::Idle:
            return quit();
        case State::Resolving:
            return failAll(kUnknown, QStringLiteral("DNS: no answer for %1").arg(m_domain));
        default:
            failAll(kUnknown, QStringLiteral("no answer from %1 within %2 ms%3")
                                  .arg(m_endpoints.value(m_at).first)
                                  .arg(m_engine.settings.replyTimeoutMs)
                                  .arg(m_lastCommand.isEmpty() ? QString()
                                                               : QStringLiteral(" after ") + m_lastCommand));
        }
    }

    void lostConnection(const QString& why) {
        if (m_state == State::Ended) return;
        if (m_state == State::Connecting) return connectNext(why);
        if (m_state == State::Quit || (m_state == State::Idle && m_queue.isEmpty())) {
            m_state = State::Ended;
            release();
            return end();
        }
        failAll(kUnknown,
                QStringLiteral("connection to %1 lost: %2").arg(m_endpoints.value(m_at).first, why));
    }

    // Everything still waiting for this domain gets the same verdict.
    void failAll(const QString& verdict, const QString& why) {
        m_timer.stop();
        m_state = State::Ended;
        release();
        const QString text = (m_log + m_trail + QStringList{why}).join(QStringLiteral("; "));
        if (m_current.ticket && m_engine.m_tickets.contains(m_current.ticket))
            m_engine.complete(m_current.ticket, verdict, text);
        for (const Item& i : std::as_const(m_queue))
            m_engine.complete(i.ticket, verdict, text);
        m_queue.clear();
        m_socket.abort();
        end();
    }

    void end() {
        m_timer.stop();
        QTimer::singleShot(0, &m_engine, [e = &m_engine, self = this] { e->sessionEnded(self); });
    }

    VerifierEngine& m_engine;
    QString m_domain;
    State m_state = State::Resolving;
    QTcpSocket m_socket;
    QTimer m_timer;
    mail::SmtpReplyParser m_parser;
    QList<std::pair<QString, QHostAddress>> m_endpoints;
    qsizetype m_at = -1;
    QQueue<Item> m_queue;
    Item m_current{0, {}};
    QStringList m_log;   // route and connection, shared by every address
    QStringList m_trail; // the current address's exchange
    QString m_lastCommand;
    bool m_probed = false;
    bool m_probing = false;
    QString m_probeAddress;
};

namespace {

// One pool slot: polled by the run's clock.
class EngineCheck : public AddressCheck {
public:
    explicit EngineCheck(VerifierEngine* engine) : m_engine(engine) {}
    ~EngineCheck() override { abandon(); }

    void setEnabled(bool on) override {
        // Settings come first, so the slot's configuration starts a run.
        if (m_engine && on) m_engine->newRun();
        m_enabled = on;
    }
    void setOption(int) override {}
    void setMailFrom(const QString& a) override {
        if (m_engine) m_engine->settings.mailFrom = a;
    }
    void setPrimaryDns(const QString& s) override {
        if (m_engine) m_engine->settings.primaryDns = s;
    }
    void setSecondaryDns(const QString& s) override {
        if (m_engine) m_engine->settings.secondaryDns = s;
    }
    void setDomainName(const QString& d) override {
        if (m_engine) m_engine->settings.domainName = d;
    }

    bool check(const QString& address) override {
        if (m_state != Idle || !m_engine) return false;
        m_verdict.clear();
        m_log.clear();
        if (!m_enabled) {
            m_verdict = kUnknown;
            m_log = QStringLiteral("verifier disabled");
            m_state = Done;
            return true;
        }
        m_state = Resolving;
        m_ticket = m_engine->submit(address, [this](const QString& v, const QString& l) {
            m_ticket = 0;
            m_verdict = v;
            m_log = l;
            m_state = Done;
        });
        return true;
    }
    int state() const override { return m_state; }
    QString verdict() const override { return m_verdict; }
    QString logText() const override { return m_log; }
    void abandon() override {
        if (m_ticket && m_engine) m_engine->cancel(m_ticket);
        m_ticket = 0;
        m_state = Idle;
    }

private:
    QPointer<VerifierEngine> m_engine;
    bool m_enabled = false;
    int m_state = Idle;
    quint64 m_ticket = 0;
    QString m_verdict, m_log;
};

} // namespace

VerifierEngine::VerifierEngine(SyntaxCheck syntax, QObject* parent)
    : QObject(parent), m_syntax(std::move(syntax)) {}

VerifierEngine::~VerifierEngine() {
    m_tickets.clear();
    qDeleteAll(m_sessions);
}

dns::MailResolver& VerifierEngine::resolver() {
    if (!m_resolver) {
        dns::ResolverOptions o;
        for (const QString& s : {settings.primaryDns, settings.secondaryDns})
            o.servers << dns::parseServerList(s);
        o.timeoutSeconds = settings.dnsTimeoutSeconds;
        o.retries = settings.dnsRetries;
        m_resolver = std::make_unique<dns::MailResolver>(o, this);
    }
    return *m_resolver;
}

quint64 VerifierEngine::submit(const QString& address, Done done) {
    const quint64 ticket = m_next++;
    m_tickets.insert(ticket, std::move(done));
    const qsizetype at = address.lastIndexOf(u'@');
    const bool plain = !address.contains(u'\r') && !address.contains(u'\n') && !address.contains(u'<') &&
                       !address.contains(u'>');
    if (at <= 0 || !plain || (m_syntax && !m_syntax(address))) {
        QTimer::singleShot(0, this, [this, ticket] {
            complete(ticket, kBadSyntax, QStringLiteral("the address is not well formed"));
        });
        return ticket;
    }
    const QString domain = address.mid(at + 1).toLower();
    DomainSession* s = m_open.value(domain);
    if (!s || !s->takesMore()) {
        s = new DomainSession(*this, domain);
        m_sessions << s;
        m_open.insert(domain, s);
        s->start();
    }
    s->enqueue(ticket, address);
    return ticket;
}

void VerifierEngine::cancel(quint64 ticket) {
    m_tickets.remove(ticket);
}

void VerifierEngine::complete(quint64 ticket, const QString& verdict, const QString& logText) {
    const Done done = m_tickets.take(ticket);
    if (done) done(verdict, logText);
}

void VerifierEngine::sessionEnded(DomainSession* s) {
    if (!m_sessions.removeOne(s)) return;
    for (auto it = m_open.begin(); it != m_open.end();)
        it = it.value() == s ? m_open.erase(it) : std::next(it);
    delete s;
}

int VerifierEngine::resolveBudgetMs() const {
    return (settings.dnsTimeoutSeconds * (settings.dnsRetries + 1) * 2 + 5) * 1000;
}

void VerifierEngine::newRun() {
    settings.mailFrom.clear();
    settings.primaryDns.clear();
    settings.secondaryDns.clear();
    settings.domainName.clear();
    m_resolver.reset();
    m_open.clear();
}

std::unique_ptr<AddressCheck> VerifierEngine::createCheck() {
    return std::make_unique<EngineCheck>(this);
}

} // namespace sendora::verifier
