#include "ParserCommands.h"

#include "import/AddressExtractor.h"
#include "import/AddressRules.h"

#include <QFile>
#include <QIODevice>

namespace sendora::cli {

namespace {

bool isControl(char16_t u) {
    return u < 0x20 || (u >= 0x7F && u < 0xA0);
}

void appendControl(QByteArray& out, unsigned u) {
    switch (u) {
    case '\t':
        out += "\\t";
        return;
    case '\r':
        out += "\\r";
        return;
    case '\n':
        out += "\\n";
        return;
    case 0:
        out += "\\0";
        return;
    default:
        static constexpr char kHex[] = "0123456789abcdef";
        out += "\\x";
        out += kHex[(u >> 4) & 15];
        out += kHex[u & 15];
    }
}

// Passes UTF-8 through, writing every control character other than the TAB and LF that
// separate fields and lines as an escape: the extractor escapes those inside its fields
// already, so whatever control is left came from the input.
class EscapingDevice : public QIODevice {
public:
    explicit EscapingDevice(QIODevice& target) : m_target(target) { open(QIODevice::WriteOnly); }
    ~EscapingDevice() override { finish(); }
    void finish() {
        if (m_afterC2) m_target.write("\xc2", 1);
        m_afterC2 = false;
    }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override {
        QByteArray out;
        out.reserve(size + 16);
        for (qint64 i = 0; i < size; ++i) {
            const auto b = static_cast<unsigned char>(data[i]);
            if (m_afterC2) {
                m_afterC2 = false;
                if (b >= 0x80 && b < 0xA0) {
                    appendControl(out, b);
                    continue;
                }
                out += '\xc2';
            }
            if (b == 0xC2)
                m_afterC2 = true;
            else if ((b < 0x20 && b != '\t' && b != '\n') || b == 0x7F)
                appendControl(out, b);
            else
                out += char(b);
        }
        return m_target.write(out) < 0 ? -1 : size;
    }

private:
    QIODevice& m_target;
    bool m_afterC2 = false;
};

} // namespace

QString escapedForTerminal(QStringView text) {
    QByteArray escaped;
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        if (!isControl(c.unicode())) {
            out += c;
            continue;
        }
        escaped.clear();
        appendControl(escaped, c.unicode());
        out += QLatin1String(escaped);
    }
    return out;
}

int runCheckAddress(const QStringList& args, QTextStream& out) {
    for (const QString& address : args)
        out << escapedForTerminal(address)
            << (IsValidEmailAddress(address) ? QStringLiteral("\tvalid\n") : QStringLiteral("\tinvalid\n"));
    out.flush();
    return 0;
}

int runExtract(const QStringList& args, QTextStream& in, QTextStream& out, QTextStream& err) {
    QString type;
    for (qsizetype i = 0; i < args.size(); ++i) {
        QString value;
        if (args[i] == u"--class" && i + 1 < args.size())
            value = args[++i];
        else if (args[i].startsWith(u"--class="))
            value = args[i].mid(8);
        else {
            err << "extract: unexpected argument " << args[i]
                << "\nusage: extract [--class text|mailbox|binary]\n";
            err.flush();
            return 2;
        }
        const QString lower = value.toLower();
        if (lower == u"text" || lower == u"mailbox" || lower == u"binary") {
            type = lower;
            type[0] = type[0].toUpper();
        } else {
            err << "extract: --class takes text, mailbox or binary\n";
            err.flush();
            return 2;
        }
    }
    AddressExtractor extractor(type);
    // What the input holds reaches the terminal as text, never as control sequences.
    out.flush();
    err.flush();
    QIODevice* inDevice = in.device();
    QIODevice* outDevice = out.device();
    QIODevice* errDevice = err.device();
    if (!outDevice || !errDevice) {
        extractor.run(in, out, err);
        return 0;
    }
    EscapingDevice safeOut(*outDevice);
    EscapingDevice safeErr(*errDevice);
    QTextStream errText(&safeErr);
    // Straight from the devices when both ends are plain UTF-8 streams: much faster than decoding
    // every line through QTextStream, most of which hold no "@". The stream must not have been
    // read from yet.
    if (inDevice && in.encoding() == QStringConverter::Utf8 && out.encoding() == QStringConverter::Utf8) {
        extractor.run(*inDevice, safeOut, errText);
    } else {
        QTextStream outText(&safeOut);
        outText.setEncoding(out.encoding());
        extractor.run(in, outText, errText);
        outText.flush();
    }
    errText.flush();
    safeOut.finish();
    safeErr.finish();
    return 0;
}

} // namespace sendora::cli
