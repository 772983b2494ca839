#include "screens/ConfigurationModel.h"

#include "core/AppContext.h"
#include "core/ErrorLog.h"
#include "core/Settings.h"
#include "pop/BounceRules.h"

namespace sendora {

const QString kWordWrapNotNumber = QStringLiteral(
    "You must enter a number for the Word Wrap.  If you want to turn word wrap off then enter 0 "
    "in the box.");
const QString kWordWrapNegative = QStringLiteral(
    "You must enter a number that is equal to 0 or more for the Word Wrap.  If you want to turn "
    "word wrap off then enter 0 in the box.");
const QString kSubjectEmpty = QStringLiteral("Please enter a valid subject line.");

ConfigurationModel::ConfigurationModel(AppContext& ctx) : m_ctx(ctx) {
    pop::CSubjects file;
    if (!file.loadSubjects(subjectsFile()))
        LogError(m_ctx, QStringLiteral("Form_Load in frmConfiguration"),
                 {75, QStringLiteral("Path/File access error: ") + subjectsFile()}, false);
    m_subjects = file.subjects();
}

ConfigurationValues ConfigurationModel::load() const {
    const AppSettings& s = m_ctx.settings;
    ConfigurationValues v;
    v.bracketOnFrom = s.bracketOnFrom;
    v.serverWantsBracket = s.serverWantsBracket;
    v.startSDCentral = s.startSDCentral;
    v.groupMailBlockSize = s.groupMailBlockSize;
    v.wordWrap = QString::number(s.wordWrapSize);
    v.checkIfDomainWantsTextOnly = s.checkIfDomainWantsTextOnly;
    v.domains = splitDomains(s.domainsToCheck);
    v.checkOriginalTo = s.checkOriginalTo;
    return v;
}

QStringList ConfigurationModel::splitDomains(const QString& setting) {
    return setting.split(u';', Qt::SkipEmptyParts);
}

QString ConfigurationModel::joinDomains(const QStringList& domains) {
    return domains.join(u';');
}

bool ConfigurationModel::addDomain(QStringList& domains, const QString& typed) {
    // A ";" inside would split into two domains on the next load.
    const QString domain = typed.trimmed();
    if (domain.isEmpty() || domain.contains(u';') || domains.contains(domain)) return false;
    domains << domain;
    return true;
}

QString ConfigurationModel::wordWrapRefusal(const QString& text, int* value) {
    bool ok = false;
    const int n = text.trimmed().toInt(&ok);
    if (!ok) return kWordWrapNotNumber;
    if (n < 0) return kWordWrapNegative;
    if (value) *value = n;
    return {};
}

int ConfigurationModel::boundGroupSize(int size) {
    return qBound(1, size, 100);
}

QString ConfigurationModel::apply(const ConfigurationValues& v) {
    int wordWrap = 0;
    if (QString refusal = wordWrapRefusal(v.wordWrap, &wordWrap); !refusal.isEmpty()) return refusal;

    AppSettings& s = m_ctx.settings;
    s.bracketOnFrom = v.bracketOnFrom;
    s.serverWantsBracket = v.serverWantsBracket;
    s.startSDCentral = v.startSDCentral;
    s.groupMailBlockSize = boundGroupSize(v.groupMailBlockSize);
    s.wordWrapSize = wordWrap;
    s.checkIfDomainWantsTextOnly = v.checkIfDomainWantsTextOnly;
    s.domainsToCheck = joinDomains(v.domains);
    s.checkOriginalTo = v.checkOriginalTo;
    // A server or sender changed for one mailing goes back to the configured one.
    s.mailServer = s.configuredMailServer;
    s.sendersEmailAddress = s.configuredSendersEmailAddress;

    const std::pair<const char*, QString> keys[] = {
        {"MailServer", s.configuredMailServer},
        {"SMTPPort", QString::number(s.smtpPort)},
        {"ServerWantsBracket", boolText(s.serverWantsBracket)},
        {"BracketOnFrom", boolText(s.bracketOnFrom)},
        {"GroupMailBlockSize", QString::number(s.groupMailBlockSize)},
        {"StartSDCentral", boolText(s.startSDCentral)},
        {"WordWrapSize", QString::number(s.wordWrapSize)},
        {"CheckOriginalTo", boolText(s.checkOriginalTo)},
        {"CheckIfDomainWantsTextOnly", boolText(s.checkIfDomainWantsTextOnly)},
        {"DomainsToCheck", s.domainsToCheck},
    };
    bool written = true;
    for (const auto& [key, value] : keys)
        written = m_ctx.settingsFile.write(kAppDefaults, QLatin1String(key), value) && written;
    if (!written)
        LogError(m_ctx, QStringLiteral("cmdOK_Click in frmConfiguration"),
                 {75, QStringLiteral("Path/File access error: ") + m_ctx.settingsFile.path()}, false);
    return {};
}

QString ConfigurationModel::subjectsFile() const {
    return m_ctx.paths.app + pop::kSubjectsFileName;
}

QStringList ConfigurationModel::subjects() const {
    return m_subjects;
}

QString ConfigurationModel::addSubject(const QString& subject) {
    // The file holds one subject a line, so a blank or multi-line entry cannot be kept.
    if (subject.trimmed().isEmpty() || subject.contains(u'\n') || subject.contains(u'\r'))
        return kSubjectEmpty;
    if (m_subjects.contains(subject))
        return QStringLiteral("The subject line %1 already exists.").arg(subject);
    m_subjects << subject;
    saveSubjects(QStringLiteral("cmdAddSubject_Click in frmConfiguration"));
    return {};
}

bool ConfigurationModel::removeSubject(const QString& subject) {
    const qsizetype at = m_subjects.indexOf(subject);
    if (at < 0) return false;
    m_subjects.removeAt(at);
    saveSubjects(QStringLiteral("cmdRemoveSubject_Click in frmConfiguration"));
    return true;
}

bool ConfigurationModel::saveSubjects(const QString& handler) {
    pop::CSubjects file;
    file.setSubjects(m_subjects);
    if (file.saveSubjects(subjectsFile())) return true;
    LogError(m_ctx, handler, {75, QStringLiteral("Path/File access error: ") + subjectsFile()}, false);
    return false;
}

} // namespace sendora
