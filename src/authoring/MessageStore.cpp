#include "authoring/MessageStore.h"

#include "components/jet/Jet.h"
#include "core/AppContext.h"
#include "core/Catalogue.h"
#include "core/ErrorLog.h"

#include <QLocale>

namespace sendora {

namespace {

const QString kModule = QStringLiteral(" in frmMessageEdit");

std::unique_ptr<jet::Database> systemDb(AppContext& ctx) {
    return jet::Database::open(ctx.paths.systemDatabase());
}

QString messageQuery(const QString& name) {
    return QStringLiteral("SELECT * FROM [Message] WHERE [MessageName] = %1;").arg(jet::quote(name));
}

QString text(const jet::Recordset& rs, const char* column) {
    return rs.value(QLatin1String(column)).toString();
}

// Columns written by the greeting dialog, in the order of GreetingColumns.
struct GreetingField {
    const char* column;
    QVariant GreetingColumns::*member;
};
constexpr GreetingField kGreetingFields[] = {
    {"UseGreetingManager", &GreetingColumns::useGreetingManager},
    {"AddressType", &GreetingColumns::addressType},
    {"GroupAddress", &GreetingColumns::groupAddress},
    {"GreetingType", &GreetingColumns::greetingType},
    {"Salutation", &GreetingColumns::salutation},
    {"Punctuation", &GreetingColumns::punctuation},
    {"UseTitle", &GreetingColumns::useTitle},
    {"UseFName", &GreetingColumns::useFName},
    {"UseLName", &GreetingColumns::useLName},
    {"MissingFNameOption", &GreetingColumns::missingFNameOption},
    {"MissingLNameOption", &GreetingColumns::missingLNameOption},
    {"GenericName", &GreetingColumns::genericName},
    {"HTMLGreeting", &GreetingColumns::htmlGreeting},
};

quint16 g_newMessageCounter = 0;

} // namespace

GreetingColumns GreetingColumns::defaults() {
    GreetingColumns g;
    g.useGreetingManager = jet::True;
    g.addressType = 1;
    g.groupAddress = QStringLiteral("");
    g.greetingType = -1;
    g.salutation = QStringLiteral("Dear");
    g.punctuation = QStringLiteral(",");
    g.useTitle = jet::False;
    g.useFName = jet::True;
    g.useLName = jet::True;
    g.missingFNameOption = jet::True;
    g.missingLNameOption = jet::True;
    g.genericName = QStringLiteral("");
    g.htmlGreeting = QStringLiteral("");
    return g;
}

quint16 nextNewMessageNumber() {
    // After 65535 the count starts again at 1; the date and time keep the names apart.
    if (++g_newMessageCounter == 0) g_newMessageCounter = 1;
    return g_newMessageCounter;
}

void resetNewMessageCounterForTesting() {
    g_newMessageCounter = 0;
}

QString newMessagePlaceholderName(const QDateTime& now, quint16 counter) {
    const QLocale c(QLocale::English, QLocale::UnitedStates);
    return kNewMessagePrefix + c.toString(now.date(), QStringLiteral("M/d/yyyy")) +
           c.toString(now.time(), QStringLiteral("h:mm:ss AP")) + QString::number(counter);
}

QString untitledMessageCaption(quint16 counter) {
    return QStringLiteral("Untitled Message ") + QString::number(counter);
}

bool isPlaceholderMessageName(const QString& name) {
    return name.startsWith(kNewMessagePrefix, Qt::CaseInsensitive);
}

MessageStore::MessageStore(AppContext& ctx) : m_ctx(ctx) {}

std::optional<MessageRecord> MessageStore::read(const QString& name) {
    if (name.isEmpty()) return std::nullopt;
    try {
        auto db = systemDb(m_ctx);
        auto rs = db->openRecordset(messageQuery(name));
        if (rs->eof()) return std::nullopt;
        MessageRecord r;
        r.messageName = text(*rs, "MessageName");
        r.description = text(*rs, "MessageDescription");
        r.subject = text(*rs, "Subject");
        r.from = text(*rs, "From");
        r.messageText = text(*rs, "MessageText");
        r.htmlText = text(*rs, "HTMLText");
        r.sendType = rs->value(QStringLiteral("SendType")).toInt();
        r.attachments = text(*rs, "Attachments");
        r.greetingDisplay = text(*rs, "GreetingDisplay");
        r.mailingList = text(*rs, "MailingList");
        for (const GreetingField& f : kGreetingFields)
            r.greeting.*f.member = rs->value(QLatin1String(f.column));
        return r;
    } catch (const std::exception& e) {
        LogError(m_ctx, QStringLiteral("ReadMessageTextFromDB") + kModule, errorInfo(e), false);
        return std::nullopt;
    }
}

bool MessageStore::exists(const QString& name) {
    return !name.isEmpty() && catalogueEntryExists(m_ctx, CatalogueKind::Message, name);
}

bool MessageStore::updateColumns(const QString& name, const QList<QPair<QString, QVariant>>& values,
                                 const char* caller) {
    if (name.isEmpty()) return false;
    try {
        auto db = systemDb(m_ctx);
        auto rs = db->openRecordset(messageQuery(name));
        if (rs->eof()) return false;
        rs->edit();
        for (const auto& [column, value] : values)
            rs->setValue(column, value);
        rs->update();
        return true;
    } catch (const std::exception& e) {
        LogError(m_ctx, QLatin1String(caller), errorInfo(e), true);
        return false;
    }
}

bool MessageStore::writeEditorFields(const MessageRecord& r) {
    return updateColumns(r.messageName,
                         {{QStringLiteral("Subject"), r.subject},
                          {QStringLiteral("GreetingDisplay"), r.greetingDisplay},
                          {QStringLiteral("Attachments"), r.attachments},
                          {QStringLiteral("MessageText"), r.messageText},
                          {QStringLiteral("HTMLText"), r.htmlText},
                          {QStringLiteral("SendType"), r.sendType},
                          {QStringLiteral("From"), r.from}},
                         "WriteMessageTextToDB in frmMessageEdit");
}

bool MessageStore::writeMailingList(const QString& name, const QString& listName) {
    return updateColumns(name, {{QStringLiteral("MailingList"), listName}},
                         "cboMailingList_Click in frmMessageEdit");
}

bool MessageStore::writeAttachments(const QString& name, const QString& attachments) {
    return updateColumns(name, {{QStringLiteral("Attachments"), attachments}},
                         "AttachFileToMessage in frmMessageEdit");
}

bool MessageStore::writeGreetingDisplay(const QString& name, const QString& display) {
    return updateColumns(name, {{QStringLiteral("GreetingDisplay"), display}},
                         "SetToAddressField in frmMessageEdit");
}

bool MessageStore::writeGreeting(const QString& name, const GreetingColumns& columns) {
    QList<QPair<QString, QVariant>> values;
    for (const GreetingField& f : kGreetingFields)
        values.append({QLatin1String(f.column), columns.*f.member});
    return updateColumns(name, values, "cmdOK_Click in frmMessageGreeting");
}

QString MessageStore::createNewMessage(quint16* counter, const QDateTime& now) {
    const quint16 n = nextNewMessageNumber();
    if (counter) *counter = n;
    const QString name = newMessagePlaceholderName(now, n);
    try {
        auto db = systemDb(m_ctx);
        auto rs = db->openRecordset(QStringLiteral("Message"));
        rs->addNew();
        rs->setValue(QStringLiteral("MessageName"), name);
        const GreetingColumns defaults = GreetingColumns::defaults();
        for (const GreetingField& f : kGreetingFields)
            rs->setValue(QLatin1String(f.column), defaults.*f.member);
        rs->update();
    } catch (const std::exception& e) {
        LogError(m_ctx, QStringLiteral("CreateNewMessage") + kModule, errorInfo(e), true);
        return {};
    }
    return name;
}

bool MessageStore::deleteMessage(const QString& name) {
    try {
        auto db = systemDb(m_ctx);
        db->execute(QStringLiteral("DELETE FROM [Message] WHERE [MessageName] = %1;").arg(jet::quote(name)));
        const bool deleted = db->recordsAffected() > 0;
        db.reset();
        // The mailing centre drops it from its choices.
        if (deleted) m_ctx.windows().messageCatalogueChanged(name);
        return deleted;
    } catch (const std::exception& e) {
        LogError(m_ctx, QStringLiteral("DeleteMessageBeforeUnload") + kModule, errorInfo(e), true);
        return false;
    }
}

} // namespace sendora
