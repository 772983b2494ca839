#pragma once
// sendora-cli pop: POP accounts and mailbox runs, as the POP wizard does them. A run prints
// the messages in the mailbox, the addresses found and each list updated; exit 1 when the
// mailbox could not be read or a list could not be updated (the messages then stay on the
// server), 2 for bad arguments.

#include <QStringList>
#include <QTextStream>

namespace sendora {
struct AppContext;
}

namespace sendora::cli {

int runPop(AppContext& ctx, const QStringList& args, QTextStream& in, QTextStream& out, QTextStream& err);

extern const char* const kPopUsage;

} // namespace sendora::cli
