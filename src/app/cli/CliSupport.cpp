#include "CliSupport.h"

#include "components/jet/Jet.h"
#include "core/AppContext.h"
#include "core/Catalogue.h"
#include "core/ListActions.h"

#include <algorithm>

namespace sendora::cli {

bool parseOptions(const QStringList& args, const QStringList& valued, const QStringList& flags,
                  const char* command, Options& o, QTextStream& err) {
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (!a.startsWith(QLatin1String("--"))) {
            o.positional << a;
        } else if (valued.contains(a) && i + 1 < args.size()) {
            o.values.insert(a, args[++i]);
        } else if (flags.contains(a)) {
            o.flags << a;
        } else {
            err << "sendora-cli: " << command << ": unexpected option " << a << '\n';
            return false;
        }
    }
    return true;
}

bool parseInto(const QStringList& args, const char* command, const QList<ValuedOption>& valued,
               const QList<FlagOption>& flags, const QList<QString*>& words, QTextStream& err) {
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        const auto v = std::find_if(valued.begin(), valued.end(),
                                    [&arg](const ValuedOption& o) { return arg == QStringView(o.name); });
        const auto f = std::find_if(flags.begin(), flags.end(),
                                    [&arg](const FlagOption& o) { return arg == QStringView(o.name); });
        if (v != valued.end()) {
            if (i + 1 >= args.size()) {
                err << "sendora-cli: " << command << ": " << arg << " needs a value\n";
                return false;
            }
            *v->value = args[++i];
            if (v->seen) *v->seen = true;
        } else if (f != flags.end()) {
            *f->set = true;
        } else if (arg.startsWith(QLatin1String("--"))) {
            err << "sendora-cli: " << command << ": unknown option " << arg << '\n';
            return false;
        } else if (const auto w = std::find_if(words.begin(), words.end(),
                                               [](const QString* s) { return s->isEmpty(); });
                   w != words.end()) {
            **w = arg; // the first word still empty
        } else {
            err << "sendora-cli: " << command << ": unexpected argument " << arg << '\n';
            return false;
        }
    }
    return true;
}

bool validListName(const QString& name, QTextStream& err) {
    if (IsValidObjectName(name)) return true;
    err << "sendora-cli: "
        << QString(kInvalidObjectNameMessage).replace(QLatin1String("\r\n"), QLatin1String("\n")) << '\n';
    return false;
}

bool keepBuiltList(AppContext& ctx, const QString& path, const QString& name, const QString& command,
                   QTextStream& err, QString& listPath) {
    if (!SaveList(ctx, path, name, QString(), false)) {
        err << "sendora-cli: " << command << ": not saved as '" << name << "'; the new list stays in " << path
            << '\n';
        return false;
    }
    jet::removeDatabase(path);
    listPath = ctx.paths.listFile(name + QStringLiteral(".mdb"));
    return true;
}

} // namespace sendora::cli
