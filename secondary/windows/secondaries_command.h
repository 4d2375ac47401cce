// The main window's "Secondaries" command (button 1086): marks the list's rows into the
// table, counts the primaries that qualify, and opens the secondary-devices window
// modally, or says that nothing qualifies.
#pragma once

#include "secondary/windows/secondaries_links.h"

class DeviceListView;
class QWidget;

// `parent` is the main window; `list` its device list (control 1016). Returns whether the
// window was opened. When it has closed, NotifyWindow is links.mainWindow again.
bool RunSecondariesCommand(QWidget* parent, DeviceListView& list, const SecondariesLinks& links);
