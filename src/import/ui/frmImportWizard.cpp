#include "import/ui/frmImportWizard.h"

#include "core/AppContext.h"
#include "core/ui/WizardFrame.h"
#include "import/ContactManagerImport.h"
#include "import/ui/frmActLogin.h"
#include "import/ui/frmTableView.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace sendora {

namespace sr = sourcereaders;
using wizard::named;
using wizard::wrapped;

namespace {

// The field page names the type without a size, and memo fields as text.
QString jetTypeName(sr::FieldType type) {
    const QString column = jetColumnType(type);
    return column == QLatin1String("TEXT(255)") || column == QLatin1String("MEMO") ? QStringLiteral("TEXT")
                                                                                   : column;
}

} // namespace

frmImportWizard::frmImportWizard(AppContext& ctx, QWidget* parent)
    : QDialog(parent), m_ctx(ctx), m_model(ctx), m_build(ctx) {
    setObjectName(QStringLiteral("frmDBImportWiz"));
    m_pages = new QStackedWidget(this);
    const QString kindText =
        QStringLiteral("Use the list box to select the type of data you wish to import into a mailing list.");

    auto* p1 = new QWidget;
    lstKinds = named(new QListWidget(p1), "lstKinds");
    lstKinds->addItems(DatabaseImportWizard::kindNames());
    auto* l1 = new QVBoxLayout(p1);
    l1->addWidget(wrapped(kindText, p1));
    l1->addWidget(lstKinds);

    auto* p2 = new QWidget;
    txtFolder = named(new QLineEdit(p2), "txtFolder");
    lstFolders = named(new QListWidget(p2), "lstFolders");
    lstFiles = named(new QListWidget(p2), "lstFiles");
    chkFirstRowNames =
        named(new QCheckBox(QStringLiteral("The first row holds the field names"), p2), "chkFirstRowNames");
    chkFirstRowNames->setChecked(true);
    auto* l2 = new QGridLayout(p2);
    l2->addWidget(
        wrapped(QStringLiteral("Use the Directory and Drive lists to find the database you wish to "
                               "extract your mailing list from, then select the file from the File list."),
                p2),
        0, 0, 1, 2);
    l2->addWidget(txtFolder, 1, 0, 1, 2);
    l2->addWidget(lstFolders, 2, 0);
    l2->addWidget(lstFiles, 2, 1);
    l2->addWidget(chkFirstRowNames, 3, 0, 1, 2);
    lblFileCount = named(new QLabel(p2), "lblFileCount");
    l2->addWidget(lblFileCount, 4, 0, 1, 2);
    connect(txtFolder, &QLineEdit::editingFinished, this, [this] { setFolder(txtFolder->text()); });
    connect(lstFolders, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem* item) {
        setFolder(QDir::cleanPath(QDir(m_folder).filePath(item->text())));
    });
    connect(lstFiles, &QListWidget::currentTextChanged, this, [this](const QString& name) {
        m_model.setFile(name.isEmpty() ? QString() : QDir(m_folder).filePath(name));
    });
    connect(lstFiles, &QListWidget::itemDoubleClicked, this, [this] { next(); });

    auto* p3 = new QWidget;
    lstTables = named(new QListWidget(p3), "lstTables");
    lstFields = named(new QListWidget(p3), "lstFields");
    txtSample = named(new QPlainTextEdit(p3), "txtSample");
    txtSample->setReadOnly(true);
    auto* cmdView = named(new QPushButton(QStringLiteral("&View table"), p3), "cmdViewTable");
    auto* l3 = new QGridLayout(p3);
    l3->addWidget(
        wrapped(QStringLiteral("Select a table from the Source tables list. The box below the lists shows "
                               "a sample of data from the selected Fields list field "),
                p3),
        0, 0, 1, 2);
    l3->addWidget(lstTables, 1, 0);
    l3->addWidget(lstFields, 1, 1);
    l3->addWidget(txtSample, 2, 0, 1, 2);
    l3->addWidget(cmdView, 3, 0);
    connect(lstTables, &QListWidget::currentTextChanged, this, [this](const QString& table) {
        if (table.isEmpty() || table == m_model.table()) return;
        m_model.selectTable(table);
        fillFields();
    });
    connect(lstFields, &QListWidget::currentTextChanged, this,
            [this](const QString& field) { txtSample->setPlainText(m_model.sample(field)); });
    connect(cmdView, &QPushButton::clicked, this, &frmImportWizard::viewTable);

    auto* p4 = new QWidget;
    auto* available = new FieldList(p4);
    lstAvailable = named(static_cast<QListWidget*>(available), "lstAvailable");
    lstAvailable->setDragEnabled(true);
    lstAvailable->setDragDropMode(QAbstractItemView::DragOnly);
    connect(lstAvailable, &QListWidget::itemChanged, this, [this] {
        QStringList checked;
        for (int i = 0; i < lstAvailable->count(); ++i)
            if (lstAvailable->item(i)->checkState() == Qt::Checked) checked << lstAvailable->item(i)->text();
        m_model.mapping().extraFields = checked;
    });
    auto* l4 = new QGridLayout(p4);
    l4->addWidget(
        wrapped(
            QStringLiteral("Drag the \"Available Fields\" from your list to the corresponding \"Trays\" on "
                           "the right to identify key fields in Sendora. Check the box beside any other "
                           "additional fields you want to import. You must map the Email field and ID "
                           "field if available."),
            p4),
        0, 0, 1, 3);
    l4->addWidget(new QLabel(QStringLiteral("Available Fields"), p4), 1, 0);
    l4->addWidget(lstAvailable, 2, 0, kTrayCount, 1);
    const char* const trayLabels[kTrayCount] = {
        "Email Address:", "First Name:", "Last Name:", "Title:", "ID:"};
    for (int t = 0; t < kTrayCount; ++t) {
        trays[t] = new FieldTray(p4);
        trays[t]->setObjectName(QStringLiteral("txtTray%1").arg(t));
        trays[t]->changed = [this, t](const QString& field) { m_model.mapping().trays[size_t(t)] = field; };
        l4->addWidget(new QLabel(QLatin1String(trayLabels[t]), p4), 2 + t, 1);
        l4->addWidget(trays[t], 2 + t, 2);
    }

    auto* p5 = new QWidget;
    auto* cmdFilter = named(new QPushButton(QStringLiteral("Filter the data..."), p5), "cmdFilter");
    lblFilter = named(new QLabel(p5), "lblFilter");
    lblFilter->setWordWrap(true);
    auto* l5 = new QVBoxLayout(p5);
    l5->addWidget(cmdFilter);
    l5->addWidget(wrapped(
        QStringLiteral("If you wish to import ALL your data, IGNORE this step and just press Next."), p5));
    l5->addWidget(lblFilter);
    l5->addStretch();
    connect(cmdFilter, &QPushButton::clicked, this, &frmImportWizard::editFilter);

    auto* p6 = new QWidget;
    cmdBuild = named(new QPushButton(QStringLiteral("Build List"), p6), "cmdBuild");
    cmdInterrupt = named(new QPushButton(QStringLiteral("Interrupt"), p6), "cmdInterrupt");
    cmdInterrupt->setEnabled(false);
    lblCount = named(new QLabel(p6), "lblCount");
    lblFinish =
        named(new QLabel(QStringLiteral("Press the FINISH button to view your list"), p6), "lblFinish");
    lblFinish->setVisible(false);
    auto* l6 = new QVBoxLayout(p6);
    l6->addWidget(
        wrapped(QStringLiteral("You are ready to build your new list.  If you wish to interrupt the process "
                               "for any reason, the program will save all the records imported to that "
                               "point."),
                p6));
    auto* buildButtons = new QHBoxLayout;
    buildButtons->addWidget(cmdBuild);
    buildButtons->addWidget(cmdInterrupt);
    buildButtons->addStretch();
    l6->addLayout(buildButtons);
    l6->addWidget(lblCount);
    l6->addWidget(lblFinish);
    l6->addStretch();
    connect(cmdBuild, &QPushButton::clicked, this, &frmImportWizard::buildList);
    connect(cmdInterrupt, &QPushButton::clicked, &m_build, &DatabaseImport::interrupt);
    connect(&m_build, &DatabaseImport::progress, this,
            [this](qint64 n) { lblCount->setText(QString::number(n)); });
    connect(&m_build, &DatabaseImport::finished, this, &frmImportWizard::buildFinished);

    for (QWidget* p : {p1, p2, p3, p4, p5, p6})
        m_pages->addWidget(p);
    auto* cmdHelp = named(new QPushButton(QStringLiteral("&Help"), this), "cmdHelp");
    cmdHelp->setEnabled(false); // the manual is not shipped with this program
    cmdExit = wizard::navButton(this, QStringLiteral("E&xit"), "cmdExit", &frmImportWizard::reject);
    cmdBack = wizard::navButton(this, QStringLiteral("&Back"), "cmdBack", &frmImportWizard::back);
    cmdNext = wizard::navButton(this, QStringLiteral("&Next"), "cmdNext", &frmImportWizard::next);
    cmdFinish = wizard::navButton(this, QStringLiteral("&Finish"), "cmdFinish", &frmImportWizard::finish);
    wizard::frame(this, nullptr, m_pages,
                  wizard::navRow({cmdExit, cmdBack, cmdNext, cmdFinish}, false, cmdHelp));
    resize(620, 420);
    // ACT! and Goldmine files are read by the contact-manager import right after the file page.
    m_model.contactImport = [this](sr::SourceKind kind, const QString& file) {
        ActImportOptions options;
        options.login = actLoginDialog(this);
        options.progress = [this](const QString& text) { lblFileCount->setText(text); };
        options.caption = windowTitle();
        return runContactManagerImport(m_ctx, kind, file, options);
    };
    lstKinds->setCurrentRow(0);
    showPage(1);
}

