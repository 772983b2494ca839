#pragma once
// Sending a stopped mailing again from the send screen: what is left to send. The screen
// knows which addresses its own sends delivered (their result rows), so the remainder holds
// even when the delivery options do not flag sent addresses.

#include "mailing/relay/RelaySend.h"

#include <QSet>
#include <QString>
#include <QVariant>
#include <functional>
#include <optional>

namespace sendora {

struct AppContext;

using LeaveOut = std::function<bool(const QString& address, const QVariant& sent)>;

struct SendRemainder {
    qint64 count = 0;  // addresses of the mailing's selection that are still to be sent
    LeaveOut leaveOut; // for the recipient cursor: the addresses to skip
};

// The mailing's selection without the delivered addresses (lower case) and, when its sends
// are flagged, without the addresses carrying its "Sent" flag. Nothing when the list could
// not be read (logged); the send then goes as its delivery options say.
std::optional<SendRemainder> unsentRemainder(AppContext& ctx, const MailingRow& row,
                                             const QSet<QString>& delivered);

// The address of a result row that reports a delivery ("To: <address>"), lower case.
QString deliveredAddress(const QString& resultText);

// The question before such a send; Yes sends only to the remainder.
QString resumeQuestion(qint64 count);
inline const QString kResumeTitle = QStringLiteral("Resume Mailing");

} // namespace sendora
