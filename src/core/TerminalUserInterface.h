#pragma once
// The user-interface seam for sendora-cli: every message is printed to stderr as
// "[<icon>] <title>: <text>" and every question is answered by --yes or --no.

#include "core/UserInterface.h"

#include <QTextStream>

namespace sendora {

class TerminalUserInterface : public UserInterface {
public:
    TerminalUserInterface(QTextStream& err, bool answerYes) : m_err(err), m_yes(answerYes) {}

    Answer message(const QString& text, Buttons buttons, Icon icon, const QString& title) override;
    std::optional<QString> inputBox(const QString& prompt, const QString& title,
                                    const QString& defaultText) override;
    std::optional<QString> openFileName(const QString& title, const QString& dir,
                                        const QList<FileFilter>& filters) override;
    std::optional<QString> saveFileName(const QString& title, const QString& dir,
                                        const QList<FileFilter>& filters) override;
    QStringList checkList(const QString& caption, const QString& text, const QStringList& items) override;

    // The answer a question with these buttons gets from --yes / --no.
    static Answer automaticAnswer(Buttons buttons, bool yes);

private:
    void print(Icon icon, const QString& title, const QString& text);

    QTextStream& m_err;
    bool m_yes;
};

} // namespace sendora
