#pragma once
// The outgoing message's header lines, multipart layout, inline images and attachments.

#include "core/Version.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

namespace sendora {

struct AppContext;

inline constexpr char kMixedBoundary[] = "KLXMixedMessage";
inline constexpr char kAlternativeBoundary[] = "KLXAlternativeMessage";
inline constexpr char kRelatedBoundary[] = "KLXRelatedMessage";

enum SendType { TextOnly = 0, HtmlOnly = 1, TextAndHtml = 2 };

// "Wed, 5 Jan 2005 14:03:09 +0100": the zone is the local offset in whole hours.
QString MailDateStamp(const QDateTime& local);

// A value put into a header line: CR and LF removed so it cannot end the line.
QString headerValue(const QString& value);

// Version, X-Sender, Date and From lines.
QString SenderBlock(const VersionNumber& version, const QString& sender, const QString& dateStamp,
                    const QString& fromName);
// Subject and, when given, Reply-To lines.
QString TemplateHead(const QString& subject, const QString& replyTo);
QString PersonalToLine(const QString& displayName, const QString& address);
QString GroupToLine(const QString& displayText);

// The MIME body and where its parts lie (indexes into body, -1 when absent).
struct MimeLayout {
    QString body;
    qsizetype textBegin = -1; // just after "Content-Type: text/plain" CRLF CRLF
    qsizetype htmlBegin = -1; // just after "Content-Type: text/html" CRLF CRLF
    qsizetype htmlEnd = -1;
};
MimeLayout composeMimeBody(int sendType, const QString& text, const QString& html, const QString& imageParts,
                           const QString& attachmentParts);
inline QString MimeBody(int sendType, const QString& text, const QString& html, const QString& imageParts,
                        const QString& attachmentParts) {
    return composeMimeBody(sendType, text, html, imageParts, attachmentParts).body;
}

// An image the HTML shows: the file, the references written in the HTML, its content id.
struct ImageRef {
    QString path;
    QStringList references;
    QString contentId;
};

// Images of BODY, IMG, TABLE, TH and TD tags, in that order, resolved against <BASE HREF>;
// web addresses are left out. One entry per reference (see GetUniqueEntries).
QList<ImageRef> GetImages(AppContext& ctx, const QString& html);
// Merges entries with the same path into the first, keeping every reference.
void GetUniqueEntries(AppContext& ctx, QList<ImageRef>& images);
// "klx" + index + sender + "6497657".
void AssignContentIDs(AppContext& ctx, QList<ImageRef>& images, const QString& sender);
// Every reference of an image (as an attribute value) and its full path become "cid:" + id.
QString Path2CID(AppContext& ctx, const QString& html, const QList<ImageRef>& images);

// Image parts for the related section; files that do not exist are added to missing.
QString EncodeImages(AppContext& ctx, const QList<ImageRef>& images, QStringList* missing = nullptr);
// Attachment parts for the ";"-separated list.
QString EncodeAttachments(AppContext& ctx, const QString& attachmentList, QStringList* missing = nullptr);

// Text after the last "." of the file name; empty when it has none.
QString fileExtension(const QString& path);

// The recipient's domain is one of the text-only domains.
bool domainWantsTextOnly(const QString& address, const QStringList& domains);
// The DomainsToCheck setting split at ";", entries trimmed, empty ones dropped.
QStringList splitDomainList(const QString& setting);

} // namespace sendora
