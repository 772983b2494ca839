// The POP3 client against a scripted server: login outcomes and their status codes, STLS and
// the clear-text rule, header and message retrieval, dropped and stalled connections, and
// the reply parser's multi-line edge cases fed in every split.

#include "components/mailsocket/FakeTransport.h"
#include "components/mailsocket/PopClient.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QTest>

using namespace sendora::mail;

Q_DECLARE_METATYPE(sendora::mail::TlsMode)

namespace {

// Records every event of a client as text.
struct Rig {
    explicit Rig(const QStringList& script, TlsMode mode = TlsMode::None, bool loopback = true) {
        server.setScript(script);
        server.setLoopback(loopback);
        client.setTransportFactory(server.factory());
        client.setHost(QStringLiteral("pop.test"));
        client.setUserName(QStringLiteral("alice"));
        client.setPassword(QStringLiteral("s3cret"));
        client.setTimeout(5);
        client.setTlsMode(mode);
        QObject::connect(&client, &PopClient::POPStatus, [this](int code) {
            codes << code;
            if (onStatus) onStatus(code);
        });
        QObject::connect(&client, &PopClient::DataRecieved,
                         [this](const QString& cmd, const QString& reply, qint64 bytes) {
                             exchanges << cmd + " => " + reply;
                             bytesOf[cmd] = bytes;
                         });
        QObject::connect(&client, &PopClient::Disconnected, [this] { disconnected = true; });
    }
    // Connects and waits for the login to end (code 5 or a failure).
    void login() {
        client.Connect();
        (void)QTest::qWaitFor(
            [this] {
                return disconnected || codes.contains(PopListReceived) || last() == 25 || last() == 11 ||
                       last() == 20 || last() == 7;
            },
            3000);
    }
    int last() const { return codes.isEmpty() ? 0 : codes.last(); }
    bool waitFor(int code, int ms = 3000) {
        return QTest::qWaitFor([&] { return codes.contains(code); }, ms);
    }

    FakeServer server;
    PopClient client;
    QList<int> codes;
    QStringList exchanges;
    QHash<QString, qint64> bytesOf;
    bool disconnected = false;
    std::function<void(int)> onStatus;
};

const QStringList loginOk{"S: +OK ready",      "C: USER alice", "S: +OK",       "C: PASS s3cret",
                          "S: +OK in",         "C: STAT",       "S: +OK 2 320", "C: LIST",
                          "S: +OK 2 messages", "S: 1 120",      "S: 2 200",     "S: ."};

} // namespace

class TestPopClient : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void login_data();
    void login();
    void lineBreaksInCredentialsAreNotSent();
    void headerAndMessage();
    void droppedMidRetr();
    void stallEndsWithTimeout();
    void oneCommandAtATime();
    void hugeMessageStreamsToDevice();
    void overlongStatusLineIsRefused();
    void parser_data();
    void parser();
};

