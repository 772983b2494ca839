#include "mailing/relay/SendLog.h"

#include <QLocale>

namespace sendora {

namespace {

const QString kFileName = QStringLiteral("sendlog.log");

} // namespace

QString mailingDateText(const QDateTime& start) {
    return QLocale::c().toString(start, QStringLiteral("MMM dd yyyy  hh:mm AP"));
}

SendLog::SendLog(AppContext& ctx)
    : m_log(ctx, kFileName, QStringLiteral("P: LogSend in SMTPSocket"), QStringLiteral("mailing"),
            BlockLog::Mode::Buffered) {
    // Lines reach the disk in batches: at a block edge at once, otherwise within a moment.
    m_flushTimer.setSingleShot(true);
    m_flushTimer.setInterval(200);
    QObject::connect(&m_flushTimer, &QTimer::timeout, [this] { m_log.flush(); });
    m_log.open();
}

SendLog::~SendLog() = default;

QStringList SendLog::headerBlock() const {
    const QString s = BlockLog::starLine();
    return QStringList{QString(), QString()} +
           BlockLog::opening(QStringLiteral("*** MAILING STARTS HERE "), now()) +
           QStringList{QStringLiteral("*** Group:             ") + facts.group,
                       QStringLiteral("*** Message:           ") + facts.message,
                       QStringLiteral("*** Mailing List:      ") + facts.list,
                       QStringLiteral("*** Delivery Options:  ") + facts.deliveryOptions,
                       s,
                       s,
                       QStringLiteral("*** SMTP Server:       ") + facts.server,
                       QStringLiteral("*** SMTP Port:         ") + QString::number(facts.port),
                       QStringLiteral("*** From Address:      ") + facts.sender} +
           m_log.versionClosing() + QStringList{QString()};
}

qint64 SendLog::elapsedSeconds() const {
    if (!facts.start.isValid() || !facts.end.isValid()) return 0;
    return std::max<qint64>(0, facts.start.secsTo(facts.end));
}

QString SendLog::rate(double perSecond) const {
    return QString::number(perSecond, 'f', 2);
}

QStringList SendLog::statisticsBlock() const {
    const QString s = BlockLog::starLine();
    // A mailing that took less than a second is counted as one second.
    const double seconds = std::max<qint64>(1, elapsedSeconds());
    return BlockLog::opening(QStringLiteral("*** MAILING ENDS HERE "), now()) +
           QStringList{QStringLiteral("*** Total Sent:        ") + QString::number(facts.taken),
                       QStringLiteral("*** Total Passed:      ") + QString::number(facts.passed),
                       QStringLiteral("*** Total Failed:      ") + QString::number(facts.failed),
                       s,
                       s,
                       QStringLiteral("*** Message Size:      ") + QString::number(facts.messageSize) +
                           QStringLiteral(" bytes"),
                       QStringLiteral("*** Messages / Sec:    ") + rate(facts.taken / seconds) +
                           QStringLiteral(" (Approx)"),
                       QStringLiteral("*** bytes / Sec:       ") +
                           rate(double(facts.taken) * facts.messageSize / seconds) +
                           QStringLiteral(" (Approx)")} +
           BlockLog::closing();
}

QStringList SendLog::statisticsRows() const {
    const double seconds = std::max<qint64>(1, elapsedSeconds());
    return {QStringLiteral("Mailing Statistics"),
            QStringLiteral("Total Time:        ") + QString::number(elapsedSeconds()) +
                QStringLiteral(" Seconds"),
            QStringLiteral("Total Sent:        ") + QString::number(facts.taken),
            QStringLiteral("Total Passed:      ") + QString::number(facts.passed),
            QStringLiteral("Total Failed:      ") + QString::number(facts.failed),
            QStringLiteral("Message Size:      ") + QString::number(facts.messageSize) +
                QStringLiteral(" bytes"),
            QStringLiteral("Messages / Sec:    ") + rate(facts.taken / seconds) + QStringLiteral(" (Approx)"),
            QStringLiteral("bytes / Sec:       ") + rate(double(facts.taken) * facts.messageSize / seconds) +
                QStringLiteral(" (Approx)")};
}

void SendLog::LogSend(const QString& text, bool startBlock, bool endBlock) {
    if (startBlock) {
        // The size is tested only here, so one mailing's lines stay in one file.
        m_log.flush();
        m_log.restartWhenFull();
        m_log.write(headerBlock());
    }
    const QString line = BlockLog::withoutLineEnd(text);
    m_log.write(line);
    if (onLine) onLine(line);
    if (endBlock) m_log.write(statisticsBlock());
    if (startBlock || endBlock)
        m_log.flush();
    else if (!m_flushTimer.isActive())
        m_flushTimer.start();
}

} // namespace sendora
