// The greeting line and To display name rules, and where a greeting goes.
#include "mailing/compose/Greeting.h"
#include "mailing/compose/WordWrap.h"

#include <QTest>

using namespace sendora;

Q_DECLARE_METATYPE(GreetingSettings)

namespace {

// Cells: a value, "" for empty, "~" for null, "-" for a column the row lacks.
RecipientRow person(const QString& title, const QString& first, const QString& last) {
    RecipientRow r;
    auto put = [&](const char* column, const QString& v) {
        if (v == "-") return;
        r.set(column, v == "~" ? QVariant() : QVariant(v));
    };
    put("Title", title);
    put("FirstName", first);
    put("LastName", last);
    return r;
}

GreetingSettings settings(const char* parts, bool missingF, bool missingL, const QString& generic) {
    GreetingSettings s;
    s.useTitle = QByteArray(parts).contains('T');
    s.useFName = QByteArray(parts).contains('F');
    s.useLName = QByteArray(parts).contains('L');
    s.missingFNameOption = missingF;
    s.missingLNameOption = missingL;
    s.genericName = generic;
    s.salutation = "Dear";
    s.punctuation = ":";
    s.useGreetingManager = true;
    s.greetingType = 1;
    s.addressType = 1;
    return s;
}

} // namespace

class TstGreeting : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void personalName_data() {
        QTest::addColumn<GreetingSettings>("s");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("last");
        QTest::addColumn<QString>("line");    // greeting-line mode
        QTest::addColumn<QString>("display"); // display-name mode
        const GreetingSettings all = settings("TFL", false, false, "Friend");
        QTest::newRow("all present") << all << "Dr"
                                     << "Ann"
                                     << "Lee"
                                     << "Dear Dr Ann Lee:\r\n"
                                     << "Dr Ann Lee";
        QTest::newRow("last missing, allowed") << settings("TFL", false, true, "Friend") << "Dr"
                                               << "Ann"
                                               << ""
                                               << "Dear Ann:\r\n"
                                               << "Ann";
        QTest::newRow("last missing, not allowed") << all << "Dr"
                                                   << "Ann"
                                                   << "~"
                                                   << "Dear Friend:\r\n"
                                                   << "Friend";
        QTest::newRow("first missing, not allowed") << all << "Dr"
                                                    << ""
                                                    << "Lee"
                                                    << "Dear Friend:\r\n"
                                                    << "Friend";
        QTest::newRow("first missing, allowed") << settings("TFL", true, false, "Friend") << "Dr"
                                                << ""
                                                << "Lee"
                                                << "Dear Dr Lee:\r\n"
                                                << "Dr Lee";
        QTest::newRow("no names, no generic") << settings("TFL", true, true, "") << "Dr"
                                              << ""
                                              << ""
                                              << ""
                                              << "";
        QTest::newRow("no names, generic") << settings("FL", true, true, "Member") << "-"
                                           << "~"
                                           << ""
                                           << "Dear Member:\r\n"
                                           << "Member";
        QTest::newRow("last name only configured") << settings("L", false, false, "") << "Dr"
                                                   << "Ann"
                                                   << "Lee"
                                                   << "Dear Lee:\r\n"
                                                   << "Lee";
        QTest::newRow("first only, last unconfigured") << settings("TF", false, false, "") << "Dr"
                                                       << "Ann"
                                                       << "Lee"
                                                       << "Dear Ann:\r\n"
                                                       << "Ann";
        QTest::newRow("column the row lacks") << all << "-"
                                              << "Ann"
                                              << "Lee"
                                              << "Dear [[Title]] Ann Lee:\r\n"
                                              << "[[Title]] Ann Lee";
        QTest::newRow("nothing configured, generic") << settings("", false, false, "Friend") << "Dr"
                                                     << "Ann"
                                                     << "Lee"
                                                     << "Dear Friend:\r\n"
                                                     << "";
        GreetingSettings noSalutation = all;
        noSalutation.salutation.clear();
        QTest::newRow("no salutation") << noSalutation << ""
                                       << ""
                                       << ""
                                       << "Friend:\r\n"
                                       << "Friend";
        GreetingSettings off = all;
        off.useGreetingManager = false;
        QTest::newRow("manager off") << off << "Dr"
                                     << "Ann"
                                     << "Lee"
                                     << ""
                                     << "Dr Ann Lee";
        GreetingSettings typeMinusOne = all;
        typeMinusOne.greetingType = -1;
        QTest::newRow("greeting type -1") << typeMinusOne << "Dr"
                                          << "Ann"
                                          << "Lee"
                                          << ""
                                          << "Dr Ann Lee";
    }
    void personalName() {
        QFETCH(GreetingSettings, s);
        QFETCH(QString, title);
        QFETCH(QString, first);
        QFETCH(QString, last);
        QFETCH(QString, line);
        QFETCH(QString, display);
        const RecipientRow row = person(title, first, last);
        QCOMPARE(GetPersonalName(row, s, true), line);
        QCOMPARE(GetPersonalName(row, s, false), display);
    }

    void insertion() {
        const QString g = "Dear Ann:\r\n";
        QCOMPARE(InsertGreetingHtml("<html><Body bgcolor=\"#fff\"><p>Hi</p><body>", g),
                 "<html><Body bgcolor=\"#fff\">" + g + "<p>Hi</p><body>");
        QCOMPARE(InsertGreetingHtml("<p>no body tag</p>", g), QStringLiteral("<p>no body tag</p>"));
        const QString composed = "MIME-Version: 1.0\r\n" + kTextPartHeader + "Text\r\n\r\n";
        QCOMPARE(InsertGreetingTextPart(composed, g),
                 "MIME-Version: 1.0\r\n" + kTextPartHeader + g + "Text\r\n\r\n");
        QCOMPARE(InsertGreetingTextPart("Content-Type: text/html\r\n\r\nx", g),
                 QStringLiteral("Content-Type: text/html\r\n\r\nx"));
        QCOMPARE(InsertGreetingPlain("Text", g), g + "Text");
    }
};

QTEST_GUILESS_MAIN(TstGreeting)
#include "tst_greeting.moc"
