// Composed messages compared byte for byte: the multipart layouts, images and
// attachments, and whole per-recipient messages with merge, greeting and wrap.
#include "mailing/compose/MimeEncoding.h"
#include "mailing/compose/MimeParts.h"
#include "mailing/compose/PreparedMailing.h"
#include "mailing/compose/Windows1252.h"
#include "support/TestApp.h"

#include <QFile>
#include <QTest>

using namespace sendora;
using sendora::test::TestApp;

namespace {

const QDateTime kNow(QDate(2005, 1, 5), QTime(14, 3, 9), Qt::OffsetFromUTC, 3600);
const QString kCid = QStringLiteral("klx0news@example.com6497657");

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

const QString kImagePart =
    "\r\n--KLXRelatedMessage\r\nContent-ID: <" + kCid +
    ">\r\nContent-Type: IMAGE/gif\r\nContent-Transfer-Encoding: BASE64\r\n\r\nR0lGODlh\r\n\r\n";
const QString kPdfPart =
    "\r\n--KLXMixedMessage\r\nContent-Type: Application/pdf\r\nContent-Disposition: attachment; "
    "filename=\"terms.pdf\"\r\nContent-Transfer-Encoding: BASE64\r\n\r\nJVBERi0x\r\n";

RecipientRow row(const QString& first, const QString& last, const QString& city = {}) {
    RecipientRow r;
    r.set("FirstName", first);
    r.set("LastName", last);
    r.set("City", city.isNull() ? QVariant() : QVariant(city));
    return r;
}

MailingSetup baseSetup() {
    MailingSetup s;
    s.sender = "news@example.com";
    s.now = kNow;
    s.version = {2, 5, 1};
    s.columns = ListColumns({"EAddress", "FirstName", "LastName", "City"});
    return s;
}

// Lines of a composed message (CRLF-separated).
QList<QByteArray> lines(const QByteArray& data) {
    QList<QByteArray> out = data.split('\n');
    for (QByteArray& l : out)
        if (l.endsWith('\r')) l.chop(1);
    return out;
}
QList<QByteArray> boundaryLines(const QByteArray& data) {
    QList<QByteArray> out;
    for (const QByteArray& l : lines(data))
        if (l.startsWith("--")) out << l;
    return out;
}
qsizetype longestLine(const QByteArray& data) {
    qsizetype n = 0;
    for (const QByteArray& l : lines(data))
        n = std::max(n, l.size());
    return n;
}
QByteArray decodeQuotedPrintable(const QByteArray& in) {
    QByteArray out;
    for (qsizetype i = 0; i < in.size(); ++i) {
        if (in[i] != '=') {
            out += in[i];
        } else if (in.mid(i + 1, 2) == "\r\n") {
            i += 2;
        } else {
            out += char(in.mid(i + 1, 2).toInt(nullptr, 16));
            i += 2;
        }
    }
    return out;
}
// The value of a header: unfolded, encoded words decoded from Windows-1252.
QString headerText(const QByteArray& data, const QByteArray& name) {
    const qsizetype at = data.indexOf("\r\n" + name + ": ") + 2;
    QByteArray value = data.mid(at + name.size() + 2);
    qsizetype end = 0;
    while ((end = value.indexOf("\r\n", end)) >= 0 && value.mid(end + 2, 1) == " ")
        end += 2;
    value = value.left(end).replace("\r\n", "");
    QString out;
    const QByteArray prefix = "=?windows-1252?Q?";
    qsizetype i = 0;
    while (i < value.size()) {
        const qsizetype w = value.indexOf(prefix, i);
        if (w < 0) {
            out += QString::fromLatin1(value.mid(i));
            break;
        }
        const QByteArray between = value.mid(i, w - i);
        if (!between.trimmed().isEmpty() || i == 0) out += QString::fromLatin1(between);
        const qsizetype close = value.indexOf("?=", w + prefix.size());
        QByteArray word = value.mid(w + prefix.size(), close - w - prefix.size()).replace('_', ' ');
        out += fromWindows1252(decodeQuotedPrintable(word));
        i = close + 2;
    }
    return out;
}
// The decoded content of the part whose Content-Type starts with type (a part header
// follows a delimiter line or the MIME-Version line).
QString partText(const QByteArray& data, const QByteArray& type) {
    qsizetype h = -1;
    while ((h = data.indexOf("\r\nContent-Type: " + type, h + 1)) >= 0) {
        const QByteArray before = data.left(h);
        const QByteArray line = before.mid(before.lastIndexOf('\n') + 1);
        if (line.startsWith("--KLX") || line == "MIME-Version: 1.0") break;
    }
    h += 2;
    const qsizetype body = data.indexOf("\r\n\r\n", h) + 4;
    const qsizetype end = data.indexOf("\r\n--KLX", body);
    const QByteArray raw = data.mid(body, end < 0 ? -1 : end - body);
    const QByteArray header = data.mid(h, body - h);
    return fromWindows1252(header.contains("quoted-printable") ? decodeQuotedPrintable(raw) : raw);
}

const QString kSenderBlock = "Mail-System-Version: Sendora HTML 2.5.1\r\nX-Sender: news@example.com\r\n"
                             "Date: Wed, 5 Jan 2005 14:03:09 +0100\r\n";

} // namespace

