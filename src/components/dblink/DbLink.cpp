#include "DbLink.h"

#include <QDate>
#include <QDateTime>
#include <QRegularExpression>
#include <sql.h>
#include <sqlext.h>
#include <vector>

namespace sendora::dblink {

namespace sr = sendora::sourcereaders;

static_assert(sizeof(SQLWCHAR) == sizeof(char16_t), "unixODBC with 16-bit SQLWCHAR expected");

namespace {

// ODBC takes non-const pointers to strings it only reads.
SQLWCHAR* w(const QString& s) {
    return const_cast<SQLWCHAR*>(reinterpret_cast<const SQLWCHAR*>(s.utf16()));
}
SQLWCHAR* w(const char16_t* s) {
    return const_cast<SQLWCHAR*>(reinterpret_cast<const SQLWCHAR*>(s));
}
QString fromW(const SQLWCHAR* s, qsizetype chars = -1) {
    return QString::fromUtf16(reinterpret_cast<const char16_t*>(s), chars);
}

QString diagnostics(SQLSMALLINT type, SQLHANDLE handle) {
    QStringList lines;
    SQLWCHAR state[6];
    SQLWCHAR text[1024];
    SQLINTEGER native = 0;
    SQLSMALLINT len = 0;
    for (SQLSMALLINT i = 1; i <= 8; ++i) {
        const SQLRETURN rc =
            SQLGetDiagRecW(type, handle, i, state, &native, text, SQLSMALLINT(std::size(text)), &len);
        if (!SQL_SUCCEEDED(rc)) break;
        lines << fromW(text, qMin<qsizetype>(len, qsizetype(std::size(text)) - 1)).trimmed();
    }
    return lines.isEmpty() ? QStringLiteral("The ODBC driver reported an error.") : lines.join(u'\n');
}

sr::FieldType fieldType(SQLSMALLINT sqlType, SQLSMALLINT scale) {
    switch (sqlType) {
    case SQL_LONGVARCHAR:
    case SQL_WLONGVARCHAR:
        return sr::FieldType::Memo;
    case SQL_TINYINT:
    case SQL_SMALLINT:
    case SQL_INTEGER:
    case SQL_BIGINT:
        return sr::FieldType::Integer;
    case SQL_REAL:
    case SQL_FLOAT:
    case SQL_DOUBLE:
        return sr::FieldType::Double;
    case SQL_DECIMAL:
    case SQL_NUMERIC:
        return scale > 0 ? sr::FieldType::Double : sr::FieldType::Integer;
    case SQL_BIT:
        return sr::FieldType::Boolean;
    case SQL_TYPE_DATE:
    case SQL_DATE:
        return sr::FieldType::Date;
    case SQL_TYPE_TIMESTAMP:
    case SQL_TIMESTAMP:
        return sr::FieldType::DateTime;
    case SQL_BINARY:
    case SQL_VARBINARY:
    case SQL_LONGVARBINARY:
        return sr::FieldType::Binary;
    case SQL_CHAR:
    case SQL_VARCHAR:
    case SQL_WCHAR:
    case SQL_WVARCHAR:
        return sr::FieldType::Text;
    default:
        return sr::FieldType::Other;
    }
}

// A text column in pieces; false on a driver error. Values beyond the cap are cut.
bool readText(SQLHSTMT stmt, SQLUSMALLINT col, QVariant& out) {
    QString text;
    SQLWCHAR buf[2048];
    for (;;) {
        SQLLEN ind = 0;
        const SQLRETURN rc = SQLGetData(stmt, col, SQL_C_WCHAR, buf, sizeof buf, &ind);
        if (rc == SQL_NO_DATA) break;
        if (!SQL_SUCCEEDED(rc)) return false;
        if (ind == SQL_NULL_DATA) {
            out = QVariant();
            return true;
        }
        const qsizetype room = qsizetype(std::size(buf)) - 1;
        const bool whole = ind != SQL_NO_TOTAL && ind / qsizetype(sizeof(SQLWCHAR)) <= room;
        text += fromW(buf, whole ? ind / qsizetype(sizeof(SQLWCHAR)) : room);
        if (whole || text.size() >= DbLink::kMaxTextChars) break;
    }
    if (text.size() > DbLink::kMaxTextChars) text.truncate(DbLink::kMaxTextChars);
    out = text;
    return true;
}

class OdbcCursor final : public sr::RowCursor {
public:
    OdbcCursor(SQLHSTMT stmt, const std::function<void(qint64)>* rowAdded,
               std::vector<std::vector<SQLWCHAR>> buffers = {}, std::vector<SQLLEN> lengths = {})
        : m_stmt(stmt), m_rowAdded(rowAdded), m_buffers(std::move(buffers)), m_lengths(std::move(lengths)) {
        SQLSMALLINT count = 0;
        SQLNumResultCols(m_stmt, &count);
        for (SQLUSMALLINT i = 1; i <= count; ++i) {
            SQLWCHAR name[256];
            SQLSMALLINT nameLen = 0, type = 0, scale = 0, nullable = 0;
            SQLULEN size = 0;
            SQLDescribeColW(m_stmt, i, name, SQLSMALLINT(std::size(name)), &nameLen, &type, &size, &scale,
                            &nullable);
            sr::SourceField f;
            f.name = fromW(name, qMin<qsizetype>(nameLen, qsizetype(std::size(name)) - 1));
            f.type = fieldType(type, scale);
            f.size = f.type == sr::FieldType::Text ? int(qMin<SQLULEN>(size, 65535)) : 0;
            m_fields << f;
        }
    }
    ~OdbcCursor() override { SQLFreeHandle(SQL_HANDLE_STMT, m_stmt); }

