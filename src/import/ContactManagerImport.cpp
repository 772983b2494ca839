#include "import/ContactManagerImport.h"

#include "components/jet/Jet.h"
#include "components/sourcereaders/SourceReader.h"
#include "core/AppContext.h"
#include "core/ErrorLog.h"
#include "core/ListActions.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSet>

namespace sendora {

namespace sr = sourcereaders;

namespace {

// The table of a folder database whose name matches without case; empty when there is none.
QString findTable(sr::SourceReader& reader, const QString& name) {
    for (const QString& t : reader.tables())
        if (t.compare(name, Qt::CaseInsensitive) == 0) return t;
    return {};
}

jet::FieldDef columnFor(const sr::SourceField& f) {
    jet::FieldDef d;
    d.name = f.name;
    switch (f.type) {
    case sr::FieldType::Text:
        d.type = jet::FieldType::Text;
        d.size = f.size > 0 ? std::min(f.size, 255) : 255;
        break;
    case sr::FieldType::Memo:
        d.type = jet::FieldType::Memo;
        break;
    case sr::FieldType::Integer:
        d.type = jet::FieldType::Long;
        break;
    case sr::FieldType::Double:
    case sr::FieldType::Currency:
        d.type = jet::FieldType::Double;
        break;
    default: // dates, logicals and the rest travel as the text they show
        d.type = jet::FieldType::Text;
        break;
    }
    return d;
}

class ReaderRows final : public jet::ExternalRows {
public:
    ReaderRows(std::unique_ptr<sr::SourceReader> reader, std::unique_ptr<sr::RowCursor> cursor)
        : m_reader(std::move(reader)), m_cursor(std::move(cursor)) {
        for (const sr::SourceField& f : m_cursor->fields())
            m_fields.push_back(columnFor(f));
    }
    std::vector<jet::FieldDef> fields() const override { return m_fields; }
    bool next(QVariantList& row) override {
        if (!m_cursor->next(m_row)) return false;
        row.clear();
        for (qsizetype i = 0; i < m_row.size(); ++i) {
            const bool asText =
                i < qsizetype(m_fields.size()) && m_fields[size_t(i)].type == jet::FieldType::Text;
            row.append(asText && !m_row[i].isNull() ? QVariant(sr::valueText(m_row[i])) : m_row[i]);
        }
        return true;
    }
    QString errorText() const override { return m_cursor->errorText(); }

private:
    std::unique_ptr<sr::SourceReader> m_reader; // the cursor may not outlive it
    std::unique_ptr<sr::RowCursor> m_cursor;
    std::vector<jet::FieldDef> m_fields;
    sr::SourceRow m_row;
};

// "dBASE 5.0; DATABASE=C:\folder": the kind before the first ";", then key=value parts.
std::unique_ptr<jet::ExternalRows> openExternal(const QString& connect, const QString& table,
                                                QString& error) {
    const QStringList parts = connect.split(u';');
    const QString kind = parts.value(0).trimmed();
    QString folder;
    for (const QString& p : parts.mid(1))
        if (p.trimmed().startsWith(QLatin1String("DATABASE="), Qt::CaseInsensitive))
            folder = p.trimmed().mid(9);
    if (!kind.startsWith(QLatin1String("dBASE"), Qt::CaseInsensitive) &&
        !kind.startsWith(QLatin1String("FoxPro"), Qt::CaseInsensitive)) {
        error = QStringLiteral("Couldn't find installable ISAM for '%1'.").arg(kind);
        return nullptr;
    }
    auto reader = sr::createReader(sr::SourceKind::DBase5);
    if (!reader->open(folder)) {
        error = reader->errorText();
        return nullptr;
    }
    const QString real = findTable(*reader, table);
    if (real.isEmpty()) {
        error = QStringLiteral("The database engine cannot find the input table '%1' in '%2'.")
                    .arg(table, folder);
        return nullptr;
    }
    auto cursor = reader->rows(real);
    if (!cursor) {
        error = reader->errorText();
        return nullptr;
    }
    return std::make_unique<ReaderRows>(std::move(reader), std::move(cursor));
}

} // namespace

void registerExternalTableReaders() {
    jet::setExternalTableOpener(openExternal);
}

QString gGoldmineImport(AppContext& ctx, const QString& folder) {
    registerExternalTableReaders();
    const QString path = NewTempListPath(ctx);
    try {
        {
            auto db = jet::Database::create(path, jet::Database::Durability::Scratch);
            const QString connect = QStringLiteral("dBASE 5.0; DATABASE=") + folder;
            db->linkExternalTable(QStringLiteral("STSL_Contact1"), connect, QStringLiteral("Contact1"));
            db->linkExternalTable(QStringLiteral("STSL_ContSupp"), connect, QStringLiteral("ContSupp"));
            db->execute(QStringLiteral("SELECT STSL_ContSupp.CONTSUPREF,STSL_Contact1.* INTO AddressList "
                                       "FROM STSL_ContSupp INNER JOIN  "
                                       "STSL_Contact1 ON STSL_Contact1.ACCOUNTNO = STSL_ContSupp.ACCOUNTNO "
                                       "WHERE STSL_ContSupp.Contact "
                                       "= \"E-mail Address\";"));
            db->execute(QStringLiteral("DROP TABLE STSL_Contact1"));
            db->execute(QStringLiteral("DROP TABLE STSL_ContSupp"));
            db->close();
        }
        auto db = jet::Database::open(path);
        db->renameField(QStringLiteral("Addresslist"), QStringLiteral("CONTSUPREF"),
                        QStringLiteral("EAddress"));
        db->execute(QStringLiteral("DELETE * From AddressList WHERE (((EAddress) In (SELECT [EAddress] FROM "
                                   "[AddressList] As Tmp GROUP "
                                   "BY [EAddress] HAVING Count(*)>1 )));"));
        db->close();
        return path;
    } catch (const std::exception& e) {
        LogError(ctx, QStringLiteral("gGoldmineImport"), errorInfo(e), true);
        jet::removeDatabase(path);
        return {};
    }
}

QString ValidateFieldName(const QString& name) {
    QString n = name;
    n.remove(u'.').remove(u'[').remove(u']');
    static const QList<QPair<QString, QString>> renames = {
        {QStringLiteral("First Name"), QStringLiteral("FirstName")},
        {QStringLiteral("Last Name"), QStringLiteral("LastName")},
        {QStringLiteral("Surname"), QStringLiteral("LastName")},
        {QStringLiteral("Title"), QStringLiteral("Title")},
        {QStringLiteral("Sent"), QStringLiteral("_Sent")},
        {QStringLiteral("Keyword1"), QStringLiteral("_Keyword1")},
        {QStringLiteral("Keyword2"), QStringLiteral("_Keyword2")},
        {QStringLiteral("Date"), QStringLiteral("_Date")},
        {QStringLiteral("EAddress"), QStringLiteral("_EAddress")},
    };
    for (const auto& [from, to] : renames)
        if (n.compare(from, Qt::CaseInsensitive) == 0) return to;
    return n;
}

namespace {

// ---- the dBASE binding ------------------------------------------------------------------

constexpr int kActOpenError = 1;
constexpr int kActLoginError = 2;
constexpr int kActReadError = 3;

class DbaseActDatabase final : public ActDatabase {
public:
    bool open(const QString& file) override {
        m_reader = sr::createReader(sr::SourceKind::DBase5);
        if (!m_reader->open(file) || m_reader->chosenTable().isEmpty())
            return fail(kActOpenError, m_reader->errorText().isEmpty()
                                           ? QStringLiteral("%1 is not a contact database.").arg(file)
                                           : m_reader->errorText());
        m_name = QFileInfo(file).completeBaseName();
        m_table = m_reader->chosenTable();
        for (const sr::SourceField& f : m_reader->fields(m_table))
            m_fields << f.name;
        m_key = int(m_fields.indexOf(QStringLiteral("UNIQUEID")));
        m_count = 0;
        for (auto c = m_reader->rows(m_table); c && c->next(m_row);)
            ++m_count;
        if (!readSide(QStringLiteral("EMAIL"),
                      {QStringLiteral("CONTACTID"), QStringLiteral("TYPE"), QStringLiteral("ADDRESS")},
                      [this](const QStringList& v) {
                          m_emails[v[0]].append(QStringList{v[1], v[2]});
                      }))
            return false;
        return readSide(QStringLiteral("USERS"), {QStringLiteral("NAME"), QStringLiteral("PASSWORD")},
                        [this](const QStringList& v) { m_users.append(v); });
    }
    QString databaseName() const override { return m_name; }
    bool needsLogin() const override { return !m_users.isEmpty(); }
    bool login(const QString& user, const QString& password) override {
        for (const QStringList& u : m_users)
            if (u[0].compare(user.trimmed(), Qt::CaseInsensitive) == 0 && u[1] == password) return true;
        return fail(kActLoginError, QStringLiteral("The user name or password is not valid."));
    }
    QString fieldName(int index) const override { return m_fields.value(index); }
    void moveFirst() override {
        m_cursor = m_reader->rows(m_table);
        m_recno = 0;
        m_eof = true;
        if (!m_cursor) {
            fail(kActReadError, m_reader->errorText());
            return;
        }
        moveNext();
    }
    bool eof() const override { return m_eof; }
    void moveNext() override {
        m_eof = !m_cursor || !m_cursor->next(m_row);
        if (!m_eof) ++m_recno;
        if (m_eof && m_cursor && !m_cursor->errorText().isEmpty()) fail(kActReadError, m_cursor->errorText());
    }
    int recordCount() const override { return m_count; }
    QString field(int index) const override { return m_eof ? QString() : sr::valueText(m_row.value(index)); }
    QList<QStringList> emailRows() const override {
        if (m_eof) return {};
        return m_emails.value(m_key >= 0 ? field(m_key).trimmed() : QString::number(m_recno));
    }
    int errorNumber() const override { return m_errorNumber; }
    QString errorText() const override { return m_errorText; }

private:
    bool fail(int number, const QString& text) {
        m_errorNumber = number;
        m_errorText = text;
        return false;
    }
    // Reads the named fields of a companion table as text; a missing table is no error.
    bool readSide(const QString& table, const QStringList& names,
                  const std::function<void(const QStringList&)>& take) {
        const QString real = findTable(*m_reader, table);
        if (real.isEmpty()) return true;
        QList<int> at;
        const QList<sr::SourceField> fields = m_reader->fields(real);
        for (const QString& n : names) {
            int i = 0;
            while (i < fields.size() && fields[i].name.compare(n, Qt::CaseInsensitive) != 0)
                ++i;
            if (i == fields.size())
                return fail(kActOpenError, QStringLiteral("The table %1 has no field %2.").arg(real, n));
            at << i;
        }
        auto c = m_reader->rows(real);
        if (!c) return fail(kActOpenError, m_reader->errorText());
        sr::SourceRow row;
        while (c->next(row)) {
            QStringList v;
            for (int i : at)
                v << sr::valueText(row.value(i)).trimmed();
            take(v);
        }
        return c->errorText().isEmpty() || fail(kActReadError, c->errorText());
    }

