#pragma once
// The frame the wizard windows share: an optional bold caption over the stacked pages and a
// row of navigation buttons under them, plus the small widget makers their pages use.

#include <QPushButton>
#include <QString>
#include <initializer_list>

class QDialog;
class QHBoxLayout;
class QLabel;
class QLayout;
class QStackedWidget;
class QVBoxLayout;

namespace sendora::wizard {

template <class W> W* named(W* w, const char* name) {
    w->setObjectName(QLatin1String(name));
    return w;
}

QLabel* wrapped(const QString& text, QWidget* parent);

// The "lblTitle" caption: the parent's font in bold, enlarged by `scale`.
QLabel* titleLabel(QWidget* parent, qreal scale = 1.0);

// A button on `owner` whose click calls `slot`; a null `name` leaves the object name empty.
template <class Owner, class Slot>
QPushButton* navButton(Owner* owner, const QString& caption, const char* name, Slot slot) {
    auto* b = new QPushButton(caption, owner);
    if (name) b->setObjectName(QLatin1String(name));
    QObject::connect(b, &QPushButton::clicked, owner, slot);
    return b;
}

// The buttons right-aligned; `left` (if any) stays at the left edge. Wizards that page with
// Enter in their fields turn autoDefault off so Enter does not press Back.
QHBoxLayout* navRow(std::initializer_list<QPushButton*> buttons, bool autoDefault = true,
                    QWidget* left = nullptr);

// Lays out `dialog`: the caption (if any), the pages, then `nav`.
QVBoxLayout* frame(QDialog* dialog, QLabel* title, QStackedWidget* pages, QLayout* nav, int pagesStretch = 1);

} // namespace sendora::wizard
