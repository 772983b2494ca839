#include "MailTransport.h"

#include <QSslConfiguration>
#include <QSslSocket>

namespace sendora::mail {

SslTransport::SslTransport(QObject* parent) : MailTransport(parent), m_socket(new QSslSocket(this)) {
    connect(m_socket, &QSslSocket::hostFound, this, &MailTransport::hostFound);
    connect(m_socket, &QSslSocket::connected, this, [this] {
        // Commands are written whole; waiting for Nagle only adds latency per round trip.
        m_socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        Q_EMIT connected();
    });
    connect(m_socket, &QSslSocket::encrypted, this, &MailTransport::encrypted);
    connect(m_socket, &QSslSocket::readyRead, this, &MailTransport::readyRead);
    connect(m_socket, &QSslSocket::disconnected, this, [this] {
        if (!m_aborted) Q_EMIT disconnected();
    });
    connect(m_socket, &QSslSocket::errorOccurred, this, [this](QAbstractSocket::SocketError error) {
        if (m_aborted) return;
        // A peer closing the connection is reported through disconnected().
        if (error == QAbstractSocket::RemoteHostClosedError) return;
        const bool tls = error == QAbstractSocket::SslHandshakeFailedError ||
                         error == QAbstractSocket::SslInternalError ||
                         error == QAbstractSocket::SslInvalidUserDataError;
        Q_EMIT errorOccurred(m_socket->errorString(), tls);
    });
    connect(m_socket, &QSslSocket::sslErrors, this, [this](const QList<QSslError>&) {
        if (!m_tls.verifyPeer) m_socket->ignoreSslErrors();
    });
}

SslTransport::~SslTransport() = default;

void SslTransport::setTlsSettings(const TlsSettings& settings) {
    m_tls = settings;
    QSslConfiguration config = QSslConfiguration::defaultConfiguration();
    if (!settings.trustedCertificates.isEmpty()) config.addCaCertificates(settings.trustedCertificates);
    config.setPeerVerifyMode(settings.verifyPeer ? QSslSocket::VerifyPeer : QSslSocket::VerifyNone);
    m_socket->setSslConfiguration(config);
}

void SslTransport::connectToHost(const QString& host, quint16 port, bool implicitTls) {
    m_aborted = false;
    if (implicitTls)
        m_socket->connectToHostEncrypted(host, port);
    else
        m_socket->connectToHost(host, port);
}

void SslTransport::startClientEncryption() {
    m_socket->startClientEncryption();
}
bool SslTransport::isEncrypted() const {
    return m_socket->isEncrypted();
}
bool SslTransport::isLoopbackPeer() const {
    return m_socket->peerAddress().isLoopback();
}
qint64 SslTransport::write(QByteArrayView data) {
    const qint64 written = m_socket->write(data.data(), data.size());
    // Out now rather than on the next pass of the event loop: each command waits for its reply.
    m_socket->flush();
    return written;
}
QByteArray SslTransport::readAll() {
    return m_socket->readAll();
}
void SslTransport::close() {
    m_socket->disconnectFromHost();
}

void SslTransport::abort() {
    m_aborted = true;
    m_socket->abort();
}

} // namespace sendora::mail
