// The "Status Filter" and "Versions Filter" groups of the main window: eleven auto check
// boxes with their "Show All" logic. Every change sets the list view's bits and rebuilds
// the list.
#pragma once

#include <cstdint>

class DeviceListView;
class QCheckBox;
class QGroupBox;
class QWidget;

// Control ids of the boxes.
enum FilterBoxId : int {
    kStatusShowAllBox = 1008,
    kVersionShowAllBox = 1009,
    kPresentBox = 1010,
    kUntestedBox = 1011,
    kTestedBox = 1012,
    kFailedTestBox = 1013,
    kUpgradedBox = 1014,
    kFailedUpgradeBox = 1015,
    kGreaterThanBox = 1017,
    kLessThanBox = 1018,
    kEqualBox = 1020,
};

class FilterBoxes {
  public:
    // Creates both groups as children of `parent`; `view` outlives them.
    FilterBoxes(QWidget* parent, DeviceListView& view);
    FilterBoxes(const FilterBoxes&) = delete;
    FilterBoxes& operator=(const FilterBoxes&) = delete;

    QGroupBox* statusGroup() const { return statusGroup_; }
    QGroupBox* versionsGroup() const { return versionsGroup_; }

    // The two "Show All" handlers, as the window runs them when it opens.
    void StatusShowAll();
    void VersionsShowAll();

  private:
    struct Group {
        QCheckBox* boxes[7] = {}; // index = bit; [0] is "Show All"
        int count = 0;
        uint32_t all = 0;
    };

    QGroupBox* MakeGroup(QWidget* parent, const char* title, Group& group, const int (&ids)[7],
                         const char* const (&captions)[7], int count, uint32_t all, bool status);
    void ShowAllClicked(Group& group, bool status);
    void BoxClicked(Group& group, bool status, int bit);
    void Apply(Group& group, bool status, uint32_t bits, bool refresh);

    DeviceListView& view_;
    Group status_;
    Group versions_;
    QGroupBox* statusGroup_;
    QGroupBox* versionsGroup_;
};
