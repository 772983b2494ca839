#pragma once
// The mailing centre without its widgets: the outline built from the system database,
// the choices for a new mailing and their button rules, preparing a mailing, the checks
// before a send, the results after it, and the row commands with their messages. Every
// message goes through the UI seam; the window only shows and forwards.

#include "mailing/relay/RelaySend.h"
#include "screens/SDCentralOutline.h"

#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

namespace jet {
class Database;
}

namespace sendora {

struct AppContext;

// "first letter of each word capitalised", the rest lower case.
QString properCase(const QString& text);

struct NewMailingChoices {
    QString group;
    QString profile;
    QString list;
    QString message;
};

// What the choices make of the two buttons. send is empty when it stays as it is.
struct ChoiceButtons {
    bool prepare = false;
    std::optional<bool> send;
};
ChoiceButtons choiceButtons(const NewMailingChoices& c);

// The commands of the rows' context menus; menus carry these ids, never their captions.
enum class RowCommand {
    SelectForNewMailing,
    EditGroupDescription,
    DeleteGroup,
    OpenList,
    OpenMessage,
    DeleteMailing,
    ShowDeliveryOptions,
    SendMailing
};

// Context menu of a row: its commands, captions and which of them are enabled.
struct RowMenuItem {
    RowCommand command;
    QString caption;
    bool enabled = true;
};
QList<RowMenuItem> rowMenu(int level, bool removed);

// The empty-selection explanation of a send: the delivery options' current "Sent" flag,
// and the change of it (SentFlag and SentFlagToCheck) with the note that records it.
QString currentSentFlag(AppContext& ctx, const QString& deliveryOptions);
std::optional<QString> changeSentFlag(AppContext& ctx, const QString& deliveryOptions,
                                      const QString& newFlag);

class SDCentral {
public:
    explicit SDCentral(AppContext& ctx);
    ~SDCentral();

    // Opens the system database, reads the sources and builds the outline.
    bool open();
    void close();
    bool isOpen() const { return bool(m_db); }

    SDCentralOutline& outline() { return m_outline; }
    const CatalogueSnapshot& catalogue() const { return m_cat; }

    // Re-reads the catalogue tables (one query each).
    void refreshSources();
    // The list choice's drop-down, read afresh each time it opens.
    QStringList listNamesNow();
    // Reads MailEvent in outline order and rebuilds the whole outline.
    void SetupNewFlexGrid();

    // Adds the MailEvent row and its outline row; -1 when it failed (logged).
    int PrepareMailing(const QString& group, const QString& list, const QString& message,
                       const QString& deliveryOptions);

    // A level-2 row that is not removed can be sent, scheduled and opened.
    bool isSendableRow(int row) const;
    // The checks before a send: the mailing of the row, or nothing after a message said why.
    std::optional<MailingRow> mailingToSend(int row);
    // Whether the row's mailing was sent before (the send-again warning applies).
    bool sentBefore(const MailingRow& m) const { return !m.dateSent.trimmed().isEmpty(); }
    // Whether the delivery options of that name select direct send.
    bool selectsDirectSend(const QString& deliveryOptions);

    // A send's figures added to the MailEvent row, then the row's cells; the row, or -1.
    int ReturnMailResults(qint64 mailingId, qint64 sentCount, qint64 failedCount, const QString& dateSent);
    // The stored figures read back into the row's cells (the send screen stores them itself).
    int refreshMailing(qint64 mailingId);

    int AddSendoraToSDDisplay(const QString& group, bool refresh);
    // Deletes the group's mailings and drops its rows.
    void RemoveSendoraFromSDDisplay(const QString& group);
    void UpdateItemInSDDisplay(const QString& name, int level);

    // Row commands. Each shows its own message when it cannot run.
    // Select for new mailing: the name to put into the choice, when it still exists.
    std::optional<QString> selectForNewMailing(int row);
    bool openList(int row);
    bool openMessage(int row);
    // Asks, then deletes the group through the catalogue.
    bool deleteGroup(int row);
    // Asks, then deletes the mailing and its row.
    bool deleteMailing(int row);
    // The delivery options wizard on the row's set.
    bool showDeliveryOptions(int row);
    // The scheduler's check: the id to schedule, or nothing after the message.
    std::optional<qint64> mailingToSchedule(int row);

    static const QString kSelectMailingFirst;

private:
    bool mailingExists(qint64 id);

    AppContext& m_ctx;
    std::unique_ptr<jet::Database> m_db;
    SDCentralOutline m_outline;
    CatalogueSnapshot m_cat;
};

} // namespace sendora
