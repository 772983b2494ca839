#pragma once
// A text log in the application folder that readers take in blocks: a start block, one
// line per step, an end block. Lines end with CRLF. A file over 3,000,000 bytes is moved
// aside as <name>.1 (replacing an older one) and a new file started.

#include <QDateTime>
#include <QFile>
#include <QString>
#include <QStringList>
#include <functional>

namespace sendora {

struct AppContext;

class BlockLog {
public:
    enum class Mode {
        // Size tested before every line, every line flushed, only the first failed write
        // reported: a session's trace is on disk even when the program dies mid-way.
        EachLine,
        // The owner flushes and calls restartWhenFull itself (so one run's lines are never
        // split between files); every failed write is reported.
        Buffered,
    };

    // callerText names the procedure in Errors.log; what is the unit that is appended to a
    // file that could not be moved aside ("session", "run", ...).
    BlockLog(AppContext& ctx, QString fileName, QString callerText, QString what, Mode mode);
    ~BlockLog();

    void open();
    // Moves a file over the limit aside and reopens; a file that could not be moved aside is
    // reported and appended to.
    void restartWhenFull();
    void write(const QString& line);
    void write(const QStringList& lines);
    void flush() { m_file.flush(); }
    // False after a write that did not reach the file.
    bool healthy() const { return m_healthy; }

    static QString starLine() { return QString(59, u'*'); }
    // The text without the line ends it came with; the log adds its own.
    static QString withoutLineEnd(const QString& text);
    // Three star lines, the title, two star lines, the date and time, two star lines.
    static QStringList opening(const QString& title, const QDateTime& t);
    // Two star lines, the product version, three star lines.
    QStringList versionClosing() const;
    static QStringList closing() { return {starLine(), starLine(), starLine()}; }

private:
    QString path() const;
    void reportWriteFailure();

    AppContext& m_ctx;
    const QString m_fileName;
    const QString m_callerText;
    const QString m_what;
    const Mode m_mode;
    QFile m_file;
    bool m_healthy = true;
};

// A log written a session at a time, in EachLine mode: LogSend writes the start block first
// when asked, then the line, then the end block. The owner supplies the blocks.
class SessionLog {
public:
    SessionLog(AppContext& ctx, QString fileName, QString callerText, QString what);
    virtual ~SessionLog();

    void LogSend(const QString& line, bool withStartBlock = false, bool withEndBlock = false);

    std::function<QDateTime()> now = [] { return QDateTime::currentDateTime(); };
    // False after a write that did not reach the file (also logged to Errors.log).
    bool healthy() const { return m_log.healthy(); }

    virtual QStringList startBlock() const = 0;
    virtual QStringList endBlock() const = 0;

protected:
    BlockLog m_log;
};

} // namespace sendora
