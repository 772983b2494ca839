#include "mailing/ui/frmDirectSend.h"

#include "core/AppContext.h"
#include "mailing/Undeliverables.h"
#include "mailing/ui/frmFailures.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEventLoop>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace sendora {

namespace {

constexpr int kLogBlocks = 5000; // the view keeps the newest lines only

QLabel* value(const QString& name, const QString& text, QWidget* parent) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(name);
    l->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return l;
}

QPushButton* button(const QString& name, const QString& text, QWidget* parent) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(name);
    b->setAutoDefault(false);
    return b;
}

} // namespace

QString frmDirectSend::bytesText(qint64 bytes) {
    return QLocale(QLocale::English).toString(double(bytes), 'f', 2);
}

QString frmDirectSend::elapsedText(qint64 ms) {
    const qint64 s = ms / 1000;
    return QStringLiteral("%1:%2:%3")
        .arg(s / 3600, 2, 10, QChar(u'0'))
        .arg(s / 60 % 60, 2, 10, QChar(u'0'))
        .arg(s % 60, 2, 10, QChar(u'0'));
}

frmDirectSend::frmDirectSend(AppContext& ctx, const MailingRow& row, QWidget* parent)
    : QDialog(parent), m_ctx(ctx), m_row(row) {
    setObjectName(QStringLiteral("frmDirectSend"));
    setWindowTitle(QStringLiteral("Direct Send"));
    setModal(true);

    auto* about = new QGridLayout;
    const std::pair<const char*, QString> names[] = {{"Delivery Options:", row.profile},
                                                     {"Sendora Group:", row.group},
                                                     {"Mailing List:", row.list},
                                                     {"Message:", row.message}};
    const char* ids[] = {"lblProfile", "lblGroup", "lblList", "lblMessage"};
    for (int i = 0; i < 4; ++i) {
        about->addWidget(new QLabel(QLatin1String(names[i].first), this), i / 2, (i % 2) * 2);
        about->addWidget(value(QLatin1String(ids[i]), names[i].second, this), i / 2, (i % 2) * 2 + 1);
    }

    m_send = button(QStringLiteral("cmdSend"), QStringLiteral("&Send"), this);
    m_pause = button(QStringLiteral("cmdPause"), QStringLiteral("&Pause"), this);
    m_stop = button(QStringLiteral("cmdStop"), QStringLiteral("S&top"), this);
    m_failures = button(QStringLiteral("cmdFailures"), QStringLiteral("&Failures"), this);
    m_close = button(QStringLiteral("cmdClose"), QStringLiteral("&Close"), this);
    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {m_send, m_pause, m_stop, m_failures, m_close})
        buttons->addWidget(b);

    m_time = value(QStringLiteral("lblElapsed"), QStringLiteral("00:00:00"), this);
    m_addresses = value(QStringLiteral("lblAddresses"), QStringLiteral("0"), this);
    m_sent = value(QStringLiteral("lblSent"), QStringLiteral("0"), this);
    m_failed = value(QStringLiteral("lblFailed"), QStringLiteral("0"), this);
    m_rate = value(QStringLiteral("lblRate"), QStringLiteral("0"), this);
    m_bytes = value(QStringLiteral("lblBytes"), bytesText(0), this);
    m_lastFailure = value(QStringLiteral("lblLastFailure"), QString(), this);
    m_lastFailure->setWordWrap(true);
    m_unit = new QComboBox(this);
    m_unit->setObjectName(QStringLiteral("cboTimeUnit"));
    m_unit->addItems({QStringLiteral("Second"), QStringLiteral("Minute"), QStringLiteral("Hour")});
    m_unit->setCurrentIndex(1);
    auto* counts = new QGridLayout;
    int r = 0;
    for (auto [text, widget] :
         std::initializer_list<std::pair<const char*, QWidget*>>{{"Elapsed:", m_time},
                                                                 {"Addresses:", m_addresses},
                                                                 {"Sent:", m_sent},
                                                                 {"Failed:", m_failed},
                                                                 {"Bytes sent:", m_bytes}}) {
        counts->addWidget(new QLabel(QLatin1String(text), this), r, 0);
        counts->addWidget(widget, r++, 1);
    }
    counts->addWidget(new QLabel(QStringLiteral("Messages per"), this), r, 0);
    counts->addWidget(m_unit, r, 1);
    counts->addWidget(m_rate, r++, 2);
    counts->addWidget(new QLabel(QStringLiteral("Last Failure"), this), r, 0);
    counts->addWidget(m_lastFailure, r++, 1, 1, 2);

    m_viewLog = new QCheckBox(QStringLiteral("View Log"), this);
    m_viewLog->setObjectName(QStringLiteral("chkViewLog"));
    m_mailer = new QComboBox(this);
    m_mailer->setObjectName(QStringLiteral("cboMailer"));
    m_log = new QPlainTextEdit(this);
    m_log->setObjectName(QStringLiteral("txtLog"));
    m_log->setReadOnly(true);
    m_log->setMaximumBlockCount(kLogBlocks);
    m_log->setVisible(false);
    connect(m_viewLog, &QCheckBox::toggled, m_log, &QWidget::setVisible);
    auto* logBar = new QHBoxLayout;
    logBar->addWidget(m_viewLog);
    logBar->addWidget(new QLabel(QStringLiteral("Mailer:"), this));
    logBar->addWidget(m_mailer, 1);

    m_status = value(QStringLiteral("lblStatus"), QString(), this);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(about);
    layout->addLayout(buttons);
    layout->addLayout(counts);
    layout->addLayout(logBar);
    layout->addWidget(m_log, 1);
    layout->addWidget(m_status);

    connect(m_send, &QPushButton::clicked, this, &frmDirectSend::pressSend);
    connect(m_pause, &QPushButton::clicked, this, &frmDirectSend::pressPause);
    connect(m_stop, &QPushButton::clicked, this, &frmDirectSend::pressStop);
    connect(m_failures, &QPushButton::clicked, this, &frmDirectSend::pressFailures);
    connect(m_close, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_unit, &QComboBox::currentIndexChanged, this, &frmDirectSend::tick);
    m_elapsed.setInterval(1000);
    connect(&m_elapsed, &QTimer::timeout, this, &frmDirectSend::tick);
    setState(Idle);
}

