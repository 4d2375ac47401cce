// "Configuration": the workstation's interface, the device list's size limit, the
// upgrade method with its server, file and URL fields, the version option of upgrades,
// and the package revisions taken from a test of the configured packages. It edits the
// configuration variables in memory, and only when it closes with Save; writing them to
// the store is the caller's work.
#pragma once

#include "app/windows/draggable_dialog.h"
#include "config/configure_form.h"
#include "config/windows/configure_command.h"
#include "package/test_package.h"
#include "platform/logical_drives.h"

#include <functional>
#include <string>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

enum ConfigureControlId : int {
    kCfgListSizeId = 1000,
    kCfgUrlId = 1001,
    kCfgTftpFileId = 1002,
    kCfgKernelId = 1003,
    kCfgFileSystemId = 1004,
    kCfgPatchId = 1005,
    kCfgSelectId = 1006,
    kCfgIpAddressId = 1007,
    kCfgMacAddressId = 1008,
    kCfgSubnetMaskId = 1009,
    kCfgUsbRadioId = 1010,
    kCfgTftpRadioId = 1011,
    kCfgHttpFtpRadioId = 1012,
    kCfgMainAppId = 1013,
    kCfgTftpServerId = 1014,
    kCfgTftpBootloaderFileId = 1015,
    kCfgBootloaderUrlId = 1016,
    kCfgBootloaderId = 1017,
    kCfgTftpFileLabelId = 1022,
    kCfgTftpServerLabelId = 1023,
    kCfgHelpId = 1024,
    kCfgTestingId = 1025,
    kCfgUrlLabelId = 1026,
    kCfgTftpBootloaderFileLabelId = 1027,
    kCfgBootloaderUrlLabelId = 1028,
    kCfgOptionLessThanId = 1043,
    kCfgOptionNotEqualId = 1044,
    kCfgOptionForceId = 1045,
    kCfgTestPackagesId = 1046,
    kCfgRevisionId = 1048,
    kCfgKernelLabelId = 1050,
    kCfgFileSystemLabelId = 1051,
    kCfgPatchLabelId = 1052,
    kCfgBootloaderLabelId = 1053,
    kCfgSaveId = 1,
    kCfgCancelId = 2,
};

// The dialog's ways out to other windows; tests replace them.
struct ConfigureDlgHooks {
    // The interface selection: fills the IP address, MAC address and subnet mask texts,
    // or leaves any of them empty. By default the "Select Network Interface" dialog.
    std::function<void(QWidget* parent, std::u16string& ip, std::u16string& mac,
                       std::u16string& mask)>
        selectInterface;
    // Where the USB drive picker reads the drives from.
    platform::DriveSources drives;
};

class CConfigureDlg : public CDraggableDialog, private PackageTestView {
  public:
    // `saved` is the caller's flag: false while the dialog is open, true when it closed
    // with Save. `config` holds the variables the dialog edits.
    CConfigureDlg(bool* saved, const ConfigureEnvironment& environment, ConfigValues& config,
                  QWidget* parent = nullptr, ConfigureDlgHooks hooks = {});

    int method() const { return method_; }
    const std::u16string& usbDriveRoot() const { return usbDriveRoot_; }
    const PackageFiles& packageFiles() const { return files_; }

    void reject() override; // Cancel, Esc and the close button

  private:
    QLineEdit* AddEdit(int id, int limit);
    void BuildControls();
    void FillFromForm(const ConfigureForm& form);
    ConfigureForm ReadForm() const;
    void ApplyMethodDisplay();

    void OnMethodClicked(int method);
    void OnHelp();
    void OnSelect();
    void OnTestPackages();
    void OnSave();
    // The checks of steps 2 and 3 of Test Packages; empty when the tests may start.
    std::u16string PrepareTests(bool* firmwareWanted, bool* bootloaderWanted);
    void EnableButtons(bool enabled);

    // PackageTestView
    void SetFieldText(PackageField field, const std::u16string& text) override;
    void Redraw() override;
    void ShowError(const std::u16string& text) override;

    bool* saved_;
    const bool extendedMode_;
    std::u16string usbDriveRoot_;
    int method_ = kConfigureTftp;
    uint8_t testBit_ = 0;
    const std::u16string temporaryDirectory_;
    const PackageFiles files_;
    FetchInputs inputs_;
    ConfigValues& config_;
    ConfigureDlgHooks hooks_;
};
