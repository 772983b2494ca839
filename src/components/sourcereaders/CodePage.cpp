#include "CodePage.h"

#include <iconv.h>

namespace sendora::sourcereaders {

namespace {

// 0x80..0x9F of Windows-1252; the undefined five map to themselves as C1 controls.
const char16_t k1252High[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

QByteArray iconvName(int codePage) {
    switch (codePage) {
    case 936:
        return "GBK";
    case 950:
        return "BIG5";
    case 10000:
        return "MACINTOSH";
    default:
        return "CP" + QByteArray::number(codePage);
    }
}

} // namespace

QString decodeWindows1252(const char* data, qsizetype size) {
    QString out(size, Qt::Uninitialized);
    QChar* dst = out.data();
    for (qsizetype i = 0; i < size; ++i) {
        const auto c = static_cast<unsigned char>(data[i]);
        dst[i] = (c >= 0x80 && c < 0xA0) ? QChar(k1252High[c - 0x80]) : QChar(c);
    }
    return out;
}

void appendWindows1252AsUtf8(const char* data, qsizetype size, std::vector<char>& out) {
    for (qsizetype i = 0; i < size; ++i) {
        const auto c = static_cast<unsigned char>(data[i]);
        const char16_t u = (c >= 0x80 && c < 0xA0) ? k1252High[c - 0x80] : c;
        if (u < 0x80) {
            out.push_back(char(u));
        } else if (u < 0x800) {
            out.push_back(char(0xC0 | (u >> 6)));
            out.push_back(char(0x80 | (u & 0x3F)));
        } else {
            out.push_back(char(0xE0 | (u >> 12)));
            out.push_back(char(0x80 | ((u >> 6) & 0x3F)));
            out.push_back(char(0x80 | (u & 0x3F)));
        }
    }
}

int codePageFromLanguageDriver(int ldid) {
    switch (ldid) {
    case 0x01:
        return 437;
    case 0x02:
    case 0x37:
        return 850;
    case 0x04:
        return 10000;
    case 0x64:
        return 852;
    case 0x65:
    case 0x26:
        return 866;
    case 0x66:
        return 865;
    case 0x67:
        return 861;
    case 0x6A:
        return 737;
    case 0x6B:
        return 857;
    case 0x7A:
    case 0x4D:
        return 936;
    case 0x79:
    case 0x4E:
        return 949;
    case 0x78:
    case 0x4F:
        return 950;
    case 0x7B:
    case 0x13:
        return 932;
    case 0x7C:
    case 0x50:
        return 874;
    case 0x7D:
        return 1255;
    case 0x7E:
        return 1256;
    case 0xC8:
        return 1250;
    case 0xC9:
        return 1251;
    case 0xCA:
        return 1254;
    case 0xCB:
        return 1253;
    case 0xCC:
        return 1257;
    default: // 0x03, 0x57..0x59 and files that name none
        return 1252;
    }
}

TextDecoder::TextDecoder(int codePage) : codePage_(codePage) {
    if (codePage_ == 1252 || codePage_ == kCodePageUtf8) return;
    iconv_t cd = iconv_open("UTF-16LE", iconvName(codePage_).constData());
    if (cd == reinterpret_cast<iconv_t>(-1))
        codePage_ = 1252; // a code page this system lacks: the bytes still arrive as text
    else
        iconv_ = cd;
}

TextDecoder::~TextDecoder() {
    if (iconv_) iconv_close(static_cast<iconv_t>(iconv_));
}

QString TextDecoder::decode(const char* data, qsizetype size) const {
    if (size <= 0) return {};
    if (codePage_ == kCodePageUtf8) return QString::fromUtf8(data, size);
    if (!iconv_) return decodeWindows1252(data, size);
    auto cd = static_cast<iconv_t>(iconv_);
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    QString out(size * 2, Qt::Uninitialized);
    char* in = const_cast<char*>(data);
    size_t inLeft = size_t(size);
    char* dst = reinterpret_cast<char*>(out.data());
    size_t outLeft = size_t(out.size()) * 2;
    while (inLeft > 0) {
        if (iconv(cd, &in, &inLeft, &dst, &outLeft) != size_t(-1)) break;
        if (outLeft < 2) break;
        // A byte the code page does not define becomes U+FFFD and reading goes on.
        *reinterpret_cast<char16_t*>(dst) = 0xFFFD;
        dst += 2;
        outLeft -= 2;
        ++in;
        --inLeft;
    }
    out.truncate((dst - reinterpret_cast<char*>(out.data())) / 2);
    return out;
}

} // namespace sendora::sourcereaders
