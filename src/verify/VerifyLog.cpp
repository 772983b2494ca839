#include "verify/VerifyLog.h"

#include "components/addressverifier/AddressCheck.h"
#include "core/AppContext.h"
#include "core/ErrorLog.h"
#include "core/Version.h"

#include <QLocale>

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

namespace {

QString dateText(const QDateTime& t) {
    return QLocale::system().toString(t.date(), QLocale::ShortFormat);
}
QString timeText(const QDateTime& t) {
    return QLocale::system().toString(t.time(), QLocale::ShortFormat);
}

} // namespace

VerifyLog::VerifyLog(AppContext& ctx) : m_ctx(ctx) {
    restartWhenFull();
    open();
}

VerifyLog::~VerifyLog() {
    m_file.close();
}

void VerifyLog::open() {
    m_file.close();
    m_file.setFileName(m_ctx.paths.app + kVerifyLogFileName);
    m_file.open(QIODevice::Append);
}

void VerifyLog::restartWhenFull() {
    const QString path = m_ctx.paths.app + kVerifyLogFileName;
    if (m_file.isOpen()) {
        if (m_file.size() <= kLogSizeLimit) return;
        m_file.close();
    }
    if (!rotateLogFile(path))
        LogError(m_ctx, QStringLiteral("LogSend in frmVerifyList"),
                 {75, QStringLiteral("Could not move '%1' aside; the run is appended to it.").arg(path)},
                 false);
    if (!m_file.isOpen() && !m_file.fileName().isEmpty()) open();
}

void VerifyLog::write(const QString& line) {
    restartWhenFull();
    if (!m_file.isOpen()) open();
    const QByteArray bytes = line.toUtf8() + "\r\n";
    if (m_file.write(bytes) != bytes.size() || !m_file.flush()) {
        if (m_healthy)
            LogError(m_ctx, QStringLiteral("LogSend in frmVerifyList"),
                     {m_file.error(), m_file.errorString()}, false);
        m_healthy = false;
    }
}

QStringList VerifyLog::startBlock() const {
    const QString s = starLine();
    const QDateTime t = now();
    return {s,
            s,
            s,
            QStringLiteral("***             VERIFICATION STARTS HERE "),
            s,
            s,
            QStringLiteral("*** Date:              ") + dateText(t),
            QStringLiteral("*** Time:              ") + timeText(t),
            s,
            s,
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
            QStringLiteral("*** Number of Emails at once: ") + QString::number(facts.numberEmails),
            s,
            s,
            QStringLiteral("*** Product Version:   ") + GetVersionText(true, m_ctx.version),
            s,
            s,
            s};
}

QStringList VerifyLog::endBlock() const {
    const QString s = starLine();
    const QDateTime t = now();
    const VerifyCounts& c = facts.counts;
    return {s,
            s,
            s,
            QStringLiteral("***              VERIFICATION ENDS HERE"),
            s,
            s,
            QStringLiteral("*** Date:              ") + dateText(t),
            QStringLiteral("*** Time:              ") + timeText(t),
            s,
            s,
            QStringLiteral("*** Total Processed:      ") + QString::number(c.processed()),
            QStringLiteral("***"),
            QStringLiteral("*** Total Exist:          ") + QString::number(c.exist),
            QStringLiteral("*** Total Bad Syntax:     ") + QString::number(c.badSyntax),
            QStringLiteral("*** Total Not in DNS:     ") + QString::number(c.notInDns),
            QStringLiteral("*** Total Not in SMTP:    ") + QString::number(c.notInSmtp),
            QStringLiteral("*** Total Unknown:        ") + QString::number(c.unknown),
            QStringLiteral("*** Total Forced Timeout: ") + QString::number(c.forcedTimeout),
            s,
            s,
            s};
}

void VerifyLog::LogSend(const QString& text, bool startBlock_, bool endBlock_) {
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

} // namespace sendora::verify
