#pragma once
// Runs the parsers over a stream of lines and writes one tab-separated line per address found:
// address, first name, last name. sendora-cli's "extract" command is this.

#include "import/EmailParser.h"

#include <QByteArray>
#include <QString>
#include <QStringView>
#include <memory>

class QIODevice;
class QTextStream;

namespace sendora {

class AddressExtractor final : private ExtractionSink {
public:
    // An empty source type selects the plain parser; "Text", "Mailbox" or "Binary" select
    // EmailParser with that type and its best-guess names.
    explicit AddressExtractor(const QString& sourceFileType = {});
    ~AddressExtractor() override;

    // Reads raw bytes up to the end: lines end at LF (a CR before it is dropped), a lone CR stays in
    // its line, each line is read as UTF-8 or, when it is not valid UTF-8, as Latin-1. Output is UTF-8.
    void run(QIODevice& in, QIODevice& out, QTextStream& err);
    // The same over already decoded text.
    void run(QTextStream& in, QTextStream& out, QTextStream& err);

    // One line; output lines are appended to `out`.
    void processLine(QStringView line, QString& out, QTextStream& err);

    qint64 linesRead() const { return m_lines; }
    qint64 addressesFound() const { return m_found; }

    // TAB, CR, LF and NUL would break the one-line, tab-separated output; they are written as
    // \t, \r, \n and \0.
    static void appendEscaped(QString& out, QStringView text);

private:
    void storeAddress(const QString& address, const QString& firstName, const QString& lastName,
                      bool openList) override;
    void writeAddress(QStringView address, QStringView first, QStringView last);

    std::unique_ptr<EmailParser> m_parser; // null: plain parser
    QString* m_out = nullptr;
    qint64 m_lines = 0;
    qint64 m_found = 0;
};

} // namespace sendora
