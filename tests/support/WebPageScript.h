#pragma once
// Reads a value out of a web page for the tests of the web composer and the windows on it.

#include <QTest>
#include <QVariant>
#include <QWebEnginePage>
#include <QWebEngineScript>

namespace sendora::test {

// The result of script in page; an invalid value (with a warning) when the page does not answer
// within five seconds.
inline QVariant evaluate(QWebEnginePage* page, const QString& script) {
    QVariant out;
    bool done = false;
    page->runJavaScript(script, QWebEngineScript::ApplicationWorld, [&](const QVariant& v) {
        out = v;
        done = true;
    });
    if (!QTest::qWaitFor([&] { return done; }, 5000)) qWarning("page did not answer");
    return out;
}

} // namespace sendora::test
