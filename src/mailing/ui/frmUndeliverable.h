#pragma once
// The Undeliverable Manager: four pages (causes, list, counts, result) over CUndeliverables.

#include "mailing/Undeliverables.h"

#include <QDialog>
#include <array>

class QCheckBox;
class QLabel;
class QListWidget;
class QPushButton;
class QStackedWidget;

namespace sendora {

struct AppContext;

class frmUndeliverable : public QDialog {
    Q_OBJECT
public:
    static const QString kHeading1, kHeading2, kHeading3, kDone, kNothingToRemove, kNoLists;

    explicit frmUndeliverable(AppContext& ctx, QWidget* parent = nullptr);

    int page() const;
    CUndeliverables& manager() { return m_manager; }
    QPushButton* nextButton() const { return m_next; }
    QPushButton* backButton() const { return m_back; }

    void next();
    void back();

private:
    void showPage(int page);
    void fillLists();
    void showCounts();
    void removeSelected();

    AppContext& m_ctx;
    CUndeliverables m_manager;
    QStackedWidget* m_pages;
    QLabel* m_heading;
    std::array<QCheckBox*, 6> m_categories{};
    QListWidget* m_lists;
    QLabel* m_noLists;
    std::array<QLabel*, 6> m_counts{};
    QString m_listPath;
    QPushButton* m_back;
    QPushButton* m_next;
    QPushButton* m_cancel;
};

} // namespace sendora
