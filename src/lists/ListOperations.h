#pragma once
// Operations that build a new address list file from one or two list files: merge, clean,
// find duplicates, select records and export to text. Inputs are never changed; every
// result is a new file in the temporary folder, or a marker text beginning with "<":
// "<Cancel", "<No Records" or "<Error:" (with a reason for some). A cancelled or failed
// operation leaves no file behind.

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <utility>

namespace sendora {

struct AppContext;

// Called between the steps of an operation and now and then inside a long statement, with
// the share done so far (0-100). Returning false cancels: the operation ends with "<Cancel".
// A window passes one that lets pending events through and reads its Cancel button.
using ListProgress = std::function<bool(int percent)>;

inline bool isListResultMarker(const QString& result) {
    return result.startsWith(QLatin1Char('<'));
}

// The result's columns: the first list's columns in order, then the second list's columns
// whose names are new (without case); names containing "MSys" are left out.
QStringList resultColumns(const QStringList& first, const QStringList& second);
// "[a] TEXT,[b] TEXT": the column set as it goes into the create statements.
QString columnSetSql(const QStringList& columns);

// All addresses of both lists, each once; for an address in both, the first list's row.
QString gMergeLists(AppContext& ctx, const QString& path1, const QString& path2,
                    const ListProgress& progress = {});
// The addresses of path not present in removePath.
QString gCleanList(AppContext& ctx, const QString& path, const QString& removePath,
                   const ListProgress& progress = {});
// The rows of path1 whose address is also in path2.
QString gFindDuplicates(AppContext& ctx, const QString& path1, const QString& path2,
                        const ListProgress& progress = {});
// The records matching criteria (a clause beginning with WHERE, as the selection builder
// makes it). The clause runs read-only and as one statement; one that would write or
// chain statements is refused. An empty criteria gives "<Cancel".
QString gFilterList(AppContext& ctx, const QString& path, const QString& criteria,
                    const ListProgress& progress = {});
// Writes the list to a comma-separated text file; the result is the file's path. An
// existing file is replaced only when the user says so.
QString gExportList(AppContext& ctx, const QString& path, const QString& exportFile,
                    const ListProgress& progress = {});

// The message a selection that was refused or failed shows.
QString selectionErrorMessage();

// How the main window's commands pick their lists and report results, without windows.
enum class ListOperation { Merge, Clean, FindDuplicates, Select };

// The list choice dialog's caption and its two labels for an operation.
struct ListChoiceText {
    QString caption;
    QString firstLabel;
    QString secondLabel;
};
ListChoiceText listChoiceText(ListOperation operation);

// Shows the dialog; the two chosen files in label order, nothing on Cancel.
using ListChooser = std::function<std::optional<std::pair<QString, QString>>(const ListChoiceText&)>;

// The two files a merge, clean or find duplicates runs on, from the open list windows' files
// (the active window first): fewer than two open shows the operation's message, exactly two
// are taken without asking (clean cleans the active list of the other's addresses), more ask
// the chooser. For clean the pair is (list to clean, list of addresses to remove).
std::optional<std::pair<QString, QString>> chooseTwoLists(AppContext& ctx, ListOperation operation,
                                                          const QStringList& openFiles,
                                                          const ListChooser& choose);
QString runTwoListOperation(AppContext& ctx, ListOperation operation, const QString& first,
                            const QString& second, const ListProgress& progress = {});

// After an operation: shows what the main window shows for a marker result and tells whether
// the result is a list to open in a new window.
bool reportListResult(AppContext& ctx, ListOperation operation, const QString& result);
// "Merge Lists Summary", "Clean List Summary", ...
QString summaryTitle(ListOperation operation);

} // namespace sendora
