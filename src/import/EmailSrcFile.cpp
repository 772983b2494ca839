#include "import/EmailSrcFile.h"

#include "core/UserInterface.h"

namespace sendora {

void EmailSrcFileObj::SetDefaults() {
    searchMode = QStringLiteral("All");
    fromFlag = toFlag = ccFlag = bccFlag = textFlag = 0;
    userText.clear();
}

void EmailSrcFileObj::RememberOptions(const QString& mode, bool from, bool to, bool cc, bool bcc, bool text,
                                      const QString& theText) {
    SetDefaults();
    searchMode = mode;
    if (mode == u"Lines") {
        fromFlag = from;
        toFlag = to;
        ccFlag = cc;
        bccFlag = bcc;
        textFlag = text;
        userText = text ? theText : QString();
    } else if (mode == u"Msg") {
        textFlag = 1;
        userText = theText;
    }
}

EmailSrcFileObj* EmailSrcFileColl::Add(const QString& fileName, UserInterface* ui) {
    if (Item(fileName)) {
        if (ui)
            ui->message(QStringLiteral("You have already selected this file. Please select another."),
                        Buttons::OK, Icon::Information);
        return nullptr;
    }
    auto entry = std::make_shared<EmailSrcFileObj>();
    entry->fileName = fileName;
    m_items << entry;
    return entry.get();
}

EmailSrcFileObj* EmailSrcFileColl::Item(const QString& fileName) const {
    for (const auto& e : m_items)
        if (e->fileName == fileName) return e.get();
    return nullptr;
}

bool EmailSrcFileColl::Remove(const QString& fileName) {
    for (qsizetype i = 0; i < m_items.size(); ++i)
        if (m_items[i]->fileName == fileName) {
            m_items.removeAt(i);
            return true;
        }
    return false;
}

} // namespace sendora
