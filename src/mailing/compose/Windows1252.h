#pragma once
// Outgoing parts carry no charset, so every text leaves as Windows-1252, the code page of
// the database files. One UTF-16 unit becomes one byte, so offsets found in the text hold
// in the bytes; a unit the code page cannot carry becomes "?".

#include <QByteArray>
#include <QString>
#include <QStringView>

namespace sendora {

struct Cp1252Replacement {
    qsizetype count = 0;         // units replaced by '?'
    char32_t firstCodePoint = 0; // the first one, as a code point (a surrogate pair as one)
};

// Appends the encoding of text to out; replaced units are counted in *replacement.
void appendWindows1252(QByteArray& out, QStringView text, Cp1252Replacement* replacement = nullptr);
QByteArray toWindows1252(QStringView text, Cp1252Replacement* replacement = nullptr);

// Windows-1252 bytes back to text (every byte maps; the five unassigned ones to C1 controls).
QString fromWindows1252(const QByteArray& bytes);

// "U+0141" for reports.
QString codePointName(char32_t cp);

} // namespace sendora
