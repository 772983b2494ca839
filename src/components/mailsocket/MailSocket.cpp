#include "MailSocket.h"

namespace sendora::mail {

QString socketStateText(int state) {
    static const char* const texts[] = {"Closed",         "Open",          "Listening",  "Connection Pending",
                                        "Resolving Host", "Host Resolved", "Connecting", "Connected",
                                        "Closing",        "Error"};
    return state >= 0 && state <= 9 ? QString::fromLatin1(texts[state]) : QString();
}

static TransportFactory defaultFactory() {
    return [] { return std::make_unique<SslTransport>(); };
}

MailSocket::MailSocket(QObject* parent) : QObject(parent), m_factory(defaultFactory()) {
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &MailSocket::onTimer);
}

MailSocket::~MailSocket() {
    detachTransport();
}

void MailSocket::setTransportFactory(TransportFactory factory) {
    m_factory = factory ? std::move(factory) : defaultFactory();
}

bool MailSocket::isEncrypted() const {
    return m_transport && m_transport->isEncrypted();
}

bool MailSocket::IsOpen() const {
    return m_open;
}

void MailSocket::Connect() {
    detachTransport();
    ++m_generation;
    m_parser.reset();
    m_pending.clear();
    m_out.clear();
    m_ext = smtp::Extensions();
    m_authenticated = false;
    m_inGather = false;
    m_timeoutRaised = false;
    m_timer.stop();
    m_lastData = QStringLiteral("CNCT");

    if (m_protocol == Protocol::Pop3) {
        // POP3 has its own client on the same transport (PopClient); this object speaks SMTP.
        Q_EMIT Failure(FailNotSupported, tr("POP3 mailboxes are read with PopClient."));
        return;
    }

    bool ok = false;
    uint port = m_port.trimmed().toUInt(&ok);
    m_implicitTls = m_tlsMode == TlsMode::ImplicitTls || (ok && port == 465);
    if (!ok || port == 0 || port > 65535) port = m_implicitTls ? 465 : 25;

    m_transport = m_factory();
    m_transport->setTlsSettings(m_tls);
    MailTransport* t = m_transport.get();
    connect(t, &MailTransport::hostFound, this, &MailSocket::onHostFound);
    connect(t, &MailTransport::connected, this, &MailSocket::onConnected);
    connect(t, &MailTransport::encrypted, this, &MailSocket::onEncrypted);
    connect(t, &MailTransport::readyRead, this, &MailSocket::onReadyRead);
    connect(t, &MailTransport::disconnected, this, &MailSocket::onDisconnected);
    connect(t, &MailTransport::errorOccurred, this, &MailSocket::onTransportError);

    m_phase = Phase::Connecting;
    const Guard g = guard();
    Q_EMIT State(StateResolvingHost);
    if (g.lost()) return;
    m_sinceProgress.restart();
    armTimeout();
    m_transport->connectToHost(m_host.trimmed(), quint16(port), m_implicitTls);
}

void MailSocket::onHostFound() {
    const Guard g = guard();
    Q_EMIT State(StateHostResolved);
    if (!g.lost()) Q_EMIT State(StateConnecting);
}

void MailSocket::onConnected() {
    m_open = true;
    m_sinceProgress.restart();
    if (m_implicitTls) {
        m_phase = Phase::TlsHandshake;
    } else {
        m_phase = Phase::Greeting;
        m_pending.push_back({Cmd::Greeting, -1, QStringLiteral("CNCT")});
    }
    armTimeout();
    Q_EMIT State(StateConnected);
}

void MailSocket::onEncrypted() {
    if (m_phase != Phase::TlsHandshake) return;
    m_sinceProgress.restart();
    if (m_implicitTls) {
        m_phase = Phase::Greeting;
        m_pending.push_back({Cmd::Greeting, -1, QStringLiteral("CNCT")});
        armTimeout();
        return;
    }
    // RFC 3207: what the server said before TLS no longer counts; ask again.
    m_ext = smtp::Extensions();
    m_phase = Phase::Hello;
    const QByteArray line = "EHLO " + m_heloDomain;
    queueCommand(Cmd::Ehlo, line, QString::fromUtf8(line));
    flush();
}

void MailSocket::onReadyRead() {
    // Replies wait in the socket until the caller has answered a Timeout.
    if (!m_transport || m_timeoutRaised) return;
    const Guard g = guard();
    m_parser.feed(m_transport->readAll());
    SmtpReply reply;
    while (m_parser.next(reply)) {
        handleReply(reply);
        if (g.lost() || m_timeoutRaised) return;
    }
}

