#include "VerifyCommands.h"

#include "core/AppContext.h"
#include "core/ListActions.h"
#include "verify/VerifyRun.h"

#include <QEventLoop>

namespace sendora::cli {

const char* const kVerifyUsage =
    "  verify NAME [--update | --save NAME]\n"
    "                            check every address of the list (syntax, DNS, the mail server's\n"
    "                            answer to RCPT) with the LV* settings and print the count per\n"
    "                            verdict; --update writes each verdict into Keyword2, --save keeps\n"
    "                            the addresses with their verdicts as a new list\n";

int runVerify(AppContext& ctx, const QStringList& args, QTextStream& out, QTextStream& err) {
    QString listName, saveAs;
    bool update = false;
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == QLatin1String("--update")) {
            update = true;
        } else if (a == QLatin1String("--save") && i + 1 < args.size()) {
            saveAs = args[++i];
        } else if (!a.startsWith(QLatin1String("--")) && listName.isEmpty()) {
            listName = a;
        } else {
            err << "sendora-cli: verify: unexpected argument " << a << '\n' << kVerifyUsage;
            return 2;
        }
    }
    if (listName.isEmpty() || (update && !saveAs.isEmpty())) {
        err << kVerifyUsage;
        return 2;
    }

    QObject owner;
    verify::VerifyRun run(ctx, verify::networkChecks(&owner));
    run.showSummary = false;
    QEventLoop loop;
    bool ended = false;
    QObject::connect(&run, &verify::VerifyRun::finished, &loop, [&] {
        ended = true;
        loop.quit();
    });
    const auto started =
        run.start(listName, update ? verify::VerifyMode::UpdateList : verify::VerifyMode::NewList);
    if (started != verify::VerifyRun::Start::Started) {
        if (started == verify::VerifyRun::Start::NoRecords)
            for (const auto& [verdict, n] : run.counts().rows())
                out << verdict << '\t' << n << '\n';
        return started == verify::VerifyRun::Start::NoRecords ? 0 : 1;
    }
    if (!ended) loop.exec();
    if (!run.failure().isEmpty()) return 1;
    for (const auto& [verdict, n] : run.counts().rows())
        out << verdict << '\t' << n << '\n';
    out.flush();
    if (update) return 0;
    if (saveAs.isEmpty()) {
        err << "sendora-cli: verify: the verified list was not kept (use --save NAME)\n";
        return 0;
    }
    if (!SaveList(ctx, run.newListPath(), saveAs, QStringLiteral("Verified ") + listName, false)) return 1;
    err << "sendora-cli: verified list saved as " << saveAs << '\n';
    return 0;
}

} // namespace sendora::cli
