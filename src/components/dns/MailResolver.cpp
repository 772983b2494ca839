#include "MailResolver.h"

#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <QSocketNotifier>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <ares.h>
#include <arpa/nameser.h>
#include <netinet/in.h>

namespace sendora::dns {

QString statusText(Status status) {
    switch (status) {
    case Status::Ok:
        return QStringLiteral("ok");
    case Status::NxDomain:
        return QStringLiteral("not in DNS");
    case Status::NoData:
        return QStringLiteral("no mail host");
    case Status::NullMx:
        return QStringLiteral("null MX");
    case Status::Timeout:
        return QStringLiteral("timeout");
    case Status::Error:
        break;
    }
    return QStringLiteral("error");
}

QStringList parseServerList(const QString& text) {
    QStringList out;
    for (const QString& part : text.split(QRegularExpression(QStringLiteral("[,;\\s]+")), Qt::SkipEmptyParts))
        out << part.trimmed();
    return out;
}

namespace {

// c-ares wants one process-wide initialisation before the first channel.
void initLibrary() {
    static const int status = ares_library_init(ARES_LIB_INIT_ALL);
    Q_UNUSED(status);
}

QString domainKey(const QString& domain) {
    QString d = domain.trimmed().toLower();
    while (d.endsWith(u'.'))
        d.chop(1);
    return d;
}

} // namespace

struct MailResolver::Impl {
    MailResolver* q = nullptr;
    ares_channel channel = nullptr;
    QString setupError;
    bool dying = false;
    int queries = 0;
    QTimer timer;
    struct Notifiers {
        QSocketNotifier* read = nullptr;
        QSocketNotifier* write = nullptr;
    };
    QHash<ares_socket_t, Notifiers> sockets;

    struct Waiter {
        QPointer<QObject> context;
        Callback done;
    };
    // One route being worked out: the MX answer, then the addresses of its hosts.
    struct Job {
        Impl* impl;
        QString domain;
        MailRoute route;
        int outstanding = 0;
        bool anyTimeout = false;
    };
    QSet<Job*> jobs;
    QHash<QString, MailRoute> cache;
    QHash<QString, QList<Waiter>> waiting;

    // Addresses per host name, shared by the domains whose MX names the same host.
    struct HostAnswer {
        bool known = false;
        bool timedOut = false;
        QList<QHostAddress> addresses;
        QList<std::function<void(const HostAnswer&)>> waiters;
    };
    QHash<QString, HostAnswer> hosts;

    void setUp(const ResolverOptions& options) {
        initLibrary();
        ares_options opts{};
        int mask = 0;
        opts.flags = ARES_FLAG_NOSEARCH | ARES_FLAG_NOALIASES;
        mask |= ARES_OPT_FLAGS;
        opts.timeout = std::max(1, options.timeoutSeconds) * 1000;
        mask |= ARES_OPT_TIMEOUTMS;
        opts.tries = std::max(0, options.retries) + 1;
        mask |= ARES_OPT_TRIES;
        opts.sock_state_cb = &Impl::sockState;
        opts.sock_state_cb_data = this;
        mask |= ARES_OPT_SOCK_STATE_CB;
        char lookups[] = "b"; // DNS only: no hosts file
        opts.lookups = lookups;
        mask |= ARES_OPT_LOOKUPS;
        int rc = ares_init_options(&channel, &opts, mask);
        if (rc != ARES_SUCCESS) {
            setupError = QStringLiteral("DNS resolver: %1").arg(QString::fromUtf8(ares_strerror(rc)));
            channel = nullptr;
            return;
        }
        if (!options.servers.isEmpty()) {
            const QByteArray csv = options.servers.join(u',').toLatin1();
            rc = ares_set_servers_ports_csv(channel, csv.constData());
            if (rc != ARES_SUCCESS) {
                setupError = QStringLiteral("DNS servers \"%1\": %2")
                                 .arg(QString::fromLatin1(csv), QString::fromUtf8(ares_strerror(rc)));
                ares_destroy(channel);
                channel = nullptr;
            }
        }
    }

    static void sockState(void* data, ares_socket_t fd, int readable, int writable) {
        auto* self = static_cast<Impl*>(data);
        if (self->dying) return;
        Notifiers& n = self->sockets[fd];
        auto ensure = [&](QSocketNotifier*& slot, QSocketNotifier::Type type, bool on) {
            if (on && !slot) {
                slot = new QSocketNotifier(qintptr(fd), type, self->q);
                const bool isRead = type == QSocketNotifier::Read;
                QObject::connect(slot, &QSocketNotifier::activated, self->q, [self, fd, isRead] {
                    ares_process_fd(self->channel, isRead ? fd : ARES_SOCKET_BAD,
                                    isRead ? ARES_SOCKET_BAD : fd);
                    self->rearm();
                });
            }
            if (slot) slot->setEnabled(on);
        };
        ensure(n.read, QSocketNotifier::Read, readable);
        ensure(n.write, QSocketNotifier::Write, writable);
        if (!readable && !writable) {
            // The socket is closing; its number may come back for a new one at once.
            if (n.read) n.read->deleteLater();
            if (n.write) n.write->deleteLater();
            self->sockets.remove(fd);
        }
    }

