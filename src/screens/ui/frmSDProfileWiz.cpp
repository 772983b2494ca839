#include "screens/ui/frmSDProfileWiz.h"

#include "core/AppContext.h"
#include "core/Catalogue.h"
#include "core/ErrorLog.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QStackedWidget>
#include <QThread>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <utility>

namespace sendora {

namespace {

const char* const kPageHeadings[] = {"Welcome",
                                     "Name and description",
                                     "Sender and reply address",
                                     "Recipients",
                                     "Blocks and the sent flag",
                                     "Pacing",
                                     "Mail server",
                                     "Direct send"};

// The application may be asked to end before its event loop runs (start-up is still going),
// when quitting would do nothing; so wait for the loop.
void quitOnceRunning() {
    QTimer::singleShot(10, qApp, [] {
        if (QThread::currentThread()->loopLevel() > 0)
            QCoreApplication::exit(0);
        else
            quitOnceRunning();
    });
}

QLabel* label(const QString& text, const char* name, QWidget* parent, bool wrap = false) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(QLatin1String(name));
    l->setWordWrap(wrap);
    return l;
}

QLineEdit* edit(const char* name, QWidget* parent, int maxLength = 255) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(QLatin1String(name));
    e->setMaxLength(maxLength);
    return e;
}

// Counts, sizes and delays take only the digits (Backspace still works).
QLineEdit* digits(const char* name, QWidget* parent, int maxLength) {
    QLineEdit* e = edit(name, parent, maxLength);
    e->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), e));
    e->setFixedWidth(72);
    e->setAlignment(Qt::AlignRight);
    return e;
}

template <typename T> T* named(T* widget, const char* name) {
    widget->setObjectName(QLatin1String(name));
    return widget;
}

QVBoxLayout* pageLayout(QWidget* page) {
    auto* v = new QVBoxLayout(page);
    v->setContentsMargins(4, 4, 4, 4);
    v->setSpacing(8);
    return v;
}

QHBoxLayout* row(std::initializer_list<QWidget*> widgets, int indent = 0) {
    auto* h = new QHBoxLayout;
    h->setSpacing(6);
    if (indent) h->addSpacing(indent);
    for (QWidget* w : widgets)
        h->addWidget(w);
    h->addStretch();
    return h;
}

constexpr int kIndent = 22;

} // namespace

frmSDProfileWiz::frmSDProfileWiz(AppContext& ctx, QWidget* parent)
    : QDialog(parent), m_ctx(ctx), m_wizard(ctx), m_pages(new QStackedWidget(this)),
      m_heading(new QLabel(this)) {
    setObjectName(QStringLiteral("frmSDProfileWiz"));
    setModal(true);
    endSystem = quitOnceRunning;

    m_heading->setObjectName(QStringLiteral("lblHeading"));
    QFont headingFont = m_heading->font();
    headingFont.setBold(true);
    headingFont.setPointSizeF(headingFont.pointSizeF() * 1.25);
    m_heading->setFont(headingFont);

    for (QWidget* page : {buildIntroPage(), buildNamePage(), buildSenderPage(), buildSelectionPage(),
                          buildBlocksPage(), buildTimingPage(), buildServerPage(), buildDirectSendPage()})
        m_pages->addWidget(page);

    auto button = [this](const QString& text, const char* name, Button which) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(QLatin1String(name));
        b->setAutoDefault(false);
        connect(b, &QPushButton::clicked, this, [this, which] { WizardButtonClick(which); });
        return b;
    };
    m_help = button(tr("&Help"), "cmdHelp", Button::Help);
    m_help->setEnabled(false); // no help file yet
    m_help->setToolTip(tr("Help is not available yet"));
    m_cancel = button(tr("Cancel"), "cmdCancel", Button::Cancel);
    m_back = button(tr("< &Back"), "cmdBack", Button::Back);
    m_next = button(tr("&Next >"), "cmdNext", Button::Next);
    m_finish = button(tr("&Finish"), "cmdFinish", Button::Finish);

    auto line = [this] {
        auto* f = new QFrame(this);
        f->setFrameShape(QFrame::HLine);
        f->setFrameShadow(QFrame::Sunken);
        return f;
    };
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_help);
    buttons->addStretch();
    buttons->addWidget(m_cancel);
    buttons->addSpacing(12);
    buttons->addWidget(m_back);
    buttons->addWidget(m_next);
    buttons->addSpacing(12);
    buttons->addWidget(m_finish);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 12, 16, 12);
    layout->addWidget(m_heading);
    layout->addWidget(line());
    layout->addWidget(m_pages, 1);
    layout->addWidget(line());
    layout->addLayout(buttons);

    // Every text field selects its whole text when it gets the focus; every change counts.
    for (QLineEdit* e : findChildren<QLineEdit*>()) {
        e->installEventFilter(this);
        connect(e, &QLineEdit::textChanged, this, &frmSDProfileWiz::markChanged);
    }
    for (QAbstractButton* b : m_pages->findChildren<QAbstractButton*>())
        connect(b, &QAbstractButton::toggled, this, [this] {
            markChanged();
            updateEnabled();
        });
    connect(child<QComboBox>("cboSmtpTls"), &QComboBox::currentIndexChanged, this,
            &frmSDProfileWiz::markChanged);
    setMinimumSize(620, 440);
}

