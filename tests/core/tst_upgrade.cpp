// Version check and upgrade of the system database by copying into a new file.

#include "components/jet/Jet.h"
#include "core/Startup.h"
#include "core/SystemDatabase.h"
#include "support/DbQuery.h"
#include "support/TestApp.h"

#include <QFile>
#include <QFileInfo>
#include <QTest>

using namespace sendora;
using sendora::test::scalar;
using sendora::test::TestApp;

namespace {

// A database as the first release left it: no ProductVersion, List without SourcePath.
void createVersion1(const QString& path) {
    auto db = jet::Database::create(path);
    db->execute("CREATE TABLE Sendora (SendoraName TEXT(100) NOT NULL, SendoraDescription MEMO, CONSTRAINT "
                "SendoraName PRIMARY KEY (SendoraName));",
                true);
    db->execute(
        "CREATE TABLE List (ListName TEXT(100) NOT NULL,ListPath TEXT(255) NOT NULL,ListDescription MEMO, "
        "CONSTRAINT ListName PRIMARY KEY(ListName))",
        true);
    db->execute("CREATE TABLE MailEvent ( MailEventName Counter NOT NULL, SendoraName TEXT(100) NOT NULL, "
                "CreationDate DATETIME, ListName TEXT(100) NOT NULL, MessageName TEXT(100) NOT NULL, Profile "
                "Text(100) NOT NULL, DateSent TEXT(25), SentCount LONG, SentCountFailed LONG, Active YESNO, "
                "CONSTRAINT MailEventName PRIMARY KEY(MailEventName))",
                true);
    db->execute(
        "CREATE TABLE Profile (ProfileName TEXT(100) NOT NULL CONSTRAINT ProfileName PRIMARY KEY, From "
        "TEXT(50), SmtpServer TEXT(200), bFlagSends YESNO, SentFlag TEXT(50))",
        true);
    db->execute("CREATE TABLE MSysCustom (Note TEXT(10))", true);
    db->execute(
        "CREATE TABLE Message (MessageName TEXT(100) NOT NULL CONSTRAINT MessageName PRIMARY KEY, Subject "
        "TEXT(255), HTMLText MEMO)",
        true);
    db->execute("INSERT INTO Sendora VALUES(\"Spring\",\"Spring \"\"quoted\"\" campaign\")", true);
    db->execute("INSERT INTO Sendora (SendoraName) VALUES(\"Autumn\")", true);
    db->execute("INSERT INTO List VALUES(\"Customers\",\"Customers.mdb\",Null)", true);
    db->execute("INSERT INTO List VALUES(\"Leads\",\"Leads.mdb\",\"Trade fair\")", true);
    db->execute(
        "INSERT INTO MailEvent (MailEventName, SendoraName, ListName, MessageName, Profile, DateSent, "
        "SentCount, Active) VALUES(7,\"Spring\",\"Customers\",\"Hello\",\"Default Delivery Options\","
        "\"3/1/2001\",120,-1)",
        true);
    db->execute("INSERT INTO MailEvent (MailEventName, SendoraName, ListName, MessageName, Profile) "
                "VALUES(9,\"Autumn\",\"Leads\",\"Hello\",\"Default Delivery Options\")",
                true);
    db->execute(
        "INSERT INTO Profile VALUES(\"Default Delivery Options\",\"me@example.org\",\"relay.example.org\",-1,"
        "\"SENT\")",
        true);
    db->execute("INSERT INTO Message VALUES(\"Hello\",\"Hi [[FirstName]]\",\"<b>00123</b>\")", true);
    db->execute("INSERT INTO MSysCustom VALUES(\"x\")", true);
}

} // namespace

class TestUpgrade : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void version1KeepsEveryRow() {
        TestApp app;
        app.layOut();
        const QString sdr = app.ctx->paths.systemDatabase();
        createVersion1(sdr);
        QCOMPARE(SDRVerify(*app.ctx), 1);

        app.ui.checks = {QStringList()}; // keep the catalogue rows whose files are not here
        QVERIFY(Startup(*app.ctx).run());
        QCOMPARE(app.ui.messageTexts(), QStringList());
        QVERIFY(QFileInfo::exists(app.ctx->paths.upgradeOld()));
        QVERIFY(!QFileInfo::exists(app.ctx->paths.upgradeTemp()));
        QCOMPARE(SDRVerify(*app.ctx), 9);

