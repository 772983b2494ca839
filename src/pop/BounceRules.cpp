#include "pop/BounceRules.h"

#include <QFile>
#include <initializer_list>

namespace sendora::pop {

bool CSubjects::loadSubjects(const QString& path) {
    m_subjects.clear();
    QFile f(path);
    if (!f.exists()) return true;
    if (!f.open(QIODevice::ReadOnly)) return false;
    // Read as Windows text would be read: one subject per line, CR LF or LF.
    const QString text = QString::fromUtf8(f.readAll());
    for (QString line : text.split(u'\n')) {
        if (line.endsWith(u'\r')) line.chop(1);
        if (!line.trimmed().isEmpty()) m_subjects << line;
    }
    return true;
}

bool CSubjects::saveSubjects(const QString& path) const {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    QByteArray data;
    for (const QString& s : m_subjects)
        data += s.toUtf8() + "\r\n";
    return f.write(data) == data.size() && f.flush();
}

void CSubjects::setSubjects(const QStringList& subjects) {
    m_subjects.clear();
    for (QString s : subjects) {
        s.remove(u'\r');
        s.remove(u'\n');
        if (!s.trimmed().isEmpty()) m_subjects << s;
    }
}

namespace {

bool any(const QString& subject, std::initializer_list<const char*> words) {
    for (const char* w : words)
        if (subject.contains(QLatin1String(w), Qt::CaseInsensitive)) return true;
    return false;
}

} // namespace

int returnedMailRule(const QString& s, const QStringList& extraSubjects) {
    if (any(s, {"Delivery", "Mail", "Notice"}) && any(s, {"Failure", "Failed", "Error", "Rejected"}))
        return 1;
    if (any(s, {"Message", "Mail"}) && any(s, {"Undeliverable", "Return", "Returned", "Unrouteable",
                                               "Unresolvable", "Undelivered", "Rejected", "Nondeliverable"}))
        return 2;
    if (any(s, {"Message", "Mail"}) && any(s, {"Not"}) && any(s, {"Deliverable", "Delivered"})) return 3;
    if (any(s, {"Returned Mail", "Warning"}) &&
        any(s, {"Invalid Address", "Not Our Domain", "Could Not Deliver", "Could Not Send", "User Unknown"}))
        return 4;
    if (any(s, {"No Such User", "Undeliverable:"})) return 5;
    if (any(s, {"UnSent"}) && any(s, {"Returned to sender"})) return 6;
    if (any(s, {"Unknown"}) && any(s, {"User", "Recipient"})) return 7;
    if (any(s, {"Problems delivering your mail", "Non-delivery notification"})) return 8;
    for (const QString& extra : extraSubjects)
        if (!extra.isEmpty() && s.contains(extra, Qt::CaseInsensitive)) return 9;
    return 0;
}

bool phraseMatches(const QString& subject, const QString& phrase) {
    if (phrase.isEmpty()) return false;
    const qsizetype at = subject.indexOf(phrase, 0, Qt::CaseInsensitive);
    if (at < 0) return false;
    const qsizetype end = at + phrase.size();
    const bool startsWord = at == 0 || subject[at - 1] == u' ';
    const bool endsWord = end == subject.size() || subject[end] == u' ';
    return startsWord && endsWord;
}

QString firstMatchingPhrase(const QString& subject, const QStringList& phrases) {
    for (const QString& p : phrases)
        if (phraseMatches(subject, p)) return p;
    return {};
}

} // namespace sendora::pop