frmSDProfileWiz::~frmSDProfileWiz() = default;

// ---- pages

QWidget* frmSDProfileWiz::buildIntroPage() {
    auto* page = new QWidget(this);
    auto* v = pageLayout(page);
    QLabel* intro = label(QString(), "lblIntro", page, true);
    intro->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    v->addWidget(intro);
    v->addStretch();
    return page;
}

QWidget* frmSDProfileWiz::buildNamePage() {
    auto* page = new QWidget(this);
    auto* v = pageLayout(page);
    v->addWidget(label(QString(), "lblProfileName", page));
    v->addWidget(edit("txtProfileName", page, 50));
    v->addSpacing(10);
    v->addWidget(label(tr("Optional: You can include a short description."), "lblDescription", page));
    v->addWidget(edit("txtDescription", page));
    v->addStretch();
    return page;
}

QWidget* frmSDProfileWiz::buildSenderPage() {
    auto* page = new QWidget(this);
    auto* v = pageLayout(page);
    v->addWidget(label(tr("Please enter the email address of the sender:"), "lblFrom", page));
    v->addWidget(label(tr("For example: ") + kExampleAddress, "lblFromExample", page));
    v->addWidget(edit("txtFrom", page));
    v->addSpacing(10);
    v->addWidget(label(tr("Reply to:"), "lblReplyTo", page));
    v->addWidget(edit("txtReplyTo", page));
    v->addWidget(label(tr("This optional address may be used if you prefer not to receive reply mail at the "
                          "sender's address above."),
                       "lblReplyToNote", page, true));
    v->addStretch();
    return page;
}

QWidget* frmSDProfileWiz::buildSelectionPage() {
    auto* page = new QWidget(this);
    auto* v = pageLayout(page);
    auto* all = named(new QRadioButton(tr("Send to everyone on the list"), page), "optSendAll");
    auto* filtered =
        named(new QRadioButton(tr("Send to the list using the following filter"), page), "optSendFiltered");
    auto* group = new QButtonGroup(page);
    group->addButton(all);
    group->addButton(filtered);
    v->addWidget(all);
    v->addWidget(filtered);
    QLabel* listLabel = label(tr("... using data fields from this mailing list"), "lblList", page);
    auto* list = named(new QComboBox(page), "cboList");
    list->setMinimumWidth(260);
    v->addLayout(row({listLabel, list}, kIndent));
    QLabel* note =
        label(tr("You can also use this condition with other mailing lists, as long as they contain all "
                 "the data fields used by this condition."),
              "lblListNote", page, true);
    note->setContentsMargins(kIndent, 0, 0, 0);
    v->addWidget(note);
    auto* filter = named(new QPushButton(tr("Specify Filter.."), page), "cmdSSApplyFilter");
    filter->setAutoDefault(false);
    connect(filter, &QPushButton::clicked, this, &frmSDProfileWiz::specifyFilter);
    v->addLayout(row({filter}, kIndent));
    QLabel* current = label(QString(), "lblFilterText", page, true);
    current->setTextFormat(Qt::PlainText); // a clause with "<" is not markup
    current->setTextInteractionFlags(Qt::TextSelectableByMouse);
    current->setContentsMargins(kIndent, 0, 0, 0);
    v->addWidget(current);
    v->addStretch();
    return page;
}

