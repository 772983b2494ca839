#include "FakeTransport.h"

namespace sendora::mail {

FakeTransport::FakeTransport(FakeServer* server) : m_server(server) {}

FakeTransport::~FakeTransport() = default;

void FakeTransport::post(void (FakeTransport::*signal)()) {
    QMetaObject::invokeMethod(
        this,
        [this, signal] {
            if (!m_closed || signal == &FakeTransport::disconnected) (this->*signal)();
        },
        Qt::QueuedConnection);
}

void FakeTransport::connectToHost(const QString& host, quint16 port, bool implicitTls) {
    m_host = host;
    m_port = port;
    m_implicitTls = implicitTls;
    if (m_server) m_server->attach(this);
}

void FakeTransport::startClientEncryption() {
    m_tlsRequested = true;
    if (m_server) m_server->clientStartedTls(this);
}

bool FakeTransport::isLoopbackPeer() const {
    return m_server && m_server->isLoopback();
}

qint64 FakeTransport::write(QByteArrayView data) {
    if (m_closed) return -1;
    if (m_server) m_server->clientWrote(this, data);
    return data.size();
}

QByteArray FakeTransport::readAll() {
    m_readPosted = false;
    return std::exchange(m_inbox, QByteArray());
}

void FakeTransport::close() {
    if (m_closed) return;
    m_closed = true;
    post(&FakeTransport::disconnected);
}

void FakeTransport::abort() {
    m_closed = true;
}

void FakeTransport::deliver(QByteArrayView data) {
    if (m_closed) return;
    m_inbox.append(data);
    if (!m_readPosted) {
        m_readPosted = true;
        post(&FakeTransport::readyRead);
    }
}

void FakeTransport::dropConnection() {
    if (m_closed) return;
    m_closed = true;
    post(&FakeTransport::disconnected);
}

void FakeTransport::finishHandshake(bool ok) {
    if (ok) {
        m_encrypted = true;
        post(&FakeTransport::encrypted);
        return;
    }
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (!m_closed) Q_EMIT errorOccurred(QStringLiteral("TLS handshake failed"), true);
        },
        Qt::QueuedConnection);
}

FakeServer::FakeServer(QObject* parent) : QObject(parent) {}

TransportFactory FakeServer::factory() {
    return [server = QPointer<FakeServer>(this)] { return std::make_unique<FakeTransport>(server.data()); };
}

void FakeServer::attach(FakeTransport* transport) {
    ++m_connections;
    m_transport = transport;
    m_lastHost = transport->host();
    m_lastPort = transport->port();
    m_lastImplicitTls = transport->implicitTls();
    m_fromClient.clear();
    m_script = m_scripts.isEmpty() ? QStringList()
                                   : m_scripts.at(std::min<qsizetype>(m_connections, m_scripts.size()) - 1);
    m_step = 0;
    if (!m_script.isEmpty() && m_script.first() == QLatin1String("REFUSE")) {
        m_step = 1;
        QMetaObject::invokeMethod(
            transport,
            [transport] { Q_EMIT transport->errorOccurred(QStringLiteral("Connection refused"), false); },
            Qt::QueuedConnection);
        return;
    }
    QMetaObject::invokeMethod(
        transport,
        [this, transport] {
            Q_EMIT transport->hostFound();
            Q_EMIT transport->connected();
            if (transport->implicitTls()) transport->finishHandshake(true);
            if (m_transport == transport) run();
        },
        Qt::QueuedConnection);
}

void FakeServer::clientWrote(FakeTransport* transport, QByteArrayView data) {
    if (transport != m_transport) return;
    m_clientBytes.append(data);
    m_fromClient.append(data);
    run();
}

void FakeServer::clientStartedTls(FakeTransport* transport) {
    if (transport == m_transport) run();
}

bool FakeServer::takeLine(QByteArray& line) {
    const qsizetype end = m_fromClient.indexOf("\r\n");
    if (end < 0) return false;
    line = m_fromClient.left(end);
    m_fromClient.remove(0, end + 2);
    return true;
}

QByteArray FakeServer::unescape(QStringView text) {
    const QByteArray in = text.toUtf8();
    QByteArray out;
    for (qsizetype i = 0; i < in.size(); ++i) {
        if (in[i] != '\\' || i + 1 == in.size()) {
            out += in[i];
            continue;
        }
        const char c = in[++i];
        out += c == 'r' ? '\r' : c == 'n' ? '\n' : c == '0' ? '\0' : c;
    }
    return out;
}

void FakeServer::run() {
    if (m_running) return;
    m_running = true;
    while (m_step < m_script.size() && m_transport && !m_transport->isClosed()) {
        const QString step = m_script.at(m_step);
        if (step.startsWith(QLatin1String("S: "))) {
            m_transport->deliver(step.sliced(3).toUtf8() + "\r\n");
        } else if (step.startsWith(QLatin1String("R: "))) {
            m_transport->deliver(unescape(QStringView(step).sliced(3)));
        } else if (step.startsWith(QLatin1String("C: "))) {
            QByteArray line;
            if (!takeLine(line)) break;
            const QByteArray expected = step.sliced(3).toUtf8();
            const bool match =
                expected.endsWith('*') ? line.startsWith(expected.chopped(1)) : line == expected;
            if (!match)
                m_mismatches << QStringLiteral("step %1: expected \"%2\", got \"%3\"")
                                    .arg(m_step)
                                    .arg(QString::fromUtf8(expected),
                                         QString::fromUtf8(line.toPercentEncoding(" <>:@=.-_")));
        } else if (step == QLatin1String("DATA")) {
            qsizetype end = m_fromClient.startsWith(".\r\n") ? -2 : m_fromClient.indexOf("\r\n.\r\n");
            if (end == -1) break;
            m_messages << m_fromClient.left(end + 2);
            m_fromClient.remove(0, end + 5);
        } else if (step == QLatin1String("TLS") || step == QLatin1String("TLS FAIL")) {
            if (!m_transport->tlsRequested()) break;
            m_transport->finishHandshake(step == QLatin1String("TLS"));
        } else if (step == QLatin1String("CLOSE")) {
            m_transport->dropConnection();
        } else if (step == QLatin1String("STALL")) {
            // Reads everything, answers nothing, forever.
            m_fromClient.clear();
            break;
        } else {
            m_mismatches << QStringLiteral("step %1: unknown step \"%2\"").arg(m_step).arg(step);
        }
        ++m_step;
    }
    if (m_step >= m_script.size() && !m_fromClient.isEmpty()) {
        m_mismatches << QStringLiteral("unexpected client data after the script: \"%1\"")
                            .arg(QString::fromUtf8(m_fromClient.left(200)));
        m_fromClient.clear();
    }
    m_running = false;
}

} // namespace sendora::mail
