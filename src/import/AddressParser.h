#pragma once
// The plain address parser: finds addresses and names in a line and never asks the user.
// Mailbox processing reads returned mail with it.

#include "import/AddressRules.h"

#include <QString>
#include <QStringView>

namespace sendora {

class UserInterface;

struct PersonalName {
    QString firstName = kNameNotFound;
    QString lastName;
};

// The next address at or after `position` (counted from 1), empty if none; `position` is left
// where the next search starts, 0 when the line holds no further address. To walk one long line
// address by address, AddressScanner does the same with what it learnt kept between calls.
// The two "Unmatched" information boxes of the name rules go to `ui` when one is given.
QString FindNextAddress(QStringView line, qsizetype& position, QString& firstName, QString& lastName,
                        UserInterface* ui = nullptr);

// The name rules for the address at `start`..`end` (counted from 1) of `line`.
PersonalName FindPersonalName(QStringView line, qsizetype start, qsizetype end, bool angle,
                              QStringView userName, QStringView address, UserInterface* ui = nullptr);

} // namespace sendora
