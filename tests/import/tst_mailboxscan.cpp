// Building a list by scanning files: the search modes and flags, ".pmm" conversion, interrupt,
// very long lines, binary files, the stored row rules, a list that cannot be written and the
// line reader.

#include "components/jet/Jet.h"
#include "core/Settings.h"
#include "import/AddrManager.h"
#include "import/EmailFileScan.h"
#include "import/ExtractionList.h"
#include "import/FileObject.h"
#include "support/TestApp.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTest>
#include <QTimer>

using namespace sendora;
using sendora::test::TestApp;

namespace {

struct Row {
    QString address, first, last, keyword1, keyword2, date, sent;
};

QList<Row> rows(const QString& file) {
    QList<Row> result;
    auto db = jet::Database::open(file, jet::Database::OpenMode::ReadOnly);
    for (auto rs = db->openRecordset("SELECT * FROM AddressList"); !rs->eof(); rs->moveNext())
        result << Row{rs->value("EAddress").toString(), rs->value("FirstName").toString(),
                      rs->value("LastName").toString(), rs->value("Keyword1").toString(),
                      rs->value("Keyword2").toString(), rs->value("Date").toString(),
                      rs->value("Sent").toString()};
    return result;
}

QStringList addresses(const QString& file) {
    QStringList a;
    if (file.isEmpty()) return a;
    for (const Row& r : rows(file))
        a << r.address;
    a.sort();
    return a;
}

struct Scan : TestApp {
    AddrManager manager{*ctx};
    Scan() { layOut(); }

    QString write(const QString& name, const QByteArray& data) {
        QFile f(path(name));
        if (!f.open(QIODevice::WriteOnly)) qFatal("cannot write %s", qPrintable(name));
        f.write(data);
        return f.fileName();
    }
    EmailSrcFileObj& add(const QString& file, const QString& type, const QString& mode = "All") {
        EmailSrcFileObj* e = manager.GetTypeAndOptions(file, type);
        if (!e) qFatal("not added");
        e->searchMode = mode;
        return *e;
    }
    // Build List, waiting in the event loop for its end; the list's file.
    QString build(bool ask = false) {
        QEventLoop loop;
        QObject::connect(&manager, &AddrManager::buildFinished, &loop, &QEventLoop::quit);
        manager.BuildList(ask);
        if (manager.building()) {
            QTimer::singleShot(60000, &loop, &QEventLoop::quit);
            loop.exec();
        }
        return manager.listPath();
    }
};

const QByteArray kMailbox = "From bob@example.com Sat Jan  1 00:00:00 2000\n"
                            "From: Bob Smith <bob@example.com> also <bob2@example.com>\n"
                            "TO: \"Jones, Ann\" <ann@example.org>, carl_lee@example.net,\n"
                            "  dave@example.com\n"
                            "  erin@example.com, fred@example.com\n"
                            "Subject: re: ask gina@example.com\n"
                            "bcc: hal@example.com\n"
                            "X-List: ivy@example.com\n"
                            "\n"
                            "Body text mentions body@example.com and body2@example.com here.\n";

} // namespace

class TestMailboxScan : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void modesAndFlags_data();
    void modesAndFlags();
    void storedRows();
    void repeatedAddressKeepsTheNameRules();
    void reformatsPmm();
    void interruptKeepsRows();
    void longLineAndBinary();
    void emptyAndFruitlessFiles();
    void storeFailureStopsTheScan();
    void unwritableListStopsAtTheFirstAddress();
    void lineReader();
};

