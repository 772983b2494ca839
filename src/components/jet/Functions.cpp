// Jet's LIKE and the Jet functions the application uses in criteria, as SQLite functions.

#include "components/jet/JetInternal.h"

#include <algorithm>
#include <sqlite3.h>

namespace jet::detail {
namespace {

QString textArg(sqlite3_value* v) {
    const auto* p = reinterpret_cast<const char16_t*>(sqlite3_value_text16(v));
    return p ? QString::fromUtf16(p, sqlite3_value_bytes16(v) / 2) : QString();
}

// A text value whose bytes are all ASCII, where characters and bytes coincide: the string
// functions then work on the bytes SQLite holds instead of converting every row to UTF-16.
bool asciiText(sqlite3_value* v, const char** text, qint64* size) {
    if (sqlite3_value_type(v) != SQLITE_TEXT) return false;
    *text = reinterpret_cast<const char*>(sqlite3_value_text(v));
    *size = sqlite3_value_bytes(v);
    if (!*text) return false;
    for (qint64 i = 0; i < *size; ++i)
        if (static_cast<unsigned char>((*text)[i]) >= 0x80) return false;
    return true;
}

char asciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

void resultText(sqlite3_context* ctx, const QString& s) {
    sqlite3_result_text16(ctx, s.utf16(), int(s.size() * 2), SQLITE_TRANSIENT);
}

bool anyNull(int argc, sqlite3_value** argv) {
    for (int i = 0; i < argc; ++i)
        if (sqlite3_value_type(argv[i]) == SQLITE_NULL) return true;
    return false;
}

inline char32_t fold(char32_t c) {
    if (c < 128) return (c >= 'A' && c <= 'Z') ? c + 32 : c;
    return QChar::toCaseFolded(c);
}

// One pattern element against one character; returns the element's length, 0 on mismatch.
int matchOne(const char32_t* p, const char32_t* pe, char32_t sc) {
    const char32_t pc = *p;
    if (pc == U'?') return 1;
    if (pc == U'#') return QChar::isDigit(sc) ? 1 : 0;
    if (pc == U'[') {
        const char32_t* q = p + 1;
        bool negate = false;
        if (q < pe && *q == U'!') {
            negate = true;
            ++q;
        }
        const char32_t* close = q;
        while (close < pe && *close != U']')
            ++close;
        if (close == pe) // an unclosed [ stands for itself
            return sc == U'[' ? 1 : 0;
        bool in = false;
        const char32_t c = fold(sc);
        for (const char32_t* m = q; m < close; ++m) {
            if (m + 2 < close && m[1] == U'-') {
                if (c >= fold(m[0]) && c <= fold(m[2])) in = true;
                m += 2;
            } else if (fold(*m) == c) {
                in = true;
            }
        }
        return in != negate ? int(close - p + 1) : 0;
    }
    return fold(pc) == fold(sc) ? 1 : 0;
}

// Jet pattern matching: * any run, ? one character, # one digit, [abc] [a-z] [!abc] classes;
// every other character (including % and _) stands for itself; letter case is ignored.
// Backtracks only to the last *, so any pattern runs in O(pattern x text).
bool matchPattern(const char32_t* p, const char32_t* pe, const char32_t* s, const char32_t* se) {
    const char32_t* starP = nullptr;
    const char32_t* starS = nullptr;
    while (s < se) {
        if (p < pe && *p == U'*') {
            starP = ++p;
            starS = s;
            continue;
        }
        if (p < pe) {
            if (const int n = matchOne(p, pe, *s)) {
                p += n;
                ++s;
                continue;
            }
        }
        if (!starP) return false;
        p = starP;
        s = ++starS;
    }
    while (p < pe && *p == U'*')
        ++p;
    return p == pe;
}

void likeFunc(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    // SQLite calls like(pattern, text) for "text LIKE pattern"
    if (anyNull(argc, argv)) {
        sqlite3_result_null(ctx);
        return;
    }
    sqlite3_result_int(ctx, jetLike(textArg(argv[0]), textArg(argv[1])) ? 1 : 0);
}

void midFunc(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (anyNull(argc, argv)) {
        sqlite3_result_null(ctx);
        return;
    }
    const qint64 start = sqlite3_value_int64(argv[1]);
    if (start < 1) {
        sqlite3_result_error(ctx, "Invalid procedure call: Mid start must be 1 or more", -1);
        return;
    }
    if (argc > 2 && sqlite3_value_int64(argv[2]) < 0) {
        sqlite3_result_error(ctx, "Invalid procedure call: Mid length is negative", -1);
        return;
    }
    const char* bytes = nullptr;
    qint64 size = 0;
    if (asciiText(argv[0], &bytes, &size)) {
        const qint64 len = argc > 2 ? sqlite3_value_int64(argv[2]) : size;
        const qint64 from = std::min(start - 1, size);
        sqlite3_result_text(ctx, bytes + from, int(std::min(len, size - from)), SQLITE_TRANSIENT);
        return;
    }
    const QString s = textArg(argv[0]);
    const qint64 len = argc > 2 ? sqlite3_value_int64(argv[2]) : s.size();
    resultText(ctx, start > s.size() ? QString() : s.mid(start - 1, qMin<qint64>(len, s.size())));
}

void instrFunc(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    // InStr([start,] text, sought): 1-based position, 0 when absent, letter case ignored
    if (anyNull(argc, argv)) {
        sqlite3_result_null(ctx);
        return;
    }
    int i = 0;
    qint64 start = 1;
    if (argc == 3) {
        start = sqlite3_value_int64(argv[0]);
        i = 1;
        if (start < 1) {
            sqlite3_result_error(ctx, "Invalid procedure call: InStr start must be 1 or more", -1);
            return;
        }
    }
    const char* textBytes = nullptr;
    const char* soughtBytes = nullptr;
    qint64 textSize = 0, soughtSize = 0;
    if (asciiText(argv[i], &textBytes, &textSize) && asciiText(argv[i + 1], &soughtBytes, &soughtSize)) {
        qint64 found = 0;
        for (qint64 at = start - 1; !found && at + soughtSize <= textSize; ++at) {
            qint64 k = 0;
            while (k < soughtSize && asciiLower(textBytes[at + k]) == asciiLower(soughtBytes[k]))
                ++k;
            if (k == soughtSize) found = at + 1;
        }
        sqlite3_result_int64(ctx, found);
        return;
    }
    const QString text = textArg(argv[i]);
    const QString sought = textArg(argv[i + 1]);
    if (start > text.size() + 1) {
        sqlite3_result_int(ctx, 0);
        return;
    }
    sqlite3_result_int64(ctx, text.indexOf(sought, start - 1, Qt::CaseInsensitive) + 1);
}

void isNullFunc(sqlite3_context* ctx, int, sqlite3_value** argv) {
    sqlite3_result_int(ctx, sqlite3_value_type(argv[0]) == SQLITE_NULL ? True : False);
}

void lenFunc(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL)
        sqlite3_result_null(ctx);
    else
        sqlite3_result_int64(ctx, textArg(argv[0]).size());
}

template <int Side> void sideFunc(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (anyNull(argc, argv)) {
        sqlite3_result_null(ctx);
        return;
    }
    const qint64 n = sqlite3_value_int64(argv[1]);
    if (n < 0) {
        sqlite3_result_error(ctx, "Invalid procedure call: negative length", -1);
        return;
    }
    const QString s = textArg(argv[0]);
    resultText(ctx, Side == 0 ? s.left(n) : s.right(n));
}

template <int Mode> void caseFunc(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    const QString s = textArg(argv[0]);
    switch (Mode) {
    case 0:
        resultText(ctx, s.toLower());
        break;
    case 1:
        resultText(ctx, s.toUpper());
        break;
    default: {
        // Jet's Trim family removes blanks only
        int b = 0, e = int(s.size());
        if (Mode != 3)
            while (b < e && s[b] == QLatin1Char(' '))
                ++b;
        if (Mode != 2)
            while (e > b && s[e - 1] == QLatin1Char(' '))
                --e;
        resultText(ctx, s.mid(b, e - b));
    }
    }
}

void nowFunc(sqlite3_context* ctx, int, sqlite3_value**) {
    resultText(ctx, isoDateTime(QDateTime::currentDateTime()));
}

void dateFunc(sqlite3_context* ctx, int, sqlite3_value**) {
    resultText(ctx, isoDateTime(QDateTime(QDate::currentDate(), QTime(0, 0))));
}

void timeFunc(sqlite3_context* ctx, int, sqlite3_value**) {
    resultText(ctx, isoDateTime(QDateTime(QDate(1899, 12, 30), QTime::currentTime())));
}

void nzFunc(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) != SQLITE_NULL)
        sqlite3_result_value(ctx, argv[0]);
    else if (argc > 1)
        sqlite3_result_value(ctx, argv[1]);
    else
        sqlite3_result_int(ctx, 0);
}