QWidget* frmSDProfileWiz::buildBlocksPage() {
    auto* page = new QWidget(this);
    auto* v = pageLayout(page);
    auto* all = named(new QRadioButton(tr("Send to all addresses on the list"), page), "optSendToAll");
    auto* first = named(new QRadioButton(tr("Send to the first"), page), "optSendToFirst");
    auto* group = new QButtonGroup(page);
    group->addButton(all);
    group->addButton(first);
    v->addWidget(all);
    v->addLayout(row({first, digits("txtSendBlockSize", page, 9),
                      label(tr("addresses on the list"), "lblSendToFirst", page)}));
    v->addLayout(row({named(new QCheckBox(tr("which are not marked as 'sent' with this text:"), page),
                            "chkIfNotYetFlagged"),
                      edit("txtSentFlagToCheck", page)},
                     kIndent));
    v->addSpacing(14);
    v->addWidget(
        named(new QCheckBox(tr("Use the following text to mark the sent flag when a message is sent"), page),
              "chkFlagSends"));
    v->addLayout(row(
        {label(tr("Supply text to use as a 'sent' marker "), "lblSentFlag", page), edit("txtSentFlag", page)},
        kIndent));
    v->addStretch();
    for (const char* name : {"txtSentFlagToCheck", "txtSentFlag"})
        child<QLineEdit>(name)->setMinimumWidth(180);
    connect(child<QLineEdit>("txtSentFlag"), &QLineEdit::textChanged, this,
            [this](const QString& text) { child<QLineEdit>("txtSentFlagToCheck")->setText(text); });
    return page;
}

QWidget* frmSDProfileWiz::buildTimingPage() {
    auto* page = new QWidget(this);
    auto* v = pageLayout(page);
    v->addWidget(
        label(tr("You can send mail in blocks at regular time intervals to prevent overloading your Internet "
                 "Service Provider's Mail (SMTP) Server."),
              "lblTimingNote", page, true));
    v->addSpacing(6);
    auto* none = named(new QRadioButton(tr("Send with no time delays "), page), "optNoDelay");
    none->setAutoExclusive(false);
    v->addWidget(none);
    v->addLayout(row({named(new QCheckBox(tr("Send in blocks of"), page), "chkTimedBlocks"),
                      digits("txtTimedBlockSize", page, 9), label(tr("then wait"), "lblThenWait", page),
                      digits("txtTimeIncrement", page, 4), label(tr("minute"), "lblMinute", page)}));
    v->addLayout(row({named(new QCheckBox(tr("Insert a delay of"), page), "chkInsertTimeDelay"),
                      digits("txtTimeDelay", page, 9),
                      label(tr("tenths of a second between each  message"), "lblTenths", page)}));
    v->addStretch();
    connect(none, &QRadioButton::clicked, this, [this](bool checked) {
        if (checked) {
            child<QCheckBox>("chkTimedBlocks")->setChecked(false);
            child<QCheckBox>("chkInsertTimeDelay")->setChecked(false);
        }
        child<QRadioButton>("optNoDelay")->setChecked(true);
    });
    for (const char* name : {"chkTimedBlocks", "chkInsertTimeDelay"})
        connect(child<QCheckBox>(name), &QCheckBox::toggled, this, [this] {
            const bool pacing = child<QCheckBox>("chkTimedBlocks")->isChecked() ||
                                child<QCheckBox>("chkInsertTimeDelay")->isChecked();
            child<QRadioButton>("optNoDelay")->setChecked(!pacing);
        });
    return page;
}

