#pragma once
// sendora-cli compose and send: the relay engine without windows.

#include <QStringList>
#include <QTextStream>

namespace sendora {
struct AppContext;
}

namespace sendora::cli {

// Settings and system database of an application folder that start-up has already made.
// False (with a message on err) when there is no system database yet.
bool openExistingFolder(AppContext& ctx, QTextStream& err);

// compose MAILING_ID --to ADDRESS: the exact message data the relay session would send.
int runCompose(AppContext& ctx, const QStringList& args, QTextStream& err);
// send MAILING_ID: 0 when the mailing completed, 1 when it was aborted, 2 on bad input.
int runSend(AppContext& ctx, const QStringList& args, QTextStream& err);

} // namespace sendora::cli