frmImportWizard::~frmImportWizard() {
    if (m_build.building()) m_build.cancel();
}

void frmImportWizard::showPage(int page) {
    m_page = std::clamp(page, 1, DatabaseImportWizard::kPages);
    m_pages->setCurrentIndex(m_page - 1);
    setWindowTitle(DatabaseImportWizard::title(m_page));
    setNavigation(true);
}

void frmImportWizard::setNavigation(bool on) {
    cmdBack->setEnabled(on && m_page > 1);
    cmdNext->setEnabled(on && m_page < DatabaseImportWizard::kPages);
    cmdFinish->setEnabled(on && m_page == DatabaseImportWizard::kPages && !m_builtPath.isEmpty());
    cmdExit->setEnabled(on);
}

void frmImportWizard::setFolder(const QString& folder) {
    QDir dir(folder);
    if (!dir.exists()) return;
    m_folder = dir.absolutePath();
    txtFolder->setText(m_folder);
    lstFolders->clear();
    lstFolders->addItem(QStringLiteral(".."));
    lstFolders->addItems(dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name));
    fillFiles();
}

void frmImportWizard::fillFiles() {
    const QString filter = sr::kindInfo(m_model.kind()).filter.section(u'|', 1);
    const QStringList patterns = filter.split(u';', Qt::SkipEmptyParts);
    lstFiles->clear();
    lstFiles->addItems(QDir(m_folder).entryList(patterns, QDir::Files, QDir::Name | QDir::IgnoreCase));
    m_model.setFile({});
}

