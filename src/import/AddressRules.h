#pragma once
// The address validity rule and the small character tables shared by both address parsers.

#include <QString>
#include <QStringView>

namespace sendora {

// Name result sentinel; turned into an empty first name before anything is stored or shown.
inline const QString kNameNotFound = QStringLiteral("not_found");

// Longest name candidate that is still split into first and last name.
inline constexpr int MaxNameLength = 40;

// Longest line the name rules are defined for; see AddressScanner for longer lines.
inline constexpr int kMaxLineLength = 32767;

// The 17 printable boundary characters, in their stored order; TAB, LF, CR and NUL also bound.
inline const QString kBoundaryCharacters = QStringLiteral(" ,<[(\":;\\>])?{}'=");

bool IsValidEmailAddress(QStringView address);

// Removes the first of "Mr. ", "Ms. ", "Mrs. ", "Miss. ", "Dr. " (in that order, any letter case)
// found in the text, once.
QString StripTitle(QStringView text);

namespace parser_detail {

// Index of the title StripTitle would remove from `text`, searching from `from`; -1 if none.
// `length` receives the title's length.
qsizetype findTitle(QStringView text, qsizetype from, int* length);
// The titles in the order StripTitle tries them.
inline constexpr int kTitleCount = 5;
QStringView title(int k);
// Where each title first occurs at or after `from` (-1 if not), found in one pass over the text.
void indexOfTitles(QStringView text, qsizetype from, qsizetype (&found)[kTitleCount]);

inline bool isBoundary(QChar c) {
    switch (c.unicode()) {
    case 0:
    case 9:
    case 10:
    case 13:
    case ' ':
    case ',':
    case '<':
    case '[':
    case '(':
    case '"':
    case ':':
    case ';':
    case '\\':
    case '>':
    case ']':
    case ')':
    case '?':
    case '{':
    case '}':
    case '\'':
    case '=':
        return true;
    default:
        return false;
    }
}

inline char16_t asciiLower(char16_t c) {
    return (c >= 'A' && c <= 'Z') ? char16_t(c + 32) : c;
}

// Letter-case-insensitive comparisons fold ASCII letters only: every word these rules compare
// against is ASCII, and folding beyond it would let e.g. a long s stand in for "s".
bool equalsAsciiCi(QStringView a, QStringView b);
qsizetype indexOfAsciiCi(QStringView haystack, QStringView needle, qsizetype from = 0);
bool contains(QStringView haystack, QStringView needle, bool caseInsensitive);

// Plain trims only blanks, as the rules' "trimmed" means; TAB, CR and NUL are text.
QStringView trimSpaces(QStringView s);
QStringView trimLeftSpaces(QStringView s);

// "SR.", "Sr.", "Jr.", "JR.", "SR", "JR", "Sr", "Jr", "II", "III".
bool isSuffixWord(QStringView word, bool caseInsensitive);
// "IV", "III", "II": the only suffixes of a four-word name without a comma.
bool isRomanSuffix(QStringView word, bool caseInsensitive);

} // namespace parser_detail
} // namespace sendora
