// A real relay: personalised messages through Postfix's smtp-sink, each one compared with
// what compose gives for its recipient.

#include "mailing/SendMDBList.h"
#include "mailing/compose/ListMessageSource.h"
#include "support/RelayFixture.h"
#include "support/SmtpSink.h"

#include <QTest>

using namespace sendora;
using sendora::test::RelayFixture;
using sendora::test::SmtpSink;

namespace {

// The message part of a dump (after smtp-sink's own headers), without the Date line,
// with the line ends the dump uses.
QByteArray messagePart(const QByteArray& dump) {
    qsizetype start = dump.indexOf("\nMail-System-Version:");
    QByteArray m = start < 0 ? QByteArray() : dump.mid(start + 1);
    const qsizetype date = m.indexOf("\nDate: ");
    if (date >= 0) m.remove(date + 1, m.indexOf('\n', date + 1) - date);
    return m;
}

QByteArray asDumped(QByteArray data) {
    data.replace("\r\n", "\n");
    const qsizetype date = data.indexOf("\nDate: ");
    if (date >= 0) data.remove(date + 1, data.indexOf('\n', date + 1) - date);
    return data + "\n";
}

} // namespace

class TestRelaySmtpSink : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void personalisedMailingArrivesWhole() {
        if (!SmtpSink::available()) {
            if (SmtpSink::mustExist()) QFAIL("smtp-sink is not installed");
            QSKIP("smtp-sink is not installed");
        }
        SmtpSink sink;
        QVERIFY(sink.start());

        constexpr int count = 300;
        QStringList addresses;
        for (int i = 0; i < count; ++i)
            addresses << QStringLiteral("member%1@list.test").arg(i, 3, 10, QLatin1Char('0'));
        RelayFixture f(addresses,
                       "<html><body><p>Dear [[FirstName]] [[LastName]] of [[Company]],</p>\r\n<p>.\r\n..dots "
                       "stay</p></body></html>");
        f.execute(
            "UPDATE Message SET SendType = 2, MessageText = \"Hi [[FirstName]],\r\n.\r\nline after a dot\", "
            "AddressType = 1");
        f.execute("UPDATE Profile SET SmtpServer = \"127.0.0.1\"");
        f.app.ctx->settings.smtpPort = sink.port();

        RelaySend mailing(*f.app.ctx, f.row());
        QVERIFY(f.runToEnd(mailing, 60000));
        QCOMPARE(mailing.session()->passed(), count);
        QCOMPARE(f.mailEvent("SentCount").toInt(), count);
        QTRY_COMPARE_WITH_TIMEOUT(sink.dumpCount(), count, 10000);

        // What compose makes for each recipient, against what arrived.
        MailEvent options;
        GetMEPFromDB(*f.app.ctx, options, "Default Delivery Options");
        SendMDBList cursor(*f.app.ctx, options);
        cursor.AddrListName = "Members";
        cursor.MsgName = "Hello";
        cursor.MailOptionsName = "Default Delivery Options";
        QVERIFY(cursor.openMessageAndList());
        ListMessageSource messages(*f.app.ctx, cursor);
        QVERIFY(messages.prepare("news@example.org", "", QDateTime::currentDateTime(), {}));
        QSet<QString> seen;
        for (const QByteArray& dump : sink.dumps()) {
            const QStringList to = SmtpSink::recipients(dump);
            QCOMPARE(to.size(), 1);
            seen.insert(to.first());
            QCOMPARE(messagePart(dump), asDumped(messages.messageFor(to.first())));
            QCOMPARE(f.sentOf("Members", to.first()), QStringLiteral("SENT"));
        }
        QCOMPARE(seen.size(), count);
    }
};

QTEST_GUILESS_MAIN(TestRelaySmtpSink)
#include "tst_relay_smtpsink.moc"
