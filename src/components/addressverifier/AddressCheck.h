#pragma once
// One verifier slot as the verification run sees it: configured once, handed one address at
// a time, polled until its state is Done, then read for a verdict and a log text. The run's
// clock may abandon a check at any time; the slot is then idle again.

#include <QString>

namespace sendora::verifier {

inline const QString kExist = QStringLiteral("Exist");
inline const QString kBadSyntax = QStringLiteral("Bad Syntax");
inline const QString kNotInDns = QStringLiteral("Not in DNS");
inline const QString kNotInSmtp = QStringLiteral("Not in SMTP");
inline const QString kUnknown = QStringLiteral("Unknown");

enum CheckState { Idle = 0, Resolving = 1, Talking = 2, Done = 3 };

class AddressCheck {
public:
    virtual ~AddressCheck() = default;

    virtual void setEnabled(bool on) = 0;
    virtual void setOption(int value) = 0;
    virtual void setMailFrom(const QString& address) = 0;
    virtual void setPrimaryDns(const QString& server) = 0;
    virtual void setSecondaryDns(const QString& server) = 0;
    virtual void setDomainName(const QString& domain) = 0;

    // Starts checking; returns at once. A slot that is not idle refuses (false).
    virtual bool check(const QString& address) = 0;
    virtual int state() const = 0;
    virtual QString verdict() const = 0;
    virtual QString logText() const = 0;
    // Forgets the current check; a late answer for it is dropped.
    virtual void abandon() = 0;
};

} // namespace sendora::verifier
