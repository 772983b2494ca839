// Throughput and memory of scanning a mailbox against grep over the same file.
//
//   bench_scan [--mb N] [--people N] [--keep] [--input MBOX]
//
// Writes an N MB (default 1024) mbox to a temporary folder: messages with header lines of one
// and several addresses, bodies, quoted replies and base64 attachments, between N people
// (default 20000; a large number makes nearly every address new, which measures the list's
// inserts more than the scan). Then scans it as a
// mailbox in mode "All" with best-guess names into a temporary list, as the wizard's Build List
// does, runs grep -oE with an address pattern over it, and prints both rates, the ratio and the
// peak resident memory of the scan.

#include "BenchSupport.h"
#include "core/AppContext.h"
#include "core/TerminalUserInterface.h"
#include "import/AddrManager.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>

using namespace sendora;

namespace {

using bench::kDomains;
using bench::mbps;
using bench::Rng;

constexpr quint64 kSeed = 0x2545F4914F6CDD1Dull;

const char* const kFirst[] = {"John",   "Mary", "Ann",   "Robert", "Li",
                              "Fatima", "Olga", "Peter", "Sue",    "Karl"};
const char* const kLast[] = {"Smith", "Lee", "Van Dyke", "Brien", "Mueller", "Nguyen", "Garcia", "Jones"};
const char* const kWords[] = {"the",    "meeting", "is",    "moved",   "to",    "Tuesday",
                              "please", "reply",   "about", "invoice", "order", "attached",
                              "thanks", "regards", "see",   "below",   "and",   "for",
                              "report", "numbers", "draft", "budget",  "next",  "week"};

struct Person {
    QByteArray display, address;
};

// One of `g_people` correspondents: a mailbox meets the same people again and again.
quint32 g_people = 20000;

Person person(Rng& r) {
    const quint32 p = r.next(g_people);
    const QByteArray first = kFirst[p % std::size(kFirst)];
    const QByteArray last = kLast[(p / std::size(kFirst)) % std::size(kLast)];
    QByteArray user = (first + (p % 3 ? "." : "_") + last).toLower().replace(' ', "");
    user += QByteArray::number(p / 7);
    return {first + ' ' + last, user + '@' + kDomains[p % std::size(kDomains)]};
}

void words(QByteArray& out, Rng& r, int n) {
    for (int i = 0; i < n; ++i) {
        out += kWords[r.next(std::size(kWords))];
        out += ' ';
    }
}

void message(QByteArray& out, Rng& r, int serial) {
    const Person from = person(r);
    out += "From " + from.address + " Mon Jan  6 10:00:00 2025\n";
    out += "Return-Path: <" + from.address + ">\n";
    out += "From: " + from.display + " <" + from.address + ">\n";
    out += "To: ";
    for (int n = 1 + int(r.next(4)), i = 0; i < n; ++i) {
        const Person to = person(r);
        out += (i ? ",\n    \"" : "\"") + to.display + "\" <" + to.address + '>';
    }
    out += '\n';
    if (r.next(3) == 0) out += "Cc: " + person(r).address + '\n';
    out += "Subject: ";
    words(out, r, 5);
    out += "\nDate: Mon, 6 Jan 2025 10:00:00 +0000\nMessage-ID: <" + QByteArray::number(serial) +
           ".mail@host.example.com>\nMIME-Version: 1.0\n";
    const bool attachment = r.next(4) == 0;
    out += attachment ? "Content-Type: multipart/mixed; boundary=\"b1\"\n\n--b1\n"
                        "Content-Type: text/plain\n\n"
                      : "Content-Type: text/plain\n\n";
    for (int n = 5 + int(r.next(20)); n > 0; --n) {
        words(out, r, 6 + int(r.next(8)));
        out += '\n';
    }
    if (r.next(2)) {
        const Person quoted = person(r);
        out += "\nOn Sunday, " + quoted.display + " <" + quoted.address + "> wrote:\n";
        for (int n = 3 + int(r.next(10)); n > 0; --n) {
            out += "> ";
            words(out, r, 8);
            out += '\n';
        }
    }
    if (attachment) {
        out += "\n--b1\nContent-Type: application/octet-stream; name=\"data.bin\"\n"
               "Content-Transfer-Encoding: base64\n\n";
        static const char kB64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
        for (int n = 40 + int(r.next(400)); n > 0; --n) {
            for (int i = 0; i < 76; ++i)
                out += kB64[r.next(64)];
            out += '\n';
        }
        out += "--b1--\n";
    }
    out += '\n';
}

bool generate(const QString& path, qint64 bytes) {
    Rng r{kSeed};
    int serial = 0;
    return bench::writeGenerated(path, bytes,
                                 [&r, &serial](QByteArray& chunk) { message(chunk, r, ++serial); });
}

// CPU seconds this process (both its threads) used so far.
double cpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    qint64 mb = 1024;
    bool keep = false;
    QString given;
    const QStringList args = app.arguments();
    for (qsizetype i = 1; i < args.size(); ++i) {
        if (args[i] == u"--mb" && i + 1 < args.size())
            mb = args[++i].toLongLong();
        else if (args[i] == u"--people" && i + 1 < args.size())
            g_people = std::max(1u, args[++i].toUInt());
        else if (args[i] == u"--keep")
            keep = true;
        else if (args[i] == u"--input" && i + 1 < args.size())
            given = args[++i];
    }
    QTemporaryDir dir;
    dir.setAutoRemove(!keep);
    const QString input = given.isEmpty() ? dir.filePath("mail.mbox") : given;
    if (given.isEmpty()) out << "generating " << mb << " MB in " << dir.path() << Qt::endl;
    if (given.isEmpty() && !generate(input, mb << 20)) {
        err << "cannot write " << input << Qt::endl;
        return 1;
    }
    const qint64 size = QFileInfo(input).size();
    const long rssBefore = bench::peakRssKb();

