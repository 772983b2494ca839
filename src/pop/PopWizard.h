#pragma once
// What the POP Mail Management Wizard decides, without its window: page titles, the checks
// made when a page is left, the run's status texts, the list updates of Finish and the
// summary. The window (frmPOPWizard) shows these and forwards its buttons here.

#include "pop/ListUpdates.h"
#include "pop/PopAccounts.h"
#include "pop/PopRun.h"

#include <QString>
#include <QStringList>

namespace sendora {
struct AppContext;
class UserInterface;
} // namespace sendora

namespace sendora::pop {

enum class RetrieveChoice { All, Undeliverable, Filter }; // page 2

// "Unknown POP Wizard Format" (critical) for a mode other than 1..3.
bool acceptWizardMode(UserInterface& ui, int mode);
inline const QString kPopWizardCaption = QStringLiteral("POP Mail Management Wizard");
QString pageTitle(int page, int mode);
QString summaryHeading(int mode);

// Page checks; each shows its message and returns false when the page may not be left.
bool checkLoginPage(UserInterface& ui, const QString& userName, const QString& host);
bool checkPhrasePage(UserInterface& ui, RetrieveChoice choice, int checkedPhrases);
bool checkListPage(UserInterface& ui, int mode, int checkedLists);
// Leaving page 1 with fields that differ from the stored account: asks and saves on Yes.
bool offerToSaveChanges(AppContext& ctx, const PopAccount& stored, const PopAccount& edited);
// Closing other than by Finish; true when the wizard may close.
bool confirmClose(UserInterface& ui);

// The label of the account button: "Add this Account" for "<New Account>".
QString accountButtonText(const QString& accountId);

// The run's options from the wizard's choices.
PopRunOptions runOptions(int mode, RetrieveChoice choice, bool deleteFromServer, const QStringList& phrases);
// Status line and second label after a run.
QString statusAfterRun(const PopRunResult& r);
QString hintAfterRun(const PopRunResult& r);

struct FinishChoices {
    bool updateLists = true;   // page 4: "Automatically update existing mailing list(s)"
    bool keepNewList = false;  // "Create a mailing list" or "Also save retrieved addresses in a new list"
    QStringList lists;         // checked on page 5
    bool adding = false;       // "Adding to the following list(s)"; mode 1 always removes
    bool globalRemove = false; // "Add addresses to Global Remove List."
};

// Finish: the list statements on the checked lists (and the Global Remove List). A failed
// update is shown to the user; the counts of the lists done are kept either way.
ListUpdateResult applyFinish(AppContext& ctx, int mode, const QString& tempListPath,
                             const FinishChoices& choices);
// The summary rows "List Name", "Added", "Removed".
QList<QStringList> summaryRows(const ListUpdateResult& r);

} // namespace sendora::pop
