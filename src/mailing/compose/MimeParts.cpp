#include "mailing/compose/MimeParts.h"

#include "core/AppContext.h"
#include "core/ErrorLog.h"
#include "mailing/compose/Base64.h"
#include "mailing/compose/WordWrap.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>

namespace sendora {

namespace {

const QString kCrLf = QStringLiteral("\r\n");

QString delimiter(const char* boundary) {
    return QStringLiteral("--") + QLatin1String(boundary);
}
QString closeDelimiter(const char* boundary) {
    return delimiter(boundary) + QStringLiteral("--");
}
QString multipartHeader(const char* kind, const char* boundary) {
    return QStringLiteral("Content-Type: multipart/%1; boundary=\"%2\"")
        .arg(QLatin1String(kind), QLatin1String(boundary));
}

void logStep(AppContext& ctx, const char* caller, const std::exception& e) {
    LogError(ctx, QString::fromLatin1(caller), errorInfo(e), false);
}

bool isWebAddress(const QString& value) {
    return value.startsWith(QLatin1String("http://"), Qt::CaseInsensitive) ||
           value.startsWith(QLatin1String("https://"), Qt::CaseInsensitive);
}

// cid:, data:, mailto: and the like name no file; a drive letter ("C:") is not a scheme.
bool hasOtherScheme(const QString& value) {
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]+:"));
    return scheme.match(value).hasMatch() && !value.startsWith(QLatin1String("file:"), Qt::CaseInsensitive);
}

// "file:" dropped, backslashes turned around; "file:///x" and "file://localhost/x" give "/x".
QString localPath(QString value) {
    if (value.startsWith(QLatin1String("file:"), Qt::CaseInsensitive)) value.remove(0, 5);
    value.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (value.startsWith(QLatin1String("//localhost/"), Qt::CaseInsensitive))
        value.remove(0, 11);
    else if (value.startsWith(QLatin1String("///")))
        value.remove(0, 2);
    return value;
}

bool isAbsolute(const QString& path) {
    static const QRegularExpression drive(QStringLiteral("^[A-Za-z]:/"));
    return path.startsWith(QLatin1Char('/')) || drive.match(path).hasMatch();
}

// The folder a base names: itself when it ends in "/", else the folder of a file name
// ("pages/index.html"), else the base taken as a folder.
QString baseFolder(const QString& base) {
    if (base.endsWith(QLatin1Char('/'))) return base;
    const qsizetype slash = base.lastIndexOf(QLatin1Char('/'));
    if (base.mid(slash + 1).contains(QLatin1Char('.'))) return base.left(slash + 1);
    return base + QLatin1Char('/');
}

QString joinToBase(QString folder, QString relative) {
    while (true) {
        if (relative.startsWith(QLatin1String("./"))) {
            relative.remove(0, 2);
        } else if (relative.startsWith(QLatin1String("../"))) {
            relative.remove(0, 3);
            const qsizetype slash = folder.lastIndexOf(QLatin1Char('/'), folder.size() - 2);
            if (slash >= 0) folder.truncate(slash + 1);
        } else {
            break;
        }
    }
    return folder + relative;
}

// The values of attr in every <tag ...> of html, in document order.
QStringList attributeValues(const QString& html, const QString& tag, const QString& attr) {
    QStringList values;
    const QString open = QLatin1Char('<') + tag;
    qsizetype from = 0;
    while (true) {
        const qsizetype at = html.indexOf(open, from, Qt::CaseInsensitive);
        if (at < 0) break;
        const qsizetype inner = at + open.size();
        from = inner;
        if (inner < html.size() && (html[inner].isLetterOrNumber() || html[inner] == QLatin1Char('-')))
            continue; // <THEAD is not <TH
        qsizetype end = html.indexOf(QLatin1Char('>'), inner);
        if (end < 0) end = html.size();
        const QString text = html.mid(inner, end - inner);
        qsizetype a = 0;
        while ((a = text.indexOf(attr, a, Qt::CaseInsensitive)) >= 0) {
            const qsizetype nameEnd = a + attr.size();
            const bool startsName = a > 0 && text[a - 1].isSpace();
            a = nameEnd;
            if (!startsName) continue;
            qsizetype p = nameEnd;
            while (p < text.size() && text[p].isSpace())
                ++p;
            if (p >= text.size() || text[p] != QLatin1Char('=')) continue;
            ++p;
            while (p < text.size() && text[p].isSpace())
                ++p;
            QString value;
            if (p < text.size() && (text[p] == QLatin1Char('"') || text[p] == QLatin1Char('\''))) {
                const qsizetype q = text.indexOf(text[p], p + 1);
                value = text.mid(p + 1, (q < 0 ? text.size() : q) - p - 1);
            } else {
                qsizetype q = p;
                while (q < text.size() && !text[q].isSpace())
                    ++q;
                value = text.mid(p, q - p);
            }
            values.append(value);
            break;
        }
    }
    return values;
}

QByteArray readWhole(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error(("Cannot read " + path + ": " + file.errorString()).toStdString());
    return file.readAll();
}

// Whether html[at, at + length) stands as a whole attribute value.
bool standsAsValue(const QString& html, qsizetype at, qsizetype length) {
    const auto isOpen = [](QChar c) {
        return c == QLatin1Char('"') || c == QLatin1Char('\'') || c == QLatin1Char('=');
    };
    const auto isClose = [](QChar c) {
        return c == QLatin1Char('"') || c == QLatin1Char('\'') || c == QLatin1Char('>') || c.isSpace();
    };
    const qsizetype after = at + length;
    return at > 0 && isOpen(html[at - 1]) && (after >= html.size() || isClose(html[after]));
}

} // namespace

