// Message transactions against a scripted server: outcomes per recipient, refusals at
// every step, pipelining, dropped connections, malformed replies and the DATA framing.

#include "MailSocketTestKit.h"

#include <QTest>

using namespace mailtest;

class TestMailSocketTransaction : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void outcomes_data();
    void outcomes();
    void pipelinedGroupIsOneWriteUnlessTurnedOff();
    void blockReportsEachRecipient();
    void emptyBlockCompletesWithoutTraffic();
    void answersMayComeLater();
    void unasked421WhileIdle();
    void dataFraming_data();
    void dataFraming();
    void commandLinesNeverCarryLineBreaks();
    void unusableRecipientsAreRefusedNotRewritten();
    void overlongLineNeverLeaves();
    void sizeAndEightBitParameters();
    void labelsOfExchanges();
};

void TestMailSocketTransaction::outcomes_data() {
    QTest::addColumn<bool>("pipelining");
    QTest::addColumn<QStringList>("exchange");   // after the greeting
    QTest::addColumn<QStringList>("recipients"); // one message each
    QTest::addColumn<QStringList>("expected");   // outcome events
    QTest::addColumn<bool>("quits");             // the script ends with QUIT

    const QStringList one{"a@x.test"};
    const QStringList two{"a@x.test", "b@x.test"};
    const QString mail = "C: MAIL FROM:<sender@example.org>";
    const QString rcptA = "C: RCPT TO:<a@x.test>";

    QTest::newRow("accepted, lockstep") << false << lockstepOk("a@x.test") + lockstepOk("b@x.test") << two
                                        << QStringList{"SENT a@x.test ok", "SENT b@x.test ok"} << true;
    QTest::newRow("accepted, pipelined") << true << pipelinedOk("a@x.test") + pipelinedOk("b@x.test") << two
                                         << QStringList{"SENT a@x.test ok", "SENT b@x.test ok"} << true;
    QTest::newRow("MAIL 4xx, lockstep, next goes on")
        << false << QStringList{mail, "S: 451 4.3.0 try later"} + lockstepOk("b@x.test") << two
        << QStringList{"Rejected 451 4.3.0 try later", "SENT a@x.test fail", "SENT b@x.test ok"} << true;
    QTest::newRow("MAIL 5xx, pipelined, no RSET")
        << true << QStringList{mail,
                               rcptA,
                               "C: DATA",
                               "S: 550 5.7.1 sender refused",
                               "S: 503 5.5.1 need MAIL",
                               "S: 503 5.5.1 need RCPT"}
        << one << QStringList{"Rejected 550 5.7.1 sender refused", "SENT a@x.test fail"} << true;
    QTest::newRow("RCPT 5xx, lockstep, RSET")
        << false
        << QStringList{mail, "S: 250 ok", rcptA, "S: 550 5.1.1 no such user", "C: RSET", "S: 250 reset"}
        << one << QStringList{"Rejected 550 5.1.1 no such user", "SENT a@x.test fail"} << true;
    QTest::newRow("RCPT 4xx, pipelined, DATA refusal not reported")
        << true
        << QStringList{mail,
                       rcptA,
                       "C: DATA",
                       "S: 250 ok",
                       "S: 450 4.2.0 greylisted",
                       "S: 554 5.5.1 no valid recipients",
                       "C: RSET",
                       "S: 250 reset"}
        << one << QStringList{"Rejected 450 4.2.0 greylisted", "SENT a@x.test fail"} << true;
    QTest::newRow("pipelined 354 without recipients ends data empty")
        << true
        << QStringList{mail,
                       rcptA,
                       "C: DATA",
                       "S: 250 ok",
                       "S: 550 5.1.1 unknown",
                       "S: 354 go",
                       "C: .",
                       "S: 554 5.5.1 no recipients"}
        << one << QStringList{"Rejected 550 5.1.1 unknown", "SENT a@x.test fail"} << true;
    QTest::newRow("DATA 4xx, lockstep")
        << false << QStringList{mail,      "S: 250 ok",         rcptA,     "S: 250 ok",
                                "C: DATA", "S: 451 4.3.0 busy", "C: RSET", "S: 250 ok"}
        << one << QStringList{"Rejected 451 4.3.0 busy", "SENT a@x.test fail"} << true;
    QTest::newRow("DATA 5xx, pipelined")
        << true << QStringList{mail,        rcptA,       "C: DATA",
                               "S: 250 ok", "S: 250 ok", "S: 554 5.3.0 no data today",
                               "C: RSET",   "S: 250 ok"}
        << one << QStringList{"Rejected 554 5.3.0 no data today", "SENT a@x.test fail"} << true;
    QTest::newRow("5xx after the data")
        << false
        << QStringList{mail,      "S: 250 ok", rcptA,  "S: 250 ok",
                       "C: DATA", "S: 354 go", "DATA", "S: 554 5.7.1 spam"} +
               lockstepOk("b@x.test")
        << two << QStringList{"Rejected 554 5.7.1 spam", "SENT a@x.test fail", "SENT b@x.test ok"} << true;
    QTest::newRow("4xx after the data, pipelined")
        << true << QStringList{mail,        rcptA,       "C: DATA", "S: 250 ok",
                               "S: 250 ok", "S: 354 go", "DATA",    "S: 452 4.3.1 full"}
        << one << QStringList{"Rejected 452 4.3.1 full", "SENT a@x.test fail"} << true;
    QTest::newRow("421 at RCPT") << false
                                 << QStringList{mail, "S: 250 ok", rcptA, "S: 421 4.3.2 shutting down"} << two
                                 << QStringList{"SENT a@x.test fail", "Failure 421 421 4.3.2 shutting down"}
                                 << false;
    QTest::newRow("dropped after RCPT")
        << false << QStringList{mail, "S: 250 ok", rcptA, "S: 250 ok", "C: DATA", "CLOSE"} << one
        << QStringList{"SENT a@x.test fail", "Failure 6 The server closed the connection."} << false;
    QTest::newRow("dropped mid-DATA")
        << true << QStringList{mail, rcptA, "C: DATA", "S: 250 ok", "S: 250 ok", "S: 354 go", "CLOSE"} << one
        << QStringList{"SENT a@x.test fail", "Failure 6 The server closed the connection."} << false;
    QTest::newRow("malformed reply")
        << false << QStringList{mail, "S: hello there"} << one
        << QStringList{"SENT a@x.test fail",
                       "Failure 3 Malformed reply from the server: malformed reply line: \"hello there\""}
        << false;
    QTest::newRow("code changes inside a multi-line reply")
        << false << QStringList{mail, "S: 250-ok", "S: 251 ok"} << one
        << QStringList{"SENT a@x.test fail", "Failure 3 Malformed reply from the server: reply code changed "
                                             "inside a multi-line reply: \"251 ok\""}
        << false;
    QTest::newRow("replies split across reads, bare LF, multi-line")
        << false << QStringList{mail,           "R: 25",        "R: 0-first\\n250 second\\r\\n",
                                rcptA,          "R: 250 ok\\n", "C: DATA",
                                "R: 354 go\\r", "R: \\n",       "DATA",
                                "S: 250 done"}
        << one << QStringList{"SENT a@x.test ok"} << true;
}

