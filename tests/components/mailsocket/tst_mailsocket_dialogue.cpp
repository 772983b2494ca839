// Connection-level dialogue against a scripted server: greeting, EHLO/HELO, STARTTLS,
// authentication, connection states, timeouts and reconnecting.

#include "MailSocketTestKit.h"

#include <QTest>

using namespace mailtest;

Q_DECLARE_METATYPE(sendora::mail::TlsMode)

class TestMailSocketDialogue : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void dialogue_data();
    void dialogue();
    void statesOfAConnection();
    void refusedConnection();
    void implicitTlsOnPort465();
    void stalledServerRaisesTimeout();
    void lateReplyAfterContinue();
    void quitMidExchangeDropsTheLine();
    void reconnectAfterQuit();
    void disconnectIsImmediate();
    void popIsNotOfferedYet();
};

static const QStringList tlsEhlo{"S: 220 mx.test ESMTP", "C: EHLO example.org", "S: 250-mx.test",
                                 "S: 250 STARTTLS"};
static const QStringList afterTls{"C: EHLO example.org", "S: 250-mx.test", "S: 250 AUTH PLAIN LOGIN"};

void TestMailSocketDialogue::dialogue_data() {
    QTest::addColumn<QStringList>("script");
    QTest::addColumn<TlsMode>("tls");
    QTest::addColumn<bool>("auth");
    QTest::addColumn<bool>("loopback");
    QTest::addColumn<QStringList>("expected"); // outcome events

    const QStringList ok = lockstepOk("a@x.test") + quit;
    const QStringList sent{"SENT a@x.test ok"};
    const QStringList login{"C: AUTH LOGIN",       "S: 334 VXNlcm5hbWU6", "C: dXNlcg==",
                            "S: 334 UGFzc3dvcmQ6", "C: c2VjcmV0",         "S: 235 2.7.0 ok"};

    QTest::newRow("multi-line greeting") << QStringList{"S: 220-mx.test first", "S: 220-second",
                                                        "S: 220 third", "C: EHLO example.org", "S: 250 mx"} +
                                                ok
                                         << TlsMode::None << false << false << sent;
    QTest::newRow("EHLO refused, HELO")
        << QStringList{"S: 220 mx", "C: EHLO example.org", "S: 502 5.5.2 what", "C: HELO example.org",
                       "S: 250 mx"} +
               ok
        << TlsMode::None << false << false << sent;
    QTest::newRow("EHLO and HELO refused")
        << QStringList{"S: 220 mx", "C: EHLO example.org", "S: 500 no", "C: HELO example.org",
                       "S: 550 go away"} +
               quit
        << TlsMode::None << false << false << QStringList{"Failure 550 550 go away"};
    QTest::newRow("EHLO 4xx") << QStringList{"S: 220 mx", "C: EHLO example.org", "S: 451 later"} + quit
                              << TlsMode::None << false << false << QStringList{"Failure 451 451 later"};
    QTest::newRow("greeting refused") << QStringList{"S: 554 no service"} + quit << TlsMode::None << false
                                      << false << QStringList{"Failure 554 554 no service"};
    QTest::newRow("STARTTLS offered")
        << tlsEhlo + QStringList{"C: STARTTLS", "S: 220 go", "TLS"} + afterTls + ok
        << TlsMode::StartTlsIfOffered << false << false << sent;
    QTest::newRow("STARTTLS not wanted") << tlsEhlo + ok << TlsMode::None << false << false << sent;
    QTest::newRow("STARTTLS refused, plain allowed")
        << tlsEhlo + QStringList{"C: STARTTLS", "S: 454 4.7.0 TLS not available"} + ok
        << TlsMode::StartTlsIfOffered << false << false << sent;
    QTest::newRow("STARTTLS refused, required")
        << tlsEhlo + QStringList{"C: STARTTLS", "S: 454 4.7.0 TLS not available"} + quit
        << TlsMode::StartTlsRequired << false << false
        << QStringList{"Failure 454 The server refused STARTTLS: 454 4.7.0 TLS not available"};
    QTest::newRow("STARTTLS required, not offered")
        << greeting() + quit << TlsMode::StartTlsRequired << false << false
        << QStringList{"Failure 2 The server does not offer STARTTLS."};
    QTest::newRow("STARTTLS handshake fails")
        << tlsEhlo + QStringList{"C: STARTTLS", "S: 220 go", "TLS FAIL"} << TlsMode::StartTlsRequired << false
        << false << QStringList{"Failure 2 TLS handshake failed"};
    QTest::newRow("STARTTLS with injected plain text")
        << tlsEhlo + QStringList{"C: STARTTLS", "R: 220 go\\r\\n250 forged\\r\\n"}
        << TlsMode::StartTlsIfOffered << false << false
        << QStringList{"Failure 3 The server sent data before the TLS handshake."};
    QTest::newRow("AUTH LOGIN accepted under TLS")
        << tlsEhlo + QStringList{"C: STARTTLS", "S: 220 go", "TLS"} + afterTls + login + ok
        << TlsMode::StartTlsRequired << true << false << sent;
    QTest::newRow("AUTH refused") << tlsEhlo + QStringList{"C: STARTTLS", "S: 220 go", "TLS"} + afterTls +
                                         QStringList{"C: AUTH LOGIN", "S: 334 VXNlcm5hbWU6",
                                                     "C: dXNlcg==",   "S: 334 UGFzc3dvcmQ6",
                                                     "C: c2VjcmV0",   "S: 535 5.7.8 bad credentials"} +
                                         quit
                                  << TlsMode::StartTlsRequired << true << false
                                  << QStringList{
                                         "Failure 535 Authentication failed: 535 5.7.8 bad credentials"};
    QTest::newRow("AUTH PLAIN only")
        << tlsEhlo +
               QStringList{"C: STARTTLS",         "S: 220 go",         "TLS",           "C: EHLO example.org",
                           "S: 250-mx",           "S: 250 AUTH PLAIN", "C: AUTH PLAIN", "S: 334 ",
                           "C: AHVzZXIAc2VjcmV0", "S: 235 ok"} +
               ok
        << TlsMode::StartTlsIfOffered << true << false << sent;
    QTest::newRow("AUTH never in plain text to a remote server")
        << QStringList{"S: 220 mx", "C: EHLO example.org", "S: 250-mx", "S: 250 AUTH LOGIN"} + quit
        << TlsMode::None << true << false
        << QStringList{"Failure 4 The password is not sent over an unencrypted connection; enable TLS."};
    QTest::newRow("AUTH in plain text to loopback")
        << QStringList{"S: 220 mx", "C: EHLO example.org", "S: 250-mx", "S: 250 AUTH=LOGIN"} + login + ok
        << TlsMode::None << true << true << sent;
    QTest::newRow("AUTH wanted, server offers none")
        << greeting() + quit << TlsMode::None << true << true
        << QStringList{"Failure 5 The server does not offer authentication."};
}

