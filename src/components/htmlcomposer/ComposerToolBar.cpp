#include "components/htmlcomposer/ComposerToolBar.h"

#include "components/htmlcomposer/HtmlComposer.h"

#include <QComboBox>
#include <QLineEdit>

namespace sendora {

namespace {
void selectData(QComboBox* box, int value) {
    const int index = box->findData(value);
    if (index >= 0 && index != box->currentIndex()) box->setCurrentIndex(index);
}
} // namespace

ComposerToolBar::ComposerToolBar(QWidget* parent) : QToolBar(parent) {
    setObjectName(QStringLiteral("composerToolBar"));
    m_view = new QComboBox(this);
    m_view->setObjectName(QStringLiteral("cboView"));
    m_view->addItem(tr("Design"), int(HtmlComposer::DesignView));
    m_view->addItem(tr("HTML Source"), int(HtmlComposer::SourceView));
    m_view->addItem(tr("Plain Text"), int(HtmlComposer::TextView));
    addWidget(m_view);

    m_sendType = new QComboBox(this);
    m_sendType->setObjectName(QStringLiteral("cboSendType"));
    m_sendType->addItem(tr("HTML"), int(HtmlComposer::HtmlOnly));
    m_sendType->addItem(tr("Text"), int(HtmlComposer::TextOnly));
    m_sendType->addItem(tr("HTML and Text"), int(HtmlComposer::HtmlAndText));
    addWidget(m_sendType);
    addSeparator();

    const auto formatAction = [this](const QString& text, int format) {
        QAction* a = addAction(text, this, [this, format] { Q_EMIT formatRequested(format); });
        QFont f = a->font();
        if (format == Bold) f.setBold(true);
        if (format == Italic) f.setItalic(true);
        if (format == Underline) f.setUnderline(true);
        a->setFont(f);
    };
    formatAction(tr("B"), Bold);
    formatAction(tr("I"), Italic);
    formatAction(tr("U"), Underline);
    addSeparator();

    m_link = new QLineEdit(this);
    m_link->setObjectName(QStringLiteral("txtLinkUrl"));
    m_link->setPlaceholderText(tr("https://"));
    m_link->setMaximumWidth(220);
    addWidget(m_link);
    addAction(tr("Link"), this, [this] {
        if (!linkUrl().isEmpty()) Q_EMIT linkRequested(linkUrl());
    });
    connect(m_link, &QLineEdit::returnPressed, this, [this] {
        if (!linkUrl().isEmpty()) Q_EMIT linkRequested(linkUrl());
    });
    addSeparator();
    addAction(tr("Image..."), this, &ComposerToolBar::imageRequested);
    addAction(tr("Signature"), this, &ComposerToolBar::signatureRequested);
    addAction(tr("Click Code"), this, &ComposerToolBar::clickCodeRequested);

    connect(m_view, &QComboBox::activated, this,
            [this](int index) { Q_EMIT viewChosen(m_view->itemData(index).toInt()); });
    connect(m_sendType, &QComboBox::activated, this,
            [this](int index) { Q_EMIT sendTypeChosen(m_sendType->itemData(index).toInt()); });
}

void ComposerToolBar::showViewMode(int mode) {
    selectData(m_view, mode);
}
void ComposerToolBar::showSendType(int code) {
    selectData(m_sendType, code);
}
int ComposerToolBar::chosenSendType() const {
    return m_sendType->currentData().toInt();
}
QString ComposerToolBar::linkUrl() const {
    return m_link->text().trimmed();
}

} // namespace sendora
