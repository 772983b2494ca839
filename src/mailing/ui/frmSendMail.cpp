#include "mailing/ui/frmSendMail.h"

#include "core/AppContext.h"
#include "core/ErrorLog.h"
#include "mailing/ui/SendResultsModel.h"

#include <QCheckBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QTableView>
#include <QVBoxLayout>
#include <limits>

namespace sendora {

namespace {

constexpr int kLogFlushMs = 100;
constexpr int kScrollMs = 50;

QLabel* caption(const QString& text, QWidget* parent) {
    auto* l = new QLabel(text, parent);
    l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return l;
}

QLabel* value(const QString& name, const QString& text, QWidget* parent) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(name);
    l->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return l;
}

// Error numbers of a bad or unreachable file name.
bool isFileNameError(int number) {
    return number == 52 || number == 64 || number == 75 || number == 76;
}

} // namespace

frmSendMail::frmSendMail(AppContext& ctx, const MailingRow& row, QWidget* parent)
    : QDialog(parent), m_ctx(ctx), m_row(row), m_results(new SendResultsModel(this)) {
    setObjectName(QStringLiteral("frmSendMail"));
    setWindowTitle(tr("Send Mailing"));
    setModal(true);

    // What is being sent.
    auto* about = new QGridLayout;
    about->addWidget(caption(tr("Group:"), this), 0, 0);
    about->addWidget(value(QStringLiteral("lblGroup"), row.group, this), 0, 1);
    about->addWidget(caption(tr("Message:"), this), 0, 2);
    about->addWidget(value(QStringLiteral("lblMessage"), row.message, this), 0, 3);
    about->addWidget(caption(tr("List:"), this), 1, 0);
    about->addWidget(value(QStringLiteral("lblList"), row.list, this), 1, 1);
    about->addWidget(caption(tr("Delivery Options:"), this), 1, 2);
    about->addWidget(value(QStringLiteral("lblProfile"), row.profile, this), 1, 3);
    about->setColumnStretch(1, 1);
    about->setColumnStretch(3, 1);

    // Buttons and counters.
    m_send = new QPushButton(style()->standardIcon(QStyle::SP_MediaPlay), tr("&Send"), this);
    m_send->setObjectName(QStringLiteral("cmdSend"));
    m_pause = new QPushButton(style()->standardIcon(QStyle::SP_MediaPause), tr("&Pause"), this);
    m_pause->setObjectName(QStringLiteral("cmdPause"));
    m_pause->setCheckable(true);
    m_stop = new QPushButton(style()->standardIcon(QStyle::SP_MediaStop), tr("S&top"), this);
    m_stop->setObjectName(QStringLiteral("cmdStop"));
    for (QPushButton* b : {m_send, m_pause, m_stop})
        b->setAutoDefault(false);
    m_send->setDefault(true);

    m_sent = value(QStringLiteral("lblSent"), QStringLiteral("0"), this);
    m_failed = value(QStringLiteral("lblFailed"), QStringLiteral("0"), this);
    for (QLabel* l : {m_sent, m_failed}) {
        l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        l->setMinimumWidth(l->fontMetrics().horizontalAdvance(QStringLiteral("0000000")));
        QFont f = l->font();
        f.setBold(true);
        l->setFont(f);
    }
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_send);
    buttons->addWidget(m_pause);
    buttons->addWidget(m_stop);
    buttons->addStretch(1);
    buttons->addWidget(new QLabel(tr("Sent:"), this));
    buttons->addWidget(m_sent);
    buttons->addSpacing(12);
    buttons->addWidget(new QLabel(tr("Failed:"), this));
    buttons->addWidget(m_failed);

    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("prgSend"));
    m_progress->setRange(0, 1);
    m_progress->setValue(0);
    m_progress->setFormat(QString()); // no count until the list is open

    // Connection state and status line; long server replies must not widen the window.
    m_connection = value(QStringLiteral("lblConnection"), mail::socketStateText(mail::StateClosed), this);
    m_status = value(QStringLiteral("lblStatus"), QString(), this);
    for (QLabel* l : {m_connection, m_status})
        l->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    auto* lines = new QGridLayout;
    lines->addWidget(caption(tr("Connection:"), this), 0, 0);
    lines->addWidget(m_connection, 0, 1);
    lines->addWidget(caption(tr("Status:"), this), 1, 0);
    lines->addWidget(m_status, 1, 1);
    lines->setColumnStretch(1, 1);

    // Result rows: fixed row heights and column widths keep a 100,000-row list cheap.
    m_list = new QTableView(this);
    m_list->setObjectName(QStringLiteral("lstResults"));
    m_list->setModel(m_results);
    m_list->setShowGrid(false);
    m_list->setWordWrap(false);
    m_list->setAlternatingRowColors(true);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    m_list->verticalHeader()->hide();
    m_list->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_list->verticalHeader()->setDefaultSectionSize(m_list->fontMetrics().height() + 6);
    m_list->horizontalHeader()->setSectionResizeMode(SendResultsModel::MarkColumn, QHeaderView::Fixed);
    m_list->horizontalHeader()->resizeSection(SendResultsModel::MarkColumn,
                                              m_list->fontMetrics().horizontalAdvance(tr("Result")) + 48);
    m_list->horizontalHeader()->setStretchLastSection(true);
    m_list->horizontalHeader()->setHighlightSections(false);

    m_viewLog = new QCheckBox(tr("View Log"), this);
    m_viewLog->setObjectName(QStringLiteral("chkViewLog"));
    m_close = new QPushButton(tr("Close"), this);
    m_close->setObjectName(QStringLiteral("cmdClose"));
    m_close->setAutoDefault(false);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(m_viewLog);
    bottom->addStretch(1);
    bottom->addWidget(m_close);

    m_log = new QPlainTextEdit(this);
    m_log->setObjectName(QStringLiteral("txtLog"));
    m_log->setReadOnly(true);
    m_log->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_log->setMaximumBlockCount(kLogLines);
    m_log->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_log->hide();

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(about);
    layout->addLayout(buttons);
    layout->addWidget(m_progress);
    layout->addLayout(lines);
    layout->addWidget(m_list, 3);
    layout->addLayout(bottom);
    layout->addWidget(m_log, 2);

    m_logFlush.setSingleShot(true);
    m_logFlush.setInterval(kLogFlushMs);
    connect(&m_logFlush, &QTimer::timeout, this, &frmSendMail::flushLog);
    m_scroll.setSingleShot(true);
    m_scroll.setInterval(kScrollMs);
    connect(&m_scroll, &QTimer::timeout, m_list, &QTableView::scrollToBottom);

    connect(m_send, &QPushButton::clicked, this, &frmSendMail::pressSend);
    connect(m_pause, &QPushButton::clicked, this, &frmSendMail::pressPause);
    connect(m_stop, &QPushButton::clicked, this, &frmSendMail::pressStop);
    connect(m_close, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_viewLog, &QCheckBox::toggled, this, &frmSendMail::showLog);

    setState(Idle);
    resize(640, 480);
}