QWidget* frmSDProfileWiz::buildServerPage() {
    auto* page = new QWidget(this);
    auto* v = pageLayout(page);
    v->addWidget(
        label(tr("Enter the name of your outgoing (SMTP) mail server here."), "lblSmtpServer", page));
    QLineEdit* server = edit("txtSmtpServer", page);
    server->setMinimumWidth(300);
    QLineEdit* port = digits("txtSmtpPort", page, 5);
    auto* tls = named(new QComboBox(page), "cboSmtpTls");
    tls->addItem(tr("Automatic: TLS on port 465, otherwise STARTTLS when offered"), int(TlsAutomatic));
    tls->addItem(tr("STARTTLS required (port 587)"), int(TlsStartTlsRequired));
    tls->addItem(tr("TLS from the start (port 465)"), int(TlsImplicit));
    tls->addItem(tr("None"), int(TlsNone));
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(8);
    grid->addWidget(server, 0, 0, 1, 3);
    grid->addWidget(label(tr("Port:"), "lblSmtpPort", page), 1, 0);
    grid->addWidget(port, 1, 1);
    grid->addWidget(label(tr("empty: the port of the settings"), "lblSmtpPortNote", page), 1, 2);
    grid->addWidget(label(tr("Security:"), "lblSmtpTls", page), 2, 0);
    grid->addWidget(tls, 2, 1, 1, 2);
    grid->setColumnStretch(2, 1);
    v->addLayout(grid);
    v->addSpacing(8);
    v->addWidget(named(new QCheckBox(tr("Requires authentication"), page), "chkAuth"));
    auto* credentials = new QGridLayout;
    credentials->setColumnMinimumWidth(0, kIndent);
    credentials->addWidget(label(tr("User Name:"), "lblUserName", page), 0, 1);
    credentials->addWidget(edit("txtUserName", page), 0, 2);
    credentials->addWidget(label(tr("Password:"), "lblPassword", page), 1, 1);
    QLineEdit* password = edit("txtPassword", page);
    password->setEchoMode(QLineEdit::Password);
    credentials->addWidget(password, 1, 2);
    credentials->setColumnStretch(3, 1);
    v->addLayout(credentials);
    QLabel* note =
        label(tr("Note: Most mail servers do not require authentication for outgoing mail. Please check "
                 "with your system administrator if you are not sure if this is a requirement of your mail "
                 "server."),
              "lblAuthNote", page, true);
    v->addWidget(note);
    v->addSpacing(8);
    v->addWidget(named(new QCheckBox(tr("Direct send"), page), "chkDirectSend"));
    v->addStretch();
    return page;
}

QWidget* frmSDProfileWiz::directSendNumber(const QString& name, DirectSendNumber field) {
    auto* box = new QWidget;
    auto* h = new QHBoxLayout(box);
    h->setContentsMargins(0, 0, 0, 0);
    h->setSpacing(2);
    QLineEdit* e = digits(name.toLatin1().constData(), box, 5);
    h->addWidget(e);
    auto* arrows = new QVBoxLayout;
    arrows->setSpacing(0);
    for (int delta : {1, -1}) {
        auto* b = new QToolButton(box);
        b->setObjectName(QStringLiteral("upd") + name.mid(3) +
                         (delta > 0 ? QStringLiteral("Up") : QStringLiteral("Down")));
        b->setArrowType(delta > 0 ? Qt::UpArrow : Qt::DownArrow);
        b->setFixedSize(18, 12);
        b->setAutoRepeat(true);
        connect(b, &QToolButton::clicked, this,
                [e, field, delta] { e->setText(directSendStep(field, e->text(), delta)); });
        arrows->addWidget(b);
    }
    h->addLayout(arrows);
    h->addStretch();
    connect(e, &QLineEdit::textEdited, this, [e, field](const QString& text) {
        const QString bounded = directSendOnChange(field, text);
        if (bounded != text) e->setText(bounded);
    });
    connect(e, &QLineEdit::editingFinished, this,
            [e, field] { e->setText(directSendOnLeave(field, e->text())); });
    return box;
}

