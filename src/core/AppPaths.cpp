#include "core/AppPaths.h"

#include <QDir>
#include <QFileInfo>

namespace sendora {

QString withTrailingSlash(const QString& folder) {
    if (folder.endsWith(u'/')) return folder;
    return folder + u'/';
}

AppPaths AppPaths::forFolder(const QString& folder) {
    AppPaths p;
    p.app = withTrailingSlash(QDir::cleanPath(QFileInfo(folder).absoluteFilePath()));
    p.system = p.app + QStringLiteral("system/");
    p.addressLists = p.app + QStringLiteral("AddressLists/");
    p.mailings = p.app + QStringLiteral("Mailings/");
    p.messages = p.app + QStringLiteral("Messages/");
    p.attach = p.app + QStringLiteral("Attach/");
    p.mailEventProfiles = p.app + QStringLiteral("MailEventProfiles/");
    p.mailboxes = p.app + QStringLiteral("Mailboxes/");
    p.temp = p.app + QStringLiteral("temp/");
    p.dsTemp = p.app + QStringLiteral("DSTemp/");
    p.templates = p.app + QStringLiteral("Templates/");
    p.searchFiles = p.app + QStringLiteral("Search Files/");
    p.help = p.app + QStringLiteral("help/");
    return p;
}

bool AppPaths::createMissingFolders(QString* failed) const {
    // Messages/ and help/ are only paths; they are never created here.
    const QString order[] = {templates, addressLists, system,      attach, mailEventProfiles,
                             mailboxes, mailings,     searchFiles, temp,   dsTemp};
    for (const QString& folder : order) {
        if (QFileInfo(folder).isDir()) continue;
        if (!QDir().mkpath(folder)) {
            if (failed) *failed = folder;
            return false;
        }
    }
    return true;
}

QString resolveApplicationFolder(const QString& dataDirArgument, const QString& executableFolder) {
    if (!dataDirArgument.isEmpty())
        return withTrailingSlash(QDir::cleanPath(QFileInfo(dataDirArgument).absoluteFilePath()));
    const QString home = qEnvironmentVariable("SENDORA_HOME");
    if (!home.isEmpty()) return withTrailingSlash(QDir::cleanPath(QFileInfo(home).absoluteFilePath()));
    return withTrailingSlash(QDir::cleanPath(executableFolder));
}

} // namespace sendora
