#include "pop/ui/frmPOPWizard.h"

#include "core/AppContext.h"
#include "core/Catalogue.h"
#include "core/SystemDatabase.h"
#include "core/ui/WizardFrame.h"
#include "pop/PopAccounts.h"
#include "pop/PopRun.h"
#include "pop/PopWizard.h"
#include "pop/SearchFiles.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace sendora {

using namespace sendora::pop;
using wizard::named;
using wizard::wrapped;

namespace {

constexpr int kPhraseRole = Qt::UserRole + 1; // true on phrase rows, false on category rows

} // namespace

frmPOPWizard::frmPOPWizard(AppContext& ctx, int mode, QWidget* parent)
    : QDialog(parent), m_ctx(ctx), m_mode(mode < 1 || mode > 3 ? 3 : mode) {
    setObjectName(QStringLiteral("frmPOPWizard"));
    setWindowTitle(kPopWizardCaption);
    lblTitle = wizard::titleLabel(this, 1.25);
    m_pages = new QStackedWidget(this);
    buildPages();

    cmdBack = wizard::navButton(this, QStringLiteral("< &Back"), "cmdBack", &frmPOPWizard::back);
    cmdNext = wizard::navButton(this, QStringLiteral("&Next >"), "cmdNext", &frmPOPWizard::next);
    cmdFinish = wizard::navButton(this, QStringLiteral("&Finish"), "cmdFinish", &frmPOPWizard::finish);
    cmdExit = wizard::navButton(this, QStringLiteral("E&xit"), "cmdExit", &frmPOPWizard::reject);
    wizard::frame(this, lblTitle, m_pages, wizard::navRow({cmdBack, cmdNext, cmdFinish, cmdExit}));

    fillAccounts(kNewAccountEntry);
    showPage(1);
}

frmPOPWizard::~frmPOPWizard() = default;

