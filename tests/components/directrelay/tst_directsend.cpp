// The direct-send engine against a real DNS server (dnsmasq) and mail servers on
// 127.0.0.2 ... at port 25 that accept, refuse, defer, stall or drop the connection.

#include "DirectSendSupport.h"
#include "support/Dnsmasq.h"
#include "support/SinkPool.h"

#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using namespace sendora;
using namespace sendora::test;
using direct::DirectSend;
using direct::DirectSendJob;

namespace {
const QString kFlag = QStringLiteral("SENT-1");
}

class TstDirectSend : public QObject {
    Q_OBJECT

    Dnsmasq m_dns;
    SilentDns m_silent;
    SinkPool m_pool;
    QTemporaryDir m_dir;

    DirectSendJob job(const QString& list, qint64 count, int mailers) const {
        DirectSendJob j;
        j.listPath = list;
        j.sender = QStringLiteral("news@sender.test");
        j.flagSends = true;
        j.sentFlag = kFlag;
        j.dns.servers = {m_dns.server()};
        j.dns.timeoutSeconds = 1;
        j.dns.retries = 1;
        j.mailerTimeout = 2;
        j.mailRetries = 1;
        j.retryDelayMs = 100;
        j.shares = direct::divideIds(count, mailers);
        return j;
    }

    // Runs to the end; false when it did not end in time.
    static bool run(DirectSend& engine, int limitMs = 60000) {
        QSignalSpy done(&engine, &DirectSend::allComplete);
        if (!engine.start()) return false;
        return done.wait(limitMs) || done.size() == 1;
    }

private Q_SLOTS:
    void initTestCase() {
        if (!Dnsmasq::available() || !SinkPool::canBindPort25()) {
            if (Dnsmasq::mustExist()) QFAIL("dnsmasq and root (for port 25) are needed");
            QSKIP("needs dnsmasq and root (for port 25)");
        }
        // Sinks: 0, 1 accept; 2 refuses "unknown..."; 3 defers; 4 stalls; 5 drops in DATA;
        // 6 accepts and offers STARTTLS; the eighth address has no server at all.
        QVERIFY(m_pool.start({SinkBehaviour::AcceptAll, SinkBehaviour::AcceptAll, SinkBehaviour::RefuseSome,
                              SinkBehaviour::TempFail, SinkBehaviour::Stall, SinkBehaviour::CloseInData,
                              SinkBehaviour::AcceptAll}));
        for (int i = 0; i < 7; ++i)
            m_dns.host(QStringLiteral("mx%1.sinks.test").arg(i), SinkPool::addressOf(i));
        m_dns.host(QStringLiteral("dead.sinks.test"), SinkPool::addressOf(7));
        m_dns.mx(QStringLiteral("tls.test"), QStringLiteral("mx6.sinks.test"), 10);
        for (int d = 0; d < 10; ++d) {
            m_dns.mx(QStringLiteral("d%1.test").arg(d, 2, 10, QChar(u'0')),
                     QStringLiteral("mx%1.sinks.test").arg(d % 2), 10);
            // The best MX of the first three cannot be reached: the next one takes the mail.
            if (d < 3)
                m_dns.mx(QStringLiteral("d%1.test").arg(d, 2, 10, QChar(u'0')),
                         QStringLiteral("dead.sinks.test"), 5);
        }
        m_dns.mx(QStringLiteral("d10.test"), QStringLiteral("mx2.sinks.test"), 10)
            .mx(QStringLiteral("d11.test"), QStringLiteral("mx2.sinks.test"), 10)
            .mx(QStringLiteral("d12.test"), QStringLiteral("mx3.sinks.test"), 10)
            .mx(QStringLiteral("d13.test"), QStringLiteral("mx4.sinks.test"), 10)
            .mx(QStringLiteral("d14.test"), QStringLiteral("mx5.sinks.test"), 10)
            .nullMx(QStringLiteral("d15.test"))
            .host(QStringLiteral("d17.test"), SinkPool::addressOf(1))
            .mx(QStringLiteral("d18.test"), QStringLiteral("nowhere.sinks.test"), 10)
            .forward(QStringLiteral("d19.test"), m_silent.server());
        QVERIFY(m_dns.start());
    }

