// The relay send screen driven by its widgets: the state and button matrix, counters,
// result rows with their marks, pause and resume, stop, Send again after a stop (the unsent
// remainder) or after a complete send (the send-again warning), closing mid-send, the log
// view's cap, a 100,000-row result list, and a real smtp-sink on a loopback port. What the session
// does on the wire (refusals, pauses, reconnects) is tst_smtpsocket's; here only the screen.
//
// SENDORA_SCREENSHOT=<file.png> saves the screen after the refused-recipient send.

#include "components/mailsocket/FakeTransport.h"
#include "mailing/MailEvent.h"
#include "mailing/ui/SendResultsModel.h"
#include "mailing/ui/frmSendMail.h"
#include "support/MailingFixture.h"
#include "support/SmtpSink.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>
#include <QTextBlock>

using namespace sendora;
using sendora::test::MailingFixture;
using Mark = SMTPSocket::Mark;

namespace {

const QString kSender = QStringLiteral("news@sender.test");
const QStringList kThree{"a@x.test", "b@x.test", "c@x.test"};
const QStringList kQuit{"C: QUIT", "S: 221 bye"};

QStringList greeting() {
    return {"S: 220 mx.test ESMTP", "C: EHLO sender.test", "S: 250 mx.test"};
}

QStringList accepted(const QString& to) {
    return {"C: MAIL FROM:<" + kSender + ">",
            "S: 250 ok",
            "C: RCPT TO:<" + to + ">",
            "S: 250 ok",
            "C: DATA",
            "S: 354 go ahead",
            "DATA",
            "S: 250 queued"};
}

QStringList refused(const QString& to) {
    return {"C: MAIL FROM:<" + kSender + ">", "S: 250 ok", "C: RCPT TO:<" + to + ">",
            "S: 550 5.1.1 no such user",      "C: RSET",   "S: 250 reset"};
}

QStringList allAccepted(const QStringList& to) {
    QStringList s = greeting();
    for (const QString& a : to)
        s += accepted(a);
    return s + kQuit;
}

// One mailing (group "G", list "Members", message "Hello", delivery options "Relay") and
// the send screen on it, wired to a scripted server.
struct Rig {
    MailingFixture f;
    mail::FakeServer server;
    qint64 id = 0;
    std::unique_ptr<frmSendMail> dlg;
    std::unique_ptr<QSignalSpy> finished;

    explicit Rig(const QStringList& addresses, const QString& smtpServer = QStringLiteral("mx.test"),
                 const QString& from = kSender) {
        f.makeList("Members", addresses);
        f.execute("INSERT INTO Message (MessageName, Subject, SendType, MessageText) "
                  "VALUES(\"Hello\",\"Hi\",0,\"Dear [[FirstName]],\r\nnews.\")");
        MailEvent p;
        p.ProfileName = "Relay";
        p.From = from;
        p.SmtpServer = smtpServer;
        p.bFlagSends = true;
        p.SentFlag = "SENT";
        p.SentFlagToCheck = "SENT";
        if (!storeMEP(*f.app.ctx, p)) qFatal("cannot store the delivery options");
        f.execute("INSERT INTO MailEvent(SendoraName, ListName, MessageName, Profile) "
                  "VALUES(\"G\",\"Members\",\"Hello\",\"Relay\")");
        auto db = jet::Database::open(f.sdr(), jet::Database::OpenMode::ReadOnly);
        id = db->openRecordset("SELECT Max(MailEventName) FROM MailEvent")->value(0).toLongLong();
        dlg = std::make_unique<frmSendMail>(*f.app.ctx, *loadMailingRow(*f.app.ctx, id));
        dlg->transportFactory = server.factory();
        finished = std::make_unique<QSignalSpy>(dlg.get(), &frmSendMail::mailingFinished);
        dlg->show();
    }

