#pragma once
// Catalogued lists and temporary mailbox lists for the POP tests.

#include "components/jet/Jet.h"
#include "support/DbQuery.h"
#include "support/TestApp.h"

namespace sendora::test {

// A catalogued list AddressLists/<name>.mdb holding the addresses.
inline QString makeList(TestApp& app, const QString& name, const QStringList& addresses) {
    const QString file = app.ctx->paths.listFile(name + QStringLiteral(".mdb"));
    auto db = createAddressList(file);
    for (const QString& a : addresses)
        db->execute(QStringLiteral("INSERT INTO AddressList(EAddress) VALUES(%1)").arg(jet::quote(a)));
    catalogueList(app.ctx->paths.systemDatabase(), name);
    return file;
}

inline QStringList addressesIn(const QString& file) {
    QStringList out;
    auto db = jet::Database::open(file, jet::Database::OpenMode::ReadOnly);
    for (auto rs = db->openRecordset(QStringLiteral("SELECT EAddress FROM AddressList ORDER BY EAddress"));
         !rs->eof(); rs->moveNext())
        out << rs->value(0).toString();
    return out;
}

} // namespace sendora::test
