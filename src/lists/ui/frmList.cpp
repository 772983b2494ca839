#include "lists/ui/frmList.h"

#include "components/jet/Jet.h"
#include "core/AppContext.h"
#include "core/WizardState.h"
#include "core/ui/OpenDeleteDialog.h"
#include "lists/ui/frmFindReplace.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

namespace sendora {

namespace {

// Rows deleted per step: small enough that the window stays responsive and Cancel is heard.
constexpr int kDeleteStep = 500;

} // namespace

frmList::frmList(AppContext& ctx, const QString& caption, const QString& file, QWidget* parent)
    : QWidget(parent), m_ctx(ctx), m_model(new ListModel(ctx, this)), m_logic(ctx, *m_model),
      m_grid(new QTableView(this)), m_records(new QLabel(this)), m_current(new QLabel(this)),
      m_note(new QLabel(this)), m_all(new QRadioButton(tr("Display all records"), this)),
      m_byDomain(new QRadioButton(tr("Display records by domain name"), this)),
      m_byFilter(new QRadioButton(tr("Display records by filter"), this)), m_domain(new QLineEdit(this)),
      m_filter(new QLineEdit(this)), m_builder(new QPushButton(tr("..."), this)),
      m_refresh(new QPushButton(tr("&Refresh"), this)), m_progress(new QProgressBar(this)),
      m_cancel(new QPushButton(tr("&Cancel"), this)), m_deleteTimer(new QTimer(this)) {
    setObjectName(QStringLiteral("frmList"));
    setWindowTitle(caption);
    m_grid->setObjectName(QStringLiteral("grdList"));
    m_domain->setObjectName(QStringLiteral("txtDomain"));
    m_filter->setObjectName(QStringLiteral("txtFilter"));
    m_refresh->setObjectName(QStringLiteral("cmdRefresh"));
    m_builder->setObjectName(QStringLiteral("cmdFilter"));
    m_builder->setToolTip(tr("Build a record selection"));
    m_note->setObjectName(QStringLiteral("lblReadOnly"));
    m_records->setObjectName(QStringLiteral("lblRecords"));
    m_current->setObjectName(QStringLiteral("lblCurrent"));
    m_all->setChecked(true);

    m_grid->setModel(m_model);
    m_grid->setSelectionBehavior(QAbstractItemView::SelectItems);
    m_grid->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_grid->verticalHeader()->setDefaultSectionSize(m_grid->fontMetrics().height() + 6);
    m_grid->horizontalHeader()->setContextMenuPolicy(Qt::CustomContextMenu);
    m_grid->installEventFilter(this);
    connect(m_grid->horizontalHeader(), &QHeaderView::customContextMenuRequested, this,
            &frmList::showColumnMenu);

    auto* counts = new QHBoxLayout;
    counts->addWidget(new QLabel(tr("Records:"), this));
    counts->addWidget(m_records);
    counts->addSpacing(16);
    counts->addWidget(m_current);
    counts->addStretch(1);
    counts->addWidget(m_progress);
    counts->addWidget(m_cancel);
    // Only while the mailing wizard runs: the list is saved and the wizard takes it.
    auto* saveReturn = new QPushButton(tr("Save && Return"), this);
    saveReturn->setObjectName(QStringLiteral("cmdSaveReturn"));
    saveReturn->setVisible(mailingWizardState().running);
    connect(saveReturn, &QPushButton::clicked, this, &frmList::saveAndReturn);
    counts->addWidget(saveReturn);
    auto* choice = new QHBoxLayout;
    choice->addWidget(m_all);
    choice->addWidget(m_byDomain);
    choice->addWidget(m_domain);
    choice->addWidget(m_byFilter);
    choice->addWidget(m_filter, 1);
    choice->addWidget(m_builder);
    choice->addWidget(m_refresh);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_note);
    layout->addLayout(choice);
    layout->addWidget(m_grid, 1);
    layout->addLayout(counts);
    m_note->hide();
    m_progress->hide();
    m_cancel->hide();

