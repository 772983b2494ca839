#include "mailing/relay/SMTPSocket.h"

#include "core/AppContext.h"
#include "core/ErrorLog.h"
#include "import/AddressRules.h"
#include "mailing/SendMDBList.h"
#include "mailing/compose/MessageSource.h"

#include <cstring>

namespace sendora {

namespace {

constexpr int kStateClockMs = 50;
// GetNextAddr gives "" when a row cannot be read; this many in a row ends the list.
constexpr int kMaxUnreadableRows = 1000;

QString oneLine(QString text) {
    if (!text.contains(u'\r') && !text.contains(u'\n')) return text;
    text.replace(QLatin1String("\r\n"), QLatin1String(" "));
    text.replace(u'\r', u' ');
    text.replace(u'\n', u' ');
    return text;
}

} // namespace

SMTPSocket::SMTPSocket(AppContext& ctx, const MailEvent& options, SendMDBList& cursor,
                       MessageSource& messages, QObject* parent)
    : QObject(parent), m_ctx(ctx), m_options(options), m_cursor(cursor), m_messages(messages), m_log(ctx) {
    qRegisterMetaType<sendora::SMTPSocket::Mark>();
    m_tmrPauseMsgs.setSingleShot(true);
    m_tmrState.setInterval(kStateClockMs);
    connect(&m_tmrState, &QTimer::timeout, &m_socket, &mail::MailSocket::Poll);
    connect(&m_tmrPauseMsgs, &QTimer::timeout, this, [this] {
        m_delayDone = true;
        if (m_phase == Phase::Delaying) continueReady();
    });
    connect(&m_tmrPauseBlocks, &QTimer::timeout, this, [this] {
        if (++m_minutes >= m_options.TimeIncrement) {
            m_tmrPauseBlocks.stop();
            m_phase = Phase::Connecting;
            m_socket.Connect();
        }
    });

    connect(&m_socket, &mail::MailSocket::Connected, this, &SMTPSocket::onConnected);
    connect(&m_socket, &mail::MailSocket::Ready, this, &SMTPSocket::onReady);
    connect(&m_socket, &mail::MailSocket::SENDFrom, this, &SMTPSocket::onSendFrom);
    connect(&m_socket, &mail::MailSocket::SENDTo, this, &SMTPSocket::onSendTo);
    connect(&m_socket, &mail::MailSocket::SENDToArray, this, &SMTPSocket::onSendToArray);
    connect(&m_socket, &mail::MailSocket::SENDBody, this, &SMTPSocket::onSendBody);
    connect(&m_socket, &mail::MailSocket::SENT, this, &SMTPSocket::onSent);
    connect(&m_socket, &mail::MailSocket::SENTBlock, this, &SMTPSocket::onSentBlock);
    connect(&m_socket, &mail::MailSocket::MAILADDRRejected, this,
            [this](const QString& reply) { Q_EMIT ResultString(reply.mid(3)); });
    connect(&m_socket, &mail::MailSocket::Failure, this, [this](int, const QString& text) {
        m_lastFailure = text;
        Q_EMIT ResultString(text);
    });
    connect(&m_socket, &mail::MailSocket::Timeout, this, &SMTPSocket::TimeoutAndCleanup);
    connect(&m_socket, &mail::MailSocket::Disconnected, this, &SMTPSocket::onDisconnected);
    connect(&m_socket, &mail::MailSocket::DataRecieved, this, &SMTPSocket::onDataReceived);
    connect(&m_socket, &mail::MailSocket::State, this, &SMTPSocket::onState);
}

SMTPSocket::~SMTPSocket() {
    m_tmrState.stop();
    m_socket.disconnect(this);
    m_socket.Disconnect();
}

int SMTPSocket::sendEmailToList(const QString& sender, const QString& replyTo, const QString& server) {
    m_justPaused = false;
    m_taken = m_passed = m_failed = 0;
    m_stop = m_pause = m_aborted = m_finished = false;
    m_firstTaken = true;
    m_domains.clear();
    for (const QString& d : m_ctx.settings.domainsToCheck.split(u';', Qt::SkipEmptyParts))
        if (!d.trimmed().isEmpty()) m_domains << d.trimmed();
    m_recipientsPerMessage =
        m_ctx.settings.checkIfDomainWantsTextOnly ? 1 : std::max(1, m_ctx.settings.groupMailBlockSize);

    m_sender = sender.trimmed();
    m_server = server.trimmed();
    SendLogFacts& f = m_log.facts;
    f.group = m_cursor.Sendora;
    f.message = m_cursor.MsgName;
    f.list = m_cursor.AddrListName;
    f.deliveryOptions = m_cursor.MailOptionsName;
    f.server = m_server;
    if (port <= 0) port = m_ctx.settings.smtpPort;
    f.port = port;
    f.sender = m_sender;

    m_log.LogSend(QStringLiteral("P: Opening Addresslist..."), true, false);
    if (!m_cursor.InitMailingDBSupport()) {
        m_finished = m_aborted = true;
        m_phase = Phase::Finished;
        Q_EMIT MailOutComplete();
        return 0;
    }

    const QDateTime stamp = QDateTime::currentDateTime();
    f.start = stamp;
    m_dateMailed = mailingDateText(stamp);
    m_log.LogSend(QStringLiteral("P: constructing Header Information..."));
    auto refuse = [this](const QString& title, const QString& text) {
        m_ctx.ui->message(text, Buttons::OK, Icon::Exclamation, title);
        m_cursor.EndMailingDBSupport();
        m_stop = m_finished = m_aborted = true;
        m_phase = Phase::Finished;
        Q_EMIT MailOutComplete();
        return 0;
    };
    if (!IsValidEmailAddress(m_sender))
        return refuse(QStringLiteral("Invalid 'From' Address"),
                      QStringLiteral(
                          "The 'From:' address for this mailing is invalid. \r\n\r\nYou can correct this by "
                          "opening the Mail Delivery Options for this mailing and\nmodifying this address."));
    if (!replyTo.trimmed().isEmpty() && !IsValidEmailAddress(replyTo.trimmed()))
        return refuse(
            QStringLiteral("Invalid 'Reply To' Address"),
            QStringLiteral(
                "The 'ReplyTo:' address for this mailing is invalid\r\nYou can correct this by "
                "opening the Mail Delivery Options for this mailing and\r\nmodifying this address."));

    m_log.LogSend(QStringLiteral("P: Initializing the greeting manager..."));
    if (!m_messages.prepare(m_sender, replyTo.trimmed(), stamp,
                            [this](const QString& line) { m_log.LogSend(line); })) {
        m_cursor.EndMailingDBSupport();
        m_finished = m_aborted = true;
        m_phase = Phase::Finished;
        Q_EMIT MailOutComplete();
        return 0;
    }
    m_personalised = m_messages.personalised();
    f.messageSize = m_messages.messageSize();

    const QString portText = QString::number(port);
    m_log.LogSend(QStringLiteral("P: Attempting to connect to ") + m_server + QStringLiteral(" on port ") +
                  portText + QStringLiteral("..."));
    m_socket.setUserName(m_options.username);
    m_socket.setPassword(m_options.password);
    m_socket.setProtocol(0);
    m_socket.setPort(portText);
    m_socket.setHost(m_server);
    m_socket.setTimeout(commandTimeout);
    m_phase = Phase::Connecting;
    m_socket.Connect();
    m_tmrState.start();
    return 1;
}

void SMTPSocket::onConnected() {
    m_log.LogSend(QStringLiteral("P: Connected to ") + m_server + QStringLiteral(" on port ") +
                  QString::number(port) + QStringLiteral("..."));
    Q_EMIT ResultString(QStringLiteral("Connected"));
    const QString domain = m_sender.mid(m_sender.indexOf(u'@') + 1).trimmed();
    if (m_options.auth)
        m_socket.AuthHello(domain);
    else
        m_socket.Hello(domain);
}

void SMTPSocket::onReady() {
    if (m_finished) return;
    m_phase = Phase::Sending;
    if (m_stop) {
        Q_EMIT ResultString(QStringLiteral("Disconnecting"));
        m_socket.Disconnect();
        finish();
        return;
    }
    if (m_pause) {
        m_log.LogSend(QStringLiteral("P: Mailing is Paused... Sending Quit"));
        m_socket.Quit();
        m_log.LogSend(QStringLiteral("P: Pausing"));
        m_phase = Phase::Paused;
        return;
    }
    const qint32 blockSize = m_options.TimedBlockSize;
    if (m_options.bTimedBlocks && blockSize > 0 && m_taken > 0 && m_taken % blockSize == 0 && !m_justPaused) {
        m_log.LogSend(QStringLiteral("P: Mailing is pausing after the block of %1 was sent. Sending Quit.")
                          .arg(blockSize));
        m_socket.Quit();
        m_minutes = 0;
        m_justPaused = true;
        m_phase = Phase::BlockPause;
        m_tmrPauseBlocks.start(blockPauseTickMs);
        return;
    }
    m_justPaused = false;
    if (m_options.bInsertTimeDelay) {
        m_delayDone = false;
        m_phase = Phase::Delaying;
        m_tmrPauseMsgs.start(std::max(0, m_options.TimeDelay) * 100);
        return;
    }
    continueReady();
}

void SMTPSocket::continueReady() {
    m_phase = Phase::Sending;
    if (m_stop) { // stopped during the delay
        onReady();
        return;
    }
    Q_EMIT ResultString(QStringLiteral("Ready for send"));
    m_log.LogSend(QStringLiteral("P: Ready for Send"));
    sendNext();
}

QString SMTPSocket::takeNextAddress() {
    const QString a = m_firstTaken ? m_cursor.GetFirstAddr() : m_cursor.GetNextAddr();
    m_firstTaken = false;
    return a;
}

void SMTPSocket::takePersonal() {
    QString address;
    for (int unreadable = 0;;) {
        address = takeNextAddress().section(u' ', 0, 0);
        if (address == kEndOfList || IsValidEmailAddress(address)) break;
        // An unreadable row comes back empty; a list that keeps failing ends here.
        if (address.isEmpty() && ++unreadable >= kMaxUnreadableRows) {
            address = kEndOfList;
            break;
        }
        m_log.LogSend(QStringLiteral("P: Invalid email address ") + address);
        ++m_taken;
    }
    if (address == kEndOfList) {
        m_address = address;
        return;
    }
    ++m_taken;
    const QString name = m_messages.personalName(address);
    m_displayName = name.trimmed().isEmpty() ? address : name;
    m_address = m_ctx.settings.serverWantsBracket ? u'<' + address + u'>' : address;
}

void SMTPSocket::takeBlock() {
    m_block.clear();
    for (int i = 0; i < m_recipientsPerMessage; ++i) {
        takePersonal();
        if (m_address == kEndOfList) break;
        m_block.append({m_address, false});
    }
    if (m_block.isEmpty()) m_block.append({kEndOfList, false});
}

void SMTPSocket::sendNext() {
    if (m_personalised) {
        takePersonal();
        if (m_address.contains(kEndOfList))
            complete();
        else
            m_socket.SendMessage();
        return;
    }
    takeBlock();
    const QString first = m_block.first().address;
    if (first == QLatin1String("<*EOF*>") || first == kEndOfList)
        complete();
    else
        m_socket.SendMessageToArray();
}

void SMTPSocket::onSendFrom() {
    Q_EMIT ResultString(QStringLiteral("Sending From"));
    m_socket.SetFrom(m_ctx.settings.bracketOnFrom ? u'<' + m_sender + u'>' : m_sender);
}

void SMTPSocket::onSendTo() {
    Q_EMIT ResultString(QStringLiteral("Sending To Info"));
    m_socket.SetTo({m_address, false});
}

void SMTPSocket::onSendToArray() {
    Q_EMIT ResultString(QStringLiteral("Sending To List"));
    m_socket.SetToArray(m_block);
}

bool SMTPSocket::textOnlyDomain(const QString& address) const {
    if (!m_ctx.settings.checkIfDomainWantsTextOnly) return false;
    QString domain = address.mid(address.lastIndexOf(u'@') + 1);
    if (domain.endsWith(u'>')) domain.chop(1);
    return m_domains.contains(domain, Qt::CaseInsensitive);
}

void SMTPSocket::onSendBody() {
    Q_EMIT ResultString(QStringLiteral("Sending Message Body"));
    QByteArray body;
    try {
        if (m_personalised) {
            QString bare = m_address;
            if (bare.startsWith(u'<')) bare = bare.mid(1, bare.size() - 2);
            body = m_messages.personalMessage(bare, m_displayName);
        } else {
            QString first = m_block.first().address;
            if (first.startsWith(u'<')) first = first.mid(1, first.size() - 2);
            body = m_messages.groupMessage(m_cursor.GetGroupToAddress(), first);
        }
    } catch (const std::exception& e) {
        LogError(m_ctx, QStringLiteral("GetMsgBody in SMTPSocket module"), errorInfo(e), false);
    }
    if (body.isEmpty())
        m_log.LogSend(QStringLiteral("P: No list row for ") + m_address +
                      QStringLiteral("; the message is empty"));
    // memmem: QByteArray::contains costs more than the rest of the message's composition.
    if (::memmem(body.constData(), size_t(body.size()), "*EOF*", 5))
        LogError(m_ctx, QStringLiteral("GetMsgBody in SMTPSocket -- *EOF* in message being sent out"), {},
                 false);
    m_socket.SetBodyData(body);
}

void SMTPSocket::mark(const mail::Recipient& r) {
    if (m_options.bFlagSends && r.delivered) m_cursor.UpdateSuccessfulSentFlag(r.address);
}

void SMTPSocket::onSent(const mail::Recipient& r) {
    mark(r);
    if (r.delivered) {
        ++m_passed;
        Q_EMIT AddMailed(QStringLiteral("To: ") + r.address, Mark::Ok);
    } else {
        ++m_failed;
        Q_EMIT AddMailed(QStringLiteral("To: ") + r.address, Mark::Fail);
    }
    Q_EMIT CounterUpdate(m_passed, m_failed);
}

void SMTPSocket::onSentBlock(const mail::RecipientList& list) {
    for (const mail::Recipient& r : list) {
        mark(r);
        if (r.delivered)
            ++m_passed;
        else
            ++m_failed;
        Q_EMIT AddMailed(QStringLiteral("To: ") + r.address, r.delivered ? Mark::Ok : Mark::Fail);
    }
    Q_EMIT CounterUpdate(m_passed, m_failed);
}

void SMTPSocket::onDataReceived(const QString& command, const QString& reply, int) {
    QString c = command;
    if (c == QLatin1String("\r\n.\r\n"))
        c = QStringLiteral("<CrLf>.<CrLf>");
    else if (c == QLatin1String("USER"))
        c = QStringLiteral("USER [Sending username, ") + m_options.username + u']';
    else if (c == QLatin1String("PASS"))
        c = QStringLiteral("PASS [Sending password, ********]");
    m_log.LogSend(QStringLiteral("C: ") + oneLine(c));
    m_log.LogSend(QStringLiteral("S: ") + oneLine(reply));
}

void SMTPSocket::onState(int state) {
    if (state == mail::StateError)
        Q_EMIT sckState(m_socket.LastData() == QLatin1String("CNCT")
                            ? QStringLiteral("Error connecting to ") + m_server
                            : QStringLiteral("Error"));
    else
        Q_EMIT sckState(mail::socketStateText(state));
    if (state == mail::StateClosing && !m_pause && !m_stop && !m_justPaused && !m_socket.IsOpen())
        peerClosed();
}

void SMTPSocket::onDisconnected() {
    Q_EMIT ResultString(QStringLiteral("Disconnected"));
    // A connection that ends while the mailing still expects it (refused, dropped) ends the mailing.
    if (!m_pause && !m_stop && !m_justPaused && (m_phase == Phase::Connecting || m_phase == Phase::Sending))
        peerClosed();
}

void SMTPSocket::peerClosed() {
    if (m_finished) return;
    m_log.LogSend(QStringLiteral("P: Peer closing connection"));
    AbortCleanup();
    Q_EMIT AddMailed(QStringLiteral("Reason: ") + m_lastFailure, Mark::None);
}

void SMTPSocket::complete() {
    m_log.facts.end = QDateTime::currentDateTime();
    m_log.facts.taken = m_taken;
    m_log.facts.passed = m_passed;
    m_log.facts.failed = m_failed;
    m_finished = true;
    m_phase = Phase::Finished;
    Q_EMIT MessageSent(m_passed);
    Q_EMIT MailOutComplete();
    m_cursor.EndMailingDBSupport();
    Q_EMIT AddMailed(QStringLiteral("Mailing Complete. Send QUIT to Server."), Mark::Ok);
    m_log.LogSend(QStringLiteral("P: Mailing Complete...Sending QUIT"), false, true);
    m_socket.Quit();
    m_stop = true;
    m_tmrState.stop();
}

void SMTPSocket::AbortCleanup() {
    if (m_finished) return;
    m_finished = true;
    m_aborted = true;
    m_phase = Phase::Finished;
    m_tmrPauseBlocks.stop();
    m_tmrPauseMsgs.stop();
    Q_EMIT AddMailed(QStringLiteral("***** MAILING ABORTED *****"), Mark::None);
    m_log.facts.end = QDateTime::currentDateTime();
    m_log.facts.taken = m_taken;
    m_log.facts.passed = m_passed;
    m_log.facts.failed = m_failed;
    m_log.LogSend(QStringLiteral("P: Mailing Aborted...Sending Quit"), false, true);
    m_socket.Quit();
    m_cursor.EndMailingDBSupport();
    m_stop = true;
    m_tmrState.stop();
    Q_EMIT MailOutComplete();
}

void SMTPSocket::finish() {
    if (m_finished) return;
    m_finished = true;
    m_aborted = true;
    m_phase = Phase::Finished;
    m_tmrState.stop();
    m_cursor.EndMailingDBSupport();
    Q_EMIT MailOutComplete();
}

void SMTPSocket::TimeoutAndCleanup(int seconds) {
    m_log.LogSend(QStringLiteral("P: Server Timeout."));
    m_log.LogSend(QStringLiteral("P: Last data transmitted : ") + m_socket.LastData());
    const QStringList lines = {
        QStringLiteral("There has not been a response from your server in %1 seconds.").arg(seconds),
        QStringLiteral("Press the OK button to continue or press the Cancel button"),
        QStringLiteral("to cancel this mailing."),
        QString(),
        QStringLiteral("This situation could be caused by:"),
        QStringLiteral("1) A lost network or modem connection"),
        QStringLiteral("2) An unfinished or incorrect exchange between Sendora and the mail server"),
        QStringLiteral(
            "3) Having reached the limit of the mail server's message capacity or your mail quota"),
        QString(),
        QStringLiteral("Note that if your mailing Delivery Options have been set to record which messages "),
        QStringLiteral(
            "have been sent, you can then resume this mailing, where it stopped, at a later time."),
        QStringLiteral("If the mail server is reaching its capacity, modify the Delivery Options to send "),
        QStringLiteral("your mail in smaller blocks at timed intervals."),
    };
    const Answer a = m_ctx.ui->message(lines.join(QStringLiteral("\r\n")), Buttons::OKCancel,
                                       Icon::Information, QStringLiteral("No response from Mail Server"));
    if (a == Answer::Cancel) {
        AbortCleanup();
        Q_EMIT AddMailed(QStringLiteral("Server timed out."), Mark::None);
    }
    m_socket.ContinueAfterTimeout();
}

void SMTPSocket::setPause(bool pause) {
    if (m_pause == pause) return;
    m_pause = pause;
    if (!pause && m_phase == Phase::Paused && !m_stop) {
        m_log.LogSend(QStringLiteral("P: Resuming"));
        m_phase = Phase::Connecting;
        m_socket.Connect();
    }
}

void SMTPSocket::setStop() {
    if (m_stop) return;
    m_stop = true;
    switch (m_phase) {
    case Phase::Paused:
    case Phase::BlockPause:
        m_log.LogSend(QStringLiteral("P: Stopping"));
        AbortCleanup();
        break;
    case Phase::Delaying:
        m_tmrPauseMsgs.stop();
        onReady();
        break;
    default:
        break; // the next Ready disconnects
    }
}

} // namespace sendora
