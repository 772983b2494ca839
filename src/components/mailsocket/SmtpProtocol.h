#pragma once
// Byte-level SMTP helpers: what goes on a command line, how message content is framed,
// and what the server said about itself in its EHLO reply.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace sendora::mail {

struct SmtpReply;

namespace smtp {

// Appends message content as DATA expects it: every line ended by CRLF (bare CR and bare
// LF included), lines starting with "." doubled, NUL dropped, then the CRLF "." CRLF end.
// Works on a raw pointer into one reservation, so the cost is one pass and no allocation
// when out already has the capacity. Returns true when a byte above 127 was seen.
// longestLine, when given, receives the longest framed line in bytes, CRLF not counted.
bool appendDataContent(QByteArray& out, QByteArrayView body, qsizetype* longestLine = nullptr);

// RFC 5322 2.1.1: no line of a message may exceed this, CRLF not counted.
inline constexpr qsizetype kMaxLineLength = 998;
// RFC 5321 4.5.3.1.3: the longest forward-path.
inline constexpr qsizetype kMaxAddressLength = 254;

// Why a recipient address may not go into RCPT TO, or an empty text when it may. Bytes
// below 0x21, DEL, angle brackets inside and overlong addresses are refused, never
// stripped: taking them out would send the message to a different address. One pair of
// surrounding brackets is allowed.
QString refusedRecipientReason(QStringView address);
// The address between its brackets (if any), for RCPT TO. Only for accepted addresses.
QByteArray recipientPath(QStringView address);
// Control characters written as \t, \r, \n, \x1b ... so a text can go into a log line.
QString printable(QStringView text);

// Text made safe for a command line: UTF-8, with CR, LF and NUL removed.
QByteArray commandText(QStringView text);

// The <path> of MAIL FROM / RCPT TO: takes "a@b", "<a@b>" or "Name <a@b>"; empty gives "<>".
QByteArray pathArgument(QStringView text);

// The EHLO/HELO argument: a domain, an address literal for a bare IP, "localhost" when empty.
QByteArray heloArgument(QStringView domain);

QByteArray base64(QByteArrayView data);

struct Extensions {
    bool esmtp = false;
    bool pipelining = false;
    bool startTls = false;
    bool eightBitMime = false;
    bool authPlain = false;
    bool authLogin = false;
    bool authAdvertised = false;
    qint64 sizeLimit = -1; // -1 when SIZE is not offered, 0 when offered without a limit

    static Extensions fromEhlo(const SmtpReply& reply);
};

} // namespace smtp
} // namespace sendora::mail