QString MailDateStamp(const QDateTime& local) {
    static const char* const days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const QDate d = local.date();
    const int hours = local.offsetFromUtc() / 3600;
    QString zone = QString::number(std::abs(hours)) + QStringLiteral("00");
    if (zone.size() == 3) zone.prepend(QLatin1Char('0'));
    zone.prepend(QLatin1Char(hours < 0 ? '-' : '+'));
    return QStringLiteral("%1, %2 %3 %4 %5 %6")
        .arg(QLatin1String(days[d.dayOfWeek() % 7]))
        .arg(d.day())
        .arg(QLatin1String(months[d.month() - 1]))
        .arg(d.year(), 4, 10, QLatin1Char('0'))
        .arg(local.time().toString(QStringLiteral("hh:mm:ss")), zone);
}

QString headerValue(const QString& value) {
    QString out = value;
    out.remove(QLatin1Char('\r'));
    out.remove(QLatin1Char('\n'));
    return out;
}

QString SenderBlock(const VersionNumber& v, const QString& sender, const QString& dateStamp,
                    const QString& fromName) {
    const QString address = headerValue(sender);
    QString block = QStringLiteral("Mail-System-Version: Sendora HTML %1.%2.%3\r\n")
                        .arg(v.major)
                        .arg(v.minor)
                        .arg(v.revision);
    block += QStringLiteral("X-Sender: ") + address + kCrLf;
    block += QStringLiteral("Date: ") + dateStamp + kCrLf;
    if (fromName.trimmed().isEmpty())
        block += QStringLiteral("From: <") + address + QStringLiteral(">\r\n");
    else
        block += QStringLiteral("From: \"") + headerValue(fromName) + QStringLiteral("\" <") + address +
                 QStringLiteral(">\r\n");
    return block;
}

QString TemplateHead(const QString& subject, const QString& replyTo) {
    QString head = QStringLiteral("Subject: ") + headerValue(subject).trimmed() + kCrLf;
    const QString reply = headerValue(replyTo).trimmed();
    if (!reply.isEmpty()) head += QStringLiteral("Reply-To: ") + reply + kCrLf;
    return head;
}

QString PersonalToLine(const QString& displayName, const QString& address) {
    return QStringLiteral("To: \"") + headerValue(displayName) + QStringLiteral("\" <") +
           headerValue(address) + QStringLiteral(">\r\n");
}

QString GroupToLine(const QString& displayText) {
    return QStringLiteral("To: \"") + headerValue(displayText) + QStringLiteral(" \"\r\n");
}

