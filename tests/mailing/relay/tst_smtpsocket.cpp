// The relay session against a scripted server: counting and flagging, refusals, pauses,
// timed blocks, stop, time-outs, a dropped connection, block mode and the log.

#include "support/RelayFixture.h"

#include <QSignalSpy>
#include <QTest>

using namespace sendora;
using sendora::test::RelayFixture;

namespace {

QStringList rows(SMTPSocket* s, QList<QPair<QString, SMTPSocket::Mark>>* out) {
    QObject::connect(s, &SMTPSocket::AddMailed, s, [out](const QString& text, SMTPSocket::Mark mark) {
        out->append({text, mark});
    });
    return {};
}

bool logHas(const QStringList& log, const QString& line) {
    return log.contains(line);
}

} // namespace

class TestSMTPSocket : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void sendsCountsAndFlags() {
        RelayFixture f({"a@x.org", "b@x.org", "c@x.org"});
        f.server.setScript(RelayFixture::greeting() + RelayFixture::accept("a@x.org") +
                           RelayFixture::accept("b@x.org") + RelayFixture::accept("c@x.org") +
                           RelayFixture::quit());
        RelaySend mailing(*f.app.ctx, f.row());
        mailing.transportFactory = f.server.factory();
        QVERIFY(f.runToEnd(mailing));
        QCOMPARE(f.server.mismatches(), QStringList());
        QCOMPARE(mailing.session()->passed(), 3);
        QCOMPARE(mailing.session()->failed(), 0);
        QCOMPARE(mailing.session()->taken(), 3);
        for (const char* a : {"a@x.org", "b@x.org", "c@x.org"})
            QCOMPARE(f.sentOf("Members", a), QStringLiteral("SENT"));
        QCOMPARE(f.mailEvent("SentCount").toInt(), 3);
        QCOMPARE(f.mailEvent("LastCount").toInt(), 3);
        QCOMPARE(f.mailEvent("DateSent").toString(), mailing.session()->dateMailed());
        QVERIFY(f.server.messages().first().contains("<p>Hello F0</p>"));
        const QStringList log = f.sendLog();
        QVERIFY(logHas(log, "P: Opening Addresslist..."));
        QVERIFY(logHas(log, "P: Attempting to connect to mail.test on port 25..."));
        QVERIFY(logHas(log, "C: RCPT TO:<b@x.org>"));
        QVERIFY(logHas(log, "C: <CrLf>.<CrLf>"));
        QVERIFY(logHas(log, "S: 250 queued"));
        QVERIFY(logHas(log, "P: Mailing Complete...Sending QUIT"));
        QVERIFY(logHas(log, "*** Total Passed:      3"));
    }

    void refusedRecipientIsCountedAndNotFlagged() {
        RelayFixture f({"a@x.org", "b@x.org"});
        f.server.setScript(RelayFixture::greeting() + RelayFixture::accept("a@x.org") +
                           QStringList{"C: MAIL FROM:<news@example.org>", "S: 250 ok", "C: RCPT TO:<b@x.org>",
                                       "S: 550 no such user", "C: RSET", "S: 250 reset"} +
                           RelayFixture::quit());
        RelaySend mailing(*f.app.ctx, f.row());
        mailing.transportFactory = f.server.factory();
        QVERIFY(f.runToEnd(mailing));
        QCOMPARE(mailing.session()->passed(), 1);
        QCOMPARE(mailing.session()->failed(), 1);
        QCOMPARE(f.sentOf("Members", "a@x.org"), QStringLiteral("SENT"));
        QCOMPARE(f.sentOf("Members", "b@x.org"), QString());
        QCOMPARE(f.mailEvent("SentCountFailed").toInt(), 1);
    }

    void invalidAddressesAreSkippedAndCounted() {
        RelayFixture f({"a@x.org", "not-an-address", "c@x.org"});
        f.server.setScript(RelayFixture::greeting() + RelayFixture::accept("a@x.org") +
                           RelayFixture::accept("c@x.org") + RelayFixture::quit());
        RelaySend mailing(*f.app.ctx, f.row());
        mailing.transportFactory = f.server.factory();
        QVERIFY(f.runToEnd(mailing));
        QCOMPARE(mailing.session()->taken(), 3);
        QCOMPARE(mailing.session()->passed(), 2);
        QVERIFY(f.sendLog().contains("P: Invalid email address not-an-address"));
    }

    void timedBlocksPauseAfterEachBlock() {
        RelayFixture f({"a@x.org", "b@x.org", "c@x.org", "d@x.org", "e@x.org"});
        f.execute("UPDATE Profile SET bTimedBlocks = -1, TimedBlockSize = 2, TimeIncrement = 1");
        const QStringList q = {"C: QUIT", "S: 221 bye"};
        f.server.addConnectionScript(RelayFixture::greeting() + RelayFixture::accept("a@x.org") +
                                     RelayFixture::accept("b@x.org") + q);
        f.server.addConnectionScript(RelayFixture::greeting() + RelayFixture::accept("c@x.org") +
                                     RelayFixture::accept("d@x.org") + q);
        f.server.addConnectionScript(RelayFixture::greeting() + RelayFixture::accept("e@x.org") + q);
        RelaySend mailing(*f.app.ctx, f.row());
        mailing.transportFactory = f.server.factory();
        bool completed = false;
        QEventLoop loop;
        QObject::connect(&mailing, &RelaySend::finished, &loop, [&](bool c) {
            completed = c;
            loop.quit();
        });
        QVERIFY(mailing.start());
        mailing.session()->blockPauseTickMs = 20;
        QTimer::singleShot(20000, &loop, &QEventLoop::quit);
        loop.exec();
        QVERIFY(completed);
        QCOMPARE(f.server.connectionCount(), 3);
        QCOMPARE(mailing.session()->passed(), 5);
        QCOMPARE(f.sendLog().count("P: Mailing is pausing after the block of 2 was sent. Sending Quit."), 2);
    }

    void pauseThenResumeReconnects() {
        RelayFixture f({"a@x.org", "b@x.org"});
        f.server.addConnectionScript(RelayFixture::greeting() + RelayFixture::accept("a@x.org") +
                                     RelayFixture::quit());
        f.server.addConnectionScript(RelayFixture::greeting() + RelayFixture::accept("b@x.org") +
                                     RelayFixture::quit());
        RelaySend mailing(*f.app.ctx, f.row());
        mailing.transportFactory = f.server.factory();
        QVERIFY(mailing.start());
        SMTPSocket* s = mailing.session();
        // Pause as soon as the first message is accepted.
        QObject::connect(s, &SMTPSocket::CounterUpdate, s, [s](qint32 passed, qint32) {
            if (passed == 1) s->setPause(true);
        });
        QTRY_COMPARE(s->phase(), SMTPSocket::Phase::Paused);
        QTRY_VERIFY(f.sendLog().contains("P: Pausing"));
        QSignalSpy finished(&mailing, &RelaySend::finished);
        s->setPause(false);
        QVERIFY(finished.wait(10000));
        QCOMPARE(finished.first().first().toBool(), true);
        QCOMPARE(s->passed(), 2);
        QVERIFY(f.sendLog().contains("P: Resuming"));
        QCOMPARE(f.server.connectionCount(), 2);
    }

    void stopWhilePausedAborts() {
        RelayFixture f({"a@x.org", "b@x.org"});
        f.server.setScript(RelayFixture::greeting() + RelayFixture::accept("a@x.org") + RelayFixture::quit());
        RelaySend mailing(*f.app.ctx, f.row());
        mailing.transportFactory = f.server.factory();
        QVERIFY(mailing.start());
        SMTPSocket* s = mailing.session();
        QList<QPair<QString, SMTPSocket::Mark>> shown;
        rows(s, &shown);
        QObject::connect(s, &SMTPSocket::CounterUpdate, s, [s](qint32, qint32) { s->setPause(true); });
        QTRY_COMPARE(s->phase(), SMTPSocket::Phase::Paused);
        QSignalSpy finished(&mailing, &RelaySend::finished);
        s->setStop();
        QVERIFY(finished.count() == 1 || finished.wait(5000));
        QCOMPARE(finished.first().first().toBool(), false);
        const QStringList log = f.sendLog();
        QVERIFY(log.indexOf("P: Stopping") < log.indexOf("P: Mailing Aborted...Sending Quit"));
        QVERIFY(log.contains("*** MAILING ENDS HERE "));
        QCOMPARE(shown.last().first, QStringLiteral("***** MAILING ABORTED *****"));
        QCOMPARE(f.sentOf("Members", "b@x.org"), QString());
        QCOMPARE(f.mailEvent("SentCount").toInt(), 1);
    }

    void droppedConnectionAborts() {
        RelayFixture f({"a@x.org", "b@x.org"});
        f.server.setScript(RelayFixture::greeting() + RelayFixture::accept("a@x.org") +
                           QStringList{"C: MAIL FROM:<news@example.org>", "CLOSE"});
        RelaySend mailing(*f.app.ctx, f.row());
        mailing.transportFactory = f.server.factory();
        QVERIFY(!f.runToEnd(mailing));
        QCOMPARE(mailing.session()->passed(), 1);
        QVERIFY(mailing.session()->aborted());
        QVERIFY(f.sendLog().contains("P: Peer closing connection"));
        QCOMPARE(f.sentOf("Members", "b@x.org"), QString());
    }

    void silentServerAsksAndCancelAborts() {
        RelayFixture f({"a@x.org"});
        f.server.setScript(RelayFixture::greeting() + QStringList{"C: MAIL FROM:<news@example.org>"});
        f.app.ui.answers = {Answer::Cancel};
        RelaySend mailing(*f.app.ctx, f.row());
        mailing.transportFactory = f.server.factory();
        mailing.commandTimeout = 1;
        QSignalSpy finished(&mailing, &RelaySend::finished);
        QVERIFY(mailing.start());
        QVERIFY(finished.wait(10000));
        QCOMPARE(finished.first().first().toBool(), false);
        const QStringList t = f.app.ui.transcript();
        QCOMPARE(t.size(), 1);
        QVERIFY2(t.first().startsWith(
                     "message|information|OKCancel|No response from Mail Server|There has not been a "
                     "response from your server in 1 seconds.\r\nPress the OK button to continue or "
                     "press the Cancel button\r\nto cancel this mailing.\r\n\r\nThis situation could "
                     "be caused by:\r\n1) A lost network or modem connection\r\n"),
                 qPrintable(t.first()));
        QVERIFY(t.first().endsWith("your mail in smaller blocks at timed intervals."));
        const QStringList log = f.sendLog();
        QVERIFY(log.contains("P: Server Timeout."));
        QVERIFY(log.contains("P: Last data transmitted : MAIL FROM:<news@example.org>"));
    }

    void invalidSenderStopsBeforeConnecting() {
        RelayFixture f({"a@x.org"});
        f.execute("UPDATE Profile SET [From] = \"not an address\"");
        RelaySend mailing(*f.app.ctx, f.row());
        mailing.transportFactory = f.server.factory();
        QVERIFY(!f.runToEnd(mailing));
        QCOMPARE(f.server.connectionCount(), 0);
        QCOMPARE(f.app.ui.transcript(),
                 QStringList{
                     "message|exclamation|OK|Invalid 'From' Address|The 'From:' address for this mailing is "
                     "invalid. \r\n\r\nYou can correct this by opening the Mail Delivery Options for this "
                     "mailing and\nmodifying this address."});
        QVERIFY(f.mailEvent("DateSent").toString().isEmpty());
    }

    void placeholderServerIsRefused() {
        RelayFixture f({"a@x.org"});
        f.execute("UPDATE Profile SET SmtpServer = \"SMTP.yourdomain.com\"");
        RelaySend mailing(*f.app.ctx, f.row());
        QVERIFY(!mailing.start());
        QCOMPARE(
            f.app.ui.messageTexts(),
            QStringList{"Please enter the name of your mail server in the delivery options (Step 7 of 7)."});
    }

    void passwordNeverReachesTheLog() {
        RelayFixture f({"a@x.org"});
        f.execute("UPDATE Profile SET auth = -1, username = \"mailer\", [password] = \"s3cret-pw\"");
        f.server.setLoopback(true);
        f.server.setScript(QStringList{"S: 220 fake ESMTP", "C: EHLO example.org", "S: 250-fake",
                                       "S: 250 AUTH LOGIN PLAIN", "C: AUTH LOGIN", "S: 334 VXNlcm5hbWU6",
                                       "C: bWFpbGVy", "S: 334 UGFzc3dvcmQ6", "C: czNjcmV0LXB3",
                                       "S: 235 welcome"} +
                           RelayFixture::accept("a@x.org") + RelayFixture::quit());
        RelaySend mailing(*f.app.ctx, f.row());
        mailing.transportFactory = f.server.factory();
        QVERIFY(f.runToEnd(mailing));
        const QStringList log = f.sendLog();
        QVERIFY(log.contains("C: USER [Sending username, mailer]"));
        QVERIFY(log.contains("C: PASS [Sending password, ********]"));
        QVERIFY(!log.join('\n').contains("s3cret-pw"));
        QVERIFY(!log.join('\n').contains("czNjcmV0LXB3"));
    }

    void blockModeSendsToSeveralAtOnce() {
        RelayFixture f({"a@x.org", "b@x.org", "c@x.org"}, "<p>Same for everyone</p>");
        f.execute("UPDATE Message SET GroupAddress = \"Friends of Spring\"");
        f.app.ctx->settings.groupMailBlockSize = 2;
        f.server.setScript(RelayFixture::greeting() +
                           QStringList{"C: MAIL FROM:<news@example.org>", "S: 250 ok", "C: RCPT TO:<a@x.org>",
                                       "S: 250 ok", "C: RCPT TO:<b@x.org>", "S: 550 gone", "C: DATA",
                                       "S: 354 go", "DATA", "S: 250 queued"} +
                           RelayFixture::accept("c@x.org") + RelayFixture::quit());
        RelaySend mailing(*f.app.ctx, f.row());
        mailing.transportFactory = f.server.factory();
        QVERIFY(f.runToEnd(mailing));
        QCOMPARE(f.server.mismatches(), QStringList());
        QCOMPARE(mailing.session()->passed(), 2);
        QCOMPARE(mailing.session()->failed(), 1);
        QVERIFY(f.server.messages().first().contains("To: \"Friends of Spring \"\r\n"));
        QCOMPARE(f.sentOf("Members", "b@x.org"), QString());
        QCOMPARE(f.sentOf("Members", "c@x.org"), QStringLiteral("SENT"));
    }
};

QTEST_GUILESS_MAIN(TestSMTPSocket)
#include "tst_smtpsocket.moc"
