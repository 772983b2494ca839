#pragma once
// sendora-cli run-scheduled and scheduler: the scheduled mailings of one application folder
// and the timer that runs them.

#include <QStringList>
#include <QTextStream>

namespace sendora {
struct AppContext;
}

namespace sendora::cli {

inline constexpr const char* kScheduleUsage =
    "  run-scheduled [--now \"YYYY-MM-DD HH:MM\"]\n"
    "                            send every active, unsent mailing whose scheduled time has come\n"
    "                            (at or before --now, default the current time), one after another,\n"
    "                            as send does; a mailing that completes is marked sent, one that\n"
    "                            fails stays due for the next run. One run per folder at a time.\n"
    "                            Exit: 0 done (or another run is busy), 1 a mailing failed,\n"
    "                            2 bad input, 3 the system database could not be read\n"
    "  scheduler install|remove|status\n"
    "                            the systemd user timer (sendora-scheduler.timer) that runs\n"
    "                            run-scheduled every minute for this folder; without systemctl\n"
    "                            --user, install prints the crontab line to add instead\n";

int runScheduled(AppContext& ctx, const QStringList& args, QTextStream& err);
int runSchedulerCommand(AppContext& ctx, const QStringList& args, QTextStream& out, QTextStream& err);

} // namespace sendora::cli
