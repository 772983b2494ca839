// SELECT ... INTO: a new table made from a query's columns, or a text file written row by row.

#include "components/jet/JetInternal.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <sqlite3.h>

namespace jet::detail {

void DatabaseCore::selectInto(const Plan& plan, const QString& jetSql) {
    if (tableExists(plan.targetSchema, plan.targetTable))
        throw Error(ErrTableExists, QStringLiteral("Table '%1' already exists.").arg(plan.targetTable));
    TableModel m;
    m.schema = plan.targetSchema;
    m.name = plan.targetTable;
    StmtPtr owner = prepared(plan.selectSql, false, jetSql);
    sqlite3_stmt* st = owner.get();
    QStringList names;
    for (int i = 0; i < sqlite3_column_count(st); ++i) {
        ColumnDef c;
        c.name = QString::fromUtf8(sqlite3_column_name(st, i));
        for (int n = 1; names.contains(c.name, Qt::CaseInsensitive); ++n)
            c.name = QString::fromUtf8(sqlite3_column_name(st, i)) + QString::number(n);
        names << c.name;
        const char* decl = sqlite3_column_decltype(st, i);
        if (decl) {
            const TypeInfo t = typeFromDecl(QString::fromUtf8(decl));
            c.type =
                t.type == FieldType::Counter ? FieldType::Long : t.type; // Jet copies counters as numbers
            c.size = t.size;
            const char* origin = sqlite3_column_origin_name(st, i);
            if (c.type == FieldType::Integer && origin) {
                // an INTEGER PRIMARY KEY AUTOINCREMENT source is a counter
                const QString sql =
                    queryStrings(
                        QStringLiteral("SELECT sql FROM %1.sqlite_master WHERE type='table' AND name=%2")
                            .arg(sqlIdent(QString::fromUtf8(sqlite3_column_database_name(st, i))),
                                 sqlString(QString::fromUtf8(sqlite3_column_table_name(st, i)))))
                        .value(0);
                if (sql.contains(QLatin1String("AUTOINCREMENT"))) c.type = FieldType::Long;
            }
        } else {
            c.type = FieldType::Double; // calculated column: numeric unless it holds text
            c.size = -1;
        }
        m.columns.push_back(c);
    }
    owner.reset();
    Savepoint sp(*this);
    exec(createSql(m), jetSql);
    const QString table = m.schema == QLatin1String("main")
                              ? sqlIdent(m.name)
                              : sqlIdent(m.schema) + QLatin1Char('.') + sqlIdent(m.name);
    const StmtPtr ins =
        prepared(QStringLiteral("INSERT INTO %1 %2").arg(table, plan.selectSql), false, jetSql);
    step(ins.get(), jetSql);
    affected = sqlite3_changes64(db);
    refreshTriggers(m.schema, m.name);
    sp.release();
}

QByteArray toWindows1252(QStringView text) {
    // Latin-1 apart from 0x80-0x9F, which hold typographic marks; what the code page lacks
    // becomes "?", as the text driver writes it.
    static const char16_t high[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                      0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                      0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
    QByteArray out;
    out.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        char b = '?';
        if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) {
            b = char(u);
        } else {
            for (int i = 0; i < 32; ++i)
                if (high[i] == u && u != 0) b = char(0x80 + i);
        }
        out += b;
    }
    return out;
}

void DatabaseCore::exportText(const Plan& plan) {
    // SELECT ... INTO [Text;database=<folder>].[<file>]: a header line, then one line per row,
    // text in double quotes, fields separated by commas, lines ending CR LF, Windows-1252.
    // A statement that fails or is cancelled leaves no file behind.
    const QString file = QDir(plan.targetSchema.mid(5)).filePath(plan.targetTable);
    if (QFileInfo::exists(file))
        throw Error(ErrTableExists, QStringLiteral("Table '%1' already exists.").arg(plan.targetTable));
    QFile out(file);
    if (!out.open(QIODevice::WriteOnly))
        throw Error(3051, QStringLiteral("Cannot open the file '%1': %2.").arg(file, out.errorString()));
    try {
        writeText(plan, out);
    } catch (...) {
        out.close();
        QFile::remove(file);
        throw;
    }
}

void DatabaseCore::writeText(const Plan& plan, QFile& out) {
    const StmtPtr owner = prepared(plan.selectSql, false, plan.selectSql);
    sqlite3_stmt* st = owner.get();
    auto quoted = [](QString s) {
        return QLatin1Char('"') + s.replace(QLatin1Char('"'), QLatin1String("\"\"")) + QLatin1Char('"');
    };
    QStringList header;
    for (int i = 0; i < sqlite3_column_count(st); ++i)
        header << quoted(QString::fromUtf8(sqlite3_column_name(st, i)));
    if (out.write(toWindows1252(header.join(QLatin1Char(',')) + QStringLiteral("\r\n"))) < 0)
        throw Error(ErrDiskFull,
                    QStringLiteral("Cannot write '%1': %2.").arg(out.fileName(), out.errorString()));
    // Rows go out in blocks; plain ASCII values are copied as they are, others converted.
    QByteArray block;
    block.reserve(1 << 17);
    auto flushBlock = [&] {
        if (out.write(block) < 0)
            throw Error(ErrDiskFull,
                        QStringLiteral("Cannot write '%1': %2.").arg(out.fileName(), out.errorString()));
        block.clear();
    };
    const int columns = sqlite3_column_count(st);
    while (step(st, plan.selectSql) == SQLITE_ROW) {
        for (int i = 0; i < columns; ++i) {
            if (i > 0) block += ',';
            const int type = sqlite3_column_type(st, i);
            if (type == SQLITE_NULL) continue;
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(st, i));
            const int size = sqlite3_column_bytes(st, i);
            if (type != SQLITE_TEXT) {
                block.append(text, size);
                continue;
            }
            block += '"';
            bool ascii = true;
            for (int k = 0; k < size && ascii; ++k)
                ascii = static_cast<unsigned char>(text[k]) < 0x80;
            const QByteArray value =
                ascii ? QByteArray::fromRawData(text, size) : toWindows1252(QString::fromUtf8(text, size));
            // doubled quotes inside; the stretches between them go out in one piece
            const char* from = value.constData();
            const char* const end = from + value.size();
            while (const char* q = static_cast<const char*>(std::memchr(from, '"', size_t(end - from)))) {
                block.append(from, q - from + 1);
                block += '"';
                from = q + 1;
            }
            block.append(from, end - from);
            block += '"';
        }
        block += "\r\n";
        if (block.size() > (1 << 16)) flushBlock();
        ++affected;
    }
    flushBlock();
    if (!out.flush())
        throw Error(ErrDiskFull,
                    QStringLiteral("Cannot write '%1': %2.").arg(out.fileName(), out.errorString()));
}

} // namespace jet::detail
