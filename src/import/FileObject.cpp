#include "import/FileObject.h"

#include <QFileInfo>
#include <QStringDecoder>
#include <algorithm>
#include <cstring>
#include <utility>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace sendora {

void FileObject::Initialize() {
    closefile();
    m_segmentNumber = 0;
    m_segmentSize = kDefaultSegmentSize;
    m_bytesRead = m_linesRead = m_linesWritten = 0;
    m_endOfSegment = false;
    m_segment.clear();
}

bool FileObject::OpenFile(const QString& fileName) {
    Initialize();
    m_name = fileName;
    m_file.setFileName(fileName);
    QIODevice::OpenMode mode = QIODevice::ReadOnly;
    if (m_mode == u"output")
        mode = QIODevice::WriteOnly | QIODevice::Truncate;
    else if (m_mode == u"append")
        mode = QIODevice::WriteOnly | QIODevice::Append;
    if (fileName.isEmpty() || QFileInfo(fileName).isDir() || !m_file.open(mode)) return false;
    m_size = m_file.size();
    m_atEnd = !(mode & QIODevice::ReadOnly);
    return true;
}

void FileObject::closefile() {
    if (m_file.isOpen()) m_file.close();
    m_buffer.clear();
    m_pos = 0;
    m_nextLf = -1;
    m_noLfUntil = 0;
    m_noCrUntil = 0;
    m_atEnd = true;
    m_skipLf = false;
}

bool FileObject::fill() {
    if (m_atEnd) return false;
    if (m_pos > 0) {
        // The unread rest moves to the front of the same block: the buffer keeps its place and
        // size from read to read instead of being allocated anew.
        const qsizetype rest = m_buffer.size() - m_pos;
        std::memmove(m_buffer.data(), m_buffer.constData() + m_pos, size_t(rest));
        m_buffer.resize(rest);
        if (m_nextLf >= 0) m_nextLf -= m_pos;
        m_noLfUntil = std::max<qsizetype>(0, m_noLfUntil - m_pos);
        m_noCrUntil = std::max<qsizetype>(0, m_noCrUntil - m_pos);
        m_pos = 0;
    }
    const qsizetype had = m_buffer.size();
    const qint64 want = std::min<qint64>(m_segmentSize, 65536 * 16);
    m_buffer.resize(had + want);
    const qint64 got = m_file.read(m_buffer.data() + had, want);
    m_buffer.resize(had + std::max<qint64>(got, 0));
    // A failed read ends the file as its end would.
    if (got <= 0) m_atEnd = true;
    return got > 0;
}

namespace {

// Bytes equal to `c` in [p, e): sixteen at a time where SSE2 is there, else eight.
qsizetype countByte(const char* p, const char* e, char c) {
    qsizetype n = 0;
#if defined(__SSE2__)
    const __m128i pattern = _mm_set1_epi8(c);
    while (e - p >= 16) {
        // Byte counters of up to 255 blocks, then summed into n.
        const qsizetype blocks = std::min<qsizetype>((e - p) / 16, 255);
        __m128i counts = _mm_setzero_si128();
        for (qsizetype b = 0; b < blocks; ++b, p += 16) {
            const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
            counts = _mm_sub_epi8(counts, _mm_cmpeq_epi8(x, pattern));
        }
        const __m128i sums = _mm_sad_epu8(counts, _mm_setzero_si128());
        n +=
            qsizetype(_mm_cvtsi128_si64(sums)) + qsizetype(_mm_cvtsi128_si64(_mm_unpackhi_epi64(sums, sums)));
    }
#else
    constexpr quint64 kLow7 = 0x7f7f7f7f7f7f7f7full;
    const quint64 pattern = 0x0101010101010101ull * static_cast<unsigned char>(c);
    for (; e - p >= 8; p += 8) {
        quint64 x;
        std::memcpy(&x, p, 8);
        const quint64 t = x ^ pattern; // zero bytes where x has c
        // 0x80 in each byte that was zero; summed by one multiplication, no popcount needed.
        const quint64 zero = ~(((t & kLow7) + kLow7) | t | kLow7);
        n += qsizetype(((zero >> 7) * 0x0101010101010101ull) >> 56);
    }
#endif
    for (; p < e; ++p)
        n += *p == c;
    return n;
}

// The last CR or LF in [p, e), or null.
const char* lastLineEnd(const char* p, const char* e) {
    const auto* lf = static_cast<const char*>(memrchr(p, '\n', size_t(e - p)));
    const auto* cr = static_cast<const char*>(memrchr(lf ? lf + 1 : p, '\r', size_t(e - (lf ? lf + 1 : p))));
    return cr ? cr : lf;
}

} // namespace

