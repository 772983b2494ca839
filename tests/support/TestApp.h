#pragma once
// A fresh application folder in a temporary directory with a scripted user interface.

#include "core/AppContext.h"
#include "core/Startup.h"
#include "support/ScriptedUserInterface.h"

#include <QTemporaryDir>
#include <memory>

namespace sendora::test {

struct TestApp {
    QTemporaryDir dir;
    ScriptedUserInterface ui;
    WindowHost host;
    std::unique_ptr<AppContext> ctx;

    explicit TestApp(WindowHost* customHost = nullptr) {
        ctx = std::make_unique<AppContext>(dir.path(), &ui, customHost ? customHost : &host);
    }
    QString path(const QString& relative) const { return dir.filePath(relative); }
    // Folders and settings as start-up leaves them, without the database.
    void layOut() {
        ctx->paths.createMissingFolders();
        ctx->settingsFile.setPath(ctx->paths.settingsFile());
    }
    // Start-up run through (answering the sample data question), its messages cleared.
    void start(bool sampleData = false) {
        ui.answers = {sampleData ? Answer::Yes : Answer::No};
        Startup s(*ctx);
        if (!s.run()) qFatal("start-up failed: %s", qPrintable(s.failureText()));
        ui.clear();
    }
};

} // namespace sendora::test
