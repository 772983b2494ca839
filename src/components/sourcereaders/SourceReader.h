#pragma once
// Readers of the files that addresses are imported from: Access, dBASE/FoxPro, Excel,
// Paradox and delimited text. A reader opens one source, lists its tables and their fields
// and hands out a cursor that streams a table's rows one at a time, so a source of any size
// is read in constant memory and the caller decides how many rows to take per event-loop
// turn. Every failure leaves a message in errorText() that can be shown to the user as it
// stands.

#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <memory>
#include <vector>

namespace sendora::sourcereaders {

// The import wizard's source kinds, in its list order (index = wizard index).
enum class SourceKind {
    Access = 0,
    Act4 = 1,
    Btrieve = 2,
    DBase3 = 3,
    DBase4 = 4,
    DBase5 = 5,
    Excel5 = 6,
    FoxPro20 = 7,
    FoxPro25 = 8,
    FoxPro26 = 9,
    FoxPro30 = 10,
    Goldmine = 11,
    Paradox3 = 12,
    Paradox4 = 13,
    Paradox5 = 14,
    Text = 15,
    Odbc = 100, // a database server; its reader lives with the ODBC layer, not here
    Unknown = -1,
};

struct SourceKindInfo {
    SourceKind kind = SourceKind::Unknown;
    QString key;     // "DBACCESS", ...; "UNKNOWN" for anything else
    QString filter;  // file dialog filter, "Access MDBs (*.mdb)|*.mdb"
    QString connect; // the connect text the kind was opened with ("Dbase III;")
    // The tables of the source are the files of the chosen file's folder (dBASE, text).
    bool folderDatabase = false;
};

constexpr int kWizardKindCount = 16;
SourceKindInfo kindInfo(SourceKind kind);
SourceKind kindFromIndex(int index);        // Unknown outside 0..15
SourceKind kindFromKey(const QString& key); // "DBDBASE3" -> DBase3; Unknown if not a key
// Short command-line names: access, dbase, excel, paradox, text, odbc (also btrieve, foxpro).
SourceKind kindFromName(const QString& name);
// A guess from the file name's extension (.mdb/.accdb, .dbf, .xls/.xlsx, .db, .txt/.csv/.tab).
SourceKind kindFromPath(const QString& path);

enum class FieldType { Text, Memo, Integer, Double, Currency, Boolean, Date, DateTime, Binary, Other };

struct SourceField {
    QString name;
    FieldType type = FieldType::Text;
    int size = 0; // characters for text fields, 0 when the source gives none
};

// What rows look like: one QVariant per field in field order. Text fields give QString,
// numbers qlonglong or double, logicals bool, dates QDate/QDateTime; an empty value is a
// null QVariant.
using SourceRow = QList<QVariant>;

// The same row as UTF-8 text: one view per field holding the bytes of valueText(), empty for
// an empty value. The views stay valid until the cursor moves on.
using Utf8Row = std::vector<QByteArrayView>;

// The text a value shows in a sample or is stored as in a list column.
QString valueText(const QVariant& value);

class RowCursor {
public:
    virtual ~RowCursor() = default;
    // The next row into row; false at the end or on a read error (then errorText() says
    // what went wrong). A row never has more entries than fields(): short rows are padded
    // with nulls, extra values of a ragged text row are dropped.
    virtual bool next(SourceRow& row) = 0;
    virtual QList<SourceField> fields() const = 0;
    virtual QString errorText() const = 0;
    // Rows read so far.
    virtual qint64 position() const = 0;

    // Cursors over plain text can also hand out rows as UTF-8 text, which spares a QString and
    // a QVariant per value on the way into a list. nextUtf8() takes the next row as next()
    // does; it is only called when offersUtf8() says so.
    virtual bool offersUtf8() const { return false; }
    virtual bool nextUtf8(Utf8Row& row) {
        Q_UNUSED(row);
        return false;
    }
};

struct SourceOptions {
    // Text sources: whether the first line names the fields; otherwise they are named
    // "F1", "F2", ...
    bool firstRowHasNames = true;
    // Text sources: ',', '\t' or ';'; a null character picks the one the first line uses most.
    QChar delimiter;
    // Access: the database password, when it has one.
    QString password;
};

class SourceReader {
public:
    virtual ~SourceReader() = default;

    // Opens the source: a file (or, for folder databases, a file or its folder). False with
    // errorText() on failure.
    virtual bool open(const QString& source, const SourceOptions& options = {}) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;

    // The tables in the order the source keeps them (Excel sheets end with "$").
    virtual QStringList tables() = 0;
    // The table the chosen file names, for folder databases and single-table files; empty
    // when the user has to pick one.
    virtual QString chosenTable() const = 0;
    // The fields of a table; empty with errorText() when it cannot be read.
    virtual QList<SourceField> fields(const QString& table) = 0;
    // A cursor over a table's rows; null with errorText() when it cannot be opened. The
    // cursor may not outlive the reader.
    virtual std::unique_ptr<RowCursor> rows(const QString& table) = 0;

    virtual QString errorText() const = 0;
    virtual SourceKind kind() const = 0;
};

// A reader for a kind. Btrieve, ODBC and unknown kinds give a reader whose open() fails
// with "Not Supported".
std::unique_ptr<SourceReader> createReader(SourceKind kind);

} // namespace sendora::sourcereaders