void frmImportWizard::fillTables() {
    lstTables->clear();
    lstTables->addItems(m_model.tables());
    const auto found = lstTables->findItems(m_model.table(), Qt::MatchExactly);
    if (!found.isEmpty()) lstTables->setCurrentItem(found.first());
    fillFields();
}

void frmImportWizard::fillFields() {
    lstFields->clear();
    lstAvailable->clear();
    for (const sr::SourceField& f : m_model.fields()) {
        lstFields->addItem(f.name);
        auto* item = new QListWidgetItem(f.name, lstAvailable);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable | Qt::ItemIsDragEnabled);
        item->setCheckState(Qt::Unchecked);
    }
    for (FieldTray* tray : trays)
        tray->clear();
    txtSample->clear();
    lblFilter->clear();
}

void frmImportWizard::assignTray(int tray, const QString& field) {
    if (tray < 0 || tray >= kTrayCount) return;
    trays[tray]->setText(field);
    m_model.mapping().trays[size_t(tray)] = field;
}

void frmImportWizard::next() {
    switch (m_page) {
    case DatabaseImportWizard::KindPage:
        m_model.setKindIndex(lstKinds->currentRow());
        chkFirstRowNames->setVisible(m_model.kind() == sr::SourceKind::Text);
        setFolder(m_model.enterFilePage());
        break;
    case DatabaseImportWizard::FilePage: {
        m_model.setFirstRowHasNames(chkFirstRowNames->isChecked());
        if (!m_model.fileNext()) return;
        m_model.leaveFilePage(m_folder);
        if (m_model.isContactManagerKind()) {
            const QString path = m_model.runContactImport();
            if (path.isEmpty()) return;
            m_builtPath = path;
            finish();
            return;
        }
        fillTables();
        break;
    }
    case DatabaseImportWizard::TablePage:
        if (!m_model.tableNext()) return;
        break;
    case DatabaseImportWizard::FieldsPage:
        if (!m_model.fieldsNext()) return;
        break;
    default:
        break;
    }
    showPage(m_page + 1);
}

