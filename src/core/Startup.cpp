#include "core/Startup.h"

#include "components/jet/Jet.h"
#include "core/AppContext.h"
#include "core/ErrorLog.h"
#include "core/SystemDatabase.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>

namespace sendora {

int compareVersions(const QString& a, const QString& b) {
    const QStringList left = a.split(u'.');
    const QStringList right = b.split(u'.');
    for (int i = 0; i < std::max(left.size(), right.size()); ++i) {
        const qlonglong l = i < left.size() ? left[i].trimmed().toLongLong() : 0;
        const qlonglong r = i < right.size() ? right[i].trimmed().toLongLong() : 0;
        if (l != r) return l < r ? -1 : 1;
    }
    return 0;
}

Startup::Startup(AppContext& ctx)
    : htmlComponentVersion(QString::fromLatin1(qVersion())), storageEngineVersion(jet::engineVersion()),
      m_ctx(ctx) {}

Startup::~Startup() = default;

bool Startup::fail(const QString& why) {
    m_failure = why;
    return false;
}

bool Startup::checkPlatform() {
    // The HTML view must be newer than this; "10.0" is newer than "4.72".
    if (compareVersions(htmlComponentVersion, QStringLiteral("4.72.2106.8")) <= 0) {
        m_ctx.ui->message(
            QStringLiteral(
                "Sendora cannot detect a version of Internet Explorer greater\r\nthen version 4.01. This "
                "version of Internet Explorer is required\r\nin order for the components of Sendora to "
                "function correctly. Please contact support."),
            Buttons::OK, Icon::Information);
        return fail(QStringLiteral("the HTML view component is too old (%1)").arg(htmlComponentVersion));
    }
    if (!versionAtLeast(storageEngineVersion, kRequiredEngineVersion)) {
        m_ctx.ui->message(
            QStringLiteral("Please install the latest version of MDAC.\r\nThis installation can be found "
                           "in the Sendora\r\ndirectory. The name of the file is MDAC_TYP.EXE"),
            Buttons::OK, Icon::Information);
        return fail(QStringLiteral("the SQLite library is too old (%1, need %2)")
                        .arg(storageEngineVersion, kRequiredEngineVersion));
    }
    return true;
}

QString folderWriteProblem(const QString& folder) {
    QFile probe(QDir(folder).filePath(QStringLiteral(".sendora-write-test")));
    if (!probe.open(QIODevice::WriteOnly)) return probe.errorString();
    probe.close();
    probe.remove();
    return {};
}

bool Startup::claimFolder() {
    // One instance per application folder: a lock file there, released when the run ends
    // (or found stale after a crash).
    QDir().mkpath(m_ctx.paths.app);
    m_lock = std::make_unique<QLockFile>(m_ctx.paths.instanceLock());
    m_lock->setStaleLockTime(0);
    if (m_lock->tryLock(0)) return true;
    if (m_lock->error() != QLockFile::LockFailedError) {
        // No other instance: the lock file could not be made, so nothing else could be either.
        QString reason = folderWriteProblem(m_ctx.paths.app);
        if (reason.isEmpty())
            reason = QStringLiteral("The file %1 could not be created.")
                         .arg(QDir::toNativeSeparators(m_ctx.paths.instanceLock()));
        m_ctx.ui->message(QStringLiteral("Sendora cannot write to its folder %1\r\n%2\r\nPlease make the "
                                         "folder writable or run Sendora from a different directory.")
                              .arg(QDir::toNativeSeparators(m_ctx.paths.app), reason),
                          Buttons::OK, Icon::Critical);
        return fail(QStringLiteral("the folder %1 is not writable: %2").arg(m_ctx.paths.app, reason));
    }
    m_ctx.ui->message(
        QStringLiteral("You are attempting to run %1 instances of Sendora from the same directory.\r\n"
                       "This may corrupt system files and Sendora will now shutdown. Please run\r\n"
                       "Sendora from a different directory. If you need assistance please contact\r\n"
                       "support.")
            .arg(2),
        Buttons::OK, Icon::Information);
    return fail(QStringLiteral("another instance is running from %1").arg(m_ctx.paths.app));
}

void Startup::cleanTemporaryLists() {
    const QDir temp(m_ctx.paths.temp);
    for (const QString& f : temp.entryList({QStringLiteral("*.mdb")}, QDir::Files))
        QFile::remove(temp.filePath(f));
}

bool Startup::run() {
    AppContext& ctx = m_ctx;
    const QString sdr = ctx.paths.systemDatabase();

    if (QFileInfo::exists(sdr)) updateDatabase(ctx);
    if (!checkPlatform() || !claimFolder()) return false;

    QString failedFolder;
    if (!ctx.paths.createMissingFolders(&failedFolder)) {
        ctx.ui->message(QStringLiteral("Could not create the folder ") + failedFolder, Buttons::OK,
                        Icon::Critical);
        return fail(QStringLiteral("could not create the folder %1").arg(failedFolder));
    }

    ctx.settingsFile.setPath(ctx.paths.settingsFile());
    ctx.settings.startState = readStartState(ctx.settingsFile);
    if (!ctx.settingsFile.exists()) writeFirstRunSettings(ctx.settingsFile, ctx.settings);
    loadApplicationDefaults(ctx.settingsFile, ctx.settings);

    cleanTemporaryLists();
    ctx.defaultProfileName = kDefaultProfileName;
    ctx.tempListCounter = 0;

    if (QFileInfo::exists(sdr)) {
        QFile::setPermissions(sdr, QFile::permissions(sdr) | QFile::WriteOwner | QFile::ReadOwner);
        if (!VerifyAndUpgradeSystemDatabase(ctx))
            return fail(QStringLiteral("the system database %1 could not be brought up to date").arg(sdr));
    }
    if (!QFileInfo::exists(sdr) && !CreateSendoraDatabase(ctx))
        return fail(QStringLiteral("the system database %1 could not be created").arg(sdr));
    if (!QFileInfo::exists(ctx.paths.listFile(kGlobalRemoveListFile))) CreateGlobalRemoveList(ctx);

    ctx.windows().showMainWindow();
    ctx.ui->setBusy(true);
    gSyncronizeAddressLists(ctx);
    VerifyDefaultProfile(ctx);
    ctx.windows().mainWindowReady();
    ctx.ui->setBusy(false);
    return true;
}

} // namespace sendora
