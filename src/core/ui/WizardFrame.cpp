#include "core/ui/WizardFrame.h"

#include <QDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace sendora::wizard {

QLabel* wrapped(const QString& text, QWidget* parent) {
    auto* l = new QLabel(text, parent);
    l->setWordWrap(true);
    return l;
}

QLabel* titleLabel(QWidget* parent, qreal scale) {
    auto* title = named(new QLabel(parent), "lblTitle");
    QFont big = title->font();
    big.setBold(true);
    if (scale != 1.0) big.setPointSizeF(big.pointSizeF() * scale);
    title->setFont(big);
    return title;
}

QHBoxLayout* navRow(std::initializer_list<QPushButton*> buttons, bool autoDefault, QWidget* left) {
    auto* nav = new QHBoxLayout;
    if (left) nav->addWidget(left);
    nav->addStretch();
    for (QPushButton* b : buttons) {
        if (!autoDefault) b->setAutoDefault(false);
        nav->addWidget(b);
    }
    return nav;
}

QVBoxLayout* frame(QDialog* dialog, QLabel* title, QStackedWidget* pages, QLayout* nav, int pagesStretch) {
    auto* layout = new QVBoxLayout(dialog);
    if (title) layout->addWidget(title);
    layout->addWidget(pages, pagesStretch);
    layout->addLayout(nav);
    return layout;
}

} // namespace sendora::wizard
