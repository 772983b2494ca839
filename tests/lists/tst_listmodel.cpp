// The list window's lazy model without widgets: paging, counts, sort, filters, find,
// the address check, deletion in steps and the read-only rule of a list being sent.

#include "lists/ListFixture.h"
#include "lists/ListModel.h"
#include "lists/ListWindowLogic.h"

#include <QLockFile>
#include <QTest>

using namespace sendora;
using sendora::test::ListFixture;
using sendora::test::msg;

namespace {

QString cell(const ListModel& m, int row, const QString& column) {
    return m.data(m.index(row, m.column(column))).toString();
}

const QString kExists = QStringLiteral("This email address already exists in your address\r\nlist: "
                                       "\"%1\"\r\nIf you were editing a new row in the "
                                       "list, The old\r\nvalue will be substituted in it's place.  If you "
                                       "were\r\nadding a new row then the action "
                                       "has been\r\ncanceled.");

} // namespace

class TestListModel : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void pagesCountsAndSort() {
        ListFixture f;
        f.fill(1000);
        ListModel m(*f.app.ctx);
        QVERIFY(m.open(f.file));
        QCOMPARE(m.columnNames(), QStringList({"EAddress", "FirstName", "LastName", "Company"}));
        QCOMPARE(m.recordSource(), QStringLiteral("SELECT * FROM ADDRESSLIST "));
        QCOMPARE(m.rowCount(), 1001); // the new-row line
        QVERIFY(m.isNewRow(1000));
        QCOMPARE(m.recordCount(), 1000);
        // unsorted, rows come in key order
        QCOMPARE(cell(m, 0, "EAddress"), QStringLiteral("user0@x.com"));
        QCOMPARE(cell(m, 999, "EAddress"), QStringLiteral("user9@x.com"));

