#include "platform/qt/control_id.h"
#include "secondary/windows/handle_slaves_dlg.h"
#include "tests/secondary/slaves_fixture.h"

#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

namespace slavestest {
namespace {

class HandleSlavesTest : public SlavesFixture {
  protected:
    // Three listed primaries and one that does not qualify; the window opens and its
    // refresh has been handed over.
    void Populate() {
        a = AddPrimary(u"Alpha", 3);
        const int untested = AddPrimary(u"Untested", 2);
        table->slots[untested].status = kStatusUntested;
        b = AddPrimary(u"Bravo", 2);
        c = AddPrimary(u"Charlie", 1);
    }
    void Open() {
        if (table->count == 0) {
            Populate();
        }
        window = std::make_unique<CHandleSlavesDlg>(nullptr, links);
        window->show();
        primaries = platform::Control<QTreeWidget>(window.get(), kPrimaryListId);
        secondaries = platform::Control<QTreeWidget>(window.get(), kSecondaryListId);
    }
    // The refresh ends: A has three secondaries (the second with id 0), B none.
    void FinishRefresh() {
        auto record = RefreshRecord(a, 3);
        record->secondaries[1].id = 0;
        ASSERT_TRUE(Post(5, std::move(record)));
        ASSERT_TRUE(Post(5, RefreshRecord(b, 0)));
        ASSERT_TRUE(Post(5, RefreshRecord(c, 1)));
        ASSERT_TRUE(PostValue(7, 200));
    }
    QPushButton* Button(int id) const { return platform::Control<QPushButton>(window.get(), id); }
    QString Static(int id) const { return platform::Control<QLabel>(window.get(), id)->text(); }
    QStringList Column(QTreeWidget* list, int column) const {
        QStringList texts;
        for (int i = 0; i < list->topLevelItemCount(); ++i) {
            texts << list->topLevelItem(i)->text(column);
        }
        return texts;
    }
    void SelectRows(std::initializer_list<int> rows) {
        primaries->clearSelection();
        for (int row : rows) {
            primaries->topLevelItem(row)->setSelected(true);
        }
    }
    int Progress() const {
        return platform::Control<QProgressBar>(window.get(), kSecondariesProgress)->value();
    }

