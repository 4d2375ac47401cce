#include "platform/qt/control_id.h"

namespace platform {

void SetControlId(QWidget* control, int id) {
    control->setObjectName(ControlName(id));
}

int ControlId(const QWidget* control) {
    bool ok = false;
    const int id = control->objectName().toInt(&ok);
    return ok ? id : -1;
}

} // namespace platform
