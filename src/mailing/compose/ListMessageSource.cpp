#include "mailing/compose/ListMessageSource.h"

#include "components/jet/Jet.h"
#include "core/AppContext.h"
#include "core/ErrorLog.h"
#include "mailing/SendMDBList.h"
#include "mailing/compose/MimeParts.h"

namespace sendora {

namespace {

bool jetBool(const QVariant& v) {
    return !v.isNull() && v.toInt() != 0;
}

} // namespace

JetRecipientLookup::JetRecipientLookup(jet::Database& listDb) : m_db(listDb) {}
JetRecipientLookup::~JetRecipientLookup() = default;

std::optional<RecipientRow> JetRecipientLookup::find(const QString& address) {
    // One prepared, keyed statement for the whole mailing.
    if (!m_lookup) {
        m_lookup = m_db.prepareStatement(QStringLiteral("SELECT * FROM AddressList WHERE EAddress = ") +
                                         jet::param(1));
        for (int i = 0; i < m_lookup->columnCount(); ++i)
            m_columns << m_lookup->columnName(i);
    }
    m_lookup->bind(1, address);
    if (!m_lookup->first()) return std::nullopt;
    RecipientRow row;
    for (int i = 0; i < m_columns.size(); ++i)
        row.set(m_columns[i], m_lookup->value(i));
    m_lookup->next(); // the key is unique: this ends the read
    return row;
}

RecipientRow rowFromRecordset(const jet::Recordset& rs) {
    RecipientRow row;
    for (int i = 0; i < rs.fieldCount(); ++i)
        row.set(rs.fieldName(i), rs.value(i));
    return row;
}

ListColumns listColumns(AppContext& ctx, jet::Database& listDb) {
    try {
        QStringList names;
        for (const jet::FieldDef& f : listDb.fields(QStringLiteral("AddressList")))
            names.append(f.name);
        return ListColumns(names);
    } catch (const std::exception& e) {
        // Every tag then counts as invalid, and the user is asked.
        LogError(ctx, QStringLiteral("GetFieldPosArray in mdlMerge"), errorInfo(e), false);
        return {};
    }
}

MessageContent messageContentFrom(const SendMDBList& cursor) {
    auto text = [&](const char* column) { return cursor.messageValue(QLatin1String(column)).toString(); };
    auto flag = [&](const char* column) { return jetBool(cursor.messageValue(QLatin1String(column))); };
    MessageContent m;
    m.subject = cursor.GetSubject();
    m.htmlText = cursor.getHTMLText();
    m.messageText = cursor.GetMsgText();
    m.attachments = cursor.GetAttachmentsString();
    m.fromName = text("From");
    m.sendType = cursor.getMessageType();
    GreetingSettings& g = m.greeting;
    g.useTitle = flag("UseTitle");
    g.useFName = flag("UseFName");
    g.useLName = flag("UseLName");
    g.salutation = text("Salutation");
    g.punctuation = text("Punctuation");
    g.genericName = text("GenericName");
    g.missingFNameOption = flag("MissingFNameOption");
    g.missingLNameOption = flag("MissingLNameOption");
    g.useGreetingManager = flag("UseGreetingManager");
    g.greetingType = cursor.messageValue(QStringLiteral("GreetingType")).toInt();
    g.addressType = cursor.messageValue(QStringLiteral("AddressType")).toInt();
    g.groupAddress = cursor.GetGroupToAddress();
    g.htmlGreeting = text("HTMLGreeting");
    return m;
}

ListMessageSource::ListMessageSource(AppContext& ctx, SendMDBList& cursor) : m_ctx(ctx), m_cursor(cursor) {}
ListMessageSource::~ListMessageSource() = default;

bool ListMessageSource::prepare(const QString& sender, const QString& replyTo, const QDateTime& stamp,
                                const std::function<void(const QString&)>& log) {
    MailingSetup setup;
    setup.sender = sender;
    setup.replyTo = replyTo;
    setup.message = messageContentFrom(m_cursor);
    setup.wrapWidth = m_ctx.settings.wordWrapSize;
    setup.checkTextOnlyDomains = m_ctx.settings.checkIfDomainWantsTextOnly;
    setup.textOnlyDomains = splitDomainList(m_ctx.settings.domainsToCheck);
    setup.now = stamp;
    setup.version = m_ctx.version;
    m_rows.reset();
    m_lastRow.reset();
    if (jet::Database* db = m_rowDb ? m_rowDb : m_cursor.listDatabase()) {
        setup.columns = listColumns(m_ctx, *db);
        m_rows = std::make_unique<JetRecipientLookup>(*db);
        m_lastRow = std::make_unique<LastRowLookup>(*m_rows);
    }
    m_mailing = std::make_unique<PreparedMailing>(m_ctx, setup, log);
    return confirmInvalidFields(m_ctx, m_mailing->invalidFields());
}

bool ListMessageSource::personalised() const {
    return m_mailing && m_mailing->personalised();
}

QString ListMessageSource::personalName(const QString& address) {
    if (!m_mailing || !m_lastRow || !m_mailing->personalised() || !m_mailing->message().greeting.personalTo())
        return {};
    try {
        const auto row = m_lastRow->find(address);
        return row ? m_mailing->displayNameFor(*row) : QString();
    } catch (const std::exception& e) {
        LogError(m_ctx, QStringLiteral("MergeMessage in mdlMerge"), errorInfo(e), false);
        return {};
    }
}

QByteArray ListMessageSource::personalMessage(const QString& address, const QString& displayName) {
    if (!m_mailing || !m_lastRow) return {};
    QByteArray data = m_mailing->composeFor(address, *m_lastRow, displayName).data;
    m_lastRow->forget();
    return data;
}

QByteArray ListMessageSource::groupMessage(const QString& displayText, const QString& firstAddress) {
    return m_mailing ? m_mailing->composeForGroup(firstAddress, displayText) : QByteArray();
}

qint64 ListMessageSource::messageSize() const {
    return m_mailing ? m_mailing->messageSize() : 0;
}

QByteArray ListMessageSource::messageFor(const QString& address, bool* inList) {
    std::optional<RecipientRow> row;
    if (m_lastRow) {
        try {
            row = m_lastRow->find(address);
        } catch (const std::exception& e) {
            LogError(m_ctx, QStringLiteral("MergeMessage in mdlMerge"), errorInfo(e), false);
        }
    }
    if (inList) *inList = row.has_value();
    if (!personalised()) return groupMessage(m_cursor.GetGroupToAddress(), address);
    if (!row) return m_mailing ? m_mailing->composeForRow(address, RecipientRow()).data : QByteArray();
    const QString name = personalName(address);
    return personalMessage(address, name.trimmed().isEmpty() ? address : name);
}

} // namespace sendora
