// The catalogue of groups, messages, lists and delivery options without any window: the
// dialog's texts, the name rule, and what each operation asks, shows and changes.

#include "components/jet/Jet.h"
#include "core/Catalogue.h"
#include "core/SystemDatabase.h"
#include "support/RecordingHost.h"
#include "support/TestApp.h"

#include <QFile>
#include <QTest>

using namespace sendora;
using sendora::test::TestApp;

namespace {

// Records the catalogue notifications as well as the list requests.
struct CatalogueHost : sendora::test::RecordingHost {
    bool editorExists = true;
    void groupCreated(const QString& n) override { calls << "groupCreated:" + n; }
    void groupChanged(const QString& n) override { calls << "groupChanged:" + n; }
    void groupDeleted(const QString& n) override { calls << "groupDeleted:" + n; }
    void messageCatalogueChanged(const QString& n) override { calls << "messageChanged:" + n; }
    void deliveryOptionsChanged(const QString& n) override { calls << "optionsChanged:" + n; }
    bool openMessageWindow(const QString& n) override {
        calls << "openMessage:" + n;
        return editorExists;
    }
    void closeMessageWindows(const QString& n) override { calls << "closeMessage:" + n; }
    bool editDeliveryOptions(const QString& n) override {
        calls << "editOptions:" + n;
        return true;
    }
};

struct Started {
    CatalogueHost host;
    TestApp app{&host};
    AppContext& ctx = *app.ctx;
    Started() {
        app.start(true);
        host.calls.clear();
    }
    QString sdr() const { return app.ctx->paths.systemDatabase(); }
    long count(const QString& sql) const {
        auto db = jet::Database::open(sdr(), jet::Database::OpenMode::ReadOnly);
        auto rs = db->openRecordset(sql);
        return rs->value(0).toLongLong();
    }
    QVariant value(const QString& sql) const {
        auto db = jet::Database::open(sdr(), jet::Database::OpenMode::ReadOnly);
        auto rs = db->openRecordset(sql);
        return rs->eof() ? QVariant() : rs->value(0);
    }
    void exec(const QString& sql) { jet::Database::open(sdr())->execute(sql); }
    void addMessage(const QString& name, const QString& subject = "Hello") {
        exec(QStringLiteral("INSERT INTO Message (MessageName, MessageDescription, Subject, HTMLText) "
                            "VALUES (%1, \"d\", %2, \"<p>body</p>\")")
                 .arg(jet::quote(name), jet::quote(subject)));
    }
    QStringList shown() const { return app.ui.transcript(); }
};

QString msg(const QString& text, const QString& icon = "none", const QString& buttons = "OK",
            const QString& title = "Sendora") {
    return QStringLiteral("message|%1|%2|%3|%4").arg(icon, buttons, title, text);
}

} // namespace

