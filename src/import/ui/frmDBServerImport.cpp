#include "import/ui/frmDBServerImport.h"

#include "core/AppContext.h"
#include "core/UserInterface.h"
#include "core/ui/WizardFrame.h"
#include "import/ui/FieldTray.h"

#include <QComboBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTableWidget>
#include <QVBoxLayout>

namespace sendora {

using wizard::wrapped;

frmDBServerImport::frmDBServerImport(AppContext& ctx, std::unique_ptr<dblink::DbLink> link, QWidget* parent)
    : QDialog(parent), m_ctx(ctx), m_model(ctx, std::move(link)), m_build(ctx) {
    setObjectName(QStringLiteral("frmDBServerImport"));
    m_pages = new QStackedWidget(this);

    // 1 Kind.
    auto* kind = new QWidget;
    auto* kindLayout = new QVBoxLayout(kind);
    kindLayout->addWidget(wrapped(
        QStringLiteral("Use the list box to select the type of data you wish to import into a mailing list."),
        kind));
    m_kinds = new QListWidget(kind);
    for (const auto& k : ServerImport::kinds())
        m_kinds->addItem(k.name);
    kindLayout->addWidget(m_kinds);
    m_note = wrapped({}, kind);
    kindLayout->addWidget(m_note);
    connect(m_kinds, &QListWidget::currentRowChanged, this,
            [this](int row) { m_note->setText(ServerImport::requirementNote(row).join(u'\n')); });
    m_pages->addWidget(kind);

    // 2 Connection.
    auto* conn = new QWidget;
    auto* connLayout = new QVBoxLayout(conn);
    connLayout->addWidget(wrapped(
        QStringLiteral("Enter the location of the database server, userid, and password that was supplied to "
                       "you by your database administrator. The location of the database server can be an IP "
                       "address, service name, or a computer name. Once you press the Next button a "
                       "connection attempt will be made to the database server."),
        conn));
    auto* form = new QFormLayout;
    m_server = new QLineEdit(conn);
    m_database = new QLineEdit(conn);
    m_user = new QLineEdit(conn);
    m_password = new QLineEdit(conn);
    m_password->setEchoMode(QLineEdit::Password);
    m_library = new QComboBox(conn);
    m_library->addItems(ServerImport::networkLibraries());
    form->addRow(QStringLiteral("Server:"), m_server);
    form->addRow(QStringLiteral("Database:"), m_database);
    form->addRow(QStringLiteral("User ID:"), m_user);
    form->addRow(QStringLiteral("Password:"), m_password);
    form->addRow(QStringLiteral("Network Library:"), m_library);
    connLayout->addLayout(form);
    m_pages->addWidget(conn);

    // 3 Catalog.
    auto* cat = new QWidget;
    auto* catLayout = new QVBoxLayout(cat);
    catLayout->addWidget(
        wrapped(QStringLiteral("Select the database/catalog that you would like to import from."), cat));
    m_catalogs = new QListWidget(cat);
    catLayout->addWidget(m_catalogs);
    m_pages->addWidget(cat);

    // 4 Source.
    auto* src = new QWidget;
    auto* srcLayout = new QVBoxLayout(src);
    const QStringList optionTexts = {QStringLiteral("Import from one of the following tables"),
                                     QStringLiteral("Import from one of the following views"),
                                     QStringLiteral("Import from one of the following stored procedures")};
    for (size_t i = 0; i < 3; ++i) {
        m_options[i] = new QRadioButton(optionTexts[qsizetype(i)], src);
        m_sources[i] = new QListWidget(src);
        srcLayout->addWidget(m_options[i]);
        srcLayout->addWidget(m_sources[i]);
        connect(m_sources[i], &QListWidget::itemClicked, m_options[i],
                [b = m_options[i]] { b->setChecked(true); });
    }
    m_pages->addWidget(src);

    // 5 Parameters.
    auto* par = new QWidget;
    auto* parLayout = new QVBoxLayout(par);
    parLayout->addWidget(
        wrapped(QStringLiteral("Enter a value for a parameter by selecting the box in the value column "
                               "that matches up with the parameter in the list."),
                par));
    m_params = new QTableWidget(0, 5, par);
    m_params->setHorizontalHeaderLabels({QStringLiteral("Name"), QStringLiteral("Type"),
                                         QStringLiteral("Length"), QStringLiteral("Direction"),
                                         QStringLiteral("Value")});
    m_params->horizontalHeader()->setStretchLastSection(true);
    parLayout->addWidget(m_params);
    m_pages->addWidget(par);

    // 6 Fields and trays.
    auto* fld = new QWidget;
    auto* fldLayout = new QVBoxLayout(fld);
    fldLayout->addWidget(wrapped(
        QStringLiteral(
            "Drag the \"Available Fields\" from your list to the corresponding \"Trays\" on the right to "
            "identify key fields in Sendora. Check the box beside any other additional fields you want to "
            "import. You must map the Email field and ID field if available."),
        fld));
    auto* fieldRow = new QHBoxLayout;
    m_fields = new FieldList(fld);
    m_fields->setDragEnabled(true);
    m_fields->setDragDropMode(QAbstractItemView::DragOnly);
    fieldRow->addWidget(m_fields);
    auto* trays = new QFormLayout;
    const QStringList trayLabels = {QStringLiteral("Email Address:"), QStringLiteral("First Name:"),
                                    QStringLiteral("Last Name:"), QStringLiteral("Title:"),
                                    QStringLiteral("ID Number:")};
    for (int i = 0; i < kTrayCount; ++i) {
        m_trays[size_t(i)] = new FieldTray(fld);
        trays->addRow(trayLabels[i], m_trays[size_t(i)]);
    }
    fieldRow->addLayout(trays);
    fldLayout->addLayout(fieldRow);
    m_pages->addWidget(fld);

    // 7 Filter.
    auto* flt = new QWidget;
    auto* fltLayout = new QVBoxLayout(flt);
    auto* filterButton = new QPushButton(QStringLiteral("Filter the data..."), flt);
    fltLayout->addWidget(filterButton);
    fltLayout->addWidget(
        wrapped(QStringLiteral("If you wish to import ALL your data, IGNORE this step and just press "
                               "Next, the data will then be extracted from the database."),
                flt));
    m_filterText = wrapped({}, flt);
    fltLayout->addWidget(m_filterText);
    connect(filterButton, &QPushButton::clicked, this, [this] {
        if (!filterBuilder) return;
        QStringList names;
        for (const auto& f : m_model.fields())
            names << f.name;
        if (const auto condition = filterBuilder(names)) {
            m_model.setFilter(*condition);
            m_filterText->setText(*condition);
        }
    });
    m_pages->addWidget(flt);

    // 8 Build.
    auto* bld = new QWidget;
    auto* bldLayout = new QVBoxLayout(bld);
    m_buildButton = new QPushButton(QStringLiteral("Build List"), bld);
    m_interrupt = new QPushButton(QStringLiteral("Interrupt"), bld);
    m_interrupt->setEnabled(false);
    m_counter = new QLabel(QStringLiteral("0"), bld);
    bldLayout->addWidget(m_buildButton);
    bldLayout->addWidget(m_interrupt);
    bldLayout->addWidget(m_counter);
    connect(m_buildButton, &QPushButton::clicked, this, &frmDBServerImport::buildList);
    connect(m_interrupt, &QPushButton::clicked, this, [this] { m_build.interrupt(); });
    connect(&m_build, &DatabaseImport::progress, this,
            [this](qint64 n) { m_counter->setText(QString::number(n)); });
    connect(&m_build, &DatabaseImport::finished, this, [this] {
        m_interrupt->setEnabled(false);
        m_back->setEnabled(true);
        m_exit->setEnabled(true);
        const DatabaseImport::Result& r = m_build.result();
        if (r.rowsLeft == 0 || r.path.isEmpty()) {
            m_counter->setText(QStringLiteral("<No Records"));
            return;
        }
        m_list = r.path;
        m_counter->setText(QStringLiteral("%1\nPress the FINISH button to view your list").arg(r.rowsLeft));
        m_finish->setEnabled(true);
    });
    m_pages->addWidget(bld);

    m_back = wizard::navButton(this, QStringLiteral("&Back"), nullptr, &frmDBServerImport::back);
    m_next = wizard::navButton(this, QStringLiteral("&Next"), nullptr, &frmDBServerImport::next);
    m_finish = wizard::navButton(this, QStringLiteral("&Finish"), nullptr, &frmDBServerImport::finish);
    m_exit = wizard::navButton(this, QStringLiteral("E&xit"), nullptr, &QDialog::reject);
    wizard::frame(this, nullptr, m_pages, wizard::navRow({m_back, m_next, m_finish, m_exit}), 0);
    showPage();
}

frmDBServerImport::~frmDBServerImport() {
    if (m_build.building()) m_build.cancel();
}

void frmDBServerImport::showPage() {
    const int page = m_model.page();
    m_pages->setCurrentIndex(page - 1);
    setWindowTitle(ServerImport::title(page));
    m_back->setEnabled(page > ServerImport::KindPage);
    m_next->setEnabled(page < ServerImport::BuildPage);
    m_finish->setEnabled(page == ServerImport::BuildPage && !m_list.isEmpty());
    // A build takes the opened rows; another needs the source opened again.
    m_buildButton->setEnabled(!m_build.building() && !m_model.fields().isEmpty());
}

// What the shown page's widgets hold goes into the model before its check.
void frmDBServerImport::takeInput() {
    switch (m_model.page()) {
    case ServerImport::KindPage:
        m_model.setKindIndex(m_kinds->currentRow());
        break;
    case ServerImport::ConnectionPage: {
        dblink::ConnectionSettings& c = m_model.connection();
        c.server = m_server->text();
        c.database = m_database->text();
        c.user = m_user->text();
        c.password = m_password->text();
        c.networkLibrary = m_library->currentText();
        break;
    }
    case ServerImport::CatalogPage:
        m_model.setCatalog(m_catalogs->currentItem() ? m_catalogs->currentItem()->text() : QString());
        break;
    case ServerImport::SourcePage: {
        using ST = ServerImport::SourceType;
        const ST types[3] = {ST::Table, ST::View, ST::Procedure};
        m_model.setSource(ST::None);
        for (size_t i = 0; i < 3; ++i) {
            if (!m_options[i]->isChecked()) continue;
            QListWidgetItem* item = m_sources[i]->currentItem();
            m_model.setSource(types[i], item ? item->text() : QString());
        }
        break;
    }
    case ServerImport::ParametersPage:
        for (int r = 0; r < m_params->rowCount() && r < m_model.parameters().size(); ++r)
            m_model.parameters()[r].value = m_params->item(r, 4) ? m_params->item(r, 4)->text() : QString();
        break;
    case ServerImport::FieldsPage: {
        ImportMapping& m = m_model.mapping();
        for (int i = 0; i < kTrayCount; ++i)
            m.trays[size_t(i)] = m_trays[size_t(i)]->text();
        m.extraFields.clear();
        for (int i = 0; i < m_fields->count(); ++i)
            if (m_fields->item(i)->checkState() == Qt::Checked) m.extraFields << m_fields->item(i)->text();
        break;
    }
    default:
        break;
    }
}

// The lists of the page just reached, from what the server answered.
void frmDBServerImport::fillPage() {
    switch (m_model.page()) {
    case ServerImport::CatalogPage:
        m_catalogs->clear();
        m_catalogs->addItems(m_model.catalogs());
        break;
    case ServerImport::SourcePage: {
        const QStringList lists[3] = {m_model.tables(), m_model.views(), m_model.procedures()};
        for (size_t i = 0; i < 3; ++i) {
            m_sources[i]->clear();
            m_sources[i]->addItems(lists[i]);
        }
        break;
    }
    case ServerImport::ParametersPage: {
        const auto& params = m_model.parameters();
        m_params->setRowCount(int(params.size()));
        for (int r = 0; r < params.size(); ++r) {
            const QStringList cells = {params[r].name, params[r].type, QString::number(params[r].length),
                                       params[r].directionText()};
            for (int c = 0; c < 4; ++c) {
                auto* item = new QTableWidgetItem(cells[c]);
                item->setFlags(item->flags() & ~Qt::ItemIsEditable);
                m_params->setItem(r, c, item);
            }
            m_params->setItem(r, 4, new QTableWidgetItem(params[r].value));
        }
        break;
    }
    case ServerImport::FieldsPage:
        m_fields->clear();
        for (const auto& f : m_model.fields()) {
            auto* item = new QListWidgetItem(f.name, m_fields);
            item->setFlags(item->flags() | Qt::ItemIsUserCheckable | Qt::ItemIsDragEnabled);
            item->setCheckState(Qt::Unchecked);
        }
        for (QLineEdit* t : m_trays)
            t->clear();
        break;
    default:
        break;
    }
}

void frmDBServerImport::next() {
    takeInput();
    if (!m_model.next()) return;
    fillPage();
    showPage();
}

void frmDBServerImport::back() {
    if (m_build.building()) return;
    m_model.back();
    // Going back before the fields page drops the opened rows: they are opened again on Next.
    showPage();
}

void frmDBServerImport::buildList() {
    m_list.clear();
    m_counter->setText(QStringLiteral("0"));
    if (!m_model.startBuild(m_build)) return;
    m_buildButton->setEnabled(false);
    m_interrupt->setEnabled(true);
    m_back->setEnabled(false);
    m_exit->setEnabled(false);
    m_finish->setEnabled(false);
}

void frmDBServerImport::finish() {
    if (m_list.isEmpty()) return;
    const QString list = m_list;
    accept();
    if (showList)
        showList(list);
    else
        m_ctx.windows().openListWindow(QFileInfo(list).completeBaseName(), list);
}

void frmDBServerImport::load(AppContext& ctx, QWidget* parent,
                             const std::function<void(const QString&)>& showList) {
    auto* w = new frmDBServerImport(ctx, nullptr, parent);
    w->setAttribute(Qt::WA_DeleteOnClose);
    w->showList = showList;
    w->show();
}

} // namespace sendora