    bool next(sr::SourceRow& row) override {
        if (m_done) return false;
        const SQLRETURN rc = SQLFetch(m_stmt);
        if (rc == SQL_NO_DATA) return finish();
        if (!SQL_SUCCEEDED(rc)) return fail();
        row.clear();
        row.reserve(m_fields.size());
        for (qsizetype i = 0; i < m_fields.size(); ++i) {
            QVariant v;
            if (!readValue(SQLUSMALLINT(i + 1), m_fields[i].type, v)) return fail();
            row << v;
        }
        ++m_position;
        if (*m_rowAdded) (*m_rowAdded)(m_position);
        return true;
    }
    QList<sr::SourceField> fields() const override { return m_fields; }
    QString errorText() const override { return m_error; }
    qint64 position() const override { return m_position; }

private:
    bool finish() {
        m_done = true;
        SQLCloseCursor(m_stmt);
        return false;
    }
    bool fail() {
        m_error = diagnostics(SQL_HANDLE_STMT, m_stmt);
        return finish();
    }
    bool readValue(SQLUSMALLINT col, sr::FieldType type, QVariant& v) {
        SQLLEN ind = 0;
        SQLRETURN rc = SQL_SUCCESS;
        switch (type) {
        case sr::FieldType::Integer: {
            SQLBIGINT n = 0;
            rc = SQLGetData(m_stmt, col, SQL_C_SBIGINT, &n, 0, &ind);
            if (SQL_SUCCEEDED(rc) && ind != SQL_NULL_DATA) v = qlonglong(n);
            break;
        }
        case sr::FieldType::Double: {
            double d = 0;
            rc = SQLGetData(m_stmt, col, SQL_C_DOUBLE, &d, 0, &ind);
            if (SQL_SUCCEEDED(rc) && ind != SQL_NULL_DATA) v = d;
            break;
        }
        case sr::FieldType::Boolean: {
            unsigned char b = 0;
            rc = SQLGetData(m_stmt, col, SQL_C_BIT, &b, 0, &ind);
            if (SQL_SUCCEEDED(rc) && ind != SQL_NULL_DATA) v = b != 0;
            break;
        }
        case sr::FieldType::Date: {
            SQL_DATE_STRUCT d{};
            rc = SQLGetData(m_stmt, col, SQL_C_TYPE_DATE, &d, 0, &ind);
            if (SQL_SUCCEEDED(rc) && ind != SQL_NULL_DATA) v = QDate(d.year, d.month, d.day);
            break;
        }
        case sr::FieldType::DateTime: {
            SQL_TIMESTAMP_STRUCT t{};
            rc = SQLGetData(m_stmt, col, SQL_C_TYPE_TIMESTAMP, &t, 0, &ind);
            if (SQL_SUCCEEDED(rc) && ind != SQL_NULL_DATA)
                v = QDateTime(QDate(t.year, t.month, t.day), QTime(t.hour, t.minute, t.second));
            break;
        }
        case sr::FieldType::Binary: {
            QByteArray bytes;
            char buf[4096];
            for (;;) {
                rc = SQLGetData(m_stmt, col, SQL_C_BINARY, buf, sizeof buf, &ind);
                if (rc == SQL_NO_DATA || !SQL_SUCCEEDED(rc) || ind == SQL_NULL_DATA) break;
                const bool whole = ind != SQL_NO_TOTAL && ind <= SQLLEN(sizeof buf);
                bytes.append(buf, whole ? qsizetype(ind) : qsizetype(sizeof buf));
                if (whole || bytes.size() >= DbLink::kMaxTextChars) break;
            }
            if (rc == SQL_NO_DATA) rc = SQL_SUCCESS;
            if (SQL_SUCCEEDED(rc) && ind != SQL_NULL_DATA) v = bytes;
            break;
        }
        default:
            return readText(m_stmt, col, v);
        }
        return SQL_SUCCEEDED(rc);
    }