void TestMailboxScan::modesAndFlags_data() {
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("flags"); // F T C B X: From, To, Cc, Bcc, user text
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("expected");
    // Mailbox "All": the first address of a line without commas, every piece of one with commas.
    QTest::newRow("mailbox all") << "Mailbox"
                                 << "All"
                                 << ""
                                 << "" << QStringList{"ann@example.org",  "bob@example.com",
                                                      "body@example.com", "carl_lee@example.net",
                                                      "dave@example.com", "erin@example.com",
                                                      "fred@example.com", "gina@example.com",
                                                      "hal@example.com",  "ivy@example.com"};
    // "Text" takes every address of every line, the body's included.
    QTest::newRow("as text") << "Text"
                             << "All"
                             << ""
                             << ""
                             << QStringList{"ann@example.org",   "bob2@example.com", "bob@example.com",
                                            "body2@example.com", "body@example.com", "carl_lee@example.net",
                                            "dave@example.com",  "erin@example.com", "fred@example.com",
                                            "gina@example.com",  "hal@example.com",  "ivy@example.com"};
    QTest::newRow("from") << "Mailbox"
                          << "Lines"
                          << "F"
                          << "" << QStringList{"bob@example.com"};
    // "TO:" matches "To:" in any case; its comma run goes on until a line with a colon.
    QTest::newRow("to run") << "Mailbox"
                            << "Lines"
                            << "T"
                            << ""
                            << QStringList{"ann@example.org", "carl_lee@example.net", "dave@example.com",
                                           "erin@example.com", "fred@example.com"};
    QTest::newRow("bcc unchosen") << "Mailbox"
                                  << "Lines"
                                  << "FC"
                                  << "" << QStringList{"bob@example.com"};
    QTest::newRow("bcc chosen") << "Mailbox"
                                << "Lines"
                                << "B"
                                << "" << QStringList{"hal@example.com"};
    QTest::newRow("lines with text") << "Mailbox"
                                     << "Lines"
                                     << "BX"
                                     << "x-list:" << QStringList{"hal@example.com", "ivy@example.com"};
    QTest::newRow("msg") << "Mailbox"
                         << "Msg"
                         << "X"
                         << "Subject:" << QStringList{"gina@example.com"};
}

void TestMailboxScan::modesAndFlags() {
    QFETCH(QString, type);
    QFETCH(QString, mode);
    QFETCH(QString, flags);
    QFETCH(QString, text);
    QFETCH(QStringList, expected);
    Scan s;
    EmailSrcFileObj& e = s.add(s.write("mail.mbx", kMailbox), type, mode);
    e.fromFlag = flags.contains('F');
    e.toFlag = flags.contains('T');
    e.ccFlag = flags.contains('C');
    e.bccFlag = flags.contains('B');
    e.textFlag = flags.contains('X');
    e.userText = text;
    QCOMPARE(addresses(s.build()), expected);
    QCOMPARE(s.ui.messageTexts(), QStringList());
}

void TestMailboxScan::storedRows() {
    Scan s;
    s.ctx->settingsFile.write(kAppDefaults, "KeyCategoryVal1", "second");
    s.ctx->settingsFile.write(kAppDefaults, "KeyCategoryVal2", "first");
    const QString longName = QString(300, 'n');
    const QString longAddress = QString(246, 'a') + "@xample.com"; // 257 characters
    const QString at254 = QString(242, 'b') + "@example.com";      // 254 characters
    const QByteArray text = "John Smith <john.smith@example.com>\n"
                            "again JOHN.SMITH@example.com\n"
                            "john.smith@example.com\n" +
                            ("solo@example.com " + longName + "\n").toLatin1() + longAddress.toLatin1() +
                            "\n" + at254.toLatin1() + "\n";
    s.add(s.write("a.txt", text), "Text");
    const QString file = s.build();
    const QList<Row> stored = rows(file);
    // The same address again (in any letter case) is skipped; one of 255 or more is not stored.
    QCOMPARE(stored.size(), 3);
    QCOMPARE(s.manager.rowsStored(), 3);
    QCOMPARE(s.manager.addressesFound(), 6);
    QCOMPARE(stored[0].address, QString("john.smith@example.com"));
    QCOMPARE(stored[0].first, QString("John"));
    QCOMPARE(stored[0].last, QString("Smith"));
    QCOMPARE(stored[0].keyword1, QString("first"));
    QCOMPARE(stored[0].keyword2, QString("second"));
    QCOMPARE(stored[0].sent, QString(""));
    QVERIFY2(QDateTime::fromString(stored[0].date, "M/d/yyyy h:mm:ss AP").isValid(),
             qPrintable(stored[0].date));
    QCOMPARE(stored[1].first, QString(254, 'n'));
    QCOMPARE(stored[2].address, at254);
    QCOMPARE(QFileInfo(file).fileName(), QString("NewMailingList0.mdb"));
}

