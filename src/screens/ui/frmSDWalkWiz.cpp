#include "screens/ui/frmSDWalkWiz.h"

#include "core/AppContext.h"
#include "core/WizardState.h"
#include "screens/ui/MdiMain.h"
#include "screens/ui/frmSDCentral.h"

#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace sendora {

namespace {

QPointer<frmSDWalkWiz> s_open;

template <typename T> T* named(T* widget, const char* name) {
    widget->setObjectName(QLatin1String(name));
    return widget;
}

QLabel* text(const QString& t, QWidget* parent, const char* name = "") {
    auto* l = named(new QLabel(t, parent), name);
    l->setWordWrap(true);
    return l;
}

QVBoxLayout* pageLayout(QWidget* page, int page_) {
    auto* v = new QVBoxLayout(page);
    v->addWidget(text(MailingWizard::pageText(page_), page));
    return v;
}

// Refills a choice from the catalogue, keeping the chosen name when it is still there.
void refill(QComboBox* box, const QStringList& names) {
    const QString chosen = box->currentText();
    box->clear();
    box->addItems(names);
    box->setCurrentIndex(box->findText(chosen));
}

} // namespace

frmSDWalkWiz::frmSDWalkWiz(AppContext& ctx, MdiMain& main)
    : QDialog(&main), m_ctx(ctx), m_main(main), m_logic(ctx) {
    setObjectName(QStringLiteral("frmSDWalkWiz"));
    setWindowTitle(MailingWizard::kCaption);
    setAttribute(Qt::WA_DeleteOnClose);
    m_step = named(new QLabel(this), "lblStep");
    QFont bold = m_step->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.2);
    m_step->setFont(bold);
    m_pages = named(new QStackedWidget(this), "pages");
    m_pages->addWidget(buildWelcome());
    m_pages->addWidget(buildGroupPage());
    m_pages->addWidget(buildListPage());
    m_pages->addWidget(buildResultPage("lblListResult", &m_listResult));
    m_pages->addWidget(buildMessagePage());
    m_pages->addWidget(buildResultPage("lblMessageResult", &m_messageResult));
    m_pages->addWidget(buildOptionsPage());
    m_pages->addWidget(buildResultPage("lblOptionsResult", &m_optionsResult));
    m_pages->addWidget(buildFinalPage());

    auto* help = named(new QPushButton(tr("&Help"), this), "cmdHelp");
    auto* cancel = named(new QPushButton(tr("Cancel"), this), "cmdCancel");
    m_back = named(new QPushButton(tr("< &Back"), this), "cmdBack");
    m_next = named(new QPushButton(tr("&Next >"), this), "cmdNext");
    m_finish = named(new QPushButton(tr("&Finish"), this), "cmdFinish");
    m_next->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(help);
    buttons->addStretch(1);
    for (QPushButton* b : {cancel, m_back, m_next, m_finish})
        buttons->addWidget(b);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_step);
    layout->addWidget(m_pages, 1);
    layout->addLayout(buttons);
    resize(560, 420);

    connect(help, &QPushButton::clicked, this, [this] {
        if (QAction* a = m_main.action(CommandId::HelpSendoraHelp)) a->trigger();
    });
    connect(cancel, &QPushButton::clicked, this, &frmSDWalkWiz::close);
    connect(m_back, &QPushButton::clicked, this, &frmSDWalkWiz::goBack);
    connect(m_next, &QPushButton::clicked, this, &frmSDWalkWiz::goNext);
    connect(m_finish, &QPushButton::clicked, this, &frmSDWalkWiz::finish);

    m_logic.createList = [this](MailingWizard::NewList kind) { runNewList(kind); };
    m_logic.prepare = [this](const QString& g, const QString& l, const QString& m, const QString& o) {
        return prepare(g, l, m, o);
    };
    m_logic.showCentre = [this] { m_main.runCommand(CommandId::SDCentral); };
    m_logic.send = [this](int row) {
        HideSDWalkWiz(); // it closes once the send screen has been started
        if (frmSDCentral* centre = m_main.mailingCentre()) centre->SendSendoraIfPossible(row);
    };
}

frmSDWalkWiz::~frmSDWalkWiz() {
    MailingWizardState& state = mailingWizardState();
    state.setVisible = nullptr;
    state.listChosen = nullptr;
    state.messageNamed = nullptr;
    state.optionsSaved = nullptr;
    m_logic.end();
}

frmSDWalkWiz* frmSDWalkWiz::current() {
    return s_open.data();
}

frmSDWalkWiz* frmSDWalkWiz::open(AppContext& ctx, MdiMain& main) {
    if (s_open) {
        s_open->Restore();
        return s_open;
    }
    s_open = new frmSDWalkWiz(ctx, main);
    s_open->LoadWizard();
    return s_open;
}

