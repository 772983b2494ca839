// sendora-cli message save/show as a script runs them, and the preview against what
// sendora-cli compose sends: the same parts for every address of a list.

#include "authoring/MessagePreview.h"
#include "authoring/MimeReader.h"
#include "components/jet/Jet.h"
#include "core/AppContext.h"
#include "core/Settings.h"
#include "support/ScriptedUserInterface.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

struct Run {
    int code = -1;
    QByteArray out;
    QString err;
};

Run cli(const QStringList& args) {
    QProcess p;
    p.start(QStringLiteral(SENDORA_CLI), args);
    p.closeWriteChannel();
    if (!p.waitForFinished(60000)) return {};
    return {p.exitCode(), p.readAllStandardOutput(), QString::fromUtf8(p.readAllStandardError())};
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// "Field<TAB>value" lines of message show.
QHash<QString, QString> fieldsOf(const QByteArray& out) {
    QHash<QString, QString> fields;
    for (const QString& line : QString::fromUtf8(out).split('\n', Qt::SkipEmptyParts))
        fields.insert(line.section('\t', 0, 0), line.section('\t', 1));
    return fields;
}

qint64 placeholderRows(const QString& dir) {
    auto db = jet::Database::open(dir + "/system/Sendora.sdr", jet::Database::OpenMode::ReadOnly);
    auto rs =
        db->openRecordset("SELECT COUNT(*) FROM Message WHERE MessageName LIKE \"%%NewMailMessage%%*\"");
    return rs->value(0).toLongLong();
}

} // namespace

class TestCliMessage : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString d(const QString& rel) const { return m_dir.filePath(rel); }
    QStringList data(QStringList args) const { return QStringList{"--data-dir", m_dir.path()} + args; }

