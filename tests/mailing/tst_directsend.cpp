// Direct send's list preparation (selection, id and error columns, empty selections) and the
// Undeliverable Manager's counts and deletes on the error column it leaves.

#include "mailing/CMailingManager.h"
#include "mailing/Undeliverables.h"
#include "support/MailingFixture.h"

#include <QSignalSpy>
#include <QTest>

using namespace sendora;
using sendora::test::MailingFixture;

namespace {

struct Direct : MailingFixture {
    qint64 mailingId = 0;

    explicit Direct(const QStringList& addresses, const QStringList& sent = {}) {
        makeList(QStringLiteral("Members"), addresses, sent);
        execute(QStringLiteral("INSERT INTO Message (MessageName, Subject, SendType, HTMLText) "
                               "VALUES(\"Hello\",\"Hi\",1,\"<p>x</p>\")"));
        execute(QStringLiteral("UPDATE Profile SET direct_send = -1, [From] = \"news@example.org\""));
        mailingId = addSpringMailing();
    }
    void list(const QString& sql) {
        auto db = jet::Database::open(listFile(QStringLiteral("Members")));
        db->execute(sql, true);
    }
    // "address=id/error" per row in address order.
    QStringList rows() {
        auto db = jet::Database::open(listFile(QStringLiteral("Members")), jet::Database::OpenMode::ReadOnly);
        QStringList out;
        auto rs = db->openRecordset(QStringLiteral("SELECT * FROM AddressList ORDER BY EAddress"));
        auto field = [&rs](const char* name) {
            return rs->hasField(QLatin1String(name)) ? rs->value(QLatin1String(name)).toString() : QString();
        };
        for (; !rs->eof(); rs->moveNext())
            out << field("EAddress") + u'=' + field("id") + u'/' + field("error");
        return out;
    }
    bool init(CMailingManager& m) {
        QSignalSpy done(&m, &CMailingManager::initFinished);
        m.init(mailingId);
        if (done.isEmpty() && !done.wait(10000)) return false;
        return done.first().first().toBool();
    }
};

} // namespace

