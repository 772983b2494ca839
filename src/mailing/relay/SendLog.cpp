#include "mailing/relay/SendLog.h"

#include "core/AppContext.h"
#include "core/ErrorLog.h"
#include "core/Version.h"

#include <QLocale>

namespace sendora {

namespace {

const QString kFileName = QStringLiteral("sendlog.log");

QString dateText(const QDateTime& t) {
    return QLocale::system().toString(t.date(), QLocale::ShortFormat);
}
QString timeText(const QDateTime& t) {
    return QLocale::system().toString(t.time(), QLocale::ShortFormat);
}

} // namespace

QString mailingDateText(const QDateTime& start) {
    return QLocale::c().toString(start, QStringLiteral("MMM dd yyyy  hh:mm AP"));
}

SendLog::SendLog(AppContext& ctx) : m_ctx(ctx) {
    // Lines reach the disk in batches: at a block edge at once, otherwise within a moment.
    m_flushTimer.setSingleShot(true);
    m_flushTimer.setInterval(200);
    QObject::connect(&m_flushTimer, &QTimer::timeout, [this] { m_file.flush(); });
    openFile();
}

SendLog::~SendLog() {
    m_file.close();
}

void SendLog::openFile() {
    m_file.close();
    m_file.setFileName(m_ctx.paths.app + kFileName);
    m_file.open(QIODevice::Append);
}

void SendLog::startNewFileWhenFull() {
    m_file.flush();
    if (m_file.size() <= kLogSizeLimit) return;
    m_file.close();
    if (!rotateLogFile(m_file.fileName()))
        LogError(m_ctx, QStringLiteral("P: LogSend in SMTPSocket"),
                 {75, QStringLiteral("Could not move '%1' aside; the mailing is appended to it.")
                          .arg(m_file.fileName())},
                 false);
    openFile();
}

void SendLog::write(const QString& line) {
    if (!m_file.isOpen()) openFile();
    const QByteArray bytes = line.toUtf8() + "\r\n";
    if (m_file.write(bytes) != bytes.size())
        LogError(m_ctx, QStringLiteral("P: LogSend in SMTPSocket"), {m_file.error(), m_file.errorString()},
                 false);
}

QStringList SendLog::headerBlock() const {
    const QString s = starLine();
    const QDateTime t = now();
    return {QString(),
            QString(),
            s,
            s,
            s,
            QStringLiteral("*** MAILING STARTS HERE "),
            s,
            s,
            QStringLiteral("*** Date:              ") + dateText(t),
            QStringLiteral("*** Time:              ") + timeText(t),
            s,
            s,
            QStringLiteral("*** Group:             ") + facts.group,
            QStringLiteral("*** Message:           ") + facts.message,
            QStringLiteral("*** Mailing List:      ") + facts.list,
            QStringLiteral("*** Delivery Options:  ") + facts.deliveryOptions,
            s,
            s,
            QStringLiteral("*** SMTP Server:       ") + facts.server,
            QStringLiteral("*** SMTP Port:         ") + QString::number(facts.port),
            QStringLiteral("*** From Address:      ") + facts.sender,
            s,
            s,
            QStringLiteral("*** Product Version:   ") + GetVersionText(true, m_ctx.version),
            s,
            s,
            s,
            QString()};
}

qint64 SendLog::elapsedSeconds() const {
    if (!facts.start.isValid() || !facts.end.isValid()) return 0;
    return std::max<qint64>(0, facts.start.secsTo(facts.end));
}

QString SendLog::rate(double perSecond) const {
    return QString::number(perSecond, 'f', 2);
}

QStringList SendLog::statisticsBlock() const {
    const QString s = starLine();
    const QDateTime t = now();
    // A mailing that took less than a second is counted as one second.
    const double seconds = std::max<qint64>(1, elapsedSeconds());
    return {s,
            s,
            s,
            QStringLiteral("*** MAILING ENDS HERE "),
            s,
            s,
            QStringLiteral("*** Date:              ") + dateText(t),
            QStringLiteral("*** Time:              ") + timeText(t),
            s,
            s,
            QStringLiteral("*** Total Sent:        ") + QString::number(facts.taken),
            QStringLiteral("*** Total Passed:      ") + QString::number(facts.passed),
            QStringLiteral("*** Total Failed:      ") + QString::number(facts.failed),
            s,
            s,
            QStringLiteral("*** Message Size:      ") + QString::number(facts.messageSize) +
                QStringLiteral(" bytes"),
            QStringLiteral("*** Messages / Sec:    ") + rate(facts.taken / seconds) +
                QStringLiteral(" (Approx)"),
            QStringLiteral("*** bytes / Sec:       ") +
                rate(double(facts.taken) * facts.messageSize / seconds) + QStringLiteral(" (Approx)"),
            s,
            s,
            s};
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
    if (startBlock) startNewFileWhenFull();
    if (startBlock)
        for (const QString& line : headerBlock())
            write(line);
    QString line = text;
    while (line.endsWith(u'\n') || line.endsWith(u'\r'))
        line.chop(1);
    write(line);
    if (onLine) onLine(line);
    if (endBlock)
        for (const QString& l : statisticsBlock())
            write(l);
    if (startBlock || endBlock)
        m_file.flush();
    else if (!m_flushTimer.isActive())
        m_flushTimer.start();
}

} // namespace sendora
