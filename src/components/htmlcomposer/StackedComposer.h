#pragma once
// What both composers share: the toolbar over a stack of the design view, the plain-text view
// and the HTML source view, the source/plain-text state and the send type. A subclass brings
// the design view and the edit commands on it.

#include "components/htmlcomposer/ComposerState.h"
#include "components/htmlcomposer/HtmlComposer.h"

class QPlainTextEdit;
class QStackedWidget;

namespace sendora {

class ComposerToolBar;

class StackedComposer : public HtmlComposer {
    Q_OBJECT
public:
    int viewMode() const override { return m_viewMode; }
    int sourceIsCurrent() const override { return m_state.sourceIsCurrent(); }
    int sendType() const override { return m_sendType; }
    void setSendType(int code) override;

    QString sourceHtml() const override { return m_state.source(); }
    QString plainText() const override { return m_plain.text(); }
    void setPlainText(const QString& text) override;
    void insertText(const QString& text) override;
    void setInitToggle(bool on) override { m_initToggle = on; }

    void cut() override;
    void copy() override;
    void paste() override;
    void selectAll() override;
    void find(const QString& text, bool backwards = false) override;

    QPlainTextEdit* sourceEditor() const { return m_source; }
    QPlainTextEdit* textEditor() const { return m_text; }
    ComposerToolBar* toolBar() const { return m_toolBar; }

protected:
    enum EditCommand { Cut, Copy, Paste, SelectAll };

    explicit StackedComposer(QWidget* parent);
    // Builds the text and source views after `design` and wires the views and the toolbar.
    void assemble(QWidget* design);
    // Shows `mode`'s view once its text is in place.
    void showView(int mode);

    virtual void designCommand(EditCommand command) = 0;
    virtual void designFind(const QString& text, bool backwards) = 0;
    virtual void applyFormat(int format) = 0;
    virtual void applyLink(const QString& url) = 0;

    bool eventFilter(QObject* watched, QEvent* event) override;

    ComposerToolBar* m_toolBar;
    QStackedWidget* m_stack;
    QPlainTextEdit* m_source = nullptr;
    QPlainTextEdit* m_text = nullptr;
    ComposerState m_state;
    PlainTextState m_plain;
    int m_viewMode = DesignView;
    int m_sendType = HtmlOnly;
    bool m_initToggle = false;
    bool m_filling = false; // programmatic text changes are not user edits

private:
    QPlainTextEdit* textView() const; // the source or plain-text view when it shows
    void command(EditCommand command);
};

} // namespace sendora