void cstrFunc(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL)
        sqlite3_result_null(ctx);
    else
        resultText(ctx, textArg(argv[0]));
}

void valFunc(sqlite3_context* ctx, int, sqlite3_value** argv) {
    // Val reads the leading number and ignores the rest
    const QString s = textArg(argv[0]).trimmed();
    int end = 0;
    while (end < s.size() && (s[end].isDigit() || s[end] == QLatin1Char('.') ||
                              (end == 0 && (s[end] == QLatin1Char('-') || s[end] == QLatin1Char('+')))))
        ++end;
    sqlite3_result_double(ctx, s.left(end).toDouble());
}

template <int Part> void datePartFunc(sqlite3_context* ctx, int, sqlite3_value** argv) {
    const auto dt = parseJetDate(textArg(argv[0]));
    if (!dt) {
        sqlite3_result_null(ctx);
        return;
    }
    const int v = Part == 0 ? dt->date().year() : Part == 1 ? dt->date().month() : dt->date().day();
    sqlite3_result_int(ctx, v);
}

struct FunctionDef {
    const char* name;
    int args;
    void (*fn)(sqlite3_context*, int, sqlite3_value**);
    bool deterministic;
};

} // namespace

bool jetLike(const QString& pattern, const QString& text) {
    const QList<uint> p = pattern.toUcs4();
    const QList<uint> s = text.toUcs4();
    static_assert(sizeof(uint) == sizeof(char32_t));
    const auto* pp = reinterpret_cast<const char32_t*>(p.constData());
    const auto* sp = reinterpret_cast<const char32_t*>(s.constData());
    return matchPattern(pp, pp + p.size(), sp, sp + s.size());
}

