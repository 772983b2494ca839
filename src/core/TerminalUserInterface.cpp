#include "core/TerminalUserInterface.h"

namespace sendora {

Answer TerminalUserInterface::automaticAnswer(Buttons buttons, bool yes) {
    switch (buttons) {
    case Buttons::OK:
        return Answer::OK;
    case Buttons::OKCancel:
        return yes ? Answer::OK : Answer::Cancel;
    case Buttons::YesNo:
    case Buttons::YesNoCancel:
        return yes ? Answer::Yes : Answer::No;
    case Buttons::RetryCancel:
        return yes ? Answer::Retry : Answer::Cancel;
    case Buttons::AbortRetryIgnore:
        return yes ? Answer::Retry : Answer::Abort;
    }
    return Answer::OK;
}

void TerminalUserInterface::print(Icon icon, const QString& title, const QString& text) {
    QString body = text;
    body.replace(QLatin1String("\r\n"), QLatin1String("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    m_err << '[' << iconName(icon) << "] " << title << ": " << body << '\n';
    m_err.flush();
}

Answer TerminalUserInterface::message(const QString& text, Buttons buttons, Icon icon, const QString& title) {
    print(icon, title, text);
    const Answer a = automaticAnswer(buttons, m_yes);
    if (buttons != Buttons::OK) {
        m_err << "  -> " << answerName(a) << '\n';
        m_err.flush();
    }
    return a;
}

std::optional<QString> TerminalUserInterface::inputBox(const QString& prompt, const QString& title,
                                                       const QString& defaultText) {
    print(Icon::Question, title, prompt);
    if (!m_yes || defaultText.isEmpty()) return std::nullopt;
    return defaultText;
}

std::optional<QString> TerminalUserInterface::openFileName(const QString& title, const QString&,
                                                           const QList<FileFilter>&) {
    print(Icon::Question, title, QStringLiteral("(no file chosen on the command line)"));
    return std::nullopt;
}

std::optional<QString> TerminalUserInterface::saveFileName(const QString& title, const QString&,
                                                           const QList<FileFilter>&) {
    print(Icon::Question, title, QStringLiteral("(no file chosen on the command line)"));
    return std::nullopt;
}

QStringList TerminalUserInterface::checkList(const QString& caption, const QString& text,
                                             const QStringList& items) {
    print(Icon::None, caption, text + QStringLiteral("\n  ") + items.join(QStringLiteral("\n  ")));
    return m_yes ? items : QStringList();
}

} // namespace sendora
