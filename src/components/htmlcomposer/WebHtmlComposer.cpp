#include "components/htmlcomposer/WebHtmlComposer.h"

#include "components/htmlcomposer/ComposerToolBar.h"
#include "components/htmlcomposer/OfflineWebEngine.h"

#include <QEvent>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QPlainTextEdit>
#include <QStackedWidget>
#include <QTimer>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineView>

namespace sendora {

namespace {
const char* const kInputMarker = "sendora:input";

// Runs in the program's isolated world: the mail's own scripts stay off.
const char* const kEditorScript = R"JS(
(function () {
  document.designMode = 'on';
  window.sendoraEdits = 0;
  document.addEventListener('input', function () {
    window.sendoraEdits += 1;
    console.log('sendora:input');
  }, true);
})();
)JS";

const char* const kEditCountScript = "({ edits: window.sendoraEdits || 0 })";

// Every top-level node, so that a doctype and comments outside <html> survive.
const char* const kSerialiseScript = R"JS(
(function () {
  var out = [];
  for (var n = document.firstChild; n; n = n.nextSibling) {
    if (n.nodeType === Node.DOCUMENT_TYPE_NODE) out.push(new XMLSerializer().serializeToString(n));
    else if (n.nodeType === Node.COMMENT_NODE) out.push('<!--' + n.data + '-->');
    else if (n.nodeType === Node.ELEMENT_NODE) out.push(n.outerHTML);
  }
  return { edits: window.sendoraEdits || 0, html: out.join('\n') };
})()
)JS";

// Puts the caret at the end of the body when the page has none yet.
const char* const kEnsureCaret = R"JS(
  var sel = window.getSelection();
  if (!sel.rangeCount && document.body) {
    var r = document.createRange();
    r.selectNodeContents(document.body);
    r.collapse(false);
    sel.removeAllRanges();
    sel.addRange(r);
  }
)JS";

QString jsString(const QString& text) {
    const QByteArray array = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(array) + QStringLiteral("[0]");
}
} // namespace

WebHtmlComposer::WebHtmlComposer(QWidget* parent) : StackedComposer(parent) {
    m_engine = new OfflineWebEngine(this);
    m_page = m_engine->makePage(this);
    QWebEngineScript editor;
    editor.setName(QStringLiteral("sendora-editor"));
    editor.setInjectionPoint(QWebEngineScript::DocumentReady);
    editor.setWorldId(QWebEngineScript::ApplicationWorld);
    editor.setRunsOnSubFrames(false);
    editor.setSourceCode(QString::fromLatin1(kEditorScript));
    m_page->scripts().insert(editor);

    m_design = new QWebEngineView(m_stack);
    m_design->setObjectName(QStringLiteral("designView"));
    m_design->setPage(m_page);
    assemble(m_design);

    m_editCheck = new QTimer(this);
    m_editCheck->setSingleShot(true);
    m_editCheck->setInterval(250);
    connect(m_editCheck, &QTimer::timeout, this, [this] { requestSerialisation(false); });
    connect(m_page, &OfflinePage::consoleMessage, this, [this](const QString& text) {
        if (text == QLatin1String(kInputMarker)) m_editCheck->start();
    });
    connect(m_page, &QWebEnginePage::loadFinished, this, [this] {
        // Refused navigations report too; only our own loads count. A load replaced by a
        // newer one reports nothing, but a late report must not end the newer load.
        if (!m_loading) return;
        m_loading = m_page->isLoading();
        if (m_loading) return;
        watchFocusProxy();
        Q_EMIT loadFinished();
    });

    setDocumentHtml(QString());
}

WebHtmlComposer::~WebHtmlComposer() {
    // The page goes before the view's widgets and before its profile.
    delete m_design;
    delete m_page;
}

void WebHtmlComposer::setViewMode(int mode) {
    if (mode != DesignView && mode != TextView && mode != SourceView) return;
    if (mode == SourceView && m_state.sourceIsCurrent() == 0) {
        flushDocument();
        m_state.sourceTakes(m_serialised);
        m_filling = true;
        m_source->setPlainText(m_state.source());
        m_filling = false;
    } else if (mode == DesignView && m_state.designStale()) {
        m_state.designReloaded();
        loadDesign(m_state.source());
    }
    showView(mode);
}

QString WebHtmlComposer::documentHtml() const {
    return m_state.sourceIsCurrent() ? m_state.source() : m_serialised;
}

void WebHtmlComposer::setDocumentHtml(const QString& html) {
    m_state.load(html);
    m_serialised.clear();
    m_filling = true;
    m_source->setPlainText(html);
    m_filling = false;
    loadDesign(html);
}

void WebHtmlComposer::loadDesign(const QString& html) {
    m_loading = true;
    m_pageEdits = 0;
    m_answered = m_requests; // answers about the previous document no longer count
    if (m_flushLoop) m_flushLoop->quit();
    m_editCheck->stop();
    m_engine->loadHtml(m_page, html);
}

