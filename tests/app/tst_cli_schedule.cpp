// sendora-cli run-scheduled against smtp-sink (only active, unsent, due mailings go; a failed
// one stays due and goes at the next run; two runners never send twice; a list out with a
// hand-started send is skipped; a save in the dialog makes a sent mailing due again) and
// scheduler install/remove/status with HOME pointed at a temporary folder and a fake systemctl.

#include "components/jet/Jet.h"
#include "core/AppContext.h"
#include "core/IniFile.h"
#include "screens/Scheduler.h"
#include "support/DbQuery.h"
#include "support/ScriptedUserInterface.h"
#include "support/SmtpSink.h"

#include <QLockFile>
#include <QProcess>
#include <QSet>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>

using sendora::test::SmtpSink;

namespace {

const QString kNow = QStringLiteral("2026-03-01 10:00");

struct Folder {
    QTemporaryDir dir;
    int mailings = 0;

    explicit Folder(const QString& name = {}) : dir(QDir::tempPath() + "/" + name + "XXXXXX") {}
    QString sdr() const { return dir.filePath("system/Sendora.sdr"); }
    QString listFile(const QString& list) const { return dir.filePath("AddressLists/" + list + ".mdb"); }
    std::unique_ptr<jet::Database> db() const { return jet::Database::open(sdr()); }

    bool prepare(quint16 port) {
        QProcess init;
        init.start(SENDORA_CLI, {"--data-dir", dir.path(), "--no", "init"});
        if (!init.waitForFinished(60000) || init.exitCode() != 0) return false;
        setPort(port);
        auto d = db();
        d->execute("INSERT INTO Message (MessageName, Subject, SendType, MessageText) VALUES(\"M\",\"S\",0,"
                   "\"Hello [[FirstName]]\")");
        d->execute("UPDATE Profile SET SmtpServer = \"127.0.0.1\", [From] = \"plan@sender.test\", ReplyTo = "
                   "\"\", bFlagSends = 0, bSendInBlocks = 0");
        d->execute("INSERT INTO Sendora VALUES(\"G\",\"\")");
        return true;
    }
    void setPort(quint16 port) const {
        sendora::IniFile(dir.filePath("Sendora.ini"))
            .write("ApplicationDefaults", "SMTPPort", QString::number(port));
    }
    QStringList addList(const QString& name, int count) const {
        QStringList addresses;
        auto l = sendora::test::createAddressList(listFile(name));
        l->beginTransaction();
        for (int i = 0; i < count; ++i) {
            addresses << QStringLiteral("p%1@%2.test").arg(i, 4, 10, QLatin1Char('0')).arg(name.toLower());
            l->execute(QStringLiteral("INSERT INTO AddressList (EAddress, FirstName) VALUES(%1,\"P\")")
                           .arg(jet::quote(addresses.last())));
        }
        l->commit();
        l->close();
        db()->execute(QStringLiteral("INSERT INTO List([listname],[listpath],[listdescription]) "
                                     "values(%1,%2,\"\")")
                          .arg(jet::quote(name), jet::quote(name + ".mdb")));
        return addresses;
    }
    // A mailing to the list scheduled at "yyyy-MM-dd HH:mm" (empty: never scheduled); its id.
    int addMailing(const QString& list, const QString& at, bool active, bool sent = false) {
        const QString date = at.isEmpty() ? "Null" : jet::quote(at.left(10) + " 00:00:00");
        const QString time = at.isEmpty() ? "Null" : jet::quote("1899-12-30 " + at.mid(11) + ":00");
        db()->execute(
            QStringLiteral("INSERT INTO MailEvent (SendoraName, ListName, MessageName, Profile, "
                           "ScheduledDate, ScheduledTime, Active, MailingSent) VALUES(\"G\",%1,\"M\","
                           "\"Default Delivery Options\",%2,%3,%4,%5)")
                .arg(jet::quote(list), date, time,
                     at.isEmpty() ? "Null"
                     : active     ? "-1"
                                  : "0",
                     at.isEmpty() ? "Null"
                     : sent       ? "-1"
                                  : "0"),
            true);
        return ++mailings;
    }
    QVariant column(int id, const QString& name) const {
        auto rs = db()->openRecordset(
            QStringLiteral("SELECT %1 FROM MailEvent WHERE MailEventName = %2").arg(name).arg(id));
        return rs->value(0);
    }
    bool markedSent(int id) const { return column(id, "MailingSent").toInt() == -1; }

