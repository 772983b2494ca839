#include "components/htmlcomposer/PlainHtmlView.h"

#include <QDesktopServices>
#include <QVBoxLayout>

namespace sendora {

OfflineBrowser::OfflineBrowser(QWidget* parent) : QTextBrowser(parent) {
    setOpenLinks(false);
    setOpenExternalLinks(false);
    connect(this, &QTextBrowser::anchorClicked, this,
            [](const QUrl& url) { QDesktopServices::openUrl(url); });
}

QVariant OfflineBrowser::loadResource(int type, const QUrl& name) {
    const QString scheme = name.scheme().toLower();
    if (scheme == QLatin1String("cid")) {
        const auto it = m_cid.constFind(name.path());
        if (it != m_cid.constEnd()) return *it;
        m_refused.insert(name);
        return {};
    }
    // Relative names resolve against the local page; anything with a network scheme is refused.
    if ((scheme.isEmpty() && name.host().isEmpty()) || scheme == QLatin1String("file") ||
        scheme == QLatin1String("qrc") || scheme == QLatin1String("data"))
        return QTextBrowser::loadResource(type, name);
    m_refused.insert(name);
    return {};
}

PlainHtmlView::PlainHtmlView(QWidget* parent) : HtmlView(parent) {
    m_browser = new OfflineBrowser(this);
    m_browser->setObjectName(QStringLiteral("htmlView"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_browser);
    setFocusProxy(m_browser);
}

void PlainHtmlView::showHtml(const QString& html, const QHash<QString, QByteArray>& cidImages) {
    m_html = html;
    m_browser->setCidImages(cidImages);
    m_browser->setHtml(html);
    Q_EMIT loadFinished();
}

} // namespace sendora
