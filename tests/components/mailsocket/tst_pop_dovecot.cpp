// The POP3 client against a real Dovecot: login, count, header, message, deletion seen by
// a second session, wrong password, and STLS / implicit TLS with a self-signed certificate.

#include "components/mailsocket/PopClient.h"
#include "support/DovecotPop.h"

#include <QSslSocket>
#include <QTest>

using namespace sendora::mail;
using sendora::test::DovecotPop;

namespace {

struct Session {
    explicit Session(const DovecotPop& pop, quint16 port, TlsMode mode = TlsMode::None) {
        client.setHost(QStringLiteral("127.0.0.1"));
        client.setPort(QString::number(port));
        client.setUserName(pop.userName());
        client.setPassword(pop.password());
        client.setTimeout(10);
        client.setTlsMode(mode);
        QObject::connect(&client, &PopClient::POPStatus, [this](int code) { codes << code; });
        QObject::connect(&client, &PopClient::DataRecieved,
                         [this](const QString& cmd, const QString&, qint64) { commands << cmd; });
    }
    bool waitFor(int code) {
        return QTest::qWaitFor([&] { return codes.contains(code) || codes.contains(PopTimedOut); }, 10000) &&
               codes.contains(code);
    }
    // Logged in with the mailbox listed, or false with the codes seen.
    bool open() {
        client.Connect();
        (void)QTest::qWaitFor(
            [this] {
                for (int c : {5, 2, 7, 11, 20, 25, 27})
                    if (codes.contains(c)) return true;
                return false;
            },
            10000);
        return codes.contains(PopListReceived);
    }
    void quit() {
        codes.clear();
        client.Quit();
        (void)QTest::qWaitFor([this] { return codes.contains(PopQuitOk) || codes.contains(PopQuitFailed); },
                              10000);
    }
    PopClient client;
    QList<int> codes;
    QStringList commands;
};

const QByteArray first =
    "From: Ann <ann@example.com>\nTo: alice@example.org\nSubject: first\n\nHello\n.\n..two\n";
const QByteArray second = "From: bob@example.com\nSubject: second\n\nBody two\n";

} // namespace

class TestPopDovecot : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void emptyMailbox();
    void readAndDelete();
    void wrongPassword();
    void tls_data();
    void tls();
};

void TestPopDovecot::init() {
    if (DovecotPop::available()) return;
    if (DovecotPop::mustExist()) QFAIL("dovecot is not installed");
    QSKIP("dovecot is not installed");
}

void TestPopDovecot::emptyMailbox() {
    DovecotPop pop;
    QVERIFY2(pop.start(), qPrintable(pop.log()));
    Session s(pop, pop.port());
    QVERIFY2(s.open(), qPrintable(pop.log()));
    QCOMPARE(s.codes, (QList<int>{1, 24, 10, 19, 5}));
    QCOMPARE(s.client.MessageCount(), 0);
    s.quit();
    QCOMPARE(s.codes, QList<int>{PopQuitOk});
}

void TestPopDovecot::readAndDelete() {
    DovecotPop pop;
    QVERIFY2(pop.start(), qPrintable(pop.log()));
    pop.addMessage(first);
    pop.addMessage(second);

    Session s(pop, pop.port());
    QVERIFY2(s.open(), qPrintable(pop.log()));
    QCOMPARE(s.client.MessageCount(), 2);
    QByteArray firstCrlf = first;
    firstCrlf.replace("\n", "\r\n");
    QCOMPARE(s.client.MailboxSize(), firstCrlf.size() + second.size() + second.count('\n'));
    QCOMPARE(s.client.MessageSize(1), firstCrlf.size());

    s.client.RetrieveHeader(1);
    QVERIFY(s.waitFor(PopHeadersRetrieved));
    QCOMPARE(s.client.HeaderText(),
             "From: Ann <ann@example.com>\r\nTo: alice@example.org\r\nSubject: first\r\n\r\n");
    s.client.RetrieveMessage(1);
    QVERIFY(s.waitFor(PopMessageRetrieved));
    QCOMPARE(s.client.fetchedData(), firstCrlf);
    QVERIFY(s.commands.contains("TOP 1 0"));

    s.codes.clear();
    s.client.RemoveMessage(1);
    QVERIFY(s.waitFor(PopCommandOk));
    s.quit();
    QCOMPARE(s.codes, QList<int>{PopQuitOk});
    QVERIFY(!s.client.IsOpen());

    // A second session sees only the message that was kept.
    Session again(pop, pop.port());
    QVERIFY(again.open());
    QCOMPARE(again.client.MessageCount(), 1);
    again.client.RetrieveHeader(1);
    QVERIFY(again.waitFor(PopHeadersRetrieved));
    QVERIFY(again.client.HeaderText().contains("Subject: second"));
    again.client.Disconnect();
    QCOMPARE(pop.messageCount(), 1);
}

void TestPopDovecot::wrongPassword() {
    DovecotPop pop;
    QVERIFY2(pop.start(), qPrintable(pop.log()));
    Session s(pop, pop.port());
    s.client.setPassword(QStringLiteral("wrong"));
    QVERIFY(!s.open());
    QCOMPARE(s.codes, (QList<int>{1, 24, 11}));
    s.quit();
    QCOMPARE(s.codes, QList<int>{PopQuitOk});
}

void TestPopDovecot::tls_data() {
    QTest::addColumn<bool>("implicit");
    QTest::addColumn<bool>("trust");
    QTest::newRow("STLS, certificate trusted") << false << true;
    QTest::newRow("implicit TLS, certificate trusted") << true << true;
    QTest::newRow("STLS, unknown certificate") << false << false;
}

void TestPopDovecot::tls() {
    QFETCH(bool, implicit);
    QFETCH(bool, trust);
    if (!QSslSocket::supportsSsl()) QSKIP("no TLS backend");
    DovecotPop pop;
    QVERIFY2(pop.start(true), qPrintable(pop.log()));
    pop.addMessage(second);
    Session s(pop, implicit ? pop.tlsPort() : pop.port(),
              implicit ? TlsMode::ImplicitTls : TlsMode::StartTlsRequired);
    // The test server's own certificate is the only anchor accepted.
    if (trust) s.client.addTrustedCertificate(pop.certificate());
    if (!trust) {
        QVERIFY(!s.open());
        QCOMPARE(s.codes, (QList<int>{1, 2}));
        QVERIFY(!s.commands.contains("USER"));
        return;
    }
    QVERIFY2(s.open(), qPrintable(s.client.errorText() + "\n" + pop.log()));
    QVERIFY(s.client.isEncrypted());
    QCOMPARE(s.client.MessageCount(), 1);
    QCOMPARE(s.commands.contains("STLS"), !implicit);
    s.client.RetrieveMessage(1);
    QVERIFY(s.waitFor(PopMessageRetrieved));
    QVERIFY(s.client.FetchedText().endsWith("Body two\r\n"));
    s.quit();
    QCOMPARE(s.codes, QList<int>{PopQuitOk});
}

QTEST_GUILESS_MAIN(TestPopDovecot)
#include "tst_pop_dovecot.moc"
