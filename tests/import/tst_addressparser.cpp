// The plain parser: where FindNextAddress finds addresses, and the names it finds for them.

#include "ParserTestSupport.h"
#include "import/AddressParser.h"
#include "import/AddressScanner.h"

#include <QRandomGenerator>
#include <QTest>

using namespace sendora;
using namespace sendora::testing;

class TestAddressParser : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void findNext_data();
    void findNext();
    void names_data();
    void names();
    void unmatchedQuoteMessages_data();
    void unmatchedQuoteMessages();
    void scannerWalksLikeRepeatedCalls_data();
    void scannerWalksLikeRepeatedCalls();
    void findPersonalNameMatchesFindNext();
    void overlongLines();
};

void TestAddressParser::findNext_data() {
    QTest::addColumn<QString>("line");
    QTest::addColumn<qsizetype>("from");
    QTest::addColumn<QString>("address");
    QTest::addColumn<qsizetype>("next");

    QTest::newRow("alone") << "bob@x.com" << qsizetype(1) << "bob@x.com" << qsizetype(11);
    QTest::newRow("in angles") << "<bob@x.com>" << qsizetype(1) << "bob@x.com" << qsizetype(12);
    QTest::newRow("from later position") << "a@x.com b@y.com" << qsizetype(9) << "b@y.com" << qsizetype(17);
    QTest::newRow("at on position ends the line") << "@x.com b@y.com" << qsizetype(1) << "" << qsizetype(0);
    QTest::newRow("position at line end") << "bob@x.com" << qsizetype(9) << "" << qsizetype(0);
    QTest::newRow("no at") << "nothing here" << qsizetype(1) << "" << qsizetype(0);
    QTest::newRow("boundary before at") << "see @x.com b@y.com" << qsizetype(1) << "" << qsizetype(7);
    QTest::newRow("boundary after at") << "bob@ x.com" << qsizetype(1) << "" << qsizetype(6);
    QTest::newRow("invalid skipped past its end")
        << "bob@@x.com b@y.com" << qsizetype(1) << "" << qsizetype(12);
    QTest::newRow("left scan stops at position")
        << "abob@x.com" << qsizetype(2) << "bob@x.com" << qsizetype(12);
    // An apostrophe does not end the left scan but ends the address on the right.
    QTest::newRow("apostrophe in user")
        << "o'brien@x.com" << qsizetype(1) << "o'brien@x.com" << qsizetype(15);
    QTest::newRow("quoted in apostrophes")
        << "say 'bob@x.com'" << qsizetype(1) << "'bob@x.com" << qsizetype(16);
    QTest::newRow("second at further on")
        << "bob@relay@x.com" << qsizetype(1) << "bob@relay@x.com" << qsizetype(17);
    QTest::newRow("ends at equals") << "mailto=bob@x.com=y" << qsizetype(1) << "bob@x.com" << qsizetype(18);
    QTest::newRow("NUL bounds") << QString::fromUtf16(u"x\0bob@x.com\0y", 13) << qsizetype(1) << "bob@x.com"
                                << qsizetype(13);
    QTest::newRow("lone CR bounds") << "x\rbob@x.com\ry" << qsizetype(1) << "bob@x.com" << qsizetype(13);
    QTest::newRow("non-ASCII user") << QString::fromUtf8("jos\xC3\xA9@x.com") << qsizetype(1)
                                    << QString::fromUtf8("jos\xC3\xA9@x.com") << qsizetype(12);
    QTest::newRow("message-id drops the line")
        << "Message-ID: <abc@host.com> b@y.com" << qsizetype(1) << "" << qsizetype(0);
    QTest::newRow("Message-Id spelling")
        << "Message-Id: <abc@host.com>" << qsizetype(1) << "" << qsizetype(0);
    QTest::newRow("message-id letter case is exact")
        << "message-id: <abc@host.com>" << qsizetype(1) << "abc@host.com" << qsizetype(27);
    QTest::newRow("position zero") << "bob@x.com" << qsizetype(0) << "" << qsizetype(0);
}

void TestAddressParser::findNext() {
    QFETCH(QString, line);
    QFETCH(qsizetype, from);
    QFETCH(QString, address);
    QFETCH(qsizetype, next);
    qsizetype position = from;
    QString first, last;
    QCOMPARE(FindNextAddress(line, position, first, last), address);
    QCOMPARE(position, next);
}