    void rearm() {
        if (dying || !channel) return;
        timeval tv{};
        if (ares_timeout(channel, nullptr, &tv))
            timer.start(int(tv.tv_sec * 1000 + (tv.tv_usec + 999) / 1000));
        else
            timer.stop();
    }

    void deliver(const QString& key, const MailRoute& route) {
        cache.insert(key, route);
        const QList<Waiter> list = waiting.take(key);
        for (const Waiter& w : list)
            hand(w, route);
        QMetaObject::invokeMethod(
            q, [self = q, route] { Q_EMIT self->resolved(route); }, Qt::QueuedConnection);
    }

    static void hand(const Waiter& w, const MailRoute& route) {
        if (!w.context) return;
        QMetaObject::invokeMethod(
            w.context.data(),
            [context = w.context, done = w.done, route] {
                if (context && done) done(route);
            },
            Qt::QueuedConnection);
    }

    void start(const QString& key) {
        auto* job = new Job{this, key, {}, 0, false};
        jobs.insert(job);
        job->route.domain = key;
        ++queries;
        const QByteArray name = QUrl::toAce(key);
        ares_query(channel, name.isEmpty() ? key.toLatin1().constData() : name.constData(), ns_c_in, ns_t_mx,
                   &Impl::onMx, job);
        rearm();
    }

    static void onMx(void* arg, int status, int /*timeouts*/, unsigned char* abuf, int alen) {
        auto* job = static_cast<Job*>(arg);
        Impl* self = job->impl;
        if (status == ARES_EDESTRUCTION || self->dying) return; // the destructor frees it
        MailRoute& route = job->route;
        if (status == ARES_SUCCESS) {
            ares_mx_reply* mx = nullptr;
            status = ares_parse_mx_reply(abuf, alen, &mx);
            if (status == ARES_SUCCESS) {
                QList<MailHost> list;
                bool nullMx = false;
                for (ares_mx_reply* r = mx; r; r = r->next) {
                    const QString host = domainKey(QString::fromUtf8(r->host));
                    if (host.isEmpty()) {
                        nullMx = true;
                        continue;
                    }
                    list.append(MailHost{host, int(r->priority), {}});
                }
                ares_free_data(mx);
                if (nullMx && list.isEmpty()) {
                    route.status = Status::NullMx;
                    route.detail = QStringLiteral("%1 takes no mail (null MX)").arg(job->domain);
                    return self->finish(job);
                }
                std::stable_sort(list.begin(), list.end(), [](const MailHost& a, const MailHost& b) {
                    return a.preference < b.preference;
                });
                route.hosts = list;
                return self->resolveHosts(job);
            }
        }
        switch (status) {
        case ARES_ENODATA: {
            // No MX at all: the domain's own address stands in (RFC 5321 5.1).
            route.implicitMx = true;
            route.hosts = {MailHost{job->domain, 0, {}}};
            return self->resolveHosts(job);
        }
        case ARES_ENOTFOUND:
            route.status = Status::NxDomain;
            route.detail = QStringLiteral("%1 is not in DNS").arg(job->domain);
            break;
        case ARES_ETIMEOUT:
            route.status = Status::Timeout;
            route.detail = QStringLiteral("no DNS answer for %1").arg(job->domain);
            break;
        default:
            route.status = Status::Error;
            route.detail = QStringLiteral("DNS lookup of %1 failed: %2")
                               .arg(job->domain, QString::fromUtf8(ares_strerror(status)));
        }
        self->finish(job);
    }

    void resolveHosts(Job* job) {
        // One count held over the loop: hosts already known answer at once.
        job->outstanding = int(job->route.hosts.size()) + 1;
        for (int i = 0; i < job->route.hosts.size(); ++i) {
            const QString host = job->route.hosts[i].name;
            hostAddresses(host, [this, job, i](const HostAnswer& a) {
                job->route.hosts[i].addresses = a.addresses;
                job->anyTimeout = job->anyTimeout || a.timedOut;
                if (--job->outstanding == 0) hostsDone(job);
            });
        }
        if (--job->outstanding == 0) hostsDone(job);
    }

