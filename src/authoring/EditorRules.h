#pragma once
// The message editor's rules without the window: what each command refuses with, the
// merge-list choices, the attachments text and the files copied into the application's
// folders. The window passes plain values in and shows the Notice that comes back.

#include "authoring/Notice.h"

#include <QString>
#include <QStringList>

namespace sendora {

struct AppContext;

inline const QString kNoList = QStringLiteral("<no list>");

// The editor's fixed messages.
extern const QString kSenderIsAddressMessage;
extern const QString kStillLoadingMessage;
extern const QString kMergeIntoSourceViewMessage;
extern const QString kMergeNeedsFieldMessage;
extern const QString kListPathMissingMessage;
extern const QString kAttachWithoutMessage;
extern const QString kInsertWithoutMessage;
extern const QString kSaveChangesQuestion; // asked with the title kSaveMessageTitle
extern const QString kSaveMessageTitle;
extern const QString kNewMessageBodyPrompt;
extern const QString kNewMessageSubjectPrompt;
extern const QString kAttachChooserTitle;
extern const QString kInsertChooserTitle;
extern const QString kFromFieldToolTip;

// The From field leaving focus: a text that passes the address rule is refused.
Notice senderNameNotice(const QString& from);

// "Insert field into:" choices and where an entry sends the tag.
enum class InsertTarget { From, Subject, Body };
QStringList insertTargetChoices(); // "From Field", "Subject Field", "Message Body"
InsertTarget insertTargetFor(const QString& choice);

// "[[Field]]"
QString mergeTagFor(const QString& field);
// Refusal of the Insert Field command (viewMode 2 is the HTML source view); empty when
// the tag may be inserted.
Notice mergeFieldRefusal(int viewMode, const QString& chosenField);

// "<no list>" then every non-empty ListName of the List table in table order.
QStringList mergeListChoices(AppContext& ctx);
// The entry to show for a message's stored MailingList: itself when catalogued, else "<no list>".
QString mergeListChoiceFor(AppContext& ctx, const QString& mailingList);

struct ListFields {
    bool ok = false;
    QString listPath;   // full path of the list file
    QStringList fields; // columns of its AddressList table in table order
    Notice notice;
};
// The fields offered for a chosen list. "<no list>" or empty gives ok with no fields.
ListFields mergeListFields(AppContext& ctx, const QString& listName);

// True when listName is the merge list of an editor whose merge list is open.
bool ListUsedInMailMergeForOpenMessage(const QString& listName, bool mergeListOpen,
                                       const QString& currentChoice);

// First path + ";", then old text + " " + path + ";".
QString appendAttachment(const QString& attachments, const QString& path);

// A chosen attachment or inserted image copied into the attachments folder under its own
// name; a different file of the same name gets a new name, the same content is reused.
struct CopiedFile {
    QString path; // absolute path of the copy, what the message stores
    Notice notice;
    bool ok() const { return notice.isEmpty() && !path.isEmpty(); }
};
CopiedFile copyIntoAttachments(AppContext& ctx, const QString& source);

// <img> markup for an inserted image file (already copied).
QString imageMarkup(const QString& copiedPath);

// An HTML document brought in from a file: every local image it shows (src and background
// attributes; relative paths against baseFolder) is copied into the attachments folder and
// its reference replaced by the copy's path. Web, cid: and data: references stay.
struct CopiedHtml {
    QString html;
    QStringList copied; // paths of the copies, in document order
    Notice notice;      // the first image that could not be copied; html is then unchanged
};
CopiedHtml copyHtmlImages(AppContext& ctx, const QString& html, const QString& baseFolder);

// The insert-file command's text; the exact refusal when the file is not there.
struct InsertedText {
    QString text;
    Notice notice;
};
InsertedText readFileForInsert(const QString& path);

} // namespace sendora