    void divideIds() {
        auto text = [](qint64 n, int m) {
            QStringList out;
            for (const direct::IdShare& s : direct::divideIds(n, m))
                out << QStringLiteral("%1-%2").arg(s.first).arg(s.last);
            return out.join(u' ');
        };
        QCOMPARE(text(0, 4), QString());
        QCOMPARE(text(3, 4), QStringLiteral("1-3"));
        QCOMPARE(text(4, 4), QStringLiteral("1-4"));
        QCOMPARE(text(8, 4), QStringLiteral("1-2 3-4 5-6 7-8"));
        QCOMPARE(text(11, 4), QStringLiteral("1-2 3-4 5-6 7-8 9-11"));
    }

    // Three hundred recipients over twenty domains: every address ends either flagged and
    // delivered exactly once, or carrying the error text its domain's fault calls for.
    void everyAddressSettled() {
        QStringList addresses;
        for (int i = 0; i < 300; ++i) {
            const int d = i % 20;
            const bool unknown = (d == 10 || d == 11) && i % 3 == 0;
            addresses << QStringLiteral("%1%2@d%3.test")
                             .arg(unknown ? "unknown" : "user")
                             .arg(i)
                             .arg(d, 2, 10, QChar(u'0'));
        }
        const QString list = m_dir.filePath(QStringLiteral("settled.db"));
        createDirectList(list, addresses);
        PlainComposer composer;
        DirectSend engine(job(list, addresses.size(), 4), composer);
        QSignalSpy sent(&engine, &DirectSend::Sent);
        QSignalSpy errors(&engine, &DirectSend::Errors);
        QSignalSpy critical(&engine, &DirectSend::criticalErr);
        QSignalSpy complete(&engine, &DirectSend::Complete);
        QVERIFY(run(engine));
        QCOMPARE(critical.size(), 0);
        QCOMPARE(complete.size(), 4);

        const auto rows = readDirectList(list);
        QStringList expectedSent;
        for (const QString& a : std::as_const(addresses)) {
            const int d = a.section(u'@', 1).mid(1, 2).toInt();
            const ListRow row = rows.value(a);
            const bool unknown = a.startsWith(QLatin1String("unknown"));
            QString want;
            if (d < 10 || d == 17 || ((d == 10 || d == 11) && !unknown)) {
                expectedSent << a;
                QVERIFY2(row.sent == kFlag && row.error.isEmpty(), qPrintable(a + u' ' + row.error));
                continue;
            }
            QVERIFY2(row.sent.isEmpty(), qPrintable(a));
            const char* prefix = d <= 11   ? "Mailer Error: 550 5.1.1"
                                 : d == 12 ? "Mailer Error: 451 4.3.0"
                                 : d == 13 ? "MAILER TIMEOUT"
                                 : d == 14 ? "Socket Error: "
                                 : d == 19 ? "DNS TIMEOUT"
                                           : "MX Error: ";
            QVERIFY2(row.error.startsWith(QLatin1String(prefix)), qPrintable(a + u' ' + row.error));
        }
        QCOMPARE(sent.size(), expectedSent.size());
        QCOMPARE(errors.size(), addresses.size() - expectedSent.size());
        QStringList delivered = m_pool.delivered();
        delivered.sort();
        expectedSent.sort();
        QCOMPARE(delivered, expectedSent);
        // One message carries all of a domain's recipients in a mailer's share.
        QVERIFY(m_pool.sink(0).messages.size() <= 4 * 5);
        // Deferred and broken servers were given their second round.
        QCOMPARE(m_pool.sink(4).connections, 2 * 4);
        QCOMPARE(m_pool.sink(5).connections, 2 * 4);
        QVERIFY(engine.bytesSentTotal() > 0);
    }

