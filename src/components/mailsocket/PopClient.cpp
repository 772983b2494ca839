#include "PopClient.h"

#include <QIODevice>

namespace sendora::mail {

namespace {

TransportFactory defaultFactory() {
    return [] { return std::make_unique<SslTransport>(); };
}

// CAPA and LIST replies are kept for the log; a server listing more than this is cut.
constexpr qsizetype MaxListingBytes = 4 << 20;

bool hasLineBreak(const QString& text) {
    return text.contains(u'\r') || text.contains(u'\n') || text.contains(QChar(0));
}

} // namespace

PopClient::PopClient(QObject* parent) : QObject(parent), m_factory(defaultFactory()) {
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &PopClient::onTimer);
}

PopClient::~PopClient() {
    detachTransport();
}

void PopClient::setTransportFactory(TransportFactory factory) {
    m_factory = factory ? std::move(factory) : defaultFactory();
}

bool PopClient::isEncrypted() const {
    return m_transport && m_transport->isEncrypted();
}

qint64 PopClient::MessageSize(int n) const {
    return n >= 1 && n <= m_sizes.size() ? m_sizes.at(n - 1) : -1;
}

QString PopClient::HeaderText() const {
    return QString::fromUtf8(m_header);
}

QString PopClient::FetchedText() const {
    return QString::fromUtf8(m_fetched);
}

void PopClient::Connect() {
    detachTransport();
    ++m_generation;
    m_parser.reset();
    m_timer.stop();
    m_loggedIn = m_handshaking = m_stlsOffered = false;
    m_messageCount = 0;
    m_mailboxSize = 0;
    m_sizes.clear();
    m_header.clear();
    m_fetched.clear();
    m_fetchedSize = 0;
    m_truncated = false;
    m_errorText.clear();

    bool ok = false;
    uint port = m_port.trimmed().toUInt(&ok);
    m_implicitTls = m_tlsMode == TlsMode::ImplicitTls || (ok && port == 995);
    if (!ok || port == 0 || port > 65535) port = m_implicitTls ? 995 : 110;

    m_transport = m_factory();
    m_transport->setTlsSettings(m_tls);
    MailTransport* t = m_transport.get();
    connect(t, &MailTransport::connected, this, &PopClient::onConnected);
    connect(t, &MailTransport::encrypted, this, &PopClient::onEncrypted);
    connect(t, &MailTransport::readyRead, this, &PopClient::onReadyRead);
    connect(t, &MailTransport::disconnected, this, &PopClient::onDisconnected);
    connect(t, &MailTransport::errorOccurred, this, &PopClient::onTransportError);

    m_cmd = Cmd::Greeting;
    m_cmdLabel = m_lastData = QStringLiteral("CNCT");
    m_replyText.clear();
    m_replyBytes = 0;
    m_parser.expect(false);
    m_sinceProgress.restart();
    m_timer.start(m_timeoutSeconds * 1000);
    m_transport->connectToHost(m_host.trimmed(), quint16(port), m_implicitTls);
}

void PopClient::onConnected() {
    m_open = true;
    m_sinceProgress.restart();
    if (m_implicitTls) m_handshaking = true;
}

void PopClient::onEncrypted() {
    if (!m_handshaking) return;
    m_handshaking = false;
    m_sinceProgress.restart();
    // Implicit TLS: the greeting comes now. After STLS: log in.
    if (m_cmd != Cmd::Greeting) sendUser();
}

void PopClient::send(Cmd cmd, const QByteArray& line, const QString& label, int number) {
    m_cmd = cmd;
    m_cmdNumber = number;
    m_cmdLabel = m_lastData = label;
    m_replyText.clear();
    m_replyBytes = 0;
    const bool multi = cmd == Cmd::Capa || cmd == Cmd::List || cmd == Cmd::Top || cmd == Cmd::Retr;
    m_parser.expect(multi);
    m_sinceProgress.restart();
    if (!m_timer.isActive()) m_timer.start(m_timeoutSeconds * 1000);
    m_transport->write(line + "\r\n");
}