class TestCatalogue : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void dialogPrompts_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("op");
        QTest::addColumn<QString>("prompt");
        const int S = 0, O = 1, D = 2;
        QTest::newRow("message delete") << 0 << D << "Select a message or messages from the list to delete:";
        QTest::newRow("message open") << 0 << O << "Select a message or messages from the list to open:";
        QTest::newRow("message save") << 0 << S << "Select a name to save your message as:";
        QTest::newRow("list delete") << 1 << D << "Select a mailing list or lists from the list to delete:";
        QTest::newRow("list open") << 1 << O << "Select a mailing list or lists from the list to open:";
        QTest::newRow("list save") << 1 << S << "Select a name to save your list as:";
        QTest::newRow("options delete")
            << 2 << D << "Select a set or sets of delivery options from the list to delete:";
        QTest::newRow("options open") << 2 << O << "Select a set of delivery options from the list to open:";
        QTest::newRow("options save") << 2 << S << "";
        QTest::newRow("group delete")
            << 3 << D << "Select a sendora group or groups from the list to delete:";
        QTest::newRow("group open") << 3 << O << "Select a sendora group from the list to edit:";
        QTest::newRow("group save") << 3 << S << "Select a name for your new sendora group:";
    }
    void dialogPrompts() {
        QFETCH(int, kind);
        QFETCH(int, op);
        QFETCH(QString, prompt);
        QCOMPARE(cataloguePrompt(CatalogueKind(kind), CatalogueOperation(op)), prompt);
    }

    void nameRule_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("valid");
        QTest::newRow("plain") << "Spring offer" << true;
        QTest::newRow("apostrophe inside") << "Anna's list" << true;
        QTest::newRow("leading apostrophe") << "'quoted" << false;
        for (const char* c : {"\"", "*", "?", "/", "\\", "|", ":", ";"})
            QTest::newRow(c) << QStringLiteral("a%1b").arg(QLatin1String(c)) << false;
    }
    void nameRule() {
        QFETCH(QString, name);
        QFETCH(bool, valid);
        QCOMPARE(IsValidObjectName(name), valid);
    }

    void invalidNameKeepsTheSaveDialogOpen() {
        Started s;
        OpenDeleteModel model(s.ctx, CatalogueKind::Group, CatalogueOperation::Save);
        QVERIFY(!model.accept({}, "'Friends", "x"));
        QCOMPARE(s.shown(),
                 QStringList{msg("Please Enter a Valid Filename. A valid filename cannot contain the "
                                 "following characters:  \r\n    \"  *  ?  /  \\  |  :  ;",
                                 "information")});
        QCOMPARE(s.count("SELECT Count(*) FROM Sendora WHERE SendoraName = \"'Friends\""), 0L);
        QCOMPARE(model.result(), SaveResult::Cancelled);
    }

    void namesInKeyOrderWithoutPlaceholders() {
        Started s;
        s.addMessage("beta");
        s.addMessage("Alpha");
        s.addMessage(kNewMessagePrefix + "2024");
        QCOMPARE(catalogueNames(s.ctx, CatalogueKind::Message),
                 (QStringList{"Alpha", "beta", kSampleMessageName}));
        QCOMPARE(catalogueNames(s.ctx, CatalogueKind::List),
                 (QStringList{"Global Remove List", kSampleListName}));
        QCOMPARE(catalogueDescription(s.ctx, CatalogueKind::Group, "sample"),
                 QStringLiteral("Sample Sendora Group"));
    }

    void groupLifeCycle() {
        Started s;
        QVERIFY(CreateGroup(s.ctx, "Friends", "People \"we\" know"));
        QCOMPARE(s.value("SELECT SendoraDescription FROM Sendora WHERE SendoraName = \"Friends\"").toString(),
                 QStringLiteral("People \"we\" know"));
        QVERIFY(!CreateGroup(s.ctx, "FRIENDS", "again"));
        QVERIFY(UpdateGroupDescription(s.ctx, "friends", "Close friends"));
        QCOMPARE(catalogueDescription(s.ctx, CatalogueKind::Group, "Friends"),
                 QStringLiteral("Close friends"));
        QVERIFY(!UpdateGroupDescription(s.ctx, "Strangers", "x"));
        QCOMPARE(
            s.shown(),
            (QStringList{msg("A Sendora Group with this name already exists.  Please choose a new name."),
                         msg("The Sendora Group 'Strangers' does not exist, it could have been deleted "
                             "already.")}));
        QCOMPARE(s.host.calls, (QStringList{"groupCreated:Friends", "groupChanged:friends"}));
    }

    void deletingAGroupTakesItsMailings() {
        Started s;
        QVERIFY(CreateGroup(s.ctx, "Friends", ""));
        for (const char* group : {"Friends", "Friends", "Sample"})
            s.exec(
                QStringLiteral("INSERT INTO MailEvent (SendoraName, ListName, MessageName, Profile) VALUES "
                               "(\"%1\", \"l\", \"m\", \"p\")")
                    .arg(QLatin1String(group)));
        s.app.ui.clear();
        QCOMPARE(DeleteGroups(s.ctx, {"Friends"}), 1);
        QCOMPARE(s.shown(), QStringList{msg("Delete 'Friends' Sendora Group and all its mailings?",
                                            "question", "YesNo")});
        QCOMPARE(s.count("SELECT Count(*) FROM MailEvent WHERE SendoraName = \"Friends\""), 0L);
        QCOMPARE(s.count("SELECT Count(*) FROM MailEvent WHERE SendoraName = \"Sample\""), 2L);
        QCOMPARE(s.count("SELECT Count(*) FROM Sendora WHERE SendoraName = \"Friends\""), 0L);
        QVERIFY(s.host.calls.contains("groupDeleted:Friends"));
    }

    void deletingSeveralGroupsAsksOnceAndGoesOnPastMissingOnes() {
        Started s;
        QVERIFY(CreateGroup(s.ctx, "A", ""));
        s.app.ui.clear();
        QCOMPARE(DeleteGroups(s.ctx, {"A", "Gone", "Sample"}), 2);
        QCOMPARE(s.shown(),
                 (QStringList{
                     msg("Delete the 3 Sendora Groups and all their mailings?", "question", "YesNo"),
                     msg("The Sendora Group 'Gone' does not exist, it could have been deleted already.")}));
        QCOMPARE(s.count("SELECT Count(*) FROM Sendora"), 0L);

        s.app.ui.clear();
        QCOMPARE(DeleteGroups(s.ctx, {}), 0);
        QCOMPARE(s.shown(), QStringList{msg("Please select a Group or Groups to delete.")});
    }

    void groupDeleteAnsweredNoKeepsIt() {
        Started s;
        s.app.ui.answers = {Answer::No};
        QCOMPARE(DeleteGroups(s.ctx, {"Sample"}), 0);
        QCOMPARE(s.count("SELECT Count(*) FROM Sendora"), 1L);
    }

    void messageRenameAndItsConflicts() {
        Started s;
        s.addMessage("Other");
        QVERIFY(!MessageSave(s.ctx, kSampleMessageName, "other", "d", false));
        QCOMPARE(s.shown(),
                 QStringList{msg("There is already a message with that name, please choose another.")});
        QVERIFY(MessageSave(s.ctx, kSampleMessageName, "Renamed", "New words", true));
        QCOMPARE(s.value("SELECT MessageDescription FROM Message WHERE MessageName = \"Renamed\"").toString(),
                 QStringLiteral("New words"));
        QCOMPARE(s.count("SELECT Count(*) FROM Message WHERE MessageName = \"Sample - Sendora\""), 0L);
        QCOMPARE(s.host.calls, (QStringList{"openMessage:Renamed", "messageChanged:Renamed"}));
        // Same name, new description: no conflict with itself.
        QVERIFY(MessageSave(s.ctx, "Renamed", "renamed", "Again", false));
    }

    void messageCopyKeepsEveryColumn() {
        Started s;
        QVERIFY(MessageSaveAs(s.ctx, kSampleMessageName, "Copy", "A copy"));
        QCOMPARE(s.count("SELECT Count(*) FROM Message"), 2L);
        for (const char* column :
             {"Subject", "HTMLText", "MessageText", "GreetingDisplay", "From", "MailingList"})
            QCOMPARE(
                s.value(QStringLiteral("SELECT [%1] FROM Message WHERE MessageName = \"Copy\"").arg(column)),
                s.value(QStringLiteral("SELECT [%1] FROM Message WHERE MessageName = \"Sample - Sendora\"")
                            .arg(column)));
        QCOMPARE(s.value("SELECT MessageDescription FROM Message WHERE MessageName = \"Copy\"").toString(),
                 QStringLiteral("A copy"));
        // A second copy works although the scratch table is left from the first.
        QVERIFY(MessageSaveAs(s.ctx, kSampleMessageName, "Copy 2", ""));
        s.app.ui.clear();
        QVERIFY(!MessageSaveAs(s.ctx, "Copy 2", "COPY", "changed"));
        QCOMPARE(s.shown(), QStringList{msg("The New Name already exists, please choose another.")});
        QCOMPARE(s.value("SELECT MessageDescription FROM Message WHERE MessageName = \"Copy\"").toString(),
                 QStringLiteral("A copy"));
        QCOMPARE(s.count("SELECT Count(*) FROM Message"), 3L);
    }

    void deletingMessagesAsksOnce() {
        Started s;
        s.addMessage("One");
        s.addMessage("Two");
        QCOMPARE(DeleteMessages(s.ctx, {"One", "Two", kSampleMessageName}), 3);
        QCOMPARE(s.shown(), QStringList{msg("Delete the 3 message(s) ?", "question", "YesNo")});
        QCOMPARE(s.count("SELECT Count(*) FROM Message"), 0L);
        QCOMPARE(s.host.count("closeMessage:"), 3);
        QCOMPARE(s.host.count("messageChanged:"), 3);

        s.app.ui.clear();
        QCOMPARE(DeleteMessages(s.ctx, {}), 0);
        QCOMPARE(s.shown(), QStringList{msg("Please select a message or messages to delete.")});
    }

    void deliveryOptionsDeletion_data() {
        QTest::addColumn<QStringList>("selected");
        QTest::addColumn<QStringList>("shown");
        QTest::addColumn<long>("left");
        const QString refused =
            msg("The 'Default Delivery Options' cannot be deleted.  \r\nIt can only be modified "
                "and is required by Sendora \r\nto provide default values for any new Delivery "
                "Options.",
                "information");
        QTest::newRow("protected") << QStringList{kDefaultProfileName} << QStringList{refused} << 2L;
        QTest::newRow("other case is not protected")
            << QStringList{"default delivery options"}
            << QStringList{msg("Delete Sendora Delivery Options 'default delivery options'?", "question",
                               "YesNo")}
            << 1L;
        QTest::newRow("protected skipped, next asked")
            << QStringList{kDefaultProfileName, "Weekly"}
            << QStringList{refused, msg("Delete Sendora Delivery Options 'Weekly'?", "question", "YesNo")}
            << 1L;
        QTest::newRow("missing") << QStringList{"Nothing"}
                                 << QStringList{msg("Delete Sendora Delivery Options 'Nothing'?", "question",
                                                    "YesNo"),
                                                msg("This set of delivery options does not exist.")}
                                 << 2L;
    }
    void deliveryOptionsDeletion() {
        QFETCH(QStringList, selected);
        QFETCH(QStringList, shown);
        QFETCH(long, left);
        Started s;
        s.exec("INSERT INTO Profile (ProfileName) VALUES (\"Weekly\")");
        DeleteDeliveryOptionsSets(s.ctx, selected);
        QCOMPARE(s.shown(), shown);
        QCOMPARE(s.count("SELECT Count(*) FROM Profile"), left);
    }

    void listDeletion() {
        Started s;
        QCOMPARE(DeleteLists(s.ctx, {kSampleListName, "global remove list"}), 0);
        QCOMPARE(s.shown(), QStringList{msg("You can not delete the Global Remove List")});
        s.app.ui.clear();
        s.app.ui.answers = {Answer::No};
        QCOMPARE(DeleteLists(s.ctx, {kSampleListName}), 0);
        QCOMPARE(s.shown(),
                 QStringList{msg("You are about to delete 1 list(s).\r\nThis action is irreversible. Are "
                                 "you sure you want to continue?",
                                 "question", "YesNo", "Delete Confirmation")});
        QVERIFY(QFile::exists(s.ctx.paths.listFile(kSampleListName + ".mdb")));
        QCOMPARE(DeleteLists(s.ctx, {kSampleListName}), 1);
        QVERIFY(!QFile::exists(s.ctx.paths.listFile(kSampleListName + ".mdb")));
    }

    void openingLists() {
        Started s;
        QCOMPARE(OpenLists(s.ctx, {}), 0);
        QFile::remove(s.ctx.paths.listFile(kSampleListName + ".mdb"));
        QCOMPARE(OpenLists(s.ctx, {kSampleListName, kGlobalRemoveListName}), 1);
        QCOMPARE(s.shown(),
                 (QStringList{msg("Please select a mailing list"),
                              msg(QStringLiteral("Cannot open the 'Sample - Formal Letter' list.\r\nThe "
                                                 "corresponding address file, '%1', was not found.")
                                      .arg(s.ctx.paths.listFile(kSampleListName + ".mdb")),
                                  "exclamation")}));
        QCOMPARE(
            s.host.calls.filter("openListWindow:"),
            QStringList{"openListWindow:Global Remove List|" + s.ctx.paths.listFile(kGlobalRemoveListFile)});
    }

    void saveDialogOutcomes() {
        Started s;
        OpenDeleteModel list(s.ctx, CatalogueKind::List, CatalogueOperation::Save);
        list.sourceFile = s.ctx.paths.listFile(kSampleListName + ".mdb");
        QVERIFY(!list.accept({}, "", ""));
        QCOMPARE(s.shown(), QStringList{msg("Please supply a name for this mailing list", "information")});
        QVERIFY(list.accept({}, "Customers", "Paying ones"));
        QCOMPARE(list.result(), SaveResult::Saved);
        QCOMPARE(catalogueDescription(s.ctx, CatalogueKind::List, "Customers"),
                 QStringLiteral("Paying ones"));

        OpenDeleteModel message(s.ctx, CatalogueKind::Message, CatalogueOperation::Save);
        message.currentName = kSampleMessageName;
        message.saveAs = true;
        QVERIFY(message.accept({}, " Second ", "copy"));
        QCOMPARE(message.savedName(), QStringLiteral("Second"));
        QCOMPARE(s.count("SELECT Count(*) FROM Message"), 2L);
        message.dontSave();
        QCOMPARE(message.result(), SaveResult::NotSaved);
    }

    void inputBoxRefusesSystemNames() {
        TestApp app;
        app.ui.inputs = {QString("  "), QString(" id "), QString("Error"), QString("  Region ")};
        QCOMPARE(SDInputBox(app.ui, "Add Column", "Name?"), std::optional<QString>("Region"));
        QCOMPARE(
            app.ui.messageTexts(),
            (QStringList{"Please enter your text or press cancel.",
                         "ID is a system column used by Sendora. Please choose another column name.",
                         "ERROR is a system column used by Sendora. Please choose another column name."}));
        QCOMPARE(SDInputBox(app.ui, "Add Column", "Name?"), std::nullopt);
    }
};

QTEST_GUILESS_MAIN(TestCatalogue)
#include "tst_catalogue.moc"
