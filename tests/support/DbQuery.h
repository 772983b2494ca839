#pragma once
// The first column of the first row of a query on a database file (null when no row).

#include "components/jet/Jet.h"

namespace sendora::test {

inline QVariant scalar(const QString& dbPath, const QString& sql) {
    auto db = jet::Database::open(dbPath, jet::Database::OpenMode::ReadOnly);
    auto rs = db->openRecordset(sql);
    return rs->eof() ? QVariant() : rs->value(0);
}

} // namespace sendora::test
