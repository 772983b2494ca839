// Arbitrary text as a Jet statement: translation, execution and read-only queries must
// fail only with jet::Error, never crash or hang.

#include "components/jet/Jet.h"

#include <QDir>
#include <QString>
#include <QTemporaryDir>
#include <cstddef>
#include <cstdint>

namespace {

jet::Database& database() {
    static QTemporaryDir dir;
    static std::unique_ptr<jet::Database> db;
    if (!db) {
        db = jet::Database::create(dir.filePath(QStringLiteral("fuzz.mdb")));
        db->execute(QStringLiteral(
            "CREATE TABLE AddressList(EAddress TEXT(255) NOT NULL CONSTRAINT EAddress PRIMARY KEY, "
            "FirstName TEXT(255), Sent TEXT(255), [Date] DATETIME, Active YESNO, N LONG)"));
        db->execute(
            QStringLiteral("CREATE TABLE MailEvent (ID COUNTER CONSTRAINT PK PRIMARY KEY, Name MEMO)"));
        db->execute(
            QStringLiteral("INSERT INTO AddressList (EAddress, FirstName) VALUES (\"a@x.com\", \"A\")"));
    }
    return *db;
}

void reset(jet::Database& db) {
    // keep the schema small and known, whatever the input did to it
    for (const QString& t : db.tableNames())
        if (t != QLatin1String("AddressList") && t != QLatin1String("MailEvent")) try {
                db.execute(QStringLiteral("DROP TABLE ") + jet::bracket(t));
            } catch (const jet::Error&) {
            }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 4096) return 0;
    const QString sql = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    // other files would be created or read: stay inside this database
    if (sql.contains(QLatin1Char('/')) || sql.contains(QLatin1Char('\\')) ||
        sql.contains(QLatin1String("Text;"), Qt::CaseInsensitive) ||
        sql.contains(QLatin1String(" IN \""), Qt::CaseInsensitive) ||
        sql.contains(QLatin1String(" IN '"), Qt::CaseInsensitive))
        return 0;
    jet::Database& db = database();
    try {
        (void)db.translate(sql);
    } catch (const jet::Error&) {
    }
    try {
        auto rs = db.openReadOnlyQuery(sql);
        for (int i = 0; i < 100 && !rs->eof(); ++i) {
            for (int f = 0; f < rs->fieldCount(); ++f)
                (void)rs->value(f);
            rs->moveNext();
        }
    } catch (const jet::Error&) {
    }
    try {
        db.execute(sql);
    } catch (const jet::Error&) {
    }
    try {
        auto rs = db.openRecordset(QStringLiteral("AddressList"));
        rs->findFirst(sql);
    } catch (const jet::Error&) {
    }
    reset(db);
    return 0;
}
