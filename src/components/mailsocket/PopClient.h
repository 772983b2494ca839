#pragma once
// The POP3 side of the mail socket: one object per mailbox connection, on the same
// transport (QSslSocket, or a scripted FakeTransport in tests) as the SMTP side.
//
// Connect performs the whole login by itself: greeting, STLS when wanted, USER, PASS,
// STAT and LIST, reporting each step by POPStatus code. After code 5 the mailbox is open:
// MessageCount, RetrieveHeader / HeaderText, RetrieveMessage / FetchedText, RemoveMessage,
// Quit. One command at a time; a call while another is outstanding is refused with code 4.
//
// Every exchange is reported by DataRecieved(command, reply, byteCount). The credential
// steps are labelled "USER" and "PASS"; neither the user name nor the password appears in
// anything this class emits. The password only goes over TLS or to a loopback server
// unless setAllowClearText(true).
//
// Every wait is bounded by the timeout: a server silent for that long ends the connection
// with code 27. A connection that drops or fails reports the failure code of the command
// that was outstanding (if it has one), then Disconnected; IsOpen is false from then on.

#include "MailSocket.h"
#include "MailTransport.h"
#include "PopReply.h"

#include <QElapsedTimer>
#include <QIODevice>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <memory>

namespace sendora::mail {

// The codes of POPStatus.
enum PopStatusCode {
    PopConnected = 1,
    PopNotConnected = 2,
    PopCommandOk = 3,
    PopCommandFailed = 4,
    PopListReceived = 5,
    PopListFailed = 7,
    PopPasswordOk = 10,
    PopPasswordRefused = 11,
    PopQuitOk = 12,
    PopQuitFailed = 13,
    PopMessageRetrieved = 14,
    PopStatReceived = 19,
    PopStatFailed = 20,
    PopHeadersRetrieved = 21,
    PopUserOk = 24,
    PopUserRefused = 25,
    PopTimedOut = 27,
};

class PopClient : public QObject {
    Q_OBJECT
public:
    explicit PopClient(QObject* parent = nullptr);
    ~PopClient() override;

    // Properties, read at Connect.
    void setHost(const QString& host) { m_host = host; }
    QString host() const { return m_host; }
    // Text form; empty or invalid means 110 (995 with implicit TLS). Port 995 means implicit TLS.
    void setPort(const QString& port) { m_port = port; }
    QString port() const { return m_port; }
    void setUserName(const QString& name) { m_userName = name; }
    QString userName() const { return m_userName; }
    void setPassword(const QString& password) { m_password = password; }
    void setTimeout(int seconds) { m_timeoutSeconds = seconds > 0 ? seconds : 30; }
    int timeout() const { return m_timeoutSeconds; }
    // None: plain POP3. StartTlsIfOffered: asks CAPA and uses STLS when listed.
    // StartTlsRequired: STLS or no login. ImplicitTls: TLS from the first byte (port 995).
    void setTlsMode(TlsMode mode) { m_tlsMode = mode; }
    TlsMode tlsMode() const { return m_tlsMode; }
    void setVerifyPeer(bool verify) { m_tls.verifyPeer = verify; }
    void addTrustedCertificate(const QSslCertificate& certificate) {
        m_tls.trustedCertificates.append(certificate);
    }
    // Lets the password travel unencrypted to a server that is not on this machine.
    void setAllowClearText(bool allow) { m_allowClearText = allow; }
    bool allowClearText() const { return m_allowClearText; }
    void setTransportFactory(TransportFactory factory);
    // When set, RetrieveMessage writes the (unstuffed, CRLF) message to this device as it
    // arrives instead of keeping it, so FetchedText stays empty. The device must be open.
    void setMessageDevice(QIODevice* device) { m_device = device; }
    // Above this many bytes a header (TOP) or a kept message (no device) is cut off; the rest
    // of the reply is read and dropped. Defaults: 1 MB of header, 512 MB of message.
    void setHeaderLimit(qint64 bytes) { m_headerLimit = bytes; }
    void setMessageLimit(qint64 bytes) { m_messageLimit = bytes; }

