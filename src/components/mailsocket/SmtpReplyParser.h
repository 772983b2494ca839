#pragma once
// Incremental parser for SMTP replies (RFC 5321 section 4.2).
//
// Bytes go in as they arrive; complete replies come out. A reply is one or more lines
// "ddd-text" ending with "ddd text" (or a bare "ddd"). Anything else yields a reply with
// malformed set and a short description, so the caller can fail the exchange cleanly
// instead of guessing. Lines may end in CRLF or bare LF. No Qt event loop needed, which
// keeps it fuzzable.

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

namespace sendora::mail {

struct SmtpReply {
    int code = 0;    // 0 when malformed
    QByteArray text; // the reply lines as received, without line ends, joined by CRLF
    int lineCount = 0;
    bool malformed = false;
    QByteArray error; // why it is malformed

    bool isMultiline() const { return lineCount > 1; }
    int replyClass() const { return code / 100; }
    bool isPositive() const { return code >= 200 && code < 400; }
    // Text of each line after the code and separator.
    QList<QByteArrayView> lineTexts() const;
    QByteArrayView firstLine() const;
};

class SmtpReplyParser {
public:
    // RFC 5321 allows 512 octets; real servers exceed that, hostile ones exceed anything.
    static constexpr qsizetype MaxLineLength = 8192;
    static constexpr int MaxLines = 1000;

    void feed(QByteArrayView data);
    // Takes the next complete reply; false when more bytes are needed.
    bool next(SmtpReply& out);
    // Bytes received but not yet part of a returned reply (STARTTLS injection check).
    bool hasPendingData() const { return m_pos < m_buf.size() || m_current.lineCount > 0; }
    void reset();

private:
    bool fail(SmtpReply& out, const char* why, QByteArrayView line);

    QByteArray m_buf;
    qsizetype m_pos = 0;
    SmtpReply m_current;
    bool m_discarding = false; // skipping the rest of an over-long line
};

} // namespace sendora::mail
