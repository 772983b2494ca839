#include "components/jet/Jet.h"
#include "core/AppContext.h"
#include "core/ErrorLog.h"
#include "core/SystemDatabase.h"

#include <QFile>
#include <QFileInfo>

// Resources of a static library must be registered by name from the global namespace.
static void initSampleResources() {
    Q_INIT_RESOURCE(sample);
}

namespace sendora {

namespace {

// The sample HTML refers to its logo through this prefix; it becomes the Templates folder.
const QString kTemplatePrefix = QStringLiteral("%TEMPLATES%/");

QByteArray resource(const QString& name) {
    initSampleResources();
    QFile f(QStringLiteral(":/sample/") + name);
    if (!f.open(QIODevice::ReadOnly))
        throw jet::Error(jet::ErrFileNotFound,
                         QStringLiteral("The application resource '%1' is missing.").arg(name));
    return f.readAll();
}

QString values(const QStringList& texts) {
    QStringList quoted;
    for (const QString& t : texts)
        quoted << jet::quote(t);
    return quoted.join(u',');
}

} // namespace

bool createSampleList(const QString& path) {
    auto db = jet::Database::create(path);
    db->execute(QStringLiteral("CREATE TABLE AddressList(EAddress TEXT(255) NOT NULL CONSTRAINT EAddress "
                               "PRIMARY KEY, FirstName TEXT(255), "
                               "LastName TEXT(255), Title TEXT(255), Sent TEXT(255), [Date] TEXT(255), "
                               "Keyword1 TEXT(255), Keyword2 "
                               "TEXT(255), Company TEXT(255), Address TEXT(255), City TEXT(255), State "
                               "TEXT(255), Zip TEXT(255), Country "
                               "TEXT(255), Product TEXT(255), Industry TEXT(255));"),
                true);
    // Fictitious contacts in a top-level domain that cannot exist.
    const QList<QStringList> contacts = {
        {"ada.lindqvist@northwind-pottery.invalid", "Ada", "Lindqvist", "Ms.", "", "3/14/24", "Customer",
         "Spring", "Northwind Pottery", "12 Kiln Street", "Portland", "OR", "97201", "USA", "Glazes",
         "Crafts"},
        {"bruno.tamm@harbourlight.invalid", "Bruno", "Tamm", "Mr.", "", "5/2/24", "Prospect", "Fair",
         "Harbour Light Marine", "4 Quay Road", "Halifax", "NS", "B3H 1A1", "Canada", "Charts", "Marine"},
        {"chidi.okafor@greenleaf-books.invalid", "Chidi", "Okafor", "Dr.", "", "7/19/24", "Customer",
         "Autumn", "Greenleaf Books", "88 Reading Lane", "Austin", "TX", "78701", "USA", "Atlases",
         "Publishing"},
        {"dana.moreau@alpinecycles.invalid", "Dana", "Moreau", "Ms.", "", "9/30/24", "Partner", "Winter",
         "Alpine Cycles", "2 Col Avenue", "Boulder", "CO", "80302", "USA", "Touring bikes", "Retail"},
        {"emil.novak@copperkettle.invalid", "Emil", "Novak", "Mr.", "", "11/8/24", "Customer", "Spring",
         "Copper Kettle Foods", "31 Market Square", "Madison", "WI", "53703", "USA", "Preserves", "Food"},
    };
    db->beginTransaction();
    for (const QStringList& c : contacts)
        db->execute(QStringLiteral("INSERT INTO AddressList VALUES(") + values(c) + u')', true);
    db->commit();
    db->close();
    return true;
}

bool createSampleData(AppContext& ctx, const QString& systemDatabase) {
    const QString sdr = systemDatabase.isEmpty() ? ctx.paths.systemDatabase() : systemDatabase;
    try {
        const QString logo = ctx.paths.templates + QStringLiteral("message_logo_large.jpg");
        if (!QFileInfo::exists(logo)) {
            QFile out(logo);
            if (out.open(QIODevice::WriteOnly)) out.write(resource(QStringLiteral("message_logo_large.jpg")));
        }
        const QString html = QString::fromUtf8(resource(QStringLiteral("sample.html")))
                                 .replace(kTemplatePrefix, ctx.paths.templates);
        const QString text = QString::fromUtf8(resource(QStringLiteral("sample.txt")));

        const QString listPath = ctx.paths.listFile(kSampleListName + QStringLiteral(".mdb"));
        bool makeList = true;
        if (QFileInfo::exists(listPath)) {
            const Answer a = ctx.ui->message(
                QStringLiteral(
                    "Is it ok for Sendora to delete the sample mailing list, 'Sample - Formal Letter.mdb', "
                    "from your AddressLists folder?\r\nIf deleted a new sample mailing list will be created "
                    "for you."),
                Buttons::YesNo, Icon::Question);
            makeList = a == Answer::Yes && jet::removeDatabase(listPath);
        }
        if (makeList) createSampleList(listPath);

        CreateGlobalRemoveList(ctx, sdr);

        auto db = jet::Database::open(sdr);
        db->execute(QStringLiteral("INSERT INTO Sendora Values(\"Sample\",\"Sample Sendora Group\")"));
        db->execute(QStringLiteral("INSERT INTO List Values(\"Sample - Formal Letter\",\"Sample - Formal "
                                   "Letter.mdb\",\"SAMPLE\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\")"));
        db->execute(QStringLiteral(
                        "UPDATE List SET ListDescription = \"List of recipients who wish to be removed from "
                        "mailing lists as well as undeliverable addresses.\" WHERE ListName = ") +
                    jet::quote(kGlobalRemoveListName));
        db->execute(QStringLiteral(
            "INSERT INTO Message Values(\"Sample - Sendora\",\"A Sample Message Using the Formal "
            "Template\",\"\","
            "\"Sendora\",2,\"\",\"\",\"\",\"Sample - Formal Letter\",-1,\" [[FirstName]] [[LastName]] "
            "[[Eaddress]]\","
            "\"Dear\",\":\",0,-1,-1,1,-1,\"\",\"\",-1,1,\"\",\"Pat Rivera, Sendora\",\"\",\"\")"));
        {
            auto rs = db->openRecordset(
                QStringLiteral("SELECT * FROM Message WHERE MessageName = \"Sample - Sendora\";"));
            rs->edit();
            rs->setValue(QStringLiteral("HTMLText"), html);
            rs->setValue(QStringLiteral("MessageText"), text);
            rs->update();
        }
        db->execute(
            QStringLiteral("INSERT INTO MailEvent(SendoraName, ListName, MessageName, Profile) "
                           "Values(\"Sample\",\"Sample - Formal Letter\",\"Sample - Sendora\",\"Default "
                           "Delivery Options\")"));
        return true;
    } catch (const std::exception& e) {
        LogError(ctx, QStringLiteral("CreateSampleData in mdlDatabaseUtils"), errorInfo(e), true);
        return false;
    }
}

bool CreateGlobalRemoveList(AppContext& ctx, const QString& systemDatabase) {
    const QString path = ctx.paths.listFile(kGlobalRemoveListFile);
    try {
        if (QFileInfo::exists(path)) {
            ctx.ui->message(
                QStringLiteral("Sendora will create a Global Remove List in your AddressLists folder.\r\n"),
                Buttons::OK, Icon::None);
            jet::removeDatabase(path);
        }
        auto list = jet::Database::create(path);
        list->execute(QStringLiteral("CREATE TABLE AddressList(EAddress TEXT(255) NOT NULL CONSTRAINT "
                                     "EAddress PRIMARY KEY, FirstName TEXT(255), "
                                     "LastName TEXT(255), Title TEXT(255), Sent TEXT(255), [Date] TEXT(255), "
                                     "Keyword1 TEXT(255), Keyword2 "
                                     "TEXT(255), Industry TEXT(255));"),
                      true);
        list->execute(
            QStringLiteral(
                "INSERT INTO AddressList VALUES(%1,\"Global\",\"Remove\",\"\",\"\",\"\",\"\",\"\",\"\")")
                .arg(jet::quote(kGlobalRemoveAddress)),
            true);
        list->close();
    } catch (const std::exception& e) {
        LogError(ctx, QStringLiteral("CreateGlobalRemoveList in mdlDatabaseUtils"), errorInfo(e), true);
        return false;
    }
    try {
        auto db = jet::Database::open(systemDatabase.isEmpty() ? ctx.paths.systemDatabase() : systemDatabase);
        db->execute(QStringLiteral("INSERT INTO List Values(\"Global Remove List\",\"Global Remove "
                                   "List.mdb\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\")"));
    } catch (const std::exception&) {
        // An existing catalogue row (or no system database yet) is not an error here.
    }
    return true;
}

} // namespace sendora
