// The preview: its refusals, stepping through a list in EAddress order, the tabs by send
// type, the merged message read back; and the MIME reader on well-formed and hostile data.

#include "authoring/MessagePreview.h"
#include "authoring/MessageStore.h"
#include "authoring/MimeReader.h"
#include "support/MailingFixture.h"

#include <QFile>
#include <QTest>

using namespace sendora;
using sendora::test::MailingFixture;

class TestMessagePreview : public QObject {
    Q_OBJECT

    // A message "M" with the given send type over a merge tag in every part.
    static void addMessage(MailingFixture& f, int sendType) {
        f.execute(
            QStringLiteral("INSERT INTO Message (MessageName, Subject, SendType, MessageText, HTMLText, "
                           "[From], AddressType, UseFName, UseLName, UseGreetingManager, GreetingType, "
                           "Salutation, Punctuation) VALUES(\"M\",\"For [[FirstName]]\",%1,"
                           "\"Text [[Company]]\",\"<html><body><p>Html [[Company]]</p></body></html>\","
                           "\"Quillmark\",1,-1,-1,-1,1,\"Dear\",\":\")")
                .arg(sendType));
    }

private Q_SLOTS:
    void refusals() {
        MailingFixture f;
        addMessage(f, 2);
        MessagePreview p(*f.app.ctx);
        QCOMPARE(p.prepare("M", "<no list>").text, QStringLiteral("Please choose a valid list."));
        const Notice absent = p.prepare("M", "Nowhere");
        QCOMPARE(absent.text,
                 QStringLiteral("The addresslist 'Nowhere' could not be found.\r\nYou need a valid "
                                "list in order to use the preview function."));
        QCOMPARE(absent.icon, Icon::Information);
        f.execute("INSERT INTO List([listname],[listpath]) values(\"Lost\",\"Lost.mdb\")");
        QCOMPARE(p.prepare("M", "Lost").text, previewListNotFoundMessage("Lost"));
        f.makeList("Empty", {});
        QCOMPARE(p.prepare("M", "Empty").text,
                 QStringLiteral("There are no addresses to preview this message with."));
        f.makeList("One", {"a@z.test"});
        QCOMPARE(p.prepare("Missing message", "One").text, kPreviewInitFailedMessage);
        QVERIFY(f.app.ui.shown.isEmpty()); // the window shows them, not the engine
    }

    void tabsFollowTheSendType() {
        MailingFixture f;
        f.makeList("One", {"a@z.test"});
        const struct {
            int sendType;
            bool text, html;
            int first;
        } cases[] = {{0, true, false, 0}, {1, false, true, 1}, {2, true, true, 0}, {7, true, false, 0}};
        for (const auto& c : cases) {
            f.execute("DELETE FROM Message");
            addMessage(f, c.sendType);
            MessagePreview p(*f.app.ctx);
            QVERIFY(p.prepare("M", "One").isEmpty());
            QCOMPARE(p.textTabEnabled(), c.text);
            QCOMPARE(p.htmlTabEnabled(), c.html);
            QCOMPARE(p.firstTab(), c.first);
            QCOMPARE(p.caption(), QStringLiteral("Preview Message: M"));
        }
    }

    void stepsThroughTheListInAddressOrder() {
        MailingFixture f;
        addMessage(f, 2);
        f.makeList("Three", {"c@z.test", "a@z.test", "b@z.test"}); // F0/Company 0 is c@z.test
        MessagePreview p(*f.app.ctx);
        QVERIFY(p.prepare("M", "Three").isEmpty());
        QCOMPARE(p.count(), 3);
        QCOMPARE(p.position(), 1);
        QVERIFY(!p.previous());
        PreviewPage page = p.current();
        QCOMPARE(page.address, QStringLiteral("a@z.test"));
        QCOMPARE(page.counterText(), QStringLiteral("1 of 3"));
        QCOMPARE(page.message.subject, QStringLiteral("For F1"));
        QCOMPARE(page.message.to, QStringLiteral("\"F1 L1\" <a@z.test>"));
        QCOMPARE(page.message.text, QStringLiteral("Dear F1 L1:\r\nText Company 1\r\n"));
        QVERIFY2(page.message.html.contains("Dear F1 L1:\r\n<p>Html Company 1</p>"),
                 qPrintable(page.message.html));
        QVERIFY(p.next());
        QVERIFY(p.next());
        QVERIFY(!p.next());
        page = p.current();
        QCOMPARE(page.address, QStringLiteral("c@z.test"));
        QCOMPARE(page.counterText(), QStringLiteral("3 of 3"));
        QCOMPARE(page.message.subject, QStringLiteral("For F0"));
        QVERIFY(p.previous());
        QCOMPARE(p.current().address, QStringLiteral("b@z.test"));
        // A row deleted behind the preview's back gives an empty page, not a crash.
        {
            auto db = jet::Database::open(f.listFile("Three"));
            db->execute("DELETE FROM AddressList WHERE EAddress = \"b@z.test\"");
        }
        QCOMPARE(p.current().position, 0);
    }

