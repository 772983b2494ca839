#include "screens/ui/frmScheduler.h"

#include "core/AppContext.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QPushButton>
#include <QTimeEdit>
#include <QVBoxLayout>

namespace sendora {

frmScheduler::frmScheduler(AppContext& ctx, QWidget* parent) : QDialog(parent), m_ctx(ctx), m_schedule(ctx) {
    setObjectName(QStringLiteral("frmScheduler"));
    m_date = new QDateEdit(this);
    m_date->setObjectName(QStringLiteral("dtpDate"));
    m_date->setCalendarPopup(true);
    m_time = new QTimeEdit(this);
    m_time->setObjectName(QStringLiteral("dtpTime"));
    m_time->setDisplayFormat(QStringLiteral("HH:mm"));
    m_active = new QCheckBox(QStringLiteral("Active"), this);
    m_active->setObjectName(QStringLiteral("chkActive"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("cmdOK"));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("cmdCancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &frmScheduler::save);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Date:"), m_date);
    form->addRow(QStringLiteral("Time:"), m_time);
    form->addRow(QString(), m_active);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    setUpRunner = [this] { ensureSchedulerRunner(m_ctx); };
}

bool frmScheduler::load(qint64 mailingId) {
    m_id = mailingId;
    setWindowTitle(QStringLiteral("Schedule Mailing # %1").arg(mailingId));
    const auto s = m_schedule.load(mailingId);
    if (!s) return false;
    m_date->setDate(s->date);
    m_time->setTime(s->time);
    m_active->setChecked(s->active);
    return true;
}

void frmScheduler::LoadValuesByID(qint64 mailingId) {
    if (load(mailingId)) exec();
}

void frmScheduler::save() {
    // A row that is gone or cannot be written was reported; the dialog closes either way.
    if (m_schedule.save(m_id, m_date->date(), m_time->time(), m_active->isChecked()))
        accept();
    else
        reject();
}

void frmScheduler::done(int result) {
    QDialog::done(result);
    if (m_active->isChecked() && setUpRunner) setUpRunner();
}

} // namespace sendora
