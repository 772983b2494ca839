// The server import window over a scripted server: titles per page, the lists each page
// fills from the server, parameter values typed into the grid reaching the call, trays and
// checked fields reaching the build, and Finish handing the built list over.

#include "import/ui/frmDBServerImport.h"
#include "support/ScriptedDbLink.h"
#include "support/TestApp.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QTableWidget>
#include <QTest>

using namespace sendora;
using sendora::test::ScriptedDbLink;
using sendora::test::TestApp;

class TestFrmDBServerImport : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void pagesToFinish() {
        TestApp app;
        app.layOut();
        auto owned = std::make_unique<ScriptedDbLink>();
        ScriptedDbLink* link = sendora::test::withContacts(owned.get());
        frmDBServerImport w(*app.ctx, std::move(owned));
        QCOMPARE(w.windowTitle(), QStringLiteral("Import Data from a Database Server - Step 1 of 8"));

        w.kindList()->setCurrentRow(0); // SQL Server: with the catalog page
        w.next();
        w.serverEdit()->setText("dbhost");
        w.next();
        QCOMPARE(w.model().page(), ServerImport::CatalogPage);
        QCOMPARE(w.catalogList()->count(), 2);
        w.catalogList()->setCurrentRow(1);
        w.next();
        QCOMPARE(link->catalog, QStringLiteral("hr"));
        QCOMPARE(w.windowTitle(), QStringLiteral("Import Data from a Database Server - Step 4 of 8"));
        QCOMPARE(w.sourceList(0)->count(), 2);
        QCOMPARE(w.sourceList(2)->count(), 2);

        w.sourceOption(2)->setChecked(true);
        w.sourceList(2)->setCurrentRow(1); // p_city
        w.next();
        QCOMPARE(w.model().page(), ServerImport::ParametersPage);
        QCOMPARE(w.parameterGrid()->rowCount(), 1);
        QCOMPARE(w.parameterGrid()->item(0, 0)->text(), QStringLiteral("@city"));
        w.parameterGrid()->item(0, 4)->setText("Lyon");
        w.next();
        QCOMPARE(w.model().page(), ServerImport::FieldsPage);
        QCOMPARE(link->called[0].value, QStringLiteral("Lyon"));

        w.tray(TrayEmail)->setText("Email");
        w.tray(TrayID)->setText("ID");
        w.next();
        w.next();
        QCOMPARE(w.model().page(), ServerImport::BuildPage);
        QString shown;
        w.showList = [&](const QString& file) { shown = file; };
        w.buildList();
        QVERIFY(QTest::qWaitFor([&] { return !w.build().building(); }, 10000));
        QVERIFY(w.counter()->text().endsWith("Press the FINISH button to view your list"));
        w.finish();
        QCOMPARE(shown, w.build().result().path);
        QVERIFY(!shown.isEmpty());
    }
};

QTEST_MAIN(TestFrmDBServerImport)
#include "tst_frmdbserverimport.moc"
