#pragma once
// The engine set-up shared by the web composer and the web view: a private off-the-record
// profile whose requests never leave the machine (only file, data, cid, qrc, about and blob
// are let through), cid: images served from a map, and a page that opens clicked links in
// the user's browser instead of navigating.

#include <QHash>
#include <QList>
#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineUrlRequestInterceptor>
#include <QWebEngineUrlSchemeHandler>

class QWebEngineProfile;

namespace sendora {

class RemoteBlocker : public QWebEngineUrlRequestInterceptor {
    Q_OBJECT
public:
    using QWebEngineUrlRequestInterceptor::QWebEngineUrlRequestInterceptor;
    static bool allowed(const QUrl& url);
    void interceptRequest(QWebEngineUrlRequestInfo& info) override;
    const QList<QUrl>& blocked() const { return m_blocked; }

private:
    QList<QUrl> m_blocked;
};

class CidSchemeHandler : public QWebEngineUrlSchemeHandler {
    Q_OBJECT
public:
    using QWebEngineUrlSchemeHandler::QWebEngineUrlSchemeHandler;
    void setImages(const QHash<QString, QByteArray>& images) { m_images = images; }
    void requestStarted(QWebEngineUrlRequestJob* job) override;
    int served() const { return m_served; }

private:
    QHash<QString, QByteArray> m_images;
    int m_served = 0;
};

class OfflinePage : public QWebEnginePage {
    Q_OBJECT
public:
    OfflinePage(QWebEngineProfile* profile, QObject* parent);

Q_SIGNALS:
    void consoleMessage(const QString& text);

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override;
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString& message, int line,
                                  const QString& source) override;
    QWebEnginePage* createWindow(WebWindowType) override { return nullptr; }
};

// Owns the profile and its helpers; the page it makes must be deleted before it.
class OfflineWebEngine : public QObject {
    Q_OBJECT
public:
    explicit OfflineWebEngine(QObject* parent = nullptr);
    ~OfflineWebEngine() override;
    OfflinePage* makePage(QObject* parent);
    RemoteBlocker* blocker() const { return m_blocker; }
    CidSchemeHandler* cidImages() const { return m_cid; }
    QWebEngineProfile* profile() const { return m_profile; }

    // Pages load with this base so that local image paths resolve.
    static QUrl baseUrl();
    // setHtml() is limited in size; larger documents go through a temporary file.
    void loadHtml(QWebEnginePage* page, const QString& html);

private:
    QWebEngineProfile* m_profile;
    RemoteBlocker* m_blocker;
    CidSchemeHandler* m_cid;
    QString m_bigFile;
};

} // namespace sendora