void TestMailboxScan::repeatedAddressKeepsTheNameRules() {
    Scan s;
    // The address is already in the list from the first line; on the later lines its names still
    // decide: a message-id (also one a title leaves behind) drops it, an escaped quote is shown.
    s.add(s.write("again.mbx", "bob@example.com\n"
                               "Message-ID: <bob@example.com>\n"
                               "message-Dr. id <bob@example.com>\n"
                               "\"a\\\" b\" <bob@example.com>\n"),
          "Mailbox");
    QCOMPARE(addresses(s.build()), QStringList{"bob@example.com"});
    QCOMPARE(s.manager.addressesFound(), 2);
    QCOMPARE(s.ui.messageTexts(), QStringList{"Unmatched  \\\" pair at positions 4 and 7in string \"a\\\" "
                                              "b\" <bob@example.com>"});
}

void TestMailboxScan::reformatsPmm() {
    Scan s;
    const QString source = s.write("box.PMM", QByteArray("From: A <a@example.com>\nTo: b@exam") + '\0' +
                                                  "ple.com\x1a" + "\nCc: c@example.com\n");
    s.add(source, "Mailbox");
    QCOMPARE(addresses(s.build()), (QStringList{"a@example.com", "c@example.com"}));
    QFile converted(EmailFileScan::reformatName(source));
    QCOMPARE(converted.fileName(), s.path("box_Reformat"));
    QVERIFY(converted.open(QIODevice::ReadOnly));
    QCOMPARE(converted.readAll(),
             QByteArray("From: A <a@example.com>\r\nTo: b@exam ple.com \r\nCc: c@example.com\r\n"));
}

void TestMailboxScan::interruptKeepsRows() {
    Scan s;
    QByteArray big;
    for (int i = 0; i < 200000; ++i)
        big += "To: user" + QByteArray::number(i) + "@example.com\n";
    s.add(s.write("big.mbx", big), "Mailbox");
    qint64 rowsAtStop = -1;
    QObject::connect(&s.manager, &AddrManager::progress, [&](qint64, qint64 stored, qint64, qint64) {
        if (stored > 0 && rowsAtStop < 0) {
            rowsAtStop = stored;
            s.manager.Interrupt();
        }
    });
    const QString file = s.build();
    QVERIFY(rowsAtStop > 0);
    const qint64 kept = rows(file).size();
    QVERIFY2(kept >= rowsAtStop && kept < 200000, qPrintable(QString::number(kept)));
    QCOMPARE(kept, s.manager.rowsStored());
    QCOMPARE(
        s.ui.messageTexts(),
        QStringList{"List build was stopped by user. All the addresses extracted so far have been saved."});
}

void TestMailboxScan::longLineAndBinary() {
    Scan s;
    // One line of 1 MB with addresses at its start, middle and end.
    QByteArray line = "first@example.com " + QByteArray(512 * 1024, 'x') + " mid@example.com ";
    line += QByteArray(1024 * 1024 - line.size() - 20, 'y') + " last@example.com";
    s.add(s.write("long.txt", line + "\nnext@example.com\n"), "Text");
    // NUL and other control bytes around and between the addresses of a binary file.
    QByteArray binary("\x01\xff\xfe\x00", 4);
    binary +=
        QByteArray("bin@example.com\0\0\x1a\x7f", 20) + "\x80\x81 other@example.org" + QByteArray(3, '\0');
    s.add(s.write("blob.bin", binary), "Binary");
    QCOMPARE(addresses(s.build()), (QStringList{"bin@example.com", "first@example.com", "last@example.com",
                                                "mid@example.com", "next@example.com", "other@example.org"}));
}

