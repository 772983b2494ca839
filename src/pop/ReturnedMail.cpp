#include "pop/ReturnedMail.h"

#include "import/AddressParser.h"
#include "import/AddressRules.h"

#include <QByteArray>
#include <QStringDecoder>

namespace sendora::pop {

namespace {

// Hostile nesting and part counts stay bounded.
constexpr int kMaxDepth = 8;
constexpr int kMaxParts = 200;

// Where the first empty line starts and where the text after it begins.
bool findBlankLine(QStringView text, qsizetype* headerEnd, qsizetype* bodyStart) {
    qsizetype lineStart = 0;
    while (lineStart <= text.size()) {
        qsizetype nl = text.indexOf(u'\n', lineStart);
        const qsizetype end = nl < 0 ? text.size() : nl;
        QStringView line = text.mid(lineStart, end - lineStart);
        if (line.endsWith(u'\r')) line.chop(1);
        if (line.isEmpty()) {
            *headerEnd = lineStart;
            *bodyStart = nl < 0 ? text.size() : nl + 1;
            return true;
        }
        if (nl < 0) break;
        lineStart = nl + 1;
    }
    return false;
}

QList<QStringView> lines(QStringView text) {
    QList<QStringView> out;
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype nl = text.indexOf(u'\n', start);
        const qsizetype end = nl < 0 ? text.size() : nl;
        QStringView line = text.mid(start, end - start);
        if (line.endsWith(u'\r')) line.chop(1);
        out << line;
        if (nl < 0) break;
        start = nl + 1;
    }
    return out;
}

// Content-Type: its lower-case "type/subtype" and one parameter.
struct ContentType {
    QString mime;
    QString parameter(const QString& name) const;
    QString raw;
};

QString ContentType::parameter(const QString& name) const {
    qsizetype i = raw.indexOf(u';');
    while (i >= 0 && i < raw.size()) {
        ++i;
        while (i < raw.size() && raw[i].isSpace())
            ++i;
        const qsizetype eq = raw.indexOf(u'=', i);
        if (eq < 0) return {};
        const QString key = raw.mid(i, eq - i).trimmed();
        qsizetype v = eq + 1;
        while (v < raw.size() && raw[v].isSpace())
            ++v;
        QString value;
        if (v < raw.size() && raw[v] == u'"') {
            ++v;
            while (v < raw.size() && raw[v] != u'"') {
                if (raw[v] == u'\\' && v + 1 < raw.size()) ++v;
                value += raw[v++];
            }
            i = raw.indexOf(u';', v);
        } else {
            const qsizetype semi = raw.indexOf(u';', v);
            value = raw.mid(v, semi < 0 ? -1 : semi - v).trimmed();
            i = semi;
        }
        if (key.compare(name, Qt::CaseInsensitive) == 0) return value;
    }
    return {};
}

ContentType contentType(QStringView headers) {
    ContentType t;
    t.raw = headerValue(headers, u"Content-Type");
    t.mime = t.raw.section(u';', 0, 0).trimmed().toLower();
    return t;
}

// The parts of a multipart body, without their boundary lines.
QList<QStringView> multipartParts(QStringView body, const QString& boundary) {
    QList<QStringView> parts;
    if (boundary.isEmpty()) return parts;
    const QString delimiter = QStringLiteral("--") + boundary;
    qsizetype partStart = -1;
    qsizetype start = 0;
    while (start < body.size() && parts.size() < kMaxParts) {
        qsizetype nl = body.indexOf(u'\n', start);
        const qsizetype end = nl < 0 ? body.size() : nl;
        QStringView line = body.mid(start, end - start);
        if (line.endsWith(u'\r')) line.chop(1);
        if (line.startsWith(delimiter)) {
            const QStringView rest = line.mid(delimiter.size()).trimmed();
            if (rest.isEmpty() || rest == u"--") {
                if (partStart >= 0) {
                    // The line break before a boundary belongs to the boundary.
                    qsizetype partEnd = start;
                    if (partEnd > partStart && body[partEnd - 1] == u'\n') --partEnd;
                    if (partEnd > partStart && body[partEnd - 1] == u'\r') --partEnd;
                    parts << body.mid(partStart, partEnd - partStart);
                }
                if (rest == u"--") break;
                partStart = nl < 0 ? body.size() : nl + 1;
            }
        }
        if (nl < 0) break;
        start = nl + 1;
    }
    return parts;
}

QString decodeTransfer(QStringView body, const QString& encoding) {
    const QString e = encoding.trimmed().toLower();
    if (e == u"base64") {
        QByteArray data;
        for (QChar c : body)
            if (c.unicode() < 128 && !c.isSpace()) data += char(c.unicode());
        return QString::fromUtf8(QByteArray::fromBase64(data));
    }
    if (e == u"quoted-printable") {
        QByteArray out;
        const QByteArray in = body.toLatin1();
        for (qsizetype i = 0; i < in.size(); ++i) {
            if (in[i] == '=' && i + 1 < in.size() && (in[i + 1] == '\r' || in[i + 1] == '\n')) {
                i += (in[i + 1] == '\r' && i + 2 < in.size() && in[i + 2] == '\n') ? 2 : 1;
            } else if (in[i] == '=' && i + 2 < in.size()) {
                bool ok = false;
                const int v = in.mid(i + 1, 2).toInt(&ok, 16);
                if (ok) {
                    out += char(v);
                    i += 2;
                } else {
                    out += in[i];
                }
            } else {
                out += in[i];
            }
        }
        return QString::fromUtf8(out);
    }
    return body.toString();
}

// The address of a "type; address" field value, or empty.
QString fieldAddress(const QString& value) {
    const qsizetype semi = value.indexOf(u';');
    QString a = (semi < 0 ? value : value.mid(semi + 1)).trimmed();
    if (a.startsWith(u'<') && a.endsWith(u'>')) a = a.mid(1, a.size() - 2).trimmed();
    return IsValidEmailAddress(a) ? a : QString();
}

// The recipient blocks of a delivery-status body: failed addresses in order.
QStringList failedInStatus(const QString& status) {
    QStringList failed;
    QString finalRecipient, originalRecipient, action;
    auto closeBlock = [&] {
        if (action.compare(u"failed", Qt::CaseInsensitive) == 0) {
            QString a = fieldAddress(finalRecipient);
            if (a.isEmpty()) a = fieldAddress(originalRecipient);
            if (!a.isEmpty() && !failed.contains(a, Qt::CaseInsensitive)) failed << a;
        }
        finalRecipient.clear();
        originalRecipient.clear();
        action.clear();
    };
    QString field, value;
    auto closeField = [&] {
        if (field.compare(u"Final-Recipient", Qt::CaseInsensitive) == 0)
            finalRecipient = value.trimmed();
        else if (field.compare(u"Original-Recipient", Qt::CaseInsensitive) == 0)
            originalRecipient = value.trimmed();
        else if (field.compare(u"Action", Qt::CaseInsensitive) == 0)
            // "failed (bad destination mailbox address)": the comment is not part of the value.
            action = value.section(u'(', 0, 0).trimmed();
        field.clear();
        value.clear();
    };
    for (QStringView line : lines(status)) {
        if (line.trimmed().isEmpty()) {
            closeField();
            closeBlock();
        } else if (line.front() == u' ' || line.front() == u'\t') {
            value += u' ' + line.trimmed().toString();
        } else {
            closeField();
            const qsizetype colon = line.indexOf(u':');
            if (colon > 0) {
                field = line.left(colon).trimmed().toString();
                value = line.mid(colon + 1).toString();
            }
        }
    }
    closeField();
    closeBlock();
    return failed;
}

bool findReport(QStringView entity, int depth, QStringList* failed) {
    if (depth > kMaxDepth) return false;
    const QStringView headers = headerSection(entity);
    const ContentType type = contentType(headers);
    if (!type.mime.startsWith(u"multipart/")) return false;
    const QList<QStringView> parts =
        multipartParts(bodySection(entity), type.parameter(QStringLiteral("boundary")));
    const bool report =
        type.mime == u"multipart/report" &&
        type.parameter(QStringLiteral("report-type")).compare(u"delivery-status", Qt::CaseInsensitive) == 0;
    if (report) {
        for (QStringView part : parts) {
            const QStringView partHeaders = headerSection(part);
            const QString mime = contentType(partHeaders).mime;
            if (mime == u"message/delivery-status" || mime == u"message/global-delivery-status") {
                *failed = failedInStatus(decodeTransfer(
                    bodySection(part), headerValue(partHeaders, u"Content-Transfer-Encoding")));
                return true;
            }
        }
        // A report without its status part names nobody.
        failed->clear();
        return true;
    }
    for (QStringView part : parts)
        if (findReport(part, depth + 1, failed)) return true;
    return false;
}

QString plainName(const QString& name) {
    return name == kNameNotFound ? QString() : name;
}

} // namespace

