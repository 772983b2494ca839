#pragma once
// Which messages a mailbox run wants, judged by their subject: the returned-mail rules with
// the user's extra subjects (subjects.dat), or the user's phrases as whole words.

#include <QString>
#include <QStringList>

namespace sendora::pop {

// The user's extra returned-mail subjects, one per line of subjects.dat in the application
// folder. The configuration dialog edits the same file through this class.
class CSubjects {
public:
    // Reads the file; a missing file is an empty list. False when it exists but cannot be read.
    bool loadSubjects(const QString& path);
    // Writes the subjects one per line (CRLF), blank entries left out. False when not written.
    bool saveSubjects(const QString& path) const;
    int count() const { return int(m_subjects.size()); }
    // Index from 0; empty beyond the end.
    QString GetSubject(int index) const { return m_subjects.value(index); }
    void setSubjects(const QStringList& subjects);
    const QStringList& subjects() const { return m_subjects; }

private:
    QStringList m_subjects;
};

inline const QString kSubjectsFileName = QStringLiteral("subjects.dat");

// The first returned-mail rule (1..9) the subject meets, 0 when none. Every test is a
// case-insensitive substring test; rule 9 is any non-empty line of `extraSubjects`.
int returnedMailRule(const QString& subject, const QStringList& extraSubjects = {});

// True when the phrase's first occurrence in the subject (without regard to case) starts the
// subject or follows a space, and ends it or is followed by a space.
bool phraseMatches(const QString& subject, const QString& phrase);
// The first phrase that matches, empty when none does.
QString firstMatchingPhrase(const QString& subject, const QStringList& phrases);

} // namespace sendora::pop
