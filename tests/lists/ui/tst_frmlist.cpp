// frmList headless: opening, editing in the grid, the duplicate refusal, deleting with the
// question and the progress steps, the duplicate check on closing, the column menu sort,
// the domain display, closing a temporary list, and a list being sent.

#include "core/SystemDatabase.h"
#include "lists/ListFixture.h"
#include "lists/ui/ListTools.h"
#include "lists/ui/frmList.h"
#include "screens/ui/MdiMain.h"

#include <QLabel>
#include <QLockFile>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>

using namespace sendora;
using sendora::test::ListFixture;
using sendora::test::msg;

namespace {

QString cell(frmList& w, int row, const QString& column) {
    ListModel* m = w.model();
    return m->data(m->index(row, m->column(column))).toString();
}

// Types into the current cell's editor and presses Enter.
void type(QTableView* grid, const QString& text) {
    grid->edit(grid->currentIndex());
    QWidget* editor = grid->indexWidget(grid->currentIndex());
    QVERIFY(editor);
    QTest::keyClicks(editor, text);
    QTest::keyClick(editor, Qt::Key_Return);
}

// 0: the record count, 1: the current record
QString label(frmList& w, int index) {
    return w.findChild<QLabel*>(index == 0 ? "lblRecords" : "lblCurrent")->text();
}

} // namespace

class TestFrmList : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void openEditAndRefuseDuplicates() {
        ListFixture f;
        f.fill(300);
        frmList w(*f.app.ctx, "Customers", f.file);
        QVERIFY(w.isOpen());
        w.show();
        QCOMPARE(label(w, 0), QStringLiteral("300"));
        QCOMPARE(label(w, 1), QStringLiteral("1"));
        QTableView* grid = w.grid();

        // Ctrl+End, Ctrl+Home move between the first and last record
        QTest::keyClick(grid, Qt::Key_End, Qt::ControlModifier);
        QCOMPARE(w.currentRow(), 299);
        QCOMPARE(label(w, 1), QStringLiteral("300"));
        QTest::keyClick(grid, Qt::Key_Home, Qt::ControlModifier);
        QCOMPARE(w.currentRow(), 0);

        // typing into a cell stores it in the file
        const int first = w.model()->column("FirstName");
        grid->setCurrentIndex(w.model()->index(5, first));
        type(grid, "Zoe");
        QCOMPARE(
            f.count(
                QStringLiteral("WHERE EAddress = '%1' AND FirstName = 'Zoe'").arg(cell(w, 5, "EAddress"))),
            1);

        // the new-row line: "New", and a typed duplicate in another case is refused
        grid->setCurrentIndex(w.model()->index(300, 0));
        QCOMPARE(label(w, 1), QStringLiteral("New"));
        type(grid, "USER7@X.Com");
        QCOMPARE(f.app.ui.shown.size(), 1);
        QVERIFY(f.app.ui.messageTexts().first().startsWith(
            "This email address already exists in your address\r\nlist: \"USER7@X.Com\""));
        QCOMPARE(f.count(), 300);
        QVERIFY(w.model()->setData(w.model()->index(300, 0), "new@x.com"));
        QCOMPARE(label(w, 0), QStringLiteral("301"));
        QCOMPARE(f.count(), 301);