void TestMailSocketTransaction::outcomes() {
    QFETCH(bool, pipelining);
    QFETCH(QStringList, exchange);
    QFETCH(QStringList, recipients);
    QFETCH(QStringList, expected);
    QFETCH(bool, quits);

    Rig rig(greeting(pipelining) + exchange + (quits ? quit : QStringList()));
    for (const QString& r : recipients)
        rig.driver.messages << message(r);
    QVERIFY(rig.run());
    QCOMPARE(rig.driver.outcomes(), expected);
    QCOMPARE(rig.server.mismatches(), QStringList());
    QVERIFY2(rig.server.scriptDone(), qPrintable(rig.server.pendingStep()));
    QCOMPARE(rig.driver.states.mid(rig.driver.states.size() - 2), (QList<int>{StateClosing, StateClosed}));
    QVERIFY(!rig.driver.openAtClosing);
    QVERIFY(!rig.socket.IsOpen());
}

// A lockstep client would wait for the MAIL reply; this script answers only after DATA.
// Turned off, the same server gets lockstep.
void TestMailSocketTransaction::pipelinedGroupIsOneWriteUnlessTurnedOff() {
    for (bool allowed : {true, false}) {
        Rig rig(greeting(true) + (allowed ? pipelinedOk("a@x.test") : lockstepOk("a@x.test")) + quit);
        rig.socket.setPipeliningAllowed(allowed);
        rig.driver.messages << message("a@x.test");
        QVERIFY(rig.run());
        QCOMPARE(rig.socket.isPipelining(), allowed);
        QCOMPARE(rig.server.mismatches(), QStringList());
        QCOMPARE(rig.driver.outcomes(), QStringList{"SENT a@x.test ok"});
        if (allowed)
            QVERIFY(rig.server.clientBytes().contains(
                "MAIL FROM:<sender@example.org>\r\nRCPT TO:<a@x.test>\r\nDATA\r\n"));
    }
}