    template <typename T> T* w(const char* name) const {
        T* widget = dlg->findChild<T*>(QString::fromLatin1(name));
        if (!widget) qFatal("no widget %s", name);
        return widget;
    }
    void click(const char* name) { QTest::mouseClick(w<QPushButton>(name), Qt::LeftButton); }
    QString text(const char* name) const { return w<QLabel>(name)->text(); }
    // "Send/Pause/Stop" enabled flags as "1 0 0"; a checked Pause shows as "P".
    QString buttons() const {
        auto* pause = w<QPushButton>("cmdPause");
        return QStringLiteral("%1 %2 %3")
            .arg(int(w<QPushButton>("cmdSend")->isEnabled()))
            .arg(pause->isChecked() ? QStringLiteral("P") : QString::number(int(pause->isEnabled())))
            .arg(int(w<QPushButton>("cmdStop")->isEnabled()));
    }
    // Result rows as "<mark>|<text>".
    QStringList rows() const {
        QStringList out;
        const SendResultsModel* m = dlg->results();
        for (int i = 0; i < m->size(); ++i)
            out << SendResultsModel::markText(m->at(i).mark) + u'|' + m->at(i).text;
        return out;
    }
    // The rows the view shows, read through the model interface.
    QString shownMark(int row) const {
        QAbstractItemModel* m = w<QTableView>("lstResults")->model();
        return m->data(m->index(row, SendResultsModel::MarkColumn)).toString();
    }
    bool waitFinished(int ms = 10000) { return finished->count() > 0 || finished->wait(ms); }
    bool completed() const { return finished->value(0).value(0).toBool(); }
    QString logView() const { return w<QPlainTextEdit>("txtLog")->toPlainText(); }
    QString progress() const { return w<QProgressBar>("prgSend")->text(); }
    QString sendLog() const {
        QFile file(f.app.ctx->paths.app + QStringLiteral("sendlog.log"));
        return file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.readAll()) : QString();
    }
    MailingRow stored() const { return *loadMailingRow(*f.app.ctx, id); }
};

QStringList toRows(const QStringList& to, const QString& mark) {
    QStringList out;
    for (const QString& a : to)
        out << mark + "|To: " + a;
    return out;
}

const QString kComplete = QStringLiteral("Ok|Mailing Complete. Send QUIT to Server.");

} // namespace

class TestFrmSendMail : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void sendsToEveryRecipientThenAgain();
    void refusedRecipientShowsFail();
    void pauseThenResumeOrStop_data();
    void pauseThenResumeOrStop();
    void stopWhileSendingEndsAtTheNextReady();
    void sendAfterStopOffersTheUnsentRemainder_data();
    void sendAfterStopOffersTheUnsentRemainder();
    void refusedBeforeConnecting();
    void closingMidSendStopsAndStoresTheCounts();
    void logAndResultListStayBounded();
    void fiftyRecipientsThroughSmtpSink();
};