MimeLayout composeMimeBody(int sendType, const QString& text, const QString& html, const QString& imageParts,
                           const QString& attachmentParts) {
    const bool hasImages = !imageParts.trimmed().isEmpty();
    const bool hasAttachments = !attachmentParts.trimmed().isEmpty();
    const bool isText = sendType == TextOnly || sendType == TextAndHtml;
    const bool isHtml = sendType == HtmlOnly || sendType == TextAndHtml;
    MimeLayout m;
    QString& b = m.body;
    b += QStringLiteral("MIME-Version: 1.0\r\n");
    if (hasAttachments)
        b += multipartHeader("mixed", kMixedBoundary) + kCrLf + kCrLf + delimiter(kMixedBoundary) + kCrLf;
    if (isText && isHtml)
        b += multipartHeader("alternative", kAlternativeBoundary) + kCrLf + kCrLf +
             delimiter(kAlternativeBoundary) + kCrLf;
    if (isText) {
        b += kTextPartHeader;
        m.textBegin = b.size();
        b += text + kCrLf + kCrLf;
    }
    if (isText && isHtml) b += delimiter(kAlternativeBoundary) + kCrLf;
    if (hasImages && isHtml)
        b += multipartHeader("related", kRelatedBoundary) + kCrLf + kCrLf + delimiter(kRelatedBoundary) +
             kCrLf;
    if (isHtml) {
        b += QStringLiteral("Content-Type: text/html\r\n\r\n");
        m.htmlBegin = b.size();
        b += html;
        m.htmlEnd = b.size();
        b += kCrLf;
    }
    if (hasImages && isHtml) b += imageParts + kCrLf + closeDelimiter(kRelatedBoundary) + kCrLf + kCrLf;
    if (isText && isHtml) b += closeDelimiter(kAlternativeBoundary) + kCrLf;
    if (hasAttachments) b += attachmentParts + kCrLf + closeDelimiter(kMixedBoundary) + kCrLf + kCrLf;
    return m;
}

QList<ImageRef> GetImages(AppContext& ctx, const QString& html) {
    QList<ImageRef> images;
    try {
        QString base;
        bool webBase = false;
        const QStringList bases = attributeValues(html, QStringLiteral("BASE"), QStringLiteral("HREF"));
        if (!bases.isEmpty()) {
            base = bases.first().trimmed();
            webBase = isWebAddress(base) || hasOtherScheme(base);
            if (!webBase) base = localPath(base);
        }
        static const std::pair<const char*, const char*> kSources[] = {{"BODY", "BACKGROUND"},
                                                                       {"IMG", "SRC"},
                                                                       {"TABLE", "BACKGROUND"},
                                                                       {"TH", "BACKGROUND"},
                                                                       {"TD", "BACKGROUND"}};
        for (const auto& [tag, attr] : kSources) {
            for (const QString& written : attributeValues(html, QLatin1String(tag), QLatin1String(attr))) {
                const QString value = written.trimmed();
                if (value.isEmpty() || isWebAddress(value) || hasOtherScheme(value)) continue;
                QString path = localPath(value);
                if (!base.isEmpty() && !isAbsolute(path)) {
                    if (webBase) continue; // a page on the web: its images stay there
                    path = joinToBase(baseFolder(base), path);
                }
                images.append({path, {written}, {}});
            }
        }
    } catch (const std::exception& e) {
        logStep(ctx, "GetImages in mdlMerge", e);
    }
    GetUniqueEntries(ctx, images);
    return images;
}

void GetUniqueEntries(AppContext& ctx, QList<ImageRef>& images) {
    try {
        QList<ImageRef> unique;
        for (const ImageRef& image : images) {
            auto it = std::find_if(unique.begin(), unique.end(),
                                   [&](const ImageRef& u) { return u.path == image.path; });
            if (it == unique.end()) {
                unique.append(image);
                continue;
            }
            for (const QString& r : image.references)
                if (!it->references.contains(r)) it->references.append(r);
        }
        images = unique;
    } catch (const std::exception& e) {
        logStep(ctx, "GetUniqueEntries in mdlMerge", e);
    }
}

void AssignContentIDs(AppContext& ctx, QList<ImageRef>& images, const QString& sender) {
    try {
        for (qsizetype i = 0; i < images.size(); ++i)
            images[i].contentId =
                QStringLiteral("klx") + QString::number(i) + sender + QStringLiteral("6497657");
    } catch (const std::exception& e) {
        logStep(ctx, "AssignContentIDs in mdlMerge", e);
    }
}

