#pragma once
// The check-list dialog used when list files and the list catalogue disagree.

#include <QDialog>
#include <QStringList>

class QListWidget;

namespace sendora {

class ResyncLists : public QDialog {
    Q_OBJECT
public:
    ResyncLists(const QString& caption, const QString& text, const QStringList& items,
                QWidget* parent = nullptr);
    QStringList checkedItems() const;

private:
    QListWidget* m_list;
};

} // namespace sendora
