#include "MailResolver.h"

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

QStringList parseServerList(const QString&) {
    return {};
}

struct MailResolver::Impl {};

MailResolver::MailResolver(const ResolverOptions&, QObject* parent) : QObject(parent), d(new Impl) {}
MailResolver::~MailResolver() = default;
bool MailResolver::isValid() const {
    return false;
}
QString MailResolver::setupError() const {
    return QStringLiteral("not built yet");
}
void MailResolver::lookup(const QString&, QObject*, Callback) {}
const MailRoute* MailResolver::cached(const QString&) const {
    return nullptr;
}
int MailResolver::queriesSent() const {
    return 0;
}
int MailResolver::pending() const {
    return 0;
}

} // namespace sendora::dns
