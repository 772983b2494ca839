#pragma once
// Find and replace in one column of a list file, without the dialog: the text the list
// window searches for, the refusal of a typed double quote, and Replace All, which counts
// the cells to change, asks, and changes exactly those cells.

#include <QString>

namespace sendora {

class UserInterface;

inline const QString kFindQuoteRefused =
    QStringLiteral("Search String or Replace String cannot contain the   \"   character.");
inline const QString kFindExactNotFound =
    QStringLiteral("Search String not found\rPerhaps turn off Matching the exact String would help");
inline const QString kFindNotFound = QStringLiteral("Text not found");
inline const QString kReplaceNotFound = QStringLiteral("Text not found.");
inline const QString kReplaceAddressExists =
    QStringLiteral("The value you have chosen to insert into the\r\nEmail Address field already exists.");
QString replaceQuestion(qint64 count);

// True when the typed text may stand in the search or replacement box.
bool acceptableFindText(const QString& text);

// What the list window's findString gets for a typed search text. Without "Match exact
// string" a contains-pattern; with it the text itself. Either way the typed characters match
// only themselves: * ? [ # inside the text are escaped for the pattern the list window runs.
QString findStringText(const QString& typed, bool exact);

// The two statements of Replace All for a column and search text (empty search: also nulls).
QString replaceCountSql(const QString& column, const QString& search);
QString replaceUpdateSql(const QString& column, const QString& search, const QString& replacement);

struct ReplaceResult {
    enum class Outcome { Nothing, NotFound, Declined, AddressExists, Replaced, Failed };
    Outcome outcome = Outcome::Nothing;
    qint64 count = 0; // cells counted (and, when Replaced, changed)
    QString error;    // Failed: the reason
};

// Whole cells equal to the search text (the dialog's Replace All), or every occurrence of
// the search text inside the cells that contain it. Letter case is ignored either way.
enum class ReplaceMatch { WholeCell, Contains };

// Replace All on the AddressList table of a list file. Asks through ui before changing
// anything; the change runs in one transaction and is undone unless it changed exactly the
// cells counted. An empty search text always means the empty cells.
ReplaceResult replaceAll(UserInterface& ui, const QString& listFile, const QString& column,
                         const QString& search, const QString& replacement,
                         ReplaceMatch match = ReplaceMatch::WholeCell);

} // namespace sendora
