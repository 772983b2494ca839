#pragma once
// The delivery options wizard without its widgets: the pages and their fields, the values a
// new set starts from, the number bounds, the checks behind Next and Finish with their
// messages, and storing the set. frmSDProfileWiz puts widgets around it.

#include "mailing/MailEvent.h"

#include <QDateTime>
#include <QString>

namespace sendora {

struct AppContext;

// What the pages show, as typed: numbers stay text so that an empty field stays empty.
struct ProfileWizardFields {
    // Page 2.
    QString name;
    QString description;
    // Page 3.
    QString from;
    QString replyTo;
    // Page 4.
    bool sendFiltered = false;
    QString listName;
    QString sqlFilter;
    // Page 5.
    bool sendInBlocks = false; // "Send to the first"
    QString sendBlockSize;
    bool ifNotYetFlagged = false;
    QString sentFlagToCheck;
    bool flagSends = false;
    QString sentFlag;
    // Page 6.
    bool timedBlocks = false;
    QString timedBlockSize;
    QString timeIncrement;
    bool insertTimeDelay = false;
    QString timeDelay;
    // Page 7.
    QString smtpServer;
    QString smtpPort; // empty: the SMTPPort setting
    int smtpTls = TlsAutomatic;
    bool auth = false;
    QString username;
    QString password;
    bool directSend = false;
    // Page 8.
    QString dnsServer;
    QString dnsTimeout;
    QString dnsRetries;
    QString mailerTimeout;
    QString concurrentMailers;
    QString mailRetries;
    bool defaultServer = false;
    QString defaultMail;
};

// LoadProfileWizard: the fields for a set in memory, and the set the fields describe.
ProfileWizardFields LoadProfileWizard(const MailEvent& mep);
MailEvent mailEventFromFields(const ProfileWizardFields& fields);

// A number field's value: the number its text gives with a "0" put in front (empty reads 0).
qint64 readNumber(const QString& text);

// The direct-send numbers with up-down controls.
enum class DirectSendNumber { DnsTimeout, DnsRetries, MailerTimeout, ConcurrentMailers, MailRetries };
struct NumberBounds {
    int lower = 1;
    int upper = 0;        // 0: none
    QString emptyOnLeave; // empty: an empty field stays empty
};
NumberBounds directSendBounds(DirectSendNumber field);
// While typing: above the upper bound the text becomes the bound.
QString directSendOnChange(DirectSendNumber field, const QString& text);
// On leaving the field (and before the page is checked): empty text and the lower bound.
QString directSendOnLeave(DirectSendNumber field, const QString& text);
// One click of the up-down control.
QString directSendStep(DirectSendNumber field, const QString& text, int delta);

// "New  " and the time, "MMM-DD-YYYY HH.MM.SS".
QString newProfileName(const QDateTime& now);

// The example address shown on page 3 and in the address messages.
inline const QString kExampleAddress = QStringLiteral("john.smith@example.com");

class ProfileWizard {
public:
    static constexpr int kPageCount = 8;
    enum class Mode { New, Modify };

    explicit ProfileWizard(AppContext& ctx) : m_ctx(ctx) {}

    // NewProfile and LoadProfile without showing anything. prepareExisting says so and
    // returns false when the set is gone.
    void prepareNew(bool initialization, const QDateTime& now = QDateTime::currentDateTime());
    bool prepareExisting(const QString& name);

    Mode mode() const { return m_mode; }
    bool initialization() const { return m_initialization; }
    ProfileWizardFields fields;
    // Opened from the mailing wizard or the mailing centre: page 4 offers the list choice.
    bool openedFromMailing = false;
    // "Specify Filter..": the chosen list's file for the record selection builder; empty
    // after saying that no list is chosen or that its file is missing.
    QString filterListFile();

    // Texts.
    QString caption() const;
    QString windowTitle(int page) const; // caption + " - Step <n> of <count>"
    QString introText() const;
    QString nameLabel() const;

    // Navigation.
    bool pageEnabled(int page) const { return page >= 1 && page <= kPageCount; }
    int nextPage(int page) const;
    int previousPage(int page) const;
    struct ButtonState {
        bool back = false;
        bool next = false;
        bool finish = false;
        bool finishIsDefault = false;
    };
    ButtonState buttonState(int page) const;
    // WizardPageNew: page 6 selects "no time delays" when neither pacing is on; page 7 puts a
    // placeholder into an empty server. Returns whether "no time delays" is selected.
    bool pageNew(int page);

    // Each check shows its message and names the field to put the focus on; ok when it passes.
    struct Check {
        bool ok = true;
        QString focus; // object name of the field
    };
    Check validatePage(int page);
    Check checkNameOnLeave();

    // Cancel: true when the wizard closes. In initialization mode it asks first, and a Yes
    // also means the whole system ends (endsSystem()).
    bool cancel();
    bool endsSystem() const { return m_endSystem; }
    // The close box with unsaved changes: true when the wizard may close.
    bool confirmClose();

    // WizardProcess: stores the set and makes it current. False when storing failed (logged).
    bool process();

private:
    AppContext& m_ctx;
    Mode m_mode = Mode::New;
    bool m_initialization = false;
    bool m_endSystem = false;
};

} // namespace sendora
