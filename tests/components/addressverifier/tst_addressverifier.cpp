// The address verifier against a real DNS server (dnsmasq) and scripted mail servers on
// loopback port 25: each verdict, the fall to the next MX, one connection per domain with
// RSET between addresses and never DATA, the accept-all note, a silent server.

#include "FakeMx.h"
#include "components/addressverifier/AddressVerifier.h"
#include "support/Dnsmasq.h"

#include <QtTest>

using namespace sendora::verifier;
using namespace sendora::test;

class TstAddressVerifier : public QObject {
    Q_OBJECT

    Dnsmasq m_dns;
    VerifyNetwork m_net;

    struct Result {
        QString verdict, log;
    };

    // Checks every address on one engine at once; verdict and log text by address.
    QHash<QString, Result> verify(VerifierEngine& engine, const QStringList& addresses, int waitMs = 15000) {
        QHash<QString, Result> got;
        for (const QString& a : addresses)
            engine.submit(a, [&got, a](const QString& v, const QString& l) { got.insert(a, {v, l}); });
        if (!QTest::qWaitFor([&] { return got.size() == addresses.size(); }, waitMs))
            qWarning("checks still open");
        return got;
    }
    std::unique_ptr<VerifierEngine> engine() {
        auto e = std::make_unique<VerifierEngine>([](QStringView a) { return a.count(u'@') == 1; });
        e->settings.primaryDns = m_dns.server();
        e->settings.mailFrom = QStringLiteral("probe@verifier.test");
        e->settings.domainName = QStringLiteral("verifier.test");
        e->settings.replyTimeoutMs = 1500;
        e->settings.lingerMs = 300;
        return e;
    }

private Q_SLOTS:
    void initTestCase() { START_VERIFY_NETWORK(m_dns, m_net); }

    void verdicts() {
        auto e = engine();
        const auto got = verify(*e, {"known@good.test", "nobody@good.test", "Known@aonly.test",
                                     "not an address", "a@missing.test", "a@nomail.test", "a@soft.test",
                                     "a@down.test", "anyone@all.test", "a@stall.test", "known@old.test"});
        const QHash<QString, QString> expected{
            {"known@good.test", kExist},      {"nobody@good.test", kNotInSmtp},
            {"Known@aonly.test", kNotInSmtp}, {"not an address", kBadSyntax},
            {"a@missing.test", kNotInDns},    {"a@nomail.test", kNotInDns},
            {"a@soft.test", kUnknown},        {"a@down.test", kUnknown},
            {"anyone@all.test", kExist},      {"a@stall.test", kUnknown},
            {"known@old.test", kExist}};
        for (auto it = expected.begin(); it != expected.end(); ++it)
            QVERIFY2(
                got.value(it.key()).verdict == it.value(),
                qPrintable(it.key() + u' ' + got.value(it.key()).verdict + u' ' + got.value(it.key()).log));

        // mx0 refuses the connection: the check goes on with mx1.
        const QString goodLog = got.value("known@good.test").log;
        QVERIFY2(goodLog.contains(QLatin1String("could not connect to mx0.good.test")), qPrintable(goodLog));
        QVERIFY(goodLog.contains(QLatin1String("RCPT TO:<known@good.test> 250")));
        QVERIFY(got.value("nobody@good.test").log.contains(QLatin1String("550 5.1.1 no such user")));
        QVERIFY(got.value("a@soft.test").log.contains(QLatin1String("451")));
        QVERIFY(got.value("a@nomail.test").log.contains(QLatin1String("null MX")));
        QVERIFY(got.value("a@stall.test").log.contains(QLatin1String("no answer")));
        QVERIFY(got.value("anyone@all.test").log.contains(QLatin1String("accepts every address")));
        QVERIFY(!goodLog.contains(QLatin1String("accepts every address")));

        // good.test and aonly.test share 127.0.1.2 but not a connection; each connection
        // probes once, then one MAIL/RCPT/RSET per address, and never sends DATA.
        QTRY_COMPARE(e->busySessions(), 0);
        QStringList goodSession;
        for (const QStringList& s : std::as_const(m_net.good->sessions))
            if (s.join(u' ').contains(QLatin1String("@good.test"))) goodSession = s;
        QCOMPARE(goodSession.size(), 11);
        QCOMPARE(goodSession.at(0), QStringLiteral("EHLO verifier.test"));
        QCOMPARE(goodSession.at(1), QStringLiteral("MAIL FROM:<probe@verifier.test>"));
        QVERIFY(goodSession.at(2).startsWith(QLatin1String("RCPT TO:<")));
        QVERIFY(goodSession.at(2).endsWith(QLatin1String("@good.test>")));
        QCOMPARE(
            goodSession.mid(3, 8),
            (QStringList{"RSET", "MAIL FROM:<probe@verifier.test>", "RCPT TO:<known@good.test>", "RSET",
                         "MAIL FROM:<probe@verifier.test>", "RCPT TO:<nobody@good.test>", "RSET", "QUIT"}));
        for (const QStringList& s : std::as_const(m_net.good->sessions))
            QVERIFY(!s.contains(QStringLiteral("DATA")));
        // A server without EHLO is greeted again with HELO.
        QCOMPARE(m_net.servers.back()->sessions.value(0).mid(0, 2),
                 (QStringList{"EHLO verifier.test", "HELO verifier.test"}));
    }

    // A domain that comes back after its connection closed gets a new one; a check cancelled
    // on the way is never reported.
    void lingerAndCancel() {
        auto e = engine();
        const int before = int(m_net.good->sessions.size());
        QCOMPARE(verify(*e, {"known@good.test"}).value("known@good.test").verdict, kExist);
        QCOMPARE(verify(*e, {"nobody@good.test"}).value("nobody@good.test").verdict, kNotInSmtp);
        QCOMPARE(m_net.good->sessions.size(), before + 1); // the second came within the linger time
        QTRY_COMPARE(e->busySessions(), 0);
        bool called = false;
        const quint64 t = e->submit(QStringLiteral("known@good.test"),
                                    [&](const QString&, const QString&) { called = true; });
        e->cancel(t);
        QTRY_COMPARE(e->busySessions(), 0);
        QVERIFY(!called);
        QCOMPARE(m_net.good->sessions.size(), before + 2);

        // An engine that goes away with a connection still waiting takes it down cleanly.
        e->settings.replyTimeoutMs = 10000;
        e->submit(QStringLiteral("a@stall.test"), [](const QString&, const QString&) {});
        QTRY_COMPARE(m_net.stall->sessions.size(), qsizetype(2));
        e.reset();
    }
};

QTEST_GUILESS_MAIN(TstAddressVerifier)
#include "tst_addressverifier.moc"
