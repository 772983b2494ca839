#include "mailing/compose/MimeEncoding.h"

#include <cstring>

namespace sendora {

namespace {

const QByteArray kCrLf = QByteArrayLiteral("\r\n");

// Characters that a header can only carry inside an encoded word.
bool needsWords(QStringView text) {
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u >= 0x7F || (u < 0x20 && u != u'\t')) return true;
    }
    return false;
}

// RFC 2047 5(3): what may stand for itself in an encoded word, wherever it appears.
bool plainInWord(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '!' ||
           c == '*' || c == '+' || c == '-' || c == '/';
}

void appendHex(QByteArray& out, unsigned char b) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    out += '=';
    out += kHex[b >> 4];
    out += kHex[b & 15];
}

// Encoded words of bytes, one per line, the first after used characters; ends with CRLF.
// RFC 2047 2: a line holding an encoded word is at most 76 characters.
QByteArray encodedWords(QByteArrayView bytes, qsizetype used) {
    static constexpr char kPrefix[] = "=?windows-1252?Q?";
    constexpr qsizetype kOverhead = sizeof(kPrefix) - 1 + 2;
    QByteArray out;
    QByteArray word;
    qsizetype room = 76 - used - kOverhead;
    auto flush = [&] {
        if (!out.isEmpty()) out += "\r\n ";
        out += kPrefix + word + "?=";
        word.clear();
        room = 76 - 1 - kOverhead;
    };
    for (const char c : bytes) {
        QByteArray token;
        if (plainInWord(c))
            token = QByteArray(1, c);
        else if (c == ' ')
            token = "_";
        else
            appendHex(token, static_cast<unsigned char>(c));
        if (!word.isEmpty() && word.size() + token.size() > room) flush();
        word += token;
    }
    flush();
    return out + kCrLf;
}

// Folds an ASCII line at blanks to lines of kFoldWidth where it can; false when a line
// would still be over the limit.
bool foldAtBlanks(const QByteArray& line, qsizetype minCut, QByteArray* folded) {
    QByteArray out;
    qsizetype start = 0;
    auto isBlank = [&](qsizetype i) { return line[i] == ' ' || line[i] == '\t'; };
    while (line.size() - start > kFoldWidth) {
        qsizetype cut = start + kFoldWidth;
        while (cut > std::max(start, minCut) && !isBlank(cut))
            --cut;
        if (cut <= std::max(start, minCut)) {
            cut = start + kFoldWidth;
            while (cut < line.size() && !isBlank(cut))
                ++cut;
            if (cut >= line.size()) break;
        }
        if (cut - start > kMaxMailLine) return false;
        out += line.mid(start, cut - start) + kCrLf;
        start = cut; // the continuation starts with the blank
    }
    if (line.size() - start > kMaxMailLine) return false;
    *folded = out + line.mid(start) + kCrLf;
    return true;
}

qsizetype lastLineLength(const QByteArray& text) {
    return text.size() - (text.lastIndexOf('\n') + 1);
}

} // namespace

QString quotedString(QStringView text) {
    QString out;
    out.reserve(text.size() + 2);
    out += u'"';
    for (const QChar c : text) {
        if (c == u'"' || c == u'\\') out += u'\\';
        out += c;
    }
    out += u'"';
    return out;
}

QByteArray unstructuredHeader(QByteArrayView name, QStringView value, Cp1252Replacement* replaced) {
    const QByteArray lead = name.toByteArray() + ": ";
    if (!needsWords(value)) {
        const QByteArray line = lead + value.toLatin1();
        if (line.size() <= kMaxMailLine) return line + kCrLf;
        QByteArray folded;
        if (foldAtBlanks(line, lead.size(), &folded)) return folded;
    }
    return lead + encodedWords(toWindows1252(value, replaced), lead.size());
}

QByteArray mailboxHeader(QByteArrayView name, QStringView displayName, QStringView address,
                         Cp1252Replacement* replaced) {
    const QByteArray lead = name.toByteArray() + ": ";
    const QByteArray path = '<' + toWindows1252(address, replaced) + '>';
    if (displayName.isEmpty()) return lead + path + kCrLf;
    if (!needsWords(displayName)) {
        const QByteArray phrase = lead + quotedString(displayName).toLatin1();
        if (phrase.size() + 1 + path.size() <= kMaxMailLine) return phrase + ' ' + path + kCrLf;
        if (phrase.size() <= kMaxMailLine) return phrase + "\r\n " + path + kCrLf;
    }
    QByteArray words = encodedWords(toWindows1252(displayName, replaced), lead.size());
    words.chop(2);
    const bool fits = lastLineLength(words) + 1 + path.size() <= kFoldWidth;
    return lead + words + (fits ? " " : "\r\n ") + path + kCrLf;
}

