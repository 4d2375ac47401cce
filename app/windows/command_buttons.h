// The rule for the three commands that need a selection: "Upgrade" (1023), "Test
// Connections" (1082) and "Secondaries" (1086) are enabled while at least one row of the
// list is selected, disabled otherwise. The rule runs on every selection change and
// whenever the window asks (after the column set-up and after Search empties the list).
#pragma once

#include <functional>

class QPushButton;
class QTreeWidget;

enum CommandButtonId : int {
    kUpgradeButton = 1023,
    kTestButton = 1082,
    kSecondariesButton = 1086,
};

class CommandButtonRule {
  public:
    // A button for which this answers true stays enabled whatever the selection (the
    // button of a running pass, so that its abort can always be reached).
    using KeepEnabled = std::function<bool(const QPushButton*)>;

    CommandButtonRule(QTreeWidget* list, QPushButton* upgrade, QPushButton* test,
                      QPushButton* secondaries);
    CommandButtonRule(const CommandButtonRule&) = delete;
    CommandButtonRule& operator=(const CommandButtonRule&) = delete;

    void SetKeepEnabled(KeepEnabled keep) { keep_ = std::move(keep); }
    void Apply();

  private:
    QTreeWidget* list_;
    QPushButton* buttons_[3];
    KeepEnabled keep_;
};
