#include "pop/ProcessEMail.h"

#include "core/AppContext.h"
#include "core/ErrorLog.h"
#include "pop/ReturnedMail.h"

#include <QMetaObject>

namespace sendora::pop {

namespace {

// A returned message is read for its report and the copy's first lines; the rest of a very
// large one is dropped as it arrives.
constexpr qint64 kKeptMessageBytes = qint64(8) << 20;

// Server text in the log stays one line per line and shows control bytes as \xNN.
QStringList logLines(const QString& text) {
    QStringList out;
    for (QString line : text.split(QStringLiteral("\r\n"))) {
        QString safe;
        safe.reserve(line.size());
        for (QChar c : line) {
            if (c.unicode() < 32 && c != u'\t')
                safe += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
            else
                safe += c;
        }
        out << safe;
    }
    return out;
}

// "STAT" reply "+OK <count> <octets>": kilobytes below 1000, otherwise megabytes.
QString sizeText(const QString& reply) {
    const qint64 octets = reply.trimmed().section(u' ', -1).toLongLong();
    const qint64 kb = octets / 1000;
    return kb < 1000 ? QString::number(kb) + QStringLiteral("Kb")
                     : QString::number(kb / 1000) + QStringLiteral("Mb");
}

} // namespace

ProcessEMail::ProcessEMail(AppContext& ctx, mail::PopClient* client, QObject* parent)
    : QObject(parent), m_ctx(ctx), m_log(ctx) {
    if (!client) {
        m_ownClient = std::make_unique<mail::PopClient>();
        client = m_ownClient.get();
    }
    m_client = client;
    m_client->setMessageLimit(kKeptMessageBytes);
    connect(m_client, &mail::PopClient::POPStatus, this, &ProcessEMail::popMain_POPStatus);
    connect(m_client, &mail::PopClient::DataRecieved, this, &ProcessEMail::popMain_DataRecieved);
    connect(m_client, &mail::PopClient::Disconnected, this, &ProcessEMail::onDisconnected);
    m_guard.setSingleShot(true);
    connect(&m_guard, &QTimer::timeout, this, &ProcessEMail::onGuard);
    CSubjects subjects;
    subjects.loadSubjects(ctx.paths.app + kSubjectsFileName);
    m_extraSubjects = subjects.subjects();
    m_checkOriginalTo = ctx.settings.checkOriginalTo;
}

ProcessEMail::~ProcessEMail() {
    if (m_client) m_client->disconnect(this);
}

void ProcessEMail::LogSend(const QString& line, bool startBlock, bool endBlock) {
    m_log.LogSend(line, startBlock, endBlock);
}

void ProcessEMail::setSearchVariables(bool deleteProcessed, bool processAll, const QStringList& phrases) {
    m_deleteProcessed = deleteProcessed;
    m_processAll = processAll;
    m_phrases.clear();
    for (const QString& p : phrases)
        if (!p.isEmpty()) m_phrases << p;
    m_phrasesPresent = !m_phrases.isEmpty();
}

// --- waits -----------------------------------------------------------------------------

void ProcessEMail::beginWait(Wait w) {
    m_wait = w;
    const int seconds = m_guardSeconds > 0 ? m_guardSeconds : m_client->timeout() + 15;
    m_guard.start(seconds * 1000);
}

void ProcessEMail::endWait() {
    const Wait w = m_wait;
    m_wait = Wait::None;
    m_guard.stop();
    switch (w) {
    case Wait::None:
        return;
    case Wait::Connect:
        if (auto done = std::exchange(m_connectDone, nullptr)) done(m_connected);
        return;
    case Wait::Header:
        onHeader(m_commandOk);
        return;
    case Wait::Message:
        onMessage(m_commandOk);
        return;
    case Wait::Command:
        ++m_deleteIndex;
        if (m_commandOk) ++m_deleted;
        QMetaObject::invokeMethod(this, &ProcessEMail::nextDeletion, Qt::QueuedConnection);
        return;
    case Wait::Quit:
        finishQuit(m_commandOk);
        return;
    }
}

void ProcessEMail::onDisconnected() {
    if (!m_quitting) m_lost = true;
    m_commandOk = false;
    endWait();
}

void ProcessEMail::onGuard() {
    if (m_wait != Wait::None) timeOut();
}

void ProcessEMail::timeOut() {
    m_timedOut = true;
    m_commandOk = false;
    m_lost = true;
    const Wait w = std::exchange(m_wait, Wait::None);
    m_guard.stop();
    m_client->Disconnect();
    operation(QStringLiteral("The connection has timed out."));
    LogSend(QStringLiteral("P: The connection has timed out..."));
    operation(QStringLiteral("Verify your connection and try again."));
    LogSend(QStringLiteral("P: Sending DISCONNECT..."));
    m_wait = w;
    endWait();
}

// --- component events ------------------------------------------------------------------

void ProcessEMail::popMain_POPStatus(int code) {
    const bool connecting = m_wait == Wait::Connect;
    switch (code) {
    case mail::PopConnected:
        operation(QStringLiteral("Connected...Checking UserName..."));
        break;
    case mail::PopUserOk:
        operation(QStringLiteral("User ok...Checking Password..."));
        break;
    case mail::PopUserRefused:
        operation(QStringLiteral("UserName Failed"));
        if (connecting) endWait();
        break;
    case mail::PopPasswordOk:
        operation(QStringLiteral("Password Ok.  Retrieving Mail Drop."));
        break;
    case mail::PopPasswordRefused:
        operation(QStringLiteral("Password or Username failed, check both."));
        if (connecting) endWait();
        break;
    case mail::PopStatReceived:
        operation(QStringLiteral("Received Mail Drop... Getting Message List."));
        break;
    case mail::PopStatFailed:
        operation(QStringLiteral("Mail Drop command failed...Unable to communicate with host."));
        if (connecting) endWait();
        break;
    case mail::PopListReceived:
        operation(QStringLiteral("Message List Retrieved... Processing."));
        m_connected = true;
        if (connecting) endWait();
        break;
    case mail::PopListFailed:
        operation(QStringLiteral("Message list command failed... Unable to communicate with host."));
        if (connecting) endWait();
        break;
    case mail::PopNotConnected:
        operation(QStringLiteral("Not Connected"));
        if (connecting) endWait();
        break;
    case mail::PopCommandOk:
        m_commandOk = true;
        if (m_wait == Wait::Command) endWait();
        break;
    case mail::PopCommandFailed:
        m_commandOk = false;
        if (m_wait == Wait::Command || m_wait == Wait::Header || m_wait == Wait::Message) endWait();
        break;
    case mail::PopHeadersRetrieved:
        m_commandOk = true;
        if (m_wait == Wait::Header) endWait();
        break;
    case mail::PopMessageRetrieved:
        m_commandOk = true;
        if (m_wait == Wait::Message) endWait();
        break;
    case mail::PopQuitOk:
    case mail::PopQuitFailed:
        m_commandOk = code == mail::PopQuitOk;
        if (m_wait == Wait::Quit) endWait();
        break;
    case mail::PopTimedOut:
        timeOut();
        break;
    default:
        break;
    }
}

void ProcessEMail::popMain_DataRecieved(const QString& command, const QString& reply, qint64 byteCount) {
    QString c = command;
    if (c == QLatin1String("USER"))
        c = QStringLiteral("USER [Sending username, ") + m_client->userName() + u']';
    else if (c == QLatin1String("PASS"))
        c = QStringLiteral("PASS [Sending password, ********]");
    else if (c == QLatin1String("\r\n.\r\n"))
        c = QStringLiteral("<CrLf>.<CrLf>");
    for (const QString& l : logLines(c))
        LogSend(QStringLiteral("C: ") + l);
    if (command.startsWith(QLatin1String("STAT"), Qt::CaseInsensitive)) m_sizeText = sizeText(reply);
    if (!command.startsWith(QLatin1String("RETR"), Qt::CaseInsensitive) &&
        !command.startsWith(QLatin1String("TOP "), Qt::CaseInsensitive))
        for (const QString& l : logLines(reply))
            LogSend(QStringLiteral("S: ") + l);
    m_bytes += byteCount;
}

// --- connecting ------------------------------------------------------------------------

void ProcessEMail::connectToMailBox(const QString& host, const QString& userName, const QString& password,
                                    quint16 port, bool showStatus, int mode, std::function<void(bool)> done) {
    m_showStatus = showStatus;
    if (showStatus) operation(QStringLiteral("Connecting to MailBox..."));
    m_client->setPort(QString::number(port));
    m_client->setHost(host);
    m_client->setUserName(userName);
    m_client->setPassword(password);
    m_client->setTimeout(30);
    m_connected = false;
    m_lost = false;
    m_timedOut = false;
    m_mode = mode;
    m_host = host;
    m_log.facts.mode = mode;
    m_log.facts.host = host;
    m_log.facts.port = port;
    m_log.facts.userName = userName;
    m_log.facts.start = m_log.now();
    LogSend(QStringLiteral("P: Attempting to Connect to Mailbox..."), true);
    m_connectDone = std::move(done);
    beginWait(Wait::Connect);
    m_client->Connect();
}

// --- processing ------------------------------------------------------------------------

void ProcessEMail::processMailBox(bool bounceRules, bool returnedMail,
                                  std::function<void(const QString&)> done) {
    m_bounceRules = bounceRules;
    m_returnedMail = returnedMail;
    m_processDone = std::move(done);
    m_deleteList.clear();
    m_temp = std::make_unique<PopTemp>(m_ctx);
    if (!m_temp->create()) {
        if (auto d = std::exchange(m_processDone, nullptr)) d(QString());
        return;
    }
    m_count = m_client->MessageCount();
    m_log.facts.retrieved = m_count;
    if (m_count < 1)
        m_ctx.ui->message(QStringLiteral("No Messages Found on ") + m_host, Buttons::OK, Icon::Information);
    operation(QStringLiteral("Found ") + QString::number(m_count) + QStringLiteral(" Messages (") +
              m_sizeText + QStringLiteral(")...Processing"));
    m_current = 0;
    nextMessage();
}

void ProcessEMail::nextMessage() {
    ++m_current;
    if (m_current > m_count || m_cancelled) {
        finishProcessing();
    } else if (!m_client->IsOpen()) {
        connectionLostDuringProcessing();
    } else {
        m_commandOk = false;
        beginWait(Wait::Header);
        m_client->RetrieveHeader(m_current);
    }
}

void ProcessEMail::connectionLostDuringProcessing() {
    const QString text = QStringLiteral("Connection to host '") + m_host + QStringLiteral("' was lost.");
    m_ctx.ui->message(text, Buttons::OK, Icon::Information);
    LogSend(QStringLiteral("P: ") + text);
    finishProcessing();
}

void ProcessEMail::onHeader(bool ok) {
    if (!ok) {
        if (m_lost || !m_client->IsOpen()) return connectionLostDuringProcessing();
        LogSend(QStringLiteral("P: The header of message %1 could not be retrieved; it is passed over.")
                    .arg(m_current));
        QMetaObject::invokeMethod(this, &ProcessEMail::nextMessage, Qt::QueuedConnection);
        return;
    }
    const QString header = m_client->HeaderText();
    m_subject = decodedHeaderValue(headerValue(header, u"Subject"));
    for (const QString& l : logLines(m_subject))
        LogSend(QStringLiteral("P: Header Information... < Subject: ") + l + u'>');
    Q_EMIT showBytesReceived(QStringLiteral("Total Bytes Processed... ") + QString::number(m_bytes));
    operation(QStringLiteral("Processing ") + QString::number(m_current) + QStringLiteral(" of ") +
              QString::number(m_count) + QStringLiteral(" ..."));
    const bool wanted = m_bounceRules
                            ? returnedMailRule(m_subject, m_extraSubjects) > 0
                            : m_phrasesPresent && !firstMatchingPhrase(m_subject, m_phrases).isEmpty();
    if (!wanted && !m_processAll) {
        QMetaObject::invokeMethod(this, &ProcessEMail::nextMessage, Qt::QueuedConnection);
        return;
    }
    if (m_returnedMail) {
        m_commandOk = false;
        beginWait(Wait::Message);
        m_client->RetrieveMessage(m_current);
        return;
    }
    const FoundAddress sender = firstAddressIn(headerValue(header, u"From"));
    LogSend(QStringLiteral("P: Originating Sender... < From: ") + sender.address + u'>');
    collect({sender});
    QMetaObject::invokeMethod(this, &ProcessEMail::nextMessage, Qt::QueuedConnection);
}

void ProcessEMail::onMessage(bool ok) {
    if (!ok) {
        if (m_lost || !m_client->IsOpen()) return connectionLostDuringProcessing();
        LogSend(QStringLiteral("P: Message %1 could not be retrieved; it is passed over.").arg(m_current));
    } else {
        const ReturnedRecipients r = returnedRecipients(m_client->FetchedText(), m_checkOriginalTo);
        for (const QString& line : r.log)
            for (const QString& l : logLines(line))
                LogSend(l);
        collect(r.addresses);
    }
    QMetaObject::invokeMethod(this, &ProcessEMail::nextMessage, Qt::QueuedConnection);
}

void ProcessEMail::collect(const QList<FoundAddress>& found) {
    bool stored = false;
    for (const FoundAddress& f : found) {
        if (f.address.size() <= 3) continue;
        m_temp->insert(f, m_subject, m_log.now());
        stored = true;
    }
    if (stored && m_deleteProcessed) m_deleteList << m_current;
    Q_EMIT showAddressesCollected(QString::number(m_temp->count()));
}

void ProcessEMail::finishProcessing() {
    operation(QStringLiteral("Creating List..."));
    qint64 rows = 0;
    const QString path = m_temp->buildList(&rows);
    if (!path.isEmpty()) {
        operation(QStringLiteral("List Created..."));
        operation(QStringLiteral("Processing Completed. ") + QString::number(rows) +
                  QStringLiteral(" Addresses Found."));
        m_log.facts.processed = rows;
    } else {
        m_ctx.ui->message(QStringLiteral("No email addresses were found."), Buttons::OK, Icon::Information);
        operation(QStringLiteral("List Could Not Be Created..."));
    }
    m_temp.reset();
    if (auto d = std::exchange(m_processDone, nullptr)) d(path);
}

// --- deleting --------------------------------------------------------------------------

void ProcessEMail::KillMail(std::function<void(int)> done) {
    m_killDone = std::move(done);
    m_deleted = 0;
    m_deleteIndex = 0;
    if (m_client->MessageCount() < 1) {
        m_ctx.ui->message(QStringLiteral("No Messages to Remove on ") + m_host, Buttons::OK,
                          Icon::Information);
        if (auto d = std::exchange(m_killDone, nullptr)) d(0);
        return;
    }
    nextDeletion();
}

void ProcessEMail::nextDeletion() {
    const bool lost = m_lost || !m_client->IsOpen();
    if (m_deleteIndex >= m_deleteList.size() || lost) {
        if (lost && m_deleteIndex < m_deleteList.size())
            m_ctx.ui->message(QStringLiteral("The connection has been lost.\r\nSendora deleted the first ") +
                                  QString::number(m_deleted) +
                                  QStringLiteral(" before the connection was lost."),
                              Buttons::OK, Icon::Information);
        m_log.facts.deleted = m_deleted;
        if (auto d = std::exchange(m_killDone, nullptr)) d(m_deleted);
        return;
    }
    m_commandOk = false;
    beginWait(Wait::Command);
    m_client->RemoveMessage(m_deleteList[m_deleteIndex]);
}

// --- ending ----------------------------------------------------------------------------

void ProcessEMail::quit(std::function<void()> done) {
    m_quitDone = std::move(done);
    m_quitting = true;
    LogSend(m_cancelled ? QStringLiteral("P: Processing Cancelled... Sending QUIT")
                        : QStringLiteral("P: Processing Complete...Sending QUIT"));
    if (!m_client->IsOpen()) return finishQuit(false);
    m_commandOk = false;
    beginWait(Wait::Quit);
    m_client->Quit();
}

void ProcessEMail::finishQuit(bool ok) {
    // Deletions take effect only when the server accepts QUIT.
    m_quitOk = ok;
    if (!ok) m_log.facts.deleted = 0;
    m_log.facts.end = m_log.now();
    LogSend(QStringLiteral("P: Sending DISCONNECT..."), false, true);
    m_client->Disconnect();
    if (auto d = std::exchange(m_quitDone, nullptr)) d();
}

} // namespace sendora::pop
