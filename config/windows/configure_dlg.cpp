#include "config/windows/configure_dlg.h"

#include "netif/windows/select_addr_dlg.h"
#include "package/windows/pick_usb_drive_dlg.h"
#include "platform/file_ops.h"
#include "platform/qt/control_id.h"
#include "platform/qt/message_box.h"
#include "platform/thread.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

namespace {

QString Q(const std::u16string& text) {
    return QString::fromStdU16String(text);
}

std::u16string U(const QString& text) {
    return text.toStdU16String();
}

template <typename T> T* Find(const QWidget* dialog, int id) {
    return platform::Control<T>(dialog, id);
}

bool IsProgramFile(const std::u16string& path) {
    return platform::PathExists(path) && !platform::IsDirectory(path);
}

void RunSelectAddrDlg(QWidget* parent, std::u16string& ip, std::u16string& mac,
                      std::u16string& mask) {
    CSelectAddrDlg dialog(mac, ip, mask, parent);
    dialog.exec();
}

// The fields a method shows, with their labels.
struct UpgradeField {
    int labelId;
    int editId;
    bool MethodDisplay::*shown;
    const char16_t* MethodDisplay::*label;
};
constexpr UpgradeField kUpgradeFields[] = {
    {kCfgTftpServerLabelId, kCfgTftpServerId, &MethodDisplay::tftpServer,
     &MethodDisplay::tftpServerLabel},
    {kCfgTftpFileLabelId, kCfgTftpFileId, &MethodDisplay::tftpFile, &MethodDisplay::tftpFileLabel},
    {kCfgTftpBootloaderFileLabelId, kCfgTftpBootloaderFileId, &MethodDisplay::tftpBootloaderFile,
     &MethodDisplay::tftpBootloaderFileLabel},
    {kCfgUrlLabelId, kCfgUrlId, &MethodDisplay::url, &MethodDisplay::urlLabel},
    {kCfgBootloaderUrlLabelId, kCfgBootloaderUrlId, &MethodDisplay::bootloaderUrl,
     &MethodDisplay::bootloaderUrlLabel},
};

constexpr int kMethodRadios[3] = {kCfgUsbRadioId, kCfgTftpRadioId, kCfgHttpFtpRadioId};
constexpr int kOptionRadios[3] = {kCfgOptionLessThanId, kCfgOptionNotEqualId, kCfgOptionForceId};
constexpr int kLockedButtons[4] = {kCfgTestPackagesId, kCfgSelectId, kCfgCancelId, kCfgSaveId};

} // namespace

CConfigureDlg::CConfigureDlg(bool* saved, const ConfigureEnvironment& environment,
                             ConfigValues& config, QWidget* parent, ConfigureDlgHooks hooks)
    : CDraggableDialog(parent), saved_(saved), extendedMode_(environment.extendedMode),
      temporaryDirectory_(environment.temporaryDirectory),
      files_(MakePackageFiles(environment.temporaryDirectory, environment.programDirectory,
                              platform::CurrentThreadId())),
      config_(config), hooks_(std::move(hooks)) {
    if (!hooks_.selectInterface) {
        hooks_.selectInterface = RunSelectAddrDlg;
    }
    setWindowTitle("Configuration");
    BuildControls();

    // Opening.
    const ConfigureForm form = FormFromConfig(config_);
    method_ = form.method;
    testBit_ = form.testBit;
    FillFromForm(form);
    Find<QLabel>(this, kCfgBootloaderLabelId)->setVisible(extendedMode_);
    Find<QLineEdit>(this, kCfgBootloaderId)->setVisible(extendedMode_);
    ApplyMethodDisplay();
    Find<QCheckBox>(this, kCfgTestingId)->setChecked(testBit_ != 0);
    Find<QLabel>(this, kCfgRevisionId)->clear();
    if (saved_) {
        *saved_ = false;
    }
}

QLineEdit* CConfigureDlg::AddEdit(int id, int limit) {
    auto* edit = new QLineEdit(this);
    platform::SetControlId(edit, id);
    if (limit > 0) {
        edit->setMaxLength(limit);
    }
    return edit;
}

