// Delimited text files. The folder of the chosen file is the database and its .txt, .csv
// and .tab files are the tables, named with their extension. The encoding is decided once
// per file: a UTF-8 byte order mark or bytes that are all valid UTF-8 mean UTF-8, anything
// else is Windows-1252.

#include "CodePage.h"
#include "DelimitedText.h"
#include "Readers.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>

namespace sendora::sourcereaders {

namespace {

constexpr qint64 kChunk = 64 * 1024;

bool isTextFile(const QString& name) {
    const QString ext = QFileInfo(name).suffix().toLower();
    return ext == u"txt" || ext == u"csv" || ext == u"tab";
}

bool isAscii(QByteArrayView bytes) {
    unsigned char any = 0;
    for (const char c : bytes)
        any |= static_cast<unsigned char>(c);
    return any < 0x80;
}

// Reads a file's records a chunk at a time.
class TextStream {
public:
    bool open(const QString& path, const SourceOptions& options, QString& error) {
        file_.setFileName(path);
        if (!file_.open(QIODevice::ReadOnly)) {
            error = QStringLiteral("%1 cannot be read: %2")
                        .arg(QDir::toNativeSeparators(path), file_.errorString());
            return false;
        }
        const QByteArray head = file_.peek(kChunk);
        qint64 start = 0;
        bool utf8 = false;
        if (head.startsWith("\xEF\xBB\xBF")) {
            start = 3;
            utf8 = true;
        } else {
            Utf8Check check;
            while (!check.failed() && !file_.atEnd()) {
                const QByteArray piece = file_.read(kChunk);
                check.feed(piece.constData(), piece.size());
            }
            utf8 = check.valid();
        }
        file_.seek(start);
        decoder_ = std::make_unique<TextDecoder>(utf8 ? kCodePageUtf8 : 1252);
        const char delimiter =
            options.delimiter.isNull() ? guessDelimiter(head.mid(start)) : char(options.delimiter.unicode());
        parser_ = DelimitedTextParser(delimiter);
        return true;
    }

    bool next(QStringList& out) {
        if (!advance()) return false;
        out.clear();
        out.reserve(parser_.fieldCount());
        for (qsizetype i = 0; i < parser_.fieldCount(); ++i) {
            const QByteArrayView field = parser_.field(i);
            out.append(decoder_->decode(field.data(), field.size()));
        }
        return true;
    }

    // The next record's first row.size() fields as UTF-8 into row; the rest stay empty.
    bool nextUtf8(Utf8Row& row) {
        if (!advance()) return false;
        const qsizetype count = std::min(parser_.fieldCount(), qsizetype(row.size()));
        // Converted text takes at most three bytes per byte read, so the buffer never moves
        // while the views into it are made.
        converted_.clear();
        converted_.reserve(size_t(parser_.recordSize()) * 3);
        std::fill(row.begin(), row.end(), QByteArrayView());
        for (qsizetype i = 0; i < count; ++i) {
            const QByteArrayView field = parser_.field(i);
            if (isAscii(field)) {
                row[size_t(i)] = field;
                continue;
            }
            // The decoder would drop a leading byte order mark, and it replaces invalid bytes.
            if (decoder_->codePage() == kCodePageUtf8 && !field.startsWith("\xEF\xBB\xBF")) {
                Utf8Check check;
                check.feed(field.data(), field.size());
                if (check.valid()) { // already what the decoder would give back
                    row[size_t(i)] = field;
                    continue;
                }
            }
            const size_t from = converted_.size();
            if (decoder_->codePage() == 1252) {
                appendWindows1252AsUtf8(field.data(), field.size(), converted_);
            } else {
                const QByteArray text = decoder_->decode(field.data(), field.size()).toUtf8();
                converted_.insert(converted_.end(), text.begin(), text.end());
            }
            row[size_t(i)] = QByteArrayView(converted_.data() + from, qsizetype(converted_.size() - from));
        }
        return true;
    }

    QString errorText() const { return file_.error() == QFile::NoError ? QString() : file_.errorString(); }

private:
    // Parses up to the next complete record.
    bool advance() {
        for (;;) {
            if (at_ < filled_) {
                at_ += parser_.parse(chunk_.data() + at_, filled_ - at_);
                if (parser_.recordReady()) return true;
                continue;
            }
            if (done_) return false;
            if (chunk_.empty()) chunk_.resize(size_t(kChunk));
            filled_ = std::max<qint64>(file_.read(chunk_.data(), kChunk), 0);
            at_ = 0;
            if (filled_ == 0) {
                done_ = true;
                return parser_.endOfInput();
            }
        }
    }

