#include "mailing/ui/SendRemainder.h"

#include "components/jet/Jet.h"
#include "core/AppContext.h"
#include "core/ErrorLog.h"
#include "mailing/SendMDBList.h"

namespace sendora {

QString deliveredAddress(const QString& resultText) {
    if (!resultText.startsWith(QLatin1String("To: "))) return {};
    QString a = resultText.mid(4).trimmed();
    if (a.startsWith(u'<') && a.endsWith(u'>')) a = a.mid(1, a.size() - 2); // ServerWantsBracket
    return a.toLower();
}

std::optional<SendRemainder> unsentRemainder(AppContext& ctx, const MailingRow& row,
                                             const QSet<QString>& delivered) {
    MailEvent options;
    GetMEPFromDB(ctx, options, row.profile);
    SendRemainder r;
    // An empty flag would match every never-sent row, so it marks nothing.
    const QString flag = options.bFlagSends ? options.SentFlag : QString();
    r.leaveOut = [delivered, flag](const QString& address, const QVariant& sent) {
        if (!flag.isEmpty() && !sent.isNull() && sent.toString() == flag) return true;
        // The session sends an address cut at its first blank.
        return delivered.contains(address.section(u' ', 0, 0).toLower());
    };
    try {
        auto sdr = jet::Database::open(ctx.paths.systemDatabase(), jet::Database::OpenMode::ReadOnly);
        auto lists = sdr->openRecordset(QStringLiteral("SELECT ListPath FROM List WHERE ListName = ") +
                                        jet::quote(row.list));
        if (lists->eof()) return std::nullopt;
        auto list = jet::Database::open(ctx.paths.addressLists + lists->value(0).toString(),
                                        jet::Database::OpenMode::ReadOnly);
        // The selection the send itself makes (filter, blocks, flags), counted without spooling.
        const SendMDBList cursor(ctx, options);
        const QString filter = options.bSendFiltered ? options.SQLFilter.trimmed() : QString();
        auto rows = list->openReadOnlyQuery(cursor.recipientStatement(filter));
        for (; !rows->eof(); rows->moveNext())
            if (!r.leaveOut(rows->value(QStringLiteral("EAddress")).toString(),
                            rows->value(QStringLiteral("Sent"))))
                ++r.count;
        return r;
    } catch (const std::exception& e) {
        LogError(ctx, QStringLiteral("unsentRemainder in frmSendMail"), errorInfo(e), false);
        return std::nullopt;
    }
}

QString resumeQuestion(qint64 count) {
    return QStringLiteral("This mailing was stopped before it reached every address.\r\n\r\nSend it only to "
                          "the %1 %2 not sent yet?\r\n\r\nYes sends to those only; No sends the mailing as "
                          "its delivery options say.")
        .arg(count)
        .arg(count == 1 ? QStringLiteral("address") : QStringLiteral("addresses"));
}

} // namespace sendora
