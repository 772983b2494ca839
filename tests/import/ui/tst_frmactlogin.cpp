// The ACT! login window: its texts, and the login it hands back (or none after Cancel).
#include "import/ui/frmActLogin.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using namespace sendora;

class TestFrmActLogin : public QObject {
    Q_OBJECT

    // Answers the next login window once it is up: types the login and presses a button.
    static void answerWhenShown(const QString& user, const QString& password, bool ok) {
        QTimer::singleShot(0, [=] {
            auto* form = qobject_cast<frmActLogin*>(QApplication::activeModalWidget());
            QVERIFY(form);
            QCOMPARE(form->windowTitle(), QStringLiteral("Login to Sales"));
            QStringList labels;
            for (const QLabel* l : form->findChildren<QLabel*>())
                labels << l->text();
            QCOMPARE(labels, (QStringList{"Enter your name for this database:",
                                          "Enter your pass&word for this database:"}));
            QCOMPARE(form->cmdCancel->text(), QStringLiteral("&Cancel"));
            QCOMPARE(form->txtPassword->echoMode(), QLineEdit::Password);
            QTest::keyClicks(form->txtUserName, user);
            QTest::keyClicks(form->txtPassword, password);
            QTest::mouseClick(ok ? form->cmdOK : form->cmdCancel, Qt::LeftButton);
        });
    }

private Q_SLOTS:
    void loginOrCancel() {
        const auto ask = actLoginDialog(nullptr);
        answerWhenShown(QStringLiteral("Chris"), QStringLiteral("s3cret"), true);
        const std::optional<ActLogin> given = ask(QStringLiteral("Sales"));
        QVERIFY(given);
        QCOMPARE(given->user, QStringLiteral("Chris"));
        QCOMPARE(given->password, QStringLiteral("s3cret"));

        answerWhenShown(QStringLiteral("Chris"), QStringLiteral("x"), false);
        QVERIFY(!ask(QStringLiteral("Sales")));
    }
};

QTEST_MAIN(TestFrmActLogin)
#include "tst_frmactlogin.moc"
