#pragma once
// What keeps a composed message inside the rules whatever the merged values hold: header
// lines folded and RFC 2047-encoded in Windows-1252, display names quoted, text and HTML
// parts carried in quoted-printable when they hold 8-bit bytes, overlong lines or a line
// a reader could take for one of our boundaries.

#include "mailing/compose/Windows1252.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace sendora {

// RFC 5322 2.1.1: the most a line may hold, CRLF not counted.
inline constexpr qsizetype kMaxMailLine = 998;
// The width folded and encoded lines are kept to.
inline constexpr qsizetype kFoldWidth = 78;

// "Subject: value" CRLF. A pure-ASCII value that fits in kMaxMailLine stays as it is; other
// values become encoded words, one per folded line.
QByteArray unstructuredHeader(QByteArrayView name, QStringView value, Cp1252Replacement* replaced);
// "To: \"name\" <address>" CRLF: the name quoted (with \" and \\ escaped), or encoded words
// when it holds non-ASCII or control characters; an empty name gives "To: <address>".
QByteArray mailboxHeader(QByteArrayView name, QStringView displayName, QStringView address,
                         Cp1252Replacement* replaced);
// The block recipients' "To: \"text \"" CRLF, the text quoted or encoded the same way.
QByteArray groupHeader(QByteArrayView name, QStringView displayText, Cp1252Replacement* replaced);

// The text in RFC 5322 quoted-string form, quotes included.
QString quotedString(QStringView text);

// A part that cannot go out as it is: a byte above 127, a NUL, a line over the limit (a
// leading dot counts, as SMTP doubles it) or a line starting "--KLX".
bool partNeedsEncoding(QByteArrayView part);
// RFC 2045 quoted-printable; CRLF stays a line break, lines stay within 76 characters, and
// no line starts with "-", so no encoded line can be taken for a boundary.
QByteArray quotedPrintable(QByteArrayView part);

// & < > " ' as character references: a merged value stays text in HTML.
QString htmlEscaped(QStringView text);

// The header block of a text or HTML part carried in quoted-printable.
inline constexpr char kEncodedTextPartHeader[] =
    "Content-Type: text/plain; charset=windows-1252\r\nContent-Transfer-Encoding: quoted-printable\r\n\r\n";
inline constexpr char kEncodedHtmlPartHeader[] =
    "Content-Type: text/html; charset=windows-1252\r\nContent-Transfer-Encoding: quoted-printable\r\n\r\n";
inline constexpr char kHtmlPartHeader[] = "Content-Type: text/html\r\n\r\n";

} // namespace sendora
