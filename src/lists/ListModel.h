#pragma once
// The list window's grid data: a lazy table model over one list file's AddressList.
//
// The current record source (all rows, one domain, a record selection or a sort) is run once
// for its row ids only; rows are read a page at a time by row id as the view asks for them,
// so a list of a million addresses never sits in memory. The last line of a writable list is
// the new-row line. Editing the address runs the before-update check with its messages.

#include <QAbstractTableModel>
#include <QHash>
#include <QSet>
#include <QStringList>
#include <QVector>
#include <functional>
#include <memory>

namespace jet {
class Database;
class Statement;
} // namespace jet

namespace sendora {

struct AppContext;

class ListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit ListModel(AppContext& ctx, QObject* parent = nullptr);
    ~ListModel() override;

    // Opens the file on "SELECT * FROM ADDRESSLIST". A list being sent opens read-only.
    // False (and logged) when the file cannot be opened.
    bool open(const QString& file);
    void close();
    QString file() const { return m_file; }
    bool isOpen() const;
    bool readOnly() const { return m_readOnly; }
    // True while a mailing holds the list's ".sending" lock.
    static bool beingSent(const QString& file);

    // Sets the Jet record source ("SELECT * FROM ADDRESSLIST ..." or a sort statement) and
    // loads its row ids. A clause that is not one read-only statement is refused: false,
    // with the reason in lastError(), and the grid keeps what it showed.
    // `where` is empty or a Jet "WHERE ..." clause, `orderBy` empty or "ORDER BY [f] ASC|DESC".
    bool setRecordSource(const QString& where, const QString& orderBy = {});
    // The Jet statement the grid shows.
    QString recordSource() const;
    // Runs the record source again (after column changes or edits made elsewhere).
    bool reload();
    QString lastError() const { return m_error; }

    // "SELECT COUNT(EAddress) ..." over the record source.
    qint64 recordCount() const;
    int dataRows() const { return int(m_ids.size()); }
    bool isNewRow(int row) const { return !m_readOnly && row == dataRows(); }
    QStringList columnNames() const { return m_columns; }
    // Jet type names of the columns ("TEXT", "MEMO", "LONG", ...), for the record selection builder.
    QStringList columnTypes() const { return m_types; }
    int column(const QString& name) const;

    // Find in the current order: the first row at or after `from` (or before it, backwards)
    // whose row satisfies the Jet criterion; -1 when none.
    int findRow(const QString& jetCriterion, int from, bool backwards);

    // Deleting rows in steps, so a window can show progress and stop between steps.
    // takeRowIds() fixes which rows go; deleteStep removes up to `count` of them from the
    // file in one transaction and returns how many went; finishDelete() drops them from the grid.
    QVector<qint64> rowIds(const QList<int>& rows) const;
    int deleteStep(const QVector<qint64>& ids, int from, int count);
    void finishDelete(const QSet<qint64>& deleted);

    // The list's duplicate check on closing: the rows whose address occurs more than once.
    QStringList duplicateAddresses();
    bool deleteDuplicates();

    // QAbstractTableModel.
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

    // Asked before each write: false turns the model read-only (a mailing started meanwhile).
    std::function<void()> onBecameReadOnly;

private:
    struct Page;
    const QVector<QVariant>* rowValues(int row) const;
    bool writable();
    bool checkAddress(QString& value, bool newRow);
    bool storeCell(int row, int col, const QVariant& value);
    bool insertNewRow(const QString& address);
    void logError(const QString& where, const std::exception& e, bool show = false) const;

    AppContext& m_ctx;
    QString m_file;
    std::unique_ptr<jet::Database> m_db;
    bool m_readOnly = false;
    QString m_where;
    QString m_order;
    QString m_error;
    QStringList m_columns;
    QStringList m_types;
    QVector<qint64> m_ids;
    QVector<QVariant> m_newRow; // pending cells of the new-row line
    // The last COUNT, until the rows or the record source change.
    mutable qint64 m_count = -1;
    mutable QHash<int, std::shared_ptr<Page>> m_pages;
    mutable QList<int> m_pageOrder;
    std::unique_ptr<jet::Statement> m_fetch;
};

} // namespace sendora
