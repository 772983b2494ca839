#pragma once
// The composer on Qt WebEngine: the design view is an editable browser page, so users see
// mail HTML as a browser renders it (tables, inline CSS). The page runs none of the mail's
// scripts and fetches nothing remote; the program's own small scripts run in an isolated
// world. Spell checking is not offered.

#include "components/htmlcomposer/ComposerState.h"
#include "components/htmlcomposer/HtmlComposer.h"

#include <QPointer>

class QEventLoop;
class QPlainTextEdit;
class QStackedWidget;
class QTimer;
class QWebEngineView;

namespace sendora {

class ComposerToolBar;
class OfflinePage;
class OfflineWebEngine;

class WebHtmlComposer : public HtmlComposer {
    Q_OBJECT
public:
    explicit WebHtmlComposer(QWidget* parent = nullptr);
    ~WebHtmlComposer() override;

    int viewMode() const override { return m_viewMode; }
    void setViewMode(int mode) override;
    int sourceIsCurrent() const override { return m_state.sourceIsCurrent(); }
    int sendType() const override { return m_sendType; }
    void setSendType(int code) override;

    // After a design edit this is the page's last serialisation: flushDocument() first.
    QString documentHtml() const override;
    void setDocumentHtml(const QString& html) override;
    QString sourceHtml() const override { return m_state.source(); }
    QString plainText() const override { return m_plain.text(); }
    void setPlainText(const QString& text) override;

    void insertHtml(const QString& html) override;
    void insertText(const QString& text) override;

    void setInitToggle(bool on) override { m_initToggle = on; }
    bool isLoading() const override { return m_loading; }
    bool flushDocument(int timeoutMs = 2000) override;

    void cut() override;
    void copy() override;
    void paste() override;
    void selectAll() override;
    void find(const QString& text, bool backwards = false) override;

    QWebEngineView* designView() const { return m_design; }
    QPlainTextEdit* sourceEditor() const { return m_source; }
    QPlainTextEdit* textEditor() const { return m_text; }
    ComposerToolBar* toolBar() const { return m_toolBar; }
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
    void applyFormat(int format);
    void applyLink(const QString& url);
    void watchFocusProxy();

    ComposerToolBar* m_toolBar;
    QStackedWidget* m_stack;
    OfflineWebEngine* m_engine;
    QWebEngineView* m_design;
    OfflinePage* m_page;
    QPlainTextEdit* m_source;
    QPlainTextEdit* m_text;
    QTimer* m_editCheck; // folds bursts of typing into one question to the page
    QPointer<QWidget> m_watchedProxy;
    QPointer<QEventLoop> m_flushLoop; // quits when the newest serialisation is in
    ComposerState m_state;
    PlainTextState m_plain;
    QString m_serialised;
    quint64 m_requests = 0;    // serialisations asked for
    quint64 m_answered = 0;    // the newest one that came back
    quint64 m_flushWanted = 0; // the one the running flush waits for
    int m_pageEdits = 0;       // input events the page has reported for this document
    int m_viewMode = DesignView;
    int m_sendType = HtmlOnly;
    bool m_initToggle = false;
    bool m_loading = false;
    bool m_filling = false;
};

} // namespace sendora