void TestFrmSendMail::sendsToEveryRecipientThenAgain() {
    Rig r(kThree);
    r.server.setScript(allAccepted(kThree));
    QCOMPARE(r.dlg->state(), frmSendMail::Idle);
    QCOMPARE(r.buttons(), "1 0 0");
    QVERIFY(r.dlg->isModal());
    QVERIFY(!r.w<QPlainTextEdit>("txtLog")->isVisible());
    r.w<QPushButton>("cmdPause")->click(); // inert while idle
    QCOMPARE(r.dlg->state(), frmSendMail::Idle);

    QSignalSpy states(r.dlg.get(), &frmSendMail::stateChanged);
    QCOMPARE(r.progress(), ""); // no count before the list is open
    r.click("cmdSend");
    QCOMPARE(r.progress(), "0 of 3 addresses");
    QCOMPARE(r.dlg->state(), frmSendMail::Sending);
    QCOMPARE(r.buttons(), "0 1 1");
    QCOMPARE(r.text("lblStatus"), "Connecting, ...please wait.");
    QCOMPARE(r.text("lblSent") + r.text("lblFailed"), "00");
    QCOMPARE(r.w<QProgressBar>("prgSend")->maximum(), 3);

    QVERIFY(r.waitFinished());
    QVERIFY(r.completed());
    QCOMPARE(r.dlg->state(), frmSendMail::Stopped);
    QCOMPARE(r.buttons(), "1 0 0");
    QCOMPARE(states.size(), 2);
    QCOMPARE(r.text("lblSent"), "3");
    QCOMPARE(r.text("lblFailed"), "0");
    QCOMPARE(r.w<QProgressBar>("prgSend")->value(), 3);
    const QStringList rows = r.rows();
    QCOMPARE(rows.mid(0, 5), toRows(kThree, "Ok") << kComplete << "|Mailing Statistics");
    QCOMPARE(rows.size(), 12);
    QVERIFY(rows.contains("|Total Sent:        3"));
    QVERIFY(rows.contains("|Total Passed:      3"));
    QVERIFY(rows.last().startsWith("|bytes / Sec:       "));
    QCOMPARE(r.shownMark(0), "Ok");
    QCOMPARE(r.shownMark(4), "");
    QCOMPARE(r.stored().sentCount, 3);
    // The QUIT exchange after the completion leaves the summary in place.
    QTRY_COMPARE(r.text("lblConnection"), "Closed");
    QCOMPARE(r.text("lblStatus"), "3 messages sent.");

    // Send in state 3 is a new mailing that counts on from the stored figures.
    // A new mailing object: the first one is gone (a fresh one may reuse its address).
    bool firstGone = false;
    QObject::connect(r.dlg->mailing(), &QObject::destroyed, [&firstGone] { firstGone = true; });
    r.finished->clear();
    r.click("cmdSend");
    QVERIFY(firstGone);
    QVERIFY(r.dlg->mailing() != nullptr);
    QCOMPARE(r.dlg->state(), frmSendMail::Sending);
    QCOMPARE(r.rows(), QStringList());
    QCOMPARE(r.text("lblSent"), "0");
    QVERIFY(r.waitFinished());
    QCOMPARE(r.rows().mid(0, 4), toRows(kThree, "Ok") << kComplete);
    QCOMPARE(r.server.connectionCount(), 2);
    QCOMPARE(r.stored().sentCount, 6);
    QCOMPARE(r.stored().lastCount, 3);
}

void TestFrmSendMail::refusedRecipientShowsFail() {
    Rig r(kThree);
    r.server.setScript(greeting() + accepted("a@x.test") + refused("b@x.test") + accepted("c@x.test") +
                       kQuit);
    r.w<QCheckBox>("chkViewLog")->setChecked(true);
    r.click("cmdSend");
    QVERIFY(r.waitFinished());
    QCOMPARE(r.rows().mid(0, 4),
             QStringList({"Ok|To: a@x.test", "Fail|To: b@x.test", "Ok|To: c@x.test", kComplete}));
    QCOMPARE(r.shownMark(1), "Fail");
    QCOMPARE(r.text("lblSent"), "2");
    QCOMPARE(r.text("lblFailed"), "1");
    QVERIFY(r.rows().contains("|Total Failed:      1"));
    QTRY_VERIFY(r.logView().contains("S: 550 5.1.1 no such user"));

    const QString shot = qEnvironmentVariable("SENDORA_SCREENSHOT");
    if (!shot.isEmpty()) {
        r.dlg->resize(720, 620);
        QTest::qWait(300);
        QVERIFY(r.dlg->grab().save(shot));
    }
}

void TestFrmSendMail::pauseThenResumeOrStop_data() {
    QTest::addColumn<QString>("button");
    QTest::newRow("Send resumes") << "cmdSend";
    QTest::newRow("Pause again resumes") << "cmdPause";
    QTest::newRow("Stop aborts") << "cmdStop";
}

