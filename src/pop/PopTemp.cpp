#include "pop/PopTemp.h"

#include "components/jet/Jet.h"
#include "core/AppContext.h"
#include "core/ErrorLog.h"
#include "core/ListActions.h"

#include <QLocale>

namespace sendora::pop {

namespace {

const QString kModule = QStringLiteral(" in ProcessEMail");

const QString kAddressListCreate = QStringLiteral(
    "CREATE TABLE AddressList(EAddress TEXT(255) NOT NULL CONSTRAINT EAddress PRIMARY KEY, FirstName "
    "TEXT(255), "
    "LastName TEXT(255), Title TEXT(255), Sent TEXT(255), [Date] TEXT(255), Keyword1 TEXT(255), "
    "Keyword2 TEXT(255));");

} // namespace

QString popTempInsert(const FoundAddress& f, const QString& subject, const QDateTime& now) {
    QString s = subject;
    s.remove(u'"');
    const QString date = QLocale::c().toString(now, QStringLiteral("M/d/yyyy h:mm:ss AP"));
    return QStringLiteral("INSERT INTO POPTemp(EAddress,FirstName,LastName,[Date],MessageSubject) VALUES(") +
           jet::quote(f.address) + u',' + jet::quote(f.firstName) + u',' + jet::quote(f.lastName) + u',' +
           jet::quote(date) + u',' + jet::quote(s) + QStringLiteral(");");
}

PopTemp::PopTemp(AppContext& ctx) : m_ctx(ctx) {}

PopTemp::~PopTemp() = default;

bool PopTemp::create() {
    try {
        m_path = NewTempListPath(m_ctx);
        jet::removeDatabase(m_path);
        m_db = jet::Database::create(m_path, jet::Database::Durability::Scratch);
        m_db->execute(kPopTempCreate);
        m_count = 0;
        return true;
    } catch (const std::exception& e) {
        LogError(m_ctx, QStringLiteral("processMailBox") + kModule, errorInfo(e), false);
        m_db.reset();
        return false;
    }
}

bool PopTemp::insert(const FoundAddress& found, const QString& subject, const QDateTime& now) {
    if (!m_db) return false;
    try {
        m_db->execute(popTempInsert(found, subject, now), true);
        ++m_count;
        return true;
    } catch (const jet::Error& e) {
        if (e.number() != jet::ErrDuplicateKey)
            LogError(m_ctx, QStringLiteral("processMailBox") + kModule, errorInfo(e), false);
        return false;
    }
}

QString PopTemp::buildList(qint64* rows) {
    if (rows) *rows = 0;
    if (!m_db || m_count == 0) return {};
    QString listPath;
    try {
        QStringList columns;
        for (const jet::FieldDef& f : m_db->fields(QStringLiteral("POPTemp")))
            columns << f.name;
        // The rows must be on disk before the list's connection reads the file.
        m_db->close();
        m_db.reset();
        listPath = NewTempListPath(m_ctx);
        jet::removeDatabase(listPath);
        auto list = jet::Database::create(listPath);
        list->execute(kAddressListCreate);
        QStringList bracketed;
        for (const QString& c : columns) {
            if (!list->hasField(QStringLiteral("AddressList"), c))
                list->execute(QStringLiteral("ALTER TABLE AddressList ADD COLUMN ") + c +
                              QStringLiteral(" TEXT(255);"));
            bracketed << jet::bracket(c);
        }
        const QString names = bracketed.join(u',');
        list->execute(QStringLiteral("INSERT INTO AddressList(") + names + QStringLiteral(") SELECT ") +
                      names + QStringLiteral(" FROM POPTemp IN \"") + m_path + QStringLiteral("\";"));
        auto rs = list->openRecordset(QStringLiteral("SELECT Count(*) AS n FROM AddressList"));
        const qint64 n = rs->value(0).toLongLong();
        rs.reset();
        list->close();
        if (rows) *rows = n;
        if (n > 0) return listPath;
        jet::removeDatabase(listPath);
        return {};
    } catch (const std::exception& e) {
        LogError(m_ctx, QStringLiteral("processMailBox") + kModule, errorInfo(e), false);
        if (!listPath.isEmpty()) jet::removeDatabase(listPath);
        return {};
    }
}

} // namespace sendora::pop
