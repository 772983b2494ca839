#include "authoring/MimeReader.h"

#include "mailing/compose/Windows1252.h"

#include <QList>
#include <QStringDecoder>

namespace sendora {

namespace {

// Deeper nesting than any message we compose; anything beyond is left unread.
constexpr int kMaxDepth = 16;

struct Header {
    QByteArray name; // lower case
    QByteArray value;
};

struct Entity {
    QList<Header> headers;
    QByteArray body;

    QByteArray header(const char* name) const {
        for (const Header& h : headers)
            if (h.name == name) return h.value;
        return {};
    }
};

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Headers end at the first empty line (CRLF CRLF, or bare LF LF from a hand-made file).
Entity splitEntity(const QByteArray& data) {
    Entity e;
    qsizetype end = -1;
    qsizetype bodyStart = data.size();
    const qsizetype crlf = data.indexOf("\r\n\r\n");
    const qsizetype lf = data.indexOf("\n\n");
    if (data.startsWith("\r\n")) {
        end = 0;
        bodyStart = 2;
    } else if (data.startsWith('\n')) {
        end = 0;
        bodyStart = 1;
    } else if (crlf >= 0 && (lf < 0 || crlf <= lf)) {
        end = crlf;
        bodyStart = crlf + 4;
    } else if (lf >= 0) {
        end = lf;
        bodyStart = lf + 2;
    } else {
        end = data.size();
    }
    const QByteArray block = data.left(end);
    e.body = data.mid(bodyStart);
    for (QByteArray line : block.split('\n')) {
        if (line.endsWith('\r')) line.chop(1);
        if (line.isEmpty()) continue;
        if ((line[0] == ' ' || line[0] == '\t') && !e.headers.isEmpty()) {
            e.headers.last().value += line; // folded: the line break goes, the blank stays
            continue;
        }
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0) continue;
        e.headers.append({line.left(colon).trimmed().toLower(), line.mid(colon + 1).trimmed()});
    }
    return e;
}

// The value before the first ";" (lower case) and one parameter's value.
QByteArray mainValue(const QByteArray& header) {
    const qsizetype semi = header.indexOf(';');
    return (semi < 0 ? header : header.left(semi)).trimmed().toLower();
}

QByteArray parameter(const QByteArray& header, const char* name) {
    const QByteArray key = QByteArray(name) + '=';
    const QByteArray lower = header.toLower();
    qsizetype at = 0;
    while ((at = lower.indexOf(key, at)) >= 0) {
        // Only a whole parameter name counts ("charset", not "xcharset").
        if (at > 0 && lower[at - 1] != ';' && lower[at - 1] != ' ' && lower[at - 1] != '\t') {
            at += key.size();
            continue;
        }
        qsizetype v = at + key.size();
        if (v < header.size() && header[v] == '"') {
            const qsizetype close = header.indexOf('"', v + 1);
            return header.mid(v + 1, close < 0 ? -1 : close - v - 1);
        }
        qsizetype stop = v;
        while (stop < header.size() && header[stop] != ';' && header[stop] != ' ' && header[stop] != '\t')
            ++stop;
        return header.mid(v, stop - v);
    }
    return {};
}

QByteArray decodeBody(const Entity& e) {
    const QByteArray cte = mainValue(e.header("content-transfer-encoding"));
    if (cte == "quoted-printable") return decodeQuotedPrintable(e.body);
    if (cte == "base64") return decodeBase64Lenient(e.body);
    return e.body;
}

// The parts between the boundary lines "--boundary" and up to "--boundary--".
QList<QByteArray> splitMultipart(const QByteArray& body, const QByteArray& boundary) {
    QList<QByteArray> parts;
    if (boundary.isEmpty()) return parts;
    const QByteArray delimiter = "--" + boundary;
    qsizetype partStart = -1;
    qsizetype lineStart = 0;
    while (lineStart <= body.size()) {
        qsizetype lineEnd = body.indexOf('\n', lineStart);
        const qsizetype next = lineEnd < 0 ? body.size() + 1 : lineEnd + 1;
        if (lineEnd < 0) lineEnd = body.size();
        QByteArrayView line(body.constData() + lineStart, lineEnd - lineStart);
        if (line.endsWith('\r')) line.chop(1);
        if (line.startsWith(delimiter)) {
            const QByteArrayView rest = line.sliced(delimiter.size()).trimmed();
            if (rest.isEmpty() || rest == "--") {
                if (partStart >= 0) {
                    // The CRLF before a delimiter belongs to the delimiter.
                    qsizetype partEnd = lineStart;
                    if (partEnd > partStart && body[partEnd - 1] == '\n') --partEnd;
                    if (partEnd > partStart && body[partEnd - 1] == '\r') --partEnd;
                    parts.append(body.mid(partStart, partEnd - partStart));
                }
                if (rest == "--") return parts;
                partStart = next;
            }
        }
        lineStart = next;
    }
    if (partStart >= 0 && partStart < body.size()) parts.append(body.mid(partStart));
    return parts;
}

void walk(const Entity& e, MimeMessage& out, int depth) {
    if (depth > kMaxDepth) return;
    const QByteArray contentType = e.header("content-type");
    QByteArray type = mainValue(contentType);
    if (type.isEmpty()) type = "text/plain";
    if (type.startsWith("multipart/")) {
        for (const QByteArray& part : splitMultipart(e.body, parameter(contentType, "boundary")))
            walk(splitEntity(part), out, depth + 1);
        return;
    }
    const QByteArray disposition = e.header("content-disposition");
    if (mainValue(disposition) == "attachment") {
        QByteArray name = parameter(disposition, "filename");
        if (name.isEmpty()) name = parameter(contentType, "name");
        out.attachmentNames << decodeHeaderValue(name);
        return;
    }
    if (type == "text/plain" && !out.hasText) {
        out.hasText = true;
        out.text = decodeCharset(decodeBody(e), parameter(contentType, "charset"));
    } else if (type == "text/html" && !out.hasHtml) {
        out.hasHtml = true;
        out.html = decodeCharset(decodeBody(e), parameter(contentType, "charset"));
    } else if (QByteArray id = e.header("content-id"); !id.isEmpty()) {
        id = id.trimmed();
        if (id.startsWith('<')) id = id.mid(1);
        if (id.endsWith('>')) id.chop(1);
        out.inlineImages.insert(QString::fromLatin1(id), decodeBody(e));
    } else if (!type.startsWith("text/")) {
        QByteArray name = parameter(contentType, "name");
        if (!name.isEmpty()) out.attachmentNames << decodeHeaderValue(name);
    }
}

// One encoded word "=?charset?enc?text?=" starting at at; -1 when there is none.
qsizetype encodedWordEnd(const QByteArray& raw, qsizetype at, QString* decoded) {
    if (!raw.mid(at).startsWith("=?")) return -1;
    const qsizetype q1 = raw.indexOf('?', at + 2);
    if (q1 < 0 || q1 + 2 >= raw.size() || raw[q1 + 2] != '?') return -1;
    const qsizetype end = raw.indexOf("?=", q1 + 3);
    if (end < 0) return -1;
    const QByteArray charset = raw.mid(at + 2, q1 - at - 2);
    const char enc = char(raw[q1 + 1] | 0x20);
    QByteArray text = raw.mid(q1 + 3, end - q1 - 3);
    if (text.contains(' ')) return -1;
    QByteArray bytes;
    if (enc == 'b') {
        bytes = decodeBase64Lenient(text);
    } else if (enc == 'q') {
        text.replace('_', ' ');
        bytes = decodeQuotedPrintable(text);
    } else {
        return -1;
    }
    *decoded = decodeCharset(bytes, charset);
    return end + 2;
}

} // namespace

