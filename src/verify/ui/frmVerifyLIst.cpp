#include "verify/ui/frmVerifyLIst.h"

#include "core/AppContext.h"
#include "core/ui/WizardFrame.h"

#include <QCloseEvent>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace sendora {

using namespace sendora::verify;
using wizard::named;
using wizard::wrapped;

namespace {

QSpinBox* spin(QWidget* parent, const char* name) {
    auto* s = named(new QSpinBox(parent), name);
    // Wider than the bounds: Save says what it changes.
    s->setRange(0, 9999);
    return s;
}

const QString kPageTitles[] = {QStringLiteral("Select a mailing list for verification"),
                               QStringLiteral("How do you want the Addresses handled?"),
                               QStringLiteral("Proceed with the List Verification")};

} // namespace

frmVerifyConfig::frmVerifyConfig(AppContext& ctx, QWidget* parent) : QDialog(parent), m_ctx(ctx) {
    setObjectName(QStringLiteral("frmVerifyConfig"));
    setWindowTitle(QStringLiteral("List Verify - Configuration"));
    txtPrimaryDNS = named(new QLineEdit(this), "txtPrimaryDNS");
    txtSecondaryDNS = named(new QLineEdit(this), "txtSecondaryDNS");
    txtDomain = named(new QLineEdit(this), "txtDomain");
    txtMailFrom = named(new QLineEdit(this), "txtMailFrom");
    txtForcedTimeout = spin(this, "txtForcedTimeout");
    txtNumberEmails = spin(this, "txtNumberEmails");
    const VerifyConfigValues v = loadVerifyConfig(ctx);
    txtPrimaryDNS->setText(v.primaryDns);
    txtSecondaryDNS->setText(v.secondaryDns);
    txtDomain->setText(v.domain);
    txtMailFrom->setText(v.mailFrom);
    txtForcedTimeout->setValue(v.forcedTimeout);
    txtNumberEmails->setValue(v.numberEmails);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Use the following Primary DNS Server:"), txtPrimaryDNS);
    form->addRow(QStringLiteral("Use the following Secondary DNS Server (Optional):"), txtSecondaryDNS);
    form->addRow(QStringLiteral("Use the following Domain Name:"), txtDomain);
    form->addRow(QStringLiteral("MAIL FROM address:"), txtMailFrom);
    form->addRow(QStringLiteral("Forced Timeout (seconds):"), txtForcedTimeout);
    form->addRow(QStringLiteral("Number of emails checked at once:"), txtNumberEmails);
    auto* cmdSave = named(new QPushButton(QStringLiteral("Save"), this), "cmdSave");
    auto* cmdCancel = named(new QPushButton(QStringLiteral("Cancel"), this), "cmdCancel");
    connect(cmdSave, &QPushButton::clicked, this, [this] {
        save();
        accept();
    });
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdSave);
    buttons->addWidget(cmdCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons);
}

void frmVerifyConfig::save() {
    VerifyConfigValues v{txtPrimaryDNS->text().trimmed(), txtSecondaryDNS->text().trimmed(),
                         txtDomain->text().trimmed(),     txtMailFrom->text().trimmed(),
                         txtForcedTimeout->value(),       txtNumberEmails->value()};
    v = saveVerifyConfig(m_ctx, v);
    txtForcedTimeout->setValue(v.forcedTimeout);
    txtNumberEmails->setValue(v.numberEmails);
}

