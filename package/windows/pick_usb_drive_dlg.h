// "Pick USB Drive": lists the workstation's removable drives and hands the chosen one's
// root back to its owner; Cancel (or closing the window) hands back an empty root.
#pragma once

#include "platform/logical_drives.h"

#include <QDialog>
#include <string>

class QComboBox;

enum PickUsbDriveControlId : int {
    kUsbDriveListId = 1047,
    kUsbRefreshButtonId = 1027,
    kUsbOkButtonId = 1,
    kUsbCancelButtonId = 2,
};

class CPickUSBDriveDlg : public QDialog {
  public:
    // `usbRoot` is the owner's drive root; `sources` says where the drives are read from.
    explicit CPickUSBDriveDlg(std::u16string& usbRoot, QWidget* parent = nullptr,
                              platform::DriveSources sources = {});

    // Lists the removable drives again, the first one selected.
    void Refresh();

    void accept() override; // OK and Enter: the shown drive
    void reject() override; // Cancel, Esc and the close button: no drive

  private:
    std::u16string& usbRoot_;
    platform::DriveSources sources_;
    QComboBox* drives_;
};
