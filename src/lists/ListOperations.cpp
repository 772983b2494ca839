#include "lists/ListOperations.h"

#include "components/jet/Jet.h"
#include "core/AppContext.h"
#include "core/ErrorLog.h"
#include "core/ListActions.h"

#include <QDir>
#include <QFileInfo>

namespace sendora {

namespace {

const QString kModule = QStringLiteral(" in mdlListOperations");
const QString kCancel = QStringLiteral("<Cancel");
const QString kNoRecords = QStringLiteral("<No Records");
const QString kError = QStringLiteral("<Error:");

struct Cancelled {};

// Counts the steps of one operation for its progress callback; a "stop" from the callback,
// between steps or inside a statement, becomes Cancelled.
class Steps {
public:
    Steps(const ListProgress& progress, int total) : m_progress(progress), m_total(total) {}

    int percent() const { return std::min(100, 100 * m_done / std::max(1, m_total)); }
    void next() {
        ++m_done;
        check(percent());
    }
    void check(int percent) {
        if (m_progress && !m_progress(percent)) throw Cancelled{};
    }
    // Lets the callback answer while a statement on db runs.
    void watch(jet::Database& db) {
        if (!m_progress) return;
        db.setProgressHandler([this] { return m_progress(percent()); });
    }

private:
    const ListProgress& m_progress;
    int m_total;
    int m_done = 0;
};

// A new list file that is removed again unless the operation keeps it.
class Target {
public:
    explicit Target(AppContext& ctx) {
        // Names already taken (a file another run left, or one still open) are passed over.
        for (int tries = 0; tries < 10000; ++tries) {
            m_path = NewTempListPath(ctx);
            if (!QFileInfo::exists(m_path)) break;
        }
        QDir().mkpath(QFileInfo(m_path).absolutePath());
        db = jet::Database::create(m_path, jet::Database::Durability::Scratch);
    }
    ~Target() {
        if (db) db->close();
        if (!m_kept) jet::removeDatabase(m_path);
    }
    Target(const Target&) = delete;
    Target& operator=(const Target&) = delete;

    QString keep() {
        db->close();
        m_kept = true;
        return m_path;
    }
    std::unique_ptr<jet::Database> db;

private:
    QString m_path;
    bool m_kept = false;
};

// What an operation reads from an input list before it starts.
struct ListInput {
    bool isList = false;
    QStringList columns;
    qint64 addresses = 0;
};

ListInput readInput(const QString& path) {
    ListInput in;
    auto db = jet::Database::open(path, jet::Database::OpenMode::ReadOnly);
    if (!db->hasTable(QStringLiteral("AddressList")) ||
        !db->hasField(QStringLiteral("AddressList"), QStringLiteral("EAddress")))
        return in;
    in.isList = true;
    for (const jet::FieldDef& f : db->fields(QStringLiteral("AddressList")))
        in.columns << f.name;
    auto rs = db->openRecordset(QStringLiteral("SELECT COUNT(EAddress) AS C_EAddress FROM AddressList"));
    in.addresses = rs->value(QStringLiteral("C_EAddress")).toLongLong();
    return in;
}

qint64 rowCount(jet::Database& db) {
    return db.openRecordset(QStringLiteral("SELECT COUNT(*) AS n FROM AddressList"))
        ->value(QStringLiteral("n"))
        .toLongLong();
}

// [path] as a file reference in a statement.
QString fileRef(const QString& path) {
    return jet::bracket(QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()));
}

void runAll(jet::Database& db, const QStringList& statements, Steps& steps) {
    for (const QString& sql : statements) {
        db.execute(sql);
        steps.next();
    }
}

bool isCancel(const jet::Error& e) {
    return e.number() == jet::ErrCanceled;
}

// A failure the operation cannot handle (a full disk, a lock held too long) is shown as well
// as logged: the user must know the new list was not made.
void logFailure(AppContext& ctx, const char* operation, const std::exception& e) {
    LogError(ctx, QString::fromLatin1(operation) + kModule, errorInfo(e), true);
}

// Runs an operation's body: a cancel, by the progress callback or inside a statement, gives
// "<Cancel"; any other failure is logged under the operation's name and gives "<Error:".
template <class Body> QString guarded(AppContext& ctx, const char* operation, Body body) {
    try {
        return body();
    } catch (const Cancelled&) {
        return kCancel;
    } catch (const jet::Error& e) {
        if (isCancel(e)) return kCancel;
        logFailure(ctx, operation, e);
        return kError;
    } catch (const std::exception& e) {
        logFailure(ctx, operation, e);
        return kError;
    }
}

} // namespace

