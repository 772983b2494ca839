#pragma once
// Finished mail HTML on Qt WebEngine (the preview, the greeting template): no scripts, no
// remote requests, cid: images from the map given with the page.

#include "components/htmlcomposer/HtmlComposer.h"

class QWebEngineView;

namespace sendora {

class OfflinePage;
class OfflineWebEngine;

class WebHtmlView : public HtmlView {
    Q_OBJECT
public:
    explicit WebHtmlView(QWidget* parent = nullptr);
    ~WebHtmlView() override;
    void showHtml(const QString& html, const QHash<QString, QByteArray>& cidImages = {}) override;
    QString shownHtml() const override { return m_html; }
    bool isLoading() const { return m_loading; }

    QWebEngineView* webView() const { return m_view; }
    OfflineWebEngine* engine() const { return m_engine; }

private:
    OfflineWebEngine* m_engine;
    OfflinePage* m_page;
    QWebEngineView* m_view;
    QString m_html;
    bool m_loading = false;
};

// Registers the cid: scheme and the engine's application attributes; call in main() before
// the QApplication is created (the engine cannot learn schemes later). As root, the engine's
// sandbox is turned off, since Chromium refuses to start otherwise.
void registerHtmlEngineSchemes();

// Makes createHtmlComposer() and createHtmlView() build the WebEngine-backed widgets.
void installWebHtmlEngine();

} // namespace sendora
