#include "mailing/MailEvent.h"

#include "components/jet/Jet.h"
#include "components/jet/Transaction.h"
#include "core/AppContext.h"
#include "core/ErrorLog.h"

#include <QFile>
#include <functional>
#include <limits>

namespace sendora {

namespace {

QString checkState(bool value) {
    return value ? QStringLiteral("1") : QStringLiteral("0");
}

template <typename Int> bool toInt(const QVariant& v, Int& out) {
    if (v.isNull()) return false;
    bool ok = false;
    const qlonglong n = v.toString().trimmed().toLongLong(&ok);
    if (!ok || n < std::numeric_limits<Int>::min() || n > std::numeric_limits<Int>::max()) return false;
    out = static_cast<Int>(n);
    return true;
}

} // namespace

QString machineDnsServer(const QString& resolvConf) {
    QFile f(resolvConf);
    if (!f.open(QIODevice::ReadOnly)) return {};
    while (!f.atEnd()) {
        const QString line = QString::fromLatin1(f.readLine()).trimmed();
        if (!line.startsWith(QLatin1String("nameserver"))) continue;
        const QString address = line.mid(10).trimmed().section(u' ', 0, 0);
        if (!address.isEmpty()) return address.left(16);
    }
    return {};
}

void GetMEPFromDB(AppContext& ctx, MailEvent& m, const QString& profileName) {
    const QString caller = QStringLiteral("GetMEPFromDB");
    std::unique_ptr<jet::Database> db;
    std::unique_ptr<jet::Recordset> rs;
    try {
        db = jet::Database::open(ctx.paths.systemDatabase(), jet::Database::OpenMode::ReadOnly);
        rs = db->openRecordset(QStringLiteral("Profile"));
        rs->findFirst(QStringLiteral("ProfileName = ") + jet::quote(profileName));
    } catch (const std::exception& e) {
        LogError(ctx, caller, errorInfo(e), false);
        return;
    }
    if (rs->noMatch() || rs->eof()) return;

    // Each field on its own: a failed read or conversion keeps the previous value.
    auto read = [&](const char* column, const std::function<void(const QVariant&)>& apply) {
        try {
            apply(rs->value(QLatin1String(column)));
        } catch (const std::exception& e) {
            LogError(ctx, caller, errorInfo(e), false);
        }
    };
    auto text = [&](const char* column, QString& out) {
        read(column, [&](const QVariant& v) { out = v.isNull() ? QString("") : v.toString(); });
    };
    auto flag = [&](const char* column, bool& out) {
        read(column, [&](const QVariant& v) {
            if (!v.isNull()) out = v.toLongLong() != 0;
        });
    };
    auto count = [&](const char* column, qint32& out) {
        read(column, [&](const QVariant& v) {
            if (v.isNull())
                out = 0;
            else
                toInt(v, out);
        });
    };
    auto number16 = [&](const char* column, qint16& out) {
        read(column, [&](const QVariant& v) { toInt(v, out); });
    };
    auto number32 = [&](const char* column, qint32& out) {
        read(column, [&](const QVariant& v) { toInt(v, out); });
    };

    text("ProfileName", m.ProfileName);
    text("ProfileDescription", m.ProfileDescription);
    text("From", m.From);
    text("ReplyTo", m.ReplyTo);
    flag("bSendFiltered", m.bSendFiltered);
    text("SQLFilter", m.SQLFilter);
    flag("bFlagSends", m.bFlagSends);
    text("SentFlag", m.SentFlag);
    flag("bSendInBlocks", m.bSendInBlocks);
    count("SendBlockSize", m.SendBlockSize);
    flag("bIfNotYetFlagged", m.bIfNotYetFlagged);
    text("SentFlagToCheck", m.SentFlagToCheck);
    flag("bTimedBlocks", m.bTimedBlocks);
    count("TimedBlockSize", m.TimedBlockSize);
    read("TimeIncrement", [&](const QVariant& v) {
        qint32 wide = 0;
        if (toInt(v, wide)) m.TimeIncrement = static_cast<qint16>(wide);
    });
    flag("bInsertTimeDelay", m.bInsertTimeDelay);
    count("TimeDelay", m.TimeDelay);
    text("SmtpServer", m.SmtpServer);
    flag("auth", m.auth);
    text("username", m.username);
    text("password", m.password);
    flag("direct_send", m.direct_send);
    text("dns_server", m.dns_server);
    number16("dns_timeout", m.dns_timeout);
    number32("mailer_timeout", m.mailer_timeout);
    number16("concurrent_mailers", m.concurrent_mailers);
    number16("dns_retries", m.dns_retries);
    number16("mail_retries", m.mail_retries);
    read("default_server", [&](const QVariant& v) {
        qint32 n = 0;
        if (toInt(v, n)) m.default_server = n != 0;
    });
    text("default_mail", m.default_mail);
    // Older files lack these columns: absent or null means "as the settings say".
    auto added = [&](const char* column, auto& out) {
        out = 0;
        if (rs->hasField(QLatin1String(column))) read(column, [&](const QVariant& v) { toInt(v, out); });
    };
    added("smtp_port", m.smtp_port);
    added("smtp_tls", m.smtp_tls);

    if (m.dns_server.trimmed().isEmpty()) m.dns_server = machineDnsServer();
}

int relayPortFor(const MailEvent& options, int settingPort) {
    return options.smtp_port > 0 && options.smtp_port <= 65535 ? options.smtp_port : settingPort;
}

// SQLFilter travels in single quotes so that the double quotes of a Jet clause survive.
QString storeMEPStatement(const MailEvent& v) {
    using jet::quote;
    return QStringLiteral(
               "INSERT INTO Profile(ProfileName, ProfileDescription, [From], ReplyTo, bSendFiltered, "
               "SQLFilter, bFlagSends, SentFlag, bSendInBlocks, SendBlockSize, bIfNotYetFlagged, "
               "SentFlagToCheck, bTimedBlocks, TimedBlockSize, TimeIncrement, bInsertTimeDelay, TimeDelay, "
               "SmtpServer, direct_send, dns_timeout, mailer_timeout, concurrent_mailers,  "
               "dns_server,dns_retries,auth,username,password,mail_retries,default_server,default_mail)") +
           QStringLiteral(" VALUES(") + quote(v.ProfileName) + u',' + quote(v.ProfileDescription) + u',' +
           quote(v.From) + u',' + quote(v.ReplyTo) + u',' + checkState(v.bSendFiltered) + u',' +
           jet::quoteSingle(v.SQLFilter) + u',' + checkState(v.bFlagSends) + u',' + quote(v.SentFlag) + u',' +
           checkState(v.bSendInBlocks) + u',' + QString::number(v.SendBlockSize) + u',' +
           checkState(v.bIfNotYetFlagged) + u',' + quote(v.SentFlagToCheck) + u',' +
           checkState(v.bTimedBlocks) + u',' + QString::number(v.TimedBlockSize) + u',' +
           QString::number(v.TimeIncrement) + u',' + checkState(v.bInsertTimeDelay) + u',' +
           QString::number(v.TimeDelay) + u',' + quote(v.SmtpServer) + QStringLiteral(", ") +
           checkState(v.direct_send) + u',' + QString::number(v.dns_timeout) + QStringLiteral(" , ") +
           QString::number(v.mailer_timeout) + u',' + QString::number(v.concurrent_mailers) + u',' +
           quote(v.dns_server) + u',' + QString::number(v.dns_retries) + u',' + checkState(v.auth) + u',' +
           quote(v.username) + u',' + quote(v.password) + u',' + quote(QString::number(v.mail_retries)) +
           u',' + checkState(v.default_server) + u',' + quote(v.default_mail) + u')';
}

bool storeMEP(AppContext& ctx, const MailEvent& values) {
    try {
        auto db = jet::Database::open(ctx.paths.systemDatabase());
        const QString name = jet::quote(values.ProfileName);
        db->openRecordset(QStringLiteral("SELECT * FROM Profile WHERE ProfileName = ") + name);
        jet::inTransaction(*db, [&] {
            db->execute(QStringLiteral("Delete * FROM Profile WHERE ProfileName = ") + name);
            db->execute(storeMEPStatement(values), true);
            if (db->hasField(QStringLiteral("Profile"), QStringLiteral("smtp_port")) &&
                db->hasField(QStringLiteral("Profile"), QStringLiteral("smtp_tls")))
                db->execute(
                    QStringLiteral("UPDATE Profile SET smtp_port = %1, smtp_tls = %2 WHERE ProfileName = ")
                            .arg(values.smtp_port)
                            .arg(values.smtp_tls) +
                        name,
                    true);
        });
        return true;
    } catch (const std::exception& e) {
        LogError(ctx, QStringLiteral("storeMEP"), errorInfo(e), false);
        return false;
    }
}

} // namespace sendora