void TestPopClient::login_data() {
    QTest::addColumn<QStringList>("script");
    QTest::addColumn<TlsMode>("mode");
    QTest::addColumn<bool>("loopback");
    QTest::addColumn<QList<int>>("codes");
    QTest::addColumn<bool>("open"); // still connected afterwards

    const QStringList user{"S: +OK ready", "C: USER alice"};
    QTest::newRow("logged in") << loginOk << TlsMode::None << true << QList<int>{1, 24, 10, 19, 5} << true;
    QTest::newRow("greeting refused")
        << QStringList{"S: -ERR busy"} << TlsMode::None << true << QList<int>{2} << false;
    QTest::newRow("connection refused")
        << QStringList{"REFUSE"} << TlsMode::None << true << QList<int>{2} << false;
    QTest::newRow("user refused") << user + QStringList{"S: -ERR who?"} << TlsMode::None << true
                                  << QList<int>{1, 25} << true;
    QTest::newRow("password refused") << user + QStringList{"S: +OK", "C: PASS s3cret", "S: -ERR [AUTH] no"}
                                      << TlsMode::None << true << QList<int>{1, 24, 11} << true;
    QTest::newRow("stat refused") << user + QStringList{"S: +OK", "C: PASS s3cret", "S: +OK", "C: STAT",
                                                        "S: -ERR locked"}
                                  << TlsMode::None << true << QList<int>{1, 24, 10, 20} << true;
    QTest::newRow("stat unreadable") << user + QStringList{"S: +OK", "C: PASS s3cret", "S: +OK", "C: STAT",
                                                           "S: +OK many"}
                                     << TlsMode::None << true << QList<int>{1, 24, 10, 20} << true;
    QTest::newRow("list refused") << user + QStringList{"S: +OK",    "C: PASS s3cret", "S: +OK",
                                                        "C: STAT",   "S: +OK 0 0",     "C: LIST",
                                                        "S: -ERR no"}
                                  << TlsMode::None << true << QList<int>{1, 24, 10, 19, 7} << true;
    QTest::newRow("dropped after USER")
        << user + QStringList{"CLOSE"} << TlsMode::None << true << QList<int>{1, 25} << false;
    // The password never goes in clear to a server elsewhere.
    QTest::newRow("clear text to a remote server")
        << QStringList{"S: +OK ready"} << TlsMode::None << false << QList<int>{1, 2} << false;
    QTest::newRow("CAPA without STLS, remote")
        << QStringList{"S: +OK ready", "C: CAPA", "S: +OK", "S: USER", "S: ."} << TlsMode::StartTlsIfOffered
        << false << QList<int>{1, 2} << false;
    QStringList stls{"S: +OK ready", "C: CAPA", "S: +OK",    "S: TOP", "S: STLS",
                     "S: .",         "C: STLS", "S: +OK go", "TLS"};
    QTest::newRow("STLS offered") << stls + loginOk.mid(1) << TlsMode::StartTlsIfOffered << false
                                  << QList<int>{1, 24, 10, 19, 5} << true;
    QTest::newRow("CAPA refused, loopback")
        << QStringList{"S: +OK ready", "C: CAPA", "S: -ERR what"} + loginOk.mid(1)
        << TlsMode::StartTlsIfOffered << true << QList<int>{1, 24, 10, 19, 5} << true;
    QTest::newRow("STLS required, refused") << QStringList{"S: +OK ready", "C: STLS", "S: -ERR no"}
                                            << TlsMode::StartTlsRequired << true << QList<int>{1, 2} << false;
    QTest::newRow("STLS handshake fails") << QStringList{"S: +OK ready", "C: STLS", "S: +OK", "TLS FAIL"}
                                          << TlsMode::StartTlsRequired << true << QList<int>{1, 2} << false;
    // Bytes after "+OK" to STLS arrived in clear; they must not count as encrypted.
    QTest::newRow("STLS with injected command")
        << QStringList{"S: +OK ready", "C: STLS", "R: +OK\\r\\n+OK injected\\r\\n"}
        << TlsMode::StartTlsRequired << true << QList<int>{1, 2} << false;
    QTest::newRow("implicit TLS") << loginOk << TlsMode::ImplicitTls << false << QList<int>{1, 24, 10, 19, 5}
                                  << true;
    QTest::newRow("not POP3") << QStringList{"S: 220 smtp.test ESMTP"} << TlsMode::None << true
                              << QList<int>{2} << false;
}

void TestPopClient::login() {
    QFETCH(QStringList, script);
    QFETCH(TlsMode, mode);
    QFETCH(bool, loopback);
    QFETCH(QList<int>, codes);
    QFETCH(bool, open);

    Rig rig(script, mode, loopback);
    rig.login();
    QTRY_COMPARE(rig.codes, codes);
    QCOMPARE(rig.client.IsOpen(), open);
    QCOMPARE(rig.disconnected, !open);
    QVERIFY2(rig.server.mismatches().isEmpty(), qPrintable(rig.server.mismatches().join('\n')));
    // Neither credential leaves the client in anything it reports.
    for (const QString& e : rig.exchanges)
        QVERIFY2(!e.contains("s3cret") && !e.contains("alice"), qPrintable(e));
    if (!loopback && mode == TlsMode::None) QVERIFY(!rig.server.clientBytes().contains("PASS"));
    if (codes.contains(PopListReceived)) {
        QCOMPARE(rig.client.MessageCount(), 2);
        QCOMPARE(rig.client.MailboxSize(), 320);
        QCOMPARE(rig.client.MessageSize(2), 200);
        QCOMPARE(rig.client.MessageSize(3), -1);
        QVERIFY(rig.exchanges.contains("USER => +OK"));
        QVERIFY(rig.exchanges.contains("PASS => +OK in"));
        QVERIFY(rig.exchanges.contains("STAT => +OK 2 320"));
        QVERIFY(rig.exchanges.contains("LIST => +OK 2 messages\r\n1 120\r\n2 200"));
        QCOMPARE(rig.client.isEncrypted(), script.contains("TLS") || mode == TlsMode::ImplicitTls);
        QCOMPARE(rig.server.lastPort(), mode == TlsMode::ImplicitTls ? 995 : 110);
    } else if (!open) {
        QVERIFY(!rig.client.errorText().isEmpty());
    }
}

