#include "screens/ui/frmSendErrorNoAddr.h"

#include "screens/SDCentral.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace sendora {

const QString frmSendErrorNoAddr::kText = QStringLiteral(
    "This occurs if you have previously sent this mailing and the mailing list 'Sent' field is "
    "currently marked with the current 'Sent' flag.\r\nIf this is a new mailing then it is possible "
    "that you have asked it to check for a 'Sent' flag that is the same as a flag you have used in a "
    "previous mailing.\r\nYou can change the current 'Sent' flag marker in the box provided below.");

frmSendErrorNoAddr::frmSendErrorNoAddr(AppContext& ctx, const QString& deliveryOptions, QWidget* parent)
    : QDialog(parent), m_ctx(ctx), m_options(deliveryOptions) {
    setObjectName(QStringLiteral("frmSendErrorNoAddr"));
    setWindowTitle(QStringLiteral("No Messages Sent"));
    auto* text = new QLabel(QString(kText).replace(QStringLiteral("\r\n"), QStringLiteral("\n\n")), this);
    text->setObjectName(QStringLiteral("lblExplanation"));
    text->setWordWrap(true);
    m_flag = new QLineEdit(currentSentFlag(ctx, deliveryOptions), this);
    m_flag->setObjectName(QStringLiteral("txtSentFlag"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("cmdOK"));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("cmdCancel"));
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        m_note = changeSentFlag(m_ctx, m_options, m_flag->text());
        if (m_note) accept();
    });
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text);
    layout->addWidget(new QLabel(QStringLiteral("Current 'Sent' flag:"), this));
    layout->addWidget(m_flag);
    layout->addWidget(buttons);
    setMinimumWidth(440);
}

} // namespace sendora
