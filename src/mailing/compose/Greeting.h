#pragma once
// The personalised greeting line and "To" display name built from a recipient's title,
// first and last name, and where the greeting goes in a message.

#include "mailing/compose/Merge.h"

#include <QString>

namespace sendora {

// The greeting columns of a Message row.
struct GreetingSettings {
    bool useTitle = false;
    bool useFName = false;
    bool useLName = false;
    QString salutation;
    QString punctuation;
    QString genericName;
    bool missingFNameOption = false;
    bool missingLNameOption = false;
    bool useGreetingManager = false;
    int greetingType = 0; // 1 = personalised greeting line
    int addressType = 0;  // 1 = personalised "To" display name
    QString groupAddress;
    QString htmlGreeting; // kept by the greeting dialog; sending does not use it

    bool greetingLine() const { return greetingType == 1; }
    bool personalTo() const { return addressType == 1; }
};

// The greeting line ("Dear Ms Ann Lee:" + punctuation + CRLF) when greetingLine is set,
// else the display name; the empty text when the settings ask for none or no name can be
// formed.
QString GetPersonalName(const RecipientRow& row, const GreetingSettings& settings, bool greetingLine);

// After the ">" that closes the first "<BODY" (any case); unchanged without "<BODY".
QString InsertGreetingHtml(const QString& html, const QString& greeting);
// After "Content-Type: text/plain" CRLF CRLF; unchanged when the message has no text part.
QString InsertGreetingTextPart(const QString& message, const QString& greeting);
// A plain text without MIME parts: the greeting goes in front.
QString InsertGreetingPlain(const QString& text, const QString& greeting);

// Index just after the ">" closing the first "<BODY" at or after from, or -1.
qsizetype htmlGreetingPoint(QStringView html, qsizetype from = 0);

} // namespace sendora
