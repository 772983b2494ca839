#include "core/Version.h"

namespace sendora {

QString GetVersionText(bool includeVersionWord, const VersionNumber& v) {
    QString text = QStringLiteral("%1.%2").arg(v.major).arg(v.minor);
    if (v.revision != 0) text += QStringLiteral(".%1").arg(v.revision);
    return includeVersionWord ? QStringLiteral("Version ") + text : text;
}

QString fullVersionNumber(const VersionNumber& v) {
    return QStringLiteral("%1.%2.%3").arg(v.major).arg(v.minor).arg(v.revision);
}

} // namespace sendora
