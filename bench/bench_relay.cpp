// Relay throughput: personalised messages (merge and greeting, about 5 KB) through the
// relay session into smtp-sink, lockstep and pipelined, against Postfix's smtp-source
// sending the same count and size over one reused connection into the same sink.
//
//   bench_relay [--count N] [--size BYTES] [--list-rows R] [--no-flags]
//
// With --list-rows larger than --count the list holds R members and each send takes the
// first N of them as one block: peak memory should not depend on R.

#include "BenchSupport.h"
#include "components/jet/Jet.h"
#include "core/AppContext.h"
#include "core/Startup.h"
#include "core/TerminalUserInterface.h"
#include "mailing/relay/RelaySend.h"
#include "mailing/relay/SMTPSocket.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QHostAddress>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>
#include <QTimer>
#include <cstdio>
#include <sys/resource.h>
#include <unistd.h>

namespace {

quint16 freePort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

bool waitListening(quint16 port) {
    for (int i = 0; i < 100; ++i) {
        QTcpSocket s;
        s.connectToHost(QHostAddress::LocalHost, port);
        if (s.waitForConnected(50)) return true;
        QThread::msleep(20);
    }
    return false;
}

// Fills the folder with a list of count members and a personalised message of about size bytes.
void prepare(sendora::AppContext& ctx, int count, int listRows, int size, bool flags) {
    auto list = jet::Database::create(ctx.paths.listFile("Bench.mdb"));
    list->execute(
        "CREATE TABLE AddressList(EAddress TEXT(255) NOT NULL CONSTRAINT EAddress PRIMARY KEY, FirstName "
        "TEXT(255), LastName TEXT(255), Title TEXT(255), Sent TEXT(255), [Date] TEXT(255), Keyword1 "
        "TEXT(255), Keyword2 TEXT(255), Company TEXT(255))",
        true);
    {
        auto insert =
            list->prepareStatement(QStringLiteral("INSERT INTO AddressList (EAddress, FirstName, LastName, "
                                                  "Company) VALUES(%1,%2,%3,%4)")
                                       .arg(jet::param(1), jet::param(2), jet::param(3), jet::param(4)));
        list->beginTransaction();
        for (int i = 0; i < std::max(count, listRows); ++i) {
            const QString n = QString::number(i).rightJustified(7, u'0');
            insert->bind(1, QStringLiteral("member%1@bench.test").arg(n));
            insert->bind(2, QStringLiteral("First%1").arg(i));
            insert->bind(3, QStringLiteral("Last%1").arg(i));
            insert->bind(4, QStringLiteral("Company %1").arg(i));
            insert->execute();
        }
        list->commit();
    }
    list->close();

    QString body = QStringLiteral("Hello [[FirstName]] of [[Company]],\r\n\r\n");
    const QString filler = QStringLiteral("This paragraph stands in for the news of the month. ");
    while (body.size() < size - 200)
        body += filler;
    body += QStringLiteral("\r\n\r\nRegards,\r\nThe bench");
    auto db = jet::Database::open(ctx.paths.systemDatabase());
    db->execute(
        "INSERT INTO List([listname],[listpath],[listdescription]) values(\"Bench\",\"Bench.mdb\",\"\")");
    db->execute(QStringLiteral(
                    "INSERT INTO Message (MessageName, Subject, SendType, MessageText, UseGreetingManager, "
                    "Salutation, Punctuation, UseFName, UseLName, GreetingType, AddressType) "
                    "VALUES(\"Bench\",\"Monthly news\",0,%1,-1,\"Dear\",\",\",-1,-1,1,1)")
                    .arg(jet::quote(body)));
    db->execute(
        QStringLiteral("UPDATE Profile SET SmtpServer = \"127.0.0.1\", [From] = \"bench@sender.test\", "
                       "ReplyTo = \"\", bFlagSends = %2, bSendInBlocks = -1, bIfNotYetFlagged = 0, "
                       "SendBlockSize = %1")
            .arg(count)
            .arg(flags ? -1 : 0));
    db->execute("INSERT INTO Sendora VALUES(\"Bench\",\"\")");
    db->execute(
        "INSERT INTO MailEvent (SendoraName, ListName, MessageName, Profile) VALUES(\"Bench\",\"Bench\","
        "\"Bench\",\"Default Delivery Options\")");
}

double runRelay(sendora::AppContext& ctx, bool pipelining, int count) {
    auto row = sendora::loadMailingRow(ctx, 1);
    sendora::RelaySend mailing(ctx, *row);
    QEventLoop loop;
    bool completed = false;
    QObject::connect(&mailing, &sendora::RelaySend::finished, &loop, [&](bool c) {
        completed = c;
        loop.quit();
    });
    QElapsedTimer clock;
    clock.start();
    if (!mailing.start()) return 0;
    mailing.session()->socket().setPipeliningAllowed(pipelining);
    loop.exec();
    const double seconds = clock.nsecsElapsed() / 1e9;
    if (!completed || mailing.session()->passed() != count) {
        std::fprintf(stderr, "relay run did not complete: %d of %d passed\n", mailing.session()->passed(),
                     count);
        return 0;
    }
    return count / seconds;
}

double runSmtpSource(quint16 port, int count, int size) {
    QProcess source;
    QElapsedTimer clock;
    clock.start();
    source.start("/usr/sbin/smtp-source",
                 {"-s", "1", "-d", "-m", QString::number(count), "-l", QString::number(size), "-f",
                  "bench@sender.test", "-t", "member@bench.test", QStringLiteral("127.0.0.1:%1").arg(port)});
    if (!source.waitForFinished(600000) || source.exitCode() != 0) {
        std::fprintf(stderr, "smtp-source failed: %s\n", source.readAllStandardError().constData());
        return 0;
    }
    return count / (clock.nsecsElapsed() / 1e9);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    int count = 20000;
    int size = 5000;
    int listRows = 0;
    const bool flags = !app.arguments().contains("--no-flags");
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); ++i) {
        if (args[i] == "--count") count = args[i + 1].toInt();
        if (args[i] == "--size") size = args[i + 1].toInt();
        if (args[i] == "--list-rows") listRows = args[i + 1].toInt();
    }

    QTemporaryDir dir;
    QTextStream err(stderr);
    sendora::TerminalUserInterface ui(err, false);
    sendora::AppContext ctx(dir.path(), &ui, nullptr);
    if (!sendora::Startup(ctx).run()) return 1;
    prepare(ctx, count, listRows, size, flags);

    const quint16 port = freePort();
    QProcess sink;
    QStringList sinkArgs;
    if (::geteuid() == 0)
        sinkArgs << "-u"
                 << "root";
    sinkArgs << QStringLiteral("127.0.0.1:%1").arg(port) << "1000";
    sink.start("/usr/sbin/smtp-sink", sinkArgs);
    if (!sink.waitForStarted() || !waitListening(port)) {
        std::fprintf(stderr, "smtp-sink did not start\n");
        return 1;
    }
    ctx.settings.smtpPort = port;

    const long rssBefore = bench::peakRssKb();
    const double lockstep = runRelay(ctx, false, count);
    const double pipelined = runRelay(ctx, true, count);
    const double reference = runSmtpSource(port, count, size);
    sink.terminate();
    sink.waitForFinished();

    std::printf("messages: %d of about %d bytes each, list of %d members, %s\n", count, size,
                std::max(count, listRows), flags ? "each accepted address flagged" : "no flags written");
    std::printf("smtp-source (one connection):  %8.0f msg/s\n", reference);
    std::printf("relay session, lockstep:       %8.0f msg/s  ratio %.2f\n", lockstep,
                reference > 0 ? lockstep / reference : 0.0);
    std::printf("relay session, pipelined:      %8.0f msg/s  ratio %.2f\n", pipelined,
                reference > 0 ? pipelined / reference : 0.0);
    std::printf("peak RSS: %ld KiB (%ld KiB before sending)\n", bench::peakRssKb(), rssBefore);
    return lockstep > 0 && pipelined > 0 && reference > 0 ? 0 : 1;
}
