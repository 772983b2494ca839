// The WebEngine composer and view on a real X display (Xvfb): loaded HTML is saved byte for
// byte, a word typed into the design view lands in the saved document with the layout kept,
// nothing remote is fetched, and cid: images are served from the page's map.

#include "components/htmlcomposer/OfflineWebEngine.h"
#include "components/htmlcomposer/WebHtmlComposer.h"
#include "components/htmlcomposer/WebHtmlView.h"
#include "support/WebPageScript.h"

#include <QApplication>
#include <QBuffer>
#include <QDesktopServices>
#include <QFile>
#include <QImage>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QWebEngineScript>
#include <QWebEngineSettings>
#include <QWebEngineView>

using namespace sendora;
using sendora::test::evaluate;

class TestWebHtmlComposer : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void loadedNewsletterIsSavedByteForByte();
    void wordTypedInTheDesignViewIsSaved();
    void nothingRemoteIsFetched();
    void cidImageIsServedFromTheMap();
    void clickedLinkOpensInTheBrowser();

public Q_SLOTS:
    void openUrl(const QUrl& url) { m_opened << url; }

private:
    QList<QUrl> m_opened;
    static QString newsletter();
};

QString TestWebHtmlComposer::newsletter() {
    QFile f(QFINDTESTDATA("newsletter.html"));
    if (!f.open(QIODevice::ReadOnly)) qFatal("newsletter.html missing");
    return QString::fromUtf8(f.readAll());
}

void TestWebHtmlComposer::loadedNewsletterIsSavedByteForByte() {
    const QString html = newsletter();
    WebHtmlComposer c;
    c.resize(800, 600);
    c.show();
    QSignalSpy loaded(&c, &HtmlComposer::loadFinished);
    QSignalSpy changed(&c, &HtmlComposer::contentChanged);
    c.setDocumentHtml(html);
    QVERIFY(c.isLoading());
    QVERIFY(loaded.wait(20000));
    QTRY_VERIFY_WITH_TIMEOUT(!c.isLoading(), 20000);
    // The page really holds the document (and is editable), yet nothing counts as an edit.
    QCOMPARE(
        evaluate(c.designView()->page(), QStringLiteral("document.querySelectorAll('td').length")).toInt(),
        2);
    QCOMPARE(evaluate(c.designView()->page(), QStringLiteral("document.designMode")).toString(),
             QStringLiteral("on"));
    c.setViewMode(HtmlComposer::SourceView);
    c.setViewMode(HtmlComposer::DesignView);
    QVERIFY(c.flushDocument());
    QVERIFY(c.sourceIsCurrent() != 0);
    QCOMPARE(c.documentHtml().toUtf8(), html.toUtf8());
    QCOMPARE(c.sourceHtml().toUtf8(), html.toUtf8());
    QCOMPARE(changed.count(), 0);
}

void TestWebHtmlComposer::wordTypedInTheDesignViewIsSaved() {
    WebHtmlComposer c;
    c.resize(800, 600);
    c.show();
    QVERIFY(QTest::qWaitForWindowExposed(&c));
    QSignalSpy loaded(&c, &HtmlComposer::loadFinished);
    c.setDocumentHtml(newsletter());
    QVERIFY(loaded.wait(20000));
    QTRY_VERIFY_WITH_TIMEOUT(c.designView()->focusProxy() != nullptr, 10000);
    QWidget* surface = c.designView()->focusProxy();
    // Click at the end of the greeting paragraph.
    const QVariantList box =
        evaluate(c.designView()->page(),
                 QStringLiteral("(function(){var r=document.getElementById('lead').getBoundingClientRect();"
                                "return [r.right, r.top + r.height/2];})()"))
            .toList();
    QCOMPARE(box.size(), 2);
    const QPoint at(int(box[0].toDouble()) - 2, int(box[1].toDouble()));
    QTest::mouseClick(surface, Qt::LeftButton, {}, at);
    QSignalSpy changed(&c, &HtmlComposer::contentChanged);
    QTest::keyClicks(surface, QStringLiteral("Zebra"));
    QTRY_VERIFY_WITH_TIMEOUT(c.sourceIsCurrent() == 0, 10000);
    QVERIFY(changed.count() >= 1);
    QVERIFY(c.flushDocument());
    const QString saved = c.documentHtml();
    QVERIFY2(saved.contains(QLatin1String("Zebra")), qPrintable(saved));
    QVERIFY(saved.startsWith(QLatin1String("<!DOCTYPE html>")));
    QVERIFY(saved.contains(QLatin1String("<!--[if mso]><table role=\"presentation\" width=\"600\">")));
    QVERIFY(saved.contains(QLatin1String("style=\"border-collapse:collapse;background:#ffffff\"")));
    QVERIFY(saved.contains(QLatin1String("<td bgcolor=\"#eeeeee\" style=\"width:150px\">")));
    QVERIFY(saved.contains(QLatin1String(".lead { color: #224466; font-size: 18px; }")));
    QVERIFY(!saved.contains(QLatin1String("contenteditable")));

    // The source view now shows the serialisation, which becomes the source.
    c.setViewMode(HtmlComposer::SourceView);
    QVERIFY(c.sourceEditor()->toPlainText().contains(QLatin1String("Zebra")));
    QCOMPARE(c.sourceHtml(), saved);

    // A merge field inserted at the caret is a design edit too.
    c.setViewMode(HtmlComposer::DesignView);
    c.setDocumentHtml(QStringLiteral("<p>Hi</p>"));
    QVERIFY(loaded.wait(20000));
    c.insertHtml(QStringLiteral("<b>[[FirstName]]</b>"));
    QTRY_VERIFY_WITH_TIMEOUT(c.sourceIsCurrent() == 0, 10000);
    QVERIFY(c.flushDocument());
    QVERIFY2(c.documentHtml().contains(QLatin1String("<b>[[FirstName]]</b>")), qPrintable(c.documentHtml()));
}

