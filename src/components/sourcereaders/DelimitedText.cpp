#include "DelimitedText.h"

namespace sendora::sourcereaders {

void DelimitedTextParser::append(char c) {
    if (recordBytes_ >= kMaxRecordBytes) return;
    field_.append(c);
    ++recordBytes_;
}

void DelimitedTextParser::endField() {
    record_.append(field_);
    field_.clear();
    state_ = State::FieldStart;
}

void DelimitedTextParser::endRecord(QList<TextRecord>& out) {
    endField();
    ++line_;
    if (recordHasContent_ || record_.size() > 1) out.append(std::move(record_));
    record_ = TextRecord();
    recordBytes_ = 0;
    recordHasContent_ = false;
}

void DelimitedTextParser::feed(const char* data, qsizetype size, QList<TextRecord>& out) {
    for (qsizetype i = 0; i < size; ++i) {
        const char c = data[i];
        if (state_ == State::AfterCr) {
            state_ = State::FieldStart;
            if (c == '\n') continue; // the LF of a CR LF pair
        }
        switch (state_) {
        case State::FieldStart:
            if (c == '"') {
                state_ = State::Quoted;
                recordHasContent_ = true;
                break;
            }
            [[fallthrough]];
        case State::Unquoted:
        case State::QuoteInQuoted:
            if (c == delimiter_) {
                endField();
            } else if (c == '\n' || c == '\r') {
                endRecord(out);
                if (c == '\r') state_ = State::AfterCr;
            } else if (state_ == State::QuoteInQuoted && c == '"') {
                append('"'); // a doubled quote inside quotes
                state_ = State::Quoted;
            } else {
                // Text after a closing quote is kept rather than lost.
                append(c);
                recordHasContent_ = true;
                if (state_ == State::FieldStart) state_ = State::Unquoted;
            }
            break;
        case State::Quoted:
            if (c == '"')
                state_ = State::QuoteInQuoted;
            else {
                if (c == '\n') ++line_;
                append(c);
            }
            break;
        case State::AfterCr:
            break;
        }
    }
}

void DelimitedTextParser::finish(QList<TextRecord>& out) {
    if (state_ == State::AfterCr) {
        state_ = State::FieldStart;
        return;
    }
    if (recordHasContent_ || !record_.isEmpty()) endRecord(out);
    state_ = State::FieldStart;
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
    for (qsizetype i = 0; i < size && valid_; ++i) {
        const auto c = static_cast<unsigned char>(data[i]);
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
