#include "authoring/ui/frmConfiguration.h"

#include "authoring/ui/frmSignature.h"
#include "core/AppContext.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>
#include <memory>

namespace sendora {

namespace {

bool isSignatures(SnippetStore::Kind kind) {
    return kind == SnippetStore::Kind::Signatures;
}

QLabel* note(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setWordWrap(true);
    return label;
}

QPushButton* button(const QString& text, const char* name, QWidget* parent) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(QLatin1String(name));
    b->setAutoDefault(false);
    return b;
}

// A page holding one titled group; the group's layout is returned for the fields.
QVBoxLayout* groupPage(QWidget* page, const QString& title) {
    auto* group = new QGroupBox(title, page);
    auto* outer = new QVBoxLayout(page);
    outer->addWidget(group, 1);
    return new QVBoxLayout(group);
}

} // namespace

frmConfiguration::frmConfiguration(AppContext& ctx, int page, QWidget* parent)
    : QDialog(parent), m_ctx(ctx), m_model(ctx), m_tabs(new QTabWidget(this)) {
    setObjectName(QStringLiteral("frmConfiguration"));
    setWindowTitle(QStringLiteral("Sendora Options"));
    m_tabs->setObjectName(QStringLiteral("tabOptions"));
    // Added in the order of Page.
    m_tabs->addTab(sendSettingsPage(), tr("Send Settings"));
    m_tabs->addTab(displayPage(), tr("Display"));
    m_tabs->addTab(groupSizePage(), tr("Group Mail"));
    m_tabs->addTab(wordWrapPage(), tr("Word Wrap"));
    m_tabs->addTab(textOnlyPage(), tr("Text Only Mail"));
    m_tabs->addTab(snippetPage(SnippetStore::Kind::ClickCodes), tr("LivePerson"));
    m_tabs->addTab(returnMailPage(), tr("Return Mail"));
    m_tabs->addTab(subjectsPage(), tr("Return Mail Subjects"));
    m_tabs->addTab(snippetPage(SnippetStore::Kind::Signatures), tr("Signature"));

    auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    box->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("cmdOK"));
    box->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("cmdCancel"));
    connect(box, &QDialogButtonBox::accepted, this, &frmConfiguration::pressOk);
    connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs, 1);
    layout->addWidget(box);

    load();
    m_tabs->setCurrentIndex(qBound(0, page, m_tabs->count() - 1));
    resize(560, 420);
}

void frmConfiguration::ShowOptions(AppContext& ctx, int page, QWidget* parent) {
    frmConfiguration dialog(ctx, page, parent);
    dialog.exec();
}

// ---- pages

QWidget* frmConfiguration::sendSettingsPage() {
    auto* page = new QWidget(this);
    QVBoxLayout* g = groupPage(page, tr("Send Settings"));
    m_bracketOnFrom = new QCheckBox(QStringLiteral("Use \"<  >\" around address in FROM:"), page);
    m_bracketOnFrom->setObjectName(QStringLiteral("chkBracketOnFrom"));
    m_serverWantsBracket = new QCheckBox(QStringLiteral("Use \"<  >\" around address in RCPT TO:"), page);
    m_serverWantsBracket->setObjectName(QStringLiteral("chkServerWantsBracket"));
    g->addWidget(m_bracketOnFrom);
    g->addWidget(note(tr("Most mail servers expect the sender's address in angle brackets; "
                         "clear this only when yours refuses them."),
                      page));
    g->addWidget(m_serverWantsBracket);
    g->addWidget(note(tr("Some mail servers want each recipient's address in angle brackets and "
                         "some do not; check this when yours refuses recipients without them."),
                      page));
    g->addStretch(1);
    return page;
}

QWidget* frmConfiguration::displayPage() {
    auto* page = new QWidget(this);
    QVBoxLayout* g = groupPage(page, tr("Display Preferences"));
    g->addWidget(
        note(QStringLiteral("You can specify how Sendora opens some of its windows by default."), page));
    m_startSDCentral = new QCheckBox(QStringLiteral("Start program with Sendora Central open"), page);
    m_startSDCentral->setObjectName(QStringLiteral("chkStartSDCentral"));
    g->addWidget(m_startSDCentral);
    g->addStretch(1);
    return page;
}

