#include "core/IniFile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace sendora {

namespace {

QString sectionName(const QString& line) {
    const QString t = line.trimmed();
    if (t.size() >= 2 && t.startsWith(u'[')) {
        const qsizetype close = t.indexOf(u']');
        if (close > 0) return t.mid(1, close - 1).trimmed();
    }
    return {};
}

bool isSectionLine(const QString& line) {
    const QString t = line.trimmed();
    return t.startsWith(u'[') && t.indexOf(u']') > 0;
}

// Key of a key=value line, or empty for comments and other lines.
QString keyOf(const QString& line) {
    const QString t = line.trimmed();
    if (t.isEmpty() || t.startsWith(u';')) return {};
    const qsizetype eq = t.indexOf(u'=');
    if (eq <= 0) return {};
    return t.left(eq).trimmed();
}

QString valueOf(const QString& line) {
    const qsizetype eq = line.indexOf(u'=');
    QString v = line.mid(eq + 1).trimmed();
    // The profile API strips one pair of surrounding quotes.
    if (v.size() >= 2 &&
        ((v.startsWith(u'"') && v.endsWith(u'"')) || (v.startsWith(u'\'') && v.endsWith(u'\''))))
        v = v.mid(1, v.size() - 2);
    return v;
}

} // namespace

IniFile::IniFile(QString path) : m_path(std::move(path)) {}

void IniFile::setPath(const QString& path) {
    m_path = path;
    m_loaded = false;
}

bool IniFile::exists() const {
    return !m_path.isEmpty() && QFileInfo::exists(m_path);
}

bool IniFile::load() const {
    const QFileInfo info(m_path);
    if (!info.exists()) {
        m_lines.clear();
        m_loaded = false;
        return false;
    }
    if (m_loaded && info.lastModified() == m_loadedStamp && info.size() == m_loadedSize) return true;
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly)) {
        m_lines.clear();
        m_loaded = false;
        return false;
    }
    const QString text = QString::fromUtf8(file.readAll());
    m_lines = text.split(u'\n');
    for (QString& l : m_lines)
        if (l.endsWith(u'\r')) l.chop(1);
    if (!m_lines.isEmpty() && m_lines.last().isEmpty()) m_lines.removeLast();
    m_loadedStamp = info.lastModified();
    m_loadedSize = info.size();
    m_loaded = true;
    return true;
}

IniFile::Found IniFile::find(const QString& section, const QString& key) const {
    Found f;
    for (int i = 0; i < m_lines.size(); ++i) {
        if (!isSectionLine(m_lines[i])) continue;
        if (f.sectionLine >= 0) break; // next section after ours
        if (sectionName(m_lines[i]).compare(section, Qt::CaseInsensitive) != 0) continue;
        f.sectionLine = i;
        f.sectionEnd = i + 1;
        for (int j = i + 1; j < m_lines.size() && !isSectionLine(m_lines[j]); ++j) {
            if (!m_lines[j].trimmed().isEmpty()) f.sectionEnd = j + 1;
            if (f.keyLine < 0 && keyOf(m_lines[j]).compare(key, Qt::CaseInsensitive) == 0) f.keyLine = j;
        }
    }
    return f;
}

QString IniFile::read(const QString& section, const QString& key) const {
    return read(section, key, QString());
}

QString IniFile::read(const QString& section, const QString& key, const QString& defaultValue) const {
    if (m_path.isEmpty() || !load()) return defaultValue;
    const Found f = find(section, key);
    if (f.keyLine < 0) return defaultValue;
    return valueOf(m_lines[f.keyLine]);
}

bool IniFile::write(const QString& section, const QString& key, const QString& value) {
    if (m_path.isEmpty()) return false;
    if (!load()) m_lines.clear();
    QStringList lines = m_lines;
    const QString entry = key + u'=' + value;
    const Found f = find(section, key);
    if (f.keyLine >= 0) {
        lines[f.keyLine] = entry;
    } else if (f.sectionLine >= 0) {
        lines.insert(f.sectionEnd, entry);
    } else {
        lines << u'[' + section + u']' << entry;
    }
    QSaveFile out(m_path);
    if (!out.open(QIODevice::WriteOnly)) return false;
    out.write(lines.join(QStringLiteral("\r\n")).toUtf8());
    out.write("\r\n");
    if (!out.commit()) return false;
    m_lines = lines;
    m_loaded = false; // re-stat on the next read
    return true;
}

bool textToBool(const QString& text, bool fallback) {
    const QString t = text.trimmed();
    if (t.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0) return true;
    if (t.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0) return false;
    bool ok = false;
    const double d = t.toDouble(&ok);
    return ok ? d != 0.0 : fallback;
}

int textToInt(const QString& text, int fallback) {
    bool ok = false;
    const double d = text.trimmed().toDouble(&ok);
    if (!ok || d < -2147483648.0 || d > 2147483647.0) return fallback;
    return static_cast<int>(d < 0 ? d - 0.5 : d + 0.5);
}

} // namespace sendora