    void Connect();
    // After code 5: the mailbox as STAT reported it.
    int MessageCount() const { return m_messageCount; }
    qint64 MailboxSize() const { return m_mailboxSize; }
    // Size of message n (1-based) from LIST; -1 when unknown.
    qint64 MessageSize(int n) const;
    // TOP n 0 (RETR when the server refuses TOP) -> code 21, or 4 when refused.
    void RetrieveHeader(int n);
    // The header block of the last RetrieveHeader, up to and including its empty line.
    QString HeaderText() const;
    QByteArray headerData() const { return m_header; }
    // RETR n -> code 14, or 4 when refused.
    void RetrieveMessage(int n);
    QString FetchedText() const;
    QByteArray fetchedData() const { return m_fetched; }
    // Bytes of the last message as delivered (also when written to the device).
    qint64 fetchedSize() const { return m_fetchedSize; }
    // True when the last header or message was cut at its limit.
    bool wasTruncated() const { return m_truncated; }
    // DELE n -> code 3, or 4 when refused.
    void RemoveMessage(int n);
    // QUIT -> code 12 and the connection closes (the server deletes the marked messages);
    // 13 when QUIT was refused or the connection was gone already.
    void Quit();
    // Close at once; messages marked for deletion stay on the server.
    void Disconnect();
    bool IsOpen() const { return m_open; }
    bool isEncrypted() const;
    // Text of the last command sent ("CNCT" while connecting, "USER"/"PASS" for the credentials).
    QString LastData() const { return m_lastData; }
    // Why the last failure happened, for the user (empty when the server just said -ERR).
    QString errorText() const { return m_errorText; }

Q_SIGNALS:
    void POPStatus(int code);
    // command: the command sent ("CNCT" for the greeting); reply: the status line, for LIST
    // and CAPA the whole reply joined by CRLF, for TOP and RETR only the status line;
    // byteCount: bytes of the reply as received.
    void DataRecieved(const QString& command, const QString& reply, qint64 byteCount);
    void Disconnected();

private:
    enum class Cmd : quint8 { None, Greeting, Capa, Stls, User, Pass, Stat, List, Top, Retr, Dele, Quit };

    void onConnected();
    void onEncrypted();
    void onReadyRead();
    void onDisconnected();
    void onTransportError(const QString& message, bool tls);
    void onTimer();
    void send(Cmd cmd, const QByteArray& line, const QString& label, int number = 0);
    void handleStatus(const PopStatusLine& status);
    void handleBody(QByteArray& chunk);
    void handleEnd();
    void finishExchange(bool ok);
    void afterGreeting();
    void sendUser();
    void failConnection(int code, const QString& why);
    void closeNow();
    void report(int code);
    void detachTransport();
    // TOP, RETR and DELE need a login, no command under way and a message number from 1.
    bool refusedMessageCommand(int n);
    int failureCodeFor(Cmd cmd) const;

    QString m_host, m_port, m_userName, m_password;
    int m_timeoutSeconds = 30;
    TlsMode m_tlsMode = TlsMode::StartTlsIfOffered;
    TlsSettings m_tls;
    bool m_allowClearText = false;
    TransportFactory m_factory;
    QPointer<QIODevice> m_device;
    qint64 m_headerLimit = 1 << 20;
    qint64 m_messageLimit = qint64(512) << 20;

    std::unique_ptr<MailTransport> m_transport;
    PopReplyParser m_parser;
    bool m_implicitTls = false;
    bool m_open = false;
    bool m_loggedIn = false;
    bool m_handshaking = false;
    quint64 m_generation = 0;
    Cmd m_cmd = Cmd::None;
    int m_cmdNumber = 0;
    QString m_cmdLabel;
    QByteArray m_replyText; // status line (plus lines for LIST/CAPA)
    qint64 m_replyBytes = 0;
    bool m_headerFromRetr = false;
    bool m_headerDone = false;
    bool m_stlsOffered = false;
    int m_messageCount = 0;
    qint64 m_mailboxSize = 0;
    QList<qint64> m_sizes;
    QByteArray m_header, m_fetched;
    qint64 m_fetchedSize = 0;
    bool m_truncated = false;
    QString m_lastData, m_errorText;

    QTimer m_timer;
    QElapsedTimer m_sinceProgress;
};

} // namespace sendora::mail
