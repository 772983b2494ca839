#pragma once
// The addresses of a list that failed in direct send, with their error, read in batches so
// that a long listing stops as soon as the window closes.

#include <QDialog>
#include <QTimer>
#include <memory>

class QListWidget;

namespace jet {
class Database;
class Recordset;
} // namespace jet

namespace sendora {

struct AppContext;

class frmFailures : public QDialog {
    Q_OBJECT
public:
    // listFile: the list's file name in the AddressLists folder.
    frmFailures(AppContext& ctx, const QString& listFile, QWidget* parent = nullptr);
    ~frmFailures() override;

    QListWidget* entries() const { return m_list; }
    bool loading() const { return m_batch.isActive(); }
    void done(int result) override;

    static QString entryText(const QVariant& id, const QString& address, const QString& error);

private:
    void readBatch();
    void stop();

    AppContext& m_ctx;
    QListWidget* m_list;
    std::unique_ptr<jet::Database> m_db;
    std::unique_ptr<jet::Recordset> m_rows;
    QTimer m_batch;
};

} // namespace sendora
