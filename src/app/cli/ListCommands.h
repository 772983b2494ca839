#pragma once
// sendora-cli list: show a catalogued list, run the list operations on catalogued lists,
// add and remove columns. An operation prints the new list file's path and exits 0, or
// prints its message on stderr and exits 1; bad arguments exit 2.

#include <QStringList>
#include <QTextStream>

namespace sendora {
struct AppContext;
}

namespace sendora::cli {

int runList(AppContext& ctx, const QStringList& args, QTextStream& out, QTextStream& err);

// The usage lines of the list command, for the program's help text.
extern const char* const kListUsage;

} // namespace sendora::cli