class TestDirectSend : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void selection_data() {
        QTest::addColumn<bool>("blocks");
        QTest::addColumn<bool>("filtered");
        QTest::addColumn<bool>("notYet");
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QString>("sql");
        const QString f = QStringLiteral("WHERE [Company] = \"A\"");
        QTest::newRow("blocks filter flag")
            << true << true << true << f
            << "SELECT TOP 5 * FROM AddressList WHERE [Company] = \"A\" AND  Sent <> \"S\";";
        QTest::newRow("blocks flag empty filter") << true << true << true << ""
                                                  << "SELECT TOP 5 * FROM AddressList WHERE SENT <> \"S\";";
        QTest::newRow("blocks filter")
            << true << true << false << f << "SELECT TOP 5 * FROM AddressList WHERE [Company] = \"A\"";
        QTest::newRow("blocks flag")
            << true << false << true << f
            << "SELECT TOP 5 * FROM AddressList WHERE [Sent] <> \"S\" OR ISNULL([Sent]);";
        QTest::newRow("blocks") << true << false << false << f << "SELECT TOP 5 * FROM AddressList";
        QTest::newRow("all") << false << false << true << f << "SELECT * FROM AddressList";
        QTest::newRow("filter flag") << false << true << true << f
                                     << "SELECT * FROM AddressList WHERE [Company] = \"A\"";
        QTest::newRow("filter") << false << true << false << f << "SELECT TOP 5 * FROM AddressList";
    }
    void selection() {
        QFETCH(bool, blocks);
        QFETCH(bool, filtered);
        QFETCH(bool, notYet);
        QFETCH(QString, filter);
        QFETCH(QString, sql);
        QCOMPARE(directSelectionStatement({blocks, filtered, notYet, 5, filter, QStringLiteral("S")}), sql);
    }

    // A list from an earlier direct send: ids renumbered over the new selection only, every
    // error cleared, the index rebuilt; the flagged row is left without an id.
    void preparesListAgain() {
        Direct d({"a@x.test", "b@x.test", "c@x.test", "d@x.test"}, {"", "S", "", ""});
        d.list("ALTER TABLE AddressList ADD COLUMN id LONG");
        d.list("ALTER TABLE AddressList ADD COLUMN error TEXT(255)");
        d.list("CREATE INDEX PK_ID ON AddressList (id)");
        d.list("UPDATE AddressList SET id = 40, error = \"MX Error... gone\"");
        d.execute("UPDATE Profile SET bSendInBlocks = -1, SendBlockSize = 10, bIfNotYetFlagged = -1, "
                  "SentFlagToCheck = \"S\"");
        CMailingManager m(*d.app.ctx);
        m.batchSize = 2;
        QSignalSpy ids(&m, &CMailingManager::idsAssigned);
        QVERIFY(d.init(m));
        QCOMPARE(m.selectionStatement(),
                 QStringLiteral("SELECT TOP 10 * FROM AddressList WHERE [Sent] <> \"S\" OR ISNULL([Sent]);"));
        QCOMPARE(m.addressCount(), 3);
        QCOMPARE(d.rows(), QStringList({"a@x.test=1/", "b@x.test=/", "c@x.test=2/", "d@x.test=3/"}));
        QCOMPARE(ids.last().first().toLongLong(), 3); // 0, 2, 3: the screen had its turns
        QCOMPARE(ids.size(), 3);
        auto db = jet::Database::open(d.listFile("Members"), jet::Database::OpenMode::ReadOnly);
        QCOMPARE(db->indexes("AddressList").size() >= 1, true);
        bool pk = false;
        for (const auto& i : db->indexes("AddressList"))
            pk = pk || (i.name == "PK_ID" && i.fields == QStringList{"id"});
        QVERIFY(pk);
        QVERIFY(d.app.ui.shown.isEmpty());
        QVERIFY(!QFile::exists(d.app.ctx->paths.app + "Errors.log"));
    }

    void emptySelection_data() {
        QTest::addColumn<bool>("filtered");
        QTest::addColumn<QString>("title");
        QTest::newRow("all flagged") << false << "Address List";
        QTest::newRow("filter matches nothing") << true << "No Messages Sent";
    }
    // Nothing selected: the send ends with the cursor's message and the errors stay cleared.
    void emptySelection() {
        QFETCH(bool, filtered);
        QFETCH(QString, title);
        Direct d({"a@x.test", "b@x.test"}, {"S", "S"});
        d.list("ALTER TABLE AddressList ADD COLUMN error TEXT(255)");
        d.list("UPDATE AddressList SET error = \"DNS TIMEOUT\"");
        d.execute(filtered
                      ? "UPDATE Profile SET bSendFiltered = -1, SQLFilter = \"WHERE Company = 'none'\", "
                        "bIfNotYetFlagged = -1"
                      : "UPDATE Profile SET bSendInBlocks = -1, SendBlockSize = 10, bIfNotYetFlagged = -1, "
                        "SentFlagToCheck = \"S\"");
        CMailingManager m(*d.app.ctx);
        QVERIFY(!d.init(m));
        QCOMPARE(d.app.ui.shown.size(), 1);
        QCOMPARE(d.app.ui.shown[0].title, title);
        QCOMPARE(d.app.ui.shown[0].text, filtered ? kNoMatchingAddresses : kBlankListText);
        QCOMPARE(d.rows(), QStringList({"a@x.test=/", "b@x.test=/"}));
        QVERIFY(!m.storageFailed());
    }

    // A list file that cannot be written stops before anything changes, naming the file.
    void readOnlyListRefused() {
        Direct d({"a@x.test"});
        const QString file = d.listFile("Members");
        jet::setWriteFaultForTesting(
            [file](const QString& f) { return f == file ? 8 /* SQLITE_READONLY */ : 0; });
        CMailingManager m(*d.app.ctx);
        QVERIFY(!d.init(m));
        QVERIFY(m.storageFailed());
        jet::setWriteFaultForTesting({});
        QCOMPARE(d.app.ui.shown.last().title, QStringLiteral("Mailing Not Started"));
        QVERIFY(d.app.ui.shown.last().text.contains("Members.mdb"));
        QCOMPARE(d.rows(), QStringList({"a@x.test=/"}));
    }

    // Counts by cause and deletes of the selected causes; an empty error is never deleted.
    void undeliverables() {
        Direct d(
            {"a@x.test", "b@x.test", "c@x.test", "d@x.test", "e@x.test", "f@x.test", "g@x.test", "h@x.test"});
        CUndeliverables u(*d.app.ctx);
        u.addressList = "members";
        QCOMPARE(u.getPathName(), QStringLiteral("Members.mdb"));
        // Never sent directly: no error column, nothing counted or deleted.
        QCOMPARE(u.countAll("Members.mdb"), (std::array<qint32, 6>{0, 0, 0, 0, 0, 0}));
        d.list("ALTER TABLE AddressList ADD COLUMN error TEXT(255)");
        const char* errors[] = {"DNS TIMEOUT",
                                "MAILER TIMEOUT",
                                "MX Error... no mail host",
                                "MX Error",
                                "Mailer Error... 550 no such user",
                                "Socket Error... refused",
                                "",
                                "dns timeout x"};
        for (int i = 0; i < 8; ++i)
            d.list(QStringLiteral("UPDATE AddressList SET error = %1 WHERE EAddress = \"%2@x.test\"")
                       .arg(jet::quote(errors[i]), QChar(u'a' + i)));
        QCOMPARE(u.countAll("Members.mdb"), (std::array<qint32, 6>{7, 1, 1, 2, 1, 1}));
        QVERIFY(!u.failed());

        u.dnsErrors = u.socketErrors = true;
        QVERIFY(u.Remove());
        QCOMPARE(u.countAll("Members.mdb"), (std::array<qint32, 6>{4, 1, 1, 0, 1, 0}));
        u.dnsErrors = u.socketErrors = false;
        u.allErrors = u.mailerTimeouts = true;
        QVERIFY(u.Remove());
        QCOMPARE(u.countAll("Members.mdb"), (std::array<qint32, 6>{0, 0, 0, 0, 0, 0}));
        QCOMPARE(d.rows(), QStringList({"g@x.test=/"}));
    }

    void missingListFile() {
        Direct d({"a@x.test"});
        QFile::remove(d.listFile("Members"));
        CMailingManager m(*d.app.ctx);
        QVERIFY(!d.init(m));
        QVERIFY(!m.storageFailed());
        QVERIFY(d.app.ui.shown.last().text.startsWith("Cannot find "));
    }

    void undeliverablesMissingList() {
        Direct d({"a@x.test"});
        CUndeliverables u(*d.app.ctx);
        u.addressList = "Nope";
        QCOMPARE(u.getPathName(), QString());
        u.allErrors = true;
        QVERIFY(!u.Remove());
        QVERIFY(u.failed());
    }
};

QTEST_GUILESS_MAIN(TestDirectSend)
#include "tst_directsend.moc"
