#pragma once
// The mailing wizard's process-wide state. List and message windows read it without
// knowing the wizard: it runs, it chose a list, and it can be hidden, shown and told
// of a list, message or delivery options set made for it.

#include <QString>
#include <functional>

namespace sendora {

struct MailingWizardState {
    bool running = false;
    QString listName; // the wizard's chosen list, the merge list of new messages
    // Set by the open wizard window; empty when none is open.
    std::function<void(bool shown)> setVisible;
    std::function<void(const QString& listName)> listChosen;
    std::function<void(const QString& messageName)> messageNamed;
    std::function<void(const QString& profileName)> optionsSaved;

    void show(bool shown) const {
        if (running && setVisible) setVisible(shown);
    }
    void chooseList(const QString& name) const {
        if (running && listChosen) listChosen(name);
    }
    void nameMessage(const QString& name) const {
        if (running && messageNamed) messageNamed(name);
    }
    void saveOptions(const QString& name) const {
        if (running && optionsSaved) optionsSaved(name);
    }
};

inline MailingWizardState& mailingWizardState() {
    static MailingWizardState state;
    return state;
}

} // namespace sendora
