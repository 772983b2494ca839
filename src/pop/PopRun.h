#pragma once
// One whole mailbox run, as the wizard's Start and `sendora-cli pop run` do it: connect,
// process, hand the new list to the caller, delete the processed messages, quit.

#include "pop/PopAccounts.h"
#include "pop/ProcessEMail.h"

#include <QObject>
#include <functional>

namespace sendora::pop {

struct PopRunOptions {
    int mode = 1;             // 1 Returned Mail Manager, 2 Subscription Manager, 3 POP Mail Importer
    bool processAll = false;  // "Get ALL mail (no filtering)"
    bool bounceRules = false; // "Obtain UNDELIVERABLE mail"
    bool deleteProcessed = false;
    QStringList phrases;
    bool returnedMail() const { return mode == 1; }
};

struct PopRunResult {
    bool connected = false;
    bool cancelled = false;
    bool timedOut = false;
    bool connectionLost = false;
    int messages = 0;          // in the mailbox
    qint64 addresses = 0;      // in the new list
    QString listPath;          // the new temporary list, empty when none was made
    int deleted = 0;           // messages removed from the server (QUIT accepted)
    bool deletionHeld = false; // the caller kept the messages on the server
};

class PopRun : public QObject {
    Q_OBJECT
public:
    explicit PopRun(AppContext& ctx, mail::PopClient* client = nullptr, QObject* parent = nullptr);

    ProcessEMail& session() { return m_session; }

    // Called with the new list (possibly empty) after processing and before any message is
    // deleted; returning false keeps every message on the server. Unset: delete.
    std::function<bool(const QString& listPath)> beforeDelete;

    void start(const PopAccount& account, const PopRunOptions& options);
    void cancel() { m_session.cancel(); }
    const PopRunResult& result() const { return m_result; }

Q_SIGNALS:
    void finished(const sendora::pop::PopRunResult& result);

private:
    void processed(const QString& listPath);
    void end();

    ProcessEMail m_session;
    PopRunOptions m_options;
    PopRunResult m_result;
};

} // namespace sendora::pop
