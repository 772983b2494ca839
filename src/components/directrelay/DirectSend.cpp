#include "DirectSend.h"

#include "Mailer.h"

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
    Impl(const DirectSendJob& j, MessageComposer& composer)
        : job(j), resolver(j.dns), run(job, composer, resolver, store) {}

    DirectSendJob job;
    dns::MailResolver resolver;
    ListStore store;
    RunContext run;
    QList<Mailer*> mailers;
    bool started = false;
    int completed = 0;
    qint64 sent = 0, failed = 0, bytes = 0;
    QString failure;
};

DirectSend::DirectSend(const DirectSendJob& job, MessageComposer& composer, QObject* parent)
    : QObject(parent), d(new Impl(job, composer)) {
    RunContext& run = d->run;
    run.sent = [this](int mailer, qint64 id) {
        ++d->sent;
        Q_EMIT Sent(mailer, id);
    };
    run.failed = [this](int mailer, qint64 id, const QString& text) {
        ++d->failed;
        Q_EMIT Errors(mailer, id, text);
    };
    run.critical = [this](int mailer, const QString& text) {
        if (d->run.aborted) return;
        Q_EMIT criticalErr(mailer, text, CriticalStorage);
        abort();
    };
    run.log = [this](int mailer, const QString& line) { Q_EMIT log(mailer, line); };
    run.bytes = [this](qint64 n) {
        d->bytes += n;
        Q_EMIT bytesSent(d->bytes);
    };
    run.complete = [this](int mailer) {
        Q_EMIT Complete(mailer);
        if (++d->completed == d->mailers.size()) Q_EMIT allComplete();
    };
}

DirectSend::~DirectSend() {
    d->run.aborted = true;
    qDeleteAll(d->mailers);
}

bool DirectSend::start() {
    if (d->started) return false;
    if (!d->resolver.isValid()) {
        d->failure = d->resolver.setupError();
        return false;
    }
    if (!d->store.open(d->job.listPath, d->job.listDb, d->job.sentFlag, d->job.flagSends, &d->failure))
        return false;
    QList<QList<Rcpt>> shares;
    for (const IdShare& share : std::as_const(d->job.shares)) {
        shares.append(d->store.share(share, &d->failure));
        if (!d->failure.isEmpty()) return false;
    }
    d->started = true;
    for (qsizetype i = 0; i < shares.size(); ++i)
        d->mailers.append(new Mailer(int(i) + 1, d->run, shares[i]));
    if (d->mailers.isEmpty()) {
        QMetaObject::invokeMethod(this, &DirectSend::allComplete, Qt::QueuedConnection);
        return true;
    }
    for (Mailer* m : std::as_const(d->mailers))
        m->start();
    return true;
}

QString DirectSend::failureText() const {
    return d->failure;
}

void DirectSend::pauseSend() {
    d->run.paused = true;
}

void DirectSend::endPause(bool stop) {
    d->run.paused = false;
    if (stop) d->run.stopping = true;
    for (Mailer* m : std::as_const(d->mailers))
        m->wake();
}

void DirectSend::stop() {
    d->run.stopping = true;
    for (Mailer* m : std::as_const(d->mailers))
        m->wake();
}

void DirectSend::abort() {
    d->run.aborted = true;
    for (Mailer* m : std::as_const(d->mailers))
        m->abort();
}

bool DirectSend::paused() const {
    return d->run.paused;
}

bool DirectSend::finished() const {
    return d->started && d->completed == d->mailers.size();
}

int DirectSend::mailerCount() const {
    return int(d->job.shares.size());
}

qint64 DirectSend::sentCount() const {
    return d->sent;
}

qint64 DirectSend::failedCount() const {
    return d->failed;
}

qint64 DirectSend::bytesSentTotal() const {
    return d->bytes;
}

dns::MailResolver& DirectSend::resolver() {
    return d->resolver;
}

} // namespace sendora::direct
