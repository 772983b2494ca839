#include "authoring/GreetingModel.h"

#include "components/jet/Jet.h"
#include "mailing/compose/Merge.h"

#include <QStringList>

namespace sendora {

const QString kGreetingTemplateDefault = QStringLiteral("{Prefix} {Salutation}");
const QString kGroupAddressMissingMessage = QStringLiteral(
    "The Group Address option has been selected, but is missing an address.  Please enter this "
    "value or use the Personalized Address instead.");

namespace {

bool flag(const QVariant& v) {
    return !v.isNull() && v.toInt() != 0;
}

QString tag(const char* column) {
    return kTagOpen + QLatin1String(column) + kTagClose;
}

// The chosen name tags in greeting order.
QStringList nameTags(const GreetingControls& c) {
    QStringList tags;
    if (c.useTitle) tags << tag("Title");
    if (c.useFName) tags << tag("FirstName");
    if (c.useLName) tags << tag("LastName");
    return tags;
}

} // namespace

GreetingModel::GreetingModel(const GreetingColumns& g) {
    m_c.useGreetingManager = flag(g.useGreetingManager);
    m_c.useTitle = flag(g.useTitle);
    m_c.useFName = flag(g.useFName);
    m_c.useLName = flag(g.useLName);
    m_c.missingFNameOption = flag(g.missingFNameOption);
    m_c.missingLNameOption = flag(g.missingLNameOption);
    m_c.defaultName = g.genericName.toString();
    m_c.punctuation = g.punctuation.toString();
    m_c.prefix = g.salutation.toString();
    m_c.groupAddress = g.groupAddress.toString();
    m_c.personalAddress = !g.addressType.isNull() && g.addressType.toInt() == 1;
    m_c.personalSalutation = !g.greetingType.isNull() && g.greetingType.toInt() == 1;
    m_c.htmlGreeting = g.htmlGreeting.toString();
    if (m_c.htmlGreeting.isEmpty()) m_c.htmlGreeting = kGreetingTemplateDefault;
}

void GreetingModel::setPersonalAddress(bool on) {
    m_c.personalAddress = on;
}

void GreetingModel::setGroupAddress(bool on) {
    m_c.personalAddress = !on;
}

void GreetingModel::setPersonalSalutation(bool on) {
    m_c.personalSalutation = on;
    updateUseGreetingManager();
}

void GreetingModel::setUseTitle(bool on) {
    m_c.useTitle = on;
    updateUseGreetingManager();
}

void GreetingModel::setUseFName(bool on) {
    m_c.useFName = on;
    updateUseGreetingManager();
}

void GreetingModel::setUseLName(bool on) {
    m_c.useLName = on;
    updateUseGreetingManager();
}

void GreetingModel::setDefaultName(const QString& text) {
    m_c.defaultName = text;
    updateUseGreetingManager();
}

void GreetingModel::updateUseGreetingManager() {
    m_c.useGreetingManager =
        m_c.personalSalutation && (m_c.useFName || m_c.useLName || !m_c.defaultName.isEmpty());
}

Notice GreetingModel::validate() const {
    if (!m_c.personalAddress && m_c.groupAddress.isEmpty())
        return {kGroupAddressMissingMessage, Icon::Exclamation, kAppTitle};
    return {};
}

GreetingColumns GreetingModel::toColumns(const GreetingColumns& base) const {
    auto b = [](bool on) { return QVariant(on ? jet::True : jet::False); };
    GreetingColumns g = base;
    g.useGreetingManager = b(m_c.useGreetingManager);
    g.useTitle = b(m_c.useTitle);
    g.useFName = b(m_c.useFName);
    g.useLName = b(m_c.useLName);
    g.missingFNameOption = b(m_c.missingFNameOption);
    g.missingLNameOption = b(m_c.missingLNameOption);
    g.addressType = m_c.personalAddress ? 1 : 0;
    g.greetingType = m_c.personalSalutation ? 1 : 0;
    // An emptied text field leaves the stored value as it was.
    if (!m_c.defaultName.isEmpty()) g.genericName = m_c.defaultName;
    if (!m_c.punctuation.isEmpty()) g.punctuation = m_c.punctuation;
    if (!m_c.prefix.isEmpty()) g.salutation = m_c.prefix;
    if (!m_c.groupAddress.isEmpty()) g.groupAddress = m_c.groupAddress;
    g.htmlGreeting = m_c.htmlGreeting;
    return g;
}

QString GreetingModel::toDisplay() const {
    if (!m_c.personalAddress) return m_c.groupAddress;
    QString display;
    for (const QString& t : nameTags(m_c))
        display += QLatin1Char(' ') + t;
    return display + QLatin1Char(' ') + tag("Eaddress");
}

QString GreetingModel::greetingDisplay() const {
    if (!m_c.personalSalutation) return {};
    QStringList words;
    if (!m_c.prefix.isEmpty()) words << m_c.prefix;
    const QStringList tags = nameTags(m_c);
    if (!tags.isEmpty())
        words << tags;
    else if (!m_c.defaultName.isEmpty())
        words << m_c.defaultName;
    else
        return {};
    return words.join(QLatin1Char(' ')) + m_c.punctuation;
}

QString toAddressDisplay(const GreetingColumns& columns) {
    return GreetingModel(columns).toDisplay();
}

QString greetingDisplayText(const GreetingColumns& columns) {
    return GreetingModel(columns).greetingDisplay();
}

bool greetingManagerEnabled(const GreetingColumns& columns) {
    const QVariant& v = columns.useGreetingManager;
    return !v.isNull() && !v.toString().isEmpty() && flag(v);
}

} // namespace sendora
