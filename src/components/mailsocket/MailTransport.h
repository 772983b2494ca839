#pragma once
// The byte stream under the mail socket. The protocol code only sees this interface, so a
// test can put a scripted server (FakeTransport) where the network would be.

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QObject>
#include <QSslCertificate>
#include <QString>
#include <memory>

class QSslSocket;

namespace sendora::mail {

struct TlsSettings {
    bool verifyPeer = true;
    // Accepted as trust anchors in addition to the system store (self-signed servers).
    QList<QSslCertificate> trustedCertificates;
};

class MailTransport : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // implicitTls: the TLS handshake starts right after the TCP connection (port 465).
    virtual void connectToHost(const QString& host, quint16 port, bool implicitTls) = 0;
    virtual void startClientEncryption() = 0;
    virtual bool isEncrypted() const = 0;
    virtual bool isLoopbackPeer() const = 0;
    virtual qint64 write(QByteArrayView data) = 0;
    virtual QByteArray readAll() = 0;
    // Graceful close after pending output; disconnected() follows.
    virtual void close() = 0;
    // Immediate close; emits nothing.
    virtual void abort() = 0;
    virtual void setTlsSettings(const TlsSettings& settings) = 0;

Q_SIGNALS:
    void hostFound();
    void connected();
    void encrypted();
    void readyRead();
    void disconnected();
    void errorOccurred(const QString& message, bool tls);
};

class SslTransport final : public MailTransport {
    Q_OBJECT
public:
    explicit SslTransport(QObject* parent = nullptr);
    ~SslTransport() override;

    void connectToHost(const QString& host, quint16 port, bool implicitTls) override;
    void startClientEncryption() override;
    bool isEncrypted() const override;
    bool isLoopbackPeer() const override;
    qint64 write(QByteArrayView data) override;
    QByteArray readAll() override;
    void close() override;
    void abort() override;
    void setTlsSettings(const TlsSettings& settings) override;

private:
    QSslSocket* m_socket;
    TlsSettings m_tls;
    bool m_aborted = false;
};

} // namespace sendora::mail
