#include "app/windows/command_buttons.h"

#include "platform/qt/control_id.h"

#include <QPushButton>
#include <QTreeWidget>

CommandButtonRule::CommandButtonRule(QTreeWidget* list, QPushButton* upgrade, QPushButton* test,
                                     QPushButton* secondaries)
    : list_(list), buttons_{upgrade, test, secondaries} {
    platform::SetControlId(upgrade, kUpgradeButton);
    platform::SetControlId(test, kTestButton);
    platform::SetControlId(secondaries, kSecondariesButton);
    QObject::connect(list_, &QTreeWidget::itemSelectionChanged, list_, [this] { Apply(); });
}

void CommandButtonRule::Apply() {
    const bool anySelected = !list_->selectedItems().isEmpty();
    for (QPushButton* button : buttons_) {
        button->setEnabled(anySelected || (keep_ && keep_(button)));
    }
}
