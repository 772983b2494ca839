// Delimited text sources: the parser's edge cases, encodings, ragged rows, and a million-row
// file read in flat memory.

#include "components/sourcereaders/DelimitedText.h"
#include "components/sourcereaders/SourceReader.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace sendora::sourcereaders;

namespace {

QList<QStringList> parseAll(const QByteArray& text, char delimiter, qsizetype piece) {
    DelimitedTextParser parser(delimiter);
    QList<TextRecord> records;
    for (qsizetype at = 0; at < text.size(); at += piece)
        parser.feed(text.constData() + at, std::min(piece, text.size() - at), records);
    parser.finish(records);
    QList<QStringList> out;
    for (const TextRecord& r : records) {
        QStringList row;
        for (const QByteArray& f : r)
            row << QString::fromUtf8(f);
        out << row;
    }
    return out;
}

QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes) {
    QFile f(dir.filePath(name));
    if (!f.open(QIODevice::WriteOnly)) return {};
    f.write(bytes);
    return f.fileName();
}

QList<QStringList> readTable(const QString& path, const SourceOptions& options = {},
                             QStringList* names = nullptr) {
    auto reader = createReader(SourceKind::Text);
    QList<QStringList> out;
    if (!reader->open(path, options)) return out;
    auto cursor = reader->rows(reader->chosenTable());
    if (!cursor) return out;
    if (names) {
        names->clear();
        for (const SourceField& f : cursor->fields())
            *names << f.name;
    }
    SourceRow row;
    while (cursor->next(row)) {
        QStringList texts;
        for (const QVariant& v : row)
            texts << (v.isNull() ? QStringLiteral("<null>") : valueText(v));
        out << texts;
    }
    return out;
}

qint64 residentKiB() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:")) return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

} // namespace

