#pragma once
// The recipient cursor of a mailing: opens the list with the selection, block and "Sent"
// rules of the delivery options, hands out one address at a time ("*EOF*" at the end),
// reads the message row, and writes the "Sent" flag of each accepted address at once.

#include "mailing/MailEvent.h"

#include <QDataStream>
#include <QHash>
#include <QString>
#include <QVariant>
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
    QString DateMailed;

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
    void PositionToAddress(const QString& address);
    QString CheckSentField();
    // Writes and commits the flag before it returns: a process killed right after still
    // has the address marked.
    void UpdateSuccessfulSentFlag(const QString& address);

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

    // The full path of the list file once the list was found; the list database while open.
    QString listFilePath() const { return m_listPath; }
    jet::Database* listDatabase() const { return m_listDb.get(); }
    qint64 recipientCount() const { return m_count; }

    // The statement the recipients are opened with (for tests and the log).
    QString recipientStatement(const QString& filter) const;

private:
    bool findListFile();
    bool claimList();
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
    QString m_current;
    std::unique_ptr<QLockFile> m_lock;
    QString m_listPath;
    qint64 m_count = 0;
    bool m_atEnd = false;
    // The message row, read once.
    QHash<QString, QVariant> m_message;
};

} // namespace sendora
