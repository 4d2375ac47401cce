#include "app/windows/ravelin_dlg.h"

#include "app/device_table.h"
#include "app/windows/station_workers.h"
#include "listener/response_records.h"
#include "platform/qt/control_id.h"
#include "platform/window_message.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

QPushButton* MakeButton(QWidget* parent, int id, const char* caption) {
    auto* button = new QPushButton(QString::fromLatin1(caption), parent);
    button->setAutoDefault(false);
    platform::SetControlId(button, id);
    return button;
}

template <typename T> T* WithId(T* control, int id) {
    platform::SetControlId(control, id);
    return control;
}

} // namespace

CRavelinDlg::CRavelinDlg(bool extendedMode, QWidget* parent)
    : CDraggableDialog(parent), extendedMode_(extendedMode), context_(&TheThreadContext()),
      workers_(StationWorkers::Instance()), list_(new QTreeWidget(this)),
      view_(list_, TheDeviceTable()), filters_(this, view_),
      upgradeButton_(MakeButton(this, kUpgradeButton, "Upgrade")),
      testButton_(MakeButton(this, kTestButton, "Test Connections")),
      secondariesButton_(MakeButton(this, kSecondariesButton, "Secondaries")),
      rule_(list_, upgradeButton_, testButton_, secondariesButton_),
      menu_(this, [this](uint32_t command) { OnSysCommand(command); }),
      notify_([this](platform::Message& message) { OnDeviceNotify(message); }) {
    ResetThreadContext(*context_);
    platform::SetNotifyWindow(platform::kNoWindow);
    SetNetInfoWindow(platform::kNoWindow);
    rule_.SetKeepEnabled([this](const QPushButton* button) {
        return (button == testButton_ && testRunning_) ||
               (button == upgradeButton_ && upgradeRunning_);
    });
    BuildControls();
    ConnectCommands();
}

CRavelinDlg::~CRavelinDlg() {
    // A window that goes without closing (a test's, or one whose opening never ran) still
    // leaves no thread behind it.
    ShutdownOnce();
    if (platform::GetNotifyWindow() == notify_.handle()) {
        platform::SetNotifyWindow(platform::kNoWindow);
    }
}

void CRavelinDlg::BuildControls() {
    setWindowTitle(QStringLiteral("Korvana Firmware Upgrader"));
    setWindowIcon(style()->standardIcon(QStyle::SP_ComputerIcon));

    searchButton_ = MakeButton(this, kSearchButton, "Search");
    searchButton_->setDefault(true);
    broadcastBox_ = WithId(new QCheckBox(QStringLiteral("Broadcast"), this), kBroadcastBox);
    rangeGroup_ = WithId(new QGroupBox(QStringLiteral("IP Address Range"), this), kRangeGroup);
    startLabel_ = WithId(new QLabel(QStringLiteral("Starting Address"), rangeGroup_), kStartLabel);
    endLabel_ = WithId(new QLabel(QStringLiteral("Ending Address"), rangeGroup_), kEndLabel);
    startEdit_ = WithId(new QLineEdit(rangeGroup_), kStartAddressEdit);
    endEdit_ = WithId(new QLineEdit(rangeGroup_), kEndAddressEdit);
    for (QLineEdit* edit : {startEdit_, endEdit_}) {
        edit->setMaxLength(kAddressTextUnits);
        edit->setMinimumWidth(130);
    }
    auto* range = new QGridLayout(rangeGroup_);
    range->addWidget(startLabel_, 0, 0);
    range->addWidget(startEdit_, 0, 1);
    range->addWidget(endLabel_, 1, 0);
    range->addWidget(endEdit_, 1, 1);

    platform::SetControlId(list_, kDeviceListId);
    list_->setMinimumSize(900, 320);
    progress_ = WithId(new QProgressBar(this), kProgressBar);
    progress_->setTextVisible(false);

    clearListButton_ = MakeButton(this, kClearListButton, "Clear List");
    selectAllButton_ = MakeButton(this, kSelectAllButton, "Select All");
    clearSelectionsButton_ = MakeButton(this, kClearSelectionsButton, "Clear Selections");
    exitButton_ = MakeButton(this, kExitButton, "Exit");
    // In the template but never shown; their commands stay wired.
    refreshListButton_ = MakeButton(this, kRefreshListButton, "Refresh List");
    assignGroupButton_ = MakeButton(this, kAssignGroupButton, "Assign Group");
    getGroupInfoButton_ = MakeButton(this, kGetGroupInfoButton, "Get Group Info");
    cancelButton_ = MakeButton(this, kCancelButton, "Cancel");
    for (QPushButton* hidden :
         {refreshListButton_, assignGroupButton_, getGroupInfoButton_, cancelButton_}) {
        hidden->hide();
    }

    auto* search = new QVBoxLayout;
    search->addWidget(broadcastBox_);
    search->addWidget(searchButton_);
    search->addStretch();
    auto* top = new QHBoxLayout;
    top->addLayout(search);
    top->addWidget(rangeGroup_);
    top->addWidget(filters_.statusGroup());
    top->addWidget(filters_.versionsGroup());
    top->addStretch();

    auto* commands = new QHBoxLayout;
    for (QPushButton* button : {clearListButton_, selectAllButton_, clearSelectionsButton_,
                                testButton_, upgradeButton_, secondariesButton_}) {
        commands->addWidget(button);
    }
    commands->addStretch();
    commands->addWidget(exitButton_);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(list_, 1);
    layout->addWidget(progress_);
    layout->addLayout(commands);
}

void CRavelinDlg::ConnectCommands() {
    const auto wire = [this](QPushButton* button, void (CRavelinDlg::*command)()) {
        connect(button, &QPushButton::clicked, this, [this, command] { (this->*command)(); });
    };
    wire(searchButton_, &CRavelinDlg::OnSearch);
    wire(clearListButton_, &CRavelinDlg::OnClearList);
    wire(selectAllButton_, &CRavelinDlg::OnSelectAll);
    wire(clearSelectionsButton_, &CRavelinDlg::OnClearSelections);
    wire(testButton_, &CRavelinDlg::OnTestConnections);
    wire(upgradeButton_, &CRavelinDlg::OnUpgrade);
    wire(secondariesButton_, &CRavelinDlg::OnSecondaries);
    wire(exitButton_, &CRavelinDlg::OnExit);
    wire(refreshListButton_, &CRavelinDlg::OnRefreshList);
    wire(assignGroupButton_, &CRavelinDlg::OnAssignGroup);
    wire(getGroupInfoButton_, &CRavelinDlg::OnGetGroupInfo);
    wire(cancelButton_, &CRavelinDlg::reject);
    connect(broadcastBox_, &QCheckBox::clicked, this, [this] { OnBroadcast(); });
}
