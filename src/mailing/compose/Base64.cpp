#include "mailing/compose/Base64.h"

namespace sendora {

QByteArray base64Lines(const QByteArray& data, int lineLength) {
    static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    if (lineLength < 4) lineLength = 76;
    const qsizetype encoded = (data.size() + 2) / 3 * 4;
    const qsizetype breaks = encoded > 0 ? (encoded - 1) / lineLength : 0;
    QByteArray out;
    out.reserve(encoded + 2 * breaks);
    int column = 0;
    auto put = [&](char c) {
        if (column == lineLength) {
            out.append("\r\n", 2);
            column = 0;
        }
        out.append(c);
        ++column;
    };
    const auto* p = reinterpret_cast<const unsigned char*>(data.constData());
    const qsizetype n = data.size();
    qsizetype i = 0;
    for (; i + 2 < n; i += 3) {
        const unsigned v = (p[i] << 16) | (p[i + 1] << 8) | p[i + 2];
        put(kAlphabet[(v >> 18) & 63]);
        put(kAlphabet[(v >> 12) & 63]);
        put(kAlphabet[(v >> 6) & 63]);
        put(kAlphabet[v & 63]);
    }
    if (i < n) {
        const unsigned v = (p[i] << 16) | (i + 1 < n ? p[i + 1] << 8 : 0);
        put(kAlphabet[(v >> 18) & 63]);
        put(kAlphabet[(v >> 12) & 63]);
        put(i + 1 < n ? kAlphabet[(v >> 6) & 63] : '=');
        put('=');
    }
    return out;
}

} // namespace sendora
