#pragma once
// POPlog.log: a start block when a mailbox session starts, one line per step and exchange,
// an end block with the totals. The size is tested when the file is opened and before every
// line; a file over 3,000,000 bytes is moved aside as POPlog.log.1 and a new one started.

#include "core/BlockLog.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

namespace sendora {
struct AppContext;
}

namespace sendora::pop {

inline const QString kPopLogFileName = QStringLiteral("POPlog.log");

// "Returned Mail Manager", "Subscription Manager", "POP Mail Importer" for modes 1..3.
QString modeName(int mode);

struct PopLogFacts {
    int mode = 1;
    QString host;
    int port = 110;
    QString userName;
    QDateTime start;
    QDateTime end;
    qint64 retrieved = 0;
    qint64 processed = 0;
    qint64 deleted = 0;
};

class PopLog : public SessionLog {
public:
    explicit PopLog(AppContext& ctx);

    PopLogFacts facts;

    QStringList startBlock() const override;
    QStringList endBlock() const override;
};

} // namespace sendora::pop
