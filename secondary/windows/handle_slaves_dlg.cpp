#include "secondary/windows/handle_slaves_dlg.h"

#include "config/address_text.h"
#include "platform/qt/control_id.h"
#include "platform/qt/key_state.h"
#include "platform/qt/message_box.h"
#include "secondary/secondary_rules.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

constexpr intptr_t kPassEndedValue = 200;

QPushButton* MakeButton(QWidget* parent, const char* caption, int id) {
    auto* button = new QPushButton(QString::fromLatin1(caption), parent);
    button->setAutoDefault(false);
    platform::SetControlId(button, id);
    return button;
}

QLabel* MakeStatic(QWidget* parent, int id) {
    // The template's placeholder text; emptied as soon as the window opens.
    auto* label = new QLabel(QStringLiteral("Static"), parent);
    label->setMinimumWidth(150);
    platform::SetControlId(label, id);
    return label;
}

} // namespace

CHandleSlavesDlg::CHandleSlavesDlg(QWidget* parent, const SecondariesLinks& links)
    : CDraggableDialog(parent), links_(links),
      window_([this](platform::Message& message) { HandleMessage(message); }) {
    setWindowTitle(QString::fromUtf16(kWindowCaption));

    auto* primaryList = new QTreeWidget(this);
    primaryList->setFixedSize(780, 180);
    primaries_ = std::make_unique<PrimaryListView>(primaryList, Table());

    auto* selected = new QGroupBox(QStringLiteral("Primary Selected"), this);
    auto* form = new QFormLayout(selected);
    count_ = MakeStatic(selected, kSecondaryCountStatic);
    mac_ = MakeStatic(selected, kPrimaryMacStatic);
    ip_ = MakeStatic(selected, kPrimaryIpStatic);
    name_ = MakeStatic(selected, kPrimaryNameStatic);
    form->addRow(QStringLiteral("Secondary Count:"), count_);
    form->addRow(QStringLiteral("MAC Addr:"), mac_);
    form->addRow(QStringLiteral("IP Addr:"), ip_);
    form->addRow(QStringLiteral("Name:"), name_);

    auto* listed = new QGroupBox(QStringLiteral("Secondaries List"), this);
    auto* listedLayout = new QVBoxLayout(listed);
    auto* secondaryList = new QTreeWidget(listed);
    secondaryList->setFixedSize(520, 150);
    listedLayout->addWidget(secondaryList);
    secondaries_ = std::make_unique<SecondaryListView>(secondaryList, Table(),
                                                       [this] { return FirstSelectedPrimary(); });

    progress_ = new QProgressBar(this);
    platform::SetControlId(progress_, kSecondariesProgress);
    refresh_ = MakeButton(this, "Refresh", kRefreshButton);
    selectAll_ = MakeButton(this, "Select All", kSelectAllButton);
    clearSelections_ = MakeButton(this, "Clear Selections", kClearSelectionsButton);
    upgrade_ = MakeButton(this, "Upgrade", kUpgradeSecondariesButton);
    QPushButton* cancel = MakeButton(this, "Cancel", kCancelButton);
    QPushButton* ok = MakeButton(this, "OK", kOkButton);
    ok->hide();

    auto* middle = new QHBoxLayout;
    middle->addWidget(selected);
    middle->addWidget(listed);
    auto* buttons = new QHBoxLayout;
    for (QPushButton* button : {refresh_, selectAll_, clearSelections_, upgrade_, cancel, ok}) {
        buttons->addWidget(button);
    }
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(primaryList);
    layout->addLayout(middle);
    layout->addWidget(progress_);
    layout->addLayout(buttons);

    QObject::connect(refresh_, &QPushButton::clicked, this, [this] { Refresh(); });
    QObject::connect(selectAll_, &QPushButton::clicked, this, [this] { SelectAll(); });
    QObject::connect(clearSelections_, &QPushButton::clicked, this, [this] { ClearSelections(); });
    QObject::connect(upgrade_, &QPushButton::clicked, this, [this] { Upgrade(); });
    QObject::connect(cancel, &QPushButton::clicked, this, [this] { reject(); });
    QObject::connect(ok, &QPushButton::clicked, this, [this] { accept(); });
    QObject::connect(primaryList, &QTreeWidget::itemSelectionChanged, this,
                     [this] { PrimarySelectionChanged(); });
    // The secondaries list is for viewing only: whatever gets selected is deselected.
    QObject::connect(secondaryList, &QTreeWidget::itemSelectionChanged, secondaryList,
                     [secondaryList] {
                         if (!secondaryList->selectedItems().isEmpty()) {
                             secondaryList->clearSelection();
                         }
                     });

    // The window's opening.
    progress_->setRange(0, 100);
    progress_->setValue(0);
    platform::SetNotifyWindow(window_.handle());
    primaries_->SetUpColumns();
    secondaries_->SetUpColumns();
    primaryList->setEnabled(false);
    FillPrimaryList(FillMode::Start);
    ShowSelectedPrimary();
    upgrade_->setEnabled(!primaries_->SelectedSlots().empty());
}