    connect(m_refresh, &QPushButton::clicked, this, [this] { refresh(); });
    connect(m_builder, &QPushButton::clicked, this, [this] {
        if (!filterBuilder) return;
        if (auto clause = filterBuilder(m_model->columnNames(), m_model->columnTypes())) {
            m_filter->setText(*clause);
            m_byFilter->setChecked(true);
        }
    });
    connect(m_cancel, &QPushButton::clicked, this, &frmList::cancelDelete);
    connect(m_deleteTimer, &QTimer::timeout, this, &frmList::deleteNextStep);
    m_deleteTimer->setInterval(0);
    m_model->onBecameReadOnly = [this] { showReadOnlyNote(); };

    if (!m_model->open(file)) return;
    connect(m_grid->selectionModel(), &QItemSelectionModel::currentChanged, this, [this] { updateLabels(); });
    connect(m_model, &QAbstractItemModel::rowsInserted, this, [this] { UpdateCount(); });
    if (m_model->readOnly()) showReadOnlyNote();
    try {
        // Nothing reads TEMPADDR; it is created as the list format has always had it.
        if (!m_model->readOnly()) {
            auto db = jet::Database::open(file);
            db->execute(
                QStringLiteral("Create TABLE TEMPADDR(EAddress TEXT(255) CONSTRAINT EAddress PRIMARY KEY);"));
        }
    } catch (const std::exception&) {
    }
    if (m_model->rowCount() > 0) m_grid->setCurrentIndex(m_model->index(0, 0));
    UpdateCount();
}

frmList::~frmList() = default;

void frmList::showReadOnlyNote() {
    m_note->setText(
        tr("This list is being sent by a mailing. It is shown read-only until the mailing ends."));
    m_note->show();
}

int frmList::currentRow() const {
    return m_grid->currentIndex().isValid() ? m_grid->currentIndex().row() : -1;
}

void frmList::updateLabels() {
    m_current->setText(m_logic.currentText(currentRow()));
}

void frmList::UpdateCount() {
    m_records->setText(m_logic.recordsText());
    updateLabels();
    if (statusCountChanged) statusCountChanged();
    Q_EMIT countChanged();
}

void frmList::goToRow(int row) {
    if (row < 0 || row >= m_model->rowCount()) return;
    const int col = std::max(0, m_grid->currentIndex().column());
    m_grid->setCurrentIndex(m_model->index(row, col));
    m_grid->scrollTo(m_model->index(row, col));
    updateLabels();
}

void frmList::setDisplayChoice(DisplayChoice choice, const QString& text) {
    (choice == DisplayChoice::All      ? m_all
     : choice == DisplayChoice::Domain ? m_byDomain
                                       : m_byFilter)
        ->setChecked(true);
    if (choice == DisplayChoice::Domain) m_domain->setText(text);
    if (choice == DisplayChoice::Filter) m_filter->setText(text);
}

bool frmList::refresh() {
    const DisplayChoice choice = m_byDomain->isChecked()   ? DisplayChoice::Domain
                                 : m_byFilter->isChecked() ? DisplayChoice::Filter
                                                           : DisplayChoice::All;
    if (!m_logic.refresh(choice, m_domain->text(), m_filter->text())) return false;
    goToRow(0);
    UpdateCount();
    return true;
}

void frmList::rebind(const QString& /*sql*/) {
    m_model->reload();
    goToRow(0);
    UpdateCount();
}

void frmList::showColumnMenu(const QPoint& pos) {
    const int column = m_grid->horizontalHeader()->logicalIndexAt(pos);
    if (column < 0) return;
    QMenu menu(this);
    for (const char* entry : {"Ascending", "Descending", "Add a Column", "Remove a Column"}) {
        QAction* a = menu.addAction(QString::fromLatin1(entry));
        a->setEnabled(!m_model->readOnly() || !a->text().contains(QLatin1String("Column")));
    }
    if (QAction* chosen = menu.exec(m_grid->horizontalHeader()->mapToGlobal(pos)))
        runColumnMenu(column, chosen->text());
}

void frmList::runColumnMenu(int column, const QString& entry) {
    if (entry == QLatin1String("Ascending") || entry == QLatin1String("Descending")) {
        m_logic.sort(column, entry == QLatin1String("Ascending"));
        goToRow(0);
        UpdateCount();
        return;
    }
    if (m_model->readOnly()) return;
    if (entry == QLatin1String("Add a Column")) {
        AddColumn(m_ctx, *this);
    } else if (entry == QLatin1String("Remove a Column")) {
        QStringList names;
        for (const QModelIndex& index : m_grid->selectionModel()->selectedColumns())
            names << m_model->columnNames().value(index.column());
        if (names.isEmpty()) names << m_model->columnNames().value(column);
        RemoveColumns(m_ctx, *this, names);
    }
}

