#include "app/windows/device_list_view.h"
#include "platform/qt/control_id.h"
#include "secondary/windows/handle_slaves_dlg.h"
#include "secondary/windows/secondaries_command.h"
#include "tests/secondary/slaves_fixture.h"

#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace slavestest {
namespace {

// The main window's list over the table; the command runs the window modally, and a timer
// acts on it once it is shown.
class SecondariesCommandTest : public SlavesFixture {
  protected:
    SecondariesCommandTest() : list(new QTreeWidget(&mainDialog)), view(list, *table) {
        list->resize(800, 200);
        view.SetUpColumns();
    }

    void ShowRows() { view.RefreshRow(-1); }
    void Select(int slot, bool selected = true) { view.RowOfSlot(slot)->setSelected(selected); }

    // Runs the command; while the window is open, `during` runs once and Cancel is clicked.
    bool Run(std::function<void(CHandleSlavesDlg*)> during = {}) {
        opened = false;
        QTimer::singleShot(0, [this, during] {
            auto* window = dynamic_cast<CHandleSlavesDlg*>(QApplication::activeModalWidget());
            if (window == nullptr) {
                return;
            }
            opened = true;
            if (during) {
                during(window);
            }
            QTest::mouseClick(platform::Control<QPushButton>(window, kCancelButton),
                              Qt::LeftButton);
        });
        return RunSecondariesCommand(&mainDialog, view, links);
    }

    QDialog mainDialog;
    QTreeWidget* list;
    DeviceListView view;
    bool opened = false;
};

TEST_F(SecondariesCommandTest, NothingSelectedOrNothingQualifyingShowsTheMessage) {
    AddPrimary(u"Alpha", 2);
    ShowRows();
    EXPECT_FALSE(Run());
    EXPECT_FALSE(opened);
    ASSERT_EQ(boxes.calls().size(), 1u);
    EXPECT_EQ(boxes.calls()[0].text,
              "No appropriate workable selections were made, please try again!");
    EXPECT_EQ(boxes.calls()[0].caption, "Secondary PDUs");
    EXPECT_EQ(boxes.calls()[0].style, platform::kMbOk | platform::kMbIconExclamation);

    // Selected, but without secondaries: nothing qualifies.
    table->slots[0].secondaryCount = 0;
    ShowRows();
    Select(0);
    boxes.ClearCalls();
    EXPECT_FALSE(Run());
    EXPECT_FALSE(opened);
    EXPECT_EQ(boxes.calls().size(), 1u);
}

TEST_F(SecondariesCommandTest, MarksRowsAndOpensForABootloaderPackageAlone) {
    const int plain = AddPrimary(u"Plain", 0);
    table->slots[plain].status = kStatusPresent;
    const int known = AddPrimary(u"Known", 0);
    table->slots[known].status = kStatusPresent; // unselected, untested
    Put(table->slots[known].blPackFilename, u"tevblpack-4.bin");
    const int hidden = AddPrimary(u"Hidden", 0);
    table->slots[hidden].selection = kNotShown;
    table->slots[hidden].status = kStatusUpgraded;
    ShowRows();
    delete view.RowOfSlot(hidden); // a unit the filters do not show
    Select(plain);

    platform::WindowHandle during = platform::kNoWindow;
    EXPECT_TRUE(Run([&](CHandleSlavesDlg* window) {
        during = platform::GetNotifyWindow();
        EXPECT_EQ(during, window->handle());
        EXPECT_EQ(platform::Control<QTreeWidget>(window, kPrimaryListId)->topLevelItemCount(), 1);
    }));
    EXPECT_TRUE(opened);
    EXPECT_TRUE(boxes.calls().empty());
    EXPECT_EQ(table->slots[plain].selection, kShownSelected);
    EXPECT_EQ(table->slots[known].selection, kShown);
    EXPECT_EQ(table->slots[hidden].selection, kNotShown) << "a unit not shown keeps its mark";
    EXPECT_EQ(table->slots[known].secondaryState, kSecondaryPresent);

    // Closed: notifications reach the main window again, and the closed window's
    // handle takes nothing.
    EXPECT_EQ(platform::GetNotifyWindow(), mainWindow.handle());
    EXPECT_FALSE(platform::IsWindowAlive(during));
    EXPECT_TRUE(PostValue(3, 200));
    platform::Message m;
    ASSERT_TRUE(mainWindow.TakeMessage(m, 1000));
    EXPECT_EQ(m.wParam, 3u);
}

} // namespace
} // namespace slavestest
