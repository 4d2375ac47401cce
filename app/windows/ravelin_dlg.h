// The main window: the operator's console over the device table. It searches the
// network, lists the units with their filters, hands tests and upgrades to the upgrader
// thread and shows their progress, and shuts the worker threads down when it closes.
//
// Its code is spread over a few files: ravelin_dlg.cpp (construction and controls),
// ravelin_dlg_open.cpp (the opening sequence), ravelin_dlg_commands.cpp (the commands),
// ravelin_dlg_passes.cpp (tests, upgrades and secondaries), ravelin_dlg_notify.cpp (the
// device notifications) and ravelin_dlg_close.cpp (closing and ShutdownWorkers).
#pragma once

#include "app/windows/command_buttons.h"
#include "app/windows/device_list_view.h"
#include "app/windows/draggable_dialog.h"
#include "app/windows/filter_boxes.h"
#include "platform/qt/qt_window.h"
#include "platform/qt/window_menu.h"
#include "request/thread_context.h"

#include <functional>
#include <memory>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTreeWidget;
class StationWorkers;

// Control ids of the main window (besides the list, the filters and the three selection
// commands, which have theirs in their own headers).
enum RavelinDlgId : int {
    kSearchButton = 1019,
    kBroadcastBox = 1707,
    kRangeGroup = 1708,
    kStartLabel = 1705,
    kEndLabel = 1706,
    kStartAddressEdit = 1704,
    kEndAddressEdit = 1193,
    kProgressBar = 1021,
    kClearListButton = 1075,
    kSelectAllButton = 1101,
    kClearSelectionsButton = 1118,
    kExitButton = 1049,
    kRefreshListButton = 1085,
    kAssignGroupButton = 1069,
    kGetGroupInfoButton = 1079,
    kCancelButton = 2,
};

// Window-menu command ids (the stand-in for the system menu).
inline constexpr uint32_t kAboutCommand = 16;
inline constexpr uint32_t kConfigureCommand = 32;

// The longest address text Search reads.
inline constexpr int kAddressTextUnits = 63;

class CRavelinDlg : public CDraggableDialog {
  public:
    // Runs the configuration dialog modally; true when the operator saved.
    using ConfigureRunner = std::function<bool(QWidget* parent)>;
    // Runs the whole Secondaries command (marks, count, the secondary-devices window or its
    // message) over the window's list.
    using SecondariesRunner = std::function<void(QWidget* parent, DeviceListView& list)>;

    // Construction: zeroes the ThreadContext, clears NotifyWindow, sort state column -1.
    explicit CRavelinDlg(bool extendedMode, QWidget* parent = nullptr);
    ~CRavelinDlg() override;

    // The opening sequence (configuration, station identity, list, context, events,
    // threads). DoModal runs it and then the window modally.
    void OnInitDialog();
    int DoModal();

    // Commands.
    void OnSearch();
    void OnBroadcast();
    void OnClearList();
    void OnSelectAll();
    void OnClearSelections();
    void OnTestConnections();
    void OnUpgrade();
    void OnSecondaries();
    void OnExit();
    void OnRefreshList();
    void OnGetGroupInfo();
    void OnAssignGroup();
    void OnSysCommand(uint32_t command);
    void OnDeviceNotify(platform::Message& message);

    // Sets the quit bits, signals both events, waits up to 2000 x 1 ms for both threads
    // and reports whether they ended.
    void ShutdownWorkers();

    // Hooks for windows built elsewhere. Without a configuration runner Configure shows
    // nothing; without a secondaries runner Secondaries marks and counts here and, as it
    // has no window to open, shows its message when nothing qualifies.
    void SetConfigureRunner(ConfigureRunner runner) { configure_ = std::move(runner); }
    void SetSecondariesRunner(SecondariesRunner runner) { secondaries_ = std::move(runner); }

    DeviceListView& listView() { return view_; }
    platform::WindowMenu& windowMenu() { return menu_; }
    platform::WindowHandle handle() const { return notify_.handle(); }
    bool testRunning() const { return testRunning_; }
    bool upgradeRunning() const { return upgradeRunning_; }
    bool extendedMode() const { return extendedMode_; }

  protected:
    // WM_CLOSE, Cancel and Esc all shut the workers down before the window goes.
    void closeEvent(QCloseEvent* event) override;
    void reject() override;
    // The OK command is ignored; Enter reaches Search, the default button.
    void accept() override {}

  private:
    void BuildControls();
    void ConnectCommands();
    void CopyConfigurationToContext();
    void StartEventsAndThreads();
    void FinishPass(QPushButton* button, const char* caption, bool& running);
    bool SignalUpdater();
    void ShutdownOnce();

    bool extendedMode_;
    bool testRunning_ = false;
    bool upgradeRunning_ = false;
    bool opened_ = false; // the opening ran, so there may be workers to stop
    bool shutDown_ = false;
    ThreadContext* context_;
    StationWorkers& workers_;

    QTreeWidget* list_;
    DeviceListView view_;
    FilterBoxes filters_;
    QPushButton* upgradeButton_;
    QPushButton* testButton_;
    QPushButton* secondariesButton_;
    CommandButtonRule rule_;
    QPushButton* searchButton_;
    QCheckBox* broadcastBox_;
    QGroupBox* rangeGroup_;
    QLabel* startLabel_;
    QLabel* endLabel_;
    QLineEdit* startEdit_;
    QLineEdit* endEdit_;
    QProgressBar* progress_;
    QPushButton* clearListButton_;
    QPushButton* selectAllButton_;
    QPushButton* clearSelectionsButton_;
    QPushButton* exitButton_;
    QPushButton* refreshListButton_;
    QPushButton* assignGroupButton_;
    QPushButton* getGroupInfoButton_;
    QPushButton* cancelButton_;
    platform::WindowMenu menu_;
    platform::QtWindow notify_;
    ConfigureRunner configure_;
    SecondariesRunner secondaries_;
};
