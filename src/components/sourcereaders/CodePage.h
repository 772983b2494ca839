#pragma once
// Turns the bytes of a legacy file into text: Windows-1252 by table (the common case, and
// fast), UTF-8 through Qt, any other code page through iconv.

#include <QByteArray>
#include <QString>
#include <memory>
#include <vector>

namespace sendora::sourcereaders {

constexpr int kCodePageUtf8 = 65001;

class TextDecoder {
public:
    explicit TextDecoder(int codePage = 1252);
    ~TextDecoder();
    TextDecoder(const TextDecoder&) = delete;
    TextDecoder& operator=(const TextDecoder&) = delete;

    QString decode(const char* data, qsizetype size) const;
    QString decode(const QByteArray& bytes) const { return decode(bytes.constData(), bytes.size()); }
    int codePage() const { return codePage_; }

private:
    int codePage_;
    void* iconv_ = nullptr; // iconv_t, when the code page is neither 1252 nor UTF-8
};

QString decodeWindows1252(const char* data, qsizetype size);
// The same text as UTF-8, appended to out: the bytes decodeWindows1252(...).toUtf8() gives.
void appendWindows1252AsUtf8(const char* data, qsizetype size, std::vector<char>& out);
// The code page a dBASE language driver id stands for (1252 when unknown or zero).
int codePageFromLanguageDriver(int ldid);

} // namespace sendora::sourcereaders
