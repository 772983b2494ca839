// The message editor on the WebEngine composer (Xvfb): closing is refused while the body
// loads, a message saved without a design edit keeps its HTML byte for byte, and a word
// typed plus a merge field inserted in the design view are saved with the layout kept.

#include "authoring/MessageStore.h"
#include "authoring/ui/frmMessageEdit.h"
#include "components/htmlcomposer/WebHtmlComposer.h"
#include "components/htmlcomposer/WebHtmlView.h"
#include "support/MailingFixture.h"
#include "support/WebPageScript.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QTest>
#include <QWebEngineScript>
#include <QWebEngineView>

using namespace sendora;
using sendora::test::evaluate;
using sendora::test::MailingFixture;
using sendora::test::msg;

namespace {

QString newsletter() {
    QFile f(QFINDTESTDATA("components/htmlcomposer/newsletter.html"));
    if (!f.open(QIODevice::ReadOnly)) qFatal("newsletter.html missing");
    return QString::fromUtf8(f.readAll());
}

} // namespace

class TestMessageEditorWeb : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { installWebHtmlEngine(); }

    void savedAsLoadedOrAsEdited() {
        MailingFixture f;
        f.makeList(QStringLiteral("Customers"), {"a@example.com"});
        MessageStore store(*f.app.ctx);
        f.execute("INSERT INTO Message (MessageName) VALUES(\"News\")");
        MessageRecord r;
        r.messageName = QStringLiteral("News");
        r.subject = QStringLiteral("Weekly");
        r.htmlText = newsletter();
        r.sendType = 2;
        QVERIFY(store.writeEditorFields(r));

        {
            frmMessageEdit editor(*f.app.ctx);
            editor.resize(900, 700);
            editor.show();
            QVERIFY(editor.OpenMessage(QStringLiteral("News")));
            QVERIFY(editor.composer()->isLoading());
            QVERIFY(!editor.close());
            QCOMPARE(f.app.ui.transcript(),
                     QStringList{msg("The document is still loading. Please wait for it to complete.")});
            QTRY_VERIFY_WITH_TIMEOUT(!editor.composer()->isLoading(), 20000);
            f.app.ui.clear();
            f.app.ui.answers = {Answer::Yes};
            QVERIFY(editor.close());
            QCOMPARE(store.read("News")->htmlText.toUtf8(), newsletter().toUtf8());
        }

        frmMessageEdit editor(*f.app.ctx);
        editor.resize(900, 700);
        editor.show();
        QVERIFY(QTest::qWaitForWindowExposed(&editor));
        QVERIFY(editor.OpenMessage(QStringLiteral("News")));
        QTRY_VERIFY_WITH_TIMEOUT(!editor.composer()->isLoading(), 20000);
        auto* web = qobject_cast<WebHtmlComposer*>(editor.composer());
        QVERIFY(web);
        QTRY_VERIFY_WITH_TIMEOUT(web->designView()->focusProxy() != nullptr, 10000);
        QWidget* surface = web->designView()->focusProxy();
        const QVariantList box =
            evaluate(
                web->designView()->page(),
                QStringLiteral("(function(){var r=document.getElementById('lead').getBoundingClientRect();"
                               "return [r.right, r.top + r.height/2];})()"))
                .toList();
        QCOMPARE(box.size(), 2);
        QTest::mouseClick(surface, Qt::LeftButton, {},
                          QPoint(int(box[0].toDouble()) - 2, int(box[1].toDouble())));
        QTest::keyClicks(surface, QStringLiteral("Zebra"));
        QTRY_VERIFY_WITH_TIMEOUT(web->sourceIsCurrent() == 0, 10000);
        QTRY_COMPARE(editor.findChild<QComboBox*>("cboInsertInto")->currentText(),
                     QStringLiteral("Message Body"));
        editor.chooseMergeList(QStringLiteral("Customers"));
        editor.findChild<QComboBox*>("cboFields")->setCurrentText(QStringLiteral("FirstName"));
        editor.InsertMergeFieldIntoMessage();
        f.app.ui.answers = {Answer::Yes};
        QVERIFY(editor.close());
        const QString saved = store.read("News")->htmlText;
        QVERIFY2(saved.contains(QLatin1String("Zebra[[FirstName]]")), qPrintable(saved));
        QVERIFY(saved.contains(QLatin1String("<!--[if mso]>")));
        QVERIFY(saved.contains(QLatin1String("style=\"border-collapse:collapse;background:#ffffff\"")));
        QCOMPARE(store.read("News")->sendType, 2);
    }
};

int main(int argc, char** argv) {
    registerHtmlEngineSchemes();
    QApplication app(argc, argv);
    TestMessageEditorWeb test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_messageeditor_web.moc"
