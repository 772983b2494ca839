#pragma once
// The temporary extraction list: every address a scan finds becomes a row of AddressList in a
// temp/NewMailingList<n>.mdb file. Rows go in through one prepared statement inside transactions
// of at most kRowsPerTransaction rows, committed at that size, on Commit and on Close, so a build
// that is interrupted keeps everything it stored. The inserts run on a writer thread of their own
// while the scan reads on: batches of rows are handed over through a short queue, and Commit and
// Close wait until the writer has stored everything handed to it.

#include "import/EmailParser.h"

#include <QString>
#include <atomic>
#include <memory>
#include <vector>

namespace jet {
class Database;
class Statement;
} // namespace jet

namespace sendora {

struct AppContext;

class ExtractionList final : public ExtractionSink {
public:
    static constexpr int kRowsPerTransaction = 20000;
    static constexpr int kMaxValueLength = 254;
    static constexpr qsizetype kRecentLimit = 65536;
    static constexpr size_t kBatchRows = 512;

    explicit ExtractionList(AppContext& ctx);
    ~ExtractionList() override;

    // Keyword1 and Keyword2 of every row, and the Date of the rows that follow.
    void setKeywords(const QString& keyword1, const QString& keyword2);
    void setDate(const QString& date);

    // `openList` (the first store of a build) starts a new file. A row the list refuses (the
    // same address again, an address of 255 characters or more) is skipped silently.
    void storeAddress(const QString& address, const QString& firstName, const QString& lastName,
                      bool openList) override;
    bool ignores(const QString& address) const override;
    void Commit();
    // "CLOSE" and "KILL": commits and lets the file go. A later store reopens it.
    void Close();

    QString path() const { return m_path; }
    bool isOpen() const { return m_writer != nullptr; }
    // Rows the list took (the writer may still be storing the last batch handed to it).
    qint64 rowsStored() const { return m_rows; }
    // A row that could not be written (not a refused duplicate): the list holds only what came before.
    // Seen as soon as the writer meets it, so the scan can stop reading.
    bool failed() const override;
    QString failureText() const { return m_failureText; }

    struct Row {
        QString address, firstName, lastName, keyword1, keyword2, date;
    };
    class Writer;

private:
    bool open(bool fresh);
    void handOver();
    void logFailure(const QString& description, int number);

    AppContext& m_ctx;
    std::unique_ptr<Writer> m_writer;
    std::vector<Row> m_batch;
    QString m_path;
    QString m_keyword1, m_keyword2, m_date;
    class Recent;
    std::unique_ptr<Recent> m_recent; // addresses offered lately, letter case folded as the key compares
    std::atomic<qint64> m_rows = 0;
    bool m_failed = false;
    QString m_failureText;
};

} // namespace sendora
