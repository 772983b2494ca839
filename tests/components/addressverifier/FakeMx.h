#pragma once
// Mail servers for verification tests: a listener on 127.0.1.x port 25 (clear of the
// direct-send sinks on 127.0.0.x, which other tests may run at the same time) that speaks just
// enough SMTP to answer RCPT the way the test wants (known users only, everyone, a
// temporary failure, or silence), and keeps every command of every connection.
// Binding port 25 needs root: without it the test skips locally and fails in CI.

#include <QHostAddress>
#include <QPointer>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <memory>
#include <vector>

namespace sendora::test {

class FakeMx : public QObject {
public:
    enum class Mode { Users, AcceptAll, TempFail, Stall };

    FakeMx(const QString& ip, Mode mode, QStringList users = {})
        : m_ip(ip), m_mode(mode), m_users(std::move(users)) {
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* s = m_server.nextPendingConnection())
                accepted(s);
        });
    }
    // Other tests may hold the address for a while: wait for it (bounded), but give up at
    // once without the right to bind port 25.
    bool listen() {
        for (int i = 0; i < 300; ++i) {
            if (m_server.listen(QHostAddress(m_ip), 25)) return true;
            if (m_server.serverError() == QAbstractSocket::SocketAccessError) return false;
            QTest::qWait(100);
        }
        return false;
    }
    static bool mustExist() { return qEnvironmentVariableIsSet("CI"); }

    bool refuseEhlo = false; // an old server: HELO only
    // The commands of each connection, in order.
    QList<QStringList> sessions;

private:
    void accepted(QTcpSocket* s) {
        s->setParent(this);
        const qsizetype n = sessions.size();
        sessions.append(QStringList{});
        if (m_mode == Mode::Stall) return;
        s->write("220 fake.test ESMTP\r\n");
        connect(s, &QTcpSocket::readyRead, s, [this, s, n] {
            while (s->canReadLine()) {
                const QString line = QString::fromLatin1(s->readLine()).trimmed();
                sessions[n] << line;
                s->write(answer(line));
                if (line.startsWith(QLatin1String("QUIT"), Qt::CaseInsensitive)) s->disconnectFromHost();
            }
        });
    }

    QByteArray answer(const QString& line) const {
        const QString verb = line.section(u' ', 0, 0).section(u':', 0, 0).toUpper();
        if (verb == QLatin1String("EHLO"))
            return refuseEhlo ? "502 5.5.1 command not recognised\r\n"
                              : "250-fake.test\r\n250 PIPELINING\r\n";
        if (verb == QLatin1String("QUIT")) return "221 bye\r\n";
        if (verb == QLatin1String("DATA")) return "354 go on\r\n";
        if (verb != QLatin1String("RCPT")) return "250 ok\r\n";
        if (m_mode == Mode::TempFail) return "451 4.3.0 try again later\r\n";
        const QString local = line.section(u'<', 1).section(u'@', 0, 0);
        if (m_mode == Mode::AcceptAll || m_users.contains(local)) return "250 2.1.5 ok\r\n";
        return "550 5.1.1 no such user\r\n";
    }

    QTcpServer m_server;
    QString m_ip;
    Mode m_mode;
    QStringList m_users;
};

// The domains of the verification tests on dnsmasq, and their servers:
// good.test     MX 5 mx0 (127.0.1.9, nothing listens) then MX 10 mx1 (127.0.1.2, user "known")
// aonly.test    no MX, A 127.0.1.2
// all.test      127.0.1.3 accepts every address
// soft.test     127.0.1.4 answers 4xx to RCPT
// stall.test    127.0.1.5 accepts the connection and never speaks
// old.test      127.0.1.6 knows HELO only (user "known")
// down.test     127.0.1.9 only; nomail.test null MX; missing.test does not exist
struct VerifyNetwork {
    std::vector<std::unique_ptr<FakeMx>> servers;
    FakeMx* good = nullptr;
    FakeMx* stall = nullptr;

    template <class Dns> static void records(Dns& dns) {
        dns.mx(QStringLiteral("good.test"), QStringLiteral("mx0.good.test"), 5)
            .mx(QStringLiteral("good.test"), QStringLiteral("mx1.good.test"), 10)
            .host(QStringLiteral("mx0.good.test"), QStringLiteral("127.0.1.9"))
            .host(QStringLiteral("mx1.good.test"), QStringLiteral("127.0.1.2"))
            .host(QStringLiteral("aonly.test"), QStringLiteral("127.0.1.2"))
            .mx(QStringLiteral("all.test"), QStringLiteral("mx.all.test"), 10)
            .host(QStringLiteral("mx.all.test"), QStringLiteral("127.0.1.3"))
            .mx(QStringLiteral("soft.test"), QStringLiteral("mx.soft.test"), 10)
            .host(QStringLiteral("mx.soft.test"), QStringLiteral("127.0.1.4"))
            .mx(QStringLiteral("stall.test"), QStringLiteral("mx.stall.test"), 10)
            .host(QStringLiteral("mx.stall.test"), QStringLiteral("127.0.1.5"))
            .mx(QStringLiteral("down.test"), QStringLiteral("mx.down.test"), 10)
            .host(QStringLiteral("mx.down.test"), QStringLiteral("127.0.1.9"))
            .mx(QStringLiteral("old.test"), QStringLiteral("mx.old.test"), 10)
            .host(QStringLiteral("mx.old.test"), QStringLiteral("127.0.1.6"))
            .nullMx(QStringLiteral("nomail.test"));
    }
    // False when a server could not bind its port.
    bool listen() {
        using M = FakeMx::Mode;
        for (auto [ip, mode] : {std::pair{"127.0.1.2", M::Users},
                                {"127.0.1.3", M::AcceptAll},
                                {"127.0.1.4", M::TempFail},
                                {"127.0.1.5", M::Stall},
                                {"127.0.1.6", M::Users}}) {
            servers.push_back(std::make_unique<FakeMx>(QLatin1String(ip), mode, QStringList{"known"}));
            if (!servers.back()->listen()) return false;
        }
        good = servers.front().get();
        stall = servers.at(3).get();
        servers.back()->refuseEhlo = true;
        return true;
    }
};

} // namespace sendora::test

// Starts dnsmasq (a Dnsmasq) with the network's records and net's mail servers; skips the test
// (fails it in CI) when this machine cannot give them. A macro: QSKIP and QFAIL return from the
// calling test function.
#define START_VERIFY_NETWORK(dns, net)                                                                       \
    do {                                                                                                     \
        SENDORA_REQUIRE_PEER(Dnsmasq, "dnsmasq is missing", "dnsmasq is not installed");                     \
        VerifyNetwork::records(dns);                                                                         \
        QVERIFY((dns).start());                                                                              \
        if (!(net).listen()) {                                                                               \
            if (FakeMx::mustExist()) QFAIL("cannot listen on loopback port 25");                             \
            QSKIP("port 25 needs root");                                                                     \
        }                                                                                                    \
    } while (false)
