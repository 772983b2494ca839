#pragma once
// frmFindReplace ("Find and Replace"): finds a text in one column of the active list
// window and replaces a value in that column for all matching records of the list file.

#include <QDialog>
#include <memory>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;

namespace sendora {

class UserInterface;
class frmList;

// What the dialog needs of the list window it works on.
class FindReplaceTarget {
public:
    virtual ~FindReplaceTarget() = default;
    virtual QString listFile() const = 0;
    virtual void setFindColumn(const QString& column) = 0;
    // Each returns true when nothing was found.
    virtual bool findString(const QString& text) = 0;
    virtual bool findNextString(const QString& text) = 0;
    // The file changed under the window: show it again.
    virtual void refreshAfterReplace() = 0;
    // The window that gets the focus back when the dialog closes.
    virtual QWidget* window() const = 0;
};

class frmFindReplace : public QDialog {
    Q_OBJECT
public:
    frmFindReplace(UserInterface& ui, std::unique_ptr<FindReplaceTarget> target, QWidget* parent = nullptr);
    ~frmFindReplace() override;

    void find();
    void replaceAll();

protected:
    void done(int result) override;

private:
    void guardQuotes(QLineEdit* box, QString& lastGood);
    void resetFind();

    UserInterface& m_ui;
    std::unique_ptr<FindReplaceTarget> m_target;
    QComboBox* m_column;
    QLineEdit* m_search;
    QLineEdit* m_replace;
    QCheckBox* m_exact;
    QPushButton* m_find;
    QString m_lastSearch;
    QString m_lastReplace;
    bool m_found = false;
};

// Opens the dialog (modeless) on a list window, as the Find/Replace command does.
frmFindReplace* showFindReplace(UserInterface& ui, frmList& list);

} // namespace sendora
