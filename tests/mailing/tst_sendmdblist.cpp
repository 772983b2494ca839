// The recipient cursor: selection, blocks, skipping flagged addresses, the end marker and
// "Sent" flags that are on disk the moment they are written.

#include "mailing/SendMDBList.h"
#include "support/MailingFixture.h"

#include <QTest>

using namespace sendora;
using sendora::test::MailingFixture;

namespace {

QStringList walk(SendMDBList& cursor) {
    QStringList seen;
    for (QString a = cursor.GetFirstAddr(); a != kEndOfList; a = cursor.GetNextAddr())
        seen << a;
    return seen;
}

struct Cursor {
    MailingFixture f;
    MailEvent options;
    std::unique_ptr<SendMDBList> list;

    explicit Cursor(const QStringList& addresses, const QStringList& sent = {}) {
        f.makeList("Members", addresses, sent);
        f.execute("INSERT INTO Message (MessageName, Subject, SendType, HTMLText, GroupAddress, AddressType) "
                  "VALUES(\"Hello\",\"Hi there\",2,\"<p>x</p>\",\"  \",1)");
        options.ProfileName = "Default Delivery Options";
        options.SentFlag = "SENT";
        options.SentFlagToCheck = "SENT";
        list = std::make_unique<SendMDBList>(*f.app.ctx, options);
        list->AddrListName = "Members";
        list->MailOptionsName = "Default Delivery Options";
        list->MsgName = "Hello";
    }
};

} // namespace