    // A server offering STARTTLS with a self-signed certificate gets the mail over TLS;
    // the mailer's log says so.
    void opportunisticTls() {
        if (!QSslSocket::supportsSsl()) QSKIP("no TLS backend");
        const QString cert = m_dir.filePath(QStringLiteral("cert.pem")),
                      key = m_dir.filePath(QStringLiteral("key.pem"));
        QProcess openssl;
        openssl.start(QStringLiteral("openssl"),
                      {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", cert, "-days",
                       "2", "-subj", "/CN=mx6.sinks.test"});
        QVERIFY(openssl.waitForFinished(30000) && openssl.exitCode() == 0);
        QFile c(cert), k(key);
        QVERIFY(c.open(QIODevice::ReadOnly) && k.open(QIODevice::ReadOnly));
        CaptureSmtp& sink = m_pool.sink(6);
        sink.certificate = QSslCertificate(&c, QSsl::Pem);
        sink.key = QSslKey(&k, QSsl::Rsa, QSsl::Pem);
        m_pool.clearMessages();

        const QStringList addresses{QStringLiteral("a@tls.test"), QStringLiteral("b@tls.test")};
        const QString list = m_dir.filePath(QStringLiteral("tls.db"));
        createDirectList(list, addresses);
        PlainComposer composer;
        DirectSend engine(job(list, addresses.size(), 1), composer);
        QSignalSpy log(&engine, &DirectSend::log);
        QVERIFY(run(engine, 20000));
        QCOMPARE(engine.sentCount(), 2);
        QCOMPARE(sink.tlsSessions, 1);
        QCOMPARE(sink.messages.size(), 1);
        QCOMPARE(sink.messages[0].recipients, addresses);
        bool logged = false;
        for (const QList<QVariant>& line : std::as_const(log))
            logged = logged || line[1].toString().contains(QLatin1String("TLS started"));
        QVERIFY(logged);
    }

    // A run killed with SIGKILL loses no flag and, once resumed, repeats at most the one
    // message each mailer had in flight.
    void killedMidRun() {
        QStringList addresses;
        for (int i = 0; i < 600; ++i)
            addresses << QStringLiteral("k%1@d%2.test").arg(i).arg(i % 10, 2, 10, QChar(u'0'));
        const QString list = m_dir.filePath(QStringLiteral("killed.db"));
        createDirectList(list, addresses);
        m_pool.clearMessages();
        for (int i = 0; i < 2; ++i)
            m_pool.sink(i).dataDelayMs = 10;
        const int mailers = 4;
        auto flagged = [&] {
            int n = 0;
            for (const ListRow& r : readDirectList(list))
                n += r.sent == kFlag;
            return n;
        };
        QProcess child;
        child.start(
            QStringLiteral(DIRECTSEND_CHILD),
            {list, m_dns.server(), QString::number(addresses.size()), QString::number(mailers), kFlag});
        QVERIFY(child.waitForStarted());
        QVERIFY(QTest::qWaitFor([&] { return flagged() >= 150; }, 30000));
        child.kill();
        QVERIFY(child.waitForFinished(5000));

        const auto rows = readDirectList(list);
        const QStringList first = m_pool.delivered();
        int unflagged = 0;
        for (auto it = rows.begin(); it != rows.end(); ++it) {
            if (it->sent == kFlag)
                QVERIFY2(first.contains(it.key()), qPrintable(it.key())); // no flag ahead
            else if (first.contains(it.key()))
                ++unflagged;
        }
        QVERIFY2(unflagged <= mailers, qPrintable(QString::number(unflagged)));
        QVERIFY(flagged() < addresses.size());

        const int rest = renumberUnflagged(list, kFlag);
        child.start(QStringLiteral(DIRECTSEND_CHILD),
                    {list, m_dns.server(), QString::number(rest), QString::number(mailers), kFlag});
        QVERIFY(child.waitForStarted());
        QVERIFY(QTest::qWaitFor([&] { return child.state() == QProcess::NotRunning; }, 60000));
        QCOMPARE(child.exitCode(), 0);
        QCOMPARE(flagged(), addresses.size());
        QStringList all = m_pool.delivered();
        QCOMPARE(QSet<QString>(all.begin(), all.end()).size(), addresses.size());
        QCOMPARE(all.size() - addresses.size(), unflagged);
        // Each message is the one composed for its recipient, though the next one is
        // composed while the previous outcome is committed.
        for (int i = 0; i < m_pool.size(); ++i)
            for (const CapturedMessage& message : std::as_const(m_pool.sink(i).messages)) {
                QCOMPARE(message.recipients.size(), 1);
                QVERIFY2(message.data.contains("\r\nTo: <" + message.recipients[0].toUtf8() + ">\r\n"),
                         message.data.constData());
            }
        for (int i = 0; i < 2; ++i)
            m_pool.sink(i).dataDelayMs = 0;
    }

