// The mailing wizard's rules without widgets, from an empty catalogue to a prepared
// mailing: every page check with its exact message, what passing a page stores, the
// creation flows it starts and what they report back, Finish and the exit question.

#include "components/jet/Jet.h"
#include "core/Catalogue.h"
#include "core/WizardState.h"
#include "screens/MailingWizard.h"
#include "support/DbQuery.h"
#include "support/TestApp.h"

#include <QTest>

using namespace sendora;
using sendora::test::msg;
using sendora::test::TestApp;

namespace {

struct Host : WindowHost {
    QStringList calls;
    bool openMessageWindow(const QString& name) override {
        calls << "message:" + name;
        return true;
    }
    bool openDeliveryOptionsWizard(const QString& name) override {
        calls << "options:" + name;
        return true;
    }
};

struct Started {
    Host host;
    TestApp app{&host};
    MailingWizard w{*app.ctx};
    Started() {
        app.start();
        w.begin();
    }
    QString sdr() const { return app.ctx->paths.systemDatabase(); }
    void execute(const QString& sql) { jet::Database::open(sdr())->execute(sql, true); }
    QVariant scalar(const QString& sql) const { return test::scalar(sdr(), sql); }
    QString ini(const QString& key) const {
        return app.ctx->settingsFile.read(QStringLiteral("ApplicationDefaults"), key);
    }
    // Next on the current page; the messages it showed.
    QStringList next(bool* moved = nullptr) {
        app.ui.clear();
        const bool ok = w.next();
        if (moved) *moved = ok;
        return app.ui.transcript();
    }
};

QString info(const QString& text) {
    return msg(text);
}

} // namespace

class TestMailingWizard : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void walksFromAnEmptyCatalogueToAPreparedMailing() {
        Started s;
        MailingWizard& w = s.w;
        QVERIFY(mailingWizardState().running);
        QCOMPARE(w.stepCaption(), QStringLiteral("Welcome - Step 1 of 9"));
        bool moved = false;
        QCOMPARE(s.next(&moved), QStringList());
        QVERIFY(moved);

        // Group page: a choice, a name, a usable name, an unused name.
        QCOMPARE(s.next(&moved), QStringList{info("Please select a Sendora or create a new Sendora")});
        QVERIFY(!moved);
        QCOMPARE(w.page(), int(MailingWizard::Group));
        w.newGroup = true;
        w.newGroupName = "   ";
        QCOMPARE(s.next(), QStringList{info("Please supply a Sendora name or select an existing Sendora")});
        w.newGroupName = "Spring: news";
        QCOMPARE(s.next(), QStringList{info(MailingWizard::kInvalidGroupName)});
        QVERIFY(MailingWizard::kInvalidGroupName.startsWith(
            "Please Enter a Valid Filename. A valid filename cannot conatain the following characters:"));
        s.execute("INSERT INTO Sendora (SendoraName) VALUES (\"Taken\")");
        w.newGroupName = "Taken";
        QCOMPARE(s.next(), QStringList{info(
                               "A Sendora Group with this name already exists.  Please choose a new name.")});
        w.newGroupName = " Spring ";
        w.newGroupDescription = "Spring news";
        QCOMPARE(s.next(&moved), QStringList());
        QVERIFY(moved);
        QCOMPARE(s.ini("CurSendora"), QStringLiteral("Spring"));
        QVERIFY(s.scalar("SELECT Count(*) FROM Sendora WHERE SendoraName = \"Spring\"").toInt() == 0);

        // List page: a new list is made elsewhere and reported back once saved.
        QCOMPARE(s.next(), QStringList{info("Please select an Address List.")});
        QList<MailingWizard::NewList> made;
        w.createList = [&made](MailingWizard::NewList kind) { made << kind; };
        w.newList = true;
        w.newListKind = MailingWizard::NewList::Mailbox;
        QCOMPARE(s.next(&moved), QStringList());
        QVERIFY(moved);
        QCOMPARE(made, QList<MailingWizard::NewList>{MailingWizard::NewList::Mailbox});
        QCOMPARE(w.listResult(), QStringLiteral("<Cancel"));
        QCOMPARE(s.next(), QStringList{info("Please create or specify a mailing list for this Sendora")});
        w.listChosen("Customers");
        QCOMPARE(mailingWizardState().listName, QStringLiteral("Customers"));
        QCOMPARE(s.next(), QStringList());