        ListWindowLogic logic(*f.app.ctx, m);
        logic.sort(m.column("FirstName"), true);
        // rows far apart come from different pages, each right
        QCOMPARE(cell(m, 999, "EAddress"), QStringLiteral("user999@x.com"));
        QCOMPARE(cell(m, 0, "FirstName"), QStringLiteral("F0000000"));
        QCOMPARE(cell(m, 517, "EAddress"), QStringLiteral("user517@x.com"));
        QCOMPARE(cell(m, 128, "EAddress"), QStringLiteral("user128@x.com"));
        QVERIFY(m.data(m.index(3, m.column("Company"))).isNull());
        logic.sort(m.column("FirstName"), false);
        QCOMPARE(m.recordSource(), QStringLiteral("Select * from AddressList ORDER BY [FirstName] DESC"));
        QCOMPARE(cell(m, 0, "FirstName"), QStringLiteral("F0000999"));
        QCOMPARE(cell(m, 999, "FirstName"), QStringLiteral("F0000000"));
        logic.sort(m.column("EAddress"), true);
        QCOMPARE(cell(m, 0, "EAddress"), QStringLiteral("user0@x.com"));
        QCOMPARE(cell(m, 1, "EAddress"), QStringLiteral("user100@x.com"));
        QCOMPARE(cell(m, 999, "EAddress"), QStringLiteral("user9@x.com"));
    }

    void domainAndRecordSelection() {
        ListFixture f;
        f.fill(5, "x.com");
        f.fill(3, "sub.x.com");
        f.fill(2, "X.COM.evil");
        f.add([](int) { return QStringLiteral("o'neil\"q@x.com"); }, 1);
        ListModel m(*f.app.ctx);
        QVERIFY(m.open(f.file));
        ListWindowLogic logic(*f.app.ctx, m);

        QVERIFY(logic.refresh(DisplayChoice::Domain, "  x.com ", {}));
        QCOMPARE(m.recordSource(),
                 QStringLiteral("SELECT * FROM ADDRESSLIST WHERE Mid( EAddress, Instr( EAddress, "
                                "\"@\" ) + 1 ) = \"x.com\""));
        QCOMPARE(m.dataRows(), 6); // sub-domains and look-alikes left out
        QCOMPARE(m.recordCount(), 6);
        for (int r = 0; r < m.dataRows(); ++r)
            QVERIFY(cell(m, r, "EAddress").endsWith("@x.com"));

        QVERIFY(logic.refresh(DisplayChoice::Filter, {}, "WHERE [FirstName] Like \"F000000[12]\""));
        QCOMPARE(m.recordCount(), 5); // F0000001 and F0000002 of the three domains

        // Missing texts: their messages, and the grid keeps what it showed.
        f.app.ui.clear();
        QVERIFY(!logic.refresh(DisplayChoice::Domain, "  ", {}));
        QVERIFY(!logic.refresh(DisplayChoice::Filter, {}, ""));
        QCOMPARE(f.app.ui.transcript(),
                 QStringList({msg("Please enter a domain name"), msg("Please create a filter")}));
        QCOMPARE(m.recordCount(), 5);

        // A clause that writes or chains a statement is refused and changes nothing.
        for (const char* hostile : {"WHERE 1=1; DELETE FROM AddressList", "WHERE 1=1; DROP TABLE AddressList",
                                    "WHERE EAddress IN (SELECT 1); UPDATE AddressList SET FirstName='x'"}) {
            f.app.ui.clear();
            QVERIFY2(!m.setRecordSource(QString::fromLatin1(hostile)), hostile);
            QCOMPARE(m.recordCount(), 5);
            QCOMPARE(f.app.ui.shown.size(), 1);
            QVERIFY(f.app.ui.messageTexts().first().startsWith("An error occured in Refresh in frmList"));
        }
        QCOMPARE(f.count(), 11);
        QCOMPARE(f.count("WHERE FirstName = 'x'"), 0);

        QVERIFY(logic.refresh(DisplayChoice::All, "ignored", "ignored"));
        QCOMPARE(m.recordCount(), 11);
    }

    void findCriteria() {
        QCOMPARE(findCriterion("Company", "Acme*"), QStringLiteral("[Company] Like \"Acme*\""));
        QCOMPARE(findCriterion("Company", "Acme"), QStringLiteral("[Company] = \"Acme\""));
        QCOMPARE(findPreviousCriterion("Company", "A*"), QStringLiteral("[Company] Like 'A*'"));
        QCOMPARE(findPreviousCriterion("Company", "**"), QStringLiteral("[Company] Like '**'"));

        ListFixture f;
        f.fill(6);
        {
            auto db = jet::Database::open(f.file);
            db->execute(
                "UPDATE AddressList SET Company = 'Acme' WHERE EAddress IN ('user1@x.com','user4@x.com')");
            db->execute("UPDATE AddressList SET Company = '' WHERE EAddress = 'user2@x.com'");
            db->execute("UPDATE AddressList SET Company = 'O\"Brien''s [1]' WHERE EAddress = 'user5@x.com'");
        }
        ListModel m(*f.app.ctx);
        QVERIFY(m.open(f.file));
        ListWindowLogic logic(*f.app.ctx, m);
        const int company = m.column("Company");
        int row = 0;
        QVERIFY(!logic.findString(company, "acme", row));
        QCOMPARE(row, 1);
        QVERIFY(!logic.findNextString(company, "Acme", row));
        QCOMPARE(row, 4);
        QVERIFY(logic.findNextString(company, "Acme", row)); // nothing after: True, row kept
        QCOMPARE(row, 4);
        QVERIFY(!logic.findPreviousString(company, "Ac*", row));
        QCOMPARE(row, 1);
        // "**": empty text and never-written cells alike
        QVERIFY(!logic.findString(company, "**", row));
        QCOMPARE(row, 0);
        QVERIFY(!logic.findNextString(company, "**", row));
        QCOMPARE(row, 2);
        // quotes and brackets are data
        QVERIFY(!logic.findString(company, "O\"Brien's [1]", row));
        QCOMPARE(row, 5);
        row = 6;
        QVERIFY(!logic.findPreviousString(company, "O\"Brien's [1]", row));
        QCOMPARE(row, 5);
    }

    void addressCheckAndNewRow() {
        ListFixture f;
        f.fill(3);
        ListModel m(*f.app.ctx);
        QVERIFY(m.open(f.file));
        const int a = m.column("EAddress");
        const int first = m.column("FirstName");

        // a duplicate in another letter case is refused, on a new row and an existing one
        QVERIFY(!m.setData(m.index(3, a), " USER1@X.COM "));
        QVERIFY(!m.setData(m.index(0, a), "User2@x.com"));
        QCOMPARE(f.app.ui.transcript(), QStringList({msg(kExists.arg("USER1@X.COM"), "exclamation"),
                                                     msg(kExists.arg("User2@x.com"), "exclamation")}));
        QCOMPARE(cell(m, 0, "EAddress"), QStringLiteral("user0@x.com"));

        // a blank address cancels the new row with its pending cells
        f.app.ui.clear();
        QVERIFY(m.setData(m.index(3, first), "Ann"));
        QCOMPARE(cell(m, 3, "FirstName"), QStringLiteral("Ann"));
        QVERIFY(!m.setData(m.index(3, a), "   "));
        QCOMPARE(
            f.app.ui.messageTexts(),
            QStringList({"The EAddress field cannot be left blank.\r\n\r\nIf you're editing an existing "
                         "record,\r\nthe old address will be restored;\r\nIf your're entering a new record,"
                         "\r\nplease enter a valid email address."}));
        QVERIFY(m.data(m.index(3, first)).isNull());

        // a new row is stored trimmed with its other cells, and a fresh new-row line follows
        QVERIFY(m.setData(m.index(3, first), "Bea"));
        QVERIFY(m.setData(m.index(3, a), "  bea@y.org "));
        QCOMPARE(m.rowCount(), 5);
        QCOMPARE(cell(m, 3, "EAddress"), QStringLiteral("bea@y.org"));
        QCOMPARE(f.count("WHERE EAddress = 'bea@y.org' AND FirstName = 'Bea'"), 1);
        // editing in place
        QVERIFY(m.setData(m.index(1, first), "O\"Neil"));
        QCOMPARE(f.count("WHERE FirstName = 'O\"Neil'"), 1);
        QCOMPARE(m.recordCount(), 4);
    }

    void deleteStepsAndDuplicates() {
        ListFixture f(false, false);
        f.fill(10);
        f.add([](int i) { return i == 0 ? QStringLiteral("USER3@x.com") : QStringLiteral("user7@x.com"); },
              2);
        ListModel m(*f.app.ctx);
        QVERIFY(m.open(f.file));
        QStringList duplicates = m.duplicateAddresses();
        for (QString& d : duplicates)
            d = d.toLower();
        QCOMPARE(duplicates, QStringList({"user3@x.com", "user3@x.com", "user7@x.com", "user7@x.com"}));
        const QVector<qint64> ids = m.rowIds({0, 1, 2});
        QCOMPARE(m.deleteStep(ids, 0, 2), 2);
        QCOMPARE(m.deleteStep(ids, 2, 2), 1);
        m.finishDelete(QSet<qint64>(ids.begin(), ids.end()));
        QCOMPARE(m.dataRows(), 9);
        QCOMPARE(cell(m, 0, "EAddress"), QStringLiteral("user3@x.com"));
        QVERIFY(m.deleteDuplicates()); // every copy goes
        QCOMPARE(f.count(), 5);
        QCOMPARE(f.count("WHERE EAddress IN ('user3@x.com','user7@x.com')"), 0);
    }

    void listBeingSentIsReadOnly() {
        ListFixture f;
        f.fill(4);
        {
            QLockFile sending(f.file + ".sending");
            QVERIFY(sending.tryLock(0));
            ListModel m(*f.app.ctx);
            QVERIFY(m.open(f.file));
            QVERIFY(m.readOnly());
            QCOMPARE(m.rowCount(), 4); // no new-row line
            QVERIFY(!(m.flags(m.index(0, 0)) & Qt::ItemIsEditable));
            QVERIFY(!m.setData(m.index(0, 1), "x"));
            QCOMPARE(m.deleteStep(m.rowIds({0}), 0, 1), 0);
            QVERIFY(!m.deleteDuplicates());
        }
        // once the mailing ends the list is writable again
        ListModel m(*f.app.ctx);
        QVERIFY(m.open(f.file));
        QVERIFY(!m.readOnly());
        // a mailing that starts while the list is open stops the next write
        QLockFile sending(f.file + ".sending");
        QVERIFY(sending.tryLock(0));
        bool told = false;
        m.onBecameReadOnly = [&told] { told = true; };
        QVERIFY(!m.setData(m.index(0, 1), "x"));
        QVERIFY(told);
        QVERIFY(m.readOnly());
        QCOMPARE(f.count("WHERE FirstName = 'x'"), 0);
    }
};

QTEST_GUILESS_MAIN(TestListModel)
#include "tst_listmodel.moc"