    std::unique_ptr<sr::SourceReader> m_reader;
    std::unique_ptr<sr::RowCursor> m_cursor;
    QString m_name, m_table;
    QStringList m_fields;
    int m_key = -1;
    int m_count = 0;
    qint64 m_recno = 0;
    bool m_eof = true;
    sr::SourceRow m_row;
    QHash<QString, QList<QStringList>> m_emails;
    QList<QStringList> m_users;
    int m_errorNumber = 0;
    QString m_errorText;
};

} // namespace

std::unique_ptr<ActDatabase> makeActDbaseBinding() {
    return std::make_unique<DbaseActDatabase>();
}

namespace {

constexpr int kMaxActFields = 10000;

} // namespace

QString ActImport(AppContext& ctx, const QString& file, const ActImportOptions& options) {
    QString step = QStringLiteral("Initialize");
    QString path;
    const auto failed = [&](const ErrorInfo& e) {
        LogError(ctx, QStringLiteral("ActImport at codePos: ") + step, e, true);
        if (!path.isEmpty()) jet::removeDatabase(path);
        return QString();
    };
    try {
        std::unique_ptr<ActDatabase> act = options.binding ? options.binding() : makeActDbaseBinding();
        step = QStringLiteral("OpenACT");
        if (!act->open(file)) return failed({act->errorNumber(), act->errorText()});
        if (act->needsLogin()) {
            const std::optional<ActLogin> given =
                options.login ? options.login(act->databaseName()) : std::optional<ActLogin>();
            if (!given) return {};
            if (!act->login(given->user, given->password)) {
                LogError(
                    ctx,
                    QStringLiteral("Actimport **Act Error NO: %1\r\n** NOT SD ERROR ** at codePos: %2\r\n"
                                   "Unable to Log into Database: %3")
                        .arg(act->errorNumber())
                        .arg(step, act->errorText()),
                    {act->errorNumber(), act->errorText()}, false);
                if (ctx.ui) ctx.ui->message(kActLoginFailedMessage, Buttons::OK, Icon::Exclamation);
                return {};
            }
        }

        step = QStringLiteral("GetActFields");
        QStringList actFields;
        for (int i = 0; i < kMaxActFields; ++i) {
            const QString name = act->fieldName(i);
            if (name.isEmpty()) break;
            actFields << name;
        }

        step = QStringLiteral("CreateTargetDB");
        path = NewTempListPath(ctx);
        jet::removeDatabase(path);
        auto db = jet::Database::create(path, jet::Database::Durability::Scratch);
        db->execute(QStringLiteral("CREATE TABLE AddressList(EAddress TEXT(255));"), true);
        step = QStringLiteral("AddReqFields");
        static const char* const required[] = {"FirstName", "LastName", "Title",   "Sent",
                                               "[Date]",    "Keyword1", "Keyword2"};
        for (const char* c : required)
            db->execute(
                QStringLiteral("ALTER TABLE AddressList ADD COLUMN %1 TEXT(255);").arg(QLatin1String(c)),
                true);

        step = QStringLiteral("CreateTargetFields");
        // The name fields fill the list's own columns (the first field for each); any other name
        // that exists already gets "_" appended until it is new.
        QSet<QString> claimed;
        QStringList columns; // per ACT! field
        for (const QString& actName : std::as_const(actFields)) {
            QString name = ValidateFieldName(actName);
            const bool own = name == u"FirstName" || name == u"LastName" || name == u"Title";
            if (own && !claimed.contains(name)) {
                claimed.insert(name);
                columns << name;
                continue;
            }
            for (;;) {
                try {
                    jet::FieldDef f;
                    f.name = name;
                    db->addField(QStringLiteral("AddressList"), f);
                    break;
                } catch (const jet::Error& e) {
                    if (e.number() != jet::ErrFieldExists) {
                        LogError(ctx,
                                 QStringLiteral(
                                     "ActImport while Creating Field %1 at codePos: %2 with error %3 -- %4")
                                     .arg(name, step)
                                     .arg(e.number())
                                     .arg(e.description()),
                                 {e.number(), e.description()}, true);
                        db.reset();
                        jet::removeDatabase(path);
                        return {};
                    }
                    name += u'_';
                }
            }
            columns << name;
        }
        for (const jet::FieldDef& f : db->fields(QStringLiteral("AddressList")))
            db->setAllowZeroLength(QStringLiteral("AddressList"), f.name, true);

        step = QStringLiteral("CopyACTData");
        QString head = QStringLiteral("INSERT INTO AddressList ([EAddress]");
        for (const QString& c : std::as_const(columns))
            head += u',' + jet::bracket(c);
        head += QStringLiteral(") VALUES(");
        const int total = act->recordCount();
        int n = 0;
        db->beginTransaction();
        for (act->moveFirst(); !act->eof(); act->moveNext()) {
            ++n;
            QString address;
            for (const QStringList& row : act->emailRows())
                if (row.value(0).trimmed() == u"1" && !row.value(1).trimmed().isEmpty()) {
                    address = row.value(1).trimmed();
                    break;
                }
            if (address.isEmpty()) address = QStringLiteral("Unknown") + QString::number(n);
            QString sql = head + jet::quote(address.left(255));
            for (int i = 0; i < actFields.size(); ++i)
                sql += u',' + jet::quote(act->field(i).trimmed().left(255));
            db->execute(sql + u')', true);
            if (n % 5 == 0 && options.progress)
                options.progress(QStringLiteral("%1 of %2").arg(n).arg(total));
        }
        db->commit();
        if (act->errorNumber() != 0 && n < total) {
            db.reset();
            return failed({act->errorNumber(), act->errorText()});
        }

        step = QStringLiteral("DeleteDuplicates");
        db->execute(QStringLiteral("DELETE * FROM AddressList WHERE EAddress IN (SELECT [EAddress] FROM "
                                   "[AddressList] As Tmp GROUP BY [EAddress] HAVING Count(*)>1)"),
                    true);
        QStringList others;
        for (const jet::FieldDef& f : db->fields(QStringLiteral("AddressList")))
            if (f.name.compare(u"EAddress", Qt::CaseInsensitive) != 0) others << jet::bracket(f.name);
        db->execute(QStringLiteral("SELECT EAddress,%1 INTO TEMPADDR FROM AddressList ORDER BY EAddress")
                        .arg(others.join(u',')),
                    true);
        db->execute(QStringLiteral("DROP TABLE AddressList"), true);
        db->renameTable(QStringLiteral("TEMPADDR"), QStringLiteral("AddressList"));
        for (const jet::FieldDef& f : db->fields(QStringLiteral("AddressList")))
            db->setAllowZeroLength(QStringLiteral("AddressList"), f.name, true);
        db->close();
        db.reset();

        step = QStringLiteral("SaveNullEntries");
        SaveNullEntries(ctx, path, options.caption);
        step = QStringLiteral("CreateKeyIndex");
        db = jet::Database::open(path);
        db->execute(QStringLiteral("ALTER TABLE AddressList ADD CONSTRAINT MyPrKey PRIMARY KEY (EAddress);"),
                    true);
        db->close();
        step = QStringLiteral("CleanupObjects");
        return path;
    } catch (const std::exception& e) {
        return failed(errorInfo(e));
    }
}

QString runContactManagerImport(AppContext& ctx, sr::SourceKind kind, const QString& file,
                                const ActImportOptions& options) {
    const QFileInfo info(file);
    if (kind == sr::SourceKind::Goldmine)
        return gGoldmineImport(ctx, info.isDir() ? info.absoluteFilePath() : info.absolutePath());
    if (kind == sr::SourceKind::Act4) return ActImport(ctx, info.absoluteFilePath(), options);
    return {};
}

} // namespace sendora
