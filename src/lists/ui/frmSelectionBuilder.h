#pragma once
// The two "Selection Criteria Builder" dialogs: four condition rows (field, operator, value,
// logic) with OK, Cancel and "&View Filter". frmSQLQuery works on a list file's AddressList
// table; frmGenFilter on a field list handed in by the caller. Both return the clause,
// beginning with "WHERE ((", or the empty text when the user cancels.

#include "lists/RecordSelection.h"

#include <QDialog>
#include <optional>

class QComboBox;
class QHBoxLayout;
class QLineEdit;

namespace sendora {

class UserInterface;

class SelectionBuilderDialog : public QDialog {
    Q_OBJECT
public:
    // The rows as the user set them, and the clause they give (or the one typed by hand
    // in the SQL view, until a row changes again).
    SelectionRows rows() const;
    SelectionClause currentClause() const;
    QString clause() const { return m_result; }
    bool accepted() const { return m_accepted; }
    // Shows the dialog modally; the clause or empty on cancel.
    QString run();

    // Opens the SQL view with the clause built so far.
    void viewFilter();
    // A clause the builder starts from (the one in use): OK keeps it until a row is set.
    void setClause(const QString& clause);

protected:
    SelectionBuilderDialog(UserInterface& ui, QWidget* parent);
    // Fills the rows' drop-downs (loadFields) from the target.
    void loadFields(const SelectionTarget& target);
    void addExtraButton(QWidget* button);
    void accept() override;
    // A list file to check the clause on before OK takes it; empty: not checked.
    QString m_checkFile;
    UserInterface& m_ui;

private:
    void fieldChanged(int row);
    // A refused value: beep and the focus on that row's value box.
    void refuse(int row);

    SelectionTarget m_target;
    QComboBox* m_field[4];
    QComboBox* m_op[4];
    QLineEdit* m_value[4];
    QComboBox* m_logic[3];
    QHBoxLayout* m_buttons;
    std::optional<QString> m_manual; // typed in the SQL view
    QString m_result;
    bool m_accepted = false;
};

class frmGenFilter : public SelectionBuilderDialog {
    Q_OBJECT
public:
    frmGenFilter(UserInterface& ui, QWidget* parent = nullptr);
    // Stores the field list, the table name and the quoting of that database kind.
    void Add(const std::vector<SelectionField>& fields, const QString& tableName, SelectionDatabase kind);
    // Fills the rows, shows the dialog modally, returns the clause (empty on cancel).
    QString Filter();
    // Fills the rows without showing the dialog.
    void prepare();

private:
    SelectionTarget m_pending;
};

class frmSQLQuery : public SelectionBuilderDialog {
    Q_OBJECT
public:
    frmSQLQuery(UserInterface& ui, QWidget* parent = nullptr);
    // Reads the fields of the AddressList table at path, shows the dialog modally and
    // returns the clause (empty on cancel or when the file cannot be read, which it says).
    QString ShowSQLDialog(const QString& path);
    // The reading half alone; false (after the message) when the file cannot be read.
    bool prepare(const QString& path);
};

// Value boxes of number fields accept digits (and the word null).
void MakeTextBoxNumeric(QLineEdit* box, bool numeric);

// The list window's filter button: frmGenFilter over a list's field names and Jet type names
// ("TEXT", "LONG", "DOUBLE", ...), on the table AddressList. Nothing on cancel.
std::optional<QString> buildListFilter(UserInterface& ui, QWidget* parent, const QStringList& names,
                                       const QStringList& types);
// The delivery options wizard's "Specify Filter..": frmSQLQuery on a list file, starting
// from the clause in use.
std::optional<QString> buildListFileFilter(UserInterface& ui, QWidget* parent, const QString& listFile,
                                           const QString& current = {});

} // namespace sendora
