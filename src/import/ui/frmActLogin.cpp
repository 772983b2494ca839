#include "import/ui/frmActLogin.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>

namespace sendora {

frmActLogin::frmActLogin(const QString& databaseName, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmActLogin"));
    setWindowTitle(QStringLiteral("Login to ") + databaseName);
    auto* grid = new QGridLayout(this);
    auto* lblUser = new QLabel(QStringLiteral("Enter your name for this database:"), this);
    auto* lblPassword = new QLabel(QStringLiteral("Enter your pass&word for this database:"), this);
    txtUserName = new QLineEdit(this);
    txtPassword = new QLineEdit(this);
    txtPassword->setEchoMode(QLineEdit::Password);
    lblUser->setBuddy(txtUserName);
    lblPassword->setBuddy(txtPassword);
    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdCancel = new QPushButton(QStringLiteral("&Cancel"), this);
    cmdOK->setDefault(true);
    grid->addWidget(lblUser, 0, 0);
    grid->addWidget(txtUserName, 0, 1);
    grid->addWidget(lblPassword, 1, 0);
    grid->addWidget(txtPassword, 1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);
    grid->addLayout(buttons, 2, 0, 1, 2);
    connect(cmdOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
}

std::optional<ActLogin> frmActLogin::ask(const QString& databaseName, QWidget* parent) {
    frmActLogin dialog(databaseName, parent);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return ActLogin{dialog.txtUserName->text(), dialog.txtPassword->text()};
}

std::function<std::optional<ActLogin>(const QString& databaseName)> actLoginDialog(QWidget* parent) {
    QPointer<QWidget> owner(parent);
    return [owner](const QString& databaseName) { return frmActLogin::ask(databaseName, owner.data()); };
}

} // namespace sendora
