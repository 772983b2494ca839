// Paradox tables (.db) through pxlib. A file is one table, named without its extension.
// Text is decoded here from the table's DOS code page, so pxlib's own recoding is not needed.
// Memo text lives in the record when short and otherwise in the .mb file next to the table;
// without that file such memos are imported as empty. Binary fields are imported as empty.

#include "CodePage.h"
#include "ParadoxMemo.h"
#include "Readers.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
extern "C" { // the header declares no C linkage itself
#include <paradox.h>
}
#include <algorithm>

namespace sendora::sourcereaders {

namespace {

constexpr qint64 kJulianDayOfYearOne = 1721425; // Paradox dates count days from 1 Jan 0001

struct PxFile {
    pxdoc_t* px = nullptr;
    bool ok = false;
    explicit PxFile(const QString& path) {
        px = PX_new2(&ignoreError, nullptr, nullptr, nullptr);
        if (px && QFileInfo(path).isFile()) ok = PX_open_file(px, QFile::encodeName(path).constData()) == 0;
    }
    ~PxFile() {
        if (px) {
            if (ok) PX_close(px);
            PX_delete(px);
        }
    }
    PxFile(const PxFile&) = delete;
    PxFile& operator=(const PxFile&) = delete;
    // pxlib reports errors through this hook; the return values already say enough.
    static void ignoreError(pxdoc_t*, int, const char*, void*) {}
};

// The .mb file next to a table, found in any letter case (the exact name first).
class BlobFile {
public:
    explicit BlobFile(const QString& tablePath) {
        const QFileInfo info(tablePath);
        const QString name = info.completeBaseName() + QStringLiteral(".mb");
        QString found;
        for (const QString& entry : info.dir().entryList(QDir::Files)) {
            if (entry.compare(name, Qt::CaseInsensitive) == 0 && (found.isEmpty() || entry == name))
                found = entry;
        }
        if (found.isEmpty()) return;
        file_.setFileName(info.dir().filePath(found));
        (void)file_.open(QIODevice::ReadOnly); // unreadable: memos outside the record stay empty
    }
    QByteArray read(const char* data, int len) {
        return ParadoxMemo(file_.isOpen() ? &file_ : nullptr).read(data, len);
    }

private:
    QFile file_;
};

FieldType typeOf(char t) {
    switch (t) {
    case pxfShort:
    case pxfLong:
    case pxfAutoInc:
        return FieldType::Integer;
    case pxfCurrency:
        return FieldType::Currency;
    case pxfNumber:
    case pxfBCD:
        return FieldType::Double;
    case pxfDate:
        return FieldType::Date;
    case pxfTimestamp:
        return FieldType::DateTime;
    case pxfLogical:
        return FieldType::Boolean;
    case pxfMemoBLOb:
    case pxfFmtMemoBLOb:
        return FieldType::Memo;
    case pxfBLOb:
    case pxfOLE:
    case pxfGraphic:
    case pxfBytes:
        return FieldType::Binary;
    case pxfTime:
        return FieldType::Other;
    default:
        return FieldType::Text;
    }
}

class ParadoxCursor final : public RowCursor {
public:
    ParadoxCursor(std::unique_ptr<PxFile> file, const QString& path)
        : file_(std::move(file)), blobs_(path), decoder_(file_->px->px_head->px_doscodepage),
          count_(PX_get_num_records(file_->px)), record_(PX_get_recordsize(file_->px), '\0') {
        const int n = PX_get_num_fields(file_->px);
        pxfield_t* f = PX_get_fields(file_->px);
        for (int i = 0; i < n; ++i) {
            SourceField field;
            field.name = decoder_.decode(f[i].px_fname, qstrlen(f[i].px_fname));
            field.type = typeOf(f[i].px_ftype);
            field.size = field.type == FieldType::Text ? f[i].px_flen : 0;
            fields_.append(field);
            types_.append(f[i].px_ftype);
            lengths_.append(f[i].px_flen);
        }
    }

