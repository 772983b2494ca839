#pragma once
// One line of text searched for addresses and the personal names around them. The plain parser
// and EmailParser both run on it; ScanRules carries their few differences.
//
// A scanner keeps what it learns about its line (title, first comma, quotes, colon, next
// parenthesis) between calls, so walking a whole line costs one pass over it. Lines longer than
// kMaxLineLength are still searched for addresses by the same rules, but no names are looked for:
// the name rules read the whole line around every address, which the system defines only up to
// that length, and skipping them keeps such lines linear.

#include "import/AddressRules.h"
#include "import/NameQuestion.h"

#include <QString>
#include <QStringList>
#include <QStringView>
#include <optional>

namespace sendora {

struct ScanRules {
    bool classRules = false; // EmailParser: words compared in any letter case, questions proposed
    bool textSource = false; // EmailParser with SourceFileType "Text": comma-separated fields
    bool questions = false;  // someone will ask: keep the doubtful cases' questions
};

struct AddressCandidate {
    QString address;
    QStringView userName; // the text before the "@", on the caller's line
    qsizetype start = 0;  // first and last character, counted from 1 on the scanner's line
    qsizetype end = 0;
    bool angle = false; // the address followed a "<"
};

struct NameResult {
    QString firstName = kNameNotFound;
    QString lastName;
    std::optional<NameQuery> question; // a doubtful case the class may ask about
    QStringList information;           // information boxes to show
};

bool isMessageIdName(QStringView firstName, bool caseInsensitive);

class AddressScanner {
public:
    explicit AddressScanner(QStringView line, ScanRules rules = {});

    // The scanner's line is the given line from `origin` (0-based) on; scanning a line that is
    // cut behind every address moves the origin instead of copying the rest.
    void setOrigin(qsizetype origin);
    QStringView line() const { return m_full.sliced(m_origin); }
    bool namesAvailable() const { return line().size() <= kMaxLineLength; }

    // Steps 1 to 5 of the search: true and the candidate when a valid address starts at or after
    // `position`; `position` is left where the next search starts, 0 when the line holds no more.
    bool nextCandidate(qsizetype& position, AddressCandidate& out);

    // The name rules for a candidate of this line.
    NameResult findName(const AddressCandidate& candidate);
    // Whether the names of an address on this line can matter beyond themselves: someone is asked,
    // or the line could give a name holding "message-id" or an information box. When not, a
    // caller that would throw the names away may leave them unworked.
    bool namesMayMatter();

    // The plain parser's whole step: the next address with its names, message-id lines dropped.
    QString findNextAddress(qsizetype& position, QString& firstName, QString& lastName);
    QStringList takeInformation();

private:
    struct NextCache {
        qsizetype from = -1;
        qsizetype found = -1;
    };
    qsizetype nextOf(NextCache& cache, char16_t c, qsizetype from) const;
    void prepareNames();
    qsizetype toWork(qsizetype fullIndex) const;
    qsizetype workNext(NextCache& cache, char16_t c, qsizetype workFrom) const;
    QChar workBefore(qsizetype workIndex) const;

    bool ruleFields(NameResult& r, bool needQuotes);
    void ruleNotAngle(const AddressCandidate& c, qsizetype s, qsizetype e, NameResult& r);
    void ruleAngle(const AddressCandidate& c, qsizetype s, qsizetype e, NameResult& r);
    bool parenthesised(const AddressCandidate& c, qsizetype e, NameResult& r);
    void candidateRules(const AddressCandidate& c, QStringView cand, NameResult& r);
    void ask(NameResult& r, const AddressCandidate& c, const QString& message, const QString& first,
             const QString& last = {}, const QString& inferred = {});
    bool sameWord(QStringView a, QStringView b) const;

    QStringView m_full;
    qsizetype m_origin = 0;
    enum class Matter { Unknown, No, Yes } m_matter = Matter::Unknown;
    ScanRules m_rules;
    QStringList m_information;

    // Searches of the whole line, reused while their start only moves forward.
    mutable NextCache m_comma, m_quote, m_colon, m_open, m_close;
    // Each title's first place at or after m_titlesFrom; good while no found title lies before the origin.
    qsizetype m_titlesFrom = -1;
    qsizetype m_titleAt[parser_detail::kTitleCount] = {};

    // Facts of the current origin, worked out on the first name search.
    qsizetype m_preparedOrigin = -1;
    QString m_stripped;        // the line without its title, when it had one
    QStringView m_work;        // the line the name rules read
    qsizetype m_gapStart = -1; // where the title was, on the full line
    qsizetype m_gapLength = 0;

    struct Fields {
        bool done = false;
        bool hasComma = false;
        bool quotedBeforeComma = false; // the first quoted string closes before the first comma
        QString first, last;
    } m_fields;
    struct Quote {
        enum Kind { None, Candidate, NoName, Cut } kind = None;
        bool done = false;
        qsizetype q = -1;
        qsizetype begin = 0, end = 0; // candidate on the work line
        qsizetype colonAfterCut = -1;
        QString information;
    } m_quoteFacts;
    qsizetype workToFull(qsizetype workIndex) const;
    void prepareFields();
    void prepareQuote();
};

} // namespace sendora
