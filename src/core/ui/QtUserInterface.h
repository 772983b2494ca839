#pragma once
// The user-interface seam on Qt widgets: message boxes, input box, file choosers and the
// check-list dialog, all modal to the given parent window.

#include "core/UserInterface.h"

class QWidget;

namespace sendora {

class QtUserInterface : public UserInterface {
public:
    explicit QtUserInterface(QWidget* parent = nullptr) : m_parent(parent) {}
    void setParent(QWidget* parent) { m_parent = parent; }

    Answer message(const QString& text, Buttons buttons, Icon icon, const QString& title) override;
    std::optional<QString> inputBox(const QString& prompt, const QString& title,
                                    const QString& defaultText) override;
    std::optional<QString> openFileName(const QString& title, const QString& dir,
                                        const QList<FileFilter>& filters) override;
    std::optional<QString> saveFileName(const QString& title, const QString& dir,
                                        const QList<FileFilter>& filters) override;
    QStringList checkList(const QString& caption, const QString& text, const QStringList& items) override;
    void setBusy(bool busy) override;

private:
    QWidget* m_parent;
};

} // namespace sendora
