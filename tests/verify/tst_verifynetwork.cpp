// Verification runs on the network verifier against dnsmasq and scripted loopback servers:
// update mode writing Keyword2 with a forced time-out on a silent server, and sendora-cli
// verify building and saving the new list.

#include "VerifyTestSupport.h"
#include "components/addressverifier/FakeMx.h"
#include "core/ListActions.h"
#include "support/Dnsmasq.h"
#include "verify/VerifyRun.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QtTest>

using namespace sendora;
using namespace sendora::test;
using namespace sendora::verify;

class TestVerifyNetwork : public QObject {
    Q_OBJECT

    Dnsmasq m_dns;
    VerifyNetwork m_net;

    void settings(TestApp& app, int number) {
        app.ctx->settingsFile.write(kAppDefaults, QStringLiteral("LVPrimaryDNS"), m_dns.server());
        app.ctx->settingsFile.write(kAppDefaults, QStringLiteral("LVDomain"),
                                    QStringLiteral("verifier.test"));
        app.ctx->settingsFile.write(kAppDefaults, QStringLiteral("LVMailFrom"),
                                    QStringLiteral("probe@verifier.test"));
        app.ctx->settingsFile.write(kAppDefaults, QStringLiteral("LVForcedTimeout"), QStringLiteral("20"));
        app.ctx->settingsFile.write(kAppDefaults, QStringLiteral("LVNumberEmails"), QString::number(number));
    }

private Q_SLOTS:
    void initTestCase() { START_VERIFY_NETWORK(m_dns, m_net); }

    void updateModeWithForcedTimeout() {
        TestApp app;
        app.layOut();
        app.start();
        settings(app, 3);
        const QString file = makeVerifyList(app, QStringLiteral("Members"),
                                            {"known@good.test", "nobody@good.test", "a@stall.test",
                                             "bad address", "a@missing.test", "anyone@all.test"});
        QObject owner;
        VerifyRun run(*app.ctx, networkChecks(&owner));
        // Time runs twenty times faster for the clock, so the silent server is given up
        // after one real second rather than twenty.
        const QDateTime began = QDateTime::currentDateTime();
        QElapsedTimer elapsed;
        elapsed.start();
        run.now = [&] { return began.addMSecs(elapsed.elapsed() * 20); };
        QCOMPARE(run.start(QStringLiteral("Members"), VerifyMode::UpdateList), VerifyRun::Start::Started);
        QTRY_VERIFY_WITH_TIMEOUT(!run.running(), 20000);
        QCOMPARE(
            rowsOf(file, QStringLiteral("Keyword2")),
            (QStringList{"a@missing.test|Not in DNS", "a@stall.test|Forced Timeout", "anyone@all.test|Exist",
                         "bad address|Bad Syntax", "known@good.test|Exist", "nobody@good.test|Not in SMTP"}));
        QFile log(app.ctx->paths.app + kVerifyLogFileName);
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QByteArray text = log.readAll();
        QVERIFY(text.contains("Forced Timeout - Check exceeded 20 seconds"));
        QVERIFY(text.contains("accepts every address"));
        QVERIFY(text.contains("*** Total Forced Timeout: 1\r\n"));

        // The next run of the same window asks the DNS server configured now, not the answers
        // of the last run: a server that never answers leaves the check to the clock.
        SilentDns silent;
        app.ctx->settingsFile.write(kAppDefaults, QStringLiteral("LVPrimaryDNS"), silent.server());
        const QString second = makeVerifyList(app, QStringLiteral("Second"), {"known@good.test"});
        QCOMPARE(run.start(QStringLiteral("Second"), VerifyMode::UpdateList), VerifyRun::Start::Started);
        QTRY_VERIFY_WITH_TIMEOUT(!run.running(), 20000);
        QCOMPARE(rowsOf(second, QStringLiteral("Keyword2")), QStringList{"known@good.test|Forced Timeout"});
        QVERIFY(silent.received() > 0);
    }

    void cliBuildsAndSavesTheNewList() {
        TestApp app;
        app.layOut();
        app.start();
        settings(app, 2);
        makeVerifyList(
            app, QStringLiteral("Members"),
            {"known@good.test", "nobody@good.test", "bad address", "a@nomail.test", "a@soft.test"});
        QProcess cli;
        cli.start(QStringLiteral(SENDORA_CLI),
                  {QStringLiteral("--data-dir"), app.dir.path(), QStringLiteral("verify"),
                   QStringLiteral("Members"), QStringLiteral("--save"), QStringLiteral("Checked")});
        // The servers answer from this process's event loop.
        QTRY_VERIFY_WITH_TIMEOUT(cli.state() == QProcess::NotRunning, 30000);
        QCOMPARE(cli.exitCode(), 0);
        QCOMPARE(
            QString::fromUtf8(cli.readAllStandardOutput()),
            QStringLiteral(
                "Exist\t1\nBad Syntax\t1\nNot in DNS\t1\nNot in SMTP\t1\nUnknown\t1\nForced Timeout\t0\n"));
        const QString saved = app.ctx->paths.listFile(QStringLiteral("Checked.mdb"));
        QCOMPARE(rowsOf(saved, QStringLiteral("Verify")),
                 (QStringList{"a@nomail.test|Not in DNS", "a@soft.test|Unknown", "bad address|Bad Syntax",
                              "known@good.test|Exist", "nobody@good.test|Not in SMTP"}));
        QCOMPARE(GetListPath(*app.ctx, QStringLiteral("Checked")), QStringLiteral("Checked.mdb"));
        QCOMPARE(rowsOf(app.ctx->paths.listFile(QStringLiteral("Members.mdb")), QStringLiteral("Keyword2"))
                     .first(),
                 QStringLiteral("a@nomail.test|old"));

        cli.start(QStringLiteral(SENDORA_CLI), {QStringLiteral("--data-dir"), app.dir.path(),
                                                QStringLiteral("verify"), QStringLiteral("Nowhere")});
        QTRY_VERIFY_WITH_TIMEOUT(cli.state() == QProcess::NotRunning, 10000);
        QCOMPARE(cli.exitCode(), 1);
    }
};

QTEST_GUILESS_MAIN(TestVerifyNetwork)
#include "tst_verifynetwork.moc"
