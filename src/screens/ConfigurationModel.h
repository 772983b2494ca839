#pragma once
// The rules of the options dialog without its widgets: the fields as loaded from the
// in-memory settings, the word-wrap and group-size bounds, OK's copy into memory and
// Sendora.ini, and the returned-mail subjects kept in subjects.dat.

#include <QString>
#include <QStringList>

namespace sendora {

struct AppContext;

// What the dialog edits. Word wrap stays text until OK, which refuses what is no number.
struct ConfigurationValues {
    bool bracketOnFrom = true;
    bool serverWantsBracket = false;
    bool startSDCentral = true;
    int groupMailBlockSize = 10;
    QString wordWrap;
    bool checkIfDomainWantsTextOnly = false;
    QStringList domains;
    bool checkOriginalTo = false;
};

extern const QString kWordWrapNotNumber;
extern const QString kWordWrapNegative;
extern const QString kSubjectEmpty;

class ConfigurationModel {
public:
    explicit ConfigurationModel(AppContext& ctx);

    ConfigurationValues load() const;

    // DomainsToCheck: joined by ";" without a trailing one; split skipping empty parts.
    static QStringList splitDomains(const QString& setting);
    static QString joinDomains(const QStringList& domains);
    // Adds a typed domain (trimmed) to the list unless it is empty or already there.
    static bool addDomain(QStringList& domains, const QString& typed);

    // The refusal for a word-wrap text, empty when it is a whole number of 0 or more.
    static QString wordWrapRefusal(const QString& text, int* value = nullptr);
    static int boundGroupSize(int size); // 1..100

    // OK: the refusal text when the values cannot be taken (nothing changes), else empty
    // after the values are in memory and in Sendora.ini. A settings file that cannot be
    // written is logged to Errors.log; the values stay in memory.
    QString apply(const ConfigurationValues& values);

    // Returned-mail subjects: read from subjects.dat once, written through at every change.
    QString subjectsFile() const;
    QStringList subjects() const;
    // The refusal text, or empty once the subject is in the list and the file.
    QString addSubject(const QString& subject);
    // Removes the first equal entry; false when there is none.
    bool removeSubject(const QString& subject);

private:
    bool saveSubjects(const QString& handler);

    AppContext& m_ctx;
    QStringList m_subjects;
};

} // namespace sendora
