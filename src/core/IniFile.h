#pragma once
// A Windows profile ("INI") file: [section] and key=value lines, sections and keys
// matched without regard to case, values trimmed, CRLF line ends. A file that cannot
// be read behaves as an absent one; a failed write changes nothing and is not fatal.

#include <QDateTime>
#include <QString>
#include <QStringList>

namespace sendora {

class IniFile {
public:
    explicit IniFile(QString path = {});

    void setPath(const QString& path);
    QString path() const { return m_path; }
    bool exists() const;

    // Empty when the key is absent.
    QString read(const QString& section, const QString& key) const;
    // The default when the key or the file is absent; a present but empty value is "".
    QString read(const QString& section, const QString& key, const QString& defaultValue) const;
    // Creates the file, the section or the key as needed. Returns false when the file
    // could not be written.
    bool write(const QString& section, const QString& key, const QString& value);

private:
    struct Found {
        int sectionLine = -1; // index of the [section] line
        int sectionEnd = -1;  // one past the section's last non-blank line
        int keyLine = -1;
    };
    bool load() const;
    Found find(const QString& section, const QString& key) const;

    QString m_path;
    mutable QStringList m_lines;
    mutable QDateTime m_loadedStamp;
    mutable qint64 m_loadedSize = -1;
    mutable bool m_loaded = false;
};

// Text-to-Boolean conversion as profile values are read back: "True"/"False" in any case,
// and numbers (0 false, anything else true). Others give the fallback.
bool textToBool(const QString& text, bool fallback);
// Integer conversion that accepts surrounding blanks; the fallback when it is not a number.
int textToInt(const QString& text, int fallback);

} // namespace sendora
