// The real main window, started through start-up and driven by object names. Message boxes
// are answered through the scripted seam; list and message windows are stand-ins that
// register like the real ones will.

#include "WhenModal.h"
#include "components/jet/Jet.h"
#include "core/ListActions.h"
#include "core/Startup.h"
#include "core/SystemDatabase.h"
#include "screens/ui/ListBar.h"
#include "screens/ui/MdiMain.h"
#include "support/TestApp.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QDockWidget>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

using namespace sendora;
using sendora::test::TestApp;
using sendora::test::whenModal;

namespace {

class StandIn : public QWidget, public MdiChild {
public:
    StandIn(ActiveChild kind, const QString& name, QStringList* log)
        : m_kind(kind), m_name(name), m_log(log) {}
    ActiveChild childKind() const override { return m_kind; }
    QString childName() const override { return m_name; }
    QString mergeListName() const override { return mergeList; }
    bool runCommand(CommandId id) override {
        *m_log << m_name + ":" + commandName(id);
        return true;
    }
    void saveMe() override { *m_log << m_name + ":saveMe"; }
    void saveMeAs() override { *m_log << m_name + ":saveMeAs"; }
    QString mergeList;
    bool refuseClose = false;

protected:
    void closeEvent(QCloseEvent* e) override {
        *m_log << m_name + ":close" + (refuseClose ? "-refused" : "");
        e->setAccepted(!refuseClose);
    }

private:
    ActiveChild m_kind;
    QString m_name;
    QStringList* m_log;
};

struct Main {
    TestApp app;
    std::unique_ptr<MdiMain> window;
    QStringList log;
    int newMessages = 0;

    explicit Main(bool withWindows = true) { start(withWindows); }
    void start(bool withWindows) {
        window = std::make_unique<MdiMain>(*app.ctx);
        app.ctx->host = window.get();
        if (withWindows) {
            ChildWindowMakers makers;
            makers.listWindow = [this](const QString& caption, const QString&) {
                return new StandIn(ActiveChild::List, caption, &log);
            };
            makers.messageEditor = [this](const QString& name) {
                return new StandIn(
                    ActiveChild::Message,
                    name.isEmpty() ? QStringLiteral("Untitled Message %1").arg(++newMessages) : name, &log);
            };
            window->setChildWindowMakers(makers);
        }
        app.start(true);
    }
    QAction* action(const QString& id) const { return window->findChild<QAction*>(id); }
    void trigger(const QString& id) { action(id)->trigger(); }
    QString panel(const char* name) const { return window->findChild<QLabel*>(name)->text(); }
    QMdiArea* area() const { return window->findChild<QMdiArea*>("mdiArea"); }
    int children() const { return int(area()->subWindowList().size()); }
    bool enabled(const QString& id) const { return action(id)->isEnabled(); }
    StandIn* active() const { return dynamic_cast<StandIn*>(area()->activeSubWindow()->widget()); }
    void closeActive() {
        trigger("id_FileClose");
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
};

QString msg(const QString& text, const QString& icon = "none", const QString& buttons = "OK",
            const QString& title = "Sendora") {
    return QStringLiteral("message|%1|%2|%3|%4").arg(icon, buttons, title, text);
}

// With SENDORA_SCREENSHOT_DIR set, windows met on the way are saved there for a look.
void snap(QWidget* w, const QString& name) {
    const QString dir = qEnvironmentVariable("SENDORA_SCREENSHOT_DIR");
    if (!dir.isEmpty()) w->grab().save(dir + "/" + name + ".png");
}

QListWidgetItem* listbarItem(MdiMain& w, const QString& group, const QString& caption) {
    QListWidget* list = w.listBar()->groupList(group);
    const auto found = list->findItems(caption, Qt::MatchExactly);
    return found.isEmpty() ? nullptr : found.first();
}

void clickListbar(MdiMain& w, const QString& group, const QString& caption) {
    QListWidget* list = w.listBar()->groupList(group);
    Q_EMIT list->itemClicked(listbarItem(w, group, caption));
}

} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void startsWithEveryCommand() {
        Main m;
        QVERIFY(m.window->isVisible());
        QCOMPARE(m.window->objectName(), QStringLiteral("mdiMain"));
        for (const Command& cmd : commands()) {
            if (cmd.menu == Menu::None) continue;
            QAction* a = m.action(QLatin1String(cmd.id));
            QVERIFY2(a, cmd.id);
            QCOMPARE(a->text(), QLatin1String(cmd.caption));
        }
        QCOMPARE(m.panel("sbLists"), QStringLiteral("Lists: 0"));
        QCOMPARE(m.panel("sbMessages"), QStringLiteral("Messages: 0"));
        QCOMPARE(m.window->listBar()->groupOrder(), (QStringList{"Mailing Lists", "Messages", "Sendoras"}));
        QCOMPARE(m.action("id_FileSave")->shortcut(), QKeySequence(QKeySequence::Save));
        QVERIFY(!m.action("id_FileNewList")->icon().isNull());
    }

