#include "mailing/compose/PreparedMailing.h"

#include "core/AppContext.h"
#include "core/ErrorLog.h"
#include "mailing/compose/MimeParts.h"
#include "mailing/compose/Windows1252.h"
#include "mailing/compose/WordWrap.h"

#include <algorithm>

namespace sendora {

namespace {

// Points of a template where the per-recipient assembly does something.
enum class Mark { TextEnd, TextBegin, HtmlBegin, HtmlGreeting, HtmlEnd };

struct Event {
    qsizetype piece;
    qsizetype offset; // byte offset in the piece's text
    Mark mark;
};

struct Segment {
    QByteArray bytes;
    QString field;
    bool header = false;        // the value lands in a header line
    bool beforeBodyTag = false; // the value lands between the HTML start and the greeting point
};

struct Template {
    QString text;
    QList<Segment> segments;
    QList<Event> events;
    bool hasTags = false;
    QByteArray groupData; // the template as a block of recipients gets it
};

// Bare CR or LF become CRLF: outgoing mail has no other line end.
QString crlfLines(const QString& s) {
    if (!s.contains(QLatin1Char('\n')) && !s.contains(QLatin1Char('\r'))) return s;
    QString out;
    out.reserve(s.size() + 16);
    for (qsizetype i = 0; i < s.size(); ++i) {
        const QChar c = s[i];
        if (c == QLatin1Char('\r')) {
            out += QLatin1String("\r\n");
            if (i + 1 < s.size() && s[i + 1] == QLatin1Char('\n')) ++i;
        } else if (c == QLatin1Char('\n')) {
            out += QLatin1String("\r\n");
        } else {
            out += c;
        }
    }
    return out;
}

qsizetype indexOfNoCase(const QByteArray& hay, const QByteArray& lowerNeedle, qsizetype from, qsizetype to) {
    for (qsizetype i = from; i + lowerNeedle.size() <= to; ++i) {
        qsizetype k = 0;
        while (k < lowerNeedle.size() &&
               char(std::tolower(static_cast<unsigned char>(hay[i + k]))) == lowerNeedle[k])
            ++k;
        if (k == lowerNeedle.size()) return i;
    }
    return -1;
}

} // namespace

struct PreparedMailing::Impl {
    AppContext& ctx;
    MailingSetup setup;
    NoteHook notes;
    QDateTime start;
    QString stamp;
    QStringList invalid;
    QStringList missing;
    bool personal = false;
    bool replacementReported = false;
    Template sender;
    Template normal;
    Template textOnly;
    bool hasTextOnly = false;

    Impl(AppContext& c, const MailingSetup& s, NoteHook n) : ctx(c), setup(s), notes(std::move(n)) {}

    void note(const QString& text, const char* caller) {
        if (notes)
            notes(text);
        else
            LogError(ctx, QString::fromLatin1(caller), {0, text}, false);
    }

    void reportReplacement(const Cp1252Replacement& r, const QString& where) {
        if (r.count == 0 || replacementReported) return;
        replacementReported = true;
        note(QStringLiteral("P: Characters that Windows-1252 cannot carry were replaced by \"?\"; the first "
                            "was %1 in %2.")
                 .arg(codePointName(r.firstCodePoint), where),
             "MergeMessage in mdlMerge");
    }

    QByteArray encode(const QString& text, const QString& where) {
        Cp1252Replacement r;
        QByteArray bytes = toWindows1252(text, &r);
        reportReplacement(r, where);
        return bytes;
    }

