#include "lists/FindReplace.h"

#include "components/jet/Jet.h"
#include "core/UserInterface.h"

#include <QLockFile>

namespace sendora {

namespace {

QString emptyOrNull(const QString& column, const QString& search) {
    const QString c = jet::bracket(column);
    return QStringLiteral("(%1 = %2) OR (isnull(%1))").arg(c, jet::quote(search));
}

QString where(const QString& column, const QString& search) {
    return search.isEmpty() ? emptyOrNull(column, search)
                            : jet::bracket(column) + QStringLiteral(" = ") + jet::quote(search);
}

} // namespace

QString replaceQuestion(qint64 count) {
    return QStringLiteral("You are about to replace ") + QString::number(count) +
           QStringLiteral(" value(s) with the new selected value.  Are you sure?");
}

bool acceptableFindText(const QString& text) {
    return !text.contains(QLatin1Char('"'));
}

QString findStringText(const QString& typed, bool exact) {
    if (!exact) return QLatin1Char('*') + jet::escapeLike(typed) + QLatin1Char('*');
    // A "*" makes the list window search by pattern; escaped, the pattern matches the text only.
    return typed.contains(QLatin1Char('*')) ? jet::escapeLike(typed) : typed;
}

QString replaceCountSql(const QString& column, const QString& search) {
    return QStringLiteral("SELECT count(EAddress) as c_Eaddress FROM AddressList WHERE ") +
           where(column, search);
}

QString replaceUpdateSql(const QString& column, const QString& search, const QString& replacement) {
    return QStringLiteral("UPDATE AddressList SET ") + jet::bracket(column) + QStringLiteral(" = ") +
           jet::quote(replacement) + QStringLiteral(" WHERE ") + where(column, search);
}

namespace {

QString containsWhere(const QString& column, const QString& search) {
    return jet::bracket(column) + QStringLiteral(" Like ") +
           jet::quote(QLatin1Char('*') + jet::escapeLike(search) + QLatin1Char('*'));
}

// Contains: the address and the new value of every cell holding the search text.
QList<std::pair<QVariant, QString>> containingCells(jet::Database& db, const QString& column,
                                                    const QString& search, const QString& replacement) {
    QList<std::pair<QVariant, QString>> out;
    auto rs = db.openRecordset(QStringLiteral("SELECT EAddress, ") + jet::bracket(column) +
                               QStringLiteral(" FROM AddressList WHERE ") + containsWhere(column, search));
    for (; !rs->eof(); rs->moveNext())
        out.append({rs->value(0), rs->value(1).toString().replace(search, replacement, Qt::CaseInsensitive)});
    return out;
}

} // namespace

ReplaceResult replaceAll(UserInterface& ui, const QString& listFile, const QString& column,
                         const QString& search, const QString& replacement, ReplaceMatch match) {
    using Outcome = ReplaceResult::Outcome;
    ReplaceResult r;
    if (search.isEmpty() && replacement.isEmpty()) return r;
    const bool contains = match == ReplaceMatch::Contains && !search.isEmpty();
    // A running mailing holds this lock while it writes the "Sent" flags; holding it here
    // keeps a mailing from starting halfway through the change.
    QLockFile sending(listFile + QStringLiteral(".sending"));
    sending.setStaleLockTime(0);
    if (!sending.tryLock(0)) {
        r.outcome = Outcome::Failed;
        r.error = QStringLiteral("The list is being sent by a mailing and cannot be changed until it ends.");
        return r;
    }
    try {
        auto db = jet::Database::open(listFile);
        if (!db->hasField(QStringLiteral("AddressList"), column)) {
            r.outcome = Outcome::Failed;
            r.error = QStringLiteral("The list has no column named ") + column + u'.';
            return r;
        }
        auto count = [&](const QString& value) {
            const QString sql =
                contains ? QStringLiteral("SELECT count(EAddress) as c_Eaddress FROM AddressList WHERE ") +
                               containsWhere(column, value)
                         : replaceCountSql(column, value);
            return db->openRecordset(sql)->value(0).toLongLong();
        };
        r.count = count(search);
        if (r.count == 0) {
            r.outcome = Outcome::NotFound;
            ui.message(kReplaceNotFound, Buttons::OK, Icon::Information);
            return r;
        }
        if (ui.message(replaceQuestion(r.count), Buttons::YesNo, Icon::Question) != Answer::Yes) {
            r.outcome = Outcome::Declined;
            return r;
        }
        const bool addressColumn = column.compare(QLatin1String("EAddress"), Qt::CaseInsensitive) == 0;
        if (addressColumn && !contains &&
            db->openRecordset(replaceCountSql(column, replacement))->value(0).toLongLong() > 0) {
            r.outcome = Outcome::AddressExists;
            ui.message(kReplaceAddressExists, Buttons::OK, Icon::Exclamation);
            return r;
        }
        // The user agreed to a number of cells: change exactly those or nothing.
        db->beginTransaction();
        try {
            qint64 changed = 0;
            if (contains) {
                const auto cells = containingCells(*db, column, search, replacement);
                auto update = db->prepareStatement(
                    QStringLiteral("UPDATE AddressList SET ") + jet::bracket(column) + QStringLiteral(" = ") +
                    jet::param(1) + QStringLiteral(" WHERE EAddress = ") + jet::param(2));
                for (const auto& [address, value] : cells) {
                    update->bind(1, value);
                    update->bind(2, address);
                    changed += update->execute(); // 0 when the new address is already taken
                }
            } else {
                db->execute(replaceUpdateSql(column, search, replacement), addressColumn);
                changed = db->recordsAffected();
            }
            if (changed != r.count) {
                db->rollback();
                r.outcome = addressColumn ? Outcome::AddressExists : Outcome::Failed;
                if (addressColumn)
                    ui.message(kReplaceAddressExists, Buttons::OK, Icon::Exclamation);
                else
                    r.error = QStringLiteral("The list changed after the values were counted (%1 counted, %2 "
                                             "found now); nothing was replaced.")
                                  .arg(r.count)
                                  .arg(changed);
                return r;
            }
            db->commit();
        } catch (...) {
            db->rollback();
            throw;
        }
        r.outcome = Outcome::Replaced;
    } catch (const jet::Error& e) {
        r.outcome = e.number() == jet::ErrDuplicateKey ? Outcome::AddressExists : Outcome::Failed;
        if (r.outcome == Outcome::AddressExists)
            ui.message(kReplaceAddressExists, Buttons::OK, Icon::Exclamation);
        else
            r.error = e.description();
    } catch (const std::exception& e) {
        r.outcome = Outcome::Failed;
        r.error = QString::fromStdString(e.what());
    }
    return r;
}

} // namespace sendora
