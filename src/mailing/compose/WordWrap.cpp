#include "mailing/compose/WordWrap.h"

#include "mailing/compose/MimeParts.h"

namespace sendora {

namespace {

template <typename S> S wrap(const S& text, int width) {
    if (width < 1 || width > text.size()) return text;
    S out;
    out.reserve(text.size() + text.size() / width * 2 + 2);
    const S crlf = S("\r\n");
    qsizetype pos = 0;
    while (pos < text.size()) {
        const S chunk = text.mid(pos, width);
        const qsizetype next = pos + chunk.size();
        qsizetype cut = chunk.lastIndexOf('\n');
        if (chunk.endsWith('\r') && next < text.size() && text[next] == '\n') {
            // The window ends inside a CRLF: the line break is whole, cut after it.
            cut = chunk.size() + 1;
            out += text.mid(pos, cut);
        } else if (cut >= 0) {
            ++cut;
            out += chunk.left(cut);
        } else if ((cut = chunk.lastIndexOf(' ')) >= 0) {
            ++cut;
            out += chunk.left(cut);
            out += crlf;
        } else {
            cut = chunk.size();
            out += chunk;
            out += crlf;
        }
        pos += cut;
    }
    return out;
}

template <typename S> bool textPart(const S& message, qsizetype* begin, qsizetype* end) {
    const S header = S(kTextPartHeader.toLatin1().constData());
    const qsizetype h = message.indexOf(header);
    if (h < 0) return false;
    *begin = h + header.size();
    *end = message.size();
    for (const char* boundary : {kAlternativeBoundary, kMixedBoundary}) {
        const qsizetype at = message.indexOf(S("--") + S(boundary), *begin);
        if (at >= 0 && at < *end) *end = at;
    }
    return true;
}

template <typename S> S wrapPart(const S& message, int width) {
    qsizetype begin = 0, end = 0;
    if (width < 1 || !textPart(message, &begin, &end)) return message;
    return message.left(begin) + wrap(message.mid(begin, end - begin), width) + message.mid(end);
}

} // namespace

QString WordWrap(const QString& text, int width) {
    return wrap(text, width);
}
QByteArray WordWrap(const QByteArray& text, int width) {
    return wrap(text, width);
}
bool findTextPart(const QString& message, qsizetype* begin, qsizetype* end) {
    return textPart(message, begin, end);
}
bool findTextPart(const QByteArray& message, qsizetype* begin, qsizetype* end) {
    return textPart(message, begin, end);
}
QString WrapTextPart(const QString& message, int width) {
    return wrapPart(message, width);
}
QByteArray WrapTextPart(const QByteArray& message, int width) {
    return wrapPart(message, width);
}

} // namespace sendora
