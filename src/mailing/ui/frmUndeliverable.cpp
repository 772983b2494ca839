#include "mailing/ui/frmUndeliverable.h"

#include "core/AppContext.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace sendora {

const QString frmUndeliverable::kHeading1 = QStringLiteral(
    "Please select the type of undeliverable address that the Undeliverable Manager will remove from the "
    "address list.");
const QString frmUndeliverable::kHeading2 =
    QStringLiteral("Please select what address list to remove undeliverable addresses from.");
const QString frmUndeliverable::kHeading3 = QStringLiteral(
    "This is a list of the number of undeliverable addresses found in the selected address list grouped by "
    "the reason why they were undeliverable. Press the next button to remove the addresses.");
const QString frmUndeliverable::kDone = QStringLiteral("Removal of undeliverable addresses is complete.");
const QString frmUndeliverable::kNothingToRemove =
    QStringLiteral("There were no undeliverable addresses to remove.");
const QString frmUndeliverable::kNoLists = QStringLiteral("No address lists were found.");

namespace {
const char* const kBoxNames[6] = {"chkAllErrors", "chkDNSTimeouts",  "chkMailerTimeouts",
                                  "chkDNSErrors", "chkMailerErrors", "chkSocketErrors"};
} // namespace

frmUndeliverable::frmUndeliverable(AppContext& ctx, QWidget* parent)
    : QDialog(parent), m_ctx(ctx), m_manager(ctx) {
    setObjectName(QStringLiteral("frmUndeliverable"));
    setWindowTitle(QStringLiteral("Undeliverable Manager"));
    setModal(true);
    m_heading = new QLabel(this);
    m_heading->setObjectName(QStringLiteral("lblHeading"));
    m_heading->setWordWrap(true);
    m_pages = new QStackedWidget(this);

    auto* causes = new QWidget(m_pages);
    auto* causesLayout = new QVBoxLayout(causes);
    for (int i = 0; i < 6; ++i) {
        m_categories[size_t(i)] = new QCheckBox(CUndeliverables::labels()[size_t(i)], causes);
        m_categories[size_t(i)]->setObjectName(QLatin1String(kBoxNames[i]));
        causesLayout->addWidget(m_categories[size_t(i)]);
    }
    causesLayout->addStretch();
    m_pages->addWidget(causes);

    auto* lists = new QWidget(m_pages);
    auto* listsLayout = new QVBoxLayout(lists);
    m_lists = new QListWidget(lists);
    m_lists->setObjectName(QStringLiteral("lstLists"));
    m_noLists = new QLabel(kNoLists, lists);
    m_noLists->setObjectName(QStringLiteral("lblNoLists"));
    listsLayout->addWidget(m_lists);
    listsLayout->addWidget(m_noLists);
    m_pages->addWidget(lists);

    auto* counts = new QWidget(m_pages);
    auto* countsLayout = new QFormLayout(counts);
    for (int i = 0; i < 6; ++i) {
        m_counts[size_t(i)] = new QLabel(QStringLiteral("0"), counts);
        m_counts[size_t(i)]->setObjectName(QStringLiteral("lblCount%1").arg(i));
        countsLayout->addRow(CUndeliverables::labels()[size_t(i)] + u':', m_counts[size_t(i)]);
    }
    m_pages->addWidget(counts);
    m_pages->addWidget(new QWidget(m_pages)); // the result: the heading says it

    m_back = new QPushButton(QStringLiteral("< &Back"), this);
    m_back->setObjectName(QStringLiteral("cmdBack"));
    m_next = new QPushButton(QStringLiteral("&Next >"), this);
    m_next->setObjectName(QStringLiteral("cmdNext"));
    m_cancel = new QPushButton(QStringLiteral("&Cancel"), this);
    m_cancel->setObjectName(QStringLiteral("cmdCancel"));
    connect(m_back, &QPushButton::clicked, this, &frmUndeliverable::back);
    connect(m_next, &QPushButton::clicked, this, &frmUndeliverable::next);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_back);
    buttons->addWidget(m_next);
    buttons->addWidget(m_cancel);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_heading);
    layout->addWidget(m_pages, 1);
    layout->addLayout(buttons);
    showPage(0);
}

int frmUndeliverable::page() const {
    return m_pages->currentIndex();
}

void frmUndeliverable::showPage(int p) {
    m_pages->setCurrentIndex(p);
    static const QString* headings[] = {&kHeading1, &kHeading2, &kHeading3};
    if (p < 3) m_heading->setText(*headings[p]);
    m_back->setEnabled(p > 0 && p < 3);
    m_next->setText(p == 3 ? QStringLiteral("&Finish") : QStringLiteral("&Next >"));
    m_cancel->setEnabled(p < 3);
}

void frmUndeliverable::fillLists() {
    m_lists->clear();
    const QStringList names = m_manager.listNames();
    m_lists->addItems(names);
    m_lists->setVisible(!names.isEmpty());
    m_noLists->setVisible(names.isEmpty());
    if (!names.isEmpty()) m_lists->setCurrentRow(0);
}

void frmUndeliverable::showCounts() {
    m_manager.addressList = m_lists->currentItem()->text();
    m_listPath = m_manager.getPathName();
    const auto counts = m_manager.countAll(m_listPath);
    for (int i = 0; i < 6; ++i)
        m_counts[size_t(i)]->setText(QString::number(counts[size_t(i)]));
}

void frmUndeliverable::removeSelected() {
    bool any = false;
    for (QLabel* count : m_counts)
        any = any || count->text().toInt() > 0;
    if (any) m_manager.Remove();
    m_heading->setText(any ? kDone : kNothingToRemove);
}

void frmUndeliverable::next() {
    switch (page()) {
    case 0: {
        bool* flags[6] = {&m_manager.allErrors, &m_manager.dnsTimeouts,  &m_manager.mailerTimeouts,
                          &m_manager.dnsErrors, &m_manager.mailerErrors, &m_manager.socketErrors};
        bool any = false;
        for (int i = 0; i < 6; ++i)
            any = any || (*flags[i] = m_categories[size_t(i)]->isChecked());
        if (!any) {
            m_ctx.ui->message(QStringLiteral("Please select at least one type of undeliverable address."),
                              Buttons::OK, Icon::Information, QStringLiteral("Undeliverable Manager"));
            return;
        }
        fillLists();
        showPage(1);
        return;
    }
    case 1:
        if (!m_lists->currentItem()) return; // no list to choose
        showCounts();
        showPage(2);
        return;
    case 2:
        showPage(3);
        removeSelected();
        return;
    default:
        accept();
    }
}

void frmUndeliverable::back() {
    if (page() > 0 && page() < 3) showPage(page() - 1);
}

} // namespace sendora
