#pragma once
// sendora-cli import goldmine / import act: the contact manager imports without the wizard.

#include <QStringList>
#include <QTextStream>

namespace sendora {
struct AppContext;
}

namespace sendora::cli {

extern const char* const kContactImportUsage;

// True for the import subcommands handled here ("goldmine", "act").
bool isContactImport(const QStringList& args);

// import goldmine FOLDER [--save NAME] | import act FILE [--save NAME] [--user NAME --password TEXT]
// Prints the rows in the new list, the "(No Addresses)" companion when there is one, and the
// list's file. Returns 0, 1 when the import failed, 2 for bad arguments.
int runContactImport(AppContext& ctx, const QStringList& args, QTextStream& out, QTextStream& err);

} // namespace sendora::cli
