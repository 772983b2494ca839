#include "import/AddressScanner.h"

#include <algorithm>
#include <array>
#include <utility>

namespace sendora {

using namespace parser_detail;

namespace {

const QString kManually = QStringLiteral("a name manually if you can.");

QString upperFirst(QStringView s) {
    QString out = s.toString();
    if (!out.isEmpty()) out[0] = out[0].toUpper();
    return out;
}

// A word "minus": without its last character.
QString minus(QStringView w) {
    return w.isEmpty() ? QString() : w.chopped(1).toString();
}

QString joined(QStringView a, QStringView b) {
    QString out;
    out.reserve(a.size() + 1 + b.size());
    return out.append(a).append(u' ').append(b);
}

// A comma-separated field that begins with a double quote loses its first and last character.
QString unquoted(QStringView f) {
    if (!f.startsWith(u'"')) return f.toString();
    return f.size() < 2 ? QString() : f.sliced(1, f.size() - 2).toString();
}

// The name rules read short texts: a plain loop costs less than the library's search.
qsizetype findIn(QStringView s, char16_t c, qsizetype from = 0) {
    const char16_t* p = s.utf16();
    for (qsizetype i = std::max<qsizetype>(from, 0); i < s.size(); ++i)
        if (p[i] == c) return i;
    return -1;
}

// Whether any of "&", " and ", "Family", "familey", "family" occurs in the text, in one pass.
bool holdsFamilyWord(QStringView s, bool caseInsensitive) {
    static constexpr QStringView kWords[] = {u"&", u" and ", u"Family", u"familey", u"family"};
    const qsizetype n = s.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = s[i].unicode();
        if (c != u'&' && c != u' ' && c != u'f' && c != u'F') continue;
        for (QStringView w : kWords) {
            if (i + w.size() > n) continue;
            const QStringView at = s.sliced(i, w.size());
            if (caseInsensitive ? equalsAsciiCi(at, w) : at == w) return true;
        }
    }
    return false;
}

} // namespace

bool isMessageIdName(QStringView firstName, bool caseInsensitive) {
    if (firstName.size() < 10) // most names: too short to hold the word
        return false;
    if (caseInsensitive) return indexOfAsciiCi(firstName, u"message-id") >= 0;
    return firstName.contains(u"Message-Id") || firstName.contains(u"Message-ID");
}

AddressScanner::AddressScanner(QStringView line, ScanRules rules) : m_full(line), m_rules(rules) {}

void AddressScanner::setOrigin(qsizetype origin) {
    m_origin = std::clamp<qsizetype>(origin, 0, m_full.size());
}

QStringList AddressScanner::takeInformation() {
    return std::exchange(m_information, {});
}

qsizetype AddressScanner::nextOf(NextCache& cache, char16_t c, qsizetype from) const {
    if (cache.from >= 0 && from >= cache.from && (cache.found < 0 || cache.found >= from)) return cache.found;
    cache.from = from;
    cache.found = from < m_full.size() ? m_full.indexOf(QChar(c), from) : -1;
    return cache.found;
}

bool AddressScanner::nextCandidate(qsizetype& position, AddressCandidate& out) {
    const QStringView L = line();
    const qsizetype n = L.size();
    if (position < 1 || position >= n) {
        position = 0;
        return false;
    }
    const qsizetype from = position - 1; // 0-based from here on
    const qsizetype at = L.indexOf(u'@', from);
    if (at < 0 || at == from) {
        position = 0;
        return false;
    }
    // An apostrophe belongs to the user name (o'brien@...) but ends the domain.
    qsizetype start = from;
    bool angle = false;
    for (qsizetype i = at - 1; i >= from; --i) {
        const QChar c = L[i];
        if (c != u'\'' && isBoundary(c)) {
            start = i + 1;
            angle = c == u'<';
            break;
        }
    }
    if (start == at) {
        position = at + 3;
        return false;
    }
    qsizetype end = n - 1;
    for (qsizetype i = at + 1; i < n; ++i) {
        if (isBoundary(L[i])) {
            end = i - 1;
            break;
        }
    }
    if (end == at) {
        position = at + 3;
        return false;
    }
    position = end + 3;
    const QStringView address = L.sliced(start, end - start + 1);
    if (!IsValidEmailAddress(address)) return false;
    out.address = address.toString();
    out.userName = L.sliced(start, at - start);
    out.start = start + 1;
    out.end = end + 1;
    out.angle = angle;
    return true;
}