void frmPOPWizard::buildPages() {
    // 1: account
    auto* p1 = new QWidget;
    cboAccount = named(new QComboBox(p1), "cboAccount");
    txtUserName = named(new QLineEdit(p1), "txtUserName");
    txtPassword = named(new QLineEdit(p1), "txtPassword");
    txtPassword->setEchoMode(QLineEdit::Password);
    txtHost = named(new QLineEdit(p1), "txtHost");
    txtPort = named(new QLineEdit(p1), "txtPort");
    txtPort->setPlaceholderText(QStringLiteral("110"));
    txtPort->setValidator(new QIntValidator(1, 65535, txtPort));
    cboSecurity = named(new QComboBox(p1), "cboSecurity");
    for (PopSecurity s : {PopSecurity::IfOffered, PopSecurity::StartTls, PopSecurity::Tls, PopSecurity::None})
        cboSecurity->addItem(securityName(s), int(s));
    chkRemember = named(new QCheckBox(QStringLiteral("Remember Password"), p1), "chkRemember");
    chkRemember->setChecked(true);
    chkDelete = named(new QCheckBox(QStringLiteral("Delete Mail From Server"), p1), "chkDelete");
    cmdAddAccount = named(new QPushButton(QStringLiteral("&Add This Account"), p1), "cmdAddAccount");
    cmdRemoveAccount = named(new QPushButton(QStringLiteral("&Remove"), p1), "cmdRemoveAccount");
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Account Description:"), cboAccount);
    form->addRow(QStringLiteral("User Name:"), txtUserName);
    form->addRow(QStringLiteral("Password:"), txtPassword);
    form->addRow(QStringLiteral("POP Mail Host:"), txtHost);
    form->addRow(
        QString(),
        wrapped(QStringLiteral("Enter the domain address of the POP server (eg: pop.example.com)"), p1));
    form->addRow(QStringLiteral("Port:"), txtPort);
    form->addRow(QStringLiteral("Security:"), cboSecurity);
    auto* accountButtons = new QHBoxLayout;
    accountButtons->addWidget(cmdAddAccount);
    accountButtons->addWidget(cmdRemoveAccount);
    accountButtons->addStretch();
    auto* l1 = new QVBoxLayout(p1);
    l1->addWidget(new QLabel(QStringLiteral("Select POP account for processing."), p1));
    l1->addLayout(form);
    l1->addWidget(chkRemember);
    l1->addWidget(chkDelete);
    l1->addLayout(accountButtons);
    l1->addStretch();
    connect(cboAccount, &QComboBox::currentIndexChanged, this, &frmPOPWizard::accountChosen);
    connect(cmdAddAccount, &QPushButton::clicked, this, &frmPOPWizard::addOrUpdateAccount);
    connect(cmdRemoveAccount, &QPushButton::clicked, this, &frmPOPWizard::removeAccount);

    // 2: what to retrieve
    auto* p2 = new QWidget;
    optAll = named(new QRadioButton(QStringLiteral("Get ALL mail (no filtering)"), p2), "optAll");
    optUndeliverable =
        named(new QRadioButton(QStringLiteral("Obtain UNDELIVERABLE mail"), p2), "optUndeliverable");
    optFilter = named(new QRadioButton(QStringLiteral("Search for mail based on a FILTER"), p2), "optFilter");
    (m_mode == 1 ? optUndeliverable : m_mode == 2 ? optFilter : optAll)->setChecked(true);
    auto* l2 = new QVBoxLayout(p2);
    for (QRadioButton* r : {optAll, optUndeliverable, optFilter})
        l2->addWidget(r);
    l2->addStretch();

    // 3: phrases
    auto* p3 = new QWidget;
    treePhrases = named(new QTreeWidget(p3), "treePhrases");
    treePhrases->setHeaderLabel(QStringLiteral("Categories \\ Phrases"));
    treePhrases->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(treePhrases, &QTreeWidget::itemChanged, this, &frmPOPWizard::phraseChanged);
    connect(treePhrases, &QTreeWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        QMenu menu(this);
        menu.addAction(QStringLiteral("Select All Phrases"), this, [this] { checkAllPhrases(true, true); });
        menu.addAction(QStringLiteral("UnSelect All Phrases"), this,
                       [this] { checkAllPhrases(true, false); });
        menu.addAction(QStringLiteral("Select All Categories"), this,
                       [this] { checkAllPhrases(false, true); });
        menu.addAction(QStringLiteral("UnSelect All Categories"), this,
                       [this] { checkAllPhrases(false, false); });
        menu.exec(treePhrases->viewport()->mapToGlobal(at));
    });
    auto* phraseButtons = new QVBoxLayout;
    for (auto [caption, name, slot] :
         {std::tuple{"New Phrase", "cmdNewPhrase", &frmPOPWizard::newPhrase},
          std::tuple{"Remove Phrase", "cmdRemovePhrase", &frmPOPWizard::removePhrase},
          std::tuple{"New Category", "cmdNewCategory", &frmPOPWizard::newCategory},
          std::tuple{"Remove Category", "cmdRemoveCategory", &frmPOPWizard::removeCategory}}) {
        auto* b = named(new QPushButton(QLatin1String(caption), p3), name);
        connect(b, &QPushButton::clicked, this, slot);
        phraseButtons->addWidget(b);
    }
    phraseButtons->addStretch();
    auto* tree = new QHBoxLayout;
    tree->addWidget(treePhrases, 1);
    tree->addLayout(phraseButtons);
    auto* l3 = new QVBoxLayout(p3);
    l3->addWidget(
        wrapped(QStringLiteral("Categories enable you to group related search phrases.  Check the phrases "
                               "and categories to include in the search."),
                p3));
    l3->addLayout(tree);

    // 4: what to do with the addresses
    auto* p4 = new QWidget;
    optUpdateLists =
        named(new QRadioButton(QStringLiteral("Automatically update existing mailing list(s)"), p4),
              "optUpdateLists");
    optCreateList = named(new QRadioButton(QStringLiteral("Create a mailing list"), p4), "optCreateList");
    chkAlsoSave = named(new QCheckBox(QStringLiteral("Also save retrieved addresses in a new list"), p4),
                        "chkAlsoSave");
    (m_mode == 3 ? optCreateList : optUpdateLists)->setChecked(true);
    auto* l4 = new QVBoxLayout(p4);
    l4->addWidget(optUpdateLists);
    l4->addWidget(chkAlsoSave);
    l4->addWidget(optCreateList);
    l4->addStretch();
    connect(optUpdateLists, &QRadioButton::toggled, chkAlsoSave, &QCheckBox::setEnabled);

    // 5: lists
    auto* p5 = new QWidget;
    optAdding = named(new QRadioButton(QStringLiteral("Adding to the following list(s)"), p5), "optAdding");
    optRemoving =
        named(new QRadioButton(QStringLiteral("Removing from the following list(s)"), p5), "optRemoving");
    (m_mode == 2 ? optAdding : optRemoving)->setChecked(true);
    optAdding->setEnabled(m_mode != 1); // returned mail is only ever removed
    lstLists = named(new QListWidget(p5), "lstLists");
    auto* selectAll = named(new QPushButton(QStringLiteral("Select All"), p5), "cmdSelectAll");
    auto* deselectAll = named(new QPushButton(QStringLiteral("Deselect All"), p5), "cmdDeselectAll");
    chkGlobalRemove =
        named(new QCheckBox(QStringLiteral("Add addresses to Global Remove List."), p5), "chkGlobalRemove");
    for (auto [button, state] : {std::pair{selectAll, Qt::Checked}, std::pair{deselectAll, Qt::Unchecked}})
        connect(button, &QPushButton::clicked, this, [this, state] {
            for (int i = 0; i < lstLists->count(); ++i)
                lstLists->item(i)->setCheckState(state);
        });
    auto* listButtons = new QHBoxLayout;
    listButtons->addWidget(selectAll);
    listButtons->addWidget(deselectAll);
    listButtons->addStretch();
    auto* l5 = new QVBoxLayout(p5);
    l5->addWidget(optAdding);
    l5->addWidget(optRemoving);
    l5->addWidget(lstLists, 1);
    l5->addLayout(listButtons);
    l5->addWidget(chkGlobalRemove);

    // 6: processing
    auto* p6 = new QWidget;
    lstStatus = named(new QListWidget(p6), "lstStatus");
    lblBytes = named(new QLabel(QStringLiteral("Total Bytes Processed... 0"), p6), "lblBytes");
    lblAddresses = named(new QLabel(p6), "lblAddresses");
    lblStatus = named(new QLabel(QStringLiteral("Mail Processing Has Not Started"), p6), "lblStatus");
    lblHint = named(new QLabel(QStringLiteral("Press Start To Continue."), p6), "lblHint");
    cmdStart = named(new QPushButton(QStringLiteral("Start"), p6), "cmdStart");
    cmdCancel = named(new QPushButton(QStringLiteral("Cancel"), p6), "cmdCancel");
    cmdCancel->setEnabled(false);
    connect(cmdStart, &QPushButton::clicked, this, &frmPOPWizard::start);
    connect(cmdCancel, &QPushButton::clicked, this, [this] {
        if (m_run) m_run->cancel();
    });
    auto* runButtons = new QHBoxLayout;
    runButtons->addWidget(cmdStart);
    runButtons->addWidget(cmdCancel);
    runButtons->addStretch();
    auto* l6 = new QVBoxLayout(p6);
    l6->addWidget(lstStatus, 1);
    for (QLabel* l : {lblBytes, lblAddresses, lblStatus, lblHint})
        l6->addWidget(l);
    l6->addLayout(runButtons);

    for (QWidget* p : {p1, p2, p3, p4, p5, p6})
        m_pages->addWidget(p);
}

