// Which messages count as returned mail and which address each one yields, on a corpus of
// returned messages from the common mail servers.

#include "pop/BounceRules.h"
#include "pop/ReturnedMail.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace sendora::pop;

namespace {

QString corpus(const QString& name) {
    QFile f(QFINDTESTDATA(QStringLiteral("bounces/") + name));
    if (!f.open(QIODevice::ReadOnly)) qFatal("missing corpus file %s", qPrintable(name));
    // As a POP3 server hands it over: CRLF line ends.
    return QString::fromUtf8(f.readAll())
        .replace(QStringLiteral("\r\n"), QStringLiteral("\n"))
        .replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
}

QStringList addresses(const ReturnedRecipients& r) {
    QStringList out;
    for (const FoundAddress& f : r.addresses)
        out << f.address;
    return out;
}

} // namespace

class TestReturnedMail : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void corpusYieldsTheFailedRecipient_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("returnedSubject");
        QTest::addColumn<bool>("report");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("postfix") << "postfix.eml" << true << true
                                 << QStringList{"gone@postfix-target.example"};
        QTest::newRow("exim") << "exim.eml" << true << true << QStringList{"nobody@exim-target.example"};
        // Final-Recipient wins over Original-Recipient; the Action's comment is not part of it.
        QTest::newRow("sendmail") << "sendmail.eml" << true << true
                                  << QStringList{"old.name@sendmail-target.example"};
        // No report: the copy of the original message names the recipient.
        QTest::newRow("qmail") << "qmail.eml" << true << false << QStringList{"lost@qmail-target.example"};
        // Encoded subject; the report sits beside a multipart/alternative explanation.
        QTest::newRow("exchange") << "exchange.eml" << true << true
                                  << QStringList{"J.Doe@exchange-target.example"};
        // report-type after the boundary; folded status fields.
        QTest::newRow("gmail") << "gmail.eml" << true << true
                               << QStringList{"no.such.user@gmail-target.example"};
        // Base64 status part; the text part's first "To: " is our own address.
        QTest::newRow("yahoo") << "yahoo.eml" << true << true << QStringList{"nobox@yahoo-target.example"};
        // Two failed (one only by its Original-Recipient), one delayed, one delivered.
        QTest::newRow("several recipients")
            << "multiple.eml" << true << true
            << QStringList{"first@multi-target.example", "j.smith@x400-gw.example"};
        // A warning whose recipients are all still being tried is not returned mail.
        QTest::newRow("delayed only") << "delayed.eml" << true << true << QStringList{};
        QTest::newRow("auto-reply") << "autoreply.eml" << false << false << QStringList{};
    }
    void corpusYieldsTheFailedRecipient() {
        QFETCH(QString, file);
        QFETCH(bool, returnedSubject);
        QFETCH(bool, report);
        QFETCH(QStringList, expected);
        const QString message = corpus(file);
        const QString subject = decodedHeaderValue(headerValue(headerSection(message), u"Subject"));
        QCOMPARE(returnedMailRule(subject) > 0, returnedSubject);
        for (bool checkOriginalTo : {false, true}) {
            const ReturnedRecipients r = returnedRecipients(message, checkOriginalTo);
            QCOMPARE(r.deliveryReport, report);
            QCOMPARE(addresses(r), expected);
        }
    }

    void subjectRulesInOrder_data() {
        QTest::addColumn<QString>("subject");
        QTest::addColumn<int>("rule");
        QTest::newRow("returned mail: user unknown") << "Returned mail: User unknown" << 2;
        QTest::newRow("mail delivery failed") << "Mail delivery failed" << 1;
        QTest::newRow("ordinary") << "Minutes of the December meeting" << 0;
        QTest::newRow("not delivered") << "Your message was NOT delivered" << 3;
        QTest::newRow("warning invalid address") << "Warning: invalid address" << 4;
        QTest::newRow("no such user") << "No such user here" << 5;
        QTest::newRow("undeliverable:") << "Undeliverable: news" << 5;
        QTest::newRow("unsent") << "Unsent: returned to sender" << 6;
        QTest::newRow("unknown recipient") << "Unknown recipient" << 7;
        QTest::newRow("non-delivery") << "Non-delivery notification: news" << 8;
        QTest::newRow("listed subject") << "Bounced: December news" << 9;
        QTest::newRow("mail alone") << "Mail from the office" << 0;
    }
    void subjectRulesInOrder() {
        QFETCH(QString, subject);
        QFETCH(int, rule);
        QCOMPARE(returnedMailRule(subject, {QStringLiteral("bounced:")}), rule);
    }

    void subjectsFileRoundTrip() {
        QTemporaryDir dir;
        const QString path = dir.filePath(kSubjectsFileName);
        CSubjects s;
        QVERIFY(s.loadSubjects(path)); // missing file: empty list
        QCOMPARE(s.count(), 0);
        s.setSubjects({QStringLiteral("Bounced:"), QStringLiteral("  "), QStringLiteral("Rejected\r\nitem")});
        QVERIFY(s.saveSubjects(path));
        CSubjects t;
        QVERIFY(t.loadSubjects(path));
        QCOMPARE(t.count(), 2);
        QCOMPARE(t.GetSubject(0), QStringLiteral("Bounced:"));
        QCOMPARE(t.GetSubject(1), QStringLiteral("Rejecteditem"));
        QCOMPARE(t.GetSubject(2), QString());
    }

    void phrasesMatchWholeWords() {
        QVERIFY(phraseMatches(QStringLiteral("please remove me"), QStringLiteral("remove")));
        QVERIFY(phraseMatches(QStringLiteral("REMOVE"), QStringLiteral("remove")));
        QVERIFY(phraseMatches(QStringLiteral("Subscribe me please"), QStringLiteral("subscribe me")));
        QVERIFY(!phraseMatches(QStringLiteral("you removed me"), QStringLiteral("remove")));
        QVERIFY(!phraseMatches(QStringLiteral("remover"), QStringLiteral("remove")));
        // Only the first occurrence counts.
        QVERIFY(!phraseMatches(QStringLiteral("removed, remove"), QStringLiteral("remove")));
        QVERIFY(!phraseMatches(QStringLiteral("anything"), QString()));
        QCOMPARE(firstMatchingPhrase(QStringLiteral("please unsubscribe me"),
                                     {QStringLiteral("subscribe"), QStringLiteral("unsubscribe")}),
                 QStringLiteral("unsubscribe"));
        QCOMPARE(firstMatchingPhrase(QStringLiteral("hello"), {}), QString());
    }

    void toLineAndOriginalRecipient() {
        // The first "To: " holds no address; a later one (not a Reply-To) does.
        const QString message = QStringLiteral(
            "From: postmaster@x.example\r\nSubject: Mail delivery failed\r\n\r\nTo: the list manager\r\n"
            "Reply-To: news@ours.example\r\n\r\nTo: Ann Lee <ann.lee@target.example>\r\n");
        ReturnedRecipients off = returnedRecipients(message, false);
        QVERIFY(off.addresses.isEmpty());
        QCOMPARE(off.log, QStringList{QStringLiteral("P: Returned Message Recipient... < To: >")});
        ReturnedRecipients on = returnedRecipients(message, true);
        QCOMPARE(addresses(on), QStringList{QStringLiteral("ann.lee@target.example")});
        QCOMPARE(on.addresses[0].firstName, QStringLiteral("Ann"));
        QCOMPARE(on.addresses[0].lastName, QStringLiteral("Lee"));
        QCOMPARE(on.log.last(),
                 QStringLiteral("P: Original Message Recipient... < To: ann.lee@target.example>"));
        // The message's own header To: is not the body's.
        QVERIFY(returnedRecipients(QStringLiteral("To: a@b.example\r\n\r\nno lines here\r\n"), true)
                    .addresses.isEmpty());
    }

    void hostileStructureStaysBounded() {
        // Nesting far deeper than any real report, and a report without a status part.
        QString nested;
        for (int i = 0; i < 50; ++i)
            nested +=
                QStringLiteral("Content-Type: multipart/mixed; boundary=\"b%1\"\r\n\r\n--b%1\r\n").arg(i);
        QVERIFY(returnedRecipients(nested, true).addresses.isEmpty());
        const QString bare = QStringLiteral(
            "Content-Type: multipart/report; report-type=delivery-status; boundary=x\r\n\r\n--x\r\n"
            "Content-Type: text/plain\r\n\r\nTo: news@ours.example\r\n--x--\r\n");
        const ReturnedRecipients r = returnedRecipients(bare, true);
        QVERIFY(r.deliveryReport);
        QVERIFY(r.addresses.isEmpty());
    }

    void encodedSubjects() {
        QCOMPARE(decodedHeaderValue(QStringLiteral("=?iso-8859-1?q?Mail_delivery_f=E4iled?=")),
                 QStringLiteral("Mail delivery f\u00e4iled"));
        QCOMPARE(decodedHeaderValue(QStringLiteral("=?UTF-8?B?VW5kZWxpdmVyYWJsZTo=?= =?UTF-8?Q?_news?=")),
                 QStringLiteral("Undeliverable: news"));
        QCOMPARE(decodedHeaderValue(QStringLiteral("plain =?x")), QStringLiteral("plain =?x"));
    }
};

QTEST_GUILESS_MAIN(TestReturnedMail)
#include "tst_returnedmail.moc"
