#pragma once
// Colours for the HTML source view: tags, attributes, quoted values, entities and comments
// (a comment may span lines).

#include <QSyntaxHighlighter>
#include <QTextCharFormat>

namespace sendora {

class HtmlHighlighter : public QSyntaxHighlighter {
    Q_OBJECT
public:
    explicit HtmlHighlighter(QTextDocument* document);

protected:
    void highlightBlock(const QString& text) override;

private:
    QTextCharFormat m_tag, m_attribute, m_value, m_entity, m_comment;
};

} // namespace sendora
