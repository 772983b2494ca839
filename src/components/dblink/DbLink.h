#pragma once
// DbLink: our layer over unixODBC for imports from database servers. It connects by server
// kind (SQL Server, Oracle, MySQL), by a data source name from odbc.ini, or by a connection
// string the user types; lists catalogs, tables, views, stored procedures and their
// parameters as far as the driver reports them; and streams the rows of a table, a view or a
// procedure call through a RowCursor, reporting every row it hands out. Every failure leaves
// the driver's diagnostics in errorText(). The methods are virtual so that the wizard's page
// logic can be driven by a scripted link in tests.

#include "components/sourcereaders/SourceReader.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

namespace sendora::dblink {

// The server kind codes the import wizard passes in.
enum ServerKind { SqlServer = 0, Oracle = 4, MySql = 6, MySql351 = 7 };

struct ConnectionSettings {
    int kindCode = SqlServer;
    // A server name or address, a data source name, or a whole connection string ("a=b;...").
    QString server;
    QString database;
    QString user;
    QString password;
    QString networkLibrary; // "Default", "TCP/IP", ... (SQL Server only)
};

struct ProcedureParameter {
    QString name;
    QString type;
    int length = 0;
    int direction = 1;             // SQL_PARAM_INPUT (1), _INPUT_OUTPUT (2), _OUTPUT (4), return value (5)
    QString value;                 // what the user entered
    QString directionText() const; // "Input", "Output", ...
    bool isBound() const { return direction == 1 || direction == 2 || direction == 4; }
};

class DbLink {
public:
    static constexpr int kLoginTimeoutSeconds = 15;
    static constexpr int kQueryTimeoutSeconds = 120;
    static constexpr int kMaxTextChars = 1 << 16; // longer values are cut: hostile data stays bounded

    DbLink();
    virtual ~DbLink();
    DbLink(const DbLink&) = delete;
    DbLink& operator=(const DbLink&) = delete;

    // The data sources of odbc.ini (user and system) and the drivers of odbcinst.ini.
    static QStringList dataSources();
    static QStringList drivers();
    // The connection string for settings, given the installed drivers and data sources.
    static QString connectionString(const ConnectionSettings& settings, const QStringList& drivers,
                                    const QStringList& dataSources = {});

    virtual bool connect(const ConnectionSettings& settings);
    virtual bool connectString(const QString& connection);
    virtual void disconnect();
    virtual bool isConnected() const;

    virtual QStringList catalogs();
    virtual bool setCatalog(const QString& catalog);
    virtual QStringList tables();
    virtual QStringList views();
    virtual QStringList procedures();
    virtual QList<ProcedureParameter> parameters(const QString& procedure);
    // The columns of a table or view as the catalogue describes them.
    virtual QList<sourcereaders::SourceField> columns(const QString& table);

    // "SELECT * FROM <table>" for a table or a view (named as tables()/views() list it).
    virtual std::unique_ptr<sourcereaders::RowCursor> openTable(const QString& table);
    // A call of the procedure with the bound parameters' values.
    virtual std::unique_ptr<sourcereaders::RowCursor> openProcedure(const QString& procedure,
                                                                    const QList<ProcedureParameter>& params);

    virtual QString errorText() const { return m_error; }
    // The last statement run (for logs and tests).
    QString lastSql() const { return m_lastSql; }

    // Called with the running count for every row a cursor hands out.
    std::function<void(qint64)> rowAdded;

protected:
    QString m_error;
    QString m_lastSql;

private:
    struct Name {
        QString catalog, schema, name;
    };
    struct Handles;
    QStringList listObjects(const char16_t* type, QHash<QString, Name>& names);
    QString quotedName(const Name& name) const;
    void* newStatement();
    std::unique_ptr<sourcereaders::RowCursor> run(void* stmt);

    std::unique_ptr<Handles> m_h;
    QHash<QString, Name> m_tables;
    QHash<QString, Name> m_procedures;
    QString m_quote;
};

// A SourceReader over a connection string (kind odbc): tables and views are its tables.
std::unique_ptr<sourcereaders::SourceReader> makeOdbcReader();
// createReader() with the ODBC kind answered here.
std::unique_ptr<sourcereaders::SourceReader> createSourceReader(sourcereaders::SourceKind kind);

} // namespace sendora::dblink
