// Access databases (Jet 3, Jet 4 and .accdb) through libmdb. libmdb hands every value over as
// UTF-8 text in a bound buffer; the column type turns it back into a number, date or flag.
// Each cursor opens the file again: libmdb keeps its page buffer in the handle, so two
// cursors on one handle would disturb each other.

#include "Readers.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cmath>
#include <mdbtools.h>

namespace sendora::sourcereaders {

namespace {

constexpr size_t kBindSize = 64 * 1024; // memo text beyond this is cut

struct MdbFile {
    MdbHandle* h = nullptr;
    explicit MdbFile(const QString& path) {
        if (QFileInfo(path).isFile()) h = mdb_open(QFile::encodeName(path).constData(), MDB_NOFLAGS);
        if (h) {
            mdb_set_bind_size(h, kBindSize);
            mdb_set_date_fmt(h, "%Y-%m-%d %H:%M:%S");
            mdb_set_shortdate_fmt(h, "%Y-%m-%d %H:%M:%S");
            mdb_set_boolean_fmt_numbers(h);
        }
    }
    ~MdbFile() {
        if (h) mdb_close(h);
    }
    MdbFile(const MdbFile&) = delete;
    MdbFile& operator=(const MdbFile&) = delete;
};

FieldType typeOf(int mdbType) {
    switch (mdbType) {
    case MDB_BOOL:
        return FieldType::Boolean;
    case MDB_BYTE:
    case MDB_INT:
    case MDB_LONGINT:
        return FieldType::Integer;
    case MDB_MONEY:
        return FieldType::Currency;
    case MDB_FLOAT:
    case MDB_DOUBLE:
    case MDB_NUMERIC:
        return FieldType::Double;
    case MDB_DATETIME:
        return FieldType::DateTime;
    case MDB_TEXT:
        return FieldType::Text;
    case MDB_MEMO:
        return FieldType::Memo;
    case MDB_BINARY:
    case MDB_OLE:
        return FieldType::Binary;
    default:
        return FieldType::Other;
    }
}

// The user tables of a database, in catalogue order.
QList<MdbCatalogEntry*> userTables(MdbHandle* h) {
    QList<MdbCatalogEntry*> out;
    if (!mdb_read_catalog(h, MDB_TABLE)) return out;
    for (unsigned i = 0; i < h->num_catalog; ++i) {
        auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(h->catalog, i));
        if (entry->object_type == MDB_TABLE && !mdb_is_system_table(entry)) out.append(entry);
    }
    return out;
}

struct TableDef {
    MdbTableDef* t = nullptr;
    ~TableDef() {
        if (t) mdb_free_tabledef(t);
    }
};

class AccessCursor final : public RowCursor {
public:
    AccessCursor(std::unique_ptr<MdbFile> file, MdbTableDef* table) : file_(std::move(file)) {
        table_.t = table;
        const int n = int(table->num_cols);
        buffers_.resize(n);
        lengths_.resize(n);
        types_.resize(n);
        mdb_rewind_table(table);
        for (int i = 0; i < n; ++i) {
            auto* col = static_cast<MdbColumn*>(g_ptr_array_index(table->columns, i));
            types_[i] = col->col_type;
            SourceField f;
            f.name = QString::fromUtf8(col->name);
            f.type = typeOf(col->col_type);
            f.size = col->col_type == MDB_TEXT
                         ? col->col_size / (file_->h->f->jet_version == MDB_VER_JET3 ? 1 : 2)
                         : 0;
            fields_.append(f);
            buffers_[i] = QByteArray(qsizetype(kBindSize) + 1, '\0');
            mdb_bind_column(table, i + 1, buffers_[i].data(), &lengths_[i]);
        }
    }

    bool next(SourceRow& row) override {
        if (!mdb_fetch_row(table_.t)) return false;
        row.resize(fields_.size());
        for (int i = 0; i < fields_.size(); ++i) {
            const int len = std::clamp(lengths_[i], 0, int(kBindSize));
            if (len == 0)
                row[i] = QVariant();
            else if (types_[i] == MDB_DATETIME)
                row[i] = dateValue(i);
            else
                row[i] = value(types_[i], QByteArray(buffers_[i].constData(), len));
        }
        ++read_;
        return true;
    }
    QList<SourceField> fields() const override { return fields_; }
    QString errorText() const override { return {}; }
    qint64 position() const override { return read_; }

private:
    // libmdb's text for a date goes through struct tm and loses years before 1900 and after
    // 9999's edge; the stored value is days since 30 December 1899, the fraction the time.
    QVariant dateValue(int column) const {
        auto* col = static_cast<MdbColumn*>(g_ptr_array_index(table_.t->columns, column));
        const double stored = mdb_pg_get_double(file_->h, col->cur_value_start);
        if (!std::isfinite(stored) || std::fabs(stored) > 3.0e6) return {};
        const double days = std::trunc(stored);
        const auto ms = qint64(std::llround(std::fabs(stored - days) * 86400000.0));
        const QDate date = QDate(1899, 12, 30).addDays(qint64(days));
        return QDateTime(date, QTime(0, 0)).addMSecs(ms);
    }

