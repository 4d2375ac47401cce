// The interface chooser of the start-up check: the interface-selection window, run
// modally over `parent`.
#pragma once

#include "app/station_identity.h"

class QWidget;

InterfaceChooser ModalInterfaceSelection(QWidget* parent);
