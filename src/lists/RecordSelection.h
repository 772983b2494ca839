#pragma once
// The record selection builder without its widgets: up to four condition rows (field,
// operator, value, and a logic item joining a row to the next) assembled into the WHERE
// clause that list filtering, the delivery options and the imports run.
//
// Values are always data: text values become one quoted literal whatever they hold, and a
// value for a number field must be a number. Only "Like" patterns keep * and ? as wildcards.

#include <QString>
#include <QStringList>
#include <array>
#include <vector>

namespace sendora {

struct SelectionField {
    QString name;
    bool numeric = false; // values are written as numbers, not quoted
};

// frmSQLQuery writes "[AddressList].[field]" and double-quoted values; frmGenFilter writes
// "table.<q>field<q>" with the quote of the database in use and single-quoted values.
enum class SelectionStyle { ListFile, General };

// The database a general builder works on; it decides how names are quoted.
enum class SelectionDatabase { Jet, SqlServer, MySql, Oracle };

struct SelectionTarget {
    SelectionStyle style = SelectionStyle::ListFile;
    QString table = QStringLiteral("AddressList");
    SelectionDatabase database = SelectionDatabase::Jet;
    std::vector<SelectionField> fields;

    // frmSQLQuery on a list file's AddressList table; frmGenFilter.Add.
    static SelectionTarget listFile(std::vector<SelectionField> fields);
    static SelectionTarget general(std::vector<SelectionField> fields, const QString& table,
                                   SelectionDatabase database);
    const SelectionField* field(const QString& name) const;
};

// The identifier quote text of a database kind ("[" for Jet: names go in brackets).
QString identifierQuote(SelectionDatabase database);

// Drop-down items, in the order shown. The "=" item carries a leading space.
const QStringList& selectionOperators();
const QStringList& selectionLogicItems(); // " ", "AND", "OR"

struct SelectionRow {
    QString field; // empty: no condition
    QString op;    // one of selectionOperators(), or empty
    QString value;
    QString logic; // rows 1 to 3: joins the next row when not blank
};
using SelectionRows = std::array<SelectionRow, 4>;

// A value Jet reads as a number: digits with an optional sign, decimal point and exponent.
bool isNumericValue(const QString& value);

// getExpression: one row's condition, empty for a row without a field. ok is false when the
// value is refused (not a number for a number field); the condition is empty then.
QString selectionCondition(const SelectionTarget& target, const SelectionRow& row, bool* ok = nullptr);

// assembleSQL over the row conditions and the logic items of rows 1 to 3.
QString assembleSQL(const std::array<QString, 4>& conditions, const std::array<QString, 3>& logic);

struct SelectionClause {
    QString clause;     // "WHERE ((...", empty when row 1 gives no condition
    int refusedRow = 0; // 1 to 4: that row's value is not a number for its number field
};
SelectionClause assembleSQL(const SelectionTarget& target, const SelectionRows& rows);

// The fields of a list file's AddressList table with their kinds. Empty with error set when
// the file cannot be read.
std::vector<SelectionField> listSelectionFields(const QString& listFile, QString* error = nullptr);

// Runs "SELECT * FROM AddressList " + clause on the list file as a single read-only
// statement: empty when it runs, otherwise the database's error text.
QString checkSelectionClause(const QString& listFile, const QString& clause);

// The keywords frmAdvancedSQLQuery marks in a clause: each match as (position, length).
struct KeywordSpan {
    int start = 0;
    int length = 0;
};
std::vector<KeywordSpan> selectionKeywords(const QString& clause);

} // namespace sendora
