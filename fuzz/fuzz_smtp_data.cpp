// Message framing for DATA: the line-by-line fast path must give exactly what a plain
// byte-by-byte reading of the rules gives, for any input.

#include "components/mailsocket/SmtpProtocol.h"

#include <QByteArray>
#include <cstdint>
#include <cstdlib>

namespace {

QByteArray reference(QByteArrayView body, bool* eightBit) {
    QByteArray out;
    bool lineStart = true;
    unsigned char high = 0;
    for (qsizetype i = 0; i < body.size(); ++i) {
        const char c = body[i];
        if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < body.size() && body[i + 1] == '\n') ++i;
            out += "\r\n";
            lineStart = true;
            continue;
        }
        if (c == '\0') continue;
        if (c == '.' && lineStart) out += '.';
        out += c;
        high |= static_cast<unsigned char>(c);
        lineStart = false;
    }
    if (!lineStart) out += "\r\n";
    out += ".\r\n";
    *eightBit = (high & 0x80) != 0;
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArrayView body(reinterpret_cast<const char*>(data), qsizetype(size));
    QByteArray framed;
    const bool eightBit = sendora::mail::smtp::appendDataContent(framed, body);
    bool expectedEightBit = false;
    if (framed != reference(body, &expectedEightBit) || eightBit != expectedEightBit) std::abort();
    return 0;
}
