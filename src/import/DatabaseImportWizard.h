#pragma once
// What the database import wizard knows and checks, without its widgets: the kind of source and
// the folder last used for it, the source file and its reader, the table and its fields, the
// trays and checked fields, the filter, and each page's check on Next with its message.

#include "import/DatabaseImport.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

namespace sendora {

struct AppContext;

class DatabaseImportWizard {
public:
    static constexpr int kPages = 6;
    enum Page { KindPage = 1, FilePage, TablePage, FieldsPage, FilterPage, BuildPage };

    explicit DatabaseImportWizard(AppContext& ctx);
    ~DatabaseImportWizard();

    static QString caption() { return QStringLiteral("Database Import Wizard"); }
    // "<caption> - Step <n> of <count>".
    static QString title(int page);
    // The sixteen kinds as the kind list shows them, in index order.
    static QStringList kindNames();

    // Page 1.
    void setKindIndex(int index);
    int kindIndex() const { return m_kindIndex; }
    sourcereaders::SourceKind kind() const;
    QString kindKey() const; // "DBDBASE3"; "UNKNOWN" outside the list
    // Contact-manager kinds skip the table, field and filter pages.
    bool isContactManagerKind() const;

    // Page 2: the folder remembered for the kind (DefaultDirectories\<key>), saved on leaving.
    QString enterFilePage();
    void leaveFilePage(const QString& folder);
    void setFile(const QString& file) { m_file = file; }
    QString file() const { return m_file; }
    // Text sources: whether the first row names the fields.
    void setFirstRowHasNames(bool names) { m_options.firstRowHasNames = names; }
    bool firstRowHasNames() const { return m_options.firstRowHasNames; }
    // Next on the file page: a file is chosen and opens.
    bool fileNext();

    // Page 3.
    QStringList tables() const { return m_tables; }
    QString table() const { return m_table; }
    void selectTable(const QString& table);
    QList<sourcereaders::SourceField> fields() const { return m_fields; }
    // The first values of a field in the selected table, one per line.
    QString sample(const QString& field, int rows = 10);
    bool tableNext();
    // "&View table": false (with its message) when there is nothing to view.
    bool canViewTable();
    sourcereaders::SourceReader* reader() const { return m_reader.get(); }

    // Page 4.
    ImportMapping& mapping() { return m_mapping; }
    const ImportMapping& mapping() const { return m_mapping; }
    bool fieldsNext();

    // Page 5.
    void setFilter(const QString& condition) { m_filter = condition; }
    QString filter() const { return m_filter; }

    // Page 6: the build over the selected table; false with a message when its rows cannot be read.
    bool startBuild(DatabaseImport& build, const QString& caption = {});

    // The contact-manager import run after the file page: the temporary list's path or empty.
    std::function<QString(sourcereaders::SourceKind kind, const QString& file)> contactImport;
    // Runs it; "Unable to import the data" when it gives nothing.
    QString runContactImport();

    // Makes the reader for a kind (tests put their own in).
    std::function<std::unique_ptr<sourcereaders::SourceReader>(sourcereaders::SourceKind)> readerFactory =
        sourcereaders::createReader;

    // The list to show after Finish; when it holds no rows, the main window's summary
    // ("Contact Database Import Summary") instead and an empty text.
    QString resultToShow(const QString& listFile);

    // Leaving by the close box: true when the user confirms.
    bool confirmExit();

    void closeSource();

private:
    void showMessage(const QString& text, const QString& title = QStringLiteral("Sendora"));
    bool tableUnreadable();

    AppContext& m_ctx;
    int m_kindIndex = -1;
    QString m_file;
    sourcereaders::SourceOptions m_options;
    std::unique_ptr<sourcereaders::SourceReader> m_reader;
    QStringList m_tables;
    QString m_table;
    QList<sourcereaders::SourceField> m_fields;
    ImportMapping m_mapping;
    QString m_filter;
};

} // namespace sendora
