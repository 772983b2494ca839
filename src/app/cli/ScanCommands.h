#pragma once
// sendora-cli scan: the mailbox and text scanning wizard's build without the wizard.

#include <QStringList>
#include <QTextStream>

namespace sendora {
struct AppContext;
}

namespace sendora::cli {

extern const char* const kScanUsage;

// scan [--type mailbox|text|binary] [--mode all|lines|msg] [--from] [--to] [--cc] [--bcc]
//      [--text TEXT] [--names|--no-names] FILE... [--save NAME]
// Prints the number of unique addresses stored and the temporary list's file, or the saved
// list's file with --save. Returns 0, 1 when nothing was stored or the save failed, 2 for bad
// arguments.
int runScan(AppContext& ctx, const QStringList& args, QTextStream& out, QTextStream& err);

} // namespace sendora::cli