class TstMimeCompose : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void textOnlyWithAttachmentsLeavesHtmlOut() {
        const QString body = MimeBody(TextOnly, "T", "<img src=x>", kImagePart, kPdfPart);
        QCOMPARE(body,
                 "MIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\"KLXMixedMessage\"\r\n\r\n"
                 "--KLXMixedMessage\r\nContent-Type: text/plain\r\n\r\nT\r\n\r\n" +
                     kPdfPart + "\r\n--KLXMixedMessage--\r\n\r\n");
    }
    void bareHtml() {
        QCOMPARE(MimeBody(HtmlOnly, "ignored", "<p>x</p>", " \r\n", ""),
                 QStringLiteral("MIME-Version: 1.0\r\nContent-Type: text/html\r\n\r\n<p>x</p>\r\n"));
    }
    void htmlWithImagesOnly() {
        QCOMPARE(
            MimeBody(HtmlOnly, "", "H", kImagePart, ""),
            "MIME-Version: 1.0\r\nContent-Type: multipart/related; boundary=\"KLXRelatedMessage\"\r\n\r\n"
            "--KLXRelatedMessage\r\nContent-Type: text/html\r\n\r\nH\r\n" +
                kImagePart + "\r\n--KLXRelatedMessage--\r\n\r\n");
    }

    void headerLines() {
        QCOMPARE(SenderBlock({1, 2, 3}, "a@b.c", "STAMP", "  "),
                 QStringLiteral("Mail-System-Version: Sendora HTML 1.2.3\r\nX-Sender: a@b.c\r\nDate: "
                                "STAMP\r\nFrom: <a@b.c>\r\n"));
        QCOMPARE(SenderBlock({1, 2, 3}, "a@b.c", "S", "Bad\r\nBcc: x"),
                 QStringLiteral("Mail-System-Version: Sendora HTML 1.2.3\r\nX-Sender: a@b.c\r\nDate: "
                                "S\r\nFrom: \"BadBcc: x\" <a@b.c>\r\n"));
        QCOMPARE(TemplateHead("  Hi\r\n there ", " r@b.c "),
                 QStringLiteral("Subject: Hi there\r\nReply-To: r@b.c\r\n"));
        QCOMPARE(TemplateHead("Hi", "  "), QStringLiteral("Subject: Hi\r\n"));
        QCOMPARE(GroupToLine("Members\n"), QStringLiteral("To: \"Members \"\r\n"));
        QCOMPARE(PersonalToLine("Ann Lee", "ann@x.org"), QStringLiteral("To: \"Ann Lee\" <ann@x.org>\r\n"));
    }

    void findingImages() {
        TestApp app;
        const QString html =
            "<BASE HREF=\"file:///srv/mail/pages/\"><body background=\"../bg.jpg\">"
            "<img src='http://x/y.gif'><img alt=1 SRC=\"img\\a.gif\"><thead background=no.gif>"
            "<table background=\"/abs/t.png\"><tr><th background=\"https://z/q.gif\">"
            "<td background=img/a.gif><img src=\"cid:abc\">img/a.gif is our logo";
        QList<ImageRef> images = GetImages(*app.ctx, html);
        QCOMPARE(images.size(), 3);
        QCOMPARE(images[0].path, QStringLiteral("/srv/mail/bg.jpg"));
        QCOMPARE(images[1].path, QStringLiteral("/srv/mail/pages/img/a.gif"));
        QCOMPARE(images[1].references, (QStringList{"img\\a.gif", "img/a.gif"}));
        QCOMPARE(images[2].path, QStringLiteral("/abs/t.png"));
        AssignContentIDs(*app.ctx, images, "n@x.org");
        QCOMPARE(images[2].contentId, QStringLiteral("klx2n@x.org6497657"));
        // Both spellings of the same image point at one id; text mentioning it stays.
        QCOMPARE(Path2CID(*app.ctx, html, images),
                 QStringLiteral(
                     "<BASE HREF=\"file:///srv/mail/pages/\"><body background=\"cid:klx0n@x.org6497657\">"
                     "<img src='http://x/y.gif'><img alt=1 SRC=\"cid:klx1n@x.org6497657\"><thead "
                     "background=no.gif>"
                     "<table background=\"cid:klx2n@x.org6497657\"><tr><th background=\"https://z/q.gif\">"
                     "<td background=cid:klx1n@x.org6497657><img src=\"cid:abc\">img/a.gif is our logo"));
    }
    void webBaseEmbedsOnlyAbsolutePaths() {
        TestApp app;
        const auto images =
            GetImages(*app.ctx, "<base href=\"http://site/news/\"><img src=\"a.gif\"><img src=\"/x/b.gif\">");
        QCOMPARE(images.size(), 1);
        QCOMPARE(images[0].path, QStringLiteral("/x/b.gif"));
    }

    void attachments() {
        TestApp app;
        writeFile(app.path("terms.pdf"), "%PDF-1");
        QStringList missing;
        const QString parts = EncodeAttachments(
            *app.ctx, " " + app.path("terms.pdf") + " ;" + app.path("gone.doc") + ";", &missing);
        QCOMPARE(parts, kPdfPart);
        QCOMPARE(missing, QStringList{app.path("gone.doc")});
    }

    void personalMessageWholeBytes() {
        TestApp app;
        writeFile(app.path("logo.gif"), "GIF89a");
        writeFile(app.path("terms.pdf"), "%PDF-1");
        MailingSetup s = baseSetup();
        s.replyTo = "replies@example.com";
        s.wrapWidth = 12;
        MessageContent& m = s.message;
        m.sendType = TextAndHtml;
        m.subject = "Hello [[FirstName]]";
        m.fromName = "Ex [[City]] News";
        m.messageText = "Your offer is ready [[FirstName]]";
        const QString base = "<html><base href=\"file://" + app.dir.path() + "/\">";
        m.htmlText =
            base + "<body bgcolor=white><img src=\"logo.gif\"><IMG SRC=logo.gif> [[FirstName]]</body></html>";
        m.attachments = app.path("terms.pdf") + ";";
        m.greeting.useGreetingManager = true;
        m.greeting.greetingType = 1;
        m.greeting.addressType = 1;
        m.greeting.useFName = m.greeting.useLName = m.greeting.missingLNameOption = true;
        m.greeting.salutation = "Dear";
        m.greeting.punctuation = ",";
        QStringList notes;
        PreparedMailing mailing(*app.ctx, s, [&](const QString& line) { notes.append(line); });
        QVERIFY(mailing.personalised());
        QVERIFY(mailing.invalidFields().isEmpty());
        QCOMPARE(notes, (QStringList{"P: Encoding Images...", "P: Encoding Attachments..."}));

        MemoryRecipientLookup list;
        list.add("ann@example.com", row("Ann", "Lee", "Bath\r\nX-Evil: 1"));
        const ComposedMessage msg = mailing.composeFor("ann@example.com", list);
        QVERIFY(msg.found);
        const QString expected =
            kSenderBlock +
            "From: \"Ex BathX-Evil: 1 News\" <news@example.com>\r\n"
            "To: \"Ann Lee\" <ann@example.com>\r\n"
            "Subject: Hello Ann\r\nReply-To: replies@example.com\r\nMIME-Version: 1.0\r\n"
            "Content-Type: multipart/mixed; boundary=\"KLXMixedMessage\"\r\n\r\n--KLXMixedMessage\r\n"
            "Content-Type: multipart/alternative; "
            "boundary=\"KLXAlternativeMessage\"\r\n\r\n--KLXAlternativeMessage\r\n"
            "Content-Type: text/plain\r\n\r\n"
            "Dear Ann \r\nLee,\r\nYour offer \r\nis ready \r\nAnn\r\n\r\n"
            "--KLXAlternativeMessage\r\n"
            "Content-Type: multipart/related; boundary=\"KLXRelatedMessage\"\r\n\r\n--KLXRelatedMessage\r\n"
            "Content-Type: text/html\r\n\r\n" +
            base + "<body bgcolor=white>Dear Ann Lee,\r\n<img src=\"cid:" + kCid + "\"><IMG SRC=cid:" + kCid +
            "> Ann</body></html>\r\n" + kImagePart +
            "\r\n--KLXRelatedMessage--\r\n\r\n--KLXAlternativeMessage--\r\n" + kPdfPart +
            "\r\n--KLXMixedMessage--\r\n\r\n";
        QCOMPARE(QString::fromLatin1(msg.data), expected);
        QCOMPARE(list.lookups, 1);
        QCOMPARE(mailing.composeFor("nobody@example.com", list).data, QByteArray());
    }

    void valueBeforeBodyTag() {
        TestApp app;
        MailingSetup s = baseSetup();
        s.message.sendType = HtmlOnly;
        s.message.htmlText = "<title>[[City]]</title><body>x</body>";
        s.message.greeting.useGreetingManager = true;
        s.message.greeting.greetingType = 1;
        s.message.greeting.useFName = true;
        s.message.greeting.punctuation = ",";
        PreparedMailing mailing(*app.ctx, s);
        MemoryRecipientLookup list;
        list.add("a@x.org", row("Ann", "", "a<BODY>b"));
        list.add("b@x.org", row("Bob", "", "Bath"));
        const QString head = kSenderBlock + "From: <news@example.com>\r\n";
        // The value is text, not a tag: the greeting goes after the real body tag.
        QCOMPARE(QString::fromLatin1(mailing.composeFor("a@x.org", list).data),
                 head + "To: \"a@x.org\" <a@x.org>\r\nSubject: \r\nMIME-Version: 1.0\r\nContent-Type: "
                        "text/html\r\n\r\n"
                        "<title>a&lt;BODY&gt;b</title><body>Ann,\r\nx</body>\r\n");
        QCOMPARE(QString::fromLatin1(mailing.composeFor("b@x.org", list).data),
                 head + "To: \"b@x.org\" <b@x.org>\r\nSubject: \r\nMIME-Version: 1.0\r\nContent-Type: "
                        "text/html\r\n\r\n"
                        "<title>Bath</title><body>Bob,\r\nx</body>\r\n");
    }

    void groupAndTextOnlyDomains() {
        TestApp app;
        MailingSetup s = baseSetup();
        s.checkTextOnlyDomains = true;
        s.textOnlyDomains = splitDomainList(" textonly.org ;;other.net");
        s.wrapWidth = 4;
        s.message.sendType = HtmlOnly;
        s.message.subject = "Hi [[Shoe]]";
        s.message.messageText = "aa bb";
        s.message.htmlText = "<body>cc dd</body>";
        s.message.greeting.groupAddress = "Members";
        PreparedMailing mailing(*app.ctx, s);
        QVERIFY(!mailing.personalised());
        QCOMPARE(mailing.invalidFields(), QStringList{"[[Shoe]]"});
        const QString head =
            kSenderBlock + "From: <news@example.com>\r\nTo: \"Members \"\r\nSubject: Hi [[Shoe]]\r\n";
        QCOMPARE(QString::fromLatin1(mailing.composeForGroup("x@TextOnly.org>")),
                 head + "MIME-Version: 1.0\r\nContent-Type: text/plain\r\n\r\naa \r\nbb\r\n\r\n");
        QCOMPARE(QString::fromLatin1(mailing.composeForGroup("y@elsewhere.org")),
                 head + "MIME-Version: 1.0\r\nContent-Type: text/html\r\n\r\n<body>cc dd</body>\r\n");
        MemoryRecipientLookup none;
        QCOMPARE(mailing.compose("y@elsewhere.org", none).data, mailing.composeForGroup("y@elsewhere.org"));
        QCOMPARE(none.lookups, 0);
    }

    void textOnlyMessageSkipsImages() {
        TestApp app;
        writeFile(app.path("logo.gif"), "GIF89a");
        MailingSetup s = baseSetup();
        s.message.sendType = TextOnly;
        s.message.messageText = "line one\nline two";
        s.message.htmlText = "<img src=\"" + app.path("logo.gif") + "\">";
        PreparedMailing mailing(*app.ctx, s);
        QCOMPARE(mailing.templateText(), QStringLiteral("Subject: \r\nMIME-Version: 1.0\r\nContent-Type: "
                                                        "text/plain\r\n\r\nline one\r\nline two\r\n\r\n"));
        QVERIFY(mailing.missingFiles().isEmpty());
    }

    // A merged value can never open or close a part: in the text it is carried so that no
    // line starts like a boundary, in the HTML it is escaped as well.
    void hostileValuesCannotMakeParts_data() {
        QTest::addColumn<QString>("company");
        QTest::newRow("injected part")
            << "Evil\r\n\r\n--KLXAlternativeMessage\r\nContent-Type: text/html\r\n\r\n"
               "<h1>INJECTED</h1>\r\n--KLXAlternativeMessage--";
        QTest::newRow("the delimiter itself") << "--KLXAlternativeMessage";
        QTest::newRow("bare line ends") << "x\n--KLXMixedMessage--\r--klxrelatedmessage";
    }
    void hostileValuesCannotMakeParts() {
        QFETCH(QString, company);
        TestApp app;
        MailingSetup s = baseSetup();
        s.columns = ListColumns({"EAddress", "FirstName", "Company"});
        s.message.sendType = TextAndHtml;
        s.message.messageText = "[[Company]]\r\nbye";
        s.message.htmlText = "<body><p>[[Company]]</p></body>";
        PreparedMailing mailing(*app.ctx, s);
        MemoryRecipientLookup list;
        RecipientRow r;
        r.set("Company", company);
        r.set("FirstName", "Ann");
        list.add("a@x.org", r);
        const QByteArray data = mailing.composeFor("a@x.org", list).data;
        QCOMPARE(boundaryLines(data), (QList<QByteArray>{"--KLXAlternativeMessage", "--KLXAlternativeMessage",
                                                         "--KLXAlternativeMessage--"}));
        QString expected = company;
        expected.replace("\r\n", "\n").replace('\r', '\n').replace("\n", "\r\n");
        QCOMPARE(partText(data, "text/plain"), expected + "\r\nbye\r\n");
        QCOMPARE(partText(data, "text/html"), "<body><p>" + htmlEscaped(expected) + "</p></body>");
        QVERIFY(data.contains("Content-Type: text/plain; charset=windows-1252\r\nContent-Transfer-Encoding: "
                              "quoted-printable\r\n\r\n"));
    }

    // A 100 KB value wherever it can go: no line of the message passes 998 bytes, and
    // every value comes back whole.
    void hugeValueKeepsLinesShort() {
        TestApp app;
        MailingSetup s = baseSetup();
        s.message.sendType = TextAndHtml;
        s.message.subject = "Hi [[FirstName]]";
        s.message.fromName = "[[FirstName]] News";
        s.message.messageText = "Dear [[FirstName]]";
        s.message.htmlText = "<body>[[FirstName]]</body>";
        s.message.greeting.addressType = 1;
        s.message.greeting.useFName = true;
        PreparedMailing mailing(*app.ctx, s);
        MemoryRecipientLookup list;
        QString huge;
        for (int i = 0; huge.size() < 100 * 1024; ++i)
            huge += QStringLiteral("word%1 ").arg(i) + (i % 7 ? "" : QString(1200, u'x'));
        huge = huge.trimmed();
        list.add("a@x.org", row(huge, "Lee"));
        const QByteArray data = mailing.composeFor("a@x.org", list).data;
        QVERIFY2(longestLine(data) <= 998, QByteArray::number(longestLine(data)));
        QCOMPARE(headerText(data, "Subject"), "Hi " + huge);
        QCOMPARE(headerText(data, "To"), huge + " <a@x.org>");
        QCOMPARE(headerText(data, "From"), huge + " News <news@example.com>");
        QCOMPARE(partText(data, "text/plain"), "Dear " + huge + "\r\n");
        QCOMPARE(partText(data, "text/html"), "<body>" + huge + "</body>");
    }

    // 8-bit characters go out as Windows-1252 with their charset declared and in a form a
    // 7-bit relay takes; quotes and backslashes in a display name are escaped.
    void characterSets() {
        TestApp app;
        MailingSetup s = baseSetup();
        s.message.sendType = TextOnly;
        s.message.subject = QString::fromUtf8("Caf\xc3\xa9 for [[FirstName]]");
        s.message.fromName = "Ex \"Best\" \\ News";
        s.message.messageText = QString::fromUtf8("\xe2\x82\xac 5 for [[FirstName]]");
        s.message.greeting.addressType = 1;
        s.message.greeting.useFName = true;
        PreparedMailing mailing(*app.ctx, s);
        MemoryRecipientLookup list;
        const QString joerg = QString::fromUtf8("J\xc3\xb6rg");
        list.add("a@x.org", row(joerg, ""));
        list.add("b@x.org", row(QString::fromUtf8("\xc5\x81ukasz"), ""));
        const QByteArray a = mailing.composeFor("a@x.org", list).data;
        QVERIFY2(a.contains("\r\nFrom: \"Ex \\\"Best\\\" \\\\ News\" <news@example.com>\r\n"), a.constData());
        QVERIFY(a.contains("\r\nSubject: =?windows-1252?Q?"));
        QCOMPARE(headerText(a, "Subject"), QString::fromUtf8("Caf\xc3\xa9 for ") + joerg);
        QVERIFY(a.contains("\r\nTo: =?windows-1252?Q?J=F6rg?= <a@x.org>\r\n"));
        QVERIFY(a.contains("Content-Type: text/plain; charset=windows-1252\r\nContent-Transfer-Encoding: "
                           "quoted-printable\r\n\r\n=80 5 for J=F6rg"));
        for (const char c : a)
            QVERIFY(uchar(c) < 0x80);
        QCOMPARE(partText(a, "text/plain"), QString::fromUtf8("\xe2\x82\xac 5 for ") + joerg + "\r\n\r\n");
        // Beyond Windows-1252: replaced, and the same header still decodes.
        QCOMPARE(headerText(mailing.composeFor("b@x.org", list).data, "To"), QString("?ukasz <b@x.org>"));
    }

    // Every invalid tag as often as it occurs, in the order of the message; the images
    // step is logged whatever the message type.
    void invalidTagsEveryOccurrence() {
        TestApp app;
        MailingSetup s = baseSetup();
        s.checkTextOnlyDomains = true;
        s.message.sendType = TextAndHtml;
        s.message.fromName = "[[Hat]]";
        s.message.subject = "[[Shoe]]";
        s.message.messageText = "[[Hat]] [[Shoe]] [[FirstName]]";
        s.message.htmlText = "<body>[[Hat]]</body>";
        QStringList notes;
        PreparedMailing mailing(*app.ctx, s, [&](const QString& line) { notes.append(line); });
        QCOMPARE(mailing.invalidFields(),
                 (QStringList{"[[Hat]]", "[[Shoe]]", "[[Hat]]", "[[Shoe]]", "[[Hat]]"}));
        for (int type : {TextOnly, HtmlOnly}) {
            s.message.sendType = type;
            notes.clear();
            PreparedMailing other(*app.ctx, s, [&](const QString& line) { notes.append(line); });
            QCOMPARE(notes, (QStringList{"P: Encoding Images...", "P: Encoding Attachments..."}));
            // The text-only copy of an HTML message brings its text's tags along.
            QCOMPARE(other.invalidFields().size(), type == TextOnly ? 4 : 5);
        }
    }

    void replacementsCountedPerRecipient() {
        TestApp app;
        MailingSetup s = baseSetup();
        s.message.sendType = TextOnly;
        s.message.messageText = "Hi [[FirstName]]";
        QStringList notes;
        PreparedMailing mailing(*app.ctx, s, [&](const QString& line) { notes.append(line); });
        MemoryRecipientLookup list;
        list.add("a@x.org", row(QString::fromUtf8("\xc5\x81ukasz"), ""));
        list.add("b@x.org", row(QString::fromUtf8("\xc5\xbb"
                                                  "aneta"),
                                ""));
        QVERIFY(mailing.composeFor("a@x.org", list).data.contains("Hi ?ukasz\r\n"));
        QVERIFY(mailing.composeFor("b@x.org", list).data.contains("Hi ?aneta\r\n"));
        const QStringList replaced = notes.filter("Windows-1252");
        QCOMPARE(replaced.size(), 2);
        QVERIFY2(replaced[0].startsWith("P: 1 character(s)") && replaced[0].contains("U+0141") &&
                     replaced[0].contains("[[FirstName]] for a@x.org"),
                 qPrintable(replaced[0]));
        QVERIFY(replaced[1].contains("U+017B") && replaced[1].contains("the message to b@x.org"));
    }
};

QTEST_GUILESS_MAIN(TstMimeCompose)
#include "tst_mimecompose.moc"