    SQLHSTMT m_stmt;
    const std::function<void(qint64)>* m_rowAdded; // the link's, which the cursor may not outlive
    std::vector<std::vector<SQLWCHAR>> m_buffers;  // procedure parameters, alive until the cursor goes
    std::vector<SQLLEN> m_lengths;
    QList<sr::SourceField> m_fields;
    QString m_error;
    qint64 m_position = 0;
    bool m_done = false;
};

// The text columns of a small catalogue result, every row.
QList<QStringList> fetchAll(SQLHSTMT stmt, int columns) {
    QList<QStringList> rows;
    while (SQL_SUCCEEDED(SQLFetch(stmt))) {
        QStringList row;
        for (int c = 1; c <= columns; ++c) {
            QVariant v;
            readText(stmt, SQLUSMALLINT(c), v);
            row << v.toString();
        }
        rows << row;
    }
    return rows;
}

// A connection string value: braced when it carries a separator or a brace.
QString attr(const QString& key, const QString& value) {
    if (value.isEmpty()) return {};
    static const QRegularExpression special(QStringLiteral("[;{}=\\s]"));
    QString v = value;
    if (v.contains(special)) v = u'{' + v.replace(u'}', QStringLiteral("}}")) + u'}';
    return key + u'=' + v + u';';
}

QString pickDriver(const QStringList& drivers, const QStringList& patterns, const QString& fallback) {
    for (const QString& p : patterns)
        for (const QString& d : drivers)
            if (d.contains(p, Qt::CaseInsensitive)) return d;
    return fallback;
}

} // namespace

struct DbLink::Handles {
    SQLHENV env = SQL_NULL_HENV;
    SQLHDBC dbc = SQL_NULL_HDBC;
    bool connected = false;
};

QString ProcedureParameter::directionText() const {
    switch (direction) {
    case SQL_PARAM_INPUT:
        return QStringLiteral("Input");
    case SQL_PARAM_INPUT_OUTPUT:
        return QStringLiteral("Input/Output");
    case SQL_PARAM_OUTPUT:
        return QStringLiteral("Output");
    case SQL_RETURN_VALUE:
        return QStringLiteral("Return Value");
    default:
        return QStringLiteral("Unknown");
    }
}

DbLink::DbLink() : m_h(std::make_unique<Handles>()) {
    if (SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &m_h->env)))
        SQLSetEnvAttr(m_h->env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
}

DbLink::~DbLink() {
    disconnect();
    if (m_h->env) SQLFreeHandle(SQL_HANDLE_ENV, m_h->env);
}