void TestWebHtmlComposer::nothingRemoteIsFetched() {
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    int connections = 0;
    connect(&server, &QTcpServer::newConnection, this, [&] {
        ++connections;
        while (QTcpSocket* s = server.nextPendingConnection())
            s->close();
    });
    const QString remote = QStringLiteral("http://127.0.0.1:%1/").arg(server.serverPort());
    const QString html =
        QStringLiteral("<html><head><link rel=\"stylesheet\" href=\"%1s.css\">"
                       "<script src=\"%1s.js\"></script></head>"
                       "<body><img src=\"%1x.png\"><div style=\"background:url(%1bg.png)\">x</div>"
                       "<iframe src=\"%1frame\"></iframe>"
                       "<form action=\"%1post\" method=\"post\"><input name=a></form></body></html>")
            .arg(remote);

    WebHtmlComposer composer;
    WebHtmlView view;
    // Pages keep the engine's own rule that local pages reach no remote address; turned off
    // here so that the request blocker alone has to stop every request.
    composer.designView()->page()->settings()->setAttribute(
        QWebEngineSettings::LocalContentCanAccessRemoteUrls, true);
    composer.show();
    view.show();
    QSignalSpy composerLoaded(&composer, &HtmlComposer::loadFinished);
    QSignalSpy viewLoaded(&view, &HtmlView::loadFinished);
    composer.setDocumentHtml(html);
    view.showHtml(html);
    QVERIFY(composerLoaded.wait(20000));
    QVERIFY(viewLoaded.count() || viewLoaded.wait(20000));
    QTest::qWait(500);
    QCOMPARE(connections, 0);
    // The engine did ask for them: the blocker, not luck, kept them away.
    QVERIFY(composer.engine()->blocker()->blocked().contains(QUrl(remote + QStringLiteral("x.png"))));
    QVERIFY(view.webView()->page()->settings()->testAttribute(
                QWebEngineSettings::LocalContentCanAccessRemoteUrls) == false);
    QVERIFY(!RemoteBlocker::allowed(QUrl(QStringLiteral("file://198.51.100.7/share/x.png"))));
    QVERIFY(RemoteBlocker::allowed(QUrl(QStringLiteral("file:///tmp/x.png"))));
}

void TestWebHtmlComposer::cidImageIsServedFromTheMap() {
    QImage red(4, 3, QImage::Format_RGB32);
    red.fill(Qt::red);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    red.save(&buffer, "PNG");

    WebHtmlView view;
    view.show();
    QSignalSpy loaded(&view, &HtmlView::loadFinished);
    view.showHtml(QStringLiteral("<p>Logo</p><img id=\"logo\" src=\"cid:logo@sendora\"><img id=\"gone\" "
                                 "src=\"cid:missing@sendora\">"),
                  {{QStringLiteral("logo@sendora"), png}});
    QVERIFY(loaded.wait(20000));
    QCOMPARE(view.engine()->cidImages()->served(), 1);
    QCOMPARE(evaluate(view.webView()->page(), QStringLiteral("document.getElementById('logo').naturalWidth"))
                 .toInt(),
             4);
    QCOMPARE(evaluate(view.webView()->page(), QStringLiteral("document.getElementById('gone').naturalWidth"))
                 .toInt(),
             0);
    QVERIFY(view.engine()->blocker()->blocked().isEmpty());
}

void TestWebHtmlComposer::clickedLinkOpensInTheBrowser() {
    QDesktopServices::setUrlHandler(QStringLiteral("https"), this, "openUrl");
    WebHtmlView view;
    view.resize(400, 300);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QSignalSpy loaded(&view, &HtmlView::loadFinished);
    view.showHtml(QStringLiteral("<p><a id=\"a\" href=\"https://example.org/news\">Read the news</a></p>"));
    QVERIFY(loaded.wait(20000));
    const QUrl shown = view.webView()->page()->url();
    const QVariantList box =
        evaluate(view.webView()->page(),
                 QStringLiteral("(function(){var r=document.getElementById('a').getBoundingClientRect();"
                                "return [r.left + r.width/2, r.top + r.height/2];})()"))
            .toList();
    QCOMPARE(box.size(), 2);
    QTRY_VERIFY_WITH_TIMEOUT(view.webView()->focusProxy() != nullptr, 10000);
    QTest::mouseClick(view.webView()->focusProxy(), Qt::LeftButton, {},
                      QPoint(int(box[0].toDouble()), int(box[1].toDouble())));
    QTRY_COMPARE_WITH_TIMEOUT(m_opened, QList<QUrl>{QUrl(QStringLiteral("https://example.org/news"))}, 10000);
    QTest::qWait(200);
    QCOMPARE(view.webView()->page()->url(), shown);
    QCOMPARE(loaded.count(), 1);
    QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
}

int main(int argc, char** argv) {
    registerHtmlEngineSchemes();
    QApplication app(argc, argv);
    TestWebHtmlComposer test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_webhtmlcomposer.moc"
