#pragma once
// frmOpenDelete: the one dialog that opens, saves and deletes groups, messages, lists and
// delivery options. The widgets only show the model's texts and pass the buttons on.

#include "core/Catalogue.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;

namespace sendora {

class OpenDeleteDialog : public QDialog {
    Q_OBJECT
public:
    OpenDeleteDialog(OpenDeleteModel& model, QWidget* parent = nullptr);

private:
    void showSelection();
    void pressOk();
    QStringList selectedNames() const;

    OpenDeleteModel& m_model;
    QListWidget* m_names;
    QLineEdit* m_name = nullptr;
    QPlainTextEdit* m_description;
};

// OpenSaveDelete(kind, operation): shows the dialog and returns what it did.
SaveResult OpenSaveDelete(AppContext& ctx, CatalogueKind kind, CatalogueOperation op,
                          QWidget* parent = nullptr);

} // namespace sendora