QWidget* frmSDProfileWiz::buildDirectSendPage() {
    auto* page = new QWidget(this);
    auto* v = pageLayout(page);
    v->addWidget(label(tr("Use the following Primary DNS server:"), "lblDnsServer", page));
    QLineEdit* dns = edit("txtDnsServer", page, 50);
    dns->setMaximumWidth(240);
    v->addWidget(dns);
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(10);
    const struct {
        const char* text;
        const char* label;
        const char* field;
        DirectSendNumber which;
    } numbers[] = {
        {"DNS lookup timeout ( seconds )", "lblDnsTimeout", "txtDnsTimeout", DirectSendNumber::DnsTimeout},
        {"DNS lookup retries", "lblDnsRetries", "txtDnsRetries", DirectSendNumber::DnsRetries},
        {"Mailer timeout ( seconds )", "lblMailerTimeout", "txtMailerTimeout",
         DirectSendNumber::MailerTimeout},
        {"Concurrent mailers", "lblConcurrentMailers", "txtConcurrentMailers",
         DirectSendNumber::ConcurrentMailers},
        {"Mailer retries", "lblMailRetries", "txtMailRetries", DirectSendNumber::MailRetries}};
    int r = 0;
    for (const auto& n : numbers) {
        grid->addWidget(label(tr(n.text), n.label, page), r, 0);
        grid->addWidget(directSendNumber(QLatin1String(n.field), n.which), r, 1);
        ++r;
    }
    grid->setColumnStretch(2, 1);
    v->addLayout(grid);
    v->addSpacing(8);
    v->addWidget(named(
        new QCheckBox(tr("Send direct send failures to the following outgoing (SMTP) mail server:"), page),
        "chkDefaultServer"));
    QLineEdit* fallback = edit("txtDefaultMail", page, 50);
    fallback->setMaximumWidth(300);
    v->addLayout(row({fallback}, kIndent));
    v->addStretch();
    return page;
}

// ---- preparing and showing

bool frmSDProfileWiz::prepareNew(const QString& name) {
    const bool initialization = !name.isEmpty() && name == m_ctx.defaultProfileName;
    m_wizard.prepareNew(initialization);
    if (!name.isEmpty()) m_wizard.fields.name = name;
    fill();
    GoToPage(1);
    m_changed = false;
    return true;
}

bool frmSDProfileWiz::prepareExisting(const QString& name) {
    if (!m_wizard.prepareExisting(name)) return false;
    fill();
    GoToPage(1);
    m_changed = false;
    return true;
}

bool frmSDProfileWiz::NewProfile(const QString& name) {
    if (!prepareNew(name)) return false;
    exec();
    return true;
}

bool frmSDProfileWiz::LoadProfile(const QString& name) {
    if (!prepareExisting(name)) return false;
    exec();
    return true;
}