void WebHtmlComposer::requestSerialisation(bool withHtml) {
    if (m_loading) return;
    const quint64 request = ++m_requests;
    QPointer<WebHtmlComposer> self(this);
    m_page->runJavaScript(QString::fromLatin1(withHtml ? kSerialiseScript : kEditCountScript),
                          QWebEngineScript::ApplicationWorld, [self, request](const QVariant& result) {
                              if (self) self->takeSerialisation(result, request);
                          });
}

void WebHtmlComposer::takeSerialisation(const QVariant& result, quint64 request) {
    if (request <= m_answered) return;
    m_answered = request;
    const QVariantMap map = result.toMap();
    const int edits = map.value(QStringLiteral("edits")).toInt();
    bool changed = false;
    if (edits > m_pageEdits) {
        m_pageEdits = edits;
        m_state.designEdited();
        changed = true;
    }
    if (m_state.sourceIsCurrent() == 0 && map.contains(QStringLiteral("html")))
        m_serialised = map.value(QStringLiteral("html")).toString();
    if (m_flushLoop && m_answered >= m_flushWanted) m_flushLoop->quit();
    if (changed) {
        // Keeps documentHtml() close behind the page even when no one flushes.
        if (!map.contains(QStringLiteral("html"))) requestSerialisation(true);
        Q_EMIT contentChanged();
    }
}

bool WebHtmlComposer::flushDocument(int timeoutMs) {
    if (m_loading) return true; // the page holds the loaded source, nothing newer
    requestSerialisation(true);
    const quint64 wanted = m_requests;
    if (m_answered >= wanted) return true;
    QEventLoop loop;
    QTimer deadline;
    deadline.setSingleShot(true);
    connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    deadline.start(timeoutMs);
    const QPointer<QEventLoop> outer = m_flushLoop;
    const quint64 outerWanted = m_flushWanted;
    m_flushLoop = &loop;
    m_flushWanted = wanted;
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    m_flushLoop = outer;
    m_flushWanted = outerWanted;
    if (m_flushLoop && m_answered >= m_flushWanted) m_flushLoop->quit();
    return m_answered >= wanted;
}

void WebHtmlComposer::runInPage(const QString& script) {
    m_page->runJavaScript(script, QWebEngineScript::ApplicationWorld);
    m_editCheck->start();
}

void WebHtmlComposer::insertHtml(const QString& html) {
    if (m_viewMode == SourceView) {
        m_source->insertPlainText(html);
        return;
    }
    runInPage(QString::fromLatin1(kEnsureCaret) +
              QStringLiteral("document.execCommand('insertHTML', false, %1);").arg(jsString(html)));
}

void WebHtmlComposer::applyFormat(int format) {
    if (m_viewMode != DesignView) return;
    if (format == ComposerToolBar::Bold) m_page->triggerAction(QWebEnginePage::ToggleBold);
    if (format == ComposerToolBar::Italic) m_page->triggerAction(QWebEnginePage::ToggleItalic);
    if (format == ComposerToolBar::Underline) m_page->triggerAction(QWebEnginePage::ToggleUnderline);
    m_editCheck->start();
}

void WebHtmlComposer::applyLink(const QString& url) {
    if (m_viewMode != DesignView) return;
    runInPage(QString::fromLatin1(kEnsureCaret) +
              QStringLiteral("var u = %1;"
                             "if (!sel.isCollapsed) document.execCommand('createLink', false, u);"
                             "else { var a = document.createElement('a'); a.href = u; a.textContent = u;"
                             " document.execCommand('insertHTML', false, a.outerHTML); }")
                  .arg(jsString(url)));
}

void WebHtmlComposer::designCommand(EditCommand command) {
    static constexpr QWebEnginePage::WebAction kActions[] = {
        QWebEnginePage::Cut, QWebEnginePage::Copy, QWebEnginePage::Paste, QWebEnginePage::SelectAll};
    m_page->triggerAction(kActions[command]);
}

void WebHtmlComposer::designFind(const QString& text, bool backwards) {
    m_page->findText(text, backwards ? QWebEnginePage::FindBackward : QWebEnginePage::FindFlags());
}

void WebHtmlComposer::watchFocusProxy() {
    QWidget* proxy = m_design->focusProxy();
    if (!proxy || proxy == m_watchedProxy) return;
    proxy->installEventFilter(this);
    m_watchedProxy = proxy;
}

bool WebHtmlComposer::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::KeyRelease:
    case QEvent::MouseButtonRelease:
    case QEvent::Drop:
        // Backs up the page's own report of an edit.
        if (watched == m_watchedProxy) m_editCheck->start();
        break;
    default:
        break;
    }
    return StackedComposer::eventFilter(watched, event);
}

} // namespace sendora