void TestFrmSendMail::pauseThenResumeOrStop() {
    QFETCH(QString, button);
    Rig r(kThree);
    r.server.setScript(greeting() + kQuit);
    r.server.addConnectionScript(allAccepted(kThree));
    r.click("cmdSend");
    r.click("cmdPause");
    QCOMPARE(r.dlg->state(), frmSendMail::Paused);
    QCOMPARE(r.buttons(), "1 P 1");
    QTRY_COMPARE(r.dlg->mailing()->session()->phase(), SMTPSocket::Phase::Paused);

    r.click(button.toLatin1().constData());
    if (button == "cmdStop") {
        QCOMPARE(r.dlg->state(), frmSendMail::Stopped);
        QCOMPARE(r.buttons(), "1 0 0");
        QCOMPARE(r.rows().value(0), "|***** MAILING ABORTED *****");
        QVERIFY(r.waitFinished());
        QVERIFY(!r.completed());
        QCOMPARE(r.rows().value(1), "|Mailing Statistics");
        return;
    }
    QCOMPARE(r.dlg->state(), frmSendMail::Sending);
    QCOMPARE(r.buttons(), "0 1 1");
    QVERIFY(r.waitFinished());
    QCOMPARE(r.rows().mid(0, 4), toRows(kThree, "Ok") << kComplete);
}

void TestFrmSendMail::stopWhileSendingEndsAtTheNextReady() {
    Rig r(kThree);
    r.server.setScript(greeting());
    r.click("cmdSend");
    r.click("cmdStop");
    QCOMPARE(r.dlg->state(), frmSendMail::Stopped);
    QCOMPARE(r.buttons(), "1 0 0");
    QVERIFY(r.waitFinished());
    QVERIFY(!r.completed());
    QCOMPARE(r.server.messages().size(), 0);
    QCOMPARE(r.rows(), QStringList()); // nothing sent, no statistics
}

void TestFrmSendMail::sendAfterStopOffersTheUnsentRemainder_data() {
    QTest::addColumn<bool>("flagged");
    QTest::addColumn<bool>("remainderOnly");
    QTest::newRow("flags on, the remainder") << true << true;
    QTest::newRow("flags off: what the screen delivered") << false << true;
    QTest::newRow("flags on, No: the whole list after the warning") << true << false;
}

