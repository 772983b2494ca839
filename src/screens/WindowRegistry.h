#pragma once
// The main window's collection of open child windows: kinds, captions, the window limit
// and the caption counter. Widgets map their windows to the keys handed out here.

#include "screens/Commands.h"

#include <QMap>
#include <QString>
#include <QStringList>

namespace sendora {

class WindowRegistry {
public:
    // New or opened lists and messages are refused while more than this many are open.
    static constexpr int kWindowLimit = 40;

    // Registers a window under a random key.
    QString add(ActiveChild kind, const QString& caption);
    void remove(const QString& key);
    void setCaption(const QString& key, const QString& caption);
    bool contains(const QString& key) const { return m_entries.contains(key); }
    ActiveChild kind(const QString& key) const;
    QString caption(const QString& key) const;

    int count(ActiveChild kind) const;
    int listAndMessageWindows() const { return count(ActiveChild::List) + count(ActiveChild::Message); }
    bool refusesNewWindows() const { return listAndMessageWindows() > kWindowLimit; }
    static QString limitMessage(bool opening);

    // getCaptionNumber: 1, 2, ... for "Untitled Mailing List <n>"; wraps like a 16-bit counter.
    quint16 nextCaptionNumber() { return ++m_captionNumber; }

    // Set by a list or message window whose close was cancelled; stops an exit in progress.
    bool closeCancelled = false;

private:
    struct Entry {
        ActiveChild kind;
        QString caption;
    };
    QMap<QString, Entry> m_entries;
    quint16 m_captionNumber = 0;
};

// Status bar panel texts.
QString listCountText(int lists);       // "Lists: <n>"
QString messageCountText(int messages); // "Messages: <m>"

} // namespace sendora
