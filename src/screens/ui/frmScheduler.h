#pragma once
// frmScheduler: the date, time and Active box of one mailing's schedule. Closing with the
// box ticked makes sure the scheduled runner will run.

#include "screens/Scheduler.h"

#include <QDialog>
#include <functional>

class QCheckBox;
class QDateEdit;
class QTimeEdit;

namespace sendora {

struct AppContext;

class frmScheduler : public QDialog {
    Q_OBJECT
public:
    explicit frmScheduler(AppContext& ctx, QWidget* parent = nullptr);

    // Loads the mailing's schedule and shows the dialog modal (not at all when there is no
    // such mailing).
    void LoadValuesByID(qint64 mailingId);
    // The loading alone: caption, empty columns filled in and stored, the controls set.
    bool load(qint64 mailingId);

    // Run on closing with the box ticked; sets up the timer (or shows the crontab line) by
    // default, tests count the calls.
    std::function<void()> setUpRunner;

    void done(int result) override;

private:
    void save();

    AppContext& m_ctx;
    Scheduler m_schedule;
    qint64 m_id = 0;
    QDateEdit* m_date;
    QTimeEdit* m_time;
    QCheckBox* m_active;
};

} // namespace sendora
