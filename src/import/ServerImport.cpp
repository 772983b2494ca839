#include "import/ServerImport.h"

#include "core/AppContext.h"
#include "core/ErrorLog.h"
#include "core/UserInterface.h"

namespace sendora {

namespace sr = sourcereaders;

namespace {

// Hands out a row read ahead (to learn that the source is not empty), then the rest.
class PeekedCursor final : public sr::RowCursor {
public:
    PeekedCursor(std::unique_ptr<sr::RowCursor> rows, sr::SourceRow first)
        : m_rows(std::move(rows)), m_first(std::move(first)) {}
    bool next(sr::SourceRow& row) override {
        if (m_pending) {
            m_pending = false;
            row = std::move(m_first);
            return true;
        }
        return m_rows->next(row);
    }
    QList<sr::SourceField> fields() const override { return m_rows->fields(); }
    QString errorText() const override { return m_rows->errorText(); }
    qint64 position() const override { return m_rows->position(); }

private:
    std::unique_ptr<sr::RowCursor> m_rows;
    sr::SourceRow m_first;
    bool m_pending = true;
};

} // namespace

ServerImport::ServerImport(AppContext& ctx, std::unique_ptr<dblink::DbLink> link)
    : m_ctx(ctx), m_link(link ? std::move(link) : std::make_unique<dblink::DbLink>()) {}

ServerImport::~ServerImport() {
    m_rows.reset(); // before the link it reads through
}

QString ServerImport::title(int page) {
    return QStringLiteral("%1 - Step %2 of %3").arg(caption()).arg(page).arg(kPages);
}

QList<ServerImport::ServerKindInfo> ServerImport::kinds() {
    return {
        {QStringLiteral("SQL Server"), dblink::SqlServer, true},
        {QStringLiteral("Oracle"), dblink::Oracle, false},
        {QStringLiteral("MySQL (MyODBC)"), dblink::MySql, false},
        {QStringLiteral("MySQL (MyODBC 3.51)"), dblink::MySql351, false},
    };
}

QStringList ServerImport::networkLibraries() {
    return {QStringLiteral("Default"), QStringLiteral("TCP/IP"),       QStringLiteral("Named Pipes"),
            QStringLiteral("IPX/SPX"), QStringLiteral("Banyan Vines"), QStringLiteral("Multiprotocol")};
}

QStringList ServerImport::requirementNote(int kindIndex) {
    const QList<ServerKindInfo> all = kinds();
    if (kindIndex < 0 || kindIndex >= all.size()) return {};
    switch (all[kindIndex].code) {
    case dblink::Oracle:
        return {QStringLiteral("Please note that the Oracle(tm) client and networking components "),
                QStringLiteral("are required to import from an Oracle database. These components "),
                QStringLiteral("are supplied by Oracle Corporation and are part of the Oracle "),
                QStringLiteral("Version 7.3 (or greater) client software installation.")};
    case dblink::MySql:
    case dblink::MySql351:
        return {QStringLiteral("Please note that the MySQL ODBC driver is required to import from "),
                QStringLiteral("a MySQL database. It can be downloaded from "
                               "https://dev.mysql.com/downloads/connector/odbc/")};
    default:
        return {};
    }
}

int ServerImport::kindCode() const {
    const QList<ServerKindInfo> all = kinds();
    return m_kindIndex >= 0 && m_kindIndex < all.size() ? all[m_kindIndex].code : -1;
}

bool ServerImport::hasCatalogPage() const {
    const QList<ServerKindInfo> all = kinds();
    return m_kindIndex >= 0 && m_kindIndex < all.size() && all[m_kindIndex].catalogPage;
}

void ServerImport::setSource(SourceType type, const QString& name) {
    m_sourceType = type;
    m_source = name;
}

QList<sr::SourceField> ServerImport::fields() const {
    return m_rows ? m_rows->fields() : QList<sr::SourceField>{};
}

void ServerImport::showMessage(const QString& text) {
    m_ctx.ui->message(text, Buttons::OK, Icon::Information);
}

bool ServerImport::next() {
    switch (m_page) {
    case KindPage:
        if (kindCode() < 0) {
            showMessage(QStringLiteral("Please select a database server type"));
            return false;
        }
        m_page = ConnectionPage;
        return true;
    case ConnectionPage:
        return connectNext();
    case CatalogPage:
        return catalogNext();
    case SourcePage:
        return sourceNext();
    case ParametersPage:
        if (!openSource()) {
            m_page = SourcePage;
            return false;
        }
        m_page = FieldsPage;
        return true;
    case FieldsPage: {
        if (m_mapping.trays[TrayEmail].isEmpty()) {
            showMessage(
                QStringLiteral("You must select a field to represent E-Mail addresses before you can "
                               "continue.\r\nDrag a field name from the Field List onto a tray to the right "
                               "to identify a specific field."));
            return false;
        }
        for (const sr::SourceField& f : fields()) {
            if (f.name.compare(u"ID", Qt::CaseInsensitive) == 0 &&
                m_mapping.trays[TrayID].compare(f.name, Qt::CaseInsensitive) != 0) {
                showMessage(
                    QStringLiteral("You must drag the ID field on the left to the tray on the right to "
                                   "continue."));
                return false;
            }
        }
        m_page = FilterPage;
        return true;
    }
    case FilterPage:
        m_page = BuildPage;
        return true;
    case BuildPage:
        return false;
    }
    return false;
}

void ServerImport::back() {
    switch (m_page) {
    case KindPage:
        break;
    case ConnectionPage:
        m_page = KindPage;
        break;
    case CatalogPage:
        m_page = ConnectionPage;
        break;
    case SourcePage:
        m_page = hasCatalogPage() ? CatalogPage : ConnectionPage;
        break;
    case ParametersPage:
        m_page = SourcePage;
        break;
    case FieldsPage:
        m_rows.reset();
        m_page =
            m_sourceType == SourceType::Procedure && !m_parameters.isEmpty() ? ParametersPage : SourcePage;
        break;
    case FilterPage:
        m_page = FieldsPage;
        break;
    case BuildPage:
        m_page = FilterPage;
        break;
    }
}

bool ServerImport::connectNext() {
    if (m_connection.server.trimmed().isEmpty()) {
        showMessage(QStringLiteral("Please enter a database server name or IP address"));
        return false;
    }
    m_connection.kindCode = kindCode();
    m_ctx.ui->setBusy(true);
    const bool connected = m_link->connect(m_connection);
    m_ctx.ui->setBusy(false);
    if (!connected) {
        LogError(m_ctx, QStringLiteral("frmDBServerImport_Connect"), ErrorInfo{0, m_link->errorText()},
                 false);
        showMessage(m_link->errorText());
        return false;
    }
    if (hasCatalogPage()) {
        m_catalogs = m_link->catalogs();
        m_page = CatalogPage;
    } else {
        readSources();
        m_page = SourcePage;
    }
    return true;
}

bool ServerImport::catalogNext() {
    if (m_catalog.isEmpty()) {
        showMessage(QStringLiteral("Please select a catalog"));
        return false;
    }
    if (!m_link->setCatalog(m_catalog)) {
        LogError(m_ctx, QStringLiteral("frmDBServerImport_Catalog"), ErrorInfo{0, m_link->errorText()},
                 false);
        showMessage(m_link->errorText());
        return false;
    }
    readSources();
    m_page = SourcePage;
    return true;
}

void ServerImport::readSources() {
    m_tables = m_link->tables();
    m_views = m_link->views();
    m_procedures = m_link->procedures();
}

bool ServerImport::sourceNext() {
    switch (m_sourceType) {
    case SourceType::Table:
        if (m_source.isEmpty()) {
            showMessage(QStringLiteral("Please select a table to import from"));
            return false;
        }
        break;
    case SourceType::View:
        if (m_source.isEmpty()) {
            showMessage(QStringLiteral("Please select a view to import from"));
            return false;
        }
        break;
    case SourceType::Procedure:
        if (m_source.isEmpty()) {
            showMessage(QStringLiteral("Please select a stored procedure to import from"));
            return false;
        }
        m_parameters.clear();
        for (const dblink::ProcedureParameter& p : m_link->parameters(m_source))
            if (p.isBound()) m_parameters << p;
        if (!m_parameters.isEmpty()) {
            m_page = ParametersPage;
            return true;
        }
        break;
    case SourceType::None:
        showMessage(QStringLiteral("Please select a source to import from"));
        return false;
    }
    if (!openSource()) return false;
    m_page = FieldsPage;
    return true;
}

// Opens the rows and reads the first: a source without rows keeps the source page.
bool ServerImport::openSource() {
    m_rows.reset();
    m_ctx.ui->setBusy(true);
    std::unique_ptr<sr::RowCursor> rows = m_sourceType == SourceType::Procedure
                                              ? m_link->openProcedure(m_source, m_parameters)
                                              : m_link->openTable(m_source);
    sr::SourceRow first;
    const bool any = rows && rows->next(first);
    m_ctx.ui->setBusy(false);
    if (!any) {
        if (!rows || !rows->errorText().isEmpty())
            LogError(m_ctx, QStringLiteral("frmDBServerImport_OpenSource"),
                     ErrorInfo{0, rows ? rows->errorText() : m_link->errorText()}, false);
        const QString from = m_sourceType == SourceType::Procedure
                                 ? QStringLiteral("from the stored procedure ")
                             : m_sourceType == SourceType::View ? QStringLiteral("from the view ")
                                                                : QStringLiteral("from the table ");
        showMessage(QStringLiteral("No records were returned ") + from + m_source);
        return false;
    }
    m_rows = std::make_unique<PeekedCursor>(std::move(rows), std::move(first));
    return true;
}

bool ServerImport::startBuild(DatabaseImport& build) {
    if (!m_rows) return false;
    if (!build.start(std::move(m_rows), m_mapping, m_filter, caption())) {
        LogError(m_ctx, QStringLiteral("CreateAddressList in frmDBServerImport"),
                 ErrorInfo{0, build.result().error}, true);
        return false;
    }
    return true;
}

} // namespace sendora
