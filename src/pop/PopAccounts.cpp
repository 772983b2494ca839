#include "pop/PopAccounts.h"

#include "components/jet/Jet.h"
#include "components/jet/Transaction.h"
#include "core/AppContext.h"
#include "core/ErrorLog.h"
#include "core/SystemDatabase.h"

namespace sendora::pop {

namespace {

const QString kModule = QStringLiteral(" in frmPOPWizard");
const QString kTable = QStringLiteral("POPAccounts");

// Port and security of an account, in the columns the start-up adds; older files lack them.
void storeConnection(jet::Database& db, const PopAccount& a) {
    if (!db.hasField(kTable, QStringLiteral("pop_port")) ||
        !db.hasField(kTable, QStringLiteral("pop_security")))
        return;
    db.execute(QStringLiteral("UPDATE POPAccounts SET pop_port = %1, pop_security = %2 WHERE AccountID = ")
                       .arg(a.port)
                       .arg(int(a.security)) +
                   jet::quote(a.id) + u';',
               true);
}

} // namespace

QString securityName(PopSecurity s) {
    switch (s) {
    case PopSecurity::None:
        return QStringLiteral("none");
    case PopSecurity::StartTls:
        return QStringLiteral("starttls");
    case PopSecurity::Tls:
        return QStringLiteral("tls");
    case PopSecurity::IfOffered:
        break;
    }
    return QStringLiteral("starttls-if-offered");
}

std::optional<PopSecurity> securityFromName(const QString& name) {
    for (PopSecurity s : {PopSecurity::IfOffered, PopSecurity::None, PopSecurity::StartTls, PopSecurity::Tls})
        if (name.compare(securityName(s), Qt::CaseInsensitive) == 0) return s;
    return std::nullopt;
}

PopAccountStore::PopAccountStore(AppContext& ctx) : m_ctx(ctx) {}

QStringList PopAccountStore::accountList() {
    QStringList ids{kNewAccountEntry};
    try {
        auto db = jet::Database::open(m_ctx.paths.systemDatabase(), jet::Database::OpenMode::ReadOnly);
        for (auto rs = db->openRecordset(QStringLiteral("SELECT * FROM POPAccounts;")); !rs->eof();
             rs->moveNext())
            ids << rs->value(QStringLiteral("AccountID")).toString();
    } catch (const std::exception& e) {
        LogError(m_ctx, QStringLiteral("LoadAccounts") + kModule, errorInfo(e), false);
    }
    return ids;
}

std::optional<PopAccount> PopAccountStore::load(const QString& id) {
    try {
        auto db = jet::Database::open(m_ctx.paths.systemDatabase(), jet::Database::OpenMode::ReadOnly);
        auto rs = db->openRecordset(QStringLiteral("SELECT * FROM POPAccounts WHERE AccountID = ") +
                                    jet::quote(id) + u';');
        if (!rs->eof()) {
            PopAccount a;
            a.id = rs->value(QStringLiteral("AccountID")).toString();
            a.userName = rs->value(QStringLiteral("UserName")).toString();
            a.password = rs->value(QStringLiteral("Password")).toString();
            a.serverName = rs->value(QStringLiteral("ServerName")).toString();
            if (rs->hasField(QStringLiteral("pop_port")))
                a.port = rs->value(QStringLiteral("pop_port")).toInt();
            if (rs->hasField(QStringLiteral("pop_security"))) {
                const int s = rs->value(QStringLiteral("pop_security")).toInt();
                a.security = s >= 0 && s <= 3 ? PopSecurity(s) : PopSecurity::IfOffered;
            }
            return a;
        }
    } catch (const std::exception& e) {
        LogError(m_ctx, QStringLiteral("LoadAccount") + kModule, errorInfo(e), false);
    }
    m_ctx.ui->message(QStringLiteral("Can't find the Account"), Buttons::OK, Icon::Information);
    return std::nullopt;
}

bool PopAccountStore::add(const PopAccount& a) {
    if (a.id.isEmpty() || a.id == kNewAccountEntry ||
        CountRecordsBySpecificStringValue(m_ctx, m_ctx.paths.systemDatabase(), kTable,
                                          QStringLiteral("AccountID"), a.id) > 0) {
        m_ctx.ui->message(QStringLiteral("This account already exists, please choose another name."),
                          Buttons::OK, Icon::Information);
        return false;
    }
    try {
        auto db = jet::Database::open(m_ctx.paths.systemDatabase());
        jet::inTransaction(*db, [&] {
            db->execute(
                QStringLiteral("INSERT INTO POPAccounts(AccountID,UserName,Password,ServerName) VALUES(") +
                    jet::quote(a.id) + u',' + jet::quote(a.userName) + u',' + jet::quote(a.password) + u',' +
                    jet::quote(a.serverName) + QStringLiteral(");"),
                true);
            storeConnection(*db, a);
        });
        return true;
    } catch (const std::exception& e) {
        LogError(m_ctx, QStringLiteral("AddAccount") + kModule, errorInfo(e), false);
        m_ctx.ui->message(
            QStringLiteral("Unable to add your new account. Verify the Account Name you typed in and try "
                           "again."),
            Buttons::OK, Icon::Exclamation);
        return false;
    }
}

QString PopAccountStore::askAndAdd(PopAccount account) {
    const auto name = m_ctx.ui->inputBox(
        QStringLiteral("Enter a name for your POP account:\r\n(eg: Work Email)"), kAppTitle);
    if (!name) return {};
    account.id = name->trimmed();
    return add(account) ? account.id : QString();
}

bool PopAccountStore::update(const PopAccount& a) {
    try {
        auto db = jet::Database::open(m_ctx.paths.systemDatabase());
        jet::inTransaction(*db, [&] {
            db->execute(QStringLiteral("UPDATE PopAccounts SET UserName = ") + jet::quote(a.userName) +
                            QStringLiteral(", Password = ") + jet::quote(a.password) +
                            QStringLiteral(", ServerName = ") + jet::quote(a.serverName) +
                            QStringLiteral(" WHERE AccountID = ") + jet::quote(a.id) + u';',
                        true);
            storeConnection(*db, a);
        });
        return true;
    } catch (const std::exception& e) {
        LogError(m_ctx, QStringLiteral("UpdateAccount") + kModule, errorInfo(e), true);
        return false;
    }
}

bool PopAccountStore::remove(const QString& id) {
    if (id.isEmpty() || id == kNewAccountEntry) return false;
    if (m_ctx.ui->message(
            QStringLiteral("Are you sure you want to delete the account:\r\n\r\n\"") + id + u'"',
            Buttons::YesNo, Icon::Question, QStringLiteral("Delete Confirmation")) != Answer::Yes)
        return false;
    try {
        auto db = jet::Database::open(m_ctx.paths.systemDatabase());
        db->execute(QStringLiteral("DELETE * FROM POPAccounts WHERE AccountID = ") + jet::quote(id) + u';',
                    true);
        return db->recordsAffected() > 0;
    } catch (const std::exception& e) {
        LogError(m_ctx, QStringLiteral("RemoveAccount") + kModule, errorInfo(e), true);
        return false;
    }
}

} // namespace sendora::pop
