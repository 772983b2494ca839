#include "core/BlockLog.h"

#include "core/AppContext.h"
#include "core/ErrorLog.h"
#include "core/Version.h"

#include <QLocale>

namespace sendora {

BlockLog::BlockLog(AppContext& ctx, QString fileName, QString callerText, QString what, Mode mode)
    : m_ctx(ctx), m_fileName(std::move(fileName)), m_callerText(std::move(callerText)),
      m_what(std::move(what)), m_mode(mode) {}

BlockLog::~BlockLog() {
    m_file.close();
}

QString BlockLog::path() const {
    return m_ctx.paths.app + m_fileName;
}

void BlockLog::open() {
    m_file.close();
    m_file.setFileName(path());
    m_file.open(QIODevice::Append);
}

void BlockLog::restartWhenFull() {
    const QString file = path();
    if (m_file.isOpen()) {
        if (m_file.size() <= kLogSizeLimit) return;
        m_file.close();
    }
    if (!rotateLogFile(file))
        LogError(
            m_ctx, m_callerText,
            {75, QStringLiteral("Could not move '%1' aside; the %2 is appended to it.").arg(file, m_what)},
            false);
    // Before the first open there is nothing to reopen; the owner opens when it is ready.
    if (!m_file.isOpen() && !m_file.fileName().isEmpty()) open();
}

void BlockLog::reportWriteFailure() {
    LogError(m_ctx, m_callerText, {m_file.error(), m_file.errorString()}, false);
}

void BlockLog::write(const QString& line) {
    if (m_mode == Mode::EachLine) restartWhenFull();
    if (!m_file.isOpen()) open();
    const QByteArray bytes = line.toUtf8() + "\r\n";
    if (m_mode == Mode::Buffered) {
        if (m_file.write(bytes) != bytes.size()) reportWriteFailure();
        return;
    }
    if (m_file.write(bytes) != bytes.size() || !m_file.flush()) {
        if (m_healthy) reportWriteFailure();
        m_healthy = false;
    }
}

void BlockLog::write(const QStringList& lines) {
    for (const QString& line : lines)
        write(line);
}

QString BlockLog::withoutLineEnd(const QString& text) {
    QString line = text;
    while (line.endsWith(u'\n') || line.endsWith(u'\r'))
        line.chop(1);
    return line;
}

QStringList BlockLog::opening(const QString& title, const QDateTime& t) {
    const QString s = starLine();
    return {s,
            s,
            s,
            title,
            s,
            s,
            QStringLiteral("*** Date:              ") +
                QLocale::system().toString(t.date(), QLocale::ShortFormat),
            QStringLiteral("*** Time:              ") +
                QLocale::system().toString(t.time(), QLocale::ShortFormat),
            s,
            s};
}

QStringList BlockLog::versionClosing() const {
    const QString s = starLine();
    return {s, s, QStringLiteral("*** Product Version:   ") + GetVersionText(true, m_ctx.version), s, s, s};
}

SessionLog::SessionLog(AppContext& ctx, QString fileName, QString callerText, QString what)
    : m_log(ctx, std::move(fileName), std::move(callerText), std::move(what), BlockLog::Mode::EachLine) {
    m_log.restartWhenFull();
    m_log.open();
}

SessionLog::~SessionLog() = default;

void SessionLog::LogSend(const QString& text, bool withStartBlock, bool withEndBlock) {
    if (withStartBlock) m_log.write(startBlock());
    m_log.write(BlockLog::withoutLineEnd(text));
    if (withEndBlock) m_log.write(endBlock());
}

} // namespace sendora
