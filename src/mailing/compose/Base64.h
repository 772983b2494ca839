#pragma once
#include <QByteArray>

namespace sendora {

// Base64 of data in lines of lineLength characters joined by CRLF, with no line end after
// the last line; the form the message parts embed.
QByteArray base64Lines(const QByteArray& data, int lineLength = 76);

} // namespace sendora