void TestMailboxScan::emptyAndFruitlessFiles() {
    Scan s;
    // No files chosen.
    s.build();
    QCOMPARE(s.ui.messageTexts(),
             QStringList{"There are currently no files chosen to extract addresses from."});
    s.ui.clear();
    const QString empty = s.write("empty.txt", "");
    const QString none = s.write("none.txt", "no address here\n");
    s.add(empty, "Text");
    s.add(none, "Mailbox");
    QCOMPARE(s.build(), QString());
    QCOMPARE(
        s.ui.transcript(),
        (QStringList{test::msg(QString("Unable to open Email file, \"%1\". File may be empty").arg(empty)),
                     test::msg(QString("No addresses were extracted from the file %1.\rYou should check to "
                                       "ensure that your extraction options are correct. For instance, \r"
                                       "this may be a text file and you may have indicated it to be a "
                                       "mailbox file, \rand to look for addresses after \"FROM:\" ")
                                   .arg(empty),
                               "information", "OK", "No Addresses Extracted -- Check Extraction Options"),
                     test::msg(QString("No addresses were extracted from the file %1.\rYou should check to "
                                       "ensure that your extraction options are correct. For instance, \r"
                                       "this may be a text file and you may have indicated it to be a "
                                       "mailbox file, \rand to look for addresses after \"FROM:\" ")
                                   .arg(none),
                               "information", "OK", "No Addresses Extracted -- Check Extraction Options")}));
    // The same file twice is refused.
    QVERIFY(!s.manager.GetTypeAndOptions(none, "Text"));
    QCOMPARE(s.ui.messageTexts().last(),
             QString("You have already selected this file. Please select another."));
}

void TestMailboxScan::storeFailureStopsTheScan() {
    Scan s;
    QByteArray data;
    for (int i = 0; i < 10 * ExtractionList::kRowsPerTransaction; ++i)
        data += "u" + QByteArray::number(i) + "@example.com\n";
    s.add(s.write("many.txt", data), "Text");
    s.add(s.write("later.txt", "later@example.com\n"), "Text");
    qint64 bytesRead = -1;
    QObject::connect(&s.manager, &AddrManager::progress,
                     [&](qint64, qint64, qint64 bytes, qint64) { bytesRead = bytes; });
    // The disk fills up after the first transaction.
    std::atomic<int> writes = 0;
    jet::setWriteFaultForTesting([&](const QString& file) {
        return file.contains("NewMailingList") && ++writes > ExtractionList::kRowsPerTransaction + 10 ? 13
                                                                                                      : 0;
    });
    const QString file = s.build();
    jet::setWriteFaultForTesting({});
    const qint64 kept = rows(file).size();
    QVERIFY2(kept >= ExtractionList::kRowsPerTransaction - 50 &&
                 kept <= ExtractionList::kRowsPerTransaction + 10,
             qPrintable(QString::number(kept)));
    // Reading stopped a few batches after the failure (the writer is never far behind the scan),
    // and the next file was not opened.
    QVERIFY2(bytesRead > 0 && bytesRead < data.size() / 4, qPrintable(QString::number(bytesRead)));
    QVERIFY(!addresses(file).contains("later@example.com"));
    QFile log(s.ctx->paths.errorLog());
    QVERIFY(log.open(QIODevice::ReadOnly));
    QCOMPARE(log.readAll().count("AddToTempList in EmailParser"), 1);
    // The user is told, not only the error log.
    const QStringList shown = s.ui.messageTexts();
    QCOMPARE(shown.size(), 1);
    QVERIFY(shown.first().startsWith(QStringLiteral("The addresses could not be stored in ")));
    QVERIFY(s.manager.storeFailed());
}

