#include "config/windows/configure_command.h"

#include "config/config_items.h"
#include "config/windows/configure_dlg.h"

namespace {
// The items the dialog edits, in the order they are written.
constexpr ConfigKind kSavedItems[16] = {
    kCfgMgrMacAddr,    kCfgMgrIpAddr,      kCfgMgrSubnetMask,  kCfgUpgradeTftp,
    kCfgUpgradeFile,   kCfgUpgradeUrl,     kCfgUpgradeBlFile,  kCfgUpgradeBlUrl,
    kCfgUpgMcmVersion, kCfgUpgKernVersion, kCfgUpgFsysVersion, kCfgUpgPatchVersion,
    kCfgUpgMethod,     kCfgMaxListSize,    kCfgUpgOption,      kCfgUpgBlRev,
};
} // namespace

bool RunConfigureCommand(QWidget* parent, const ConfigureEnvironment& environment) {
    bool saved = false;
    CConfigureDlg dialog(&saved, environment, TheConfig(), parent);
    dialog.exec();
    if (!saved) {
        return false;
    }
    for (ConfigKind kind : kSavedItems) {
        SaveConfigItem(kind); // a failed save is not reported
    }
    return true;
}
