#include "authoring/MessagePreview.h"

#include "authoring/EditorRules.h"
#include "authoring/MessageStore.h"
#include "components/jet/Jet.h"
#include "core/AppContext.h"
#include "core/ErrorLog.h"
#include "mailing/MailEvent.h"
#include "mailing/SendMDBList.h"
#include "mailing/compose/ListMessageSource.h"

#include <QFileInfo>

namespace sendora {

const QString kPreviewChooseListMessage = QStringLiteral("Please choose a valid list.");
const QString kPreviewNoAddressesMessage =
    QStringLiteral("There are no addresses to preview this message with.");
const QString kPreviewInitFailedMessage =
    QStringLiteral("An error has occured while initializing the preview messages screen.");

QString previewListNotFoundMessage(const QString& listName) {
    return QStringLiteral(
               "The addresslist '%1' could not be found.\r\nYou need a valid list in order to use the "
               "preview function.")
        .arg(listName);
}

QString PreviewPage::counterText() const {
    return QString::number(position) + QStringLiteral(" of ") + QString::number(count);
}

struct MessagePreview::Impl {
    QString name;
    int sendType = 0;
    // The same objects `sendora-cli compose` builds, with the default delivery options in
    // place of a mailing's.
    MailEvent options;
    std::unique_ptr<SendMDBList> cursor;
    std::unique_ptr<ListMessageSource> messages;
    // The address cursor: row ids in EAddress order, each row read when it is shown.
    std::unique_ptr<jet::Database> list;
    std::unique_ptr<jet::Statement> fetch;
    QVector<qint64> ids;
};

MessagePreview::MessagePreview(AppContext& ctx) : d(std::make_unique<Impl>()), m_ctx(ctx) {}
MessagePreview::~MessagePreview() = default;

Notice MessagePreview::prepare(const QString& messageName, const QString& listName, const QDateTime& now) {
    if (listName == kNoList || listName.isEmpty()) return information(kPreviewChooseListMessage);
    d->name = messageName;
    try {
        const auto message = MessageStore(m_ctx).read(messageName);
        if (!message) return information(kPreviewInitFailedMessage);
        d->sendType = message->sendType;

        QString listPath;
        {
            auto sdr = jet::Database::open(m_ctx.paths.systemDatabase(), jet::Database::OpenMode::ReadOnly);
            auto rs = sdr->openRecordset(
                QStringLiteral("SELECT * FROM List WHERE ListName = %1;").arg(jet::quote(listName)));
            if (!rs->eof()) listPath = rs->value(QStringLiteral("ListPath")).toString();
        }
        if (!listPath.isEmpty() && QFileInfo(listPath).isRelative())
            listPath = m_ctx.paths.listFile(listPath);
        if (listPath.isEmpty() || !QFileInfo(listPath).isFile())
            return information(previewListNotFoundMessage(listName));

        d->list = jet::Database::open(listPath, jet::Database::OpenMode::ReadOnly);
        d->ids = d->list->readRowIds(QStringLiteral("SELECT rowid FROM AddressList ORDER BY EAddress;"));
        if (d->ids.isEmpty()) {
            d->list.reset();
            return information(kPreviewNoAddressesMessage);
        }
        d->fetch = d->list->prepareStatement(
            QStringLiteral("SELECT EAddress FROM AddressList WHERE rowid = ") + jet::param(1));

        GetMEPFromDB(m_ctx, d->options, m_ctx.defaultProfileName);
        d->cursor = std::make_unique<SendMDBList>(m_ctx, d->options);
        d->cursor->AddrListName = listName;
        d->cursor->MsgName = messageName;
        d->cursor->MailOptionsName = m_ctx.defaultProfileName;
        if (!d->cursor->openMessageAndList()) return information(kPreviewInitFailedMessage);
        QString sender = d->options.From.trimmed();
        sender.removeIf([](QChar c) { return c.unicode() < 33; });
        d->messages = std::make_unique<ListMessageSource>(m_ctx, *d->cursor);
        // Invalid tags are asked about as before a send; the preview shows the message either way.
        d->messages->prepare(sender, d->options.ReplyTo.trimmed(), now, {});
        m_position = 1;
        return {};
    } catch (const std::exception& e) {
        LogError(m_ctx, QStringLiteral("PreviewMessage in frmMessagePreview"), errorInfo(e), false);
        d->list.reset();
        return {kPreviewInitFailedMessage, Icon::Information, kAppTitle};
    }
}

QString MessagePreview::caption() const {
    return QStringLiteral("Preview Message: ") + d->name;
}

bool MessagePreview::textTabEnabled() const {
    return d->sendType != 1;
}

bool MessagePreview::htmlTabEnabled() const {
    return d->sendType == 1 || d->sendType == 2;
}

int MessagePreview::firstTab() const {
    return textTabEnabled() ? 0 : 1;
}

qint64 MessagePreview::count() const {
    return d->ids.size();
}

bool MessagePreview::next() {
    if (m_position >= count()) return false;
    ++m_position;
    return true;
}

bool MessagePreview::previous() {
    if (m_position <= 1) return false;
    --m_position;
    return true;
}

bool MessagePreview::moveTo(qint64 position) {
    if (position < 1 || position > count() || position == m_position) return false;
    m_position = position;
    return true;
}

PreviewPage MessagePreview::current() {
    PreviewPage page;
    if (!d->messages || m_position < 1 || m_position > count()) return page;
    try {
        d->fetch->bind(1, d->ids[m_position - 1]);
        if (!d->fetch->first()) return page; // the row went away since the list was opened
        page.address = d->fetch->value(0).toString();
        d->fetch->next();
        page.data = d->messages->messageFor(page.address);
        page.message = readMime(page.data);
        page.position = m_position;
        page.count = count();
    } catch (const std::exception& e) {
        LogError(m_ctx, QStringLiteral("PreviewCurrentAddress in frmMessagePreview"), errorInfo(e), false);
        return {};
    }
    return page;
}

} // namespace sendora