        QCOMPARE(scalar(sdr, "SELECT Count(*) FROM Sendora").toInt(), 2);
        QCOMPARE(
            scalar(sdr, "SELECT SendoraDescription FROM Sendora WHERE SendoraName = \"spring\"").toString(),
            QStringLiteral("Spring \"quoted\" campaign"));
        // Null or empty old values become the type's empty value; columns the old table lacked stay null.
        QCOMPARE(
            scalar(sdr, "SELECT SendoraDescription FROM Sendora WHERE SendoraName = \"Autumn\"").toString(),
            QString(""));
        QCOMPARE(scalar(sdr, "SELECT ListDescription FROM List WHERE ListName = \"Customers\"").toString(),
                 QString(""));
        // Both copied rows; the Global Remove List's own row carries "" like every twelve-value insert.
        QCOMPARE(scalar(sdr, "SELECT Count(*) FROM List WHERE SourcePath IS NULL").toInt(), 2);
        QCOMPARE(scalar(sdr, "SELECT SentCount FROM MailEvent WHERE MailEventName = 7").toInt(), 120);
        QCOMPARE(scalar(sdr, "SELECT Active FROM MailEvent WHERE MailEventName = 7").toInt(), -1);
        QCOMPARE(scalar(sdr, "SELECT SentCount FROM MailEvent WHERE MailEventName = 9").toInt(), 0);
        QCOMPARE(scalar(sdr, "SELECT DateSent FROM MailEvent WHERE MailEventName = 9").toString(),
                 QString(""));
        QCOMPARE(scalar(sdr, "SELECT CreationDate FROM MailEvent WHERE MailEventName = 9").toDateTime(),
                 QDateTime(QDate(1899, 12, 30), QTime(12, 0)));
        QVERIFY(scalar(sdr, "SELECT ScheduledDate FROM MailEvent WHERE MailEventName = 9").isNull());
        QCOMPARE(scalar(sdr, "SELECT SendBlockSize FROM Profile").toInt(), 1000); // new column's default
        QCOMPARE(scalar(sdr, "SELECT SmtpServer FROM Profile").toString(),
                 QStringLiteral("relay.example.org"));
        QCOMPARE(scalar(sdr, "SELECT HTMLText FROM Message").toString(), QStringLiteral("<b>00123</b>"));

        // The counter goes on after the highest copied id.
        {
            auto db = jet::Database::open(sdr);
            db->execute("INSERT INTO MailEvent (SendoraName, ListName, MessageName, Profile) "
                        "VALUES(\"Spring\",\"Leads\",\"Hello\",\"Default Delivery Options\")");
        }
        QCOMPARE(scalar(sdr, "SELECT Max(MailEventName) FROM MailEvent").toInt(), 10);

