// Controls keep the numeric ids of their dialog templates: the id is the control's object
// name (in decimal), so a window and its tests find a control by id.
#pragma once

#include <QString>
#include <QWidget>

namespace platform {

inline QString ControlName(int id) {
    return QString::number(id);
}

void SetControlId(QWidget* control, int id);
// The control's id, or -1 when it has none.
int ControlId(const QWidget* control);

template <typename T> T* Control(const QWidget* dialog, int id) {
    return dialog->findChild<T*>(ControlName(id));
}

} // namespace platform