        // Find Next and Find Previous repeat the last search in the find column
        w.setFindColumn(first);
        QVERIFY(!w.findString("F00000*"));
        const int hit = w.currentRow();
        w.runCommand(CommandId::EditFindNext);
        QVERIFY(w.currentRow() > hit);
        w.runCommand(CommandId::EditFindPrevious);
        QCOMPARE(w.currentRow(), hit);
        QVERIFY(w.findString("nobody"));
        QCOMPARE(w.currentRow(), hit);
    }

    void deleteWithQuestionAndProgress() {
        ListFixture f;
        f.fill(1200);
        frmList w(*f.app.ctx, "Customers", f.file);
        w.show();
        QTableView* grid = w.grid();
        grid->selectionModel()->select(QItemSelection(w.model()->index(10, 0), w.model()->index(1109, 0)),
                                       QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        QVERIFY(w.hasSelectedRows());
        const QString after = cell(w, 1110, "EAddress");

        f.app.ui.answers = {Answer::No};
        QTest::keyClick(grid, Qt::Key_Delete);
        QCOMPARE(
            f.app.ui.transcript(),
            QStringList({msg("You are about to delete 1100 record(s) from your\r\nlist.\r\n\r\nThis action "
                             "cannot be undone.  Are you sure\r\nyou wish to continue?",
                             "question", "YesNo", "Deletion Confirmation")}));
        QVERIFY(!w.deleting());
        QCOMPARE(f.count(), 1200);

        f.app.ui.answers = {Answer::Yes};
        w.runCommand(CommandId::EditDeleteRecord);
        QVERIFY(w.deleting());
        QVERIFY(w.findChild<QProgressBar*>()->isVisible());
        QTRY_VERIFY(!w.deleting());
        QCOMPARE(f.count(), 100);
        QCOMPARE(label(w, 0), QStringLiteral("100"));
        QCOMPARE(cell(w, 10, "EAddress"), after);
        QCOMPARE(w.currentRow(), 10);

        // Cancel stops between steps: what went is gone, the rest stays
        grid->selectAll();
        f.app.ui.answers = {Answer::Yes};
        w.deleteSelectedRows();
        w.cancelDelete();
        QVERIFY(!w.deleting());
        QCOMPARE(f.count(), 100);
        QCOMPARE(w.model()->dataRows(), 100);
    }

    void duplicatePromptOnClose() {
        ListFixture f(false, false);
        f.fill(4);
        f.add([](int) { return QStringLiteral("USER2@x.com"); }, 1);
        frmList w(*f.app.ctx, "Customers", f.file);
        w.show();
        const QString question = QStringLiteral("These fields are duplicates, To delete them and close your "
                                                "database click Yes. To manually delete "
                                                "them, click No:\r\n     %1,      %2, ");
        f.app.ui.answers = {Answer::No};
        QVERIFY(!w.close());
        QCOMPARE(f.app.ui.shown.size(), 1);
        const QString shown = f.app.ui.transcript().first();
        QVERIFY2(shown == msg(question.arg("user2@x.com", "USER2@x.com"), "exclamation", "YesNo",
                              "Duplicate entries found.") ||
                     shown == msg(question.arg("USER2@x.com", "user2@x.com"), "exclamation", "YesNo",
                                  "Duplicate entries found."),
                 qPrintable(shown));
        QCOMPARE(f.count(), 5);
        f.app.ui.answers = {Answer::Yes};
        QVERIFY(w.close());
        QCOMPARE(f.count(), 3);
        QCOMPARE(f.count("WHERE EAddress = 'user2@x.com'"), 0);
    }

    void sortFromColumnMenuAndDomainDisplay() {
        ListFixture f;
        f.fill(20, "x.com");
        f.fill(5, "mail.x.com");
        frmList w(*f.app.ctx, "Customers", f.file);
        w.show();
        w.runColumnMenu(w.model()->column("FirstName"), "Descending");
        QCOMPARE(w.model()->recordSource(),
                 QStringLiteral("Select * from AddressList ORDER BY [FirstName] DESC"));
        QCOMPARE(cell(w, 0, "FirstName"), QStringLiteral("F0000019"));
        w.runColumnMenu(w.model()->column("EAddress"), "Ascending");
        QCOMPARE(cell(w, 0, "EAddress"), QStringLiteral("user0@mail.x.com"));

        w.setDisplayChoice(DisplayChoice::Domain, "x.com");
        QVERIFY(w.refresh());
        QCOMPARE(label(w, 0), QStringLiteral("20"));
        for (int r = 0; r < w.model()->dataRows(); ++r)
            QVERIFY(!cell(w, r, "EAddress").contains("mail.x.com"));

        // the builder's clause fills the filter and Refresh applies it
        QStringList offered;
        w.filterBuilder = [&offered](const QStringList& names, const QStringList& types) {
            offered = names + types;
            return std::optional<QString>("WHERE [FirstName] = \"F0000003\"");
        };
        w.findChild<QPushButton*>("cmdFilter")->click();
        QCOMPARE(offered, QStringList({"EAddress", "FirstName", "LastName", "Company", "TEXT", "TEXT", "TEXT",
                                       "TEXT"}));
        QVERIFY(w.refresh());
        QCOMPARE(label(w, 0), QStringLiteral("2"));
    }

    void temporaryListAsksOnClose() {
        ListFixture f(true);
        f.fill(3);
        frmList w(*f.app.ctx, "Untitled Mailing List 1", f.file);
        w.show();
        QList<bool> dialogs;
        SaveResult answer = SaveResult::Cancelled;
        int cancelled = 0;
        w.saveDialog = [&](frmList&, bool saveAs) {
            dialogs << saveAs;
            return answer;
        };
        w.closeCancelled = [&cancelled] { ++cancelled; };
        QVERIFY(!w.close());
        QCOMPARE(w.saveResult(), 2);
        QCOMPARE(cancelled, 1);
        QVERIFY(w.isVisible());
        // columns wait for a name
        f.app.ui.clear();
        w.runColumnMenu(1, "Add a Column");
        QCOMPARE(f.app.ui.messageTexts(),
                 QStringList({"You must save your list before you can add a column."}));

        answer = SaveResult::NotSaved;
        QVERIFY(w.close());
        QCOMPARE(w.saveResult(), 3);
        QCOMPARE(dialogs, QList<bool>({false, false}));
        QCOMPARE(cancelled, 1);
    }

    void listBeingSentOpensReadOnly() {
        ListFixture f;
        f.fill(3);
        QLockFile sending(f.file + ".sending");
        QVERIFY(sending.tryLock(0));
        frmList w(*f.app.ctx, "Customers", f.file);
        w.show();
        QVERIFY(w.findChild<QLabel*>("lblReadOnly")->isVisible());
        QCOMPARE(w.model()->rowCount(), 3);
        w.grid()->selectAll();
        w.deleteSelectedRows();
        w.runColumnMenu(1, "Remove a Column");
        QVERIFY(f.app.ui.shown.isEmpty());
        QCOMPARE(f.count(), 3);
        QVERIFY(w.close()); // no check writes to a list being sent
    }

    // The main window shows operation results in list windows, and a temporary list whose save
    // is cancelled stops the application's exit.
    void mainWindowShowsResultsAndStopsExit() {
        ListFixture f(true);
        MdiMain main(*f.app.ctx);
        f.app.ctx->host = &main;
        int dialogs = 0;
        ChildWindowMakers makers;
        makers.listWindow = listWindowMaker(*f.app.ctx, [&dialogs, &main](frmList& list) {
            list.closeCancelled = [&main, &dialogs] {
                dialogs += 100;
                main.setCloseCancelled();
            };
            list.saveDialog = [&dialogs](frmList&, bool) {
                ++dialogs;
                return SaveResult::Cancelled;
            };
        });
        main.setChildWindowMakers(makers);
        auto* area = main.findChild<QMdiArea*>();
        main.showList("<Cancel");
        main.showList("<Error: disk full");
        QCOMPARE(f.app.ui.transcript(), QStringList({msg("Problem displaying mail list", "exclamation")}));
        QCOMPARE(area->subWindowList().size(), 0);

        f.app.ui.clear();
        main.showList(f.file); // an empty result
        QCOMPARE(area->subWindowList().size(), 1);
        QCOMPARE(area->subWindowList().first()->windowTitle(), QStringLiteral("Untitled Mailing List 1"));
        QCOMPARE(f.app.ui.transcript(), QStringList({msg("The resulting list is empty", "exclamation")}));
        f.fill(2);
        main.showList(f.file); // the empty window on that file shows it again
        QCOMPARE(area->subWindowList().size(), 1);
        QCOMPARE(qobject_cast<frmList*>(area->subWindowList().first()->widget())->model()->dataRows(), 2);

        const QString companion = f.app.ctx->paths.temp + "NewMailingList0(No Addresses).mdb";
        QVERIFY(QFile::copy(f.file, companion));
        main.showList(companion);
        QCOMPARE(area->subWindowList().size(), 2);
        QCOMPARE(area->subWindowList().last()->windowTitle(),
                 QStringLiteral("Untitled Mailing List 2 (No Addresses)"));

        QVERIFY(!main.close());
        QCOMPARE(dialogs, 101); // one save dialog, cancelled: the exit stops at the first window
        QCOMPARE(area->subWindowList().size(), 2);
    }

    // The List Tools run on the open list windows: merge opens the union in a new window, export
    // writes the file the save dialog chose (with the default extension).
    void listToolsMergeAndExport() {
        ListFixture f;
        const QString first = f.file;
        f.fill(3);
        f.file = f.app.ctx->paths.listFile(QStringLiteral("Prospects.mdb"));
        QVERIFY(QFile::copy(first, f.file));
        f.add([](int i) { return QStringLiteral("other%1@z.com").arg(i); }, 3);
        f.file = first;
        f.add([](int i) { return QStringLiteral("new%1@y.com").arg(i); }, 2);

        MdiMain main(*f.app.ctx);
        f.app.ctx->host = &main;
        ChildWindowMakers makers;
        makers.listWindow = listWindowMaker(*f.app.ctx);
        main.setChildWindowMakers(makers);
        main.openListWindow("Customers", first);
        main.openListWindow("Prospects", f.app.ctx->paths.listFile("Prospects.mdb"));
        QCOMPARE(main.runCommand(CommandId::ToolsMergeLists), CommandResult::Unavailable);
        makers.listTool = listToolRunner(*f.app.ctx, main);
        main.setChildWindowMakers(makers);

        QCOMPARE(main.runCommand(CommandId::ToolsMergeLists), CommandResult::Ran);
        auto* area = main.findChild<QMdiArea*>();
        QCOMPARE(area->subWindowList().size(), 3);
        QMdiSubWindow* result = area->subWindowList().last();
        QCOMPARE(result->windowTitle(), QStringLiteral("Untitled Mailing List 1"));
        QCOMPARE(qobject_cast<frmList*>(result->widget())->model()->dataRows(), 8); // 5 + 6, 3 shared
        QVERIFY(main.findChild<QLabel*>("sbText")->text().isEmpty());

        area->setActiveSubWindow(area->subWindowList().first());
        const QString target = f.app.ctx->paths.temp + "export";
        f.app.ui.files << target;
        QCOMPARE(main.runCommand(CommandId::ToolsExportList), CommandResult::Ran);
        QFile csv(target + ".csv");
        QVERIFY(csv.open(QIODevice::ReadOnly));
        QCOMPARE(csv.readAll().count("\r\n"), 6);  // header and the active list's five rows
        QCOMPARE(f.app.ui.transcript().size(), 1); // the save dialog only
    }

    void globalRemoveScrubsTheActiveList() {
        ListFixture f;
        f.fill(4);
        QVERIFY(CreateSystemDatabase(*f.app.ctx, f.app.ctx->paths.systemDatabase(), false, false));
        QVERIFY(CreateGlobalRemoveList(*f.app.ctx));
        MdiMain main(*f.app.ctx);
        f.app.ctx->host = &main;
        ChildWindowMakers makers;
        makers.listWindow = listWindowMaker(*f.app.ctx);
        makers.listTool = listToolRunner(*f.app.ctx, main);
        main.setChildWindowMakers(makers);
        main.openListWindow("Customers", f.file);
        auto* area = main.findChild<QMdiArea*>();

        // An empty Global Remove List has nothing to remove: said, and no new list.
        auto remove = jet::Database::open(f.app.ctx->paths.listFile("Global Remove List.mdb"));
        remove->execute(QStringLiteral("DELETE * FROM AddressList"));
        QCOMPARE(main.runCommand(CommandId::ToolsGlobalRemove), CommandResult::Ran);
        QCOMPARE(area->subWindowList().size(), 1);
        QCOMPARE(f.app.ui.transcript().size(), 1);
        QCOMPARE(f.app.ui.shown.first().title, QStringLiteral("Global Remove"));

        // The address in it, in another letter case, leaves the result; the list stays whole.
        remove->execute(QStringLiteral("INSERT INTO AddressList (EAddress) VALUES (\"USER1@X.COM\")"));
        remove.reset();
        QCOMPARE(main.runCommand(CommandId::ToolsGlobalRemove), CommandResult::Ran);
        QCOMPARE(area->subWindowList().size(), 2);
        QCOMPARE(qobject_cast<frmList*>(area->subWindowList().last()->widget())->model()->dataRows(), 3);
        QCOMPARE(f.count(), 4);
    }
};

QTEST_MAIN(TestFrmList)
#include "tst_frmlist.moc"