    void inertCommandsSayWhatTheyWillDo() {
        Main m(false);
        for (const char* id : {"id_FileNewMessage", "id_FileOpenMessage", "id_FileOpenList", "id_SDCentral",
                               "ID_Options", "id_ToolsImportMailbox"}) {
            QVERIFY2(!m.enabled(id), id);
            QVERIFY2(m.action(id)->toolTip().contains(QLatin1String(findCommand(id)->description)), id);
        }
        QVERIFY(m.enabled("id_NewSD"));
        QVERIFY(m.enabled("id_FileDeleteMessage"));
        QListWidgetItem* open = listbarItem(*m.window, "Messages", "Open existing message");
        QVERIFY(!(open->flags() & Qt::ItemIsEnabled));
        QVERIFY(open->toolTip().startsWith("Open an existing message"));
        // Inert commands and names that are no command are told apart, and nothing is asked.
        QCOMPARE(m.window->runCommand("id_FileOpenMessage"), CommandResult::Unavailable);
        QCOMPARE(m.window->runCommand("id_FileOpenMessages"), CommandResult::Unknown);
        QCOMPARE(m.window->runCommand(QString()), CommandResult::Unknown);
        QCOMPARE(m.window->runCommand(CommandId::Count), CommandResult::Unknown);
        QVERIFY(m.app.ui.shown.isEmpty());
        // A handler plugged in later makes the command available and runs by its id.
        int wizards = 0;
        m.window->setCommandHandler(CommandId::SDWiz, [&wizards] { ++wizards; });
        QVERIFY(m.enabled("id_SDWiz"));
        QCOMPARE(m.window->runCommand("id_SDWiz"), CommandResult::Ran);
        m.trigger("id_SDWiz");
        QCOMPARE(wizards, 2);
    }

    void enableMatrixFollowsChildWindows() {
        Main m;
        QVERIFY(m.window->ShowListFromName(kSampleListName));
        QCOMPARE(m.panel("sbLists"), QStringLiteral("Lists: 1"));
        QVERIFY(m.enabled("id_Tools"));
        QVERIFY(!m.enabled("id_ToolsMergeLists")); // list operations are not built yet
        QVERIFY(m.window->findChild<QWidget*>("tbListTools")->isEnabled());
        QVERIFY(!m.enabled("id_MessageTools"));
        QVERIFY(m.enabled("id_EditCut") && m.enabled("id_FileSave") && m.enabled("id_FileClose"));

        m.trigger("id_FileNewMessage");
        QCOMPARE(m.panel("sbMessages"), QStringLiteral("Messages: 1"));
        QCOMPARE(m.active()->childName(), QStringLiteral("Untitled Message 1"));
        QVERIFY(m.enabled("id_MessageTools"));
        QVERIFY(!m.enabled("id_Tools"));
        QVERIFY(!m.window->findChild<QWidget*>("tbListTools")->isEnabled());

        m.trigger("id_EditCopy");
        QCOMPARE(m.log.last(), QStringLiteral("Untitled Message 1:id_EditCopy"));
        QCOMPARE(m.window->runCommand(CommandId::FileSave), CommandResult::Ran); // untitled: save as
        QCOMPARE(m.window->runCommand(CommandId::MessageToolsMessagePreview), CommandResult::Ran);
        QCOMPARE(
            m.log.mid(m.log.size() - 2),
            (QStringList{"Untitled Message 1:saveMeAs", "Untitled Message 1:id_MessageToolsMessagePreview"}));

        snap(m.window.get(), "main-with-children");
        m.closeActive();
        QCOMPARE(m.panel("sbMessages"), QStringLiteral("Messages: 0"));
        QVERIFY(m.enabled("id_Tools"));
        QVERIFY(!m.enabled("id_MessageTools"));

        m.closeActive();
        QCOMPARE(m.children(), 0);
        QCOMPARE(m.panel("sbLists"), QStringLiteral("Lists: 0"));
        for (const char* id :
             {"id_Edit", "id_FileClose", "id_FileCloseAll", "id_FileSave", "id_FileSaveAs", "id_Tools"})
            QVERIFY2(!m.enabled(id), id);
    }