QStringList resultColumns(const QStringList& first, const QStringList& second) {
    QStringList out;
    for (const QStringList* list : {&first, &second})
        for (const QString& c : *list)
            if (!c.contains(QLatin1String("MSys"), Qt::CaseInsensitive) &&
                !out.contains(c, Qt::CaseInsensitive))
                out << c;
    return out;
}

QString columnSetSql(const QStringList& columns) {
    QString out;
    for (const QString& c : columns)
        out += jet::bracket(c) + QStringLiteral(" TEXT,");
    out.chop(1);
    return out;
}

QString selectionErrorMessage() {
    return QStringLiteral(
        "The selection criteria you supplied appears to have an error in it.\r\n\r\nIf you used the advanced "
        "SQL editor to modify or create your criteria,\r\nthere may be a syntax error, a reference to an "
        "invalid field or an incorrect\r\noperator/operand pair.");
}

QString gMergeLists(AppContext& ctx, const QString& path1, const QString& path2,
                    const ListProgress& progress) {
    const QString mustHaveRecords =
        QStringLiteral("Both elements of a Merge operation must contain records.");
    Steps steps(progress, 7);
    return guarded(ctx, "gMergeLists", [&]() -> QString {
        ListInput first;
        try {
            first = readInput(path1);
        } catch (const jet::Error&) {
            ctx.ui->message(QStringLiteral("Error opening ") + path1, Buttons::OK, Icon::Exclamation);
            return kError;
        }
        if (!first.isList) {
            ctx.ui->message(
                QStringLiteral("Both elements of a Merge action must be valid Sendora address lists"),
                Buttons::OK, Icon::Information);
            return kError;
        }
        if (first.addresses == 0) {
            ctx.ui->message(mustHaveRecords, Buttons::OK, Icon::Information);
            return kCancel;
        }
        std::unique_ptr<Target> target;
        try {
            target = std::make_unique<Target>(ctx);
        } catch (const jet::Error&) {
            ctx.ui->message(QStringLiteral("Error creating temporary merge file"), Buttons::OK,
                            Icon::Exclamation, QStringLiteral("Sendora Error"));
            return kError;
        }
        ListInput second;
        try {
            second = readInput(path2);
        } catch (const jet::Error&) {
            ctx.ui->message(QStringLiteral("Error opening ") + path2, Buttons::OK, Icon::Exclamation);
            return kError;
        }
        if (!second.isList) {
            ctx.ui->message(
                QStringLiteral("Both elements of a Merge action must be valid Sendora address lists"),
                Buttons::OK, Icon::Information);
            return kError;
        }
        if (second.addresses == 0) {
            ctx.ui->message(mustHaveRecords, Buttons::OK, Icon::Information);
            return kCancel;
        }
        steps.next();
        jet::Database& db = *target->db;
        steps.watch(db);
        runAll(db,
               {QStringLiteral("CREATE TABLE AddressList (") +
                    columnSetSql(resultColumns(first.columns, second.columns)) + QStringLiteral(");"),
                QStringLiteral("ALTER TABLE AddressList ADD CONSTRAINT MyPrKey PRIMARY KEY (EAddress);"),
                QStringLiteral("INSERT INTO AddressList SELECT * FROM %1.AddressList;").arg(fileRef(path1))},
               steps);
        db.linkTable(QStringLiteral("MoreAddressList"), path2, QStringLiteral("AddressList"));
        steps.next();
        db.execute(QStringLiteral("Insert into AddressList select * from MoreAddressList"));
        steps.next();
        db.unlinkTable(QStringLiteral("MoreAddressList"));
        db.setProgressHandler({});
        return target->keep();
    });
}

