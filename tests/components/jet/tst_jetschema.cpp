// The system database and list file statements, run as the application runs them.

#include "components/jet/Jet.h"

#include <QTemporaryDir>
#include <QTest>

using namespace jet;

namespace {

const char* const kSchema[] = {
    "CREATE TABLE Sendora (SendoraName TEXT(100) NOT NULL, SendoraDescription MEMO, CONSTRAINT SendoraName "
    "PRIMARY KEY (SendoraName));",
    "CREATE TABLE List (ListName TEXT(100) NOT NULL,ListPath TEXT(255) NOT NULL,ListDescription MEMO, "
    "EmailFieldName TEXT(50),TitleFieldName TEXT(50),FNameFieldName TEXT(50),LNameFieldName "
    "TEXT(50),Key1FieldName TEXT(50),Key2FieldName TEXT(50),DateFieldName TEXT(50),SentFieldName TEXT(50), "
    "SourcePath TEXT(255), CONSTRAINT ListName PRIMARY KEY(ListName)) ",
    "CREATE TABLE MailEvent ( MailEventName Counter NOT NULL, SendoraName TEXT(100) NOT NULL, CreationDate "
    "DATETIME, ListName TEXT(100) NOT NULL, MessageName TEXT(100) NOT NULL, Profile Text(100) NOT NULL, "
    "DateSent TEXT(25), SentCount LONG, SentCountFailed LONG, Active YESNO, ScheduledDate DATETIME, "
    "ScheduledTime DATETIME, MailingSent YESNO, LastCount Long,  CONSTRAINT MailEventName PRIMARY "
    "KEY(MailEventName)) ",
    "CREATE TABLE Responder (ResponderEventName Counter NOT NULL, ResponderGroup TEXT(50) NOT NULL, "
    "ResponderName TEXT(100) NOT NULL, ResponderDesc TEXT(255), CreationDate DATETIME, POPAccountName "
    "TEXT(100) NOT NULL, FromAddress TEXT(100) NOT NULL, SMTPServer TEXT(100) NOT NULL, AuthReq YESNO, "
    "UserName TEXT(50), Password TEXT(50), StartDate DATETIME, StartTime DATETIME, Activate YESNO, "
    "MessageName TEXT(100) NOT NULL, MessageHandling INTEGER, CONSTRAINT ResponderEventName PRIMARY "
    "KEY(ResponderEventName)) ",
    "CREATE TABLE Message (MessageName TEXT(100) NOT NULL CONSTRAINT MessageName PRIMARY KEY,  "
    "MessageDescription MEMO, MessageCreationDate DATETIME, Subject TEXT(255), SendType INTEGER,  HTMLText "
    "MEMO,  MessageText MEMO, Attachments MEMO, MailingList TEXT(100),  UseGreetingManager YESNO, "
    "GreetingDisplay TEXT(50), Salutation TEXT(50), Punctuation TEXT(5), UseTitle YESNO, UseFName YESNO, "
    "UseLName YESNO, AddressType INTEGER, GreetingType INTEGER, GroupAddress TEXT(255), GroupGreeting "
    "TEXT(255), MissingFNameOption YESNO, MissingLNameOption YESNO, GenericName TEXT(50),  From TEXT(255),  "
    "XSendora TEXT(255),  HTMLGreeting MEMO)",
    "CREATE TABLE ErrorTable (ID COUNTER NOT NULL CONSTRAINT ID PRIMARY KEY, [Date] DATETIME, [Time] "
    "DATETIME, ErrDescription TEXT(255), ErrFunction TEXT(255), ErrSQLStr TEXT(255), ErrNumber LONG, "
    "ErrSource TEXT(255));",
    "CREATE TABLE Profile (ProfileName TEXT(100) NOT NULL CONSTRAINT ProfileName PRIMARY KEY,  "
    "ProfileDescription MEMO, ProfileCreationDate DateTime,  From TEXT(50), ReplyTo TEXT(50), "
    "CourtesyMessage MEMO, bSendFiltered YESNO, SQLFilter MEMO,  bFlagSends YESNO, SentFlag TEXT(50), "
    "bSendInBlocks YESNO, SendBlockSize LONG, bIfNotYetFlagged YESNO, SentFlagToCheck TEXT(50), bTimedBlocks "
    "YESNO, TimedBlockSize LONG, TimeIncrement LONG, bInsertTimeDelay YESNO, TimeDelay LONG, dns_retries "
    "INTEGER, mail_retries INTEGER, default_mail TEXT(50), SmtpServer TEXT(200),auth YESNO, username "
    "TEXT(50), password TEXT(50), dns_server TEXT(50), default_server YESNO, direct_send YESNO, dns_timeout "
    "LONG, mailer_timeout LONG, concurrent_mailers INTEGER)",
    "INSERT INTO Profile Values(\"Default Delivery "
    "Options\",\"\",\"\",\"sender@example.invalid\",\"reply@example.invalid\",\"\",0,\"\",1,\"SENT\",0,1000,"
    "1,\"SENT\",0,100,1,0,0,5,1,\"\",\"smtp.example.invalid\",0,\"\",\"\",\"\",0,0,5,15,10)",
    "CREATE TABLE POPAccounts (AccountID TEXT(255) NOT NULL CONSTRAINT AC_ID PRIMARY KEY,  UserName "
    "TEXT(255), Password TEXT(50), ServerName TEXT(255));",
    "CREATE TABLE ProductVersion (SendoraVersion TEXT(10) NOT NULL CONSTRAINT SendoraVersion PRIMARY KEY, "
    "ProductType TEXT(20), SDRVersion INTEGER)",
    "INSERT INTO ProductVersion VALUES(\"1.0.0\",\"Sendora\",9)",
};

const char* const kAddressList = "CREATE TABLE AddressList(EAddress TEXT(255) NOT NULL CONSTRAINT EAddress "
                                 "PRIMARY KEY, FirstName TEXT(255), "
                                 "LastName TEXT(255), Title TEXT(255), Sent TEXT(255), [Date] TEXT(255), "
                                 "Keyword1 TEXT(255), Keyword2 TEXT(255), "
                                 "Industry TEXT(255));";

qint64 count(Database& db, const QString& sql) {
    auto rs = db.openRecordset(sql);
    return rs->value(0).toLongLong();
}

// Rows handed out from memory, optionally failing after the first one.
class MemoryRows : public ExternalRows {
public:
    MemoryRows(QStringList names, QList<QVariantList> rows, bool failAfterFirst = false)
        : m_names(std::move(names)), m_rows(std::move(rows)), m_fail(failAfterFirst) {}
    std::vector<FieldDef> fields() const override {
        std::vector<FieldDef> out;
        for (const QString& n : m_names) {
            FieldDef f;
            f.name = n;
            f.size = 40;
            out.push_back(f);
        }
        return out;
    }
    bool next(QVariantList& row) override {
        if (m_at >= m_rows.size() || (m_fail && m_at == 1)) return false;
        row = m_rows[m_at++];
        return true;
    }
    QString errorText() const override { return m_fail ? QStringLiteral("bad record") : QString(); }

private:
    QStringList m_names;
    QList<QVariantList> m_rows;
    bool m_fail;
    qsizetype m_at = 0;
};

} // namespace

