#pragma once
// Where mail for a domain goes: MX records sorted by preference with the addresses of each
// host, asked through c-ares on the Qt event loop (socket notifiers and one timer, no
// threads, nothing blocks). Answers are kept per domain for the life of the resolver, and
// a domain asked again while its first question is out waits for that same answer.
//
// RFC 5321 5.1: the A/AAAA records of the domain itself stand in only when it has no MX
// at all; RFC 7505: a null MX ("." at preference 0) means the domain takes no mail.

#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

namespace sendora::dns {

enum class Status {
    Ok,       // hosts holds at least one host with an address
    NxDomain, // the domain does not exist
    NoData,   // it exists but names no mail host (no MX, no address; or no MX host has one)
    NullMx,   // it says it takes no mail
    Timeout,  // no server answered within the timeout and retries
    Error,    // anything else (refused, malformed answer, no server configured)
};

struct MailHost {
    QString name;
    int preference = 0;
    QList<QHostAddress> addresses; // IPv4 first, then IPv6
};

struct MailRoute {
    QString domain;
    Status status = Status::Error;
    bool implicitMx = false; // the domain's own address records, for want of an MX
    QList<MailHost> hosts;   // in the order to try them
    QString detail;          // what went wrong, for a log line or an error text
};

// Short words for logs: "ok", "not in DNS", "no mail host", "null MX", "timeout", "error".
QString statusText(Status status);

struct ResolverOptions {
    // "address[:port]" entries, IPv6 as "[addr]:port"; empty asks the machine's resolver.
    QStringList servers;
    int timeoutSeconds = 5; // per try
    int retries = 1;        // tries after the first
};

// Splits "1.2.3.4:5353, 5.6.7.8;[::1]:53" into its entries.
QStringList parseServerList(const QString& text);

class MailResolver : public QObject {
    Q_OBJECT
public:
    using Callback = std::function<void(const MailRoute&)>;

    explicit MailResolver(const ResolverOptions& options, QObject* parent = nullptr);
    ~MailResolver() override;

    // False when c-ares could not be set up (bad server list...); every lookup then fails
    // with Status::Error and this text.
    bool isValid() const;
    QString setupError() const;

    // Asks for domain's mail route. done is called once, always from the event loop (a
    // cached answer too), and not at all once context is gone.
    void lookup(const QString& domain, QObject* context, Callback done);
    // The cached answer, if the domain was resolved already.
    const MailRoute* cached(const QString& domain) const;
    // Questions put to the servers so far (MX and address lookups).
    int queriesSent() const;
    // Lookups still waiting for an answer.
    int pending() const;

Q_SIGNALS:
    void resolved(const sendora::dns::MailRoute& route);

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace sendora::dns