void frmSDProfileWiz::fill() {
    m_filling = true;
    const ProfileWizardFields& f = m_wizard.fields;
    child<QLabel>("lblIntro")
        ->setText(QString(m_wizard.introText()).replace(QStringLiteral("\r\n"), QStringLiteral("\n\n")));
    child<QLabel>("lblProfileName")->setText(m_wizard.nameLabel());
    auto text = [this](const char* name, const QString& value) { child<QLineEdit>(name)->setText(value); };
    auto check = [this](const char* name, bool value) { child<QAbstractButton>(name)->setChecked(value); };
    text("txtProfileName", f.name);
    child<QLineEdit>("txtProfileName")->setReadOnly(m_wizard.initialization());
    text("txtDescription", f.description);
    text("txtFrom", f.from);
    text("txtReplyTo", f.replyTo);
    check(f.sendFiltered ? "optSendFiltered" : "optSendAll", true);
    child<QLabel>("lblFilterText")->setText(f.sqlFilter);
    check(f.sendInBlocks ? "optSendToFirst" : "optSendToAll", true);
    text("txtSendBlockSize", f.sendBlockSize);
    check("chkFlagSends", f.flagSends);
    text("txtSentFlag", f.sentFlag);
    check("chkIfNotYetFlagged", f.ifNotYetFlagged);
    text("txtSentFlagToCheck", f.sentFlagToCheck); // after the sent flag, which copies itself here
    check("chkTimedBlocks", f.timedBlocks);
    text("txtTimedBlockSize", f.timedBlockSize);
    text("txtTimeIncrement", f.timeIncrement);
    check("chkInsertTimeDelay", f.insertTimeDelay);
    text("txtTimeDelay", f.timeDelay);
    check("optNoDelay", !f.timedBlocks && !f.insertTimeDelay);
    text("txtSmtpServer", f.smtpServer);
    text("txtSmtpPort", f.smtpPort);
    auto* tls = child<QComboBox>("cboSmtpTls");
    tls->setCurrentIndex(std::max(0, tls->findData(f.smtpTls)));
    child<QLineEdit>("txtSmtpPort")->setPlaceholderText(QString::number(m_ctx.settings.smtpPort));
    check("chkAuth", f.auth);
    text("txtUserName", f.username);
    text("txtPassword", f.password);
    check("chkDirectSend", f.directSend);
    text("txtDnsServer", f.dnsServer);
    text("txtDnsTimeout", f.dnsTimeout);
    text("txtDnsRetries", f.dnsRetries);
    text("txtMailerTimeout", f.mailerTimeout);
    text("txtConcurrentMailers", f.concurrentMailers);
    text("txtMailRetries", f.mailRetries);
    check("chkDefaultServer", f.defaultServer);
    text("txtDefaultMail", f.defaultMail);
    updateEnabled();
    m_finished = false;
    m_changed = false;
    m_filling = false;
}

void frmSDProfileWiz::collect() {
    ProfileWizardFields& f = m_wizard.fields;
    auto text = [this](const char* name) { return child<QLineEdit>(name)->text(); };
    auto checked = [this](const char* name) { return child<QAbstractButton>(name)->isChecked(); };
    f.name = text("txtProfileName");
    f.description = text("txtDescription");
    f.from = text("txtFrom");
    f.replyTo = text("txtReplyTo");
    f.sendFiltered = checked("optSendFiltered");
    if (m_wizard.openedFromMailing) f.listName = child<QComboBox>("cboList")->currentText();
    f.sendInBlocks = checked("optSendToFirst");
    f.sendBlockSize = text("txtSendBlockSize");
    f.ifNotYetFlagged = checked("chkIfNotYetFlagged");
    f.sentFlagToCheck = text("txtSentFlagToCheck");
    f.flagSends = checked("chkFlagSends");
    f.sentFlag = text("txtSentFlag");
    f.timedBlocks = checked("chkTimedBlocks");
    f.timedBlockSize = text("txtTimedBlockSize");
    f.timeIncrement = text("txtTimeIncrement");
    f.insertTimeDelay = checked("chkInsertTimeDelay");
    f.timeDelay = text("txtTimeDelay");
    f.smtpServer = text("txtSmtpServer");
    f.smtpPort = text("txtSmtpPort");
    f.smtpTls = child<QComboBox>("cboSmtpTls")->currentData().toInt();
    f.auth = checked("chkAuth");
    f.username = text("txtUserName");
    f.password = text("txtPassword");
    f.directSend = checked("chkDirectSend");
    f.dnsServer = text("txtDnsServer");
    // A field left empty or below its bound reads as leaving it would have made it.
    const struct {
        const char* name;
        DirectSendNumber which;
        QString* out;
    } numbers[] = {{"txtDnsTimeout", DirectSendNumber::DnsTimeout, &f.dnsTimeout},
                   {"txtDnsRetries", DirectSendNumber::DnsRetries, &f.dnsRetries},
                   {"txtMailerTimeout", DirectSendNumber::MailerTimeout, &f.mailerTimeout},
                   {"txtConcurrentMailers", DirectSendNumber::ConcurrentMailers, &f.concurrentMailers},
                   {"txtMailRetries", DirectSendNumber::MailRetries, &f.mailRetries}};
    for (const auto& n : numbers) {
        QLineEdit* e = child<QLineEdit>(n.name);
        e->setText(directSendOnLeave(n.which, e->text()));
        *n.out = e->text();
    }
    f.defaultServer = checked("chkDefaultServer");
    f.defaultMail = text("txtDefaultMail");
}

