// The relay session against a scripted server: counting and flagging, refusals, pauses,
// timed blocks, stop, time-outs, a dropped connection, block mode and the log; files that
// cannot be written before or during a send, a refused sender and a silent server.

#include "support/RelayFixture.h"

#include <QLockFile>
#include <QSignalSpy>
#include <QTest>
#include <unistd.h>

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

// SQLite result codes the storage layer's write fault hands back.
constexpr int kSqliteReadOnly = 8;
constexpr int kSqliteFull = 13;

// Another connection holding a file's write lock, as a second program would.
std::unique_ptr<jet::Database> holdWriteLock(const QString& file) {
    auto db = jet::Database::open(file);
    db->beginTransaction();
    return db;
}

// Read-only for real where permissions apply; as root (they do not) the storage layer
// refuses the writes as a read-only file would.
void makeReadOnly(const QString& file) {
    QFile::setPermissions(file, QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther);
    if (::geteuid() == 0)
        jet::setWriteFaultForTesting([file](const QString& f) { return f == file ? kSqliteReadOnly : 0; });
}

// Short lock waits and no write faults for one test.
struct StorageGuard {
    StorageGuard() { jet::setBusyTimeout(200); }
    ~StorageGuard() {
        jet::setBusyTimeout(5000);
        jet::setWriteFaultForTesting({});
    }
};

