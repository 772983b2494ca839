#include "core/ui/SDInputBox.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace sendora {

SDInputBoxDialog::SDInputBoxDialog(const QString& title, const QString& prompt, const QString& defaultText,
                                   QWidget* parent)
    : QDialog(parent), m_input(new QLineEdit(defaultText, this)) {
    setObjectName(QStringLiteral("frmSDInputBox"));
    setWindowTitle(title);
    auto* label = new QLabel(prompt, this);
    label->setObjectName(QStringLiteral("lblPrompt"));
    label->setWordWrap(true);
    m_input->setObjectName(QStringLiteral("txtInput"));
    m_input->selectAll();
    auto* box = new QDialogButtonBox(this);
    auto* ok = box->addButton(QDialogButtonBox::Ok);
    ok->setObjectName(QStringLiteral("cmdOK"));
    auto* cancel = box->addButton(QDialogButtonBox::Cancel);
    cancel->setObjectName(QStringLiteral("cmdCancel"));
    connect(box, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(m_input);
    layout->addWidget(box);
    setMinimumWidth(360);
}

QString SDInputBoxDialog::text() const {
    return m_input->text();
}

} // namespace sendora