class TestSendMDBList : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void statements_data() {
        QTest::addColumn<bool>("blocks");
        QTest::addColumn<bool>("notYetFlagged");
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QString>("sql");
        QTest::newRow("all") << false << false << ""
                             << "SELECT * FROM AddressList ORDER BY [EAddress];";
        QTest::newRow("flag check needs blocks") << false << true << ""
                                                 << "SELECT * FROM AddressList ORDER BY [EAddress];";
        QTest::newRow("blocks") << true << false << ""
                                << "SELECT TOP 3 * FROM AddressList ORDER BY [EAddress];";
        QTest::newRow("blocks not yet flagged") << true << true << ""
                                                << "SELECT TOP 3 * FROM AddressList WHERE [Sent] <> \"SENT\" "
                                                   "OR isnull([sent]) ORDER BY [EAddress];";
        QTest::newRow("filtered") << false << false << "WHERE [Company] = \"A\""
                                  << "SELECT * FROM AddressList WHERE [Company] = \"A\"";
        QTest::newRow("filtered blocks") << true << false << "WHERE [Company] = \"A\""
                                         << "SELECT TOP 3 * FROM AddressList WHERE [Company] = \"A\"";
        QTest::newRow("filtered blocks not yet flagged")
            << true << true << "WHERE [Company] = \"A\""
            << "SELECT TOP 3 * FROM AddressList WHERE [Company] = \"A\" AND ( [Sent] <> \"SENT\" OR "
               "isnull([Sent]));";
    }
    void statements() {
        QFETCH(bool, blocks);
        QFETCH(bool, notYetFlagged);
        QFETCH(QString, filter);
        QFETCH(QString, sql);
        Cursor c({"a@x.org"});
        c.options.bSendInBlocks = blocks;
        c.options.bIfNotYetFlagged = notYetFlagged;
        c.options.SendBlockSize = 3;
        QCOMPARE(c.list->recipientStatement(filter), sql);
    }

    void walksInAddressOrderAndStaysAtTheEnd() {
        Cursor c({"carol@x.org", "Alice@x.org", "bob@x.org"});
        QVERIFY(c.list->InitMailingDBSupport());
        QCOMPARE(c.list->recipientCount(), 3);
        QCOMPARE(walk(*c.list), (QStringList{"Alice@x.org", "bob@x.org", "carol@x.org"}));
        QCOMPARE(c.list->GetNextAddr(), kEndOfList);
        QCOMPARE(c.list->GetNextAddr(), kEndOfList);
        QCOMPARE(c.list->GetSubject(), QStringLiteral("Hi there"));
        QCOMPARE(c.list->getMessageType(), 2);
        QVERIFY(c.list->CheckIfPersonalizedToAddress());
        QCOMPARE(c.list->GetGroupToAddress(), QString()); // blank counts as none
        QVERIFY(c.f.app.ui.shown.isEmpty());
    }

    void blocksResumeWithTheUnflaggedAddresses() {
        Cursor c({"a@x.org", "b@x.org", "c@x.org", "d@x.org", "e@x.org"});
        c.options.bSendInBlocks = true;
        c.options.bIfNotYetFlagged = true;
        c.options.SendBlockSize = 2;
        QStringList sent;
        for (int run = 0; run < 3; ++run) {
            QVERIFY(c.list->InitMailingDBSupport());
            for (const QString& a : walk(*c.list)) {
                c.list->UpdateSuccessfulSentFlag(a);
                sent << a;
            }
            c.list->EndMailingDBSupport();
        }
        QCOMPARE(sent, (QStringList{"a@x.org", "b@x.org", "c@x.org", "d@x.org", "e@x.org"}));

        // A fourth run finds nothing left to send.
        QVERIFY(!c.list->InitMailingDBSupport());
        QCOMPARE(
            c.f.app.ui.transcript(),
            QStringList{
                "message|none|OK|Address List|This address list is blank or has been used with a "
                "previous\r\nmailing and all emails have been marked as SENT. To use this address\r\nlist "
                "again either blank out the sent field in the address list or\r\nmodify the delivery "
                "options ( Step 5 of 7 )."});
    }

    void flagIsOnDiskWhileTheWalkGoesOn() {
        Cursor c({"a@x.org", "b@x.org", "c@x.org"});
        QVERIFY(c.list->InitMailingDBSupport());
        QCOMPARE(c.list->GetFirstAddr(), QStringLiteral("a@x.org"));
        c.list->UpdateSuccessfulSentFlag("<a@x.org>");
        // Another connection, as a process started after a crash would see it.
        QCOMPARE(c.f.sentOf("Members", "a@x.org"), QStringLiteral("SENT"));
        QCOMPARE(c.list->GetNextAddr(), QStringLiteral("b@x.org"));
        c.list->UpdateSuccessfulSentFlag(" B@X.ORG ");
        QCOMPARE(c.f.sentOf("Members", "b@x.org"), QStringLiteral("SENT"));
        QCOMPARE(c.f.sentOf("Members", "c@x.org"), QString());
    }

    void hostileAddressesStayData() {
        Cursor c({"a@x.org", "b\"@x.org"});
        c.options.SentFlag = "DONE\" WHERE 1=1 --";
        QVERIFY(c.list->InitMailingDBSupport());
        c.list->UpdateSuccessfulSentFlag("b\"@x.org");
        QCOMPARE(c.f.sentOf("Members", "b\"@x.org"), QStringLiteral("DONE\" WHERE 1=1 --"));
        QCOMPARE(c.f.sentOf("Members", "a@x.org"), QString());
    }

    void filterMatchingNothing() {
        Cursor c({"a@x.org"});
        c.f.execute("UPDATE Profile SET bSendFiltered = -1, SQLFilter = 'WHERE [Company] = \"Nobody\"'");
        QVERIFY(!c.list->InitMailingDBSupport());
        QCOMPARE(c.f.app.ui.transcript(),
                 QStringList{
                     "message|none|OK|No Messages Sent|No messages were sent because there were no addresses "
                     "that \r\nmatched the 'Selection Criteria' in this mailing's Delivery Options.\r\n\r\n"
                     "Please review this mailing's Delivery Options before attempting to send."});
    }

    void filterSelects() {
        Cursor c({"a@x.org", "b@x.org", "c@x.org"});
        c.f.execute("UPDATE Profile SET bSendFiltered = -1, SQLFilter = 'WHERE [Company] <> \"Company 1\"'");
        QVERIFY(c.list->InitMailingDBSupport());
        QCOMPARE(walk(*c.list), (QStringList{"a@x.org", "c@x.org"}));
    }

    void missingListFile() {
        Cursor c({"a@x.org"});
        QVERIFY(QFile::remove(c.f.listFile("Members")));
        QVERIFY(!c.list->InitMailingDBSupport());
        QCOMPARE(c.f.app.ui.transcript(),
                 QStringList{"message|information|OK|Sendora|Cannot find " + c.f.listFile("Members") +
                             "\r\nPlease check that the file exists, or choose another list"});
    }

    void messageNotFound_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("shown");
        QTest::newRow("blank") << " "
                               << "The message name was blank. Please recreate your mailing and try again.";
        QTest::newRow("gone") << "Gone"
                              << "Sendora was unable to find the Message Gone  Please recreate your mailing "
                                 "and try again.";
    }
    void messageNotFound() {
        QFETCH(QString, name);
        QFETCH(QString, shown);
        Cursor c({"a@x.org"});
        c.list->MsgName = name;
        QVERIFY(c.list->InitMailingDBSupport());
        QCOMPARE(c.f.app.ui.transcript(), QStringList{"message|information|OK|Sendora|" + shown});
        QCOMPARE(c.list->getHTMLText(), QString());
    }

    void oneSendPerList() {
        Cursor c({"a@x.org"});
        QVERIFY(c.list->InitMailingDBSupport());
        SendMDBList second(*c.f.app.ctx, c.options);
        second.AddrListName = "Members";
        second.MailOptionsName = "Default Delivery Options";
        second.MsgName = "Hello";
        QVERIFY(!second.InitMailingDBSupport());
        QCOMPARE(c.f.app.ui.messageTexts(),
                 QStringList{
                     "The list 'Members' is being sent by another mailing.\r\nPlease wait until that mailing "
                     "ends before sending to this list again."});
        c.list->EndMailingDBSupport();
        QVERIFY(second.InitMailingDBSupport());
    }
};

QTEST_GUILESS_MAIN(TestSendMDBList)
#include "tst_sendmdblist.moc"
