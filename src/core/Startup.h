#pragma once
// The start-up routine: platform checks, folders, settings, the system database and the
// Global Remove List, then the main window through the window host.

#include <QString>
#include <memory>

class QLockFile;

namespace sendora {

struct AppContext;

class Startup {
public:
    explicit Startup(AppContext& ctx);
    ~Startup();

    // Runs every step. Returns false when start-up ended (a message has been shown);
    // failureText() then says why in one line for the command line.
    bool run();
    QString failureText() const { return m_failure; }

    // Platform check inputs; tests replace them.
    QString htmlComponentVersion; // our HTML view component's version
    QString storageEngineVersion; // the SQLite library's version

private:
    bool fail(const QString& why);
    bool checkPlatform();
    bool claimFolder();
    void cleanTemporaryLists();

    AppContext& m_ctx;
    std::unique_ptr<QLockFile> m_lock;
    QString m_failure;
};

// Why no file can be written in folder (the system's reason); empty when one can.
QString folderWriteProblem(const QString& folder);

// "a.b.c" compared number by number (a missing part counts as 0): <0, 0 or >0.
int compareVersions(const QString& a, const QString& b);
// True when version >= required, compared number by number.
inline bool versionAtLeast(const QString& version, const QString& required) {
    return compareVersions(version, required) >= 0;
}

inline const QString kRequiredEngineVersion = QStringLiteral("3.35.0"); // ALTER TABLE ... DROP COLUMN

} // namespace sendora
