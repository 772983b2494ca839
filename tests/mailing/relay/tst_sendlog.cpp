// sendlog.log: the header and statistics blocks, line cleaning and the size limit.

#include "core/ErrorLog.h"
#include "mailing/relay/SendLog.h"
#include "support/TestApp.h"

#include <QFile>
#include <QFileInfo>
#include <QTest>

using namespace sendora;
using sendora::test::TestApp;

namespace {

QStringList logLines(const TestApp& app) {
    QFile f(app.ctx->paths.app + "sendlog.log");
    if (!f.open(QIODevice::ReadOnly)) return {};
    QStringList lines = QString::fromUtf8(f.readAll()).split("\r\n");
    if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
    return lines;
}

} // namespace

class TestSendLog : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void blocksAroundAMailing() {
        TestApp app;
        QStringList shown;
        {
            SendLog log(*app.ctx);
            log.onLine = [&](const QString& l) { shown << l; };
            const QDateTime start(QDate(2026, 12, 5), QTime(13, 5, 0));
            log.now = [start] { return start; };
            log.facts.group = "Spring";
            log.facts.message = "Hello";
            log.facts.list = "Members";
            log.facts.deliveryOptions = "Default Delivery Options";
            log.facts.server = "relay.example.org";
            log.facts.port = 587;
            log.facts.sender = "news@example.org";
            log.LogSend("P: Opening Addresslist...\r\n", true, false);
            log.LogSend("C: MAIL FROM:<news@example.org>");
            log.facts.start = start;
            log.facts.end = start.addSecs(4);
            log.facts.taken = 10;
            log.facts.passed = 9;
            log.facts.failed = 1;
            log.facts.messageSize = 2000;
            log.LogSend("P: Mailing Complete...Sending QUIT", false, true);
        }
        const QStringList lines = logLines(app);
        const QString stars(59, '*');
        QCOMPARE(lines.size(), 28 + 3 + 21);
        QCOMPARE(lines.mid(0, 8),
                 (QStringList{"", "", stars, stars, stars, "*** MAILING STARTS HERE ", stars, stars}));
        QVERIFY(lines[8].startsWith("*** Date:              "));
        QVERIFY(lines[9].startsWith("*** Time:              "));
        QCOMPARE(lines.mid(12, 4),
                 (QStringList{"*** Group:             Spring", "*** Message:           Hello",
                              "*** Mailing List:      Members",
                              "*** Delivery Options:  Default Delivery Options"}));
        QCOMPARE(lines.mid(18, 3),
                 (QStringList{"*** SMTP Server:       relay.example.org", "*** SMTP Port:         587",
                              "*** From Address:      news@example.org"}));
        QCOMPARE(lines[23], "*** Product Version:   " + GetVersionText(true));
        QCOMPARE(lines[27], QString());
        QCOMPARE(lines[28], QStringLiteral("P: Opening Addresslist..."));
        QCOMPARE(lines[29], QStringLiteral("C: MAIL FROM:<news@example.org>"));
        QCOMPARE(lines[30], QStringLiteral("P: Mailing Complete...Sending QUIT"));
        QCOMPARE(lines[34], QStringLiteral("*** MAILING ENDS HERE "));
        QCOMPARE(lines.mid(41, 3), (QStringList{"*** Total Sent:        10", "*** Total Passed:      9",
                                                "*** Total Failed:      1"}));
        QCOMPARE(lines.mid(46, 3),
                 (QStringList{"*** Message Size:      2000 bytes", "*** Messages / Sec:    2.50 (Approx)",
                              "*** bytes / Sec:       5000.00 (Approx)"}));
        QCOMPARE(lines.last(), stars);
        QCOMPARE(shown, (QStringList{"P: Opening Addresslist...", "C: MAIL FROM:<news@example.org>",
                                     "P: Mailing Complete...Sending QUIT"}));
    }

    void screenRows() {
        TestApp app;
        SendLog log(*app.ctx);
        const QDateTime t(QDate(2026, 1, 1), QTime(10, 0));
        log.facts.start = t;
        log.facts.end = t.addSecs(8);
        log.facts.taken = 4;
        log.facts.passed = 4;
        log.facts.messageSize = 100;
        QCOMPARE(log.statisticsRows(),
                 (QStringList{"Mailing Statistics", "Total Time:        8 Seconds", "Total Sent:        4",
                              "Total Passed:      4", "Total Failed:      0", "Message Size:      100 bytes",
                              "Messages / Sec:    0.50 (Approx)", "bytes / Sec:       50.00 (Approx)"}));
    }

    void aFullLogIsKeptAsTheSecondFileAtTheNextMailing() {
        TestApp app;
        const QString path = app.ctx->paths.app + "sendlog.log";
        auto write = [](const QString& file, const QByteArray& bytes) {
            QFile f(file);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(bytes);
        };
        write(path + ".1", "an older second file\r\n");
        write(path, QByteArray(kLogSizeLimit - 100, 'x') + "\r\n");
        auto mailing = [&](const QString& name, int lines) {
            SendLog log(*app.ctx);
            log.LogSend("P: Opening Addresslist... " + name, true, false);
            for (int i = 0; i < lines; ++i)
                log.LogSend(QStringLiteral("C: RCPT TO:<%1-%2@example.org>").arg(name).arg(i));
            log.LogSend("P: Mailing Complete...Sending QUIT " + name, false, true);
        };
        // The first mailing starts under the limit and crosses it: its lines all stay together.
        mailing("first", 1000);
        QVERIFY(QFileInfo(path).size() > kLogSizeLimit);
        mailing("second", 3);

        QFile previous(path + ".1");
        QVERIFY(previous.open(QIODevice::ReadOnly));
        const QByteArray old = previous.readAll();
        QVERIFY(old.startsWith("xxxx"));
        QVERIFY(!old.contains("an older second file"));
        QCOMPARE(old.count("*** MAILING STARTS HERE"), 1);
        QCOMPARE(old.count("*** MAILING ENDS HERE"), 1);
        QVERIFY(old.contains("C: RCPT TO:<first-999@example.org>"));
        QVERIFY(!old.contains("second"));

        const QStringList lines = logLines(app);
        QCOMPARE(lines.size(), 28 + 5 + 21);
        QCOMPARE(lines[5], QStringLiteral("*** MAILING STARTS HERE "));
        QCOMPARE(lines[28], QStringLiteral("P: Opening Addresslist... second"));
        QCOMPARE(lines[36], QStringLiteral("*** MAILING ENDS HERE "));
        QVERIFY(!lines.join('\n').contains("first"));
    }

    void dateForTheMailingCentre() {
        QCOMPARE(mailingDateText(QDateTime(QDate(2026, 12, 5), QTime(13, 7))),
                 QStringLiteral("Dec 05 2026  01:07 PM"));
        QCOMPARE(mailingDateText(QDateTime(QDate(2027, 3, 9), QTime(0, 30))),
                 QStringLiteral("Mar 09 2027  12:30 AM"));
    }
};

QTEST_GUILESS_MAIN(TestSendLog)
#include "tst_sendlog.moc"
