#pragma once
// The greeting manager dialog without its widgets: the controls' values, the rules that
// tie them together, the OK check and the two texts the editor shows.

#include "authoring/MessageStore.h"
#include "authoring/Notice.h"

#include <QString>

namespace sendora {

extern const QString kGreetingTemplateDefault; // "{Prefix} {Salutation}"
extern const QString kGroupAddressMissingMessage;

struct GreetingControls {
    bool useGreetingManager = false; // the hidden box
    bool personalAddress = true;     // "Personal Address"; false: "Group Address (faster)"
    QString groupAddress;
    bool personalSalutation = false; // "Personal Salutation"; false: "No Salutation (faster)"
    QString prefix;
    QString punctuation;
    bool useTitle = false;
    bool useFName = false;
    bool useLName = false;
    bool missingFNameOption = false;
    bool missingLNameOption = false;
    QString defaultName;
    QString htmlGreeting;
};

class GreetingModel {
public:
    GreetingModel() = default;
    // Loads the controls from a row's columns (Null leaves a text field empty).
    explicit GreetingModel(const GreetingColumns& columns);

    const GreetingControls& controls() const { return m_c; }

    // The four control rules.
    void setPersonalAddress(bool on); // clears/ticks "Group Address (faster)"
    void setGroupAddress(bool on);    // the other way round
    void setPersonalSalutation(bool on);
    void setGroupAddressText(const QString& text) { m_c.groupAddress = text; }
    void setPrefix(const QString& text) { m_c.prefix = text; }
    void setPunctuation(const QString& text) { m_c.punctuation = text; }
    void setUseTitle(bool on);
    void setUseFName(bool on);
    void setUseLName(bool on);
    void setMissingFNameOption(bool on) { m_c.missingFNameOption = on; }
    void setMissingLNameOption(bool on) { m_c.missingLNameOption = on; }
    void setDefaultName(const QString& text);
    void setHtmlGreeting(const QString& html) { m_c.htmlGreeting = html; }

    bool groupTextEnabled() const { return !m_c.personalAddress; }
    bool prefixEnabled() const { return m_c.personalSalutation; }
    bool punctuationEnabled() const { return m_c.personalSalutation; }
    // Rule 4: the editor's greeting display is enabled exactly when the hidden box is ticked.
    bool greetingDisplayEnabled() const { return m_c.useGreetingManager; }

    // OK: the refusal, or nothing when the columns may be written.
    Notice validate() const;
    // The columns OK writes; text columns that are empty keep the value in base.
    GreetingColumns toColumns(const GreetingColumns& base) const;

    // The editor's two displays for these settings.
    QString toDisplay() const;
    QString greetingDisplay() const;

private:
    void updateUseGreetingManager();

    GreetingControls m_c;
};

// The editor's displays straight from stored columns (opening a message).
QString toAddressDisplay(const GreetingColumns& columns);
QString greetingDisplayText(const GreetingColumns& columns);
// True when the message has UseGreetingManager present, not empty and true.
bool greetingManagerEnabled(const GreetingColumns& columns);

} // namespace sendora
