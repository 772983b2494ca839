#include "SourceReader.h"

#include "Readers.h"

#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>

namespace sendora::sourcereaders {

namespace {

struct KindRow {
    SourceKind kind;
    const char* key;
    const char* filter;
    const char* connect;
    bool folder;
};

const KindRow kKinds[kWizardKindCount] = {
    {SourceKind::Access, "DBACCESS", "Access MDBs (*.mdb)|*.mdb", "Access", false},
    {SourceKind::Act4, "DBACT4", "ACT!4-above Files (*.dbf)|*.dbf", "Dbase 5.0;", true},
    {SourceKind::Btrieve, "DBBTRIEVE", "Btrieve DBs (FILE.DDF)|FILE.DDF", "Btrieve;", false},
    {SourceKind::DBase3, "DBDBASE3", "Dbase-III (*.dbf)|*.dbf", "Dbase III;", true},
    {SourceKind::DBase4, "DBDBASE4", "Dbase-IV (*.dbf)|*.dbf", "Dbase IV;", true},
    {SourceKind::DBase5, "DBDBASE5", "Dbase-5.0 (*.dbf)|*.dbf", "Dbase 5.0;", true},
    {SourceKind::Excel5, "DBEXCEL5", "Excel Files (*.xls)|*.xls", "Excel 8.0;", false},
    {SourceKind::FoxPro20, "DBFOX2", "FoxPro-2.0 Files (*.dbf)|*.dbf", "FoxPro 2.0;", true},
    {SourceKind::FoxPro25, "DBFOX25", "FoxPro-2.5 Files (dbf)|*.dbf", "FoxPro 2.5;", true},
    {SourceKind::FoxPro26, "DBFOX26", "FoxPro-2.6 Files (*.dbf)|*.dbf", "FoxPro 2.6;", true},
    {SourceKind::FoxPro30, "DBFOX30", "FoxPro-3.0 Files (*.dbf)|*.dbf", "FoxPro 3.0;", true},
    {SourceKind::Goldmine, "DBGOLD", "Goldmine Files (*.dbf)|*.dbf", "Dbase 5.0;", true},
    {SourceKind::Paradox3, "DBPARADOX3", "Paradox-3 Files (*.db)|*.db", "Paradox 3.X;", false},
    {SourceKind::Paradox4, "DBPARADOX4", "Paradox-4 Files (*.db)|*.db", "Paradox 4.X;", false},
    {SourceKind::Paradox5, "DBPARADOX5", "Paradox-5 Files (*.db)|*.db", "Paradox 5.X;", false},
    {SourceKind::Text, "DBTEXTFILE", "Text Files (*.txt,*.csv)|*.txt;*.csv", "Text;", true},
};

// Btrieve, servers and kinds outside the list: open() always fails.
class UnsupportedReader final : public SourceReader {
public:
    explicit UnsupportedReader(SourceKind kind) : kind_(kind) {}
    bool open(const QString&, const SourceOptions&) override { return false; }
    void close() override {}
    bool isOpen() const override { return false; }
    QStringList tables() override { return {}; }
    QString chosenTable() const override { return {}; }
    QList<SourceField> fields(const QString&) override { return {}; }
    std::unique_ptr<RowCursor> rows(const QString&) override { return nullptr; }
    QString errorText() const override { return QStringLiteral("Not Supported"); }
    SourceKind kind() const override { return kind_; }

private:
    SourceKind kind_;
};

} // namespace

SourceKindInfo kindInfo(SourceKind kind) {
    for (const KindRow& row : kKinds) {
        if (row.kind == kind)
            return {row.kind, QString::fromLatin1(row.key), QString::fromLatin1(row.filter),
                    QString::fromLatin1(row.connect), row.folder};
    }
    SourceKindInfo info;
    info.kind = kind;
    info.key = QStringLiteral("UNKNOWN");
    return info;
}

SourceKind kindFromIndex(int index) {
    return index >= 0 && index < kWizardKindCount ? kKinds[index].kind : SourceKind::Unknown;
}

SourceKind kindFromKey(const QString& key) {
    for (const KindRow& row : kKinds) {
        if (key.compare(QLatin1String(row.key), Qt::CaseInsensitive) == 0) return row.kind;
    }
    return SourceKind::Unknown;
}

SourceKind kindFromName(const QString& name) {
    const QString n = name.trimmed().toLower();
    if (n == u"access") return SourceKind::Access;
    if (n == u"dbase") return SourceKind::DBase5;
    if (n == u"foxpro") return SourceKind::FoxPro30;
    if (n == u"excel") return SourceKind::Excel5;
    if (n == u"paradox") return SourceKind::Paradox5;
    if (n == u"text") return SourceKind::Text;
    if (n == u"odbc") return SourceKind::Odbc;
    if (n == u"btrieve") return SourceKind::Btrieve;
    return SourceKind::Unknown;
}

SourceKind kindFromPath(const QString& path) {
    const QString ext = QFileInfo(path).suffix().toLower();
    if (ext == u"mdb" || ext == u"accdb") return SourceKind::Access;
    if (ext == u"dbf") return SourceKind::DBase5;
    if (ext == u"xls" || ext == u"xlsx") return SourceKind::Excel5;
    if (ext == u"db") return SourceKind::Paradox5;
    if (ext == u"txt" || ext == u"csv" || ext == u"tab") return SourceKind::Text;
    if (ext == u"ddf") return SourceKind::Btrieve;
    return SourceKind::Unknown;
}

QString valueText(const QVariant& value) {
    if (value.isNull()) return {};
    switch (value.typeId()) {
    case QMetaType::QDate:
        return value.toDate().toString(QStringLiteral("M/d/yyyy"));
    case QMetaType::QDateTime: {
        const QDateTime dt = value.toDateTime();
        if (dt.time() == QTime(0, 0)) return dt.date().toString(QStringLiteral("M/d/yyyy"));
        return dt.toString(QStringLiteral("M/d/yyyy h:mm:ss AP"));
    }
    case QMetaType::Bool:
        return value.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    case QMetaType::Double:
        return QString::number(value.toDouble(), 'g', 15);
    default:
        return value.toString();
    }
}

std::unique_ptr<SourceReader> createReader(SourceKind kind) {
    switch (kind) {
    case SourceKind::Access:
        return makeAccessReader();
    case SourceKind::Act4:
    case SourceKind::DBase3:
    case SourceKind::DBase4:
    case SourceKind::DBase5:
    case SourceKind::FoxPro20:
    case SourceKind::FoxPro25:
    case SourceKind::FoxPro26:
    case SourceKind::FoxPro30:
    case SourceKind::Goldmine:
        return makeDbfReader(kind);
    case SourceKind::Excel5:
        return makeExcelReader();
    case SourceKind::Paradox3:
    case SourceKind::Paradox4:
    case SourceKind::Paradox5:
        return makeParadoxReader(kind);
    case SourceKind::Text:
        return makeTextReader();
    default:
        return std::make_unique<UnsupportedReader>(kind);
    }
}

bool FolderReader::open(const QString& source, const SourceOptions& options) {
    close();
    options_ = options;
    const QFileInfo info(source);
    if (info.isDir()) {
        folder_ = info.absoluteFilePath();
    } else if (info.isFile()) {
        if (!canRead(source, info)) return false;
        folder_ = info.absolutePath();
        chosen_ = tableName(info);
    } else {
        error_ = QStringLiteral("%1 does not exist.").arg(QDir::toNativeSeparators(source));
        return false;
    }
    open_ = true;
    error_.clear();
    return true;
}

void FolderReader::close() {
    open_ = false;
    folder_.clear();
    chosen_.clear();
}

bool FolderReader::checkOpen() {
    if (!open_) error_ = QStringLiteral("No source is open.");
    return open_;
}

std::unique_ptr<SourceReader> makeUnsupportedReader(SourceKind kind) {
    return std::make_unique<UnsupportedReader>(kind);
}

} // namespace sendora::sourcereaders
