#include "pop/SearchFiles.h"

#include "core/AppContext.h"
#include "core/ErrorLog.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

namespace sendora::pop {

namespace {

const QString kEnd = QStringLiteral("BN_EOF");

QByteArray boolField(bool b) {
    return b ? QByteArrayLiteral("#TRUE#") : QByteArrayLiteral("#FALSE#");
}

// A quoted field cannot hold a double quote, and a record is one line.
QString storable(QString text) {
    text.remove(u'"');
    text.remove(u'\r');
    text.remove(u'\n');
    return text;
}

// The fields of the file in order, as a sequential-file read sees them: quoted texts,
// #TRUE#/#FALSE#, or bare values, separated by commas or line ends.
QStringList fieldsOf(const QByteArray& data, QList<bool>* quoted) {
    QStringList fields;
    const QString text = QString::fromUtf8(data);
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n) {
        while (i < n && (text[i] == u' ' || text[i] == u'\t'))
            ++i;
        if (i >= n) break;
        if (text[i] == u'\r' || text[i] == u'\n' || text[i] == u',') {
            ++i;
            continue;
        }
        if (text[i] == u'"') {
            const qsizetype close = text.indexOf(u'"', i + 1);
            const qsizetype end = close < 0 ? n : close;
            fields << text.mid(i + 1, end - i - 1);
            quoted->append(true);
            i = end + 1;
        } else {
            qsizetype end = i;
            while (end < n && text[end] != u',' && text[end] != u'\r' && text[end] != u'\n')
                ++end;
            fields << text.mid(i, end - i).trimmed();
            quoted->append(false);
            i = end;
        }
    }
    return fields;
}

std::optional<bool> boolOf(const QString& field) {
    const QString f = field.toUpper();
    if (f == u"#TRUE#" || f == u"TRUE" || f == u"-1") return true;
    if (f == u"#FALSE#" || f == u"FALSE" || f == u"0") return false;
    return std::nullopt;
}

bool validName(const QString& name) {
    static const QString forbidden = QStringLiteral("/\\:*?\"<>|");
    if (name.trimmed().isEmpty() || name.startsWith(u'.')) return false;
    for (QChar c : name)
        if (forbidden.contains(c) || c.unicode() < 32) return false;
    return true;
}

} // namespace

QByteArray categoryFileText(const PhraseCategory& c) {
    QByteArray out = boolField(c.selected) + "\r\n";
    for (const SubjectPhrase& p : c.phrases) {
        const QString text = storable(p.text);
        // The end record's text would end the list early when read back.
        if (text.isEmpty() || text == kEnd) continue;
        out += '"' + text.toUtf8() + "\"," + boolField(p.selected) + "\r\n";
    }
    out += '"' + kEnd.toUtf8() + "\"," + boolField(false) + "\r\n";
    return out;
}

std::optional<PhraseCategory> parseCategoryFile(const QString& name, const QByteArray& data) {
    QList<bool> quoted;
    const QStringList f = fieldsOf(data, &quoted);
    if (f.isEmpty()) return std::nullopt;
    const auto selected = boolOf(f[0]);
    if (!selected) return std::nullopt;
    PhraseCategory c;
    c.name = name;
    c.selected = *selected;
    for (qsizetype i = 1; i < f.size(); i += 2) {
        if (f[i] == kEnd) return c;
        if (i + 1 >= f.size()) break;
        const auto state = boolOf(f[i + 1]);
        if (!state) return std::nullopt;
        c.phrases.append({f[i], *state});
    }
    return std::nullopt;
}

SearchFiles::SearchFiles(AppContext& ctx) : SearchFiles(ctx, ctx.paths.searchFiles) {}

SearchFiles::SearchFiles(AppContext& ctx, const QString& folder) : m_ctx(ctx), m_folder(folder) {
    if (!m_folder.endsWith(u'/')) m_folder += u'/';
}

QString SearchFiles::fileFor(const QString& name) const {
    return m_folder + name + QStringLiteral(".dat");
}

QStringList SearchFiles::categoryNames() const {
    QStringList names;
    for (const QString& f :
         QDir(m_folder).entryList({QStringLiteral("*.dat")}, QDir::Files, QDir::Name | QDir::IgnoreCase))
        names << f.chopped(4);
    return names;
}

std::optional<PhraseCategory> SearchFiles::read(const QString& name) const {
    if (!validName(name)) return std::nullopt;
    QFile f(fileFor(name));
    if (!f.open(QIODevice::ReadOnly)) return std::nullopt;
    return parseCategoryFile(name, f.readAll());
}

