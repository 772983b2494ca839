#pragma once
// The address parser used by mailbox and text scanning: the plain parser's rules plus a source-file
// type, a store for every address found, and questions about doubtful names.

#include "import/AddressScanner.h"

#include <QString>
#include <QStringList>
#include <QStringView>

namespace sendora {

class NameQuestion;
class UserInterface;

// Where found addresses go: the temporary extraction list while scanning, standard output in
// sendora-cli.
class ExtractionSink {
public:
    virtual ~ExtractionSink() = default;
    // The names arrive with "not_found" already turned into an empty first name. `openList` is true
    // for the first store of a build.
    virtual void storeAddress(const QString& address, const QString& firstName, const QString& lastName,
                              bool openList) = 0;
    // A row could not be written: the rows stored so far stay, and reading on would be wasted.
    virtual bool failed() const { return false; }
    // The address would be dropped whatever its names (the list already holds it), so storing it
    // may be left out. Asked only between stores of a build.
    virtual bool ignores(const QString& /*address*/) const { return false; }
};

class EmailParser {
public:
    explicit EmailParser(UserInterface* ui = nullptr, NameQuestion* question = nullptr,
                         ExtractionSink* sink = nullptr);

    void setAskIfAmbigous(bool ask) { m_ask = ask; }
    bool AskIfAmbigous() const { return m_ask; }

    // Like FindNextAddress; a found address is stored and `status` set to 1 when that store was the
    // first of the build (callers pass 0). Returns whether an address was found.
    bool parseEmailAddress(QStringView line, qsizetype& position, int& status, QString& address);

    void setSourceFileType(const QString& type) { // "Mailbox", "Text", "Binary"
        m_sourceFileType = type;
        m_mailbox = type == u"Mailbox";
        m_text = type == u"Text";
    }
    QString SourceFileType() const { return m_sourceFileType; }

    // The names of the last address; the first name may still be "not_found".
    QString FirstName() const { return m_firstName; }
    QString LastName() const { return m_lastName; }

    // The name rules for the address at `start`..`end` (from 1) of `line`, asking when doubtful.
    void ParseFirstLastName(QStringView line, qsizetype start, qsizetype end, bool angle,
                            QStringView userName, QStringView address);
    void SetFLName(const QString& firstName, const QString& lastName);

    // A line with commas: cut into pieces, each parsed once with names. `pieces` and `count` receive
    // the pieces; returns the number of addresses stored.
    int getMultipleAddress(QStringView line, QStringList& pieces, int& count);
    // The same without handing out the pieces.
    int multipleAddresses(QStringView line);

    // Every address a scanned line gives for the source-file type when a file is searched whole:
    // "Text" and "Binary" every address (the line cut behind each one), "Mailbox" the first address
    // of a line without commas or every piece of one with commas. Returns the number stored.
    int extractFromLine(QStringView line);

    // Wiring and build state of the scanning wizard.
    void setUserInterface(UserInterface* ui) { m_ui = ui; }
    void setNameQuestion(NameQuestion* question) { m_question = question; }
    void setSink(ExtractionSink* sink) { m_sink = sink; }
    void setNameChecking(bool on) { m_nameChecking = on; } // off: "Disable name checking -- Slightly faster"
    void beginBuild() { m_openOnStore = true; }
    int addressCount() const { return m_count; }
    bool sinkFailed() const { return m_sink && m_sink->failed(); }

    QString scanStartTime; // set per file by the scan
    const QString mailboxSeparator = QStringLiteral("From ");

private:
    ScanRules rules() const;
    bool parseWith(AddressScanner& scanner, qsizetype& position, int& status, QString& address, bool names);
    void settle(const NameResult& r);
    void store(const QString& address, int& status);
    bool parsePiece(QStringView piece);

    UserInterface* m_ui;
    NameQuestion* m_question;
    ExtractionSink* m_sink;
    bool m_ask = true;
    bool m_nameChecking = true;
    bool m_openOnStore = true;
    int m_count = 0;
    QString m_sourceFileType = QStringLiteral("Text");
    bool m_mailbox = false; // the type, compared once rather than on every line
    bool m_text = true;
    QString m_firstName = kNameNotFound;
    QString m_lastName;
};

} // namespace sendora
