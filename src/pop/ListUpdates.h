#pragma once
// Applying a mailbox run's temporary list to catalogued lists: adding, removing, and adding
// to the Global Remove List, each with its one statement on the target list's file.

#include <QList>
#include <QString>
#include <QStringList>

namespace sendora {
struct AppContext;
}

namespace sendora::pop {

QString addWithDateStatement(const QString& target, const QString& source, const QString& path);
QString addStatement(const QString& target, const QString& source, const QString& path);
QString removeStatement(const QString& target, const QString& source, const QString& path);

struct ListCount {
    QString listName;
    qint64 added = 0;
    qint64 removed = 0;
};

struct ListUpdateResult {
    bool ok = true;
    QList<ListCount> counts; // one row per list updated, in order
    QString message;         // why the update stopped, for the user
};

// Runs the add (adding) or remove statement on each named list, then, with globalRemove, the
// add-with-date statement on the Global Remove List. Each list's change is committed on its
// own; the first list that cannot be changed stops the rest, and the lists before it stay
// changed (their counts are in the result).
ListUpdateResult applyToLists(AppContext& ctx, const QString& tempListPath, const QStringList& lists,
                              bool adding, bool globalRemove);

} // namespace sendora::pop