void FileObject::skipLfAfterCr() {
    if (!m_skipLf || m_pos >= m_buffer.size()) return;
    if (m_buffer[m_pos] == '\n') {
        ++m_pos;
        ++m_bytesRead;
        if (m_nextLf >= 0 && m_nextLf < m_pos) m_nextLf = -1;
    }
    m_skipLf = false;
}

void FileObject::passLines(qsizetype from, qsizetype to) {
    const char* p = m_buffer.constData() + from;
    const char* e = m_buffer.constData() + to;
    // CR LF is one line end, and a CR alone is one.
    qsizetype lines = countByte(p, e, '\n');
    if (std::memchr(p, '\r', size_t(e - p)))
        for (const char* q = p; q < e; ++q)
            lines += *q == '\r' && (q + 1 >= e || q[1] != '\n');
    m_linesRead += lines;
    m_bytesRead += to - from;
    m_pos = to;
    // A CR that ends the buffer may have its LF in the next read.
    m_skipLf = to > from && to == m_buffer.size() && m_buffer[to - 1] == '\r';
}

FileObject::Skip FileObject::skipToLineWith(char c) {
    for (bool filled = false;;) {
        skipLfAfterCr();
        const char* base = m_buffer.constData();
        const qsizetype n = m_buffer.size();
        const auto* hit =
            m_pos < n ? static_cast<const char*>(std::memchr(base + m_pos, c, size_t(n - m_pos))) : nullptr;
        const char* end = hit ? hit : base + n;
        if (const char* last = m_pos < n ? lastLineEnd(base + m_pos, end) : nullptr)
            passLines(m_pos, last - base + 1);
        if (hit) return Skip::Found;
        if (m_atEnd || n - m_pos >= kMaxLineBytes) {
            // The file's last line, or a piece of a line too long to hold.
            if (m_pos >= n) return Skip::End;
            const qsizetype piece = std::min(n - m_pos, kMaxLineBytes);
            ++m_linesRead;
            m_bytesRead += piece;
            m_pos += piece;
            continue;
        }
        if (std::exchange(filled, true)) return Skip::Later;
        fill();
    }
}

bool FileObject::readLineBytes(QByteArrayView& line) {
    for (;;) {
        skipLfAfterCr();
        const char* base = m_buffer.constData();
        const qsizetype n = m_buffer.size();
        if (m_nextLf < m_pos) {
            const qsizetype from = std::max(m_pos, m_noLfUntil);
            const void* lf = from < n ? std::memchr(base + from, '\n', size_t(n - from)) : nullptr;
            m_nextLf = lf ? static_cast<const char*>(lf) - base : -1;
            if (!lf) m_noLfUntil = n;
        }
        const qsizetype limit = m_nextLf >= 0 ? m_nextLf : n;
        const qsizetype crFrom = std::max(m_pos, m_noCrUntil);
        const void* cr = crFrom < limit ? std::memchr(base + crFrom, '\r', size_t(limit - crFrom)) : nullptr;
        if (!cr) m_noCrUntil = limit;
        qsizetype end = cr ? static_cast<const char*>(cr) - base : m_nextLf;
        bool cut = false;
        if (end < 0) {
            if (!m_atEnd && n - m_pos < kMaxLineBytes) {
                fill();
                continue;
            }
            if (m_pos >= n) return false;
            end = std::min(n, m_pos + kMaxLineBytes); // the end of the file, or a line too long to hold
            cut = true;
        }
        line = QByteArrayView(base + m_pos, end - m_pos);
        qsizetype next = end;
        if (!cut) {
            ++next;
            if (base[end] == '\r') {
                if (next < n && base[next] == '\n')
                    ++next;
                else if (next >= n)
                    m_skipLf = true;
            }
        }
        m_bytesRead += next - m_pos;
        m_pos = next;
        if (++m_linesRead % 10 == 0 && linesReadEvent) linesReadEvent(m_linesRead);
        return true;
    }
}

