#include "PopReply.h"

#include <cstring>

namespace sendora::mail {

void PopReplyParser::reset() {
    m_buf.clear();
    m_pos = 0;
    m_state = State::Idle;
    m_multiLine = false;
    m_status = PopStatusLine();
    m_error.clear();
}

void PopReplyParser::expect(bool multiLine) {
    if (m_state == State::Broken) return;
    m_multiLine = multiLine;
    m_state = State::StatusLine;
    m_status = PopStatusLine();
}

void PopReplyParser::feed(QByteArrayView data) {
    if (m_state == State::Broken) return;
    compact();
    m_buf.append(data);
}

// Drops consumed bytes once they dominate the buffer, so a long reply never grows it.
void PopReplyParser::compact() {
    if (m_pos == 0) return;
    if (m_pos == m_buf.size()) {
        m_buf.resize(0);
        m_pos = 0;
    } else if (m_pos > 65536 || m_pos * 2 > m_buf.size()) {
        m_buf.remove(0, m_pos);
        m_pos = 0;
    }
}

PopReplyParser::Item PopReplyParser::next(QByteArray& out) {
    const char* data = m_buf.constData();
    const qsizetype size = m_buf.size();
    switch (m_state) {
    case State::Broken:
        return Item::Malformed;
    case State::Idle:
        return Item::NeedMore;
    case State::StatusLine: {
        const char* lf = static_cast<const char*>(std::memchr(data + m_pos, '\n', size_t(size - m_pos)));
        if (!lf) {
            if (size - m_pos > MaxStatusLine + 1) { // room for the CR of CRLF
                m_state = State::Broken;
                m_error = "status line too long";
                return Item::Malformed;
            }
            return Item::NeedMore;
        }
        qsizetype end = lf - data;
        const qsizetype next = end + 1;
        if (end > m_pos && data[end - 1] == '\r') --end;
        if (end - m_pos > MaxStatusLine) {
            m_state = State::Broken;
            m_error = "status line too long";
            return Item::Malformed;
        }
        const QByteArrayView line(data + m_pos, end - m_pos);
        m_pos = next;
        m_status.line = line.toByteArray();
        if (line.startsWith("+OK")) {
            m_status.ok = true;
            m_status.text = line.sliced(3).toByteArray();
        } else if (line.startsWith("-ERR")) {
            m_status.ok = false;
            m_status.text = line.sliced(4).toByteArray();
        } else {
            m_state = State::Broken;
            m_error = "reply is neither +OK nor -ERR";
            return Item::Malformed;
        }
        if (m_status.text.startsWith(' ')) m_status.text.remove(0, 1);
        m_state = m_status.ok && m_multiLine ? State::LineStart : State::Idle;
        return Item::Status;
    }
    case State::LineStart:
    case State::InLine:
        break;
    }

    const qsizetype before = out.size();
    while (m_pos < size) {
        if (m_state == State::LineStart) {
            if (data[m_pos] == '.') {
                // "." alone ends the reply; any other leading dot is stuffing.
                if (m_pos + 1 >= size) break;
                const char c1 = data[m_pos + 1];
                if (c1 == '\n') {
                    if (before != out.size()) return Item::Data;
                    m_pos += 2;
                    m_state = State::Idle;
                    return Item::End;
                }
                if (c1 == '\r') {
                    if (m_pos + 2 >= size) break;
                    if (data[m_pos + 2] == '\n') {
                        if (before != out.size()) return Item::Data;
                        m_pos += 3;
                        m_state = State::Idle;
                        return Item::End;
                    }
                }
                ++m_pos;
            }
            m_state = State::InLine;
            continue;
        }
        const char* lf = static_cast<const char*>(std::memchr(data + m_pos, '\n', size_t(size - m_pos)));
        if (!lf) {
            // Part of a line: pass it on now, keeping back a CR that may start the line end.
            qsizetype end = size;
            if (data[end - 1] == '\r') --end;
            out.append(data + m_pos, end - m_pos);
            m_pos = end;
            break;
        }
        qsizetype end = lf - data;
        const qsizetype next = end + 1;
        if (end > m_pos && data[end - 1] == '\r') --end;
        out.append(data + m_pos, end - m_pos);
        out.append("\r\n", 2);
        m_pos = next;
        m_state = State::LineStart;
    }
    return before == out.size() ? Item::NeedMore : Item::Data;
}

} // namespace sendora::mail
