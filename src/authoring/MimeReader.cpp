#include "authoring/MimeReader.h"

namespace sendora {

MimeMessage readMime(const QByteArray&) {
    return {};
}

QString decodeHeaderValue(const QByteArray& raw) {
    return QString::fromLatin1(raw);
}

QByteArray decodeQuotedPrintable(const QByteArray& data) {
    return data;
}

QByteArray decodeBase64Lenient(const QByteArray& data) {
    return QByteArray::fromBase64(data);
}

QString decodeCharset(const QByteArray& bytes, const QByteArray&) {
    return QString::fromLatin1(bytes);
}

} // namespace sendora
