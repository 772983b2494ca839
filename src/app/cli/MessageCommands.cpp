#include "MessageCommands.h"

#include "MailingCommands.h"
#include "authoring/EditorRules.h"
#include "authoring/GreetingModel.h"
#include "authoring/MessageStore.h"
#include "core/AppContext.h"
#include "core/Catalogue.h"

#include <QFileInfo>
#include <optional>

namespace sendora::cli {

const char* const kMessageUsage =
    "  message save NAME [--subject TEXT] [--html FILE] [--text FILE] [--attach FILE]...\n"
    "                [--send-type html|text|both] [--from NAME] [--list LIST]\n"
    "                            store a message as the message editor does (images of the HTML\n"
    "                            and attachments are copied into Attach/); an existing message is\n"
    "                            updated. Without --send-type a new message is html, text or both\n"
    "                            by the bodies given\n"
    "  message show NAME         print the message's columns, one 'Field<TAB>value' per line\n";

namespace {

constexpr int kDone = 0;
constexpr int kFailed = 1;
constexpr int kBadInput = 2;

struct SaveArguments {
    QString name;
    std::optional<QString> subject, htmlFile, textFile, sendType, from, list;
    QStringList attachments;
};

std::optional<SaveArguments> parseSave(const QStringList& args, QTextStream& err) {
    SaveArguments a;
    for (int i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        const bool hasValue = i + 1 < args.size();
        auto take = [&](std::optional<QString>& slot) {
            slot = args[++i];
            return true;
        };
        if (arg == QLatin1String("--subject") && hasValue)
            take(a.subject);
        else if (arg == QLatin1String("--html") && hasValue)
            take(a.htmlFile);
        else if (arg == QLatin1String("--text") && hasValue)
            take(a.textFile);
        else if (arg == QLatin1String("--send-type") && hasValue)
            take(a.sendType);
        else if (arg == QLatin1String("--from") && hasValue)
            take(a.from);
        else if (arg == QLatin1String("--list") && hasValue)
            take(a.list);
        else if (arg == QLatin1String("--attach") && hasValue)
            a.attachments << args[++i];
        else if (!arg.startsWith(QLatin1String("--")) && a.name.isNull())
            a.name = arg;
        else {
            err << "sendora-cli: message save: unexpected argument " << arg << '\n';
            return std::nullopt;
        }
    }
    if (a.name.isNull()) {
        err << "Usage:\n" << kMessageUsage;
        return std::nullopt;
    }
    return a;
}

int refuse(QTextStream& err, const QString& text) {
    err << "sendora-cli: " << text << '\n';
    return kBadInput;
}

// A body file's text; a missing file is refused with the editor's words.
std::optional<QString> bodyFile(const QString& path, QTextStream& err) {
    const InsertedText read = readFileForInsert(path);
    if (read.notice) {
        refuse(err, read.notice.text);
        return std::nullopt;
    }
    return read.text;
}

int saveMessage(AppContext& ctx, const QStringList& args, QTextStream& out, QTextStream& err) {
    const auto a = parseSave(args, err);
    if (!a) return kBadInput;
    if (!IsValidObjectName(a->name)) return refuse(err, kInvalidObjectNameMessage);
    const QString name = a->name.trimmed();
    if (name.isEmpty()) return refuse(err, QStringLiteral("Please supply a name for this message"));
    if (isPlaceholderMessageName(name)) return refuse(err, kInvalidObjectNameMessage);
    if (a->from) {
        if (const Notice n = senderNameNotice(*a->from)) return refuse(err, n.text);
    }
    int sendType = -1;
    if (a->sendType) {
        const QString t = a->sendType->toLower();
        sendType = t == QLatin1String("text")   ? 0
                   : t == QLatin1String("html") ? 1
                   : t == QLatin1String("both") ? 2
                                                : -1;
        if (sendType < 0) return refuse(err, QStringLiteral("--send-type is html, text or both"));
    }
    QString listChoice;
    if (a->list) {
        const ListFields fields = mergeListFields(ctx, *a->list);
        if (!fields.ok) return refuse(err, fields.notice.text);
        listChoice = *a->list == kNoList ? QString() : *a->list;
    }
    std::optional<QString> html, text;
    if (a->htmlFile) {
        html = bodyFile(*a->htmlFile, err);
        if (!html) return kBadInput;
        const CopiedHtml copied = copyHtmlImages(ctx, *html, QFileInfo(*a->htmlFile).absolutePath());
        if (copied.notice) return refuse(err, copied.notice.text);
        html = copied.html;
    }
    if (a->textFile) {
        text = bodyFile(*a->textFile, err);
        if (!text) return kBadInput;
    }
    QStringList attached;
    for (const QString& file : a->attachments) {
        const CopiedFile copy = copyIntoAttachments(ctx, file);
        if (!copy.ok()) return refuse(err, copy.notice.text);
        attached << copy.path;
    }

    MessageStore store(ctx);
    const bool existing = store.exists(name);
    QString rowName = name;
    if (!existing) {
        rowName = store.createNewMessage();
        if (rowName.isEmpty()) return kFailed;
    }
    auto record = store.read(rowName);
    if (!record) return kFailed;
    // An existing message keeps its stored name's spelling.
    rowName = record->messageName;
    if (a->subject) record->subject = *a->subject;
    if (a->from) record->from = *a->from;
    if (html) record->htmlText = *html;
    if (text) record->messageText = *text;
    for (const QString& path : attached)
        record->attachments = appendAttachment(record->attachments, path);
    if (sendType >= 0)
        record->sendType = sendType;
    else if (!existing)
        record->sendType = html && text ? 2 : text ? 0 : 1;
    record->greetingDisplay = toAddressDisplay(record->greeting);
    bool ok = store.writeEditorFields(*record) && (!a->list || store.writeMailingList(rowName, listChoice));
    if (ok && !existing) {
        ok = MessageSave(ctx, rowName, name, QString(), false);
        if (!ok) store.deleteMessage(rowName);
        rowName = name;
    }
    if (!ok) return kFailed;
    out << rowName << '\n';
    return kDone;
}

QString escaped(const QString& value) {
    QString s = value;
    s.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    s.replace(QLatin1Char('\t'), QLatin1String("\\t"));
    s.replace(QLatin1Char('\r'), QLatin1String("\\r"));
    s.replace(QLatin1Char('\n'), QLatin1String("\\n"));
    return s;
}

int showMessage(AppContext& ctx, const QStringList& args, QTextStream& out, QTextStream& err) {
    if (args.size() != 1) {
        err << "Usage:\n" << kMessageUsage;
        return kBadInput;
    }
    const auto r = MessageStore(ctx).read(args[0]);
    if (!r) {
        err << "sendora-cli: there is no message named " << args[0] << '\n';
        return kBadInput;
    }
    const GreetingColumns& g = r->greeting;
    const QList<QPair<const char*, QString>> fields = {
        {"MessageName", r->messageName},
        {"MessageDescription", r->description},
        {"Subject", r->subject},
        {"From", r->from},
        {"SendType", QString::number(r->sendType)},
        {"Attachments", r->attachments},
        {"MailingList", r->mailingList},
        {"GreetingDisplay", r->greetingDisplay},
        {"UseGreetingManager", g.useGreetingManager.toString()},
        {"AddressType", g.addressType.toString()},
        {"GroupAddress", g.groupAddress.toString()},
        {"GreetingType", g.greetingType.toString()},
        {"Salutation", g.salutation.toString()},
        {"Punctuation", g.punctuation.toString()},
        {"UseTitle", g.useTitle.toString()},
        {"UseFName", g.useFName.toString()},
        {"UseLName", g.useLName.toString()},
        {"MissingFNameOption", g.missingFNameOption.toString()},
        {"MissingLNameOption", g.missingLNameOption.toString()},
        {"GenericName", g.genericName.toString()},
        {"HTMLGreeting", g.htmlGreeting.toString()},
        {"MessageText", r->messageText},
        {"HTMLText", r->htmlText},
    };
    for (const auto& [field, value] : fields)
        out << field << '\t' << escaped(value) << '\n';
    return kDone;
}

} // namespace

int runMessage(AppContext& ctx, const QStringList& args, QTextStream& out, QTextStream& err) {
    const QString sub = args.value(0);
    if (sub != QLatin1String("save") && sub != QLatin1String("show")) {
        err << "Usage:\n" << kMessageUsage;
        return kBadInput;
    }
    if (!openExistingFolder(ctx, err)) return kBadInput;
    return sub == QLatin1String("save") ? saveMessage(ctx, args.mid(1), out, err)
                                        : showMessage(ctx, args.mid(1), out, err);
}

} // namespace sendora::cli
