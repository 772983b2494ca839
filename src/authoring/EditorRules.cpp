#include "authoring/EditorRules.h"

#include "components/jet/Jet.h"
#include "core/AppContext.h"
#include "core/ErrorLog.h"
#include "import/AddressRules.h"
#include "mailing/compose/Merge.h"
#include "mailing/compose/Windows1252.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QUrl>
#include <optional>

namespace sendora {

const QString kSenderIsAddressMessage = QStringLiteral(
    "Email Addresses are not allowed in this field.  It is used to indicate a name of a sender, (eg. Morgan "
    "Tallis, Quillmark, Inc.)");
const QString kStillLoadingMessage =
    QStringLiteral("The document is still loading. Please wait for it to complete.");
const QString kMergeIntoSourceViewMessage =
    QStringLiteral("You cannot insert a merge field into the source view window, please go to the WYSIWYG "
                   "window to perform this operation.");
const QString kMergeNeedsFieldMessage =
    QStringLiteral("A field can not be inserted until both a mailing list and a field are Selected.");
const QString kListPathMissingMessage = QStringLiteral("Error finding MailingList Pathname in Database.");
const QString kAttachWithoutMessage =
    QStringLiteral("Cannot attach a file.  Please create or open a message first.");
const QString kInsertWithoutMessage =
    QStringLiteral("Cannot insert text file into a message.  Please create or open a message first.");
const QString kSaveChangesQuestion = QStringLiteral("Would you like to save your changes");
const QString kSaveMessageTitle = QStringLiteral("Save Message");
const QString kNewMessageBodyPrompt = QStringLiteral("[Enter the text of your new message here.]");
const QString kNewMessageSubjectPrompt = QStringLiteral("[Enter the subject of your new message here.]");
const QString kAttachChooserTitle = QStringLiteral("Select file to attach");
const QString kInsertChooserTitle = QStringLiteral("Select file to insert");
const QString kFromFieldToolTip = QStringLiteral(
    "Enter the Name of the Person or Company message is from. *DO NOT enter an Email Address.");

Notice senderNameNotice(const QString& from) {
    if (!IsValidEmailAddress(from)) return {};
    return information(kSenderIsAddressMessage);
}

QStringList insertTargetChoices() {
    return {QStringLiteral("From Field"), QStringLiteral("Subject Field"), QStringLiteral("Message Body")};
}

InsertTarget insertTargetFor(const QString& choice) {
    if (choice.contains(QLatin1String("Subject"))) return InsertTarget::Subject;
    if (choice.contains(QLatin1String("From"))) return InsertTarget::From;
    return InsertTarget::Body;
}

QString mergeTagFor(const QString& field) {
    return kTagOpen + field + kTagClose;
}

Notice mergeFieldRefusal(int viewMode, const QString& chosenField) {
    if (viewMode == 2) return information(kMergeIntoSourceViewMessage);
    if (chosenField.isEmpty()) return information(kMergeNeedsFieldMessage);
    return {};
}

QStringList mergeListChoices(AppContext& ctx) {
    QStringList choices{kNoList};
    try {
        auto db = jet::Database::open(ctx.paths.systemDatabase(), jet::Database::OpenMode::ReadOnly);
        for (auto rs = db->openRecordset(QStringLiteral("List")); !rs->eof(); rs->moveNext()) {
            const QString name = rs->value(QStringLiteral("ListName")).toString();
            if (!name.isEmpty()) choices << name;
        }
    } catch (const std::exception& e) {
        LogError(ctx, QStringLiteral("cboMailingList_DropDown in frmMessageEdit"), errorInfo(e), false);
    }
    return choices;
}

namespace {

// The List row's ListPath, or nothing when there is no such row.
std::optional<QString> listPathOf(AppContext& ctx, const QString& listName) {
    auto db = jet::Database::open(ctx.paths.systemDatabase(), jet::Database::OpenMode::ReadOnly);
    auto rs = db->openRecordset(QStringLiteral("List"));
    rs->findFirst(QStringLiteral("ListName = ") + jet::quote(listName));
    if (rs->noMatch()) return std::nullopt;
    return rs->value(QStringLiteral("ListPath")).toString();
}

QString fullListPath(AppContext& ctx, const QString& listPath) {
    return QFileInfo(listPath).isAbsolute() ? listPath : ctx.paths.listFile(listPath);
}

} // namespace

QString mergeListChoiceFor(AppContext& ctx, const QString& mailingList) {
    if (mailingList.isEmpty() || mailingList == kNoList) return kNoList;
    try {
        return listPathOf(ctx, mailingList) ? mailingList : kNoList;
    } catch (const std::exception& e) {
        LogError(ctx, QStringLiteral("OpenMessage in frmMessageEdit"), errorInfo(e), false);
        return kNoList;
    }
}

ListFields mergeListFields(AppContext& ctx, const QString& listName) {
    ListFields result;
    if (listName.isEmpty() || listName == kNoList) {
        result.ok = true;
        return result;
    }
    try {
        const auto path = listPathOf(ctx, listName);
        if (!path) {
            result.notice = information(kListPathMissingMessage);
            return result;
        }
        result.listPath = fullListPath(ctx, *path);
        auto list = jet::Database::open(result.listPath, jet::Database::OpenMode::ReadOnly);
        for (const jet::FieldDef& f : list->fields(QStringLiteral("AddressList")))
            result.fields << f.name;
        result.ok = true;
    } catch (const std::exception& e) {
        const ErrorInfo info = errorInfo(e);
        LogError(ctx, QStringLiteral("cboMailingList_Click in frmMessageEdit"), info, false);
        result.notice = {QStringLiteral("Error #%1 in cboMailingList_Click in frmMessageEdit\r\n%2")
                             .arg(info.number)
                             .arg(info.description),
                         Icon::Critical, kAppTitle};
    }
    return result;
}

bool ListUsedInMailMergeForOpenMessage(const QString& listName, bool mergeListOpen,
                                       const QString& currentChoice) {
    return listName != kNoList && mergeListOpen && currentChoice == listName;
}

QString appendAttachment(const QString& attachments, const QString& path) {
    if (attachments.isEmpty()) return path + QLatin1Char(';');
    return attachments + QLatin1Char(' ') + path + QLatin1Char(';');
}

namespace {

QByteArray fileDigest(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(&f);
    return hash.result();
}

bool sameContent(const QString& a, const QString& b) {
    const QFileInfo ia(a), ib(b);
    if (ia.size() != ib.size()) return false;
    const QByteArray da = fileDigest(a);
    return !da.isEmpty() && da == fileDigest(b);
}

} // namespace

CopiedFile copyIntoAttachments(AppContext& ctx, const QString& source) {
    CopiedFile result;
    const QFileInfo src(source);
    if (source.isEmpty() || !src.exists() || !src.isFile()) {
        result.notice = information(QStringLiteral("The file '%1' could not be found.").arg(source));
        return result;
    }
    const QDir folder(ctx.paths.attach);
    if (!folder.exists() && !QDir().mkpath(ctx.paths.attach)) {
        result.notice = {QStringLiteral("The folder '%1' could not be created.").arg(ctx.paths.attach),
                         Icon::Exclamation, kAppTitle};
        return result;
    }
    // A file already in the folder is used where it is.
    if (QFileInfo(src.absolutePath() + QLatin1Char('/')).canonicalFilePath() ==
        QFileInfo(ctx.paths.attach).canonicalFilePath()) {
        result.path = src.absoluteFilePath();
        return result;
    }
    const QString base = src.completeBaseName();
    const QString suffix = src.suffix().isEmpty() ? QString() : QLatin1Char('.') + src.suffix();
    for (int n = 1; n < 10000; ++n) {
        const QString name =
            n == 1 ? src.fileName() : QStringLiteral("%1 (%2)%3").arg(base).arg(n).arg(suffix);
        const QString target = folder.absoluteFilePath(name);
        if (QFileInfo::exists(target)) {
            if (sameContent(source, target)) {
                result.path = target;
                return result;
            }
            continue;
        }
        if (!QFile::copy(source, target)) {
            result.notice = {QStringLiteral("The file '%1' could not be copied to '%2'.").arg(source, target),
                             Icon::Exclamation, kAppTitle};
            return result;
        }
        result.path = target;
        return result;
    }
    result.notice = {
        QStringLiteral("The file '%1' could not be copied to '%2'.").arg(source, ctx.paths.attach),
        Icon::Exclamation, kAppTitle};
    return result;
}

QString imageMarkup(const QString& copiedPath) {
    return QStringLiteral("<img src=\"%1\">").arg(copiedPath.toHtmlEscaped());
}

CopiedHtml copyHtmlImages(AppContext& ctx, const QString& html, const QString& baseFolder) {
    static const QRegularExpression attribute(
        QStringLiteral("(<[^>]*?\\s(?:src|background)\\s*=\\s*)(\"([^\"]*)\"|'([^']*)'|([^\\s>\"']+))"),
        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]+:"));
    CopiedHtml result;
    QString out;
    qsizetype done = 0;
    for (auto it = attribute.globalMatch(html); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        QString value = m.captured(3) + m.captured(4) + m.captured(5);
        value = value.trimmed();
        if (value.startsWith(QLatin1String("file:"), Qt::CaseInsensitive)) {
            value = QUrl(value).toLocalFile();
        } else if (value.isEmpty() || value.startsWith(QLatin1Char('#')) ||
                   (scheme.match(value).hasMatch() && !QDir::isAbsolutePath(value))) {
            continue;
        }
        value = QDir(baseFolder).absoluteFilePath(QUrl::fromPercentEncoding(value.toUtf8()));
        const CopiedFile copy = copyIntoAttachments(ctx, value);
        if (!copy.ok()) {
            result.html = html;
            result.copied.clear();
            result.notice = copy.notice;
            return result;
        }
        result.copied << copy.path;
        out += html.mid(done, m.capturedEnd(1) - done) + QLatin1Char('"') + copy.path.toHtmlEscaped() +
               QLatin1Char('"');
        done = m.capturedEnd(0);
    }
    result.html = out + html.mid(done);
    return result;
}

InsertedText readFileForInsert(const QString& path) {
    InsertedText result;
    QFile f(path);
    if (path.isEmpty() || !QFileInfo(path).isFile() || !f.open(QIODevice::ReadOnly)) {
        result.notice = information(
            QStringLiteral("Cannot insert the file '%1' into this message.  The file could not be found.")
                .arg(path));
        return result;
    }
    const QByteArray bytes = f.readAll();
    // Text files of this kind are Windows-1252 unless they are valid UTF-8.
    auto decoder = QStringDecoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (decoder.hasError()) text = fromWindows1252(bytes);
    result.text = text;
    return result;
}

} // namespace sendora