void TestMailSocketTransaction::blockReportsEachRecipient() {
    for (bool pipelining : {false, true}) {
        QStringList exchange{"C: MAIL FROM:<sender@example.org>"};
        QStringList replies{"S: 250 ok", "S: 250 ok", "S: 550 5.1.1 unknown b", "S: 250 ok", "S: 354 go"};
        const QStringList rcpts{"C: RCPT TO:<a@x.test>", "C: RCPT TO:<b@x.test>", "C: RCPT TO:<c@x.test>",
                                "C: DATA"};
        if (pipelining) {
            exchange << rcpts << replies;
        } else {
            for (int i = 0; i < rcpts.size(); ++i)
                exchange << rcpts[i] << replies[i + 1];
            exchange.insert(1, replies[0]);
        }
        exchange << "DATA"
                 << "S: 250 queued";
        Rig rig(greeting(pipelining) + exchange + quit);
        rig.driver.messages << TestMessage{
            "sender@example.org", {"a@x.test", "b@x.test", "c@x.test"}, "hi", true};
        QVERIFY(rig.run());
        QCOMPARE(rig.server.mismatches(), QStringList());
        QCOMPARE(rig.driver.outcomes(), (QStringList{"Rejected 550 5.1.1 unknown b",
                                                     "SENTBlock a@x.test=ok b@x.test=fail c@x.test=ok"}));
    }
}

void TestMailSocketTransaction::emptyBlockCompletesWithoutTraffic() {
    Rig rig(greeting() + quit);
    rig.driver.messages << TestMessage{"sender@example.org", {}, "hi", true};
    QVERIFY(rig.run());
    QCOMPARE(rig.server.mismatches(), QStringList());
    QCOMPARE(rig.driver.outcomes(), QStringList{"SENTBlock "});
    QCOMPARE(rig.driver.readyCount, 2);
}

void TestMailSocketTransaction::unasked421WhileIdle() {
    Rig rig(greeting() + lockstepOk("a@x.test") + QStringList{"S: 421 4.4.2 idle too long"});
    rig.driver.messages << message("a@x.test");
    rig.driver.quitWhenDone = false;
    QVERIFY(rig.run());
    QCOMPARE(rig.driver.outcomes(), (QStringList{"SENT a@x.test ok", "Failure 421 421 4.4.2 idle too long"}));
    QCOMPARE(rig.driver.exchanges.last(), QStringLiteral(" => 421 4.4.2 idle too long"));
}

// The caller may answer a request after returning from the event.
void TestMailSocketTransaction::answersMayComeLater() {
    FakeServer server;
    server.setScript(greeting(true) + pipelinedOk("a@x.test") + quit);
    MailSocket s;
    s.setTransportFactory(server.factory());
    bool done = false;
    QStringList seen;
    connect(&s, &MailSocket::Connected, &s, [&] { s.Hello("example.org"); });
    connect(&s, &MailSocket::Ready, &s, [&] {
        if (seen.isEmpty())
            QTimer::singleShot(5, &s, [&] { s.SendMessage(); });
        else
            s.Quit();
    });
    connect(&s, &MailSocket::SENDFrom, &s, [&] {
        seen << "from";
        QTimer::singleShot(5, &s, [&] { s.SetFrom("sender@example.org"); });
    });
    connect(&s, &MailSocket::SENDTo, &s, [&] {
        seen << "to";
        QTimer::singleShot(5, &s, [&] { s.SetTo({"a@x.test", false}); });
    });
    connect(&s, &MailSocket::SENDBody, &s, [&] {
        seen << "body";
        QTimer::singleShot(5, &s, [&] { s.SetBody("hi"); });
    });
    connect(&s, &MailSocket::SENT, &s, [&](const Recipient& r) { seen << (r.delivered ? "ok" : "fail"); });
    connect(&s, &MailSocket::Disconnected, &s, [&] { done = true; });
    s.Connect();
    QTRY_VERIFY(done);
    QCOMPARE(seen, (QStringList{"from", "to", "body", "ok"}));
    QCOMPARE(server.mismatches(), QStringList());
}