    // Splits a composed template at its tags and places the marks. Offsets are indexes
    // into text; -1 leaves a mark out.
    Template split(const QString& text, bool allHeader, qsizetype textBegin, qsizetype htmlBegin,
                   qsizetype htmlEnd) {
        Template t;
        t.text = text;
        QStringList bad;
        const QList<MergeFieldTag> tags = GetFieldPosArray(ctx, text, setup.columns, bad);
        for (const QString& b : bad)
            if (!invalid.contains(b, Qt::CaseInsensitive)) invalid.append(b);
        t.hasTags = !tags.isEmpty();
        const MessageArray array = BuildMessageArray(text, tags);
        QList<qsizetype> starts{0};
        for (const MergeFieldTag& tag : tags)
            starts.append(std::max(starts.last(), qsizetype(tag.end)));

        const qsizetype bodyStart = allHeader ? text.size() + 1 : text.indexOf(QLatin1String("\r\n\r\n"));
        qsizetype greetingPoint = -1;
        if (htmlBegin >= 0) {
            const qsizetype p = htmlGreetingPoint(QStringView(text).left(htmlEnd), htmlBegin);
            greetingPoint = p;
        }
        for (qsizetype i = 0; i < array.size(); ++i) {
            Segment s;
            s.bytes = encode(array[i].text, QStringLiteral("the message"));
            s.field = array[i].field;
            const qsizetype valueAt = starts[i] + array[i].text.size();
            s.header = bodyStart < 0 || valueAt < bodyStart;
            s.beforeBodyTag = greetingPoint >= 0 && valueAt >= htmlBegin && valueAt < greetingPoint;
            t.segments.append(s);
        }
        auto place = [&](qsizetype at, Mark mark) {
            if (at < 0) return;
            qsizetype i = starts.size() - 1;
            while (i > 0 && starts[i] > at)
                --i;
            if (at <= starts[i] + array[i].text.size())
                t.events.append({i, at - starts[i], mark});
            else // inside a tag: after its value
                t.events.append({i + 1, 0, mark});
        };
        if (textBegin >= 0) {
            place(textBegin, Mark::TextBegin);
            qsizetype end = -1;
            for (const char* boundary : {kAlternativeBoundary, kMixedBoundary}) {
                const qsizetype at = text.indexOf(QStringLiteral("--") + QLatin1String(boundary), textBegin);
                if (at >= 0 && (end < 0 || at < end)) end = at;
            }
            place(end, Mark::TextEnd);
        }
        if (htmlBegin >= 0) {
            place(htmlBegin, Mark::HtmlBegin);
            place(greetingPoint, Mark::HtmlGreeting);
            place(htmlEnd, Mark::HtmlEnd);
        }
        std::stable_sort(t.events.begin(), t.events.end(), [](const Event& a, const Event& b) {
            if (a.piece != b.piece) return a.piece < b.piece;
            if (a.offset != b.offset) return a.offset < b.offset;
            return int(a.mark) < int(b.mark);
        });
        return t;
    }

    QByteArray wrapped(const QByteArray& part) const {
        return setup.wrapWidth > 0 ? WordWrap(part, setup.wrapWidth) : part;
    }

    QByteArray valueBytes(const QString& value, bool header, const QString& field, const QString& address) {
        return encode(header ? headerValue(value) : crlfLines(value),
                      QStringLiteral("the value of [[%1]] for %2").arg(field, address));
    }

