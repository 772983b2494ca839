#pragma once
#include <QString>

namespace sendora {

struct VersionNumber {
    int major = SENDORA_VERSION_MAJOR;
    int minor = SENDORA_VERSION_MINOR;
    int revision = SENDORA_VERSION_REVISION;
};

// "Version 1.0", "Version 1.2.3" (revision shown only when not 0); without the word when asked.
QString GetVersionText(bool includeVersionWord, const VersionNumber& v = {});
// "<major>.<minor>.<revision>", as written into the error log and the ProductVersion row.
QString fullVersionNumber(const VersionNumber& v = {});

} // namespace sendora
