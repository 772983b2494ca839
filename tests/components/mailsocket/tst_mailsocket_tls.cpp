// TLS over real sockets: an in-process SMTP server with a self-signed certificate made at
// test time, for STARTTLS, implicit TLS, certificate trust and AUTH under TLS.

#include "components/mailsocket/MailSocket.h"

#include <QEventLoop>
#include <QProcess>
#include <QSslKey>
#include <QSslSocket>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

using namespace sendora::mail;

Q_DECLARE_METATYPE(sendora::mail::TlsMode)

// Just enough SMTP to carry one message; records what it saw.
class TlsSmtpServer : public QTcpServer {
public:
    QSslCertificate certificate;
    QSslKey key;
    bool implicitTls = false;
    QStringList seen; // commands, "<tls>" marks the handshake
    QByteArray message;

protected:
    void incomingConnection(qintptr descriptor) override {
        auto* s = new QSslSocket(this);
        s->setSocketDescriptor(descriptor);
        s->setLocalCertificate(certificate);
        s->setPrivateKey(key);
        auto inData = std::make_shared<bool>(false);
        connect(s, &QSslSocket::encrypted, this, [this, s] {
            seen << "<tls>";
            if (implicitTls) s->write("220 tls.test ESMTP\r\n");
        });
        connect(s, &QSslSocket::readyRead, this, [this, s, inData] {
            while (s->canReadLine()) {
                const QByteArray line = s->readLine().chopped(2);
                if (*inData) {
                    if (line == ".") {
                        *inData = false;
                        s->write("250 queued\r\n");
                    } else {
                        message += line + "\n";
                    }
                    continue;
                }
                seen << QString::fromUtf8(line);
                if (line.startsWith("EHLO"))
                    s->write(s->isEncrypted() ? "250-tls.test\r\n250 AUTH LOGIN\r\n"
                                              : "250-tls.test\r\n250 STARTTLS\r\n");
                else if (line == "STARTTLS") {
                    s->write("220 go ahead\r\n");
                    s->startServerEncryption();
                } else if (line == "AUTH LOGIN" || line == "dXNlcg==")
                    s->write("334 ok\r\n");
                else if (line == "c2VjcmV0")
                    s->write("235 welcome\r\n");
                else if (line == "DATA") {
                    *inData = true;
                    s->write("354 go\r\n");
                } else if (line == "QUIT") {
                    s->write("221 bye\r\n");
                    s->disconnectFromHost();
                } else
                    s->write("250 ok\r\n");
            }
        });
        if (implicitTls)
            s->startServerEncryption();
        else
            s->write("220 tls.test ESMTP\r\n");
    }
};

class TestMailSocketTls : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void tls_data();
    void tls();

private:
    QTemporaryDir m_dir;
    QSslCertificate m_cert;
    QSslKey m_key;
};

void TestMailSocketTls::initTestCase() {
    if (!QSslSocket::supportsSsl()) QSKIP("no TLS backend");
    const QString cert = m_dir.filePath("cert.pem"), key = m_dir.filePath("key.pem");
    QProcess openssl;
    openssl.start("openssl",
                  {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", cert, "-days",
                   "2", "-subj", "/CN=localhost", "-addext", "subjectAltName=IP:127.0.0.1,DNS:localhost"});
    if (!openssl.waitForFinished(30000) || openssl.exitCode() != 0)
        QSKIP("openssl could not make a certificate");
    QFile c(cert), k(key);
    QVERIFY(c.open(QIODevice::ReadOnly) && k.open(QIODevice::ReadOnly));
    m_cert = QSslCertificate(&c, QSsl::Pem);
    m_key = QSslKey(&k, QSsl::Rsa, QSsl::Pem);
    QVERIFY(!m_cert.isNull() && !m_key.isNull());
}

void TestMailSocketTls::tls_data() {
    QTest::addColumn<TlsMode>("mode");
    QTest::addColumn<int>("trust"); // 0 system store only, 1 trust the certificate, 2 no verification
    QTest::addColumn<bool>("delivered");
    QTest::addColumn<QStringList>("serverSaw");

    const QStringList starttls{"EHLO client.test",     "STARTTLS", "<tls>",    "EHLO client.test",
                               "AUTH LOGIN",           "dXNlcg==", "c2VjcmV0", "MAIL FROM:<s@client.test>",
                               "RCPT TO:<r@tls.test>", "DATA",     "QUIT"};
    QTest::newRow("STARTTLS, trusted certificate") << TlsMode::StartTlsRequired << 1 << true << starttls;
    QTest::newRow("STARTTLS, verification off") << TlsMode::StartTlsIfOffered << 2 << true << starttls;
    QTest::newRow("STARTTLS, unknown certificate")
        << TlsMode::StartTlsRequired << 0 << false << QStringList{"EHLO client.test", "STARTTLS"};
    QTest::newRow("implicit TLS") << TlsMode::ImplicitTls << 1 << true
                                  << QStringList{"<tls>"} + starttls.mid(3);
}

void TestMailSocketTls::tls() {
    QFETCH(TlsMode, mode);
    QFETCH(int, trust);
    QFETCH(bool, delivered);
    QFETCH(QStringList, serverSaw);

    TlsSmtpServer server;
    server.certificate = m_cert;
    server.key = m_key;
    server.implicitTls = mode == TlsMode::ImplicitTls;
    QVERIFY(server.listen(QHostAddress::LocalHost));

    MailSocket socket;
    socket.setHost("127.0.0.1");
    socket.setPort(QString::number(server.serverPort()));
    socket.setTlsMode(mode);
    socket.setTimeout(10);
    socket.setUserName("user");
    socket.setPassword("secret");
    if (trust == 1) socket.addTrustedCertificate(m_cert);
    socket.setVerifyPeer(trust != 2);

    QStringList outcome;
    QEventLoop loop;
    connect(&socket, &MailSocket::Connected, &socket, [&] { socket.AuthHello("client.test"); });
    connect(&socket, &MailSocket::Ready, &socket, [&] {
        if (outcome.isEmpty())
            socket.SendMessage();
        else
            socket.Quit();
    });
    connect(&socket, &MailSocket::SENDFrom, &socket, [&] { socket.SetFrom("s@client.test"); });
    connect(&socket, &MailSocket::SENDTo, &socket, [&] { socket.SetTo({"r@tls.test", false}); });
    connect(&socket, &MailSocket::SENDBody, &socket,
            [&] { socket.SetBody("Subject: tls\r\n\r\n.secret\r\n"); });
    connect(&socket, &MailSocket::SENT, &socket,
            [&](const Recipient& r) { outcome << (r.delivered ? "ok" : "fail"); });
    connect(&socket, &MailSocket::Failure, &socket,
            [&](int code, const QString&) { outcome << QString::number(code); });
    connect(&socket, &MailSocket::Disconnected, &loop, &QEventLoop::quit);
    QTimer::singleShot(20000, &loop, &QEventLoop::quit);
    socket.Connect();
    loop.exec();

    QCOMPARE(outcome, delivered ? QStringList{"ok"} : QStringList{QString::number(FailTls)});
    QCOMPARE(server.seen, serverSaw);
    if (delivered) {
        QCOMPARE(server.message, QByteArray("Subject: tls\n\n..secret\n"));
        QVERIFY(socket.isAuthenticated());
    }
}

QTEST_GUILESS_MAIN(TestMailSocketTls)
#include "tst_mailsocket_tls.moc"
