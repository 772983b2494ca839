#include "mailing/SendMDBList.h"

#include "components/jet/Jet.h"
#include "core/AppContext.h"
#include "core/ErrorLog.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QLockFile>
#include <QTemporaryFile>

namespace sendora {

QString storageFailureReason(const std::exception& e) {
    const ErrorInfo info = errorInfo(e);
    QString text;
    switch (info.number) {
    case jet::ErrLocked:
        text = QStringLiteral("The file is locked by another program");
        break;
    case jet::ErrReadOnly:
        text = QStringLiteral("The file is read-only");
        break;
    case jet::ErrDiskFull:
        text = QStringLiteral("The disk is full");
        break;
    default:
        text = info.description.section(QStringLiteral(" ("), 0, 0);
        if (text.endsWith(u'.')) text.chop(1);
        break;
    }
    return text + QStringLiteral(" (error %1).").arg(info.number);
}

SendMDBList::SendMDBList(AppContext& ctx, const MailEvent& options) : m_ctx(ctx), m_options(options) {}

SendMDBList::~SendMDBList() {
    EndMailingDBSupport();
}

namespace {

void proveWritable(jet::Database& db, const QString& probe) {
    // BEGIN IMMEDIATE takes the write lock (waiting the busy timeout); the statement writes
    // nothing but needs write access; the rollback leaves the file as it was.
    db.beginTransaction();
    try {
        db.execute(probe);
    } catch (...) {
        db.rollback();
        throw;
    }
    db.rollback();
}

} // namespace

void proveMailingWritable(jet::Database& systemDb, qint64 mailingId) {
    proveWritable(
        systemDb,
        QStringLiteral("UPDATE MailEvent SET DateSent = DateSent WHERE MailEventName = %1").arg(mailingId));
}

void proveListWritable(jet::Database& list) {
    proveWritable(list, QStringLiteral("UPDATE [AddressList] SET [Sent] = [Sent] WHERE 1 = 0"));
}

QString cannotWriteText(const QString& file, const QString& reason) {
    return QStringLiteral("Sendora cannot write to %1: %2").arg(QDir::toNativeSeparators(file), reason);
}

void tellCannotStart(AppContext& ctx, const QString& file, const QString& reason) {
    ctx.ui->message(QStringLiteral("The mailing cannot start: Sendora cannot write to\r\n%1\r\n\r\n%2")
                        .arg(QDir::toNativeSeparators(file), reason),
                    Buttons::OK, Icon::Exclamation, QStringLiteral("Mailing Not Started"));
}

bool SendMDBList::refuseToStart(const QString& file, const QString& reason) {
    m_writeFailure = cannotWriteText(file, reason);
    tellCannotStart(m_ctx, file, reason);
    m_lock.reset();
    m_sdr.reset();
    return false;
}

bool SendMDBList::prepareSend() {
    m_writeFailure.clear();
    m_readFailure.clear();
    try {
        m_sdr = jet::Database::open(m_ctx.paths.systemDatabase());
        proveMailingWritable(*m_sdr, MailEventID);
    } catch (const std::exception& e) {
        return refuseToStart(m_ctx.paths.systemDatabase(), storageFailureReason(e));
    }
    if (!findListFile() || !claimList()) {
        m_sdr.reset();
        return false;
    }
    if (!m_options.bFlagSends) return true;
    try {
        auto list = jet::Database::open(m_listPath);
        proveListWritable(*list);
    } catch (const std::exception& e) {
        return refuseToStart(m_listPath, storageFailureReason(e));
    }
    return true;
}

bool SendMDBList::InitMailingDBSupport() {
    if (!m_sdr) OpenSendoraDB();
    const bool opened = OpenListFiltered();
    GetMessageParams();
    return opened;
}

bool SendMDBList::openMessageAndList() {
    OpenSendoraDB();
    if (!m_sdr || !findListFile()) return false;
    try {
        m_listDb = jet::Database::open(m_listPath, jet::Database::OpenMode::ReadOnly);
    } catch (const std::exception& e) {
        LogError(m_ctx, QStringLiteral("OpenList in SendMDBList"), errorInfo(e), true);
        return false;
    }
    GetMessageParams();
    return true;
}

void SendMDBList::EndMailingDBSupport() {
    m_flagUpdate.reset();
    m_spoolIn.setDevice(nullptr);
    m_spool.reset();
    m_listDb.reset();
    m_lock.reset();
    m_atEnd = false;
    CloseSendoraDB();
}

void SendMDBList::OpenSendoraDB() {
    try {
        m_sdr = jet::Database::open(m_ctx.paths.systemDatabase());
    } catch (const std::exception& e) {
        LogError(m_ctx, QStringLiteral("OpenSendoraDB in SendMDBList"), errorInfo(e), false);
    }
}

void SendMDBList::CloseSendoraDB() {
    m_sdr.reset();
}

bool SendMDBList::findListFile() {
    QString listPath;
    try {
        auto rs = m_sdr->openRecordset(QStringLiteral("List"));
        rs->findFirst(QStringLiteral("ListName = ") + jet::quote(AddrListName));
        if (!rs->noMatch()) listPath = rs->value(QStringLiteral("ListPath")).toString();
    } catch (const std::exception& e) {
        LogError(m_ctx, QStringLiteral("OpenList in SendMDBList"), errorInfo(e), false);
    }
    m_listPath = m_ctx.paths.addressLists + listPath;
    if (listPath.isEmpty() || !QFileInfo(m_listPath).isFile()) {
        m_ctx.ui->message(QStringLiteral("Cannot find ") + m_listPath +
                              QStringLiteral("\r\nPlease check that the file exists, or choose another list"),
                          Buttons::OK, Icon::Information);
        return false;
    }
    return true;
}

bool SendMDBList::claimList() {
    if (m_lock) return true;
    // Two sends on one list would race for the same "Sent" flags.
    m_lock = std::make_unique<QLockFile>(m_listPath + QStringLiteral(".sending"));
    m_lock->setStaleLockTime(0);
    if (m_lock->tryLock(0)) return true;
    m_lock.reset();
    m_ctx.ui->message(
        QStringLiteral("The list '%1' is being sent by another mailing.\r\nPlease wait until that "
                       "mailing ends before sending to this list again.")
            .arg(AddrListName),
        Buttons::OK, Icon::Exclamation, QStringLiteral("Address List"));
    return false;
}

QString SendMDBList::recipientStatement(const QString& filter) const {
    const QString top = QStringLiteral("SELECT TOP %1 * FROM AddressList ").arg(m_options.SendBlockSize);
    const QString flag = jet::quote(m_options.SentFlagToCheck);
    if (filter.isEmpty()) {
        if (m_options.bSendInBlocks && m_options.bIfNotYetFlagged)
            return top + QStringLiteral("WHERE [Sent] <> ") + flag +
                   QStringLiteral(" OR isnull([sent]) ORDER BY [EAddress];");
        if (m_options.bSendInBlocks) return top + QStringLiteral("ORDER BY [EAddress];");
        return QStringLiteral("SELECT * FROM AddressList ORDER BY [EAddress];");
    }
    if (m_options.bSendInBlocks && m_options.bIfNotYetFlagged)
        return top + filter + QStringLiteral(" AND ( [Sent] <> ") + flag +
               QStringLiteral(" OR isnull([Sent]));");
    if (m_options.bSendInBlocks) return top + filter;
    return QStringLiteral("SELECT * FROM AddressList ") + filter;
}

bool SendMDBList::openRecipients(const QString& sql, bool filtered) {
    try {
        m_listDb = jet::Database::open(m_listPath);
        auto rows = filtered ? m_listDb->openReadOnlyQuery(sql) : m_listDb->openRecordset(sql);
        m_spool = std::make_unique<QTemporaryFile>();
        if (!m_spool->open())
            throw jet::Error(jet::ErrDiskFull,
                             QStringLiteral("Could not create a temporary file for the recipients."));
        QDataStream out(m_spool.get());
        m_count = 0;
        for (; !rows->eof(); rows->moveNext()) {
            const QString address = rows->value(QStringLiteral("EAddress")).toString();
            if (leaveOut && leaveOut(address, rows->value(QStringLiteral("Sent")))) continue;
            out << address;
            ++m_count;
        }
        rows.reset();
        if (out.status() != QDataStream::Ok || !m_spool->flush())
            throw jet::Error(jet::ErrDiskFull,
                             QStringLiteral("Could not write the recipients' temporary file."));
        m_spool->seek(0);
        m_spoolIn.setDevice(m_spool.get());
        m_atEnd = false;
        if (m_count > 0) return true;
    } catch (const std::exception& e) {
        LogError(m_ctx, QStringLiteral("OpenList in SendMDBList"), errorInfo(e), true);
        m_spool.reset();
        m_listDb.reset();
        return false;
    }
    if (filtered)
        m_ctx.ui->message(
            QStringLiteral("No messages were sent because there were no addresses that \r\nmatched the "
                           "'Selection Criteria' in this mailing's Delivery Options.\r\n\r\nPlease "
                           "review this mailing's Delivery Options before attempting to send."),
            Buttons::OK, Icon::None, QStringLiteral("No Messages Sent"));
    else
        m_ctx.ui->message(
            QStringLiteral("This address list is blank or has been used with a previous\r\nmailing and "
                           "all emails have been marked as SENT. To use this address\r\nlist again "
                           "either blank out the sent field in the address list or\r\nmodify the "
                           "delivery options ( Step 5 of 7 )."),
            Buttons::OK, Icon::None, QStringLiteral("Address List"));
    return false;
}

bool SendMDBList::OpenList() {
    if (!m_sdr || !findListFile() || !claimList()) return false;
    return openRecipients(recipientStatement({}), false);
}

bool SendMDBList::OpenListFiltered() {
    QString filter;
    if (m_sdr) {
        try {
            auto rs = m_sdr->openRecordset(QStringLiteral("Profile"));
            rs->findFirst(QStringLiteral("ProfileName = ") + jet::quote(MailOptionsName));
            if (!rs->noMatch() && rs->value(QStringLiteral("bSendFiltered")).toLongLong() != 0)
                filter = rs->value(QStringLiteral("SQLFilter")).toString();
        } catch (const std::exception& e) {
            LogError(m_ctx, QStringLiteral("OpenListFiltered in SendMDBList"), errorInfo(e), false);
        }
    }
    if (filter.trimmed().isEmpty()) return OpenList();
    if (!m_sdr || !findListFile() || !claimList()) return false;
    return openRecipients(recipientStatement(filter), true);
}

QString SendMDBList::readSpooled() {
    if (!m_spool || m_atEnd || m_spoolIn.atEnd()) {
        m_atEnd = true;
        return kEndOfList;
    }
    QString address;
    m_spoolIn >> address;
    if (m_spoolIn.status() != QDataStream::Ok)
        throw jet::Error(jet::ErrGeneric,
                         QStringLiteral("The recipients' temporary file could not be read."));
    return address;
}

QString SendMDBList::GetFirstAddr() {
    try {
        if (m_spool) {
            m_spool->seek(0);
            m_spoolIn.resetStatus();
        }
        m_atEnd = false;
        return readSpooled();
    } catch (const std::exception& e) {
        m_readFailure = QStringLiteral("The recipients of %1 could not be read: %2")
                            .arg(QDir::toNativeSeparators(m_listPath), storageFailureReason(e));
        LogError(m_ctx, QStringLiteral("GetFirstAddr In SendMDBList"), errorInfo(e), false);
        return {};
    }
}

QString SendMDBList::GetNextAddr() {
    try {
        return readSpooled();
    } catch (const std::exception& e) {
        m_readFailure = QStringLiteral("The recipients of %1 could not be read: %2")
                            .arg(QDir::toNativeSeparators(m_listPath), storageFailureReason(e));
        LogError(m_ctx, QStringLiteral("GetNextAddr In SendMDBList"), errorInfo(e), false);
        return {};
    }
}

bool SendMDBList::UpdateSuccessfulSentFlag(const QString& address) {
    try {
        QString a = address.trimmed();
        if (a.startsWith(u'<')) a = a.mid(1, a.size() - 2);
        if (!m_listDb) throw jet::Error(jet::ErrGeneric, QStringLiteral("The address list is not open."));
        // Prepared once per send; each run commits on its own.
        if (!m_flagUpdate)
            m_flagUpdate =
                m_listDb->prepareStatement(QStringLiteral("UPDATE [AddressList] SET [SENT] = %1 WHERE "
                                                          "[EAddress] = %2;")
                                               .arg(jet::param(1), jet::param(2)));
        m_flagUpdate->bind(1, m_options.SentFlag);
        m_flagUpdate->bind(2, a);
        m_flagUpdate->execute();
        return true;
    } catch (const std::exception& e) {
        const ErrorInfo info = errorInfo(e);
        m_writeFailure =
            QStringLiteral("The \"Sent\" flag of %1 could not be written to %2: %3")
                .arg(address.trimmed(), QDir::toNativeSeparators(m_listPath), storageFailureReason(e));
        LogError(m_ctx, QStringLiteral("UpdateSuccessfulSentFlag in SendMDBList"), info, false);
        return false;
    }
}

void SendMDBList::GetMessageParams() {
    m_message.clear();
    if (MsgName.trimmed().isEmpty()) {
        m_ctx.ui->message(
            QStringLiteral("The message name was blank. Please recreate your mailing and try again."),
            Buttons::OK, Icon::Information);
        return;
    }
    try {
        if (!m_sdr) return;
        auto rs = m_sdr->openRecordset(QStringLiteral("Message"));
        rs->findFirst(QStringLiteral("MessageName = ") + jet::quote(MsgName));
        if (rs->noMatch()) {
            m_ctx.ui->message(QStringLiteral("Sendora was unable to find the Message ") + MsgName +
                                  QStringLiteral("  Please recreate your mailing and try again."),
                              Buttons::OK, Icon::Information);
            return;
        }
        for (int i = 0; i < rs->fieldCount(); ++i)
            m_message.insert(rs->fieldName(i).toLower(), rs->value(i));
    } catch (const std::exception& e) {
        LogError(m_ctx, QStringLiteral("GetMessageParams in SendMDBList"), errorInfo(e), false);
    }
}

QVariant SendMDBList::messageValue(const QString& column) const {
    return m_message.value(column.toLower());
}

QString SendMDBList::GetAttachmentsString() const {
    return messageValue(QStringLiteral("Attachments")).toString();
}
QString SendMDBList::GetSubject() const {
    return messageValue(QStringLiteral("Subject")).toString();
}
QString SendMDBList::GetMsgText() const {
    return messageValue(QStringLiteral("MessageText")).toString();
}
QString SendMDBList::getHTMLText() const {
    return messageValue(QStringLiteral("HTMLText")).toString();
}
int SendMDBList::getMessageType() const {
    return messageValue(QStringLiteral("SendType")).toInt();
}

bool SendMDBList::CheckIfPersonalizedToAddress() const {
    return messageValue(QStringLiteral("AddressType")).toInt() == 1;
}

QString SendMDBList::GetGroupToAddress() const {
    const QString g = messageValue(QStringLiteral("GroupAddress")).toString();
    return g.trimmed().isEmpty() ? QString() : g;
}

} // namespace sendora