void frmSDWalkWiz::LoadWizard() {
    m_logic.begin();
    MailingWizardState& state = mailingWizardState();
    state.setVisible = [this](bool shown) { shown ? Restore() : HideSDWalkWiz(); };
    state.listChosen = [this](const QString& name) {
        m_logic.listChosen(name);
        showPage();
    };
    state.messageNamed = [this](const QString& name) {
        m_logic.messageNamed(name);
        showPage();
    };
    state.optionsSaved = [this](const QString& name) {
        m_logic.optionsSaved(name);
        showPage();
    };
    m_filling = true;
    m_existingGroup->setChecked(true);
    m_existingList->setChecked(true);
    m_blankList->setChecked(true);
    m_newMessage->setChecked(true);
    m_existingOptions->setChecked(true);
    m_sendLater->setChecked(true);
    m_showCentral->setChecked(true);
    m_filling = false;
    showSaveAndReturn(true);
    showPage();
    show();
}

void frmSDWalkWiz::showSaveAndReturn(bool shown) {
    // List windows opened before the wizard started, or still open after it.
    for (QPushButton* b : m_main.findChildren<QPushButton*>(QStringLiteral("cmdSaveReturn")))
        b->setVisible(shown);
}

void frmSDWalkWiz::Restore() {
    // Windows closing with the main window do not bring the wizard back.
    if (!m_main.isVisible()) return;
    showPage();
    show();
    raise();
    activateWindow();
}

void frmSDWalkWiz::HideSDWalkWiz() {
    hide();
}

// ---- pages

QWidget* frmSDWalkWiz::buildWelcome() {
    auto* page = new QWidget(this);
    pageLayout(page, MailingWizard::Welcome)->addStretch(1);
    return page;
}

QWidget* frmSDWalkWiz::buildGroupPage() {
    auto* page = new QWidget(this);
    QVBoxLayout* v = pageLayout(page, MailingWizard::Group);
    m_existingGroup = named(new QRadioButton(tr("Use an Existing Sendora Group"), page), "optExistingGroup");
    m_group = named(new QComboBox(page), "cboGroup");
    m_groupDescription = text({}, page, "lblGroupDescription");
    m_newGroup = named(new QRadioButton(tr("Create a New Sendora Group"), page), "optNewGroup");
    m_groupName = named(new QLineEdit(page), "txtGroupName");
    m_groupName->setPlaceholderText(tr("Name"));
    m_groupText = named(new QLineEdit(page), "txtGroupDescription");
    m_groupText->setPlaceholderText(tr("Description"));
    for (QWidget* w : std::initializer_list<QWidget*>{m_existingGroup, m_group, m_groupDescription,
                                                      m_newGroup, m_groupName, m_groupText})
        v->addWidget(w);
    v->addStretch(1);
    connect(m_existingGroup, &QRadioButton::toggled, this, &frmSDWalkWiz::updateState);
    connect(m_group, &QComboBox::currentTextChanged, this, &frmSDWalkWiz::updateState);
    return page;
}

QWidget* frmSDWalkWiz::buildListPage() {
    auto* page = new QWidget(this);
    QVBoxLayout* v = pageLayout(page, MailingWizard::List);
    m_existingList = named(new QRadioButton(tr("Select an existing mailing list"), page), "optExistingList");
    m_list = named(new QComboBox(page), "cboList");
    m_listDescription = text({}, page, "lblListDescription");
    auto* openList = named(new QPushButton(tr("Open"), page), "cmdOpenList");
    m_newList = named(new QRadioButton(tr("Create a new mailing list"), page), "optNewList");
    auto* kinds = new QButtonGroup(page);
    m_blankList = named(new QRadioButton(tr("Create a blank list"), page), "optBlankList");
    m_mailboxList = named(new QRadioButton(tr("Import from a mailbox file"), page), "optImportMailbox");
    m_contactsList = named(new QRadioButton(tr("Import from a contact database"), page), "optImportContacts");
    auto* existing = new QHBoxLayout;
    existing->addWidget(m_list, 1);
    existing->addWidget(openList);
    v->addWidget(m_existingList);
    v->addLayout(existing);
    v->addWidget(m_listDescription);
    v->addWidget(m_newList);
    for (QRadioButton* r : {m_blankList, m_mailboxList, m_contactsList}) {
        kinds->addButton(r);
        r->setContentsMargins(24, 0, 0, 0);
        v->addWidget(r);
    }
    v->addStretch(1);
    connect(m_existingList, &QRadioButton::toggled, this, &frmSDWalkWiz::updateState);
    connect(m_list, &QComboBox::currentTextChanged, this, &frmSDWalkWiz::updateState);
    connect(openList, &QPushButton::clicked, this, [this] {
        collect();
        // Back with the list window's Save & Return or when it closes.
        if (m_logic.openExisting(MailingWizard::List)) HideSDWalkWiz();
    });
    return page;
}

