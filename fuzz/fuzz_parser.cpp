// libFuzzer target for the address parsers: no crash, no hang, and the parsers agree with
// themselves (a kept scanner against one-shot calls; every address found passes the rule).

#include "import/AddressParser.h"
#include "import/AddressScanner.h"
#include "import/EmailParser.h"
#include "import/NameQuestion.h"

#include <QString>
#include <cstdint>
#include <cstdlib>

using namespace sendora;

namespace {

void check(bool ok) {
    if (!ok) std::abort();
}

// Answers in turn with each button, so every path through the answers is taken.
class RotatingQuestion : public NameQuestion {
public:
    void ask(EmailParser& parser, const NameQuery& q) override {
        switch (m_turn++ % 4) {
        case 0:
            parser.SetFLName(q.firstName, q.lastName);
            break;
        case 1:
            parser.SetFLName({}, {});
            break;
        case 2:
            break;
        default:
            parser.setAskIfAmbigous(false);
            break;
        }
    }

private:
    int m_turn = 0;
};

class CheckingSink : public ExtractionSink {
public:
    explicit CheckingSink(const QString& line) : m_line(line) {}
    void storeAddress(const QString& address, const QString&, const QString&, bool) override {
        check(IsValidEmailAddress(address));
        check(m_line.contains(address));
    }

private:
    const QString& m_line;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    // The first byte picks the decoding, so both UTF-8 and raw Latin-1 bytes (NUL included) reach
    // the parser.
    const char* text = reinterpret_cast<const char*>(data + 1);
    const qsizetype length = qsizetype(size - 1);
    const QString line = (data[0] & 1) ? QString::fromUtf8(text, length) : QString::fromLatin1(text, length);

    IsValidEmailAddress(line);
    StripTitle(line);

    AddressScanner scanner(line);
    qsizetype p1 = 1, p2 = 1;
    for (int steps = 0; p1 != 0 || p2 != 0; ++steps) {
        check(steps <= line.size() + 1);
        QString f1, l1, f2, l2;
        const QString a1 = FindNextAddress(line, p1, f1, l1);
        const QString a2 = scanner.findNextAddress(p2, f2, l2);
        check(a1 == a2 && p1 == p2 && f1 == f2 && l1 == l2);
        if (!a1.isEmpty()) check(IsValidEmailAddress(a1) && line.contains(a1));
    }

    RotatingQuestion question;
    CheckingSink sink(line);
    for (const char* type : {"Text", "Mailbox", "Binary"}) {
        EmailParser parser(nullptr, &question, &sink);
        parser.setSourceFileType(QString::fromLatin1(type));
        parser.extractFromLine(line);
        QStringList pieces;
        int count = 0;
        parser.getMultipleAddress(line, pieces, count);
    }
    return 0;
}
