// The extract command's reader and writer: line ends, encodings and the tab-separated output.

#include "import/AddressExtractor.h"

#include <QBuffer>
#include <QTest>
#include <QTextStream>

using namespace sendora;

class TestAddressExtractor : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void output_data();
    void output();
    void invalidUtf8ReadAsLatin1();
    void longLineAcrossReadChunks();
};

namespace {

QByteArray viaDevice(const QByteArray& input, const QString& type) {
    QBuffer in;
    in.setData(input);
    in.open(QIODevice::ReadOnly);
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    QString errText;
    QTextStream err(&errText);
    AddressExtractor(type).run(in, out, err);
    return out.data();
}

QByteArray viaStream(const QByteArray& input, const QString& type) {
    QString inText = QString::fromUtf8(input);
    QTextStream in(&inText);
    QString outText, errText;
    QTextStream out(&outText), err(&errText);
    AddressExtractor(type).run(in, out, err);
    return outText.toUtf8();
}

} // namespace

void TestAddressExtractor::output_data() {
    QTest::addColumn<QString>("type");
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("names") << "" << QByteArray("From: Bob Smith <bob@x.com>\nnoise\njohn_smith@y.org\n")
                           << QByteArray("bob@x.com\tBob\tSmith\njohn_smith@y.org\tJohn\tSmith\n");
    QTest::newRow("not_found printed empty")
        << "" << QByteArray("<bob@x.com>") << QByteArray("bob@x.com\t\t\n");
    QTest::newRow("CRLF line ends") << "" << QByteArray("bob@x.com Bob\r\nann@y.com Ann\r\n")
                                    << QByteArray("bob@x.com\tBob\t\nann@y.com\tAnn\t\n");
    QTest::newRow("lone CR stays in the line")
        << "" << QByteArray("a@x.com\rBob\n") << QByteArray("a@x.com\t\\rBob\t\n");
    QTest::newRow("TAB and NUL escaped")
        << "" << QByteArray("a@x.com \tBob\0x\n", 16) << QByteArray("a@x.com\t\\tBob\\0x\t\n");
    QTest::newRow("UTF-8") << "" << QByteArray("Jos\xC3\xA9 Le\xC3\xB3n <jl@x.com>\n")
                           << QByteArray("jl@x.com\tJos\xC3\xA9\tLe\xC3\xB3n\n");
    // What follows an address is its name when nothing better is found, other addresses included.
    QTest::newRow("every address of a line")
        << "" << QByteArray("a@x.com, b@y.com\n") << QByteArray("a@x.com\tb@y.com\t\nb@y.com\t\t\n");
    QTest::newRow("mailbox takes the first")
        << "Mailbox" << QByteArray("To: a@x.com b@y.com\n") << QByteArray("a@x.com\tb@y.com\t\n");
    QTest::newRow("text takes all") << "Text" << QByteArray("  To: a@x.com b@y.com  \n")
                                    << QByteArray("a@x.com\tb@y.com\t\nb@y.com\t\t\n");
    QTest::newRow("best guess, no questions")
        << "Text" << QByteArray("<a@x.com> (A Bee Cee Dee Eee)\n") << QByteArray("a@x.com\t\t\n");
}

void TestAddressExtractor::output() {
    QFETCH(QString, type);
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, expected);
    QCOMPARE(viaDevice(input, type), expected);
    QCOMPARE(viaStream(input, type), expected);
}

void TestAddressExtractor::invalidUtf8ReadAsLatin1() {
    QCOMPARE(viaDevice("Jos\xE9 <j@x.com>\n", {}), QByteArray("j@x.com\tJos\xC3\xA9\t\n"));
}

void TestAddressExtractor::longLineAcrossReadChunks() {
    QByteArray line(3 << 20, 'x');
    line.replace(1 << 20, 9, " a@x.com ");
    line += "\nb@y.com\n";
    QCOMPARE(viaDevice(line, {}), QByteArray("a@x.com\t\t\nb@y.com\t\t\n"));
}

QTEST_APPLESS_MAIN(TestAddressExtractor)
#include "tst_addressextractor.moc"
