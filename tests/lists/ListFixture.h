#pragma once
// A list file in a fresh application folder, filled with generated addresses.

#include "components/jet/Jet.h"
#include "support/TestApp.h"

#include <QFile>

namespace sendora::test {

struct ListFixture {
    TestApp app;
    QString file;

    // keyed: the key of a list created by statement; without it, imports' duplicates can exist.
    explicit ListFixture(bool temporary = false, bool keyed = true) {
        app.layOut();
        file = temporary ? app.ctx->paths.temp + QStringLiteral("NewMailingList0.mdb")
                         : app.ctx->paths.listFile(QStringLiteral("Customers.mdb"));
        auto db = jet::Database::create(file);
        db->execute(QStringLiteral("CREATE TABLE AddressList(EAddress TEXT(255) %1, FirstName TEXT(255), "
                                   "LastName TEXT(255), Company TEXT(255));")
                        .arg(keyed ? QStringLiteral("NOT NULL CONSTRAINT EAddress PRIMARY KEY") : QString()),
                    true);
    }
    // Rows "user<i>@<domain>" with FirstName "F<i padded>" so that name order is number order.
    void fill(int count, const QString& domain = QStringLiteral("x.com")) {
        add([&](int i) { return QStringLiteral("user%1@%2").arg(i).arg(domain); }, count);
    }
    template <class AddressOf> void add(AddressOf addressOf, int count) {
        auto db = jet::Database::open(file);
        auto st =
            db->prepareStatement(QStringLiteral("INSERT INTO AddressList (EAddress, FirstName, Company) "
                                                "VALUES (%1, %2, %3)")
                                     .arg(jet::param(1), jet::param(2), jet::param(3)));
        db->beginTransaction();
        for (int i = 0; i < count; ++i) {
            st->bind(1, addressOf(i));
            st->bind(2, QStringLiteral("F%1").arg(i, 7, 10, QLatin1Char('0')));
            st->bind(3, QVariant());
            st->execute();
        }
        db->commit();
    }
    qint64 count(const QString& where = {}) const {
        auto db = jet::Database::open(file, jet::Database::OpenMode::ReadOnly);
        auto rs = db->openRecordset(QStringLiteral("SELECT COUNT(*) AS n FROM AddressList ") + where);
        return rs->value(0).toLongLong();
    }
};

} // namespace sendora::test
