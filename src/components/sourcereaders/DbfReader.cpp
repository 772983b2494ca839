// dBASE III/IV/5 and FoxPro tables through shapelib. shapelib finds the records; the fields
// are decoded here from the raw record so that FoxPro's binary types and memo fields work
// too. A folder is the database and each .dbf in it a table, named without its extension.

#include "CodePage.h"
#include "Readers.h"

#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>
#include <shapefil.h>

namespace sendora::sourcereaders {

namespace {

constexpr qint64 kMaxMemo = 1 << 20; // a longer memo is cut: hostile files stay bounded

struct DbfHandle {
    DBFHandle h = nullptr;
    DbfHandle() = default;
    explicit DbfHandle(const QString& path) : h(DBFOpen(QFile::encodeName(path).constData(), "rb")) {}
    ~DbfHandle() {
        if (h) DBFClose(h);
    }
    DbfHandle(const DbfHandle&) = delete;
    DbfHandle& operator=(const DbfHandle&) = delete;
};

// The .dbt (dBASE) or .fpt (FoxPro) file next to a table.
class MemoFile {
public:
    bool open(const QString& path) {
        file_.setFileName(path);
        if (!file_.open(QIODevice::ReadOnly)) return false;
        const QByteArray head = file_.read(32);
        if (head.size() < 8) return false;
        fox_ = path.endsWith(QLatin1String(".fpt"), Qt::CaseInsensitive);
        if (fox_) {
            blockSize_ = qFromBigEndian<quint16>(head.constData() + 6);
        } else if (head.size() >= 22) {
            blockSize_ = qFromLittleEndian<quint16>(head.constData() + 20);
        }
        if (blockSize_ == 0 || (!fox_ && head.size() < 22)) blockSize_ = 512;
        return true;
    }

    QByteArray read(quint32 block) {
        if (block == 0 || !file_.seek(qint64(block) * blockSize_)) return {};
        if (fox_) {
            const QByteArray head = file_.read(8);
            if (head.size() < 8) return {};
            const qint64 len = std::min<qint64>(qFromBigEndian<quint32>(head.constData() + 4), kMaxMemo);
            return file_.read(len);
        }
        const QByteArray head = file_.read(8);
        if (head.size() == 8 && quint8(head[0]) == 0xFF && quint8(head[1]) == 0xFF && head[2] == 8 &&
            head[3] == 0) {
            // dBASE IV: the length counts the eight header bytes.
            const qint64 len = qFromLittleEndian<quint32>(head.constData() + 4);
            return file_.read(std::clamp<qint64>(len - 8, 0, kMaxMemo));
        }
        // dBASE III: text up to the first end-of-file mark.
        QByteArray out = head;
        for (;;) {
            const int end = out.indexOf('\x1A');
            if (end >= 0) {
                out.truncate(end);
                break;
            }
            if (out.size() >= kMaxMemo || file_.atEnd()) break;
            out += file_.read(512);
        }
        return out;
    }

private:
    QFile file_;
    bool fox_ = false;
    quint32 blockSize_ = 512;
};

struct DbfField {
    SourceField field;
    char native = 'C';
    int offset = 0;
    int width = 0;
    int decimals = 0;
};

struct DbfTable {
    QList<DbfField> fields;
    int version = 0;
    QString error;
};

QString fileError(const QString& path) {
    return QStringLiteral("%1 is not a dBASE or FoxPro table, or it cannot be read.")
        .arg(QDir::toNativeSeparators(path));
}

DbfTable describe(DBFHandle h, const QString& path) {
    DbfTable t;
    QFile f(path);
    if (f.open(QIODevice::ReadOnly)) t.version = quint8(f.read(1).append(char(0)).at(0));
    const TextDecoder names(1252);
    const bool visualFox = t.version == 0x30 || t.version == 0x31 || t.version == 0x32;
    const int n = DBFGetFieldCount(h);
    for (int i = 0; i < n; ++i) {
        char name[XBASE_FLDNAME_LEN_READ + 1] = {};
        DbfField d;
        DBFGetFieldInfo(h, i, name, &d.width, &d.decimals);
        d.native = DBFGetNativeFieldType(h, i);
        d.offset = h->panFieldOffset[i];
        d.field.name = names.decode(name, qstrnlen(name, sizeof name)).trimmed();
        d.field.size = 0;
        switch (d.native) {
        case 'C':
            d.field.type = FieldType::Text;
            d.field.size = d.width;
            break;
        case 'N':
        case 'F':
            d.field.type = d.decimals > 0 || d.width > 18 ? FieldType::Double : FieldType::Integer;
            break;
        case 'I':
        case '+':
            d.field.type = FieldType::Integer;
            break;
        case 'Y':
            d.field.type = FieldType::Currency;
            break;
        case 'D':
            d.field.type = FieldType::Date;
            break;
        case 'T':
        case '@':
            d.field.type = FieldType::DateTime;
            break;
        case 'L':
            d.field.type = FieldType::Boolean;
            break;
        case 'M':
            d.field.type = FieldType::Memo;
            break;
        case 'B':
            d.field.type = visualFox && d.width == 8 ? FieldType::Double : FieldType::Binary;
            break;
        case 'O':
            d.field.type = FieldType::Double;
            break;
        case 'G':
        case 'P':
            d.field.type = FieldType::Binary;
            break;
        default:
            d.field.type = FieldType::Text;
            d.field.size = d.width;
        }
        // A damaged header may place a field past the record: it is left out, not read.
        if (d.offset < 1 || d.width < 0 || d.offset + d.width > h->nRecordLength) continue;
        t.fields.append(d);
    }
    return t;
}

QString memoPath(const QString& tablePath) {
    const QFileInfo info(tablePath);
    const QDir dir = info.dir();
    for (const QString& ext : {QStringLiteral("fpt"), QStringLiteral("dbt")}) {
        const QStringList hits =
            dir.entryList({info.completeBaseName() + u'.' + ext}, QDir::Files | QDir::CaseSensitive);
        if (!hits.isEmpty()) return dir.filePath(hits.first());
        for (const QString& entry : dir.entryList(QDir::Files)) {
            if (entry.compare(info.completeBaseName() + u'.' + ext, Qt::CaseInsensitive) == 0)
                return dir.filePath(entry);
        }
    }
    return {};
}

class DbfCursor final : public RowCursor {
public:
    DbfCursor(std::unique_ptr<DbfHandle> h, DbfTable table, std::unique_ptr<MemoFile> memo)
        : h_(std::move(h)), table_(std::move(table)), memo_(std::move(memo)),
          decoder_(codePageFromLanguageDriver(h_->h->iLanguageDriver)), count_(DBFGetRecordCount(h_->h)) {
        for (const DbfField& d : table_.fields)
            fields_.append(d.field);
    }

