#pragma once
// frmAdvancedSQLQuery ("View/Edit SQL Filter"): shows a selection clause with its keywords
// marked; Edit lets the user change it by hand and Accept hands the edited clause back.

#include <QDialog>
#include <optional>

class QPushButton;
class QTextEdit;

namespace sendora {

class frmAdvancedSQLQuery : public QDialog {
    Q_OBJECT
public:
    explicit frmAdvancedSQLQuery(const QString& clause, QWidget* parent = nullptr);

    // Shows the clause modally; the edited clause when the user accepted an edit.
    static std::optional<QString> showClause(QWidget* parent, const QString& clause);

    QString clause() const;
    bool editing() const;

private:
    void editOrAccept();
    void markKeywords();

    QTextEdit* m_text;
    QPushButton* m_edit;
};

} // namespace sendora
