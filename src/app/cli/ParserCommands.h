#pragma once
// sendora-cli commands over the address parser.

#include <QStringList>
#include <QTextStream>

namespace sendora::cli {

// Text as a terminal shows it harmlessly: TAB, CR, LF and NUL as \t, \r, \n and \0, other
// C0 and C1 controls and DEL as \x1b and the like.
QString escapedForTerminal(QStringView text);

// check-address ADDRESS...: one line per argument, the address, a tab and "valid" or "invalid".
// `args` are the words after the command. Always returns 0.
int runCheckAddress(const QStringList& args, QTextStream& out);

// extract [--class text|mailbox|binary]: lines from `in`, one line per address found: address,
// tab, first name, tab, last name. Returns 0, or 2 for bad arguments.
int runExtract(const QStringList& args, QTextStream& in, QTextStream& out, QTextStream& err);

} // namespace sendora::cli
