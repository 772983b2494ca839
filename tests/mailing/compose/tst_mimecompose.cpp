// Composed messages compared byte for byte: the multipart layouts, images and
// attachments, and whole per-recipient messages with merge, greeting and wrap.
#include "mailing/compose/MimeParts.h"
#include "mailing/compose/PreparedMailing.h"
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
        QCOMPARE(QString::fromLatin1(mailing.composeFor("a@x.org", list).data),
                 head + "To: \"a@x.org\" <a@x.org>\r\nSubject: \r\nMIME-Version: 1.0\r\nContent-Type: "
                        "text/html\r\n\r\n"
                        "<title>a<BODY>Ann,\r\nb</title><body>x</body>\r\n");
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

    void replacementReportedOnce() {
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
        QCOMPARE(notes.filter("Windows-1252").size(), 1);
        QVERIFY2(notes.last().contains("U+0141") && notes.last().contains("[[FirstName]] for a@x.org"),
                 qPrintable(notes.last()));
    }
};

QTEST_GUILESS_MAIN(TstMimeCompose)
#include "tst_mimecompose.moc"