void frmSDProfileWiz::updateEnabled() {
    auto on = [this](const char* name) { return child<QAbstractButton>(name)->isChecked(); };
    auto enable = [this](std::initializer_list<const char*> names, bool enabled) {
        for (const char* name : names)
            child<QWidget>(name)->setEnabled(enabled);
    };
    const bool list = m_wizard.openedFromMailing;
    for (const char* name : {"lblList", "cboList", "lblListNote"})
        child<QWidget>(name)->setVisible(list);
    enable({"lblList", "cboList", "lblListNote"}, on("optSendFiltered"));
    enable({"chkIfNotYetFlagged", "txtSentFlagToCheck"}, on("optSendToFirst"));
    enable({"txtTimedBlockSize", "txtTimeIncrement", "lblThenWait", "lblMinute"}, on("chkTimedBlocks"));
    enable({"txtTimeDelay", "lblTenths"}, on("chkInsertTimeDelay"));
    enable({"lblUserName", "txtUserName", "lblPassword", "txtPassword"}, on("chkAuth"));
    const bool direct = on("chkDirectSend");
    for (QWidget* w : m_pages->widget(7)->findChildren<QWidget*>())
        w->setEnabled(direct);
}

void frmSDProfileWiz::markChanged() {
    if (!m_filling) m_changed = true;
}

void frmSDProfileWiz::specifyFilter() {
    collect();
    const QString file = m_wizard.filterListFile();
    if (file.isEmpty() || !selectionBuilder) return;
    const std::optional<QString> clause = selectionBuilder(this, file, m_wizard.fields.sqlFilter);
    if (!clause) return;
    m_wizard.fields.sqlFilter = *clause;
    child<QLabel>("lblFilterText")->setText(*clause);
    markChanged();
}

// ---- the frame's hooks

void frmSDProfileWiz::GoToPage(int page) {
    if (!m_wizard.pageEnabled(page)) return;
    m_page = page;
    WizardPageNew(page);
    WizardShowPage();
}

void frmSDProfileWiz::WizardPageNew(int page) {
    collect();
    const bool noDelay = m_wizard.pageNew(page);
    if (page == 4 && m_wizard.openedFromMailing) {
        auto* list = child<QComboBox>("cboList");
        list->clear();
        list->addItems(catalogueNames(m_ctx, CatalogueKind::List));
        list->setCurrentText(m_wizard.fields.listName.isEmpty() ? m_ctx.settings.curList
                                                                : m_wizard.fields.listName);
    }
    if (page == 6 && noDelay) child<QRadioButton>("optNoDelay")->setChecked(true);
    if (page == 7 && child<QLineEdit>("txtSmtpServer")->text() != m_wizard.fields.smtpServer) {
        const bool filling = std::exchange(m_filling, true);
        child<QLineEdit>("txtSmtpServer")->setText(m_wizard.fields.smtpServer);
        m_filling = filling;
    }
}

