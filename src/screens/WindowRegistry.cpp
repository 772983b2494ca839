#include "screens/WindowRegistry.h"

#include <QRandomGenerator>

namespace sendora {

QString WindowRegistry::add(ActiveChild kind, const QString& caption) {
    QString key;
    do
        key = QStringLiteral("W%1").arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
    while (m_entries.contains(key));
    m_entries.insert(key, {kind, caption});
    return key;
}

void WindowRegistry::remove(const QString& key) {
    m_entries.remove(key);
}

void WindowRegistry::setCaption(const QString& key, const QString& caption) {
    auto it = m_entries.find(key);
    if (it != m_entries.end()) it->caption = caption;
}

ActiveChild WindowRegistry::kind(const QString& key) const {
    return m_entries.value(key, {ActiveChild::None, {}}).kind;
}

QString WindowRegistry::caption(const QString& key) const {
    return m_entries.value(key).caption;
}

int WindowRegistry::count(ActiveChild kind) const {
    int n = 0;
    for (const Entry& e : m_entries)
        n += e.kind == kind ? 1 : 0;
    return n;
}

QString WindowRegistry::limitMessage(bool opening) {
    return opening ? QStringLiteral(
                         "You must close some of your open lists and messages before opening any new ones.")
                   : QStringLiteral(
                         "You must close some of your open lists and messages before creating any new ones.");
}

QString listCountText(int lists) {
    return QStringLiteral("Lists: %1").arg(lists);
}
QString messageCountText(int messages) {
    return QStringLiteral("Messages: %1").arg(messages);
}

} // namespace sendora
