// Verification runs on scripted verifier slots: both modes, the forced time-out, the pool
// bound, the log's blocks and restart, the configuration bounds, refusals and errors.

#include "VerifyTestSupport.h"
#include "core/ErrorLog.h"
#include "verify/VerifyConfig.h"
#include "verify/VerifyRun.h"

#include <QFile>
#include <QtTest>

using namespace sendora;
using namespace sendora::test;
using namespace sendora::verify;

namespace {

struct Harness {
    TestApp app;
    Script script;
    QDateTime clock{QDate(2026, 3, 4), QTime(10, 0)};
    std::unique_ptr<VerifyRun> run;

    Harness() {
        app.layOut();
        app.start();
        run =
            std::make_unique<VerifyRun>(*app.ctx, [this] { return std::make_unique<ScriptedCheck>(script); });
        run->now = [this] { return clock; };
        run->setTickInterval(3600 * 1000); // the test drives the clock
    }
    void settings(int timeout, int number) {
        for (auto [k, v] : {std::pair{"LVPrimaryDNS", "10.0.0.1"},
                            {"LVSecondaryDNS", ""},
                            {"LVDomain", "verify.example"},
                            {"LVMailFrom", "probe@verify.example"}})
            app.ctx->settingsFile.write(kAppDefaults, QLatin1String(k), QLatin1String(v));
        app.ctx->settingsFile.write(kAppDefaults, QStringLiteral("LVForcedTimeout"),
                                    QString::number(timeout));
        app.ctx->settingsFile.write(kAppDefaults, QStringLiteral("LVNumberEmails"), QString::number(number));
    }
    void runToEnd() {
        for (int i = 0; i < 500 && run->running(); ++i) {
            clock = clock.addSecs(1);
            run->tick();
        }
        QVERIFY(!run->running());
    }
    QStringList logLines() const {
        QFile f(app.ctx->paths.app + kVerifyLogFileName);
        if (!f.open(QIODevice::ReadOnly)) return {};
        QStringList l = QString::fromUtf8(f.readAll()).split(QStringLiteral("\r\n"));
        if (!l.isEmpty() && l.last().isEmpty()) l.removeLast();
        return l;
    }
};

} // namespace

class TestVerifyRun : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void configurationBounds_data();
    void configurationBounds();
    void newListRunWritesEveryVerdictAndLogsBothBlocks();
    void updateRunOverwritesKeyword2AndTimesOut();
    void refusalsAndEmptyList();
    void aRowThatCannotBeWrittenStopsTheRun();
    void exitDuringRunAsksAndDropsTheNewList();
    void logRestartsWhenFull();
};

void TestVerifyRun::configurationBounds_data() {
    QTest::addColumn<int>("timeout");
    QTest::addColumn<int>("number");
    QTest::addColumn<int>("savedTimeout");
    QTest::addColumn<int>("savedNumber");
    QTest::addColumn<QStringList>("messages");
    const QString minT = QStringLiteral("The minimum Forced Timeout setting allowed is 20 seconds.\r\n"
                                        "The value will be changed to the minimum allowed.");
    const QString maxT = QStringLiteral("The maximum Forced Timeout setting allowed is 60 seconds.\r\n"
                                        "The value will be changed to the maximum allowed.");
    const QString maxN = QStringLiteral("The maximum number of emails to be checked at one time is 100.");
    const QString minN = QStringLiteral("The minimum number of emails to be checked at one time is 1.");
    QTest::newRow("10 s, 100 at once") << 10 << 100 << 20 << 100 << QStringList{minT};
    QTest::newRow("61 s, 101 at once") << 61 << 101 << 60 << 100 << QStringList{maxT, maxN};
    QTest::newRow("60 s, none at once") << 60 << 0 << 60 << 1 << QStringList{minN};
    QTest::newRow("within bounds") << 20 << 1 << 20 << 1 << QStringList{};
}

