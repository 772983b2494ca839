#pragma once
// The composer's own toolbar, shared by every engine: view and send-type choices, character
// formats, a link field, and the buttons the message window answers (image, signature,
// click code). It only reports what the user chose; the composer applies it.

#include <QToolBar>

class QComboBox;
class QLineEdit;

namespace sendora {

class ComposerToolBar : public QToolBar {
    Q_OBJECT
public:
    enum Format { Bold, Italic, Underline };

    explicit ComposerToolBar(QWidget* parent = nullptr);

    void showViewMode(int mode);
    void showSendType(int code);
    int chosenSendType() const;
    QString linkUrl() const; // the address typed into the link field, trimmed

    QComboBox* viewChoice() const { return m_view; }
    QComboBox* sendTypeChoice() const { return m_sendType; }

Q_SIGNALS:
    void viewChosen(int mode);
    void sendTypeChosen(int code);
    void formatRequested(int format);
    void linkRequested(const QString& url);
    void imageRequested();
    void signatureRequested();
    void clickCodeRequested();

private:
    QComboBox* m_view;
    QComboBox* m_sendType;
    QLineEdit* m_link;
};

} // namespace sendora
