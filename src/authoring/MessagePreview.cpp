#include "authoring/MessagePreview.h"

#include "core/AppContext.h"

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
};

MessagePreview::MessagePreview(AppContext& ctx) : d(std::make_unique<Impl>()), m_ctx(ctx) {}
MessagePreview::~MessagePreview() = default;

Notice MessagePreview::prepare(const QString& messageName, const QString&, const QDateTime&) {
    d->name = messageName;
    return information(kPreviewInitFailedMessage);
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
    return 0;
}

bool MessagePreview::next() {
    return false;
}

bool MessagePreview::previous() {
    return false;
}

bool MessagePreview::moveTo(qint64) {
    return false;
}

PreviewPage MessagePreview::current() {
    return {};
}

} // namespace sendora
