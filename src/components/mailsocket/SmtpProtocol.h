#pragma once
// Byte-level SMTP helpers: what goes on a command line, how message content is framed,
// and what the server said about itself in its EHLO reply.

#include <QByteArray>
#include <QByteArrayView>
#include <QStringView>

namespace sendora::mail {

struct SmtpReply;

namespace smtp {

// Appends message content as DATA expects it: every line ended by CRLF (bare CR and bare
// LF included), lines starting with "." doubled, NUL dropped, then the CRLF "." CRLF end.
// Works on a raw pointer into one reservation, so the cost is one pass and no allocation
// when out already has the capacity. Returns true when a byte above 127 was seen.
bool appendDataContent(QByteArray& out, QByteArrayView body);

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
