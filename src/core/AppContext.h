#pragma once
// Everything a run keeps for its whole life: folders, settings, the user-interface seam
// and the window host. One object per run (tests make one per case).

#include "core/AppPaths.h"
#include "core/IniFile.h"
#include "core/Settings.h"
#include "core/UserInterface.h"
#include "core/Version.h"
#include "core/WindowHost.h"

namespace sendora {

struct AppContext {
    AppPaths paths;
    IniFile settingsFile;
    AppSettings settings;
    UserInterface* ui = nullptr;
    WindowHost* host = nullptr;
    VersionNumber version;
    QString defaultProfileName = kDefaultProfileName;
    int tempListCounter = 0; // next NewMailingList<n>.mdb number

    AppContext(const QString& applicationFolder, UserInterface* ui_, WindowHost* host_)
        : paths(AppPaths::forFolder(applicationFolder)), settingsFile(paths.settingsFile()), ui(ui_),
          host(host_) {}

    WindowHost& windows() {
        static WindowHost none;
        return host ? *host : none;
    }
};

} // namespace sendora
