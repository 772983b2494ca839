#pragma once
// The composer without a browser engine: Qt's rich text as the design view. Used by the
// headless window tests and wherever the engine is not installed. Its design serialisation
// is Qt's own, so it is only used once the user edits in the design view.

#include "components/htmlcomposer/ComposerState.h"
#include "components/htmlcomposer/HtmlComposer.h"

class QPlainTextEdit;
class QStackedWidget;
class QTextEdit;

namespace sendora {

class ComposerToolBar;

class PlainHtmlComposer : public HtmlComposer {
    Q_OBJECT
public:
    explicit PlainHtmlComposer(QWidget* parent = nullptr);

    int viewMode() const override { return m_viewMode; }
    void setViewMode(int mode) override;
    int sourceIsCurrent() const override { return m_state.sourceIsCurrent(); }
    int sendType() const override { return m_sendType; }
    void setSendType(int code) override;

    QString documentHtml() const override;
    void setDocumentHtml(const QString& html) override;
    QString sourceHtml() const override { return m_state.source(); }
    QString plainText() const override { return m_plain.text(); }
    void setPlainText(const QString& text) override;

    void insertHtml(const QString& html) override;
    void insertText(const QString& text) override;

    void setInitToggle(bool on) override { m_initToggle = on; }
    bool isLoading() const override { return false; }
    bool flushDocument(int) override { return true; }

    void cut() override;
    void copy() override;
    void paste() override;
    void selectAll() override;
    void find(const QString& text, bool backwards = false) override;

    QTextEdit* designEditor() const { return m_design; }
    QPlainTextEdit* sourceEditor() const { return m_source; }
    QPlainTextEdit* textEditor() const { return m_text; }
    ComposerToolBar* toolBar() const { return m_toolBar; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* currentEditor() const;
    void applyFormat(int format);
    void applyLink(const QString& url);

    ComposerToolBar* m_toolBar;
    QStackedWidget* m_stack;
    QTextEdit* m_design;
    QPlainTextEdit* m_source;
    QPlainTextEdit* m_text;
    ComposerState m_state;
    PlainTextState m_plain;
    int m_viewMode = DesignView;
    int m_sendType = HtmlOnly;
    bool m_initToggle = false;
    bool m_filling = false; // programmatic text changes are not user edits
};

} // namespace sendora
