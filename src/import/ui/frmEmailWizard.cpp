#include "import/ui/frmEmailWizard.h"

#include "core/AppContext.h"
#include "core/Settings.h"
#include "core/ui/WizardFrame.h"
#include "import/AddrManager.h"
#include "import/FileObject.h"
#include "import/ui/frmQueryUserReName.h"
#include "import/ui/frmSearchOptions.h"

#include <QCloseEvent>
#include <QDialogButtonBox>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace sendora {

using wizard::named;
using wizard::wrapped;

namespace {

const char* const kTitles[] = {"Import Addresses from Mailbox or Text Files",
                               "Select File(s) to Scan for Addresses", "Extract Personal Names",
                               "Extract Addresses and Build Mailing List"};
constexpr qint64 kViewBytes = 256 * 1024;

} // namespace

frmEmailWizard::frmEmailWizard(AppContext& ctx, AddrManager& manager, QWidget* parent)
    : QDialog(parent), m_ctx(ctx), m_manager(manager), m_question(new frmQueryUserReName(this)) {
    m_pages = new QStackedWidget(this);

    auto* p1 = new QWidget;
    (new QVBoxLayout(p1))
        ->addWidget(
            wrapped(QStringLiteral("This wizard will walk you through importing email addresses from mailbox "
                                   "or free-form text files. To begin, click Next."),
                    p1));

    auto* p2 = new QWidget;
    optText = named(new QRadioButton(QStringLiteral("Text file"), p2), "optText");
    optMailbox = named(new QRadioButton(QStringLiteral("Mailbox file"), p2), "optMailbox");
    optText->setChecked(true);
    lstFiles = named(new QListWidget(p2), "lstFiles");
    auto* files = new QHBoxLayout;
    files->addWidget(lstFiles);
    auto* fileButtons = new QVBoxLayout;
    for (auto [caption, name, slot] : {std::tuple{"Select file...", "cmdSelect", &frmEmailWizard::selectFile},
                                       std::tuple{"View...", "cmdView", &frmEmailWizard::viewFile},
                                       std::tuple{"Remove", "cmdRemove", &frmEmailWizard::removeFile},
                                       std::tuple{"Options", "cmdOptions", &frmEmailWizard::showOptions}}) {
        auto* b = named(new QPushButton(QLatin1String(caption), p2), name);
        connect(b, &QPushButton::clicked, this, slot);
        fileButtons->addWidget(b);
    }
    fileButtons->addStretch();
    files->addLayout(fileButtons);
    auto* l2 = new QVBoxLayout(p2);
    l2->addWidget(optText);
    l2->addWidget(
        wrapped(QStringLiteral(
                    "IMPORT or extract Email addresses from any free-form text file, including HTML files."),
                p2));
    l2->addWidget(optMailbox);
    l2->addWidget(wrapped(
        QStringLiteral("EXTRACT addresses from generic mailbox files such as used by Eudora and Netscape."),
        p2));
    l2->addLayout(files);
    connect(lstFiles, &QListWidget::itemClicked, this, &frmEmailWizard::entryClicked);

    auto* p3 = new QWidget;
    optNoNames =
        named(new QRadioButton(QStringLiteral("Disable name checking -- Slightly faster"), p3), "optNoNames");
    optGuess = named(
        new QRadioButton(QStringLiteral("Extract names with program's best guess -- don't ask me."), p3),
        "optGuess");
    optAsk =
        named(new QRadioButton(QStringLiteral("Extract first and last names -- ask me when ambiguous."), p3),
              "optAsk");
    optGuess->setChecked(true);
    auto* l3 = new QVBoxLayout(p3);
    for (QRadioButton* r : {optNoNames, optGuess, optAsk})
        l3->addWidget(r);
    l3->addStretch();

    auto* p4 = new QWidget;
    cmdBuild = named(new QPushButton(QStringLiteral("Build List"), p4), "cmdBuild");
    cmdInterrupt = named(new QPushButton(QStringLiteral("Interrupt"), p4), "cmdInterrupt");
    cmdInterrupt->setEnabled(false);
    auto* l4 = new QVBoxLayout(p4);
    auto* buildButtons = new QHBoxLayout;
    buildButtons->addWidget(cmdBuild);
    buildButtons->addWidget(cmdInterrupt);
    buildButtons->addStretch();
    l4->addLayout(buildButtons);
    for (int i = 0; i < 4; ++i) {
        lblCount[i] = new QLabel(p4);
        lblCount[i]->setObjectName(QStringLiteral("lblCount%1").arg(i + 1));
        lblCount[i]->setVisible(false);
        l4->addWidget(lblCount[i]);
    }
    l4->addStretch();
    connect(cmdBuild, &QPushButton::clicked, this, &frmEmailWizard::buildList);
    connect(cmdInterrupt, &QPushButton::clicked, &m_manager, &AddrManager::Interrupt);
    connect(&m_manager, &AddrManager::buildStarted, this, [this] {
        cmdBuild->setEnabled(false);
        cmdInterrupt->setEnabled(true);
    });
    connect(&m_manager, &AddrManager::fileStarted, this, [this](const QString& file, const QString& unique) {
        lblCount[0]->setText(file);
        lblCount[1]->setText(unique);
        lblCount[2]->setText(QStringLiteral("0"));
        for (QLabel* l : lblCount)
            l->setVisible(true);
    });
    connect(&m_manager, &AddrManager::progress, this, [this](qint64 lines, qint64 rows, qint64, qint64) {
        lblCount[2]->setText(QString::number(lines));
        lblCount[3]->setText(QString::number(rows));
    });
    connect(&m_manager, &AddrManager::buildFinished, this, [this] {
        cmdInterrupt->setEnabled(false);
        cmdBuild->setEnabled(true);
        setNavigation(true);
    });

    for (QWidget* p : {p1, p2, p3, p4})
        m_pages->addWidget(p);
    cmdBack = wizard::navButton(this, QStringLiteral("< Back"), "cmdBack", &frmEmailWizard::back);
    cmdNext = wizard::navButton(this, QStringLiteral("Next >"), "cmdNext", &frmEmailWizard::next);
    cmdFinish = wizard::navButton(this, QStringLiteral("Finish"), "cmdFinish", &frmEmailWizard::finish);
    cmdCancel = wizard::navButton(this, QStringLiteral("Cancel"), "cmdCancel", &frmEmailWizard::reject);
    wizard::frame(this, nullptr, m_pages, wizard::navRow({cmdBack, cmdNext, cmdFinish, cmdCancel}, false));
    resize(560, 380);
    m_manager.setNameQuestion(m_question);
    showPage(1);
}