// Stop after three of five, then Send: the two not yet sent, and only those.
void TestFrmSendMail::sendAfterStopOffersTheUnsentRemainder() {
    QFETCH(bool, flagged);
    QFETCH(bool, remainderOnly);
    const QStringList five{"a@x.test", "b@x.test", "c@x.test", "d@x.test", "e@x.test"};
    Rig r(five);
    if (!flagged) r.f.execute("UPDATE Profile SET bFlagSends = 0 WHERE ProfileName = \"Relay\"");
    QStringList warned; // the send-again warning, with the date it showed
    r.dlg->confirmSendAgain = [&warned](const MailingRow& m) {
        warned << m.dateSent;
        return true;
    };
    r.server.setScript(greeting() + accepted("a@x.test") + accepted("b@x.test") + accepted("c@x.test") +
                       kQuit);
    r.server.addConnectionScript(allAccepted(remainderOnly ? five.mid(3) : five));
    r.click("cmdSend");
    QCOMPARE(r.progress(), "0 of 5 addresses");
    QObject::connect(r.dlg->mailing()->session(), &SMTPSocket::CounterUpdate, r.dlg.get(),
                     [&r](qint32 passed) {
                         if (passed == 3) r.w<QPushButton>("cmdStop")->click();
                     });
    QVERIFY(r.waitFinished());
    QVERIFY(!r.completed());
    QCOMPARE(r.rows().mid(0, 3), toRows(five.mid(0, 3), "Ok"));

    r.finished->clear();
    r.f.app.ui.answers = {remainderOnly ? Answer::Yes : Answer::No};
    r.click("cmdSend");
    QCOMPARE(
        r.f.app.ui.transcript(),
        QStringList{test::msg("This mailing was stopped before it reached every address.\r\n\r\nSend it only "
                              "to the 2 addresses not sent yet?\r\n\r\nYes sends to those only; No sends "
                              "the mailing as its delivery options say.",
                              "question", "YesNo", "Resume Mailing")});
    QCOMPARE(warned.size(), remainderOnly ? 0 : 1); // a remainder goes to no one twice
    QCOMPARE(r.progress(), remainderOnly ? "0 of 2 addresses" : "0 of 5 addresses");
    QVERIFY(r.waitFinished());
    QVERIFY(r.completed());
    const QStringList second = remainderOnly ? five.mid(3) : five;
    QCOMPARE(r.rows().mid(0, int(second.size()) + 1), toRows(second, "Ok") << kComplete);
    QCOMPARE(r.server.messages().size(), 3 + second.size());
    QCOMPARE(r.stored().sentCount, 3 + second.size());
    QVERIFY(r.server.mismatches().isEmpty());

    // A complete mailing sent again from the open screen: the warning first; Cancel sends nothing.
    r.f.app.ui.clear();
    warned.clear();
    r.dlg->confirmSendAgain = [&warned](const MailingRow& m) {
        warned << m.dateSent;
        return false;
    };
    r.click("cmdSend");
    QCOMPARE(warned, QStringList{r.stored().dateSent});
    QVERIFY(!warned.first().isEmpty());
    QVERIFY(r.f.app.ui.shown.isEmpty()); // no remainder after a complete send
    QCOMPARE(r.dlg->state(), frmSendMail::Stopped);
    QCOMPARE(r.buttons(), "1 0 0");
    QCOMPARE(r.server.connectionCount(), 2);
}

// The refusal texts and the other refusals are tst_smtpsocket's; here the screen is left usable.
void TestFrmSendMail::refusedBeforeConnecting() {
    Rig r(kThree, ""); // blank: the MailServer setting, also blank
    r.click("cmdSend");
    QCOMPARE(r.f.app.ui.messageTexts(),
             QStringList{"Please enter the name of your mail server in the delivery options (Step 7 of 7)."});
    QTRY_COMPARE(r.dlg->state(), frmSendMail::Stopped);
    QCOMPARE(r.buttons(), "1 0 0");
    QTest::qWait(50);
    QCOMPARE(r.text("lblStatus"), "");
    QCOMPARE(r.server.connectionCount(), 0);
    QVERIFY(r.w<QProgressBar>("prgSend")->maximum() > 0); // not left busy
}

void TestFrmSendMail::closingMidSendStopsAndStoresTheCounts() {
    Rig r(kThree);
    // The server stalls after the first message: the session never reaches another Ready.
    r.server.setScript(greeting() + accepted("a@x.test") + QStringList{"C: MAIL FROM:*"});
    r.dlg->closeWaitMs = 200; // the message in flight never finishes: abandoned after this
    r.click("cmdSend");
    QTRY_COMPARE(r.rows(), QStringList{"Ok|To: a@x.test"});
    r.dlg->close();
    QVERIFY(!r.dlg->isVisible());
    QCOMPARE(r.dlg->state(), frmSendMail::Stopped);
    QVERIFY(r.dlg->mailing()->session()->stopped());
    QVERIFY(r.f.app.ui.shown.isEmpty()); // no question on closing
    // Ended as Stop ends, before the window goes: counts stored, the log's end block written.
    QCOMPARE(r.finished->size(), 1);
    QCOMPARE(r.stored().sentCount, 1);
    QVERIFY(r.sendLog().contains("*** MAILING ENDS HERE"));
    r.dlg.reset();
    QCOMPARE(r.stored().sentCount, 1);
    QTRY_VERIFY(!r.server.transport() || r.server.transport()->isClosed());
}