QStringView headerSection(QStringView message) {
    qsizetype headerEnd = 0, bodyStart = 0;
    return findBlankLine(message, &headerEnd, &bodyStart) ? message.left(headerEnd) : message;
}

QStringView bodySection(QStringView message) {
    qsizetype headerEnd = 0, bodyStart = 0;
    return findBlankLine(message, &headerEnd, &bodyStart) ? message.mid(bodyStart) : QStringView();
}

QString headerValue(QStringView headers, QStringView name) {
    QString value;
    bool inField = false;
    for (QStringView line : lines(headers)) {
        if (inField) {
            if (!line.isEmpty() && (line.front() == u' ' || line.front() == u'\t')) {
                value += u' ' + line.trimmed().toString();
                continue;
            }
            return value.trimmed();
        }
        const qsizetype colon = line.indexOf(u':');
        if (colon > 0 && line.left(colon).trimmed().compare(name, Qt::CaseInsensitive) == 0) {
            value = line.mid(colon + 1).toString();
            inField = true;
        }
    }
    return value.trimmed();
}

FoundAddress firstAddressIn(QStringView line) {
    const QStringView bounded = line.left(kMaxLineLength);
    FoundAddress f;
    qsizetype position = 1;
    f.address = FindNextAddress(bounded, position, f.firstName, f.lastName);
    if (f.address.isEmpty()) return {};
    f.firstName = plainName(f.firstName);
    f.lastName = plainName(f.lastName);
    return f;
}

