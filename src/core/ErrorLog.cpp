#include "core/ErrorLog.h"

#include "components/jet/Jet.h"
#include "core/AppContext.h"
#include "core/Version.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QLocale>

namespace sendora {

ErrorInfo errorInfo(const std::exception& e) {
    if (const auto* j = dynamic_cast<const jet::Error*>(&e)) return {j->number(), j->description()};
    // Anything else is an unexpected fault of ours: VB's "Invalid procedure call" number.
    return {5, QString::fromLocal8Bit(e.what())};
}

QString errorLogEntry(const QString& version, const QString& timestamp, const QString& callerText,
                      const ErrorInfo& error) {
    return version + QStringLiteral("\r\n") + timestamp + QStringLiteral("\r\nCalled From: ") + callerText +
           QStringLiteral("\r\n") + QString::number(error.number) + QStringLiteral(" - ") +
           error.description + QStringLiteral("\r\n\r\n");
}

bool rotateLogFile(const QString& path, qint64 limit) {
    const QFileInfo info(path);
    if (!info.exists() || info.size() <= limit) return true;
    const QString previous = path + QStringLiteral(".1");
    if (QFileInfo::exists(previous) && !QFile::remove(previous)) return false;
    return QFile::rename(path, previous);
}

void LogError(AppContext& ctx, const QString& callerText, const ErrorInfo& error, bool showMessage) {
    try {
        const QString path = ctx.paths.errorLog();
        rotateLogFile(path);
        QFile file(path);
        if (file.open(QIODevice::Append)) {
            const QString stamp =
                QLocale::system().toString(QDateTime::currentDateTime(), QLocale::ShortFormat);
            file.write(errorLogEntry(fullVersionNumber(ctx.version), stamp, callerText, error).toUtf8());
            file.close();
        }
    } catch (...) {
        // Logging must never take the caller down.
    }
    if (showMessage && ctx.ui) {
        try {
            ctx.ui->message(QStringLiteral("An error occured in ") + callerText +
                                QStringLiteral("\r\nDescription : ") + error.description +
                                QStringLiteral("\r\nNumber:       ") + QString::number(error.number),
                            Buttons::OK, Icon::Information);
        } catch (...) {
        }
    }
}

} // namespace sendora
