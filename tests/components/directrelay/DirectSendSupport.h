#pragma once
// Shared by the direct-send tests, their child process and the benchmark: a list file as
// the mailing manager leaves it (ids numbered, errors cleared) and a plain composer.

#include "components/directrelay/DirectSend.h"
#include "components/jet/Jet.h"

#include <QHash>
#include <QStringList>

namespace sendora::test {

// The message is not what these tests look at; its size and personalisation are.
class PlainComposer : public direct::MessageComposer {
public:
    bool perRecipient = false;
    QByteArray filler; // appended to each body, for a chosen size

    bool personalised() const override { return perRecipient; }
    QByteArray personal(const QString& address) override {
        return "Subject: Hello\r\nTo: <" + address.toUtf8() + ">\r\n\r\nHello " + address.toUtf8() + ".\r\n" +
               filler;
    }
    QByteArray shared(const QString&) override {
        return "Subject: Hello\r\n\r\nHello everyone.\r\n" + filler;
    }
};

inline void createDirectList(const QString& path, const QStringList& addresses) {
    auto db = jet::Database::create(path);
    db->execute(QStringLiteral("CREATE TABLE AddressList (EAddress TEXT(255), [Sent] TEXT(50), id LONG, "
                               "error TEXT(255))"));
    auto insert = db->prepareStatement(
        QStringLiteral("INSERT INTO AddressList (EAddress, id, error) VALUES (%1, %2, %3)")
            .arg(jet::param(1), jet::param(2), jet::param(3)));
    db->beginTransaction();
    for (int i = 0; i < addresses.size(); ++i) {
        insert->bind(1, addresses[i]);
        insert->bind(2, i + 1);
        insert->bind(3, QString());
        insert->execute();
    }
    db->commit();
}

// Numbers the rows not flagged yet from 1, as a new send of the same mailing would; the
// others lose their id. Returns how many were numbered.
inline int renumberUnflagged(const QString& path, const QString& flag) {
    auto db = jet::Database::open(path);
    db->execute(QStringLiteral("UPDATE AddressList SET id = Null"));
    auto rs = db->openRecordset(QStringLiteral("AddressList"));
    int n = 0;
    for (; !rs->eof(); rs->moveNext()) {
        if (rs->value(QStringLiteral("Sent")).toString() == flag) continue;
        rs->edit();
        rs->setValue(QStringLiteral("id"), ++n);
        rs->update();
    }
    return n;
}

struct ListRow {
    QString sent;
    QString error;
};

// Every row by address.
inline QHash<QString, ListRow> readDirectList(const QString& path) {
    QHash<QString, ListRow> rows;
    auto db = jet::Database::open(path, jet::Database::OpenMode::ReadOnly);
    auto rs = db->openRecordset(QStringLiteral("SELECT EAddress, [Sent], error FROM AddressList"));
    for (; !rs->eof(); rs->moveNext())
        rows.insert(rs->value(0).toString(), ListRow{rs->value(1).toString(), rs->value(2).toString()});
    return rows;
}

} // namespace sendora::test