QString AddressScanner::findNextAddress(qsizetype& position, QString& firstName, QString& lastName) {
    firstName = kNameNotFound;
    lastName.clear();
    AddressCandidate c;
    if (!nextCandidate(position, c)) return {};
    NameResult r = findName(c);
    m_information += r.information;
    if (isMessageIdName(r.firstName, m_rules.classRules)) {
        position = 0;
        return {};
    }
    firstName = r.firstName;
    lastName = r.lastName;
    return c.address;
}

// ---- name rules ---------------------------------------------------------------------------

void AddressScanner::prepareNames() {
    if (m_preparedOrigin == m_origin) return;
    m_preparedOrigin = m_origin;
    m_fields = {};
    m_quoteFacts = {};
    m_gapStart = -1;
    m_gapLength = 0;
    m_stripped.clear();
    bool current = m_titlesFrom >= 0 && m_origin >= m_titlesFrom;
    for (int k = 0; current && k < kTitleCount; ++k)
        current = m_titleAt[k] < 0 || m_titleAt[k] >= m_origin;
    if (!current) {
        m_titlesFrom = m_origin;
        indexOfTitles(m_full, m_origin, m_titleAt);
    }
    for (int k = 0; k < kTitleCount; ++k) {
        if (m_titleAt[k] >= 0) {
            m_gapStart = m_titleAt[k];
            m_gapLength = title(k).size();
            break;
        }
    }
    if (m_gapStart < 0) {
        m_work = line();
        return;
    }
    m_stripped.reserve(m_full.size() - m_origin - m_gapLength);
    m_stripped.append(m_full.sliced(m_origin, m_gapStart - m_origin));
    m_stripped.append(m_full.sliced(m_gapStart + m_gapLength));
    m_work = m_stripped;
}

// Titles hold only letters, "." and blanks, so the characters searched for below are found at
// the same places on the full line, only shifted by the title.
qsizetype AddressScanner::toWork(qsizetype full) const {
    const qsizetype w = full - m_origin;
    return (m_gapStart >= 0 && full >= m_gapStart + m_gapLength) ? w - m_gapLength : w;
}

qsizetype AddressScanner::workToFull(qsizetype w) const {
    const qsizetype full = m_origin + w;
    return (m_gapStart >= 0 && full >= m_gapStart) ? full + m_gapLength : full;
}

qsizetype AddressScanner::workNext(NextCache& cache, char16_t c, qsizetype workFrom) const {
    if (workFrom >= m_work.size()) return -1;
    const qsizetype found = nextOf(cache, c, workToFull(workFrom));
    return found < 0 ? -1 : toWork(found);
}

QChar AddressScanner::workBefore(qsizetype w) const {
    return w > 0 ? m_work[w - 1] : QChar();
}

bool AddressScanner::sameWord(QStringView a, QStringView b) const {
    return m_rules.classRules ? equalsAsciiCi(a, b) : a == b;
}

void AddressScanner::ask(NameResult& r, const AddressCandidate& c, const QString& message,
                         const QString& first, const QString& last, const QString& inferred) {
    if (!m_rules.classRules) return;
    r.question = NameQuery{c.address, first, last, message, inferred, !inferred.isEmpty()};
}

NameResult AddressScanner::findName(const AddressCandidate& c) {
    NameResult r;
    if (!namesAvailable()) return r;
    prepareNames();
    const qsizetype s = toWork(m_origin + c.start - 1);
    const qsizetype e = toWork(m_origin + c.end - 1);
    if ((!m_rules.classRules || m_rules.textSource) && ruleFields(r, true)) return r;
    if (c.angle)
        ruleAngle(c, s, e, r);
    else
        ruleNotAngle(c, s, e, r);
    return r;
}

