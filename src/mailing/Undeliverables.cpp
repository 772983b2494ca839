#include "mailing/Undeliverables.h"

#include "components/jet/Jet.h"
#include "core/AppContext.h"
#include "core/ErrorLog.h"

namespace sendora {

namespace {

constexpr const char* kCountSql[6] = {
    R"(SELECT COUNT(*) FROM AddressList WHERE error <> "")",
    R"(SELECT COUNT(*) FROM AddressList WHERE error = "DNS TIMEOUT")",
    R"(SELECT COUNT(*) FROM AddressList WHERE error = "MAILER TIMEOUT")",
    R"(SELECT COUNT(*) FROM AddressList WHERE error LIKE "MX Error*")",
    R"(SELECT COUNT(*) FROM AddressList WHERE error LIKE "Mailer Error*")",
    R"(SELECT COUNT(*) FROM AddressList WHERE error LIKE "Socket Error*")",
};

// The procedure each count is logged under when it fails.
constexpr const char* kCountCallers[6] = {"countAllErrors", "countDNSTimeouts",  "countMailerTimeouts",
                                          "countDNSErrors", "countMailerErrors", "countSocketErrors"};

constexpr const char* kDeleteSql[6] = {
    R"(DELETE * FROM addresslist WHERE error <> "")",
    R"(DELETE * FROM addresslist WHERE error = "DNS TIMEOUT")",
    R"(DELETE * FROM addresslist WHERE error = "MAILER TIMEOUT")",
    R"(DELETE * FROM addresslist WHERE error LIKE "MX Error*")",
    R"(DELETE * FROM addresslist WHERE error LIKE "Mailer Error*")",
    R"(DELETE * FROM addresslist WHERE error LIKE "Socket Error*")",
};

} // namespace

const std::array<QString, 6>& CUndeliverables::labels() {
    static const std::array<QString, 6> names = {
        QStringLiteral("All undeliverable addresses"),
        QStringLiteral("DNS timeouts"),
        QStringLiteral("Mailer timeouts"),
        QStringLiteral("MX errors"),
        QStringLiteral("Mailer errors"),
        QStringLiteral("Socket errors"),
    };
    return names;
}

QStringList CUndeliverables::listNames() {
    QStringList names;
    try {
        auto db = jet::Database::open(m_ctx.paths.systemDatabase(), jet::Database::OpenMode::ReadOnly);
        for (auto rs = db->openRecordset(QStringLiteral("SELECT listname FROM list")); !rs->eof();
             rs->moveNext())
            names << rs->value(0).toString();
    } catch (const std::exception& e) {
        m_failed = true;
        LogError(m_ctx, QStringLiteral("listNames in CUndeliverables"), errorInfo(e), false);
    }
    return names;
}

QString CUndeliverables::getPathName() {
    try {
        auto db = jet::Database::open(m_ctx.paths.systemDatabase(), jet::Database::OpenMode::ReadOnly);
        auto rs = db->openRecordset(QStringLiteral("SELECT listpath FROM list WHERE listname = ") +
                                    jet::quote(addressList));
        return rs->eof() ? QString() : rs->value(0).toString();
    } catch (const std::exception& e) {
        m_failed = true;
        LogError(m_ctx, QStringLiteral("getPathName in CUndeliverables"), errorInfo(e), false);
        return {};
    }
}

qint32 CUndeliverables::count(const QString& listPath, int category) {
    try {
        auto db = jet::Database::open(m_ctx.paths.addressLists + listPath, jet::Database::OpenMode::ReadOnly);
        if (!db->hasField(QStringLiteral("AddressList"), QStringLiteral("error"))) return 0;
        auto rs = db->openRecordset(QLatin1String(kCountSql[category]));
        return rs->eof() ? 0 : rs->value(0).toInt();
    } catch (const std::exception& e) {
        m_failed = true;
        LogError(m_ctx, QLatin1String(kCountCallers[category]) + QStringLiteral(" in CUndeliverables"),
                 errorInfo(e), false);
        return 0;
    }
}

qint32 CUndeliverables::countAllErrors(const QString& listPath) {
    return count(listPath, 0);
}

std::array<qint32, 6> CUndeliverables::countAll(const QString& listPath) {
    std::array<qint32, 6> counts{};
    for (int category = 0; category < 6; ++category)
        counts[category] = count(listPath, category);
    return counts;
}

bool CUndeliverables::Remove() {
    const bool selected[6] = {allErrors, dnsTimeouts, mailerTimeouts, dnsErrors, mailerErrors, socketErrors};
    const QString file = m_ctx.paths.addressLists + getPathName();
    bool ok = true;
    for (int i = 0; i < 6; ++i) {
        if (!selected[i]) continue;
        try {
            // Each delete on its own connection: a failed one leaves the next to run.
            auto db = jet::Database::open(file);
            if (db->hasField(QStringLiteral("AddressList"), QStringLiteral("error")))
                db->execute(QLatin1String(kDeleteSql[i]));
            db->close();
        } catch (const std::exception& e) {
            ok = false;
            m_failed = true;
            LogError(m_ctx, QStringLiteral("Remove in CUndeliverables"), errorInfo(e), false);
        }
    }
    return ok;
}

} // namespace sendora
