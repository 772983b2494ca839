#pragma once
// What the benchmarks share: peak memory and timing the sqlite3 shell as the reference.

#include <QElapsedTimer>
#include <QProcess>
#include <QString>
#include <cstdio>
#include <sys/resource.h>

namespace bench {

// Peak resident set in KiB of this process (RUSAGE_SELF) or its waited-for children.
inline long peakRssKb(int who = RUSAGE_SELF) {
    rusage u{};
    getrusage(who, &u);
    return u.ru_maxrss;
}

// Runs a script in the sqlite3 shell on database, its output discarded; the elapsed
// milliseconds, or -1 when it failed.
inline qint64 sqliteShell(const QString& database, const QString& script) {
    QElapsedTimer t;
    t.start();
    QProcess p;
    p.setStandardOutputFile(QProcess::nullDevice());
    p.start(QStringLiteral("sqlite3"), {QStringLiteral("-bail"), database});
    p.write(script.toUtf8());
    p.closeWriteChannel();
    if (!p.waitForFinished(-1) || p.exitCode() != 0) {
        std::fprintf(stderr, "sqlite3 failed: %s\n", p.readAllStandardError().constData());
        return -1;
    }
    return t.elapsed();
}

} // namespace bench