QString gCleanList(AppContext& ctx, const QString& path, const QString& removePath,
                   const ListProgress& progress) {
    Steps steps(progress, 8);
    return guarded(ctx, "gCleanList", [&]() -> QString {
        ListInput list;
        try {
            list = readInput(path);
        } catch (const jet::Error&) {
            ctx.ui->message(QStringLiteral("Error opening ") + path, Buttons::OK, Icon::Exclamation);
            return kError;
        }
        if (!list.isList || list.addresses == 0) {
            ctx.ui->message(
                QStringLiteral(
                    "Both elements of a Clean action must be valid Sendora address lists with records"),
                Buttons::OK, Icon::Information);
            return kError;
        }
        std::unique_ptr<Target> target;
        try {
            target = std::make_unique<Target>(ctx);
        } catch (const jet::Error&) {
            ctx.ui->message(QStringLiteral("Unable to create target database"), Buttons::OK,
                            Icon::Information);
            return kError;
        }
        ListInput removal;
        try {
            removal = readInput(removePath);
        } catch (const jet::Error&) {
            ctx.ui->message(QStringLiteral("Error opening ") + removePath, Buttons::OK, Icon::Exclamation);
            return kError;
        }
        if (!removal.isList || removal.addresses == 0) return kCancel;
        steps.next();
        jet::Database& db = *target->db;
        steps.watch(db);
        const QString columns = columnSetSql(resultColumns(list.columns, removal.columns));
        runAll(db,
               {QStringLiteral("Create Table AddressList (") + columns + QStringLiteral(");"),
                QStringLiteral("Create Table Deletions (") + columns + QStringLiteral(");"),
                QStringLiteral("ALTER TABLE AddressList ADD CONSTRAINT MyPrKey PRIMARY KEY (EAddress);"),
                QStringLiteral("INSERT INTO AddressList SELECT * FROM %1.AddressList ORDER BY eaddress;")
                    .arg(fileRef(path)),
                QStringLiteral("INSERT INTO Deletions SELECT * FROM %1.AddressList ORDER BY eaddress;")
                    .arg(fileRef(removePath)),
                QStringLiteral(
                    "DELETE AddressList.* FROM AddressList INNER JOIN Deletions ON AddressList.EAddress = "
                    "Deletions.EAddress WHERE ([Deletions].[EAddress] = [AddressList].[EAddress]) "
                    "WITH OWNERACCESS OPTION;"),
                QStringLiteral("DROP TABLE Deletions")},
               steps);
        db.setProgressHandler({});
        if (rowCount(db) == 0) return kNoRecords;
        return target->keep();
    });
}

QString gFindDuplicates(AppContext& ctx, const QString& path1, const QString& path2,
                        const ListProgress& progress) {
    Steps steps(progress, 10);
    return guarded(ctx, "gFindDuplicates", [&]() -> QString {
        ListInput first, second;
        try {
            first = readInput(path1);
        } catch (const jet::Error&) {
            return QStringLiteral("<Error: Unable to open %1 for input").arg(path1);
        }
        try {
            second = readInput(path2);
        } catch (const jet::Error&) {
            return QStringLiteral("<Error: Unable to open %1 for input").arg(path2);
        }
        if (!first.isList || !second.isList || first.addresses == 0 || second.addresses == 0) {
            ctx.ui->message(
                QStringLiteral("Both elements of a Find Duplicates action must be valid Sendora address "
                               "lists with records"),
                Buttons::OK, Icon::Information);
            return kCancel;
        }
        std::unique_ptr<Target> target;
        try {
            target = std::make_unique<Target>(ctx);
        } catch (const jet::Error&) {
            return QStringLiteral("<Error: Unable to open target database for output");
        }
        steps.next();
        jet::Database& db = *target->db;
        steps.watch(db);
        const QString columns = columnSetSql(resultColumns(first.columns, second.columns));
        runAll(db,
               {QStringLiteral("Create Table AddressList (") + columns + QStringLiteral(");"),
                QStringLiteral("ALTER TABLE AddressList ADD CONSTRAINT MyPrKey PRIMARY KEY (EAddress);"),
                QStringLiteral("Create Table AddressList1 (") + columns + QStringLiteral(");"),
                QStringLiteral("Create Table AddressList2 (") + columns + QStringLiteral(");"),
                QStringLiteral("INSERT INTO AddressList1 SELECT * FROM %1.AddressList;").arg(fileRef(path1)),
                QStringLiteral("INSERT INTO AddressList2 SELECT * FROM %1.AddressList;").arg(fileRef(path2)),
                QStringLiteral("INSERT INTO AddressList SELECT AddressList1.* FROM AddressList1 INNER JOIN "
                               "AddressList2 ON AddressList1.EAddress = AddressList2.EAddress;"),
                QStringLiteral("DROP TABLE AddressList2"), QStringLiteral("DROP TABLE AddressList1")},
               steps);
        db.setProgressHandler({});
        if (rowCount(db) == 0) return kNoRecords;
        return target->keep();
    });
}

