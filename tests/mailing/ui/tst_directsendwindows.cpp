// The direct-send screen, its failures listing and the Undeliverable Manager's four pages,
// driven headless.

#include "mailing/ui/frmDirectSend.h"
#include "mailing/ui/frmFailures.h"
#include "mailing/ui/frmUndeliverable.h"
#include "support/MailingFixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

using namespace sendora;
using sendora::test::MailingFixture;

namespace {

struct Windows : MailingFixture {
    Windows() {
        makeList("Members", {"a@x.test", "b@x.test", "c@x.test"}, {"S", "S", "S"});
        auto db = jet::Database::open(listFile("Members"));
        db->execute("ALTER TABLE AddressList ADD COLUMN id LONG", true);
        db->execute("ALTER TABLE AddressList ADD COLUMN error TEXT(255)", true);
        db->execute("UPDATE AddressList SET id = 7, error = \"MX Error... no mail host\" WHERE EAddress = "
                    "\"a@x.test\"");
        db->execute("UPDATE AddressList SET id = 8, error = \"Socket Error... refused\" WHERE EAddress = "
                    "\"b@x.test\"");
        db->execute("UPDATE AddressList SET error = \"\" WHERE EAddress = \"c@x.test\"");
    }
    qint64 errorRows() {
        auto db = jet::Database::open(listFile("Members"), jet::Database::OpenMode::ReadOnly);
        return db->openRecordset("SELECT Count(*) FROM AddressList WHERE error <> \"\"")
            ->value(0)
            .toLongLong();
    }
};

template <class T> T* child(QWidget* w, const char* name) {
    T* c = w->findChild<T*>(QLatin1String(name));
    if (!c) qFatal("no child %s", name);
    return c;
}

} // namespace

class TestDirectSendWindows : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void undeliverablePages() {
        Windows w;
        frmUndeliverable f(*w.app.ctx);
        auto* heading = child<QLabel>(&f, "lblHeading");
        QCOMPARE(heading->text(), frmUndeliverable::kHeading1);
        QVERIFY(!f.backButton()->isEnabled());
        f.next(); // nothing chosen
        QCOMPARE(f.page(), 0);
        QCOMPARE(w.app.ui.shown.size(), 1);
        child<QCheckBox>(&f, "chkDNSErrors")->setChecked(true);
        f.next();
        QCOMPARE(f.page(), 1);
        QCOMPARE(heading->text(), frmUndeliverable::kHeading2);
        auto* lists = child<QListWidget>(&f, "lstLists");
        const auto members = lists->findItems("Members", Qt::MatchExactly);
        QCOMPARE(members.size(), 1);
        f.back();
        QCOMPARE(f.page(), 0);
        f.next();
        lists->setCurrentItem(lists->findItems("Members", Qt::MatchExactly).first()); // the list was re-read
        f.next();
        QCOMPARE(f.page(), 2);
        QCOMPARE(heading->text(), frmUndeliverable::kHeading3);
        const QStringList counts = {"2", "0", "0", "1", "0", "1"};
        for (int i = 0; i < 6; ++i)
            QCOMPARE(child<QLabel>(&f, QStringLiteral("lblCount%1").arg(i).toLatin1())->text(), counts[i]);
        f.next();
        QCOMPARE(f.page(), 3);
        QCOMPARE(heading->text(), frmUndeliverable::kDone);
        QVERIFY(!f.backButton()->isEnabled());
        QCOMPARE(w.errorRows(), 1); // only the MX error went

