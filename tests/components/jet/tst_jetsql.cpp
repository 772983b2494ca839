// Jet query semantics: literals, LIKE, TOP, case, appends by name, other files and links.

#include "components/jet/Jet.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace jet;

namespace {

const QString kCreateList = QStringLiteral("CREATE TABLE AddressList(EAddress TEXT(255) NOT NULL CONSTRAINT "
                                           "EAddress PRIMARY KEY, FirstName TEXT(255), "
                                           "LastName TEXT(255), Title TEXT(255), Sent TEXT(255), [Date] "
                                           "TEXT(255), Keyword1 TEXT(255), Keyword2 TEXT(255));");

QStringList column(Database& db, const QString& sql) {
    QStringList out;
    for (auto rs = db.openRecordset(sql); !rs->eof(); rs->moveNext())
        out << rs->value(0).toString();
    return out;
}

std::unique_ptr<Database> listFile(const QString& path, const QStringList& addresses) {
    auto db = Database::create(path);
    db->execute(kCreateList);
    for (const QString& a : addresses)
        db->execute(QStringLiteral("INSERT INTO AddressList (EAddress, FirstName) VALUES (%1, %2)")
                        .arg(quote(a), quote(path.right(5))));
    return db;
}

} // namespace

class TstJetSql : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    std::unique_ptr<Database> m_db;
    QString file(const QString& name) const { return m_dir.filePath(name); }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        m_db = listFile(file(QStringLiteral("main.mdb")), {});
    }

    void init() { m_db->execute(QStringLiteral("DELETE FROM AddressList")); }

    void hostileValuesStayData_data() {
        QTest::addColumn<QString>("value");
        QTest::newRow("double quote") << "O\"Brien\"\"x";
        QTest::newRow("single quote") << "O'Brien'; DROP TABLE AddressList; --";
        QTest::newRow("bracket") << "a]b[c] [x";
        QTest::newRow("comment and semicolon") << "x--y; /* z */";
        QTest::newRow("wildcards") << "*?#[a-z]%_";
        QTest::newRow("backslash and unicode") << "C:\\tmp\\ü€";
    }
    void hostileValuesStayData() {
        QFETCH(QString, value);
        m_db->execute(
            QStringLiteral("INSERT INTO AddressList (EAddress, Keyword1) VALUES (%1, %1)").arg(quote(value)));
        QCOMPARE(
            column(*m_db,
                   QStringLiteral("SELECT Keyword1 FROM AddressList WHERE EAddress = %1").arg(quote(value))),
            QStringList{value});
        QCOMPARE(column(*m_db, QStringLiteral("SELECT EAddress FROM AddressList WHERE EAddress LIKE %1")
                                   .arg(quote(escapeLike(value)))),
                 QStringList{value});
        // a user column named like the value
        m_db->execute(QStringLiteral("ALTER TABLE AddressList ADD COLUMN %1 TEXT(255);").arg(bracket(value)));
        QVERIFY(m_db->hasField(QStringLiteral("AddressList"), value));
        m_db->execute(QStringLiteral("ALTER TABLE AddressList DROP COLUMN %1;").arg(bracket(value)));
        QVERIFY(m_db->hasTable(QStringLiteral("AddressList")));
    }

    void likeMatchesAsJet_data() {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("match");
        QTest::newRow("star prefix") << "Unknown*"
                                     << "Unknown17" << true;
        QTest::newRow("star ignores case") << "unknown*"
                                           << "UNKNOWN17" << true;
        QTest::newRow("star needs prefix") << "Unknown*"
                                           << "xUnknown" << false;
        QTest::newRow("question one char") << "a?c"
                                           << "abc" << true;
        QTest::newRow("question not two") << "a?c"
                                          << "abbc" << false;
        QTest::newRow("hash digit") << "ab#"
                                    << "ab7" << true;
        QTest::newRow("hash not letter") << "ab#"
                                         << "abx" << false;
        QTest::newRow("class") << "[a-c]x"
                               << "Bx" << true;
        QTest::newRow("negated class") << "[!a-c]x"
                                       << "bx" << false;
        QTest::newRow("percent is literal") << "%%NewMailMessage%%*"
                                            << "%%NewMailMessage%%12" << true;
        QTest::newRow("percent not wildcard") << "a%"
                                              << "abc" << false;
        QTest::newRow("underscore literal") << "a_c"
                                            << "abc" << false;
        QTest::newRow("underscore itself") << "a_c"
                                           << "a_c" << true;
        QTest::newRow("escaped star") << "a[*]"
                                      << "a*" << true;
        QTest::newRow("escaped star exact") << "a[*]"
                                            << "ab" << false;
        QTest::newRow("many stars") << "*a*a*a*a*a*a*a*a*b" << QString(2000, QLatin1Char('a')) << false;
    }
    void likeMatchesAsJet() {
        QFETCH(QString, pattern);
        QFETCH(QString, text);
        m_db->execute(QStringLiteral("INSERT INTO AddressList (EAddress) VALUES (%1)").arg(quote(text)));
        const bool got =
            !column(*m_db, QStringLiteral("SELECT EAddress FROM AddressList WHERE EAddress LIKE %1")
                               .arg(quote(pattern)))
                 .isEmpty();
        QTEST(got, "match");
        const bool negated =
            !column(
                 *m_db,
                 QStringLiteral("SELECT EAddress FROM AddressList WHERE EAddress NOT LIKE '%1'").arg(pattern))
                 .isEmpty();
        QCOMPARE(negated, !got);
    }

    void caseInsensitiveComparisons() {
        m_db->execute(QStringLiteral(
            "INSERT INTO AddressList (EAddress, Sent) VALUES (\"Bob@Example.COM\", \"SENT\")"));
        QCOMPARE(
            column(*m_db, QStringLiteral(
                              "SELECT [EAddress] FROM [AddressList] WHERE [EAddress] = \"bob@example.com\";"))
                .size(),
            1);
        QCOMPARE(column(*m_db, QStringLiteral("SELECT EAddress FROM ADDRESSLIST WHERE Mid( EAddress, Instr( "
                                              "EAddress, \"@\" ) + 1 ) = \"example.com\""))
                     .size(),
                 1);
        QCOMPARE(
            column(*m_db, QStringLiteral(
                              "SELECT EAddress FROM AddressList WHERE Instr(1, EAddress, \"EXAMPLE\") = 5"))
                .size(),
            1);
        // ASCII values take a byte path, others the UTF-16 one: both count characters alike.
        for (const QString& text : {QStringLiteral("abcDEF"), QStringLiteral("äbcDEF")}) {
            const QString q = jet::quote(text);
            QCOMPARE(
                column(*m_db, QStringLiteral("SELECT Mid(%1, 2, 3) & \"|\" & Mid(%1, 9) & \"|\" & "
                                             "Instr(%1, \"def\") & \"|\" & Instr(5, %1, \"d\") & \"|\" & "
                                             "Instr(%1, \"\") & \"|\" & Instr(8, %1, \"\") FROM AddressList")
                                  .arg(q)),
                QStringList{text.mid(1, 3) + QStringLiteral("||4|0|1|0")});
        }
        QCOMPARE(
            column(
                *m_db,
                QStringLiteral(
                    "SELECT UCase(Left(EAddress, 3)) & \"-\" & LCase(Right(EAddress, 3)) FROM AddressList")),
            QStringList{QStringLiteral("BOB-com")});
        QCOMPARE(column(*m_db, QStringLiteral("SELECT Len(Trim(\"  ab  \")) FROM AddressList")),
                 QStringList{QStringLiteral("2")});
        // the sent-flag selection: flagged rows (any case) are skipped, null rows taken
        m_db->execute(
            QStringLiteral("INSERT INTO AddressList (EAddress, Sent) VALUES (\"c@x.com\", \"sent\")"));
        m_db->execute(QStringLiteral("INSERT INTO AddressList (EAddress) VALUES (\"d@x.com\")"));
        QCOMPARE(column(*m_db, QStringLiteral("SELECT TOP 1000 * FROM AddressList WHERE [Sent] <> \"SENT\" "
                                              "OR isnull([sent]) ORDER BY [EAddress];")),
                 QStringList{QStringLiteral("d@x.com")});
        QCOMPARE(
            column(*m_db,
                   QStringLiteral(
                       "SELECT EAddress FROM AddressList WHERE Not IsNull(Sent) AND True ORDER BY EAddress"))
                .size(),
            2);
        QCOMPARE(column(*m_db, QStringLiteral("SELECT EAddress FROM AddressList ORDER BY EAddress")).first(),
                 QStringLiteral("Bob@Example.COM"));
    }

    void topN() {
        for (int i = 0; i < 20; ++i)
            m_db->execute(QStringLiteral("INSERT INTO AddressList (EAddress) VALUES (\"a%1@x.com\")")
                              .arg(i, 2, 10, QLatin1Char('0')));
        const QStringList top =
            column(*m_db, QStringLiteral("SELECT TOP 5 * FROM AddressList ORDER BY [EAddress] DESC;"));
        QCOMPARE(top.size(), 5);
        QCOMPARE(top.first(), QStringLiteral("a19@x.com"));
        QCOMPARE(column(*m_db, QStringLiteral("SELECT COUNT(*) FROM AddressList WHERE EAddress IN (SELECT "
                                              "TOP 3 EAddress FROM AddressList ORDER BY EAddress)")),
                 QStringList{QStringLiteral("3")});
        QVERIFY(m_db->translate(QStringLiteral("SELECT TOP 5 * FROM [Address List] WHERE a = \"x\""))
                    .endsWith(QLatin1String("LIMIT 5")));
    }

    void duplicatesRemovedAllCopies() {
        auto db = Database::create(file(QStringLiteral("dups.mdb")));
        db->execute(QStringLiteral("CREATE TABLE AddressList(EAddress TEXT(255), FirstName TEXT(255));"));
        for (const char* a : {"a@x.com", "A@X.com", "b@x.com", "c@x.com", "c@x.com"})
            db->execute(
                QStringLiteral("INSERT INTO AddressList VALUES (\"%1\", \"n\")").arg(QString::fromLatin1(a)));
        QCOMPARE(
            column(*db,
                   QStringLiteral(
                       "SELECT DISTINCTROW * From AddressList WHERE (((EAddress) In (SELECT [EAddress] FROM "
                       "[AddressList] As Tmp GROUP BY [EAddress] HAVING Count(*)>1 ))) ORDER BY EAddress;"))
                .size(),
            4);
        db->execute(QStringLiteral("DELETE * From AddressList WHERE (((EAddress) In (SELECT [EAddress] FROM "
                                   "[AddressList] As Tmp GROUP BY [EAddress] HAVING Count(*)>1 )));"));
        QCOMPARE(db->recordsAffected(), 4);
        db->execute(
            QStringLiteral("SELECT EAddress,FirstName INTO TEMPADDR FROM AddressList ORDER BY EAddress"));
        db->execute(QStringLiteral("DROP TABLE AddressList"));
        db->renameTable(QStringLiteral("TEMPADDR"), QStringLiteral("AddressList"));
        QCOMPARE(column(*db, QStringLiteral("SELECT * FROM AddressList")),
                 QStringList{QStringLiteral("b@x.com")});
    }

    void mergeCleanAndCompanionAcrossFiles() {
        const QString p1 = file(QStringLiteral("one.mdb")), p2 = file(QStringLiteral("two.mdb"));
        listFile(p1, {QStringLiteral("a@x.com"), QStringLiteral("b@x.com"), QStringLiteral("Unknown1")});
        listFile(p2, {QStringLiteral("B@X.COM"), QStringLiteral("c@x.com")});
        // merge: rows of the first list win, the key skips the second's duplicates
        auto target = Database::create(file(QStringLiteral("merge.mdb")));
        target->execute(QStringLiteral(
            "CREATE TABLE AddressList (EAddress TEXT(255), FirstName TEXT(255), Extra TEXT(255));"));
        target->execute(
            QStringLiteral("ALTER TABLE AddressList ADD CONSTRAINT MyPrKey PRIMARY KEY (EAddress);"));
        target->execute(QStringLiteral("INSERT INTO AddressList SELECT * FROM [%1].AddressList;").arg(p1));
        QCOMPARE(target->recordsAffected(), 3);
        target->linkTable(QStringLiteral("MoreAddressList"), p2, QStringLiteral("AddressList"));
        QVERIFY(target->hasTable(QStringLiteral("moreaddresslist")));
        target->execute(QStringLiteral("Insert into AddressList select * from MoreAddressList"));
        QCOMPARE(target->recordsAffected(), 1);
        // the link reads and writes the other file's table
        target->execute(
            QStringLiteral("UPDATE MoreAddressList SET Sent = \"S\" WHERE EAddress = \"c@x.com\""));
        QCOMPARE(target->recordsAffected(), 1);
        {
            auto linked = target->openRecordset(QStringLiteral("MoreAddressList"));
            linked->findFirst(QStringLiteral("Sent = 's'"));
            QVERIFY(!linked->noMatch());
            linked->edit();
            linked->setValue(QStringLiteral("Title"), QStringLiteral("T"));
            linked->update();
        }
        QCOMPARE(
            column(*Database::open(p2), QStringLiteral("SELECT Title FROM AddressList WHERE Sent = \"S\"")),
            QStringList{QStringLiteral("T")});
        target->unlinkTable(QStringLiteral("MoreAddressList"));
        QVERIFY(!target->hasTable(QStringLiteral("MoreAddressList")));
        QCOMPARE(
            column(*target, QStringLiteral("SELECT FirstName FROM AddressList WHERE EAddress = \"b@x.com\"")),
            QStringList{QStringLiteral("e.mdb")}); // from one.mdb
        // clean: delete the rows found in the second list
        target->execute(QStringLiteral("Create Table Deletions (EAddress TEXT(255), FirstName TEXT(255));"));
        target->execute(
            QStringLiteral("INSERT INTO Deletions SELECT * FROM [%1].AddressList ORDER BY eaddress;")
                .arg(p2));
        target->execute(
            QStringLiteral("DELETE AddressList.* FROM AddressList INNER JOIN Deletions ON "
                           "AddressList.EAddress = Deletions.EAddress WHERE ([Deletions].[EAddress] = "
                           "[AddressList].[EAddress]) WITH OWNERACCESS OPTION;"));
        QCOMPARE(target->recordsAffected(), 2);
        target->execute(QStringLiteral("DROP TABLE Deletions"));
        // companion list of records without address
        auto companion = Database::create(file(QStringLiteral("one(No Addresses).mdb")));
        companion->execute(QStringLiteral("SELECT * INTO NoAddressList From [%1].AddressList WHERE "
                                          "AddressList.EAddress LIKE \"Unknown*\";")
                               .arg(p1));
        QCOMPARE(companion->recordsAffected(), 1);
        companion->renameTable(QStringLiteral("NoAddressList"), QStringLiteral("AddressList"));
        QCOMPARE(column(*companion, QStringLiteral("SELECT EAddress FROM AddressList")),
                 QStringList{QStringLiteral("Unknown1")});
        // IN "<file>" on both sides of a statement
        target->execute(QStringLiteral("INSERT INTO [AddressList](EAddress, FirstName) SELECT EAddress, "
                                       "FirstName FROM [AddressList] IN \"%1\";")
                            .arg(p2));
        target->execute(QStringLiteral("DELETE * FROM  [AddressList] WHERE EAddress In  (SELECT EAddress "
                                       "FROM [AddressList] IN \"%1\");")
                            .arg(p2));
        QCOMPARE(target->recordsAffected(), 2);
        QCOMPARE(column(*target, QStringLiteral("SELECT EAddress FROM AddressList ORDER BY EAddress")),
                 (QStringList{QStringLiteral("a@x.com"), QStringLiteral("Unknown1")}));
    }

    void insertSelectPairsColumnsByName() {
        auto db = Database::create(file(QStringLiteral("byname.mdb")));
        db->execute(QStringLiteral("CREATE TABLE T (A TEXT(10), B LONG, C YESNO)"));
        db->execute(QStringLiteral("CREATE TABLE S (b LONG, Z TEXT(10), a TEXT(10))"));
        db->execute(QStringLiteral("INSERT INTO S VALUES (7, \"z\", \"x\")"));
        db->execute(QStringLiteral("INSERT INTO T SELECT * FROM S"));
        auto rs = db->openRecordset(QStringLiteral("T"));
        QCOMPARE(rs->value(QStringLiteral("A")).toString(), QStringLiteral("x"));
        QCOMPARE(rs->value(QStringLiteral("B")).toInt(), 7);
        QCOMPARE(rs->value(QStringLiteral("C")).toInt(), 0);
        db->execute(QStringLiteral("INSERT INTO T VALUES (\"p\", 1, Yes)"));
        QCOMPARE(column(*db, QStringLiteral("SELECT C FROM T WHERE A = \"P\"")),
                 QStringList{QStringLiteral("-1")});
    }

    void dateLiteralsAndValues() {
        auto db = Database::create(file(QStringLiteral("dates.mdb")));
        db->execute(
            QStringLiteral("CREATE TABLE E (ID COUNTER CONSTRAINT PK PRIMARY KEY, D DATETIME, N LONG)"));
        db->execute(QStringLiteral("INSERT INTO E (D, N) VALUES (#12/30/1899#, \"\")"));
        db->execute(QStringLiteral("INSERT INTO E (D) VALUES (Now())"));
        auto rs = db->openRecordset(QStringLiteral("SELECT * FROM E WHERE D = #1899-12-30#"));
        QCOMPARE(rs->value(QStringLiteral("D")).toDateTime(), QDateTime(QDate(1899, 12, 30), QTime(0, 0)));
        QVERIFY(rs->value(QStringLiteral("N")).isNull());
        rs = db->openRecordset(QStringLiteral("SELECT * FROM E WHERE D > #1/1/2000#"));
        QVERIFY(!rs->eof());
        QVERIFY(qAbs(rs->value(QStringLiteral("D")).toDateTime().secsTo(QDateTime::currentDateTime())) < 60);
        QCOMPARE(rs->fieldType(1), FieldType::DateTime);
        QCOMPARE(rs->fieldType(0), FieldType::Counter);
    }

    void readOnlyQueryRefusals_data() {
        QTest::addColumn<QString>("sql");
        QTest::newRow("second statement") << "SELECT * FROM AddressList; DELETE FROM AddressList";
        QTest::newRow("delete") << "DELETE * FROM AddressList";
        QTest::newRow("update") << "UPDATE AddressList SET Sent = \"x\"";
        QTest::newRow("select into") << "SELECT * INTO Copy FROM AddressList";
        QTest::newRow("drop") << "DROP TABLE AddressList";
    }
    void readOnlyQueryRefusals() {
        QFETCH(QString, sql);
        m_db->execute(QStringLiteral("INSERT INTO AddressList (EAddress) VALUES (\"keep@x.com\")"));
        try {
            m_db->openReadOnlyQuery(sql);
            QFAIL("statement accepted");
        } catch (const Error& e) {
            QCOMPARE(e.number(), int(ErrFilterNotReadOnly));
        }
        QCOMPARE(column(*m_db, QStringLiteral("SELECT EAddress FROM AddressList")),
                 QStringList{QStringLiteral("keep@x.com")});
        auto rs = m_db->openReadOnlyQuery(
            QStringLiteral("SELECT AddressList.* From AddressList WHERE ((EAddress LIKE \"keep*\"));"));
        QCOMPARE(rs->value(QStringLiteral("eaddress")).toString(), QStringLiteral("keep@x.com"));
        QVERIFY_THROWS_EXCEPTION(Error, rs->addNew());
    }

    void progressHandlerCancelsAStatementWhole() {
        for (int i = 0; i < 2000; ++i)
            m_db->execute(QStringLiteral("INSERT INTO AddressList (EAddress) VALUES (\"p%1@x.com\")").arg(i));
        int calls = 0;
        m_db->setProgressHandler([&calls] { return ++calls < 2; });
        try {
            m_db->execute(QStringLiteral("UPDATE AddressList SET Sent = \"S\""));
            QFAIL("not cancelled");
        } catch (const Error& e) {
            QCOMPARE(e.number(), int(ErrCanceled));
        }
        m_db->setProgressHandler({});
        QCOMPARE(column(*m_db, QStringLiteral("SELECT Count(*) FROM AddressList WHERE Sent = \"S\"")),
                 QStringList{QStringLiteral("0")});
        // a cancelled text export leaves no file
        m_db->setProgressHandler([] { return false; });
        QVERIFY_THROWS_EXCEPTION(
            Error, m_db->execute(QStringLiteral("select * into [Text;database=%1].[out.csv] from AddressList")
                                     .arg(m_dir.path())));
        m_db->setProgressHandler({});
        QVERIFY(!QFile::exists(file(QStringLiteral("out.csv"))));
    }

    void errorsCarryJetNumbers_data() {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("mentions");
        QTest::newRow("missing table") << "SELECT * FROM Nowhere" << int(ErrTableNotFound) << "Nowhere";
        QTest::newRow("missing field")
            << "SELECT Bogus FROM AddressList" << int(ErrTooFewParameters) << "Bogus";
        QTest::newRow("table exists") << kCreateList << int(ErrTableExists) << "AddressList";
        QTest::newRow("syntax") << "SELEC * FROM AddressList" << 3129 << "SELECT";
        QTest::newRow("open string") << "SELECT * FROM AddressList WHERE a = \"x" << int(ErrSyntax)
                                     << "quote";
        QTest::newRow("parameter marker") << "SELECT * FROM AddressList WHERE a = ?" << int(ErrSyntax) << "?";
        QTest::newRow("missing file")
            << "SELECT * FROM [/nonexistent/x.mdb].AddressList" << int(ErrFileNotFound) << "x.mdb";
        QTest::newRow("drop missing index")
            << "DROP INDEX Nope ON AddressList" << int(ErrObjectNotFound) << "Nope";
    }
    void errorsCarryJetNumbers() {
        QFETCH(QString, sql);
        QFETCH(QString, mentions);
        try {
            if (sql.startsWith(QLatin1String("SELECT")))
                m_db->openRecordset(sql);
            else
                m_db->execute(sql);
            QFAIL("no error");
        } catch (const Error& e) {
            QTEST(e.number(), "number");
            QVERIFY2(e.description().contains(mentions), qPrintable(e.description()));
        }
    }
};

QTEST_GUILESS_MAIN(TstJetSql)
#include "tst_jetsql.moc"
