// Fuzzes the reader the preview shows composed messages with: any bytes must give a result
// without a crash or runaway growth, and the encodings the composer writes must read back
// to the bytes it encoded.

#include "authoring/MimeReader.h"
#include "mailing/compose/MimeEncoding.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));

    // Decoding never makes more characters than there are bytes, and parts do not overlap.
    const sendora::MimeMessage m = sendora::readMime(bytes);
    qsizetype images = 0;
    for (const QByteArray& image : m.inlineImages)
        images += image.size();
    if (m.text.size() > bytes.size() || m.html.size() > bytes.size() || images > bytes.size() ||
        m.subject.size() > bytes.size() || m.to.size() > bytes.size())
        std::abort();
    if (sendora::decodeHeaderValue(bytes).size() > bytes.size()) std::abort();

    // What the composer encodes, the reader decodes to the same bytes.
    if (sendora::decodeQuotedPrintable(sendora::quotedPrintable(bytes)) != bytes) std::abort();
    if (sendora::decodeBase64Lenient(bytes.toBase64()) != bytes) std::abort();
    return 0;
}
