#pragma once
// The mailing wizard without its widgets: the pages and their texts, the choices of group,
// list, message and delivery options, the checks behind Next with their messages, the
// creation flows it starts, and Finish, which prepares the mailing in the mailing centre.
// While one runs, the process-wide wizard state (core/WizardState.h) is set.

#include <QString>
#include <QStringList>
#include <functional>

namespace sendora {

struct AppContext;

class MailingWizard {
public:
    enum Page { Welcome, Group, List, ListResult, Message, MessageResult, Options, OptionsResult, Final };
    static constexpr int kPageCount = Final + 1;
    enum class NewList { Blank, Mailbox, Contacts };

    static const QString kCaption;
    static const QString kUndefinedMessage; // CurMessage while no message is named
    static const QString kNoListResult;     // the list result before a list was made
    static const QString kExitQuestion;
    static const QString kInvalidGroupName;
    static QString pageTitle(int page);
    static QString pageText(int page); // the fixed text of a page

    explicit MailingWizard(AppContext& ctx);
    ~MailingWizard();

    // Load: clears the choices and sets the wizard-running flag. end() clears the flag.
    void begin();
    void end();
    bool running() const { return m_running; }

    int page() const { return m_page; }
    QString stepCaption() const; // "<title> - Step <n> of <total>"
    // Next: validates the page (ReturnValueGoNextPage); false keeps the page.
    bool next();
    void back();
    bool ReturnValueGoNextPage();

    // The choice lists, read afresh each time.
    QStringList groupNames() const;
    QStringList listNames() const;
    QStringList messageNames() const;
    QStringList profileNames() const;
    QString groupDescription(const QString& name) const;
    QString listDescription(const QString& name) const;
    QString messageDescription(const QString& name) const;
    QString profileDescription(const QString& name) const;

    // Page 2.
    bool newGroup = false;
    QString existingGroup;
    QString newGroupName;
    QString newGroupDescription;
    // Page 3.
    bool newList = false;
    QString existingList;
    NewList newListKind = NewList::Blank;
    // Page 5.
    bool newMessage = true;
    QString existingMessage;
    // Page 7.
    bool newOptions = false;
    QString existingOptions;
    // Final page.
    bool sendNow = false;
    bool showCentral = true;

    // The results the result pages show.
    QString group() const { return newGroup ? newGroupName.trimmed() : existingGroup; }
    QString listResult() const { return m_list; }
    QString messageResult() const { return m_message; }
    QString optionsResult() const { return m_options; }

    // "Create a new message": a new editor, whose name comes back through messageNamed.
    bool createNewMessage();
    // A new delivery options set through the delivery options wizard.
    bool createNewOptions();
    // Opens the chosen existing list, message or set for a look.
    bool openExisting(Page page);

    // What the creation flows report back.
    void listChosen(const QString& name);
    void messageNamed(const QString& name);
    void optionsSaved(const QString& name);

    // The new-list flows (blank list, mailbox import, contact import); the window plugs them in.
    std::function<void(NewList kind)> createList;
    // The mailing centre: prepares and returns the outline row (-1 on failure); shows itself;
    // sends a row. Without prepare the mailing goes straight into the system database.
    std::function<int(const QString& group, const QString& list, const QString& message,
                      const QString& options)>
        prepare;
    std::function<void()> showCentre;
    std::function<void(int row)> send;

    // Finish: validates, creates a new group, prepares and (on request) shows and sends.
    bool finish();
    bool finished() const { return m_finished; }
    // Closing before Finish asks first; true lets the wizard close.
    bool Form_QueryUnload();

private:
    bool validate(int page);
    bool refuse(const QString& text);

    AppContext& m_ctx;
    int m_page = Welcome;
    bool m_running = false;
    bool m_finished = false;
    bool m_awaitingMessage = false;
    QString m_list;
    QString m_message;
    QString m_options;
};

} // namespace sendora
