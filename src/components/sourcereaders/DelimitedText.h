#pragma once
// Delimited text (comma, tab or semicolon separated, fields quoted as in RFC 4180), parsed
// from bytes fed in pieces of any size, so a file of any length is read in constant memory.
// Quotes are honoured only at the start of a field; a stray quote elsewhere is text, and a
// quoted field may span lines. Empty lines are skipped.

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <vector>

namespace sendora::sourcereaders {

using TextRecord = QList<QByteArray>;

class DelimitedTextParser {
public:
    explicit DelimitedTextParser(char delimiter = ',') : delimiter_(delimiter) {}

    // Parses bytes until a record is complete or the bytes run out; returns how many bytes
    // were taken. When a record is complete, recordReady() is true and its fields can be read
    // until the next call, without a copy of each field.
    qsizetype parse(const char* data, qsizetype size);
    // Ends the input: true when a last record without a line break is ready.
    bool endOfInput();
    bool recordReady() const { return ready_; }
    qsizetype fieldCount() const { return qsizetype(ends_.size()); }
    QByteArrayView field(qsizetype index) const {
        const qsizetype from = index > 0 ? ends_[size_t(index - 1)] : 0;
        return QByteArrayView(bytes_.data() + from, ends_[size_t(index)] - from);
    }
    // The bytes of all fields of the ready record together.
    qsizetype recordSize() const { return qsizetype(bytes_.size()); }
    TextRecord record() const;

    // The same records collected: each complete record is appended to out.
    void feed(const char* data, qsizetype size, QList<TextRecord>& out);
    // Ends the input: a last record without a line break is appended to out.
    void finish(QList<TextRecord>& out);
    // Lines read so far (line breaks inside quoted fields count too).
    qint64 line() const { return line_; }

    // A field longer than this keeps its first bytes only: a file without line breaks or
    // with an unclosed quote cannot take all memory.
    static constexpr qsizetype kMaxRecordBytes = 1 << 20;

private:
    enum class State { FieldStart, Unquoted, Quoted, QuoteInQuoted, AfterCr };
    void startRecord();
    void endField();
    void endRecord();
    void append(const char* data, qsizetype size);

    char delimiter_;
    State state_ = State::FieldStart;
    // The record so far: its fields' bytes one after another and where each field ends. Both
    // keep their capacity from record to record.
    std::vector<char> bytes_;
    std::vector<qsizetype> ends_;
    bool recordHasContent_ = false;
    bool ready_ = false;
    qint64 line_ = 0;
};

// The delimiter the first line uses most: ',', '\t' or ';' (',' when none appears).
char guessDelimiter(const QByteArray& head);

// Whether bytes are valid UTF-8 so far; feed pieces in order, then ask valid().
class Utf8Check {
public:
    void feed(const char* data, qsizetype size);
    bool valid() const { return valid_ && pending_ == 0; }
    bool failed() const { return !valid_; }

private:
    bool valid_ = true;
    int pending_ = 0;                  // continuation bytes still expected
    unsigned min_ = 0x80, max_ = 0xBF; // range of the next continuation byte
};

} // namespace sendora::sourcereaders