CHandleSlavesDlg::~CHandleSlavesDlg() = default;

void CHandleSlavesDlg::SetSecondaryState(int slot, uint8_t state) {
    links_.table->Write([&](DeviceTable& table) { table.slots[slot].secondaryState = state; });
}

void CHandleSlavesDlg::FillPrimaryList(FillMode mode) {
    primaries_->Clear();
    std::vector<int> listed;
    links_.table->Write([&](DeviceTable& table) {
        const int count = std::clamp(table.count, 0, kDeviceTableSlots);
        for (int slot = 0; slot < count; ++slot) {
            DeviceEntry& entry = table.slots[slot];
            if (QualifiesAsPrimary(entry)) {
                if (mode == FillMode::Start) {
                    entry.secondaryState = kSecondaryPresent;
                }
                listed.push_back(slot);
            } else {
                entry.secondaryState = kSecondaryInvalid;
            }
        }
    });
    for (int slot : listed) {
        primaries_->AppendRow(slot);
    }
    if (mode == FillMode::Start && !listed.empty()) {
        SetCommandsEnabled(false, false);
        progress_->setValue(0);
        HandJobToUpgrader(*links_.context, kJobSecondariesRefresh);
    }
}

void CHandleSlavesDlg::UpdatePrimaryRow(int slot) {
    if (slot >= 0 && slot < Table().count &&
        Table().slots[slot].secondaryState >= kSecondaryPresent) {
        primaries_->UpdateRow(slot);
    }
}

int CHandleSlavesDlg::FirstSelectedPrimary() const {
    const std::vector<int> slots = primaries_->SelectedSlots();
    return slots.empty() ? kNoSlot : slots.front();
}

void CHandleSlavesDlg::ShowSelectedPrimary() {
    const std::vector<int> slots = primaries_->SelectedSlots();
    if (slots.size() != 1 || slots.front() < 0 || slots.front() >= kDeviceTableSlots) {
        for (QLabel* label : {count_, mac_, ip_, name_}) {
            label->clear();
        }
        secondaries_->Clear();
        return;
    }
    const DeviceEntry& entry = Table().slots[slots.front()];
    char16_t mac[kMacTextUnits];
    MacToText(entry.macAddress, mac);
    char16_t ip[kIpTextUnits];
    IpToText(entry.ipAddress, ip);
    mac_->setText(QString::fromUtf16(mac));
    ip_->setText(QString::fromUtf16(ip));
    const char16_t* name = entry.deviceName;
    name_->setText(QString::fromUtf16(name, std::find(name, name + kEntryNameUnits, u'\0') - name));
    count_->setText(QString::number(entry.secondaryCount));
    secondaries_->Show(slots.front());
}

void CHandleSlavesDlg::PrimarySelectionChanged() {
    upgrade_->setEnabled(!primaries_->SelectedSlots().empty());
    ShowSelectedPrimary();
}

void CHandleSlavesDlg::SetCommandsEnabled(bool upgrade, bool others) {
    upgrade_->setEnabled(upgrade);
    refresh_->setEnabled(others);
    selectAll_->setEnabled(others);
    clearSelections_->setEnabled(others);
}

void CHandleSlavesDlg::Refresh() {
    primaries_->list()->setEnabled(false);
    FillPrimaryList(FillMode::Start);
    ShowSelectedPrimary();
}

void CHandleSlavesDlg::SelectAll() {
    QTreeWidget* list = primaries_->list();
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        const int slot = PrimaryListView::SlotOfRow(list->topLevelItem(i));
        if (slot >= 0 && slot < kDeviceTableSlots) {
            SetSecondaryState(slot, kSecondaryTested);
            primaries_->UpdateRow(slot);
        }
    }
    list->selectAll();
}

