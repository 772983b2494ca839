// The engine-free composer keeps loaded HTML byte for byte until a design edit; the
// engine-free view never reaches the network and shows cid: images from its map.

#include "components/htmlcomposer/ComposerToolBar.h"
#include "components/htmlcomposer/PlainHtmlComposer.h"
#include "components/htmlcomposer/PlainHtmlView.h"

#include <QApplication>
#include <QBuffer>
#include <QComboBox>
#include <QImage>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTest>
#include <QTextEdit>

using namespace sendora;

namespace {
// Things Qt's rich text would rewrite: CRLF, entities, a conditional comment, attribute quoting.
const QString kNewsletter = QStringLiteral(
    "<!DOCTYPE html>\r\n<html><head><style>td{color:#333}</style></head>\r\n"
    "<body><!--[if mso]><table><tr><td><![endif]-->\r\n"
    "<table width='600' style=\"border:1px solid #ccc\"><tr><td>Hello&nbsp;[[FirstName]] &amp; co</td></tr>"
    "</table>\r\n<!--[if mso]></td></tr></table><![endif]--></body></html>\r\n");
} // namespace

class TestPlainHtmlComposer : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void loadedSourceSurvivesUntilADesignEdit();
    void designEditHandsOverToTheSerialisation();
    void typedSourceIsTheTruthAndReachesTheDesign();
    void insertsGoToTheViewThatShows();
    void toolbarAsksTheWindow();
    void viewRefusesTheNetworkAndShowsCidImages();
};

void TestPlainHtmlComposer::loadedSourceSurvivesUntilADesignEdit() {
    PlainHtmlComposer c;
    QSignalSpy loaded(&c, &HtmlComposer::loadFinished);
    QSignalSpy changed(&c, &HtmlComposer::contentChanged);
    c.setDocumentHtml(kNewsletter);
    c.setPlainText(QStringLiteral("line one\r\nline two\r\n"));
    QCOMPARE(loaded.count(), 1);
    QVERIFY(!c.isLoading());
    // Walking through every view is not an edit.
    for (int mode : {HtmlComposer::SourceView, HtmlComposer::TextView, HtmlComposer::DesignView})
        c.setViewMode(mode);
    QCOMPARE(c.sourceIsCurrent(), 1);
    QCOMPARE(c.sourceHtml(), kNewsletter);
    QCOMPARE(c.documentHtml(), kNewsletter);
    QCOMPARE(c.plainText(), QStringLiteral("line one\r\nline two\r\n"));
    QCOMPARE(changed.count(), 0);
    c.setSendType(HtmlComposer::HtmlAndText);
    QCOMPARE(c.sendType(), int(HtmlComposer::HtmlAndText));
    QCOMPARE(c.toolBar()->chosenSendType(), int(HtmlComposer::HtmlAndText));
}

void TestPlainHtmlComposer::designEditHandsOverToTheSerialisation() {
    PlainHtmlComposer c;
    c.show();
    c.setDocumentHtml(kNewsletter);
    c.designEditor()->moveCursor(QTextCursor::End);
    QTest::keyClicks(c.designEditor(), QStringLiteral("Zebra"));
    QCOMPARE(c.sourceIsCurrent(), 0);
    QVERIFY(c.documentHtml().contains(QLatin1String("Zebra")));
    QCOMPARE(c.sourceHtml(), kNewsletter); // the old source stays until the source view shows
    c.setViewMode(HtmlComposer::SourceView);
    QVERIFY(c.sourceEditor()->toPlainText().contains(QLatin1String("Zebra")));
    QCOMPARE(c.sourceHtml(), c.documentHtml());
    QCOMPARE(c.sourceIsCurrent(), 1);
}

