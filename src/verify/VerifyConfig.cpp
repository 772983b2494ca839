#include "verify/VerifyConfig.h"

#include "core/AppContext.h"

#include <algorithm>

namespace sendora::verify {

namespace {

int readNumber(AppContext& ctx, const QString& key, int fallback, int low, int high) {
    bool ok = false;
    const int n = GetSetting(ctx, kAppDefaults, key, QString::number(fallback)).trimmed().toInt(&ok);
    return ok ? std::clamp(n, low, high) : fallback;
}

} // namespace

VerifyConfigValues loadVerifyConfig(AppContext& ctx) {
    VerifyConfigValues v;
    v.primaryDns = GetSetting(ctx, kAppDefaults, QStringLiteral("LVPrimaryDNS"), {});
    v.secondaryDns = GetSetting(ctx, kAppDefaults, QStringLiteral("LVSecondaryDNS"), {});
    v.domain = GetSetting(ctx, kAppDefaults, QStringLiteral("LVDomain"), {});
    v.mailFrom = GetSetting(ctx, kAppDefaults, QStringLiteral("LVMailFrom"), {});
    v.forcedTimeout = readNumber(ctx, QStringLiteral("LVForcedTimeout"), kMinForcedTimeout, kMinForcedTimeout,
                                 kMaxForcedTimeout);
    v.numberEmails = readNumber(ctx, QStringLiteral("LVNumberEmails"), kMinNumberEmails, kMinNumberEmails,
                                kMaxNumberEmails);
    return v;
}

VerifyConfigValues saveVerifyConfig(AppContext& ctx, VerifyConfigValues v) {
    UserInterface& ui = *ctx.ui;
    if (v.forcedTimeout > kMaxForcedTimeout) {
        ui.message(QStringLiteral("The maximum Forced Timeout setting allowed is 60 seconds.\r\n"
                                  "The value will be changed to the maximum allowed."),
                   Buttons::OK, Icon::Exclamation);
        v.forcedTimeout = kMaxForcedTimeout;
    } else if (v.forcedTimeout < kMinForcedTimeout) {
        ui.message(QStringLiteral("The minimum Forced Timeout setting allowed is 20 seconds.\r\n"
                                  "The value will be changed to the minimum allowed."),
                   Buttons::OK, Icon::Exclamation);
        v.forcedTimeout = kMinForcedTimeout;
    }
    if (v.numberEmails > kMaxNumberEmails) {
        ui.message(QStringLiteral("The maximum number of emails to be checked at one time is 100."),
                   Buttons::OK, Icon::Exclamation);
        v.numberEmails = kMaxNumberEmails;
    } else if (v.numberEmails < kMinNumberEmails) {
        ui.message(QStringLiteral("The minimum number of emails to be checked at one time is 1."),
                   Buttons::OK, Icon::Exclamation);
        v.numberEmails = kMinNumberEmails;
    }
    ctx.settings.lvPrimaryDNS = SaveSetting(ctx, kAppDefaults, QStringLiteral("LVPrimaryDNS"), v.primaryDns);
    ctx.settings.lvSecondaryDNS =
        SaveSetting(ctx, kAppDefaults, QStringLiteral("LVSecondaryDNS"), v.secondaryDns);
    ctx.settings.lvDomain = SaveSetting(ctx, kAppDefaults, QStringLiteral("LVDomain"), v.domain);
    ctx.settings.lvMailFrom = SaveSetting(ctx, kAppDefaults, QStringLiteral("LVMailFrom"), v.mailFrom);
    ctx.settings.lvForcedTimeout =
        SaveSetting(ctx, kAppDefaults, QStringLiteral("LVForcedTimeout"), QString::number(v.forcedTimeout));
    ctx.settings.lvNumberEmails =
        SaveSetting(ctx, kAppDefaults, QStringLiteral("LVNumberEmails"), QString::number(v.numberEmails));
    return v;
}

} // namespace sendora::verify