frmDirectSend::~frmDirectSend() = default;

void frmDirectSend::setState(State s) {
    m_state = s;
    const bool running = s == Sending || s == Paused;
    m_send->setEnabled(s == Idle || s == Over);
    m_pause->setEnabled(running);
    m_pause->setText(s == Paused ? QStringLiteral("&Resume") : QStringLiteral("&Pause"));
    m_stop->setEnabled(running || s == Initialising);
    m_failures->setEnabled(s != Initialising);
    m_close->setEnabled(s != Stopping);
    if (running)
        m_elapsed.start();
    else
        m_elapsed.stop();
    Q_EMIT stateChanged(s);
}

void frmDirectSend::pressSend() {
    if (m_state != Idle && m_state != Over) return;
    m_manager = std::make_unique<CMailingManager>(m_ctx);
    CMailingManager* m = m_manager.get();
    connect(m, &CMailingManager::status, m_status, &QLabel::setText);
    connect(m, &CMailingManager::idsAssigned, this, [this](qint64 n) {
        m_addresses->setText(QString::number(n));
        tick();
    });
    connect(m, &CMailingManager::initFinished, this, &frmDirectSend::onInitFinished);
    connect(m, &CMailingManager::bytesSent, this, [this](qint64 b) { m_bytes->setText(bytesText(b)); });
    connect(m, &CMailingManager::sentChanged, this,
            [this](qint64 n) { m_sent->setText(QString::number(n)); });
    connect(m, &CMailingManager::failedChanged, this,
            [this](qint64 n) { m_failed->setText(QString::number(n)); });
    connect(m, &CMailingManager::failure, this, [this](int mailer, qint64 id, const QString& text) {
        m_lastFailure->setText(text);
        addLog(QStringLiteral("Description: ") + text);
        addLog(QStringLiteral("Mailer#:     ") + QString::number(mailer));
        addLog(QStringLiteral("Address ID:  ") + QString::number(id));
    });
    connect(m, &CMailingManager::mailerLog, this, [this](int mailer, const QString& line) {
        if (m_mailer->currentIndex() + 1 == mailer) addLog(line);
    });
    connect(m, &CMailingManager::mailingEnded, this, [this](bool completed) {
        tick();
        setState(Over);
        Q_EMIT mailingFinished(completed);
    });
    for (QLabel* l : {m_sent, m_failed, m_rate})
        l->setText(QStringLiteral("0"));
    m_lastFailure->clear();
    m_status->setText(QStringLiteral("Initializing mailers, please wait..."));
    setState(Initialising);
    m->init(m_row.id);
}