void TestMailSocketTransaction::dataFraming_data() {
    QTest::addColumn<QString>("body");
    QTest::addColumn<QByteArray>("onTheWire");

    QTest::newRow("lines '.' and '..'") << "a\r\n.\r\n..\r\nb\r\n" << QByteArray("a\r\n..\r\n...\r\nb\r\n");
    QTest::newRow("bare LF and bare CR") << "one\ntwo\rthree\r\n" << QByteArray("one\r\ntwo\r\nthree\r\n");
    QTest::newRow("dot after bare LF") << "x\n.hidden\n" << QByteArray("x\r\n..hidden\r\n");
    QTest::newRow("leading dot, no final line end") << ".start\r\nend" << QByteArray("..start\r\nend\r\n");
    QTest::newRow("NUL dropped") << QString::fromLatin1("a\0b\r\n", 5) << QByteArray("ab\r\n");
    QTest::newRow("end marker inside text") << "a\r\n.\r\nQUIT\r\n" << QByteArray("a\r\n..\r\nQUIT\r\n");
    QTest::newRow("blank lines kept") << "\r\n\r\nx\r\n" << QByteArray("\r\n\r\nx\r\n");
}

void TestMailSocketTransaction::dataFraming() {
    QFETCH(QString, body);
    QFETCH(QByteArray, onTheWire);
    for (bool pipelining : {false, true}) {
        Rig rig(greeting(pipelining) + (pipelining ? pipelinedOk("a@x.test") : lockstepOk("a@x.test")) +
                quit);
        rig.driver.messages << message("a@x.test", body);
        QVERIFY(rig.run());
        QCOMPARE(rig.server.mismatches(), QStringList());
        QCOMPARE(rig.server.messages(), QList<QByteArray>{onTheWire});
    }
}

void TestMailSocketTransaction::commandLinesNeverCarryLineBreaks() {
    Rig rig(QStringList{"S: 220 mx", "C: EHLO example.orgQUIT", "S: 250 ok",
                        "C: MAIL FROM:<s@example.orgRSET>", "S: 250 ok", "C: RCPT TO:<b@x.test>", "S: 250 ok",
                        "C: DATA", "S: 354 go", "DATA", "S: 250 ok"} +
            quit);
    rig.driver.domain = QString::fromLatin1("example.org\r\nQUIT\0", 18);
    rig.driver.messages << TestMessage{
        "s@example.org\r\nRSET", {QString::fromLatin1("a@x.test\nDATA\r", 14), "b@x.test"}, "x", true};
    QVERIFY(rig.run());
    QCOMPARE(rig.server.mismatches(), QStringList());
    // Every CR is followed by LF and every LF preceded by CR: no stray line breaks.
    const QByteArray bytes = rig.server.clientBytes();
    QCOMPARE(bytes.count('\r'), bytes.count("\r\n"));
    QCOMPARE(bytes.count('\n'), bytes.count("\r\n"));
    QVERIFY(!bytes.contains('\0'));
}

