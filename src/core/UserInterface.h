#pragma once
// Every message box, question, input box, file chooser and check-list dialog goes
// through this interface: a Qt implementation for the windows, a terminal one for
// sendora-cli and a scripted one for tests.

#include <QString>
#include <QStringList>
#include <optional>

namespace sendora {

enum class Icon { None, Information, Exclamation, Critical, Question };
enum class Buttons { OK, OKCancel, YesNo, YesNoCancel, RetryCancel, AbortRetryIgnore };
enum class Answer { OK, Cancel, Yes, No, Retry, Abort, Ignore };

// Application title used when a message names no title of its own.
inline const QString kAppTitle = QStringLiteral("Sendora");

QString iconName(Icon icon);    // "information", "exclamation", ...
QString buttonsName(Buttons b); // "OK", "YesNo", ...
QString answerName(Answer a);   // "OK", "Yes", ...

struct FileFilter {
    QString description; // "Access Databases (*.mdb)"
    QString patterns;    // "*.mdb"
};

class UserInterface {
public:
    virtual ~UserInterface() = default;

    virtual Answer message(const QString& text, Buttons buttons = Buttons::OK, Icon icon = Icon::None,
                           const QString& title = kAppTitle) = 0;

    // Returns nothing when the user cancels.
    virtual std::optional<QString> inputBox(const QString& prompt, const QString& title,
                                            const QString& defaultText = {}) = 0;

    virtual std::optional<QString> openFileName(const QString& title, const QString& dir,
                                                const QList<FileFilter>& filters) = 0;
    virtual std::optional<QString> saveFileName(const QString& title, const QString& dir,
                                                const QList<FileFilter>& filters) = 0;

    // A modal list of check boxes with Select All and Close; returns the checked entries.
    virtual QStringList checkList(const QString& caption, const QString& text, const QStringList& items) = 0;

    // Busy pointer around long steps; inert where there is no pointer.
    virtual void setBusy(bool) {}
};

} // namespace sendora