    QProcess* start(const QStringList& args,
                    const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment()) {
        auto* p = new QProcess;
        p->setProcessEnvironment(env);
        p->start(SENDORA_CLI, QStringList{"--data-dir", dir.path()} + args);
        return p;
    }
    // Exit code of a finished run (-1 when it did not finish in time); stderr and stdout in *output.
    int run(const QStringList& args, QString* output = nullptr,
            const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment()) {
        std::unique_ptr<QProcess> p(start(args, env));
        if (!p->waitForFinished(120000)) return -1;
        if (output)
            *output =
                QString::fromUtf8(p->readAllStandardError()) + QString::fromUtf8(p->readAllStandardOutput());
        return p->exitCode();
    }
};

QStringList delivered(const SmtpSink& sink) {
    QStringList out;
    for (const QByteArray& dump : sink.dumps())
        out << SmtpSink::recipients(dump);
    out.sort();
    return out;
}

quint16 closedPort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

} // namespace

#define REQUIRE_SINK()                                                                                       \
    do {                                                                                                     \
        if (SmtpSink::available()) break;                                                                    \
        if (SmtpSink::mustExist()) QFAIL("smtp-sink is not installed");                                      \
        QSKIP("smtp-sink is not installed");                                                                 \
    } while (false)

class TestCliSchedule : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void onlyActiveUnsentDueMailingsAreSentAndMarked() {
        REQUIRE_SINK();
        SmtpSink sink;
        QVERIFY(sink.start());
        Folder f;
        QVERIFY(f.prepare(sink.port()));
        const QStringList a = f.addList("A", 3);
        const QStringList b = f.addList("B", 2);
        f.addList("C", 2);
        f.addList("D", 2);
        const int due = f.addMailing("A", "2026-02-28 23:30", true);
        const int future = f.addMailing("B", "2026-03-01 10:01", true);
        const int inactive = f.addMailing("C", "2026-03-01 09:00", false);
        const int alreadySent = f.addMailing("D", "2026-03-01 09:00", true, true);
        const int never = f.addMailing("C", {}, false);

        QString out;
        QCOMPARE(f.run({"run-scheduled", "--now", kNow}, &out), 0);
        QTRY_COMPARE(delivered(sink), a);
        QVERIFY(f.markedSent(due));
        QCOMPARE(f.column(due, "SentCount").toInt(), 3);
        for (int id : {future, inactive, never})
            QVERIFY2(!f.markedSent(id) && f.column(id, "SentCount").toInt() == 0,
                     qPrintable(QString::number(id)));
        QVERIFY(f.markedSent(alreadySent));
        QVERIFY(f.column(never, "ScheduledDate").isNull());

        // Nothing twice; the future one goes once its minute has come.
        QCOMPARE(f.run({"run-scheduled", "--now", kNow}), 0);
        QCOMPARE(sink.dumpCount(), 3);
        QCOMPARE(f.run({"run-scheduled", "--now", "2026-03-01 10:01"}), 0);
        QTRY_COMPARE(sink.dumpCount(), 5);
        QVERIFY(f.markedSent(future));
        QVERIFY(!f.markedSent(inactive));

