// The mail-route resolver against a real DNS server (dnsmasq) and a server that never answers.

#include "components/dns/MailResolver.h"
#include "support/Dnsmasq.h"

#include <QElapsedTimer>
#include <QtTest>

using namespace sendora::dns;
using sendora::test::Dnsmasq;
using sendora::test::SilentDns;

class TstMailResolver : public QObject {
    Q_OBJECT

    Dnsmasq m_dns;

    static MailRoute resolve(MailResolver& resolver, const QString& domain, int waitMs = 10000) {
        std::optional<MailRoute> got;
        QObject context;
        resolver.lookup(domain, &context, [&](const MailRoute& r) { got = r; });
        if (!QTest::qWaitFor([&] { return got.has_value(); }, waitMs)) return MailRoute{};
        return *got;
    }
    static QStringList names(const MailRoute& r) {
        QStringList out;
        for (const MailHost& h : r.hosts)
            out << QStringLiteral("%1/%2/%3")
                       .arg(h.name)
                       .arg(h.preference)
                       .arg(h.addresses.value(0).toString());
        return out;
    }

private Q_SLOTS:
    void initTestCase() {
        if (!Dnsmasq::available()) {
            if (Dnsmasq::mustExist()) QFAIL("dnsmasq is missing");
            QSKIP("dnsmasq is not installed");
        }
        m_dns.mx(QStringLiteral("multi.test"), QStringLiteral("mx-c.multi.test"), 30)
            .mx(QStringLiteral("multi.test"), QStringLiteral("mx-a.multi.test"), 10)
            .mx(QStringLiteral("multi.test"), QStringLiteral("gone.multi.test"), 5)
            .mx(QStringLiteral("multi.test"), QStringLiteral("mx-b.multi.test"), 20)
            .host(QStringLiteral("mx-a.multi.test"), QStringLiteral("127.0.0.2"))
            .host(QStringLiteral("mx-b.multi.test"), QStringLiteral("127.0.0.3"))
            .host(QStringLiteral("mx-c.multi.test"), QStringLiteral("127.0.0.4"))
            .nullMx(QStringLiteral("nomail.test"))
            .host(QStringLiteral("aonly.test"), QStringLiteral("127.0.0.5"))
            .mx(QStringLiteral("deadend.test"), QStringLiteral("nowhere.deadend.test"), 10)
            .txt(QStringLiteral("textonly.test"), QStringLiteral("v=spf1 -all"))
            .mx(QStringLiteral("one.test"), QStringLiteral("shared.mx.test"), 10)
            .mx(QStringLiteral("two.test"), QStringLiteral("shared.mx.test"), 10)
            .host(QStringLiteral("shared.mx.test"), QStringLiteral("127.0.0.6"));
        QVERIFY(m_dns.start());
    }

    // Each kind of answer a domain can give, as the route a mailer will follow.
    void routes() {
        MailResolver resolver({{m_dns.server()}, 2, 1});
        QVERIFY2(resolver.isValid(), qPrintable(resolver.setupError()));

        MailRoute r = resolve(resolver, QStringLiteral("Multi.TEST."));
        QCOMPARE(r.status, Status::Ok);
        QVERIFY(!r.implicitMx);
        // Sorted by preference; the MX host without an address is left out.
        QCOMPARE(names(r), QStringList({QStringLiteral("mx-a.multi.test/10/127.0.0.2"),
                                        QStringLiteral("mx-b.multi.test/20/127.0.0.3"),
                                        QStringLiteral("mx-c.multi.test/30/127.0.0.4")}));

        r = resolve(resolver, QStringLiteral("nomail.test"));
        QCOMPARE(r.status, Status::NullMx);
        QVERIFY(r.hosts.isEmpty());
        QCOMPARE(m_dns.queries(QStringLiteral("A"), QStringLiteral("nomail.test")), 0);

        r = resolve(resolver, QStringLiteral("aonly.test"));
        QCOMPARE(r.status, Status::Ok);
        QVERIFY(r.implicitMx);
        QCOMPARE(names(r), QStringList{QStringLiteral("aonly.test/0/127.0.0.5")});

        r = resolve(resolver, QStringLiteral("missing.test"));
        QCOMPARE(r.status, Status::NxDomain);
        QCOMPARE(statusText(r.status), QStringLiteral("not in DNS"));
        // No address fallback for a domain that does not exist.
        QCOMPARE(m_dns.queries(QStringLiteral("A"), QStringLiteral("missing.test")), 0);

        r = resolve(resolver, QStringLiteral("deadend.test"));
        QCOMPARE(r.status, Status::NoData);
        QVERIFY(!r.detail.isEmpty());

        r = resolve(resolver, QStringLiteral("textonly.test"));
        QCOMPARE(r.status, Status::NoData);
        QVERIFY(r.implicitMx);
    }

