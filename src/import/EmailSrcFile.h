#pragma once
// The files chosen for a scan and how each is searched.

#include <QList>
#include <QString>
#include <memory>

namespace sendora {

class UserInterface;

// One chosen file. The five flags are 1 when chosen, as the options dialog stores them.
struct EmailSrcFileObj {
    QString fileName;
    QString fileType = QStringLiteral("Text");  // "Mailbox", "Text", "Binary"
    QString searchMode = QStringLiteral("All"); // "All", "Lines", "Msg"
    int fromFlag = 0;
    int toFlag = 0;
    int ccFlag = 0;
    int bccFlag = 0;
    int textFlag = 0;
    QString userText;

    // Back to searching every address, as for a file just chosen.
    void SetDefaults();
    // The options dialog's OK: "All" clears the flags, "Msg" keeps only the user text.
    void RememberOptions(const QString& mode, bool from, bool to, bool cc, bool bcc, bool text,
                         const QString& theText);
};

// The chosen files in the order they were added, keyed by file name.
class EmailSrcFileColl {
public:
    // Null (after telling the user) when the file is already chosen.
    EmailSrcFileObj* Add(const QString& fileName, UserInterface* ui = nullptr);
    EmailSrcFileObj* Item(const QString& fileName) const;
    EmailSrcFileObj* Item(int index) const { return m_items.value(index).get(); }
    int count() const { return int(m_items.size()); }
    bool Remove(const QString& fileName);
    void EmptyCollection() { m_items.clear(); }
    const QList<std::shared_ptr<EmailSrcFileObj>>& NewEnum() const { return m_items; }

private:
    QList<std::shared_ptr<EmailSrcFileObj>> m_items;
};

} // namespace sendora