bool AddressScanner::namesMayMatter() {
    if (m_rules.questions) return true;
    if (!namesAvailable()) return false; // no names are worked out at all
    if (m_matter == Matter::Unknown) {
        // Every name is made of pieces of the line (a title taken out can join two of them), so
        // without a title, "message-id" and an escaped quote on the whole line nothing matters.
        m_matter = Matter::No;
        const char16_t* p = m_full.utf16();
        const qsizetype n = m_full.size();
        for (qsizetype i = 0; i < n && m_matter == Matter::No; ++i) {
            if (p[i] == u'\\') {
                if (i + 1 < n && p[i + 1] == u'"') m_matter = Matter::Yes;
            } else if (p[i] == u'-') {
                if (i >= 7 &&
                    equalsAsciiCi(m_full.sliced(i - 7, std::min<qsizetype>(10, n - i + 7)), u"message-id"))
                    m_matter = Matter::Yes;
            } else if (p[i] == u'.' && i + 1 < n && p[i + 1] == u' ') {
                for (int k = 0; k < kTitleCount && m_matter == Matter::No; ++k) {
                    const qsizetype letters = title(k).size() - 2;
                    if (i >= letters &&
                        equalsAsciiCi(m_full.sliced(i - letters, letters), title(k).first(letters)))
                        m_matter = Matter::Yes;
                }
            }
        }
    }
    return m_matter == Matter::Yes;
}

void AddressScanner::prepareFields() {
    if (m_fields.done) return;
    m_fields.done = true;
    const qsizetype c = workNext(m_comma, u',', 0);
    if (c < 0) return;
    m_fields.hasComma = true;
    if (c >= 1) {
        const qsizetype q1 = workNext(m_quote, u'"', 0);
        const qsizetype q2 = q1 >= 0 && q1 < c ? m_work.first(c).indexOf(u'"', q1 + 1) : -1;
        m_fields.quotedBeforeComma = q2 >= 0;
    }
    const QStringView f1 = trimSpaces(m_work.first(c));
    const qsizetype c2 = m_work.indexOf(u',', c + 1);
    const QStringView f2 = trimSpaces(c2 < 0 ? m_work.sliced(c + 1) : m_work.sliced(c + 1, c2 - c - 1));
    QStringView f3;
    if (c2 >= 0) {
        const qsizetype c3 = m_work.indexOf(u',', c2 + 1);
        f3 = trimSpaces(c3 < 0 ? m_work.sliced(c2 + 1) : m_work.sliced(c2 + 1, c3 - c2 - 1));
    }
    const bool addressFirst = f1.contains(u'@');
    m_fields.first = unquoted(addressFirst ? f2 : f1);
    m_fields.last = unquoted(addressFirst ? f3 : f2);
}

bool AddressScanner::ruleFields(NameResult& r, bool needQuotes) {
    prepareFields();
    if (!m_fields.hasComma || (needQuotes && !m_fields.quotedBeforeComma)) return false;
    r.firstName = m_fields.first;
    r.lastName = m_fields.last;
    return true;
}

bool AddressScanner::parenthesised(const AddressCandidate& c, qsizetype e, NameResult& r) {
    const qsizetype open = workNext(m_open, u'(', e + 2);
    if (open < 0) return false;
    const qsizetype close = workNext(m_close, u')', open + 1);
    if (close < 0) {
        if (m_rules.questions)
            ask(r, c, QStringLiteral("String seems to have unmatched parenthesis. Extract ") + kManually,
                trimSpaces(m_work.sliced(open + 1)).toString());
        return true;
    }
    candidateRules(c, m_work.sliced(open + 1, close - open - 1), r);
    return true;
}