    void hostsDone(Job* job) {
        MailRoute& route = job->route;
        QList<MailHost> usable;
        for (const MailHost& h : std::as_const(route.hosts))
            if (!h.addresses.isEmpty()) usable.append(h);
        route.hosts = usable;
        if (!usable.isEmpty()) {
            route.status = Status::Ok;
        } else if (job->anyTimeout) {
            route.status = Status::Timeout;
            route.detail = QStringLiteral("no DNS answer for the mail hosts of %1").arg(job->domain);
        } else {
            route.status = Status::NoData;
            route.detail = route.implicitMx
                               ? QStringLiteral("%1 has no MX and no address").arg(job->domain)
                               : QStringLiteral("no MX host of %1 has an address").arg(job->domain);
        }
        finish(job);
    }

    void finish(Job* job) {
        const QString key = job->domain;
        const MailRoute route = job->route;
        jobs.remove(job);
        delete job;
        deliver(key, route);
    }

    struct HostQuery {
        Impl* impl;
        QString host;
    };

    void hostAddresses(const QString& host, std::function<void(const HostAnswer&)> done) {
        HostAnswer& entry = hosts[host];
        if (entry.known) {
            done(entry);
            return;
        }
        entry.waiters.append(std::move(done));
        if (entry.waiters.size() > 1) return;
        ++queries;
        ares_addrinfo_hints hints{};
        hints.ai_family = AF_UNSPEC;
        hints.ai_flags = ARES_AI_NOSORT;
        const QByteArray ace = QUrl::toAce(host);
        ares_getaddrinfo(channel, ace.isEmpty() ? host.toLatin1().constData() : ace.constData(), nullptr,
                         &hints, &Impl::onAddresses, new HostQuery{this, host});
        rearm();
    }

    static void onAddresses(void* arg, int status, int /*timeouts*/, ares_addrinfo* res) {
        auto* query = static_cast<HostQuery*>(arg);
        Impl* self = query->impl;
        const QString host = query->host;
        delete query;
        if (status == ARES_EDESTRUCTION || self->dying) {
            if (res) ares_freeaddrinfo(res);
            return;
        }
        HostAnswer& entry = self->hosts[host];
        QList<QHostAddress> v4, v6;
        if (status == ARES_SUCCESS && res) {
            for (ares_addrinfo_node* n = res->nodes; n; n = n->ai_next) {
                QHostAddress a(n->ai_addr);
                if (a.isNull()) continue;
                QList<QHostAddress>& to = n->ai_family == AF_INET ? v4 : v6;
                if (!to.contains(a)) to.append(a);
            }
        }
        if (res) ares_freeaddrinfo(res);
        entry.known = true;
        entry.timedOut = status == ARES_ETIMEOUT;
        entry.addresses = v4 + v6;
        const auto waiters = std::exchange(entry.waiters, {});
        const HostAnswer answer = entry;
        for (const auto& w : waiters)
            w(answer);
    }
};

MailResolver::MailResolver(const ResolverOptions& options, QObject* parent) : QObject(parent), d(new Impl) {
    d->q = this;
    d->timer.setSingleShot(true);
    connect(&d->timer, &QTimer::timeout, this, [this] {
        if (!d->channel) return;
        ares_process_fd(d->channel, ARES_SOCKET_BAD, ARES_SOCKET_BAD);
        d->rearm();
    });
    d->setUp(options);
}

MailResolver::~MailResolver() {
    d->dying = true;
    if (d->channel) ares_destroy(d->channel);
    qDeleteAll(d->jobs);
}

bool MailResolver::isValid() const {
    return d->channel != nullptr;
}

QString MailResolver::setupError() const {
    return d->setupError;
}

void MailResolver::lookup(const QString& domain, QObject* context, Callback done) {
    const QString key = domainKey(domain);
    const Impl::Waiter waiter{context, std::move(done)};
    if (auto it = d->cache.constFind(key); it != d->cache.constEnd()) {
        Impl::hand(waiter, *it);
        return;
    }
    if (!d->channel || key.isEmpty()) {
        MailRoute route;
        route.domain = key;
        route.status = Status::Error;
        route.detail = key.isEmpty() ? QStringLiteral("no domain") : d->setupError;
        Impl::hand(waiter, route);
        return;
    }
    auto& list = d->waiting[key];
    list.append(waiter);
    if (list.size() == 1) d->start(key);
}

const MailRoute* MailResolver::cached(const QString& domain) const {
    auto it = d->cache.constFind(domainKey(domain));
    return it == d->cache.constEnd() ? nullptr : &*it;
}

int MailResolver::queriesSent() const {
    return d->queries;
}

int MailResolver::pending() const {
    return int(d->waiting.size());
}

} // namespace sendora::dns
