#include "ParadoxMemo.h"

#include <QIODevice>
#include <QtEndian>
#include <algorithm>

namespace sendora::sourcereaders {

namespace {
constexpr qint64 kMaxMemo = 1 << 20; // a longer memo is cut: hostile files stay bounded
constexpr qint64 kMbBlock = 4096;
} // namespace

QByteArray ParadoxMemo::read(const char* data, int len) {
    if (len <= 10) return {};
    const int leader = len - 10;
    const quint32 place = qFromLittleEndian<quint32>(data + leader);
    const qint64 size = qFromLittleEndian<quint32>(data + leader + 4);
    if (size == 0) return {};
    if (size <= leader) return QByteArray(data, size);
    const qint64 block = place & 0xFFFFFF00u;
    const int index = int(place & 0xFFu);
    if (!blocks_ || block == 0) return {};
    const QByteArray head = readAt(block, 12);
    if (head.size() < 9) return {};
    if (head[0] == 2) { // a block run holding this one memo
        if (index != 0xFF || qFromLittleEndian<quint32>(head.constData() + 3) != size) return {};
        return readAt(block + 9, std::min(size, kMaxMemo));
    }
    if (head[0] != 3 || head.size() < 12 || index >= 64) return {}; // 3: memos sharing a block
    const QByteArray entry = readAt(block + 12 + index * 5, 5);
    if (entry.size() < 5 || (quint8(entry[1]) - 1) * 16 + quint8(entry[4]) != size) return {};
    const qint64 start = quint8(entry[0]) * 16;
    if (start + size > kMbBlock) return {};
    return readAt(block + start, size);
}

QByteArray ParadoxMemo::readAt(qint64 pos, qint64 n) {
    if (!blocks_->seek(pos)) return {};
    QByteArray out = blocks_->read(n);
    return out.size() == n ? out : QByteArray();
}

} // namespace sendora::sourcereaders
