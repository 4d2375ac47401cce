#include "netif/windows/select_addr_dlg.h"
#include "platform/qt/control_id.h"

#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <gtest/gtest.h>

namespace {

void TwoInterfaces(InterfaceList& list) {
    list.count = 2;
    SetField(list.entries[0].macAddress, u"00:0C:29:3A:4B:5C");
    SetField(list.entries[0].ipAddress, u"192.168.10.25");
    SetField(list.entries[0].subnetMask, u"255.255.255.0");
    SetField(list.entries[0].description, u"Fast Ethernet Adapter");
    SetField(list.entries[1].macAddress, u"00:90:4B:F1:02:E3");
    SetField(list.entries[1].ipAddress, u"10.1.2.3");
    SetField(list.entries[1].subnetMask, u"255.0.0.0");
    SetField(list.entries[1].description, u"Wireless Adapter");
}

class SelectAddrDlgTest : public ::testing::Test {
  protected:
    SelectAddrDlgTest() : dialog(mac, ip, mask, nullptr, TwoInterfaces) {
        dialog.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&dialog));
        list = platform::Control<QTreeWidget>(&dialog, kInterfaceListId);
    }

    void Click(int id) {
        QPushButton* button = platform::Control<QPushButton>(&dialog, id);
        ASSERT_NE(button, nullptr);
        QTest::mouseClick(button, Qt::LeftButton);
    }

    void ClickRow(int row) {
        QTreeWidgetItem* item = list->topLevelItem(row);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(item).center());
    }

    std::u16string mac = u"old mac", ip = u"old ip", mask = u"old mask";
    CSelectAddrDlg dialog;
    QTreeWidget* list = nullptr;
};

} // namespace

TEST_F(SelectAddrDlgTest, ListsOneRowPerEntryUnderThreeColumns) {
    EXPECT_EQ(dialog.windowTitle(), "Select Network Interface");
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->columnCount(), 3);
    EXPECT_EQ(list->headerItem()->text(0), "MAC Address");
    EXPECT_EQ(list->headerItem()->text(2), "Adapter Description");
    EXPECT_EQ(list->columnWidth(0), list->width() * 30 / 100);
    EXPECT_EQ(list->columnWidth(1), list->width() * 20 / 100);
    EXPECT_EQ(list->columnWidth(2), list->width() * 45 / 100);
    ASSERT_EQ(list->topLevelItemCount(), 2);
    EXPECT_EQ(list->topLevelItem(1)->text(0), "00:90:4B:F1:02:E3");
    EXPECT_EQ(list->topLevelItem(1)->text(1), "10.1.2.3");
    EXPECT_EQ(list->topLevelItem(1)->text(2), "Wireless Adapter");
    EXPECT_EQ(list->selectionMode(), QAbstractItemView::SingleSelection);
}

TEST_F(SelectAddrDlgTest, ApplyWithoutASelectedRowLeavesTheDialogOpen) {
    Click(kApplyButtonId);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(mac, u"old mac");
}

TEST_F(SelectAddrDlgTest, ApplyHandsBackTheSelectedInterfacesTexts) {
    ClickRow(1);
    Click(kApplyButtonId);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(ip, u"10.1.2.3");
    EXPECT_EQ(mac, u"00:90:4B:F1:02:E3");
    EXPECT_EQ(mask, u"255.0.0.0");
}

TEST_F(SelectAddrDlgTest, CancelAndEscapeEmptyAllThreeTexts) {
    ClickRow(0);
    Click(kCancelButtonId);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_TRUE(mac.empty() && ip.empty() && mask.empty());

    std::u16string m = u"x", i = u"y", s = u"z";
    CSelectAddrDlg second(m, i, s, nullptr, TwoInterfaces);
    second.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&second));
    QTest::keyClick(&second, Qt::Key_Escape);
    EXPECT_EQ(second.result(), QDialog::Rejected);
    EXPECT_TRUE(m.empty() && i.empty() && s.empty());
}

TEST(SelectAddrDlg, RunsModallyAndEndsWithApply) {
    std::u16string mac, ip, mask;
    CSelectAddrDlg dialog(mac, ip, mask, nullptr, TwoInterfaces);
    QTimer::singleShot(0, &dialog, [&] {
        auto* list = platform::Control<QTreeWidget>(&dialog, kInterfaceListId);
        list->setCurrentItem(list->topLevelItem(0));
        QTest::mouseClick(platform::Control<QPushButton>(&dialog, kApplyButtonId), Qt::LeftButton);
    });
    EXPECT_EQ(dialog.exec(), QDialog::Accepted);
    EXPECT_EQ(ip, u"192.168.10.25");
}

TEST(SelectAddrDlg, NoInterfacesGiveAnEmptyListThatOnlyCancelEnds) {
    std::u16string mac, ip, mask;
    CSelectAddrDlg dialog(mac, ip, mask, nullptr, [](InterfaceList& list) { list.count = 0; });
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    EXPECT_EQ(platform::Control<QTreeWidget>(&dialog, kInterfaceListId)->topLevelItemCount(), 0);
    QTest::mouseClick(platform::Control<QPushButton>(&dialog, kApplyButtonId), Qt::LeftButton);
    EXPECT_TRUE(dialog.isVisible());
    QTest::mouseClick(platform::Control<QPushButton>(&dialog, kCancelButtonId), Qt::LeftButton);
    EXPECT_FALSE(dialog.isVisible());
}
