#pragma once
// The failed recipient of a returned message. A delivery status notification
// (multipart/report; report-type=delivery-status) names it in a recipient block whose Action
// is failed; any other returned message is read by its first "To: " line, where the copy of
// the original message usually stands. A notification's own "To: " is often our sender, so
// the "To: " rule is never applied to one.

#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

namespace sendora::pop {

struct FoundAddress {
    QString address;
    QString firstName;
    QString lastName;
};

struct ReturnedRecipients {
    // True when the message carried a delivery status report; then `addresses` holds every
    // recipient whose Action is failed (none when all were delayed, delivered, relayed...).
    bool deliveryReport = false;
    QList<FoundAddress> addresses;
    // "P: ..." lines for the session log, in order.
    QStringList log;
};

// `message` is the whole message as retrieved (headers and body).
ReturnedRecipients returnedRecipients(QStringView message, bool checkOriginalTo);

// The failed addresses of the first delivery status report inside the message, in block
// order. `found` tells whether there was a report at all.
QStringList failedDeliveryRecipients(QStringView message, bool* found = nullptr);

// The value of the first header `name` (without regard to case) of a header section, with
// folded lines joined; empty when absent.
QString headerValue(QStringView headers, QStringView name);
// A header value with its encoded words (=?charset?B|Q?...?=) decoded.
QString decodedHeaderValue(const QString& value);
// The header section of a message (up to the first empty line, without it).
QStringView headerSection(QStringView message);
// The body of a message (after the first empty line); empty when there is none.
QStringView bodySection(QStringView message);

// The address and names the plain parser finds first in `line`; empty address when none.
FoundAddress firstAddressIn(QStringView line);

} // namespace sendora::pop