void TestVerifyRun::configurationBounds() {
    QFETCH(int, timeout);
    QFETCH(int, number);
    QFETCH(int, savedTimeout);
    QFETCH(int, savedNumber);
    QFETCH(QStringList, messages);
    TestApp app;
    app.layOut();
    QCOMPARE(loadVerifyConfig(*app.ctx).forcedTimeout, 20); // keys absent: the defaults
    const VerifyConfigValues saved = saveVerifyConfig(*app.ctx, {QStringLiteral("1.2.3.4:53"),
                                                                 {},
                                                                 QStringLiteral("d.example"),
                                                                 QStringLiteral("f@d.example"),
                                                                 timeout,
                                                                 number});
    QCOMPARE(app.ui.messageTexts(), messages);
    QCOMPARE(saved.forcedTimeout, savedTimeout);
    QCOMPARE(saved.numberEmails, savedNumber);
    const VerifyConfigValues back = loadVerifyConfig(*app.ctx);
    QCOMPARE(back.forcedTimeout, saved.forcedTimeout);
    QCOMPARE(back.numberEmails, saved.numberEmails);
    QCOMPARE(back.primaryDns, QStringLiteral("1.2.3.4:53"));
    QCOMPARE(back.mailFrom, QStringLiteral("f@d.example"));
    QCOMPARE(app.ctx->settingsFile.read(kAppDefaults, QStringLiteral("LVSecondaryDNS"), QStringLiteral("x")),
             QString());
}

void TestVerifyRun::newListRunWritesEveryVerdictAndLogsBothBlocks() {
    Harness h;
    h.settings(20, 2);
    const QStringList addresses{"a@x.test", "b@x.test",   "c@@bad",      "d@y.test",
                                "e@z.test", "f@all.test", "s@stall.test"};
    makeVerifyList(h.app, QStringLiteral("Members"), addresses);
    h.script.verdicts = {{"a@x.test", "Exist"},    {"b@x.test", "Not in SMTP"},
                         {"c@@bad", "Bad Syntax"}, {"d@y.test", "Not in DNS"},
                         {"e@z.test", "Unknown"},  {"f@all.test", "Exist (all)"}};
    QSignalSpy finished(h.run.get(), &VerifyRun::finished);
    QCOMPARE(h.run->start(QStringLiteral("Members"), VerifyMode::NewList), VerifyRun::Start::Started);
    h.runToEnd();
    QCOMPARE(finished.size(), 1);
    QCOMPARE(finished.at(0).at(0).toBool(), true);
    QCOMPARE(h.script.created, 2);
    QCOMPARE(h.script.peak, 2);
    QCOMPARE(h.script.settings,
             QStringList(2, QStringLiteral("enabled=1,option=0,from=probe@verify.example,dns1=10.0.0.1,"
                                           "domain=verify.example")));

    const QString file = h.run->newListPath();
    QVERIFY(QFile::exists(file));
    QCOMPARE(rowsOf(file, QStringLiteral("Verify")),
             (QStringList{"a@x.test|Exist", "b@x.test|Not in SMTP", "c@@bad|Bad Syntax",
                          "d@y.test|Not in DNS", "e@z.test|Unknown", "f@all.test|Exist (all)",
                          "s@stall.test|Unknown -- Forced Timeout"}));
    QCOMPARE(rowsOf(file, QStringLiteral("FirstName")).first(), QStringLiteral("a@x.test|F-a"));
    QCOMPARE(rowsOf(file, QStringLiteral("LastName")).first(), QStringLiteral("a@x.test|L-a"));
    QVERIFY(rowsOf(file, QStringLiteral("VerifyDate"))
                .first()
                .startsWith(QStringLiteral("a@x.test|3/4/2026 10:00:")));
    const VerifyCounts& c = h.run->counts();
    QCOMPARE((QList<qint64>{c.exist, c.badSyntax, c.notInDns, c.notInSmtp, c.unknown, c.forcedTimeout}),
             (QList<qint64>{2, 1, 1, 1, 1, 1}));
    QCOMPARE(h.app.ui.shown.last().title, QStringLiteral("Verified Addresses Summary"));

    const QStringList log = h.logLines();
    const QString stars(59, u'*');
    QCOMPARE(log.mid(0, 4), (QStringList{stars, stars, stars, "***             VERIFICATION STARTS HERE "}));
    QCOMPARE(
        log.mid(10, 14),
        (QStringList{"*** List Name:         Members", stars, stars, "*** Configuration Settings", "***",
                     "*** Primary DNS Server:       10.0.0.1",
                     "*** Secondary DNS Server:     ", "*** Domain Name:              verify.example",
                     "*** MAIL FROM Address:        probe@verify.example", "*** Forced Timeout (seconds): 20",
                     "*** Number of Emails at once: 2", stars, stars, log.at(23)}));
    QVERIFY(log.at(23).startsWith(QStringLiteral("*** Product Version:   ")));
    QCOMPARE(log.at(27), QStringLiteral("P: Starting List Verification for Creating New List..."));
    QCOMPARE(log.mid(28, 3), (QStringList{"P: (1) Checking address...a@x.test",
                                          "P: (2) Checking address...b@x.test", "P: (1) Result...Exist"}));
    QVERIFY(log.contains(QStringLiteral("P: (1) Log...scripted a@x.test")));
    QVERIFY(log.contains(QStringLiteral("P: (1) Forced Timeout - Check exceeded 20 seconds")) ||
            log.contains(QStringLiteral("P: (2) Forced Timeout - Check exceeded 20 seconds")));
    const qsizetype end = log.indexOf(QStringLiteral("P: Ending List Verification..."));
    QVERIFY(end > 0);
    QCOMPARE(log.mid(end + 1, 4),
             (QStringList{stars, stars, stars, "***              VERIFICATION ENDS HERE"}));
    QCOMPARE(log.mid(end + 11, 8),
             (QStringList{"*** Total Processed:      7", "***", "*** Total Exist:          2",
                          "*** Total Bad Syntax:     1", "*** Total Not in DNS:     1",
                          "*** Total Not in SMTP:    1", "*** Total Unknown:        1",
                          "*** Total Forced Timeout: 1"}));
    QCOMPARE(log.last(), QStringLiteral("P: List Verification Complete"));
    QCOMPARE(log.at(log.size() - 2), stars);
}

