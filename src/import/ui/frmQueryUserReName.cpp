#include "import/ui/frmQueryUserReName.h"

#include "import/EmailParser.h"

#include <QFormLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace sendora {

frmQueryUserReName::frmQueryUserReName(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Confirm, Correct, or Ignore Name"));
    setModal(true);

    lblAddressValue = new QLabel(this);
    lblAddressValue->setObjectName(QStringLiteral("lblAddress"));
    lblAddressValue->setTextInteractionFlags(Qt::TextSelectableByMouse);
    txtFirstName = new QLineEdit(this);
    txtFirstName->setObjectName(QStringLiteral("txtFirstName"));
    txtLastName = new QLineEdit(this);
    txtLastName->setObjectName(QStringLiteral("txtLastName"));
    lblMessage = new QLabel(this);
    lblMessage->setObjectName(QStringLiteral("lblMessage"));
    lblMessage->setWordWrap(true);
    lblInferred = new QLabel(QStringLiteral("Inferred from string:"), this);
    lblInferred->setObjectName(QStringLiteral("lblInferred"));
    txtInferred = new QLineEdit(this);
    txtInferred->setObjectName(QStringLiteral("txtInferred"));
    txtInferred->setReadOnly(true);

    cmdCfm = new QPushButton(QStringLiteral("Confirm Name as Shown"), this);
    cmdCfm->setObjectName(QStringLiteral("cmdCfm"));
    cmdGuess = new QPushButton(QStringLiteral("Continue Using Best Guess"), this);
    cmdGuess->setObjectName(QStringLiteral("cmdGuess"));
    cmdNF = new QPushButton(QStringLiteral("Mark as Name Not Found"), this);
    cmdNF->setObjectName(QStringLiteral("cmdNF"));
    // Enter in either name box confirms what is shown.
    cmdCfm->setDefault(true);
    cmdGuess->setAutoDefault(false);
    cmdNF->setAutoDefault(false);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("EMail Address:"), lblAddressValue);
    form->addRow(QStringLiteral("Possible First Name:"), txtFirstName);
    form->addRow(QStringLiteral("Possible Last Name:"), txtLastName);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdCfm);
    buttons->addWidget(cmdGuess);
    buttons->addWidget(cmdNF);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(lblMessage);
    layout->addWidget(lblInferred);
    layout->addWidget(txtInferred);
    layout->addLayout(buttons);

    connect(cmdCfm, &QPushButton::clicked, this, &frmQueryUserReName::confirm);
    connect(cmdGuess, &QPushButton::clicked, this, &frmQueryUserReName::continueWithBestGuess);
    connect(cmdNF, &QPushButton::clicked, this, &frmQueryUserReName::markNotFound);
}

void frmQueryUserReName::load(EmailParser& parser, const NameQuery& query) {
    Parser = &parser;
    lblAddressValue->setText(query.address);
    txtFirstName->setText(query.firstName);
    txtLastName->setText(query.lastName);
    lblMessage->setText(query.message);
    txtInferred->setText(query.inferredFrom);
    lblInferred->setVisible(query.showInferred);
    txtInferred->setVisible(query.showInferred);
    txtFirstName->setFocus();
}

void frmQueryUserReName::ask(EmailParser& parser, const NameQuery& query) {
    load(parser, query);
    PlaceForm();
    exec();
    Parser = nullptr;
}

void frmQueryUserReName::PlaceForm() {
    adjustSize();
    QRect area;
    if (parentWidget())
        area = parentWidget()->window()->frameGeometry();
    else if (QScreen* screen = QGuiApplication::primaryScreen())
        area = screen->availableGeometry();
    if (area.isValid()) move(area.center() - rect().center());
}

void frmQueryUserReName::confirm() {
    if (Parser) Parser->SetFLName(txtFirstName->text(), txtLastName->text());
    accept();
}

void frmQueryUserReName::continueWithBestGuess() {
    if (Parser) Parser->setAskIfAmbigous(false);
    confirm();
}

void frmQueryUserReName::markNotFound() {
    if (Parser) Parser->SetFLName(QString(), QString());
    accept();
}

} // namespace sendora
