#pragma once
// The scan of one file for addresses, run from the event loop: each turn reads lines for a few
// milliseconds and then gives the loop back, so the window stays live and Interrupt is seen before
// the next line. A ".pmm" file is first converted into its "_Reformat" companion the same way.

#include "import/EmailSrcFile.h"
#include "import/FileObject.h"

#include <QElapsedTimer>
#include <QFile>
#include <QObject>
#include <QStringList>

namespace sendora {

class EmailParser;
class ExtractionList;
class UserInterface;

class EmailFileScan : public QObject {
    Q_OBJECT
public:
    static constexpr int kTurnMilliseconds = 20;

    // `stop` is the build's stop request, read before every line.
    EmailFileScan(EmailParser& parser, UserInterface* ui, const bool* stop, QObject* parent = nullptr);

    // Starts the scan of the entry's file; finished() reports the addresses found, after the open
    // failure message when the file cannot be read.
    void FileEmailAddressesToISAM2(const EmailSrcFileObj& entry);
    bool running() const { return m_state != State::Idle; }

    int count() const { return m_count; }
    qint64 linesRead() const { return m_file.LinesRead(); }
    qint64 bytesRead() const { return m_file.BytesRead(); }
    qint64 fileSize() const { return m_file.FileSize(); }
    QString scannedFile() const { return m_scanned; }

    // The file a ".pmm" file is converted into: the name without its last four characters and
    // "_Reformat".
    static QString reformatName(const QString& fileName);
    static bool needsReformat(const QString& fileName);

Q_SIGNALS:
    void started(const QString& fileName);
    void progress(qint64 bytes, qint64 size, qint64 lines);
    void finished(int count);

private:
    enum class State { Idle, Converting, Scanning };
    void turn();
    void schedule();
    bool convertSome(const QElapsedTimer& clock);
    bool startScanning();
    void scanLine(QByteArrayView raw);
    int single(const QString& line);
    int multiple(const QString& line);
    bool matchesKey(const QString& line) const;
    void finish();

    EmailParser& m_parser;
    UserInterface* m_ui;
    const bool* m_stop;
    State m_state = State::Idle;
    EmailSrcFileObj m_entry;
    QString m_scanned;
    FileObject m_file;
    QFile m_convertIn, m_convertOut;
    QByteArray m_convertBlock;
    bool m_wholeFile = true; // every address (or the mailbox "All" rule), no header keys
    QStringList m_keys;
    bool m_inRun = false;
    QString m_text; // the line being scanned, its buffer reused
    int m_count = 0;
};

} // namespace sendora