// Taking the control bytes out of "x\n\ny@z.test" would deliver to xy@z.test: such an
// address fails without any exchange, and the rest of a block still goes out.
void TestMailSocketTransaction::unusableRecipientsAreRefusedNotRewritten() {
    for (bool pipelining : {false, true}) {
        Rig rig(greeting(pipelining) + (pipelining ? pipelinedOk("b@x.test") : lockstepOk("b@x.test")) +
                quit);
        const QString longAddress = QString(250, u'a') + "@x.test";
        QStringList refused;
        connect(&rig.socket, &MailSocket::RecipientRefused, &rig.driver,
                [&](const QString&, const QString& text) { refused << text; });
        rig.driver.messages << message("x\n\ny@z.test") << message("<x\x7fy@z.test>")
                            << TestMessage{"sender@example.org",
                                           {"c\td@z.test", "<b@x.test>", longAddress},
                                           "hi",
                                           true}
                            << message("a<b@z.test");
        QVERIFY(rig.run());
        QCOMPARE(rig.server.mismatches(), QStringList());
        QCOMPARE(rig.server.messages().size(), 1);
        QCOMPARE(rig.driver.outcomes(),
                 (QStringList{"SENT x\n\ny@z.test fail", "SENT <x\x7fy@z.test> fail",
                              "SENTBlock c\td@z.test=fail <b@x.test>=ok " + longAddress + "=fail",
                              "SENT a<b@z.test fail"}));
        QCOMPARE(refused.size(), 5);
        QCOMPARE(refused[0],
                 QStringLiteral("Recipient refused, not sent: \"x\\n\\ny@z.test\": the address holds "
                                "a control character or a blank"));
        QVERIFY(refused[1].contains("x\\x7fy@z.test"));
        QVERIFY(refused[3].contains("longer than 254"));
        QVERIFY(refused[4].contains("angle bracket"));
    }
}

void TestMailSocketTransaction::overlongLineNeverLeaves() {
    Rig rig(greeting() + lockstepOk("b@x.test") + quit);
    QStringList refused;
    connect(&rig.socket, &MailSocket::RecipientRefused, &rig.driver,
            [&](const QString&, const QString& text) { refused << text; });
    // 998 bytes pass; a leading dot makes the same line 999 on the wire.
    rig.driver.messages << message("a@x.test", "." + QString(997, u'x'))
                        << message("b@x.test", QString(998, u'x'));
    QVERIFY(rig.run());
    QCOMPARE(rig.server.mismatches(), QStringList());
    QCOMPARE(rig.driver.outcomes(), (QStringList{"SENT a@x.test fail", "SENT b@x.test ok"}));
    QCOMPARE(refused.size(), 1);
    QVERIFY2(refused[0].contains("a line of 999 bytes"), qPrintable(refused[0]));
}

void TestMailSocketTransaction::sizeAndEightBitParameters() {
    Rig rig(QStringList{"S: 220 mx", "C: EHLO example.org", "S: 250-mx", "S: 250-SIZE 10240000",
                        "S: 250 8BITMIME", "C: MAIL FROM:<sender@example.org> SIZE=10 BODY=8BITMIME",
                        "S: 250 ok", "C: RCPT TO:<a@x.test>", "S: 250 ok", "C: DATA", "S: 354 go", "DATA",
                        "S: 250 ok"} +
            quit);
    rig.driver.messages << message("a@x.test", QStringLiteral("caf\u00e9\r\n"));
    QVERIFY(rig.run());
    QCOMPARE(rig.server.mismatches().join('|'), QString());
    QCOMPARE(rig.socket.serverExtensions().sizeLimit, 10240000);
}

void TestMailSocketTransaction::labelsOfExchanges() {
    Rig rig(greeting() + lockstepOk("a@x.test") + quit);
    rig.driver.messages << message("a@x.test");
    QVERIFY(rig.run());
    const QStringList expected{"CNCT => 220 mx.test ESMTP",
                               "EHLO example.org => 250-mx.test\r\n250 8BITMIME",
                               "MAIL FROM:<sender@example.org> => 250 2.1.0 ok",
                               "RCPT TO:<a@x.test> => 250 2.1.5 ok",
                               "DATA => 354 go ahead",
                               "\r\n.\r\n => 250 2.0.0 queued",
                               "QUIT => 221 bye"};
    QCOMPARE(rig.driver.exchanges, expected);
    QCOMPARE(rig.driver.codes, (QList<int>{220, 250, 250, 250, 354, 250, 221}));
    QCOMPARE(rig.socket.LastData(), QStringLiteral("QUIT"));
}

QTEST_GUILESS_MAIN(TestMailSocketTransaction)
#include "tst_mailsocket_transaction.moc"