void TestAddressParser::names_data() {
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("last");
    const QString nf = kNameNotFound;

    // Header lines
    QTest::newRow("From header") << "From: Bob Smith <bob@x.com>"
                                 << "Bob"
                                 << "Smith";
    QTest::newRow("Sender keeps the header word") << "Sender: Bob Smith <bob@x.com>"
                                                  << "Sender:"
                                                  << "Bob Smith";
    QTest::newRow("FROM") << "FROM: Ann Lee <a@x.com>"
                          << "Ann"
                          << "Lee";
    QTest::newRow("Bcc ends in cc") << "Bcc: Ann Lee <a@x.com>"
                                    << "Ann"
                                    << "Lee";
    QTest::newRow("header letter case is exact") << "FrOm: Ann Lee <a@x.com>"
                                                 << "FrOm:"
                                                 << "Ann Lee";
    QTest::newRow("colon too early") << ":x Bob <b@x.com>"
                                     << ":x"
                                     << "Bob";
    QTest::newRow("leading TAB dropped") << "\tBob Smith <b@x.com>"
                                         << "Bob"
                                         << "Smith";
    QTest::newRow("empty candidate reads parentheses") << "To: <b@x.com> (Bob Smith)"
                                                       << "Bob"
                                                       << "Smith";
    // Angle at the start of the line
    QTest::newRow("angle first, parentheses") << "<bob@x.com> (Bob Smith)"
                                              << "Bob"
                                              << "Smith";
    QTest::newRow("angle first alone") << "<bob@x.com>" << nf << "";
    // Quotes
    QTest::newRow("quoted last, first") << "\"Smith, John\" <js@x.com>"
                                        << "John"
                                        << "Smith";
    QTest::newRow("escaped quotes inside") << "\"Bob \\\"Bobby\\\" Smith\" <b@x.com>"
                                           << "Bob"
                                           << "\\\"Bobby\\\" Smith";
    QTest::newRow("unclosed quote cuts the line") << "\"Bob Smith <b@x.com>"
                                                  << "Bob"
                                                  << "Smith";
    QTest::newRow("escaped first quote ignored") << "\\\"Bob <b@x.com>"
                                                 << "\\\"Bob"
                                                 << "";
    QTest::newRow("quote after the address") << "Bob <b@x.com> \"x\""
                                             << "Bob"
                                             << "";
    // The word table
    QTest::newRow("2 words, comma at end") << "John Smith, <j@x.com>"
                                           << "John"
                                           << "Smith";
    QTest::newRow("3 words, comma after first") << "Smith, John Paul <js@x.com>"
                                                << "John Paul"
                                                << "Smith";
    QTest::newRow("3 words, suffix tested first") << "Smith, John Jr. <js@x.com>"
                                                  << "Smith,"
                                                  << "John Jr.";
    QTest::newRow("3 words, suffix after comma") << "John Smith, Jr. <j@x.com>"
                                                 << "John"
                                                 << "Smith, Jr.";
    QTest::newRow("3 words, comma after second") << "Van Dyke, Ann <a@x.com>"
                                                 << "Ann"
                                                 << "Van Dyke";
    QTest::newRow("3 words, comma at end") << "Mary Ann Smith, <m@x.com>"
                                           << "Mary"
                                           << "Ann Smith";
    QTest::newRow("3 words") << "John Paul Smith <j@x.com>"
                             << "John"
                             << "Paul Smith";
    QTest::newRow("double space makes an empty word") << "John  Smith <j@x.com>"
                                                      << "John"
                                                      << " Smith";
    QTest::newRow("4 words, III") << "John Paul Smith III <j@x.com>"
                                  << "John"
                                  << "Paul Smith III";
    QTest::newRow("4 words, Jr does not count") << "John Paul Smith Jr <j@x.com>" << nf << "";
    QTest::newRow("4 words, suffix after comma") << "John Paul Smith, Jr. <j@x.com>"
                                                 << "John"
                                                 << "Paul Smith, Jr.";
    QTest::newRow("4 words, comma elsewhere") << "Smith, John Paul Peter <j@x.com>"
                                              << "Smith,"
                                              << "Joh";
    QTest::newRow("4 words, comma at end") << "John Paul Smith Jones, <j@x.com>"
                                           << "John"
                                           << "Paul Smith Jones";
    QTest::newRow("5 words") << "A Bee Cee Dee Eee <a@x.com>" << nf << "";
    QTest::newRow("5 words with comma") << "Ann Bee, Cee Dee Eee <a@x.com>"
                                        << "Ann"
                                        << "Bee";
    QTest::newRow("ampersand keeps the whole") << "Bob & Ann Lee <b@x.com>"
                                               << "Bob & Ann Lee"
                                               << "";
    QTest::newRow("family keeps the whole") << "The Smith Family <s@x.com>"
                                            << "The Smith Family"
                                            << "";
    QTest::newRow("AND is not and") << "Bob AND Ann <b@x.com>"
                                    << "Bob"
                                    << "AND Ann";
    QTest::newRow("one word") << "Bob <b@x.com>"
                              << "Bob"
                              << "";
    // Candidate limits
    QTest::newRow("40 characters") << "<a@x.com> (" + QString(19, u'A') + ' ' + QString(20, u'B') + ")"
                                   << QString(19, u'A') << QString(20, u'B');
    QTest::newRow("41 characters") << "<a@x.com> (" + QString(20, u'A') + ' ' + QString(20, u'B') + ")" << nf
                                   << "";
    QTest::newRow("embedded at") << "<a@x.com> (see b@y)" << nf << "";
    // Not in angles
    QTest::newRow("parentheses after") << "bob@x.com (Bob Smith)"
                                       << "Bob"
                                       << "Smith";
    QTest::newRow("parenthesis right after is skipped") << "bob@x.com(Bob Smith)"
                                                        << "(Bob Smith)"
                                                        << "";
    QTest::newRow("unmatched parenthesis") << "bob@x.com (Bob Smith" << nf << "";
    QTest::newRow("underscore") << "john_smith@x.com"
                                << "John"
                                << "Smith";
    QTest::newRow("dot") << "john.smith@x.com"
                         << "John"
                         << "Smith";
    QTest::newRow("underscore before dot") << "john.a_b@x.com"
                                           << "John.a"
                                           << "B";
    QTest::newRow("further separators stay") << "j_smith_jr@x.com"
                                             << "J"
                                             << "Smith_jr";
    QTest::newRow("leading underscore") << "_smith@x.com" << nf << "";
    QTest::newRow("trailing underscore") << "smith_@x.com" << nf << "";
    QTest::newRow("text after") << "bob@x.com Bob Smith"
                                << "Bob Smith"
                                << "";
    QTest::newRow("comma fields after") << "bob@x.com, Bob, Smith"
                                        << "Bob"
                                        << "Smith";
    QTest::newRow("comma too far") << "bob@x.com Bobby, Smith"
                                   << "Bobby, Smith"
                                   << "";
    // Comma-separated fields
    QTest::newRow("fields first last address") << "\"John\",\"Smith\",\"js@x.com\""
                                               << "John"
                                               << "Smith";
    QTest::newRow("fields address first last") << "\"js@x.com\",\"John\",\"Smith\""
                                               << "John"
                                               << "Smith";
    QTest::newRow("fields address first") << "\"js@x.com\",\"John\""
                                          << "John"
                                          << "";
    // Titles
    QTest::newRow("title removed") << "From: Mrs. Jane Doe <jane@x.com>"
                                   << "Jane"
                                   << "Doe";
    QTest::newRow("only first title") << "Mr. Mrs. Jane Doe <j@x.com>"
                                      << "Mrs."
                                      << "Jane Doe";
    QTest::newRow("title after the address") << "jane@x.com Mrs. Jane"
                                             << "Jane"
                                             << "";
    // Other text
    QTest::newRow("non-ASCII name") << QString::fromUtf8("Jos\xC3\xA9 \xC3\x81lvarez <j@x.com>")
                                    << QString::fromUtf8("Jos\xC3\xA9")
                                    << QString::fromUtf8("\xC3\x81lvarez");
    QTest::newRow("NUL in name") << QString::fromUtf16(u"Bo\0b <b@x.com>", 14)
                                 << QString::fromUtf16(u"Bo\0b", 4) << "";
}

