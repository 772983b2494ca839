// The main window's logic without widgets: the command table, the enable matrix, the
// window registry and its limit, the settings read at start and written at exit, and the
// one-time merge tag conversion.

#include "components/jet/Jet.h"
#include "core/IniFile.h"
#include "screens/Commands.h"
#include "screens/MainWindowSettings.h"
#include "screens/WindowRegistry.h"
#include "support/TestApp.h"

#include <QFile>
#include <QSet>
#include <QTest>

using namespace sendora;
using sendora::test::TestApp;

namespace {

QString ini(TestApp& app, const QString& section, const QString& key) {
    return app.ctx->settingsFile.read(section, key, QStringLiteral("<absent>"));
}

QHash<QString, bool> statesFor(int lists, int messages, ActiveChild active, bool busy = false) {
    ToolContext c;
    c.listWindows = lists;
    c.messageWindows = messages;
    c.active = active;
    c.busy = busy;
    c.available = ~0u;
    return toolStates(c);
}

} // namespace

class TestCommandSet : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Captions are compared with the menus in tst_mainwindow; here the table's own consistency.
    void everyCommandIsFoundByItsIdAndDescribed() {
        QSet<QString> ids;
        for (const Command& cmd : commands()) {
            QVERIFY2(findCommand(QLatin1String(cmd.id)) == &cmd, cmd.id);
            QVERIFY2(*cmd.description, cmd.id);
            ids.insert(QLatin1String(cmd.id));
        }
        QCOMPARE(qsizetype(ids.size()), qsizetype(commands().size()));
        // Every id has one stable name and back; a name that is no command has no id.
        for (int i = 0; i < kCommandCount; ++i) {
            const QString name = commandName(CommandId(i));
            QVERIFY2(name.startsWith("id_", Qt::CaseInsensitive), qPrintable(QString::number(i)));
            QCOMPARE(commandIdOf(name), std::optional(CommandId(i)));
        }
        QCOMPARE(commandIdOf("id_FileNewLists"), std::nullopt);
        QCOMPARE(commandIdOf(QString()), std::nullopt);
    }

    void everyListbarItemRunsAKnownCommand() {
        QStringList groups;
        for (const ListbarItem& item : listbarItems()) {
            const QString command = QLatin1String(item.command);
            QVERIFY2(commandIdOf(command), item.caption);
            if (!groups.contains(item.group)) groups << item.group;
        }
        QCOMPARE(groups, defaultListbarOrder());
    }

    void enableMatrix_data() {
        QTest::addColumn<int>("lists");
        QTest::addColumn<int>("messages");
        QTest::addColumn<int>("active");
        QTest::addColumn<QStringList>("on");
        QTest::addColumn<QStringList>("off");
        const int none = int(ActiveChild::None), centre = int(ActiveChild::MailingCentre),
                  list = int(ActiveChild::List), message = int(ActiveChild::Message);
        QTest::newRow("nothing open")
            << 0 << 0 << none << QStringList{"id_FileNew", "id_FileOpen", "id_FileDelete", "id_SDCentral"}
            << QStringList{"id_Edit",
                           "id_FileClose",
                           "id_FileCloseAll",
                           "id_FileSave",
                           "id_FileSaveAs",
                           "id_EditCut",
                           "id_EditCopy",
                           "id_EditPaste",
                           "id_EditFind",
                           "id_Tools",
                           "tbListTools",
                           "id_ToolsExportList",
                           "id_ToolsMergeLists",
                           "id_MessageTools",
                           "id_WindowHideLists"};
        QTest::newRow("list active")
            << 1 << 0 << list
            << QStringList{"id_Edit",     "id_FileClose",       "id_FileSave",         "id_FileSaveAs",
                           "id_EditCut",  "id_EditCopy",        "id_EditPaste",        "id_Tools",
                           "tbListTools", "id_ToolsExportList", "id_EditDeleteRecord", "id_WindowHideLists"}
            << QStringList{"id_MessageTools", "id_MessageToolsMessagePreview", "id_WindowHideMessages",
                           "id_EditCheckSpelling"};
        QTest::newRow("message active over a list")
            << 1 << 1 << message
            << QStringList{"id_Edit", "id_EditCut", "id_MessageTools", "id_MessageToolsMessagePreview",
                           "id_EditCheckSpelling"}
            << QStringList{"id_Tools", "tbListTools", "id_ToolsExportList", "id_EditDeleteRecord"};
        QTest::newRow("centre active over a list")
            << 1 << 0 << centre << QStringList{"id_Tools", "id_FileCloseAll"}
            << QStringList{"id_EditCut", "id_EditPaste", "id_FileSave", "id_MessageTools"};
    }
    void enableMatrix() {
        QFETCH(int, lists);
        QFETCH(int, messages);
        QFETCH(int, active);
        QFETCH(QStringList, on);
        QFETCH(QStringList, off);
        const auto states = statesFor(lists, messages, ActiveChild(active));
        for (const QString& id : on)
            QVERIFY2(states.value(id, false), qPrintable(id + " should be on"));
        for (const QString& id : off)
            QVERIFY2(!states.value(id, true), qPrintable(id + " should be off"));
    }

    void busyHoldsTheWindowOpeningCommandsTogether() {
        const auto busy = statesFor(0, 0, ActiveChild::None, true);
        for (const char* id :
             {"id_FileNew", "id_FileOpen", "id_FileDelete", "id_SDCentral", "id_SDWiz", "id_WindowList"})
            QVERIFY2(!busy.value(id), id);
        QVERIFY(busy.value("id_FileExit"));
    }

    void missingFeaturesMakeCommandsInert() {
        ToolContext c;
        c.available = unsigned(Feature::ListWindow);
        const auto states = toolStates(c);
        QVERIFY(states.value("id_FileOpenList"));
        QVERIFY(!states.value("id_FileOpenMessage"));
        QVERIFY(!states.value("id_SDWiz"));
        QVERIFY(states.value("id_NewSD"));
        QVERIFY(!statesFor(0, 0, ActiveChild::None).value("id_ToolsImportEPSFile")); // never has an action
    }

    void windowLimit() {
        WindowRegistry r;
        QStringList keys;
        for (int i = 0; i < 40; ++i)
            keys << r.add(i % 2 ? ActiveChild::List : ActiveChild::Message, QString::number(i));
        r.add(ActiveChild::MailingCentre, "Sendora Central");
        QCOMPARE(keys.removeDuplicates(), qsizetype(0));
        QVERIFY(!r.refusesNewWindows()); // 40 open, the centre does not count
        const QString last = r.add(ActiveChild::List, "41");
        QVERIFY(r.refusesNewWindows());
        r.remove(last);
        QVERIFY(!r.refusesNewWindows());
        QCOMPARE(r.count(ActiveChild::List), 20); // counts and messages as shown: tst_mainwindow
        bool opens = false;
        QVERIFY(countsAgainstWindowLimit(CommandId::FileOpenMessage, &opens) && opens);
        QVERIFY(countsAgainstWindowLimit(CommandId::FileNewList, &opens) && !opens);
        QVERIFY(!countsAgainstWindowLimit(CommandId::NewSD));
        QCOMPARE(r.nextCaptionNumber(), quint16(1));
        QCOMPARE(r.nextCaptionNumber(), quint16(2));
    }

    void placementRoundTripInTwips() {
        TestApp app;
        app.layOut();
        QCOMPARE(readWindowPlacement(*app.ctx).state, int(WindowMaximised));
        QVERIFY(readWindowPlacement(*app.ctx).geometry.isNull());
        writeWindowPlacement(*app.ctx, QRect(100, 50, 800, 600), WindowNormal);
        QCOMPARE(ini(app, "Defaults", "MainWinLeft"), QStringLiteral("1500"));
        QCOMPARE(ini(app, "Defaults", "MainWinWidth"), QStringLiteral("12000"));
        QCOMPARE(ini(app, "Defaults", "MainWinState"), QStringLiteral("0"));
        const WindowPlacement p = readWindowPlacement(*app.ctx);
        QCOMPARE(p.geometry, QRect(100, 50, 800, 600));
        QCOMPARE(p.state, int(WindowNormal));
        writeWindowPlacement(*app.ctx, QRect(0, 0, 10, 10), WindowMinimised);
        QCOMPARE(ini(app, "Defaults", "MainWinWidth"), QStringLiteral("12000"));
        QCOMPARE(ini(app, "Defaults", "MainWinState"), QStringLiteral("1"));
    }

    void startSettings_data() {
        QTest::addColumn<QString>("blockSize");
        QTest::addColumn<QString>("startCentral");
        QTest::addColumn<int>("expectedBlock");
        QTest::addColumn<bool>("expectedCentral");
        QTest::newRow("absent") << "<absent>"
                                << "<absent>" << 10 << true;
        QTest::newRow("zero block") << "0"
                                    << "False" << 1 << false;
        QTest::newRow("negative block") << "-5"
                                        << "0" << 1 << false;
        QTest::newRow("set") << "25"
                             << "True" << 25 << true;
    }
    void startSettings() {
        QFETCH(QString, blockSize);
        QFETCH(QString, startCentral);
        QFETCH(int, expectedBlock);
        QFETCH(bool, expectedCentral);
        TestApp app;
        app.layOut();
        if (blockSize != "<absent>")
            app.ctx->settingsFile.write(kAppDefaults, "GroupMailBlockSize", blockSize);
        if (startCentral != "<absent>")
            app.ctx->settingsFile.write(kAppDefaults, "StartSDCentral", startCentral);
        readMainWindowSettings(*app.ctx);
        QCOMPARE(app.ctx->settings.groupMailBlockSize, expectedBlock);
        QCOMPARE(app.ctx->settings.startSDCentral, expectedCentral);
    }

    void exitWritesTheApplicationSettings() {
        TestApp app;
        app.layOut();
        app.ctx->settings.groupMailBlockSize = 7;
        app.ctx->settings.startState = 2;
        app.ctx->settings.wordWrapSize = 72;
        app.ctx->settings.changeMergeTags = true;
        writeExitSettings(*app.ctx);
        QCOMPARE(ini(app, kAppDefaults, "GroupMailBlockSize"), QStringLiteral("7"));
        QCOMPARE(ini(app, kAppDefaults, "StartMaximized"), QStringLiteral("2"));
        QCOMPARE(ini(app, kAppDefaults, "WordWrapSize"), QStringLiteral("72"));
        QCOMPARE(ini(app, kAppDefaults, "ChangeMergeTags"), QStringLiteral("True"));
    }

    void listbarOrder_data() {
        QTest::addColumn<QStringList>("saved");
        QTest::addColumn<QStringList>("restored");
        QTest::newRow("none") << QStringList{} << QStringList{"Mailing Lists", "Messages", "Sendoras"};
        QTest::newRow("kept") << QStringList{"Sendoras", "Mailing Lists", "Messages"}
                              << QStringList{"Sendoras", "Mailing Lists", "Messages"};
        QTest::newRow("unknown and repeated dropped, missing appended")
            << QStringList{"Messages", "Bogus", "Messages"}
            << QStringList{"Messages", "Mailing Lists", "Sendoras"};
    }
    void listbarOrder() {
        QFETCH(QStringList, saved);
        QFETCH(QStringList, restored);
        TestApp app;
        app.layOut();
        writeListbarOrder(*app.ctx, saved);
        QCOMPARE(readListbarOrder(*app.ctx, defaultListbarOrder()), restored);
        if (!saved.isEmpty()) QCOMPARE(ini(app, "Listbar", "Order0"), saved.first());
    }

    void mergeTagConversionRunsOnce() {
        TestApp app;
        app.start();
        const QString sdr = app.ctx->paths.systemDatabase();
        auto insert = [&](const QString& name) {
            jet::Database::open(sdr)->execute(
                QStringLiteral(
                    "INSERT INTO Message (MessageName, Subject, HTMLText, MessageText, GreetingDisplay, "
                    "[From], HTMLGreeting) VALUES (%1, \"Hi <<FirstName>>\", \"<p>&lt;&lt;City&gt;&gt; "
                    "<<Zip>></p>\", \"<<a>> <<b>>\", \"&lt;&lt;x&gt;&gt; <<y>>\", \"<<Company>>\", "
                    "\"Dear <<Title>>\")")
                    .arg(jet::quote(name)));
        };
        auto row = [&](const QString& name) {
            auto db = jet::Database::open(sdr, jet::Database::OpenMode::ReadOnly);
            auto rs = db->openRecordset("SELECT * FROM Message WHERE MessageName = " + jet::quote(name));
            QStringList values;
            for (const char* f :
                 {"Subject", "HTMLText", "MessageText", "GreetingDisplay", "From", "HTMLGreeting"})
                values << rs->value(QLatin1String(f)).toString();
            return values;
        };
        insert("Old");
        app.ctx->settings.changeMergeTags = false;
        UpdateExistingMessages(*app.ctx);
        QCOMPARE(row("Old"),
                 (QStringList{"Hi [[FirstName]]", "<p>&#91;&#91;City&#93;&#93; [[Zip]]</p>", "[[a]] [[b]]",
                              "&lt;&lt;x&gt;&gt; [[y]]", "[[Company]]", "Dear [[Title]]"}));
        QVERIFY(app.ctx->settings.changeMergeTags);
        QCOMPARE(ini(app, kAppDefaults, "ChangeMergeTags"), QStringLiteral("True"));

        insert("New");
        UpdateExistingMessages(*app.ctx);
        QCOMPARE(row("New").first(), QStringLiteral("Hi <<FirstName>>"));
    }

    void findReplaceIsCaseExact() {
        TestApp app;
        app.start();
        auto db = jet::Database::open(app.ctx->paths.systemDatabase());
        db->execute("INSERT INTO Message (MessageName, Subject) VALUES (\"a\", \"xX x\")");
        db->execute("INSERT INTO Message (MessageName, Subject) VALUES (\"b\", \"XX\")");
        QCOMPARE(FindReplaceMergeTags(*db, "Subject", "x", "y"), 1);
        auto rs = db->openRecordset("SELECT Subject FROM Message ORDER BY MessageName");
        QCOMPARE(rs->value(0).toString(), QStringLiteral("yX y"));
        rs->moveNext();
        QCOMPARE(rs->value(0).toString(), QStringLiteral("XX"));
    }

    void emptyListFileIsATemporaryList() {
        TestApp app;
        app.layOut();
        const QString first = createEmptyListFile(*app.ctx);
        QCOMPARE(first, app.ctx->paths.temp + "NewMailingList0.mdb");
        auto db = jet::Database::open(first, jet::Database::OpenMode::ReadOnly);
        QVERIFY(db->hasField("AddressList", "EAddress"));
        QVERIFY(db->hasField("AddressList", "Keyword2"));
        QCOMPARE(createEmptyListFile(*app.ctx), app.ctx->paths.temp + "NewMailingList1.mdb");
        clearTemporaryFolder(*app.ctx);
        QVERIFY(!QFile::exists(first));
    }
};

QTEST_GUILESS_MAIN(TestCommandSet)
#include "tst_commandset.moc"
