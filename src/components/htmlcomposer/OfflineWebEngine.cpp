#include "components/htmlcomposer/OfflineWebEngine.h"

#include <QBuffer>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QMimeDatabase>
#include <QTemporaryFile>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineUrlRequestJob>

namespace sendora {

bool RemoteBlocker::allowed(const QUrl& url) {
    const QString scheme = url.scheme().toLower();
    if (scheme == QLatin1String("file"))
        return url.host().isEmpty() ||
               url.host().compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0;
    return scheme == QLatin1String("data") || scheme == QLatin1String("cid") ||
           scheme == QLatin1String("qrc") || scheme == QLatin1String("about") ||
           scheme == QLatin1String("blob");
}

void RemoteBlocker::interceptRequest(QWebEngineUrlRequestInfo& info) {
    if (allowed(info.requestUrl())) return;
    info.block(true);
    m_blocked << info.requestUrl();
}

void CidSchemeHandler::requestStarted(QWebEngineUrlRequestJob* job) {
    const QString id = job->requestUrl().path(QUrl::FullyDecoded);
    const auto it = m_images.constFind(id);
    if (it == m_images.constEnd()) {
        job->fail(QWebEngineUrlRequestJob::UrlNotFound);
        return;
    }
    auto* body = new QBuffer(job);
    body->setData(*it);
    body->open(QIODevice::ReadOnly);
    ++m_served;
    job->reply(QMimeDatabase().mimeTypeForData(*it).name().toLatin1(), body);
}

OfflinePage::OfflinePage(QWebEngineProfile* profile, QObject* parent) : QWebEnginePage(profile, parent) {
    QWebEngineSettings* s = settings();
    s->setAttribute(QWebEngineSettings::JavascriptEnabled, false);
    s->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
    s->setAttribute(QWebEngineSettings::JavascriptCanAccessClipboard, false);
    s->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
    s->setAttribute(QWebEngineSettings::PluginsEnabled, false);
    s->setAttribute(QWebEngineSettings::DnsPrefetchEnabled, false);
    s->setAttribute(QWebEngineSettings::ErrorPageEnabled, false);
    s->setAttribute(QWebEngineSettings::NavigateOnDropEnabled, false);
    s->setAttribute(QWebEngineSettings::AutoLoadIconsForPage, false);
    s->setAttribute(QWebEngineSettings::HyperlinkAuditingEnabled, false);
    s->setAttribute(QWebEngineSettings::WebGLEnabled, false);
}

bool OfflinePage::acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) {
    if (type == NavigationTypeLinkClicked) {
        // A mail's links belong in the user's browser, never in this page.
        QDesktopServices::openUrl(url);
        return false;
    }
    // Only the documents this program loads; no form posts, redirects, history moves or
    // reloads (a reload would drop the user's edits).
    return isMainFrame && (type == NavigationTypeTyped || type == NavigationTypeOther);
}

void OfflinePage::javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString& message, int,
                                           const QString&) {
    Q_EMIT consoleMessage(message);
}

OfflineWebEngine::OfflineWebEngine(QObject* parent) : QObject(parent) {
    // No storage name: off the record, nothing kept on disk, nothing shared with other pages.
    m_profile = new QWebEngineProfile(this);
    m_profile->setHttpCacheType(QWebEngineProfile::MemoryHttpCache);
    m_profile->setPersistentCookiesPolicy(QWebEngineProfile::NoPersistentCookies);
    m_profile->setSpellCheckEnabled(false);
    m_blocker = new RemoteBlocker(this);
    m_cid = new CidSchemeHandler(this);
    m_profile->setUrlRequestInterceptor(m_blocker);
    m_profile->installUrlSchemeHandler("cid", m_cid);
}

OfflineWebEngine::~OfflineWebEngine() {
    if (!m_bigFile.isEmpty()) QFile::remove(m_bigFile);
}

OfflinePage* OfflineWebEngine::makePage(QObject* parent) {
    return new OfflinePage(m_profile, parent);
}

QUrl OfflineWebEngine::baseUrl() {
    return QUrl::fromLocalFile(QDir::currentPath() + QLatin1Char('/'));
}

void OfflineWebEngine::loadHtml(QWebEnginePage* page, const QString& html) {
    constexpr qsizetype kSetHtmlLimit = 1500 * 1000; // below the engine's 2 MB data URL limit
    const QByteArray utf8 = html.toUtf8();
    if (utf8.size() < kSetHtmlLimit) {
        page->setHtml(html, baseUrl());
        return;
    }
    if (m_bigFile.isEmpty()) {
        QTemporaryFile f(QDir::tempPath() + QStringLiteral("/sendora-page-XXXXXX.html"));
        f.setAutoRemove(false);
        if (f.open()) m_bigFile = f.fileName();
    }
    QFile f(m_bigFile);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        page->setHtml(html, baseUrl());
        return;
    }
    f.write("\xEF\xBB\xBF"); // the byte order mark makes the engine read UTF-8
    f.write(utf8);
    f.close();
    page->load(QUrl::fromLocalFile(m_bigFile));
}

} // namespace sendora
