// Arbitrary record selection rows and find/replace texts: the assembled clause and the find
// and replace statements must each stay the one statement intended. The clause runs as a
// single read-only SELECT, the count as a single read-only SELECT, the update as a single
// UPDATE; a typed value always finds itself; Replace All never adds, drops or reshapes
// anything but the cells of its column.

#include "components/jet/Jet.h"
#include "core/UserInterface.h"
#include "lists/FindReplace.h"
#include "lists/RecordSelection.h"

#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sqlite3.h>

namespace {

const QString kOdd = QStringLiteral("Odd]Name \"x\"");

QTemporaryDir& folder() {
    static QTemporaryDir dir;
    return dir;
}

QString listPath() {
    return folder().filePath(QStringLiteral("fuzz.mdb"));
}

jet::Database& database() {
    static std::unique_ptr<jet::Database> db;
    if (!db) {
        db = jet::Database::create(listPath());
        db->execute(QStringLiteral("CREATE TABLE AddressList(EAddress TEXT(255) NOT NULL CONSTRAINT EAddress "
                                   "PRIMARY KEY, FirstName TEXT(255), Sent TEXT(255), N LONG, ") +
                    jet::bracket(kOdd) + QStringLiteral(" TEXT(255))"));
        db->execute(QStringLiteral(
            "INSERT INTO AddressList (EAddress, FirstName, N) VALUES (\"a@x.com\", \"A\", 1)"));
        db->execute(QStringLiteral(
            "INSERT INTO AddressList (EAddress, FirstName, N) VALUES (\"b@x.com\", \"B\", 2)"));
    }
    return *db;
}

[[noreturn]] void fail(const char* what, const QString& sql) {
    fprintf(stderr, "%s\n%s\n", what, sql.toUtf8().constData());
    abort();
}

// The translated statement prepared on the list: one statement, of the kind expected.
void expectSingle(jet::Database& db, const QString& jetSql, bool readOnly, const char* verb) {
    QString sql;
    try {
        sql = db.translate(jetSql);
    } catch (const jet::Error&) {
        fail("built statement does not translate", jetSql);
    }
    const QByteArray utf8 = sql.toUtf8();
    sqlite3_stmt* st = nullptr;
    const char* tail = nullptr;
    if (sqlite3_prepare_v2(db.handle(), utf8.constData(), int(utf8.size()), &st, &tail) != SQLITE_OK || !st)
        fail("built statement does not prepare", jetSql);
    const bool single = !tail || QByteArray(tail).trimmed().isEmpty();
    const bool ro = sqlite3_stmt_readonly(st) != 0;
    const bool verbOk = QByteArray(sqlite3_sql(st)).trimmed().toUpper().startsWith(verb);
    sqlite3_finalize(st);
    if (!single) fail("more than one statement", jetSql);
    if (ro != readOnly) fail(readOnly ? "selection writes" : "update does not write", jetSql);
    if (!verbOk) fail("another kind of statement", jetSql);
}

qint64 scalar(jet::Database& db, const QString& sql) {
    return db.openRecordset(sql)->value(0).toLongLong();
}

class YesInterface : public sendora::UserInterface {
public:
    sendora::Answer message(const QString&, sendora::Buttons, sendora::Icon, const QString&) override {
        return sendora::Answer::Yes;
    }
    std::optional<QString> inputBox(const QString&, const QString&, const QString&) override { return {}; }
    std::optional<QString> openFileName(const QString&, const QString&,
                                        const QList<sendora::FileFilter>&) override {
        return {};
    }
    std::optional<QString> saveFileName(const QString&, const QString&,
                                        const QList<sendora::FileFilter>&) override {
        return {};
    }
    QStringList checkList(const QString&, const QString&, const QStringList&) override { return {}; }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4 || size > 2048) return 0;
    // Byte 0..3: per row the field, operator and logic item; the rest: up to six texts
    // separated by \x01 (four row values, a search text and a replacement).
    QString rest = QString::fromUtf8(reinterpret_cast<const char*>(data) + 4, qsizetype(size - 4));
    rest.remove(QChar(0)); // no text box or argument can hold a NUL
    const QStringList texts = rest.split(QChar(1));
    const QStringList fields{QString(), QStringLiteral("EAddress"), QStringLiteral("FirstName"),
                             QStringLiteral("N"), kOdd};
    const QStringList& ops = sendora::selectionOperators();
    const QStringList& logic = sendora::selectionLogicItems();
    sendora::SelectionRows rows;
    for (int i = 0; i < 4; ++i) {
        const uint8_t b = data[i];
        rows[i].field = fields[b % fields.size()];
        rows[i].op = (b & 0x80) ? QString() : ops[(b >> 3) % ops.size()];
        rows[i].value = texts.value(i);
        rows[i].logic = logic[(b >> 5) % logic.size()];
    }
    jet::Database& db = database();
    const std::vector<sendora::SelectionField> known{{QStringLiteral("EAddress"), false},
                                                     {QStringLiteral("FirstName"), false},
                                                     {QStringLiteral("N"), true},
                                                     {kOdd, false}};
    for (const sendora::SelectionTarget& target :
         {sendora::SelectionTarget::listFile(known),
          sendora::SelectionTarget::general(known, QStringLiteral("AddressList"),
                                            sendora::SelectionDatabase::Jet)}) {
        const sendora::SelectionClause c = sendora::assembleSQL(target, rows);
        if (c.refusedRow || c.clause.isEmpty()) continue;
        if (!c.clause.startsWith(QStringLiteral("WHERE ((")))
            fail("clause does not start as built", c.clause);
        expectSingle(db, QStringLiteral("SELECT * FROM AddressList ") + c.clause, true, "SELECT");
        if (!sendora::checkSelectionClause(listPath(), c.clause).isEmpty())
            fail("built clause refused by the list", c.clause);
    }

