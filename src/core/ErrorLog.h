#pragma once
#include <QString>
#include <exception>

namespace sendora {

struct AppContext;

// The error a procedure caught: its number and description.
struct ErrorInfo {
    int number = 0;
    QString description;
};

// Number and text of a caught exception (storage errors keep their own numbers).
ErrorInfo errorInfo(const std::exception& e);

// Appends a five-line entry to Errors.log and, when asked, shows the error. Never throws:
// a step that fails is skipped. The log starts afresh once it is over 3,000,000 bytes; the
// previous one stays as Errors.log.1.
void LogError(AppContext& ctx, const QString& callerText, const ErrorInfo& error, bool showMessage);

// The entry's text, for the log file (lines joined with CRLF, ending with an empty line).
QString errorLogEntry(const QString& version, const QString& timestamp, const QString& callerText,
                      const ErrorInfo& error);

constexpr qint64 kLogSizeLimit = 3000000;

// When the file at path is longer than limit, it becomes path + ".1" (replacing an older
// one) so that the next write starts a new file. False when it is over the limit and could
// not be moved aside; the caller then keeps appending rather than lose what it holds.
bool rotateLogFile(const QString& path, qint64 limit = kLogSizeLimit);

} // namespace sendora
