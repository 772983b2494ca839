#pragma once
// What the mailbox and text scanning wizard works with: the chosen files, their search options,
// and the build that scans them one after another into the temporary extraction list.

#include "import/EmailParser.h"
#include "import/EmailSrcFile.h"
#include "import/ExtractionList.h"

#include <QObject>
#include <functional>
#include <memory>

namespace sendora {

struct AppContext;
class EmailFileScan;
class NameQuestion;

enum class NameExtraction { Disabled, BestGuess, Ask };

class AddrManager : public QObject {
    Q_OBJECT
public:
    explicit AddrManager(AppContext& ctx, QObject* parent = nullptr);
    ~AddrManager() override;

    // Build List: scans every chosen file from the event loop; buildFinished() follows. `ask`
    // asks about doubtful names ("Extract first and last names -- ask me when ambiguous.").
    void BuildList(bool ask);
    // Interrupt: the scan stops before its next line; what was stored stays.
    void Interrupt() { m_stop = true; }
    bool building() const { return m_building; }
    bool stopRequested() const { return m_stop; }
    // The last build could not write every address it found.
    bool storeFailed() const { return m_list.failed(); }

    // A chosen file with the type of the page's choice and search mode "All".
    EmailSrcFileObj* GetTypeAndOptions(const QString& fileName, const QString& fileType);
    // "Select file...": asks for a file and adds it; null when cancelled or already chosen.
    EmailSrcFileObj* SelectSourceFile(const QString& fileType);
    // The type choice an entry shows: "Mailbox" or "Text" (for "Text" and "Binary").
    static QString GetFileType(const EmailSrcFileObj& entry);
    // "Options": the search options dialog on the entry, through searchOptionsDialog.
    void ChangeSearchOptions(EmailSrcFileObj* entry);

    // Runs the wizard (through `wizard`) on a new, empty collection; the temporary list's path,
    // empty when it was cancelled or nothing was stored.
    QString NewListInitiate();

    EmailSrcFileColl& sources() { return m_sources; }
    EmailSrcFileObj* current() const { return m_current; }
    void setCurrent(EmailSrcFileObj* entry) { m_current = entry; }
    void setNameExtraction(NameExtraction mode) { m_names = mode; }
    NameExtraction nameExtraction() const { return m_names; }
    void setNameQuestion(NameQuestion* question) { m_parser.setNameQuestion(question); }

    // The list of the last build; empty when no row was stored.
    QString listPath() const;
    qint64 rowsStored() const { return m_list.rowsStored(); }
    int addressesFound() const { return m_found; }
    qint64 linesProcessed() const;

    // Windows plug in here.
    std::function<bool(AddrManager&)> wizard;                  // true on Finish
    std::function<void(EmailSrcFileObj*)> searchOptionsDialog; // the options dialog
    std::function<void(const QString&)> statusText;            // the main window's status panel

Q_SIGNALS:
    void buildStarted();
    // The four counter labels: file caption, "Unique Email Addresses Extracted", lines, rows.
    void fileStarted(const QString& fileCaption, const QString& uniqueCaption);
    void progress(qint64 lines, qint64 rows, qint64 bytes, qint64 size);
    void buildFinished(bool stopped);

private:
    void nextFile();
    void fileDone(int count);
    void finishBuild();

    AppContext& m_ctx;
    EmailSrcFileColl m_sources;
    EmailSrcFileObj* m_current = nullptr;
    ExtractionList m_list;
    EmailParser m_parser;
    std::unique_ptr<EmailFileScan> m_scan;
    NameExtraction m_names = NameExtraction::BestGuess;
    bool m_stop = false;
    bool m_building = false;
    int m_next = 0;
    int m_found = 0;
};

// The main window's mailbox import: the wizard, then the new list handed to `showList`, or a
// summary when it holds no rows.
void ImportMailbox(AppContext& ctx, AddrManager& manager,
                   const std::function<void(const QString&)>& showList);

} // namespace sendora
