#pragma once
// frmSDInputBox: the single-line input dialog behind UserInterface::inputBox.

#include <QDialog>

class QLineEdit;

namespace sendora {

class SDInputBoxDialog : public QDialog {
    Q_OBJECT
public:
    SDInputBoxDialog(const QString& title, const QString& prompt, const QString& defaultText,
                     QWidget* parent = nullptr);
    QString text() const;

private:
    QLineEdit* m_input;
};

} // namespace sendora