    bool next(SourceRow& row) override {
        for (;;) {
            if (record_ >= count_) return false;
            const char* raw = DBFReadTuple(h_->h, record_++);
            if (!raw) {
                error_ = QStringLiteral("Record %1 of the table cannot be read.").arg(record_);
                return false;
            }
            if (raw[0] == '*') continue; // deleted
            row.resize(table_.fields.size());
            for (int i = 0; i < table_.fields.size(); ++i)
                row[i] = value(table_.fields[i], raw + table_.fields[i].offset);
            ++read_;
            return true;
        }
    }
    QList<SourceField> fields() const override { return fields_; }
    QString errorText() const override { return error_; }
    qint64 position() const override { return read_; }

private:
    QVariant value(const DbfField& d, const char* p) {
        const QByteArray raw = QByteArray::fromRawData(p, d.width);
        switch (d.native) {
        case 'I':
        case '+':
            return d.width == 4 ? QVariant(qlonglong(qFromLittleEndian<qint32>(p))) : QVariant();
        case 'Y':
            return d.width == 8 ? QVariant(double(qFromLittleEndian<qint64>(p)) / 10000.0) : QVariant();
        case 'T':
        case '@': {
            if (d.width != 8) return {};
            const qint32 day = qFromLittleEndian<qint32>(p);
            const qint32 ms = qFromLittleEndian<qint32>(p + 4);
            if (day <= 0) return {};
            return QDateTime(QDate::fromJulianDay(day), QTime(0, 0).addMSecs(ms));
        }
        case 'O':
            return d.width == 8 ? QVariant(qFromLittleEndian<double>(p)) : QVariant();
        case 'B':
            if (d.field.type == FieldType::Double) return qFromLittleEndian<double>(p);
            return {};
        case 'G':
        case 'P':
            return {};
        default:
            break;
        }
        const QByteArray text = raw.trimmed();
        switch (d.native) {
        case 'N':
        case 'F': {
            if (text.isEmpty() || text.startsWith('*')) return {};
            bool ok = false;
            if (d.field.type == FieldType::Integer) {
                const qlonglong v = text.toLongLong(&ok);
                if (ok) return v;
            }
            const double v = text.toDouble(&ok);
            return ok ? QVariant(v) : QVariant();
        }
        case 'D': {
            const QDate date = QDate::fromString(QString::fromLatin1(text), QStringLiteral("yyyyMMdd"));
            return date.isValid() ? QVariant(date) : QVariant();
        }
        case 'L':
            if (text.isEmpty()) return {};
            switch (text[0]) {
            case 'T':
            case 't':
            case 'Y':
            case 'y':
                return true;
            case 'F':
            case 'f':
            case 'N':
            case 'n':
                return false;
            default:
                return {};
            }
        case 'M': {
            quint32 block = 0;
            if (d.width == 4)
                block = qFromLittleEndian<quint32>(p);
            else
                block = text.toUInt();
            if (!memo_ || block == 0) return {};
            QByteArray bytes = memo_->read(block);
            while (bytes.endsWith('\0'))
                bytes.chop(1);
            return bytes.isEmpty() ? QVariant() : QVariant(decoder_.decode(bytes));
        }
        default: {
            qsizetype len = raw.size();
            while (len > 0 && (raw[len - 1] == ' ' || raw[len - 1] == '\0'))
                --len;
            return len == 0 ? QVariant() : QVariant(decoder_.decode(raw.constData(), len));
        }
        }
    }

