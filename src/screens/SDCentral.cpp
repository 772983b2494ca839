#include "screens/SDCentral.h"

#include "components/jet/Jet.h"
#include "core/AppContext.h"
#include "core/Catalogue.h"
#include "core/ErrorLog.h"
#include "core/Settings.h"
#include "mailing/MailEvent.h"

namespace sendora {

namespace {

const QString kModule = QStringLiteral(" in frmSDCentral");

std::optional<qint64> optionalCount(const QVariant& v) {
    if (v.isNull()) return std::nullopt;
    return v.toLongLong();
}

QStringList column(jet::Database& db, const QString& sql, const QString& field, QSet<QString>* keys) {
    QStringList names;
    auto rs = db.openRecordset(sql);
    for (; !rs->eof(); rs->moveNext()) {
        const QString name = rs->value(field).toString();
        names << name;
        keys->insert(CatalogueSnapshot::key(name));
    }
    return names;
}

} // namespace

const QString SDCentral::kSelectMailingFirst =
    QStringLiteral("Cannot send the mailing.  Please select a mail message first.");

QString properCase(const QString& text) {
    QString out = text.toLower();
    bool wordStart = true;
    for (QChar& c : out) {
        if (wordStart && c.isLetterOrNumber()) c = c.toUpper();
        wordStart = c.isSpace();
    }
    return out;
}

ChoiceButtons choiceButtons(const NewMailingChoices& c) {
    const QString all[] = {c.group, c.profile, c.list, c.message};
    int filled = 0;
    for (const QString& s : all)
        filled += s.trimmed().isEmpty() ? 0 : 1;
    if (filled == 4) return {true, false};
    if (filled == 0) return {false, std::nullopt};
    return {false, false};
}

QList<RowMenuItem> rowMenu(int level, bool removed) {
    using C = RowCommand;
    switch (level) {
    case SDCentralOutline::GroupLevel:
        return {
            {C::SelectForNewMailing, QStringLiteral("Select this Sendora Group for New Mailing"), !removed},
            {C::EditGroupDescription, QStringLiteral("Edit Description of this Sendora Group"), !removed},
            {C::DeleteGroup, QStringLiteral("Delete this Sendora Group and Mailings"), !removed}};
    case SDCentralOutline::ListLevel:
        return {{C::SelectForNewMailing, QStringLiteral("Select this List for New Mailing"), !removed},
                {C::OpenList, QStringLiteral("Open this List"), !removed}};
    case SDCentralOutline::MailingLevel:
        return {{C::SelectForNewMailing, QStringLiteral("Select this Message for New Mailing"), !removed},
                {C::OpenMessage, QStringLiteral("Open this Message"), !removed},
                {C::DeleteMailing, QStringLiteral("Delete this Mailing"), true},
                {C::ShowDeliveryOptions, QStringLiteral("Show Delivery Options for this Mailing"), true},
                {C::SendMailing, QStringLiteral("Send (or Restart) this Mailing"), !removed}};
    default:
        return {};
    }
}

QString currentSentFlag(AppContext& ctx, const QString& deliveryOptions) {
    try {
        auto db = jet::Database::open(ctx.paths.systemDatabase(), jet::Database::OpenMode::ReadOnly);
        auto rs = db->openRecordset(QStringLiteral("SELECT SentFlag FROM Profile WHERE ProfileName=") +
                                    jet::quote(deliveryOptions));
        return rs->eof() ? QString() : rs->value(0).toString();
    } catch (const std::exception& e) {
        LogError(ctx, QStringLiteral("Form_Load in frmSendErrorNoAddr"), errorInfo(e), false);
        return {};
    }
}

std::optional<QString> changeSentFlag(AppContext& ctx, const QString& deliveryOptions,
                                      const QString& newFlag) {
    try {
        const QString old = currentSentFlag(ctx, deliveryOptions);
        auto db = jet::Database::open(ctx.paths.systemDatabase());
        db->execute(
            QStringLiteral("UPDATE Profile SET SentFlag = %1, SentFlagToCheck = %1 WHERE ProfileName = %2")
                .arg(jet::quote(newFlag), jet::quote(deliveryOptions)));
        return QStringLiteral("\tChanged 'Sent' text from                                %1  to%2.")
            .arg(old, newFlag);
    } catch (const std::exception& e) {
        LogError(ctx, QStringLiteral("cmdOK_Click in frmSendErrorNoAddr"), errorInfo(e), true);
        return std::nullopt;
    }
}

SDCentral::SDCentral(AppContext& ctx) : m_ctx(ctx) {}

SDCentral::~SDCentral() = default;

bool SDCentral::open() {
    try {
        m_db = jet::Database::open(m_ctx.paths.systemDatabase());
    } catch (const std::exception& e) {
        LogError(m_ctx, QStringLiteral("Form_Load") + kModule, errorInfo(e), true);
        m_db.reset();
        return false;
    }
    SetupNewFlexGrid();
    return true;
}

void SDCentral::close() {
    if (m_db) m_db->close();
    m_db.reset();
}

void SDCentral::refreshSources() {
    if (!m_db) return;
    try {
        CatalogueSnapshot cat;
        cat.groups = column(*m_db, QStringLiteral("SELECT SendoraName FROM Sendora ORDER BY SendoraName"),
                            QStringLiteral("SendoraName"), &cat.groupKeys);
        cat.profiles = column(*m_db, QStringLiteral("SELECT ProfileName FROM Profile ORDER BY ProfileName"),
                              QStringLiteral("ProfileName"), &cat.profileKeys);
        cat.lists = column(*m_db, QStringLiteral("SELECT ListName FROM List ORDER BY ListName"),
                           QStringLiteral("ListName"), &cat.listKeys);
        cat.messages = column(*m_db,
                              QStringLiteral("SELECT * FROM Message WHERE Messagename NOT LIKE "
                                             "\"%%NewMailMessage%%*\" ORDER BY MessageName;"),
                              QStringLiteral("MessageName"), &cat.messageKeys);
        auto ids = m_db->openRecordset(QStringLiteral("SELECT MailEventName FROM MailEvent"));
        for (; !ids->eof(); ids->moveNext())
            cat.mailingIds.insert(ids->value(0).toLongLong());
        m_cat = std::move(cat);
    } catch (const std::exception& e) {
        LogError(m_ctx, QStringLiteral("RefreshSources") + kModule, errorInfo(e), false);
    }
}

QStringList SDCentral::listNamesNow() {
    QSet<QString> keys;
    try {
        if (m_db)
            return column(*m_db, QStringLiteral("SELECT ListName FROM List ORDER BY ListName"),
                          QStringLiteral("ListName"), &keys);
    } catch (const std::exception& e) {
        LogError(m_ctx, QStringLiteral("cboMailingList_DropDown") + kModule, errorInfo(e), false);
    }
    return {};
}

void SDCentral::SetupNewFlexGrid() {
    refreshSources();
    std::vector<MailingRecord> records;
    try {
        if (m_db) {
            auto rs = m_db->openRecordset(QStringLiteral(
                "SELECT * FROM MailEvent ORDER BY SendoraName, ListName, MessageName, DateSent"));
            for (; !rs->eof(); rs->moveNext()) {
                MailingRecord r;
                r.id = rs->value(QStringLiteral("MailEventName")).toLongLong();
                r.group = rs->value(QStringLiteral("SendoraName")).toString();
                r.list = rs->value(QStringLiteral("ListName")).toString();
                r.message = rs->value(QStringLiteral("MessageName")).toString();
                r.profile = rs->value(QStringLiteral("Profile")).toString();
                r.dateSent = rs->value(QStringLiteral("DateSent")).toString();
                r.lastCount = optionalCount(rs->value(QStringLiteral("LastCount")));
                r.sentCount = optionalCount(rs->value(QStringLiteral("SentCount")));
                m_cat.mailingIds.insert(r.id);
                records.push_back(std::move(r));
            }
        }
    } catch (const std::exception& e) {
        LogError(m_ctx, QStringLiteral("SetupNewFlexGrid") + kModule, errorInfo(e), false);
    }
    m_outline.build(records, m_cat.groups, m_cat);
}

int SDCentral::PrepareMailing(const QString& group, const QString& list, const QString& message,
                              const QString& deliveryOptions) {
    if (!m_db) return -1;
    qint64 id = 0;
    try {
        refreshSources();
        m_ctx.settings.mailEventProfile =
            SaveSetting(m_ctx, kAppDefaults, QStringLiteral("MailEventProfile"), deliveryOptions);
        m_ctx.settings.curSendora = SaveSetting(m_ctx, kAppDefaults, QStringLiteral("CurSendora"), group);
        m_ctx.settings.curMessage = SaveSetting(m_ctx, kAppDefaults, QStringLiteral("CurMessage"), message);
        m_ctx.settings.curList = SaveSetting(m_ctx, kAppDefaults, QStringLiteral("CurList"), list);
        // One transaction, so the largest id is the row just added.
        m_db->beginTransaction();
        try {
            m_db->execute(
                QStringLiteral(
                    "INSERT INTO MailEvent (SendoraName, ListName, MessageName, Profile, SentCount) "
                    "VALUES(%1,%2,%3,%4,0)")
                    .arg(jet::quote(group), jet::quote(list), jet::quote(message),
                         jet::quote(deliveryOptions)),
                true);
            id = m_db->openRecordset(QStringLiteral("SELECT Max(MailEventName) FROM MailEvent"))
                     ->value(0)
                     .toLongLong();
            m_db->commit();
        } catch (...) {
            m_db->rollback();
            throw;
        }
    } catch (const std::exception& e) {
        LogError(m_ctx, QStringLiteral("PrepareMailing") + kModule, errorInfo(e), true);
        return -1;
    }
    m_cat.mailingIds.insert(id);
    MailingRecord r;
    r.id = id;
    r.group = group;
    r.list = list;
    r.message = message;
    r.profile = deliveryOptions;
    r.sentCount = 0; // as stored, so the row reads the same after a rebuild
    try {
        return m_outline.insertMailing(r, m_cat);
    } catch (const std::exception&) {
        m_ctx.ui->message(QStringLiteral("Error in moving Sendora Outline rows, starting at %1, by %2.")
                              .arg(m_outline.rowsInUse())
                              .arg(1),
                          Buttons::OK, Icon::Information);
        return -1;
    }
}

bool SDCentral::isSendableRow(int row) const {
    const auto info = m_outline.rowInfo(row);
    return info.level == SDCentralOutline::MailingLevel && !info.removed;
}

std::optional<MailingRow> SDCentral::mailingToSend(int row) {
    if (!isSendableRow(row)) {
        m_ctx.ui->message(kSelectMailingFirst, Buttons::OK, Icon::Information);
        return std::nullopt;
    }
    const auto info = m_outline.rowInfo(row);
    MailingRow m;
    m.id = info.id;
    m.sentCount = info.sentCount.value_or(0);
    m.lastCount = info.lastCount.value_or(0);
    m.dateSent = info.dateSent.trimmed();
    m.message = info.name;
    m.profile = info.profile;
    m.list = info.list;
    m.group = info.group;
    if (!catalogueEntryExists(m_ctx, CatalogueKind::List, m.list)) {
        m_ctx.ui->message(
            QStringLiteral("This mailing cannot be sent.  The '%1' mailing list has been deleted from "
                           "Sendora.  Please either re-create this list or create another mailing "
                           "using a valid list.")
                .arg(m.list),
            Buttons::OK, Icon::Exclamation);
        return std::nullopt;
    }
    return m;
}

bool SDCentral::selectsDirectSend(const QString& deliveryOptions) {
    MailEvent options;
    GetMEPFromDB(m_ctx, options, deliveryOptions);
    return options.direct_send;
}

int SDCentral::ReturnMailResults(qint64 mailingId, qint64 sentCount, qint64 failedCount,
                                 const QString& dateSent) {
    if (!m_db) {
        m_ctx.ui->message(QStringLiteral("Could not update Mailing results into the MailEvent database."),
                          Buttons::OK, Icon::Exclamation);
        return -1;
    }
    QString failure;
    if (!storeMailingResults(m_ctx, mailingId, sentCount, failedCount, dateSent, &failure)) {
        // A row deleted meanwhile takes nothing; figures that could not be written are said.
        if (!failure.isEmpty())
            m_ctx.ui->message(failure, Buttons::OK, Icon::Exclamation,
                              QStringLiteral("Mailing Results Not Stored"));
        return -1;
    }
    return refreshMailing(mailingId);
}

int SDCentral::refreshMailing(qint64 mailingId) {
    const auto stored = loadMailingRow(m_ctx, mailingId);
    if (!stored) return -1;
    m_outline.setResults(mailingId, stored->dateSent, stored->lastCount, stored->sentCount);
    return m_outline.findMailing(mailingId);
}

int SDCentral::AddSendoraToSDDisplay(const QString& group, bool refresh) {
    if (refresh) refreshSources();
    return m_outline.addGroup(group, m_cat);
}

void SDCentral::RemoveSendoraFromSDDisplay(const QString& group) {
    try {
        if (m_db)
            m_db->execute(
                QStringLiteral("DELETE * FROM MailEvent WHERE SendoraName = %1").arg(jet::quote(group)));
    } catch (const std::exception& e) {
        LogError(m_ctx, QStringLiteral("RemoveSendoraFromSDDisplay") + kModule, errorInfo(e), false);
    }
    refreshSources();
    m_outline.removeGroup(group);
}

void SDCentral::UpdateItemInSDDisplay(const QString& name, int level) {
    m_outline.remark(name, level, m_cat);
}

std::optional<QString> SDCentral::selectForNewMailing(int row) {
    const auto info = m_outline.rowInfo(row);
    refreshSources();
    QString removedText;
    switch (info.level) {
    case SDCentralOutline::GroupLevel:
        if (m_cat.hasGroup(info.name)) return info.name;
        removedText = QStringLiteral("This Sendora has been removed.");
        break;
    case SDCentralOutline::ListLevel:
        if (m_cat.hasList(info.name)) return info.name;
        removedText = QStringLiteral("This List has been removed from Sendora.");
        break;
    case SDCentralOutline::MailingLevel:
        if (m_cat.hasMessage(info.name)) return info.name;
        removedText = QStringLiteral("This Message has been removed from Sendora.");
        break;
    default:
        return std::nullopt;
    }
    m_ctx.ui->message(
        QStringLiteral("Cannot select '%1' for a new mailing.  %2").arg(properCase(info.name), removedText),
        Buttons::OK, Icon::Information);
    return std::nullopt;
}

bool SDCentral::openList(int row) {
    const QString name = m_outline.rowInfo(row).name;
    if (catalogueEntryExists(m_ctx, CatalogueKind::List, name)) return ShowListFromName(m_ctx, name);
    m_ctx.ui->message(
        QStringLiteral("Cannot open '%1'.  This List has been removed from Sendora.").arg(properCase(name)),
        Buttons::OK, Icon::Information);
    return false;
}

bool SDCentral::openMessage(int row) {
    const QString name = m_outline.rowInfo(row).name;
    refreshSources();
    if (m_cat.hasMessage(name)) return m_ctx.windows().openMessageWindow(name);
    m_ctx.ui->message(QStringLiteral("Cannot open '%1'.  This Message has been removed from Sendora.")
                          .arg(properCase(name)),
                      Buttons::OK, Icon::Information);
    return false;
}

bool SDCentral::deleteGroup(int row) {
    const auto info = m_outline.rowInfo(row);
    if (info.level != SDCentralOutline::GroupLevel) return false;
    if (m_ctx.ui->message(QStringLiteral("Are you sure you wish to delete the group '%1'?").arg(info.name),
                          Buttons::YesNo, Icon::Question) != Answer::Yes)
        return false;
    if (!DeleteGroup(m_ctx, info.name)) return false;
    // The catalogue tells the main window, which tells us; without one the row must go here.
    RemoveSendoraFromSDDisplay(info.name);
    return true;
}

bool SDCentral::mailingExists(qint64 id) {
    try {
        return m_db && !m_db->openRecordset(
                                QStringLiteral("SELECT MailEventName FROM MailEvent WHERE MailEventName = %1")
                                    .arg(id))
                            ->eof();
    } catch (const std::exception& e) {
        LogError(m_ctx, QStringLiteral("mnuDeleteMailing_Click") + kModule, errorInfo(e), false);
        return false;
    }
}

bool SDCentral::deleteMailing(int row) {
    const auto info = m_outline.rowInfo(row);
    if (info.level != SDCentralOutline::MailingLevel) {
        m_ctx.ui->message(
            QStringLiteral("Cannot delete the mailing.  The selected item is not a mail message."),
            Buttons::OK, Icon::Information);
        return false;
    }
    if (!mailingExists(info.id)) {
        m_ctx.ui->message(
            QStringLiteral("Cannot delete the mailing for '%1' message.  This mailing has already been "
                           "deleted.")
                .arg(info.name),
            Buttons::OK, Icon::Exclamation);
        return false;
    }
    if (m_ctx.ui->message(
            QStringLiteral("Delete the mailing for '%1' message?\r\n\r\nNote this deletes only the "
                           "mailing and not the list or message.")
                .arg(info.name),
            Buttons::OKCancel, Icon::Information, QStringLiteral("Delete Mailing")) != Answer::OK)
        return false;
    try {
        m_db->execute(QStringLiteral("DELETE * FROM MailEvent WHERE MailEventName = %1").arg(info.id));
    } catch (const std::exception& e) {
        LogError(m_ctx, QStringLiteral("mnuDeleteMailing_Click") + kModule, errorInfo(e), true);
        return false;
    }
    m_cat.mailingIds.remove(info.id);
    m_outline.removeMailing(info.id);
    return true;
}

bool SDCentral::showDeliveryOptions(int row) {
    const QString profile = m_outline.rowInfo(row).profile;
    if (profile.isEmpty()) {
        m_ctx.ui->message(
            QStringLiteral("Cannot display the Mailing Options.  The selected item does not have a valid "
                           "Mailing Options defined for it."),
            Buttons::OK, Icon::Exclamation);
        return false;
    }
    return m_ctx.windows().editDeliveryOptions(profile);
}

std::optional<qint64> SDCentral::mailingToSchedule(int row) {
    if (!isSendableRow(row)) {
        m_ctx.ui->message(kSelectMailingFirst, Buttons::OK, Icon::Information);
        return std::nullopt;
    }
    return m_outline.rowInfo(row).id;
}

} // namespace sendora
