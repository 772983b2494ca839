// sendora-cli pop against a real Dovecot POP3 server: accounts, the three modes, each list
// statement, deletion only after the lists are updated, and the exit codes.

#include "components/jet/Jet.h"
#include "support/DbQuery.h"
#include "support/DovecotPop.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using sendora::test::DovecotPop;

namespace {

struct Run {
    int code = -1;
    QString out;
    QString err;
};

QByteArray corpus(const char* name) {
    QFile f(QFINDTESTDATA(QStringLiteral("../pop/bounces/") + QLatin1String(name)));
    if (!f.open(QIODevice::ReadOnly)) qFatal("missing corpus file %s", name);
    return f.readAll();
}

QStringList addresses(const QString& file, const QString& where = {}) {
    QStringList out;
    auto db = jet::Database::open(file, jet::Database::OpenMode::ReadOnly);
    for (auto rs = db->openRecordset("SELECT EAddress FROM AddressList " + where + " ORDER BY EAddress");
         !rs->eof(); rs->moveNext())
        out << rs->value(0).toString();
    return out;
}

} // namespace

class TestCliPop : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

    Run run(const QStringList& args, const QByteArray& input = {}) {
        QProcess p;
        p.start(QStringLiteral(SENDORA_CLI), QStringList{"--data-dir", m_dir.path()} + args);
        p.write(input);
        p.closeWriteChannel();
        if (!p.waitForFinished(60000)) return {};
        return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()),
                QString::fromUtf8(p.readAllStandardError())};
    }
    QString listFile(const QString& name) const { return m_dir.filePath("AddressLists/" + name + ".mdb"); }
    void makeList(const QString& name, const QStringList& rows) {
        auto db = jet::Database::create(listFile(name));
        db->execute(
            "CREATE TABLE AddressList(EAddress TEXT(255) NOT NULL CONSTRAINT EAddress PRIMARY KEY, FirstName "
            "TEXT(255), LastName TEXT(255), Title TEXT(255), Sent TEXT(255), [Date] TEXT(255), Keyword1 "
            "TEXT(255), Keyword2 TEXT(255));");
        for (const QString& a : rows)
            db->execute("INSERT INTO AddressList(EAddress) VALUES(" + jet::quote(a) + ")");
        jet::Database::open(m_dir.filePath("system/Sendora.sdr"))
            ->execute("INSERT INTO List([listname],[listpath],[listdescription]) values(" + jet::quote(name) +
                      "," + jet::quote(name + ".mdb") + ",\"\")");
    }

private Q_SLOTS:
    void popRuns() {
        if (!DovecotPop::available()) {
            if (DovecotPop::mustExist()) QFAIL("dovecot is not installed");
            QSKIP("dovecot is not installed");
        }
        DovecotPop pop;
        QVERIFY2(pop.start(), qPrintable(pop.log()));
        QCOMPARE(run({"--no", "init"}).code, 0);
        makeList("A", {"gone@postfix-target.example", "keep@x.example"});
        makeList("B", {"old@x.example"});
        QDir().mkpath(m_dir.filePath("Search Files"));
        QFile phrases(m_dir.filePath("Search Files/Requests.dat"));
        QVERIFY(phrases.open(QIODevice::WriteOnly));
        phrases.write("#TRUE#\r\n\"remove\",#TRUE#\r\n\"BN_EOF\",#FALSE#\r\n");
        phrases.close();

        Run r = run({"pop", "account", "add", "Local", "--host", "127.0.0.1", "--user", pop.userName(),
                     "--port", QString::number(pop.port()), "--password-stdin"},
                    pop.password().toUtf8() + "\n");
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out, QStringLiteral("POP account 'Local' added (127.0.0.1:%1, starttls-if-offered)\n")
                            .arg(pop.port()));
        QCOMPARE(run({"pop", "account", "add", "local", "--host", "h", "--user", "u"}).code, 1);
        r = run({"pop", "account", "add", "Wrong", "--host", "127.0.0.1", "--user", pop.userName(), "--port",
                 QString::number(pop.port()), "--password-stdin"},
                "nope\n");
        QCOMPARE(r.code, 0);

        pop.addMessage(corpus("postfix.eml"));
        pop.addMessage(corpus("qmail.eml"));
        pop.addMessage(
            "From: \"Cleo Park\" <cleo@readers.example>\nTo: news@ours.example\nSubject: please remove "
            "me\n\nThanks.\n");
        pop.addMessage("From: bob@friends.example\nTo: news@ours.example\nSubject: Lunch\n\nSee you.\n");

        // Bad arguments, an unknown account and a refused login change nothing.
        QCOMPARE(run({"pop", "run", "Local", "--mode", "bounce"}).code, 2);
        QCOMPARE(run({"pop", "run", "Local", "--mode", "subscribe", "--phrases", "Nope"}).code, 2);
        r = run({"pop", "run", "Nobody", "--mode", "import"});
        QCOMPARE(r.code, 2);
        QVERIFY(r.err.contains("Can't find the Account"));
        r = run({"pop", "run", "Wrong", "--mode", "import", "--delete"});
        QCOMPARE(r.code, 1);
        QVERIFY(r.err.contains("Password or Username failed, check both."));
        QCOMPARE(pop.messageCount(), 4);

        // The remove statement and the Global Remove List's add-with-date, then deletion.
        r = run({"pop", "run", "Local", "--mode", "returned", "--delete", "--remove-from", "A",
                 "--global-remove"});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QCOMPARE(r.out,
                 QStringLiteral("Messages: 4\nAddresses found: 2\nUpdated: A (added 0, removed 1)\n"
                                "Updated: Global Remove List (added 2, removed 0)\nList: %1\nDeleted: 2\n")
                     .arg(r.out.section("List: ", 1).section('\n', 0, 0)));
        QCOMPARE(addresses(listFile("A")), QStringList{"keep@x.example"});
        QCOMPARE(addresses(listFile("Global Remove List"), "WHERE [Date] > \"\""),
                 (QStringList{"gone@postfix-target.example", "lost@qmail-target.example"}));
        QCOMPARE(pop.messageCount(), 2);

        // The add statement, and the new list saved under a name.
        r = run({"pop", "run", "Local", "--mode", "subscribe", "--phrases", "Requests", "--add-to", "B",
                 "--save", "Requests"});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QCOMPARE(r.out, QStringLiteral("Messages: 2\nAddresses found: 1\nUpdated: B (added 1, removed 0)\n"
                                       "Saved as: Requests\n"));
        QCOMPARE(addresses(listFile("B")), (QStringList{"cleo@readers.example", "old@x.example"}));
        QCOMPARE(addresses(listFile("Requests")), QStringList{"cleo@readers.example"});

        // A list that cannot be updated: exit 1 and every message stays on the server.
        QFile broken(listFile("B"));
        QVERIFY(broken.open(QIODevice::WriteOnly | QIODevice::Truncate));
        broken.write(QByteArray(4096, 'x'));
        broken.close();
        r = run({"pop", "run", "Local", "--mode", "import", "--add-to", "B", "--delete"});
        QCOMPARE(r.code, 1);
        QVERIFY(r.err.contains("The list 'B' could not be updated"));
        QVERIFY(r.out.contains("Deleted: 0 (kept on the server)"));
        QCOMPARE(pop.messageCount(), 2);
        QVERIFY(QFile(m_dir.filePath("POPlog.log")).size() > 0);
    }
};

QTEST_GUILESS_MAIN(TestCliPop)
#include "tst_cli_pop.moc"
