#include "pop/PopLog.h"

namespace sendora::pop {

QString modeName(int mode) {
    switch (mode) {
    case 1:
        return QStringLiteral("Returned Mail Manager");
    case 2:
        return QStringLiteral("Subscription Manager");
    case 3:
        return QStringLiteral("POP Mail Importer");
    default:
        return {};
    }
}

PopLog::PopLog(AppContext& ctx)
    : SessionLog(ctx, kPopLogFileName, QStringLiteral("LogSend in ProcessEMail"), QStringLiteral("session")) {
}

QStringList PopLog::startBlock() const {
    const QDateTime t = facts.start.isValid() ? facts.start : now();
    return QStringList{QString(), QString()} +
           BlockLog::opening(QStringLiteral("*** MAILING STARTS HERE -- ") + modeName(facts.mode), t) +
           QStringList{QStringLiteral("*** POP Server:        ") + facts.host,
                       QStringLiteral("*** POP Port:          ") + QString::number(facts.port),
                       QStringLiteral("*** Mailbox:           ") + facts.userName} +
           m_log.versionClosing() + QStringList{QString()};
}

QStringList PopLog::endBlock() const {
    const QDateTime t = facts.end.isValid() ? facts.end : now();
    return QStringList{QString(), QString()} +
           BlockLog::opening(QStringLiteral("*** MAILING ENDS HERE -- ") + modeName(facts.mode), t) +
           QStringList{QStringLiteral("*** Total Retrieved:   ") + QString::number(facts.retrieved),
                       QStringLiteral("*** Total Processed:   ") + QString::number(facts.processed),
                       QStringLiteral("*** Total Deleted:     ") + QString::number(facts.deleted)} +
           BlockLog::closing();
}

} // namespace sendora::pop