void TestFrmSendMail::logAndResultListStayBounded() {
    Rig r({"a@x.test"});
    r.server.setScript(allAccepted({"a@x.test"}));
    r.click("cmdSend");
    QVERIFY(r.waitFinished());
    SMTPSocket* s = r.dlg->mailing()->session();
    auto* view = r.w<QPlainTextEdit>("txtLog");
    auto* check = r.w<QCheckBox>("chkViewLog");

    // Lines logged while the view was hidden show when it is checked.
    check->setChecked(true);
    QVERIFY(view->isVisible());
    QVERIFY(r.logView().contains("P: Connected to mx.test on port 25..."));
    QVERIFY(r.logView().contains("C: <CrLf>.<CrLf>"));
    for (int i = 0; i < 6000; ++i)
        s->log().onLine(QStringLiteral("line %1").arg(i));
    QTRY_COMPARE(view->document()->lastBlock().text(), "line 5999");
    QCOMPARE(view->document()->blockCount(), frmSendMail::kLogLines);
    QCOMPARE(view->document()->firstBlock().text(), "line 1000");
    check->setChecked(false);
    for (int i = 6000; i < 6010; ++i)
        s->log().onLine(QStringLiteral("line %1").arg(i));
    check->setChecked(true);
    QCOMPARE(view->document()->blockCount(), frmSendMail::kLogLines);
    QCOMPARE(view->document()->firstBlock().text(), "line 1010");

    // 100,000 result rows through the session's signal while the view repaints.
    const int before = r.dlg->results()->size();
    constexpr int Count = 100000;
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < Count; ++i) {
        Q_EMIT s->AddMailed(QStringLiteral("To: r%1@x.test").arg(i), i % 7 ? Mark::Ok : Mark::Fail);
        if (i % 500 == 0) QCoreApplication::processEvents();
    }
    QTest::qWait(100);
    qInfo("%d result rows in %lld ms", Count, clock.elapsed());
    QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(r.dlg->results()->size(), before + Count);
    QCOMPARE(r.shownMark(before + 7), "Fail");
    auto* list = r.w<QTableView>("lstResults");
    QTRY_COMPARE(list->rowAt(list->viewport()->height() - 2), before + Count - 1); // follows the newest row
}

// A real server: Postfix's smtp-sink on a free loopback port.
void TestFrmSendMail::fiftyRecipientsThroughSmtpSink() {
    if (!test::SmtpSink::available()) {
        if (test::SmtpSink::mustExist()) QFAIL("smtp-sink is not installed");
        QSKIP("smtp-sink is not installed");
    }
    test::SmtpSink sink;
    QVERIFY(sink.start());
    constexpr int Count = 50;
    QStringList to;
    for (int i = 0; i < Count; ++i)
        to << QStringLiteral("rcpt%1@sink.test").arg(i, 2, 10, QLatin1Char('0'));
    Rig r(to, QStringLiteral("127.0.0.1"));
    r.f.app.ctx->settings.smtpPort = sink.port();
    r.dlg->transportFactory = {}; // the real socket
    QElapsedTimer clock;
    clock.start();
    r.click("cmdSend");
    QVERIFY(r.waitFinished(30000)); // a real event loop: no polling naps in the measurement
    qInfo("%d messages through the send screen in %lld ms", Count, clock.elapsed());
    QVERIFY(r.completed());
    QCOMPARE(r.rows().mid(0, Count + 1), toRows(to, "Ok") << kComplete);
    QCOMPARE(r.text("lblSent"), "50");
    QCOMPARE(r.text("lblFailed"), "0");
    QCOMPARE(r.w<QProgressBar>("prgSend")->value(), Count);
    QCOMPARE(r.stored().sentCount, Count);
    QTRY_COMPARE(sink.dumpCount(), Count);
}

QTEST_MAIN(TestFrmSendMail)
#include "tst_frmsendmail.moc"
