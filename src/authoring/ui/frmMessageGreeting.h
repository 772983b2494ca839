#pragma once
// frmMessageGreeting ("Greeting Manager"): how each copy of one message is addressed and
// greeted. The rules live in GreetingModel; the dialog shows them and keeps the editor's
// greeting display in step while the user ticks the boxes.

#include "authoring/GreetingModel.h"
#include "authoring/MessageStore.h"

#include <QDialog>
#include <QFont>
#include <QHash>
#include <functional>
#include <optional>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QRadioButton;

namespace sendora {

struct AppContext;
class HtmlView;
class frmMessageEdit;

// The greeting template with one part ("Prefix" or "Salutation") shown in a font: the
// placeholder is wrapped in a styled span, replacing an earlier styling of the same part.
QString restyleGreetingPart(const QString& html, const QString& part, const QFont& font);

class frmMessageGreeting : public QDialog {
    Q_OBJECT
public:
    // Works on the editor's current message.
    frmMessageGreeting(AppContext& ctx, frmMessageEdit* editor, QWidget* parent = nullptr);

    // The font chooser behind "Font..."; the default is the platform's font dialog.
    std::function<std::optional<QFont>(const QFont& initial)> fontChooser;

    // Shows the dialog modal on the settings of the editor's message.
    int ShowGreetingManager() { return exec(); }
    bool loaded() const { return m_loaded; }
    const GreetingModel& model() const { return m_model; }
    QString greetingTemplate() const { return m_template; }

    // OK: refuses with the message and stays open, or writes every column and closes.
    bool pressOk();
    void chooseFont();

    void reject() override;

private:
    void buildControls();
    void showModel();
    void updateEditor();

    AppContext& m_ctx;
    MessageStore m_store;
    frmMessageEdit* m_editor;
    QString m_messageName;
    MessageRecord m_record;
    GreetingModel m_model;
    QString m_template;
    bool m_loaded = false;
    QHash<QString, QFont> m_fonts;

    QCheckBox* m_useGreetingManager = nullptr;
    QCheckBox* m_personalAddress = nullptr;
    QCheckBox* m_groupAddress = nullptr;
    QLineEdit* m_groupText = nullptr;
    QRadioButton* m_personalSalutation = nullptr;
    QRadioButton* m_noSalutation = nullptr;
    QLineEdit* m_prefix = nullptr;
    QLineEdit* m_punctuation = nullptr;
    QCheckBox* m_title = nullptr;
    QCheckBox* m_firstName = nullptr;
    QCheckBox* m_lastName = nullptr;
    QLineEdit* m_defaultName = nullptr;
    QCheckBox* m_missingFName = nullptr;
    QCheckBox* m_missingLName = nullptr;
    QComboBox* m_fontPart = nullptr;
    HtmlView* m_view = nullptr;
};

} // namespace sendora