class TstJetSchema : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    std::unique_ptr<Database> m_db;
    QString file(const QString& name) const { return m_dir.filePath(name); }

    void createSystemDatabase() {
        m_db = Database::create(file(QStringLiteral("Sendora.sdr")));
        for (const char* sql : kSchema)
            m_db->execute(QString::fromUtf8(sql));
        m_db->setDefaultValue(QStringLiteral("MailEvent"), QStringLiteral("SentCount"), 0);
        m_db->setDefaultValue(QStringLiteral("MailEvent"), QStringLiteral("SentCountFailed"), 0);
        m_db->setDefaultValue(QStringLiteral("Responder"), QStringLiteral("ResponderGroup"),
                              QStringLiteral("Auto-Responder"));
        m_db->setDefaultValue(QStringLiteral("Profile"), QStringLiteral("SendBlockSize"), 1000);
        m_db->setDefaultValue(QStringLiteral("Message"), QStringLiteral("SendType"), 1);
        m_db->setDefaultValue(QStringLiteral("Message"), QStringLiteral("HTMLGreeting"), QString(""));
        m_db->setAllowZeroLength(QStringLiteral("Message"), QStringLiteral("Subject"), true);
        m_db->setAllowZeroLength(QStringLiteral("Message"), QStringLiteral("GenericName"), false);
    }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        createSystemDatabase();
    }

    void schemaTypes_data() {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("field");
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("size");
        QTest::addColumn<bool>("required");
        QTest::newRow("text size") << "List"
                                   << "ListName" << int(FieldType::Text) << 100 << true;
        QTest::newRow("memo") << "Sendora"
                              << "SendoraDescription" << int(FieldType::Memo) << 0 << false;
        QTest::newRow("counter") << "MailEvent"
                                 << "MailEventName" << int(FieldType::Counter) << 0 << true;
        QTest::newRow("yesno") << "MailEvent"
                               << "Active" << int(FieldType::YesNo) << 0 << false;
        QTest::newRow("long lower case") << "MailEvent"
                                         << "LastCount" << int(FieldType::Long) << 0 << false;
        QTest::newRow("integer") << "Responder"
                                 << "MessageHandling" << int(FieldType::Integer) << 0 << false;
        QTest::newRow("datetime bracketed") << "ErrorTable"
                                            << "Date" << int(FieldType::DateTime) << 0 << false;
        QTest::newRow("reserved name From") << "Message"
                                            << "From" << int(FieldType::Text) << 255 << false;
        QTest::newRow("field name any case") << "profile"
                                             << "SMTPSERVER" << int(FieldType::Text) << 200 << false;
    }
    void schemaTypes() {
        QFETCH(QString, table);
        QFETCH(QString, field);
        QVERIFY(m_db->hasField(table, field));
        for (const FieldDef& f : m_db->fields(table)) {
            if (f.name.compare(field, Qt::CaseInsensitive) != 0) continue;
            QFETCH(int, type);
            QCOMPARE(int(f.type), type);
            QTEST(f.size, "size");
            QTEST(f.required, "required");
            return;
        }
        QFAIL("field not listed");
    }

    void primaryKeysAndVersionRow() {
        const auto idx = m_db->indexes(QStringLiteral("POPAccounts"));
        QCOMPARE(idx.size(), size_t(1));
        QCOMPARE(idx[0].name, QStringLiteral("AC_ID"));
        QVERIFY(idx[0].primary);
        QCOMPARE(idx[0].fields, QStringList{QStringLiteral("AccountID")});
        auto rs = m_db->openRecordset(QStringLiteral("Select * from ProductVersion"));
        QCOMPARE(rs->value(QStringLiteral("SDRVersion")).toInt(), 9);
        QCOMPARE(rs->value(QStringLiteral("sendoraversion")).toString(), QStringLiteral("1.0.0"));
    }

    void defaultProfileRow() {
        auto rs = m_db->openRecordset(QStringLiteral("Profile"));
        rs->findFirst(QStringLiteral("ProfileName = 'Default Delivery Options'"));
        QVERIFY(!rs->noMatch());
        QVERIFY(rs->value(QStringLiteral("ProfileCreationDate")).isNull()); // "" in a date stays null
        QCOMPARE(rs->value(QStringLiteral("bFlagSends")).toInt(), True);    // Jet keeps true as -1
        QCOMPARE(rs->value(QStringLiteral("SendBlockSize")).toInt(), 1000);
        QCOMPARE(rs->value(QStringLiteral("concurrent_mailers")).toInt(), 10);
        QCOMPARE(rs->value(QStringLiteral("From")).toString(), QStringLiteral("sender@example.invalid"));
    }

    void defaultsApplyToSqlInsertAndAddNew() {
        m_db->execute(QStringLiteral("INSERT INTO Sendora Values(\"Sample\",\"Sample Sendora Group\")"));
        m_db->execute(QStringLiteral(
            "INSERT INTO MailEvent(SendoraName, ListName, MessageName, Profile) Values(\"Sample\",\"Sample - "
            "Formal Letter\",\"Sample - Sendora\",\"Default Delivery Options\")"));
        auto rs = m_db->openRecordset(
            QStringLiteral("SELECT * FROM MailEvent ORDER BY SendoraName, ListName, MessageName, DateSent"));
        QCOMPARE(rs->value(QStringLiteral("SentCount")).toInt(), 0);
        QCOMPARE(rs->value(QStringLiteral("Active")).toInt(), False); // YESNO never null
        QCOMPARE(rs->value(QStringLiteral("MailEventName")).toInt(), 1);
        QVERIFY(rs->value(QStringLiteral("LastCount")).isNull());

        auto msg = m_db->openRecordset(QStringLiteral("Message"));
        msg->addNew();
        msg->setValue(QStringLiteral("MessageName"), QStringLiteral("Draft"));
        msg->update();
        auto check =
            m_db->openRecordset(QStringLiteral("SELECT * FROM Message WHERE MessageName = \"DRAFT\";"));
        QCOMPARE(check->value(QStringLiteral("SendType")).toInt(), 1);
        QCOMPARE(check->value(QStringLiteral("HTMLGreeting")).toString(), QString(""));
        QVERIFY(!check->value(QStringLiteral("HTMLGreeting")).isNull());
        auto resp = m_db->openRecordset(QStringLiteral("Responder"));
        QVERIFY(resp->eof());
        m_db->execute(QStringLiteral("INSERT INTO Responder (ResponderName, POPAccountName, FromAddress, "
                                     "SMTPServer, MessageName) VALUES (\"r\",\"p\",\"f\",\"s\",\"m\")"));
        QCOMPARE(
            count(*m_db,
                  QStringLiteral("SELECT Count(*) FROM Responder WHERE ResponderGroup = \"auto-responder\"")),
            1);
    }

    void zeroLengthRule() {
        m_db->execute(QStringLiteral("INSERT INTO Message (MessageName, Subject) VALUES (\"zl1\", \"\")"));
        try {
            m_db->execute(
                QStringLiteral("INSERT INTO Message (MessageName, GenericName) VALUES (\"zl2\", \"\")"));
            QFAIL("empty text accepted where AllowZeroLength is off");
        } catch (const Error& e) {
            QCOMPARE(e.number(), 3315);
            QVERIFY(e.description().contains(QStringLiteral("GenericName")));
        }
        QVERIFY(!m_db->fields(QStringLiteral("Message"))[22].allowZeroLength);
        m_db->setAllowZeroLength(QStringLiteral("Message"), QStringLiteral("GenericName"), true);
        m_db->execute(
            QStringLiteral("INSERT INTO Message (MessageName, GenericName) VALUES (\"zl2\", \"\")"));
        QCOMPARE(count(*m_db, QStringLiteral("SELECT Count(*) FROM Message WHERE MessageName LIKE \"zl*\"")),
                 2);
    }

    void columnAdditionsStopAtFirstExisting() {
        m_db->execute(QStringLiteral("ALTER TABLE MailEvent ADD COLUMN LastCount2 LONG"));
        try {
            m_db->execute(QStringLiteral("ALTER TABLE Profile ADD COLUMN dns_server TEXT(50)"));
            QFAIL("adding an existing column must fail");
        } catch (const Error& e) {
            QCOMPARE(e.number(), int(ErrFieldExists));
        }
        m_db->execute(QStringLiteral("UPDATE MAILEVENT SET LastCount = 0"));
        QCOMPARE(m_db->recordsAffected(), 1);
        QCOMPARE(count(*m_db, QStringLiteral("SELECT LastCount FROM MailEvent")), 0);
    }

    void catalogueStatements() {
        Database& db = *m_db;
        db.execute(QStringLiteral("INSERT INTO List Values(\"Sample - Formal Letter\",\"Sample - Formal "
                                  "Letter.mdb\",\"SAMPLE\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\")"));
        db.execute(QStringLiteral("INSERT INTO List Values(\"Global Remove List\",\"Global Remove "
                                  "List.mdb\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\")"));
        // the row exists already: skipped, not an error
        db.execute(QStringLiteral("INSERT INTO List Values(\"GLOBAL REMOVE "
                                  "LIST\",\"x.mdb\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\")"));
        QCOMPARE(db.recordsAffected(), 0);
        QCOMPARE(count(db, QStringLiteral("SELECT Count(ListName) as c_ListName FROM [List] WHERE [ListName] "
                                          "= \"global remove list\";")),
                 1);
        db.execute(
            QStringLiteral("UPDATE LIST SET [listname] = \"Renamed\", [listpath] = \"Renamed.mdb\", "
                           "[listdescription] = \"d\" WHERE [listname] = \"Sample - Formal Letter\";"));
        QCOMPARE(db.recordsAffected(), 1);
        db.execute(QStringLiteral(
            "INSERT INTO List([listname],[listpath],[listdescription]) values(\"New\",\"New.mdb\",\"x\")"));
        QCOMPARE(count(db, QStringLiteral("SELECT Count(*) FROM List")), 3);
        db.execute(QStringLiteral("DELETE * FROM List WHERE ListName = \"renamed\";"));
        QCOMPARE(db.recordsAffected(), 1);
        db.execute(QStringLiteral("DELETE * FROM [Sendora] WHERE [SendoraName] = \"SAMPLE\";"));
        QCOMPARE(db.recordsAffected(), 1);
        auto rs = db.openRecordset(QStringLiteral(
            "SELECT [ListDescription] as [SDDescription] FROM [List] WHERE [ListName] = \"New\";"));
        QCOMPARE(rs->value(QStringLiteral("SDDescription")).toString(), QStringLiteral("x"));
        rs = db.openRecordset(QStringLiteral("SELECT ListName FROM List ORDER BY ListName"));
        QCOMPARE(rs->value(0).toString(), QStringLiteral("Global Remove List"));
    }

    void messageCopyThroughScratchTable() {
        Database& db = *m_db;
        db.execute(QStringLiteral("INSERT INTO Message (MessageName, MessageDescription, Subject, UseTitle) "
                                  "VALUES (\"Orig\", \"d\", \"00123\", True)"));
        try {
            db.execute(QStringLiteral("DROP TABLE xMessage;"));
        } catch (const Error& e) {
            QCOMPARE(e.number(), 3376);
        }
        db.execute(QStringLiteral("SELECT * INTO xMessage FROM Message WHERE [messagename] = \"Orig\";"));
        QCOMPARE(db.recordsAffected(), 1);
        db.execute(QStringLiteral("UPDATE [xMessage] SET [messagename] = \"Copy\", [messagedescription] = "
                                  "\"c\" WHERE [messagename] = \"Orig\";"));
        db.execute(
            QStringLiteral("INSERT INTO Message Select * From xMessage WHERE [messagename] = \"Copy\";"));
        QCOMPARE(db.recordsAffected(), 1);
        auto rs = db.openRecordset(QStringLiteral("SELECT * FROM Message WHERE MessageName = \"copy\""));
        QCOMPARE(rs->value(QStringLiteral("Subject")).toString(), QStringLiteral("00123")); // text stays text
        QCOMPARE(rs->value(QStringLiteral("UseTitle")).toInt(), True);
        QCOMPARE(rs->value(QStringLiteral("SendType")).toInt(), 1);
        // the copy keeps the declared types
        for (const FieldDef& f : db.fields(QStringLiteral("xMessage")))
            if (f.name == QLatin1String("MessageDescription")) QCOMPARE(int(f.type), int(FieldType::Memo));
    }

    void listFileColumns() {
        auto list = Database::create(file(QStringLiteral("Global Remove List.mdb")));
        list->execute(QString::fromUtf8(kAddressList));
        list->execute(QStringLiteral(
            "INSERT INTO AddressList "
            "VALUES(\"remove@vendor.invalid\",\"Global\",\"Remove\",\"\",\"\",\"\",\"\",\"\",\"\")"));
        list->execute(QStringLiteral("ALTER TABLE AddressList ADD COLUMN [My Column] TEXT(255);"));
        list->setAllowZeroLength(QStringLiteral("AddressList"), QStringLiteral("My Column"), true);
        QVERIFY(list->hasField(QStringLiteral("AddressList"), QStringLiteral("my column")));
        list->execute(QStringLiteral(
            "UPDATE [AddressList] SET [My Column] = \"v\" WHERE [EAddress] = \"REMOVE@vendor.invalid\";"));
        QCOMPARE(list->recordsAffected(), 1);
        list->execute(QStringLiteral("ALTER TABLE AddressList DROP COLUMN [My Column];"));
        QVERIFY(!list->hasField(QStringLiteral("AddressList"), QStringLiteral("My Column")));
        QCOMPARE(count(*list, QStringLiteral("SELECT COUNT(EAddress) AS C_EAddress FROM AddressList")), 1);
    }

    void directSendPreparation() {
        auto list = Database::open(file(QStringLiteral("Global Remove List.mdb")));
        list->execute(QStringLiteral("ALTER TABLE AddressList ADD COLUMN id LONG"));
        list->execute(QStringLiteral("ALTER TABLE AddressList ADD COLUMN error TEXT(255)"));
        list->execute(QStringLiteral("UPDATE AddressList SET error = \"\""));
        list->execute(QStringLiteral("CREATE INDEX PK_ID ON AddressList (id)"));
        QCOMPARE(list->indexes(QStringLiteral("AddressList")).size(), size_t(2));
        list->execute(QStringLiteral("DROP INDEX PK_ID ON AddressList"));
        list->execute(QStringLiteral("ALTER TABLE AddressList DROP COLUMN id"));
        QCOMPARE(count(*list, QStringLiteral("SELECT COUNT(*) FROM AddressList WHERE error <> \"\"")), 0);
        list->execute(QStringLiteral("UPDATE AddressList SET error = \"MX Error 5\""));
        QCOMPARE(
            count(*list, QStringLiteral("SELECT COUNT(*) FROM AddressList WHERE error LIKE \"MX Error*\"")),
            1);
        list->execute(QStringLiteral("DELETE * FROM addresslist WHERE error LIKE \"MX Error*\""));
        QCOMPARE(list->recordsAffected(), 1);
    }

    void primaryKeyAddedAfterwards() {
        auto db = Database::create(file(QStringLiteral("import.mdb")));
        db->execute(QStringLiteral("CREATE TABLE AddressList(EAddress TEXT(255));"));
        db->execute(QStringLiteral("ALTER TABLE AddressList ADD COLUMN FirstName TEXT(255);"));
        db->execute(QStringLiteral("INSERT INTO AddressList VALUES (\"a@x.com\", \"A\")"));
        db->execute(QStringLiteral("ALTER TABLE AddressList ADD CONSTRAINT MyPrKey PRIMARY KEY (EAddress);"));
        const auto idx = db->indexes(QStringLiteral("AddressList"));
        QCOMPARE(idx.size(), size_t(1));
        QCOMPARE(idx[0].name, QStringLiteral("MyPrKey"));
        QVERIFY(idx[0].primary);
        db->execute(QStringLiteral("INSERT INTO AddressList VALUES (\"A@X.COM\", \"dup\")"));
        QCOMPARE(db->recordsAffected(), 0); // same key in other case: skipped
        QCOMPARE(count(*db, QStringLiteral("SELECT Count(*) FROM AddressList")), 1);
        try {
            db->execute(QStringLiteral("INSERT INTO AddressList VALUES (\"A@X.COM\", \"dup\")"), true);
            QFAIL("failOnError must raise the key violation");
        } catch (const Error& e) {
            QCOMPARE(e.number(), int(ErrDuplicateKey));
        }
    }

    void externalTablesJoinThroughStatements() {
        QStringList asked;
        setExternalTableOpener([&asked](const QString& connect, const QString& table,
                                        QString& error) -> std::unique_ptr<ExternalRows> {
            asked << connect + QLatin1Char('|') + table;
            if (table == u"Contact1")
                return std::make_unique<MemoryRows>(
                    QStringList{QStringLiteral("ACCOUNTNO"), QStringLiteral("CONTACT")},
                    QList<QVariantList>{{QStringLiteral("A1"), QStringLiteral("Ann")},
                                        {QStringLiteral("B2"), QStringLiteral("Bob")}});
            if (table == u"ContSupp")
                return std::make_unique<MemoryRows>(
                    QStringList{QStringLiteral("ACCOUNTNO"), QStringLiteral("CONTACT"),
                                QStringLiteral("CONTSUPREF")},
                    QList<QVariantList>{
                        {QStringLiteral("A1"), QStringLiteral("E-mail Address"), QStringLiteral("a@x.com")},
                        {QStringLiteral("A1"), QStringLiteral("Phone"), QStringLiteral("555")},
                        {QStringLiteral("B2"), QStringLiteral("E-mail Address"), QStringLiteral("b@x.com")}});
            if (table == u"Broken")
                return std::make_unique<MemoryRows>(QStringList{QStringLiteral("X")},
                                                    QList<QVariantList>{{1}, {2}}, true);
            error = QStringLiteral("no table ") + table;
            return nullptr;
        });
        auto db = Database::create(file(QStringLiteral("external.mdb")));
        const QString connect = QStringLiteral("dBASE 5.0; DATABASE=/some/folder");
        db->linkExternalTable(QStringLiteral("STSL_Contact1"), connect, QStringLiteral("Contact1"));
        db->linkExternalTable(QStringLiteral("STSL_ContSupp"), connect, QStringLiteral("ContSupp"));
        QCOMPARE(asked.first(), connect + QStringLiteral("|Contact1"));
        QVERIFY(db->hasTable(QStringLiteral("stsl_contact1")));
        db->execute(QStringLiteral(
            "SELECT STSL_ContSupp.CONTSUPREF,STSL_Contact1.* INTO AddressList FROM STSL_ContSupp INNER JOIN  "
            "STSL_Contact1 ON STSL_Contact1.ACCOUNTNO = STSL_ContSupp.ACCOUNTNO WHERE STSL_ContSupp.Contact "
            "= "
            "\"E-mail Address\";"));
        QCOMPARE(db->recordsAffected(), 2);
        db->execute(QStringLiteral("DROP TABLE STSL_Contact1"));
        db->execute(QStringLiteral("DROP TABLE STSL_ContSupp"));
        QCOMPARE(db->tableNames(), QStringList{QStringLiteral("AddressList")});
        // the copies are gone from the connection, not just hidden
        QCOMPARE(count(*db, QStringLiteral("SELECT Count(*) FROM AddressList")), 2);
        QVERIFY_THROWS_EXCEPTION(Error, db->openRecordset(QStringLiteral("SELECT * FROM STSL_ContSupp")));

        db->setAllowZeroLength(QStringLiteral("AddressList"), QStringLiteral("CONTSUPREF"), true);
        db->renameField(QStringLiteral("Addresslist"), QStringLiteral("CONTSUPREF"),
                        QStringLiteral("EAddress"));
        const auto f = db->fields(QStringLiteral("AddressList"));
        QCOMPARE(f.front().name, QStringLiteral("EAddress"));
        QVERIFY(f.front().allowZeroLength);
        QCOMPARE(f[1].name, QStringLiteral("ACCOUNTNO"));
        QCOMPARE(count(*db, QStringLiteral("SELECT Count(*) FROM AddressList WHERE EAddress = \"A@X.COM\"")),
                 1);
        QVERIFY_THROWS_EXCEPTION(Error,
                                 db->renameField(QStringLiteral("AddressList"), QStringLiteral("CONTACT"),
                                                 QStringLiteral("eaddress")));

        // a reader that fails part-way, or a table the reader does not have, leaves no link
        for (const char* table : {"Broken", "Missing"}) {
            try {
                db->linkExternalTable(QStringLiteral("STSL_X"), connect, QString::fromLatin1(table));
                QFAIL("the link must fail");
            } catch (const Error& e) {
                QVERIFY(e.description().contains(table == std::string_view("Broken") ? u"bad record"
                                                                                     : u"no table Missing"));
            }
            QVERIFY(!db->hasTable(QStringLiteral("STSL_X")));
        }
        setExternalTableOpener({});
        QVERIFY_THROWS_EXCEPTION(Error, db->linkExternalTable(QStringLiteral("STSL_Contact1"), connect,
                                                              QStringLiteral("Contact1")));
    }
};

QTEST_GUILESS_MAIN(TstJetSchema)
#include "tst_jetschema.moc"
