#pragma once
// What the database server import knows and checks, without its widgets: the server kind and
// its code, the connection, the catalog (SQL Server only), the table, view or stored procedure
// with its parameters, the trays, the filter and the build. next() runs the check of the page
// shown and moves on (skipping the pages the choices leave out); back() goes to the page
// before. Messages go through the user interface.

#include "components/dblink/DbLink.h"
#include "import/DatabaseImport.h"

#include <QString>
#include <QStringList>
#include <memory>

namespace sendora {

struct AppContext;

class ServerImport {
public:
    static constexpr int kPages = 8;
    enum Page {
        KindPage = 1,
        ConnectionPage,
        CatalogPage,
        SourcePage,
        ParametersPage,
        FieldsPage,
        FilterPage,
        BuildPage
    };
    enum class SourceType { None, Table, View, Procedure };

    struct ServerKindInfo {
        QString name;
        int code;
        bool catalogPage;
    };

    ServerImport(AppContext& ctx, std::unique_ptr<dblink::DbLink> link = nullptr);
    ~ServerImport();

    static QString caption() { return QStringLiteral("Import Data from a Database Server"); }
    static QString title(int page); // "<caption> - Step <n> of <count>"
    static QList<ServerKindInfo> kinds();
    static QStringList networkLibraries();
    // The requirement note shown under the kind list, one entry per line.
    static QStringList requirementNote(int kindIndex);

    Page page() const { return m_page; }
    bool next();
    void back();

    // Page 1.
    void setKindIndex(int index) { m_kindIndex = index; }
    int kindIndex() const { return m_kindIndex; }
    int kindCode() const;
    bool hasCatalogPage() const;

    // Page 2.
    dblink::ConnectionSettings& connection() { return m_connection; }

    // Page 3.
    QStringList catalogs() const { return m_catalogs; }
    void setCatalog(const QString& catalog) { m_catalog = catalog; }

    // Page 4: the names read from the server.
    QStringList tables() const { return m_tables; }
    QStringList views() const { return m_views; }
    QStringList procedures() const { return m_procedures; }
    void setSource(SourceType type, const QString& name = {});
    SourceType sourceType() const { return m_sourceType; }
    QString sourceName() const { return m_source; }

    // Page 5.
    QList<dblink::ProcedureParameter>& parameters() { return m_parameters; }

    // Page 6: the fields of the opened rows and the trays.
    QList<sourcereaders::SourceField> fields() const;
    ImportMapping& mapping() { return m_mapping; }

    // Page 7.
    void setFilter(const QString& condition) { m_filter = condition; }
    QString filter() const { return m_filter; }

    // Page 8: the build over the opened rows; the link's row event drives `progress`.
    bool startBuild(DatabaseImport& build);

    dblink::DbLink& link() { return *m_link; }

private:
    void showMessage(const QString& text);
    bool connectNext();
    bool catalogNext();
    bool sourceNext();
    bool openSource();
    void readSources();

    AppContext& m_ctx;
    std::unique_ptr<dblink::DbLink> m_link;
    Page m_page = KindPage;
    int m_kindIndex = -1;
    dblink::ConnectionSettings m_connection;
    QStringList m_catalogs;
    QString m_catalog;
    QStringList m_tables, m_views, m_procedures;
    SourceType m_sourceType = SourceType::None;
    QString m_source;
    QList<dblink::ProcedureParameter> m_parameters;
    std::unique_ptr<sourcereaders::RowCursor> m_rows; // opened, its first row already read
    ImportMapping m_mapping;
    QString m_filter;
};

} // namespace sendora
