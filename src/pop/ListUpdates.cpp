#include "pop/ListUpdates.h"

#include "components/jet/Jet.h"
#include "core/AppContext.h"
#include "core/ErrorLog.h"
#include "core/ListActions.h"
#include "core/SystemDatabase.h"

#include <QFileInfo>

namespace sendora::pop {

namespace {

const QString kTable = QStringLiteral("AddressList");

} // namespace

QString addWithDateStatement(const QString& target, const QString& source, const QString& path) {
    return QStringLiteral(
               "INSERT INTO [%1](EAddress, FirstName, LastName, [Date]) SELECT EAddress, FirstName, "
               "LastName, [Date] FROM [%2] IN \"%3\";")
        .arg(target, source, path);
}

QString addStatement(const QString& target, const QString& source, const QString& path) {
    return QStringLiteral(
               "INSERT INTO [%1](EAddress, FirstName, LastName) SELECT EAddress, FirstName, LastName "
               "FROM [%2] IN \"%3\";")
        .arg(target, source, path);
}

QString removeStatement(const QString& target, const QString& source, const QString& path) {
    return QStringLiteral("DELETE * FROM  [%1] WHERE EAddress In  (SELECT EAddress FROM [%2] IN \"%3\");")
        .arg(target, source, path);
}

namespace {

// Runs one statement on a list file in a transaction of its own; the rows it changed.
qint64 runOn(const QString& file, const QString& sql) {
    auto db = jet::Database::open(file);
    db->beginTransaction();
    try {
        db->execute(sql);
        const qint64 n = db->recordsAffected();
        db->commit();
        return n;
    } catch (...) {
        db->rollback();
        throw;
    }
}

QString fileOf(AppContext& ctx, const QString& listName) {
    const QString file = GetListPath(ctx, listName);
    return file.isEmpty() ? QString() : ctx.paths.listFile(file);
}

} // namespace

ListUpdateResult applyToLists(AppContext& ctx, const QString& tempListPath, const QStringList& lists,
                              bool adding, bool globalRemove) {
    ListUpdateResult r;
    QStringList targets = lists;
    if (globalRemove) targets << kGlobalRemoveListName;
    for (qsizetype i = 0; i < targets.size(); ++i) {
        const QString& name = targets[i];
        const bool global = globalRemove && i == targets.size() - 1;
        const QString file = global ? ctx.paths.listFile(kGlobalRemoveListFile) : fileOf(ctx, name);
        if (file.isEmpty() || !QFileInfo::exists(file)) {
            r.ok = false;
            r.message =
                QStringLiteral("Could not locate the list '%1'; it and the lists after it were not updated.")
                    .arg(name);
            return r;
        }
        try {
            ListCount c;
            c.listName = name;
            if (global)
                c.added = runOn(file, addWithDateStatement(kTable, kTable, tempListPath));
            else if (adding)
                c.added = runOn(file, addStatement(kTable, kTable, tempListPath));
            else
                c.removed = runOn(file, removeStatement(kTable, kTable, tempListPath));
            r.counts << c;
        } catch (const std::exception& e) {
            LogError(ctx, QStringLiteral("UpdateLists in frmPOPWizard"), errorInfo(e), false);
            r.ok = false;
            r.message =
                QStringLiteral("The list '%1' could not be updated: %2\r\nIt and the lists after it were "
                               "not changed.")
                    .arg(name, errorInfo(e).description);
            return r;
        }
    }
    return r;
}

} // namespace sendora::pop
