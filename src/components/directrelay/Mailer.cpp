#include "Mailer.h"

#include "components/jet/Jet.h"
#include "components/mailsocket/SmtpProtocol.h"

#include <algorithm>

namespace sendora::direct {

namespace {
constexpr quint16 kSmtpPort = 25;
constexpr int kPrefetch = 8; // domains resolved ahead of the one being sent

// A server's reply as one line; control characters written out, so a hostile reply
// cannot forge log lines.
QString oneLine(const QString& reply) {
    QString s = reply;
    s.replace(QLatin1String("\r\n"), QLatin1String(" "));
    return mail::smtp::printable(s.simplified());
}
} // namespace

// --- ListStore -------------------------------------------------------------------------

ListStore::ListStore() = default;
ListStore::~ListStore() {
    // Deliveries whose outcome is still queued are recorded all the same.
    Outcomes all;
    for (const Queued& q : std::as_const(m_queued))
        all += q.outcomes;
    if (!all.isEmpty()) commit(all, nullptr);
}

bool ListStore::open(const QString& path, jet::Database* shared, const QString& sentFlag, bool flagSends,
                     QString* failure) {
    m_path = path;
    m_sentFlag = sentFlag;
    m_flagSends = flagSends;
    try {
        if (!shared) m_ownDb = jet::Database::open(path);
        m_db = shared ? shared : m_ownDb.get();
        for (const char* column : {"id", "error", "EAddress"})
            if (!m_db->hasField(QStringLiteral("AddressList"), QLatin1String(column)))
                throw jet::Error(
                    jet::ErrItemNotInCollection,
                    QStringLiteral("The AddressList table has no %1 column.").arg(QLatin1String(column)));
        // A bare value carries the text collation, which keeps the id index out; the
        // sub-select drops it.
        m_flag = m_db->prepareStatement(
            QStringLiteral("UPDATE AddressList SET [SENT] = %1 WHERE [id] = (SELECT %2)")
                .arg(jet::param(1), jet::param(2)));
        m_error = m_db->prepareStatement(
            QStringLiteral("UPDATE AddressList SET [error] = %1 WHERE [id] = (SELECT %2)")
                .arg(jet::param(1), jet::param(2)));
        m_share =
            m_db->prepareStatement(QStringLiteral("SELECT [id], [EAddress] FROM AddressList WHERE [id] >= "
                                                  "(SELECT %1) AND [id] <= (SELECT %2) ORDER BY [id]")
                                       .arg(jet::param(1), jet::param(2)));
        return true;
    } catch (const std::exception& e) {
        if (failure) *failure = QStringLiteral("%1: %2").arg(path, QString::fromUtf8(e.what()));
        m_flag.reset();
        m_error.reset();
        m_share.reset();
        m_db = nullptr;
        m_ownDb.reset();
        return false;
    }
}

QList<Rcpt> ListStore::share(const IdShare& ids, QString* failure) {
    QList<Rcpt> out;
    try {
        m_share->bind(1, ids.first);
        m_share->bind(2, ids.last);
        for (bool row = m_share->first(); row; row = m_share->next())
            out.append(Rcpt{m_share->value(0).toLongLong(), m_share->value(1).toString().trimmed(), {}});
    } catch (const std::exception& e) {
        if (failure) *failure = QStringLiteral("%1: %2").arg(m_path, QString::fromUtf8(e.what()));
    }
    return out;
}

void ListStore::commitSoon(const Outcomes& outcomes, std::function<void(bool, const QString&)> done,
                           std::function<void()> ahead) {
    if (m_queued.isEmpty()) QTimer::singleShot(0, &m_flushContext, [this] { flushQueued(); });
    m_queued.append(Queued{outcomes, std::move(done), std::move(ahead)});
}

void ListStore::flushQueued() {
    const QList<Queued> batch = std::exchange(m_queued, {});
    if (batch.isEmpty()) return;
    Outcomes all;
    for (const Queued& q : batch)
        all += q.outcomes;
    QString failure;
    const bool ok = commit(all, &failure, [&batch] {
        for (const Queued& q : batch)
            if (q.ahead) q.ahead();
    });
    for (const Queued& q : batch)
        q.done(ok, failure);
}

bool ListStore::commit(const Outcomes& outcomes, QString* failure, const std::function<void()>& inside) {
    if (!m_db) return false;
    try {
        m_db->beginTransaction();
        try {
            for (const auto& [id, text] : outcomes) {
                if (text.isEmpty()) {
                    if (!m_flagSends) continue;
                    m_flag->bind(1, m_sentFlag);
                    m_flag->bind(2, id);
                    m_flag->execute();
                } else {
                    m_error->bind(1, text.left(255));
                    m_error->bind(2, id);
                    m_error->execute();
                }
            }
            if (inside) inside();
            m_db->commit();
        } catch (...) {
            try {
                m_db->rollback();
            } catch (...) {
            }
            throw;
        }
        return true;
    } catch (const std::exception& e) {
        if (failure)
            *failure = QStringLiteral("The outcome of a message could not be written to %1: %2")
                           .arg(m_path, QString::fromUtf8(e.what()));
        return false;
    }
}

// --- Mailer ----------------------------------------------------------------------------

Mailer::Mailer(int number, RunContext& run, const QList<Rcpt>& recipients, QObject* parent)
    : QObject(parent), m_number(number), m_run(run) {
    // Domains in the order the list first names them.
    QHash<QString, qsizetype> index;
    for (const Rcpt& r : recipients) {
        const QString domain = r.address.section(u'@', -1).trimmed().toLower();
        auto it = index.constFind(domain);
        if (it == index.constEnd()) {
            it = index.insert(domain, qsizetype(m_queue.size()));
            m_queue.push_back(Domain{domain, {}, {}, 0, 0});
        }
        m_queue[*it].todo.append(r);
    }
    m_clock.start();
    m_wait.setSingleShot(true);
    connect(&m_wait, &QTimer::timeout, this, &Mailer::next);

    newSocket();
}

Mailer::~Mailer() = default;

void Mailer::newSocket() {
    m_socket = std::make_unique<mail::MailSocket>();
    m_socket->setVerifyPeer(false);
    connect(m_socket.get(), &mail::MailSocket::Connected, this, [this] {
        const QString helo =
            m_run.job.heloDomain.isEmpty() ? m_run.job.sender.section(u'@', -1) : m_run.job.heloDomain;
        m_socket->Hello(helo);
    });
    connect(m_socket.get(), &mail::MailSocket::Ready, this, [this] {
        if (!m_sessionReady) {
            m_sessionReady = true;
            if (m_socket->isEncrypted())
                say(QStringLiteral("TLS started (opportunistic; the certificate is not checked)"));
            else if (m_plain)
                say(QStringLiteral("Going on without TLS after a failed handshake"));
        }
        m_stage = Stage::Ready;
        if (m_committing) {
            m_readyWaiting = true; // the next message waits for this one's record
            return;
        }
        sendBatch();
    });
    connect(m_socket.get(), &mail::MailSocket::SENDFrom, this,
            [this] { m_socket->SetFrom(m_run.job.sender); });
    connect(m_socket.get(), &mail::MailSocket::SENDToArray, this, [this] {
        mail::RecipientList list;
        for (const Rcpt& r : std::as_const(m_batch))
            list.append(mail::Recipient{r.address, false});
        m_socket->SetToArray(list);
    });
    connect(m_socket.get(), &mail::MailSocket::SENDBody, this,
            [this] { m_socket->SetBodyData(std::exchange(m_body, {})); });
    connect(m_socket.get(), &mail::MailSocket::SENTBlock, this, &Mailer::onSentBlock);
    connect(m_socket.get(), &mail::MailSocket::DataRecieved, this, &Mailer::onReply);
    connect(m_socket.get(), &mail::MailSocket::RecipientRefused, this,
            [this](const QString& address, const QString& text) {
                m_rcptReplies.insert(QString::fromUtf8(mail::smtp::recipientPath(address)), Reply{550, text});
            });
    connect(m_socket.get(), &mail::MailSocket::Failure, this, &Mailer::onFailure);
    connect(m_socket.get(), &mail::MailSocket::Timeout, this, &Mailer::onTimeout);
    connect(m_socket.get(), &mail::MailSocket::Disconnected, this, &Mailer::onDisconnected);
}

// The domain is done: QUIT goes out and the connection closes on its own while this
// mailer moves on to its next domain with a new one.
void Mailer::retireSocket() {
    mail::MailSocket* old = m_socket.release();
    old->disconnect(this);
    old->setParent(this); // gone with the mailer at the latest
    connect(old, &mail::MailSocket::Disconnected, old, &QObject::deleteLater);
    old->Quit();
    newSocket();
}

void Mailer::say(const QString& line) {
    if (m_run.log) m_run.log(m_number, line);
}

void Mailer::start() {
    next();
}

void Mailer::wake() {
    if (m_stage == Stage::Idle && !m_done) next();
}

void Mailer::abort() {
    if (m_done) return;
    m_wait.stop();
    if (m_stage != Stage::Idle) {
        m_stage = Stage::Idle;
        m_socket->Disconnect();
    }
    finish();
}

void Mailer::finish() {
    if (m_done) return;
    m_done = true;
    m_wait.stop();
    QMetaObject::invokeMethod(
        this, [this] { m_run.complete(m_number); }, Qt::QueuedConnection);
}

void Mailer::next() {
    if (m_done || m_stage != Stage::Idle) return;
    if (m_committing) {
        m_nextWaiting = true;
        return;
    }
    if (m_run.aborted || m_run.stopping || m_queue.empty()) {
        finish();
        return;
    }
    if (m_run.paused) return;
    const qint64 now = m_clock.elapsed();
    auto it =
        std::find_if(m_queue.begin(), m_queue.end(), [now](const Domain& d) { return d.notBefore <= now; });
    if (it == m_queue.end()) {
        qint64 soonest = m_queue.front().notBefore;
        for (const Domain& d : m_queue)
            soonest = std::min(soonest, d.notBefore);
        m_wait.start(int(std::max<qint64>(1, soonest - now)));
        return;
    }
    m_domain = std::move(*it);
    m_queue.erase(it);
    m_stage = Stage::Resolving;
    prefetch();
    m_run.resolver.lookup(m_domain.name, this, [this](const dns::MailRoute& route) { onRoute(route); });
}

void Mailer::prefetch() {
    int n = 0;
    for (const Domain& d : m_queue) {
        if (n++ >= kPrefetch) break;
        if (!m_run.resolver.cached(d.name)) m_run.resolver.lookup(d.name, this, [](const dns::MailRoute&) {});
    }
}

void Mailer::onRoute(const dns::MailRoute& route) {
    if (m_stage != Stage::Resolving) return;
    m_route = route;
    if (m_run.aborted) {
        m_stage = Stage::Idle;
        finish();
        return;
    }
    switch (route.status) {
    case dns::Status::Ok:
        m_host = 0;
        m_address = 0;
        m_plain = false;
        connectHost();
        return;
    case dns::Status::Timeout:
        say(QStringLiteral("%1: %2").arg(m_domain.name, kDnsTimeout));
        failAll(m_domain.todo, kDnsTimeout);
        break;
    default:
        say(QStringLiteral("%1: %2").arg(m_domain.name, route.detail));
        failAll(m_domain.todo, QStringLiteral("%1: %2").arg(kMxError, route.detail));
    }
    endDomain();
}

void Mailer::connectHost() {
    const dns::MailHost& host = m_route.hosts[m_host];
    const QHostAddress address = host.addresses[m_address];
    m_sessionReady = false;
    m_lastFailure.clear();
    m_timedOut = false;
    m_stage = Stage::Connecting;
    say(QStringLiteral("%1: connecting to %2 [%3]").arg(m_domain.name, host.name, address.toString()));
    m_socket->setHost(address.toString());
    m_socket->setPort(QString::number(kSmtpPort));
    m_socket->setTimeout(std::max(1, m_run.job.mailerTimeout));
    m_socket->setTlsMode(m_plain ? mail::TlsMode::None : mail::TlsMode::StartTlsIfOffered);
    m_socket->Connect();
}

void Mailer::sendBatch() {
    if (m_run.aborted) return;
    const bool personal = m_run.composer.personalised();
    const int most = personal ? 1 : std::max(1, m_run.job.maxRecipientsPerMessage);
    while (!m_domain.todo.isEmpty() && !m_run.paused && !m_run.stopping) {
        m_batch = m_domain.todo.mid(0, most);
        m_domain.todo.remove(0, m_batch.size());
        m_body = compose(m_batch.first());
        if (m_body.isEmpty()) {
            failAll(m_batch, QStringLiteral("Error creating message"));
            if (m_run.aborted) return;
            continue;
        }
        m_batchBytes = m_body.size();
        m_mailReply = m_dataReply = m_endReply = Reply{};
        m_rcptReplies.clear();
        m_batchOpen = true;
        m_stage = Stage::Sending;
        m_socket->SendMessageToArray();
        return;
    }
    retireSocket();
    endDomain();
}

void Mailer::onReply(const QString& command, const QString& reply, int code) {
    if (!m_batchOpen) return;
    const Reply r{code, oneLine(reply)};
    if (command.startsWith(QLatin1String("MAIL FROM:")))
        m_mailReply = r;
    else if (command.startsWith(QLatin1String("RCPT TO:")))
        m_rcptReplies.insert(command.mid(8), r);
    else if (command == QLatin1String("DATA"))
        m_dataReply = r;
    else if (command == QLatin1String("\r\n.\r\n"))
        m_endReply = r;
}

Mailer::Reply Mailer::refusal(const QString& address) const {
    auto bad = [](const Reply& r) { return r.code >= 400 && !(r.code == 354); };
    if (bad(m_mailReply)) return m_mailReply;
    const Reply rcpt = m_rcptReplies.value(QString::fromUtf8(mail::smtp::recipientPath(address)));
    if (bad(rcpt)) return rcpt;
    if (bad(m_dataReply)) return m_dataReply;
    if (bad(m_endReply)) return m_endReply;
    return {};
}

void Mailer::onSentBlock(const mail::RecipientList& list) {
    if (!m_batchOpen || m_run.aborted) return;
    m_batchOpen = false;
    QList<QPair<qint64, QString>> outcomes;
    int delivered = 0;
    for (qsizetype i = 0; i < m_batch.size(); ++i) {
        Rcpt r = m_batch[i];
        if (i < list.size() && list[i].delivered) {
            outcomes.append({r.id, QString()});
            ++delivered;
            continue;
        }
        const Reply why = refusal(r.address);
        if (why.code == 0) {
            m_unsettled.append(r); // the connection went away: see onDisconnected
        } else if (why.code / 100 == 4) {
            r.reason = QStringLiteral("%1: %2").arg(kMailerError, why.text);
            m_domain.retry.append(r);
        } else {
            outcomes.append({r.id, QStringLiteral("%1: %2").arg(kMailerError, why.text)});
        }
    }
    if (delivered) m_run.bytes(m_batchBytes);
    m_batch.clear();
    if (outcomes.isEmpty()) return;
    m_committing = true;
    m_run.store.commitSoon(
        outcomes,
        [this, outcomes](bool ok, const QString& failure) {
            m_committing = false;
            if (!ok) {
                m_run.critical(m_number, failure);
                return;
            }
            announce(outcomes);
            if (std::exchange(m_readyWaiting, false) && m_stage == Stage::Ready) sendBatch();
            if (std::exchange(m_nextWaiting, false)) next();
        },
        [this] { composeAhead(); });
}

// The next message of this connection, composed while its predecessor's outcome is being
// committed. Only composed: it goes out from sendBatch once that commit is through. A
// recipient's message does not change during a run, so it stays good until used even when
// the domain is put off.
void Mailer::composeAhead() {
    if (m_run.aborted || m_run.paused || m_run.stopping || m_domain.todo.isEmpty() ||
        !m_run.composer.personalised() || m_domain.todo.first().id == m_aheadId)
        return;
    const Rcpt& next = m_domain.todo.first();
    m_aheadBody = compose(next);
    m_aheadId = next.id;
}

QByteArray Mailer::compose(const Rcpt& first) {
    if (!m_run.composer.personalised()) return m_run.composer.shared(first.address);
    if (first.id == std::exchange(m_aheadId, -1)) return std::exchange(m_aheadBody, {});
    m_aheadBody.clear();
    return m_run.composer.personal(first.address);
}

void Mailer::announce(const QList<QPair<qint64, QString>>& outcomes) {
    for (const auto& [id, text] : outcomes) {
        if (text.isEmpty())
            m_run.sent(m_number, id);
        else
            m_run.failed(m_number, id, text);
    }
}

bool Mailer::record(const QList<QPair<qint64, QString>>& outcomes) {
    if (outcomes.isEmpty()) return true;
    QString failure;
    if (!m_run.store.commit(outcomes, &failure)) {
        m_run.critical(m_number, failure);
        return false;
    }
    announce(outcomes);
    return true;
}

void Mailer::failAll(QList<Rcpt>& list, const QString& text) {
    QList<QPair<qint64, QString>> outcomes;
    for (const Rcpt& r : std::as_const(list))
        outcomes.append({r.id, text.isEmpty() ? r.reason : text});
    list.clear();
    record(outcomes);
}

void Mailer::onFailure(int code, const QString& text) {
    m_lastFailure = code >= 400 ? QStringLiteral("%1 %2").arg(code).arg(oneLine(text)) : oneLine(text);
    m_tlsFailed = code == mail::FailTls;
    say(QStringLiteral("%1: %2").arg(m_domain.name, m_lastFailure));
}

void Mailer::onTimeout(int seconds) {
    m_timedOut = true;
    say(QStringLiteral("%1: no answer for %2 seconds").arg(m_domain.name).arg(seconds));
    m_socket->Disconnect();
}

void Mailer::onDisconnected() {
    if (m_run.aborted || m_done) return;
    if (m_batchOpen) {
        m_unsettled += m_batch;
        m_batch.clear();
        m_batchOpen = false;
    }
    QString reason;
    if (m_timedOut)
        reason = kMailerTimeout;
    else
        reason = QStringLiteral("%1: %2").arg(kSocketError, m_lastFailure.isEmpty()
                                                                ? QStringLiteral("the connection was closed")
                                                                : m_lastFailure);
    for (Rcpt r : std::as_const(m_unsettled)) {
        r.reason = reason;
        m_domain.retry.append(r);
    }
    m_unsettled.clear();
    if (m_stage == Stage::Quitting || m_domain.todo.isEmpty()) {
        endDomain();
        return;
    }
    // Opportunistic TLS: a failed handshake is retried in plain text on the same host.
    if (m_tlsFailed && !m_plain && !m_sessionReady) {
        m_plain = true;
        m_tlsFailed = false;
        connectHost();
        return;
    }
    // The rest of the domain tries the next address, then the next MX host.
    m_plain = false;
    if (++m_address >= m_route.hosts[m_host].addresses.size()) {
        m_address = 0;
        ++m_host;
    }
    if (m_host < m_route.hosts.size() && !m_run.stopping && !m_run.paused) {
        connectHost();
        return;
    }
    if (!m_run.stopping && !m_run.paused) {
        for (Rcpt r : std::as_const(m_domain.todo)) {
            r.reason = reason;
            m_domain.retry.append(r);
        }
        m_domain.todo.clear();
    }
    endDomain();
}

void Mailer::endDomain() {
    m_stage = Stage::Idle;
    Domain done = std::move(m_domain);
    m_domain = Domain{};
    if (!done.todo.isEmpty()) {
        // Paused or stopped in the middle: the rest waits at the front.
        done.todo += done.retry;
        done.retry.clear();
        m_queue.push_front(std::move(done));
    } else if (!done.retry.isEmpty()) {
        if (done.round < m_run.job.mailRetries && !m_run.stopping) {
            Domain again{done.name,
                         done.retry,
                         {},
                         done.round + 1,
                         m_clock.elapsed() + qint64(std::max(0, m_run.job.retryDelayMs))};
            say(QStringLiteral("%1: %2 recipient(s) to try again").arg(done.name).arg(again.todo.size()));
            m_queue.push_back(std::move(again));
        } else {
            failAll(done.retry, QString());
        }
    }
    QMetaObject::invokeMethod(this, &Mailer::next, Qt::QueuedConnection);
}

} // namespace sendora::direct
