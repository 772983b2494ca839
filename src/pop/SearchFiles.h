#pragma once
// Subject phrase categories: one file per category in "Search Files", named category + ".dat",
// in the quoted, comma-separated record form of a sequential-file write. The first record is
// the category's check state; each further record a phrase and its check state; a phrase
// record "BN_EOF" ends the list.

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace sendora {
struct AppContext;
}

namespace sendora::pop {

struct SubjectPhrase {
    QString text;
    bool selected = true;
};

struct PhraseCategory {
    QString name;
    bool selected = true;
    QList<SubjectPhrase> phrases;
};

// The file's bytes for a category, and back. Parsing stops at the end record; a file that
// ends without one, or that is not in the record form, gives nothing.
QByteArray categoryFileText(const PhraseCategory& category);
std::optional<PhraseCategory> parseCategoryFile(const QString& name, const QByteArray& data);

inline const QString kDefaultsCategory = QStringLiteral("Defaults");

class SearchFiles {
public:
    explicit SearchFiles(AppContext& ctx);
    explicit SearchFiles(AppContext& ctx, const QString& folder);

    QStringList categoryNames() const;
    std::optional<PhraseCategory> read(const QString& name) const;
    QList<PhraseCategory> readAll() const;
    bool write(const PhraseCategory& category) const;

    // The phrases to search for: checked phrases of checked categories, each once.
    static QStringList checkedPhrases(const QList<PhraseCategory>& categories);
    // Every phrase of the named categories, each once; `missing` receives names without a file.
    QStringList phrasesOf(const QStringList& categories, QStringList* missing = nullptr) const;

    // The wizard's buttons, questions included. Each returns true when something changed.
    // "New Category": asks the name; "This category already exists." for a taken one.
    bool newCategory();
    bool createCategory(const QString& name);
    // "New Phrase": asks the phrase and appends it, checked. No category: "Defaults".
    bool newPhrase(const QString& category);
    bool addPhrase(const QString& category, const QString& phrase);
    // Ask "Are you sure you want to delete the ..." first.
    bool removeCategory(const QString& name);
    bool removePhrase(const QString& category, const QString& phrase);

private:
    QString fileFor(const QString& name) const;
    AppContext& m_ctx;
    QString m_folder;
};

} // namespace sendora::pop