namespace {

// The names an ODBC catalogue call hands out one at a time, on an environment of its own.
template <typename Fetch> QStringList catalogueNames(Fetch fetch) {
    QStringList out;
    SQLHENV env = SQL_NULL_HENV;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env))) return out;
    SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    SQLWCHAR name[256], other[1024];
    SQLSMALLINT nameLen = 0, otherLen = 0;
    SQLUSMALLINT dir = SQL_FETCH_FIRST;
    while (SQL_SUCCEEDED(fetch(env, dir, name, &nameLen, other, &otherLen))) {
        out << fromW(name, qMin<qsizetype>(nameLen, 255));
        dir = SQL_FETCH_NEXT;
    }
    SQLFreeHandle(SQL_HANDLE_ENV, env);
    return out;
}

} // namespace

QStringList DbLink::dataSources() {
    return catalogueNames([](SQLHENV env, SQLUSMALLINT dir, SQLWCHAR* name, SQLSMALLINT* nameLen,
                             SQLWCHAR* desc, SQLSMALLINT* descLen) {
        return SQLDataSourcesW(env, dir, name, 256, nameLen, desc, 512, descLen);
    });
}

QStringList DbLink::drivers() {
    return catalogueNames(
        [](SQLHENV env, SQLUSMALLINT dir, SQLWCHAR* name, SQLSMALLINT* nameLen, SQLWCHAR* attrs,
           SQLSMALLINT* attrLen) { return SQLDriversW(env, dir, name, 256, nameLen, attrs, 1024, attrLen); });
}

QString DbLink::connectionString(const ConnectionSettings& s, const QStringList& drivers,
                                 const QStringList& dataSources) {
    const QString server = s.server.trimmed();
    if (server.contains(u'=')) return server; // typed by the user as it stands
    const QString credentials = attr(QStringLiteral("UID"), s.user) + attr(QStringLiteral("PWD"), s.password);
    if (dataSources.contains(server, Qt::CaseInsensitive))
        return attr(QStringLiteral("DSN"), server) + attr(QStringLiteral("DATABASE"), s.database) +
               credentials;
    switch (s.kindCode) {
    case Oracle: {
        const QString driver = pickDriver(drivers, {QStringLiteral("Oracle")}, QStringLiteral("Oracle"));
        return QStringLiteral("DRIVER={%1};").arg(driver) + attr(QStringLiteral("DBQ"), server) + credentials;
    }
    case MySql:
    case MySql351: {
        const QString driver = pickDriver(drivers, {QStringLiteral("MySQL"), QStringLiteral("MariaDB")},
                                          QStringLiteral("MySQL ODBC 3.51 Driver"));
        return QStringLiteral("DRIVER={%1};").arg(driver) + attr(QStringLiteral("SERVER"), server) +
               attr(QStringLiteral("DATABASE"), s.database) + credentials;
    }
    default: {
        const QString driver = pickDriver(
            drivers, {QStringLiteral("ODBC Driver"), QStringLiteral("SQL Server"), QStringLiteral("FreeTDS")},
            QStringLiteral("SQL Server"));
        static const QHash<QString, QString> libraries = {
            {QStringLiteral("TCP/IP"), QStringLiteral("DBMSSOCN")},
            {QStringLiteral("Named Pipes"), QStringLiteral("DBNMPNTW")},
            {QStringLiteral("IPX/SPX"), QStringLiteral("DBMSSPXN")},
            {QStringLiteral("Banyan Vines"), QStringLiteral("DBMSVINN")},
            {QStringLiteral("Multiprotocol"), QStringLiteral("DBMSRPCN")},
        };
        return QStringLiteral("DRIVER={%1};").arg(driver) + attr(QStringLiteral("SERVER"), server) +
               attr(QStringLiteral("DATABASE"), s.database) + credentials +
               attr(QStringLiteral("Network"), libraries.value(s.networkLibrary));
    }
    }
}

bool DbLink::connect(const ConnectionSettings& settings) {
    return connectString(connectionString(settings, drivers(), dataSources()));
}

