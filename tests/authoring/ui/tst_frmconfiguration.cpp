// The options dialog as the user meets it: every field loaded and written by OK, the
// word-wrap messages and group-size bounds, subjects.dat and the text-only domains, and the
// signature and button-code stores shared with the message editor's chooser.

#include "authoring/SnippetStore.h"
#include "authoring/ui/frmConfiguration.h"
#include "authoring/ui/frmSignature.h"
#include "core/IniFile.h"
#include "screens/ui/WhenModal.h"
#include "support/TestApp.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>

using namespace sendora;
using sendora::test::msg;
using sendora::test::TestApp;
using sendora::test::whenModal;

namespace {

template <typename T = QLineEdit> T* child(QWidget& w, const char* name) {
    T* c = w.findChild<T*>(QLatin1String(name));
    if (!c) qFatal("no child %s", name);
    return c;
}
void click(QWidget& w, const char* name) {
    child<QAbstractButton>(w, name)->click();
}

struct Folder {
    TestApp app;
    Folder() { app.layOut(); }
    AppContext& ctx() { return *app.ctx; }
    QStringList transcript() { return app.ui.transcript(); }
    QString ini(const char* key) {
        return IniFile(ctx().paths.settingsFile()).read(kAppDefaults, QLatin1String(key), "<absent>");
    }
    QByteArray subjects() {
        QFile f(app.path("subjects.dat"));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<absent>");
    }
    QStringList items(QWidget& w, const char* list) {
        QStringList out;
        auto* l = child<QListWidget>(w, list);
        for (int i = 0; i < l->count(); ++i)
            out << l->item(i)->text();
        return out;
    }
};

} // namespace

class TestFrmConfiguration : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void fieldsLoadAndOkWritesEachSetting() {
        Folder f;
        AppSettings& s = f.ctx().settings;
        s.bracketOnFrom = false;
        s.serverWantsBracket = true;
        s.startSDCentral = true;
        s.groupMailBlockSize = 30;
        s.wordWrapSize = 76;
        s.checkIfDomainWantsTextOnly = true;
        s.domainsToCheck = "aol.com;example.org";
        s.checkOriginalTo = false;
        s.configuredMailServer = "relay.example.net";
        s.mailServer = "changed.example.net";

        frmConfiguration d(f.ctx());
        QCOMPARE(d.windowTitle(), QStringLiteral("Sendora Options"));
        QVERIFY(!child<QCheckBox>(d, "chkBracketOnFrom")->isChecked());
        QVERIFY(child<QCheckBox>(d, "chkServerWantsBracket")->isChecked());
        QVERIFY(child<QCheckBox>(d, "chkStartSDCentral")->isChecked());
        QCOMPARE(child<QSpinBox>(d, "txtGroupSize")->value(), 30);
        QCOMPARE(child(d, "txtWordWrap")->text(), QStringLiteral("76"));
        QVERIFY(child<QRadioButton>(d, "optTextOnlyDomains")->isChecked());
        QCOMPARE(f.items(d, "lstDomains"), (QStringList{"aol.com", "example.org"}));
        QVERIFY(!child<QCheckBox>(d, "chkCheckOriginalTo")->isChecked());

        child<QCheckBox>(d, "chkBracketOnFrom")->setChecked(true);
        child<QCheckBox>(d, "chkServerWantsBracket")->setChecked(false);
        child<QCheckBox>(d, "chkStartSDCentral")->setChecked(false);
        child<QCheckBox>(d, "chkCheckOriginalTo")->setChecked(true);
        child<QRadioButton>(d, "optAllSettings")->setChecked(true);
        child<QSpinBox>(d, "txtGroupSize")->setValue(12);
        click(d, "cmdWordWrapDown");
        QCOMPARE(child(d, "txtWordWrap")->text(), QStringLiteral("75"));
        child(d, "txtDomain")->setText(" mail.example.com ");
        click(d, "cmdAddDomain");
        QCOMPARE(child(d, "txtDomain")->text(), QString());
        child<QListWidget>(d, "lstDomains")->setCurrentRow(0);
        click(d, "cmdRemoveDomain");
        click(d, "cmdOK");
        QCOMPARE(d.result(), int(QDialog::Accepted));
        QVERIFY(f.transcript().isEmpty());

