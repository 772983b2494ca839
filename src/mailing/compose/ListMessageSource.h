#pragma once
// The relay session's message composition over the mailing's message row and list file.

#include "mailing/compose/Merge.h"
#include "mailing/compose/MessageSource.h"
#include "mailing/compose/PreparedMailing.h"

#include <memory>

namespace jet {
class Database;
class Recordset;
class Statement;
} // namespace jet

namespace sendora {

class SendMDBList;

// Finds a row of the list's AddressList table by EAddress, one keyed SELECT per call.
class JetRecipientLookup : public RecipientLookup {
public:
    explicit JetRecipientLookup(jet::Database& listDb);
    ~JetRecipientLookup() override;
    std::optional<RecipientRow> find(const QString& address) override;

private:
    jet::Database& m_db;
    std::unique_ptr<jet::Statement> m_lookup;
    QStringList m_columns;
};

// The current row of a recordset as a RecipientRow.
RecipientRow rowFromRecordset(const jet::Recordset& rs);
// Column names of the list's AddressList table; none when they cannot be read.
ListColumns listColumns(AppContext& ctx, jet::Database& listDb);
// The Message row's texts and greeting settings as the cursor read them.
MessageContent messageContentFrom(const SendMDBList& cursor);

class ListMessageSource : public MessageSource {
public:
    // The cursor must have run InitMailingDBSupport: its message row and list are read.
    ListMessageSource(AppContext& ctx, SendMDBList& cursor);
    ~ListMessageSource() override;

    bool prepare(const QString& sender, const QString& replyTo, const QDateTime& stamp,
                 const std::function<void(const QString&)>& log) override;
    bool personalised() const override;
    QString personalName(const QString& address) override;
    QByteArray personalMessage(const QString& address, const QString& displayName) override;
    QByteArray groupMessage(const QString& displayText, const QString& firstAddress) override;
    qint64 messageSize() const override;

    // What the session would send to address: personal or block message by the same rules.
    // An address the list lacks gets the message with every merge value empty; *inList
    // says which it was.
    QByteArray messageFor(const QString& address, bool* inList = nullptr);
    PreparedMailing* mailing() const { return m_mailing.get(); }
    // Rows are read through db instead of the cursor's list connection from the next
    // prepare on: a sender writing through db keeps them in its cache. db outlives this.
    void readRowsThrough(jet::Database* db) { m_rowDb = db; }

private:
    AppContext& m_ctx;
    SendMDBList& m_cursor;
    jet::Database* m_rowDb = nullptr;
    std::unique_ptr<PreparedMailing> m_mailing;
    std::unique_ptr<JetRecipientLookup> m_rows;
    std::unique_ptr<LastRowLookup> m_lastRow;
};

} // namespace sendora
