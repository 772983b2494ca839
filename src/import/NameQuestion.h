#pragma once
// The question EmailParser puts to the user about a doubtful personal name. The windows answer it
// with frmQueryUserReName; tests answer it from a script.

#include <QString>

namespace sendora {

class EmailParser;

struct NameQuery {
    QString address;
    QString firstName; // proposed: the guess, or the candidate when there is no guess
    QString lastName;
    QString message;
    QString inferredFrom; // shown under "Inferred from string:" only when showInferred
    bool showInferred = false;
};

class NameQuestion {
public:
    virtual ~NameQuestion() = default;
    // Shows the question and applies the answer through the parser: SetFLName for the names,
    // setAskIfAmbigous(false) for "Continue Using Best Guess". Leaving without an answer keeps the
    // parser's names as the rules left them.
    virtual void ask(EmailParser& parser, const NameQuery& query) = 0;
};

} // namespace sendora
