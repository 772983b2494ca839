// sendora: the desktop program. Start-up runs with Qt message boxes; the main window
// opens at the point of start-up where the windows are needed.

#include "core/AppContext.h"
#include "core/Startup.h"
#include "core/ui/QtUserInterface.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QLabel>
#include <QMainWindow>
#include <QMdiArea>
#include <QStatusBar>

namespace {

class MainWindowHost : public sendora::WindowHost {
public:
    explicit MainWindowHost(sendora::QtUserInterface& ui) : m_ui(ui) {}

    void showMainWindow() override {
        m_window.setObjectName(QStringLiteral("mdiMain"));
        m_window.setWindowTitle(QStringLiteral("Sendora"));
        auto* area = new QMdiArea(&m_window);
        area->setObjectName(QStringLiteral("mdiArea"));
        m_window.setCentralWidget(area);
        m_window.statusBar()->addWidget(new QLabel(&m_window), 1);
        m_window.resize(1024, 700);
        m_window.show();
        m_ui.setParent(&m_window);
    }

private:
    sendora::QtUserInterface& m_ui;
    QMainWindow m_window;
};

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Sendora"));

    QCommandLineParser parser;
    parser.addHelpOption();
    QCommandLineOption dataDir(QStringLiteral("data-dir"), QStringLiteral("Folder that holds the data."),
                               QStringLiteral("DIR"));
    parser.addOption(dataDir);
    parser.process(app);

    sendora::QtUserInterface ui;
    MainWindowHost host(ui);
    const QString folder =
        sendora::resolveApplicationFolder(parser.value(dataDir), QCoreApplication::applicationDirPath());
    sendora::AppContext ctx(folder, &ui, &host);
    sendora::Startup startup(ctx);
    if (!startup.run())
        return 1;
    return app.exec();
}
