// The address validity rule, one group of rows per step, and title removal.

#include "import/AddressRules.h"

#include <QTest>

using namespace sendora;

class TestAddressValidity : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void validity_data();
    void validity();
    void stripTitle_data();
    void stripTitle();
};

void TestAddressValidity::validity_data() {
    QTest::addColumn<QString>("address");
    QTest::addColumn<bool>("valid");

    QTest::newRow("plain") << "bob@example.com" << true;
    // 1
    QTest::newRow("1 empty") << "" << false;
    // 2: the first "@" at position 2 or later
    QTest::newRow("2 no at") << "bob.example.com" << false;
    QTest::newRow("2 at first") << "@example.com" << false;
    QTest::newRow("2 one-letter user") << "b@example.com" << true;
    // 3
    QTest::newRow("3 leading dot") << ".bob@example.com" << false;
    QTest::newRow("3 inner dot") << "b.ob@example.com" << true;
    // 4: before the first "@" only ) ( ; ] [ are refused ...
    QTest::newRow("4 paren in user") << "bo(b@example.com" << false;
    QTest::newRow("4 semicolon in user") << "bo;b@example.com" << false;
    QTest::newRow("4 bracket in user") << "bo]b@example.com" << false;
    // ... while the long list applies from the first "@" on
    QTest::newRow("4 apostrophe in user") << "o'brien@example.com" << true;
    QTest::newRow("4 star in user") << "bo*b@example.com" << true;
    QTest::newRow("4 plus in user") << "bob+news@example.com" << true;
    QTest::newRow("4 equals in user") << "bob=x@example.com" << true;
    QTest::newRow("4 hash percent bang in user") << "b#o%b!@example.com" << true;
    QTest::newRow("4 slash and bar in user") << "b/o|b@example.com" << true;
    // 5
    QTest::newRow("5 star in domain") << "bob@exa*mple.com" << false;
    QTest::newRow("5 plus in domain") << "bob@exa+mple.com" << false;
    QTest::newRow("5 apostrophe in domain") << "bob@exa'mple.com" << false;
    QTest::newRow("5 equals in domain") << "bob@exa=mple.com" << false;
    QTest::newRow("5 backquote in domain") << "bob@exa`mple.com" << false;
    QTest::newRow("5 caret in domain") << "bob@exa^mple.com" << false;
    QTest::newRow("5 slash in domain") << "bob@exa/mple.com" << false;
    QTest::newRow("5 percent in domain") << "bob@exa%mple.com" << false;
    QTest::newRow("5 bar in domain") << "bob@exa|mple.com" << false;
    QTest::newRow("5 brace in domain") << "bob@exa}mple.com" << false;
    // "From the first @": a star between two "@" is in the domain part.
    QTest::newRow("5 star before second at") << "bob@x*y@example.com" << false;
    QTest::newRow("5 star before first at") << "b*ob@x@example.com" << true;
    // 6
    QTest::newRow("6 angle in user") << "b<ob@example.com" << false;
    QTest::newRow("6 closing angle in user") << "b>ob@example.com" << false;
    // 7: a second "@" right after the first is refused, further on it is not
    QTest::newRow("7 doubled at") << "bob@@example.com" << false;
    QTest::newRow("7 second at later") << "bob@relay@example.com" << true;
    // 8: the dot must follow the last "@"
    QTest::newRow("8 no dot in domain") << "bob@localhost" << false;
    QTest::newRow("8 dot only before last at") << "bob@ex.ample@com" << false;
    QTest::newRow("8 dot only in user") << "b.ob@example" << false;
    // 9
    QTest::newRow("9 dot before at") << "bob.@example.com" << false;
    QTest::newRow("9 dot after at") << "bob@.example.com" << false;
    QTest::newRow("9 double dot in user") << "b..ob@example.com" << false;
    QTest::newRow("9 double dot in domain") << "bob@example..com" << false;
    QTest::newRow("9 comma") << "b,ob@example.com" << false;
    QTest::newRow("9 question mark") << "b?ob@example.com" << false;
    QTest::newRow("9 colon") << "b:ob@example.com" << false;
    QTest::newRow("9 double bar") << "b||ob@example.com" << false;
    QTest::newRow("9 double slash") << "b//ob@example.com" << false;
    QTest::newRow("9 CR LF") << "b\r\nob@example.com" << false;
    QTest::newRow("9 lone LF") << "b\nob@example.com" << true;
    QTest::newRow("9 lone CR") << "b\rob@example.com" << true;
    QTest::newRow("9 inner space") << "b ob@example.com" << false;
    QTest::newRow("9 outer spaces") << " bob@example.com " << true;
    QTest::newRow("9 tab is not a space") << "b\tob@example.com" << true;
    // 10
    QTest::newRow("10 trailing dot") << "bob@example.com." << false;
    // Other text is just text.
    QTest::newRow("NUL in user") << QString::fromUtf16(u"b\0ob@example.com", 16) << true;
    QTest::newRow("non-ASCII") << QString::fromUtf8("jos\xC3\xA9@ex\xC3\xA4mple.com") << true;
}

void TestAddressValidity::validity() {
    QFETCH(QString, address);
    QFETCH(bool, valid);
    QCOMPARE(IsValidEmailAddress(address), valid);
}

void TestAddressValidity::stripTitle_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("stripped");
    QTest::newRow("Mr") << "Mr. John Smith"
                        << "John Smith";
    QTest::newRow("Miss") << "Miss. Ann Lee"
                          << "Ann Lee";
    QTest::newRow("letter case ignored") << "MRS. jane doe"
                                         << "jane doe";
    QTest::newRow("inside the line") << "From: Dr. Who <who@x.com>"
                                     << "From: Who <who@x.com>";
    QTest::newRow("Mrs tested before Dr") << "Dr. Mrs. Jane"
                                          << "Dr. Jane";
    QTest::newRow("only once") << "Mr. and Mr. Smith"
                               << "and Mr. Smith";
    QTest::newRow("needs the space") << "Mr.Smith"
                                     << "Mr.Smith";
    QTest::newRow("not a whole word") << "Addr. x"
                                      << "Adx";
    QTest::newRow("none") << "John Smith"
                          << "John Smith";
}

void TestAddressValidity::stripTitle() {
    QFETCH(QString, text);
    QFETCH(QString, stripped);
    QCOMPARE(StripTitle(text), stripped);
}

QTEST_APPLESS_MAIN(TestAddressValidity)
#include "tst_addressvalidity.moc"