void frmPOPWizard::LoadPOPWizard(AppContext& ctx, int mode, QWidget* parent,
                                 std::function<void(const QString& file)> showList) {
    if (!acceptWizardMode(*ctx.ui, mode)) return;
    frmPOPWizard wizard(ctx, mode, parent);
    wizard.showList = std::move(showList);
    wizard.exec();
}

QString frmPOPWizard::pageTitle() const {
    return pop::pageTitle(m_page, m_mode);
}

void frmPOPWizard::showPage(int page) {
    m_page = page;
    m_pages->setCurrentIndex(page - 1);
    lblTitle->setText(pageTitle());
    if (page == 3) fillPhrases();
    if (page == 5 && lstLists->count() == 0) fillLists();
    cmdBack->setEnabled(page > 1 && !m_running);
    cmdNext->setEnabled(page < kPages);
    cmdFinish->setEnabled(page == kPages && !m_running && !cmdStart->isEnabled());
}

// Page 3 only matters for a filter, page 5 only when lists are updated.
int frmPOPWizard::nextPage(int from) const {
    int page = from + 1;
    if (page == 3 && !optFilter->isChecked()) ++page;
    if (page == 5 && optCreateList->isChecked()) ++page;
    return page;
}

int frmPOPWizard::previousPage(int from) const {
    int page = from - 1;
    if (page == 5 && optCreateList->isChecked()) --page;
    if (page == 3 && !optFilter->isChecked()) --page;
    return page;
}