void TestPopClient::lineBreaksInCredentialsAreNotSent() {
    Rig user({"S: +OK ready"});
    user.client.setUserName(QStringLiteral("alice\r\nDELE 1"));
    user.login();
    QCOMPARE(user.codes, (QList<int>{1, 25}));
    Rig password({"S: +OK ready", "C: USER alice", "S: +OK"});
    password.client.setPassword(QStringLiteral("pw\nDELE 1"));
    password.login();
    QCOMPARE(password.codes, (QList<int>{1, 24, 11}));
    for (const Rig* r : {&user, &password}) {
        QVERIFY(!r->server.clientBytes().contains("DELE"));
        QVERIFY(!r->client.errorText().isEmpty());
    }
}

void TestPopClient::headerAndMessage() {
    Rig rig(loginOk + QStringList{"C: TOP 1 0",
                                  "S: -ERR TOP not supported",
                                  "C: RETR 1",
                                  "S: +OK 120 octets",
                                  "S: Subject: first",
                                  "S: From: a@x.test",
                                  "S: ",
                                  "S: To: not-a-header@x.test",
                                  "S: .",
                                  "C: TOP 2 0",
                                  "S: +OK",
                                  "S: Subject: second",
                                  "S: ",
                                  "S: .",
                                  "C: RETR 2",
                                  "S: +OK 200 octets",
                                  "S: Subject: second",
                                  "S: ",
                                  "S: ..x",
                                  "S: ..",
                                  "R: bare\\nLF\\r\\n",
                                  "S: .",
                                  "C: DELE 2",
                                  "S: +OK marked",
                                  "C: DELE 9",
                                  "S: -ERR no such message",
                                  "C: QUIT",
                                  "S: +OK bye"});
    rig.login();
    QVERIFY(rig.waitFor(PopListReceived));

    rig.client.RetrieveHeader(1);
    QVERIFY(rig.waitFor(PopHeadersRetrieved));
    QCOMPARE(rig.client.HeaderText(), "Subject: first\r\nFrom: a@x.test\r\n\r\n");
    QVERIFY(rig.exchanges.contains("TOP 1 0 => -ERR TOP not supported"));
    QVERIFY(rig.exchanges.contains("RETR 1 => +OK 120 octets"));

    rig.codes.clear();
    rig.client.RetrieveHeader(2);
    QVERIFY(rig.waitFor(PopHeadersRetrieved));
    QCOMPARE(rig.client.HeaderText(), "Subject: second\r\n\r\n");

    rig.client.RetrieveMessage(2);
    QVERIFY(rig.waitFor(PopMessageRetrieved));
    QCOMPARE(rig.client.FetchedText(), "Subject: second\r\n\r\n.x\r\n.\r\nbare\r\nLF\r\n");
    QVERIFY(rig.client.HeaderText().startsWith("Subject: second"));

    rig.codes.clear();
    rig.client.RemoveMessage(2);
    QVERIFY(rig.waitFor(PopCommandOk));
    rig.client.RemoveMessage(9);
    QVERIFY(rig.waitFor(PopCommandFailed));
    rig.client.Quit();
    QVERIFY(rig.waitFor(PopQuitOk));
    QTRY_VERIFY(rig.disconnected);
    QVERIFY(!rig.client.IsOpen());
    QCOMPARE(rig.codes, (QList<int>{3, 4, 12}));
    QVERIFY2(rig.server.mismatches().isEmpty(), qPrintable(rig.server.mismatches().join('\n')));
    // Byte counts are what came over the wire for each reply, data lines included.
    QCOMPARE(rig.bytesOf.value("RETR 2"), qstrlen("+OK 200 octets\r\nSubject: second\r\n\r\n..x\r\n..\r\n"
                                                  "bare\nLF\r\n.\r\n"));
    QCOMPARE(rig.bytesOf.value("QUIT"), qstrlen("+OK bye\r\n"));

    // Quit once closed still answers, so a caller waiting for it never hangs.
    rig.codes.clear();
    rig.client.Quit();
    QVERIFY(rig.waitFor(PopQuitFailed));
}