void TestVerifyRun::updateRunOverwritesKeyword2AndTimesOut() {
    Harness h;
    h.settings(30, 1);
    const QString file =
        makeVerifyList(h.app, QStringLiteral("Members"), {"a@x.test", "s@stall.test", "b@x.test"});
    h.script.verdicts = {{"a@x.test", "Exist"}, {"b@x.test", "Not in SMTP"}};
    QCOMPARE(h.run->start(QStringLiteral("Members"), VerifyMode::UpdateList), VerifyRun::Start::Started);
    QCOMPARE(
        h.app.ui.transcript().first(),
        msg("You are updating a list, if there is an problem with an email address, an entry will be made to "
            "the KEYWORD2 field.\r\n\r\nAny existing data in the KEYWORD2 field will be OVERWRITTEN.",
            "question", "YesNo", "Are you sure you wish to proceed?"));
    const QDateTime began = h.clock;
    h.runToEnd();
    QCOMPARE(h.script.peak, 1);
    QCOMPARE(rowsOf(file, QStringLiteral("Keyword2")),
             (QStringList{"a@x.test|Exist", "b@x.test|Not in SMTP", "s@stall.test|Forced Timeout"}));
    // Abandoned only once more than the forced time-out has passed.
    QVERIFY(began.secsTo(h.clock) > 30);
    const QStringList log = h.logLines();
    QVERIFY(log.contains(QStringLiteral("P: Starting List Verification for Updating Existing List...")));
    QVERIFY(log.contains(QStringLiteral("P: (1) Forced Timeout - Check exceeded 30 seconds")));
    QCOMPARE(h.run->counts().forcedTimeout, 1);
    QVERIFY(h.run->newListPath().isEmpty());
}