void AddressScanner::ruleNotAngle(const AddressCandidate& c, qsizetype, qsizetype e, NameResult& r) {
    if (parenthesised(c, e, r)) return;
    const QStringView user = c.userName;
    QChar sep = u'_';
    qsizetype at = user.indexOf(sep, 1);
    if (at < 0) {
        sep = u'.';
        at = user.indexOf(sep, 1);
    }
    if (at >= 0) {
        if (at == user.size() - 1) return;
        r.firstName = upperFirst(user.first(at));
        r.lastName = upperFirst(user.sliced(at + 1));
        if (m_rules.questions)
            ask(r, c,
                QStringLiteral("No name was found but we may guess from \"") + sep +
                    QStringLiteral("\" in the username. Confirm the guess or extract ") + kManually,
                r.firstName, r.lastName);
        return;
    }
    // Whatever follows the address, as "addr, First, Last" when a comma opens it.
    const QStringView rest = trimSpaces(m_work.sliced(std::min(e + 1, m_work.size())));
    if (rest.isEmpty()) return;
    const qsizetype comma = rest.first(std::min<qsizetype>(4, rest.size())).indexOf(u',');
    if (comma < 0) {
        r.firstName = rest.toString();
        return;
    }
    const QStringView after = rest.sliced(comma + 1);
    const qsizetype next = after.indexOf(u',');
    if (next < 0) {
        r.firstName = trimSpaces(after).toString();
    } else {
        r.firstName = trimSpaces(after.first(next)).toString();
        r.lastName = trimSpaces(after.sliced(next + 1)).toString();
    }
}

void AddressScanner::prepareQuote() {
    Quote& f = m_quoteFacts;
    if (f.done) return;
    f.done = true;
    const qsizetype q = workNext(m_quote, u'"', 0);
    if (q < 0 || workBefore(q) == u'\\') return;
    f.q = q;
    const qsizetype q2 = m_work.indexOf(u'"', q + 1);
    if (q2 < 0) {
        f.kind = Quote::Cut;
        f.colonAfterCut = m_work.indexOf(u':', q + 1);
        return;
    }
    f.kind = Quote::Candidate;
    f.begin = q + 1;
    f.end = q2;
    if (workBefore(q2) != u'\\') return;
    f.kind = Quote::NoName;
    const qsizetype q3 = m_work.indexOf(u'"', q2 + 1);
    if (q3 < 0) return;
    if (workBefore(q3) != u'\\') {
        f.information = QStringLiteral("Unmatched  \\\" pair at positions %1 and %2in string ")
                            .arg(q2 + 1)
                            .arg(q3 + 1)
                            .append(m_work);
        return;
    }
    const qsizetype q4 = m_work.indexOf(u'"', q3 + 1);
    if (q4 < 0) {
        f.information = QStringLiteral("Unmatched \" in string ").append(m_work);
        return;
    }
    f.kind = Quote::Candidate;
    f.end = q4;
}

void AddressScanner::ruleAngle(const AddressCandidate& c, qsizetype s, qsizetype e, NameResult& r) {
    if (s == 1) {
        if (m_rules.classRules && m_rules.textSource)
            ruleFields(r, false);
        else
            parenthesised(c, e, r);
        return;
    }
    prepareQuote();
    const Quote& f = m_quoteFacts;
    qsizetype lineStart = 0;
    qsizetype colon = -1;
    if (f.kind != Quote::None && f.q < s) {
        if (f.kind == Quote::Candidate) {
            candidateRules(c, m_work.sliced(f.begin, f.end - f.begin), r);
            return;
        }
        if (f.kind == Quote::NoName) {
            if (!f.information.isEmpty()) r.information << f.information;
            return;
        }
        lineStart = f.q + 1; // an unclosed quote: read the line after it
        colon = f.colonAfterCut;
    } else {
        colon = workNext(m_colon, u':', 0);
    }
    qsizetype from = lineStart;
    if (colon >= 0 && colon < s && colon - lineStart >= 2) {
        const QStringView header = m_work.sliced(colon - 2, 2);
        for (QStringView h : {u"om", u"OM", u"TO", u"To", u"CC", u"Cc", u"cc"}) {
            if (sameWord(header, h)) {
                from = colon + 1;
                break;
            }
        }
    }
    const qsizetype to = s - 1; // the "<"
    QStringView cand = from < to ? m_work.sliced(from, to - from) : QStringView();
    if (cand.startsWith(u'\t')) cand = cand.sliced(1);
    cand = trimSpaces(cand);
    if (cand.isEmpty()) {
        parenthesised(c, e, r);
        return;
    }
    candidateRules(c, cand, r);
}

