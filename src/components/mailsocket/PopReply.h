#pragma once
// Incremental parser for POP3 replies (RFC 1939).
//
// A reply is a status line ("+OK text" or "-ERR text"); a positive reply to a multi-line
// command is followed by data lines up to a line holding only ".". Data comes out
// dot-unstuffed, every line ended by CRLF (a bare LF counts as a line end), in chunks as it
// arrives: a data line of any length never has to fit in memory at once. Only the status
// line is held whole, and it is bounded. No Qt event loop needed, which keeps it fuzzable.

#include <QByteArray>
#include <QByteArrayView>

namespace sendora::mail {

struct PopStatusLine {
    bool ok = false;
    QByteArray text; // after "+OK" / "-ERR" and one space, without the line end
    QByteArray line; // the whole line without the line end
};

class PopReplyParser {
public:
    // RFC 2449 allows 512 octets for a status line; anything past this is hostile.
    static constexpr qsizetype MaxStatusLine = 8192;

    enum class Item {
        NeedMore, // feed more bytes
        Status,   // status() holds the status line
        Data,     // data appended to the caller's buffer
        End,      // the terminating "." line of a multi-line reply
        Malformed // error() says why; the connection cannot be trusted any more
    };

    // Before each reply: whether a positive answer is followed by data lines.
    void expect(bool multiLine);
    void feed(QByteArrayView data);
    // Takes the next item. Data is appended to out (unstuffed, CRLF line ends).
    Item next(QByteArray& out);
    const PopStatusLine& status() const { return m_status; }
    const QByteArray& error() const { return m_error; }
    // Bytes received and not yet consumed (a server talking before it is asked).
    bool hasPendingData() const { return m_pos < m_buf.size(); }
    void reset();

private:
    enum class State { Idle, StatusLine, LineStart, InLine, Broken };
    void compact();

    QByteArray m_buf;
    qsizetype m_pos = 0;
    State m_state = State::Idle;
    bool m_multiLine = false;
    PopStatusLine m_status;
    QByteArray m_error;
};

} // namespace sendora::mail
