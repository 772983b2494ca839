// The scheduler dialog: empty schedule columns filled in and stored on opening, OK storing
// the controls with MailingSent cleared, Cancel storing nothing, the runner set up only when
// the box is ticked, a missing mailing, and Campaign Manager opening it for the selected row.

#include "WhenModal.h"
#include "components/jet/Jet.h"
#include "core/Startup.h"
#include "screens/ui/MdiMain.h"
#include "screens/ui/frmSDCentral.h"
#include "screens/ui/frmScheduler.h"
#include "support/DbQuery.h"
#include "support/TestApp.h"

#include <QAbstractProxyModel>
#include <QCheckBox>
#include <QDateEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeEdit>
#include <QTreeView>

using namespace sendora;
using sendora::test::msg;
using sendora::test::scalar;
using sendora::test::TestApp;

namespace {

struct Fixture {
    TestApp app;
    int runnerCalls = 0;

    Fixture() {
        app.start();
        execute("INSERT INTO Sendora VALUES(\"G\",\"\")");
        execute(
            "INSERT INTO MailEvent (SendoraName, ListName, MessageName, Profile) VALUES(\"G\",\"L\",\"M\","
            "\"Default Delivery Options\")");
    }
    void execute(const QString& sql) {
        jet::Database::open(app.ctx->paths.systemDatabase())->execute(sql, true);
    }
    QVariant column(const QString& name) const {
        return scalar(app.ctx->paths.systemDatabase(),
                      "SELECT " + name + " FROM MailEvent WHERE MailEventName = 1");
    }
    std::unique_ptr<frmScheduler> dialog() {
        auto d = std::make_unique<frmScheduler>(*app.ctx);
        d->setUpRunner = [this] { ++runnerCalls; };
        return d;
    }
    template <typename T> static T* w(QWidget* d, const char* name) {
        T* widget = d->findChild<T*>(QLatin1String(name));
        if (!widget) qFatal("no widget %s", name);
        return widget;
    }
};

} // namespace

class TestFrmScheduler : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void openingFillsInAndStoresEmptyColumns() {
        Fixture f;
        const QDateTime before = QDateTime::currentDateTime();
        auto d = f.dialog();
        QVERIFY(d->load(1));
        QCOMPARE(d->windowTitle(), QStringLiteral("Schedule Mailing # 1"));
        QCOMPARE(f.column("ScheduledDate").toDateTime().date(), before.date());
        const QTime stored = f.column("ScheduledTime").toDateTime().time();
        QVERIFY2(qAbs(stored.secsTo(before.time())) < 120, qPrintable(stored.toString()));
        QCOMPARE(f.column("Active").toInt(), 0);
        QCOMPARE(f.column("MailingSent").toInt(), 0);
        QCOMPARE(Fixture::w<QDateEdit>(d.get(), "dtpDate")->date(), before.date());
        QCOMPARE(Fixture::w<QTimeEdit>(d.get(), "dtpTime")->time(), stored);
        QVERIFY(!Fixture::w<QCheckBox>(d.get(), "chkActive")->isChecked());
        d->reject();
        QCOMPARE(f.runnerCalls, 0);

        // Values already there are shown, not replaced; only the empty one is filled in.
        f.execute(
            "UPDATE MailEvent SET ScheduledDate = \"2026-05-04 00:00:00\", ScheduledTime = \"1899-12-30 "
            "07:15:00\", Active = -1, MailingSent = Null");
        auto again = f.dialog();
        QVERIFY(again->load(1));
        QCOMPARE(Fixture::w<QDateEdit>(again.get(), "dtpDate")->date(), QDate(2026, 5, 4));
        QCOMPARE(Fixture::w<QTimeEdit>(again.get(), "dtpTime")->time(), QTime(7, 15));
        QVERIFY(Fixture::w<QCheckBox>(again.get(), "chkActive")->isChecked());
        QCOMPARE(f.column("MailingSent").toInt(), 0);
        QCOMPARE(f.column("ScheduledDate").toDateTime(), QDateTime(QDate(2026, 5, 4), QTime(0, 0)));