QWidget* frmConfiguration::groupSizePage() {
    auto* page = new QWidget(this);
    QVBoxLayout* g = groupPage(page, tr("Group Mail Box Size"));
    // Wider than the stored range: OK brings the value into 1..100.
    m_groupSize = new QSpinBox(page);
    m_groupSize->setObjectName(QStringLiteral("txtGroupSize"));
    m_groupSize->setRange(-99999, 99999);
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel(QStringLiteral("Group Size:"), page));
    row->addWidget(m_groupSize);
    row->addStretch(1);
    g->addLayout(row);
    g->addStretch(1);
    return page;
}

QWidget* frmConfiguration::wordWrapPage() {
    auto* page = new QWidget(this);
    QVBoxLayout* g = groupPage(page, tr("Message Word Wrap"));
    // Text rather than a spin box: OK is what refuses a value that is no whole number.
    m_wordWrap = new QLineEdit(page);
    m_wordWrap->setObjectName(QStringLiteral("txtWordWrap"));
    m_wordWrap->setMaximumWidth(80);
    auto* up = new QToolButton(page);
    up->setObjectName(QStringLiteral("cmdWordWrapUp"));
    up->setArrowType(Qt::UpArrow);
    auto* down = new QToolButton(page);
    down->setObjectName(QStringLiteral("cmdWordWrapDown"));
    down->setArrowType(Qt::DownArrow);
    connect(up, &QToolButton::clicked, this, [this] { stepWordWrap(1); });
    connect(down, &QToolButton::clicked, this, [this] { stepWordWrap(-1); });
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel(QStringLiteral("Automatically wrap text at"), page));
    row->addWidget(m_wordWrap);
    row->addWidget(up);
    row->addWidget(down);
    row->addWidget(new QLabel(QStringLiteral("characters."), page));
    row->addStretch(1);
    g->addLayout(row);
    g->addWidget(note(QStringLiteral("To turn off word wrap enter 0 in the above value."), page));
    g->addWidget(
        note(QStringLiteral("*NOTE: This applies only when sending and previewing Plain Text messages.  "
                            "                It does not apply to HTML messages."),
             page));
    g->addStretch(1);
    return page;
}

QWidget* frmConfiguration::textOnlyPage() {
    auto* page = new QWidget(this);
    QVBoxLayout* g = groupPage(page, tr("Text Only Mail Settings"));
    m_allSettings = new QRadioButton(
        QStringLiteral("Send all mail with the settings specified in the Message Editor."), page);
    m_allSettings->setObjectName(QStringLiteral("optAllSettings"));
    m_textOnly = new QRadioButton(
        QStringLiteral("Send only Text Messages to people with the following domains."), page);
    m_textOnly->setObjectName(QStringLiteral("optTextOnlyDomains"));
    m_domain = new QLineEdit(page);
    m_domain->setObjectName(QStringLiteral("txtDomain"));
    m_domains = new QListWidget(page);
    m_domains->setObjectName(QStringLiteral("lstDomains"));
    QPushButton* add = button(tr("Add"), "cmdAddDomain", page);
    QPushButton* remove = button(tr("Remove"), "cmdRemoveDomain", page);
    connect(add, &QPushButton::clicked, this, &frmConfiguration::addDomain);
    connect(remove, &QPushButton::clicked, this, &frmConfiguration::removeDomain);
    connect(m_domain, &QLineEdit::returnPressed, this, &frmConfiguration::addDomain);
    auto* row = new QHBoxLayout;
    row->addWidget(m_domain, 1);
    row->addWidget(add);
    row->addWidget(remove);
    g->addWidget(m_allSettings);
    g->addWidget(m_textOnly);
    g->addLayout(row);
    g->addWidget(m_domains, 1);
    return page;
}