void TestVerifyRun::refusalsAndEmptyList() {
    Harness h;
    h.settings(20, 1);
    const QString file = makeVerifyList(h.app, QStringLiteral("Members"), {"a@x.test"});
    makeVerifyList(h.app, QStringLiteral("Empty"), {});
    h.app.ui.answers = {Answer::No};
    QCOMPARE(h.run->start(QStringLiteral("Members"), VerifyMode::UpdateList), VerifyRun::Start::Declined);
    QVERIFY(!h.run->running());
    QCOMPARE(rowsOf(file, QStringLiteral("Keyword2")), QStringList{"a@x.test|old"});
    QVERIFY(h.logLines().isEmpty());

    h.app.ui.clear();
    QCOMPARE(h.run->start(QStringLiteral("Empty"), VerifyMode::NewList), VerifyRun::Start::NoRecords);
    QCOMPARE(h.app.ui.transcript(), QStringList{msg("No records in selected list to verify")});
    const QStringList log = h.logLines();
    QCOMPARE(log.at(3), QStringLiteral("***             VERIFICATION STARTS HERE "));
    QCOMPARE(log.last(), QStringLiteral("P: No Records in selected list..."));
    QCOMPARE(h.script.created, 0);
}

void TestVerifyRun::aRowThatCannotBeWrittenStopsTheRun() {
    Harness h;
    h.settings(20, 1);
    const QString file = makeVerifyList(h.app, QStringLiteral("Members"), {"a@x.test", "b@x.test"});
    h.script.verdicts = {{"a@x.test", "Exist"}, {"b@x.test", "Exist"}};
    QSignalSpy finished(h.run.get(), &VerifyRun::finished);
    QCOMPARE(h.run->start(QStringLiteral("Members"), VerifyMode::UpdateList), VerifyRun::Start::Started);
    jet::Database::open(file)->execute(
        QStringLiteral("DELETE * FROM AddressList WHERE EAddress = \"b@x.test\""));
    h.runToEnd();
    QCOMPARE(finished.size(), 1);
    QCOMPARE(finished.at(0).at(0).toBool(), false);
    QVERIFY(!h.run->failure().isEmpty());
    QCOMPARE(h.app.ui.shown.last().icon, Icon::Critical);
    QVERIFY(h.app.ui.shown.last().text.startsWith(
        QStringLiteral("An error has occured while trying to create a Verified Address List.\r\n")));
    QCOMPARE(h.logLines().last(), QStringLiteral("P: List Verification stopped because of error"));
    QFile errors(h.app.ctx->paths.app + QStringLiteral("Errors.log"));
    QVERIFY(errors.open(QIODevice::ReadOnly));
    QVERIFY(errors.readAll().contains("frmVerifyList in VerifyTimer_Timer()-- "));
    QCOMPARE(rowsOf(file, QStringLiteral("Keyword2")), QStringList{"a@x.test|Exist"});
}

void TestVerifyRun::exitDuringRunAsksAndDropsTheNewList() {
    Harness h;
    h.settings(60, 1);
    makeVerifyList(h.app, QStringLiteral("Members"), {"s@stall.test"});
    QCOMPARE(h.run->start(QStringLiteral("Members"), VerifyMode::NewList), VerifyRun::Start::Started);
    h.run->tick();
    const QString file = h.run->newListPath();
    h.app.ui.answers = {Answer::No, Answer::Yes};
    QVERIFY(!h.run->requestExit());
    QVERIFY(h.run->running());
    QVERIFY(h.run->requestExit());
    QCOMPARE(h.app.ui.shown.last().title, QStringLiteral("Are you sure you wish to exit?"));
    QVERIFY(!h.run->running());
    QCOMPARE(h.script.active, 0);
    QVERIFY(!QFile::exists(file));
    QCOMPARE(h.logLines().last(), QStringLiteral("P: List Verification Exited"));
}

void TestVerifyRun::logRestartsWhenFull() {
    Harness h;
    makeVerifyList(h.app, QStringLiteral("Empty"), {});
    const QString path = h.app.ctx->paths.app + kVerifyLogFileName;
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(kLogSizeLimit + 1, 'x'));
    }
    VerifyRun second(*h.app.ctx, {});
    QCOMPARE(second.start(QStringLiteral("Empty"), VerifyMode::NewList), VerifyRun::Start::NoRecords);
    QCOMPARE(QFileInfo(path + QStringLiteral(".1")).size(), kLogSizeLimit + 1);
    QCOMPARE(h.logLines().first(), QString(59, u'*'));
    QCOMPARE(h.logLines().last(), QStringLiteral("P: No Records in selected list..."));
}

QTEST_GUILESS_MAIN(TestVerifyRun)
#include "tst_verifyrun.moc"
