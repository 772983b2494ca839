#pragma once
// The mail socket: one object per SMTP server connection. The POP3 side is PopClient, on the
// same transport.
//
// The caller sets the properties, calls Connect and answers the events, in the names the
// rest of the application was written against. Inside it is an event-driven client: it
// reacts to socket readiness, never to a polling clock; speaks ESMTP with HELO fallback, STARTTLS or
// implicit TLS, AUTH LOGIN/PLAIN only under TLS or to a loopback server, and pipelines
// MAIL/RCPT/DATA when the server offers PIPELINING.
//
// One message: SendMessage (or SendMessageToArray) -> SENDFrom, SENDTo (SENDToArray),
// SENDBody, each answered by the matching Set* call, at once or later -> SENT (SENTBlock)
// with each recipient's outcome -> Ready.

#include "MailTransport.h"
#include "SmtpProtocol.h"
#include "SmtpReplyParser.h"

#include <QElapsedTimer>
#include <QMetaType>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <deque>
#include <functional>
#include <memory>

namespace sendora::mail {

struct Recipient {
    QString address;
    bool delivered = false;
};
using RecipientList = QList<Recipient>;

enum class Protocol { Smtp = 0, Pop3 = 1 };

enum class TlsMode { None, StartTlsIfOffered, StartTlsRequired, ImplicitTls };

// The values of State(s).
enum SocketState {
    StateClosed = 0,
    StateOpen = 1,
    StateListening = 2,
    StateConnectionPending = 3,
    StateResolvingHost = 4,
    StateHostResolved = 5,
    StateConnecting = 6,
    StateConnected = 7,
    StateClosing = 8,
    StateError = 9,
};
QString socketStateText(int state);

// Failure(code, text) codes that are not server reply codes (those are 400..599).
enum FailureCode {
    FailConnection = 1,
    FailTls = 2,
    FailProtocol = 3,
    FailAuthNeedsTls = 4,
    FailNotSupported = 5,
    FailConnectionLost = 6,
};

using TransportFactory = std::function<std::unique_ptr<MailTransport>()>;

class MailSocket : public QObject {
    Q_OBJECT
public:
    explicit MailSocket(QObject* parent = nullptr);
    ~MailSocket() override;

    // Properties, read at Connect.
    void setUserName(const QString& name) { m_userName = name; }
    QString userName() const { return m_userName; }
    void setPassword(const QString& password) { m_password = password; }
    QString password() const { return m_password; }
    void setProtocol(int protocol) { m_protocol = protocol == 1 ? Protocol::Pop3 : Protocol::Smtp; }
    int protocol() const { return int(m_protocol); }
    void setPort(const QString& port) { m_port = port; }
    QString port() const { return m_port; }
    void setHost(const QString& host) { m_host = host; }
    QString host() const { return m_host; }
    void setTimeout(int seconds) { m_timeoutSeconds = seconds > 0 ? seconds : 30; }
    int timeout() const { return m_timeoutSeconds; }
    // Port 465 means implicit TLS whatever the mode says.
    void setTlsMode(TlsMode mode) { m_tlsMode = mode; }
    TlsMode tlsMode() const { return m_tlsMode; }
    void setVerifyPeer(bool verify) { m_tls.verifyPeer = verify; }
    bool verifyPeer() const { return m_tls.verifyPeer; }
    void addTrustedCertificate(const QSslCertificate& certificate) {
        m_tls.trustedCertificates.append(certificate);
    }
    // Off forces lockstep even when the server offers PIPELINING.
    void setPipeliningAllowed(bool allowed) { m_pipeliningAllowed = allowed; }
    bool pipeliningAllowed() const { return m_pipeliningAllowed; }
    void setTransportFactory(TransportFactory factory);

    // What the current connection negotiated.
    const smtp::Extensions& serverExtensions() const { return m_ext; }
    bool isPipelining() const { return m_pipeliningAllowed && m_ext.pipelining; }
    bool isEncrypted() const;
    bool isAuthenticated() const { return m_authenticated; }

