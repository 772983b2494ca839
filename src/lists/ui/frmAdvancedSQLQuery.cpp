#include "lists/ui/frmAdvancedSQLQuery.h"

#include "lists/RecordSelection.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QTextCursor>
#include <QTextEdit>
#include <QVBoxLayout>

namespace sendora {

frmAdvancedSQLQuery::frmAdvancedSQLQuery(const QString& clause, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmAdvancedSQLQuery"));
    setWindowTitle(tr("View/Edit SQL Filter"));
    setModal(true);
    resize(520, 260);
    auto* v = new QVBoxLayout(this);
    m_text = new QTextEdit(this);
    m_text->setObjectName(QStringLiteral("rtbSQL"));
    m_text->setAcceptRichText(false);
    m_text->setReadOnly(true);
    m_text->setPlainText(clause);
    v->addWidget(m_text);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    m_edit = new QPushButton(tr("&Edit"), this);
    m_edit->setObjectName(QStringLiteral("cmdEdit"));
    auto* close = new QPushButton(tr("Cancel"), this);
    close->setObjectName(QStringLiteral("cmdCancel"));
    buttons->addWidget(m_edit);
    buttons->addWidget(close);
    v->addLayout(buttons);
    connect(m_edit, &QPushButton::clicked, this, &frmAdvancedSQLQuery::editOrAccept);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    markKeywords();
}

std::optional<QString> frmAdvancedSQLQuery::showClause(QWidget* parent, const QString& clause) {
    frmAdvancedSQLQuery dialog(clause, parent);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.clause();
}

QString frmAdvancedSQLQuery::clause() const {
    return m_text->toPlainText().trimmed();
}

bool frmAdvancedSQLQuery::editing() const {
    return !m_text->isReadOnly();
}

void frmAdvancedSQLQuery::editOrAccept() {
    if (editing()) {
        accept();
        return;
    }
    // Plain text while editing: the marks would follow the typing into values.
    m_text->setPlainText(m_text->toPlainText());
    m_text->setReadOnly(false);
    m_text->setFocus(Qt::OtherFocusReason);
    m_edit->setText(tr("Accept"));
}

void frmAdvancedSQLQuery::markKeywords() {
    QTextCharFormat mark;
    mark.setForeground(Qt::blue);
    mark.setFontWeight(QFont::Bold);
    const QString text = m_text->toPlainText();
    for (const KeywordSpan& k : selectionKeywords(text)) {
        QTextCursor c(m_text->document());
        c.setPosition(k.start);
        c.setPosition(k.start + k.length, QTextCursor::KeepAnchor);
        c.mergeCharFormat(mark);
    }
}

} // namespace sendora
