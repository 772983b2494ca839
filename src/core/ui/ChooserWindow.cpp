#include "core/ui/ChooserWindow.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace sendora {

ChooserWindow::ChooserWindow(const ChooserDefinition& definition,
                             const std::function<EntryState(const QString&)>& stateOf, QWidget* parent)
    : QDialog(parent) {
    setObjectName(definition.objectName);
    setWindowTitle(definition.caption);
    auto* layout = new QVBoxLayout(this);
    for (const ChooserEntry& entry : definition.entries) {
        const EntryState state = stateOf(entry.command);
        auto* button = new QPushButton(state.icon, entry.caption, this);
        button->setObjectName(QStringLiteral("cmd_") + entry.command);
        button->setEnabled(state.enabled);
        button->setToolTip(state.toolTip);
        button->setIconSize(QSize(24, 24));
        button->setMinimumHeight(34);
        button->setStyleSheet(QStringLiteral("text-align: left; padding-left: 8px;"));
        button->setAutoDefault(false);
        const QString command = entry.command;
        connect(button, &QPushButton::clicked, this, [this, command] {
            m_chosen = command;
            accept();
        });
        layout->addWidget(button);
    }
    auto* close = new QPushButton(tr("&Close"), this);
    close->setObjectName(QStringLiteral("cmdClose"));
    close->setToolTip(tr("Close this screen"));
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(close);
    layout->addSpacing(6);
    layout->addLayout(row);
    setMinimumWidth(340);
}

} // namespace sendora
