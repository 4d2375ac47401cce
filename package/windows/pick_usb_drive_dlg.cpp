#include "package/windows/pick_usb_drive_dlg.h"

#include "platform/qt/control_id.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
// The template is 151 x 82 dialog units.
constexpr int kTextWidth = 210;
} // namespace

CPickUSBDriveDlg::CPickUSBDriveDlg(std::u16string& usbRoot, QWidget* parent,
                                   platform::DriveSources sources)
    : QDialog(parent), usbRoot_(usbRoot), sources_(std::move(sources)),
      drives_(new QComboBox(this)) {
    setWindowTitle("Pick USB Drive");
    auto* layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    auto* instruction = new QLabel(
        "If you do not see the drive letter, insert the USB drive and click Refresh.", this);
    instruction->setAlignment(Qt::AlignCenter);
    instruction->setWordWrap(true);
    instruction->setFixedWidth(kTextWidth);
    layout->addWidget(instruction);

    auto* row = new QHBoxLayout;
    platform::SetControlId(drives_, kUsbDriveListId);
    drives_->setEditable(false); // a drop-down list: only listed drives can be chosen
    drives_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    row->addWidget(drives_, 1);
    auto* refresh = new QPushButton("Refresh", this);
    platform::SetControlId(refresh, kUsbRefreshButtonId);
    refresh->setAutoDefault(false);
    row->addWidget(refresh);
    layout->addLayout(row);

    auto* buttons = new QHBoxLayout;
    auto* ok = new QPushButton("OK", this);
    auto* cancel = new QPushButton("Cancel", this);
    platform::SetControlId(ok, kUsbOkButtonId);
    platform::SetControlId(cancel, kUsbCancelButtonId);
    ok->setDefault(true);
    cancel->setAutoDefault(false);
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);

    QObject::connect(refresh, &QPushButton::clicked, this, [this] { Refresh(); });
    QObject::connect(ok, &QPushButton::clicked, this, [this] { accept(); });
    QObject::connect(cancel, &QPushButton::clicked, this, [this] { reject(); });

    Refresh();
}

void CPickUSBDriveDlg::Refresh() {
    drives_->clear();
    for (const std::u16string& root : platform::RemovableDriveRoots(sources_)) {
        drives_->addItem(QString::fromStdU16String(root));
        if (drives_->currentIndex() < 0) {
            drives_->setCurrentIndex(0);
        }
    }
}

void CPickUSBDriveDlg::accept() {
    // Roots here are mount points, longer than a drive letter's three characters; the
    // whole root is handed back.
    usbRoot_ = drives_->currentText().toStdU16String();
    QDialog::accept();
}

void CPickUSBDriveDlg::reject() {
    usbRoot_.clear();
    QDialog::reject();
}
