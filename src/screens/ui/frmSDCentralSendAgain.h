#pragma once
// frmSendAgainWarning: asked before a mailing that was sent before goes out again. OK and
// Cancel set the mailing centre's cancel-send flag; a third button shows the delivery options.

#include "mailing/relay/RelaySend.h"

#include <QDialog>

namespace sendora {

struct AppContext;
class frmSDCentral;

class frmSendAgainWarning : public QDialog {
    Q_OBJECT
public:
    frmSendAgainWarning(AppContext& ctx, const MailingRow& mailing, QWidget* parent = nullptr);

    static const QString kText;
};

// Shows the warning modal over parent; true when the user pressed OK.
bool confirmSendAgain(AppContext& ctx, const MailingRow& mailing, QWidget* parent);

// Shows the warning modal and passes the answer to the centre (OK: false, Cancel: true).
void SetupAndShowSendAgainWarning(AppContext& ctx, const MailingRow& mailing, frmSDCentral& centre);

} // namespace sendora