frmVerifyLIst::frmVerifyLIst(AppContext& ctx, CheckFactory factory, QWidget* parent)
    : QDialog(parent), m_ctx(ctx) {
    setObjectName(QStringLiteral("frmVerifyLIst"));
    setWindowTitle(QStringLiteral("Verify List"));
    m_run = new VerifyRun(ctx, factory ? std::move(factory) : networkChecks(this), this);
    lblTitle = wizard::titleLabel(this);
    m_pages = new QStackedWidget(this);

    auto* p1 = new QWidget(m_pages);
    lstLists = named(new QListWidget(p1), "lstLists");
    lstLists->addItems(verifiableLists(ctx));
    (new QVBoxLayout(p1))->addWidget(lstLists);

    auto* p2 = new QWidget(m_pages);
    optNewList = named(new QRadioButton(QStringLiteral("Create a new mailing list"), p2), "optNewList");
    optUpdate = named(new QRadioButton(QStringLiteral("Update existing mailing list"), p2), "optUpdate");
    optNewList->setChecked(true);
    auto* l2 = new QVBoxLayout(p2);
    l2->addWidget(optNewList);
    l2->addWidget(wrapped(
        QStringLiteral("(This new list can then be used with several of the List Management tools.)"), p2));
    l2->addWidget(optUpdate);
    l2->addWidget(
        wrapped(QStringLiteral("When a problem is found with an email address, an entry is made in the "
                               "'Keyword2' column of the corresponding record..."),
                p2));
    l2->addStretch();

    auto* p3 = new QWidget(m_pages);
    cmdConfig = named(new QPushButton(QStringLiteral("Configuration"), p3), "cmdConfig");
    cmdVerify = named(new QPushButton(QStringLiteral("Verify List"), p3), "cmdVerify");
    lblRecordsVerified = named(new QLabel(QStringLiteral("0"), p3), "lblRecordsVerified");
    auto* l3 = new QVBoxLayout(p3);
    l3->addWidget(wrapped(QStringLiteral("Checked one at a time, an address takes 4 - 6 seconds on average; "
                                         "the configuration sets how many are checked at once."),
                          p3));
    auto* counter = new QHBoxLayout;
    counter->addWidget(new QLabel(QStringLiteral("Records Verified:"), p3));
    counter->addWidget(lblRecordsVerified);
    counter->addStretch();
    l3->addLayout(counter);
    auto* b3 = new QHBoxLayout;
    b3->addWidget(cmdConfig);
    b3->addWidget(cmdVerify);
    b3->addStretch();
    l3->addLayout(b3);
    l3->addStretch();
    m_pages->addWidget(p1);
    m_pages->addWidget(p2);
    m_pages->addWidget(p3);

    cmdBack = wizard::navButton(this, QStringLiteral("< Back"), "cmdBack", &frmVerifyLIst::back);
    cmdNext = wizard::navButton(this, QStringLiteral("Next >"), "cmdNext", &frmVerifyLIst::next);
    cmdCancel = wizard::navButton(this, QStringLiteral("Close"), "cmdCancel", &frmVerifyLIst::reject);
    wizard::frame(this, lblTitle, m_pages, wizard::navRow({cmdBack, cmdNext, cmdCancel}));

    connect(cmdVerify, &QPushButton::clicked, this, &frmVerifyLIst::verifyList);
    connect(cmdConfig, &QPushButton::clicked, this, &frmVerifyLIst::configure);
    connect(m_run, &VerifyRun::progress, this,
            [this](qint64 n) { lblRecordsVerified->setText(QString::number(n)); });
    connect(m_run, &VerifyRun::finished, this, [this](bool) { ListAndButtonValues(true); });
    showPage(1);
}

frmVerifyLIst::~frmVerifyLIst() = default;

void frmVerifyLIst::LoadVERIFYWizard(AppContext& ctx, const QString& mode, QWidget* parent,
                                     std::function<void(const QString& file)> showList) {
    if (mode != kListVerification) {
        ctx.ui->message(QStringLiteral("Unknown VERIFY Wizard Format"), Buttons::OK, Icon::Exclamation);
        return;
    }
    frmVerifyLIst w(ctx, {}, parent);
    w.showList = std::move(showList);
    w.exec();
}

void frmVerifyLIst::showPage(int page) {
    m_page = page;
    m_pages->setCurrentIndex(page - 1);
    lblTitle->setText(kPageTitles[page - 1]);
    ListAndButtonValues(!m_run->running());
}

void frmVerifyLIst::ListAndButtonValues(bool enabled) {
    cmdBack->setEnabled(enabled && m_page > 1);
    cmdNext->setEnabled(enabled && m_page < 3);
    cmdVerify->setEnabled(enabled);
    cmdConfig->setEnabled(enabled);
    lstLists->setEnabled(enabled);
    optNewList->setEnabled(enabled);
    optUpdate->setEnabled(enabled);
}

void frmVerifyLIst::next() {
    if (m_page == 1 && !lstLists->currentItem()) {
        m_ctx.ui->message(QStringLiteral("You need to select a list to verify addresses from."), Buttons::OK,
                          Icon::Information);
        return;
    }
    if (m_page < 3) showPage(m_page + 1);
}

void frmVerifyLIst::back() {
    if (m_page > 1 && !m_run->running()) showPage(m_page - 1);
}

void frmVerifyLIst::configure() {
    frmVerifyConfig dlg(m_ctx, this);
    if (showConfig)
        showConfig(dlg);
    else
        dlg.exec();
}

void frmVerifyLIst::verifyList() {
    if (!lstLists->currentItem() || m_run->running()) return;
    lblRecordsVerified->setText(QStringLiteral("0"));
    m_run->showNewList = showList;
    const auto r = m_run->start(lstLists->currentItem()->text(),
                                optUpdate->isChecked() ? VerifyMode::UpdateList : VerifyMode::NewList);
    if (r == VerifyRun::Start::Started) ListAndButtonValues(false);
}

void frmVerifyLIst::reject() {
    if (!m_run->requestExit()) return;
    QDialog::reject();
}

void frmVerifyLIst::closeEvent(QCloseEvent* event) {
    if (m_run->requestExit())
        event->accept();
    else
        event->ignore();
}

} // namespace sendora