QByteArray decodeQuotedPrintable(const QByteArray& data) {
    QByteArray out;
    out.reserve(data.size());
    for (qsizetype i = 0; i < data.size(); ++i) {
        const char c = data[i];
        if (c != '=') {
            out += c;
            continue;
        }
        // Soft line break: "=" then optional blanks and the line end.
        qsizetype j = i + 1;
        while (j < data.size() && (data[j] == ' ' || data[j] == '\t'))
            ++j;
        if (j < data.size() && (data[j] == '\r' || data[j] == '\n')) {
            if (data[j] == '\r' && j + 1 < data.size() && data[j + 1] == '\n') ++j;
            i = j;
            continue;
        }
        if (j >= data.size()) break;
        if (i + 2 < data.size()) {
            const int hi = hexValue(data[i + 1]);
            const int lo = hexValue(data[i + 2]);
            if (hi >= 0 && lo >= 0) {
                out += char(hi * 16 + lo);
                i += 2;
                continue;
            }
        }
        out += c; // a stray "=" stays itself
    }
    return out;
}

QByteArray decodeBase64Lenient(const QByteArray& data) {
    QByteArray clean;
    clean.reserve(data.size());
    for (const char c : data)
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' ||
            c == '/' || c == '=')
            clean += c;
    return QByteArray::fromBase64(clean);
}

QString decodeCharset(const QByteArray& bytes, const QByteArray& charset) {
    const QByteArray cs = charset.trimmed().toLower();
    if (cs == "utf-8" || cs == "utf8") return QString::fromUtf8(bytes);
    return fromWindows1252(bytes);
}

QString decodeHeaderValue(const QByteArray& raw) {
    QString out;
    qsizetype i = 0;
    qsizetype plainStart = 0;
    bool lastWasEncoded = false;
    while (i < raw.size()) {
        QString word;
        const qsizetype end = raw[i] == '=' ? encodedWordEnd(raw, i, &word) : -1;
        if (end < 0) {
            ++i;
            continue;
        }
        const QByteArray between = raw.mid(plainStart, i - plainStart);
        // Blanks between two encoded words are not part of the text.
        if (!(lastWasEncoded && between.trimmed().isEmpty())) out += fromWindows1252(between);
        out += word;
        i = plainStart = end;
        lastWasEncoded = true;
    }
    const QByteArray tail = raw.mid(plainStart);
    if (!lastWasEncoded || !tail.trimmed().isEmpty() || tail.isEmpty()) out += fromWindows1252(tail);
    return out;
}

MimeMessage readMime(const QByteArray& data) {
    MimeMessage out;
    const Entity top = splitEntity(data);
    out.from = decodeHeaderValue(top.header("from"));
    out.to = decodeHeaderValue(top.header("to"));
    out.subject = decodeHeaderValue(top.header("subject"));
    walk(top, out, 0);
    return out;
}

} // namespace sendora
