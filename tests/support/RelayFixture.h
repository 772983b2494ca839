#pragma once
// A mailing ready to send: list "Members", message "Hello" (personalised by a merge tag),
// delivery options pointing at a scripted or real server, and one MailEvent row.

#include "components/mailsocket/FakeTransport.h"
#include "mailing/relay/RelaySend.h"
#include "mailing/relay/SMTPSocket.h"
#include "support/MailingFixture.h"

#include <QEventLoop>
#include <QTimer>

namespace sendora::test {

struct RelayFixture : MailingFixture {
    mail::FakeServer server;
    qint64 mailingId = 0;

    explicit RelayFixture(const QStringList& addresses,
                          const QString& html = QStringLiteral("<p>Hello [[FirstName]]</p>")) {
        makeList(QStringLiteral("Members"), addresses);
        execute(
            QStringLiteral(
                "INSERT INTO Message (MessageName, Subject, SendType, HTMLText, AddressType, GreetingType) "
                "VALUES(\"Hello\",\"Greetings\",1,%1,0,0)")
                .arg(jet::quote(html)));
        execute(
            QStringLiteral("UPDATE Profile SET SmtpServer = \"mail.test\", [From] = \"news@example.org\", "
                           "ReplyTo = \"\", bSendInBlocks = -1, SendBlockSize = 100000"));
        mailingId = addSpringMailing();
    }

    MailingRow row() { return *loadMailingRow(*app.ctx, mailingId); }

    // Runs one send to its end (or the time limit); returns whether it completed.
    bool runToEnd(RelaySend& mailing, int limitMs = 20000) {
        bool completed = false;
        QEventLoop loop;
        QObject::connect(&mailing, &RelaySend::finished, &loop, [&](bool c) {
            completed = c;
            loop.quit();
        });
        QTimer::singleShot(limitMs, &loop, &QEventLoop::quit);
        if (!mailing.start()) return false;
        loop.exec();
        return completed;
    }

    static QStringList greeting() {
        return {QStringLiteral("S: 220 fake ESMTP"), QStringLiteral("C: EHLO example.org"),
                QStringLiteral("S: 250 fake")};
    }
    static QStringList accept(const QString& address) {
        return {QStringLiteral("C: MAIL FROM:<news@example.org>"),
                QStringLiteral("S: 250 ok"),
                QStringLiteral("C: RCPT TO:<%1>").arg(address),
                QStringLiteral("S: 250 ok"),
                QStringLiteral("C: DATA"),
                QStringLiteral("S: 354 go"),
                QStringLiteral("DATA"),
                QStringLiteral("S: 250 queued")};
    }
    static QStringList quit() { return {QStringLiteral("C: QUIT"), QStringLiteral("S: 221 bye")}; }

    QStringList sendLog() const {
        QFile f(app.ctx->paths.app + QStringLiteral("sendlog.log"));
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()).split(QStringLiteral("\r\n"))
                                           : QStringList();
    }
    QVariant mailEvent(const QString& column) const {
        auto db = jet::Database::open(sdr(), jet::Database::OpenMode::ReadOnly);
        return db
            ->openRecordset(QStringLiteral("SELECT %1 FROM MailEvent WHERE MailEventName = %2")
                                .arg(column)
                                .arg(mailingId))
            ->value(0);
    }
};

} // namespace sendora::test
