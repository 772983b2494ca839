// Recordsets over a large list, and the files behind databases.

#include "components/jet/Jet.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace jet;

namespace {
constexpr int kRows = 100000;

QString address(int i) {
    return QStringLiteral("user%1@x.com").arg(i, 6, 10, QLatin1Char('0'));
}

void expectError(int number, const std::function<void()>& f) {
    try {
        f();
    } catch (const Error& e) {
        QCOMPARE(e.number(), number);
        return;
    }
    QFAIL("no error raised");
}
} // namespace

class TstJetRecordset : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_path;
    std::unique_ptr<Database> m_db;

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        m_path = m_dir.filePath(QStringLiteral("big.mdb"));
        m_db = Database::create(m_path);
        m_db->execute(QStringLiteral(
            "CREATE TABLE AddressList(EAddress TEXT(255) NOT NULL CONSTRAINT EAddress PRIMARY KEY, "
            "FirstName TEXT(255), Sent TEXT(255), Joined DATETIME, Active YESNO, Score LONG);"));
        QElapsedTimer t;
        t.start();
        auto rs = m_db->openRecordset(QStringLiteral("AddressList"));
        m_db->beginTransaction();
        for (int i = kRows - 1; i >= 0; --i) { // reverse, so address order differs from row order
            rs->addNew();
            rs->setValue(QStringLiteral("EAddress"), address(i));
            rs->setValue(QStringLiteral("firstname"), QStringLiteral("N%1").arg(i));
            rs->setValue(QStringLiteral("Score"), i);
            rs->update();
        }
        m_db->commit();
        qInfo("added %d rows in %lld ms", kRows, t.elapsed());
    }

    void walkCountsAsDao() {
        QElapsedTimer t;
        t.start();
        auto rs = m_db->openRecordset(QStringLiteral("SELECT * FROM AddressList ORDER BY [EAddress];"));
        QCOMPARE(rs->recordCount(), 1);
        QCOMPARE(rs->value(QStringLiteral("EAddress")).toString(), address(0));
        rs->moveLast();
        QCOMPARE(rs->recordCount(), kRows);
        QCOMPARE(rs->value(QStringLiteral("EAddress")).toString(), address(kRows - 1));
        rs->moveFirst();
        QCOMPARE(rs->recordCount(), kRows);
        int n = 0;
        qint64 sum = 0;
        for (; !rs->eof(); rs->moveNext(), ++n)
            sum += rs->value(QStringLiteral("Score")).toLongLong();
        QCOMPARE(n, kRows);
        QCOMPARE(sum, qint64(kRows) * (kRows - 1) / 2);
        expectError(ErrNoCurrentRecord, [&] { rs->moveNext(); });
        expectError(ErrNoCurrentRecord, [&] { rs->value(0); });
        qInfo("walked %d rows in %lld ms", kRows, t.elapsed());
        QVERIFY(t.elapsed() < 20000);
    }

    void findFirstAndNext() {
        auto rs = m_db->openRecordset(QStringLiteral("SELECT * FROM AddressList ORDER BY EAddress"));
        rs->findFirst(QStringLiteral("EAddress = '%1'").arg(address(50000).toUpper()));
        QVERIFY(!rs->noMatch());
        QCOMPARE(rs->value(QStringLiteral("Score")).toInt(), 50000);
        rs->findNext(QStringLiteral("EAddress LIKE 'user0500*'"));
        QVERIFY(!rs->noMatch());
        QCOMPARE(rs->value(QStringLiteral("EAddress")).toString(), address(50001));
        rs->findNext(QStringLiteral("Score = 10")); // behind the current row
        QVERIFY(rs->noMatch());
        QCOMPARE(rs->value(QStringLiteral("Score")).toInt(), 50001); // current row unchanged
        rs->moveNext();
        QCOMPARE(rs->value(QStringLiteral("Score")).toInt(), 50002);
        rs->findFirst(QStringLiteral("FirstName = \"n10\""));
        QVERIFY(!rs->noMatch());
        QCOMPARE(rs->value(QStringLiteral("EAddress")).toString(), address(10));
        expectError(ErrItemNotInCollection, [&] { rs->value(QStringLiteral("Nope")); });
        expectError(ErrTooFewParameters, [&] { rs->findFirst(QStringLiteral("Nope = 1")); });
    }

    void editWritesThroughAndIsCommitted() {
        auto rs = m_db->openRecordset(QStringLiteral("SELECT * FROM AddressList ORDER BY EAddress"));
        for (int i = 0; i < 3; ++i)
            rs->moveNext();
        expectError(ErrUpdateWithoutEdit,
                    [&] { rs->setValue(QStringLiteral("Sent"), QStringLiteral("SENT")); });
        rs->edit();
        rs->setValue(QStringLiteral("Sent"), QStringLiteral("SENT"));
        rs->setValue(QStringLiteral("Joined"), QDate(2024, 2, 29));
        rs->setValue(QStringLiteral("Active"), true);
        rs->update();
        QCOMPARE(rs->value(QStringLiteral("Sent")).toString(), QStringLiteral("SENT"));
        QCOMPARE(rs->value(QStringLiteral("Joined")).toDateTime(),
                 QDateTime(QDate(2024, 2, 29), QTime(0, 0)));
        QCOMPARE(rs->value(QStringLiteral("Active")).toInt(), True);
        // the recordset is still mid-walk: the change is committed for everyone else
        m_db->execute(QStringLiteral("UPDATE [AddressList] SET [SENT] = \"SENT\" WHERE [EAddress] = \"%1\";")
                          .arg(address(4)));
        auto other = Database::open(m_path, Database::OpenMode::ReadOnly);
        auto seen = other->openRecordset(
            QStringLiteral("SELECT Count(*) AS n FROM AddressList WHERE Sent = \"sent\""));
        QCOMPARE(seen->value(QStringLiteral("N")).toInt(), 2);
        rs->moveNext();
        QCOMPARE(rs->value(QStringLiteral("EAddress")).toString(), address(4));
        QCOMPARE(rs->value(QStringLiteral("Sent")).toString(), QStringLiteral("SENT"));
        expectError(ErrReadOnly, [&] { other->execute(QStringLiteral("DELETE FROM AddressList")); });
    }

    void addDeleteAndKeys() {
        auto rs = m_db->openRecordset(QStringLiteral("AddressList"));
        rs->addNew();
        rs->setValue(QStringLiteral("EAddress"), address(7).toUpper()); // same key, other case
        expectError(ErrDuplicateKey, [&] { rs->update(); });
        rs->cancelUpdate();
        rs->addNew();
        rs->setValue(QStringLiteral("EAddress"), QStringLiteral("new@x.com"));
        rs->setValue(QStringLiteral("Joined"), QDateTime(QDate(2001, 2, 3), QTime(4, 5, 6)));
        rs->update();
        auto added =
            m_db->openRecordset(QStringLiteral("SELECT * FROM AddressList WHERE EAddress = \"NEW@x.com\""));
        QCOMPARE(added->value(QStringLiteral("Joined")).toDateTime(),
                 QDateTime(QDate(2001, 2, 3), QTime(4, 5, 6)));
        QCOMPARE(added->value(QStringLiteral("Active")).toInt(), False);
        added->deleteCurrent();
        expectError(3167, [&] { added->value(0); });
        auto gone =
            m_db->openRecordset(QStringLiteral("SELECT * FROM AddressList WHERE EAddress = \"new@x.com\""));
        QVERIFY(gone->eof() && gone->bof());
        QCOMPARE(gone->recordCount(), 0);
        auto calc = m_db->openRecordset(QStringLiteral("SELECT Count(*) AS n FROM AddressList"));
        QCOMPARE(calc->value(0).toInt(), kRows);
        expectError(ErrReadOnly, [&] { calc->edit(); });
    }

    void filesAndModes() {
        const QString missing = m_dir.filePath(QStringLiteral("missing.mdb"));
        try {
            Database::open(missing);
            QFAIL("opened a missing file");
        } catch (const Error& e) {
            QCOMPARE(e.number(), int(ErrFileNotFound));
            QCOMPARE(e.description(), QStringLiteral("Could not find file '%1'.").arg(missing));
        }
        const QString text = m_dir.filePath(QStringLiteral("notes.mdb"));
        QFile f(text);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("This is not a database, just some text that is long enough to fill a header page.\n");
        f.close();
        expectError(ErrNotADatabase, [&] { Database::open(text); });
        QFile empty(m_dir.filePath(QStringLiteral("empty.mdb")));
        QVERIFY(empty.open(QIODevice::WriteOnly));
        empty.close();
        expectError(ErrNotADatabase, [&] { Database::open(empty.fileName()); });
        expectError(3204, [&] { Database::create(m_path); });
        QVERIFY(!engineVersion().isEmpty());
    }

    void statementsAndRecordsetsOutliveTheirDatabase() {
        auto db = Database::open(m_path);
        auto st = db->prepareStatement(QStringLiteral("SELECT EAddress FROM AddressList WHERE EAddress = ") +
                                       param(1));
        st->bind(1, address(3));
        QVERIFY(st->first());
        QCOMPARE(st->value(0).toString(), address(3));
        auto upd = db->prepareStatement(
            QStringLiteral("UPDATE AddressList SET Sent = \"X\" WHERE EAddress = ") + param(1));
        auto rs = db->openRecordset(QStringLiteral("AddressList"));
        db.reset(); // closes the file and frees the database
        expectError(3420, [&] { st->first(); });
        expectError(3420, [&] { st->value(0); });
        expectError(3420, [&] { upd->bind(1, address(4)); });
        expectError(3420, [&] { upd->execute(); });
        expectError(3420, [&] { rs->moveNext(); });
        st.reset();
        upd.reset();
        rs.reset();
    }

    void fileOpensInSqliteShell() {
        const QString shell = QStandardPaths::findExecutable(QStringLiteral("sqlite3"));
        if (shell.isEmpty()) QSKIP("sqlite3 shell not installed");
        m_db->close();
        QVERIFY(!m_db->isOpen());
        QProcess p;
        p.start(shell, {m_path, QStringLiteral("SELECT count(*) FROM AddressList; SELECT EAddress FROM "
                                               "AddressList WHERE EAddress = 'USER000001@X.COM';")});
        QVERIFY(p.waitForFinished(30000));
        QCOMPARE(p.exitCode(), 0);
        QCOMPARE(QString::fromUtf8(p.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts),
                 (QStringList{QString::number(kRows), address(1)}));
        m_db = Database::open(m_path);
    }
};

QTEST_GUILESS_MAIN(TstJetRecordset)
#include "tst_jetrecordset.moc"
