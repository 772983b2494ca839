#pragma once
// The signature and button-code editors (frmSignature, frmHumanClick) and the small chooser
// the message editor shows when the composer asks for one. The stores check and keep the
// entries; these windows only collect the two texts. The options dialog reuses the editors.

#include "authoring/SnippetStore.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;

namespace sendora {

struct AppContext;

// Description and text of one entry; OK adds it, or replaces the entry being edited.
class SnippetEditor : public QDialog {
    Q_OBJECT
public:
    // originalDescription: the entry to edit; empty for a new one.
    SnippetEditor(AppContext& ctx, SnippetStore::Kind kind, const QString& originalDescription = {},
                  QWidget* parent = nullptr);

    void setTexts(const QString& description, const QString& text);
    // Refuses with the store's message and stays open, or stores and closes.
    bool pressOk();
    QString savedDescription() const { return m_saved; }

private:
    AppContext& m_ctx;
    SnippetStore m_store;
    QString m_original;
    QString m_saved;
    QLineEdit* m_description;
    QPlainTextEdit* m_text;
};

class frmSignature : public SnippetEditor {
    Q_OBJECT
public:
    explicit frmSignature(AppContext& ctx, const QString& originalDescription = {},
                          QWidget* parent = nullptr);
};

class frmHumanClick : public SnippetEditor {
    Q_OBJECT
public:
    explicit frmHumanClick(AppContext& ctx, const QString& originalDescription = {},
                           QWidget* parent = nullptr);
};

// The entries of one store by description, "Insert", "Add..." (the editor above), "Manage..."
// (the options dialog's page of the store) and Cancel.
class frmSnippetChooser : public QDialog {
    Q_OBJECT
public:
    frmSnippetChooser(AppContext& ctx, SnippetStore::Kind kind, QWidget* parent = nullptr);

    QListWidget* entries() const { return m_list; }
    // Opens the editor for a new entry; the list shows it selected afterwards.
    void addEntry();
    // Opens the options dialog on this store's page; the list shows what it left.
    void manageEntries();
    void choose();
    Snippet chosen() const { return m_chosen; }

private:
    void fill(const QString& select);

    AppContext& m_ctx;
    SnippetStore m_store;
    QListWidget* m_list;
    QLabel* m_empty;
    Snippet m_chosen;
};

} // namespace sendora
