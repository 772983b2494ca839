// EmailParser: where it differs from the plain parser, its questions, and how it stores.

#include "ParserTestSupport.h"
#include "import/AddressParser.h"
#include "import/EmailParser.h"

#include <QTest>

using namespace sendora;
using namespace sendora::testing;

namespace {
const QString kManually = "a name manually if you can.";
}

class TestEmailParser : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void differsFromPlain_data();
    void differsFromPlain();
    void questions_data();
    void questions();
    void answers_data();
    void answers();
    void bestGuessStopsQuestions();
    void multipleAddresses();
    void textLinesAreCutBehindEachAddress();
    void storeStatusAndNameChecking();
};

void TestEmailParser::differsFromPlain_data() {
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("plain");  // first|last from the plain parser, "-" when dropped
    QTest::addColumn<QString>("parser"); // from the class

    QTest::newRow("header in any case") << "Mailbox"
                                        << "FrOm: Ann Lee <a@x.com>"
                                        << "FrOm:|Ann Lee"
                                        << "Ann|Lee";
    QTest::newRow("AND in any case") << "Mailbox"
                                     << "Bob AND Ann <b@x.com>"
                                     << "Bob|AND Ann"
                                     << "Bob AND Ann|";
    QTest::newRow("FAMILY in any case") << "Mailbox"
                                        << "The Lee FAMILY <l@x.com>"
                                        << "The|Lee FAMILY"
                                        << "The Lee FAMILY|";
    QTest::newRow("roman suffix in any case") << "Mailbox"
                                              << "John Paul Smith iii <j@x.com>"
                                              << "not_found|"
                                              << "John|Paul Smith iii";
    QTest::newRow("suffix word in any case") << "Mailbox"
                                             << "Smith, John jR. <j@x.com>"
                                             << "John jR.|Smith"
                                             << "Smith,|John jR.";
    QTest::newRow("message-id in any case") << "Mailbox"
                                            << "MESSAGE-ID: <abc@host.com>"
                                            << "MESSAGE-ID:|"
                                            << "-";
    QTest::newRow("fields only for Text") << "Mailbox"
                                          << "\"John\",\"Smith\",\"js@x.com\""
                                          << "John|Smith"
                                          << "\"|";
    QTest::newRow("fields for Text") << "Text"
                                     << "\"John\",\"Smith\",\"js@x.com\""
                                     << "John|Smith"
                                     << "John|Smith";
    QTest::newRow("angle first, Text splits fields") << "Text"
                                                     << "<js@x.com>,John,Smith (Al Bee)"
                                                     << "Al|Bee"
                                                     << "John|Smith (Al Bee)";
    QTest::newRow("angle first, Text without comma") << "Text"
                                                     << "<js@x.com> (Al Bee)"
                                                     << "Al|Bee"
                                                     << "not_found|";
    QTest::newRow("angle first, Binary reads parentheses") << "Binary"
                                                           << "<js@x.com>,John (Al Bee)"
                                                           << "Al|Bee"
                                                           << "Al|Bee";
}

void TestEmailParser::differsFromPlain() {
    QFETCH(QString, type);
    QFETCH(QString, line);
    QFETCH(QString, plain);
    QFETCH(QString, parser);
    auto names = [](bool found, const QString& f, const QString& l) {
        return found ? f + '|' + l : QString("-");
    };

    qsizetype position = 1;
    QString f, l;
    const bool plainFound = !FindNextAddress(line, position, f, l).isEmpty();
    QCOMPARE(names(plainFound, f, l), plain);

    EmailParser p;
    p.setSourceFileType(type);
    position = 1;
    int status = 0;
    QString address;
    const bool found = p.parseEmailAddress(line, position, status, address);
    QCOMPARE(names(found, p.FirstName(), p.LastName()), parser);
    if (!found) QCOMPARE(position, qsizetype(0));
}

