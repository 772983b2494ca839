// The mailing centre without widgets: the outline built from a seeded system database,
// removed marking, preparing with names in other letter cases, deleting, the checks before
// a send, results coming back, the button and menu rules, and a 10,000-mailing build.

#include "screens/SDCentral.h"
#include "support/DbQuery.h"
#include "support/MailingFixture.h"

#include <QElapsedTimer>
#include <QTest>

using namespace sendora;
using sendora::test::MailingFixture;
using sendora::test::msg;
using O = SDCentralOutline;

namespace {

// Groups Autumn (no mailings), Spring (lists Members with two mailings, Staff with one),
// Winter (list Members, one sent mailing); list Staff has no file.
struct Seeded : MailingFixture {
    SDCentral centre{*app.ctx};
    qint64 springHello = 0, springNews = 0, springStaff = 0, winter = 0;

    Seeded() {
        makeList("Members", {"a@x.test"});
        makeList("Staff", {"b@x.test"});
        for (const char* m : {"Hello", "News"})
            execute(
                QStringLiteral("INSERT INTO Message (MessageName, Subject, SendType) VALUES(\"%1\",\"s\",0)")
                    .arg(m));
        for (const char* g : {"Spring", "Winter", "Autumn"})
            execute(QStringLiteral("INSERT INTO Sendora VALUES(\"%1\",\"\")").arg(g));
        springNews = add("Spring", "Members", "News");
        springHello = add("Spring", "Members", "Hello");
        springStaff = add("Spring", "Staff", "Hello");
        winter = add("Winter", "Members", "Hello", "\"Mar 01 2024  10:00 AM\"", 7, 3);
        centre.open();
    }
    qint64 add(const QString& g, const QString& l, const QString& m, const QString& date = "Null",
               int total = 0, int last = -1) {
        execute(
            QStringLiteral(
                "INSERT INTO MailEvent (SendoraName, ListName, MessageName, Profile, DateSent, SentCount, "
                "LastCount) VALUES(%1,%2,%3,\"Default Delivery Options\",%4,%5,%6)")
                .arg(jet::quote(g), jet::quote(l), jet::quote(m), date)
                .arg(total)
                .arg(last < 0 ? QStringLiteral("Null") : QString::number(last)));
        return test::scalar(sdr(), "SELECT Max(MailEventName) FROM MailEvent").toLongLong();
    }
    // "<indent><name>|<id>|<date>|<last>|<total>[|removed]" per outline row.
    QStringList rows() const {
        QStringList out;
        const O& o = const_cast<SDCentral&>(centre).outline();
        for (int r = 0; r < o.rowsInUse(); ++r) {
            const auto i = o.rowInfo(r);
            out << QString(i.level * 2, u' ') + i.name + u'|' +
                       (i.level == 2 ? QString::number(i.id) : QString()) + u'|' + i.dateSent + u'|' +
                       (i.lastCount ? QString::number(*i.lastCount) : QString()) + u'|' +
                       (i.sentCount ? QString::number(*i.sentCount) : QString()) +
                       (i.removed ? "|removed" : "");
        }
        return out;
    }
    QString id(qint64 n) const { return QString::number(n); }
};

} // namespace