bool frmPOPWizard::leavePage() {
    UserInterface& ui = *m_ctx.ui;
    switch (m_page) {
    case 1: {
        if (!checkLoginPage(ui, txtUserName->text(), txtHost->text())) return false;
        const QString id = cboAccount->currentText();
        if (id != kNewAccountEntry) {
            if (auto stored = PopAccountStore(m_ctx).load(id)) {
                PopAccount edited = accountFields();
                if (!chkRemember->isChecked()) edited.password.clear();
                offerToSaveChanges(m_ctx, *stored, edited);
            }
        }
        return true;
    }
    case 3:
        return checkPhrasePage(ui, RetrieveChoice::Filter, int(checkedPhrases().size()));
    case 5:
        return checkListPage(ui, m_mode, checkedListCount());
    default:
        return true;
    }
}

void frmPOPWizard::next() {
    if (m_page >= kPages || m_running || !leavePage()) return;
    showPage(nextPage(m_page));
}

void frmPOPWizard::back() {
    if (m_page <= 1 || m_running) return;
    showPage(previousPage(m_page));
}

// ---- accounts

void frmPOPWizard::fillAccounts(const QString& select) {
    m_filling = true;
    cboAccount->clear();
    cboAccount->addItems(PopAccountStore(m_ctx).accountList());
    m_filling = false;
    const int at = cboAccount->findText(select);
    cboAccount->setCurrentIndex(at < 0 ? 0 : at);
    accountChosen();
}

void frmPOPWizard::accountChosen() {
    if (m_filling) return;
    const QString id = cboAccount->currentText();
    cmdAddAccount->setText(accountButtonText(id));
    cmdRemoveAccount->setEnabled(id != kNewAccountEntry);
    if (id == kNewAccountEntry) return;
    const std::optional<PopAccount> a = PopAccountStore(m_ctx).load(id);
    if (!a) return;
    txtUserName->setText(a->userName);
    txtPassword->setText(a->password);
    txtHost->setText(a->serverName);
    txtPort->setText(a->port > 0 ? QString::number(a->port) : QString());
    cboSecurity->setCurrentIndex(qMax(0, cboSecurity->findData(int(a->security))));
    // An account stored without its password was saved with "Remember Password" off.
    chkRemember->setChecked(!a->password.isEmpty());
}

void frmPOPWizard::addOrUpdateAccount() {
    PopAccount a = accountFields();
    if (!chkRemember->isChecked()) a.password.clear();
    PopAccountStore store(m_ctx);
    if (a.id != kNewAccountEntry) {
        store.update(a);
        return;
    }
    const QString typed = txtPassword->text();
    const QString name = store.askAndAdd(a);
    if (name.isEmpty()) return;
    fillAccounts(name);
    txtPassword->setText(typed); // this run still has it when it is not remembered
}

void frmPOPWizard::removeAccount() {
    const QString id = cboAccount->currentText();
    if (id == kNewAccountEntry || !PopAccountStore(m_ctx).remove(id)) return;
    fillAccounts(kNewAccountEntry);
}

PopAccount frmPOPWizard::accountFields() const {
    PopAccount a;
    a.id = cboAccount->currentText();
    a.userName = txtUserName->text().trimmed();
    a.password = txtPassword->text();
    a.serverName = txtHost->text().trimmed();
    a.port = txtPort->text().toInt();
    a.security = PopSecurity(cboSecurity->currentData().toInt());
    return a;
}

// ---- phrases

