#pragma once
// sendora-cli verify: checks every address of a list as the verification wizard does and
// prints one "verdict<TAB>count" line per verdict. --update writes each verdict into the
// list's Keyword2; --save NAME keeps the new list of verdicts under NAME. Exit 1 when the
// run could not start or stopped on an error, 2 for bad arguments.

#include <QStringList>
#include <QTextStream>

namespace sendora {
struct AppContext;
}

namespace sendora::cli {

int runVerify(AppContext& ctx, const QStringList& args, QTextStream& out, QTextStream& err);

extern const char* const kVerifyUsage;

} // namespace sendora::cli