void TestPlainHtmlComposer::typedSourceIsTheTruthAndReachesTheDesign() {
    PlainHtmlComposer c;
    c.show();
    c.setDocumentHtml(QStringLiteral("<p>one</p>"));
    c.setViewMode(HtmlComposer::SourceView);
    c.sourceEditor()->moveCursor(QTextCursor::End);
    QTest::keyClicks(c.sourceEditor(), QStringLiteral("<p>two</p>"));
    QCOMPARE(c.sourceIsCurrent(), 1);
    QCOMPARE(c.sourceHtml(), QStringLiteral("<p>one</p><p>two</p>"));
    c.setViewMode(HtmlComposer::DesignView);
    QVERIFY(c.designEditor()->toPlainText().contains(QLatin1String("two")));
    QCOMPARE(c.sourceIsCurrent(), 1); // reloading the design view is not a design edit
    QCOMPARE(c.documentHtml(), QStringLiteral("<p>one</p><p>two</p>"));
}

void TestPlainHtmlComposer::insertsGoToTheViewThatShows() {
    PlainHtmlComposer c;
    c.setDocumentHtml(QStringLiteral("<p>x</p>"));
    c.setViewMode(HtmlComposer::SourceView);
    c.sourceEditor()->moveCursor(QTextCursor::End);
    c.insertHtml(QStringLiteral("[[EAddress]]"));
    QCOMPARE(c.sourceHtml(), QStringLiteral("<p>x</p>[[EAddress]]"));
    QCOMPARE(c.sourceIsCurrent(), 1);
    c.setViewMode(HtmlComposer::DesignView);
    c.insertHtml(QStringLiteral("<b>[[FirstName]]</b>"));
    QCOMPARE(c.sourceIsCurrent(), 0);
    QVERIFY(c.documentHtml().contains(QLatin1String("[[FirstName]]")));
    c.setPlainText(QStringLiteral("Hi "));
    c.textEditor()->moveCursor(QTextCursor::End);
    c.insertText(QStringLiteral("[[LastName]]"));
    QCOMPARE(c.plainText(), QStringLiteral("Hi [[LastName]]"));
}

void TestPlainHtmlComposer::toolbarAsksTheWindow() {
    PlainHtmlComposer c;
    QSignalSpy sig(&c, &HtmlComposer::addSig), hc(&c, &HtmlComposer::addHC),
        image(&c, &HtmlComposer::insertImageRequested);
    const auto trigger = [&](const QString& text) {
        for (QAction* a : c.toolBar()->actions())
            if (a->text() == text) a->trigger();
    };
    trigger(QStringLiteral("Signature"));
    trigger(QStringLiteral("Click Code"));
    trigger(QStringLiteral("Image..."));
    QCOMPARE(sig.count() + hc.count() * 10 + image.count() * 100, 111);
    c.toolBar()->sendTypeChoice()->activated(2); // "HTML and Text"
    QCOMPARE(c.sendType(), int(HtmlComposer::HtmlAndText));
    c.toolBar()->viewChoice()->activated(1); // "HTML Source"
    QCOMPARE(c.viewMode(), int(HtmlComposer::SourceView));
}

void TestPlainHtmlComposer::viewRefusesTheNetworkAndShowsCidImages() {
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    int connections = 0;
    connect(&server, &QTcpServer::newConnection, this, [&] { ++connections; });
    const QString remote = QStringLiteral("http://127.0.0.1:%1/x.png").arg(server.serverPort());

    QImage red(4, 4, QImage::Format_RGB32);
    red.fill(Qt::red);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    red.save(&buffer, "PNG");

    PlainHtmlView view;
    view.show();
    const QString html = QStringLiteral("<p>hi</p><img src=\"%1\"><img src=\"//127.0.0.1:%2/y.png\">"
                                        "<img src=\"cid:logo@x\">")
                             .arg(remote)
                             .arg(server.serverPort());
    view.showHtml(html, {{QStringLiteral("logo@x"), png}});
    QCOMPARE(view.shownHtml(), html);
    QTest::qWait(200);
    QCOMPARE(connections, 0);
    QCOMPARE(view.browser()->refused().size(), 2);
    QVERIFY(view.browser()->loadResource(QTextDocument::ImageResource, QUrl(remote)).isNull());
    const QVariant logo = view.browser()->loadResource(QTextDocument::ImageResource, QUrl("cid:logo@x"));
    QCOMPARE(logo.toByteArray(), png);
}

QTEST_MAIN(TestPlainHtmlComposer)
#include "tst_plainhtmlcomposer.moc"