void frmPOPWizard::fillPhrases() {
    m_filling = true;
    treePhrases->clear();
    for (const PhraseCategory& c : SearchFiles(m_ctx).readAll()) {
        auto* cat = new QTreeWidgetItem(treePhrases, {c.name});
        cat->setData(0, kPhraseRole, false);
        cat->setFlags(cat->flags() | Qt::ItemIsUserCheckable);
        cat->setCheckState(0, c.selected ? Qt::Checked : Qt::Unchecked);
        for (const SubjectPhrase& p : c.phrases) {
            auto* item = new QTreeWidgetItem(cat, {p.text});
            item->setData(0, kPhraseRole, true);
            item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
            item->setCheckState(0, p.selected ? Qt::Checked : Qt::Unchecked);
        }
        cat->setExpanded(true);
    }
    m_filling = false;
}

void frmPOPWizard::phraseChanged(QTreeWidgetItem* item) {
    if (m_filling || !item) return;
    savePhraseCategory(item->parent() ? item->parent() : item);
}

// Check marks are kept in the category's file, so the next run starts with them.
void frmPOPWizard::savePhraseCategory(QTreeWidgetItem* category) {
    PhraseCategory c;
    c.name = category->text(0);
    c.selected = category->checkState(0) == Qt::Checked;
    for (int i = 0; i < category->childCount(); ++i)
        c.phrases << SubjectPhrase{category->child(i)->text(0),
                                   category->child(i)->checkState(0) == Qt::Checked};
    SearchFiles(m_ctx).write(c);
}

QString frmPOPWizard::chosenCategory() const {
    const QTreeWidgetItem* item = treePhrases->currentItem();
    if (!item) return {};
    return item->parent() ? item->parent()->text(0) : item->text(0);
}

void frmPOPWizard::newPhrase() {
    if (SearchFiles(m_ctx).newPhrase(chosenCategory())) fillPhrases();
}

void frmPOPWizard::removePhrase() {
    const QTreeWidgetItem* item = treePhrases->currentItem();
    if (!item || !item->parent()) return;
    if (SearchFiles(m_ctx).removePhrase(item->parent()->text(0), item->text(0))) fillPhrases();
}

void frmPOPWizard::newCategory() {
    if (SearchFiles(m_ctx).newCategory()) fillPhrases();
}

void frmPOPWizard::removeCategory() {
    const QTreeWidgetItem* item = treePhrases->currentItem();
    if (!item || item->parent()) return;
    if (SearchFiles(m_ctx).removeCategory(item->text(0))) fillPhrases();
}

void frmPOPWizard::checkAllPhrases(bool phrases, bool on) {
    m_filling = true;
    for (int i = 0; i < treePhrases->topLevelItemCount(); ++i) {
        QTreeWidgetItem* cat = treePhrases->topLevelItem(i);
        if (!phrases) cat->setCheckState(0, on ? Qt::Checked : Qt::Unchecked);
        for (int j = 0; phrases && j < cat->childCount(); ++j)
            cat->child(j)->setCheckState(0, on ? Qt::Checked : Qt::Unchecked);
    }
    m_filling = false;
    for (int i = 0; i < treePhrases->topLevelItemCount(); ++i)
        savePhraseCategory(treePhrases->topLevelItem(i));
}

QStringList frmPOPWizard::checkedPhrases() const {
    QList<PhraseCategory> categories;
    for (int i = 0; i < treePhrases->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* cat = treePhrases->topLevelItem(i);
        PhraseCategory c{cat->text(0), cat->checkState(0) == Qt::Checked, {}};
        for (int j = 0; j < cat->childCount(); ++j)
            c.phrases << SubjectPhrase{cat->child(j)->text(0), cat->child(j)->checkState(0) == Qt::Checked};
        categories << c;
    }
    return SearchFiles::checkedPhrases(categories);
}

// ---- lists

void frmPOPWizard::fillLists() {
    lstLists->clear();
    for (const QString& name : catalogueNames(m_ctx, CatalogueKind::List)) {
        if (name.compare(kGlobalRemoveListName, Qt::CaseInsensitive) == 0) continue;
        auto* item = new QListWidgetItem(name, lstLists);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
    }
}

int frmPOPWizard::checkedListCount() const {
    int n = 0;
    for (int i = 0; i < lstLists->count(); ++i)
        n += lstLists->item(i)->checkState() == Qt::Checked;
    return n;
}

// ---- the run

void frmPOPWizard::showStatus(const QString& text) {
    lstStatus->addItem(text);
    lstStatus->scrollToBottom();
}