void TestEmailParser::questions_data() {
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("proposed"); // first|last
    QTest::addColumn<QString>("inferred"); // empty: the box is hidden

    QTest::newRow("underscore guess")
        << "john_smith@x.com"
        << "No name was found but we may guess from \"_\" in the username. Confirm the guess or extract " +
               kManually
        << "John|Smith"
        << "";
    QTest::newRow("dot guess")
        << "john.smith@x.com"
        << "No name was found but we may guess from \".\" in the username. Confirm the guess or extract " +
               kManually
        << "John|Smith"
        << "";
    QTest::newRow("unmatched parenthesis")
        << "bob@x.com (Bob Smith"
        << "String seems to have unmatched parenthesis. Extract " + kManually << "Bob Smith|"
        << "";
    QTest::newRow("embedded at")
        << "<a@x.com> (see b@y)"
        << "This case is suspicious because of the embedded \"@\". It may not be a valid "
           "name. Confirm it or extract " +
               kManually
        << "see b@y|"
        << "";
    QTest::newRow("41 characters") << "<a@x.com> (" + QString(20, u'A') + ' ' + QString(20, u'B') + ")"
                                   << "The name field is greater than 40 characters.  Extract " + kManually
                                   << QString(20, u'A') + ' ' + QString(20, u'B') + '|' << "";
    QTest::newRow("four words, unable")
        << "<a@x.com> (John Paul Smith Jr)"
        << "Unable to guess at parsing a name. Extract " + kManually << "John Paul Smith Jr|"
        << "";
    QTest::newRow("four words with comma, guessed")
        << "<a@x.com> (Smith, John Paul Peter)"
        << "The program guessed the following names. Confirm or extract " + kManually << "Smith,|Joh"
        << "Smith, John Paul Peter";
}

void TestEmailParser::questions() {
    QFETCH(QString, line);
    QFETCH(QString, message);
    QFETCH(QString, proposed);
    QFETCH(QString, inferred);
    ScriptedNameQuestion q;
    EmailParser p(nullptr, &q);
    p.setSourceFileType("Mailbox");
    qsizetype position = 1;
    int status = 0;
    QString address;
    QVERIFY(p.parseEmailAddress(line, position, status, address));
    QCOMPARE(q.asked.size(), 1);
    const NameQuery& query = q.asked.first();
    QCOMPARE(query.address, address);
    QCOMPARE(query.message, message);
    QCOMPARE(query.firstName + '|' + query.lastName, proposed);
    QCOMPARE(query.showInferred, !inferred.isEmpty());
    if (query.showInferred) QCOMPARE(query.inferredFrom, inferred);
}

void TestEmailParser::answers_data() {
    QTest::addColumn<int>("reply");
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("stored"); // first|last as stored
    using Q = ScriptedNameQuestion;
    QTest::newRow("confirm edited") << int(Q::Confirm) << "<a@x.com> (A Bee Cee Dee Eee)"
                                    << "Ann|Lee";
    QTest::newRow("not found") << int(Q::NotFound) << "john_smith@x.com"
                               << "|";
    QTest::newRow("closed, guess kept") << int(Q::Leave) << "john_smith@x.com"
                                        << "John|Smith";
    QTest::newRow("closed, no guess") << int(Q::Leave) << "<a@x.com> (A Bee Cee Dee Eee)"
                                      << "|";
    // The question comes before the message-id test: a confirmed header word drops the address.
    QTest::newRow("confirmed message-id") << int(Q::Confirm) << "a_b@x.com"
                                          << "-";
}

void TestEmailParser::answers() {
    QFETCH(int, reply);
    QFETCH(QString, line);
    QFETCH(QString, stored);
    ScriptedNameQuestion q;
    q.script << ScriptedNameQuestion::Answer{ScriptedNameQuestion::Reply(reply),
                                             line.startsWith("a_b") ? "Message-Id" : "Ann", "Lee"};
    CollectingSink sink;
    EmailParser p(nullptr, &q, &sink);
    p.setSourceFileType("Mailbox");
    qsizetype position = 1;
    int status = 0;
    QString address;
    p.parseEmailAddress(line, position, status, address);
    QCOMPARE(q.asked.size(), 1);
    QCOMPARE(sink.rows.isEmpty() ? QString("-") : sink.rows[0].first + '|' + sink.rows[0].last, stored);
}

