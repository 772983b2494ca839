#pragma once
// sendora-cli import: the database import wizard's source, table and build without the wizard.

#include <QStringList>
#include <QTextStream>

namespace sendora {
struct AppContext;
}

namespace sendora::cli {

extern const char* const kImportUsage;

// import tables SOURCE [--kind K]: the tables of the source, one a line, each followed by its
// fields ("<tab>name<tab>type").
// import run SOURCE --table TABLE --map EAddress=COL[,FirstName=COL,...] [--kind K] [--save NAME]
//            [--extra COL,...] [--where CONDITION] [--no-names]
// Prints the rows imported, the rows refused with the reason and the list's file. Returns 0, 1
// when the source or the build failed, 2 for bad arguments.
int runImport(AppContext& ctx, const QStringList& args, QTextStream& out, QTextStream& err);

} // namespace sendora::cli
