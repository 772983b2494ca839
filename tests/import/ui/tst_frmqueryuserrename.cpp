// The name question window: captions, what each button does to the parser, and Enter.

#include "import/EmailParser.h"
#include "import/ui/frmQueryUserReName.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using namespace sendora;

class TestFrmQueryUserReName : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void captions();
    void inferredShownOnlyWhenAsked();
    void buttons_data();
    void buttons();
    void enterConfirms();
    void asksModally();
};

namespace {

NameQuery query(bool inferred = false) {
    return NameQuery{"js@x.com",
                     "John",
                     "Smith",
                     "The program guessed the following names.",
                     inferred ? "Smith, John Paul Peter" : "",
                     inferred};
}

QStringList labelTexts(const QWidget& w) {
    QStringList texts;
    for (const QLabel* l : w.findChildren<QLabel*>())
        texts << l->text();
    return texts;
}

} // namespace

void TestFrmQueryUserReName::captions() {
    frmQueryUserReName form;
    EmailParser parser;
    form.load(parser, query());
    QCOMPARE(form.windowTitle(), QString("Confirm, Correct, or Ignore Name"));
    QCOMPARE(form.findChild<QPushButton*>("cmdCfm")->text(), QString("Confirm Name as Shown"));
    QCOMPARE(form.findChild<QPushButton*>("cmdGuess")->text(), QString("Continue Using Best Guess"));
    QCOMPARE(form.findChild<QPushButton*>("cmdNF")->text(), QString("Mark as Name Not Found"));
    const QStringList labels = labelTexts(form);
    for (const char* caption : {"EMail Address:", "Possible First Name:", "Possible Last Name:", "js@x.com",
                                "The program guessed the following names."})
        QVERIFY2(labels.contains(caption), caption);
    QCOMPARE(form.findChild<QLineEdit*>("txtFirstName")->text(), QString("John"));
    QCOMPARE(form.findChild<QLineEdit*>("txtLastName")->text(), QString("Smith"));
}

void TestFrmQueryUserReName::inferredShownOnlyWhenAsked() {
    frmQueryUserReName form;
    EmailParser parser;
    form.show();
    form.load(parser, query(false));
    QVERIFY(!form.findChild<QLineEdit*>("txtInferred")->isVisible());
    QVERIFY(!form.findChild<QLabel*>("lblInferred")->isVisible());
    form.load(parser, query(true));
    QVERIFY(form.findChild<QLineEdit*>("txtInferred")->isVisible());
    QVERIFY(form.findChild<QLineEdit*>("txtInferred")->isReadOnly());
    QCOMPARE(form.findChild<QLabel*>("lblInferred")->text(), QString("Inferred from string:"));
    QCOMPARE(form.findChild<QLineEdit*>("txtInferred")->text(), QString("Smith, John Paul Peter"));
}

void TestFrmQueryUserReName::buttons_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("names");
    QTest::addColumn<bool>("stillAsking");
    QTest::newRow("confirm") << "cmdCfm"
                             << "Jon|Smyth" << true;
    QTest::newRow("best guess") << "cmdGuess"
                                << "Jon|Smyth" << false;
    QTest::newRow("not found") << "cmdNF"
                               << "|" << true;
}

void TestFrmQueryUserReName::buttons() {
    QFETCH(QString, button);
    QFETCH(QString, names);
    QFETCH(bool, stillAsking);
    frmQueryUserReName form;
    EmailParser parser;
    form.load(parser, query());
    form.show();
    form.findChild<QLineEdit*>("txtFirstName")->setText("Jon");
    form.findChild<QLineEdit*>("txtLastName")->setText("Smyth");
    QTest::mouseClick(form.findChild<QPushButton*>(button), Qt::LeftButton);
    QCOMPARE(parser.FirstName() + '|' + parser.LastName(), names);
    QCOMPARE(parser.AskIfAmbigous(), stillAsking);
    QVERIFY(!form.isVisible());
}

void TestFrmQueryUserReName::enterConfirms() {
    frmQueryUserReName form;
    EmailParser parser;
    form.load(parser, query());
    form.show();
    QLineEdit* first = form.findChild<QLineEdit*>("txtFirstName");
    first->setText("Johnny");
    QTest::keyClick(first, Qt::Key_Return);
    QCOMPARE(parser.FirstName() + '|' + parser.LastName(), QString("Johnny|Smith"));
    QVERIFY(!form.isVisible());
}

void TestFrmQueryUserReName::asksModally() {
    frmQueryUserReName form;
    EmailParser parser(nullptr, &form);
    parser.setSourceFileType("Mailbox");
    QTimer::singleShot(0, &form,
                       [&form] { QTest::mouseClick(form.findChild<QPushButton*>("cmdNF"), Qt::LeftButton); });
    qsizetype position = 1;
    int status = 0;
    QString address;
    QVERIFY(parser.parseEmailAddress(u"john_smith@x.com", position, status, address));
    QCOMPARE(parser.FirstName() + '|' + parser.LastName(), QString("|"));
    QCOMPARE(form.Parser, nullptr);
}

QTEST_MAIN(TestFrmQueryUserReName)
#include "tst_frmqueryuserrename.moc"
