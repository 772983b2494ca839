#include "mailing/compose/PreparedMailing.h"

#include "core/AppContext.h"
#include "core/ErrorLog.h"
#include "mailing/compose/MimeEncoding.h"
#include "mailing/compose/MimeParts.h"
#include "mailing/compose/Windows1252.h"
#include "mailing/compose/WordWrap.h"

#include <algorithm>
#include <cstring>

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
    bool header = false; // the value lands in a header line
    bool html = false;   // the value lands in the HTML part
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

} // namespace

// Characters Windows-1252 cannot carry in one message, for the send log.
struct Tally {
    Cp1252Replacement replaced;
    QString firstWhere;
    void add(const Cp1252Replacement& r, const QString& where) {
        if (r.count == 0) return;
        if (replaced.count == 0) {
            replaced.firstCodePoint = r.firstCodePoint;
            firstWhere = where;
        }
        replaced.count += r.count;
    }
};

struct PreparedMailing::Impl {
    AppContext& ctx;
    MailingSetup setup;
    NoteHook notes;
    QDateTime start;
    QString stamp;
    QStringList invalid;
    QStringList missing;
    bool personal = false;
    QString senderText; // the four sender lines, for previews
    Template sender;    // version, X-Sender and Date lines
    MessageArray fromName;
    MessageArray subject;
    QByteArray groupHead; // From and Subject lines of a block of recipients
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

    void reportReplacement(const Tally& t, const QString& whose) {
        if (t.replaced.count == 0) return;
        note(QStringLiteral("P: %1 character(s) that Windows-1252 cannot carry were replaced by \"?\" in %2; "
                            "the first was %3 in %4.")
                 .arg(t.replaced.count)
                 .arg(whose, codePointName(t.replaced.firstCodePoint), t.firstWhere),
             "MergeMessage in mdlMerge");
    }

    static QByteArray encode(const QString& text, const QString& where, Tally& tally) {
        Cp1252Replacement r;
        QByteArray bytes = toWindows1252(text, &r);
        tally.add(r, where);
        return bytes;
    }

    MessageArray splitHeaderText(const QString& text, bool* hasTags) {
        QStringList bad;
        const QList<MergeFieldTag> tags = GetFieldPosArray(ctx, text, setup.columns, bad);
        invalid += bad;
        *hasTags = *hasTags || !tags.isEmpty();
        return BuildMessageArray(text, tags);
    }

    // A header value merged for row (none for a block): values lose CR and LF.
    static QString mergedHeader(const MessageArray& array, const RecipientRow* row) {
        QString out;
        for (const MessagePiece& piece : array) {
            out += piece.text;
            if (row && !piece.field.isEmpty())
                if (const auto value = row->text(piece.field)) out += headerValue(*value);
        }
        return out;
    }

    QByteArray headLines(const RecipientRow* row, Tally& tally) const {
        Cp1252Replacement r;
        const QString name = mergedHeader(fromName, row);
        QByteArray out =
            mailboxHeader("From", name.trimmed().isEmpty() ? QString() : name, headerValue(setup.sender), &r);
        tally.add(r, QStringLiteral("the From line"));
        r = {};
        out += unstructuredHeader("Subject", mergedHeader(subject, row).trimmed(), &r);
        tally.add(r, QStringLiteral("the subject"));
        return out;
    }