void registerFunctions(sqlite3* db) {
    static const FunctionDef defs[] = {
        {"like", 2, likeFunc, true},
        {"mid", 2, midFunc, true},
        {"mid", 3, midFunc, true},
        {"instr", 2, instrFunc, true},
        {"instr", 3, instrFunc, true},
        {"jet_isnull", 1, isNullFunc, true},
        {"len", 1, lenFunc, true},
        {"jet_left", 2, sideFunc<0>, true},
        {"jet_right", 2, sideFunc<1>, true},
        {"lcase", 1, caseFunc<0>, true},
        {"ucase", 1, caseFunc<1>, true},
        {"trim", 1, caseFunc<4>, true},
        {"ltrim", 1, caseFunc<2>, true},
        {"rtrim", 1, caseFunc<3>, true},
        {"now", 0, nowFunc, false},
        {"jet_date", 0, dateFunc, false},
        {"jet_time", 0, timeFunc, false},
        {"nz", 1, nzFunc, true},
        {"nz", 2, nzFunc, true},
        {"cstr", 1, cstrFunc, true},
        {"val", 1, valFunc, true},
        {"year", 1, datePartFunc<0>, true},
        {"month", 1, datePartFunc<1>, true},
        {"day", 1, datePartFunc<2>, true},
    };
    for (const FunctionDef& d : defs) {
        const int flags = SQLITE_UTF8 | (d.deterministic ? SQLITE_DETERMINISTIC : 0);
        sqlite3_create_function_v2(db, d.name, d.args, flags, nullptr, d.fn, nullptr, nullptr, nullptr);
    }
}

} // namespace jet::detail
