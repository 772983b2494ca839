#pragma once
// The Undeliverable Manager's logic: counts the rows of an address list by the cause that
// direct send wrote into their `error` column, and deletes the causes the user selected.

#include <QString>
#include <QStringList>
#include <array>

namespace sendora {

struct AppContext;

class CUndeliverables {
public:
    explicit CUndeliverables(AppContext& ctx) : m_ctx(ctx) {}

    // Category flags, in the order the counts and the deletes run.
    bool allErrors = false;
    bool dnsTimeouts = false;
    bool mailerTimeouts = false;
    bool dnsErrors = false;
    bool mailerErrors = false;
    bool socketErrors = false;
    QString addressList;

    // Names of every catalogued list (empty when none, or when the catalogue cannot be read).
    QStringList listNames();
    // The list's ListPath from the catalogue; empty when the list is not catalogued.
    QString getPathName();

    // Counts run on the list file at AddressLists + listPath. A list never sent by direct
    // send has no `error` column and counts 0; a count that fails is logged and gives 0
    // (failed() tells).
    qint32 countAllErrors(const QString& listPath);
    // The six counts in their display order.
    std::array<qint32, 6> countAll(const QString& listPath);

    // Runs the delete of every selected category on the list named by addressList. False
    // when a statement failed (it is logged; the others still run).
    bool Remove();

    // A count, a delete or the catalogue read failed since the object was made.
    bool failed() const { return m_failed; }

    // Display labels of the six categories, in order.
    static const std::array<QString, 6>& labels();

private:
    qint32 count(const QString& listPath, int category);

    AppContext& m_ctx;
    bool m_failed = false;
};

} // namespace sendora
