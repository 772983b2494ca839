#pragma once
// A mailing's message, composed once: images found and encoded, attachments encoded,
// header block and templates built and split at their merge tags, the greeting and
// text-part positions worked out. Per recipient only one row look-up and a
// concatenation remain; the result is the exact message data in Windows-1252.

#include "core/Version.h"
#include "mailing/compose/Greeting.h"
#include "mailing/compose/Merge.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <functional>

namespace sendora {

struct AppContext;

// The Message row's columns the composition uses.
struct MessageContent {
    QString subject;
    QString htmlText;
    QString messageText;
    QString attachments; // paths separated by ";"
    QString fromName;    // display name of the From line
    int sendType = 0;    // see SendType
    GreetingSettings greeting;
};

struct MailingSetup {
    QString sender; // as the session keeps it: trimmed, no characters below 33
    QString replyTo;
    MessageContent message;
    ListColumns columns; // of the list's AddressList table
    int wrapWidth = 0;   // WordWrapSize
    bool checkTextOnlyDomains = false;
    QStringList textOnlyDomains;
    QDateTime now; // clock for the Date line; the current time when not valid
    VersionNumber version;
};

struct ComposedMessage {
    QByteArray data;     // Windows-1252, before dot-stuffing
    bool found = false;  // the recipient's row was found (else data is empty)
    QString displayName; // of the To line (the address when no name is formed)
};

class PreparedMailing {
public:
    // Receives lines for the send log: progress ("P: Encoding Images..."), characters
    // replaced (counted once for the message, then once per recipient whose values hold
    // some), image or attachment files not found.
    using NoteHook = std::function<void(const QString&)>;

    PreparedMailing(AppContext& ctx, const MailingSetup& setup, NoteHook notes = {});
    ~PreparedMailing();
    PreparedMailing(const PreparedMailing&) = delete;
    PreparedMailing& operator=(const PreparedMailing&) = delete;

    // Every invalid tag where it occurs (From name, subject, text, HTML), in "[[name]]" form,
    // for confirmInvalidFields.
    const QStringList& invalidFields() const;
    // One message per recipient: a tag in a template, a personal To name or a greeting line.
    bool personalised() const;
    QDateTime startTime() const;
    QString dateStamp() const;
    // Length of the normal template, for the send statistics.
    qsizetype messageSize() const;
    QStringList missingFiles() const;
    const MessageContent& message() const;
    bool wantsTextOnly(const QString& address) const;

    // The message to one recipient: one row look-up by EAddress, then merge, greeting and
    // wrap. address is the list's EAddress as the cursor gave it (not bracketed).
    // displayName overrides the To line's name (the session passes the name it took).
    ComposedMessage composeFor(const QString& address, RecipientLookup& list,
                               const QString& displayName = {});
    // The same for a row at hand; an empty row merges every tag as nothing.
    ComposedMessage composeForRow(const QString& address, const RecipientRow& row,
                                  const QString& displayName = {});
    // The To line's name for a row; empty unless the message asks for personal To names.
    QString displayNameFor(const RecipientRow& row) const;
    // The message to a block of recipients; firstAddress chooses the text-only template.
    QByteArray composeForGroup(const QString& firstAddress, const QString& displayText) const;
    QByteArray composeForGroup(const QString& firstAddress) const;
    // Whichever of the two the session would send to address.
    ComposedMessage compose(const QString& address, RecipientLookup& list);

    // The composed texts before merging, for previews and tests.
    QString senderBlockText() const;
    QString templateText(bool textOnly = false) const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace sendora
