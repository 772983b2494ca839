#include "authoring/SnippetStore.h"

#include "core/AppContext.h"
#include "core/ErrorLog.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

namespace sendora {

namespace {

// Larger than any list of signatures a person keeps; a bigger file is not ours.
constexpr qint64 kMaxFileSize = 16 * 1024 * 1024;

} // namespace

SnippetStore::SnippetStore(AppContext& ctx, Kind kind) : m_ctx(ctx), m_kind(kind) {}

QString SnippetStore::filePath() const {
    return m_ctx.paths.system + (m_kind == Kind::Signatures ? QStringLiteral("Signatures.json")
                                                            : QStringLiteral("ClickCodes.json"));
}

QList<Snippet> SnippetStore::list() const {
    QList<Snippet> entries;
    QFile f(filePath());
    if (!f.open(QIODevice::ReadOnly) || f.size() > kMaxFileSize) return entries;
    const QJsonArray array = QJsonDocument::fromJson(f.readAll()).array();
    for (const QJsonValue& v : array) {
        const QJsonObject o = v.toObject();
        const QString description = o.value(QLatin1String("description")).toString();
        if (!description.isEmpty()) entries.append({description, o.value(QLatin1String("text")).toString()});
    }
    return entries;
}

QStringList SnippetStore::descriptions() const {
    QStringList names;
    for (const Snippet& s : list())
        names << s.description;
    return names;
}

std::optional<Snippet> SnippetStore::find(const QString& description) const {
    for (const Snippet& s : list())
        if (s.description == description) return s;
    return std::nullopt;
}

QString SnippetStore::storedSignatureText(const QString& typed) {
    QString text = typed;
    text.replace(QLatin1String("\r\n"), QLatin1String("<br>"));
    text.replace(QLatin1Char('\n'), QLatin1String("<br>"));
    text.replace(QLatin1Char('\r'), QLatin1String("<br>"));
    return text;
}

Notice SnippetStore::validate(const QString& description, const QString& text, const QString& keep) const {
    const bool signatures = m_kind == Kind::Signatures;
    if (description.trimmed().isEmpty())
        return information(QStringLiteral("Please enter a valid description."));
    if (text.trimmed().isEmpty())
        return information(signatures ? QStringLiteral("Please enter a valid Signature.")
                                      : QStringLiteral("Please enter a valid button code entry."));
    if (description != keep && find(description))
        return information((signatures
                                ? QStringLiteral("A Signature with the description of %1 already exists.")
                                : QStringLiteral("A profile with the description of %1 already exists."))
                               .arg(description));
    return {};
}

Notice SnippetStore::add(const QString& description, const QString& text) {
    if (Notice n = validate(description, text, QString())) return n;
    QList<Snippet> entries = list();
    entries.append({description, m_kind == Kind::Signatures ? storedSignatureText(text) : text});
    if (!save(entries))
        return {QStringLiteral("The file '%1' could not be written.").arg(filePath()), Icon::Exclamation,
                kAppTitle};
    return {};
}

Notice SnippetStore::replace(const QString& originalDescription, const QString& description,
                             const QString& text) {
    if (Notice n = validate(description, text, originalDescription)) return n;
    QList<Snippet> entries = list();
    const Snippet entry{description, m_kind == Kind::Signatures ? storedSignatureText(text) : text};
    bool replaced = false;
    for (Snippet& s : entries) {
        if (s.description == originalDescription) {
            s = entry;
            replaced = true;
            break;
        }
    }
    if (!replaced) entries.append(entry);
    if (!save(entries))
        return {QStringLiteral("The file '%1' could not be written.").arg(filePath()), Icon::Exclamation,
                kAppTitle};
    return {};
}

bool SnippetStore::remove(const QString& description) {
    QList<Snippet> entries = list();
    const qsizetype before = entries.size();
    entries.removeIf([&](const Snippet& s) { return s.description == description; });
    return entries.size() != before && save(entries);
}

bool SnippetStore::save(const QList<Snippet>& entries) const {
    QJsonArray array;
    for (const Snippet& s : entries)
        array.append(
            QJsonObject{{QStringLiteral("description"), s.description}, {QStringLiteral("text"), s.text}});
    QSaveFile f(filePath());
    if (!f.open(QIODevice::WriteOnly)) return false;
    f.write(QJsonDocument(array).toJson());
    if (f.commit()) return true;
    LogError(m_ctx, QStringLiteral("SaveSnippets in frmConfiguration"), {0, f.errorString()}, false);
    return false;
}

} // namespace sendora
