#pragma once
#include <QString>

namespace sendora {

// The application folder and every folder derived from it, each with a trailing '/'.
struct AppPaths {
    QString app;
    QString system;
    QString addressLists;
    QString mailings;
    QString messages;
    QString attach;
    QString mailEventProfiles;
    QString mailboxes;
    QString temp;
    QString dsTemp;
    QString templates;
    QString searchFiles;
    QString help;

    static AppPaths forFolder(const QString& folder);

    QString systemDatabase() const { return system + QStringLiteral("Sendora.sdr"); }
    QString upgradeTemp() const { return system + QStringLiteral("sdrtemp.mdb"); }
    QString upgradeOld() const { return system + QStringLiteral("sendora.sdr.old"); }
    QString settingsFile() const { return app + QStringLiteral("Sendora.ini"); }
    QString errorLog() const { return app + QStringLiteral("Errors.log"); }
    QString instanceLock() const { return app + QStringLiteral("Sendora.lock"); }
    QString listFile(const QString& fileName) const { return addressLists + fileName; }

    // Creates the missing folders in start-up order. Returns false when one could not be made.
    bool createMissingFolders(QString* failed = nullptr) const;
};

// The folder that holds the data: --data-dir, else $SENDORA_HOME, else the executable's folder.
QString resolveApplicationFolder(const QString& dataDirArgument, const QString& executableFolder);

// Adds the trailing '/' the rest of the code relies on.
QString withTrailingSlash(const QString& folder);

} // namespace sendora