QString gFilterList(AppContext& ctx, const QString& path, const QString& criteria,
                    const ListProgress& progress) {
    Steps steps(progress, 100);
    return guarded(ctx, "gFilterList", [&]() -> QString {
        std::unique_ptr<jet::Database> source;
        qint64 total = 0;
        try {
            source = jet::Database::open(path, jet::Database::OpenMode::ReadOnly);
            total = rowCount(*source);
        } catch (const jet::Error&) {
            return QStringLiteral("<Error: Unable to open %1 for input").arg(path);
        }
        if (total == 0) {
            ctx.ui->message(QStringLiteral("There are no records to select from"), Buttons::OK,
                            Icon::Information);
            return kCancel;
        }
        if (criteria.trimmed().isEmpty()) return kCancel;
        std::unique_ptr<Target> target;
        try {
            target = std::make_unique<Target>(ctx);
        } catch (const jet::Error&) {
            return QStringLiteral("<Error: Cannot open database for output");
        }
        jet::Database& db = *target->db;
        const std::vector<jet::FieldDef> fields = source->fields(QStringLiteral("AddressList"));
        QStringList defs, names, values;
        for (const jet::FieldDef& f : fields) {
            defs << jet::bracket(f.name) + QLatin1Char(' ') +
                        jet::typeName(f.type, f.size > 0 ? f.size : 255);
            names << jet::bracket(f.name);
            values << jet::param(int(values.size()) + 1);
        }
        db.execute(QStringLiteral("CREATE TABLE AddressList (") + defs.join(QLatin1Char(',')) +
                   QStringLiteral(");"));
        // Created field by field, the list gets its key afterwards, as imported lists do.
        db.execute(QStringLiteral("ALTER TABLE AddressList ADD CONSTRAINT MyPrKey PRIMARY KEY (EAddress);"));

        // The user's clause: one read-only statement on a read-only connection.
        std::unique_ptr<jet::Recordset> rows;
        steps.watch(*source);
        try {
            rows = source->openReadOnlyQuery(QStringLiteral("SELECT AddressList.* From AddressList ") +
                                             criteria + QLatin1Char(';'));
        } catch (const jet::Error& e) {
            if (isCancel(e)) return kCancel;
            ctx.ui->message(
                e.number() == jet::ErrFilterNotReadOnly
                    ? QStringLiteral("The selection criteria may only select records: they cannot "
                                     "change the list or hold a second statement.")
                    : selectionErrorMessage(),
                Buttons::OK, Icon::Exclamation);
            return QStringLiteral("<Cancel:");
        }
        if (rows->eof()) return kNoRecords;
        auto insert =
            db.prepareStatement(QStringLiteral("INSERT INTO AddressList (%1) VALUES (%2)")
                                    .arg(names.join(QLatin1Char(',')), values.join(QLatin1Char(','))));
        db.beginTransaction();
        qint64 copied = 0;
        for (; !rows->eof(); rows->moveNext()) {
            for (int i = 0; i < int(fields.size()); ++i)
                insert->bind(i + 1, rows->value(i));
            insert->execute();
            if (++copied % 1000 == 0) steps.check(int(std::min<qint64>(99, copied * 100 / total)));
        }
        db.commit();
        rows.reset();
        source->setProgressHandler({});
        return target->keep();
    });
}

