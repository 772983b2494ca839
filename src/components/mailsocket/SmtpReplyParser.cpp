#include "SmtpReplyParser.h"

#include <cstring>

namespace sendora::mail {

QList<QByteArrayView> SmtpReply::lineTexts() const {
    QList<QByteArrayView> out;
    QByteArrayView all(text);
    while (!all.isEmpty()) {
        qsizetype end = all.indexOf("\r\n");
        QByteArrayView line = end < 0 ? all : all.first(end);
        out.append(line.size() > 4 ? line.sliced(4) : QByteArrayView());
        all = end < 0 ? QByteArrayView() : all.sliced(end + 2);
    }
    return out;
}

QByteArrayView SmtpReply::firstLine() const {
    QByteArrayView all(text);
    qsizetype end = all.indexOf("\r\n");
    return end < 0 ? all : all.first(end);
}

void SmtpReplyParser::feed(QByteArrayView data) {
    if (m_pos > 0 && (m_pos == m_buf.size() || m_pos > 65536)) {
        m_buf.remove(0, m_pos);
        m_pos = 0;
    }
    m_buf.append(data);
}

void SmtpReplyParser::reset() {
    m_buf.clear();
    m_pos = 0;
    m_current = SmtpReply();
    m_discarding = false;
}

bool SmtpReplyParser::fail(SmtpReply& out, const char* why, QByteArrayView line) {
    out = SmtpReply();
    out.malformed = true;
    out.error = why;
    if (!line.isNull()) {
        out.error += ": \"";
        for (char c : line.first(std::min<qsizetype>(line.size(), 80)))
            out.error += (static_cast<unsigned char>(c) < 32 || c == 127) ? '?' : c;
        out.error += '"';
    }
    out.text = out.error;
    out.lineCount = 1;
    m_current = SmtpReply();
    return true;
}

static bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

bool SmtpReplyParser::next(SmtpReply& out) {
    for (;;) {
        const char* base = m_buf.constData() + m_pos;
        const qsizetype avail = m_buf.size() - m_pos;
        const char* nl =
            avail > 0 ? static_cast<const char*>(std::memchr(base, '\n', size_t(avail))) : nullptr;
        if (!nl) {
            if (m_discarding) {
                m_pos = m_buf.size();
            } else if (avail > MaxLineLength) {
                m_discarding = true;
                m_pos = m_buf.size();
                return fail(out, "reply line too long", QByteArrayView(base, 40));
            }
            return false;
        }
        qsizetype len = nl - base;
        m_pos += len + 1;
        if (m_discarding) {
            m_discarding = false;
            continue;
        }
        if (len > 0 && base[len - 1] == '\r') --len;
        const QByteArrayView line(base, len);
        if (len > MaxLineLength) return fail(out, "reply line too long", line.first(40));
        if (len < 3 || !isDigit(line[0]) || !isDigit(line[1]) || !isDigit(line[2]) ||
            (len > 3 && line[3] != ' ' && line[3] != '-'))
            return fail(out, "malformed reply line", line);
        const int code = (line[0] - '0') * 100 + (line[1] - '0') * 10 + (line[2] - '0');
        if (code < 200 || code > 599) return fail(out, "reply code out of range", line);
        if (m_current.lineCount > 0 && code != m_current.code)
            return fail(out, "reply code changed inside a multi-line reply", line);
        if (m_current.lineCount >= MaxLines) return fail(out, "too many reply lines", line);
        if (m_current.lineCount > 0) m_current.text += "\r\n";
        m_current.text += line;
        m_current.code = code;
        ++m_current.lineCount;
        if (len > 3 && line[3] == '-') continue;
        out = std::move(m_current);
        m_current = SmtpReply();
        return true;
    }
}

} // namespace sendora::mail
