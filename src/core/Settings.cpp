#include "core/Settings.h"

#include "core/AppContext.h"
#include "core/IniFile.h"

namespace sendora {

QString boolText(bool value) {
    return value ? QStringLiteral("True") : QStringLiteral("False");
}

void writeFirstRunSettings(IniFile& ini, const AppSettings& v) {
    const QString& s = kAppDefaults;
    ini.write(s, QStringLiteral("MailServer"), v.configuredMailServer);
    ini.write(s, QStringLiteral("SMTPPort"), QString::number(v.smtpPort));
    ini.write(s, QStringLiteral("WordWrapSize"), QString::number(v.wordWrapSize));
    ini.write(s, QStringLiteral("CheckOriginalTo"), boolText(v.checkOriginalTo));
    ini.write(s, QStringLiteral("ChangeMergeTags"), boolText(v.changeMergeTags));
    ini.write(s, QStringLiteral("LVPrimaryDNS"), v.lvPrimaryDNS);
    ini.write(s, QStringLiteral("LVSecondaryDNS"), v.lvSecondaryDNS);
    ini.write(s, QStringLiteral("LVDomain"), v.lvDomain);
    ini.write(s, QStringLiteral("LVMailFrom"), v.lvMailFrom);
    ini.write(s, QStringLiteral("LVForcedTimeout"), v.lvForcedTimeout);
    ini.write(s, QStringLiteral("LVNumberEmails"), v.lvNumberEmails);
    ini.write(s, QStringLiteral("CheckIfDomainWantsTextOnly"), boolText(v.checkIfDomainWantsTextOnly));
    ini.write(s, QStringLiteral("DomainsToCheck"), v.domainsToCheck);
    ini.write(s, QStringLiteral("SendersEmailAddress"), v.configuredSendersEmailAddress);
    ini.write(s, QStringLiteral("KeyCategoryVal1"), v.keyCategoryVal1);
    ini.write(s, QStringLiteral("KeyCategoryVal2"), v.keyCategoryVal2);
    ini.write(s, QStringLiteral("MailEventProfile"), v.mailEventProfile);
    ini.write(s, QStringLiteral("ServerWantsBracket"), boolText(v.serverWantsBracket));
    ini.write(s, QStringLiteral("JogServer"), boolText(v.jogServer));
    ini.write(s, QStringLiteral("CurSendora"), v.curSendora);
    ini.write(s, QStringLiteral("CurList"), v.curList);
    ini.write(s, QStringLiteral("CurMessage"), v.curMessage);
}

void loadApplicationDefaults(const IniFile& ini, AppSettings& v) {
    const QString& s = kAppDefaults;
    auto text = [&](const char* key, const QString& def) { return ini.read(s, QLatin1String(key), def); };
    auto flag = [&](const char* key, const char* def, bool fallback) {
        return textToBool(text(key, QLatin1String(def)), fallback);
    };
    auto number = [&](const char* key, const char* def) {
        const int fallback = QString::fromLatin1(def).toInt();
        return textToInt(text(key, QLatin1String(def)), fallback);
    };

    v.configuredMailServer = text("MailServer", {});
    v.mailServer = v.configuredMailServer;
    v.smtpPort = number("SMTPPort", "25");
    v.wordWrapSize = number("WordWrapSize", "76");
    v.checkOriginalTo = flag("CheckOriginalTo", "0", false);
    v.changeMergeTags = flag("ChangeMergeTags", "0", false);
    v.lvPrimaryDNS = text("LVPrimaryDNS", {});
    v.lvSecondaryDNS = text("LVSecondaryDNS", {});
    v.lvDomain = text("LVDomain", {});
    v.lvMailFrom = text("LVMailFrom", {});
    v.lvForcedTimeout = text("LVForcedTimeout", QStringLiteral("20"));
    v.lvNumberEmails = text("LVNumberEmails", QStringLiteral("1"));
    v.checkIfDomainWantsTextOnly = flag("CheckIfDomainWantsTextOnly", "0", false);
    v.domainsToCheck = text("DomainsToCheck", {});
    v.configuredSendersEmailAddress = text("SendersEmailAddress", {});
    v.sendersEmailAddress = v.configuredSendersEmailAddress;
    v.keyCategoryVal1 = text("KeyCategoryVal1", {});
    v.keyCategoryVal2 = text("KeyCategoryVal2", {});
    // An absent key leaves the current value in place.
    v.mailEventProfile = text("MailEventProfile", v.mailEventProfile);
    v.serverWantsBracket = flag("ServerWantsBracket", "False", false);
    v.bracketOnFrom = flag("BracketOnFrom", "True", true);
    v.jogServer = flag("JogServer", "False", false);
    v.curSendora = text("CurSendora", {});
    v.curList = text("CurList", {});
    v.curMessage = text("CurMessage", {});
    v.groupMailBlockSize = number("GroupMailBlockSize", "10");
    v.startSDCentral = flag("StartSDCentral", "true", true);
}

int readStartState(const IniFile& ini) {
    bool ok = false;
    const QString text =
        ini.read(kAppDefaults, QStringLiteral("StartMaximized"), QStringLiteral("0")).trimmed();
    const double d = text.toDouble(&ok);
    if (!ok || d < -32768.0 || d > 32767.0) return 2;
    return static_cast<int>(d);
}

QString GetSetting(AppContext& ctx, const QString& section, const QString& key, const QString& defaultValue) {
    return ctx.settingsFile.read(section, key, defaultValue);
}

QString SaveSetting(AppContext& ctx, const QString& section, const QString& key, const QString& value) {
    ctx.settingsFile.write(section, key, value);
    return value;
}

} // namespace sendora
