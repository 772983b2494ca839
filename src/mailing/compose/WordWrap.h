#pragma once
#include <QByteArray>
#include <QString>

namespace sendora {

// Breaks text into pieces of at most width characters: after the last line break in the
// next width characters (a CRLF split by the window counts as whole), else after the last
// blank (adding CRLF), else at width (adding CRLF).
// A width below 1 or above the text's length leaves the text as it is.
QString WordWrap(const QString& text, int width);
QByteArray WordWrap(const QByteArray& text, int width);

// The header after which a composed message's text part starts (28 characters).
inline const QString kTextPartHeader = QStringLiteral("Content-Type: text/plain\r\n\r\n");

// Where the text part of a composed message lies: from just after kTextPartHeader to the
// first "--KLXAlternativeMessage" or "--KLXMixedMessage" after it, or to the end.
// Returns false when the message has no text part.
bool findTextPart(const QString& message, qsizetype* begin, qsizetype* end);
bool findTextPart(const QByteArray& message, qsizetype* begin, qsizetype* end);

// Wraps only the text part of a composed message; a message without one is unchanged.
QString WrapTextPart(const QString& message, int width);
QByteArray WrapTextPart(const QByteArray& message, int width);

} // namespace sendora