        const QList<std::pair<const char*, QString>> expected = {
            {"MailServer", "relay.example.net"},
            {"SMTPPort", "25"},
            {"ServerWantsBracket", "False"},
            {"BracketOnFrom", "True"},
            {"GroupMailBlockSize", "12"},
            {"StartSDCentral", "False"},
            {"WordWrapSize", "75"},
            {"CheckOriginalTo", "True"},
            {"CheckIfDomainWantsTextOnly", "False"},
            {"DomainsToCheck", "example.org;mail.example.com"},
        };
        for (const auto& [key, value] : expected)
            QCOMPARE(f.ini(key), value);
        QVERIFY(s.bracketOnFrom && !s.serverWantsBracket && !s.startSDCentral && s.checkOriginalTo);
        QCOMPARE(s.wordWrapSize, 75);
        QCOMPARE(s.mailServer, QStringLiteral("relay.example.net"));

        // Cancel writes nothing.
        frmConfiguration again(f.ctx());
        child<QSpinBox>(again, "txtGroupSize")->setValue(50);
        click(again, "cmdCancel");
        QCOMPARE(f.ini("GroupMailBlockSize"), QStringLiteral("12"));
    }

    void okShowsTheWordWrapMessagesAndBoundsTheGroupSize() {
        Folder f;
        frmConfiguration d(f.ctx());
        auto* wrap = child(d, "txtWordWrap");
        auto* size = child<QSpinBox>(d, "txtGroupSize");
        size->setValue(0);
        wrap->setText("abc");
        QVERIFY(!d.pressOk());
        wrap->setText("-1");
        QVERIFY(!d.pressOk());
        QCOMPARE(
            f.transcript(),
            (QStringList{msg("You must enter a number for the Word Wrap.  If you want to turn word wrap off "
                             "then enter 0 in the box."),
                         msg("You must enter a number that is equal to 0 or more for the Word Wrap.  If you "
                             "want to turn word wrap off then enter 0 in the box.")}));
        QCOMPARE(d.result(), int(QDialog::Rejected)); // still open
        QCOMPARE(d.pages()->currentIndex(), int(frmConfiguration::MessageWordWrap));
        QCOMPARE(f.ini("GroupMailBlockSize"), QStringLiteral("<absent>"));

        wrap->setText("0");
        QVERIFY(d.pressOk());
        QCOMPARE(f.ini("WordWrapSize"), QStringLiteral("0"));
        QCOMPARE(f.ini("GroupMailBlockSize"), QStringLiteral("1"));
        QCOMPARE(f.ini("DomainsToCheck"), QString()); // no domains: empty text

        frmConfiguration big(f.ctx());
        QCOMPARE(child<QSpinBox>(big, "txtGroupSize")->value(), 1);
        child<QSpinBox>(big, "txtGroupSize")->setValue(250);
        QVERIFY(big.pressOk());
        QCOMPARE(f.ini("GroupMailBlockSize"), QStringLiteral("100"));
        QCOMPARE(f.ctx().settings.groupMailBlockSize, 100);
    }

    void subjectsAreAddedAndRemovedInSubjectsDat() {
        Folder f;
        frmConfiguration d(f.ctx(), frmConfiguration::ReturnMailSubjects);
        auto* subject = child(d, "txtSubject");
        subject->setText("Undelivered Mail Returned to Sender");
        click(d, "cmdAddSubject");
        QCOMPARE(subject->text(), QString());
        subject->setText("Undelivered Mail Returned to Sender");
        click(d, "cmdAddSubject");
        QCOMPARE(subject->text(), QStringLiteral("Undelivered Mail Returned to Sender")); // kept to correct
        subject->setText("Delivery Status Notification");
        click(d, "cmdAddSubject");
        subject->clear();
        click(d, "cmdAddSubject");
        QCOMPARE(f.transcript(),
                 (QStringList{msg("The subject line Undelivered Mail Returned to Sender already exists."),
                              msg("Please enter a valid subject line.")}));
        QCOMPARE(f.subjects(),
                 QByteArray("Undelivered Mail Returned to Sender\r\nDelivery Status Notification\r\n"));

        child<QListWidget>(d, "lstSubjects")->setCurrentRow(0);
        click(d, "cmdRemoveSubject");
        QCOMPARE(f.items(d, "lstSubjects"), QStringList{"Delivery Status Notification"});
        click(d, "cmdCancel"); // the file is written at once, not by OK
        QCOMPARE(f.subjects(), QByteArray("Delivery Status Notification\r\n"));
        frmConfiguration reopened(f.ctx());
        QCOMPARE(f.items(reopened, "lstSubjects"), QStringList{"Delivery Status Notification"});
    }

    void signaturesAndButtonProfilesUseTheEditorsStores() {
        Folder f;
        SnippetStore signatures(f.ctx(), SnippetStore::Kind::Signatures);
        SnippetStore codes(f.ctx(), SnippetStore::Kind::ClickCodes);
        QVERIFY(!codes.add("Chat", "<a href=\"chat\">Chat</a>"));

        frmConfiguration d(f.ctx(), frmConfiguration::Signature);
        QCOMPARE(d.pages()->tabText(d.pages()->currentIndex()), QStringLiteral("Signature"));
        QCOMPARE(f.items(d, "lstClickCodes"), QStringList{"Chat"});
        whenModal([](QDialog* editor) {
            QCOMPARE(editor->objectName(), QStringLiteral("frmSignature"));
            auto* e = static_cast<SnippetEditor*>(editor);
            e->setTexts("Regards", QString());
            QVERIFY(!e->pressOk());
            e->setTexts("Regards", "Ann\nQuillmark");
            QVERIFY(e->pressOk());
        });
        click(d, "cmdAddSignature");
        QCOMPARE(f.items(d, "lstSignatures"), QStringList{"Regards"});
        QCOMPARE(signatures.find("Regards")->text, QStringLiteral("Ann<br>Quillmark"));

        // A used button description is refused by the editor the dialog opens.
        whenModal([](QDialog* editor) {
            QCOMPARE(editor->objectName(), QStringLiteral("frmHumanClick"));
            auto* e = static_cast<SnippetEditor*>(editor);
            e->setTexts("Chat", "<b>x</b>");
            QVERIFY(!e->pressOk());
            e->reject();
        });
        click(d, "cmdAddClickCode");
        QCOMPARE(f.transcript(),
                 (QStringList{msg("Please enter a valid Signature."),
                              msg("A profile with the description of Chat already exists.")}));
        child<QListWidget>(d, "lstClickCodes")->setCurrentRow(0);
        click(d, "cmdRemoveClickCode");
        QVERIFY(codes.list().isEmpty());
        QVERIFY(f.items(d, "lstClickCodes").isEmpty());

        // The message editor's chooser opens the dialog on the store's page and shows what it left.
        frmSnippetChooser chooser(f.ctx(), SnippetStore::Kind::Signatures);
        QCOMPARE(chooser.entries()->count(), 1);
        int page = -1;
        whenModal([&page](QDialog* options) {
            auto* o = static_cast<frmConfiguration*>(options);
            page = o->pages()->currentIndex();
            o->findChild<QListWidget*>("lstSignatures")->setCurrentRow(0);
            o->removeSnippet(SnippetStore::Kind::Signatures);
            o->reject();
        });
        click(chooser, "cmdManage");
        QCOMPARE(page, 8);
        QCOMPARE(chooser.entries()->count(), 0);
        QCOMPARE(frmConfiguration(f.ctx(), frmConfiguration::LivePerson).pages()->currentIndex(), 5);
    }
};

QTEST_MAIN(TestFrmConfiguration)
#include "tst_frmconfiguration.moc"