QString gExportList(AppContext& ctx, const QString& path, const QString& exportFile,
                    const ListProgress& progress) {
    Steps steps(progress, 1);
    return guarded(ctx, "gExportList", [&]() -> QString {
        std::unique_ptr<jet::Database> db;
        ListInput list;
        try {
            list = readInput(path);
            db = jet::Database::open(path, jet::Database::OpenMode::ReadOnly);
        } catch (const jet::Error&) {
            ctx.ui->message(QStringLiteral("Unable to open %1 for input").arg(path), Buttons::OK,
                            Icon::Information);
            return QStringLiteral("<Error: Unable to open %1 for input").arg(path);
        }
        if (list.addresses == 0) {
            ctx.ui->message(QStringLiteral("There are no records to export"), Buttons::OK, Icon::Information);
            return kNoRecords;
        }
        const QFileInfo file(exportFile);
        if (file.exists()) {
            if (ctx.ui->message(QStringLiteral("%1 already exists.\r\nDo you want to replace it?")
                                    .arg(QDir::toNativeSeparators(file.absoluteFilePath())),
                                Buttons::YesNo, Icon::Exclamation,
                                QStringLiteral("Export List")) != Answer::Yes)
                return kCancel;
            if (!QFile::remove(file.absoluteFilePath()))
                return QStringLiteral("<Error: Unable to replace %1").arg(exportFile);
        }
        steps.watch(*db);
        db->execute(QStringLiteral("select * into %1.%2 from AddressList")
                        .arg(jet::bracket(QStringLiteral("Text;database=") +
                                          QDir::toNativeSeparators(file.absolutePath())),
                             jet::bracket(file.fileName())));
        db->setProgressHandler({});
        return file.absoluteFilePath();
    });
}

ListChoiceText listChoiceText(ListOperation operation) {
    switch (operation) {
    case ListOperation::Merge:
        return {QStringLiteral("Merge Lists"), QStringLiteral("Merge"), QStringLiteral("and")};
    case ListOperation::Clean:
        return {QStringLiteral("Clean List"), QStringLiteral("Clean (remove these addresses):"),
                QStringLiteral("From:")};
    case ListOperation::FindDuplicates:
    case ListOperation::Select:
        break;
    }
    return {QStringLiteral("Find Duplicates"), QStringLiteral("Find duplicates in "), QStringLiteral("and")};
}

std::optional<std::pair<QString, QString>> chooseTwoLists(AppContext& ctx, ListOperation operation,
                                                          const QStringList& openFiles,
                                                          const ListChooser& choose) {
    if (openFiles.size() < 2) {
        ctx.ui->message(
            operation == ListOperation::Clean
                ? QStringLiteral("You must have at least two lists open for this operation")
                : QStringLiteral("You must have at least two lists open to complete this operation"),
            Buttons::OK, Icon::Exclamation);
        return std::nullopt;
    }
    if (openFiles.size() == 2) return std::make_pair(openFiles[0], openFiles[1]);
    auto chosen = choose ? choose(listChoiceText(operation)) : std::nullopt;
    // the clean dialog names the removal list first
    if (chosen && operation == ListOperation::Clean) std::swap(chosen->first, chosen->second);
    return chosen;
}

QString runTwoListOperation(AppContext& ctx, ListOperation operation, const QString& first,
                            const QString& second, const ListProgress& progress) {
    switch (operation) {
    case ListOperation::Merge:
        return gMergeLists(ctx, first, second, progress);
    case ListOperation::Clean:
        return gCleanList(ctx, first, second, progress);
    case ListOperation::FindDuplicates:
        return gFindDuplicates(ctx, first, second, progress);
    case ListOperation::Select:
        break;
    }
    return kCancel;
}

bool reportListResult(AppContext& ctx, ListOperation operation, const QString& result) {
    if (!isListResultMarker(result)) return true;
    if (operation == ListOperation::Clean &&
        (result.startsWith(QLatin1String("<No Records")) || result.startsWith(QLatin1String("<Error"))))
        ctx.ui->message(QStringLiteral("Clean returned no results."), Buttons::OK, Icon::Information);
    else if (operation == ListOperation::FindDuplicates && result.startsWith(QLatin1String("<No Records")))
        ctx.ui->message(QStringLiteral("The search returned no records."), Buttons::OK, Icon::Information);
    return false;
}

QString summaryTitle(ListOperation operation) {
    switch (operation) {
    case ListOperation::Merge:
        return QStringLiteral("Merge Lists Summary");
    case ListOperation::Clean:
        return QStringLiteral("Clean List Summary");
    case ListOperation::FindDuplicates:
        return QStringLiteral("Find Duplicates Summary");
    case ListOperation::Select:
        break;
    }
    return QStringLiteral("Record Selection Summary");
}

} // namespace sendora
