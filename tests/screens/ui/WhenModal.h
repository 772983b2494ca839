#pragma once
// Runs f on the next modal dialog once it is up (the caller then starts what opens it).

#include <QApplication>
#include <QDialog>
#include <QTimer>
#include <functional>

namespace sendora::test {

inline void whenModal(std::function<void(QDialog*)> f, int tries = 500) {
    QTimer::singleShot(10, qApp, [f, tries] {
        if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
            f(d);
        else if (tries > 0)
            whenModal(f, tries - 1);
    });
}

} // namespace sendora::test
