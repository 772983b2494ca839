#pragma once
// Test data on database files: a query's first value, new address lists and their catalogue rows.

#include "components/jet/Jet.h"

#include <memory>

namespace sendora::test {

// The first column of the first row of a query on a database file (null when no row).
inline QVariant scalar(const QString& dbPath, const QString& sql) {
    auto db = jet::Database::open(dbPath, jet::Database::OpenMode::ReadOnly);
    auto rs = db->openRecordset(sql);
    return rs->eof() ? QVariant() : rs->value(0);
}

// A new list file with the columns every address list has, and no rows.
inline std::unique_ptr<jet::Database> createAddressList(const QString& file) {
    auto db = jet::Database::create(file);
    db->execute(QStringLiteral(
                    "CREATE TABLE AddressList(EAddress TEXT(255) NOT NULL CONSTRAINT EAddress PRIMARY KEY, "
                    "FirstName TEXT(255), LastName TEXT(255), Title TEXT(255), Sent TEXT(255), [Date] "
                    "TEXT(255), Keyword1 TEXT(255), Keyword2 TEXT(255))"),
                true);
    return db;
}

// Catalogues the list file <name>.mdb as name in the system database.
inline void catalogueList(const QString& systemDb, const QString& name) {
    jet::Database::open(systemDb)->execute(
        QStringLiteral("INSERT INTO List([listname],[listpath],[listdescription]) values(%1,%2,\"\")")
            .arg(jet::quote(name), jet::quote(name + QStringLiteral(".mdb"))));
}

} // namespace sendora::test
