#pragma once
// The drag-and-drop pair of the import wizards' field pages: a list whose field names leave
// as plain text, and the trays that take one each.

#include <QLineEdit>
#include <QListWidget>
#include <functional>

namespace sendora {

// Dragged field names travel as plain text, so a tray can take them.
class FieldList : public QListWidget {
public:
    using QListWidget::QListWidget;

protected:
    QMimeData* mimeData(const QList<QListWidgetItem*>& items) const override;
};

// A tray: takes a field name dropped on it; its shortcut menu's Remove empties it.
class FieldTray : public QLineEdit {
    Q_OBJECT
public:
    explicit FieldTray(QWidget* parent = nullptr);
    std::function<void(const QString&)> changed;

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
};

} // namespace sendora
