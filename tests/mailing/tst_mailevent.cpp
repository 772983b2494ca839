// Delivery options: storing a set exactly as typed and loading it back.

#include "mailing/MailEvent.h"
#include "MailingFixture.h"

#include <QTemporaryFile>
#include <QTest>

using namespace sendora;
using sendora::test::MailingFixture;

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
        const MailEvent in = sampleOptions();
        QVERIFY(storeMEP(*f.app.ctx, in));
        MailEvent out;
        GetMEPFromDB(*f.app.ctx, out, in.ProfileName);
        QCOMPARE(out.ProfileName, in.ProfileName);
        QCOMPARE(out.ProfileDescription, in.ProfileDescription);
        QCOMPARE(out.SQLFilter, in.SQLFilter);
        QCOMPARE(out.SentFlag, in.SentFlag);
        QCOMPARE(out.SentFlagToCheck, in.SentFlagToCheck);
        QCOMPARE(out.password, in.password);
        QCOMPARE(out.bSendFiltered, true);
        QCOMPARE(out.bInsertTimeDelay, true);
        QCOMPARE(out.SendBlockSize, 250);
        QCOMPARE(out.TimedBlockSize, 50);
        QCOMPARE(out.TimeIncrement, qint16(3));
        QCOMPARE(out.TimeDelay, 15);
        QCOMPARE(out.dns_server, QStringLiteral("192.0.2.53"));
        QCOMPARE(out.mail_retries, qint16(3));
        QCOMPARE(out.concurrent_mailers, qint16(4));
        QCOMPARE(out.default_server, true);
        QCOMPARE(out.default_mail, in.default_mail);
        QCOMPARE(f.app.ui.shown.size(), 0);
    }

    void storingAgainReplacesTheRow() {
        MailingFixture f;
        MailEvent m = sampleOptions();
        QVERIFY(storeMEP(*f.app.ctx, m));
        m.From = "other@example.org";
        QVERIFY(storeMEP(*f.app.ctx, m));
        auto db = jet::Database::open(f.sdr(), jet::Database::OpenMode::ReadOnly);
        auto rs = db->openRecordset("SELECT Count(*) AS n, Max([From]) AS f FROM Profile WHERE ProfileName = " +
                                    jet::quote(m.ProfileName));
        QCOMPARE(rs->value("n").toInt(), 1);
        QCOMPARE(rs->value("f").toString(), QStringLiteral("other@example.org"));
    }

    void statementKeepsItsSeparators() {
        MailEvent m;
        m.ProfileName = "P";
        m.SmtpServer = "s";
        const QString sql = storeMEPStatement(m);
        QVERIFY(sql.startsWith("INSERT INTO Profile(ProfileName, ProfileDescription, [From], ReplyTo, bSendFiltered, "
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

    void blankDnsServerTakesTheMachines() {
        MailingFixture f;
        MailEvent m = sampleOptions();
        m.dns_server.clear();
        QVERIFY(storeMEP(*f.app.ctx, m));
        MailEvent out;
        GetMEPFromDB(*f.app.ctx, out, m.ProfileName);
        QCOMPARE(out.dns_server, machineDnsServer());
    }

    void resolverConfiguration_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("server");
        QTest::newRow("first of two") << QByteArray("# generated\nsearch example.org\nnameserver 10.0.0.2\nnameserver "
                                                    "10.0.0.3\n")
                                      << "10.0.0.2";
        QTest::newRow("tabs and options") << QByteArray("options ndots:2\nnameserver\t192.0.2.1  # local\n")
                                          << "192.0.2.1";
        QTest::newRow("long IPv6 cut to 16") << QByteArray("nameserver 2001:db8:ffff:ffff::53\n") << "2001:db8:ffff:ff";
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
};

QTEST_GUILESS_MAIN(TestMailEvent)
#include "tst_mailevent.moc"
