// The options dialog's rules without widgets: loading from memory, OK's copy into memory and
// Sendora.ini with the word-wrap and group-size bounds, the text-only domains setting, and
// the returned-mail subjects in subjects.dat. The window itself is in tst_frmconfiguration.

#include "core/IniFile.h"
#include "screens/ConfigurationModel.h"
#include "support/TestApp.h"

#include <QDir>
#include <QFile>
#include <QTest>

using namespace sendora;
using sendora::test::TestApp;

namespace {

const QString kNotNumber =
    "You must enter a number for the Word Wrap.  If you want to turn word wrap off then "
    "enter 0 in the box.";
const QString kNegative =
    "You must enter a number that is equal to 0 or more for the Word Wrap.  If you want "
    "to turn word wrap off then enter 0 in the box.";

struct Folder {
    TestApp app;
    Folder() { app.layOut(); }
    AppContext& ctx() { return *app.ctx; }
    QString ini(const char* key) {
        IniFile file(ctx().paths.settingsFile());
        return file.read(kAppDefaults, QLatin1String(key), QStringLiteral("<absent>"));
    }
    QByteArray subjectsFile() {
        QFile f(app.path("subjects.dat"));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<absent>");
    }
};

} // namespace

class TestConfiguration : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void loadsFromMemoryAndOkWritesEverySetting() {
        Folder f;
        AppSettings& s = f.ctx().settings;
        s.configuredMailServer = "relay.example.net";
        s.mailServer = "other.example.net"; // changed for one mailing
        s.configuredSendersEmailAddress = "owner@example.net";
        s.sendersEmailAddress = "someone@example.net";
        s.smtpPort = 2525;
        s.wordWrapSize = 72;
        s.groupMailBlockSize = 25;
        s.domainsToCheck = ";aol.com;;example.org;";
        s.bracketOnFrom = true;
        s.serverWantsBracket = false;
        s.startSDCentral = false;
        s.checkOriginalTo = true;

        ConfigurationModel model(f.ctx());
        ConfigurationValues v = model.load();
        QCOMPARE(v.wordWrap, QStringLiteral("72"));
        QCOMPARE(v.groupMailBlockSize, 25);
        QCOMPARE(v.domains, (QStringList{"aol.com", "example.org"}));
        QVERIFY(v.bracketOnFrom && !v.serverWantsBracket && !v.startSDCentral && v.checkOriginalTo);
        QVERIFY(!v.checkIfDomainWantsTextOnly);
        QCOMPARE(f.ini("WordWrapSize"), QStringLiteral("<absent>")); // loading writes nothing

        v.bracketOnFrom = false;
        v.serverWantsBracket = true;
        v.startSDCentral = true;
        v.checkOriginalTo = false;
        v.checkIfDomainWantsTextOnly = true;
        v.wordWrap = " 60 ";
        v.groupMailBlockSize = 40;
        QVERIFY(ConfigurationModel::addDomain(v.domains, "  mail.example.com "));
        QVERIFY(!ConfigurationModel::addDomain(v.domains, "aol.com"));
        QVERIFY(!ConfigurationModel::addDomain(v.domains, "a.com;b.com"));
        QVERIFY(!ConfigurationModel::addDomain(v.domains, "  "));
        QCOMPARE(model.apply(v), QString());

        QVERIFY(!s.bracketOnFrom && s.serverWantsBracket && s.startSDCentral && !s.checkOriginalTo);
        QVERIFY(s.checkIfDomainWantsTextOnly);
        QCOMPARE(s.wordWrapSize, 60);
        QCOMPARE(s.groupMailBlockSize, 40);
        QCOMPARE(s.domainsToCheck, QStringLiteral("aol.com;example.org;mail.example.com"));
        QCOMPARE(s.mailServer, QStringLiteral("relay.example.net"));
        QCOMPARE(s.sendersEmailAddress, QStringLiteral("owner@example.net"));

        const QList<std::pair<const char*, QString>> expected = {
            {"MailServer", "relay.example.net"},
            {"SMTPPort", "2525"},
            {"ServerWantsBracket", "True"},
            {"BracketOnFrom", "False"},
            {"GroupMailBlockSize", "40"},
            {"StartSDCentral", "True"},
            {"WordWrapSize", "60"},
            {"CheckOriginalTo", "False"},
            {"CheckIfDomainWantsTextOnly", "True"},
            {"DomainsToCheck", "aol.com;example.org;mail.example.com"},
        };
        for (const auto& [key, value] : expected)
            QCOMPARE(f.ini(key), value);
        // The sender is not the dialog's to write.
        QCOMPARE(f.ini("SendersEmailAddress"), QStringLiteral("<absent>"));