frmSendMail::~frmSendMail() {
    if (!m_mailing) return;
    // The session outlives nothing of ours: cut its links before it winds down.
    if (SMTPSocket* s = m_mailing->session()) {
        s->disconnect(this);
        s->log().onLine = nullptr;
    }
    m_mailing->disconnect(this);
    m_mailing->setStop();
    m_mailing.reset();
}

void frmSendMail::done(int result) {
    if (m_closing) return; // already closing, on the wait below
    if (m_state == Sending || m_state == Paused) {
        m_closing = true;
        setEnabled(false); // nothing may start while the mailing winds down
        setState(Stopped);
        if (m_mailing) m_mailing->stopAndFinish(closeWaitMs);
        setEnabled(true);
        m_closing = false;
    }
    QDialog::done(result);
}

void frmSendMail::pressSend() {
    if (m_closing) return;
    switch (m_state) {
    case Idle:
    case Stopped: {
        LeaveOut leaveOut;
        if (!confirmStart(leaveOut)) return;
        setState(Sending);
        startMailing(leaveOut);
        break;
    }
    case Paused:
        setState(Sending);
        break;
    case Sending:
        break;
    }
}

void frmSendMail::pressPause() {
    if (m_state == Sending)
        setState(Paused);
    else if (m_state == Paused)
        setState(Sending);
    else
        m_pause->setChecked(false);
}

