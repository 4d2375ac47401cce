// The secondary-devices window ("Secondary PDUs"): lists the primaries that qualify, has
// the upgrader thread read their secondaries as soon as it opens (and on Refresh), shows
// the secondaries of the one selected primary, and hands the upgrade of the secondaries
// behind the selected primaries to the upgrader thread. While it exists it is the
// NotifyWindow and handles codes 5 to 8; codes 2 to 4 go on to the main window.
#pragma once

#include "app/windows/draggable_dialog.h"
#include "platform/qt/qt_window.h"
#include "secondary/windows/secondaries_links.h"
#include "secondary/windows/secondary_list_views.h"

#include <memory>

class QLabel;
class QProgressBar;
class QPushButton;

enum HandleSlavesControl : int {
    kSecondaryCountStatic = 1034,
    kPrimaryMacStatic = 1031,
    kPrimaryIpStatic = 1032,
    kPrimaryNameStatic = 1033,
    kSecondariesProgress = 1042,
    kRefreshButton = 1027,
    kSelectAllButton = 1029,
    kClearSelectionsButton = 1030,
    kUpgradeSecondariesButton = 1028,
    kCancelButton = 2,
    kOkButton = 1,
};

class CHandleSlavesDlg : public CDraggableDialog {
  public:
    // Opens as the window does: takes NotifyWindow, sets up both lists, fills the primary
    // list in start mode (which hands the refresh to the upgrader thread when a primary
    // is listed).
    CHandleSlavesDlg(QWidget* parent, const SecondariesLinks& links);
    ~CHandleSlavesDlg() override;

    platform::WindowHandle handle() const { return window_.handle(); }

    // The commands, as their buttons run them.
    void Refresh();
    void SelectAll();
    void ClearSelections();
    void Upgrade();

    // The handler of WM_DEVICE_NOTIFY (and of anything else posted to the window).
    void HandleMessage(platform::Message& message);

  private:
    enum class FillMode { Start, Plain };
    void FillPrimaryList(FillMode mode);
    void UpdatePrimaryRow(int slot);
    void ShowSelectedPrimary();
    void PrimarySelectionChanged();
    void SetCommandsEnabled(bool upgrade, bool others);
    int FirstSelectedPrimary() const;
    const DeviceTable& Table() const { return links_.table->Table(); }
    void SetSecondaryState(int slot, uint8_t state);

    SecondariesLinks links_;
    platform::QtWindow window_;
    std::unique_ptr<PrimaryListView> primaries_;
    std::unique_ptr<SecondaryListView> secondaries_;
    QLabel* count_ = nullptr;
    QLabel* mac_ = nullptr;
    QLabel* ip_ = nullptr;
    QLabel* name_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QPushButton* refresh_ = nullptr;
    QPushButton* selectAll_ = nullptr;
    QPushButton* clearSelections_ = nullptr;
    QPushButton* upgrade_ = nullptr;
};
