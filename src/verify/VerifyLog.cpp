#include "verify/VerifyLog.h"

#include "components/addressverifier/AddressCheck.h"

namespace sendora::verify {

namespace v = sendora::verifier;

inline const QString kForcedTimeout = QStringLiteral("Forced Timeout");

void VerifyCounts::add(const QString& verdict) {
    if (verdict.contains(v::kExist))
        ++exist;
    else if (verdict == v::kBadSyntax)
        ++badSyntax;
    else if (verdict == v::kNotInDns)
        ++notInDns;
    else if (verdict == v::kNotInSmtp)
        ++notInSmtp;
    else if (verdict == kForcedTimeout)
        ++forcedTimeout;
    else
        ++unknown;
}

QList<std::pair<QString, qint64>> VerifyCounts::rows() const {
    return {{v::kExist, exist},         {v::kBadSyntax, badSyntax}, {v::kNotInDns, notInDns},
            {v::kNotInSmtp, notInSmtp}, {v::kUnknown, unknown},     {kForcedTimeout, forcedTimeout}};
}

VerifyLog::VerifyLog(AppContext& ctx)
    : SessionLog(ctx, kVerifyLogFileName, QStringLiteral("LogSend in frmVerifyList"), QStringLiteral("run")) {
}

QStringList VerifyLog::startBlock() const {
    const QString s = BlockLog::starLine();
    return BlockLog::opening(QStringLiteral("***             VERIFICATION STARTS HERE "), now()) +
           QStringList{
               QStringLiteral("*** List Name:         ") + facts.listName,
               s,
               s,
               QStringLiteral("*** Configuration Settings"),
               QStringLiteral("***"),
               QStringLiteral("*** Primary DNS Server:       ") + facts.primaryDns,
               QStringLiteral("*** Secondary DNS Server:     ") + facts.secondaryDns,
               QStringLiteral("*** Domain Name:              ") + facts.domain,
               QStringLiteral("*** MAIL FROM Address:        ") + facts.mailFrom,
               QStringLiteral("*** Forced Timeout (seconds): ") + QString::number(facts.forcedTimeout),
               QStringLiteral("*** Number of Emails at once: ") + QString::number(facts.numberEmails)} +
           m_log.versionClosing();
}

QStringList VerifyLog::endBlock() const {
    const VerifyCounts& c = facts.counts;
    return BlockLog::opening(QStringLiteral("***              VERIFICATION ENDS HERE"), now()) +
           QStringList{QStringLiteral("*** Total Processed:      ") + QString::number(c.processed()),
                       QStringLiteral("***"),
                       QStringLiteral("*** Total Exist:          ") + QString::number(c.exist),
                       QStringLiteral("*** Total Bad Syntax:     ") + QString::number(c.badSyntax),
                       QStringLiteral("*** Total Not in DNS:     ") + QString::number(c.notInDns),
                       QStringLiteral("*** Total Not in SMTP:    ") + QString::number(c.notInSmtp),
                       QStringLiteral("*** Total Unknown:        ") + QString::number(c.unknown),
                       QStringLiteral("*** Total Forced Timeout: ") + QString::number(c.forcedTimeout)} +
           BlockLog::closing();
}

} // namespace sendora::verify