QWidget* frmSDWalkWiz::buildResultPage(const char* name, QLabel** value) {
    auto* page = new QWidget(this);
    const int index = m_pages->count();
    QVBoxLayout* v = pageLayout(page, index);
    *value = text({}, page, name);
    QFont bold = (*value)->font();
    bold.setBold(true);
    (*value)->setFont(bold);
    v->addWidget(*value);
    if (index == MailingWizard::ListResult) v->addWidget(text(tr("Press Next to Continue."), page));
    v->addStretch(1);
    return page;
}

QWidget* frmSDWalkWiz::buildMessagePage() {
    auto* page = new QWidget(this);
    QVBoxLayout* v = pageLayout(page, MailingWizard::Message);
    m_newMessage = named(new QRadioButton(tr("Create a new message"), page), "optNewMessage");
    m_existingMessage = named(new QRadioButton(tr("Use an existing message"), page), "optExistingMessage");
    m_message = named(new QComboBox(page), "cboMessage");
    m_messageDescription = text({}, page, "lblMessageDescription");
    auto* openMessage = named(new QPushButton(tr("Open"), page), "cmdOpenMessage");
    auto* existing = new QHBoxLayout;
    existing->addWidget(m_message, 1);
    existing->addWidget(openMessage);
    v->addWidget(m_newMessage);
    v->addWidget(m_existingMessage);
    v->addLayout(existing);
    v->addWidget(m_messageDescription);
    v->addStretch(1);
    connect(m_existingMessage, &QRadioButton::toggled, this, &frmSDWalkWiz::updateState);
    connect(m_message, &QComboBox::currentTextChanged, this, &frmSDWalkWiz::updateState);
    // Choosing it opens the new message's editor, which hides the wizard until it closes.
    connect(m_newMessage, &QRadioButton::clicked, this, [this] {
        collect();
        m_logic.createNewMessage();
    });
    connect(openMessage, &QPushButton::clicked, this, [this] {
        collect();
        m_logic.openExisting(MailingWizard::Message);
    });
    return page;
}

QWidget* frmSDWalkWiz::buildOptionsPage() {
    auto* page = new QWidget(this);
    QVBoxLayout* v = pageLayout(page, MailingWizard::Options);
    m_newOptions = named(new QRadioButton(tr("Create a new set of Delivery Options"), page), "optNewOptions");
    m_existingOptions =
        named(new QRadioButton(tr("Use existing Delivery Options"), page), "optExistingOptions");
    m_options = named(new QComboBox(page), "cboOptions");
    m_optionsDescription = text({}, page, "lblOptionsDescription");
    auto* openOptions = named(new QPushButton(tr("Open"), page), "cmdOpenOptions");
    auto* existing = new QHBoxLayout;
    existing->addWidget(m_options, 1);
    existing->addWidget(openOptions);
    v->addWidget(m_newOptions);
    v->addWidget(m_existingOptions);
    v->addLayout(existing);
    v->addWidget(m_optionsDescription);
    v->addStretch(1);
    connect(m_existingOptions, &QRadioButton::toggled, this, &frmSDWalkWiz::updateState);
    connect(m_options, &QComboBox::currentTextChanged, this, &frmSDWalkWiz::updateState);
    connect(m_newOptions, &QRadioButton::clicked, this, [this] {
        collect();
        m_logic.createNewOptions();
        showPage();
    });
    connect(openOptions, &QPushButton::clicked, this, [this] {
        collect();
        m_logic.openExisting(MailingWizard::Options);
    });
    return page;
}

QWidget* frmSDWalkWiz::buildFinalPage() {
    auto* page = new QWidget(this);
    QVBoxLayout* v = pageLayout(page, MailingWizard::Final);
    m_sendNow = named(new QRadioButton(tr("Send this mailing now"), page), "optSendNow");
    m_sendLater = named(new QRadioButton(tr("Send from Sendora Central later"), page), "optSendLater");
    m_showCentral = named(new QCheckBox(tr("Show the Sendora Central window"), page), "chkShowCentral");
    v->addWidget(m_sendNow);
    v->addWidget(m_sendLater);
    v->addWidget(text(tr("Your mailing will appear in the Sendora Central Mailings display."), page));
    v->addWidget(m_showCentral);
    v->addStretch(1);
    return page;
}

// ---- state

void frmSDWalkWiz::collect() {
    if (m_filling) return;
    m_logic.newGroup = m_newGroup->isChecked();
    m_logic.existingGroup = m_group->currentText();
    m_logic.newGroupName = m_groupName->text();
    m_logic.newGroupDescription = m_groupText->text();
    m_logic.newList = m_newList->isChecked();
    m_logic.existingList = m_list->currentText();
    m_logic.newListKind = m_mailboxList->isChecked()    ? MailingWizard::NewList::Mailbox
                          : m_contactsList->isChecked() ? MailingWizard::NewList::Contacts
                                                        : MailingWizard::NewList::Blank;
    m_logic.newMessage = m_newMessage->isChecked();
    m_logic.existingMessage = m_message->currentText();
    m_logic.newOptions = m_newOptions->isChecked();
    m_logic.existingOptions = m_options->currentText();
    m_logic.sendNow = m_sendNow->isChecked();
    m_logic.showCentral = m_showCentral->isChecked();
}

