// sendora: the desktop program. Start-up runs with Qt message boxes and opens the main
// window at the point where start-up needs it; the run ends when the main window closes.

#include "authoring/ui/frmConfiguration.h"
#include "authoring/ui/frmMessageEdit.h"
#include "components/htmlcomposer/WebHtmlView.h"
#include "core/AppContext.h"
#include "core/Startup.h"
#include "core/ui/QtUserInterface.h"
#include "import/AddrManager.h"
#include "import/ui/frmDBServerImport.h"
#include "import/ui/frmEmailWizard.h"
#include "import/ui/frmImportWizard.h"
#include "lists/ui/ListTools.h"
#include "lists/ui/frmList.h"
#include "lists/ui/frmSelectionBuilder.h"
#include "mailing/ui/frmUndeliverable.h"
#include "pop/ui/frmPOPWizard.h"
#include "screens/ui/Icons.h"
#include "screens/ui/MdiMain.h"
#include "screens/ui/frmSDCentral.h"
#include "verify/ui/frmVerifyLIst.h"

#include <QApplication>
#include <QCommandLineParser>

int main(int argc, char** argv) {
    sendora::registerHtmlEngineSchemes(); // before the application object exists
    QApplication app(argc, argv);
    sendora::installWebHtmlEngine();
    QApplication::setApplicationName(QStringLiteral("Sendora"));
    QApplication::setWindowIcon(sendora::applicationIcon());

    QCommandLineParser parser;
    parser.addHelpOption();
    QCommandLineOption dataDir(QStringLiteral("data-dir"), QStringLiteral("Folder that holds the data."),
                               QStringLiteral("DIR"));
    parser.addOption(dataDir);
    parser.process(app);

    sendora::QtUserInterface ui;
    const QString folder =
        sendora::resolveApplicationFolder(parser.value(dataDir), QCoreApplication::applicationDirPath());
    sendora::AppContext ctx(folder, &ui, nullptr);
    sendora::MdiMain window(ctx);
    sendora::ChildWindowMakers makers;
    makers.mailingCentre = sendora::mailingCentreMaker(ctx);
    makers.listWindow = sendora::listWindowMaker(ctx, [&window, &ctx](sendora::frmList& list) {
        list.statusCountChanged = [&window] { window.UpdateStatusbarCount(); };
        list.closeCancelled = [&window] { window.setCloseCancelled(); };
        list.filterBuilder = [&ctx, &list](const QStringList& names, const QStringList& types) {
            return sendora::buildListFilter(*ctx.ui, &list, names, types);
        };
    });
    makers.selectionBuilder = [&ctx](QWidget* parent, const QString& listFile, const QString& current) {
        return sendora::buildListFileFilter(*ctx.ui, parent, listFile, current);
    };
    makers.listTool = sendora::listToolRunner(ctx, window);
    makers.messageEditor = sendora::messageEditorMaker(ctx, [&window](sendora::frmMessageEdit& editor) {
        editor.closeCancelled = [&window] { window.setCloseCancelled(); };
    });
    window.setChildWindowMakers(makers);
    // Mailbox and text scanning.
    sendora::AddrManager addrManager(ctx);
    sendora::frmEmailWizard::install(ctx, addrManager, &window);
    addrManager.statusText = [&window](const QString& text) { window.setStatusText(text); };
    window.setCommandHandler(sendora::CommandId::ToolsImportMailbox, [&ctx, &addrManager, &window] {
        sendora::ImportMailbox(ctx, addrManager, [&window](const QString& file) { window.showList(file); });
    });
    // Desktop database files and the contact managers' files: the database import wizard.
    window.setCommandHandler(sendora::CommandId::ToolsImportContactDatabase, [&ctx, &window] {
        sendora::frmImportWizard::LoadImportWizard(
            ctx, &window, [&window](const QString& file) { window.showList(file); },
            [&ctx, &window](sendora::frmImportWizard& wizard) {
                wizard.statusText = [&window](const QString& text) { window.setStatusText(text); };
                wizard.filterBuilder = [&ctx, &wizard](const QStringList& names, const QStringList& types) {
                    return sendora::buildListFilter(*ctx.ui, &wizard, names, types);
                };
            });
    });
    // Tables on a database server, through ODBC.
    window.setCommandHandler(sendora::CommandId::ImportDatabaseServer, [&ctx, &window] {
        sendora::frmDBServerImport::load(ctx, &window,
                                         [&window](const QString& file) { window.showList(file); });
    });
    // Mailbox processing: the POP wizard in its three modes.
    const auto popWizard = [&ctx, &window](int mode) {
        return [&ctx, &window, mode] {
            sendora::frmPOPWizard::LoadPOPWizard(ctx, mode, &window,
                                                 [&window](const QString& file) { window.showList(file); });
        };
    };
    window.setCommandHandler(sendora::CommandId::ToolsReturnedMail, popWizard(1));
    window.setCommandHandler(sendora::CommandId::ToolsSubscriptionManager, popWizard(2));
    window.setCommandHandler(sendora::CommandId::ImportPOPAccount, popWizard(3));
    window.provideFeatures(unsigned(sendora::Feature::PopTools));
    window.setCommandHandler(sendora::CommandId::ToolsVerifyList, [&ctx, &window] {
        sendora::frmVerifyLIst::LoadVERIFYWizard(ctx, sendora::frmVerifyLIst::kListVerification, &window,
                                                 [&window](const QString& file) { window.showList(file); });
    });
    window.provideFeatures(unsigned(sendora::Feature::Verification));
    window.setCommandHandler(sendora::CommandId::Options, [&ctx, &window] {
        sendora::frmConfiguration::ShowOptions(ctx, sendora::frmConfiguration::SendSettings, &window);
    });
    window.setCommandHandler(sendora::CommandId::ToolsDirectSendFailures, [&ctx, &window] {
        sendora::frmUndeliverable manager(ctx, &window);
        manager.exec();
    });
    window.provideFeatures(unsigned(sendora::Feature::DirectSend));
    ctx.host = &window;
    ui.setParent(&window);

    sendora::Startup startup(ctx);
    if (!startup.run()) return 1;
    return app.exec();
}
