// sendora-cli as a user runs it: start-up without a window, its messages and exit codes.

#include "components/jet/Jet.h"
#include "core/Version.h"
#include "support/DbQuery.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <sqlite3.h>
#include <unistd.h>

namespace {

// A small tmpfs over a folder: a disk that fills up, or one that is read-only. Only root can
// mount; elsewhere the tests that need a full disk are skipped.
struct Tmpfs {
    QString dir;
    bool mounted = false;
    Tmpfs(const QString& folder, const QString& options) : dir(folder) {
        if (::geteuid() == 0)
            mounted = QProcess::execute("mount", {"-t", "tmpfs", "-o", options, "tmpfs", dir}) == 0;
    }
    bool remount(const QString& options) {
        return QProcess::execute("mount", {"-o", "remount," + options, dir}) == 0;
    }
    ~Tmpfs() {
        if (mounted) QProcess::execute("umount", {dir});
    }
};

} // namespace

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

    void unwritableFolderIsNotASecondInstance() {
        QTemporaryDir dir;
        const QString data = dir.filePath("data");
        QVERIFY(QDir().mkpath(data));
        Tmpfs ro(data, "ro,size=1m");
        if (!ro.mounted) {
            if (::geteuid() == 0) QSKIP("cannot mount a read-only folder here");
            QVERIFY(QFile::setPermissions(data, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
        }
        const Run r = run({"--data-dir", data, "init"});
        QCOMPARE(r.code, 1);
        QVERIFY2(!r.err.contains("instances"), qPrintable(r.err));
        QVERIFY2(r.err.contains("Sendora cannot write to its folder " + data + "/"), qPrintable(r.err));
        QVERIFY2(r.err.contains("sendora-cli: start-up ended: the folder " + data + "/ is not writable: "),
                 qPrintable(r.err));
        if (!ro.mounted)
            QFile::setPermissions(data,
                                  QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }

    void failedFirstInitLeavesNoHalfMadeDatabase() {
        QTemporaryDir dir;
        const QString data = dir.filePath("data");
        QVERIFY(QDir().mkpath(data));
        // Room for the folders and the settings, not for the system database with its sample data.
        Tmpfs disk(data, "size=96k");
        if (!disk.mounted) QSKIP("needs a small tmpfs (root)");
        const Run full = run({"--data-dir", data, "init"});
        QVERIFY2(full.code != 0, qPrintable(full.err));
        const QString sdr = data + "/system/Sendora.sdr";
        QVERIFY2(!QFileInfo::exists(sdr), qPrintable(full.err));
        QVERIFY(QDir(data + "/system").entryList(QDir::Files).isEmpty());

        QVERIFY(disk.remount("size=16m"));
        const Run next = run({"--data-dir", data, "init"});
        QCOMPARE(next.code, 0);
        QVERIFY2(next.err.contains("Would you like it to create sample data"), qPrintable(next.err));
        using sendora::test::scalar;
        QCOMPARE(scalar(sdr, "SELECT Count(*) FROM Profile WHERE ProfileName = \"Default Delivery Options\"")
                     .toInt(),
                 1);
        QCOMPARE(scalar(sdr, "SELECT Count(*) FROM MailEvent").toInt(), 1);
        QCOMPARE(scalar(sdr, "SELECT Count(*) FROM Message").toInt(), 1);
    }

    void sendAndComposeNameADamagedOrLockedSystemDatabase() {
        QTemporaryDir dir;
        QCOMPARE(run({"--data-dir", dir.path(), "init"}).code, 0);
        const QString sdr = dir.filePath("system/Sendora.sdr");
        auto expectProblem = [&](const QString& what) {
            for (const QStringList& args :
                 {QStringList{"send", "1"}, QStringList{"compose", "1", "--to", "a@b.test"}}) {
                const Run r = run(QStringList{"--data-dir", dir.path()} + args);
                QVERIFY2(r.code != 0, qPrintable(r.err));
                QVERIFY2(!r.err.contains("there is no mailing"), qPrintable(r.err));
                QVERIFY2(
                    r.err.contains("sendora-cli: the system database " + sdr + " cannot be read " + what),
                    qPrintable(r.err));
            }
        };
        {
            // Another program holds the file under an exclusive lock.
            auto db = jet::Database::open(sdr);
            QCOMPARE(sqlite3_exec(db->handle(),
                                  "PRAGMA locking_mode=EXCLUSIVE; BEGIN EXCLUSIVE; UPDATE MailEvent SET "
                                  "SentCount = SentCount;",
                                  nullptr, nullptr, nullptr),
                     SQLITE_OK);
            expectProblem("(error 3260)");
            sqlite3_exec(db->handle(), "ROLLBACK", nullptr, nullptr, nullptr);
        }
        QVERIFY(jet::removeDatabase(sdr));
        QFile f(sdr);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(8192, 'x'));
        f.close();
        expectProblem("(error 3343)");
    }

    void badUsage() {
        QCOMPARE(run({}).code, 2);
        QCOMPARE(run({"--frobnicate", "init"}).code, 2);
        QCOMPARE(run({"no-such-command"}).code, 2);
        QCOMPARE(run({"--data-dir"}).code, 2);
        QCOMPARE(run({"send", "1", "--timeout-retries", "many"}).code, 2);
        QCOMPARE(run({"send", "1", "--timeout-retries=-1"}).code, 2);
    }
};

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
