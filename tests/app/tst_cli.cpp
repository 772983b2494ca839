// sendora-cli as a user runs it: start-up without a window, its messages and exit codes.

#include "core/Version.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

class TestCli : public QObject {
    Q_OBJECT

    struct Run {
        int code = -1;
        QString out;
        QString err;
    };
    static Run run(const QStringList& args,
                   const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment()) {
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(SENDORA_CLI), args);
        p.closeWriteChannel();
        if (!p.waitForFinished(60000)) return {};
        return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()),
                QString::fromUtf8(p.readAllStandardError())};
    }

private Q_SLOTS:
    void version() {
        const Run r = run({"--version"});
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out, "Sendora " + sendora::GetVersionText(true) + "\n");
    }

    void initCreatesTheDataFolderAndIsQuietTheSecondTime() {
        QTemporaryDir dir;
        const Run first = run({"--data-dir", dir.path(), "init"});
        QCOMPARE(first.code, 0);
        QVERIFY2(first.err.contains(
                     "[question] Sendora: Sendora is now creating the main database.\nWould you like it "
                     "to create sample data that you can view, edit and send to?\n  -> Yes\n"),
                 qPrintable(first.err));
        QVERIFY(QFileInfo::exists(dir.filePath("system/Sendora.sdr")));
        QVERIFY(QFileInfo::exists(dir.filePath("AddressLists/Sample - Formal Letter.mdb")));

        const Run second = run({"--data-dir", dir.path(), "init"});
        QCOMPARE(second.code, 0);
        QVERIFY2(!second.err.contains('['), qPrintable(second.err));
    }

    void noAnswersNoAndHomeComesFromTheEnvironment() {
        QTemporaryDir dir;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("SENDORA_HOME", dir.path());
        const Run r = run({"--no", "init"}, env);
        QCOMPARE(r.code, 0);
        QVERIFY(r.err.contains("  -> No\n"));
        QVERIFY(QFileInfo::exists(dir.filePath("AddressLists/Global Remove List.mdb")));
        QVERIFY(!QFileInfo::exists(dir.filePath("AddressLists/Sample - Formal Letter.mdb")));
    }

    void damagedSystemDatabaseFailsClearly() {
        QTemporaryDir dir;
        QVERIFY(QDir().mkpath(dir.filePath("system")));
        QFile f(dir.filePath("system/Sendora.sdr"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("garbage, not a database");
        f.close();
        const Run r = run({"--data-dir", dir.path(), "init"});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains("[exclamation] Sendora: Error 3343 in SDRVerify"), qPrintable(r.err));
        QVERIFY(r.err.contains("sendora-cli: start-up ended: the system database"));
        QCOMPARE(QFileInfo(dir.filePath("system/Sendora.sdr")).size(), qint64(23));
    }

    void badUsage() {
        QCOMPARE(run({}).code, 2);
        QCOMPARE(run({"--frobnicate", "init"}).code, 2);
        QCOMPARE(run({"no-such-command"}).code, 2);
        QCOMPARE(run({"--data-dir"}).code, 2);
    }
};

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
