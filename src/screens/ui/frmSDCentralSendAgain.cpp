#include "screens/ui/frmSDCentralSendAgain.h"

#include "core/AppContext.h"
#include "screens/ui/frmSDCentral.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace sendora {

const QString frmSendAgainWarning::kText = QStringLiteral(
    "If you send this mailing again the message will be either delivered to all of the addresses "
    "again or sent only to those addresses which are not marked with the current 'Sent' flag.\r\n\r\n"
    "To change or verify that go to step 5 of the delivery options wizard and modify the information "
    "there.");

frmSendAgainWarning::frmSendAgainWarning(AppContext& ctx, const MailingRow& m, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("frmSendAgainWarning"));
    setWindowTitle(QStringLiteral("Resend mailing?"));
    setModal(true);
    auto* form = new QFormLayout;
    auto field = [&](const char* name, const QString& label, const QString& value) {
        auto* e = new QLineEdit(value, this);
        e->setObjectName(QLatin1String(name));
        e->setReadOnly(true);
        e->setMinimumWidth(260);
        form->addRow(label, e);
    };
    field("txtGroup", QStringLiteral("Sendora Group:"), m.group);
    field("txtMessage", QStringLiteral("Message:"), m.message);
    field("txtList", QStringLiteral("Mailing List:"), m.list);
    field("txtDateSent", QStringLiteral("Date Sent:"), m.dateSent);
    field("txtTotalSent", QStringLiteral("Total Sent:"), QString::number(m.sentCount));

    auto* icon = new QLabel(this);
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(32, 32));
    icon->setAlignment(Qt::AlignTop);
    auto* text = new QLabel(QString(kText).replace(QStringLiteral("\r\n"), QStringLiteral("\n")), this);
    text->setObjectName(QStringLiteral("lblWarning"));
    text->setWordWrap(true);
    auto* top = new QHBoxLayout;
    top->addWidget(icon);
    top->addWidget(text, 1);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("cmdOK"));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("cmdCancel"));
    QPushButton* options =
        buttons->addButton(QStringLiteral("&Delivery Options..."), QDialogButtonBox::ActionRole);
    options->setObjectName(QStringLiteral("cmdDeliveryOptions"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    const QString profile = m.profile;
    connect(options, &QPushButton::clicked, this,
            [&ctx, profile] { ctx.windows().editDeliveryOptions(profile); });

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(form);
    layout->addWidget(buttons);
    setMinimumWidth(460);
}

bool confirmSendAgain(AppContext& ctx, const MailingRow& mailing, QWidget* parent) {
    frmSendAgainWarning dlg(ctx, mailing, parent);
    return dlg.exec() == QDialog::Accepted;
}

void SetupAndShowSendAgainWarning(AppContext& ctx, const MailingRow& mailing, frmSDCentral& centre) {
    centre.SetCancelSendFlagForSDCentral(!confirmSendAgain(ctx, mailing, &centre));
}

} // namespace sendora