    void Connect();
    void Hello(const QString& domain);
    void AuthHello(const QString& domain);
    void SendMessage();
    void SendMessageToArray();
    void SetFrom(const QString& from);
    void SetTo(const sendora::mail::Recipient& recipient);
    void SetToArray(const sendora::mail::RecipientList& recipients);
    void SetBody(const QString& body);
    // Message data already in its outgoing character set.
    void SetBodyData(const QByteArray& body);
    // QUIT, then close when the server answers. Never reports synchronously.
    void Quit();
    // Close at once.
    void Disconnect();
    QString LastData() const { return m_lastData; }
    bool IsOpen() const;
    void ContinueAfterTimeout();

Q_SIGNALS:
    void Connected();
    void Ready();
    void SENDFrom();
    void SENDTo();
    void SENDToArray();
    void SENDBody();
    void SENT(sendora::mail::Recipient recipient);
    void SENTBlock(sendora::mail::RecipientList recipients);
    void MAILADDRRejected(const QString& replyLine);
    // A recipient that never reached RCPT TO (the address is unusable, or the message holds
    // a line too long to send); text says which and why, with control characters escaped.
    // Its SENT / SENTBlock entry follows with delivered = false.
    void RecipientRefused(const QString& address, const QString& text);
    void Failure(int code, const QString& text);
    void Timeout(int seconds);
    void Disconnected();
    // One per reply: the command it answers (labels "CNCT" for the greeting, "USER" and
    // "PASS" for the credential steps, CRLF "." CRLF for the end of data), the reply with
    // its lines joined by CRLF, and the reply code.
    void DataRecieved(const QString& command, const QString& reply, int code);
    void State(int state);

private:
    enum class Phase {
        Closed,
        Connecting,
        Greeting,
        Greeted,
        Hello,
        StartTls,
        TlsHandshake,
        Auth,
        Idle,
        Gathering,
        Transaction,
        Quitting
    };
    enum class Cmd : quint8 {
        Greeting,
        Ehlo,
        Helo,
        StartTls,
        AuthLogin,
        AuthUser,
        AuthPass,
        AuthPlain,
        AuthPlainCredentials,
        Mail,
        Rcpt,
        Data,
        EndOfData,
        Rset,
        Quit
    };
    struct Pending {
        Cmd cmd;
        int index;
        QString label;
    };
    // The message being sent.
    struct Transaction {
        bool block = false;
        bool haveFrom = false, haveTo = false, haveBody = false;
        bool askedFrom = false, askedTo = false, askedBody = false;
        bool written = false; // MAIL FROM went out
        bool mailAccepted = false;
        bool reported = false; // SENT / SENTBlock emitted
        int rcptReplies = 0;
        QString from;
        RecipientList recipients; // delivered doubles as "RCPT accepted" until the end
        QList<int> rcpt;          // indexes of the recipients that go into RCPT TO
        QStringList refusals;     // {address, text} pairs for RecipientRefused
        QByteArray content;       // framed DATA content, reused across messages
        bool eightBit = false;
    };
    // Detects a handler that closed or destroyed the socket while an event was out.
    struct Guard {
        QPointer<MailSocket> self;
        quint64 generation;
        bool lost() const { return !self || self->m_generation != generation; }
    };
    Guard guard() { return Guard{this, m_generation}; }

    // Connection (MailSocket.cpp)
    void onHostFound();
    void onConnected();
    void onEncrypted();
    void onReadyRead();
    void onDisconnected();
    void onTransportError(const QString& message, bool tls);
    void onTimer();
    void queueCommand(Cmd cmd, QByteArrayView line, const QString& label, int index = -1);
    void flush();
    void armTimeout();
    bool awaitingServer() const;
    void detachTransport();
    void closeAndReport();
    void failAndClose(int code, const QString& text);
    void failAndQuit(int code, const QString& text);

    // SMTP dialogue (SmtpDialogue.cpp)
    void startHello(const QString& domain, bool auth);
    void handleReply(const SmtpReply& reply);
    void afterHello();
    void startAuth();
    void becomeReady();
    void startMessage(bool block);
    void gather();
    void writeTransaction();
    void queueRcpt(int position);
    void screenRecipients();
    void refuseAll(const QString& reason);
    bool anyAccepted() const;
    void onMailReply(const SmtpReply& reply);
    void onRcptReply(const SmtpReply& reply, int position);
    void onDataReply(const SmtpReply& reply);
    void onEndOfDataReply(const SmtpReply& reply);
    void finishTransaction(bool sendRset);
    void failOpenTransaction();
    void reportOutcome();

    QString m_userName, m_password, m_port, m_host;
    Protocol m_protocol = Protocol::Smtp;
    int m_timeoutSeconds = 30;
    TlsMode m_tlsMode = TlsMode::None;
    TlsSettings m_tls;
    bool m_pipeliningAllowed = true;
    TransportFactory m_factory;

    std::unique_ptr<MailTransport> m_transport;
    bool m_implicitTls = false;
    bool m_open = false;
    quint64 m_generation = 0;
    Phase m_phase = Phase::Closed;
    SmtpReplyParser m_parser;
    std::deque<Pending> m_pending;
    QByteArray m_out;
    QString m_lastData;
    QByteArray m_heloDomain;
    bool m_inGather = false;
    bool m_wantAuth = false;
    bool m_authenticated = false;
    smtp::Extensions m_ext;
    Transaction m_txn;

    QTimer m_timer;
    QElapsedTimer m_sinceProgress;
    bool m_timeoutRaised = false;
};

} // namespace sendora::mail

Q_DECLARE_METATYPE(sendora::mail::Recipient)
Q_DECLARE_METATYPE(sendora::mail::RecipientList)