    static QVariant value(int type, const QByteArray& text) {
        bool ok = false;
        switch (type) {
        case MDB_BOOL:
            return text.trimmed() != "0";
        case MDB_BYTE:
        case MDB_INT:
        case MDB_LONGINT: {
            const qlonglong v = text.trimmed().toLongLong(&ok);
            return ok ? QVariant(v) : QVariant(QString::fromUtf8(text));
        }
        case MDB_MONEY:
        case MDB_FLOAT:
        case MDB_DOUBLE:
        case MDB_NUMERIC: {
            const double v = text.trimmed().toDouble(&ok);
            return ok ? QVariant(v) : QVariant(QString::fromUtf8(text));
        }
        case MDB_DATETIME: {
            const QDateTime dt = QDateTime::fromString(QString::fromLatin1(text.trimmed()),
                                                       QStringLiteral("yyyy-MM-dd HH:mm:ss"));
            return dt.isValid() ? QVariant(dt) : QVariant(QString::fromUtf8(text));
        }
        case MDB_BINARY:
        case MDB_OLE:
            return {};
        default:
            return QString::fromUtf8(text);
        }
    }

    std::unique_ptr<MdbFile> file_;
    TableDef table_;
    QList<QByteArray> buffers_;
    QList<int> lengths_;
    QList<int> types_;
    QList<SourceField> fields_;
    qint64 read_ = 0;
};

class AccessReader final : public SourceReader {
public:
    bool open(const QString& source, const SourceOptions&) override {
        close();
        auto file = std::make_unique<MdbFile>(source);
        if (!file->h) {
            error_ = QFileInfo(source).isFile()
                         ? QStringLiteral("%1 is not an Access database or cannot be read.")
                               .arg(QDir::toNativeSeparators(source))
                         : QStringLiteral("%1 does not exist.").arg(QDir::toNativeSeparators(source));
            return false;
        }
        path_ = QFileInfo(source).absoluteFilePath();
        file_ = std::move(file);
        error_.clear();
        return true;
    }
    void close() override {
        file_.reset();
        path_.clear();
    }
    bool isOpen() const override { return file_ != nullptr; }

    QStringList tables() override {
        QStringList out;
        if (file_) {
            for (MdbCatalogEntry* e : userTables(file_->h))
                out.append(QString::fromUtf8(e->object_name));
        }
        return out;
    }
    QString chosenTable() const override { return {}; }

    QList<SourceField> fields(const QString& table) override {
        auto cursor = rows(table);
        return cursor ? cursor->fields() : QList<SourceField>();
    }

    std::unique_ptr<RowCursor> rows(const QString& table) override {
        if (!file_) {
            error_ = QStringLiteral("No source is open.");
            return nullptr;
        }
        auto file = std::make_unique<MdbFile>(path_);
        if (!file->h) {
            error_ = QStringLiteral("%1 cannot be read.").arg(QDir::toNativeSeparators(path_));
            return nullptr;
        }
        for (MdbCatalogEntry* e : userTables(file->h)) {
            if (QString::fromUtf8(e->object_name) != table) continue;
            MdbTableDef* def = mdb_read_table(e);
            if (!def || !mdb_read_columns(def)) {
                if (def) mdb_free_tabledef(def);
                error_ = QStringLiteral("The table %1 cannot be read.").arg(table);
                return nullptr;
            }
            return std::make_unique<AccessCursor>(std::move(file), def);
        }
        error_ = QStringLiteral("The table %1 does not exist.").arg(table);
        return nullptr;
    }

    QString errorText() const override { return error_; }
    SourceKind kind() const override { return SourceKind::Access; }

private:
    std::unique_ptr<MdbFile> file_;
    QString path_;
    QString error_;
};

} // namespace

std::unique_ptr<SourceReader> makeAccessReader() {
    return std::make_unique<AccessReader>();
}

} // namespace sendora::sourcereaders