void TestAddressParser::names() {
    QFETCH(QString, line);
    QFETCH(QString, first);
    QFETCH(QString, last);
    qsizetype position = 1;
    QString f, l;
    QVERIFY(!FindNextAddress(line, position, f, l).isEmpty());
    QCOMPARE(f, first);
    QCOMPARE(l, last);
}

void TestAddressParser::unmatchedQuoteMessages_data() {
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("message");
    const QString pair = "\"Bob \\\"Bobby\" Smith <b@x.com>";
    QTest::newRow("escaped quote without partner")
        << pair << QString("Unmatched  \\\" pair at positions 7 and 13in string ") + pair;
    const QString open = "\"Bob \\\"Bobby\\\" Smith <b@x.com>";
    QTest::newRow("no closing quote") << open << QString("Unmatched \" in string ") + open;
}

void TestAddressParser::unmatchedQuoteMessages() {
    QFETCH(QString, line);
    QFETCH(QString, message);
    RecordingUserInterface ui;
    qsizetype position = 1;
    QString first, last;
    QCOMPARE(FindNextAddress(line, position, first, last, &ui), QString("b@x.com"));
    QCOMPARE(first, kNameNotFound);
    QCOMPARE(ui.messages, QStringList{message});
    QCOMPARE(ui.icons.value(0), Icon::Information);
}