void CConfigureDlg::BuildControls() {
    auto* layout = new QVBoxLayout(this);

    auto* network = new QGroupBox("Network Interface", this);
    auto* networkGrid = new QGridLayout(network);
    const std::pair<const char*, int> addresses[3] = {{"IP Address", kCfgIpAddressId},
                                                      {"MAC Address", kCfgMacAddressId},
                                                      {"Subnet Mask", kCfgSubnetMaskId}};
    for (int row = 0; row < 3; ++row) {
        networkGrid->addWidget(new QLabel(addresses[row].first, network), row, 0);
        auto* value = new QLabel(network);
        platform::SetControlId(value, addresses[row].second);
        value->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        value->setMinimumWidth(130);
        networkGrid->addWidget(value, row, 1);
    }
    auto* select = new QPushButton("Select", network);
    platform::SetControlId(select, kCfgSelectId);
    select->setAutoDefault(false);
    networkGrid->addWidget(select, 0, 2);
    networkGrid->addWidget(new QLabel("Maximum List Size", network), 3, 0);
    QLineEdit* listSize = AddEdit(kCfgListSizeId, 0);
    listSize->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9]*"), listSize));
    networkGrid->addWidget(listSize, 3, 1);
    layout->addWidget(network);

    auto* upgrade = new QGroupBox("Upgrade", this);
    auto* upgradeLayout = new QVBoxLayout(upgrade);
    auto* methods = new QGroupBox("Methods", upgrade);
    auto* methodRow = new QHBoxLayout(methods);
    const char* const methodNames[3] = {"USB", "TFTP", "HTTP/FTP"};
    for (int method = 0; method < 3; ++method) {
        auto* radio = new QRadioButton(methodNames[method], methods);
        platform::SetControlId(radio, kMethodRadios[method]);
        methodRow->addWidget(radio);
        QObject::connect(radio, &QRadioButton::clicked, this,
                         [this, method] { OnMethodClicked(method); });
    }
    auto* help = new QPushButton("?", methods);
    platform::SetControlId(help, kCfgHelpId);
    help->setAutoDefault(false);
    help->setFixedWidth(28);
    methodRow->addWidget(help);
    QObject::connect(help, &QPushButton::clicked, this, [this] { OnHelp(); });
    upgradeLayout->addWidget(methods);

    auto* testing = new QCheckBox("Testing", upgrade);
    platform::SetControlId(testing, kCfgTestingId);
    testing->setVisible(false);

    auto* fields = new QGridLayout;
    const std::pair<const char*, int> captions[5] = {{"TFTP Server", kCfgTftpServerLabelId},
                                                     {"FW Server URL", kCfgUrlLabelId},
                                                     {"Files  FW:", kCfgTftpFileLabelId},
                                                     {"BL Server URL", kCfgBootloaderUrlLabelId},
                                                     {"BL:", kCfgTftpBootloaderFileLabelId}};
    const std::pair<int, int> edits[5] = {{kCfgTftpServerId, 0},
                                          {kCfgUrlId, kUpgradeTextLimit},
                                          {kCfgTftpFileId, kUpgradeTextLimit},
                                          {kCfgBootloaderUrlId, kUpgradeTextLimit},
                                          {kCfgTftpBootloaderFileId, kUpgradeTextLimit}};
    for (int row = 0; row < 5; ++row) {
        auto* label = new QLabel(captions[row].first, upgrade);
        platform::SetControlId(label, captions[row].second);
        label->setMinimumWidth(90);
        fields->addWidget(label, row, 0);
        QLineEdit* edit = AddEdit(edits[row].first, edits[row].second);
        edit->setMinimumWidth(220);
        // Each upgrade edit's tool tip follows its text, so a long name can be read.
        edit->setToolTip(QString());
        QObject::connect(edit, &QLineEdit::textChanged, edit,
                         [edit](const QString& text) { edit->setToolTip(text); });
        fields->addWidget(edit, row, 1);
    }
    upgradeLayout->addLayout(fields);

    auto* mainAppLabel = new QLabel("Main App", upgrade);
    mainAppLabel->setVisible(false);
    AddEdit(kCfgMainAppId, kMainAppTextLimit)->setVisible(false);

    auto* options = new QGroupBox("Options", upgrade);
    auto* optionColumn = new QVBoxLayout(options);
    const char* const optionNames[3] = {"Versions Less Than", "Versions Not Equal",
                                        "Force All Versions"};
    for (int option = 0; option < 3; ++option) {
        auto* radio = new QRadioButton(optionNames[option], options);
        platform::SetControlId(radio, kOptionRadios[option]);
        optionColumn->addWidget(radio);
    }
    upgradeLayout->addWidget(options);

    auto* revisions = new QGroupBox("Revisions", upgrade);
    auto* revisionGrid = new QGridLayout(revisions);
    auto* test = new QPushButton("Test Packages", revisions);
    platform::SetControlId(test, kCfgTestPackagesId);
    test->setAutoDefault(false);
    QObject::connect(test, &QPushButton::clicked, this, [this] { OnTestPackages(); });
    revisionGrid->addWidget(test, 0, 0);
    auto* revision = new QLabel(revisions);
    platform::SetControlId(revision, kCfgRevisionId);
    revisionGrid->addWidget(revision, 0, 1);
    const std::pair<const char*, std::pair<int, int>> versions[4] = {
        {"Kernel", {kCfgKernelLabelId, kCfgKernelId}},
        {"File System", {kCfgFileSystemLabelId, kCfgFileSystemId}},
        {"Patch", {kCfgPatchLabelId, kCfgPatchId}},
        {"Bootloader", {kCfgBootloaderLabelId, kCfgBootloaderId}}};
    for (int row = 0; row < 4; ++row) {
        auto* label = new QLabel(versions[row].first, revisions);
        platform::SetControlId(label, versions[row].second.first);
        revisionGrid->addWidget(label, row + 1, 0);
        QLineEdit* edit = AddEdit(versions[row].second.second, kRevisionTextLimit);
        edit->setReadOnly(true);
        revisionGrid->addWidget(edit, row + 1, 1);
    }
    upgradeLayout->addWidget(revisions);
    layout->addWidget(upgrade);

    auto* buttons = new QHBoxLayout;
    auto* save = new QPushButton("Save", this);
    auto* cancel = new QPushButton("Cancel", this);
    platform::SetControlId(save, kCfgSaveId);
    platform::SetControlId(cancel, kCfgCancelId);
    save->setDefault(true);
    cancel->setAutoDefault(false);
    buttons->addStretch();
    buttons->addWidget(save);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);
    QObject::connect(select, &QPushButton::clicked, this, [this] { OnSelect(); });
    QObject::connect(save, &QPushButton::clicked, this, [this] { OnSave(); });
    QObject::connect(cancel, &QPushButton::clicked, this, [this] { reject(); });
}

