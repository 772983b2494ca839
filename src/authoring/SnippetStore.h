#pragma once
// The signatures and the human-click button codes the editor inserts: small lists of
// (description, text) kept in one file each in the system folder, written atomically.

#include "authoring/Notice.h"

#include <QList>
#include <QString>
#include <optional>

namespace sendora {

struct AppContext;

struct Snippet {
    QString description;
    QString text; // a signature's line breaks are stored as "<br>"
    bool operator==(const Snippet&) const = default;
};

class SnippetStore {
public:
    enum class Kind { Signatures, ClickCodes };

    SnippetStore(AppContext& ctx, Kind kind);

    Kind kind() const { return m_kind; }
    QString filePath() const;

    // Every entry in the order added; an unreadable file gives none.
    QList<Snippet> list() const;
    QStringList descriptions() const;
    std::optional<Snippet> find(const QString& description) const;

    // The editors' checks and saves. A refusal comes back with its exact text and nothing
    // is written. replace() keeps originalDescription's place in the list.
    Notice add(const QString& description, const QString& text);
    Notice replace(const QString& originalDescription, const QString& description, const QString& text);
    bool remove(const QString& description);

    // Signature text with its line breaks as "<br>".
    static QString storedSignatureText(const QString& typed);

private:
    Notice validate(const QString& description, const QString& text, const QString& keep) const;
    bool save(const QList<Snippet>& entries) const;

    AppContext& m_ctx;
    Kind m_kind;
};

} // namespace sendora
