#include "core/SystemDatabase.h"

#include "components/jet/Jet.h"
#include "core/AppContext.h"
#include "core/ErrorLog.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstdio>

namespace sendora {

namespace {

const QString kModule = QStringLiteral(" in mdlDatabaseUtils");

} // namespace

QStringList schemaStatements() {
    return {
        QStringLiteral(
            "CREATE TABLE Sendora (SendoraName TEXT(100) NOT NULL, SendoraDescription MEMO, CONSTRAINT "
            "SendoraName PRIMARY KEY (SendoraName));"),
        QStringLiteral(
            "CREATE TABLE List (ListName TEXT(100) NOT NULL,ListPath TEXT(255) NOT NULL,ListDescription "
            "MEMO, EmailFieldName TEXT(50),TitleFieldName TEXT(50),FNameFieldName TEXT(50),LNameFieldName "
            "TEXT(50),Key1FieldName TEXT(50),Key2FieldName TEXT(50),DateFieldName TEXT(50),SentFieldName "
            "TEXT(50), SourcePath TEXT(255), CONSTRAINT ListName PRIMARY KEY(ListName)) "),
        QStringLiteral(
            "CREATE TABLE MailEvent ( MailEventName Counter NOT NULL, SendoraName TEXT(100) NOT NULL, "
            "CreationDate DATETIME, ListName TEXT(100) NOT NULL, MessageName TEXT(100) NOT NULL, Profile "
            "Text(100) NOT NULL, DateSent TEXT(25), SentCount LONG, SentCountFailed LONG, Active YESNO, "
            "ScheduledDate DATETIME, ScheduledTime DATETIME, MailingSent YESNO, LastCount Long,  "
            "CONSTRAINT MailEventName PRIMARY KEY(MailEventName)) "),
        QStringLiteral(
            "CREATE TABLE Responder (ResponderEventName Counter NOT NULL, ResponderGroup TEXT(50) NOT "
            "NULL, ResponderName TEXT(100) NOT NULL, ResponderDesc TEXT(255), CreationDate DATETIME, "
            "POPAccountName TEXT(100) NOT NULL, FromAddress TEXT(100) NOT NULL, SMTPServer TEXT(100) NOT "
            "NULL, AuthReq YESNO, UserName TEXT(50), Password TEXT(50), StartDate DATETIME, StartTime "
            "DATETIME, Activate YESNO, MessageName TEXT(100) NOT NULL, MessageHandling INTEGER, CONSTRAINT "
            "ResponderEventName PRIMARY KEY(ResponderEventName)) "),
        QStringLiteral(
            "CREATE TABLE Message (MessageName TEXT(100) NOT NULL CONSTRAINT MessageName PRIMARY KEY,  "
            "MessageDescription MEMO, MessageCreationDate DATETIME, Subject TEXT(255), SendType INTEGER,  "
            "HTMLText MEMO,  MessageText MEMO, Attachments MEMO, MailingList TEXT(100),  "
            "UseGreetingManager YESNO, GreetingDisplay TEXT(50), Salutation TEXT(50), Punctuation TEXT(5), "
            "UseTitle YESNO, UseFName YESNO, UseLName YESNO, AddressType INTEGER, GreetingType INTEGER, "
            "GroupAddress TEXT(255), GroupGreeting TEXT(255), MissingFNameOption YESNO, "
            "MissingLNameOption YESNO, GenericName TEXT(50),  From TEXT(255),  XSendora TEXT(255),  "
            "HTMLGreeting MEMO)"),
        QStringLiteral(
            "CREATE TABLE ErrorTable (ID COUNTER NOT NULL CONSTRAINT ID PRIMARY KEY, [Date] DATETIME, "
            "[Time] DATETIME, ErrDescription TEXT(255), ErrFunction TEXT(255), ErrSQLStr TEXT(255), "
            "ErrNumber LONG, ErrSource TEXT(255));"),
        QStringLiteral(
            "CREATE TABLE Profile (ProfileName TEXT(100) NOT NULL CONSTRAINT ProfileName PRIMARY KEY,  "
            "ProfileDescription MEMO, ProfileCreationDate DateTime,  From TEXT(50), ReplyTo TEXT(50), "
            "CourtesyMessage MEMO, bSendFiltered YESNO, SQLFilter MEMO,  bFlagSends YESNO, SentFlag "
            "TEXT(50), bSendInBlocks YESNO, SendBlockSize LONG, bIfNotYetFlagged YESNO, SentFlagToCheck "
            "TEXT(50), bTimedBlocks YESNO, TimedBlockSize LONG, TimeIncrement LONG, bInsertTimeDelay YESNO, "
            "TimeDelay LONG, dns_retries INTEGER, mail_retries INTEGER, default_mail TEXT(50), SmtpServer "
            "TEXT(200),auth YESNO, username TEXT(50), password TEXT(50), dns_server TEXT(50), "
            "default_server YESNO, direct_send YESNO, dns_timeout LONG, mailer_timeout LONG, "
            "concurrent_mailers INTEGER)"),
        QStringLiteral(
            "CREATE TABLE POPAccounts (AccountID TEXT(255) NOT NULL CONSTRAINT AC_ID PRIMARY KEY,  "
            "UserName TEXT(255), Password TEXT(50), ServerName TEXT(255));"),
        QStringLiteral(
            "CREATE TABLE ProductVersion (SendoraVersion TEXT(10) NOT NULL CONSTRAINT SendoraVersion "
            "PRIMARY KEY, ProductType TEXT(20), SDRVersion INTEGER)"),
    };
}

QString defaultProfileInsert() {
    const QStringList values = {
        jet::quote(kDefaultProfileName),       // ProfileName
        QStringLiteral("\"\""),                // ProfileDescription
        QStringLiteral("\"\""),                // ProfileCreationDate: stays null
        jet::quote(kPlaceholderSender),        // From
        jet::quote(kPlaceholderReplyTo),       // ReplyTo
        QStringLiteral("\"\""),                // CourtesyMessage
        QStringLiteral("0"),                   // bSendFiltered
        QStringLiteral("\"\""),                // SQLFilter
        QStringLiteral("1"),                   // bFlagSends
        QStringLiteral("\"SENT\""),            // SentFlag
        QStringLiteral("0"),                   // bSendInBlocks
        QStringLiteral("1000"),                // SendBlockSize
        QStringLiteral("1"),                   // bIfNotYetFlagged
        QStringLiteral("\"SENT\""),            // SentFlagToCheck
        QStringLiteral("0"),                   // bTimedBlocks
        QStringLiteral("100"),                 // TimedBlockSize
        QStringLiteral("1"),                   // TimeIncrement
        QStringLiteral("0"),                   // bInsertTimeDelay
        QStringLiteral("0"),                   // TimeDelay
        QStringLiteral("5"),                   // dns_retries
        QStringLiteral("1"),                   // mail_retries
        QStringLiteral("\"\""),                // default_mail
        jet::quote(kPlaceholderProfileServer), // SmtpServer
        QStringLiteral("0"),                   // auth
        QStringLiteral("\"\""),                // username
        QStringLiteral("\"\""),                // password
        QStringLiteral("\"\""),                // dns_server
        QStringLiteral("0"),                   // default_server
        QStringLiteral("0"),                   // direct_send
        QStringLiteral("5"),                   // dns_timeout
        QStringLiteral("15"),                  // mailer_timeout
        QStringLiteral("10"),                  // concurrent_mailers
    };
    return QStringLiteral("INSERT INTO Profile Values(") + values.join(u',') + u')';
}

QString versionInsert(const AppContext& ctx) {
    return QStringLiteral("INSERT INTO ProductVersion VALUES(\"%1.%2.%3\",\"Sendora\",%4)")
        .arg(ctx.version.major)
        .arg(ctx.version.minor)
        .arg(ctx.version.revision)
        .arg(kSchemaVersion);
}

namespace {

void applyColumnDefaults(jet::Database& db) {
    db.setDefaultValue(QStringLiteral("MailEvent"), QStringLiteral("SentCount"), 0);
    db.setDefaultValue(QStringLiteral("MailEvent"), QStringLiteral("SentCountFailed"), 0);
    db.setDefaultValue(QStringLiteral("Responder"), QStringLiteral("ResponderGroup"),
                       QStringLiteral("Auto-Responder"));
    db.setDefaultValue(QStringLiteral("Profile"), QStringLiteral("SendBlockSize"), 1000);
    db.setDefaultValue(QStringLiteral("Profile"), QStringLiteral("TimedBlockSize"), 100);
    db.setDefaultValue(QStringLiteral("Profile"), QStringLiteral("TimeIncrement"), 1);
    db.setDefaultValue(QStringLiteral("Profile"), QStringLiteral("TimeDelay"), 1);
    db.setDefaultValue(QStringLiteral("Message"), QStringLiteral("AddressType"), 0);
    db.setDefaultValue(QStringLiteral("Message"), QStringLiteral("GreetingType"), 0);
    db.setDefaultValue(QStringLiteral("Message"), QStringLiteral("SendType"), 1);
    db.setDefaultValue(QStringLiteral("Message"), QStringLiteral("HTMLGreeting"), QString(""));
}

void applyZeroLengthSettings(jet::Database& db) {
    static const char* const fields[][2] = {
        {"Sendora", "SendoraDescription"}, {"List", "ListDescription"},    {"List", "SourcePath"},
        {"Message", "MessageDescription"}, {"Message", "Subject"},         {"Message", "MessageText"},
        {"Message", "Attachments"},        {"Message", "MailingList"},     {"Message", "GreetingDisplay"},
        {"Message", "Salutation"},         {"Message", "Punctuation"},     {"Message", "GenericName"},
        {"Message", "GroupAddress"},       {"Message", "GroupGreeting"},   {"Message", "HTMLGreeting"},
        {"Profile", "ProfileDescription"}, {"Profile", "CourtesyMessage"}, {"Profile", "SQLFilter"},
        {"Profile", "SentFlag"},           {"Profile", "SentFlagToCheck"}, {"POPAccounts", "Password"},
        {"Responder", "ResponderDesc"},    {"Responder", "UserName"},      {"Responder", "Password"},
    };
    for (const auto& f : fields)
        db.setAllowZeroLength(QLatin1String(f[0]), QLatin1String(f[1]), true);
}

} // namespace

bool CreateSendoraDatabase(AppContext& ctx) {
    return CreateSystemDatabase(ctx, ctx.paths.systemDatabase(), true, true);
}

bool CreateSystemDatabase(AppContext& ctx, const QString& path, bool allowZeroLengthText,
                          bool newInstallation) {
    // Built under another name in the same folder and renamed into place once complete, so a
    // failure part way (a full disk) never leaves a half-made file that the next start would
    // take for a database to upgrade.
    const QString building = path + QStringLiteral(".new");
    bool reported = false;
    try {
        if (!jet::removeDatabase(building))
            throw jet::Error(jet::ErrLocked, QStringLiteral("Could not delete the file '%1'.").arg(building));
        {
            auto db = jet::Database::create(building);
            const QStringList schema = schemaStatements();
            // Statements 1-7, the default profile (new installations only), then the rest.
            for (int i = 0; i < 7; ++i)
                db->execute(schema[i], true);
            if (newInstallation) db->execute(defaultProfileInsert(), true);
            for (int i = 7; i < schema.size(); ++i)
                db->execute(schema[i], true);
            db->execute(versionInsert(ctx), true);
            applyColumnDefaults(*db);
            if (allowZeroLengthText) applyZeroLengthSettings(*db);
            db->close();
        }
        updateDatabase(ctx, building);
        if (newInstallation) {
            const Answer a = ctx.ui->message(
                QStringLiteral(
                    "Sendora is now creating the main database.\r\nWould you like it to create sample data "
                    "that you can view, edit and send to?"),
                Buttons::YesNo, Icon::Question);
            if (a == Answer::Yes && !createSampleData(ctx, building)) {
                reported = true;
                throw jet::Error(jet::ErrGeneric, QStringLiteral("The sample data could not be created."));
            }
        }
        // Every connection is closed: a journal left beside the file means its last writes
        // never reached it.
        if (QFileInfo::exists(building + QStringLiteral("-wal")))
            throw jet::Error(jet::ErrDiskFull,
                             QStringLiteral("The file '%1' could not be completed.").arg(building));
        // rename(2) replaces the old file in one step: at no moment is there no database. The
        // old file's journal goes first, so it is never read against the new file.
        QFile::remove(path + QStringLiteral("-wal"));
        QFile::remove(path + QStringLiteral("-shm"));
        if (std::rename(QFile::encodeName(building).constData(), QFile::encodeName(path).constData()) != 0)
            throw jet::Error(jet::ErrLocked,
                             QStringLiteral("Could not rename '%1' to '%2'.").arg(building, path));
        return true;
    } catch (const std::exception& e) {
        jet::removeDatabase(building);
        if (!reported) LogError(ctx, QStringLiteral("CreateSystemDatabase") + kModule, errorInfo(e), true);
        return false;
    }
}

QString systemDatabaseProblem(AppContext& ctx) {
    const QString path = ctx.paths.systemDatabase();
    try {
        auto db = jet::Database::open(path, jet::Database::OpenMode::ReadOnly);
        db->openRecordset(QStringLiteral("SELECT Count(*) FROM MailEvent"));
        return {};
    } catch (const jet::Error& e) {
        return QStringLiteral("the system database %1 cannot be read (error %2): %3")
            .arg(QDir::toNativeSeparators(path))
            .arg(e.number())
            .arg(e.description());
    }
}

int SDRVerify(AppContext& ctx) {
    try {
        auto db = jet::Database::open(ctx.paths.systemDatabase());
        if (db->hasTable(QStringLiteral("ProductVersion"))) {
            auto rs = db->openRecordset(QStringLiteral("Select * from ProductVersion"));
            if (rs->eof()) return 0;
            return rs->value(QStringLiteral("SDRVersion")).toInt();
        }
        auto rs = db->openRecordset(QStringLiteral("SELECT * From List;"));
        return rs->hasField(QStringLiteral("SourcePath")) ? 2 : 1;
    } catch (const jet::Error& e) {
        ctx.ui->message(QStringLiteral("Error %1 in SDRVerify\r\n%2").arg(e.number()).arg(e.description()),
                        Buttons::OK, Icon::Exclamation);
        return 0;
    } catch (const std::exception& e) {
        ctx.ui->message(QStringLiteral("Error 5 in SDRVerify\r\n%1").arg(QString::fromLocal8Bit(e.what())),
                        Buttons::OK, Icon::Exclamation);
        return 0;
    }
}

namespace {

// The value a new field receives when the old one is null or empty text.
QVariant emptyValueFor(jet::FieldType type) {
    switch (type) {
    case jet::FieldType::Long:
    case jet::FieldType::Integer:
    case jet::FieldType::Counter:
    case jet::FieldType::Double:
        return 0;
    case jet::FieldType::YesNo:
        return jet::False;
    case jet::FieldType::DateTime:
        return QDateTime(QDate(1899, 12, 30), QTime(12, 0));
    default:
        return QString("");
    }
}

bool isEmptyValue(const QVariant& v) {
    return v.isNull() || (v.typeId() == QMetaType::QString && v.toString().isEmpty());
}

} // namespace

void copyDatabaseContents(jet::Database& from, jet::Database& to) {
    const QStringList newTables = to.tableNames();
    for (const QString& table : from.tableNames()) {
        if (table.contains(QLatin1String("MSys"), Qt::CaseInsensitive) ||
            table.compare(QLatin1String("ProductVersion"), Qt::CaseInsensitive) == 0)
            continue;
        if (!newTables.contains(table, Qt::CaseInsensitive))
            continue; // a table the current schema no longer has
        // A column the current schema lacks (added by a later release, or by hand) is carried
        // over with its values rather than dropped.
        for (jet::FieldDef f : from.fields(table)) {
            if (to.hasField(table, f.name)) continue;
            f.required = false;
            if (f.type == jet::FieldType::Counter) f.type = jet::FieldType::Long;
            to.addField(table, f);
        }
        auto src = from.openRecordset(jet::bracket(table));
        if (src->eof()) continue;
        auto dst = to.openRecordset(jet::bracket(table));
        std::vector<std::pair<QString, jet::FieldType>> shared;
        for (int i = 0; i < src->fieldCount(); ++i) {
            const QString name = src->fieldName(i);
            if (dst->hasField(name)) {
                jet::FieldType type = jet::FieldType::Text;
                for (int j = 0; j < dst->fieldCount(); ++j)
                    if (dst->fieldName(j).compare(name, Qt::CaseInsensitive) == 0) type = dst->fieldType(j);
                shared.emplace_back(name, type);
            }
        }
        to.beginTransaction();
        try {
            for (; !src->eof(); src->moveNext()) {
                dst->addNew();
                for (const auto& [name, type] : shared) {
                    const QVariant v = src->value(name);
                    dst->setValue(name, isEmptyValue(v) ? emptyValueFor(type) : v);
                }
                dst->update();
            }
            to.commit();
        } catch (...) {
            to.rollback();
            throw;
        }
    }
}

bool VerifyAndUpgradeSystemDatabase(AppContext& ctx) {
    const QString path = ctx.paths.systemDatabase();
    if (!QFileInfo::exists(path)) return CreateSystemDatabase(ctx, path, true, true);
    const int version = SDRVerify(ctx);
    if (version == kSchemaVersion) return true;

    const QString tempPath = ctx.paths.upgradeTemp();
    if (!CreateSystemDatabase(ctx, tempPath, true, false)) return false;
    try {
        {
            auto oldDb = jet::Database::open(path, jet::Database::OpenMode::ReadOnly);
            auto newDb = jet::Database::open(tempPath);
            copyDatabaseContents(*oldDb, *newDb);
            newDb->close();
            oldDb->close();
        }
        const QString oldCopy = ctx.paths.upgradeOld();
        if (!jet::removeDatabase(oldCopy))
            throw jet::Error(jet::ErrLocked, QStringLiteral("Could not delete the file '%1'.").arg(oldCopy));
        if (!QFile::rename(path, oldCopy))
            throw jet::Error(jet::ErrLocked,
                             QStringLiteral("Could not rename '%1' to '%2'.").arg(path, oldCopy));
        if (!QFile::rename(tempPath, path)) {
            QFile::rename(oldCopy, path); // put the old database back rather than leave none
            throw jet::Error(jet::ErrLocked,
                             QStringLiteral("Could not rename '%1' to '%2'.").arg(tempPath, path));
        }
        return true;
    } catch (const std::exception& e) {
        jet::removeDatabase(tempPath);
        LogError(ctx, QStringLiteral("UpgradeSystemDatabase") + kModule, errorInfo(e), true);
        return false;
    }
}

void updateDatabase(AppContext& ctx) {
    updateDatabase(ctx, ctx.paths.systemDatabase());
}

void updateDatabase(AppContext& ctx, const QString& path) {
    using jet::FieldType;
    struct Addition {
        const char* table;
        const char* name;
        FieldType type;
        int size;
        bool zeroLength;
    };
    static const Addition additions[] = {
        {"Profile", "dns_server", FieldType::Text, 50, true},
        {"Profile", "default_server", FieldType::YesNo, 0, false},
        {"Profile", "direct_send", FieldType::YesNo, 0, false},
        {"Profile", "dns_timeout", FieldType::Long, 0, false},
        {"Profile", "mailer_timeout", FieldType::Long, 0, false},
        {"Profile", "concurrent_mailers", FieldType::Integer, 0, false},
        {"Profile", "dns_retries", FieldType::Integer, 0, false},
        {"Profile", "auth", FieldType::YesNo, 0, false},
        {"Profile", "username", FieldType::Text, 50, true},
        {"Profile", "password", FieldType::Text, 50, true},
        {"Profile", "mail_retries", FieldType::Integer, 0, false},
        {"Profile", "default_mail", FieldType::Text, 50, true},
    };
    try {
        auto db = jet::Database::open(path);
        for (const Addition& a : additions) {
            jet::FieldDef f;
            f.name = QLatin1String(a.name);
            f.type = a.type;
            f.size = a.size ? a.size : 255;
            f.allowZeroLength = a.zeroLength;
            db->addField(QLatin1String(a.table), f);
        }
        jet::FieldDef lastCount;
        lastCount.name = QStringLiteral("LastCount");
        lastCount.type = FieldType::Long;
        lastCount.defaultValue = 0;
        db->addField(QStringLiteral("MailEvent"), lastCount);
        db->execute(QStringLiteral("UPDATE MAILEVENT SET LastCount = 0"));
    } catch (const std::exception&) {
        // The first failing step ends the additions; on a current database that is the first one.
    }
    // Relay port and TLS choice of a set of delivery options. Apart from the additions above
    // so that their stop at the first existing column never skips these.
    try {
        auto db = jet::Database::open(path);
        for (const auto& [name, type] :
             {std::pair{"smtp_port", FieldType::Long}, {"smtp_tls", FieldType::Integer}}) {
            if (db->hasField(QStringLiteral("Profile"), QLatin1String(name))) continue;
            jet::FieldDef f;
            f.name = QLatin1String(name);
            f.type = type;
            db->addField(QStringLiteral("Profile"), f);
        }
        // Port and security of a POP account.
        for (const auto& [name, type] :
             {std::pair{"pop_port", FieldType::Long}, {"pop_security", FieldType::Integer}}) {
            if (db->hasField(QStringLiteral("POPAccounts"), QLatin1String(name))) continue;
            jet::FieldDef f;
            f.name = QLatin1String(name);
            f.type = type;
            db->addField(QStringLiteral("POPAccounts"), f);
        }
    } catch (const std::exception& e) {
        LogError(ctx, QStringLiteral("updateDatabase") + kModule, errorInfo(e), false);
    }
}

bool IsSendoraDB(jet::Database& db) {
    try {
        return db.hasTable(QStringLiteral("AddressList")) &&
               db.hasField(QStringLiteral("AddressList"), QStringLiteral("EAddress"));
    } catch (const std::exception&) {
        return false;
    }
}

long CountRecordsBySpecificStringValue(AppContext& ctx, const QString& databasePath, const QString& table,
                                       const QString& field, const QString& value) {
    try {
        auto db = jet::Database::open(databasePath, jet::Database::OpenMode::ReadOnly);
        const QString sql =
            QStringLiteral("SELECT Count(%1) as c_%2 FROM %3 WHERE %4 = %5;")
                .arg(field, field, jet::bracket(table), jet::bracket(field), jet::quote(value));
        auto rs = db->openRecordset(sql);
        return rs->eof() ? 0 : rs->value(QStringLiteral("c_") + field).toLongLong();
    } catch (const std::exception& e) {
        LogError(ctx, QStringLiteral("CountRecordsBySpecificStringValue") + kModule, errorInfo(e), false);
        return 0;
    }
}

void VerifyDefaultProfile(AppContext& ctx) {
    bool found = false;
    try {
        auto db = jet::Database::open(ctx.paths.systemDatabase(), jet::Database::OpenMode::ReadOnly);
        auto rs = db->openRecordset(QStringLiteral("Profile"));
        rs->findFirst(QStringLiteral("ProfileName = ") + jet::quote(ctx.defaultProfileName));
        found = !rs->noMatch();
    } catch (const std::exception& e) {
        LogError(ctx, QStringLiteral("VerifyDefaultProfile") + kModule, errorInfo(e), false);
    }
    if (found) return;
    ctx.ui->message(
        QStringLiteral("A default Delivery Options set was not found.  \nThe Delivery Options Wizard will "
                       "now be called so you can supply the default values needed"),
        Buttons::OK, Icon::Information);
    ctx.windows().openDeliveryOptionsWizard(ctx.defaultProfileName);
}

} // namespace sendora
