#include "core/ui/OpenDeleteDialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace sendora {

OpenDeleteDialog::OpenDeleteDialog(OpenDeleteModel& model, QWidget* parent)
    : QDialog(parent), m_model(model), m_names(new QListWidget(this)),
      m_description(new QPlainTextEdit(this)) {
    setObjectName(QStringLiteral("frmOpenDelete"));
    setWindowTitle(model.title());

    auto* prompt = new QLabel(model.prompt(), this);
    prompt->setObjectName(QStringLiteral("lblPrompt"));
    m_names->setObjectName(QStringLiteral("lstNames"));
    m_names->setSelectionMode(model.multiSelect() ? QAbstractItemView::ExtendedSelection
                                                  : QAbstractItemView::SingleSelection);
    m_names->addItems(model.names());

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(prompt);
    if (model.showsNameBox()) {
        m_name = new QLineEdit(this);
        m_name->setObjectName(QStringLiteral("txtName"));
        m_name->setText(model.currentName.startsWith(kNewMessagePrefix) ? QString() : model.currentName);
        layout->addWidget(m_name);
    }
    layout->addWidget(m_names, 1);
    auto* descriptionLabel = new QLabel(tr("Description:"), this);
    descriptionLabel->setObjectName(QStringLiteral("lblDescription"));
    layout->addWidget(descriptionLabel);
    m_description->setObjectName(QStringLiteral("txtDescription"));
    m_description->setReadOnly(!model.descriptionEditable());
    m_description->setMaximumHeight(90);
    layout->addWidget(m_description);

    const DialogButtonCaptions captions = model.buttons();
    auto* box = new QDialogButtonBox(this);
    auto* ok = box->addButton(captions.ok, QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("cmdOK"));
    ok->setDefault(true);
    if (!captions.dontSave.isEmpty()) {
        auto* dontSave = box->addButton(captions.dontSave, QDialogButtonBox::DestructiveRole);
        dontSave->setObjectName(QStringLiteral("cmdDontSave"));
        connect(dontSave, &QPushButton::clicked, this, [this] {
            m_model.dontSave();
            done(QDialog::Accepted);
        });
    }
    auto* cancel = box->addButton(captions.cancel, QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("cmdCancel"));
    layout->addWidget(box);

    connect(ok, &QPushButton::clicked, this, &OpenDeleteDialog::pressOk);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_names, &QListWidget::itemSelectionChanged, this, &OpenDeleteDialog::showSelection);
    connect(m_names, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem* item) {
        m_names->setCurrentItem(item);
        item->setSelected(true);
        pressOk();
    });
    resize(420, 380);
}

QStringList OpenDeleteDialog::selectedNames() const {
    QStringList names;
    for (int i = 0; i < m_names->count(); ++i)
        if (m_names->item(i)->isSelected()) names << m_names->item(i)->text();
    return names;
}

void OpenDeleteDialog::showSelection() {
    const QStringList selected = selectedNames();
    if (selected.isEmpty()) return;
    const QString name = m_names->currentItem() && m_names->currentItem()->isSelected()
                             ? m_names->currentItem()->text()
                             : selected.first();
    if (m_name) m_name->setText(name);
    m_description->setPlainText(m_model.description(name));
}

void OpenDeleteDialog::pressOk() {
    if (m_model.accept(selectedNames(), m_name ? m_name->text() : QString(), m_description->toPlainText()))
        done(QDialog::Accepted);
}

SaveResult OpenSaveDelete(AppContext& ctx, CatalogueKind kind, CatalogueOperation op, QWidget* parent) {
    OpenDeleteModel model(ctx, kind, op);
    if (!model.offered()) return SaveResult::Cancelled;
    OpenDeleteDialog dialog(model, parent);
    dialog.exec();
    return model.result();
}

} // namespace sendora
