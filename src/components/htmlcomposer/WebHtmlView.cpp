#include "components/htmlcomposer/WebHtmlView.h"

#include "components/htmlcomposer/OfflineWebEngine.h"
#include "components/htmlcomposer/WebHtmlComposer.h"

#include <QCoreApplication>
#include <QVBoxLayout>
#include <QWebEngineUrlScheme>
#include <QWebEngineView>
#include <unistd.h>

namespace sendora {

WebHtmlView::WebHtmlView(QWidget* parent) : HtmlView(parent) {
    m_engine = new OfflineWebEngine(this);
    m_page = m_engine->makePage(this);
    m_view = new QWebEngineView(this);
    m_view->setObjectName(QStringLiteral("htmlView"));
    m_view->setPage(m_page);
    m_view->setContextMenuPolicy(Qt::NoContextMenu);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_view);
    setFocusProxy(m_view);
    connect(m_page, &QWebEnginePage::loadFinished, this, [this] {
        // Refused navigations (a clicked link) report too; only our own loads count, and a
        // late report must not end a newer load.
        if (!m_loading) return;
        m_loading = m_page->isLoading();
        if (m_loading) return;
        Q_EMIT loadFinished();
    });
}

WebHtmlView::~WebHtmlView() {
    delete m_view;
    delete m_page;
}

void WebHtmlView::showHtml(const QString& html, const QHash<QString, QByteArray>& cidImages) {
    m_html = html;
    m_loading = true;
    m_engine->cidImages()->setImages(cidImages);
    m_engine->loadHtml(m_page, html);
}

void registerHtmlEngineSchemes() {
    static bool done = false;
    if (done) return;
    done = true;
    QWebEngineUrlScheme cid("cid");
    cid.setSyntax(QWebEngineUrlScheme::Syntax::Path);
    // Local like file:, so that pages (based on a file: address) may show its images while
    // every remote address stays out of their reach.
    cid.setFlags(QWebEngineUrlScheme::SecureScheme | QWebEngineUrlScheme::LocalScheme |
                 QWebEngineUrlScheme::LocalAccessAllowed);
    QWebEngineUrlScheme::registerScheme(cid);
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    if (::geteuid() == 0 && !qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
}

void installWebHtmlEngine() {
    installHtmlEngine({[](QWidget* parent) -> HtmlComposer* { return new WebHtmlComposer(parent); },
                       [](QWidget* parent) -> HtmlView* { return new WebHtmlView(parent); }});
}

} // namespace sendora
