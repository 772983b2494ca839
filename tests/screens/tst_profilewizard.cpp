// The delivery options wizard's rules without widgets: what a new set starts from, every
// page check with its exact message, the direct-send bounds, and storing as typed. The
// cancel and close-box questions are asked through the window in tst_frmsdprofilewiz.

#include "components/jet/Jet.h"
#include "screens/ProfileWizard.h"
#include "support/TestApp.h"

#include <QTest>
#include <functional>

using namespace sendora;
using sendora::test::msg;
using sendora::test::TestApp;

namespace {

struct Host : WindowHost {
    QStringList changed;
    void deliveryOptionsChanged(const QString& name) override { changed << name; }
};

struct Started {
    Host host;
    TestApp app{&host};
    Started() { app.start(); }
    void execute(const QString& sql) {
        jet::Database::open(app.ctx->paths.systemDatabase())->execute(sql, true);
    }
};

const QString kEnterName = "Please enter a name for your delivery options.";
const QString kInvalidName =
    "Please Enter a Valid Filename. A valid filename cannot conatain the following "
    "characters:    \"  *  ?  /  \\  |  :  ;   the file must also begin with a letter or a "
    "number.";
const QString kExample = "Example: john.smith@example.com";

} // namespace

class TestProfileWizard : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void newSetStartsFromTheDefaultSet() {
        Started s;
        s.app.ctx->settings.mailServer = "relay.example.net";
        s.execute(
            "UPDATE Profile SET [From] = \"owner@example.net\", bTimedBlocks = -1, TimedBlockSize = 40, "
            "auth = -1, username = \"u\", direct_send = -1, ProfileDescription = \"d\"");
        ProfileWizard w(*s.app.ctx);
        w.prepareNew(false, QDateTime(QDate(2026, 12, 4), QTime(7, 45, 12)));
        QCOMPARE(w.fields.name, QStringLiteral("New  Dec-04-2026 07.45.12"));
        QCOMPARE(w.fields.description, QString());
        QCOMPARE(w.fields.from, QStringLiteral("owner@example.net"));
        QVERIFY(w.fields.timedBlocks);
        QCOMPARE(w.fields.timedBlockSize, QStringLiteral("40"));
        QCOMPARE(w.fields.smtpServer, QStringLiteral("relay.example.net"));
        QVERIFY(!w.fields.auth && !w.fields.directSend && w.fields.username.isEmpty());
        QCOMPARE(w.fields.sentFlag, QStringLiteral("SENT"));
        QCOMPARE(w.fields.concurrentMailers, QStringLiteral("10"));
        QCOMPARE(w.caption(), QStringLiteral("Create a New Set of Sendora Mail Delivery Options"));
        QCOMPARE(w.windowTitle(3),
                 QStringLiteral("Create a New Set of Sendora Mail Delivery Options - Step 3 of 8"));
        QCOMPARE(w.nameLabel(), QStringLiteral("What do you want to call this set of Delivery Options?"));
        QVERIFY(!w.introText().contains("initialization"));

