#include "screens/ProfileWizard.h"

#include "core/AppContext.h"
#include "core/Catalogue.h"
#include "core/ErrorLog.h"
#include "core/ListActions.h"
#include "core/SystemDatabase.h"
#include "import/AddressRules.h"

#include <QFileInfo>
#include <QLocale>
#include <algorithm>
#include <limits>

namespace sendora {

namespace {

const QString kCaptionNew = QStringLiteral("Create a New Set of Sendora Mail Delivery Options");
const QString kCaptionModify = QStringLiteral("View or Modify a Set of Sendora Mail Delivery Options");
const QString kInvalidName = QStringLiteral("Please Enter a Valid Filename. A valid filename cannot conatain "
                                            "the following characters:    \"  *  ?  /  \\  |  "
                                            ":  ;   the file must also begin with a letter or a number.");
const QString kEnterName = QStringLiteral("Please enter a name for your delivery options.");
const QString kExampleLine = QStringLiteral("Example: ") + kExampleAddress;

template <typename Int> Int narrowed(qint64 n) {
    return static_cast<Int>(std::clamp<qint64>(n, 0, std::numeric_limits<Int>::max()));
}

QString number(qint64 n) {
    return QString::number(n);
}

bool blank(const QString& text) {
    return text.trimmed().isEmpty();
}

// The values of the default set as the database is created with them; a new set starts
// from these when the default set itself is missing.
MailEvent builtInDefaults(const AppContext& ctx) {
    MailEvent m;
    m.From = ctx.settings.sendersEmailAddress;
    m.bFlagSends = true;
    m.SentFlag = QStringLiteral("SENT");
    m.SendBlockSize = 1000;
    m.bIfNotYetFlagged = true;
    m.SentFlagToCheck = QStringLiteral("SENT");
    m.TimedBlockSize = 100;
    m.TimeIncrement = 1;
    m.dns_timeout = 5;
    m.mailer_timeout = 15;
    m.concurrent_mailers = 10;
    m.dns_retries = 5;
    m.mail_retries = 1;
    m.dns_server = machineDnsServer();
    return m;
}

} // namespace

// ---- values

qint64 readNumber(const QString& text) {
    const QString t = QLatin1Char('0') + text.trimmed();
    qsizetype digits = 0;
    while (digits < t.size() && t[digits].isDigit())
        ++digits;
    bool ok = false;
    const qint64 n = t.left(std::min<qsizetype>(digits, 18)).toLongLong(&ok);
    return ok ? n : 0;
}

ProfileWizardFields LoadProfileWizard(const MailEvent& m) {
    ProfileWizardFields f;
    f.name = m.ProfileName;
    f.description = m.ProfileDescription;
    f.from = m.From;
    f.replyTo = m.ReplyTo;
    f.sendFiltered = m.bSendFiltered;
    f.sqlFilter = m.SQLFilter;
    f.sendInBlocks = m.bSendInBlocks;
    f.sendBlockSize = number(m.SendBlockSize);
    f.ifNotYetFlagged = m.bIfNotYetFlagged;
    f.sentFlagToCheck = m.SentFlagToCheck;
    f.flagSends = m.bFlagSends;
    f.sentFlag = m.SentFlag;
    f.timedBlocks = m.bTimedBlocks;
    f.timedBlockSize = number(m.TimedBlockSize);
    f.timeIncrement = number(m.TimeIncrement);
    f.insertTimeDelay = m.bInsertTimeDelay;
    f.timeDelay = number(m.TimeDelay);
    f.smtpServer = m.SmtpServer;
    f.smtpPort = m.smtp_port > 0 ? number(m.smtp_port) : QString();
    f.smtpTls = m.smtp_tls >= TlsAutomatic && m.smtp_tls <= TlsNone ? int(m.smtp_tls) : int(TlsAutomatic);
    f.auth = m.auth;
    f.username = m.username;
    f.password = m.password;
    f.directSend = m.direct_send;
    f.dnsServer = m.dns_server;
    f.dnsTimeout = number(m.dns_timeout);
    f.dnsRetries = number(m.dns_retries);
    f.mailerTimeout = number(m.mailer_timeout);
    f.concurrentMailers = number(m.concurrent_mailers);
    f.mailRetries = number(m.mail_retries);
    f.defaultServer = m.default_server;
    f.defaultMail = m.default_mail;
    return f;
}

MailEvent mailEventFromFields(const ProfileWizardFields& f) {
    MailEvent m;
    m.ProfileName = f.name;
    m.ProfileDescription = f.description;
    m.From = f.from;
    m.ReplyTo = f.replyTo;
    m.bSendFiltered = f.sendFiltered;
    m.SQLFilter = f.sqlFilter;
    m.bFlagSends = f.flagSends;
    m.SentFlag = f.sentFlag;
    m.bSendInBlocks = f.sendInBlocks;
    m.SendBlockSize = narrowed<qint32>(readNumber(f.sendBlockSize));
    m.bIfNotYetFlagged = f.ifNotYetFlagged;
    m.SentFlagToCheck = f.sentFlagToCheck;
    m.bTimedBlocks = f.timedBlocks;
    m.TimedBlockSize = narrowed<qint32>(readNumber(f.timedBlockSize));
    m.TimeIncrement = narrowed<qint16>(readNumber(f.timeIncrement));
    m.bInsertTimeDelay = f.insertTimeDelay;
    m.TimeDelay = narrowed<qint32>(readNumber(f.timeDelay));
    m.SmtpServer = f.smtpServer;
    m.auth = f.auth;
    m.username = f.username;
    m.password = f.password;
    m.direct_send = f.directSend;
    m.dns_server = f.dnsServer;
    m.dns_timeout = narrowed<qint16>(readNumber(f.dnsTimeout));
    m.mailer_timeout = narrowed<qint32>(readNumber(f.mailerTimeout));
    m.concurrent_mailers = narrowed<qint16>(readNumber(f.concurrentMailers));
    m.dns_retries = narrowed<qint16>(readNumber(f.dnsRetries));
    m.mail_retries = narrowed<qint16>(readNumber(f.mailRetries));
    m.default_server = f.defaultServer;
    m.default_mail = f.defaultMail;
    const qint64 port = readNumber(f.smtpPort);
    m.smtp_port = port <= 65535 ? qint32(port) : 0;
    m.smtp_tls = qint16(f.smtpTls);
    return m;
}

NumberBounds directSendBounds(DirectSendNumber field) {
    switch (field) {
    case DirectSendNumber::DnsTimeout:
        return {5, 0, QStringLiteral("1")};
    case DirectSendNumber::DnsRetries:
        return {1, 0, QStringLiteral("1")};
    case DirectSendNumber::MailerTimeout:
        return {10, 0, QStringLiteral("1")};
    case DirectSendNumber::ConcurrentMailers:
        return {1, 20, QStringLiteral("1")};
    case DirectSendNumber::MailRetries:
        return {1, 0, QString()};
    }
    return {};
}

QString directSendOnChange(DirectSendNumber field, const QString& text) {
    const NumberBounds b = directSendBounds(field);
    return b.upper > 0 && readNumber(text) > b.upper ? number(b.upper) : text;
}

QString directSendOnLeave(DirectSendNumber field, const QString& text) {
    const NumberBounds b = directSendBounds(field);
    QString t = text.isEmpty() ? b.emptyOnLeave : text;
    if (t.isEmpty()) return t;
    t = directSendOnChange(field, t);
    return readNumber(t) < b.lower ? number(b.lower) : t;
}

QString directSendStep(DirectSendNumber field, const QString& text, int delta) {
    const NumberBounds b = directSendBounds(field);
    qint64 n = std::max<qint64>(readNumber(text) + delta, b.lower);
    if (b.upper > 0) n = std::min<qint64>(n, b.upper);
    return number(n);
}

QString newProfileName(const QDateTime& now) {
    return QStringLiteral("New  ") + QLocale::c().toString(now, QStringLiteral("MMM-dd-yyyy hh.mm.ss"));
}

// ---- preparing

void ProfileWizard::prepareNew(bool initialization, const QDateTime& now) {
    m_mode = Mode::New;
    m_initialization = initialization;
    m_endSystem = false;
    MailEvent base = builtInDefaults(m_ctx);
    GetMEPFromDB(m_ctx, base, kDefaultProfileName);
    fields = LoadProfileWizard(base);
    fields.smtpServer = m_ctx.settings.mailServer;
    fields.directSend = false;
    fields.auth = false;
    fields.username.clear();
    fields.password.clear();
    fields.name = initialization ? kDefaultProfileName : newProfileName(now);
    fields.description.clear();
}

bool ProfileWizard::prepareExisting(const QString& name) {
    m_mode = Mode::Modify;
    m_initialization = false;
    m_endSystem = false;
    if (CountRecordsBySpecificStringValue(m_ctx, m_ctx.paths.systemDatabase(), QStringLiteral("Profile"),
                                          QStringLiteral("ProfileName"), name) <= 0) {
        m_ctx.ui->message(
            QStringLiteral("The Mail Delivery Options named ") + name +
                QStringLiteral(" is no longer available or is damaged. \r\nYou can either re-create "
                               "it, or delete the reference to it and try another."),
            Buttons::OK, Icon::Information, QStringLiteral("This Mail Delivery Option Set Not Available"));
        return false;
    }
    MailEvent m;
    GetMEPFromDB(m_ctx, m, name);
    fields = LoadProfileWizard(m);
    if (fields.smtpServer.isEmpty()) fields.smtpServer = m_ctx.settings.mailServer;
    return true;
}

// ---- texts and navigation

QString ProfileWizard::caption() const {
    return m_mode == Mode::New ? kCaptionNew : kCaptionModify;
}

QString ProfileWizard::windowTitle(int page) const {
    return caption() + QStringLiteral(" - Step %1 of %2").arg(page).arg(kPageCount);
}

QString ProfileWizard::introText() const {
    QString text =
        QStringLiteral("This wizard will walk you through creating a set of Delivery Options. These options "
                       "control how your mailing will be sent.\r\nOnce these Delivery Options are created, "
                       "you can use them for other mailings in the future.  This gives you maximum control "
                       "over your mailings with minimum effort.");
    if (m_initialization)
        text += QStringLiteral(
            "\r\nNote: This initialization procedure must be completed in order to Sendora to run");
    return text;
}

QString ProfileWizard::nameLabel() const {
    return m_mode == Mode::New ? QStringLiteral("What do you want to call this set of Delivery Options?")
                               : QStringLiteral("Current Profile Name:");
}

int ProfileWizard::nextPage(int page) const {
    for (int p = page + 1; p <= kPageCount; ++p)
        if (pageEnabled(p)) return p;
    return page;
}

int ProfileWizard::previousPage(int page) const {
    for (int p = page - 1; p >= 1; --p)
        if (pageEnabled(p)) return p;
    return page;
}

ProfileWizard::ButtonState ProfileWizard::buttonState(int page) const {
    ButtonState s;
    s.back = page > 1;
    s.next = page < kPageCount;
    s.finish = m_mode == Mode::Modify || page == kPageCount;
    s.finishIsDefault = page == kPageCount;
    return s;
}

bool ProfileWizard::pageNew(int page) {
    if (page == 7 && fields.smtpServer.isEmpty()) fields.smtpServer = kPlaceholderProfileServer;
    return !fields.timedBlocks && !fields.insertTimeDelay;
}

// ---- checks

ProfileWizard::Check ProfileWizard::checkNameOnLeave() {
    const QString focus = QStringLiteral("txtProfileName");
    if (fields.name.isEmpty()) {
        m_ctx.ui->message(kEnterName, Buttons::OK, Icon::Exclamation);
        return {false, focus};
    }
    if (!IsValidObjectName(fields.name)) {
        m_ctx.ui->message(kInvalidName, Buttons::OK, Icon::Exclamation);
        return {false, focus};
    }
    return {};
}

ProfileWizard::Check ProfileWizard::validatePage(int page) {
    auto refuse = [this](const QString& text, const char* focus, const QString& title = kAppTitle) {
        m_ctx.ui->message(text, Buttons::OK, Icon::Information, title);
        return Check{false, QLatin1String(focus)};
    };
    auto zero = [](const QString& text) { return readNumber(text) == 0; };
    ProfileWizardFields& f = fields;
    switch (page) {
    case 2:
        if (m_mode == Mode::Modify && f.name.isEmpty()) return refuse(kEnterName, "txtProfileName");
        if (const Check c = checkNameOnLeave(); !c.ok) return c;
        if (m_mode == Mode::New && !f.name.startsWith(QLatin1String("New ")) &&
            CountRecordsBySpecificStringValue(m_ctx, m_ctx.paths.systemDatabase(), QStringLiteral("Profile"),
                                              QStringLiteral("ProfileName"), f.name) > 0 &&
            m_ctx.ui->message(QStringLiteral("That Delivery Options name is being used. Overwrite?"),
                              Buttons::YesNo, Icon::Question) != Answer::Yes)
            return {false, QStringLiteral("txtProfileName")};
        break;
    case 3:
        if (blank(f.from))
            return refuse(
                QStringLiteral("The 'From' address is required. Please enter a valid email address."),
                "txtFrom");
        if (!IsValidEmailAddress(f.from))
            return refuse(
                QStringLiteral("The 'From' address is invalid.  \r\nPlease re-enter using a valid email "
                               "address format.  \r\n") +
                    kExampleLine,
                "txtFrom", QStringLiteral("Invalid 'From' Address"));
        if (!f.replyTo.isEmpty() && !IsValidEmailAddress(f.replyTo))
            return refuse(
                QStringLiteral("The 'Reply To' address is invalid.  \r\nPlease re-enter using a valid email "
                               "address format.  \r\n") +
                    kExampleLine,
                "txtReplyTo", QStringLiteral("Invalid 'Reply To' Address"));
        break;
    case 5:
        // "Send to the first 0" would send nothing: a count below 1 is no number either.
        if (f.sendInBlocks && readNumber(f.sendBlockSize) < 1)
            return refuse(QStringLiteral("Please enter a number for 'Send to the First' addresses."),
                          "txtSendBlockSize");
        break;
    case 6:
        if (f.timedBlocks && zero(f.timedBlockSize))
            return refuse(QStringLiteral("Please enter a number for 'Send in Blocks'."), "txtTimedBlockSize");
        if (f.timedBlocks && zero(f.timeIncrement))
            return refuse(QStringLiteral("Please enter a number for 'Wait __ Minutes'."), "txtTimeIncrement");
        if (f.insertTimeDelay && zero(f.timeDelay))
            return refuse(QStringLiteral("Please enter a number for 'Insert a Delay'."), "txtTimeDelay");
        break;
    case 7:
        if (!f.directSend && blank(f.smtpServer))
            return refuse(QStringLiteral("Please enter a mail server."), "txtSmtpServer");
        if (f.auth && f.username.isEmpty())
            return refuse(QStringLiteral("Please enter a username."), "txtUserName");
        if (f.auth && f.password.isEmpty())
            return refuse(QStringLiteral("Please enter a password."), "txtPassword");
        if (!f.smtpPort.isEmpty() && (readNumber(f.smtpPort) < 1 || readNumber(f.smtpPort) > 65535))
            return refuse(
                QStringLiteral("Please enter a port from 1 to 65535, or leave the port empty to use the "
                               "SMTP port of the settings."),
                "txtSmtpPort");
        break;
    case 8:
        if (f.directSend && blank(f.dnsServer))
            return refuse(QStringLiteral("Please enter a DNS server."), "txtDnsServer");
        if (f.directSend && f.defaultServer && blank(f.defaultMail))
            return refuse(QStringLiteral("Please enter a default mail server."), "txtDefaultMail");
        break;
    default:
        break;
    }
    return {};
}

// ---- "Specify Filter.."

QString ProfileWizard::filterListFile() {
    const QString name = fields.listName.trimmed();
    if (name.isEmpty()) {
        m_ctx.ui->message(QStringLiteral("You must select a list first"), Buttons::OK, Icon::Information);
        return {};
    }
    const QString listPath = GetListPath(m_ctx, name);
    const QString file = listPath.isEmpty() ? QString() : m_ctx.paths.listFile(listPath);
    if (file.isEmpty() || !QFileInfo(file).isFile()) {
        m_ctx.ui->message(QStringLiteral("List file not found"), Buttons::OK, Icon::Information);
        return {};
    }
    return file;
}

// ---- ending

bool ProfileWizard::cancel() {
    if (!m_initialization) return true;
    if (m_ctx.ui->message(QStringLiteral("This will exit Sendora.  Are you sure you wish to exit?"),
                          Buttons::YesNo, Icon::Question) != Answer::Yes)
        return false;
    m_endSystem = true;
    return true;
}

bool ProfileWizard::confirmClose() {
    return m_ctx.ui->message(
               QStringLiteral("Are you sure you wish to exit?  Any changes you made in the wizard will be "
                              "lost\r\nUse the finish button to save modifications."),
               Buttons::YesNo, Icon::Information) == Answer::Yes;
}

bool ProfileWizard::process() {
    // The storage layer quotes every value itself, so the texts go in exactly as typed.
    if (!storeMEP(m_ctx, mailEventFromFields(fields))) {
        LogError(m_ctx, QStringLiteral("WizardProcess"),
                 {0, QStringLiteral("The delivery options \"%1\" could not be stored.").arg(fields.name)},
                 true);
        return false;
    }
    m_ctx.settings.mailEventProfile =
        SaveSetting(m_ctx, kAppDefaults, QStringLiteral("MailEventProfile"), fields.name);
    m_ctx.windows().deliveryOptionsChanged(fields.name);
    return true;
}

} // namespace sendora
