#pragma once
// Memo fields of Paradox tables. A memo field's last ten bytes give where its text is (in the
// record itself when short, otherwise in a block of the table's .mb file) and its length.
// Read here rather than through pxlib: pxlib 0.6.8 overruns a stack buffer while indexing
// the blocks of any .mb file it opens.

#include <QByteArray>

class QIODevice;

namespace sendora::sourcereaders {

class ParadoxMemo {
public:
    // blocks: the open .mb file, or null when there is none (memos outside the record are
    // then empty). It is read, never written, and must outlive this object.
    explicit ParadoxMemo(QIODevice* blocks) : blocks_(blocks) {}

    // The bytes of the memo held by a field of len bytes; anything that does not add up, or
    // that the file does not hold, is empty. A memo is cut at 1 MiB.
    QByteArray read(const char* data, int len);

private:
    QByteArray readAt(qint64 pos, qint64 n);
    QIODevice* blocks_;
};

} // namespace sendora::sourcereaders
