// sendora-cli send against smtp-sink: the whole mailing, a send killed at a random moment
// followed by a second send that delivers every address not yet flagged and none that
// was, a send stopped by SIGTERM, and a send refused before it connects.

#include "components/jet/Jet.h"
#include "core/IniFile.h"
#include "support/SmtpSink.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>

using sendora::test::SmtpSink;

namespace {

constexpr int kRecipients = 3000;

QString address(int i) {
    return QStringLiteral("person%1@crash.test").arg(i, 4, 10, QLatin1Char('0'));
}

struct Folder {
    QTemporaryDir dir;
    QString sdr() const { return dir.filePath("system/Sendora.sdr"); }
    QString list() const { return dir.filePath("AddressLists/Big.mdb"); }

    bool prepare(quint16 port) {
        QProcess init;
        init.start(SENDORA_CLI, {"--data-dir", dir.path(), "--no", "init"});
        if (!init.waitForFinished(60000) || init.exitCode() != 0) return false;
        sendora::IniFile ini(dir.filePath("Sendora.ini"));
        ini.write("ApplicationDefaults", "SMTPPort", QString::number(port));
        auto l = jet::Database::create(list());
        l->execute(
            "CREATE TABLE AddressList(EAddress TEXT(255) NOT NULL CONSTRAINT EAddress PRIMARY KEY, FirstName "
            "TEXT(255), LastName TEXT(255), Title TEXT(255), Sent TEXT(255), [Date] TEXT(255), Keyword1 "
            "TEXT(255), Keyword2 TEXT(255))",
            true);
        l->beginTransaction();
        for (int i = 0; i < kRecipients; ++i)
            l->execute(QStringLiteral("INSERT INTO AddressList (EAddress, FirstName) VALUES(%1,\"P%2\")")
                           .arg(jet::quote(address(i)))
                           .arg(i));
        l->commit();
        l->close();
        auto db = jet::Database::open(sdr());
        db->execute(
            "INSERT INTO List([listname],[listpath],[listdescription]) values(\"Big\",\"Big.mdb\",\"\")");
        db->execute(
            "INSERT INTO Message (MessageName, Subject, SendType, MessageText) VALUES(\"M\",\"S\",0,\"Hello "
            "[[FirstName]]\")");
        db->execute(
            "UPDATE Profile SET SmtpServer = \"127.0.0.1\", [From] = \"crash@sender.test\", ReplyTo = \"\", "
            "bFlagSends = -1, bSendInBlocks = -1, SendBlockSize = 100000, bIfNotYetFlagged = -1");
        db->execute("INSERT INTO Sendora VALUES(\"G\",\"\")");
        db->execute(
            "INSERT INTO MailEvent (SendoraName, ListName, MessageName, Profile) VALUES(\"G\",\"Big\",\"M\","
            "\"Default Delivery Options\")");
        return true;
    }

    QSet<QString> flagged() const {
        QSet<QString> out;
        auto db = jet::Database::open(list(), jet::Database::OpenMode::ReadOnly);
        for (auto rs = db->openRecordset("SELECT EAddress FROM AddressList WHERE Sent = \"SENT\"");
             !rs->eof(); rs->moveNext())
            out.insert(rs->value(0).toString());
        return out;
    }
};

QSet<QString> delivered(const SmtpSink& sink) {
    QSet<QString> out;
    for (const QByteArray& dump : sink.dumps())
        for (const QString& r : SmtpSink::recipients(dump))
            out.insert(r);
    return out;
}

} // namespace

