#include "mailing/relay/SMTPSocket.h"

#include "core/AppContext.h"
#include "core/ErrorLog.h"
#include "import/AddressRules.h"
#include "mailing/SendMDBList.h"
#include "mailing/compose/MessageSource.h"

#include <QDir>
#include <QFile>
#include <cstring>

namespace sendora {

namespace {

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
    connect(&m_tmrPauseMsgs, &QTimer::timeout, this, [this] {
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
    connect(&m_socket, &mail::MailSocket::RecipientRefused, this,
            [this](const QString&, const QString& text) { m_log.LogSend(QStringLiteral("P: ") + text); });
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
    m_socket.disconnect(this);
    m_socket.Disconnect();
}

int SMTPSocket::sendEmailToList(const QString& sender, const QString& replyTo, const QString& server) {
    m_justPaused = false;
    m_taken = m_passed = m_failed = 0;
    m_stop = m_pause = m_aborted = m_finished = false;
    m_connecting = m_resultsStored = m_storageFailed = false;
    m_timeoutsContinued = 0;
    m_failureText.clear();
    m_senderRefused.clear();
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

    // Refusals here (the list is being sent, a file cannot be written) leave the send log
    // alone: another mailing may be writing its section into it.
    if (!m_cursor.prepareSend()) {
        m_storageFailed = !m_cursor.writeFailure().isEmpty();
        m_failureText = m_cursor.writeFailure();
        m_finished = m_aborted = true;
        m_phase = Phase::Finished;
        Q_EMIT MailOutComplete();
        return 0;
    }
    {
        const QString logFile = m_ctx.paths.app + QStringLiteral("sendlog.log");
        QFile probe(logFile);
        if (!probe.open(QIODevice::Append)) {
            m_cursor.EndMailingDBSupport();
            return refuseBeforeConnecting(logFile, probe.errorString());
        }
    }

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
    m_connecting = true;
    m_socket.Connect();
    return 1;
}

bool SMTPSocket::refuseBeforeConnecting(const QString& file, const QString& reason) {
    m_failureText =
        QStringLiteral("Sendora cannot write to %1: %2").arg(QDir::toNativeSeparators(file), reason);
    m_ctx.ui->message(QStringLiteral("The mailing cannot start: Sendora cannot write to\r\n%1\r\n\r\n%2")
                          .arg(QDir::toNativeSeparators(file), reason),
                      Buttons::OK, Icon::Exclamation, QStringLiteral("Mailing Not Started"));
    m_storageFailed = m_finished = m_aborted = true;
    m_phase = Phase::Finished;
    Q_EMIT MailOutComplete();
    return false;
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
    for (;;) {
        address = takeNextAddress().section(u' ', 0, 0);
        if (address == kEndOfList || IsValidEmailAddress(address)) break;
        // The recipients can no longer be read: nothing more can be taken.
        if (address.isEmpty() && m_cursor.readFailed()) {
            m_address.clear();
            return;
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
        if (m_address == kEndOfList || m_cursor.readFailed()) break;
        m_block.append({m_address, false});
    }
    if (m_block.isEmpty()) m_block.append({kEndOfList, false});
}

void SMTPSocket::sendNext() {
    if (m_personalised) {
        takePersonal();
        if (m_cursor.readFailed()) {
            fail(m_cursor.readFailure(), QStringLiteral("Mailing Aborted"), true);
            return;
        }
        if (m_address.contains(kEndOfList))
            complete();
        else
            m_socket.SendMessage();
        return;
    }
    takeBlock();
    if (m_cursor.readFailed()) {
        fail(m_cursor.readFailure(), QStringLiteral("Mailing Aborted"), true);
        return;
    }
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

bool SMTPSocket::mark(const mail::Recipient& r) {
    return !m_options.bFlagSends || !r.delivered || m_cursor.UpdateSuccessfulSentFlag(r.address);
}

void SMTPSocket::onSent(const mail::Recipient& r) {
    if (!m_senderRefused.isEmpty()) {
        // About the sender, not this recipient: no one is counted as refused.
        fail(QStringLiteral("The mail server refused the sender address %1: %2")
                 .arg(m_sender, m_senderRefused),
             QStringLiteral("Sender Refused"), false);
        return;
    }
    const bool recorded = mark(r);
    if (r.delivered) {
        m_timeoutsContinued = 0;
        ++m_passed;
        Q_EMIT AddMailed(QStringLiteral("To: ") + r.address, Mark::Ok);
    } else {
        ++m_failed;
        Q_EMIT AddMailed(QStringLiteral("To: ") + r.address, Mark::Fail);
    }
    Q_EMIT CounterUpdate(m_passed, m_failed);
    if (!recorded) fail(m_cursor.writeFailure(), QStringLiteral("Mailing Aborted"), true);
}

void SMTPSocket::onSentBlock(const mail::RecipientList& list) {
    if (!m_senderRefused.isEmpty()) {
        fail(QStringLiteral("The mail server refused the sender address %1: %2")
                 .arg(m_sender, m_senderRefused),
             QStringLiteral("Sender Refused"), false);
        return;
    }
    // One message went to the whole block: flags stop at the first that cannot be written.
    bool recorded = true;
    for (const mail::Recipient& r : list) {
        if (recorded) recorded = mark(r);
        if (r.delivered) m_timeoutsContinued = 0;
        if (r.delivered)
            ++m_passed;
        else
            ++m_failed;
        Q_EMIT AddMailed(QStringLiteral("To: ") + r.address, r.delivered ? Mark::Ok : Mark::Fail);
    }
    Q_EMIT CounterUpdate(m_passed, m_failed);
    if (!recorded) fail(m_cursor.writeFailure(), QStringLiteral("Mailing Aborted"), true);
}

void SMTPSocket::onDataReceived(const QString& command, const QString& reply, int code) {
    // A permanent refusal of MAIL FROM, or "authentication required" at any step, holds for
    // every recipient alike.
    if ((command.startsWith(QLatin1String("MAIL FROM")) && code >= 500) || code == 530)
        if (m_senderRefused.isEmpty()) m_senderRefused = oneLine(reply);
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

void SMTPSocket::takeFacts() {
    m_log.facts.end = QDateTime::currentDateTime();
    m_log.facts.taken = m_taken;
    m_log.facts.passed = m_passed;
    m_log.facts.failed = m_failed;
}

bool SMTPSocket::storeFigures() {
    if (!storeResults || !m_connecting || m_resultsStored) return true;
    m_resultsStored = true;
    const QString failure = storeResults();
    if (failure.isEmpty()) return true;
    m_storageFailed = true;
    m_failureText = failure;
    m_log.LogSend(QStringLiteral("P: ") + failure);
    Q_EMIT AddMailed(failure, Mark::None);
    m_ctx.ui->message(failure, Buttons::OK, Icon::Exclamation, QStringLiteral("Mailing Results Not Stored"));
    return false;
}

void SMTPSocket::fail(const QString& text, const QString& title, bool storage) {
    if (m_finished) return;
    if (storage) m_storageFailed = true;
    m_failureText = text;
    m_log.LogSend(QStringLiteral("P: ") + text);
    Q_EMIT AddMailed(text, Mark::None);
    m_ctx.ui->message(text + QStringLiteral("\r\n\r\nThe mailing was stopped."), Buttons::OK,
                      Icon::Exclamation, title);
    AbortCleanup();
}

void SMTPSocket::complete() {
    takeFacts();
    // Counts that cannot be stored make this an aborted mailing, whatever went out.
    if (!storeFigures()) {
        AbortCleanup();
        return;
    }
    m_finished = true;
    m_phase = Phase::Finished;
    Q_EMIT MessageSent(m_passed);
    Q_EMIT MailOutComplete();
    m_cursor.EndMailingDBSupport();
    Q_EMIT AddMailed(QStringLiteral("Mailing Complete. Send QUIT to Server."), Mark::Ok);
    m_log.LogSend(QStringLiteral("P: Mailing Complete...Sending QUIT"), false, true);
    m_socket.Quit();
    m_stop = true;
}

void SMTPSocket::endAborted(bool showRow, bool quit) {
    if (m_finished) return;
    m_finished = true;
    m_aborted = true;
    m_phase = Phase::Finished;
    m_tmrPauseBlocks.stop();
    m_tmrPauseMsgs.stop();
    if (showRow) Q_EMIT AddMailed(QStringLiteral("***** MAILING ABORTED *****"), Mark::None);
    takeFacts();
    storeFigures();
    m_log.LogSend(QStringLiteral("P: Mailing Aborted...Sending Quit"), false, true);
    if (quit) m_socket.Quit();
    m_cursor.EndMailingDBSupport();
    m_stop = true;
    Q_EMIT MailOutComplete();
}

void SMTPSocket::AbortCleanup() {
    endAborted(true, true);
}

void SMTPSocket::finish() {
    // Stop reached at a Ready: nothing is in flight.
    if (m_finished) return;
    m_log.LogSend(QStringLiteral("P: Stopping"));
    m_socket.Disconnect();
    endAborted(false, false);
    // Statistics are for a mailing that took addresses; a stop before the first shows none.
    if (m_taken == 0) m_log.facts.end = {};
}

void SMTPSocket::abandon() {
    if (m_finished || !m_connecting) return;
    m_stop = true;
    m_log.LogSend(QStringLiteral("P: Stopping"));
    AbortCleanup();
}

void SMTPSocket::TimeoutAndCleanup(int seconds) {
    if (m_finished) { // the mailing already ended; only the closing exchange is left
        m_socket.ContinueAfterTimeout();
        return;
    }
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
    // Without a person to ask, a server that keeps not answering ends the mailing as Stop would.
    if (timeoutContinueLimit >= 0 && m_timeoutsContinued >= timeoutContinueLimit) {
        m_log.LogSend(QStringLiteral("P: No response after %1 waits of %2 seconds; stopping the mailing.")
                          .arg(m_timeoutsContinued + 1)
                          .arg(seconds));
        AbortCleanup();
        Q_EMIT AddMailed(QStringLiteral("Server timed out."), Mark::None);
        m_socket.ContinueAfterTimeout();
        return;
    }
    const Answer a = m_ctx.ui->message(lines.join(QStringLiteral("\r\n")), Buttons::OKCancel,
                                       Icon::Information, QStringLiteral("No response from Mail Server"));
    if (a != Answer::Cancel) ++m_timeoutsContinued;
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
