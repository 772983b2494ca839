#include "lists/ui/frmSelectionBuilder.h"

#include "core/UserInterface.h"
#include "lists/ui/frmAdvancedSQLQuery.h"

#include <QApplication>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

namespace sendora {

namespace {

const QString kCriteriaError = QStringLiteral(
    "The selection criteria you supplied appears to have an error in it.\r\n\r\nIf you used the advanced SQL "
    "editor to modify or create your criteria,\r\nthere may be a syntax error, a reference to an invalid "
    "field "
    "or an incorrect\r\noperator/operand pair.");

const QString kQuickHelp = QStringLiteral(
    "Choose a field, an operator and a value on each row. To add another condition, choose AND or OR at the "
    "end of the row and fill in the next row.\r\n\r\nLike and Not Like compare with a pattern: * stands for "
    "any text and ? for any one character, so *@example.com finds every address at example.com.\r\n\r\nType "
    "null as the value to test for an empty field. View Filter shows the selection as SQL, which you can "
    "edit by hand.");

bool numericTypeName(const QString& type) {
    static const QStringList numeric{
        QStringLiteral("LONG"),     QStringLiteral("INT"),     QStringLiteral("SHORT"),
        QStringLiteral("BYTE"),     QStringLiteral("DOUBLE"),  QStringLiteral("SINGLE"),
        QStringLiteral("CURRENCY"), QStringLiteral("COUNTER"), QStringLiteral("AUTOINC"),
        QStringLiteral("NUMBER"),   QStringLiteral("NUMERIC"), QStringLiteral("DECIMAL"),
        QStringLiteral("FLOAT"),    QStringLiteral("REAL"),    QStringLiteral("YESNO"),
        QStringLiteral("BIT"),      QStringLiteral("BOOL")};
    const QString t = type.trimmed().toUpper();
    for (const QString& n : numeric)
        if (t.contains(n)) return true;
    return false;
}

} // namespace

void MakeTextBoxNumeric(QLineEdit* box, bool numeric) {
    if (!numeric) {
        box->setValidator(nullptr);
        return;
    }
    static const QRegularExpression re(QStringLiteral(R"([+-]?\d*\.?\d*|[nN]([uU]([lL]([lL])?)?)?)"));
    box->setValidator(new QRegularExpressionValidator(re, box));
    if (!box->hasAcceptableInput() && !box->text().isEmpty()) box->clear();
}

// ---- the shared builder

SelectionBuilderDialog::SelectionBuilderDialog(UserInterface& ui, QWidget* parent)
    : QDialog(parent), m_ui(ui) {
    setWindowTitle(tr("Selection Criteria Builder"));
    setModal(true);
    auto* v = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(tr("Field"), this), 0, 0);
    grid->addWidget(new QLabel(tr("Operator"), this), 0, 1);
    grid->addWidget(new QLabel(tr("Value"), this), 0, 2);
    grid->addWidget(new QLabel(tr("And/Or"), this), 0, 3);
    for (int i = 0; i < 4; ++i) {
        const QString n = QString::number(i + 1);
        m_field[i] = new QComboBox(this);
        m_field[i]->setObjectName(QStringLiteral("cboField") + n);
        m_field[i]->setMinimumWidth(160);
        m_op[i] = new QComboBox(this);
        m_op[i]->setObjectName(QStringLiteral("cboOperator") + n);
        m_op[i]->addItem(QString());
        m_op[i]->addItems(selectionOperators());
        m_value[i] = new QLineEdit(this);
        m_value[i]->setObjectName(QStringLiteral("txtValue") + n);
        m_value[i]->setMinimumWidth(180);
        grid->addWidget(m_field[i], i + 1, 0);
        grid->addWidget(m_op[i], i + 1, 1);
        grid->addWidget(m_value[i], i + 1, 2);
        auto changed = [this] { m_manual.reset(); };
        connect(m_field[i], &QComboBox::currentIndexChanged, this, [this, i, changed] {
            fieldChanged(i);
            changed();
        });
        connect(m_op[i], &QComboBox::currentIndexChanged, this, changed);
        connect(m_value[i], &QLineEdit::textEdited, this, changed);
        if (i < 3) {
            m_logic[i] = new QComboBox(this);
            m_logic[i]->setObjectName(QStringLiteral("cboLogic") + n);
            m_logic[i]->addItems(selectionLogicItems());
            grid->addWidget(m_logic[i], i + 1, 3);
            connect(m_logic[i], &QComboBox::currentIndexChanged, this, changed);
        }
    }
    v->addLayout(grid);
    m_buttons = new QHBoxLayout;
    auto* ok = new QPushButton(tr("OK"), this);
    ok->setObjectName(QStringLiteral("cmdOK"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(tr("Cancel"), this);
    cancel->setObjectName(QStringLiteral("cmdCancel"));
    auto* view = new QPushButton(tr("&View Filter"), this);
    view->setObjectName(QStringLiteral("cmdViewFilter"));
    view->setAutoDefault(false);
    m_buttons->addWidget(view);
    m_buttons->addStretch();
    m_buttons->addWidget(ok);
    m_buttons->addWidget(cancel);
    v->addLayout(m_buttons);
    connect(ok, &QPushButton::clicked, this, &SelectionBuilderDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(view, &QPushButton::clicked, this, &SelectionBuilderDialog::viewFilter);
}

void SelectionBuilderDialog::addExtraButton(QWidget* button) {
    m_buttons->insertWidget(1, button);
}

void SelectionBuilderDialog::loadFields(const SelectionTarget& target) {
    m_target = target;
    for (int i = 0; i < 4; ++i) {
        const QSignalBlocker block(m_field[i]);
        m_field[i]->clear();
        m_field[i]->addItem(QString());
        for (const SelectionField& f : target.fields)
            m_field[i]->addItem(f.name);
        fieldChanged(i);
    }
    m_manual.reset();
}

void SelectionBuilderDialog::fieldChanged(int row) {
    const SelectionField* f = m_target.field(m_field[row]->currentText());
    MakeTextBoxNumeric(m_value[row], f && f->numeric);
}

SelectionRows SelectionBuilderDialog::rows() const {
    SelectionRows r;
    for (int i = 0; i < 4; ++i) {
        r[i].field = m_field[i]->currentText();
        r[i].op = m_op[i]->currentText();
        r[i].value = m_value[i]->text();
        if (i < 3) r[i].logic = m_logic[i]->currentText();
    }
    return r;
}

SelectionClause SelectionBuilderDialog::currentClause() const {
    if (m_manual) return {*m_manual, 0};
    return assembleSQL(m_target, rows());
}

void SelectionBuilderDialog::setClause(const QString& clause) {
    if (clause.trimmed().isEmpty())
        m_manual.reset();
    else
        m_manual = clause.trimmed();
}

void SelectionBuilderDialog::refuse(int row) {
    QApplication::beep();
    m_value[row - 1]->setFocus(Qt::OtherFocusReason);
    m_value[row - 1]->selectAll();
}

void SelectionBuilderDialog::viewFilter() {
    const SelectionClause c = currentClause();
    if (c.refusedRow) {
        refuse(c.refusedRow);
        return;
    }
    if (const auto edited = frmAdvancedSQLQuery::showClause(this, c.clause)) m_manual = *edited;
}

void SelectionBuilderDialog::accept() {
    const SelectionClause c = currentClause();
    if (c.refusedRow) {
        refuse(c.refusedRow);
        return;
    }
    // A clause typed by hand may not run; say so here rather than when the list is sent.
    if (!m_checkFile.isEmpty() && !c.clause.isEmpty()) {
        const QString error = checkSelectionClause(m_checkFile, c.clause);
        if (!error.isEmpty()) {
            m_ui.message(kCriteriaError + QStringLiteral("\r\n\r\n") + error, Buttons::OK, Icon::Exclamation);
            return;
        }
    }
    m_result = c.clause;
    m_accepted = true;
    QDialog::accept();
}

QString SelectionBuilderDialog::run() {
    m_result.clear();
    m_accepted = false;
    if (exec() != QDialog::Accepted) return {};
    return m_result;
}

// ---- frmGenFilter

frmGenFilter::frmGenFilter(UserInterface& ui, QWidget* parent) : SelectionBuilderDialog(ui, parent) {
    setObjectName(QStringLiteral("frmGenFilter"));
}

void frmGenFilter::Add(const std::vector<SelectionField>& fields, const QString& tableName,
                       SelectionDatabase kind) {
    m_pending = SelectionTarget::general(fields, tableName, kind);
}

void frmGenFilter::prepare() {
    loadFields(m_pending);
}

QString frmGenFilter::Filter() {
    prepare();
    return run();
}

// ---- frmSQLQuery

frmSQLQuery::frmSQLQuery(UserInterface& ui, QWidget* parent) : SelectionBuilderDialog(ui, parent) {
    setObjectName(QStringLiteral("frmSQLQuery"));
    auto* help = new QPushButton(tr("Help"), this);
    help->setObjectName(QStringLiteral("cmdHelp"));
    help->setEnabled(false); // no help file is installed
    auto* quick = new QPushButton(tr("&Quick Help"), this);
    quick->setObjectName(QStringLiteral("cmdQuickHelp"));
    quick->setAutoDefault(false);
    addExtraButton(quick);
    addExtraButton(help);
    connect(quick, &QPushButton::clicked, this,
            [this] { m_ui.message(kQuickHelp, Buttons::OK, Icon::Information, windowTitle()); });
}

bool frmSQLQuery::prepare(const QString& path) {
    QString error;
    std::vector<SelectionField> fields = listSelectionFields(path, &error);
    if (fields.empty()) {
        m_ui.message(QStringLiteral("Unable to open ") + path + QStringLiteral(" for input") +
                         (error.isEmpty() ? QString() : QStringLiteral("\r\n") + error),
                     Buttons::OK, Icon::Information);
        return false;
    }
    m_checkFile = path;
    loadFields(SelectionTarget::listFile(std::move(fields)));
    return true;
}

QString frmSQLQuery::ShowSQLDialog(const QString& path) {
    if (!prepare(path)) return {};
    return run();
}

// ---- for the callers

std::optional<QString> buildListFilter(UserInterface& ui, QWidget* parent, const QStringList& names,
                                       const QStringList& types) {
    std::vector<SelectionField> fields;
    for (int i = 0; i < names.size(); ++i)
        fields.push_back({names[i], i < types.size() && numericTypeName(types[i])});
    frmGenFilter dialog(ui, parent);
    dialog.Add(fields, QStringLiteral("AddressList"), SelectionDatabase::Jet);
    const QString clause = dialog.Filter();
    if (!dialog.accepted()) return std::nullopt;
    return clause;
}

std::optional<QString> buildListFileFilter(UserInterface& ui, QWidget* parent, const QString& listFile,
                                           const QString& current) {
    frmSQLQuery dialog(ui, parent);
    if (!dialog.prepare(listFile)) return std::nullopt;
    dialog.setClause(current);
    const QString clause = dialog.run();
    if (!dialog.accepted()) return std::nullopt;
    return clause;
}

} // namespace sendora
