// Base64 lines, quoted-printable, Windows-1252 output, word wrap and the Date line's stamp.
#include "mailing/compose/Base64.h"
#include "mailing/compose/MimeEncoding.h"
#include "mailing/compose/MimeParts.h"
#include "mailing/compose/Windows1252.h"
#include "mailing/compose/WordWrap.h"

#include <QRandomGenerator>
#include <QTest>

using namespace sendora;

class TstMimeEncoding : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void base64_data() {
        QTest::addColumn<int>("size");
        for (int n : {0, 1, 2, 3, 56, 57, 58, 114, 115, 1000, 4096})
            QTest::addRow("%d bytes", n) << n;
    }
    void base64() {
        QFETCH(int, size);
        QByteArray data(size, Qt::Uninitialized);
        QRandomGenerator rng(size);
        for (char& c : data)
            c = char(rng.bounded(256));
        const QByteArray plain = data.toBase64();
        QByteArrayList lines;
        for (qsizetype i = 0; i < plain.size(); i += 76)
            lines.append(plain.mid(i, 76));
        QCOMPARE(base64Lines(data), lines.join("\r\n"));
        QCOMPARE(QByteArray::fromBase64(base64Lines(data)), data);
    }

    // Exact bytes where the encoder decides something: the soft break at 75 characters,
    // an escape that no longer fits, "-" opening a line, blanks that end one.
    void quotedPrintableBytes_data() {
        QTest::addColumn<QByteArray>("in");
        QTest::addColumn<QByteArray>("out");
        const QByteArray x73(73, 'x'), x74(74, 'x'), x75(75, 'x');
        QTest::newRow("long run") << QByteArray(80, 'x') << x75 + "=\r\nxxxxx";
        QTest::newRow("dash opening lines") << QByteArray("-x\r\n-y") << QByteArray("=2Dx\r\n=2Dy");
        QTest::newRow("dash after a soft break") << x75 + "-z" << x75 + "=\r\n=2Dz";
        QTest::newRow("blanks ending lines")
            << QByteArray("a \r\nb\t\r\nc ") << QByteArray("a=20\r\nb=09\r\nc=20");
        QTest::newRow("blanks inside") << QByteArray("a b\tc") << QByteArray("a b\tc");
        QTest::newRow("escapes") << QByteArray("a=b\xe9") << QByteArray("a=3Db=E9");
        QTest::newRow("escape without room") << x73 + "=y" << x73 + "=\r\n=3Dy";
        QTest::newRow("blank at the last column") << x74 + " y" << x74 + " =\r\ny";
        QTest::newRow("blank ending the text at the last column") << x74 + " " << x74 + "=\r\n=20";
        QTest::newRow("empty") << QByteArray() << QByteArray();
    }
    void quotedPrintableBytes() {
        QFETCH(QByteArray, in);
        QFETCH(QByteArray, out);
        QCOMPARE(quotedPrintable(in), out);
        // The same text inside a longer one starts the same way.
        QCOMPARE(quotedPrintable(in + "\r\n" + QByteArray(300, 'q')).left(out.size() + 2), out + "\r\n");
    }

    void windows1252Mapping() {
        Cp1252Replacement r;
        QCOMPARE(toWindows1252(u"A\u00e9\u20ac\u0160\u0178\u2014", &r), QByteArray("A\xe9\x80\x8a\x9f\x97"));
        QCOMPARE(r.count, 0);
        // Every byte comes back as itself.
        QByteArray all(256, Qt::Uninitialized);
        for (int i = 0; i < 256; ++i)
            all[i] = char(i);
        QCOMPARE(toWindows1252(fromWindows1252(all), &r), all);
        QCOMPARE(r.count, 0);
    }
    void windows1252Replacement() {
        Cp1252Replacement r;
        // Ł, then an emoji (a surrogate pair, one "?" per unit), then U+0080.
        QCOMPARE(toWindows1252(QString::fromUtf8("\xc5\x81x\xf0\x9f\x98\x80\xc2\x80"), &r),
                 QByteArray("?x???"));
        QCOMPARE(r.count, 4);
        QCOMPARE(codePointName(r.firstCodePoint), QStringLiteral("U+0141"));
        Cp1252Replacement e;
        toWindows1252(QString::fromUtf8("\xf0\x9f\x98\x80"), &e);
        QCOMPARE(codePointName(e.firstCodePoint), QStringLiteral("U+1F600"));
    }

    void wordWrap_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("width");
        QTest::addColumn<QString>("expected");
        QTest::newRow("blanks") << "aaa bbb ccc" << 5 << "aaa \r\nbbb \r\nccc\r\n";
        QTest::newRow("width 0") << "aaa bbb" << 0 << "aaa bbb";
        QTest::newRow("wider than text") << "short" << 6 << "short";
        QTest::newRow("width = length") << "abc def" << 7 << "abc \r\ndef\r\n";
        QTest::newRow("no blank") << "abcdefghij" << 4 << "abcd\r\nefgh\r\nij\r\n";
        QTest::newRow("line break first") << "ab\r\ncd ef gh" << 6 << "ab\r\ncd ef \r\ngh\r\n";
        QTest::newRow("window splits CRLF") << "zz\r\n\r\nab" << 3 << "zz\r\n\r\nab\r\n";
        QTest::newRow("last break wins") << "a\r\nb\r\ncdefgh" << 6 << "a\r\nb\r\ncdefgh\r\n";
    }
    void wordWrap() {
        QFETCH(QString, text);
        QFETCH(int, width);
        QFETCH(QString, expected);
        QCOMPARE(WordWrap(text, width), expected);
        QCOMPARE(WordWrap(text.toLatin1(), width), expected.toLatin1());
    }

    void wrapTextPartOnly() {
        const QString head = "Subject: one two three four\r\nMIME-Version: 1.0\r\n";
        const QString html = "--KLXAlternativeMessage\r\nContent-Type: text/html\r\n\r\n<p>aa bb cc</p>\r\n";
        const QString message = head + kTextPartHeader + "xx yy zz\r\n\r\n" + html;
        QCOMPARE(WrapTextPart(message, 3), head + kTextPartHeader + "xx \r\nyy \r\nzz\r\n\r\n" + html);
        // No text part: nothing is wrapped, not even long header lines.
        const QString htmlOnly = "Subject: one two three\r\nContent-Type: text/html\r\n\r\na b c";
        QCOMPARE(WrapTextPart(htmlOnly, 3), htmlOnly);
        // The text part ends at the mixed delimiter when it comes first.
        const QString mixed = kTextPartHeader + "p q r\r\n\r\n\r\n--KLXMixedMessage\r\nx y z";
        QCOMPARE(WrapTextPart(mixed, 2),
                 kTextPartHeader + "p \r\nq \r\nr\r\n\r\n\r\n--KLXMixedMessage\r\nx y z");
    }

    void dateStamp_data() {
        QTest::addColumn<QDateTime>("when");
        QTest::addColumn<QString>("expected");
        const QDate d(2005, 1, 5);
        const QTime t(14, 3, 9);
        QTest::newRow("+0100") << QDateTime(d, t, Qt::OffsetFromUTC, 3600)
                               << "Wed, 5 Jan 2005 14:03:09 +0100";
        QTest::newRow("-0500") << QDateTime(d, t, Qt::OffsetFromUTC, -5 * 3600)
                               << "Wed, 5 Jan 2005 14:03:09 -0500";
        QTest::newRow("+1000") << QDateTime(d, t, Qt::OffsetFromUTC, 10 * 3600)
                               << "Wed, 5 Jan 2005 14:03:09 +1000";
        QTest::newRow("UTC") << QDateTime(d, t, Qt::UTC) << "Wed, 5 Jan 2005 14:03:09 +0000";
        QTest::newRow("half hour") << QDateTime(d, t, Qt::OffsetFromUTC, 19800)
                                   << "Wed, 5 Jan 2005 14:03:09 +0500";
        QTest::newRow("-1100") << QDateTime(QDate(2023, 12, 31), QTime(0, 0, 5), Qt::OffsetFromUTC,
                                            -11 * 3600)
                               << "Sun, 31 Dec 2023 00:00:05 -1100";
    }
    void dateStamp() {
        QFETCH(QDateTime, when);
        QFETCH(QString, expected);
        QCOMPARE(MailDateStamp(when), expected);
    }
};

QTEST_GUILESS_MAIN(TstMimeEncoding)
#include "tst_mimeencoding.moc"
