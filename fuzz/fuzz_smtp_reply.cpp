// Fuzzes the SMTP reply parser: arbitrary server bytes, fed in arbitrary pieces, must
// never crash, loop or grow without bound, and every reply must be well formed.

#include "components/mailsocket/SmtpReplyParser.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

using sendora::mail::SmtpReply;
using sendora::mail::SmtpReplyParser;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    // The first byte picks the chunk size, so reassembly across reads is exercised too.
    const size_t chunk = size_t(data[0] % 17) + 1;
    const char* bytes = reinterpret_cast<const char*>(data + 1);
    const size_t length = size - 1;

    SmtpReplyParser parser;
    SmtpReply reply;
    for (size_t at = 0; at < length; at += chunk) {
        const size_t n = at + chunk <= length ? chunk : length - at;
        parser.feed(QByteArrayView(bytes + at, qsizetype(n)));
        while (parser.next(reply)) {
            if (reply.malformed) {
                if (reply.code != 0 || reply.error.isEmpty()) std::abort();
                continue;
            }
            if (reply.code < 200 || reply.code > 599 || reply.lineCount < 1 ||
                reply.lineCount > SmtpReplyParser::MaxLines)
                std::abort();
            if (reply.lineTexts().size() != reply.lineCount) std::abort();
            if (reply.text.contains('\n'))
                if (reply.text.count('\n') != reply.lineCount - 1) std::abort();
        }
    }
    return 0;
}
