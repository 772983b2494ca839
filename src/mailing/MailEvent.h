#pragma once
// Delivery options in memory: one Profile row, loaded by name before a mailing is prepared
// and read by every sending step. Despite its name it holds a Profile row, not a MailEvent row.

#include <QString>

namespace sendora {

struct AppContext;

struct MailEvent {
    QString ProfileName;
    QString ProfileDescription;
    QString From;
    QString ReplyTo;
    bool bSendFiltered = false;
    QString SQLFilter;
    bool bFlagSends = false;
    QString SentFlag;
    bool bSendInBlocks = false;
    qint32 SendBlockSize = 0;
    bool bIfNotYetFlagged = false;
    QString SentFlagToCheck;
    bool bTimedBlocks = false;
    qint32 TimedBlockSize = 0;
    qint16 TimeIncrement = 0;
    bool bInsertTimeDelay = false;
    qint32 TimeDelay = 0; // tenths of a second
    QString SmtpServer;
    bool auth = false;
    QString username;
    QString password;
    bool direct_send = false;
    QString dns_server;
    qint16 dns_timeout = 0;
    qint32 mailer_timeout = 0;
    qint16 concurrent_mailers = 0;
    qint16 dns_retries = 0;
    qint16 mail_retries = 0;
    bool default_server = false;
    QString default_mail;

    // Relay port and TLS: kept in columns added beside the fixed Profile layout.
    qint32 smtp_port = 0; // 0: the SMTPPort setting
    qint16 smtp_tls = 0;  // a SmtpTlsChoice
};

// How the relay connection is secured.
enum SmtpTlsChoice : qint16 {
    TlsAutomatic = 0,        // port 465: TLS from the start; otherwise STARTTLS when offered
    TlsStartTlsRequired = 1, // refuse to send without STARTTLS
    TlsImplicit = 2,         // TLS from the start on any port
    TlsNone = 3,             // plain text
};

// The relay port for these options: their own when set, else the setting.
int relayPortFor(const MailEvent& options, int settingPort);

// Loads the Profile row of that name. Errors are logged; a field that cannot be converted
// keeps its previous value. A blank dns_server becomes the machine's first DNS server.
void GetMEPFromDB(AppContext& ctx, MailEvent& mep, const QString& profileName);

// Replaces the row named values.ProfileName by these values (delete, then insert, in one
// transaction so a failed insert keeps the previous row). Values are stored exactly as given.
bool storeMEP(AppContext& ctx, const MailEvent& values);

// The statement storeMEP runs, with the values quoted by the storage layer.
QString storeMEPStatement(const MailEvent& values);

// The first "nameserver" of a resolver configuration file, at most 16 characters; empty
// when there is none.
QString machineDnsServer(const QString& resolvConf = QStringLiteral("/etc/resolv.conf"));

} // namespace sendora