    void windowLimitAt40And41() {
        Main m;
        for (int i = 0; i < 20; ++i) {
            m.trigger("id_FileNewMessage");
            m.window->ShowListFromName(i % 2 ? kSampleListName : kGlobalRemoveListName);
        }
        QCOMPARE(m.children(), 40);
        m.trigger("id_FileNewMessage"); // 40 open: still works
        QCOMPARE(m.children(), 41);
        QVERIFY(m.app.ui.shown.isEmpty());

        m.trigger("id_FileNewMessage");
        m.trigger("id_FileOpenList");
        clickListbar(*m.window, "Mailing Lists", "New list");
        QCOMPARE(m.children(), 41);
        QCOMPARE(m.app.ui.transcript(),
                 (QStringList{
                     msg("You must close some of your open lists and messages before creating any new ones.",
                         "exclamation"),
                     msg("You must close some of your open lists and messages before opening any new ones.",
                         "exclamation"),
                     msg("You must close some of your open lists and messages before creating any new ones.",
                         "exclamation")}));
        m.closeActive();
        m.app.ui.clear();
        whenModal([](QDialog* d) {
            QCOMPARE(d->objectName(), QStringLiteral("frmNewSelect"));
            d->reject();
        });
        m.trigger("id_FileNewList"); // back to 40: the new-list chooser opens
        QVERIFY(m.app.ui.shown.isEmpty());
    }

    void exitStopsWhenAChildKeepsItsWindow() {
        Main m;
        m.window->ShowListFromName(kSampleListName);
        m.trigger("id_FileNewMessage");
        auto* list = dynamic_cast<StandIn*>(m.window->LocateListWindow(kSampleListName));
        list->refuseClose = true;
        QVERIFY(!m.window->close());
        QVERIFY(m.window->isVisible());
        QCOMPARE(m.log.filter(":close"), QStringList{kSampleListName + ":close-refused"});
        QCOMPARE(m.app.ctx->settingsFile.read("Defaults", "MainWinState", "<absent>"),
                 QStringLiteral("<absent>"));

        list->refuseClose = false;
        QVERIFY(m.window->close());
        QCOMPARE(m.log.filter(":close").size(), 3);
        QVERIFY(m.app.ctx->settingsFile.read("Defaults", "MainWinState", "<absent>") != "<absent>");
        QCOMPARE(m.app.ctx->settingsFile.read(kAppDefaults, "ChangeMergeTags"), QStringLiteral("True"));
    }

    void placementAndListbarOrderComeBack() {
        Main m;
        m.window->showNormal();
        m.window->setGeometry(60, 40, 900, 600);
        m.window->listBar()->moveGroup("Sendoras", -2);
        QVERIFY(m.window->close());
        QCOMPARE(m.app.ctx->settingsFile.read("Defaults", "MainWinState"), QStringLiteral("0"));
        QCOMPARE(m.app.ctx->settingsFile.read("Listbar", "Order0"), QStringLiteral("Sendoras"));

        m.start(true);
        QCOMPARE(m.window->geometry().size(), QSize(900, 600));
        QCOMPARE(m.window->listBar()->groupOrder(), (QStringList{"Sendoras", "Mailing Lists", "Messages"}));
    }

    void deletingAMessageThroughItsPicker() {
        Main m;
        whenModal([](QDialog* d) {
            QCOMPARE(d->objectName(), QStringLiteral("frmOpenDelete"));
            QCOMPARE(d->findChild<QLabel*>("lblPrompt")->text(),
                     QStringLiteral("Select a message or messages from the list to delete:"));
            QCOMPARE(d->findChild<QPushButton*>("cmdOK")->text(), QStringLiteral("O&k"));
            QVERIFY(!d->findChild<QPushButton*>("cmdDontSave"));
            auto* names = d->findChild<QListWidget*>("lstNames");
            QCOMPARE(names->count(), 1);
            names->item(0)->setSelected(true);
            QCOMPARE(d->findChild<QPlainTextEdit*>("txtDescription")->toPlainText(),
                     QStringLiteral("A Sample Message Using the Formal Template"));
            QTest::mouseClick(d->findChild<QPushButton*>("cmdOK"), Qt::LeftButton);
        });
        m.trigger("id_FileDeleteMessage");
        QCOMPARE(m.app.ui.transcript(), QStringList{msg("Delete the 1 message(s) ?", "question", "YesNo")});
        auto db = jet::Database::open(m.app.ctx->paths.systemDatabase(), jet::Database::OpenMode::ReadOnly);
        QVERIFY(db->openRecordset("SELECT * FROM Message")->eof());
    }

