// Composition with hostile merged values: whatever the values hold, no line of the message
// passes 998 bytes, the only boundary lines are the message's own, and the SMTP framing
// of the result agrees.

#include "components/mailsocket/SmtpProtocol.h"
#include "core/AppContext.h"
#include "mailing/compose/PreparedMailing.h"

#include <QByteArray>
#include <QDir>
#include <cstdint>
#include <cstdlib>

using namespace sendora;

namespace {

QList<QByteArray> boundaryLines(const QByteArray& data) {
    QList<QByteArray> out;
    for (QByteArray line : data.split('\n')) {
        if (line.endsWith('\r')) line.chop(1);
        if (line.size() > 998) std::abort();
        if (line.size() >= 5 && line.left(5).toLower() == "--klx") out << line;
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static AppContext ctx(QDir::tempPath() + QStringLiteral("/sendora-fuzz-mime"), nullptr, nullptr);
    if (size < 2) return 0;
    const int sendType = data[0] % 3;
    const int wrap = data[1] % 4 == 0 ? 40 : 0;
    // The rest: up to three values separated by NUL bytes, read as UTF-8 (or Latin-1).
    const QByteArray rest(reinterpret_cast<const char*>(data + 2), qsizetype(size - 2));
    QList<QByteArray> parts = rest.split('\0');
    while (parts.size() < 3)
        parts << QByteArray();
    QStringList values;
    for (int i = 0; i < 3; ++i)
        values << (parts[i].isValidUtf8() ? QString::fromUtf8(parts[i]) : QString::fromLatin1(parts[i]));

    MailingSetup s;
    s.sender = QStringLiteral("news@example.com");
    s.now = QDateTime(QDate(2005, 1, 5), QTime(14, 3, 9), Qt::OffsetFromUTC, 3600);
    s.wrapWidth = wrap;
    s.columns = ListColumns({QStringLiteral("EAddress"), QStringLiteral("FirstName"),
                             QStringLiteral("Company"), QStringLiteral("City")});
    s.message.sendType = sendType;
    s.message.subject = QStringLiteral("Hi [[FirstName]]");
    s.message.fromName = QStringLiteral("[[City]] News");
    s.message.messageText = QStringLiteral("Dear [[FirstName]]\r\n[[Company]]\r\n--KLX[[City]]");
    s.message.htmlText = QStringLiteral("<title>[[City]]</title><body>[[Company]]</body>");
    s.message.greeting.addressType = 1;
    s.message.greeting.greetingType = 1;
    s.message.greeting.useGreetingManager = true;
    s.message.greeting.useFName = true;
    PreparedMailing mailing(ctx, s, [](const QString&) {});
    RecipientRow row;
    row.set(QStringLiteral("FirstName"), values[0]);
    row.set(QStringLiteral("Company"), values[1]);
    row.set(QStringLiteral("City"), values[2]);
    const QByteArray message = mailing.composeForRow(QStringLiteral("a@x.org"), row).data;

    // The same values merged into nothing give the message's own boundary lines.
    RecipientRow plain;
    plain.set(QStringLiteral("FirstName"), QStringLiteral("Ann"));
    if (boundaryLines(message) != boundaryLines(mailing.composeForRow(QStringLiteral("a@x.org"), plain).data))
        std::abort();

    QByteArray framed;
    qsizetype longest = 0;
    mail::smtp::appendDataContent(framed, message, &longest);
    if (longest > mail::smtp::kMaxLineLength) std::abort();
    return 0;
}
