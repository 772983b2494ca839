#pragma once
// Dovecot's POP3 server as an ordinary process: its configuration, a passwd-file user and
// the user's Maildir in a temporary folder, listening on free loopback ports. With TLS, a
// self-signed certificate for 127.0.0.1 is made by openssl; STLS is offered on port() and
// implicit TLS served on tlsPort(). Missing dovecot skips the test locally and fails it in CI.
//
//   DovecotPop pop;
//   if (!DovecotPop::available()) { if (DovecotPop::mustExist()) QFAIL(...); QSKIP(...); }
//   QVERIFY2(pop.start(), qPrintable(pop.log()));
//   pop.addMessage("From: a@example.com\r\nSubject: hi\r\n\r\nbody\r\n");

#include "support/TestPeers.h"

#include <QDir>
#include <QFile>
#include <QHostAddress>
#include <QProcess>
#include <QSslCertificate>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <grp.h>
#include <pwd.h>
#include <unistd.h>

namespace sendora::test {

class DovecotPop {
public:
    static constexpr const char* kPath = "/usr/sbin/dovecot";

    explicit DovecotPop(QString user = QStringLiteral("alice"), QString password = QStringLiteral("secret"))
        : m_user(std::move(user)), m_password(std::move(password)) {}
    ~DovecotPop() { stop(); }

    static bool available() { return QFile::exists(QLatin1String(kPath)); }
    static bool mustExist() { return qEnvironmentVariableIsSet("CI"); }

    bool start(bool tls = false) {
        if (!m_dir.isValid()) return false;
        const QString root = m_dir.path();
        // Dovecot will not read mail as root; as root the mail belongs to its own user.
        uid_t uid = ::geteuid();
        gid_t gid = ::getegid();
        QString internalUser = userName(uid), loginUser = internalUser;
        if (uid == 0) {
            const passwd* dovecot = ::getpwnam("dovecot");
            const passwd* dovenull = ::getpwnam("dovenull");
            if (!dovecot || !dovenull) return false;
            uid = dovecot->pw_uid;
            gid = dovecot->pw_gid;
            internalUser = QStringLiteral("dovecot");
            loginUser = QStringLiteral("dovenull");
            QFile::setPermissions(root, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                            QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                            QFileDevice::ExeOther | QFileDevice::ReadGroup |
                                            QFileDevice::ExeGroup);
        }
        m_uid = uid;
        m_gid = gid;
        const QString mail = maildir();
        for (const char* sub : {"", "/new", "/cur", "/tmp"}) {
            QDir().mkpath(mail + QLatin1String(sub));
            own(mail + QLatin1String(sub));
        }
        QDir().mkpath(root + QStringLiteral("/run"));
        QDir().mkpath(root + QStringLiteral("/state"));
        writeFile(QStringLiteral("passwd"), QStringLiteral("%1:{PLAIN}%2:%3:%4::%5::\n")
                                                .arg(m_user, m_password)
                                                .arg(uid)
                                                .arg(gid)
                                                .arg(root)
                                                .toUtf8());

        m_port = freePort();
        m_tlsPort = tls ? freePort() : 0;
        if (tls && !makeCertificate()) return false;

        QString conf;
        conf +=
            QStringLiteral("base_dir = %1/run\nstate_dir = %1/state\nlog_path = %1/dovecot.log\n").arg(root);
        conf += QStringLiteral("protocols = pop3\nlisten = 127.0.0.1\n");
        conf += QStringLiteral("default_internal_user = %1\ndefault_internal_group = %2\n")
                    .arg(internalUser, groupName(gid));
        conf += QStringLiteral("default_login_user = %1\n").arg(loginUser);
        conf += QStringLiteral("first_valid_uid = 1\nfirst_valid_gid = 1\nmail_uid = %1\nmail_gid = %2\n")
                    .arg(uid)
                    .arg(gid);
        conf += QStringLiteral("disable_plaintext_auth = no\nauth_mechanisms = plain\n");
        conf +=
            QStringLiteral(
                "passdb {\n  driver = passwd-file\n  args = scheme=PLAIN username_format=%u %1/passwd\n}\n")
                .arg(root);
        conf += QStringLiteral("userdb {\n  driver = passwd-file\n  args = username_format=%u %1/passwd\n}\n")
                    .arg(root);
        conf += QStringLiteral("mail_location = maildir:%1\n").arg(mail);
        if (tls)
            conf += QStringLiteral("ssl = yes\nssl_cert = <%1/cert.pem\nssl_key = <%1/key.pem\n").arg(root);
        else
            conf += QStringLiteral("ssl = no\n");
        conf +=
            QStringLiteral("service pop3-login {\n  chroot =\n  inet_listener pop3 {\n    port = %1\n  }\n"
                           "  inet_listener pop3s {\n    port = %2\n  }\n}\n")
                .arg(m_port)
                .arg(m_tlsPort);
        conf += QStringLiteral("service anvil {\n  chroot =\n}\n");
        writeFile(QStringLiteral("dovecot.conf"), conf.toUtf8());

        m_process.setProcessChannelMode(QProcess::MergedChannels);
        m_process.start(QLatin1String(kPath),
                        {QStringLiteral("-F"), QStringLiteral("-c"), root + "/dovecot.conf"});
        if (!m_process.waitForStarted(5000)) return false;
        return QTest::qWaitFor(
                   [this] {
                       if (m_process.state() == QProcess::NotRunning) return true;
                       QTcpSocket s;
                       s.connectToHost(QHostAddress::LocalHost, m_port);
                       if (!s.waitForConnected(100)) return false;
                       return s.waitForReadyRead(1000) && s.readLine().startsWith("+OK");
                   },
                   10000) &&
               m_process.state() == QProcess::Running;
    }

