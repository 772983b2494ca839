// The pure protocol pieces: reply parsing, DATA framing, command arguments, EHLO keywords.

#include "components/mailsocket/SmtpProtocol.h"
#include "components/mailsocket/SmtpReplyParser.h"

#include <QTest>

using namespace sendora::mail;

class TestSmtpProtocol : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void replies_data();
    void replies();
    void bytewiseFeedingGivesTheSameReplies();
    void overlongLineIsReportedOnceAndSkipped();
    void pendingDataAfterAReply();
    void dataContent_data();
    void dataContent();
    void dataContentReusesCapacity();
    void arguments_data();
    void arguments();
    void ehloKeywords();
};

// Replies rendered as "code|lines|text" or "ERR|why".
static QStringList parseAll(QByteArrayView input, qsizetype chunk = 0) {
    SmtpReplyParser parser;
    QStringList out;
    SmtpReply r;
    auto drain = [&] {
        while (parser.next(r))
            out << (r.malformed ? "ERR|" + QString::fromUtf8(r.error)
                                : QStringLiteral("%1|%2|%3")
                                      .arg(r.code)
                                      .arg(r.lineCount)
                                      .arg(QString::fromUtf8(r.text)));
    };
    if (chunk == 0) {
        parser.feed(input);
        drain();
    } else {
        for (qsizetype i = 0; i < input.size(); i += chunk) {
            parser.feed(input.sliced(i, std::min(chunk, input.size() - i)));
            drain();
        }
    }
    return out;
}

void TestSmtpProtocol::replies_data() {
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("single") << QByteArray("250 ok\r\n") << QStringList{"250|1|250 ok"};
    QTest::newRow("code only") << QByteArray("250\r\n") << QStringList{"250|1|250"};
    QTest::newRow("multi-line") << QByteArray("250-a\r\n250-b\r\n250 c\r\n")
                                << QStringList{"250|3|250-a\r\n250-b\r\n250 c"};
    QTest::newRow("two replies, bare LF")
        << QByteArray("220 hi\n354 go\n") << QStringList{"220|1|220 hi", "354|1|354 go"};
    QTest::newRow("incomplete kept") << QByteArray("250-a\r\n250 b") << QStringList{};
    QTest::newRow("garbage") << QByteArray("hello\r\n") << QStringList{"ERR|malformed reply line: \"hello\""};
    QTest::newRow("empty line") << QByteArray("\r\n250 ok\r\n")
                                << QStringList{"ERR|malformed reply line: \"\"", "250|1|250 ok"};
    QTest::newRow("bad separator") << QByteArray("250x\r\n")
                                   << QStringList{"ERR|malformed reply line: \"250x\""};
    QTest::newRow("code out of range")
        << QByteArray("199 no\r\n600 no\r\n")
        << QStringList{"ERR|reply code out of range: \"199 no\"", "ERR|reply code out of range: \"600 no\""};
    QTest::newRow("code changes") << QByteArray("250-a\r\n550 b\r\n250 c\r\n")
                                  << QStringList{
                                         "ERR|reply code changed inside a multi-line reply: \"550 b\"",
                                         "250|1|250 c"};
    QTest::newRow("control bytes masked in error")
        << QByteArray("ab\x01\x7f\r\n") << QStringList{"ERR|malformed reply line: \"ab??\""};
    QTest::newRow("NUL inside text kept")
        << QByteArray("250 a\0b\r\n", 9) << QStringList{QString::fromUtf8("250|1|250 a\0b", 13)};
    QTest::newRow("garbage mid multi-line")
        << QByteArray("250-a\r\nxx\r\n250 ok\r\n")
        << QStringList{"ERR|malformed reply line: \"xx\"", "250|1|250 ok"};
}

void TestSmtpProtocol::replies() {
    QFETCH(QByteArray, input);
    QFETCH(QStringList, expected);
    QCOMPARE(parseAll(input), expected);
}

void TestSmtpProtocol::bytewiseFeedingGivesTheSameReplies() {
    const QByteArray input = "220-mx\r\n220 ready\r\n250-x\n250 y\r\nbad\r\n221 bye\r\n";
    const QStringList whole = parseAll(input);
    QCOMPARE(whole.size(), 4);
    for (qsizetype chunk : {1, 2, 3, 7})
        QCOMPARE(parseAll(input, chunk), whole);
}

void TestSmtpProtocol::overlongLineIsReportedOnceAndSkipped() {
    QByteArray input(SmtpReplyParser::MaxLineLength + 100, 'x');
    input.prepend("250 ");
    input.append("\r\n250 after\r\n");
    for (qsizetype chunk : {0, 1000}) {
        const QStringList out = parseAll(input, chunk);
        QCOMPARE(out.size(), 2);
        QVERIFY(out[0].startsWith("ERR|reply line too long"));
        QCOMPARE(out[1], QStringLiteral("250|1|250 after"));
    }
}

void TestSmtpProtocol::pendingDataAfterAReply() {
    SmtpReplyParser p;
    SmtpReply r;
    p.feed("220 go\r\n");
    QVERIFY(p.next(r));
    QVERIFY(!p.hasPendingData());
    p.feed("220 go\r\n250 forged\r\n");
    QVERIFY(p.next(r));
    QVERIFY(p.hasPendingData());
    p.reset();
    p.feed("250-half\r\n");
    QVERIFY(!p.next(r));
    QVERIFY(p.hasPendingData());
    QCOMPARE(r.firstLine(), QByteArrayView("220 go"));
}