class TestCliSend : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() {
        if (!SmtpSink::available()) {
            if (SmtpSink::mustExist()) QFAIL("smtp-sink is not installed");
            QSKIP("smtp-sink is not installed");
        }
    }

    void killedSendLosesNothingAndRepeatsNothingFlagged() {
        SmtpSink sink;
        QVERIFY(sink.start());
        Folder folder;
        QVERIFY(folder.prepare(sink.port()));

        // First send, killed once a random share of the list has gone out.
        const int killAfter = 100 + int(QDateTime::currentMSecsSinceEpoch() % 1500);
        QProcess first;
        first.start(SENDORA_CLI, {"--data-dir", folder.dir.path(), "send", "1"});
        QVERIFY(first.waitForStarted());
        QElapsedTimer clock;
        clock.start();
        while (sink.dumpCount() < killAfter && first.state() == QProcess::Running && clock.elapsed() < 60000)
            QTest::qWait(2);
        QVERIFY2(first.state() == QProcess::Running, "the send ended before it could be killed");
        first.kill();
        first.waitForFinished();

        const QSet<QString> flaggedBefore = folder.flagged();
        QTest::qWait(200); // smtp-sink may still be writing the last dump
        const QSet<QString> firstRun = delivered(sink);
        QVERIFY(!flaggedBefore.isEmpty());
        for (const QString& a : flaggedBefore)
            QVERIFY2(firstRun.contains(a), qPrintable(a + " flagged but never delivered"));
        // At most the message in flight when the process died is delivered but unflagged.
        QVERIFY2(
            firstRun.size() - flaggedBefore.size() <= 1,
            qPrintable(
                QStringLiteral("%1 delivered, %2 flagged").arg(firstRun.size()).arg(flaggedBefore.size())));

        // Second send: everything left, nothing flagged before.
        sink.clearDumps();
        QProcess second;
        second.start(SENDORA_CLI, {"--data-dir", folder.dir.path(), "send", "1"});
        QVERIFY(second.waitForFinished(120000));
        QCOMPARE(second.exitCode(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(sink.dumpCount(), kRecipients - flaggedBefore.size(), 10000);
        const QSet<QString> secondRun = delivered(sink);
        QVERIFY(!secondRun.intersects(flaggedBefore));
        QCOMPARE((firstRun | secondRun).size(), kRecipients);
        QCOMPARE(folder.flagged().size(), kRecipients);
    }

    // SIGTERM ends the send like Stop: the message in flight is finished and flagged, the
    // counts are stored, the log ends its section, and the exit code says why it ended.
    void sigtermStopsAfterTheMessageInFlight() {
        SmtpSink sink;
        QVERIFY(sink.start());
        Folder folder;
        QVERIFY(folder.prepare(sink.port()));
        QProcess send;
        send.start(SENDORA_CLI, {"--data-dir", folder.dir.path(), "send", "1"});
        QVERIFY(send.waitForStarted());
        QVERIFY(QTest::qWaitFor([&] { return sink.dumpCount() >= 50 || send.state() != QProcess::Running; },
                                60000));
        QVERIFY2(send.state() == QProcess::Running, "the send ended before the signal");
        send.terminate();
        QVERIFY(send.waitForFinished(20000));
        QCOMPARE(send.exitStatus(), QProcess::NormalExit);
        QCOMPARE(send.exitCode(), 128 + SIGTERM);
        QTest::qWait(200); // smtp-sink may still be writing the last dump

        const QSet<QString> flagged = folder.flagged();
        QVERIFY(flagged.size() < kRecipients);
        QCOMPARE(delivered(sink), flagged);
        auto db = jet::Database::open(folder.sdr(), jet::Database::OpenMode::ReadOnly);
        QCOMPARE(db->openRecordset("SELECT SentCount FROM MailEvent")->value(0).toInt(), flagged.size());
        QFile log(folder.dir.filePath("sendlog.log"));
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromUtf8(log.readAll()).split("\r\n");
        QVERIFY(lines.contains("P: Stopping"));
        QVERIFY(lines.lastIndexOf("*** MAILING ENDS HERE ") > lines.lastIndexOf("*** MAILING STARTS HERE "));
    }

    // A send log that cannot be written stops the send before it connects, with its own code.
    void unwritableSendLogRefusesTheSend() {
        SmtpSink sink;
        QVERIFY(sink.start());
        Folder folder;
        QVERIFY(folder.prepare(sink.port()));
        QVERIFY(QDir().mkpath(folder.dir.filePath("sendlog.log")));
        QProcess send;
        send.start(SENDORA_CLI, {"--data-dir", folder.dir.path(), "send", "1"});
        QVERIFY(send.waitForFinished(30000));
        QCOMPARE(send.exitCode(), 3);
        const QString err = QString::fromUtf8(send.readAllStandardError());
        QVERIFY2(err.contains("Mailing Not Started") && err.contains(folder.dir.filePath("sendlog.log")),
                 qPrintable(err));
        QCOMPARE(sink.dumpCount(), 0);
        QVERIFY(folder.flagged().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestCliSend)
#include "tst_cli_send.moc"