void TestEmailParser::bestGuessStopsQuestions() {
    ScriptedNameQuestion q;
    q.script << ScriptedNameQuestion::Answer{ScriptedNameQuestion::BestGuess, "Jon", "Smyth"};
    CollectingSink sink;
    EmailParser p(nullptr, &q, &sink);
    p.setSourceFileType("Text");
    QCOMPARE(p.extractFromLine(u"john_smith@x.com ann_lee@y.com (Al Bee Cee Dee Eee)"), 2);
    QCOMPARE(q.asked.size(), 1);
    QVERIFY(!p.AskIfAmbigous());
    QCOMPARE(sink.rows[0].first + '|' + sink.rows[0].last, QString("Jon|Smyth"));
    QCOMPARE(sink.rows[1].first + '|' + sink.rows[1].last, QString("|"));

    // A new build sets the flag again.
    p.setAskIfAmbigous(true);
    QCOMPARE(p.extractFromLine(u"x_y@z.com"), 1);
    QCOMPARE(q.asked.size(), 2);
}

void TestEmailParser::multipleAddresses() {
    CollectingSink sink;
    EmailParser p(nullptr, nullptr, &sink);
    p.setSourceFileType("Mailbox");
    QStringList pieces;
    int count = 0;
    const QString line = "Smith, John <js@x.com>, Ann Lee <al@x.com>,, bob@y.com, no address";
    QCOMPARE(p.getMultipleAddress(line, pieces, count), 3);
    QCOMPARE(pieces,
             (QStringList{"Smith, John <js@x.com>", " Ann Lee <al@x.com>", ", bob@y.com", " no address"}));
    QCOMPARE(count, 4);
    QCOMPARE(sink.rows.size(), 3);
    QCOMPARE(sink.rows[0].address + '|' + sink.rows[0].first + '|' + sink.rows[0].last,
             QString("js@x.com|John|Smith"));
    QCOMPARE(sink.rows[1].address + '|' + sink.rows[1].first + '|' + sink.rows[1].last,
             QString("al@x.com|Ann|Lee"));
    QCOMPARE(sink.rows[2].address, QString("bob@y.com"));

    // A mailbox line without commas gives its first address only.
    sink.rows.clear();
    QCOMPARE(p.extractFromLine(u"To: a@x.com b@y.com"), 1);
    QCOMPARE(sink.rows.size(), 1);
}

// The scan cuts a Text or Binary line behind every address, so the next one is read from a line
// of its own: an address in angles can then start that line.
void TestEmailParser::textLinesAreCutBehindEachAddress() {
    const QString line = "<a@x.com><b@y.com> (Bob Smith)";
    CollectingSink sink;
    EmailParser p(nullptr, nullptr, &sink);
    p.setSourceFileType("Binary");
    QCOMPARE(p.extractFromLine(line), 2);
    QCOMPARE(sink.rows[1].address + '|' + sink.rows[1].first, QString("b@y.com|Bob"));

    qsizetype position = 1;
    QString f, l;
    FindNextAddress(line, position, f, l);
    QCOMPARE(FindNextAddress(line, position, f, l), QString("b@y.com"));
    QCOMPARE(f, kNameNotFound);
}

void TestEmailParser::storeStatusAndNameChecking() {
    CollectingSink sink;
    ScriptedNameQuestion q;
    EmailParser p(nullptr, &q, &sink);
    p.setSourceFileType("Text");
    p.setNameChecking(false);
    int status = 0;
    qsizetype position = 1;
    QString address;
    QVERIFY(p.parseEmailAddress(u"john_smith@x.com", position, status, address));
    QCOMPARE(status, 1);
    position = 1;
    status = 0;
    QVERIFY(p.parseEmailAddress(u"Message-ID: <abc@host.com>", position, status, address));
    QCOMPARE(status, 0);
    QCOMPARE(sink.rows[0].first + '|' + sink.rows[0].last, QString("|"));
    QVERIFY(sink.rows[0].openList);
    QVERIFY(!sink.rows[1].openList);
    QVERIFY(q.asked.isEmpty());
    p.beginBuild();
    position = 1;
    QVERIFY(p.parseEmailAddress(u"c@d.com", position, status, address));
    QCOMPARE(status, 1);
    QCOMPARE(p.addressCount(), 3);
}

QTEST_APPLESS_MAIN(TestEmailParser)
#include "tst_emailparser.moc"
