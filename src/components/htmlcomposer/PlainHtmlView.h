#pragma once
// Mail HTML shown with Qt's rich text: no network at all, cid: images from the page's map,
// local files as they are; links open in the user's browser.

#include "components/htmlcomposer/HtmlComposer.h"

#include <QSet>
#include <QTextBrowser>
#include <QUrl>

namespace sendora {

class OfflineBrowser : public QTextBrowser {
    Q_OBJECT
public:
    explicit OfflineBrowser(QWidget* parent = nullptr);
    void setCidImages(const QHash<QString, QByteArray>& images) { m_cid = images; }
    QVariant loadResource(int type, const QUrl& name) override;
    const QSet<QUrl>& refused() const { return m_refused; } // resources refused since creation

private:
    QHash<QString, QByteArray> m_cid;
    QSet<QUrl> m_refused;
};

class PlainHtmlView : public HtmlView {
    Q_OBJECT
public:
    explicit PlainHtmlView(QWidget* parent = nullptr);
    void showHtml(const QString& html, const QHash<QString, QByteArray>& cidImages = {}) override;
    QString shownHtml() const override { return m_html; }
    OfflineBrowser* browser() const { return m_browser; }

private:
    OfflineBrowser* m_browser;
    QString m_html;
};

} // namespace sendora
