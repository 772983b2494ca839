#include "components/htmlcomposer/StackedComposer.h"

#include "components/htmlcomposer/ComposerToolBar.h"
#include "components/htmlcomposer/HtmlHighlighter.h"

#include <QEvent>
#include <QPlainTextEdit>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace sendora {

StackedComposer::StackedComposer(QWidget* parent) : HtmlComposer(parent) {
    m_toolBar = new ComposerToolBar(this);
    m_stack = new QStackedWidget(this);
}

void StackedComposer::assemble(QWidget* design) {
    m_text = new QPlainTextEdit(m_stack);
    m_text->setObjectName(QStringLiteral("textView"));
    m_source = new QPlainTextEdit(m_stack);
    m_source->setObjectName(QStringLiteral("sourceView"));
    m_source->setLineWrapMode(QPlainTextEdit::NoWrap);
    new HtmlHighlighter(m_source->document());
    // Stack indexes are the view mode codes.
    m_stack->addWidget(design);
    m_stack->addWidget(m_text);
    m_stack->addWidget(m_source);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_toolBar);
    layout->addWidget(m_stack);
    setFocusProxy(design);
    for (QWidget* w : {design, static_cast<QWidget*>(m_text), static_cast<QWidget*>(m_source)})
        w->installEventFilter(this);

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

    connect(m_toolBar, &ComposerToolBar::viewChosen, this, &HtmlComposer::setViewMode);
    connect(m_toolBar, &ComposerToolBar::sendTypeChosen, this, [this](int code) {
        m_sendType = code;
        Q_EMIT contentChanged();
    });
    connect(m_toolBar, &ComposerToolBar::formatRequested, this, [this](int format) { applyFormat(format); });
    connect(m_toolBar, &ComposerToolBar::linkRequested, this, [this](const QString& url) { applyLink(url); });
    connect(m_toolBar, &ComposerToolBar::imageRequested, this, &HtmlComposer::insertImageRequested);
    connect(m_toolBar, &ComposerToolBar::signatureRequested, this, &HtmlComposer::addSig);
    connect(m_toolBar, &ComposerToolBar::clickCodeRequested, this, &HtmlComposer::addHC);
    m_toolBar->showSendType(m_sendType);
}

void StackedComposer::showView(int mode) {
    m_viewMode = mode;
    m_stack->setCurrentIndex(mode);
    setFocusProxy(m_stack->currentWidget());
    m_toolBar->showViewMode(mode);
}

void StackedComposer::setSendType(int code) {
    m_sendType = code;
    m_toolBar->showSendType(code);
}

void StackedComposer::setPlainText(const QString& text) {
    m_filling = true;
    m_plain.set(text);
    m_text->setPlainText(text);
    m_filling = false;
}

void StackedComposer::insertText(const QString& text) {
    m_text->insertPlainText(text);
}

QPlainTextEdit* StackedComposer::textView() const {
    if (m_viewMode == SourceView) return m_source;
    if (m_viewMode == TextView) return m_text;
    return nullptr;
}

void StackedComposer::command(EditCommand c) {
    QPlainTextEdit* view = textView();
    if (!view) {
        if (m_viewMode == DesignView) designCommand(c);
        return;
    }
    switch (c) {
    case Cut:
        view->cut();
        break;
    case Copy:
        view->copy();
        break;
    case Paste:
        view->paste();
        break;
    case SelectAll:
        view->selectAll();
        break;
    }
}

void StackedComposer::cut() {
    command(Cut);
}
void StackedComposer::copy() {
    command(Copy);
}
void StackedComposer::paste() {
    command(Paste);
}
void StackedComposer::selectAll() {
    command(SelectAll);
}

void StackedComposer::find(const QString& text, bool backwards) {
    if (m_viewMode == DesignView) return designFind(text, backwards);
    if (QPlainTextEdit* view = textView())
        view->find(text, backwards ? QTextDocument::FindBackward : QTextDocument::FindFlags());
}

bool StackedComposer::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusIn) Q_EMIT focusEntered();
    return HtmlComposer::eventFilter(watched, event);
}

} // namespace sendora