    // Appends t merged with row (none for a block), greeting in the text part and after
    // the HTML body tag, text part wrapped.
    void assemble(QByteArray& out, const Template& t, const RecipientRow* row, const QByteArray& greeting,
                  const QString& address) {
        QByteArray textPart;
        QByteArray* target = &out;
        qsizetype htmlBegin = -1;
        bool dirty = false;
        auto ev = t.events.cbegin();
        for (qsizetype i = 0; i < t.segments.size(); ++i) {
            const Segment& s = t.segments[i];
            qsizetype written = 0;
            for (; ev != t.events.cend() && ev->piece == i; ++ev) {
                target->append(s.bytes.constData() + written, ev->offset - written);
                written = ev->offset;
                switch (ev->mark) {
                case Mark::TextBegin:
                    target = &textPart;
                    textPart.append(greeting);
                    break;
                case Mark::TextEnd:
                    out.append(wrapped(textPart));
                    target = &out;
                    break;
                case Mark::HtmlBegin:
                    htmlBegin = out.size();
                    break;
                case Mark::HtmlGreeting:
                    if (!dirty) {
                        out.append(greeting);
                    } else if (!greeting.isEmpty()) {
                        // A merged value came before the body tag: find it again in the result.
                        const qsizetype body = indexOfNoCase(out, "<body", htmlBegin, out.size());
                        const qsizetype close = body < 0 ? -1 : out.indexOf('>', body);
                        out.insert(close < 0 ? out.size() : close + 1, greeting);
                    }
                    break;
                case Mark::HtmlEnd:
                    break;
                }
            }
            target->append(s.bytes.constData() + written, s.bytes.size() - written);
            if (row && !s.field.isEmpty()) {
                if (const auto value = row->text(s.field)) {
                    const QByteArray bytes = valueBytes(*value, s.header, s.field, address);
                    dirty = dirty || (s.beforeBodyTag && !bytes.isEmpty());
                    target->append(bytes);
                }
            }
        }
        if (target == &textPart) out.append(wrapped(textPart));
    }

