#pragma once
// Mail servers for direct-send tests on 127.0.0.2 ... 127.0.0.9, port 25 (the port direct
// send always uses; the tests run as root). Each server keeps what it received and behaves
// as told: accepts everything, refuses some recipients, answers 4xx, never answers, or
// drops the connection in the middle of DATA. Tests elsewhere may hold the same addresses:
// start() waits for them (bounded) rather than failing at once.

#include <QElapsedTimer>
#include <QHostAddress>
#include <QList>
#include <QPointer>
#include <QSslCertificate>
#include <QSslKey>
#include <QSslSocket>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>
#include <memory>
#include <unistd.h>

namespace sendora::test {

enum class SinkBehaviour {
    AcceptAll,
    RefuseSome,  // RCPT of a local part beginning with "unknown": 550
    TempFail,    // every RCPT: 451
    Stall,       // takes the connection and never says a word
    CloseInData, // drops the connection after the first bytes of message text
};

struct CapturedMessage {
    QString from;
    QStringList recipients;
    QByteArray data;
};

class CaptureSmtp : public QObject {
public:
    // With a certificate, STARTTLS is offered before TLS and taken with it.
    QSslCertificate certificate;
    QSslKey key;
    int tlsSessions = 0;

    explicit CaptureSmtp(SinkBehaviour behaviour) : m_behaviour(behaviour) {
        QObject::connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* s = m_server.nextPendingConnection())
                accept(s);
        });
    }
    bool listen(const QHostAddress& address, quint16 port = 25) { return m_server.listen(address, port); }
    void close() { m_server.close(); }
    QHostAddress address() const { return m_server.serverAddress(); }

    QList<CapturedMessage> messages;
    int connections = 0;
    int dataDelayMs = 0; // before the reply to the end of message text