QString FileObject::decodeLine(QByteArrayView bytes) {
    const char* p = bytes.data();
    const qsizetype n = bytes.size();
    qsizetype i = 0;
    while (i < n && static_cast<unsigned char>(p[i]) < 0x80)
        ++i;
    if (i == n) return QString::fromLatin1(p, n);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    return utf8.hasError() ? QString::fromLatin1(p, n) : text;
}

void FileObject::decodeLine(QByteArrayView bytes, QString& text) {
    const char* p = bytes.data();
    const qsizetype n = bytes.size();
    text.resize(n); // keeps the buffer when it is large enough
    char16_t* out = reinterpret_cast<char16_t*>(text.data());
    qsizetype i = 0;
    // ASCII is widened as it is checked; the first byte above it sends the line to the decoder.
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    for (; n - i >= 16; i += 16) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
        if (_mm_movemask_epi8(x) != 0) break;
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_unpacklo_epi8(x, zero));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i + 8), _mm_unpackhi_epi8(x, zero));
    }
#endif
    for (; i < n; ++i) {
        const auto c = static_cast<unsigned char>(p[i]);
        if (c >= 0x80) {
            text = decodeLine(bytes);
            return;
        }
        out[i] = c;
    }
}

QString FileObject::Readline() {
    QByteArrayView line;
    return readLineBytes(line) ? decodeLine(line) : kFileEof;
}

void FileObject::ReadSegment(qint64& size, qint64& length) {
    if (size < 1)
        size = m_segmentSize;
    else
        m_segmentSize = size;
    length = 0;
    if (m_mode != u"input" && m_mode != u"binary" && m_access != u"binary") return;
    if (StartingToReadSegment) StartingToReadSegment(m_segmentNumber, size);
    m_segment = m_file.isOpen() ? m_file.read(size) : QByteArray();
    length = m_segment.size();
    m_bytesRead += length;
    if (FinishedReadingSegment) FinishedReadingSegment(m_segmentNumber, length);
    if (length > 0) {
        ++m_segmentNumber;
        m_endOfSegment = false;
    } else {
        m_endOfSegment = true;
    }
}

bool FileObject::WriteTextLine(const QString& text) {
    if (!m_file.isOpen() || !m_file.isWritable()) return false;
    const QByteArray bytes = text.toUtf8() + "\r\n";
    if (m_file.write(bytes) != bytes.size()) return false;
    ++m_linesWritten;
    return true;
}

bool FileObject::WriteStringArrayToFile(const QStringList& lines) {
    for (const QString& l : lines)
        if (!WriteTextLine(l)) return false;
    return true;
}

bool FileObject::SaveStringToFile(const QString& fileName, const QByteArray& data) {
    QFile f(fileName);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(data) == data.size();
}

QByteArray FileObject::ReadFileIntoString(const QString& fileName, bool* ok) {
    QFile f(fileName);
    const bool opened = f.open(QIODevice::ReadOnly);
    if (ok) *ok = opened;
    return opened ? f.readAll() : QByteArray();
}

QStringList FileObject::ReadFileToStringArray(const QString& fileName) {
    FileObject f;
    QStringList lines;
    if (!f.OpenFile(fileName)) return lines;
    for (QString l = f.Readline(); l != kFileEof; l = f.Readline())
        lines << l;
    return lines;
}

QString FileNameObject::FileDirectory() const {
    return QFileInfo(m_full).absolutePath();
}

QString FileNameObject::FileNameOnly() const {
    return QFileInfo(m_full).fileName();
}

QString FileNameObject::suffix() const {
    return QFileInfo(m_full).suffix();
}

bool FileNameObject::IsFile() const {
    return QFileInfo(m_full).isFile();
}

QString FileNameObject::GetUniqueFileName() const {
    if (!QFileInfo::exists(m_full)) return m_full;
    const QFileInfo info(m_full);
    const QString ext = info.suffix().isEmpty() ? QString() : u'.' + info.suffix();
    const QString stem = info.path() + u'/' + info.completeBaseName();
    for (int n = 1;; ++n) {
        const QString name = QStringLiteral("%1(%2)%3").arg(stem).arg(n).arg(ext);
        if (!QFileInfo::exists(name)) return name;
    }
}

bool FileNameObject::CreateBackup() const {
    const QString backup = m_full + QStringLiteral(".bak");
    QFile::remove(backup);
    return QFile::copy(m_full, backup);
}

} // namespace sendora
