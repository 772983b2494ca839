#pragma once
// "Email Address Search Options": how one chosen file is searched.

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QRadioButton;

namespace sendora {

struct EmailSrcFileObj;
class UserInterface;

class frmSearchOptions : public QDialog {
    Q_OBJECT
public:
    frmSearchOptions(EmailSrcFileObj& entry, QWidget* parent = nullptr);

    // Shows the dialog on the entry; without one, says so instead. True when OK stored a choice.
    static bool edit(UserInterface& ui, EmailSrcFileObj* entry, QWidget* parent = nullptr);

    void SetDefaults();
    void RememberOptions();

private:
    void load();
    void updateEnabled();

    EmailSrcFileObj& m_entry;
    QRadioButton* optAll;
    QRadioButton* optLines;
    QRadioButton* optMsg;
    QCheckBox* chkFrom;
    QCheckBox* chkTo;
    QCheckBox* chkCc;
    QCheckBox* chkBcc;
    QCheckBox* chkText;
    QLineEdit* txtLinesText;
    QLineEdit* txtMsgText;
};

} // namespace sendora
