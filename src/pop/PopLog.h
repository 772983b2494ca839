#pragma once
// POPlog.log: a start block when a mailbox session starts, one line per step and exchange,
// an end block with the totals. The size is tested when the file is opened and before every
// line; a file over 3,000,000 bytes is moved aside as POPlog.log.1 and a new one started.

#include "core/BlockLog.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <functional>

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

class PopLog {
public:
    explicit PopLog(AppContext& ctx);
    ~PopLog();

    void LogSend(const QString& line, bool startBlock = false, bool endBlock = false);

    PopLogFacts facts;
    std::function<QDateTime()> now = [] { return QDateTime::currentDateTime(); };
    // False after a write that did not reach the file (also logged to Errors.log).
    bool healthy() const { return m_log.healthy(); }

    QStringList startBlock() const;
    QStringList endBlock() const;

private:
    BlockLog m_log;
};

} // namespace sendora::pop