    QFile file_;
    std::unique_ptr<TextDecoder> decoder_;
    DelimitedTextParser parser_;
    std::vector<char> chunk_;
    qint64 filled_ = 0;
    qint64 at_ = 0;
    bool done_ = false;
    std::vector<char> converted_;
};

QList<SourceField> fieldsFrom(const QStringList& first, bool named) {
    QList<SourceField> out;
    for (int i = 0; i < first.size(); ++i) {
        SourceField f;
        f.name = named ? first[i].trimmed() : QString();
        if (f.name.isEmpty()) f.name = QStringLiteral("F%1").arg(i + 1);
        out.append(f);
    }
    return out;
}

class TextCursor final : public RowCursor {
public:
    TextCursor(std::unique_ptr<TextStream> stream, QList<SourceField> fields, QStringList pending)
        : stream_(std::move(stream)), fields_(std::move(fields)), pending_(std::move(pending)),
          hasPending_(!pending_.isEmpty()) {}

    bool next(SourceRow& row) override {
        if (hasPending_) {
            hasPending_ = false;
            values_ = pending_;
        } else if (!stream_->next(values_)) {
            error_ = stream_->errorText();
            return false;
        }
        row.resize(fields_.size());
        for (int i = 0; i < fields_.size(); ++i)
            row[i] = i < values_.size() && !values_[i].isEmpty() ? QVariant(values_[i]) : QVariant();
        ++read_;
        return true;
    }
    bool offersUtf8() const override { return true; }
    bool nextUtf8(Utf8Row& row) override {
        row.resize(size_t(fields_.size()));
        if (hasPending_) {
            hasPending_ = false;
            std::fill(row.begin(), row.end(), QByteArrayView());
            pendingUtf8_.clear();
            for (const QString& value : pending_)
                pendingUtf8_.append(value.toUtf8());
            for (qsizetype i = 0; i < std::min(pendingUtf8_.size(), qsizetype(row.size())); ++i)
                row[size_t(i)] = pendingUtf8_[i];
        } else if (!stream_->nextUtf8(row)) {
            error_ = stream_->errorText();
            return false;
        }
        ++read_;
        return true;
    }
    QList<SourceField> fields() const override { return fields_; }
    QString errorText() const override { return error_; }
    qint64 position() const override { return read_; }

private:
    std::unique_ptr<TextStream> stream_;
    QList<SourceField> fields_;
    QStringList pending_;
    QByteArrayList pendingUtf8_;
    bool hasPending_;
    QStringList values_;
    qint64 read_ = 0;
    QString error_;
};

class TextReader final : public FolderReader {
public:
    QStringList tables() override {
        QStringList out;
        if (!isOpen()) return out;
        for (const QString& f : QDir(folder_).entryList(QDir::Files, QDir::Name | QDir::IgnoreCase)) {
            if (isTextFile(f)) out.append(f);
        }
        return out;
    }

    QList<SourceField> fields(const QString& table) override {
        auto cursor = rows(table);
        return cursor ? cursor->fields() : QList<SourceField>();
    }

    std::unique_ptr<RowCursor> rows(const QString& table) override {
        if (!checkOpen()) return nullptr;
        const QString path = QDir(folder_).filePath(table);
        if (table.contains(u'/') || !QFileInfo(path).isFile()) {
            error_ = QStringLiteral("The table %1 does not exist.").arg(table);
            return nullptr;
        }
        auto stream = std::make_unique<TextStream>();
        if (!stream->open(path, options_, error_)) return nullptr;
        QStringList first;
        if (!stream->next(first)) {
            error_ = QStringLiteral("%1 is empty.").arg(table);
            return nullptr;
        }
        QList<SourceField> fields = fieldsFrom(first, options_.firstRowHasNames);
        if (options_.firstRowHasNames) first.clear();
        return std::make_unique<TextCursor>(std::move(stream), std::move(fields), std::move(first));
    }

    SourceKind kind() const override { return SourceKind::Text; }

private:
    bool canRead(const QString& source, const QFileInfo&) override {
        QFile f(source);
        if (f.open(QIODevice::ReadOnly)) return true;
        error_ =
            QStringLiteral("%1 cannot be read: %2").arg(QDir::toNativeSeparators(source), f.errorString());
        return false;
    }
    // A text table is named with its extension.
    QString tableName(const QFileInfo& file) const override { return file.fileName(); }
};

} // namespace

std::unique_ptr<SourceReader> makeTextReader() {
    return std::make_unique<TextReader>();
}

} // namespace sendora::sourcereaders
