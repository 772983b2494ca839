#include "support/ScriptedUserInterface.h"

namespace sendora::test {

Answer ScriptedUserInterface::message(const QString& text, Buttons buttons, Icon icon, const QString& title) {
    shown.append({QStringLiteral("message"), text, title, buttons, icon, {}});
    if (buttons == Buttons::OK) return Answer::OK;
    return answers.isEmpty() ? defaultAnswer : answers.takeFirst();
}

std::optional<QString> ScriptedUserInterface::inputBox(const QString& prompt, const QString& title,
                                                       const QString& defaultText) {
    shown.append({QStringLiteral("input"), prompt, title, Buttons::OKCancel, Icon::None, {defaultText}});
    return inputs.isEmpty() ? std::nullopt : inputs.takeFirst();
}

std::optional<QString> ScriptedUserInterface::openFileName(const QString& title, const QString& dir,
                                                           const QList<FileFilter>&) {
    shown.append({QStringLiteral("open"), dir, title, Buttons::OKCancel, Icon::None, {}});
    return files.isEmpty() ? std::nullopt : files.takeFirst();
}

std::optional<QString> ScriptedUserInterface::saveFileName(const QString& title, const QString& dir,
                                                           const QList<FileFilter>&) {
    shown.append({QStringLiteral("save"), dir, title, Buttons::OKCancel, Icon::None, {}});
    return files.isEmpty() ? std::nullopt : files.takeFirst();
}

QStringList ScriptedUserInterface::checkList(const QString& caption, const QString& text,
                                             const QStringList& items) {
    shown.append({QStringLiteral("checklist"), text, caption, Buttons::OK, Icon::None, items});
    return checks.isEmpty() ? items : checks.takeFirst();
}

QStringList ScriptedUserInterface::messageTexts() const {
    QStringList texts;
    for (const Shown& s : shown)
        if (s.kind == QLatin1String("message")) texts << s.text;
    return texts;
}

QStringList ScriptedUserInterface::transcript() const {
    QStringList lines;
    for (const Shown& s : shown)
        lines << QStringLiteral("%1|%2|%3|%4|%5")
                     .arg(s.kind, iconName(s.icon), buttonsName(s.buttons), s.title, s.text);
    return lines;
}

} // namespace sendora::test