QByteArray groupHeader(QByteArrayView name, QStringView displayText, Cp1252Replacement* replaced) {
    const QByteArray lead = name.toByteArray() + ": ";
    const QString text = displayText.toString() + u' ';
    if (!needsWords(text)) {
        const QByteArray line = lead + quotedString(text).toLatin1();
        if (line.size() <= kMaxMailLine) return line + kCrLf;
    }
    return lead + encodedWords(toWindows1252(text, replaced), lead.size());
}

bool partNeedsEncoding(QByteArrayView part) {
    unsigned char high = 0;
    for (const char c : part) // a reduction the compiler vectorises
        high |= static_cast<unsigned char>(c);
    if (high & 0x80) return true;
    const char* p = part.data();
    const char* const end = p + part.size();
    while (p < end) {
        const char* nl = static_cast<const char*>(std::memchr(p, '\n', size_t(end - p)));
        const char* lineEnd = nl ? nl : end;
        if (nl && (lineEnd == p || lineEnd[-1] != '\r')) return true; // a bare LF
        const char* textEnd = nl ? lineEnd - 1 : lineEnd;
        const qsizetype n = textEnd - p;
        if (n + (n > 0 && *p == '.' ? 1 : 0) > kMaxMailLine) return true;
        if (std::memchr(p, '\r', size_t(n)) || std::memchr(p, '\0', size_t(n))) return true;
        if (n >= 5 && p[0] == '-' && p[1] == '-' && (p[2] | 0x20) == 'k' && (p[3] | 0x20) == 'l' &&
            (p[4] | 0x20) == 'x')
            return true;
        p = nl ? nl + 1 : end;
    }
    return false;
}

QByteArray quotedPrintable(QByteArrayView part) {
    constexpr qsizetype kWidth = 75; // plus the "=" of a soft break
    static constexpr char kHex[] = "0123456789ABCDEF";
    const qsizetype n = part.size();
    const char* in = part.data();
    // Written through a pointer: this runs over every personal message's text.
    QByteArray out(n + n / 8 + 16, Qt::Uninitialized);
    char* w = out.data();
    char* end = w + out.size();
    qsizetype column = 0;
    for (qsizetype i = 0; i < n; ++i) {
        if (end - w < 6) { // a soft break and an escape at most
            const qsizetype used = w - out.data();
            out.resize(used + (n - i) * 3 + 16);
            w = out.data() + used;
            end = out.data() + out.size();
        }
        // A run of characters that stand for themselves, up to the end of the line's room.
        if (column > 0) {
            const qsizetype stop = std::min(n, i + std::min(kWidth - column, qsizetype(end - w) - 6));
            qsizetype j = i;
            for (; j < stop; ++j) {
                const char c = in[j];
                if (c >= 33 && c <= 126 && c != '=') continue;
                // A blank stands for itself unless it ends the line.
                if ((c == ' ' || c == '\t') && j + 1 < n &&
                    !(in[j + 1] == '\r' && j + 2 < n && in[j + 2] == '\n'))
                    continue;
                break;
            }
            std::memcpy(w, in + i, size_t(j - i));
            w += j - i;
            column += j - i;
            i = j;
            if (i == n) break;
        }
        const char c = in[i];
        if (c == '\r' && i + 1 < n && in[i + 1] == '\n') {
            *w++ = '\r';
            *w++ = '\n';
            column = 0;
            ++i;
            continue;
        }
        const bool lineEnds = i + 1 == n || (in[i + 1] == '\r' && i + 2 < n && in[i + 2] == '\n');
        bool literal = (c >= 33 && c <= 126 && c != '=') || ((c == ' ' || c == '\t') && !lineEnds);
        if (literal) {
            if (column + 1 > kWidth) {
                *w++ = '=';
                *w++ = '\r';
                *w++ = '\n';
                column = 0;
            }
            // "-" opening a line could start a boundary delimiter.
            if (c == '-' && column == 0) literal = false;
        }
        if (literal) {
            *w++ = c;
            ++column;
        } else {
            if (column + 3 > kWidth) {
                *w++ = '=';
                *w++ = '\r';
                *w++ = '\n';
                column = 0;
            }
            const auto b = static_cast<unsigned char>(c);
            *w++ = '=';
            *w++ = kHex[b >> 4];
            *w++ = kHex[b & 15];
            column += 3;
        }
    }
    out.truncate(w - out.data());
    return out;
}

QString htmlEscaped(QStringView text) {
    QString out;
    out.reserve(text.size() + 16);
    for (const QChar c : text) {
        switch (c.unicode()) {
        case u'&':
            out += u"&amp;";
            break;
        case u'<':
            out += u"&lt;";
            break;
        case u'>':
            out += u"&gt;";
            break;
        case u'"':
            out += u"&quot;";
            break;
        case u'\'':
            out += u"&#39;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

} // namespace sendora