void TestSmtpProtocol::dataContent_data() {
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QByteArray>("framed");
    QTest::addColumn<bool>("eightBit");

    QTest::newRow("empty") << QByteArray() << QByteArray(".\r\n") << false;
    QTest::newRow("plain") << QByteArray("a\r\nb\r\n") << QByteArray("a\r\nb\r\n.\r\n") << false;
    QTest::newRow("no final newline") << QByteArray("a") << QByteArray("a\r\n.\r\n") << false;
    QTest::newRow("dot lines") << QByteArray(".\r\n..\r\n.x") << QByteArray("..\r\n...\r\n..x\r\n.\r\n")
                               << false;
    QTest::newRow("bare LF") << QByteArray("a\nb\n") << QByteArray("a\r\nb\r\n.\r\n") << false;
    QTest::newRow("bare CR") << QByteArray("a\rb\r") << QByteArray("a\r\nb\r\n.\r\n") << false;
    QTest::newRow("LF CR") << QByteArray("a\n\rb") << QByteArray("a\r\n\r\nb\r\n.\r\n") << false;
    QTest::newRow("dot not at line start") << QByteArray("a.b\r\n") << QByteArray("a.b\r\n.\r\n") << false;
    QTest::newRow("NUL") << QByteArray("a\0.b", 4) << QByteArray("a.b\r\n.\r\n") << false;
    QTest::newRow("NUL then dot at line start")
        << QByteArray("\0.b", 3) << QByteArray("..b\r\n.\r\n") << false;
    QTest::newRow("8 bit") << QByteArray("caf\xc3\xa9") << QByteArray("caf\xc3\xa9\r\n.\r\n") << true;
    QTest::newRow("stuffed dot counts")
        << QByteArray("ab\r\n.cd") << QByteArray("ab\r\n..cd\r\n.\r\n") << false;
    QTest::newRow("longest in slow path")
        << QByteArray("a\rbcde\0f\r\ng", 11) << QByteArray("a\r\nbcdef\r\ng\r\n.\r\n") << false;
    QTest::newRow("only line ends") << QByteArray("\n\n") << QByteArray("\r\n\r\n.\r\n") << false;
}

void TestSmtpProtocol::dataContent() {
    QFETCH(QByteArray, body);
    QFETCH(QByteArray, framed);
    QFETCH(bool, eightBit);
    QByteArray out("prefix");
    qsizetype longest = -1;
    QCOMPARE(smtp::appendDataContent(out, body, &longest), eightBit);
    QCOMPARE(out, "prefix" + framed);
    qsizetype expected = 0;
    for (const QByteArray& line : framed.chopped(3).split('\n'))
        expected = std::max(expected, line.size() - (line.endsWith('\r') ? 1 : 0));
    QCOMPARE(longest, expected);
}

void TestSmtpProtocol::dataContentReusesCapacity() {
    const QByteArray body = QByteArray("line of text\r\n").repeated(1000);
    QByteArray out;
    smtp::appendDataContent(out, body);
    const char* data = out.constData();
    out.resize(0);
    smtp::appendDataContent(out, body);
    QCOMPARE(out.constData(), data);
    QCOMPARE(out.size(), body.size() + 3);
}

void TestSmtpProtocol::arguments_data() {
    QTest::addColumn<QString>("input");
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<QByteArray>("helo");

    QTest::newRow("bare") << "a@b.test" << QByteArray("<a@b.test>") << QByteArray("a@b.test");
    QTest::newRow("bracketed") << " <a@b.test> " << QByteArray("<a@b.test>") << QByteArray("<a@b.test>");
    QTest::newRow("named") << "Ann <a@b.test>" << QByteArray("<a@b.test>") << QByteArray("Ann<a@b.test>");
    QTest::newRow("empty") << "" << QByteArray("<>") << QByteArray("localhost");
    QTest::newRow("line breaks") << "a@b\r\n.test\0" << QByteArray("<a@b.test>") << QByteArray("a@b.test");
    QTest::newRow("ipv4") << "192.0.2.1" << QByteArray("<192.0.2.1>") << QByteArray("[192.0.2.1]");
    QTest::newRow("ipv6") << "2001:db8::1" << QByteArray("<2001:db8::1>") << QByteArray("[IPv6:2001:db8::1]");
}

void TestSmtpProtocol::arguments() {
    QFETCH(QString, input);
    QFETCH(QByteArray, path);
    QFETCH(QByteArray, helo);
    QCOMPARE(smtp::pathArgument(input), path);
    QCOMPARE(smtp::heloArgument(input), helo);
}

void TestSmtpProtocol::ehloKeywords() {
    SmtpReplyParser p;
    p.feed("250-mx.test greets you\r\n250-pipelining\r\n250-SIZE 1000\r\n250-STARTTLS\r\n250-AUTH=LOGIN\r\n"
           "250-AUTH CRAM-MD5 PLAIN\r\n250 8BITMIME\r\n");
    SmtpReply r;
    QVERIFY(p.next(r));
    const smtp::Extensions e = smtp::Extensions::fromEhlo(r);
    QVERIFY(e.esmtp && e.pipelining && e.startTls && e.eightBitMime && e.authLogin && e.authPlain &&
            e.authAdvertised);
    QCOMPARE(e.sizeLimit, 1000);

    p.feed("250 mx.test only\r\n");
    QVERIFY(p.next(r));
    const smtp::Extensions none = smtp::Extensions::fromEhlo(r);
    QVERIFY(none.esmtp && !none.pipelining && !none.startTls && !none.authAdvertised);
    QCOMPARE(none.sizeLimit, -1);
}

QTEST_GUILESS_MAIN(TestSmtpProtocol)
#include "tst_smtp_protocol.moc"
