#include "core/Catalogue.h"

#include "components/jet/Jet.h"
#include "core/AppContext.h"
#include "core/ErrorLog.h"
#include "core/ListActions.h"
#include "core/SystemDatabase.h"

#include <QFileInfo>

namespace sendora {

namespace {

const QString kDialog = QStringLiteral(" in frmOpenDelete");

QString groupMissing(const QString& name) {
    return QStringLiteral("The Sendora Group '%1' does not exist, it could have been deleted already.")
        .arg(name);
}

std::unique_ptr<jet::Database> systemDb(AppContext& ctx,
                                        jet::Database::OpenMode mode = jet::Database::OpenMode::ReadWrite) {
    return jet::Database::open(ctx.paths.systemDatabase(), mode);
}

} // namespace

const QString kInvalidObjectNameMessage = QStringLiteral(
    "Please Enter a Valid Filename. A valid filename cannot contain the following characters:  \r\n"
    "    \"  *  ?  /  \\  |  :  ;");

KindColumns kindColumns(CatalogueKind kind) {
    switch (kind) {
    case CatalogueKind::Message:
        return {"Message", "MessageName", "MessageDescription"};
    case CatalogueKind::List:
        return {"List", "ListName", "ListDescription"};
    case CatalogueKind::DeliveryOptions:
        return {"Profile", "ProfileName", "ProfileDescription"};
    case CatalogueKind::Group:
        return {"Sendora", "SendoraName", "SendoraDescription"};
    }
    return {};
}

QString cataloguePrompt(CatalogueKind kind, CatalogueOperation op) {
    // Indexed [kind][operation] with operations in Save, Open, Delete order.
    static const char* const prompts[4][3] = {
        {"Select a name to save your message as:", "Select a message or messages from the list to open:",
         "Select a message or messages from the list to delete:"},
        {"Select a name to save your list as:", "Select a mailing list or lists from the list to open:",
         "Select a mailing list or lists from the list to delete:"},
        {"", "Select a set of delivery options from the list to open:",
         "Select a set or sets of delivery options from the list to delete:"},
        {"Select a name for your new sendora group:", "Select a sendora group from the list to edit:",
         "Select a sendora group or groups from the list to delete:"},
    };
    return QString::fromLatin1(prompts[int(kind)][int(op)]);
}

QString catalogueTitle(CatalogueKind kind, CatalogueOperation op) {
    static const char* const things[4] = {"Message", "Mailing List", "Delivery Options", "Sendora Group"};
    static const char* const verbs[3] = {"Save", "Open", "Delete"};
    if (kind == CatalogueKind::Group && op == CatalogueOperation::Open)
        return QStringLiteral("Edit Sendora Group");
    if (kind == CatalogueKind::Group && op == CatalogueOperation::Save)
        return QStringLiteral("New Sendora Group");
    return QStringLiteral("%1 %2").arg(QLatin1String(verbs[int(op)]), QLatin1String(things[int(kind)]));
}

DialogButtonCaptions catalogueButtons(CatalogueKind kind, CatalogueOperation op) {
    if (op == CatalogueOperation::Save)
        return {QStringLiteral("&Save"),
                kind == CatalogueKind::Group ? QString() : QStringLiteral("&Don't Save"),
                QStringLiteral("&Cancel")};
    if (kind == CatalogueKind::Group && op == CatalogueOperation::Open)
        return {QStringLiteral("Edit"), {}, QStringLiteral("&Cancel")};
    return {QStringLiteral("O&k"), {}, QStringLiteral("&Cancel")};
}

bool IsValidObjectName(const QString& name) {
    if (name.startsWith(u'\'')) return false;
    for (const QChar c : QStringLiteral("\"*?/\\|:;"))
        if (name.contains(c)) return false;
    return true;
}

QStringList catalogueNames(AppContext& ctx, CatalogueKind kind) {
    const KindColumns k = kindColumns(kind);
    QStringList names;
    try {
        auto db = systemDb(ctx, jet::Database::OpenMode::ReadOnly);
        auto rs = db->openRecordset(
            QStringLiteral("SELECT * FROM %1 ORDER BY %2;").arg(jet::bracket(k.table), jet::bracket(k.key)));
        for (; !rs->eof(); rs->moveNext()) {
            const QString name = rs->value(k.key).toString();
            if (!(kind == CatalogueKind::Message && name.startsWith(kNewMessagePrefix))) names << name;
        }
    } catch (const std::exception& e) {
        LogError(ctx, QStringLiteral("FillList") + kDialog, errorInfo(e), false);
    }
    return names;
}

QString catalogueDescription(AppContext& ctx, CatalogueKind kind, const QString& name) {
    const KindColumns k = kindColumns(kind);
    try {
        auto db = systemDb(ctx, jet::Database::OpenMode::ReadOnly);
        auto rs = db->openRecordset(QStringLiteral("SELECT %1 as [SDDescription] FROM %2 WHERE %3 = %4;")
                                        .arg(jet::bracket(k.description), jet::bracket(k.table),
                                             jet::bracket(k.key), jet::quote(name)));
        return rs->eof() ? QString() : rs->value(QStringLiteral("SDDescription")).toString();
    } catch (const std::exception& e) {
        LogError(ctx, QStringLiteral("ShowDescription") + kDialog, errorInfo(e), false);
        return {};
    }
}

bool catalogueEntryExists(AppContext& ctx, CatalogueKind kind, const QString& name) {
    const KindColumns k = kindColumns(kind);
    return CountRecordsBySpecificStringValue(ctx, ctx.paths.systemDatabase(), k.table, k.key, name) > 0;
}

bool isProtectedDeliveryOptions(const QString& name) {
    return name == kDefaultProfileName;
}

bool isProtectedList(const QString& name) {
    return name.compare(kGlobalRemoveListName, Qt::CaseInsensitive) == 0;
}

// ---- groups

bool CreateGroup(AppContext& ctx, const QString& name, const QString& description) {
    if (catalogueEntryExists(ctx, CatalogueKind::Group, name)) {
        ctx.ui->message(
            QStringLiteral("A Sendora Group with this name already exists.  Please choose a new name."));
        return false;
    }
    try {
        systemDb(ctx)->execute(
            QStringLiteral("INSERT INTO Sendora([SendoraName],[SendoraDescription]) Values(%1,%2);")
                .arg(jet::quote(name), jet::quote(description)));
    } catch (const std::exception& e) {
        LogError(ctx, QStringLiteral("CreateGroup") + kDialog, errorInfo(e), true);
        return false;
    }
    ctx.windows().groupCreated(name);
    return true;
}

bool UpdateGroupDescription(AppContext& ctx, const QString& name, const QString& description) {
    if (!catalogueEntryExists(ctx, CatalogueKind::Group, name)) {
        ctx.ui->message(groupMissing(name));
        return false;
    }
    try {
        systemDb(ctx)->execute(
            QStringLiteral("UPDATE Sendora SET [SendoraDescription] = %1 WHERE [SendoraName] = %2;")
                .arg(jet::quote(description), jet::quote(name)));
    } catch (const std::exception& e) {
        LogError(ctx, QStringLiteral("UpdateGroupDescription") + kDialog, errorInfo(e), true);
        return false;
    }
    ctx.windows().groupChanged(name);
    return true;
}

bool DeleteGroup(AppContext& ctx, const QString& name) {
    if (!catalogueEntryExists(ctx, CatalogueKind::Group, name)) {
        ctx.ui->message(groupMissing(name), Buttons::OK);
        return false;
    }
    try {
        auto db = systemDb(ctx);
        db->execute(
            QStringLiteral("DELETE * FROM [Sendora] WHERE [SendoraName] = %1;").arg(jet::quote(name)));
        // The group's mailings go with it even when the mailing centre is not open to remove them.
        db->execute(
            QStringLiteral("DELETE * FROM [MailEvent] WHERE [SendoraName] = %1;").arg(jet::quote(name)));
    } catch (const std::exception& e) {
        LogError(ctx, QStringLiteral("DeleteGroup") + kDialog, errorInfo(e), true);
        return false;
    }
    ctx.windows().groupDeleted(name);
    return true;
}

int DeleteGroups(AppContext& ctx, const QStringList& names) {
    if (names.isEmpty()) {
        ctx.ui->message(QStringLiteral("Please select a Group or Groups to delete."));
        return 0;
    }
    const QString question =
        names.size() == 1
            ? QStringLiteral("Delete '%1' Sendora Group and all its mailings?").arg(names.first())
            : QStringLiteral("Delete the %1 Sendora Groups and all their mailings?").arg(names.size());
    if (ctx.ui->message(question, Buttons::YesNo, Icon::Question) != Answer::Yes) return 0;
    int deleted = 0;
    for (const QString& name : names)
        deleted += DeleteGroup(ctx, name) ? 1 : 0;
    return deleted;
}

// ---- messages

bool OpenMessage(AppContext& ctx, const QString& name) {
    try {
        return ctx.windows().openMessageWindow(name);
    } catch (const std::exception& e) {
        LogError(ctx, QStringLiteral("OpenMessage") + kDialog, errorInfo(e), true);
        return false;
    }
}

bool MessageSave(AppContext& ctx, const QString& oldName, const QString& newName, const QString& description,
                 bool reopen) {
    // A change of description alone keeps the name; only a different name must be free.
    const bool renaming = oldName.compare(newName, Qt::CaseInsensitive) != 0;
    if (renaming && catalogueEntryExists(ctx, CatalogueKind::Message, newName)) {
        ctx.ui->message(QStringLiteral("There is already a message with that name, please choose another."));
        return false;
    }
    try {
        systemDb(ctx)->execute(
            QStringLiteral("UPDATE [Message] SET [Messagename] = %1, [Messagedescription] = %2 "
                           "WHERE [messagename] = %3;")
                .arg(jet::quote(newName), jet::quote(description), jet::quote(oldName)));
    } catch (const std::exception& e) {
        LogError(ctx, QStringLiteral("Messagesave") + kDialog, errorInfo(e), true);
        return false;
    }
    if (reopen) OpenMessage(ctx, newName);
    ctx.windows().messageCatalogueChanged(newName);
    return true;
}

bool MessageSaveAs(AppContext& ctx, const QString& oldName, const QString& newName,
                   const QString& description) {
    if (catalogueEntryExists(ctx, CatalogueKind::Message, newName)) {
        ctx.ui->message(QStringLiteral("The New Name already exists, please choose another."));
        return false;
    }
    try {
        auto db = systemDb(ctx);
        try {
            db->execute(QStringLiteral("DROP TABLE xMessage;"));
        } catch (const jet::Error&) {
            // Normally it is not there.
        }
        db->execute(QStringLiteral("SELECT * INTO xMessage FROM Message WHERE [messagename] = %1;")
                        .arg(jet::quote(oldName)));
        db->execute(
            QStringLiteral("UPDATE [xMessage] SET [messagename] = %1, [messagedescription] = %2 WHERE "
                           "[messagename] = %3;")
                .arg(jet::quote(newName), jet::quote(description), jet::quote(oldName)));
        db->execute(QStringLiteral("INSERT INTO Message Select * From xMessage WHERE [messagename] = %1;")
                        .arg(jet::quote(newName)));
    } catch (const std::exception& e) {
        LogError(ctx, QStringLiteral("MessageSaveAs") + kDialog, errorInfo(e), true);
        return false;
    }
    ctx.windows().messageCatalogueChanged(newName);
    return true;
}

bool DeleteMessage(AppContext& ctx, const QString& name) {
    try {
        ctx.windows().closeMessageWindows(name);
        systemDb(ctx)->execute(
            QStringLiteral("DELETE FROM Message WHERE MessageName = %1;").arg(jet::quote(name)));
    } catch (const std::exception& e) {
        LogError(ctx, QStringLiteral("DeleteMessage in frmMsgObject"), errorInfo(e), true);
        return false;
    }
    ctx.windows().messageCatalogueChanged(name);
    return true;
}

int DeleteMessages(AppContext& ctx, const QStringList& names) {
    if (names.isEmpty()) {
        ctx.ui->message(QStringLiteral("Please select a message or messages to delete."));
        return 0;
    }
    if (ctx.ui->message(QStringLiteral("Delete the %1 message(s) ?").arg(names.size()), Buttons::YesNo,
                        Icon::Question) != Answer::Yes)
        return 0;
    int deleted = 0;
    for (const QString& name : names)
        deleted += DeleteMessage(ctx, name) ? 1 : 0;
    return deleted;
}

// ---- delivery options

bool NewDeliveryOptions(AppContext& ctx) {
    return ctx.windows().openDeliveryOptionsWizard(QString());
}

bool OpenDeliveryOptions(AppContext& ctx, const QString& name) {
    return ctx.windows().editDeliveryOptions(name);
}

bool DeleteDeliveryOptions(AppContext& ctx, const QString& name) {
    if (!catalogueEntryExists(ctx, CatalogueKind::DeliveryOptions, name)) {
        ctx.ui->message(QStringLiteral("This set of delivery options does not exist."));
        return false;
    }
    try {
        systemDb(ctx)->execute(
            QStringLiteral("DELETE * FROM [Profile] WHERE [Profilename] = %1;").arg(jet::quote(name)));
    } catch (const std::exception& e) {
        LogError(ctx, QStringLiteral("DeleteDeliveryOptions") + kDialog, errorInfo(e), true);
        return false;
    }
    ctx.windows().deliveryOptionsChanged(name);
    return true;
}

int DeleteDeliveryOptionsSets(AppContext& ctx, const QStringList& names) {
    if (names.isEmpty()) {
        ctx.ui->message(QStringLiteral("Please select a set or sets of delivery options to delete."));
        return 0;
    }
    int deleted = 0;
    for (const QString& name : names) {
        if (isProtectedDeliveryOptions(name)) {
            ctx.ui->message(
                QStringLiteral("The 'Default Delivery Options' cannot be deleted.  \r\nIt can only be "
                               "modified and is required by Sendora \r\nto provide default values for "
                               "any new Delivery Options."),
                Buttons::OK, Icon::Information);
            continue;
        }
        if (ctx.ui->message(QStringLiteral("Delete Sendora Delivery Options '%1'?").arg(name), Buttons::YesNo,
                            Icon::Question) == Answer::Yes)
            deleted += DeleteDeliveryOptions(ctx, name) ? 1 : 0;
    }
    return deleted;
}

// ---- lists

bool ShowListFromName(AppContext& ctx, const QString& name) {
    const QString fileName = GetListPath(ctx, name);
    const QString path = ctx.paths.listFile(fileName.isEmpty() ? name + QStringLiteral(".mdb") : fileName);
    if (fileName.isEmpty() || !QFileInfo::exists(path)) {
        ctx.ui->message(
            QStringLiteral("Cannot open the '%1' list.\r\nThe corresponding address file, '%2', was not "
                           "found.")
                .arg(name, path),
            Buttons::OK, Icon::Exclamation);
        return false;
    }
    ctx.windows().openListWindow(name, path);
    return true;
}

int OpenLists(AppContext& ctx, const QStringList& names) {
    if (names.isEmpty()) {
        ctx.ui->message(QStringLiteral("Please select a mailing list"));
        return 0;
    }
    int opened = 0;
    for (const QString& name : names)
        opened += ShowListFromName(ctx, name) ? 1 : 0;
    return opened;
}

bool SaveListAs(AppContext& ctx, const QString& sourceFile, const QString& name, const QString& description) {
    if (name.trimmed().isEmpty()) {
        ctx.ui->message(QStringLiteral("Please supply a name for this mailing list"), Buttons::OK,
                        Icon::Information);
        return false;
    }
    return SaveList(ctx, sourceFile, name, description, true);
}

int DeleteLists(AppContext& ctx, const QStringList& names) {
    for (const QString& name : names)
        if (isProtectedList(name)) {
            ctx.ui->message(QStringLiteral("You can not delete the Global Remove List"), Buttons::OK);
            return 0;
        }
    if (names.isEmpty()) {
        ctx.ui->message(QStringLiteral("Please select a mailing list"));
        return 0;
    }
    if (ctx.ui->message(
            QStringLiteral("You are about to delete %1 list(s).\r\nThis action is irreversible. Are you "
                           "sure you want to continue?")
                .arg(names.size()),
            Buttons::YesNo, Icon::Question, QStringLiteral("Delete Confirmation")) != Answer::Yes)
        return 0;
    int deleted = 0;
    for (const QString& name : names)
        deleted += DeleteList(ctx, name) ? 1 : 0;
    return deleted;
}

// ---- input box

std::optional<QString> SDInputBox(UserInterface& ui, const QString& title, const QString& prompt,
                                  const QString& defaultText) {
    QString start = defaultText;
    for (;;) {
        const auto answer = ui.inputBox(prompt, title, start);
        if (!answer) return std::nullopt;
        const QString text = answer->trimmed();
        const QString refusal = refusedColumnName(text);
        if (refusal.isEmpty()) return text;
        ui.message(refusal, Buttons::OK, Icon::Exclamation);
        start = text;
    }
}

// ---- chooser windows

ChooserDefinition chooserDefinition(ChooserKind kind) {
    const QString several = QStringLiteral("Please open one or more mailing lists to use these commands");
    const QString one = QStringLiteral("You must have a list open for this operation");
    switch (kind) {
    case ChooserKind::GroupOptions:
        return {"frmSendoraGroupOptions",
                "Sendora Group Options",
                {{"Create a New Group", "id_NewSD", {}},
                 {"Edit a Group Description", "id_OpenSD", {}},
                 {"Delete a Group", "id_DeleteSD", {}}}};
    case ChooserKind::DeliveryOptions:
        return {"EmailOptions",
                "Sendora Mail Delivery Options",
                {{"Create a Set of Delivery Options", "id_FileNewSendoraSetup", {}},
                 {"Edit a Set of Delivery Options", "id_FileOpenSendoraSetup", {}},
                 {"Delete a Set of Delivery Options", "id_FileDeleteSendoraSetup", {}}}};
    case ChooserKind::NewList:
        return {"frmNewSelect",
                "New Mailing List",
                {{"Import from a database server", "id_ImportDatabaseServer", {}},
                 {"Import from a contact database", "id_ToolsImportContactDatabase", {}},
                 {"Import from a mailbox file", "id_ToolsImportMailbox", {}},
                 {"Import from a POP account", "id_ImportPOPAccount", {}},
                 {"Create a blank list", "id_CreateBlankList", {}}}};
    case ChooserKind::ManageLists:
        return {"frmManageLists",
                "List Management Tools",
                {{"Global Remove", "id_ToolsGlobalRemove", one},
                 {"Verification of List", "id_ToolsVerifyList", {}},
                 {"Direct Send Failure Manager", "id_ToolsDirectSendFailures", {}},
                 {"Subscription Manager", "id_ToolsSubscriptionManager", {}},
                 {"Find Duplicates", "id_ToolsFindDuplicates", one},
                 {"Export list to text file", "id_ToolsExportList", one},
                 {"Returned Mail Manager", "id_ToolsReturnedMail", {}},
                 {"Select from list", "id_ToolsFilter", one},
                 {"Merge lists", "id_ToolsMergeLists", several},
                 {"Clean one list from another", "id_ToolsCleanList", several}}};
    }
    return {};
}

// ---- the dialog's buttons

OpenDeleteModel::OpenDeleteModel(AppContext& ctx, CatalogueKind kind, CatalogueOperation op)
    : m_ctx(ctx), m_kind(kind), m_op(op) {}

bool OpenDeleteModel::descriptionEditable() const {
    return m_op == CatalogueOperation::Save ||
           (m_kind == CatalogueKind::Group && m_op == CatalogueOperation::Open);
}

bool OpenDeleteModel::multiSelect() const {
    if (m_op == CatalogueOperation::Delete) return true;
    return m_op == CatalogueOperation::Open &&
           (m_kind == CatalogueKind::Message || m_kind == CatalogueKind::List);
}

bool OpenDeleteModel::save(const QString& name, const QString& description) {
    switch (m_kind) {
    case CatalogueKind::Group:
        return CreateGroup(m_ctx, name, description);
    case CatalogueKind::List:
        return SaveListAs(m_ctx, sourceFile, name, description);
    case CatalogueKind::Message:
        return saveAs ? MessageSaveAs(m_ctx, currentName, name, description)
                      : MessageSave(m_ctx, currentName, name, description, true);
    case CatalogueKind::DeliveryOptions:
        break;
    }
    return false;
}

bool OpenDeleteModel::accept(const QStringList& selected, const QString& typedName,
                             const QString& description) {
    UserInterface& ui = *m_ctx.ui;
    switch (m_op) {
    case CatalogueOperation::Save: {
        if (!IsValidObjectName(typedName)) {
            ui.message(kInvalidObjectNameMessage, Buttons::OK, Icon::Information);
            return false;
        }
        const QString name = typedName.trimmed();
        if (name.isEmpty() && m_kind != CatalogueKind::List) {
            ui.message(m_kind == CatalogueKind::Group
                           ? QStringLiteral("Please supply a name for this sendora group")
                           : QStringLiteral("Please supply a name for this message"),
                       Buttons::OK, Icon::Information);
            return false;
        }
        if (!save(name, description)) return false;
        m_savedName = name;
        m_result = SaveResult::Saved;
        return true;
    }
    case CatalogueOperation::Open:
        if (selected.isEmpty()) {
            static const char* const texts[4] = {
                "Please select a message to open.", "Please select a mailing list",
                "Please select a set of delivery options to open.", "Please select a sendora group to edit."};
            ui.message(QString::fromLatin1(texts[int(m_kind)]));
            return false;
        }
        switch (m_kind) {
        case CatalogueKind::Group:
            UpdateGroupDescription(m_ctx, selected.first(), description);
            break;
        case CatalogueKind::DeliveryOptions:
            OpenDeliveryOptions(m_ctx, selected.first());
            break;
        case CatalogueKind::List:
            OpenLists(m_ctx, selected);
            break;
        case CatalogueKind::Message:
            for (const QString& name : selected)
                OpenMessage(m_ctx, name);
            break;
        }
        return true;
    case CatalogueOperation::Delete:
        switch (m_kind) {
        case CatalogueKind::Group:
            DeleteGroups(m_ctx, selected);
            break;
        case CatalogueKind::Message:
            DeleteMessages(m_ctx, selected);
            break;
        case CatalogueKind::List:
            DeleteLists(m_ctx, selected);
            break;
        case CatalogueKind::DeliveryOptions:
            DeleteDeliveryOptionsSets(m_ctx, selected);
            break;
        }
        return !selected.isEmpty();
    }
    return false;
}

} // namespace sendora
