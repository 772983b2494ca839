// sendora-cli send by direct send against a real resolver (dnsmasq) and servers that accept,
// refuse, defer, stall and drop: every address ends flagged or carrying its cause, the
// mailing's figures match, and sendora-cli undeliverable counts those causes and deletes
// exactly the rows of the causes it is given.

#include "components/jet/Jet.h"
#include "support/DbQuery.h"
#include "support/Dnsmasq.h"
#include "support/SinkPool.h"

#include <QMap>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>

using namespace sendora::test;

namespace {

struct Run {
    int exitCode = -1;
    QString out, err;
};

// Runs sendora-cli while this process's servers keep answering.
Run cli(const QStringList& args, int limitMs = 120000) {
    QProcess p;
    p.start(SENDORA_CLI, args);
    Run r;
    if (!p.waitForStarted(10000)) return r;
    (void)QTest::qWaitFor([&p] { return p.state() == QProcess::NotRunning; }, limitMs);
    if (p.state() != QProcess::NotRunning) {
        p.kill();
        p.waitForFinished(5000);
        return r;
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

QString domain(int d) {
    return QStringLiteral("d%1.test").arg(d, 2, 10, QChar(u'0'));
}

// The cause each domain's addresses must end with ("" = delivered), by category index of the
// Undeliverable Manager (1 DNS timeout, 2 mailer timeout, 3 MX, 4 mailer, 5 socket).
int categoryOf(const QString& address) {
    const int d = address.section(u'@', 1).mid(1, 2).toInt();
    if (d < 10 || d == 17) return 0;
    if (d == 10 || d == 11) return address.startsWith(QLatin1String("unknown")) ? 4 : 0;
    if (d == 12) return 4;
    if (d == 13) return 2;
    if (d == 14) return 5;
    if (d == 19) return 1;
    return 3; // null MX, no such domain, MX host without address
}

const char* const kPrefixes[6] = {"",         "DNS TIMEOUT",  "MAILER TIMEOUT",
                                  "MX Error", "Mailer Error", "Socket Error"};

} // namespace

class TestCliDirect : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    // Servers of our own on 127.0.2.x, so that tests holding 127.0.0.x:25 do not collide.
    std::vector<std::unique_ptr<CaptureSmtp>> m_sinks;
    static QString sinkAddress(int i) { return QStringLiteral("127.0.2.%1").arg(i + 2); }
    Dnsmasq m_dns;
    SilentDns m_silent;

    QString sdr() const { return m_dir.filePath("system/Sendora.sdr"); }
    QString list() const { return m_dir.filePath("AddressLists/Direct.mdb"); }
    QMap<QString, QPair<QString, QString>> rows() const { // address -> (Sent, error)
        QMap<QString, QPair<QString, QString>> out;
        auto db = jet::Database::open(list(), jet::Database::OpenMode::ReadOnly);
        for (auto rs = db->openRecordset("SELECT EAddress, Sent, error FROM AddressList"); !rs->eof();
             rs->moveNext())
            out.insert(rs->value(0).toString(), {rs->value(1).toString(), rs->value(2).toString()});
        return out;
    }
    QList<int> counts(const QString& out) {
        QList<int> c;
        for (const QString& line : out.split(u'\n', Qt::SkipEmptyParts))
            c << line.section(u'\t', 1).toInt();
        return c;
    }

private Q_SLOTS:
    void initTestCase() {
        if (!Dnsmasq::available() || !SinkPool::canBindPort25()) {
            if (Dnsmasq::mustExist()) QFAIL("dnsmasq and root (for port 25) are needed");
            QSKIP("needs dnsmasq and root (for port 25)");
        }
        const SinkBehaviour behaviours[] = {SinkBehaviour::AcceptAll, SinkBehaviour::RefuseSome,
                                            SinkBehaviour::TempFail, SinkBehaviour::Stall,
                                            SinkBehaviour::CloseInData};
        for (int i = 0; i < 5; ++i) {
            m_sinks.push_back(std::make_unique<CaptureSmtp>(behaviours[i]));
            QVERIFY(m_sinks.back()->listen(QHostAddress(sinkAddress(i))));
            m_dns.host(QStringLiteral("mx%1.direct.test").arg(i), sinkAddress(i));
        }
        for (int d = 0; d < 10; ++d)
            m_dns.mx(domain(d), "mx0.direct.test", 10);
        m_dns.mx(domain(10), "mx1.direct.test", 10)
            .mx(domain(11), "mx1.direct.test", 20)
            .mx(domain(12), "mx2.direct.test", 10)
            .mx(domain(13), "mx3.direct.test", 10)
            .mx(domain(14), "mx4.direct.test", 10)
            .nullMx(domain(15))
            .host(domain(17), sinkAddress(0))
            .mx(domain(18), "nowhere.direct.test", 10)
            .forward(domain(19), m_silent.server());
        QVERIFY(m_dns.start());
    }

    void sendThenRemoveUndeliverables() {
        QCOMPARE(cli({"--data-dir", m_dir.path(), "--no", "init"}).exitCode, 0);
        QStringList addresses;
        for (int i = 0; i < 300; ++i) {
            const int d = i % 20;
            const bool unknown = (d == 10 || d == 11) && i % 3 == 0;
            addresses << QStringLiteral("%1%2@%3").arg(unknown ? "unknown" : "user").arg(i).arg(domain(d));
        }
        {
            auto l = sendora::test::createAddressList(list());
            l->beginTransaction();
            for (const QString& a : std::as_const(addresses))
                l->execute(QStringLiteral("INSERT INTO AddressList (EAddress, FirstName) VALUES(%1,\"P\")")
                               .arg(jet::quote(a)));
            l->commit();
            auto db = jet::Database::open(sdr());
            db->execute("INSERT INTO List([listname],[listpath],[listdescription]) "
                        "values(\"Direct\",\"Direct.mdb\",\"\")");
            db->execute("INSERT INTO Message (MessageName, Subject, SendType, MessageText) "
                        "VALUES(\"M\",\"S\",0,\"Hello [[FirstName]]\")");
            db->execute(QStringLiteral(
                            "UPDATE Profile SET direct_send = -1, dns_server = %1, dns_timeout = 1, "
                            "dns_retries = 1, mailer_timeout = 2, mail_retries = 0, concurrent_mailers = 4, "
                            "[From] = \"news@sender.test\", ReplyTo = \"\", bFlagSends = -1, "
                            "SentFlag = \"SENT\"")
                            .arg(jet::quote(m_dns.server())));
            db->execute("INSERT INTO Sendora VALUES(\"G\",\"\")");
            db->execute("INSERT INTO MailEvent (SendoraName, ListName, MessageName, Profile) "
                        "VALUES(\"G\",\"Direct\",\"M\",\"Default Delivery Options\")");
        }

        const Run send = cli({"--data-dir", m_dir.path(), "send", "1"});
        QVERIFY2(send.exitCode == 0, qPrintable(send.err.right(2000)));

        int expected[6] = {};
        QStringList delivered;
        const auto after = rows();
        for (const QString& a : std::as_const(addresses)) {
            const int c = categoryOf(a);
            const auto [sent, error] = after.value(a);
            if (c == 0) {
                delivered << a;
                QVERIFY2(sent == "SENT" && error.isEmpty(), qPrintable(a + u' ' + error));
                continue;
            }
            ++expected[0];
            ++expected[c];
            QVERIFY2(sent.isEmpty() && error.startsWith(QLatin1String(kPrefixes[c])),
                     qPrintable(a + u' ' + error));
        }
        QStringList got;
        for (const auto& sink : m_sinks)
            for (const CapturedMessage& m : sink->messages)
                got += m.recipients;
        got.sort();
        delivered.sort();
        QCOMPARE(got, delivered);
        auto db = jet::Database::open(sdr(), jet::Database::OpenMode::ReadOnly);
        auto row =
            db->openRecordset("SELECT SentCount, SentCountFailed FROM MailEvent WHERE MailEventName = 1");
        QCOMPARE(row->value(0).toInt(), int(delivered.size()));
        QCOMPARE(row->value(1).toInt(), expected[0]);

        const Run count = cli({"--data-dir", m_dir.path(), "undeliverable", "Direct"});
        QCOMPARE(count.exitCode, 0);
        QCOMPARE(counts(count.out), QList<int>(std::begin(expected), std::end(expected)));

        const Run remove = cli({"--data-dir", m_dir.path(), "undeliverable", "Direct", "--remove",
                                "mx-errors", "--remove", "socket-errors"});
        QCOMPARE(remove.exitCode, 0);
        const auto left = rows();
        for (const QString& a : std::as_const(addresses))
            QCOMPARE(left.contains(a), categoryOf(a) != 3 && categoryOf(a) != 5);
        QCOMPARE(
            cli({"--data-dir", m_dir.path(), "undeliverable", "Direct", "--remove", "everything"}).exitCode,
            2);
        QCOMPARE(cli({"--data-dir", m_dir.path(), "undeliverable", "Nope"}).exitCode, 2);
    }

    // SIGTERM mid-send: the mailers finish their messages in flight and stop; every address
    // the server took is flagged, no other is, and the figures are stored.
    void stoppedBySignal() {
        QVERIFY(QFile::exists(sdr())); // made by the test before
        const QString slow = m_dir.filePath("AddressLists/Slow.mdb");
        {
            auto l = jet::Database::create(slow);
            l->execute(
                "CREATE TABLE AddressList(EAddress TEXT(255) NOT NULL CONSTRAINT EAddress PRIMARY KEY, "
                "FirstName TEXT(255), Sent TEXT(255))",
                true);
            l->beginTransaction();
            for (int i = 0; i < 200; ++i)
                l->execute(
                    QStringLiteral("INSERT INTO AddressList (EAddress) VALUES(\"s%1@d03.test\")").arg(i));
            l->commit();
            auto db = jet::Database::open(sdr());
            db->execute("INSERT INTO List([listname],[listpath],[listdescription]) "
                        "values(\"Slow\",\"Slow.mdb\",\"\")");
            db->execute("INSERT INTO MailEvent (SendoraName, ListName, MessageName, Profile) "
                        "VALUES(\"G\",\"Slow\",\"M\",\"Default Delivery Options\")");
        }
        m_sinks[0]->messages.clear();
        m_sinks[0]->dataDelayMs = 50;
        QProcess p;
        p.start(SENDORA_CLI, {"--data-dir", m_dir.path(), "send", "2"});
        QVERIFY(p.waitForStarted(10000));
        QTRY_VERIFY_WITH_TIMEOUT(m_sinks[0]->messages.size() >= 10, 30000);
        ::kill(pid_t(p.processId()), SIGTERM);
        QTRY_VERIFY_WITH_TIMEOUT(p.state() == QProcess::NotRunning, 30000);
        m_sinks[0]->dataDelayMs = 0;
        QCOMPARE(p.exitCode(), 128 + SIGTERM);
        auto db = jet::Database::open(slow, jet::Database::OpenMode::ReadOnly);
        QStringList flagged;
        for (auto rs = db->openRecordset("SELECT EAddress FROM AddressList WHERE Sent = \"SENT\"");
             !rs->eof(); rs->moveNext())
            flagged << rs->value(0).toString();
        QStringList got;
        for (const CapturedMessage& m : std::as_const(m_sinks[0]->messages))
            got += m.recipients;
        got.sort();
        flagged.sort();
        QCOMPARE(got, flagged);
        QVERIFY(flagged.size() < 200);
        auto sys = jet::Database::open(sdr(), jet::Database::OpenMode::ReadOnly);
        QCOMPARE(
            sys->openRecordset("SELECT SentCount FROM MailEvent WHERE MailEventName = 2")->value(0).toInt(),
            int(flagged.size()));
    }
};

QTEST_GUILESS_MAIN(TestCliDirect)
#include "tst_cli_direct.moc"
