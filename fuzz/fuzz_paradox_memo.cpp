// Fuzzes the Paradox memo reader: a memo field and a .mb file from hostile bytes must never
// crash or read outside either, and what comes back is bounded and, for a memo held in the
// record, the field's own leading bytes.

#include "components/sourcereaders/ParadoxMemo.h"

#include <QBuffer>
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

using sendora::sourcereaders::ParadoxMemo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const int len = 1 + data[0] % 64; // field widths as tables declare them, including too short
    if (size < size_t(1 + len)) return 0;
    // The field in a buffer of exactly its size, so a read past it is caught.
    const QByteArray field(reinterpret_cast<const char*>(data + 1), len);
    QByteArray mb(reinterpret_cast<const char*>(data + 1 + len), qsizetype(size - 1 - len));
    QBuffer blocks(&mb);
    blocks.open(QIODevice::ReadOnly);

    for (QIODevice* device : {static_cast<QIODevice*>(&blocks), static_cast<QIODevice*>(nullptr)}) {
        const QByteArray memo = ParadoxMemo(device).read(field.constData(), len);
        if (memo.size() > (1 << 20)) abort();
        if (len > 10 && !memo.isEmpty() && memo.size() <= len - 10 && memo != field.left(memo.size()))
            abort();
        if (!device && memo.size() > std::max(0, len - 10)) abort(); // without a file only the record is read
    }
    return 0;
}