        // Nothing of the chosen cause left, but counts above zero: the delete runs and finds none.
        frmUndeliverable again(*w.app.ctx);
        child<QCheckBox>(&again, "chkDNSTimeouts")->setChecked(true);
        again.next();
        auto* lists2 = child<QListWidget>(&again, "lstLists");
        lists2->setCurrentItem(lists2->findItems("Members", Qt::MatchExactly).first());
        again.next();
        again.next();
        QCOMPARE(child<QLabel>(&again, "lblHeading")->text(), frmUndeliverable::kDone);
        QCOMPARE(w.errorRows(), 1);
    }

    void undeliverableNothingToRemove() {
        MailingFixture f;
        f.makeList("Plain", {"a@x.test"});
        frmUndeliverable u(*f.app.ctx);
        child<QCheckBox>(&u, "chkAllErrors")->setChecked(true);
        u.next();
        auto* lists = child<QListWidget>(&u, "lstLists");
        lists->setCurrentItem(lists->findItems("Plain", Qt::MatchExactly).first());
        u.next();
        QCOMPARE(child<QLabel>(&u, "lblCount0")->text(), QStringLiteral("0"));
        u.next();
        QCOMPARE(child<QLabel>(&u, "lblHeading")->text(), frmUndeliverable::kNothingToRemove);
    }

    void undeliverableWithoutLists() {
        MailingFixture f;
        f.execute("DELETE FROM List");
        frmUndeliverable u(*f.app.ctx);
        child<QCheckBox>(&u, "chkAllErrors")->setChecked(true);
        u.next();
        QVERIFY(!child<QLabel>(&u, "lblNoLists")->isHidden());
        QCOMPARE(child<QLabel>(&u, "lblNoLists")->text(), frmUndeliverable::kNoLists);
        u.next(); // no list to go on with
        QCOMPARE(u.page(), 1);
    }

    void failuresListing() {
        Windows w;
        frmFailures f(*w.app.ctx, "Members.mdb");
        QTRY_VERIFY(!f.loading());
        QStringList texts;
        for (int i = 0; i < f.entries()->count(); ++i)
            texts << f.entries()->item(i)->text();
        texts.sort();
        QCOMPARE(texts, QStringList({"ID: 7 - Email Address: a@x.test\r\nError: MX Error... no mail host",
                                     "ID: 8 - Email Address: b@x.test\r\nError: Socket Error... refused"}));
    }

    void directSendScreen() {
        QCOMPARE(frmDirectSend::bytesText(1234567), QStringLiteral("1,234,567.00"));
        QCOMPARE(frmDirectSend::elapsedText(3725999), QStringLiteral("01:02:05"));
        Windows w;
        w.execute("INSERT INTO Message (MessageName, Subject, SendType, HTMLText) "
                  "VALUES(\"Hello\",\"Hi\",1,\"x\")");
        w.execute("UPDATE Profile SET direct_send = -1, bSendInBlocks = -1, SendBlockSize = 10, "
                  "bIfNotYetFlagged = -1, SentFlagToCheck = \"S\"");
        w.execute("INSERT INTO Sendora VALUES(\"Spring\",\"\")");
        w.execute("INSERT INTO MailEvent (SendoraName, ListName, MessageName, Profile) "
                  "VALUES(\"Spring\",\"Members\",\"Hello\",\"Default Delivery Options\")");
        MailingRow row{1, "Spring", "Members", "Hello", "Default Delivery Options", {}, 0, 0, 0};
        frmDirectSend s(*w.app.ctx, row);
        QCOMPARE(child<QLabel>(&s, "lblProfile")->text(), QStringLiteral("Default Delivery Options"));
        QCOMPARE(child<QLabel>(&s, "lblElapsed")->text(), QStringLiteral("00:00:00"));
        auto* unit = child<QComboBox>(&s, "cboTimeUnit");
        QCOMPARE(QStringList({unit->itemText(0), unit->itemText(1), unit->itemText(2)}),
                 QStringList({"Second", "Minute", "Hour"}));
        auto enabled = [&s] {
            QString e;
            for (const char* b : {"cmdSend", "cmdPause", "cmdStop", "cmdFailures", "cmdClose"})
                e += child<QPushButton>(&s, b)->isEnabled() ? u'1' : u'0';
            return e;
        };
        QCOMPARE(enabled(), QStringLiteral("10011"));
        QSignalSpy states(&s, &frmDirectSend::stateChanged);
        // Every address is flagged: the send ends with the list message, errors cleared.
        child<QPushButton>(&s, "cmdSend")->click();
        QCOMPARE(child<QLabel>(&s, "lblStatus")->text(),
                 QStringLiteral("Assigning message ids, please wait..."));
        QTRY_COMPARE(s.state(), frmDirectSend::Over);
        QCOMPARE(states.first().first().toInt(), int(frmDirectSend::Initialising));
        QCOMPARE(w.app.ui.shown.last().title, QStringLiteral("Address List"));
        QCOMPARE(enabled(), QStringLiteral("10011"));
        QCOMPARE(w.errorRows(), 0);
    }
};

QTEST_MAIN(TestDirectSendWindows)
#include "tst_directsendwindows.moc"
