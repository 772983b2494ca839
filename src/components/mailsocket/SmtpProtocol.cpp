#include "SmtpProtocol.h"

#include "SmtpReplyParser.h"

#include <QHostAddress>
#include <QString>
#include <algorithm>
#include <cstring>

namespace sendora::mail::smtp {

bool appendDataContent(QByteArray& out, QByteArrayView body, qsizetype* longestLine) {
    const qsizetype start = out.size();
    // Worst case: every byte a bare line end (2 bytes) plus a final CRLF and the end marker.
    out.resize(start + 2 * body.size() + 5);
    char* d = out.data() + start;
    const char* s = body.data();
    const char* const end = s + body.size();
    unsigned char high = 0;
    for (const char c : body) // a reduction the compiler vectorises
        high |= static_cast<unsigned char>(c);

    bool lineStart = true;
    const char* lineBegin = d;
    qsizetype longest = 0;
    auto endLine = [&] {
        longest = std::max(longest, qsizetype(d - lineBegin));
        *d++ = '\r';
        *d++ = '\n';
        lineBegin = d;
        lineStart = true;
    };
    // Byte by byte for a line that holds a bare CR or a NUL.
    auto slow = [&](const char* from, const char* to) {
        for (const char* p = from; p < to;) {
            const char c = *p++;
            switch (c) {
            case '\r':
                if (p < to && *p == '\n') ++p;
                [[fallthrough]];
            case '\n':
                endLine();
                continue;
            case '\0':
                continue;
            case '.':
                if (lineStart) *d++ = '.';
                break;
            default:
                break;
            }
            *d++ = c;
            lineStart = false;
        }
    };
    // Line by line: most lines are plain text and go out with one copy.
    while (s < end) {
        const char* nl = static_cast<const char*>(std::memchr(s, '\n', size_t(end - s)));
        const char* lineEnd = nl ? nl : end;
        const char* textEnd = (nl && lineEnd > s && lineEnd[-1] == '\r') ? lineEnd - 1 : lineEnd;
        const size_t n = size_t(textEnd - s);
        if (std::memchr(s, '\r', n) || std::memchr(s, '\0', n)) {
            slow(s, nl ? nl + 1 : end);
        } else {
            if (n > 0) {
                if (lineStart && *s == '.') *d++ = '.';
                std::memcpy(d, s, n);
                d += n;
                lineStart = false;
            }
            if (nl) endLine();
        }
        s = nl ? nl + 1 : end;
    }
    if (!lineStart) endLine();
    *d++ = '.';
    *d++ = '\r';
    *d++ = '\n';
    out.resize(d - out.constData());
    if (longestLine) *longestLine = longest;
    return (high & 0x80) != 0;
}

QByteArray commandText(QStringView text) {
    QByteArray out = text.toUtf8();
    out.removeIf([](char c) { return c == '\r' || c == '\n' || c == '\0'; });
    return out;
}

QByteArray pathArgument(QStringView text) {
    QStringView inner = text.trimmed();
    const qsizetype open = inner.indexOf(u'<');
    if (open >= 0) {
        inner = inner.sliced(open + 1);
        const qsizetype close = inner.indexOf(u'>');
        if (close >= 0) inner = inner.first(close);
        inner = inner.trimmed();
    }
    QByteArray out = commandText(inner);
    out.removeIf([](char c) { return c == '<' || c == '>' || c == ' '; });
    out.prepend('<');
    out.append('>');
    return out;
}

QString refusedRecipientReason(QStringView address) {
    QStringView bare = address;
    if (bare.size() >= 2 && bare.front() == u'<' && bare.back() == u'>')
        bare = bare.sliced(1, bare.size() - 2);
    if (bare.isEmpty()) return QStringLiteral("the address is empty");
    for (const QChar c : bare) {
        const char16_t u = c.unicode();
        if (u < 0x21 || u == 0x7F) return QStringLiteral("the address holds a control character or a blank");
        if (u == u'<' || u == u'>') return QStringLiteral("the address holds an angle bracket");
    }
    if (bare.size() > kMaxAddressLength)
        return QStringLiteral("the address is longer than %1 characters").arg(kMaxAddressLength);
    return {};
}

QByteArray recipientPath(QStringView address) {
    QStringView bare = address;
    if (bare.size() >= 2 && bare.front() == u'<' && bare.back() == u'>')
        bare = bare.sliced(1, bare.size() - 2);
    return '<' + bare.toUtf8() + '>';
}

QString printable(QStringView text) {
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u == u'\t')
            out += u"\\t";
        else if (u == u'\r')
            out += u"\\r";
        else if (u == u'\n')
            out += u"\\n";
        else if (u < 0x20 || u == 0x7F || (u >= 0x80 && u < 0xA0))
            out += QStringLiteral("\\x%1").arg(uint(u), 2, 16, QLatin1Char('0'));
        else
            out += c;
    }
    return out;
}

QByteArray heloArgument(QStringView domain) {
    QByteArray out = commandText(domain.trimmed());
    out.removeIf([](char c) { return c == ' ' || c == '\t'; });
    if (out.isEmpty()) return "localhost";
    QHostAddress ip;
    if (!out.startsWith('[') && ip.setAddress(QString::fromLatin1(out))) {
        const QByteArray prefix = ip.protocol() == QAbstractSocket::IPv6Protocol ? "[IPv6:" : "[";
        return prefix + out + ']';
    }
    return out;
}

QByteArray base64(QByteArrayView data) {
    return data.toByteArray().toBase64();
}

Extensions Extensions::fromEhlo(const SmtpReply& reply) {
    Extensions ext;
    ext.esmtp = true;
    const QList<QByteArrayView> lines = reply.lineTexts();
    // The first line greets; the keywords follow.
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray line = lines[i].trimmed().toByteArray().toUpper();
        QList<QByteArray> words = line.split(' ');
        const QByteArray keyword = words.isEmpty() ? QByteArray() : words.first();
        if (keyword == "PIPELINING") {
            ext.pipelining = true;
        } else if (keyword == "STARTTLS") {
            ext.startTls = true;
        } else if (keyword == "8BITMIME") {
            ext.eightBitMime = true;
        } else if (keyword == "SIZE") {
            bool ok = false;
            const qint64 limit = words.size() > 1 ? words[1].toLongLong(&ok) : 0;
            ext.sizeLimit = ok && limit > 0 ? limit : 0;
        } else if (keyword == "AUTH" || keyword.startsWith("AUTH=")) {
            // Old servers announce "AUTH=LOGIN PLAIN".
            if (keyword.startsWith("AUTH="))
                words[0] = keyword.sliced(5);
            else
                words.removeFirst();
            ext.authAdvertised = true;
            for (const QByteArray& mech : words) {
                ext.authPlain |= mech == "PLAIN";
                ext.authLogin |= mech == "LOGIN";
            }
        }
    }
    return ext;
}

} // namespace sendora::mail::smtp
