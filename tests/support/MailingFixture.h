#pragma once
// A started application (no sample data) with one address list and one message, for the
// mailing engine's tests.

#include "components/jet/Jet.h"
#include "support/DbQuery.h"
#include "support/TestApp.h"

#include <QStringList>

namespace sendora::test {

struct MailingFixture {
    TestApp app;

    MailingFixture() { app.start(); }

    QString sdr() const { return app.ctx->paths.systemDatabase(); }
    QString listFile(const QString& name) const {
        return app.ctx->paths.listFile(name + QStringLiteral(".mdb"));
    }

    // A catalogued list with the given addresses (FirstName "F<i>", LastName "L<i>").
    void makeList(const QString& name, const QStringList& addresses, const QStringList& sent = {}) {
        auto db = jet::Database::create(listFile(name));
        db->execute(
            QStringLiteral("CREATE TABLE AddressList(EAddress TEXT(255) NOT NULL CONSTRAINT EAddress PRIMARY "
                           "KEY, FirstName TEXT(255), LastName TEXT(255), Title TEXT(255), Sent TEXT(255), "
                           "[Date] TEXT(255), Keyword1 TEXT(255), Keyword2 TEXT(255), Company TEXT(255))"),
            true);
        db->beginTransaction();
        for (int i = 0; i < addresses.size(); ++i)
            db->execute(
                QStringLiteral("INSERT INTO AddressList (EAddress, FirstName, LastName, Sent, Company) "
                               "VALUES(%1,%2,%3,%4,%5)")
                    .arg(jet::quote(addresses[i]), jet::quote(QStringLiteral("F%1").arg(i)),
                         jet::quote(QStringLiteral("L%1").arg(i)),
                         i < sent.size() ? jet::quote(sent[i]) : QStringLiteral("Null"),
                         jet::quote(QStringLiteral("Company %1").arg(i))),
                true);
        db->commit();
        db->close();
        catalogueList(sdr(), name);
    }

    QString sentOf(const QString& list, const QString& address) const {
        auto db = jet::Database::open(listFile(list), jet::Database::OpenMode::ReadOnly);
        auto rs = db->openRecordset(QStringLiteral("SELECT Sent FROM AddressList WHERE EAddress = ") +
                                    jet::quote(address));
        return rs->eof() ? QStringLiteral("<no row>") : rs->value(0).toString();
    }

    void execute(const QString& sql) {
        auto db = jet::Database::open(sdr());
        db->execute(sql, true);
    }

    // The mailing "Spring" of the message "Hello" to the list "Members"; its id.
    qint64 addSpringMailing() {
        execute(QStringLiteral("INSERT INTO Sendora VALUES(\"Spring\",\"\")"));
        execute(QStringLiteral("INSERT INTO MailEvent (SendoraName, ListName, MessageName, Profile) "
                               "VALUES(\"Spring\",\"Members\",\"Hello\",\"Default Delivery Options\")"));
        auto db = jet::Database::open(sdr(), jet::Database::OpenMode::ReadOnly);
        return db->openRecordset(QStringLiteral("SELECT Max(MailEventName) FROM MailEvent"))
            ->value(0)
            .toLongLong();
    }
};

} // namespace sendora::test