void frmPOPWizard::start() {
    if (m_running || m_page != kPages) return;
    const PopAccount account = accountFields();
    const RetrieveChoice choice = optAll->isChecked()             ? RetrieveChoice::All
                                  : optUndeliverable->isChecked() ? RetrieveChoice::Undeliverable
                                                                  : RetrieveChoice::Filter;
    if (choice == RetrieveChoice::Filter && treePhrases->topLevelItemCount() == 0) fillPhrases();

    m_run = std::make_unique<PopRun>(m_ctx);
    ProcessEMail& session = m_run->session();
    connect(&session, &ProcessEMail::showCurrentOperation, this, [this](const QString& text) {
        showStatus(text);
        lblStatus->setText(text);
    });
    connect(&session, &ProcessEMail::showBytesReceived, lblBytes, &QLabel::setText);
    connect(&session, &ProcessEMail::showAddressesCollected, lblAddresses, &QLabel::setText);
    connect(m_run.get(), &PopRun::finished, this, &frmPOPWizard::runFinished);
    if (prepareRun) prepareRun(*m_run);

    m_running = true;
    m_listPath.clear();
    lstStatus->clear();
    cmdStart->setEnabled(false);
    cmdCancel->setEnabled(true);
    showPage(m_page);
    m_run->start(account, runOptions(m_mode, choice, chkDelete->isChecked(), checkedPhrases()));
}

void frmPOPWizard::runFinished(const PopRunResult& result) {
    m_running = false;
    m_listPath = result.listPath;
    cmdCancel->setEnabled(false);
    lblStatus->setText(statusAfterRun(result));
    lblHint->setText(hintAfterRun(result));
    showPage(m_page);
    if (m_closeAfterRun) {
        m_finished = true;
        QDialog::reject();
    }
}

void frmPOPWizard::finish() {
    if (m_running || m_page != kPages || cmdStart->isEnabled()) return;
    if (!m_listPath.isEmpty()) {
        FinishChoices c;
        c.updateLists = optUpdateLists->isChecked();
        c.keepNewList = optCreateList->isChecked() || chkAlsoSave->isChecked();
        for (int i = 0; i < lstLists->count(); ++i)
            if (lstLists->item(i)->checkState() == Qt::Checked) c.lists << lstLists->item(i)->text();
        c.adding = optAdding->isChecked();
        c.globalRemove = c.updateLists && chkGlobalRemove->isChecked();
        const ListUpdateResult r = applyFinish(m_ctx, m_mode, m_listPath, c);
        if (!r.counts.isEmpty()) {
            if (showSummary)
                showSummary(summaryHeading(m_mode), summaryRows(r));
            else
                summaryDialog(summaryHeading(m_mode), summaryRows(r));
        }
        if (c.keepNewList && showList) showList(m_listPath);
    }
    m_finished = true;
    accept();
}

void frmPOPWizard::summaryDialog(const QString& heading, const QList<QStringList>& rows) {
    QDialog d(this);
    d.setObjectName(QStringLiteral("frmPOPSummary"));
    d.setWindowTitle(QStringLiteral("POP Email Action Status Report"));
    auto* table = named(new QTreeWidget(&d), "tblSummary");
    table->setRootIsDecorated(false);
    table->setHeaderLabels(rows.value(0));
    for (const QStringList& row : rows.mid(1))
        new QTreeWidgetItem(table, row);
    table->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, &d);
    connect(buttons, &QDialogButtonBox::accepted, &d, &QDialog::accept);
    auto* l = new QVBoxLayout(&d);
    l->addWidget(named(new QLabel(heading, &d), "lblHeading"));
    l->addWidget(table);
    l->addWidget(buttons);
    d.exec();
}

// ---- closing

void frmPOPWizard::reject() {
    if (m_finished) {
        QDialog::reject();
        return;
    }
    if (!confirmClose(*m_ctx.ui)) return;
    if (m_running && m_run) {
        // The run ends at the next message; the wizard closes when it has quit.
        m_closeAfterRun = true;
        m_run->cancel();
        return;
    }
    m_finished = true;
    QDialog::reject();
}

void frmPOPWizard::closeEvent(QCloseEvent* event) {
    if (m_finished) {
        event->accept();
        return;
    }
    event->ignore();
    reject();
}

} // namespace sendora
