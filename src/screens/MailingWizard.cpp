#include "screens/MailingWizard.h"

#include "core/AppContext.h"
#include "core/Catalogue.h"
#include "core/Settings.h"
#include "core/WizardState.h"
#include "screens/SDCentral.h"

namespace sendora {

namespace {

const QString kSelectGroup = QStringLiteral("Please select a Sendora or create a new Sendora");
const QString kNameGroup = QStringLiteral("Please supply a Sendora name or select an existing Sendora");
const QString kSelectList = QStringLiteral("Please select an Address List.");
const QString kCreateList = QStringLiteral("Please create or specify a mailing list for this Sendora");
const QString kSelectMessage = QStringLiteral("Please select a message.");
const QString kNameMessage = QStringLiteral("Please select or create and name a new message");
const QString kSelectOptions = QStringLiteral("Please select or create a mailing options set");
const QString kUsingDefaultOptions = QStringLiteral("Using Default Delivery Options");
const QString kSelectMailingList = QStringLiteral("Please select a mailing list");
const QString kGroupExists =
    QStringLiteral("A Sendora Group with this name already exists.  Please choose a new name.");

} // namespace

const QString MailingWizard::kCaption = QStringLiteral("Create a Sendora Mailing");
const QString MailingWizard::kUndefinedMessage = QStringLiteral("__Undefined");
const QString MailingWizard::kNoListResult = QStringLiteral("<Cancel");
const QString MailingWizard::kExitQuestion =
    QStringLiteral("Are you sure you wish to exit?  Any changes you made in the wizard will be \r\n"
                   "lost, although any created items are already saved.  Use the finish button to \r\n"
                   "save modifications.");
const QString MailingWizard::kInvalidGroupName =
    QStringLiteral("Please Enter a Valid Filename. A valid filename cannot conatain the following characters:"
                   "  \r\n    \"  *  ?  /  \\  |  :  ;\r\nand cannot begin with an apostrophe (').");

QString MailingWizard::pageTitle(int page) {
    switch (page) {
    case Welcome:
        return QStringLiteral("Welcome");
    case Group:
        return QStringLiteral("Sendora Group");
    case List:
    case ListResult:
        return QStringLiteral("Mailing List");
    case Message:
    case MessageResult:
        return QStringLiteral("Message");
    case Options:
    case OptionsResult:
        return QStringLiteral("Delivery Options");
    default:
        return QStringLiteral("Finish");
    }
}

QString MailingWizard::pageText(int page) {
    switch (page) {
    case Welcome:
        return QStringLiteral(
            "This wizard will walk you through creating a Sendora mailing.  It will help you "
            "select or create:\n\n    a Sendora Group\n    a mailing list\n    a message\n"
            "    a set of mail delivery options\n\nPress Next to Begin.");
    case Group:
        return QStringLiteral("Sendora Groups are headings assigned to mailings.  You can use multiple lists "
                              "and messages with any group.");
    case List:
        return QStringLiteral("How do you want to get your mailing list?");
    case ListResult:
        return QStringLiteral(
            "Your Mailing List has been successfully created.  For this mailing, Sendora will "
            "use the List:");
    case Message:
        return QStringLiteral("How do you want to get your message?");
    case MessageResult:
        return QStringLiteral(
            "Your Message has been created and named.   For this mailing, Sendora will use the "
            "Message:");
    case Options:
        return QStringLiteral("How do you want to specify your delivery options?");
    case OptionsResult:
        return QStringLiteral(
            "Your Mail Delivery Options have been recorded.  For this mailing, Sendora will use "
            "the Mail Delivery Options:");
    default:
        return QStringLiteral("You can send this mailing now, or later from Sendora Central.");
    }
}

MailingWizard::MailingWizard(AppContext& ctx) : m_ctx(ctx) {}

MailingWizard::~MailingWizard() {
    end();
}

void MailingWizard::begin() {
    newGroup = false;
    existingGroup.clear();
    newGroupName.clear();
    newGroupDescription.clear();
    newList = false;
    existingList.clear();
    newMessage = true;
    existingMessage.clear();
    newOptions = false;
    existingOptions.clear();
    m_list.clear();
    m_message = kUndefinedMessage;
    m_options.clear();
    m_page = Welcome;
    m_finished = false;
    m_awaitingMessage = false;
    m_running = true;
    MailingWizardState& state = mailingWizardState();
    state.running = true;
    state.listName.clear();
}

void MailingWizard::end() {
    if (!m_running) return;
    m_running = false;
    MailingWizardState& state = mailingWizardState();
    state.running = false;
    state.listName.clear();
}

QString MailingWizard::stepCaption() const {
    return pageTitle(m_page) + QStringLiteral(" - Step %1 of %2").arg(m_page + 1).arg(kPageCount);
}

bool MailingWizard::next() {
    if (m_page >= Final || !ReturnValueGoNextPage()) return false;
    ++m_page;
    return true;
}

void MailingWizard::back() {
    if (m_page > Welcome) --m_page;
}

bool MailingWizard::ReturnValueGoNextPage() {
    return validate(m_page);
}

bool MailingWizard::refuse(const QString& text) {
    m_ctx.ui->message(text, Buttons::OK, Icon::Information);
    return false;
}

bool MailingWizard::validate(int page) {
    switch (page) {
    case Group: {
        if (!newGroup) {
            if (existingGroup.isEmpty()) return refuse(kSelectGroup);
        } else {
            const QString name = newGroupName.trimmed();
            if (name.isEmpty()) return refuse(kNameGroup);
            if (!IsValidObjectName(name)) return refuse(kInvalidGroupName);
            if (catalogueEntryExists(m_ctx, CatalogueKind::Group, name)) return refuse(kGroupExists);
        }
        m_ctx.settings.curSendora = SaveSetting(m_ctx, kAppDefaults, QStringLiteral("CurSendora"), group());
        return true;
    }
    case List:
        if (!newList) {
            if (existingList.isEmpty()) return refuse(kSelectList);
            listChosen(existingList);
        } else if (m_list.isEmpty() || m_list.startsWith(u'<')) {
            // The new list comes back through listChosen once it is saved.
            m_list = kNoListResult;
            if (createList) createList(newListKind);
        }
        return true;
    case ListResult:
        if (m_list.isEmpty() || m_list.startsWith(u'<')) return refuse(kCreateList);
        return true;
    case Message:
        if (!newMessage) {
            if (existingMessage.isEmpty()) return refuse(kSelectMessage);
            m_message = existingMessage;
        } else if (m_message == kUndefinedMessage || m_message.isEmpty()) {
            return refuse(kNameMessage);
        }
        m_ctx.settings.curMessage = SaveSetting(m_ctx, kAppDefaults, QStringLiteral("CurMessage"), m_message);
        return true;
    case Options:
        if (!newOptions) {
            if (existingOptions.isEmpty()) return refuse(kSelectOptions);
            if (existingOptions == m_ctx.defaultProfileName &&
                m_ctx.ui->message(kUsingDefaultOptions, Buttons::OKCancel, Icon::Information) != Answer::OK)
                return false;
            m_options = existingOptions;
        } else if (m_options.isEmpty()) {
            return refuse(kSelectOptions);
        }
        return true;
    case Final:
        if (m_options.isEmpty()) return refuse(kSelectOptions);
        if (m_message.isEmpty() || m_message == kUndefinedMessage) return refuse(kNameMessage);
        if (m_list.isEmpty() || m_list.startsWith(u'<')) return refuse(kSelectMailingList);
        return true;
    default:
        return true;
    }
}

QStringList MailingWizard::groupNames() const {
    return catalogueNames(m_ctx, CatalogueKind::Group);
}
QStringList MailingWizard::listNames() const {
    return catalogueNames(m_ctx, CatalogueKind::List);
}
QStringList MailingWizard::messageNames() const {
    return catalogueNames(m_ctx, CatalogueKind::Message);
}
QStringList MailingWizard::profileNames() const {
    return catalogueNames(m_ctx, CatalogueKind::DeliveryOptions);
}
QString MailingWizard::groupDescription(const QString& name) const {
    return catalogueDescription(m_ctx, CatalogueKind::Group, name);
}
QString MailingWizard::listDescription(const QString& name) const {
    return catalogueDescription(m_ctx, CatalogueKind::List, name);
}
QString MailingWizard::messageDescription(const QString& name) const {
    return catalogueDescription(m_ctx, CatalogueKind::Message, name);
}
QString MailingWizard::profileDescription(const QString& name) const {
    return catalogueDescription(m_ctx, CatalogueKind::DeliveryOptions, name);
}

bool MailingWizard::createNewMessage() {
    m_awaitingMessage = true;
    m_message = kUndefinedMessage;
    return m_ctx.windows().openMessageWindow(QString());
}

bool MailingWizard::createNewOptions() {
    return m_ctx.windows().openDeliveryOptionsWizard(QString());
}

bool MailingWizard::openExisting(Page page) {
    switch (page) {
    case List:
        return !existingList.isEmpty() && ShowListFromName(m_ctx, existingList);
    case Message:
        return !existingMessage.isEmpty() && OpenMessage(m_ctx, existingMessage);
    case Options:
        return !existingOptions.isEmpty() && OpenDeliveryOptions(m_ctx, existingOptions);
    default:
        return false;
    }
}

void MailingWizard::listChosen(const QString& name) {
    if (!m_running || name.isEmpty()) return;
    m_list = name;
    mailingWizardState().listName = name;
}

void MailingWizard::messageNamed(const QString& name) {
    // Only the message this wizard started, once the user has named it.
    if (!m_running || !m_awaitingMessage || name.startsWith(kNewMessagePrefix)) return;
    if (!catalogueEntryExists(m_ctx, CatalogueKind::Message, name)) return;
    m_message = name;
    m_awaitingMessage = false;
}

void MailingWizard::optionsSaved(const QString& name) {
    if (!m_running || !newOptions || name.isEmpty()) return;
    if (!catalogueEntryExists(m_ctx, CatalogueKind::DeliveryOptions, name)) return;
    m_options = name;
}

bool MailingWizard::finish() {
    if (!validate(Final)) return false;
    const QString name = group();
    if (newGroup && !catalogueEntryExists(m_ctx, CatalogueKind::Group, name) &&
        !CreateGroup(m_ctx, name, newGroupDescription))
        return false;
    int row = -1;
    if (prepare) {
        row = prepare(name, m_list, m_message, m_options);
    } else {
        SDCentral centre(m_ctx);
        if (centre.open()) row = centre.PrepareMailing(name, m_list, m_message, m_options);
    }
    if (row < 0) return false;
    m_finished = true;
    if (showCentral && showCentre) showCentre();
    if (sendNow && send) send(row);
    end();
    return true;
}

bool MailingWizard::Form_QueryUnload() {
    if (m_finished || !m_running) return true;
    return m_ctx.ui->message(kExitQuestion, Buttons::YesNo, Icon::Question) == Answer::Yes;
}

} // namespace sendora