void CConfigureDlg::FillFromForm(const ConfigureForm& form) {
    Find<QLineEdit>(this, kCfgListSizeId)->setText(Q(form.listSize));
    Find<QLineEdit>(this, kCfgTftpServerId)->setText(Q(form.tftpServer));
    Find<QLineEdit>(this, kCfgTftpFileId)->setText(Q(form.tftpFile));
    Find<QLineEdit>(this, kCfgTftpBootloaderFileId)->setText(Q(form.tftpBootloaderFile));
    Find<QLineEdit>(this, kCfgUrlId)->setText(Q(form.url));
    Find<QLineEdit>(this, kCfgBootloaderUrlId)->setText(Q(form.bootloaderUrl));
    Find<QLineEdit>(this, kCfgKernelId)->setText(Q(form.kernel));
    Find<QLineEdit>(this, kCfgFileSystemId)->setText(Q(form.fileSystem));
    Find<QLineEdit>(this, kCfgPatchId)->setText(Q(form.patch));
    Find<QLineEdit>(this, kCfgBootloaderId)->setText(Q(form.bootloader));
    Find<QLabel>(this, kCfgIpAddressId)->setText(Q(form.ipAddress));
    Find<QLabel>(this, kCfgMacAddressId)->setText(Q(form.macAddress));
    Find<QLabel>(this, kCfgSubnetMaskId)->setText(Q(form.subnetMask));
    for (int option = 0; option < 3; ++option) {
        Find<QRadioButton>(this, kOptionRadios[option])->setChecked(option == form.option);
    }
}

