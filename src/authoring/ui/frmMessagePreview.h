#pragma once
// frmMessagePreview: a stored message merged with one record of a list at a time, as the
// recipient would get it. Composing and reading back is MessagePreview's; the window
// shows the page and steps through the list.

#include "authoring/MessagePreview.h"

#include <QDialog>
#include <memory>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;

namespace sendora {

struct AppContext;
class HtmlView;

class frmMessagePreview : public QDialog {
    Q_OBJECT
public:
    // Prepares the preview and opens it (window-modal, deleted on close). A refusal is shown
    // through the user interface and nothing opens: the result is then nullptr.
    static frmMessagePreview* PreviewMessage(AppContext& ctx, const QString& messageName,
                                             const QString& listName, QWidget* parent = nullptr);

    // Shows the current record's merged message.
    bool PreviewCurrentAddress();
    void showNext();
    void showPrevious();

    MessagePreview& preview() { return *m_preview; }
    QTabWidget* tabs() const { return m_tabs; }
    QString counterText() const;
    QString toText() const;
    QString subjectText() const;
    QString plainText() const;
    HtmlView* htmlView() const { return m_html; }

private:
    frmMessagePreview(AppContext& ctx, std::unique_ptr<MessagePreview> preview, QWidget* parent);

    AppContext& m_ctx;
    std::unique_ptr<MessagePreview> m_preview;
    QLineEdit* m_to;
    QLineEdit* m_subject;
    QTabWidget* m_tabs;
    QPlainTextEdit* m_text;
    HtmlView* m_html;
    QLabel* m_counter;
    QPushButton* m_previous;
    QPushButton* m_next;
};

} // namespace sendora