class TstTextSource : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void parser_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QList<QStringList>>("records");
        using L = QList<QStringList>;
        QTest::newRow("plain, CRLF, last line unterminated")
            << QByteArray("a,b\r\nc,d") << L{{"a", "b"}, {"c", "d"}};
        QTest::newRow("quoted delimiter and doubled quote")
            << QByteArray("\"x,y\",\"say \"\"hi\"\"\"\n") << L{{"x,y", "say \"hi\""}};
        QTest::newRow("line breaks inside quotes")
            << QByteArray("\"one\r\ntwo\",3\r\nnext,4\r\n") << L{{"one\r\ntwo", "3"}, {"next", "4"}};
        QTest::newRow("empty fields and empty quoted field")
            << QByteArray(",,\n\"\"\n") << L{{"", "", ""}, {""}};
        QTest::newRow("blank lines are skipped, old Mac CR endings")
            << QByteArray("a\r\r\n\nb\rc") << L{{"a"}, {"b"}, {"c"}};
        QTest::newRow("stray quotes stay text") << QByteArray("ab\"c,\"q\"tail\n") << L{{"ab\"c", "qtail"}};
        QTest::newRow("unclosed quote runs to the end") << QByteArray("\"open,1\n2") << L{{"open,1\n2"}};
    }
    void parser() {
        QFETCH(QByteArray, text);
        QFETCH(QList<QStringList>, records);
        // The result must not depend on how the bytes arrive.
        for (qsizetype piece : {qsizetype(1), qsizetype(2), qsizetype(3), text.size()})
            QCOMPARE(parseAll(text, ',', piece), records);
    }

    void delimitersAndLimits() {
        QCOMPARE(guessDelimiter("a;b;c,d\n1,2"), ';');
        QCOMPARE(guessDelimiter("a\tb\n"), '\t');
        QCOMPARE(guessDelimiter("\"x;y;z\",b\n"), ',');
        QCOMPARE(guessDelimiter("single"), ',');
        QCOMPARE(parseAll("a\tb;c\n", '\t', 4), QList<QStringList>({{"a", "b;c"}}));
        // A record without end keeps a bounded prefix instead of taking all memory.
        const QByteArray huge = "\"" + QByteArray(3 * DelimitedTextParser::kMaxRecordBytes, 'x');
        const QList<QStringList> r = parseAll(huge, ',', 65536);
        QCOMPARE(r.size(), 1);
        QCOMPARE(r[0][0].size(), DelimitedTextParser::kMaxRecordBytes);
    }

    void encodingsNamesAndRaggedRows() {
        QTemporaryDir dir;
        using L = QList<QStringList>;
        QStringList names;
        // Windows-1252: é as E9 and the euro sign as 80.
        const QString ansi = writeFile(dir, QStringLiteral("ansi.csv"), "Email,Name\nb@x.com,Ren\xE9 \x80\n");
        QCOMPARE(readTable(ansi, {}, &names), L({{"b@x.com", QStringLiteral("Ren\u00e9 \u20ac")}}));
        QCOMPARE(names, QStringList({"Email", "Name"}));
        // Valid UTF-8 without a mark, and with one (the mark is not part of the first name).
        const QString utf8 = writeFile(dir, QStringLiteral("utf8.txt"), "Email;Name\na@x.com;Ren\xC3\xA9\n");
        QCOMPARE(readTable(utf8), L({{"a@x.com", QStringLiteral("Ren\u00e9")}}));
        const QString bom = writeFile(dir, QStringLiteral("bom.csv"),
                                      "\xEF\xBB\xBF"
                                      "Email\tName\nc@x.com\t\xC3\xA9\n");
        QCOMPARE(readTable(bom, {}, &names), L({{"c@x.com", QStringLiteral("\u00e9")}}));
        QCOMPARE(names.value(0), QStringLiteral("Email"));
        // Mixed: one byte that is not UTF-8 late in the file makes the whole file 1252.
        const QString mixed = writeFile(dir, QStringLiteral("mixed.csv"), "N\n\xC3\xA9\n\xE9\n");
        QCOMPARE(readTable(mixed), L({{QStringLiteral("\u00c3\u00a9")}, {QStringLiteral("\u00e9")}}));

        // No names row: fields are F1.., the first line is data; short rows are padded,
        // long ones cut to the first row's width; an empty name becomes F<n>.
        const QString ragged = writeFile(dir, QStringLiteral("ragged.csv"), "a,b,\nc\nd,e,f,g\n");
        SourceOptions plain;
        plain.firstRowHasNames = false;
        QCOMPARE(readTable(ragged, plain, &names),
                 L({{"a", "b", "<null>"}, {"c", "<null>", "<null>"}, {"d", "e", "f"}}));
        QCOMPARE(names, QStringList({"F1", "F2", "F3"}));
        QCOMPARE(readTable(ragged, {}, &names), L({{"c", "<null>", "<null>"}, {"d", "e", "f"}}));
        QCOMPARE(names, QStringList({"a", "b", "F3"}));

        auto reader = createReader(SourceKind::Text);
        QVERIFY(reader->open(ragged));
        QCOMPARE(reader->tables(),
                 QStringList({"ansi.csv", "bom.csv", "mixed.csv", "ragged.csv", "utf8.txt"}));
        QVERIFY(!reader->rows(QStringLiteral("../etc/passwd")));
        const QString empty = writeFile(dir, QStringLiteral("empty.csv"), "");
        QVERIFY(reader->open(empty));
        QVERIFY(!reader->rows(QStringLiteral("empty.csv")));
        QVERIFY(reader->errorText().contains(QStringLiteral("empty")));
    }

    // The UTF-8 rows that the import takes must say exactly what the value rows say, whatever
    // the encoding: Windows-1252 bytes, invalid bytes under a UTF-8 mark, a mark at the start
    // of a field (which decoding drops), long and ragged rows, and the first line as data.
    void utf8RowsAgreeWithValues_data() {
        QTest::addColumn<QByteArray>("text");
        QByteArray every1252 = "Name,Other\n";
        for (int c = 0x80; c < 0x100; c += 8)
            every1252 += QByteArray::number(c) + ",x" + QByteArray(1, char(c)) + char(c + 1) + char(c + 2) +
                         char(c + 3) + char(c + 4) + char(c + 5) + char(c + 6) + char(c + 7) + "\n";
        QTest::newRow("Windows-1252") << every1252;
        QTest::newRow("UTF-8, a mark inside a field")
            << QByteArray("N,M\nRen\xC3\xA9,\xEF\xBB\xBFmarked\n\xF0\x9F\x98\x80,\"q\"\"\xC3\xA9\"\n");
        QTest::newRow("invalid bytes under a mark")
            << QByteArray("\xEF\xBB\xBFN;M\n\xC3\xA9;\xE9t\xE9\n\xEF\xBB\xBF;\xC3\n");
        QTest::newRow("long, ragged and empty")
            << (QByteArray("a,b,c\n") + QByteArray(300, 'x') + "\xC3\xA9,,\n\"\"\nd,e,f,g,h\n");
    }
    void utf8RowsAgreeWithValues() {
        QFETCH(QByteArray, text);
        QTemporaryDir dir;
        const QString path = writeFile(dir, QStringLiteral("rows.csv"), text);
        for (const bool named : {true, false}) {
            SourceOptions options;
            options.firstRowHasNames = named;
            auto reader = createReader(SourceKind::Text);
            QVERIFY(reader->open(path, options));
            auto values = reader->rows(QStringLiteral("rows.csv"));
            auto utf8 = reader->rows(QStringLiteral("rows.csv"));
            QVERIFY(values && utf8 && utf8->offersUtf8());
            SourceRow row;
            Utf8Row bytes;
            qint64 rows = 0;
            while (values->next(row)) {
                QVERIFY(utf8->nextUtf8(bytes));
                QCOMPARE(qsizetype(bytes.size()), row.size());
                for (qsizetype i = 0; i < row.size(); ++i)
                    QCOMPARE(bytes[size_t(i)].toByteArray(), valueText(row[i]).toUtf8());
                ++rows;
            }
            QVERIFY(!utf8->nextUtf8(bytes));
            QCOMPARE(utf8->position(), rows);
            QVERIFY(rows > 1);
        }
    }

    void millionRowsInFlatMemory() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("big.csv"));
        {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("EAddress,FirstName,LastName\n");
            QByteArray block;
            for (int i = 0; i < 1000000; ++i) {
                block += "user" + QByteArray::number(i) + "@example.com,First" + QByteArray::number(i) +
                         ",\"Last, " + QByteArray::number(i) + "\"\n";
                if (block.size() > (1 << 20)) {
                    f.write(block);
                    block.clear();
                }
            }
            f.write(block);
        }
        const qint64 before = residentKiB();
        auto reader = createReader(SourceKind::Text);
        QVERIFY(reader->open(path));
        auto cursor = reader->rows(QStringLiteral("big.csv"));
        QVERIFY(cursor);
        SourceRow row;
        qint64 rows = 0;
        while (cursor->next(row))
            ++rows;
        QCOMPARE(rows, 1000000);
        QCOMPARE(cursor->position(), 1000000);
        QCOMPARE(row.value(2).toString(), QStringLiteral("Last, 999999"));
        // The file is about 60 MB; reading it must not keep it. AddressSanitizer holds freed
        // memory in quarantine, so resident size says nothing in that build.
#ifndef __SANITIZE_ADDRESS__
        QVERIFY2(residentKiB() - before < 16 * 1024, qPrintable(QString::number(residentKiB() - before)));
#else
        Q_UNUSED(before);
#endif
    }
};

QTEST_GUILESS_MAIN(TstTextSource)
#include "tst_textsource.moc"
