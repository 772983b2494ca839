#pragma once
// frmSendErrorNoAddr: explains a send that selected no address and lets the user change the
// delivery options' "Sent" flag on the spot. Opened by the direct-send screen.

#include <QDialog>
#include <optional>

class QLineEdit;

namespace sendora {

struct AppContext;

class frmSendErrorNoAddr : public QDialog {
    Q_OBJECT
public:
    frmSendErrorNoAddr(AppContext& ctx, const QString& deliveryOptions, QWidget* parent = nullptr);

    // After OK: the note of the change ("\tChanged 'Sent' text from ... to ...."), if any.
    std::optional<QString> note() const { return m_note; }

    static const QString kText;

private:
    AppContext& m_ctx;
    QString m_options;
    QLineEdit* m_flag;
    std::optional<QString> m_note;
};

} // namespace sendora
