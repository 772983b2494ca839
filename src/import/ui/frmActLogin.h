#pragma once
// The login an ACT! database asks for before its contacts can be read.

#include "import/ContactManagerImport.h"

#include <QDialog>

class QLineEdit;
class QPushButton;

namespace sendora {

class frmActLogin : public QDialog {
    Q_OBJECT
public:
    explicit frmActLogin(const QString& databaseName, QWidget* parent = nullptr);

    QLineEdit* txtUserName;
    QLineEdit* txtPassword;
    QPushButton* cmdOK;
    QPushButton* cmdCancel;

    // Shows the window modal; nothing when the user cancels.
    static std::optional<ActLogin> ask(const QString& databaseName, QWidget* parent = nullptr);
};

// The import's login question answered by this window.
std::function<std::optional<ActLogin>(const QString& databaseName)> actLoginDialog(QWidget* parent);

} // namespace sendora