void PopClient::onReadyRead() {
    if (!m_transport) return;
    const quint64 generation = m_generation;
    const QByteArray bytes = m_transport->readAll();
    if (bytes.isEmpty()) return;
    m_sinceProgress.restart();
    if (m_cmd == Cmd::None || m_handshaking) {
        // Nobody asked: a server talking out of turn cannot be kept in step.
        failConnection(0, tr("The server sent data that was not asked for."));
        return;
    }
    m_replyBytes += bytes.size();
    m_parser.feed(bytes);
    QByteArray chunk;
    while (m_cmd != Cmd::None && generation == m_generation) {
        chunk.resize(0);
        const PopReplyParser::Item item = m_parser.next(chunk);
        if (item == PopReplyParser::Item::NeedMore) return;
        if (item == PopReplyParser::Item::Malformed) {
            failConnection(
                failureCodeFor(m_cmd),
                tr("The server sent a malformed reply (%1).").arg(QString::fromLatin1(m_parser.error())));
            return;
        }
        if (item == PopReplyParser::Item::Status)
            handleStatus(m_parser.status());
        else if (item == PopReplyParser::Item::Data)
            handleBody(chunk);
        else
            handleEnd();
    }
    if (generation == m_generation && m_cmd == Cmd::None && m_parser.hasPendingData())
        failConnection(0, tr("The server sent data that was not asked for."));
}

void PopClient::report(int code) {
    Q_EMIT POPStatus(code);
}

// Reports one finished exchange: the log line first, then the status code.
void PopClient::handleStatus(const PopStatusLine& status) {
    const quint64 generation = m_generation;
    const Cmd cmd = m_cmd;
    m_replyText = status.line;
    const bool multi =
        status.ok && (cmd == Cmd::Capa || cmd == Cmd::List || cmd == Cmd::Top || cmd == Cmd::Retr);
    if (multi) {
        if (cmd == Cmd::Top || cmd == Cmd::Retr) {
            if (cmd == Cmd::Top || m_headerFromRetr) {
                m_header.clear();
            } else {
                m_fetched.clear();
                m_fetchedSize = 0;
            }
            m_truncated = false;
            m_headerDone = false;
        } else {
            m_replyText.append("\r\n");
        }
        return; // the rest is reported at the end of the data
    }
    const QString label = m_cmdLabel;
    const qint64 bytes = m_replyBytes;
    m_cmd = Cmd::None;
    Q_EMIT DataRecieved(label, QString::fromUtf8(status.line), bytes);
    if (generation != m_generation) return;

    switch (cmd) {
    case Cmd::Greeting:
        if (!status.ok) {
            failConnection(PopNotConnected,
                           tr("The server refused the connection: %1").arg(QString::fromUtf8(status.text)));
            return;
        }
        report(PopConnected);
        if (generation == m_generation) afterGreeting();
        return;
    case Cmd::Capa: // refused: no capabilities known
        sendUser();
        return;
    case Cmd::Stls:
        if (!status.ok) {
            if (m_tlsMode == TlsMode::StartTlsRequired)
                failConnection(PopNotConnected, tr("The server refused STLS."));
            else
                sendUser();
            return;
        }
        // Anything already sent in clear after +OK would pass as if it came over TLS.
        if (m_parser.hasPendingData()) {
            failConnection(PopNotConnected, tr("The server sent data before the TLS handshake."));
            return;
        }
        m_handshaking = true;
        m_sinceProgress.restart();
        if (!m_timer.isActive()) m_timer.start(m_timeoutSeconds * 1000);
        m_transport->startClientEncryption();
        return;
    case Cmd::User:
        report(status.ok ? PopUserOk : PopUserRefused);
        if (!status.ok || generation != m_generation) return;
        if (hasLineBreak(m_password)) {
            m_errorText = tr("The password holds a line break; it was not sent.");
            report(PopPasswordRefused);
            return;
        }
        send(Cmd::Pass, "PASS " + m_password.toUtf8(), QStringLiteral("PASS"));
        return;
    case Cmd::Pass:
        report(status.ok ? PopPasswordOk : PopPasswordRefused);
        if (status.ok && generation == m_generation) {
            m_loggedIn = true;
            send(Cmd::Stat, "STAT", QStringLiteral("STAT"));
        }
        return;
    case Cmd::Stat: {
        const QList<QByteArray> parts = status.text.simplified().split(' ');
        bool countOk = false, sizeOk = false;
        const int count = parts.value(0).toInt(&countOk);
        const qint64 size = parts.value(1).toLongLong(&sizeOk);
        if (!status.ok || !countOk || !sizeOk || count < 0 || size < 0) {
            report(PopStatFailed);
            return;
        }
        m_messageCount = count;
        m_mailboxSize = size;
        report(PopStatReceived);
        if (generation == m_generation) send(Cmd::List, "LIST", QStringLiteral("LIST"));
        return;
    }
    case Cmd::List:
        report(PopListFailed);
        return;
    case Cmd::Top:
        // TOP is optional in POP3; the whole message gives the header too.
        m_headerFromRetr = true;
        send(Cmd::Retr, "RETR " + QByteArray::number(m_cmdNumber), QStringLiteral("RETR %1").arg(m_cmdNumber),
             m_cmdNumber);
        return;
    case Cmd::Retr:
    case Cmd::Dele:
        report(status.ok && cmd == Cmd::Dele ? PopCommandOk : PopCommandFailed);
        return;
    case Cmd::Quit:
        if (status.ok) {
            closeNow();
            const quint64 closed = m_generation;
            report(PopQuitOk);
            if (closed == m_generation) Q_EMIT Disconnected();
        } else {
            report(PopQuitFailed);
        }
        return;
    case Cmd::None:
        return;
    }
}

