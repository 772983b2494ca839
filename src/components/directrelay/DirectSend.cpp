#include "DirectSend.h"

namespace sendora::direct {

QList<IdShare> divideIds(qint64 count, int mailers) {
    QList<IdShare> shares;
    if (count <= 0) return shares;
    if (mailers < 1 || count <= mailers) return {IdShare{1, count}};
    const qint64 rest = count % mailers;
    const qint64 each = (count - rest) / mailers;
    for (int m = 0; m < mailers; ++m)
        shares.append(IdShare{m * each + 1, (m + 1) * each});
    if (rest) shares.append(IdShare{count - rest + 1, count});
    return shares;
}

struct DirectSend::Impl {
    explicit Impl(const DirectSendJob& j) : resolver(j.dns) {}
    dns::MailResolver resolver;
};

DirectSend::DirectSend(const DirectSendJob& job, MessageComposer&, QObject* parent)
    : QObject(parent), d(new Impl(job)) {}
DirectSend::~DirectSend() = default;
bool DirectSend::start() {
    return false;
}
QString DirectSend::failureText() const {
    return QStringLiteral("not built yet");
}
void DirectSend::pauseSend() {}
void DirectSend::endPause(bool) {}
void DirectSend::stop() {}
void DirectSend::abort() {}
bool DirectSend::paused() const {
    return false;
}
bool DirectSend::finished() const {
    return true;
}
int DirectSend::mailerCount() const {
    return 0;
}
qint64 DirectSend::sentCount() const {
    return 0;
}
qint64 DirectSend::failedCount() const {
    return 0;
}
qint64 DirectSend::bytesSentTotal() const {
    return 0;
}
dns::MailResolver& DirectSend::resolver() {
    return d->resolver;
}

} // namespace sendora::direct
