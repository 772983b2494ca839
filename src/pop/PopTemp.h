#pragma once
// The POPTemp table that collects one row per address during a mailbox session, and the
// temporary address list built from it at the end.

#include "pop/ReturnedMail.h"

#include <QDateTime>
#include <QString>
#include <memory>

namespace jet {
class Database;
}

namespace sendora {
struct AppContext;
}

namespace sendora::pop {

inline const QString kPopTempCreate = QStringLiteral(
    "CREATE TABLE POPTemp(EAddress TEXT(255) CONSTRAINT EAddress PRIMARY KEY, FirstName TEXT(255), "
    "LastName TEXT(255), [Date] TEXT(50), MessageSubject MEMO);");

// The INSERT for one address; double quotes are taken out of the subject first.
QString popTempInsert(const FoundAddress& found, const QString& subject, const QDateTime& now);

class PopTemp {
public:
    explicit PopTemp(AppContext& ctx);
    ~PopTemp();

    // A new temporary database holding the empty table. False (logged) when it could not be made.
    bool create();
    QString path() const { return m_path; }
    // True when the address was stored; false when it is there already or was refused.
    bool insert(const FoundAddress& found, const QString& subject, const QDateTime& now);
    qint64 count() const { return m_count; }

    // Copies the rows into a new temporary address list; its path, empty when no row was
    // collected or the list could not be made (logged). `rows` receives the list's row count.
    QString buildList(qint64* rows);

private:
    AppContext& m_ctx;
    QString m_path;
    std::unique_ptr<jet::Database> m_db;
    qint64 m_count = 0;
};

} // namespace sendora::pop
