// Tables of other kinds of database, copied through a registered reader into the temporary
// schema so that statements reach them like linked tables.

#include "components/jet/JetInternal.h"

#include <QMutex>
#include <sqlite3.h>

namespace jet {

namespace {
QMutex openerLock;
ExternalTableOpener& opener() {
    static ExternalTableOpener o;
    return o;
}
} // namespace

void setExternalTableOpener(ExternalTableOpener o) {
    const QMutexLocker lock(&openerLock);
    opener() = std::move(o);
}

void Database::linkExternalTable(const QString& localName, const QString& connect,
                                 const QString& sourceTable) {
    d->ensureOpen();
    if (d->txDepth > 0) throw Error(ErrGeneric, QStringLiteral("Cannot link a table inside a transaction."));
    ExternalTableOpener open;
    {
        const QMutexLocker lock(&openerLock);
        open = opener();
    }
    if (!open)
        throw Error(3170, QStringLiteral("Couldn't find installable ISAM for '%1'.").arg(connect.trimmed()));
    QString error;
    std::unique_ptr<ExternalRows> rows = open(connect, sourceTable, error);
    if (!rows)
        throw Error(
            ErrTableNotFound,
            error.isEmpty()
                ? QStringLiteral("The database engine cannot find the input table '%1'.").arg(sourceTable)
                : error);
    detail::DatabaseCore::TableModel m;
    m.schema = QStringLiteral("temp");
    m.name = QStringLiteral("__jet_ext_") + localName.toLower();
    for (const FieldDef& f : rows->fields()) {
        detail::ColumnDef c;
        c.name = f.name;
        c.type = f.type == FieldType::Counter ? FieldType::Long : f.type;
        c.size = f.type == FieldType::Text ? (f.size > 0 ? std::min(f.size, 255) : 255) : 0;
        m.columns.push_back(c);
    }
    if (m.columns.empty())
        throw Error(ErrGeneric, QStringLiteral("The table '%1' has no fields.").arg(sourceTable));
    unlinkTable(localName);
    d->exec(QStringLiteral("DROP TABLE IF EXISTS temp.") + detail::sqlIdent(m.name));
    d->exec(d->createSql(m));
    QStringList marks;
    for (size_t i = 0; i < m.columns.size(); ++i)
        marks << QStringLiteral("?");
    try {
        beginTransaction();
        {
            const detail::StmtPtr ins = d->prepared(QStringLiteral("INSERT INTO temp.%1 VALUES(%2)")
                                                        .arg(detail::sqlIdent(m.name), marks.join(u',')),
                                                    false, sourceTable);
            QVariantList row;
            while (rows->next(row)) {
                sqlite3_reset(ins.get());
                for (int i = 0; i < int(m.columns.size()); ++i)
                    detail::bindValue(ins.get(), i + 1, row.value(i), m.columns[size_t(i)].type);
                d->step(ins.get(), sourceTable);
                if (d->keepGoing && !d->keepGoing())
                    throw Error(ErrCanceled, QStringLiteral("Operation canceled by user."));
            }
        }
        if (!rows->errorText().isEmpty()) throw Error(ErrGeneric, rows->errorText());
        commit();
    } catch (...) {
        if (d->txDepth > 0) rollback();
        d->exec(QStringLiteral("DROP TABLE IF EXISTS temp.") + detail::sqlIdent(m.name));
        throw;
    }
    d->links.insert(localName.toLower(), qMakePair(QStringLiteral("temp"), m.name));
    d->linkNames.insert(localName.toLower(), localName);
    d->clearCaches();
}

} // namespace jet
