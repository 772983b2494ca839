#pragma once
// Application settings held in Sendora.ini: the first-run writer, the loader with its
// defaults, and GetSetting/SaveSetting that every screen uses.

#include <QString>

namespace sendora {

class IniFile;
struct AppContext;

// Placeholders written into a new settings file and the default delivery options; a relay
// send refuses to start while the server is still one of them.
inline const QString kPlaceholderMailServer = QStringLiteral("mail.yourdomain.com");
inline const QString kPlaceholderProfileServer = QStringLiteral("smtp.yourdomain.com");
inline const QString kPlaceholderSender = QStringLiteral("you@yourdomain.com");
inline const QString kPlaceholderReplyTo = QStringLiteral("replies@yourdomain.com");
inline const QString kDefaultProfileName = QStringLiteral("Default Delivery Options");
inline const QString kAppDefaults = QStringLiteral("ApplicationDefaults");

// In-memory values of the ApplicationDefaults section (and the start state).
struct AppSettings {
    QString mailServer = kPlaceholderMailServer;
    QString configuredMailServer = kPlaceholderMailServer;
    int smtpPort = 25;
    int wordWrapSize = 0;
    bool checkOriginalTo = false;
    bool changeMergeTags = false;
    QString lvPrimaryDNS;
    QString lvSecondaryDNS;
    QString lvDomain;
    QString lvMailFrom;
    QString lvForcedTimeout; // empty in a new file; "20" when the key is absent
    QString lvNumberEmails;  // empty in a new file; "1" when the key is absent
    bool checkIfDomainWantsTextOnly = false;
    QString domainsToCheck;
    QString sendersEmailAddress = kPlaceholderSender;
    QString configuredSendersEmailAddress = kPlaceholderSender;
    QString keyCategoryVal1;
    QString keyCategoryVal2;
    QString mailEventProfile = QStringLiteral("Default Mail Event");
    bool serverWantsBracket = false;
    bool bracketOnFrom = true;
    bool jogServer = false;
    QString curSendora = QStringLiteral("DefaultSendora");
    QString curList = QStringLiteral("DefaultList");
    QString curMessage = QStringLiteral("DefaultMessage");
    int groupMailBlockSize = 10;
    bool startSDCentral = true;
    int startState = 2; // main window state from StartMaximized
};

QString boolText(bool value); // "True" / "False"

// Writes the first-run keys of ApplicationDefaults from the in-memory values, in order.
void writeFirstRunSettings(IniFile& ini, const AppSettings& values);
// Loads every ApplicationDefaults value, applying the loader's defaults for absent keys.
void loadApplicationDefaults(const IniFile& ini, AppSettings& values);
// StartMaximized as a small integer; 2 when it is not a number.
int readStartState(const IniFile& ini);

QString GetSetting(AppContext& ctx, const QString& section, const QString& key, const QString& defaultValue);
QString SaveSetting(AppContext& ctx, const QString& section, const QString& key, const QString& value);

} // namespace sendora