    void stop() {
        if (m_process.state() == QProcess::NotRunning) return;
        m_process.terminate();
        if (!m_process.waitForFinished(5000)) m_process.kill();
        m_process.waitForFinished(2000);
    }

    quint16 port() const { return m_port; }
    quint16 tlsPort() const { return m_tlsPort; }
    QString userName() const { return m_user; }
    QString password() const { return m_password; }
    QString maildir() const { return m_dir.filePath(QStringLiteral("Maildir")); }
    QSslCertificate certificate() const { return m_certificate; }

    // Drops a message into new/; LF or CRLF line ends (stored with LF, as Maildir keeps them).
    QString addMessage(QByteArray message) {
        message.replace("\r\n", "\n");
        const QString name = QStringLiteral("%1.%2.test").arg(++m_sequence).arg(::getpid());
        const QString path = maildir() + QStringLiteral("/new/") + name;
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(message) != message.size()) return QString();
        f.close();
        own(path);
        return name;
    }

    // Messages still on the server (new/ and cur/).
    int messageCount() const {
        int n = 0;
        for (const char* sub : {"/new", "/cur"})
            n += int(QDir(maildir() + QLatin1String(sub)).entryList(QDir::Files).size());
        return n;
    }

    QString log() const {
        QFile f(m_dir.filePath(QStringLiteral("dovecot.log")));
        QString text = f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
        return text + QString::fromUtf8(const_cast<QProcess&>(m_process).readAll());
    }

private:
    static QString userName(uid_t uid) {
        const passwd* pw = ::getpwuid(uid);
        return pw ? QString::fromLocal8Bit(pw->pw_name) : QString::number(uid);
    }
    static QString groupName(gid_t gid) {
        const group* gr = ::getgrgid(gid);
        return gr ? QString::fromLocal8Bit(gr->gr_name) : QString::number(gid);
    }
    static quint16 freePort() { return freeLoopbackPort(); }
    void own(const QString& path) const {
        if (::geteuid() == 0 && ::chown(QFile::encodeName(path).constData(), m_uid, m_gid) != 0) return;
    }
    void writeFile(const QString& name, const QByteArray& data) const {
        QFile f(m_dir.filePath(name));
        if (f.open(QIODevice::WriteOnly)) f.write(data);
    }
    bool makeCertificate() {
        const QString cert = m_dir.filePath(QStringLiteral("cert.pem")),
                      key = m_dir.filePath(QStringLiteral("key.pem"));
        QProcess openssl;
        openssl.start(QStringLiteral("openssl"), {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout",
                                                  key, "-out", cert, "-days", "2", "-subj", "/CN=localhost",
                                                  "-addext", "subjectAltName=IP:127.0.0.1,DNS:localhost"});
        if (!openssl.waitForFinished(30000) || openssl.exitCode() != 0) return false;
        QFile::setPermissions(key, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        const QList<QSslCertificate> certs = QSslCertificate::fromPath(cert);
        if (certs.isEmpty()) return false;
        m_certificate = certs.first();
        return true;
    }

    QTemporaryDir m_dir;
    QProcess m_process;
    QString m_user, m_password;
    QSslCertificate m_certificate;
    quint16 m_port = 0, m_tlsPort = 0;
    uid_t m_uid = 0;
    gid_t m_gid = 0;
    int m_sequence = 0;
};

} // namespace sendora::test
