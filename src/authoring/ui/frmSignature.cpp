#include "authoring/ui/frmSignature.h"

#include "authoring/ui/frmConfiguration.h"
#include "core/AppContext.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace sendora {

namespace {
bool isSignatures(SnippetStore::Kind kind) {
    return kind == SnippetStore::Kind::Signatures;
}
} // namespace

SnippetEditor::SnippetEditor(AppContext& ctx, SnippetStore::Kind kind, const QString& originalDescription,
                             QWidget* parent)
    : QDialog(parent), m_ctx(ctx), m_store(ctx, kind), m_original(originalDescription),
      m_description(new QLineEdit(this)), m_text(new QPlainTextEdit(this)) {
    m_description->setObjectName(QStringLiteral("txtDescription"));
    m_text->setObjectName(isSignatures(kind) ? QStringLiteral("txtSignature")
                                             : QStringLiteral("txtButtonCode"));
    auto* form = new QFormLayout;
    form->addRow(tr("Description:"), m_description);
    form->addRow(isSignatures(kind) ? tr("Signature:") : tr("Button code:"), m_text);
    auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    box->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("cmdOK"));
    box->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("cmdCancel"));
    connect(box, &QDialogButtonBox::accepted, this, &SnippetEditor::pressOk);
    connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form, 1);
    layout->addWidget(box);
    if (const std::optional<Snippet> entry = m_store.find(originalDescription)) {
        QString text = entry->text;
        if (isSignatures(kind)) text.replace(QLatin1String("<br>"), QLatin1String("\n"));
        setTexts(entry->description, text);
    }
    resize(420, 300);
}

void SnippetEditor::setTexts(const QString& description, const QString& text) {
    m_description->setText(description);
    m_text->setPlainText(text);
}

bool SnippetEditor::pressOk() {
    const QString description = m_description->text();
    const QString text = m_text->toPlainText();
    const Notice refusal = m_original.isEmpty() ? m_store.add(description, text)
                                                : m_store.replace(m_original, description, text);
    if (refusal) {
        refusal.show(*m_ctx.ui);
        return false;
    }
    m_saved = description;
    accept();
    return true;
}

frmSignature::frmSignature(AppContext& ctx, const QString& originalDescription, QWidget* parent)
    : SnippetEditor(ctx, SnippetStore::Kind::Signatures, originalDescription, parent) {
    setObjectName(QStringLiteral("frmSignature"));
    setWindowTitle(tr("Signature"));
}

frmHumanClick::frmHumanClick(AppContext& ctx, const QString& originalDescription, QWidget* parent)
    : SnippetEditor(ctx, SnippetStore::Kind::ClickCodes, originalDescription, parent) {
    setObjectName(QStringLiteral("frmHumanClick"));
    setWindowTitle(tr("Button Profile"));
}

frmSnippetChooser::frmSnippetChooser(AppContext& ctx, SnippetStore::Kind kind, QWidget* parent)
    : QDialog(parent), m_ctx(ctx), m_store(ctx, kind), m_list(new QListWidget(this)),
      m_empty(new QLabel(this)) {
    setObjectName(QStringLiteral("frmSnippetChooser"));
    setWindowTitle(isSignatures(kind) ? tr("Insert Signature") : tr("Insert Button Code"));
    m_list->setObjectName(QStringLiteral("lstEntries"));
    m_empty->setText(isSignatures(kind) ? tr("No signatures yet: press Add... to write one.")
                                        : tr("No button profiles yet: press Add... to enter one."));
    auto* box = new QDialogButtonBox(this);
    QPushButton* insert = box->addButton(tr("&Insert"), QDialogButtonBox::AcceptRole);
    insert->setObjectName(QStringLiteral("cmdInsert"));
    QPushButton* add = box->addButton(tr("&Add..."), QDialogButtonBox::ActionRole);
    add->setObjectName(QStringLiteral("cmdAdd"));
    QPushButton* manage = box->addButton(tr("&Manage..."), QDialogButtonBox::ActionRole);
    manage->setObjectName(QStringLiteral("cmdManage"));
    QPushButton* cancel = box->addButton(QDialogButtonBox::Cancel);
    cancel->setObjectName(QStringLiteral("cmdCancel"));
    connect(insert, &QPushButton::clicked, this, &frmSnippetChooser::choose);
    connect(add, &QPushButton::clicked, this, &frmSnippetChooser::addEntry);
    connect(manage, &QPushButton::clicked, this, &frmSnippetChooser::manageEntries);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_list, &QListWidget::itemDoubleClicked, this, &frmSnippetChooser::choose);
    connect(m_list, &QListWidget::currentRowChanged, this,
            [insert](int row) { insert->setEnabled(row >= 0); });
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_empty);
    layout->addWidget(m_list, 1);
    layout->addWidget(box);
    fill(QString());
    insert->setEnabled(m_list->currentRow() >= 0);
    resize(360, 300);
}

void frmSnippetChooser::fill(const QString& select) {
    m_list->clear();
    m_list->addItems(m_store.descriptions());
    m_empty->setVisible(m_list->count() == 0);
    const QList<QListWidgetItem*> found = m_list->findItems(select, Qt::MatchExactly);
    m_list->setCurrentRow(found.isEmpty() ? (m_list->count() ? 0 : -1) : m_list->row(found.first()));
}

void frmSnippetChooser::addEntry() {
    std::unique_ptr<SnippetEditor> editor;
    if (m_store.kind() == SnippetStore::Kind::Signatures)
        editor = std::make_unique<frmSignature>(m_ctx, QString(), this);
    else
        editor = std::make_unique<frmHumanClick>(m_ctx, QString(), this);
    if (editor->exec() == QDialog::Accepted) fill(editor->savedDescription());
}

void frmSnippetChooser::manageEntries() {
    const QString current = m_list->currentItem() ? m_list->currentItem()->text() : QString();
    frmConfiguration::ShowOptions(m_ctx,
                                  m_store.kind() == SnippetStore::Kind::Signatures
                                      ? frmConfiguration::Signature
                                      : frmConfiguration::LivePerson,
                                  this);
    fill(current);
}

void frmSnippetChooser::choose() {
    QListWidgetItem* item = m_list->currentItem();
    if (!item) return;
    if (const std::optional<Snippet> entry = m_store.find(item->text())) {
        m_chosen = *entry;
        accept();
    }
}

} // namespace sendora
