// Start-up from an empty folder, the platform checks, the single-instance rule and the
// start-up side of the system database: creation, sample data, list synchronisation and
// the default delivery options check.

#include "components/jet/Jet.h"
#include "core/Startup.h"
#include "core/SystemDatabase.h"
#include "support/DbQuery.h"
#include "support/RecordingHost.h"
#include "support/TestApp.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

using namespace sendora;
using sendora::test::RecordingHost;
using sendora::test::scalar;
using sendora::test::TestApp;

namespace {

const QString kSampleQuestion = QStringLiteral("message|question|YesNo|Sendora|Sendora is now creating the "
                                               "main database.\r\nWould you like it to create sample "
                                               "data that you can view, edit and send to?");

void writeGarbage(const QString& path) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("This is not a database file, just some text that happens to be here.\n");
}

} // namespace

class TestStartup : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void firstStartInAnEmptyFolder() {
        RecordingHost host;
        TestApp app(&host);
        app.ui.answers = {Answer::Yes};
        Startup startup(*app.ctx);
        QVERIFY2(startup.run(), qPrintable(startup.failureText()));

        for (const char* folder : {"system", "AddressLists", "Mailings", "Attach", "MailEventProfiles",
                                   "Mailboxes", "temp", "DSTemp", "Templates", "Search Files"})
            QVERIFY2(QFileInfo(app.path(QLatin1String(folder))).isDir(), folder);
        QVERIFY(!QFileInfo::exists(app.path(QStringLiteral("Messages"))));
        QVERIFY(!QFileInfo::exists(app.path(QStringLiteral("help"))));
        QVERIFY(QFileInfo::exists(app.path(QStringLiteral("Sendora.ini"))));
        QVERIFY(QFileInfo::exists(app.path(QStringLiteral("Templates/message_logo_large.jpg"))));
        QVERIFY(QFileInfo::exists(app.path(QStringLiteral("AddressLists/Global Remove List.mdb"))));
        QVERIFY(QFileInfo::exists(app.path(QStringLiteral("AddressLists/Sample - Formal Letter.mdb"))));
        QCOMPARE(app.ctx->settings.wordWrapSize, 0);

        QCOMPARE(app.ui.transcript(), QStringList{kSampleQuestion});
        QCOMPARE(host.calls, (QStringList{"showMainWindow", "mainWindowReady"}));

