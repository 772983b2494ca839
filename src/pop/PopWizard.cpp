#include "pop/PopWizard.h"

#include "core/AppContext.h"
#include "core/UserInterface.h"

namespace sendora::pop {

namespace {

const QString kAskAdministrator = QStringLiteral(
    "\r\nIf you do not know your user name see your System Administrator\r\nor talk to your Internet "
    "Service Provider.");

} // namespace

bool acceptWizardMode(UserInterface& ui, int mode) {
    if (mode >= 1 && mode <= 3) return true;
    ui.message(QStringLiteral("Unknown POP Wizard Format"), Buttons::OK, Icon::Critical);
    return false;
}

QString pageTitle(int page, int mode) {
    switch (page) {
    case 1:
        return QStringLiteral("POP Email Account -- Login Information");
    case 2:
        return QStringLiteral("How Do You Want to Retrieve Your e-Mail?");
    case 3:
        return QStringLiteral("Select Phrases to Search for on the Subject Line");
    case 4:
        return QStringLiteral("What Do You Want to Do with the Addresses?");
    case 5:
        return mode == 1 ? QStringLiteral("Remove Undeliverable Mail from these Lists")
                         : QStringLiteral("Update the Following Lists by");
    case 6:
        return mode == 2   ? QStringLiteral("Process Your Response Mail")
               : mode == 3 ? QStringLiteral("Process Your POP Mail")
                           : QStringLiteral("Process Your Undeliverable Mail");
    default:
        return {};
    }
}

QString summaryHeading(int mode) {
    return mode == 1   ? QStringLiteral("Undeliverable Addresses Summary")
           : mode == 2 ? QStringLiteral("Subscription Manager Summary")
                       : QStringLiteral("POP Import Summary");
}

bool checkLoginPage(UserInterface& ui, const QString& userName, const QString& host) {
    if (userName.trimmed().isEmpty()) {
        ui.message(QStringLiteral("You need to give a user name for your POP account.") + kAskAdministrator,
                   Buttons::OK, Icon::Exclamation);
        return false;
    }
    if (host.trimmed().isEmpty()) {
        ui.message(QStringLiteral("You need to give a POP host name for your POP account.") +
                       kAskAdministrator,
                   Buttons::OK, Icon::Exclamation);
        return false;
    }
    return true;
}

bool checkPhrasePage(UserInterface& ui, RetrieveChoice choice, int checkedPhrases) {
    if (choice != RetrieveChoice::Filter || checkedPhrases > 0) return true;
    ui.message(QStringLiteral("You need to select at least one search phrase for you search."), Buttons::OK,
               Icon::Exclamation);
    return false;
}

bool checkListPage(UserInterface& ui, int mode, int checkedLists) {
    if (checkedLists > 0) return true;
    ui.message(
        mode == 1
            ? QStringLiteral("You need to select a list or lists to remove the undeliverable addresses from.")
            : QStringLiteral("You need to select a list or lists to add or remove the collected addresses "
                             "from."),
        Buttons::OK, Icon::Exclamation);
    return false;
}

bool offerToSaveChanges(AppContext& ctx, const PopAccount& stored, const PopAccount& edited) {
    if (stored.id == kNewAccountEntry || stored.id.isEmpty() || stored.sameFields(edited)) return false;
    if (ctx.ui->message(QStringLiteral("Do you want to save the changes to : '") + stored.id + u'\'',
                        Buttons::YesNo, Icon::Question, QStringLiteral("Save Changes")) != Answer::Yes)
        return false;
    PopAccount a = edited;
    a.id = stored.id;
    return PopAccountStore(ctx).update(a);
}

bool confirmClose(UserInterface& ui) {
    return ui.message(
               QStringLiteral("Are you sure you wish to exit?  Any changes you made in the wizard will be "
                              "lost\r\nUse the finish button to save modifications."),
               Buttons::YesNo, Icon::Question,
               QStringLiteral("Are you sure you wish to exit?")) == Answer::Yes;
}

QString accountButtonText(const QString& accountId) {
    return accountId == kNewAccountEntry ? QStringLiteral("Add this Account")
                                         : QStringLiteral("Update this Account");
}

PopRunOptions runOptions(int mode, RetrieveChoice choice, bool deleteFromServer, const QStringList& phrases) {
    PopRunOptions o;
    o.mode = mode;
    o.processAll = choice == RetrieveChoice::All;
    o.bounceRules = choice == RetrieveChoice::Undeliverable;
    o.deleteProcessed = deleteFromServer;
    if (choice == RetrieveChoice::Filter) o.phrases = phrases;
    return o;
}

QString statusAfterRun(const PopRunResult& r) {
    if (r.cancelled) return QStringLiteral("Message Processing Has Been Stopped");
    return r.listPath.isEmpty() ? QStringLiteral("Message Processing Found Nothing")
                                : QStringLiteral("Message Processing Has Completed");
}

QString hintAfterRun(const PopRunResult& r) {
    return r.listPath.isEmpty() ? QStringLiteral("Press Finish to Exit")
                                : QStringLiteral("Press Finish to Continue...Exit to Cancel");
}

ListUpdateResult applyFinish(AppContext& ctx, int mode, const QString& tempListPath, const FinishChoices& c) {
    ListUpdateResult r;
    if (tempListPath.isEmpty()) return r;
    const QStringList lists = c.updateLists ? c.lists : QStringList();
    if (lists.isEmpty() && !c.globalRemove) return r;
    r = applyToLists(ctx, tempListPath, lists, mode != 1 && c.adding, c.globalRemove);
    if (!r.ok) ctx.ui->message(r.message, Buttons::OK, Icon::Exclamation);
    return r;
}

QList<QStringList> summaryRows(const ListUpdateResult& r) {
    QList<QStringList> rows{
        {QStringLiteral("List Name"), QStringLiteral("Added"), QStringLiteral("Removed")}};
    for (const ListCount& c : r.counts)
        rows << QStringList{c.listName, QString::number(c.added), QString::number(c.removed)};
    return rows;
}

} // namespace sendora::pop
