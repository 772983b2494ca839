#pragma once
// A read-only grid over a source table, captioned "<table> (Read Only)". Rows are read from the
// source as the grid scrolls, so a large table opens at once.

#include "components/sourcereaders/SourceReader.h"

#include <QDialog>

class QTableView;

namespace sendora {

struct AppContext;

class frmTableView : public QDialog {
    Q_OBJECT
public:
    // Null when the table has no rows ("There are no records to display" has been shown).
    static frmTableView* open(AppContext& ctx, sourcereaders::SourceReader& reader, const QString& table,
                              QWidget* parent);
    // Shows the view modally.
    static void show(AppContext& ctx, sourcereaders::SourceReader& reader, const QString& table,
                     QWidget* parent);

    QTableView* grid() const { return m_grid; }

private:
    frmTableView(std::unique_ptr<sourcereaders::RowCursor> rows, sourcereaders::SourceRow first,
                 const QString& table, QWidget* parent);
    QTableView* m_grid;
};

} // namespace sendora
