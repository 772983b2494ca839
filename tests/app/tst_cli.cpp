// sendora-cli as a user runs it: start-up without a window, its messages and exit codes.

#include "components/jet/Jet.h"
#include "core/IniFile.h"
#include "core/Version.h"
#include "support/DbQuery.h"
#include "support/SmtpSink.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <sqlite3.h>
#include <tuple>
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
                   const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment(),
                   const QByteArray& input = {}) {
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(SENDORA_CLI), args);
        p.write(input);
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

    // Control characters in what the user checks or scans never reach the terminal raw.
    void controlCharactersAreEscaped() {
        const Run check = run({"check-address", "a\x1b[31m@x.org", "x\n\ny@z.test"});
        QCOMPARE(check.code, 0);
        QCOMPARE(check.out, QStringLiteral("a\\x1b[31m@x.org\tinvalid\nx\\n\\ny@z.test\tvalid\n"));
        const Run extract = run({"extract"}, QProcessEnvironment::systemEnvironment(),
                                "Ann \x1b]0;owned\x07 <ann\x7f@x.org>\n");
        QCOMPARE(extract.code, 0);
        QVERIFY2(extract.out.contains("\\x7f") || extract.out.contains("\\x1b"), qPrintable(extract.out));
        for (const QString& text : {extract.out, extract.err})
            for (const QChar c : text)
                QVERIFY2(c == u'\t' || c == u'\n' || (c.unicode() >= 0x20 && c.unicode() != 0x7f),
                         qPrintable(text));
    }

    // A recipient whose address holds control bytes is a failure at the SMTP side: not
    // delivered under a stripped address, not flagged, named in the send log. A value that
    // imitates a part boundary stays inside its part. compose works for an address the
    // list lacks.
    void hostileListDataStaysData() {
        using sendora::test::SmtpSink;
        if (!SmtpSink::available()) {
            if (SmtpSink::mustExist()) QFAIL("smtp-sink is not installed");
            QSKIP("smtp-sink is not installed");
        }
        sendora::test::SmtpSink sink;
        QVERIFY(sink.start());
        QTemporaryDir dir;
        QCOMPARE(run({"--data-dir", dir.path(), "--no", "init"}).code, 0);
        sendora::IniFile(dir.filePath("Sendora.ini"))
            .write("ApplicationDefaults", "SMTPPort", QString::number(sink.port()));
        {
            auto l = jet::Database::create(dir.filePath("AddressLists/Hostile.mdb"));
            l->execute(
                "CREATE TABLE AddressList(EAddress TEXT(255) NOT NULL CONSTRAINT EAddress PRIMARY KEY, "
                "FirstName TEXT(255), LastName TEXT(255), Title TEXT(255), Sent TEXT(255), [Date] "
                "TEXT(255), Keyword1 TEXT(255), Keyword2 TEXT(255), Company TEXT(255))",
                true);
            const QString evil = "Evil\r\n\r\n--KLXAlternativeMessage\r\nContent-Type: text/html\r\n\r\n<h1>"
                                 "INJECTED</h1>\r\n--KLXAlternativeMessage--";
            for (const QString& a : {QStringLiteral("x\n\ny@z.test"), QStringLiteral("ok@z.test")})
                l->execute(QStringLiteral("INSERT INTO AddressList (EAddress, Company) VALUES(%1, %2)")
                               .arg(jet::quote(a), jet::quote(evil)));
            l->close();
            auto db = jet::Database::open(dir.filePath("system/Sendora.sdr"));
            db->execute("INSERT INTO List([listname],[listpath],[listdescription]) "
                        "values(\"Hostile\",\"Hostile.mdb\",\"\")");
            db->execute("INSERT INTO Message (MessageName, Subject, SendType, MessageText, HTMLText) "
                        "VALUES(\"M\",\"S\",2,\"Hi [[Company]]\",\"<body>[[Company]]</body>\")");
            db->execute("UPDATE Profile SET SmtpServer = \"127.0.0.1\", [From] = \"me@sender.test\", "
                        "ReplyTo = \"\", bFlagSends = -1");
            db->execute("INSERT INTO Sendora VALUES(\"G\",\"\")");
            db->execute("INSERT INTO MailEvent (SendoraName, ListName, MessageName, Profile) "
                        "VALUES(\"G\",\"Hostile\",\"M\",\"Default Delivery Options\")");
        }
        const Run send = run({"--data-dir", dir.path(), "send", "1"});
        QVERIFY2(send.err.contains("To: x\n\ny@z.test"), qPrintable(send.err));
        QTRY_COMPARE_WITH_TIMEOUT(sink.dumpCount(), 1, 5000);
        const QByteArray dump = sink.dumps().first();
        QCOMPARE(sendora::test::SmtpSink::recipients(dump), QStringList{"ok@z.test"});
        QByteArray lines = dump;
        lines.replace("\r\n", "\n");
        QCOMPARE(lines.count("\n--KLXAlternativeMessage\n"), 2);
        QCOMPARE(lines.count("\n--KLXAlternativeMessage--"), 1);
        {
            auto l = jet::Database::open(dir.filePath("AddressLists/Hostile.mdb"),
                                         jet::Database::OpenMode::ReadOnly);
            auto rs = l->openRecordset("SELECT EAddress FROM AddressList WHERE Sent = \"SENT\"");
            QVERIFY(!rs->eof());
            QCOMPARE(rs->value(0).toString(), QStringLiteral("ok@z.test"));
            rs->moveNext();
            QVERIFY(rs->eof());
        }
        QFile log(dir.filePath("sendlog.log"));
        QVERIFY(log.open(QIODevice::ReadOnly));
        QVERIFY(log.readAll().contains("P: Recipient refused, not sent: \"x\\n\\ny@z.test\""));

        const Run compose = run({"--data-dir", dir.path(), "compose", "1", "--to", "absent@z.test"});
        QCOMPARE(compose.code, 0);
        QVERIFY2(compose.out.contains("\r\nTo: \"absent@z.test\" <absent@z.test>\r\n"),
                 qPrintable(compose.out));
        QVERIFY(compose.out.contains("Content-Type: text/plain\r\n\r\nHi \r\n"));
        QVERIFY(compose.err.contains("absent@z.test is not in the list Hostile"));
    }

    // list: every operation on catalogued lists, printing the new file or the message and 1;
    // a clause that would write is refused and changes nothing; values stay data.
    void listCommands() {
        QTemporaryDir dir;
        QCOMPARE(run({"--data-dir", dir.path(), "init"}).code, 0);
        auto list = [&](QStringList args) {
            return run(QStringList{"--data-dir", dir.path(), "list"} + args);
        };
        const QString sample = "Sample - Formal Letter";
        const QString samplePath = dir.filePath("AddressLists/" + sample + ".mdb");
        Run r = list({"show", sample, "--limit", "2"});
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out.count('\n'), 3);
        QVERIFY(r.out.startsWith("EAddress\tFirstName\tLastName\t"));
        QCOMPARE(list({"show", sample, "--domain", "harbourlight.invalid"}).out.count('\n'), 2);
        QCOMPARE(list({"show", sample, "--domain", "invalid"}).out.count('\n'), 1);

        r = list({"select", sample, "--where", "WHERE FirstName IN (\"Ada\", \"bruno\")", "--save", "Two"});
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out, dir.filePath("AddressLists/Two.mdb") + "\n");
        jet::Database::open(dir.filePath("AddressLists/Two.mdb"))
            ->execute(
                "INSERT INTO AddressList (EAddress, FirstName) VALUES (\"Q@x.test\", \"a\"\"b\tc'[*]\")");
        r = list({"show", "two", "--where", "WHERE FirstName = \"a\"\"b\tc'[*]\""});
        QCOMPARE(r.out.section('\n', 1, 1).section('\t', 0, 1), "Q@x.test\ta\"b\\tc'[*]");

        r = list({"clean", sample, "Two"});
        QCOMPARE(r.code, 0);
        QCOMPARE(sendora::test::scalar(r.out.trimmed(), "SELECT Count(*) FROM AddressList").toInt(), 3);
        r = list({"duplicates", "TWO", sample});
        QCOMPARE(sendora::test::scalar(r.out.trimmed(), "SELECT Count(*) FROM AddressList").toInt(), 2);
        r = list({"merge", sample, "Two", "--save", "Merged"});
        QCOMPARE(r.code, 0);
        QCOMPARE(sendora::test::scalar(r.out.trimmed(), "SELECT Count(*) FROM AddressList").toInt(), 6);
        r = run({"--data-dir", dir.path(), "--no", "list", "merge", "Two", "Two", "--save", "merged"});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains("This name already exists, would you like to overwrite it?\n  -> No"),
                 qPrintable(r.err));
        r = list({"clean", "Two", "Two"});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains("[information] Sendora: Clean returned no results.\n"), qPrintable(r.err));
        QCOMPARE(list({"merge", sample, "Two", "--save", "a:b"}).code, 2);

        for (const char* clause :
             {"WHERE 1=1; DELETE * FROM AddressList", "WHERE EAddress <> \"\"; DROP TABLE AddressList"}) {
            r = list({"select", sample, "--where", clause});
            QCOMPARE(r.code, 1);
            QVERIFY2(r.err.contains("may only select records"), qPrintable(r.err));
            QCOMPARE(list({"show", sample, "--where", clause}).code, 1);
        }
        QCOMPARE(sendora::test::scalar(samplePath, "SELECT Count(*) FROM AddressList").toInt(), 5);

        const QString csv = dir.filePath("out.csv");
        r = list({"export", sample, csv});
        QCOMPARE(r.code, 0);
        QFile f(csv);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll().count("\r\n"), 6);
        f.close();
        QCOMPARE(run({"--data-dir", dir.path(), "--no", "list", "export", sample, csv}).code, 1);

        QCOMPARE(list({"add-column", "Two", "Region"}).code, 0);
        QVERIFY(jet::Database::open(dir.filePath("AddressLists/Two.mdb"))->hasField("AddressList", "Region"));
        r = list({"add-column", "Two", " id "});
        QCOMPARE(r.code, 1);
        QVERIFY(r.err.contains("ID is a system column used by Sendora. Please choose another column name."));
        QCOMPARE(list({"remove-column", "Two", "Region"}).code, 0);
        QCOMPARE(list({"remove-column", "Two", "Sent"}).code, 1);
        QCOMPARE(list({"show", "Nowhere"}).code, 2);
    }

    // list replace: inside cells or whole cells, the empty cells for an empty search, values as
    // data, the question answered by --no changing nothing.
    void listReplace() {
        QTemporaryDir dir;
        QCOMPARE(run({"--data-dir", dir.path(), "init"}).code, 0);
        const QString sample = "Sample - Formal Letter";
        const QString file = dir.filePath("AddressLists/" + sample + ".mdb");
        auto replace = [&](QStringList args, bool yes = true) {
            return run(
                QStringList{"--data-dir", dir.path(), yes ? "--yes" : "--no", "list", "replace", sample} +
                args);
        };
        auto count = [&](const QString& where) {
            return sendora::test::scalar(file, "SELECT Count(*) FROM AddressList WHERE " + where).toInt();
        };
        const int atHarbour = count("EAddress Like \"*@harbourlight.invalid\"");
        QVERIFY(atHarbour > 0);
        Run r = replace(
            {"--column", "EAddress", "--find", "@HARBOURLIGHT.invalid", "--replace", "@example.test"});
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out, QString::number(atHarbour) + "\n");
        QCOMPARE(count("EAddress Like \"*@example.test\""), atHarbour);

        r = replace({"--column", "Sent", "--find", "", "--replace", "none", "--exact"});
        QCOMPARE(r.out, "5\n");
        r = replace({"--column", "Sent", "--find", "NONE", "--replace", "x\"; DROP TABLE AddressList; --'[*]",
                     "--exact"});
        QCOMPARE(r.out, "5\n");
        QCOMPARE(count("Sent = \"x\"\"; DROP TABLE AddressList; --'[*]\""), 5);
        r = replace({"--column", "Sent", "--find", "[*]", "--replace", "?", "--exact"});
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out, "0\n");
        QVERIFY2(r.err.contains("Text not found."), qPrintable(r.err));

        r = replace({"--column", "Sent", "--find", "DROP", "--replace", "keep"}, false);
        QCOMPARE(r.code, 1);
        QVERIFY2(
            r.err.contains("You are about to replace 5 value(s) with the new selected value.  Are you sure?"),
            qPrintable(r.err));
        QCOMPARE(count("Sent Like \"*DROP*\""), 5);
        QCOMPARE(replace({"--column", "Sent", "--find", "x"}).code, 2);
        QCOMPARE(replace({"--column", "No such", "--find", "x", "--replace", "y"}).code, 1);
    }

    void scan() {
        QTemporaryDir dir;
        QCOMPARE(run({"--data-dir", dir.path(), "init"}).code, 0);
        QFile mail(dir.filePath("in.mbx"));
        QVERIFY(mail.open(QIODevice::WriteOnly));
        mail.write(
            "From: Ann Lee <ann@x.test>\nTo: bob@x.test, cy@x.test\nBcc: di@x.test\n\nbody ed@x.test\n");
        mail.close();
        auto scan = [&](QStringList args) {
            return run(QStringList{"--data-dir", dir.path(), "scan"} + args + QStringList{mail.fileName()});
        };
        Run r = scan({"--type", "mailbox"});
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out.section('\t', 0, 0), QString("5"));
        const QString temp = r.out.section('\t', 1).trimmed();
        QVERIFY2(temp.startsWith(dir.filePath("temp/NewMailingList")), qPrintable(temp));
        QCOMPARE(
            sendora::test::scalar(temp, "SELECT FirstName FROM AddressList WHERE EAddress = \"ann@x.test\""),
            QVariant("Ann"));
        QCOMPARE(
            scan({"--type", "mailbox", "--mode", "lines", "--bcc", "--no-names"}).out.section('\t', 0, 0),
            QString("1"));
        QCOMPARE(scan({"--type", "mailbox", "--mode", "msg", "--text", "to:"}).out.section('\t', 0, 0),
                 QString("2"));
        r = scan({"--save", "Harvest"});
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out, "5\t" + dir.filePath("AddressLists/Harvest.mdb") + "\n");
        QCOMPARE(run({"--data-dir", dir.path(), "list", "show", "Harvest"}).out.count('\n'), 6);
        // Nothing found is a failure with the reason on stderr; bad options are usage errors.
        r = scan({"--type", "mailbox", "--mode", "lines", "--cc"});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains("No addresses were extracted from the file"), qPrintable(r.err));
        QVERIFY(!r.err.contains('\r'));
        QCOMPARE(scan({"--mode", "msg"}).code, 2);
        QCOMPARE(scan({"--type", "text", "--mode", "lines"}).code, 2);
        QCOMPARE(scan({"--save", "bad:name"}).code, 2);
    }

    // import on a CSV file and a dBASE III file written here byte by byte.
    void importCommands() {
        QTemporaryDir dir;
        QCOMPARE(run({"--data-dir", dir.path(), "init"}).code, 0);
        QFile csv(dir.filePath("people.csv"));
        QVERIFY(csv.open(QIODevice::WriteOnly));
        csv.write("Email,First,Last,City\r\n ann@x.test ,Ann,Lee,Oslo\r\nnot mail,Bo,Ray,Rome\r\n"
                  "ANN@x.test,Twin,Lee,Oslo\r\n\"cy @x.test\",Cy,\"Doe, Jr\",Nice\r\n");
        csv.close();
        Run r = run({"--data-dir", dir.path(), "import", "tables", csv.fileName()});
        if (r.err.contains("Not Supported")) QSKIP("the text reader is not built in");
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out, "people.csv\n\tEmail\tText\n\tFirst\tText\n\tLast\tText\n\tCity\tText\n");
        r = run({"--data-dir", dir.path(), "import", "run", csv.fileName(), "--table", "people.csv", "--map",
                 "EAddress=Email,lastname=Last", "--extra", "City"});
        QCOMPARE(r.code, 0);
        const QString temp = dir.filePath("temp/NewMailingList0.mdb");
        QCOMPARE(r.out, "imported\t2\nrefused\t1\tnot a valid e-mail address; kept as Unknown<n> in " +
                            dir.filePath("temp/NewMailingList0(No Addresses).mdb") +
                            "\nrefused\t1\trepeats an earlier address\nlist\t" + temp + "\n");
        QCOMPARE(
            sendora::test::scalar(temp, "SELECT LastName FROM AddressList WHERE EAddress = \"cy@x.test\""),
            QVariant("Doe, Jr"));
        QCOMPARE(sendora::test::scalar(temp, "SELECT City FROM AddressList WHERE EAddress = \"ann@x.test\""),
                 QVariant("Oslo"));
        r = run({"--data-dir", dir.path(), "import", "run", csv.fileName(), "--table", "people.csv", "--map",
                 "EAddress=Email", "--where", "City = \"Oslo\"", "--save", "Oslo"});
        QCOMPARE(r.code, 0);
        QVERIFY2(r.out.startsWith("imported\t1\nrefused\t1\trepeats"), qPrintable(r.out));
        QVERIFY(r.out.endsWith("list\t" + dir.filePath("AddressLists/Oslo.mdb") + "\n"));
        QCOMPARE(run({"--data-dir", dir.path(), "list", "show", "Oslo"}).out.count('\n'), 2);

        // dBASE III: two character fields, three records, the last one deleted.
        QByteArray dbf(32, '\0');
        dbf[0] = 0x03;
        dbf[4] = 3;
        dbf[8] = char(32 + 2 * 32 + 1);
        dbf[10] = char(1 + 30 + 10);
        for (const auto& [name, size] : {std::pair{"EMAIL", 30}, std::pair{"NAME", 10}}) {
            QByteArray field(32, '\0');
            field.replace(0, int(qstrlen(name)), name);
            field[11] = 'C';
            field[16] = char(size);
            dbf += field;
        }
        dbf += '\r';
        for (const auto& [deleted, mail, name] :
             {std::tuple{' ', "dee@x.test", "Dee"}, std::tuple{' ', "nobody", "Ed"},
              std::tuple{'*', "gone@x.test", "Gone"}})
            dbf +=
                deleted + QByteArray(mail).leftJustified(30, ' ') + QByteArray(name).leftJustified(10, ' ');
        dbf += '\x1a';
        QFile dbase(dir.filePath("contacts.dbf"));
        QVERIFY(dbase.open(QIODevice::WriteOnly));
        dbase.write(dbf);
        dbase.close();
        r = run({"--data-dir", dir.path(), "import", "run", dbase.fileName(), "--kind", "dbase", "--table",
                 "contacts", "--map", "EAddress=EMAIL,FirstName=NAME"});
        if (r.err.contains("Not Supported")) QSKIP("the dBASE reader is not built in");
        QCOMPARE(r.code, 0);
        QVERIFY2(r.out.startsWith("imported\t1\nrefused\t1\tnot a valid"), qPrintable(r.out));
        // Bad arguments are usage errors; a missing table is a failure.
        QCOMPARE(
            run({"--data-dir", dir.path(), "import", "run", csv.fileName(), "--table", "people.csv"}).code,
            2);
        QCOMPARE(run({"--data-dir", dir.path(), "import", "run", csv.fileName(), "--table", "people.csv",
                      "--map", "Surname=Last"})
                     .code,
                 2);
        QCOMPARE(run({"--data-dir", dir.path(), "import", "tables", dir.filePath("x.unknown")}).code, 2);
        QCOMPARE(run({"--data-dir", dir.path(), "import", "run", csv.fileName(), "--table", "nothere",
                      "--map", "EAddress=Email"})
                     .code,
                 1);

        // A connection string through ODBC, here the SQLite driver on a file made for it.
        const QString driver = "/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so";
        if (!QFileInfo::exists(driver)) QSKIP("the SQLite ODBC driver is not installed");
        sqlite3* db = nullptr;
        QCOMPARE(sqlite3_open(qPrintable(dir.filePath("odbc.db")), &db), SQLITE_OK);
        sqlite3_exec(db,
                     "CREATE TABLE people(Email TEXT, Name TEXT); INSERT INTO people VALUES (' eve@x.test', "
                     "'Eve'), ('eve@x.test', 'Twin')",
                     nullptr, nullptr, nullptr);
        sqlite3_close(db);
        r = run({"--data-dir", dir.path(), "import", "run",
                 "Driver=" + driver + ";Database=" + dir.filePath("odbc.db"), "--kind", "odbc", "--table",
                 "people", "--map", "EAddress=Email,FirstName=Name"});
        QCOMPARE(r.code, 0);
        QVERIFY2(r.out.startsWith("imported\t1\nrefused\t1\trepeats"), qPrintable(r.out));
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