bool DbLink::connectString(const QString& connection) {
    disconnect();
    m_error.clear();
    if (!m_h->env) {
        m_error = QStringLiteral("The ODBC driver manager could not be started.");
        return false;
    }
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_DBC, m_h->env, &m_h->dbc))) {
        m_error = diagnostics(SQL_HANDLE_ENV, m_h->env);
        return false;
    }
    SQLSetConnectAttr(m_h->dbc, SQL_ATTR_LOGIN_TIMEOUT, reinterpret_cast<SQLPOINTER>(kLoginTimeoutSeconds),
                      0);
    SQLSetConnectAttr(m_h->dbc, SQL_ATTR_CONNECTION_TIMEOUT,
                      reinterpret_cast<SQLPOINTER>(kQueryTimeoutSeconds), 0);
    // psqlODBC reads a whole result into memory unless it fetches through a cursor in blocks.
    QString effective = connection.trimmed();
    if (effective.contains(u"PostgreSQL", Qt::CaseInsensitive) &&
        !effective.contains(u"UseDeclareFetch", Qt::CaseInsensitive)) {
        if (!effective.endsWith(u';')) effective += u';';
        effective += QStringLiteral("UseDeclareFetch=1;Fetch=1000;");
    }
    SQLWCHAR out[1024];
    SQLSMALLINT outLen = 0;
    const SQLRETURN rc = SQLDriverConnectW(m_h->dbc, nullptr, w(effective), SQL_NTS, out,
                                           SQLSMALLINT(std::size(out)), &outLen, SQL_DRIVER_NOPROMPT);
    if (!SQL_SUCCEEDED(rc)) {
        m_error = diagnostics(SQL_HANDLE_DBC, m_h->dbc);
        SQLFreeHandle(SQL_HANDLE_DBC, m_h->dbc);
        m_h->dbc = SQL_NULL_HDBC;
        return false;
    }
    m_h->connected = true;
    SQLWCHAR quote[8] = {0};
    SQLSMALLINT quoteLen = 0;
    SQLGetInfoW(m_h->dbc, SQL_IDENTIFIER_QUOTE_CHAR, quote, sizeof quote, &quoteLen);
    m_quote = fromW(quote).trimmed();
    return true;
}

void DbLink::disconnect() {
    if (!m_h->dbc) return;
    if (m_h->connected) SQLDisconnect(m_h->dbc);
    SQLFreeHandle(SQL_HANDLE_DBC, m_h->dbc);
    m_h->dbc = SQL_NULL_HDBC;
    m_h->connected = false;
    m_tables.clear();
    m_procedures.clear();
}

bool DbLink::isConnected() const {
    return m_h->connected;
}

void* DbLink::newStatement() {
    SQLHSTMT stmt = SQL_NULL_HSTMT;
    if (!m_h->connected) {
        m_error = QStringLiteral("Not connected to a database server.");
        return nullptr;
    }
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, m_h->dbc, &stmt))) {
        m_error = diagnostics(SQL_HANDLE_DBC, m_h->dbc);
        return nullptr;
    }
    SQLSetStmtAttr(stmt, SQL_ATTR_QUERY_TIMEOUT, reinterpret_cast<SQLPOINTER>(kQueryTimeoutSeconds), 0);
    return stmt;
}

QStringList DbLink::catalogs() {
    SQLHSTMT stmt = newStatement();
    if (!stmt) return {};
    QStringList out;
    const QString all = QStringLiteral(SQL_ALL_CATALOGS);
    if (SQL_SUCCEEDED(SQLTablesW(stmt, w(all), SQL_NTS, w(u""), 0, w(u""), 0, w(u""), 0))) {
        for (const QStringList& row : fetchAll(stmt, 1))
            if (!row[0].isEmpty() && !out.contains(row[0])) out << row[0];
    } else {
        m_error = diagnostics(SQL_HANDLE_STMT, stmt);
    }
    SQLFreeHandle(SQL_HANDLE_STMT, stmt);
    return out;
}