void PopClient::handleBody(QByteArray& chunk) {
    switch (m_cmd) {
    case Cmd::Capa:
    case Cmd::List:
        if (m_replyText.size() < MaxListingBytes) m_replyText.append(chunk);
        return;
    case Cmd::Top:
    case Cmd::Retr:
        if (m_cmd == Cmd::Top || m_headerFromRetr) {
            if (m_headerDone) return;
            const qsizetype from = qMax<qsizetype>(0, m_header.size() - 3);
            m_header.append(chunk);
            qsizetype end = m_header.startsWith("\r\n") ? 0 : m_header.indexOf("\r\n\r\n", from);
            if (end >= 0) {
                m_header.truncate(end == 0 ? 2 : end + 4);
                // TOP sends the header only; after RETR the body is read and dropped.
                m_headerDone = m_cmd == Cmd::Retr;
            } else if (m_header.size() > m_headerLimit) {
                m_header.truncate(m_headerLimit);
                m_truncated = m_headerDone = true;
            }
            return;
        }
        m_fetchedSize += chunk.size();
        if (m_device) {
            if (m_device->write(chunk) != chunk.size() && m_errorText.isEmpty())
                m_errorText = tr("The message could not be stored: %1").arg(m_device->errorString());
            return;
        }
        if (m_fetched.size() + chunk.size() > m_messageLimit) {
            m_truncated = true;
            m_fetched.append(chunk.constData(), qMax<qint64>(0, m_messageLimit - m_fetched.size()));
            return;
        }
        if (m_fetched.isEmpty())
            m_fetched = std::move(chunk);
        else
            m_fetched.append(chunk);
        return;
    default:
        return;
    }
}

void PopClient::handleEnd() {
    const quint64 generation = m_generation;
    const Cmd cmd = m_cmd;
    const QString label = m_cmdLabel;
    const qint64 bytes = m_replyBytes;
    m_cmd = Cmd::None;
    if (cmd == Cmd::List || cmd == Cmd::Capa) {
        // The status line went first; the listing lines follow it.
        const QList<QByteArray> lines = m_replyText.split('\n');
        if (cmd == Cmd::List) {
            m_sizes = QList<qint64>(qBound(0, m_messageCount, 1 << 20), -1);
            for (const QByteArray& line : lines.mid(1)) {
                const QList<QByteArray> parts = line.simplified().split(' ');
                const int n = parts.value(0).toInt();
                if (n >= 1 && n <= m_sizes.size()) m_sizes[n - 1] = parts.value(1).toLongLong();
            }
        } else {
            for (const QByteArray& line : lines.mid(1))
                if (line.trimmed().toUpper() == "STLS") m_stlsOffered = true;
        }
    }
    QByteArray text = m_replyText;
    if (text.endsWith("\r\n")) text.chop(2);
    Q_EMIT DataRecieved(label, QString::fromUtf8(text), bytes);
    if (generation != m_generation) return;

    switch (cmd) {
    case Cmd::Capa:
        if (m_stlsOffered && !isEncrypted())
            send(Cmd::Stls, "STLS", QStringLiteral("STLS"));
        else
            sendUser();
        return;
    case Cmd::List:
        report(PopListReceived);
        return;
    case Cmd::Top:
        report(PopHeadersRetrieved);
        return;
    case Cmd::Retr:
        if (m_headerFromRetr) {
            m_headerFromRetr = false;
            report(PopHeadersRetrieved);
            return;
        }
        if (m_device && !m_errorText.isEmpty()) {
            report(PopCommandFailed);
            return;
        }
        report(PopMessageRetrieved);
        return;
    default:
        return;
    }
}

void PopClient::afterGreeting() {
    if (m_implicitTls || m_tlsMode == TlsMode::None) {
        sendUser();
    } else if (m_tlsMode == TlsMode::StartTlsRequired) {
        send(Cmd::Stls, "STLS", QStringLiteral("STLS"));
    } else {
        send(Cmd::Capa, "CAPA", QStringLiteral("CAPA"));
    }
}

