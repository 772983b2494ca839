#pragma once
// The POP accounts of the system database (POPAccounts), as the wizard and sendora-cli
// manage them. Port and security live in two columns added after the table's own.

#include <QString>
#include <QStringList>
#include <optional>

namespace sendora {
struct AppContext;
}

namespace sendora::pop {

inline const QString kNewAccountEntry = QStringLiteral("<New Account>");

// pop_security values. IfOffered: STLS when the server lists it; None: plain POP3, the
// password may travel unencrypted; StartTls: STLS or no login; Tls: TLS from the first byte.
enum class PopSecurity { IfOffered = 0, None = 1, StartTls = 2, Tls = 3 };

struct PopAccount {
    QString id;
    QString userName;
    QString password;
    QString serverName;
    int port = 0; // 0: the security's default (110, 995 for Tls)
    PopSecurity security = PopSecurity::IfOffered;

    int effectivePort() const { return port > 0 ? port : (security == PopSecurity::Tls ? 995 : 110); }
    bool sameFields(const PopAccount& o) const {
        return userName == o.userName && password == o.password && serverName == o.serverName;
    }
};

class PopAccountStore {
public:
    explicit PopAccountStore(AppContext& ctx);

    // "<New Account>" followed by the stored accounts.
    QStringList accountList();
    // The stored account; shows "Can't find the Account" when there is none.
    std::optional<PopAccount> load(const QString& id);
    // Inserts the account under account.id: "This account already exists, please choose
    // another name." for a taken name; "Unable to add your new account. ..." when refused.
    bool add(const PopAccount& account);
    // Asks for the name ("Enter a name for your POP account:") and adds; empty when not added.
    QString askAndAdd(PopAccount account);
    bool update(const PopAccount& account);
    // Asks "Are you sure you want to delete the account:" and deletes on Yes.
    bool remove(const QString& id);

private:
    AppContext& m_ctx;
};

QString securityName(PopSecurity s);
std::optional<PopSecurity> securityFromName(const QString& name);

} // namespace sendora::pop
