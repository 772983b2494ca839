#pragma once
// "Confirm, Correct, or Ignore Name": the window through which EmailParser asks about a doubtful
// personal name while a list is built from scanned files.

#include "import/NameQuestion.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace sendora {

class frmQueryUserReName : public QDialog, public NameQuestion {
    Q_OBJECT
public:
    explicit frmQueryUserReName(QWidget* parent = nullptr);

    // Fills the window from the query and shows it modal; the buttons answer through `parser`.
    void ask(EmailParser& parser, const NameQuery& query) override;

    // Fills the window without showing it.
    void load(EmailParser& parser, const NameQuery& query);
    // Centres the window over its parent, or over the screen without one.
    void PlaceForm();

    EmailParser* Parser = nullptr;

private:
    void confirm();
    void continueWithBestGuess();
    void markNotFound();

    QLabel* lblAddressValue;
    QLineEdit* txtFirstName;
    QLineEdit* txtLastName;
    QLabel* lblMessage;
    QLabel* lblInferred;
    QLineEdit* txtInferred;
    QPushButton* cmdCfm;
    QPushButton* cmdGuess;
    QPushButton* cmdNF;
};

} // namespace sendora
