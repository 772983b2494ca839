#pragma once
// What the relay session needs of message composition: one preparation per mailing,
// then the exact message data per recipient (or per block of recipients).

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <functional>

namespace sendora {

class MessageSource {
public:
    virtual ~MessageSource() = default;

    // Reads the message, encodes images and attachments, builds the templates and splits
    // them at their merge tags. False stops the mailing (the user was told why).
    // Progress lines ("P: Encoding Images...") go to log.
    virtual bool prepare(const QString& sender, const QString& replyTo, const QDateTime& stamp,
                         const std::function<void(const QString&)>& log) = 0;
    // One message per recipient: a merge tag, a personal "To" name or a greeting line.
    virtual bool personalised() const = 0;
    // The display name of a recipient's "To" line; empty when the message has none.
    virtual QString personalName(const QString& address) = 0;
    // Message data for one recipient: sender block, "To" line, merged template, greeting,
    // wrapped text part; the text-only template when the domain asks for it.
    virtual QByteArray personalMessage(const QString& address, const QString& displayName) = 0;
    // Message data for a block of recipients under the group's display text.
    virtual QByteArray groupMessage(const QString& displayText, const QString& firstAddress) = 0;
    // Length of the composed template, for the send log's statistics.
    virtual qint64 messageSize() const = 0;
};

} // namespace sendora
