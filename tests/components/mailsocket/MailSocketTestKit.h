#pragma once
// Plays the mailing session against a MailSocket: answers its requests from a list of
// messages and records every event as one line of text, so tests compare traces.

#include "components/mailsocket/FakeTransport.h"
#include "components/mailsocket/MailSocket.h"

#include <QStringList>
#include <QTest>

namespace mailtest {

using namespace sendora::mail;

struct TestMessage {
    QString from;
    QStringList to;
    QString body;
    bool block = false;
};

class Driver : public QObject {
public:
    explicit Driver(MailSocket& socket) : s(socket) {
        connect(&s, &MailSocket::Connected, this, [this] {
            log("Connected");
            if (auth)
                s.AuthHello(domain);
            else
                s.Hello(domain);
        });
        connect(&s, &MailSocket::Ready, this, [this] {
            log("Ready");
            ++readyCount;
            if (messages.isEmpty()) {
                if (quitWhenDone) s.Quit();
                return;
            }
            current = messages.takeFirst();
            if (current.block)
                s.SendMessageToArray();
            else
                s.SendMessage();
        });
        connect(&s, &MailSocket::SENDFrom, this, [this] { s.SetFrom(current.from); });
        connect(&s, &MailSocket::SENDTo, this, [this] { s.SetTo({current.to.value(0), false}); });
        connect(&s, &MailSocket::SENDToArray, this, [this] {
            RecipientList list;
            for (const QString& a : current.to)
                list.append({a, false});
            s.SetToArray(list);
        });
        connect(&s, &MailSocket::SENDBody, this, [this] { s.SetBody(current.body); });
        connect(&s, &MailSocket::SENT, this, [this](const Recipient& r) {
            log(QStringLiteral("SENT %1 %2").arg(r.address, r.delivered ? "ok" : "fail"));
            ++sentCount;
        });
        connect(&s, &MailSocket::SENTBlock, this, [this](const RecipientList& list) {
            QStringList parts;
            for (const Recipient& r : list)
                parts << r.address + (r.delivered ? "=ok" : "=fail");
            log("SENTBlock " + parts.join(' '));
            ++sentCount;
        });
        connect(&s, &MailSocket::MAILADDRRejected, this, [this](const QString& l) { log("Rejected " + l); });
        connect(&s, &MailSocket::Failure, this, [this](int code, const QString& text) {
            log(QStringLiteral("Failure %1 %2").arg(code).arg(text));
        });
        connect(&s, &MailSocket::Timeout, this, [this](int seconds) {
            log(QStringLiteral("Timeout %1").arg(seconds));
            ++timeouts;
            if (onTimeout) onTimeout();
        });
        connect(&s, &MailSocket::Disconnected, this, [this] {
            log("Disconnected");
            disconnected = true;
        });
        connect(&s, &MailSocket::DataRecieved, this,
                [this](const QString& cmd, const QString& reply, int code) {
                    exchanges << QStringLiteral("%1 => %2").arg(cmd, reply);
                    codes << code;
                });
        connect(&s, &MailSocket::State, this, [this](int st) {
            states << st;
            if (st == StateClosing) openAtClosing = s.IsOpen();
        });
    }

    void log(const QString& line) { events << line; }
    // Events without the Ready/Connected/Disconnected noise.
    QStringList outcomes() const {
        QStringList out;
        for (const QString& e : events)
            if (!e.startsWith("Ready") && e != "Connected" && e != "Disconnected") out << e;
        return out;
    }

    MailSocket& s;
    QList<TestMessage> messages;
    TestMessage current;
    QString domain = QStringLiteral("example.org");
    bool auth = false;
    bool quitWhenDone = true;
    std::function<void()> onTimeout;

    QStringList events;
    QStringList exchanges;
    QList<int> codes;
    QList<int> states;
    int readyCount = 0;
    int sentCount = 0;
    int timeouts = 0;
    bool disconnected = false;
    bool openAtClosing = true;
};

inline TestMessage message(const QString& to,
                           const QString& body = QStringLiteral("Subject: t\r\n\r\nhello\r\n")) {
    return TestMessage{QStringLiteral("sender@example.org"), {to}, body, false};
}

inline QStringList greeting(bool pipelining = false) {
    QStringList s{"S: 220 mx.test ESMTP", "C: EHLO example.org", "S: 250-mx.test"};
    if (pipelining) s << "S: 250-PIPELINING";
    s << "S: 250 8BITMIME";
    return s;
}

} // namespace mailtest

namespace mailtest {

// A socket wired to a scripted server and a driver.
struct Rig {
    explicit Rig(const QStringList& script) {
        server.setScript(script);
        socket.setTransportFactory(server.factory());
        socket.setHost(QStringLiteral("mx.test"));
        socket.setPort(QStringLiteral("25"));
        socket.setTimeout(5);
    }
    // Connects and waits for the connection to end.
    bool run(int ms = 3000) {
        socket.Connect();
        return QTest::qWaitFor([this] { return driver.disconnected; }, ms);
    }

    FakeServer server;
    MailSocket socket;
    Driver driver{socket};
};

inline QStringList lockstepOk(const QString& to) {
    return {"C: MAIL FROM:<sender@example.org>",
            "S: 250 2.1.0 ok",
            "C: RCPT TO:<" + to + ">",
            "S: 250 2.1.5 ok",
            "C: DATA",
            "S: 354 go ahead",
            "DATA",
            "S: 250 2.0.0 queued"};
}

inline QStringList pipelinedOk(const QString& to) {
    return {"C: MAIL FROM:<sender@example.org>",
            "C: RCPT TO:<" + to + ">",
            "C: DATA",
            "S: 250 2.1.0 ok",
            "S: 250 2.1.5 ok",
            "S: 354 go ahead",
            "DATA",
            "S: 250 2.0.0 queued"};
}

inline const QStringList quit{"C: QUIT", "S: 221 bye"};

} // namespace mailtest
