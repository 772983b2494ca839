#pragma once
// A user-interface seam for tests: records every message, input box and check list with
// its exact text, icon, buttons and title, and answers from queues the test fills.

#include "core/UserInterface.h"

#include <QList>
#include <QStringList>

namespace sendora::test {

struct Shown {
    QString kind; // "message", "input", "open", "save", "checklist"
    QString text;
    QString title;
    Buttons buttons = Buttons::OK;
    Icon icon = Icon::None;
    QStringList items;
};

class ScriptedUserInterface : public UserInterface {
public:
    // Answers for questions (any buttons other than OK), taken in order; when empty,
    // defaultAnswer is used.
    QList<Answer> answers;
    Answer defaultAnswer = Answer::Yes;
    QList<std::optional<QString>> inputs; // for inputBox; empty queue = cancel
    QList<std::optional<QString>> files;  // for the file choosers; empty queue = cancel
    QList<QStringList> checks;            // for checkList; empty queue = check everything
    QList<Shown> shown;

    Answer message(const QString& text, Buttons buttons, Icon icon, const QString& title) override;
    std::optional<QString> inputBox(const QString& prompt, const QString& title,
                                    const QString& defaultText) override;
    std::optional<QString> openFileName(const QString& title, const QString& dir,
                                        const QList<FileFilter>& filters) override;
    std::optional<QString> saveFileName(const QString& title, const QString& dir,
                                        const QList<FileFilter>& filters) override;
    QStringList checkList(const QString& caption, const QString& text, const QStringList& items) override;

    QStringList messageTexts() const;
    // One line per shown item: "<kind>|<icon>|<buttons>|<title>|<text>", for exact comparisons.
    QStringList transcript() const;
    void clear() { shown.clear(); }
};

// A message box as one transcript line.
inline QString msg(const QString& text, const QString& icon = QStringLiteral("information"),
                   const QString& buttons = QStringLiteral("OK"),
                   const QString& title = QStringLiteral("Sendora")) {
    return QStringLiteral("message|%1|%2|%3|%4").arg(icon, buttons, title, text);
}

} // namespace sendora::test
