#include "mailing/ui/frmFailures.h"

#include "components/jet/Jet.h"
#include "core/AppContext.h"
#include "core/ErrorLog.h"

#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace sendora {

namespace {
constexpr int kBatchRows = 200;
}

QString frmFailures::entryText(const QVariant& id, const QString& address, const QString& error) {
    return QStringLiteral("ID: ") + id.toString() + QStringLiteral(" - Email Address: ") + address +
           QStringLiteral("\r\nError: ") + error;
}

frmFailures::frmFailures(AppContext& ctx, const QString& listFile, QWidget* parent)
    : QDialog(parent), m_ctx(ctx), m_list(new QListWidget(this)) {
    setObjectName(QStringLiteral("frmFailures"));
    setWindowTitle(QStringLiteral("Failures"));
    m_list->setObjectName(QStringLiteral("lstFailures"));
    auto* close = new QPushButton(QStringLiteral("&Close"), this);
    close->setObjectName(QStringLiteral("cmdClose"));
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_list, 1);
    layout->addWidget(close, 0, Qt::AlignRight);
    resize(520, 400);
    try {
        m_db = jet::Database::open(m_ctx.paths.addressLists + listFile, jet::Database::OpenMode::ReadOnly);
        m_rows = m_db->openRecordset(
            QStringLiteral("SELECT EAddress, Error, ID FROM AddressList WHERE Error <> \"\""));
    } catch (const std::exception& e) {
        LogError(m_ctx, QStringLiteral("Form_Load in frmFailures"), errorInfo(e), false);
        m_rows.reset();
        m_db.reset();
    }
    m_batch.setInterval(0);
    connect(&m_batch, &QTimer::timeout, this, &frmFailures::readBatch);
    if (m_rows) m_batch.start();
}

frmFailures::~frmFailures() {
    stop();
}

void frmFailures::readBatch() {
    try {
        for (int n = 0; n < kBatchRows && !m_rows->eof(); ++n, m_rows->moveNext())
            m_list->addItem(
                entryText(m_rows->value(2), m_rows->value(0).toString(), m_rows->value(1).toString()));
        if (m_rows->eof()) stop();
    } catch (const std::exception& e) {
        LogError(m_ctx, QStringLiteral("Form_Load in frmFailures"), errorInfo(e), false);
        stop();
    }
}

void frmFailures::stop() {
    m_batch.stop();
    m_rows.reset();
    m_db.reset();
}

void frmFailures::done(int result) {
    stop(); // a long listing ends with the window
    QDialog::done(result);
}

} // namespace sendora