    void creatingAGroupFromTheListbar() {
        Main m;
        whenModal([](QDialog* chooser) {
            QCOMPARE(chooser->objectName(), QStringLiteral("frmSendoraGroupOptions"));
            QCOMPARE(chooser->findChild<QPushButton*>("cmdClose")->toolTip(),
                     QStringLiteral("Close this screen"));
            snap(chooser, "chooser-groups");
            whenModal([](QDialog* d) {
                QCOMPARE(d->findChild<QLabel*>("lblPrompt")->text(),
                         QStringLiteral("Select a name for your new sendora group:"));
                QVERIFY(!d->findChild<QPushButton*>("cmdDontSave"));
                QTest::keyClicks(d->findChild<QLineEdit*>("txtName"), "Customers");
                d->findChild<QPlainTextEdit*>("txtDescription")->setPlainText("Paying ones");
                snap(d, "open-delete-group-save");
                QTest::mouseClick(d->findChild<QPushButton*>("cmdOK"), Qt::LeftButton);
            });
            QTest::mouseClick(chooser->findChild<QPushButton*>("cmd_id_NewSD"), Qt::LeftButton);
        });
        clickListbar(*m.window, "Sendoras", "Sendora Groups");
        auto db = jet::Database::open(m.app.ctx->paths.systemDatabase(), jet::Database::OpenMode::ReadOnly);
        auto rs =
            db->openRecordset("SELECT SendoraDescription FROM Sendora WHERE SendoraName = \"Customers\"");
        QVERIFY(!rs->eof());
        QCOMPARE(rs->value(0).toString(), QStringLiteral("Paying ones"));
    }

    void deleteRecordWithoutSelectionAndHidingLists() {
        Main m;
        m.window->ShowListFromName(kSampleListName);
        m.trigger("id_EditDeleteRecord");
        QCOMPARE(m.app.ui.transcript(), QStringList{msg("Please select a row or rows for deletion.",
                                                        "information", "OK", "Delete Row")});
        m.trigger("id_WindowHideLists");
        QCOMPARE(m.action("id_WindowHideLists")->text(), QStringLiteral("Show Lists"));
        QVERIFY(!m.area()->subWindowList().first()->isVisible());
        m.trigger("id_WindowHideLists");
        QVERIFY(m.area()->subWindowList().first()->isVisible());
    }

    void listbarFollowsShowListbarAndF8() {
        Main m;
        auto* dock = m.window->findChild<QDockWidget*>("dockListbar");
        QAction* show = m.action("id_WindowShowListbar");
        QVERIFY(dock->isVisible() && show->isChecked());
        m.trigger("id_WindowShowListbar"); // unchecked: hidden
        QVERIFY(!dock->isVisible());
        QVERIFY(!show->isChecked());
        m.trigger("id_WindowShowListbar");
        QVERIFY(dock->isVisible() && show->isChecked());
        m.trigger("id_WindowHideListbar"); // F8 toggles, and the menu item follows
        QVERIFY(!dock->isVisible());
        QVERIFY(!show->isChecked());
        m.trigger("id_WindowHideListbar");
        QVERIFY(dock->isVisible() && show->isChecked());
    }

    void deletingAnOpenListClosesItsWindow() {
        Main m;
        m.window->ShowListFromName(kSampleListName);
        m.trigger("id_FileNewMessage");
        m.active()->mergeList = kSampleListName;
        QVERIFY(!DeleteList(*m.app.ctx, kSampleListName)); // the message uses it
        m.closeActive();
        QVERIFY(DeleteList(*m.app.ctx, kSampleListName));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(m.children(), 0);
        QVERIFY(m.app.ui.transcript().first().contains("Cannot Delete List"));
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
