// Sendora Central inside the real main window, started through start-up with the sample
// data: the outline's rows, levels, colours and heights, the choices and Prepare Mailing,
// the send-again warning, direct send, the row menus and their messages, catalogue
// changes made elsewhere, and a send through smtp-sink that updates the outline.
//
// SENDORA_SCREENSHOT_DIR=<folder> saves Sendora Central and the send screen there.

#include "WhenModal.h"
#include "components/jet/Jet.h"
#include "components/mailsocket/FakeTransport.h"
#include "core/Catalogue.h"
#include "core/Startup.h"
#include "core/SystemDatabase.h"
#include "mailing/ui/frmSendMail.h"
#include "screens/ui/MdiMain.h"
#include "screens/ui/frmSDCentral.h"
#include "screens/ui/frmSDCentralSendAgain.h"
#include "support/DbQuery.h"
#include "support/SmtpSink.h"
#include "support/TestApp.h"

#include <QAbstractProxyModel>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>
#include <QTreeView>

using namespace sendora;
using sendora::test::msg;
using sendora::test::TestApp;
using sendora::test::whenModal;

namespace {

const QString kSampleGroup = QStringLiteral("Sample");

void snap(QWidget* w, const QString& name) {
    const QString dir = qEnvironmentVariable("SENDORA_SCREENSHOT_DIR");
    if (!dir.isEmpty()) w->window()->grab().save(dir + "/" + name + ".png");
}

struct Central {
    TestApp app;
    std::unique_ptr<MdiMain> window;
    frmSDCentral* centre = nullptr;

    Central() {
        app.ui.answers = {Answer::Yes}; // sample data
        window = std::make_unique<MdiMain>(*app.ctx);
        app.ctx->host = window.get();
        ChildWindowMakers makers;
        makers.mailingCentre = mailingCentreMaker(*app.ctx);
        window->setChildWindowMakers(makers);
        Startup s(*app.ctx);
        if (!s.run()) qFatal("start-up failed: %s", qPrintable(s.failureText()));
        app.ui.clear();
        if (!QTest::qWaitFor([this] { return window->mailingCentre() != nullptr; }, 5000))
            qFatal("Sendora Central did not open at start");
        centre = window->mailingCentre();
    }
    QString sdr() const { return app.ctx->paths.systemDatabase(); }
    void execute(const QString& sql) { jet::Database::open(sdr())->execute(sql, true); }
    template <typename T> T* w(const char* name) const {
        T* widget = centre->findChild<T*>(QLatin1String(name));
        if (!widget) qFatal("no widget %s", name);
        return widget;
    }
    bool enabled(const char* name) const { return w<QWidget>(name)->isEnabled(); }
    void click(const char* name) { QTest::mouseClick(w<QPushButton>(name), Qt::LeftButton); }
    QTreeView* view() const { return centre->view(); }
    QModelIndex at(int row, int column = SDCentralOutline::NameColumn) const {
        auto* proxy = static_cast<QAbstractProxyModel*>(view()->model());
        return proxy->mapFromSource(centre->outline().indexOfRow(row, column));
    }
    QString cell(int row, int column) const { return at(row, column).data().toString(); }
    QColor fg(int row) const { return at(row).data(Qt::ForegroundRole).value<QBrush>().color(); }
    QColor bg(int row, int column = SDCentralOutline::NameColumn) const {
        return at(row, column).data(Qt::BackgroundRole).value<QBrush>().color();
    }
    int centreWindows() const {
        int n = 0;
        for (QMdiSubWindow* s : window->findChild<QMdiArea*>("mdiArea")->subWindowList())
            n += qobject_cast<frmSDCentral*>(s->widget()) ? 1 : 0;
        return n;
    }
    // Two more groups and lists with mailings, one of them sent before.
    void seed() {
        execute("INSERT INTO Sendora VALUES(\"Autumn\",\"\")");
        execute("INSERT INTO Sendora VALUES(\"Zebra\",\"\")");
        execute(
            "INSERT INTO List([listname],[listpath],[listdescription]) values(\"Staff\",\"Staff.mdb\",\"\")");
        execute("INSERT INTO MailEvent (SendoraName, ListName, MessageName, Profile, DateSent, SentCount, "
                "LastCount) "
                "VALUES(\"Zebra\",\"Staff\",\"Sample - Sendora\",\"Default Delivery Options\",\"Jan 05 2024  "
                "08:00 AM\","
                "12,4)");
        execute("INSERT INTO MailEvent (SendoraName, ListName, MessageName, Profile, SentCount) "
                "VALUES(\"Zebra\",\"" +
                kSampleListName + "\",\"Sample - Sendora\",\"Default Delivery Options\",0)");
        centre->SetupNewFlexGrid();
    }
};

} // namespace

