#include "mailing/compose/Windows1252.h"

namespace sendora {

namespace {

// Code points of bytes 0x80..0x9F; the five unassigned bytes pass their C1 control through,
// as Windows' own conversion does.
constexpr char16_t kHigh[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

int encodeUnit(char16_t u) {
    if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) return u;
    for (int i = 0; i < 32; ++i)
        if (kHigh[i] == u) return 0x80 + i;
    return -1;
}

} // namespace

void appendWindows1252(QByteArray& out, QStringView text, Cp1252Replacement* replacement) {
    const qsizetype start = out.size();
    out.resize(start + text.size());
    char* dst = out.data() + start;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t u = text[i].unicode();
        const int b = encodeUnit(u);
        if (b >= 0) {
            dst[i] = char(b);
            continue;
        }
        dst[i] = '?';
        if (!replacement) continue;
        if (replacement->count == 0) {
            char32_t cp = u;
            if (QChar::isHighSurrogate(u) && i + 1 < text.size() && text[i + 1].isLowSurrogate())
                cp = QChar::surrogateToUcs4(u, text[i + 1].unicode());
            replacement->firstCodePoint = cp;
        }
        ++replacement->count;
    }
}

QByteArray toWindows1252(QStringView text, Cp1252Replacement* replacement) {
    QByteArray out;
    appendWindows1252(out, text, replacement);
    return out;
}

QString fromWindows1252(const QByteArray& bytes) {
    QString out(bytes.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        out[i] = QChar(b >= 0x80 && b < 0xA0 ? kHigh[b - 0x80] : char16_t(b));
    }
    return out;
}

QString codePointName(char32_t cp) {
    return QStringLiteral("U+%1").arg(uint(cp), 4, 16, QLatin1Char('0')).toUpper();
}

} // namespace sendora