void frmSDWalkWiz::showPage() {
    const int page = m_logic.page();
    m_filling = true;
    switch (page) {
    case MailingWizard::Group:
        refill(m_group, m_logic.groupNames());
        break;
    case MailingWizard::List:
        refill(m_list, m_logic.listNames());
        break;
    case MailingWizard::Message:
        refill(m_message, m_logic.messageNames());
        break;
    case MailingWizard::Options:
        refill(m_options, m_logic.profileNames());
        break;
    default:
        break;
    }
    m_listResult->setText(m_logic.listResult());
    m_messageResult->setText(m_logic.messageResult());
    m_optionsResult->setText(m_logic.optionsResult());
    m_filling = false;
    m_pages->setCurrentIndex(page);
    m_step->setText(m_logic.stepCaption());
    m_back->setEnabled(page > MailingWizard::Welcome);
    m_next->setEnabled(page < MailingWizard::Final);
    m_finish->setEnabled(page == MailingWizard::Final);
    updateState();
}

void frmSDWalkWiz::updateState() {
    if (m_filling) return;
    const bool existingGroup = m_existingGroup->isChecked();
    m_group->setEnabled(existingGroup);
    m_groupName->setEnabled(!existingGroup);
    m_groupText->setEnabled(!existingGroup);
    m_groupDescription->setText(existingGroup ? m_logic.groupDescription(m_group->currentText()) : QString());
    const bool existingList = m_existingList->isChecked();
    m_list->setEnabled(existingList);
    // An import this program does not offer cannot be chosen.
    auto offered = [this](CommandId id) {
        const QAction* a = m_main.action(id);
        return a && a->isEnabled();
    };
    m_blankList->setEnabled(!existingList);
    m_mailboxList->setEnabled(!existingList && offered(CommandId::ToolsImportMailbox));
    m_contactsList->setEnabled(!existingList && offered(CommandId::ToolsImportContactDatabase));
    m_listDescription->setText(existingList ? m_logic.listDescription(m_list->currentText()) : QString());
    const bool existingMessage = m_existingMessage->isChecked();
    m_message->setEnabled(existingMessage);
    m_messageDescription->setText(existingMessage ? m_logic.messageDescription(m_message->currentText())
                                                  : QString());
    const bool existingOptions = m_existingOptions->isChecked();
    m_options->setEnabled(existingOptions);
    m_optionsDescription->setText(existingOptions ? m_logic.profileDescription(m_options->currentText())
                                                  : QString());
}

bool frmSDWalkWiz::goNext() {
    collect();
    if (!m_logic.next()) return false;
    showPage();
    return true;
}

void frmSDWalkWiz::goBack() {
    collect();
    m_logic.back();
    showPage();
}

bool frmSDWalkWiz::finish() {
    collect();
    if (!m_logic.finish()) return false;
    close();
    return true;
}

void frmSDWalkWiz::runNewList(MailingWizard::NewList kind) {
    const CommandId id = kind == MailingWizard::NewList::Mailbox    ? CommandId::ToolsImportMailbox
                         : kind == MailingWizard::NewList::Contacts ? CommandId::ToolsImportContactDatabase
                                                                    : CommandId::CreateBlankList;
    const qsizetype before = m_main.openLists().size();
    HideSDWalkWiz();
    m_main.runCommand(id);
    // No list window to save and return from: the wizard comes straight back.
    if (m_main.openLists().size() == before) Restore();
}

int frmSDWalkWiz::prepare(const QString& group, const QString& list, const QString& message,
                          const QString& options) {
    frmSDCentral* centre = m_main.mailingCentre();
    if (!centre && (m_logic.showCentral || m_logic.sendNow)) {
        m_main.runCommand(CommandId::SDCentral);
        centre = m_main.mailingCentre();
    }
    if (centre) return centre->PrepareMailingUpdatingInterface(group, list, message, options);
    SDCentral core(m_ctx);
    return core.open() ? core.PrepareMailing(group, list, message, options) : -1;
}

// ---- closing

void frmSDWalkWiz::reject() {
    close();
}

void frmSDWalkWiz::closeEvent(QCloseEvent* event) {
    collect();
    if (!m_logic.Form_QueryUnload()) {
        event->ignore();
        return;
    }
    m_logic.end();
    showSaveAndReturn(false);
    event->accept();
}

} // namespace sendora
