// Message framing for DATA: the line-by-line fast path must give exactly what a plain
// byte-by-byte reading of the rules gives, for any input.

#include "components/mailsocket/SmtpProtocol.h"

#include <QByteArray>
#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace {

QByteArray reference(QByteArrayView body, bool* eightBit, qsizetype* longest) {
    QByteArray out;
    qsizetype lineBegin = 0;
    *longest = 0;
    auto endLine = [&] {
        *longest = std::max(*longest, out.size() - lineBegin);
        out += "\r\n";
        lineBegin = out.size();
    };
    bool lineStart = true;
    unsigned char high = 0;
    for (qsizetype i = 0; i < body.size(); ++i) {
        const char c = body[i];
        if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < body.size() && body[i + 1] == '\n') ++i;
            endLine();
            lineStart = true;
            continue;
        }
        if (c == '\0') continue;
        if (c == '.' && lineStart) out += '.';
        out += c;
        high |= static_cast<unsigned char>(c);
        lineStart = false;
    }
    if (!lineStart) endLine();
    out += ".\r\n";
    *eightBit = (high & 0x80) != 0;
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArrayView body(reinterpret_cast<const char*>(data), qsizetype(size));
    QByteArray framed;
    qsizetype longest = -1;
    const bool eightBit = sendora::mail::smtp::appendDataContent(framed, body, &longest);
    bool expectedEightBit = false;
    qsizetype expectedLongest = 0;
    if (framed != reference(body, &expectedEightBit, &expectedLongest) || eightBit != expectedEightBit ||
        longest != expectedLongest)
        std::abort();
    return 0;
}