QByteArray fileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
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

    // Nothing is sent, and nothing written into a log another send may be writing, when a
    // file this send must write cannot be written or the list is being sent already.
    void refusedBeforeConnecting_data() {
        QTest::addColumn<QString>("cause");
        QTest::addColumn<QString>("file"); // named in the message
        QTest::newRow("read-only list") << "read-only list"
                                        << "AddressLists/Members.mdb";
        QTest::newRow("locked list") << "locked list"
                                     << "AddressLists/Members.mdb";
        QTest::newRow("read-only system database") << "read-only sdr"
                                                   << "system/Sendora.sdr";
        QTest::newRow("locked system database") << "locked sdr"
                                                << "system/Sendora.sdr";
        QTest::newRow("send log not writable") << "log"
                                               << "sendlog.log";
        QTest::newRow("list being sent") << "in use"
                                         << "";
    }
    void refusedBeforeConnecting() {
        QFETCH(QString, cause);
        QFETCH(QString, file);
        StorageGuard storage;
        RelayFixture f({"a@x.org", "b@x.org"});
        const QString list = f.listFile("Members");
        const QString log = f.app.path("sendlog.log");
        std::unique_ptr<jet::Database> other;
        QLockFile otherSend(list + ".sending");
        if (cause == "read-only list") makeReadOnly(list);
        if (cause == "locked list") other = holdWriteLock(list);
        if (cause == "read-only sdr") makeReadOnly(f.sdr());
        if (cause == "locked sdr") other = holdWriteLock(f.sdr());
        if (cause == "log") QVERIFY(QDir().mkpath(log));
        if (cause == "in use") {
            QVERIFY(otherSend.tryLock(0));
            QFile running(log);
            QVERIFY(running.open(QIODevice::WriteOnly));
            running.write("P: the running send's last line\r\n");
        }
        const QByteArray logBefore = fileBytes(log);

        RelaySend mailing(*f.app.ctx, f.row());
        mailing.transportFactory = f.server.factory();
        QVERIFY(!f.runToEnd(mailing, 5000));
        QCOMPARE(f.server.connectionCount(), 0);
        QCOMPARE(fileBytes(log), logBefore);
        QCOMPARE(f.sentOf("Members", "a@x.org"), QString());
        const QStringList shown = f.app.ui.transcript();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(mailing.storageFailed(), !file.isEmpty());
        if (file.isEmpty()) {
            QVERIFY2(shown.first().contains("is being sent by another mailing"), qPrintable(shown.first()));
            return;
        }
        QVERIFY2(shown.first().startsWith("message|exclamation|OK|Mailing Not Started|The mailing cannot "
                                          "start: Sendora cannot write to\r\n" +
                                          f.app.path(file)),
                 qPrintable(shown.first()));
        QVERIFY2(shown.first().contains(cause.startsWith("locked") ? "locked by another program"
                                        : cause == "log"           ? "directory"
                                                                   : "read-only"),
                 qPrintable(shown.first()));
        // The next send, with the file writable again, is not held up by this one.
        other.reset();
        jet::setWriteFaultForTesting({});
        QFile::setPermissions(list, QFile::permissions(list) | QFileDevice::WriteOwner);
        QFile::setPermissions(f.sdr(), QFile::permissions(f.sdr()) | QFileDevice::WriteOwner);
        QDir(log).removeRecursively();
        f.server.setScript(RelayFixture::greeting() + RelayFixture::accept("a@x.org") +
                           RelayFixture::accept("b@x.org") + RelayFixture::quit());
        RelaySend again(*f.app.ctx, f.row());
        again.transportFactory = f.server.factory();
        QVERIFY(f.runToEnd(again));
        QCOMPARE(f.sentOf("Members", "b@x.org"), QStringLiteral("SENT"));
    }

    // A flag or count that cannot be committed, after waiting out a lock, stops the mailing at
    // once: at most the message in flight is delivered without its record.
    void failedRecordStopsTheMailing_data() {
        QTest::addColumn<QString>("cause");
        QTest::newRow("list locked mid-send") << "locked list";
        QTest::newRow("disk full under the list") << "full list";
        QTest::newRow("system database locked at the end") << "locked sdr";
        QTest::newRow("disk full under the system database") << "full sdr";
    }
    void failedRecordStopsTheMailing() {
        QFETCH(QString, cause);
        StorageGuard storage;
        RelayFixture f({"a@x.org", "b@x.org", "c@x.org"});
        const bool list = cause.endsWith("list");
        const QString file = list ? f.listFile("Members") : f.sdr();
        f.server.setScript(RelayFixture::greeting() + RelayFixture::accept("a@x.org") +
                           RelayFixture::accept("b@x.org") +
                           (list ? QStringList() : RelayFixture::accept("c@x.org")) + RelayFixture::quit());
        std::unique_ptr<jet::Database> other;
        bool full = false;
        jet::setWriteFaultForTesting([&](const QString& f2) { return full && f2 == file ? kSqliteFull : 0; });
        RelaySend mailing(*f.app.ctx, f.row());
        mailing.transportFactory = f.server.factory();
        // The fault starts after the first message (list) or after the last one (counts).
        mailing.onSessionCreated = [&](SMTPSocket& s) {
            QObject::connect(&s, &SMTPSocket::CounterUpdate, &s, [&, list](qint32 passed, qint32) {
                if (passed != (list ? 1 : 3)) return;
                if (cause.startsWith("locked"))
                    other = holdWriteLock(file);
                else
                    full = true;
            });
        };
        QVERIFY(!f.runToEnd(mailing));
        other.reset();
        full = false;
        QVERIFY(mailing.storageFailed());
        QCOMPARE(f.server.messages().size(), list ? 2 : 3);
        QCOMPARE(f.sentOf("Members", "a@x.org"), QStringLiteral("SENT"));
        QCOMPARE(f.sentOf("Members", "b@x.org"), list ? QString() : QStringLiteral("SENT"));
        QCOMPARE(f.sentOf("Members", "c@x.org"), list ? QString() : QStringLiteral("SENT"));
        const QString reason = cause.startsWith("locked") ? "locked by another program" : "disk is full";
        const QStringList shown = f.app.ui.messageTexts();
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown.first().contains(file) && shown.first().contains(reason), qPrintable(shown.first()));
        // The failure is in the log, in front of the end block of an aborted mailing.
        const QStringList log = f.sendLog();
        const qsizetype line = log.indexOf(QRegularExpression("^P: The .*" + reason + ".*"));
        QVERIFY2(line > 0, qPrintable(log.join('\n')));
        QCOMPARE(log.value(line + 1), "P: Mailing Aborted...Sending Quit");
        QCOMPARE(log.value(line + 5), "*** MAILING ENDS HERE ");
        // Counts that could be stored were; counts that could not leave the row untouched.
        QCOMPARE(f.mailEvent("SentCount").toInt(), list ? 2 : 0);
        QCOMPARE(f.mailEvent("DateSent").toString().isEmpty(), !list);
    }

    // The sender refused at MAIL FROM (or authentication required) is no recipient's fault.
    void senderRefusedStopsTheMailing_data() {
        QTest::addColumn<QString>("reply");
        QTest::newRow("550") << "550 5.7.1 sender rejected";
        QTest::newRow("530") << "530 5.7.0 Authentication required";
    }
    void senderRefusedStopsTheMailing() {
        QFETCH(QString, reply);
        RelayFixture f({"a@x.org", "b@x.org", "c@x.org"});
        f.server.setScript(RelayFixture::greeting() +
                           QStringList{"C: MAIL FROM:<news@example.org>", "S: " + reply} +
                           RelayFixture::quit());
        RelaySend mailing(*f.app.ctx, f.row());
        mailing.transportFactory = f.server.factory();
        QVERIFY(!f.runToEnd(mailing));
        QCOMPARE(f.server.mismatches(), QStringList());
        QCOMPARE(mailing.session()->failed(), 0);
        QCOMPARE(mailing.session()->passed(), 0);
        QVERIFY(!mailing.storageFailed());
        const QStringList shown = f.app.ui.messageTexts();
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown.first().contains(reply), qPrintable(shown.first()));
        QVERIFY(
            f.sendLog().contains("P: The mail server refused the sender address news@example.org: " + reply));
        QCOMPARE(f.mailEvent("SentCountFailed").toInt(), 0);
    }

    // Without a person to ask, a server that never answers the final dot is waited for a
    // bounded number of times.
    void silentServerIsWaitedForBoundedTimes() {
        RelayFixture f({"a@x.org", "b@x.org"});
        f.server.setScript(RelayFixture::greeting() +
                           QStringList{"C: MAIL FROM:<news@example.org>", "S: 250 ok", "C: RCPT TO:<a@x.org>",
                                       "S: 250 ok", "C: DATA", "S: 354 go", "DATA"});
        f.app.ui.defaultAnswer = Answer::OK;
        RelaySend mailing(*f.app.ctx, f.row());
        mailing.transportFactory = f.server.factory();
        mailing.commandTimeout = 1;
        mailing.timeoutRetries = 2;
        QElapsedTimer clock;
        clock.start();
        QVERIFY(!f.runToEnd(mailing, 15000));
        QVERIFY(clock.elapsed() < 10000);
        QCOMPARE(f.app.ui.transcript().size(), 2);
        const QStringList log = f.sendLog();
        QCOMPARE(log.count("P: Server Timeout."), 3);
        QVERIFY(log.contains("P: No response after 3 waits of 1 seconds; stopping the mailing."));
        QVERIFY(log.contains("*** MAILING ENDS HERE "));
        QCOMPARE(f.sentOf("Members", "a@x.org"), QString());
    }

    // Closing mid-send (or a signal) ends like Stop even when the server stalls: the counts
    // so far are stored and the log ends its section.
    void stopAndFinishEndsAStalledSend() {
        RelayFixture f({"a@x.org", "b@x.org"});
        f.server.setScript(RelayFixture::greeting() + RelayFixture::accept("a@x.org") +
                           QStringList{"C: MAIL FROM:*"});
        RelaySend mailing(*f.app.ctx, f.row());
        mailing.transportFactory = f.server.factory();
        QVERIFY(mailing.start());
        QTRY_COMPARE(mailing.session()->passed(), 1);
        QSignalSpy finished(&mailing, &RelaySend::finished);
        QVERIFY(!mailing.stopAndFinish(200));
        QCOMPARE(finished.size(), 1);
        const QStringList log = f.sendLog();
        QVERIFY(log.indexOf("P: Stopping") < log.indexOf("P: Mailing Aborted...Sending Quit"));
        QVERIFY(log.contains("*** MAILING ENDS HERE "));
        QCOMPARE(f.mailEvent("SentCount").toInt(), 1);
        QCOMPARE(f.sentOf("Members", "a@x.org"), QStringLiteral("SENT"));
    }
};

QTEST_GUILESS_MAIN(TestSMTPSocket)
#include "tst_smtpsocket.moc"