void frmSendMail::pressStop() {
    if (m_state == Sending || m_state == Paused) setState(Stopped);
}

void frmSendMail::setState(State next) {
    const State previous = m_state;
    m_state = next;
    if (m_mailing) {
        if (next == Paused)
            m_mailing->setPause(true);
        else if (previous == Paused && next == Sending)
            m_mailing->setPause(false);
        else if (next == Stopped)
            m_mailing->setStop();
    }
    const bool running = next == Sending || next == Paused;
    m_send->setEnabled(next != Sending);
    m_pause->setEnabled(running);
    m_pause->setChecked(next == Paused);
    m_stop->setEnabled(running);
    if (next != Sending) m_send->setFocus();
    if (previous != next) Q_EMIT stateChanged(next);
}

bool frmSendMail::confirmStart(LeaveOut& leaveOut) {
    // From state 0 the mailing centre asked already; these questions are about sends from here.
    if (m_state != Stopped || !m_mailing) return true;
    const MailingRow row = loadMailingRow(m_ctx, m_row.id).value_or(m_row);
    if (m_interrupted) {
        const std::optional<SendRemainder> rest = unsentRemainder(m_ctx, row, m_delivered);
        if (rest && rest->count > 0 &&
            m_ctx.ui->message(resumeQuestion(rest->count), Buttons::YesNo, Icon::Question, kResumeTitle) ==
                Answer::Yes) {
            leaveOut = rest->leaveOut;
            return true;
        }
    }
    return row.dateSent.trimmed().isEmpty() || !confirmSendAgain || confirmSendAgain(row);
}

void frmSendMail::startMailing(const LeaveOut& leaveOut) {
    m_summaryShown = false;
    m_interrupted = false;
    m_status->setText(QStringLiteral("Connecting, ...please wait."));
    m_status->setToolTip({});
    m_sent->setText(QStringLiteral("0"));
    m_failed->setText(QStringLiteral("0"));
    m_connection->setText(mail::socketStateText(mail::StateClosed));
    m_progress->setRange(0, 0); // busy until the list is open
    m_progress->setFormat(QString());
    m_results->clear();
    m_logTail.clear();
    m_logPending.clear();
    m_log->clear();

    // The previous session lets go of the list file before the next one opens it.
    m_mailing.reset();
    // Fresh figures: a resumed mailing counts on from what the last send stored.
    const MailingRow row = loadMailingRow(m_ctx, m_row.id).value_or(m_row);
    m_mailing = std::make_unique<RelaySend>(m_ctx, row);
    m_mailing->transportFactory = transportFactory;
    m_mailing->leaveOut = leaveOut;
    // Wired before the session starts, so its first log lines and early refusals show.
    m_mailing->onSessionCreated = [this](SMTPSocket& session) { connectSession(session); };
    const RelaySend* mailing = m_mailing.get();
    connect(m_mailing.get(), &RelaySend::finished, this,
            [this, mailing](bool completed) { onFinished(mailing, completed); });

    bool started = false;
    try {
        started = m_mailing->start();
    } catch (const std::exception& e) {
        LogError(m_ctx, QStringLiteral("cmdSend_Click in frmSendMail"), errorInfo(e), false);
        showStartError(e);
    }
    if (!started || !m_mailing->session()) {
        m_status->clear();
        m_progress->setRange(0, 1);
        setState(Stopped);
        return;
    }
    const qint64 total = m_mailing->recipientCount();
    if (total > 0) {
        m_progress->setRange(0, int(std::min<qint64>(total, std::numeric_limits<int>::max())));
        m_progress->setValue(0); // a range change may have reset it below the range
        m_progress->setFormat(tr("%v of %m addresses"));
    }
}

void frmSendMail::showStartError(const std::exception& e) {
    const ErrorInfo info = errorInfo(e);
    if (isFileNameError(info.number))
        m_ctx.ui->message(
            QStringLiteral("Windows complained of an invalid file name.  In this case the error may be "
                           "due to accessing a drive letter assigned to a device which is not ready, "
                           "for instance an empty ZIP drive or CD-ROM drive."),
            Buttons::OK, Icon::Critical);
    else
        m_ctx.ui->message(info.description + QStringLiteral(". ") + QString::number(info.number), Buttons::OK,
                          Icon::Critical);
}