int frmList::findColumn() const {
    if (m_findColumn >= 0) return m_findColumn;
    return std::max(0, m_grid->currentIndex().column());
}

bool frmList::findString(const QString& text) {
    m_lastFind = text;
    int row = currentRow();
    const bool notFound = m_logic.findString(findColumn(), text, row);
    if (!notFound) goToRow(row);
    return notFound;
}

bool frmList::findNextString(const QString& text) {
    m_lastFind = text;
    int row = currentRow();
    const bool notFound = m_logic.findNextString(findColumn(), text, row);
    if (!notFound) goToRow(row);
    return notFound;
}

bool frmList::findPreviousString(const QString& text) {
    m_lastFind = text;
    int row = currentRow();
    const bool notFound = m_logic.findPreviousString(findColumn(), text, row);
    if (!notFound) goToRow(row);
    return notFound;
}

bool frmList::hasSelectedRows() const {
    const auto rows = m_grid->selectionModel() ? m_grid->selectionModel()->selectedRows() : QModelIndexList();
    if (!rows.isEmpty()) return true;
    return m_grid->selectionModel() && m_grid->selectionModel()->hasSelection();
}

void frmList::deleteSelectedRows() {
    if (deleting() || m_model->readOnly() || !m_grid->selectionModel()) return;
    QList<int> rows;
    for (const QModelIndex& index : m_grid->selectionModel()->selectedIndexes())
        if (!rows.contains(index.row()) && !m_model->isNewRow(index.row())) rows << index.row();
    if (rows.isEmpty()) return;
    std::sort(rows.begin(), rows.end());
    if (!m_logic.confirmDelete(int(rows.size()))) return;
    m_deleteIds = m_model->rowIds(rows);
    m_deleted.clear();
    m_deleteDone = 0;
    m_deleteFromRow = rows.first();
    m_progress->setRange(0, int(m_deleteIds.size()));
    m_progress->setValue(0);
    m_progress->show();
    m_cancel->show();
    m_grid->setEnabled(false);
    m_deleteTimer->start();
}

void frmList::deleteNextStep() {
    const int done = m_model->deleteStep(m_deleteIds, m_deleteDone, kDeleteStep);
    for (int i = m_deleteDone; i < m_deleteDone + done; ++i)
        m_deleted.insert(m_deleteIds[i]);
    m_deleteDone += done;
    m_progress->setValue(m_deleteDone);
    if (done == 0 || m_deleteDone >= m_deleteIds.size()) finishDeleting();
}

void frmList::cancelDelete() {
    if (deleting()) finishDeleting();
}

void frmList::finishDeleting() {
    m_deleteTimer->stop();
    m_model->finishDelete(m_deleted);
    m_deleteIds.clear();
    m_deleted.clear();
    m_progress->hide();
    m_cancel->hide();
    m_grid->setEnabled(true);
    UpdateCount();
    goToRow(std::min(m_deleteFromRow, std::max(0, m_model->dataRows() - 1)));
}

void frmList::Call_KeyDown(int keyCode, Qt::KeyboardModifiers shift) {
    QKeyEvent event(QEvent::KeyPress, keyCode, shift);
    eventFilter(m_grid, &event);
}

bool frmList::eventFilter(QObject* watched, QEvent* event) {
    if (watched != m_grid || event->type() != QEvent::KeyPress) return QWidget::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    const bool ctrl = key->modifiers() & Qt::ControlModifier;
    switch (key->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // While a cell is edited the keys go to its editor, not here.
        {
            const QModelIndex at = m_grid->currentIndex();
            const bool last = at.column() + 1 >= m_model->columnCount();
            goToRow(last ? at.row() + 1 : at.row());
            if (!last) m_grid->setCurrentIndex(m_model->index(at.row(), at.column() + 1));
        }
        return true;
    case Qt::Key_Home:
        if (!ctrl) return false;
        goToRow(0);
        return true;
    case Qt::Key_End:
        if (!ctrl) return false;
        goToRow(std::max(0, m_model->dataRows() - 1));
        return true;
    case Qt::Key_Delete:
        deleteSelectedRows();
        return true;
    default:
        return false;
    }
}