        // Message page: a new message's editor; only its user-given name counts.
        QCOMPARE(w.page(), int(MailingWizard::Message));
        QCOMPARE(s.next(), QStringList{info("Please select or create and name a new message")});
        QVERIFY(w.createNewMessage());
        QCOMPARE(s.host.calls, QStringList{"message:"});
        s.execute("INSERT INTO Message (MessageName) VALUES (\"" + kNewMessagePrefix + "1\")");
        w.messageNamed(kNewMessagePrefix + "1");
        w.messageNamed("Never stored");
        QCOMPARE(s.next(), QStringList{info("Please select or create and name a new message")});
        s.execute("INSERT INTO Message (MessageName, MessageDescription) VALUES (\"Hello\", \"greets\")");
        w.messageNamed("Hello");
        QCOMPARE(s.next(), QStringList());
        QCOMPARE(s.ini("CurMessage"), QStringLiteral("Hello"));
        QCOMPARE(w.messageResult(), QStringLiteral("Hello"));
        QCOMPARE(s.next(), QStringList());

        // Delivery options: none chosen, then the default set's note (Cancel stays).
        QCOMPARE(w.page(), int(MailingWizard::Options));
        QCOMPARE(w.stepCaption(), QStringLiteral("Delivery Options - Step 7 of 9"));
        QCOMPARE(s.next(), QStringList{info("Please select or create a mailing options set")});
        w.existingOptions = "Default Delivery Options";
        s.app.ui.answers = {Answer::Cancel};
        QCOMPARE(s.next(&moved),
                 QStringList{msg("Using Default Delivery Options", "information", "OKCancel")});
        QVERIFY(!moved);
        s.app.ui.answers = {Answer::OK};
        s.next(&moved);
        QVERIFY(moved);
        QCOMPARE(w.optionsResult(), QStringLiteral("Default Delivery Options"));
        QCOMPARE(s.next(), QStringList());

        // Finish: the new group, then the mailing in the system database.
        QCOMPARE(w.page(), int(MailingWizard::Final));
        QVERIFY(!w.next());
        QVERIFY(w.finish());
        QCOMPARE(s.scalar("SELECT SendoraDescription FROM Sendora WHERE SendoraName = \"Spring\"").toString(),
                 QStringLiteral("Spring news"));
        QCOMPARE(s.scalar("SELECT ListName & \"|\" & MessageName & \"|\" & Profile FROM MailEvent WHERE "
                          "SendoraName = \"Spring\"")
                     .toString(),
                 QStringLiteral("Customers|Hello|Default Delivery Options"));
        QVERIFY(w.finished() && !mailingWizardState().running);
        QVERIFY(w.Form_QueryUnload());
    }

    void finishChecksOptionsMessageAndListInThatOrderAndHandsTheRowOn() {
        Started s;
        MailingWizard& w = s.w;
        QStringList calls;
        w.prepare = [&calls](const QString& g, const QString& l, const QString& m, const QString& o) {
            calls << QStringList{g, l, m, o}.join(u'|');
            return 7;
        };
        w.showCentre = [&calls] { calls << "show"; };
        w.send = [&calls](int row) { calls << "send:" + QString::number(row); };
        w.existingGroup = "Sample";
        s.app.ui.clear();
        QVERIFY(!w.finish());
        w.newOptions = true;
        w.optionsSaved("Not stored");
        QVERIFY(w.createNewOptions());
        QCOMPARE(s.host.calls, QStringList{"options:"});
        w.optionsSaved("Default Delivery Options");
        QVERIFY(!w.finish());
        w.createNewMessage();
        s.execute("INSERT INTO Message (MessageName) VALUES (\"Hello\")");
        w.messageNamed("Hello");
        QVERIFY(!w.finish());
        QCOMPARE(s.app.ui.transcript(), (QStringList{info("Please select or create a mailing options set"),
                                                     info("Please select or create and name a new message"),
                                                     info("Please select a mailing list")}));
        w.listChosen("Customers");
        w.showCentral = false;
        w.sendNow = true;
        QVERIFY(w.finish());
        QCOMPARE(calls, (QStringList{"Sample|Customers|Hello|Default Delivery Options", "send:7"}));
    }

    void closingBeforeFinishAsksAndTheFlagEndsWithTheWizard() {
        Started s;
        s.app.ui.answers = {Answer::No, Answer::Yes};
        QVERIFY(!s.w.Form_QueryUnload());
        QVERIFY(s.w.Form_QueryUnload());
        const QString question = "Are you sure you wish to exit?  Any changes you made in the wizard will be "
                                 "\r\nlost, although any created items are already saved.  Use the finish "
                                 "button to \r\nsave modifications.";
        QCOMPARE(s.app.ui.transcript(),
                 (QStringList{msg(question, "question", "YesNo"), msg(question, "question", "YesNo")}));
        s.w.back();
        QCOMPARE(s.w.page(), int(MailingWizard::Welcome));
        {
            MailingWizard second(*s.app.ctx);
            second.begin();
            second.listChosen("Mine");
        }
        QVERIFY(!mailingWizardState().running);
        QVERIFY(mailingWizardState().listName.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestMailingWizard)
#include "tst_mailingwizard.moc"
