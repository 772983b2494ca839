// Whole mailbox sessions: against a scripted server (the exact dialogue, the log, lost and
// stalled connections) and against a real Dovecot POP3 server (the three modes, deletion
// seen by a second session).

#include "PopTestSupport.h"
#include "components/mailsocket/FakeTransport.h"
#include "pop/PopRun.h"
#include "support/DovecotPop.h"

#include <QFile>
#include <QtTest>

using namespace sendora;
using namespace sendora::pop;
using namespace sendora::test;

namespace {

QByteArray corpus(const QString& name) {
    QFile f(QFINDTESTDATA(QStringLiteral("bounces/") + name));
    if (!f.open(QIODevice::ReadOnly)) qFatal("missing corpus file %s", qPrintable(name));
    return f.readAll();
}

const QByteArray kOrdinary =
    "From: Bob Stone <bob@friends.example>\nTo: news@ours.example\nSubject: Lunch on "
    "Friday\n\nSee you there.\nTo: not@a-bounce.example\n";
const QByteArray kRequest =
    "From: \"Cleo Park\" <cleo@readers.example>\nTo: news@ours.example\nSubject: please "
    "remove me\n\nThanks.\n";
const QByteArray kNearMiss =
    "From: dan@readers.example\nTo: news@ours.example\nSubject: you removed me\n\nWhy?\n";

// Server steps that answer TOP n 0 or RETR n with the message (dot-stuffed).
QStringList served(const QByteArray& message, bool headerOnly) {
    QStringList steps{QStringLiteral("S: +OK")};
    for (const QString& line : QString::fromUtf8(message).split(u'\n')) {
        steps << QStringLiteral("S: ") + (line.startsWith(u'.') ? QStringLiteral(".") : QString()) + line;
        if (headerOnly && line.isEmpty()) break;
    }
    // The message's own final line break is not an empty line of it.
    if (!headerOnly && steps.last() == QLatin1String("S: ")) steps.removeLast();
    steps << QStringLiteral("S: .");
    return steps;
}

QStringList login(int count) {
    QStringList s{"S: +OK ready",
                  "C: USER alice",
                  "S: +OK",
                  "C: PASS s3cret",
                  "S: +OK in",
                  "C: STAT",
                  QStringLiteral("S: +OK %1 1234567").arg(count),
                  "C: LIST",
                  QStringLiteral("S: +OK %1 messages").arg(count)};
    for (int i = 1; i <= count; ++i)
        s << QStringLiteral("S: %1 100").arg(i);
    return s << QStringLiteral("S: .");
}

struct Session {
    TestApp app;
    mail::FakeServer server;
    mail::PopClient client;
    std::unique_ptr<PopRun> run;
    QStringList operations;
    std::optional<PopRunResult> result;

    explicit Session(const QStringList& script) {
        app.start();
        server.setScript(script);
        server.setLoopback(true);
        client.setTransportFactory(server.factory());
        run = std::make_unique<PopRun>(*app.ctx, &client);
        QObject::connect(&run->session(), &ProcessEMail::showCurrentOperation,
                         [this](const QString& t) { operations << t; });
        QObject::connect(run.get(), &PopRun::finished, [this](const PopRunResult& r) { result = r; });
    }
    bool go(const PopRunOptions& o, int ms = 10000) {
        run->start({QStringLiteral("Work"), QStringLiteral("alice"), QStringLiteral("s3cret"),
                    QStringLiteral("pop.test"), 110, PopSecurity::None},
                   o);
        return QTest::qWaitFor([this] { return result.has_value(); }, ms);
    }
    QString log() const {
        QFile f(app.ctx->paths.app + kPopLogFileName);
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }
};

PopRunOptions returnedOptions(bool remove) {
    PopRunOptions o;
    o.mode = 1;
    o.bounceRules = true;
    o.deleteProcessed = remove;
    return o;
}

} // namespace

