#pragma once
// A real DNS server for resolver tests: dnsmasq on 127.0.0.1 at a free port, answering only
// from the records the test gives (no upstream, no hosts file). Names under the local
// zones (".test" unless changed) that it does not know get NXDOMAIN. Every query is
// logged, so a test can count what was asked. Missing dnsmasq skips locally, fails in CI.
//
// SilentDns is a UDP port that takes queries and never answers (for timeouts and retries).

#include "support/TestPeers.h"

#include <QFile>
#include <QHostAddress>
#include <QNetworkDatagram>
#include <QProcess>
#include <QRegularExpression>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <QUdpSocket>
#include <unistd.h>

namespace sendora::test {

class Dnsmasq {
public:
    static constexpr const char* kPath = "/usr/sbin/dnsmasq";

    ~Dnsmasq() { stop(); }

    static bool available() { return QFile::exists(QLatin1String(kPath)); }
    static bool mustExist() { return qEnvironmentVariableIsSet("CI"); }

    Dnsmasq& mx(const QString& domain, const QString& host, int preference) {
        m_records << QStringLiteral("--mx-host=%1,%2,%3").arg(domain, host).arg(preference);
        return *this;
    }
    // RFC 7505: one MX with preference 0 and the root as its host.
    Dnsmasq& nullMx(const QString& domain) {
        m_records << QStringLiteral("--dns-rr=%1,15,000000").arg(domain);
        return *this;
    }
    Dnsmasq& host(const QString& name, const QString& address) {
        m_records << QStringLiteral("--host-record=%1,%2").arg(name, address);
        return *this;
    }
    Dnsmasq& txt(const QString& name, const QString& text) {
        m_records << QStringLiteral("--txt-record=%1,\"%2\"").arg(name, text);
        return *this;
    }
    // Queries for domain go to another server ("127.0.0.1:port"), e.g. a SilentDns.
    Dnsmasq& forward(const QString& domain, const QString& server) {
        m_records << QStringLiteral("--server=/%1/%2").arg(domain, QString(server).replace(u':', u'#'));
        return *this;
    }
    // Zones answered only from the records above ("test" by default).
    Dnsmasq& localZones(const QStringList& zones) {
        m_zones = zones;
        return *this;
    }

    bool start() {
        if (!m_dir.isValid()) return false;
        for (int attempt = 0; attempt < 5; ++attempt) {
            {
                QUdpSocket probe;
                if (!probe.bind(QHostAddress::LocalHost, 0)) return false;
                m_port = probe.localPort();
            }
            QStringList args{QStringLiteral("--keep-in-foreground"),
                             QStringLiteral("--no-resolv"),
                             QStringLiteral("--no-hosts"),
                             QStringLiteral("--conf-file=/dev/null"),
                             QStringLiteral("--pid-file="),
                             QStringLiteral("--bind-interfaces"),
                             QStringLiteral("--listen-address=127.0.0.1"),
                             QStringLiteral("--port=%1").arg(m_port),
                             QStringLiteral("--log-queries"),
                             QStringLiteral("--log-facility=%1").arg(logPath())};
            if (::geteuid() == 0) args << QStringLiteral("--user=root");
            for (const QString& zone : std::as_const(m_zones))
                args << QStringLiteral("--local=/%1/").arg(zone);
            args << m_records;
            m_process.start(QLatin1String(kPath), args);
            if (!m_process.waitForStarted(3000)) return false;
            const bool up = QTest::qWaitFor(
                [this] {
                    return m_process.state() != QProcess::Running || log().contains("cleared cache") ||
                           log().contains("started,");
                },
                5000);
            if (up && m_process.state() == QProcess::Running) return true;
            m_process.waitForFinished(1000); // port taken meanwhile: try another
        }
        return false;
    }

    void stop() {
        if (m_process.state() == QProcess::NotRunning) return;
        m_process.terminate();
        if (!m_process.waitForFinished(2000)) m_process.kill();
        m_process.waitForFinished(2000);
    }

    quint16 port() const { return m_port; }
    QString server() const { return QStringLiteral("127.0.0.1:%1").arg(m_port); }
    QString logPath() const { return m_dir.filePath(QStringLiteral("dnsmasq.log")); }
    QByteArray log() const {
        QFile f(logPath());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    // Queries received so far of that type ("MX", "A", "AAAA") for that name.
    int queries(const QString& type, const QString& name) const {
        const QRegularExpression line(
            QStringLiteral("query\\[%1\\] %2 from")
                .arg(QRegularExpression::escape(type), QRegularExpression::escape(name)),
            QRegularExpression::CaseInsensitiveOption);
        return int(QString::fromUtf8(log()).count(line));
    }
    // Every query received so far.
    int queries() const { return int(log().count("]: query[")); }

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    QStringList m_records;
    QStringList m_zones{QStringLiteral("test")};
    quint16 m_port = 0;
};

class SilentDns {
public:
    SilentDns() {
        m_socket.bind(QHostAddress::LocalHost, 0);
        QObject::connect(&m_socket, &QUdpSocket::readyRead, [this] {
            while (m_socket.hasPendingDatagrams()) {
                m_socket.receiveDatagram();
                ++m_received;
            }
        });
    }
    QString server() const { return QStringLiteral("127.0.0.1:%1").arg(m_socket.localPort()); }
    // Queries that reached it.
    int received() const { return m_received; }

private:
    QUdpSocket m_socket;
    int m_received = 0;
};

} // namespace sendora::test
