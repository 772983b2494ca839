// Merge tags: finding them in both spellings, splitting, merging one recipient, and the
// question about invalid tags.
#include "mailing/compose/Merge.h"
#include "support/TestApp.h"

#include <QDate>
#include <QFile>
#include <QTest>

using namespace sendora;
using sendora::test::TestApp;

namespace {

const ListColumns kColumns({"EAddress", "FirstName", "LastName", "Title", "City", "Sent"});

RecipientRow ann() {
    RecipientRow r;
    r.set("EAddress", "ann@example.com");
    r.set("FirstName", "Ann");
    r.set("LastName", "Lee");
    r.set("City", QVariant()); // null
    return r;
}

class ThrowingLookup : public RecipientLookup {
public:
    std::optional<RecipientRow> find(const QString&) override { throw std::runtime_error("list file gone"); }
};

} // namespace

class TstMerge : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void positionsOfBothSpellings() {
        TestApp app;
        QStringList invalid;
        //                         1234567890123456789012345678901234
        const QString text = QStringLiteral("Hi &#91;&#91;lastname&#93;&#93;, [[FirstName]]!");
        const auto tags = GetFieldPosArray(*app.ctx, text, kColumns, invalid);
        QCOMPARE(tags.size(), 2);
        QCOMPARE(tags[0], (MergeFieldTag{"lastname", 4, 31}));
        QCOMPARE(tags[1], (MergeFieldTag{"FirstName", 34, 46}));
        QVERIFY(invalid.isEmpty());
    }

    void splitting_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QList<MessagePiece>>("pieces");
        QTest::addColumn<QStringList>("invalid");
        QTest::newRow("no tags") << "plain" << QList<MessagePiece>{{"plain", ""}} << QStringList();
        QTest::newRow("tag at both ends")
            << "[[FirstName]] and [[LastName]]"
            << QList<MessagePiece>{{"", "FirstName"}, {" and ", "LastName"}, {"", ""}} << QStringList();
        QTest::newRow("unknown column")
            << "a [[Shoe Size]] b [[City]]" << QList<MessagePiece>{{"a [[Shoe Size]] b ", "City"}, {"", ""}}
            << QStringList{"[[Shoe Size]]"};
        QTest::newRow("escaped unknown reported plain")
            << "x &#91;&#91;Nope&#93;&#93;" << QList<MessagePiece>{{"x &#91;&#91;Nope&#93;&#93;", ""}}
            << QStringList{"[[Nope]]"};
        QTest::newRow("unclosed") << "Dear [[FirstName" << QList<MessagePiece>{{"Dear [[FirstName", ""}}
                                  << QStringList();
        QTest::newRow("empty name") << "[[]]" << QList<MessagePiece>{{"[[]]", ""}} << QStringList{"[[]]"};
        // The search goes on right after an opening delimiter, so an inner tag is still found.
        QTest::newRow("nested opening") << "[[x [[City]]" << QList<MessagePiece>{{"[[x ", "City"}, {"", ""}}
                                        << QStringList{"[[x [[City]]"};
        QTest::newRow("mixed spellings sorted")
            << "&#91;&#91;City&#93;&#93;-[[Title]]-&#91;&#91;Sent&#93;&#93;"
            << QList<MessagePiece>{{"", "City"}, {"-", "Title"}, {"-", "Sent"}, {"", ""}} << QStringList();
    }
    void splitting() {
        QFETCH(QString, text);
        QFETCH(QList<MessagePiece>, pieces);
        QFETCH(QStringList, invalid);
        TestApp app;
        QStringList found;
        QCOMPARE(BuildMessageArray(*app.ctx, text, kColumns, found), pieces);
        QCOMPARE(found, invalid);
    }

    void sortIsStable() {
        TestApp app;
        QList<MergeFieldTag> tags{{"b", 9, 12}, {"a", 3, 6}, {"c", 3, 8}};
        SortMessagePosList(*app.ctx, tags);
        QCOMPARE(tags, (QList<MergeFieldTag>{{"a", 3, 6}, {"c", 3, 8}, {"b", 9, 12}}));
    }

    void mergeOneRecipient() {
        TestApp app;
        QStringList invalid;
        const auto array = BuildMessageArray(
            *app.ctx, "[[FirstName]] &#91;&#91;FirstName&#93;&#93; of [[City]]. [[Bad]]", kColumns, invalid);
        MemoryRecipientLookup list;
        list.add("ann@example.com", ann());
        QCOMPARE(MergeMessage(*app.ctx, array, "ann@example.com", list),
                 QStringLiteral("Ann Ann of . [[Bad]]"));
        QCOMPARE(list.lookups, 1);
        QCOMPARE(MergeMessage(*app.ctx, array, "nobody@example.com", list), QString());
        QCOMPARE(invalid, QStringList{"[[Bad]]"});
    }

    void mergeErrorIsLogged() {
        TestApp app;
        ThrowingLookup list;
        QCOMPARE(MergeMessage(*app.ctx, {{"x", "City"}}, "a@b.c", list), QString());
        QFile log(app.ctx->paths.errorLog());
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QString entry = QString::fromUtf8(log.readAll());
        QVERIFY2(entry.contains("Called From: MergeMessage in mdlMerge\r\n"), qPrintable(entry));
        QVERIFY(entry.contains("list file gone"));
    }

    void valueTexts() {
        QCOMPARE(mergeValueText(true), QStringLiteral("True"));
        QCOMPARE(mergeValueText(QVariant(0.5)), QStringLiteral("0.5"));
        QCOMPARE(mergeValueText(QDate(2004, 3, 7)), QStringLiteral("3/7/2004"));
        QCOMPARE(mergeValueText(QDateTime(QDate(2004, 3, 7), QTime(0, 0))), QStringLiteral("3/7/2004"));
        QCOMPARE(mergeValueText(QDateTime(QDate(2004, 3, 7), QTime(15, 4, 5))),
                 QStringLiteral("3/7/2004 3:04:05 PM"));
        QCOMPARE(mergeValueText(qlonglong(42)), QStringLiteral("42"));
    }

    void lastRowIsRemembered() {
        MemoryRecipientLookup inner;
        inner.add("ann@example.com", ann());
        LastRowLookup list(inner);
        QVERIFY(list.find("ann@example.com"));
        QVERIFY(list.find("ann@example.com"));
        QVERIFY(!list.find("bob@example.com"));
        QVERIFY(!list.find("bob@example.com"));
        QCOMPARE(inner.lookups, 2);
    }

    void invalidFieldsQuestion() {
        TestApp app;
        app.ui.answers = {Answer::No};
        QVERIFY(!confirmInvalidFields(*app.ctx, {"[[Shoe]]", "[[Hat]]"}));
        QCOMPARE(app.ui.transcript(),
                 QStringList{
                     "message|question|YesNo|Invalid Fields|The following fields were found to be invalid in "
                     "your message: \r\n\r\n   [[Shoe]]\r\n   [[Hat]]\r\n\r\n\r\nDo you want to continue?"});
        app.ui.clear();
        QVERIFY(confirmInvalidFields(*app.ctx, {}));
        QVERIFY(app.ui.shown.isEmpty());
        app.ui.answers = {Answer::Yes};
        QVERIFY(confirmInvalidFields(*app.ctx, {"[[Shoe]]"}));
    }
};

QTEST_GUILESS_MAIN(TstMerge)
#include "tst_merge.moc"
