#pragma once
// The recipient cursor of a mailing: opens the list with the selection, block and "Sent"
// rules of the delivery options, hands out one address at a time ("*EOF*" at the end),
// reads the message row, and writes the "Sent" flag of each accepted address at once.

#include "mailing/MailEvent.h"

#include <QDataStream>
#include <QHash>
#include <QString>
#include <QVariant>
#include <exception>
#include <functional>
#include <memory>

class QLockFile;
class QTemporaryFile;

namespace jet {
class Database;
class Recordset;
class Statement;
} // namespace jet

namespace sendora {

struct AppContext;

inline const QString kEndOfList = QStringLiteral("*EOF*");

// Why a read or write of one of our files failed, in words for the user (the storage
// layer's own text carries the statement, which means nothing to them).
QString storageFailureReason(const std::exception& e);

// Throw the storage error when the file cannot be written; they change nothing.
void proveMailingWritable(jet::Database& systemDb, qint64 mailingId);
void proveListWritable(jet::Database& list);

// Why a mailing could not start, for the log, and the same told to the user.
QString cannotWriteText(const QString& file, const QString& reason);
void tellCannotStart(AppContext& ctx, const QString& file, const QString& reason);

class SendMDBList {
public:
    SendMDBList(AppContext& ctx, const MailEvent& options);
    ~SendMDBList();

    // Names set by the mailing centre before a send.
    QString AddrListName;
    QString MailOptionsName;
    QString MsgName;
    QString Sendora;
    int MailOption = 0;
    qint64 TotalSoFar = 0;
    qint64 MailEventID = 0;
    // This send only: the addresses its selection leaves out, by address and "Sent" value
    // (a send resumed after a stop skips what already went out). Empty: the options decide.
    std::function<bool(const QString& address, const QVariant& sent)> leaveOut;

    // Before anything goes out: finds the list, claims it against a second send, and proves
    // that every file the send writes can be written (the system database, and the list's
    // "Sent" column when sends are flagged). False after a message that names the file and
    // the reason; nothing is written then.
    bool prepareSend();
    bool InitMailingDBSupport();
    // The message row and the list file without selecting recipients (composing one
    // recipient's message outside a send).
    bool openMessageAndList();
    void EndMailingDBSupport();
    void OpenSendoraDB();
    void CloseSendoraDB();
    bool OpenList();
    bool OpenListFiltered();

    QString GetFirstAddr();
    QString GetNextAddr();
    // Writes and commits the flag before it returns: a process killed right after still
    // has the address marked. False when it could not be committed (writeFailure() says why).
    bool UpdateSuccessfulSentFlag(const QString& address);
    // Why the last flag or read failed, naming the file; empty while all is well.
    QString writeFailure() const { return m_writeFailure; }
    // GetFirstAddr/GetNextAddr gave "" because the recipients could no longer be read.
    bool readFailed() const { return !m_readFailure.isEmpty(); }
    QString readFailure() const { return m_readFailure; }

    void GetMessageParams();
    QString GetAttachmentsString() const;
    QString GetSubject() const;
    QString GetMsgText() const;
    QString getHTMLText() const;
    int getMessageType() const;
    bool CheckIfPersonalizedToAddress() const;
    QString GetGroupToAddress() const;
    // The current message row's value of any column (null when absent).
    QVariant messageValue(const QString& column) const;

    // The list database while open.
    jet::Database* listDatabase() const { return m_listDb.get(); }
    qint64 recipientCount() const { return m_count; }

    // The statement the recipients are opened with (for tests and the log).
    QString recipientStatement(const QString& filter) const;

private:
    bool findListFile();
    bool claimList();
    bool refuseToStart(const QString& file, const QString& reason);
    bool openRecipients(const QString& sql, bool filtered);
    QString readSpooled();

    AppContext& m_ctx;
    const MailEvent& m_options;
    std::unique_ptr<jet::Database> m_sdr;
    std::unique_ptr<jet::Database> m_listDb;
    std::unique_ptr<jet::Statement> m_flagUpdate;
    // The selected addresses, spooled to a file when the list opens: no read statement
    // stays open during the send, so every "Sent" flag commits and checkpoints at once.
    std::unique_ptr<QTemporaryFile> m_spool;
    QDataStream m_spoolIn;
    std::unique_ptr<QLockFile> m_lock;
    QString m_writeFailure;
    QString m_readFailure;
    QString m_listPath;
    qint64 m_count = 0;
    bool m_atEnd = false;
    // The message row, read once.
    QHash<QString, QVariant> m_message;
};

} // namespace sendora
