// The database import wizard's window driven headless over an in-memory source: the captions,
// the page flow with its checks, the build with its counter, Finish and the close box.

#include "core/Settings.h"
#include "import/ui/frmImportWizard.h"
#include "import/ui/frmTableView.h"
#include "support/TestApp.h"

#include <QCloseEvent>
#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>

using namespace sendora;
using sendora::test::msg;
using sendora::test::TestApp;
namespace sr = sendora::sourcereaders;

namespace {

class MemoryCursor final : public sr::RowCursor {
public:
    MemoryCursor(QList<sr::SourceField> fields, QList<sr::SourceRow> rows)
        : m_fields(std::move(fields)), m_rows(std::move(rows)) {}
    bool next(sr::SourceRow& row) override {
        if (m_at >= m_rows.size()) return false;
        row = m_rows[m_at++];
        return true;
    }
    QList<sr::SourceField> fields() const override { return m_fields; }
    QString errorText() const override { return {}; }
    qint64 position() const override { return m_at; }

private:
    QList<sr::SourceField> m_fields;
    QList<sr::SourceRow> m_rows;
    qsizetype m_at = 0;
};

// One table "People" (Mail, Name, ID) and an empty table "Empty".
class MemoryReader final : public sr::SourceReader {
public:
    bool open(const QString&, const sr::SourceOptions&) override { return true; }
    void close() override {}
    bool isOpen() const override { return true; }
    QStringList tables() override { return {"Empty", "People"}; }
    QString chosenTable() const override { return "People"; }
    QList<sr::SourceField> fields(const QString&) override {
        return {{"Mail", sr::FieldType::Text, 50},
                {"Name", sr::FieldType::Text, 20},
                {"ID", sr::FieldType::Integer, 0}};
    }
    std::unique_ptr<sr::RowCursor> rows(const QString& table) override {
        QList<sr::SourceRow> rows;
        if (table == "People")
            rows = {
                {"a@x.test", "Ann", 1}, {"b@x.test", "Bo", 2}, {"nothing", "Cy", 3}, {"a@x.test", "Di", 4}};
        return std::make_unique<MemoryCursor>(fields(table), rows);
    }
    QString errorText() const override { return {}; }
    sr::SourceKind kind() const override { return sr::SourceKind::DBase5; }
};

template <class W> W* child(QWidget& w, const char* name) {
    W* c = w.findChild<W*>(QLatin1String(name));
    if (!c) qFatal("no %s", name);
    return c;
}

} // namespace

class TestFrmImportWizard : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void pagesBuildAndFinish();
    void closeBoxAndTableView();
};

void TestFrmImportWizard::pagesBuildAndFinish() {
    TestApp t;
    t.layOut();
    QDir(t.dir.path()).mkpath("src");
    QFile(t.path("src/people.dbf")).open(QIODevice::WriteOnly);
    QFile(t.path("src/notes.txt")).open(QIODevice::WriteOnly);
    SaveSetting(*t.ctx, "DefaultDirectories", "DBDBASE5", t.path("src"));
    frmImportWizard w(*t.ctx);
    w.model().readerFactory = [](sr::SourceKind) { return std::make_unique<MemoryReader>(); };
    QString shown;
    w.showList = [&shown](const QString& file) { shown = file; };
    QCOMPARE(w.windowTitle(), QString("Database Import Wizard - Step 1 of 6"));
    QCOMPARE(child<QListWidget>(w, "lstKinds")->count(), 16);
    child<QListWidget>(w, "lstKinds")->setCurrentRow(5); // dBASE 5
    w.next();
    QCOMPARE(w.page(), 2);
    // The folder remembered for the kind, its .dbf files only.
    auto* files = child<QListWidget>(w, "lstFiles");
    QCOMPARE(files->count(), 1);
    w.next();
    QCOMPARE(t.ui.transcript(), QStringList({msg("You must select a source file before you can continue.")}));
    files->setCurrentRow(0);
    w.next();
    QCOMPARE(w.page(), 3);
    QCOMPARE(w.windowTitle(), QString("Database Import Wizard - Step 3 of 6"));
    QCOMPARE(child<QListWidget>(w, "lstTables")->currentItem()->text(), QString("People"));
    w.next();
    QCOMPARE(w.page(), 4);
    t.ui.clear();
    w.assignTray(TrayEmail, "Mail");
    w.next();
    QCOMPARE(
        t.ui.transcript(),
        QStringList({msg("You must drag the ID field on the left to the tray on the right to continue.")}));
    w.assignTray(TrayID, "ID");
    w.assignTray(TrayFirstName, "Name");
    w.next();
    w.next();
    QCOMPARE(w.page(), 6);
    QVERIFY(!child<QPushButton>(w, "cmdFinish")->isEnabled());
    QSignalSpy done(&w.build(), &DatabaseImport::finished);
    child<QPushButton>(w, "cmdBuild")->click();
    QVERIFY(done.wait(5000) || done.count() == 1);
    QCOMPARE(child<QLabel>(w, "lblCount")->text(), QString("4"));
    QVERIFY(child<QLabel>(w, "lblFinish")->isVisibleTo(&w));
    QVERIFY(child<QPushButton>(w, "cmdFinish")->isEnabled());
    QCOMPARE(w.build().result().imported, 2);
    child<QPushButton>(w, "cmdFinish")->click();
    QCOMPARE(shown, t.ctx->paths.temp + "NewMailingList0.mdb");
    QCOMPARE(GetSetting(*t.ctx, "DefaultDirectories", "DBDBASE5", ""), t.path("src"));
}

void TestFrmImportWizard::closeBoxAndTableView() {
    TestApp t;
    t.layOut();
    frmImportWizard w(*t.ctx);
    t.ui.answers = {Answer::No, Answer::Yes};
    QCloseEvent first, second;
    QApplication::sendEvent(&w, &first);
    QVERIFY(!first.isAccepted());
    QApplication::sendEvent(&w, &second);
    QVERIFY(second.isAccepted());
    QCOMPARE(t.ui.transcript().size(), 2);
    QCOMPARE(t.ui.shown.first().text,
             QString("Are you sure you wish to exit?  Any changes you made in the wizard will "
                     "be lost\r\nUse the finish button to save modifications."));

    MemoryReader reader;
    t.ui.clear();
    QVERIFY(!frmTableView::open(*t.ctx, reader, "Empty", nullptr));
    QCOMPARE(t.ui.transcript(), QStringList({msg("There are no records to display")}));
    std::unique_ptr<frmTableView> view(frmTableView::open(*t.ctx, reader, "People", nullptr));
    QVERIFY(view);
    QCOMPARE(view->windowTitle(), QString("People (Read Only)"));
    auto* model = view->grid()->model();
    while (model->canFetchMore({}))
        model->fetchMore({});
    QCOMPARE(model->rowCount(), 4);
    QCOMPARE(model->headerData(1, Qt::Horizontal).toString(), QString("Name"));
    QCOMPARE(model->index(3, 1).data().toString(), QString("Di"));
}

QTEST_MAIN(TestFrmImportWizard)
#include "tst_frmimportwizard.moc"
