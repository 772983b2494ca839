// A direct-send run in a process of its own, so a test can kill it mid-run.
// Arguments: list file, DNS server, number of ids, mailers, "Sent" flag.

#include "DirectSendSupport.h"

#include <QCoreApplication>

using namespace sendora;

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 6) return 2;
    test::PlainComposer composer;
    composer.perRecipient = true;
    // Written through a connection of the caller's, as the mailing manager runs it.
    const auto listDb = jet::Database::open(args[1]);
    direct::DirectSendJob job;
    job.listPath = args[1];
    job.listDb = listDb.get();
    job.dns.servers = {args[2]};
    job.shares = direct::divideIds(args[3].toLongLong(), args[4].toInt());
    job.flagSends = true;
    job.sentFlag = args[5];
    job.sender = QStringLiteral("sender@example.test");
    job.mailerTimeout = 5;
    direct::DirectSend engine(job, composer);
    QObject::connect(&engine, &direct::DirectSend::allComplete, &app,
                     [&] { app.exit(engine.failedCount() ? 1 : 0); });
    if (!engine.start()) return 3;
    return app.exec();
}
