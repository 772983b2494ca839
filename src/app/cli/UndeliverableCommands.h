#pragma once
// sendora-cli undeliverable: the Undeliverable Manager without windows.

#include <QStringList>
#include <QTextStream>

namespace sendora {
struct AppContext;
}

namespace sendora::cli {

inline constexpr const char* kUndeliverableUsage =
    "  undeliverable NAME [--remove "
    "all|dns-timeouts|mailer-timeouts|mx-errors|mailer-errors|socket-errors]...\n"
    "                            print the list's direct-send failures by cause (label TAB count),\n"
    "                            then delete the rows of each cause named by --remove.\n"
    "                            Exit: 0 done, 2 bad input or no such list, 3 the list could not be\n"
    "                            read or written\n";

int runUndeliverable(AppContext& ctx, const QStringList& args, QTextStream& out, QTextStream& err);

} // namespace sendora::cli
