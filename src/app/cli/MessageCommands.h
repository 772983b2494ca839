#pragma once
// sendora-cli message: store a message the way the message editor does, and show one.

#include <QStringList>
#include <QTextStream>

namespace sendora {
struct AppContext;
}

namespace sendora::cli {

// message save NAME [...] | message show NAME. Exit 0 done, 1 a file could not be read or
// written, 2 bad arguments, a refused name or value, or no such message.
int runMessage(AppContext& ctx, const QStringList& args, QTextStream& out, QTextStream& err);

extern const char* const kMessageUsage;

} // namespace sendora::cli