    bool next(SourceRow& row) override {
        if (index_ >= count_) return false;
        if (!PX_get_record(file_->px, index_, record_.data())) {
            error_ = QStringLiteral("Record %1 of the table cannot be read.").arg(index_ + 1);
            return false;
        }
        ++index_;
        row.resize(fields_.size());
        char* data = record_.data();
        for (int i = 0; i < fields_.size(); ++i) {
            row[i] = value(types_[i], data, lengths_[i]);
            data += lengths_[i];
        }
        return true;
    }
    QList<SourceField> fields() const override { return fields_; }
    QString errorText() const override { return error_; }
    qint64 position() const override { return index_; }

private:
    QVariant value(char type, char* data, int len) {
        pxdoc_t* px = file_->px;
        long l = 0;
        short s = 0;
        double d = 0;
        char c = 0;
        // A field of zero bytes is empty whatever its type; some pxlib versions give the
        // flipped sign bit of it as a value instead.
        if (std::all_of(data, data + len, [](char b) { return b == 0; })) return {};
        switch (type) {
        case pxfAlpha: {
            char* text = nullptr;
            if (PX_get_data_alpha(px, data, len, &text) <= 0 || !text) return {};
            const QString out = decoder_.decode(text, qstrnlen(text, len));
            px->free(px, text);
            return out.isEmpty() ? QVariant() : QVariant(out);
        }
        case pxfShort:
            return PX_get_data_short(px, data, len, &s) > 0 ? QVariant(qlonglong(s)) : QVariant();
        case pxfLong:
        case pxfAutoInc:
            return PX_get_data_long(px, data, len, &l) > 0 ? QVariant(qlonglong(l)) : QVariant();
        case pxfNumber:
        case pxfCurrency:
            return PX_get_data_double(px, data, len, &d) > 0 ? QVariant(d) : QVariant();
        case pxfLogical:
            return PX_get_data_byte(px, data, len, &c) > 0 ? QVariant(c != 0) : QVariant();
        case pxfDate:
            if (PX_get_data_long(px, data, len, &l) <= 0) return {};
            return QDate::fromJulianDay(l + kJulianDayOfYearOne);
        case pxfTime:
            if (PX_get_data_long(px, data, len, &l) <= 0) return {};
            return QTime(0, 0).addMSecs(int(l)).toString(QStringLiteral("HH:mm:ss"));
        case pxfTimestamp: {
            if (PX_get_data_double(px, data, len, &d) <= 0) return {};
            const double ms = d;
            const auto days = qint64(ms / 86400000.0);
            return QDateTime(QDate::fromJulianDay(days + kJulianDayOfYearOne), QTime(0, 0))
                .addMSecs(qint64(ms - double(days) * 86400000.0));
        }
        case pxfMemoBLOb:
        case pxfFmtMemoBLOb: {
            const QByteArray bytes = blobs_.read(data, len);
            const QString out = decoder_.decode(bytes.constData(), qstrnlen(bytes.constData(), bytes.size()));
            return out.isEmpty() ? QVariant() : QVariant(out);
        }
        default:
            return {};
        }
    }

    std::unique_ptr<PxFile> file_;
    BlobFile blobs_;
    TextDecoder decoder_;
    int count_;
    int index_ = 0;
    QByteArray record_;
    QList<SourceField> fields_;
    QList<char> types_;
    QList<int> lengths_;
    QString error_;
};

class ParadoxReader final : public SourceReader {
public:
    explicit ParadoxReader(SourceKind kind) : kind_(kind) {}

    bool open(const QString& source, const SourceOptions&) override {
        close();
        PxFile file(source);
        if (!file.ok) {
            error_ = QFileInfo(source).isFile()
                         ? QStringLiteral("%1 is not a Paradox table or cannot be read.")
                               .arg(QDir::toNativeSeparators(source))
                         : QStringLiteral("%1 does not exist.").arg(QDir::toNativeSeparators(source));
            return false;
        }
        path_ = QFileInfo(source).absoluteFilePath();
        error_.clear();
        return true;
    }
    void close() override { path_.clear(); }
    bool isOpen() const override { return !path_.isEmpty(); }
    QStringList tables() override { return path_.isEmpty() ? QStringList() : QStringList{chosenTable()}; }
    QString chosenTable() const override { return QFileInfo(path_).completeBaseName(); }

    QList<SourceField> fields(const QString& table) override {
        auto cursor = rows(table);
        return cursor ? cursor->fields() : QList<SourceField>();
    }

    std::unique_ptr<RowCursor> rows(const QString& table) override {
        if (path_.isEmpty() || table != chosenTable()) {
            error_ = QStringLiteral("The table %1 does not exist.").arg(table);
            return nullptr;
        }
        auto file = std::make_unique<PxFile>(path_);
        if (!file->ok) {
            error_ = QStringLiteral("%1 cannot be read.").arg(QDir::toNativeSeparators(path_));
            return nullptr;
        }
        return std::make_unique<ParadoxCursor>(std::move(file), path_);
    }

    QString errorText() const override { return error_; }
    SourceKind kind() const override { return kind_; }

private:
    SourceKind kind_;
    QString path_;
    QString error_;
};

} // namespace

std::unique_ptr<SourceReader> makeParadoxReader(SourceKind kind) {
    return std::make_unique<ParadoxReader>(kind);
}

} // namespace sendora::sourcereaders
