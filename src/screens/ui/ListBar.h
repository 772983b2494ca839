#pragma once
// The list bar on the left of the main window: three groups of large icons whose items
// run main window commands. The group order can be changed and is kept between runs.

#include <QStringList>
#include <QWidget>

class QListWidget;
class QToolBox;

namespace sendora {

class ListBar : public QWidget {
    Q_OBJECT
public:
    ListBar(const QStringList& groupOrder, QWidget* parent = nullptr);

    QStringList groupOrder() const;
    void moveGroup(const QString& group, int delta);
    void setItemState(const QString& command, bool enabled, const QString& toolTip);
    void setLargeIcons(bool large);
    QListWidget* groupList(const QString& group) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

Q_SIGNALS:
    void commandRequested(const QString& command);
    void orderChanged();

private:
    QListWidget* makeGroup(const QString& group);
    void showContextMenu(const QPoint& at);
    void fitItems(QListWidget* list) const;

    QToolBox* m_box;
    bool m_large = true;
};

} // namespace sendora