void CHandleSlavesDlg::ClearSelections() {
    QTreeWidget* list = primaries_->list();
    for (QTreeWidgetItem* row : list->selectedItems()) {
        const int slot = PrimaryListView::SlotOfRow(row);
        row->setSelected(false);
        if (slot >= 0 && slot < kDeviceTableSlots) {
            SetSecondaryState(slot, kSecondaryPresent);
            primaries_->UpdateRow(slot);
        }
    }
}

void CHandleSlavesDlg::Upgrade() {
    std::vector<int> selected = primaries_->SelectedSlots();
    std::erase_if(selected, [](int slot) { return slot < 0 || slot >= kDeviceTableSlots; });
    if (selected.empty()) {
        platform::MessageBox(this, QString::fromUtf16(kNoSelectionText),
                             QString::fromUtf16(kNoSelectionCaption),
                             platform::kMbOk | platform::kMbIconExclamation);
        return;
    }
    const bool bootloader = links_.extendedMode && platform::IsControlDown();
    for (int slot : selected) {
        const DeviceEntry& entry = Table().slots[slot];
        if (!HasValidPackage(entry, bootloader)) {
            platform::MessageBox(
                this, QString::fromStdU16String(MissingPackageMessage(entry, bootloader)),
                QString::fromUtf16(kMissingPackageCaption),
                platform::kMbOk | platform::kMbIconError);
            return;
        }
    }
    if (platform::MessageBox(this, QString::fromUtf16(UpgradeQuestion(bootloader)),
                             QString::fromUtf16(kUpgradeCaption),
                             platform::kMbYesNo) != platform::MessageBoxResult::Yes) {
        return;
    }
    QTreeWidget* list = primaries_->list();
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        QTreeWidgetItem* row = list->topLevelItem(i);
        const int slot = PrimaryListView::SlotOfRow(row);
        if (slot < 0 || slot >= kDeviceTableSlots) {
            continue;
        }
        if (row->isSelected()) {
            SetSecondaryState(slot, kSecondarySelected);
        } else if (Table().slots[slot].secondaryState == kSecondarySelected) {
            SetSecondaryState(slot, kSecondaryTested);
        }
        primaries_->UpdateRow(slot);
    }
    // Only now, after Yes: a No leaves the flag as the main window's last pass left it.
    links_.context->bootloaderFlag.store(bootloader ? 1 : 0);
    SetCommandsEnabled(false, false);
    progress_->setValue(0);
    if (links_.beforeUpgrade) {
        links_.beforeUpgrade();
    }
    HandJobToUpgrader(*links_.context, kJobSecondariesUpgrade);
}

void CHandleSlavesDlg::HandleMessage(platform::Message& message) {
    if (message.id != platform::WM_DEVICE_NOTIFY) {
        return; // a record that came with it is freed with the message
    }
    const intptr_t p = message.lParam;
    switch (message.wParam) {
    case 2:
    case 3:
    case 4:
        // The main window's passes may still be running: their results and end notices
        // are the main window's, or its button would wait on "Abort ..." for good.
        platform::PostWindowMessage(links_.mainWindow, std::move(message));
        return;
    case 5:
    case 6: {
        const DeviceEntry* record = message.record.Get<DeviceEntry>();
        if (record == nullptr) {
            return;
        }
        const bool secondaries = message.wParam == 5;
        const int slot = links_.table->Write([&](DeviceTable& table) {
            return secondaries ? MergeSecondariesRecord(table, *record)
                               : MergeSecondaryStateRecord(table, *record);
        });
        if (slot != kNoSlot) {
            UpdatePrimaryRow(slot);
        }
        return;
    }
    case 7:
        if (p >= 0 && p <= 100) {
            progress_->setValue(static_cast<int>(p));
        } else if (p == kPassEndedValue) {
            SetCommandsEnabled(false, true);
            progress_->setValue(100);
            primaries_->list()->setEnabled(true);
        }
        return;
    case 8:
        if (p >= 0 && p <= 100) {
            progress_->setValue(static_cast<int>(p));
        } else if (p == kPassEndedValue) {
            // Rebuilt first: dropping the rows is a selection change here, which must not
            // take back the "Upgrade" enabled for the next round.
            FillPrimaryList(FillMode::Plain);
            SetCommandsEnabled(true, true);
            progress_->setValue(100);
        }
        return;
    default:
        return; // codes 0 and 1 among them: freed unread
    }
}
