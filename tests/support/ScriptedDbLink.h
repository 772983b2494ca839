#pragma once
// A database server for server-import tests: answers catalogs, tables, views, procedures and
// rows from tables kept in memory, and records the connection and the procedure call.

#include "components/dblink/DbLink.h"

#include <QMap>

namespace sendora::test {

namespace sr = sendora::sourcereaders;
using dblink::ProcedureParameter;

struct Table {
    QList<sr::SourceField> fields;
    QList<sr::SourceRow> rows;
};

class ListCursor final : public sr::RowCursor {
public:
    explicit ListCursor(Table t) : m_t(std::move(t)) {}
    bool next(sr::SourceRow& row) override {
        if (m_at >= m_t.rows.size()) return false;
        row = m_t.rows[m_at++];
        return true;
    }
    QList<sr::SourceField> fields() const override { return m_t.fields; }
    QString errorText() const override { return {}; }
    qint64 position() const override { return m_at; }

private:
    Table m_t;
    qsizetype m_at = 0;
};

// A server that answers from tables kept here and records what it was asked.
class ScriptedDbLink final : public dblink::DbLink {
public:
    bool refuse = false;
    dblink::ConnectionSettings settings;
    QString catalog;
    QList<ProcedureParameter> called;
    QMap<QString, Table> sources;

    bool connect(const dblink::ConnectionSettings& s) override {
        settings = s;
        m_error = refuse ? QStringLiteral("Login failed for user 'sa'.") : QString();
        return !refuse;
    }
    QStringList catalogs() override { return {"crm", "hr"}; }
    bool setCatalog(const QString& c) override {
        catalog = c;
        return true;
    }
    QStringList tables() override { return {"contacts", "empty"}; }
    QStringList views() override { return {"v_contacts"}; }
    QStringList procedures() override { return {"p_none", "p_city"}; }
    QList<ProcedureParameter> parameters(const QString& name) override {
        if (name != "p_city") return {ProcedureParameter{"@RETURN_VALUE", "int", 4, 5, {}}};
        return {ProcedureParameter{"@RETURN_VALUE", "int", 4, 5, {}},
                ProcedureParameter{"@city", "varchar", 40, 1, {}}};
    }
    std::unique_ptr<sr::RowCursor> openTable(const QString& name) override {
        return std::make_unique<ListCursor>(sources.value(name == "v_contacts" ? "contacts" : name));
    }
    std::unique_ptr<sr::RowCursor> openProcedure(const QString& name,
                                                 const QList<ProcedureParameter>& params) override {
        called = params;
        return std::make_unique<ListCursor>(name == "p_none" ? Table{} : sources.value("contacts"));
    }
};

// Two contacts with an ID field, "empty" without rows, the view "v_contacts" over contacts,
// "p_none" returning nothing and "p_city" taking one parameter.
inline ScriptedDbLink* withContacts(ScriptedDbLink* link) {
    Table t;
    t.fields = {{"ID", sr::FieldType::Integer, 0}, {"Email", sr::FieldType::Text, 80}};
    t.rows = {{1, "a@example.com"}, {2, "b@example.com"}};
    link->sources.insert("contacts", t);
    link->sources.insert("empty", Table{{{"Email", sr::FieldType::Text, 80}}, {}});
    return link;
}

} // namespace sendora::test