bool DbLink::setCatalog(const QString& catalog) {
    if (!m_h->connected) return false;
    const SQLRETURN rc = SQLSetConnectAttrW(m_h->dbc, SQL_ATTR_CURRENT_CATALOG, w(catalog),
                                            SQLINTEGER(catalog.size() * sizeof(SQLWCHAR)));
    if (SQL_SUCCEEDED(rc)) return true;
    m_error = diagnostics(SQL_HANDLE_DBC, m_h->dbc);
    return false;
}

// Objects of one type, named by their bare name unless two schemas share it.
QStringList DbLink::listObjects(const char16_t* type, QHash<QString, Name>& names) {
    SQLHSTMT stmt = newStatement();
    if (!stmt) return {};
    QList<Name> found;
    SQLRETURN rc;
    if (type)
        rc = SQLTablesW(stmt, nullptr, 0, nullptr, 0, nullptr, 0, w(type), SQL_NTS);
    else
        rc = SQLProceduresW(stmt, nullptr, 0, nullptr, 0, nullptr, 0);
    if (SQL_SUCCEEDED(rc)) {
        for (const QStringList& row : fetchAll(stmt, 3)) {
            QString name = row[2];
            // Procedure names may carry the driver's ";1" group number.
            if (!type && name.contains(u';')) name = name.section(u';', 0, 0);
            found << Name{row[0], row[1], name};
        }
    } else {
        m_error = diagnostics(SQL_HANDLE_STMT, stmt);
    }
    SQLFreeHandle(SQL_HANDLE_STMT, stmt);
    QHash<QString, int> uses;
    for (const Name& n : found)
        ++uses[n.name];
    QStringList out;
    for (const Name& n : found) {
        const QString shown = uses[n.name] > 1 && !n.schema.isEmpty() ? n.schema + u'.' + n.name : n.name;
        if (out.contains(shown)) continue;
        out << shown;
        names.insert(shown, n);
    }
    return out;
}

QStringList DbLink::tables() {
    return listObjects(u"TABLE", m_tables);
}
QStringList DbLink::views() {
    return listObjects(u"VIEW", m_tables);
}
QStringList DbLink::procedures() {
    return listObjects(nullptr, m_procedures);
}

QString DbLink::quotedName(const Name& n) const {
    const auto q = [this](const QString& part) {
        if (m_quote.isEmpty()) return part;
        return m_quote + QString(part).replace(m_quote, m_quote + m_quote) + m_quote;
    };
    return n.schema.isEmpty() ? q(n.name) : q(n.schema) + u'.' + q(n.name);
}

QList<ProcedureParameter> DbLink::parameters(const QString& procedure) {
    if (!m_procedures.contains(procedure)) procedures();
    const Name n = m_procedures.value(procedure, Name{{}, {}, procedure});
    SQLHSTMT stmt = newStatement();
    if (!stmt) return {};
    QList<ProcedureParameter> out;
    const SQLRETURN rc = SQLProcedureColumnsW(stmt, n.catalog.isEmpty() ? nullptr : w(n.catalog), SQL_NTS,
                                              n.schema.isEmpty() ? nullptr : w(n.schema), SQL_NTS, w(n.name),
                                              SQL_NTS, nullptr, 0);
    if (SQL_SUCCEEDED(rc)) {
        for (const QStringList& row : fetchAll(stmt, 8)) {
            ProcedureParameter p;
            p.name = row[3];
            p.direction = row[4].toInt();
            p.type = row[6];
            p.length = row[7].toInt();
            if (p.direction != SQL_RESULT_COL) out << p;
        }
    } else {
        m_error = diagnostics(SQL_HANDLE_STMT, stmt);
    }
    SQLFreeHandle(SQL_HANDLE_STMT, stmt);
    return out;
}

