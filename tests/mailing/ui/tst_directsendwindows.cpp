// The direct-send screen, its failures listing and the Undeliverable Manager's four pages,
// driven headless.

#include "mailing/ui/frmDirectSend.h"
#include "mailing/ui/frmFailures.h"
#include "mailing/ui/frmUndeliverable.h"
#include "support/Dnsmasq.h"
#include "support/MailingFixture.h"
#include "support/SinkPool.h"

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

// A direct-send mailing of 30 addresses at one domain whose server takes its time per message.
struct LiveMailing : MailingFixture {
    test::Dnsmasq dns;
    test::CaptureSmtp sink{test::SinkBehaviour::AcceptAll};
    MailingRow row{1, "Spring", "Live", "Hello", "Default Delivery Options", {}, 0, 0, 0};

    bool start() {
        if (!sink.listen(QHostAddress("127.0.3.2"))) return false;
        sink.dataDelayMs = 150;
        dns.mx("live.test", "mx.live.test", 10).host("mx.live.test", "127.0.3.2");
        if (!dns.start()) return false;
        QStringList addresses;
        for (int i = 0; i < 30; ++i)
            addresses << QStringLiteral("p%1@live.test").arg(i, 2, 10, QChar(u'0'));
        makeList("Live", addresses);
        execute("INSERT INTO Message (MessageName, Subject, SendType, MessageText) "
                "VALUES(\"Hello\",\"Hi\",0,\"Hello [[FirstName]]\")");
        execute(
            QStringLiteral("UPDATE Profile SET direct_send = -1, dns_server = %1, dns_timeout = 1, "
                           "dns_retries = 0, mailer_timeout = 5, mail_retries = 0, concurrent_mailers = 2, "
                           "[From] = \"news@sender.test\", bFlagSends = -1, SentFlag = \"SENT\"")
                .arg(jet::quote(dns.server())));
        execute("INSERT INTO Sendora VALUES(\"Spring\",\"\")");
        execute("INSERT INTO MailEvent (SendoraName, ListName, MessageName, Profile) "
                "VALUES(\"Spring\",\"Live\",\"Hello\",\"Default Delivery Options\")");
        return true;
    }
    int scalar(const QString& file, const char* sql) {
        auto db = jet::Database::open(file, jet::Database::OpenMode::ReadOnly);
        return db->openRecordset(QLatin1String(sql))->value(0).toInt();
    }
};