void frmSendMail::connectSession(SMTPSocket& s) {
    connect(&s, &SMTPSocket::ResultString, this, [this](const QString& text) {
        if (m_summaryShown) return; // the closing exchange must not hide the summary
        m_status->setText(text);
        m_status->setToolTip(text);
    });
    connect(&s, &SMTPSocket::sckState, m_connection, &QLabel::setText);
    connect(&s, &SMTPSocket::CounterUpdate, this, &frmSendMail::showCounters);
    connect(&s, &SMTPSocket::MessageSent, this, [this](qint32 passed) {
        m_status->setText(QString::number(passed) + QStringLiteral(" messages sent."));
        m_status->setToolTip({});
        m_summaryShown = true;
    });
    connect(&s, &SMTPSocket::MailOutComplete, this, [this] { setState(Stopped); });
    connect(&s, &SMTPSocket::AddMailed, this, &frmSendMail::addResult);
    s.log().onLine = [this](const QString& line) { addLogLine(line); };
}

void frmSendMail::showCounters(qint32 passed, qint32 failed) {
    m_sent->setText(QString::number(passed));
    m_failed->setText(QString::number(failed));
    if (m_progress->maximum() > 0 && m_mailing && m_mailing->session())
        m_progress->setValue(std::min(m_progress->maximum(), int(m_mailing->session()->taken())));
}

void frmSendMail::onFinished(const RelaySend* which, bool completed) {
    if (which != m_mailing.get()) return; // a mailing this screen has already let go of
    m_interrupted = !completed;
    setState(Stopped);
    // Refused before connecting (an invalid sender, no list): the waiting text no longer holds.
    if (m_status->text() == QLatin1String("Connecting, ...please wait.")) m_status->clear();
    if (m_progress->maximum() == 0) m_progress->setRange(0, 1);
    if (completed) m_progress->setValue(m_progress->maximum());
    // Statistics exist only for a mailing that ran to its completion or abort.
    if (SMTPSocket* s = which->session(); s && s->log().facts.end.isValid())
        m_results->append(s->statisticsRows());
    m_scroll.start();
    Q_EMIT mailingFinished(completed);
}

void frmSendMail::addResult(const QString& text, SMTPSocket::Mark mark) {
    m_results->append(text, mark);
    if (mark == SMTPSocket::Mark::Ok)
        if (const QString address = deliveredAddress(text); !address.isEmpty()) m_delivered.insert(address);
    const QScrollBar* bar = m_list->verticalScrollBar();
    // Follow the newest row unless the user scrolled up to read.
    if (bar->value() >= bar->maximum() && !m_scroll.isActive()) m_scroll.start();
}

void frmSendMail::addLogLine(const QString& line) {
    m_logTail.push_back(line);
    if (m_logTail.size() > size_t(kLogLines)) m_logTail.pop_front();
    if (!m_viewLog->isChecked()) return;
    m_logPending << line;
    if (m_logPending.size() > kLogLines) m_logPending.remove(0, m_logPending.size() - kLogLines);
    if (!m_logFlush.isActive()) m_logFlush.start();
}

void frmSendMail::flushLog() {
    if (m_logPending.isEmpty()) return;
    m_log->appendPlainText(m_logPending.join(u'\n'));
    m_logPending.clear();
    m_log->verticalScrollBar()->setValue(m_log->verticalScrollBar()->maximum());
}

void frmSendMail::showLog(bool on) {
    m_logFlush.stop();
    m_logPending.clear();
    if (on) {
        QStringList lines;
        lines.reserve(qsizetype(m_logTail.size()));
        for (const QString& l : m_logTail)
            lines << l;
        m_log->setPlainText(lines.join(u'\n'));
        m_log->verticalScrollBar()->setValue(m_log->verticalScrollBar()->maximum());
    } else {
        m_log->clear();
    }
    m_log->setVisible(on);
}

} // namespace sendora
