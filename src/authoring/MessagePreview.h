#pragma once
// The message preview without its window: a stored message merged with one record of a
// list at a time, composed exactly as the mailing would send it and read back.
// The list is walked by position over its row ids; rows are read one at a time.

#include "authoring/MimeReader.h"
#include "authoring/Notice.h"

#include <QDateTime>
#include <QString>
#include <memory>

namespace sendora {

struct AppContext;

extern const QString kPreviewChooseListMessage;
extern const QString kPreviewNoAddressesMessage;
extern const QString kPreviewInitFailedMessage;
QString previewListNotFoundMessage(const QString& listName);

struct PreviewPage {
    qint64 position = 0; // 1-based
    qint64 count = 0;
    QString address;             // the record's EAddress
    MimeMessage message;         // to, subject, text, html, inline images
    QByteArray data;             // the composed message itself
    QString counterText() const; // "<position> of <count>"
};

class MessagePreview {
public:
    explicit MessagePreview(AppContext& ctx);
    ~MessagePreview();

    // Prepares the preview; a non-empty Notice is the refusal to show, and then nothing
    // else may be called. now: the composition's clock (tests pin it).
    Notice prepare(const QString& messageName, const QString& listName,
                   const QDateTime& now = QDateTime::currentDateTime());

    QString caption() const; // "Preview Message: <name>"
    bool textTabEnabled() const;
    bool htmlTabEnabled() const;
    int firstTab() const; // 0 plain text, 1 HTML

    qint64 position() const { return m_position; }
    qint64 count() const;
    // Move within 1..count; false (and no change) at either end.
    bool next();
    bool previous();
    bool moveTo(qint64 position);

    // The current record's message; empty page (position 0) after an error (logged).
    PreviewPage current();

private:
    struct Impl;
    std::unique_ptr<Impl> d;
    AppContext& m_ctx;
    qint64 m_position = 0;
};

} // namespace sendora
