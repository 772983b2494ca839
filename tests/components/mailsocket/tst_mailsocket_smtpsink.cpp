// Against a real server: Postfix's smtp-sink on a loopback port, 50 messages lockstep and
// 50 pipelined, checked byte by byte in its dump files.

#include "components/mailsocket/MailSocket.h"
#include "support/SmtpSink.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTest>

using namespace sendora::mail;

class TestMailSocketSmtpSink : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void fiftyMessages_data();
    void fiftyMessages();
};

void TestMailSocketSmtpSink::fiftyMessages_data() {
    QTest::addColumn<bool>("pipelining");
    QTest::newRow("lockstep") << false;
    QTest::newRow("pipelined") << true;
}

void TestMailSocketSmtpSink::fiftyMessages() {
    QFETCH(bool, pipelining);
    if (!sendora::test::SmtpSink::available()) {
        if (sendora::test::SmtpSink::mustExist()) QFAIL("smtp-sink is not installed");
        QSKIP("smtp-sink is not installed");
    }
    sendora::test::SmtpSink sink;
    QVERIFY(sink.start());
    constexpr int Count = 50;
    // Dot lines, bare LF and a long line, so framing is checked against a real parser.
    const QString bodyTail = "\r\n.\r\n..\r\n.leading\nbare LF line\n" + QString(900, u'x') + "\r\nend";

    MailSocket socket;
    socket.setHost("127.0.0.1");
    socket.setPort(QString::number(sink.port()));
    socket.setTimeout(10);
    socket.setPipeliningAllowed(pipelining);
    int next = 0, ok = 0, failed = 0;
    bool done = false;
    QStringList failures;
    connect(&socket, &MailSocket::Connected, &socket, [&] { socket.Hello("client.test"); });
    connect(&socket, &MailSocket::Ready, &socket, [&] {
        if (next == Count)
            socket.Quit();
        else
            socket.SendMessage();
    });
    connect(&socket, &MailSocket::SENDFrom, &socket, [&] { socket.SetFrom("<sender@client.test>"); });
    connect(&socket, &MailSocket::SENDTo, &socket, [&] {
        socket.SetTo({QStringLiteral("rcpt%1@sink.test").arg(next), false});
    });
    connect(&socket, &MailSocket::SENDBody, &socket, [&] {
        socket.SetBody(QStringLiteral("Subject: message %1\r\nX-Seq: %1\r\n\r\nbody %1").arg(next) +
                       bodyTail);
        ++next;
    });
    connect(&socket, &MailSocket::SENT, &socket, [&](const Recipient& r) { r.delivered ? ++ok : ++failed; });
    connect(&socket, &MailSocket::Failure, &socket,
            [&](int code, const QString& text) { failures << QString::number(code) + " " + text; });
    connect(&socket, &MailSocket::Disconnected, &socket, [&] { done = true; });

    // A real event loop: QTRY_* sleeps between rounds and would measure its own naps.
    QEventLoop loop;
    connect(&socket, &MailSocket::Disconnected, &loop, &QEventLoop::quit);
    QTimer::singleShot(30000, &loop, &QEventLoop::quit);
    QElapsedTimer clock;
    clock.start();
    socket.Connect();
    loop.exec();
    QVERIFY(done);
    qInfo("%d messages %s in %lld ms", Count, pipelining ? "pipelined" : "lockstep", clock.elapsed());
    QCOMPARE(failures, QStringList());
    QCOMPARE(ok, Count);
    QCOMPARE(failed, 0);
    QCOMPARE(socket.isPipelining(), pipelining);

    // smtp-sink writes the dumps as it goes; allow it a moment for the last one.
    QTRY_COMPARE(sink.dumpCount(), Count);
    QSet<int> seen;
    for (const QByteArray& dump : sink.dumps()) {
        const qsizetype at = dump.indexOf("X-Seq: ");
        QVERIFY2(at >= 0, dump.constData());
        const int seq = dump.mid(at + 7, dump.indexOf('\n', at) - at - 7).trimmed().toInt();
        seen.insert(seq);
        QVERIFY(dump.contains(QStringLiteral("X-Rcpt-Args: <rcpt%1@sink.test>").arg(seq).toUtf8()));
        QVERIFY(dump.contains("X-Mail-Args: <sender@client.test>"));
        // Un-stuffed by the server, the body reads exactly as it was given.
        const QByteArray expectedBody =
            QStringLiteral("\nbody %1\n.\n..\n.leading\nbare LF line\n").arg(seq).toUtf8() +
            QByteArray(900, 'x') + "\nend\n\n";
        QVERIFY2(dump.endsWith(expectedBody), dump.right(200).constData());
    }
    QCOMPARE(seen.size(), Count);
}

QTEST_GUILESS_MAIN(TestMailSocketSmtpSink)
#include "tst_mailsocket_smtpsink.moc"
