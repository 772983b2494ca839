#pragma once
// The send screen's result rows: append-only and kept in one vector, so a mailing of a
// hundred thousand addresses costs one small struct per row instead of a widget item.

#include "mailing/relay/SMTPSocket.h"

#include <QAbstractTableModel>
#include <QFont>
#include <QIcon>
#include <vector>

namespace sendora {

class SendResultsModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { MarkColumn, TextColumn, ColumnCount };
    using Mark = SMTPSocket::Mark;

    struct Row {
        QString text;
        Mark mark = Mark::None;
    };

    explicit SendResultsModel(QObject* parent = nullptr);

    void append(const QString& text, Mark mark);
    void append(const QStringList& texts); // unmarked rows, one insertion
    void clear();

    int size() const { return int(m_rows.size()); }
    const Row& at(int row) const { return m_rows.at(size_t(row)); }

    // "Ok", "Fail" or "".
    static QString markText(Mark mark);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    std::vector<Row> m_rows;
    QIcon m_ok;
    QIcon m_fail;
    QFont m_fixed;
};

} // namespace sendora