        QCOMPARE(f.run({"run-scheduled", "--now", "yesterday"}), 2);
    }

    // Server down: logged, left due, exit 1; the next run sends it. Saved again in the dialog,
    // a mailing that went by schedule is due again.
    void failedMailingStaysDueAndASaveMakesASentOneDueAgain() {
        REQUIRE_SINK();
        Folder f;
        QVERIFY(f.prepare(closedPort()));
        const QStringList a = f.addList("A", 2);
        const int id = f.addMailing("A", "2026-03-01 09:00", true);
        QString out;
        QCOMPARE(f.run({"run-scheduled", "--now", kNow}, &out), 1);
        QVERIFY2(out.contains("Scheduled mailing 1 did not complete"), qPrintable(out));
        QFile log(f.dir.filePath("Errors.log"));
        QVERIFY(log.open(QIODevice::ReadOnly));
        QVERIFY(log.readAll().contains("Scheduled mailing 1 did not complete"));
        QVERIFY(!f.markedSent(id));

        SmtpSink sink;
        QVERIFY(sink.start());
        f.setPort(sink.port());
        QCOMPARE(f.run({"run-scheduled", "--now", kNow}, &out), 0);
        QTRY_COMPARE(delivered(sink), a);
        QVERIFY(f.markedSent(id));

        sendora::test::ScriptedUserInterface ui;
        sendora::AppContext ctx(f.dir.path(), &ui, nullptr);
        QVERIFY(sendora::Scheduler(ctx).save(id, QDate(2026, 3, 1), QTime(9, 30), true));
        QVERIFY(!f.markedSent(id));
        QCOMPARE(f.run({"run-scheduled", "--now", kNow}), 0);
        QTRY_COMPARE(sink.dumpCount(), 4);
        QVERIFY(f.markedSent(id));
    }

    // A second runner while the first sends, and a list held by a hand-started send.
    void oneRunnerAtATimeAndBusyListsWait() {
        REQUIRE_SINK();
        SmtpSink sink;
        QVERIFY(sink.start());
        Folder f;
        QVERIFY(f.prepare(sink.port()));
        const QStringList big = f.addList("Big", 1500);
        const QStringList held = f.addList("Held", 2);
        const int first = f.addMailing("Big", "2026-03-01 08:00", true);
        const int waiting = f.addMailing("Held", "2026-03-01 08:00", true);
        QLockFile handSend(f.listFile("Held") + ".sending");
        QVERIFY(handSend.tryLock(0));

        std::unique_ptr<QProcess> one(f.start({"run-scheduled", "--now", kNow}));
        QVERIFY(one->waitForStarted());
        QVERIFY(QTest::qWaitFor([&] { return sink.dumpCount() >= 20 || one->state() != QProcess::Running; },
                                60000));
        QVERIFY2(one->state() == QProcess::Running, "the first run ended before the second started");
        QString out;
        QCOMPARE(f.run({"run-scheduled", "--now", kNow}, &out), 0);
        QVERIFY2(out.contains("another run-scheduled is running"), qPrintable(out));
        QVERIFY(one->waitForFinished(120000));
        QCOMPARE(one->exitCode(), 0);
        const QString oneErr = QString::fromUtf8(one->readAllStandardError());
        QVERIFY2(oneErr.contains("mailing 2 skipped"), qPrintable(oneErr));
        QTest::qWait(200); // smtp-sink may still be writing the last dump
        QCOMPARE(sink.dumpCount(), big.size());
        QCOMPARE(delivered(sink), big);
        QVERIFY(f.markedSent(first));
        QVERIFY(!f.markedSent(waiting));

        handSend.unlock();
        sink.clearDumps();
        QCOMPARE(f.run({"run-scheduled", "--now", kNow}), 0);
        QTRY_COMPARE(delivered(sink), held);
        QVERIFY(f.markedSent(waiting));
    }

    // SIGTERM to the runner stops the send after the message in flight; the mailing is not
    // marked and stays due.
    void stoppedRunnerLeavesTheMailingDue() {
        REQUIRE_SINK();
        SmtpSink sink;
        QVERIFY(sink.start());
        Folder f;
        QVERIFY(f.prepare(sink.port()));
        f.addList("Big", 1500);
        const int id = f.addMailing("Big", "2026-03-01 08:00", true);
        std::unique_ptr<QProcess> run(f.start({"run-scheduled", "--now", kNow}));
        QVERIFY(run->waitForStarted());
        QVERIFY(QTest::qWaitFor([&] { return sink.dumpCount() >= 20 || run->state() != QProcess::Running; },
                                60000));
        QVERIFY2(run->state() == QProcess::Running, "the run ended before the signal");
        run->terminate();
        QVERIFY(run->waitForFinished(30000));
        QCOMPARE(run->exitCode(), 128 + SIGTERM);
        QVERIFY(!f.markedSent(id));
        QTest::qWait(200);
        QVERIFY(sink.dumpCount() < 1500);
        QCOMPARE(f.column(id, "SentCount").toInt(), sink.dumpCount());
    }

    // Unit files for a folder whose name holds quotes, % and $, enabled through systemctl
    // --user; the crontab line when there is no systemctl; removal.
    void schedulerInstallWritesUnitsAndEnablesTheTimer() {
        QTemporaryDir home;
        Folder f(QStringLiteral("it's 100% \"$HOME\" "));
        QProcess init;
        init.start(SENDORA_CLI, {"--data-dir", f.dir.path(), "--no", "init"});
        QVERIFY(init.waitForFinished(60000) && init.exitCode() == 0);
        const QString calls = home.filePath("systemctl.log");
        const QString fake = home.filePath("systemctl");
        {
            QFile script(fake);
            QVERIFY(script.open(QIODevice::WriteOnly));
            script.write("#!/bin/sh\necho \"$@\" >> '" + calls.toUtf8() + "'\n");
            script.setPermissions(script.permissions() | QFileDevice::ExeOwner);
        }
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", home.path());
        env.insert("XDG_CONFIG_HOME", home.filePath("config"));
        env.insert("SENDORA_SYSTEMCTL", fake);

        QString out;
        QCOMPARE(f.run({"scheduler", "install"}, &out, env), 0);
        const QString unitDir = home.filePath("config/systemd/user/");
        QFile service(unitDir + "sendora-scheduler.service");
        QFile timer(unitDir + "sendora-scheduler.timer");
        QVERIFY(service.open(QIODevice::ReadOnly) && timer.open(QIODevice::ReadOnly));
        const QString cli = QFileInfo(SENDORA_CLI).absoluteFilePath();
        const QString folder =
            QString(f.dir.path()).replace("%", "%%").replace("$", "$$").replace("\"", "\\\"");
        QCOMPARE(QString::fromUtf8(service.readAll()),
                 "[Unit]\nDescription=Sendora scheduled mailings\n\n[Service]\nType=oneshot\nKillMode=mixed\n"
                 "ExecStart=\"" +
                     cli + "\" --data-dir \"" + folder + "\" run-scheduled\n");
        QCOMPARE(QString::fromUtf8(timer.readAll()),
                 QString("[Unit]\nDescription=Sendora scheduled mailings, checked every minute\n\n[Timer]\n"
                         "OnCalendar=*-*-* *:*:00\nAccuracySec=1s\nUnit=sendora-scheduler.service\n\n"
                         "[Install]\nWantedBy=timers.target\n"));
        QFile log(calls);
        QVERIFY(log.open(QIODevice::ReadOnly));
        QCOMPARE(log.readAll(),
                 QByteArray("--user daemon-reload\n--user enable --now sendora-scheduler.timer\n"));
        log.close();

        const QString analyze = QStandardPaths::findExecutable("systemd-analyze");
        if (!analyze.isEmpty()) {
            QProcess verify;
            verify.setProcessEnvironment(env);
            verify.start(analyze, {"verify", service.fileName(), timer.fileName()});
            QVERIFY(verify.waitForFinished(30000));
            QVERIFY2(verify.exitCode() == 0, verify.readAllStandardError().constData());
        }

        QCOMPARE(f.run({"scheduler", "status"}, &out, env), 0);
        QVERIFY2(out.contains("runs: \"" + cli + "\" --data-dir"), qPrintable(out));

        env.insert("SENDORA_SYSTEMCTL", "");
        QCOMPARE(f.run({"scheduler", "install"}, &out, env), 0);
        QVERIFY2(out.contains("* * * * * '" + cli + "' --data-dir '" +
                              QString(f.dir.path()).replace("'", "'\\''").replace("%", "\\%") +
                              "' run-scheduled"),
                 qPrintable(out));

        env.insert("SENDORA_SYSTEMCTL", fake);
        QCOMPARE(f.run({"scheduler", "remove"}, &out, env), 0);
        QVERIFY(!service.exists() && !timer.exists());
        QVERIFY(log.open(QIODevice::ReadOnly));
        QVERIFY(
            log.readAll().endsWith("--user disable --now sendora-scheduler.timer\n--user daemon-reload\n"));
        QCOMPARE(f.run({"scheduler", "start"}, &out, env), 2);
    }
};

QTEST_GUILESS_MAIN(TestCliSchedule)
#include "tst_cli_schedule.moc"
