#pragma once
// VerifyLog.log in the application folder: a start block when a run starts, one line per
// step, an end block with the totals per verdict. A file over 3,000,000 bytes is moved aside
// as VerifyLog.log.1 and a new one started.

#include "core/BlockLog.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

namespace sendora {
struct AppContext;
}

namespace sendora::verify {

inline const QString kVerifyLogFileName = QStringLiteral("VerifyLog.log");

struct VerifyCounts {
    qint64 exist = 0;
    qint64 badSyntax = 0;
    qint64 notInDns = 0;
    qint64 notInSmtp = 0;
    qint64 unknown = 0;
    qint64 forcedTimeout = 0;

    qint64 processed() const { return exist + badSyntax + notInDns + notInSmtp + unknown + forcedTimeout; }
    // Counts a verifier's verdict: anything containing "Exist" is Exist, an unknown text Unknown.
    void add(const QString& verdict);
    // (verdict, count) in the summary's order, "Forced Timeout" last.
    QList<std::pair<QString, qint64>> rows() const;
};

struct VerifyLogFacts {
    QString listName;
    QString primaryDns;
    QString secondaryDns;
    QString domain;
    QString mailFrom;
    int forcedTimeout = 20;
    int numberEmails = 1;
    VerifyCounts counts;
};

class VerifyLog : public SessionLog {
public:
    explicit VerifyLog(AppContext& ctx);

    VerifyLogFacts facts;

    QStringList startBlock() const override;
    QStringList endBlock() const override;
};

} // namespace sendora::verify
