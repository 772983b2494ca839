#pragma once
// The composer on Qt WebEngine: the design view is an editable browser page, so users see
// mail HTML as a browser renders it (tables, inline CSS). The page runs none of the mail's
// scripts and fetches nothing remote; the program's own small scripts run in an isolated
// world. Spell checking is not offered.

#include "components/htmlcomposer/StackedComposer.h"

#include <QPointer>

class QEventLoop;
class QTimer;
class QWebEngineView;

namespace sendora {

class OfflinePage;
class OfflineWebEngine;

class WebHtmlComposer : public StackedComposer {
    Q_OBJECT
public:
    explicit WebHtmlComposer(QWidget* parent = nullptr);
    ~WebHtmlComposer() override;

    void setViewMode(int mode) override;

    // After a design edit this is the page's last serialisation: flushDocument() first.
    QString documentHtml() const override;
    void setDocumentHtml(const QString& html) override;

    void insertHtml(const QString& html) override;

    bool isLoading() const override { return m_loading; }
    bool flushDocument(int timeoutMs = 2000) override;

    QWebEngineView* designView() const { return m_design; }
    OfflineWebEngine* engine() const { return m_engine; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void loadDesign(const QString& html);
    // Asks the page how often it was edited and, withHtml, for its serialisation (costly for
    // a large document, so only when a flush needs it).
    void requestSerialisation(bool withHtml);
    void takeSerialisation(const QVariant& result, quint64 request);
    void runInPage(const QString& script);
    void designCommand(EditCommand command) override;
    void designFind(const QString& text, bool backwards) override;
    void applyFormat(int format) override;
    void applyLink(const QString& url) override;
    void watchFocusProxy();

    OfflineWebEngine* m_engine;
    QWebEngineView* m_design;
    OfflinePage* m_page;
    QTimer* m_editCheck; // folds bursts of typing into one question to the page
    QPointer<QWidget> m_watchedProxy;
    QPointer<QEventLoop> m_flushLoop; // quits when the newest serialisation is in
    QString m_serialised;
    quint64 m_requests = 0;    // serialisations asked for
    quint64 m_answered = 0;    // the newest one that came back
    quint64 m_flushWanted = 0; // the one the running flush waits for
    int m_pageEdits = 0;       // input events the page has reported for this document
    bool m_loading = false;
};

} // namespace sendora