bool frmList::runCommand(CommandId id) {
    QModelIndex at = m_grid->currentIndex();
    switch (id) {
    case CommandId::EditCopy:
    case CommandId::EditCut:
        if (!at.isValid()) return true;
        QApplication::clipboard()->setText(m_model->data(at).toString());
        if (id == CommandId::EditCut && !m_model->isNewRow(at.row()) &&
            m_model->columnNames()
                    .value(at.column())
                    .compare(QLatin1String("EAddress"), Qt::CaseInsensitive) != 0)
            m_model->setData(at, QString());
        return true;
    case CommandId::EditPaste:
        if (at.isValid()) m_model->setData(at, QApplication::clipboard()->text().trimmed());
        return true;
    case CommandId::EditSelectAll:
        m_grid->selectAll();
        return true;
    case CommandId::EditDeleteRecord:
        deleteSelectedRows();
        return true;
    case CommandId::EditFind:
    case CommandId::EditReplace:
        showFindReplace(*m_ctx.ui, *this);
        return true;
    case CommandId::EditFindNext:
    case CommandId::EditFindPrevious:
        // Again with the last text found for; before any search, the dialog asks for one.
        if (m_lastFind.isEmpty())
            showFindReplace(*m_ctx.ui, *this);
        else if (id == CommandId::EditFindNext)
            findNextString(m_lastFind);
        else
            findPreviousString(m_lastFind);
        return true;
    case CommandId::FileSave:
        // Every edit is stored in the list file as it is made: show the file as it is now.
        if (m_logic.isTemporary())
            saveMe();
        else
            rebind({});
        return true;
    default:
        return false;
    }
}

SaveResult frmList::runSaveDialog(bool saveAs) {
    if (saveDialog) return saveDialog(*this, saveAs);
    OpenDeleteModel model(m_ctx, CatalogueKind::List, CatalogueOperation::Save);
    model.sourceFile = m_model->file();
    model.currentName = m_logic.isTemporary() ? QString() : windowTitle();
    model.saveAs = saveAs;
    OpenDeleteDialog dialog(model, this);
    dialog.exec();
    return model.result();
}

void frmList::saveMe(const QString& /*title*/) {
    if (m_model->recordCount() == 0) return;
    m_saveResult = int(runSaveDialog(false));
    // The saved list opens in a window of its own; the temporary one has done its work.
    if (m_saveResult == int(SaveResult::Saved) && m_logic.isTemporary()) {
        m_saved = true;
        close();
    }
}

void frmList::saveAndReturn() {
    const MailingWizardState& wizard = mailingWizardState();
    if (!wizard.running) return;
    if (m_logic.isTemporary()) {
        // The catalogue's save tells the wizard the list's name.
        saveMe();
        if (m_saveResult != int(SaveResult::Saved)) return;
    } else {
        wizard.chooseList(windowTitle());
        close();
    }
    wizard.show(true);
}

void frmList::saveMeAs() {
    m_saveResult = int(runSaveDialog(true));
    if (m_saveResult == int(SaveResult::Saved) && m_logic.isTemporary()) {
        m_saved = true;
        close();
    }
}

void frmList::closeEvent(QCloseEvent* event) {
    if (deleting()) cancelDelete();
    if (m_model->isOpen() && !m_model->readOnly() && !m_logic.duplicateCheck()) {
        event->ignore();
        return;
    }
    if (!m_saved && m_model->isOpen() && m_logic.isTemporary() && !windowTitle().isEmpty()) {
        m_saveResult = int(runSaveDialog(false));
        if (m_saveResult == int(SaveResult::Cancelled)) {
            if (closeCancelled) closeCancelled();
            event->ignore();
            return;
        }
    }
    m_model->close();
    event->accept();
    mailingWizardState().show(true);
}

std::function<QWidget*(const QString& caption, const QString& file)>
listWindowMaker(AppContext& ctx, std::function<void(frmList&)> setup) {
    return [&ctx, setup](const QString& caption, const QString& file) -> QWidget* {
        auto* window = new frmList(ctx, caption, file);
        if (!window->isOpen()) {
            delete window;
            return nullptr;
        }
        if (setup) setup(*window);
        return window;
    };
}

} // namespace sendora