    // Find: the text handed to the list window finds a cell holding exactly what was typed.
    const QString search = texts.value(4).left(200);
    const QString replacement = texts.value(5).left(200);
    const qint64 rowsBefore = scalar(db, QStringLiteral("SELECT count(*) FROM AddressList"));
    db.execute(QStringLiteral("UPDATE AddressList SET FirstName = ") + jet::quote(search) +
                   QStringLiteral(" WHERE EAddress = \"b@x.com\""),
               true);
    for (bool exact : {false, true}) {
        const QString text = sendora::findStringText(search, exact);
        const QString criterion = text.contains(QLatin1Char('*'))
                                      ? QStringLiteral("[FirstName] Like ") + jet::quote(text)
                                      : QStringLiteral("[FirstName] = ") + jet::quote(text);
        const QString sql = QStringLiteral("SELECT count(*) FROM AddressList WHERE ") + criterion;
        expectSingle(db, sql, true, "SELECT");
        if (scalar(db, sql) < 1) fail("typed text does not find itself", sql);
    }

    // Replace All: the statements, then the run, which changes cells of one column only.
    for (const QString& column : {QStringLiteral("FirstName"), kOdd}) {
        expectSingle(db, sendora::replaceCountSql(column, search), true, "SELECT");
        expectSingle(db, sendora::replaceUpdateSql(column, search, replacement), false, "UPDATE");
    }
    const QStringList tables = db.tableNames();
    const qint64 n = scalar(db, QStringLiteral("SELECT sum(N) FROM AddressList"));
    YesInterface ui;
    for (auto match : {sendora::ReplaceMatch::WholeCell, sendora::ReplaceMatch::Contains})
        (void)sendora::replaceAll(ui, listPath(), QStringLiteral("FirstName"), search, replacement, match);
    if (db.tableNames() != tables ||
        scalar(db, QStringLiteral("SELECT count(*) FROM AddressList")) != rowsBefore ||
        scalar(db, QStringLiteral("SELECT sum(N) FROM AddressList")) != n ||
        db.fields(QStringLiteral("AddressList")).size() != 5)
        fail("Replace All changed more than its column", search + QLatin1Char('|') + replacement);
    db.execute(QStringLiteral("UPDATE AddressList SET FirstName = \"A\" WHERE EAddress = \"a@x.com\""), true);
    return 0;
}
