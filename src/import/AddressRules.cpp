#include "import/AddressRules.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace sendora {

namespace {

constexpr std::array<QStringView, 5> kTitles = {u"Mr. ", u"Ms. ", u"Mrs. ", u"Miss. ", u"Dr. "};

// Character classes of the validity rule, looked up once per character.
enum : quint8 {
    BadInUser = 1,   // refused up to and including the first "@"
    BadInDomain = 2, // refused from the first "@" on
    Anywhere = 4,    // refused anywhere: "<", ">", "?", ":", ","
    Marked = 8,      // counted or paired below: "@", ".", "|", "/", CR, blank
};

constexpr std::array<quint8, 128> makeClasses() {
    std::array<quint8, 128> t{};
    for (char c : std::string_view(")(;]["))
        t[size_t(c)] |= BadInUser;
    for (char c : std::string_view("'*}{?`><^/=%#$|:+&!)(;]["))
        t[size_t(c)] |= BadInDomain;
    for (char c : std::string_view("<>?:,"))
        t[size_t(c)] |= Anywhere;
    for (char c : std::string_view("@.|/\r "))
        t[size_t(c)] |= Marked;
    return t;
}
constexpr std::array<quint8, 128> kClasses = makeClasses();

// "@.", ".@", "||", "//", "..", CR LF.
bool badPair(char16_t a, char16_t b) {
    switch (a) {
    case u'@':
        return b == u'.';
    case u'.':
        return b == u'@' || b == u'.';
    case u'|':
        return b == u'|';
    case u'/':
        return b == u'/';
    case u'\r':
        return b == u'\n';
    default:
        return false;
    }
}

} // namespace

// All ten tests must hold, so one pass gathers what they look at; the tests below keep their order.
bool IsValidEmailAddress(QStringView a) {
    using namespace parser_detail;
    const qsizetype n = a.size();
    if (n == 0) // 1
        return false;
    const char16_t* p = a.utf16();
    qsizetype firstAt = -1, lastAt = -1, lastDot = -1;
    bool userBad = false, domainBad = false, anywhereBad = false, space = false;
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = p[i];
        const quint8 k = c < 128 ? kClasses[c] : 0;
        if (k == 0) // letters, digits and most others: nothing to note
            continue;
        if (k & Marked) {
            if (c == u'@') {
                if (firstAt < 0) firstAt = i;
                lastAt = i;
            } else if (c == u'.') {
                lastDot = i;
            } else if (c == u' ') {
                space = true;
            }
            anywhereBad = anywhereBad || (i + 1 < n && badPair(c, p[i + 1]));
        }
        if (firstAt < 0)
            userBad = userBad || (k & BadInUser);
        else
            domainBad = domainBad || (k & BadInDomain);
        anywhereBad = anywhereBad || (k & Anywhere);
    }
    if (firstAt < 1) // 2
        return false;
    if (p[0] == u'.') // 3
        return false;
    if (userBad) // 4 ("@" itself is in neither list)
        return false;
    if (domainBad) // 5
        return false;
    // 6 is part of `anywhereBad`, which 9 shares.
    if (firstAt + 1 < n && p[firstAt + 1] == u'@') // 7
        return false;
    // From here on the last "@" separates the domain.
    if (lastDot < lastAt || p[lastAt - 1] == u'.') // 8
        return false;
    if (anywhereBad) // 6, 9
        return false;
    if (space && trimSpaces(a).contains(u' ')) // 9
        return false;
    return p[n - 1] != u'.'; // 10
}

QString StripTitle(QStringView text) {
    int length = 0;
    const qsizetype at = parser_detail::findTitle(text, 0, &length);
    if (at < 0) return text.toString();
    QString out;
    out.reserve(text.size() - length);
    out.append(text.first(at)).append(text.sliced(at + length));
    return out;
}

namespace parser_detail {

QStringView title(int k) {
    return kTitles[size_t(k)];
}

void indexOfTitles(QStringView text, qsizetype from, qsizetype (&found)[kTitleCount]) {
    std::fill(std::begin(found), std::end(found), -1);
    from = std::max<qsizetype>(from, 0);
    const char16_t* p = text.utf16();
    const qsizetype n = text.size();
    int missing = kTitleCount;
    // Every title ends in ". " after two to four letters: compare backwards from each such dot.
    for (qsizetype d = from + 2; d + 1 < n; ++d) {
        if (p[d] != u'.' || p[d + 1] != u' ') continue;
        for (int k = 0; k < kTitleCount; ++k) {
            const qsizetype letters = kTitles[size_t(k)].size() - 2;
            if (found[k] >= 0 || d - letters < from) continue;
            if (equalsAsciiCi(text.sliced(d - letters, letters), kTitles[size_t(k)].first(letters))) {
                found[k] = d - letters;
                if (--missing == 0) return;
            }
        }
    }
}

qsizetype findTitle(QStringView text, qsizetype from, int* length) {
    qsizetype found[kTitleCount];
    indexOfTitles(text, from, found);
    for (int k = 0; k < kTitleCount; ++k) {
        if (found[k] >= 0) {
            *length = int(kTitles[size_t(k)].size());
            return found[k];
        }
    }
    return -1;
}

bool equalsAsciiCi(QStringView a, QStringView b) {
    if (a.size() != b.size()) return false;
    for (qsizetype i = 0; i < a.size(); ++i)
        if (asciiLower(a[i].unicode()) != asciiLower(b[i].unicode())) return false;
    return true;
}

qsizetype indexOfAsciiCi(QStringView haystack, QStringView needle, qsizetype from) {
    if (needle.isEmpty()) return from <= haystack.size() ? from : -1;
    const char16_t first = asciiLower(needle[0].unicode());
    const char16_t firstUpper = (first >= 'a' && first <= 'z') ? char16_t(first - 32) : first;
    const QStringView rest = needle.sliced(1);
    for (qsizetype i = std::max<qsizetype>(from, 0); i + needle.size() <= haystack.size(); ++i) {
        const char16_t c = haystack[i].unicode();
        if (c != first && c != firstUpper) continue;
        if (equalsAsciiCi(haystack.sliced(i + 1, rest.size()), rest)) return i;
    }
    return -1;
}

bool contains(QStringView haystack, QStringView needle, bool caseInsensitive) {
    return caseInsensitive ? indexOfAsciiCi(haystack, needle) >= 0 : haystack.contains(needle);
}

QStringView trimLeftSpaces(QStringView s) {
    qsizetype b = 0;
    while (b < s.size() && s[b] == u' ')
        ++b;
    return s.sliced(b);
}

QStringView trimSpaces(QStringView s) {
    s = trimLeftSpaces(s);
    qsizetype e = s.size();
    while (e > 0 && s[e - 1] == u' ')
        --e;
    return s.first(e);
}

bool isSuffixWord(QStringView word, bool caseInsensitive) {
    static constexpr std::array<QStringView, 10> kSuffixes = {u"SR.", u"Sr.", u"Jr.", u"JR.", u"SR",
                                                              u"JR",  u"Sr",  u"Jr",  u"II",  u"III"};
    for (QStringView s : kSuffixes)
        if (caseInsensitive ? equalsAsciiCi(word, s) : word == s) return true;
    return false;
}

bool isRomanSuffix(QStringView word, bool caseInsensitive) {
    for (QStringView s : {u"IV", u"III", u"II"})
        if (caseInsensitive ? equalsAsciiCi(word, s) : word == s) return true;
    return false;
}

} // namespace parser_detail
} // namespace sendora
