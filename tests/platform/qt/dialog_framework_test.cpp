#include "platform/qt/control_id.h"
#include "platform/qt/key_state.h"
#include "platform/qt/message_box.h"
#include "platform/qt/window_menu.h"

#include <QAction>
#include <QDialog>
#include <QMenu>
#include <QPushButton>
#include <gtest/gtest.h>
#include <vector>

using platform::MessageBoxResult;

TEST(MessageBoxSeam, ScriptedAnswersAreRecordedAndDefaultToNoOrOk) {
    platform::ScriptedMessageBoxes boxes;
    boxes.QueueAnswer(MessageBoxResult::Yes);
    EXPECT_EQ(platform::MessageBox(nullptr, "Proceed?", "Clear List", platform::kMbYesNo),
              MessageBoxResult::Yes);
    // Nothing queued: a question is answered No, a notice OK.
    EXPECT_EQ(platform::MessageBox(nullptr, "Again?", "Clear List", platform::kMbYesNo),
              MessageBoxResult::No);
    EXPECT_EQ(platform::MessageBox(nullptr, "Done", "", platform::kMbIconExclamation),
              MessageBoxResult::Ok);
    ASSERT_EQ(boxes.calls().size(), 3u);
    EXPECT_EQ(boxes.calls()[0].text, "Proceed?");
    EXPECT_EQ(boxes.calls()[0].caption, "Clear List");
    EXPECT_EQ(boxes.calls()[2].style, platform::kMbIconExclamation);
}

TEST(KeyStateSeam, OverrideDecidesWhatIsHeld) {
    platform::SetKeyStateOverride(platform::KeyState{true, false});
    EXPECT_TRUE(platform::IsControlDown());
    EXPECT_FALSE(platform::CurrentKeyState().shift);
    platform::SetKeyStateOverride(platform::KeyState{false, true});
    EXPECT_FALSE(platform::IsControlDown());
    platform::SetKeyStateOverride(std::nullopt);
    // The offscreen platform has no keyboard held down.
    EXPECT_FALSE(platform::IsControlDown());
}

TEST(ControlIds, ControlsAreFoundByTheirNumericIds) {
    QDialog dialog;
    auto* search = new QPushButton("Search", &dialog);
    platform::SetControlId(search, 1019);
    EXPECT_EQ(platform::Control<QPushButton>(&dialog, 1019), search);
    EXPECT_EQ(platform::ControlId(search), 1019);
    EXPECT_EQ(platform::Control<QPushButton>(&dialog, 1020), nullptr);
    EXPECT_EQ(platform::ControlId(&dialog), -1);
}

TEST(WindowMenu, ItemsCarryTheirCommandIdsAndEmptyTextsAreLeftOut) {
    QDialog dialog;
    std::vector<uint32_t> chosen;
    platform::WindowMenu menu(&dialog, [&](uint32_t command) { chosen.push_back(command); });
    menu.AppendItem(16, "&About Korvana Firmware Upgrader...");
    menu.AppendItem(48, "");
    menu.AppendItem(32, "Configure");

    int items = 0, separators = 0;
    for (QAction* action : menu.menu()->actions()) {
        (action->isSeparator() ? separators : items)++;
    }
    EXPECT_EQ(items, 2);
    EXPECT_EQ(separators, 2);
    EXPECT_TRUE(menu.Choose(32));
    EXPECT_TRUE(menu.Choose(16));
    EXPECT_FALSE(menu.Choose(48));
    EXPECT_EQ(chosen, (std::vector<uint32_t>{32, 16}));
}

TEST(WindowMenu, SystemCommandsAreMatchedWithTheLowFourBitsMasked) {
    struct Case {
        uint32_t command;
        uint32_t matched;
    };
    for (const Case& c : {Case{16, 16}, Case{17, 16}, Case{31, 16}, Case{32, 32}, Case{47, 32},
                          Case{48, 48}, Case{0xF060, 0xF060}}) {
        EXPECT_EQ(platform::SystemCommandOf(c.command), c.matched) << c.command;
    }
}