    int a = 0, b = 0, c = 0;
    std::unique_ptr<CHandleSlavesDlg> window;
    QTreeWidget* primaries = nullptr;
    QTreeWidget* secondaries = nullptr;
};

TEST_F(HandleSlavesTest, OpeningListsQualifyingPrimariesAndStartsTheRefresh) {
    Populate();
    table->slots[1].secondaryState = kSecondaryUpgraded; // left from an earlier opening
    Open();
    EXPECT_EQ(window->windowTitle(), "Secondary PDUs");
    EXPECT_EQ(platform::GetNotifyWindow(), window->handle());
    ASSERT_EQ(primaries->columnCount(), 13);
    ASSERT_EQ(secondaries->columnCount(), 9);
    EXPECT_EQ(primaries->headerItem()->text(12), "Secondaries");
    EXPECT_EQ(primaries->columnWidth(12), primaries->width() * 8 / 100);
    EXPECT_EQ(secondaries->headerItem()->text(0), "ID");
    EXPECT_EQ(secondaries->columnWidth(8), secondaries->width() * 16 / 100);
    EXPECT_EQ(secondaries->headerItem()->textAlignment(2) & Qt::AlignHorizontal_Mask,
              Qt::AlignHCenter);

    EXPECT_EQ(Column(primaries, 2), QStringList({"Alpha", "Bravo", "Charlie"}));
    EXPECT_EQ(Column(primaries, 0), QStringList({"Present", "Present", "Present"}));
    EXPECT_EQ(table->slots[1].secondaryState, kSecondaryInvalid) << "not listed";
    for (int id :
         {kSecondaryCountStatic, kPrimaryMacStatic, kPrimaryIpStatic, kPrimaryNameStatic}) {
        EXPECT_EQ(Static(id), "") << id;
    }
    EXPECT_TRUE(JobSet(kJobSecondariesRefresh));
    EXPECT_TRUE(Signalled());
    EXPECT_FALSE(primaries->isEnabled());
    for (int id :
         {kRefreshButton, kSelectAllButton, kClearSelectionsButton, kUpgradeSecondariesButton}) {
        EXPECT_FALSE(Button(id)->isEnabled()) << id;
    }
    EXPECT_FALSE(Button(kOkButton)->isVisible());
    EXPECT_EQ(Progress(), 0);

    // Progress, an out-of-range value, then the end of the refresh.
    ASSERT_TRUE(PostValue(7, 40));
    EXPECT_EQ(Progress(), 40);
    ASSERT_TRUE(PostValue(7, 150));
    EXPECT_EQ(Progress(), 40);
    FinishRefresh();
    EXPECT_EQ(Progress(), 100);
    EXPECT_TRUE(primaries->isEnabled());
    EXPECT_FALSE(Button(kUpgradeSecondariesButton)->isEnabled()) << "waits for a selection";
    for (int id : {kRefreshButton, kSelectAllButton, kClearSelectionsButton}) {
        EXPECT_TRUE(Button(id)->isEnabled()) << id;
    }
    EXPECT_EQ(Column(primaries, 0), QStringList({"Tested", "Present", "Tested"}))
        << "a primary whose refresh found no secondaries stays Present";
    EXPECT_EQ(Column(primaries, 12), QStringList({"3", "2", "1"}));

    // Refresh lists the primaries again, all Present, and hands over another refresh.
    ClearJobs();
    QTest::mouseClick(Button(kRefreshButton), Qt::LeftButton);
    EXPECT_EQ(Column(primaries, 0), QStringList({"Present", "Present", "Present"}));
    EXPECT_TRUE(JobSet(kJobSecondariesRefresh));
    EXPECT_FALSE(primaries->isEnabled());
}

TEST_F(HandleSlavesTest, NothingListedStartsNoRefresh) {
    const int slot = AddPrimary(u"Alone", 0); // no secondaries: does not qualify
    window = std::make_unique<CHandleSlavesDlg>(nullptr, links);
    EXPECT_EQ(platform::Control<QTreeWidget>(window.get(), kPrimaryListId)->topLevelItemCount(), 0);
    EXPECT_EQ(table->slots[slot].secondaryState, kSecondaryInvalid);
    EXPECT_FALSE(JobSet(kJobSecondariesRefresh));
    EXPECT_FALSE(Signalled());
    EXPECT_TRUE(platform::Control<QPushButton>(window.get(), kRefreshButton)->isEnabled());
    EXPECT_FALSE(
        platform::Control<QPushButton>(window.get(), kUpgradeSecondariesButton)->isEnabled());
}

TEST_F(HandleSlavesTest, SelectedPrimaryAndItsSecondaries) {
    Open();
    FinishRefresh();
    SelectRows({0});
    EXPECT_TRUE(Button(kUpgradeSecondariesButton)->isEnabled());
    EXPECT_EQ(Static(kPrimaryMacStatic), "02:52:56:00:00:01");
    EXPECT_EQ(Static(kPrimaryIpStatic), "127.0.0.2");
    EXPECT_EQ(Static(kPrimaryNameStatic), "Alpha");
    EXPECT_EQ(Static(kSecondaryCountStatic), "3");
    EXPECT_EQ(Column(secondaries, 0), QStringList({"000101", "000103"})) << "id 0 is not listed";
    EXPECT_EQ(Column(secondaries, 1), QStringList({"secA", "secC"}));
    EXPECT_EQ(secondaries->topLevelItem(0)->textAlignment(3) & Qt::AlignHorizontal_Mask,
              Qt::AlignHCenter);

    // A click in the secondaries list never leaves a row selected.
    const QRect rect = secondaries->visualItemRect(secondaries->topLevelItem(1));
    QTest::mouseClick(secondaries->viewport(), Qt::LeftButton, {}, rect.center());
    EXPECT_TRUE(secondaries->selectedItems().isEmpty());
    secondaries->topLevelItem(0)->setSelected(true);
    EXPECT_TRUE(secondaries->selectedItems().isEmpty());

    // Sorting by ID: ascending first, a second click descending.
    secondaries->header()->setSortIndicator(0, Qt::DescendingOrder);
    EXPECT_EQ(Column(secondaries, 0), QStringList({"000101", "000103"}));
    secondaries->header()->setSortIndicator(0, Qt::DescendingOrder);
    EXPECT_EQ(Column(secondaries, 0), QStringList({"000103", "000101"}));

    // Two selected primaries empty the box and the list.
    SelectRows({0, 2});
    for (int id :
         {kSecondaryCountStatic, kPrimaryMacStatic, kPrimaryIpStatic, kPrimaryNameStatic}) {
        EXPECT_EQ(Static(id), "") << id;
    }
    EXPECT_EQ(secondaries->topLevelItemCount(), 0);
    EXPECT_TRUE(Button(kUpgradeSecondariesButton)->isEnabled());
}

TEST_F(HandleSlavesTest, SecondariesNeverGoPastThe32Slots) {
    Open();
    FinishRefresh();
    // An entry whose count says more than its 32 slots hold.
    for (int k = 0; k < kMaxSecondaries; ++k) {
        table->slots[a].secondaries[k].id = 0x500u + static_cast<uint32_t>(k);
    }
    table->slots[a].secondaryCount = 200;
    SelectRows({0});
    EXPECT_EQ(secondaries->topLevelItemCount(), kMaxSecondaries);
}

TEST_F(HandleSlavesTest, SortingSecondariesWithoutASelectedPrimaryDoesNothing) {
    Open();
    FinishRefresh();
    table->slots[a].secondaries[0].id = 0x300; // listed before a smaller id
    table->slots[a].secondaries[2].id = 0x100;
    SelectRows({});
    secondaries->header()->setSortIndicator(0, Qt::AscendingOrder);
    EXPECT_EQ(secondaries->header()->sortIndicatorSection(), -1) << "the indicator goes back";
    SelectRows({0});
    EXPECT_EQ(Column(secondaries, 0), QStringList({"000300", "000100"}));
    // The first real sort is ascending: the click without a primary left no sort state.
    secondaries->header()->setSortIndicator(0, Qt::DescendingOrder);
    EXPECT_EQ(Column(secondaries, 0), QStringList({"000100", "000300"}));
}

TEST_F(HandleSlavesTest, SelectAllAndClearSelections) {
    Open();
    FinishRefresh();
    QTest::mouseClick(Button(kSelectAllButton), Qt::LeftButton);
    EXPECT_EQ(primaries->selectedItems().size(), 3);
    EXPECT_EQ(Column(primaries, 0), QStringList({"Tested", "Tested", "Tested"}));
    EXPECT_EQ(table->slots[b].secondaryState, kSecondaryTested);
    QTest::mouseClick(Button(kClearSelectionsButton), Qt::LeftButton);
    EXPECT_TRUE(primaries->selectedItems().isEmpty());
    EXPECT_EQ(Column(primaries, 0), QStringList({"Present", "Present", "Present"}));
    EXPECT_FALSE(Button(kUpgradeSecondariesButton)->isEnabled());
}

TEST_F(HandleSlavesTest, PrimaryListSortsByTheShownState) {
    Open();
    FinishRefresh();
    primaries->header()->setSortIndicator(0, Qt::AscendingOrder);
    EXPECT_EQ(Column(primaries, 2), QStringList({"Bravo", "Alpha", "Charlie"}));
    primaries->header()->setSortIndicator(0, Qt::DescendingOrder);
    EXPECT_EQ(Column(primaries, 2), QStringList({"Alpha", "Charlie", "Bravo"}));
    primaries->header()->setSortIndicator(2, Qt::DescendingOrder); // another column: ascending
    EXPECT_EQ(Column(primaries, 2), QStringList({"Alpha", "Bravo", "Charlie"}));
}

TEST_F(HandleSlavesTest, UpgradeChecksPackagesAsksAndMarks) {
    Open();
    FinishRefresh();
    ClearJobs();
    // Nothing selected.
    Button(kUpgradeSecondariesButton)->setEnabled(true);
    QTest::mouseClick(Button(kUpgradeSecondariesButton), Qt::LeftButton);
    ASSERT_EQ(boxes.calls().size(), 1u);
    EXPECT_EQ(boxes.calls()[0].text, "No selections made, please try again!");
    EXPECT_EQ(boxes.calls()[0].caption, "Upgrade Secondary PDUs");
    EXPECT_EQ(boxes.calls()[0].style, platform::kMbOk | platform::kMbIconExclamation);

    // Two selected, the second without a package file name: its error, nothing else.
    table->slots[c].packFilename[0] = 0;
    SelectRows({0, 2});
    boxes.ClearCalls();
    QTest::mouseClick(Button(kUpgradeSecondariesButton), Qt::LeftButton);
    ASSERT_EQ(boxes.calls().size(), 1u);
    EXPECT_EQ(boxes.calls()[0].text,
              "PDU Named (Charlie) MAC (02:52:56:00:00:04) does not have valid Pack (Firmware "
              "package) file!\n\nBefore upgrading the secondaries, please upgrade the firmware on "
              "Charlie");
    EXPECT_EQ(boxes.calls()[0].caption, "Error");
    EXPECT_EQ(boxes.calls()[0].style, platform::kMbOk | platform::kMbIconError);
    EXPECT_FALSE(JobSet(kJobSecondariesUpgrade));
    EXPECT_EQ(Column(primaries, 0), QStringList({"Tested", "Present", "Tested"}));

    // Bootloader mode (extended mode and Ctrl) asks about the bootloader; No changes
    // nothing, not even the bootloader flag.
    Put(table->slots[c].packFilename, u"tevpack-1.bin");
    for (int slot : {a, c}) {
        table->slots[slot].blPackRev = 3;
        Put(table->slots[slot].blPackFilename, u"tevblpack-3.bin");
    }
    links.extendedMode = true;
    window = nullptr;
    window = std::make_unique<CHandleSlavesDlg>(nullptr, links);
    primaries = platform::Control<QTreeWidget>(window.get(), kPrimaryListId);
    FinishRefresh();
    ClearJobs();
    SelectRows({0, 2});
    platform::SetKeyStateOverride(platform::KeyState{true, false});
    boxes.ClearCalls();
    boxes.QueueAnswer(platform::MessageBoxResult::No);
    QTest::mouseClick(Button(kUpgradeSecondariesButton), Qt::LeftButton);
    ASSERT_EQ(boxes.calls().size(), 1u);
    EXPECT_EQ(boxes.calls()[0].text,
              "Are you sure you want to upgrade the Bootloader for all linked PDUs in the list?");
    EXPECT_EQ(boxes.calls()[0].caption, "Upgrade");
    EXPECT_EQ(boxes.calls()[0].style, platform::kMbYesNo);
    EXPECT_EQ(TheThreadContext().bootloaderFlag.load(), 0);
    EXPECT_FALSE(JobSet(kJobSecondariesUpgrade));
    EXPECT_EQ(Column(primaries, 0), QStringList({"Tested", "Present", "Tested"}));

    // Yes: the selected rows are queued, the job handed over with the bootloader flag.
    table->slots[b].secondaryState = kSecondarySelected; // queued before, not selected now
    boxes.QueueAnswer(platform::MessageBoxResult::Yes);
    QTest::mouseClick(Button(kUpgradeSecondariesButton), Qt::LeftButton);
    EXPECT_EQ(Column(primaries, 0), QStringList({"Selected", "Tested", "Selected"}));
    EXPECT_EQ(TheThreadContext().bootloaderFlag.load(), 1);
    EXPECT_TRUE(JobSet(kJobSecondariesUpgrade));
    EXPECT_TRUE(Signalled());
    EXPECT_EQ(Progress(), 0);
    for (int id :
         {kRefreshButton, kSelectAllButton, kClearSelectionsButton, kUpgradeSecondariesButton}) {
        EXPECT_FALSE(Button(id)->isEnabled()) << id;
    }

    // The pass reports each primary and ends.
    auto done = std::make_unique<DeviceEntry>(table->slots[a]);
    done->secondaryState = kSecondaryUpgraded;
    ASSERT_TRUE(Post(6, std::move(done)));
    auto failed = std::make_unique<DeviceEntry>(table->slots[c]);
    failed->secondaryState = kSecondaryFailed;
    ASSERT_TRUE(Post(6, std::move(failed)));
    ASSERT_TRUE(PostValue(8, 50));
    EXPECT_EQ(Progress(), 50);
    ASSERT_TRUE(PostValue(8, 200));
    EXPECT_EQ(Progress(), 100);
    for (int id :
         {kRefreshButton, kSelectAllButton, kClearSelectionsButton, kUpgradeSecondariesButton}) {
        EXPECT_TRUE(Button(id)->isEnabled()) << id;
    }
    EXPECT_EQ(Column(primaries, 0), QStringList({"Upgraded", "Tested", "Failed"}))
        << "the list is rebuilt with the states kept";
}

TEST_F(HandleSlavesTest, MainWindowCodesGoOnAndDiscoveryRepliesAreDropped) {
    Open();
    const int count = table->count;
    auto discovered = std::make_unique<DeviceEntry>();
    discovered->macAddress[5] = 0x77;
    ASSERT_TRUE(Post(0, std::move(discovered)));
    auto group = std::make_unique<DeviceEntry>(table->slots[a]);
    Put(group->groupName, u"Changed");
    ASSERT_TRUE(Post(1, std::move(group)));
    EXPECT_EQ(table->count, count) << "not merged";
    EXPECT_EQ(table->slots[a].groupName[0], u'\0');

    auto result = std::make_unique<DeviceEntry>(table->slots[a]);
    result->status = kStatusUpgraded;
    ASSERT_TRUE(Post(2, std::move(result)));
    ASSERT_TRUE(PostValue(3, 200));
    ASSERT_TRUE(PostValue(4, 55));
    platform::Message m;
    ASSERT_TRUE(mainWindow.TakeMessage(m, 1000));
    EXPECT_EQ(m.wParam, 2u);
    const std::unique_ptr<DeviceEntry> forwarded = m.record.Take<DeviceEntry>();
    ASSERT_TRUE(forwarded);
    EXPECT_EQ(int{forwarded->status}, int{kStatusUpgraded});
    ASSERT_TRUE(mainWindow.TakeMessage(m, 1000));
    EXPECT_EQ(m.wParam, 3u);
    EXPECT_EQ(m.lParam, 200);
    ASSERT_TRUE(mainWindow.TakeMessage(m, 1000));
    EXPECT_EQ(m.wParam, 4u);
    EXPECT_EQ(m.lParam, 55);
    EXPECT_FALSE(mainWindow.TakeMessage(m, 0)) << "codes 0 and 1 did not go on";
    EXPECT_EQ(table->slots[a].status, kStatusTested) << "the main window merges code 2";
}

} // namespace
} // namespace slavestest
