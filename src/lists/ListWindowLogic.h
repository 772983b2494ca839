#pragma once
// What the list window does beyond showing cells: the display choice, sorting, finding,
// the deletion question, the duplicate check on closing and the temporary-list rule.
// No widgets: the window passes its choices in and moves its cursor to the rows returned.

#include "lists/ListModel.h"

#include <QString>

namespace sendora {

struct AppContext;

enum class DisplayChoice { All, Domain, Filter };

// Find criteria for a column: "*" makes a Like pattern, "**" finds empty values.
QString findCriterion(const QString& column, const QString& text);
// Find-previous writes the value in single quotes and has no "**" case.
QString findPreviousCriterion(const QString& column, const QString& text);
// WHERE clause of the domain display: the text after the first "@" equals the domain.
QString domainClause(const QString& domain);

class ListWindowLogic {
public:
    ListWindowLogic(AppContext& ctx, ListModel& model) : m_ctx(ctx), m_model(model) {}

    // "&Refresh" with a display choice; false (after its message) when the choice lacks its text.
    bool refresh(DisplayChoice choice, const QString& domain, const QString& filter);
    void sort(int column, bool ascending);

    // Each returns true when nothing was found; `row` moves to the match.
    bool findString(int column, const QString& text, int& row);
    bool findNextString(int column, const QString& text, int& row);
    bool findPreviousString(int column, const QString& text, int& row);

    // "Deletion Confirmation" for n rows.
    bool confirmDelete(int n);

    // The duplicate check on closing; true when the window may go on closing.
    bool duplicateCheck();
    bool duplicateCheckDone() const { return m_duplicatesChecked; }
    void resetDuplicateCheck() { m_duplicatesChecked = false; }

    bool isTemporary() const;
    // "Records:" value and the current record text ("New" on the new-row line).
    QString recordsText() const;
    QString currentText(int row) const;

private:
    AppContext& m_ctx;
    ListModel& m_model;
    bool m_duplicatesChecked = false;
};

} // namespace sendora
