// The file readers on files written here by the formats' own libraries (dBASE, Paradox,
// Excel) and on a public Access test database.

#include "components/sourcereaders/SourceReader.h"

#include <QDate>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
extern "C" { // the header declares no C linkage itself
#include <paradox.h>
}
#include <shapefil.h>

using namespace sendora::sourcereaders;

namespace {

QList<SourceRow> readAll(SourceReader& reader, const QString& table) {
    QList<SourceRow> out;
    auto cursor = reader.rows(table);
    if (!cursor) return out;
    SourceRow row;
    while (cursor->next(row))
        out.append(row);
    return out;
}

QStringList names(const QList<SourceField>& fields) {
    QStringList out;
    for (const SourceField& f : fields)
        out << f.name;
    return out;
}

// A dBASE table with a text, number, date, logical field and optionally a memo field.
void writeDbf(const QString& path, const char* codePage, bool withMemo) {
    DBFHandle h = DBFCreateEx(QFile::encodeName(path).constData(), codePage);
    QVERIFY(h);
    DBFAddField(h, "EMAIL", FTString, 40, 0);
    DBFAddField(h, "AMOUNT", FTDouble, 10, 2);
    DBFAddField(h, "VISITS", FTInteger, 6, 0);
    DBFAddNativeFieldType(h, "JOINED", 'D', 8, 0);
    DBFAddField(h, "ACTIVE", FTLogical, 1, 0);
    if (withMemo) DBFAddNativeFieldType(h, "NOTES", 'M', 10, 0);
    DBFWriteStringAttribute(h, 0, 0, "caf\xE9@example.com");
    DBFWriteDoubleAttribute(h, 0, 1, 12.5);
    DBFWriteIntegerAttribute(h, 0, 2, 7);
    DBFWriteAttributeDirectly(h, 0, 3, const_cast<char*>("20240229"));
    DBFWriteLogicalAttribute(h, 0, 4, 'T');
    DBFWriteStringAttribute(h, 1, 0, "gone@example.com");
    DBFMarkRecordDeleted(h, 1, 1);
    DBFWriteStringAttribute(h, 2, 0, "  ");
    DBFWriteNULLAttribute(h, 2, 1);
    DBFWriteIntegerAttribute(h, 2, 2, 0);
    DBFWriteStringAttribute(h, 2, 3, "");
    DBFWriteLogicalAttribute(h, 2, 4, 'F');
    if (withMemo) {
        DBFWriteStringAttribute(h, 0, 5, "1");
        DBFWriteStringAttribute(h, 2, 5, "");
    }
    DBFClose(h);
}

} // namespace