    // Splits a composed template at its tags and places the marks. Offsets are indexes
    // into text; -1 leaves a mark out. Invalid tags at or after invalidFrom are reported.
    Template split(const QString& text, bool allHeader, qsizetype textBegin, qsizetype htmlBegin,
                   qsizetype htmlEnd, qsizetype invalidFrom, Tally& tally) {
        Template t;
        t.text = text;
        QStringList bad;
        const QList<MergeFieldTag> tags = GetFieldPosArray(ctx, text, setup.columns, bad);
        if (invalidFrom == 0)
            invalid += bad;
        else if (invalidFrom > 0)
            GetFieldPosArray(ctx, text.mid(invalidFrom), setup.columns, invalid);
        t.hasTags = !tags.isEmpty();
        const MessageArray array = BuildMessageArray(text, tags);
        QList<qsizetype> starts{0};
        for (const MergeFieldTag& tag : tags)
            starts.append(std::max(starts.last(), qsizetype(tag.end)));

        const qsizetype bodyStart = allHeader ? text.size() + 1 : text.indexOf(QLatin1String("\r\n\r\n"));
        const qsizetype greetingPoint =
            htmlBegin >= 0 ? htmlGreetingPoint(QStringView(text).left(htmlEnd), htmlBegin) : -1;
        for (qsizetype i = 0; i < array.size(); ++i) {
            Segment s;
            s.bytes = encode(array[i].text, QStringLiteral("the message"), tally);
            s.field = array[i].field;
            const qsizetype valueAt = starts[i] + array[i].text.size();
            s.header = bodyStart < 0 || valueAt < bodyStart;
            s.html = htmlBegin >= 0 && valueAt >= htmlBegin && valueAt < htmlEnd;
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

    static QByteArray valueBytes(const QString& value, const Segment& s, const QString& address,
                                 Tally& tally) {
        Cp1252Replacement r;
        const QByteArray bytes = toWindows1252(
            s.header ? headerValue(value) : (s.html ? htmlEscaped(crlfLines(value)) : crlfLines(value)), &r);
        // Where it happened is only spelt out when something was replaced.
        if (r.count) tally.add(r, QStringLiteral("the value of [[%1]] for %2").arg(s.field, address));
        return bytes;
    }

    // Appends a finished text or HTML part; one that cannot go out as it is goes in
    // quoted-printable, its header (ending at out's end) replaced.
    static void appendPart(QByteArray& out, const QByteArray& part, const char* header,
                           const char* encodedHeader) {
        if (!partNeedsEncoding(part) || !out.endsWith(header)) {
            out.append(part);
            return;
        }
        out.chop(qsizetype(std::strlen(header)));
        out.append(encodedHeader);
        out.append(quotedPrintable(part));
    }

    // Appends t merged with row (none for a block), greeting in the text part and after
    // the HTML body tag, text part wrapped, parts encoded where they must be.
    void assemble(QByteArray& out, const Template& t, const RecipientRow* row, const QString& greeting,
                  const QString& address, Tally& tally) const {
        const QByteArray textGreeting = encode(greeting, QStringLiteral("the greeting"), tally);
        Tally ignored; // the same characters were counted for the text greeting
        const QByteArray htmlGreeting = encode(htmlEscaped(greeting), {}, ignored);
        const QByteArray textHeader = kTextPartHeader.toLatin1();
        QByteArray textPart;
        QByteArray htmlPart;
        QByteArray* target = &out;
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
                    textPart.append(textGreeting);
                    break;
                case Mark::TextEnd:
                    appendPart(out, wrapped(textPart), textHeader.constData(), kEncodedTextPartHeader);
                    target = &out;
                    break;
                case Mark::HtmlBegin:
                    target = &htmlPart;
                    break;
                case Mark::HtmlGreeting:
                    htmlPart.append(htmlGreeting);
                    break;
                case Mark::HtmlEnd:
                    appendPart(out, htmlPart, kHtmlPartHeader, kEncodedHtmlPartHeader);
                    target = &out;
                    break;
                }
            }
            target->append(s.bytes.constData() + written, s.bytes.size() - written);
            if (row && !s.field.isEmpty())
                if (const auto value = row->text(s.field))
                    target->append(valueBytes(*value, s, address, tally));
        }
        if (target == &textPart)
            appendPart(out, wrapped(textPart), textHeader.constData(), kEncodedTextPartHeader);
        else if (target == &htmlPart)
            appendPart(out, htmlPart, kHtmlPartHeader, kEncodedHtmlPartHeader);
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
    Tally tally;

    d->senderText = SenderBlock(setup.version, setup.sender, d->stamp, m.fromName);
    const QString fromAt = QStringLiteral("\r\nFrom: ");
    d->sender = d->split(d->senderText.left(d->senderText.indexOf(fromAt) + 2), true, -1, -1, -1, 0, tally);
    bool headTags = false;
    d->fromName = d->splitHeaderText(m.fromName, &headTags);
    d->subject = d->splitHeaderText(headerValue(m.subject).trimmed(), &headTags);

    const QString text = crlfLines(m.messageText);
    QString html = crlfLines(m.htmlText);
    QString imageParts;
    const bool usesHtml = m.sendType == HtmlOnly || m.sendType == TextAndHtml;
    QList<ImageRef> images;
    if (usesHtml) {
        images = GetImages(ctx, html);
        AssignContentIDs(ctx, images, setup.sender);
        html = Path2CID(ctx, html, images);
    }
    if (d->notes) d->notes(QStringLiteral("P: Encoding Images..."));
    QStringList missingImages;
    imageParts = EncodeImages(ctx, images, &missingImages);
    for (const QString& path : missingImages)
        d->note(QStringLiteral("P: Image file not found, not embedded: ") + path,
                "Encode Images in mdlMerge");
    d->missing += missingImages;
    if (d->notes) d->notes(QStringLiteral("P: Encoding Attachments..."));
    QStringList missingAttachments;
    const QString attachmentParts = EncodeAttachments(ctx, m.attachments, &missingAttachments);
    for (const QString& path : missingAttachments)
        d->note(QStringLiteral("P: Attachment not found, not sent: ") + path,
                "EncodeAttachments in mdlMerge");
    d->missing += missingAttachments;

