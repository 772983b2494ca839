// The SMTP side of MailSocket: greeting, EHLO/HELO, STARTTLS, AUTH and the message
// transaction, lockstep or pipelined (RFC 5321, 2920, 3207, 4954).

#include "MailSocket.h"

namespace sendora::mail {

void MailSocket::Hello(const QString& domain) {
    startHello(domain, false);
}
void MailSocket::AuthHello(const QString& domain) {
    startHello(domain, true);
}

void MailSocket::startHello(const QString& domain, bool auth) {
    if (m_phase != Phase::Greeted) return;
    m_wantAuth = auth;
    m_heloDomain = smtp::heloArgument(domain);
    m_phase = Phase::Hello;
    const QByteArray line = "EHLO " + m_heloDomain;
    queueCommand(Cmd::Ehlo, line, QString::fromUtf8(line));
    flush();
}

void MailSocket::handleReply(const SmtpReply& reply) {
    if (reply.malformed) {
        failAndClose(FailProtocol,
                     tr("Malformed reply from the server: %1").arg(QString::fromUtf8(reply.error)));
        return;
    }
    m_sinceProgress.restart();
    const QString text = QString::fromUtf8(reply.text);
    const Guard g = guard();
    if (m_pending.empty()) {
        // Only 421 may come unasked; anything else is noise we log and ignore.
        Q_EMIT DataRecieved(QString(), text, reply.code);
        if (!g.lost() && reply.code == 421) failAndClose(421, text);
        return;
    }
    const Pending p = std::move(m_pending.front());
    m_pending.pop_front();
    Q_EMIT DataRecieved(p.label, text, reply.code);
    if (g.lost()) return;
    if (reply.code == 421 && p.cmd != Cmd::Quit) {
        // The server is closing the channel; nothing queued behind this will be answered.
        failAndClose(421, text);
        return;
    }
    const bool ok = reply.replyClass() == 2;
    switch (p.cmd) {
    case Cmd::Greeting:
        if (reply.code == 220) {
            m_phase = Phase::Greeted;
            Q_EMIT Connected();
        } else {
            failAndQuit(reply.code, text);
        }
        return;
    case Cmd::Ehlo:
        if (ok) {
            m_ext = smtp::Extensions::fromEhlo(reply);
            afterHello();
        } else if (reply.replyClass() == 5) {
            const QByteArray line = "HELO " + m_heloDomain;
            queueCommand(Cmd::Helo, line, QString::fromUtf8(line));
            flush();
        } else {
            failAndQuit(reply.code, text);
        }
        return;
    case Cmd::Helo:
        if (ok) {
            m_ext = smtp::Extensions();
            afterHello();
        } else {
            failAndQuit(reply.code, text);
        }
        return;
    case Cmd::StartTls:
        if (reply.code == 220) {
            // Bytes after the 220 came in plain text and could be forged (CVE-2011-0411).
            if (m_parser.hasPendingData()) {
                failAndClose(FailProtocol, tr("The server sent data before the TLS handshake."));
                return;
            }
            m_phase = Phase::TlsHandshake;
            m_sinceProgress.restart();
            armTimeout();
            m_transport->startClientEncryption();
        } else if (m_tlsMode == TlsMode::StartTlsRequired) {
            failAndQuit(reply.code, tr("The server refused STARTTLS: %1").arg(text));
        } else {
            startAuth();
        }
        return;
    case Cmd::AuthLogin:
        if (reply.code == 334) {
            queueCommand(Cmd::AuthUser, smtp::base64(m_userName.toUtf8()), QStringLiteral("USER"));
            flush();
        } else {
            failAndQuit(reply.code, tr("Authentication failed: %1").arg(text));
        }
        return;
    case Cmd::AuthUser:
        if (reply.code == 334) {
            queueCommand(Cmd::AuthPass, smtp::base64(m_password.toUtf8()), QStringLiteral("PASS"));
            flush();
        } else {
            failAndQuit(reply.code, tr("Authentication failed: %1").arg(text));
        }
        return;
    case Cmd::AuthPlain:
        if (reply.code == 334) {
            const QByteArray credentials = '\0' + m_userName.toUtf8() + '\0' + m_password.toUtf8();
            queueCommand(Cmd::AuthPlainCredentials, smtp::base64(credentials), QStringLiteral("PASS"));
            flush();
        } else {
            failAndQuit(reply.code, tr("Authentication failed: %1").arg(text));
        }
        return;
    case Cmd::AuthPass:
    case Cmd::AuthPlainCredentials:
        if (reply.code == 235) {
            m_authenticated = true;
            becomeReady();
        } else {
            failAndQuit(reply.code, tr("Authentication failed: %1").arg(text));
        }
        return;
    case Cmd::Mail:
        onMailReply(reply);
        return;
    case Cmd::Rcpt:
        onRcptReply(reply, p.index);
        return;
    case Cmd::Data:
        onDataReply(reply);
        return;
    case Cmd::EndOfData:
        onEndOfDataReply(reply);
        return;
    case Cmd::Rset:
        becomeReady();
        return;
    case Cmd::Quit:
        if (m_transport) m_transport->close();
        return;
    }
}

void MailSocket::afterHello() {
    const bool wantTls = m_tlsMode == TlsMode::StartTlsIfOffered || m_tlsMode == TlsMode::StartTlsRequired;
    if (wantTls && !m_implicitTls && !isEncrypted()) {
        if (m_ext.startTls) {
            m_phase = Phase::StartTls;
            queueCommand(Cmd::StartTls, "STARTTLS", QStringLiteral("STARTTLS"));
            flush();
            return;
        }
        if (m_tlsMode == TlsMode::StartTlsRequired) {
            failAndQuit(FailTls, tr("The server does not offer STARTTLS."));
            return;
        }
    }
    startAuth();
}

void MailSocket::startAuth() {
    if (!m_wantAuth || m_userName.isEmpty()) {
        becomeReady();
        return;
    }
    if (!isEncrypted() && !m_transport->isLoopbackPeer()) {
        failAndQuit(FailAuthNeedsTls,
                    tr("The password is not sent over an unencrypted connection; enable TLS."));
        return;
    }
    m_phase = Phase::Auth;
    // LOGIN first: its two steps are the ones the send log names USER and PASS.
    // A server that did not answer EHLO gets LOGIN on trust.
    if (m_ext.authLogin || !m_ext.esmtp) {
        queueCommand(Cmd::AuthLogin, "AUTH LOGIN", QStringLiteral("AUTH LOGIN"));
    } else if (m_ext.authPlain) {
        queueCommand(Cmd::AuthPlain, "AUTH PLAIN", QStringLiteral("AUTH PLAIN"));
    } else {
        failAndQuit(FailNotSupported, m_ext.authAdvertised
                                          ? tr("The server offers neither AUTH LOGIN nor AUTH PLAIN.")
                                          : tr("The server does not offer authentication."));
        return;
    }
    flush();
}

void MailSocket::becomeReady() {
    m_phase = Phase::Idle;
    Q_EMIT Ready();
}

void MailSocket::SendMessage() {
    startMessage(false);
}
void MailSocket::SendMessageToArray() {
    startMessage(true);
}

void MailSocket::startMessage(bool block) {
    if (m_phase != Phase::Idle) return;
    // Keep the content buffer's capacity: one allocation for the whole mailing.
    QByteArray content = std::move(m_txn.content);
    content.resize(0);
    m_txn = Transaction();
    m_txn.content = std::move(content);
    m_txn.block = block;
    m_phase = Phase::Gathering;
    gather();
}

// Asks for the parts still missing, one event at a time; the answers may come from inside
// the event handlers or later. Never recurses: a setter called from a handler only records.
void MailSocket::gather() {
    if (m_inGather) return;
    m_inGather = true;
    const Guard g = guard();
    while (m_phase == Phase::Gathering) {
        Transaction& t = m_txn;
        if (!t.haveFrom) {
            if (t.askedFrom) break;
            t.askedFrom = true;
            Q_EMIT SENDFrom();
        } else if (!t.haveTo) {
            if (t.askedTo) break;
            t.askedTo = true;
            if (t.block)
                Q_EMIT SENDToArray();
            else
                Q_EMIT SENDTo();
        } else if (!t.haveBody) {
            if (t.askedBody) break;
            t.askedBody = true;
            Q_EMIT SENDBody();
        } else {
            writeTransaction();
        }
        if (g.lost()) break;
    }
    if (g.self) m_inGather = false;
}

void MailSocket::SetFrom(const QString& from) {
    if (m_phase != Phase::Gathering) return;
    m_txn.from = from;
    m_txn.haveFrom = true;
    gather();
}

void MailSocket::SetTo(const Recipient& recipient) {
    if (m_phase != Phase::Gathering) return;
    m_txn.recipients = {recipient};
    screenRecipients();
    gather();
}

void MailSocket::SetToArray(const RecipientList& recipients) {
    if (m_phase != Phase::Gathering) return;
    m_txn.recipients = recipients;
    screenRecipients();
    gather();
}

// Every recipient passes here, so no caller can get an unusable address into RCPT TO.
void MailSocket::screenRecipients() {
    Transaction& t = m_txn;
    t.rcpt.clear();
    t.refusals.clear();
    for (int i = 0; i < t.recipients.size(); ++i) {
        const QString reason = smtp::refusedRecipientReason(t.recipients[i].address);
        if (reason.isEmpty()) {
            t.rcpt.append(i);
            continue;
        }
        t.refusals << t.recipients[i].address
                   << tr("Recipient refused, not sent: \"%1\": %2")
                          .arg(smtp::printable(t.recipients[i].address), reason);
    }
    t.haveTo = true;
    // Nobody to send to: the body is not needed.
    if (t.rcpt.isEmpty() && !t.recipients.isEmpty()) t.haveBody = true;
}

void MailSocket::refuseAll(const QString& reason) {
    Transaction& t = m_txn;
    for (const int i : std::as_const(t.rcpt))
        t.refusals << t.recipients[i].address
                   << tr("Recipient refused, not sent: \"%1\": %2")
                          .arg(smtp::printable(t.recipients[i].address), reason);
    t.rcpt.clear();
}

void MailSocket::SetBody(const QString& body) {
    SetBodyData(body.toUtf8());
}

void MailSocket::SetBodyData(const QByteArray& body) {
    if (m_phase != Phase::Gathering) return;
    m_txn.content.resize(0);
    qsizetype longest = 0;
    m_txn.eightBit = smtp::appendDataContent(m_txn.content, body, &longest);
    // The last guard: a line over the limit never leaves, whatever composed it.
    if (longest > smtp::kMaxLineLength)
        refuseAll(tr("the message holds a line of %1 bytes; at most %2 may be sent")
                      .arg(longest)
                      .arg(smtp::kMaxLineLength));
    m_txn.haveBody = true;
    gather();
}

void MailSocket::queueRcpt(int position) {
    const QByteArray line = "RCPT TO:" + smtp::recipientPath(m_txn.recipients[m_txn.rcpt[position]].address);
    queueCommand(Cmd::Rcpt, line, QString::fromUtf8(line), position);
}

bool MailSocket::anyAccepted() const {
    if (!m_txn.mailAccepted) return false;
    for (const Recipient& r : m_txn.recipients) {
        if (r.delivered) return true;
    }
    return false;
}

void MailSocket::writeTransaction() {
    Transaction& t = m_txn;
    m_phase = Phase::Transaction;
    for (Recipient& r : t.recipients)
        r.delivered = false;
    if (t.rcpt.isEmpty()) {
        // Nothing to send. Report later: we are inside the caller's Set* call.
        QMetaObject::invokeMethod(
            this,
            [this, g = guard()] {
                if (g.lost()) return;
                reportOutcome();
                if (!g.lost()) becomeReady();
            },
            Qt::QueuedConnection);
        return;
    }
    t.written = true;
    QByteArray mail = "MAIL FROM:" + smtp::pathArgument(t.from);
    if (m_ext.sizeLimit >= 0) mail += " SIZE=" + QByteArray::number(t.content.size());
    if (t.eightBit && m_ext.eightBitMime) mail += " BODY=8BITMIME";
    queueCommand(Cmd::Mail, mail, QString::fromUtf8(mail));
    if (isPipelining()) {
        // RFC 2920: MAIL and RCPT anywhere in a group, DATA only last.
        for (int i = 0; i < t.rcpt.size(); ++i)
            queueRcpt(i);
        queueCommand(Cmd::Data, "DATA", QStringLiteral("DATA"));
    }
    flush();
}

void MailSocket::onMailReply(const SmtpReply& reply) {
    m_txn.mailAccepted = reply.replyClass() == 2;
    if (!m_txn.mailAccepted) {
        const Guard g = guard();
        Q_EMIT MAILADDRRejected(QString::fromUtf8(reply.firstLine()));
        if (g.lost()) return;
    }
    if (isPipelining()) return;
    if (!m_txn.mailAccepted)
        finishTransaction(false);
    else {
        queueRcpt(0);
        flush();
    }
}

void MailSocket::onRcptReply(const SmtpReply& reply, int position) {
    Transaction& t = m_txn;
    const bool ok = reply.replyClass() == 2;
    t.recipients[t.rcpt[position]].delivered = ok;
    // After a refused MAIL the RCPT refusals say nothing new.
    if (!ok && t.mailAccepted) {
        const Guard g = guard();
        Q_EMIT MAILADDRRejected(QString::fromUtf8(reply.firstLine()));
        if (g.lost()) return;
    }
    if (isPipelining()) return;
    if (position + 1 < t.rcpt.size()) {
        queueRcpt(position + 1);
        flush();
    } else if (anyAccepted()) {
        queueCommand(Cmd::Data, "DATA", QStringLiteral("DATA"));
        flush();
    } else {
        finishTransaction(true);
    }
}

void MailSocket::onDataReply(const SmtpReply& reply) {
    Transaction& t = m_txn;
    const bool accepted = anyAccepted();
    if (reply.code == 354) {
        m_pending.push_back({Cmd::EndOfData, -1, QStringLiteral("\r\n.\r\n")});
        m_lastData = m_pending.back().label;
        if (accepted) {
            m_transport->write(t.content);
        } else {
            // Pipelined DATA taken with no valid recipient: end it empty (RFC 2920 3.1).
            for (Recipient& r : t.recipients)
                r.delivered = false;
            m_transport->write(".\r\n");
        }
        armTimeout();
        return;
    }
    for (Recipient& r : t.recipients)
        r.delivered = false;
    if (accepted) {
        const Guard g = guard();
        Q_EMIT MAILADDRRejected(QString::fromUtf8(reply.firstLine()));
        if (g.lost()) return;
    }
    finishTransaction(t.mailAccepted);
}

void MailSocket::onEndOfDataReply(const SmtpReply& reply) {
    Transaction& t = m_txn;
    const bool accepted = anyAccepted();
    if (reply.replyClass() != 2) {
        for (Recipient& r : t.recipients)
            r.delivered = false;
        if (accepted) {
            const Guard g = guard();
            Q_EMIT MAILADDRRejected(QString::fromUtf8(reply.firstLine()));
            if (g.lost()) return;
        }
    }
    finishTransaction(false);
}

void MailSocket::finishTransaction(bool sendRset) {
    // RSET goes out before the outcome is reported so the server works while the caller does.
    if (sendRset) {
        queueCommand(Cmd::Rset, "RSET", QStringLiteral("RSET"));
        flush();
    }
    const Guard g = guard();
    reportOutcome();
    if (!g.lost() && !sendRset) becomeReady();
}

void MailSocket::reportOutcome() {
    Transaction& t = m_txn;
    if (t.reported || !t.haveTo) return;
    t.reported = true;
    if (!t.mailAccepted)
        for (Recipient& r : t.recipients)
            r.delivered = false;
    const Guard g = guard();
    for (qsizetype i = 0; i + 1 < t.refusals.size(); i += 2) {
        Q_EMIT RecipientRefused(t.refusals[i], t.refusals[i + 1]);
        if (g.lost()) return;
    }
    if (t.block)
        Q_EMIT SENTBlock(t.recipients);
    else if (!t.recipients.isEmpty())
        Q_EMIT SENT(t.recipients.first());
}

// The connection is going away with a message under way: every recipient of it failed.
void MailSocket::failOpenTransaction() {
    if (m_phase != Phase::Gathering && m_phase != Phase::Transaction) return;
    for (Recipient& r : m_txn.recipients)
        r.delivered = false;
    reportOutcome();
}

} // namespace sendora::mail