void MailSocket::onDisconnected() {
    if (m_phase == Phase::Quitting) {
        closeAndReport();
        return;
    }
    failAndClose(FailConnectionLost, tr("The server closed the connection."));
}

void MailSocket::onTransportError(const QString& message, bool tls) {
    const Guard g = guard();
    if (m_phase == Phase::Quitting) {
        closeAndReport();
        return;
    }
    Q_EMIT State(StateError);
    if (g.lost()) return;
    failAndClose(tls ? FailTls : FailConnection, message);
}

bool MailSocket::awaitingServer() const {
    return !m_pending.empty() || m_phase == Phase::Connecting || m_phase == Phase::TlsHandshake;
}

void MailSocket::armTimeout() {
    if (!m_timer.isActive() && !m_timeoutRaised) m_timer.start(m_timeoutSeconds * 1000);
}

// One timer for all outstanding commands: each reply only restarts the clock, and the
// timer re-arms itself for the remainder, so the hot path never touches timer registration.
void MailSocket::onTimer() {
    if (!awaitingServer() || m_timeoutRaised) return;
    const qint64 left = qint64(m_timeoutSeconds) * 1000 - m_sinceProgress.elapsed();
    if (left > 0) {
        m_timer.start(int(left));
        return;
    }
    if (m_phase == Phase::Quitting) {
        closeAndReport();
        return;
    }
    m_timeoutRaised = true;
    Q_EMIT Timeout(m_timeoutSeconds);
}

void MailSocket::ContinueAfterTimeout() {
    if (!m_timeoutRaised) return;
    m_timeoutRaised = false;
    if (!m_transport) return;
    m_sinceProgress.restart();
    if (awaitingServer()) m_timer.start(m_timeoutSeconds * 1000);
    // Anything that arrived meanwhile is still in the socket.
    QMetaObject::invokeMethod(
        this,
        [this, g = guard()] {
            if (!g.lost()) onReadyRead();
        },
        Qt::QueuedConnection);
}

void MailSocket::queueCommand(Cmd cmd, QByteArrayView line, const QString& label, int index) {
    if (m_pending.empty()) m_sinceProgress.restart();
    m_out.append(line);
    m_out.append("\r\n");
    m_pending.push_back({cmd, index, label});
    m_lastData = label;
}

void MailSocket::flush() {
    if (m_out.isEmpty() || !m_transport) return;
    m_transport->write(m_out);
    m_out.resize(0);
    armTimeout();
}

void MailSocket::detachTransport() {
    m_open = false;
    if (!m_transport) return;
    m_transport->disconnect(this);
    m_transport->abort();
    // We may be inside one of its signals.
    m_transport.release()->deleteLater();
}

void MailSocket::closeAndReport() {
    detachTransport();
    m_phase = Phase::Closed;
    m_pending.clear();
    m_out.clear();
    m_timer.stop();
    m_timeoutRaised = false;
    ++m_generation;
    const Guard g = guard();
    Q_EMIT State(StateClosing);
    if (g.lost()) return;
    Q_EMIT State(StateClosed);
    if (g.lost()) return;
    Q_EMIT Disconnected();
}

void MailSocket::failAndClose(int code, const QString& text) {
    const Guard g = guard();
    failOpenTransaction();
    if (g.lost()) return;
    Q_EMIT Failure(code, text);
    if (!g.lost()) closeAndReport();
}

void MailSocket::failAndQuit(int code, const QString& text) {
    const Guard g = guard();
    failOpenTransaction();
    if (g.lost()) return;
    Q_EMIT Failure(code, text);
    if (g.lost() || !m_transport) return;
    if (!m_pending.empty()) {
        closeAndReport();
        return;
    }
    m_phase = Phase::Quitting;
    queueCommand(Cmd::Quit, "QUIT", QStringLiteral("QUIT"));
    flush();
}

void MailSocket::Quit() {
    if (!m_transport || m_phase == Phase::Closed || m_phase == Phase::Quitting) return;
    const bool midExchange =
        !m_pending.empty() || m_phase == Phase::Connecting || m_phase == Phase::TlsHandshake;
    m_phase = Phase::Quitting;
    if (!midExchange) {
        queueCommand(Cmd::Quit, "QUIT", QStringLiteral("QUIT"));
        flush();
        return;
    }
    // A QUIT now could land inside message text; drop the line instead, reporting later
    // so the caller finishes what it is doing first.
    detachTransport();
    ++m_generation;
    QMetaObject::invokeMethod(
        this,
        [this, g = guard()] {
            if (!g.lost()) closeAndReport();
        },
        Qt::QueuedConnection);
}

void MailSocket::Disconnect() {
    if (!m_transport && m_phase == Phase::Closed) return;
    closeAndReport();
}

} // namespace sendora::mail
