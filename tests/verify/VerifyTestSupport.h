#pragma once
// Lists to verify and scripted verifier slots for the verification tests.

#include "components/addressverifier/AddressCheck.h"
#include "components/jet/Jet.h"
#include "support/DbQuery.h"
#include "support/TestApp.h"

#include <QHash>
#include <QSet>
#include <memory>

namespace sendora::test {

// A catalogued list AddressLists/<name>.mdb: one row per address, with first and last names
// and an old Keyword2 value.
inline QString makeVerifyList(TestApp& app, const QString& name, const QStringList& addresses) {
    const QString file = app.ctx->paths.listFile(name + QStringLiteral(".mdb"));
    auto db = createAddressList(file);
    for (const QString& a : addresses)
        db->execute(QStringLiteral("INSERT INTO AddressList(EAddress,FirstName,LastName,Keyword2) "
                                   "VALUES(%1,\"F-%2\",\"L-%2\",\"old\")")
                        .arg(jet::quote(a), a.section(u'@', 0, 0)));
    catalogueList(app.ctx->paths.systemDatabase(), name);
    return file;
}

// "address|column" of every row, ordered by address.
inline QStringList rowsOf(const QString& file, const QString& column) {
    QStringList out;
    auto db = jet::Database::open(file, jet::Database::OpenMode::ReadOnly);
    for (auto rs = db->openRecordset(
             QStringLiteral("SELECT EAddress, %1 FROM AddressList ORDER BY EAddress").arg(column));
         !rs->eof(); rs->moveNext())
        out << rs->value(0).toString() + u'|' + rs->value(1).toString();
    return out;
}

// Verdicts by address; an address without one never finishes. Counts the checks at work.
struct Script {
    QHash<QString, QString> verdicts;
    int active = 0;
    int peak = 0;
    int created = 0;
    QStringList settings; // what the slots were told, once per slot
};

class ScriptedCheck : public verifier::AddressCheck {
public:
    explicit ScriptedCheck(Script& s) : m_s(s) { ++m_s.created; }
    ~ScriptedCheck() override { abandon(); }
    void setEnabled(bool on) override { m_seen << QStringLiteral("enabled=%1").arg(on); }
    void setOption(int v) override { m_seen << QStringLiteral("option=%1").arg(v); }
    void setMailFrom(const QString& a) override { m_seen << QStringLiteral("from=") + a; }
    void setPrimaryDns(const QString& a) override { m_seen << QStringLiteral("dns1=") + a; }
    void setSecondaryDns(const QString& a) override { m_seen << QStringLiteral("dns2=") + a; }
    void setDomainName(const QString& a) override {
        m_seen << QStringLiteral("domain=") + a;
        m_s.settings << m_seen.join(u',');
    }
    bool check(const QString& address) override {
        if (m_busy) return false;
        m_address = address;
        m_busy = true;
        m_s.peak = std::max(m_s.peak, ++m_s.active);
        return true;
    }
    int state() const override {
        return m_busy ? (m_s.verdicts.contains(m_address) ? verifier::Done : verifier::Talking)
                      : verifier::Idle;
    }
    QString verdict() const override { return m_s.verdicts.value(m_address); }
    QString logText() const override { return QStringLiteral("scripted ") + m_address; }
    void abandon() override {
        if (m_busy) --m_s.active;
        m_busy = false;
    }

private:
    Script& m_s;
    QStringList m_seen;
    QString m_address;
    bool m_busy = false;
};

} // namespace sendora::test