    std::unique_ptr<DbfHandle> h_;
    DbfTable table_;
    std::unique_ptr<MemoFile> memo_;
    TextDecoder decoder_;
    QList<SourceField> fields_;
    int count_ = 0;
    int record_ = 0;
    qint64 read_ = 0;
    QString error_;
};

class DbfReader final : public FolderReader {
public:
    explicit DbfReader(SourceKind kind) : kind_(kind) {}

    QStringList tables() override {
        QStringList out;
        if (!isOpen()) return out;
        const QStringList files = QDir(folder_).entryList({QStringLiteral("*.dbf"), QStringLiteral("*.DBF")},
                                                          QDir::Files, QDir::Name | QDir::IgnoreCase);
        for (const QString& f : files) {
            const QString name = QFileInfo(f).completeBaseName();
            if (!out.contains(name)) out.append(name);
        }
        return out;
    }
    QList<SourceField> fields(const QString& table) override {
        QList<SourceField> out;
        DbfHandle h;
        const QString path = openTable(table, h);
        if (path.isEmpty()) return out;
        for (const DbfField& d : describe(h.h, path).fields)
            out.append(d.field);
        if (out.isEmpty()) error_ = QStringLiteral("The table %1 has no fields.").arg(table);
        return out;
    }

    std::unique_ptr<RowCursor> rows(const QString& table) override {
        auto h = std::make_unique<DbfHandle>();
        const QString path = openTable(table, *h);
        if (path.isEmpty()) return nullptr;
        DbfTable t = describe(h->h, path);
        std::unique_ptr<MemoFile> memo;
        QStringList memoFields;
        for (const DbfField& d : t.fields) {
            if (d.native == 'M') memoFields.append(d.field.name);
        }
        if (!memoFields.isEmpty()) {
            const QString mp = memoPath(path);
            memo = std::make_unique<MemoFile>();
            if (mp.isEmpty() || !memo->open(mp)) {
                error_ = QStringLiteral("The memo file of table %1 is missing or cannot be read, so its memo "
                                        "fields (%2) cannot be imported.")
                             .arg(table, memoFields.join(QStringLiteral(", ")));
                return nullptr;
            }
        }
        return std::make_unique<DbfCursor>(std::move(h), std::move(t), std::move(memo));
    }

    SourceKind kind() const override { return kind_; }

private:
    bool canRead(const QString& source, const QFileInfo& file) override {
        DbfHandle h(file.absoluteFilePath());
        if (!h.h) error_ = fileError(source);
        return h.h != nullptr;
    }
    QString tableName(const QFileInfo& file) const override { return file.completeBaseName(); }

    QString openTable(const QString& table, DbfHandle& h) {
        if (!checkOpen()) return {};
        QString path;
        for (const QString& f : QDir(folder_).entryList(QDir::Files)) {
            const QFileInfo fi(f);
            if (fi.suffix().compare(u"dbf", Qt::CaseInsensitive) == 0 &&
                (fi.completeBaseName() == table || f == table)) {
                path = QDir(folder_).filePath(f);
                break;
            }
        }
        if (path.isEmpty()) {
            error_ = QStringLiteral("The table %1 does not exist.").arg(table);
            return {};
        }
        h.h = DBFOpen(QFile::encodeName(path).constData(), "rb");
        if (!h.h) {
            error_ = fileError(path);
            return {};
        }
        return path;
    }

    SourceKind kind_;
};

} // namespace

std::unique_ptr<SourceReader> makeDbfReader(SourceKind kind) {
    return std::make_unique<DbfReader>(kind);
}

} // namespace sendora::sourcereaders
