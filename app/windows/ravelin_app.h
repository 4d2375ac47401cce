// The application object: the program and temporary directories, the single-instance
// guard and the decision on extended mode. Its initialisation runs the main window and
// returns false in every case, so the process ends once that window has closed.
#pragma once

#include "platform/qt/single_instance.h"

#include <QApplication>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <string>
#include <vector>

// The guard of one program name; it activates the main window a later start asks for.
class CInstanceChecker {
  public:
    // "CInstanceChecker_MMF_" followed by the application name.
    explicit CInstanceChecker(const std::u16string& applicationName);

    bool ActivateRunningInstance() { return guard_.ActivateRunningInstance(); }
    bool Publish();
    void SetMainWindow(QWidget* window) { mainWindow_ = window; }
    const QString& name() const { return guard_.name(); }

  private:
    void ActivateMainWindow();

    platform::InstanceGuard guard_;
    QPointer<QWidget> mainWindow_;
};

class CRavelinApp {
  public:
    // Runs the main window modally; it registers the window with instanceChecker().
    using MainWindowRunner = std::function<void(CRavelinApp&)>;

    // Construction: both directories ("." while unknown), extended mode off. The
    // application name defaults to the program file's base name.
    CRavelinApp();
    explicit CRavelinApp(const std::u16string& applicationName);

    // Initialisation, given the command-line arguments after the program name. When a
    // running instance answers it is activated and nothing else happens.
    bool InitInstance(const std::vector<std::u16string>& arguments,
                      const MainWindowRunner& runMainWindow);

    const std::u16string& programDirectory() const { return programDirectory_; }
    const std::u16string& temporaryDirectory() const { return temporaryDirectory_; }
    bool extendedMode() const { return extendedMode_; }
    CInstanceChecker& instanceChecker() { return checker_; }

  private:
    std::u16string programDirectory_ = u".";
    std::u16string temporaryDirectory_ = u".";
    bool extendedMode_ = false;
    CInstanceChecker checker_;
};