void PopClient::sendUser() {
    if (!isEncrypted() && !m_transport->isLoopbackPeer() && !m_allowClearText) {
        failConnection(PopNotConnected,
                       tr("The server offers no encryption; the password is not sent in clear text."));
        return;
    }
    // A line break would end the command early and send the rest as commands of its own.
    if (hasLineBreak(m_userName)) {
        m_errorText = tr("The user name holds a line break; it was not sent.");
        report(PopUserRefused);
        return;
    }
    send(Cmd::User, "USER " + m_userName.toUtf8(), QStringLiteral("USER"));
}

int PopClient::failureCodeFor(Cmd cmd) const {
    switch (cmd) {
    case Cmd::Greeting:
    case Cmd::Capa:
    case Cmd::Stls:
        return PopNotConnected;
    case Cmd::User:
        return PopUserRefused;
    case Cmd::Pass:
        return PopPasswordRefused;
    case Cmd::Stat:
        return PopStatFailed;
    case Cmd::List:
        return PopListFailed;
    case Cmd::Top:
    case Cmd::Retr:
    case Cmd::Dele:
        return PopCommandFailed;
    case Cmd::Quit:
        return PopQuitFailed;
    case Cmd::None:
        break;
    }
    return m_handshaking ? PopNotConnected : 0;
}

// Ends the connection, reporting the outstanding command's failure code (code 0: none).
void PopClient::failConnection(int code, const QString& why) {
    if (m_errorText.isEmpty()) m_errorText = why;
    closeNow();
    const quint64 generation = m_generation;
    if (code) report(code);
    if (generation == m_generation) Q_EMIT Disconnected();
}

void PopClient::onDisconnected() {
    failConnection(failureCodeFor(m_cmd), tr("The server closed the connection."));
}

void PopClient::onTransportError(const QString& message, bool tls) {
    Q_UNUSED(tls);
    failConnection(failureCodeFor(m_cmd), message);
}

void PopClient::onTimer() {
    if ((m_cmd == Cmd::None && !m_handshaking) || !m_transport) return;
    const qint64 left = qint64(m_timeoutSeconds) * 1000 - m_sinceProgress.elapsed();
    if (left > 0) {
        m_timer.start(int(left));
        return;
    }
    failConnection(PopTimedOut, tr("The connection has timed out."));
}

void PopClient::closeNow() {
    detachTransport();
    ++m_generation;
    m_cmd = Cmd::None;
    m_handshaking = false;
    m_headerFromRetr = false;
    m_loggedIn = false;
    m_timer.stop();
    m_parser.reset();
}

void PopClient::detachTransport() {
    m_open = false;
    if (!m_transport) return;
    m_transport->disconnect(this);
    m_transport->abort();
    // We may be inside one of its signals.
    m_transport.release()->deleteLater();
}

bool PopClient::refusedMessageCommand(int n) {
    if (m_loggedIn && m_cmd == Cmd::None && n >= 1) return false;
    // Fails on the next turn of the event loop, as a reply from the server would.
    QMetaObject::invokeMethod(
        this,
        [this, g = QPointer<PopClient>(this)] {
            if (g) report(PopCommandFailed);
        },
        Qt::QueuedConnection);
    return true;
}

void PopClient::RetrieveHeader(int n) {
    if (refusedMessageCommand(n)) return;
    m_headerFromRetr = false;
    send(Cmd::Top, "TOP " + QByteArray::number(n) + " 0", QStringLiteral("TOP %1 0").arg(n), n);
}

void PopClient::RetrieveMessage(int n) {
    if (refusedMessageCommand(n)) return;
    m_headerFromRetr = false;
    m_errorText.clear();
    send(Cmd::Retr, "RETR " + QByteArray::number(n), QStringLiteral("RETR %1").arg(n), n);
}

void PopClient::RemoveMessage(int n) {
    if (refusedMessageCommand(n)) return;
    send(Cmd::Dele, "DELE " + QByteArray::number(n), QStringLiteral("DELE %1").arg(n), n);
}

void PopClient::Quit() {
    if (!m_transport || !m_open || m_cmd != Cmd::None || m_handshaking) {
        // Mid-exchange a QUIT would be read as part of the reply; drop the line instead.
        const bool wasOpen = m_transport != nullptr;
        closeNow();
        QMetaObject::invokeMethod(
            this,
            [this, wasOpen, g = QPointer<PopClient>(this)] {
                if (!g) return;
                report(PopQuitFailed);
                if (wasOpen && g) Q_EMIT Disconnected();
            },
            Qt::QueuedConnection);
        return;
    }
    send(Cmd::Quit, "QUIT", QStringLiteral("QUIT"));
}

void PopClient::Disconnect() {
    if (!m_transport) return;
    closeNow();
    Q_EMIT Disconnected();
}

} // namespace sendora::mail
