#include "import/DatabaseImportWizard.h"

#include "components/jet/Jet.h"
#include "core/AppContext.h"
#include "core/ErrorLog.h"
#include "core/Settings.h"

#include <QDir>
#include <QFileInfo>

namespace sendora {

namespace sr = sourcereaders;

namespace {

const QString kErrorTitle = QStringLiteral("Sendora Error");
const QString kNotSupported = QStringLiteral("Not Supported");

} // namespace

DatabaseImportWizard::DatabaseImportWizard(AppContext& ctx) : m_ctx(ctx) {}

DatabaseImportWizard::~DatabaseImportWizard() {
    closeSource();
}

QString DatabaseImportWizard::title(int page) {
    return QStringLiteral("%1 - Step %2 of %3").arg(caption()).arg(page).arg(kPages);
}

QStringList DatabaseImportWizard::kindNames() {
    QStringList names;
    for (int i = 0; i < sr::kWizardKindCount; ++i)
        names << sr::kindInfo(sr::kindFromIndex(i)).filter.section(u'|', 0, 0);
    return names;
}

void DatabaseImportWizard::setKindIndex(int index) {
    if (index != m_kindIndex) closeSource();
    m_kindIndex = index;
}

sr::SourceKind DatabaseImportWizard::kind() const {
    return sr::kindFromIndex(m_kindIndex);
}

QString DatabaseImportWizard::kindKey() const {
    return sr::kindInfo(kind()).key;
}

bool DatabaseImportWizard::isContactManagerKind() const {
    return kind() == sr::SourceKind::Act4 || kind() == sr::SourceKind::Goldmine;
}

QString DatabaseImportWizard::enterFilePage() {
    const QString folder = GetSetting(m_ctx, QStringLiteral("DefaultDirectories"), kindKey(), QString());
    return folder.isEmpty() || !QFileInfo(folder).isDir() ? QDir::homePath() : folder;
}

void DatabaseImportWizard::leaveFilePage(const QString& folder) {
    if (!folder.isEmpty()) SaveSetting(m_ctx, QStringLiteral("DefaultDirectories"), kindKey(), folder);
}

void DatabaseImportWizard::showMessage(const QString& text, const QString& title) {
    m_ctx.ui->message(text, Buttons::OK, Icon::Information, title);
}

void DatabaseImportWizard::closeSource() {
    if (m_reader) m_reader->close();
    m_reader.reset();
    m_tables.clear();
    m_table.clear();
    m_fields.clear();
}

bool DatabaseImportWizard::fileNext() {
    if (m_file.trimmed().isEmpty()) {
        showMessage(QStringLiteral("You must select a source file before you can continue."));
        return false;
    }
    closeSource();
    m_reader = readerFactory(kind());
    if (!m_reader->open(m_file, m_options)) {
        const QString error = m_reader->errorText();
        m_reader.reset();
        if (error == kNotSupported) {
            m_ctx.ui->message(kNotSupported, Buttons::OK, Icon::Exclamation, kErrorTitle);
        } else {
            LogError(m_ctx, QStringLiteral("SetupAddressData in frmDBImportWiz"), ErrorInfo{0, error}, false);
            showMessage(QStringLiteral("%1 is invalid for the current operation.  \r\nIt may be corrupt, the "
                                       "wrong type of file, password protected or empty.")
                            .arg(m_file),
                        kErrorTitle);
        }
        return false;
    }
    if (isContactManagerKind()) return true;
    m_tables = m_reader->tables();
    const QString chosen = m_reader->chosenTable();
    selectTable(!chosen.isEmpty() ? chosen : m_tables.value(0));
    return true;
}

void DatabaseImportWizard::selectTable(const QString& table) {
    m_table = table;
    m_fields = m_reader && !table.isEmpty() ? m_reader->fields(table) : QList<sr::SourceField>();
    // The trays and checks belong to the table they were made on.
    m_mapping = {};
    m_filter.clear();
}

QString DatabaseImportWizard::sample(const QString& field, int rows) {
    if (!m_reader || m_table.isEmpty()) return {};
    int index = -1;
    for (int i = 0; i < m_fields.size(); ++i)
        if (m_fields[i].name == field) index = i;
    if (index < 0) return {};
    std::unique_ptr<sr::RowCursor> cursor = m_reader->rows(m_table);
    if (!cursor) return {};
    QStringList lines;
    sr::SourceRow row;
    while (lines.size() < rows && cursor->next(row))
        lines << sr::valueText(row.value(index));
    return lines.join(u'\n');
}

bool DatabaseImportWizard::tableUnreadable() {
    showMessage(
        QStringLiteral("Sendora cannot read the selected file.\r\nThe selected file may have no records, "
                       "it may be opened exclusively by another application, or it may be an incorrect "
                       "type or corrupt.\r\nPlease correct the problem before trying to open the file "
                       "with Sendora"));
    return false;
}

bool DatabaseImportWizard::tableNext() {
    if (m_tables.isEmpty()) {
        showMessage(
            QStringLiteral("There are no source tables available in the currently selected database. "
                           "\r\nYou must select a database with data, then select a source table before "
                           "you can continue."));
        return false;
    }
    if (m_table.isEmpty()) {
        showMessage(QStringLiteral("You must select a source table before you can continue."));
        return false;
    }
    if (m_fields.isEmpty() || !m_reader->rows(m_table)) return tableUnreadable();
    return true;
}

bool DatabaseImportWizard::canViewTable() {
    if (!m_reader || m_tables.isEmpty()) {
        showMessage(QStringLiteral("There are no tables to view!"));
        return false;
    }
    return true;
}

bool DatabaseImportWizard::fieldsNext() {
    if (m_mapping.trays[TrayEmail].isEmpty()) {
        showMessage(
            QStringLiteral("You must select a field to represent E-Mail addresses before you can "
                           "continue.\r\nDrag a field name from the Field List onto a tray to the right to "
                           "identify a specific field."));
        return false;
    }
    for (const sr::SourceField& f : m_fields) {
        if (f.name.compare(u"ID", Qt::CaseInsensitive) == 0 &&
            m_mapping.trays[TrayID].compare(f.name, Qt::CaseInsensitive) != 0) {
            showMessage(QStringLiteral("You must drag the ID field on the left to the tray on the right to "
                                       "continue."));
            return false;
        }
    }
    return true;
}

bool DatabaseImportWizard::startBuild(DatabaseImport& build, const QString& caption) {
    std::unique_ptr<sr::RowCursor> rows = m_reader ? m_reader->rows(m_table) : nullptr;
    if (!rows) return tableUnreadable();
    if (!build.start(std::move(rows), m_mapping, m_filter, caption)) {
        LogError(m_ctx, QStringLiteral("CreateAddressList in frmDBImportWiz"),
                 ErrorInfo{0, build.result().error}, true);
        return false;
    }
    return true;
}

QString DatabaseImportWizard::runContactImport() {
    const QString path = contactImport ? contactImport(kind(), m_file) : QString();
    if (path.isEmpty()) showMessage(QStringLiteral("Unable to import the data"));
    return path;
}

QString DatabaseImportWizard::resultToShow(const QString& listFile) {
    qint64 rows = 0;
    try {
        auto db = jet::Database::open(listFile, jet::Database::OpenMode::ReadOnly);
        rows =
            db->openRecordset(QStringLiteral("SELECT Count(*) AS n FROM AddressList"))->value(0).toLongLong();
    } catch (const std::exception& e) {
        LogError(m_ctx, QStringLiteral("ImportContactDatabase in MDIMain"), errorInfo(e), false);
    }
    if (rows > 0) return listFile;
    m_ctx.ui->message(QStringLiteral("There were no records satisfying your selection parameters"),
                      Buttons::OK, Icon::Information, QStringLiteral("Contact Database Import Summary"));
    return {};
}

bool DatabaseImportWizard::confirmExit() {
    return m_ctx.ui->message(
               QStringLiteral("Are you sure you wish to exit?  Any changes you made in the wizard will "
                              "be lost\r\nUse the finish button to save modifications."),
               Buttons::YesNo, Icon::Question) == Answer::Yes;
}

} // namespace sendora