QStringList failedDeliveryRecipients(QStringView message, bool* found) {
    QStringList failed;
    const bool report = findReport(message, 0, &failed);
    if (found) *found = report;
    return failed;
}

namespace {

// The rest of the line after position `at` + 4 ("To: ").
QStringView toLineValue(QStringView body, qsizetype at) {
    const qsizetype start = at + 4;
    qsizetype end = start;
    while (end < body.size() && body[end] != u'\r' && body[end] != u'\n')
        ++end;
    return body.mid(start, end - start);
}

} // namespace

ReturnedRecipients returnedRecipients(QStringView message, bool checkOriginalTo) {
    ReturnedRecipients r;
    const QStringList failed = failedDeliveryRecipients(message, &r.deliveryReport);
    if (r.deliveryReport) {
        for (const QString& a : failed) {
            FoundAddress f = firstAddressIn(a);
            if (f.address.isEmpty()) continue;
            r.log << QStringLiteral("P: Delivery Status Recipient... < Final-Recipient: ") + f.address +
                         QStringLiteral(">");
            r.addresses << f;
        }
        if (r.addresses.isEmpty())
            r.log << QStringLiteral("P: Delivery Status... no failed recipient, not returned mail");
        return r;
    }
    const QStringView body = bodySection(message);
    const qsizetype first = body.indexOf(u"To: ");
    if (first < 0) return r;
    FoundAddress f = firstAddressIn(toLineValue(body, first));
    r.log << QStringLiteral("P: Returned Message Recipient... < To: ") + f.address + QStringLiteral(">");
    if (f.address.isEmpty() && checkOriginalTo) {
        qsizetype next = first;
        do {
            next = body.indexOf(u"To: ", next + 1);
        } while (next >= 6 && body.mid(next - 6, 6) == u"Reply-");
        if (next >= 0) {
            f = firstAddressIn(toLineValue(body, next));
            r.log << QStringLiteral("P: Original Message Recipient... < To: ") + f.address +
                         QStringLiteral(">");
        }
    }
    if (!f.address.isEmpty()) r.addresses << f;
    return r;
}

} // namespace sendora::pop

namespace sendora::pop {

QString decodedHeaderValue(const QString& value) {
    if (!value.contains(QLatin1String("=?"))) return value;
    QString out;
    qsizetype i = 0;
    bool lastWasWord = false;
    while (i < value.size()) {
        const qsizetype start = value.indexOf(QLatin1String("=?"), i);
        if (start < 0) {
            out += value.mid(i);
            break;
        }
        // =?charset?enc?text?=
        const qsizetype q1 = value.indexOf(u'?', start + 2);
        const qsizetype q2 = q1 < 0 ? -1 : value.indexOf(u'?', q1 + 1);
        const qsizetype end = q2 < 0 ? -1 : value.indexOf(QLatin1String("?="), q2 + 1);
        if (q1 < 0 || q2 != q1 + 2 || end < 0) {
            out += value.mid(i);
            break;
        }
        const QString between = value.mid(i, start - i);
        // White space between two encoded words is not part of the text.
        if (!(lastWasWord && between.trimmed().isEmpty())) out += between;
        const QByteArray charset = value.mid(start + 2, q1 - start - 2).section(u'*', 0, 0).toLatin1();
        const QChar enc = value[q1 + 1].toUpper();
        const QByteArray text = value.mid(q2 + 1, end - q2 - 1).toLatin1();
        QByteArray bytes;
        if (enc == u'B') {
            bytes = QByteArray::fromBase64(text);
        } else if (enc == u'Q') {
            for (qsizetype k = 0; k < text.size(); ++k) {
                if (text[k] == '_') {
                    bytes += ' ';
                } else if (text[k] == '=' && k + 2 < text.size()) {
                    bool ok = false;
                    const int v = text.mid(k + 1, 2).toInt(&ok, 16);
                    bytes += ok ? char(v) : '=';
                    if (ok) k += 2;
                } else {
                    bytes += text[k];
                }
            }
        } else {
            out += value.mid(start, end + 2 - start);
            i = end + 2;
            lastWasWord = false;
            continue;
        }
        QStringDecoder decoder(charset.constData());
        out += decoder.isValid() ? decoder.decode(bytes) : QString::fromLatin1(bytes);
        i = end + 2;
        lastWasWord = true;
    }
    return out;
}

} // namespace sendora::pop
