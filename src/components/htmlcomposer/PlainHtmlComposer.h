#pragma once
// The composer without a browser engine: Qt's rich text as the design view. Used by the
// headless window tests and wherever the engine is not installed. Its design serialisation
// is Qt's own, so it is only used once the user edits in the design view.

#include "components/htmlcomposer/StackedComposer.h"

class QTextEdit;

namespace sendora {

class PlainHtmlComposer : public StackedComposer {
    Q_OBJECT
public:
    explicit PlainHtmlComposer(QWidget* parent = nullptr);

    void setViewMode(int mode) override;

    QString documentHtml() const override;
    void setDocumentHtml(const QString& html) override;

    void insertHtml(const QString& html) override;

    bool isLoading() const override { return false; }
    bool flushDocument(int) override { return true; }

    QTextEdit* designEditor() const { return m_design; }

private:
    void designCommand(EditCommand command) override;
    void designFind(const QString& text, bool backwards) override;
    void applyFormat(int format) override;
    void applyLink(const QString& url) override;

    QTextEdit* m_design;
};

} // namespace sendora
