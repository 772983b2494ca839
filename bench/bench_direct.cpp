// Direct-send throughput: recipients over many domains, resolved through a real DNS
// server (dnsmasq) and delivered to Postfix smtp-sink servers on 127.0.0.2 ... at port 25,
// against Postfix's smtp-source sending the same count and size into the same sinks with
// as many sessions in all as there are mailers.
//
//   bench_direct [--count N] [--domains D] [--sinks S] [--mailers M] [--size BYTES] [--no-flags]
//
// Every message is personalised (merge fields) and every accepted address flagged (unless
// --no-flags). Besides the rates it prints the CPU time per message of each side, the
// steadier figure on a busy machine. Needs root (port 25), dnsmasq and Postfix's
// smtp-sink / smtp-source.

#include "BenchSupport.h"
#include "components/directrelay/DirectSend.h"
#include "components/jet/Jet.h"
#include "core/AppContext.h"
#include "core/Startup.h"
#include "core/TerminalUserInterface.h"
#include "mailing/compose/ListMessageSource.h"
#include "mailing/compose/PreparedMailing.h"
#include "support/Dnsmasq.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>
#include <cstdio>
#include <unistd.h>

using namespace sendora;

namespace {

QString sinkAddress(int i) {
    const int first =
        qEnvironmentVariableIsSet("SINKPOOL_FIRST") ? qEnvironmentVariableIntValue("SINKPOOL_FIRST") : 2;
    return QStringLiteral("127.0.0.%1").arg(first + i);
}

bool listening(const QString& address) {
    QTcpSocket s;
    s.connectToHost(address, 25);
    return s.waitForConnected(100);
}

class PreparedComposer : public direct::MessageComposer {
public:
    PreparedComposer(PreparedMailing& mailing, RecipientLookup& rows) : m_mailing(mailing), m_rows(rows) {}
    bool personalised() const override { return m_mailing.personalised(); }
    QByteArray personal(const QString& address) override {
        return m_mailing.composeFor(address, m_rows).data;
    }
    QByteArray shared(const QString& address) override { return m_mailing.composeForGroup(address); }

private:
    PreparedMailing& m_mailing;
    RecipientLookup& m_rows;
};

// CPU seconds (user and system) of this process or of its waited-for children: on a shared
// machine a steadier figure than the rate.
double cpuSeconds(int who) {
    rusage u{};
    getrusage(who, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

QString domainOf(int i, int domains) {
    return QStringLiteral("b%1.bench.test").arg(i % domains, 3, 10, QChar(u'0'));
}

void createList(const QString& path, int count, int domains) {
    auto list = jet::Database::create(path);
    list->execute(
        "CREATE TABLE AddressList(EAddress TEXT(255) NOT NULL CONSTRAINT EAddress PRIMARY KEY, FirstName "
        "TEXT(255), Company TEXT(255), Sent TEXT(255), id LONG, error TEXT(255))",
        true);
    auto insert = list->prepareStatement(
        QStringLiteral(
            "INSERT INTO AddressList (EAddress, FirstName, Company, id, error) VALUES(%1,%2,%3,%4,%5)")
            .arg(jet::param(1), jet::param(2), jet::param(3), jet::param(4), jet::param(5)));
    list->beginTransaction();
    for (int i = 0; i < count; ++i) {
        insert->bind(1, QStringLiteral("member%1@%2").arg(i).arg(domainOf(i, domains)));
        insert->bind(2, QStringLiteral("First%1").arg(i));
        insert->bind(3, QStringLiteral("Company %1").arg(i));
        insert->bind(4, i + 1);
        insert->bind(5, QString());
        insert->execute();
    }
    list->commit();
    list->execute("CREATE INDEX PK_ID ON AddressList (id)");
}

double runEngine(AppContext& ctx, const QString& listPath, const QString& dnsServer, int count, int mailers,
                 int size, qint64* bytes) {
    MailingSetup setup;
    setup.sender = QStringLiteral("bench@sender.test");
    setup.message.subject = QStringLiteral("Monthly news for [[FirstName]]");
    QString body = QStringLiteral("Hello [[FirstName]] of [[Company]],\r\n\r\n");
    while (body.size() < size - 300)
        body += QStringLiteral("This paragraph stands in for the news of the month. ");
    body += QStringLiteral("\r\n\r\nRegards,\r\nThe bench");
    setup.message.messageText = body;
    setup.columns = ListColumns({"EAddress", "FirstName", "Company", "Sent", "id", "error"});
    PreparedMailing mailing(ctx, setup);
    // As the mailing manager does: rows read and outcomes written through one connection.
    auto listDb = jet::Database::open(listPath);
    JetRecipientLookup rows(*listDb);
    PreparedComposer composer(mailing, rows);

    direct::DirectSendJob job;
    job.listPath = listPath;
    job.listDb = listDb.get();
    job.sender = setup.sender;
    job.flagSends = !qApp->arguments().contains(QStringLiteral("--no-flags"));
    job.sentFlag = QStringLiteral("BENCH");
    job.dns.servers = {dnsServer};
    job.mailerTimeout = 30;
    job.shares = direct::divideIds(count, mailers);
    direct::DirectSend engine(job, composer);
    QEventLoop loop;
    QObject::connect(&engine, &direct::DirectSend::allComplete, &loop, &QEventLoop::quit);
    QObject::connect(&engine, &direct::DirectSend::criticalErr, [](int, const QString& text, int) {
        std::fprintf(stderr, "critical: %s\n", qPrintable(text));
    });
    QElapsedTimer clock;
    clock.start();
    if (!engine.start()) {
        std::fprintf(stderr, "direct send did not start: %s\n", qPrintable(engine.failureText()));
        return 0;
    }
    loop.exec();
    const double seconds = clock.nsecsElapsed() / 1e9;
    *bytes = engine.bytesSentTotal();
    if (engine.sentCount() != count) {
        std::fprintf(stderr, "direct send: %lld of %d sent, %lld failed\n", engine.sentCount(), count,
                     engine.failedCount());
        return 0;
    }
    return count / seconds;
}

// smtp-source into every sink at once, mailers sessions in all, the count shared out.
double runSmtpSource(int count, int sinks, int mailers, int size) {
    QList<QProcess*> sources;
    QElapsedTimer clock;
    clock.start();
    int given = 0;
    for (int i = 0; i < sinks; ++i) {
        const int sessions = mailers / sinks + (i < mailers % sinks ? 1 : 0);
        if (sessions == 0) continue;
        const int messages = i + 1 == std::min(sinks, mailers) ? count - given : count * sessions / mailers;
        given += messages;
        auto* p = new QProcess;
        p->start("/usr/sbin/smtp-source",
                 {"-s", QString::number(sessions), "-d", "-m", QString::number(messages), "-l",
                  QString::number(size), "-f", "bench@sender.test", "-t",
                  QStringLiteral("member@b%1.bench.test").arg(i), sinkAddress(i) + ":25"});
        sources << p;
    }
    bool ok = true;
    for (QProcess* p : sources) {
        ok = p->waitForFinished(600000) && p->exitCode() == 0 && ok;
        delete p;
    }
    if (!ok) std::fprintf(stderr, "smtp-source failed\n");
    return ok ? count / (clock.nsecsElapsed() / 1e9) : 0;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    int count = 20000, domains = 200, sinks = 8, mailers = 10, size = 5000;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); ++i) {
        if (args[i] == "--count") count = args[i + 1].toInt();
        if (args[i] == "--domains") domains = args[i + 1].toInt();
        if (args[i] == "--sinks") sinks = std::clamp(args[i + 1].toInt(), 1, 8);
        if (args[i] == "--mailers") mailers = std::max(1, args[i + 1].toInt());
        if (args[i] == "--size") size = args[i + 1].toInt();
    }
    if (::geteuid() != 0 || !test::Dnsmasq::available()) {
        std::fprintf(stderr, "needs root (port 25) and dnsmasq\n");
        return 1;
    }

    QTemporaryDir dir;
    QTextStream err(stderr);
    TerminalUserInterface ui(err, false);
    AppContext ctx(dir.path(), &ui, nullptr);
    if (!Startup(ctx).run()) return 1;
    const QString listPath = dir.filePath(QStringLiteral("direct.mdb"));
    createList(listPath, count, domains);

    test::Dnsmasq dns;
    for (int s = 0; s < sinks; ++s)
        dns.host(QStringLiteral("mx%1.bench.test").arg(s), sinkAddress(s));
    for (int d = 0; d < domains; ++d)
        dns.mx(domainOf(d, domains), QStringLiteral("mx%1.bench.test").arg(d % sinks), 10);
    if (!dns.start()) {
        std::fprintf(stderr, "dnsmasq did not start\n");
        return 1;
    }

    QList<QProcess*> sinkProcesses;
    for (int s = 0; s < sinks; ++s) {
        auto* p = new QProcess;
        p->start("/usr/sbin/smtp-sink", {"-u", "root", sinkAddress(s) + ":25", "1000"});
        sinkProcesses << p;
    }
    for (int s = 0; s < sinks; ++s) {
        QElapsedTimer wait;
        wait.start();
        while (!listening(sinkAddress(s)) && wait.elapsed() < 10000)
            QThread::msleep(50);
        sinkProcesses[s]->waitForFinished(300);
        // A sink that could not bind exits; a server of someone else's may hold the address.
        if (!listening(sinkAddress(s)) || sinkProcesses[s]->state() != QProcess::Running) {
            std::fprintf(stderr, "smtp-sink on %s did not start (address taken?)\n",
                         qPrintable(sinkAddress(s)));
            return 1;
        }
    }

    const long rssBefore = bench::peakRssKb();
    qint64 bytes = 0;
    const double cpuBefore = cpuSeconds(RUSAGE_SELF);
    const double direct = runEngine(ctx, listPath, dns.server(), count, mailers, size, &bytes);
    const double directCpu = cpuSeconds(RUSAGE_SELF) - cpuBefore;
    const long rssEngine = bench::peakRssKb();
    const double childrenBefore = cpuSeconds(RUSAGE_CHILDREN);
    const double reference = runSmtpSource(count, sinks, mailers, size);
    const double referenceCpu = cpuSeconds(RUSAGE_CHILDREN) - childrenBefore;
    for (QProcess* p : sinkProcesses) {
        p->terminate();
        p->waitForFinished();
        delete p;
    }

    std::printf("recipients: %d over %d domains on %d sinks, %d mailers, messages of about %d bytes\n", count,
                domains, sinks, mailers, count ? int(bytes / count) : 0);
    std::printf("smtp-source (%d sessions):     %8.0f msg/s\n", mailers, reference);
    std::printf("direct send (%d mailers):      %8.0f msg/s  ratio %.2f\n", mailers, direct,
                reference > 0 ? direct / reference : 0.0);
    std::printf("CPU per message: direct send %.0f us, smtp-source %.0f us\n",
                count ? directCpu / count * 1e6 : 0.0, count ? referenceCpu / count * 1e6 : 0.0);
    std::printf("peak RSS: %ld KiB (%ld KiB before sending)\n", rssEngine, rssBefore);
    return direct > 0 && reference > 0 ? 0 : 1;
}
