// libFuzzer target for the delimited text parser: no crash, no hang, the records do not depend
// on where the input is cut into pieces, and a field handed on as UTF-8 text without decoding
// says what decoding it would say.

#include "components/sourcereaders/CodePage.h"
#include "components/sourcereaders/DelimitedText.h"

#include <cstdint>
#include <cstdlib>

using namespace sendora::sourcereaders;

namespace {

QList<TextRecord> parse(char delimiter, const char* data, size_t size, size_t piece) {
    DelimitedTextParser parser(delimiter);
    QList<TextRecord> out;
    for (size_t at = 0; at < size; at += piece)
        parser.feed(data + at, qsizetype(std::min(piece, size - at)), out);
    parser.finish(out);
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    if (size < 2) return 0;
    const char delimiter = ",\t;"[bytes[0] % 3];
    const size_t piece = 1 + bytes[1] % 17;
    const auto* data = reinterpret_cast<const char*>(bytes + 2);
    size -= 2;
    const QList<TextRecord> whole = parse(delimiter, data, size, size ? size : 1);
    if (parse(delimiter, data, size, piece) != whole) std::abort();
    for (const TextRecord& record : whole) {
        qsizetype total = 0;
        for (const QByteArray& field : record)
            total += field.size();
        if (record.isEmpty() || total > DelimitedTextParser::kMaxRecordBytes) std::abort();
        for (const QByteArray& field : record) {
            Utf8Check valid;
            valid.feed(field.constData(), field.size());
            if (valid.valid() && !field.startsWith("\xEF\xBB\xBF") &&
                QString::fromUtf8(field).toUtf8() != field)
                std::abort();
            std::vector<char> converted;
            appendWindows1252AsUtf8(field.constData(), field.size(), converted);
            if (QByteArrayView(converted.data(), qsizetype(converted.size())) !=
                decodeWindows1252(field.constData(), field.size()).toUtf8())
                std::abort();
        }
    }
    Utf8Check check;
    check.feed(data, qsizetype(size));
    if (check.valid() && QString::fromUtf8(data, qsizetype(size)).contains(QChar::ReplacementCharacter) &&
        !QByteArray(data, qsizetype(size)).contains("\xEF\xBF\xBD"))
        std::abort(); // what we call valid UTF-8, Qt decodes without loss
    guessDelimiter(QByteArray(data, qsizetype(size)));
    return 0;
}
