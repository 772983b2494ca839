#pragma once
// One open file read line by line or segment by segment, with the counters the scan shows.
// Reading holds one segment plus the line being assembled, so any file size runs in constant
// memory; a line longer than kMaxLineBytes is handed out in pieces of that size.

#include <QByteArray>
#include <QByteArrayView>
#include <QFile>
#include <QString>
#include <QStringList>
#include <functional>

namespace sendora {

inline const QString kFileEof = QStringLiteral("##EOF##");

class FileObject {
public:
    static constexpr qint64 kDefaultSegmentSize = 524288;
    static constexpr qsizetype kMaxLineBytes = 8 << 20;

    FileObject() { Initialize(); }

    void Initialize();
    // Opens in Mode(): "input" and "binary" read, "output" truncates, "append" appends.
    bool OpenFile(const QString& fileName);
    void closefile();

    QString Filename() const { return m_name; }
    void setFilename(const QString& name) { m_name = name; }
    QString Mode() const { return m_mode; }
    void setMode(const QString& mode) { m_mode = mode.toLower(); }
    QString Access() const { return m_access; }
    void setAccess(const QString& access) { m_access = access.toLower(); }
    int RecordLength() const { return m_recordLength; }
    void setRecordLength(int length) { m_recordLength = length; }

    qint64 FileSize() const { return m_size; }
    qint64 BytesRead() const { return m_bytesRead; }
    qint64 BytesRemaining() const { return m_size - m_bytesRead; }
    qint64 LinesRead() const { return m_linesRead; }
    qint64 LinesWritten() const { return m_linesWritten; }
    bool EndOfFile() const { return m_atEnd && m_pos >= m_buffer.size(); }

    // The next line's bytes without its end: a line ends at CR (an LF right after it belongs to
    // it) or at a lone LF. False at the end or after a failed read. The view lives until the next
    // call.
    bool readLineBytes(QByteArrayView& line);
    // Passes over the lines without `c`, counting them as read, up to the start of the next line
    // that holds it. Most lines of mail hold no "@": they are counted in bulk instead of being
    // handed out one by one. Each call reads at most one more segment, so a long stretch without
    // `c` is passed over in several calls (Later).
    enum class Skip { Found, End, Later };
    Skip skipToLineWith(char c);
    // The next line as text (UTF-8, or Latin-1 when it is not UTF-8); "##EOF##" at the end.
    QString Readline();
    QString ReadLine_old() { return Readline(); }

    // Reads the next segment: a size below 1 keeps the current segment size, another becomes it.
    // `length` receives the bytes read; an empty read sets EndOfSegment.
    void ReadSegment(qint64& size, qint64& length);
    QByteArray segment() const { return m_segment; }
    bool EndOfSegment() const { return m_endOfSegment; }
    qint64 segmentSize() const { return m_segmentSize; }
    void setSegmentSize(qint64 size) { m_segmentSize = size > 0 ? size : kDefaultSegmentSize; }
    qint64 Segmentnumber() const { return m_segmentNumber; }
    qint64 NumberOfFullSegments() const { return m_segmentSize > 0 ? m_size / m_segmentSize : 0; }
    qint64 LastSegmentSize() const { return m_segmentSize > 0 ? m_size % m_segmentSize : 0; }

    bool WriteTextLine(const QString& text); // CR LF after it
    bool WriteStringArrayToFile(const QStringList& lines);
    static bool SaveStringToFile(const QString& fileName, const QByteArray& data);
    static QByteArray ReadFileIntoString(const QString& fileName, bool* ok = nullptr);
    static QStringList ReadFileToStringArray(const QString& fileName);

    // Line text as the scan reads it: ASCII and Latin-1 as they are, valid UTF-8 decoded.
    static QString decodeLine(QByteArrayView bytes);
    // The same into `text`, whose buffer is reused from line to line.
    static void decodeLine(QByteArrayView bytes, QString& text);

    // Events: asked on every tenth line, when a segment read starts and ends.
    std::function<void(qint64 lines)> linesReadEvent;
    std::function<void(qint64 segment, qint64 size)> StartingToReadSegment;
    std::function<void(qint64 segment, qint64 length)> FinishedReadingSegment;

private:
    bool fill();
    void skipLfAfterCr();
    // Counts the lines that end in [from, to) (the range ends with a line end) as read.
    void passLines(qsizetype from, qsizetype to);

    QFile m_file;
    QString m_name;
    QString m_mode = QStringLiteral("binary");
    QString m_access;
    int m_recordLength = 0;
    qint64 m_size = 0;
    qint64 m_bytesRead = 0;
    qint64 m_linesRead = 0;
    qint64 m_linesWritten = 0;
    qint64 m_segmentSize = kDefaultSegmentSize;
    qint64 m_segmentNumber = 0;
    bool m_endOfSegment = false;
    QByteArray m_segment;

    QByteArray m_buffer; // unread bytes of the line reader
    qsizetype m_pos = 0;
    // A known LF at or after m_pos, and how far none is known to be: CR-only files stay linear.
    qsizetype m_nextLf = -1;
    qsizetype m_noLfUntil = 0;
    qsizetype m_noCrUntil = 0;
    bool m_atEnd = true;
    bool m_skipLf = false; // the last line ended at a CR that was the buffer's last byte
};

// File-name helpers around one full name.
class FileNameObject {
public:
    QString FullFileName() const { return m_full; }
    void setFullFileName(const QString& name) { m_full = name; }
    QString FileDirectory() const;
    QString FileNameOnly() const;
    QString suffix() const;
    bool IsFile() const;
    // A name in the same folder that does not exist yet: "name(1).ext", "name(2).ext", ...
    QString GetUniqueFileName() const;
    // Copies the file to "<name>.bak"; true when the copy exists.
    bool CreateBackup() const;
    static QString ForwardSlashesOnly(QString name) { return name.replace(u'\\', u'/'); }
    static QString BackSlashesOnly(QString name) { return name.replace(u'/', u'\\'); }
    static QString AddQuotes(const QString& name) { return u'"' + name + u'"'; }

private:
    QString m_full;
};

} // namespace sendora
