#include "import/EmailParser.h"

#include "core/UserInterface.h"
#include "import/NameQuestion.h"

namespace sendora {

EmailParser::EmailParser(UserInterface* ui, NameQuestion* question, ExtractionSink* sink)
    : m_ui(ui), m_question(question), m_sink(sink) {}

ScanRules EmailParser::rules() const {
    ScanRules r;
    r.classRules = true;
    r.textSource = m_text;
    r.questions = m_ask && m_question;
    return r;
}

void EmailParser::SetFLName(const QString& firstName, const QString& lastName) {
    m_firstName = firstName;
    m_lastName = lastName;
}

void EmailParser::settle(const NameResult& r) {
    m_firstName = r.firstName;
    m_lastName = r.lastName;
    if (m_ui)
        for (const QString& text : r.information)
            m_ui->message(text, Buttons::OK, Icon::Information);
    if (r.question && m_ask && m_question) m_question->ask(*this, *r.question);
}

void EmailParser::ParseFirstLastName(QStringView line, qsizetype start, qsizetype end, bool angle,
                                     QStringView userName, QStringView address) {
    m_firstName = kNameNotFound;
    m_lastName.clear();
    if (start < 1 || end < start || end > line.size()) return;
    AddressScanner scanner(line, rules());
    settle(scanner.findName({address.toString(), userName, start, end, angle}));
}

void EmailParser::store(const QString& address, int& status) {
    const bool open = std::exchange(m_openOnStore, false);
    if (m_sink)
        m_sink->storeAddress(address, m_firstName == kNameNotFound ? QString() : m_firstName, m_lastName,
                             open);
    status = open ? 1 : 0;
    ++m_count;
}

bool EmailParser::parseWith(AddressScanner& scanner, qsizetype& position, int& status, QString& address,
                            bool names) {
    address.clear();
    m_firstName = kNameNotFound;
    m_lastName.clear();
    AddressCandidate c;
    if (!scanner.nextCandidate(position, c)) return false;
    // Mail repeats its addresses: names for one the list drops anyway would be worked out for
    // nothing, unless they could stop the line or show something.
    if (names && !m_openOnStore && m_sink && m_sink->ignores(c.address) && !scanner.namesMayMatter()) {
        address = std::move(c.address);
        status = 0;
        ++m_count;
        return true;
    }
    if (names) {
        settle(scanner.findName(c));
        if (isMessageIdName(m_firstName, true)) {
            position = 0;
            return false;
        }
    }
    address = c.address;
    store(address, status);
    return true;
}

bool EmailParser::parseEmailAddress(QStringView line, qsizetype& position, int& status, QString& address) {
    AddressScanner scanner(line, rules());
    return parseWith(scanner, position, status, address, m_nameChecking);
}

namespace {

// Hands each piece of a line with commas to `piece`, in line order.
template <typename Piece> void forEachPiece(QStringView line, Piece&& piece) {
    const qsizetype n = line.size();
    qsizetype s = 0;
    while (s < n) {
        const qsizetype comma = line.indexOf(u',', s);
        const qsizetype at = comma < 0 ? -1 : line.indexOf(u'@', s);
        if (comma < 0 || at < 0) {
            piece(line.sliced(s));
            break;
        }
        if (comma > at) {
            piece(line.sliced(s, comma - s));
            s = comma + 1;
            continue;
        }
        // The comma lies before this piece's "@" (as in "Smith, John <js@x>"): cut after the address.
        const qsizetype next = line.indexOf(u',', at + 1);
        if (next < 0) {
            piece(line.sliced(s));
            break;
        }
        piece(line.sliced(s, next - s));
        s = next + 1;
    }
}

} // namespace

bool EmailParser::parsePiece(QStringView piece) {
    AddressScanner scanner(piece, rules());
    qsizetype position = 1;
    int status = 0;
    QString address;
    return parseWith(scanner, position, status, address, true);
}

int EmailParser::getMultipleAddress(QStringView line, QStringList& pieces, int& count) {
    pieces.clear();
    forEachPiece(line, [&pieces](QStringView piece) { pieces << piece.toString(); });
    count = int(pieces.size());
    int stored = 0;
    for (const QString& piece : std::as_const(pieces))
        stored += parsePiece(piece) ? 1 : 0;
    return stored;
}

int EmailParser::multipleAddresses(QStringView line) {
    int stored = 0;
    forEachPiece(line, [this, &stored](QStringView piece) { stored += parsePiece(piece) ? 1 : 0; });
    return stored;
}

int EmailParser::extractFromLine(QStringView line) {
    QString address;
    int status = 0;
    if (m_mailbox) {
        if (line.contains(u',')) return multipleAddresses(line);
        qsizetype position = 1;
        return parseEmailAddress(line, position, status, address) ? 1 : 0;
    }
    AddressScanner scanner(line, rules());
    int found = 0;
    qsizetype origin = 0;
    for (;;) {
        scanner.setOrigin(origin);
        qsizetype position = 1;
        if (parseWith(scanner, position, status, address, m_nameChecking)) ++found;
        if (position == 0) break;
        origin += position - 1;
    }
    return found;
}

} // namespace sendora