    void mimeReaderDecodesWhatTheComposerWrites() {
        const QByteArray data =
            "From: =?windows-1252?Q?Caf=E9_Owner?= <me@x.test>\r\n"
            "To: \"Ann\" <a@x.test>\r\n"
            "Subject: =?windows-1252?B?WG/rIGFuZCBGcmll?=\r\n =?utf-8?Q?nds_=E2=82=AC?=\r\n"
            "MIME-Version: 1.0\r\n"
            "Content-Type: multipart/mixed; boundary=\"OUT\"\r\n\r\n"
            "preamble\r\n--OUT\r\n"
            "Content-Type: multipart/alternative; boundary=\"ALT\"\r\n\r\n"
            "--ALT\r\nContent-Type: text/plain; charset=windows-1252\r\n"
            "Content-Transfer-Encoding: quoted-printable\r\n\r\n"
            "caf=E9 long line =\r\ncontinued\r\n=3D\r\n--ALT\r\n"
            "Content-Type: multipart/related; boundary=REL\r\n\r\n"
            "--REL\r\nContent-Type: text/html\r\n\r\n<p>\x80</p>\r\n"
            "--REL\r\nContent-ID: <klx0a6497657>\r\nContent-Type: IMAGE/png\r\n"
            "Content-Transfer-Encoding: BASE64\r\n\r\nUE5H\r\nREFUQQ==\r\n--REL--\r\n--ALT--\r\n"
            "--OUT\r\nContent-Type: Application/pdf\r\nContent-Disposition: attachment; "
            "filename=\"r.pdf\"\r\n"
            "Content-Transfer-Encoding: BASE64\r\n\r\nAAAA\r\n--OUT--\r\n";
        const MimeMessage m = readMime(data);
        QCOMPARE(m.from, QStringLiteral("Café Owner <me@x.test>"));
        QCOMPARE(m.to, QStringLiteral("\"Ann\" <a@x.test>"));
        QCOMPARE(m.subject, QStringLiteral("Xoë and Friends €"));
        QVERIFY(m.hasText && m.hasHtml);
        QCOMPARE(m.text, QStringLiteral("café long line continued\r\n="));
        QCOMPARE(m.html, QStringLiteral("<p>€</p>"));
        QCOMPARE(m.inlineImages.value("klx0a6497657"), QByteArray("PNGDATA"));
        QCOMPARE(m.attachmentNames, QStringList{"r.pdf"});

        // A message without MIME is its text; hostile or cut-off data gives what can be read.
        const MimeMessage plain = readMime("Subject: Hi\r\n\r\nBody only\r\n");
        QVERIFY(plain.hasText && !plain.hasHtml);
        QCOMPARE(plain.text, QStringLiteral("Body only\r\n"));
        const MimeMessage cut = readMime("Content-Type: multipart/mixed; boundary=\"B\"\r\n\r\n--B\r\n"
                                         "Content-Type: text/html\r\n\r\n<p>half");
        QCOMPARE(cut.html, QStringLiteral("<p>half"));
        QCOMPARE(readMime("Content-Type: multipart/mixed\r\n\r\n--\r\n").hasText, false);
        QCOMPARE(decodeHeaderValue("=?x?Q?bad =?= plain =?utf-8?B?w6k=?="),
                 QStringLiteral("=?x?Q?bad =?= plain é"));
        QCOMPARE(decodeQuotedPrintable("a=ZZ=4"), QByteArray("a=ZZ=4"));
        QByteArray nested;
        for (int i = 0; i < 200; ++i)
            nested += "Content-Type: multipart/mixed; boundary=\"b\"\r\n\r\n--b\r\n";
        QVERIFY(!readMime(nested).hasText); // deep nesting ends, it does not recurse forever
    }
};

QTEST_GUILESS_MAIN(TestMessagePreview)
#include "tst_messagepreview.moc"
