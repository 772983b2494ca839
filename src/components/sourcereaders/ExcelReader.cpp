// Excel 97-2003 workbooks (.xls) through freexl. Each sheet is a table named with a trailing
// "$"; its first row names the fields and the rows below it are the data. Each cursor opens
// the workbook again because freexl keeps the active sheet in the handle.

#include "Readers.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <freexl.h>

namespace sendora::sourcereaders {

namespace {

struct Workbook {
    const void* h = nullptr;
    bool ok = false;
    explicit Workbook(const QString& path) {
        ok = freexl_open(QFile::encodeName(path).constData(), &h) == FREEXL_OK;
    }
    ~Workbook() {
        if (h) freexl_close(h);
    }
    Workbook(const Workbook&) = delete;
    Workbook& operator=(const Workbook&) = delete;

    QStringList sheets() const {
        QStringList out;
        unsigned count = 0;
        if (!ok || freexl_get_info(h, FREEXL_BIFF_SHEET_COUNT, &count) != FREEXL_OK) return out;
        for (unsigned i = 0; i < count; ++i) {
            const char* name = nullptr;
            if (freexl_get_worksheet_name(h, static_cast<unsigned short>(i), &name) == FREEXL_OK && name)
                out.append(QString::fromUtf8(name) + u'$');
        }
        return out;
    }
};

QVariant cellValue(const void* h, unsigned row, unsigned short col) {
    FreeXL_CellValue cell;
    if (freexl_get_cell_value(h, row, col, &cell) != FREEXL_OK) return {};
    switch (cell.type) {
    case FREEXL_CELL_INT:
        return qlonglong(cell.value.int_value);
    case FREEXL_CELL_DOUBLE:
        return cell.value.double_value;
    case FREEXL_CELL_TEXT:
    case FREEXL_CELL_SST_TEXT: {
        const QString text = QString::fromUtf8(cell.value.text_value);
        return text.isEmpty() ? QVariant() : QVariant(text);
    }
    case FREEXL_CELL_DATE:
        return QDate::fromString(QString::fromLatin1(cell.value.text_value), QStringLiteral("yyyy-MM-dd"));
    case FREEXL_CELL_DATETIME:
        return QDateTime::fromString(QString::fromLatin1(cell.value.text_value),
                                     QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    case FREEXL_CELL_TIME:
        return QString::fromLatin1(cell.value.text_value);
    default:
        return {};
    }
}

FieldType typeOf(const QVariant& v) {
    switch (v.typeId()) {
    case QMetaType::LongLong:
        return FieldType::Integer;
    case QMetaType::Double:
        return FieldType::Double;
    case QMetaType::QDate:
        return FieldType::Date;
    case QMetaType::QDateTime:
        return FieldType::DateTime;
    default:
        return FieldType::Text;
    }
}

class ExcelCursor final : public RowCursor {
public:
    ExcelCursor(std::unique_ptr<Workbook> book, unsigned rows, unsigned short cols)
        : book_(std::move(book)), rows_(rows) {
        for (unsigned short c = 0; c < cols; ++c) {
            SourceField f;
            f.name = valueText(cellValue(book_->h, 0, c)).trimmed();
            if (f.name.isEmpty()) f.name = QStringLiteral("F%1").arg(c + 1);
            f.type = rows_ > 1 ? typeOf(cellValue(book_->h, 1, c)) : FieldType::Text;
            fields_.append(f);
        }
    }

    bool next(SourceRow& row) override {
        if (row_ >= rows_) return false;
        row.resize(fields_.size());
        for (int c = 0; c < fields_.size(); ++c)
            row[c] = cellValue(book_->h, row_, static_cast<unsigned short>(c));
        ++row_;
        return true;
    }
    QList<SourceField> fields() const override { return fields_; }
    QString errorText() const override { return {}; }
    qint64 position() const override { return row_ - 1; }

private:
    std::unique_ptr<Workbook> book_;
    unsigned rows_;
    unsigned row_ = 1; // the first row names the fields
    QList<SourceField> fields_;
};

class ExcelReader final : public SourceReader {
public:
    bool open(const QString& source, const SourceOptions&) override {
        close();
        const QString shown = QDir::toNativeSeparators(source);
        if (!QFileInfo(source).isFile()) {
            error_ = QStringLiteral("%1 does not exist.").arg(shown);
            return false;
        }
        if (QFileInfo(source).suffix().compare(u"xlsx", Qt::CaseInsensitive) == 0) {
            error_ =
                QStringLiteral("%1 is an Excel 2007 or later workbook, which cannot be imported. Save it "
                               "in Excel 97-2003 format (.xls) or as a CSV text file and import that.")
                    .arg(shown);
            return false;
        }
        Workbook book(source);
        if (!book.ok) {
            error_ = QStringLiteral("%1 is not an Excel 97-2003 workbook or cannot be read.").arg(shown);
            return false;
        }
        path_ = QFileInfo(source).absoluteFilePath();
        error_.clear();
        return true;
    }
    void close() override { path_.clear(); }
    bool isOpen() const override { return !path_.isEmpty(); }

    QStringList tables() override { return path_.isEmpty() ? QStringList() : Workbook(path_).sheets(); }
    QString chosenTable() const override { return {}; }

    QList<SourceField> fields(const QString& table) override {
        auto cursor = rows(table);
        return cursor ? cursor->fields() : QList<SourceField>();
    }

    std::unique_ptr<RowCursor> rows(const QString& table) override {
        if (path_.isEmpty()) {
            error_ = QStringLiteral("No source is open.");
            return nullptr;
        }
        auto book = std::make_unique<Workbook>(path_);
        const qsizetype index = book->sheets().indexOf(table);
        unsigned rowCount = 0;
        unsigned short colCount = 0;
        if (index < 0 ||
            freexl_select_active_worksheet(book->h, static_cast<unsigned short>(index)) != FREEXL_OK ||
            freexl_worksheet_dimensions(book->h, &rowCount, &colCount) != FREEXL_OK) {
            error_ = QStringLiteral("The sheet %1 does not exist or cannot be read.").arg(table);
            return nullptr;
        }
        if (rowCount == 0 || colCount == 0) {
            error_ = QStringLiteral("The sheet %1 is empty.").arg(table);
            return nullptr;
        }
        return std::make_unique<ExcelCursor>(std::move(book), rowCount, colCount);
    }

    QString errorText() const override { return error_; }
    SourceKind kind() const override { return SourceKind::Excel5; }

private:
    QString path_;
    QString error_;
};

} // namespace

std::unique_ptr<SourceReader> makeExcelReader() {
    return std::make_unique<ExcelReader>();
}

} // namespace sendora::sourcereaders
