#include "import/ui/FieldTray.h"

#include <QContextMenuEvent>
#include <QMenu>
#include <QMimeData>

namespace sendora {

QMimeData* FieldList::mimeData(const QList<QListWidgetItem*>& items) const {
    auto* mime = new QMimeData;
    if (!items.isEmpty()) mime->setText(items.first()->text());
    return mime;
}

FieldTray::FieldTray(QWidget* parent) : QLineEdit(parent) {
    setReadOnly(true);
    setAcceptDrops(true);
}

void FieldTray::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasText()) event->acceptProposedAction();
}

void FieldTray::dragMoveEvent(QDragMoveEvent* event) {
    if (event->mimeData()->hasText()) event->acceptProposedAction();
}

void FieldTray::dropEvent(QDropEvent* event) {
    setText(event->mimeData()->text());
    if (changed) changed(text());
    event->acceptProposedAction();
}

void FieldTray::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    QAction* remove = menu.addAction(QStringLiteral("Remove"));
    if (menu.exec(event->globalPos()) == remove) {
        clear();
        if (changed) changed(QString());
    }
}

} // namespace sendora