private:
    struct Session {
        QByteArray buffer;
        bool inData = false;
        bool held = false; // a delayed reply is due: later commands wait behind it
        CapturedMessage message;
    };

    void accept(QTcpSocket* s) {
        ++connections;
        if (m_behaviour == SinkBehaviour::Stall) return; // kept open, never answered
        auto session = std::make_shared<Session>();
        QObject::connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
        QObject::connect(s, &QTcpSocket::readyRead, this, [this, s, session] { onRead(s, *session); });
        s->write("220 capture.test ESMTP\r\n");
    }

    void onRead(QTcpSocket* s, Session& st) {
        st.buffer += s->readAll();
        while (!st.held) {
            if (st.inData) {
                if (m_behaviour == SinkBehaviour::CloseInData) {
                    s->abort();
                    return;
                }
                const qsizetype end = st.buffer.indexOf("\r\n.\r\n");
                if (end < 0) return;
                st.message.data = st.buffer.left(end + 2);
                st.buffer.remove(0, end + 5);
                st.inData = false;
                messages.append(st.message);
                st.message = CapturedMessage{};
                if (dataDelayMs > 0) {
                    QPointer<QTcpSocket> guard(s);
                    st.held = true;
                    QTimer::singleShot(dataDelayMs, this, [this, guard, &st] {
                        if (!guard) return;
                        st.held = false;
                        guard->write("250 2.0.0 Ok: queued\r\n");
                        onRead(guard, st);
                    });
                    return;
                }
                s->write("250 2.0.0 Ok: queued\r\n");
                continue;
            }
            const qsizetype eol = st.buffer.indexOf("\r\n");
            if (eol < 0) return;
            const QByteArray line = st.buffer.left(eol);
            st.buffer.remove(0, eol + 2);
            const QByteArray verb = line.left(4).toUpper();
            auto* tls = qobject_cast<QSslSocket*>(s);
            if (verb == "EHLO") {
                const bool offerTls = !certificate.isNull() && tls && !tls->isEncrypted();
                s->write("250-capture.test\r\n250-PIPELINING\r\n250-8BITMIME\r\n" +
                         QByteArray(offerTls ? "250-STARTTLS\r\n" : "") + "250 SIZE 10240000\r\n");
            } else if (line.toUpper() == "STARTTLS" && tls && !certificate.isNull()) {
                s->write("220 2.0.0 Ready to start TLS\r\n");
                st.buffer.clear();
                tls->setLocalCertificate(certificate);
                tls->setPrivateKey(key);
                QObject::connect(tls, &QSslSocket::encrypted, this, [this] { ++tlsSessions; });
                tls->startServerEncryption();
                return;
            } else if (verb == "HELO" || verb == "NOOP") {
                s->write("250 Ok\r\n");
            } else if (verb == "MAIL") {
                st.message = CapturedMessage{};
                st.message.from = pathOf(line);
                s->write("250 2.1.0 Ok\r\n");
            } else if (verb == "RCPT") {
                const QString rcpt = pathOf(line);
                if (m_behaviour == SinkBehaviour::TempFail) {
                    s->write("451 4.3.0 <" + rcpt.toUtf8() + ">: Temporary lookup failure\r\n");
                } else if (m_behaviour == SinkBehaviour::RefuseSome &&
                           rcpt.startsWith(QLatin1String("unknown"))) {
                    s->write("550 5.1.1 <" + rcpt.toUtf8() +
                             ">: Recipient address rejected: User unknown\r\n");
                } else {
                    st.message.recipients << rcpt;
                    s->write("250 2.1.5 Ok\r\n");
                }
            } else if (verb == "DATA") {
                if (st.message.recipients.isEmpty()) {
                    s->write("554 5.5.1 Error: no valid recipients\r\n");
                } else {
                    st.inData = true;
                    s->write("354 End data with <CR><LF>.<CR><LF>\r\n");
                }
            } else if (verb == "RSET") {
                st.message = CapturedMessage{};
                s->write("250 2.0.0 Ok\r\n");
            } else if (verb == "QUIT") {
                s->write("221 2.0.0 Bye\r\n");
                s->disconnectFromHost();
                return;
            } else {
                s->write("502 5.5.2 Error: command not recognized\r\n");
            }
        }
    }

    static QString pathOf(const QByteArray& line) {
        const qsizetype open = line.indexOf('<'), close = line.indexOf('>', open);
        return open < 0 || close < 0 ? QString() : QString::fromUtf8(line.mid(open + 1, close - open - 1));
    }

    // Hands out QSslSocket, so a session can turn to TLS.
    class Server : public QTcpServer {
    protected:
        void incomingConnection(qintptr descriptor) override {
            auto* s = new QSslSocket(this);
            s->setSocketDescriptor(descriptor);
            addPendingConnection(s);
        }
    };

    SinkBehaviour m_behaviour;
    Server m_server;
};

class SinkPool {
public:
    static bool canBindPort25() { return ::geteuid() == 0; }

    // One server per behaviour, on 127.0.0.2 upwards in the order given.
    bool start(const QList<SinkBehaviour>& behaviours, int waitMs = 60000) {
        QElapsedTimer clock;
        clock.start();
        for (int i = 0; i < behaviours.size(); ++i) {
            auto sink = std::make_unique<CaptureSmtp>(behaviours[i]);
            const QHostAddress address(addressOf(i));
            while (!sink->listen(address)) {
                if (clock.elapsed() > waitMs) return false;
                QTest::qWait(200);
            }
            m_sinks.push_back(std::move(sink));
        }
        return true;
    }
    void stop() { m_sinks.clear(); }
    void clearMessages() {
        for (auto& s : m_sinks)
            s->messages.clear();
    }

    CaptureSmtp& sink(int i) { return *m_sinks[i]; }
    // SINKPOOL_FIRST moves the pool (default 2: 127.0.0.2) when two suites run side by side.
    static QString addressOf(int i) {
        const int first =
            qEnvironmentVariableIsSet("SINKPOOL_FIRST") ? qEnvironmentVariableIntValue("SINKPOOL_FIRST") : 2;
        return QStringLiteral("127.0.0.%1").arg(first + i);
    }
    int size() const { return int(m_sinks.size()); }
    // Every recipient delivered to any server, once per message.
    QStringList delivered() const {
        QStringList all;
        for (const auto& s : m_sinks)
            for (const CapturedMessage& m : s->messages)
                all += m.recipients;
        return all;
    }

private:
    std::vector<std::unique_ptr<CaptureSmtp>> m_sinks;
};

} // namespace sendora::test