void TestAddressParser::scannerWalksLikeRepeatedCalls_data() {
    QTest::addColumn<QString>("line");
    QTest::newRow("list") << "To: \"Lee, Ann\" <al@x.com>, Bob <b@y.com>, c_d@z.com (Carl Dee), e@f.org";
    QTest::newRow("title between") << "a@x.com Mr. (Al Bee) <b@y.com> Mrs. c@z.com";
    QTest::newRow("fields") << "\"a\",\"b\",a@x.com,\"c\",c@y.com";
    QRandomGenerator rng(7);
    const QStringList pieces = {"a@b.cc", "<",   ">",   "(", ")",   "\"", "\\", ",",  ":", " ",
                                "Mr. ",   "To:", "x_y", "@", "Bob", "'",  "..", "\t", "é"};
    for (int i = 0; i < 60; ++i) {
        QString line;
        for (int k = int(rng.bounded(40)); k > 0; --k)
            line += pieces[rng.bounded(int(pieces.size()))];
        QTest::newRow(qPrintable(QString("random %1").arg(i))) << line;
    }
}

// What the scanner keeps between calls must not change any answer.
void TestAddressParser::scannerWalksLikeRepeatedCalls() {
    QFETCH(QString, line);
    AddressScanner scanner(line);
    qsizetype p1 = 1, p2 = 1;
    for (int guard = 0; guard < 1000 && (p1 != 0 || p2 != 0); ++guard) {
        QString f1, l1, f2, l2;
        const QString a1 = FindNextAddress(line, p1, f1, l1);
        const QString a2 = scanner.findNextAddress(p2, f2, l2);
        QCOMPARE(a2, a1);
        QCOMPARE(p2, p1);
        QCOMPARE(f2, f1);
        QCOMPARE(l2, l1);
    }
}

void TestAddressParser::findPersonalNameMatchesFindNext() {
    const QString line = "From: Mrs. Jane Doe <jane@x.com>";
    const PersonalName n = FindPersonalName(line, 22, 31, true, u"jane", u"jane@x.com");
    QCOMPARE(n.firstName, QString("Jane"));
    QCOMPARE(n.lastName, QString("Doe"));
}

// Past the line limit addresses are still found, without names, and in one pass.
void TestAddressParser::overlongLines() {
    const QString pad(kMaxLineLength, u'x');
    const QString line = pad + " Bob Smith <bob@x.com> " + pad;
    qsizetype position = 1;
    QString first, last;
    QCOMPARE(FindNextAddress(line, position, first, last), QString("bob@x.com"));
    QCOMPARE(first, kNameNotFound);
    QCOMPARE(last, QString());

    const QString tail = " bob@x.com Bob";
    const QString atLimit = QString(kMaxLineLength - tail.size(), u'x') + tail;
    position = 1;
    QCOMPARE(FindNextAddress(atLimit, position, first, last), QString("bob@x.com"));
    QCOMPARE(first, QString("Bob"));
    position = 1;
    QCOMPARE(FindNextAddress(u'x' + atLimit, position, first, last), QString("bob@x.com"));
    QCOMPARE(first, kNameNotFound);

    QString many;
    for (int i = 0; i < 200000; ++i)
        many += "Ann <a@b.cc> ";
    AddressScanner scanner(many);
    position = 1;
    int found = 0;
    while (position != 0)
        found += scanner.findNextAddress(position, first, last).isEmpty() ? 0 : 1;
    QCOMPARE(found, 200000);
}

QTEST_APPLESS_MAIN(TestAddressParser)
#include "tst_addressparser.moc"
