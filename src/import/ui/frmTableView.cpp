#include "import/ui/frmTableView.h"

#include "core/AppContext.h"

#include <QAbstractTableModel>
#include <QHeaderView>
#include <QTableView>
#include <QVBoxLayout>

namespace sendora {

namespace sr = sourcereaders;

namespace {

// Rows fetched from the cursor a screenful at a time.
class SourceTableModel : public QAbstractTableModel {
public:
    static constexpr int kFetch = 200;

    SourceTableModel(std::unique_ptr<sr::RowCursor> rows, sr::SourceRow first, QObject* parent)
        : QAbstractTableModel(parent), m_cursor(std::move(rows)), m_fields(m_cursor->fields()) {
        m_rows.push_back(std::move(first));
    }
    int rowCount(const QModelIndex& parent) const override {
        return parent.isValid() ? 0 : int(m_rows.size());
    }
    int columnCount(const QModelIndex& parent) const override {
        return parent.isValid() ? 0 : int(m_fields.size());
    }
    QVariant data(const QModelIndex& index, int role) const override {
        if (role != Qt::DisplayRole || !index.isValid()) return {};
        return sr::valueText(m_rows[size_t(index.row())].value(index.column()));
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (role != Qt::DisplayRole) return {};
        if (orientation == Qt::Horizontal)
            return section < m_fields.size() ? m_fields[section].name : QString();
        return section + 1;
    }
    bool canFetchMore(const QModelIndex& parent) const override { return !parent.isValid() && !m_atEnd; }
    void fetchMore(const QModelIndex& parent) override {
        if (parent.isValid() || m_atEnd) return;
        std::vector<sr::SourceRow> more;
        sr::SourceRow row;
        while (more.size() < size_t(kFetch)) {
            if (!m_cursor->next(row)) {
                m_atEnd = true;
                break;
            }
            more.push_back(row);
        }
        if (more.empty()) return;
        beginInsertRows({}, int(m_rows.size()), int(m_rows.size() + more.size()) - 1);
        for (sr::SourceRow& r : more)
            m_rows.push_back(std::move(r));
        endInsertRows();
    }

private:
    std::unique_ptr<sr::RowCursor> m_cursor;
    QList<sr::SourceField> m_fields;
    std::vector<sr::SourceRow> m_rows;
    bool m_atEnd = false;
};

} // namespace

frmTableView::frmTableView(std::unique_ptr<sr::RowCursor> rows, sr::SourceRow first, const QString& table,
                           QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("frmTableView"));
    setWindowTitle(table + QStringLiteral(" (Read Only)"));
    m_grid = new QTableView(this);
    m_grid->setObjectName(QStringLiteral("grdTable"));
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->setModel(new SourceTableModel(std::move(rows), std::move(first), m_grid));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_grid);
    resize(640, 400);
}

frmTableView* frmTableView::open(AppContext& ctx, sr::SourceReader& reader, const QString& table,
                                 QWidget* parent) {
    std::unique_ptr<sr::RowCursor> rows = reader.rows(table);
    sr::SourceRow first;
    if (!rows || !rows->next(first)) {
        ctx.ui->message(QStringLiteral("There are no records to display"), Buttons::OK, Icon::Information);
        return nullptr;
    }
    return new frmTableView(std::move(rows), std::move(first), table, parent);
}

void frmTableView::show(AppContext& ctx, sr::SourceReader& reader, const QString& table, QWidget* parent) {
    std::unique_ptr<frmTableView> view(open(ctx, reader, table, parent));
    if (view) view->exec();
}

} // namespace sendora
