#include "components/htmlcomposer/PlainHtmlComposer.h"

#include "components/htmlcomposer/ComposerToolBar.h"
#include "components/htmlcomposer/HtmlHighlighter.h"

#include <QEvent>
#include <QPlainTextEdit>
#include <QStackedWidget>
#include <QTextEdit>
#include <QVBoxLayout>

namespace sendora {

PlainHtmlComposer::PlainHtmlComposer(QWidget* parent) : HtmlComposer(parent) {
    m_toolBar = new ComposerToolBar(this);
    m_stack = new QStackedWidget(this);
    m_design = new QTextEdit(m_stack);
    m_design->setObjectName(QStringLiteral("designView"));
    m_design->setAcceptRichText(true);
    m_text = new QPlainTextEdit(m_stack);
    m_text->setObjectName(QStringLiteral("textView"));
    m_source = new QPlainTextEdit(m_stack);
    m_source->setObjectName(QStringLiteral("sourceView"));
    m_source->setLineWrapMode(QPlainTextEdit::NoWrap);
    new HtmlHighlighter(m_source->document());
    // Stack indexes are the view mode codes.
    m_stack->addWidget(m_design);
    m_stack->addWidget(m_text);
    m_stack->addWidget(m_source);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_toolBar);
    layout->addWidget(m_stack);
    setFocusProxy(m_design);
    for (QWidget* w :
         {static_cast<QWidget*>(m_design), static_cast<QWidget*>(m_text), static_cast<QWidget*>(m_source)})
        w->installEventFilter(this);

    connect(m_design, &QTextEdit::textChanged, this, [this] {
        if (m_filling) return;
        m_state.designEdited();
        Q_EMIT contentChanged();
    });
    connect(m_source, &QPlainTextEdit::textChanged, this, [this] {
        if (m_filling) return;
        m_state.sourceTyped(m_source->toPlainText());
        Q_EMIT contentChanged();
    });
    connect(m_text, &QPlainTextEdit::textChanged, this, [this] {
        if (m_filling) return;
        m_plain.set(m_text->toPlainText());
        Q_EMIT contentChanged();
    });

    connect(m_toolBar, &ComposerToolBar::viewChosen, this, &PlainHtmlComposer::setViewMode);
    connect(m_toolBar, &ComposerToolBar::sendTypeChosen, this, [this](int code) {
        m_sendType = code;
        Q_EMIT contentChanged();
    });
    connect(m_toolBar, &ComposerToolBar::formatRequested, this, &PlainHtmlComposer::applyFormat);
    connect(m_toolBar, &ComposerToolBar::linkRequested, this, &PlainHtmlComposer::applyLink);
    connect(m_toolBar, &ComposerToolBar::imageRequested, this, &HtmlComposer::insertImageRequested);
    connect(m_toolBar, &ComposerToolBar::signatureRequested, this, &HtmlComposer::addSig);
    connect(m_toolBar, &ComposerToolBar::clickCodeRequested, this, &HtmlComposer::addHC);
    m_toolBar->showSendType(m_sendType);
}

void PlainHtmlComposer::setViewMode(int mode) {
    if (mode != DesignView && mode != TextView && mode != SourceView) return;
    m_filling = true;
    if (mode == SourceView && m_state.sourceIsCurrent() == 0) {
        m_state.sourceTakes(m_design->toHtml());
        m_source->setPlainText(m_state.source());
    } else if (mode == DesignView && m_state.designStale()) {
        m_design->setHtml(m_state.source());
        m_state.designReloaded();
    }
    m_filling = false;
    m_viewMode = mode;
    m_stack->setCurrentIndex(mode);
    setFocusProxy(currentEditor());
    m_toolBar->showViewMode(mode);
}

void PlainHtmlComposer::setSendType(int code) {
    m_sendType = code;
    m_toolBar->showSendType(code);
}

QString PlainHtmlComposer::documentHtml() const {
    return m_state.sourceIsCurrent() ? m_state.source() : m_design->toHtml();
}

void PlainHtmlComposer::setDocumentHtml(const QString& html) {
    m_filling = true;
    m_state.load(html);
    m_design->setHtml(html);
    m_source->setPlainText(html);
    m_filling = false;
    Q_EMIT loadFinished();
}

void PlainHtmlComposer::setPlainText(const QString& text) {
    m_filling = true;
    m_plain.set(text);
    m_text->setPlainText(text);
    m_filling = false;
}

void PlainHtmlComposer::insertHtml(const QString& html) {
    if (m_viewMode == SourceView)
        m_source->insertPlainText(html);
    else
        m_design->insertHtml(html);
}

void PlainHtmlComposer::insertText(const QString& text) {
    m_text->insertPlainText(text);
}

QWidget* PlainHtmlComposer::currentEditor() const {
    return m_stack->currentWidget();
}

void PlainHtmlComposer::cut() {
    if (m_viewMode == DesignView) m_design->cut();
    if (m_viewMode == SourceView) m_source->cut();
    if (m_viewMode == TextView) m_text->cut();
}
void PlainHtmlComposer::copy() {
    if (m_viewMode == DesignView) m_design->copy();
    if (m_viewMode == SourceView) m_source->copy();
    if (m_viewMode == TextView) m_text->copy();
}
void PlainHtmlComposer::paste() {
    if (m_viewMode == DesignView) m_design->paste();
    if (m_viewMode == SourceView) m_source->paste();
    if (m_viewMode == TextView) m_text->paste();
}
void PlainHtmlComposer::selectAll() {
    if (m_viewMode == DesignView) m_design->selectAll();
    if (m_viewMode == SourceView) m_source->selectAll();
    if (m_viewMode == TextView) m_text->selectAll();
}

void PlainHtmlComposer::find(const QString& text, bool backwards) {
    const QTextDocument::FindFlags flags =
        backwards ? QTextDocument::FindBackward : QTextDocument::FindFlags();
    if (m_viewMode == DesignView) m_design->find(text, flags);
    if (m_viewMode == SourceView) m_source->find(text, flags);
    if (m_viewMode == TextView) m_text->find(text, flags);
}

void PlainHtmlComposer::applyFormat(int format) {
    if (m_viewMode != DesignView) return;
    QTextCharFormat f;
    const QTextCharFormat now = m_design->currentCharFormat();
    if (format == ComposerToolBar::Bold)
        f.setFontWeight(now.fontWeight() > QFont::Normal ? QFont::Normal : QFont::Bold);
    if (format == ComposerToolBar::Italic) f.setFontItalic(!now.fontItalic());
    if (format == ComposerToolBar::Underline) f.setFontUnderline(!now.fontUnderline());
    m_design->mergeCurrentCharFormat(f);
}

void PlainHtmlComposer::applyLink(const QString& url) {
    if (m_viewMode != DesignView) return;
    QTextCursor c = m_design->textCursor();
    const QString label = c.hasSelection() ? c.selectedText() : url;
    c.insertHtml(QStringLiteral("<a href=\"%1\">%2</a>").arg(url.toHtmlEscaped(), label.toHtmlEscaped()));
}

bool PlainHtmlComposer::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusIn) Q_EMIT focusEntered();
    return HtmlComposer::eventFilter(watched, event);
}

} // namespace sendora