void frmDirectSend::onInitFinished(bool ok) {
    if (!ok) {
        setState(Over);
        return;
    }
    const int mailers = std::max<int>(1, m_manager->options().concurrent_mailers);
    if (!m_manager->start(m_manager->addressCount(), mailers)) {
        setState(Over);
        return;
    }
    m_mailer->clear();
    for (int i = 1; i <= m_manager->mailerCount(); ++i)
        m_mailer->addItem(QStringLiteral("Mailer %1").arg(i));
    m_status->setText(QStringLiteral("Sending..."));
    setState(Sending);
}

void frmDirectSend::pressPause() {
    if (m_state == Sending) {
        m_manager->pauseMailing();
        m_status->setText(QStringLiteral("Paused."));
        setState(Paused);
    } else if (m_state == Paused) {
        m_manager->endPause();
        m_status->setText(QStringLiteral("Sending..."));
        setState(Sending);
    }
}

void frmDirectSend::pressStop() {
    if (m_state == Initialising) {
        m_manager->cancelInit();
    } else if (m_state == Sending || m_state == Paused) {
        m_manager->stopMailing();
        setState(Stopping);
    }
}

void frmDirectSend::pressFailures() {
    CUndeliverables lookup(m_ctx);
    lookup.addressList = m_row.list;
    frmFailures failures(m_ctx, lookup.getPathName(), this);
    failures.exec();
}

void frmDirectSend::tick() {
    if (!m_manager) return;
    const qint64 ms = m_manager->elapsedMs();
    m_time->setText(elapsedText(ms));
    static const int unitSeconds[] = {1, 60, 3600};
    const double seconds = std::max<double>(ms / 1000.0, 1.0);
    const double rate =
        double(m_manager->sentCount()) / seconds * unitSeconds[std::max(0, m_unit->currentIndex())];
    m_rate->setText(QLocale(QLocale::English).toString(rate, 'f', 1));
}

void frmDirectSend::addLog(const QString& line) {
    if (m_viewLog->isChecked()) m_log->appendPlainText(line);
}

void frmDirectSend::done(int result) {
    if (m_state == Initialising) m_manager->cancelInit();
    if (m_state == Sending || m_state == Paused || m_state == Stopping) {
        // The mailers finish their messages in flight; the figures are stored before closing.
        if (m_state != Stopping) pressStop();
        QEventLoop wait;
        connect(m_manager.get(), &CMailingManager::mailingEnded, &wait, &QEventLoop::quit);
        QTimer::singleShot(closeWaitMs, &wait, &QEventLoop::quit);
        if (m_state != Over) wait.exec();
        if (m_state != Over) m_manager->abandon(); // a server that keeps its message too long
    }
    QDialog::done(result);
}

} // namespace sendora
