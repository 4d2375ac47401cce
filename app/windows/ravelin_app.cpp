#include "app/windows/ravelin_app.h"

#include "app/extended_mode.h"
#include "platform/program_paths.h"
#include "platform/qt/key_state.h"
#include "platform/utf8.h"

#include <filesystem>
#include <system_error>

namespace {
// The temporary directory must fit a 260-unit buffer with its terminator.
constexpr size_t kTempDirectoryUnits = 260;
} // namespace

CInstanceChecker::CInstanceChecker(const std::u16string& applicationName)
    : guard_(QStringLiteral("CInstanceChecker_MMF_") + QString::fromStdU16String(applicationName)) {
}

bool CInstanceChecker::Publish() {
    return guard_.Publish([this] { ActivateMainWindow(); });
}

void CInstanceChecker::ActivateMainWindow() {
    if (!mainWindow_) {
        return;
    }
    QWidget* window = mainWindow_;
    if (window->isMinimized()) {
        window->showNormal();
    }
    window->show();
    QWidget* front = QApplication::activeModalWidget();
    front = front ? front : window;
    front->raise();
    front->activateWindow();
}

CRavelinApp::CRavelinApp() : CRavelinApp(platform::ProgramBaseName()) {}

CRavelinApp::CRavelinApp(const std::u16string& applicationName) : checker_(applicationName) {
    if (platform::ProgramFilePath()) {
        programDirectory_ = platform::ProgramDirectory();
    }
    const std::u16string temp = platform::TempDirectory();
    if (temp.size() < kTempDirectoryUnits) {
        temporaryDirectory_ = temp;
        std::string path;
        if (!temp.empty() && platform::Utf16ToUtf8(temp, &path)) {
            std::error_code ignored; // it may well exist already
            std::filesystem::create_directories(path, ignored);
        }
    }
}

bool CRavelinApp::InitInstance(const std::vector<std::u16string>& arguments,
                               const MainWindowRunner& runMainWindow) {
    if (checker_.ActivateRunningInstance()) {
        return false;
    }
    const platform::KeyState keys = platform::CurrentKeyState();
    extendedMode_ = DecideExtendedMode(arguments, keys.control, keys.shift);
    // Publish before the window runs, so that a second start never opens a second window;
    // losing the race to an instance that published first ends this one.
    if (!checker_.Publish()) {
        checker_.ActivateRunningInstance();
        return false;
    }
    if (runMainWindow) {
        runMainWindow(*this);
    }
    return false;
}