        // A name that still begins with "New " is never questioned, even when it exists.
        s.execute("INSERT INTO Profile (ProfileName) VALUES(\"New  Dec-04-2026 07.45.12\")");
        QVERIFY(w.validatePage(2).ok);
        QVERIFY(s.app.ui.shown.isEmpty());
    }

    void initializationWithoutTheDefaultSet() {
        Started s;
        s.execute("DELETE * FROM Profile");
        ProfileWizard w(*s.app.ctx);
        w.prepareNew(true);
        QCOMPARE(w.fields.name, QStringLiteral("Default Delivery Options"));
        QCOMPARE(w.fields.from, s.app.ctx->settings.sendersEmailAddress);
        QCOMPARE(w.fields.dnsTimeout, QStringLiteral("5"));
        QCOMPARE(w.fields.mailerTimeout, QStringLiteral("15"));
        QCOMPARE(w.fields.sendBlockSize, QStringLiteral("1000"));
        QVERIFY(w.introText().endsWith(
            "effort.\r\nNote: This initialization procedure must be completed in order to Sendora to run"));
        QVERIFY(w.validatePage(2).ok);
    }

    void existingSetAndAMissingOne() {
        Started s;
        s.app.ctx->settings.mailServer = "fallback.example.net";
        s.execute("UPDATE Profile SET SmtpServer = Null");
        ProfileWizard w(*s.app.ctx);
        QVERIFY(w.prepareExisting("default delivery options"));
        QCOMPARE(w.mode(), ProfileWizard::Mode::Modify);
        QCOMPARE(w.fields.smtpServer, QStringLiteral("fallback.example.net"));
        QCOMPARE(w.windowTitle(1),
                 QStringLiteral("View or Modify a Set of Sendora Mail Delivery Options - Step 1 of 8"));
        QCOMPARE(w.nameLabel(), QStringLiteral("Current Profile Name:"));
        QVERIFY(w.cancel()); // no question outside initialization
        QVERIFY(s.app.ui.shown.isEmpty());

        QVERIFY(!w.prepareExisting("Gone"));
        QCOMPARE(s.app.ui.transcript(),
                 QStringList{
                     msg("The Mail Delivery Options named Gone is no longer available or is damaged. \r\nYou "
                         "can either re-create it, or delete the reference to it and try another.",
                         "information", "OK", "This Mail Delivery Option Set Not Available")});
    }

    void buttonsFollowModeAndPage() {
        Started s;
        ProfileWizard w(*s.app.ctx);
        w.prepareNew(false);
        auto state = [&](int page) {
            const auto b = w.buttonState(page);
            return QString("%1%2%3%4").arg(b.back).arg(b.next).arg(b.finish).arg(b.finishIsDefault);
        };
        QCOMPARE(state(1), QStringLiteral("0100"));
        QCOMPARE(state(5), QStringLiteral("1100"));
        QCOMPARE(state(8), QStringLiteral("1011"));
        QCOMPARE(w.nextPage(8), 8);
        QCOMPARE(w.previousPage(1), 1);
        QVERIFY(w.prepareExisting(kDefaultProfileName));
        QCOMPARE(state(1), QStringLiteral("0110"));
        QCOMPARE(state(8), QStringLiteral("1011"));
    }

    void everyPageCheck() {
        Started s;
        s.execute("INSERT INTO Profile (ProfileName) VALUES(\"Weekly\")");
        using F = ProfileWizardFields;
        const struct Case {
            const char* tag;
            bool modify;
            int page;
            std::function<void(F&)> change;
            QList<Answer> answers;
            QString focus; // empty: passes
            QStringList shown;
        } cases[] = {
            {"modify, empty name",
             true,
             2,
             [](F& f) { f.name.clear(); },
             {},
             "txtProfileName",
             {msg(kEnterName)}},
            {"new, empty name",
             false,
             2,
             [](F& f) { f.name.clear(); },
             {},
             "txtProfileName",
             {msg(kEnterName, "exclamation")}},
            {"new, slash in name",
             false,
             2,
             [](F& f) { f.name = "a/b"; },
             {},
             "txtProfileName",
             {msg(kInvalidName, "exclamation")}},
            {"modify, leading apostrophe",
             true,
             2,
             [](F& f) { f.name = "'x"; },
             {},
             "txtProfileName",
             {msg(kInvalidName, "exclamation")}},
            {"modify, another existing name", true, 2, [](F& f) { f.name = "Weekly"; }, {}, "", {}},
            {"new, existing name kept",
             false,
             2,
             [](F& f) { f.name = "weekly"; },
             {Answer::No},
             "txtProfileName",
             {msg("That Delivery Options name is being used. Overwrite?", "question", "YesNo")}},
            {"new, existing name overwritten",
             false,
             2,
             [](F& f) { f.name = "Weekly"; },
             {Answer::Yes},
             "",
             {msg("That Delivery Options name is being used. Overwrite?", "question", "YesNo")}},
            {"empty sender",
             false,
             3,
             [](F& f) { f.from = " "; },
             {},
             "txtFrom",
             {msg("The 'From' address is required. Please enter a valid email address.")}},
            {"invalid sender",
             false,
             3,
             [](F& f) { f.from = "nobody"; },
             {},
             "txtFrom",
             {msg("The 'From' address is invalid.  \r\nPlease re-enter using a valid email address format.  "
                  "\r\n" +
                      kExample,
                  "information", "OK", "Invalid 'From' Address")}},
            {"invalid reply",
             false,
             3,
             [](F& f) { f.replyTo = "at@"; },
             {},
             "txtReplyTo",
             {msg("The 'Reply To' address is invalid.  \r\nPlease re-enter using a valid email address "
                  "format.  \r\n" +
                      kExample,
                  "information", "OK", "Invalid 'Reply To' Address")}},
            {"no reply address", false, 3, [](F& f) { f.replyTo.clear(); }, {}, "", {}},
            {"first n, no count",
             false,
             5,
             [](F& f) {
                 f.sendInBlocks = true;
                 f.sendBlockSize.clear();
             },
             {},
             "txtSendBlockSize",
             {msg("Please enter a number for 'Send to the First' addresses.")}},
            {"all addresses, no count",
             false,
             5,
             [](F& f) {
                 f.sendInBlocks = false;
                 f.sendBlockSize.clear();
             },
             {},
             "",
             {}},
            {"timed block of 0",
             false,
             6,
             [](F& f) {
                 f.timedBlocks = true;
                 f.timedBlockSize = "0";
             },
             {},
             "txtTimedBlockSize",
             {msg("Please enter a number for 'Send in Blocks'.")}},
            {"timed block of 00",
             false,
             6,
             [](F& f) {
                 f.timedBlocks = true;
                 f.timedBlockSize = "00";
             },
             {},
             "txtTimedBlockSize",
             {msg("Please enter a number for 'Send in Blocks'.")}},
            {"timed block empty",
             false,
             6,
             [](F& f) {
                 f.timedBlocks = true;
                 f.timedBlockSize.clear();
             },
             {},
             "txtTimedBlockSize",
             {msg("Please enter a number for 'Send in Blocks'.")}},
            {"wait of 0",
             false,
             6,
             [](F& f) {
                 f.timedBlocks = true;
                 f.timeIncrement = "0";
             },
             {},
             "txtTimeIncrement",
             {msg("Please enter a number for 'Wait __ Minutes'.")}},
            {"delay empty",
             false,
             6,
             [](F& f) {
                 f.insertTimeDelay = true;
                 f.timeDelay.clear();
             },
             {},
             "txtTimeDelay",
             {msg("Please enter a number for 'Insert a Delay'.")}},
            {"no pacing, zeros", false, 6, [](F& f) { f.timedBlockSize = f.timeDelay = "0"; }, {}, "", {}},
            {"no server",
             false,
             7,
             [](F& f) { f.smtpServer.clear(); },
             {},
             "txtSmtpServer",
             {msg("Please enter a mail server.")}},
            {"direct send, no server",
             false,
             7,
             [](F& f) {
                 f.smtpServer.clear();
                 f.directSend = true;
             },
             {},
             "",
             {}},
            {"auth, no user",
             false,
             7,
             [](F& f) {
                 f.auth = true;
                 f.password = "p";
             },
             {},
             "txtUserName",
             {msg("Please enter a username.")}},
            {"auth, no password",
             false,
             7,
             [](F& f) {
                 f.auth = true;
                 f.username = "u";
             },
             {},
             "txtPassword",
             {msg("Please enter a password.")}},
            {"port 587", false, 7, [](F& f) { f.smtpPort = "587"; }, {}, "", {}},
            {"port 70000",
             false,
             7,
             [](F& f) { f.smtpPort = "70000"; },
             {},
             "txtSmtpPort",
             {msg("Please enter a port from 1 to 65535, or leave the port empty to use the SMTP port of the "
                  "settings.")}},
            {"direct, no DNS server",
             false,
             8,
             [](F& f) {
                 f.directSend = true;
                 f.dnsServer.clear();
             },
             {},
             "txtDnsServer",
             {msg("Please enter a DNS server.")}},
            {"direct, failures, no server",
             false,
             8,
             [](F& f) {
                 f.directSend = f.defaultServer = true;
                 f.dnsServer = "10.0.0.1";
                 f.defaultMail.clear();
             },
             {},
             "txtDefaultMail",
             {msg("Please enter a default mail server.")}},
            {"relay, nothing direct",
             false,
             8,
             [](F& f) {
                 f.dnsServer.clear();
                 f.defaultServer = true;
             },
             {},
             "",
             {}},
        };
        for (const Case& c : cases) {
            ProfileWizard w(*s.app.ctx);
            if (c.modify)
                QVERIFY(w.prepareExisting(kDefaultProfileName));
            else
                w.prepareNew(false);
            w.fields.from = "owner@example.net";
            w.fields.replyTo = "back@example.net";
            c.change(w.fields);
            s.app.ui.clear();
            s.app.ui.answers = c.answers;
            const ProfileWizard::Check check = w.validatePage(c.page);
            QVERIFY2(check.ok == c.focus.isEmpty(), c.tag);
            QVERIFY2(check.focus == c.focus, c.tag);
            QVERIFY2(s.app.ui.transcript() == c.shown,
                     qPrintable(c.tag + (": " + s.app.ui.transcript().join(" / "))));
        }
    }

    void nameOnLeavingTheField() {
        Started s;
        ProfileWizard w(*s.app.ctx);
        w.prepareNew(false);
        for (const QString name : {"a*b", "a;b", "'a", "x\"y"}) {
            w.fields.name = name;
            QVERIFY2(!w.checkNameOnLeave().ok, qPrintable(name));
        }
        w.fields.name = "Plain name 2";
        QVERIFY(w.checkNameOnLeave().ok);
        QCOMPARE(s.app.ui.transcript(), QStringList(4, msg(kInvalidName, "exclamation")));
    }

    void directSendBounds() {
        using D = DirectSendNumber;
        QCOMPARE(directSendOnChange(D::ConcurrentMailers, "35"), QStringLiteral("20"));
        QCOMPARE(directSendOnChange(D::ConcurrentMailers, "7"), QStringLiteral("7"));
        QCOMPARE(directSendOnChange(D::MailerTimeout, "1"),
                 QStringLiteral("1")); // typing goes on: no lower bound yet
        QCOMPARE(directSendOnLeave(D::ConcurrentMailers, "0"), QStringLiteral("1"));
        QCOMPARE(directSendOnLeave(D::ConcurrentMailers, "35"), QStringLiteral("20"));
        QCOMPARE(directSendOnLeave(D::DnsTimeout, ""), QStringLiteral("5"));
        QCOMPARE(directSendOnLeave(D::DnsTimeout, "9"), QStringLiteral("9"));
        QCOMPARE(directSendOnLeave(D::MailerTimeout, ""), QStringLiteral("10"));
        QCOMPARE(directSendOnLeave(D::MailerTimeout, "3"), QStringLiteral("10"));
        QCOMPARE(directSendOnLeave(D::DnsRetries, ""), QStringLiteral("1"));
        QCOMPARE(directSendOnLeave(D::MailRetries, ""), QString());
        QCOMPARE(directSendOnLeave(D::MailRetries, "0"), QStringLiteral("1"));
        QCOMPARE(directSendStep(D::ConcurrentMailers, "20", 1), QStringLiteral("20"));
        QCOMPARE(directSendStep(D::DnsTimeout, "5", -1), QStringLiteral("5"));
        QCOMPARE(directSendStep(D::DnsRetries, "", 1), QStringLiteral("1"));
        QCOMPARE(readNumber(""), 0);
        QCOMPARE(readNumber("007"), 7);
        QCOMPARE(readNumber("12x"), 12);
    }

    void storedExactlyAsTypedAndMadeCurrent() {
        Started s;
        ProfileWizard w(*s.app.ctx);
        w.prepareNew(false);
        ProfileWizardFields& f = w.fields;
        f.name = "Quotes \"inside\"";
        f.description = "He said \"hi\"";
        f.from = "\"Sales Team\" <sales@example.org>";
        f.replyTo = "back@example.org";
        f.sentFlag = f.sentFlagToCheck = "SENT \"A\"";
        f.smtpServer = "smtp.\"x\".org";
        f.sqlFilter = "WHERE [City] = \"Bern\"";
        f.sendFiltered = f.sendInBlocks = true;
        f.sendBlockSize = "250";
        f.smtpPort = "587";
        f.smtpTls = TlsStartTlsRequired;
        f.directSend = true;
        f.concurrentMailers = "20";
        f.mailRetries.clear();
        const ProfileWizardFields typed = f;
        QVERIFY(w.process());
        QCOMPARE(s.app.ctx->settingsFile.read(kAppDefaults, "MailEventProfile"), typed.name);
        QCOMPARE(s.app.ctx->settings.mailEventProfile, typed.name);
        QCOMPARE(s.host.changed, QStringList{typed.name});

        ProfileWizard again(*s.app.ctx);
        QVERIFY(again.prepareExisting(typed.name));
        const ProfileWizardFields& back = again.fields;
        for (auto field :
             {&ProfileWizardFields::name, &ProfileWizardFields::description, &ProfileWizardFields::from,
              &ProfileWizardFields::sentFlag, &ProfileWizardFields::sentFlagToCheck,
              &ProfileWizardFields::smtpServer, &ProfileWizardFields::sqlFilter})
            QCOMPARE(back.*field, typed.*field);
        QVERIFY(back.sendFiltered && back.sendInBlocks && back.directSend);
        QCOMPARE(back.sendBlockSize, QStringLiteral("250"));
        QCOMPARE(back.smtpPort, QStringLiteral("587"));
        QCOMPARE(back.smtpTls, int(TlsStartTlsRequired));
        QCOMPARE(back.concurrentMailers, QStringLiteral("20"));
        QCOMPARE(back.mailRetries, QStringLiteral("0"));
        QVERIFY(s.app.ui.shown.isEmpty());
    }

    // "Specify Filter.." needs a chosen list whose file is there.
    void filterNeedsAListWithItsFile() {
        Started s;
        ProfileWizard w(*s.app.ctx);
        w.prepareNew(false);
        QVERIFY(w.filterListFile().isEmpty());
        QCOMPARE(s.app.ui.transcript(), QStringList{msg("You must select a list first")});
        s.execute(
            "INSERT INTO List(ListName, ListPath, ListDescription) VALUES(\"Gone\", \"Gone.mdb\", \"\")");
        for (const QString& name : {QStringLiteral("Gone"), QStringLiteral("Never catalogued")}) {
            s.app.ui.clear();
            w.fields.listName = name;
            QVERIFY(w.filterListFile().isEmpty());
            QCOMPARE(s.app.ui.transcript(), QStringList{msg("List file not found")});
        }
        s.app.ui.clear();
        jet::Database::create(s.app.ctx->paths.listFile("Gone.mdb"));
        w.fields.listName = "gone";
        QCOMPARE(w.filterListFile(), s.app.ctx->paths.listFile("Gone.mdb"));
        QVERIFY(s.app.ui.shown.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestProfileWizard)
#include "tst_profilewizard.moc"