ConfigureForm CConfigureDlg::ReadForm() const {
    ConfigureForm form;
    form.listSize = U(Find<QLineEdit>(this, kCfgListSizeId)->text());
    form.tftpServer = U(Find<QLineEdit>(this, kCfgTftpServerId)->text());
    form.tftpFile = U(Find<QLineEdit>(this, kCfgTftpFileId)->text());
    form.tftpBootloaderFile = U(Find<QLineEdit>(this, kCfgTftpBootloaderFileId)->text());
    form.url = U(Find<QLineEdit>(this, kCfgUrlId)->text());
    form.bootloaderUrl = U(Find<QLineEdit>(this, kCfgBootloaderUrlId)->text());
    form.kernel = U(Find<QLineEdit>(this, kCfgKernelId)->text());
    form.fileSystem = U(Find<QLineEdit>(this, kCfgFileSystemId)->text());
    form.patch = U(Find<QLineEdit>(this, kCfgPatchId)->text());
    form.bootloader = U(Find<QLineEdit>(this, kCfgBootloaderId)->text());
    form.ipAddress = U(Find<QLabel>(this, kCfgIpAddressId)->text());
    form.macAddress = U(Find<QLabel>(this, kCfgMacAddressId)->text());
    form.subnetMask = U(Find<QLabel>(this, kCfgSubnetMaskId)->text());
    form.method = method_;
    form.testBit = testBit_;
    for (int option = 0; option < 3; ++option) {
        if (Find<QRadioButton>(this, kOptionRadios[option])->isChecked()) {
            form.option = option;
        }
    }
    return form;
}

void CConfigureDlg::ApplyMethodDisplay() {
    for (int method = 0; method < 3; ++method) {
        Find<QRadioButton>(this, kMethodRadios[method])->setChecked(method == method_);
    }
    const MethodDisplay display = MethodDisplayFor(method_, extendedMode_);
    for (const UpgradeField& field : kUpgradeFields) {
        const bool shown = display.*field.shown;
        auto* label = Find<QLabel>(this, field.labelId);
        label->setText(QString::fromUtf16(display.*field.label));
        label->setVisible(shown);
        Find<QLineEdit>(this, field.editId)->setVisible(shown);
    }
}

void CConfigureDlg::OnMethodClicked(int method) {
    method_ = method;
    ApplyMethodDisplay();
}

void CConfigureDlg::OnHelp() {
    const MethodHelp help = MethodHelpFor(method_);
    if (help.caption[0] != u'\0') {
        platform::MessageBox(this, Q(help.text), QString::fromUtf16(help.caption),
                             platform::kMbOk | platform::kMbIconInformation);
    }
}

void CConfigureDlg::OnSelect() {
    std::u16string ip;
    std::u16string mac;
    std::u16string mask;
    hooks_.selectInterface(this, ip, mac, mask);
    if (!ip.empty() && !mac.empty() && !mask.empty()) {
        Find<QLabel>(this, kCfgIpAddressId)->setText(Q(ip));
        Find<QLabel>(this, kCfgMacAddressId)->setText(Q(mac));
        Find<QLabel>(this, kCfgSubnetMaskId)->setText(Q(mask));
    }
}

void CConfigureDlg::EnableButtons(bool enabled) {
    for (int id : kLockedButtons) {
        Find<QPushButton>(this, id)->setEnabled(enabled);
    }
}

std::u16string CConfigureDlg::PrepareTests(bool* firmwareWanted, bool* bootloaderWanted) {
    *firmwareWanted = false;
    *bootloaderWanted = false;
    if (!IsProgramFile(files_.zipTool)) {
        return u"Cannot find 'unzip.exe'";
    }
    inputs_ = FetchInputs{};
    inputs_.method = method_;
    switch (method_) {
    case kConfigureUsb: {
        CPickUSBDriveDlg picker(usbDriveRoot_, this, hooks_.drives);
        picker.exec();
        if (usbDriveRoot_.empty()) {
            return u"No USB drive selected!";
        }
        inputs_.usbRoot = usbDriveRoot_;
        *firmwareWanted = true;
        *bootloaderWanted = extendedMode_;
        return {};
    }
    case kConfigureTftp:
        if (!IsProgramFile(files_.tftpClient)) {
            return u"Cannot find 'TFTP.EXE'";
        }
        inputs_.tftpServer = U(Find<QLineEdit>(this, kCfgTftpServerId)->text());
        inputs_.tftpFile = U(Find<QLineEdit>(this, kCfgTftpFileId)->text());
        inputs_.tftpBootloaderFile = U(Find<QLineEdit>(this, kCfgTftpBootloaderFileId)->text());
        if (inputs_.tftpServer.empty()) {
            return u"No server or filename!";
        }
        *firmwareWanted = !inputs_.tftpFile.empty();
        *bootloaderWanted = extendedMode_ && !inputs_.tftpBootloaderFile.empty();
        return *firmwareWanted || *bootloaderWanted ? std::u16string() : u"No server or filename!";
    case kConfigureHttpFtp:
        if (!IsProgramFile(files_.downloadTool)) {
            return u"Cannot find 'wget.exe'";
        }
        inputs_.url = U(Find<QLineEdit>(this, kCfgUrlId)->text());
        inputs_.bootloaderUrl = U(Find<QLineEdit>(this, kCfgBootloaderUrlId)->text());
        *firmwareWanted = !inputs_.url.empty();
        *bootloaderWanted = extendedMode_ && !inputs_.bootloaderUrl.empty();
        return *firmwareWanted || *bootloaderWanted ? std::u16string() : u"No URL (http/ftp)!";
    default:
        return u"Unknown method!";
    }
}