QList<sr::SourceField> DbLink::columns(const QString& table) {
    if (!m_tables.contains(table)) {
        tables();
        views();
    }
    const Name n = m_tables.value(table, Name{{}, {}, table});
    SQLHSTMT stmt = newStatement();
    if (!stmt) return {};
    QList<sr::SourceField> out;
    const SQLRETURN rc =
        SQLColumnsW(stmt, n.catalog.isEmpty() ? nullptr : w(n.catalog), SQL_NTS,
                    n.schema.isEmpty() ? nullptr : w(n.schema), SQL_NTS, w(n.name), SQL_NTS, nullptr, 0);
    if (SQL_SUCCEEDED(rc)) {
        for (const QStringList& row : fetchAll(stmt, 9)) {
            sr::SourceField f;
            f.name = row[3];
            f.type = fieldType(SQLSMALLINT(row[4].toInt()), SQLSMALLINT(row[8].toInt()));
            f.size = f.type == sr::FieldType::Text ? qMin(row[6].toInt(), 65535) : 0;
            out << f;
        }
    } else {
        m_error = diagnostics(SQL_HANDLE_STMT, stmt);
    }
    SQLFreeHandle(SQL_HANDLE_STMT, stmt);
    if (out.isEmpty() && m_error.isEmpty())
        m_error = QStringLiteral("The table %1 has no columns.").arg(table);
    return out;
}

std::unique_ptr<sr::RowCursor> DbLink::openTable(const QString& table) {
    if (!m_tables.contains(table)) {
        tables();
        views();
    }
    const Name n = m_tables.value(table, Name{{}, {}, table});
    m_lastSql = QStringLiteral("SELECT * FROM ") + quotedName(n);
    SQLHSTMT stmt = newStatement();
    if (!stmt) return nullptr;
    if (!SQL_SUCCEEDED(SQLExecDirectW(stmt, w(m_lastSql), SQL_NTS))) {
        m_error = diagnostics(SQL_HANDLE_STMT, stmt);
        SQLFreeHandle(SQL_HANDLE_STMT, stmt);
        return nullptr;
    }
    return std::make_unique<OdbcCursor>(stmt, &rowAdded);
}

std::unique_ptr<sr::RowCursor> DbLink::openProcedure(const QString& procedure,
                                                     const QList<ProcedureParameter>& params) {
    if (!m_procedures.contains(procedure)) procedures();
    const Name n = m_procedures.value(procedure, Name{{}, {}, procedure});
    QStringList marks;
    std::vector<std::vector<SQLWCHAR>> buffers;
    std::vector<SQLLEN> lengths;
    for (const ProcedureParameter& p : params) {
        if (!p.isBound()) continue;
        marks << QStringLiteral("?");
        // Values are bound, never spliced into the statement.
        std::vector<SQLWCHAR> buf(size_t(qMax<qsizetype>(p.value.size(), 4000)) + 1, 0);
        std::copy_n(reinterpret_cast<const SQLWCHAR*>(p.value.utf16()), p.value.size(), buf.begin());
        buffers.push_back(std::move(buf));
        lengths.push_back(SQLLEN(p.value.size() * qsizetype(sizeof(SQLWCHAR))));
    }
    m_lastSql = QStringLiteral("{call %1(%2)}").arg(quotedName(n), marks.join(u','));
    SQLHSTMT stmt = newStatement();
    if (!stmt) return nullptr;
    size_t b = 0;
    for (const ProcedureParameter& p : params) {
        if (!p.isBound()) continue;
        std::vector<SQLWCHAR>& buf = buffers[b];
        SQLBindParameter(stmt, SQLUSMALLINT(b + 1), SQLSMALLINT(p.direction), SQL_C_WCHAR, SQL_WVARCHAR,
                         SQLULEN(buf.size() - 1), 0, buf.data(), SQLLEN(buf.size() * sizeof(SQLWCHAR)),
                         &lengths[b]);
        ++b;
    }
    if (!SQL_SUCCEEDED(SQLExecDirectW(stmt, w(m_lastSql), SQL_NTS))) {
        m_error = diagnostics(SQL_HANDLE_STMT, stmt);
        SQLFreeHandle(SQL_HANDLE_STMT, stmt);
        return nullptr;
    }
    return std::make_unique<OdbcCursor>(stmt, &rowAdded, std::move(buffers), std::move(lengths));
}

} // namespace sendora::dblink
