#include "pop/PopLog.h"

#include "core/AppContext.h"
#include "core/ErrorLog.h"
#include "core/Version.h"

#include <QLocale>

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

namespace {

QString dateText(const QDateTime& t) {
    return QLocale::system().toString(t.date(), QLocale::ShortFormat);
}
QString timeText(const QDateTime& t) {
    return QLocale::system().toString(t.time(), QLocale::ShortFormat);
}

} // namespace

PopLog::PopLog(AppContext& ctx) : m_ctx(ctx) {
    restartWhenFull();
    open();
}

PopLog::~PopLog() {
    m_file.close();
}

void PopLog::open() {
    m_file.close();
    m_file.setFileName(m_ctx.paths.app + kPopLogFileName);
    m_file.open(QIODevice::Append);
}

void PopLog::restartWhenFull() {
    const QString path = m_ctx.paths.app + kPopLogFileName;
    if (m_file.isOpen()) {
        if (m_file.size() <= kLogSizeLimit) return;
        m_file.close();
    }
    if (!rotateLogFile(path))
        LogError(m_ctx, QStringLiteral("LogSend in ProcessEMail"),
                 {75, QStringLiteral("Could not move '%1' aside; the session is appended to it.").arg(path)},
                 false);
    if (!m_file.isOpen() && !m_file.fileName().isEmpty()) open();
}

void PopLog::write(const QString& line) {
    restartWhenFull();
    if (!m_file.isOpen()) open();
    const QByteArray bytes = line.toUtf8() + "\r\n";
    if (m_file.write(bytes) != bytes.size() || !m_file.flush()) {
        if (m_healthy)
            LogError(m_ctx, QStringLiteral("LogSend in ProcessEMail"), {m_file.error(), m_file.errorString()},
                     false);
        m_healthy = false;
    }
}

QStringList PopLog::startBlock() const {
    const QString s = starLine();
    const QDateTime t = facts.start.isValid() ? facts.start : now();
    return {QString(),
            QString(),
            s,
            s,
            s,
            QStringLiteral("*** MAILING STARTS HERE -- ") + modeName(facts.mode),
            s,
            s,
            QStringLiteral("*** Date:              ") + dateText(t),
            QStringLiteral("*** Time:              ") + timeText(t),
            s,
            s,
            QStringLiteral("*** POP Server:        ") + facts.host,
            QStringLiteral("*** POP Port:          ") + QString::number(facts.port),
            QStringLiteral("*** Mailbox:           ") + facts.userName,
            s,
            s,
            QStringLiteral("*** Product Version:   ") + GetVersionText(true, m_ctx.version),
            s,
            s,
            s,
            QString()};
}

QStringList PopLog::endBlock() const {
    const QString s = starLine();
    const QDateTime t = facts.end.isValid() ? facts.end : now();
    return {QString(),
            QString(),
            s,
            s,
            s,
            QStringLiteral("*** MAILING ENDS HERE -- ") + modeName(facts.mode),
            s,
            s,
            QStringLiteral("*** Date:              ") + dateText(t),
            QStringLiteral("*** Time:              ") + timeText(t),
            s,
            s,
            QStringLiteral("*** Total Retrieved:   ") + QString::number(facts.retrieved),
            QStringLiteral("*** Total Processed:   ") + QString::number(facts.processed),
            QStringLiteral("*** Total Deleted:     ") + QString::number(facts.deleted),
            s,
            s,
            s};
}

void PopLog::LogSend(const QString& text, bool startBlock_, bool endBlock_) {
    if (startBlock_)
        for (const QString& l : startBlock())
            write(l);
    QString line = text;
    while (line.endsWith(u'\n') || line.endsWith(u'\r'))
        line.chop(1);
    write(line);
    if (endBlock_)
        for (const QString& l : endBlock())
            write(l);
}

} // namespace sendora::pop
