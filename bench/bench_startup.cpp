// Time from process start to the main window painted, on a system database with 1,000
// groups, 1,000 messages and 1,000 lists, against a bare Qt main window in the same run.
// Each measurement starts this program again as a child and waits for its "shown" line.
//
//   bench_startup [runs]        (default 7 runs of each, medians reported)

#include "components/jet/Jet.h"
#include "core/AppContext.h"
#include "core/Startup.h"
#include "core/SystemDatabase.h"
#include "core/ui/QtUserInterface.h"
#include "screens/ui/MdiMain.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QMainWindow>
#include <QMdiArea>
#include <QProcess>
#include <QStatusBar>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>

namespace {

constexpr int kObjects = 1000;

// Prints "shown" at the window's first paint and ends the run.
class FirstPaint : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && !m_done) {
            m_done = true;
            std::printf("shown\n");
            std::fflush(stdout);
            QMetaObject::invokeMethod(
                qApp, [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
        }
        return QObject::eventFilter(watched, event);
    }

private:
    bool m_done = false;
};

class Answers : public sendora::UserInterface {
public:
    sendora::Answer message(const QString&, sendora::Buttons b, sendora::Icon, const QString&) override {
        return b == sendora::Buttons::OK ? sendora::Answer::OK : sendora::Answer::No;
    }
    std::optional<QString> inputBox(const QString&, const QString&, const QString&) override { return {}; }
    std::optional<QString> openFileName(const QString&, const QString&,
                                        const QList<sendora::FileFilter>&) override {
        return {};
    }
    std::optional<QString> saveFileName(const QString&, const QString&,
                                        const QList<sendora::FileFilter>&) override {
        return {};
    }
    QStringList checkList(const QString&, const QString&, const QStringList&) override { return {}; }
};

int runBare(int argc, char** argv) {
    QApplication app(argc, argv);
    QMainWindow window;
    window.setCentralWidget(new QMdiArea(&window));
    window.statusBar()->addWidget(new QLabel(QStringLiteral("Ready"), &window));
    window.resize(1180, 760);
    FirstPaint paint;
    window.installEventFilter(&paint);
    window.show();
    return app.exec();
}

int runSendora(int argc, char** argv, const QString& folder) {
    QApplication app(argc, argv);
    sendora::QtUserInterface ui;
    sendora::AppContext ctx(folder, &ui, nullptr);
    sendora::MdiMain window(ctx);
    ctx.host = &window;
    ui.setParent(&window);
    FirstPaint paint;
    window.installEventFilter(&paint);
    if (!sendora::Startup(ctx).run()) return 1;
    std::printf("ready\n"); // lists synchronised, commands set up
    std::fflush(stdout);
    return app.exec();
}

bool populate(const QString& folder) {
    Answers answers;
    sendora::AppContext ctx(folder, &answers, nullptr);
    if (!sendora::Startup(ctx).run()) return false;
    const QString sdr = ctx.paths.systemDatabase();
    auto db = jet::Database::open(sdr);
    db->beginTransaction();
    const QString seed = ctx.paths.listFile(sendora::kGlobalRemoveListFile);
    for (int i = 0; i < kObjects; ++i) {
        const QString n = QStringLiteral("%1").arg(i, 4, 10, QLatin1Char('0'));
        db->execute(QStringLiteral("INSERT INTO Sendora (SendoraName, SendoraDescription) VALUES (%1, %2)")
                        .arg(jet::quote("Group " + n), jet::quote("Bench group " + n)));
        db->execute(
            QStringLiteral(
                "INSERT INTO Message (MessageName, Subject, HTMLText, MessageText) VALUES "
                "(%1, \"Hello [[FirstName]]\", \"<p>Dear [[FirstName]],</p>\", \"Dear [[FirstName]],\")")
                .arg(jet::quote("Message " + n)));
        const QString list = "List " + n;
        db->execute(QStringLiteral(
                        "INSERT INTO List([listname],[listpath],[listdescription]) values(%1,%2,\"bench\")")
                        .arg(jet::quote(list), jet::quote(list + ".mdb")));
        QFile::copy(seed, ctx.paths.listFile(list + ".mdb"));
    }
    db->commit();
    return true;
}

struct ChildTimes {
    qint64 shown = -1;
    qint64 ready = -1; // sendora only
};

ChildTimes timeChild(const QString& program, const QStringList& args) {
    ChildTimes times;
    QProcess child;
    // The offscreen platform's chatter would drown the figures; a failing child's is shown.
    child.setProcessChannelMode(QProcess::SeparateChannels);
    QElapsedTimer clock;
    clock.start();
    child.start(program, args);
    while (child.state() != QProcess::NotRunning || child.canReadLine()) {
        while (child.canReadLine()) {
            const QByteArray line = child.readLine();
            if (line.startsWith("shown"))
                times.shown = clock.nsecsElapsed();
            else if (line.startsWith("ready"))
                times.ready = clock.nsecsElapsed();
        }
        if (child.state() != QProcess::NotRunning) child.waitForReadyRead(5000);
    }
    if (times.shown < 0) std::fprintf(stderr, "%s", child.readAllStandardError().constData());
    return times;
}

double medianMs(QList<qint64> ns) {
    std::sort(ns.begin(), ns.end());
    return ns.isEmpty() ? 0.0 : ns[ns.size() / 2] / 1e6;
}

} // namespace

int main(int argc, char** argv) {
    if (argc >= 3 && QByteArray(argv[1]) == "--child") {
        if (QByteArray(argv[2]) == "bare") return runBare(argc, argv);
        if (argc >= 4) return runSendora(argc, argv, QString::fromLocal8Bit(argv[3]));
        return 2;
    }
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, QByteArray(argv[1]).toInt()) : 7;
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    QTemporaryDir dir;
    QElapsedTimer setup;
    setup.start();
    if (!populate(dir.path())) {
        std::fprintf(stderr, "could not build the bench database\n");
        return 1;
    }
    std::printf("system database with %d groups, %d messages, %d lists built in %.0f ms\n", kObjects,
                kObjects, kObjects, setup.elapsed() * 1.0);

    const QString self = QCoreApplication::applicationFilePath();
    const QStringList bare{"--child", "bare"};
    const QStringList sendora{"--child", "sendora", dir.path()};
    timeChild(self, bare); // warm the file cache and convert the merge tags once
    timeChild(self, sendora);
    QList<qint64> bareTimes, sendoraTimes, readyTimes;
    for (int i = 0; i < runs; ++i) {
        bareTimes << timeChild(self, bare).shown;
        const ChildTimes t = timeChild(self, sendora);
        sendoraTimes << t.shown;
        readyTimes << t.ready;
    }
    if (bareTimes.contains(-1) || sendoraTimes.contains(-1)) {
        std::fprintf(stderr, "a child run did not show its window\n");
        return 1;
    }
    const double b = medianMs(bareTimes), s = medianMs(sendoraTimes);
    std::printf("bare main window shown:    %8.1f ms (median of %d)\n", b, runs);
    std::printf("sendora main window shown: %8.1f ms (median of %d)\n", s, runs);
    std::printf("ratio:                     %8.2f x   (aim: under 500 ms and under 3x)\n", s / b);
    std::printf("sendora start-up finished: %8.1f ms (lists synchronised, commands ready)\n",
                medianMs(readyTimes));
    return 0;
}
