// frmOpenDelete, frmSDInputBox and the chooser windows on their own: what they show for
// each kind and operation, and what their buttons and double-clicks do.

#include "components/jet/Jet.h"
#include "core/SystemDatabase.h"
#include "core/ui/ChooserWindow.h"
#include "core/ui/OpenDeleteDialog.h"
#include "core/ui/SDInputBox.h"
#include "support/RecordingHost.h"
#include "support/TestApp.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

using namespace sendora;
using sendora::test::RecordingHost;
using sendora::test::TestApp;

namespace {

struct Started {
    RecordingHost host;
    TestApp app{&host};
    AppContext& ctx = *app.ctx;
    Started() {
        app.start(true);
        host.calls.clear();
    }
};

QString buttonTexts(QDialog& d) {
    QStringList texts;
    for (const char* name : {"cmdOK", "cmdDontSave", "cmdCancel"})
        if (auto* b = d.findChild<QPushButton*>(name)) texts << b->text();
    return texts.join('|');
}

QListWidgetItem* item(QDialog& d, const QString& text) {
    return d.findChild<QListWidget*>("lstNames")->findItems(text, Qt::MatchExactly).value(0);
}

} // namespace

class TestCatalogueDialogs : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void whatTheDialogShows_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("op");
        QTest::addColumn<QString>("buttons");
        QTest::addColumn<bool>("nameBox");
        QTest::addColumn<bool>("descriptionEditable");
        QTest::addColumn<bool>("multi");
        QTest::addColumn<QStringList>("names");
        const QStringList groups{"Sample"}, lists{"Global Remove List", kSampleListName};
        QTest::newRow("group save") << 3 << 0 << "&Save|&Cancel" << true << true << false << groups;
        QTest::newRow("group edit") << 3 << 1 << "Edit|&Cancel" << false << true << false << groups;
        QTest::newRow("group delete") << 3 << 2 << "O&k|&Cancel" << false << false << true << groups;
        QTest::newRow("list save") << 1 << 0 << "&Save|&Don't Save|&Cancel" << true << true << false << lists;
        QTest::newRow("list open") << 1 << 1 << "O&k|&Cancel" << false << false << true << lists;
        QTest::newRow("options open")
            << 2 << 1 << "O&k|&Cancel" << false << false << false << QStringList{kDefaultProfileName};
        QTest::newRow("message delete")
            << 0 << 2 << "O&k|&Cancel" << false << false << true << QStringList{kSampleMessageName};
    }
    void whatTheDialogShows() {
        QFETCH(int, kind);
        QFETCH(int, op);
        QFETCH(QString, buttons);
        QFETCH(bool, nameBox);
        QFETCH(bool, descriptionEditable);
        QFETCH(bool, multi);
        QFETCH(QStringList, names);
        Started s;
        OpenDeleteModel model(s.ctx, CatalogueKind(kind), CatalogueOperation(op));
        OpenDeleteDialog d(model);
        QCOMPARE(d.objectName(), QStringLiteral("frmOpenDelete"));
        QCOMPARE(d.findChild<QLabel*>("lblPrompt")->text(), model.prompt());
        QCOMPARE(buttonTexts(d), buttons);
        QCOMPARE(d.findChild<QLineEdit*>("txtName") != nullptr, nameBox);
        QCOMPARE(!d.findChild<QPlainTextEdit*>("txtDescription")->isReadOnly(), descriptionEditable);
        auto* list = d.findChild<QListWidget*>("lstNames");
        QCOMPARE(list->selectionMode() == QAbstractItemView::ExtendedSelection, multi);
        QStringList shown;
        for (int i = 0; i < list->count(); ++i)
            shown << list->item(i)->text();
        QCOMPARE(shown, names);
    }

    void selectingShowsTheDescriptionAndFillsTheName() {
        Started s;
        OpenDeleteModel model(s.ctx, CatalogueKind::List, CatalogueOperation::Save);
        OpenDeleteDialog d(model);
        item(d, kSampleListName)->setSelected(true);
        QCOMPARE(d.findChild<QLineEdit*>("txtName")->text(), kSampleListName);
        QCOMPARE(d.findChild<QPlainTextEdit*>("txtDescription")->toPlainText(), QStringLiteral("SAMPLE"));
    }

    void doubleClickActsAsTheButton() {
        Started s;
        OpenDeleteModel model(s.ctx, CatalogueKind::List, CatalogueOperation::Open);
        OpenDeleteDialog d(model);
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        QListWidget* list = d.findChild<QListWidget*>("lstNames");
        QListWidgetItem* sample = item(d, kSampleListName);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(sample).center());
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(sample).center());
        QCOMPARE(d.result(), int(QDialog::Accepted));
        QCOMPARE(s.host.calls.filter("openListWindow:").size(), 1);
        QVERIFY(s.host.calls.filter("openListWindow:")
                    .first()
                    .startsWith("openListWindow:" + kSampleListName + "|"));
    }

    void invalidNameKeepsItOpen() {
        Started s;
        OpenDeleteModel model(s.ctx, CatalogueKind::Group, CatalogueOperation::Save);
        OpenDeleteDialog d(model);
        d.show();
        QTest::keyClicks(d.findChild<QLineEdit*>("txtName"), "News: weekly");
        QTest::mouseClick(d.findChild<QPushButton*>("cmdOK"), Qt::LeftButton);
        QVERIFY(d.isVisible());
        QCOMPARE(s.app.ui.shown.size(), 1);
        QVERIFY(s.app.ui.shown.first().text.startsWith("Please Enter a Valid Filename."));
        d.findChild<QLineEdit*>("txtName")->setText("News weekly");
        QTest::mouseClick(d.findChild<QPushButton*>("cmdOK"), Qt::LeftButton);
        QVERIFY(!d.isVisible());
        QCOMPARE(model.result(), SaveResult::Saved);
    }

    void dontSaveAndCancel() {
        Started s;
        OpenDeleteModel model(s.ctx, CatalogueKind::Message, CatalogueOperation::Save);
        model.currentName = kNewMessagePrefix + "1";
        {
            OpenDeleteDialog d(model);
            QVERIFY(d.findChild<QLineEdit*>("txtName")->text().isEmpty()); // placeholders are not offered
            d.show();
            QTest::mouseClick(d.findChild<QPushButton*>("cmdDontSave"), Qt::LeftButton);
            QCOMPARE(model.result(), SaveResult::NotSaved);
        }
        OpenDeleteModel other(s.ctx, CatalogueKind::Message, CatalogueOperation::Save);
        OpenDeleteDialog d(other);
        d.show();
        QTest::mouseClick(d.findChild<QPushButton*>("cmdCancel"), Qt::LeftButton);
        QCOMPARE(other.result(), SaveResult::Cancelled);
    }

    void inputBoxDialog() {
        SDInputBoxDialog d("Add Column", "Please enter the name of the column you wish to add.", "Region");
        QCOMPARE(d.objectName(), QStringLiteral("frmSDInputBox"));
        QCOMPARE(d.windowTitle(), QStringLiteral("Add Column"));
        QCOMPARE(d.findChild<QLabel*>("lblPrompt")->text(),
                 QStringLiteral("Please enter the name of the column you wish to add."));
        QCOMPARE(d.text(), QStringLiteral("Region"));
        d.show();
        QTest::keyClicks(d.findChild<QLineEdit*>("txtInput"),
                         "City"); // the default is selected, typing replaces it
        QTest::mouseClick(d.findChild<QPushButton*>("cmdOK"), Qt::LeftButton);
        QCOMPARE(d.result(), int(QDialog::Accepted));
        QCOMPARE(d.text(), QStringLiteral("City"));
    }

    void chooserFollowsEntryStates() {
        const ChooserDefinition def = chooserDefinition(ChooserKind::NewList);
        ChooserWindow w(def, [](const QString& command) {
            return ChooserWindow::EntryState{command == "id_CreateBlankList", "tip " + command, {}};
        });
        QCOMPARE(w.objectName(), QStringLiteral("frmNewSelect"));
        auto* blank = w.findChild<QPushButton*>("cmd_id_CreateBlankList");
        auto* pop = w.findChild<QPushButton*>("cmd_id_ImportPOPAccount");
        QVERIFY(blank->isEnabled());
        QVERIFY(!pop->isEnabled());
        QCOMPARE(pop->toolTip(), QStringLiteral("tip id_ImportPOPAccount"));
        QCOMPARE(pop->text(), QStringLiteral("Import from a POP account"));
        auto* close = w.findChild<QPushButton*>("cmdClose");
        QCOMPARE(close->text(), QStringLiteral("&Close"));
        QCOMPARE(close->toolTip(), QStringLiteral("Close this screen"));
        w.show();
        QTest::mouseClick(blank, Qt::LeftButton);
        QCOMPARE(w.chosenCommand(), QStringLiteral("id_CreateBlankList"));
    }
};

QTEST_MAIN(TestCatalogueDialogs)
#include "tst_catalogue_dialogs.moc"
