#include "components/jet/Jet.h"
#include "core/AppContext.h"
#include "core/ErrorLog.h"
#include "core/SystemDatabase.h"

#include <QDir>
#include <QFileInfo>

namespace sendora {

void gSyncronizeAddressLists(AppContext& ctx) {
    QStringList missing;
    QStringList extra;
    QStringList known;
    try {
        auto db = jet::Database::open(ctx.paths.systemDatabase(), jet::Database::OpenMode::ReadOnly);
        for (auto rs = db->openRecordset(QStringLiteral("List")); !rs->eof(); rs->moveNext()) {
            const QString listPath = rs->value(QStringLiteral("ListPath")).toString();
            known << listPath;
            if (!QFileInfo::exists(ctx.paths.listFile(listPath))) missing << listPath;
        }
    } catch (const std::exception& e) {
        LogError(ctx, QStringLiteral("gSyncronizeAddressLists in mdlDatabaseUtils"), errorInfo(e), true);
        return;
    }

    const QDir dir(ctx.paths.addressLists);
    const QStringList files = dir.entryList({QStringLiteral("*.mdb")}, QDir::Files, QDir::Name);
    for (const QString& file : files) {
        if (file.startsWith(QLatin1String("Import Copy of "), Qt::CaseInsensitive)) continue;
        if (known.contains(file, Qt::CaseInsensitive)) continue;
        try {
            auto list = jet::Database::open(dir.filePath(file), jet::Database::OpenMode::ReadOnly);
            if (IsSendoraDB(*list)) extra << file;
        } catch (const jet::Error& e) {
            ctx.ui->message(
                QStringLiteral("Error #%1 In Synchronize Lists \r\n%2\r\nThe database file may be damaged")
                    .arg(e.number())
                    .arg(e.description()));
        }
    }
    if (!missing.isEmpty() || !extra.isEmpty()) ReSyncAddressLists(ctx, missing, extra);
}

void ReSyncAddressLists(AppContext& ctx, const QStringList& missing, const QStringList& extra) {
    try {
        auto db = jet::Database::open(ctx.paths.systemDatabase());
        if (!missing.isEmpty()) {
            const QStringList remove = ctx.ui->checkList(
                QStringLiteral("Missing Mailing List Files"),
                QStringLiteral(
                    "The following mailing list files are referenced in the Sendora file, but are missing "
                    "from the mailing list directory.  Check those mailing list references that should be "
                    "removed from Sendora."),
                missing);
            for (const QString& listPath : remove)
                db->execute(QStringLiteral("DELETE * FROM List WHERE ListPath = ") + jet::quote(listPath));
        }
        if (!extra.isEmpty()) {
            const QStringList add = ctx.ui->checkList(
                QStringLiteral("Extra Mailing List Files"),
                QStringLiteral(
                    "The following extra mailing list files are present in the mailing list directory, but "
                    "are not referenced in the Sendora file.  Check those files that should be added to "
                    "Sendora."),
                extra);
            for (const QString& file : add) {
                if (file.endsWith(u'*')) continue;
                const QString name = file.left(file.size() - 4); // before ".mdb"
                db->execute(QStringLiteral(
                                "INSERT INTO List([listname],[listpath],[ListDescription]) values(%1,%2,%3)")
                                .arg(jet::quote(name), jet::quote(file),
                                     jet::quote(QStringLiteral("Added at startup"))));
            }
        }
    } catch (const std::exception& e) {
        LogError(ctx, QStringLiteral("ReSyncAddressLists in mdlDatabaseUtils"), errorInfo(e), true);
    }
}

} // namespace sendora