    const Template& templateFor(const QString& address) const {
        return hasTextOnly && setup.checkTextOnlyDomains &&
                       domainWantsTextOnly(address, setup.textOnlyDomains)
                   ? textOnly
                   : normal;
    }
};

PreparedMailing::PreparedMailing(AppContext& ctx, const MailingSetup& setup, NoteHook notes)
    : d(std::make_unique<Impl>(ctx, setup, std::move(notes))) {
    const MessageContent& m = d->setup.message;
    d->start = setup.now.isValid() ? setup.now : QDateTime::currentDateTime();
    d->stamp = MailDateStamp(d->start);

    const QString senderText = SenderBlock(setup.version, setup.sender, d->stamp, m.fromName);
    d->sender = d->split(senderText, true, -1, -1, -1);

    const QString text = crlfLines(m.messageText);
    QString html = crlfLines(m.htmlText);
    QString imageParts;
    const bool usesHtml = m.sendType == HtmlOnly || m.sendType == TextAndHtml;
    if (usesHtml) {
        QList<ImageRef> images = GetImages(ctx, html);
        AssignContentIDs(ctx, images, setup.sender);
        html = Path2CID(ctx, html, images);
        if (d->notes) d->notes(QStringLiteral("P: Encoding Images..."));
        QStringList missingImages;
        imageParts = EncodeImages(ctx, images, &missingImages);
        for (const QString& path : missingImages)
            d->note(QStringLiteral("P: Image file not found, not embedded: ") + path,
                    "Encode Images in mdlMerge");
        d->missing += missingImages;
    }
    if (d->notes) d->notes(QStringLiteral("P: Encoding Attachments..."));
    QStringList missingAttachments;
    const QString attachmentParts = EncodeAttachments(ctx, m.attachments, &missingAttachments);
    for (const QString& path : missingAttachments)
        d->note(QStringLiteral("P: Attachment not found, not sent: ") + path,
                "EncodeAttachments in mdlMerge");
    d->missing += missingAttachments;

    const QString head = TemplateHead(m.subject, setup.replyTo);
    const MimeLayout body = composeMimeBody(m.sendType, text, html, imageParts, attachmentParts);
    auto shifted = [&](qsizetype at) { return at < 0 ? at : at + head.size(); };
    d->normal = d->split(head + body.body, false, shifted(body.textBegin), shifted(body.htmlBegin),
                         shifted(body.htmlEnd));
    if (setup.checkTextOnlyDomains) {
        const MimeLayout plain = composeMimeBody(TextOnly, text, QString(), QString(), attachmentParts);
        d->textOnly = d->split(head + plain.body, false, shifted(plain.textBegin), -1, -1);
        d->hasTextOnly = true;
    }

    d->encode(GroupToLine(m.greeting.groupAddress), QStringLiteral("the group address"));
    d->personal = d->sender.hasTags || d->normal.hasTags || (d->hasTextOnly && d->textOnly.hasTags) ||
                  m.greeting.personalTo() || m.greeting.greetingLine();

    // A block of recipients has no row: what it gets is fixed now, wrapped once.
    d->assemble(d->sender.groupData, d->sender, nullptr, {}, {});
    for (Template* t : {&d->normal, &d->textOnly})
        if (t != &d->textOnly || d->hasTextOnly) d->assemble(t->groupData, *t, nullptr, {}, {});
}

PreparedMailing::~PreparedMailing() = default;

const QStringList& PreparedMailing::invalidFields() const {
    return d->invalid;
}
bool PreparedMailing::personalised() const {
    return d->personal;
}
QDateTime PreparedMailing::startTime() const {
    return d->start;
}
QString PreparedMailing::dateStamp() const {
    return d->stamp;
}
qsizetype PreparedMailing::messageSize() const {
    return d->normal.text.size();
}
QStringList PreparedMailing::missingFiles() const {
    return d->missing;
}
const MessageContent& PreparedMailing::message() const {
    return d->setup.message;
}
QString PreparedMailing::senderBlockText() const {
    return d->sender.text;
}
QString PreparedMailing::templateText(bool textOnly) const {
    return textOnly && d->hasTextOnly ? d->textOnly.text : d->normal.text;
}

bool PreparedMailing::wantsTextOnly(const QString& address) const {
    return &d->templateFor(address) == &d->textOnly;
}

QString PreparedMailing::displayNameFor(const RecipientRow& row) const {
    const GreetingSettings& g = d->setup.message.greeting;
    return g.personalTo() ? GetPersonalName(row, g, false) : QString();
}

ComposedMessage PreparedMailing::composeFor(const QString& address, RecipientLookup& list,
                                            const QString& displayName) {
    ComposedMessage result;
    std::optional<RecipientRow> row;
    try {
        row = list.find(address);
    } catch (const std::exception& e) {
        LogError(d->ctx, QStringLiteral("MergeMessage in mdlMerge"), errorInfo(e), false);
    }
    if (!row) return result;
    result.found = true;
    const QString greeting = GetPersonalName(*row, d->setup.message.greeting, true);
    result.displayName = displayName.isEmpty() ? displayNameFor(*row) : displayName;
    if (result.displayName.trimmed().isEmpty()) result.displayName = address;

    const Template& t = d->templateFor(address);
    QByteArray& out = result.data;
    out.reserve(d->sender.text.size() + t.text.size() + 512);
    d->assemble(out, d->sender, &*row, {}, address);
    out.append(
        d->encode(PersonalToLine(result.displayName, address), QStringLiteral("the To line of ") + address));
    d->assemble(out, t, &*row, d->encode(greeting, QStringLiteral("the greeting for ") + address), address);
    return result;
}

QByteArray PreparedMailing::composeForGroup(const QString& firstAddress, const QString& displayText) const {
    const QByteArray& body = d->templateFor(firstAddress).groupData;
    QByteArray out;
    out.reserve(d->sender.groupData.size() + body.size() + 64);
    out.append(d->sender.groupData);
    Cp1252Replacement ignored; // the group text was checked when the mailing was prepared
    appendWindows1252(out, GroupToLine(displayText), &ignored);
    out.append(body);
    return out;
}

QByteArray PreparedMailing::composeForGroup(const QString& firstAddress) const {
    return composeForGroup(firstAddress, d->setup.message.greeting.groupAddress);
}

ComposedMessage PreparedMailing::compose(const QString& address, RecipientLookup& list) {
    if (d->personal) return composeFor(address, list);
    return {composeForGroup(address), true, d->setup.message.greeting.groupAddress};
}

} // namespace sendora