    // A domain is asked once per run, however many mailers want it and when; MX hosts
    // shared by several domains are looked up once.
    void cache() {
        MailResolver resolver({{m_dns.server()}, 2, 1});
        const int before = m_dns.queries(QStringLiteral("MX"), QStringLiteral("one.test"));
        int answers = 0;
        QObject context;
        for (int i = 0; i < 3; ++i)
            resolver.lookup(QStringLiteral("one.test"), &context, [&](const MailRoute& r) {
                QCOMPARE(r.status, Status::Ok);
                ++answers;
            });
        QTRY_COMPARE(answers, 3);
        QCOMPARE(resolve(resolver, QStringLiteral("two.test")).status, Status::Ok);
        const int asked = resolver.queriesSent();
        QVERIFY(resolver.cached(QStringLiteral("ONE.test")));
        QCOMPARE(resolve(resolver, QStringLiteral("one.test")).hosts.value(0).addresses.value(0),
                 QHostAddress(QStringLiteral("127.0.0.6")));
        QCOMPARE(resolver.queriesSent(), asked);
        QTest::qWait(100); // dnsmasq writes its log as it answers
        QCOMPARE(m_dns.queries(QStringLiteral("MX"), QStringLiteral("one.test")) - before, 1);
        QCOMPARE(m_dns.queries(QStringLiteral("A"), QStringLiteral("shared.mx.test")), 1);

        // A caller that went away gets no answer.
        int late = 0;
        {
            QObject gone;
            resolver.lookup(QStringLiteral("one.test"), &gone, [&](const MailRoute&) { ++late; });
        }
        QTest::qWait(50);
        QCOMPARE(late, 0);
    }

    // A server that never answers: every try waits its timeout, then the lookup gives up
    // within the bound; a second server in the list is asked instead.
    void silentServer() {
        SilentDns silent;
        MailResolver resolver({{silent.server()}, 1, 1});
        QElapsedTimer clock;
        clock.start();
        const MailRoute r = resolve(resolver, QStringLiteral("multi.test"), 15000);
        QCOMPARE(r.status, Status::Timeout);
        QCOMPARE(silent.received(), 2); // first try and one retry
        QVERIFY2(clock.elapsed() >= 900 && clock.elapsed() < 8000,
                 qPrintable(QString::number(clock.elapsed())));

        MailResolver failover({{silent.server(), m_dns.server()}, 1, 1});
        QCOMPARE(resolve(failover, QStringLiteral("multi.test"), 15000).status, Status::Ok);

        MailResolver broken({{QStringLiteral("not-an-address:xx")}, 1, 1});
        QVERIFY(!broken.isValid());
        QCOMPARE(resolve(broken, QStringLiteral("multi.test")).status, Status::Error);
        QCOMPARE(parseServerList(QStringLiteral(" 10.0.0.1:5353, 10.0.0.2;[::1]:53 ")),
                 QStringList({QStringLiteral("10.0.0.1:5353"), QStringLiteral("10.0.0.2"),
                              QStringLiteral("[::1]:53")}));
    }
};

QTEST_GUILESS_MAIN(TstMailResolver)
#include "tst_mailresolver.moc"