frmEmailWizard::~frmEmailWizard() {
    m_manager.setNameQuestion(nullptr);
}

void frmEmailWizard::install(AppContext& ctx, AddrManager& manager, QWidget* parent) {
    manager.wizard = [&ctx, parent](AddrManager& m) {
        frmEmailWizard wizard(ctx, m, parent);
        return wizard.exec() == QDialog::Accepted;
    };
    manager.searchOptionsDialog = [&ctx, parent](EmailSrcFileObj* entry) {
        frmSearchOptions::edit(*ctx.ui, entry, parent);
    };
}

void frmEmailWizard::showPage(int page) {
    m_page = std::clamp(page, 1, kPages);
    m_pages->setCurrentIndex(m_page - 1);
    setWindowTitle(
        QStringLiteral("%1 - Step %2 of %3").arg(QLatin1String(kTitles[m_page - 1])).arg(m_page).arg(kPages));
    setNavigation(true);
}

void frmEmailWizard::setNavigation(bool on) {
    cmdBack->setEnabled(on && m_page > 1);
    cmdNext->setEnabled(on && m_page < kPages);
    cmdFinish->setEnabled(on && m_page == kPages);
    cmdCancel->setEnabled(on);
}

void frmEmailWizard::next() {
    if (m_page == 2 && m_manager.sources().count() == 0) {
        m_ctx.ui->message(QStringLiteral("Please select at least one source file for addresses, or exit."),
                          Buttons::OK, Icon::Information, QStringLiteral("No Source Files Selected"));
        return;
    }
    if (m_page == 2) {
        // The keywords of the rows to come start empty.
        SaveSetting(m_ctx, kAppDefaults, QStringLiteral("KeyCategoryVal1"), QString());
        SaveSetting(m_ctx, kAppDefaults, QStringLiteral("KeyCategoryVal2"), QString());
    }
    showPage(m_page + 1);
}

void frmEmailWizard::back() {
    showPage(m_page - 1);
}

