#pragma once
// sendlog.log: a header block when a mailing starts, one line per progress step and
// protocol exchange, and a statistics block when it ends. A mailing that starts while the
// file is over 3,000,000 bytes starts a new one; the previous file stays as sendlog.log.1.
// The size is tested only there, so one mailing's lines are never split between files.

#include "core/BlockLog.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <functional>

namespace sendora {

struct AppContext;

// What the header and statistics blocks report about one mailing.
struct SendLogFacts {
    QString group;
    QString message;
    QString list;
    QString deliveryOptions;
    QString server;
    int port = 25;
    QString sender;
    QDateTime start;
    QDateTime end;
    qint64 taken = 0;
    qint64 passed = 0;
    qint64 failed = 0;
    qint64 messageSize = 0;
};

class SendLog {
public:
    explicit SendLog(AppContext& ctx);
    ~SendLog();

    // Writes the header block first when startBlock, then the text as one line, then the
    // statistics block when endBlock.
    void LogSend(const QString& text, bool startBlock = false, bool endBlock = false);

    SendLogFacts facts;
    // Every line written is also handed here (the send screen's log view).
    std::function<void(const QString&)> onLine;
    // The clock; tests replace it.
    std::function<QDateTime()> now = [] { return QDateTime::currentDateTime(); };

    // The send screen's result rows for the statistics.
    QStringList statisticsRows() const;
    qint64 elapsedSeconds() const;

private:
    QStringList headerBlock() const;
    QStringList statisticsBlock() const;
    QString rate(double perSecond) const;

    BlockLog m_log;
    QTimer m_flushTimer;
};

// "mmm dd yyyy  hh:mm AMPM", the date handed to the mailing centre.
QString mailingDateText(const QDateTime& start);

} // namespace sendora
