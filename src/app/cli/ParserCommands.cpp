#include "ParserCommands.h"

#include "import/AddressExtractor.h"
#include "import/AddressRules.h"

#include <QIODevice>

namespace sendora::cli {

int runCheckAddress(const QStringList& args, QTextStream& out) {
    for (const QString& address : args) {
        QString line;
        AddressExtractor::appendEscaped(line, address);
        line += IsValidEmailAddress(address) ? u"\tvalid\n" : u"\tinvalid\n";
        out << line;
    }
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
    // Straight from the devices when both ends are plain UTF-8 streams: much faster than decoding
    // every line through QTextStream, most of which hold no "@". The stream must not have been
    // read from yet.
    QIODevice* inDevice = in.device();
    QIODevice* outDevice = out.device();
    if (inDevice && outDevice && in.encoding() == QStringConverter::Utf8 &&
        out.encoding() == QStringConverter::Utf8) {
        out.flush();
        extractor.run(*inDevice, *outDevice, err);
    } else {
        extractor.run(in, out, err);
    }
    err.flush();
    return 0;
}

} // namespace sendora::cli