void frmEmailWizard::finish() {
    if (m_manager.building()) return;
    m_finished = true;
    accept();
}

bool frmEmailWizard::confirmExit() {
    if (m_manager.building()) return false;
    return m_ctx.ui->message(
               QStringLiteral("Are you sure you wish to exit?  Any changes you made in the wizard will be "
                              "lost\r\nUse the finish button to save modifications."),
               Buttons::YesNo, Icon::Question) == Answer::Yes;
}

void frmEmailWizard::reject() {
    if (confirmExit()) QDialog::reject();
}

void frmEmailWizard::closeEvent(QCloseEvent* event) {
    if (m_finished) {
        QDialog::closeEvent(event);
        return;
    }
    // The window's close button leaves as Cancel does, after the same question.
    event->ignore();
    reject();
}

QString frmEmailWizard::selectedFile() const {
    const QListWidgetItem* item = lstFiles->currentItem();
    return item && item->isSelected() ? item->text() : QString();
}

bool frmEmailWizard::noFileSelected(const QString& text) {
    if (!selectedFile().isEmpty()) return false;
    m_ctx.ui->message(text, Buttons::OK, Icon::Information, QStringLiteral("No file selected!"));
    return true;
}

void frmEmailWizard::refreshFiles() {
    lstFiles->clear();
    for (const auto& e : m_manager.sources().NewEnum())
        lstFiles->addItem(e->fileName);
}

void frmEmailWizard::selectFile() {
    if (EmailSrcFileObj* entry = m_manager.SelectSourceFile(
            optMailbox->isChecked() ? QStringLiteral("Mailbox") : QStringLiteral("Text"))) {
        refreshFiles();
        lstFiles->setCurrentRow(lstFiles->count() - 1);
        m_manager.setCurrent(entry);
    }
}

void frmEmailWizard::entryClicked() {
    if (noFileSelected(QStringLiteral("Listbox did not register selection yet."))) return;
    EmailSrcFileObj* entry = m_manager.sources().Item(selectedFile());
    m_manager.setCurrent(entry);
    if (entry) (AddrManager::GetFileType(*entry) == u"Mailbox" ? optMailbox : optText)->setChecked(true);
}

void frmEmailWizard::viewFile() {
    if (noFileSelected(QStringLiteral("Please select a file to view."))) return;
    QFile f(selectedFile());
    if (!f.open(QIODevice::ReadOnly)) {
        m_ctx.ui->message(
            QStringLiteral("Unable to open Email file, \"%1\". File may be empty").arg(f.fileName()),
            Buttons::OK, Icon::Information);
        return;
    }
    // The start of the file is enough to tell a mailbox from other text.
    QByteArray head = f.read(kViewBytes);
    head.replace('\0', ' ');
    QDialog viewer(this);
    viewer.setWindowTitle(f.fileName());
    auto* text = new QPlainTextEdit(FileObject::decodeLine(head), &viewer);
    text->setReadOnly(true);
    text->setLineWrapMode(QPlainTextEdit::NoWrap);
    auto* close = new QDialogButtonBox(QDialogButtonBox::Close, &viewer);
    connect(close, &QDialogButtonBox::rejected, &viewer, &QDialog::reject);
    auto* layout = new QVBoxLayout(&viewer);
    layout->addWidget(text);
    layout->addWidget(close);
    viewer.resize(640, 480);
    viewer.exec();
}

void frmEmailWizard::removeFile() {
    if (noFileSelected(QStringLiteral("Please select a file to remove."))) return;
    m_manager.sources().Remove(selectedFile());
    m_manager.setCurrent(nullptr);
    refreshFiles();
}

void frmEmailWizard::showOptions() {
    if (noFileSelected(QStringLiteral("Please select a file whose options you wish to view."))) return;
    m_manager.ChangeSearchOptions(m_manager.sources().Item(selectedFile()));
}

void frmEmailWizard::buildList() {
    setNavigation(false);
    const bool ask = optAsk->isChecked();
    m_manager.setNameExtraction(optNoNames->isChecked() ? NameExtraction::Disabled
                                : ask                   ? NameExtraction::Ask
                                                        : NameExtraction::BestGuess);
    m_manager.BuildList(ask);
    if (!m_manager.building()) setNavigation(true);
}

} // namespace sendora