class TestSDCentralModel : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void outlineFollowsTheMailEventOrder() {
        Seeded s;
        QCOMPARE(s.rows(),
                 (QStringList{"Autumn||||", "Spring||||", "  Members||||",
                              "    Hello|" + s.id(s.springHello) + "|||0",
                              "    News|" + s.id(s.springNews) + "|||0", "  Staff||||",
                              "    Hello|" + s.id(s.springStaff) + "|||0", "Winter||||", "  Members||||",
                              "    Hello|" + s.id(s.winter) + "|Mar 01 2024  10:00 AM|3|7"}));
        O& o = s.centre.outline();
        // The tree agrees with the outline rows.
        QCOMPARE(o.rowCount(), 3);
        const QModelIndex spring = o.index(1, 0);
        QCOMPARE(o.rowCount(spring), 2);
        QCOMPARE(o.rowOf(o.index(1, 0, o.index(0, 0, spring))), 4);
        QCOMPARE(o.indexOfRow(6).parent().data().toString(), QStringLiteral("Staff"));
        QCOMPARE(o.data(o.indexOfRow(3, O::ProfileColumn)).toString(), kDefaultProfileName);
        QCOMPARE(o.headerData(O::TotalColumn, Qt::Horizontal).toString(), QStringLiteral("Total Mailed"));
        QCOMPARE(s.centre.catalogue().messages, (QStringList{"Hello", "News"}));
    }

    void removedMarkingFollowsTheCatalogue() {
        Seeded s;
        s.execute("DELETE FROM Message WHERE MessageName = \"Hello\"");
        s.execute("DELETE FROM List WHERE ListName = \"Staff\"");
        s.centre.refreshSources();
        s.centre.UpdateItemInSDDisplay("hello", O::MailingLevel);
        s.centre.UpdateItemInSDDisplay("STAFF", O::ListLevel);
        QStringList removed;
        for (int r = 0; r < s.centre.outline().rowsInUse(); ++r)
            if (s.centre.outline().isRemoved(r)) removed << QString::number(r);
        QCOMPARE(removed, (QStringList{"3", "5", "6", "9"}));
        QVERIFY(!s.centre.isSendableRow(3));
        QVERIFY(s.centre.isSendableRow(4));
        // A removed mailing's menu is checked on the window (tst_sdcentral); a removed group offers nothing.
        for (const RowMenuItem& i : rowMenu(O::GroupLevel, true))
            QVERIFY(!i.enabled);
        s.app.ui.clear();
        QVERIFY(!s.centre.selectForNewMailing(3));
        QVERIFY(!s.centre.mailingToSend(3));
        QVERIFY(!s.centre.openMessage(3));
        QCOMPARE(
            s.app.ui.transcript(),
            (QStringList{
                msg("Cannot select 'Hello' for a new mailing.  This Message has been removed from Sendora."),
                msg(SDCentral::kSelectMailingFirst),
                msg("Cannot open 'Hello'.  This Message has been removed from Sendora.")}));
    }

    void prepareFindsGroupAndListWithoutCase() {
        Seeded s;
        const int row = s.centre.PrepareMailing("spring", "MEMBERS", "News", kDefaultProfileName);
        const qint64 id = test::scalar(s.sdr(), "SELECT Max(MailEventName) FROM MailEvent").toLongLong();
        const auto info = s.centre.outline().rowInfo(row);
        QCOMPARE(info.id, id);
        QCOMPARE(info.group + "/" + info.list + "/" + info.name, "Spring/Members/News");
        QCOMPARE(s.centre.outline().rowsInUse(), 11);
        QVERIFY(!info.lastCount && info.dateSent.isEmpty());
        QCOMPARE(*info.sentCount, 0);
        QCOMPARE(s.app.ctx->settingsFile.read(kAppDefaults, "CurSendora", {}), QStringLiteral("spring"));
        QCOMPARE(s.app.ctx->settingsFile.read(kAppDefaults, "CurList", {}), QStringLiteral("MEMBERS"));
        QCOMPARE(s.app.ctx->settingsFile.read(kAppDefaults, "MailEventProfile", {}), kDefaultProfileName);
        QCOMPARE(
            test::scalar(s.sdr(),
                         QStringLiteral("SELECT SentCount FROM MailEvent WHERE MailEventName = %1").arg(id)),
            QVariant(0));

        // A new group and list go to their sorted places.
        const int fresh = s.centre.PrepareMailing("Beta", "Members", "Hello", kDefaultProfileName);
        QCOMPARE(fresh, 3);
        QCOMPARE(s.centre.outline().rowInfo(1).name, QStringLiteral("Beta"));
        // A rebuild from the database gives the same outline.
        const QStringList before = s.rows();
        s.centre.SetupNewFlexGrid();
        QCOMPARE(s.rows(), before);
    }

    void deletingTheLastMailingOfAListDropsTheListRow() {
        Seeded s;
        s.app.ui.answers = {Answer::OK, Answer::OK};
        QVERIFY(!s.centre.deleteMailing(2)); // a list row
        QVERIFY(s.centre.deleteMailing(6));  // Staff's only mailing
        QCOMPARE(s.centre.outline().rowsInUse(), 8);
        QCOMPARE(s.centre.outline().findGroup("spring"), 1);
        QVERIFY(s.centre.deleteMailing(3)); // one of two under Members
        QCOMPARE(s.centre.outline().rowInfo(2).name, QStringLiteral("Members"));
        QCOMPARE(s.centre.outline().rowInfo(3).id, s.springNews);
        // Gone meanwhile: refused, the row stays.
        s.execute(QStringLiteral("DELETE FROM MailEvent WHERE MailEventName = %1").arg(s.springNews));
        QVERIFY(!s.centre.deleteMailing(3));
        QCOMPARE(s.centre.outline().rowInfo(3).id, s.springNews);
        QCOMPARE(
            s.app.ui.transcript(),
            (QStringList{
                msg("Cannot delete the mailing.  The selected item is not a mail message."),
                msg("Delete the mailing for 'Hello' message?\r\n\r\nNote this deletes only the mailing "
                    "and not the list or message.",
                    "information", "OKCancel", "Delete Mailing"),
                msg("Delete the mailing for 'Hello' message?\r\n\r\nNote this deletes only the mailing "
                    "and not the list or message.",
                    "information", "OKCancel", "Delete Mailing"),
                msg("Cannot delete the mailing for 'News' message.  This mailing has already been deleted.",
                    "exclamation")}));
        QCOMPARE(test::scalar(s.sdr(), "SELECT Count(*) FROM MailEvent").toInt(), 1);
    }

    void cancelledDeleteKeepsEverything() {
        Seeded s;
        s.app.ui.answers = {Answer::Cancel, Answer::No};
        QVERIFY(!s.centre.deleteMailing(3));
        QVERIFY(!s.centre.deleteGroup(1));
        QCOMPARE(test::scalar(s.sdr(), "SELECT Count(*) FROM MailEvent").toInt(), 4);
        QCOMPARE(s.centre.outline().rowsInUse(), 10);
        QCOMPARE(s.app.ui.transcript().last(),
                 msg("Are you sure you wish to delete the group 'Spring'?", "question", "YesNo"));
    }

    void sendChecksReadTheRow() {
        Seeded s;
        s.app.ui.clear();
        QVERIFY(!s.centre.mailingToSend(0)); // a group row
        const auto winter = s.centre.mailingToSend(9);
        QVERIFY(winter);
        QCOMPARE(winter->id, s.winter);
        QCOMPARE(winter->group + "/" + winter->list + "/" + winter->message + "/" + winter->profile,
                 "Winter/Members/Hello/" + kDefaultProfileName);
        QCOMPARE(winter->sentCount, 7);
        QVERIFY(s.centre.sentBefore(*winter));
        QVERIFY(!s.centre.sentBefore(*s.centre.mailingToSend(3)));
        QVERIFY(!s.centre.selectsDirectSend(kDefaultProfileName));
        QCOMPARE(s.app.ui.transcript(),
                 QStringList{msg(SDCentral::kSelectMailingFirst)}); // a deleted list: tst_sdcentral
        QVERIFY(!s.centre.mailingToSchedule(2));
        QCOMPARE(*s.centre.mailingToSchedule(3), s.springHello);
    }

    void resultsAddUpAndIgnoreDeletedMailings() {
        Seeded s;
        QCOMPARE(s.centre.ReturnMailResults(s.winter, 5, 1, "Apr 02 2024  09:15 AM"), 9);
        QCOMPARE(s.rows().at(9), "    Hello|" + s.id(s.winter) + "|Apr 02 2024  09:15 AM|5|12");
        QCOMPARE(test::scalar(s.sdr(),
                              QStringLiteral("SELECT SentCountFailed FROM MailEvent WHERE MailEventName = %1")
                                  .arg(s.winter))
                     .toInt(),
                 1);
        const QStringList before = s.rows();
        QCOMPARE(s.centre.ReturnMailResults(99999, 5, 1, "x"), -1);
        QCOMPARE(s.rows(), before);
        s.centre.close();
        s.app.ui.clear();
        QCOMPARE(s.centre.ReturnMailResults(s.winter, 1, 0, "y"), -1);
        QCOMPARE(
            s.app.ui.transcript(),
            QStringList{msg("Could not update Mailing results into the MailEvent database.", "exclamation")});
    }

    void selectionAndChoiceRules() {
        Seeded s;
        QVERIFY(choiceButtons({"G", "D", "L", "M"}).prepare);
        QCOMPARE(choiceButtons({"G", "D", "L", "M"}).send, std::optional<bool>(false));
        QVERIFY(!choiceButtons({}).prepare);
        QVERIFY(!choiceButtons({}).send.has_value());
        QVERIFY(!choiceButtons({"G", "D", "", "M"}).prepare);
        QCOMPARE(choiceButtons({"G", "", "", ""}).send, std::optional<bool>(false));
        QCOMPARE(properCase("sPRING sale list"), QStringLiteral("Spring Sale List"));
        s.execute("DELETE FROM Sendora WHERE SendoraName = \"Autumn\"");
        QVERIFY(!s.centre.selectForNewMailing(0));
        QCOMPARE(s.app.ui.transcript().last(),
                 msg("Cannot select 'Autumn' for a new mailing.  This Sendora has been removed."));
        QCOMPARE(*s.centre.selectForNewMailing(2), QStringLiteral("Members"));
        s.app.ui.clear();
        QVERIFY(!s.centre.showDeliveryOptions(2));
        QCOMPARE(s.app.ui.transcript().last(), msg("Cannot display the Mailing Options.  The selected item "
                                                   "does not have a valid Mailing Options "
                                                   "defined for it.",
                                                   "exclamation"));
    }

    void sentFlagChangeWritesBothColumns() {
        MailingFixture f;
        f.execute("UPDATE Profile SET SentFlag = \"OLD\", SentFlagToCheck = \"OLD\"");
        QCOMPARE(currentSentFlag(*f.app.ctx, kDefaultProfileName), QStringLiteral("OLD"));
        QCOMPARE(*changeSentFlag(*f.app.ctx, kDefaultProfileName, "NEW"),
                 QStringLiteral("\tChanged 'Sent' text from                                OLD  toNEW."));
        QCOMPARE(test::scalar(f.sdr(), "SELECT SentFlag & \"/\" & SentFlagToCheck FROM Profile").toString(),
                 QStringLiteral("NEW/NEW"));
    }

    void tenThousandMailingsBuildQuickly() {
        MailingFixture f;
        {
            auto db = jet::Database::open(f.sdr());
            auto insert = db->prepareStatement(
                QStringLiteral("INSERT INTO MailEvent (SendoraName, ListName, MessageName, "
                               "Profile, SentCount) VALUES(%1,%2,%3,\"P\",0)")
                    .arg(jet::param(1), jet::param(2), jet::param(3)));
            db->beginTransaction();
            for (int i = 0; i < 10000; ++i) {
                insert->bind(1, QStringLiteral("Group %1").arg(i % 40, 2, 10, QLatin1Char('0')));
                insert->bind(2, QStringLiteral("List %1").arg(i % 25));
                insert->bind(3, QStringLiteral("Message %1").arg(i));
                insert->execute();
            }
            db->commit();
        }
        SDCentral c(*f.app.ctx);
        QElapsedTimer t;
        t.start();
        QVERIFY(c.open());
        const qint64 built = t.elapsed();
        qInfo("10,000 mailings: outline built in %lld ms", built);
        QCOMPARE(c.outline().rowsInUse(), 40 + 200 + 10000); // each group meets 5 of the 25 lists
        QVERIFY2(built < 3000, qPrintable(QString::number(built)));
        t.restart();
        const int row = c.PrepareMailing("Group 39", "List 24", "Message z", "P");
        QCOMPARE(c.outline().rowInfo(row).name, QStringLiteral("Message z"));
        QCOMPARE(c.outline().findMailing(c.outline().rowInfo(row).id), row);
        QVERIFY(t.elapsed() < 1000);
    }
};

QTEST_GUILESS_MAIN(TestSDCentralModel)
#include "tst_sdcentral_model.moc"