        auto missing = f.dialog();
        QVERIFY(!missing->load(7));
        QCOMPARE(f.app.ui.transcript(), QStringList{msg("The selected mailing was not found.")});
    }

    void okStoresAndClearsSentAndTheRunnerIsSetUpOnlyWhenActive() {
        Fixture f;
        f.execute("UPDATE MailEvent SET Active = -1, MailingSent = -1");
        auto d = f.dialog();
        QVERIFY(d->load(1));
        Fixture::w<QDateEdit>(d.get(), "dtpDate")->setDate(QDate(2027, 1, 2));
        Fixture::w<QTimeEdit>(d.get(), "dtpTime")->setTime(QTime(23, 45));
        Fixture::w<QCheckBox>(d.get(), "chkActive")->setChecked(false);
        QTest::mouseClick(Fixture::w<QPushButton>(d.get(), "cmdOK"), Qt::LeftButton);
        QCOMPARE(d->result(), int(QDialog::Accepted));
        QCOMPARE(f.column("ScheduledDate").toDateTime(), QDateTime(QDate(2027, 1, 2), QTime(0, 0)));
        QCOMPARE(f.column("ScheduledTime").toDateTime().time(), QTime(23, 45));
        QCOMPARE(f.column("Active").toInt(), 0);
        QCOMPARE(f.column("MailingSent").toInt(), 0);
        QCOMPARE(f.runnerCalls, 0);

        f.execute("UPDATE MailEvent SET MailingSent = -1");
        auto active = f.dialog();
        QVERIFY(active->load(1));
        Fixture::w<QCheckBox>(active.get(), "chkActive")->setChecked(true);
        QTest::mouseClick(Fixture::w<QPushButton>(active.get(), "cmdOK"), Qt::LeftButton);
        QCOMPARE(f.column("Active").toInt(), -1);
        QCOMPARE(f.column("MailingSent").toInt(), 0);
        QCOMPARE(f.runnerCalls, 1);

        // Cancel stores nothing.
        auto cancelled = f.dialog();
        QVERIFY(cancelled->load(1));
        Fixture::w<QDateEdit>(cancelled.get(), "dtpDate")->setDate(QDate(2030, 1, 1));
        Fixture::w<QCheckBox>(cancelled.get(), "chkActive")->setChecked(false);
        QTest::mouseClick(Fixture::w<QPushButton>(cancelled.get(), "cmdCancel"), Qt::LeftButton);
        QCOMPARE(f.column("ScheduledDate").toDateTime().date(), QDate(2027, 1, 2));
        QCOMPARE(f.column("Active").toInt(), -1);
        QCOMPARE(f.runnerCalls, 1);

        // The row deleted while the dialog was open.
        auto gone = f.dialog();
        QVERIFY(gone->load(1));
        f.execute("DELETE FROM MailEvent");
        f.app.ui.clear();
        QTest::mouseClick(Fixture::w<QPushButton>(gone.get(), "cmdOK"), Qt::LeftButton);
        QCOMPARE(f.app.ui.transcript(), QStringList{msg("The selected mailing was not found.")});
        QCOMPARE(gone->result(), int(QDialog::Rejected));
    }

    // What closing with Active ticked runs: the units for this folder, enabled through systemctl
    // --user; without it the crontab line is shown; a systemctl that refuses is reported.
    void settingUpTheRunner() {
        Fixture f;
        QTemporaryDir home;
        qputenv("XDG_CONFIG_HOME", home.filePath("config").toUtf8());
        qputenv("SENDORA_SYSTEMCTL", "");
        const QString cli = QCoreApplication::applicationFilePath();
        QVERIFY(ensureSchedulerRunner(*f.app.ctx, cli));
        const QStringList shown = f.app.ui.transcript();
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown[0].startsWith("message|information|OK|Sendora|") &&
                     shown[0].endsWith(SchedulerTimer(cli, f.app.ctx->paths.app).crontabLine()),
                 qPrintable(shown[0]));
        QVERIFY(QFile::exists(home.filePath("config/systemd/user/sendora-scheduler.timer")));

        const QString calls = home.filePath("calls");
        QFile script(home.filePath("systemctl"));
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write("#!/bin/sh\necho \"$@\" >> '" + calls.toUtf8() +
                     "'\ncase \"$2\" in enable) exit $(cat '" + calls.toUtf8() +
                     ".rc' 2>/dev/null || echo 0);; esac\n");
        script.close();
        script.setPermissions(script.permissions() | QFileDevice::ExeOwner);
        qputenv("SENDORA_SYSTEMCTL", script.fileName().toUtf8());
        f.app.ui.clear();
        QVERIFY(ensureSchedulerRunner(*f.app.ctx, cli));
        QCOMPARE(f.app.ui.transcript(), QStringList());
        QFile log(calls);
        QVERIFY(log.open(QIODevice::ReadOnly));
        QVERIFY(log.readAll().endsWith("--user enable --now sendora-scheduler.timer\n"));

        QFile rc(calls + ".rc");
        QVERIFY(rc.open(QIODevice::WriteOnly));
        rc.write("1");
        rc.close();
        QVERIFY(!ensureSchedulerRunner(*f.app.ctx, cli));
        QCOMPARE(f.app.ui.shown.size(), 1);
        QCOMPARE(f.app.ui.shown[0].icon, Icon::Exclamation);
        qunsetenv("SENDORA_SYSTEMCTL");
        qunsetenv("XDG_CONFIG_HOME");
    }

    void campaignManagerOpensTheSchedulerOfTheSelectedMailing() {
        TestApp app;
        app.ui.answers = {Answer::Yes}; // sample data
        MdiMain window(*app.ctx);
        app.ctx->host = &window;
        ChildWindowMakers makers;
        makers.mailingCentre = mailingCentreMaker(*app.ctx);
        window.setChildWindowMakers(makers);
        Startup s(*app.ctx);
        QVERIFY(s.run());
        QVERIFY(QTest::qWaitFor([&] { return window.mailingCentre() != nullptr; }, 5000));
        frmSDCentral* centre = window.mailingCentre();
        auto* proxy = static_cast<QAbstractProxyModel*>(centre->view()->model());
        centre->view()->setCurrentIndex(proxy->mapFromSource(centre->outline().indexOfRow(2, 0)));
        QCOMPARE(centre->selectedRow(), 2);
        QString caption;
        sendora::test::whenModal([&](QDialog* d) {
            caption = d->objectName() + "|" + d->windowTitle();
            d->reject();
        });
        QTest::mouseClick(centre->findChild<QPushButton*>("cmdCampaign"), Qt::LeftButton);
        QCOMPARE(caption, QStringLiteral("frmScheduler|Schedule Mailing # 1"));
        QCOMPARE(scalar(app.ctx->paths.systemDatabase(), "SELECT Active FROM MailEvent").toInt(), 0);
    }
};

QTEST_MAIN(TestFrmScheduler)
#include "tst_frmscheduler.moc"
