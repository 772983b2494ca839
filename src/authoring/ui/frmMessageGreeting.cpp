#include "authoring/ui/frmMessageGreeting.h"

#include "authoring/ui/frmMessageEdit.h"
#include "components/htmlcomposer/HtmlComposer.h"
#include "core/AppContext.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFontDialog>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QVBoxLayout>

namespace sendora {

QString restyleGreetingPart(const QString& html, const QString& part, const QFont& font) {
    const QString placeholder = u'{' + part + u'}';
    QString family = font.family().toHtmlEscaped();
    family.replace(u'\'', QLatin1String("&#39;"));
    QString style = QStringLiteral("font-family:'%1'; font-size:%2pt").arg(family).arg(font.pointSize());
    if (font.bold()) style += QStringLiteral("; font-weight:bold");
    if (font.italic()) style += QStringLiteral("; font-style:italic");
    if (font.underline() || font.strikeOut())
        style += QStringLiteral("; text-decoration:") +
                 (font.underline() ? QStringLiteral("underline") : QString()) +
                 (font.underline() && font.strikeOut() ? QStringLiteral(" ") : QString()) +
                 (font.strikeOut() ? QStringLiteral("line-through") : QString());
    const QString styled = QStringLiteral("<span style=\"%1\">%2</span>").arg(style, placeholder);
    static const QString spanOpen = QStringLiteral("<span style=\"[^\"]*\">");
    const QRegularExpression earlier(spanOpen + QRegularExpression::escape(placeholder) +
                                     QStringLiteral("</span>"));
    QString out = html;
    const QRegularExpressionMatch m = earlier.match(out);
    if (m.hasMatch()) return out.replace(m.capturedStart(), m.capturedLength(), styled);
    const qsizetype at = out.indexOf(placeholder);
    if (at < 0) return out;
    return out.replace(at, placeholder.size(), styled);
}

frmMessageGreeting::frmMessageGreeting(AppContext& ctx, frmMessageEdit* editor, QWidget* parent)
    : QDialog(parent), m_ctx(ctx), m_store(ctx), m_editor(editor),
      m_messageName(editor ? editor->GetCurrentMessage() : QString()) {
    setObjectName(QStringLiteral("frmMessageGreeting"));
    setWindowTitle(QStringLiteral("Greeting Manager"));
    if (std::optional<MessageRecord> record = m_store.read(m_messageName)) {
        m_record = *record;
        m_model = GreetingModel(m_record.greeting);
        m_loaded = true;
    }
    m_template = m_model.controls().htmlGreeting;
    buildControls();
    showModel();
}

void frmMessageGreeting::buildControls() {
    auto check = [this](const char* name, const QString& text, void (GreetingModel::*set)(bool)) {
        auto* box = new QCheckBox(text, this);
        box->setObjectName(QLatin1String(name));
        connect(box, &QCheckBox::toggled, this, [this, set](bool on) {
            (m_model.*set)(on);
            showModel();
        });
        return box;
    };
    auto line = [this](const char* name, void (GreetingModel::*set)(const QString&)) {
        auto* edit = new QLineEdit(this);
        edit->setObjectName(QLatin1String(name));
        connect(edit, &QLineEdit::textEdited, this, [this, set](const QString& text) {
            (m_model.*set)(text);
            showModel();
        });
        return edit;
    };

    m_useGreetingManager = new QCheckBox(tr("Use Greeting Manager (Hidden)"), this);
    m_useGreetingManager->setObjectName(QStringLiteral("chkUseGreetingManager"));
    m_useGreetingManager->setEnabled(false);
    m_useGreetingManager->hide();

    m_personalAddress =
        check("chkPersonalAddress", tr("Personal Address"), &GreetingModel::setPersonalAddress);
    m_groupAddress = check("chkGroupAddress", tr("Group Address (faster)"), &GreetingModel::setGroupAddress);
    m_groupText = line("txtGroupAddress", &GreetingModel::setGroupAddressText);
    m_groupText->setPlaceholderText(tr("e.g. Weekly News Subscriber"));
    m_personalSalutation = new QRadioButton(tr("Personal Salutation"), this);
    m_personalSalutation->setObjectName(QStringLiteral("optPersonalSalutation"));
    m_noSalutation = new QRadioButton(tr("No Salutation (faster)"), this);
    m_noSalutation->setObjectName(QStringLiteral("optNoSalutation"));
    connect(m_personalSalutation, &QRadioButton::toggled, this, [this](bool on) {
        m_model.setPersonalSalutation(on);
        showModel();
    });
    m_prefix = line("txtPrefix", &GreetingModel::setPrefix);
    m_punctuation = line("txtPunctuation", &GreetingModel::setPunctuation);
    m_title = check("chkTitle", tr("Title"), &GreetingModel::setUseTitle);
    m_firstName = check("chkFirstName", tr("First Name"), &GreetingModel::setUseFName);
    m_lastName = check("chkLastName", tr("Last Name"), &GreetingModel::setUseLName);
    m_defaultName = line("txtDefaultName", &GreetingModel::setDefaultName);
    m_defaultName->setToolTip(tr("Used after the prefix when no name field is found, e.g. Dear Subscriber"));
    m_missingFName = check(
        "chkMissingFName",
        QStringLiteral(
            "If the First Name is not found, Sendora should use the Title (if present) and Last Name. "),
        &GreetingModel::setMissingFNameOption);
    m_missingLName =
        check("chkMissingLName",
              QStringLiteral("If the Last Name is not found,  Sendora should use just the First Name. "),
              &GreetingModel::setMissingLNameOption);

    // Group and personal settings.
    auto* settings = new QWidget(this);
    auto* to = new QGroupBox(tr("\"To:\" Field"), settings);
    auto* toLayout = new QVBoxLayout(to);
    toLayout->addWidget(m_personalAddress);
    toLayout->addWidget(m_groupAddress);
    toLayout->addWidget(m_groupText);
    auto* salutation = new QGroupBox(tr("Salutation"), settings);
    auto* salutationLayout = new QFormLayout(salutation);
    salutationLayout->addRow(m_personalSalutation);
    salutationLayout->addRow(m_noSalutation);
    salutationLayout->addRow(tr("Prefix:"), m_prefix);
    salutationLayout->addRow(tr("Punctuation:"), m_punctuation);
    auto* names = new QHBoxLayout;
    names->addWidget(m_title);
    names->addWidget(m_firstName);
    names->addWidget(m_lastName);
    salutationLayout->addRow(names);
    salutationLayout->addRow(tr("Default Name:"), m_defaultName);
    auto* settingsLayout = new QVBoxLayout(settings);
    settingsLayout->addWidget(to);
    settingsLayout->addWidget(salutation);
    settingsLayout->addWidget(m_useGreetingManager);

    auto* advanced = new QWidget(this);
    auto* advancedLayout = new QVBoxLayout(advanced);
    auto* note = new QLabel(
        QStringLiteral(
            "Advanced Settings are for Personalized Mail only, they have no affect on Group Mail Settings."),
        advanced);
    note->setWordWrap(true);
    advancedLayout->addWidget(note);
    advancedLayout->addWidget(m_missingFName);
    advancedLayout->addWidget(m_missingLName);
    advancedLayout->addStretch(1);

    auto* fonts = new QWidget(this);
    m_fontPart = new QComboBox(fonts);
    m_fontPart->setObjectName(QStringLiteral("cboFontPart"));
    m_fontPart->addItems({QStringLiteral("Prefix"), QStringLiteral("Salutation")});
    auto* fontButton = new QPushButton(tr("Font..."), fonts);
    fontButton->setObjectName(QStringLiteral("cmdFont"));
    connect(fontButton, &QPushButton::clicked, this, &frmMessageGreeting::chooseFont);
    m_view = createHtmlView(fonts);
    m_view->setObjectName(QStringLiteral("htmlGreeting"));
    auto* fontRow = new QHBoxLayout;
    fontRow->addWidget(m_fontPart, 1);
    fontRow->addWidget(fontButton);
    auto* fontNote = new QLabel(
        QStringLiteral("Font changes only affect how the greeting will be displayed in the HTML message."),
        fonts);
    fontNote->setWordWrap(true);
    auto* fontLayout = new QVBoxLayout(fonts);
    fontLayout->addLayout(fontRow);
    fontLayout->addWidget(m_view, 1);
    fontLayout->addWidget(fontNote);

    auto* tabs = new QTabWidget(this);
    tabs->setObjectName(QStringLiteral("tabGreeting"));
    tabs->addTab(settings, tr("Greeting Settings"));
    tabs->addTab(advanced, tr("Advanced Settings"));
    tabs->addTab(fonts, tr("Font"));

    auto* box = new QDialogButtonBox(this);
    QPushButton* ok = box->addButton(QDialogButtonBox::Ok);
    ok->setObjectName(QStringLiteral("cmdOK"));
    QPushButton* cancel = box->addButton(QDialogButtonBox::Cancel);
    cancel->setObjectName(QStringLiteral("cmdCancel"));
    connect(ok, &QPushButton::clicked, this, &frmMessageGreeting::pressOk);
    connect(cancel, &QPushButton::clicked, this, &frmMessageGreeting::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs, 1);
    layout->addWidget(box);
    m_view->showHtml(m_template);
    resize(460, 420);
}

// The controls follow the model, which applies the rules; the editor's display follows too.
void frmMessageGreeting::showModel() {
    const GreetingControls& c = m_model.controls();
    const QList<QObject*> all = {
        m_personalAddress, m_groupAddress, m_groupText,    m_personalSalutation, m_noSalutation,
        m_prefix,          m_punctuation,  m_title,        m_firstName,          m_lastName,
        m_defaultName,     m_missingFName, m_missingLName, m_useGreetingManager};
    std::vector<std::unique_ptr<QSignalBlocker>> blockers;
    for (QObject* o : all)
        blockers.push_back(std::make_unique<QSignalBlocker>(o));
    m_useGreetingManager->setChecked(c.useGreetingManager);
    m_personalAddress->setChecked(c.personalAddress);
    m_groupAddress->setChecked(!c.personalAddress);
    m_groupText->setEnabled(m_model.groupTextEnabled());
    m_personalSalutation->setChecked(c.personalSalutation);
    m_noSalutation->setChecked(!c.personalSalutation);
    m_prefix->setEnabled(m_model.prefixEnabled());
    m_punctuation->setEnabled(m_model.punctuationEnabled());
    m_title->setChecked(c.useTitle);
    m_firstName->setChecked(c.useFName);
    m_lastName->setChecked(c.useLName);
    m_missingFName->setChecked(c.missingFNameOption);
    m_missingLName->setChecked(c.missingLNameOption);
    for (auto [edit, text] :
         {std::pair{m_groupText, c.groupAddress}, std::pair{m_prefix, c.prefix},
          std::pair{m_punctuation, c.punctuation}, std::pair{m_defaultName, c.defaultName}})
        if (edit->text() != text) edit->setText(text);
    updateEditor();
}

void frmMessageGreeting::updateEditor() {
    if (!m_editor) return;
    if (m_model.greetingDisplayEnabled())
        m_editor->EnableGreetingMgrField();
    else
        m_editor->DisableGreetingMgrField();
}

void frmMessageGreeting::chooseFont() {
    const QString part = m_fontPart->currentText();
    const QFont initial = m_fonts.value(part, font());
    std::optional<QFont> chosen;
    if (fontChooser) {
        chosen = fontChooser(initial);
    } else {
        bool ok = false;
        const QFont f = QFontDialog::getFont(&ok, initial, this, tr("Font"));
        if (ok) chosen = f;
    }
    if (!chosen) return;
    m_fonts.insert(part, *chosen);
    m_template = restyleGreetingPart(m_template, part, *chosen);
    m_model.setHtmlGreeting(m_template);
    m_view->showHtml(m_template);
}

bool frmMessageGreeting::pressOk() {
    m_model.setHtmlGreeting(m_template);
    if (const Notice refusal = m_model.validate()) {
        refusal.show(*m_ctx.ui);
        return false;
    }
    if (m_loaded) {
        const GreetingColumns columns = m_model.toColumns(m_record.greeting);
        if (m_store.writeGreeting(m_messageName, columns))
            m_store.writeGreetingDisplay(m_messageName, toAddressDisplay(columns));
    }
    if (m_editor) m_editor->UpdateGreetingManagerState();
    accept();
    return true;
}

void frmMessageGreeting::reject() {
    // The editor's display shows the stored settings again.
    if (m_editor) m_editor->UpdateGreetingManagerState();
    QDialog::reject();
}

} // namespace sendora
