#include "import/AddressParser.h"

#include "core/UserInterface.h"
#include "import/AddressScanner.h"

namespace sendora {

namespace {

void inform(UserInterface* ui, const QStringList& texts) {
    if (!ui) return;
    for (const QString& text : texts)
        ui->message(text, Buttons::OK, Icon::Information);
}

} // namespace

QString FindNextAddress(QStringView line, qsizetype& position, QString& firstName, QString& lastName,
                        UserInterface* ui) {
    AddressScanner scanner(line);
    const QString address = scanner.findNextAddress(position, firstName, lastName);
    inform(ui, scanner.takeInformation());
    return address;
}

PersonalName FindPersonalName(QStringView line, qsizetype start, qsizetype end, bool angle,
                              QStringView userName, QStringView address, UserInterface* ui) {
    PersonalName name;
    if (start < 1 || end < start || end > line.size()) return name;
    AddressScanner scanner(line);
    const NameResult r = scanner.findName({address.toString(), userName, start, end, angle});
    inform(ui, r.information);
    name.firstName = r.firstName;
    name.lastName = r.lastName;
    return name;
}

} // namespace sendora
