#pragma once
// Pieces the sendora-cli commands share: option parsing, the list name check, keeping a built
// list and a user interface that passes its questions on.

#include "core/UserInterface.h"

#include <QList>
#include <QMultiHash>
#include <QStringList>
#include <QTextStream>

namespace sendora {
struct AppContext;
}

namespace sendora::cli {

// The words, "--option VALUE" pairs and "--flag"s of one command line.
struct Options {
    QStringList positional;
    QMultiHash<QString, QString> values;
    QStringList flags;
};

// Splits args into words, the options named in valued (each with the next argument) and the
// flags; any other "--" argument is refused with "sendora-cli: <command>: unexpected option".
bool parseOptions(const QStringList& args, const QStringList& valued, const QStringList& flags,
                  const char* command, Options& o, QTextStream& err);

// An option that takes a value; seen is set when it is given, even with an empty value.
struct ValuedOption {
    const char16_t* name;
    QString* value;
    bool* seen = nullptr;
};
struct FlagOption {
    const char16_t* name;
    bool* set;
};

// Reads the options into their fields and each word into the first of words still empty; a
// missing value, an unknown option or a word too many is refused on err.
bool parseInto(const QStringList& args, const char* command, const QList<ValuedOption>& valued,
               const QList<FlagOption>& flags, const QList<QString*>& words, QTextStream& err);

// True when name may name a list; otherwise says why on err.
bool validListName(const QString& name, QTextStream& err);

// Catalogues the list just built in path as name and deletes the temporary file; listPath then
// holds the saved list's file. On failure says where the list stays and returns false.
bool keepBuiltList(AppContext& ctx, const QString& path, const QString& name, const QString& command,
                   QTextStream& err, QString& listPath);

// Passes every question on to the inner interface; commands override the one they answer.
class ForwardingUserInterface : public UserInterface {
public:
    explicit ForwardingUserInterface(UserInterface& inner) : m_inner(inner) {}
    Answer message(const QString& text, Buttons buttons, Icon icon, const QString& title) override {
        return m_inner.message(text, buttons, icon, title);
    }
    std::optional<QString> inputBox(const QString& p, const QString& t, const QString& d) override {
        return m_inner.inputBox(p, t, d);
    }
    std::optional<QString> openFileName(const QString& t, const QString& d,
                                        const QList<FileFilter>& f) override {
        return m_inner.openFileName(t, d, f);
    }
    std::optional<QString> saveFileName(const QString& t, const QString& d,
                                        const QList<FileFilter>& f) override {
        return m_inner.saveFileName(t, d, f);
    }
    QStringList checkList(const QString& c, const QString& t, const QStringList& i) override {
        return m_inner.checkList(c, t, i);
    }

private:
    UserInterface& m_inner;
};

} // namespace sendora::cli
