#include "import/ui/frmSearchOptions.h"

#include "core/UserInterface.h"
#include "import/EmailSrcFile.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>

namespace sendora {

namespace {

template <class W> W* named(W* w, const char* name) {
    w->setObjectName(QLatin1String(name));
    return w;
}

} // namespace

frmSearchOptions::frmSearchOptions(EmailSrcFileObj& entry, QWidget* parent)
    : QDialog(parent), m_entry(entry) {
    setWindowTitle(QStringLiteral("Email Address Search Options"));
    optAll =
        named(new QRadioButton(QStringLiteral("Use all Email addresses found in this file"), this), "optAll");
    optLines = named(new QRadioButton(QStringLiteral("Use addresses after:"), this), "optLines");
    optMsg =
        named(new QRadioButton(QStringLiteral("Use addresses after the following text:"), this), "optMsg");
    chkFrom = named(new QCheckBox(QStringLiteral("FROM:"), this), "chkFrom");
    chkTo = named(new QCheckBox(QStringLiteral("TO:"), this), "chkTo");
    chkCc = named(new QCheckBox(QStringLiteral("CC:"), this), "chkCc");
    chkBcc = named(new QCheckBox(QStringLiteral("BCC:"), this), "chkBcc");
    chkText = named(new QCheckBox(QStringLiteral("The following text:"), this), "chkText");
    txtLinesText = named(new QLineEdit(this), "txtLinesText");
    txtMsgText = named(new QLineEdit(this), "txtMsgText");
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);

    auto* flags = new QGridLayout;
    flags->setContentsMargins(24, 0, 0, 0);
    flags->addWidget(chkFrom, 0, 0);
    flags->addWidget(chkTo, 0, 1);
    flags->addWidget(chkCc, 1, 0);
    flags->addWidget(chkBcc, 1, 1);
    flags->addWidget(chkText, 2, 0);
    flags->addWidget(txtLinesText, 2, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Specify how this file is to be searched"), this));
    layout->addWidget(optAll);
    layout->addWidget(optLines);
    layout->addLayout(flags);
    layout->addWidget(optMsg);
    layout->addWidget(txtMsgText);
    layout->addWidget(buttons);

    for (QRadioButton* r : {optAll, optLines, optMsg})
        connect(r, &QRadioButton::toggled, this, &frmSearchOptions::updateEnabled);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        RememberOptions();
        accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    load();
}

bool frmSearchOptions::edit(UserInterface& ui, EmailSrcFileObj* entry, QWidget* parent) {
    if (!entry) {
        ui.message(QStringLiteral("Please select a source file and then reinvoke this dialog."), Buttons::OK,
                   Icon::Information);
        return false;
    }
    frmSearchOptions dialog(*entry, parent);
    return dialog.exec() == QDialog::Accepted;
}

void frmSearchOptions::SetDefaults() {
    optAll->setChecked(true);
    for (QCheckBox* c : {chkFrom, chkTo, chkCc, chkBcc, chkText})
        c->setChecked(false);
    txtLinesText->clear();
    txtMsgText->clear();
    updateEnabled();
}

void frmSearchOptions::load() {
    SetDefaults();
    // Only mailboxes have header lines to choose from.
    if (m_entry.fileType != u"Mailbox" || m_entry.searchMode == u"All") return;
    if (m_entry.searchMode == u"Msg") {
        optMsg->setChecked(true);
        txtMsgText->setText(m_entry.userText);
    } else {
        optLines->setChecked(true);
        chkFrom->setChecked(m_entry.fromFlag == 1);
        chkTo->setChecked(m_entry.toFlag == 1);
        chkCc->setChecked(m_entry.ccFlag == 1);
        chkBcc->setChecked(m_entry.bccFlag == 1);
        chkText->setChecked(m_entry.textFlag == 1);
        txtLinesText->setText(m_entry.userText);
    }
    updateEnabled();
}

void frmSearchOptions::updateEnabled() {
    const bool mailbox = m_entry.fileType == u"Mailbox";
    optLines->setEnabled(mailbox);
    optMsg->setEnabled(mailbox);
    for (QWidget* w : std::initializer_list<QWidget*>{chkFrom, chkTo, chkCc, chkBcc, chkText, txtLinesText})
        w->setEnabled(mailbox && optLines->isChecked());
    txtMsgText->setEnabled(mailbox && optMsg->isChecked());
}

void frmSearchOptions::RememberOptions() {
    const QString mode = optMsg->isChecked()     ? QStringLiteral("Msg")
                         : optLines->isChecked() ? QStringLiteral("Lines")
                                                 : QStringLiteral("All");
    m_entry.RememberOptions(mode, chkFrom->isChecked(), chkTo->isChecked(), chkCc->isChecked(),
                            chkBcc->isChecked(), chkText->isChecked(),
                            mode == u"Msg" ? txtMsgText->text() : txtLinesText->text());
}

} // namespace sendora
