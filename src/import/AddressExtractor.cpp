#include "import/AddressExtractor.h"

#include "import/AddressScanner.h"

#include <QIODevice>
#include <QStringDecoder>
#include <QTextStream>
#include <cstring>

namespace sendora {

namespace {

constexpr qint64 kChunk = 1 << 20;

bool isAscii(const char* p, qsizetype n) {
    for (qsizetype i = 0; i < n; ++i)
        if (static_cast<unsigned char>(p[i]) >= 0x80) return false;
    return true;
}

} // namespace

AddressExtractor::AddressExtractor(const QString& sourceFileType) {
    if (sourceFileType.isEmpty()) return;
    m_parser = std::make_unique<EmailParser>(nullptr, nullptr, static_cast<ExtractionSink*>(this));
    m_parser->setSourceFileType(sourceFileType);
    m_parser->setAskIfAmbigous(false);
}

AddressExtractor::~AddressExtractor() = default;

void AddressExtractor::appendEscaped(QString& out, QStringView text) {
    for (QChar c : text) {
        switch (c.unicode()) {
        case u'\t':
            out += u"\\t";
            break;
        case u'\r':
            out += u"\\r";
            break;
        case u'\n':
            out += u"\\n";
            break;
        case 0:
            out += u"\\0";
            break;
        default:
            out += c;
            break;
        }
    }
}

void AddressExtractor::writeAddress(QStringView address, QStringView first, QStringView last) {
    ++m_found;
    appendEscaped(*m_out, address);
    *m_out += u'\t';
    appendEscaped(*m_out, first == kNameNotFound ? QStringView() : first);
    *m_out += u'\t';
    appendEscaped(*m_out, last);
    *m_out += u'\n';
}

void AddressExtractor::storeAddress(const QString& address, const QString& firstName, const QString& lastName,
                                    bool) {
    writeAddress(address, firstName, lastName);
}

void AddressExtractor::processLine(QStringView line, QString& out, QTextStream& err) {
    ++m_lines;
    if (!line.contains(u'@')) return;
    m_out = &out;
    if (m_parser) {
        // Scanned files are read as trimmed, non-empty lines.
        const QStringView trimmed = parser_detail::trimSpaces(line);
        if (!trimmed.isEmpty()) m_parser->extractFromLine(trimmed);
    } else {
        AddressScanner scanner(line);
        qsizetype position = 1;
        QString first, last;
        while (position != 0) {
            const QString address = scanner.findNextAddress(position, first, last);
            if (!address.isEmpty()) writeAddress(address, first, last);
        }
        for (const QString& text : scanner.takeInformation())
            err << "information: " << text << '\n';
    }
    m_out = nullptr;
}

void AddressExtractor::run(QTextStream& in, QTextStream& out, QTextStream& err) {
    QString buffer;
    QString line;
    while (in.readLineInto(&line)) {
        processLine(line, buffer, err);
        if (buffer.size() >= kChunk) {
            out << buffer;
            buffer.clear();
        }
    }
    out << buffer;
    out.flush();
}

void AddressExtractor::run(QIODevice& in, QIODevice& out, QTextStream& err) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QByteArray data; // unread bytes; a line longer than a chunk simply grows it
    QString text;    // decoded output waiting to be written
    QString decoded;
    qsizetype begin = 0;
    bool atEnd = false;

    auto handle = [&](const char* p, qsizetype n) {
        if (n > 0 && p[n - 1] == '\r') --n;
        if (n <= 0 || !std::memchr(p, '@', size_t(n))) { // '@' never occurs inside a UTF-8 sequence
            ++m_lines;
            return;
        }
        if (isAscii(p, n)) {
            decoded = QString::fromLatin1(p, n);
        } else {
            utf8.resetState();
            decoded = utf8.decode(QByteArrayView(p, n));
            if (utf8.hasError()) decoded = QString::fromLatin1(p, n);
        }
        processLine(decoded, text, err);
    };
    auto flush = [&] {
        const QByteArray bytes = text.toUtf8();
        out.write(bytes);
        text.clear();
    };

    while (!atEnd) {
        if (begin > 0) {
            data.remove(0, begin);
            begin = 0;
        }
        const qsizetype had = data.size();
        data.resize(had + kChunk);
        const qint64 got = in.read(data.data() + had, kChunk);
        data.resize(had + std::max<qint64>(got, 0));
        atEnd = got <= 0;
        const char* base = data.constData();
        for (;;) {
            const void* nl = std::memchr(base + begin, '\n', size_t(data.size() - begin));
            if (!nl) break;
            const qsizetype end = static_cast<const char*>(nl) - base;
            handle(base + begin, end - begin);
            begin = end + 1;
        }
        if (text.size() >= kChunk) flush();
    }
    if (begin < data.size()) handle(data.constData() + begin, data.size() - begin);
    flush();
}

} // namespace sendora
