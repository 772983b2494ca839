#include "lists/ListWindowLogic.h"

#include "components/jet/Jet.h"
#include "core/AppContext.h"
#include "core/ListActions.h"

namespace sendora {

QString findCriterion(const QString& column, const QString& text) {
    const QString c = jet::bracket(column);
    // "= NULL" never holds in SQL; Is Null finds the empty cells that were never written.
    if (text == QLatin1String("**"))
        return c + QStringLiteral(" = \"\" OR ") + c + QStringLiteral(" Is Null");
    if (text.contains(u'*')) return c + QStringLiteral(" Like ") + jet::quote(text);
    return c + QStringLiteral(" = ") + jet::quote(text);
}

QString findPreviousCriterion(const QString& column, const QString& text) {
    const QString c = jet::bracket(column);
    if (text.contains(u'*')) return c + QStringLiteral(" Like ") + jet::quoteSingle(text);
    return c + QStringLiteral(" = ") + jet::quoteSingle(text);
}

QString domainClause(const QString& domain) {
    return QStringLiteral("WHERE Mid( EAddress, Instr( EAddress, \"@\" ) + 1 ) = ") + jet::quote(domain);
}

bool ListWindowLogic::refresh(DisplayChoice choice, const QString& domain, const QString& filter) {
    QString where;
    if (choice == DisplayChoice::Domain) {
        if (domain.trimmed().isEmpty()) {
            m_ctx.ui->message(QStringLiteral("Please enter a domain name"), Buttons::OK, Icon::Information,
                              QStringLiteral("Sendora"));
            return false;
        }
        where = domainClause(domain.trimmed());
    } else if (choice == DisplayChoice::Filter) {
        if (filter.trimmed().isEmpty()) {
            m_ctx.ui->message(QStringLiteral("Please create a filter"), Buttons::OK, Icon::Information,
                              QStringLiteral("Sendora"));
            return false;
        }
        where = filter.trimmed();
    }
    return m_model.setRecordSource(where);
}

void ListWindowLogic::sort(int column, bool ascending) {
    const QString field = m_model.columnNames().value(column);
    if (field.isEmpty()) return;
    m_model.setRecordSource(
        {}, QStringLiteral("ORDER BY %1 %2")
                .arg(jet::bracket(field), ascending ? QStringLiteral("ASC") : QStringLiteral("DESC")));
}

bool ListWindowLogic::findString(int column, const QString& text, int& row) {
    const int found = m_model.findRow(findCriterion(m_model.columnNames().value(column), text), 0, false);
    if (found < 0) return true;
    row = found;
    return false;
}

bool ListWindowLogic::findNextString(int column, const QString& text, int& row) {
    const int found =
        m_model.findRow(findCriterion(m_model.columnNames().value(column), text), row + 1, false);
    if (found < 0) return true;
    row = found;
    return false;
}

bool ListWindowLogic::findPreviousString(int column, const QString& text, int& row) {
    const int found =
        m_model.findRow(findPreviousCriterion(m_model.columnNames().value(column), text), row - 1, true);
    if (found < 0) return true;
    row = found;
    return false;
}

bool ListWindowLogic::confirmDelete(int n) {
    return m_ctx.ui->message(
               QStringLiteral("You are about to delete %1 record(s) from your\r\nlist.\r\n\r\nThis "
                              "action cannot be undone.  Are you sure\r\nyou wish to continue?")
                   .arg(n),
               Buttons::YesNo, Icon::Question, QStringLiteral("Deletion Confirmation")) == Answer::Yes;
}

bool ListWindowLogic::duplicateCheck() {
    if (m_duplicatesChecked) return true;
    const QStringList duplicates = m_model.duplicateAddresses();
    if (duplicates.isEmpty()) {
        m_duplicatesChecked = true;
        return true;
    }
    QString text =
        QStringLiteral("These fields are duplicates, To delete them and close your database click Yes. "
                       "To manually delete them, click No:\r\n");
    for (const QString& address : duplicates)
        text += QStringLiteral("     ") + address + QStringLiteral(", ");
    if (m_ctx.ui->message(text, Buttons::YesNo, Icon::Exclamation,
                          QStringLiteral("Duplicate entries found.")) != Answer::Yes)
        return false;
    m_model.deleteDuplicates();
    m_duplicatesChecked = true;
    return true;
}

bool ListWindowLogic::isTemporary() const {
    return isTemporaryListFile(m_ctx, m_model.file());
}

QString ListWindowLogic::recordsText() const {
    return QString::number(m_model.recordCount());
}

QString ListWindowLogic::currentText(int row) const {
    if (m_model.isNewRow(row)) return QStringLiteral("New");
    return row < 0 ? QString() : QString::number(row + 1);
}

} // namespace sendora