    TerminalUserInterface ui(err, true);
    AppContext ctx(dir.filePath("app"), &ui, nullptr);
    ctx.paths.createMissingFolders();
    ctx.settingsFile.setPath(ctx.paths.settingsFile());
    AddrManager manager(ctx);
    manager.GetTypeAndOptions(input, QStringLiteral("Mailbox"));
    QEventLoop loop;
    QObject::connect(&manager, &AddrManager::buildFinished, &loop, &QEventLoop::quit);
    QElapsedTimer t;
    const double cpuBefore = cpuSeconds();
    t.start();
    manager.BuildList(false);
    if (manager.building()) loop.exec();
    const qint64 scanMs = t.elapsed();
    const double rate = mbps(size, scanMs);
    const long rss = bench::peakRssKb();
    out << "scan (mailbox, All, names): " << QString::number(rate, 'f', 1) << " MB/s, "
        << manager.linesProcessed() << " lines, " << manager.addressesFound() << " addresses, "
        << manager.rowsStored() << " rows stored" << Qt::endl;
    // On a busy machine the wall clock says little; the CPU time says what the scan costs.
    out << "scan CPU time: " << QString::number(cpuSeconds() - cpuBefore, 'f', 2) << " s for "
        << QString::number(double(size) / (1 << 20), 'f', 0) << " MB" << Qt::endl;

    const double grepRate = mbps(size, bench::grepAddresses(input, dir.filePath("grep.out")));
    out << "grep -oE (LC_ALL=C): " << QString::number(grepRate, 'f', 1) << " MB/s" << Qt::endl;
    out << "ratio scan/grep: " << QString::number(grepRate > 0 ? rate / grepRate : 0, 'f', 2) << Qt::endl;
    out << "peak RSS: " << rss / 1024 << " MB (" << rssBefore / 1024 << " MB before the scan)" << Qt::endl;
    return 0;
}
