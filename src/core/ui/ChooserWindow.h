#pragma once
// The four chooser windows (group options, delivery options, new list, list tools): one
// button per entry; pressing one closes the window and hands its command to the caller.

#include "core/Catalogue.h"

#include <QDialog>
#include <QIcon>
#include <functional>

namespace sendora {

class ChooserWindow : public QDialog {
    Q_OBJECT
public:
    struct EntryState {
        bool enabled = true;
        QString toolTip;
        QIcon icon;
    };
    ChooserWindow(const ChooserDefinition& definition,
                  const std::function<EntryState(const QString&)>& stateOf, QWidget* parent = nullptr);
    // The command of the pressed entry; empty after Close.
    QString chosenCommand() const { return m_chosen; }

private:
    QString m_chosen;
};

} // namespace sendora
