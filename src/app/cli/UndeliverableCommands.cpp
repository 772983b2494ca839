#include "UndeliverableCommands.h"

#include "MailingCommands.h"
#include "core/AppContext.h"
#include "mailing/Undeliverables.h"

#include <QFileInfo>

namespace sendora::cli {

namespace {

const char* const kCategories[6] = {"all",       "dns-timeouts",  "mailer-timeouts",
                                    "mx-errors", "mailer-errors", "socket-errors"};

} // namespace

int runUndeliverable(AppContext& ctx, const QStringList& args, QTextStream& out, QTextStream& err) {
    QString name;
    bool remove[6] = {};
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--remove") && i + 1 < args.size()) {
            const QString what = args[++i];
            int found = -1;
            for (int c = 0; c < 6; ++c)
                if (what == QLatin1String(kCategories[c])) found = c;
            if (found < 0) {
                err << "sendora-cli: unknown category " << what << '\n' << kUndeliverableUsage;
                return kExitUsage;
            }
            remove[found] = true;
        } else if (name.isEmpty() && !args[i].startsWith(QLatin1String("--"))) {
            name = args[i];
        } else {
            err << "Usage: sendora-cli" << kUndeliverableUsage;
            return kExitUsage;
        }
    }
    if (name.isEmpty()) {
        err << "Usage: sendora-cli" << kUndeliverableUsage;
        return kExitUsage;
    }
    if (!openExistingFolder(ctx, err)) return kExitUsage;

    CUndeliverables manager(ctx);
    manager.addressList = name;
    const QString path = manager.getPathName();
    if (manager.failed()) {
        err << "sendora-cli: the list catalogue could not be read\n";
        return kExitStorage;
    }
    if (path.isEmpty() || !QFileInfo(ctx.paths.addressLists + path).isFile()) {
        err << "sendora-cli: there is no list named " << name << '\n';
        return kExitUsage;
    }
    const auto counts = manager.countAll(path);
    if (manager.failed()) {
        err << "sendora-cli: the list " << name << " could not be read (see Errors.log)\n";
        return kExitStorage;
    }
    for (int c = 0; c < 6; ++c)
        out << CUndeliverables::labels()[size_t(c)] << '\t' << counts[size_t(c)] << '\n';
    out.flush();

    manager.allErrors = remove[0];
    manager.dnsTimeouts = remove[1];
    manager.mailerTimeouts = remove[2];
    manager.dnsErrors = remove[3];
    manager.mailerErrors = remove[4];
    manager.socketErrors = remove[5];
    if (std::none_of(std::begin(remove), std::end(remove), [](bool b) { return b; })) return 0;
    const qint32 before = counts[0];
    if (!manager.Remove()) {
        err << "sendora-cli: the addresses could not all be removed from " << name << " (see Errors.log)\n";
        return kExitStorage;
    }
    err << "sendora-cli: removed " << before - manager.countAllErrors(path) << " addresses from " << name
        << '\n';
    return 0;
}

} // namespace sendora::cli
