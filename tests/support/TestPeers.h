#pragma once
// What the real test peers (smtp-sink, dnsmasq, dovecot, PostgreSQL) share: a free loopback
// port, a folder a dropped-privilege server can write, and the skip-or-fail rule when the peer
// is not installed.

#include <QFile>
#include <QHostAddress>
#include <QString>
#include <QTcpServer>
#include <QTest>

namespace sendora::test {

// A loopback port nobody listens on right now (the probe closes it again).
inline quint16 freeLoopbackPort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

// Servers started as root drop their privileges; the folder they write must stay open to them.
inline void openToEveryone(const QString& folder) {
    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                                      QFileDevice::ReadOther | QFileDevice::WriteOther |
                                      QFileDevice::ExeOther);
}

} // namespace sendora::test

// Skips the test when Peer::available() is false, and fails it instead when Peer::mustExist()
// (in CI). A macro: QSKIP and QFAIL return from the test function itself.
#define SENDORA_REQUIRE_PEER(Peer, failText, skipText)                                                       \
    do {                                                                                                     \
        if (Peer::available()) break;                                                                        \
        if (Peer::mustExist()) QFAIL(failText);                                                              \
        QSKIP(skipText);                                                                                     \
    } while (false)
