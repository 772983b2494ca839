#include "components/htmlcomposer/HtmlHighlighter.h"

#include <QRegularExpression>

namespace sendora {

namespace {
enum State { Plain = 0, InComment = 1 };
}

HtmlHighlighter::HtmlHighlighter(QTextDocument* document) : QSyntaxHighlighter(document) {
    m_tag.setForeground(QColor(0x80, 0x00, 0x80));
    m_attribute.setForeground(QColor(0xa0, 0x50, 0x00));
    m_value.setForeground(QColor(0x00, 0x00, 0xc0));
    m_entity.setForeground(QColor(0x00, 0x80, 0x80));
    m_comment.setForeground(QColor(0x60, 0x80, 0x60));
    m_comment.setFontItalic(true);
}

void HtmlHighlighter::highlightBlock(const QString& text) {
    static const QRegularExpression tag(QStringLiteral("</?[A-Za-z!][^\\s>/]*|/?>"));
    static const QRegularExpression attribute(QStringLiteral("\\s([A-Za-z_:][-A-Za-z0-9_:.]*)(?=\\s*=)"));
    static const QRegularExpression value(QStringLiteral("=\\s*(\"[^\"]*\"|'[^']*')"));
    static const QRegularExpression entity(QStringLiteral("&[#A-Za-z0-9]+;"));

    for (auto it = tag.globalMatch(text); it.hasNext();) {
        const auto m = it.next();
        setFormat(int(m.capturedStart()), int(m.capturedLength()), m_tag);
    }
    for (auto it = attribute.globalMatch(text); it.hasNext();) {
        const auto m = it.next();
        setFormat(int(m.capturedStart(1)), int(m.capturedLength(1)), m_attribute);
    }
    for (auto it = value.globalMatch(text); it.hasNext();) {
        const auto m = it.next();
        setFormat(int(m.capturedStart(1)), int(m.capturedLength(1)), m_value);
    }
    for (auto it = entity.globalMatch(text); it.hasNext();) {
        const auto m = it.next();
        setFormat(int(m.capturedStart()), int(m.capturedLength()), m_entity);
    }

    // Comments last, over everything else.
    setCurrentBlockState(Plain);
    qsizetype start = previousBlockState() == InComment ? 0 : text.indexOf(QLatin1String("<!--"));
    while (start >= 0) {
        const qsizetype end = text.indexOf(QLatin1String("-->"), start);
        if (end < 0) {
            setFormat(int(start), int(text.size() - start), m_comment);
            setCurrentBlockState(InComment);
            return;
        }
        setFormat(int(start), int(end + 3 - start), m_comment);
        start = text.indexOf(QLatin1String("<!--"), end + 3);
    }
}

} // namespace sendora
