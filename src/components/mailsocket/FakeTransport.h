#pragma once
// A scripted mail server for tests. FakeServer hands out FakeTransports through factory();
// each connection plays its script, one step per line:
//
//   "S: text"    the server sends text + CRLF
//   "R: bytes"   the server sends raw bytes; \r \n \0 \\ are escapes
//   "C: line"    the client must send this line; a trailing '*' matches any rest
//   "DATA"       the client sends message content up to CRLF "." CRLF, kept in messages()
//   "TLS"        the client must start TLS; the handshake succeeds
//   "TLS FAIL"   the client must start TLS; the handshake fails
//   "CLOSE"      the server drops the connection
//   "REFUSE"     (first step) the connection is refused
//
// Server steps run as soon as the client steps before them are met, so a lockstep client
// stalls on a script that expects pipelined commands. A script that ends just stops
// answering, which is how a stalled server looks. Deliveries are queued like socket
// events: run an event loop (QTRY_*, QSignalSpy::wait) to see them.

#include "MailSocket.h"
#include "MailTransport.h"

#include <QPointer>
#include <QStringList>

namespace sendora::mail {

class FakeServer;

class FakeTransport final : public MailTransport {
    Q_OBJECT
public:
    explicit FakeTransport(FakeServer* server);
    ~FakeTransport() override;

    void connectToHost(const QString& host, quint16 port, bool implicitTls) override;
    void startClientEncryption() override;
    bool isEncrypted() const override { return m_encrypted; }
    bool isLoopbackPeer() const override;
    qint64 write(QByteArrayView data) override;
    QByteArray readAll() override;
    void close() override;
    void abort() override;
    void setTlsSettings(const TlsSettings& settings) override { m_tls = settings; }

    // Server side.
    void deliver(QByteArrayView data);
    void dropConnection();
    void finishHandshake(bool ok);
    bool tlsRequested() const { return m_tlsRequested; }
    bool isClosed() const { return m_closed; }
    QString host() const { return m_host; }
    quint16 port() const { return m_port; }
    bool implicitTls() const { return m_implicitTls; }
    const TlsSettings& tlsSettings() const { return m_tls; }

private:
    void post(void (FakeTransport::*signal)());

    QPointer<FakeServer> m_server;
    QByteArray m_inbox;
    QString m_host;
    quint16 m_port = 0;
    bool m_implicitTls = false;
    bool m_encrypted = false;
    bool m_tlsRequested = false;
    bool m_closed = false;
    bool m_readPosted = false;
    TlsSettings m_tls;
};

class FakeServer : public QObject {
    Q_OBJECT
public:
    explicit FakeServer(QObject* parent = nullptr);

    // One script per connection, in connection order; the last one serves any later ones.
    void setScript(const QStringList& script) { m_scripts = {script}; }
    void addConnectionScript(const QStringList& script) { m_scripts.append(script); }
    void setLoopback(bool loopback) { m_loopback = loopback; }
    bool isLoopback() const { return m_loopback; }

    TransportFactory factory();

    int connectionCount() const { return m_connections; }
    // The live connection; null once the client has let go of it.
    FakeTransport* transport() const { return m_transport; }
    // Where the last connection went, kept after the transport is gone.
    QString lastHost() const { return m_lastHost; }
    quint16 lastPort() const { return m_lastPort; }
    bool lastImplicitTls() const { return m_lastImplicitTls; }
    // Every byte the client wrote, all connections.
    QByteArray clientBytes() const { return m_clientBytes; }
    // Message contents received with DATA, as sent (dot-stuffed, CRLF).
    QList<QByteArray> messages() const { return m_messages; }
    // Script steps the client did not meet, and client data no step expected.
    QStringList mismatches() const { return m_mismatches; }
    bool scriptDone() const { return m_step >= m_script.size(); }
    QString pendingStep() const { return scriptDone() ? QString() : m_script.at(m_step); }

    // Called by FakeTransport.
    void attach(FakeTransport* transport);
    void clientWrote(FakeTransport* transport, QByteArrayView data);
    void clientStartedTls(FakeTransport* transport);

private:
    void run();
    bool takeLine(QByteArray& line);
    static QByteArray unescape(QStringView text);

    QList<QStringList> m_scripts;
    QStringList m_script;
    qsizetype m_step = 0;
    QPointer<FakeTransport> m_transport;
    QByteArray m_fromClient; // unconsumed client bytes of this connection
    QByteArray m_clientBytes;
    QList<QByteArray> m_messages;
    QStringList m_mismatches;
    int m_connections = 0;
    QString m_lastHost;
    quint16 m_lastPort = 0;
    bool m_lastImplicitTls = false;
    bool m_loopback = false;
    bool m_running = false;
};

} // namespace sendora::mail
