#pragma once
// frmSDCentral, "Sendora Central": the mailing centre as a child window of the main window.
// The outline, choices, preparing and sending live in SDCentral; this window shows them,
// keeps the buttons in step and opens the send screen.

#include "mailing/relay/RelaySend.h"
#include "screens/SDCentral.h"
#include "screens/ui/MdiChild.h"

#include <QWidget>
#include <functional>
#include <optional>

class QComboBox;
class QIdentityProxyModel;
class QLabel;
class QMenu;
class QPushButton;
class QToolButton;
class QTreeView;

namespace sendora {

struct AppContext;
class frmSendMail;

class frmSDCentral : public QWidget, public MdiChild {
    Q_OBJECT
public:
    explicit frmSDCentral(AppContext& ctx, QWidget* parent = nullptr);
    ~frmSDCentral() override;

    // MdiChild.
    ActiveChild childKind() const override { return ActiveChild::MailingCentre; }
    QString childName() const override { return QStringLiteral("Sendora Central"); }
    bool runCommand(CommandId id) override;
    // Room for the choices and every outline column.
    QSize sizeHint() const override { return {1120, 640}; }

    // Operations other windows call; rows are outline rows (see SDCentralOutline).
    int PrepareMailing(const QString& group, const QString& list, const QString& message,
                       const QString& deliveryOptions);
    int PrepareMailingUpdatingInterface(const QString& group, const QString& list, const QString& message,
                                        const QString& deliveryOptions);
    void SendSendoraIfPossible(int row);
    void SetCancelSendFlagForSDCentral(bool flag) { m_cancelSend = flag; }
    void StartMailing();
    void ReturnMailResults(qint64 mailingId, qint64 sentCount, qint64 failedCount, const QString& dateSent,
                           bool selectRow);
    void SelectOutlineRow(int row);
    void DeselectOutlineRowIfPossible();
    void SetupNewFlexGrid();
    int AddSendoraToSDDisplay(const QString& group, bool refresh);
    void RemoveSendoraFromSDDisplay(const QString& group);
    void UpdateSendoraInSDDisplay(const QString& group);
    void UpdateListInSDDisplay(const QString& list);
    void UpdateMessageInSDDisplay(const QString& message);
    void UpdateDeliveryOptionsInSDDisplay(const QString& options);
    void UpdateItemInSDDisplay(const QString& name, int level);

    // The row commands of the context menus.
    void runRowCommand(int row, RowCommand command);
    // The context menu of a row, built but not shown.
    QMenu* rowMenuFor(int row);

    // Expand and collapse: the deepest level shown, 0 to 2.
    int shownDepth() const { return m_depth; }
    void setShownDepth(int depth);

    int selectedRow() const { return m_selected; }
    NewMailingChoices choices() const;
    void setChoices(const NewMailingChoices& c);
    SDCentral& core() { return m_core; }
    SDCentralOutline& outline() { return m_core.outline(); }
    QTreeView* view() const { return m_view; }
    // The mailing a send would start (the recipient cursor's names), once one was chosen.
    const std::optional<MailingRow>& pendingMailing() const { return m_pending; }

    // Handed to the send screen; tests put a scripted server here.
    mail::TransportFactory transportFactory;
    // Opens the scheduler for a mailing id in place of frmScheduler (tests).
    std::function<void(qint64)> openScheduler;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QWidget* buildChoices();
    QWidget* buildOutline();
    void choiceChanged();
    void leaveChoice(QComboBox* box);
    void fillChoices();
    void rowChanged(int row);
    void rowDoubleClicked(int row);
    void editGroupDescription(const QString& group);
    void showRowMenu(const QPoint& pos);
    void updateOutlineButtons();
    void expandNew(const QModelIndex& parent, int first, int last);
    void pressSend();
    void pressCampaign();
    void refreshRow(qint64 mailingId, bool selectRow);

    AppContext& m_ctx;
    SDCentral m_core;
    QIdentityProxyModel* m_styled;
    QTreeView* m_view = nullptr;
    QComboBox* m_group = nullptr;
    QComboBox* m_profile = nullptr;
    QComboBox* m_list = nullptr;
    QComboBox* m_message = nullptr;
    QPushButton* m_prepare = nullptr;
    QPushButton* m_send = nullptr;
    QPushButton* m_campaign = nullptr;
    QPushButton* m_help = nullptr;
    QToolButton* m_expand = nullptr;
    QToolButton* m_collapse = nullptr;
    int m_selected = -1;
    int m_depth = 2;
    bool m_cancelSend = false;
    bool m_filling = false;
    std::optional<MailingRow> m_pending;
};

// The mailing centre for the main window's child window makers.
std::function<QWidget*()> mailingCentreMaker(AppContext& ctx);

} // namespace sendora