        const QString sdr = app.ctx->paths.systemDatabase();
        QCOMPARE(scalar(sdr, "SELECT SDRVersion FROM ProductVersion").toInt(), 9);
        QCOMPARE(scalar(sdr, "SELECT Count(*) FROM List").toInt(), 2);
        QCOMPARE(scalar(sdr, "SELECT ListDescription FROM List WHERE ListName = \"global remove list\"")
                     .toString(),
                 QStringLiteral("List of recipients who wish to be removed from mailing lists as well as "
                                "undeliverable addresses."));
        QCOMPARE(scalar(sdr, "SELECT bFlagSends FROM Profile").toInt(), -1);
        QVERIFY(scalar(sdr, "SELECT ProfileCreationDate FROM Profile").isNull());
        QCOMPARE(scalar(sdr, "SELECT SendType FROM Message").toInt(), 2);
        QCOMPARE(scalar(sdr, "SELECT MissingLNameOption FROM Message").toInt(), -1);
        QVERIFY(scalar(sdr, "SELECT HTMLText FROM Message")
                    .toString()
                    .contains(app.ctx->paths.templates + "message_logo_large.jpg"));
        QCOMPARE(scalar(sdr, "SELECT SentCount FROM MailEvent").toInt(), 0);
        QCOMPARE(
            scalar(app.path("AddressLists/Sample - Formal Letter.mdb"), "SELECT Count(*) FROM AddressList")
                .toInt(),
            5);
        QCOMPARE(scalar(app.path("AddressLists/Global Remove List.mdb"), "SELECT FirstName FROM AddressList")
                     .toString(),
                 QStringLiteral("Global"));
    }

    void noSampleDataStillMakesTheGlobalRemoveList() {
        TestApp app;
        app.ui.answers = {Answer::No};
        Startup startup(*app.ctx);
        QVERIFY(startup.run());
        QCOMPARE(app.ui.transcript(), QStringList{kSampleQuestion});
        const QString sdr = app.ctx->paths.systemDatabase();
        QCOMPARE(scalar(sdr, "SELECT ListName FROM List").toString(), QStringLiteral("Global Remove List"));
        QCOMPARE(scalar(sdr, "SELECT Count(*) FROM Message").toInt(), 0);
        QVERIFY(!QFileInfo::exists(app.path("AddressLists/Sample - Formal Letter.mdb")));
    }

    void secondStartTouchesNothing() {
        TestApp app;
        QVERIFY(Startup(*app.ctx).run());
        app.ui.clear();
        const QDateTime before = QFileInfo(app.ctx->paths.systemDatabase()).lastModified();
        QVERIFY(Startup(*app.ctx).run());
        QCOMPARE(app.ui.transcript(), QStringList());
        QVERIFY(!QFileInfo::exists(app.ctx->paths.upgradeOld()));
        QCOMPARE(QFileInfo(app.ctx->paths.systemDatabase()).lastModified(), before);
    }

    void platformChecks_data() {
        QTest::addColumn<QString>("html");
        QTest::addColumn<QString>("engine");
        QTest::addColumn<QString>("message");
        const QString web = QStringLiteral("message|information|OK|Sendora|Sendora cannot detect a version "
                                           "of Internet Explorer greater\r\nthen "
                                           "version 4.01. This version of Internet Explorer is "
                                           "required\r\nin order for the components of Sendora to "
                                           "function correctly. Please contact support.");
        const QString engine =
            QStringLiteral("message|information|OK|Sendora|Please install the latest version of "
                           "MDAC.\r\nThis installation can be "
                           "found in the Sendora\r\ndirectory. The name of the file is MDAC_TYP.EXE");
        QTest::newRow("web component equal fails") << "4.72.2106.8"
                                                   << "3.40.1" << web;
        QTest::newRow("web component older fails") << "4.01"
                                                   << "3.40.1" << web;
        QTest::newRow("engine too old") << "6.4.2"
                                        << "3.34.9" << engine;
        QTest::newRow("engine 3.9 is older than 3.35") << "6.4.2"
                                                       << "3.9.0" << engine;
    }
    void platformChecks() {
        QFETCH(QString, html);
        QFETCH(QString, engine);
        QFETCH(QString, message);
        TestApp app;
        Startup startup(*app.ctx);
        startup.htmlComponentVersion = html;
        startup.storageEngineVersion = engine;
        QVERIFY(!startup.run());
        QCOMPARE(app.ui.transcript(), QStringList{message});
        QVERIFY(!QFileInfo::exists(app.path("system")));
    }

    void versionsCompareNumerically() {
        QVERIFY(compareVersions("1.10.0", "1.9.0") > 0);
        QVERIFY(compareVersions("1.9", "1.10.0") < 0);
        QCOMPARE(compareVersions("3.35", "3.35.0"), 0);
        // 10.0 is newer than 4.72.2106.8, though it sorts before it as text.
        TestApp app;
        Startup startup(*app.ctx);
        startup.htmlComponentVersion = QStringLiteral("10.0");
        QVERIFY2(startup.run(), qPrintable(startup.failureText()));
    }

    void oneInstancePerFolder() {
        TestApp app;
        Startup first(*app.ctx);
        QVERIFY(first.run());
        app.ui.clear();
        Startup second(*app.ctx);
        QVERIFY(!second.run());
        QCOMPARE(app.ui.transcript(),
                 QStringList{QStringLiteral(
                     "message|information|OK|Sendora|You are attempting to run 2 instances of Sendora from "
                     "the same "
                     "directory.\r\nThis may corrupt system files and Sendora will now shutdown. Please "
                     "run\r\nSendora "
                     "from a different directory. If you need assistance please contact\r\nsupport.")});
    }

    void readOnlyDatabaseIsMadeWritable() {
        TestApp app;
        QVERIFY(Startup(*app.ctx).run());
        const QString sdr = app.ctx->paths.systemDatabase();
        QFile::setPermissions(sdr, QFileDevice::ReadOwner | QFileDevice::ReadGroup);
        QVERIFY(Startup(*app.ctx).run());
        QVERIFY(QFileInfo(sdr).permissions() & QFileDevice::WriteOwner);
    }

    void damagedSystemDatabaseIsKept() {
        TestApp app;
        app.layOut();
        const QString sdr = app.ctx->paths.systemDatabase();
        writeGarbage(sdr);
        QFile f(sdr);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray original = f.readAll();
        f.close();

        Startup startup(*app.ctx);
        QVERIFY(!startup.run());
        const QStringList shown = app.ui.messageTexts();
        QVERIFY(!shown.isEmpty());
        QVERIFY2(shown.first().startsWith(QStringLiteral("Error 3343 in SDRVerify\r\n")),
                 qPrintable(shown.first()));
        QVERIFY(shown.last().startsWith(QStringLiteral("An error occured in UpgradeSystemDatabase")));
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), original);
        QVERIFY(!QFileInfo::exists(app.ctx->paths.upgradeTemp()));
    }

    void listFilesAndCatalogueAreReconciled() {
        TestApp app;
        app.ui.answers = {Answer::Yes};
        QVERIFY(Startup(*app.ctx).run());
        const QString lists = app.ctx->paths.addressLists;

        // An extra list, an import copy that never counts, a damaged file and a missing one.
        QVERIFY(createSampleList(lists + "Extra Customers.mdb"));
        QVERIFY(createSampleList(lists + "Import Copy of Extra.mdb"));
        writeGarbage(lists + "Broken.mdb");
        QVERIFY(QFile::remove(lists + "Sample - Formal Letter.mdb"));
        app.ui.clear();

        gSyncronizeAddressLists(*app.ctx);
        const QStringList t = app.ui.transcript();
        QCOMPARE(t.size(), 3);
        QVERIFY2(t[0].startsWith("message|none|OK|Sendora|Error #3343 In Synchronize Lists \r\n"),
                 qPrintable(t[0]));
        QVERIFY(t[0].endsWith("\r\nThe database file may be damaged"));
        QCOMPARE(t[1], QStringLiteral(
                           "checklist|none|OK|Missing Mailing List Files|The following mailing list files "
                           "are referenced in the Sendora file, but are missing from the mailing list "
                           "directory.  Check those mailing list references that should be removed from "
                           "Sendora."));
        QCOMPARE(app.ui.shown[1].items, QStringList{"Sample - Formal Letter.mdb"});
        QCOMPARE(t[2], QStringLiteral(
                           "checklist|none|OK|Extra Mailing List Files|The following extra mailing list "
                           "files are present in the mailing list directory, but are not referenced in the "
                           "Sendora file.  Check those files that should be added to Sendora."));
        QCOMPARE(app.ui.shown[2].items, QStringList{"Extra Customers.mdb"});

        const QString sdr = app.ctx->paths.systemDatabase();
        QCOMPARE(scalar(sdr, "SELECT Count(*) FROM List WHERE ListName = \"Sample - Formal Letter\"").toInt(),
                 0);
        QCOMPARE(scalar(sdr, "SELECT ListDescription FROM List WHERE ListPath = \"Extra Customers.mdb\"")
                     .toString(),
                 QStringLiteral("Added at startup"));
        QCOMPARE(scalar(sdr, "SELECT ListName FROM List WHERE ListPath = \"Extra Customers.mdb\"").toString(),
                 QStringLiteral("Extra Customers"));
    }

    void missingDefaultProfileCallsTheWizard() {
        RecordingHost host;
        TestApp app(&host);
        QVERIFY(Startup(*app.ctx).run());
        {
            auto db = jet::Database::open(app.ctx->paths.systemDatabase());
            db->execute("DELETE * FROM Profile WHERE ProfileName = \"default delivery options\"");
        }
        app.ui.clear();
        host.calls.clear();
        QVERIFY(Startup(*app.ctx).run());
        QCOMPARE(app.ui.transcript(),
                 QStringList{
                     QStringLiteral("message|information|OK|Sendora|A default Delivery Options set was not "
                                    "found.  \nThe Delivery Options Wizard will now be called so you can "
                                    "supply the default values needed")});
        QCOMPARE(host.count("openDeliveryOptionsWizard:Default Delivery Options"), 1);
    }

    void globalRemoveListIsRecreatedWhenMissing() {
        TestApp app;
        app.ui.answers = {Answer::No};
        QVERIFY(Startup(*app.ctx).run());
        const QString grl = app.ctx->paths.listFile(kGlobalRemoveListFile);
        QVERIFY(QFile::remove(grl));
        app.ui.clear();
        QVERIFY(Startup(*app.ctx).run());
        QVERIFY(QFileInfo::exists(grl));
        QCOMPARE(app.ui.transcript(), QStringList()); // the catalogue row existed: silently kept

        app.ui.clear();
        QVERIFY(CreateGlobalRemoveList(*app.ctx));
        QCOMPARE(app.ui.transcript(),
                 QStringList{
                     "message|none|OK|Sendora|Sendora will create a Global Remove List in your AddressLists "
                     "folder.\r\n"});
    }

    void temporaryListsAreClearedAtStart() {
        TestApp app;
        app.layOut();
        QFile f(app.ctx->paths.temp + "NewMailingList7.mdb");
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.close();
        QFile keep(app.ctx->paths.temp + "notes.txt");
        QVERIFY(keep.open(QIODevice::WriteOnly));
        keep.close();
        QVERIFY(Startup(*app.ctx).run());
        QVERIFY(!QFileInfo::exists(f.fileName()));
        QVERIFY(QFileInfo::exists(keep.fileName()));
    }

    void countsNamesWithoutCase() {
        TestApp app;
        app.ui.answers = {Answer::Yes};
        QVERIFY(Startup(*app.ctx).run());
        const QString sdr = app.ctx->paths.systemDatabase();
        QCOMPARE(CountRecordsBySpecificStringValue(*app.ctx, sdr, "Sendora", "SendoraName", "SAMPLE"), 1L);
        QCOMPARE(CountRecordsBySpecificStringValue(*app.ctx, sdr, "Sendora", "SendoraName",
                                                   "Sample\" OR \"1\"=\"1"),
                 0L);
        QCOMPARE(
            CountRecordsBySpecificStringValue(*app.ctx, sdr, "Message", "MessageName", "sample - sendora"),
            1L);
    }
};

QTEST_GUILESS_MAIN(TestStartup)
#include "tst_startup.moc"
