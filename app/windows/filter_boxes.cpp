#include "app/windows/filter_boxes.h"

#include "app/device_list.h"
#include "app/windows/device_list_view.h"
#include "platform/qt/control_id.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QVBoxLayout>

namespace {

constexpr int kStatusIds[7] = {kStatusShowAllBox, kPresentBox,  kUntestedBox,     kTestedBox,
                               kFailedTestBox,    kUpgradedBox, kFailedUpgradeBox};
constexpr const char* kStatusCaptions[7] = {"Show All",    "Present",  "Untested",      "Tested",
                                            "Failed Test", "Upgraded", "Failed Upgrade"};
// Versions bits: 1 Greater Than, 2 Less Than, 3 Equal.
constexpr int kVersionIds[7] = {kVersionShowAllBox, kGreaterThanBox, kLessThanBox, kEqualBox};
constexpr const char* kVersionCaptions[7] = {"Show All", "Greater Than", "Less Than", "Equal"};

} // namespace

FilterBoxes::FilterBoxes(QWidget* parent, DeviceListView& view)
    : view_(view), statusGroup_(MakeGroup(parent, "Status Filter", status_, kStatusIds,
                                          kStatusCaptions, 7, kStatusFilterAll, true)),
      versionsGroup_(MakeGroup(parent, "Versions Filter", versions_, kVersionIds, kVersionCaptions,
                               4, kVersionFilterAll, false)) {}

QGroupBox* FilterBoxes::MakeGroup(QWidget* parent, const char* title, Group& group,
                                  const int (&ids)[7], const char* const (&captions)[7], int count,
                                  uint32_t all, bool status) {
    auto* box = new QGroupBox(QString::fromLatin1(title), parent);
    auto* layout = new QVBoxLayout(box);
    group.count = count;
    group.all = all;
    for (int bit = 0; bit < count; ++bit) {
        auto* check = new QCheckBox(QString::fromLatin1(captions[bit]), box);
        platform::SetControlId(check, ids[bit]);
        layout->addWidget(check);
        group.boxes[bit] = check;
        QObject::connect(check, &QCheckBox::clicked, box, [this, &group, status, bit] {
            if (bit == 0) {
                ShowAllClicked(group, status);
            } else {
                BoxClicked(group, status, bit);
            }
        });
    }
    return box;
}

void FilterBoxes::StatusShowAll() {
    ShowAllClicked(status_, true);
}

void FilterBoxes::VersionsShowAll() {
    ShowAllClicked(versions_, false);
}

void FilterBoxes::ShowAllClicked(Group& group, bool status) {
    const uint32_t bits = status ? view_.statusBits() : view_.versionBits();
    const FilterChange change = FilterShowAllClicked(bits, group.all);
    Apply(group, status, change.bits, change.refresh);
}

void FilterBoxes::BoxClicked(Group& group, bool status, int bit) {
    const uint32_t bits = status ? view_.statusBits() : view_.versionBits();
    const FilterChange change =
        FilterBoxClicked(bits, group.all, 1u << bit, group.boxes[bit]->isChecked());
    Apply(group, status, change.bits, change.refresh);
}

void FilterBoxes::Apply(Group& group, bool status, uint32_t bits, bool refresh) {
    for (int bit = 0; bit < group.count; ++bit) {
        group.boxes[bit]->setChecked((bits & (1u << bit)) != 0);
    }
    if (status) {
        view_.SetStatusBits(bits);
    } else {
        view_.SetVersionBits(bits);
    }
    if (refresh) {
        view_.RefreshRow(-1);
    }
}