        auto db = jet::Database::open(sdr, jet::Database::OpenMode::ReadOnly);
        for (const QString& t : db->tableNames())
            QVERIFY2(!t.contains("MSys", Qt::CaseInsensitive), qPrintable(t));
    }

    void version8IsRebuiltAndReplacesTheOldCopy() {
        TestApp app;
        app.layOut();
        const QString sdr = app.ctx->paths.systemDatabase();
        QVERIFY(CreateSystemDatabase(*app.ctx, sdr, true, false));
        {
            auto db = jet::Database::open(sdr);
            db->execute("UPDATE ProductVersion SET SDRVersion = 8");
            db->execute("INSERT INTO Sendora VALUES(\"Group A\",\"first\")");
            db->execute("INSERT INTO Profile (ProfileName, [From], SentFlag, SendBlockSize, bFlagSends) "
                        "VALUES(\"Weekly\",\"news@example.org\",\"DONE\",250,-1)");
            db->execute("INSERT INTO POPAccounts(AccountID,UserName,Password,ServerName) "
                        "VALUES(\"bounces\",\"user\",\"\",\"pop.example.org\")");
            db->execute("UPDATE POPAccounts SET pop_port = 995, pop_security = 3");
            db->execute("UPDATE Profile SET smtp_port = 587, smtp_tls = 2 WHERE ProfileName = \"Weekly\"");
            // A column no schema of ours knows: still carried over with its values.
            db->execute("ALTER TABLE Sendora ADD COLUMN Owner TEXT(50)");
            db->execute("UPDATE Sendora SET Owner = \"Pat\"");
        }
        QFile stale(app.ctx->paths.upgradeOld());
        QVERIFY(stale.open(QIODevice::WriteOnly));
        stale.write("older copy");
        stale.close();

        QCOMPARE(SDRVerify(*app.ctx), 8);
        QVERIFY(Startup(*app.ctx).run());
        QCOMPARE(SDRVerify(*app.ctx), 9);
        QVERIFY(QFileInfo(app.ctx->paths.upgradeOld()).size() >
                100); // the version-8 file, not the stale copy
        QCOMPARE(scalar(sdr, "SELECT SendoraDescription FROM Sendora").toString(), QStringLiteral("first"));
        QCOMPARE(scalar(sdr, "SELECT SendBlockSize FROM Profile WHERE ProfileName = \"weekly\"").toInt(),
                 250);
        QCOMPARE(scalar(sdr, "SELECT [From] FROM Profile WHERE ProfileName = \"weekly\"").toString(),
                 QStringLiteral("news@example.org"));
        QCOMPARE(scalar(sdr, "SELECT Password FROM POPAccounts").toString(), QString(""));
        QCOMPARE(scalar(sdr, "SELECT pop_port & \"/\" & pop_security FROM POPAccounts").toString(),
                 QStringLiteral("995/3"));
        QCOMPARE(scalar(sdr, "SELECT smtp_port FROM Profile WHERE ProfileName = \"weekly\"").toInt(), 587);
        QCOMPARE(scalar(sdr, "SELECT smtp_tls FROM Profile WHERE ProfileName = \"weekly\"").toInt(), 2);
        QCOMPARE(scalar(sdr, "SELECT Owner FROM Sendora").toString(), QStringLiteral("Pat"));
        QCOMPARE(scalar(sdr, "SELECT Count(*) FROM ProductVersion").toInt(), 1);
        QCOMPARE(scalar(app.ctx->paths.upgradeOld(), "SELECT SDRVersion FROM ProductVersion").toInt(), 8);
    }

    void updateDatabaseChangesNothingOnACurrentDatabase() {
        TestApp app;
        app.layOut();
        const QString sdr = app.ctx->paths.systemDatabase();
        QVERIFY(CreateSystemDatabase(*app.ctx, sdr, true, false));
        auto names = [&] {
            auto db = jet::Database::open(sdr, jet::Database::OpenMode::ReadOnly);
            QStringList all;
            for (const QString& t : {QStringLiteral("Profile"), QStringLiteral("MailEvent")})
                for (const jet::FieldDef& f : db->fields(t))
                    all << t + '.' + f.name;
            return all;
        };
        const QStringList before = names();
        updateDatabase(*app.ctx);
        QCOMPARE(names(), before);
    }

    void olderProfileTableGainsTheDirectSendColumns() {
        TestApp app;
        app.layOut();
        const QString sdr = app.ctx->paths.systemDatabase();
        {
            auto db = jet::Database::create(sdr);
            db->execute(
                "CREATE TABLE Profile (ProfileName TEXT(100) NOT NULL CONSTRAINT ProfileName PRIMARY KEY, "
                "SmtpServer TEXT(200))",
                true);
            db->execute("CREATE TABLE MailEvent ( MailEventName Counter NOT NULL, SendCount LONG, CONSTRAINT "
                        "MailEventName PRIMARY KEY(MailEventName))",
                        true);
            db->execute("INSERT INTO MailEvent (SendCount) VALUES(3)", true);
        }
        updateDatabase(*app.ctx);
        auto db = jet::Database::open(sdr, jet::Database::OpenMode::ReadOnly);
        QStringList profile;
        for (const jet::FieldDef& f : db->fields("Profile"))
            profile << f.name;
        QCOMPARE(profile, (QStringList{"ProfileName", "SmtpServer", "dns_server", "default_server",
                                       "direct_send", "dns_timeout", "mailer_timeout", "concurrent_mailers",
                                       "dns_retries", "auth", "username", "password", "mail_retries",
                                       "default_mail", "smtp_port", "smtp_tls"}));
        QCOMPARE(scalar(sdr, "SELECT LastCount FROM MailEvent").toInt(), 0);
        QVERIFY(!scalar(sdr, "SELECT LastCount FROM MailEvent").isNull());
    }
};

QTEST_GUILESS_MAIN(TestUpgrade)
#include "tst_upgrade.moc"