void frmImportWizard::back() {
    if (m_page == DatabaseImportWizard::FilePage) m_model.leaveFilePage(m_folder);
    showPage(m_page - 1);
}

void frmImportWizard::viewTable() {
    if (!m_model.canViewTable()) return;
    frmTableView::show(m_ctx, *m_model.reader(), m_model.table(), this);
}

void frmImportWizard::editFilter() {
    if (!filterBuilder) return;
    QStringList names, types;
    for (const sr::SourceField& f : m_model.fields()) {
        names << f.name;
        types << jetTypeName(f.type);
    }
    if (const std::optional<QString> condition = filterBuilder(names, types)) {
        m_model.setFilter(*condition);
        lblFilter->setText(*condition);
    }
}

void frmImportWizard::buildList() {
    setNavigation(false);
    cmdBuild->setEnabled(false);
    cmdInterrupt->setEnabled(true);
    lblFinish->setVisible(false);
    if (statusText) statusText(QStringLiteral("Converting..."));
    m_builtPath.clear();
    if (!m_model.startBuild(m_build, windowTitle())) buildFinished();
}

void frmImportWizard::buildFinished() {
    cmdInterrupt->setEnabled(false);
    cmdBuild->setEnabled(true);
    if (statusText) statusText(QString());
    const DatabaseImport::Result& r = m_build.result();
    m_builtPath = r.path;
    if (r.path.isEmpty() || r.rowsLeft == 0)
        lblCount->setText(QStringLiteral("<No Records"));
    else
        lblFinish->setVisible(true);
    if (r.rowsLeft == 0) m_builtPath.clear();
    setNavigation(true);
}

void frmImportWizard::finish() {
    if (m_builtPath.isEmpty()) return;
    m_done = true;
    const QString path = m_model.resultToShow(m_builtPath);
    accept();
    if (showList && !path.isEmpty()) showList(path);
}

void frmImportWizard::closeEvent(QCloseEvent* event) {
    if (m_done || m_model.confirmExit()) {
        if (m_build.building()) m_build.cancel();
        m_done = true;
        event->accept();
    } else {
        event->ignore();
    }
}

void frmImportWizard::reject() {
    if (m_build.building()) m_build.cancel();
    m_done = true;
    QDialog::reject();
}

void frmImportWizard::LoadImportWizard(AppContext& ctx, QWidget* parent,
                                       const std::function<void(const QString&)>& showList,
                                       const std::function<void(frmImportWizard&)>& setup) {
    frmImportWizard wizard(ctx, parent);
    wizard.showList = showList;
    if (setup) setup(wizard);
    wizard.exec();
}

} // namespace sendora
