#pragma once
// The verifier settings kept in ApplicationDefaults, with the bounds the configuration
// dialog enforces when it saves them.

#include <QString>

namespace sendora {
struct AppContext;
}

namespace sendora::verify {

inline constexpr int kMinForcedTimeout = 20;
inline constexpr int kMaxForcedTimeout = 60;
inline constexpr int kMinNumberEmails = 1;
inline constexpr int kMaxNumberEmails = 100;

struct VerifyConfigValues {
    QString primaryDns;
    QString secondaryDns;
    QString domain;
    QString mailFrom;
    int forcedTimeout = kMinForcedTimeout;
    int numberEmails = kMinNumberEmails;
};

// The six keys as the settings file holds them; an empty or foreign number reads as its
// default and an out-of-range one is brought within the bounds without a message.
VerifyConfigValues loadVerifyConfig(AppContext& ctx);

// Brings both numbers within their bounds, telling the user of each change, and writes the
// six keys. Returns the values written.
VerifyConfigValues saveVerifyConfig(AppContext& ctx, VerifyConfigValues values);

} // namespace sendora::verify