        // The written file loads back to the same values.
        AppSettings reloaded;
        loadApplicationDefaults(IniFile(f.ctx().paths.settingsFile()), reloaded);
        QCOMPARE(reloaded.domainsToCheck, s.domainsToCheck);
        QVERIFY(!reloaded.bracketOnFrom && reloaded.serverWantsBracket &&
                reloaded.checkIfDomainWantsTextOnly);
    }

    void okRefusesABadWordWrapAndBoundsTheGroupSize() {
        Folder f;
        ConfigurationModel model(f.ctx());
        ConfigurationValues v = model.load();
        v.groupMailBlockSize = 0;
        for (const auto& [text, refusal] :
             {std::pair{"abc", kNotNumber}, {"", kNotNumber}, {"7.5", kNotNumber}, {"-1", kNegative}}) {
            v.wordWrap = QLatin1String(text);
            QCOMPARE(model.apply(v), refusal);
            QCOMPARE(ConfigurationModel::wordWrapRefusal(QLatin1String(text)), refusal);
        }
        // A refused OK changes nothing, in memory or on disk.
        QCOMPARE(f.ctx().settings.groupMailBlockSize, 10);
        QCOMPARE(f.ini("GroupMailBlockSize"), QStringLiteral("<absent>"));

        v.wordWrap = "0"; // wrapping off
        QCOMPARE(model.apply(v), QString());
        QCOMPARE(f.ini("WordWrapSize"), QStringLiteral("0"));
        QCOMPARE(f.ctx().settings.groupMailBlockSize, 1);
        QCOMPARE(f.ini("GroupMailBlockSize"), QStringLiteral("1"));
        v.groupMailBlockSize = 250;
        QCOMPARE(model.apply(v), QString());
        QCOMPARE(f.ini("GroupMailBlockSize"), QStringLiteral("100"));
        QCOMPARE(ConfigurationModel::boundGroupSize(-5), 1);
        QCOMPARE(ConfigurationModel::boundGroupSize(100), 100);

        // An empty domain list is stored as empty text.
        v.domains.clear();
        QCOMPARE(model.apply(v), QString());
        QCOMPARE(f.ini("DomainsToCheck"), QString());
    }

    void subjectsAreKeptInSubjectsDat() {
        Folder f;
        QFile existing(f.app.path("subjects.dat"));
        QVERIFY(existing.open(QIODevice::WriteOnly));
        existing.write("Returned mail\r\nUndeliverable: \r\n");
        existing.close();

        ConfigurationModel model(f.ctx());
        QCOMPARE(model.subjects(), (QStringList{"Returned mail", "Undeliverable: "}));
        QCOMPARE(model.addSubject("Mail delivery failed"), QString());
        QCOMPARE(model.addSubject("Mail delivery failed"),
                 QStringLiteral("The subject line Mail delivery failed already exists."));
        QCOMPARE(model.addSubject("returned mail"), QString()); // compared with case
        QCOMPARE(model.addSubject(""), QStringLiteral("Please enter a valid subject line."));
        QCOMPARE(model.addSubject("   "), QStringLiteral("Please enter a valid subject line."));
        QCOMPARE(f.subjectsFile(),
                 QByteArray("Returned mail\r\nUndeliverable: \r\nMail delivery failed\r\nreturned mail\r\n"));

        QVERIFY(model.removeSubject("Returned mail"));
        QVERIFY(!model.removeSubject("Returned mail"));
        QVERIFY(!model.removeSubject("Undeliverable:")); // exact entries only
        QCOMPARE(f.subjectsFile(),
                 QByteArray("Undeliverable: \r\nMail delivery failed\r\nreturned mail\r\n"));
        QCOMPARE(ConfigurationModel(f.ctx()).subjects(), model.subjects());
    }

    void filesThatCannotBeWrittenAreLogged() {
        Folder f;
        QVERIFY(QDir().mkpath(f.app.path("subjects.dat"))); // neither readable nor writable as a file
        f.ctx().settingsFile.setPath(f.app.path("subjects.dat"));
        ConfigurationModel model(f.ctx());
        QVERIFY(model.subjects().isEmpty());
        ConfigurationValues v = model.load();
        v.groupMailBlockSize = 7;
        QCOMPARE(model.apply(v), QString()); // the values still take effect for this run
        QCOMPARE(f.ctx().settings.groupMailBlockSize, 7);
        QCOMPARE(model.addSubject("Returned mail"), QString());
        QFile log(f.app.path("Errors.log"));
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QByteArray text = log.readAll();
        for (const char* handler : {"Form_Load in frmConfiguration", "cmdOK_Click in frmConfiguration",
                                    "cmdAddSubject_Click in frmConfiguration"})
            QVERIFY2(text.contains(handler), handler);
        QVERIFY(f.app.ui.shown.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestConfiguration)
#include "tst_configuration.moc"
