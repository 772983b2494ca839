#pragma once
// What the benchmarks share: peak memory, generated input, and timing the sqlite3 shell and
// grep as the references.

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
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

// A small xorshift generator: the same seed gives the same input on every run.
struct Rng {
    quint64 s;
    quint32 next(quint32 bound) {
        s ^= s << 13;
        s ^= s >> 7;
        s ^= s << 17;
        return quint32((s >> 11) % bound);
    }
};

inline const char* const kDomains[] = {"example.com", "mail.example.org", "corp.example.net",
                                       "uni.example.ac.uk"};

// Writes at least bytes to path, in chunks of 4 MB that fill(chunk) appends to; false when the
// file cannot be written.
template <typename Fill> bool writeGenerated(const QString& path, qint64 bytes, Fill fill) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly)) return false;
    QByteArray chunk;
    qint64 written = 0;
    while (written < bytes) {
        chunk.clear();
        while (chunk.size() < (4 << 20))
            fill(chunk);
        if (f.write(chunk) != chunk.size()) return false;
        written += chunk.size();
    }
    return true;
}

inline double mbps(qint64 bytes, qint64 ms) {
    return ms > 0 ? double(bytes) / (1024.0 * 1024.0) / (double(ms) / 1000.0) : 0;
}

// Runs grep -oE with an address pattern over input into output (LC_ALL=C); the elapsed
// milliseconds. grep writes to a file: with its output on /dev/null it would stop at the first
// match.
inline qint64 grepAddresses(const QString& input, const QString& output) {
    QElapsedTimer t;
    QProcess grep;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("LC_ALL", "C");
    grep.setProcessEnvironment(env);
    grep.setStandardOutputFile(output);
    t.start();
    grep.start("grep", {"-oE", "[A-Za-z0-9._%+-]+@[A-Za-z0-9.-]+\\.[A-Za-z]{2,}", input});
    grep.waitForFinished(-1);
    return t.elapsed();
}

} // namespace bench