class TstSourceReaders : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void kindTable() {
        QCOMPARE(kindInfo(kindFromIndex(3)).key, QStringLiteral("DBDBASE3"));
        QCOMPARE(kindInfo(kindFromIndex(15)).filter, QStringLiteral("Text Files (*.txt,*.csv)|*.txt;*.csv"));
        QCOMPARE(kindInfo(kindFromIndex(16)).key, QStringLiteral("UNKNOWN"));
        QCOMPARE(kindFromKey(QStringLiteral("DBPARADOX4")), SourceKind::Paradox4);
        QVERIFY(kindInfo(SourceKind::Goldmine).folderDatabase);
        QVERIFY(!kindInfo(SourceKind::Excel5).folderDatabase);
        for (SourceKind k : {SourceKind::Btrieve, SourceKind::Unknown, SourceKind::Odbc}) {
            auto reader = createReader(k);
            QVERIFY(!reader->open(QStringLiteral("/tmp/FILE.DDF")));
            QCOMPARE(reader->errorText(), QStringLiteral("Not Supported"));
        }
    }

    void dbaseFolderTypesAndCodePages() {
        QTemporaryDir dir;
        writeDbf(dir.filePath(QStringLiteral("contacts.dbf")), "LDID/87", false);
        writeDbf(dir.filePath(QStringLiteral("russian.dbf")), "LDID/38", false);
        {
            // The Cyrillic table keeps CP866 bytes that would be wrong as Windows-1252.
            DBFHandle h =
                DBFOpen(QFile::encodeName(dir.filePath(QStringLiteral("russian.dbf"))).constData(), "rb+");
            DBFWriteStringAttribute(h, 0, 0, "\x8C\xA8\xE0");
            DBFClose(h);
        }
        auto reader = createReader(SourceKind::DBase3);
        QVERIFY(reader->open(dir.filePath(QStringLiteral("contacts.dbf"))));
        QCOMPARE(reader->chosenTable(), QStringLiteral("contacts"));
        QCOMPARE(reader->tables(), QStringList({QStringLiteral("contacts"), QStringLiteral("russian")}));
        const QList<SourceField> fields = reader->fields(QStringLiteral("contacts"));
        QCOMPARE(names(fields), QStringList({"EMAIL", "AMOUNT", "VISITS", "JOINED", "ACTIVE"}));
        QCOMPARE(fields[0].type, FieldType::Text);
        QCOMPARE(fields[0].size, 40);
        QCOMPARE(fields[1].type, FieldType::Double);
        QCOMPARE(fields[2].type, FieldType::Integer);
        QCOMPARE(fields[3].type, FieldType::Date);
        QCOMPARE(fields[4].type, FieldType::Boolean);

        const QList<SourceRow> rows = readAll(*reader, QStringLiteral("contacts"));
        QCOMPARE(rows.size(), 2); // the deleted record is skipped
        QCOMPARE(rows[0][0].toString(), QStringLiteral("caf\u00e9@example.com"));
        QCOMPARE(rows[0][1].toDouble(), 12.5);
        QCOMPARE(rows[0][2].toLongLong(), 7);
        QCOMPARE(rows[0][3].toDate(), QDate(2024, 2, 29));
        QCOMPARE(rows[0][4], QVariant(true));
        QVERIFY(rows[1][0].isNull());
        QVERIFY(rows[1][1].isNull());
        QVERIFY(rows[1][3].isNull());
        QCOMPARE(rows[1][4], QVariant(false));
        QCOMPARE(valueText(rows[0][3]), QStringLiteral("2/29/2024"));

        const QList<SourceRow> russian = readAll(*reader, QStringLiteral("russian"));
        QCOMPARE(russian.value(0).value(0).toString(), QStringLiteral("\u041c\u0438\u0440"));

        QVERIFY(reader->fields(QStringLiteral("missing")).isEmpty());
        QVERIFY(reader->errorText().contains(QStringLiteral("missing")));
    }

    void dbaseMemoFields() {
        QTemporaryDir dir;
        const QString table = dir.filePath(QStringLiteral("notes.dbf"));
        writeDbf(table, "LDID/87", true);
        {
            // Without its memo file the table is refused with the memo field named.
            auto reader = createReader(SourceKind::DBase3);
            QVERIFY(reader->open(table));
            QVERIFY(!reader->rows(QStringLiteral("notes")));
            QVERIFY(reader->errorText().contains(QStringLiteral("NOTES")));
        }
        QFile memo(dir.filePath(QStringLiteral("NOTES.DBT")));
        QVERIFY(memo.open(QIODevice::WriteOnly));
        QByteArray bytes(512, '\0');
        bytes += QByteArray("Met at the fair\r\nsecond line\xE9\x1A\x1A");
        memo.write(bytes);
        memo.close();
        auto reader = createReader(SourceKind::DBase3);
        QVERIFY(reader->open(dir.path()));
        QVERIFY(reader->chosenTable().isEmpty());
        const QList<SourceRow> rows = readAll(*reader, QStringLiteral("notes"));
        QCOMPARE(rows.size(), 2);
        QCOMPARE(rows[0][5].toString(), QStringLiteral("Met at the fair\r\nsecond line\u00e9"));
        QVERIFY(rows[1][5].isNull());
    }

    void accessTablesFieldsAndDates() {
        const QString path = QStringLiteral(QT_TESTCASE_SOURCEDIR "/data/access/DateTestDatabase.mdb");
        auto reader = createReader(kindFromPath(path));
        QCOMPARE(reader->kind(), SourceKind::Access);
        QVERIFY2(reader->open(path), qPrintable(reader->errorText()));
        QCOMPARE(reader->tables(), QStringList{QStringLiteral("DateTest")});
        const QList<SourceField> fields = reader->fields(QStringLiteral("DateTest"));
        QCOMPARE(names(fields),
                 QStringList({"IDCol", "DateTimeCol", "DateCol", "TimeCol", "LongTextCol", "ShortTextCol"}));
        QCOMPARE(fields[0].type, FieldType::Integer);
        QCOMPARE(fields[1].type, FieldType::DateTime);
        QCOMPARE(fields[4].type, FieldType::Memo);
        QCOMPARE(fields[5].type, FieldType::Text);
        QCOMPARE(fields[5].size, 255);
        const QList<SourceRow> rows = readAll(*reader, QStringLiteral("DateTest"));
        QCOMPARE(rows.size(), 6);
        QCOMPARE(rows[0][0].toLongLong(), 1);
        QCOMPARE(rows[0][4].toString(), QStringLiteral("Hello"));
        // Dates outside what struct tm holds come through whole.
        QCOMPARE(rows[1][1].toDateTime().date(), QDate(9999, 1, 1));
        QCOMPARE(rows[2][1].toDateTime().date(), QDate(1898, 1, 1));
        QCOMPARE(rows[3][3].toDateTime().date(), QDate(634, 1, 1));
        QCOMPARE(rows[5][4].toString(), QStringLiteral("New line\r\nin field"));
        QVERIFY(!reader->rows(QStringLiteral("MSysObjects")));
        QVERIFY(reader->errorText().contains(QStringLiteral("MSysObjects")));
    }

    void paradoxTable() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Clients.db"));
        const QByteArray shared = QByteArray("Met at the fair in Caf\xE9 du Port, ") + QByteArray(300, 'x');
        const QByteArray single = QByteArray("Long history: ") + QByteArray(6000, 'y');
        {
            pxdoc_t* px = PX_new();
            auto* f = static_cast<pxfield_t*>(px->malloc(px, 5 * sizeof(pxfield_t), "fields"));
            const char* fieldNames[] = {"Email", "Visits", "Joined", "Paid", "Notes"};
            const char types[] = {pxfAlpha, pxfLong, pxfDate, pxfLogical, pxfMemoBLOb};
            const int lengths[] = {40, 4, 4, 1, 20}; // the memo keeps up to ten bytes in the record
            for (int i = 0; i < 5; ++i) {
                f[i].px_fname = static_cast<char*>(px->malloc(px, 16, "name"));
                qstrcpy(f[i].px_fname, fieldNames[i]);
                f[i].px_ftype = types[i];
                f[i].px_flen = lengths[i];
                f[i].px_fdc = 0;
            }
            QCOMPARE(PX_create_file(px, f, 5, QFile::encodeName(path).constData(), pxfFileTypNonIndexDB), 0);
            PX_set_parameter(px, "codepage", "1252");
            // The memo file's name differs in case from the table's.
            QCOMPARE(PX_set_blob_file(
                         px, QFile::encodeName(dir.filePath(QStringLiteral("CLIENTS.MB"))).constData()),
                     0);
            QByteArray rec(PX_get_recordsize(px), '\0');
            PX_put_data_alpha(px, rec.data(), 40, const_cast<char*>("ren\xE9@example.com"));
            PX_put_data_long(px, rec.data() + 40, 4, 12);
            PX_put_data_long(px, rec.data() + 44, 4, int(QDate(2020, 5, 17).toJulianDay() - 1721425));
            PX_put_data_byte(px, rec.data() + 48, 1, 1);
            // Under 4 kB memos share a block of the memo file; longer ones get blocks of their own.
            QCOMPARE(PX_put_data_blob(px, rec.data() + 49, 20, QByteArray(shared).data(), int(shared.size())),
                     0);
            PX_put_record(px, rec.data());
            rec.fill('\0');
            PX_put_data_alpha(px, rec.data(), 40, const_cast<char*>("second@example.com"));
            QCOMPARE(PX_put_data_blob(px, rec.data() + 49, 20, const_cast<char*>("VIP \xE9t\xE9"), 8), 0);
            PX_put_record(px, rec.data());
            rec.fill('\0');
            PX_put_data_alpha(px, rec.data(), 40, const_cast<char*>("third@example.com"));
            QCOMPARE(PX_put_data_blob(px, rec.data() + 49, 20, QByteArray(single).data(), int(single.size())),
                     0);
            PX_put_record(px, rec.data());
            PX_close(px);
            PX_delete(px);
        }
        auto reader = createReader(kindFromIndex(14));
        QVERIFY2(reader->open(path), qPrintable(reader->errorText()));
        QCOMPARE(reader->tables(), QStringList{QStringLiteral("Clients")});
        QCOMPARE(reader->chosenTable(), QStringLiteral("Clients"));
        const QList<SourceField> fields = reader->fields(QStringLiteral("Clients"));
        QCOMPARE(names(fields), QStringList({"Email", "Visits", "Joined", "Paid", "Notes"}));
        QCOMPARE(fields[1].type, FieldType::Integer);
        QCOMPARE(fields[2].type, FieldType::Date);
        QCOMPARE(fields[4].type, FieldType::Memo);
        const QList<SourceRow> rows = readAll(*reader, QStringLiteral("Clients"));
        QCOMPARE(rows.size(), 3);
        QCOMPARE(rows[0][0].toString(), QStringLiteral("ren\u00e9@example.com"));
        QCOMPARE(rows[0][1].toLongLong(), 12);
        QCOMPARE(rows[0][2].toDate(), QDate(2020, 5, 17));
        QCOMPARE(rows[0][3], QVariant(true));
        QCOMPARE(rows[0][4].toString(), QString::fromLatin1(shared));
        QCOMPARE(rows[1][0].toString(), QStringLiteral("second@example.com"));
        QVERIFY(rows[1][1].isNull());
        QVERIFY(rows[1][2].isNull());
        QCOMPARE(rows[1][4].toString(), QStringLiteral("VIP \u00e9t\u00e9"));
        QCOMPARE(rows[2][4].toString(), QString::fromLatin1(single));

        // A memo file cut short loses the memos it no longer holds, not the rows.
        QFile mb(dir.filePath(QStringLiteral("CLIENTS.MB")));
        QVERIFY(mb.resize(4096 + 64));
        QList<SourceRow> cut = readAll(*reader, QStringLiteral("Clients"));
        QCOMPARE(cut.size(), 3);
        QVERIFY(cut[0][4].isNull());
        QVERIFY(cut[2][4].isNull());
        // Without the memo file only the memos kept in the record remain.
        QVERIFY(mb.remove());
        cut = readAll(*reader, QStringLiteral("Clients"));
        QCOMPARE(cut.size(), 3);
        QVERIFY(cut[0][4].isNull());
        QCOMPARE(cut[1][4].toString(), QStringLiteral("VIP \u00e9t\u00e9"));
        QVERIFY(cut[2][4].isNull());
        QCOMPARE(cut[2][0].toString(), QStringLiteral("third@example.com"));
    }

    void excelSheets() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("book.xls"));
        // The system's Python has Debian's xlwt even when another python3 comes first in PATH.
        const QString script = QStringLiteral(QT_TESTCASE_SOURCEDIR "/components/sourcereaders/make_xls.py");
        int made = -1;
        for (const QString& python : {QStringLiteral("/usr/bin/python3"), QStringLiteral("python3")}) {
            if ((made = QProcess::execute(python, {script, path})) == 0) break;
        }
        if (made != 0) {
            if (qEnvironmentVariableIsSet("CI")) QFAIL("python3-xlwt is needed to write the test workbook");
            QSKIP("python3-xlwt is not installed");
        }
        auto reader = createReader(SourceKind::Excel5);
        QVERIFY2(reader->open(path), qPrintable(reader->errorText()));
        QCOMPARE(reader->tables(), QStringList({"People$", "Empty$"}));
        const QList<SourceField> fields = reader->fields(QStringLiteral("People$"));
        QCOMPARE(names(fields), QStringList({"Email", "Name", "Visits", "Joined"}));
        QCOMPARE(fields[3].type, FieldType::Date);
        const QList<SourceRow> rows = readAll(*reader, QStringLiteral("People$"));
        QCOMPARE(rows.size(), 2);
        QCOMPARE(rows[0][1].toString(), QStringLiteral("Ren\u00e9e"));
        QCOMPARE(valueText(rows[0][2]), QStringLiteral("7"));
        QCOMPARE(rows[0][3].toDate(), QDate(2021, 12, 2));
        QVERIFY(rows[1][1].isNull());
        QCOMPARE(rows[1][2].toDouble(), 2.5);
        QVERIFY(!reader->rows(QStringLiteral("Empty$")));
        QVERIFY(!reader->rows(QStringLiteral("People")));

        QFile xlsx(dir.filePath(QStringLiteral("new.xlsx")));
        QVERIFY(xlsx.open(QIODevice::WriteOnly));
        xlsx.write("PK");
        xlsx.close();
        QVERIFY(!reader->open(xlsx.fileName()));
        QVERIFY(reader->errorText().contains(QStringLiteral(".xls")));
    }

    void visualFoxProBinaryFieldsAndFptMemo() {
        // Written byte by byte: shapelib writes no FoxPro types.
        struct Field {
            const char* name;
            char type;
            quint8 width;
        };
        const Field fields[] = {
            {"EMAIL", 'C', 20}, {"N", 'I', 4}, {"PAID", 'Y', 8}, {"SEEN", 'T', 8}, {"NOTE", 'M', 4}};
        const int recordLength = 1 + 20 + 4 + 8 + 8 + 4;
        const int headerLength = 32 + 5 * 32 + 1 + 263;
        QByteArray dbf(32, '\0');
        dbf[0] = 0x30;
        dbf[4] = 1; // one record
        qToLittleEndian<quint16>(headerLength, dbf.data() + 8);
        qToLittleEndian<quint16>(recordLength, dbf.data() + 10);
        dbf[29] = 0x03; // Windows ANSI
        int offset = 1;
        for (const Field& f : fields) {
            QByteArray d(32, '\0');
            d.replace(0, qstrlen(f.name), f.name);
            d[11] = f.type;
            qToLittleEndian<quint32>(offset, d.data() + 12);
            d[16] = char(f.width);
            dbf += d;
            offset += f.width;
        }
        dbf += '\r' + QByteArray(263, '\0');
        QByteArray rec = " a@b.com" + QByteArray(13, ' ');
        rec.append(QByteArray(4 + 8 + 8 + 4, '\0'));
        qToLittleEndian<qint32>(-42, rec.data() + 21);
        qToLittleEndian<qint64>(123456, rec.data() + 25); // 12.3456
        qToLittleEndian<qint32>(qint32(QDate(2023, 3, 4).toJulianDay()), rec.data() + 33);
        qToLittleEndian<qint32>((13 * 3600 + 30 * 60) * 1000, rec.data() + 37);
        qToLittleEndian<quint32>(8, rec.data() + 41); // memo block 8 of 64 bytes
        dbf += rec + '\x1A';
        QByteArray fpt(512, '\0');
        qToBigEndian<quint16>(64, fpt.data() + 6);
        QByteArray memo(8, '\0');
        qToBigEndian<quint32>(1, memo.data());
        qToBigEndian<quint32>(6, memo.data() + 4);
        fpt += memo + "Na\xEFve";
        QTemporaryDir dir;
        for (const auto& [name, bytes] :
             {std::pair{QStringLiteral("fox.dbf"), dbf}, {QStringLiteral("fox.fpt"), fpt}}) {
            QFile f(dir.filePath(name));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(bytes);
        }
        auto reader = createReader(SourceKind::FoxPro30);
        QVERIFY2(reader->open(dir.filePath(QStringLiteral("fox.dbf"))), qPrintable(reader->errorText()));
        const QList<SourceField> f = reader->fields(QStringLiteral("fox"));
        QCOMPARE(names(f), QStringList({"EMAIL", "N", "PAID", "SEEN", "NOTE"}));
        QCOMPARE(f[2].type, FieldType::Currency);
        QCOMPARE(f[3].type, FieldType::DateTime);
        const QList<SourceRow> rows = readAll(*reader, QStringLiteral("fox"));
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows[0][0].toString(), QStringLiteral("a@b.com"));
        QCOMPARE(rows[0][1].toLongLong(), -42);
        QCOMPARE(rows[0][2].toDouble(), 12.3456);
        QCOMPARE(rows[0][3].toDateTime(), QDateTime(QDate(2023, 3, 4), QTime(13, 30)));
        QCOMPARE(rows[0][4].toString(), QStringLiteral("Na\u00efve"));
    }

    void brokenFilesAreRefused() {
        QTemporaryDir dir;
        QFile junk(dir.filePath(QStringLiteral("junk.dbf")));
        QVERIFY(junk.open(QIODevice::WriteOnly));
        junk.write("not a table");
        junk.close();
        auto reader = createReader(SourceKind::DBase5);
        QVERIFY(!reader->open(junk.fileName()));
        QVERIFY(reader->errorText().contains(QStringLiteral("junk.dbf")));
        QVERIFY(!reader->open(dir.filePath(QStringLiteral("none.dbf"))));
        for (SourceKind k :
             {SourceKind::Access, SourceKind::Excel5, SourceKind::Paradox5, SourceKind::Text}) {
            auto other = createReader(k);
            QVERIFY(!other->open(dir.filePath(QStringLiteral("none.file"))));
            QVERIFY(!other->errorText().isEmpty());
        }
        // A header whose record is shorter than its fields is refused, not read past.
        const QString damaged = dir.filePath(QStringLiteral("damaged.dbf"));
        writeDbf(damaged, "LDID/87", false);
        QFile patch(damaged);
        QVERIFY(patch.open(QIODevice::ReadWrite));
        patch.seek(10);
        patch.write(QByteArray("\x2A\x00", 2)); // 42 bytes: flag, EMAIL and one byte of AMOUNT
        patch.close();
        QVERIFY(!reader->open(damaged));
        QVERIFY(reader->errorText().contains(QStringLiteral("damaged.dbf")));

        auto access = createReader(SourceKind::Access);
        QVERIFY(!access->open(junk.fileName()));
        QVERIFY(access->errorText().contains(QStringLiteral("junk.dbf")));
    }
};

QTEST_GUILESS_MAIN(TstSourceReaders)
#include "tst_sourcereaders.moc"
