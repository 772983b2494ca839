// The ODBC source of the import wizard and the command line: the source is a connection
// string; the tables and views of the connection are its tables.

#include "DbLink.h"

namespace sendora::dblink {

namespace sr = sendora::sourcereaders;

namespace {

class OdbcReader final : public sr::SourceReader {
public:
    bool open(const QString& source, const sr::SourceOptions& options) override {
        close();
        QString connection = source.trimmed();
        if (!connection.contains(u'='))
            connection = QStringLiteral("DSN=") + connection; // a bare data source name
        if (!options.password.isEmpty() && !connection.contains(QStringLiteral("PWD="), Qt::CaseInsensitive))
            connection += QStringLiteral(";PWD={%1}")
                              .arg(QString(options.password).replace(u'}', QStringLiteral("}}")));
        if (!m_link.connectString(connection)) return false;
        m_tables = m_link.tables() + m_link.views();
        return true;
    }
    void close() override {
        m_link.disconnect();
        m_tables.clear();
    }
    bool isOpen() const override { return m_link.isConnected(); }
    QStringList tables() override { return m_tables; }
    QString chosenTable() const override { return {}; }
    QList<sr::SourceField> fields(const QString& table) override { return m_link.columns(table); }
    std::unique_ptr<sr::RowCursor> rows(const QString& table) override { return m_link.openTable(table); }
    QString errorText() const override { return m_link.errorText(); }
    sr::SourceKind kind() const override { return sr::SourceKind::Odbc; }

private:
    DbLink m_link;
    QStringList m_tables;
};

} // namespace

std::unique_ptr<sr::SourceReader> makeOdbcReader() {
    return std::make_unique<OdbcReader>();
}

std::unique_ptr<sr::SourceReader> createSourceReader(sr::SourceKind kind) {
    return kind == sr::SourceKind::Odbc ? makeOdbcReader() : sr::createReader(kind);
}

} // namespace sendora::dblink
