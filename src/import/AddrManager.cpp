#include "import/AddrManager.h"

#include "components/jet/Jet.h"
#include "core/AppContext.h"
#include "core/ErrorLog.h"
#include "core/Settings.h"
#include "import/EmailFileScan.h"

#include <QDir>
#include <QFileInfo>

namespace sendora {

AddrManager::AddrManager(AppContext& ctx, QObject* parent)
    : QObject(parent), m_ctx(ctx), m_list(ctx), m_parser(ctx.ui, nullptr, &m_list) {}

AddrManager::~AddrManager() {
    m_stop = true;
    m_list.Close();
}

EmailSrcFileObj* AddrManager::GetTypeAndOptions(const QString& fileName, const QString& fileType) {
    EmailSrcFileObj* entry = m_sources.Add(fileName, m_ctx.ui);
    if (!entry) return nullptr;
    entry->fileType = fileType;
    entry->SetDefaults();
    m_current = entry;
    return entry;
}

EmailSrcFileObj* AddrManager::SelectSourceFile(const QString& fileType) {
    const std::optional<QString> file =
        m_ctx.ui->openFileName(QStringLiteral("Select source file for addresses"), m_ctx.paths.mailboxes,
                               {{QStringLiteral("All Files "), "*.*"}});
    if (!file || file->isEmpty()) return nullptr;
    return GetTypeAndOptions(*file, fileType);
}

QString AddrManager::GetFileType(const EmailSrcFileObj& entry) {
    return entry.fileType == u"Mailbox" ? QStringLiteral("Mailbox") : QStringLiteral("Text");
}

void AddrManager::ChangeSearchOptions(EmailSrcFileObj* entry) {
    m_current = entry;
    if (searchOptionsDialog) searchOptionsDialog(entry);
}

QString AddrManager::NewListInitiate() {
    m_sources.EmptyCollection();
    m_current = nullptr;
    m_list.Close();
    const QString before = m_list.path();
    if (!wizard || !wizard(*this)) return {};
    const QString path = listPath();
    return path != before ? path : QString();
}

QString AddrManager::listPath() const {
    return m_list.path().isEmpty() || !QFileInfo::exists(m_list.path()) ? QString() : m_list.path();
}

qint64 AddrManager::linesProcessed() const {
    return m_scan ? m_scan->linesRead() : 0;
}

void AddrManager::BuildList(bool ask) {
    if (m_building) return;
    m_stop = false;
    if (m_sources.count() == 0) {
        m_ctx.ui->message(QStringLiteral("There are currently no files chosen to extract addresses from."),
                          Buttons::OK, Icon::Information);
        return;
    }
    m_building = true;
    m_parser.beginBuild();
    m_parser.setAskIfAmbigous(ask);
    m_parser.setNameChecking(m_names != NameExtraction::Disabled);
    m_list.setKeywords(GetSetting(m_ctx, kAppDefaults, QStringLiteral("KeyCategoryVal2"), {}),
                       GetSetting(m_ctx, kAppDefaults, QStringLiteral("KeyCategoryVal1"), {}));
    if (statusText) statusText(QStringLiteral("Converting..."));
    m_found = 0;
    m_next = 0;
    m_scan = std::make_unique<EmailFileScan>(m_parser, m_ctx.ui, &m_stop);
    connect(m_scan.get(), &EmailFileScan::started, this, [this](const QString& file) {
        m_list.setDate(m_parser.scanStartTime);
        Q_EMIT fileStarted(QStringLiteral("Input File: %1, Lines Processed").arg(file),
                           QStringLiteral("Unique Email Addresses Extracted"));
    });
    connect(m_scan.get(), &EmailFileScan::progress, this, [this](qint64 bytes, qint64 size, qint64 lines) {
        Q_EMIT progress(lines, m_list.rowsStored(), bytes, size);
    });
    connect(m_scan.get(), &EmailFileScan::finished, this, &AddrManager::fileDone);
    Q_EMIT buildStarted();
    nextFile();
}

void AddrManager::nextFile() {
    if (m_stop || m_list.failed() || m_next >= m_sources.count()) {
        finishBuild();
        return;
    }
    m_scan->FileEmailAddressesToISAM2(*m_sources.Item(m_next++));
}

void AddrManager::fileDone(int count) {
    m_found += count;
    m_list.Commit(); // the counters show what is stored
    Q_EMIT progress(m_scan->linesRead(), m_list.rowsStored(), m_scan->bytesRead(), m_scan->fileSize());
    if (count == 0 && !m_stop && !m_list.failed()) {
        const QString name = m_sources.Item(m_next - 1)->fileName.trimmed();
        m_ctx.ui->message(
            QStringLiteral(
                "No addresses were extracted from the file %1.\rYou should check to ensure that your "
                "extraction options are correct. For instance, \rthis may be a text file and you may "
                "have indicated it to be a mailbox file, \rand to look for addresses after \"FROM:\" ")
                .arg(name),
            Buttons::OK, Icon::Information,
            QStringLiteral("No Addresses Extracted -- Check Extraction Options"));
        m_list.Close();
    }
    nextFile();
}

void AddrManager::finishBuild() {
    m_list.Close();
    m_building = false;
    if (statusText) statusText(QString());
    if (m_list.failed())
        m_ctx.ui->message(QStringLiteral("The addresses could not be stored in %1: %2\r\nOnly the addresses "
                                         "stored before the failure are in the list.")
                              .arg(QDir::toNativeSeparators(m_list.path()), m_list.failureText()),
                          Buttons::OK, Icon::Critical);
    else if (m_stop)
        m_ctx.ui->message(
            QStringLiteral("List build was stopped by user. All the addresses extracted so far have "
                           "been saved."),
            Buttons::OK, Icon::Information);
    Q_EMIT buildFinished(m_stop);
}

void ImportMailbox(AppContext& ctx, AddrManager& manager,
                   const std::function<void(const QString&)>& showList) {
    const QString path = manager.NewListInitiate();
    if (path.isEmpty()) return;
    qint64 rows = 0;
    try {
        auto db = jet::Database::open(path, jet::Database::OpenMode::ReadOnly);
        auto rs = db->openRecordset(QStringLiteral("SELECT Count(*) AS n FROM AddressList"));
        rows = rs->eof() ? 0 : rs->value(0).toLongLong();
    } catch (const std::exception& e) {
        LogError(ctx, QStringLiteral("ImportMailbox in MDIMain"), errorInfo(e), false);
    }
    if (rows == 0) {
        ctx.ui->message(QStringLiteral("There were no records satisfying your selection parameters"),
                        Buttons::OK, Icon::Information, QStringLiteral("Mailbox Import Summary"));
        return;
    }
    showList(path);
}

} // namespace sendora
