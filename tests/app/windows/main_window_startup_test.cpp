// The opening sequence's station-identity check, seen from the main window.
#include "main_window_fixture.h"
#include "netif/windows/select_addr_dlg.h"

#include <QApplication>
#include <QTimer>

namespace {

enum class Stored { Nothing, BroadcastMac };

} // namespace

TEST_F(MainWindowTest, AMissingOrUnusableIdentityAsksForAnInterfaceBeforeTheWindowShows) {
    for (Stored stored : {Stored::Nothing, Stored::BroadcastMac}) {
        SCOPED_TRACE(static_cast<int>(stored));
        std::filesystem::remove(DatabasePath());
        if (stored == Stored::BroadcastMac) {
            SetUp();                                      // a usable identity ...
            std::memset(TheConfig().mgrmacaddr, 0xFF, 6); // ... but FF:FF:FF:FF:FF:FF
            ASSERT_NE(SaveConfigItem(kCfgMgrMacAddr), 0);
        }
        CRavelinDlg window(false);
        bool askedFirst = false;
        bool windowShown = false;
        QTimer::singleShot(0, [&] {
            auto* select = dynamic_cast<CSelectAddrDlg*>(QApplication::activeModalWidget());
            askedFirst = select && !window.isVisible();
            if (select) {
                select->reject(); // cancelled: the window still opens
            }
            QTimer::singleShot(0, [&] {
                windowShown = QTest::qWaitFor([&] { return window.isVisible(); }, 5000);
                Click(window, kExitButton);
            });
        });
        window.DoModal();
        EXPECT_TRUE(askedFirst);
        EXPECT_TRUE(windowShown);
        EXPECT_EQ(window.result(), QDialog::Accepted);
    }
}

TEST_F(MainWindowTest, AUsableIdentityOpensTheWindowWithoutAsking) {
    CRavelinDlg window(false);
    bool asked = true;
    QTimer::singleShot(0, [&] {
        asked = dynamic_cast<CSelectAddrDlg*>(QApplication::activeModalWidget()) != nullptr;
        Click(window, kExitButton);
    });
    window.DoModal();
    EXPECT_FALSE(asked);
}
