#pragma once
// A refusal or report for the user: the exact text and its icon. Logic returns one; the
// window shows it through UserInterface. An empty text means there is nothing to say.

#include "core/UserInterface.h"

#include <QString>

namespace sendora {

struct Notice {
    QString text;
    Icon icon = Icon::Information;
    QString title = kAppTitle;

    bool isEmpty() const { return text.isEmpty(); }
    explicit operator bool() const { return !text.isEmpty(); }
    // Shows it (OK button) when there is something to say.
    void show(UserInterface& ui) const {
        if (!text.isEmpty()) ui.message(text, Buttons::OK, icon, title);
    }
};

inline Notice information(const QString& text) {
    return {text, Icon::Information, kAppTitle};
}

} // namespace sendora