void TestMailboxScan::unwritableListStopsAtTheFirstAddress() {
    Scan s;
    s.start();
    // Something that is not a database already holds the list's name.
    const QString blocked = s.ctx->paths.temp + "NewMailingList0.mdb";
    QVERIFY(QDir().mkpath(blocked + "/inside"));
    QByteArray data = "first@example.com\n";
    for (int i = 0; i < 100000; ++i)
        data += "u" + QByteArray::number(i) + "@example.com\n";
    const QString input = s.write("many.txt", data);
    s.add(input, "Text");
    qint64 bytesRead = -1;
    QObject::connect(&s.manager, &AddrManager::progress,
                     [&](qint64, qint64, qint64 bytes, qint64) { bytesRead = bytes; });
    s.build();
    QCOMPARE(bytesRead, qint64(sizeof("first@example.com\n") - 1));
    QCOMPARE(s.manager.rowsStored(), 0);
    QVERIFY(s.manager.storeFailed());
    const QStringList shown = s.ui.messageTexts();
    QCOMPARE(shown.size(), 1);
    QVERIFY2(shown.first().startsWith(QStringLiteral("The addresses could not be stored in ")),
             qPrintable(shown.first()));

    // sendora-cli scan says so and exits 3.
    QProcess cli;
    cli.start(QStringLiteral(SENDORA_CLI), {"--data-dir", s.dir.path(), "scan", input});
    QVERIFY(cli.waitForFinished(60000));
    const QString err = QString::fromUtf8(cli.readAllStandardError());
    QCOMPARE(cli.exitCode(), 3);
    QVERIFY2(err.contains("The addresses could not be stored in ") &&
                 err.contains("sendora-cli: scan: the list could not be written"),
             qPrintable(err));
    QCOMPARE(cli.readAllStandardOutput(), QByteArray());
}

void TestMailboxScan::lineReader() {
    TestApp app;
    // CR, CR LF and LF end lines; empty lines count as read.
    QByteArray data = "one\rtwo\r\nthree\nfour\r\n\r\nlast";
    QFile f(app.path("lines.txt"));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(data);
    f.close();
    FileObject reader;
    QVERIFY(reader.OpenFile(f.fileName()));
    QStringList lines;
    for (QString l = reader.Readline(); l != kFileEof; l = reader.Readline())
        lines << l;
    QCOMPARE(lines, (QStringList{"one", "two", "three", "four", "", "last"}));
    QCOMPARE(reader.LinesRead(), 6);
    QCOMPARE(reader.BytesRead(), data.size());
    // A CR LF split across two reads is one line end; UTF-8 is decoded, other bytes read as Latin-1.
    data = QByteArray(65535, 'a') + "\r\nJos\xc3\xa9\r\nM\xfcller";
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(data);
    f.close();
    QVERIFY(reader.OpenFile(f.fileName()));
    reader.setSegmentSize(65536); // the CR ends the first read
    QCOMPARE(reader.Readline().size(), 65535);
    QCOMPARE(reader.Readline(), QString("Jos\u00e9"));
    QCOMPARE(reader.Readline(), QString("M\u00fcller"));
    QCOMPARE(reader.Readline(), kFileEof);
    // Lines without "@" are passed over and counted as read, whatever ends them.
    data = QByteArray(65535, 'a') + "\r\nb\rc\n\n" + "d@x\re\r";
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(data);
    f.close();
    QVERIFY(reader.OpenFile(f.fileName()));
    reader.setSegmentSize(65536);
    auto skip = [&] {
        FileObject::Skip s;
        while ((s = reader.skipToLineWith('@')) == FileObject::Skip::Later) {
        }
        return s;
    };
    QCOMPARE(skip(), FileObject::Skip::Found);
    QCOMPARE(reader.LinesRead(), 4);
    QCOMPARE(reader.Readline(), QString("d@x"));
    QCOMPARE(skip(), FileObject::Skip::End);
    QCOMPARE(reader.LinesRead(), 6);
    QCOMPARE(reader.BytesRead(), data.size());
    QVERIFY(!reader.OpenFile(app.path("missing.txt")));
}

QTEST_GUILESS_MAIN(TestMailboxScan)
#include "tst_mailboxscan.moc"