class TestPopSession : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void returnedMailDialogueAndLog() {
        const QByteArray bounce = corpus(QStringLiteral("postfix.eml")),
                         plain = corpus(QStringLiteral("qmail.eml"));
        QStringList script = login(3);
        script << "C: TOP 1 0" << served(bounce, true) << "C: RETR 1" << served(bounce, false);
        script << "C: TOP 2 0" << served(kOrdinary, true);
        script << "C: TOP 3 0" << served(plain, true) << "C: RETR 3" << served(plain, false);
        script << "C: DELE 1"
               << "S: +OK"
               << "C: DELE 3"
               << "S: +OK"
               << "C: QUIT"
               << "S: +OK bye";
        Session s(script);
        QVERIFY(s.go(returnedOptions(true)));
        QVERIFY(s.result->connected);
        QCOMPARE(s.result->messages, 3);
        QCOMPARE(s.result->deleted, 2);
        QCOMPARE(addressesIn(s.result->listPath),
                 (QStringList{"gone@postfix-target.example", "lost@qmail-target.example"}));
        QVERIFY(s.operations.contains(QStringLiteral("Found 3 Messages (1Mb)...Processing")));
        QVERIFY(s.operations.contains(QStringLiteral("Processing Completed. 2 Addresses Found.")));
        const QString log = s.log();
        QVERIFY(log.contains(QStringLiteral("*** MAILING STARTS HERE -- Returned Mail Manager\r\n")));
        QVERIFY(log.contains(
            QStringLiteral("\r\nP: Attempting to Connect to Mailbox...\r\nC: CNCT\r\nS: +OK ready\r\n"
                           "C: USER [Sending username, alice]\r\nS: +OK\r\n"
                           "C: PASS [Sending password, ********]\r\nS: +OK in\r\n")));
        QVERIFY(!log.contains(QStringLiteral("s3cret")));
        QVERIFY(log.contains(
            QStringLiteral("P: Header Information... < Subject: Undelivered Mail Returned to Sender>")));
        QVERIFY(log.contains(QStringLiteral("P: Delivery Status Recipient... < Final-Recipient: "
                                            "gone@postfix-target.example>")));
        QVERIFY(log.contains(
            QStringLiteral("P: Returned Message Recipient... < To: lost@qmail-target.example>")));
        // Message text is not logged, only the commands.
        QVERIFY(log.contains(QStringLiteral("C: RETR 1\r\nP: ")));
        QVERIFY(!log.contains(QStringLiteral("Recipient address rejected")));
        QVERIFY(log.contains(
            QStringLiteral("C: DELE 3\r\nS: +OK\r\nP: Processing Complete...Sending QUIT\r\nC: QUIT\r\n"
                           "S: +OK bye\r\nP: Sending DISCONNECT...\r\n")));
        QVERIFY(log.contains(QStringLiteral("*** Total Retrieved:   3\r\n*** Total Processed:   2\r\n"
                                            "*** Total Deleted:     2\r\n")));
    }

    void phrasesAndImport() {
        // Mode 2: only the whole-word request; mode 3: every sender, the same one once.
        QStringList script = login(3);
        script << "C: TOP 1 0" << served(kRequest, true) << "C: TOP 2 0" << served(kNearMiss, true)
               << "C: TOP 3 0" << served(kRequest, true) << "C: QUIT"
               << "S: +OK";
        Session s(script);
        PopRunOptions o;
        o.mode = 2;
        o.phrases = {QStringLiteral("remove")};
        QVERIFY(s.go(o));
        QCOMPARE(addressesIn(s.result->listPath), QStringList{"cleo@readers.example"});
        QVERIFY(s.log().contains(QStringLiteral("P: Originating Sender... < From: cleo@readers.example>")));

        Session all(script);
        o.mode = 3;
        o.processAll = true;
        o.phrases.clear();
        QVERIFY(all.go(o));
        QCOMPARE(addressesIn(all.result->listPath),
                 (QStringList{"cleo@readers.example", "dan@readers.example"}));
        QCOMPARE(
            scalar(all.result->listPath,
                   QStringLiteral("SELECT FirstName & \"/\" & LastName FROM AddressList WHERE EAddress = "
                                  "\"cleo@readers.example\""))
                .toString(),
            QStringLiteral("Cleo/Park"));
    }

    void lostConnectionKeepsWhatWasCollected() {
        const QByteArray bounce = corpus(QStringLiteral("gmail.eml"));
        QStringList script = login(2);
        script << "C: TOP 1 0" << served(bounce, true) << "C: RETR 1" << served(bounce, false) << "C: TOP 2 0"
               << "CLOSE";
        Session s(script);
        QVERIFY(s.go(returnedOptions(true)));
        QCOMPARE(addressesIn(s.result->listPath), QStringList{"no.such.user@gmail-target.example"});
        QVERIFY(s.app.ui.messageTexts().contains(QStringLiteral("Connection to host 'pop.test' was lost.")));
        // Nothing was marked: the messages stay on the server.
        QCOMPARE(s.result->deleted, 0);
        QVERIFY(s.log().contains(QStringLiteral("P: Connection to host 'pop.test' was lost.")));
    }

    void loginRefusedAndStall() {
        Session refused(
            {"S: +OK ready", "C: USER alice", "S: +OK", "C: PASS s3cret", "S: -ERR no", "C: QUIT", "S: +OK"});
        QVERIFY(refused.go(returnedOptions(false)));
        QVERIFY(!refused.result->connected);
        QVERIFY(refused.operations.contains(QStringLiteral("Password or Username failed, check both.")));
        QVERIFY(refused.log().contains(QStringLiteral("*** MAILING ENDS HERE -- Returned Mail Manager")));

        // A server that stops answering after login ends the session within the timeout.
        QStringList script = login(1);
        script << "C: TOP 1 0";
        Session stalled(script);
        stalled.client.setTimeout(1);
        stalled.run->session().setGuardSeconds(3);
        QVERIFY(stalled.go(returnedOptions(true), 8000));
        QVERIFY(stalled.result->timedOut || stalled.result->connectionLost);
        QVERIFY(stalled.result->listPath.isEmpty());
        QVERIFY(stalled.log().contains(QStringLiteral("P: The connection has timed out...")));
    }

    void heldDeletionKeepsMessages() {
        // The caller could not record the list: no DELE is sent.
        const QByteArray bounce = corpus(QStringLiteral("exim.eml"));
        QStringList script = login(1);
        script << "C: TOP 1 0" << served(bounce, true) << "C: RETR 1" << served(bounce, false) << "C: QUIT"
               << "S: +OK";
        Session s(script);
        s.run->beforeDelete = [](const QString&) { return false; };
        QVERIFY(s.go(returnedOptions(true)));
        QVERIFY(s.result->deletionHeld);
        QCOMPARE(s.result->deleted, 0);
        QVERIFY(!s.log().contains(QStringLiteral("DELE")));
    }

    void dovecot() {
        if (!DovecotPop::available()) {
            if (DovecotPop::mustExist()) QFAIL("dovecot is not installed");
            QSKIP("dovecot is not installed");
        }
        DovecotPop pop;
        QVERIFY2(pop.start(), qPrintable(pop.log()));
        TestApp app;
        app.start();
        const PopAccount account{QStringLiteral("Local"),     pop.userName(), pop.password(),
                                 QStringLiteral("127.0.0.1"), pop.port(),     PopSecurity::IfOffered};
        auto runOnce = [&](const PopRunOptions& o) {
            PopRun run(*app.ctx);
            std::optional<PopRunResult> result;
            QObject::connect(&run, &PopRun::finished, [&](const PopRunResult& r) { result = r; });
            run.start(account, o);
            if (!QTest::qWaitFor([&] { return result.has_value(); }, 20000)) qFatal("session did not end");
            return *result;
        };
        // Empty mailbox.
        PopRunOptions importAll;
        importAll.mode = 3;
        importAll.processAll = true;
        PopRunResult r = runOnce(importAll);
        QVERIFY2(r.connected, qPrintable(pop.log()));
        QCOMPARE(r.messages, 0);
        QVERIFY(r.listPath.isEmpty());
        QCOMPARE(app.ui.messageTexts(),
                 (QStringList{"No Messages Found on 127.0.0.1", "No email addresses were found."}));

        for (const char* name : {"postfix.eml", "delayed.eml", "yahoo.eml", "autoreply.eml"})
            pop.addMessage(corpus(QLatin1String(name)));
        pop.addMessage(kRequest);
        pop.addMessage(kOrdinary);
        // Subscription Manager: the request's sender.
        PopRunOptions phrases;
        phrases.mode = 2;
        phrases.phrases = {QStringLiteral("remove")};
        r = runOnce(phrases);
        QCOMPARE(r.messages, 6);
        QCOMPARE(addressesIn(r.listPath), QStringList{"cleo@readers.example"});
        // POP Mail Importer: every sender once.
        r = runOnce(importAll);
        QCOMPARE(r.addresses, 6);
        // Returned Mail Manager with deletion: the two failed recipients; the delayed warning
        // meets the subject rules but names nobody, so it stays on the server.
        r = runOnce(returnedOptions(true));
        QCOMPARE(addressesIn(r.listPath),
                 (QStringList{"gone@postfix-target.example", "nobox@yahoo-target.example"}));
        QCOMPARE(r.deleted, 2);
        QCOMPARE(pop.messageCount(), 4);
        // A second session sees them gone.
        r = runOnce(returnedOptions(false));
        QCOMPARE(r.messages, 4);
        QVERIFY(r.listPath.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestPopSession)
#include "tst_popsession.moc"
