// The message editor's logic without its window: the Message row, the placeholder names,
// the editor's rules and files, the greeting settings and the snippet stores.

#include "authoring/EditorRules.h"
#include "authoring/GreetingModel.h"
#include "authoring/MessageStore.h"
#include "authoring/SnippetStore.h"
#include "components/jet/Jet.h"
#include "core/Catalogue.h"
#include "core/SystemDatabase.h"
#include "support/MailingFixture.h"

#include <QDir>
#include <QFile>
#include <QTest>

using namespace sendora;
using sendora::test::MailingFixture;

namespace {

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

} // namespace

class TestMessageAuthoring : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { resetNewMessageCounterForTesting(); }

    void newMessagesArePlaceholdersNeverOffered() {
        MailingFixture f;
        MessageStore store(*f.app.ctx);
        quint16 n1 = 0, n2 = 0;
        const QDateTime now(QDate(2026, 12, 6), QTime(9, 5, 7));
        const QString a = store.createNewMessage(&n1, now);
        const QString b = store.createNewMessage(&n2, now); // same second: the counter keeps them apart
        QCOMPARE(a, QStringLiteral("%%NewMailMessage%%12/6/20269:05:07 AM1"));
        QVERIFY(b.startsWith(kNewMessagePrefix) && a != b);
        QCOMPARE(untitledMessageCaption(n1), QStringLiteral("Untitled Message 1"));
        QCOMPARE(untitledMessageCaption(n2), QStringLiteral("Untitled Message 2"));
        QVERIFY(store.exists(a) && store.exists(b));
        // Neither the catalogue's pickers nor the mailing centre's message choice offer them.
        f.execute("INSERT INTO Message (MessageName) VALUES(\"Real\")");
        QCOMPARE(catalogueNames(*f.app.ctx, CatalogueKind::Message), QStringList{"Real"});
        auto db = jet::Database::open(f.sdr());
        auto rs = db->openRecordset(QStringLiteral("SELECT * FROM Message WHERE Messagename NOT LIKE "
                                                   "\"%%NewMailMessage%%*\" ORDER BY MessageName;"));
        QCOMPARE(rs->value("MessageName").toString(), QStringLiteral("Real"));
        rs->moveNext();
        QVERIFY(rs->eof());
        // A new row carries the greeting defaults and the display the editor shows for them.
        const auto r = store.read(a);
        QVERIFY(r);
        const GreetingColumns& g = r->greeting;
        QCOMPARE(g.useGreetingManager.toInt(), -1);
        QCOMPARE(g.addressType.toInt(), 1);
        QCOMPARE(g.greetingType.toInt(), -1);
        QCOMPARE(g.salutation.toString(), QStringLiteral("Dear"));
        QCOMPARE(g.punctuation.toString(), QStringLiteral(","));
        QCOMPARE(g.useTitle.toInt(), 0);
        QVERIFY(g.useFName.toInt() && g.useLName.toInt() && g.missingFNameOption.toInt() &&
                g.missingLNameOption.toInt());
        QCOMPARE(toAddressDisplay(g), QStringLiteral(" [[FirstName]] [[LastName]] [[Eaddress]]"));
        // Closing it unnamed removes the row.
        QVERIFY(store.deleteMessage(a));
        QVERIFY(!store.exists(a) && store.exists(b));
        QVERIFY(!store.deleteMessage(a));
    }

    void editorFieldsAndGreetingRoundTrip() {
        MailingFixture f;
        MessageStore store(*f.app.ctx);
        const QString name = store.createNewMessage();
        MessageRecord r = *store.read(name);
        r.subject = QStringLiteral("Q\"uote\" [[FirstName]] Zoë");
        r.from = QStringLiteral("Quillmark, Inc.");
        r.messageText = QStringLiteral("Line 1\r\nLine \"2\"\r\n");
        r.htmlText =
            QStringLiteral("<html><body><table style=\"x\"><tr><td>€</td></tr></table></body></html>");
        r.sendType = 2;
        r.attachments = QStringLiteral("/a/b.pdf; /c/d e.doc;");
        r.greetingDisplay = QStringLiteral(" [[Eaddress]]");
        r.mailingList = QStringLiteral("ignored: written apart");
        QVERIFY(store.writeEditorFields(r));
        QVERIFY(store.writeMailingList(name, QStringLiteral("Members")));
        GreetingModel m(r.greeting);
        m.setGroupAddress(true);
        m.setGroupAddressText(QStringLiteral("Weekly News Subscriber"));
        m.setPersonalSalutation(true);
        m.setUseTitle(true);
        m.setPrefix(QStringLiteral("Hello"));
        m.setPunctuation(QStringLiteral(":"));
        m.setDefaultName(QStringLiteral("Friend"));
        m.setHtmlGreeting(QStringLiteral("<b>{Prefix}</b> {Salutation}"));
        QVERIFY(store.writeGreeting(name, m.toColumns(r.greeting)));

        const MessageRecord back = *store.read(name);
        QCOMPARE(back.subject, r.subject);
        QCOMPARE(back.from, r.from);
        QCOMPARE(back.messageText, r.messageText);
        QCOMPARE(back.htmlText, r.htmlText);
        QCOMPARE(back.sendType, 2);
        QCOMPARE(back.attachments, r.attachments);
        QCOMPARE(back.greetingDisplay, r.greetingDisplay);
        QCOMPARE(back.mailingList, QStringLiteral("Members"));
        const GreetingControls c = GreetingModel(back.greeting).controls();
        QVERIFY(!c.personalAddress && c.personalSalutation && c.useTitle && c.useFName &&
                c.useGreetingManager);
        QCOMPARE(c.groupAddress, QStringLiteral("Weekly News Subscriber"));
        QCOMPARE(c.prefix, QStringLiteral("Hello"));
        QCOMPARE(c.punctuation, QStringLiteral(":"));
        QCOMPARE(c.defaultName, QStringLiteral("Friend"));
        QCOMPARE(c.htmlGreeting, QStringLiteral("<b>{Prefix}</b> {Salutation}"));
        QCOMPARE(back.greeting.addressType.toInt(), 0);
        QCOMPARE(back.greeting.greetingType.toInt(), 1);
        // The editor never writes a row that is not there.
        r.messageName = QStringLiteral("Nobody");
        QVERIFY(!store.writeEditorFields(r));
        QVERIFY(!store.read(QStringLiteral("Nobody")));
    }

    void greetingRules() {
        GreetingModel fresh(GreetingColumns::defaults());
        QVERIFY(fresh.controls().personalAddress && !fresh.controls().personalSalutation);
        QCOMPARE(fresh.controls().prefix, QStringLiteral("Dear"));
        QCOMPARE(fresh.controls().punctuation, QStringLiteral(","));
        QCOMPARE(fresh.controls().htmlGreeting, kGreetingTemplateDefault);
        QVERIFY(!fresh.prefixEnabled() && !fresh.groupTextEnabled());
        QVERIFY(fresh.validate().isEmpty());

        GreetingModel m = fresh;
        m.setGroupAddress(true);
        QVERIFY(!m.controls().personalAddress && m.groupTextEnabled());
        const Notice refused = m.validate();
        QCOMPARE(refused.text, QStringLiteral("The Group Address option has been selected, but is missing an "
                                              "address.  Please enter this value or use the Personalized "
                                              "Address instead."));
        QCOMPARE(refused.icon, Icon::Exclamation);
        m.setGroupAddressText(QStringLiteral("Weekly News Subscriber"));
        QVERIFY(m.validate().isEmpty());
        QCOMPARE(m.toDisplay(), QStringLiteral("Weekly News Subscriber"));
        m.setGroupAddress(false);
        QVERIFY(m.controls().personalAddress && !m.groupTextEnabled());

        // The hidden box follows the salutation and the name choices.
        m.setPersonalSalutation(true);
        QVERIFY(m.prefixEnabled() && m.greetingDisplayEnabled());
        m.setUseFName(false);
        m.setUseLName(false);
        QVERIFY(!m.greetingDisplayEnabled());
        QCOMPARE(m.greetingDisplay(), QString());
        m.setDefaultName(QStringLiteral("Subscriber"));
        QVERIFY(m.greetingDisplayEnabled());
        QCOMPARE(m.greetingDisplay(), QStringLiteral("Dear Subscriber,"));
        m.setUseTitle(true);
        m.setUseLName(true);
        m.setPunctuation(QStringLiteral(":"));
        QCOMPARE(m.greetingDisplay(), QStringLiteral("Dear [[Title]] [[LastName]]:"));
        QCOMPARE(m.toDisplay(), QStringLiteral(" [[Title]] [[LastName]] [[Eaddress]]"));
        m.setPersonalSalutation(false);
        QVERIFY(!m.greetingDisplayEnabled() && !m.prefixEnabled());

        // Null columns leave the fields empty; emptied text fields keep the stored values.
        GreetingColumns nulls;
        GreetingModel n(nulls);
        QVERIFY(n.controls().prefix.isEmpty() && !n.controls().personalAddress);
        QCOMPARE(n.controls().htmlGreeting, kGreetingTemplateDefault);
        QVERIFY(!greetingManagerEnabled(nulls));
        nulls.useGreetingManager = QStringLiteral("");
        QVERIFY(!greetingManagerEnabled(nulls));
        QVERIFY(greetingManagerEnabled(GreetingColumns::defaults()));
        GreetingModel keep(GreetingColumns::defaults());
        keep.setPrefix(QString());
        QCOMPARE(keep.toColumns(GreetingColumns::defaults()).salutation.toString(), QStringLiteral("Dear"));
    }

    void editorRulesAndMergeLists() {
        MailingFixture f;
        AppContext& ctx = *f.app.ctx;
        QVERIFY(senderNameNotice(QStringLiteral("Morgan Tallis")).isEmpty());
        const Notice refused = senderNameNotice(QStringLiteral("morgan@quillmark.example"));
        QCOMPARE(refused.text, QStringLiteral("Email Addresses are not allowed in this field.  It is used to "
                                              "indicate a name of a sender, (eg. Morgan Tallis, Quillmark, "
                                              "Inc.)"));
        QCOMPARE(refused.icon, Icon::Information);

        QCOMPARE(mergeFieldRefusal(2, QStringLiteral("FirstName")).text, kMergeIntoSourceViewMessage);
        QCOMPARE(mergeFieldRefusal(0, QString()).text,
                 QStringLiteral(
                     "A field can not be inserted until both a mailing list and a field are Selected."));
        QVERIFY(mergeFieldRefusal(1, QStringLiteral("FirstName")).isEmpty());
        QCOMPARE(mergeTagFor(QStringLiteral("FirstName")), QStringLiteral("[[FirstName]]"));
        const QStringList targets = insertTargetChoices();
        QCOMPARE(insertTargetFor(targets[0]), InsertTarget::From);
        QCOMPARE(insertTargetFor(targets[1]), InsertTarget::Subject);
        QCOMPARE(insertTargetFor(targets[2]), InsertTarget::Body);

        f.makeList(QStringLiteral("Zeta"), {QStringLiteral("a@z.test")});
        f.makeList(QStringLiteral("Alpha"), {});
        f.execute("INSERT INTO List([listname],[listpath]) values(\"\",\"blank.mdb\")");
        QCOMPARE(mergeListChoices(ctx), (QStringList{kNoList, kGlobalRemoveListName, "Zeta", "Alpha"}));
        const ListFields fields = mergeListFields(ctx, QStringLiteral("zeta"));
        QVERIFY(fields.ok);
        QCOMPARE(fields.fields, (QStringList{"EAddress", "FirstName", "LastName", "Title", "Sent", "Date",
                                             "Keyword1", "Keyword2", "Company"}));
        const ListFields missing = mergeListFields(ctx, QStringLiteral("Gone"));
        QVERIFY(!missing.ok);
        QCOMPARE(missing.notice.text, QStringLiteral("Error finding MailingList Pathname in Database."));
        QVERIFY(mergeListFields(ctx, kNoList).ok && mergeListFields(ctx, kNoList).fields.isEmpty());
        QCOMPARE(mergeListChoiceFor(ctx, QStringLiteral("Alpha")), QStringLiteral("Alpha"));
        QCOMPARE(mergeListChoiceFor(ctx, QStringLiteral("Gone")), kNoList);

        QVERIFY(ListUsedInMailMergeForOpenMessage("Zeta", true, "Zeta"));
        QVERIFY(!ListUsedInMailMergeForOpenMessage("Zeta", false, "Zeta"));
        QVERIFY(!ListUsedInMailMergeForOpenMessage("Zeta", true, "Alpha"));
        QVERIFY(!ListUsedInMailMergeForOpenMessage(kNoList, true, kNoList));
    }

    void attachmentsAndCopiedFiles() {
        MailingFixture f;
        AppContext& ctx = *f.app.ctx;
        QString list = appendAttachment(QString(), QStringLiteral("/x/a.pdf"));
        QCOMPARE(list, QStringLiteral("/x/a.pdf;"));
        QCOMPARE(appendAttachment(list, QStringLiteral("/y/b c.doc")),
                 QStringLiteral("/x/a.pdf; /y/b c.doc;"));

        QDir(f.app.dir.path()).mkpath("src1");
        QDir(f.app.dir.path()).mkpath("src2");
        const QString one = f.app.path("src1/report.pdf"), same = f.app.path("src2/report.pdf");
        writeFile(one, "first");
        writeFile(same, "first");
        const CopiedFile c1 = copyIntoAttachments(ctx, one);
        QVERIFY(c1.ok());
        QCOMPARE(c1.path, QDir(ctx.paths.attach).absoluteFilePath("report.pdf"));
        QCOMPARE(copyIntoAttachments(ctx, same).path, c1.path); // same content: reused
        writeFile(same, "second, different");
        const CopiedFile c2 = copyIntoAttachments(ctx, same);
        QCOMPARE(c2.path, QDir(ctx.paths.attach).absoluteFilePath("report (2).pdf"));
        QCOMPARE(readFile(c1.path), QByteArray("first"));
        QCOMPARE(readFile(c2.path), QByteArray("second, different"));
        QCOMPARE(copyIntoAttachments(ctx, c2.path).path, c2.path); // already there
        const CopiedFile gone = copyIntoAttachments(ctx, f.app.path("nope.pdf"));
        QVERIFY(!gone.ok());
        QVERIFY(gone.notice.text.contains("nope.pdf"));

        // Images of an HTML file come along; web, cid: and data: references stay.
        writeFile(f.app.path("src1/logo.png"), "PNG");
        const QString html =
            "<body background='bg.png'><img src=\"logo.png\"><IMG SRC=\"http://x.test/a.png\">"
            "<img src=\"cid:abc\"><img src=\"data:image/png;base64,AA\"><i data-src=\"no.png\"></i></body>";
        writeFile(f.app.path("src1/bg.png"), "BG");
        const CopiedHtml copied = copyHtmlImages(ctx, html, f.app.path("src1"));
        QVERIFY(copied.notice.isEmpty());
        const QString attach = QDir(ctx.paths.attach).absolutePath();
        QCOMPARE(copied.html, "<body background=\"" + attach + "/bg.png\"><img src=\"" + attach +
                                  "/logo.png\"><IMG SRC=\"http://x.test/a.png\"><img src=\"cid:abc\">"
                                  "<img src=\"data:image/png;base64,AA\"><i data-src=\"no.png\"></i></body>");
        const CopiedHtml broken = copyHtmlImages(ctx, "<img src=\"none.png\">", f.app.path("src1"));
        QVERIFY(!broken.notice.isEmpty());
        QCOMPARE(broken.html, QStringLiteral("<img src=\"none.png\">"));

        const InsertedText absent = readFileForInsert(f.app.path("none.txt"));
        QCOMPARE(absent.notice.text, "Cannot insert the file '" + f.app.path("none.txt") +
                                         "' into this message.  The file could not be found.");
        writeFile(f.app.path("cp.txt"), "caf\xe9\r\n");
        QCOMPARE(readFileForInsert(f.app.path("cp.txt")).text, QStringLiteral("café\r\n"));
        writeFile(f.app.path("utf.txt"), "caf\xc3\xa9");
        QCOMPARE(readFileForInsert(f.app.path("utf.txt")).text, QStringLiteral("café"));
    }

    void signaturesAndClickCodes() {
        MailingFixture f;
        AppContext& ctx = *f.app.ctx;
        SnippetStore sigs(ctx, SnippetStore::Kind::Signatures);
        QVERIFY(sigs.list().isEmpty());
        QCOMPARE(sigs.add(QString(), "x").text, QStringLiteral("Please enter a valid description."));
        QCOMPARE(sigs.add("Work", "  ").text, QStringLiteral("Please enter a valid Signature."));
        QVERIFY(sigs.add("Work", "Ann Lee\r\nQuillmark\nSales").isEmpty());
        QVERIFY(sigs.add("Home", "Ann").isEmpty());
        QCOMPARE(sigs.add("Work", "again").text,
                 QStringLiteral("A Signature with the description of Work already exists."));
        // Editing keeps its own description without the duplicate message, and its place.
        QVERIFY(sigs.replace("Work", "Work", "Ann\nLee").isEmpty());
        QCOMPARE(sigs.replace("Home", "Work", "x").text,
                 QStringLiteral("A Signature with the description of Work already exists."));
        const SnippetStore reread(ctx, SnippetStore::Kind::Signatures);
        QCOMPARE(reread.list(), (QList<Snippet>{{"Work", "Ann<br>Lee"}, {"Home", "Ann"}}));
        QVERIFY(reread.filePath().startsWith(ctx.paths.system));
        QVERIFY(sigs.remove("Home"));
        QVERIFY(!sigs.remove("Home"));
        QCOMPARE(sigs.descriptions(), QStringList{"Work"});

        SnippetStore codes(ctx, SnippetStore::Kind::ClickCodes);
        QVERIFY(codes.list().isEmpty()); // a file of its own
        QCOMPARE(codes.add("Buy", "").text, QStringLiteral("Please enter a valid button code entry."));
        QVERIFY(codes.add("Buy", "<a href=\"x\">Buy\nnow</a>").isEmpty());
        QCOMPARE(codes.add("Buy", "y").text,
                 QStringLiteral("A profile with the description of Buy already exists."));
        QCOMPARE(codes.find("Buy")->text, QStringLiteral("<a href=\"x\">Buy\nnow</a>"));
        // A damaged file reads as empty and is replaced whole by the next save.
        writeFile(codes.filePath(), "{not json");
        QVERIFY(codes.list().isEmpty());
        QVERIFY(codes.add("Buy", "z").isEmpty());
        QCOMPARE(codes.descriptions(), QStringList{"Buy"});
    }
};

QTEST_GUILESS_MAIN(TestMessageAuthoring)
#include "tst_messageauthoring.moc"
