// Delivery options: storing a set exactly as typed and loading it back.

#include "core/SystemDatabase.h"
#include "mailing/MailEvent.h"
#include "support/MailingFixture.h"
#include "support/RelayFixture.h"

#include <QFile>
#include <QTemporaryFile>
#include <QTest>

using namespace sendora;
using sendora::test::MailingFixture;
using sendora::test::RelayFixture;

namespace {

MailEvent sampleOptions() {
    MailEvent m;
    m.ProfileName = "Weekly \"News\"";
    m.ProfileDescription = "Sent on Mondays; it's \"the\" one";
    m.From = "news@example.org";
    m.ReplyTo = "replies@example.org";
    m.bSendFiltered = true;
    m.SQLFilter = "WHERE [Company] = \"O'Neil & Sons\" AND Sent <> \"DONE\"";
    m.bFlagSends = true;
    m.SentFlag = "SENT \"weekly\"";
    m.bSendInBlocks = true;
    m.SendBlockSize = 250;
    m.bIfNotYetFlagged = true;
    m.SentFlagToCheck = "SENT \"weekly\"";
    m.bTimedBlocks = true;
    m.TimedBlockSize = 50;
    m.TimeIncrement = 3;
    m.bInsertTimeDelay = true;
    m.TimeDelay = 15;
    m.SmtpServer = "relay.example.org";
    m.auth = true;
    m.username = "mailer";
    m.password = "p'ss;word";
    m.dns_server = "192.0.2.53";
    m.dns_timeout = 7;
    m.mailer_timeout = 20;
    m.concurrent_mailers = 4;
    m.dns_retries = 2;
    m.mail_retries = 3;
    m.default_server = true;
    m.default_mail = "postmaster@example.org";
    return m;
}

} // namespace

class TestMailEvent : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void storedValuesComeBackUnchanged() {
        MailingFixture f;
        MailEvent in = sampleOptions();
        in.smtp_port = 587;
        in.smtp_tls = TlsStartTlsRequired;
        QVERIFY(storeMEP(*f.app.ctx, in));
        MailEvent out;
        GetMEPFromDB(*f.app.ctx, out, in.ProfileName);
        QCOMPARE(QStringList({out.ProfileName, out.ProfileDescription, out.SQLFilter, out.SentFlag,
                              out.SentFlagToCheck, out.password, out.dns_server, out.default_mail}),
                 QStringList({in.ProfileName, in.ProfileDescription, in.SQLFilter, in.SentFlag,
                              in.SentFlagToCheck, in.password, "192.0.2.53", in.default_mail}));
        QCOMPARE(QList<int>({out.SendBlockSize, out.TimedBlockSize, out.TimeIncrement, out.TimeDelay,
                             out.mail_retries, out.concurrent_mailers, out.smtp_port, out.smtp_tls}),
                 QList<int>({250, 50, 3, 15, 3, 4, 587, TlsStartTlsRequired}));
        QVERIFY(out.bSendFiltered && out.bInsertTimeDelay && out.default_server);

        // Stored again under the same name: the row is replaced; a blank DNS server takes the machine's.
        in.From = "other@example.org";
        in.dns_server.clear();
        QVERIFY(storeMEP(*f.app.ctx, in));
        auto db = jet::Database::open(f.sdr(), jet::Database::OpenMode::ReadOnly);
        auto rs =
            db->openRecordset("SELECT Count(*) AS n, Max([From]) AS f FROM Profile WHERE ProfileName = " +
                              jet::quote(in.ProfileName));
        QCOMPARE(rs->value("n").toInt(), 1);
        QCOMPARE(rs->value("f").toString(), QStringLiteral("other@example.org"));
        GetMEPFromDB(*f.app.ctx, out, in.ProfileName);
        QCOMPARE(out.dns_server, machineDnsServer());

