#include "core/ui/ResyncLists.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace sendora {

ResyncLists::ResyncLists(const QString& caption, const QString& text, const QStringList& items,
                         QWidget* parent)
    : QDialog(parent), m_list(new QListWidget(this)) {
    setObjectName(QStringLiteral("ResyncLists"));
    setWindowTitle(caption);
    auto* label = new QLabel(text, this);
    label->setObjectName(QStringLiteral("lblText"));
    label->setWordWrap(true);
    m_list->setObjectName(QStringLiteral("lstFiles"));
    for (const QString& item : items) {
        auto* row = new QListWidgetItem(item, m_list);
        row->setFlags(row->flags() | Qt::ItemIsUserCheckable);
        row->setCheckState(Qt::Unchecked);
    }
    auto* selectAll = new QPushButton(tr("Select All"), this);
    selectAll->setObjectName(QStringLiteral("cmdSelectAll"));
    auto* close = new QPushButton(tr("Close"), this);
    close->setObjectName(QStringLiteral("cmdClose"));
    close->setDefault(true);
    auto* help = new QPushButton(tr("Help"), this);
    help->setObjectName(QStringLiteral("cmdHelp"));
    help->setEnabled(false); // no help file on this platform

    connect(selectAll, &QPushButton::clicked, this, [this] {
        for (int i = 0; i < m_list->count(); ++i)
            m_list->item(i)->setCheckState(Qt::Checked);
    });
    connect(close, &QPushButton::clicked, this, &QDialog::accept);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(selectAll);
    buttons->addStretch();
    buttons->addWidget(close);
    buttons->addWidget(help);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(m_list, 1);
    layout->addLayout(buttons);
    resize(480, 360);
}

QStringList ResyncLists::checkedItems() const {
    QStringList checked;
    for (int i = 0; i < m_list->count(); ++i)
        if (m_list->item(i)->checkState() == Qt::Checked) checked << m_list->item(i)->text();
    return checked;
}

} // namespace sendora
