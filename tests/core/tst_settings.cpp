// Settings file semantics, the first-run writer and the loader's defaults.

#include "core/IniFile.h"
#include "core/Settings.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace sendora;

class TestSettings : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString file(const char* name) { return m_dir.filePath(QLatin1String(name)); }
    static void writeRaw(const QString& path, const QByteArray& bytes) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    static QByteArray readRaw(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

private Q_SLOTS:
    void readsLikeTheProfileApi_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("expected");
        const QByteArray base = "[ApplicationDefaults]\r\nMailServer = smtp.example.org \r\nEmpty=\r\n"
                                "Quoted=\"  padded  \"\r\n; Comment=1\r\n\r\n[Other]\r\nMailServer=other\r\n";
        QTest::newRow("exact") << base << "ApplicationDefaults"
                               << "MailServer"
                               << "smtp.example.org";
        QTest::newRow("section and key without case") << base << "applicationdefaults"
                                                      << "MAILSERVER"
                                                      << "smtp.example.org";
        QTest::newRow("present but empty is not the default") << base << "ApplicationDefaults"
                                                              << "Empty"
                                                              << "";
        QTest::newRow("surrounding quotes stripped") << base << "ApplicationDefaults"
                                                     << "Quoted"
                                                     << "  padded  ";
        QTest::newRow("comment line is no key") << base << "ApplicationDefaults"
                                                << "; Comment"
                                                << "<default>";
        QTest::newRow("absent key") << base << "ApplicationDefaults"
                                    << "Missing"
                                    << "<default>";
        QTest::newRow("key of another section") << base << "Other"
                                                << "MailServer"
                                                << "other";
        QTest::newRow("LF-only file") << QByteArray("[A]\nk=v\n") << "A"
                                      << "k"
                                      << "v";
        QTest::newRow("value keeps later equals signs") << QByteArray("[A]\r\nk=a=b\r\n") << "A"
                                                        << "k"
                                                        << "a=b";
    }
    void readsLikeTheProfileApi() {
        QFETCH(QByteArray, content);
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, expected);
        const QString path = file("read.ini");
        writeRaw(path, content);
        IniFile ini(path);
        QCOMPARE(ini.read(section, key, QStringLiteral("<default>")), expected);
    }

    void writesInPlaceWithCrlf() {
        const QString path = file("write.ini");
        writeRaw(path, "[A]\r\nOne=1\r\n\r\n[B]\r\nTwo=2\r\n");
        IniFile ini(path);
        QVERIFY(ini.write(QStringLiteral("a"), QStringLiteral("ONE"), QStringLiteral("uno")));
        QVERIFY(ini.write(QStringLiteral("A"), QStringLiteral("Three"), QStringLiteral("3")));
        QVERIFY(ini.write(QStringLiteral("C"), QStringLiteral("Four"), QStringLiteral("4")));
        QCOMPARE(readRaw(path),
                 QByteArray("[A]\r\nONE=uno\r\nThree=3\r\n\r\n[B]\r\nTwo=2\r\n[C]\r\nFour=4\r\n"));
        QCOMPARE(ini.read(QStringLiteral("A"), QStringLiteral("one")), QStringLiteral("uno"));
    }

    void missingOrUnreadableFileGivesDefaults() {
        IniFile absent(file("absent.ini"));
        QVERIFY(!absent.exists());
        QCOMPARE(absent.read(QStringLiteral("A"), QStringLiteral("k"), QStringLiteral("d")),
                 QStringLiteral("d"));

        const QString path = file("unreadable.ini");
        writeRaw(path, "[A]\r\nk=v\r\n");
        QFile::setPermissions(path, QFileDevice::Permissions());
        IniFile locked(path);
        QFile probe(path);
        if (probe.open(QIODevice::ReadOnly)) QSKIP("running with rights that read any file");
        QCOMPARE(locked.read(QStringLiteral("A"), QStringLiteral("k"), QStringLiteral("d")),
                 QStringLiteral("d"));
    }

    void firstRunFileHoldsTheWrittenValuesInOrder() {
        const QString path = file("first.ini");
        IniFile ini(path);
        writeFirstRunSettings(ini, AppSettings{});
        QStringList lines =
            QString::fromUtf8(readRaw(path)).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
        QCOMPARE(lines.takeFirst(), QStringLiteral("[ApplicationDefaults]"));
        QVERIFY(lines.contains(QStringLiteral("WordWrapSize=0")));
        QVERIFY(lines.contains(QStringLiteral("LVForcedTimeout=")));
        QVERIFY(lines.contains(QStringLiteral("SMTPPort=25")));
        QVERIFY(lines.contains(QStringLiteral("CheckOriginalTo=False")));
        QVERIFY(lines.contains(QStringLiteral("MailEventProfile=Default Mail Event")));
        QVERIFY(lines.contains(QStringLiteral("CurSendora=DefaultSendora")));

        AppSettings loaded;
        loadApplicationDefaults(ini, loaded);
        QCOMPARE(loaded.wordWrapSize, 0);
        QCOMPARE(loaded.lvForcedTimeout, QString());
        QCOMPARE(loaded.lvNumberEmails, QString());
        QCOMPARE(loaded.bracketOnFrom, true); // never written, so the loader's default
        QCOMPARE(loaded.groupMailBlockSize, 10);
        QCOMPARE(loaded.mailServer, kPlaceholderMailServer);
    }

    void loaderDefaultsApplyOnlyToAbsentKeys() {
        const QString path = file("sparse.ini");
        writeRaw(path, "[ApplicationDefaults]\r\nJogServer=-1\r\nServerWantsBracket=0\r\nSMTPPort=587\r\n");
        IniFile ini(path);
        AppSettings v;
        v.mailEventProfile = QStringLiteral("kept");
        loadApplicationDefaults(ini, v);
        QCOMPARE(v.wordWrapSize, 76);
        QCOMPARE(v.lvForcedTimeout, QStringLiteral("20"));
        QCOMPARE(v.lvNumberEmails, QStringLiteral("1"));
        QCOMPARE(v.smtpPort, 587);
        QCOMPARE(v.jogServer, true);
        QCOMPARE(v.serverWantsBracket, false);
        QCOMPARE(v.mailServer, QString());
        QCOMPARE(v.mailEventProfile, QStringLiteral("kept"));
        QCOMPARE(v.startSDCentral, true);
    }

    void startState_data() {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<int>("state");
        QTest::newRow("absent") << QByteArray() << 0;
        QTest::newRow("one") << QByteArray("StartMaximized=1") << 1;
        QTest::newRow("not a number") << QByteArray("StartMaximized=abc") << 2;
        QTest::newRow("out of range") << QByteArray("StartMaximized=99999") << 2;
    }
    void startState() {
        QFETCH(QByteArray, line);
        QFETCH(int, state);
        const QString path = file("state.ini");
        writeRaw(path, "[ApplicationDefaults]\r\n" + line + "\r\n");
        QCOMPARE(readStartState(IniFile(path)), state);
    }

    void booleanText_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("value");
        QTest::newRow("True") << "True" << true;
        QTest::newRow("true") << "true" << true;
        QTest::newRow("-1") << "-1" << true;
        QTest::newRow("0") << "0" << false;
        QTest::newRow("False") << "FALSE" << false;
        QTest::newRow("garbage keeps fallback") << "maybe" << true;
    }
    void booleanText() {
        QFETCH(QString, text);
        QFETCH(bool, value);
        QCOMPARE(textToBool(text, true), value);
    }
};

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