QString Path2CID(AppContext& ctx, const QString& html, const QList<ImageRef>& images) {
    try {
        // Longest text first, so "img/a.gif" is not half-replaced as "a.gif".
        struct Swap {
            QString from;
            QString to;
            bool anywhere;
        };
        QList<Swap> swaps;
        for (const ImageRef& image : images) {
            const QString cid = QStringLiteral("cid:") + image.contentId;
            if (isAbsolute(image.path)) swaps.append({image.path, cid, true});
            for (const QString& r : image.references)
                if (!r.isEmpty()) swaps.append({r, cid, false});
        }
        std::stable_sort(swaps.begin(), swaps.end(),
                         [](const Swap& a, const Swap& b) { return a.from.size() > b.from.size(); });
        QString out = html;
        for (const Swap& s : swaps) {
            qsizetype at = 0;
            while ((at = out.indexOf(s.from, at, Qt::CaseInsensitive)) >= 0) {
                if (s.anywhere || standsAsValue(out, at, s.from.size())) {
                    out.replace(at, s.from.size(), s.to);
                    at += s.to.size();
                } else {
                    at += s.from.size();
                }
            }
        }
        return out;
    } catch (const std::exception& e) {
        logStep(ctx, "Path2CID in mdlMerge", e);
        return html;
    }
}

QString fileExtension(const QString& path) {
    const QString name = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : name.mid(dot + 1);
}

QString EncodeImages(AppContext& ctx, const QList<ImageRef>& images, QStringList* missing) {
    QString parts;
    for (const ImageRef& image : images) {
        try {
            if (!QFileInfo(image.path).isFile()) {
                if (missing) missing->append(image.path);
                continue;
            }
            const QByteArray encoded = base64Lines(readWhole(image.path));
            parts += kCrLf + delimiter(kRelatedBoundary) + kCrLf + QStringLiteral("Content-ID: <") +
                     image.contentId + QStringLiteral(">\r\nContent-Type: IMAGE/") +
                     fileExtension(image.path) +
                     QStringLiteral("\r\nContent-Transfer-Encoding: BASE64\r\n\r\n") +
                     QLatin1String(encoded) + kCrLf + kCrLf;
        } catch (const std::exception& e) {
            logStep(ctx, "Encode Images in mdlMerge", e);
        }
    }
    return parts;
}

QString EncodeAttachments(AppContext& ctx, const QString& attachmentList, QStringList* missing) {
    QString parts;
    for (const QString& entry : attachmentList.split(QLatin1Char(';'))) {
        try {
            const QString path = localPath(entry.trimmed());
            if (path.isEmpty()) continue;
            if (!QFileInfo(path).isFile()) {
                if (missing) missing->append(path);
                continue;
            }
            const QByteArray encoded = base64Lines(readWhole(path));
            const QString name = headerValue(path.mid(path.lastIndexOf(QLatin1Char('/')) + 1));
            parts += kCrLf + delimiter(kMixedBoundary) + kCrLf +
                     QStringLiteral("Content-Type: Application/") + fileExtension(path) + kCrLf +
                     QStringLiteral("Content-Disposition: attachment; filename=\"") + name +
                     QStringLiteral("\"\r\nContent-Transfer-Encoding: BASE64\r\n\r\n") +
                     QLatin1String(encoded) + kCrLf;
        } catch (const std::exception& e) {
            logStep(ctx, "EncodeAttachments in mdlMerge", e);
        }
    }
    return parts;
}

QStringList splitDomainList(const QString& setting) {
    QStringList domains;
    for (const QString& d : setting.split(QLatin1Char(';')))
        if (!d.trimmed().isEmpty()) domains.append(d.trimmed());
    return domains;
}

bool domainWantsTextOnly(const QString& address, const QStringList& domains) {
    const qsizetype at = address.indexOf(QLatin1Char('@'));
    if (at < 0) return false;
    QString domain = address.mid(at + 1).trimmed();
    if (domain.endsWith(QLatin1Char('>'))) domain.chop(1);
    for (const QString& d : domains)
        if (domain.compare(d.trimmed(), Qt::CaseInsensitive) == 0) return true;
    return false;
}

} // namespace sendora
