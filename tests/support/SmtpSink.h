#pragma once
// Postfix's smtp-sink on a free loopback port, dumping every message into a folder.
// Missing smtp-sink skips the test locally and fails it in CI.

#include "support/TestPeers.h"

#include <QDir>
#include <QFile>
#include <QHostAddress>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <unistd.h>

namespace sendora::test {

class SmtpSink {
public:
    static constexpr const char* kPath = "/usr/sbin/smtp-sink";

    ~SmtpSink() { stop(); }

    // Call through QVERIFY(sink.start()) after checking available().
    static bool available() { return QFile::exists(QLatin1String(kPath)); }
    static bool mustExist() { return qEnvironmentVariableIsSet("CI"); }

    bool start(const QStringList& extraOptions = {}) {
        // smtp-sink drops privileges when started as root; the dump folder must stay writable for it.
        openToEveryone(m_dumps.path());
        m_port = freeLoopbackPort();
        QStringList args;
        if (::geteuid() == 0) args << QStringLiteral("-u") << QStringLiteral("root");
        args << extraOptions << QStringLiteral("-d") << m_dumps.path() + QStringLiteral("/%H%M%S.")
             << QStringLiteral("127.0.0.1:%1").arg(m_port) << QStringLiteral("200");
        m_process.start(QLatin1String(kPath), args);
        if (!m_process.waitForStarted(3000)) return false;
        return QTest::qWaitFor(
            [this] {
                QTcpSocket s;
                s.connectToHost(QHostAddress::LocalHost, m_port);
                return s.waitForConnected(100);
            },
            5000);
    }

    void stop() {
        if (m_process.state() == QProcess::NotRunning) return;
        m_process.terminate();
        if (!m_process.waitForFinished(2000)) m_process.kill();
        m_process.waitForFinished(2000);
    }

    quint16 port() const { return m_port; }
    QString dumpFolder() const { return m_dumps.path(); }

    QList<QByteArray> dumps() const {
        QList<QByteArray> all;
        const QDir dir(m_dumps.path());
        for (const QString& name : dir.entryList(QDir::Files, QDir::Name)) {
            QFile f(dir.filePath(name));
            if (f.open(QIODevice::ReadOnly)) all << f.readAll();
        }
        return all;
    }
    int dumpCount() const { return int(QDir(m_dumps.path()).entryList(QDir::Files).size()); }
    void clearDumps() {
        QDir dir(m_dumps.path());
        for (const QString& name : dir.entryList(QDir::Files))
            dir.remove(name);
    }

    // The recipients of one dump ("X-Rcpt-Args: <a@b>" lines).
    static QStringList recipients(const QByteArray& dump) {
        QStringList out;
        for (const QByteArray& line : dump.split('\n')) {
            if (line.startsWith("X-Rcpt-Args: <"))
                out << QString::fromUtf8(line.mid(14, line.indexOf('>') - 14));
            if (line.startsWith("Received:")) break;
        }
        return out;
    }

private:
    QTemporaryDir m_dumps;
    QProcess m_process;
    quint16 m_port = 0;
};

} // namespace sendora::test
