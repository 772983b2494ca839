#include "lists/ui/frmFindReplace.h"

#include "core/UserInterface.h"
#include "lists/FindReplace.h"
#include "lists/RecordSelection.h"
#include "lists/ui/frmList.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

namespace sendora {

frmFindReplace::frmFindReplace(UserInterface& ui, std::unique_ptr<FindReplaceTarget> target, QWidget* parent)
    : QDialog(parent), m_ui(ui), m_target(std::move(target)) {
    setObjectName(QStringLiteral("frmFindReplace"));
    setWindowTitle(tr("Find and Replace"));
    auto* v = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    m_column = new QComboBox(this);
    m_column->setObjectName(QStringLiteral("cboColumn"));
    for (const SelectionField& f : listSelectionFields(m_target->listFile()))
        m_column->addItem(f.name);
    m_search = new QLineEdit(this);
    m_search->setObjectName(QStringLiteral("txtSearch"));
    m_replace = new QLineEdit(this);
    m_replace->setObjectName(QStringLiteral("txtReplace"));
    form->addRow(tr("Column:"), m_column);
    form->addRow(tr("Find what:"), m_search);
    form->addRow(tr("Replace with:"), m_replace);
    v->addLayout(form);
    m_exact = new QCheckBox(tr("Match exact string"), this);
    m_exact->setObjectName(QStringLiteral("chkExact"));
    v->addWidget(m_exact);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    m_find = new QPushButton(tr("Find"), this);
    m_find->setObjectName(QStringLiteral("cmdFind"));
    m_find->setDefault(true);
    auto* replace = new QPushButton(tr("Replace All"), this);
    replace->setObjectName(QStringLiteral("cmdReplaceAll"));
    replace->setAutoDefault(false);
    auto* close = new QPushButton(tr("Close"), this);
    close->setObjectName(QStringLiteral("cmdClose"));
    close->setAutoDefault(false);
    buttons->addWidget(m_find);
    buttons->addWidget(replace);
    buttons->addWidget(close);
    v->addLayout(buttons);

    connect(m_find, &QPushButton::clicked, this, &frmFindReplace::find);
    connect(replace, &QPushButton::clicked, this, &frmFindReplace::replaceAll);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_search, &QLineEdit::textEdited, this, [this] {
        guardQuotes(m_search, m_lastSearch);
        resetFind();
    });
    connect(m_replace, &QLineEdit::textEdited, this, [this] { guardQuotes(m_replace, m_lastReplace); });
    connect(m_column, &QComboBox::currentIndexChanged, this, &frmFindReplace::resetFind);
    connect(m_exact, &QCheckBox::toggled, this, &frmFindReplace::resetFind);
}

frmFindReplace::~frmFindReplace() = default;

void frmFindReplace::guardQuotes(QLineEdit* box, QString& lastGood) {
    if (acceptableFindText(box->text())) {
        lastGood = box->text();
        return;
    }
    const int cursor = box->cursorPosition() - 1;
    box->setText(lastGood);
    box->setCursorPosition(std::max(0, cursor));
    m_ui.message(kFindQuoteRefused, Buttons::OK, Icon::Exclamation);
}

void frmFindReplace::resetFind() {
    m_found = false;
    m_find->setText(tr("Find"));
}

void frmFindReplace::find() {
    const bool exact = m_exact->isChecked();
    const QString text = findStringText(m_search->text(), exact);
    bool nothing;
    if (!m_found) {
        m_target->setFindColumn(m_column->currentText());
        nothing = m_target->findString(text);
    } else {
        nothing = m_target->findNextString(text);
    }
    if (nothing) {
        m_ui.message(exact ? kFindExactNotFound : kFindNotFound, Buttons::OK, Icon::Information);
        return;
    }
    m_found = true;
    m_find->setText(tr("Find Next"));
}

void frmFindReplace::replaceAll() {
    const ReplaceResult r = sendora::replaceAll(m_ui, m_target->listFile(), m_column->currentText(),
                                                m_search->text(), m_replace->text());
    if (r.outcome == ReplaceResult::Outcome::Replaced) m_target->refreshAfterReplace();
    if (r.outcome == ReplaceResult::Outcome::Failed) m_ui.message(r.error, Buttons::OK, Icon::Exclamation);
}

void frmFindReplace::done(int result) {
    QDialog::done(result);
    if (QWidget* w = m_target->window()) {
        w->activateWindow();
        w->setFocus(Qt::OtherFocusReason);
    }
}

namespace {

class ListWindowTarget : public FindReplaceTarget {
public:
    explicit ListWindowTarget(frmList& list) : m_list(&list) {}
    QString listFile() const override { return m_list ? m_list->filePath() : QString(); }
    void setFindColumn(const QString& column) override {
        if (m_list) m_list->setFindColumn(m_list->model()->column(column));
    }
    bool findString(const QString& text) override { return !m_list || m_list->findString(text); }
    bool findNextString(const QString& text) override { return !m_list || m_list->findNextString(text); }
    void refreshAfterReplace() override {
        if (!m_list) return;
        m_list->model()->reload();
        m_list->UpdateCount();
    }
    QWidget* window() const override { return m_list; }

private:
    QPointer<frmList> m_list;
};

} // namespace

frmFindReplace* showFindReplace(UserInterface& ui, frmList& list) {
    auto* dialog = new frmFindReplace(ui, std::make_unique<ListWindowTarget>(list), &list);
    dialog->setWindowFlag(Qt::Window);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->show();
    return dialog;
}

} // namespace sendora