    // The subject goes out per recipient (encoded, folded); the template keeps the rest.
    const QString head = TemplateHead(m.subject, setup.replyTo);
    const qsizetype subjectLength = head.indexOf(QLatin1String("\r\n")) + 2;
    const QString rest = head.mid(subjectLength);
    const MimeLayout body = composeMimeBody(m.sendType, text, html, imageParts, attachmentParts);
    auto shifted = [&](qsizetype at) { return at < 0 ? at : at + rest.size(); };
    d->normal = d->split(rest + body.body, false, shifted(body.textBegin), shifted(body.htmlBegin),
                         shifted(body.htmlEnd), 0, tally);
    if (setup.checkTextOnlyDomains) {
        const MimeLayout plain = composeMimeBody(TextOnly, text, QString(), QString(), attachmentParts);
        // Its text was asked about already when the normal template carries one.
        const qsizetype askFrom = body.textBegin >= 0 ? -1 : shifted(plain.textBegin);
        d->textOnly = d->split(rest + plain.body, false, shifted(plain.textBegin), -1, -1, askFrom, tally);
        d->hasTextOnly = true;
    }
    for (Template* t : {&d->normal, &d->textOnly})
        t->text.prepend(head.left(subjectLength));

    d->personal = d->sender.hasTags || headTags || d->normal.hasTags ||
                  (d->hasTextOnly && d->textOnly.hasTags) || m.greeting.personalTo() ||
                  m.greeting.greetingLine();

    // A block of recipients has no row: what it gets is fixed now, wrapped once.
    d->assemble(d->sender.groupData, d->sender, nullptr, {}, {}, tally);
    d->groupHead = d->headLines(nullptr, tally);
    Cp1252Replacement group;
    groupHeader("To", m.greeting.groupAddress, &group);
    tally.add(group, QStringLiteral("the group address"));
    for (Template* t : {&d->normal, &d->textOnly})
        if (t != &d->textOnly || d->hasTextOnly) d->assemble(t->groupData, *t, nullptr, {}, {}, tally);
    d->reportReplacement(tally, QStringLiteral("the message"));
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
    return d->senderText;
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
    std::optional<RecipientRow> row;
    try {
        row = list.find(address);
    } catch (const std::exception& e) {
        LogError(d->ctx, QStringLiteral("MergeMessage in mdlMerge"), errorInfo(e), false);
    }
    if (!row) return {};
    return composeForRow(address, *row, displayName);
}

ComposedMessage PreparedMailing::composeForRow(const QString& address, const RecipientRow& row,
                                               const QString& displayName) {
    ComposedMessage result;
    result.found = true;
    const QString greeting = GetPersonalName(row, d->setup.message.greeting, true);
    result.displayName = displayName.isEmpty() ? displayNameFor(row) : displayName;
    if (result.displayName.trimmed().isEmpty()) result.displayName = address;

    const Template& t = d->templateFor(address);
    QByteArray& out = result.data;
    out.reserve(d->sender.text.size() + t.text.size() + 512);
    Tally tally;
    d->assemble(out, d->sender, &row, {}, address, tally);
    const QByteArray head = d->headLines(&row, tally);
    const qsizetype fromEnd = head.indexOf("\r\nSubject: ") + 2;
    out.append(head.left(fromEnd));
    Cp1252Replacement r;
    out.append(mailboxHeader("To", headerValue(result.displayName), headerValue(address), &r));
    tally.add(r, QStringLiteral("the To line"));
    out.append(head.mid(fromEnd));
    d->assemble(out, t, &row, greeting, address, tally);
    d->reportReplacement(tally, QStringLiteral("the message to ") + address);
    return result;
}

QByteArray PreparedMailing::composeForGroup(const QString& firstAddress, const QString& displayText) const {
    const QByteArray& body = d->templateFor(firstAddress).groupData;
    QByteArray out;
    out.reserve(d->sender.groupData.size() + body.size() + 256);
    out.append(d->sender.groupData);
    const qsizetype fromEnd = d->groupHead.indexOf("\r\nSubject: ") + 2;
    out.append(d->groupHead.left(fromEnd));
    Cp1252Replacement ignored; // the group text was checked when the mailing was prepared
    out.append(groupHeader("To", headerValue(displayText), &ignored));
    out.append(d->groupHead.mid(fromEnd));
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