QWidget* frmConfiguration::snippetPage(SnippetStore::Kind kind) {
    const bool signatures = isSignatures(kind);
    auto* page = new QWidget(this);
    QVBoxLayout* g = groupPage(page, signatures ? tr("Signature") : tr("LivePerson Settings"));
    g->addWidget(note(signatures
                          ? QStringLiteral("Enter a Signature by pressing the Add button below, or press the "
                                           "Remove button to remove an existing Signature.")
                          : QStringLiteral("Enter your LivePerson information by pressing the Add button "
                                           "below, or press the Remove button to remove an existing "
                                           "LivePerson profile"),
                      page));
    auto* list = new QListWidget(page);
    list->setObjectName(signatures ? QStringLiteral("lstSignatures") : QStringLiteral("lstClickCodes"));
    (signatures ? m_signatures : m_clickCodes) = list;
    QPushButton* add = button(tr("Add"), signatures ? "cmdAddSignature" : "cmdAddClickCode", page);
    QPushButton* remove =
        button(tr("Remove"), signatures ? "cmdRemoveSignature" : "cmdRemoveClickCode", page);
    connect(add, &QPushButton::clicked, this, [this, kind] { addSnippet(kind); });
    connect(remove, &QPushButton::clicked, this, [this, kind] { removeSnippet(kind); });
    connect(list, &QListWidget::itemDoubleClicked, this, [this, kind] { editSnippet(kind); });
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    row->addWidget(add);
    row->addWidget(remove);
    g->addWidget(list, 1);
    g->addLayout(row);
    return page;
}

QWidget* frmConfiguration::returnMailPage() {
    auto* page = new QWidget(this);
    QVBoxLayout* g = groupPage(page, tr("Return Mail Settings"));
    m_checkOriginalTo =
        new QCheckBox(QStringLiteral("Check the original \"To:\" field of the returned message"), page);
    m_checkOriginalTo->setObjectName(QStringLiteral("chkCheckOriginalTo"));
    g->addWidget(m_checkOriginalTo);
    g->addWidget(
        note(QStringLiteral("(Note: Selecting this option will slow down the Return Mail Manager process)"),
             page));
    g->addStretch(1);
    return page;
}

QWidget* frmConfiguration::subjectsPage() {
    auto* page = new QWidget(this);
    QVBoxLayout* g = groupPage(page, tr("Return Mail Settings"));
    g->addWidget(
        note(QStringLiteral("Enter the subject line that your mail server uses to deliver undeliverable "
                            "mail and press the Add button below, or press the Remove button to delete "
                            "an existing entry."),
             page));
    m_subject = new QLineEdit(page);
    m_subject->setObjectName(QStringLiteral("txtSubject"));
    m_subjects = new QListWidget(page);
    m_subjects->setObjectName(QStringLiteral("lstSubjects"));
    QPushButton* add = button(tr("Add"), "cmdAddSubject", page);
    QPushButton* remove = button(tr("Remove"), "cmdRemoveSubject", page);
    connect(add, &QPushButton::clicked, this, &frmConfiguration::addSubject);
    connect(remove, &QPushButton::clicked, this, &frmConfiguration::removeSubject);
    connect(m_subject, &QLineEdit::returnPressed, this, &frmConfiguration::addSubject);
    auto* row = new QHBoxLayout;
    row->addWidget(m_subject, 1);
    row->addWidget(add);
    row->addWidget(remove);
    g->addLayout(row);
    g->addWidget(m_subjects, 1);
    return page;
}

// ---- load and OK

void frmConfiguration::load() {
    const ConfigurationValues v = m_model.load();
    m_bracketOnFrom->setChecked(v.bracketOnFrom);
    m_serverWantsBracket->setChecked(v.serverWantsBracket);
    m_startSDCentral->setChecked(v.startSDCentral);
    m_groupSize->setValue(v.groupMailBlockSize);
    m_wordWrap->setText(v.wordWrap);
    (v.checkIfDomainWantsTextOnly ? m_textOnly : m_allSettings)->setChecked(true);
    m_domains->addItems(v.domains);
    m_checkOriginalTo->setChecked(v.checkOriginalTo);
    m_subjects->addItems(m_model.subjects());
    fillSnippets(SnippetStore::Kind::Signatures, QString());
    fillSnippets(SnippetStore::Kind::ClickCodes, QString());
}

