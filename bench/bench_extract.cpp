// Throughput of address extraction against grep over the same generated text.
//
//   bench_extract [--mb N] [--cli PATH]
//
// Writes N MB (default 200) of text with addresses and names among noise to a temporary folder,
// runs the extractor over it (in this process, and through sendora-cli when --cli names it), then
// grep -oE with an address pattern, and prints each throughput and the ratio to grep's.

#include "BenchSupport.h"
#include "import/AddressExtractor.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>
#include <cstdio>

using namespace sendora;

namespace {

using bench::kDomains;
using bench::mbps;
using bench::Rng;

constexpr quint64 kSeed = 0x9E3779B97F4A7C15ull;

const char* const kFirst[] = {"John",        "Mary",   "Ann",  "Robert", "Li",
                              "Jos\xC3\xA9", "Fatima", "Olga", "Peter",  "Sue"};
const char* const kLast[] = {"Smith",         "Lee",    "Van Dyke", "O'Brien",
                             "M\xC3\xBCller", "Nguyen", "Garcia",   "Jones"};
const char* const kWords[] = {"the",     "meeting", "is",       "moved",   "to",
                              "Tuesday", "please",  "reply",    "invoice", "2024-05-01",
                              "(draft)", "re:",     "attached", "thanks",  "regards",
                              "--",      "a",       "of",       "and",     "for",
                              "order",   "#4411",   "see",      "below",   "http://www.example.com/x?y=1"};

QByteArray lower(const char* s) {
    return QByteArray(s).toLower().replace(' ', "").replace('\'', "");
}

void addLine(QByteArray& out, Rng& r) {
    const char* first = kFirst[r.next(std::size(kFirst))];
    const char* last = kLast[r.next(std::size(kLast))];
    const char* domain = kDomains[r.next(std::size(kDomains))];
    const QByteArray user = lower(first) + (r.next(2) ? "." : "_") + lower(last);
    switch (r.next(10)) {
    case 0:
        out += "From: " + QByteArray(first) + ' ' + last + " <" + user + '@' + domain + ">\n";
        return;
    case 1:
        out += "To: \"" + QByteArray(last) + ", " + first + "\" <" + user + '@' + domain + ">\n";
        return;
    case 2:
        out += "please write to " + user + '@' + domain + " (" + first + ' ' + last + ") today\n";
        return;
    default:
        break;
    }
    // Noise: most lines of mail and documents hold no address.
    for (int n = 4 + int(r.next(12)); n > 0; --n) {
        out += kWords[r.next(std::size(kWords))];
        out += ' ';
    }
    out += '\n';
}

bool generate(const QString& path, qint64 bytes) {
    Rng r{kSeed};
    return bench::writeGenerated(path, bytes, [&r](QByteArray& chunk) { addLine(chunk, r); });
}

qint64 countLines(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return -1;
    qint64 n = 0;
    while (!f.atEnd())
        n += f.read(1 << 20).count('\n');
    return n;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    qint64 mb = 200;
    QString cli;
    const QStringList args = app.arguments();
    for (qsizetype i = 1; i < args.size(); ++i) {
        if (args[i] == u"--mb" && i + 1 < args.size())
            mb = args[++i].toLongLong();
        else if (args[i] == u"--cli" && i + 1 < args.size())
            cli = args[++i];
    }
    QTemporaryDir dir;
    const QString input = dir.filePath("input.txt");
    out << "generating " << mb << " MB in " << dir.path() << Qt::endl;
    if (!generate(input, mb << 20)) {
        err << "cannot write " << input << Qt::endl;
        return 1;
    }
    const qint64 size = QFileInfo(input).size();
    QElapsedTimer t;

    double rate = 0;
    {
        QFile in(input), result(dir.filePath("extract.out"));
        in.open(QIODevice::ReadOnly);
        result.open(QIODevice::WriteOnly);
        AddressExtractor extractor;
        t.start();
        extractor.run(in, result, err);
        result.flush();
        const qint64 ms = t.elapsed();
        rate = mbps(size, ms);
        out << "extract (in process): " << QString::number(mbps(size, ms), 'f', 1) << " MB/s, "
            << extractor.addressesFound() << " addresses" << Qt::endl;
    }
    double cliRate = 0;
    if (!cli.isEmpty()) {
        QProcess p;
        p.setStandardInputFile(input);
        p.setStandardOutputFile(dir.filePath("cli.out"));
        t.start();
        p.start(cli, {"extract"});
        p.waitForFinished(-1);
        const qint64 ms = t.elapsed();
        cliRate = mbps(size, ms);
        out << "sendora-cli extract: " << QString::number(cliRate, 'f', 1) << " MB/s, "
            << countLines(dir.filePath("cli.out")) << " addresses (exit " << p.exitCode() << ")" << Qt::endl;
    }
    const qint64 grepMs = bench::grepAddresses(input, dir.filePath("grep.out"));
    const double grepRate = mbps(size, grepMs);
    out << "grep -oE (LC_ALL=C): " << QString::number(grepRate, 'f', 1) << " MB/s, "
        << countLines(dir.filePath("grep.out")) << " matches" << Qt::endl;

    out << "ratio extract/grep: " << QString::number(rate / grepRate, 'f', 2);
    if (cliRate > 0) out << " (sendora-cli: " << QString::number(cliRate / grepRate, 'f', 2) << ")";
    out << Qt::endl;
    return 0;
}