    // A flag that cannot be committed stops the run at once: nothing more is sent after
    // the message whose outcome could not be recorded.
    void unrecordableFlagStops() {
        QStringList addresses;
        for (int i = 0; i < 40; ++i)
            addresses << QStringLiteral("f%1@d0%2.test").arg(i).arg(3 + i % 2);
        const QString list = m_dir.filePath(QStringLiteral("fault.db"));
        createDirectList(list, addresses);
        m_pool.clearMessages();
        PlainComposer composer;
        composer.perRecipient = true;
        DirectSend engine(job(list, addresses.size(), 2), composer);
        QSignalSpy critical(&engine, &DirectSend::criticalErr);
        int writes = 0;
        jet::setWriteFaultForTesting(
            [&](const QString& file) { return file == list && ++writes > 6 ? 13 : 0; });
        const bool ended = run(engine, 20000);
        jet::setWriteFaultForTesting({});
        QVERIFY(ended);
        QCOMPARE(critical.size(), 1);
        QCOMPARE(critical[0][2].toInt(), int(direct::CriticalStorage));
        QVERIFY(critical[0][1].toString().contains(list));
        // The flags written before the fault stay; beyond them each of the two mailers had
        // at most its one message out when the run stopped.
        QVERIFY(engine.sentCount() > 0);
        int marked = 0;
        for (const ListRow& r : readDirectList(list))
            marked += r.sent == kFlag;
        QCOMPARE(marked, int(engine.sentCount()));
        QVERIFY2(m_pool.delivered().size() <= marked + 2,
                 qPrintable(QString::number(m_pool.delivered().size())));
    }

    // Pause lets the message in flight finish; a paused run told to stop ends without
    // sending or marking anything more.
    void pauseThenStop() {
        QStringList addresses;
        for (int i = 0; i < 60; ++i)
            addresses << QStringLiteral("p%1@d0%2.test").arg(i).arg(5 + i % 2);
        const QString list = m_dir.filePath(QStringLiteral("pause.db"));
        createDirectList(list, addresses);
        PlainComposer composer;
        composer.perRecipient = true;
        DirectSend engine(job(list, addresses.size(), 2), composer);
        QSignalSpy sent(&engine, &DirectSend::Sent);
        QSignalSpy done(&engine, &DirectSend::allComplete);
        QVERIFY(engine.start());
        QVERIFY(sent.wait(10000));
        engine.pauseSend();
        QTest::qWait(300);
        const qsizetype atPause = sent.size();
        QTest::qWait(300);
        QCOMPARE(sent.size(), atPause);
        QVERIFY(done.isEmpty());
        engine.endPause(true);
        QVERIFY(done.wait(5000));
        QCOMPARE(sent.size(), atPause);
        int marked = 0;
        for (const ListRow& r : readDirectList(list))
            marked += r.sent == kFlag || !r.error.isEmpty();
        QCOMPARE(marked, int(atPause));
    }
};

QTEST_GUILESS_MAIN(TstDirectSend)
#include "tst_directsend.moc"