private Q_SLOTS:
    void initTestCase() {
        QCOMPARE(cli(data({"--no", "init"})).code, 0);
        QDir(m_dir.path()).mkpath("in");
        writeFile(d("in/news.html"),
                  "<html><body><img src=\"img/logo.png\"><p>Hi [[FirstName]] caf\xe9</p></body></html>");
        QDir(m_dir.path()).mkpath("in/img");
        writeFile(d("in/img/logo.png"), QByteArray("\x89PNG\r\n\x1a\n-logo-", 14));
        writeFile(d("in/news.txt"), "Hi [[FirstName]], caf\xc3\xa9 = [[Company]]\r\n");
        writeFile(d("in/a.pdf"), "A");
        writeFile(d("in/b.pdf"), "B");
    }

    void saveAndShowAsTheEditorWould() {
        const Run saved =
            cli(data({"message", "save", "News", "--subject", "Hello [[FirstName]]", "--html",
                      d("in/news.html"), "--text", d("in/news.txt"), "--attach", d("in/a.pdf"), "--attach",
                      d("in/b.pdf"), "--from", "Quillmark, Inc.", "--list", "Global Remove List"}));
        QCOMPARE(saved.code, 0);
        const QString attach = QDir(d("Attach")).absolutePath();
        auto f = fieldsOf(cli(data({"message", "show", "news"})).out);
        QCOMPARE(f["MessageName"], QStringLiteral("News"));
        QCOMPARE(f["Subject"], QStringLiteral("Hello [[FirstName]]"));
        QCOMPARE(f["From"], QStringLiteral("Quillmark, Inc."));
        QCOMPARE(f["SendType"], QStringLiteral("2"));
        QCOMPARE(f["Attachments"], attach + "/a.pdf; " + attach + "/b.pdf;");
        QCOMPARE(f["MailingList"], QStringLiteral("Global Remove List"));
        QCOMPARE(f["GreetingDisplay"], QStringLiteral(" [[FirstName]] [[LastName]] [[Eaddress]]"));
        QCOMPARE(f["Salutation"], QStringLiteral("Dear"));
        QCOMPARE(f["GreetingType"], QStringLiteral("-1"));
        QCOMPARE(f["MessageText"], QStringLiteral("Hi [[FirstName]], café = [[Company]]\\r\\n"));
        QCOMPARE(f["HTMLText"], "<html><body><img src=\"" + attach +
                                    "/logo.png\"><p>Hi [[FirstName]] café</p></body></html>");
        QVERIFY(QFile::exists(attach + "/logo.png"));
        QCOMPARE(placeholderRows(m_dir.path()), 0);

        // Saving again under the name in other letters updates that message only.
        QCOMPARE(cli(data({"message", "save", "NEWS", "--subject", "Second", "--send-type", "html", "--list",
                           "<no list>"}))
                     .code,
                 0);
        f = fieldsOf(cli(data({"message", "show", "News"})).out);
        QCOMPARE(f["MessageName"], QStringLiteral("News"));
        QCOMPARE(f["Subject"], QStringLiteral("Second"));
        QCOMPARE(f["SendType"], QStringLiteral("1"));
        QCOMPARE(f["MailingList"], QString());
        QCOMPARE(f["Attachments"], attach + "/a.pdf; " + attach + "/b.pdf;");
        QCOMPARE(f["From"], QStringLiteral("Quillmark, Inc."));
    }

    void refusedNamesAndValues() {
        const QString invalidName =
            "Please Enter a Valid Filename. A valid filename cannot contain the following "
            "characters:  \r\n    \"  *  ?  /  \\  |  :  ;";
        const struct {
            QStringList args;
            QString message;
        } cases[] = {
            {{"a:b"}, invalidName},
            {{"'quoted"}, invalidName},
            {{"x;y"}, invalidName},
            {{"%%NewMailMessage%%mine"}, invalidName},
            {{"  "}, "Please supply a name for this message"},
            {{"Ok", "--from", "ann@quillmark.example"},
             "Email Addresses are not allowed in this field.  It is used to indicate a name of a sender, "
             "(eg. "
             "Morgan Tallis, Quillmark, Inc.)"},
            {{"Ok", "--html", d("in/none.html")},
             "Cannot insert the file '" + d("in/none.html") +
                 "' into this message.  The file could not be found."},
            {{"Ok", "--list", "Gone"}, "Error finding MailingList Pathname in Database."},
        };
        for (const auto& c : cases) {
            const Run r = cli(data(QStringList{"message", "save"} + c.args));
            QCOMPARE(r.code, 2);
            QCOMPARE(r.err, "sendora-cli: " + c.message + "\n");
        }
        QCOMPARE(cli(data({"message", "show", "Ok"})).code, 2);
        QCOMPARE(cli(data({"message", "save", "Ok", "--send-type", "rich"})).code, 2);
        QCOMPARE(cli(data({"message", "frobnicate"})).code, 2);
        QCOMPARE(placeholderRows(m_dir.path()), 0);
    }

    void previewShowsWhatComposeSends() {
        {
            auto l = jet::Database::create(d("AddressLists/Three.mdb"));
            l->execute(
                "CREATE TABLE AddressList(EAddress TEXT(255) NOT NULL CONSTRAINT EAddress PRIMARY KEY, "
                "FirstName TEXT(255), LastName TEXT(255), Title TEXT(255), Sent TEXT(255), [Date] "
                "TEXT(255), Keyword1 TEXT(255), Keyword2 TEXT(255), Company TEXT(255))",
                true);
            const QString longValue = QString(120, u'x') + "=€";
            l->execute(
                QStringLiteral("INSERT INTO AddressList (EAddress, FirstName, LastName, Company) VALUES"
                               "(\"zoe@z.test\", \"Zoë\", \"Åberg\", %1)")
                    .arg(jet::quote(longValue)));
            l->execute(
                "INSERT INTO AddressList (EAddress, FirstName, Company) VALUES(\"ann@z.test\", \"Ann\", "
                "\"Quillmark\")");
            l->execute("INSERT INTO AddressList (EAddress) VALUES(\"bare@z.test\")");
            l->close();
            auto db = jet::Database::open(d("system/Sendora.sdr"));
            db->execute("INSERT INTO List([listname],[listpath],[listdescription]) "
                        "values(\"Three\",\"Three.mdb\",\"\")");
            db->execute("UPDATE Profile SET [From] = \"me@sender.test\"");
        }
        QCOMPARE(cli(data({"message", "save", "Letter", "--subject", "For [[FirstName]] €", "--html",
                           d("in/news.html"), "--text", d("in/news.txt"), "--attach", d("in/a.pdf"), "--list",
                           "Three"}))
                     .code,
                 0);
        {
            auto db = jet::Database::open(d("system/Sendora.sdr"));
            db->execute("UPDATE Message SET GreetingType = 1 WHERE MessageName = \"Letter\"");
            db->execute("INSERT INTO Sendora VALUES(\"G\",\"\")");
            db->execute("INSERT INTO MailEvent (SendoraName, ListName, MessageName, Profile) "
                        "VALUES(\"G\",\"Three\",\"Letter\",\"Default Delivery Options\")");
        }
        sendora::test::ScriptedUserInterface ui;
        sendora::AppContext ctx(m_dir.path(), &ui, nullptr);
        sendora::loadApplicationDefaults(ctx.settingsFile, ctx.settings);
        sendora::MessagePreview preview(ctx);
        QVERIFY(preview.prepare("Letter", "Three").isEmpty());
        QCOMPARE(preview.count(), 3);
        QStringList seen;
        do {
            const sendora::PreviewPage page = preview.current();
            seen << page.address;
            const Run composed = cli(data({"compose", "1", "--to", page.address}));
            QCOMPARE(composed.code, 0);
            const sendora::MimeMessage sent = sendora::readMime(composed.out);
            const sendora::MimeMessage& shown = page.message;
            QCOMPARE(shown.to, sent.to);
            QCOMPARE(shown.subject, sent.subject);
            QCOMPARE(shown.from, sent.from);
            QVERIFY(shown.hasText && shown.hasHtml);
            QCOMPARE(shown.text, sent.text);
            QCOMPARE(shown.html, sent.html);
            QCOMPARE(shown.inlineImages, sent.inlineImages);
            QCOMPARE(shown.attachmentNames, sent.attachmentNames);
            QCOMPARE(shown.inlineImages.size(), 1);
            QCOMPARE(shown.inlineImages.begin().value(), QByteArray("\x89PNG\r\n\x1a\n-logo-", 14));
        } while (preview.next());
        QCOMPARE(seen, (QStringList{"ann@z.test", "bare@z.test", "zoe@z.test"}));
        // The reader undid the transfer encodings: the merged values read as typed.
        preview.moveTo(3);
        const sendora::MimeMessage zoe = preview.current().message;
        QCOMPARE(zoe.subject, QStringLiteral("For Zoë €"));
        QVERIFY2(zoe.text.startsWith("Dear Zoë Åberg,\r\nHi Zoë, café = " + QString(120, u'x') + "=€"),
                 qPrintable(zoe.text));
        QVERIFY(zoe.to.contains("Zoë Åberg"));
    }
};

QTEST_GUILESS_MAIN(TestCliMessage)
#include "tst_cli_message.moc"
