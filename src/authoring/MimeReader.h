#pragma once
// Reads a composed message back into what a mail program shows: the decoded To and
// Subject, the plain-text and HTML parts, inline images by content id and the names of
// attachments. Tolerates anything: a malformed message gives whatever parts could be read.

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>

namespace sendora {

struct MimeMessage {
    QString from;
    QString to;
    QString subject;
    bool hasText = false;
    QString text;
    bool hasHtml = false;
    QString html;
    QHash<QString, QByteArray> inlineImages; // content id without "<" ">" -> bytes
    QStringList attachmentNames;
};

// data: the message as sent (CRLF lines; dot-stuffing already undone).
MimeMessage readMime(const QByteArray& data);

// RFC 2047 encoded words of a header value decoded (Q and B, charsets windows-1252,
// iso-8859-1, us-ascii and utf-8); other text taken as Windows-1252.
QString decodeHeaderValue(const QByteArray& raw);
QByteArray decodeQuotedPrintable(const QByteArray& data);
QByteArray decodeBase64Lenient(const QByteArray& data);
// Bytes to text in the part's charset (Windows-1252 unless it names utf-8).
QString decodeCharset(const QByteArray& bytes, const QByteArray& charset);

} // namespace sendora
