#include "app/station_identity.h"
#include "app/windows/about_dlg.h"
#include "app/windows/interface_choice.h"
#include "app/windows/ravelin_app.h"
#include "config/config_items.h"
#include "netif/windows/select_addr_dlg.h"
#include "platform/program_paths.h"
#include "platform/qt/control_id.h"
#include "platform/qt/key_state.h"
#include "tests/config/temp_program_dir.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>

namespace {

// A program name of this test alone, so parallel runs never meet.
std::u16string UniqueName(const char* tag) {
    static int serial = 0;
    return QString("ravelin-test-%1-%2-%3").arg(::getpid()).arg(tag).arg(++serial).toStdU16String();
}

} // namespace

TEST(AboutBox, ShowsVersion120AndOkCloses) {
    CAboutDlg about;
    EXPECT_EQ(about.windowTitle(), "About Korvana Firmware Upgrader");
    auto* text = platform::Control<QLabel>(&about, kAboutVersionTextId);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->text(), "Firmware Upgrader, Version 1.2.0");
    about.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&about));
    QTest::mouseClick(platform::Control<QPushButton>(&about, 1), Qt::LeftButton);
    EXPECT_FALSE(about.isVisible());
    EXPECT_EQ(about.result(), QDialog::Accepted);
}

TEST(RavelinApp, ConstructionTakesTheProgramAndTemporaryDirectories) {
    const std::filesystem::path temp =
        std::filesystem::temp_directory_path() / ("ravelin-temp-" + std::to_string(::getpid()));
    std::filesystem::remove_all(temp);
    platform::SetProgramFileOverride(u"/opt/ravelin/bin/Ravelin");
    platform::SetTempDirectoryOverride(temp.u16string());
    {
        CRavelinApp app(UniqueName("dirs"));
        EXPECT_EQ(app.programDirectory(), u"/opt/ravelin/bin");
        EXPECT_EQ(app.temporaryDirectory(), temp.u16string());
        EXPECT_TRUE(std::filesystem::is_directory(temp)); // created
        EXPECT_FALSE(app.extendedMode());
    }
    // A program path that cannot be had, and a TEMP too long for its buffer: both ".".
    platform::SetProgramFileOverride(u"");
    platform::SetTempDirectoryOverride(u"/" + std::u16string(300, u'x'));
    {
        CRavelinApp app(UniqueName("dots"));
        EXPECT_EQ(app.programDirectory(), u".");
        EXPECT_EQ(app.temporaryDirectory(), u".");
    }
    platform::SetProgramFileOverride(std::nullopt);
    platform::SetTempDirectoryOverride(std::nullopt);
    std::filesystem::remove_all(temp);
}

TEST(RavelinApp, InitialisationDecidesExtendedModeRunsTheWindowAndReturnsFalse) {
    struct Case {
        std::vector<std::u16string> arguments;
        platform::KeyState keys;
        bool extended;
    };
    const Case cases[] = {
        {{u"/x-debug"}, {false, false}, true},
        {{}, {true, true}, true},
        {{}, {true, false}, false},
        {{u"-x"}, {false, true}, false},
    };
    for (const Case& c : cases) {
        platform::SetKeyStateOverride(c.keys);
        CRavelinApp app(UniqueName("mode"));
        int runs = 0;
        bool extendedSeen = false;
        EXPECT_FALSE(app.InitInstance(c.arguments, [&](CRavelinApp& running) {
            ++runs;
            extendedSeen = running.extendedMode();
        }));
        EXPECT_EQ(runs, 1);
        EXPECT_EQ(extendedSeen, c.extended);
    }
    platform::SetKeyStateOverride(std::nullopt);
}

TEST(RavelinApp, ASecondStartActivatesTheFirstAndEnds) {
    const std::u16string name = UniqueName("single");
    bool secondRan = true;
    bool activated = false;
    {
        CRavelinApp first(name);
        first.InitInstance({}, [&](CRavelinApp& running) {
            QWidget window;
            running.instanceChecker().SetMainWindow(&window);
            window.showMinimized();
            QCoreApplication::processEvents();

            CRavelinApp second(name);
            secondRan = false;
            EXPECT_FALSE(second.InitInstance({}, [&](CRavelinApp&) { secondRan = true; }));
            activated =
                QTest::qWaitFor([&] { return window.isVisible() && !window.isMinimized(); }, 5000);
        });
    }
    EXPECT_FALSE(secondRan);
    EXPECT_TRUE(activated);

    // Once the first instance has gone, the next start runs its window again.
    CRavelinApp third(name);
    int runs = 0;
    third.InitInstance({}, [&](CRavelinApp&) { ++runs; });
    EXPECT_EQ(runs, 1);
}

TEST(InstanceGuard, ANameLeftBehindByAnEndedInstanceIsTakenOver) {
    const QString name = QString::fromStdU16String(UniqueName("stale"));
    QFile stale(QDir::tempPath() + "/" + name);
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    stale.close();
    platform::InstanceGuard guard(name);
    EXPECT_FALSE(guard.ActivateRunningInstance());
    int activations = 0;
    EXPECT_TRUE(guard.Publish([&] { ++activations; }));
    platform::InstanceGuard later(name);
    EXPECT_TRUE(later.ActivateRunningInstance());
    EXPECT_TRUE(QTest::qWaitFor([&] { return activations == 1; }, 5000));
}

class StartupIdentityTest : public TempProgramDir {};

TEST_F(StartupIdentityTest, WithoutASettingsFileTheInterfaceSelectionRunsFirst) {
    SetConfigDefaults();
    LoadAllConfigItems();
    bool shown = false;
    QTimer::singleShot(0, [&] {
        auto* dialog = dynamic_cast<CSelectAddrDlg*>(QApplication::activeModalWidget());
        shown = dialog != nullptr;
        if (dialog) {
            QTest::mouseClick(platform::Control<QPushButton>(dialog, kCancelButtonId),
                              Qt::LeftButton);
        }
    });
    EXPECT_TRUE(EnsureStationIdentity(ModalInterfaceSelection(nullptr)));
    EXPECT_TRUE(shown);
    EXPECT_FALSE(DatabaseExists() && LoadConfigItem(kCfgMgrMacAddr) != 0);
}
