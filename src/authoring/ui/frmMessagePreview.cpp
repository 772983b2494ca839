#include "authoring/ui/frmMessagePreview.h"

#include "components/htmlcomposer/HtmlComposer.h"
#include "core/AppContext.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace sendora {

frmMessagePreview* frmMessagePreview::PreviewMessage(AppContext& ctx, const QString& messageName,
                                                     const QString& listName, QWidget* parent) {
    auto preview = std::make_unique<MessagePreview>(ctx);
    if (const Notice refusal = preview->prepare(messageName, listName)) {
        refusal.show(*ctx.ui);
        return nullptr;
    }
    auto* window = new frmMessagePreview(ctx, std::move(preview), parent);
    if (!window->PreviewCurrentAddress()) {
        information(kPreviewInitFailedMessage).show(*ctx.ui);
        delete window;
        return nullptr;
    }
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->open();
    return window;
}

frmMessagePreview::frmMessagePreview(AppContext& ctx, std::unique_ptr<MessagePreview> preview,
                                     QWidget* parent)
    : QDialog(parent), m_ctx(ctx), m_preview(std::move(preview)), m_to(new QLineEdit(this)),
      m_subject(new QLineEdit(this)), m_tabs(new QTabWidget(this)), m_text(new QPlainTextEdit(this)),
      m_html(createHtmlView(this)), m_counter(new QLabel(this)),
      m_previous(new QPushButton(tr("&Previous"), this)), m_next(new QPushButton(tr("&Next"), this)) {
    setObjectName(QStringLiteral("frmMessagePreview"));
    setWindowTitle(m_preview->caption());
    m_to->setObjectName(QStringLiteral("txtTo"));
    m_to->setReadOnly(true);
    m_subject->setObjectName(QStringLiteral("txtSubject"));
    m_subject->setReadOnly(true);
    m_text->setObjectName(QStringLiteral("txtPlainText"));
    m_text->setReadOnly(true);
    m_html->setObjectName(QStringLiteral("htmlPreview"));
    m_tabs->setObjectName(QStringLiteral("tabBodies"));
    m_tabs->addTab(m_text, tr("Plain Text"));
    m_tabs->addTab(m_html, tr("HTML"));
    m_tabs->setTabEnabled(0, m_preview->textTabEnabled());
    m_tabs->setTabEnabled(1, m_preview->htmlTabEnabled());
    m_tabs->setCurrentIndex(m_preview->firstTab());
    m_counter->setObjectName(QStringLiteral("lblCounter"));
    m_previous->setObjectName(QStringLiteral("cmdPrevious"));
    m_next->setObjectName(QStringLiteral("cmdNext"));
    connect(m_previous, &QPushButton::clicked, this, &frmMessagePreview::showPrevious);
    connect(m_next, &QPushButton::clicked, this, &frmMessagePreview::showNext);

    auto* fields = new QFormLayout;
    fields->addRow(tr("To:"), m_to);
    fields->addRow(tr("Subject:"), m_subject);
    auto* steps = new QHBoxLayout;
    steps->addWidget(m_previous);
    steps->addWidget(m_next);
    steps->addWidget(m_counter, 1);
    auto* box = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    box->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("cmdOK"));
    connect(box, &QDialogButtonBox::accepted, this, &QDialog::accept);
    steps->addWidget(box);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addWidget(m_tabs, 1);
    layout->addLayout(steps);
    resize(640, 520);
}

bool frmMessagePreview::PreviewCurrentAddress() {
    const PreviewPage page = m_preview->current();
    if (page.position == 0) return false;
    m_to->setText(page.message.to);
    m_subject->setText(page.message.subject);
    m_text->setPlainText(page.message.text);
    m_html->showHtml(page.message.html, page.message.inlineImages);
    m_counter->setText(page.counterText());
    return true;
}

void frmMessagePreview::showNext() {
    if (m_preview->next()) PreviewCurrentAddress();
}

void frmMessagePreview::showPrevious() {
    if (m_preview->previous()) PreviewCurrentAddress();
}

QString frmMessagePreview::counterText() const {
    return m_counter->text();
}

QString frmMessagePreview::toText() const {
    return m_to->text();
}

QString frmMessagePreview::subjectText() const {
    return m_subject->text();
}

QString frmMessagePreview::plainText() const {
    return m_text->toPlainText();
}

} // namespace sendora