void TestPopClient::droppedMidRetr() {
    Rig rig(loginOk +
            QStringList{"C: RETR 1", "S: +OK 120 octets", "S: Subject: cut", "R: half a li", "CLOSE"});
    rig.login();
    QVERIFY(rig.waitFor(PopListReceived));
    rig.codes.clear();
    rig.client.RetrieveMessage(1);
    QTRY_VERIFY(rig.disconnected);
    QCOMPARE(rig.codes, QList<int>{PopCommandFailed});
    QVERIFY(!rig.client.IsOpen());
    QVERIFY(!rig.codes.contains(PopMessageRetrieved));
}

void TestPopClient::stallEndsWithTimeout() {
    Rig rig(loginOk + QStringList{"C: TOP 1 0", "S: +OK", "S: Subject: slow", "STALL"});
    rig.client.setTimeout(1);
    rig.login();
    QVERIFY(rig.waitFor(PopListReceived));
    QElapsedTimer clock;
    clock.start();
    rig.client.RetrieveHeader(1);
    QVERIFY(rig.waitFor(PopTimedOut, 4000));
    QVERIFY(clock.elapsed() >= 900);
    QVERIFY(rig.disconnected);
    QVERIFY(!rig.client.IsOpen());
    QVERIFY(!rig.codes.contains(PopHeadersRetrieved));

    // A stalled connect is bounded too.
    Rig silent(QStringList{"STALL"});
    silent.client.setTimeout(1);
    silent.client.Connect();
    QVERIFY(silent.waitFor(PopTimedOut, 4000));
}

void TestPopClient::oneCommandAtATime() {
    Rig rig(loginOk + QStringList{"C: RETR 1", "S: +OK", "S: Subject: a", "S: ", "S: body", "S: ."});
    // Before login nothing is sent.
    rig.client.RetrieveMessage(1);
    QVERIFY(rig.waitFor(PopCommandFailed));
    rig.codes.clear();
    rig.login();
    QVERIFY(rig.waitFor(PopListReceived));
    rig.codes.clear();
    rig.client.RetrieveMessage(1);
    rig.client.RemoveMessage(1); // refused: RETR is still out
    QVERIFY(rig.waitFor(PopMessageRetrieved));
    QTRY_COMPARE(rig.codes.size(), 2);
    QVERIFY(rig.codes.contains(PopCommandFailed));
    QVERIFY(!rig.server.clientBytes().contains("DELE"));
    QVERIFY2(rig.server.mismatches().isEmpty(), qPrintable(rig.server.mismatches().join('\n')));
}

void TestPopClient::hugeMessageStreamsToDevice() {
    Rig rig(loginOk + QStringList{"C: RETR 1"});
    rig.login();
    QVERIFY(rig.waitFor(PopListReceived));
    QBuffer sink;
    sink.open(QIODevice::WriteOnly);
    rig.client.setMessageDevice(&sink);
    rig.client.RetrieveMessage(1);
    QTRY_VERIFY(rig.server.scriptDone());

    // 50 MB in 64 KB reads; a dot-started line every 64 bytes, and lines split across reads.
    QByteArray line(62, 'x');
    line[0] = '.';
    line.prepend('.');
    line.append("\r\n"); // 65 bytes on the wire, 64 after unstuffing
    QByteArray chunk;
    while (chunk.size() < 65536 - line.size())
        chunk += line;
    chunk += "..partial"; // continues in the next read
    const int reads = (50 << 20) / int(chunk.size()) + 1;
    rig.server.transport()->deliver("+OK\r\n");
    for (int i = 0; i < reads; ++i) {
        rig.server.transport()->deliver(i == 0 ? chunk : "\r\n" + chunk);
        QCoreApplication::processEvents();
    }
    rig.server.transport()->deliver("\r\n.\r\n");
    QVERIFY(rig.waitFor(PopMessageRetrieved, 20000));
    const qint64 expected = qint64(reads) * ((chunk.size() - 9) / 65 * 64 + 10);
    QCOMPARE(sink.size(), expected);
    QCOMPARE(rig.client.fetchedSize(), expected);
    QVERIFY(rig.client.fetchedData().isEmpty());
    QVERIFY(sink.data().startsWith(".xxx"));
    QVERIFY(sink.data().endsWith("\r\n.partial\r\n"));
}

