#pragma once
// sendora-cli compose and send: the relay engine without windows.

#include <QObject>
#include <QStringList>
#include <QTextStream>
#include <csignal>

class QSocketNotifier;

namespace sendora {
struct AppContext;
}

namespace sendora::cli {

// Settings and system database of an application folder that start-up has already made.
// False (with a message on err) when there is no system database yet.
bool openExistingFolder(AppContext& ctx, QTextStream& err);

// compose MAILING_ID --to ADDRESS: the exact message data the relay session would send.
int runCompose(AppContext& ctx, const QStringList& args, QTextStream& err);

// Exit codes of send.
constexpr int kExitCompleted = 0;
constexpr int kExitAborted = 1; // stopped, refused or aborted (server, sender, time-outs, list in use)
constexpr int kExitUsage = 2;   // bad arguments, no such mailing, no application folder
constexpr int kExitStorage = 3; // a file the send writes could not be written or read
// and 128 + the signal number when SIGTERM or SIGINT stopped it.

// send MAILING_ID [--timeout-retries N]: N (default 3) "continue" answers to a silent
// server in a row, then the mailing stops.
int runSend(AppContext& ctx, const QStringList& args, QTextStream& err);

// SIGTERM and SIGINT turned into an event-loop signal through a socket pair, for as long
// as the object lives; the previous handlers come back after.
class StopSignals : public QObject {
    Q_OBJECT
public:
    StopSignals();
    ~StopSignals() override;
    bool isOpen() const { return m_notifier != nullptr; }

Q_SIGNALS:
    void received(int sig);

private:
    static void onSignal(int sig);
    static constexpr int kSignals[2] = {SIGTERM, SIGINT};
    static inline int s_fds[2] = {-1, -1};
    struct sigaction m_previous[2] = {};
    QSocketNotifier* m_notifier = nullptr;
};

} // namespace sendora::cli
