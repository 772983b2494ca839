#pragma once
// One row of the Message table as the editor and the greeting dialog use it, and the
// reads and writes the editor makes on it. Each call opens the system database, does its
// work and closes it again, so several editors never hold a write lock between saves.

#include "authoring/Notice.h"

#include <QDateTime>
#include <QString>
#include <QVariant>
#include <optional>

namespace sendora {

struct AppContext;

// The greeting columns as stored (a null column stays a null QVariant).
struct GreetingColumns {
    QVariant useGreetingManager; // Boolean
    QVariant addressType;        // 1 personal "To", otherwise group
    QVariant groupAddress;
    QVariant greetingType; // 1 personal salutation, otherwise none
    QVariant salutation;   // the prefix ("Dear")
    QVariant punctuation;
    QVariant useTitle;
    QVariant useFName;
    QVariant useLName;
    QVariant missingFNameOption;
    QVariant missingLNameOption;
    QVariant genericName;
    QVariant htmlGreeting;

    // What a new message gets before the user opens the greeting dialog.
    static GreetingColumns defaults();
};

struct MessageRecord {
    QString messageName;
    QString description;
    QString subject;
    QString from;            // the sender's display name, never an address
    QString messageText;     // plain-text body
    QString htmlText;        // HTML body
    int sendType = 1;        // 0 text only, 1 HTML only, 2 both
    QString attachments;     // "path; path;" as the editor builds it
    QString greetingDisplay; // the "To:" display
    QString mailingList;     // list whose columns serve as merge fields; empty for none
    GreetingColumns greeting;
};

// The process-wide new-message counter (16 bits). Counts and returns the new value: the
// first new message of a run is 1.
quint16 nextNewMessageNumber();
void resetNewMessageCounterForTesting();

// "%%NewMailMessage%%" + date + time + counter, all as text.
QString newMessagePlaceholderName(const QDateTime& now, quint16 counter);
// "Untitled Message <n>"
QString untitledMessageCaption(quint16 counter);
bool isPlaceholderMessageName(const QString& name);

class MessageStore {
public:
    explicit MessageStore(AppContext& ctx);

    // SELECT * FROM [Message] WHERE [MessageName] = "<name>"; nothing when there is no row
    // or the read failed (logged as "ReadMessageTextFromDB in frmMessageEdit").
    std::optional<MessageRecord> read(const QString& name);
    bool exists(const QString& name);

    // The editor's save: Subject, GreetingDisplay, Attachments, MessageText, HTMLText,
    // SendType and From of the row named record.messageName. False when there is no such
    // row or the write failed (logged as "WriteMessageTextToDB in frmMessageEdit").
    bool writeEditorFields(const MessageRecord& record);
    // Single columns the editor stores at once when they change.
    bool writeMailingList(const QString& name, const QString& listName);
    bool writeAttachments(const QString& name, const QString& attachments);
    bool writeGreetingDisplay(const QString& name, const QString& display);
    // The greeting dialog's OK: every greeting column.
    bool writeGreeting(const QString& name, const GreetingColumns& columns);

    // A new message row under a fresh placeholder name with the greeting defaults. Returns
    // the name (empty after a logged failure); *counter receives the number for the caption.
    QString createNewMessage(quint16* counter = nullptr, const QDateTime& now = QDateTime::currentDateTime());
    // Removes the row (a new message closed without a name) and tells the open windows.
    bool deleteMessage(const QString& name);

private:
    bool updateColumns(const QString& name, const QList<QPair<QString, QVariant>>& values,
                       const char* caller);

    AppContext& m_ctx;
};

} // namespace sendora