void TestMailSocketDialogue::dialogue() {
    QFETCH(QStringList, script);
    QFETCH(TlsMode, tls);
    QFETCH(bool, auth);
    QFETCH(bool, loopback);
    QFETCH(QStringList, expected);

    Rig rig(script);
    rig.server.setLoopback(loopback);
    rig.socket.setTlsMode(tls);
    rig.socket.setUserName("user");
    rig.socket.setPassword("secret");
    rig.driver.auth = auth;
    rig.driver.messages << message("a@x.test");
    QVERIFY(rig.run());
    QCOMPARE(rig.driver.outcomes(), expected);
    QCOMPARE(rig.server.mismatches(), QStringList());
    QVERIFY2(rig.server.scriptDone(), qPrintable(rig.server.pendingStep()));
    // Credentials never appear in what the caller logs.
    for (const QString& e : rig.driver.exchanges)
        QVERIFY2(!e.contains("c2VjcmV0") && !e.contains("dXNlcg==") && !e.contains("AHVzZXIA"),
                 qPrintable(e));
    if (auth && expected == QStringList{"SENT a@x.test ok"}) {
        QVERIFY(rig.socket.isAuthenticated());
        const QString joined = rig.driver.exchanges.join('\n');
        QVERIFY(joined.contains("\nPASS => 235"));
    }
}

void TestMailSocketDialogue::statesOfAConnection() {
    Rig rig(greeting() + lockstepOk("a@x.test") + quit);
    rig.driver.messages << message("a@x.test");
    QCOMPARE(rig.socket.IsOpen(), false);
    rig.socket.Connect();
    QCOMPARE(rig.socket.LastData(), QStringLiteral("CNCT"));
    QTRY_VERIFY(rig.driver.disconnected);
    QCOMPARE(rig.driver.states, (QList<int>{StateResolvingHost, StateHostResolved, StateConnecting,
                                            StateConnected, StateClosing, StateClosed}));
    QCOMPARE(rig.server.lastPort(), quint16(25));
    QCOMPARE(rig.server.lastHost(), QStringLiteral("mx.test"));
    QCOMPARE(socketStateText(StateConnectionPending), QStringLiteral("Connection Pending"));
    QCOMPARE(socketStateText(StateError), QStringLiteral("Error"));
}

void TestMailSocketDialogue::refusedConnection() {
    Rig rig(QStringList{"REFUSE"});
    QVERIFY(rig.run());
    QCOMPARE(rig.driver.states, (QList<int>{StateResolvingHost, StateError, StateClosing, StateClosed}));
    QCOMPARE(rig.driver.outcomes(), QStringList{"Failure 1 Connection refused"});
    QCOMPARE(rig.socket.LastData(), QStringLiteral("CNCT"));
}

void TestMailSocketDialogue::implicitTlsOnPort465() {
    Rig rig(greeting() + lockstepOk("a@x.test") + quit);
    rig.socket.setPort("465");
    rig.driver.messages << message("a@x.test");
    QVERIFY(rig.run());
    QVERIFY(rig.server.lastImplicitTls());
    QCOMPARE(rig.driver.outcomes(), QStringList{"SENT a@x.test ok"});
}