bool frmConfiguration::pressOk() {
    ConfigurationValues v;
    v.bracketOnFrom = m_bracketOnFrom->isChecked();
    v.serverWantsBracket = m_serverWantsBracket->isChecked();
    v.startSDCentral = m_startSDCentral->isChecked();
    m_groupSize->interpretText();
    v.groupMailBlockSize = m_groupSize->value();
    v.wordWrap = m_wordWrap->text();
    v.checkIfDomainWantsTextOnly = m_textOnly->isChecked();
    for (int i = 0; i < m_domains->count(); ++i)
        v.domains << m_domains->item(i)->text();
    v.checkOriginalTo = m_checkOriginalTo->isChecked();
    if (const QString refusal = m_model.apply(v); !refusal.isEmpty()) {
        m_ctx.ui->message(refusal, Buttons::OK, Icon::Information);
        m_tabs->setCurrentIndex(MessageWordWrap);
        m_wordWrap->setFocus();
        m_wordWrap->selectAll();
        return false;
    }
    accept();
    return true;
}

void frmConfiguration::stepWordWrap(int delta) {
    int value = 0;
    if (!ConfigurationModel::wordWrapRefusal(m_wordWrap->text(), &value).isEmpty()) value = 0;
    m_wordWrap->setText(QString::number(qMax(0, value + delta)));
}

// ---- subjects and domains

void frmConfiguration::addSubject() {
    const QString subject = m_subject->text();
    if (const QString refusal = m_model.addSubject(subject); !refusal.isEmpty()) {
        m_ctx.ui->message(refusal, Buttons::OK, Icon::Information);
        return;
    }
    m_subjects->addItem(subject);
    m_subject->clear();
}

void frmConfiguration::removeSubject() {
    QListWidgetItem* item = m_subjects->currentItem();
    if (!item || !m_model.removeSubject(item->text())) return;
    delete item;
}

void frmConfiguration::addDomain() {
    QStringList domains;
    for (int i = 0; i < m_domains->count(); ++i)
        domains << m_domains->item(i)->text();
    if (!ConfigurationModel::addDomain(domains, m_domain->text())) return;
    m_domains->addItem(domains.last());
    m_domain->clear();
}

void frmConfiguration::removeDomain() {
    delete m_domains->currentItem();
}

// ---- signatures and button profiles

QListWidget* frmConfiguration::snippetList(SnippetStore::Kind kind) const {
    return isSignatures(kind) ? m_signatures : m_clickCodes;
}

void frmConfiguration::fillSnippets(SnippetStore::Kind kind, const QString& select) {
    QListWidget* list = snippetList(kind);
    list->clear();
    list->addItems(SnippetStore(m_ctx, kind).descriptions());
    const QList<QListWidgetItem*> found = list->findItems(select, Qt::MatchExactly);
    list->setCurrentRow(found.isEmpty() ? (list->count() ? 0 : -1) : list->row(found.first()));
}

void frmConfiguration::addSnippet(SnippetStore::Kind kind) {
    std::unique_ptr<SnippetEditor> editor;
    if (isSignatures(kind))
        editor = std::make_unique<frmSignature>(m_ctx, QString(), this);
    else
        editor = std::make_unique<frmHumanClick>(m_ctx, QString(), this);
    if (editor->exec() == QDialog::Accepted) fillSnippets(kind, editor->savedDescription());
}

void frmConfiguration::editSnippet(SnippetStore::Kind kind) {
    QListWidgetItem* item = snippetList(kind)->currentItem();
    if (!item) return;
    std::unique_ptr<SnippetEditor> editor;
    if (isSignatures(kind))
        editor = std::make_unique<frmSignature>(m_ctx, item->text(), this);
    else
        editor = std::make_unique<frmHumanClick>(m_ctx, item->text(), this);
    if (editor->exec() == QDialog::Accepted) fillSnippets(kind, editor->savedDescription());
}

void frmConfiguration::removeSnippet(SnippetStore::Kind kind) {
    QListWidgetItem* item = snippetList(kind)->currentItem();
    if (!item) return;
    SnippetStore(m_ctx, kind).remove(item->text());
    fillSnippets(kind, QString());
}

} // namespace sendora
