#pragma once
// A throw-away PostgreSQL cluster for ODBC tests: initdb in a temporary folder, the server on
// a loopback port, run as "nobody" when the test runs as root (PostgreSQL refuses root), and a
// temporary odbcinst.ini naming the psqlODBC driver (ODBCSYSINI/ODBCINI point at it).
// Missing PostgreSQL or driver skips the test locally and fails it in CI.

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

// Writes odbcinst.ini/odbc.ini into a folder and points unixODBC at them.
inline void registerOdbcDrivers(const QString& folder, const QString& odbcinstIni,
                                const QString& odbcIni = {}) {
    QFile inst(folder + QStringLiteral("/odbcinst.ini"));
    if (inst.open(QIODevice::WriteOnly)) inst.write(odbcinstIni.toUtf8());
    QFile ini(folder + QStringLiteral("/odbc.ini"));
    if (ini.open(QIODevice::WriteOnly)) ini.write(odbcIni.toUtf8());
    qputenv("ODBCSYSINI", folder.toLocal8Bit());
    qputenv("ODBCINI", (folder + QStringLiteral("/odbc.ini")).toLocal8Bit());
}

// The path of an ODBC driver library, empty when it is not installed.
inline QString odbcDriverPath(const QString& file) {
    for (const char* dir : {"/usr/lib/x86_64-linux-gnu/odbc", "/usr/lib/aarch64-linux-gnu/odbc",
                            "/usr/lib/odbc", "/usr/lib64", "/usr/local/lib"}) {
        const QString path = QLatin1String(dir) + u'/' + file;
        if (QFile::exists(path)) return path;
    }
    return {};
}

class PostgresServer {
public:
    ~PostgresServer() { stop(); }

    static bool mustExist() { return qEnvironmentVariableIsSet("CI"); }
    static QString binFolder() {
        const QDir root(QStringLiteral("/usr/lib/postgresql"));
        const QStringList versions = root.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
        for (auto it = versions.rbegin(); it != versions.rend(); ++it) {
            const QString bin = root.filePath(*it + QStringLiteral("/bin"));
            if (QFile::exists(bin + QStringLiteral("/initdb"))) return bin;
        }
        return {};
    }
    static QString driverPath() { return odbcDriverPath(QStringLiteral("psqlodbcw.so")); }
    static bool available() { return !binFolder().isEmpty() && !driverPath().isEmpty(); }

    // initdb and start; bounded waits throughout. Call through QVERIFY after available().
    bool start() {
        if (!m_dir.isValid()) return false;
        m_data = m_dir.path() + QStringLiteral("/data");
        openToEveryone(m_dir.path());
        m_port = freeLoopbackPort();
        const QString bin = binFolder();
        if (!runAs(bin + QStringLiteral("/initdb"),
                   {QStringLiteral("-D"), m_data, QStringLiteral("-U"), QStringLiteral("postgres"),
                    QStringLiteral("-A"), QStringLiteral("trust"), QStringLiteral("-E"),
                    QStringLiteral("UTF8"), QStringLiteral("--no-sync")},
                   60000))
            return false;
        const QStringList args = {
            QStringLiteral("-D"), m_data,       QStringLiteral("-p"), QString::number(m_port),
            QStringLiteral("-k"), m_dir.path(), QStringLiteral("-h"), QStringLiteral("127.0.0.1"),
            QStringLiteral("-F")};
        setProgram(m_server, bin + QStringLiteral("/postgres"), args);
        m_server.setProcessChannelMode(QProcess::MergedChannels);
        m_server.start();
        if (!m_server.waitForStarted(5000)) return false;
        return QTest::qWaitFor(
            [this] {
                QTcpSocket s;
                s.connectToHost(QHostAddress::LocalHost, m_port);
                return s.waitForConnected(100) && psql(QStringLiteral("SELECT 1"));
            },
            20000);
    }

    void stop() {
        if (m_server.state() == QProcess::NotRunning) return;
        m_server.terminate(); // SIGTERM: smart shutdown
        if (!m_server.waitForFinished(5000)) m_server.kill();
        m_server.waitForFinished(2000);
    }

    // Runs SQL through psql as the superuser; false when it fails.
    bool psql(const QString& sql) {
        return runAs(binFolder() + QStringLiteral("/psql"),
                     {QStringLiteral("-h"), QStringLiteral("127.0.0.1"), QStringLiteral("-p"),
                      QString::number(m_port), QStringLiteral("-U"), QStringLiteral("postgres"),
                      QStringLiteral("-d"), QStringLiteral("postgres"), QStringLiteral("-v"),
                      QStringLiteral("ON_ERROR_STOP=1"), QStringLiteral("-q"), QStringLiteral("-c"), sql},
                     20000);
    }

    quint16 port() const { return m_port; }
    QString folder() const { return m_dir.path(); }
    QString output() { return QString::fromLocal8Bit(m_server.readAll()); }

    // Registers the driver as "PostgreSQL Unicode" in a temporary odbcinst.ini.
    void registerDriver() {
        registerOdbcDrivers(m_dir.path(),
                            QStringLiteral("[PostgreSQL Unicode]\nDriver=%1\n").arg(driverPath()));
    }
    QString connectionString() const {
        return QStringLiteral(
                   "DRIVER={PostgreSQL Unicode};SERVER=127.0.0.1;PORT=%1;DATABASE=postgres;UID=postgres;")
            .arg(m_port);
    }

private:
    static void setProgram(QProcess& p, const QString& program, const QStringList& args) {
        if (::geteuid() == 0) {
            p.setProgram(QStringLiteral("setpriv"));
            p.setArguments(QStringList{QStringLiteral("--reuid=nobody"), QStringLiteral("--regid=nogroup"),
                                       QStringLiteral("--clear-groups"), program} +
                           args);
        } else {
            p.setProgram(program);
            p.setArguments(args);
        }
    }
    bool runAs(const QString& program, const QStringList& args, int ms) {
        QProcess p;
        setProgram(p, program, args);
        p.setWorkingDirectory(m_dir.path());
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start();
        if (!p.waitForFinished(ms)) {
            p.kill();
            p.waitForFinished(2000);
            return false;
        }
        m_lastOutput = QString::fromLocal8Bit(p.readAll());
        return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    }

    QTemporaryDir m_dir;
    QString m_data;
    QProcess m_server;
    quint16 m_port = 0;

public:
    QString m_lastOutput;
};

} // namespace sendora::test