        // Null port and TLS mean the settings' port; out still holds 587, so null must reset it.
        f.execute("UPDATE Profile SET smtp_port = Null, smtp_tls = Null");
        GetMEPFromDB(*f.app.ctx, out, in.ProfileName);
        QCOMPARE(out.smtp_port, 0);
        QCOMPARE(out.smtp_tls, qint16(TlsAutomatic));
        QCOMPARE(relayPortFor(out, 2525), 2525);
        out.smtp_port = 465;
        QCOMPARE(relayPortFor(out, 2525), 465);
        QCOMPARE(f.app.ui.shown.size(), 0);
    }

    void statementKeepsItsSeparators() {
        MailEvent m;
        m.ProfileName = "P";
        m.SmtpServer = "s";
        const QString sql = storeMEPStatement(m);
        QVERIFY(sql.startsWith(
            "INSERT INTO Profile(ProfileName, ProfileDescription, [From], ReplyTo, bSendFiltered, "
            "SQLFilter, bFlagSends, SentFlag, bSendInBlocks, SendBlockSize, bIfNotYetFlagged, "
            "SentFlagToCheck, bTimedBlocks, TimedBlockSize, TimeIncrement, bInsertTimeDelay, "
            "TimeDelay, SmtpServer, direct_send, dns_timeout, mailer_timeout, concurrent_mailers,  "
            "dns_server,dns_retries,auth,username,password,mail_retries,default_server,"
            "default_mail) VALUES("));
        QVERIFY2(sql.endsWith("VALUES(\"P\",\"\",\"\",\"\",0,'',0,\"\",0,0,0,\"\",0,0,0,0,0,\"s\", 0,0 , "
                              "0,0,\"\",0,0,\"\",\"\",\"0\",0,\"\")"),
                 qPrintable(sql));
    }

    void nullBlockSettingsLoadAsZero() {
        MailingFixture f;
        f.execute("INSERT INTO Profile (ProfileName, SendBlockSize, TimedBlockSize, TimeDelay, SentFlag) "
                  "VALUES(\"Sparse\", Null, Null, Null, Null)");
        MailEvent m;
        m.SendBlockSize = 99;
        m.SentFlag = "old";
        GetMEPFromDB(*f.app.ctx, m, "sparse");
        QCOMPARE(m.SendBlockSize, 0);
        QCOMPARE(m.TimedBlockSize, 0);
        QCOMPARE(m.TimeDelay, 0);
        QCOMPARE(m.SentFlag, QString(""));
    }

    void resolverConfiguration_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("server");
        QTest::newRow("first of two")
            << QByteArray("# generated\nsearch example.org\nnameserver 10.0.0.2\nnameserver "
                          "10.0.0.3\n")
            << "10.0.0.2";
        QTest::newRow("tabs and options")
            << QByteArray("options ndots:2\nnameserver\t192.0.2.1  # local\n") << "192.0.2.1";
        QTest::newRow("long IPv6 cut to 16")
            << QByteArray("nameserver 2001:db8:ffff:ffff::53\n") << "2001:db8:ffff:ff";
        QTest::newRow("none") << QByteArray("search example.org\n") << "";
    }
    void resolverConfiguration() {
        QFETCH(QByteArray, content);
        QFETCH(QString, server);
        QTemporaryFile file;
        QVERIFY(file.open());
        file.write(content);
        file.close();
        QCOMPARE(machineDnsServer(file.fileName()), server);
    }

    void columnsAreAddedOnceAndTheFixedInsertStaysAlone() {
        MailingFixture f;
        updateDatabase(*f.app.ctx); // a second start adds nothing and logs nothing
        QVERIFY(!QFile::exists(f.app.ctx->paths.app + "Errors.log"));
        auto db = jet::Database::open(f.sdr(), jet::Database::OpenMode::ReadOnly);
        QVERIFY(db->hasField("Profile", "smtp_port") && db->hasField("Profile", "smtp_tls"));
        QVERIFY(db->hasField("MailEvent", "LastCount")); // the earlier additions still ran
        MailEvent m = sampleOptions();
        m.smtp_port = 2525;
        QVERIFY(!storeMEPStatement(m).contains("smtp_port"));
    }

    void relayTlsChoice_data() {
        QTest::addColumn<int>("port");
        QTest::addColumn<int>("choice");
        QTest::addColumn<bool>("implicitTls");
        QTest::addColumn<bool>("completes");
        QTest::newRow("465 automatic: TLS from the start") << 465 << int(TlsAutomatic) << true << true;
        QTest::newRow("587 automatic, no STARTTLS offered: plain")
            << 587 << int(TlsAutomatic) << false << true;
        QTest::newRow("587 STARTTLS required, not offered: refused")
            << 587 << int(TlsStartTlsRequired) << false << false;
        QTest::newRow("2465 implicit") << 2465 << int(TlsImplicit) << true << true;
        QTest::newRow("25 none") << 25 << int(TlsNone) << false << true;
        QTest::newRow("2525 automatic: plain") << 2525 << int(TlsAutomatic) << false << true;
    }
    void relayTlsChoice() {
        QFETCH(int, port);
        QFETCH(int, choice);
        QFETCH(bool, implicitTls);
        QFETCH(bool, completes);
        RelayFixture f({"a@x.org"});
        f.execute(QStringLiteral("UPDATE Profile SET smtp_port = %1, smtp_tls = %2").arg(port).arg(choice));
        f.server.setScript(RelayFixture::greeting() + RelayFixture::accept("a@x.org") + RelayFixture::quit());
        RelaySend mailing(*f.app.ctx, f.row());
        mailing.transportFactory = f.server.factory();
        mailing.commandTimeout = 2;
        QCOMPARE(f.runToEnd(mailing, 8000), completes);
        QCOMPARE(f.server.lastPort(), quint16(port));
        QCOMPARE(f.server.lastImplicitTls(), implicitTls);
        QCOMPARE(f.sentOf("Members", "a@x.org"), completes ? QStringLiteral("SENT") : QStringLiteral(""));
        QCOMPARE(f.app.ctx->settings.smtpPort, 25); // the set's port never touches the setting
        QVERIFY(f.sendLog().contains(
            QStringLiteral("P: Attempting to connect to mail.test on port %1...").arg(port)));
    }
};

QTEST_GUILESS_MAIN(TestMailEvent)
#include "tst_mailevent.moc"
