// Fuzzes the POP3 reply parser: arbitrary server bytes, fed in arbitrary pieces, must never
// crash or loop, must give the same items and data as the same bytes fed at once, and data
// lines always come out ended by CRLF.

#include "components/mailsocket/PopReply.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

using sendora::mail::PopReplyParser;

namespace {

struct Trace {
    QByteArray items; // one letter per item
    QByteArray data;
    QByteArray statuses;
};

// Replies alternate single- and multi-line as the pattern bits say.
Trace run(QByteArrayView wire, size_t chunk, uint8_t pattern) {
    Trace t;
    PopReplyParser parser;
    int reply = 0;
    parser.expect(pattern & 1);
    for (qsizetype at = 0; at < wire.size(); at += qsizetype(chunk)) {
        parser.feed(wire.sliced(at, qMin(qsizetype(chunk), wire.size() - at)));
        for (;;) {
            const qsizetype before = t.data.size();
            const PopReplyParser::Item item = parser.next(t.data);
            if (item == PopReplyParser::Item::NeedMore) break;
            if (item != PopReplyParser::Item::Data && t.data.size() != before) std::abort();
            if (item == PopReplyParser::Item::Malformed) {
                if (parser.error().isEmpty()) std::abort();
                t.items += 'M';
                return t;
            }
            if (item == PopReplyParser::Item::Status) {
                const auto& s = parser.status();
                if (s.line.size() > PopReplyParser::MaxStatusLine || s.line.contains('\n')) std::abort();
                t.items += s.ok ? 'S' : 'E';
                t.statuses += s.line + '\n';
                if (!s.ok || !(pattern >> (reply % 8) & 1)) parser.expect((pattern >> (++reply % 8)) & 1);
            } else if (item == PopReplyParser::Item::End) {
                t.items += 'e';
                parser.expect((pattern >> (++reply % 8)) & 1);
            } else if (!t.items.endsWith('D')) {
                t.items += 'D';
            }
        }
    }
    return t;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const size_t chunk = size_t(data[0] % 23) + 1;
    const uint8_t pattern = data[1];
    const QByteArrayView wire(reinterpret_cast<const char*>(data + 2), qsizetype(size - 2));

    const Trace pieces = run(wire, chunk, pattern);
    const Trace whole = run(wire, size_t(wire.size()) + 1, pattern);
    if (pieces.items != whole.items || pieces.data != whole.data || pieces.statuses != whole.statuses)
        std::abort();
    for (qsizetype i = 0; i < whole.data.size(); ++i)
        if (whole.data[i] == '\n' && (i == 0 || whole.data[i - 1] != '\r')) std::abort();
    return 0;
}