void TestPopClient::overlongStatusLineIsRefused() {
    Rig rig(loginOk.mid(0, 5) + QStringList{"C: STAT"});
    rig.login();
    QTRY_VERIFY(rig.server.scriptDone());
    const QByteArray junk(PopReplyParser::MaxStatusLine / 4, '1');
    rig.server.transport()->deliver("+OK ");
    for (int i = 0; i < 8 && !rig.disconnected; ++i) {
        rig.server.transport()->deliver(junk);
        QTest::qWait(5);
    }
    QTRY_VERIFY(rig.disconnected);
    QCOMPARE(rig.last(), int(PopStatFailed));
    QVERIFY(rig.client.errorText().contains("malformed"));
}

void TestPopClient::parser_data() {
    QTest::addColumn<QByteArray>("wire");
    QTest::addColumn<bool>("multiLine");
    QTest::addColumn<QByteArray>("status");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<bool>("ended"); // the terminating line was seen

    QTest::newRow("single") << QByteArray("+OK 3 120\r\n") << false << QByteArray("3 120") << QByteArray()
                            << false;
    QTest::newRow("error ends a multi-line command")
        << QByteArray("-ERR no\r\n") << true << QByteArray("no") << QByteArray() << false;
    QTest::newRow("empty listing") << QByteArray("+OK\r\n.\r\n") << true << QByteArray() << QByteArray()
                                   << true;
    QTest::newRow("unstuffing") << QByteArray("+OK\r\n..x\r\n..\r\n...\r\nok.\r\n.\r\n") << true
                                << QByteArray() << QByteArray(".x\r\n.\r\n..\r\nok.\r\n") << true;
    QTest::newRow("bare LF") << QByteArray("+OK\na\nb\r\n.\n") << true << QByteArray()
                             << QByteArray("a\r\nb\r\n") << true;
    QTest::newRow("empty lines") << QByteArray("+OK\r\n\r\n\r\n.\r\n") << true << QByteArray()
                                 << QByteArray("\r\n\r\n") << true;
    QTest::newRow("CR inside a line")
        << QByteArray("+OK\r\na\rb\r\n.\r\n") << true << QByteArray() << QByteArray("a\rb\r\n") << true;
    QTest::newRow("unterminated") << QByteArray("+OK\r\nline\r\n.x") << true << QByteArray()
                                  << QByteArray("line\r\nx") << false;
}

void TestPopClient::parser() {
    QFETCH(QByteArray, wire);
    QFETCH(bool, multiLine);
    QFETCH(QByteArray, status);
    QFETCH(QByteArray, data);
    QFETCH(bool, ended);
    // Whole, byte by byte, and split at every position: the same result each way.
    QList<QList<QByteArray>> feeds{{wire}, {}};
    for (char c : wire)
        feeds[1] << QByteArray(1, c);
    for (qsizetype cut = 1; cut < wire.size(); ++cut)
        feeds << QList<QByteArray>{wire.left(cut), wire.mid(cut)};
    for (const QList<QByteArray>& pieces : feeds) {
        PopReplyParser p;
        p.expect(multiLine);
        QByteArray out, gotStatus;
        bool sawStatus = false, sawEnd = false;
        for (const QByteArray& piece : pieces) {
            p.feed(piece);
            for (;;) {
                const PopReplyParser::Item item = p.next(out);
                if (item == PopReplyParser::Item::NeedMore) break;
                QVERIFY(item != PopReplyParser::Item::Malformed);
                if (item == PopReplyParser::Item::Status) {
                    sawStatus = true;
                    gotStatus = p.status().text;
                }
                if (item == PopReplyParser::Item::End) sawEnd = true;
            }
        }
        QVERIFY(sawStatus);
        QCOMPARE(gotStatus, status);
        QCOMPARE(out, data);
        QCOMPARE(sawEnd, ended);
    }
}

QTEST_GUILESS_MAIN(TestPopClient)
#include "tst_pop_client.moc"