void TestMailSocketDialogue::stalledServerRaisesTimeout() {
    Rig rig(greeting() +
            QStringList{"C: MAIL FROM:<sender@example.org>", "S: 250 ok", "C: RCPT TO:<a@x.test>", "STALL"});
    rig.socket.setTimeout(1);
    rig.driver.messages << message("a@x.test");
    // As the session does on Cancel: quit, then continue.
    rig.driver.onTimeout = [&] {
        QCOMPARE(rig.socket.LastData(), QStringLiteral("RCPT TO:<a@x.test>"));
        rig.socket.Quit();
        rig.socket.ContinueAfterTimeout();
    };
    QElapsedTimer clock;
    clock.start();
    QVERIFY(rig.run(5000));
    QVERIFY(clock.elapsed() >= 900);
    QCOMPARE(rig.driver.timeouts, 1);
    QCOMPARE(rig.driver.outcomes(), QStringList{"Timeout 1"});
    // No QUIT inside the open transaction.
    QVERIFY(!rig.server.clientBytes().contains("QUIT"));
}

void TestMailSocketDialogue::lateReplyAfterContinue() {
    Rig rig(greeting() + QStringList{"C: MAIL FROM:<sender@example.org>", "STALL"});
    rig.socket.setTimeout(1);
    rig.driver.messages << message("a@x.test");
    rig.socket.Connect();
    QTRY_COMPARE_WITH_TIMEOUT(rig.driver.timeouts, 1, 3000);
    // The reply arrives while the caller is still deciding: it waits for ContinueAfterTimeout.
    rig.server.transport()->deliver("250 ok\r\n");
    QTest::qWait(50);
    QCOMPARE(rig.driver.exchanges.size(), 2);
    rig.socket.ContinueAfterTimeout();
    QTRY_COMPARE(rig.driver.exchanges.size(), 3);
    QCOMPARE(rig.driver.exchanges.last(), QStringLiteral("MAIL FROM:<sender@example.org> => 250 ok"));
    // And the clock runs again for the RCPT.
    QTRY_COMPARE_WITH_TIMEOUT(rig.driver.timeouts, 2, 3000);
    rig.socket.Disconnect();
    QVERIFY(rig.driver.disconnected);
}

void TestMailSocketDialogue::quitMidExchangeDropsTheLine() {
    Rig rig(greeting() + QStringList{"C: MAIL FROM:<sender@example.org>", "STALL"});
    rig.driver.messages << message("a@x.test");
    connect(&rig.socket, &MailSocket::SENDBody, &rig.socket, [&] {
        QTimer::singleShot(20, &rig.socket, [&] {
            rig.socket.Quit();
            // Reported later, never from inside Quit.
            QVERIFY(!rig.driver.disconnected);
        });
    });
    QVERIFY(rig.run());
    QVERIFY(!rig.server.clientBytes().contains("QUIT"));
    QVERIFY(rig.server.transport() == nullptr || rig.server.transport()->isClosed());
}

void TestMailSocketDialogue::reconnectAfterQuit() {
    FakeServer server;
    server.addConnectionScript(greeting() + lockstepOk("a@x.test") + quit);
    server.addConnectionScript(greeting() + lockstepOk("b@x.test") + quit);
    MailSocket socket;
    socket.setTransportFactory(server.factory());
    Driver driver(socket);
    driver.messages << message("a@x.test");
    socket.Connect();
    QTRY_VERIFY(driver.disconnected);
    driver.disconnected = false;
    driver.messages << message("b@x.test");
    socket.Connect();
    QTRY_VERIFY(driver.disconnected);
    QCOMPARE(server.connectionCount(), 2);
    QCOMPARE(server.mismatches(), QStringList());
    QCOMPARE(driver.outcomes(), (QStringList{"SENT a@x.test ok", "SENT b@x.test ok"}));
}

void TestMailSocketDialogue::disconnectIsImmediate() {
    Rig rig(greeting() + QStringList{"STALL"});
    rig.driver.quitWhenDone = false;
    rig.socket.Connect();
    QTRY_COMPARE(rig.driver.readyCount, 1);
    QVERIFY(rig.socket.IsOpen());
    rig.socket.Disconnect();
    QVERIFY(rig.driver.disconnected);
    QVERIFY(!rig.socket.IsOpen());
    QCOMPARE(rig.driver.states.mid(rig.driver.states.size() - 2), (QList<int>{StateClosing, StateClosed}));
    rig.socket.Quit(); // harmless when closed
    rig.socket.Disconnect();
    QCOMPARE(rig.driver.events.count("Disconnected"), 1);
}

void TestMailSocketDialogue::popIsNotOfferedYet() {
    MailSocket socket;
    QStringList failures;
    connect(&socket, &MailSocket::Failure, &socket,
            [&](int code, const QString&) { failures << QString::number(code); });
    socket.setProtocol(1);
    socket.Connect();
    QCOMPARE(failures, QStringList{QString::number(FailNotSupported)});
    QVERIFY(!socket.IsOpen());
}

QTEST_GUILESS_MAIN(TestMailSocketDialogue)
#include "tst_mailsocket_dialogue.moc"