void CConfigureDlg::OnTestPackages() {
    EnableButtons(false);
    Redraw();
    bool firmwareWanted = false;
    bool bootloaderWanted = false;
    const std::u16string error = PrepareTests(&firmwareWanted, &bootloaderWanted);
    if (error.empty()) {
        for (int id : {kCfgKernelId, kCfgFileSystemId, kCfgPatchId, kCfgBootloaderId}) {
            Find<QLineEdit>(this, id)->clear();
        }
        Find<QLabel>(this, kCfgRevisionId)->clear();
        const auto answer = platform::MessageBox(
            this, "The test may take more than 30 seconds, do you want to continue?",
            "Test Package", platform::kMbYesNo);
        if (answer == platform::MessageBoxResult::Yes) {
            PackageTestSetup setup;
            setup.tempDirectory = temporaryDirectory_;
            setup.files = files_;
            setup.inputs = inputs_;
            if (firmwareWanted && TestPackage(setup, false, *this) != 0) {
                platform::MessageBox(this, "Test Failed!", "Test Firmware Package",
                                     platform::kMbOk | platform::kMbIconError);
            } else if (extendedMode_ && bootloaderWanted && TestPackage(setup, true, *this) != 0) {
                platform::MessageBox(this, "Test Failed!", "Test Bootloader Package",
                                     platform::kMbOk | platform::kMbIconError);
            } else {
                platform::MessageBox(this, "Tested Successfully.", "Test Firmware/Bootloader",
                                     platform::kMbOk | platform::kMbIconInformation);
            }
        }
    } else {
        platform::MessageBox(this, Q(error), "Test Package(s)",
                             platform::kMbOk | platform::kMbIconError);
    }
    EnableButtons(true);
}

void CConfigureDlg::OnSave() {
    ConfigureForm form = ReadForm();
    // The checks come first: a Save that fails them leaves every variable as it was.
    const FormCheck check = CheckForm(form);
    if (check.field != FormField::None) {
        // The framework's validation boxes carry the program's name.
        platform::MessageBox(this, Q(check.message), "Ravelin",
                             platform::kMbOk | platform::kMbIconExclamation);
        auto* edit = Find<QLineEdit>(this, check.field == FormField::ListSize ? kCfgListSizeId
                                                                              : kCfgTftpServerId);
        edit->setFocus();
        edit->selectAll();
        return;
    }
    ApplyForm(form, config_);
    Find<QLineEdit>(this, kCfgTftpServerId)->setText(Q(form.tftpServer));
    Find<QLineEdit>(this, kCfgTftpFileId)->setText(Q(form.tftpFile));
    Find<QLineEdit>(this, kCfgTftpBootloaderFileId)->setText(Q(form.tftpBootloaderFile));
    if (saved_) {
        *saved_ = true;
    }
    accept();
}

void CConfigureDlg::reject() {
    if (saved_) {
        *saved_ = false;
    }
    CDraggableDialog::reject();
}

void CConfigureDlg::SetFieldText(PackageField field, const std::u16string& text) {
    switch (field) {
    case PackageField::Kernel:
        Find<QLineEdit>(this, kCfgKernelId)->setText(Q(text));
        break;
    case PackageField::FileSystem:
        Find<QLineEdit>(this, kCfgFileSystemId)->setText(Q(text));
        break;
    case PackageField::Patch:
        Find<QLineEdit>(this, kCfgPatchId)->setText(Q(text));
        break;
    case PackageField::Bootloader:
        Find<QLineEdit>(this, kCfgBootloaderId)->setText(Q(text));
        break;
    case PackageField::Revision:
        Find<QLabel>(this, kCfgRevisionId)->setText(Q(text));
        break;
    }
}

void CConfigureDlg::Redraw() {
    repaint();
}

void CConfigureDlg::ShowError(const std::u16string& text) {
    platform::MessageBox(this, Q(text), "Error", platform::kMbOk | platform::kMbIconError);
}
