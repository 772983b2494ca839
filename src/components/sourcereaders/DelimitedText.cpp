#include "DelimitedText.h"

#include <algorithm>
#include <cstring>

namespace sendora::sourcereaders {

void DelimitedTextParser::append(const char* data, qsizetype size) {
    size = std::min(size, kMaxRecordBytes - qsizetype(bytes_.size()));
    if (size > 0) bytes_.insert(bytes_.end(), data, data + size);
}

void DelimitedTextParser::startRecord() {
    bytes_.clear();
    ends_.clear();
    recordHasContent_ = false;
    ready_ = false;
}

void DelimitedTextParser::endField() {
    ends_.push_back(qsizetype(bytes_.size()));
    state_ = State::FieldStart;
}

void DelimitedTextParser::endRecord() {
    endField();
    ++line_;
    if (recordHasContent_ || ends_.size() > 1)
        ready_ = true;
    else
        startRecord(); // an empty line
}

qsizetype DelimitedTextParser::parse(const char* data, qsizetype size) {
    if (ready_) startRecord();
    qsizetype i = 0;
    while (i < size) {
        const char c = data[i];
        if (state_ == State::AfterCr) {
            state_ = State::FieldStart;
            if (c == '\n') { // the LF of a CR LF pair
                ++i;
                continue;
            }
        }
        switch (state_) {
        case State::Quoted: {
            // Everything up to the next quote is the field's text.
            const auto* quote = static_cast<const char*>(std::memchr(data + i, '"', size_t(size - i)));
            const qsizetype end = quote ? quote - data : size;
            line_ += std::count(data + i, data + end, '\n');
            append(data + i, end - i);
            i = end;
            if (quote) {
                state_ = State::QuoteInQuoted;
                ++i;
            }
            break;
        }
        case State::FieldStart:
            if (c == '"') {
                state_ = State::Quoted;
                recordHasContent_ = true;
                ++i;
                break;
            }
            [[fallthrough]];
        case State::Unquoted:
        case State::QuoteInQuoted:
            if (c == delimiter_) {
                endField();
                ++i;
            } else if (c == '\n' || c == '\r') {
                ++i;
                endRecord();
                if (c == '\r') state_ = State::AfterCr;
                if (ready_) return i;
            } else if (state_ == State::QuoteInQuoted) {
                // A doubled quote inside quotes; other text after a closing quote is kept
                // rather than lost.
                append(&c, 1);
                if (c == '"')
                    state_ = State::Quoted;
                else
                    recordHasContent_ = true;
                ++i;
            } else {
                // Plain text up to the next delimiter or line break, quotes included.
                qsizetype end = i + 1;
                while (end < size && data[end] != delimiter_ && data[end] != '\n' && data[end] != '\r')
                    ++end;
                append(data + i, end - i);
                recordHasContent_ = true;
                state_ = State::Unquoted;
                i = end;
            }
            break;
        case State::AfterCr:
            break;
        }
    }
    return i;
}

bool DelimitedTextParser::endOfInput() {
    if (ready_) startRecord();
    if (state_ == State::AfterCr) {
        state_ = State::FieldStart;
        return false;
    }
    if (recordHasContent_ || !ends_.empty()) endRecord();
    state_ = State::FieldStart;
    return ready_;
}

TextRecord DelimitedTextParser::record() const {
    TextRecord out;
    out.reserve(fieldCount());
    for (qsizetype i = 0; i < fieldCount(); ++i)
        out.append(field(i).toByteArray());
    return out;
}

void DelimitedTextParser::feed(const char* data, qsizetype size, QList<TextRecord>& out) {
    for (qsizetype at = 0; at < size;) {
        at += parse(data + at, size - at);
        if (ready_) out.append(record());
    }
}

void DelimitedTextParser::finish(QList<TextRecord>& out) {
    if (endOfInput()) out.append(record());
}

char guessDelimiter(const QByteArray& head) {
    qsizetype end = head.indexOf('\n');
    if (end < 0) end = head.size();
    int comma = 0, tab = 0, semicolon = 0;
    bool quoted = false;
    for (qsizetype i = 0; i < end; ++i) {
        const char c = head[i];
        if (c == '"')
            quoted = !quoted;
        else if (!quoted)
            comma += c == ',', tab += c == '\t', semicolon += c == ';';
    }
    if (tab > comma && tab >= semicolon) return '\t';
    if (semicolon > comma && semicolon > tab) return ';';
    return ',';
}

void Utf8Check::feed(const char* data, qsizetype size) {
    for (qsizetype i = 0; i < size && valid_;) {
        if (pending_ == 0) {
            // Plain ASCII, the common case, eight bytes at a time.
            quint64 word = 0;
            while (i + 8 <= size && (std::memcpy(&word, data + i, 8), (word & 0x8080808080808080ULL) == 0))
                i += 8;
            if (i == size) break;
        }
        const auto c = static_cast<unsigned char>(data[i++]);
        if (pending_ > 0) {
            if (c < min_ || c > max_) {
                valid_ = false;
                break;
            }
            --pending_;
            min_ = 0x80, max_ = 0xBF;
            continue;
        }
        if (c < 0x80) continue;
        if (c >= 0xC2 && c <= 0xDF) {
            pending_ = 1;
        } else if (c >= 0xE0 && c <= 0xEF) {
            pending_ = 2;
            if (c == 0xE0) min_ = 0xA0; // no overlong forms
            if (c == 0xED) max_ = 0x9F; // no surrogates
        } else if (c >= 0xF0 && c <= 0xF4) {
            pending_ = 3;
            if (c == 0xF0) min_ = 0x90;
            if (c == 0xF4) max_ = 0x8F;
        } else {
            valid_ = false;
        }
    }
}

} // namespace sendora::sourcereaders
