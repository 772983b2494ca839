#pragma once
// Scripted stand-ins for the user and the extraction list, for the parser tests.

#include "core/UserInterface.h"
#include "import/EmailParser.h"
#include "import/NameQuestion.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace sendora::testing {

// Answers name questions from a script, one answer per question; with the script used up it
// leaves the dialog without pressing a button.
class ScriptedNameQuestion : public NameQuestion {
public:
    enum Reply { Confirm, BestGuess, NotFound, Leave };
    struct Answer {
        Reply reply = Leave;
        QString first, last; // the edit boxes' text for Confirm and BestGuess
    };

    void ask(EmailParser& parser, const NameQuery& query) override {
        asked << query;
        const Answer a = script.isEmpty() ? Answer{} : script.takeFirst();
        switch (a.reply) {
        case BestGuess:
            parser.setAskIfAmbigous(false);
            parser.SetFLName(a.first, a.last);
            break;
        case Confirm:
            parser.SetFLName(a.first, a.last);
            break;
        case NotFound:
            parser.SetFLName({}, {});
            break;
        case Leave:
            break;
        }
    }

    QList<Answer> script;
    QList<NameQuery> asked;
};

// Records messages; everything else is unused by the parser.
class RecordingUserInterface : public UserInterface {
public:
    Answer message(const QString& text, Buttons, Icon icon, const QString&) override {
        messages << text;
        icons << icon;
        return Answer::OK;
    }
    std::optional<QString> inputBox(const QString&, const QString&, const QString&) override { return {}; }
    std::optional<QString> openFileName(const QString&, const QString&, const QList<FileFilter>&) override {
        return {};
    }
    std::optional<QString> saveFileName(const QString&, const QString&, const QList<FileFilter>&) override {
        return {};
    }
    QStringList checkList(const QString&, const QString&, const QStringList&) override { return {}; }

    QStringList messages;
    QList<Icon> icons;
};

struct StoredAddress {
    QString address, first, last;
    bool openList = false;
};

class CollectingSink : public ExtractionSink {
public:
    void storeAddress(const QString& address, const QString& first, const QString& last,
                      bool openList) override {
        rows << StoredAddress{address, first, last, openList};
    }
    QList<StoredAddress> rows;
};

} // namespace sendora::testing
