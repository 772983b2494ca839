// Errors.log entries, the size limit and the optional message.

#include "core/ErrorLog.h"
#include "support/TestApp.h"

#include <QFile>
#include <QTest>

using namespace sendora;
using sendora::test::TestApp;

class TestErrorLog : public QObject {
    Q_OBJECT

    static QByteArray read(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    static void fill(const QString& path, qint64 size) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(size, 'x'));
    }

private Q_SLOTS:
    void entryHasFiveLines() {
        TestApp app;
        LogError(*app.ctx, QStringLiteral("SaveList in mdlListActions"),
                 {3022, QStringLiteral("Duplicate key")}, false);
        const QStringList lines =
            QString::fromUtf8(read(app.ctx->paths.errorLog())).split(QStringLiteral("\r\n"));
        QCOMPARE(lines.size(), 6); // five lines, the last one empty, then the end of the file
        QCOMPARE(lines[0], fullVersionNumber());
        QVERIFY(!lines[1].isEmpty());
        QCOMPARE(lines[2], QStringLiteral("Called From: SaveList in mdlListActions"));
        QCOMPARE(lines[3], QStringLiteral("3022 - Duplicate key"));
        QCOMPARE(lines[4], QString());
        QVERIFY(app.ui.shown.isEmpty());
    }

    void sizeLimit_data() {
        QTest::addColumn<qint64>("existing");
        QTest::addColumn<bool>("kept");
        QTest::newRow("exactly the limit is appended to") << kLogSizeLimit << true;
        QTest::newRow("one byte over starts afresh") << kLogSizeLimit + 1 << false;
    }
    void sizeLimit() {
        QFETCH(qint64, existing);
        QFETCH(bool, kept);
        TestApp app;
        fill(app.ctx->paths.errorLog(), existing);
        LogError(*app.ctx, QStringLiteral("X in Y"), {5, QStringLiteral("boom")}, false);
        const QByteArray log = read(app.ctx->paths.errorLog());
        QCOMPARE(log.startsWith("xxxx"), kept);
        QVERIFY(log.endsWith("5 - boom\r\n\r\n"));
        // The full log is kept whole as the second file, never lost.
        const QByteArray previous = read(app.ctx->paths.errorLog() + ".1");
        if (!kept) QVERIFY(log.size() < 200);
        QCOMPARE(previous.size(), kept ? 0 : existing);
        if (kept) return;

        // The next time round the second file is replaced, never appended to.
        fill(app.ctx->paths.errorLog(), existing + 7);
        LogError(*app.ctx, QStringLiteral("X in Y"), {6, QStringLiteral("again")}, false);
        QCOMPARE(read(app.ctx->paths.errorLog() + ".1").size(), existing + 7);
        QVERIFY(read(app.ctx->paths.errorLog()).endsWith("6 - again\r\n\r\n"));
    }

    void showsTheMessageWhenAsked() {
        TestApp app;
        LogError(*app.ctx, QStringLiteral("OpenMessage in frmOpenDelete"), {3078, QStringLiteral("No table")},
                 true);
        QCOMPARE(app.ui.transcript(), QStringList{QStringLiteral(
                                          "message|information|OK|Sendora|An error occured in OpenMessage in "
                                          "frmOpenDelete\r\nDescription : No table\r\nNumber:       3078")});
    }

    void unwritableLogIsSkippedQuietly() {
        TestApp app;
        // A folder where the log file should be: opening it for append fails.
        QVERIFY(QDir().mkpath(app.ctx->paths.errorLog()));
        LogError(*app.ctx, QStringLiteral("X in Y"), {1, QStringLiteral("d")}, true);
        QCOMPARE(app.ui.shown.size(), 1); // the message still shows
    }
};

QTEST_GUILESS_MAIN(TestErrorLog)
#include "tst_errorlog.moc"