void AddressScanner::candidateRules(const AddressCandidate& c, QStringView cand, NameResult& r) {
    if (cand.isEmpty()) return;
    // Without anyone to ask, both of the next two tests mean "no name"; the cheap one goes first.
    if (!m_rules.questions && cand.size() > MaxNameLength) return;
    if (findIn(cand, u'@') >= 0) {
        if (m_rules.questions)
            ask(r, c,
                QStringLiteral("This case is suspicious because of the embedded \"@\". It may not be a valid "
                               "name. Confirm it or extract ") +
                    kManually,
                cand.toString());
        return;
    }
    if (cand.size() > MaxNameLength) {
        if (m_rules.questions)
            ask(r, c,
                QStringLiteral("The name field is greater than %1 characters.  Extract ").arg(MaxNameLength) +
                    kManually,
                cand.toString());
        return;
    }
    const bool ci = m_rules.classRules;
    if (holdsFamilyWord(cand, ci)) {
        r.firstName = cand.toString();
        r.lastName.clear();
        return;
    }
    const QStringView t = trimSpaces(cand);
    if (findIn(t, u' ') < 0) {
        r.firstName = t.toString();
        return;
    }
    // Words W1..W5 at single spaces; W5 keeps the rest.
    QStringView w[5];
    int words = 0;
    qsizetype from = 0;
    while (words < 4) {
        const qsizetype sp = findIn(t, u' ', from);
        if (sp < 0) break;
        w[words] = t.sliced(from, sp - from);
        ++words;
        from = sp + 1;
    }
    w[words] = t.sliced(from);
    ++words;
    for (int i = 1; i < words; ++i)
        w[i] = trimLeftSpaces(w[i]);

    enum { None, AtEnd, Elsewhere } comma = None;
    if (t.endsWith(u','))
        comma = AtEnd;
    else if (findIn(t, u',') >= 0)
        comma = Elsewhere;

    auto set = [&r](const QString& first, const QString& last) {
        r.firstName = first;
        r.lastName = last;
    };
    auto guess = [&](const QString& first, const QString& last) {
        set(first, last);
        if (m_rules.questions)
            ask(r, c,
                QStringLiteral("The program guessed the following names. Confirm or extract ") + kManually,
                first, last, t.toString());
    };
    auto noGuess = [&] {
        if (m_rules.questions)
            ask(r, c, QStringLiteral("Unable to guess at parsing a name. Extract ") + kManually,
                t.toString());
    };

    switch (words) {
    case 2:
        if (comma == None)
            set(w[0].toString(), w[1].toString());
        else if (comma == AtEnd)
            set(w[0].toString(), minus(w[1]));
        else
            set(w[1].toString(), minus(w[0]));
        break;
    case 3:
        if (comma == None)
            set(w[0].toString(), joined(w[1], w[2]));
        else if (comma == AtEnd)
            set(w[0].toString(), joined(w[1], minus(w[2])));
        else if (isSuffixWord(w[2], ci))
            set(w[0].toString(), joined(w[1], w[2]));
        else if (!w[0].endsWith(u','))
            set(w[2].toString(), joined(w[0], minus(w[1])));
        else
            set(joined(w[1], w[2]), minus(w[0]));
        break;
    case 4:
        if (comma == None) {
            if (isRomanSuffix(w[3], ci))
                set(w[0].toString(), joined(joined(w[1], w[2]), w[3]));
            else
                noGuess();
        } else if (comma == AtEnd) {
            set(w[0].toString(), joined(joined(w[1], w[2]), minus(w[3])));
        } else if (isSuffixWord(w[3], ci)) {
            set(w[0].toString(), joined(joined(w[1], w[2]), w[3]));
        } else {
            guess(w[0].toString(), minus(w[1]));
        }
        break;
    default:
        if (comma == None)
            noGuess();
        else
            guess(w[0].toString(), minus(w[1]));
        break;
    }
}

} // namespace sendora