QList<PhraseCategory> SearchFiles::readAll() const {
    QList<PhraseCategory> all;
    for (const QString& n : categoryNames()) {
        auto c = read(n);
        if (c)
            all << *c;
        else
            LogError(m_ctx, QStringLiteral("LoadCategories in frmPOPWizard"),
                     {62, QStringLiteral("'%1' is not a phrase file; it was left out.").arg(fileFor(n))},
                     false);
    }
    return all;
}

bool SearchFiles::write(const PhraseCategory& c) const {
    if (!validName(c.name)) return false;
    QDir().mkpath(m_folder);
    QSaveFile f(fileFor(c.name));
    if (!f.open(QIODevice::WriteOnly)) return false;
    const QByteArray data = categoryFileText(c);
    return f.write(data) == data.size() && f.commit();
}

QStringList SearchFiles::checkedPhrases(const QList<PhraseCategory>& categories) {
    QStringList out;
    for (const PhraseCategory& c : categories) {
        if (!c.selected) continue;
        for (const SubjectPhrase& p : c.phrases)
            if (p.selected && !p.text.isEmpty() && !out.contains(p.text, Qt::CaseInsensitive)) out << p.text;
    }
    return out;
}

QStringList SearchFiles::phrasesOf(const QStringList& categories, QStringList* missing) const {
    QStringList out;
    for (const QString& name : categories) {
        const auto c = read(name);
        if (!c) {
            if (missing) *missing << name;
            continue;
        }
        for (const SubjectPhrase& p : c->phrases)
            if (!p.text.isEmpty() && !out.contains(p.text, Qt::CaseInsensitive)) out << p.text;
    }
    return out;
}

bool SearchFiles::createCategory(const QString& name) {
    if (QFile::exists(fileFor(name)) || categoryNames().contains(name, Qt::CaseInsensitive)) {
        m_ctx.ui->message(QStringLiteral("This category already exists."), Buttons::OK, Icon::Information);
        return false;
    }
    PhraseCategory c;
    c.name = name;
    return write(c);
}

bool SearchFiles::newCategory() {
    const auto name = m_ctx.ui->inputBox(QStringLiteral("Create a New Subject Category:"),
                                         QStringLiteral("New Subject Category"));
    if (!name || !validName(name->trimmed())) return false;
    return createCategory(name->trimmed());
}

bool SearchFiles::addPhrase(const QString& category, const QString& phrase) {
    const QString text = storable(phrase).trimmed();
    if (text.isEmpty() || text == kEnd) return false;
    const QString name = category.isEmpty() ? kDefaultsCategory : category;
    std::optional<PhraseCategory> c = read(name);
    if (!c) {
        // Only the default category comes into being by having a phrase added.
        if (name != kDefaultsCategory || QFile::exists(fileFor(name))) return false;
        c = PhraseCategory{name, true, {}};
    }
    for (const SubjectPhrase& p : c->phrases)
        if (p.text.compare(text, Qt::CaseInsensitive) == 0) return false;
    c->phrases.append({text, true});
    return write(*c);
}

bool SearchFiles::newPhrase(const QString& category) {
    const auto phrase = m_ctx.ui->inputBox(QStringLiteral("Please Enter the New Subject Phrase:"),
                                           QStringLiteral("New Subject Phrase"));
    return phrase && addPhrase(category, *phrase);
}

bool SearchFiles::removeCategory(const QString& name) {
    if (m_ctx.ui->message(QStringLiteral("Are you sure you want to delete the category: \"") + name + u'"',
                          Buttons::YesNo, Icon::Question) != Answer::Yes)
        return false;
    if (!validName(name) || !QFile::exists(fileFor(name))) {
        m_ctx.ui->message(QStringLiteral("Cannot find the category to delete."), Buttons::OK,
                          Icon::Information);
        return false;
    }
    return QFile::remove(fileFor(name));
}

bool SearchFiles::removePhrase(const QString& category, const QString& phrase) {
    if (m_ctx.ui->message(QStringLiteral("Are you sure you want to delete the phrase: \"") + phrase + u'"',
                          Buttons::YesNo, Icon::Question) != Answer::Yes)
        return false;
    auto c = read(category);
    if (!c) return false;
    const auto before = c->phrases.size();
    c->phrases.removeIf([&](const SubjectPhrase& p) { return p.text == phrase; });
    return c->phrases.size() != before && write(*c);
}

} // namespace sendora::pop