void frmSDProfileWiz::WizardShowPage() {
    m_pages->setCurrentIndex(m_page - 1);
    m_heading->setText(tr(kPageHeadings[m_page - 1]));
    setWindowTitle(m_wizard.windowTitle(m_page));
    WizardButtonState();
    QWidget* page = m_pages->currentWidget();
    for (QWidget* w = page->nextInFocusChain(); w != page && page->isAncestorOf(w); w = w->nextInFocusChain())
        if ((w->focusPolicy() & Qt::TabFocus) && w->isEnabled() && w->isVisibleTo(page)) {
            w->setFocus(Qt::OtherFocusReason);
            return;
        }
    m_next->setFocus(Qt::OtherFocusReason);
}

void frmSDProfileWiz::WizardButtonState() {
    const ProfileWizard::ButtonState s = m_wizard.buttonState(m_page);
    m_back->setEnabled(s.back);
    m_next->setEnabled(s.next);
    m_finish->setEnabled(s.finish);
    m_finish->setDefault(s.finishIsDefault);
    m_next->setDefault(!s.finishIsDefault);
}

void frmSDProfileWiz::focusField(const QString& name) {
    if (QWidget* w = findChild<QWidget*>(name)) {
        m_pages->setCurrentWidget(m_pages->widget(m_page - 1));
        w->setFocus(Qt::OtherFocusReason);
    }
}

void frmSDProfileWiz::WizardButtonClick(Button button) {
    switch (button) {
    case Button::Help:
        break;
    case Button::Cancel:
        reject();
        break;
    case Button::Back:
        GoToPage(m_wizard.previousPage(m_page));
        break;
    case Button::Next:
    case Button::Finish: {
        collect();
        const ProfileWizard::Check c = m_wizard.validatePage(m_page);
        if (!c.ok) {
            focusField(c.focus);
            return;
        }
        if (button == Button::Next) {
            GoToPage(m_wizard.nextPage(m_page));
            return;
        }
        if (!m_wizard.process()) return;
        m_finished = true;
        QDialog::accept();
        break;
    }
    }
}

void frmSDProfileWiz::reject() {
    if (m_unloading) {
        QDialog::reject();
        return;
    }
    if (!m_wizard.cancel()) return;
    QDialog::reject();
    if (m_wizard.endsSystem() && endSystem) endSystem();
}

void frmSDProfileWiz::ForceUnload() {
    m_unloading = true;
    QDialog::reject();
    m_unloading = false;
}

void frmSDProfileWiz::closeEvent(QCloseEvent* event) {
    if (m_finished || m_unloading || !isVisible()) {
        event->accept();
        return;
    }
    if (m_wizard.initialization()) {
        event->ignore();
        reject(); // without the default set the system cannot run: the Cancel question
        return;
    }
    if (m_changed && !m_wizard.confirmClose()) {
        event->ignore();
        return;
    }
    setResult(QDialog::Rejected);
    event->accept();
}

// ---- field behaviour

bool frmSDProfileWiz::eventFilter(QObject* watched, QEvent* event) {
    auto* e = qobject_cast<QLineEdit*>(watched);
    if (e && event->type() == QEvent::FocusIn) QTimer::singleShot(0, e, [e] { e->selectAll(); });
    if (e && event->type() == QEvent::FocusOut && e->objectName() == QLatin1String("txtProfileName") &&
        !e->isReadOnly()) {
        // Leaving for another field checks the name; the buttons check it with the page.
        const auto reason = static_cast<QFocusEvent*>(event)->reason();
        QWidget* to = QApplication::focusWidget();
        const bool toButton = qobject_cast<QPushButton*>(to) && !m_pages->isAncestorOf(to);
        if ((reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason ||
             reason == Qt::MouseFocusReason) &&
            !toButton && isAncestorOf(to))
            checkNameLater();
    }
    return QDialog::eventFilter(watched, event);
}

void frmSDProfileWiz::checkNameLater() {
    QTimer::singleShot(0, this, [this] {
        m_wizard.fields.name = child<QLineEdit>("txtProfileName")->text();
        const ProfileWizard::Check c = m_wizard.checkNameOnLeave();
        if (!c.ok) focusField(c.focus);
    });
}

} // namespace sendora