bool liveServersAvailable() {
    if (test::Dnsmasq::available() && test::SinkPool::canBindPort25()) return true;
    if (test::Dnsmasq::mustExist()) qFatal("dnsmasq and root (for port 25) are needed");
    return false;
}

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

    // Send, Pause, Resume and Stop on a running mailing: the buttons follow each state, the
    // mailers stop after their messages in flight, and the figures reach the mailing's row.
    void directSendPauseResumeStop() {
        if (!liveServersAvailable()) QSKIP("needs dnsmasq and root (for port 25)");
        LiveMailing m;
        QVERIFY(m.start());
        frmDirectSend s(*m.app.ctx, m.row);
        QSignalSpy finished(&s, &frmDirectSend::mailingFinished);
        auto press = [&s](const char* name) { child<QPushButton>(&s, name)->click(); };
        press("cmdSend");
        QTRY_COMPARE(s.state(), frmDirectSend::Sending);
        QCOMPARE(child<QComboBox>(&s, "cboMailer")->count(), 2);
        QTRY_VERIFY(s.manager()->sentCount() >= 2);
        press("cmdPause");
        QCOMPARE(s.state(), frmDirectSend::Paused);
        QCOMPARE(child<QPushButton>(&s, "cmdPause")->text(), QStringLiteral("&Resume"));
        QVERIFY(!child<QPushButton>(&s, "cmdSend")->isEnabled());
        QTest::qWait(600); // the messages in flight end; nothing new starts
        const qint64 paused = s.manager()->sentCount();
        QTest::qWait(400);
        QCOMPARE(s.manager()->sentCount(), paused);
        press("cmdPause");
        QCOMPARE(s.state(), frmDirectSend::Sending);
        QTRY_VERIFY(s.manager()->sentCount() > paused);
        press("cmdStop");
        QCOMPARE(s.state(), frmDirectSend::Stopping);
        QTRY_COMPARE_WITH_TIMEOUT(s.state(), frmDirectSend::Over, 10000);
        QCOMPARE(finished.size(), 1);
        QCOMPARE(finished.first().first().toBool(), false);
        const int flagged =
            m.scalar(m.listFile("Live"), "SELECT Count(*) FROM AddressList WHERE Sent = \"SENT\"");
        QVERIFY(flagged < 30);
        QCOMPARE(flagged, int(s.manager()->sentCount()));
        QCOMPARE(m.scalar(m.sdr(), "SELECT SentCount FROM MailEvent WHERE MailEventName = 1"), flagged);
        QCOMPARE(child<QLabel>(&s, "lblSent")->text(), QString::number(flagged));
    }

    // Closing the screen while a server holds a message: after the wait the send is
    // abandoned, and what went out before is still stored with the mailing.
    void closingMidSendStoresFigures() {
        if (!liveServersAvailable()) QSKIP("needs dnsmasq and root (for port 25)");
        LiveMailing m;
        QVERIFY(m.start());
        frmDirectSend s(*m.app.ctx, m.row);
        s.closeWaitMs = 300;
        QSignalSpy finished(&s, &frmDirectSend::mailingFinished);
        child<QPushButton>(&s, "cmdSend")->click();
        QTRY_VERIFY(s.manager() && s.manager()->sentCount() >= 2);
        m.sink.dataDelayMs = 60000; // the next messages are held
        QTest::qWait(400);
        const qint64 sent = s.manager()->sentCount();
        s.reject();
        QCOMPARE(s.state(), frmDirectSend::Over);
        QCOMPARE(finished.size(), 1);
        QCOMPARE(m.scalar(m.sdr(), "SELECT SentCount FROM MailEvent WHERE MailEventName = 1"), int(sent));
        QCOMPARE(m.scalar(m.listFile("Live"), "SELECT Count(*) FROM AddressList WHERE Sent = \"SENT\""),
                 int(sent));
    }

    // A "Sent" flag that cannot be written stops every mailer with the mailer's error box,
    // and the mailing ends as a storage failure.
    void unwritableFlagStops() {
        if (!liveServersAvailable()) QSKIP("needs dnsmasq and root (for port 25)");
        LiveMailing m;
        QVERIFY(m.start());
        CMailingManager manager(*m.app.ctx);
        QSignalSpy init(&manager, &CMailingManager::initFinished);
        QSignalSpy ended(&manager, &CMailingManager::mailingEnded);
        manager.init(1);
        QTRY_COMPARE(init.size(), 1);
        QVERIFY(init.first().first().toBool());
        const QString list = m.listFile("Live");
        jet::setWriteFaultForTesting(
            [list](const QString& f) { return f == list ? 13 /* SQLITE_FULL */ : 0; });
        QVERIFY(manager.start(manager.addressCount(), 2));
        QTRY_COMPARE_WITH_TIMEOUT(ended.size(), 1, 15000);
        jet::setWriteFaultForTesting({});
        QVERIFY(manager.storageFailed());
        QVERIFY(!manager.completed());
        QCOMPARE(m.app.ui.shown.first().title, QStringLiteral("Mailer Error"));
        QVERIFY(m.app.ui.shown.first().text.startsWith("Mailer # "));
        QVERIFY(m.app.ui.shown.first().text.endsWith("\r\nPlease check your connection."));
        QCOMPARE(m.scalar(list, "SELECT Count(*) FROM AddressList WHERE Sent = \"SENT\""), 0);
        // At most the one message each mailer had in flight went out unrecorded.
        QVERIFY(m.sink.messages.size() <= 2);
    }
};

QTEST_MAIN(TestDirectSendWindows)
#include "tst_directsendwindows.moc"