class TestSDCentral : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void opensOnceWithTheSampleMailing() {
        Central c;
        QCOMPARE(c.centre->windowTitle(), QStringLiteral("Sendora Central"));
        QVERIFY(c.window->action("id_SDCentral")->isChecked());
        c.window->runCommand("id_SDCentral");
        QCOMPARE(c.centreWindows(), 1);
        QCOMPARE(c.centre->outline().rowsInUse(), 3);
        QCOMPARE(c.cell(0, 0) + "|" + c.cell(1, 0) + "|" + c.cell(2, 0),
                 kSampleGroup + "|" + kSampleListName + "|" + kSampleMessageName);
        QCOMPARE(c.cell(2, SDCentralOutline::TotalColumn), QStringLiteral("0"));
        QVERIFY(c.cell(2, SDCentralOutline::DateColumn).isEmpty());
        QVERIFY(!c.enabled("cmdPrepare") && !c.enabled("cmdSend") && !c.enabled("cmdCampaign"));
        QVERIFY(!c.enabled("cmdExpand") && c.enabled("cmdCollapse"));
        QCOMPARE(c.w<QComboBox>("cboDeliveryOptions")->currentText(), kDefaultProfileName);
        QVERIFY(c.view()->isColumnHidden(SDCentralOutline::ProfileColumn));
        c.centre->parentWidget()->close();
        QTRY_VERIFY(!c.window->mailingCentre());
        QVERIFY(!c.window->action("id_SDCentral")->isChecked());
    }

    void outlineShowsLevelsColoursAndHeights() {
        Central c;
        c.seed();
        // Autumn (no mailings), Sample, Zebra with two lists.
        QStringList names;
        for (int r = 0; r < c.centre->outline().rowsInUse(); ++r)
            names << QString(c.centre->outline().levelOf(r), u'-') + c.cell(r, 0);
        QCOMPARE(names, (QStringList{"Autumn", "Sample", "-" + kSampleListName, "--" + kSampleMessageName,
                                     "Zebra", "-" + kSampleListName, "--" + kSampleMessageName, "-Staff",
                                     "--" + kSampleMessageName}));
        QCOMPARE(c.cell(8, SDCentralOutline::DateColumn), QStringLiteral("Jan 05 2024  08:00 AM"));
        QCOMPARE(c.cell(8, SDCentralOutline::LastColumn) + "/" + c.cell(8, SDCentralOutline::TotalColumn),
                 "4/12");
        QCOMPARE(c.fg(4), QColor(204, 0, 51));
        QCOMPARE(c.fg(5), QColor(64, 128, 64));
        QCOMPARE(c.fg(6), QColor(0, 0, 102));
        QCOMPARE(c.bg(6, SDCentralOutline::TotalColumn), QColor(Qt::white));
        const int group = c.view()->visualRect(c.at(4)).height(),
                  list = c.view()->visualRect(c.at(5)).height();
        QVERIFY2(qAbs(group - qRound(list * 1.3)) <= 1,
                 qPrintable(QStringLiteral("%1 %2").arg(group).arg(list)));

        // The message deleted elsewhere: its rows turn grey, and are refused what they cannot do.
        c.app.ui.answers = {Answer::Yes};
        QVERIFY(DeleteMessage(*c.app.ctx, kSampleMessageName));
        QCOMPARE(c.bg(8), QColor(200, 200, 200));
        QCOMPARE(c.bg(8, SDCentralOutline::DateColumn), QColor(200, 200, 200));
        QCOMPARE(c.bg(7), QColor(Qt::white));
        c.centre->SelectOutlineRow(8);
        QVERIFY(!c.enabled("cmdSend") && !c.enabled("cmdCampaign"));
        QMenu* menu = c.centre->rowMenuFor(8);
        QStringList enabled;
        for (QAction* a : menu->actions())
            enabled << a->text() + (a->isEnabled() ? "+" : "-");
        QCOMPARE(enabled, (QStringList{"Select this Message for New Mailing-", "Open this Message-",
                                       "Delete this Mailing+", "Show Delivery Options for this Mailing+",
                                       "Send (or Restart) this Mailing-"}));

        // Expand and collapse step through the levels.
        c.w<QToolButton>("cmdCollapse")->click();
        QCOMPARE(c.centre->shownDepth(), 1);
        QVERIFY(c.view()->isExpanded(c.at(4)) && !c.view()->isExpanded(c.at(5)));
        c.w<QToolButton>("cmdCollapse")->click();
        QVERIFY(!c.view()->isExpanded(c.at(4)));
        QVERIFY(!c.enabled("cmdCollapse") && c.enabled("cmdExpand"));
        c.w<QToolButton>("cmdExpand")->click();
        c.w<QToolButton>("cmdExpand")->click();
        QVERIFY(c.view()->isExpanded(c.at(7)));
        QVERIFY(!c.enabled("cmdExpand"));
        c.centre->SelectOutlineRow(6);
        c.window->resize(1280, 800);
        c.centre->parentWidget()->setGeometry(0, 0, 1080, 640);
        snap(c.centre, "sdcentral");
    }

    void prepareFollowsTheChoices() {
        Central c;
        c.seed();
        auto* group = c.w<QComboBox>("cboSendora");
        auto* list = c.w<QComboBox>("cboMailingList");
        auto* message = c.w<QComboBox>("cboMessage");
        group->setEditText("autumn");
        QVERIFY(!c.enabled("cmdPrepare") && !c.enabled("cmdSend"));
        list->setEditText(kSampleListName);
        message->setEditText("Nonexistent");
        Q_EMIT message->lineEdit()->editingFinished();
        QVERIFY(message->currentText().isEmpty()); // not in the catalogue
        Q_EMIT group->lineEdit()->editingFinished();
        QCOMPARE(group->currentText(), QStringLiteral("Autumn"));
        message->setEditText(kSampleMessageName);
        QVERIFY(c.enabled("cmdPrepare"));
        c.click("cmdPrepare");
        const int row = c.centre->selectedRow();
        QCOMPARE(row, 2);
        QCOMPARE(c.cell(1, 0) + "/" + c.cell(2, 0), kSampleListName + "/" + kSampleMessageName);
        QVERIFY(c.view()->currentIndex().isValid());
        QVERIFY(c.enabled("cmdSend") && c.enabled("cmdCampaign") && !c.enabled("cmdPrepare"));
        QVERIFY(group->currentText().isEmpty() && message->currentText().isEmpty());
        QCOMPARE(list->currentText(), kSampleListName);
        QCOMPARE(c.w<QComboBox>("cboDeliveryOptions")->currentText(), kDefaultProfileName);
        QCOMPARE(
            test::scalar(c.sdr(), "SELECT Count(*) FROM MailEvent WHERE SendoraName = \"Autumn\"").toInt(),
            1);

        // A group made elsewhere appears and is selected; its deletion from the menu takes the rows.
        QVERIFY(CreateGroup(*c.app.ctx, "Beta", "made in the catalogue"));
        QCOMPARE(c.cell(c.centre->selectedRow(), 0), QStringLiteral("Beta"));
        QVERIFY(group->findText("Beta") >= 0);
        c.app.ui.clear();
        c.app.ui.answers = {Answer::Yes, Answer::Yes};
        c.centre->runRowCommand(0, RowCommand::DeleteGroup);
        QCOMPARE(c.cell(0, 0), QStringLiteral("Beta"));
        QCOMPARE(c.app.ui.transcript().first(),
                 msg("Are you sure you wish to delete the group 'Autumn'?", "question", "YesNo"));
        QCOMPARE(
            test::scalar(c.sdr(), "SELECT Count(*) FROM MailEvent WHERE SendoraName = \"Autumn\"").toInt(),
            0);
    }

    void refusalsSayWhy() {
        Central c;
        c.seed();
        c.app.ui.clear();
        QVERIFY(!c.enabled("cmdSend"));
        c.window->runCommand("id_FileSendSendora"); // nothing selected, nothing set for sending
        c.execute("DELETE FROM List WHERE ListName = \"Staff\"");
        c.centre->UpdateListInSDDisplay("Staff");
        c.centre->runRowCommand(7, RowCommand::OpenList);
        c.centre->runRowCommand(7, RowCommand::SelectForNewMailing);
        c.execute(
            "INSERT INTO List([listname],[listpath],[listdescription]) values(\"Staff\",\"Staff.mdb\",\"\")");
        c.centre->UpdateListInSDDisplay("Staff");
        c.execute("DELETE FROM List WHERE ListName = \"Staff\"");
        c.centre->SendSendoraIfPossible(8);
        c.execute("UPDATE Profile SET direct_send = -1");
        QString screen;
        whenModal([&](QDialog* d) {
            screen = d->objectName();
            d->reject();
        });
        c.centre->SendSendoraIfPossible(6);
        QCOMPARE(screen, QStringLiteral("frmDirectSend"));
        QCOMPARE(
            c.app.ui.transcript(),
            (QStringList{
                msg(SDCentral::kSelectMailingFirst),
                msg("Cannot open 'Staff'.  This List has been removed from Sendora."),
                msg("Cannot select 'Staff' for a new mailing.  This List has been removed from Sendora."),
                msg("This mailing cannot be sent.  The 'Staff' mailing list has been deleted from "
                    "Sendora.  Please either re-create this list or create another mailing using a "
                    "valid list.",
                    "exclamation")}));
        QVERIFY(!QApplication::activeModalWidget());
    }

    void sendAgainWarningCancelStartsNothing() {
        Central c;
        c.seed();
        QString title, fields;
        whenModal([&](QDialog* d) {
            title = d->windowTitle();
            for (const char* n : {"txtGroup", "txtMessage", "txtList", "txtDateSent", "txtTotalSent"})
                fields += d->findChild<QLineEdit*>(n)->text() + "|";
            snap(d, "sendagain");
            d->findChild<QPushButton*>("cmdCancel")->click();
        });
        // The menu runs by the action's id; its caption plays no part.
        QMenu* menu = c.centre->rowMenuFor(8);
        QAction* send = nullptr;
        for (QAction* a : menu->actions())
            if (a->data().toInt() == int(RowCommand::SendMailing)) send = a;
        QVERIFY(send);
        QCOMPARE(send->text(), QStringLiteral("Send (or Restart) this Mailing"));
        send->setText("Renamed");
        send->trigger();
        QCOMPARE(title, QStringLiteral("Resend mailing?"));
        QCOMPARE(fields, "Zebra|" + kSampleMessageName + "|Staff|Jan 05 2024  08:00 AM|12|");
        QVERIFY(!c.centre->pendingMailing()); // nothing handed on
        QVERIFY(c.app.ui.shown.isEmpty());
    }

    // Send pressed again in the send screen that is still open warns as the menu's send does.
    void sendAgainFromTheOpenScreenWarns() {
        Central c;
        mail::FakeServer server;
        QStringList script = {"S: 220 mx.test ESMTP", "C: EHLO example.org", "S: 250 mx.test"};
        for (int i = 0; i < 5; ++i)
            script += QStringList{"C: MAIL FROM:*", "S: 250 ok", "C: RCPT TO:*", "S: 250 ok",
                                  "C: DATA",        "S: 354 go", "DATA",         "S: 250 queued"};
        server.setScript(script + QStringList{"C: QUIT", "S: 221 bye"});
        c.centre->transportFactory = server.factory();
        c.execute(
            "UPDATE Profile SET SmtpServer = \"mx.test\", [From] = \"news@example.org\", ReplyTo = \"\"");
        QString warning;
        whenModal([&](QDialog* d) {
            auto* screen = qobject_cast<frmSendMail*>(d);
            QVERIFY(screen);
            QSignalSpy done(screen, &frmSendMail::mailingFinished);
            screen->findChild<QPushButton*>("cmdSend")->click(); // sent before: no question
            QVERIFY(done.wait(10000));
            whenModal([&](QDialog* again) {
                warning = again->objectName() + "|" + again->windowTitle() + "|" +
                          again->findChild<QLineEdit*>("txtTotalSent")->text();
                again->findChild<QPushButton*>("cmdCancel")->click();
            });
            screen->findChild<QPushButton*>("cmdSend")->click();
            QCOMPARE(screen->state(), frmSendMail::Stopped);
            screen->accept();
        });
        c.centre->runRowCommand(2, RowCommand::SendMailing);
        QCOMPARE(warning, QStringLiteral("frmSendAgainWarning|Resend mailing?|5"));
        QCOMPARE(server.connectionCount(), 1);
        QCOMPARE(c.cell(2, SDCentralOutline::TotalColumn), QStringLiteral("5"));
    }

    void sendThroughSmtpSinkUpdatesTheOutline() {
        if (!test::SmtpSink::available()) {
            if (test::SmtpSink::mustExist()) QFAIL("smtp-sink is not installed");
            QSKIP("smtp-sink is not installed");
        }
        test::SmtpSink sink;
        QVERIFY(sink.start());
        Central c;
        c.execute(
            "UPDATE Profile SET SmtpServer = \"127.0.0.1\", [From] = \"news@example.org\", ReplyTo = \"\"");
        c.app.ctx->settings.smtpPort = sink.port();
        c.centre->SelectOutlineRow(2);
        QVERIFY(c.enabled("cmdSend"));
        bool finished = false;
        whenModal([&](QDialog* d) {
            auto* screen = qobject_cast<frmSendMail*>(d);
            QVERIFY(screen);
            QSignalSpy done(screen, &frmSendMail::mailingFinished);
            screen->findChild<QPushButton*>("cmdSend")->click();
            finished = done.wait(30000);
            snap(screen, "sendscreen");
            screen->accept();
        });
        c.click("cmdSend");
        QVERIFY(finished);
        QCOMPARE(sink.dumpCount(), 5);
        const QString date = c.cell(2, SDCentralOutline::DateColumn);
        QVERIFY(!date.isEmpty());
        QCOMPARE(c.cell(2, SDCentralOutline::LastColumn), QStringLiteral("5"));
        QCOMPARE(c.cell(2, SDCentralOutline::TotalColumn), QStringLiteral("5"));
        QCOMPARE(c.centre->selectedRow(), 2);
        const QString where =
            QStringLiteral(" FROM MailEvent WHERE MailEventName = ") + c.cell(2, SDCentralOutline::IdColumn);
        QCOMPARE(test::scalar(c.sdr(), "SELECT DateSent" + where).toString(), date);
        QCOMPARE(test::scalar(c.sdr(), "SELECT SentCount" + where).toInt(), 5);
        QCOMPARE(test::scalar(c.sdr(), "SELECT LastCount" + where).toInt(), 5);
        QCOMPARE(test::scalar(c.sdr(), "SELECT SentCountFailed" + where).toInt(), 0);
        snap(c.centre, "sdcentral-after-send");

        // Sent again after the warning's OK: the totals add up.
        whenModal([](QDialog* warning) {
            QCOMPARE(warning->objectName(), QStringLiteral("frmSendAgainWarning"));
            whenModal([](QDialog* d) {
                auto* screen = qobject_cast<frmSendMail*>(d);
                QVERIFY(screen);
                QSignalSpy done(screen, &frmSendMail::mailingFinished);
                screen->findChild<QPushButton*>("cmdSend")->click();
                QVERIFY(done.wait(30000));
                screen->accept();
            });
            warning->findChild<QPushButton*>("cmdOK")->click();
        });
        c.centre->runRowCommand(2, RowCommand::SendMailing);
        QCOMPARE(c.cell(2, SDCentralOutline::TotalColumn), QStringLiteral("10"));
        QCOMPARE(test::scalar(c.sdr(), "SELECT SentCount" + where).toInt(), 10);
    }
};

QTEST_MAIN(TestSDCentral)
#include "tst_sdcentral.moc"
