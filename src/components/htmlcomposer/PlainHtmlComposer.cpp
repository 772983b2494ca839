#include "components/htmlcomposer/PlainHtmlComposer.h"

#include "components/htmlcomposer/ComposerToolBar.h"

#include <QPlainTextEdit>
#include <QStackedWidget>
#include <QTextEdit>

namespace sendora {

PlainHtmlComposer::PlainHtmlComposer(QWidget* parent) : StackedComposer(parent) {
    m_design = new QTextEdit(m_stack);
    m_design->setObjectName(QStringLiteral("designView"));
    m_design->setAcceptRichText(true);
    assemble(m_design);
    connect(m_design, &QTextEdit::textChanged, this, [this] {
        if (m_filling) return;
        m_state.designEdited();
        Q_EMIT contentChanged();
    });
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
    showView(mode);
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

void PlainHtmlComposer::insertHtml(const QString& html) {
    if (m_viewMode == SourceView)
        m_source->insertPlainText(html);
    else
        m_design->insertHtml(html);
}

void PlainHtmlComposer::designCommand(EditCommand command) {
    switch (command) {
    case Cut:
        m_design->cut();
        break;
    case Copy:
        m_design->copy();
        break;
    case Paste:
        m_design->paste();
        break;
    case SelectAll:
        m_design->selectAll();
        break;
    }
}

void PlainHtmlComposer::designFind(const QString& text, bool backwards) {
    m_design->find(text, backwards ? QTextDocument::FindBackward : QTextDocument::FindFlags());
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

} // namespace sendora
