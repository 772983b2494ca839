#pragma once
// The database server import window: eight pages over ServerImport (kind, connection,
// catalog, source, parameters, fields and trays, filter, build). Finish hands the new list
// to `showList`.

#include "import/DatabaseImport.h"
#include "import/ServerImport.h"

#include <QDialog>
#include <array>
#include <functional>
#include <optional>

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QStackedWidget;
class QTableWidget;

namespace sendora {

struct AppContext;

class frmDBServerImport : public QDialog {
    Q_OBJECT
public:
    frmDBServerImport(AppContext& ctx, std::unique_ptr<dblink::DbLink> link = nullptr,
                      QWidget* parent = nullptr);
    ~frmDBServerImport() override;

    ServerImport& model() { return m_model; }
    DatabaseImport& build() { return m_build; }
    void next();
    void back();
    void finish();
    void buildList();

    // The widgets a caller or test fills, by page.
    QListWidget* kindList() const { return m_kinds; }
    QLineEdit* serverEdit() const { return m_server; }
    QListWidget* catalogList() const { return m_catalogs; }
    QRadioButton* sourceOption(int i) const { return m_options[size_t(i)]; }
    QListWidget* sourceList(int i) const { return m_sources[size_t(i)]; }
    QTableWidget* parameterGrid() const { return m_params; }
    QLineEdit* tray(int i) const { return m_trays[size_t(i)]; }
    QLabel* counter() const { return m_counter; }

    std::function<void(const QString& file)> showList;
    std::function<std::optional<QString>(const QStringList& names)> filterBuilder;

    // load(): the window on its first page.
    static void load(AppContext& ctx, QWidget* parent, const std::function<void(const QString&)>& showList);

private:
    void showPage();
    void takeInput();
    void fillPage();

    AppContext& m_ctx;
    ServerImport m_model;
    DatabaseImport m_build;
    QStackedWidget* m_pages = nullptr;
    QListWidget* m_kinds = nullptr;
    QLabel* m_note = nullptr;
    QLineEdit* m_server = nullptr;
    QLineEdit* m_database = nullptr;
    QLineEdit* m_user = nullptr;
    QLineEdit* m_password = nullptr;
    QComboBox* m_library = nullptr;
    QListWidget* m_catalogs = nullptr;
    std::array<QRadioButton*, 3> m_options{};
    std::array<QListWidget*, 3> m_sources{};
    QTableWidget* m_params = nullptr;
    QListWidget* m_fields = nullptr;
    std::array<QLineEdit*, kTrayCount> m_trays{};
    QLabel* m_filterText = nullptr;
    QLabel* m_counter = nullptr;
    QPushButton* m_buildButton = nullptr;
    QPushButton* m_interrupt = nullptr;
    QPushButton* m_back = nullptr;
    QPushButton* m_next = nullptr;
    QPushButton* m_finish = nullptr;
    QPushButton* m_exit = nullptr;
    QString m_list;
};

} // namespace sendora
