#include "core/ListActions.h"

#include "components/jet/Jet.h"
#include "core/AppContext.h"
#include "core/ErrorLog.h"

#include <QFile>
#include <QFileInfo>

namespace sendora {

namespace {

const QString kModule = QStringLiteral(" in mdlListActions");

QString tempListPath(const AppContext& ctx, int n) {
    return ctx.paths.temp + QStringLiteral("NewMailingList%1.mdb").arg(n);
}

} // namespace

bool IsSystemColumn(const QString& name) {
    static const QStringList system = {"EAddress", "FirstName", "LastName", "Title",
                                       "Keyword1", "Keyword2",  "Date",     "Sent"};
    return system.contains(name.trimmed(), Qt::CaseInsensitive);
}

QString NewTempListPath(AppContext& ctx) {
    return tempListPath(ctx, ctx.tempListCounter++);
}

QString CurrentTempListPath(const AppContext& ctx) {
    return tempListPath(ctx, ctx.tempListCounter > 0 ? ctx.tempListCounter - 1 : 0);
}

bool isTemporaryListFile(const AppContext& ctx, const QString& file) {
    return QFileInfo(file).absolutePath() + u'/' == ctx.paths.temp;
}

QString GetListPath(AppContext& ctx, const QString& listName) {
    try {
        auto db = jet::Database::open(ctx.paths.systemDatabase(), jet::Database::OpenMode::ReadOnly);
        auto rs = db->openRecordset(
            QStringLiteral("SELECT * FROM List WHERE ListName = %1;").arg(jet::quote(listName)));
        return rs->eof() ? QString() : rs->value(QStringLiteral("ListPath")).toString();
    } catch (const std::exception& e) {
        LogError(ctx, QStringLiteral("GetListPath") + kModule, errorInfo(e), false);
        return {};
    }
}

bool DeleteList(AppContext& ctx, const QString& listName) {
    try {
        const QString file = GetListPath(ctx, listName);
        if (file.isEmpty()) return false;
        const QString message = ctx.windows().messageWindowUsingList(listName);
        if (!message.isEmpty()) {
            ctx.ui->message(
                QStringLiteral("Cannot delete the '%1' list.\r\nThis list is currently being referenced by "
                               "the '%2' message.  \r\nPlease first change the Mail Merge setting for this "
                               "message, \r\nwhich is currently open, before deleting the list.")
                    .arg(listName, message),
                Buttons::OK, Icon::Exclamation, QStringLiteral("Cannot Delete List"));
            return false;
        }
        ctx.windows().closeListWindows(listName);
        const QString path = ctx.paths.listFile(file);
        if (!jet::removeDatabase(path))
            throw jet::Error(jet::ErrLocked, QStringLiteral("Could not delete the file '%1'.").arg(path));
        auto db = jet::Database::open(ctx.paths.systemDatabase());
        db->execute(QStringLiteral("DELETE * FROM List WHERE ListName = %1;").arg(jet::quote(listName)));
        ctx.windows().listCatalogueChanged();
        return true;
    } catch (const std::exception& e) {
        LogError(ctx, QStringLiteral("DeleteList") + kModule, errorInfo(e), true);
        return false;
    }
}

bool SaveList(AppContext& ctx, const QString& sourceFile, const QString& listName, const QString& description,
              bool reopen) {
    try {
        auto db = jet::Database::open(ctx.paths.systemDatabase());
        bool exists = false;
        {
            auto rs = db->openRecordset(QStringLiteral("SELECT [listname] FROM List WHERE [listname] = %1;")
                                            .arg(jet::quote(listName)));
            exists = !rs->eof();
        }
        if (exists &&
            ctx.ui->message(QStringLiteral("This name already exists, would you like to overwrite it?"),
                            Buttons::YesNo, Icon::Information) == Answer::No)
            return false;

        ctx.windows().closeListWindows(listName);

        const QString fileName = listName + QStringLiteral(".mdb");
        const QString target = ctx.paths.listFile(fileName);
        const bool sameFile =
            QFileInfo(sourceFile).absoluteFilePath() == QFileInfo(target).absoluteFilePath();
        if (!sameFile) {
            const QString partial = target + QStringLiteral(".saving");
            QFile::remove(partial);
            // A snapshot of the source beside the target first, so a failed copy never
            // leaves half a list behind.
            QString failure;
            try {
                auto source = jet::Database::open(sourceFile, jet::Database::OpenMode::ReadOnly);
                source->copyTo(partial);
            } catch (const jet::Error& e) {
                failure = QString::number(e.number());
            }
            if (failure.isEmpty() && (!jet::removeDatabase(target) || !QFile::rename(partial, target)))
                failure = QString::number(QFile(target).error());
            if (!failure.isEmpty()) {
                QFile::remove(partial);
                ctx.ui->message(QStringLiteral("Problem saving the new file! ") + failure, Buttons::OK,
                                Icon::Information);
                return false;
            }
        }

        if (exists)
            db->execute(
                QStringLiteral("UPDATE LIST SET [listname] = %1, [listpath] = %2, [listdescription] = %3 "
                               "WHERE [listname] = %1;")
                    .arg(jet::quote(listName), jet::quote(fileName), jet::quote(description)));
        else
            db->execute(
                QStringLiteral("INSERT INTO List([listname],[listpath],[listdescription]) values(%1,%2,%3)")
                    .arg(jet::quote(listName), jet::quote(fileName), jet::quote(description)));
        db->close();

        if (reopen) ctx.windows().openListWindow(listName, target);
        if (!listName.contains(QLatin1String("No Addresses"))) {
            ctx.windows().listCatalogueChanged();
            ctx.windows().listSaved(listName, target);
        }
        return true;
    } catch (const std::exception& e) {
        LogError(ctx, QStringLiteral("SaveList") + kModule, errorInfo(e), false);
        return false;
    }
}

OpenedList OpenList(AppContext& ctx, const QString& listName, const QString& file) {
    OpenedList result;
    QString path = file;
    if (path.isEmpty()) {
        const QString listPath = GetListPath(ctx, listName);
        path = ctx.paths.listFile(listPath.isEmpty() ? listName + QStringLiteral(".mdb") : listPath);
        if (listPath.isEmpty()) {
            ctx.ui->message(QStringLiteral("Could not locate ") + path, Buttons::OK, Icon::Information);
            return result;
        }
    }
    if (!QFileInfo::exists(path)) {
        ctx.ui->message(QStringLiteral("Could not locate ") + path, Buttons::OK, Icon::Information);
        return result;
    }
    try {
        result.db = jet::Database::open(path);
        result.rows = result.db->openRecordset(QStringLiteral("SELECT * FROM ADDRESSLIST"));
        if (!result.rows->eof()) {
            result.rows->moveLast();
            result.recordCount = result.rows->recordCount();
            result.rows->moveFirst();
        }
        result.file = path;
    } catch (const std::exception& e) {
        LogError(ctx, QStringLiteral("OpenList") + kModule, errorInfo(e), true);
        result = OpenedList{};
    }
    return result;
}

QString refusedColumnName(const QString& trimmedName) {
    if (trimmedName.isEmpty()) return QStringLiteral("Please enter your text or press cancel.");
    if (trimmedName.compare(QLatin1String("ID"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("ID is a system column used by Sendora. Please choose another column name.");
    if (trimmedName.compare(QLatin1String("ERROR"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("ERROR is a system column used by Sendora. Please choose another column name.");
    return {};
}

void AddColumn(AppContext& ctx, ListWindow& window) {
    if (isTemporaryListFile(ctx, window.filePath())) {
        ctx.ui->message(QStringLiteral("You must save your list before you can add a column."), Buttons::OK,
                        Icon::Information);
        return;
    }
    QString name;
    for (;;) {
        const auto answer =
            ctx.ui->inputBox(QStringLiteral("Please enter the name of the column you wish to add."),
                             QStringLiteral("Add Column"));
        if (!answer) return;
        name = answer->trimmed();
        const QString refusal = refusedColumnName(name);
        if (refusal.isEmpty()) break;
        ctx.ui->message(refusal, Buttons::OK, Icon::Exclamation);
    }
    try {
        auto db = jet::Database::open(window.filePath());
        db->execute(
            QStringLiteral("ALTER TABLE AddressList ADD COLUMN %1 TEXT(255);").arg(jet::bracket(name)), true);
        db->setAllowZeroLength(QStringLiteral("AddressList"), name, true);
        db->close();
        window.rebind(QStringLiteral("SELECT * FROM ADDRESSLIST"));
    } catch (const std::exception& e) {
        LogError(ctx, QStringLiteral("AddColumn") + kModule, errorInfo(e), true);
    }
}

void RemoveColumns(AppContext& ctx, ListWindow& window, const QStringList& selectedColumns) {
    if (isTemporaryListFile(ctx, window.filePath())) {
        ctx.ui->message(QStringLiteral("You must save your list before you can remove a column."),
                        Buttons::OK, Icon::Information);
        return;
    }
    QStringList system;
    QStringList other;
    for (const QString& column : selectedColumns) {
        const QString name = column.trimmed();
        (IsSystemColumn(name) ? system : other) << name;
    }
    const QString title = QStringLiteral("Column Removal Confirmation");
    if (system.isEmpty() && other.isEmpty()) return;
    if (other.isEmpty()) {
        ctx.ui->message(
            QStringLiteral("You have selected %1 system column(s).\r\nThe column(s) cannot be removed.")
                .arg(system.size()),
            Buttons::OK, Icon::Information);
        return;
    }
    const QString question =
        system.isEmpty()
            ? QStringLiteral("You have selected %1 column(s) to remove from your list.\r\nThis action is "
                             "irreversible.\r\nDo you want to continue?")
                  .arg(other.size())
            : QStringLiteral(
                  "You have selected %1 column(s) for removal.\r\n%2 of these columns are System columns "
                  "and cannot be removed\r\nThe other %3 will be.\r\nDo you want to continue?")
                  .arg(system.size() + other.size())
                  .arg(system.size())
                  .arg(other.size());
    if (ctx.ui->message(question, Buttons::YesNo, Icon::Question, title) != Answer::Yes) return;
    try {
        auto db = jet::Database::open(window.filePath());
        for (const QString& name : other)
            db->execute(QStringLiteral("ALTER TABLE AddressList DROP COLUMN %1;").arg(jet::bracket(name)),
                        true);
        db->close();
    } catch (const std::exception& e) {
        LogError(ctx, QStringLiteral("RemoveColumns") + kModule, errorInfo(e), true);
    }
    window.rebind(QStringLiteral("SELECT * FROM AddressList"));
}

QString SaveNullEntries(AppContext& ctx, const QString& importedFile, const QString& caption) {
    try {
        {
            auto source = jet::Database::open(importedFile, jet::Database::OpenMode::ReadOnly);
            auto rs = source->openRecordset(QStringLiteral(
                "SELECT Count(EAddress) AS n FROM AddressList WHERE EAddress LIKE \"Unknown*\""));
            if (rs->value(QStringLiteral("n")).toLongLong() == 0) return {};
        }
        QString companion = importedFile;
        companion.insert(companion.size() - 4, QStringLiteral("(No Addresses)"));
        jet::removeDatabase(companion);
        {
            auto db = jet::Database::create(companion);
            db->execute(
                QStringLiteral("SELECT * INTO NoAddressList From [%1].AddressList WHERE AddressList.EAddress "
                               "LIKE \"Unknown*\";")
                    .arg(importedFile),
                true);
            db->renameTable(QStringLiteral("NoAddressList"), QStringLiteral("AddressList"));
            db->close();
        }
        {
            auto source = jet::Database::open(importedFile);
            source->execute(QStringLiteral("DELETE * FROM AddressList WHERE EAddress LIKE \"Unknown*\""),
                            true);
        }
        const QString companionCaption = caption.contains(QLatin1String("(No Addresses)"))
                                             ? caption
                                             : caption + QStringLiteral(" (No Addresses)");
        ctx.windows().openListWindow(companionCaption, companion);
        return companion;
    } catch (const std::exception& e) {
        LogError(ctx, QStringLiteral("SaveNullEntries") + kModule, errorInfo(e), true);
        return {};
    }
}

} // namespace sendora
